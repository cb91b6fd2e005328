// The simulator's warnings about a request: input QUILLREC.dll does not use
// by its own rules (points past what the output style reads, advances past
// what the text placement reads) and requests that are legal but draw
// nothing or not what was probably meant (a one-point polyline, an inverted
// clip rectangle, points far off the page, a face GDI substitutes). Not parse
// errors, but worth a word: a driver that sends them probably meant
// something else.
#ifndef QUILLREC_REQUEST_WARNINGS_H
#define QUILLREC_REQUEST_WARNINGS_H

#include <string>
#include <vector>

#include <windows.h>

#include "job_parser.h"

// The page a request draws on, in logical units (the reference device's
// pixels); 0 when not known.
struct PageExtent {
    int32_t width = 0;
    int32_t height = 0;
};

// One message per thing worth a word, empty when there is none. font is the
// request's font record (text requests only).
std::vector<std::string> RequestWarnings(const job::Request &request, const LOGFONTA *font, const PageExtent &page);

// The face GDI realizes for a font whose face it does not have, or "" when
// it has the face asked for (or none was named).
std::string SubstitutedFace(const LOGFONTA &font);

#endif
