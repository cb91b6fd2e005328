// The job parser walks the rows of the job grammar: a line's keyword finds
// its row, each token is read as the value kind its argument or option row
// names, checked against the row's limit, and the value goes to the record
// field the row names. What is left here is what a row cannot say: the
// checks across fields and lines.
#include "job_parser.h"

#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>

#include "jobformat/job_grammar.h"
#include "quillrec.h"
#include "requestmodel/output_styles.h"

namespace job {

namespace {

using grammar::Field;
using grammar::Keyword;
using grammar::Row;

const char *const kSettingNames[] = {"", "pen", "brush", "drawmode", "font", "bitmap"};
const grammar::ConstantSet kNumbers = {"a number", "", "", nullptr, 0};
const char kHexDigits[] = "0123456789abcdefABCDEF";

// The numbers a value may hold: by its row's limit, else by its kind.
struct Range {
    int64_t low, high;
    const char *what;
};
const Range kLimits[] = {{INT32_MIN, INT32_MAX, "32 bits"},
                         {0, 255, "one byte"},
                         {0, 0xFFFF, "16 bits"},
                         {1, INT32_MAX, "positive"},
                         {0, 64 << 20, "at most 64 MiB"}};
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

// A token of a line: its text (quotes removed, escapes kept), whether it
// held quotes, and whether it was a "..." string as a whole.
struct Token {
    std::string text;
    bool quoted = false;
    bool leadingQuote = false;
};

// A value of any kind, as a row's value kind reads it: a number (a colour
// is its COLORREF), a list of numbers (pairs, rectangles, two colours) or a
// text.
struct Value {
    int64_t number = 0;
    std::vector<int32_t> numbers;
    std::string text;
    bool none = false;
};

// Everything one line fills before it joins the job.
struct LineRecord {
    PenSetting pen;
    BrushSetting brush;
    DrawModeSetting mode;
    FontSetting font;
    BitmapSetting bitmap;
    Request request;
    bool hasShape = false, fromRows = false, fromFile = false, countGiven = false, hasString = false, hasGlyphs = false;
    bool uniform = false;
    int32_t uniformAdvance = 0;
    int64_t count = 0;
    grammar::SettingKind selectKind = grammar::SETTING_NONE;
    int selected = -1;
    std::vector<Point> polygon;
    bool countsGiven = false; // counts=: a poly-polygon's counts as the driver passed them
    std::vector<int32_t> explicitCounts;
};

// Parsing state for one job: the current settings, like a driver's, and
// the page and scan-bracket state that a request sequence must respect.
struct Parser {
    std::string path, folder;
    Job *job = nullptr;
    const FileReader *reader = nullptr;
    std::string error;
    int line = 0;
    int pen = -1, brush = -1, drawMode = -1, font = 0; // font 0: the built-in default
    bool inPage = false;
    bool bracketOpen = false;
    int bracketLine = 0;
    bool held[3] = {false, false, false}; // pen, brush, pattern of a scan bracket
    bool inBitmap = false;
    BitmapSetting bitmap;
    int bitmapLine = 0, bitmapRows = 0;
};

bool Fail(Parser &p, const std::string &message)
{
    if (p.error.empty()) {
        p.error = p.path + ":" + std::to_string(p.line) + ": " + message;
    }
    return false;
}

bool InRange(Parser &p, int64_t value, const std::string &what, const std::string &text, const Range &range)
{
    if (value < range.low || value > range.high) {
        return Fail(p, what + " " + text + " is out of range (" + std::to_string(range.low) + " to " +
                           std::to_string(range.high) + ", " + range.what + ")");
    }
    return true;
}

bool Number(Parser &p, const std::string &text, const std::string &what, const Range &range, int64_t *value)
{
    if (!ParseInteger(text, value)) {
        return Fail(p, "expected " + what + " (a number), not '" + text + "'");
    }
    return InRange(p, *value, what, text, range);
}

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
bool Name(Parser &p, const std::string &text)
{
    if (text.empty() || !(isalpha((unsigned char)text[0]) || text[0] == '_') ||
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.") !=
            std::string::npos) {
        return Fail(p, "expected a name (a letter or '_', then letters, digits, '_', '-', '.'), not '" + text + "'");
    }
    return true;
}

// A token read as its row's value kind; what names it in messages.
bool Parse(Parser &p, const Row &row, grammar::SettingKind setting, const std::string &what, const std::string &text,
           Value *value)
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
        return Name(p, text) && ((value->text = text), true);
    default: // VALUE_FILE, VALUE_POINTS, VALUE_HEX: the text as written
        return (value->text = text), true;
    }
}

bool AddPoint(Parser &p, const std::string &generator, double x, double y, std::vector<Point> *points)
{
    const long rx = lround(x), ry = lround(y);
    if (rx < INT16_MIN || rx > INT16_MAX || ry < INT16_MIN || ry > INT16_MAX) {
        return Fail(p, generator + " makes a point outside the 16-bit range");
    }
    points->push_back(Point{(int16_t)rx, (int16_t)ry});
    return true;
}

// The point generators of the grammar; a holds as many numbers as the
// generator's row says.
bool Generated(Parser &p, const std::string &name, const std::vector<double> &a, std::vector<Point> *points)
{
    const double pi = 3.14159265358979323846;
    const double n = name == "star" ? a[4] * 2 : name == "arc" ? a[6] : a[5];
    if (n < 1 || n > 65535 || n != floor(n)) {
        return Fail(p, name + ": " + (name == "star" ? "spikes" : "n") + " must be a whole number from 1 to 65535");
    }
    if (name == "wave" && a[4] == 0) {
        return Fail(p, "wave: the period must not be 0");
    }
    bool ok = true;
    for (int i = 0; i < (int)n && ok; ++i) {
        const double t = n == 1 ? 0 : i / (n - 1);
        if (name == "star") {
            const double radius = i % 2 == 0 ? a[2] : a[3], angle = pi / 2 + i * pi / a[4];
            ok = AddPoint(p, name, a[0] + radius * cos(angle), a[1] - radius * sin(angle), points);
        } else if (name == "arc") {
            const double angle = (a[4] + (a[5] - a[4]) * t) * pi / 180;
            ok = AddPoint(p, name, a[0] + a[2] * cos(angle), a[1] - a[3] * sin(angle), points);
        } else {
            const double x = n == 1 ? a[0] : a[0] + (a[2] - a[0]) * i / (n - 1);
            ok = AddPoint(p, name, x, a[1] - a[3] * sin(2 * pi * (x - a[0]) / a[4]), points);
        }
    }
    return ok;
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
            return Generated(p, name, arguments, points);
        }
        names += (names.empty() ? "" : ", ") + std::string(generator.name) + ":";
    }
    return Fail(p, "unknown point generator '" + name + "'; expected " + names);
}

// A file named in a job, next to the job unless its name starts with '/'.
bool ReadNamed(Parser &p, const std::string &what, std::string *name, std::string *contents)
{
    *name = !name->empty() && (*name)[0] == '/' ? *name : p.folder + *name;
    return (*p.reader)(*name, contents) || Fail(p, "cannot read the " + what + " file '" + *name + "'");
}

// A point list file: pairs of numbers, any separators, '#' comments.
bool PointFile(Parser &p, std::string name, std::vector<Point> *points)
{
    std::string contents, text, word;
    if (!ReadNamed(p, "point", &name, &contents)) {
        return false;
    }
    std::vector<int16_t> numbers;
    for (std::istringstream stream(contents); std::getline(stream, text);) {
        text = text.substr(0, text.find('#'));
        for (char &c : text) {
            c = c == ',' || c == ';' || c == '\t' || c == '\r' ? ' ' : c;
        }
        for (std::istringstream line(text); line >> word;) {
            int64_t value = 0;
            if (!ParseInteger(word, &value)) {
                return Fail(p, "point file '" + name + "': expected numbers, found '" + word + "'");
            }
            if (!InRange(p, value, "point file '" + name + "':", word, kPointRange)) {
                return false;
            }
            numbers.push_back((int16_t)value);
        }
    }
    if (numbers.size() % 2 != 0) {
        return Fail(p, "point file '" + name + "' holds an odd count of numbers; expected x y pairs");
    }
    for (size_t i = 0; i < numbers.size(); i += 2) {
        points->push_back(Point{numbers[i], numbers[i + 1]});
    }
    return true;
}

// A bitmap read from an image file, relative to the job's folder.
bool BitmapFile(Parser &p, const std::string &text, LineRecord *record)
{
    std::string contents, problem, name;
    if (record->fromRows) {
        return Fail(p, "a bitmap comes from rows or from file=, not both");
    }
    // bitmap file names take string escapes, point file names do not
    if (!Unescape(p, text, &name) || !ReadNamed(p, "bitmap", &name, &contents)) {
        return false;
    }
    if (!DecodeImage(contents, &record->bitmap, &problem)) {
        return Fail(p, "bitmap file '" + name + "': " + problem);
    }
    return record->fromFile = true;
}

// '|' ends a polygon of a poly-polygon style.
bool EndPolygon(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (FindOutputStyle(request.style) == nullptr || FindOutputStyle(request.style)->reads != OUT_READS_POLYGONS) {
        return Fail(p, "'|' separates the polygons of a poly-polygon style only");
    }
    if (record->polygon.empty()) {
        return Fail(p, "expected points before '|'");
    }
    request.polygonCounts.push_back((int32_t)record->polygon.size());
    request.points.insert(request.points.end(), record->polygon.begin(), record->polygon.end());
    record->polygon.clear();
    return true;
}

// A raster or dib request's source bitmap, and what it makes the default.
bool Source(Parser &p, int number, Request *request)
{
    if (number < 0 && request->kind == Kind::Dib) {
        return Fail(p, "a dib request needs a bitmap, not none");
    }
    request->source = number;
    request->rop = number < 0 ? PATCOPY : SRCCOPY;
    request->cxSrc = number < 0 ? 0 : p.job->bitmaps[number].width;
    request->cySrc = number < 0 ? 0 : p.job->bitmaps[number].height;
    return true;
}

// Where a value goes as it is: a record member (a number of a list when
// part is 0 or more), and the flag that says the field was given.
struct Slot {
    Field field;
    void *at;
    void (*put)(void *at, const Value &value, int part);
    int part;
    bool *given;
};

template <typename T> void Put(void *at, const Value &value, int part)
{
    *(T *)at = (T)(part < 0 ? value.number : value.numbers[part]);
}
template <> void Put<Rect>(void *at, const Value &value, int)
{
    *(Rect *)at = Rect{value.numbers[0], value.numbers[1], value.numbers[2], value.numbers[3]};
}
template <> void Put<std::string>(void *at, const Value &value, int)
{
    *(std::string *)at = value.text;
}
template <> void Put<std::vector<int32_t>>(void *at, const Value &value, int)
{
    *(std::vector<int32_t> *)at = value.numbers;
}

template <typename T> Slot To(Field field, T *member, int part = -1, bool *given = nullptr)
{
    return Slot{field, member, Put<T>, part, given};
}

// Every field stored as it is, by the members it fills.
bool PutSlots(Parser &p, Field field, const Value &value, LineRecord *r)
{
    using namespace grammar;
    PenSetting &pen = r->pen;
    BrushSetting &brush = r->brush;
    DrawModeSetting &mode = r->mode;
    FontSetting &font = r->font;
    BitmapSetting &bitmap = r->bitmap;
    Request &q = r->request;
    // clang-format off
    const Slot slots[] = {
        To(FIELD_NAME, &pen.name), To(FIELD_NAME, &brush.name), To(FIELD_NAME, &mode.name), To(FIELD_NAME, &font.name),
        To(FIELD_NAME, &bitmap.name), To(FIELD_SELECT_KIND, &r->selectKind), To(FIELD_SELECT_NAME, &r->selected),
        To(FIELD_PEN_STYLE, &pen.style), To(FIELD_PEN_WIDTH, &pen.width), To(FIELD_PEN_WIDTH_Y, &pen.widthY),
        To(FIELD_PEN_COLOR, &pen.color), To(FIELD_BRUSH_STYLE, &brush.style), To(FIELD_BRUSH_COLOR, &brush.color),
        To(FIELD_BRUSH_HATCH, &brush.hatch), To(FIELD_BRUSH_PATTERN, &brush.bitmap), To(FIELD_ROP2, &mode.rop2),
        To(FIELD_BK_MODE, &mode.bkMode), To(FIELD_BK_COLOR, &mode.bkColor), To(FIELD_TEXT_COLOR, &mode.textColor),
        To(FIELD_USE_BK_MODE, &mode.useBkMode), To(FIELD_FONT_HEIGHT, &font.height), To(FIELD_FONT_WIDTH, &font.width),
        To(FIELD_FONT_WEIGHT, &font.weight), To(FIELD_FONT_ESCAPEMENT, &font.escapement),
        To(FIELD_FONT_ORIENTATION, &font.orientation), To(FIELD_FONT_ANGLE, &font.escapement),
        To(FIELD_FONT_ANGLE, &font.orientation), To(FIELD_FONT_ITALIC, &font.italic),
        To(FIELD_FONT_UNDERLINE, &font.underline), To(FIELD_FONT_STRIKEOUT, &font.strikeOut),
        To(FIELD_FONT_CHARSET, &font.charSet), To(FIELD_FONT_OUT_PRECISION, &font.outPrecision),
        To(FIELD_FONT_CLIP_PRECISION, &font.clipPrecision), To(FIELD_FONT_QUALITY, &font.quality),
        To(FIELD_FONT_PITCH_AND_FAMILY, &font.pitchAndFamily), To(FIELD_FONT_FACE, &font.face),
        To(FIELD_BITMAP_BITS_PIXEL, &bitmap.bitsPixel), To(FIELD_BITMAP_PLANES, &bitmap.planes),
        To(FIELD_BITMAP_WIDTH_BYTES, &bitmap.widthBytes), To(FIELD_BITMAP_TYPE, &bitmap.type),
        To(FIELD_BITMAP_DEPTH, &bitmap.depth), To(FIELD_BITMAP_INFO_SIZE, &bitmap.infoSize),
        To(FIELD_BITMAP_BITS_SIZE, &bitmap.bitsSize), To(FIELD_PEN, &q.pen), To(FIELD_BRUSH, &q.brush),
        To(FIELD_DRAWMODE, &q.drawMode), To(FIELD_FONT, &q.font), To(FIELD_EXPECT, &q.expect, -1, &q.hasExpect),
        To(FIELD_CLIP, &q.clip, -1, &q.hasClip), To(FIELD_PAGE_SIZE, &q.sizeX, 0, &q.hasSize),
        To(FIELD_PAGE_SIZE, &q.sizeY, 1), To(FIELD_PAGE_FRAME, &q.frame, -1, &q.hasFrame),
        To(FIELD_PAGE_DEVICE, &q.device, -1, &q.hasDevice),
        To(FIELD_PAGE_DPI, &q.dpi), To(FIELD_STYLE, &q.style), To(FIELD_GEOMETRIC, &q.geometricPenStyle),
        To(FIELD_SCAN_FLAG, &q.scanFlag), To(FIELD_COUNT, &r->count, -1, &r->countGiven),
        To(FIELD_POLYGON_COUNTS, &r->explicitCounts, -1, &r->countsGiven), To(FIELD_RELEASE_TIME, &q.autoRelease),
        To(FIELD_DEST, &q.xDest, 0), To(FIELD_DEST, &q.yDest, 1), To(FIELD_DEST_SIZE, &q.cxDest, 0),
        To(FIELD_DEST_SIZE, &q.cyDest, 1), To(FIELD_SOURCE_RECT, &q.xSrc, 0), To(FIELD_SOURCE_RECT, &q.ySrc, 1),
        To(FIELD_SOURCE_RECT, &q.cxSrc, 2), To(FIELD_SOURCE_RECT, &q.cySrc, 3), To(FIELD_ROP3, &q.rop),
        To(FIELD_TEXT_POINT, &q.x, 0), To(FIELD_TEXT_POINT, &q.y, 1), To(FIELD_TEXT_OPTIONS, &q.options),
        To(FIELD_TEXT_STRING, &q.bytes, -1, &r->hasString), To(FIELD_TEXT_RECT, &q.rect, -1, &q.hasRect),
        To(FIELD_ADVANCES, &q.advances, -1, &q.hasAdvances), To(FIELD_ADVANCE, &r->uniformAdvance, -1, &r->uniform),
        To(FIELD_RELEASE, &q.release),
    };
    // clang-format on
    bool stored = false;
    for (const Slot &slot : slots) {
        if (slot.field == field) {
            slot.put(slot.at, value, slot.part);
            stored = slot.given == nullptr || (*slot.given = true);
        }
    }
    return stored || Fail(p, "this line has no place for that value"); // a grammar row without a field
}

// A bitmap line's fields that are checked or do more than fill a member:
// the shape word, then its WxH (rows follow), or file=.
bool BitmapField(Parser &p, Field field, const Value &value, LineRecord *record)
{
    BitmapSetting &bitmap = record->bitmap;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_BITMAP_SHAPE:
        bitmap.mono = number == grammar::SHAPE_MONO;
        bitmap.raw = number == grammar::SHAPE_BITS  ? BitmapSetting::Raw::Device
                     : number == grammar::SHAPE_DIB ? BitmapSetting::Raw::Dib
                                                    : BitmapSetting::Raw::None;
        record->fromRows = number == grammar::SHAPE_DIB; // a dib carries its size in its header: no WxH follows
        return record->hasShape = true;
    case grammar::FIELD_BITMAP_SIZE:
        bitmap.width = value.numbers[0], bitmap.height = value.numbers[1];
        if (bitmap.raw == BitmapSetting::Raw::Device) { // a driver's BITMAP as it was, whatever its size
            bitmap.widthBytes = ((bitmap.width < 0 ? -bitmap.width : bitmap.width) + 15) / 16 * 2;
        } else if (!BitmapSizeFits(bitmap.width, bitmap.height)) {
            return Fail(p, "a bitmap is 1 to 4096 pixels each way, not " + std::to_string(bitmap.width) + "x" +
                               std::to_string(bitmap.height));
        }
        return record->fromRows = true;
    case grammar::FIELD_BITMAP_FILE:
        return BitmapFile(p, value.text, record);
    case grammar::FIELD_BITMAP_DEPTH:
        if (number != 24 && number != 32) {
            return Fail(p, "expected depth=24 or depth=32 for a colour bitmap, not " + std::to_string(number));
        }
        break;
    case grammar::FIELD_BITMAP_COLORS:
        bitmap.dibColors[0] = RgbToColorRef(value.numbers[0]); // the swap is its own inverse
        bitmap.dibColors[1] = RgbToColorRef(value.numbers[1]);
        return true;
    case grammar::FIELD_BITMAP_INFO_SIZE:
        if (number > 0 && number < 4) {
            return Fail(p,
                        "a dib's info= is 0, or 4 bytes and more (its header's size), not " + std::to_string(number));
        }
        break;
    default: // bits=none: captures of a bitmap without bits
        if (value.none) {
            return bitmap.noBits = true;
        }
    }
    return PutSlots(p, field, value, record);
}

// The checks a row cannot state, and the fields that do more than fill a
// member; every other value goes to its slots.
bool Store(Parser &p, Field field, const Value &value, LineRecord *record)
{
    const int32_t number = (int32_t)value.number;
    const std::vector<int32_t> &n = value.numbers;
    switch (field) {
    case grammar::FIELD_FONT_FACE:
        if (value.text.size() > 31) {
            return Fail(p, "a face name has at most 31 bytes (LOGFONTA), not " + std::to_string(value.text.size()));
        }
        break;
    case grammar::FIELD_BRUSH_PATTERN:
        record->brush.nullPattern = number < 0;
        break;
    case grammar::FIELD_BITMAP_SHAPE:
    case grammar::FIELD_BITMAP_SIZE:
    case grammar::FIELD_BITMAP_FILE:
    case grammar::FIELD_BITMAP_DEPTH:
    case grammar::FIELD_BITMAP_COLORS:
    case grammar::FIELD_BITMAP_INFO_SIZE:
    case grammar::FIELD_BITMAP_BITS_SIZE:
        return BitmapField(p, field, value, record);
    case grammar::FIELD_SELECT_NAME:
        if (record->selectKind == grammar::SETTING_FONT && number < 0) {
            return Fail(p, "text always needs a font; select another one instead of none");
        }
        break;
    case grammar::FIELD_CLIP:
        return value.none || PutSlots(p, field, value, record);
    case grammar::FIELD_PAGE_FRAME:
        if (value.none) {
            return record->request.nullFrame = true; // captures: a page without a frame
        }
        if (n[2] <= n[0] || n[3] <= n[1]) {
            return Fail(p, "a frame needs right > left and bottom > top");
        }
        break;
    case grammar::FIELD_PAGE_DEVMODE:
        return HexBytes(p, value.text, &record->request.devMode);
    case grammar::FIELD_PAGE_DPI:
        // the resolutions the workbench printer's PPD lists; any other it
        // would silently replace with its own
        if (number != 150 && number != 300 && number != 600 && number != 1200 && number != 2400) {
            return Fail(p, "dpi= takes 150, 300, 600, 1200 or 2400, not " + std::to_string(number));
        }
        break;
    case grammar::FIELD_POINTS:
        return value.none ? EndPolygon(p, record) : PointItem(p, value.text, &record->polygon);
    case grammar::FIELD_POINT_FILE:
        return PointFile(p, value.text, &record->polygon);
    case grammar::FIELD_SOURCE:
        return Source(p, number, &record->request);
    case grammar::FIELD_SOURCE_RECT:
        if (record->request.source < 0) {
            return Fail(p, "src= needs a source bitmap");
        }
        break;
    case grammar::FIELD_GLYPHS:
        record->request.glyphs.insert(record->request.glyphs.end(), n.begin(), n.end());
        return record->hasGlyphs = true;
    default:
        break;
    }
    return PutSlots(p, field, value, record);
}

// One value for its row: `none` where the row allows it, else the token
// read as the row's kind.
bool Take(Parser &p, const Row &row, const std::string &what, const std::string &text, LineRecord *record)
{
    Value value;
    if ((row.flags & grammar::ARGUMENT_NONE) && Lower(text) == "none") {
        value.none = true;
        value.number = -1;
        return Store(p, row.field, value, record);
    }
    const grammar::SettingKind setting = row.field == grammar::FIELD_SELECT_NAME ? record->selectKind : row.setting;
    return Parse(p, row, setting, what, text, &value) && Store(p, row.field, value, record);
}

bool Positional(Parser &p, const Keyword &keyword, size_t *next, bool optionSeen, const Token &token,
                LineRecord *record)
{
    while (*next < keyword.argumentCount && optionSeen && !(keyword.arguments[*next].flags & grammar::ARGUMENT_LATE)) {
        ++*next;
    }
    if (*next >= keyword.argumentCount) {
        return Fail(p, token.leadingQuote ? "expected key=value, not a string"
                                          : "expected key=value, not '" + token.text + "'");
    }
    const Row &argument = keyword.arguments[*next];
    if (argument.kind == grammar::VALUE_POINTS) {
        Value value;
        value.none = token.text == "|";
        value.text = token.text;
        return Store(p, argument.field, value, record);
    }
    if (argument.kind == grammar::VALUE_STRING && !token.leadingQuote) {
        return Fail(p, "expected a \"string\" or key=value, not '" + token.text + "'");
    }
    ++*next;
    return Take(p, argument, argument.name, token.text, record);
}

std::string OptionList(const Keyword &keyword)
{
    std::string list;
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        list += std::string(i == 0 ? "" : i + 1 == keyword.optionCount ? " or " : ", ") + keyword.options[i].name + "=";
    }
    return list.empty() ? "no options" : list;
}

bool Option(Parser &p, const Keyword &keyword, const Token &token, LineRecord *record)
{
    const size_t equals = token.text.find('=');
    if (equals == 0) {
        return Fail(p, "expected key=value, not '" + token.text + "'");
    }
    const std::string key = Lower(token.text.substr(0, equals));
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        const Row &option = keyword.options[i];
        const std::string aliases = std::string(" ") + (option.aliases ? option.aliases : "") + " ";
        if (key == option.name || aliases.find(" " + key + " ") != std::string::npos) {
            return Take(p, option, key + "=", token.text.substr(equals + 1), record);
        }
    }
    return Fail(p, "unknown option '" + key + "'; expected " + OptionList(keyword));
}

// Positional arguments in table order, then key=value options; a late
// argument (a point list, a text's string) may also stand among them.
bool Read(Parser &p, const Keyword &keyword, const std::vector<Token> &tokens, LineRecord *record)
{
    size_t next = 0;
    bool optionSeen = false;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const bool option = !tokens[i].leadingQuote && tokens[i].text.find('=') != std::string::npos;
        if (option ? !Option(p, keyword, tokens[i], record)
                   : !Positional(p, keyword, &next, optionSeen, tokens[i], record)) {
            return false;
        }
        optionSeen = optionSeen || option;
    }
    for (; next < keyword.argumentCount; ++next) {
        if (!(keyword.arguments[next].flags & grammar::ARGUMENT_OPTIONAL)) {
            return Fail(p, "expected '" + Usage(keyword) + (keyword.optionCount ? " [options]'" : "'"));
        }
    }
    return true;
}

template <typename T> bool Add(std::vector<T> *table, const T &item)
{
    table->push_back(item);
    return true;
}

Request Begin(Parser &p, Kind kind)
{
    Request request;
    request.kind = kind;
    request.line = p.line;
    request.pen = p.pen, request.brush = p.brush, request.drawMode = p.drawMode, request.font = p.font;
    return request;
}

// A pattern brush names its bitmap, or none for a driver's null pointer;
// BS_DIBPATTERNPT (6) names a dib bitmap the same way.
bool FinishBrush(Parser &p, const BrushSetting &brush)
{
    const bool patterned = brush.bitmap >= 0 || brush.nullPattern;
    const bool dibBitmap = brush.bitmap >= 0 && p.job->bitmaps[brush.bitmap].raw == BitmapSetting::Raw::Dib;
    const bool dibPattern = brush.style == BS_DIBPATTERNPT && (brush.nullPattern || dibBitmap);
    if (!dibPattern && (brush.style == BS_PATTERN) != patterned) {
        return Fail(p, !patterned ? "a BS_PATTERN brush needs pattern=BITMAP"
                                  : "pattern= is for style=pattern brushes, or style=6 with a dib bitmap, only");
    }
    return Add(&p.job->brushes, brush);
}

// A bitmap line: from a file it is complete, else its rows follow.
bool FinishBitmap(Parser &p, LineRecord *record)
{
    if (record->hasShape != record->fromRows) {
        return Fail(p, "expected the bitmap's size as WxH after 'mono' or 'color'");
    }
    if (!record->fromRows && !record->fromFile) {
        return Fail(p, "expected 'mono WxH', 'color WxH' or file=PATH for bitmap '" + record->bitmap.name + "'");
    }
    if (record->fromFile) {
        return Add(&p.job->bitmaps, record->bitmap);
    }
    p.bitmap = record->bitmap;
    if (p.bitmap.raw == BitmapSetting::Raw::None) {
        p.bitmap.pixels.reserve((size_t)p.bitmap.width * p.bitmap.height);
    }
    p.inBitmap = true, p.bitmapLine = p.line, p.bitmapRows = 0;
    return true;
}

// counts=: the driver's counts, empty and refused ones included, over points
// that run on without '|'.
bool TakeCounts(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (!request.polygonCounts.empty()) {
        return Fail(p, "give a poly-polygon's polygons with '|' or with counts=, not both");
    }
    int64_t total = 0;
    bool refused = false; // a negative count makes the DLL refuse the request before it reads a point
    for (int32_t one : record->explicitCounts) {
        total += one > 0 ? one : 0;
        refused = refused || one < 0;
    }
    if (!refused && (size_t)total > record->polygon.size()) {
        return Fail(p, "counts= adds up to " + std::to_string(total) + " points; " +
                           std::to_string(record->polygon.size()) + " given");
    }
    request.polygonCounts = record->explicitCounts;
    request.points = record->polygon;
    return true;
}

// The scan bracket: the objects it hands out must be released before
// another bracket takes their place, or they leak.
bool FinishBracket(Parser &p, const Request &request)
{
    if (request.style == OUT_BEGINSCAN) {
        if (p.bracketOpen) {
            return Fail(p, "a scan bracket is already open (line " + std::to_string(p.bracketLine) +
                               "); expected 'output endscan' first");
        }
        if (p.held[0] || p.held[1] || p.held[2]) {
            return Fail(p, "the scan bracket of line " + std::to_string(p.bracketLine) +
                               " still holds its objects; expected 'delete scan' first");
        }
        p.bracketOpen = true;
        p.bracketLine = p.line;
        p.held[0] = p.held[1] = p.held[2] = true;
    } else if (request.style == OUT_ENDSCAN) {
        p.bracketOpen = false;
        if (request.autoRelease) {
            p.held[0] = p.held[1] = p.held[2] = false;
        }
    }
    return Add(&p.job->requests, request);
}

// How many points each style reads: fewer would let the library read past
// the driver's array.
bool FinishOutput(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    const OutputStyle *style = FindOutputStyle(request.style);
    const bool polyPolygon = style != nullptr && style->reads == OUT_READS_POLYGONS;
    if (record->countsGiven) {
        if (!polyPolygon || !TakeCounts(p, record)) {
            return Fail(p, "counts= is for the poly-polygon styles"); // unless TakeCounts said why
        }
    } else if (polyPolygon && !record->polygon.empty()) {
        EndPolygon(p, record);
    } else if (!polyPolygon) {
        request.points = record->polygon;
    }
    if (polyPolygon && request.polygonCounts.empty() && !record->countsGiven) {
        return Fail(p, "expected the points of at least one polygon, polygons separated by '|'");
    }
    const size_t natural = polyPolygon ? request.polygonCounts.size() : request.points.size();
    const std::string name = style != nullptr ? Lower(style->name + 4) : "";
    if (style != nullptr && style->reads == OUT_READS_NOTHING && !request.points.empty()) {
        return Fail(p, name + " takes no points");
    }
    if (style != nullptr && style->reads == OUT_READS_FIXED && request.points.size() < style->points) {
        return Fail(p, "style " + name + " reads " + std::to_string(style->points) + " points; expected " +
                           std::to_string(style->points) + " 'x,y' points, found " +
                           std::to_string(request.points.size()));
    }
    if (natural > 0xFFFF) {
        return Fail(p, "the count is 16 bits; " + std::to_string(natural) + " points do not fit");
    }
    const bool counted = style != nullptr && (style->reads == OUT_READS_COUNT || polyPolygon);
    const size_t wanted = polyPolygon ? (size_t)record->count : OutputPointsRead(style, (uint16_t)record->count);
    if (record->countGiven && counted && wanted > natural) {
        return Fail(p, "count=" + std::to_string(record->count) + " is more than the " + std::to_string(natural) +
                           (polyPolygon ? " polygons" : " points") + " given");
    }
    request.count = (uint16_t)(record->countGiven ? record->count : (int64_t)natural);
    return FinishBracket(p, request);
}

bool FinishText(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (record->hasString == record->hasGlyphs) {
        return Fail(p, record->hasString ? "give a text either a \"string\" or glyphs=, not both"
                                         : "expected a \"string\" (or glyphs=) after the reference point");
    }
    if (record->uniform && request.hasAdvances) {
        return Fail(p, "give either advances= or advance=, not both");
    }
    if (record->hasGlyphs) {
        request.options |= ETO_GLYPH_INDEX;
    } else if (request.options & ETO_GLYPH_INDEX) {
        return Fail(p, "ETO_GLYPH_INDEX needs glyphs=, not a string");
    }
    const size_t units = record->hasGlyphs ? request.glyphs.size() : request.bytes.size();
    if (record->uniform) {
        request.advances.assign(units, record->uniformAdvance);
        request.hasAdvances = true;
    }
    if (request.hasAdvances && request.advances.size() != units) {
        return Fail(p, "expected one advance per " + std::string(record->hasGlyphs ? "glyph" : "byte") + " (" +
                           std::to_string(units) + "), found " + std::to_string(request.advances.size()));
    }
    if (request.drawMode < 0) {
        request.drawMode = 0; // text needs a draw mode; the built-in one stands in
    }
    return Add(&p.job->requests, request);
}

// `delete pen|brush|pattern|scan`: only what a bracket still holds.
bool Delete(Parser &p, const Request &request)
{
    const int what = (int)request.release;
    const bool any = p.held[0] || p.held[1] || p.held[2];
    if (what < 3 ? !p.held[what] : !any) {
        return Fail(p, std::string("no scan bracket holds a ") + grammar::SET_RELEASES.constants[what].name +
                           " to release; expected 'output beginscan' and 'output endscan release=manual' before it");
    }
    for (int i = 0; i < 3; ++i) {
        p.held[i] = p.held[i] && what < 3 && i != what;
    }
    return Add(&p.job->requests, request);
}

// Objects a bracket still holds are released by the simulator before it
// closes, as a driver's end-of-page would; an open bracket must end first,
// except at the end of the job, where the simulator ends the page as it is.
bool Close(Parser &p, bool atEnd)
{
    if (p.bracketOpen && !atEnd) {
        return Fail(p, "the scan bracket of line " + std::to_string(p.bracketLine) +
                           " is still open; expected 'output endscan' before the page ends");
    }
    p.held[0] = p.held[1] = p.held[2] = false;
    p.inPage = false;
    return Add(&p.job->requests, Begin(p, Kind::Close));
}

// clang-format off
bool Finish(Parser &p, const Keyword &keyword, LineRecord *record)
{
    Request &request = record->request;
    switch (keyword.id) {
    case grammar::KEYWORD_PEN: return Add(&p.job->pens, record->pen);
    case grammar::KEYWORD_DRAWMODE: return Add(&p.job->drawModes, record->mode);
    case grammar::KEYWORD_FONT: return Add(&p.job->fonts, record->font);
    case grammar::KEYWORD_BRUSH: return FinishBrush(p, record->brush);
    case grammar::KEYWORD_BITMAP: return FinishBitmap(p, record);
    case grammar::KEYWORD_SELECT:
        (record->selectKind == grammar::SETTING_PEN     ? p.pen
         : record->selectKind == grammar::SETTING_BRUSH ? p.brush
         : record->selectKind == grammar::SETTING_FONT  ? p.font
                                                        : p.drawMode) = record->selected;
        return true;
    case grammar::KEYWORD_PAGE:
        if (request.hasSize && request.hasFrame) {
            return Fail(p, "give a page either size= or frame=, not both");
        }
        ++p.job->pages;
        p.inPage = true;
        return Add(&p.job->requests, request);
    case grammar::KEYWORD_OUTPUT: return FinishOutput(p, record);
    case grammar::KEYWORD_TEXT: return FinishText(p, record);
    case grammar::KEYWORD_DELETE: return Delete(p, request);
    case grammar::KEYWORD_CLOSE: return Close(p, false);
    default: return Add(&p.job->requests, request);
    }
}
// clang-format on

// A bitmap's `end`: every row, or every byte a dib's header promised.
bool EndBitmap(Parser &p)
{
    const BitmapSetting &bitmap = p.bitmap;
    if (bitmap.raw == BitmapSetting::Raw::None && p.bitmapRows != bitmap.height) {
        return Fail(p, "bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.height) + " rows, found " +
                           std::to_string(p.bitmapRows));
    }
    if (bitmap.raw == BitmapSetting::Raw::Dib && bitmap.bytes.size() != (size_t)bitmap.infoSize + bitmap.bitsSize) {
        return Fail(p, "bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.infoSize + bitmap.bitsSize) +
                           " bytes (info= and bits=), found " + std::to_string(bitmap.bytes.size()));
    }
    p.inBitmap = false;
    return Add(&p.job->bitmaps, bitmap);
}

// A row of a mono bitmap: W characters 0/1, or its bytes in hex (two digits
// per 8 pixels, high bit first). A row of a colour bitmap: W tokens RRGGBB.
// A bits or dib bitmap: its bytes in hex rows of any length.
bool BitmapRow(Parser &p, const std::vector<Token> &tokens)
{
    BitmapSetting &bitmap = p.bitmap;
    if (tokens.size() == 1 && Lower(tokens[0].text) == "end") {
        return EndBitmap(p);
    }
    std::string row;
    for (const Token &token : tokens) {
        row += token.text;
        if (bitmap.raw != BitmapSetting::Raw::None && !HexBytes(p, token.text, &bitmap.bytes)) {
            return false;
        }
    }
    if (bitmap.raw != BitmapSetting::Raw::None) {
        return true;
    }
    if (p.bitmapRows++ >= bitmap.height) {
        return Fail(p,
                    "bitmap '" + bitmap.name + "' has " + std::to_string(bitmap.height) + " rows; expected 'end' here");
    }
    const size_t width = (size_t)bitmap.width, hexDigits = (width + 7) / 8 * 2;
    std::vector<uint8_t> bytes;
    if (bitmap.mono && row.size() == width && row.find_first_not_of("01") == std::string::npos) {
        for (char c : row) {
            bitmap.pixels.push_back(c == '1' ? 1 : 0);
        }
    } else if (bitmap.mono && row.size() == hexDigits && row.find_first_not_of(kHexDigits) == std::string::npos) {
        HexBytes(p, row, &bytes);
        for (size_t x = 0; x < width; ++x) {
            bitmap.pixels.push_back((bytes[x / 8] >> (7 - x % 8)) & 1);
        }
    } else if (bitmap.mono) {
        return Fail(p, "expected a row of " + std::to_string(width) + " pixels as 0/1, or " +
                           std::to_string(hexDigits) + " hex digits, not '" + row + "'");
    } else if (tokens.size() != width) {
        return Fail(p, "expected a row of " + std::to_string(width) + " colours RRGGBB, found " +
                           std::to_string(tokens.size()));
    }
    for (size_t x = 0; !bitmap.mono && x < width; ++x) {
        const std::string text = tokens[x].text[0] == '#' ? tokens[x].text.substr(1) : tokens[x].text;
        int64_t number = 0;
        if (text.size() != 6 || !ParseInteger("0x" + text, &number)) {
            return Fail(p, "expected a pixel colour RRGGBB, not '" + tokens[x].text + "'");
        }
        bitmap.pixels.push_back((uint32_t)number);
    }
    return true;
}

std::string KeywordList(grammar::KeywordKind kind)
{
    std::string list;
    for (const Keyword &keyword : grammar::KEYWORDS) {
        list += keyword.kind == kind ? (list.empty() ? "" : ", ") + std::string(keyword.name) : "";
    }
    return list;
}

bool Line(Parser &p, const std::vector<Token> &tokens)
{
    if (p.inBitmap) {
        return BitmapRow(p, tokens);
    }
    const std::string word = Lower(tokens[0].text);
    if (tokens[0].quoted) {
        return Fail(p, "expected a request or a setting at the start of the line, not a string");
    }
    if (word == "end") {
        return Fail(p, "'end' without a bitmap to finish");
    }
    for (const Keyword &keyword : grammar::KEYWORDS) {
        if (word != keyword.name && (keyword.alias == nullptr || word != keyword.alias)) {
            continue;
        }
        if (keyword.kind == grammar::KEYWORD_REQUEST && keyword.id != grammar::KEYWORD_PAGE && !p.inPage) {
            return Fail(p, "'" + word + "' outside a page; expected a 'page' line first");
        }
        // a page ends the previous one first, as the driver does
        if (keyword.id == grammar::KEYWORD_PAGE && p.inPage && !Close(p, false)) {
            return false;
        }
        LineRecord record;
        if (keyword.kind == grammar::KEYWORD_REQUEST) {
            record.request = Begin(p, (Kind)(keyword.id - grammar::KEYWORD_PAGE));
        }
        return Read(p, keyword, tokens, &record) && Finish(p, keyword, &record);
    }
    return Fail(p, "expected a request (" + KeywordList(grammar::KEYWORD_REQUEST) + ") or a setting (" +
                       KeywordList(grammar::KEYWORD_SETTING) + "), not '" + tokens[0].text + "'");
}

bool Tokenize(Parser &p, const std::string &text, std::vector<Token> *tokens)
{
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        // Every character that ends a token must also be skipped here, or a
        // form feed or vertical tab would make empty tokens forever.
        if (isspace((unsigned char)c)) {
            ++i;
            continue;
        }
        // ';' always starts a comment; '#' does when it stands alone, since
        // "#RRGGBB" is a colour.
        if (c == ';' || (c == '#' && (i + 1 == text.size() || isspace((unsigned char)text[i + 1]) ||
                                      text[i + 1] == '#' || tokens->empty()))) {
            return true;
        }
        Token token;
        while (i < text.size() && !isspace((unsigned char)text[i]) && text[i] != ';') {
            if (text[i] != '"') {
                token.text += text[i++];
                continue;
            }
            token.leadingQuote = token.leadingQuote || token.text.empty();
            token.quoted = true;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    token.text += text[i++];
                }
                token.text += text[i];
            }
            if (i++ >= text.size()) {
                return Fail(p, "expected a closing '\"'");
            }
        }
        tokens->push_back(token);
    }
    return true;
}

bool Run(Parser &p, const std::string &text)
{
    p.job->path = p.path;
    p.job->fonts.push_back(FontSetting());
    p.job->fonts.back().name = "default";
    p.job->drawModes.push_back(DrawModeSetting());
    p.job->drawModes.back().name = "default";
    std::istringstream stream(text);
    std::string source;
    while (std::getline(stream, source)) {
        ++p.line;
        std::vector<Token> tokens;
        if (!Tokenize(p, source, &tokens) || (!tokens.empty() && !Line(p, tokens))) {
            return false;
        }
    }
    if (p.inBitmap) {
        p.line = p.bitmapLine;
        return Fail(p, "bitmap '" + p.bitmap.name + "' has no 'end' line");
    }
    // A page left open closes at the end of the job, as a driver's
    // end-of-document would close it.
    return !p.inPage || Close(p, true);
}

} // namespace

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
    Parser parser;
    parser.path = path, parser.folder = path.substr(0, path.find_last_of("/\\") + 1), parser.job = job,
    parser.reader = &reader;
    if (!Run(parser, text)) {
        *error = parser.error;
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

} // namespace job
