// Windows builds only. GCC may emit calls to memcpy and memset for record
// copies and zero-initialised locals even in freestanding code; the shipped
// image links no C runtime, so it carries these two itself.
#include "platform.h"

extern "C" void *memcpy(void *destination, const void *source, size_t count)
{
    CopyBytes(destination, source, count);
    return destination;
}

extern "C" void *memset(void *destination, int value, size_t count)
{
    FillBytes(destination, (unsigned char)value, count);
    return destination;
}
