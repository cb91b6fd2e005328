#include "output/output.h"

// Not yet recorded: answers as a request whose realization succeeded.
int32_t RecordOutput(HDC surface, uint16_t style, uint16_t scanFlag, uint16_t count, const void *points,
                     LOGPEN *penRecord, uint32_t geometricPenStyle, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode, const RECT *clip, ObjectSlots *handedOut)
{
    (void)surface, (void)style, (void)scanFlag, (void)count, (void)points, (void)penRecord;
    (void)geometricPenStyle, (void)brushRecord, (void)drawMode, (void)clip, (void)handedOut;
    return 0;
}
