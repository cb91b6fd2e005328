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

// Converts the caller's device bitmap into a DIB and stretches it onto the
// surface; without a source, stretches a blank memory bitmap under `rop`.
// 0 when the stretch was issued, -1 when the conversion or the blit failed.
int32_t TransferDeviceBitmap(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest,
                             const BITMAP *source, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc,
                             uint32_t rop, const DrawModeRecord *drawMode);

// Stretches the caller's DIB unchanged. 0 when GDI copied lines, else -1.
int32_t TransferDib(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc,
                    int32_t ySrc, int32_t cxSrc, int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop);

#endif
