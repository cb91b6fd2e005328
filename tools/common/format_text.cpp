#include "format_text.h"

#include <stdarg.h>
#include <stdio.h>

#include <vector>

// Sized by a first pass, so long listings lines are never cut short.
std::string FormatText(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    int length = vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer((size_t)length + 1);
        vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), (size_t)length);
    }
    va_end(again);
    return text;
}

std::string FileStem(const std::string &path)
{
    const size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}
