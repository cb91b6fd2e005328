// Output primitives: the dispatcher and the shape emitters.
#ifndef QUILLREC_OUTPUT_H
#define QUILLREC_OUTPUT_H

#include "platform.h"

// Records one output primitive. For OUT_BEGINSCAN the realized handles are
// left in *handedOut for the caller; the other styles leave it untouched.
int32_t RecordOutput(HDC surface, uint16_t style, uint16_t scanFlag, uint16_t count, const void *points,
                     LOGPEN *penRecord, uint32_t geometricPenStyle, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode, const RECT *clip, ObjectSlots *handedOut);

#endif
