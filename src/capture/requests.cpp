// Each export's request as job lines: the settings it needs (written once
// and named, a new one only when the driver's record changed), then the
// request line with every value the real DLL may read, read before it runs
// (a text's once it answered, as its result says what it read), and after it
// the result and what it wrote back.
#include "capture/capture.h"

#include "jobformat/job_grammar.h"
#include "requestmodel/output_styles.h"
#include "requestmodel/read_sizes.h"

// ---------------------------------------------------------------- grammar

// Every keyword and option name, and how each value is written, comes from
// the job format's grammar rows, which the simulator's parser reads by.
// Every row asked for here exists; a missing one would write an empty name
// (and the parser would say so), never fault inside the driver's process.
static const grammar::Option kNoRow = {"", grammar::VALUE_NUMBER, grammar::FIELD_NONE, ""};

static const grammar::Option *Row(grammar::KeywordId keyword, grammar::Field field)
{
    const grammar::Keyword *row = grammar::KeywordById(keyword);
    const grammar::Option *option = row != NULL ? grammar::OptionByField(*row, field) : NULL;
    return option != NULL ? option : &kNoRow;
}

static void PutKeyword(grammar::KeywordId keyword)
{
    const grammar::Keyword *row = grammar::KeywordById(keyword);
    Put(row != NULL ? row->name : "");
}

// A constant's name where one name says the whole value, else the number.
static void PutValue(const grammar::Option *row, uint32_t value)
{
    switch (row->kind) {
    case grammar::VALUE_CONSTANT: {
        const char *name = row->constants != NULL ? grammar::ConstantName(*row->constants, value) : NULL;
        if (name != NULL) {
            Put(name);
        } else {
            PutHex(value);
        }
        break;
    }
    case grammar::VALUE_COLOR:
        PutHex(value);
        break;
    case grammar::VALUE_BYTE:
    case grammar::VALUE_U16:
        PutUnsigned(value);
        break;
    default:
        PutDecimal((int32_t)value);
        break;
    }
}

static void PutName(const grammar::Option *row)
{
    PutChar(' ');
    Put(row->name);
    PutChar('=');
}

static void PutOptionName(grammar::KeywordId keyword, grammar::Field field)
{
    PutName(Row(keyword, field));
}

static void PutField(grammar::KeywordId keyword, grammar::Field field, uint32_t value)
{
    const grammar::Option *row = Row(keyword, field);
    PutName(row);
    PutValue(row, value);
}

static void PutRectField(grammar::KeywordId keyword, grammar::Field field, const RECT *rect)
{
    PutOptionName(keyword, field);
    PutRect(rect);
}

// A setting's name (prefix and number), or none for a null record.
static void PutSettingField(grammar::KeywordId keyword, grammar::Field field, const char *prefix, uint32_t number)
{
    PutOptionName(keyword, field);
    if (number == 0) {
        Put("none");
        return;
    }
    PutNumbered(prefix, number);
}

// ---------------------------------------------------------------- settings

// The driver's records behind one setting line; pattern names the bitmap
// written for a pattern brush.
typedef struct SettingRecords {
    const LOGPEN *pen;
    const LOGBRUSH *brush;
    uint32_t pattern;
    const DrawModeRecord *mode;
    const LOGFONTA *font;
} SettingRecords;

// Answers value, for the one-line cases below.
static int Answer(uint32_t *to, uint32_t value)
{
    *to = value;
    return 1;
}

// The value of one option field, or 0 for a field the writer leaves to its
// default or writes itself (angle stands for two fields; face is a string).
// clang-format off
static int SettingValue(const SettingRecords *records, grammar::Field field, uint32_t *value)
{
    const LOGPEN *pen = records->pen;
    const LOGBRUSH *brush = records->brush;
    const DrawModeRecord *mode = records->mode;
    const LOGFONTA *font = records->font;
    switch (field) {
    case grammar::FIELD_PEN_STYLE: return Answer(value, pen->lopnStyle);
    case grammar::FIELD_PEN_WIDTH: return Answer(value, (uint32_t)pen->lopnWidth.x);
    case grammar::FIELD_PEN_WIDTH_Y:
        *value = (uint32_t)pen->lopnWidth.y;
        return *value != 0;
    case grammar::FIELD_PEN_COLOR: return Answer(value, pen->lopnColor);
    case grammar::FIELD_BRUSH_STYLE: return Answer(value, brush->lbStyle);
    case grammar::FIELD_BRUSH_COLOR: return Answer(value, brush->lbColor);
    case grammar::FIELD_BRUSH_HATCH:
        // a hatch of 0 is the default, and only hatched brushes name one
        *value = (uint32_t)brush->lbHatch;
        return records->pattern == 0 && *value != 0;
    case grammar::FIELD_ROP2: return Answer(value, mode->rop2);
    case grammar::FIELD_BK_MODE: return Answer(value, mode->bkMode);
    case grammar::FIELD_BK_COLOR: return Answer(value, mode->bkColor);
    case grammar::FIELD_TEXT_COLOR: return Answer(value, mode->textColor);
    case grammar::FIELD_USE_BK_MODE: return Answer(value, mode->useBkMode);
    case grammar::FIELD_FONT_HEIGHT: return Answer(value, (uint32_t)font->lfHeight);
    case grammar::FIELD_FONT_WIDTH: return Answer(value, (uint32_t)font->lfWidth);
    case grammar::FIELD_FONT_ESCAPEMENT: return Answer(value, (uint32_t)font->lfEscapement);
    case grammar::FIELD_FONT_ORIENTATION: return Answer(value, (uint32_t)font->lfOrientation);
    case grammar::FIELD_FONT_WEIGHT: return Answer(value, (uint32_t)font->lfWeight);
    case grammar::FIELD_FONT_ITALIC: return Answer(value, font->lfItalic);
    case grammar::FIELD_FONT_UNDERLINE: return Answer(value, font->lfUnderline);
    case grammar::FIELD_FONT_STRIKEOUT: return Answer(value, font->lfStrikeOut);
    case grammar::FIELD_FONT_CHARSET: return Answer(value, font->lfCharSet);
    case grammar::FIELD_FONT_OUT_PRECISION: return Answer(value, font->lfOutPrecision);
    case grammar::FIELD_FONT_CLIP_PRECISION: return Answer(value, font->lfClipPrecision);
    case grammar::FIELD_FONT_QUALITY: return Answer(value, font->lfQuality);
    case grammar::FIELD_FONT_PITCH_AND_FAMILY: return Answer(value, font->lfPitchAndFamily);
    default: return 0;
    }
}
// clang-format on

// The longest device or file name written: GDI reads to the NUL, the
// capture no further than this.
static const uint32_t kLongestName = 1024;

static uint32_t StringLength(const char *text, uint32_t most)
{
    uint32_t length = 0;
    while (length < most && text[length] != '\0') {
        ++length;
    }
    return length;
}

// The fields that are not numbers: a pattern's bitmap and a face name.
static void PutSpecialField(const grammar::Option *row, const SettingRecords *records)
{
    const LOGBRUSH *brush = records->brush;
    if (row->field == grammar::FIELD_BRUSH_PATTERN && records->pattern != 0) {
        PutName(row);
        PutNumbered("bm", records->pattern);
    } else if (row->field == grammar::FIELD_BRUSH_PATTERN && brush->lbHatch == 0 &&
               (brush->lbStyle == BS_PATTERN || brush->lbStyle == BS_DIBPATTERNPT)) {
        PutName(row);
        Put("none");
    } else if (row->field == grammar::FIELD_FONT_FACE) {
        PutName(row);
        PutQuoted(records->font->lfFaceName, StringLength(records->font->lfFaceName, LF_FACESIZE));
    }
}

// One setting line: the keyword, the name, then every option row of the
// keyword that holds a field of the record.
static void PutSetting(grammar::KeywordId keyword, const char *prefix, uint32_t number, const SettingRecords *records)
{
    const grammar::Keyword *row = grammar::KeywordById(keyword);
    PutKeyword(keyword);
    PutChar(' ');
    PutNumbered(prefix, number);
    for (uint8_t i = 0; row != NULL && i < row->optionCount; ++i) {
        uint32_t value = 0;
        if (SettingValue(records, row->options[i].field, &value)) {
            PutName(&row->options[i]);
            PutValue(&row->options[i], value);
        } else {
            PutSpecialField(&row->options[i], records);
        }
    }
    PutChar('\n');
}

// The last few records written of one kind, so a record the driver hands in
// again keeps its name: drivers alternate between a handful of pens and fonts.
enum { kRemembered = 8 };
typedef struct Remembered {
    uint32_t count; // records named so far
    uint32_t base;  // the count when the page began: only later ones are remembered
    uint32_t numbers[kRemembered];
    unsigned char bytes[kRemembered][64];
} Remembered;

static Remembered pens, brushes, modes, fonts;

static int SameBytes(const void *a, const void *b, uint32_t size)
{
    const unsigned char *x = (const unsigned char *)a, *y = (const unsigned char *)b;
    for (uint32_t i = 0; i < size; ++i) {
        if (x[i] != y[i]) {
            return 0;
        }
    }
    return 1;
}

// The record's name: an earlier one's when the bytes match, else a new
// number, whose setting line the caller writes (*isNew).
static uint32_t Name(Remembered *kind, const void *record, uint32_t size, int *isNew)
{
    for (uint32_t i = 0; i < kRemembered && i < kind->count - kind->base; ++i) {
        if (SameBytes(kind->bytes[i], record, size)) {
            *isNew = 0;
            return kind->numbers[i];
        }
    }
    uint32_t slot = (kind->count - kind->base) % kRemembered;
    CopyBytes(kind->bytes[slot], record, size);
    kind->numbers[slot] = ++kind->count;
    *isNew = 1;
    return kind->count;
}

// Keeps the count, so later names never repeat one given before.
static void Forget(Remembered *kind)
{
    kind->base = kind->count;
}

// A setting's name, its line written first when the record is new; 0 for a
// null record.
static uint32_t WriteSetting(Remembered *kind, const void *record, uint32_t size, grammar::KeywordId keyword,
                             const char *prefix, const SettingRecords *records)
{
    if (record == NULL) {
        return 0;
    }
    int isNew = 0;
    uint32_t number = Name(kind, record, size, &isNew);
    if (isNew) {
        PutSetting(keyword, prefix, number, records);
    }
    return number;
}

static uint32_t WritePen(const LOGPEN *pen)
{
    SettingRecords records = {pen, NULL, 0, NULL, NULL};
    return WriteSetting(&pens, pen, sizeof *pen, grammar::KEYWORD_PEN, "p", &records);
}

// Only the fields the request reads; the rest are written as zeros, which
// the replay does not read either.
static uint32_t WriteDrawMode(const DrawModeRecord *mode, uint32_t fields)
{
    if (mode == NULL || fields == 0) {
        return 0;
    }
    DrawModeRecord read;
    CopyDrawModeFields(&read, mode, fields);
    SettingRecords records = {NULL, NULL, 0, &read, NULL};
    return WriteSetting(&modes, &read, sizeof read, grammar::KEYWORD_DRAWMODE, "m", &records);
}

static uint32_t WriteFont(const LOGFONTA *font)
{
    SettingRecords records = {NULL, NULL, 0, NULL, font};
    return WriteSetting(&fonts, font, sizeof *font, grammar::KEYWORD_FONT, "f", &records);
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

static Remembered bitmaps;

// bitmap NAME SHAPE [WxH]: the start of a bitmap's line.
static void PutBitmapStart(uint32_t number, grammar::BitmapShape shape)
{
    PutKeyword(grammar::KEYWORD_BITMAP);
    PutChar(' ');
    PutNumbered("bm", number);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_BITMAP_SHAPES, shape));
}

static void PutNoBits(void)
{
    PutOptionName(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_SIZE);
    Put("none");
}

// bitmap NAME bits WxH bpp= planes= widthbytes= type= , the bits as GDI
// reads them in hex rows, then end. Without readable bits: nobits.
static uint32_t WriteDeviceBitmap(const BITMAP *bitmap)
{
    uint32_t row = 0;
    uint32_t size = DeviceBitsRead(bitmap, &row);
    BITMAP described = *bitmap;
    described.bmBits = NULL;
    uint64_t hash = Hash(Hash(kHashStart, &described, sizeof described), bitmap->bmBits, size);
    int isNew = 0;
    uint32_t number = Name(&bitmaps, &hash, sizeof hash, &isNew);
    if (!isNew) {
        return number;
    }
    PutBitmapStart(number, grammar::SHAPE_BITS);
    PutChar(' ');
    PutDecimal(bitmap->bmWidth);
    PutChar('x');
    PutDecimal(bitmap->bmHeight);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_PIXEL, bitmap->bmBitsPixel);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_PLANES, bitmap->bmPlanes);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_WIDTH_BYTES, (uint32_t)bitmap->bmWidthBytes);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_TYPE, (uint32_t)bitmap->bmType);
    if (size == 0) {
        PutNoBits();
    }
    PutChar('\n');
    PutHexRows(bitmap->bmBits, size, row);
    Put("end\n");
    return number;
}

// bitmap NAME dib info=N bits=M|none: header and colour table, then the
// bits, as hex rows, then end.
// infoSize and bitsSize as GDI reads them (info=0: GDI refuses a DIB
// without a header before it reads anything).
static uint32_t WriteDib(const BITMAPINFO *info, uint32_t infoSize, const void *bits, uint32_t bitsSize)
{
    bits = info != NULL ? bits : NULL;
    uint64_t hash = Hash(Hash(kHashStart, info, infoSize), bits, bitsSize);
    hash = Hash(hash, &bitsSize, sizeof bitsSize);
    hash ^= bits == NULL;
    int isNew = 0;
    uint32_t number = Name(&bitmaps, &hash, sizeof hash, &isNew);
    if (!isNew) {
        return number;
    }
    PutBitmapStart(number, grammar::SHAPE_DIB);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_INFO_SIZE, infoSize);
    if (bits == NULL) {
        PutNoBits();
    } else {
        PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_SIZE, bitsSize);
    }
    PutChar('\n');
    PutHexRows(info, infoSize, 0);
    PutHexRows(bits, bitsSize, 0);
    Put("end\n");
    return number;
}

// BS_PATTERN carries a BITMAP pointer, BS_DIBPATTERNPT a packed DIB; both
// are written as bitmaps and named by the brush, the pointer itself being
// meaningless on replay.
static uint32_t WriteBrush(const LOGBRUSH *brush, const BrushRead *read)
{
    if (brush == NULL) {
        return 0;
    }
    // Only the bytes the request reads (a hollow brush: its style, and in a
    // scan bracket its colour); a pattern without its record (lbHatch 0)
    // reaches GDI, which refuses it: the brush says pattern=none.
    LOGBRUSH described = {0, 0, 0};
    CopyBytes(&described, brush, read->record);
    uint32_t pattern = 0;
    if (read->record == sizeof *brush && brush->lbStyle == BS_PATTERN && brush->lbHatch != 0) {
        pattern = WriteDeviceBitmap((const BITMAP *)brush->lbHatch);
    } else if (read->record == sizeof *brush && brush->lbStyle == BS_DIBPATTERNPT && brush->lbHatch != 0) {
        const unsigned char *packed = (const unsigned char *)brush->lbHatch;
        pattern = WriteDib((const BITMAPINFO *)packed, read->patternInfo, packed + read->patternInfo,
                           read->pattern - read->patternInfo);
    }
    if (pattern != 0) {
        described.lbHatch = pattern;
    }
    SettingRecords records = {NULL, &described, pattern, NULL, NULL};
    return WriteSetting(&brushes, &described, sizeof described, grammar::KEYWORD_BRUSH, "b", &records);
}

// ---------------------------------------------------------------- requests

static void PutNumberList(const int32_t *values, const uint16_t *glyphs, uint32_t count);

// Polygons split by '|' where every polygon has points; else the points run
// on and counts= gives the counts the DLL read, then zeros for those it never
// reached (after a negative count, or one past the total it can hold).
static void PutPolygons(const PolyPolygonRecord *record, uint16_t polygons, const OutputRead *read)
{
    uint32_t known = read->counts / 4;
    int plain = read->polygonsDrawn && polygons > 0;
    for (uint16_t i = 0; i < polygons && plain; ++i) {
        plain = record->counts[i] > 0;
    }
    const Point16 *next = record->points;
    for (uint16_t i = 0; i < polygons && read->polygonsDrawn; ++i) {
        if (i > 0 && plain) {
            Put(" |");
        }
        PutPoints(next, (uint32_t)record->counts[i]);
        next += record->counts[i];
    }
    if (!plain) {
        PutOptionName(grammar::KEYWORD_OUTPUT, grammar::FIELD_POLYGON_COUNTS);
        PutNumberList(record->counts, NULL, known);
        for (uint32_t i = known; i < polygons; ++i) {
            Put(i > 0 ? ",0" : "0");
        }
    }
}

// The points the style reads, and count= where the points alone do not say it.
static void PutOutputPoints(uint16_t style, uint16_t count, const void *points, const OutputRead *read)
{
    uint32_t natural = read->points / (uint32_t)sizeof(Point16);
    if (style == OUT_WINDPOLYPOLYGON || style == OUT_ALTPOLYPOLYGON) {
        PutPolygons((const PolyPolygonRecord *)points, count, read);
        natural = count;
    } else if (natural > 0) {
        PutPoints((const Point16 *)points, natural);
    }
    if (count != natural) {
        PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_COUNT, count);
    }
}

void CaptureOutput(uint16_t styleCode, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                   uint32_t geometricPenStyle, const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_OUTPUT;
    const OutputStyle *style = FindOutputStyle(styleCode);
    OutputRead read;
    int patternMade = brush != NULL && PatternExpected(brush);
    OutputReads(styleCode, scanFlag, count, points, pen, brush, drawMode, clip, patternMade, &read);
    uint32_t penName = read.pen != 0 ? WritePen(pen) : 0;
    uint32_t brushName = read.brush.record != 0 ? WriteBrush(brush, &read.brush) : 0;
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutKeyword(keyword);
    PutChar(' ');
    if (style != NULL) {
        Put(style->name);
    } else {
        PutHex(styleCode);
    }
    PutOutputPoints(styleCode, count, points, &read);
    PutSettingField(keyword, grammar::FIELD_PEN, "p", penName);
    PutSettingField(keyword, grammar::FIELD_BRUSH, "b", brushName);
    PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
    if (geometricPenStyle != 0) {
        PutField(keyword, grammar::FIELD_GEOMETRIC, geometricPenStyle);
    }
    if (scanFlag != 0) {
        PutField(keyword, grammar::FIELD_SCAN_FLAG, scanFlag);
    }
    if (read.clip != 0) {
        PutRectField(keyword, grammar::FIELD_CLIP, clip);
    }
    if (styleCode == OUT_ENDSCAN) {
        // the driver's own DeleteObject32 calls follow as delete lines
        PutOptionName(keyword, grammar::FIELD_RELEASE_TIME);
        Put(grammar::ConstantName(grammar::SET_RELEASE_TIMES, 0));
    }
}

// The objects the last scan bracket handed out, to name them when the driver
// gives them back, and which of its three releases were made.
static ObjectSlots handedOut;
static int released[3] = {1, 1, 1}; // nothing is held before the first bracket

void CaptureHandedOut(const ObjectSlots *slots)
{
    handedOut = *slots;
    released[0] = released[1] = released[2] = 0;
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
    // The pairs in the order a driver gives them back; an empty pair (a
    // bracket without a brush) is released with its zeros, as handed out.
    const Handle32 pairs[3][2] = {
        {handedOut.pen, handedOut.oldPen}, {handedOut.brush, handedOut.oldBrush}, {handedOut.patternBitmap, 0}};
    const grammar::Release names[3] = {grammar::RELEASE_PEN, grammar::RELEASE_BRUSH, grammar::RELEASE_PATTERN};
    grammar::Release release = grammar::RELEASE_SCAN; // stands for no pair found
    for (int i = 0; i < 3 && release == grammar::RELEASE_SCAN; ++i) {
        if (!released[i] && pairs[i][0] == object && pairs[i][1] == selectBack) {
            released[i] = 1;
            release = names[i];
        }
    }
    if (release == grammar::RELEASE_SCAN) {
        // the format names only what a bracket handed out; the call stays on record
        Put("; DeleteObject32 object ");
        PutHex(object);
        Put(" selectBack ");
        PutHex(selectBack);
        Put(", not a pair a scan bracket handed out:");
        return;
    }
    PutKeyword(grammar::KEYWORD_DELETE);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_RELEASES, release));
}

// A page: the frame, device name and DEVMODE the driver passed; the spool
// file name is the replay's own. The DLL reads the frame and file name only
// once the reference device exists (referenceMade).
void CaptureGetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                           int referenceMade)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_PAGE;
    PageRead read;
    PageReads(devMode, deviceName, fileName, frame, referenceMade, kLongestName, &read);
    // Every page defines the settings it uses, so a page cut out of a capture
    // replays alone; names stay unique over the whole file.
    Forget(&pens);
    Forget(&brushes);
    Forget(&modes);
    Forget(&fonts);
    Forget(&bitmaps);
    if (read.fileName != 0) {
        Put("; GetEmfFileDC32 on ");
        PutQuoted(fileName, StringLength(fileName, read.fileName));
        PutChar('\n');
    }
    PutKeyword(keyword);
    if (read.frame != 0) {
        PutRectField(keyword, grammar::FIELD_PAGE_FRAME, frame);
    } else {
        PutOptionName(keyword, grammar::FIELD_PAGE_FRAME);
        Put("none");
    }
    if (deviceName != NULL) {
        PutOptionName(keyword, grammar::FIELD_PAGE_DEVICE);
        PutQuoted(deviceName, StringLength(deviceName, read.deviceName));
    }
    if (devMode != NULL) {
        PutOptionName(keyword, grammar::FIELD_PAGE_DEVMODE);
        PutHexBytes(devMode, (uint32_t)devMode->dmSize + devMode->dmDriverExtra);
    }
}

// A page line stands for the page until close, whether or not it opened.
static int pageOpen;

void CaptureSurfaceOpened(int32_t result, Handle32 surface)
{
    pageOpen = 1;
    CaptureResult(result);
    Put("; surface ");
    PutHex(surface);
    PutChar('\n');
}

// The page line makes its own spool file name, so this is a comment.
void CaptureGetEmfFilePath32(const char *buffer, int32_t result)
{
    Put("; GetEmfFilePath32 -> ");
    PutDecimal(result);
    if (result == 0) {
        PutChar(' ');
        PutQuoted(buffer, StringLength(buffer, MAX_PATH));
    }
    PutChar('\n');
}

void CaptureClose(void)
{
    if (!pageOpen) {
        Put("; CloseEmfFile32 with no page open\n");
        return;
    }
    pageOpen = 0;
    PutKeyword(grammar::KEYWORD_CLOSE);
    PutChar('\n');
}

void CaptureClip(const RECT *clip)
{
    PutKeyword(grammar::KEYWORD_CLIP);
    PutChar(' ');
    if (clip == NULL) {
        Put("none");
        return;
    }
    PutRect(clip);
}

// rectangles: xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc.
static void PutTransfer(grammar::KeywordId keyword, uint32_t source, const int32_t *rectangles, uint32_t rop,
                        uint32_t brushName, uint32_t modeName)
{
    PutKeyword(keyword);
    PutChar(' ');
    PutPoint(rectangles[0], rectangles[1]);
    PutChar(' ');
    PutPoint(rectangles[2], rectangles[3]);
    PutChar(' ');
    if (source == 0) {
        Put("none");
    } else {
        PutNumbered("bm", source);
        PutOptionName(keyword, grammar::FIELD_SOURCE_RECT);
        PutPoint(rectangles[4], rectangles[5]);
        PutChar(',');
        PutPoint(rectangles[6], rectangles[7]);
    }
    PutField(keyword, grammar::FIELD_ROP3, rop);
    PutSettingField(keyword, grammar::FIELD_BRUSH, "b", brushName);
    PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
}

void CaptureRaster(const int32_t *rectangles, const BITMAP *source, uint32_t rop, const LOGBRUSH *brush,
                   const DrawModeRecord *drawMode)
{
    TransferRead read;
    RasterReads(source, brush, drawMode, brush != NULL && PatternExpected(brush), &read);
    uint32_t sourceName = source != NULL ? WriteDeviceBitmap(source) : 0;
    uint32_t brushName = WriteBrush(brush, &read.brush);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutTransfer(grammar::KEYWORD_RASTER, sourceName, rectangles, rop, brushName, modeName);
}

void CaptureDib(const int32_t *rectangles, const void *bits, const BITMAPINFO *info, uint32_t rop,
                const LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    TransferRead read;
    DibReads(info, bits, brush, drawMode, brush != NULL && PatternExpected(brush), &read);
    uint32_t sourceName = WriteDib(info, read.source, bits, read.sourceBits);
    uint32_t brushName = WriteBrush(brush, &read.brush);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutTransfer(grammar::KEYWORD_DIB, sourceName, rectangles, rop, brushName, modeName);
}

static void PutNumberList(const int32_t *values, const uint16_t *glyphs, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            PutChar(',');
        }
        if (glyphs != NULL) {
            PutUnsigned(glyphs[i]);
        } else {
            PutDecimal(values[i]);
        }
    }
}

void CaptureText(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                 const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode,
                 bool fontMade)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_TEXT;
    TextRead read;
    TextReads(drawMode, options, rectangle, count, advances, fontMade, &read);
    uint32_t fontName = WriteFont(font);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    if (!fontMade) {
        // The real DLL read nothing but the font record and the scalars, so
        // neither is anything else read here. The line replays the same
        // failure with an empty string and the built-in draw mode.
        Put("; the font could not be made: the real DLL read none of the ");
        PutUnsigned(count);
        Put((options & ETO_GLYPH_INDEX) != 0 ? " glyphs" : " bytes");
        Put(", nor the rectangle, advances or draw mode\n");
        count = 0;
    }
    PutKeyword(keyword);
    PutChar(' ');
    PutPoint(x, y);
    if ((options & ETO_GLYPH_INDEX) != 0) {
        PutOptionName(keyword, grammar::FIELD_GLYPHS);
        PutNumberList(NULL, (const uint16_t *)string, count);
    } else {
        PutChar(' ');
        PutQuoted(string, count);
    }
    PutSettingField(keyword, grammar::FIELD_FONT, "f", fontName);
    if (fontMade) {
        PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
    }
    if (options != 0) {
        PutField(keyword, grammar::FIELD_TEXT_OPTIONS, options);
    }
    if (read.rectangle != 0) {
        PutRectField(keyword, grammar::FIELD_TEXT_RECT, rectangle);
    }
    if (fontMade && advances != NULL) {
        // with ETO_PDY, GDI reads an x and a y advance a glyph
        PutOptionName(keyword, grammar::FIELD_ADVANCES);
        PutNumberList(advances, NULL, read.advances / 4);
    }
}

// Every request row has the same expect= option; the output keyword's stands for all.
void CaptureResult(int32_t result)
{
    PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_EXPECT, (uint32_t)result);
    PutChar('\n');
}
