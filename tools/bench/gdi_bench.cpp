// Wine benchmark: the DLL's time per request next to the time of the same GDI
// calls made directly, on enhanced-metafile recording surfaces of the same
// kind. Rounds of each side are interleaved, in rotating order, so that drift
// in the machine's speed falls on all sides alike; each figure is a median
// over rounds.
//
//   quillrec_gdi_bench.exe [--rounds N] [--sweep] [--quick] [--capture]
//
// --capture: the QUILLREC.dll beside it is the capture DLL (scripts/bench
// --capture installs it so); the cases then take in polygons on both sides of
// the size from which the capture writes points as their bytes.
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "bench_requests.h"
#include "quillrec_exports.h"

namespace {

enum Side { SIDE_DLL, SIDE_SAME_CALLS, SIDE_GDI_ONLY, SIDE_COUNT };

QuillrecExports gLoaded;
double gTicksPerMicrosecond;

struct Surface {
    char path[MAX_PATH];
    Handle32 handle; // the DLL side's variable
    HDC dc;          // the direct sides' context
};

bool OpenSurface(Side side, Surface *surface)
{
    surface->handle = 0;
    surface->dc = NULL;
    if (gLoaded.GetEmfFilePath32(surface->path) != 0) {
        return false;
    }
    if (side == SIDE_DLL) {
        return gLoaded.GetEmfFileDC32(NULL, "DISPLAY", surface->path, NULL, NULL, NULL, &surface->handle) == 0;
    }
    // What the library's GetEmfFileDC32 does, so both sides record alike.
    HDC reference = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    if (reference == NULL) {
        return false;
    }
    surface->dc = CreateEnhMetaFileA(reference, surface->path, NULL, NULL);
    DeleteDC(reference);
    return surface->dc != NULL;
}

void CloseSurface(Side side, Surface *surface)
{
    if (side == SIDE_DLL) {
        gLoaded.CloseEmfFile32(&surface->handle);
    } else {
        DeleteEnhMetaFile(CloseEnhMetaFile(surface->dc));
    }
    DeleteFileA(surface->path);
}

void Request(Side side, Surface *surface, const BenchCase &request)
{
    if (side == SIDE_DLL) {
        RequestThroughDll(gLoaded, &surface->handle, request);
    } else {
        RequestDirect(surface->dc, request, side == SIDE_SAME_CALLS ? DIRECT_SAME_CALLS : DIRECT_GDI_ONLY);
    }
}

// Microseconds per request over one batch on a fresh surface; opening,
// closing and one warm-up request are outside the timing. Negative on failure.
double TimeBatch(Side side, const BenchCase &request, int batch)
{
    Surface surface;
    if (!OpenSurface(side, &surface)) {
        return -1.0;
    }
    Request(side, &surface, request);
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < batch; ++i) {
        Request(side, &surface, request);
    }
    QueryPerformanceCounter(&stop);
    CloseSurface(side, &surface);
    return (double)(stop.QuadPart - start.QuadPart) / gTicksPerMicrosecond / batch;
}

double Percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    double position = fraction * (double)(values.size() - 1);
    size_t below = (size_t)position;
    size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (position - (double)below);
}

struct CaseResult {
    double median[SIDE_COUNT];
    double ratio;    // median over rounds of DLL / same calls
    double ratioLow; // quartiles of that ratio
    double ratioHigh;
    double ratioOfMinima; // fastest DLL round / fastest direct round
    double ratioGdiOnly;  // median over rounds of DLL / GDI calls only
    int batch;
};

bool Measure(const BenchCase &request, int rounds, double roundMicroseconds, CaseResult *result)
{
    double trial = TimeBatch(SIDE_SAME_CALLS, request, 3);
    if (trial < 0) {
        return false;
    }
    result->batch = std::max(1, std::min(5000, (int)(roundMicroseconds / std::max(trial, 0.01))));
    std::vector<double> times[SIDE_COUNT];
    std::vector<double> ratios, ratiosGdiOnly;
    for (int round = 0; round < rounds; ++round) {
        double time[SIDE_COUNT];
        for (int step = 0; step < SIDE_COUNT; ++step) {
            // Rotating order: each side runs first, second and last equally often.
            Side side = (Side)((round + step) % SIDE_COUNT);
            time[side] = TimeBatch(side, request, result->batch);
            if (time[side] < 0) {
                return false;
            }
        }
        for (int side = 0; side < SIDE_COUNT; ++side) {
            times[side].push_back(time[side]);
        }
        ratios.push_back(time[SIDE_DLL] / time[SIDE_SAME_CALLS]);
        ratiosGdiOnly.push_back(time[SIDE_DLL] / time[SIDE_GDI_ONLY]);
    }
    for (int side = 0; side < SIDE_COUNT; ++side) {
        result->median[side] = Percentile(times[side], 0.5);
    }
    result->ratio = Percentile(ratios, 0.5);
    result->ratioLow = Percentile(ratios, 0.25);
    result->ratioHigh = Percentile(ratios, 0.75);
    result->ratioGdiOnly = Percentile(ratiosGdiOnly, 0.5);
    // On a busy machine the fastest round of each side is the one least
    // disturbed by other processes.
    result->ratioOfMinima = Percentile(times[SIDE_DLL], 0.0) / Percentile(times[SIDE_SAME_CALLS], 0.0);
    return true;
}

const BenchCase kSweepCases[] = {{BENCH_POLYGON, 10, "polygon, 10 points"},
                                 {BENCH_POLYGON, 1000, "polygon, 1,000 points"},
                                 {BENCH_POLYGON, 1025, "polygon, 1,025 points"},
                                 {BENCH_POLYGON, 40000, "polygon, 40,000 points"},
                                 {BENCH_POLYLINE, 10000, "polyline, 10,000 points"},
                                 {BENCH_SCAN, 20, "scan bracket, 20 segments"},
                                 {BENCH_SCAN, 1000, "scan bracket, 1,000 segments"},
                                 {BENCH_RASTER, 16, "Raster32, 64x16 24-bit colour"},
                                 {BENCH_RASTER, 256, "Raster32, 64x256 24-bit colour"},
                                 {BENCH_TEXT, 10, "text, 10 characters with advances"},
                                 {BENCH_TEXT, 200, "text, 200 characters with advances"}};

// Polygons about the headline's 100 points and up to 10,000: the last size
// the capture writes as text, the first it writes to its point file, and more.
const BenchCase kCaptureCases[] = {{BENCH_POLYGON, 49, "polygon, 49 points"},
                                   {BENCH_POLYGON, 50, "polygon, 50 points"},
                                   {BENCH_POLYGON, 200, "polygon, 200 points"},
                                   {BENCH_POLYGON, 1000, "polygon, 1,000 points"}};

} // namespace

int main(int argc, char **argv)
{
    int rounds = 61;
    double roundMicroseconds = 1500.0;
    bool sweep = false, capture = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, atoi(argv[++i]));
        } else if (strcmp(argv[i], "--sweep") == 0) {
            sweep = true;
        } else if (strcmp(argv[i], "--capture") == 0) {
            capture = true;
        } else if (strcmp(argv[i], "--quick") == 0) {
            rounds = 3;
            roundMicroseconds = 200.0;
        } else {
            fprintf(stderr, "usage: %s [--rounds N] [--sweep] [--quick] [--capture]\n", argv[0]);
            return 2;
        }
    }
    std::string error;
    std::string path = ProgramFolder() + "QUILLREC.dll";
    if (!LoadQuillrec(path.c_str(), &gLoaded, &error)) {
        fprintf(stderr, "gdi_bench: %s\n", error.c_str());
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    gTicksPerMicrosecond = (double)frequency.QuadPart / 1e6;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    PrepareBenchInputs();

    std::vector<BenchCase> cases(kBenchHeadlineCases, kBenchHeadlineCases + kBenchHeadlineCount);
    if (sweep) {
        cases.insert(cases.end(), kSweepCases, kSweepCases + sizeof kSweepCases / sizeof kSweepCases[0]);
    }
    if (capture) {
        cases.insert(cases.end(), kCaptureCases, kCaptureCases + sizeof kCaptureCases / sizeof kCaptureCases[0]);
    }
    printf("Time per request on Wine's EMF recording surface: medians of %d interleaved rounds%s\n\n", rounds,
           capture ? "; DLL: the capture DLL in front of the real one" : "");
    printf("| request | DLL us | direct us | DLL / direct | quartiles | fastest rounds | GDI only us | "
           "DLL / GDI only | batch |\n");
    printf("|---|---:|---:|---:|---|---:|---:|---:|---:|\n");
    int failures = 0;
    for (const BenchCase &request : cases) {
        CaseResult result;
        if (!Measure(request, rounds, roundMicroseconds, &result)) {
            printf("| %s | failed: no recording surface ||||||||\n", request.label);
            ++failures;
            continue;
        }
        printf("| %s | %.2f | %.2f | %.3f | %.3f-%.3f | %.3f | %.2f | %.3f | %d |\n", request.label,
               result.median[SIDE_DLL], result.median[SIDE_SAME_CALLS], result.ratio, result.ratioLow, result.ratioHigh,
               result.ratioOfMinima, result.median[SIDE_GDI_ONLY], result.ratioGdiOnly, result.batch);
        fflush(stdout);
    }
    UnloadQuillrec(&gLoaded);
    return failures == 0 ? 0 : 1;
}
