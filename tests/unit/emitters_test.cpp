// The shape emitters against the GDI test double: the drawing call each makes,
// the points it hands over, where those points live, and what happens when
// memory or the drawing call fails.
#include "output/emitters.h"
#include "surface_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

std::vector<std::pair<int, int>> Pairs(const std::vector<POINT> &points)
{
    std::vector<std::pair<int, int>> pairs;
    for (const POINT &point : points) {
        pairs.emplace_back(point.x, point.y);
    }
    return pairs;
}

// A run of distinct points, so a misplaced or skipped point shows.
std::vector<Point16> DistinctPoints(size_t count)
{
    std::vector<Point16> points(count);
    for (size_t i = 0; i < count; ++i) {
        points[i] = {(int16_t)(i % 3000 - 1500), (int16_t)(i / 3000 + (i & 7))};
    }
    return points;
}

std::vector<std::pair<int, int>> Widened(const std::vector<Point16> &points, size_t count)
{
    std::vector<std::pair<int, int>> pairs;
    for (size_t i = 0; i < count; ++i) {
        pairs.emplace_back(points[i].x, points[i].y);
    }
    return pairs;
}

class EmitterTest : public SurfaceTest {
  protected:
    void TearDown() override { EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump(); }
};

typedef int32_t (*PointEmitter)(HDC, uint16_t, uint16_t, const void *, const RECT *);

// An emitter of a point list and the GDI call it draws with.
struct LineEmitter {
    PointEmitter emit;
    const char *drawing;
};
const LineEmitter kPolygon = {EmitPolygon, "Polygon"};
const LineEmitter kPolyline = {EmitPolyline, "Polyline"};

TEST_F(EmitterTest, BoxesTakeTheFirstTwoPointsSignExtendedInTheCallersOrder)
{
    struct Row {
        const char *name;
        PointEmitter emit;
    } rows[] = {{"Rectangle", EmitRectangle}, {"Ellipse", EmitEllipse}};
    // -10 must stay negative and 0x8000 must become -32768; p0 lies right of
    // and below p1 and is still passed first.
    Point16 corners[3] = {{-10, 40}, {-20, (int16_t)0x8000}, {99, 99}};
    RECT clip = {1, 2, 3, 4};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        GdiDoubleClearLog();
        EXPECT_EQ(row.emit(surface, 0, 0, corners, nullptr), 0);
        EXPECT_EQ(row.emit(surface, 0, 0, corners, &clip), 0);
        EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAre(row.name, "SelectClipRgn", "IntersectClipRect", row.name))
            << GdiDoubleDump();
        const GdiCall *call = GdiDoubleLastCall(row.name);
        ASSERT_NE(call, nullptr);
        EXPECT_THAT(call->args, ElementsAre(-10, 40, -20, -32768));

        GdiDoubleFailCall(row.name);
        EXPECT_EQ(row.emit(surface, 0, 0, corners, nullptr), -1);
    }
}

TEST_F(EmitterTest, PolygonsSetTheFillModeBeforeTheClipAndTheDrawing)
{
    struct Row {
        const char *label;
        LineEmitter line;
        uint16_t style;
        int fillMode; // 0: none set
    } rows[] = {
        {"winding polygon", kPolygon, OUT_WINDPOLYGON, WINDING},
        {"alternate polygon", kPolygon, OUT_ALTPOLYGON, ALTERNATE},
        {"polygon, other style", kPolygon, OUT_RECTANGLE, ALTERNATE},
        {"polyline", kPolyline, OUT_WINDPOLYGON, 0},
    };
    std::vector<Point16> points = {{0, 0}, {-10, 5}, {(int16_t)0x8000, 7}, {3, (int16_t)0xFFFF}};
    RECT clip = {0, 0, 50, 60};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        EXPECT_EQ(row.line.emit(surface, row.style, 4, points.data(), &clip), 0);
        std::vector<std::string> expected = {"SelectClipRgn", "IntersectClipRect", row.line.drawing};
        if (row.fillMode != 0) {
            expected.insert(expected.begin(), "SetPolyFillMode");
            EXPECT_EQ(GdiDoubleLastCall("SetPolyFillMode")->args[0], row.fillMode);
        }
        EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAreArray(expected)) << GdiDoubleDump();
        const GdiCall *draw = GdiDoubleLastCall(row.line.drawing);
        EXPECT_THAT(Pairs(draw->points), ElementsAre(std::make_pair(0, 0), std::make_pair(-10, 5),
                                                     std::make_pair(-32768, 7), std::make_pair(3, -1)));
        EXPECT_EQ(draw->args[1], 4);
        EXPECT_EQ(GdiDoubleDcState(surface).clip.right, 50);
    }
}

// Up to 1024 points stay on the stack; one more takes exactly one movable,
// zeroed block of 8 bytes a point, handed to GDI locked and gone afterwards.
TEST_F(EmitterTest, PointBufferMovesToOneGlobalBlockAbove1024Points)
{
    struct Row {
        const char *label;
        LineEmitter line;
        uint16_t count;
    } rows[] = {
        {"polygon 1024", kPolygon, 1024},   {"polygon 1025", kPolygon, 1025},   {"polyline 1024", kPolyline, 1024},
        {"polyline 1025", kPolyline, 1025}, {"polygon 65535", kPolygon, 65535},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        Reopen();
        std::vector<Point16> points = DistinctPoints(row.count);
        EXPECT_EQ(row.line.emit(surface, OUT_WINDPOLYGON, row.count, points.data(), nullptr), 0);
        const GdiCall *draw = GdiDoubleLastCall(row.line.drawing);
        ASSERT_NE(draw, nullptr) << GdiDoubleDump();
        EXPECT_EQ(Pairs(draw->points), Widened(points, row.count));
        auto blocks = GdiDoubleBlocks();
        if (row.count <= 1024) {
            EXPECT_THAT(blocks, IsEmpty());
            EXPECT_EQ(GdiDoubleCallCount("GlobalAlloc"), 0);
            continue;
        }
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(blocks[0]->flags, 0x42u);
        EXPECT_EQ(blocks[0]->size, (SIZE_T)row.count * 8);
        EXPECT_EQ(blocks[0]->freeCount, 1);
        EXPECT_EQ(draw->args[0], (int64_t)(intptr_t)GdiDoubleCallsOf("GlobalLock")[0]->result);
        EXPECT_EQ(GdiDoubleCallCount("GlobalUnlock"), 1);
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(EmitterTest, BlockFailuresDrawNothingAndLeaveNoBlock)
{
    struct Row : FailureRow {
        PointEmitter emit;
        int64_t globalFrees;
    } rows[] = {
        {{"polygon, allocation fails", "GlobalAlloc", -1}, EmitPolygon, 0},
        {{"polyline, allocation fails", "GlobalAlloc", -1}, EmitPolyline, 0},
        {{"polygon, lock fails", "GlobalLock", -1}, EmitPolygon, 1},
        {{"polyline, lock fails", "GlobalLock", -1}, EmitPolyline, 1},
    };
    std::vector<Point16> points = DistinctPoints(1025);
    ForEachFailure(rows, [&](const Row &row) {
        RECT clip = {0, 0, 5, 5};
        int32_t result = row.emit(surface, OUT_ALTPOLYGON, 1025, points.data(), &clip);
        EXPECT_EQ(GdiDoubleCallCount("Polygon") + GdiDoubleCallCount("Polyline"), 0) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("GlobalFree"), row.globalFrees);
        EXPECT_EQ(GdiDoubleCallCount("GlobalUnlock"), 0);
        return result;
    });
}

TEST_F(EmitterTest, FailedDrawingIsReportedAndTheBlockStillReleased)
{
    std::vector<Point16> points = DistinctPoints(2000);
    GdiDoubleFailCall("Polygon");
    EXPECT_EQ(EmitPolygon(surface, OUT_WINDPOLYGON, 2000, points.data(), nullptr), -1);
    ASSERT_EQ(GdiDoubleBlocks().size(), 1u);
    EXPECT_EQ(GdiDoubleBlocks()[0]->freeCount, 1);

    // No points at all still reaches GDI, which refuses them.
    EXPECT_EQ(EmitPolyline(surface, 0, 0, points.data(), nullptr), -1);
    EXPECT_EQ(GdiDoubleLastCall("Polyline")->args[1], 0);
}

TEST_F(EmitterTest, PolyPolygonBufferFollowsTheVertexTotal)
{
    struct Row {
        const char *label;
        uint16_t style;
        std::vector<int32_t> counts;
        int fillMode;
        SIZE_T blockBytes; // 0: inline
    } rows[] = {
        {"3 x 400", OUT_WINDPOLYPOLYGON, std::vector<int32_t>(3, 400), WINDING, 9600},
        {"300 x 3", OUT_ALTPOLYPOLYGON, std::vector<int32_t>(300, 3), ALTERNATE, 0},
        {"1024 in 2", OUT_WINDPOLYPOLYGON, {1000, 24}, WINDING, 0},
        {"1025 in 2", OUT_ALTPOLYPOLYGON, {1000, 25}, ALTERNATE, 8200},
        {"70000 in 2, above 16 bits", OUT_WINDPOLYPOLYGON, {35000, 35000}, WINDING, 560000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        Reopen();
        size_t total = 0;
        for (int32_t count : row.counts) {
            total += count;
        }
        std::vector<Point16> points = DistinctPoints(total);
        // One entry more than the polygons named: it must not be summed.
        std::vector<int32_t> counts = row.counts;
        counts.push_back(5000);
        PolyPolygonRecord record = {counts.data(), points.data()};
        RECT clip = {-5, -5, 5, 5};
        EXPECT_EQ(EmitPolyPolygon(surface, row.style, (uint16_t)row.counts.size(), &record, &clip), 0);
        EXPECT_THAT(GdiDoubleCallNames(surface),
                    ElementsAre("SetPolyFillMode", "SelectClipRgn", "IntersectClipRect", "PolyPolygon"))
            << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleLastCall("SetPolyFillMode")->args[0], row.fillMode);
        const GdiCall *draw = GdiDoubleLastCall("PolyPolygon");
        EXPECT_EQ(Pairs(draw->points), Widened(points, total));
        EXPECT_EQ(draw->args[1], (int64_t)(intptr_t)counts.data()) << "the caller's counts, not a copy";
        EXPECT_EQ(draw->args[2], (int64_t)row.counts.size());
        auto blocks = GdiDoubleBlocks();
        if (row.blockBytes == 0) {
            EXPECT_THAT(blocks, IsEmpty());
        } else {
            ASSERT_EQ(blocks.size(), 1u);
            EXPECT_EQ(blocks[0]->size, row.blockBytes);
            EXPECT_EQ(blocks[0]->flags, 0x42u);
        }
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(EmitterTest, PolyPolygonWithNoPolygonsReadsNoCount)
{
    Point16 none[1] = {{0, 0}};
    PolyPolygonRecord record = {nullptr, none};
    EXPECT_EQ(EmitPolyPolygon(surface, OUT_WINDPOLYPOLYGON, 0, &record, nullptr), -1);
    const GdiCall *draw = GdiDoubleLastCall("PolyPolygon");
    ASSERT_NE(draw, nullptr) << GdiDoubleDump();
    EXPECT_EQ(draw->args[2], 0);
}

// Totals that wrap or whose block size cannot be expressed would size the
// buffer too small for what GDI then reads; negative entries likewise.
TEST_F(EmitterTest, PolyPolygonTotalsThatCannotBeHeldDrawNothing)
{
    struct Row {
        const char *label;
        std::vector<int32_t> counts;
        int globalAllocs;
    } rows[] = {
        {"total wraps 32 bits to 4", {0x7FFFFFFF, 0x7FFFFFFF, 6}, 0},
        {"total wraps to a small inline total", {INT32_MAX, INT32_MAX, 2, 3}, 0},
        {"each count fits, the total wraps to 8",
         {0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 0x1FFFFFFF, 16}, 0},
        {"block size above 32 bits", {0x10000000, 0x10000000}, 0},
        {"negative entry", {-4, 10}, 0},
        {"negative entry cancelling a large one", {2000, -1000}, 0},
        // Fits in 32 bits: legal, handed to GlobalAlloc, which refuses it.
        {"largest representable block", {0x1FFFFFFF}, 1},
    };
    Point16 points[16] = {};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        PolyPolygonRecord record = {row.counts.data(), points};
        EXPECT_EQ(EmitPolyPolygon(surface, OUT_WINDPOLYPOLYGON, (uint16_t)row.counts.size(), &record, nullptr), -1);
        EXPECT_EQ(GdiDoubleCallCount("PolyPolygon"), 0) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("GlobalAlloc"), row.globalAllocs) << GdiDoubleDump();
        if (row.globalAllocs != 0) {
            EXPECT_EQ(GdiDoubleLastCall("GlobalAlloc")->args[1], (int64_t)0xFFFFFFF8u);
        }
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(EmitterTest, PolyPolygonBlockFailuresDrawNothing)
{
    std::vector<int32_t> counts(3, 400);
    std::vector<Point16> points = DistinctPoints(1200);
    PolyPolygonRecord record = {counts.data(), points.data()};
    for (const char *failing : {"GlobalAlloc", "GlobalLock"}) {
        SCOPED_TRACE(failing);
        GdiDoubleClearLog();
        GdiDoubleFailCall(failing);
        EXPECT_EQ(EmitPolyPolygon(surface, OUT_ALTPOLYPOLYGON, 3, &record, nullptr), -1);
        EXPECT_EQ(GdiDoubleCallCount("PolyPolygon"), 0) << GdiDoubleDump();
        EXPECT_THAT(GdiDoubleProblems(), IsEmpty()) << GdiDoubleDump();
    }
}

TEST_F(EmitterTest, BezierDrawsOneCurveFromTheFirstFourPoints)
{
    Point16 points[7] = {{1, 2}, {-3, 4}, {5, (int16_t)0x8000}, {7, 8}, {9, 9}, {10, 10}, {11, 11}};
    RECT clip = {0, 0, 9, 9};
    for (uint16_t count : {7, 4, 2}) {
        SCOPED_TRACE(count);
        GdiDoubleClearLog();
        EXPECT_EQ(EmitBezier(surface, OUT_BEZIER, count, points, &clip), 0);
        EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAre("SelectClipRgn", "IntersectClipRect", "PolyBezier"));
        const GdiCall *draw = GdiDoubleLastCall("PolyBezier");
        EXPECT_THAT(Pairs(draw->points), ElementsAre(std::make_pair(1, 2), std::make_pair(-3, 4),
                                                     std::make_pair(5, -32768), std::make_pair(7, 8)));
    }
    GdiDoubleFailCall("PolyBezier");
    EXPECT_EQ(EmitBezier(surface, OUT_BEZIER, 4, points, nullptr), -1);
}

TEST_F(EmitterTest, ScanlinesDrawOneSegmentPerLaterPointAlongTheFirstPointsY)
{
    Point16 points[3] = {{0, 40}, {10, 20}, {30, 35}};
    for (uint16_t count : {0, 1}) {
        EXPECT_EQ(EmitScanlines(surface, OUT_SCANLINES, count, points), 0);
    }
    EXPECT_THAT(GdiDoubleCalls(), IsEmpty()) << GdiDoubleDump();

    EXPECT_EQ(EmitScanlines(surface, OUT_SCANLINES, 3, points), 0);
    std::vector<std::string> calls;
    for (const GdiCall &call : GdiDoubleCalls()) {
        calls.push_back(call.name + " " + std::to_string(call.args[0]) + "," + std::to_string(call.args[1]));
    }
    EXPECT_THAT(calls, ElementsAre("MoveToEx 10,40", "LineTo 20,40", "MoveToEx 30,40", "LineTo 35,40"));
    EXPECT_EQ(GdiDoubleCallsOf("MoveToEx")[0]->args[2], 0) << "no old position asked for";

    // Sign-extended too, and GDI failures do not stop the run.
    Point16 negative[2] = {{0, -7}, {-10, (int16_t)0x8000}};
    GdiDoubleClearLog();
    GdiDoubleFailEveryCall("MoveToEx");
    EXPECT_EQ(EmitScanlines(surface, OUT_SCANLINES, 2, negative), 0);
    EXPECT_EQ(GdiDoubleLastCall("MoveToEx")->args[0], -10);
    EXPECT_EQ(GdiDoubleLastCall("LineTo")->args[0], -32768);
    EXPECT_EQ(GdiDoubleLastCall("LineTo")->args[1], -7);
}

} // namespace
