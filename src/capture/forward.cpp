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

// Through the generic function pointer type, which converts to any other
// without a cast-function-type warning.
typedef void (*AnyFunction)(void);

static AnyFunction Find(HMODULE module, int ordinal, int *missing)
{
    AnyFunction found = (AnyFunction)GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    if (found == NULL) {
        *missing = ordinal;
    }
    return found;
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
    int missing = 0;
    real.GetEmfFileDC32 = (PFN_GetEmfFileDC32)Find(module, ORDINAL_GetEmfFileDC32, &missing);
    real.CloseEmfFile32 = (PFN_CloseEmfFile32)Find(module, ORDINAL_CloseEmfFile32, &missing);
    real.DeleteObject32 = (PFN_DeleteObject32)Find(module, ORDINAL_DeleteObject32, &missing);
    real.Output32 = (PFN_Output32)Find(module, ORDINAL_Output32, &missing);
    real.Raster32 = (PFN_Raster32)Find(module, ORDINAL_Raster32, &missing);
    real.Dib32 = (PFN_Dib32)Find(module, ORDINAL_Dib32, &missing);
    real.TextOut32 = (PFN_TextOut32)Find(module, ORDINAL_TextOut32, &missing);
    real.GetEmfFilePath32 = (PFN_GetEmfFilePath32)Find(module, ORDINAL_GetEmfFilePath32, &missing);
    real.SetClipRect32 = (PFN_SetClipRect32)Find(module, ORDINAL_SetClipRect32, &missing);
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
