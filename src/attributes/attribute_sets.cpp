#include "attributes/attributes.h"

// Shapes drawn as outlines of any width get a geometric pen; an inside-frame
// record goes through the logical rules, which turn it into a solid pen. The
// scan bracket widens its path with a one-unit pen of the brush colour, so the
// widened runs are painted in the brush alone; without a brush it has its
// logical pen.
static int32_t RealizePen(HDC surface, AttributeSet set, LOGPEN *penRecord, uint32_t geometricPenStyle,
                          const LOGBRUSH *brushRecord, ObjectSlots *slots)
{
    COLORREF colour = 0;
    uint32_t style = 0;
    int32_t width = 1;
    if (set == SCAN_SET && brushRecord != NULL) {
        colour = brushRecord->lbColor;
    } else if (set == GEOMETRIC_SET && penRecord != NULL && penRecord->lopnStyle == PS_SOLID) {
        colour = penRecord->lopnColor;
        style = geometricPenStyle;
        width = penRecord->lopnWidth.x;
    } else {
        return SelectLogicalPen(surface, penRecord, &slots->pen, &slots->oldPen);
    }
    return CreateGeometricPen(surface, colour, style, width, &slots->pen, &slots->oldPen);
}

// Each pen and brush procedure has one place here, so that the whole set is
// inlined into this procedure at little cost in size (flatten), and a request
// pays for one call into the attribute set rather than three.
__attribute__((flatten)) int32_t RealizeAttributes(HDC surface, uint16_t style, uint16_t scanFlag, LOGPEN *penRecord,
                                                   uint32_t geometricPenStyle, LOGBRUSH *brushRecord,
                                                   const DrawModeRecord *drawMode, ObjectSlots *slots)
{
    slots->pen = 0;
    slots->oldPen = 0;
    slots->brush = 0;
    slots->oldBrush = 0;
    slots->patternBitmap = 0;
    AttributeSet set = AttributeSetFor(style, scanFlag);
    if (set == EMPTY_SET) {
        return 0;
    }
    // The scan set's pen takes its colour from the brush, so the brush comes first.
    bool scanBrush = set == SCAN_SET && brushRecord != NULL;
    int32_t brushResult = 0;
    if (scanBrush) {
        brushResult =
            RealizeBrush(surface, brushRecord, drawMode, &slots->brush, &slots->oldBrush, &slots->patternBitmap);
    }
    int32_t penResult = RealizePen(surface, set, penRecord, geometricPenStyle, brushRecord, slots);
    if (set != SCAN_SET) {
        brushResult =
            RealizeBrush(surface, brushRecord, drawMode, &slots->brush, &slots->oldBrush, &slots->patternBitmap);
    }
    // Outlines and a scan set without a brush report nothing.
    if (set == GEOMETRIC_SET || (set == SCAN_SET && !scanBrush)) {
        return 0;
    }
    return penResult != 0 || brushResult != 0 ? -1 : 0;
}
