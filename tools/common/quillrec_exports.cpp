#include "quillrec_exports.h"

#include <stdio.h>

// What a failed LoadLibrary means for the user, for the errors a wrong
// --dll gives; the system's own text for the rest.
static std::string LoadErrorText(DWORD error)
{
    switch (error) {
    case ERROR_MOD_NOT_FOUND:
        return "the file, or a DLL it needs, is not there";
    case ERROR_BAD_EXE_FORMAT:
        return sizeof(void *) == 8 ? "it is not a 64-bit DLL (a 32-bit QUILLREC.dll needs the 32-bit simulator, "
                                     "build/win32/quillrec_driver.exe)"
                                   : "it is not a 32-bit DLL (a 64-bit QUILLREC.dll needs the 64-bit simulator, "
                                     "build/win64/quillrec_driver.exe)";
    case ERROR_DLL_INIT_FAILED:
        return "its entry routine refused to load";
    default:
        break;
    }
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text, sizeof text, NULL);
    std::string words(text);
    words.erase(words.find_last_not_of(" \r\n.") + 1);
    return words.empty() ? "the system gives no reason" : words;
}

bool LoadQuillrec(const char *path, QuillrecExports *exports, std::string *error)
{
    *exports = QuillrecExports();
    exports->module = LoadLibraryA(path);
    if (exports->module == NULL) {
        const DWORD code = GetLastError();
        char text[768];
        snprintf(text, sizeof text, "cannot load %s: %s (error %lu)", path, LoadErrorText(code).c_str(),
                 (unsigned long)code);
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

std::string JoinPath(const std::string &folder, const std::string &name)
{
    const bool windows = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
    const char separator = windows ? '\\' : '/';
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') {
        return folder + name;
    }
    return folder + separator + name;
}
