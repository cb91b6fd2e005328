// The requests the benchmarks time, each made two ways on a recording surface:
// through the DLL's exports, as the driver's thunk makes them (every scalar a
// pointer to a variable), and as the GDI calls the library makes for it, made
// directly. Builds for Windows (<windows.h>) and for the host (the platform
// declarations, defined by the test double or by the no-op platform).
#ifndef QUILLREC_BENCH_REQUESTS_H
#define QUILLREC_BENCH_REQUESTS_H

#include <vector>

#include "quillrec.h"
#include "requestmodel/quillrec_calls.h"

enum BenchKind {
    BENCH_RECTANGLE, // created pen and brush, draw mode; size unused
    BENCH_POLYGON,   // winding polygon with a geometric pen, brush and clip; size = points
    BENCH_POLYLINE,  // polyline with a geometric pen and clip; size = points
    BENCH_SCAN,      // scan bracket: begin, one scanline request, end, three releases; size = segments
    BENCH_RASTER,    // 24-bit colour device bitmap 64 wide, solid brush; size = rows
    BENCH_TEXT,      // per-character text with advances; size = characters
};

struct BenchCase {
    BenchKind kind;
    uint32_t size;
    const char *label;
};

// Largest sizes the inputs are made for.
enum {
    kBenchMostPoints = 65535,
    kBenchMostSegments = 65534,
    kBenchRasterWidth = 64,
    kBenchMostRows = 1024,
    kBenchMostCharacters = 4096,
};

// How the direct calls get their scratch memory.
enum DirectMemory {
    // The library's own calls, KERNEL32 included: a global block for more than
    // 1024 points and for the bitmap rows, the lead-byte test per character.
    DIRECT_SAME_CALLS,
    // GDI32 calls only: points and rows in static buffers, no lead-byte test
    // (the string is known to be single-byte). What a caller that owned its
    // memory would pay for the same recording.
    DIRECT_GDI_ONLY,
};

// Builds the inputs once (points, records, bitmap bits, string, advances).
void PrepareBenchInputs();

// One request through the exports (found by ordinal on Windows, linked
// directly on the host); *surface is the caller's handle variable.
void RequestThroughDll(const QuillrecCalls &dll, Handle32 *surface, const BenchCase &request);

// The same request as direct GDI calls on surface.
void RequestDirect(HDC surface, const BenchCase &request, DirectMemory memory);

// The host's cases, a kind at several sizes, named by the kind alone (the
// figures are grouped by it): points on both sides of the 1024-point inline
// buffer, segments, rows, characters, chosen so that each cost can be fitted
// against the work.
std::vector<BenchCase> BenchSweepCases();

// The request kinds the benchmarks report, in table order.
extern const BenchCase kBenchHeadlineCases[];
extern const int kBenchHeadlineCount;

#endif
