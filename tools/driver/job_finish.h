// A line's records join the job.
#ifndef QUILLREC_JOB_FINISH_H
#define QUILLREC_JOB_FINISH_H

#include "job_parse_state.h"

namespace job {
namespace parse {

// The line of `keyword` is read: its checks across fields, then its records
// join the job.
bool Finish(Parser &p, const Keyword &keyword, LineRecord *record);

// The open page closes (atEnd: at the end of the job).
bool Close(Parser &p, bool atEnd);

} // namespace parse
} // namespace job

#endif
