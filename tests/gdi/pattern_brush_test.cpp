// A colour pattern brush is made by reading the pattern bitmap back with
// GetDIBits on the recording surface itself and handing the packed 24-bit DIB
// to CreateDIBPatternBrushPt. These checks use plain GDI on the surface the
// DLL opened, to show that GetDIBits works against a metafile context and that
// the recorded brush carries the pattern's pixels to playback.
#include <string.h>

#include <vector>

#include "recording_fixture.h"

namespace {

const int kSide = 8;
// One colour per 4x4 quadrant, 0x00RRGGBB: top left, top right, bottom left, bottom right.
const uint32_t kQuadrants[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

uint32_t QuadrantColour(int x, int y)
{
    return kQuadrants[(y >= kSide / 2 ? 2 : 0) + (x >= kSide / 2 ? 1 : 0)];
}

// Device bitmap rows, top row first, blue-green-red.
std::vector<BYTE> PatternRows()
{
    std::vector<BYTE> rows(kSide * kSide * 3);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint32_t rgb = QuadrantColour(x, y);
            BYTE *pixel = &rows[(y * kSide + x) * 3];
            pixel[0] = (BYTE)rgb;
            pixel[1] = (BYTE)(rgb >> 8);
            pixel[2] = (BYTE)(rgb >> 16);
        }
    }
    return rows;
}

// The DIB pixel at (x, y from the top) of bottom-up 24-bit rows, as 0x00RRGGBB.
uint32_t DibPixel(const BYTE *rows, int x, int y)
{
    const BYTE *pixel = rows + (kSide - 1 - y) * kSide * 3 + x * 3;
    return (uint32_t)pixel[2] << 16 | (uint32_t)pixel[1] << 8 | pixel[0];
}

class PatternBrushTest : public RecordingTest {};

TEST_F(PatternBrushTest, GetDIBitsOnTheSurfaceFeedsARecordedPatternBrush)
{
    Open();
    HDC dc = SurfaceDc();
    std::vector<BYTE> rows = PatternRows();
    BITMAP record = {0, kSide, kSide, kSide * 3, 1, 24, rows.data()};
    HBITMAP bitmap = CreateBitmapIndirect(&record);
    ASSERT_NE(bitmap, nullptr);

    // Header, then the rows; 8 pixels of 24 bits need no row padding.
    std::vector<BYTE> packed(sizeof(BITMAPINFOHEADER) + kSide * kSide * 3);
    BITMAPINFO workArea = {};
    workArea.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, kSide, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    int lines = GetDIBits(dc, bitmap, 0, kSide, packed.data() + sizeof(BITMAPINFOHEADER), &workArea, DIB_RGB_COLORS);
    EXPECT_EQ(lines, kSide);
    memcpy(packed.data(), &workArea.bmiHeader, sizeof(BITMAPINFOHEADER));
    const BYTE *dibRows = packed.data() + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            ASSERT_EQ(DibPixel(dibRows, x, y), QuadrantColour(x, y)) << "read back at " << x << "," << y;
        }
    }

    HBRUSH brush = CreateDIBPatternBrushPt(packed.data(), DIB_RGB_COLORS);
    ASSERT_NE(brush, nullptr);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    // Without a pen the right and bottom edges are left out: 64 x 64 pixels.
    EXPECT_TRUE(Rectangle(dc, 0, 0, 65, 65));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    DeleteObject(bitmap);

    const int side = 64;
    std::vector<uint32_t> pixels = FinishAndRender(side, side);
    std::vector<EmfRecord> records = ReadEmfRecords(path.c_str());
    std::vector<const EmfRecord *> brushes = RecordsOf(records, EMR_CREATEDIBPATTERNBRUSHPT);
    ASSERT_EQ(brushes.size(), 1u) << DescribeEmfRecords(records);
    const EMRCREATEDIBPATTERNBRUSHPT *made = brushes[0]->As<EMRCREATEDIBPATTERNBRUSHPT>();
    ASSERT_NE(made, nullptr);
    ASSERT_GE(brushes[0]->bytes.size(), (size_t)made->offBits + kSide * kSide * 3);
    const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)(brushes[0]->bytes.data() + made->offBmi);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biWidth, kSide);
    EXPECT_EQ(header->biHeight, kSide);
    const BYTE *recordedRows = brushes[0]->bytes.data() + made->offBits;
    EXPECT_EQ(DibPixel(recordedRows, 1, 1), kQuadrants[0]);
    EXPECT_EQ(DibPixel(recordedRows, 6, 1), kQuadrants[1]);
    EXPECT_EQ(DibPixel(recordedRows, 1, 6), kQuadrants[2]);
    EXPECT_EQ(DibPixel(recordedRows, 6, 6), kQuadrants[3]);

    // Sample quadrant centres, where a pixel of drift in playback cannot matter.
    ASSERT_EQ(pixels.size(), (size_t)side * side);
    for (int tileY = 0; tileY < 2; ++tileY) {
        for (int tileX = 0; tileX < 2; ++tileX) {
            for (int quadrant = 0; quadrant < 4; ++quadrant) {
                int x = 40 * tileX + (quadrant % 2) * 4 + 2;
                int y = 40 * tileY + (quadrant / 2) * 4 + 2;
                EXPECT_EQ(pixels[(size_t)y * side + x], kQuadrants[quadrant]) << "pixel " << x << "," << y << "\n"
                                                                              << DescribeEmfRecords(records);
            }
        }
    }
}

} // namespace
