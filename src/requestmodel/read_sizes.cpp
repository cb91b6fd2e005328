// What each export reads through the driver's pointers, the DLL's own reads
// and GDI's behind it (see read_sizes.h). The DLL's rules are restated here,
// not called: the shipped image carries none of this.
#include "requestmodel/read_sizes.h"

#include "attributes/attributes.h"
#include "memory.h"

// DIB_PAL_COLORS: a colour table of 16-bit palette indexes.
static const uint32_t kPaletteUsage = 1;
// GDI takes no header past this as a DIB's (a larger one is refused unread).
static const uint32_t kLargestHeader = 4096;
static const uint32_t kBrushModeFields = MODE_BK_MODE | MODE_BK_COLOR | MODE_TEXT_COLOR;

uint32_t DrawModeBytes(uint32_t fields)
{
    uint32_t bytes = 0;
    for (uint32_t field = 0; field < 5; ++field) {
        bytes = (fields & (1u << field)) != 0 ? 4 * (field + 1) : bytes;
    }
    return bytes;
}

void CopyDrawModeFields(DrawModeRecord *to, const DrawModeRecord *from, uint32_t fields)
{
    to->rop2 = (fields & MODE_ROP2) != 0 ? from->rop2 : 0;
    to->bkMode = (fields & MODE_BK_MODE) != 0 ? from->bkMode : 0;
    to->bkColor = (fields & MODE_BK_COLOR) != 0 ? from->bkColor : 0;
    to->textColor = (fields & MODE_TEXT_COLOR) != 0 ? from->textColor : 0;
    to->useBkMode = (fields & MODE_USE_BK_MODE) != 0 ? from->useBkMode : 0;
}

static uint32_t Magnitude(int32_t value)
{
    return value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
}

// a * b, or 0 past 32 bits: no record GDI takes is that large.
static uint32_t Product(uint64_t a, uint64_t b)
{
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) || product > 0xFFFFFFFFu ? 0 : (uint32_t)product;
}

static uint32_t Sum(uint32_t a, uint32_t b)
{
    uint32_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? 0xFFFFFFFFu : sum;
}

uint32_t DeviceBitsRead(const BITMAP *bitmap, uint32_t *rowBytes)
{
    uint32_t width = Magnitude(bitmap->bmWidth), height = Magnitude(bitmap->bmHeight);
    uint32_t depth = bitmap->bmBitsPixel;
    *rowBytes = 0;
    if (bitmap->bmType != 0 || bitmap->bmBits == NULL || width == 0 || height == 0 || width > 0x7FFFFFF ||
        height > 0x7FFFFFF || bitmap->bmPlanes == 0 || depth > 32) {
        return 0;
    }
    depth = depth == 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
    uint32_t row = (uint32_t)(((uint64_t)width * depth + 15) / 16 * 2);
    // a bitmap of several planes holds each row once per plane
    uint32_t total = Product(Product(row, height), bitmap->bmPlanes);
    *rowBytes = total != 0 ? row : 0;
    return total;
}

// Whether GDI takes a DIB header of this format at all.
static int ValidDibFormat(const BITMAPINFOHEADER *header)
{
    uint32_t depth = header->biBitCount;
    uint32_t compression = header->biCompression;
    if (header->biWidth <= 0 || header->biHeight == 0) {
        return 0;
    }
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        return header->biHeight > 0 && header->biSizeImage != 0 && depth == (compression == BI_RLE4 ? 4u : 8u);
    }
    if (header->biPlanes == 0) {
        return 0;
    }
    if (depth == 16 || depth == 32) {
        return compression == BI_RGB || compression == BI_BITFIELDS;
    }
    return (depth == 1 || depth == 4 || depth == 8 || depth == 24) && compression == BI_RGB;
}

static uint32_t DibRows(uint32_t width, uint32_t height, uint32_t depth, uint32_t *rowBytes)
{
    uint32_t row = Product(Sum(Product(width, depth), 31) / 32, 4);
    uint32_t total = Product(row, height);
    *rowBytes = total != 0 ? row : 0;
    return total;
}

static uint32_t CoreInfoRead(const BITMAPCOREHEADER *core, uint32_t usage, uint32_t *bits, uint32_t *rowBytes)
{
    uint32_t depth = core->bcBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) {
        return sizeof *core;
    }
    uint32_t entries = depth <= 8 ? 1u << depth : 0;
    *bits = DibRows(core->bcWidth, core->bcHeight, depth, rowBytes);
    return sizeof *core + entries * (usage == kPaletteUsage ? 2 : 3);
}

uint32_t DibInfoRead(const BITMAPINFO *info, uint32_t usage, uint32_t *bits, uint32_t *rowBytes)
{
    const BITMAPINFOHEADER *header = &info->bmiHeader;
    uint32_t size = header->biSize;
    *bits = 0;
    *rowBytes = 0;
    if (size == sizeof(BITMAPCOREHEADER)) {
        return CoreInfoRead((const BITMAPCOREHEADER *)info, usage, bits, rowBytes);
    }
    if (size < sizeof(BITMAPINFOHEADER) || size > kLargestHeader) {
        return sizeof size;
    }
    // the recorder copies header and table whatever the format; the bits
    // only of a format GDI takes
    uint32_t depth = header->biBitCount;
    if (!ValidDibFormat(header)) {
        *bits = 0;
    } else if (header->biCompression == BI_RLE8 || header->biCompression == BI_RLE4) {
        *bits = header->biSizeImage;
    } else {
        *bits = DibRows((uint32_t)header->biWidth, Magnitude(header->biHeight), depth, rowBytes);
    }
    // the three masks of a bit-field DIB follow the plain header, or sit in a
    // larger one; a table follows either way
    uint32_t masks = header->biCompression == BI_BITFIELDS ? 12 : 0;
    uint32_t least = (uint32_t)sizeof(BITMAPINFOHEADER) + masks;
    uint32_t entries = header->biClrUsed == 0 ? (depth <= 8 ? 1u << depth : 0) : header->biClrUsed;
    entries = entries < 256 ? entries : 256;
    return (size > least ? size : least) + entries * (usage == kPaletteUsage ? 2 : 4);
}

// Whether a BS_PATTERN brush will get its pattern: GDI takes the BITMAP
// (an empty one as its 1x1 stock bitmap) and, for colour, the library can
// size and fill the packed copy. Only GDI running out of memory would say
// otherwise, which no record predicts.
int PatternExpected(const LOGBRUSH *brush)
{
    if (brush->lbStyle != BS_PATTERN) {
        return 0;
    }
    const BITMAP *pattern = (const BITMAP *)brush->lbHatch;
    if (pattern == NULL || pattern->bmType != 0) {
        return 0;
    }
    uint32_t row = 0;
    int empty = pattern->bmWidth == 0 || pattern->bmHeight == 0;
    if (!empty && (pattern->bmBitsPixel > 32 || (pattern->bmBits != NULL && DeviceBitsRead(pattern, &row) == 0))) {
        return 0;
    }
    if (pattern->bmBitsPixel == 1) {
        return 1;
    }
    uint32_t rowBytes = 0, byPixels = 0, tripled = 0, byStride = 0;
    int64_t stride = ((int64_t)pattern->bmWidthBytes + 3) & ~(int64_t)3;
    return pattern->bmWidth > 0 && pattern->bmHeight > 0 &&
           CheckedSize((uint32_t)pattern->bmWidth, 3u, 3u, &rowBytes) &&
           CheckedSize((uint32_t)pattern->bmHeight, rowBytes & ~3u, 40u, &byPixels) &&
           (stride < 0 || (CheckedSize((uint32_t)stride, 3u, 0u, &tripled) &&
                           CheckedSize((uint32_t)pattern->bmHeight + 1, tripled, 44u, &byStride)));
}

static void PatternReads(const LOGBRUSH *brush, int patternMade, BrushRead *read)
{
    read->record = sizeof *brush;
    if (brush->lbStyle == BS_PATTERN) {
        // CreateBitmapIndirect reads the record and its bits; the draw mode
        // follows only once the pattern exists
        const BITMAP *pattern = (const BITMAP *)brush->lbHatch;
        if (pattern != NULL) {
            read->pattern = sizeof *pattern;
            read->patternBits = DeviceBitsRead(pattern, &read->patternInfo);
            read->patternInfo = 0;
        }
        read->modeFields = patternMade ? kBrushModeFields : 0;
        return;
    }
    // BS_DIBPATTERNPT: CreateBrushIndirect reads the packed DIB, its table
    // entries as wide as lbColor says
    const BITMAPINFO *packed = (const BITMAPINFO *)brush->lbHatch;
    if (packed != NULL) {
        uint32_t bits = 0, row = 0;
        read->patternInfo = DibInfoRead(packed, brush->lbColor, &bits, &row);
        read->pattern = Sum(read->patternInfo, bits);
    }
    read->modeFields = kBrushModeFields;
}

void BrushReads(const LOGBRUSH *brush, int scanSet, int patternMade, BrushRead *read)
{
    read->record = 0;
    read->pattern = 0;
    read->patternInfo = 0;
    read->patternBits = 0;
    read->modeFields = 0;
    if (brush == NULL) {
        return;
    }
    // a scan bracket's pen takes the brush colour whatever the style
    read->record = scanSet ? 8 : 4;
    if (brush->lbStyle == BS_HOLLOW) {
        return;
    }
    if (brush->lbStyle == BS_PATTERN || brush->lbStyle == BS_DIBPATTERNPT) {
        PatternReads(brush, patternMade, read);
        return;
    }
    read->record = sizeof *brush;
    read->modeFields = kBrushModeFields;
}

uint32_t OutputPointCount(uint16_t style, uint16_t count)
{
    switch (style) {
    case OUT_BEZIER:
        return 4;
    case OUT_RECTANGLE:
    case OUT_ELLIPSE:
    case OUT_CIRCLE:
        return 2;
    case OUT_SCANLINES:
        return count <= 1 ? 0 : count;
    case OUT_POLYLINE:
    case OUT_WINDPOLYGON:
    case OUT_ALTPOLYGON:
        return count;
    default:
        return 0;
    }
}

// The vertex counts up to and including the first negative one or the one
// whose running total leaves 32 bits, where the library stops; then the
// points, once the total's point buffer can be sized (GDI reads the counts
// again, all of them, only then).
static void PolygonReads(const PolyPolygonRecord *record, uint16_t polygons, OutputRead *read)
{
    uint32_t total = 0;
    read->points = sizeof *record;
    for (uint16_t i = 0; i < polygons; ++i) {
        read->counts += 4;
        int32_t count = record->counts[i];
        if (count < 0 || __builtin_add_overflow(total, (uint32_t)count, &total)) {
            return;
        }
    }
    uint32_t bufferBytes = 0;
    if (!CheckedSize(total, (uint32_t)sizeof(POINT), 0u, &bufferBytes)) {
        return;
    }
    read->vertices = total * (uint32_t)sizeof(Point16);
    read->polygonsDrawn = 1;
    read->clip = 1;
}

void OutputReads(uint16_t style, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                 const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip, int patternMade,
                 OutputRead *read)
{
    AttributeSet set = AttributeSetFor(style, scanFlag);
    int readsPen = set == LOGICAL_SET || set == GEOMETRIC_SET || (set == SCAN_SET && brush == NULL);
    read->pen = readsPen && pen != NULL ? sizeof *pen : 0;
    BrushReads(set != EMPTY_SET ? brush : NULL, set == SCAN_SET, patternMade, &read->brush);
    read->modeFields = read->brush.modeFields;
    if (!((style == OUT_SCANLINES || style == OUT_ENDSCAN) && scanFlag != 1)) {
        read->modeFields |= MODE_ROP2;
    }
    read->modeFields = drawMode != NULL ? read->modeFields : 0;
    read->counts = 0;
    read->vertices = 0;
    read->polygonsDrawn = 0;
    read->clip = 0;
    if (style == OUT_WINDPOLYPOLYGON || style == OUT_ALTPOLYPOLYGON) {
        PolygonReads((const PolyPolygonRecord *)points, count, read);
    } else {
        read->points = OutputPointCount(style, count) * (uint32_t)sizeof(Point16);
        // every named shape but the scanline runs applies the request's clip
        read->clip = style != OUT_SCANLINES && OutputPointCount(style, 2) != 0;
    }
    read->clip = read->clip && clip != NULL ? sizeof *clip : 0;
}

// The library converts a source only when its bits block can be sized:
// rows of the caller's stride rounded to 4 (tripled for colour) or of the
// DIB row, whichever is longer, one row more than the bitmap has.
static int SourceConverted(const BITMAP *source)
{
    int32_t bitCount = source->bmBitsPixel == 1 ? 1 : 24;
    int32_t stride = 0, rowBits = 0, rows = 0;
    bool fits = CheckedSize(source->bmWidthBytes, 1, 3, &stride);
    stride = stride / 4 * 4;
    if (bitCount != 1) {
        fits = fits && CheckedSize(stride, 3, 0, &stride);
    }
    fits = fits && CheckedSize(source->bmWidth, bitCount, 31, &rowBits);
    int32_t dibRow = rowBits / 32 * 4;
    int32_t allowance = !fits || source->bmWidth < 0 ? 0 : dibRow > stride ? dibRow : stride;
    uint32_t size = 0;
    return CheckedSize(source->bmHeight, 1, 1, &rows) && rows > 0 && allowance > 0 &&
           CheckedSize((uint32_t)rows, (uint32_t)allowance, 0u, &size);
}

void RasterReads(const BITMAP *source, const LOGBRUSH *brush, const DrawModeRecord *drawMode, int patternMade,
                 TransferRead *read)
{
    BrushReads(brush, 0, patternMade, &read->brush);
    read->modeFields = read->brush.modeFields;
    read->source = 0;
    read->sourceBits = 0;
    read->rowBytes = 0;
    if (source != NULL) {
        read->source = sizeof *source;
        read->sourceBits = DeviceBitsRead(source, &read->rowBytes);
    }
    if (source != NULL && drawMode != NULL && SourceConverted(source)) {
        // a monochrome source takes its two colours from the draw mode; the
        // background mode follows rop2 and useBkMode
        read->modeFields |= MODE_ROP2 | (source->bmBitsPixel == 1 ? MODE_TEXT_COLOR | MODE_BK_COLOR : 0);
        if (drawMode->rop2 != 0) {
            read->modeFields |= MODE_USE_BK_MODE | (drawMode->useBkMode != 0 ? MODE_BK_MODE : 0);
        }
    }
    read->modeFields = drawMode != NULL ? read->modeFields : 0;
}

void DibReads(const BITMAPINFO *info, const void *bits, const LOGBRUSH *brush, const DrawModeRecord *drawMode,
              int patternMade, TransferRead *read)
{
    BrushReads(brush, 0, patternMade, &read->brush);
    read->modeFields = drawMode != NULL ? read->brush.modeFields : 0;
    read->source = 0;
    read->sourceBits = 0;
    read->rowBytes = 0;
    if (info != NULL) {
        uint32_t bitsSize = 0;
        read->source = DibInfoRead(info, 0, &bitsSize, &read->rowBytes);
        read->sourceBits = bits != NULL ? bitsSize : 0;
    }
}

void TextReads(const DrawModeRecord *drawMode, uint32_t options, const RECT *rectangle, uint32_t count,
               const int32_t *advances, int fontMade, TextRead *read)
{
    read->font = sizeof(LOGFONTA);
    read->modeFields = 0;
    read->rectangle = 0;
    read->string = 0;
    read->advances = 0;
    if (!fontMade) {
        return;
    }
    read->modeFields = MODE_BK_MODE | MODE_TEXT_COLOR;
    if (drawMode->bkMode == OPAQUE || (options & ETO_OPAQUE) != 0) {
        read->modeFields |= MODE_BK_COLOR;
    }
    int glyphs = (options & ETO_GLYPH_INDEX) != 0;
    // placement draws nothing for no characters
    int drawn = glyphs || advances == NULL || count > 0;
    read->string = Product(count, glyphs ? 2 : 1);
    if (glyphs && advances != NULL) {
        // GDI reads an x and a y advance a glyph with ETO_PDY
        read->advances = Product(count, (options & ETO_PDY) != 0 ? 8 : 4);
    } else if (advances != NULL) {
        read->advances = Product(count, 4);
    }
    // the recorder copies the rectangle into its record whatever the options
    if (drawn && rectangle != NULL) {
        read->rectangle = sizeof *rectangle;
    }
}

static uint32_t StringBytes(const char *text, uint32_t most)
{
    uint32_t length = 0;
    while (text != NULL && length < most && text[length] != '\0') {
        ++length;
    }
    return text == NULL ? 0 : length < most ? length + 1 : most;
}

void PageReads(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
               int referenceMade, uint32_t most, PageRead *read)
{
    read->devMode = 0;
    if (devMode != NULL) {
        uint32_t said = (uint32_t)devMode->dmSize + devMode->dmDriverExtra;
        uint32_t fields = (uint32_t)(sizeof devMode->dmDeviceName + 8);
        read->devMode = said > fields ? said : fields;
    }
    read->deviceName = StringBytes(deviceName, most);
    read->fileName = referenceMade ? StringBytes(fileName, most) : 0;
    read->frame = referenceMade && frame != NULL ? sizeof *frame : 0;
}
