// Device-bitmap transfer. The caller's bitmap is converted into a DIB through
// the surface and recorded as a DIB stretch, so the spool file carries pixels
// rather than a bitmap that only the recording device understands.
#include "raster/raster.h"

#include "memory.h"

// The header and the two entries of a 1-bit colour table.
static const SIZE_T kMonochromeHeaderBytes = sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD);

static_assert(sizeof(BITMAPINFO) == 44, "a colour source's header is a header and one unused colour entry");

struct Destination {
    int32_t x, y, cx, cy;
};

// Everything one conversion holds. Emptied before the first acquisition, so
// the release is right from any failure point.
struct Conversion {
    HBITMAP bitmap;
    GlobalBlock headerBlock; // monochrome sources only
    BITMAPINFO *header;      // the locked header block, or `localHeader`
    GlobalBlock bitsBlock;
    BITMAPINFO localHeader;
};

// The part of the source that is converted and stretched.
struct SourceSpan {
    int32_t width;
    int32_t lineCount;
    int32_t firstScanLine;
};

static int32_t Saturated(int64_t value)
{
    return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : (int32_t)value;
}

// The smaller of a requested count and the room from an offset to the
// bitmap's edge. The room is formed in 64 bits: the caller's offsets may lie
// anywhere, far outside the bitmap included.
static int32_t ClampToEdge(int32_t count, int32_t extent, int32_t offset)
{
    int64_t room = (int64_t)extent - offset;
    return room < count ? Saturated(room) : count;
}

// No lower bound: a rectangle that starts past the edge, or a negative size,
// reaches GDI as a negative count and GDI decides what it means.
static SourceSpan MeasureSource(const BITMAP *source, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc)
{
    SourceSpan span;
    span.width = ClampToEdge(cxSrc, source->bmWidth, xSrc);
    span.lineCount = ClampToEdge(cySrc, source->bmHeight, ySrc);
    // GetDIBits counts scan lines from the bottom row of a bottom-up DIB.
    span.firstScanLine = Saturated((int64_t)source->bmHeight - ySrc - span.lineCount);
    return span;
}

// Bytes per row the bits block allows: the caller's stride rounded up to
// 4 bytes (tripled for 24-bit output), or the DIB's own row where that is
// longer, as it is for 2- and 4-bit sources. 0 when a size overflows, and for
// a negative width: GDI may take its magnitude, which no allowance then covers.
static int32_t RowAllowance(const BITMAP *source, WORD bitCount)
{
    int32_t stride = 0;
    int32_t rowBits = 0;
    bool fits = CheckedSize(source->bmWidthBytes, 1, 3, &stride);
    stride = stride / 4 * 4;
    if (bitCount != 1) {
        fits = fits && CheckedSize(stride, 3, 0, &stride);
    }
    fits = fits && CheckedSize(source->bmWidth, (int32_t)bitCount, 31, &rowBits);
    int32_t dibRow = rowBits / 32 * 4;
    return !fits || source->bmWidth < 0 ? 0 : dibRow > stride ? dibRow : stride;
}

// One row more than the bitmap has, so the block covers every row the header
// describes (GDI makes a 1x1 bitmap of an empty record). A size that is not
// positive or does not fit in 32 bits is 0: no block could hold the rows, and
// a wrapped size would let GetDIBits write past a small one.
static SIZE_T BitsBlockSize(const BITMAP *source, WORD bitCount)
{
    int32_t allowance = RowAllowance(source, bitCount);
    int32_t rows = 0;
    uint32_t size = 0;
    bool fits = CheckedSize(source->bmHeight, 1, 1, &rows) && rows > 0 && allowance > 0;
    fits = fits && CheckedSize((uint32_t)rows, (uint32_t)allowance, 0u, &size);
    return fits ? size : 0;
}

// RGBQUAD runs blue, green, red; the top byte of a COLORREF has no place in it.
static void WriteColourEntry(RGBQUAD *entry, COLORREF colour)
{
    entry->rgbBlue = (BYTE)(colour >> 16);
    entry->rgbGreen = (BYTE)(colour >> 8);
    entry->rgbRed = (BYTE)colour;
    entry->rgbReserved = 0;
}

// Every field, zeros included: the local header is not zero-filled first.
static void FillDibHeader(BITMAPINFO *info, const BITMAP *source, WORD bitCount)
{
    BITMAPINFOHEADER *header = &info->bmiHeader;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = source->bmWidth;
    header->biHeight = source->bmHeight; // positive: rows run bottom-up
    header->biPlanes = 1;
    header->biBitCount = bitCount;
    header->biCompression = BI_RGB;
    header->biSizeImage = 0;
    header->biXPelsPerMeter = 0;
    header->biYPelsPerMeter = 0;
    header->biClrUsed = 0;
    header->biClrImportant = 0;
    WriteColourEntry(&info->bmiColors[0], 0);
}

// A monochrome source needs room for the colour table that GetDIBits fills and
// the draw mode then replaces; a 24-bit DIB has none, so local storage does.
static bool AcquireHeader(Conversion *conversion, const BITMAP *source, WORD bitCount)
{
    if (bitCount == 1) {
        conversion->header = (BITMAPINFO *)AcquireGlobalBlock(kMonochromeHeaderBytes, &conversion->headerBlock);
    } else {
        conversion->header = &conversion->localHeader;
    }
    if (conversion->header != NULL) {
        FillDibHeader(conversion->header, source, bitCount);
    }
    return conversion->header != NULL;
}

static bool AcquireBits(Conversion *conversion, const BITMAP *source, WORD bitCount)
{
    SIZE_T size = BitsBlockSize(source, bitCount);
    return size != 0 && AcquireGlobalBlock(size, &conversion->bitsBlock) != NULL;
}

// Header block, bits block, then the bitmap they were made from.
static void ReleaseConversion(Conversion *conversion)
{
    ReleaseGlobalBlock(&conversion->headerBlock);
    ReleaseGlobalBlock(&conversion->bitsBlock);
    if (conversion->bitmap != NULL) {
        DeleteObject(conversion->bitmap);
    }
}

// Runs after GetDIBits, which fills the table from the bitmap: clear bits
// draw in the text colour and set bits in the background colour, as a
// monochrome blit onto a colour device does. The count says 2, which is what
// 0 means here: GetDIBits leaves 0, and a recorder that copies only counted
// entries would otherwise drop the table and with it the colours.
static void ColourMonochromeTable(BITMAPINFO *header, const DrawModeRecord *drawMode)
{
    RGBQUAD *table = (RGBQUAD *)((BYTE *)header + sizeof(BITMAPINFOHEADER));
    header->bmiHeader.biClrUsed = 2;
    if (drawMode != NULL) {
        WriteColourEntry(&table[0], drawMode->textColor);
        WriteColourEntry(&table[1], drawMode->bkColor);
    }
}

static void ApplyBackgroundMode(HDC surface, const DrawModeRecord *drawMode)
{
    if (drawMode != NULL && drawMode->rop2 != 0) {
        SetBkMode(surface, drawMode->useBkMode != 0 ? (int)drawMode->bkMode : OPAQUE);
    }
}

// Only the rows of the source rectangle are converted; they land at the start
// of the bits block, so the stretch reads them from row 0.
static int32_t TransferSource(HDC surface, const Destination *destination, const BITMAP *source, int32_t xSrc,
                              int32_t ySrc, int32_t cxSrc, int32_t cySrc, uint32_t rop, const DrawModeRecord *drawMode)
{
    Conversion conversion;
    conversion.headerBlock.handle = NULL;
    conversion.headerBlock.address = NULL;
    conversion.header = NULL;
    conversion.bitsBlock.handle = NULL;
    conversion.bitsBlock.address = NULL;
    WORD bitCount = source->bmBitsPixel == 1 ? 1 : 24;
    int32_t result = -1;
    conversion.bitmap = CreateBitmapIndirect(source);
    if (AcquireHeader(&conversion, source, bitCount) && AcquireBits(&conversion, source, bitCount)) {
        SourceSpan span = MeasureSource(source, xSrc, ySrc, cxSrc, cySrc);
        int lines = GetDIBits(surface, conversion.bitmap, (UINT)span.firstScanLine, (UINT)span.lineCount,
                              conversion.bitsBlock.address, conversion.header, DIB_RGB_COLORS);
        if (bitCount == 1) {
            ColourMonochromeTable(conversion.header, drawMode);
        }
        ApplyBackgroundMode(surface, drawMode);
        if (lines != 0) {
            StretchDIBits(surface, destination->x, destination->y, destination->cx, destination->cy, xSrc, 0,
                          span.width, span.lineCount, conversion.bitsBlock.address, conversion.header, DIB_RGB_COLORS,
                          rop);
            result = 0;
        }
    }
    ReleaseConversion(&conversion);
    return result;
}

// A memory context holding a bitmap made from an all-zero record, the source
// of a transfer whose caller gave none.
static HDC AcquireBlankSource(HBITMAP *bitmap, HGDIOBJ *previous)
{
    BITMAP empty;
    FillBytes(&empty, 0, sizeof empty);
    *bitmap = CreateBitmapIndirect(&empty);
    HDC memory = CreateCompatibleDC(NULL);
    *previous = NULL;
    if (memory != NULL && *bitmap != NULL) {
        *previous = SelectObject(memory, *bitmap);
    }
    return memory;
}

static void ReleaseBlankSource(HDC memory, HBITMAP bitmap, HGDIOBJ previous)
{
    if (previous != NULL) {
        SelectObject(memory, previous);
    }
    if (bitmap != NULL) {
        DeleteObject(bitmap);
    }
    if (memory != NULL) {
        DeleteDC(memory);
    }
}

static int32_t TransferBlank(HDC surface, const Destination *destination, uint32_t rop)
{
    HBITMAP bitmap = NULL;
    HGDIOBJ previous = NULL;
    HDC memory = AcquireBlankSource(&bitmap, &previous);
    BOOL drawn = StretchBlt(surface, destination->x, destination->y, destination->cx, destination->cy, memory, 0, 0,
                            destination->cx, destination->cy, rop);
    ReleaseBlankSource(memory, bitmap, previous);
    return DrawResult(drawn);
}

int32_t TransferDeviceBitmap(HDC surface, int32_t xDest, int32_t yDest, int32_t cxDest, int32_t cyDest,
                             const BITMAP *source, int32_t xSrc, int32_t ySrc, int32_t cxSrc, int32_t cySrc,
                             uint32_t rop, const DrawModeRecord *drawMode)
{
    Destination destination = {xDest, yDest, cxDest, cyDest};
    if (source == NULL) {
        return TransferBlank(surface, &destination, rop);
    }
    return TransferSource(surface, &destination, source, xSrc, ySrc, cxSrc, cySrc, rop, drawMode);
}
