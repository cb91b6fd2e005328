// The capture writer's setting lines (pens, brushes, draw modes, fonts) and
// the names that let a record the driver hands in again be named once: only
// the bytes a request reads are written and compared.
#include "capture/writer.h"

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
uint32_t Name(Remembered *kind, const void *record, uint32_t size, int *isNew)
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
void Forget(Remembered *kind)
{
    kind->base = kind->count;
}

// A setting's name, its line written first when the record is new; 0 for a
// null record.
uint32_t WriteSetting(Remembered *kind, const void *record, uint32_t size, grammar::KeywordId keyword,
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

uint32_t WritePen(const LOGPEN *pen)
{
    SettingRecords records = {pen, NULL, 0, NULL, NULL};
    // The real DLL rewrites PS_INSIDEFRAME to PS_SOLID in the record it is
    // given, and on replay in the one record a name stands for: another
    // record with the same bytes (another thread's) must not share its name.
    if (pen != NULL && pen->lopnStyle == PS_INSIDEFRAME) {
        Forget(&pens);
    }
    return WriteSetting(&pens, pen, sizeof *pen, grammar::KEYWORD_PEN, "p", &records);
}

// Only the fields the request reads; the rest are written as zeros, which
// the replay does not read either.
uint32_t WriteDrawMode(const DrawModeRecord *mode, uint32_t fields)
{
    if (mode == NULL || fields == 0) {
        return 0;
    }
    DrawModeRecord read;
    CopyDrawModeFields(&read, mode, fields);
    SettingRecords records = {NULL, NULL, 0, &read, NULL};
    return WriteSetting(&modes, &read, sizeof read, grammar::KEYWORD_DRAWMODE, "m", &records);
}

uint32_t WriteFont(const LOGFONTA *font)
{
    SettingRecords records = {NULL, NULL, 0, NULL, font};
    return WriteSetting(&fonts, font, sizeof *font, grammar::KEYWORD_FONT, "f", &records);
}

// BS_PATTERN carries a BITMAP pointer, BS_DIBPATTERNPT a packed DIB; both
// are written as bitmaps and named by the brush, the pointer itself being
// meaningless on replay.
uint32_t WriteBrush(const LOGBRUSH *brush, const BrushRead *read)
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

void ForgetSettings(void)
{
    Forget(&pens);
    Forget(&brushes);
    Forget(&modes);
    Forget(&fonts);
}
