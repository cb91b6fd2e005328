// CopyBytes and FillBytes are the shipped image's memcpy and memset: they move
// whole words once the destination is aligned. Every alignment of both ends
// and every short length must still touch exactly the bytes asked for.
#include "platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const size_t kArena = 96;

TEST(Bytes, CopyTouchesExactlyTheRangeAtAnyAlignment)
{
    std::vector<unsigned char> source(kArena);
    for (size_t i = 0; i < kArena; ++i) {
        source[i] = (unsigned char)(i * 7 + 1);
    }
    for (size_t to = 0; to < 9; ++to) {
        for (size_t from = 0; from < 9; ++from) {
            for (size_t count = 0; count < 40; ++count) {
                SCOPED_TRACE("to " + std::to_string(to) + ", from " + std::to_string(from) + ", count " +
                             std::to_string(count));
                std::vector<unsigned char> target(kArena, 0xEE);
                CopyBytes(target.data() + to, source.data() + from, count);
                for (size_t i = 0; i < kArena; ++i) {
                    bool inside = i >= to && i < to + count;
                    ASSERT_EQ(target[i], inside ? source[from + i - to] : 0xEE) << "byte " << i;
                }
            }
        }
    }
}

TEST(Bytes, FillTouchesExactlyTheRangeAtAnyAlignment)
{
    const unsigned char values[] = {0x00, 0x5A, 0xFF};
    for (unsigned char value : values) {
        for (size_t to = 0; to < 9; ++to) {
            for (size_t count = 0; count < 40; ++count) {
                SCOPED_TRACE("value " + std::to_string(value) + ", to " + std::to_string(to) + ", count " +
                             std::to_string(count));
                std::vector<unsigned char> target(kArena, 0xEE);
                FillBytes(target.data() + to, value, count);
                for (size_t i = 0; i < kArena; ++i) {
                    bool inside = i >= to && i < to + count;
                    ASSERT_EQ(target[i], inside ? value : 0xEE) << "byte " << i;
                }
            }
        }
    }
}

} // namespace
