// Files a job names: point lists and bitmap images.
#ifndef QUILLREC_JOB_FILES_H
#define QUILLREC_JOB_FILES_H

#include <string>
#include <vector>

#include "job_parse_state.h"

namespace job {
namespace parse {

// A point list file: pairs of numbers, any separators, '#' comments.
bool PointFile(Parser &p, std::string name, std::vector<Point> *points);

// points16=: count Point16 bytes (x,y little-endian) from byte at of the
// file named by text (with string escapes); count -1: to the file's end.
bool RawPointFile(Parser &p, const std::string &text, int64_t at, int64_t count, std::vector<Point> *points);

// A bitmap line's file=: the image named by text (with string escapes).
bool BitmapFile(Parser &p, const std::string &text, LineRecord *record);

} // namespace parse
} // namespace job

#endif
