// The entry routine and the real DLL behind the capture DLL.
#include "capture/capture.h"

static HINSTANCE self;
static char folder[MAX_PATH + 1];
static RealExports real;
static enum { REAL_NOT_TRIED, REAL_LOADED, REAL_MISSING } realState;

// Only remembers the module: loading the real DLL here, under the loader
// lock, is what the loader forbids, so that waits for the first call.
extern "C" BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
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
        Put(" cannot be loaded");
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
        StopCapture("every call fails", 0);
        return;
    }
    realState = REAL_LOADED;
}

const RealExports *RealDll(void)
{
    if (realState == REAL_NOT_TRIED) {
        realState = REAL_MISSING;
        Load();
    }
    return realState == REAL_LOADED ? &real : NULL;
}
