// Pens, brushes and draw modes realized around a drawing request, and their
// release.
#ifndef QUILLREC_ATTRIBUTES_H
#define QUILLREC_ATTRIBUTES_H

#include "platform.h"

// The attribute set a request realizes, which decides the records it reads:
// the logical and geometric sets read pen and brush, the scan set the brush
// (the pen only without one), the empty set nothing. The capture DLL writes
// the records by the same rule.
enum AttributeSet { GEOMETRIC_SET, SCAN_SET, EMPTY_SET, LOGICAL_SET };

static inline AttributeSet AttributeSetFor(uint16_t style, uint16_t scanFlag)
{
    // only exactly 1 marks a request inside a scan bracket
    switch (scanFlag == 1 ? (uint16_t)OUT_BEGINSCAN : style) {
    case OUT_BEZIER:
    case OUT_POLYLINE:
    case OUT_WINDPOLYGON:
    case OUT_ALTPOLYGON:
    case OUT_WINDPOLYPOLYGON:
    case OUT_ALTPOLYPOLYGON:
        return GEOMETRIC_SET;
    case OUT_BEGINSCAN:
        return SCAN_SET;
    case OUT_SCANLINES:
    case OUT_ENDSCAN:
        return EMPTY_SET;
    default:
        return LOGICAL_SET;
    }
}

int32_t CreateGeometricPen(HDC surface, COLORREF color, uint32_t style, int32_t width, Handle32 *pen, Handle32 *oldPen);
int32_t SelectLogicalPen(HDC surface, LOGPEN *penRecord, Handle32 *pen, Handle32 *oldPen);
int32_t RealizeBrush(HDC surface, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode, Handle32 *brush,
                     Handle32 *oldBrush, Handle32 *patternBitmap);

int32_t RealizeAttributes(HDC surface, uint16_t style, uint16_t scanFlag, LOGPEN *penRecord, uint32_t geometricPenStyle,
                          LOGBRUSH *brushRecord, const DrawModeRecord *drawMode, ObjectSlots *slots);
int32_t ReleaseAttributes(HDC surface, Handle32 pen, Handle32 oldPen, Handle32 brush, Handle32 oldBrush,
                          Handle32 patternBitmap);

// One object handed out by a scan bracket: its predecessor selected back
// first (when given), then the object deleted (when given).
void ReleaseHandedObject(HDC surface, Handle32 object, Handle32 selectBack);

#endif
