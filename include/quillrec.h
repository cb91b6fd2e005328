/*
 * QUILLREC.dll: records a printer driver's drawing output as enhanced-metafile
 * spool files.
 *
 * The caller is the 16-bit part of a printer driver, reaching the nine exports
 * through a 16-to-32-bit thunk. Every scalar argument is a pointer to the
 * caller's variable of the width given below, every record a pointer to a
 * record the caller filled. Exports use the standard calling convention and
 * are found by ordinal (2 to 10; nothing at 1).
 *
 * Every export returns 0 for success and -1 for failure; which failures reach
 * the caller is documented at each export.
 *
 * Records are the target's own Win32 records. On the 32-bit DLL every record
 * has its 32-bit layout; on the 64-bit build LOGBRUSH.lbHatch, BITMAP.bmBits
 * and the two pointers of PolyPolygonRecord are 64 bits wide.
 */
#ifndef QUILLREC_H
#define QUILLREC_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "host_win32.h"
#endif
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A handle variable of the caller: always 32 bits. */
typedef uint32_t Handle32;

/* The drawing state of one request. */
typedef struct DrawModeRecord {
    uint32_t rop2;      /* binary raster operation for SetROP2 (R2_BLACK 1 .. R2_WHITE 16) */
    uint32_t bkMode;    /* TRANSPARENT 1 or OPAQUE 2 */
    COLORREF bkColor;   /* background colour */
    COLORREF textColor; /* text and foreground colour */
    uint32_t useBkMode; /* Raster32 only: with rop2 nonzero, set bkMode if nonzero, else OPAQUE */
} DrawModeRecord;

/* A point of an output primitive, widened by sign extension. */
typedef struct Point16 {
    int16_t x;
    int16_t y;
} Point16;

/* The points argument of the poly-polygon styles. */
typedef struct PolyPolygonRecord {
    const int32_t *counts; /* one vertex count per polygon */
    const Point16 *points; /* all vertices, polygon after polygon */
} PolyPolygonRecord;

/* The five handles realized around one drawing request, in out-argument order. */
typedef struct ObjectSlots {
    Handle32 pen;           /* pen created for the request */
    Handle32 oldPen;        /* pen selected before it */
    Handle32 brush;         /* brush created for the request */
    Handle32 oldBrush;      /* brush selected before it */
    Handle32 patternBitmap; /* bitmap created for a pattern brush */
} ObjectSlots;

/* Output style codes (16-bit). */
enum {
    OUT_BEZIER = 0x0001,
    OUT_SCANLINES = 0x0004,
    OUT_RECTANGLE = 0x0006,
    OUT_ELLIPSE = 0x0007,
    OUT_POLYLINE = 0x0012,
    OUT_WINDPOLYGON = 0x0014,
    OUT_ALTPOLYGON = 0x0016,
    OUT_CIRCLE = 0x0037,
    OUT_BEGINSCAN = 0x0050,
    OUT_ENDSCAN = 0x0051,
    OUT_WINDPOLYPOLYGON = 0x4014,
    OUT_ALTPOLYPOLYGON = 0x4016
};

/* Result codes. */
enum { QUILLREC_SUCCESS = 0, QUILLREC_FAILURE = -1 };

/* Export ordinals. */
enum {
    ORDINAL_GetEmfFileDC32 = 2,
    ORDINAL_CloseEmfFile32 = 3,
    ORDINAL_DeleteObject32 = 4,
    ORDINAL_Output32 = 5,
    ORDINAL_Raster32 = 6,
    ORDINAL_Dib32 = 7,
    ORDINAL_TextOut32 = 8,
    ORDINAL_GetEmfFilePath32 = 9,
    ORDINAL_SetClipRect32 = 10
};

/*
 * GetEmfFileDC32 (ordinal 2): opens the recording surface on fileName with the
 * printer deviceName (driver "WINSPL16", devMode) as reference device; frame is
 * the picture's frame in 0.01 mm. Arguments 5 and 6 are not read.
 * Writes the surface handle to *surface and returns 0; returns -1, with
 * *surface untouched, when either device context cannot be created.
 */
int32_t WINAPI GetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                              const void *unused5, const void *unused6, Handle32 *surface);

/* CloseEmfFile32 (ordinal 3): finishes the spool file and releases the
 * metafile handle; the file stays on disk. Always 0. */
int32_t WINAPI CloseEmfFile32(const Handle32 *surface);

/* DeleteObject32 (ordinal 4): selects *selectBack into the surface when it is
 * nonzero, then deletes *object when it is nonzero; each variable is set to 0
 * once used. Always 0. */
int32_t WINAPI DeleteObject32(const Handle32 *surface, Handle32 *object, Handle32 *selectBack);

/* Output32 (ordinal 5): records one output primitive. See the style codes.
 * OUT_BEGINSCAN writes the five realized handles to the out-arguments and
 * returns the realization result; OUT_ENDSCAN returns the realization result;
 * every other style returns 0. pen->lopnStyle 6 is rewritten to 0 and a
 * BS_PATTERN brush's lbHatch to the pattern bitmap's handle. */
int32_t WINAPI Output32(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag, const uint16_t *count,
                        const void *points, LOGPEN *pen, const uint32_t *geometricPenStyle, LOGBRUSH *brush,
                        const DrawModeRecord *drawMode, Handle32 *outPen, Handle32 *outOldPen, Handle32 *outBrush,
                        Handle32 *outOldBrush, Handle32 *outPatternBitmap, const RECT *clip);

/* Raster32 (ordinal 6): records a block transfer of a device bitmap (or,
 * with source null, of nothing but the pattern and destination). Always 0. */
int32_t WINAPI Raster32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest, const int32_t *cxDest,
                        const int32_t *cyDest, const BITMAP *source, const int32_t *xSrc, const int32_t *ySrc,
                        const int32_t *cxSrc, const int32_t *cySrc, const uint32_t *rop, LOGBRUSH *brush,
                        const DrawModeRecord *drawMode);

/* Dib32 (ordinal 7): records a stretch of the caller's DIB. Always 0. */
int32_t WINAPI Dib32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest, const int32_t *cxDest,
                     const int32_t *cyDest, const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc,
                     const int32_t *cySrc, const void *bits, const BITMAPINFO *info, const uint32_t *rop,
                     LOGBRUSH *brush, const DrawModeRecord *drawMode);

/* TextOut32 (ordinal 8): records text in the caller's logical font. Returns
 * -1 when the font cannot be created, else 0. */
int32_t WINAPI TextOut32(const Handle32 *surface, const LOGFONTA *font, const int32_t *x, const int32_t *y,
                         const uint32_t *options, const RECT *rectangle, const char *string, const uint32_t *count,
                         const int32_t *advances, const DrawModeRecord *drawMode);

/* GetEmfFilePath32 (ordinal 9): writes a new, unique spool file name in the
 * Windows directory's "temp" folder to buffer (at least 260 bytes) and
 * returns 0; returns -1 with the buffer untouched when no name was made. */
int32_t WINAPI GetEmfFilePath32(char *buffer);

/* SetClipRect32 (ordinal 10): makes clip, when given, the surface's only clip
 * rectangle. Always 0. */
int32_t WINAPI SetClipRect32(const Handle32 *surface, const RECT *clip);

#ifdef __cplusplus
}
#endif

#endif
