// Device-bitmap and DIB transfers.
#ifndef QUILLREC_RASTER_H
#define QUILLREC_RASTER_H

#include "platform.h"

int32_t RecordRaster(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, const BITMAP *source,
                     int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc, uint32_t rop, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode);
int32_t RecordDib(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc, int32_t ySrc,
                  int32_t cxSrc, int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop,
                  LOGBRUSH *brushRecord, const DrawModeRecord *drawMode);

#endif
