#include "text/text.h"

#include "text/placement.h"

int32_t RealizeFont(HDC surface, const LOGFONTA *font, const DrawModeRecord *drawMode, HFONT *created, HFONT *previous,
                    uint32_t options)
{
    *created = CreateFontIndirectA(font);
    if (*created == NULL) {
        return -1;
    }
    *previous = (HFONT)SelectObject(surface, *created);
    SetBkMode(surface, (int)drawMode->bkMode);
    // TA_LEFT | TA_TOP | TA_NOUPDATECP: every reference point is the top-left
    // corner of a character cell, which per-character placement relies on.
    SetTextAlign(surface, 0);
    SetTextColor(surface, drawMode->textColor);
    // A transparent request without an opaque rectangle paints no background,
    // so the surface keeps whatever background colour it had.
    if (drawMode->bkMode == OPAQUE || (options & ETO_OPAQUE) != 0) {
        SetBkColor(surface, drawMode->bkColor);
    }
    return 0;
}

int32_t EmitText(HDC surface, int32_t x, int32_t y, uint32_t options, const RECT *rectangle, const char *string,
                 uint32_t count, const int32_t *advances, const LOGFONTA *font)
{
    if ((options & ETO_GLYPH_INDEX) != 0) {
        // Glyph indices go to GDI as they are: GDI applies the advances and
        // the font's escapement itself.
        return DrawResult(ExtTextOutW(surface, x, y, options, rectangle, (LPCWSTR)string, count, advances));
    }
    if (advances == NULL) {
        return DrawResult(ExtTextOutA(surface, x, y, options, rectangle, string, count, NULL));
    }
    return PlaceCharacters(surface, x, y, options, rectangle, string, count, advances, font);
}

int32_t ReleaseFont(HDC surface, HFONT created, HFONT previous)
{
    if (created != NULL) {
        SelectObject(surface, previous);
        DeleteObject(created);
    }
    return 0;
}

int32_t RecordText(HDC surface, const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                   const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    HFONT created = NULL;
    HFONT previous = NULL;
    if (RealizeFont(surface, font, drawMode, &created, &previous, options) != 0) {
        return -1;
    }
    // Whether the text was drawn is not the caller's concern: only a font
    // that cannot be made is reported.
    EmitText(surface, x, y, options, rectangle, string, count, advances, font);
    ReleaseFont(surface, created, previous);
    return 0;
}
