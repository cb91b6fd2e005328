// The output styles as the workbench and the capture image model a request:
// each named code with what its points argument holds, so a caller that
// builds, writes or checks a request knows how many points it carries. The
// library itself dispatches on the codes alone (output.cpp).
#ifndef QUILLREC_OUTPUT_STYLES_H
#define QUILLREC_OUTPUT_STYLES_H

#include "quillrec.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What the points argument of a style holds, for callers that build or
 * check requests. Codes not in OUTPUT_STYLES draw nothing and read no
 * points; they are still legal style values. */
enum OutputStyleReads {
    OUT_READS_NOTHING = 0,  /* points not read */
    OUT_READS_FIXED = 1,    /* exactly `points` Point16, whatever the count */
    OUT_READS_COUNT = 2,    /* count Point16 (scanlines: the first holds the line's y) */
    OUT_READS_POLYGONS = 3  /* a PolyPolygonRecord: count vertex counts, then their points */
};

typedef struct OutputStyle {
    const char *name;
    uint16_t code;
    uint8_t reads;  /* an OutputStyleReads */
    uint8_t points; /* OUT_READS_FIXED: how many */
} OutputStyle;

static const OutputStyle OUTPUT_STYLES[] = {
    {"OUT_BEZIER", OUT_BEZIER, OUT_READS_FIXED, 4},
    {"OUT_SCANLINES", OUT_SCANLINES, OUT_READS_COUNT, 0},
    {"OUT_RECTANGLE", OUT_RECTANGLE, OUT_READS_FIXED, 2},
    {"OUT_ELLIPSE", OUT_ELLIPSE, OUT_READS_FIXED, 2},
    {"OUT_POLYLINE", OUT_POLYLINE, OUT_READS_COUNT, 0},
    {"OUT_WINDPOLYGON", OUT_WINDPOLYGON, OUT_READS_COUNT, 0},
    {"OUT_ALTPOLYGON", OUT_ALTPOLYGON, OUT_READS_COUNT, 0},
    {"OUT_CIRCLE", OUT_CIRCLE, OUT_READS_FIXED, 2},
    {"OUT_BEGINSCAN", OUT_BEGINSCAN, OUT_READS_NOTHING, 0},
    {"OUT_ENDSCAN", OUT_ENDSCAN, OUT_READS_NOTHING, 0},
    {"OUT_WINDPOLYPOLYGON", OUT_WINDPOLYPOLYGON, OUT_READS_POLYGONS, 0},
    {"OUT_ALTPOLYPOLYGON", OUT_ALTPOLYPOLYGON, OUT_READS_POLYGONS, 0},
};
#define OUTPUT_STYLE_COUNT (sizeof OUTPUT_STYLES / sizeof OUTPUT_STYLES[0])

/* The row of a style code, or a null pointer for an unnamed code. */
static inline const OutputStyle *FindOutputStyle(uint16_t code)
{
    unsigned i;
    for (i = 0; i < OUTPUT_STYLE_COUNT; ++i) {
        if (OUTPUT_STYLES[i].code == code) {
            return &OUTPUT_STYLES[i];
        }
    }
    return 0;
}

/* How many Point16 a request of this style reads for its count: none for
 * an unnamed code or a style that reads nothing, the fixed number, or count
 * points, but none for a scanline run of one point or none (its first point
 * only names the line). Poly-polygons read the total of their counts, which
 * only their record knows: 0 here. */
static inline uint32_t OutputPointsRead(const OutputStyle *style, uint16_t count)
{
    if (style == 0 || style->reads == OUT_READS_NOTHING || style->reads == OUT_READS_POLYGONS) {
        return 0;
    }
    if (style->reads == OUT_READS_FIXED) {
        return style->points;
    }
    return style->code == OUT_SCANLINES && count <= 1 ? 0 : count;
}

#ifdef __cplusplus
}
#endif

#endif
