#include "output/emitters.h"

#include "memory.h"
#include "recording/recording.h"

namespace {

// Most driver primitives are small: up to this many points live on the stack
// and a request makes no allocation at all; larger buffers are one global block.
const uint32_t kInlinePoints = 1024;

enum BoxKind { BOX_RECTANGLE, BOX_ELLIPSE };
enum LineKind { LINE_POLYGON, LINE_POLYLINE };

// The points handed to GDI: the caller's inline array, or a locked block.
struct PointBuffer {
    POINT *points;
    GlobalBlock block;
};

#if defined(__SSE2__)
// Eight points at once: sixteen 16-bit coordinates in, sixteen 32-bit out.
// Unaligned and free to alias the caller's records, as the scalar loop is.
typedef int16_t __attribute__((vector_size(32), aligned(1), may_alias)) EightPoint16;
typedef int32_t __attribute__((vector_size(64), aligned(1), may_alias)) EightPoint;
#endif

static inline void WidenPoint(POINT *to, const Point16 *from)
{
    to->x = from->x;
    to->y = from->y;
}

// Sign extension is what the caller means: 0x8000 is -32768, not 32768.
// Widening is the one per-point cost of the library, so the loop takes
// several points per turn: eight in vector registers where the target has
// SSE2 (about 2.6 instructions a point); eight in plain code otherwise, where
// two sign-extending loads and two stores a point are the floor (the i486 has
// no vector unit). One copy serves every emitter.
__attribute__((noinline)) void WidenPoints(POINT *to, const Point16 *from, uint32_t count)
{
    uint32_t i = 0;
#if defined(__SSE2__)
    for (; count - i >= 8; i += 8) {
        *(EightPoint *)&to[i] = __builtin_convertvector(*(const EightPoint16 *)&from[i], EightPoint);
    }
    for (; count - i >= 4; i += 4) {
        WidenPoint(&to[i], &from[i]);
        WidenPoint(&to[i + 1], &from[i + 1]);
        WidenPoint(&to[i + 2], &from[i + 2]);
        WidenPoint(&to[i + 3], &from[i + 3]);
    }
#else
    for (; count - i >= 8; i += 8) {
        WidenPoint(&to[i], &from[i]);
        WidenPoint(&to[i + 1], &from[i + 1]);
        WidenPoint(&to[i + 2], &from[i + 2]);
        WidenPoint(&to[i + 3], &from[i + 3]);
        WidenPoint(&to[i + 4], &from[i + 4]);
        WidenPoint(&to[i + 5], &from[i + 5]);
        WidenPoint(&to[i + 6], &from[i + 6]);
        WidenPoint(&to[i + 7], &from[i + 7]);
    }
#endif
    for (; i < count; ++i) {
        WidenPoint(&to[i], &from[i]);
    }
}

void ClipTo(HDC surface, const RECT *clip)
{
    if (clip != NULL) {
        ApplyClipRect(surface, clip);
    }
}

// A global block for more points than the inline buffer holds.
__attribute__((noinline)) int32_t AcquireBlockPoints(uint32_t needed, PointBuffer *buffer)
{
    uint32_t size = 0;
    buffer->points = NULL;
    if (CheckedSize(needed, (uint32_t)sizeof(POINT), 0u, &size)) {
        buffer->points = (POINT *)AcquireGlobalBlock(size, &buffer->block);
    }
    if (buffer->points == NULL) {
        ReleaseGlobalBlock(&buffer->block);
        return -1;
    }
    return 0;
}

// 0 with buffer->points ready for `needed` points, or -1 with nothing held.
inline int32_t AcquirePointBuffer(uint32_t needed, POINT *inlinePoints, PointBuffer *buffer)
{
    buffer->points = inlinePoints;
    buffer->block.handle = NULL;
    buffer->block.address = NULL;
    return needed <= kInlinePoints ? 0 : AcquireBlockPoints(needed, buffer);
}

void ReleasePointBuffer(PointBuffer *buffer)
{
    ReleaseGlobalBlock(&buffer->block);
    buffer->points = NULL;
}

int32_t EmitBox(HDC surface, const void *points, const RECT *clip, BoxKind kind)
{
    const Point16 *corners = (const Point16 *)points;
    ClipTo(surface, clip);
    // Corners go in the caller's order: GDI normalises them itself.
    if (kind == BOX_RECTANGLE) {
        return DrawResult(Rectangle(surface, corners[0].x, corners[0].y, corners[1].x, corners[1].y));
    }
    return DrawResult(Ellipse(surface, corners[0].x, corners[0].y, corners[1].x, corners[1].y));
}

// Out of line, with its 8 KiB point buffer: inlined, the buffer (and in the
// 32-bit image its stack probe) would weigh on every output request.
__attribute__((noinline)) int32_t EmitLine(HDC surface, uint16_t count, const void *points, const RECT *clip,
                                           LineKind kind)
{
    POINT inlinePoints[kInlinePoints];
    PointBuffer buffer;
    if (AcquirePointBuffer(count, inlinePoints, &buffer) != 0) {
        return -1;
    }
    ClipTo(surface, clip);
    WidenPoints(buffer.points, (const Point16 *)points, count);
    BOOL drawn =
        kind == LINE_POLYGON ? Polygon(surface, buffer.points, count) : Polyline(surface, buffer.points, count);
    ReleasePointBuffer(&buffer);
    return DrawResult(drawn);
}

// The vertex total of the first `polygons` entries, or -1 when an entry is
// negative or the total does not fit in 32 bits: GDI would read past the
// caller's points, and a wrapped total would size the buffer too small.
int32_t TotalVertices(const int32_t *counts, uint16_t polygons, uint32_t *total)
{
    uint32_t sum = 0;
    for (uint16_t i = 0; i < polygons; ++i) {
        if (counts[i] < 0 || !CheckedSize((uint32_t)counts[i], 1u, sum, &sum)) {
            return -1;
        }
    }
    *total = sum;
    return 0;
}

} // namespace

int32_t EmitRectangle(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip)
{
    (void)style, (void)count;
    return EmitBox(surface, points, clip, BOX_RECTANGLE);
}

int32_t EmitEllipse(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip)
{
    (void)style, (void)count;
    return EmitBox(surface, points, clip, BOX_ELLIPSE);
}

int32_t EmitPolygon(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip)
{
    // The fill mode is recorded before the clip, ahead of everything else.
    SetPolyFillMode(surface, style == OUT_WINDPOLYGON ? WINDING : ALTERNATE);
    return EmitLine(surface, count, points, clip, LINE_POLYGON);
}

int32_t EmitPolyline(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip)
{
    (void)style;
    return EmitLine(surface, count, points, clip, LINE_POLYLINE);
}

// Rare, with a point buffer of its own: kept out of the dispatcher, so that
// the common requests' code stays small enough for the image.
__attribute__((noinline)) int32_t EmitPolyPolygon(HDC surface, uint16_t style, uint16_t count, const void *points,
                                                  const RECT *clip)
{
    const PolyPolygonRecord *record = (const PolyPolygonRecord *)points;
    const int32_t *counts = record->counts;
    const Point16 *vertices = record->points;
    SetPolyFillMode(surface, style == OUT_WINDPOLYPOLYGON ? WINDING : ALTERNATE);

    uint32_t total = 0;
    if (TotalVertices(counts, count, &total) != 0) {
        return -1;
    }
    // The buffer follows the vertices, not the number of polygons.
    POINT inlinePoints[kInlinePoints];
    PointBuffer buffer;
    if (AcquirePointBuffer(total, inlinePoints, &buffer) != 0) {
        return -1;
    }
    ClipTo(surface, clip);
    WidenPoints(buffer.points, vertices, total);
    BOOL drawn = PolyPolygon(surface, buffer.points, (const INT *)counts, count);
    ReleasePointBuffer(&buffer);
    return DrawResult(drawn);
}

// Rare: kept out of the dispatcher, as poly-polygons are.
__attribute__((noinline)) int32_t EmitBezier(HDC surface, uint16_t style, uint16_t count, const void *points,
                                             const RECT *clip)
{
    (void)style, (void)count;
    // One curve: the driver's Bezier primitive is always a single segment.
    POINT curve[4];
    ClipTo(surface, clip);
    WidenPoints(curve, (const Point16 *)points, 4);
    return DrawResult(PolyBezier(surface, curve, 4));
}

int32_t EmitScanlines(HDC surface, uint16_t style, uint16_t count, const void *points)
{
    (void)style;
    if (count <= 1) {
        return 0;
    }
    // The first point carries only the line's y; each later point packs a
    // segment's start x in x and its end x in y. No clip here: inside a scan
    // bracket the segments build a path, clipped when it is filled.
    const Point16 *runs = (const Point16 *)points;
    int y = runs[0].y;
    for (uint16_t i = 1; i < count; ++i) {
        MoveToEx(surface, runs[i].x, y, NULL);
        LineTo(surface, runs[i].y, y);
    }
    return 0;
}
