#include "attributes/attributes.h"

enum AttributeSet { GEOMETRIC_SET, SCAN_SET, EMPTY_SET, LOGICAL_SET };

static AttributeSet SetForKey(uint16_t key)
{
    switch (key) {
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

// Shapes drawn as outlines of any width get a geometric pen; an inside-frame
// record goes through the logical rules, which turn it into a solid pen.
static int32_t RealizeGeometricSet(HDC surface, LOGPEN *penRecord, uint32_t geometricPenStyle, LOGBRUSH *brushRecord,
                                   const DrawModeRecord *drawMode, ObjectSlots *slots)
{
    if (penRecord != NULL && penRecord->lopnStyle == PS_SOLID) {
        CreateGeometricPen(surface, penRecord->lopnColor, geometricPenStyle, penRecord->lopnWidth.x, &slots->pen,
                           &slots->oldPen);
    } else {
        SelectLogicalPen(surface, penRecord, &slots->pen, &slots->oldPen);
    }
    RealizeBrush(surface, brushRecord, drawMode, &slots->brush, &slots->oldBrush, &slots->patternBitmap);
    return 0;
}

// The scan bracket widens its path with a one-unit pen of the brush colour,
// so the widened runs are painted in the brush alone.
static int32_t RealizeScanSet(HDC surface, LOGPEN *penRecord, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode,
                              ObjectSlots *slots)
{
    if (brushRecord == NULL) {
        SelectLogicalPen(surface, penRecord, &slots->pen, &slots->oldPen);
        return 0;
    }
    int32_t brushResult =
        RealizeBrush(surface, brushRecord, drawMode, &slots->brush, &slots->oldBrush, &slots->patternBitmap);
    int32_t penResult = CreateGeometricPen(surface, brushRecord->lbColor, 0, 1, &slots->pen, &slots->oldPen);
    return brushResult != 0 || penResult != 0 ? -1 : 0;
}

static int32_t RealizeLogicalSet(HDC surface, LOGPEN *penRecord, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode,
                                 ObjectSlots *slots)
{
    int32_t penResult = SelectLogicalPen(surface, penRecord, &slots->pen, &slots->oldPen);
    int32_t brushResult =
        RealizeBrush(surface, brushRecord, drawMode, &slots->brush, &slots->oldBrush, &slots->patternBitmap);
    return penResult != 0 || brushResult != 0 ? -1 : 0;
}

int32_t RealizeAttributes(HDC surface, uint16_t style, uint16_t scanFlag, LOGPEN *penRecord, uint32_t geometricPenStyle,
                          LOGBRUSH *brushRecord, const DrawModeRecord *drawMode, ObjectSlots *slots)
{
    slots->pen = 0;
    slots->oldPen = 0;
    slots->brush = 0;
    slots->oldBrush = 0;
    slots->patternBitmap = 0;
    // Only exactly 1 marks a request inside a scan bracket.
    uint16_t key = scanFlag == 1 ? (uint16_t)OUT_BEGINSCAN : style;
    switch (SetForKey(key)) {
    case GEOMETRIC_SET:
        return RealizeGeometricSet(surface, penRecord, geometricPenStyle, brushRecord, drawMode, slots);
    case SCAN_SET:
        return RealizeScanSet(surface, penRecord, brushRecord, drawMode, slots);
    case EMPTY_SET:
        return 0;
    case LOGICAL_SET:
    default:
        return RealizeLogicalSet(surface, penRecord, brushRecord, drawMode, slots);
    }
}
