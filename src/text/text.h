// Text output: font realization, whole-string and glyph-index output, and
// per-character placement.
#ifndef QUILLREC_TEXT_H
#define QUILLREC_TEXT_H

#include "platform.h"

int32_t RecordText(HDC surface, const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                   const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode);

#endif
