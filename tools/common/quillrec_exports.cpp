#include "quillrec_exports.h"

#include <stdio.h>

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
    int missing = QuillrecFindCalls(exports->module, exports);
    if (missing != 0) {
        char text[64];
        snprintf(text, sizeof text, "no export at ordinal %d", missing);
        *error = text;
        UnloadQuillrec(exports);
    }
    return missing == 0;
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

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolders(const std::string &path)
{
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            if (!partial.empty() && partial.back() != ':') {
                CreateDirectoryA(partial.c_str(), nullptr);
            }
        }
        if (i < path.size()) {
            partial += path[i];
        }
    }
    return IsFolder(path);
}
