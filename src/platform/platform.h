// The one place that knows where the Win32 GDI and KERNEL32 operations come
// from: <windows.h> in the Windows builds, the host declarations (defined by
// the GDI test double) in the host build.
#ifndef QUILLREC_PLATFORM_H
#define QUILLREC_PLATFORM_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <stddef.h>
#include <stdint.h>
#include <windows.h>
#else
#include "host_win32.h"
#endif

#include "quillrec.h"

// Handles cross the boundary as 32-bit variables. GDI and USER handles are
// 32-bit values sign-extended on 64-bit Windows, so the round trip is exact.
static inline HANDLE HandleFrom32(Handle32 value)
{
    return (HANDLE)(intptr_t)(int32_t)value;
}

static inline Handle32 HandleTo32(const void *handle)
{
    return (Handle32)(uintptr_t)handle;
}

// A GDI drawing call's result as the library reports it: 0 drawn, -1 not.
static inline int32_t DrawResult(BOOL drawn)
{
    return drawn ? 0 : -1;
}

// The image is compiled as one unit in which everything is internal
// (-fwhole-program), so that the procedures a request passes through can be
// inlined into it. What is called from outside that unit stays visible: the
// exports, the entry routine, and the byte loops behind memcpy and memset.
#if defined(__clang__)
#define QUILLREC_EXTERNAL // clang builds (fuzzing) compile file by file
#else
#define QUILLREC_EXTERNAL __attribute__((externally_visible))
#endif

// The shipped image has no C runtime: these stand in for memcpy/memset.
QUILLREC_EXTERNAL void CopyBytes(void *destination, const void *source, size_t count);
QUILLREC_EXTERNAL void FillBytes(void *destination, unsigned char value, size_t count);

#endif
