// Output32 against the GDI test double, called through the export with
// pointers to variables as the thunk calls it: the calls each style makes on
// the surface, the raster-operation rule, the scan bracket across requests,
// what carries from one request to the next, and the ledger after each.
#include "output_request.h"
#include "surface_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

Handle32 Stock(int index)
{
    return (Handle32)(uintptr_t)GetStockObject(index);
}

// A raster operation and colours that are not the surface's defaults, and a
// clip, so a request that skips a record is seen to skip it.
struct Request : OutputRequest {
    Request()
    {
        drawMode = {R2_XORPEN, OPAQUE, 0x112233, 0x445566, 0};
        clip = {1, 2, 30, 40};
        hasClip = true;
    }
    int32_t Send(Handle32 surface) { return SendTo(Output32, &surface); }
};

class OutputTest : public SurfaceTest {
  protected:
    // Whatever a request did, once the test is over GDI is clean.
    void TearDown() override { EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump(); }

    // The caller's releases of a handed-out set, in the documented order.
    void ReleaseHandedOut(Handle32 *out)
    {
        Handle32 none = 0;
        DeleteObject32(&variable, &out[0], &out[1]);
        DeleteObject32(&variable, &out[2], &out[3]);
        DeleteObject32(&variable, &out[4], &none);
    }
};

// What realization puts on the surface for the default request's records.
const Names kPenSelected = {"SelectObject"};
const Names kSolidBrush = {"SetBkMode", "SetBkColor", "SetTextColor", "SelectObject"};
const Names kReleaseBoth = {"SelectObject", "SelectObject"};
const Names kClip = {"SelectClipRgn", "IntersectClipRect"};

TEST_F(OutputTest, EachStyleRealizesDrawsAndReleasesInOrder)
{
    Point16 points[4] = {{0, 10}, {20, 30}, {40, 50}, {60, 70}};
    int32_t counts[2] = {2, 2};
    PolyPolygonRecord record = {counts, points};
    const Names rop = {"SetROP2"};
    const Names geometric = Join({kPenSelected, kSolidBrush});
    const Names logical = Join({kPenSelected, kSolidBrush});
    struct Row {
        const char *label;
        uint16_t style;
        const void *points;
        Names calls;
    } rows[] = {
        {"Bezier", OUT_BEZIER, points, Join({geometric, rop, kClip, {"PolyBezier"}, kReleaseBoth})},
        {"scanlines", OUT_SCANLINES, points, {"MoveToEx", "LineTo", "MoveToEx", "LineTo", "MoveToEx", "LineTo"}},
        {"rectangle", OUT_RECTANGLE, points, Join({logical, rop, kClip, {"Rectangle"}, kReleaseBoth})},
        {"ellipse", OUT_ELLIPSE, points, Join({logical, rop, kClip, {"Ellipse"}, kReleaseBoth})},
        {"circle", OUT_CIRCLE, points, Join({logical, rop, kClip, {"Ellipse"}, kReleaseBoth})},
        {"polyline", OUT_POLYLINE, points, Join({geometric, rop, kClip, {"Polyline"}, kReleaseBoth})},
        {"winding polygon", OUT_WINDPOLYGON, points,
         Join({geometric, rop, {"SetPolyFillMode"}, kClip, {"Polygon"}, kReleaseBoth})},
        {"alternate polygon", OUT_ALTPOLYGON, points,
         Join({geometric, rop, {"SetPolyFillMode"}, kClip, {"Polygon"}, kReleaseBoth})},
        {"winding poly-polygon", OUT_WINDPOLYPOLYGON, &record,
         Join({geometric, rop, {"SetPolyFillMode"}, kClip, {"PolyPolygon"}, kReleaseBoth})},
        {"alternate poly-polygon", OUT_ALTPOLYPOLYGON, &record,
         Join({geometric, rop, {"SetPolyFillMode"}, kClip, {"PolyPolygon"}, kReleaseBoth})},
        {"end of scan bracket", OUT_ENDSCAN, nullptr, {"EndPath", "SetPolyFillMode", "WidenPath", "FillPath"}},
        // Unnamed codes draw nothing and read no points, but realize and release.
        {"code 2", 2, nullptr, Join({logical, rop, kReleaseBoth})},
        {"code 3", 3, nullptr, Join({logical, rop, kReleaseBoth})},
        {"code 19", 19, nullptr, Join({logical, rop, kReleaseBoth})},
        {"code 21", 21, nullptr, Join({logical, rop, kReleaseBoth})},
        {"code 0x4015", 0x4015, nullptr, Join({logical, rop, kReleaseBoth})},
        {"code 0xFFFF", 0xFFFF, nullptr, Join({logical, rop, kReleaseBoth})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        Request request;
        bool polyPolygon = row.style == OUT_WINDPOLYPOLYGON || row.style == OUT_ALTPOLYPOLYGON;
        request.Shape(row.style, polyPolygon ? 2 : 4, row.points);
        EXPECT_EQ(request.Send(variable), 0);
        EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAreArray(row.calls)) << GdiDoubleDump();
        EXPECT_THAT(request.out, ElementsAre(kUntouched, kUntouched, kUntouched, kUntouched, kUntouched));
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
        // Released: the surface holds its stock pen and brush again.
        GdiDcState state = GdiDoubleDcState(surface);
        EXPECT_EQ((HGDIOBJ)state.pen, GetStockObject(BLACK_PEN));
        EXPECT_EQ((HGDIOBJ)state.brush, GetStockObject(WHITE_BRUSH));
    }
}

TEST_F(OutputTest, CircleRecordsExactlyWhatEllipseRecords)
{
    Point16 box[2] = {{-5, 9}, {17, (int16_t)0x8000}};
    std::vector<std::string> dumps;
    for (uint16_t style : {OUT_ELLIPSE, OUT_CIRCLE}) {
        Reopen();
        Request request;
        request.style = style;
        request.points = box;
        request.Send(variable);
        dumps.push_back(GdiDoubleDump());
    }
    EXPECT_EQ(dumps[0], dumps[1]);
    EXPECT_THAT(GdiDoubleLastCall("Ellipse")->args, ElementsAre(-5, 9, 17, -32768));
}

// SetROP2 follows the draw mode, except that scanline runs and the end of a
// bracket keep the bracket's raster operation unless they realize their own.
TEST_F(OutputTest, RasterOperationIsSetOnlyWhereTheRuleAllows)
{
    Point16 points[2] = {{0, 5}, {1, 2}};
    struct Row {
        uint16_t style;
        uint16_t scanFlag;
        bool hasDrawMode;
        bool setsRop;
    } rows[] = {
        {OUT_RECTANGLE, 0, true, true},   {OUT_RECTANGLE, 0, false, false},
        {OUT_RECTANGLE, 1, true, true},   {3, 0, true, true},
        {OUT_BEGINSCAN, 0, true, true},   {OUT_BEGINSCAN, 0, false, false},
        {OUT_SCANLINES, 0, true, false},  {OUT_SCANLINES, 1, true, true},
        {OUT_SCANLINES, 2, true, false},  {OUT_SCANLINES, 0xFFFF, true, false},
        {OUT_SCANLINES, 1, false, false}, {OUT_ENDSCAN, 0, true, false},
        {OUT_ENDSCAN, 1, true, true},     {OUT_ENDSCAN, 0x101, true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE("style " + std::to_string(row.style) + " scanFlag " + std::to_string(row.scanFlag) +
                     (row.hasDrawMode ? " with" : " without") + " draw mode");
        GdiDoubleClearLog();
        Request request;
        request.Shape(row.style, 2, points);
        request.scanFlag = row.scanFlag;
        request.hasDrawMode = row.hasDrawMode;
        request.drawMode.rop2 = R2_MERGEPEN;
        request.Send(variable);
        ASSERT_EQ(GdiDoubleCallCount("SetROP2"), row.setsRop ? 1 : 0) << GdiDoubleDump();
        if (row.setsRop) {
            EXPECT_EQ(GdiDoubleLastCall("SetROP2")->args[0], R2_MERGEPEN);
        }
        if (row.style == OUT_BEGINSCAN) {
            ReleaseHandedOut(request.out);
        }
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(OutputTest, RasterOperationAndClipCarryIntoLaterRequests)
{
    Point16 triangle[3] = {{0, 0}, {10, 0}, {5, 8}};
    Request first;
    first.Shape(OUT_WINDPOLYGON, 3, triangle);
    first.drawMode.rop2 = R2_NOTXORPEN;
    first.clip = {2, 3, 40, 50};
    first.Send(variable);

    Request second = first;
    second.hasDrawMode = false;
    second.hasClip = false;
    GdiDoubleClearLog();
    second.Send(variable);
    EXPECT_EQ(GdiDoubleCallCount("SetROP2"), 0) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleCallCount("SelectClipRgn") + GdiDoubleCallCount("IntersectClipRect"), 0) << GdiDoubleDump();
    const GdiCall *polygon = GdiDoubleLastCall("Polygon");
    ASSERT_NE(polygon, nullptr);
    EXPECT_EQ(polygon->state.rop2, R2_NOTXORPEN);
    ASSERT_TRUE(polygon->state.hasClip);
    EXPECT_EQ(polygon->state.clip.left, 2);
    EXPECT_EQ(polygon->state.clip.bottom, 50);
}

TEST_F(OutputTest, FailuresOutsideAScanBracketAreNotReported)
{
    Point16 points[2] = {{0, 0}, {9, 9}};
    struct Row : FailureRow {
        uint16_t style;
        uint16_t count;
        const char *drawing;
    } rows[] = {
        {{"rectangle whose brush fails", "CreateBrushIndirect", 0}, OUT_RECTANGLE, 2, "Rectangle"},
        {{"rectangle whose pen fails", "CreatePenIndirect", 0}, OUT_RECTANGLE, 2, "Rectangle"},
        {{"polyline of one point", nullptr, 0}, OUT_POLYLINE, 1, "Polyline"},
        {{"rectangle GDI refuses", "Rectangle", 0}, OUT_RECTANGLE, 2, "Rectangle"},
    };
    ForEachFailure(rows, [&](const Row &row) {
        Request request;
        request.Shape(row.style, row.count, points);
        int32_t result = request.Send(variable);
        EXPECT_EQ(GdiDoubleCallCount(row.drawing), 1) << GdiDoubleDump();
        return result;
    });
}

// The bracket across requests: its pen and brush stay selected while the
// scanline runs build the path, and the caller's three releases leave GDI clean.
TEST_F(OutputTest, ScanBracketFillsTheWidenedRunsAndHandsItsObjectsToTheCaller)
{
    Request begin;
    begin.style = OUT_BEGINSCAN;
    begin.brush = {BS_HATCHED, 0x0000FF, HS_CROSS};
    begin.clip = {0, 0, 1, 1};
    EXPECT_EQ(begin.Send(variable), 0);
    EXPECT_THAT(GdiDoubleCallNames(surface),
                ElementsAreArray(Join({kSolidBrush, kPenSelected, {"SetROP2"}, {"BeginPath"}})))
        << GdiDoubleDump();
    const GdiObjectInfo *pen = GdiDoubleObject(HandleFrom32(begin.out[0]));
    const GdiObjectInfo *brush = GdiDoubleObject(HandleFrom32(begin.out[2]));
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(pen->kind, GdiKind::ExtPen);
    EXPECT_EQ(pen->extPenBrush.lbColor, 0x0000FFu);
    EXPECT_EQ(brush->logBrush.lbHatch, (ULONG_PTR)HS_CROSS);
    EXPECT_EQ(begin.out[1], Stock(BLACK_PEN));
    EXPECT_EQ(begin.out[3], Stock(WHITE_BRUSH));
    EXPECT_EQ(begin.out[4], 0u);

    Point16 firstLine[3] = {{0, 40}, {10, 20}, {30, 35}};
    Point16 secondLine[2] = {{0, 41}, {12, 18}};
    for (Point16 *line : {firstLine, secondLine}) {
        Request scan;
        scan.Shape(OUT_SCANLINES, line == firstLine ? 3 : 2, line);
        EXPECT_EQ(scan.Send(variable), 0);
        EXPECT_THAT(scan.out, ElementsAre(kUntouched, kUntouched, kUntouched, kUntouched, kUntouched));
    }
    EXPECT_EQ(GdiDoubleDcState(surface).pathSegments, 3);
    EXPECT_EQ(GdiDoubleLastCall("LineTo")->args[0], 18);

    Request end;
    end.style = OUT_ENDSCAN;
    GdiDoubleClearLog();
    EXPECT_EQ(end.Send(variable), 0);
    EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAre("EndPath", "SetPolyFillMode", "WidenPath", "FillPath"))
        << GdiDoubleDump();
    const GdiCall *fill = GdiDoubleLastCall("FillPath");
    EXPECT_EQ(fill->result, TRUE) << GdiDoubleDump();
    EXPECT_EQ(HandleTo32(fill->state.brush), begin.out[2]);
    EXPECT_EQ(HandleTo32(fill->state.pen), begin.out[0]);
    EXPECT_EQ(fill->state.rop2, R2_XORPEN) << "the bracket's own raster operation";
    EXPECT_EQ(GdiDoubleDcState(surface).polyFillMode, WINDING);
    EXPECT_FALSE(GdiDoubleDcState(surface).hasClip) << "no request of the bracket clips";

    EXPECT_THAT(GdiDoubleLeakProblems(), testing::SizeIs(2)) << "pen and brush still with the caller";
    ReleaseHandedOut(begin.out);
    EXPECT_THAT(begin.out, ElementsAre(0u, 0u, 0u, 0u, 0u));
    EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).brush, GetStockObject(WHITE_BRUSH));
}

TEST_F(OutputTest, ScanBracketWithAPatternHandsOutItsBitmap)
{
    uint8_t rows[8 * 2] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
    BITMAP pattern = {0, 8, 8, 2, 1, 1, rows};
    Request begin;
    begin.style = OUT_BEGINSCAN;
    begin.brush = {BS_PATTERN, 0x00FF00, (ULONG_PTR)&pattern};
    EXPECT_EQ(begin.Send(variable), 0);
    ASSERT_NE(begin.out[4], 0u) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleObject(HandleFrom32(begin.out[4]))->kind, GdiKind::Bitmap);
    EXPECT_EQ(begin.brush.lbHatch, (ULONG_PTR)HandleFrom32(begin.out[4]));
    ReleaseHandedOut(begin.out);
}

TEST_F(OutputTest, ScanBracketReportsRealizationFailuresAndStillOpens)
{
    struct Row : FailureRow {
        bool hasBrush;
    } rows[] = {
        {{"brush fails", "CreateBrushIndirect", -1}, true},
        {{"pen fails", "ExtCreatePen", -1}, true},
        // Without a brush record the pen comes from the pen record and its
        // failure is not counted.
        {{"no brush, pen fails", "CreatePenIndirect", 0}, false},
    };
    ForEachFailure(rows, [&](const Row &row) {
        Request begin;
        begin.style = OUT_BEGINSCAN;
        begin.hasBrush = row.hasBrush;
        int32_t result = begin.Send(variable);
        EXPECT_EQ(GdiDoubleCallCount("BeginPath"), 1);
        for (Handle32 handed : begin.out) {
            EXPECT_NE(handed, kUntouched) << "every out-argument written";
        }
        if (!row.hasBrush) {
            EXPECT_THAT(begin.out, ElementsAre(0u, 0u, 0u, 0u, 0u));
        }
        ReleaseHandedOut(begin.out);
        return result;
    });
}

// A stock pen is never handed out: the caller would delete it.
TEST_F(OutputTest, ScanBracketWithoutBrushHandsOutNothingForAStockPen)
{
    Request begin;
    begin.style = OUT_BEGINSCAN;
    begin.hasBrush = false;
    begin.pen = {PS_SOLID, {1, 0}, 0x000000};
    EXPECT_EQ(begin.Send(variable), 0);
    EXPECT_THAT(begin.out, ElementsAre(0u, 0u, 0u, 0u, 0u));
    EXPECT_EQ((HGDIOBJ)GdiDoubleDcState(surface).pen, GetStockObject(BLACK_PEN));
    EXPECT_EQ(GdiDoubleCallCount("BeginPath"), 1);
}

TEST_F(OutputTest, EndScanWithoutAnOpenPathStillReportsSuccess)
{
    Request end;
    end.style = OUT_ENDSCAN;
    EXPECT_EQ(end.Send(variable), 0);
    EXPECT_EQ(GdiDoubleCallCount("FillPath"), 1) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleLastCall("FillPath")->result, FALSE);
}

// An end of bracket that realizes its own scan set fills with that set, then
// lets it go, leaving the bracket's objects selected for the caller's release.
TEST_F(OutputTest, EndScanWithItsOwnScanSetFillsWithItAndReleasesIt)
{
    for (bool brushFails : {false, true}) {
        SCOPED_TRACE(brushFails ? "its brush fails" : "its brush is made");
        GdiDoubleClearLog();
        Request begin;
        begin.style = OUT_BEGINSCAN;
        ASSERT_EQ(begin.Send(variable), 0);
        Point16 line[2] = {{0, 5}, {1, 9}};
        Request scan;
        scan.Shape(OUT_SCANLINES, 2, line);
        scan.Send(variable);

        Request end;
        end.style = OUT_ENDSCAN;
        end.scanFlag = 1;
        end.brush = {BS_SOLID, 0xFF0000, 0};
        end.drawMode.rop2 = R2_MASKPEN;
        if (brushFails) {
            GdiDoubleFailCall("CreateBrushIndirect");
        }
        EXPECT_EQ(end.Send(variable), brushFails ? -1 : 0);
        EXPECT_THAT(end.out, ElementsAre(kUntouched, kUntouched, kUntouched, kUntouched, kUntouched));
        const GdiCall *fill = GdiDoubleLastCall("FillPath");
        ASSERT_NE(fill, nullptr);
        EXPECT_EQ(fill->state.rop2, R2_MASKPEN);
        EXPECT_NE(HandleTo32(fill->state.pen), begin.out[0]) << "filled with the request's own pen";
        if (!brushFails) {
            EXPECT_NE(HandleTo32(fill->state.brush), begin.out[2]);
        }
        GdiDcState after = GdiDoubleDcState(surface);
        EXPECT_EQ(HandleTo32(after.pen), begin.out[0]);
        EXPECT_EQ(HandleTo32(after.brush), begin.out[2]);
        EXPECT_THAT(GdiDoubleLeakProblems(), testing::SizeIs(2)) << "only the bracket's pen and brush";
        ReleaseHandedOut(begin.out);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

// Outside a bracket a scanline request with scanFlag 1 is self-contained.
TEST_F(OutputTest, ScanlinesWithScanFlagOneRealizeDrawAndRelease)
{
    Point16 line[2] = {{0, 7}, {3, 11}};
    Request scan;
    scan.Shape(OUT_SCANLINES, 2, line);
    scan.scanFlag = 1;
    EXPECT_EQ(scan.Send(variable), 0);
    EXPECT_THAT(GdiDoubleCallNames(surface),
                ElementsAreArray(Join({kSolidBrush, kPenSelected, {"SetROP2", "MoveToEx", "LineTo"}, kReleaseBoth})))
        << GdiDoubleDump();
    const GdiObjectInfo *drawnWith = GdiDoubleObject(GdiDoubleLastCall("LineTo")->state.pen);
    ASSERT_NE(drawnWith, nullptr);
    EXPECT_EQ(drawnWith->kind, GdiKind::ExtPen);
    EXPECT_EQ(drawnWith->extPenBrush.lbColor, 0x00FF00u) << "the brush's colour";
    EXPECT_THAT(scan.out, ElementsAre(kUntouched, kUntouched, kUntouched, kUntouched, kUntouched));
}

TEST_F(OutputTest, LargePolygonThroughTheExportUsesOneBlockAndFreesIt)
{
    std::vector<Point16> points(3000);
    for (size_t i = 0; i < points.size(); ++i) {
        points[i] = {(int16_t)i, (int16_t)(-(int)i)};
    }
    Request request;
    request.Shape(OUT_ALTPOLYGON, 3000, points.data());
    EXPECT_EQ(request.Send(variable), 0);
    ASSERT_EQ(GdiDoubleBlocks().size(), 1u);
    EXPECT_EQ(GdiDoubleBlocks()[0]->size, 24000u);
    EXPECT_EQ(GdiDoubleLastCall("Polygon")->points.back().y, -2999);
}

} // namespace
