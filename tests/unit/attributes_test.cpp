// Pens, brushes and draw modes realized on the recording surface, the attribute
// set each output style gets, and their release.
#include "attributes/attributes.h"
#include "surface_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const DrawModeRecord kDrawMode = {R2_XORPEN, TRANSPARENT, 0x123456, 0x654321, 0};
const Names kDrawModeCalls = {"SetBkMode", "SetBkColor", "SetTextColor"};

HGDIOBJ Object(Handle32 slot)
{
    return HandleFrom32(slot);
}

class AttributesTest : public SurfaceTest {
  protected:
    void SetUp() override
    {
        SurfaceTest::SetUp();
        before = GdiDoubleDcState(surface);
    }

    // Releases the slots and checks GDI is left clean and holding what it held.
    void ReleaseAndCheck(const ObjectSlots &slots)
    {
        EXPECT_EQ(ReleaseAttributes(surface, slots.pen, slots.oldPen, slots.brush, slots.oldBrush, slots.patternBitmap),
                  0);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
        EXPECT_THAT(GdiDoublePendingFailures(), IsEmpty()) << "an injected failure never fired";
    }

    int32_t Brush(LOGBRUSH *record, const DrawModeRecord *drawMode = &kDrawMode)
    {
        return RealizeBrush(surface, record, drawMode, &slots.brush, &slots.oldBrush, &slots.patternBitmap);
    }

    bool DrawModeApplied()
    {
        GdiDcState now = GdiDoubleDcState(surface);
        return now.bkMode == TRANSPARENT && now.bkColor == kDrawMode.bkColor && now.textColor == kDrawMode.textColor;
    }

    GdiDcState before;
    ObjectSlots slots = {0, 0, 0, 0, 0};
};

// --- Pens ------------------------------------------------------------------

TEST_F(AttributesTest, LogicalPenUsesStockPensOnlyForExactOneUnitSolidBlackOrWhite)
{
    const struct {
        const char *label;
        LOGPEN record;
        int stock; // -1: a pen is created from the record
        UINT styleAfter;
    } rows[] = {
        {"inside frame becomes black stock", {PS_INSIDEFRAME, {1, 0}, 0}, BLACK_PEN, PS_SOLID},
        {"height ignored", {PS_SOLID, {1, 7}, 0}, BLACK_PEN, PS_SOLID},
        {"white", {PS_SOLID, {1, 0}, 0xFFFFFF}, WHITE_PEN, PS_SOLID},
        {"white with high byte", {PS_SOLID, {1, 0}, 0x01FFFFFF}, -1, PS_SOLID},
        {"black with high byte", {PS_SOLID, {1, 0}, 0x02000000}, -1, PS_SOLID},
        {"white of width 2", {PS_SOLID, {2, 0}, 0xFFFFFF}, -1, PS_SOLID},
        {"black of width 0", {PS_SOLID, {0, 0}, 0}, -1, PS_SOLID},
        {"dashed black", {PS_DASH, {1, 0}, 0}, -1, PS_DASH},
        {"wide inside frame", {PS_INSIDEFRAME, {4, 9}, 0xFF}, -1, PS_SOLID},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        SetUp();
        LOGPEN record = row.record;
        slots = {};
        EXPECT_EQ(SelectLogicalPen(surface, &record, &slots.pen, &slots.oldPen), 0);
        EXPECT_EQ(record.lopnStyle, row.styleAfter);
        if (row.stock >= 0) {
            EXPECT_EQ(slots.pen, 0u);
            EXPECT_EQ(slots.oldPen, 0u);
            EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).pen, GetStockObject(row.stock));
        } else {
            const GdiObjectInfo *pen = GdiDoubleObject(Object(slots.pen));
            ASSERT_NE(pen, nullptr) << GdiDoubleDump();
            EXPECT_EQ(pen->creator, "CreatePenIndirect");
            EXPECT_EQ(pen->logPen.lopnStyle, row.styleAfter);
            EXPECT_EQ(pen->logPen.lopnWidth.y, row.record.lopnWidth.y);
            EXPECT_EQ(pen->logPen.lopnColor, row.record.lopnColor);
            EXPECT_EQ(Object(slots.oldPen), (HGDIOBJ)before.pen);
            EXPECT_EQ(Object(slots.pen), (HGDIOBJ)GdiDoubleDcState(surface).pen);
        }
        ReleaseAndCheck(slots);
    }
}

TEST_F(AttributesTest, MissingPenSelectsNullPen)
{
    EXPECT_EQ(SelectLogicalPen(surface, nullptr, &slots.pen, &slots.oldPen), 0);
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).pen, GetStockObject(NULL_PEN));
    EXPECT_EQ(slots.pen, 0u);
    EXPECT_EQ(slots.oldPen, 0u);
}

TEST_F(AttributesTest, GeometricPenIsSolidBrushedWithoutDashArray)
{
    EXPECT_EQ(CreateGeometricPen(surface, 0x0000FF, PS_DASH | PS_ENDCAP_FLAT, 5, &slots.pen, &slots.oldPen), 0);
    const GdiObjectInfo *pen = GdiDoubleObject(Object(slots.pen));
    ASSERT_NE(pen, nullptr) << GdiDoubleDump();
    EXPECT_EQ(pen->extPenStyle, (DWORD)(PS_GEOMETRIC | PS_DASH | PS_ENDCAP_FLAT));
    EXPECT_EQ(pen->extPenWidth, 5u);
    EXPECT_EQ(pen->extPenBrush.lbStyle, (UINT)BS_SOLID);
    EXPECT_EQ(pen->extPenBrush.lbColor, 0x0000FFu);
    EXPECT_EQ(pen->extPenBrush.lbHatch, 0u);
    EXPECT_THAT(pen->extPenStyleArray, IsEmpty());
    EXPECT_EQ(Object(slots.oldPen), (HGDIOBJ)before.pen);
    ReleaseAndCheck(slots);
}

TEST_F(AttributesTest, FailedPenLeavesSlotsEmptyAndPreviousPenSelected)
{
    LOGPEN insideFrame = {PS_INSIDEFRAME, {3, 0}, 0xFF};
    GdiDoubleFailCall("CreatePenIndirect");
    EXPECT_EQ(SelectLogicalPen(surface, &insideFrame, &slots.pen, &slots.oldPen), -1);
    EXPECT_EQ(insideFrame.lopnStyle, (UINT)PS_SOLID) << "the rewrite stays";
    GdiDoubleFailCall("ExtCreatePen");
    EXPECT_EQ(CreateGeometricPen(surface, 0, 0, 1, &slots.pen, &slots.oldPen), -1);
    EXPECT_EQ(slots.pen, 0u);
    EXPECT_EQ(slots.oldPen, 0u);
    EXPECT_EQ(GdiDoubleCallCount("SelectObject"), 0) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleDcState(surface).pen, before.pen);
    ReleaseAndCheck(slots);
}

// --- Brushes ---------------------------------------------------------------

// 8x8 patterns; the 8 bpp one holds grey level 16 * row + column, top row first.
struct Pattern {
    explicit Pattern(WORD bitsPixel, LONG widthBytes)
    {
        for (int i = 0; i < 64; ++i) {
            bits[i] = (uint8_t)(16 * (i / 8) + i % 8);
        }
        record = {0, 8, 8, widthBytes, 1, bitsPixel, bits};
    }
    uint8_t bits[8 * 24] = {}; // room for the 24 bpp rows
    BITMAP record;
};

TEST_F(AttributesTest, MissingOrHollowBrushLeavesDrawModeAlone)
{
    EXPECT_EQ(Brush(nullptr), 0);
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).brush, GetStockObject(NULL_BRUSH));
    LOGBRUSH hollow = {BS_HOLLOW, 0xFF, 0};
    SetUp();
    EXPECT_EQ(Brush(&hollow), 0);
    EXPECT_THAT(GdiDoubleCalls(), IsEmpty()) << GdiDoubleDump();
    EXPECT_FALSE(DrawModeApplied());
    EXPECT_EQ(slots.brush, 0u);
    EXPECT_EQ(slots.oldBrush, 0u);
    EXPECT_EQ(slots.patternBitmap, 0u);
}

TEST_F(AttributesTest, DrawModeIsInForceBeforeEachKindOfBrushIsCreated)
{
    Pattern mono(1, 2), colour(8, 8);
    const Names colourPrep = {"CreateBitmapIndirect", "GlobalAlloc", "GlobalLock", "GetDIBits"};
    const struct {
        const char *label;
        LOGBRUSH record;
        Names prepare, create;
    } rows[] = {
        {"solid", {BS_SOLID, 0xFF, 0}, {}, {"CreateBrushIndirect"}},
        {"hatched", {BS_HATCHED, 0xFF, HS_CROSS}, {}, {"CreateBrushIndirect"}},
        {"unknown style", {9, 0xFF, 0}, {}, {"CreateBrushIndirect"}},
        {"monochrome pattern",
         {BS_PATTERN, 0, (ULONG_PTR)&mono.record},
         {"CreateBitmapIndirect"},
         {"CreateBrushIndirect"}},
        {"colour pattern",
         {BS_PATTERN, 0, (ULONG_PTR)&colour.record},
         colourPrep,
         {"CreateDIBPatternBrushPt", "GlobalUnlock", "GlobalFree"}},
    };
    for (const auto &row : rows) {
        for (const DrawModeRecord *drawMode : {&kDrawMode, (const DrawModeRecord *)nullptr}) {
            SCOPED_TRACE(std::string(row.label) + (drawMode ? " with draw mode" : " without"));
            SetUp();
            slots = {};
            LOGBRUSH record = row.record;
            EXPECT_EQ(Brush(&record, drawMode), 0);
            Names expected = Join({row.prepare, drawMode ? kDrawModeCalls : Names{}, row.create, {"SelectObject"}});
            EXPECT_THAT(GdiDoubleCallNames(), ElementsAreArray(expected)) << GdiDoubleDump();
            EXPECT_EQ(DrawModeApplied(), drawMode != nullptr);
            EXPECT_EQ(Object(slots.brush), (HGDIOBJ)GdiDoubleDcState(surface).brush);
            EXPECT_EQ(Object(slots.oldBrush), (HGDIOBJ)before.brush);
            if (record.lbStyle == BS_PATTERN) {
                ASSERT_NE(slots.patternBitmap, 0u);
                EXPECT_EQ(record.lbHatch, (ULONG_PTR)Object(slots.patternBitmap));
            } else {
                EXPECT_EQ(record.lbHatch, row.record.lbHatch);
                const GdiObjectInfo *made = GdiDoubleObject(Object(slots.brush));
                ASSERT_NE(made, nullptr) << GdiDoubleDump();
                EXPECT_EQ(made->logBrush.lbStyle, row.record.lbStyle);
            }
            ReleaseAndCheck(slots);
        }
    }
}

TEST_F(AttributesTest, MonochromePatternBrushIsMadeFromTheRewrittenRecord)
{
    Pattern mono(1, 2);
    LOGBRUSH record = {BS_PATTERN, 0, (ULONG_PTR)&mono.record};
    ASSERT_EQ(Brush(&record), 0);
    const GdiObjectInfo *brush = GdiDoubleObject(Object(slots.brush));
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->logBrush.lbStyle, (UINT)BS_PATTERN);
    EXPECT_EQ(brush->logBrush.lbHatch, (ULONG_PTR)Object(slots.patternBitmap));
    EXPECT_THAT(GdiDoubleBlocks(), IsEmpty());
    ReleaseAndCheck(slots);
}

TEST_F(AttributesTest, ColourPatternIsReadBackAsPacked24BitDib)
{
    const struct {
        WORD bitsPixel;
        LONG widthBytes;
        SIZE_T blockSize;
    } rows[] = {{8, 8, 260}, {4, 4, 232}, {24, 24, 692}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.bitsPixel);
        SetUp();
        slots = {};
        Pattern pattern(row.bitsPixel, row.widthBytes);
        LOGBRUSH record = {BS_PATTERN, 0, (ULONG_PTR)&pattern.record};
        ASSERT_EQ(Brush(&record), 0) << GdiDoubleDump();
        ASSERT_EQ(GdiDoubleBlocks().size(), 1u);
        const GdiBlockInfo *block = GdiDoubleBlocks()[0];
        EXPECT_EQ(block->size, row.blockSize);
        EXPECT_EQ(block->flags, (UINT)(GMEM_MOVEABLE | GMEM_ZEROINIT));
        const GdiCall *read = GdiDoubleLastCall("GetDIBits");
        const GdiCall *made = GdiDoubleLastCall("CreateDIBPatternBrushPt");
        int64_t lockedAt = GdiDoubleLastCall("GlobalLock")->result;
        EXPECT_THAT(read->args, ElementsAre((int64_t)(intptr_t)Object(slots.patternBitmap), 0, 8, lockedAt + 40, testing::_, 0));
        EXPECT_THAT(made->args, ElementsAre(lockedAt, DIB_RGB_COLORS));
        const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)made->info.data();
        EXPECT_EQ(header->biSize, 40u);
        EXPECT_EQ(header->biWidth, 8);
        EXPECT_EQ(header->biHeight, 8);
        EXPECT_EQ(header->biPlanes, 1);
        EXPECT_EQ(header->biBitCount, 24);
        EXPECT_EQ(header->biCompression, (DWORD)BI_RGB);
        ASSERT_EQ(made->bits.size(), 8u * 24u);
        if (row.bitsPixel == 8) {
            // Bottom row first: grey 16 * 7 + column, as blue, green, red.
            EXPECT_THAT(std::vector<uint8_t>(made->bits.begin(), made->bits.begin() + 6),
                        ElementsAre(112, 112, 112, 113, 113, 113));
            EXPECT_EQ(made->bits[7 * 24 + 3 * 5], 5);
        }
        ReleaseAndCheck(slots);
    }
}

TEST_F(AttributesTest, EachBrushFailureLeavesOnlyWhatTheReleaseCanUndo)
{
    enum Hatch { KEPT, BITMAP_HANDLE };
    struct Row : FailureRow {
        WORD bitsPixel; // 0: a solid brush
        Hatch hatch;
        bool drawModeApplied, bitmapKept;
    } rows[] = {
        {{"solid brush", "CreateBrushIndirect", -1}, 0, KEPT, true, false},
        {{"monochrome bitmap", "CreateBitmapIndirect", -1}, 1, KEPT, false, false},
        {{"monochrome brush", "CreateBrushIndirect", -1}, 1, BITMAP_HANDLE, true, false},
        {{"colour bitmap", "CreateBitmapIndirect", -1}, 8, KEPT, false, false},
        {{"block", "GlobalAlloc", -1}, 8, KEPT, false, true},
        {{"lock", "GlobalLock", -1}, 8, KEPT, false, true},
        {{"read back", "GetDIBits", -1}, 8, KEPT, false, true},
        {{"colour brush", "CreateDIBPatternBrushPt", -1}, 8, BITMAP_HANDLE, true, false},
    };
    ForEachFailure(rows, [&](const Row &row) {
        slots = {};
        Pattern pattern(row.bitsPixel, row.bitsPixel == 1 ? 2 : 8);
        LOGBRUSH record = {BS_SOLID, 0xFF, 0};
        if (row.bitsPixel != 0) {
            record = {BS_PATTERN, 0, (ULONG_PTR)&pattern.record};
        }
        const LOGBRUSH original = record;
        int32_t result = Brush(&record);
        EXPECT_EQ(slots.brush, 0u);
        EXPECT_EQ(slots.oldBrush, 0u);
        EXPECT_EQ(GdiDoubleDcState(surface).brush, before.brush);
        EXPECT_EQ(DrawModeApplied(), row.drawModeApplied);
        EXPECT_EQ(slots.patternBitmap != 0, row.bitmapKept) << GdiDoubleDump();
        if (row.hatch == KEPT) {
            EXPECT_EQ(record.lbHatch, original.lbHatch);
        } else {
            // The bitmap was deleted here, once; the record still names it.
            const GdiCall *made = GdiDoubleLastCall("CreateBitmapIndirect");
            EXPECT_EQ((int64_t)record.lbHatch, made->result);
            EXPECT_EQ(GdiDoubleObject((HGDIOBJ)record.lbHatch)->deleteCount, 1);
        }
        for (const GdiBlockInfo *block : GdiDoubleBlocks()) {
            EXPECT_EQ(block->lockCount, 0);
            EXPECT_EQ(block->freeCount, 1);
        }
        ReleaseAndCheck(slots);
        return result;
    });
}

TEST_F(AttributesTest, PatternTooLargeFor32BitsFailsWithoutAllocating)
{
    const struct {
        const char *label;
        LONG height, widthBytes;
    } rows[] = {
        {"stride past 4 GB", 8, 0x7FFFFFFC},
        {"stride whose 32-bit product wraps to 32", 8, 159072864},
        {"negative height", -8, 8},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        SetUp();
        slots = {};
        BITMAP pattern = {0, 8, row.height, row.widthBytes, 1, 8, nullptr};
        LOGBRUSH record = {BS_PATTERN, 0, (ULONG_PTR)&pattern};
        EXPECT_EQ(Brush(&record), -1);
        EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CreateBitmapIndirect")) << GdiDoubleDump();
        EXPECT_NE(slots.patternBitmap, 0u);
        EXPECT_EQ(record.lbHatch, (ULONG_PTR)&pattern);
        ReleaseAndCheck(slots);
    }
}

// --- Attribute sets ----------------------------------------------------------

enum class Set { Geometric, Scan, Empty, Logical };

TEST_F(AttributesTest, KeyChoosesTheAttributeSet)
{
    const struct {
        uint16_t style, scanFlag;
        Set set;
    } rows[] = {
        {OUT_BEZIER, 0, Set::Geometric},
        {OUT_POLYLINE, 0, Set::Geometric},
        {OUT_WINDPOLYGON, 0, Set::Geometric},
        {OUT_ALTPOLYGON, 0, Set::Geometric},
        {OUT_WINDPOLYPOLYGON, 0, Set::Geometric},
        {OUT_ALTPOLYPOLYGON, 0, Set::Geometric},
        {OUT_BEGINSCAN, 0, Set::Scan},
        {OUT_BEGINSCAN, 2, Set::Scan},
        {OUT_RECTANGLE, 1, Set::Scan},
        {OUT_SCANLINES, 1, Set::Scan},
        {OUT_ENDSCAN, 1, Set::Scan},
        {OUT_POLYLINE, 1, Set::Scan},
        {OUT_SCANLINES, 0, Set::Empty},
        {OUT_ENDSCAN, 0, Set::Empty},
        {OUT_SCANLINES, 2, Set::Empty},
        {OUT_RECTANGLE, 2, Set::Logical},
        {OUT_RECTANGLE, 0xFFFF, Set::Logical},
        {0, 0, Set::Logical},
        {OUT_RECTANGLE, 0, Set::Logical},
        {OUT_ELLIPSE, 0, Set::Logical},
        {OUT_CIRCLE, 0, Set::Logical},
        {2, 0, Set::Logical},
        {19, 0, Set::Logical},
        {21, 0, Set::Logical},
        {0x4015, 0, Set::Logical},
        {0xFFFF, 0, Set::Logical},
        {0x0112, 0, Set::Logical},
    };
    const Names brush = {"CreateBrushIndirect", "SelectObject"};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "style " << row.style << " scanFlag " << row.scanFlag);
        SetUp();
        LOGPEN pen = {PS_SOLID, {3, 0}, 0x0000FF};
        LOGBRUSH solid = {BS_SOLID, 0x00FF00, 0};
        EXPECT_EQ(RealizeAttributes(surface, row.style, row.scanFlag, &pen, PS_ENDCAP_FLAT, &solid, nullptr, &slots),
                  0);
        const GdiObjectInfo *madePen = GdiDoubleObject(Object(slots.pen));
        Names calls;
        switch (row.set) {
        case Set::Geometric:
            calls = Join({{"ExtCreatePen", "SelectObject"}, brush});
            ASSERT_NE(madePen, nullptr);
            EXPECT_EQ(madePen->extPenStyle, (DWORD)(PS_GEOMETRIC | PS_ENDCAP_FLAT));
            EXPECT_EQ(madePen->extPenBrush.lbColor, pen.lopnColor);
            EXPECT_EQ(madePen->extPenWidth, 3u);
            break;
        case Set::Scan:
            calls = Join({brush, {"ExtCreatePen", "SelectObject"}});
            ASSERT_NE(madePen, nullptr);
            EXPECT_EQ(madePen->extPenStyle, (DWORD)PS_GEOMETRIC);
            EXPECT_EQ(madePen->extPenBrush.lbColor, solid.lbColor);
            EXPECT_EQ(madePen->extPenWidth, 1u);
            break;
        case Set::Empty:
            EXPECT_EQ(slots.pen | slots.oldPen | slots.brush | slots.oldBrush | slots.patternBitmap, 0u);
            break;
        case Set::Logical:
            calls = Join({{"CreatePenIndirect", "SelectObject"}, brush});
            break;
        }
        EXPECT_THAT(GdiDoubleCallNames(), ElementsAreArray(calls)) << GdiDoubleDump();
        GdiDoubleClearLog();
        ReleaseAndCheck(slots);
        if (row.set == Set::Empty) {
            EXPECT_THAT(GdiDoubleCalls(), IsEmpty()) << GdiDoubleDump();
        }
        EXPECT_EQ(GdiDoubleDcState(surface).pen, before.pen);
        EXPECT_EQ(GdiDoubleDcState(surface).brush, before.brush);
    }
}

TEST_F(AttributesTest, GeometricSetGivesNonSolidPenRecordsTheLogicalRules)
{
    LOGPEN blackInsideFrame = {PS_INSIDEFRAME, {1, 0}, 0};
    ASSERT_EQ(RealizeAttributes(surface, OUT_POLYLINE, 0, &blackInsideFrame, 0, nullptr, nullptr, &slots), 0);
    EXPECT_EQ(blackInsideFrame.lopnStyle, (UINT)PS_SOLID);
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).pen, GetStockObject(BLACK_PEN));
    EXPECT_EQ(slots.pen, 0u);
    // The same record, now solid on entry, gets a geometric pen, not the stock one.
    ASSERT_EQ(RealizeAttributes(surface, OUT_POLYLINE, 0, &blackInsideFrame, 0, nullptr, nullptr, &slots), 0);
    EXPECT_EQ(GdiDoubleObject(Object(slots.pen))->creator, "ExtCreatePen");
    ReleaseAndCheck(slots);
    ASSERT_EQ(RealizeAttributes(surface, OUT_BEZIER, 0, nullptr, 0, nullptr, nullptr, &slots), 0);
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).pen, GetStockObject(NULL_PEN));
}

TEST_F(AttributesTest, EachSetReportsOnlyTheFailuresItOwns)
{
    const struct {
        const char *label;
        uint16_t style;
        bool hasPen, hasBrush;
        std::vector<const char *> failing;
        int32_t result;
        bool brushUntouched;
    } rows[] = {
        {"logical pen", OUT_RECTANGLE, true, true, {"CreatePenIndirect"}, -1, false},
        {"logical brush", OUT_ELLIPSE, true, true, {"CreateBrushIndirect"}, -1, false},
        {"raster transfer brush", 0, false, true, {"CreateBrushIndirect"}, -1, false},
        {"geometric both", OUT_POLYLINE, true, true, {"ExtCreatePen", "CreateBrushIndirect"}, 0, false},
        {"scan brush", OUT_BEGINSCAN, true, true, {"CreateBrushIndirect"}, -1, false},
        {"scan pen", OUT_BEGINSCAN, true, true, {"ExtCreatePen"}, -1, false},
        {"scan without brush", OUT_BEGINSCAN, true, false, {"CreatePenIndirect"}, 0, true},
        {"empty", OUT_ENDSCAN, true, true, {}, 0, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        SetUp();
        LOGPEN pen = {PS_SOLID, {3, 0}, 0x0000FF};
        LOGBRUSH solid = {BS_SOLID, 0x00FF00, 0};
        for (const char *function : row.failing) {
            GdiDoubleFailCall(function);
        }
        EXPECT_EQ(RealizeAttributes(surface, row.style, 0, row.hasPen ? &pen : nullptr, 0,
                                    row.hasBrush ? &solid : nullptr, &kDrawMode, &slots),
                  row.result)
            << GdiDoubleDump();
        // Neither failure stops the other half of the set.
        EXPECT_EQ(GdiDoubleCallCount("CreateBrushIndirect") == 0, row.brushUntouched) << GdiDoubleDump();
        if (row.brushUntouched) {
            EXPECT_EQ(GdiDoubleDcState(surface).brush, before.brush);
            EXPECT_FALSE(DrawModeApplied());
        }
        ReleaseAndCheck(slots);
    }
}

TEST_F(AttributesTest, ScanSetIgnoresThePenRecordWhenThereIsABrush)
{
    LOGPEN pen = {PS_INSIDEFRAME, {5, 0}, 0x0000FF};
    LOGBRUSH hatched = {BS_HATCHED, 0x00FF00, HS_CROSS};
    ASSERT_EQ(RealizeAttributes(surface, OUT_RECTANGLE, 1, &pen, PS_DASH, &hatched, nullptr, &slots), 0);
    EXPECT_EQ(pen.lopnStyle, (UINT)PS_INSIDEFRAME);
    EXPECT_EQ(GdiDoubleCallCount("CreatePenIndirect"), 0);
    ReleaseAndCheck(slots);
}

// --- Release -----------------------------------------------------------------

TEST_F(AttributesTest, ReleaseSelectsBackThenDeletesThePatternBitmapLast)
{
    Pattern colour(8, 8);
    LOGPEN pen = {PS_DASH, {1, 0}, 0};
    LOGBRUSH record = {BS_PATTERN, 0, (ULONG_PTR)&colour.record};
    ASSERT_EQ(RealizeAttributes(surface, OUT_RECTANGLE, 0, &pen, 0, &record, nullptr, &slots), 0);
    GdiDoubleClearLog();
    ReleaseAndCheck(slots);
    EXPECT_THAT(GdiDoubleCallNames(),
                ElementsAre("SelectObject", "DeleteObject", "SelectObject", "DeleteObject", "DeleteObject"));
    const std::deque<GdiCall> &calls = GdiDoubleCalls();
    const Handle32 order[] = {slots.oldPen, slots.pen, slots.oldBrush, slots.brush, slots.patternBitmap};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].args[0], (int64_t)(intptr_t)Object(order[i])) << GdiDoubleDump();
    }
    EXPECT_EQ(GdiDoubleDcState(surface).pen, before.pen);
    EXPECT_EQ(GdiDoubleDcState(surface).brush, before.brush);
}

TEST_F(AttributesTest, ReleaseOfEmptySlotsCallsNothing)
{
    EXPECT_EQ(ReleaseAttributes(surface, 0, 0, 0, 0, 0), 0);
    EXPECT_THAT(GdiDoubleCalls(), IsEmpty());
}

// The caller's release of a scan bracket, one object with its predecessor per call.
TEST_F(AttributesTest, DeleteObject32ReleasesHandedOutObjectsOnce)
{
    Pattern colour(8, 8);
    LOGBRUSH record = {BS_PATTERN, 0x00FF00, (ULONG_PTR)&colour.record};
    ASSERT_EQ(RealizeAttributes(surface, OUT_BEGINSCAN, 0, nullptr, 0, &record, &kDrawMode, &slots), 0);
    Handle32 surfaceVar = HandleTo32(surface);
    Handle32 none = 0;
    ObjectSlots handed = slots;
    GdiDoubleClearLog();
    EXPECT_EQ(DeleteObject32(&surfaceVar, &none, &none), 0);
    EXPECT_THAT(GdiDoubleCalls(), IsEmpty());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first release" : "repeated release");
        EXPECT_EQ(DeleteObject32(&surfaceVar, &handed.pen, &handed.oldPen), 0);
        EXPECT_EQ(DeleteObject32(&surfaceVar, &handed.brush, &handed.oldBrush), 0);
        EXPECT_EQ(DeleteObject32(&surfaceVar, &handed.patternBitmap, &none), 0);
        EXPECT_EQ(handed.pen | handed.oldPen | handed.brush | handed.oldBrush | handed.patternBitmap, 0u);
        EXPECT_THAT(GdiDoubleCallNames(),
                    ElementsAre("SelectObject", "DeleteObject", "SelectObject", "DeleteObject", "DeleteObject"))
            << GdiDoubleDump();
    }
    EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleDcState(surface).pen, before.pen);
    EXPECT_EQ(GdiDoubleDcState(surface).brush, before.brush);
}

TEST_F(AttributesTest, DeleteObject32WithOneVariableForBothSelectsThenDeletesIt)
{
    LOGBRUSH solid = {BS_SOLID, 0xFF, 0};
    Handle32 surfaceVar = HandleTo32(surface);
    Handle32 brush = HandleTo32(CreateBrushIndirect(&solid));
    GdiDoubleClearLog();
    EXPECT_EQ(DeleteObject32(&surfaceVar, &brush, &brush), 0);
    EXPECT_EQ(brush, 0u);
    EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("SelectObject", "DeleteObject"));
    // The caller asked for an object to be deleted while selected; GDI sees that.
    EXPECT_THAT(GdiDoubleMisuseProblems(), ElementsAre(HasSubstr("deleted while selected"))) << GdiDoubleDump();
}

} // namespace
