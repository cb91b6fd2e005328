// The job parser's working records: the state of one job being parsed, the
// records one line fills, and a value as its row's kind reads it. Shared by
// the parser's files, seen by nothing outside them.
#ifndef QUILLREC_JOB_PARSE_STATE_H
#define QUILLREC_JOB_PARSE_STATE_H

#include <map>
#include <string>
#include <vector>

#include "job_order.h"
#include "job_parser.h"
#include "jobformat/job_grammar.h"

namespace job {
namespace parse {

using grammar::Field;
using grammar::Keyword;
using grammar::Row;

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
    int32_t resultOf = 0; // result of=: the request line answered
    bool resultOfGiven = false;
    std::string rawFile; // points16=, as written; at=
    bool rawGiven = false, rawAtGiven = false;
    int64_t rawAt = 0;
    grammar::CallKind callKind = grammar::CALL_TEXT;
    int32_t callOf = 0; // call=: the call line answered
    bool callOfGiven = false;
};

// A capture's call line, and whether a line after the call answered it.
struct CallLine {
    int line = 0;
    grammar::CallKind kind = grammar::CALL_TEXT;
    bool answered = false;
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
    PageOrder order;
    bool answers = false;             // a capture whose results come on result lines after each call
    std::vector<size_t> requestLines; // each request line's request, for result lines
    std::vector<CallLine> calls;      // a capture's call lines, for the lines that answer them
    bool inBitmap = false;
    BitmapSetting bitmap;
    int bitmapLine = 0, bitmapRows = 0;
    // points16= files, read once: a capture names one file on many lines
    std::map<std::string, std::string> pointFiles;
};

// Keeps the first failure, named by the job's path and the current line;
// always false.
bool Fail(Parser &p, const std::string &message);

// A request as the current settings make it, on the current line.
Request Begin(Parser &p, Kind kind);

template <typename T> bool Add(std::vector<T> *table, const T &item)
{
    table->push_back(item);
    return true;
}

} // namespace parse
} // namespace job

#endif
