// Point widening takes several points per turn (eight in vector registers,
// four, then one); every count must come out whole, signed and in order,
// whichever of those paths its points went through, and from any alignment of
// the caller's array.
#include "output/emitters.h"
#include "surface_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef SurfaceTest PointWidening;

TEST_F(PointWidening, EveryCountAndOffsetWidensEachPointSigned)
{
    // Extremes and signs in every lane, so a lane swapped, skipped or widened
    // without its sign shows.
    std::vector<Point16> storage(1100);
    for (size_t i = 0; i < storage.size(); ++i) {
        int16_t x = (int16_t)(i % 3 == 0 ? -32768 + (int)i : 1000 - (int)i * 7);
        int16_t y = (int16_t)(i % 5 == 0 ? 32767 - (int)i : -(int)i * 3);
        storage[i] = {x, y};
    }
    const uint16_t counts[] = {0, 1, 3, 4, 5, 7, 8, 9, 12, 15, 16, 17, 31, 1023, 1024, 1025, 1031};
    for (uint16_t count : counts) {
        for (size_t offset = 0; offset < 3; ++offset) {
            SCOPED_TRACE("count " + std::to_string(count) + ", offset " + std::to_string(offset));
            Reopen();
            const Point16 *points = storage.data() + offset;
            EmitPolyline(surface, OUT_POLYLINE, count, points, nullptr);
            const GdiCall *drawn = GdiDoubleLastCall("Polyline");
            ASSERT_NE(drawn, nullptr);
            ASSERT_EQ(drawn->points.size(), count);
            for (size_t i = 0; i < count; ++i) {
                ASSERT_EQ(drawn->points[i].x, (LONG)points[i].x) << "point " << i;
                ASSERT_EQ(drawn->points[i].y, (LONG)points[i].y) << "point " << i;
            }
        }
    }
}

} // namespace
