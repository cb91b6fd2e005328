// Temporary memory and the sizes that ask for it. Every block the library
// allocates is zero-filled, movable, locked for the length of one request and
// freed before the request returns; every size handed to GlobalAlloc is
// computed with overflow checks first.
#ifndef QUILLREC_MEMORY_H
#define QUILLREC_MEMORY_H

#include "platform.h"

// a * b + c, or false when it does not fit: a size that does not fit is a
// failure, never a wrapped value. Unsigned for byte counts, signed for the row
// arithmetic GDI defines on the signed fields of its records.
static inline bool CheckedSize(uint32_t a, uint32_t b, uint32_t c, uint32_t *result)
{
    uint32_t product;
    return !__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, c, result);
}

static inline bool CheckedSize(int32_t a, int32_t b, int32_t c, int32_t *result)
{
    int32_t product;
    return !__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, c, result);
}

// One global block: empty, allocated (lock failed), or allocated and locked.
struct GlobalBlock {
    HGLOBAL handle;
    void *address; // non-null while locked
};

// Allocates and locks size zero-filled bytes: the address, or null when
// either step failed. A block that could not be locked stays in *block and is
// freed by ReleaseGlobalBlock, so that a request releasing several blocks
// frees them in its own release order whatever failed.
static inline void *AcquireGlobalBlock(SIZE_T size, GlobalBlock *block)
{
    block->address = NULL;
    block->handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block->handle != NULL) {
        block->address = GlobalLock(block->handle);
    }
    return block->address;
}

// Unlocks what is locked, frees what is allocated; an empty block is left alone.
static inline void ReleaseGlobalBlock(GlobalBlock *block)
{
    if (block->handle != NULL) {
        if (block->address != NULL) {
            GlobalUnlock(block->handle);
        }
        GlobalFree(block->handle);
    }
    block->handle = NULL;
    block->address = NULL;
}

#endif
