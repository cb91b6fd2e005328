// A tEXt chunk added to a finished PNG file.
#include "png_text.h"

#include <stdint.h>
#include <stdio.h>

#include <zlib.h>

namespace {

bool ReadAll(const std::string &path, std::string *bytes)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->append(buffer, got);
    }
    return fclose(file) == 0;
}

void PutBig32(std::string *out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back((char)(value >> shift));
    }
}

} // namespace

bool AddPngText(const std::string &path, const std::string &keyword, const std::string &text)
{
    // signature (8 bytes), then IHDR: length, type, 13 bytes, CRC
    const size_t afterHeader = 8 + 4 + 4 + 13 + 4;
    std::string bytes;
    if (!ReadAll(path, &bytes) || bytes.size() < afterHeader || bytes.compare(12, 4, "IHDR") != 0) {
        return false;
    }
    const std::string body = "tEXt" + keyword + std::string(1, '\0') + text;
    std::string chunk;
    PutBig32(&chunk, (uint32_t)(body.size() - 4));
    chunk += body;
    PutBig32(&chunk, (uint32_t)crc32(0, reinterpret_cast<const Bytef *>(body.data()), (uInt)body.size()));
    bytes.insert(afterHeader, chunk);
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}
