// The call-order half of a capture: which surface each request draws on,
// the result line written after each call, what a scan bracket handed out,
// and the deletes that give it back. Every capture replays in the order the
// calls came, whatever order that was: surfaces are named by the page line
// that opened them, and a delete no bracket explains names its raw handles.
#include "capture/writer.h"

// A surface the driver opened: the page line that did it, and what its last
// scan bracket handed out and which pairs came back. Drivers keep a page or
// two open at once; past kSurfaces the oldest record is reused.
typedef struct SurfaceRecord {
    Handle32 handle;
    uint32_t page;
    ObjectSlots handedOut;
    uint8_t released[3];
} SurfaceRecord;

enum { kSurfaces = 16 };
static SurfaceRecord surfaces[kSurfaces];
static uint32_t surfacesMade;
static uint32_t pagesWritten;    // page lines so far: the latest is the one a request names by default
static uint32_t requestsWritten; // request lines so far: a result line names one by this number
static uint32_t callsWritten;    // call lines so far: the line answering one names it by this number

// The newest record of a surface handle, or NULL for one no page opened.
static SurfaceRecord *FindSurface(Handle32 handle)
{
    uint32_t oldest = surfacesMade > kSurfaces ? surfacesMade - kSurfaces : 0;
    for (uint32_t i = surfacesMade; i > oldest; --i) {
        SurfaceRecord *record = &surfaces[(i - 1) % kSurfaces];
        if (record->handle == handle) {
            return record;
        }
    }
    return NULL;
}

void CaptureFileStarted(void)
{
    surfacesMade = pagesWritten = requestsWritten = callsWritten = 0;
    ForgetSettings();
    ForgetBitmaps();
}

static uint32_t Ended(void)
{
    PutChar('\n');
    return ++requestsWritten;
}

uint32_t CaptureRequestEnd(Handle32 surface)
{
    const SurfaceRecord *record = FindSurface(surface);
    uint32_t page = record != NULL ? record->page : 0;
    if (page != pagesWritten) {
        PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_SURFACE, page);
    }
    return Ended();
}

uint32_t CaptureCallEnd(void)
{
    PutChar('\n');
    return ++callsWritten;
}

void CaptureAnswersCall(grammar::KeywordId keyword, uint32_t call)
{
    if (call != 0 && call != callsWritten) {
        PutField(keyword, grammar::FIELD_CALL_OF, call);
    }
}

uint32_t CapturePageEnd(uint32_t *page)
{
    *page = ++pagesWritten;
    return Ended();
}

// result N, and of=K when another thread's request came between the call
// and its answer.
static void PutResult(uint32_t request, int32_t result)
{
    PutKeyword(grammar::KEYWORD_RESULT);
    PutChar(' ');
    PutDecimal(result);
    if (request != requestsWritten) {
        PutField(grammar::KEYWORD_RESULT, grammar::FIELD_RESULT_OF, request);
    }
}

void CaptureResult(uint32_t request, int32_t result)
{
    PutResult(request, result);
    PutChar('\n');
}

void CaptureSurfaceOpened(uint32_t request, uint32_t page, int32_t result, Handle32 surface)
{
    CaptureResult(request, result);
    if (result != 0) {
        return;
    }
    SurfaceRecord *record = &surfaces[surfacesMade++ % kSurfaces];
    SurfaceRecord opened = {surface, page, {0, 0, 0, 0, 0}, {1, 1, 1}}; // nothing is held before a bracket
    *record = opened;
    Put("; surface ");
    PutHex(surface);
    PutChar('\n');
}

// The bracket's handles go on its result line: the replay hands out its own
// and maps the capture's to them, for deletes that name handles raw.
void CaptureHandedOut(uint32_t request, int32_t result, Handle32 surface, const ObjectSlots *slots)
{
    PutResult(request, result);
    const grammar::Field fields[5] = {grammar::FIELD_HANDED_PEN, grammar::FIELD_HANDED_OLD_PEN,
                                      grammar::FIELD_HANDED_BRUSH, grammar::FIELD_HANDED_OLD_BRUSH,
                                      grammar::FIELD_HANDED_PATTERN};
    const Handle32 values[5] = {slots->pen, slots->oldPen, slots->brush, slots->oldBrush, slots->patternBitmap};
    for (int i = 0; i < 5; ++i) {
        PutField(grammar::KEYWORD_RESULT, fields[i], values[i]);
    }
    PutChar('\n');
    SurfaceRecord *record = FindSurface(surface);
    if (record != NULL) {
        record->handedOut = *slots;
        record->released[0] = record->released[1] = record->released[2] = 0;
    }
}

// The pair the driver gives back: by its name when the surface's last bracket
// handed it out and it was not given back yet, else as the raw handles.
void CaptureDelete(Handle32 surface, Handle32 object, Handle32 selectBack)
{
    SurfaceRecord *record = FindSurface(surface);
    const grammar::Release names[3] = {grammar::RELEASE_PEN, grammar::RELEASE_BRUSH, grammar::RELEASE_PATTERN};
    grammar::Release release = grammar::RELEASE_RAW;
    for (int i = 0; i < 3 && record != NULL && release == grammar::RELEASE_RAW; ++i) {
        const ObjectSlots *out = &record->handedOut;
        // an empty pair (a bracket without a brush) is given back with its zeros
        const Handle32 pairs[3][2] = {{out->pen, out->oldPen}, {out->brush, out->oldBrush}, {out->patternBitmap, 0}};
        if (!record->released[i] && pairs[i][0] == object && pairs[i][1] == selectBack) {
            record->released[i] = 1;
            release = names[i];
        }
    }
    PutKeyword(grammar::KEYWORD_DELETE);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_RELEASES, release));
    if (release == grammar::RELEASE_RAW) {
        PutField(grammar::KEYWORD_DELETE, grammar::FIELD_DELETE_OBJECT, object);
        PutField(grammar::KEYWORD_DELETE, grammar::FIELD_DELETE_SELECT_BACK, selectBack);
    }
}

void CaptureClose(void)
{
    PutKeyword(grammar::KEYWORD_CLOSE);
}

// The page line makes its own spool file name, so the name is a comment;
// the result line answers the path's call line, named always, as a result
// line without call= answers a request.
void CaptureGetEmfFilePath32(const char *buffer, int32_t result, uint32_t call)
{
    if (result == 0) {
        Put("; GetEmfFilePath32 gave ");
        PutQuoted(buffer, StringLength(buffer, MAX_PATH));
        PutChar('\n');
    }
    PutKeyword(grammar::KEYWORD_RESULT);
    PutChar(' ');
    PutDecimal(result);
    PutField(grammar::KEYWORD_RESULT, grammar::FIELD_CALL_OF, call);
    PutChar('\n');
}
