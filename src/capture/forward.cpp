// The entry routine and the real DLL behind the capture DLL.
#include "capture/capture.h"

static HINSTANCE self;
static char folder[MAX_PATH + 1];
static RealExports real;
static HMODULE realModule;
static enum { REAL_NOT_TRIED, REAL_LOADED, REAL_MISSING } realState;

// Attach makes the capture lock (nothing a lock needs is missing yet);
// loading the real DLL here, under the loader lock, is what the loader
// forbids, so that waits for the first call. Detach cuts the file to its last
// whole half and closes it. The real DLL is freed only when the driver
// unloads this one: when the process is ending (reserved not NULL) the system
// unloads it, and other threads may have died anywhere.
extern "C" BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        CaptureAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
        CaptureDetach(reserved != NULL);
        if (reserved == NULL && realState == REAL_LOADED) {
            FreeLibrary(realModule);
            realState = REAL_NOT_TRIED;
        }
    }
    return TRUE;
}

const char *OwnFolder(void)
{
    if (folder[0] == '\0') {
        DWORD length = GetModuleFileNameA(self, folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            length = 0;
        }
        while (length > 0 && folder[length - 1] != '\\' && folder[length - 1] != '/') {
            --length;
        }
        folder[length] = '\0';
    }
    return folder;
}

static void Load(void)
{
    char path[MAX_PATH + 16];
    Append(path, Append(path, 0, sizeof path, OwnFolder()), sizeof path, CAPTURE_REAL_DLL);
    HMODULE module = LoadLibraryA(path);
    if (module == NULL) {
        DWORD error = GetLastError();
        Put("; the real DLL ");
        Put(path);
        Put(" cannot be loaded\n");
        StopCapture("every call fails", error);
        return;
    }
    int missing = QuillrecFindCalls(module, &real);
    if (missing != 0) {
        FreeLibrary(module);
        Put("; the real DLL ");
        Put(path);
        Put(" has no export at ordinal ");
        PutDecimal(missing);
        PutChar('\n');
        StopCapture("every call fails", 0);
        return;
    }
    realModule = module;
    realState = REAL_LOADED;
}

// Under the capture lock: one thread loads, and every other waits for the
// answer instead of seeing a DLL not loaded yet.
const RealExports *RealDll(void)
{
    if (realState == REAL_NOT_TRIED) {
        realState = REAL_MISSING;
        Load();
    }
    return realState == REAL_LOADED ? &real : NULL;
}
