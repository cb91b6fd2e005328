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
// src/requestmodel/output_styles.h; a value of kind VALUE_STYLE is
// looked up there with the same name rules (prefix "OUT_").
#ifndef QUILLREC_JOB_GRAMMAR_H
#define QUILLREC_JOB_GRAMMAR_H

#include <stddef.h>
#include <stdint.h>

namespace grammar {

// A capture's first line starts with the mark, so the parser reads it as a
// capture (any call order the DLL accepts); captures that give each answer on
// a result line after the call say so on the second.
#define GRAMMAR_CAPTURE_MARK "; Captured by the capture build of QUILLREC.dll"
#define GRAMMAR_CAPTURE_ANSWERS "; Each request's result follows on a result line"

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
    uint32_t mask = 0;
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
// A set and its names: GRAMMAR_SET(SET_X, what, prefix, suffix, {"NAME", value[, mask]}, ...).
#define GRAMMAR_SET(set, what, prefix, suffix, ...)                                                                    \
    static const Constant set##_NAMES[] = {__VA_ARGS__};                                                               \
    static const ConstantSet set = {what, prefix, suffix, set##_NAMES, GRAMMAR_COUNT(set##_NAMES)};

GRAMMAR_SET(SET_PEN_STYLES, "a pen style", "PS_", "",
    {"PS_SOLID", 0, 0xF}, {"PS_DASH", 1, 0xF}, {"PS_DOT", 2, 0xF}, {"PS_DASHDOT", 3, 0xF}, {"PS_DASHDOTDOT", 4, 0xF},
    {"PS_NULL", 5, 0xF}, {"PS_INSIDEFRAME", 6, 0xF}, {"PS_USERSTYLE", 7, 0xF}, {"PS_ALTERNATE", 8, 0xF},
    {"PS_ENDCAP_ROUND", 0, 0xF00}, {"PS_ENDCAP_SQUARE", 0x100, 0xF00}, {"PS_ENDCAP_FLAT", 0x200, 0xF00},
    {"PS_JOIN_ROUND", 0, 0xF000}, {"PS_JOIN_BEVEL", 0x1000, 0xF000}, {"PS_JOIN_MITER", 0x2000, 0xF000},
    {"PS_COSMETIC", 0, 0xF0000}, {"PS_GEOMETRIC", 0x10000, 0xF0000})

GRAMMAR_SET(SET_BRUSH_STYLES, "a brush style", "BS_", "",
    {"BS_SOLID", 0}, {"BS_HOLLOW", 1}, {"BS_NULL", 1}, {"BS_HATCHED", 2}, {"BS_PATTERN", 3})

GRAMMAR_SET(SET_HATCHES, "a hatch style", "HS_", "",
    {"HS_HORIZONTAL", 0}, {"HS_VERTICAL", 1}, {"HS_FDIAGONAL", 2}, {"HS_BDIAGONAL", 3}, {"HS_CROSS", 4},
    {"HS_DIAGCROSS", 5})

GRAMMAR_SET(SET_ROP2S, "a binary raster operation", "R2_", "",
    {"R2_BLACK", 1}, {"R2_NOTMERGEPEN", 2}, {"R2_MASKNOTPEN", 3}, {"R2_NOTCOPYPEN", 4}, {"R2_MASKPENNOT", 5},
    {"R2_NOT", 6}, {"R2_XORPEN", 7}, {"R2_NOTMASKPEN", 8}, {"R2_MASKPEN", 9}, {"R2_NOTXORPEN", 10}, {"R2_NOP", 11},
    {"R2_MERGENOTPEN", 12}, {"R2_COPYPEN", 13}, {"R2_MERGEPENNOT", 14}, {"R2_MERGEPEN", 15}, {"R2_WHITE", 16})

GRAMMAR_SET(SET_ROP3S, "a ternary raster operation", "", "",
    {"SRCCOPY", 0x00CC0020}, {"SRCPAINT", 0x00EE0086}, {"SRCAND", 0x008800C6}, {"SRCINVERT", 0x00660046},
    {"SRCERASE", 0x00440328}, {"NOTSRCCOPY", 0x00330008}, {"NOTSRCERASE", 0x001100A6}, {"MERGECOPY", 0x00C000CA},
    {"MERGEPAINT", 0x00BB0226}, {"PATCOPY", 0x00F00021}, {"PATPAINT", 0x00FB0A09}, {"PATINVERT", 0x005A0049},
    {"DSTINVERT", 0x00550009}, {"BLACKNESS", 0x00000042}, {"WHITENESS", 0x00FF0062})

GRAMMAR_SET(SET_BK_MODES, "a background mode", "", "", {"TRANSPARENT", 1}, {"OPAQUE", 2})

GRAMMAR_SET(SET_TEXT_OUT_OPTIONS, "text options", "ETO_", "",
    {"ETO_OPAQUE", 0x02, 0x02}, {"ETO_CLIPPED", 0x04, 0x04}, {"ETO_GLYPH_INDEX", 0x10, 0x10},
    {"ETO_RTLREADING", 0x80, 0x80}, {"ETO_NUMERICSLOCAL", 0x400, 0x400}, {"ETO_NUMERICSLATIN", 0x800, 0x800},
    {"ETO_IGNORELANGUAGE", 0x1000, 0x1000}, {"ETO_PDY", 0x2000, 0x2000})

GRAMMAR_SET(SET_CHARSETS, "a character set", "", "_CHARSET",
    {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"SYMBOL_CHARSET", 2}, {"MAC_CHARSET", 77}, {"SHIFTJIS_CHARSET", 128},
    {"HANGEUL_CHARSET", 129}, {"HANGUL_CHARSET", 129}, {"JOHAB_CHARSET", 130}, {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161}, {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177}, {"ARABIC_CHARSET", 178}, {"BALTIC_CHARSET", 186}, {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222}, {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255})

GRAMMAR_SET(SET_WEIGHTS, "a font weight", "FW_", "",
    {"FW_DONTCARE", 0}, {"FW_THIN", 100}, {"FW_EXTRALIGHT", 200}, {"FW_LIGHT", 300}, {"FW_NORMAL", 400},
    {"FW_REGULAR", 400}, {"FW_MEDIUM", 500}, {"FW_SEMIBOLD", 600}, {"FW_BOLD", 700}, {"FW_EXTRABOLD", 800},
    {"FW_HEAVY", 900}, {"FW_BLACK", 900})

GRAMMAR_SET(SET_QUALITIES, "a font quality", "", "_QUALITY",
    {"DEFAULT_QUALITY", 0}, {"DRAFT_QUALITY", 1}, {"PROOF_QUALITY", 2}, {"NONANTIALIASED_QUALITY", 3},
    {"ANTIALIASED_QUALITY", 4}, {"CLEARTYPE_QUALITY", 5})

// Colour names, as 0xRRGGBB (a COLORREF holds them as 0x00BBGGRR).
GRAMMAR_SET(SET_COLORS, "a colour name", "", "",
    {"black", 0x000000}, {"white", 0xFFFFFF}, {"red", 0xFF0000}, {"green", 0x008000}, {"lime", 0x00FF00},
    {"blue", 0x0000FF}, {"yellow", 0xFFFF00}, {"cyan", 0x00FFFF}, {"aqua", 0x00FFFF}, {"magenta", 0xFF00FF},
    {"fuchsia", 0xFF00FF}, {"gray", 0x808080}, {"grey", 0x808080}, {"silver", 0xC0C0C0}, {"lightgray", 0xD3D3D3},
    {"lightgrey", 0xD3D3D3}, {"darkgray", 0x404040}, {"darkgrey", 0x404040}, {"maroon", 0x800000}, {"navy", 0x000080},
    {"olive", 0x808000}, {"purple", 0x800080}, {"teal", 0x008080}, {"orange", 0xFFA500}, {"brown", 0xA52A2A},
    {"pink", 0xFFC0CB}, {"gold", 0xFFD700}, {"skyblue", 0x87CEEB}, {"beige", 0xF5F5DC}, {"ivory", 0xFFFFF0},
    {"darkgreen", 0x006400}, {"darkblue", 0x00008B}, {"darkred", 0x8B0000}, {"steelblue", 0x4682B4},
    {"tomato", 0xFF6347}, {"wheat", 0xF5DEB3}, {"khaki", 0xF0E68C})

// Words that choose one of a few things.
enum Release : uint8_t { RELEASE_PEN, RELEASE_BRUSH, RELEASE_PATTERN, RELEASE_SCAN, RELEASE_RAW };
GRAMMAR_SET(SET_RELEASES, "what to release", "", "",
    {"pen", RELEASE_PEN}, {"brush", RELEASE_BRUSH}, {"pattern", RELEASE_PATTERN}, {"scan", RELEASE_SCAN},
    {"raw", RELEASE_RAW})
GRAMMAR_SET(SET_RELEASE_TIMES, "when to release", "", "", {"auto", 1}, {"manual", 0})
// The exports a capture names on a call line before it forwards them.
enum CallKind : uint8_t { CALL_TEXT, CALL_PAGE, CALL_PATH };
GRAMMAR_SET(SET_CALLS, "a call", "", "", {"text", CALL_TEXT}, {"page", CALL_PAGE}, {"path", CALL_PATH})
GRAMMAR_SET(SET_SETTING_KINDS, "a setting kind", "", "",
    {"pen", SETTING_PEN}, {"brush", SETTING_BRUSH}, {"drawmode", SETTING_DRAWMODE}, {"mode", SETTING_DRAWMODE},
    {"font", SETTING_FONT})
// bits and dib: a bitmap exactly as a driver held it, as captures write it.
enum BitmapShape : uint8_t { SHAPE_COLOR, SHAPE_MONO, SHAPE_BITS, SHAPE_DIB };
GRAMMAR_SET(SET_BITMAP_SHAPES, "a bitmap kind", "", "",
    {"mono", SHAPE_MONO}, {"color", SHAPE_COLOR}, {"colour", SHAPE_COLOR}, {"bits", SHAPE_BITS}, {"dib", SHAPE_DIB})

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
    FIELD_BITMAP_INFO_SIZE, FIELD_BITMAP_BITS_SIZE, FIELD_PAGE_DEVMODE, FIELD_POLYGON_COUNTS, FIELD_SURFACE,
    FIELD_DELETE_OBJECT, FIELD_DELETE_SELECT_BACK, FIELD_RESULT_OF, FIELD_HANDED_PEN, FIELD_HANDED_OLD_PEN,
    FIELD_HANDED_BRUSH, FIELD_HANDED_OLD_BRUSH, FIELD_HANDED_PATTERN, FIELD_CALL_KIND, FIELD_CALL_OF,
    FIELD_POINT_RAW_FILE, FIELD_POINT_RAW_AT,
    // the workbench printer
    FIELD_PAGE_DPI,
};

// Positional arguments: which may be left out, which may be `none`, and
// which may also stand after the options. Positional arguments come in
// table order; VALUE_POINTS takes every positional token that follows.
// An option marked ARGUMENT_NONE takes `none` too.
enum ArgumentFlag : uint8_t { ARGUMENT_OPTIONAL = 1, ARGUMENT_NONE = 2, ARGUMENT_LATE = 4 };

// The numbers a value may hold beyond what its kind allows, where the record
// field is narrower than the value written or the DLL refuses more.
enum Limit : uint8_t { LIMIT_NONE, LIMIT_BYTE, LIMIT_U16, LIMIT_POSITIVE, LIMIT_BITMAP_BYTES };

// A positional argument or a key=value option. Rows state only what differs
// from the defaults; the defaults are constant data, set up by no code.
struct Row {
    const char *name; // arguments: for messages and the reference ("x,y"); options: the key to write
    ValueKind kind;
    Field field;
    const char *help = nullptr;             // options: one line for the reference
    const ConstantSet *constants = nullptr; // VALUE_CONSTANT and VALUE_CHOICE
    SettingKind setting = SETTING_NONE;     // VALUE_SETTING
    uint8_t flags = 0;                      // ArgumentFlag
    const char *aliases = nullptr;          // options: other keys read, separated by ' '
    Limit limit = LIMIT_NONE;               // each number of the value
};
typedef Row Argument;
typedef Row Option;

// An answer line completes the request before it; a call line names a call
// before it is made (captures write both).
enum KeywordKind : uint8_t { KEYWORD_SETTING, KEYWORD_REQUEST, KEYWORD_ANSWER };

enum KeywordId : uint8_t {
    KEYWORD_PEN, KEYWORD_BRUSH, KEYWORD_DRAWMODE, KEYWORD_FONT, KEYWORD_BITMAP, KEYWORD_SELECT, KEYWORD_PAGE,
    KEYWORD_CLIP, KEYWORD_OUTPUT, KEYWORD_RASTER, KEYWORD_DIB, KEYWORD_TEXT, KEYWORD_DELETE, KEYWORD_CLOSE,
    KEYWORD_RESULT, KEYWORD_CALL,
};

struct Keyword {
    const char *name;
    KeywordId id;
    KeywordKind kind;
    const Row *arguments;
    uint8_t argumentCount;
    const Row *options;
    uint8_t optionCount;
    const char *help;            // one line for the reference: what it does, which export
    const char *alias = nullptr; // another name read
};

// Options that several requests share: one row each, used by every keyword
// that takes them.
#define GRAMMAR_OPTION_PEN {"pen", VALUE_SETTING, FIELD_PEN, "pen for this line", nullptr, SETTING_PEN}
#define GRAMMAR_OPTION_BRUSH {"brush", VALUE_SETTING, FIELD_BRUSH, "brush for this line", nullptr, SETTING_BRUSH}
#define GRAMMAR_OPTION_MODE \
    {"mode", VALUE_SETTING, FIELD_DRAWMODE, "draw mode for this line", nullptr, SETTING_DRAWMODE, 0, "drawmode"}
#define GRAMMAR_OPTION_EXPECT {"expect", VALUE_NUMBER, FIELD_EXPECT, "result the export must give (else 0)"}
#define GRAMMAR_OPTION_CALL \
    {"call", VALUE_NUMBER, FIELD_CALL_OF, "captures: the call line this answers (1 the first), else the latest"}
#define GRAMMAR_OPTION_SURFACE                                                                                     \
    {"surface", VALUE_NUMBER, FIELD_SURFACE,                                                                       \
     "captures: the page line (1 the first) drawn on, else the latest; 0: none"}

static const Argument NAME_ARGUMENT[] = {{"NAME", VALUE_NAME, FIELD_NAME}};

static const Option PEN_OPTIONS[] = {
    {"style", VALUE_CONSTANT, FIELD_PEN_STYLE, "lopnStyle", &SET_PEN_STYLES},
    {"width", VALUE_NUMBER, FIELD_PEN_WIDTH, "lopnWidth.x"},
    {"widthy", VALUE_NUMBER, FIELD_PEN_WIDTH_Y, "lopnWidth.y (not read by the DLL)"},
    {"color", VALUE_COLOR, FIELD_PEN_COLOR, "lopnColor", nullptr, SETTING_NONE, 0, "colour"},
};

static const Option BRUSH_OPTIONS[] = {
    {"style", VALUE_CONSTANT, FIELD_BRUSH_STYLE, "lbStyle", &SET_BRUSH_STYLES},
    {"color", VALUE_COLOR, FIELD_BRUSH_COLOR, "lbColor", nullptr, SETTING_NONE, 0, "colour"},
    {"hatch", VALUE_CONSTANT, FIELD_BRUSH_HATCH, "lbHatch of a hatched brush", &SET_HATCHES},
    {"pattern", VALUE_SETTING, FIELD_BRUSH_PATTERN,
     "the bitmap of a BS_PATTERN brush, or the dib bitmap of a style=6 one; none for a null record", nullptr,
     SETTING_BITMAP, 0, "bitmap"},
};

static const Option DRAWMODE_OPTIONS[] = {
    {"rop2", VALUE_CONSTANT, FIELD_ROP2, "rop2, set with SetROP2", &SET_ROP2S},
    {"bkmode", VALUE_CONSTANT, FIELD_BK_MODE, "bkMode", &SET_BK_MODES},
    {"bk", VALUE_COLOR, FIELD_BK_COLOR, "background colour", nullptr, SETTING_NONE, 0, "bkcolor bkcolour"},
    {"text", VALUE_COLOR, FIELD_TEXT_COLOR, "text colour", nullptr, SETTING_NONE, 0, "textcolor textcolour"},
    {"usebkmode", VALUE_CONSTANT, FIELD_USE_BK_MODE, "Raster32: use bkmode"},
};

static const Option FONT_OPTIONS[] = {
    {"height", VALUE_NUMBER, FIELD_FONT_HEIGHT, "lfHeight (default -16)"},
    {"width", VALUE_NUMBER, FIELD_FONT_WIDTH, "lfWidth"},
    {"escapement", VALUE_NUMBER, FIELD_FONT_ESCAPEMENT, "tenths of a degree"},
    {"orientation", VALUE_NUMBER, FIELD_FONT_ORIENTATION, "tenths of a degree"},
    {"angle", VALUE_NUMBER, FIELD_FONT_ANGLE, "escapement and orientation"},
    {"weight", VALUE_CONSTANT, FIELD_FONT_WEIGHT, "lfWeight", &SET_WEIGHTS},
    {"italic", VALUE_BYTE, FIELD_FONT_ITALIC, "lfItalic"},
    {"underline", VALUE_BYTE, FIELD_FONT_UNDERLINE, "lfUnderline"},
    {"strikeout", VALUE_BYTE, FIELD_FONT_STRIKEOUT, "lfStrikeOut"},
    {"charset", VALUE_CONSTANT, FIELD_FONT_CHARSET, "lfCharSet", &SET_CHARSETS, SETTING_NONE, 0, nullptr, LIMIT_BYTE},
    {"quality", VALUE_CONSTANT, FIELD_FONT_QUALITY, "lfQuality", &SET_QUALITIES, SETTING_NONE, 0, nullptr, LIMIT_BYTE},
    {"outprecision", VALUE_BYTE, FIELD_FONT_OUT_PRECISION, "lfOutPrecision"},
    {"clipprecision", VALUE_BYTE, FIELD_FONT_CLIP_PRECISION, "lfClipPrecision"},
    {"pitchandfamily", VALUE_BYTE, FIELD_FONT_PITCH_AND_FAMILY, "lfPitchAndFamily"},
    {"face", VALUE_STRING, FIELD_FONT_FACE, "lfFaceName, at most 31 bytes (a capture's 32)"},
};

static const Argument BITMAP_ARGUMENTS[] = {
    {"NAME", VALUE_NAME, FIELD_NAME},
    {"mono|color|bits|dib", VALUE_CHOICE, FIELD_BITMAP_SHAPE, nullptr, &SET_BITMAP_SHAPES, SETTING_NONE,
     ARGUMENT_OPTIONAL},
    {"WxH", VALUE_SIZE, FIELD_BITMAP_SIZE, nullptr, nullptr, SETTING_NONE, ARGUMENT_OPTIONAL},
};

static const Option BITMAP_OPTIONS[] = {
    {"file", VALUE_FILE, FIELD_BITMAP_FILE,
     ".bmp (1/4/8/24/32-bit), .pbm (P1) or .ppm (P3), instead of rows; bits or dib: its bytes as they are"},
    {"depth", VALUE_NUMBER, FIELD_BITMAP_DEPTH, "24 or 32: a colour bitmap's bits"},
    {"colors", VALUE_COLORS, FIELD_BITMAP_COLORS, "colour table of a mono bitmap sent as a DIB", nullptr,
     SETTING_NONE, 0, "colours"},
    {"bpp", VALUE_U16, FIELD_BITMAP_BITS_PIXEL, "bits: bmBitsPixel"},
    {"planes", VALUE_U16, FIELD_BITMAP_PLANES, "bits: bmPlanes"},
    {"widthbytes", VALUE_NUMBER, FIELD_BITMAP_WIDTH_BYTES, "bits: bmWidthBytes"},
    {"type", VALUE_NUMBER, FIELD_BITMAP_TYPE, "bits: bmType"},
    {"info", VALUE_NUMBER, FIELD_BITMAP_INFO_SIZE, 
     "dib: bytes of header and colour table before the bits (0: no header)", nullptr, SETTING_NONE, 0, nullptr,
     LIMIT_BITMAP_BYTES},
    {"bits", VALUE_NUMBER, FIELD_BITMAP_BITS_SIZE, "dib: bytes of bits; bits=none (bits or dib) passes no bits",
     nullptr, SETTING_NONE, ARGUMENT_NONE, nullptr, LIMIT_BITMAP_BYTES},
};

static const Argument SELECT_ARGUMENTS[] = {
    {"pen|brush|drawmode|font", VALUE_CHOICE, FIELD_SELECT_KIND, nullptr, &SET_SETTING_KINDS},
    {"NAME", VALUE_SETTING, FIELD_SELECT_NAME, nullptr, nullptr, SETTING_NONE, ARGUMENT_NONE},
};

static const Option PAGE_OPTIONS[] = {
    {"size", VALUE_PAIR, FIELD_PAGE_SIZE, "W,H in logical units", nullptr, SETTING_NONE, 0, nullptr, LIMIT_POSITIVE},
    {"frame", VALUE_RECT, FIELD_PAGE_FRAME, "picture frame in 0.01 mm, or none", nullptr, SETTING_NONE, ARGUMENT_NONE},
    {"device", VALUE_STRING, FIELD_PAGE_DEVICE,
     "printer device name (else the workbench printer; \"DISPLAY\": Wine's display), or none for no name", nullptr,
     SETTING_NONE, ARGUMENT_NONE},
    {"dpi", VALUE_NUMBER, FIELD_PAGE_DPI, "the resolution the page draws at: 150, 300 (else), 600, 1200 or 2400"},
    {"devmode", VALUE_HEX, FIELD_PAGE_DEVMODE,
     "the DEVMODEA handed to GetEmfFileDC32, dmSize + dmDriverExtra bytes (else the workbench printer gets one "
     "made from the page, other devices none)"},
    GRAMMAR_OPTION_EXPECT,
    GRAMMAR_OPTION_CALL,
};

static const Argument CLIP_ARGUMENTS[] = {
    {"L,T,R,B", VALUE_RECT, FIELD_CLIP, nullptr, nullptr, SETTING_NONE, ARGUMENT_NONE}};
static const Option EXPECT_OPTIONS[] = {GRAMMAR_OPTION_EXPECT, GRAMMAR_OPTION_SURFACE};

static const Argument OUTPUT_ARGUMENTS[] = {
    {"STYLE", VALUE_STYLE, FIELD_STYLE, nullptr, nullptr, SETTING_NONE, 0, nullptr, LIMIT_U16},
    {"POINTS", VALUE_POINTS, FIELD_POINTS, nullptr, nullptr, SETTING_NONE, ARGUMENT_OPTIONAL | ARGUMENT_LATE},
};

static const Option OUTPUT_OPTIONS[] = {
    {"points", VALUE_FILE, FIELD_POINT_FILE, "x y pairs from a file"},
    {"points16", VALUE_FILE, FIELD_POINT_RAW_FILE,
     "Point16 bytes from a file (x,y, 16 bits little-endian each), from at= on, as many as count=, counts= or the "
     "style reads (else to the file's end)"},
    {"at", VALUE_NUMBER, FIELD_POINT_RAW_AT, "points16=: the byte the first point starts at (else 0)", nullptr,
     SETTING_NONE, 0, nullptr, LIMIT_BITMAP_BYTES},
    GRAMMAR_OPTION_PEN,
    GRAMMAR_OPTION_BRUSH,
    GRAMMAR_OPTION_MODE,
    {"clip", VALUE_RECT, FIELD_CLIP, "clip rectangle l,t,r,b or none", nullptr, SETTING_NONE, ARGUMENT_NONE},
    {"geom", VALUE_CONSTANT, FIELD_GEOMETRIC, "geometricPenStyle", &SET_PEN_STYLES, SETTING_NONE, 0, "geometric"},
    {"scan", VALUE_U16, FIELD_SCAN_FLAG, "scanFlag", nullptr, SETTING_NONE, 0, "scanflag"},
    {"count", VALUE_U16, FIELD_COUNT, "count (else what the points give)"},
    {"counts", VALUE_NUMBERS, FIELD_POLYGON_COUNTS,
     "poly-polygons: the vertex counts, points then run on without '|' (empty polygons, refused counts)"},
    {"release", VALUE_CHOICE, FIELD_RELEASE_TIME, "endscan: release the bracket's objects at once, or by delete lines",
     &SET_RELEASE_TIMES},
    GRAMMAR_OPTION_EXPECT,
    GRAMMAR_OPTION_SURFACE,
};

static const Argument RASTER_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_DEST},
    {"W,H", VALUE_PAIR, FIELD_DEST_SIZE},
    {"BITMAP", VALUE_SETTING, FIELD_SOURCE, nullptr, nullptr, SETTING_BITMAP, ARGUMENT_NONE},
};

static const Argument DIB_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_DEST},
    {"W,H", VALUE_PAIR, FIELD_DEST_SIZE},
    {"BITMAP", VALUE_SETTING, FIELD_SOURCE, nullptr, nullptr, SETTING_BITMAP},
};

static const Option TRANSFER_OPTIONS[] = {
    {"src", VALUE_RECT, FIELD_SOURCE_RECT, "source x,y,width,height"},
    {"rop", VALUE_CONSTANT, FIELD_ROP3, "SRCCOPY with a bitmap, else PATCOPY", &SET_ROP3S},
    GRAMMAR_OPTION_BRUSH,
    GRAMMAR_OPTION_MODE,
    GRAMMAR_OPTION_EXPECT,
    GRAMMAR_OPTION_SURFACE,
};

static const Argument TEXT_ARGUMENTS[] = {
    {"X,Y", VALUE_PAIR, FIELD_TEXT_POINT},
    {"\"string\"", VALUE_STRING, FIELD_TEXT_STRING, nullptr, nullptr, SETTING_NONE, ARGUMENT_OPTIONAL | ARGUMENT_LATE},
};

static const Option TEXT_OPTIONS[] = {
    {"font", VALUE_SETTING, FIELD_FONT, "font for this line", nullptr, SETTING_FONT},
    GRAMMAR_OPTION_MODE,
    {"options", VALUE_CONSTANT, FIELD_TEXT_OPTIONS, "ETO_ flags", &SET_TEXT_OUT_OPTIONS},
    {"rect", VALUE_RECT, FIELD_TEXT_RECT, "opaque or clip rectangle"},
    {"advances", VALUE_NUMBERS, FIELD_ADVANCES, "one advance per byte or glyph (two a glyph with ETO_PDY)"},
    {"advance", VALUE_NUMBER, FIELD_ADVANCE, "the same advance for each"},
    {"glyphs", VALUE_NUMBERS, FIELD_GLYPHS, "glyph indices instead of a string (ETO_GLYPH_INDEX)", nullptr,
     SETTING_NONE, 0, nullptr, LIMIT_U16},
    GRAMMAR_OPTION_EXPECT,
    GRAMMAR_OPTION_SURFACE,
    GRAMMAR_OPTION_CALL,
};

static const Argument DELETE_ARGUMENTS[] = {
    {"pen|brush|pattern|scan|raw", VALUE_CHOICE, FIELD_RELEASE, nullptr, &SET_RELEASES},
};

static const Option DELETE_OPTIONS[] = {
    {"object", VALUE_NUMBER, FIELD_DELETE_OBJECT, "raw: the object handle the driver gave back"},
    {"selectback", VALUE_NUMBER, FIELD_DELETE_SELECT_BACK, "raw: the handle to select back"},
    GRAMMAR_OPTION_EXPECT,
    GRAMMAR_OPTION_SURFACE,
};

static const Option CLOSE_OPTIONS[] = {GRAMMAR_OPTION_SURFACE};

static const Argument RESULT_ARGUMENTS[] = {{"N", VALUE_NUMBER, FIELD_EXPECT}};

// A capture's handles are its own run's; the replay maps them to its own.
static const Option RESULT_OPTIONS[] = {
    {"of", VALUE_NUMBER, FIELD_RESULT_OF, "the request's number (1 the first request line), else the last"},
    {"pen", VALUE_NUMBER, FIELD_HANDED_PEN, "beginscan: the pen handed out"},
    {"oldpen", VALUE_NUMBER, FIELD_HANDED_OLD_PEN, "beginscan: the pen it replaced"},
    {"brush", VALUE_NUMBER, FIELD_HANDED_BRUSH, "beginscan: the brush handed out"},
    {"oldbrush", VALUE_NUMBER, FIELD_HANDED_OLD_BRUSH, "beginscan: the brush it replaced"},
    {"pattern", VALUE_NUMBER, FIELD_HANDED_PATTERN, "beginscan: the pattern bitmap handed out"},
    {"call", VALUE_NUMBER, FIELD_CALL_OF, "answers call line N (a path's) instead of a request"},
};

// Before TextOut32, GetEmfFileDC32 and GetEmfFilePath32, whose reads depend
// on their own progress, a capture names the call with what it reads first;
// the text or page line, or a result line, written after the call answers it.
static const Argument CALL_ARGUMENTS[] = {{"text|page|path", VALUE_CHOICE, FIELD_CALL_KIND, nullptr, &SET_CALLS}};

static const Option CALL_OPTIONS[] = {
    {"at", VALUE_PAIR, FIELD_TEXT_POINT, "text: x,y"},
    {"options", VALUE_CONSTANT, FIELD_TEXT_OPTIONS, "text: ETO_ flags", &SET_TEXT_OUT_OPTIONS},
    {"count", VALUE_NUMBER, FIELD_COUNT, "text: the count of bytes or glyphs"},
    {"font", VALUE_SETTING, FIELD_FONT, "text: the font", nullptr, SETTING_FONT},
    {"device", VALUE_STRING, FIELD_PAGE_DEVICE, "page: the device name, or none", nullptr, SETTING_NONE,
     ARGUMENT_NONE},
    {"devmode", VALUE_HEX, FIELD_PAGE_DEVMODE, "page: the DEVMODEA, dmSize + dmDriverExtra bytes"},
};

#define ROWS(table) table, GRAMMAR_COUNT(table)
static const Keyword KEYWORDS[] = {
    {"pen", KEYWORD_PEN, KEYWORD_SETTING, ROWS(NAME_ARGUMENT), ROWS(PEN_OPTIONS), "a LOGPEN"},
    {"brush", KEYWORD_BRUSH, KEYWORD_SETTING, ROWS(NAME_ARGUMENT), ROWS(BRUSH_OPTIONS), "a LOGBRUSH"},
    {"drawmode", KEYWORD_DRAWMODE, KEYWORD_SETTING, ROWS(NAME_ARGUMENT), ROWS(DRAWMODE_OPTIONS),
     "a draw-mode record", "mode"},
    {"font", KEYWORD_FONT, KEYWORD_SETTING, ROWS(NAME_ARGUMENT), ROWS(FONT_OPTIONS), "a LOGFONTA"},
    {"bitmap", KEYWORD_BITMAP, KEYWORD_SETTING, ROWS(BITMAP_ARGUMENTS), ROWS(BITMAP_OPTIONS),
     "a bitmap: mono or color WxH with rows then `end`, or file=; bits WxH or dib: bytes in hex rows, `end`"},
    {"select", KEYWORD_SELECT, KEYWORD_SETTING, ROWS(SELECT_ARGUMENTS), nullptr, 0,
     "makes a setting (or none) the one later requests use", "use"},
    {"page", KEYWORD_PAGE, KEYWORD_REQUEST, nullptr, 0, ROWS(PAGE_OPTIONS),
     "GetEmfFilePath32 + GetEmfFileDC32; closes an open page first (default A4)"},
    {"clip", KEYWORD_CLIP, KEYWORD_REQUEST, ROWS(CLIP_ARGUMENTS), ROWS(EXPECT_OPTIONS), "SetClipRect32"},
    {"output", KEYWORD_OUTPUT, KEYWORD_REQUEST, ROWS(OUTPUT_ARGUMENTS), ROWS(OUTPUT_OPTIONS), "Output32"},
    {"raster", KEYWORD_RASTER, KEYWORD_REQUEST, ROWS(RASTER_ARGUMENTS), ROWS(TRANSFER_OPTIONS), "Raster32"},
    {"dib", KEYWORD_DIB, KEYWORD_REQUEST, ROWS(DIB_ARGUMENTS), ROWS(TRANSFER_OPTIONS),
     "Dib32 (the bitmap as a 24-bit or 1-bit DIB)"},
    {"text", KEYWORD_TEXT, KEYWORD_REQUEST, ROWS(TEXT_ARGUMENTS), ROWS(TEXT_OPTIONS), "TextOut32"},
    {"delete", KEYWORD_DELETE, KEYWORD_REQUEST, ROWS(DELETE_ARGUMENTS), ROWS(DELETE_OPTIONS),
     "DeleteObject32 on what `output beginscan` handed out (raw: on the handles given)"},
    {"close", KEYWORD_CLOSE, KEYWORD_REQUEST, nullptr, 0, ROWS(CLOSE_OPTIONS), "CloseEmfFile32 (also at the end)"},
    {"result", KEYWORD_RESULT, KEYWORD_ANSWER, ROWS(RESULT_ARGUMENTS), ROWS(RESULT_OPTIONS),
     "the result the request before it gave (captures: written after the call)"},
    {"call", KEYWORD_CALL, KEYWORD_ANSWER, ROWS(CALL_ARGUMENTS), ROWS(CALL_OPTIONS),
     "captures: a call made, before the real DLL ran; none answering it means the process died inside it"},
};
#undef ROWS

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
