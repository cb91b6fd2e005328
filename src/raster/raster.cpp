// The two raster requests: realize the attribute set (the brush is the
// pattern the ternary raster operation combines), transfer, release.
#include "raster/raster.h"

#include "attributes/attributes.h"

// Style 0 with no pen record: the stock null pen and the request's brush.
static void RealizeRasterAttributes(HDC surface, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode,
                                    ObjectSlots *slots)
{
    *slots = ObjectSlots{0, 0, 0, 0, 0};
    // Not reported: the transfer runs with whatever could be selected.
    RealizeAttributes(surface, 0, 0, NULL, 0, brushRecord, drawMode, slots);
}

static int32_t ReleaseRasterAttributes(HDC surface, const ObjectSlots *slots)
{
    return ReleaseAttributes(surface, slots->pen, slots->oldPen, slots->brush, slots->oldBrush, slots->patternBitmap);
}

// Failures of the transfer are not reported to the caller.
int32_t RecordRaster(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, const BITMAP *source,
                     int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc, uint32_t rop, LOGBRUSH *brushRecord,
                     const DrawModeRecord *drawMode)
{
    ObjectSlots slots;
    RealizeRasterAttributes(surface, brushRecord, drawMode, &slots);
    TransferDeviceBitmap(surface, xDest, yDest, cxDest, cyDest, source, xSrc, ySrc, cxSrc, cySrc, rop, drawMode);
    return ReleaseRasterAttributes(surface, &slots);
}

int32_t RecordDib(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc, int32_t ySrc,
                  int32_t cxSrc, int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop,
                  LOGBRUSH *brushRecord, const DrawModeRecord *drawMode)
{
    ObjectSlots slots;
    RealizeRasterAttributes(surface, brushRecord, drawMode, &slots);
    TransferDib(surface, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc, bits, info, rop);
    return ReleaseRasterAttributes(surface, &slots);
}
