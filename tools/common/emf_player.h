// Playback of a spool file into a bitmap, as a spooler plays it onto a page.
#ifndef QUILLREC_EMF_PLAYER_H
#define QUILLREC_EMF_PLAYER_H

#include <stdint.h>

#include <vector>

// Plays the file into a white 32-bit bitmap of width x height pixels, the
// picture frame stretched over the whole bitmap as a spooler stretches it
// over the page. Pixels are 0x00RRGGBB, top row first. False when GDI cannot
// read or play the file.
bool RenderEmf(const char *path, int width, int height, std::vector<uint32_t> *pixels);

#endif
