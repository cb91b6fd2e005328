// DIB transfer: the caller's header and bits reach GDI exactly as given.
#include "raster/raster.h"

int32_t TransferDib(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest, int32_t xSrc,
                    int32_t ySrc, int32_t cxSrc, int32_t cySrc, const void *bits, const BITMAPINFO *info, uint32_t rop)
{
    int lines =
        StretchDIBits(surface, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc, bits, info, DIB_RGB_COLORS, rop);
    return lines == 0 || lines == (int)GDI_ERROR ? -1 : 0;
}
