// The nine exports of the capture DLL. Each writes what the driver passed
// before the real DLL runs (the real DLL rewrites some records in place),
// forwards the call with the driver's own pointers, then writes the result
// and what came back. TextOut32 alone is written after the real DLL answered:
// it rewrites none of the text's records, and its result says whether it read
// them at all. The driver sees exactly what the real DLL returned;
// when the real DLL cannot be loaded, each export returns the failure its
// documentation gives and writes nothing to the driver's variables.
#include "capture/capture.h"

// Opens the request; NULL when there is no real DLL to forward to.
static const RealExports *Forward(void)
{
    BeginRequest();
    const RealExports *real = RealDll();
    if (real == NULL) {
        EndRequest();
    }
    return real;
}

// The result line, and the request's text handed to the system before the
// export returns.
static int32_t Finish(int32_t result)
{
    if (CaptureOn()) {
        CaptureResult(result);
    }
    EndRequest();
    return result;
}

extern "C" int32_t WINAPI GetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName,
                                         const RECT *frame, const void *unused5, const void *unused6, Handle32 *surface)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return -1;
    }
    int32_t result = real->GetEmfFileDC32(devMode, deviceName, fileName, frame, unused5, unused6, surface);
    if (CaptureOn()) {
        // a page that opened had its reference device; a failed one may not
        // have, and then the DLL read neither frame nor file name
        CaptureGetEmfFileDC32(devMode, deviceName, fileName, frame, result == 0);
        CaptureSurfaceOpened(result, result == 0 ? *surface : 0);
    }
    EndRequest();
    return result;
}

extern "C" int32_t WINAPI CloseEmfFile32(const Handle32 *surface)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return 0;
    }
    int32_t result = real->CloseEmfFile32(surface);
    if (CaptureOn()) {
        // always 0: the close line carries no expectation
        CaptureClose();
    }
    EndRequest();
    return result;
}

extern "C" int32_t WINAPI DeleteObject32(const Handle32 *surface, Handle32 *object, Handle32 *selectBack)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return 0;
    }
    if (CaptureOn()) {
        CaptureDelete(*object, *selectBack);
    }
    return Finish(real->DeleteObject32(surface, object, selectBack));
}

extern "C" int32_t WINAPI Output32(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag,
                                   const uint16_t *count, const void *points, LOGPEN *pen,
                                   const uint32_t *geometricPenStyle, LOGBRUSH *brush, const DrawModeRecord *drawMode,
                                   Handle32 *outPen, Handle32 *outOldPen, Handle32 *outBrush, Handle32 *outOldBrush,
                                   Handle32 *outPatternBitmap, const RECT *clip)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return *style == OUT_BEGINSCAN || *style == OUT_ENDSCAN ? -1 : 0;
    }
    uint16_t styleValue = *style;
    if (CaptureOn()) {
        CaptureOutput(styleValue, *scanFlag, *count, points, pen, *geometricPenStyle, brush, drawMode, clip);
    }
    int32_t result = real->Output32(surface, style, scanFlag, count, points, pen, geometricPenStyle, brush, drawMode,
                                    outPen, outOldPen, outBrush, outOldBrush, outPatternBitmap, clip);
    if (CaptureOn()) {
        CaptureResult(result);
        if (styleValue == OUT_BEGINSCAN) {
            ObjectSlots slots = {*outPen, *outOldPen, *outBrush, *outOldBrush, *outPatternBitmap};
            CaptureHandedOut(&slots);
        }
    }
    EndRequest();
    return result;
}

// Raster32 and Dib32 open alike: the request, and the destination and
// source rectangles read through the driver's pointers while capturing.
static const RealExports *ForwardCopy(int32_t *rectangles, const int32_t *xDest, const int32_t *yDest,
                                      const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc,
                                      const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc)
{
    const RealExports *real = Forward();
    if (real != NULL && CaptureOn()) {
        const int32_t *from[8] = {xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc};
        for (int i = 0; i < 8; ++i) {
            rectangles[i] = *from[i];
        }
    }
    return real;
}

extern "C" int32_t WINAPI Raster32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                   const int32_t *cxDest, const int32_t *cyDest, const BITMAP *source,
                                   const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc,
                                   const uint32_t *rop, LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    int32_t rectangles[8] = {};
    const RealExports *real = ForwardCopy(rectangles, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc);
    if (real != NULL && CaptureOn()) {
        CaptureRaster(rectangles, source, *rop, brush, drawMode);
    }
    return real == NULL ? 0
                        : Finish(real->Raster32(surface, xDest, yDest, cxDest, cyDest, source, xSrc, ySrc, cxSrc, cySrc,
                                                rop, brush, drawMode));
}

extern "C" int32_t WINAPI Dib32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc, const int32_t *ySrc,
                                const int32_t *cxSrc, const int32_t *cySrc, const void *bits, const BITMAPINFO *info,
                                const uint32_t *rop, LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    int32_t rectangles[8] = {};
    const RealExports *real = ForwardCopy(rectangles, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc);
    if (real != NULL && CaptureOn()) {
        CaptureDib(rectangles, bits, info, *rop, brush, drawMode);
    }
    return real == NULL ? 0
                        : Finish(real->Dib32(surface, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc, bits,
                                             info, rop, brush, drawMode));
}

extern "C" int32_t WINAPI TextOut32(const Handle32 *surface, const LOGFONTA *font, const int32_t *x, const int32_t *y,
                                    const uint32_t *options, const RECT *rectangle, const char *string,
                                    const uint32_t *count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return -1;
    }
    // The text's records are left as the driver passed them, so they are
    // read afterwards, when the result says whether the real DLL read them.
    int32_t result = real->TextOut32(surface, font, x, y, options, rectangle, string, count, advances, drawMode);
    if (CaptureOn()) {
        CaptureText(font, *x, *y, *options, rectangle, string, *count, advances, drawMode, result == 0);
    }
    return Finish(result);
}

extern "C" int32_t WINAPI GetEmfFilePath32(char *buffer)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return -1;
    }
    int32_t result = real->GetEmfFilePath32(buffer);
    if (CaptureOn()) {
        CaptureGetEmfFilePath32(buffer, result);
    }
    EndRequest();
    return result;
}

extern "C" int32_t WINAPI SetClipRect32(const Handle32 *surface, const RECT *clip)
{
    const RealExports *real = Forward();
    if (real == NULL) {
        return 0;
    }
    if (CaptureOn()) {
        CaptureClip(clip);
    }
    return Finish(real->SetClipRect32(surface, clip));
}
