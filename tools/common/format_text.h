// Text for listings, dumps and error messages: printf into a std::string, and
// the names of files.
#ifndef QUILLREC_FORMAT_TEXT_H
#define QUILLREC_FORMAT_TEXT_H

#include <string>

#if defined(__MINGW32__)
std::string FormatText(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
std::string FormatText(const char *format, ...) __attribute__((format(printf, 1, 2)));
#endif

// "samples/form.job" -> "form": the name without its folder and extension.
std::string FileStem(const std::string &path);

#endif
