// Each export's request as job lines: the settings it needs (written once
// and named, a new one only when the driver's record changed), then the
// request line with every value the real DLL may read, read before it runs,
// and after it the result and what it wrote back.
#include "capture/capture.h"

// ---------------------------------------------------------------- settings

// The last record written of one kind, so an unchanged record keeps its name.
typedef struct Remembered {
    uint32_t number; // 0 before the first
    uint32_t size;
    unsigned char bytes[64];
} Remembered;

static Remembered lastPen, lastBrush, lastMode, lastFont;
static uint32_t bitmapCount;
static uint64_t lastBitmapHash;
static uint32_t lastBitmapNumber;

static int SameAsLast(const Remembered *last, const void *record, uint32_t size)
{
    const unsigned char *bytes = (const unsigned char *)record;
    if (last->number == 0 || last->size != size) {
        return 0;
    }
    for (uint32_t i = 0; i < size; ++i) {
        if (last->bytes[i] != bytes[i]) {
            return 0;
        }
    }
    return 1;
}

// Returns 0 when the record is the last one written (its name stands),
// else starts the new setting's line with its name.
static uint32_t NewSetting(Remembered *last, const void *record, uint32_t size, const char *keyword,
                           const char *prefix)
{
    if (SameAsLast(last, record, size)) {
        return 0;
    }
    CopyBytes(last->bytes, record, size);
    last->size = size;
    ++last->number;
    Put(keyword);
    PutChar(' ');
    PutNumbered(prefix, last->number);
    return last->number;
}

static void PutOption(const char *name, int32_t value)
{
    PutChar(' ');
    Put(name);
    PutChar('=');
    PutDecimal(value);
}

static void PutHexOption(const char *name, uint32_t value)
{
    PutChar(' ');
    Put(name);
    PutChar('=');
    PutHex(value);
}

// " key=NAME" for a setting, or " key=none" for a null record.
static void PutSettingOption(const char *key, const char *prefix, uint32_t number)
{
    PutChar(' ');
    Put(key);
    PutChar('=');
    if (number == 0) {
        Put("none");
        return;
    }
    PutNumbered(prefix, number);
}

static uint32_t WritePen(const LOGPEN *pen)
{
    if (pen == NULL) {
        return 0;
    }
    if (NewSetting(&lastPen, pen, sizeof *pen, "pen", "p") != 0) {
        PutOption("style", (int32_t)pen->lopnStyle);
        PutOption("width", pen->lopnWidth.x);
        if (pen->lopnWidth.y != 0) {
            PutOption("widthy", pen->lopnWidth.y);
        }
        PutHexOption("color", pen->lopnColor);
        PutChar('\n');
    }
    return lastPen.number;
}

static uint32_t WriteDrawMode(const DrawModeRecord *mode)
{
    if (mode == NULL) {
        return 0;
    }
    if (NewSetting(&lastMode, mode, sizeof *mode, "drawmode", "m") != 0) {
        PutOption("rop2", (int32_t)mode->rop2);
        PutOption("bkmode", (int32_t)mode->bkMode);
        PutHexOption("bk", mode->bkColor);
        PutHexOption("text", mode->textColor);
        PutOption("usebkmode", (int32_t)mode->useBkMode);
        PutChar('\n');
    }
    return lastMode.number;
}

static uint32_t WriteFont(const LOGFONTA *font)
{
    if (font == NULL) {
        return 0;
    }
    if (NewSetting(&lastFont, font, sizeof *font, "font", "f") != 0) {
        PutOption("height", font->lfHeight);
        PutOption("width", font->lfWidth);
        PutOption("escapement", font->lfEscapement);
        PutOption("orientation", font->lfOrientation);
        PutOption("weight", font->lfWeight);
        PutOption("italic", font->lfItalic);
        PutOption("underline", font->lfUnderline);
        PutOption("strikeout", font->lfStrikeOut);
        PutOption("charset", font->lfCharSet);
        PutOption("outprecision", font->lfOutPrecision);
        PutOption("clipprecision", font->lfClipPrecision);
        PutOption("quality", font->lfQuality);
        PutOption("pitchandfamily", font->lfPitchAndFamily);
        uint32_t length = 0;
        while (length < LF_FACESIZE && font->lfFaceName[length] != '\0') {
            ++length;
        }
        Put(" face=");
        PutQuoted(font->lfFaceName, length);
        PutChar('\n');
    }
    return lastFont.number;
}

// ---------------------------------------------------------------- bitmaps

// FNV-1a over a bitmap's description and bits: an unchanged pattern or
// source keeps its name instead of being written again.
static uint64_t Hash(uint64_t hash, const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    for (uint32_t i = 0; i < count; ++i) {
        hash = (hash ^ from[i]) * 0x100000001b3ull;
    }
    return hash;
}

static const uint64_t kHashStart = 0xcbf29ce484222325ull;
// No single bitmap a driver hands over is near this; past it the bits are
// not read, as they could not be held by GDI either.
static const uint32_t kLargestBits = 64u << 20;

// Scan-line bytes GDI reads for a device bitmap: rows word-aligned at the
// depth it rounds the bitmap to. 0 when GDI would refuse the BITMAP first.
static uint32_t DeviceBitsSize(const BITMAP *bitmap)
{
    uint32_t depth = bitmap->bmBitsPixel;
    if (bitmap->bmType != 0 || bitmap->bmPlanes != 1 || depth == 0 || depth > 32 || bitmap->bmBits == NULL) {
        return 0;
    }
    depth = depth == 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
    uint64_t width = bitmap->bmWidth < 0 ? 0u - (uint64_t)bitmap->bmWidth : (uint64_t)bitmap->bmWidth;
    uint64_t height = bitmap->bmHeight < 0 ? 0u - (uint64_t)bitmap->bmHeight : (uint64_t)bitmap->bmHeight;
    uint64_t stride = (width * depth + 15) / 16 * 2;
    if (width > 0x7FFFFFF || height > 0x7FFFFFF || stride * height > kLargestBits) {
        return 0;
    }
    return (uint32_t)(stride * height);
}

static void PutHexRows(const void *bytes, uint32_t count, uint32_t row)
{
    const unsigned char *from = (const unsigned char *)bytes;
    if (row == 0 || row > 64) {
        row = 64;
    }
    for (uint32_t at = 0; at < count; at += row) {
        Put("  ");
        PutHexBytes(from + at, count - at < row ? count - at : row);
        PutChar('\n');
    }
}

static uint32_t RememberBitmap(uint64_t hash)
{
    if (lastBitmapNumber != 0 && hash == lastBitmapHash) {
        return 0;
    }
    lastBitmapHash = hash;
    lastBitmapNumber = ++bitmapCount;
    return lastBitmapNumber;
}

// bitmap NAME bits WxH bpp= planes= widthbytes= type= , the bits as GDI
// reads them in hex rows, then end. Without readable bits: nobits.
static uint32_t WriteDeviceBitmap(const BITMAP *bitmap)
{
    uint32_t size = DeviceBitsSize(bitmap);
    BITMAP described = *bitmap;
    described.bmBits = NULL;
    uint64_t hash = Hash(Hash(kHashStart, &described, sizeof described), bitmap->bmBits, size);
    uint32_t number = RememberBitmap(hash);
    if (number == 0) {
        return lastBitmapNumber;
    }
    Put("bitmap ");
    PutNumbered("bm", number);
    Put(" bits ");
    PutDecimal(bitmap->bmWidth);
    PutChar('x');
    PutDecimal(bitmap->bmHeight);
    PutOption("bpp", bitmap->bmBitsPixel);
    PutOption("planes", bitmap->bmPlanes);
    PutOption("widthbytes", bitmap->bmWidthBytes);
    PutOption("type", bitmap->bmType);
    if (size == 0) {
        Put(" nobits");
    }
    PutChar('\n');
    uint32_t row = bitmap->bmHeight != 0 ? size / (uint32_t)(bitmap->bmHeight < 0 ? -bitmap->bmHeight : bitmap->bmHeight) : 0;
    PutHexRows(bitmap->bmBits, size, row);
    Put("end\n");
    return number;
}

// The bytes of a DIB's header and colour table as GDI reads them with
// DIB_RGB_COLORS; 4 (biSize alone) for a header GDI refuses.
static uint32_t DibInfoSize(const BITMAPINFO *info)
{
    uint32_t headerSize = info->bmiHeader.biSize;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        const BITMAPCOREHEADER *core = (const BITMAPCOREHEADER *)info;
        return headerSize + (core->bcBitCount <= 8 ? 3u << core->bcBitCount : 0);
    }
    if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > 4096) {
        return 4;
    }
    uint32_t depth = info->bmiHeader.biBitCount;
    uint32_t colours = info->bmiHeader.biClrUsed;
    if (depth <= 8 && (colours == 0 || colours > (1u << depth))) {
        colours = 1u << depth;
    } else if (depth > 8 && colours > 256) {
        colours = 256;
    }
    uint32_t masks = info->bmiHeader.biCompression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    return headerSize + masks + colours * 4;
}

// The bits GDI reads: whole dword-aligned rows, or biSizeImage for the
// compressed kinds.
static uint32_t DibBitsSize(const BITMAPINFO *info, const void *bits)
{
    uint32_t headerSize = info->bmiHeader.biSize;
    if (bits == NULL || (headerSize != sizeof(BITMAPCOREHEADER) && (headerSize < 40 || headerSize > 4096))) {
        return 0;
    }
    uint64_t width, height, depth;
    uint32_t compression = BI_RGB;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        const BITMAPCOREHEADER *core = (const BITMAPCOREHEADER *)info;
        width = core->bcWidth;
        height = core->bcHeight;
        depth = core->bcBitCount;
    } else {
        int32_t w = info->bmiHeader.biWidth, h = info->bmiHeader.biHeight;
        width = w < 0 ? 0u - (uint64_t)w : (uint64_t)w;
        height = h < 0 ? 0u - (uint64_t)h : (uint64_t)h;
        depth = info->bmiHeader.biBitCount;
        compression = info->bmiHeader.biCompression;
    }
    uint64_t size = compression == BI_RGB || compression == BI_BITFIELDS ? (width * depth + 31) / 32 * 4 * height
                                                                        : info->bmiHeader.biSizeImage;
    return size <= kLargestBits ? (uint32_t)size : 0;
}

// bitmap NAME dib info=N bits=M|none: header and colour table, then the
// bits, as hex rows, then end.
static uint32_t WriteDib(const BITMAPINFO *info, const void *bits)
{
    uint32_t infoSize = DibInfoSize(info);
    uint32_t bitsSize = DibBitsSize(info, bits);
    uint64_t hash = Hash(Hash(kHashStart, info, infoSize), bits, bitsSize);
    hash = Hash(hash, &bitsSize, sizeof bitsSize);
    uint32_t number = RememberBitmap(hash ^ (bits == NULL));
    if (number == 0) {
        return lastBitmapNumber;
    }
    Put("bitmap ");
    PutNumbered("bm", number);
    Put(" dib");
    PutOption("info", (int32_t)infoSize);
    if (bits == NULL) {
        Put(" bits=none\n");
    } else {
        PutOption("bits", (int32_t)bitsSize);
        PutChar('\n');
    }
    PutHexRows(info, infoSize, 0);
    PutHexRows(bits, bitsSize, 0);
    Put("end\n");
    return number;
}

// A packed DIB (BS_DIBPATTERNPT): header, colour table and bits in one block.
static uint32_t WritePackedDib(const void *packed)
{
    const BITMAPINFO *info = (const BITMAPINFO *)packed;
    return WriteDib(info, (const unsigned char *)packed + DibInfoSize(info));
}

// BS_PATTERN carries a BITMAP pointer, BS_DIBPATTERNPT a packed DIB; both
// are written as bitmaps and named by the brush, the pointer itself being
// meaningless on replay.
static uint32_t WriteBrush(const LOGBRUSH *brush)
{
    if (brush == NULL) {
        return 0;
    }
    uint32_t pattern = 0;
    if (brush->lbStyle == BS_PATTERN) {
        pattern = WriteDeviceBitmap((const BITMAP *)brush->lbHatch);
    } else if (brush->lbStyle == BS_DIBPATTERNPT) {
        pattern = WritePackedDib((const void *)brush->lbHatch);
    }
    LOGBRUSH described = *brush;
    if (pattern != 0) {
        described.lbHatch = pattern;
    }
    if (NewSetting(&lastBrush, &described, sizeof described, "brush", "b") != 0) {
        PutOption("style", (int32_t)brush->lbStyle);
        PutHexOption("color", brush->lbColor);
        if (pattern != 0) {
            Put(" pattern=");
            PutNumbered("bm", pattern);
        } else {
            PutHexOption("hatch", (uint32_t)brush->lbHatch);
        }
        PutChar('\n');
    }
    return lastBrush.number;
}

// ---------------------------------------------------------------- requests

// What an output style reads through its points argument.
enum PointsRead { READS_NONE, READS_COUNT, READS_TWO, READS_FOUR, READS_RUNS, READS_POLYGONS };

// The attribute set a style realizes, which decides the records it reads.
enum RecordsRead { READS_LOGICAL, READS_GEOMETRIC, READS_SCAN, READS_EMPTY };

typedef struct OutputStyle {
    uint16_t code;
    const char *name; // as the job format writes it
    PointsRead points;
    RecordsRead records;
    int clips; // the emitter applies the request's clip rectangle
} OutputStyle;

static const OutputStyle kOutputStyles[] = {
    {OUT_BEZIER, "bezier", READS_FOUR, READS_GEOMETRIC, 1},
    {OUT_SCANLINES, "scanlines", READS_RUNS, READS_EMPTY, 0},
    {OUT_RECTANGLE, "rectangle", READS_TWO, READS_LOGICAL, 1},
    {OUT_ELLIPSE, "ellipse", READS_TWO, READS_LOGICAL, 1},
    {OUT_POLYLINE, "polyline", READS_COUNT, READS_GEOMETRIC, 1},
    {OUT_WINDPOLYGON, "windpolygon", READS_COUNT, READS_GEOMETRIC, 1},
    {OUT_ALTPOLYGON, "altpolygon", READS_COUNT, READS_GEOMETRIC, 1},
    {OUT_CIRCLE, "circle", READS_TWO, READS_LOGICAL, 1},
    {OUT_BEGINSCAN, "beginscan", READS_NONE, READS_SCAN, 0},
    {OUT_ENDSCAN, "endscan", READS_NONE, READS_EMPTY, 0},
    {OUT_WINDPOLYPOLYGON, "windpolypolygon", READS_POLYGONS, READS_GEOMETRIC, 1},
    {OUT_ALTPOLYPOLYGON, "altpolypolygon", READS_POLYGONS, READS_GEOMETRIC, 1},
};

// A code the DLL does not name draws nothing and realizes the logical set.
static const OutputStyle kUnnamedStyle = {0, NULL, READS_NONE, READS_LOGICAL, 0};

static const OutputStyle *FindStyle(uint16_t code)
{
    for (uint32_t i = 0; i < sizeof kOutputStyles / sizeof kOutputStyles[0]; ++i) {
        if (kOutputStyles[i].code == code) {
            return &kOutputStyles[i];
        }
    }
    return &kUnnamedStyle;
}

static void PutPoints(const Point16 *points, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        PutChar(' ');
        PutPoint(points[i].x, points[i].y);
    }
}

// The vertex total, or -1 when the DLL refuses the counts before reading a
// single point (a negative count, or more points than one block holds).
static int64_t VertexTotal(const int32_t *counts, uint16_t polygons)
{
    int64_t total = 0;
    for (uint16_t i = 0; i < polygons; ++i) {
        if (counts[i] < 0) {
            return -1;
        }
        total += counts[i];
    }
    return total <= 0x0FFFFFFF ? total : -1;
}

static void PutPolygons(const PolyPolygonRecord *record, uint16_t polygons)
{
    int64_t total = VertexTotal(record->counts, polygons);
    if (total < 0) {
        return; // no point is read
    }
    const Point16 *next = record->points;
    for (uint16_t i = 0; i < polygons; ++i) {
        if (i > 0) {
            Put(" |");
        }
        PutPoints(next, (uint32_t)record->counts[i]);
        next += record->counts[i];
    }
}

// The points the style reads, and count= where the points alone do not say it.
static void PutOutputPoints(const OutputStyle *style, uint16_t count, const void *points)
{
    uint32_t natural = 0;
    switch (style->points) {
    case READS_NONE:
        break;
    case READS_TWO:
        PutPoints((const Point16 *)points, 2);
        natural = 2;
        break;
    case READS_FOUR:
        PutPoints((const Point16 *)points, 4);
        natural = 4;
        break;
    case READS_RUNS:
        // one point or none is not read at all
        natural = count > 1 ? count : 0;
        PutPoints((const Point16 *)points, natural);
        break;
    case READS_COUNT:
        PutPoints((const Point16 *)points, count);
        natural = count;
        break;
    case READS_POLYGONS:
        PutPolygons((const PolyPolygonRecord *)points, count);
        natural = count;
        break;
    }
    if (count != natural) {
        PutOption("count", count);
    }
}

void CaptureOutput(uint16_t styleCode, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                   uint32_t geometricPenStyle, const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip)
{
    const OutputStyle *style = FindStyle(styleCode);
    // Exactly 1 marks a request inside a scan bracket: the scan set whatever the style.
    RecordsRead records = scanFlag == 1 ? READS_SCAN : style->records;
    int readsBrush = records != READS_EMPTY;
    int readsPen = records == READS_LOGICAL || records == READS_GEOMETRIC || (records == READS_SCAN && brush == NULL);
    uint32_t penName = readsPen ? WritePen(pen) : 0;
    uint32_t brushName = readsBrush ? WriteBrush(brush) : 0;
    uint32_t modeName = records != READS_EMPTY ? WriteDrawMode(drawMode) : 0;
    Put("output ");
    if (style->name != NULL) {
        Put(style->name);
    } else {
        PutHex(styleCode);
    }
    PutOutputPoints(style, count, points);
    PutSettingOption("pen", "p", penName);
    PutSettingOption("brush", "b", brushName);
    PutSettingOption("mode", "m", modeName);
    if (geometricPenStyle != 0) {
        PutHexOption("geom", geometricPenStyle);
    }
    if (scanFlag != 0) {
        PutOption("scan", scanFlag);
    }
    if (style->clips && clip != NULL) {
        Put(" clip=");
        PutRect(clip);
    }
    if (styleCode == OUT_ENDSCAN) {
        // the driver's own DeleteObject32 calls follow as delete lines
        Put(" release=manual");
    }
}

// The objects the last scan bracket handed out, to name them when the driver
// gives them back.
static ObjectSlots handedOut;

void CaptureHandedOut(const ObjectSlots *slots)
{
    handedOut = *slots;
    Put("; handed out: pen ");
    PutHex(slots->pen);
    Put(" oldPen ");
    PutHex(slots->oldPen);
    Put(" brush ");
    PutHex(slots->brush);
    Put(" oldBrush ");
    PutHex(slots->oldBrush);
    Put(" pattern ");
    PutHex(slots->patternBitmap);
    PutChar('\n');
}

// The pairs a driver gives back, as the job's delete lines name them.
void CaptureDelete(Handle32 object, Handle32 selectBack)
{
    if (object == handedOut.pen && selectBack == handedOut.oldPen && (object | selectBack) != 0) {
        Put("delete pen");
        handedOut.pen = handedOut.oldPen = 0;
    } else if (object == handedOut.brush && selectBack == handedOut.oldBrush && (object | selectBack) != 0) {
        Put("delete brush");
        handedOut.brush = handedOut.oldBrush = 0;
    } else if (object == handedOut.patternBitmap && selectBack == 0 && object != 0) {
        Put("delete pattern");
        handedOut.patternBitmap = 0;
    } else {
        Put("; DeleteObject32 object ");
        PutHex(object);
        Put(" selectBack ");
        PutHex(selectBack);
        Put(": not a pair a scan bracket handed out");
    }
}

// A page: the frame and device name the driver passed; the spool file name
// is the replay's own.
void CaptureGetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame)
{
    Put("; GetEmfFileDC32 on ");
    if (fileName != NULL) {
        uint32_t length = 0;
        while (length < MAX_PATH && fileName[length] != '\0') {
            ++length;
        }
        PutQuoted(fileName, length);
    }
    Put("\npage");
    if (frame != NULL) {
        Put(" frame=");
        PutRect(frame);
    } else {
        Put(" frame=none");
    }
    if (deviceName != NULL) {
        uint32_t length = 0;
        while (length < 1024 && deviceName[length] != '\0') {
            ++length;
        }
        Put(" device=");
        PutQuoted(deviceName, length);
    }
    if (devMode != NULL) {
        Put(" devmode=");
        PutHexBytes(devMode, (uint32_t)devMode->dmSize + devMode->dmDriverExtra);
    }
}

void CaptureSurfaceOpened(int32_t result, Handle32 surface)
{
    CaptureResult(result);
    Put("; surface ");
    PutHex(surface);
    PutChar('\n');
}

void CaptureGetEmfFilePath32(const char *buffer, int32_t result)
{
    Put("; GetEmfFilePath32 -> ");
    PutDecimal(result);
    if (result == 0) {
        uint32_t length = 0;
        while (length < MAX_PATH && buffer[length] != '\0') {
            ++length;
        }
        PutChar(' ');
        PutQuoted(buffer, length);
    }
    PutChar('\n');
}

void CaptureClose(void)
{
    Put("close\n");
}

void CaptureClip(const RECT *clip)
{
    Put("clip ");
    if (clip == NULL) {
        Put("none");
        return;
    }
    PutRect(clip);
}

// rectangles: xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc.
static void PutTransfer(const char *keyword, uint32_t source, const int32_t *rectangles, uint32_t rop,
                        uint32_t brushName, uint32_t modeName)
{
    Put(keyword);
    PutChar(' ');
    PutPoint(rectangles[0], rectangles[1]);
    PutChar(' ');
    PutPoint(rectangles[2], rectangles[3]);
    PutChar(' ');
    if (source == 0) {
        Put("none");
    } else {
        PutNumbered("bm", source);
        Put(" src=");
        PutPoint(rectangles[4], rectangles[5]);
        PutChar(',');
        PutPoint(rectangles[6], rectangles[7]);
    }
    PutHexOption("rop", rop);
    PutSettingOption("brush", "b", brushName);
    PutSettingOption("mode", "m", modeName);
}

void CaptureRaster(const int32_t *rectangles, const BITMAP *source, uint32_t rop, const LOGBRUSH *brush,
                   const DrawModeRecord *drawMode)
{
    uint32_t sourceName = source != NULL ? WriteDeviceBitmap(source) : 0;
    uint32_t brushName = WriteBrush(brush);
    uint32_t modeName = WriteDrawMode(drawMode);
    PutTransfer("raster", sourceName, rectangles, rop, brushName, modeName);
}

void CaptureDib(const int32_t *rectangles, const void *bits, const BITMAPINFO *info, uint32_t rop,
                const LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    uint32_t sourceName = WriteDib(info, bits);
    uint32_t brushName = WriteBrush(brush);
    uint32_t modeName = WriteDrawMode(drawMode);
    PutTransfer("dib", sourceName, rectangles, rop, brushName, modeName);
}

static void PutList(const char *name, const int32_t *values, uint32_t count)
{
    PutChar(' ');
    Put(name);
    PutChar('=');
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            PutChar(',');
        }
        PutDecimal(values[i]);
    }
}

void CaptureText(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                 const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    uint32_t fontName = WriteFont(font);
    uint32_t modeName = WriteDrawMode(drawMode);
    Put("text ");
    PutPoint(x, y);
    if ((options & ETO_GLYPH_INDEX) != 0) {
        const uint16_t *glyphs = (const uint16_t *)string;
        Put(" glyphs=");
        for (uint32_t i = 0; i < count; ++i) {
            if (i > 0) {
                PutChar(',');
            }
            PutUnsigned(glyphs[i]);
        }
    } else {
        PutChar(' ');
        PutQuoted(string, count);
    }
    PutSettingOption("font", "f", fontName);
    PutSettingOption("mode", "m", modeName);
    if (options != 0) {
        PutHexOption("options", options);
    }
    if (rectangle != NULL) {
        Put(" rect=");
        PutRect(rectangle);
    }
    if (advances != NULL) {
        PutList("advances", advances, count);
    }
}

void CaptureResult(int32_t result)
{
    PutOption("expect", result);
    PutChar('\n');
}
