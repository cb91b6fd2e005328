// Device-bitmap and DIB transfers through the exports on real GDI: what the
// spool file records, and what it shows when played back.
#include <stdio.h>
#include <string.h>

#include "recording_fixture.h"

namespace {

const uint32_t kSrcCopy = SRCCOPY;
const uint32_t kPatCopy = PATCOPY;

// A DIB as a record carries it: header, colour table, bits.
struct RecordedDib {
    BITMAPINFOHEADER header = {};
    std::vector<RGBQUAD> table;
    std::vector<BYTE> bits;
};

RecordedDib DibOf(const EmfRecord &record, DWORD offBmi, DWORD cbBmi, DWORD offBits, DWORD cbBits)
{
    RecordedDib dib;
    if (offBmi + cbBmi > record.bytes.size() || offBits + cbBits > record.bytes.size() ||
        cbBmi < sizeof(BITMAPINFOHEADER)) {
        ADD_FAILURE() << "DIB outside its record";
        return dib;
    }
    memcpy(&dib.header, &record.bytes[offBmi], sizeof dib.header);
    for (DWORD at = offBmi + dib.header.biSize; at + sizeof(RGBQUAD) <= offBmi + cbBmi; at += sizeof(RGBQUAD)) {
        RGBQUAD entry;
        memcpy(&entry, &record.bytes[at], sizeof entry);
        dib.table.push_back(entry);
    }
    dib.bits.assign(record.bytes.begin() + offBits, record.bytes.begin() + offBits + cbBits);
    return dib;
}

uint32_t Rgb(const RGBQUAD &q)
{
    return ((uint32_t)q.rgbRed << 16) | ((uint32_t)q.rgbGreen << 8) | q.rgbBlue;
}

// The colour of pixel (x, row) of a bottom-up DIB, row 0 at the bottom, as 0xRRGGBB.
uint32_t DibPixel(const RecordedDib &dib, int x, int row)
{
    const int bitCount = dib.header.biBitCount;
    const size_t stride = ((size_t)dib.header.biWidth * bitCount + 31) / 32 * 4;
    const size_t at = stride * row;
    if (at + stride > dib.bits.size()) {
        ADD_FAILURE() << "row " << row << " outside the recorded bits";
        return 0xDEADBEEF;
    }
    const BYTE *line = &dib.bits[at];
    if (bitCount == 24) {
        return ((uint32_t)line[3 * x + 2] << 16) | ((uint32_t)line[3 * x + 1] << 8) | line[3 * x];
    }
    int index = bitCount == 1 ? (line[x / 8] >> (7 - x % 8)) & 1 : (line[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15;
    if ((size_t)index >= dib.table.size()) {
        ADD_FAILURE() << "index " << index << " outside a table of " << dib.table.size();
        return 0xDEADBEEF;
    }
    return Rgb(dib.table[index]);
}

// The source's own pixels as this process's GDI reads them, top row first,
// 0xRRGGBB: the reference the recorded DIB is held against.
std::vector<uint32_t> SourcePixels(const BITMAP &record)
{
    BITMAP copy = record;
    HBITMAP bitmap = CreateBitmapIndirect(&copy);
    std::vector<uint32_t> pixels(record.bmWidth * record.bmHeight, 0xDEADBEEF);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = record.bmWidth;
    info.bmiHeader.biHeight = -record.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(NULL);
    EXPECT_EQ(GetDIBits(screen, bitmap, 0, record.bmHeight, pixels.data(), &info, DIB_RGB_COLORS), record.bmHeight);
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    for (uint32_t &pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return pixels;
}

class RasterGdiTest : public RecordingTest {
  protected:
    int32_t Raster(int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, const BITMAP *source, int32_t xSrc,
                   int32_t ySrc, int32_t cxSrc, int32_t cySrc, uint32_t rop, LOGBRUSH *brush,
                   const DrawModeRecord *mode)
    {
        return Dll().Raster32(&surface, &xDest, &yDest, &cxDest, &cyDest, source, &xSrc, &ySrc, &cxSrc, &cySrc, &rop,
                              brush, mode);
    }

    int32_t Dib(int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc, int32_t ySrc, int32_t cxSrc,
                int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop, LOGBRUSH *brush,
                const DrawModeRecord *mode)
    {
        return Dll().Dib32(&surface, &xDest, &yDest, &cxDest, &cyDest, &xSrc, &ySrc, &cxSrc, &cySrc, bits, info, &rop,
                           brush, mode);
    }

    // The one DIB stretch of the file.
    static const EMRSTRETCHDIBITS *OnlyStretch(const std::vector<EmfRecord> &records, RecordedDib *dib)
    {
        auto stretches = RecordsOf(records, EMR_STRETCHDIBITS);
        EXPECT_EQ(stretches.size(), 1u) << DescribeEmfRecords(records);
        if (stretches.size() != 1) {
            return nullptr;
        }
        const EMRSTRETCHDIBITS *r = stretches[0]->As<EMRSTRETCHDIBITS>();
        *dib = DibOf(*stretches[0], r->offBmiSrc, r->cbBmiSrc, r->offBitsSrc, r->cbBitsSrc);
        return r;
    }
};

// 16x8 pixels, one word per row: a checker of 2x2 cells, its last row different.
const BYTE kChecker[8 * 2] = {0xCC, 0xCC, 0xCC, 0xCC, 0x33, 0x33, 0x33, 0x33,
                              0xCC, 0xCC, 0xCC, 0xCC, 0x33, 0x0F, 0x33, 0x0F};

TEST_F(RasterGdiTest, MonochromeSourceIsRecordedAsAOneBitDibInTheDrawModesColours)
{
    OpenPixelFrame(160, 80);
    BITMAP source = {0, 16, 8, 2, 1, 1, (void *)kChecker};
    DrawModeRecord mode = {R2_COPYPEN, TRANSPARENT, 0xFF0000 /* blue */, 0x0000FF /* red */, 0};
    EXPECT_EQ(Raster(0, 0, 160, 80, &source, 0, 0, 16, 8, kSrcCopy, nullptr, &mode), 0);
    auto records = Finish();

    RecordedDib dib;
    const EMRSTRETCHDIBITS *r = OnlyStretch(records, &dib);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->dwRop, kSrcCopy);
    EXPECT_EQ(r->iUsageSrc, (DWORD)DIB_RGB_COLORS);
    EXPECT_EQ(r->xDest, 0);
    EXPECT_EQ(r->cxDest, 160);
    EXPECT_EQ(r->cyDest, 80);
    EXPECT_EQ(r->cxSrc, 16);
    EXPECT_EQ(r->cySrc, 8);
    EXPECT_EQ(dib.header.biBitCount, 1);
    EXPECT_EQ(dib.header.biWidth, 16);
    ASSERT_EQ(dib.table.size(), 2u) << DescribeEmfRecords(records);
    EXPECT_EQ(Rgb(dib.table[0]), 0xFF0000u) << "entry 0: the text colour, red";
    EXPECT_EQ(Rgb(dib.table[1]), 0x0000FFu) << "entry 1: the background colour, blue";
    // Clear source bits take the text colour, set bits the background colour.
    std::vector<uint32_t> own = SourcePixels(source);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint32_t expected = own[y * 16 + x] == 0 ? 0xFF0000u : 0x0000FFu;
            ASSERT_EQ(DibPixel(dib, r->xSrc + x, r->ySrc + 7 - y), expected) << x << "," << y;
        }
    }
    // The background mode of the draw mode's rule is recorded before the stretch.
    auto modes = RecordsOf(records, EMR_SETBKMODE);
    ASSERT_FALSE(modes.empty()) << DescribeEmfRecords(records);
    EXPECT_EQ(modes.back()->As<EMRSETBKMODE>()->iMode, (DWORD)OPAQUE);
}

TEST_F(RasterGdiTest, MonochromeTransferPlaysBackAsTheSourceInTextAndBackgroundColours)
{
    OpenPixelFrame(160, 80);
    BITMAP source = {0, 16, 8, 2, 1, 1, (void *)kChecker};
    DrawModeRecord mode = {R2_COPYPEN, OPAQUE, 0xFF0000, 0x0000FF, 1};
    EXPECT_EQ(Raster(0, 0, 160, 80, &source, 0, 0, 16, 8, kSrcCopy, nullptr, &mode), 0);
    std::vector<uint32_t> pixels = FinishAndRender(160, 80);
    ASSERT_EQ(pixels.size(), 160u * 80u);
    Keep("raster-mono", 160, 80, pixels);
    std::vector<uint32_t> own = SourcePixels(source);
    // Sample the centre of each 10x10 cell a source pixel became.
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint32_t expected = own[y * 16 + x] == 0 ? 0xFF0000u : 0x0000FFu;
            ASSERT_EQ(pixels[(y * 10 + 5) * 160 + x * 10 + 5], expected) << "source pixel " << x << "," << y;
        }
    }
}

struct ColourSource {
    const char *label;
    BITMAP record;
    std::vector<BYTE> bits;
};

// A 24-bit 6x5 source of distinct colours and a 4-bit 8x5 source of
// distinct indexes; the source rectangle overhangs both the right and the
// bottom edge, so the recorded stretch carries the clamped rectangle.
TEST_F(RasterGdiTest, ColourSourcesRecordTheirPixelsInTheClampedRectangle)
{
    std::vector<BYTE> rgb(18 * 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            rgb[y * 18 + 3 * x] = (BYTE)(40 * x);      // blue
            rgb[y * 18 + 3 * x + 1] = (BYTE)(50 * y);  // green
            rgb[y * 18 + 3 * x + 2] = (BYTE)(200 - x); // red
        }
    }
    std::vector<BYTE> nibbles(4 * 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 8; x += 2) {
            nibbles[y * 4 + x / 2] = (BYTE)((((x + y) & 15) << 4) | ((x + 1 + 3 * y) & 15));
        }
    }
    ColourSource sources[] = {
        {"24 bpp", {0, 6, 5, 18, 1, 24, nullptr}, rgb},
        {"4 bpp", {0, 8, 5, 4, 1, 4, nullptr}, nibbles},
    };
    for (ColourSource &s : sources) {
        SCOPED_TRACE(s.label);
        s.record.bmBits = s.bits.data();
        Open();
        const int32_t xSrc = 2, ySrc = 1;
        EXPECT_EQ(Raster(10, 20, 40, 30, &s.record, xSrc, ySrc, 100, 100, kSrcCopy, nullptr, nullptr), 0);
        auto records = Finish();
        RecordedDib dib;
        const EMRSTRETCHDIBITS *r = OnlyStretch(records, &dib);
        ASSERT_NE(r, nullptr);
        const int width = s.record.bmWidth - xSrc, lines = s.record.bmHeight - ySrc;
        EXPECT_EQ(r->cxSrc, width);
        EXPECT_EQ(r->cySrc, lines);
        EXPECT_EQ(r->xDest, 10);
        EXPECT_EQ(r->yDest, 20);
        EXPECT_EQ(r->cxDest, 40);
        EXPECT_EQ(r->cyDest, 30);
        EXPECT_EQ(dib.header.biBitCount, 24);
        std::vector<uint32_t> own = SourcePixels(s.record);
        // Visual row j of the stretch is DIB row ySrc + cySrc - 1 - j of a bottom-up DIB.
        for (int j = 0; j < lines; ++j) {
            for (int i = 0; i < width; ++i) {
                ASSERT_EQ(DibPixel(dib, r->xSrc + i, r->ySrc + lines - 1 - j),
                          own[(ySrc + j) * s.record.bmWidth + xSrc + i])
                    << "source pixel " << xSrc + i << "," << ySrc + j;
            }
        }
        DeleteFileA(path.c_str());
        path.clear();
    }
}

// Both blits without a source: the raster operation, destination (20, 30)
// 40 x 50, source origin 0, 0. A stretch record begins as a blit record does.
void ExpectSourcelessBlit(const EMRBITBLT *r, DWORD rop)
{
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->dwRop, rop);
    std::vector<LONG> placed = {r->xDest, r->yDest, r->cxDest, r->cyDest, r->xSrc, r->ySrc};
    EXPECT_EQ(placed, (std::vector<LONG>{20, 30, 40, 50, 0, 0})) << "destination, then source origin";
}

TEST_F(RasterGdiTest, WithoutSourceTheBrushIsBlittedOverTheDestination)
{
    OpenPixelFrame(100, 100);
    LOGBRUSH brush = {BS_SOLID, 0x00FF00, 0};
    EXPECT_EQ(Raster(20, 30, 40, 50, nullptr, 0, 0, 0, 0, kPatCopy, &brush, nullptr), 0);
    auto records = Finish();
    auto stretches = RecordsOf(records, EMR_STRETCHBLT);
    auto blits = RecordsOf(records, EMR_BITBLT);
    ASSERT_EQ(stretches.size() + blits.size(), 1u) << DescribeEmfRecords(records);
    ExpectSourcelessBlit(stretches.empty() ? blits[0]->As<EMRBITBLT>() : stretches[0]->As<EMRBITBLT>(), kPatCopy);

    std::vector<uint32_t> pixels;
    ASSERT_TRUE(RenderEmf(path.c_str(), 100, 100, &pixels));
    Keep("raster-blank", 100, 100, pixels);
    EXPECT_EQ(pixels[(30 + 25) * 100 + 20 + 20], 0x00FF00u);
    EXPECT_EQ(pixels[(30 + 2) * 100 + 20 + 2], 0x00FF00u);
    EXPECT_EQ(pixels[(30 + 47) * 100 + 20 + 37], 0x00FF00u);
    EXPECT_EQ(pixels[10 * 100 + 10], 0xFFFFFFu);
    EXPECT_EQ(pixels[90 * 100 + 90], 0xFFFFFFu);
}

// A blit that reads the source takes it from the blank 1x1 bitmap, over a
// source rectangle of the destination's size.
TEST_F(RasterGdiTest, WithoutSourceASourceBlitRecordsTheDestinationSizedSourceRectangle)
{
    Open();
    EXPECT_EQ(Raster(20, 30, 40, 50, nullptr, 7, 8, 9, 10, kSrcCopy, nullptr, nullptr), 0);
    auto records = Finish();
    auto stretches = RecordsOf(records, EMR_STRETCHBLT);
    ASSERT_EQ(stretches.size(), 1u) << DescribeEmfRecords(records);
    ExpectSourcelessBlit(stretches[0]->As<EMRBITBLT>(), kSrcCopy);
    const EMRSTRETCHBLT *r = stretches[0]->As<EMRSTRETCHBLT>();
    EXPECT_EQ(r->cxSrc, 40);
    EXPECT_EQ(r->cySrc, 50);
}

// The caller's DIB keeps its own colours whatever the draw mode says, and
// its source rectangle reaches the file unclamped, ySrc included.
TEST_F(RasterGdiTest, CallersDibIsRecordedUnchanged)
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD table[2];
    } mono = {{40, 16, 12, 1, 1, BI_RGB, 0, 0, 0, 2, 0}, {{0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0}}};
    // The count is given: Wine's recorder copies only counted colour entries,
    // so a caller's 1-bit DIB with a count of 0 is recorded without its table.
    BYTE monoBits[12 * 4];
    for (size_t i = 0; i < sizeof monoBits; ++i) {
        monoBits[i] = (BYTE)(0x5A ^ i);
    }
    BITMAPINFOHEADER rgb = {40, 4, 12, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    BYTE rgbBits[12 * 12];
    for (size_t i = 0; i < sizeof rgbBits; ++i) {
        rgbBits[i] = (BYTE)(i * 7);
    }
    const struct {
        const char *label;
        const BITMAPINFO *info;
        const BYTE *bits;
        size_t bitsSize;
    } dibs[] = {
        {"1 bpp", (const BITMAPINFO *)&mono, monoBits, sizeof monoBits},
        {"24 bpp", (const BITMAPINFO *)&rgb, rgbBits, sizeof rgbBits},
    };
    for (const auto &d : dibs) {
        SCOPED_TRACE(d.label);
        Open();
        DrawModeRecord mode = {R2_COPYPEN, TRANSPARENT, 0x00FF00, 0x0000FF, 1};
        EXPECT_EQ(Dib(5, 6, 70, 80, 1, 10, 2, 2, d.bits, d.info, kSrcCopy, nullptr, &mode), 0);
        auto records = Finish();
        RecordedDib dib;
        const EMRSTRETCHDIBITS *r = OnlyStretch(records, &dib);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->xSrc, 1);
        EXPECT_EQ(r->ySrc, 10);
        EXPECT_EQ(r->cxSrc, 2);
        EXPECT_EQ(r->cySrc, 2);
        EXPECT_EQ(r->xDest, 5);
        EXPECT_EQ(r->cxDest, 70);
        EXPECT_EQ(r->dwRop, kSrcCopy);
        EXPECT_EQ(memcmp(&dib.header, d.info, 16), 0) << "size, width, height, planes, bit count";
        if (d.info->bmiHeader.biBitCount == 1) {
            ASSERT_EQ(dib.table.size(), 2u) << DescribeEmfRecords(records);
            EXPECT_EQ(Rgb(dib.table[0]), 0x000000u);
            EXPECT_EQ(Rgb(dib.table[1]), 0xFFFFFFu);
        }
        ASSERT_EQ(dib.bits.size(), d.bitsSize);
        EXPECT_EQ(memcmp(dib.bits.data(), d.bits, d.bitsSize), 0);
        DeleteFileA(path.c_str());
        path.clear();
    }
}

} // namespace
