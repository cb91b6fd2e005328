// Order rules of a job's requests: pages open and close around the other
// requests, a scan bracket (beginscan, endscan) pairs with the releases of
// the objects it hands out, and what may follow a close. A state record and
// one procedure per arriving request; each answers "" when the request may
// come here, else why not, and changes the state only when it may.
#ifndef QUILLREC_JOB_ORDER_H
#define QUILLREC_JOB_ORDER_H

#include <stdint.h>

#include <string>

#include "job_parser.h"
#include "jobformat/job_grammar.h"

namespace job {

struct PageOrder {
    bool inPage = false;
    bool bracketOpen = false;
    int bracketLine = 0;
    bool held[3] = {false, false, false}; // pen, brush, pattern of a scan bracket
};

// A request line `word` (keyword `id`) starts: only a page may stand outside one.
std::string OrderOnRequestLine(const PageOrder &order, grammar::KeywordId id, const std::string &word);

// A page line while a page is open ends that page first, as the driver does.
bool OrderPageEndsFirst(const PageOrder &order, grammar::KeywordId id);

void OrderOnPage(PageOrder *order);

// An output request of `style` on `line`; for endscan, whether it releases
// the bracket's objects itself.
std::string OrderOnOutput(PageOrder *order, uint16_t style, bool autoRelease, int line);

// `delete pen|brush|pattern|scan`: only what a bracket still holds.
std::string OrderOnDelete(PageOrder *order, Release release);

// A page closes: by a close line, by the next page, or at the end of the job
// (atEnd), where an open bracket is let be.
std::string OrderOnClose(PageOrder *order, bool atEnd);

} // namespace job

#endif
