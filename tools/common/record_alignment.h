// Lining up two record streams: an edit-distance alignment, so that one
// inserted or removed request shows as such and the records after it pair
// with their counterparts again, instead of every later record "differing".
#ifndef QUILLREC_RECORD_ALIGNMENT_H
#define QUILLREC_RECORD_ALIGNMENT_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

enum AlignmentStep : uint8_t {
    kAlignSame,    // a[i] and b[j] are equal
    kAlignChanged, // a[i] and b[j] stand in the same place but differ
    kAlignOnlyA,   // a[i] has no counterpart in b
    kAlignOnlyB,   // b[j] has no counterpart in a
};

struct AlignedPair {
    AlignmentStep step;
    size_t a; // index in a (not meaningful for kAlignOnlyB)
    size_t b; // index in b (not meaningful for kAlignOnlyA)
};

// The cheapest edit script from a to b (keys equal means records equal):
// common ends are matched first, and the middle is aligned when it fits in
// maxCells table cells; a larger middle is paired in place (*aligned false).
std::vector<AlignedPair> AlignRecords(const std::vector<uint64_t> &a, const std::vector<uint64_t> &b,
                                      size_t maxCells, bool *aligned);

#endif
