#include "job_parser.h"

#include <ctype.h>
#include <math.h>

#include <cmath>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <sstream>

namespace job {

namespace {

struct Constant {
    const char *name;
    uint32_t value;
};

// Names are matched without case and with or without their family's prefix
// or suffix: OUT_RECTANGLE, out_rectangle and rectangle are one name.
struct Family {
    const char *what; // for messages: "an output style"
    const char *prefix;
    const char *suffix;
    const Constant *constants;
    size_t size;
};

const Constant kOutputStyles[] = {
    {"OUT_BEZIER", 0x0001},     {"OUT_SCANLINES", 0x0004},       {"OUT_RECTANGLE", 0x0006},
    {"OUT_ELLIPSE", 0x0007},    {"OUT_POLYLINE", 0x0012},        {"OUT_WINDPOLYGON", 0x0014},
    {"OUT_ALTPOLYGON", 0x0016}, {"OUT_CIRCLE", 0x0037},          {"OUT_BEGINSCAN", 0x0050},
    {"OUT_ENDSCAN", 0x0051},    {"OUT_WINDPOLYPOLYGON", 0x4014}, {"OUT_ALTPOLYPOLYGON", 0x4016},
};

const Constant kPenStyles[] = {
    {"PS_SOLID", 0},
    {"PS_DASH", 1},
    {"PS_DOT", 2},
    {"PS_DASHDOT", 3},
    {"PS_DASHDOTDOT", 4},
    {"PS_NULL", 5},
    {"PS_INSIDEFRAME", 6},
    {"PS_USERSTYLE", 7},
    {"PS_ALTERNATE", 8},
    {"PS_ENDCAP_ROUND", 0},
    {"PS_ENDCAP_SQUARE", 0x100},
    {"PS_ENDCAP_FLAT", 0x200},
    {"PS_JOIN_ROUND", 0},
    {"PS_JOIN_BEVEL", 0x1000},
    {"PS_JOIN_MITER", 0x2000},
    {"PS_COSMETIC", 0},
    {"PS_GEOMETRIC", 0x10000},
};

const Constant kBrushStyles[] = {
    {"BS_SOLID", 0}, {"BS_HOLLOW", 1}, {"BS_NULL", 1}, {"BS_HATCHED", 2}, {"BS_PATTERN", 3},
};

const Constant kHatches[] = {
    {"HS_HORIZONTAL", 0}, {"HS_VERTICAL", 1}, {"HS_FDIAGONAL", 2},
    {"HS_BDIAGONAL", 3},  {"HS_CROSS", 4},    {"HS_DIAGCROSS", 5},
};

const Constant kRop2[] = {
    {"R2_BLACK", 1},      {"R2_NOTMERGEPEN", 2},  {"R2_MASKNOTPEN", 3}, {"R2_NOTCOPYPEN", 4},
    {"R2_MASKPENNOT", 5}, {"R2_NOT", 6},          {"R2_XORPEN", 7},     {"R2_NOTMASKPEN", 8},
    {"R2_MASKPEN", 9},    {"R2_NOTXORPEN", 10},   {"R2_NOP", 11},       {"R2_MERGENOTPEN", 12},
    {"R2_COPYPEN", 13},   {"R2_MERGEPENNOT", 14}, {"R2_MERGEPEN", 15},  {"R2_WHITE", 16},
};

const Constant kRop3[] = {
    {"SRCCOPY", 0x00CC0020},    {"SRCPAINT", 0x00EE0086},   {"SRCAND", 0x008800C6},      {"SRCINVERT", 0x00660046},
    {"SRCERASE", 0x00440328},   {"NOTSRCCOPY", 0x00330008}, {"NOTSRCERASE", 0x001100A6}, {"MERGECOPY", 0x00C000CA},
    {"MERGEPAINT", 0x00BB0226}, {"PATCOPY", 0x00F00021},    {"PATPAINT", 0x00FB0A09},    {"PATINVERT", 0x005A0049},
    {"DSTINVERT", 0x00550009},  {"BLACKNESS", 0x00000042},  {"WHITENESS", 0x00FF0062},
};

const Constant kBkModes[] = {{"TRANSPARENT", 1}, {"OPAQUE", 2}};

const Constant kTextOptions[] = {
    {"ETO_OPAQUE", 0x02},           {"ETO_CLIPPED", 0x04},        {"ETO_GLYPH_INDEX", 0x10},
    {"ETO_RTLREADING", 0x80},       {"ETO_NUMERICSLOCAL", 0x400}, {"ETO_NUMERICSLATIN", 0x800},
    {"ETO_IGNORELANGUAGE", 0x1000}, {"ETO_PDY", 0x2000},
};

const Constant kCharSets[] = {
    {"ANSI_CHARSET", 0},         {"DEFAULT_CHARSET", 1},       {"SYMBOL_CHARSET", 2},       {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},   {"HANGEUL_CHARSET", 129},     {"HANGUL_CHARSET", 129},     {"JOHAB_CHARSET", 130},
    {"GB2312_CHARSET", 134},     {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161},      {"TURKISH_CHARSET", 162},
    {"VIETNAMESE_CHARSET", 163}, {"HEBREW_CHARSET", 177},      {"ARABIC_CHARSET", 178},     {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204},    {"THAI_CHARSET", 222},        {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255},
};

const Constant kWeights[] = {
    {"FW_DONTCARE", 0}, {"FW_THIN", 100},      {"FW_EXTRALIGHT", 200}, {"FW_LIGHT", 300},
    {"FW_NORMAL", 400}, {"FW_REGULAR", 400},   {"FW_MEDIUM", 500},     {"FW_SEMIBOLD", 600},
    {"FW_BOLD", 700},   {"FW_EXTRABOLD", 800}, {"FW_HEAVY", 900},      {"FW_BLACK", 900},
};

const Constant kQualities[] = {
    {"DEFAULT_QUALITY", 0},        {"DRAFT_QUALITY", 1},       {"PROOF_QUALITY", 2},
    {"NONANTIALIASED_QUALITY", 3}, {"ANTIALIASED_QUALITY", 4}, {"CLEARTYPE_QUALITY", 5},
};

const Constant kNoConstants[] = {{"", 0}};

#define FAMILY(what, prefix, suffix, table)                                                                            \
    {                                                                                                                  \
        what, prefix, suffix, table, sizeof table / sizeof table[0]                                                    \
    }
const Family kOutputStyleFamily = FAMILY("an output style", "OUT_", "", kOutputStyles);
const Family kPenStyleFamily = FAMILY("a pen style", "PS_", "", kPenStyles);
const Family kBrushStyleFamily = FAMILY("a brush style", "BS_", "", kBrushStyles);
const Family kHatchFamily = FAMILY("a hatch style", "HS_", "", kHatches);
const Family kRop2Family = FAMILY("a binary raster operation", "R2_", "", kRop2);
const Family kRop3Family = FAMILY("a ternary raster operation", "", "", kRop3);
const Family kBkModeFamily = FAMILY("a background mode", "", "", kBkModes);
const Family kTextOptionFamily = FAMILY("text options", "ETO_", "", kTextOptions);
const Family kCharSetFamily = FAMILY("a character set", "", "_CHARSET", kCharSets);
const Family kWeightFamily = FAMILY("a font weight", "FW_", "", kWeights);
const Family kQualityFamily = FAMILY("a font quality", "", "_QUALITY", kQualities);
const Family kNumberFamily = {"a number", "", "", kNoConstants, 0};
#undef FAMILY

struct NamedColor {
    const char *name;
    uint32_t rgb; // 0xRRGGBB
};

const NamedColor kColors[] = {
    {"black", 0x000000},    {"white", 0xFFFFFF},     {"red", 0xFF0000},       {"green", 0x008000},
    {"lime", 0x00FF00},     {"blue", 0x0000FF},      {"yellow", 0xFFFF00},    {"cyan", 0x00FFFF},
    {"aqua", 0x00FFFF},     {"magenta", 0xFF00FF},   {"fuchsia", 0xFF00FF},   {"gray", 0x808080},
    {"grey", 0x808080},     {"silver", 0xC0C0C0},    {"lightgray", 0xD3D3D3}, {"lightgrey", 0xD3D3D3},
    {"darkgray", 0x404040}, {"darkgrey", 0x404040},  {"maroon", 0x800000},    {"navy", 0x000080},
    {"olive", 0x808000},    {"purple", 0x800080},    {"teal", 0x008080},      {"orange", 0xFFA500},
    {"brown", 0xA52A2A},    {"pink", 0xFFC0CB},      {"gold", 0xFFD700},      {"skyblue", 0x87CEEB},
    {"beige", 0xF5F5DC},    {"ivory", 0xFFFFF0},     {"darkgreen", 0x006400}, {"darkblue", 0x00008B},
    {"darkred", 0x8B0000},  {"steelblue", 0x4682B4}, {"tomato", 0xFF6347},    {"wheat", 0xF5DEB3},
    {"khaki", 0xF0E68C},
};

ColorRef RgbToColorRef(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::string Upper(const std::string &text)
{
    std::string result = text;
    for (char &c : result) {
        c = (char)toupper((unsigned char)c);
    }
    return result;
}

std::string Lower(const std::string &text)
{
    std::string result = text;
    for (char &c : result) {
        c = (char)tolower((unsigned char)c);
    }
    return result;
}

bool ParseInteger(const std::string &text, int64_t *value)
{
    if (text.empty()) {
        return false;
    }
    size_t i = 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) {
        return false;
    }
    uint64_t result = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && isxdigit((unsigned char)c)) {
            digit = tolower((unsigned char)c) - 'a' + 10;
        } else {
            return false;
        }
        result = result * base + digit;
        if (result > 0xFFFFFFFFull) {
            return false;
        }
    }
    *value = negative ? -(int64_t)result : (int64_t)result;
    return true;
}

bool LookUp(const Family &family, const std::string &token, uint32_t *value)
{
    std::string name = Upper(token);
    for (size_t i = 0; i < family.size; ++i) {
        const std::string full = family.constants[i].name;
        if (name == full || std::string(family.prefix) + name == full || name + family.suffix == full) {
            *value = family.constants[i].value;
            return true;
        }
    }
    return false;
}

// Splits text at commas (or another separator); empty pieces are kept so
// that "1,,2" is caught as a missing number.
std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A token of a line: its text, and whether it was written in quotes (kept
// raw, escapes still in it).
struct Token {
    std::string text;
    bool quoted = false;
    bool leadingQuote = false; // "..." as a whole, not key="..."
};

// Parsing state for one job: the current settings, like a driver's, and
// the page and scan-bracket state that a request sequence must respect.
class Parser {
  public:
    Parser(const std::string &path, Job *job, const FileReader &reader)
        : path_(path), folder_(FolderOf(path)), job_(job), reader_(reader)
    {
    }

    bool Run(const std::string &text);
    const std::string &Error() const { return error_; }

  private:
    bool Fail(const std::string &message);
    bool Tokenize(const std::string &line, std::vector<Token> *tokens);
    bool Line(const std::vector<Token> &tokens);

    bool DefinePen(const std::vector<Token> &tokens);
    bool DefineBrush(const std::vector<Token> &tokens);
    bool DefineDrawMode(const std::vector<Token> &tokens);
    bool DefineFont(const std::vector<Token> &tokens);
    bool DefineBitmap(const std::vector<Token> &tokens);
    bool BitmapRow(const std::vector<Token> &tokens);
    bool DefineRawBitmap(const std::vector<Token> &tokens, size_t at);
    bool RawBitmapRow(const std::vector<Token> &tokens);
    bool HexBytes(const std::string &text, std::vector<uint8_t> *bytes);
    bool FinishBitmap();
    bool Select(const std::vector<Token> &tokens);

    bool Page(const std::vector<Token> &tokens);
    bool Clip(const std::vector<Token> &tokens);
    bool Output(const std::vector<Token> &tokens);
    bool Transfer(const std::vector<Token> &tokens, Kind kind);
    bool Text(const std::vector<Token> &tokens);
    bool Delete(const std::vector<Token> &tokens);
    bool Close(const std::vector<Token> &tokens);

    bool NeedPage(const char *request);
    Request Begin(Kind kind);

    // Values.
    bool Number(const std::string &text, const char *what, int64_t low, int64_t high, int64_t *value);
    bool Int32(const std::string &text, const char *what, int32_t *value);
    bool Flags(const Family &family, const std::string &text, uint32_t *value);
    bool Color(const std::string &text, ColorRef *value);
    bool PointValue(const std::string &text, const char *what, Point *point);
    bool Pair(const std::string &text, const char *what, int32_t *a, int32_t *b);
    bool RectValue(const std::string &text, const char *what, Rect *rect);
    bool Numbers(const std::string &text, const char *what, std::vector<int32_t> *values);
    bool StringValue(const Token &token, std::string *bytes);
    bool NameValue(const std::string &text, const char *what, std::string *name);
    bool KeyValue(const Token &token, std::string *key, std::string *value);
    bool Setting(const std::string &kind, const std::string &name, int *index);
    bool PointItem(const std::string &text, std::vector<Point> *points);
    bool PointFile(const std::string &name, std::vector<Point> *points);
    bool Generated(const std::string &generator, const std::vector<double> &arguments, std::vector<Point> *points);
    bool Unknown(const std::string &key, const char *expected);

    std::string path_;
    std::string folder_;
    Job *job_;
    const FileReader &reader_;
    std::string error_;
    int line_ = 0;

    // current selections, like the driver's
    int pen_ = -1;
    int brush_ = -1;
    int drawMode_ = -1;
    int font_ = 0; // the built-in default font
    int defaultDrawMode_ = 0;

    bool inPage_ = false;
    int pageLine_ = 0;
    bool bracketOpen_ = false;
    int bracketLine_ = 0;
    bool heldPen_ = false;
    bool heldBrush_ = false;
    bool heldPattern_ = false;

    // a bitmap whose rows follow
    bool inBitmap_ = false;
    BitmapSetting bitmap_;
    int bitmapLine_ = 0;
    int bitmapRows_ = 0;
};

bool Parser::Fail(const std::string &message)
{
    if (error_.empty()) {
        error_ = path_ + ":" + std::to_string(line_) + ": " + message;
    }
    return false;
}

bool Parser::Unknown(const std::string &key, const char *expected)
{
    return Fail("unknown option '" + key + "'; expected " + expected);
}

bool Parser::Tokenize(const std::string &line, std::vector<Token> *tokens)
{
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        // Every character that ends a token must also be skipped here, or a
        // form feed or vertical tab would make empty tokens forever.
        if (isspace((unsigned char)c)) {
            ++i;
            continue;
        }
        // ';' always starts a comment; '#' does when it stands alone, since
        // "#RRGGBB" is a colour.
        if (c == ';') {
            return true;
        }
        if (c == '#' &&
            (i + 1 == line.size() || isspace((unsigned char)line[i + 1]) || line[i + 1] == '#' || tokens->empty())) {
            return true;
        }
        Token token;
        while (i < line.size() && !isspace((unsigned char)line[i]) && line[i] != ';') {
            if (line[i] == '"') {
                token.leadingQuote = token.leadingQuote || token.text.empty();
                token.quoted = true;
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size()) {
                        token.text += line[i];
                        token.text += line[i + 1];
                        i += 2;
                        continue;
                    }
                    if (line[i] == '"') {
                        closed = true;
                        ++i;
                        break;
                    }
                    token.text += line[i++];
                }
                if (!closed) {
                    return Fail("expected a closing '\"'");
                }
                continue;
            }
            token.text += line[i++];
        }
        tokens->push_back(token);
    }
    return true;
}

bool Parser::Run(const std::string &text)
{
    job_->path = path_;
    FontSetting font;
    font.name = "default";
    job_->fonts.push_back(font);
    DrawModeSetting mode;
    mode.name = "default";
    job_->drawModes.push_back(mode);

    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        ++line_;
        std::vector<Token> tokens;
        if (!Tokenize(line, &tokens)) {
            return false;
        }
        if (tokens.empty()) {
            continue;
        }
        if (!Line(tokens)) {
            return false;
        }
    }
    if (inBitmap_) {
        line_ = bitmapLine_;
        return Fail("bitmap '" + bitmap_.name + "' has no 'end' line");
    }
    if (inPage_) {
        // A page left open closes at the end of the job, as a driver's
        // end-of-document would close it.
        job_->requests.push_back(Begin(Kind::Close));
        inPage_ = false;
    }
    return true;
}

bool Parser::Line(const std::vector<Token> &tokens)
{
    if (inBitmap_) {
        return BitmapRow(tokens);
    }
    const std::string word = Lower(tokens[0].text);
    if (tokens[0].quoted) {
        return Fail("expected a request or a setting at the start of the line, not a string");
    }
    if (word == "pen") {
        return DefinePen(tokens);
    }
    if (word == "brush") {
        return DefineBrush(tokens);
    }
    if (word == "drawmode" || word == "mode") {
        return DefineDrawMode(tokens);
    }
    if (word == "font") {
        return DefineFont(tokens);
    }
    if (word == "bitmap") {
        return DefineBitmap(tokens);
    }
    if (word == "select" || word == "use") {
        return Select(tokens);
    }
    if (word == "page") {
        return Page(tokens);
    }
    if (word == "clip") {
        return Clip(tokens);
    }
    if (word == "output") {
        return Output(tokens);
    }
    if (word == "raster") {
        return Transfer(tokens, Kind::Raster);
    }
    if (word == "dib") {
        return Transfer(tokens, Kind::Dib);
    }
    if (word == "text") {
        return Text(tokens);
    }
    if (word == "delete") {
        return Delete(tokens);
    }
    if (word == "close") {
        return Close(tokens);
    }
    if (word == "end") {
        return Fail("'end' without a bitmap to finish");
    }
    return Fail("expected a request (page, clip, output, raster, dib, text, delete, close) or a setting (pen, "
                "brush, drawmode, font, bitmap, select), not '" +
                tokens[0].text + "'");
}

// ---------------------------------------------------------------- values

bool Parser::Number(const std::string &text, const char *what, int64_t low, int64_t high, int64_t *value)
{
    if (!ParseInteger(text, value)) {
        return Fail(std::string("expected ") + what + " (a number), not '" + text + "'");
    }
    if (*value < low || *value > high) {
        return Fail(std::string(what) + " " + text + " is out of range (" + std::to_string(low) + " to " +
                    std::to_string(high) + ")");
    }
    return true;
}

bool Parser::Int32(const std::string &text, const char *what, int32_t *value)
{
    int64_t wide;
    if (!Number(text, what, INT32_MIN, INT32_MAX, &wide)) {
        return false;
    }
    *value = (int32_t)wide;
    return true;
}

// A name of the family, a number, or several of them joined by '|'.
bool Parser::Flags(const Family &family, const std::string &text, uint32_t *value)
{
    uint32_t result = 0;
    for (const std::string &piece : Split(text, '|')) {
        uint32_t one;
        int64_t number;
        if (LookUp(family, piece, &one)) {
            result |= one;
        } else if (ParseInteger(piece, &number) && number >= INT32_MIN && number <= (int64_t)UINT32_MAX) {
            result |= (uint32_t)number;
        } else {
            std::string example = family.size > 0 ? std::string(", such as ") + family.constants[0].name : "";
            return Fail(std::string("expected ") + family.what + " (a name" + example + ", or a number), not '" +
                        piece + "'");
        }
    }
    *value = result;
    return true;
}

bool Parser::Color(const std::string &text, ColorRef *value)
{
    const std::string lower = Lower(text);
    if (lower.size() == 7 && lower[0] == '#') {
        int64_t rgb;
        if (ParseInteger("0x" + lower.substr(1), &rgb)) {
            *value = RgbToColorRef((uint32_t)rgb);
            return true;
        }
    }
    for (const NamedColor &named : kColors) {
        if (lower == named.name) {
            *value = RgbToColorRef(named.rgb);
            return true;
        }
    }
    if (lower.compare(0, 4, "rgb(") == 0 && lower.back() == ')') {
        std::vector<std::string> parts = Split(lower.substr(4, lower.size() - 5), ',');
        int64_t r, g, b;
        if (parts.size() == 3 && ParseInteger(parts[0], &r) && ParseInteger(parts[1], &g) &&
            ParseInteger(parts[2], &b) && r >= 0 && r < 256 && g >= 0 && g < 256 && b >= 0 && b < 256) {
            *value = (uint32_t)(r | (g << 8) | (b << 16));
            return true;
        }
    }
    // A bare number is a COLORREF as the driver holds it (0x00BBGGRR), high
    // byte included, so a job can hand over palette-index colours too.
    int64_t number;
    if (ParseInteger(text, &number) && number >= 0 && number <= 0xFFFFFFFFll) {
        *value = (uint32_t)number;
        return true;
    }
    return Fail("expected a colour (#RRGGBB, a name such as red, rgb(r,g,b) or a COLORREF number), not '" + text + "'");
}

bool Parser::Pair(const std::string &text, const char *what, int32_t *a, int32_t *b)
{
    std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 2) {
        return Fail(std::string("expected ") + what + " as two numbers 'a,b', not '" + text + "'");
    }
    return Int32(parts[0], what, a) && Int32(parts[1], what, b);
}

bool Parser::PointValue(const std::string &text, const char *what, Point *point)
{
    std::vector<std::string> parts = Split(text, ',');
    int64_t x, y;
    if (parts.size() != 2 || !ParseInteger(parts[0], &x) || !ParseInteger(parts[1], &y)) {
        return Fail(std::string("expected ") + what + " as 'x,y', not '" + text + "'");
    }
    if (x < INT16_MIN || x > INT16_MAX || y < INT16_MIN || y > INT16_MAX) {
        return Fail("point '" + text + "' does not fit the 16-bit points of an output request (-32768 to 32767)");
    }
    point->x = (int16_t)x;
    point->y = (int16_t)y;
    return true;
}

bool Parser::RectValue(const std::string &text, const char *what, Rect *rect)
{
    std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 4) {
        return Fail(std::string("expected ") + what + " as 'left,top,right,bottom', not '" + text + "'");
    }
    return Int32(parts[0], what, &rect->left) && Int32(parts[1], what, &rect->top) &&
           Int32(parts[2], what, &rect->right) && Int32(parts[3], what, &rect->bottom);
}

bool Parser::Numbers(const std::string &text, const char *what, std::vector<int32_t> *values)
{
    values->clear();
    if (text.empty()) {
        return true; // an empty list: a text of no characters has no advances
    }
    for (const std::string &piece : Split(text, ',')) {
        int32_t value;
        if (!Int32(piece, what, &value)) {
            return false;
        }
        values->push_back(value);
    }
    return true;
}

bool Parser::StringValue(const Token &token, std::string *bytes)
{
    const std::string &raw = token.text;
    bytes->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            *bytes += raw[i];
            continue;
        }
        if (++i >= raw.size()) {
            return Fail("expected a character after '\\' in a string");
        }
        switch (raw[i]) {
        case '\\':
        case '"':
            *bytes += raw[i];
            break;
        case 'n':
            *bytes += '\n';
            break;
        case 't':
            *bytes += '\t';
            break;
        case 'x': {
            if (i + 2 >= raw.size() || !isxdigit((unsigned char)raw[i + 1]) || !isxdigit((unsigned char)raw[i + 2])) {
                return Fail("expected two hex digits after '\\x' in a string");
            }
            int64_t byte;
            ParseInteger("0x" + raw.substr(i + 1, 2), &byte);
            *bytes += (char)byte;
            i += 2;
            break;
        }
        default:
            return Fail(std::string("unknown escape '\\") + raw[i] +
                        "' in a string; expected \\xNN, \\\\, \\\", \\n or \\t");
        }
    }
    return true;
}

bool Parser::NameValue(const std::string &text, const char *what, std::string *name)
{
    if (text.empty() || !(isalpha((unsigned char)text[0]) || text[0] == '_')) {
        return Fail(std::string("expected ") + what + " (a name starting with a letter), not '" + text + "'");
    }
    for (char c : text) {
        if (!(isalnum((unsigned char)c) || c == '_' || c == '-' || c == '.')) {
            return Fail(std::string("expected ") + what + " (letters, digits, '_', '-', '.'), not '" + text + "'");
        }
    }
    *name = text;
    return true;
}

bool Parser::KeyValue(const Token &token, std::string *key, std::string *value)
{
    size_t equals = token.text.find('=');
    if (token.leadingQuote) {
        return Fail("expected key=value, not a string");
    }
    if (equals == std::string::npos || equals == 0) {
        return Fail("expected key=value, not '" + token.text + "'");
    }
    *key = Lower(token.text.substr(0, equals));
    *value = token.text.substr(equals + 1);
    return true;
}

// The newest setting of that kind with that name (settings may be redefined;
// requests keep the one in force when they were written).
bool Parser::Setting(const std::string &kind, const std::string &name, int *index)
{
    if (Lower(name) == "none") {
        *index = -1;
        return true;
    }
    auto find = [&](const auto &table) {
        for (int i = (int)table.size() - 1; i >= 0; --i) {
            if (table[i].name == name) {
                return i;
            }
        }
        return -1;
    };
    int found = -1;
    if (kind == "pen") {
        found = find(job_->pens);
    } else if (kind == "brush") {
        found = find(job_->brushes);
    } else if (kind == "drawmode") {
        found = find(job_->drawModes);
    } else if (kind == "font") {
        found = find(job_->fonts);
    } else if (kind == "bitmap") {
        found = find(job_->bitmaps);
    }
    if (found < 0) {
        return Fail("no " + kind + " named '" + name + "'; define it first with '" + kind + " " + name + " ...'");
    }
    *index = found;
    return true;
}

// ---------------------------------------------------------------- settings

bool Parser::DefinePen(const std::vector<Token> &tokens)
{
    PenSetting pen;
    if (tokens.size() < 2 || !NameValue(tokens[1].text, "a pen name", &pen.name)) {
        return tokens.size() < 2 ? Fail("expected a pen name after 'pen'") : false;
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "style") {
            if (!Flags(kPenStyleFamily, value, &pen.style)) {
                return false;
            }
        } else if (key == "width") {
            if (!Int32(value, "a pen width", &pen.width)) {
                return false;
            }
        } else if (key == "widthy") {
            if (!Int32(value, "lopnWidth.y", &pen.widthY)) {
                return false;
            }
        } else if (key == "color" || key == "colour") {
            if (!Color(value, &pen.color)) {
                return false;
            }
        } else {
            return Unknown(key, "style=, width=, widthy= or color=");
        }
    }
    job_->pens.push_back(pen);
    return true;
}

bool Parser::DefineBrush(const std::vector<Token> &tokens)
{
    BrushSetting brush;
    if (tokens.size() < 2) {
        return Fail("expected a brush name after 'brush'");
    }
    if (!NameValue(tokens[1].text, "a brush name", &brush.name)) {
        return false;
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "style") {
            if (!Flags(kBrushStyleFamily, value, &brush.style)) {
                return false;
            }
        } else if (key == "color" || key == "colour") {
            if (!Color(value, &brush.color)) {
                return false;
            }
        } else if (key == "hatch") {
            if (!Flags(kHatchFamily, value, &brush.hatch)) {
                return false;
            }
        } else if (key == "pattern" || key == "bitmap") {
            if (!Setting("bitmap", value, &brush.bitmap)) {
                return false;
            }
            brush.nullPattern = brush.bitmap < 0;
        } else {
            return Unknown(key, "style=, color=, hatch= or pattern=");
        }
    }
    if (brush.style == 3 && brush.bitmap < 0 && !brush.nullPattern) {
        return Fail("a BS_PATTERN brush needs pattern=BITMAP");
    }
    // BS_DIBPATTERNPT (6) names its packed DIB the same way
    const bool packedDib = brush.style == 6 && brush.bitmap >= 0 &&
                           job_->bitmaps[brush.bitmap].raw == BitmapSetting::Raw::Dib;
    if (brush.style != 3 && brush.bitmap >= 0 && !packedDib) {
        return Fail("pattern= is for style=pattern brushes, or style=6 with a dib bitmap, only");
    }
    job_->brushes.push_back(brush);
    return true;
}

bool Parser::DefineDrawMode(const std::vector<Token> &tokens)
{
    DrawModeSetting mode;
    if (tokens.size() < 2) {
        return Fail("expected a draw-mode name after 'drawmode'");
    }
    if (!NameValue(tokens[1].text, "a draw-mode name", &mode.name)) {
        return false;
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "rop2") {
            if (!Flags(kRop2Family, value, &mode.rop2)) {
                return false;
            }
        } else if (key == "bkmode") {
            if (!Flags(kBkModeFamily, value, &mode.bkMode)) {
                return false;
            }
        } else if (key == "bk" || key == "bkcolor" || key == "bkcolour") {
            if (!Color(value, &mode.bkColor)) {
                return false;
            }
        } else if (key == "text" || key == "textcolor" || key == "textcolour") {
            if (!Color(value, &mode.textColor)) {
                return false;
            }
        } else if (key == "usebkmode") {
            if (!Flags(kNumberFamily, value, &mode.useBkMode)) {
                return false;
            }
        } else {
            return Unknown(key, "rop2=, bkmode=, bk=, text= or usebkmode=");
        }
    }
    job_->drawModes.push_back(mode);
    return true;
}

bool Parser::DefineFont(const std::vector<Token> &tokens)
{
    FontSetting font;
    if (tokens.size() < 2) {
        return Fail("expected a font name after 'font'");
    }
    if (!NameValue(tokens[1].text, "a font name", &font.name)) {
        return false;
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        uint32_t flags = 0;
        int64_t number = 0;
        if (key == "height") {
            if (!Int32(value, "a font height", &font.height)) {
                return false;
            }
        } else if (key == "width") {
            if (!Int32(value, "a font width", &font.width)) {
                return false;
            }
        } else if (key == "escapement") {
            if (!Int32(value, "an escapement (tenths of a degree)", &font.escapement)) {
                return false;
            }
        } else if (key == "orientation") {
            if (!Int32(value, "an orientation (tenths of a degree)", &font.orientation)) {
                return false;
            }
        } else if (key == "angle") {
            // the usual case: text and characters turned together
            if (!Int32(value, "an angle (tenths of a degree)", &font.escapement)) {
                return false;
            }
            font.orientation = font.escapement;
        } else if (key == "weight") {
            if (!Flags(kWeightFamily, value, &flags)) {
                return false;
            }
            font.weight = (int32_t)flags;
        } else if (key == "italic" || key == "underline" || key == "strikeout" || key == "outprecision" ||
                   key == "clipprecision" || key == "pitchandfamily") {
            if (!Number(value, key.c_str(), 0, 255, &number)) {
                return false;
            }
            uint8_t byte = (uint8_t)number;
            (key == "italic"          ? font.italic
             : key == "underline"     ? font.underline
             : key == "strikeout"     ? font.strikeOut
             : key == "outprecision"  ? font.outPrecision
             : key == "clipprecision" ? font.clipPrecision
                                      : font.pitchAndFamily) = byte;
        } else if (key == "charset") {
            if (!Flags(kCharSetFamily, value, &flags)) {
                return false;
            }
            if (flags > 255) {
                return Fail("a character set is one byte (0 to 255), not '" + value + "'");
            }
            font.charSet = (uint8_t)flags;
        } else if (key == "quality") {
            if (!Flags(kQualityFamily, value, &flags)) {
                return false;
            }
            font.quality = (uint8_t)flags;
        } else if (key == "face") {
            std::string face;
            if (!StringValue(tokens[i], &face)) {
                return false;
            }
            face = face.substr(face.find('=') + 1);
            if (face.size() > 31) {
                return Fail("a face name has at most 31 bytes (LOGFONTA), not " + std::to_string(face.size()));
            }
            font.face = face;
        } else {
            return Unknown(key, "height=, width=, escapement=, orientation=, angle=, weight=, italic=, underline=, "
                                "strikeout=, charset=, quality=, outprecision=, clipprecision=, pitchandfamily= or "
                                "face=");
        }
    }
    job_->fonts.push_back(font);
    return true;
}

// bitmap NAME mono WxH | color WxH [depth=24|32] [colors=C0,C1]   (rows follow, then 'end')
// bitmap NAME file=PATH [depth=..] [colors=..]
bool Parser::DefineBitmap(const std::vector<Token> &tokens)
{
    BitmapSetting bitmap;
    if (tokens.size() < 2) {
        return Fail("expected a bitmap name after 'bitmap'");
    }
    if (!NameValue(tokens[1].text, "a bitmap name", &bitmap.name)) {
        return false;
    }
    size_t i = 2;
    bool fromRows = false;
    if (i < tokens.size() && tokens[i].text.find('=') == std::string::npos) {
        const std::string kind = Lower(tokens[i].text);
        if (kind == "bits" || kind == "dib") {
            bitmap_ = bitmap;
            return DefineRawBitmap(tokens, i);
        }
        if (kind != "mono" && kind != "color" && kind != "colour") {
            return Fail("expected 'mono WxH', 'color WxH' or file=PATH after the bitmap name, not '" + tokens[i].text +
                        "'");
        }
        bitmap.mono = kind == "mono";
        if (++i >= tokens.size()) {
            return Fail("expected the bitmap's size as WxH after '" + kind + "'");
        }
        std::vector<std::string> size = Split(Lower(tokens[i].text), 'x');
        int64_t width, height;
        if (size.size() != 2 || !ParseInteger(size[0], &width) || !ParseInteger(size[1], &height)) {
            return Fail("expected the bitmap's size as WxH, not '" + tokens[i].text + "'");
        }
        if (width < 1 || height < 1 || width > 4096 || height > 4096) {
            return Fail("a bitmap is 1 to 4096 pixels each way, not " + tokens[i].text);
        }
        bitmap.width = (int32_t)width;
        bitmap.height = (int32_t)height;
        fromRows = true;
        ++i;
    }
    bool fromFile = false;
    for (; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "file") {
            if (fromRows) {
                return Fail("a bitmap comes from rows or from file=, not both");
            }
            std::string name;
            if (!StringValue(tokens[i], &name)) {
                return false;
            }
            name = name.substr(name.find('=') + 1);
            std::string contents, problem;
            const std::string file = name.size() > 0 && name[0] == '/' ? name : folder_ + name;
            if (!reader_(file, &contents)) {
                return Fail("cannot read the bitmap file '" + file + "'");
            }
            if (!DecodeImage(contents, &bitmap, &problem)) {
                return Fail("bitmap file '" + file + "': " + problem);
            }
            fromFile = true;
        } else if (key == "depth") {
            int64_t depth;
            if (!Number(value, "a depth", 1, 32, &depth)) {
                return false;
            }
            if (depth != 24 && depth != 32) {
                return Fail("expected depth=24 or depth=32 for a colour bitmap, not " + value);
            }
            bitmap.depth = (int)depth;
        } else if (key == "colors" || key == "colours") {
            std::vector<std::string> parts = Split(value, ',');
            ColorRef colors[2];
            if (parts.size() != 2 || !Color(parts[0], &colors[0]) || !Color(parts[1], &colors[1])) {
                return error_.empty() ? Fail("expected colors=C0,C1 (the colours of bits 0 and 1)") : false;
            }
            bitmap.dibColors[0] = RgbToColorRef(colors[0]); // the swap is its own inverse
            bitmap.dibColors[1] = RgbToColorRef(colors[1]);
        } else {
            return Unknown(key, "file=, depth= or colors=");
        }
    }
    if (!fromRows && !fromFile) {
        return Fail("expected 'mono WxH', 'color WxH' or file=PATH for bitmap '" + bitmap.name + "'");
    }
    if (fromFile) {
        job_->bitmaps.push_back(bitmap);
        return true;
    }
    bitmap.pixels.reserve((size_t)bitmap.width * bitmap.height);
    bitmap_ = bitmap;
    inBitmap_ = true;
    bitmapLine_ = line_;
    bitmapRows_ = 0;
    return true;
}

// A row of a mono bitmap: W characters 0/1, or its bytes in hex (two digits
// per 8 pixels, high bit first). A row of a colour bitmap: W tokens RRGGBB.
bool Parser::BitmapRow(const std::vector<Token> &tokens)
{
    if (tokens.size() == 1 && Lower(tokens[0].text) == "end") {
        return FinishBitmap();
    }
    if (bitmap_.raw != BitmapSetting::Raw::None) {
        return RawBitmapRow(tokens);
    }
    if (bitmapRows_ >= bitmap_.height) {
        return Fail("bitmap '" + bitmap_.name + "' has " + std::to_string(bitmap_.height) +
                    " rows; expected 'end' here");
    }
    const int32_t width = bitmap_.width;
    if (bitmap_.mono) {
        std::string row;
        for (const Token &token : tokens) {
            row += token.text;
        }
        bool binary = row.size() == (size_t)width && row.find_first_not_of("01") == std::string::npos;
        size_t hexDigits = (size_t)((width + 7) / 8) * 2;
        if (binary) {
            for (char c : row) {
                bitmap_.pixels.push_back(c == '1' ? 1 : 0);
            }
        } else if (row.size() == hexDigits && row.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            for (int32_t x = 0; x < width; ++x) {
                int64_t byte;
                ParseInteger("0x" + row.substr((size_t)(x / 8) * 2, 2), &byte);
                bitmap_.pixels.push_back((byte >> (7 - x % 8)) & 1);
            }
        } else {
            return Fail("expected a row of " + std::to_string(width) + " pixels as 0/1, or " +
                        std::to_string(hexDigits) + " hex digits, not '" + row + "'");
        }
    } else {
        if (tokens.size() != (size_t)width) {
            return Fail("expected a row of " + std::to_string(width) + " colours RRGGBB, found " +
                        std::to_string(tokens.size()));
        }
        for (const Token &token : tokens) {
            std::string text = token.text[0] == '#' ? token.text.substr(1) : token.text;
            int64_t rgb;
            if (text.size() != 6 || !ParseInteger("0x" + text, &rgb)) {
                return Fail("expected a pixel colour RRGGBB, not '" + token.text + "'");
            }
            bitmap_.pixels.push_back((uint32_t)rgb);
        }
    }
    ++bitmapRows_;
    return true;
}

// bitmap NAME bits WxH [bpp=] [planes=] [widthbytes=] [type=] [bits=none]
// bitmap NAME dib info=N bits=M|none
// A bitmap as the driver held it, as captures write it: every BITMAP field,
// or a DIB's header and colour table then its bits; the bytes follow in hex
// rows, then 'end'.
bool Parser::DefineRawBitmap(const std::vector<Token> &tokens, size_t at)
{
    const bool device = Lower(tokens[at].text) == "bits";
    bitmap_.raw = device ? BitmapSetting::Raw::Device : BitmapSetting::Raw::Dib;
    ++at;
    if (device) {
        std::vector<std::string> size = Split(Lower(at < tokens.size() ? tokens[at].text : ""), 'x');
        if (size.size() != 2 || !Int32(size[0], "a bitmap width", &bitmap_.width) ||
            !Int32(size[1], "a bitmap height", &bitmap_.height)) {
            return error_.empty() ? Fail("expected the bitmap's size as WxH after 'bits'") : false;
        }
        bitmap_.widthBytes = ((bitmap_.width < 0 ? -bitmap_.width : bitmap_.width) + 15) / 16 * 2;
        ++at;
    }
    for (; at < tokens.size(); ++at) {
        std::string key, value;
        if (!KeyValue(tokens[at], &key, &value)) {
            return false;
        }
        int64_t number = 0;
        if (key == "bits" && Lower(value) == "none") {
            bitmap_.noBits = true;
        } else if (device && (key == "bpp" || key == "planes")) {
            if (!Number(value, key.c_str(), 0, 0xFFFF, &number)) {
                return false;
            }
            (key == "bpp" ? bitmap_.bitsPixel : bitmap_.planes) = (uint16_t)number;
        } else if (device && (key == "widthbytes" || key == "type")) {
            if (!Int32(value, key.c_str(), key == "type" ? &bitmap_.type : &bitmap_.widthBytes)) {
                return false;
            }
        } else if (!device && (key == "info" || key == "bits")) {
            if (!Number(value, key.c_str(), 0, 64 << 20, &number)) {
                return false;
            }
            (key == "info" ? bitmap_.infoSize : bitmap_.bitsSize) = (uint32_t)number;
        } else {
            return Unknown(key, device ? "bpp=, planes=, widthbytes=, type= or bits=none" : "info= or bits=");
        }
    }
    if (!device && bitmap_.infoSize > 0 && bitmap_.infoSize < 4) {
        return Fail("a dib bitmap needs info=N, the bytes of its header and colour table (at least 4; 0 for none)");
    }
    inBitmap_ = true;
    bitmapLine_ = line_;
    return true;
}

bool Parser::HexBytes(const std::string &text, std::vector<uint8_t> *bytes)
{
    if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail("expected bytes as pairs of hex digits, not '" + text + "'");
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        bytes->push_back((uint8_t)strtoul(text.substr(i, 2).c_str(), nullptr, 16));
    }
    return true;
}

bool Parser::RawBitmapRow(const std::vector<Token> &tokens)
{
    for (const Token &token : tokens) {
        if (!HexBytes(token.text, &bitmap_.bytes)) {
            return false;
        }
    }
    return true;
}

bool Parser::FinishBitmap()
{
    if (bitmap_.raw == BitmapSetting::Raw::Dib && bitmap_.bytes.size() != (size_t)bitmap_.infoSize + bitmap_.bitsSize) {
        return Fail("bitmap '" + bitmap_.name + "' needs " + std::to_string(bitmap_.infoSize + bitmap_.bitsSize) +
                    " bytes (info= and bits=), found " + std::to_string(bitmap_.bytes.size()));
    }
    if (bitmap_.raw != BitmapSetting::Raw::None) {
        job_->bitmaps.push_back(bitmap_);
        inBitmap_ = false;
        return true;
    }
    if (bitmapRows_ != bitmap_.height) {
        return Fail("bitmap '" + bitmap_.name + "' needs " + std::to_string(bitmap_.height) + " rows, found " +
                    std::to_string(bitmapRows_));
    }
    job_->bitmaps.push_back(bitmap_);
    inBitmap_ = false;
    return true;
}

bool Parser::Select(const std::vector<Token> &tokens)
{
    if (tokens.size() != 3) {
        return Fail("expected 'select pen|brush|drawmode|font NAME' (or none)");
    }
    std::string kind = Lower(tokens[1].text);
    if (kind == "mode") {
        kind = "drawmode";
    }
    int *current = kind == "pen"        ? &pen_
                   : kind == "brush"    ? &brush_
                   : kind == "drawmode" ? &drawMode_
                   : kind == "font"     ? &font_
                                        : nullptr;
    if (current == nullptr) {
        return Fail("expected pen, brush, drawmode or font after 'select', not '" + tokens[1].text + "'");
    }
    if (kind == "font" && Lower(tokens[2].text) == "none") {
        return Fail("text always needs a font; select another one instead of none");
    }
    return Setting(kind, tokens[2].text, current);
}

// ---------------------------------------------------------------- requests

Request Parser::Begin(Kind kind)
{
    Request request;
    request.kind = kind;
    request.line = line_;
    request.pen = pen_;
    request.brush = brush_;
    request.drawMode = drawMode_;
    request.font = font_;
    return request;
}

bool Parser::NeedPage(const char *request)
{
    if (!inPage_) {
        return Fail(std::string("'") + request + "' outside a page; expected a 'page' line first");
    }
    return true;
}

bool Parser::Page(const std::vector<Token> &tokens)
{
    if (inPage_) {
        // the previous page ends first, as the driver ends one page before
        // it starts the next
        if (!Close({Token{"close", false}})) {
            return false;
        }
    }
    Request request = Begin(Kind::Page);
    for (size_t i = 1; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "size") {
            if (!Pair(value, "a page size", &request.sizeX, &request.sizeY)) {
                return false;
            }
            if (request.sizeX <= 0 || request.sizeY <= 0) {
                return Fail("a page size is positive, not '" + value + "'");
            }
            request.hasSize = true;
        } else if (key == "frame" && Lower(value) == "none") {
            request.nullFrame = true;
        } else if (key == "devmode") {
            if (!HexBytes(value, &request.devMode)) {
                return false;
            }
        } else if (key == "frame") {
            if (!RectValue(value, "a frame in 0.01 mm", &request.frame)) {
                return false;
            }
            if (request.frame.right <= request.frame.left || request.frame.bottom <= request.frame.top) {
                return Fail("a frame needs right > left and bottom > top, not '" + value + "'");
            }
            request.hasFrame = true;
        } else if (key == "device") {
            std::string device;
            if (!StringValue(tokens[i], &device)) {
                return false;
            }
            request.device = device.substr(device.find('=') + 1);
        } else if (key == "expect") {
            if (!Int32(value, "an expected result", &request.expect)) {
                return false;
            }
            request.hasExpect = true;
        } else {
            return Unknown(key, "size=W,H, frame=l,t,r,b|none, device=NAME, devmode=HEX or expect=");
        }
    }
    if (request.hasSize && request.hasFrame) {
        return Fail("give a page either size= or frame=, not both");
    }
    job_->requests.push_back(request);
    ++job_->pages;
    inPage_ = true;
    pageLine_ = line_;
    return true;
}

bool Parser::Clip(const std::vector<Token> &tokens)
{
    if (!NeedPage("clip")) {
        return false;
    }
    Request request = Begin(Kind::Clip);
    if (tokens.size() < 2) {
        return Fail("expected 'clip left,top,right,bottom' or 'clip none'");
    }
    if (Lower(tokens[1].text) != "none") {
        if (!RectValue(tokens[1].text, "a clip rectangle", &request.clip)) {
            return false;
        }
        request.hasClip = true;
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "expect") {
            if (!Int32(value, "an expected result", &request.expect)) {
                return false;
            }
            request.hasExpect = true;
        } else {
            return Unknown(key, "expect=");
        }
    }
    job_->requests.push_back(request);
    return true;
}

// Point generators, for shapes a hand would not type:
//   star:cx,cy,outer,inner,spikes          2*spikes points
//   arc:cx,cy,rx,ry,fromDeg,toDeg,n        n points (y grows downward, angles counter-clockwise)
//   wave:x0,y0,x1,amplitude,period,n       n points of a sine wave
bool Parser::Generated(const std::string &generator, const std::vector<double> &a, std::vector<Point> *points)
{
    const double pi = 3.14159265358979323846;
    auto add = [&](double x, double y) {
        long rx = lround(x), ry = lround(y);
        if (rx < INT16_MIN || rx > INT16_MAX || ry < INT16_MIN || ry > INT16_MAX) {
            return Fail(generator + " makes a point outside the 16-bit range");
        }
        points->push_back(Point{(int16_t)rx, (int16_t)ry});
        return true;
    };
    auto count = [&](double n, const char *what) {
        if (n < 1 || n > 65535 || n != floor(n)) {
            return Fail(generator + ": " + what + " must be a whole number from 1 to 65535");
        }
        return true;
    };
    if (generator == "star") {
        if (a.size() != 5) {
            return Fail("expected star:cx,cy,outer,inner,spikes");
        }
        if (!count(a[4], "spikes") || a[4] * 2 > 65535) {
            return false;
        }
        int n = (int)a[4] * 2;
        for (int i = 0; i < n; ++i) {
            double radius = i % 2 == 0 ? a[2] : a[3];
            double angle = pi / 2 + i * pi / a[4];
            if (!add(a[0] + radius * cos(angle), a[1] - radius * sin(angle))) {
                return false;
            }
        }
        return true;
    }
    if (generator == "arc") {
        if (a.size() != 7) {
            return Fail("expected arc:cx,cy,rx,ry,fromDegrees,toDegrees,n");
        }
        if (!count(a[6], "n")) {
            return false;
        }
        int n = (int)a[6];
        for (int i = 0; i < n; ++i) {
            double t = n == 1 ? 0 : (double)i / (n - 1);
            double angle = (a[4] + (a[5] - a[4]) * t) * pi / 180;
            if (!add(a[0] + a[2] * cos(angle), a[1] - a[3] * sin(angle))) {
                return false;
            }
        }
        return true;
    }
    if (generator == "wave") {
        if (a.size() != 6) {
            return Fail("expected wave:x0,y0,x1,amplitude,period,n");
        }
        if (!count(a[5], "n") || a[4] == 0) {
            return error_.empty() ? Fail("wave: the period must not be 0") : false;
        }
        int n = (int)a[5];
        for (int i = 0; i < n; ++i) {
            double x = n == 1 ? a[0] : a[0] + (a[2] - a[0]) * i / (n - 1);
            if (!add(x, a[1] - a[3] * sin(2 * pi * (x - a[0]) / a[4]))) {
                return false;
            }
        }
        return true;
    }
    return Fail("unknown point generator '" + generator + "'; expected star:, arc: or wave:");
}

// A point list file: pairs of numbers, any separators, '#' comments.
bool Parser::PointFile(const std::string &name, std::vector<Point> *points)
{
    const std::string file = name.size() > 0 && name[0] == '/' ? name : folder_ + name;
    std::string contents;
    if (!reader_(file, &contents)) {
        return Fail("cannot read the point file '" + file + "'");
    }
    std::vector<int64_t> numbers;
    std::istringstream stream(contents);
    std::string line;
    while (std::getline(stream, line)) {
        line = line.substr(0, line.find('#'));
        for (char &c : line) {
            if (c == ',' || c == ';' || c == '\t' || c == '\r') {
                c = ' ';
            }
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            int64_t value;
            if (!ParseInteger(word, &value)) {
                return Fail("point file '" + file + "': expected numbers, found '" + word + "'");
            }
            numbers.push_back(value);
        }
    }
    if (numbers.size() % 2 != 0) {
        return Fail("point file '" + file + "' holds an odd count of numbers; expected x y pairs");
    }
    for (size_t i = 0; i < numbers.size(); i += 2) {
        if (numbers[i] < INT16_MIN || numbers[i] > INT16_MAX || numbers[i + 1] < INT16_MIN ||
            numbers[i + 1] > INT16_MAX) {
            return Fail("point file '" + file + "' has a point outside the 16-bit range");
        }
        points->push_back(Point{(int16_t)numbers[i], (int16_t)numbers[i + 1]});
    }
    return true;
}

bool Parser::PointItem(const std::string &text, std::vector<Point> *points)
{
    size_t colon = text.find(':');
    if (colon != std::string::npos) {
        std::string generator = Lower(text.substr(0, colon));
        std::vector<double> arguments;
        for (const std::string &piece : Split(text.substr(colon + 1), ',')) {
            char *end = nullptr;
            double value = strtod(piece.c_str(), &end);
            if (piece.empty() || *end != '\0' || !std::isfinite(value)) {
                return Fail("expected numbers in '" + text + "', not '" + piece + "'");
            }
            arguments.push_back(value);
        }
        return Generated(generator, arguments, points);
    }
    Point point;
    if (!PointValue(text, "a point", &point)) {
        return false;
    }
    points->push_back(point);
    return true;
}

bool Parser::Output(const std::vector<Token> &tokens)
{
    if (!NeedPage("output")) {
        return false;
    }
    Request request = Begin(Kind::Output);
    if (tokens.size() < 2) {
        return Fail("expected an output style after 'output' (rectangle, ellipse, windpolygon, ... or a number)");
    }
    uint32_t style;
    if (!Flags(kOutputStyleFamily, tokens[1].text, &style)) {
        return false;
    }
    if (style > 0xFFFF) {
        return Fail("an output style is 16 bits, not " + tokens[1].text);
    }
    request.style = (uint16_t)style;
    const bool polyPolygon = style == 0x4014 || style == 0x4016;
    bool countGiven = false;
    int64_t count = 0;
    bool countsGiven = false;
    std::vector<int32_t> explicitCounts;
    std::vector<Point> polygon;
    for (size_t i = 2; i < tokens.size(); ++i) {
        const Token &token = tokens[i];
        if (token.text == "|") {
            if (!polyPolygon) {
                return Fail("'|' separates the polygons of a poly-polygon style only");
            }
            if (polygon.empty()) {
                return Fail("expected points before '|'");
            }
            request.polygonCounts.push_back((int32_t)polygon.size());
            request.points.insert(request.points.end(), polygon.begin(), polygon.end());
            polygon.clear();
            continue;
        }
        if (token.text.find('=') == std::string::npos) {
            if (!PointItem(token.text, &polygon)) {
                return false;
            }
            continue;
        }
        std::string key, value;
        if (!KeyValue(token, &key, &value)) {
            return false;
        }
        if (key == "points") {
            if (!PointFile(value, &polygon)) {
                return false;
            }
        } else if (key == "pen" || key == "brush") {
            if (!Setting(key, value, key == "pen" ? &request.pen : &request.brush)) {
                return false;
            }
        } else if (key == "mode" || key == "drawmode") {
            if (!Setting("drawmode", value, &request.drawMode)) {
                return false;
            }
        } else if (key == "clip") {
            if (Lower(value) != "none") {
                if (!RectValue(value, "a clip rectangle", &request.clip)) {
                    return false;
                }
                request.hasClip = true;
            }
        } else if (key == "geom" || key == "geometric") {
            if (!Flags(kPenStyleFamily, value, &request.geometricPenStyle)) {
                return false;
            }
        } else if (key == "scan" || key == "scanflag") {
            int64_t flag;
            if (!Number(value, "a scan flag", 0, 0xFFFF, &flag)) {
                return false;
            }
            request.scanFlag = (uint16_t)flag;
        } else if (key == "count") {
            if (!Number(value, "a count", 0, 0xFFFF, &count)) {
                return false;
            }
            countGiven = true;
        } else if (key == "counts" && polyPolygon) {
            // counts= alone: a poly-polygon of no polygons
            if (!Numbers(value, "a vertex count", &explicitCounts)) {
                return false;
            }
            countsGiven = true;
        } else if (key == "release") {
            std::string how = Lower(value);
            if (how != "auto" && how != "manual") {
                return Fail("expected release=auto or release=manual, not '" + value + "'");
            }
            request.autoRelease = how == "auto";
        } else if (key == "expect") {
            if (!Int32(value, "an expected result", &request.expect)) {
                return false;
            }
            request.hasExpect = true;
        } else {
            return Unknown(key,
                           "points=, pen=, brush=, mode=, clip=, geom=, scan=, count=, counts=, release= or expect=");
        }
    }
    if (countsGiven) {
        // counts as the driver passed them, empty or negative ones included
        if (!request.polygonCounts.empty()) {
            return Fail("give a poly-polygon's polygons with '|' or with counts=, not both");
        }
        // a negative count makes the DLL refuse the request before it reads a point
        int64_t total = 0;
        bool refused = false;
        for (int32_t one : explicitCounts) {
            total += one > 0 ? one : 0;
            refused = refused || one < 0;
        }
        if (!refused && (size_t)total > polygon.size()) {
            return Fail("counts= adds up to " + std::to_string(total) + " points; " +
                        std::to_string(polygon.size()) + " given");
        }
        request.polygonCounts = explicitCounts;
        request.points = polygon;
    } else if (polyPolygon) {
        if (!polygon.empty()) {
            request.polygonCounts.push_back((int32_t)polygon.size());
            request.points.insert(request.points.end(), polygon.begin(), polygon.end());
        }
        if (request.polygonCounts.empty()) {
            return Fail("expected the points of at least one polygon, polygons separated by '|'");
        }
    } else {
        request.points = polygon;
    }

    // How many points each style reads: fewer would let the library read
    // past the driver's array.
    size_t needed = 0;
    size_t natural = polyPolygon ? request.polygonCounts.size() : request.points.size();
    switch (style) {
    case 0x0006:
    case 0x0007:
    case 0x0037:
        needed = 2;
        break;
    case 0x0001:
        needed = 4;
        break;
    case 0x0050:
    case 0x0051:
        if (!request.points.empty()) {
            return Fail(std::string(style == 0x50 ? "beginscan" : "endscan") + " takes no points");
        }
        break;
    default:
        break;
    }
    if (needed != 0 && request.points.size() < needed) {
        return Fail("style " + tokens[1].text + " reads " + std::to_string(needed) + " points; expected " +
                    std::to_string(needed) + " 'x,y' points, found " + std::to_string(request.points.size()));
    }
    if (natural > 0xFFFF) {
        return Fail("the count is 16 bits; " + std::to_string(natural) + " points do not fit");
    }
    if (countGiven) {
        // scanlines read nothing for a count of 0 or 1
        const bool unread = style == 0x0004 && count <= 1;
        if ((style == 0x0012 || style == 0x0014 || style == 0x0016 || style == 0x0004 || polyPolygon) &&
            (size_t)count > natural && !unread) {
            return Fail("count=" + std::to_string(count) + " is more than the " + std::to_string(natural) +
                        (polyPolygon ? " polygons" : " points") + " given");
        }
        request.count = (uint16_t)count;
    } else {
        request.count = (uint16_t)natural;
    }

    // The scan bracket: the objects it hands out must be released before
    // another bracket takes their place, or they leak.
    if (style == 0x0050) {
        if (bracketOpen_) {
            return Fail("a scan bracket is already open (line " + std::to_string(bracketLine_) +
                        "); expected 'output endscan' first");
        }
        if (heldPen_ || heldBrush_ || heldPattern_) {
            return Fail("the scan bracket of line " + std::to_string(bracketLine_) +
                        " still holds its objects; expected 'delete scan' first");
        }
        bracketOpen_ = true;
        bracketLine_ = line_;
        heldPen_ = heldBrush_ = heldPattern_ = true;
    } else if (style == 0x0051) {
        bracketOpen_ = false;
        if (request.autoRelease) {
            heldPen_ = heldBrush_ = heldPattern_ = false;
        }
    }
    job_->requests.push_back(request);
    return true;
}

// raster X,Y W,H SOURCE|none [src=x,y,w,h] [rop=..] [brush=..] [mode=..]
// dib    X,Y W,H SOURCE      [src=x,y,w,h] [rop=..] [brush=..] [mode=..]
bool Parser::Transfer(const std::vector<Token> &tokens, Kind kind)
{
    const char *name = kind == Kind::Raster ? "raster" : "dib";
    if (!NeedPage(name)) {
        return false;
    }
    Request request = Begin(kind);
    if (tokens.size() < 4) {
        return Fail(std::string("expected '") + name + " x,y width,height " +
                    (kind == Kind::Raster ? "BITMAP|none" : "BITMAP") + " [options]'");
    }
    if (!Pair(tokens[1].text, "a destination point x,y", &request.xDest, &request.yDest) ||
        !Pair(tokens[2].text, "a destination size width,height", &request.cxDest, &request.cyDest)) {
        return false;
    }
    if (Lower(tokens[3].text) == "none") {
        if (kind == Kind::Dib) {
            return Fail("a dib request needs a bitmap, not none");
        }
    } else if (!Setting("bitmap", tokens[3].text, &request.source)) {
        return false;
    }
    if (request.source >= 0) {
        const BitmapSetting &bitmap = job_->bitmaps[request.source];
        request.cxSrc = bitmap.width;
        request.cySrc = bitmap.height;
        request.rop = 0x00CC0020; // SRCCOPY
    } else {
        request.rop = 0x00F00021; // PATCOPY
    }
    for (size_t i = 4; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key == "src") {
            Rect source;
            if (!RectValue(value, "a source rectangle x,y,width,height", &source)) {
                return false;
            }
            if (request.source < 0) {
                return Fail("src= needs a source bitmap");
            }
            request.xSrc = source.left;
            request.ySrc = source.top;
            request.cxSrc = source.right;
            request.cySrc = source.bottom;
        } else if (key == "rop") {
            if (!Flags(kRop3Family, value, &request.rop)) {
                return false;
            }
        } else if (key == "brush") {
            if (!Setting("brush", value, &request.brush)) {
                return false;
            }
        } else if (key == "mode" || key == "drawmode") {
            if (!Setting("drawmode", value, &request.drawMode)) {
                return false;
            }
        } else if (key == "expect") {
            if (!Int32(value, "an expected result", &request.expect)) {
                return false;
            }
            request.hasExpect = true;
        } else {
            return Unknown(key, "src=, rop=, brush=, mode= or expect=");
        }
    }
    job_->requests.push_back(request);
    return true;
}

// text X,Y "string" [font=..] [mode=..] [options=..] [rect=l,t,r,b] [advances=a,b,..|advance=N]
// text X,Y glyphs=i,j,..  (ETO_GLYPH_INDEX)
bool Parser::Text(const std::vector<Token> &tokens)
{
    if (!NeedPage("text")) {
        return false;
    }
    Request request = Begin(Kind::Text);
    if (tokens.size() < 2 || !Pair(tokens[1].text, "a reference point x,y", &request.x, &request.y)) {
        return tokens.size() < 2 ? Fail("expected 'text x,y \"string\" [options]'") : false;
    }
    bool hasString = false;
    bool hasGlyphs = false;
    bool uniform = false;
    int32_t uniformAdvance = 0;
    for (size_t i = 2; i < tokens.size(); ++i) {
        const Token &token = tokens[i];
        if (token.leadingQuote && !hasString) {
            if (!StringValue(token, &request.bytes)) {
                return false;
            }
            hasString = true;
            continue;
        }
        std::string key, value;
        if (!KeyValue(token, &key, &value)) {
            return false;
        }
        if (key == "font") {
            if (!Setting("font", value, &request.font)) {
                return false;
            }
        } else if (key == "mode" || key == "drawmode") {
            if (!Setting("drawmode", value, &request.drawMode)) {
                return false;
            }
        } else if (key == "options") {
            if (!Flags(kTextOptionFamily, value, &request.options)) {
                return false;
            }
        } else if (key == "rect") {
            if (!RectValue(value, "a text rectangle", &request.rect)) {
                return false;
            }
            request.hasRect = true;
        } else if (key == "advances") {
            if (!Numbers(value, "an advance", &request.advances)) {
                return false;
            }
            request.hasAdvances = true;
        } else if (key == "advance") {
            if (!Int32(value, "an advance", &uniformAdvance)) {
                return false;
            }
            uniform = true;
        } else if (key == "glyphs") {
            std::vector<int32_t> glyphs;
            if (!Numbers(value, "a glyph index", &glyphs)) {
                return false;
            }
            for (int32_t glyph : glyphs) {
                if (glyph < 0 || glyph > 0xFFFF) {
                    return Fail("a glyph index is 16 bits, not " + std::to_string(glyph));
                }
                request.glyphs.push_back((uint16_t)glyph);
            }
            hasGlyphs = true;
        } else if (key == "expect") {
            if (!Int32(value, "an expected result", &request.expect)) {
                return false;
            }
            request.hasExpect = true;
        } else {
            return Unknown(key, "font=, mode=, options=, rect=, advances=, advance=, glyphs= or expect=");
        }
    }
    if (hasString == hasGlyphs) {
        return Fail(hasString ? "give a text either a \"string\" or glyphs=, not both"
                              : "expected a \"string\" (or glyphs=) after the reference point");
    }
    if (uniform && request.hasAdvances) {
        return Fail("give either advances= or advance=, not both");
    }
    if (hasGlyphs) {
        request.options |= 0x10; // ETO_GLYPH_INDEX
    } else if (request.options & 0x10) {
        return Fail("ETO_GLYPH_INDEX needs glyphs=, not a string");
    }
    const size_t units = hasGlyphs ? request.glyphs.size() : request.bytes.size();
    if (uniform) {
        request.advances.assign(units, uniformAdvance);
        request.hasAdvances = true;
    }
    if (request.hasAdvances && request.advances.size() != units) {
        return Fail("expected one advance per " + std::string(hasGlyphs ? "glyph" : "byte") + " (" +
                    std::to_string(units) + "), found " + std::to_string(request.advances.size()));
    }
    if (request.drawMode < 0) {
        // text needs a draw mode; the built-in one stands in
        request.drawMode = defaultDrawMode_;
    }
    job_->requests.push_back(request);
    return true;
}

bool Parser::Delete(const std::vector<Token> &tokens)
{
    if (!NeedPage("delete")) {
        return false;
    }
    Request request = Begin(Kind::Delete);
    if (tokens.size() < 2) {
        return Fail("expected 'delete pen|brush|pattern|scan'");
    }
    for (size_t i = 2; i < tokens.size(); ++i) {
        std::string key, value;
        if (!KeyValue(tokens[i], &key, &value)) {
            return false;
        }
        if (key != "expect") {
            return Unknown(key, "expect=");
        }
        if (!Int32(value, "an expected result", &request.expect)) {
            return false;
        }
        request.hasExpect = true;
    }
    const std::string what = Lower(tokens[1].text);
    bool *held = nullptr;
    if (what == "pen") {
        request.release = Release::Pen;
        held = &heldPen_;
    } else if (what == "brush") {
        request.release = Release::Brush;
        held = &heldBrush_;
    } else if (what == "pattern") {
        request.release = Release::Pattern;
        held = &heldPattern_;
    } else if (what == "scan") {
        request.release = Release::Scan;
    } else {
        return Fail("expected pen, brush, pattern or scan after 'delete', not '" + tokens[1].text + "'");
    }
    if (held != nullptr ? !*held : !(heldPen_ || heldBrush_ || heldPattern_)) {
        return Fail("no scan bracket holds a " + what +
                    " to release; expected 'output beginscan' and 'output endscan release=manual' before it");
    }
    if (held != nullptr) {
        *held = false;
    } else {
        heldPen_ = heldBrush_ = heldPattern_ = false;
    }
    job_->requests.push_back(request);
    return true;
}

bool Parser::Close(const std::vector<Token> &tokens)
{
    if (!NeedPage("close")) {
        return false;
    }
    if (tokens.size() != 1) {
        return Fail("expected nothing after 'close'");
    }
    if (bracketOpen_) {
        return Fail("the scan bracket of line " + std::to_string(bracketLine_) +
                    " is still open; expected 'output endscan' before the page ends");
    }
    // Objects a bracket still holds are released by the simulator before it
    // closes, as a driver's end-of-page would.
    heldPen_ = heldBrush_ = heldPattern_ = false;
    job_->requests.push_back(Begin(Kind::Close));
    inPage_ = false;
    return true;
}

// ---------------------------------------------------------------- images

uint32_t Little(const std::string &data, size_t offset, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | (uint8_t)data[offset + i];
    }
    return value;
}

bool DecodeBmp(const std::string &data, BitmapSetting *bitmap, std::string *error)
{
    if (data.size() < 54) {
        *error = "too short for a BMP";
        return false;
    }
    const uint32_t bitsOffset = Little(data, 10, 4);
    const uint32_t headerSize = Little(data, 14, 4);
    const int32_t width = (int32_t)Little(data, 18, 4);
    const int32_t rawHeight = (int32_t)Little(data, 22, 4);
    const uint32_t bitCount = Little(data, 28, 2);
    const uint32_t compression = Little(data, 30, 4);
    uint32_t colorsUsed = Little(data, 46, 4);
    if (headerSize < 40 || 14 + (uint64_t)headerSize > data.size()) {
        *error = "expected a BITMAPINFOHEADER";
        return false;
    }
    if (compression != 0) {
        *error = "expected an uncompressed BMP (BI_RGB)";
        return false;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
        *error = "expected 1, 4, 8, 24 or 32 bits per pixel, not " + std::to_string(bitCount);
        return false;
    }
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -(int64_t)rawHeight : rawHeight;
    if (width < 1 || height < 1 || width > 4096 || height > 4096) {
        *error = "expected 1 to 4096 pixels each way";
        return false;
    }
    if (bitCount <= 8 && colorsUsed == 0) {
        colorsUsed = 1u << bitCount;
    }
    const uint64_t paletteOffset = 14 + (uint64_t)headerSize;
    if (bitCount <= 8 && (colorsUsed > 256 || paletteOffset + (uint64_t)colorsUsed * 4 > data.size())) {
        *error = "the colour table runs past the end of the file";
        return false;
    }
    const uint64_t stride = (((uint64_t)width * bitCount + 31) / 32) * 4;
    if ((uint64_t)bitsOffset + stride * height > data.size()) {
        *error = "the pixels run past the end of the file";
        return false;
    }
    auto palette = [&](uint32_t index) -> uint32_t {
        if (index >= colorsUsed) {
            return 0;
        }
        return Little(data, paletteOffset + (size_t)index * 4, 3); // B, G, R bytes -> 0xRRGGBB
    };
    bitmap->width = width;
    bitmap->height = (int32_t)height;
    bitmap->mono = bitCount == 1;
    bitmap->pixels.assign((size_t)width * height, 0);
    for (int64_t row = 0; row < height; ++row) {
        const size_t line = bitsOffset + (size_t)(stride * (topDown ? row : height - 1 - row));
        for (int32_t x = 0; x < width; ++x) {
            uint32_t pixel;
            if (bitCount == 24 || bitCount == 32) {
                pixel = Little(data, line + (size_t)x * (bitCount / 8), 3);
            } else {
                const uint8_t byte = (uint8_t)data[line + (size_t)x * bitCount / 8];
                const int shift = 8 - bitCount - (int)(x * bitCount % 8);
                const uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
                pixel = palette(index);
                if (bitCount == 1) {
                    // a bright palette entry is paper: bit 1, the background colour
                    const uint32_t sum = (pixel & 0xFF) + ((pixel >> 8) & 0xFF) + ((pixel >> 16) & 0xFF);
                    pixel = sum >= 384 ? 1 : 0;
                }
            }
            bitmap->pixels[(size_t)row * width + x] = pixel;
        }
    }
    return true;
}

bool DecodeNetpbm(const std::string &data, BitmapSetting *bitmap, std::string *error)
{
    // Numbers separated by white space; '#' comments run to the line end.
    std::vector<int64_t> numbers;
    std::string word;
    bool comment = false;
    for (size_t i = 2; i <= data.size(); ++i) {
        char c = i < data.size() ? data[i] : '\n';
        if (comment) {
            comment = c != '\n';
            continue;
        }
        if (c == '#' || isspace((unsigned char)c)) {
            comment = c == '#';
            if (!word.empty()) {
                int64_t value;
                if (!ParseInteger(word, &value) || value < 0) {
                    *error = "expected numbers, found '" + word + "'";
                    return false;
                }
                numbers.push_back(value);
                word.clear();
            }
            continue;
        }
        // P1 allows its bits without separators
        if (data[1] == '1' && numbers.size() >= 2 && (c == '0' || c == '1')) {
            numbers.push_back(c - '0');
            continue;
        }
        word += c;
    }
    const bool pbm = data[1] == '1';
    const size_t headerCount = pbm ? 2 : 3;
    if (numbers.size() < headerCount) {
        *error = pbm ? "expected width and height" : "expected width, height and maximum value";
        return false;
    }
    const int64_t width = numbers[0], height = numbers[1];
    if (width < 1 || height < 1 || width > 4096 || height > 4096) {
        *error = "expected 1 to 4096 pixels each way";
        return false;
    }
    const int64_t maximum = pbm ? 1 : numbers[2];
    if (maximum < 1 || maximum > 65535) {
        *error = "expected a maximum value from 1 to 65535";
        return false;
    }
    const size_t samples = (size_t)(width * height * (pbm ? 1 : 3));
    if (numbers.size() != headerCount + samples) {
        *error =
            "expected " + std::to_string(samples) + " samples, found " + std::to_string(numbers.size() - headerCount);
        return false;
    }
    bitmap->width = (int32_t)width;
    bitmap->height = (int32_t)height;
    bitmap->mono = pbm;
    bitmap->pixels.clear();
    for (size_t i = 0; i < (size_t)(width * height); ++i) {
        if (pbm) {
            // PBM's 1 is black ink: the text colour, bit 0 of a device bitmap
            bitmap->pixels.push_back(numbers[headerCount + i] ? 0 : 1);
            continue;
        }
        uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c) {
            int64_t sample = numbers[headerCount + i * 3 + c];
            if (sample > maximum) {
                *error = "a sample exceeds the maximum value";
                return false;
            }
            rgb = (rgb << 8) | (uint32_t)(sample * 255 / maximum);
        }
        bitmap->pixels.push_back(rgb);
    }
    return true;
}

} // namespace

bool DecodeImage(const std::string &contents, BitmapSetting *bitmap, std::string *error)
{
    if (contents.size() >= 2 && contents[0] == 'B' && contents[1] == 'M') {
        return DecodeBmp(contents, bitmap, error);
    }
    if (contents.size() >= 2 && contents[0] == 'P' && (contents[1] == '1' || contents[1] == '3')) {
        return DecodeNetpbm(contents, bitmap, error);
    }
    *error = "expected a BMP file or a text PBM (P1) or PPM (P3) file";
    return false;
}

bool ReadWholeFile(const std::string &path, std::string *contents)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream buffer;
    buffer << file.rdbuf();
    *contents = buffer.str();
    return !file.bad();
}

bool ParseJob(const std::string &text, const std::string &path, Job *job, std::string *error, const FileReader &reader)
{
    *job = Job();
    Parser parser(path, job, reader);
    if (!parser.Run(text)) {
        *error = parser.Error();
        return false;
    }
    return true;
}

bool ParseJobFile(const std::string &path, Job *job, std::string *error)
{
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *error = path + ": cannot read the job file";
        return false;
    }
    return ParseJob(text, path, job, error);
}

const char *KindName(Kind kind)
{
    switch (kind) {
    case Kind::Page:
        return "page";
    case Kind::Clip:
        return "clip";
    case Kind::Output:
        return "output";
    case Kind::Raster:
        return "raster";
    case Kind::Dib:
        return "dib";
    case Kind::Text:
        return "text";
    case Kind::Delete:
        return "delete";
    case Kind::Close:
        return "close";
    }
    return "?";
}

} // namespace job
