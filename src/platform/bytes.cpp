#include "platform.h"

// Plain loops on purpose: the Windows builds link no C runtime, and the build
// keeps the compiler from turning these loops back into memcpy/memset calls.
void CopyBytes(void *destination, const void *source, size_t count)
{
    unsigned char *to = (unsigned char *)destination;
    const unsigned char *from = (const unsigned char *)source;
    while (count-- != 0) {
        *to++ = *from++;
    }
}

void FillBytes(void *destination, unsigned char value, size_t count)
{
    unsigned char *to = (unsigned char *)destination;
    while (count-- != 0) {
        *to++ = value;
    }
}
