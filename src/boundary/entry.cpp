#include "platform.h"

// The library keeps no state, so there is nothing to set up or tear down for
// any reason the loader calls with.
extern "C" QUILLREC_EXTERNAL BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
