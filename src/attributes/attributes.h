// Pens, brushes and draw modes realized around a drawing request, and their
// release.
#ifndef QUILLREC_ATTRIBUTES_H
#define QUILLREC_ATTRIBUTES_H

#include "platform.h"

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
