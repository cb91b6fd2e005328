// The job parser: a job's lines in order, each line's keyword finding its
// grammar row and each token read against the row's argument and option
// rows. The tokenizer, the value readers, the field table, the bitmap rows,
// the checks made when a line ends and the order rules of pages and scan
// brackets each have a file of their own beside this one.
#include "job_parser.h"

#include <string.h>

#include <algorithm>
#include <sstream>

#include "job_bitmaps.h"
#include "job_fields.h"
#include "job_finish.h"
#include "job_parse_state.h"
#include "job_tokens.h"
#include "job_values.h"

namespace job {
namespace parse {

bool Fail(Parser &p, const std::string &message)
{
    if (p.error.empty()) {
        p.error = p.path + ":" + std::to_string(p.line) + ": " + message;
    }
    return false;
}

Request Begin(Parser &p, Kind kind)
{
    Request request;
    request.kind = kind;
    request.line = p.line;
    request.surface = p.order.pageLines;
    request.pen = p.pen, request.brush = p.brush, request.drawMode = p.drawMode, request.font = p.font;
    return request;
}

} // namespace parse

namespace {

using namespace parse;

// One value for its row: `none` (not "none") where the row allows it, else
// the token read as the row's kind.
bool Take(Parser &p, const Row &row, const std::string &what, const Token &token, const std::string &text,
          LineRecord *record)
{
    Value value;
    if ((row.flags & grammar::ARGUMENT_NONE) && !token.quoted && Lower(text) == "none") {
        value.none = true;
        value.number = -1;
        return Store(p, row.field, value, record);
    }
    const grammar::SettingKind setting = row.field == grammar::FIELD_SELECT_NAME ? record->selectKind : row.setting;
    return ReadValue(p, row, setting, what, text, &value) && Store(p, row.field, value, record);
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
    return Take(p, argument, argument.name, token, token.text, record);
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
            return Take(p, option, key + "=", token, token.text.substr(equals + 1), record);
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
        const std::string outside =
            keyword.kind == grammar::KEYWORD_REQUEST ? OrderOnRequestLine(p.order, keyword.id, word) : "";
        if (!outside.empty()) {
            return Fail(p, outside);
        }
        if (OrderPageEndsFirst(p.order, keyword.id) && !Close(p, false)) {
            return false;
        }
        LineRecord record;
        const bool request = keyword.kind == grammar::KEYWORD_REQUEST;
        if (request) {
            record.request = Begin(p, (Kind)(keyword.id - grammar::KEYWORD_PAGE));
            // a capture's request waits for its result line: none means the real DLL never answered
            record.request.replay = !p.answers;
        }
        if (!Read(p, keyword, tokens, &record) || !Finish(p, keyword, &record)) {
            return false;
        }
        if (request) {
            p.requestLines.push_back(p.job->requests.size() - 1);
        }
        return true;
    }
    return Fail(p, "expected a request (" + KeywordList(grammar::KEYWORD_REQUEST) + ") or a setting (" +
                       KeywordList(grammar::KEYWORD_SETTING) + "), not '" + tokens[0].text + "'");
}

void Warn(Parser &p, int line, const std::string &message)
{
    p.job->warnings.push_back(p.path + ":" + std::to_string(line) + ": warning: " + message);
}

// A capture is what a process left: one that died, or whose disk filled,
// ends in a half-written line (and, written through a mapping, in zeros).
// That line is dropped, with a warning.
std::string WholeLines(Parser &p, const std::string &text)
{
    const size_t end = text.find_last_not_of('\0') + 1; // 0 when all are zeros
    const size_t whole = end == 0 ? std::string::npos : text.rfind('\n', end - 1);
    if (end == 0 || text[end - 1] == '\n' || whole == std::string::npos) {
        return text.substr(0, end);
    }
    const int cutLine = 2 + (int)std::count(text.begin(), text.begin() + (ptrdiff_t)whole, '\n');
    Warn(p, cutLine, "the capture's last line is cut short; the lines before it replay");
    return text.substr(0, whole + 1);
}

// What a capture's run never finished: a bitmap cut short, and requests and
// calls the real DLL never answered (the process ended inside them).
void Unfinished(Parser &p)
{
    if (p.inBitmap) {
        p.inBitmap = false;
        Warn(p, p.bitmapLine, "bitmap '" + p.bitmap.name + "' is cut short; the capture ends inside it");
    }
    for (const Request &request : p.job->requests) {
        if (!request.replay) {
            Warn(p, request.line,
                 "the real DLL never answered this request: the capture ends in a crash inside "
                 "it (or was stopped), and it is not sent again");
        }
    }
    for (const CallLine &call : p.calls) {
        if (!call.answered) {
            Warn(p, call.line,
                 "the real DLL never answered this call: the capture ends in a crash inside it (or was stopped)");
        }
    }
}

bool Run(Parser &p, const std::string &job)
{
    p.job->path = p.path;
    p.job->fonts.push_back(FontSetting());
    p.job->fonts.back().name = "default";
    p.job->drawModes.push_back(DrawModeSetting());
    p.job->drawModes.back().name = "default";
    // zeros end no job: a file written through a mapping and left by a
    // process that died before it wrote anything ends in them
    const std::string text = p.order.capture ? WholeLines(p, job) : job.substr(0, job.find_last_not_of('\0') + 1);
    std::istringstream stream(text);
    std::string source;
    while (std::getline(stream, source)) {
        ++p.line;
        std::vector<Token> tokens;
        std::string problem;
        if (!Tokenize(source, &tokens, &problem)) {
            return Fail(p, problem);
        }
        if (!tokens.empty() && !Line(p, tokens)) {
            return false;
        }
    }
    if (p.order.capture) {
        Unfinished(p);
        return true; // the replay closes the pages the capture's run left open, as they were
    }
    if (p.inBitmap) {
        p.line = p.bitmapLine;
        return Fail(p, "bitmap '" + p.bitmap.name + "' has no 'end' line");
    }
    // A page left open closes at the end of the job, as a driver's
    // end-of-document would close it.
    return !p.order.inPage || Close(p, true);
}

bool StartsWith(const std::string &text, size_t at, const char *prefix)
{
    return text.compare(at, strlen(prefix), prefix) == 0;
}

} // namespace

bool ParseJob(const std::string &text, const std::string &path, Job *job, std::string *error, const FileReader &reader)
{
    *job = Job();
    Parser parser;
    parser.path = path, parser.folder = path.substr(0, path.find_last_of("/\\") + 1), parser.job = job,
    parser.reader = &reader;
    // Windows editors may start a UTF-8 file with a byte-order mark; it is
    // no part of the first line
    const bool marked = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string body = marked ? text.substr(3) : text;
    // Today's captures and older ones start alike; newer ones give their
    // results on result lines, and say so on the second line.
    const size_t second = body.find('\n');
    parser.order.capture = job->capture = StartsWith(body, 0, GRAMMAR_CAPTURE_MARK);
    parser.answers =
        parser.order.capture && second != std::string::npos && StartsWith(body, second + 1, GRAMMAR_CAPTURE_ANSWERS);
    if (!Run(parser, body)) {
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
