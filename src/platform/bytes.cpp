#include "platform.h"

// Plain loops on purpose: the Windows builds link no C runtime, and the build
// keeps the compiler from turning these loops back into memcpy/memset calls.
// They also serve as the image's memcpy and memset, which the compiler calls
// for every zeroed local record and record copy, so they move a machine word
// at a time once the destination is aligned; a byte at a time cost about four
// instructions per byte.

// A word that may alias any type, as memcpy and memset must.
typedef size_t __attribute__((may_alias)) AliasedWord;

static const size_t kWordMask = sizeof(size_t) - 1;

void CopyBytes(void *destination, const void *source, size_t count)
{
    unsigned char *to = (unsigned char *)destination;
    const unsigned char *from = (const unsigned char *)source;
    while (count != 0 && ((uintptr_t)to & kWordMask) != 0) {
        *to++ = *from++;
        --count;
    }
    // Words only when the source is aligned alike; copying forward a word at
    // a time reads each word before writing it, as the byte loop does.
    if (((uintptr_t)from & kWordMask) == 0) {
        while (count >= sizeof(size_t)) {
            *(AliasedWord *)to = *(const AliasedWord *)from;
            to += sizeof(size_t);
            from += sizeof(size_t);
            count -= sizeof(size_t);
        }
    }
    while (count-- != 0) {
        *to++ = *from++;
    }
}

void FillBytes(void *destination, unsigned char value, size_t count)
{
    unsigned char *to = (unsigned char *)destination;
    while (count != 0 && ((uintptr_t)to & kWordMask) != 0) {
        *to++ = value;
        --count;
    }
    size_t word = (size_t)value * ((size_t)-1 / 0xFF); // value in every byte
    while (count >= sizeof(size_t)) {
        *(AliasedWord *)to = word;
        to += sizeof(size_t);
        count -= sizeof(size_t);
    }
    while (count-- != 0) {
        *to++ = value;
    }
}
