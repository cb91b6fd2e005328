// Soak on real GDI: sends a long run of mixed requests through the DLL's
// exports, as the driver's thunk does, on one recording surface at a time,
// closing the spool file and opening a new one every so many requests as a
// spooler would, and deleting each finished file. Afterwards the process must
// still be able to create GDI objects, and the last spool file must be
// complete and readable by GDI.
//
//   quillrec_soak.exe [requests=1000000] [requests-per-file=10000] [seed=1]
// With QUILLREC_SOAK_TRACE set, every request is written to stderr first; with
// QUILLREC_SOAK_CHECK_HEAP set, the process heap is validated after each one.
// QUILLREC_SOAK_DLL names the DLL to drive (default: QUILLREC.dll next to the
// program; the capture DLL for a capture of the mix), and QUILLREC_SOAK_KEEP a
// folder where each finished spool file is kept as soak-page<N>.emf.
//
// QUILLREC_SOAK_THREADS=N sends the requests from N threads at once, each on
// a recording surface of its own, with seeds seed..seed+N-1, and keeps each
// spool file as soak-<its name>.emf (the capture's page lines name them).
// QUILLREC_SOAK_CRASH ends the run with a request the process dies inside:
// =scan (or any other value) a beginscan whose out-argument is a bad pointer,
// which the DLL writes to; =text a text whose string is one, which the DLL
// reads once its font is made; =page a page whose surface variable is one.
//
// Prints the GDI object count before and after (GetGuiResources; 0 where the
// platform does not count), the time taken and the record count of the last
// file. Exit code 0 when the run was clean.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "emf_records.h"
#include "quillrec_exports.h"
#include "request_maker.h"

namespace {

DWORD GdiObjectCount()
{
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

// Where GetGuiResources does not count, the room left in the GDI handle
// table shows leaks instead: pens are created until GDI refuses one (the
// per-process limit), then deleted. Every object the run left alive is one
// pen fewer.
size_t GdiRoomLeft()
{
    std::vector<HGDIOBJ> pens;
    while (pens.size() < 200000) {
        HGDIOBJ pen = CreatePen(PS_SOLID, 1, 0);
        if (pen == nullptr) {
            break;
        }
        pens.push_back(pen);
    }
    for (HGDIOBJ pen : pens) {
        DeleteObject(pen);
    }
    return pens.size();
}

// Creates and deletes `count` pens and brushes; false when GDI refused one.
bool CanStillCreateObjects(int count)
{
    std::vector<HGDIOBJ> made;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        HGDIOBJ pen = CreatePen(PS_SOLID, 1 + i % 7, RGB(i, 0, 0));
        HGDIOBJ brush = CreateSolidBrush(RGB(0, i, 0));
        ok = pen != nullptr && brush != nullptr;
        if (pen != nullptr)
            made.push_back(pen);
        if (brush != nullptr)
            made.push_back(brush);
    }
    HDC memory = CreateCompatibleDC(nullptr);
    ok = ok && memory != nullptr;
    if (memory != nullptr)
        DeleteDC(memory);
    for (HGDIOBJ object : made) {
        DeleteObject(object);
    }
    return ok;
}

// The file is a whole enhanced metafile: GDI opens it, its header counts the
// records GDI enumerates, and they run from EMR_HEADER to EMR_EOF.
bool SpoolFileIsComplete(const char *path, size_t *records, std::string *why)
{
    HENHMETAFILE metafile = GetEnhMetaFileA(path);
    if (metafile == nullptr) {
        *why = "GetEnhMetaFile could not open it";
        return false;
    }
    ENHMETAHEADER header = {};
    UINT got = GetEnhMetaFileHeader(metafile, sizeof header, &header);
    DeleteEnhMetaFile(metafile);
    std::vector<EmfRecord> read = ReadEmfRecords(path);
    *records = read.size();
    if (got == 0 || read.empty()) {
        *why = "no header or no records";
        return false;
    }
    if (read.front().type != EMR_HEADER || read.back().type != EMR_EOF) {
        *why = "records do not run from EMR_HEADER to EMR_EOF";
        return false;
    }
    if (header.nRecords != read.size()) {
        *why = "the header counts " + std::to_string(header.nRecords) + " records, EnumEnhMetaFile gave " +
               std::to_string(read.size());
        return false;
    }
    return true;
}

// A spool file the run is done with: copied to the keep folder if asked,
// then deleted.
void RetireSpoolFile(const char *folder, const std::string &path, uint64_t page)
{
    if (folder != nullptr) {
        std::string kept = std::string(folder) + "\\soak-page" + std::to_string(page) + ".emf";
        CopyFileA(path.c_str(), kept.c_str(), FALSE);
    }
    DeleteFileA(path.c_str());
}

const char *const kDevice = "DISPLAY";

// The command line and the environment (see the top of this file).
struct SoakOptions {
    uint64_t total;
    uint64_t perFile;
    uint64_t seed;
    const char *dllPath;
    const char *keep;
    bool trace;
    bool checkHeap;   // validating the heap after every request finds the one that overran a block
    const char *only; // "Output32,Dib32": other kinds of request become clip requests
    int threads;
    const char *crash;
};

SoakOptions ReadOptions(int argc, char **argv)
{
    SoakOptions options;
    options.total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    options.perFile = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    options.seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (options.perFile == 0)
        options.perFile = 10000;
    options.dllPath = std::getenv("QUILLREC_SOAK_DLL");
    options.keep = std::getenv("QUILLREC_SOAK_KEEP");
    options.trace = std::getenv("QUILLREC_SOAK_TRACE") != nullptr;
    options.checkHeap = std::getenv("QUILLREC_SOAK_CHECK_HEAP") != nullptr;
    options.only = std::getenv("QUILLREC_SOAK_ONLY");
    const char *threads = std::getenv("QUILLREC_SOAK_THREADS");
    options.threads = threads != nullptr ? std::max(1, std::atoi(threads)) : 0;
    options.crash = std::getenv("QUILLREC_SOAK_CRASH");
    return options;
}

struct GdiState {
    DWORD count;
    size_t room;
};

// What the run did, for the report.
struct SoakRun {
    int problems = 0;
    uint64_t files = 0;
    uint64_t failedOpens = 0;
    std::string previous; // the last spool file opened
    double seconds = 0;
};

// Closes the open spool file as a spooler would, its brackets released first.
void CloseSpoolFile(RecordingCaller &caller, RequestBytes &bytes)
{
    while (caller.IsOpen() && caller.HoldsBrackets()) {
        caller.Send(RequestKind::Release, bytes, kDevice);
    }
    caller.Close();
}

// Ends the open spool file: closed, kept if asked and deleted.
void EndSpoolFile(RecordingCaller &caller, RequestBytes &bytes, const SoakOptions &options, const SoakRun &run)
{
    CloseSpoolFile(caller, bytes);
    if (!run.previous.empty()) {
        RetireSpoolFile(options.keep, run.previous, run.files);
    }
}

// One request of a chosen kind; false when it damaged the heap.
bool SendOne(RecordingCaller &caller, RequestBytes &bytes, const SoakOptions &options, SoakRun *run)
{
    RequestKind kind = caller.ChooseKind(bytes, false);
    if (options.only != nullptr && kind != RequestKind::Release &&
        std::strstr(options.only, RequestKindName(kind)) == nullptr) {
        kind = RequestKind::Clip;
    }
    SentRequest sent = caller.Send(kind, bytes, kDevice);
    if (options.checkHeap && !HeapValidate(GetProcessHeap(), 0, nullptr)) {
        std::fprintf(stderr, "soak: the process heap is damaged after request %llu: %s\n",
                     (unsigned long long)caller.ExportCalls(), sent.text.c_str());
        return false;
    }
    if (!sent.problem.empty() && ++run->problems <= 10) {
        std::fprintf(stderr, "soak: %s\n  request: %s\n", sent.problem.c_str(), sent.text.c_str());
    }
    return true;
}

// Sends requests until the export calls reach the total, with a new spool
// file every so many; false when the run had to stop.
bool SendRequests(RecordingCaller &caller, RequestBytes &bytes, const SoakOptions &options, SoakRun *run)
{
    uint64_t sinceOpen = 0;
    while (caller.ExportCalls() < options.total) {
        if (!caller.IsOpen() || sinceOpen >= options.perFile) {
            EndSpoolFile(caller, bytes, options, *run);
            if (caller.Open(bytes, kDevice) != 0) {
                if (++run->failedOpens > 3) {
                    std::fprintf(stderr, "soak: GetEmfFileDC32 keeps failing\n");
                    return false;
                }
                continue;
            }
            run->previous = caller.SpoolName();
            ++run->files;
            sinceOpen = 0;
        }
        if (!SendOne(caller, bytes, options, run)) {
            return false;
        }
        ++sinceOpen;
    }
    return true;
}

// Checks the last spool file and what GDI has left, prints the figures, and
// answers the exit code.
int Report(const RecordingCaller &caller, const SoakRun &run, const SoakOptions &options, GdiState before,
           QuillrecExports *dll)
{
    size_t records = 0;
    std::string why;
    bool complete = SpoolFileIsComplete(run.previous.c_str(), &records, &why);
    RetireSpoolFile(options.keep, run.previous, run.files);
    GdiState after = {GdiObjectCount(), GdiRoomLeft()};
    bool creates = CanStillCreateObjects(10000);
    UnloadQuillrec(dll);

    std::printf("soak: %llu export calls in %.1f s (%.0f per second), %llu spool files\n",
                (unsigned long long)caller.ExportCalls(), run.seconds, caller.ExportCalls() / run.seconds,
                (unsigned long long)run.files);
    std::printf("soak: GDI objects after: %lu%s\n", (unsigned long)after.count,
                before.count == 0 && after.count == 0
                    ? " (GetGuiResources answers 0 here: the platform does not count them)"
                    : "");
    std::printf("soak: GDI objects that could still be made: %zu before, %zu after\n", before.room, after.room);
    std::printf("soak: last spool file %s: %zu records%s%s\n", run.previous.c_str(), records,
                complete ? ", complete" : ", INCOMPLETE: ", complete ? "" : why.c_str());
    std::printf("soak: 10000 pens and brushes created afterwards: %s\n", creates ? "yes" : "NO");
    std::printf("soak: problems in results: %d\n", run.problems);
    // Wine 8 itself keeps two GDI handles for every blit from a memory DC it
    // records (seen with plain BitBlt and StretchBlt, without this library);
    // only a loss beyond that counts against the library.
    uint64_t wineKeeps = 2 * caller.SourcelessRasters();
    std::printf("soak: Raster32 requests without source: %llu\n", (unsigned long long)caller.SourcelessRasters());
    bool leaked = (before.count != 0 && after.count > before.count + 16) || after.room + 16 + wineKeeps < before.room;
    if (leaked) {
        std::printf("soak: GDI objects were left alive (count %lu -> %lu, room %zu -> %zu)\n",
                    (unsigned long)before.count, (unsigned long)after.count, before.room, after.room);
    }
    return run.problems == 0 && complete && creates && !leaked ? 0 : 1;
}

// A thread's share of a threaded run: its own caller, seed and spool files.
struct Thread {
    const QuillrecExports *dll;
    const SoakOptions *options;
    uint64_t seed;
    SoakRun run;
    bool finished = false;
};

DWORD WINAPI ThreadMain(LPVOID parameter)
{
    Thread &thread = *static_cast<Thread *>(parameter);
    RecordingCaller caller(*thread.dll, true);
    RequestBytes bytes(thread.seed);
    SoakOptions options = *thread.options;
    options.keep = nullptr; // kept below, by the spool file's own name
    thread.finished = SendRequests(caller, bytes, options, &thread.run);
    CloseSpoolFile(caller, bytes);
    if (thread.options->keep != nullptr && !thread.run.previous.empty()) {
        const std::string &path = thread.run.previous;
        const std::string kept =
            std::string(thread.options->keep) + "\\soak-" + path.substr(path.find_last_of("\\/") + 1) + ".emf";
        CopyFileA(path.c_str(), kept.c_str(), FALSE);
    }
    DeleteFileA(thread.run.previous.c_str());
    return 0;
}

// Threads print at once, each a surface of its own; 0 when every one ran clean.
int RunThreads(const QuillrecExports &dll, const SoakOptions &options)
{
    std::vector<Thread> threads(options.threads);
    std::vector<HANDLE> handles;
    for (int i = 0; i < options.threads; ++i) {
        threads[i].dll = &dll;
        threads[i].options = &options;
        threads[i].seed = options.seed + i;
        handles.push_back(CreateThread(nullptr, 0, ThreadMain, &threads[i], 0, nullptr));
    }
    WaitForMultipleObjects((DWORD)handles.size(), handles.data(), TRUE, INFINITE);
    int problems = 0;
    for (size_t i = 0; i < handles.size(); ++i) {
        CloseHandle(handles[i]);
        problems += threads[i].run.problems + (threads[i].finished ? 0 : 1);
        std::printf("soak: thread %zu: %llu spool files, %d problems\n", i, (unsigned long long)threads[i].run.files,
                    threads[i].run.problems);
    }
    return problems == 0 ? 0 : 1;
}

// A beginscan whose pen variable is a bad address: the DLL realizes the
// bracket's objects, writes the handles out, and faults.
void Crash(const QuillrecExports &dll, RecordingCaller &caller, const std::string &where)
{
    Handle32 surface = caller.Surface(), out[4] = {};
    DrawModeRecord mode = {R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0, 0};
    std::printf("soak: a %s with a bad pointer\n", where == "text" || where == "page" ? where.c_str() : "beginscan");
    std::fflush(stdout);
    if (where == "text") {
        LOGFONTA font = {};
        font.lfHeight = 24;
        int32_t x = 10, y = 10;
        uint32_t options = 0, count = 5;
        dll.TextOut32(&surface, &font, &x, &y, &options, nullptr, (const char *)16, &count, nullptr, &mode);
    } else if (where == "page") {
        char name[MAX_PATH] = "";
        dll.GetEmfFilePath32(name);
        dll.GetEmfFileDC32(nullptr, "DISPLAY", name, nullptr, nullptr, nullptr, (Handle32 *)16);
    } else {
        uint16_t style = OUT_BEGINSCAN, scanFlag = 0, count = 0;
        uint32_t geometric = 0;
        LOGPEN pen = {PS_SOLID, {1, 0}, 0};
        LOGBRUSH brush = {BS_SOLID, 0, 0};
        dll.Output32(&surface, &style, &scanFlag, &count, out, &pen, &geometric, &brush, &mode, (Handle32 *)16,
                     &out[0], &out[1], &out[2], &out[3], nullptr);
    }
}

} // namespace

int main(int argc, char **argv)
{
    SoakOptions options = ReadOptions(argc, argv);
    QuillrecExports dll = {};
    std::string error;
    const std::string path = options.dllPath != nullptr ? options.dllPath : ProgramFolder() + "QUILLREC.dll";
    if (!LoadQuillrec(path.c_str(), &dll, &error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 2;
    }
    GdiState before = {GdiObjectCount(), GdiRoomLeft()};
    std::printf("soak: %llu requests, a new spool file every %llu, seed %llu\n", (unsigned long long)options.total,
                (unsigned long long)options.perFile, (unsigned long long)options.seed);
    std::printf("soak: GDI objects before: %lu\n", (unsigned long)before.count);
    std::fflush(stdout);

    if (options.threads > 0) {
        return RunThreads(dll, options);
    }
    auto started = std::chrono::steady_clock::now();
    RecordingCaller caller(dll, true);
    RequestBytes bytes(options.seed);
    if (options.trace) {
        caller.TraceTo(stderr); // each request before it is sent, to find the one that fails
    }
    SoakRun run;
    if (!SendRequests(caller, bytes, options, &run)) {
        return 1;
    }
    if (options.crash != nullptr) {
        Crash(dll, caller, options.crash);
    }
    CloseSpoolFile(caller, bytes);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return Report(caller, run, options, before, &dll);
}
