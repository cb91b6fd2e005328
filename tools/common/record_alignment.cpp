// The edit-distance alignment behind --compare: substitutions, insertions and
// deletions all cost one, so a changed record pairs with its counterpart and
// an inserted request's records stand alone.
#include "record_alignment.h"

#include <algorithm>

namespace {

// Pairs the middle index by index; what is left over stands alone.
void PairInPlace(size_t a0, size_t a1, size_t b0, size_t b1, const std::vector<uint64_t> &a,
                 const std::vector<uint64_t> &b, std::vector<AlignedPair> *out)
{
    size_t i = a0, j = b0;
    for (; i < a1 && j < b1; ++i, ++j) {
        out->push_back({a[i] == b[j] ? kAlignSame : kAlignChanged, i, j});
    }
    for (; i < a1; ++i) {
        out->push_back({kAlignOnlyA, i, 0});
    }
    for (; j < b1; ++j) {
        out->push_back({kAlignOnlyB, 0, j});
    }
}

// Classic dynamic programme over the middle a[a0,a1) x b[b0,b1), then the
// path traced back from the end; ties prefer a pairing, then a removal.
void AlignMiddle(size_t a0, size_t a1, size_t b0, size_t b1, const std::vector<uint64_t> &a,
                 const std::vector<uint64_t> &b, std::vector<AlignedPair> *out)
{
    const size_t n = a1 - a0, m = b1 - b0, width = m + 1;
    std::vector<uint32_t> cost((n + 1) * width);
    for (size_t j = 0; j <= m; ++j) {
        cost[j] = (uint32_t)j;
    }
    for (size_t i = 1; i <= n; ++i) {
        cost[i * width] = (uint32_t)i;
        for (size_t j = 1; j <= m; ++j) {
            const uint32_t pair = cost[(i - 1) * width + j - 1] + (a[a0 + i - 1] == b[b0 + j - 1] ? 0 : 1);
            const uint32_t gap = std::min(cost[(i - 1) * width + j], cost[i * width + j - 1]) + 1;
            cost[i * width + j] = std::min(pair, gap);
        }
    }
    std::vector<AlignedPair> path;
    size_t i = n, j = m;
    while (i > 0 || j > 0) {
        const uint32_t here = cost[i * width + j];
        if (i > 0 && j > 0) {
            const bool same = a[a0 + i - 1] == b[b0 + j - 1];
            if (here == cost[(i - 1) * width + j - 1] + (same ? 0 : 1)) {
                path.push_back({same ? kAlignSame : kAlignChanged, a0 + i - 1, b0 + j - 1});
                --i, --j;
                continue;
            }
        }
        if (i > 0 && here == cost[(i - 1) * width + j] + 1) {
            path.push_back({kAlignOnlyA, a0 + i - 1, 0});
            --i;
        } else {
            path.push_back({kAlignOnlyB, 0, b0 + j - 1});
            --j;
        }
    }
    out->insert(out->end(), path.rbegin(), path.rend());
}

} // namespace

std::vector<AlignedPair> AlignRecords(const std::vector<uint64_t> &a, const std::vector<uint64_t> &b,
                                      size_t maxCells, bool *aligned)
{
    std::vector<AlignedPair> out;
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) {
        out.push_back({kAlignSame, head, head});
        ++head;
    }
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) {
        ++tail;
    }
    const size_t a1 = a.size() - tail, b1 = b.size() - tail;
    const size_t n = a1 - head, m = b1 - head;
    *aligned = n == 0 || m == 0 || (n + 1) <= maxCells / (m + 1);
    if (*aligned) {
        AlignMiddle(head, a1, head, b1, a, b, &out);
    } else {
        PairInPlace(head, a1, head, b1, a, b, &out);
    }
    for (size_t k = 0; k < tail; ++k) {
        out.push_back({kAlignSame, a1 + k, b1 + k});
    }
    return out;
}
