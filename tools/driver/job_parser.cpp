// The job parser walks the rows of the job grammar: a line's keyword finds
// its row, each token is read as the value kind its argument or option row
// names, and the value goes to the record field the row names. What is left
// here is what a row cannot say: the checks across fields and lines.
#include "job_parser.h"

#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>

#include "job_grammar.h"
#include "quillrec.h"

namespace job {

namespace {

using grammar::Field;
using grammar::Keyword;

const char *const kSettingNames[] = {"", "pen", "brush", "drawmode", "font", "bitmap"};
const grammar::ConstantSet kNumbers = {"a number", "", "", nullptr, 0};

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

// A name matches its constant without case, with or without the set's
// prefix or suffix.
bool NameMatches(const std::string &lower, const char *full, const char *prefix, const char *suffix)
{
    const std::string name = Lower(full);
    return lower == name || Lower(prefix) + lower == name || lower + Lower(suffix) == name;
}

bool LookUp(const grammar::ConstantSet &set, const std::string &token, uint32_t *value)
{
    for (uint16_t i = 0; i < set.size; ++i) {
        if (NameMatches(Lower(token), set.constants[i].name, set.prefix, set.suffix)) {
            *value = set.constants[i].value;
            return true;
        }
    }
    return false;
}

bool LookUpStyle(const std::string &token, uint32_t *value)
{
    for (const OutputStyle &style : OUTPUT_STYLES) {
        if (NameMatches(Lower(token), style.name, "OUT_", "")) {
            *value = style.code;
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
        std::string name = set.constants[i].name;
        name = name.substr(strlen(set.prefix), name.size() - strlen(set.prefix) - strlen(set.suffix));
        list += (i == 0 ? "" : ", ") + Lower(name);
    }
    return list;
}

std::string StyleList()
{
    std::string list;
    for (const OutputStyle &style : OUTPUT_STYLES) {
        list += (list.empty() ? "" : ", ") + Lower(style.name + 4);
    }
    return list;
}

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A token of a line: its text (quotes removed, escapes kept), whether it
// held quotes, and whether it was a "..." string as a whole.
struct Token {
    std::string text;
    bool quoted = false;
    bool leadingQuote = false;
};

// A value of any kind, as a row's value kind reads it.
struct Value {
    int64_t number = 0;
    int32_t pair[2] = {0, 0};
    Rect rect = {0, 0, 0, 0};
    ColorRef colors[2] = {0, 0};
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
    std::string name;
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

namespace {

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

    bool Fail(const std::string &message);
    bool Tokenize(const std::string &text, std::vector<Token> *tokens);
    bool Run(const std::string &text);
    bool Line(const std::vector<Token> &tokens);
    bool Read(const Keyword &keyword, const std::vector<Token> &tokens, LineRecord *record);
    bool Positional(const Keyword &keyword, size_t *next, bool optionSeen, const Token &token, LineRecord *record);
    bool Option(const Keyword &keyword, const Token &token, LineRecord *record);
    bool Parse(grammar::ValueKind kind, const grammar::ConstantSet *set, grammar::SettingKind setting,
               const std::string &what, const std::string &text, Value *value);
    bool ParseList(grammar::ValueKind kind, const std::string &what, const std::string &text, Value *value);
    bool Store(Field field, const Value &value, LineRecord *record);
    bool StoreSetting(Field field, const Value &value, LineRecord *record);
    bool StoreMore(Field field, const Value &value, LineRecord *record);
    bool StoreRest(Field field, const Value &value, LineRecord *record);
    bool BitmapSize(const Value &value, LineRecord *record);
    bool BitmapFile(const std::string &text, LineRecord *record);
    bool Finish(const Keyword &keyword, LineRecord *record);
    bool FinishOutput(LineRecord *record);
    bool FinishText(LineRecord *record);
    bool FinishBracket(const Request &request);
    bool Delete(Request *request);
    bool BitmapRow(const std::vector<Token> &tokens);
    bool RawBitmapRow(const std::vector<Token> &tokens);
    bool StoreCaptured(Field field, const Value &value, LineRecord *record);
    bool HexBytes(const std::string &text, std::vector<uint8_t> *bytes);
    bool FinishBrush(const BrushSetting &brush);
    bool TakeCounts(LineRecord *record);
    bool Close(bool atEnd);

    bool Number(const std::string &text, const std::string &what, int64_t low, int64_t high, int64_t *value);
    bool Flags(const grammar::ConstantSet *set, const std::string &text, uint32_t *value);
    bool Color(const std::string &text, ColorRef *value);
    bool Numbers(const std::vector<std::string> &parts, const std::string &what, size_t count,
                 std::vector<int32_t> *values);
    bool Unescape(const std::string &raw, std::string *bytes);
    bool Setting(grammar::SettingKind kind, const std::string &name, int *index);
    bool PointItem(const std::string &text, std::vector<Point> *points);
    bool PointFile(const std::string &name, std::vector<Point> *points);
    bool Generated(const std::string &name, const std::vector<double> &arguments, std::vector<Point> *points);
    bool AddPoint(const std::string &generator, double x, double y, std::vector<Point> *points);
    Request Begin(Kind kind);
};

bool Parser::Fail(const std::string &message)
{
    if (error.empty()) {
        error = path + ":" + std::to_string(line) + ": " + message;
    }
    return false;
}

bool Parser::Tokenize(const std::string &text, std::vector<Token> *tokens)
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
                return Fail("expected a closing '\"'");
            }
        }
        tokens->push_back(token);
    }
    return true;
}

bool Parser::Run(const std::string &text)
{
    job->path = path;
    job->fonts.push_back(FontSetting());
    job->fonts.back().name = "default";
    job->drawModes.push_back(DrawModeSetting());
    job->drawModes.back().name = "default";
    std::istringstream stream(text);
    std::string source;
    while (std::getline(stream, source)) {
        ++line;
        std::vector<Token> tokens;
        if (!Tokenize(source, &tokens) || (!tokens.empty() && !Line(tokens))) {
            return false;
        }
    }
    if (inBitmap) {
        line = bitmapLine;
        return Fail("bitmap '" + bitmap.name + "' has no 'end' line");
    }
    // A page left open closes at the end of the job, as a driver's
    // end-of-document would close it.
    return !inPage || Close(true);
}

std::string KeywordList(grammar::KeywordKind kind)
{
    std::string list;
    for (const Keyword &keyword : grammar::KEYWORDS) {
        list += keyword.kind == kind ? (list.empty() ? "" : ", ") + std::string(keyword.name) : "";
    }
    return list;
}

bool Parser::Line(const std::vector<Token> &tokens)
{
    if (inBitmap) {
        return BitmapRow(tokens);
    }
    const std::string word = Lower(tokens[0].text);
    if (tokens[0].quoted) {
        return Fail("expected a request or a setting at the start of the line, not a string");
    }
    if (word == "end") {
        return Fail("'end' without a bitmap to finish");
    }
    for (const Keyword &keyword : grammar::KEYWORDS) {
        if (word != keyword.name && (keyword.alias == nullptr || word != keyword.alias)) {
            continue;
        }
        if (keyword.kind == grammar::KEYWORD_REQUEST && keyword.id != grammar::KEYWORD_PAGE && !inPage) {
            return Fail("'" + word + "' outside a page; expected a 'page' line first");
        }
        // a page ends the previous one first, as the driver does
        if (keyword.id == grammar::KEYWORD_PAGE && inPage && !Close(false)) {
            return false;
        }
        LineRecord record;
        if (keyword.kind == grammar::KEYWORD_REQUEST) {
            record.request = Begin((Kind)(keyword.id - grammar::KEYWORD_PAGE));
        }
        return Read(keyword, tokens, &record) && Finish(keyword, &record);
    }
    return Fail("expected a request (" + KeywordList(grammar::KEYWORD_REQUEST) + ") or a setting (" +
                KeywordList(grammar::KEYWORD_SETTING) + "), not '" + tokens[0].text + "'");
}

// Positional arguments in table order, then key=value options; a late
// argument (a point list, a text's string) may also stand among them.
bool Parser::Read(const Keyword &keyword, const std::vector<Token> &tokens, LineRecord *record)
{
    size_t next = 0;
    bool optionSeen = false;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const bool option = !tokens[i].leadingQuote && tokens[i].text.find('=') != std::string::npos;
        if (option ? !Option(keyword, tokens[i], record) : !Positional(keyword, &next, optionSeen, tokens[i], record)) {
            return false;
        }
        optionSeen = optionSeen || option;
    }
    for (; next < keyword.argumentCount; ++next) {
        if (!(keyword.arguments[next].flags & grammar::ARGUMENT_OPTIONAL)) {
            return Fail("expected '" + Usage(keyword) + (keyword.optionCount ? " [options]'" : "'"));
        }
    }
    return true;
}

bool Parser::Positional(const Keyword &keyword, size_t *next, bool optionSeen, const Token &token, LineRecord *record)
{
    while (*next < keyword.argumentCount && optionSeen && !(keyword.arguments[*next].flags & grammar::ARGUMENT_LATE)) {
        ++*next;
    }
    if (*next >= keyword.argumentCount) {
        return Fail(token.leadingQuote ? "expected key=value, not a string"
                                       : "expected key=value, not '" + token.text + "'");
    }
    const grammar::Argument &argument = keyword.arguments[*next];
    if (argument.kind == grammar::VALUE_POINTS) {
        if (token.text != "|") {
            return PointItem(token.text, &record->polygon);
        }
        Value bar;
        bar.none = true;
        return Store(grammar::FIELD_POINTS, bar, record);
    }
    if (argument.kind == grammar::VALUE_STRING && !token.leadingQuote) {
        return Fail("expected a \"string\" or key=value, not '" + token.text + "'");
    }
    ++*next;
    Value value;
    if ((argument.flags & grammar::ARGUMENT_NONE) && Lower(token.text) == "none") {
        value.none = true;
        value.number = -1;
        return Store(argument.field, value, record);
    }
    const grammar::SettingKind setting =
        argument.field == grammar::FIELD_SELECT_NAME ? record->selectKind : argument.setting;
    return Parse(argument.kind, argument.constants, setting, argument.name, token.text, &value) &&
           Store(argument.field, value, record);
}

std::string OptionList(const Keyword &keyword)
{
    std::string list;
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        list += std::string(i == 0 ? "" : i + 1 == keyword.optionCount ? " or " : ", ") + keyword.options[i].name + "=";
    }
    return list.empty() ? "no options" : list;
}

bool Parser::Option(const Keyword &keyword, const Token &token, LineRecord *record)
{
    const size_t equals = token.text.find('=');
    if (equals == 0) {
        return Fail("expected key=value, not '" + token.text + "'");
    }
    const std::string key = Lower(token.text.substr(0, equals));
    const std::string text = token.text.substr(equals + 1);
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        const grammar::Option &option = keyword.options[i];
        const std::string aliases = std::string(" ") + (option.aliases ? option.aliases : "") + " ";
        if (key != option.name && aliases.find(" " + key + " ") == std::string::npos) {
            continue;
        }
        Value value;
        // clip= may also say that the line has no clip rectangle
        if (option.field == grammar::FIELD_CLIP && Lower(text) == "none") {
            return true;
        }
        // captures: a page without a frame, a bitmap without bits
        if (option.field == grammar::FIELD_PAGE_FRAME && Lower(text) == "none") {
            return record->request.nullFrame = true;
        }
        if (option.field == grammar::FIELD_BITMAP_BITS_SIZE && Lower(text) == "none") {
            return record->bitmap.noBits = true;
        }
        return Parse(option.kind, option.constants, option.setting, key + "=", text, &value) &&
               Store(option.field, value, record);
    }
    return Fail("unknown option '" + key + "'; expected " + OptionList(keyword));
}

bool Parser::Parse(grammar::ValueKind kind, const grammar::ConstantSet *set, grammar::SettingKind setting,
                   const std::string &what, const std::string &text, Value *value)
{
    uint32_t flags = 0;
    int index = -1;
    switch (kind) {
    case grammar::VALUE_NUMBER:
        return Number(text, what, INT32_MIN, INT32_MAX, &value->number);
    case grammar::VALUE_BYTE:
        return Number(text, what, 0, 255, &value->number);
    case grammar::VALUE_U16:
        return Number(text, what, 0, 0xFFFF, &value->number);
    case grammar::VALUE_CONSTANT:
    case grammar::VALUE_STYLE:
        if (!Flags(kind == grammar::VALUE_STYLE ? nullptr : set ? set : &kNumbers, text, &flags)) {
            return false;
        }
        return (value->number = flags), true;
    case grammar::VALUE_CHOICE:
        if (!LookUp(*set, text, &flags)) {
            return Fail("expected " + std::string(set->what) + " (" + NameList(*set) + "), not '" + text + "'");
        }
        return (value->number = flags), true;
    case grammar::VALUE_SETTING:
        if (!Setting(setting, text, &index)) {
            return false;
        }
        return (value->number = index), true;
    case grammar::VALUE_NAME:
        if (text.empty() || !(isalpha((unsigned char)text[0]) || text[0] == '_') ||
            text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.") !=
                std::string::npos) {
            return Fail("expected a name (a letter or '_', then letters, digits, '_', '-', '.'), not '" + text + "'");
        }
        return (value->text = text), true;
    default:
        return ParseList(kind, what, text, value);
    }
}

// The kinds written as several parts: colours, number lists, strings.
bool Parser::ParseList(grammar::ValueKind kind, const std::string &what, const std::string &text, Value *value)
{
    const std::vector<std::string> parts = Split(text, ',');
    switch (kind) {
    case grammar::VALUE_COLOR:
        return Color(text, &value->colors[0]);
    case grammar::VALUE_COLORS:
        if (parts.size() != 2 || !Color(parts[0], &value->colors[0]) || !Color(parts[1], &value->colors[1])) {
            return Fail("expected " + what + "C0,C1 (the colours of bits 0 and 1)");
        }
        return true;
    case grammar::VALUE_PAIR:
    case grammar::VALUE_SIZE:
        if (!Numbers(kind == grammar::VALUE_SIZE ? Split(Lower(text), 'x') : parts, what, 2, &value->numbers)) {
            return false;
        }
        value->pair[0] = value->numbers[0], value->pair[1] = value->numbers[1];
        return true;
    case grammar::VALUE_RECT:
        if (!Numbers(parts, what, 4, &value->numbers)) {
            return false;
        }
        value->rect = Rect{value->numbers[0], value->numbers[1], value->numbers[2], value->numbers[3]};
        return true;
    case grammar::VALUE_NUMBERS:
        // an empty list: a text of no characters, a poly-polygon of no polygons
        return text.empty() ? (value->numbers.clear(), true) : Numbers(parts, what, 0, &value->numbers);
    case grammar::VALUE_STRING:
        return Unescape(text, &value->text);
    default: // VALUE_FILE, VALUE_POINTS: the text as written
        return (value->text = text), true;
    }
}

// One field to a line reads as the table it is.
// clang-format off
bool Parser::StoreSetting(Field field, const Value &value, LineRecord *record)
{
    const int32_t number = (int32_t)value.number;
    FontSetting &font = record->font;
    switch (field) {
    case grammar::FIELD_NAME:
        record->pen.name = record->brush.name = record->mode.name = font.name = record->bitmap.name = value.text;
        return true;
    case grammar::FIELD_PEN_STYLE: return (record->pen.style = number), true;
    case grammar::FIELD_PEN_WIDTH: return (record->pen.width = number), true;
    case grammar::FIELD_PEN_COLOR: return (record->pen.color = value.colors[0]), true;
    case grammar::FIELD_BRUSH_STYLE: return (record->brush.style = number), true;
    case grammar::FIELD_BRUSH_COLOR: return (record->brush.color = value.colors[0]), true;
    case grammar::FIELD_BRUSH_HATCH: return (record->brush.hatch = number), true;
    case grammar::FIELD_BRUSH_PATTERN:
        return (record->brush.bitmap = number), (record->brush.nullPattern = number < 0), true;
    case grammar::FIELD_ROP2: return (record->mode.rop2 = number), true;
    case grammar::FIELD_BK_MODE: return (record->mode.bkMode = number), true;
    case grammar::FIELD_BK_COLOR: return (record->mode.bkColor = value.colors[0]), true;
    case grammar::FIELD_TEXT_COLOR: return (record->mode.textColor = value.colors[0]), true;
    case grammar::FIELD_USE_BK_MODE: return (record->mode.useBkMode = number), true;
    case grammar::FIELD_FONT_HEIGHT: return (font.height = number), true;
    case grammar::FIELD_FONT_WIDTH: return (font.width = number), true;
    case grammar::FIELD_FONT_ESCAPEMENT: return (font.escapement = number), true;
    case grammar::FIELD_FONT_ORIENTATION: return (font.orientation = number), true;
    case grammar::FIELD_FONT_ANGLE: return (font.escapement = font.orientation = number), true;
    case grammar::FIELD_FONT_WEIGHT: return (font.weight = number), true;
    case grammar::FIELD_FONT_ITALIC: return (font.italic = (uint8_t)number), true;
    case grammar::FIELD_FONT_UNDERLINE: return (font.underline = (uint8_t)number), true;
    case grammar::FIELD_FONT_STRIKEOUT: return (font.strikeOut = (uint8_t)number), true;
    case grammar::FIELD_FONT_OUT_PRECISION: return (font.outPrecision = (uint8_t)number), true;
    case grammar::FIELD_FONT_CLIP_PRECISION: return (font.clipPrecision = (uint8_t)number), true;
    case grammar::FIELD_FONT_PITCH_AND_FAMILY: return (font.pitchAndFamily = (uint8_t)number), true;
    case grammar::FIELD_FONT_CHARSET:
    case grammar::FIELD_FONT_QUALITY:
        // LOGFONTA holds these in a byte; a larger number would be cut short
        if (value.number < 0 || value.number > 255) {
            return Fail(std::string(field == grammar::FIELD_FONT_CHARSET ? "a character set" : "a font quality") +
                        " is one byte (0 to 255), not " + std::to_string(value.number));
        }
        (field == grammar::FIELD_FONT_CHARSET ? font.charSet : font.quality) = (uint8_t)number;
        return true;
    case grammar::FIELD_FONT_FACE:
        if (value.text.size() > 31) {
            return Fail("a face name has at most 31 bytes (LOGFONTA), not " + std::to_string(value.text.size()));
        }
        return (font.face = value.text), true;
    default:
        return StoreMore(field, value, record);
    }
}

bool Parser::Store(Field field, const Value &value, LineRecord *record)
{
    Request &request = record->request;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_PEN: return (request.pen = number), true;
    case grammar::FIELD_BRUSH: return (request.brush = number), true;
    case grammar::FIELD_DRAWMODE: return (request.drawMode = number), true;
    case grammar::FIELD_FONT: return (request.font = number), true;
    case grammar::FIELD_CLIP: return (request.clip = value.rect), (request.hasClip = !value.none), true;
    case grammar::FIELD_EXPECT: return (request.expect = number), (request.hasExpect = true);
    case grammar::FIELD_PAGE_DEVICE: return (request.device = value.text), true;
    case grammar::FIELD_GEOMETRIC: return (request.geometricPenStyle = number), true;
    case grammar::FIELD_SCAN_FLAG: return (request.scanFlag = (uint16_t)number), true;
    case grammar::FIELD_COUNT: return (record->count = number), (record->countGiven = true);
    case grammar::FIELD_RELEASE_TIME: return (request.autoRelease = number != 0), true;
    case grammar::FIELD_ROP3: return (request.rop = number), true;
    case grammar::FIELD_TEXT_POINT: return (request.x = value.pair[0]), (request.y = value.pair[1]), true;
    case grammar::FIELD_TEXT_STRING: return (request.bytes = value.text), (record->hasString = true);
    case grammar::FIELD_TEXT_OPTIONS: return (request.options = number), true;
    case grammar::FIELD_TEXT_RECT: return (request.rect = value.rect), (request.hasRect = true);
    case grammar::FIELD_ADVANCES: return (request.advances = value.numbers), (request.hasAdvances = true);
    case grammar::FIELD_ADVANCE: return (record->uniformAdvance = number), (record->uniform = true);
    case grammar::FIELD_RELEASE: return (request.release = (Release)number), true;
    case grammar::FIELD_SELECT_KIND: return (record->selectKind = (grammar::SettingKind)number), true;
    case grammar::FIELD_DEST: return (request.xDest = value.pair[0]), (request.yDest = value.pair[1]), true;
    case grammar::FIELD_DEST_SIZE: return (request.cxDest = value.pair[0]), (request.cyDest = value.pair[1]), true;
    case grammar::FIELD_SOURCE_RECT:
        if (request.source < 0) {
            return Fail("src= needs a source bitmap");
        }
        request.xSrc = value.rect.left, request.ySrc = value.rect.top;
        request.cxSrc = value.rect.right, request.cySrc = value.rect.bottom;
        return true;
    default:
        return StoreSetting(field, value, record);
    }
}

// clang-format on

// The fields whose values are checked against each other or the job.
bool Parser::StoreMore(Field field, const Value &value, LineRecord *record)
{
    Request &request = record->request;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_PAGE_SIZE:
        if (value.pair[0] <= 0 || value.pair[1] <= 0) {
            return Fail("a page size is positive, not " + std::to_string(value.pair[0]) + "," +
                        std::to_string(value.pair[1]));
        }
        request.sizeX = value.pair[0], request.sizeY = value.pair[1];
        return request.hasSize = true;
    case grammar::FIELD_PAGE_FRAME:
        if (value.rect.right <= value.rect.left || value.rect.bottom <= value.rect.top) {
            return Fail("a frame needs right > left and bottom > top");
        }
        request.frame = value.rect;
        return request.hasFrame = true;
    case grammar::FIELD_STYLE:
        if (value.number > 0xFFFF) {
            return Fail("an output style is 16 bits, not " + std::to_string(value.number));
        }
        request.style = (uint16_t)number;
        return true;
    case grammar::FIELD_POINTS: // '|' ends a polygon
        if (FindOutputStyle(request.style) == nullptr || FindOutputStyle(request.style)->reads != OUT_READS_POLYGONS) {
            return Fail("'|' separates the polygons of a poly-polygon style only");
        }
        if (record->polygon.empty()) {
            return Fail("expected points before '|'");
        }
        request.polygonCounts.push_back((int32_t)record->polygon.size());
        request.points.insert(request.points.end(), record->polygon.begin(), record->polygon.end());
        record->polygon.clear();
        return true;
    case grammar::FIELD_POINT_FILE:
        return PointFile(value.text, &record->polygon);
    case grammar::FIELD_SOURCE:
        if (number < 0 && request.kind == Kind::Dib) {
            return Fail("a dib request needs a bitmap, not none");
        }
        request.source = number;
        request.rop = number < 0 ? PATCOPY : SRCCOPY;
        request.cxSrc = number < 0 ? 0 : job->bitmaps[number].width;
        request.cySrc = number < 0 ? 0 : job->bitmaps[number].height;
        return true;
    default:
        return StoreRest(field, value, record);
    }
}

// Bitmap sources, glyph indices and selections, all checked as they come.
bool Parser::StoreRest(Field field, const Value &value, LineRecord *record)
{
    BitmapSetting &bitmap = record->bitmap;
    Request &request = record->request;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_GLYPHS:
        for (int32_t glyph : value.numbers) {
            if (glyph < 0 || glyph > 0xFFFF) {
                return Fail("a glyph index is 16 bits, not " + std::to_string(glyph));
            }
            request.glyphs.push_back((uint16_t)glyph);
        }
        return record->hasGlyphs = true;
    case grammar::FIELD_SELECT_NAME:
        if (record->selectKind == grammar::SETTING_FONT && number < 0) {
            return Fail("text always needs a font; select another one instead of none");
        }
        return (record->selected = number), true;
    case grammar::FIELD_BITMAP_SHAPE:
        bitmap.mono = value.number == grammar::SHAPE_MONO;
        bitmap.raw = value.number == grammar::SHAPE_BITS  ? BitmapSetting::Raw::Device
                     : value.number == grammar::SHAPE_DIB ? BitmapSetting::Raw::Dib
                                                          : BitmapSetting::Raw::None;
        // a dib carries its size in its header: no WxH follows
        record->fromRows = value.number == grammar::SHAPE_DIB;
        return record->hasShape = true;
    case grammar::FIELD_BITMAP_SIZE:
        return BitmapSize(value, record);
    case grammar::FIELD_BITMAP_FILE:
        return BitmapFile(value.text, record);
    case grammar::FIELD_BITMAP_DEPTH:
        if (value.number != 24 && value.number != 32) {
            return Fail("expected depth=24 or depth=32 for a colour bitmap, not " + std::to_string(value.number));
        }
        return (bitmap.depth = (int)value.number), true;
    case grammar::FIELD_BITMAP_COLORS:
        bitmap.dibColors[0] = RgbToColorRef(value.colors[0]); // the swap is its own inverse
        bitmap.dibColors[1] = RgbToColorRef(value.colors[1]);
        return true;
    default:
        return StoreCaptured(field, value, record);
    }
}

// A bitmap's WxH rows follow.
bool Parser::BitmapSize(const Value &value, LineRecord *record)
{
    BitmapSetting &bitmap = record->bitmap;
    if (bitmap.raw == BitmapSetting::Raw::Device) {
        // a driver's BITMAP as it was, whatever its size
        bitmap.width = value.pair[0], bitmap.height = value.pair[1];
        bitmap.widthBytes = ((bitmap.width < 0 ? -bitmap.width : bitmap.width) + 15) / 16 * 2;
        return record->fromRows = true;
    }
    if (value.pair[0] < 1 || value.pair[1] < 1 || value.pair[0] > 4096 || value.pair[1] > 4096) {
        return Fail("a bitmap is 1 to 4096 pixels each way, not " + std::to_string(value.pair[0]) + "x" +
                    std::to_string(value.pair[1]));
    }
    bitmap.width = value.pair[0], bitmap.height = value.pair[1];
    return record->fromRows = true;
}

// A bitmap read from an image file, relative to the job's folder.
bool Parser::BitmapFile(const std::string &text, LineRecord *record)
{
    std::string contents, problem, name;
    if (record->fromRows) {
        return Fail("a bitmap comes from rows or from file=, not both");
    }
    // bitmap file names take string escapes, point file names do not
    if (!Unescape(text, &name)) {
        return false;
    }
    name = !name.empty() && name[0] == '/' ? name : folder + name;
    if (!(*reader)(name, &contents)) {
        return Fail("cannot read the bitmap file '" + name + "'");
    }
    if (!DecodeImage(contents, &record->bitmap, &problem)) {
        return Fail("bitmap file '" + name + "': " + problem);
    }
    return record->fromFile = true;
}

// The values captures write beyond a hand-written job's: every field of a
// driver's records, byte for byte.
bool Parser::StoreCaptured(Field field, const Value &value, LineRecord *record)
{
    BitmapSetting &bitmap = record->bitmap;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_PEN_WIDTH_Y:
        return (record->pen.widthY = number), true;
    case grammar::FIELD_BITMAP_BITS_PIXEL:
        return (bitmap.bitsPixel = (uint16_t)number), true;
    case grammar::FIELD_BITMAP_PLANES:
        return (bitmap.planes = (uint16_t)number), true;
    case grammar::FIELD_BITMAP_WIDTH_BYTES:
        return (bitmap.widthBytes = number), true;
    case grammar::FIELD_BITMAP_TYPE:
        return (bitmap.type = number), true;
    case grammar::FIELD_BITMAP_INFO_SIZE:
    case grammar::FIELD_BITMAP_BITS_SIZE:
        if (value.number < 0 || value.number > (64 << 20) ||
            (field == grammar::FIELD_BITMAP_INFO_SIZE && number > 0 && number < 4)) {
            return Fail("a dib's info= is 0 or 4 bytes and more, and each size at most 64 MiB, not " +
                        std::to_string(value.number));
        }
        (field == grammar::FIELD_BITMAP_INFO_SIZE ? bitmap.infoSize : bitmap.bitsSize) = (uint32_t)number;
        return true;
    case grammar::FIELD_PAGE_DEVMODE:
        return HexBytes(value.text, &record->request.devMode);
    case grammar::FIELD_POLYGON_COUNTS:
        return (record->explicitCounts = value.numbers), (record->countsGiven = true);
    default:
        return Fail("this line has no place for that value"); // a grammar row without a field
    }
}

bool Parser::HexBytes(const std::string &text, std::vector<uint8_t> *bytes)
{
    if (text.size() % 2 != 0 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Fail("expected bytes as pairs of hex digits, not '" + text.substr(0, 40) + "'");
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        bytes->push_back((uint8_t)strtoul(text.substr(i, 2).c_str(), nullptr, 16));
    }
    return true;
}

// clang-format off
template <typename T> bool Add(std::vector<T> *table, const T &item)
{
    table->push_back(item);
    return true;
}

bool Parser::Finish(const Keyword &keyword, LineRecord *record)
{
    Request &request = record->request;
    switch (keyword.id) {
    case grammar::KEYWORD_PEN: return Add(&job->pens, record->pen);
    case grammar::KEYWORD_DRAWMODE: return Add(&job->drawModes, record->mode);
    case grammar::KEYWORD_FONT: return Add(&job->fonts, record->font);
    case grammar::KEYWORD_BRUSH: return FinishBrush(record->brush) && Add(&job->brushes, record->brush);
    case grammar::KEYWORD_BITMAP:
        if (record->hasShape != record->fromRows) {
            return Fail("expected the bitmap's size as WxH after 'mono' or 'color'");
        }
        if (!record->fromRows && !record->fromFile) {
            return Fail("expected 'mono WxH', 'color WxH' or file=PATH for bitmap '" + record->bitmap.name + "'");
        }
        if (record->fromFile) {
            return Add(&job->bitmaps, record->bitmap);
        }
        bitmap = record->bitmap;
        if (bitmap.raw == BitmapSetting::Raw::None) {
            bitmap.pixels.reserve((size_t)bitmap.width * bitmap.height);
        }
        inBitmap = true, bitmapLine = line, bitmapRows = 0;
        return true;
    case grammar::KEYWORD_SELECT:
        (record->selectKind == grammar::SETTING_PEN     ? pen
         : record->selectKind == grammar::SETTING_BRUSH ? brush
         : record->selectKind == grammar::SETTING_FONT  ? font
                                                        : drawMode) = record->selected;
        return true;
    case grammar::KEYWORD_PAGE:
        if (request.hasSize && request.hasFrame) {
            return Fail("give a page either size= or frame=, not both");
        }
        ++job->pages;
        inPage = true;
        return Add(&job->requests, request);
    case grammar::KEYWORD_OUTPUT: return FinishOutput(record);
    case grammar::KEYWORD_TEXT: return FinishText(record);
    case grammar::KEYWORD_DELETE: return Delete(&request);
    case grammar::KEYWORD_CLOSE: return Close(false);
    default: return Add(&job->requests, request);
    }
}

// clang-format on

// A pattern brush names its bitmap, or none for a driver's null pointer;
// BS_DIBPATTERNPT (6) names a dib bitmap the same way.
bool Parser::FinishBrush(const BrushSetting &brush)
{
    const bool patterned = brush.bitmap >= 0 || brush.nullPattern;
    const bool dibBitmap = brush.bitmap >= 0 && job->bitmaps[brush.bitmap].raw == BitmapSetting::Raw::Dib;
    const bool dibPattern = brush.style == BS_DIBPATTERNPT && (brush.nullPattern || dibBitmap);
    if (!dibPattern && (brush.style == BS_PATTERN) != patterned) {
        return Fail(!patterned ? "a BS_PATTERN brush needs pattern=BITMAP"
                               : "pattern= is for style=pattern brushes, or style=6 with a dib bitmap, only");
    }
    return true;
}

// counts=: the driver's counts, empty and refused ones included, over points
// that run on without '|'.
bool Parser::TakeCounts(LineRecord *record)
{
    Request &request = record->request;
    if (!request.polygonCounts.empty()) {
        return Fail("give a poly-polygon's polygons with '|' or with counts=, not both");
    }
    int64_t total = 0;
    bool refused = false; // a negative count makes the DLL refuse the request before it reads a point
    for (int32_t one : record->explicitCounts) {
        total += one > 0 ? one : 0;
        refused = refused || one < 0;
    }
    if (!refused && (size_t)total > record->polygon.size()) {
        return Fail("counts= adds up to " + std::to_string(total) + " points; " +
                    std::to_string(record->polygon.size()) + " given");
    }
    request.polygonCounts = record->explicitCounts;
    request.points = record->polygon;
    return true;
}

// How many points each style reads: fewer would let the library read past
// the driver's array.
bool Parser::FinishOutput(LineRecord *record)
{
    Request &request = record->request;
    const OutputStyle *style = FindOutputStyle(request.style);
    const bool polyPolygon = style != nullptr && style->reads == OUT_READS_POLYGONS;
    if (record->countsGiven) {
        if (!polyPolygon || !TakeCounts(record)) {
            return error.empty() ? Fail("counts= is for the poly-polygon styles") : false;
        }
    } else if (polyPolygon && !record->polygon.empty()) {
        Value bar;
        Store(grammar::FIELD_POINTS, bar, record);
    } else if (!polyPolygon) {
        request.points = record->polygon;
    }
    if (polyPolygon && request.polygonCounts.empty() && !record->countsGiven) {
        return Fail("expected the points of at least one polygon, polygons separated by '|'");
    }
    const size_t natural = polyPolygon ? request.polygonCounts.size() : request.points.size();
    const std::string name = style != nullptr ? Lower(style->name + 4) : "";
    if (style != nullptr && style->reads == OUT_READS_NOTHING && !request.points.empty()) {
        return Fail(name + " takes no points");
    }
    if (style != nullptr && style->reads == OUT_READS_FIXED && request.points.size() < style->points) {
        return Fail("style " + name + " reads " + std::to_string(style->points) + " points; expected " +
                    std::to_string(style->points) + " 'x,y' points, found " + std::to_string(request.points.size()));
    }
    if (natural > 0xFFFF) {
        return Fail("the count is 16 bits; " + std::to_string(natural) + " points do not fit");
    }
    const bool counted = style != nullptr && (style->reads == OUT_READS_COUNT || polyPolygon);
    const size_t wanted = polyPolygon ? (size_t)record->count : OutputPointsRead(style, (uint16_t)record->count);
    if (record->countGiven && counted && wanted > natural) {
        return Fail("count=" + std::to_string(record->count) + " is more than the " + std::to_string(natural) +
                    (polyPolygon ? " polygons" : " points") + " given");
    }
    request.count = (uint16_t)(record->countGiven ? record->count : (int64_t)natural);
    return FinishBracket(request) && Add(&job->requests, request);
}

// The scan bracket: the objects it hands out must be released before
// another bracket takes their place, or they leak.
bool Parser::FinishBracket(const Request &request)
{
    if (request.style == OUT_BEGINSCAN) {
        if (bracketOpen) {
            return Fail("a scan bracket is already open (line " + std::to_string(bracketLine) +
                        "); expected 'output endscan' first");
        }
        if (held[0] || held[1] || held[2]) {
            return Fail("the scan bracket of line " + std::to_string(bracketLine) +
                        " still holds its objects; expected 'delete scan' first");
        }
        bracketOpen = true;
        bracketLine = line;
        held[0] = held[1] = held[2] = true;
    } else if (request.style == OUT_ENDSCAN) {
        bracketOpen = false;
        if (request.autoRelease) {
            held[0] = held[1] = held[2] = false;
        }
    }
    return true;
}

bool Parser::FinishText(LineRecord *record)
{
    Request &request = record->request;
    if (record->hasString == record->hasGlyphs) {
        return Fail(record->hasString ? "give a text either a \"string\" or glyphs=, not both"
                                      : "expected a \"string\" (or glyphs=) after the reference point");
    }
    if (record->uniform && request.hasAdvances) {
        return Fail("give either advances= or advance=, not both");
    }
    if (record->hasGlyphs) {
        request.options |= ETO_GLYPH_INDEX;
    } else if (request.options & ETO_GLYPH_INDEX) {
        return Fail("ETO_GLYPH_INDEX needs glyphs=, not a string");
    }
    const size_t units = record->hasGlyphs ? request.glyphs.size() : request.bytes.size();
    if (record->uniform) {
        request.advances.assign(units, record->uniformAdvance);
        request.hasAdvances = true;
    }
    if (request.hasAdvances && request.advances.size() != units) {
        return Fail("expected one advance per " + std::string(record->hasGlyphs ? "glyph" : "byte") + " (" +
                    std::to_string(units) + "), found " + std::to_string(request.advances.size()));
    }
    if (request.drawMode < 0) {
        request.drawMode = 0; // text needs a draw mode; the built-in one stands in
    }
    return Add(&job->requests, request);
}

// `delete pen|brush|pattern|scan`: only what a bracket still holds.
bool Parser::Delete(Request *request)
{
    const int what = (int)request->release;
    const bool any = held[0] || held[1] || held[2];
    if (what < 3 ? !held[what] : !any) {
        return Fail(std::string("no scan bracket holds a ") + grammar::RELEASES[what].name +
                    " to release; expected 'output beginscan' and 'output endscan release=manual' before it");
    }
    for (int i = 0; i < 3; ++i) {
        held[i] = held[i] && what < 3 && i != what;
    }
    return Add(&job->requests, *request);
}

// Objects a bracket still holds are released by the simulator before it
// closes, as a driver's end-of-page would; an open bracket must end first,
// except at the end of the job, where the simulator ends the page as it is.
bool Parser::Close(bool atEnd)
{
    if (bracketOpen && !atEnd) {
        return Fail("the scan bracket of line " + std::to_string(bracketLine) +
                    " is still open; expected 'output endscan' before the page ends");
    }
    held[0] = held[1] = held[2] = false;
    inPage = false;
    return Add(&job->requests, Begin(Kind::Close));
}

// A row of a mono bitmap: W characters 0/1, or its bytes in hex (two digits
// per 8 pixels, high bit first). A row of a colour bitmap: W tokens RRGGBB.
bool Parser::BitmapRow(const std::vector<Token> &tokens)
{
    if (bitmap.raw != BitmapSetting::Raw::None) {
        return RawBitmapRow(tokens);
    }
    if (tokens.size() == 1 && Lower(tokens[0].text) == "end") {
        if (bitmapRows != bitmap.height) {
            return Fail("bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.height) + " rows, found " +
                        std::to_string(bitmapRows));
        }
        inBitmap = false;
        return Add(&job->bitmaps, bitmap);
    }
    if (bitmapRows++ >= bitmap.height) {
        return Fail("bitmap '" + bitmap.name + "' has " + std::to_string(bitmap.height) + " rows; expected 'end' here");
    }
    const size_t width = (size_t)bitmap.width;
    std::string row;
    for (const Token &token : tokens) {
        row += token.text;
    }
    const size_t hexDigits = (width + 7) / 8 * 2;
    int64_t number = 0;
    if (bitmap.mono && row.size() == width && row.find_first_not_of("01") == std::string::npos) {
        for (char c : row) {
            bitmap.pixels.push_back(c == '1' ? 1 : 0);
        }
    } else if (bitmap.mono && row.size() == hexDigits &&
               row.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        for (size_t x = 0; x < width; ++x) {
            ParseInteger("0x" + row.substr(x / 8 * 2, 2), &number);
            bitmap.pixels.push_back((number >> (7 - x % 8)) & 1);
        }
    } else if (bitmap.mono) {
        return Fail("expected a row of " + std::to_string(width) + " pixels as 0/1, or " + std::to_string(hexDigits) +
                    " hex digits, not '" + row + "'");
    } else if (tokens.size() != width) {
        return Fail("expected a row of " + std::to_string(width) + " colours RRGGBB, found " +
                    std::to_string(tokens.size()));
    }
    for (size_t x = 0; !bitmap.mono && x < width; ++x) {
        const std::string text = tokens[x].text[0] == '#' ? tokens[x].text.substr(1) : tokens[x].text;
        if (text.size() != 6 || !ParseInteger("0x" + text, &number)) {
            return Fail("expected a pixel colour RRGGBB, not '" + tokens[x].text + "'");
        }
        bitmap.pixels.push_back((uint32_t)number);
    }
    return true;
}

// The bytes of a bits or dib bitmap, in hex rows of any length, then 'end'.
bool Parser::RawBitmapRow(const std::vector<Token> &tokens)
{
    if (tokens.size() == 1 && Lower(tokens[0].text) == "end") {
        if (bitmap.raw == BitmapSetting::Raw::Dib && bitmap.bytes.size() != (size_t)bitmap.infoSize + bitmap.bitsSize) {
            return Fail("bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.infoSize + bitmap.bitsSize) +
                        " bytes (info= and bits=), found " + std::to_string(bitmap.bytes.size()));
        }
        inBitmap = false;
        return Add(&job->bitmaps, bitmap);
    }
    for (const Token &token : tokens) {
        if (!HexBytes(token.text, &bitmap.bytes)) {
            return false;
        }
    }
    return true;
}

bool Parser::Number(const std::string &text, const std::string &what, int64_t low, int64_t high, int64_t *value)
{
    if (!ParseInteger(text, value)) {
        return Fail("expected " + what + " (a number), not '" + text + "'");
    }
    if (*value < low || *value > high) {
        return Fail(what + " " + text + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) +
                    ")");
    }
    return true;
}

// Names of the set (the output styles when there is none), or numbers,
// joined by '|'.
bool Parser::Flags(const grammar::ConstantSet *set, const std::string &text, uint32_t *value)
{
    *value = 0;
    for (const std::string &piece : Split(text, '|')) {
        uint32_t one = 0;
        int64_t number = 0;
        if (set == nullptr ? LookUpStyle(piece, &one) : LookUp(*set, piece, &one)) {
            *value |= one;
        } else if (ParseInteger(piece, &number) && number >= INT32_MIN && number <= (int64_t)UINT32_MAX) {
            *value |= (uint32_t)number;
        } else if (set == nullptr || set->size > 0) {
            return Fail("expected " + std::string(set ? set->what : "an output style") + " (" +
                        (set ? NameList(*set) : StyleList()) + ", or a number), not '" + piece + "'");
        } else {
            return Fail("expected " + std::string(set->what) + ", not '" + piece + "'");
        }
    }
    return true;
}

bool Parser::Color(const std::string &text, ColorRef *value)
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
    std::vector<int32_t> parts;
    if (lower.compare(0, 4, "rgb(") == 0 && lower.back() == ')') {
        const std::vector<std::string> pieces = Split(lower.substr(4, lower.size() - 5), ',');
        int64_t c[3];
        if (pieces.size() == 3 && ParseInteger(pieces[0], &c[0]) && ParseInteger(pieces[1], &c[1]) &&
            ParseInteger(pieces[2], &c[2]) && c[0] >= 0 && c[0] < 256 && c[1] >= 0 && c[1] < 256 && c[2] >= 0 &&
            c[2] < 256) {
            return (*value = (uint32_t)(c[0] | (c[1] << 8) | (c[2] << 16))), true;
        }
    }
    // A bare number is a COLORREF as the driver holds it (0x00BBGGRR), high
    // byte included, so a job can hand over palette-index colours too.
    if (ParseInteger(text, &number) && number >= 0) {
        return (*value = (uint32_t)number), true;
    }
    return Fail("expected a colour (#RRGGBB, a name such as red, rgb(r,g,b) or a COLORREF number), not '" + text + "'");
}

// count numbers (any number of them when count is 0), each 32-bit.
bool Parser::Numbers(const std::vector<std::string> &parts, const std::string &what, size_t count,
                     std::vector<int32_t> *values)
{
    if (count != 0 && parts.size() != count) {
        std::string text;
        for (const std::string &part : parts) {
            text += (text.empty() ? "" : ",") + part;
        }
        return Fail("expected " + what + " as " + std::to_string(count) + " numbers, not '" + text + "'");
    }
    values->clear();
    for (const std::string &part : parts) {
        int64_t value = 0;
        if (!Number(part, what, INT32_MIN, INT32_MAX, &value)) {
            return false;
        }
        values->push_back((int32_t)value);
    }
    return true;
}

bool Parser::Unescape(const std::string &raw, std::string *bytes)
{
    static const char kEscapes[] = "\\\\\"\"n\nt\t"; // escape letter, then its byte
    bytes->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            *bytes += raw[i];
            continue;
        }
        if (++i >= raw.size()) {
            return Fail("expected a character after '\\' in a string");
        }
        const char *known = strchr(kEscapes, raw[i]);
        int64_t byte = 0;
        if (raw[i] == 'x') {
            if (i + 2 >= raw.size() || !isxdigit((unsigned char)raw[i + 1]) || !isxdigit((unsigned char)raw[i + 2]) ||
                !ParseInteger("0x" + raw.substr(i + 1, 2), &byte)) {
                return Fail("expected two hex digits after '\\x' in a string");
            }
            *bytes += (char)byte;
            i += 2;
        } else if (known != nullptr && (known - kEscapes) % 2 == 0) {
            *bytes += known[1];
        } else {
            return Fail(std::string("unknown escape '\\") + raw[i] +
                        "' in a string; expected \\xNN, \\\\, \\\", \\n or \\t");
        }
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

bool Parser::Setting(grammar::SettingKind kind, const std::string &name, int *index)
{
    if (Lower(name) == "none") {
        return (*index = -1), true;
    }
    *index = kind == grammar::SETTING_PEN        ? Newest(job->pens, name)
             : kind == grammar::SETTING_BRUSH    ? Newest(job->brushes, name)
             : kind == grammar::SETTING_DRAWMODE ? Newest(job->drawModes, name)
             : kind == grammar::SETTING_FONT     ? Newest(job->fonts, name)
                                                 : Newest(job->bitmaps, name);
    if (*index < 0) {
        const std::string what = kSettingNames[kind];
        return Fail("no " + what + " named '" + name + "'; define it first with '" + what + " " + name + " ...'");
    }
    return true;
}

bool Parser::AddPoint(const std::string &generator, double x, double y, std::vector<Point> *points)
{
    const long rx = lround(x), ry = lround(y);
    if (rx < INT16_MIN || rx > INT16_MAX || ry < INT16_MIN || ry > INT16_MAX) {
        return Fail(generator + " makes a point outside the 16-bit range");
    }
    points->push_back(Point{(int16_t)rx, (int16_t)ry});
    return true;
}

// The point generators of the grammar; a holds as many numbers as the
// generator's row says.
bool Parser::Generated(const std::string &name, const std::vector<double> &a, std::vector<Point> *points)
{
    const double pi = 3.14159265358979323846;
    const double n = name == "star" ? a[4] * 2 : name == "arc" ? a[6] : a[5];
    if (n < 1 || n > 65535 || n != floor(n)) {
        return Fail(name + ": " + (name == "star" ? "spikes" : "n") + " must be a whole number from 1 to 65535");
    }
    if (name == "wave" && a[4] == 0) {
        return Fail("wave: the period must not be 0");
    }
    for (int i = 0; i < (int)n; ++i) {
        const double t = n == 1 ? 0 : i / (n - 1);
        bool ok = true;
        if (name == "star") {
            const double radius = i % 2 == 0 ? a[2] : a[3], angle = pi / 2 + i * pi / a[4];
            ok = AddPoint(name, a[0] + radius * cos(angle), a[1] - radius * sin(angle), points);
        } else if (name == "arc") {
            const double angle = (a[4] + (a[5] - a[4]) * t) * pi / 180;
            ok = AddPoint(name, a[0] + a[2] * cos(angle), a[1] - a[3] * sin(angle), points);
        } else {
            const double x = n == 1 ? a[0] : a[0] + (a[2] - a[0]) * i / (n - 1);
            ok = AddPoint(name, x, a[1] - a[3] * sin(2 * pi * (x - a[0]) / a[4]), points);
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

// A point x,y, or a generator name:numbers.
bool Parser::PointItem(const std::string &text, std::vector<Point> *points)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        std::vector<std::string> parts = Split(text, ',');
        int64_t x = 0, y = 0;
        if (parts.size() != 2 || !ParseInteger(parts[0], &x) || !ParseInteger(parts[1], &y)) {
            return Fail("expected a point as 'x,y', not '" + text + "'");
        }
        if (x < INT16_MIN || x > INT16_MAX || y < INT16_MIN || y > INT16_MAX) {
            return Fail("point '" + text + "' does not fit the 16-bit points of an output request (-32768 to 32767)");
        }
        points->push_back(Point{(int16_t)x, (int16_t)y});
        return true;
    }
    const std::string name = Lower(text.substr(0, colon));
    std::vector<double> arguments;
    for (const std::string &piece : Split(text.substr(colon + 1), ',')) {
        char *end = nullptr;
        const double value = strtod(piece.c_str(), &end);
        if (piece.empty() || *end != '\0' || !std::isfinite(value)) {
            return Fail("expected numbers in '" + text + "', not '" + piece + "'");
        }
        arguments.push_back(value);
    }
    std::string names;
    for (const grammar::Generator &generator : grammar::GENERATORS) {
        if (name == generator.name && arguments.size() != generator.argumentCount) {
            return Fail("expected " + name + ":" + generator.arguments);
        }
        if (name == generator.name) {
            return Generated(name, arguments, points);
        }
        names += (names.empty() ? "" : ", ") + std::string(generator.name) + ":";
    }
    return Fail("unknown point generator '" + name + "'; expected " + names);
}

// A point list file: pairs of numbers, any separators, '#' comments.
bool Parser::PointFile(const std::string &name, std::vector<Point> *points)
{
    const std::string file = !name.empty() && name[0] == '/' ? name : folder + name;
    std::string contents;
    if (!(*reader)(file, &contents)) {
        return Fail("cannot read the point file '" + file + "'");
    }
    std::vector<int64_t> numbers;
    std::istringstream stream(contents);
    std::string text, word;
    while (std::getline(stream, text)) {
        text = text.substr(0, text.find('#'));
        for (char &c : text) {
            c = c == ',' || c == ';' || c == '\t' || c == '\r' ? ' ' : c;
        }
        for (std::istringstream words(text); words >> word;) {
            int64_t value = 0;
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

Request Parser::Begin(Kind kind)
{
    Request request;
    request.kind = kind;
    request.line = line;
    request.pen = pen, request.brush = brush, request.drawMode = drawMode, request.font = font;
    return request;
}

} // namespace

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
    parser.path = path, parser.folder = FolderOf(path), parser.job = job, parser.reader = &reader;
    if (!parser.Run(text)) {
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

const char *KindName(Kind kind)
{
    static const char *const kNames[] = {"page", "clip", "output", "raster", "dib", "text", "delete", "close"};
    return (size_t)kind < sizeof kNames / sizeof kNames[0] ? kNames[(size_t)kind] : "?";
}

} // namespace job
