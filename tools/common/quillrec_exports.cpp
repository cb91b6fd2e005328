#include "quillrec_exports.h"

#include <stdio.h>

// Through the generic function pointer type, which converts to any other
// without a cast-function-type warning.
typedef void (*AnyFunction)(void);

template <typename Function> static Function Find(HMODULE module, int ordinal, std::string *error)
{
    Function found =
        reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
    if (found == NULL) {
        char text[64];
        snprintf(text, sizeof text, "no export at ordinal %d", ordinal);
        *error = text;
    }
    return found;
}

bool LoadQuillrec(const char *path, QuillrecExports *exports, std::string *error)
{
    *exports = QuillrecExports();
    exports->module = LoadLibraryA(path);
    if (exports->module == NULL) {
        char text[512];
        snprintf(text, sizeof text, "cannot load %s (error %lu)", path, (unsigned long)GetLastError());
        *error = text;
        return false;
    }
    HMODULE m = exports->module;
    exports->GetEmfFileDC32 = Find<PFN_GetEmfFileDC32>(m, ORDINAL_GetEmfFileDC32, error);
    exports->CloseEmfFile32 = Find<PFN_CloseEmfFile32>(m, ORDINAL_CloseEmfFile32, error);
    exports->DeleteObject32 = Find<PFN_DeleteObject32>(m, ORDINAL_DeleteObject32, error);
    exports->Output32 = Find<PFN_Output32>(m, ORDINAL_Output32, error);
    exports->Raster32 = Find<PFN_Raster32>(m, ORDINAL_Raster32, error);
    exports->Dib32 = Find<PFN_Dib32>(m, ORDINAL_Dib32, error);
    exports->TextOut32 = Find<PFN_TextOut32>(m, ORDINAL_TextOut32, error);
    exports->GetEmfFilePath32 = Find<PFN_GetEmfFilePath32>(m, ORDINAL_GetEmfFilePath32, error);
    exports->SetClipRect32 = Find<PFN_SetClipRect32>(m, ORDINAL_SetClipRect32, error);
    bool complete = exports->GetEmfFileDC32 && exports->CloseEmfFile32 && exports->DeleteObject32 &&
                    exports->Output32 && exports->Raster32 && exports->Dib32 && exports->TextOut32 &&
                    exports->GetEmfFilePath32 && exports->SetClipRect32;
    if (!complete) {
        UnloadQuillrec(exports);
    }
    return complete;
}

void UnloadQuillrec(QuillrecExports *exports)
{
    if (exports->module != NULL) {
        FreeLibrary(exports->module);
    }
    *exports = QuillrecExports();
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}
