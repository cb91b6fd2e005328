// The field table of the job parser: where a grammar field's value goes.
#ifndef QUILLREC_JOB_FIELDS_H
#define QUILLREC_JOB_FIELDS_H

#include "job_parse_state.h"

namespace job {
namespace parse {

// Stores a value for its field, after the checks a row cannot state.
bool Store(Parser &p, Field field, const Value &value, LineRecord *record);

// Stores a value as it is in every member its field fills.
bool StoreInSlots(Parser &p, Field field, const Value &value, LineRecord *record);

// '|' ends a polygon of a poly-polygon style.
bool EndPolygon(Parser &p, LineRecord *record);

} // namespace parse
} // namespace job

#endif
