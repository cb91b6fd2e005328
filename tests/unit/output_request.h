// One Output32 request as the caller's driver holds it: a variable for every
// scalar, the records it may leave out, the five out-arguments, all handed to
// the export through pointers as the thunk hands them. The host tests send it
// to the library directly, the real-GDI tests to the loaded DLL.
#ifndef QUILLREC_OUTPUT_REQUEST_H
#define QUILLREC_OUTPUT_REQUEST_H

#include "quillrec.h"
#include "requestmodel/quillrec_calls.h"

// What an out-argument holds until the export writes it.
const Handle32 kUntouched = 0xA5A5A5A5u;

// By default a plain request: copy pen, transparent background, no clip.
struct OutputRequest {
    uint16_t style = OUT_RECTANGLE;
    uint16_t scanFlag = 0;
    uint16_t count = 0;
    const void *points = nullptr;
    LOGPEN pen = {PS_SOLID, {3, 0}, 0x0000FF};
    bool hasPen = true;
    uint32_t geometricPenStyle = 0;
    LOGBRUSH brush = {BS_SOLID, 0x00FF00, 0};
    bool hasBrush = true;
    DrawModeRecord drawMode = {R2_COPYPEN, TRANSPARENT, 0xFFFFFF, 0x000000, 0};
    bool hasDrawMode = true;
    RECT clip = {0, 0, 200, 200};
    bool hasClip = false;
    Handle32 out[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};

    // What to draw: the style and its count points (or the record it reads).
    void Shape(uint16_t shapeStyle, uint16_t shapeCount, const void *shapePoints)
    {
        style = shapeStyle;
        count = shapeCount;
        points = shapePoints;
    }

    int32_t SendTo(PFN_Output32 output, const Handle32 *surface)
    {
        return output(surface, &style, &scanFlag, &count, points, hasPen ? &pen : nullptr, &geometricPenStyle,
                      hasBrush ? &brush : nullptr, hasDrawMode ? &drawMode : nullptr, &out[0], &out[1], &out[2],
                      &out[3], &out[4], hasClip ? &clip : nullptr);
    }
};

#endif
