// The job format as data: every keyword with its positional arguments and
// its key=value options, each with the kind of value it takes, and the named
// constants those values may use. The driver's parser reads job lines by
// walking these rows, its error messages and `--reference` print them, and
// the capture DLL writes job lines from the same rows, so what one writes
// the other reads.
//
// Plain constant data only: this header is also compiled into a
// freestanding DLL (no C or C++ runtime, no static constructors), so it
// includes nothing but <stdint.h> and <stddef.h> and initialises nothing at
// run time.
//
// Output style names are not here: their one table is OUTPUT_STYLES in
// include/quillrec.h, beside the codes; a value of kind VALUE_STYLE is
// looked up there with the same name rules (prefix "OUT_").
#ifndef QUILLREC_JOB_GRAMMAR_H
#define QUILLREC_JOB_GRAMMAR_H

#include <stddef.h>
#include <stdint.h>

namespace grammar {

// What a positional argument or an option value is written as.
enum ValueKind : uint8_t {
    VALUE_NUMBER,   // decimal or 0x hex, 32-bit signed
    VALUE_BYTE,     // a number from 0 to 255
    VALUE_U16,      // a number from 0 to 65535
    VALUE_CONSTANT, // names of `constants` (or numbers) joined by '|'
    VALUE_STYLE,    // an output style name from OUTPUT_STYLES, or a number
    VALUE_CHOICE,   // exactly one name of `constants`, no number
    VALUE_COLOR,    // #RRGGBB, a name of COLORS, rgb(r,g,b) or a COLORREF number
    VALUE_COLORS,   // two colours C0,C1
    VALUE_PAIR,     // a,b: two 32-bit numbers
    VALUE_RECT,     // left,top,right,bottom (src=: x,y,width,height)
    VALUE_NUMBERS,  // a,b,c,...: 32-bit numbers
    VALUE_POINTS,   // x,y points (16-bit) and generators, polygons split by '|'
    VALUE_SIZE,     // WxH, 1 to 4096 each way
    VALUE_NAME,     // a new setting's name: a letter or '_', then letters, digits, '_', '-', '.'
    VALUE_SETTING,  // the name of a setting defined earlier (of kind `setting`), or none
    VALUE_STRING,   // "text" with \xNN \\ \" \n \t escapes
    VALUE_FILE,     // a file name, next to the job unless it starts with '/'
    VALUE_HEX,      // bytes as pairs of hex digits
};

// The settings a job defines by name and requests refer to.
enum SettingKind : uint8_t { SETTING_NONE, SETTING_PEN, SETTING_BRUSH, SETTING_DRAWMODE, SETTING_FONT, SETTING_BITMAP };

// A named constant. `mask` is the field of the value the name stands for,
// so a writer can split a combined value into names: 0 for the whole value
// (a plain enumeration), the bit itself for a flag, the field's bits for a
// field within flags (PS_DASH is 0x1 within 0xF).
struct Constant {
    const char *name;
    uint32_t value;
    uint32_t mask;
};

// Names of a set are matched without case and with or without the set's
// prefix or suffix: OUT_RECTANGLE, out_rectangle and rectangle are one name.
// The first name with a given value is the one to write; later ones are
// aliases. The full name always reads back.
struct ConstantSet {
    const char *what; // for messages: "a pen style"
    const char *prefix;
    const char *suffix;
    const Constant *constants;
    uint16_t size;
};

// The tables read best packed, several rows to a line.
// clang-format off
#define GRAMMAR_COUNT(table) ((uint16_t)(sizeof(table) / sizeof((table)[0])))

static const Constant PEN_STYLES[] = {
    {"PS_SOLID", 0, 0xF}, {"PS_DASH", 1, 0xF}, {"PS_DOT", 2, 0xF}, {"PS_DASHDOT", 3, 0xF}, {"PS_DASHDOTDOT", 4, 0xF},
    {"PS_NULL", 5, 0xF}, {"PS_INSIDEFRAME", 6, 0xF}, {"PS_USERSTYLE", 7, 0xF}, {"PS_ALTERNATE", 8, 0xF},
    {"PS_ENDCAP_ROUND", 0, 0xF00}, {"PS_ENDCAP_SQUARE", 0x100, 0xF00}, {"PS_ENDCAP_FLAT", 0x200, 0xF00},
    {"PS_JOIN_ROUND", 0, 0xF000}, {"PS_JOIN_BEVEL", 0x1000, 0xF000}, {"PS_JOIN_MITER", 0x2000, 0xF000},
    {"PS_COSMETIC", 0, 0xF0000}, {"PS_GEOMETRIC", 0x10000, 0xF0000},
};

static const Constant BRUSH_STYLES[] = {
    {"BS_SOLID", 0, 0}, {"BS_HOLLOW", 1, 0}, {"BS_NULL", 1, 0}, {"BS_HATCHED", 2, 0}, {"BS_PATTERN", 3, 0},
};

static const Constant HATCHES[] = {
    {"HS_HORIZONTAL", 0, 0}, {"HS_VERTICAL", 1, 0}, {"HS_FDIAGONAL", 2, 0}, {"HS_BDIAGONAL", 3, 0},
    {"HS_CROSS", 4, 0}, {"HS_DIAGCROSS", 5, 0},
};

static const Constant ROP2S[] = {
    {"R2_BLACK", 1, 0}, {"R2_NOTMERGEPEN", 2, 0}, {"R2_MASKNOTPEN", 3, 0}, {"R2_NOTCOPYPEN", 4, 0},
    {"R2_MASKPENNOT", 5, 0}, {"R2_NOT", 6, 0}, {"R2_XORPEN", 7, 0}, {"R2_NOTMASKPEN", 8, 0}, {"R2_MASKPEN", 9, 0},
    {"R2_NOTXORPEN", 10, 0}, {"R2_NOP", 11, 0}, {"R2_MERGENOTPEN", 12, 0}, {"R2_COPYPEN", 13, 0},
    {"R2_MERGEPENNOT", 14, 0}, {"R2_MERGEPEN", 15, 0}, {"R2_WHITE", 16, 0},
};

static const Constant ROP3S[] = {
    {"SRCCOPY", 0x00CC0020, 0}, {"SRCPAINT", 0x00EE0086, 0}, {"SRCAND", 0x008800C6, 0}, {"SRCINVERT", 0x00660046, 0},
    {"SRCERASE", 0x00440328, 0}, {"NOTSRCCOPY", 0x00330008, 0}, {"NOTSRCERASE", 0x001100A6, 0},
    {"MERGECOPY", 0x00C000CA, 0}, {"MERGEPAINT", 0x00BB0226, 0}, {"PATCOPY", 0x00F00021, 0},
    {"PATPAINT", 0x00FB0A09, 0}, {"PATINVERT", 0x005A0049, 0}, {"DSTINVERT", 0x00550009, 0},
    {"BLACKNESS", 0x00000042, 0}, {"WHITENESS", 0x00FF0062, 0},
};

static const Constant BK_MODES[] = {{"TRANSPARENT", 1, 0}, {"OPAQUE", 2, 0}};

static const Constant TEXT_OUT_OPTIONS[] = {
    {"ETO_OPAQUE", 0x02, 0x02}, {"ETO_CLIPPED", 0x04, 0x04}, {"ETO_GLYPH_INDEX", 0x10, 0x10},
    {"ETO_RTLREADING", 0x80, 0x80}, {"ETO_NUMERICSLOCAL", 0x400, 0x400}, {"ETO_NUMERICSLATIN", 0x800, 0x800},
    {"ETO_IGNORELANGUAGE", 0x1000, 0x1000}, {"ETO_PDY", 0x2000, 0x2000},
};

static const Constant CHARSETS[] = {
    {"ANSI_CHARSET", 0, 0}, {"DEFAULT_CHARSET", 1, 0}, {"SYMBOL_CHARSET", 2, 0}, {"MAC_CHARSET", 77, 0},
    {"SHIFTJIS_CHARSET", 128, 0}, {"HANGEUL_CHARSET", 129, 0}, {"HANGUL_CHARSET", 129, 0}, {"JOHAB_CHARSET", 130, 0},
    {"GB2312_CHARSET", 134, 0}, {"CHINESEBIG5_CHARSET", 136, 0}, {"GREEK_CHARSET", 161, 0},
    {"TURKISH_CHARSET", 162, 0}, {"VIETNAMESE_CHARSET", 163, 0}, {"HEBREW_CHARSET", 177, 0},
    {"ARABIC_CHARSET", 178, 0}, {"BALTIC_CHARSET", 186, 0}, {"RUSSIAN_CHARSET", 204, 0}, {"THAI_CHARSET", 222, 0},
    {"EASTEUROPE_CHARSET", 238, 0}, {"OEM_CHARSET", 255, 0},
};

static const Constant WEIGHTS[] = {
    {"FW_DONTCARE", 0, 0}, {"FW_THIN", 100, 0}, {"FW_EXTRALIGHT", 200, 0}, {"FW_LIGHT", 300, 0},
    {"FW_NORMAL", 400, 0}, {"FW_REGULAR", 400, 0}, {"FW_MEDIUM", 500, 0}, {"FW_SEMIBOLD", 600, 0},
    {"FW_BOLD", 700, 0}, {"FW_EXTRABOLD", 800, 0}, {"FW_HEAVY", 900, 0}, {"FW_BLACK", 900, 0},
};

static const Constant QUALITIES[] = {
    {"DEFAULT_QUALITY", 0, 0}, {"DRAFT_QUALITY", 1, 0}, {"PROOF_QUALITY", 2, 0}, {"NONANTIALIASED_QUALITY", 3, 0},
    {"ANTIALIASED_QUALITY", 4, 0}, {"CLEARTYPE_QUALITY", 5, 0},
};

// Colour names, as 0xRRGGBB (a COLORREF holds them as 0x00BBGGRR).
static const Constant COLORS[] = {
    {"black", 0x000000, 0}, {"white", 0xFFFFFF, 0}, {"red", 0xFF0000, 0}, {"green", 0x008000, 0},
    {"lime", 0x00FF00, 0}, {"blue", 0x0000FF, 0}, {"yellow", 0xFFFF00, 0}, {"cyan", 0x00FFFF, 0},
    {"aqua", 0x00FFFF, 0}, {"magenta", 0xFF00FF, 0}, {"fuchsia", 0xFF00FF, 0}, {"gray", 0x808080, 0},
    {"grey", 0x808080, 0}, {"silver", 0xC0C0C0, 0}, {"lightgray", 0xD3D3D3, 0}, {"lightgrey", 0xD3D3D3, 0},
    {"darkgray", 0x404040, 0}, {"darkgrey", 0x404040, 0}, {"maroon", 0x800000, 0}, {"navy", 0x000080, 0},
    {"olive", 0x808000, 0}, {"purple", 0x800080, 0}, {"teal", 0x008080, 0}, {"orange", 0xFFA500, 0},
    {"brown", 0xA52A2A, 0}, {"pink", 0xFFC0CB, 0}, {"gold", 0xFFD700, 0}, {"skyblue", 0x87CEEB, 0},
    {"beige", 0xF5F5DC, 0}, {"ivory", 0xFFFFF0, 0}, {"darkgreen", 0x006400, 0}, {"darkblue", 0x00008B, 0},
    {"darkred", 0x8B0000, 0}, {"steelblue", 0x4682B4, 0}, {"tomato", 0xFF6347, 0}, {"wheat", 0xF5DEB3, 0},
    {"khaki", 0xF0E68C, 0},
};

// Words that choose one of a few things.
enum Release : uint8_t { RELEASE_PEN, RELEASE_BRUSH, RELEASE_PATTERN, RELEASE_SCAN };
static const Constant RELEASES[] = {
    {"pen", RELEASE_PEN, 0}, {"brush", RELEASE_BRUSH, 0}, {"pattern", RELEASE_PATTERN, 0}, {"scan", RELEASE_SCAN, 0},
};
static const Constant RELEASE_TIMES[] = {{"auto", 1, 0}, {"manual", 0, 0}};
static const Constant SETTING_KINDS[] = {
    {"pen", SETTING_PEN, 0}, {"brush", SETTING_BRUSH, 0}, {"drawmode", SETTING_DRAWMODE, 0},
    {"mode", SETTING_DRAWMODE, 0}, {"font", SETTING_FONT, 0},
};
// bits and dib: a bitmap exactly as a driver held it, as captures write it.
enum BitmapShape : uint8_t { SHAPE_COLOR, SHAPE_MONO, SHAPE_BITS, SHAPE_DIB };
static const Constant BITMAP_SHAPES[] = {
    {"mono", SHAPE_MONO, 0}, {"color", SHAPE_COLOR, 0}, {"colour", SHAPE_COLOR, 0},
    {"bits", SHAPE_BITS, 0}, {"dib", SHAPE_DIB, 0}};

static const ConstantSet SET_PEN_STYLES = {"a pen style", "PS_", "", PEN_STYLES, GRAMMAR_COUNT(PEN_STYLES)};
static const ConstantSet SET_BRUSH_STYLES = {"a brush style", "BS_", "", BRUSH_STYLES, GRAMMAR_COUNT(BRUSH_STYLES)};
static const ConstantSet SET_HATCHES = {"a hatch style", "HS_", "", HATCHES, GRAMMAR_COUNT(HATCHES)};
static const ConstantSet SET_ROP2S = {"a binary raster operation", "R2_", "", ROP2S, GRAMMAR_COUNT(ROP2S)};
static const ConstantSet SET_ROP3S = {"a ternary raster operation", "", "", ROP3S, GRAMMAR_COUNT(ROP3S)};
static const ConstantSet SET_BK_MODES = {"a background mode", "", "", BK_MODES, GRAMMAR_COUNT(BK_MODES)};
static const ConstantSet SET_TEXT_OUT_OPTIONS = {"text options", "ETO_", "", TEXT_OUT_OPTIONS,
                                                 GRAMMAR_COUNT(TEXT_OUT_OPTIONS)};
static const ConstantSet SET_CHARSETS = {"a character set", "", "_CHARSET", CHARSETS, GRAMMAR_COUNT(CHARSETS)};
static const ConstantSet SET_WEIGHTS = {"a font weight", "FW_", "", WEIGHTS, GRAMMAR_COUNT(WEIGHTS)};
static const ConstantSet SET_QUALITIES = {"a font quality", "", "_QUALITY", QUALITIES, GRAMMAR_COUNT(QUALITIES)};
static const ConstantSet SET_COLORS = {"a colour name", "", "", COLORS, GRAMMAR_COUNT(COLORS)};
static const ConstantSet SET_RELEASES = {"what to release", "", "", RELEASES, GRAMMAR_COUNT(RELEASES)};
static const ConstantSet SET_RELEASE_TIMES = {"when to release", "", "", RELEASE_TIMES, GRAMMAR_COUNT(RELEASE_TIMES)};
static const ConstantSet SET_SETTING_KINDS = {"a setting kind", "", "", SETTING_KINDS, GRAMMAR_COUNT(SETTING_KINDS)};
static const ConstantSet SET_BITMAP_SHAPES = {"a bitmap kind", "", "", BITMAP_SHAPES, GRAMMAR_COUNT(BITMAP_SHAPES)};

// Where a value goes: one name per field of the records a job fills, so
// the parser stores it and a writer finds the row for a field it holds.
enum Field : uint8_t {
    FIELD_NONE,
    // shared by requests
    FIELD_PEN, FIELD_BRUSH, FIELD_DRAWMODE, FIELD_FONT, FIELD_CLIP, FIELD_EXPECT,
    // settings
    FIELD_NAME, FIELD_PEN_STYLE, FIELD_PEN_WIDTH, FIELD_PEN_COLOR, FIELD_BRUSH_STYLE, FIELD_BRUSH_COLOR,
    FIELD_BRUSH_HATCH, FIELD_BRUSH_PATTERN, FIELD_ROP2, FIELD_BK_MODE, FIELD_BK_COLOR, FIELD_TEXT_COLOR,
    FIELD_USE_BK_MODE, FIELD_FONT_HEIGHT, FIELD_FONT_WIDTH, FIELD_FONT_ESCAPEMENT, FIELD_FONT_ORIENTATION,
    FIELD_FONT_ANGLE, FIELD_FONT_WEIGHT, FIELD_FONT_ITALIC, FIELD_FONT_UNDERLINE, FIELD_FONT_STRIKEOUT,
    FIELD_FONT_CHARSET, FIELD_FONT_OUT_PRECISION, FIELD_FONT_CLIP_PRECISION, FIELD_FONT_QUALITY,
    FIELD_FONT_PITCH_AND_FAMILY, FIELD_FONT_FACE, FIELD_BITMAP_SHAPE, FIELD_BITMAP_SIZE, FIELD_BITMAP_FILE,
    FIELD_BITMAP_DEPTH, FIELD_BITMAP_COLORS, FIELD_SELECT_KIND, FIELD_SELECT_NAME,
    // requests
    FIELD_PAGE_SIZE, FIELD_PAGE_FRAME, FIELD_PAGE_DEVICE, FIELD_STYLE, FIELD_POINTS, FIELD_POINT_FILE,
    FIELD_GEOMETRIC, FIELD_SCAN_FLAG, FIELD_COUNT, FIELD_RELEASE_TIME, FIELD_DEST, FIELD_DEST_SIZE, FIELD_SOURCE,
    FIELD_SOURCE_RECT, FIELD_ROP3, FIELD_TEXT_POINT, FIELD_TEXT_STRING, FIELD_TEXT_OPTIONS, FIELD_TEXT_RECT,
    FIELD_ADVANCES, FIELD_ADVANCE, FIELD_GLYPHS, FIELD_RELEASE,
    // what captures write beyond what a hand does
    FIELD_PEN_WIDTH_Y, FIELD_BITMAP_BITS_PIXEL, FIELD_BITMAP_PLANES, FIELD_BITMAP_WIDTH_BYTES, FIELD_BITMAP_TYPE,
    FIELD_BITMAP_INFO_SIZE, FIELD_BITMAP_BITS_SIZE, FIELD_PAGE_DEVMODE, FIELD_POLYGON_COUNTS,
};

// Positional arguments: which may be left out, which may be `none`, and
// which may also stand after the options. Positional arguments come in
// table order; VALUE_POINTS takes every positional token that follows.
enum ArgumentFlag : uint8_t { ARGUMENT_OPTIONAL = 1, ARGUMENT_NONE = 2, ARGUMENT_LATE = 4 };

struct Argument {
    const char *name; // for messages and the reference: "x,y"
    ValueKind kind;
    Field field;
    uint8_t flags;
    const ConstantSet *constants; // VALUE_CONSTANT and VALUE_CHOICE
    SettingKind setting;          // VALUE_SETTING
};

struct Option {
    const char *name;    // the name to write
    const char *aliases; // other names read, separated by ' ', or nullptr
    ValueKind kind;
    Field field;
    const ConstantSet *constants;
    SettingKind setting;
    const char *help; // one line for the reference
};

enum KeywordKind : uint8_t { KEYWORD_SETTING, KEYWORD_REQUEST };

enum KeywordId : uint8_t {
    KEYWORD_PEN, KEYWORD_BRUSH, KEYWORD_DRAWMODE, KEYWORD_FONT, KEYWORD_BITMAP, KEYWORD_SELECT, KEYWORD_PAGE,
    KEYWORD_CLIP, KEYWORD_OUTPUT, KEYWORD_RASTER, KEYWORD_DIB, KEYWORD_TEXT, KEYWORD_DELETE, KEYWORD_CLOSE,
};

struct Keyword {
    const char *name;
    const char *alias; // or nullptr
    KeywordId id;
    KeywordKind kind;
    const Argument *arguments;
    uint8_t argumentCount;
    const Option *options;
    uint8_t optionCount;
    const char *help; // one line for the reference: what it does, which export
};

// Options that several requests share: one row each, used by every keyword
// that takes them.
#define GRAMMAR_OPTION_PEN                                                                                             \
    {                                                                                                                  \
        "pen", nullptr, VALUE_SETTING, FIELD_PEN, nullptr, SETTING_PEN, "pen for this line"                            \
    }
#define GRAMMAR_OPTION_BRUSH                                                                                           \
    {                                                                                                                  \
        "brush", nullptr, VALUE_SETTING, FIELD_BRUSH, nullptr, SETTING_BRUSH, "brush for this line"                    \
    }
#define GRAMMAR_OPTION_MODE                                                                                            \
    {                                                                                                                  \
        "mode", "drawmode", VALUE_SETTING, FIELD_DRAWMODE, nullptr, SETTING_DRAWMODE, "draw mode for this line"        \
    }
#define GRAMMAR_OPTION_EXPECT                                                                                          \
    {                                                                                                                  \
        "expect", nullptr, VALUE_NUMBER, FIELD_EXPECT, nullptr, SETTING_NONE, "result the export must give (else 0)"   \
    }

static const Argument NAME_ARGUMENT[] = {{"NAME", VALUE_NAME, FIELD_NAME, 0, nullptr, SETTING_NONE}};

static const Option PEN_OPTIONS[] = {
    {"style", nullptr, VALUE_CONSTANT, FIELD_PEN_STYLE, &SET_PEN_STYLES, SETTING_NONE, "lopnStyle"},
    {"width", nullptr, VALUE_NUMBER, FIELD_PEN_WIDTH, nullptr, SETTING_NONE, "lopnWidth.x"},
    {"widthy", nullptr, VALUE_NUMBER, FIELD_PEN_WIDTH_Y, nullptr, SETTING_NONE, "lopnWidth.y (not read by the DLL)"},
    {"color", "colour", VALUE_COLOR, FIELD_PEN_COLOR, nullptr, SETTING_NONE, "lopnColor"},
};

static const Option BRUSH_OPTIONS[] = {
    {"style", nullptr, VALUE_CONSTANT, FIELD_BRUSH_STYLE, &SET_BRUSH_STYLES, SETTING_NONE, "lbStyle"},
    {"color", "colour", VALUE_COLOR, FIELD_BRUSH_COLOR, nullptr, SETTING_NONE, "lbColor"},
    {"hatch", nullptr, VALUE_CONSTANT, FIELD_BRUSH_HATCH, &SET_HATCHES, SETTING_NONE, "lbHatch of a hatched brush"},
    {"pattern", "bitmap", VALUE_SETTING, FIELD_BRUSH_PATTERN, nullptr, SETTING_BITMAP,
     "the bitmap of a BS_PATTERN brush, or the dib bitmap of a style=6 one; none for a null record"},
};

static const Option DRAWMODE_OPTIONS[] = {
    {"rop2", nullptr, VALUE_CONSTANT, FIELD_ROP2, &SET_ROP2S, SETTING_NONE, "rop2, set with SetROP2"},
    {"bkmode", nullptr, VALUE_CONSTANT, FIELD_BK_MODE, &SET_BK_MODES, SETTING_NONE, "bkMode"},
    {"bk", "bkcolor bkcolour", VALUE_COLOR, FIELD_BK_COLOR, nullptr, SETTING_NONE, "background colour"},
    {"text", "textcolor textcolour", VALUE_COLOR, FIELD_TEXT_COLOR, nullptr, SETTING_NONE, "text colour"},
    {"usebkmode", nullptr, VALUE_CONSTANT, FIELD_USE_BK_MODE, nullptr, SETTING_NONE, "Raster32: use bkmode"},
};

static const Option FONT_OPTIONS[] = {
    {"height", nullptr, VALUE_NUMBER, FIELD_FONT_HEIGHT, nullptr, SETTING_NONE, "lfHeight (default -16)"},
    {"width", nullptr, VALUE_NUMBER, FIELD_FONT_WIDTH, nullptr, SETTING_NONE, "lfWidth"},
    {"escapement", nullptr, VALUE_NUMBER, FIELD_FONT_ESCAPEMENT, nullptr, SETTING_NONE, "tenths of a degree"},
    {"orientation", nullptr, VALUE_NUMBER, FIELD_FONT_ORIENTATION, nullptr, SETTING_NONE, "tenths of a degree"},
    {"angle", nullptr, VALUE_NUMBER, FIELD_FONT_ANGLE, nullptr, SETTING_NONE, "escapement and orientation"},
    {"weight", nullptr, VALUE_CONSTANT, FIELD_FONT_WEIGHT, &SET_WEIGHTS, SETTING_NONE, "lfWeight"},
    {"italic", nullptr, VALUE_BYTE, FIELD_FONT_ITALIC, nullptr, SETTING_NONE, "lfItalic"},
    {"underline", nullptr, VALUE_BYTE, FIELD_FONT_UNDERLINE, nullptr, SETTING_NONE, "lfUnderline"},
    {"strikeout", nullptr, VALUE_BYTE, FIELD_FONT_STRIKEOUT, nullptr, SETTING_NONE, "lfStrikeOut"},
    {"charset", nullptr, VALUE_CONSTANT, FIELD_FONT_CHARSET, &SET_CHARSETS, SETTING_NONE, "lfCharSet"},
    {"quality", nullptr, VALUE_CONSTANT, FIELD_FONT_QUALITY, &SET_QUALITIES, SETTING_NONE, "lfQuality"},
    {"outprecision", nullptr, VALUE_BYTE, FIELD_FONT_OUT_PRECISION, nullptr, SETTING_NONE, "lfOutPrecision"},
    {"clipprecision", nullptr, VALUE_BYTE, FIELD_FONT_CLIP_PRECISION, nullptr, SETTING_NONE, "lfClipPrecision"},
    {"pitchandfamily", nullptr, VALUE_BYTE, FIELD_FONT_PITCH_AND_FAMILY, nullptr, SETTING_NONE, "lfPitchAndFamily"},
    {"face", nullptr, VALUE_STRING, FIELD_FONT_FACE, nullptr, SETTING_NONE, "lfFaceName, at most 31 bytes"},
};

static const Argument BITMAP_ARGUMENTS[] = {
    {"NAME", VALUE_NAME, FIELD_NAME, 0, nullptr, SETTING_NONE},
    {"mono|color|bits|dib", VALUE_CHOICE, FIELD_BITMAP_SHAPE, ARGUMENT_OPTIONAL, &SET_BITMAP_SHAPES, SETTING_NONE},
    {"WxH", VALUE_SIZE, FIELD_BITMAP_SIZE, ARGUMENT_OPTIONAL, nullptr, SETTING_NONE},
};

static const Option BITMAP_OPTIONS[] = {
    {"file", nullptr, VALUE_FILE, FIELD_BITMAP_FILE, nullptr, SETTING_NONE,
     ".bmp (1/4/8/24/32-bit), .pbm (P1) or .ppm (P3), instead of rows"},
    {"depth", nullptr, VALUE_NUMBER, FIELD_BITMAP_DEPTH, nullptr, SETTING_NONE, "24 or 32: a colour bitmap's bits"},
    {"colors", "colours", VALUE_COLORS, FIELD_BITMAP_COLORS, nullptr, SETTING_NONE,
     "colour table of a mono bitmap sent as a DIB"},
    {"bpp", nullptr, VALUE_U16, FIELD_BITMAP_BITS_PIXEL, nullptr, SETTING_NONE, "bits: bmBitsPixel"},
    {"planes", nullptr, VALUE_U16, FIELD_BITMAP_PLANES, nullptr, SETTING_NONE, "bits: bmPlanes"},
    {"widthbytes", nullptr, VALUE_NUMBER, FIELD_BITMAP_WIDTH_BYTES, nullptr, SETTING_NONE, "bits: bmWidthBytes"},
    {"type", nullptr, VALUE_NUMBER, FIELD_BITMAP_TYPE, nullptr, SETTING_NONE, "bits: bmType"},
    {"info", nullptr, VALUE_NUMBER, FIELD_BITMAP_INFO_SIZE, nullptr, SETTING_NONE,
     "dib: bytes of header and colour table before the bits (0: no header)"},
    {"bits", nullptr, VALUE_NUMBER, FIELD_BITMAP_BITS_SIZE, nullptr, SETTING_NONE,
     "dib: bytes of bits; bits=none (bits or dib) passes no bits"},
};

static const Argument SELECT_ARGUMENTS[] = {
    {"pen|brush|drawmode|font", VALUE_CHOICE, FIELD_SELECT_KIND, 0, &SET_SETTING_KINDS, SETTING_NONE},
    {"NAME", VALUE_SETTING, FIELD_SELECT_NAME, ARGUMENT_NONE, nullptr, SETTING_NONE},
};

static const Option PAGE_OPTIONS[] = {
    {"size", nullptr, VALUE_PAIR, FIELD_PAGE_SIZE, nullptr, SETTING_NONE, "W,H in logical units"},
    {"frame", nullptr, VALUE_RECT, FIELD_PAGE_FRAME, nullptr, SETTING_NONE, "picture frame in 0.01 mm, or none"},
    {"device", nullptr, VALUE_STRING, FIELD_PAGE_DEVICE, nullptr, SETTING_NONE, "printer device name"},
    {"devmode", nullptr, VALUE_HEX, FIELD_PAGE_DEVMODE, nullptr, SETTING_NONE,
     "the DEVMODEA handed to GetEmfFileDC32 (else none), dmSize + dmDriverExtra bytes"},
    GRAMMAR_OPTION_EXPECT,
};

static const Argument CLIP_ARGUMENTS[] = {{"L,T,R,B", VALUE_RECT, FIELD_CLIP, ARGUMENT_NONE, nullptr, SETTING_NONE}};
static const Option EXPECT_OPTIONS[] = {GRAMMAR_OPTION_EXPECT};

static const Argument OUTPUT_ARGUMENTS[] = {
    {"STYLE", VALUE_STYLE, FIELD_STYLE, 0, nullptr, SETTING_NONE},
    {"POINTS", VALUE_POINTS, FIELD_POINTS, ARGUMENT_OPTIONAL | ARGUMENT_LATE, nullptr, SETTING_NONE},
};

static const Option OUTPUT_OPTIONS[] = {
    {"points", nullptr, VALUE_FILE, FIELD_POINT_FILE, nullptr, SETTING_NONE, "x y pairs from a file"},
    GRAMMAR_OPTION_PEN,
    GRAMMAR_OPTION_BRUSH,
    GRAMMAR_OPTION_MODE,
    {"clip", nullptr, VALUE_RECT, FIELD_CLIP, nullptr, SETTING_NONE, "clip rectangle l,t,r,b or none"},
    {"geom", "geometric", VALUE_CONSTANT, FIELD_GEOMETRIC, &SET_PEN_STYLES, SETTING_NONE, "geometricPenStyle"},
    {"scan", "scanflag", VALUE_U16, FIELD_SCAN_FLAG, nullptr, SETTING_NONE, "scanFlag"},
    {"count", nullptr, VALUE_U16, FIELD_COUNT, nullptr, SETTING_NONE, "count (else what the points give)"},
    {"counts", nullptr, VALUE_NUMBERS, FIELD_POLYGON_COUNTS, nullptr, SETTING_NONE,
     "poly-polygons: the vertex counts, points then run on without '|' (empty polygons, refused counts)"},
    {"release", nullptr, VALUE_CHOICE, FIELD_RELEASE_TIME, &SET_RELEASE_TIMES, SETTING_NONE,
     "endscan: release the bracket's objects at once, or by delete lines"},
    GRAMMAR_OPTION_EXPECT,
};

static const Argument RASTER_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_DEST, 0, nullptr, SETTING_NONE},
    {"W,H", VALUE_PAIR, FIELD_DEST_SIZE, 0, nullptr, SETTING_NONE},
    {"BITMAP", VALUE_SETTING, FIELD_SOURCE, ARGUMENT_NONE, nullptr, SETTING_BITMAP},
};

static const Argument DIB_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_DEST, 0, nullptr, SETTING_NONE},
    {"W,H", VALUE_PAIR, FIELD_DEST_SIZE, 0, nullptr, SETTING_NONE},
    {"BITMAP", VALUE_SETTING, FIELD_SOURCE, 0, nullptr, SETTING_BITMAP},
};

static const Option TRANSFER_OPTIONS[] = {
    {"src", nullptr, VALUE_RECT, FIELD_SOURCE_RECT, nullptr, SETTING_NONE, "source x,y,width,height"},
    {"rop", nullptr, VALUE_CONSTANT, FIELD_ROP3, &SET_ROP3S, SETTING_NONE, "SRCCOPY with a bitmap, else PATCOPY"},
    GRAMMAR_OPTION_BRUSH,
    GRAMMAR_OPTION_MODE,
    GRAMMAR_OPTION_EXPECT,
};

static const Argument TEXT_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_TEXT_POINT, 0, nullptr, SETTING_NONE},
    {"\"string\"", VALUE_STRING, FIELD_TEXT_STRING, ARGUMENT_OPTIONAL | ARGUMENT_LATE, nullptr, SETTING_NONE},
};

static const Option TEXT_OPTIONS[] = {
    {"font", nullptr, VALUE_SETTING, FIELD_FONT, nullptr, SETTING_FONT, "font for this line"},
    GRAMMAR_OPTION_MODE,
    {"options", nullptr, VALUE_CONSTANT, FIELD_TEXT_OPTIONS, &SET_TEXT_OUT_OPTIONS, SETTING_NONE, "ETO_ flags"},
    {"rect", nullptr, VALUE_RECT, FIELD_TEXT_RECT, nullptr, SETTING_NONE, "opaque or clip rectangle"},
    {"advances", nullptr, VALUE_NUMBERS, FIELD_ADVANCES, nullptr, SETTING_NONE, "one advance per byte or glyph"},
    {"advance", nullptr, VALUE_NUMBER, FIELD_ADVANCE, nullptr, SETTING_NONE, "the same advance for each"},
    {"glyphs", nullptr, VALUE_NUMBERS, FIELD_GLYPHS, nullptr, SETTING_NONE,
     "glyph indices instead of a string (ETO_GLYPH_INDEX)"},
    GRAMMAR_OPTION_EXPECT,
};

static const Argument DELETE_ARGUMENTS[] = {
    {"pen|brush|pattern|scan", VALUE_CHOICE, FIELD_RELEASE, 0, &SET_RELEASES, SETTING_NONE},
};

#define GRAMMAR_ROWS(table) table, GRAMMAR_COUNT(table)
static const Keyword KEYWORDS[] = {
    {"pen", nullptr, KEYWORD_PEN, KEYWORD_SETTING, GRAMMAR_ROWS(NAME_ARGUMENT), GRAMMAR_ROWS(PEN_OPTIONS), "a LOGPEN"},
    {"brush", nullptr, KEYWORD_BRUSH, KEYWORD_SETTING, GRAMMAR_ROWS(NAME_ARGUMENT), GRAMMAR_ROWS(BRUSH_OPTIONS),
     "a LOGBRUSH"},
    {"drawmode", "mode", KEYWORD_DRAWMODE, KEYWORD_SETTING, GRAMMAR_ROWS(NAME_ARGUMENT), GRAMMAR_ROWS(DRAWMODE_OPTIONS),
     "a draw-mode record"},
    {"font", nullptr, KEYWORD_FONT, KEYWORD_SETTING, GRAMMAR_ROWS(NAME_ARGUMENT), GRAMMAR_ROWS(FONT_OPTIONS),
     "a LOGFONTA"},
    {"bitmap", nullptr, KEYWORD_BITMAP, KEYWORD_SETTING, GRAMMAR_ROWS(BITMAP_ARGUMENTS), GRAMMAR_ROWS(BITMAP_OPTIONS),
     "a bitmap: mono or color WxH with rows then `end`, or file=; bits WxH or dib: bytes in hex rows, `end`"},
    {"select", "use", KEYWORD_SELECT, KEYWORD_SETTING, GRAMMAR_ROWS(SELECT_ARGUMENTS), nullptr, 0,
     "makes a setting (or none) the one later requests use"},
    {"page", nullptr, KEYWORD_PAGE, KEYWORD_REQUEST, nullptr, 0, GRAMMAR_ROWS(PAGE_OPTIONS),
     "GetEmfFilePath32 + GetEmfFileDC32; closes an open page first (default A4)"},
    {"clip", nullptr, KEYWORD_CLIP, KEYWORD_REQUEST, GRAMMAR_ROWS(CLIP_ARGUMENTS), GRAMMAR_ROWS(EXPECT_OPTIONS),
     "SetClipRect32"},
    {"output", nullptr, KEYWORD_OUTPUT, KEYWORD_REQUEST, GRAMMAR_ROWS(OUTPUT_ARGUMENTS), GRAMMAR_ROWS(OUTPUT_OPTIONS),
     "Output32"},
    {"raster", nullptr, KEYWORD_RASTER, KEYWORD_REQUEST, GRAMMAR_ROWS(RASTER_ARGUMENTS), GRAMMAR_ROWS(TRANSFER_OPTIONS),
     "Raster32"},
    {"dib", nullptr, KEYWORD_DIB, KEYWORD_REQUEST, GRAMMAR_ROWS(DIB_ARGUMENTS), GRAMMAR_ROWS(TRANSFER_OPTIONS),
     "Dib32 (the bitmap as a 24-bit or 1-bit DIB)"},
    {"text", nullptr, KEYWORD_TEXT, KEYWORD_REQUEST, GRAMMAR_ROWS(TEXT_ARGUMENTS), GRAMMAR_ROWS(TEXT_OPTIONS),
     "TextOut32"},
    {"delete", nullptr, KEYWORD_DELETE, KEYWORD_REQUEST, GRAMMAR_ROWS(DELETE_ARGUMENTS), GRAMMAR_ROWS(EXPECT_OPTIONS),
     "DeleteObject32 on what `output beginscan` handed out"},
    {"close", nullptr, KEYWORD_CLOSE, KEYWORD_REQUEST, nullptr, 0, nullptr, 0, "CloseEmfFile32 (also at the end)"},
};
#undef GRAMMAR_ROWS

// Point generators, for shapes a hand would not type ("star:cx,cy,...").
struct Generator {
    const char *name;
    const char *arguments;
    uint8_t argumentCount;
    const char *help;
};

static const Generator GENERATORS[] = {
    {"star", "cx,cy,outer,inner,spikes", 5, "2*spikes points"},
    {"arc", "cx,cy,rx,ry,fromDegrees,toDegrees,n", 7, "n points; y grows downward, angles counter-clockwise"},
    {"wave", "x0,y0,x1,amplitude,period,n", 6, "n points of a sine wave"},
};

// The row of a keyword by its id, and of an option by the field it fills
// (nullptr when the keyword has no such option).
inline const Keyword *KeywordById(KeywordId id)
{
    for (size_t i = 0; i < sizeof KEYWORDS / sizeof KEYWORDS[0]; ++i) {
        if (KEYWORDS[i].id == id) {
            return &KEYWORDS[i];
        }
    }
    return nullptr;
}

inline const Option *OptionByField(const Keyword &keyword, Field field)
{
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        if (keyword.options[i].field == field) {
            return &keyword.options[i];
        }
    }
    return nullptr;
}

// The first name of a set with exactly that value, or nullptr.
inline const char *ConstantName(const ConstantSet &set, uint32_t value)
{
    for (uint16_t i = 0; i < set.size; ++i) {
        if (set.constants[i].value == value) {
            return set.constants[i].name;
        }
    }
    return nullptr;
}

// clang-format on
} // namespace grammar

#endif
