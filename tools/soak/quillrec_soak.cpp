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

#include "emf_reader.h"
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

void KeepSpoolFile(const char *folder, const std::string &path, uint64_t page)
{
    if (folder != nullptr) {
        std::string kept = std::string(folder) + "\\soak-page" + std::to_string(page) + ".emf";
        CopyFileA(path.c_str(), kept.c_str(), FALSE);
    }
}

} // namespace

int main(int argc, char **argv)
{
    uint64_t total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    uint64_t perFile = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000;
    uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (perFile == 0)
        perFile = 10000;

    QuillrecExports dll = {};
    std::string error;
    const char *dllPath = std::getenv("QUILLREC_SOAK_DLL");
    const char *keep = std::getenv("QUILLREC_SOAK_KEEP");
    if (!LoadQuillrec(dllPath != nullptr ? dllPath : (ProgramFolder() + "QUILLREC.dll").c_str(), &dll, &error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 2;
    }
    const QuillrecExports &calls = dll;
    const char *device = "DISPLAY";
    DWORD before = GdiObjectCount();
    size_t roomBefore = GdiRoomLeft();
    std::printf("soak: %llu requests, a new spool file every %llu, seed %llu\n", (unsigned long long)total,
                (unsigned long long)perFile, (unsigned long long)seed);
    std::printf("soak: GDI objects before: %lu\n", (unsigned long)before);
    std::fflush(stdout);

    auto started = std::chrono::steady_clock::now();
    RecordingCaller caller(calls, true);
    RequestBytes bytes(seed);
    if (std::getenv("QUILLREC_SOAK_TRACE") != nullptr) {
        caller.TraceTo(stderr); // each request before it is sent, to find the one that fails
    }
    // Validating the heap after every request finds the one that overran a block.
    bool checkHeap = std::getenv("QUILLREC_SOAK_CHECK_HEAP") != nullptr;
    // QUILLREC_SOAK_ONLY="Output32,Dib32": other kinds of request become clip requests.
    const char *only = std::getenv("QUILLREC_SOAK_ONLY");
    int problems = 0;
    uint64_t files = 0, sinceOpen = 0, failedOpens = 0;
    std::string previous;
    while (caller.ExportCalls() < total) {
        if (!caller.IsOpen() || sinceOpen >= perFile) {
            while (caller.IsOpen() && caller.HoldsBrackets()) {
                caller.Send(RequestKind::Release, bytes, device);
            }
            caller.Close();
            if (!previous.empty()) {
                KeepSpoolFile(keep, previous, files);
                DeleteFileA(previous.c_str());
            }
            if (caller.Open(bytes, device) != 0) {
                if (++failedOpens > 3) {
                    std::fprintf(stderr, "soak: GetEmfFileDC32 keeps failing\n");
                    return 1;
                }
                continue;
            }
            previous = caller.SpoolName();
            ++files;
            sinceOpen = 0;
        }
        RequestKind kind = caller.ChooseKind(bytes, false);
        if (only != nullptr && kind != RequestKind::Release && std::strstr(only, RequestKindName(kind)) == nullptr) {
            kind = RequestKind::Clip;
        }
        SentRequest sent = caller.Send(kind, bytes, device);
        ++sinceOpen;
        if (checkHeap && !HeapValidate(GetProcessHeap(), 0, nullptr)) {
            std::fprintf(stderr, "soak: the process heap is damaged after request %llu: %s\n",
                         (unsigned long long)caller.ExportCalls(), sent.text.c_str());
            return 1;
        }
        if (!sent.problem.empty() && ++problems <= 10) {
            std::fprintf(stderr, "soak: %s\n  request: %s\n", sent.problem.c_str(), sent.text.c_str());
        }
    }
    while (caller.HoldsBrackets()) {
        caller.Send(RequestKind::Release, bytes, device);
    }
    caller.Close();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    size_t records = 0;
    std::string why;
    bool complete = SpoolFileIsComplete(previous.c_str(), &records, &why);
    KeepSpoolFile(keep, previous, files);
    DeleteFileA(previous.c_str());
    DWORD after = GdiObjectCount();
    size_t roomAfter = GdiRoomLeft();
    bool creates = CanStillCreateObjects(10000);
    UnloadQuillrec(&dll);

    std::printf("soak: %llu export calls in %.1f s (%.0f per second), %llu spool files\n",
                (unsigned long long)caller.ExportCalls(), seconds, caller.ExportCalls() / seconds,
                (unsigned long long)files);
    std::printf("soak: GDI objects after: %lu%s\n", (unsigned long)after,
                before == 0 && after == 0 ? " (GetGuiResources answers 0 here: the platform does not count them)" : "");
    std::printf("soak: GDI objects that could still be made: %zu before, %zu after\n", roomBefore, roomAfter);
    std::printf("soak: last spool file %s: %zu records%s%s\n", previous.c_str(), records,
                complete ? ", complete" : ", INCOMPLETE: ", complete ? "" : why.c_str());
    std::printf("soak: 10000 pens and brushes created afterwards: %s\n", creates ? "yes" : "NO");
    std::printf("soak: problems in results: %d\n", problems);
    // Wine 8 itself keeps two GDI handles for every blit from a memory DC it
    // records (seen with plain BitBlt and StretchBlt, without this library);
    // only a loss beyond that counts against the library.
    uint64_t wineKeeps = 2 * caller.SourcelessRasters();
    std::printf("soak: Raster32 requests without source: %llu\n", (unsigned long long)caller.SourcelessRasters());
    bool leaked = (before != 0 && after > before + 16) || roomAfter + 16 + wineKeeps < roomBefore;
    if (leaked) {
        std::printf("soak: GDI objects were left alive (count %lu -> %lu, room %zu -> %zu)\n", (unsigned long)before,
                    (unsigned long)after, roomBefore, roomAfter);
    }
    return problems == 0 && complete && creates && !leaked ? 0 : 1;
}
