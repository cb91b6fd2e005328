// Font look-ups through GDI: a missing face is silently replaced, so what a
// font record asks for and what GDI draws with can differ.
#include "font_faces.h"

bool RealizeFace(const LOGFONTW &font, RealizedFace *realized)
{
    HFONT handle = CreateFontIndirectW(&font);
    HDC dc = CreateCompatibleDC(NULL);
    bool found = false;
    if (handle != NULL && dc != NULL) {
        HGDIOBJ previous = SelectObject(dc, handle);
        realized->length = GetTextFaceW(dc, LF_FACESIZE, realized->face);
        found = realized->length > 0;
        if (found) {
            realized->charSet = (DWORD)GetTextCharset(dc);
        }
        SelectObject(dc, previous);
    }
    if (dc != NULL) {
        DeleteDC(dc);
    }
    if (handle != NULL) {
        DeleteObject(handle);
    }
    return found;
}
