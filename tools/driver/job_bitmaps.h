// Bitmap settings of a job: the bitmap line and the rows that follow it.
#ifndef QUILLREC_JOB_BITMAPS_H
#define QUILLREC_JOB_BITMAPS_H

#include <vector>

#include "job_parse_state.h"
#include "job_tokens.h"

namespace job {
namespace parse {

// A bitmap line's fields that are checked or do more than fill a member.
bool BitmapField(Parser &p, Field field, const Value &value, LineRecord *record);

// A bitmap line ends: from a file it is complete, else its rows follow.
bool FinishBitmap(Parser &p, LineRecord *record);

// A line between a bitmap line and its `end`.
bool BitmapRow(Parser &p, const std::vector<Token> &tokens);

} // namespace parse
} // namespace job

#endif
