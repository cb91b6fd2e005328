// Output32 on real GDI, through the exports as the thunk calls them: the
// records each style leaves in the spool file, the pens and brushes behind
// them, and the picture a scan bracket and a pattern fill play back as.
#include <stdio.h>

#include <algorithm>
#include <utility>

#include "../unit/output_request.h"
#include "recording_fixture.h"

namespace {

typedef std::vector<std::pair<long, long>> PointList;

DWORD StockIndex(int index)
{
    return 0x80000000u | (DWORD)index;
}

// Sent to the DLL's export, found by ordinal.
struct Request : OutputRequest {
    int32_t Send(Handle32 *surface) { return SendTo(Dll().Output32, surface); }
};

// Any of the point types a record or a request holds, as plain pairs.
template <typename P> void Append(const P *from, size_t count, PointList *to)
{
    for (size_t i = 0; i < count; ++i) {
        to->emplace_back(from[i].x, from[i].y);
    }
}

// The points of a shape's record. The DLL's points always fit in 16 bits, so
// GDI records only the 16-bit forms.
PointList PointsOf(const EmfRecord &record)
{
    PointList points;
    switch (record.type) {
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIER16:
        if (const EMRPOLYLINE16 *r = record.As<EMRPOLYLINE16>()) {
            Append(r->apts, r->cpts, &points);
        }
        break;
    case EMR_POLYPOLYGON16:
        if (const EMRPOLYPOLYGON16 *r = record.As<EMRPOLYPOLYGON16>()) {
            Append(reinterpret_cast<const POINTS *>(&r->aPolyCounts[r->nPolys]), r->cpts, &points);
        }
        break;
    default:
        break;
    }
    return points;
}

PointList Widened(const Point16 *points, size_t count)
{
    PointList list;
    Append(points, count, &list);
    return list;
}

// Index of the first record of `type` at or after `from`, or records.size().
size_t Find(const std::vector<EmfRecord> &records, DWORD type, size_t from = 0)
{
    for (size_t i = from; i < records.size(); ++i) {
        if (records[i].type == type) {
            return i;
        }
    }
    return records.size();
}

// The byte of row y (0 = top) at `column` bytes into a DIB stored in a record.
uint8_t DibByte(const EmfRecord &record, DWORD offBmi, DWORD offBits, int y, int column)
{
    const BITMAPINFOHEADER *header = reinterpret_cast<const BITMAPINFOHEADER *>(record.bytes.data() + offBmi);
    int stride = ((header->biWidth * header->biBitCount + 31) / 32) * 4;
    int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    int row = header->biHeight < 0 ? y : height - 1 - y;
    return record.bytes[offBits + row * stride + column];
}

// A geometric pen as the file records it: Windows writes EMR_EXTCREATEPEN;
// Wine writes a solid-brush geometric pen as EMR_CREATEPEN whose lopnStyle
// carries the whole extended style. Either way: style, width, colour.
struct RecordedPen {
    bool found = false;
    size_t index = 0;
    DWORD style = 0;
    DWORD width = 0;
    COLORREF color = 0;
};

RecordedPen GeometricPenOf(const std::vector<EmfRecord> &records)
{
    RecordedPen pen;
    for (size_t i = 0; i < records.size() && !pen.found; ++i) {
        if (records[i].type == EMR_EXTCREATEPEN) {
            const auto &elp = records[i].As<EMREXTCREATEPEN>()->elp;
            pen = {true, i, elp.elpPenStyle, elp.elpWidth, elp.elpColor};
        } else if (records[i].type == EMR_CREATEPEN) {
            const LOGPEN &lopn = records[i].As<EMRCREATEPEN>()->lopn;
            if ((lopn.lopnStyle & PS_GEOMETRIC) != 0) {
                pen = {true, i, lopn.lopnStyle, (DWORD)lopn.lopnWidth.x, lopn.lopnColor};
            }
        }
    }
    return pen;
}

class OutputGdiTest : public RecordingTest {
  protected:
    void ReleaseHandedOut(Handle32 *out)
    {
        Handle32 none = 0;
        Dll().DeleteObject32(&surface, &out[0], &out[1]);
        Dll().DeleteObject32(&surface, &out[2], &out[3]);
        Dll().DeleteObject32(&surface, &out[4], &none);
    }

    // The records one request leaves on a recording of its own.
    std::vector<EmfRecord> RecordOne(Request &request)
    {
        Open();
        EXPECT_EQ(request.Send(&surface), 0);
        return Finish();
    }

    // A triangle filled with a brush made from `pattern`, on a new recording.
    Request FillTriangle(uint16_t style, BITMAP *pattern)
    {
        static const Point16 triangle[3] = {{0, 0}, {60, 0}, {0, 60}};
        Open();
        Request request;
        request.Shape(style, 3, triangle);
        request.brush = {BS_PATTERN, 0, (ULONG_PTR)pattern};
        EXPECT_EQ(request.Send(&surface), 0);
        return request;
    }
};

TEST_F(OutputGdiTest, ShapesRecordTheirPointsAfterFillModeAndClip)
{
    Point16 points[7] = {{-10, 20}, {(int16_t)0x8000, 5}, {40, 60}, {70, -3}, {1, 1}, {2, 2}, {3, 3}};
    int32_t counts[2] = {3, 4};
    PolyPolygonRecord record = {counts, points};
    struct Row {
        const char *label;
        uint16_t style;
        uint16_t count;
        const void *points;
        DWORD type;
        PointList expected; // for the point records
        int fillMode;       // 0: none recorded
    } rows[] = {
        {"winding polygon", OUT_WINDPOLYGON, 4, points, EMR_POLYGON16, Widened(points, 4), WINDING},
        {"alternate polygon", OUT_ALTPOLYGON, 3, points, EMR_POLYGON16, Widened(points, 3), ALTERNATE},
        {"polyline", OUT_POLYLINE, 5, points, EMR_POLYLINE16, Widened(points, 5), 0},
        {"Bezier of count 7", OUT_BEZIER, 7, points, EMR_POLYBEZIER16, Widened(points, 4), 0},
        {"winding poly-polygon", OUT_WINDPOLYPOLYGON, 2, &record, EMR_POLYPOLYGON16, Widened(points, 7), WINDING},
        {"alternate poly-polygon", OUT_ALTPOLYPOLYGON, 2, &record, EMR_POLYPOLYGON16, Widened(points, 7), ALTERNATE},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        Request request;
        request.Shape(row.style, row.count, row.points);
        request.hasClip = true;
        request.clip = {5, 6, 150, 160};
        request.drawMode.rop2 = R2_MASKPEN;
        auto records = RecordOne(request);
        std::string dump = DescribeEmfRecords(records);

        size_t rop = Find(records, EMR_SETROP2);
        size_t reset = Find(records, EMR_EXTSELECTCLIPRGN);
        size_t clip = Find(records, EMR_INTERSECTCLIPRECT);
        size_t shape = Find(records, row.type);
        ASSERT_LT(std::max({rop, reset, clip, shape}), records.size()) << "a record is missing\n" << dump;
        EXPECT_EQ(records[rop].As<EMRSETROP2>()->iMode, (DWORD)R2_MASKPEN);
        EXPECT_LT(rop, reset) << dump;
        EXPECT_LT(reset, clip) << dump;
        EXPECT_LT(clip, shape) << dump;
        const RECTL &kept = records[clip].As<EMRINTERSECTCLIPRECT>()->rclClip;
        EXPECT_EQ(kept.left, 5);
        EXPECT_EQ(kept.bottom, 160);
        size_t fill = Find(records, EMR_SETPOLYFILLMODE);
        if (row.fillMode != 0) {
            ASSERT_LT(fill, records.size()) << dump;
            EXPECT_EQ(records[fill].As<EMRSETPOLYFILLMODE>()->iMode, (DWORD)row.fillMode);
            EXPECT_LT(rop, fill) << dump;
            EXPECT_LT(fill, reset) << "fill mode before the clip\n" << dump;
        } else {
            EXPECT_EQ(fill, records.size()) << dump;
        }
        EXPECT_EQ(PointsOf(records[shape]), row.expected) << dump;
        if (row.type == EMR_POLYPOLYGON16) {
            const EMRPOLYPOLYGON16 *r = records[shape].As<EMRPOLYPOLYGON16>();
            EXPECT_EQ(r->nPolys, 2u);
            EXPECT_EQ(r->aPolyCounts[0], 3u);
            EXPECT_EQ(r->aPolyCounts[1], 4u);
        }
        DeleteFileA(path.c_str());
    }
}

TEST_F(OutputGdiTest, BoxesRecordTheirCorners)
{
    // Real GDI keeps the box as given only when it is already ordered.
    Point16 box[2] = {{-10, 20}, {90, 70}};
    struct Row {
        uint16_t style;
        DWORD type;
    } rows[] = {{OUT_RECTANGLE, EMR_RECTANGLE}, {OUT_ELLIPSE, EMR_ELLIPSE}, {OUT_CIRCLE, EMR_ELLIPSE}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.style);
        Request request;
        request.style = row.style;
        request.points = box;
        auto records = RecordOne(request);
        auto shapes = RecordsOf(records, row.type);
        ASSERT_EQ(shapes.size(), 1u) << DescribeEmfRecords(records);
        const RECTL &rect = shapes[0]->As<EMRRECTANGLE>()->rclBox;
        EXPECT_EQ(rect.left, -10);
        EXPECT_EQ(rect.top, 20);
        // Wine stores the inclusive corner in the compatible graphics mode.
        EXPECT_TRUE(rect.right == 90 || rect.right == 89) << rect.right;
        EXPECT_TRUE(rect.bottom == 70 || rect.bottom == 69) << rect.bottom;
        EXPECT_EQ(CountRecords(records, EMR_INTERSECTCLIPRECT), 0u) << "no clip given";
        DeleteFileA(path.c_str());
    }
}

TEST_F(OutputGdiTest, PensAreCreatedOrTakenFromStock)
{
    Point16 line[2] = {{0, 0}, {50, 50}};
    struct Row {
        const char *label;
        uint16_t style;
        bool hasPen;
        LOGPEN pen;
        uint32_t geometricPenStyle;
        DWORD recordType; // EMR_CREATEPEN, EMR_EXTCREATEPEN or EMR_SELECTOBJECT of a stock pen
        DWORD stock;
    } rows[] = {
        {"logical dashed pen", OUT_RECTANGLE, true, {PS_DASH, {1, 0}, 0x0000FF}, 0, EMR_CREATEPEN, 0},
        {"inside-frame becomes solid", OUT_RECTANGLE, true, {PS_INSIDEFRAME, {4, 0}, 0x123456}, 0, EMR_CREATEPEN, 0},
        {"geometric pen",
         OUT_POLYLINE,
         true,
         {PS_SOLID, {5, 0}, 0x00FF00},
         PS_ENDCAP_FLAT | PS_JOIN_MITER,
         EMR_EXTCREATEPEN,
         0},
        {"black pen", OUT_ELLIPSE, true, {PS_SOLID, {1, 0}, 0x000000}, 0, EMR_SELECTOBJECT, StockIndex(BLACK_PEN)},
        {"white pen", OUT_ELLIPSE, true, {PS_SOLID, {1, 0}, 0xFFFFFF}, 0, EMR_SELECTOBJECT, StockIndex(WHITE_PEN)},
        {"no pen", OUT_POLYLINE, false, {}, 0, EMR_SELECTOBJECT, StockIndex(NULL_PEN)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        Request request;
        request.Shape(row.style, 2, line);
        request.pen = row.pen;
        request.hasPen = row.hasPen;
        request.geometricPenStyle = row.geometricPenStyle;
        request.hasBrush = false;
        auto records = RecordOne(request);
        std::string dump = DescribeEmfRecords(records);
        // No brush record: the stock null brush, never remembered.
        bool nullBrush = false;
        bool stockPen = false;
        for (const EmfRecord *select : RecordsOf(records, EMR_SELECTOBJECT)) {
            DWORD object = select->As<EMRSELECTOBJECT>()->ihObject;
            nullBrush = nullBrush || object == StockIndex(NULL_BRUSH);
            stockPen = stockPen || (row.stock != 0 && object == row.stock);
        }
        EXPECT_TRUE(nullBrush) << dump;
        if (row.recordType == EMR_SELECTOBJECT) {
            EXPECT_TRUE(stockPen) << dump;
            EXPECT_EQ(CountRecords(records, EMR_CREATEPEN) + CountRecords(records, EMR_EXTCREATEPEN), 0u) << dump;
            EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 0u) << "stock objects are never deleted\n" << dump;
        } else if (row.recordType == EMR_CREATEPEN) {
            auto pens = RecordsOf(records, EMR_CREATEPEN);
            ASSERT_EQ(pens.size(), 1u) << dump;
            const LOGPEN &recorded = pens[0]->As<EMRCREATEPEN>()->lopn;
            EXPECT_EQ(recorded.lopnStyle, row.pen.lopnStyle == PS_INSIDEFRAME ? (UINT)PS_SOLID : row.pen.lopnStyle);
            EXPECT_EQ(recorded.lopnWidth.x, row.pen.lopnWidth.x);
            EXPECT_EQ(recorded.lopnColor, row.pen.lopnColor);
            EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 1u) << dump;
        } else {
            RecordedPen pen = GeometricPenOf(records);
            ASSERT_TRUE(pen.found) << dump;
            EXPECT_EQ(pen.style, (DWORD)(PS_GEOMETRIC | row.geometricPenStyle));
            EXPECT_EQ(pen.width, 5u);
            EXPECT_EQ(pen.color, row.pen.lopnColor);
            EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 1u) << dump;
        }
        DeleteFileA(path.c_str());
    }
}

// The draw mode's background settings reach the surface before the brush.
TEST_F(OutputGdiTest, SolidAndHatchedBrushesFollowTheDrawMode)
{
    Point16 box[2] = {{0, 0}, {50, 50}};
    LOGBRUSH brushes[] = {{BS_SOLID, 0x00FF00, 0}, {BS_HATCHED, 0xFF0000, HS_DIAGCROSS}};
    for (const LOGBRUSH &brush : brushes) {
        SCOPED_TRACE(brush.lbStyle);
        Request request;
        request.style = OUT_RECTANGLE;
        request.points = box;
        request.brush = brush;
        request.drawMode = {R2_NOTCOPYPEN, OPAQUE, 0x0A0B0C, 0x0D0E0F, 0};
        auto records = RecordOne(request);
        std::string dump = DescribeEmfRecords(records);
        size_t bkMode = Find(records, EMR_SETBKMODE);
        size_t bkColor = Find(records, EMR_SETBKCOLOR);
        size_t textColor = Find(records, EMR_SETTEXTCOLOR);
        size_t created = Find(records, EMR_CREATEBRUSHINDIRECT);
        size_t rop = Find(records, EMR_SETROP2);
        ASSERT_LT(std::max({bkMode, bkColor, textColor, created, rop}), records.size()) << "a record is missing\n"
                                                                                       << dump;
        EXPECT_LT(bkMode, created) << dump;
        EXPECT_LT(bkColor, created) << dump;
        EXPECT_LT(textColor, created) << dump;
        EXPECT_LT(created, rop) << dump;
        EXPECT_EQ(records[bkMode].As<EMRSETBKMODE>()->iMode, (DWORD)OPAQUE);
        EXPECT_EQ(records[bkColor].As<EMRSETBKCOLOR>()->crColor, 0x0A0B0Cu);
        EXPECT_EQ(records[textColor].As<EMRSETTEXTCOLOR>()->crColor, 0x0D0E0Fu);
        EXPECT_EQ(records[rop].As<EMRSETROP2>()->iMode, (DWORD)R2_NOTCOPYPEN);
        const LOGBRUSH32 &recorded = records[created].As<EMRCREATEBRUSHINDIRECT>()->lb;
        EXPECT_EQ(recorded.lbStyle, brush.lbStyle);
        EXPECT_EQ(recorded.lbColor, brush.lbColor);
        if (brush.lbStyle == BS_HATCHED) {
            EXPECT_EQ(recorded.lbHatch, (ULONG)HS_DIAGCROSS);
        }
        DeleteFileA(path.c_str());
    }
}

// Diagonal rows: top-down and bottom-up storage give different bytes.
const uint8_t kMonoRows[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

TEST_F(OutputGdiTest, MonochromePatternRecordsTheCallersBits)
{
    uint16_t rows[8];
    for (int i = 0; i < 8; ++i) {
        rows[i] = kMonoRows[i];
    }
    BITMAP pattern = {0, 8, 8, 2, 1, 1, rows};
    Request request = FillTriangle(OUT_WINDPOLYGON, &pattern);
    EXPECT_NE(request.brush.lbHatch, (ULONG_PTR)&pattern) << "the record now names the bitmap";
    auto records = Finish();
    std::string dump = DescribeEmfRecords(records);
    auto brushes = RecordsOf(records, EMR_CREATEMONOBRUSH);
    ASSERT_EQ(brushes.size(), 1u) << dump;
    const EMRCREATEMONOBRUSH *brush = brushes[0]->As<EMRCREATEMONOBRUSH>();
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(DibByte(*brushes[0], brush->offBmi, brush->offBits, y, 0), kMonoRows[y]) << "row " << y;
    }
    EXPECT_LT(Find(records, EMR_CREATEMONOBRUSH), Find(records, EMR_POLYGON16)) << dump;
}

TEST_F(OutputGdiTest, ColourPatternRecordsTheCallersPixels)
{
    // 8x8, 32 bits: red left half, blue right half, a green top row.
    uint32_t pixels[64];
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            pixels[y * 8 + x] = y == 0 ? 0x0000FF00 : x < 4 ? 0x00FF0000 : 0x000000FF;
        }
    }
    BITMAP pattern = {0, 8, 8, 32, 1, 32, pixels};
    FillTriangle(OUT_ALTPOLYGON, &pattern);
    auto records = Finish();
    std::string dump = DescribeEmfRecords(records);
    auto brushes = RecordsOf(records, EMR_CREATEDIBPATTERNBRUSHPT);
    ASSERT_EQ(brushes.size(), 1u) << dump;
    const EMRCREATEDIBPATTERNBRUSHPT *brush = brushes[0]->As<EMRCREATEDIBPATTERNBRUSHPT>();
    const BITMAPINFOHEADER *header =
        reinterpret_cast<const BITMAPINFOHEADER *>(brushes[0]->bytes.data() + brush->offBmi);
    ASSERT_EQ(header->biBitCount, 24) << dump;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint32_t blue = DibByte(*brushes[0], brush->offBmi, brush->offBits, y, x * 3);
            uint32_t green = DibByte(*brushes[0], brush->offBmi, brush->offBits, y, x * 3 + 1);
            uint32_t red = DibByte(*brushes[0], brush->offBmi, brush->offBits, y, x * 3 + 2);
            ASSERT_EQ(red << 16 | green << 8 | blue, pixels[y * 8 + x]) << "pixel " << x << "," << y;
        }
    }
}

TEST_F(OutputGdiTest, PolygonAbove1024PointsRecordsEveryPoint)
{
    std::vector<Point16> points(1500);
    for (size_t i = 0; i < points.size(); ++i) {
        points[i] = {(int16_t)(i % 100), (int16_t)(i / 100 * 3 - 20)};
    }
    Request request;
    request.Shape(OUT_WINDPOLYGON, 1500, points.data());
    auto records = RecordOne(request);
    auto polygons = RecordsOf(records, EMR_POLYGON16);
    ASSERT_EQ(polygons.size(), 1u) << DescribeEmfRecords(records);
    EXPECT_EQ(PointsOf(*polygons[0]), Widened(points.data(), points.size()));
}

// Three scanline runs: the filled area must be where they were, in the
// brush's colour, and nowhere else.
TEST_F(OutputGdiTest, ScanBracketFillsItsRunsWithTheBrush)
{
    const int size = 100;
    OpenPixelFrame(size, size);
    Request begin;
    begin.style = OUT_BEGINSCAN;
    begin.brush = {BS_SOLID, 0x0000FF, 0};
    begin.hasClip = true; // must not clip: scan brackets ignore the clip
    begin.clip = {0, 0, 1, 1};
    EXPECT_EQ(begin.Send(&surface), 0);
    for (Handle32 handed : begin.out) {
        EXPECT_NE(handed, kUntouched);
    }
    EXPECT_NE(begin.out[0], 0u);
    EXPECT_NE(begin.out[2], 0u);

    // Rows 30..39: runs 20-60 and 70-80; rows 50..54: run 10-90.
    for (int16_t y = 30; y < 55; ++y) {
        if (y >= 40 && y < 50) {
            continue;
        }
        Point16 runs[3] = {{0, y}, {20, 60}, {70, 80}};
        if (y >= 50) {
            runs[1] = {10, 90};
        }
        Request scan;
        scan.Shape(OUT_SCANLINES, y >= 50 ? 2 : 3, runs);
        scan.hasDrawMode = false;
        EXPECT_EQ(scan.Send(&surface), 0);
        EXPECT_EQ(scan.out[0], kUntouched);
    }
    Request end;
    end.style = OUT_ENDSCAN;
    EXPECT_EQ(end.Send(&surface), 0);
    ReleaseHandedOut(begin.out);
    for (Handle32 handed : begin.out) {
        EXPECT_EQ(handed, 0u);
    }

    auto records = Finish();
    std::string dump = DescribeEmfRecords(records);
    size_t beginPath = Find(records, EMR_BEGINPATH);
    size_t endPath = Find(records, EMR_ENDPATH);
    size_t fillMode = Find(records, EMR_SETPOLYFILLMODE, endPath);
    size_t widen = Find(records, EMR_WIDENPATH);
    size_t fill = Find(records, EMR_FILLPATH);
    ASSERT_LT(std::max({beginPath, endPath, fillMode, widen, fill}), records.size()) << "a record is missing\n"
                                                                                      << dump;
    RecordedPen pen = GeometricPenOf(records);
    ASSERT_TRUE(pen.found) << dump;
    EXPECT_EQ(pen.style, (DWORD)PS_GEOMETRIC) << "solid, style bits 0";
    EXPECT_EQ(pen.width, 1u);
    EXPECT_EQ(pen.color, 0x0000FFu) << "the brush's colour";
    EXPECT_LT(pen.index, beginPath) << dump;
    EXPECT_LT(beginPath, Find(records, EMR_MOVETOEX)) << dump;
    EXPECT_LT(endPath, fillMode) << dump;
    EXPECT_LT(fillMode, widen) << dump;
    EXPECT_LT(widen, fill) << dump;
    EXPECT_EQ(records[fillMode].As<EMRSETPOLYFILLMODE>()->iMode, (DWORD)WINDING);
    EXPECT_EQ(CountRecords(records, EMR_INTERSECTCLIPRECT), 0u) << dump;
    EXPECT_EQ(CountRecords(records, EMR_SETROP2), 1u) << dump;
    EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 2u) << "the caller's releases\n" << dump;
    EXPECT_GT(Find(records, EMR_DELETEOBJECT), fill) << dump;

    std::vector<uint32_t> pixels;
    ASSERT_TRUE(RenderEmf(path.c_str(), size, size, &pixels));
    Keep("scan-bracket", size, size, pixels);
    auto at = [&](int x, int y) { return pixels[y * size + x]; };
    const uint32_t red = 0xFF0000;
    const uint32_t white = 0xFFFFFF;
    // Inside the runs (away from their ends, where widening adds a unit).
    EXPECT_EQ(at(40, 35), red);
    EXPECT_EQ(at(75, 32), red);
    EXPECT_EQ(at(50, 52), red);
    EXPECT_EQ(at(15, 52), red);
    // Between runs, between the bands and outside them.
    EXPECT_EQ(at(66, 35), white);
    EXPECT_EQ(at(40, 45), white);
    EXPECT_EQ(at(50, 20), white);
    EXPECT_EQ(at(50, 60), white);
    EXPECT_EQ(at(5, 52), white);
    EXPECT_EQ(at(95, 52), white);
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Background yellow, text dark green: the two colours of a monochrome pattern.
const DrawModeRecord kPatternColours = {R2_COPYPEN, OPAQUE, 0x00FFFF, 0x008000, 0};

void FillColourChecks(uint32_t *bits)
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            bits[y * 8 + x] = ((x / 4) ^ (y / 4)) != 0 ? 0x00FF0000 : 0x000000FF;
        }
    }
}

// Monochrome checks of 4 pixels in rows of rowBytes bytes.
void FillMonoChecks(uint8_t *bits, int rowBytes)
{
    for (int y = 0; y < 8; ++y) {
        for (int i = 0; i < rowBytes; ++i) {
            bits[y * rowBytes + i] = y < 4 ? 0xF0 : 0x0F;
        }
    }
}

// A square filled with a pattern of 4-pixel checks, rendered: inside only the
// pattern's two colours, about half each, changing every 4 pixels; outside
// nothing.
class PatternPictureTest : public OutputGdiTest {
  protected:
    void PaintAndLook(BITMAP pattern, uint32_t first, uint32_t second, const char *picture)
    {
        const int size = 100;
        Point16 square[4] = {{20, 20}, {80, 20}, {80, 80}, {20, 80}};
        OpenPixelFrame(size, size);
        Request request;
        request.Shape(OUT_WINDPOLYGON, 4, square);
        request.hasPen = false;
        request.brush = {BS_PATTERN, 0, (ULONG_PTR)&pattern};
        request.drawMode = kPatternColours;
        EXPECT_EQ(request.Send(&surface), 0);
        auto pixels = FinishAndRender(size, size);
        ASSERT_EQ(pixels.size(), (size_t)size * size);
        Keep(picture, size, size, pixels);

        int firsts = 0;
        int seconds = 0;
        int others = 0;
        for (int y = 25; y < 75; ++y) {
            for (int x = 25; x < 75; ++x) {
                uint32_t pixel = pixels[y * size + x];
                firsts += pixel == first;
                seconds += pixel == second;
                others += pixel != first && pixel != second;
            }
        }
        EXPECT_EQ(others, 0);
        EXPECT_GT(firsts, 1000);
        EXPECT_GT(seconds, 1000);
        EXPECT_NE(pixels[40 * size + 40], pixels[40 * size + 44]);
        EXPECT_NE(pixels[40 * size + 40], pixels[44 * size + 40]);
        EXPECT_EQ(pixels[40 * size + 40], pixels[44 * size + 44]);
        EXPECT_EQ(pixels[10 * size + 10], 0xFFFFFFu);
        EXPECT_EQ(pixels[90 * size + 50], 0xFFFFFFu);
    }
};

TEST_F(PatternPictureTest, ColourPatternFillsThePolygon)
{
    uint32_t bits[64];
    FillColourChecks(bits);
    PaintAndLook({0, 8, 8, 32, 1, 32, bits}, 0xFF0000, 0x0000FF, "pattern-colour");
}

TEST_F(PatternPictureTest, WideMonochromePatternFillsThePolygon)
{
    uint8_t bits[8 * 4];
    FillMonoChecks(bits, 4);
    PaintAndLook({0, 32, 8, 4, 1, 1, bits}, 0xFFFF00, 0x008000, "pattern-mono32");
}

// The file holds the right rows (MonochromePatternRecordsTheCallersBits);
// Wine's player reads a monochrome pattern's DIB rows, padded to 4 bytes, as
// bitmap rows padded to 2, so patterns narrower than 32 pixels play back
// garbled there.
TEST_F(PatternPictureTest, NarrowMonochromePatternFillsThePolygon)
{
    if (UnderWine()) {
        GTEST_SKIP() << "Wine plays monochrome pattern brushes narrower than 32 pixels back with the wrong row stride";
    }
    uint8_t bits[8 * 2];
    FillMonoChecks(bits, 2);
    PaintAndLook({0, 8, 8, 2, 1, 1, bits}, 0xFFFF00, 0x008000, "pattern-mono8");
}

} // namespace
