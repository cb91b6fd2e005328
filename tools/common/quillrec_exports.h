// Loading QUILLREC.dll as the driver's thunk reaches it: by ordinal, with
// every scalar passed as a pointer to a variable of its width.
#ifndef QUILLREC_EXPORTS_H
#define QUILLREC_EXPORTS_H

#include <string>

#include "quillrec.h"
#include "requestmodel/quillrec_calls.h"

// The calls, and the module to unload when done.
struct QuillrecExports : QuillrecCalls {
    HMODULE module;
};

// Loads the DLL from path and finds all nine exports by ordinal. On failure
// returns false with a message naming what was missing.
bool LoadQuillrec(const char *path, QuillrecExports *exports, std::string *error);
void UnloadQuillrec(QuillrecExports *exports);

// The exports linked in directly, where there is no module to load (the
// host's benches and fuzzer, built with the library itself).
inline QuillrecCalls LinkedQuillrecCalls()
{
    return QuillrecCalls{&GetEmfFileDC32, &CloseEmfFile32, &DeleteObject32,   &Output32,     &Raster32,
                         &Dib32,          &TextOut32,      &GetEmfFilePath32, &SetClipRect32};
}

// The folder of the running program, with a trailing backslash.
std::string ProgramFolder();

// Whether path names an existing folder; making it, and the folders above
// it, when it does not.
bool IsFolder(const std::string &path);
bool CreateFolders(const std::string &path);

// folder + separator + name, with the separator the folder already uses
// ('\\' for a Windows path such as Z:\tmp\out, else '/'), so the paths the
// tools print are written one way.
std::string JoinPath(const std::string &folder, const std::string &name);

#endif
