// Value readers of the job parser: tokens read as the value kinds of the
// grammar's rows.
#ifndef QUILLREC_JOB_VALUES_H
#define QUILLREC_JOB_VALUES_H

#include <stdint.h>

#include <string>
#include <vector>

#include "job_parse_state.h"

namespace job {
namespace parse {

// The numbers a value may hold: by its row's limit, else by its kind.
struct Range {
    int64_t low, high;
    const char *what;
};

extern const char kHexDigits[];
extern const Range kPointRange;

ColorRef RgbToColorRef(uint32_t rgb);
std::string Lower(std::string text);

// Splits at a separator; empty pieces are kept so that "1,,2" is caught.
std::vector<std::string> Split(const std::string &text, char separator);

bool InRange(Parser &p, int64_t value, const std::string &what, const std::string &text, const Range &range);

// count numbers (any number of them when count is 0) split at a separator,
// each within range: pairs, rectangles, sizes, lists and points.
bool Numbers(Parser &p, const std::string &text, char separator, const std::string &what, size_t count,
             const Range &range, std::vector<int32_t> *values);

// A string's bytes with its escapes (\xNN, \\, \", \n, \t) resolved.
bool Unescape(Parser &p, const std::string &raw, std::string *bytes);

// Pairs of hex digits, appended to bytes.
bool HexBytes(Parser &p, const std::string &text, std::vector<uint8_t> *bytes);

// A token read as its row's value kind; what names it in messages.
bool ReadValue(Parser &p, const Row &row, grammar::SettingKind setting, const std::string &what,
               const std::string &text, Value *value);

// A point x,y, or a generator name:numbers.
bool PointItem(Parser &p, const std::string &text, std::vector<Point> *points);

} // namespace parse
} // namespace job

#endif
