#include "attributes/attributes.h"
#include "attributes/stock.h"
#include "memory.h"

// A colour pattern is read back as a packed 24-bit DIB in one global block:
// the header, then the rows.
static const uint32_t kHeaderBytes = 40;

static void ApplyDrawMode(HDC surface, const DrawModeRecord *drawMode)
{
    if (drawMode == NULL) {
        return;
    }
    SetBkMode(surface, (int)drawMode->bkMode);
    SetBkColor(surface, drawMode->bkColor);
    SetTextColor(surface, drawMode->textColor);
}

// A pattern brush names its bitmap by handle, so the record the caller passed
// with a BITMAP pointer now describes the brush that was made from it.
static void RewriteHatch(LOGBRUSH *brushRecord, HBITMAP bitmap)
{
    brushRecord->lbHatch = (ULONG_PTR)bitmap;
}

// Room for the header and the 24-bit rows GetDIBits writes, or false when
// the size does not fit in 32 bits. The stride figure allows the source's own
// rows, tripled; the pixel figure is the least the 24-bit rows need, and wins
// for sources of fewer than 8 bits per pixel. A negative width or height is
// refused: GDI takes their magnitudes, and the figures would not cover them.
static bool PackedDibSize(const BITMAP *pattern, uint32_t *size)
{
    if (pattern->bmWidth < 0 || pattern->bmHeight < 0) {
        return false;
    }
    uint32_t rows = (uint32_t)pattern->bmHeight;
    // No rows need no row room, however wide the record says the pattern is.
    uint32_t rowBytes = 0;
    if (rows != 0 && !CheckedSize((uint32_t)pattern->bmWidth, 3u, 3u, &rowBytes)) {
        return false;
    }
    uint32_t byPixels = 0;
    if (!CheckedSize(rows, rowBytes & ~3u, kHeaderBytes, &byPixels)) {
        return false;
    }
    // A negative stride makes the stride figure smaller than the pixel figure.
    int64_t sourceStride = ((int64_t)pattern->bmWidthBytes + 3) & ~(int64_t)3;
    uint32_t tripled = 0;
    uint32_t byStride = 0;
    if (sourceStride >= 0 &&
        !(CheckedSize((uint32_t)sourceStride, 3u, 0u, &tripled) && CheckedSize(rows + 1, tripled, 44u, &byStride))) {
        return false;
    }
    *size = byStride > byPixels ? byStride : byPixels;
    return true;
}

static void PrepareDibHeader(BITMAPINFO *workArea, const BITMAP *pattern)
{
    FillBytes(workArea, 0, sizeof *workArea);
    workArea->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    workArea->bmiHeader.biWidth = pattern->bmWidth;
    workArea->bmiHeader.biHeight = pattern->bmHeight;
    workArea->bmiHeader.biPlanes = 1;
    workArea->bmiHeader.biBitCount = 24;
    workArea->bmiHeader.biCompression = BI_RGB;
}

// Fills dib with the pattern's rows behind their header. On failure dib holds
// whatever was acquired, for the release.
static int32_t AcquirePackedDib(HDC surface, const BITMAP *pattern, HBITMAP bitmap, GlobalBlock *dib)
{
    BITMAPINFO workArea;
    uint32_t size = 0;
    PrepareDibHeader(&workArea, pattern);
    if (!PackedDibSize(pattern, &size)) {
        return -1;
    }
    uint8_t *bytes = (uint8_t *)AcquireGlobalBlock(size, dib);
    if (bytes == NULL) {
        return -1;
    }
    UINT lines = (UINT)pattern->bmHeight;
    if (GetDIBits(surface, bitmap, 0, lines, bytes + kHeaderBytes, &workArea, DIB_RGB_COLORS) == 0) {
        return -1;
    }
    // The header as GetDIBits completed it; its colour entry is not copied.
    CopyBytes(bytes, &workArea, kHeaderBytes);
    return 0;
}

static int32_t CreateColourPatternBrush(HDC surface, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode,
                                        const BITMAP *pattern, HBITMAP bitmap, HBRUSH *created)
{
    GlobalBlock dib = {NULL, NULL};
    int32_t result = AcquirePackedDib(surface, pattern, bitmap, &dib);
    if (result == 0) {
        RewriteHatch(brushRecord, bitmap);
        ApplyDrawMode(surface, drawMode);
        *created = CreateDIBPatternBrushPt(dib.address, DIB_RGB_COLORS);
    }
    ReleaseGlobalBlock(&dib);
    return result;
}

// The pattern bitmap goes to its slot at once, so every failure after it
// leaves it for the release. Kept out of line: inlined, its work area and
// registers would be set up for every brush, solid ones included.
__attribute__((noinline)) static int32_t CreatePatternBrush(HDC surface, LOGBRUSH *brushRecord,
                                                            const DrawModeRecord *drawMode, Handle32 *patternBitmap,
                                                            HBRUSH *created)
{
    const BITMAP *pattern = (const BITMAP *)brushRecord->lbHatch;
    HBITMAP bitmap = CreateBitmapIndirect(pattern);
    *patternBitmap = HandleTo32(bitmap);
    if (bitmap == NULL) {
        return -1;
    }
    if (pattern->bmBitsPixel != 1) {
        return CreateColourPatternBrush(surface, brushRecord, drawMode, pattern, bitmap, created);
    }
    RewriteHatch(brushRecord, bitmap);
    ApplyDrawMode(surface, drawMode);
    *created = CreateBrushIndirect(brushRecord);
    return 0;
}

// A pattern bitmap without its brush is of no use to the release.
static void DiscardPatternBitmap(Handle32 *patternBitmap)
{
    if (*patternBitmap != 0) {
        DeleteObject(HandleFrom32(*patternBitmap));
        *patternBitmap = 0;
    }
}

static int32_t SelectCreatedBrush(HDC surface, HBRUSH created, Handle32 *brush, Handle32 *oldBrush,
                                  Handle32 *patternBitmap)
{
    *brush = HandleTo32(created);
    if (created == NULL) {
        DiscardPatternBitmap(patternBitmap);
        return -1;
    }
    *oldBrush = HandleTo32(SelectObject(surface, created));
    return 0;
}

// The draw mode reaches the surface only when a brush is about to be
// created, so it is in force when that brush is selected.
int32_t RealizeBrush(HDC surface, LOGBRUSH *brushRecord, const DrawModeRecord *drawMode, Handle32 *brush,
                     Handle32 *oldBrush, Handle32 *patternBitmap)
{
    if (brushRecord == NULL) {
        SelectStockObject(surface, NULL_BRUSH);
        return 0;
    }
    // Hollow: the brush the surface already has stays, draw mode untouched.
    if (brushRecord->lbStyle == BS_HOLLOW) {
        return 0;
    }
    HBRUSH created = NULL;
    if (brushRecord->lbStyle == BS_PATTERN) {
        if (CreatePatternBrush(surface, brushRecord, drawMode, patternBitmap, &created) != 0) {
            return -1;
        }
    } else {
        ApplyDrawMode(surface, drawMode);
        created = CreateBrushIndirect(brushRecord);
    }
    return SelectCreatedBrush(surface, created, brush, oldBrush, patternBitmap);
}
