// printf into a std::string, for listings, dumps and error messages.
#ifndef QUILLREC_FORMAT_TEXT_H
#define QUILLREC_FORMAT_TEXT_H

#include <string>

#if defined(__MINGW32__)
std::string FormatText(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string FormatText(const char *format, ...) __attribute__((format(printf, 1, 2)));
#endif

#endif
