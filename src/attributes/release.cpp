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
