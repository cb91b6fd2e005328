// Order rules of a job's requests: pages around requests, scan brackets and
// the releases of what they hand out.
#include "job_order.h"

#include "quillrec.h"

namespace job {

std::string OrderOnRequestLine(const PageOrder &order, grammar::KeywordId id, const std::string &word)
{
    if (id != grammar::KEYWORD_PAGE && !order.inPage) {
        return "'" + word + "' outside a page; expected a 'page' line first";
    }
    return "";
}

bool OrderPageEndsFirst(const PageOrder &order, grammar::KeywordId id)
{
    return id == grammar::KEYWORD_PAGE && order.inPage;
}

void OrderOnPage(PageOrder *order)
{
    order->inPage = true;
}

// The scan bracket: the objects it hands out must be released before
// another bracket takes their place, or they leak.
std::string OrderOnOutput(PageOrder *order, uint16_t style, bool autoRelease, int line)
{
    bool *held = order->held;
    if (style == OUT_BEGINSCAN) {
        if (order->bracketOpen) {
            return "a scan bracket is already open (line " + std::to_string(order->bracketLine) +
                   "); expected 'output endscan' first";
        }
        if (held[0] || held[1] || held[2]) {
            return "the scan bracket of line " + std::to_string(order->bracketLine) +
                   " still holds its objects; expected 'delete scan' first";
        }
        order->bracketOpen = true;
        order->bracketLine = line;
        held[0] = held[1] = held[2] = true;
    } else if (style == OUT_ENDSCAN) {
        order->bracketOpen = false;
        if (autoRelease) {
            held[0] = held[1] = held[2] = false;
        }
    }
    return "";
}

std::string OrderOnDelete(PageOrder *order, Release release)
{
    const int what = (int)release;
    bool *held = order->held;
    const bool any = held[0] || held[1] || held[2];
    if (what < 3 ? !held[what] : !any) {
        return std::string("no scan bracket holds a ") + grammar::SET_RELEASES.constants[what].name +
               " to release; expected 'output beginscan' and 'output endscan release=manual' before it";
    }
    for (int i = 0; i < 3; ++i) {
        held[i] = held[i] && what < 3 && i != what;
    }
    return "";
}

// Objects a bracket still holds are released by the simulator before it
// closes, as a driver's end-of-page would; an open bracket must end first,
// except at the end of the job, where the simulator ends the page as it is.
std::string OrderOnClose(PageOrder *order, bool atEnd)
{
    if (order->bracketOpen && !atEnd) {
        return "the scan bracket of line " + std::to_string(order->bracketLine) +
               " is still open; expected 'output endscan' before the page ends";
    }
    order->held[0] = order->held[1] = order->held[2] = false;
    order->inPage = false;
    return "";
}

} // namespace job
