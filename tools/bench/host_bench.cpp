// Host benchmark: the library's own instructions per request, on the no-op
// platform. Run under callgrind (scripts/bench does), each case is measured
// between a zeroing and a dump of callgrind's counters, named after the case;
// tools/bench/callgrind_report.py turns the dumps into the figures. Run
// plainly (--smoke), it makes every request once and checks nothing but that
// they return.
#include <stdio.h>
#include <string.h>

#include <valgrind/callgrind.h>

#include "bench_requests.h"

namespace {

// Sizes chosen so that each cost can be fitted against the work: points on
// both sides of the 1024-point inline buffer, segments, rows, characters.
const BenchCase kSweep[] = {
    {BENCH_RECTANGLE, 2, "rectangle"},
    {BENCH_POLYGON, 16, "polygon"},
    {BENCH_POLYGON, 100, "polygon"},
    {BENCH_POLYGON, 400, "polygon"},
    {BENCH_POLYGON, 1024, "polygon"},
    {BENCH_POLYGON, 1025, "polygon"},
    {BENCH_POLYGON, 2000, "polygon"},
    {BENCH_POLYGON, 10000, "polygon"},
    {BENCH_POLYGON, 40000, "polygon"},
    {BENCH_POLYLINE, 16, "polyline"},
    {BENCH_POLYLINE, 100, "polyline"},
    {BENCH_POLYLINE, 400, "polyline"},
    {BENCH_POLYLINE, 1024, "polyline"},
    {BENCH_POLYLINE, 1025, "polyline"},
    {BENCH_POLYLINE, 2000, "polyline"},
    {BENCH_POLYLINE, 10000, "polyline"},
    {BENCH_POLYLINE, 40000, "polyline"},
    {BENCH_SCAN, 1, "scan"},
    {BENCH_SCAN, 50, "scan"},
    {BENCH_SCAN, 200, "scan"},
    {BENCH_SCAN, 1000, "scan"},
    {BENCH_RASTER, 1, "raster"},
    {BENCH_RASTER, 16, "raster"},
    {BENCH_RASTER, 64, "raster"},
    {BENCH_RASTER, 256, "raster"},
    {BENCH_TEXT, 1, "text"},
    {BENCH_TEXT, 10, "text"},
    {BENCH_TEXT, 40, "text"},
    {BENCH_TEXT, 200, "text"},
};

const int kRepetitions = 4;

} // namespace

int main(int argc, char **argv)
{
    bool smoke = argc > 1 && strcmp(argv[1], "--smoke") == 0;
    PrepareBenchInputs();
    BenchExports dll = {DeleteObject32, Output32, Raster32, TextOut32};
    Handle32 surface = 0;
    const char deviceName[] = "DISPLAY";
    char fileName[MAX_PATH] = "";
    if (GetEmfFilePath32(fileName) != 0 ||
        GetEmfFileDC32(NULL, deviceName, fileName, NULL, NULL, NULL, &surface) != 0) {
        fprintf(stderr, "host_bench: the no-op platform refused a surface\n");
        return 1;
    }
    for (const BenchCase &request : kSweep) {
        // One request first, so that the counted ones are all alike.
        RequestThroughDll(dll, &surface, request);
        if (smoke) {
            continue;
        }
        char name[96];
        snprintf(name, sizeof name, "case:%s:%u:%d", request.label, (unsigned)request.size, kRepetitions);
        CALLGRIND_ZERO_STATS;
        for (int i = 0; i < kRepetitions; ++i) {
            RequestThroughDll(dll, &surface, request);
        }
        CALLGRIND_DUMP_STATS_AT(name);
    }
    CloseEmfFile32(&surface);
    if (!smoke && !RUNNING_ON_VALGRIND) {
        printf("host_bench: not under callgrind, so nothing was counted; run scripts/bench\n");
    } else if (smoke) {
        printf("host_bench: %d cases made\n", (int)(sizeof kSweep / sizeof kSweep[0]));
    }
    return 0;
}
