// The bitmaps a job hands over, in the memory layouts a printer driver
// holds them in.
#ifndef QUILLREC_DRIVER_BITMAPS_H
#define QUILLREC_DRIVER_BITMAPS_H

#include <vector>

#include <windows.h>

#include "job_parser.h"

// A bitmap in the two forms a driver hands over: a device bitmap (BITMAP
// with word-aligned rows, top row first) and a DIB (BITMAPINFO with
// dword-aligned rows, bottom row first).
struct DriverBitmap {
    BITMAP bitmap = {};
    std::vector<BYTE> deviceBits;
    std::vector<BYTE> dibInfo; // BITMAPINFOHEADER and colour table
    std::vector<BYTE> dibBits;
    std::vector<BYTE> packedDib; // a raw DIB's header, colour table and bits in one block
    bool noBits = false;         // a raw DIB passed without bits
    bool noInfo = false;         // a raw DIB passed without BITMAPINFO (info=0)
};

// The driver's forms of a job's bitmap: drawn from its pixels, or its bytes
// as the job gives them.
void MakeDriverBitmap(const job::BitmapSetting &setting, DriverBitmap *out);

#endif
