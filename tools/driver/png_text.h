// A line of text stored in a PNG file, where picture viewers show it.
#ifndef QUILLREC_PNG_TEXT_H
#define QUILLREC_PNG_TEXT_H

#include <string>

// Adds a tEXt chunk (Latin-1 keyword and text) right after the header chunk.
bool AddPngText(const std::string &path, const std::string &keyword, const std::string &text);

#endif
