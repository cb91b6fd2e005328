#include "attributes/attributes.h"

void ReleaseHandedObject(HDC surface, Handle32 object, Handle32 selectBack)
{
    if (selectBack != 0) {
        SelectObject(surface, HandleFrom32(selectBack));
    }
    if (object != 0) {
        DeleteObject(HandleFrom32(object));
    }
}

// Predecessors go back before their objects are deleted, so nothing is
// deleted while selected; the pattern bitmap outlives the brush made from it.
int32_t ReleaseAttributes(HDC surface, Handle32 pen, Handle32 oldPen, Handle32 brush, Handle32 oldBrush,
                          Handle32 patternBitmap)
{
    if (pen != 0) {
        SelectObject(surface, HandleFrom32(oldPen));
        DeleteObject(HandleFrom32(pen));
    }
    if (brush != 0) {
        SelectObject(surface, HandleFrom32(oldBrush));
        DeleteObject(HandleFrom32(brush));
    }
    if (patternBitmap != 0) {
        DeleteObject(HandleFrom32(patternBitmap));
    }
    return 0;
}
