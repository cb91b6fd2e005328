#include "raster/raster.h"

// Not yet recorded: both transfers report 0 whatever happens.
int32_t RecordRaster(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, const BITMAP *source,
                     int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc, uint32_t rop, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode)
{
    (void)surface, (void)xDest, (void)yDest, (void)cxDest, (void)cyDest, (void)source, (void)xSrc, (void)ySrc;
    (void)cxSrc, (void)cySrc, (void)rop, (void)brushRecord, (void)drawMode;
    return 0;
}

int32_t RecordDib(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc, int32_t ySrc,
                  int32_t cxSrc, int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop,
                  LOGBRUSH *brushRecord, const DrawModeRecord *drawMode)
{
    (void)surface, (void)xDest, (void)yDest, (void)cxDest, (void)cyDest, (void)xSrc, (void)ySrc, (void)cxSrc;
    (void)cySrc, (void)bits, (void)info, (void)rop, (void)brushRecord, (void)drawMode;
    return 0;
}
