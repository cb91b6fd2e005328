#include "text/text.h"

// Not yet recorded: answers as a request whose font was created.
int32_t RecordText(HDC surface, const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                   const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    (void)surface, (void)font, (void)x, (void)y, (void)options, (void)rectangle, (void)string, (void)count;
    (void)advances, (void)drawMode;
    return 0;
}
