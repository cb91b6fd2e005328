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
#include "quillrec_exports.h"

namespace {

const int kRepetitions = 4;

// One request first, so that the counted ones are all alike; then the counted
// ones, between a zeroing and a dump named after the case.
void MeasureCase(const QuillrecCalls &dll, Handle32 *surface, const BenchCase &request, bool smoke)
{
    RequestThroughDll(dll, surface, request);
    if (smoke) {
        return;
    }
    char name[96];
    snprintf(name, sizeof name, "case:%s:%u:%d", request.label, (unsigned)request.size, kRepetitions);
    CALLGRIND_ZERO_STATS;
    for (int i = 0; i < kRepetitions; ++i) {
        RequestThroughDll(dll, surface, request);
    }
    CALLGRIND_DUMP_STATS_AT(name);
}

} // namespace

int main(int argc, char **argv)
{
    bool smoke = argc > 1 && strcmp(argv[1], "--smoke") == 0;
    PrepareBenchInputs();
    const QuillrecCalls dll = LinkedQuillrecCalls();
    Handle32 surface = 0;
    const char deviceName[] = "DISPLAY";
    char fileName[MAX_PATH] = "";
    if (GetEmfFilePath32(fileName) != 0 ||
        GetEmfFileDC32(NULL, deviceName, fileName, NULL, NULL, NULL, &surface) != 0) {
        fprintf(stderr, "host_bench: the no-op platform refused a surface\n");
        return 1;
    }
    const std::vector<BenchCase> cases = BenchSweepCases();
    for (const BenchCase &request : cases) {
        MeasureCase(dll, &surface, request, smoke);
    }
    CloseEmfFile32(&surface);
    if (!smoke && !RUNNING_ON_VALGRIND) {
        printf("host_bench: not under callgrind, so nothing was counted; run scripts/bench\n");
    } else if (smoke) {
        printf("host_bench: %d cases made\n", (int)cases.size());
    }
    return 0;
}
