// The nine exports of the capture DLL. Each writes in two halves, each under
// the capture lock: what the driver passed, on disk before the real DLL runs
// (the real DLL rewrites some records in place, and may never return), then,
// after the call and with the lock taken again, the result and what came
// back. The lock is never held while the real DLL runs, so two threads print
// as they would without the capture. TextOut32's first half is a call line
// with its font and scalars alone: the real DLL reads the rest only once the
// font is made, so it is read after the call, when the result says whether
// it was; GetEmfFileDC32's call line has the device name and DEVMODE, and
// its page line follows the call, for the same reason. So a process that
// dies inside any export leaves a line naming the call. The driver sees
// exactly what the real DLL returned; when the real DLL cannot be loaded,
// each export returns the failure its documentation gives and writes
// nothing to the driver's variables.
#include "capture/capture.h"

// Either half begins: the lock taken and the file opened on first use.
static void BeginHalf(void)
{
    LockCapture();
    BeginRequest();
}

// The first half begins, the real DLL loaded on first use. NULL when there
// is no real DLL to forward to.
static const RealExports *Enter(void)
{
    BeginHalf();
    return RealDll();
}

// The first half ends: in the file before the call, and the lock free for
// other threads while the real DLL runs.
static void Forwarding(void)
{
    EndRequest();
    UnlockCapture();
}

// The request line's end and its number, for the result line.
static uint32_t Requested(Handle32 surface)
{
    return CaptureOn() ? CaptureRequestEnd(surface) : 0;
}

// The second half begins, and whether there is a result to write: not when
// the capture stopped, or the request was never written.
static int Answering(uint32_t request)
{
    BeginHalf();
    return CaptureOn() && request != 0;
}

static void Answered(void)
{
    EndRequest();
    UnlockCapture();
}

static int32_t Finish(uint32_t request, int32_t result)
{
    if (Answering(request)) {
        CaptureResult(request, result);
    }
    Answered();
    return result;
}

// The call line holds what the reference device is made from, read first;
// the page line waits for the answer, like a text: whether the real DLL read
// the frame and file name depends on that reference device.
extern "C" int32_t WINAPI GetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName,
                                         const RECT *frame, const void *unused5, const void *unused6, Handle32 *surface)
{
    const RealExports *real = Enter();
    uint32_t call = real != NULL && CaptureOn() ? CapturePageCall(devMode, deviceName) : 0;
    Forwarding();
    if (real == NULL) {
        return -1;
    }
    int32_t result = real->GetEmfFileDC32(devMode, deviceName, fileName, frame, unused5, unused6, surface);
    BeginHalf();
    if (call != 0 && CaptureOn()) {
        uint32_t page = 0;
        CaptureGetEmfFileDC32(devMode, deviceName, fileName, frame, result == 0, call);
        uint32_t request = CapturePageEnd(&page);
        CaptureSurfaceOpened(request, page, result, result == 0 ? *surface : 0);
    }
    Answered();
    return result;
}

extern "C" int32_t WINAPI CloseEmfFile32(const Handle32 *surface)
{
    const RealExports *real = Enter();
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureClose();
        request = Requested(*surface);
    }
    Forwarding();
    return real == NULL ? 0 : Finish(request, real->CloseEmfFile32(surface));
}

extern "C" int32_t WINAPI DeleteObject32(const Handle32 *surface, Handle32 *object, Handle32 *selectBack)
{
    const RealExports *real = Enter();
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureDelete(*surface, *object, *selectBack);
        request = Requested(*surface);
    }
    Forwarding();
    return real == NULL ? 0 : Finish(request, real->DeleteObject32(surface, object, selectBack));
}

extern "C" int32_t WINAPI Output32(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag,
                                   const uint16_t *count, const void *points, LOGPEN *pen,
                                   const uint32_t *geometricPenStyle, LOGBRUSH *brush, const DrawModeRecord *drawMode,
                                   Handle32 *outPen, Handle32 *outOldPen, Handle32 *outBrush, Handle32 *outOldBrush,
                                   Handle32 *outPatternBitmap, const RECT *clip)
{
    const RealExports *real = Enter();
    uint16_t styleValue = *style;
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureOutput(styleValue, *scanFlag, *count, points, pen, *geometricPenStyle, brush, drawMode, clip);
        request = Requested(*surface);
    }
    Forwarding();
    if (real == NULL) {
        return styleValue == OUT_BEGINSCAN || styleValue == OUT_ENDSCAN ? -1 : 0;
    }
    int32_t result = real->Output32(surface, style, scanFlag, count, points, pen, geometricPenStyle, brush, drawMode,
                                    outPen, outOldPen, outBrush, outOldBrush, outPatternBitmap, clip);
    if (styleValue != OUT_BEGINSCAN) {
        return Finish(request, result);
    }
    if (Answering(request)) {
        ObjectSlots slots = {*outPen, *outOldPen, *outBrush, *outOldBrush, *outPatternBitmap};
        CaptureHandedOut(request, result, *surface, &slots);
    }
    Answered();
    return result;
}

// Raster32 and Dib32 open alike: the destination and source rectangles read
// through the driver's pointers while capturing.
static const RealExports *EnterCopy(int32_t *rectangles, const int32_t *xDest, const int32_t *yDest,
                                    const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc,
                                    const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc)
{
    const RealExports *real = Enter();
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
    const RealExports *real = EnterCopy(rectangles, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc);
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureRaster(rectangles, source, *rop, brush, drawMode);
        request = Requested(*surface);
    }
    Forwarding();
    return real == NULL ? 0
                        : Finish(request, real->Raster32(surface, xDest, yDest, cxDest, cyDest, source, xSrc, ySrc,
                                                         cxSrc, cySrc, rop, brush, drawMode));
}

extern "C" int32_t WINAPI Dib32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc, const int32_t *ySrc,
                                const int32_t *cxSrc, const int32_t *cySrc, const void *bits, const BITMAPINFO *info,
                                const uint32_t *rop, LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    int32_t rectangles[8] = {};
    const RealExports *real = EnterCopy(rectangles, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc);
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureDib(rectangles, bits, info, *rop, brush, drawMode);
        request = Requested(*surface);
    }
    Forwarding();
    return real == NULL ? 0
                        : Finish(request, real->Dib32(surface, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc,
                                                      bits, info, rop, brush, drawMode));
}

extern "C" int32_t WINAPI TextOut32(const Handle32 *surface, const LOGFONTA *font, const int32_t *x, const int32_t *y,
                                    const uint32_t *options, const RECT *rectangle, const char *string,
                                    const uint32_t *count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    const RealExports *real = Enter();
    uint32_t call = 0;
    int32_t at[2] = {0, 0};
    uint32_t scalars[2] = {0, 0}; // options, count
    if (real != NULL && CaptureOn()) {
        at[0] = *x, at[1] = *y, scalars[0] = *options, scalars[1] = *count;
        call = CaptureTextCall(font, at[0], at[1], scalars[0], scalars[1]);
    }
    Forwarding();
    if (real == NULL) {
        return -1;
    }
    int32_t result = real->TextOut32(surface, font, x, y, options, rectangle, string, count, advances, drawMode);
    BeginHalf();
    if (call != 0 && CaptureOn()) {
        CaptureText(font, at[0], at[1], scalars[0], rectangle, string, scalars[1], advances, drawMode, result == 0,
                    call);
        CaptureResult(CaptureRequestEnd(*surface), result);
    }
    Answered();
    return result;
}

extern "C" int32_t WINAPI GetEmfFilePath32(char *buffer)
{
    const RealExports *real = Enter();
    uint32_t call = real != NULL && CaptureOn() ? CapturePathCall() : 0;
    Forwarding();
    if (real == NULL) {
        return -1;
    }
    int32_t result = real->GetEmfFilePath32(buffer);
    BeginHalf();
    if (call != 0 && CaptureOn()) {
        CaptureGetEmfFilePath32(buffer, result, call);
    }
    Answered();
    return result;
}

extern "C" int32_t WINAPI SetClipRect32(const Handle32 *surface, const RECT *clip)
{
    const RealExports *real = Enter();
    uint32_t request = 0;
    if (real != NULL && CaptureOn()) {
        CaptureClip(clip);
        request = Requested(*surface);
    }
    Forwarding();
    return real == NULL ? 0 : Finish(request, real->SetClipRect32(surface, clip));
}
