// Text output: font realization, whole-string and glyph-index output, and
// per-character placement.
#ifndef QUILLREC_TEXT_H
#define QUILLREC_TEXT_H

#include "platform.h"

int32_t RecordText(HDC surface, const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                   const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode);

// Creates and selects the caller's font and sets the draw mode's text
// attributes. -1 when the font cannot be created: then *created is null and
// nothing else was touched.
int32_t RealizeFont(HDC surface, const LOGFONTA *font, const DrawModeRecord *drawMode, HFONT *created, HFONT *previous,
                    uint32_t options);
// Draws the string in one of its three ways; 0 when the (last) drawing call
// succeeded, -1 when it failed.
int32_t EmitText(HDC surface, int32_t x, int32_t y, uint32_t options, const RECT *rectangle, const char *string,
                 uint32_t count, const int32_t *advances, const LOGFONTA *font);
int32_t ReleaseFont(HDC surface, HFONT created, HFONT previous);

#endif
