// A line's records join the job: the checks across the fields of one line
// (a brush and its pattern, an output style and its points, a text and its
// advances) made when the line ends.
#include "job_finish.h"

#include "job_bitmaps.h"
#include "job_fields.h"
#include "job_files.h"
#include "job_order.h"
#include "job_values.h"
#include "quillrec.h"
#include "requestmodel/output_styles.h"

namespace job {
namespace parse {

namespace {

// A pattern brush names its bitmap, or none for a driver's null pointer;
// BS_DIBPATTERNPT (6) names a dib bitmap the same way.
bool FinishBrush(Parser &p, const BrushSetting &brush)
{
    const bool patterned = brush.bitmap >= 0 || brush.nullPattern;
    const bool dibBitmap = brush.bitmap >= 0 && p.job->bitmaps[brush.bitmap].raw == BitmapSetting::Raw::Dib;
    const bool dibPattern = brush.style == BS_DIBPATTERNPT && (brush.nullPattern || dibBitmap);
    if (!dibPattern && (brush.style == BS_PATTERN) != patterned) {
        return Fail(p, !patterned ? "a BS_PATTERN brush needs pattern=BITMAP"
                                  : "pattern= is for style=pattern brushes, or style=6 with a dib bitmap, only");
    }
    return Add(&p.job->brushes, brush);
}

// The points a poly-polygon's counts add up to. A negative count, or one
// that takes the total past 32 bits, makes the DLL refuse the request before
// it reads a point (*refused).
int64_t CountsTotal(const std::vector<int32_t> &counts, bool *refused)
{
    int64_t total = 0;
    for (int32_t one : counts) {
        total += one > 0 ? one : 0;
        *refused = *refused || one < 0 || total > (int64_t)UINT32_MAX;
    }
    return total;
}

// points16=: as many points as the line's count, counts= or style reads
// (else the rest of the file), taken as if written on the line.
bool TakeRawPoints(Parser &p, LineRecord *record)
{
    const OutputStyle *style = FindOutputStyle(record->request.style);
    const uint8_t reads = style != nullptr ? style->reads : (uint8_t)OUT_READS_NOTHING;
    if (!record->rawGiven) {
        return Fail(p, "at= goes with points16=");
    }
    if (!record->polygon.empty() || !record->request.points.empty()) {
        return Fail(p, "give the points on the line or with points16=, not both");
    }
    if (reads == OUT_READS_NOTHING || (reads == OUT_READS_POLYGONS && !record->countsGiven)) {
        return Fail(p, reads == OUT_READS_NOTHING ? "points16= is for styles that read points"
                                                  : "points16= needs counts= with a poly-polygon style");
    }
    bool refused = false;
    int64_t count = -1;
    if (reads == OUT_READS_POLYGONS) {
        count = CountsTotal(record->explicitCounts, &refused);
        count = refused ? 0 : count;
    } else if (reads == OUT_READS_FIXED || record->countGiven) {
        count = OutputPointsRead(style, (uint16_t)record->count);
    }
    return RawPointFile(p, record->rawFile, record->rawAt, count, &record->polygon);
}

// counts=: the driver's counts, empty and refused ones included, over points
// that run on without '|'.
bool TakeCounts(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (!request.polygonCounts.empty()) {
        return Fail(p, "give a poly-polygon's polygons with '|' or with counts=, not both");
    }
    bool refused = false;
    const int64_t total = CountsTotal(record->explicitCounts, &refused);
    if (!refused && (size_t)total > record->polygon.size()) {
        return Fail(p, "counts= adds up to " + std::to_string(total) + " points; " +
                           std::to_string(record->polygon.size()) + " given");
    }
    request.polygonCounts = record->explicitCounts;
    request.points = record->polygon;
    return true;
}

// An output request joins the job when the scan-bracket rules allow it here.
bool FinishBracket(Parser &p, const Request &request)
{
    const std::string problem = OrderOnOutput(&p.order, request.style, request.autoRelease, p.line);
    return problem.empty() ? Add(&p.job->requests, request) : Fail(p, problem);
}

// How many points each style reads: fewer would let the library read past
// the driver's array.
bool FinishOutput(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    const OutputStyle *style = FindOutputStyle(request.style);
    const bool polyPolygon = style != nullptr && style->reads == OUT_READS_POLYGONS;
    if ((record->rawGiven || record->rawAtGiven) && !TakeRawPoints(p, record)) {
        return false;
    }
    if (record->countsGiven) {
        if (!polyPolygon || !TakeCounts(p, record)) {
            return Fail(p, "counts= is for the poly-polygon styles"); // unless TakeCounts said why
        }
    } else if (polyPolygon && !record->polygon.empty()) {
        EndPolygon(p, record);
    } else if (!polyPolygon) {
        request.points = record->polygon;
    }
    if (polyPolygon && request.polygonCounts.empty() && !record->countsGiven) {
        return Fail(p, "expected the points of at least one polygon, polygons separated by '|'");
    }
    const size_t natural = polyPolygon ? request.polygonCounts.size() : request.points.size();
    const std::string name = style != nullptr ? Lower(style->name + 4) : "";
    if (style != nullptr && style->reads == OUT_READS_NOTHING && !request.points.empty()) {
        return Fail(p, name + " takes no points");
    }
    if (style != nullptr && style->reads == OUT_READS_FIXED && request.points.size() < style->points) {
        return Fail(p, "style " + name + " reads " + std::to_string(style->points) + " points; expected " +
                           std::to_string(style->points) + " 'x,y' points, found " +
                           std::to_string(request.points.size()));
    }
    if (natural > 0xFFFF) {
        return Fail(p, "the count is 16 bits; " + std::to_string(natural) + " points do not fit");
    }
    const bool counted = style != nullptr && (style->reads == OUT_READS_COUNT || polyPolygon);
    const size_t wanted = polyPolygon ? (size_t)record->count : OutputPointsRead(style, (uint16_t)record->count);
    if (record->countGiven && counted && wanted > natural) {
        return Fail(p, "count=" + std::to_string(record->count) + " is more than the " + std::to_string(natural) +
                           (polyPolygon ? " polygons" : " points") + " given");
    }
    request.count = (uint16_t)(record->countGiven ? record->count : (int64_t)natural);
    return FinishBracket(p, request);
}

bool FinishText(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (record->hasString == record->hasGlyphs) {
        return Fail(p, record->hasString ? "give a text either a \"string\" or glyphs=, not both"
                                         : "expected a \"string\" (or glyphs=) after the reference point");
    }
    if (record->uniform && request.hasAdvances) {
        return Fail(p, "give either advances= or advance=, not both");
    }
    if (record->hasGlyphs) {
        request.options |= ETO_GLYPH_INDEX;
    } else if (request.options & ETO_GLYPH_INDEX) {
        return Fail(p, "ETO_GLYPH_INDEX needs glyphs=, not a string");
    }
    const size_t units = record->hasGlyphs ? request.glyphs.size() : request.bytes.size();
    if (record->uniform) {
        request.advances.assign(units, record->uniformAdvance);
        request.hasAdvances = true;
    }
    // glyphs with ETO_PDY: GDI reads an x and a y advance a glyph, which a
    // capture gives; one a glyph is padded with zeros when replayed
    const bool pairs = record->hasGlyphs && (request.options & ETO_PDY) != 0;
    if (request.hasAdvances && request.advances.size() != units && !(pairs && request.advances.size() == 2 * units)) {
        return Fail(p, "expected one advance per " + std::string(record->hasGlyphs ? "glyph" : "byte") + " (" +
                           std::to_string(units) + ")" + (pairs ? " or two with ETO_PDY" : "") + ", found " +
                           std::to_string(request.advances.size()));
    }
    if (request.drawMode < 0) {
        request.drawMode = 0; // text needs a draw mode; the built-in one stands in
    }
    return Add(&p.job->requests, request);
}

bool Delete(Parser &p, const Request &request)
{
    const std::string problem = OrderOnDelete(&p.order, request.release);
    return problem.empty() ? Add(&p.job->requests, request) : Fail(p, problem);
}

} // namespace

bool Close(Parser &p, bool atEnd)
{
    const std::string problem = OrderOnClose(&p.order, atEnd);
    return problem.empty() ? Add(&p.job->requests, Begin(p, Kind::Close)) : Fail(p, problem);
}

// `call KIND ...`: a call the real DLL was handed, remembered until a line
// written after the call answers it.
static bool Call(Parser &p, const LineRecord &record)
{
    if (!p.order.capture) {
        return Fail(p, "call lines belong to captures: the capture DLL writes one before a call whose reads "
                       "depend on how far the call gets");
    }
    p.calls.push_back(CallLine{p.line, record.callKind, false});
    return true;
}

// A capture's text or page line, or a path's result line, answers the call
// line written before the call: the latest, or the K-th (call=K) when another
// thread's call came between. Without call=, a line answers nothing when the
// latest call line is another's (captures written before call lines).
static bool AnswerCall(Parser &p, const LineRecord &record, grammar::CallKind kind)
{
    const size_t calls = p.calls.size();
    if (!record.callOfGiven && (calls == 0 || p.calls.back().answered || p.calls.back().kind != kind)) {
        return true;
    }
    const int64_t of = record.callOfGiven ? record.callOf : (int64_t)calls;
    if (of < 1 || of > (int64_t)calls) {
        return Fail(p, "call= names a call line before it; " +
                           (calls == 0 ? std::string("there is none") : "call= is 1 to " + std::to_string(calls)));
    }
    CallLine &call = p.calls[of - 1];
    if (call.answered || call.kind != kind) {
        return Fail(p, "call= names call line " + std::to_string(of) + " (line " + std::to_string(call.line) + "), " +
                           (call.answered ? std::string("answered already")
                                          : std::string("a call of ") + grammar::ConstantName(grammar::SET_CALLS,
                                                                                                 call.kind)));
    }
    call.answered = true;
    return true;
}

// `result N [of=K]`: the answer to the last request line, or to the K-th
// when another thread's request came between the call and its answer;
// `result N call=K` answers a call line instead.
bool Answer(Parser &p, LineRecord *record)
{
    if (record->callOfGiven) {
        return AnswerCall(p, *record, grammar::CALL_PATH);
    }
    const size_t lines = p.requestLines.size();
    const int64_t of = record->resultOfGiven ? record->resultOf : (int64_t)lines;
    if (of < 1 || of > (int64_t)lines) {
        return Fail(p, "a result line answers a request line before it; " +
                           (lines == 0 ? std::string("there is none") : "of= is 1 to " + std::to_string(lines)));
    }
    Request &answered = p.job->requests[p.requestLines[of - 1]];
    answered.hasExpect = true;
    answered.expect = record->request.expect;
    answered.replay = true;
    answered.hasHanded = answered.hasHanded || record->request.hasHanded;
    for (int i = 0; record->request.hasHanded && i < 5; ++i) {
        answered.handed[i] = record->request.handed[i];
    }
    return true;
}

// clang-format off
bool Finish(Parser &p, const Keyword &keyword, LineRecord *record)
{
    Request &request = record->request;
    switch (keyword.id) {
    case grammar::KEYWORD_PEN: return Add(&p.job->pens, record->pen);
    case grammar::KEYWORD_DRAWMODE: return Add(&p.job->drawModes, record->mode);
    case grammar::KEYWORD_FONT: return Add(&p.job->fonts, record->font);
    case grammar::KEYWORD_BRUSH: return FinishBrush(p, record->brush);
    case grammar::KEYWORD_BITMAP: return FinishBitmap(p, record);
    case grammar::KEYWORD_SELECT:
        (record->selectKind == grammar::SETTING_PEN     ? p.pen
         : record->selectKind == grammar::SETTING_BRUSH ? p.brush
         : record->selectKind == grammar::SETTING_FONT  ? p.font
                                                        : p.drawMode) = record->selected;
        return true;
    case grammar::KEYWORD_PAGE:
        if (request.hasSize && request.hasFrame) {
            return Fail(p, "give a page either size= or frame=, not both");
        }
        ++p.job->pages;
        request.surface = OrderOnPage(&p.order);
        return AnswerCall(p, *record, grammar::CALL_PAGE) && Add(&p.job->requests, request);
    case grammar::KEYWORD_OUTPUT: return FinishOutput(p, record);
    case grammar::KEYWORD_TEXT: return AnswerCall(p, *record, grammar::CALL_TEXT) && FinishText(p, record);
    case grammar::KEYWORD_DELETE: return Delete(p, request);
    case grammar::KEYWORD_CLOSE: return p.order.capture ? Add(&p.job->requests, request) : Close(p, false);
    case grammar::KEYWORD_RESULT: return Answer(p, record);
    case grammar::KEYWORD_CALL: return Call(p, *record);
    default: return Add(&p.job->requests, request);
    }
}
// clang-format on

} // namespace parse
} // namespace job
