// Device-bitmap and DIB transfers against the GDI test double: what is
// converted, how the blocks are sized, what is stretched, and that every
// path (failures and absurd sizes included) leaves nothing behind.
#include "raster/raster.h"
#include "surface_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

const uint32_t kSrcCopy = 0x00CC0020;
const uint32_t kPatCopy = 0x00F00021;
const int32_t kX = 5, kY = 6, kCx = 70, kCy = 80;

BITMAP Record(int32_t width, int32_t height, int32_t widthBytes, WORD bitsPixel, WORD planes = 1)
{
    BITMAP record = {0, width, height, widthBytes, planes, bitsPixel, nullptr};
    return record;
}

DrawModeRecord Mode(uint32_t rop2, uint32_t bkMode, COLORREF bkColor, COLORREF textColor, uint32_t useBkMode)
{
    DrawModeRecord mode = {rop2, bkMode, bkColor, textColor, useBkMode};
    return mode;
}

class RasterTest : public SurfaceTest {
  protected:
    // Whatever a transfer did, once the test is over GDI is clean.
    void TearDown() override { EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump(); }

    int32_t Transfer(const BITMAP *source, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc,
                     const DrawModeRecord *mode, uint32_t rop = kSrcCopy)
    {
        return TransferDeviceBitmap(surface, kX, kY, kCx, kCy, source, xSrc, ySrc, cxSrc, cySrc, rop, mode);
    }

    // The sizes asked of GlobalAlloc, in order.
    static std::vector<int64_t> AllocatedSizes()
    {
        std::vector<int64_t> sizes;
        for (const GdiCall *call : GdiDoubleCallsOf("GlobalAlloc")) {
            EXPECT_EQ(call->args[0], GMEM_MOVEABLE | GMEM_ZEROINIT);
            sizes.push_back(call->args[1]);
        }
        return sizes;
    }

    static std::vector<int64_t> HandlesGivenTo(const char *function)
    {
        std::vector<int64_t> handles;
        for (const GdiCall *call : GdiDoubleCallsOf(function)) {
            handles.push_back(call->args[0]);
        }
        return handles;
    }
};

// --- Block sizes and headers ------------------------------------------------

struct SizeCase {
    const char *label;
    BITMAP source;
    std::vector<int64_t> blocks; // header block (monochrome only), then bits block
    WORD bitCount;
};

TEST_F(RasterTest, BlocksCoverTheLongerOfTheCallersStrideAndTheDibRow)
{
    const SizeCase cases[] = {
        {"24 bpp: stride 32 tripled beats a 32-byte row", Record(10, 5, 30, 24), {576}, 24},
        {"4 bpp: the 300-byte 24-bit row beats stride 52 tripled", Record(100, 10, 50, 4), {3300}, 24},
        {"8 bpp: stride 12 tripled beats a 32-byte row", Record(10, 4, 10, 8), {180}, 24},
        {"1 bpp: 48-byte header, stride 8 equals the row", Record(33, 8, 6, 1), {48, 72}, 1},
        {"1 bpp on 4 planes is still monochrome", Record(33, 8, 6, 1, 4), {48, 72}, 1},
        {"1 bpp with a short caller stride uses the row", Record(64, 2, 2, 1), {48, 24}, 1},
        {"empty record: one spare row for GDI's 1x1 bitmap", Record(0, 0, 2, 1), {48, 4}, 1},
    };
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        DrawModeRecord mode = Mode(13, OPAQUE, 0xFFFFFF, 0, 1);
        Transfer(&c.source, 0, 0, c.source.bmWidth, c.source.bmHeight, &mode);
        EXPECT_EQ(AllocatedSizes(), c.blocks) << GdiDoubleDump();
        const GdiCall *get = GdiDoubleLastCall("GetDIBits");
        ASSERT_NE(get, nullptr) << GdiDoubleDump();
        BITMAPINFOHEADER header;
        ASSERT_GE(get->info.size(), sizeof header);
        std::memcpy(&header, get->info.data(), sizeof header);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biWidth, c.source.bmWidth);
        EXPECT_EQ(header.biHeight, c.source.bmHeight);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, c.bitCount);
        EXPECT_EQ(header.biCompression, (DWORD)BI_RGB);
        EXPECT_EQ(header.biClrUsed, 0u);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
    }
}

TEST_F(RasterTest, MonochromeSourceRunsConvertColourStretchThenReleasesHeaderBitsAndBitmap)
{
    BITMAP source = Record(33, 8, 6, 1);
    DrawModeRecord mode = Mode(13, OPAQUE, 0xFFFFFF, 0, 1);
    EXPECT_EQ(Transfer(&source, 0, 0, 33, 8, &mode), 0);

    EXPECT_THAT(GdiDoubleCallNames(),
                ElementsAre("CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GlobalAlloc", "GlobalLock",
                            "GetDIBits", "SetBkMode", "StretchDIBits", "GlobalUnlock", "GlobalFree", "GlobalUnlock",
                            "GlobalFree", "DeleteObject"))
        << GdiDoubleDump();
    auto allocs = GdiDoubleCallsOf("GlobalAlloc");
    auto locks = GdiDoubleCallsOf("GlobalLock");
    int64_t headerBlock = allocs[0]->result, bitsBlock = allocs[1]->result;
    EXPECT_THAT(HandlesGivenTo("GlobalUnlock"), ElementsAre(headerBlock, bitsBlock));
    EXPECT_THAT(HandlesGivenTo("GlobalFree"), ElementsAre(headerBlock, bitsBlock));

    // The source bitmap is converted through the surface, never selected anywhere.
    const GdiCall *get = GdiDoubleLastCall("GetDIBits");
    HBITMAP bitmap = (HBITMAP)GdiDoubleLastCall("CreateBitmapIndirect")->result;
    EXPECT_EQ(get->dc, surface);
    EXPECT_EQ(get->args[0], (int64_t)(uintptr_t)bitmap);
    EXPECT_EQ(get->args[3], locks[1]->result);
    EXPECT_EQ(get->args[4], locks[0]->result);
    EXPECT_EQ(get->args[5], DIB_RGB_COLORS);
    EXPECT_EQ(GdiDoubleCallCount("SelectObject"), 0);
    EXPECT_EQ(HandlesGivenTo("DeleteObject"), std::vector<int64_t>{(int64_t)(uintptr_t)bitmap});

    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    EXPECT_EQ(stretch->dc, surface);
    EXPECT_THAT(stretch->args, ElementsAre(kX, kY, kCx, kCy, 0, 0, 33, 8, locks[1]->result, locks[0]->result,
                                           DIB_RGB_COLORS, kSrcCopy));
}

// --- Colours and background mode ------------------------------------------

struct ColourCase {
    const char *label;
    COLORREF textColor, bkColor;
    uint8_t table[8]; // entry 0 then entry 1, blue green red reserved
};

TEST_F(RasterTest, MonochromeColourTableTakesTextThenBackgroundColourInBlueGreenRedOrder)
{
    const ColourCase cases[] = {
        {"red text on blue", 0x0000FF, 0xFF0000, {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00}},
        {"top byte dropped", 0x02123456, 0x01FFFFFF, {0x12, 0x34, 0x56, 0x00, 0xFF, 0xFF, 0xFF, 0x00}},
        // Black on white is what GetDIBits writes itself; swapped shows the overwrite.
        {"white text on black", 0xFFFFFF, 0x000000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const ColourCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        BITMAP source = Record(16, 4, 2, 1);
        DrawModeRecord mode = Mode(0, OPAQUE, c.bkColor, c.textColor, 0);
        EXPECT_EQ(Transfer(&source, 0, 0, 16, 4, &mode), 0);
        const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
        ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
        ASSERT_EQ(stretch->info.size(), 48u);
        std::vector<uint8_t> table(stretch->info.begin() + 40, stretch->info.end());
        EXPECT_THAT(table, ElementsAreArray(c.table));
        BITMAPINFOHEADER header;
        std::memcpy(&header, stretch->info.data(), sizeof header);
        EXPECT_EQ(header.biClrUsed, 2u) << "the table is counted, so a recorder keeps it";
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
    }
}

TEST_F(RasterTest, WithoutDrawModeTheTableIsGdisAndTheBackgroundModeIsLeft)
{
    BITMAP source = Record(16, 4, 2, 1);
    EXPECT_EQ(Transfer(&source, 0, 0, 16, 4, nullptr), 0);
    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
    std::vector<uint8_t> table(stretch->info.begin() + 40, stretch->info.end());
    EXPECT_THAT(table, ElementsAre(0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0));
    EXPECT_EQ(GdiDoubleCallCount("SetBkMode"), 0);
}

struct BkModeCase {
    const char *label;
    WORD bitsPixel;
    uint32_t rop2, bkMode, useBkMode;
    int expectedMode; // 0: no SetBkMode
};

TEST_F(RasterTest, BackgroundModeIsSetOnlyWithARop2AndIsOpaqueUnlessTheRecordSaysUseItsOwn)
{
    const BkModeCase cases[] = {
        {"rop2 0 leaves the mode", 1, 0, TRANSPARENT, 1, 0},
        {"rop2 0 leaves the mode (colour)", 24, 0, OPAQUE, 0, 0},
        {"useBkMode 0 forces opaque", 1, R2_COPYPEN, TRANSPARENT, 0, OPAQUE},
        {"useBkMode 1 takes transparent", 1, R2_COPYPEN, TRANSPARENT, 1, TRANSPARENT},
        {"any nonzero useBkMode counts", 24, R2_XORPEN, TRANSPARENT, 0x100, TRANSPARENT},
        {"colour source forced opaque", 8, R2_COPYPEN, TRANSPARENT, 0, OPAQUE},
    };
    for (const BkModeCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        BITMAP source = Record(16, 4, 16 * c.bitsPixel / 8, c.bitsPixel);
        DrawModeRecord mode = Mode(c.rop2, c.bkMode, 0xFFFFFF, 0, c.useBkMode);
        EXPECT_EQ(Transfer(&source, 0, 0, 16, 4, &mode), 0);
        auto calls = GdiDoubleCallsOf("SetBkMode");
        if (c.expectedMode == 0) {
            EXPECT_THAT(calls, IsEmpty()) << GdiDoubleDump();
        } else {
            ASSERT_EQ(calls.size(), 1u) << GdiDoubleDump();
            EXPECT_EQ(calls[0]->dc, surface);
            EXPECT_EQ(calls[0]->args[0], c.expectedMode);
        }
        EXPECT_EQ(GdiDoubleCallCount("SetROP2"), 0);
    }
}

// --- Source rectangle -------------------------------------------------------

struct SpanCase {
    const char *label;
    int32_t width, height, xSrc, ySrc, cxSrc, cySrc;
    int64_t srcWidth, lineCount, firstScanLine;
};

TEST_F(RasterTest, SourceRectangleIsClampedToTheBitmapAndReadFromTheBottomUp)
{
    const SpanCase cases[] = {
        {"inside", 100, 50, 10, 10, 20, 5, 20, 5, 35},
        {"width clamped at the right edge", 100, 50, 90, 0, 20, 50, 10, 50, 0},
        {"lines clamped at the bottom edge", 100, 50, 0, 40, 100, 20, 100, 10, 0},
        {"whole bitmap", 100, 50, 0, 0, 100, 50, 100, 50, 0},
        {"negative height reaches GDI as is", 100, 50, 0, 10, 100, -5, 100, -5, 45},
        {"start past the right edge gives a negative width", 100, 50, 120, 0, 10, 50, -20, 50, 0},
        {"start above the top counts rows above", 100, 50, 0, -10, 100, 70, 100, 60, 0},
    };
    for (const SpanCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        BITMAP source = Record(c.width, c.height, c.width * 3, 24);
        Transfer(&source, c.xSrc, c.ySrc, c.cxSrc, c.cySrc, nullptr);
        const GdiCall *get = GdiDoubleLastCall("GetDIBits");
        ASSERT_NE(get, nullptr) << GdiDoubleDump();
        EXPECT_EQ(get->args[1], c.firstScanLine);
        EXPECT_EQ((int32_t)(uint32_t)get->args[2], c.lineCount);
        const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
        ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
        // x source unclamped, y source 0: the fetched rows start the block.
        EXPECT_EQ(stretch->args[4], c.xSrc);
        EXPECT_EQ(stretch->args[5], 0);
        EXPECT_EQ(stretch->args[6], c.srcWidth);
        EXPECT_EQ(stretch->args[7], c.lineCount);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
    }
}

TEST_F(RasterTest, FetchedRowsAreTheSourceRectanglesLowestRowFirst)
{
    // A 24-bit 4x6 bitmap whose row r is the grey (r * 16) throughout.
    const int width = 4, height = 6, stride = 12;
    std::vector<uint8_t> bits(stride * height);
    for (int row = 0; row < height; ++row) {
        std::memset(&bits[row * stride], row * 16, stride);
    }
    BITMAP source = Record(width, height, stride, 24);
    source.bmBits = bits.data();
    EXPECT_EQ(Transfer(&source, 0, 1, 4, 3, nullptr), 0);
    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
    const size_t dibRow = 12;
    ASSERT_GE(stretch->bits.size(), 3 * dibRow);
    EXPECT_EQ(stretch->bits[0], 3 * 16);
    EXPECT_EQ(stretch->bits[dibRow], 2 * 16);
    EXPECT_EQ(stretch->bits[2 * dibRow], 1 * 16);
}

// --- Failures ---------------------------------------------------------------

TEST_F(RasterTest, NothingFetchedDrawsNothingYetStillSetsTheBackgroundMode)
{
    struct Row : FailureRow {
        int32_t ySrc;
    } rows[] = {
        {{"ySrc at the bottom edge leaves no lines", nullptr, -1}, 8},
        {{"GetDIBits fails", "GetDIBits", -1}, 0},
        {{"bitmap not made", "CreateBitmapIndirect", -1}, 0},
    };
    ForEachFailure(rows, [&](const Row &row) {
        BITMAP source = Record(16, 8, 2, 1);
        DrawModeRecord mode = Mode(R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 0);
        int32_t result = Transfer(&source, 0, row.ySrc, 16, 4, &mode);
        EXPECT_EQ(GdiDoubleCallCount("GetDIBits"), 1) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("StretchDIBits"), 0);
        EXPECT_EQ(GdiDoubleCallCount("SetBkMode"), 1) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleDcState(surface).bkMode, OPAQUE) << "set by that one call";
        return result;
    });
}

TEST_F(RasterTest, StretchFailureIsNotNoticed)
{
    GdiDoubleFailCall("StretchDIBits");
    BITMAP source = Record(16, 8, 6, 24);
    EXPECT_EQ(Transfer(&source, 0, 0, 16, 8, nullptr), 0);
}

struct BlockFailureCase {
    const char *label;
    WORD bitsPixel;
    const char *function;
    int nth;
    std::vector<std::string> calls;
};

TEST_F(RasterTest, EachBlockFailureStopsBeforeConvertingAndReleasesWhatWasMade)
{
    const BlockFailureCase cases[] = {
        {"header block not allocated", 1, "GlobalAlloc", 1, {"CreateBitmapIndirect", "GlobalAlloc", "DeleteObject"}},
        {"header block not locked",
         1,
         "GlobalLock",
         1,
         {"CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GlobalFree", "DeleteObject"}},
        {"monochrome bits block not allocated",
         1,
         "GlobalAlloc",
         2,
         {"CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GlobalAlloc", "GlobalUnlock", "GlobalFree",
          "DeleteObject"}},
        {"monochrome bits block not locked",
         1,
         "GlobalLock",
         2,
         {"CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GlobalAlloc", "GlobalLock", "GlobalUnlock",
          "GlobalFree", "GlobalFree", "DeleteObject"}},
        {"colour bits block not allocated",
         24,
         "GlobalAlloc",
         1,
         {"CreateBitmapIndirect", "GlobalAlloc", "DeleteObject"}},
        {"colour bits block not locked",
         24,
         "GlobalLock",
         1,
         {"CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GlobalFree", "DeleteObject"}},
    };
    for (const BlockFailureCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        GdiDoubleFailCall(c.function, c.nth);
        BITMAP source = Record(16, 8, 2 * c.bitsPixel, c.bitsPixel);
        DrawModeRecord mode = Mode(R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 0);
        EXPECT_EQ(Transfer(&source, 0, 0, 16, 8, &mode), -1);
        EXPECT_EQ(GdiDoubleCallNames(), c.calls) << GdiDoubleDump();
        // The header block goes first when both exist.
        auto allocs = GdiDoubleCallsOf("GlobalAlloc");
        auto frees = GdiDoubleCallsOf("GlobalFree");
        for (size_t i = 0; i < frees.size() && i < allocs.size(); ++i) {
            EXPECT_EQ(frees[i]->args[0], allocs[i]->result);
        }
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

struct OverflowCase {
    const char *label;
    BITMAP source;
};

// Sizes formed from signed 32-bit fields: each of these would wrap, or come
// out negative or zero, and must fail like an allocation instead of yielding a
// block GetDIBits could write past.
TEST_F(RasterTest, BlockSizesThatDoNotFitFailLikeAnAllocation)
{
    const OverflowCase cases[] = {
        {"stride rounding overflows", Record(8, 8, INT32_MAX, 1)},
        {"tripled stride overflows", Record(8, 8, 0x30000000, 24)},
        {"row bits overflow", Record(0x08000000, 8, 4, 24)},
        {"row rounding overflows", Record(INT32_MAX - 10, 8, 4, 1)},
        {"row count overflows", Record(8, INT32_MAX, 4, 1)},
        {"block exceeds 32 bits", Record(8, 0xFFFF, 0x10000, 1)},
        {"block exceeds 32 bits after tripling", Record(8, 0x1000, 0x100000, 24)},
        {"negative height", Record(8, -5, 4, 1)},
        {"height -1 gives an empty block", Record(8, -1, 4, 1)},
        {"nothing to hold", Record(0, 8, 0, 1)},
        {"negative stride and width", Record(-64, 8, -8, 24)},
        {"negative width under a long stride", Record(-64, 8, 200, 24)},
    };
    for (const OverflowCase &c : cases) {
        SCOPED_TRACE(c.label);
        Reopen();
        DrawModeRecord mode = Mode(R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 0);
        EXPECT_EQ(Transfer(&c.source, 0, 0, 8, 8, &mode), -1);
        std::vector<int64_t> expected;
        if (c.source.bmBitsPixel == 1) {
            expected.push_back(48);
        }
        EXPECT_EQ(AllocatedSizes(), expected) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("GetDIBits"), 0);
        EXPECT_EQ(GdiDoubleCallCount("SetBkMode"), 0);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(RasterTest, TheLargestBlockThatFitsIsAskedForUnwrapped)
{
    BITMAP source = Record(8, 0xFFFE, 0x10000, 1);
    EXPECT_EQ(Transfer(&source, 0, 0, 8, 8, nullptr), -1);
    EXPECT_THAT(AllocatedSizes(), ElementsAre(48, 0xFFFF0000LL)) << GdiDoubleDump();
}

// Offsets and sizes at the ends of the 32-bit range: the counts handed to GDI
// are clamped without overflow, and whatever GDI makes of them stays inside
// the blocks (AddressSanitizer watches the double's copies).
TEST_F(RasterTest, ExtremeSourceRectanglesStayInsideTheBlocks)
{
    const struct {
        int32_t xSrc, ySrc, cxSrc, cySrc;
    } cases[] = {
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
        {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
        {0, 1, 16, INT32_MIN},
        {-8, -8, 100, 100},
        {0, 7, 16, -100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.xSrc << "," << c.ySrc << " " << c.cxSrc << "x" << c.cySrc);
        for (WORD bitsPixel : {1, 4, 24}) {
            Reopen();
            BITMAP source = Record(16, 8, 8 * bitsPixel / 4, bitsPixel);
            Transfer(&source, c.xSrc, c.ySrc, c.cxSrc, c.cySrc, nullptr);
            const GdiCall *get = GdiDoubleLastCall("GetDIBits");
            ASSERT_NE(get, nullptr);
            EXPECT_GE((int32_t)(uint32_t)get->args[1], 0) << "first scan line";
            EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
        }
    }
}

// --- Without a source ---------------------------------------------------------

TEST_F(RasterTest, WithoutSourceABlankMemoryBitmapIsBlittedAtTheDestinationsSize)
{
    DrawModeRecord mode = Mode(R2_COPYPEN, TRANSPARENT, 0xFF, 0xFF00, 1);
    EXPECT_EQ(Transfer(nullptr, 3, 4, 5, 6, &mode, kPatCopy), 0);
    EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CreateBitmapIndirect", "CreateCompatibleDC", "SelectObject",
                                                  "StretchBlt", "SelectObject", "DeleteObject", "DeleteDC"))
        << GdiDoubleDump();

    const GdiCall *create = GdiDoubleLastCall("CreateBitmapIndirect");
    HBITMAP bitmap = (HBITMAP)create->result;
    const GdiObjectInfo *made = GdiDoubleObject(bitmap);
    ASSERT_NE(made, nullptr);
    BITMAP zero = {};
    EXPECT_EQ(std::memcmp(&made->bitmap, &zero, sizeof zero), 0);

    HDC memory = (HDC)GdiDoubleLastCall("CreateCompatibleDC")->result;
    EXPECT_EQ(GdiDoubleLastCall("CreateCompatibleDC")->dc, nullptr);
    const GdiCall *blit = GdiDoubleLastCall("StretchBlt");
    EXPECT_EQ(blit->dc, surface);
    EXPECT_THAT(blit->args, ElementsAre(kX, kY, kCx, kCy, (int64_t)(uintptr_t)memory, 0, 0, kCx, kCy, kPatCopy));
    EXPECT_EQ(blit->sourceBitmap, bitmap);
    auto selects = GdiDoubleCallsOf("SelectObject");
    EXPECT_EQ(selects[1]->args[0], (int64_t)(uintptr_t)GdiDoubleDefaultBitmap());
}

TEST_F(RasterTest, WithoutSourceOnlyTheBlitResultCounts)
{
    struct Row : FailureRow {
        uint32_t rop;
    } rows[] = {
        {{"blit fails", "StretchBlt", -1}, kPatCopy},
        {{"no memory context: a pattern-only blit still records", "CreateCompatibleDC", 0}, kPatCopy},
        {{"no memory context: a source blit fails", "CreateCompatibleDC", -1}, kSrcCopy},
        {{"no blank bitmap: the context's own is used", "CreateBitmapIndirect", 0}, kSrcCopy},
    };
    ForEachFailure(rows, [&](const Row &row) {
        int32_t result = Transfer(nullptr, 0, 0, 0, 0, nullptr, row.rop);
        EXPECT_EQ(GdiDoubleCallCount("StretchBlt"), 1);
        return result;
    });
}

// --- Caller's DIB -------------------------------------------------------------

TEST_F(RasterTest, CallersDibIsStretchedExactlyAsGiven)
{
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 8);
    BITMAPINFOHEADER header = {40, 8, 2, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(info.data(), &header, sizeof header);
    uint8_t bits[8] = {0x0F, 0, 0, 0, 0xF0, 0, 0, 0};
    const BITMAPINFO *dib = (const BITMAPINFO *)info.data();
    EXPECT_EQ(TransferDib(surface, 1, 2, 300, 400, -3, 10, 1000, 2000, bits, dib, kSrcCopy), 0);
    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
    EXPECT_EQ(stretch->dc, surface);
    EXPECT_THAT(stretch->args, ElementsAre(1, 2, 300, 400, -3, 10, 1000, 2000, (int64_t)(uintptr_t)bits,
                                           (int64_t)(uintptr_t)dib, DIB_RGB_COLORS, kSrcCopy));
    EXPECT_EQ(GdiDoubleCalls().size(), 1u) << GdiDoubleDump();
}

TEST_F(RasterTest, CallersDibResultIsFailureForNoLinesOrGdiError)
{
    const struct {
        int64_t returned;
        int32_t result;
    } cases[] = {{0, -1}, {GDI_ERROR, -1}, {17, 0}, {1, 0}};
    BITMAPINFOHEADER header = {40, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t bits[4] = {};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.returned);
        GdiDoubleSetReturn("StretchDIBits", c.returned);
        EXPECT_EQ(TransferDib(surface, 0, 0, 1, 1, 0, 0, 1, 1, bits, (const BITMAPINFO *)&header, kSrcCopy), c.result);
    }
    GdiDoubleFailCallWith("StretchDIBits", 1, GDI_ERROR);
    EXPECT_EQ(TransferDib(surface, 0, 0, 1, 1, 0, 0, 1, 1, bits, (const BITMAPINFO *)&header, kSrcCopy), -1);
}

// --- Whole requests through the exports -------------------------------------------

class RasterRequestTest : public RasterTest {
  protected:
    int32_t Raster(const BITMAP *source, LOGBRUSH *brush, const DrawModeRecord *mode, int32_t ySrc = 0)
    {
        int32_t xDest = kX, yDest = kY, cxDest = kCx, cyDest = kCy, xSrc = 0, cxSrc = 16, cySrc = 8;
        uint32_t rop = kSrcCopy;
        return Raster32(&variable, &xDest, &yDest, &cxDest, &cyDest, source, &xSrc, &ySrc, &cxSrc, &cySrc, &rop, brush,
                        mode);
    }
};

TEST_F(RasterRequestTest, TransferDrawsWithTheNullPenAndTheRequestsBrushThenBothAreReleased)
{
    HGDIOBJ brushBefore = GdiDoubleDcState(surface).brush;
    BITMAP source = Record(16, 8, 2, 1);
    LOGBRUSH brush = {BS_SOLID, 0x00FF00, 0};
    DrawModeRecord mode = Mode(R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 1);
    EXPECT_EQ(Raster(&source, &brush, &mode), 0);

    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
    ASSERT_TRUE(stretch->hasState);
    HBRUSH created = (HBRUSH)GdiDoubleLastCall("CreateBrushIndirect")->result;
    EXPECT_EQ((HGDIOBJ)stretch->state.pen, GetStockObject(NULL_PEN));
    EXPECT_EQ(stretch->state.brush, created);
    EXPECT_EQ(stretch->state.bkMode, TRANSPARENT);
    EXPECT_EQ(GdiDoubleCallCount("SetROP2"), 0);

    GdiDcState after = GdiDoubleDcState(surface);
    EXPECT_EQ((HGDIOBJ)after.brush, brushBefore);
    EXPECT_EQ((HGDIOBJ)after.pen, GetStockObject(NULL_PEN));
}

TEST_F(RasterRequestTest, RequestsReportZeroWhateverFailed)
{
    struct Row : FailureRow {
        bool withSource;
    } rows[] = {
        {{"brush not created", "CreateBrushIndirect", 0}, true},
        {{"conversion fails", "GetDIBits", 0}, true},
        {{"bits block not allocated", "GlobalAlloc", 0}, true},
        {{"stretch fails", "StretchDIBits", 0}, true},
        {{"blit fails", "StretchBlt", 0}, false},
    };
    ForEachFailure(rows, [&](const Row &row) {
        BITMAP source = Record(16, 8, 48, 24);
        LOGBRUSH brush = {BS_SOLID, 0x0000FF, 0};
        DrawModeRecord mode = Mode(R2_COPYPEN, OPAQUE, 0xFFFFFF, 0, 0);
        return Raster(row.withSource ? &source : nullptr, &brush, &mode);
    });
}

// A request without a draw mode leaves the background mode an earlier one set.
TEST_F(RasterRequestTest, BackgroundModeOfOneRequestCarriesIntoTheNext)
{
    BITMAP source = Record(16, 8, 2, 1);
    DrawModeRecord transparent = Mode(R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 1);
    EXPECT_EQ(Raster(&source, nullptr, &transparent), 0);
    GdiDoubleClearLog();
    EXPECT_EQ(Raster(&source, nullptr, nullptr), 0);
    const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
    ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
    EXPECT_EQ(stretch->state.bkMode, TRANSPARENT);
    EXPECT_EQ(GdiDoubleCallCount("SetBkMode"), 0);
}

TEST_F(RasterRequestTest, DibRequestStretchesBetweenRealizeAndReleaseAndReportsZero)
{
    BITMAPINFOHEADER header = {40, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t bits[48] = {};
    Handle32 variable = HandleTo32(surface);
    int32_t xDest = 1, yDest = 2, cxDest = 30, cyDest = 40, xSrc = 0, ySrc = 10, cxSrc = 400, cySrc = 500;
    uint32_t rop = kSrcCopy;
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "stretch fails" : "stretch succeeds");
        GdiDoubleClearLog();
        if (fails) {
            GdiDoubleFailCall("StretchDIBits");
        }
        EXPECT_EQ(Dib32(&variable, &xDest, &yDest, &cxDest, &cyDest, &xSrc, &ySrc, &cxSrc, &cySrc, bits,
                        (const BITMAPINFO *)&header, &rop, nullptr, nullptr),
                  0);
        const GdiCall *stretch = GdiDoubleLastCall("StretchDIBits");
        ASSERT_NE(stretch, nullptr) << GdiDoubleDump();
        EXPECT_THAT(stretch->args, ElementsAre(1, 2, 30, 40, 0, 10, 400, 500, (int64_t)(uintptr_t)bits,
                                               (int64_t)(uintptr_t)&header, DIB_RGB_COLORS, kSrcCopy));
        EXPECT_EQ((HGDIOBJ)stretch->state.pen, GetStockObject(NULL_PEN));
        EXPECT_EQ((HGDIOBJ)stretch->state.brush, GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GdiDoubleCallCount("SetBkMode"), 0);
        EXPECT_EQ(GdiDoubleCallCount("SetTextColor"), 0);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

} // namespace
