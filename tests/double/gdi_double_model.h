// Shared insides of the GDI test double; not for tests.
#ifndef QUILLREC_GDI_DOUBLE_MODEL_H
#define QUILLREC_GDI_DOUBLE_MODEL_H

#include "gdi_double.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace gdi_double {

struct Plan {
    std::string function;
    int nth = 1;
    bool every = false;
    bool hasValue = false;
    int64_t value = 0;
    // Kept by the double as the calls come, after what the test asked for.
    int seen = 0;
    bool fired = false;
};

struct Model {
    uintptr_t nextHandle = 0;
    std::map<uintptr_t, GdiObjectInfo> objects;
    std::map<uintptr_t, GdiBlockInfo> blocks;
    std::deque<GdiCall> calls;
    std::vector<Plan> plans;
    std::map<std::string, int64_t> returns;
    std::vector<std::string> misuse;
    UINT acp = 1252;
    std::string windowsDirectory;
    std::set<std::string> missingDirectories;  // normalised: upper case, no trailing backslash
    UINT nextUnique = 1;
    std::vector<std::string> tempFiles;
};

Model &TheModel();
uintptr_t NewHandle();

// One argument as the dump shows it.
struct Arg {
    int64_t value;
    std::string text;
};
Arg Dec(int64_t value);
Arg Hex(uint64_t value);
Arg Handle(const void *handle);
Arg Pointer(const void *pointer, const std::string &shown);  // shown replaces the address in the dump
std::string HexText(uint64_t value);
std::string Quoted(const char *text);  // "null" for a null pointer
// Text for the dump: printable ASCII as it is, any other unit as `format`
// prints it, after `open` and before a closing quote. Paths keep their
// backslashes; in drawn strings they are escaped too.
template <class Unit>
std::string EscapedText(const Unit *units, size_t count, const char *open, const char *format, bool keepBackslash)
{
    std::string shown = open;
    for (size_t i = 0; i < count; ++i) {
        unsigned unit = units[i];
        if (unit < 0x20 || unit >= 0x7F || unit == '"' || (unit == '\\' && !keepBackslash)) {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, format, unit);
            shown += escaped;
        } else {
            shown += (char)unit;
        }
    }
    return shown + "\"";
}
std::string PointsText(const std::vector<POINT> &points);
std::string RectText(const RECT &rect);

// Appends a call, decides whether it is to fail, snapshots the DC state.
// Returns its index in the log for the helpers below.
size_t BeginCall(const char *function, HDC dc, std::vector<Arg> args);
GdiCall &CallAt(size_t call);
bool Injected(size_t call);
int64_t InjectedValue(size_t call, int64_t fallback);
void SetResult(size_t call, int64_t result, bool asHandle);
void Misuse(size_t call, const std::string &problem);
bool ReturnOverride(const std::string &function, int64_t *value);

template <class T> int64_t AsInt(T value)
{
    if constexpr (std::is_pointer_v<T>) {
        return (int64_t)(uintptr_t)value;
    } else {
        return (int64_t)value;
    }
}
template <class T> T FromInt(int64_t value)
{
    if constexpr (std::is_pointer_v<T>) {
        return (T)(uintptr_t)value;
    } else {
        return (T)value;
    }
}

// Ends a failed call (injected or refused): the plan's value when the test
// gave one, else `failure`.
template <class T> T Fail(size_t call, T failure)
{
    int64_t value = InjectedValue(call, AsInt(failure));
    SetResult(call, value, std::is_pointer_v<T>);
    return FromInt<T>(value);
}

// Ends a successful call, applying GdiDoubleSetReturn.
template <class T> T Succeed(size_t call, T result)
{
    int64_t value = AsInt(result);
    if constexpr (!std::is_pointer_v<T>) {
        ReturnOverride(CallAt(call).name, &value);
    }
    SetResult(call, value, std::is_pointer_v<T>);
    return FromInt<T>(value);
}

GdiObjectInfo *FindObject(const void *handle);
GdiObjectInfo &AddObject(GdiKind kind, const char *creator);
bool IsDcKind(GdiKind kind);
const char *KindName(GdiKind kind);
HGDIOBJ GetStockObjectHandle(int index);
// The live DC `dc` names, or null after logging the misuse.
GdiObjectInfo *LiveDc(size_t call, HDC dc);

// DIB layout helpers, all in 64-bit arithmetic so absurd headers stay visible.
int64_t DibStride(int64_t width, int bitCount);
int64_t ColourTableBytes(const BITMAPINFOHEADER &header);
int64_t DibImageBytes(const BITMAPINFOHEADER &header);
std::string NormalisedDirectory(const std::string &directory);

const int64_t kMaxCopyBytes = 256LL * 1024 * 1024;

// A packed DIB as GDI copies it for a pattern brush; empty when refused.
std::vector<uint8_t> PackedDibBytes(const BITMAPINFO *info, UINT usage);

}  // namespace gdi_double

#endif
