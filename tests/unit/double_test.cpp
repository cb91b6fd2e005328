// The GDI test double's own behaviour, where a mistake would make the
// library's tests pass or fail for the wrong reason.
#include "surface_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

class GdiDoubleTest : public SurfaceTest {
  protected:
    HPEN MakePen(COLORREF color)
    {
        LOGPEN pen = {PS_DASH, {3, 0}, color};
        return CreatePenIndirect(&pen);
    }
};

TEST_F(GdiDoubleTest, HandlesAreDistinctAndSurviveA32BitRoundTrip)
{
    HPEN pen = MakePen(0xFF);
    ASSERT_NE(pen, nullptr);
    EXPECT_NE((void *)pen, (void *)surface);
    EXPECT_NE((void *)pen, GetStockObject(BLACK_PEN));
    int32_t narrow = (int32_t)(uintptr_t)pen;
    EXPECT_EQ((HPEN)(intptr_t)narrow, pen);
    EXPECT_LT(narrow, 0) << "bit 31 set, as 64-bit Windows hands handles out";
    EXPECT_EQ(GdiDoubleObject((HGDIOBJ)(uintptr_t)(uint32_t)narrow), nullptr) << "zero-extended, it names nothing";
    EXPECT_EQ(GetStockObject(NULL_PEN), GetStockObject(NULL_PEN));
    EXPECT_EQ(GetStockObject(9), nullptr);
}

TEST_F(GdiDoubleTest, SelectObjectAnswersWithTheObjectOfThatKindItReplaced)
{
    HPEN pen = MakePen(0xFF);
    LOGBRUSH solid = {BS_SOLID, 0x00FF00, 0};
    HBRUSH brush = CreateBrushIndirect(&solid);

    EXPECT_EQ(SelectObject(surface, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(surface, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(surface, GetStockObject(NULL_PEN)), (HGDIOBJ)pen);
    EXPECT_EQ(SelectObject(surface, GetStockObject(SYSTEM_FONT)), GetStockObject(SYSTEM_FONT));

    GdiDcState state = GdiDoubleDcState(surface);
    EXPECT_EQ((HGDIOBJ)state.pen, GetStockObject(NULL_PEN));
    EXPECT_EQ(state.brush, brush);
}

TEST_F(GdiDoubleTest, BitmapsGoOnlyIntoMemoryDcsAndOnlyIntoOne)
{
    BITMAP record = {0, 8, 8, 2, 1, 1, nullptr};
    HBITMAP bitmap = CreateBitmapIndirect(&record);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(nullptr);

    EXPECT_EQ(SelectObject(surface, bitmap), nullptr);
    EXPECT_EQ(SelectObject(memory, bitmap), (HGDIOBJ)GdiDoubleDefaultBitmap());
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    EXPECT_THAT(GdiDoubleMisuseProblems(), ElementsAre(HasSubstr("not a memory DC")));
}

TEST_F(GdiDoubleTest, ZeroSizedBitmapIsAnObjectOfItsOwn)
{
    BITMAP zero = {};
    HBITMAP bitmap = CreateBitmapIndirect(&zero);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_NE(bitmap, GdiDoubleDefaultBitmap());
    DeleteObject(bitmap);
    EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
}

TEST_F(GdiDoubleTest, LedgerIsCleanAfterSelectBackThenDelete)
{
    HPEN pen = MakePen(0xFF);
    HGDIOBJ old = SelectObject(surface, pen);
    SelectObject(surface, old);
    DeleteObject(pen);
    HGLOBAL block = GlobalAlloc(GHND, 16);
    GlobalLock(block);
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
}

TEST_F(GdiDoubleTest, LedgerNamesEachKindOfObjectMisuse)
{
    struct Case {
        const char *label;
        void (*act)(HDC surface);
        const char *problem;
    };
    const Case cases[] = {
        {"never deleted", [](HDC) { LOGPEN p = {0, {2, 0}, 0}; CreatePenIndirect(&p); }, "was never deleted"},
        {"deleted twice",
         [](HDC) {
             LOGPEN p = {0, {2, 0}, 0};
             HPEN pen = CreatePenIndirect(&p);
             DeleteObject(pen);
             DeleteObject(pen);
         },
         "deleted twice"},
        {"deleted while selected",
         [](HDC dc) {
             LOGBRUSH b = {BS_SOLID, 0, 0};
             HBRUSH brush = CreateBrushIndirect(&b);
             SelectObject(dc, brush);
             DeleteObject(brush);
         },
         "deleted while selected into recording DC"},
        {"stock deleted", [](HDC) { DeleteObject(GetStockObject(NULL_BRUSH)); }, "stock object NULL_BRUSH deleted"},
        {"unknown handle", [](HDC) { DeleteObject((HGDIOBJ)0x7777); }, "unknown handle 0x7777"},
        {"null handle", [](HDC) { DeleteObject(nullptr); }, "DeleteObject(NULL)"},
        {"selected after deletion",
         [](HDC dc) {
             LOGPEN p = {0, {2, 0}, 0};
             HPEN pen = CreatePenIndirect(&p);
             DeleteObject(pen);
             SelectObject(dc, pen);
         },
         "SelectObject of deleted pen"},
        {"DC used after close",
         [](HDC dc) {
             DeleteEnhMetaFile(CloseEnhMetaFile(dc));
             SetROP2(dc, R2_BLACK);
         },
         "used after deletion"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        c.act(surface);
        EXPECT_THAT(GdiDoubleProblems(), ElementsAre(HasSubstr(c.problem))) << GdiDoubleDump();
    }
}

TEST_F(GdiDoubleTest, LedgerNamesEachKindOfBlockMisuse)
{
    struct Case {
        const char *label;
        void (*act)();
        std::vector<const char *> problems;
    };
    const Case cases[] = {
        {"never freed", [] { GlobalAlloc(GHND, 260); }, {"(260 bytes, flags 0x42) was never freed"}},
        {"left locked",
         [] { GlobalLock(GlobalAlloc(GHND, 8)); },
         {"was never freed", "is still locked (lock count 1)"}},
        {"freed while locked",
         [] {
             HGLOBAL block = GlobalAlloc(GHND, 8);
             GlobalLock(block);
             GlobalFree(block);
         },
         {"freed while locked"}},
        {"freed twice",
         [] {
             HGLOBAL block = GlobalAlloc(GHND, 8);
             GlobalFree(block);
             GlobalFree(block);
         },
         {"after it was freed"}},
        {"unlocked while not locked",
         [] {
             HGLOBAL block = GlobalAlloc(GHND, 8);
             GlobalUnlock(block);
             GlobalFree(block);
         },
         {"unlocked while not locked"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        c.act();
        std::vector<std::string> problems = GdiDoubleProblems();
        ASSERT_THAT(problems, SizeIs(c.problems.size())) << ::testing::PrintToString(problems);
        for (size_t i = 0; i < problems.size(); ++i) {
            EXPECT_THAT(problems[i], HasSubstr(c.problems[i]));
        }
    }
}

TEST_F(GdiDoubleTest, SurfacesCountAsLeaksOnlyWhenAskedFor)
{
    EXPECT_THAT(GdiDoubleLeakProblems(), IsEmpty());
    EXPECT_THAT(GdiDoubleLeakProblems(GdiLedgerScope::Everything), SizeIs(2));
    DeleteDC(reference);
    DeleteEnhMetaFile(CloseEnhMetaFile(surface));
    EXPECT_THAT(GdiDoubleProblems(GdiLedgerScope::Everything), IsEmpty());
}

TEST_F(GdiDoubleTest, GlobalAllocGivesRealZeroedMemoryOfTheRequestedSize)
{
    HGLOBAL handle = GlobalAlloc(GHND, 260);
    uint8_t *memory = (uint8_t *)GlobalLock(handle);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(memory[0], 0);
    EXPECT_EQ(memory[259], 0);
    const GdiBlockInfo *block = GdiDoubleBlock(handle);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, 260u);
    EXPECT_EQ(block->flags, 0x42u);
    EXPECT_EQ(block->lockCount, 1);
    GlobalUnlock(handle);
    GlobalFree(handle);
    EXPECT_EQ(GlobalAlloc(GHND, (SIZE_T)1 << 30), nullptr);
}

TEST_F(GdiDoubleTest, FailureCountingStartsAtTheInstruction)
{
    GlobalFree(GlobalAlloc(GHND, 4));
    GdiDoubleFailCall("GlobalAlloc", 2);
    HGLOBAL first = GlobalAlloc(GHND, 4);
    HGLOBAL second = GlobalAlloc(GHND, 4);
    HGLOBAL third = GlobalAlloc(GHND, 4);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_TRUE(GdiDoubleCallsOf("GlobalAlloc")[2]->injected);
    EXPECT_THAT(GdiDoublePendingFailures(), IsEmpty());
    GlobalFree(first);
    GlobalFree(third);
}

TEST_F(GdiDoubleTest, InjectedFailureChangesNoState)
{
    GdiDoubleFailCall("SetROP2");
    EXPECT_EQ(SetROP2(surface, R2_XORPEN), 0);
    EXPECT_EQ(GdiDoubleDcState(surface).rop2, R2_COPYPEN);
    EXPECT_EQ(SetROP2(surface, R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(GdiDoubleDcState(surface).rop2, R2_XORPEN);
}

TEST_F(GdiDoubleTest, FailureValueAndSuccessValueCanBeChosen)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t bits[4] = {};
    GdiDoubleFailEveryCallWith("StretchDIBits", GDI_ERROR);
    EXPECT_EQ(StretchDIBits(surface, 0, 0, 1, 1, 0, 0, 1, 1, bits, &info, 0, SRCCOPY), GDI_ERROR);
    EXPECT_EQ(StretchDIBits(surface, 0, 0, 1, 1, 0, 0, 1, 1, bits, &info, 0, SRCCOPY), GDI_ERROR);
    GdiDoubleClearFailures();
    EXPECT_EQ(StretchDIBits(surface, 0, 0, 1, 1, 0, 0, 1, 5, bits, &info, 0, SRCCOPY), 5);
    GdiDoubleSetReturn("StretchDIBits", 17);
    EXPECT_EQ(StretchDIBits(surface, 0, 0, 1, 1, 0, 0, 1, 5, bits, &info, 0, SRCCOPY), 17);
    EXPECT_THROW(GdiDoubleFailCall("StretchDIBit"), std::invalid_argument);
}

TEST_F(GdiDoubleTest, UnfiredFailuresAreReported)
{
    GdiDoubleFailCall("GlobalLock", 3);
    GlobalFree(GlobalAlloc(GHND, 4));
    EXPECT_THAT(GdiDoublePendingFailures(), ElementsAre("GlobalLock call 3 (seen 0)"));
}

TEST_F(GdiDoubleTest, DumpShowsEachCallWithArgumentsAndResult)
{
    SetROP2(surface, R2_XORPEN);
    GdiDoubleFailCall("LineTo");
    LineTo(surface, 3, 4);
    std::string dump = GdiDoubleDump();
    EXPECT_THAT(dump, HasSubstr("SetROP2(dc=" + GdiDoubleHandleName(surface) + ", 7) -> 13\n"));
    EXPECT_THAT(dump, HasSubstr("LineTo(dc=" + GdiDoubleHandleName(surface) + ", 3, 4) -> 0  [injected failure]"));
    EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAre("SetROP2", "LineTo"));
}

TEST_F(GdiDoubleTest, ShapesRefuseTheCountsGdiRefuses)
{
    POINT points[7] = {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}, {5, 1}, {6, 0}};
    EXPECT_FALSE(Polygon(surface, points, 0));
    EXPECT_FALSE(Polyline(surface, points, 1));
    EXPECT_TRUE(Polyline(surface, points, 2));
    EXPECT_FALSE(PolyBezier(surface, points, 5));
    EXPECT_TRUE(PolyBezier(surface, points, 7));
    INT counts[2] = {3, 1};
    EXPECT_FALSE(PolyPolygon(surface, points, counts, 2));
    EXPECT_THAT(GdiDoubleLastCall("PolyPolygon")->points, SizeIs(4));
}

TEST_F(GdiDoubleTest, PathMustBeClosedBeforeItIsWidenedOrFilled)
{
    EXPECT_FALSE(EndPath(surface));
    EXPECT_TRUE(BeginPath(surface));
    MoveToEx(surface, 0, 5, nullptr);
    LineTo(surface, 9, 5);
    EXPECT_FALSE(FillPath(surface));
    EXPECT_TRUE(EndPath(surface));
    EXPECT_TRUE(WidenPath(surface));
    GdiDcState state = GdiDoubleDcState(surface);
    EXPECT_EQ(state.pathFigures, 1);
    EXPECT_EQ(state.pathSegments, 1);
    EXPECT_TRUE(FillPath(surface));
    EXPECT_EQ(GdiDoubleDcState(surface).path, GdiPathState::None);
    EXPECT_FALSE(FillPath(surface));
}

TEST_F(GdiDoubleTest, ClipIsResetThenIntersected)
{
    IntersectClipRect(surface, 0, 0, 100, 100);
    IntersectClipRect(surface, 50, 60, 200, 200);
    EXPECT_EQ(GdiDoubleDcState(surface).clip.left, 50);
    EXPECT_EQ(GdiDoubleDcState(surface).clip.right, 100);
    SelectClipRgn(surface, nullptr);
    EXPECT_FALSE(GdiDoubleDcState(surface).hasClip);
    EXPECT_EQ(IntersectClipRect(surface, 10, 10, 20, 20), SIMPLEREGION);
    EXPECT_EQ(GdiDoubleDcState(surface).clip.right, 20);
}

// An 9x3 monochrome bitmap, rows from the top: all black, all white, alternating.
class GetDIBitsTest : public GdiDoubleTest {
protected:
    void SetUp() override
    {
        GdiDoubleTest::SetUp();
        BITMAP record = {0, 9, 3, 2, 1, 1, rows};
        bitmap = CreateBitmapIndirect(&record);
    }

    uint8_t rows[6] = {0x00, 0x00, 0xFF, 0x80, 0xAA, 0x80};
    HBITMAP bitmap = nullptr;
};

TEST_F(GetDIBitsTest, MonochromeRowsAreCountedFromTheBottom)
{
    uint8_t header[48] = {};
    BITMAPINFO *info = (BITMAPINFO *)header;
    info->bmiHeader = {40, 9, 3, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t bits[12];
    std::memset(bits, 0x5A, sizeof bits);

    EXPECT_EQ(GetDIBits(surface, bitmap, 1, 5, bits, info, DIB_RGB_COLORS), 2);
    // Scan line 1 is the white row, scan line 2 the black one; 4 bytes per row.
    EXPECT_THAT(std::vector<uint8_t>(bits, bits + 8), ElementsAre(0xFF, 0x80, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(bits[8], 0x5A) << "wrote past the rows asked for";
    EXPECT_EQ(info->bmiHeader.biSizeImage, 12u);
    EXPECT_THAT(std::vector<uint8_t>(header + 40, header + 48), ElementsAre(0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0));
}

TEST_F(GetDIBitsTest, ConvertsToTwentyFourBits)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, 9, 3, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bits(3 * 28 + 1, 0x5A);
    ASSERT_EQ(GetDIBits(surface, bitmap, 0, 3, bits.data(), &info, DIB_RGB_COLORS), 3);
    // Bottom row first: the alternating row starts white, black, white.
    EXPECT_THAT(std::vector<uint8_t>(bits.begin(), bits.begin() + 9), ElementsAre(255, 255, 255, 0, 0, 0, 255, 255, 255));
    EXPECT_EQ(bits[28 + 3], 255);  // middle row is white
    EXPECT_EQ(bits[56 + 3], 0);    // top row is black
    EXPECT_EQ(bits[27], 0) << "row padding is zeroed";
    EXPECT_EQ(bits[84], 0x5A);
}

TEST_F(GetDIBitsTest, ReturnsZeroWhenNoRowCanBeCopied)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, 9, 3, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    uint8_t bits[128] = {};
    EXPECT_EQ(GetDIBits(surface, bitmap, 3, 1, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(surface, bitmap, 0, 0, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(surface, nullptr, 0, 1, bits, &info, DIB_RGB_COLORS), 0);
    DeleteObject(bitmap);
    EXPECT_EQ(GetDIBits(surface, bitmap, 0, 1, bits, &info, DIB_RGB_COLORS), 0);
    EXPECT_THAT(GdiDoubleMisuseProblems(), ElementsAre(HasSubstr("not a live bitmap")));
}

TEST(GdiDoubleCodePages, CharsetsMapToWindowsCodePages)
{
    GdiDoubleReset();
    const struct {
        UINT charset;
        UINT codePage;
    } rows[] = {{ANSI_CHARSET, 1252},      {EASTEUROPE_CHARSET, 1250}, {RUSSIAN_CHARSET, 1251},
                {GREEK_CHARSET, 1253},     {TURKISH_CHARSET, 1254},    {HEBREW_CHARSET, 1255},
                {ARABIC_CHARSET, 1256},    {BALTIC_CHARSET, 1257},     {VIETNAMESE_CHARSET, 1258},
                {THAI_CHARSET, 874},       {SHIFTJIS_CHARSET, 932},    {GB2312_CHARSET, 936},
                {HANGUL_CHARSET, 949},     {CHINESEBIG5_CHARSET, 950}, {JOHAB_CHARSET, 1361}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.charset);
        CHARSETINFO info = {};
        EXPECT_TRUE(TranslateCharsetInfo((DWORD *)(uintptr_t)row.charset, &info, TCI_SRCCHARSET));
        EXPECT_EQ(info.ciACP, row.codePage);
    }
    for (UINT charset : {SYMBOL_CHARSET, OEM_CHARSET, DEFAULT_CHARSET, 77}) {
        SCOPED_TRACE(charset);
        CHARSETINFO info = {};
        EXPECT_FALSE(TranslateCharsetInfo((DWORD *)(uintptr_t)charset, &info, TCI_SRCCHARSET));
    }
}

TEST(GdiDoubleCodePages, LeadBytesFollowTheCodePage)
{
    GdiDoubleReset();
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x81));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA0));
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0xFC));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xFD));
    EXPECT_TRUE(IsDBCSLeadByteEx(949, 0xFE));
    EXPECT_FALSE(IsDBCSLeadByteEx(1361, 0xD4));
    EXPECT_TRUE(IsDBCSLeadByteEx(1361, 0xD8));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x81));
    EXPECT_EQ(GetACP(), 1252u);
    GdiDoubleSetACP(932);
    EXPECT_EQ(GetACP(), 932u);
}

TEST(GdiDoubleFileNames, TempFileNameIsUniqueAndMissingDirectoriesFail)
{
    GdiDoubleReset();
    char first[MAX_PATH] = {};
    char second[MAX_PATH] = {};
    UINT number = GetTempFileNameA("C:\\WINDOWS\\temp", "EMF", 0, first);
    EXPECT_NE(number, 0u);
    EXPECT_THAT(first, ::testing::StartsWith("C:\\WINDOWS\\temp\\EMF"));
    EXPECT_THAT(first, ::testing::EndsWith(".tmp"));
    GetTempFileNameA("C:\\WINDOWS\\temp", "EMF", 0, second);
    EXPECT_STRNE(first, second);

    GdiDoubleSetMissingDirectory("c:\\windows\\TEMP\\");
    char untouched[MAX_PATH] = "sentinel";
    EXPECT_EQ(GetTempFileNameA("C:\\WINDOWS\\temp", "EMF", 0, untouched), 0u);
    EXPECT_STREQ(untouched, "sentinel");
}

TEST(GdiDoubleFileNames, WindowsDirectoryTooLongForTheBufferIsNotWritten)
{
    GdiDoubleReset();
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 11u);
    EXPECT_STREQ(buffer, "xxxxxxx");
    char enough[MAX_PATH];
    EXPECT_EQ(GetWindowsDirectoryA(enough, MAX_PATH), 10u);
    EXPECT_STREQ(enough, "C:\\WINDOWS");
}

}  // namespace
