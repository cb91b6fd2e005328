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

// A capture (capture set) takes every order the DLL takes: its pages stay
// open at once, and its requests name the page line they draw on.
struct PageOrder {
    bool capture = false;
    int pageLines = 0; // page lines so far: the latest is where a request draws unless it names one
    bool inPage = false;
    bool bracketOpen = false;
    int bracketLine = 0;
    bool held[3] = {false, false, false}; // pen, brush, pattern of a scan bracket
};

// A request line `word` (keyword `id`) starts: only a page may stand outside one.
std::string OrderOnRequestLine(const PageOrder &order, grammar::KeywordId id, const std::string &word);

// A page line while a page is open ends that page first, as the driver does.
bool OrderPageEndsFirst(const PageOrder &order, grammar::KeywordId id);

// A page line opens; its number among the page lines.
int OrderOnPage(PageOrder *order);

// An output request of `style` on `line`; for endscan, whether it releases
// the bracket's objects itself.
std::string OrderOnOutput(PageOrder *order, uint16_t style, bool autoRelease, int line);

// `delete pen|brush|pattern|scan`: only what a bracket still holds; `raw`
// gives back the handles it names, whatever is held.
std::string OrderOnDelete(PageOrder *order, Release release);

// A page closes: by a close line, by the next page, or at the end of the job
// (atEnd), where an open bracket is let be.
std::string OrderOnClose(PageOrder *order, bool atEnd);

} // namespace job

#endif
