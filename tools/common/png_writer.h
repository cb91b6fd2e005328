// The picture writer: pixels as a PNG file.
#ifndef QUILLREC_PNG_WRITER_H
#define QUILLREC_PNG_WRITER_H

#include <stdint.h>

#include <vector>

// Writes 32-bit pixels (top row first) as a 24-bit PNG file; with
// pixelsPerMetre, the picture's size on paper.
bool WritePng(const char *path, int width, int height, const std::vector<uint32_t> &pixels,
              uint32_t pixelsPerMetre = 0);

#endif
