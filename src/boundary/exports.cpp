// The nine exports. Each reads its scalar arguments through the caller's
// pointers here, once, and hands values to the procedures behind it; no
// procedure past this file sees a pointer to a scalar.
#include "attributes/attributes.h"
#include "output/output.h"
#include "platform.h"
#include "raster/raster.h"
#include "recording/recording.h"
#include "text/text.h"

static HDC SurfaceFrom(const Handle32 *surface)
{
    return (HDC)HandleFrom32(*surface);
}

/*
 * Routine Description:
 *     Opens the recording surface of one page: an enhanced-metafile device
 *     context on fileName, with the printer as reference device.
 * Arguments:
 *     devMode    - DEVMODEA handed to CreateDCA unchanged.
 *     deviceName - the printer's device name.
 *     fileName   - the spool file, as GetEmfFilePath32 named it.
 *     frame      - the picture's frame in 0.01 mm, handed on unchanged.
 *     unused5, unused6 - not read.
 *     surface    - receives the surface handle (32 bits).
 * Return Value:
 *     0, or -1 when the reference or the metafile context cannot be created;
 *     *surface is written only on success.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI GetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName,
                                                           const char *fileName, const RECT *frame, const void *unused5,
                                                           const void *unused6, Handle32 *surface)
{
    (void)unused5;
    (void)unused6;
    HDC opened = NULL;
    if (OpenRecordingSurface(devMode, deviceName, fileName, frame, &opened) != 0) {
        return -1;
    }
    *surface = HandleTo32(opened);
    return 0;
}

/*
 * Routine Description:
 *     Finishes the spool file and releases its metafile handle; the file
 *     stays on disk.
 * Arguments:
 *     surface - the caller's surface variable; left as it was.
 * Return Value:
 *     Always 0.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI CloseEmfFile32(const Handle32 *surface)
{
    return CloseRecordingSurface(SurfaceFrom(surface));
}

/*
 * Routine Description:
 *     Releases one object handed out by a scan bracket: the object to select
 *     back first, then the object to delete.
 * Arguments:
 *     surface    - the caller's surface variable; read only when selectBack
 *                  holds an object.
 *     object     - the object to delete, or 0; set to 0 once deleted.
 *     selectBack - the object to select into the surface first, or 0; set to
 *                  0 once selected.
 * Return Value:
 *     Always 0.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI DeleteObject32(const Handle32 *surface, Handle32 *object,
                                                           Handle32 *selectBack)
{
    // Read before anything changes: both pointers may name one variable.
    Handle32 doomed = *object;
    Handle32 predecessor = *selectBack;
    ReleaseHandedObject(predecessor != 0 ? SurfaceFrom(surface) : NULL, doomed, predecessor);
    if (predecessor != 0) {
        *selectBack = 0;
    }
    if (doomed != 0) {
        *object = 0;
    }
    return 0;
}

/*
 * Routine Description:
 *     Records one output primitive (style codes OUT_*), or opens, feeds or
 *     closes a scan bracket.
 * Arguments:
 *     surface           - the caller's surface variable.
 *     style, scanFlag, count - 16-bit values.
 *     points            - Point16 array, or a PolyPolygonRecord for the
 *                         poly-polygon styles.
 *     pen, brush        - optional records; lopnStyle 6 is rewritten to 0, a
 *                         BS_PATTERN brush's lbHatch becomes the pattern
 *                         bitmap's handle.
 *     geometricPenStyle - 32-bit style bits for geometric pens.
 *     drawMode          - optional.
 *     outPen .. outPatternBitmap - written by OUT_BEGINSCAN only, with the
 *                         handles the caller later releases via DeleteObject32.
 *     clip              - optional clip rectangle.
 * Return Value:
 *     OUT_BEGINSCAN and OUT_ENDSCAN: 0, or -1 when realization failed.
 *     Every other style: 0.
 */
// Flattened, as Raster32 is: the procedures behind it are inlined here, so a
// request costs one call rather than one per procedure (the point-buffer
// emitters stay out of line, see emitters.cpp).
extern "C" QUILLREC_EXTERNAL __attribute__((flatten)) int32_t WINAPI Output32(
    const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag, const uint16_t *count, const void *points,
    LOGPEN *pen, const uint32_t *geometricPenStyle, LOGBRUSH *brush, const DrawModeRecord *drawMode, Handle32 *outPen,
    Handle32 *outOldPen, Handle32 *outBrush, Handle32 *outOldBrush, Handle32 *outPatternBitmap, const RECT *clip)
{
    uint16_t styleValue = *style;
    ObjectSlots handedOut = {0, 0, 0, 0, 0};
    int32_t result = RecordOutput(SurfaceFrom(surface), styleValue, *scanFlag, *count, points, pen, *geometricPenStyle,
                                  brush, drawMode, clip, &handedOut);
    if (styleValue == OUT_BEGINSCAN) {
        *outPen = handedOut.pen;
        *outOldPen = handedOut.oldPen;
        *outBrush = handedOut.brush;
        *outOldBrush = handedOut.oldBrush;
        *outPatternBitmap = handedOut.patternBitmap;
    }
    return result;
}

/*
 * Routine Description:
 *     Records a block transfer of a device bitmap, converted to a DIB, or of
 *     pattern and destination alone when there is no source.
 * Arguments:
 *     surface - the caller's surface variable.
 *     xDest, yDest, cxDest, cyDest - destination rectangle (32-bit).
 *     source  - optional BITMAP with its bits.
 *     xSrc, ySrc, cxSrc, cySrc - source rectangle, clamped to the bitmap.
 *     rop     - ternary raster operation.
 *     brush, drawMode - optional; the brush is the operation's pattern.
 * Return Value:
 *     Always 0.
 */
extern "C" QUILLREC_EXTERNAL __attribute__((flatten)) int32_t WINAPI
Raster32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest, const int32_t *cxDest,
         const int32_t *cyDest, const BITMAP *source, const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc,
         const int32_t *cySrc, const uint32_t *rop, LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    return RecordRaster(SurfaceFrom(surface), *xDest, *yDest, *cxDest, *cyDest, source, *xSrc, *ySrc, *cxSrc, *cySrc,
                        *rop, brush, drawMode);
}

/*
 * Routine Description:
 *     Records a stretch of the caller's DIB, header and bits unchanged.
 * Arguments:
 *     surface - the caller's surface variable.
 *     xDest .. cySrc - destination and source rectangles (32-bit), unclamped.
 *     bits, info - the DIB, handed to GDI unchanged.
 *     rop     - ternary raster operation.
 *     brush, drawMode - optional; the brush is the operation's pattern.
 * Return Value:
 *     Always 0.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI Dib32(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                                                  const int32_t *cxDest, const int32_t *cyDest, const int32_t *xSrc,
                                                  const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc,
                                                  const void *bits, const BITMAPINFO *info, const uint32_t *rop,
                                                  LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    return RecordDib(SurfaceFrom(surface), *xDest, *yDest, *cxDest, *cyDest, *xSrc, *ySrc, *cxSrc, *cySrc, bits, info,
                     *rop, brush, drawMode);
}

/*
 * Routine Description:
 *     Records text in the caller's logical font with the draw mode's colours.
 * Arguments:
 *     surface   - the caller's surface variable.
 *     font      - LOGFONTA, handed to GDI unchanged.
 *     x, y      - reference point (32-bit).
 *     options   - ExtTextOut options (32-bit).
 *     rectangle - optional; handed to every drawing call.
 *     string    - bytes, or 16-bit glyph indices with ETO_GLYPH_INDEX.
 *     count     - bytes or glyphs (32-bit).
 *     advances  - optional; with bytes, places characters one at a time.
 *     drawMode  - required.
 * Return Value:
 *     -1 when the font cannot be created, else 0.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI TextOut32(const Handle32 *surface, const LOGFONTA *font, const int32_t *x,
                                                      const int32_t *y, const uint32_t *options, const RECT *rectangle,
                                                      const char *string, const uint32_t *count,
                                                      const int32_t *advances, const DrawModeRecord *drawMode)
{
    return RecordText(SurfaceFrom(surface), font, *x, *y, *options, rectangle, string, *count, advances, drawMode);
}

/*
 * Routine Description:
 *     Names a new, unique spool file in the Windows directory's temp folder;
 *     the file is created empty.
 * Arguments:
 *     buffer - at least 260 bytes; receives the full path.
 * Return Value:
 *     0 when a name was written; -1, with the buffer untouched, when the
 *     directory is missing or full or its path does not fit.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI GetEmfFilePath32(char *buffer)
{
    return NameSpoolFile(buffer);
}

/*
 * Routine Description:
 *     Makes the rectangle the surface's only clip; later requests without a
 *     clip of their own are clipped by it.
 * Arguments:
 *     surface - the caller's surface variable.
 *     clip    - optional; null changes nothing.
 * Return Value:
 *     Always 0.
 */
extern "C" QUILLREC_EXTERNAL int32_t WINAPI SetClipRect32(const Handle32 *surface, const RECT *clip)
{
    if (clip != NULL) {
        ApplyClipRect(SurfaceFrom(surface), clip);
    }
    return 0;
}
