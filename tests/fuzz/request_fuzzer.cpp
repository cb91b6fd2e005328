// libFuzzer target: an input becomes a sequence of requests on one recording
// surface, sent through the exports against the GDI test double, with GDI and
// memory failures injected on the way. After every request the double's
// ledger must be clean: every object the library created is deleted exactly
// once (or is held by the caller, handed out by a scan bracket), nothing is
// deleted while selected, no stock object is deleted, every block is unlocked
// and freed. Any finding aborts with the problem, the request and the calls.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "failure_plans.h"
#include "gdi_double.h"
#include "platform.h"
#include "quillrec.h"
#include "request_maker.h"
#include "requestmodel/quillrec_calls.h"

namespace {

const int kMaxRequestsPerInput = 200;

uint64_t g_requests = 0;
uint64_t g_inputs = 0;
std::chrono::steady_clock::time_point g_started;

void PrintTotals()
{
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - g_started).count();
    std::fprintf(stderr, "quillrec fuzz: %llu requests (export calls) in %llu inputs, %.1f s\n",
                 (unsigned long long)g_requests, (unsigned long long)g_inputs, seconds);
}

[[noreturn]] void Fail(const std::string &problem, const std::string &request)
{
    std::fprintf(stderr, "\n=== quillrec fuzz finding ===\n%s\nrequest: %s\ncalls of that request:\n%s\n",
                 problem.c_str(), request.c_str(), GdiDoubleDump().c_str());
    std::abort();
}

void PlanFailures(RequestBytes &bytes, RequestKind kind)
{
    failure_plans::Plan(bytes, kind);
}

bool IsOneOf(const void *handle, const std::set<HGDIOBJ> &held)
{
    return held.count((HGDIOBJ)handle) != 0;
}

// The ledger between requests: only the caller's handed-out objects may be
// alive; no block may be held; nothing may have been misused.
void CheckLedger(const RecordingCaller &caller, const std::string &request)
{
    std::vector<std::string> misuse = GdiDoubleMisuseProblems();
    if (!misuse.empty()) {
        Fail("misuse: " + misuse.front(), request);
    }
    std::set<HGDIOBJ> held;
    for (Handle32 handle : caller.HeldObjects()) {
        held.insert((HGDIOBJ)HandleFrom32(handle));
        const GdiObjectInfo *object = GdiDoubleObject(HandleFrom32(handle));
        if (object == nullptr || object->stock || !object->live()) {
            Fail("a handed-out object " + GdiDoubleHandleName(HandleFrom32(handle)) +
                     " is not a live created object while the caller still holds it",
                 request);
        }
    }
    const GdiKind kinds[] = {GdiKind::Pen,    GdiKind::ExtPen, GdiKind::Brush,
                             GdiKind::Bitmap, GdiKind::Font,   GdiKind::MemoryDc};
    for (GdiKind kind : kinds) {
        for (const GdiObjectInfo *object : GdiDoubleObjectsOf(kind)) {
            if (object->live() && !IsOneOf(object->handle, held)) {
                Fail(GdiDoubleHandleName(object->handle) + " (" + object->creator + ") outlived its request", request);
            }
        }
    }
    for (const GdiBlockInfo *block : GdiDoubleBlocks()) {
        if (block->freeCount != 1 || block->lockCount != 0) {
            Fail("global block of " + std::to_string(block->size) + " bytes left locked or not freed", request);
        }
    }
    if (caller.IsOpen()) {
        // Surfaces of earlier spool files are closed, their metafiles released,
        // and every reference context is gone.
        HDC surface = (HDC)HandleFrom32(caller.Surface());
        const GdiKind surfaces[] = {GdiKind::ReferenceDc, GdiKind::MetafileDc, GdiKind::EnhMetafile};
        for (GdiKind kind : surfaces) {
            for (const GdiObjectInfo *object : GdiDoubleObjectsOf(kind)) {
                if (object->live() && object->handle != surface) {
                    Fail(GdiDoubleHandleName(object->handle) + " (" + object->creator + ") was not released", request);
                }
            }
        }
    }
}

// TextOut32 answers -1 exactly when the font could not be made.
void CheckText(const SentRequest &sent)
{
    const GdiCall *font = GdiDoubleLastCall("CreateFontIndirectA");
    if (font == nullptr) {
        if (sent.result != 0) {
            Fail("TextOut32 failed without trying to make a font", sent.text);
        }
        return;
    }
    int32_t expected = font->result == 0 ? -1 : 0;
    if (sent.result != expected) {
        Fail("TextOut32 returned " + std::to_string(sent.result) + " where font creation gave " +
                 std::to_string(font->result),
             sent.text);
    }
}

} // namespace

// Allocation stacks two frames deep and a smaller quarantine: the double
// allocates for every call it logs, and full stacks cost most of the run.
// Overreads are still reported where they happen.
extern "C" const char *__asan_default_options()
{
    return "malloc_context_size=2:quarantine_size_mb=64";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_started = std::chrono::steady_clock::now();
    std::atexit(PrintTotals);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ++g_inputs;
    GdiDoubleReset();
    RequestBytes bytes(data, size);
    static const UINT kCodePages[] = {1252, 1252, 932, 936, 949, 950, 1361};
    GdiDoubleSetACP(kCodePages[bytes.Below(7)]);
    RecordingCaller caller(LinkedQuillrecCalls(), false);
    const char *device = "QUILLREC Printer";

    if (bytes.OneIn(16)) {
        PlanFailures(bytes, RequestKind::Reopen);
    }
    caller.Open(bytes, device);
    GdiDoubleClearFailures();
    g_requests += 2;
    CheckLedger(caller, "opening");
    int sent = 0;
    while (caller.IsOpen() && !bytes.Exhausted() && sent < kMaxRequestsPerInput) {
        RequestKind kind = caller.ChooseKind(bytes, true);
        PlanFailures(bytes, kind);
        GdiDoubleClearLog();
        SentRequest request = caller.Send(kind, bytes, device);
        GdiDoubleClearFailures();
        ++sent;
        if (!request.problem.empty()) {
            Fail(request.problem, request.text);
        }
        if (kind == RequestKind::Text) {
            CheckText(request);
        }
        CheckLedger(caller, request.text);
    }
    while (caller.IsOpen() && caller.HoldsBrackets()) {
        GdiDoubleClearLog();
        SentRequest request = caller.Send(RequestKind::Release, bytes, device);
        if (!request.problem.empty()) {
            Fail(request.problem, request.text);
        }
        CheckLedger(caller, request.text);
    }
    caller.Close();
    g_requests += caller.ExportCalls() - 2;
    std::vector<std::string> problems = GdiDoubleProblems(GdiLedgerScope::Everything);
    if (!problems.empty()) {
        Fail("after closing: " + problems.front(), "CloseEmfFile32");
    }
    return 0;
}
