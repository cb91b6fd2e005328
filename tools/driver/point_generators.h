// Point generators of the job format (star:, arc:, wave:).
#ifndef QUILLREC_POINT_GENERATORS_H
#define QUILLREC_POINT_GENERATORS_H

#include <string>
#include <vector>

#include "job_parse_state.h"

namespace job {
namespace parse {

// The points of the generator `name`; a holds as many numbers as the
// generator's grammar row says.
bool GeneratePoints(Parser &p, const std::string &name, const std::vector<double> &a, std::vector<Point> *points);

} // namespace parse
} // namespace job

#endif
