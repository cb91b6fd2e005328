// The capture fuzzer's KERNEL32: what the capture DLL's writer calls, over
// two files in memory, the capture and the point file beside it, each on a
// disk that fills at a size the fuzzer chooses. The lock is the caller's
// single thread.
#ifndef QUILLREC_CAPTURE_SYSTEM_H
#define QUILLREC_CAPTURE_SYSTEM_H

#include <cstddef>
#include <vector>

struct Disk {
    std::vector<char> bytes = std::vector<char>(8u << 20);
    size_t size = 0, position = 0, room = 0;
    bool full = false; // the disk refused to grow the file
};
extern Disk gCapture, gPoints;

#endif
