// Loading QUILLREC.dll as the driver's thunk reaches it: by ordinal, with
// every scalar passed as a pointer to a variable of its width.
#ifndef QUILLREC_EXPORTS_H
#define QUILLREC_EXPORTS_H

#include <string>

#include "quillrec.h"

struct QuillrecExports {
    HMODULE module;
    PFN_GetEmfFileDC32 GetEmfFileDC32;
    PFN_CloseEmfFile32 CloseEmfFile32;
    PFN_DeleteObject32 DeleteObject32;
    PFN_Output32 Output32;
    PFN_Raster32 Raster32;
    PFN_Dib32 Dib32;
    PFN_TextOut32 TextOut32;
    PFN_GetEmfFilePath32 GetEmfFilePath32;
    PFN_SetClipRect32 SetClipRect32;
};

// Loads the DLL from path and finds all nine exports by ordinal. On failure
// returns false with a message naming what was missing.
bool LoadQuillrec(const char *path, QuillrecExports *exports, std::string *error);
void UnloadQuillrec(QuillrecExports *exports);

// The folder of the running program, with a trailing backslash.
std::string ProgramFolder();

#endif
