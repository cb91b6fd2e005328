#include "output/output.h"

#include "attributes/attributes.h"
#include "output/emitters.h"

namespace {

// Scanline runs and the end of a scan bracket draw under the raster
// operation the bracket was opened with, unless the request realizes a scan
// set of its own.
void ApplyRasterOperation(HDC surface, uint16_t style, uint16_t scanFlag, const DrawModeRecord *drawMode)
{
    if (drawMode == NULL) {
        return;
    }
    if ((style == OUT_SCANLINES || style == OUT_ENDSCAN) && scanFlag != 1) {
        return;
    }
    SetROP2(surface, (int)drawMode->rop2);
}

// An emitter's result stays here: a request reports only its realization,
// and only when it opens or closes a scan bracket.
void DrawShape(HDC surface, uint16_t style, uint16_t count, const void *points, const RECT *clip)
{
    switch (style) {
    case OUT_BEZIER:
        EmitBezier(surface, style, count, points, clip);
        break;
    case OUT_SCANLINES:
        EmitScanlines(surface, style, count, points);
        break;
    case OUT_RECTANGLE:
        EmitRectangle(surface, style, count, points, clip);
        break;
    case OUT_ELLIPSE:
    case OUT_CIRCLE:
        EmitEllipse(surface, style, count, points, clip);
        break;
    case OUT_POLYLINE:
        EmitPolyline(surface, style, count, points, clip);
        break;
    case OUT_WINDPOLYGON:
    case OUT_ALTPOLYGON:
        EmitPolygon(surface, style, count, points, clip);
        break;
    case OUT_WINDPOLYPOLYGON:
    case OUT_ALTPOLYPOLYGON:
        EmitPolyPolygon(surface, style, count, points, clip);
        break;
    default:
        break;
    }
}

void ReleaseSlots(HDC surface, const ObjectSlots *slots)
{
    ReleaseAttributes(surface, slots->pen, slots->oldPen, slots->brush, slots->oldBrush, slots->patternBitmap);
}

// The brush and the brush-coloured pen stay selected for the scanline
// requests that follow; the caller releases them through DeleteObject32.
int32_t BeginScan(HDC surface, const ObjectSlots *slots, int32_t realized, ObjectSlots *handedOut)
{
    handedOut->pen = slots->pen;
    handedOut->oldPen = slots->oldPen;
    handedOut->brush = slots->brush;
    handedOut->oldBrush = slots->oldBrush;
    handedOut->patternBitmap = slots->patternBitmap;
    BeginPath(surface);
    return realized;
}

// Widening with the selected pen turns the zero-height scanline segments into
// the area they cover, which the selected brush (patterns included) fills.
int32_t EndScan(HDC surface, const ObjectSlots *slots, int32_t realized)
{
    EndPath(surface);
    SetPolyFillMode(surface, WINDING);
    WidenPath(surface);
    FillPath(surface);
    // With scanFlag 1 this request selected a scan set of its own over the
    // bracket's; nobody else holds those handles, so they go now (selecting
    // the bracket's pen and brush back) or every such request would leak two
    // objects. With scanFlag 0 the slots are empty and this does nothing.
    ReleaseSlots(surface, slots);
    return realized;
}

} // namespace

int32_t RecordOutput(HDC surface, uint16_t style, uint16_t scanFlag, uint16_t count, const void *points,
                     LOGPEN *penRecord, uint32_t geometricPenStyle, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode, const RECT *clip, ObjectSlots *handedOut)
{
    ObjectSlots slots;
    int32_t realized =
        RealizeAttributes(surface, style, scanFlag, penRecord, geometricPenStyle, brushRecord, drawMode, &slots);
    ApplyRasterOperation(surface, style, scanFlag, drawMode);
    switch (style) {
    case OUT_BEGINSCAN:
        return BeginScan(surface, &slots, realized, handedOut);
    case OUT_ENDSCAN:
        return EndScan(surface, &slots, realized);
    default:
        DrawShape(surface, style, count, points, clip);
        ReleaseSlots(surface, &slots);
        return 0;
    }
}
