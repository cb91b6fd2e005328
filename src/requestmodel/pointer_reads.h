// How many bytes the library, and GDI behind it, read through the pointers
// to bitmaps a request carries: a device bitmap's bits, a DIB's header with
// its colour table, and a DIB's bits. A caller that copies a request into
// other memory (the 16-bit replayer's arena) copies exactly these.
#ifndef QUILLREC_POINTER_READS_H
#define QUILLREC_POINTER_READS_H

#include "quillrec.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Past this no bits are read: GDI could not hold the bitmap either. */
#define POINTER_READS_LARGEST_BITS (64u << 20)

static inline uint32_t PointerReadsMagnitude(int32_t value)
{
    return value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
}

/* height rows of width pixels at depth bits, each padded to align bytes;
   0 past POINTER_READS_LARGEST_BITS. */
static inline uint32_t PointerReadsRows(uint32_t width, uint32_t height, uint32_t depth, uint32_t align)
{
    uint64_t row = ((uint64_t)width * depth + 8 * align - 1) / (8 * align) * align;
    uint64_t total = 0;
    if (__builtin_mul_overflow(row, (uint64_t)height, &total) || total > POINTER_READS_LARGEST_BITS) {
        return 0;
    }
    return (uint32_t)total;
}

/* A device bitmap's bits: word-aligned rows at the depth GDI rounds it to;
   0 when GDI refuses the BITMAP before reading any. */
static inline uint32_t DeviceBitsRead(const BITMAP *bitmap)
{
    uint32_t depth = bitmap->bmBitsPixel;
    if (bitmap->bmType != 0 || bitmap->bmPlanes != 1 || depth == 0 || depth > 32 || bitmap->bmBits == NULL) {
        return 0;
    }
    depth = depth == 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
    return PointerReadsRows(PointerReadsMagnitude(bitmap->bmWidth), PointerReadsMagnitude(bitmap->bmHeight), depth,
                            2);
}

/* A DIB's header and colour table as GDI reads them with DIB_RGB_COLORS;
   4 (biSize alone) for a header GDI refuses. */
static inline uint32_t DibInfoRead(const BITMAPINFO *info)
{
    uint32_t headerSize = info->bmiHeader.biSize;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        const BITMAPCOREHEADER *core = (const BITMAPCOREHEADER *)info;
        return headerSize + (core->bcBitCount <= 8 ? 3u << core->bcBitCount : 0);
    }
    if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > 4096) {
        return 4;
    }
    uint32_t depth = info->bmiHeader.biBitCount;
    uint32_t colours = info->bmiHeader.biClrUsed;
    if (depth <= 8 && (colours == 0 || colours > (1u << depth))) {
        colours = 1u << depth;
    } else if (depth > 8 && colours > 256) {
        colours = 256;
    }
    uint32_t masks = info->bmiHeader.biCompression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    return headerSize + masks + colours * 4;
}

/* A DIB's bits: whole dword-aligned rows, or biSizeImage for the
   compressed kinds. */
static inline uint32_t DibBitsRead(const BITMAPINFO *info)
{
    uint32_t headerSize = info->bmiHeader.biSize;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        const BITMAPCOREHEADER *core = (const BITMAPCOREHEADER *)info;
        return PointerReadsRows(core->bcWidth, core->bcHeight, core->bcBitCount, 4);
    }
    if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > 4096) {
        return 0;
    }
    uint32_t compression = info->bmiHeader.biCompression;
    if (compression != BI_RGB && compression != BI_BITFIELDS) {
        return info->bmiHeader.biSizeImage <= POINTER_READS_LARGEST_BITS ? info->bmiHeader.biSizeImage : 0;
    }
    return PointerReadsRows(PointerReadsMagnitude(info->bmiHeader.biWidth),
                            PointerReadsMagnitude(info->bmiHeader.biHeight), info->bmiHeader.biBitCount, 4);
}

#ifdef __cplusplus
}
#endif

#endif
