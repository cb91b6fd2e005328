// Point generators of the job format (star:, arc:, wave:): a few numbers
// that stand for a long point list, rounded to the 16-bit points a request
// holds.
#include "point_generators.h"

#include <math.h>

namespace job {
namespace parse {

namespace {

bool AddPoint(Parser &p, const std::string &generator, double x, double y, std::vector<Point> *points)
{
    const long rx = lround(x), ry = lround(y);
    if (rx < INT16_MIN || rx > INT16_MAX || ry < INT16_MIN || ry > INT16_MAX) {
        return Fail(p, generator + " makes a point outside the 16-bit range");
    }
    points->push_back(Point{(int16_t)rx, (int16_t)ry});
    return true;
}

} // namespace

// The point generators of the grammar; a holds as many numbers as the
// generator's row says.
bool GeneratePoints(Parser &p, const std::string &name, const std::vector<double> &a, std::vector<Point> *points)
{
    const double pi = 3.14159265358979323846;
    const double n = name == "star" ? a[4] * 2 : name == "arc" ? a[6] : a[5];
    if (n < 1 || n > 65535 || n != floor(n)) {
        return Fail(p, name + ": " + (name == "star" ? "spikes" : "n") + " must be a whole number from 1 to 65535");
    }
    if (name == "wave" && a[4] == 0) {
        return Fail(p, "wave: the period must not be 0");
    }
    bool ok = true;
    for (int i = 0; i < (int)n && ok; ++i) {
        const double t = n == 1 ? 0 : i / (n - 1);
        if (name == "star") {
            const double radius = i % 2 == 0 ? a[2] : a[3], angle = pi / 2 + i * pi / a[4];
            ok = AddPoint(p, name, a[0] + radius * cos(angle), a[1] - radius * sin(angle), points);
        } else if (name == "arc") {
            const double angle = (a[4] + (a[5] - a[4]) * t) * pi / 180;
            ok = AddPoint(p, name, a[0] + a[2] * cos(angle), a[1] - a[3] * sin(angle), points);
        } else {
            const double x = n == 1 ? a[0] : a[0] + (a[2] - a[0]) * i / (n - 1);
            ok = AddPoint(p, name, x, a[1] - a[3] * sin(2 * pi * (x - a[0]) / a[4]), points);
        }
    }
    return ok;
}

} // namespace parse
} // namespace job
