// The picture writer: 32-bit pixels as a 24-bit PNG file, deflated by zlib.
#include "png_writer.h"

#include <stdio.h>

#include <zlib.h>

namespace {

void PutBigEndian(std::vector<uint8_t> *out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back((uint8_t)(value >> shift));
    }
}

// One PNG chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<uint8_t> *out, const char *type, const std::vector<uint8_t> &data)
{
    PutBigEndian(out, (uint32_t)data.size());
    const size_t typeAt = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    PutBigEndian(out, (uint32_t)crc32(0, out->data() + typeAt, (uInt)(out->size() - typeAt)));
}

} // namespace

bool WritePng(const char *path, int width, int height, const std::vector<uint32_t> &pixels, uint32_t pixelsPerMetre)
{
    if (width < 1 || height < 1 || pixels.size() != (size_t)width * height) {
        return false;
    }
    // Rows of filter byte 0 and RGB triples, deflated in one piece.
    const size_t rowSize = 1 + (size_t)width * 3;
    std::vector<uint8_t> raw(rowSize * height);
    for (int y = 0; y < height; ++y) {
        uint8_t *row = raw.data() + rowSize * y;
        row[0] = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[(size_t)y * width + x];
            row[1 + x * 3] = (uint8_t)(pixel >> 16);
            row[2 + x * 3] = (uint8_t)(pixel >> 8);
            row[3 + x * 3] = (uint8_t)pixel;
        }
    }
    uLongf packedSize = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), (uLong)raw.size(), 6) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);
    std::vector<uint8_t> header;
    PutBigEndian(&header, (uint32_t)width);
    PutBigEndian(&header, (uint32_t)height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits a channel, RGB, deflate, no interlace
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(&file, "IHDR", header);
    if (pixelsPerMetre != 0) {
        // the page's true size, for viewers and PDF makers
        std::vector<uint8_t> density;
        PutBigEndian(&density, pixelsPerMetre);
        PutBigEndian(&density, pixelsPerMetre);
        density.push_back(1); // unit: the metre
        PutChunk(&file, "pHYs", density);
    }
    PutChunk(&file, "IDAT", packed);
    PutChunk(&file, "IEND", {});
    FILE *out = fopen(path, "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    return fclose(out) == 0 && written;
}
