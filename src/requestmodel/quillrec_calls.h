// The nine exports as a loader finds them: by ordinal, as the driver's thunk
// does. Shared by every program that loads a QUILLREC.dll (the driver
// simulator, the soak, the tests) and by the capture image, which loads the
// real DLL behind it.
#ifndef QUILLREC_CALLS_H
#define QUILLREC_CALLS_H

#include "quillrec.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Function types, for callers that find the exports by ordinal. */
typedef int32_t(WINAPI *PFN_GetEmfFileDC32)(const DEVMODEA *devMode, const char *deviceName, const char *fileName,
                                            const RECT *frame, const void *unused5, const void *unused6,
                                            Handle32 *surface);
typedef int32_t(WINAPI *PFN_CloseEmfFile32)(const Handle32 *surface);
typedef int32_t(WINAPI *PFN_DeleteObject32)(const Handle32 *surface, Handle32 *object, Handle32 *selectBack);
typedef int32_t(WINAPI *PFN_Output32)(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag,
                                      const uint16_t *count, const void *points, LOGPEN *pen,
                                      const uint32_t *geometricPenStyle, LOGBRUSH *brush,
                                      const DrawModeRecord *drawMode, Handle32 *outPen, Handle32 *outOldPen,
                                      Handle32 *outBrush, Handle32 *outOldBrush, Handle32 *outPatternBitmap,
                                      const RECT *clip);
typedef int32_t(WINAPI *PFN_Raster32)(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                      const int32_t *cxDest, const int32_t *cyDest, const BITMAP *source,
                                      const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc,
                                      const int32_t *cySrc, const uint32_t *rop, LOGBRUSH *brush,
                                      const DrawModeRecord *drawMode);
typedef int32_t(WINAPI *PFN_Dib32)(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                   const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc,
                                   const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc, const void *bits,
                                   const BITMAPINFO *info, const uint32_t *rop, LOGBRUSH *brush,
                                   const DrawModeRecord *drawMode);
typedef int32_t(WINAPI *PFN_TextOut32)(const Handle32 *surface, const LOGFONTA *font, const int32_t *x,
                                       const int32_t *y, const uint32_t *options, const RECT *rectangle,
                                       const char *string, const uint32_t *count, const int32_t *advances,
                                       const DrawModeRecord *drawMode);
typedef int32_t(WINAPI *PFN_GetEmfFilePath32)(char *buffer);
typedef int32_t(WINAPI *PFN_SetClipRect32)(const Handle32 *surface, const RECT *clip);

/* The nine exports as found by ordinal: one record for every caller that
   loads the DLL (the driver simulator, the soak, the capture DLL). */
typedef struct QuillrecCalls {
    PFN_GetEmfFileDC32 GetEmfFileDC32;
    PFN_CloseEmfFile32 CloseEmfFile32;
    PFN_DeleteObject32 DeleteObject32;
    PFN_Output32 Output32;
    PFN_Raster32 Raster32;
    PFN_Dib32 Dib32;
    PFN_TextOut32 TextOut32;
    PFN_GetEmfFilePath32 GetEmfFilePath32;
    PFN_SetClipRect32 SetClipRect32;
} QuillrecCalls;

#ifdef _WIN32
/* Fills calls with module's exports, found by ordinal as the thunk finds them;
   0 when all nine are there, else the ordinal of the last one missing. It
   calls nothing but GetProcAddress, so the capture DLL, built without a C
   runtime, shares it with the tools. */
static inline int QuillrecFindCalls(HMODULE module, QuillrecCalls *calls)
{
    /* the generic function pointer type converts to any other without a
       cast-function-type warning */
    typedef void (*AnyFunction)(void);
    AnyFunction found[ORDINAL_SetClipRect32 + 1];
    int missing = 0;
    for (int ordinal = ORDINAL_GetEmfFileDC32; ordinal <= ORDINAL_SetClipRect32; ++ordinal) {
        found[ordinal] = (AnyFunction)GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
        missing = found[ordinal] != NULL ? missing : ordinal;
    }
    calls->GetEmfFileDC32 = (PFN_GetEmfFileDC32)found[ORDINAL_GetEmfFileDC32];
    calls->CloseEmfFile32 = (PFN_CloseEmfFile32)found[ORDINAL_CloseEmfFile32];
    calls->DeleteObject32 = (PFN_DeleteObject32)found[ORDINAL_DeleteObject32];
    calls->Output32 = (PFN_Output32)found[ORDINAL_Output32];
    calls->Raster32 = (PFN_Raster32)found[ORDINAL_Raster32];
    calls->Dib32 = (PFN_Dib32)found[ORDINAL_Dib32];
    calls->TextOut32 = (PFN_TextOut32)found[ORDINAL_TextOut32];
    calls->GetEmfFilePath32 = (PFN_GetEmfFilePath32)found[ORDINAL_GetEmfFilePath32];
    calls->SetClipRect32 = (PFN_SetClipRect32)found[ORDINAL_SetClipRect32];
    return missing;
}
#endif

#ifdef __cplusplus
}
#endif

#endif
