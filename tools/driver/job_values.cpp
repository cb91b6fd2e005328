// Value readers of the job parser: a token read as the value kind its
// grammar row names (numbers within their row's limit, names of constants,
// colours, strings with escapes, hex bytes, setting names, point lists),
// each failure naming what was expected.
#include "job_values.h"

#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "point_generators.h"
#include "requestmodel/output_styles.h"

namespace job {
namespace parse {

const char *const kSettingNames[] = {"", "pen", "brush", "drawmode", "font", "bitmap"};
const grammar::ConstantSet kNumbers = {"a number", "", "", nullptr, 0};

const char kHexDigits[] = "0123456789abcdefABCDEF";

const Range kLimits[] = {{INT32_MIN, INT32_MAX, "32 bits"},
                         {0, 255, "one byte"},
                         {0, 0xFFFF, "16 bits"},
                         {1, INT32_MAX, "positive"},
                         {0, INT32_MAX, "under 2 GiB"}}; // a 600-dpi band of 24 bits passes 64 MiB

const Range kPointRange = {INT16_MIN, INT16_MAX, "16-bit points of an output request"};

ColorRef RgbToColorRef(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::string Lower(std::string text)
{
    for (char &c : text) {
        c = (char)tolower((unsigned char)c);
    }
    return text;
}

// Splits at a separator; empty pieces are kept so that "1,,2" is caught.
std::vector<std::string> Split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    for (size_t start = 0;;) {
        size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

namespace {

// The output styles as a set of names like the grammar's, so that one
// lookup and one list of names serve both.
const grammar::ConstantSet &StyleSet()
{
    static const std::vector<grammar::Constant> styles = [] {
        std::vector<grammar::Constant> names;
        for (const OutputStyle &style : OUTPUT_STYLES) {
            names.push_back(grammar::Constant{style.name, style.code, 0});
        }
        return names;
    }();
    static const grammar::ConstantSet set = {"an output style", "OUT_", "", styles.data(), (uint16_t)styles.size()};
    return set;
}

// A name matches its constant without case, with or without the set's
// prefix or suffix.
bool LookUp(const grammar::ConstantSet &set, const std::string &token, uint32_t *value)
{
    const std::string lower = Lower(token);
    for (uint16_t i = 0; i < set.size; ++i) {
        const std::string name = Lower(set.constants[i].name);
        if (lower == name || Lower(set.prefix) + lower == name || lower + Lower(set.suffix) == name) {
            *value = set.constants[i].value;
            return true;
        }
    }
    return false;
}

// The short names a user may write, when there are few enough to list.
std::string NameList(const grammar::ConstantSet &set)
{
    if (set.size > 20) {
        return std::string("a name such as ") + set.constants[0].name;
    }
    std::string list;
    for (uint16_t i = 0; i < set.size; ++i) {
        list += (i == 0 ? "" : ", ") + Lower(ShortName(set.constants[i].name, set.prefix, set.suffix));
    }
    return list;
}

} // namespace

bool InRange(Parser &p, int64_t value, const std::string &what, const std::string &text, const Range &range)
{
    if (value < range.low || value > range.high) {
        return Fail(p, what + " " + text + " is out of range (" + std::to_string(range.low) + " to " +
                           std::to_string(range.high) + ", " + range.what + ")");
    }
    return true;
}

namespace {

bool Number(Parser &p, const std::string &text, const std::string &what, const Range &range, int64_t *value)
{
    if (!ParseInteger(text, value)) {
        return Fail(p, "expected " + what + " (a number), not '" + text + "'");
    }
    return InRange(p, *value, what, text, range);
}

} // namespace

// count numbers (any number of them when count is 0) split at a separator,
// each within range: pairs, rectangles, sizes, lists and points.
bool Numbers(Parser &p, const std::string &text, char separator, const std::string &what, size_t count,
             const Range &range, std::vector<int32_t> *values)
{
    const std::vector<std::string> parts = Split(text, separator);
    if (count != 0 && parts.size() != count) {
        return Fail(p, "expected " + what + " as " + std::to_string(count) + " numbers, not '" + text + "'");
    }
    values->clear();
    for (const std::string &part : parts) {
        int64_t value = 0;
        if (!Number(p, part, what, range, &value)) {
            return false;
        }
        values->push_back((int32_t)value);
    }
    return true;
}

namespace {

// Names of the set, or numbers, joined by '|'.
bool Flags(Parser &p, const grammar::ConstantSet &set, const std::string &text, uint32_t *value)
{
    *value = 0;
    for (const std::string &piece : Split(text, '|')) {
        uint32_t one = 0;
        int64_t number = 0;
        if (LookUp(set, piece, &one)) {
            *value |= one;
        } else if (ParseInteger(piece, &number) && number >= INT32_MIN && number <= (int64_t)UINT32_MAX) {
            *value |= (uint32_t)number;
        } else {
            const std::string names = set.size > 0 ? " (" + NameList(set) + ", or a number)" : "";
            return Fail(p, "expected " + std::string(set.what) + names + ", not '" + piece + "'");
        }
    }
    return true;
}

bool Color(Parser &p, const std::string &text, ColorRef *value)
{
    const std::string lower = Lower(text);
    int64_t number = 0;
    uint32_t rgb = 0;
    if (lower.size() == 7 && lower[0] == '#' && ParseInteger("0x" + lower.substr(1), &number)) {
        return (*value = RgbToColorRef((uint32_t)number)), true;
    }
    if (LookUp(grammar::SET_COLORS, lower, &rgb)) {
        return (*value = RgbToColorRef(rgb)), true;
    }
    if (lower.compare(0, 4, "rgb(") == 0 && lower.back() == ')') {
        const std::vector<std::string> pieces = Split(lower.substr(4, lower.size() - 5), ',');
        int64_t c[3] = {-1, -1, -1};
        for (size_t i = 0; i < 3 && pieces.size() == 3; ++i) {
            c[i] = ParseInteger(pieces[i], &number) && number >= 0 && number < 256 ? number : -1;
        }
        if (c[0] >= 0 && c[1] >= 0 && c[2] >= 0) {
            return (*value = (uint32_t)(c[0] | (c[1] << 8) | (c[2] << 16))), true;
        }
    }
    // A bare number is a COLORREF as the driver holds it (0x00BBGGRR), high
    // byte included, so a job can hand over palette-index colours too.
    if (ParseInteger(text, &number) && number >= 0) {
        return (*value = (uint32_t)number), true;
    }
    return Fail(p,
                "expected a colour (#RRGGBB, a name such as red, rgb(r,g,b) or a COLORREF number), not '" + text + "'");
}

} // namespace

bool Unescape(Parser &p, const std::string &raw, std::string *bytes)
{
    static const char kEscapes[] = "\\\\\"\"n\nt\t"; // escape letter, then its byte
    bytes->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            *bytes += raw[i];
            continue;
        }
        if (++i >= raw.size()) {
            return Fail(p, "expected a character after '\\' in a string");
        }
        const char *known = strchr(kEscapes, raw[i]);
        int64_t byte = 0;
        if (raw[i] == 'x') {
            if (i + 2 >= raw.size() || !ParseInteger("0x" + raw.substr(i + 1, 2), &byte)) {
                return Fail(p, "expected two hex digits after '\\x' in a string");
            }
            *bytes += (char)byte;
            i += 2;
        } else if (known != nullptr && (known - kEscapes) % 2 == 0) {
            *bytes += known[1];
        } else {
            return Fail(p, std::string("unknown escape '\\") + raw[i] +
                               "' in a string; expected \\xNN, \\\\, \\\", \\n or \\t");
        }
    }
    return true;
}

bool HexBytes(Parser &p, const std::string &text, std::vector<uint8_t> *bytes)
{
    if (text.size() % 2 != 0 || text.find_first_not_of(kHexDigits) != std::string::npos) {
        return Fail(p, "expected bytes as pairs of hex digits, not '" + text.substr(0, 40) + "'");
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        bytes->push_back((uint8_t)strtoul(text.substr(i, 2).c_str(), nullptr, 16));
    }
    return true;
}

namespace {

// The newest setting of that kind with that name (settings may be redefined;
// requests keep the one in force when they were written).
template <typename T> int Newest(const std::vector<T> &table, const std::string &name)
{
    for (int i = (int)table.size() - 1; i >= 0; --i) {
        if (table[i].name == name) {
            return i;
        }
    }
    return -1;
}

bool Setting(Parser &p, grammar::SettingKind kind, const std::string &name, int *index)
{
    if (Lower(name) == "none") {
        return (*index = -1), true;
    }
    *index = kind == grammar::SETTING_PEN        ? Newest(p.job->pens, name)
             : kind == grammar::SETTING_BRUSH    ? Newest(p.job->brushes, name)
             : kind == grammar::SETTING_DRAWMODE ? Newest(p.job->drawModes, name)
             : kind == grammar::SETTING_FONT     ? Newest(p.job->fonts, name)
                                                 : Newest(p.job->bitmaps, name);
    if (*index < 0) {
        const std::string what = kSettingNames[kind];
        return Fail(p, "no " + what + " named '" + name + "'; define it first with '" + what + " " + name + " ...'");
    }
    return true;
}

// A name that a setting is defined with.
bool ReadSettingName(Parser &p, const std::string &text)
{
    if (text.empty() || !(isalpha((unsigned char)text[0]) || text[0] == '_') ||
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.") !=
            std::string::npos) {
        return Fail(p, "expected a name (a letter or '_', then letters, digits, '_', '-', '.'), not '" + text + "'");
    }
    return true;
}

} // namespace

// A token read as its row's value kind; what names it in messages.
bool ReadValue(Parser &p, const Row &row, grammar::SettingKind setting, const std::string &what,
               const std::string &text, Value *value)
{
    const Range &range = kLimits[row.limit                         ? row.limit
                                 : row.kind == grammar::VALUE_BYTE ? grammar::LIMIT_BYTE
                                 : row.kind == grammar::VALUE_U16  ? grammar::LIMIT_U16
                                                                   : grammar::LIMIT_NONE];
    const std::vector<std::string> parts = Split(text, ',');
    const size_t count = row.kind == grammar::VALUE_PAIR || row.kind == grammar::VALUE_SIZE ? 2 : 4;
    uint32_t number = 0;
    int index = -1;
    switch (row.kind) {
    case grammar::VALUE_NUMBER:
    case grammar::VALUE_BYTE:
    case grammar::VALUE_U16:
        return Number(p, text, what, range, &value->number);
    case grammar::VALUE_CONSTANT:
    case grammar::VALUE_STYLE:
        if (!Flags(p,
                   row.kind == grammar::VALUE_STYLE ? StyleSet()
                   : row.constants                  ? *row.constants
                                                    : kNumbers,
                   text, &number)) {
            return false;
        }
        return (value->number = number), !row.limit || InRange(p, number, what, text, range);
    case grammar::VALUE_CHOICE:
        if (!LookUp(*row.constants, text, &number)) {
            return Fail(p, "expected " + std::string(row.constants->what) + " (" + NameList(*row.constants) +
                               "), not '" + text + "'");
        }
        return (value->number = number), true;
    case grammar::VALUE_SETTING:
        return Setting(p, setting, text, &index) && ((value->number = index), true);
    case grammar::VALUE_COLOR:
        return Color(p, text, &number) && ((value->number = number), true);
    case grammar::VALUE_COLORS:
        value->numbers.assign(2, 0);
        if (parts.size() != 2 || !Color(p, parts[0], (uint32_t *)&value->numbers[0]) ||
            !Color(p, parts[1], (uint32_t *)&value->numbers[1])) {
            return Fail(p, "expected " + what + "C0,C1 (the colours of bits 0 and 1)");
        }
        return true;
    case grammar::VALUE_PAIR:
    case grammar::VALUE_RECT:
        return Numbers(p, text, ',', what, count, range, &value->numbers);
    case grammar::VALUE_SIZE:
        return Numbers(p, Lower(text), 'x', what, count, range, &value->numbers);
    case grammar::VALUE_NUMBERS:
        // an empty list: a text of no characters, a poly-polygon of no polygons
        return text.empty() || Numbers(p, text, ',', what, 0, range, &value->numbers);
    case grammar::VALUE_STRING:
        return Unescape(p, text, &value->text);
    case grammar::VALUE_NAME:
        return ReadSettingName(p, text) && ((value->text = text), true);
    default: // VALUE_FILE, VALUE_POINTS, VALUE_HEX: the text as written
        return (value->text = text), true;
    }
}

// A point x,y, or a generator name:numbers.
bool PointItem(Parser &p, const std::string &text, std::vector<Point> *points)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        const std::vector<std::string> parts = Split(text, ',');
        int64_t x = 0, y = 0;
        std::vector<int32_t> xy;
        if (parts.size() != 2 || !ParseInteger(parts[0], &x) || !ParseInteger(parts[1], &y)) {
            return Fail(p, "expected a point as 'x,y', not '" + text + "'");
        }
        return Numbers(p, text, ',', "point '" + text + "':", 2, kPointRange, &xy) &&
               (points->push_back(Point{(int16_t)xy[0], (int16_t)xy[1]}), true);
    }
    const std::string name = Lower(text.substr(0, colon));
    std::vector<double> arguments;
    for (const std::string &piece : Split(text.substr(colon + 1), ',')) {
        char *end = nullptr;
        const double value = strtod(piece.c_str(), &end);
        if (piece.empty() || *end != '\0' || !std::isfinite(value)) {
            return Fail(p, "expected numbers in '" + text + "', not '" + piece + "'");
        }
        arguments.push_back(value);
    }
    std::string names;
    for (const grammar::Generator &generator : grammar::GENERATORS) {
        if (name == generator.name && arguments.size() != generator.argumentCount) {
            return Fail(p, "expected " + name + ":" + generator.arguments);
        }
        if (name == generator.name) {
            return GeneratePoints(p, name, arguments, points);
        }
        names += (names.empty() ? "" : ", ") + std::string(generator.name) + ":";
    }
    return Fail(p, "unknown point generator '" + name + "'; expected " + names);
}

} // namespace parse

bool ParseInteger(const std::string &text, int64_t *value)
{
    size_t i = 0;
    bool negative = !text.empty() && text[0] == '-';
    i += !text.empty() && (text[0] == '-' || text[0] == '+');
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
        const char c = (char)tolower((unsigned char)text[i]);
        if (!(isdigit((unsigned char)c) || (base == 16 && isxdigit((unsigned char)c)))) {
            return false;
        }
        result = result * base + (isdigit((unsigned char)c) ? c - '0' : c - 'a' + 10);
        if (result > 0xFFFFFFFFull) {
            return false;
        }
    }
    *value = negative ? -(int64_t)result : (int64_t)result;
    return true;
}

} // namespace job
