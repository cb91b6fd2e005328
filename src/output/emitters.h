// The shape emitters: one per kind of output primitive, each turning the
// caller's 16-bit points into one GDI drawing call (or a run of segments) on
// the recording surface. The pen and brush are already selected; an emitter
// selects nothing itself. Each returns 0, or -1 when nothing could be drawn.
#ifndef QUILLREC_EMITTERS_H
#define QUILLREC_EMITTERS_H

#include "platform.h"

// points: two Point16 corners, handed to Rectangle in the caller's order.
int32_t EmitRectangle(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: two Point16 corners of the bounding box.
int32_t EmitEllipse(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: count Point16; WINDING fill for OUT_WINDPOLYGON, else ALTERNATE.
int32_t EmitPolygon(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: one PolyPolygonRecord of count polygons; WINDING fill for
// OUT_WINDPOLYPOLYGON, else ALTERNATE.
int32_t EmitPolyPolygon(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: count Point16.
int32_t EmitPolyline(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: at least four Point16; exactly the first four make one curve.
int32_t EmitBezier(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip);
// points: count Point16; the first gives the line's y, each later one a
// segment from its x to its y. Always 0.
int32_t EmitScanlines(HDC surface, uint16_t style, uint16_t count, const void *points);

#endif
