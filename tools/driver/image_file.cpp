// Image files a job's bitmaps may come from: Windows BMP and the netpbm
// text formats, decoded into a bitmap setting's pixels.
#include <ctype.h>

#include "job_parser.h"

namespace job {

namespace {

uint32_t Little(const std::string &data, size_t offset, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | (uint8_t)data[offset + i];
    }
    return value;
}

struct BmpLayout {
    uint32_t bitCount;
    uint32_t colorsUsed;
    size_t paletteOffset;
};

// One pixel of a row that starts at `line`: 0x00RRGGBB, or for one bit per
// pixel 0 (ink) or 1 (paper).
uint32_t BmpPixel(const std::string &data, const BmpLayout &layout, size_t line, int32_t x)
{
    const uint32_t bitCount = layout.bitCount;
    if (bitCount == 24 || bitCount == 32) {
        return Little(data, line + (size_t)x * (bitCount / 8), 3);
    }
    const uint8_t byte = (uint8_t)data[line + (size_t)x * bitCount / 8];
    const int shift = 8 - bitCount - (int)(x * bitCount % 8);
    const uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
    // B, G, R bytes -> 0xRRGGBB
    const uint32_t colour = index < layout.colorsUsed ? Little(data, layout.paletteOffset + (size_t)index * 4, 3) : 0;
    if (bitCount != 1) {
        return colour;
    }
    // a bright palette entry is paper: bit 1, the background colour
    const uint32_t sum = (colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF);
    return sum >= 384 ? 1 : 0;
}

bool DecodeBmp(const std::string &data, BitmapSetting *bitmap, std::string *error)
{
    if (data.size() < 54) {
        *error = "too short for a BMP";
        return false;
    }
    const uint32_t bitsOffset = Little(data, 10, 4);
    const uint32_t headerSize = Little(data, 14, 4);
    const int32_t width = (int32_t)Little(data, 18, 4);
    const int32_t rawHeight = (int32_t)Little(data, 22, 4);
    const uint32_t bitCount = Little(data, 28, 2);
    const uint32_t compression = Little(data, 30, 4);
    uint32_t colorsUsed = Little(data, 46, 4);
    if (headerSize < 40 || 14 + (uint64_t)headerSize > data.size()) {
        *error = "expected a BITMAPINFOHEADER";
        return false;
    }
    if (compression != 0) {
        *error = "expected an uncompressed BMP (BI_RGB)";
        return false;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
        *error = "expected 1, 4, 8, 24 or 32 bits per pixel, not " + std::to_string(bitCount);
        return false;
    }
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -(int64_t)rawHeight : rawHeight;
    if (!BitmapSizeFits(width, height)) {
        *error = "expected 1 to 4096 pixels each way";
        return false;
    }
    if (bitCount <= 8 && colorsUsed == 0) {
        colorsUsed = 1u << bitCount;
    }
    const uint64_t paletteOffset = 14 + (uint64_t)headerSize;
    if (bitCount <= 8 && (colorsUsed > 256 || paletteOffset + (uint64_t)colorsUsed * 4 > data.size())) {
        *error = "the colour table runs past the end of the file";
        return false;
    }
    const uint64_t stride = (((uint64_t)width * bitCount + 31) / 32) * 4;
    if ((uint64_t)bitsOffset + stride * height > data.size()) {
        *error = "the pixels run past the end of the file";
        return false;
    }
    const BmpLayout layout = {bitCount, colorsUsed, (size_t)paletteOffset};
    bitmap->width = width;
    bitmap->height = (int32_t)height;
    bitmap->mono = bitCount == 1;
    bitmap->pixels.assign((size_t)width * height, 0);
    for (int64_t row = 0; row < height; ++row) {
        const size_t line = bitsOffset + (size_t)(stride * (topDown ? row : height - 1 - row));
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t pixel = BmpPixel(data, layout, line, x);
            bitmap->pixels[(size_t)row * width + x] = pixel;
        }
    }
    return true;
}

// A netpbm file's numbers: separated by white space, '#' comments to the
// line end; a P1 file may also run its bits together.
bool NetpbmNumbers(const std::string &data, std::vector<int64_t> *out, std::string *error)
{
    std::vector<int64_t> &numbers = *out;
    std::string word;
    bool comment = false;
    for (size_t i = 2; i <= data.size(); ++i) {
        char c = i < data.size() ? data[i] : '\n';
        if (comment) {
            comment = c != '\n';
            continue;
        }
        if (c == '#' || isspace((unsigned char)c)) {
            comment = c == '#';
            if (!word.empty()) {
                int64_t value;
                if (!ParseInteger(word, &value) || value < 0) {
                    *error = "expected numbers, found '" + word + "'";
                    return false;
                }
                numbers.push_back(value);
                word.clear();
            }
            continue;
        }
        if (data[1] == '1' && numbers.size() >= 2 && (c == '0' || c == '1')) {
            numbers.push_back(c - '0');
            continue;
        }
        word += c;
    }
    return true;
}

bool DecodeNetpbm(const std::string &data, BitmapSetting *bitmap, std::string *error)
{
    std::vector<int64_t> numbers;
    if (!NetpbmNumbers(data, &numbers, error)) {
        return false;
    }
    const bool pbm = data[1] == '1';
    const size_t headerCount = pbm ? 2 : 3;
    if (numbers.size() < headerCount) {
        *error = pbm ? "expected width and height" : "expected width, height and maximum value";
        return false;
    }
    const int64_t width = numbers[0], height = numbers[1];
    if (!BitmapSizeFits(width, height)) {
        *error = "expected 1 to 4096 pixels each way";
        return false;
    }
    const int64_t maximum = pbm ? 1 : numbers[2];
    if (maximum < 1 || maximum > 65535) {
        *error = "expected a maximum value from 1 to 65535";
        return false;
    }
    const size_t samples = (size_t)(width * height * (pbm ? 1 : 3));
    if (numbers.size() != headerCount + samples) {
        *error =
            "expected " + std::to_string(samples) + " samples, found " + std::to_string(numbers.size() - headerCount);
        return false;
    }
    bitmap->width = (int32_t)width;
    bitmap->height = (int32_t)height;
    bitmap->mono = pbm;
    bitmap->pixels.clear();
    for (size_t i = 0; i < (size_t)(width * height); ++i) {
        if (pbm) {
            // PBM's 1 is black ink: the text colour, bit 0 of a device bitmap
            bitmap->pixels.push_back(numbers[headerCount + i] ? 0 : 1);
            continue;
        }
        uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c) {
            int64_t sample = numbers[headerCount + i * 3 + c];
            if (sample > maximum) {
                *error = "a sample exceeds the maximum value";
                return false;
            }
            rgb = (rgb << 8) | (uint32_t)(sample * 255 / maximum);
        }
        bitmap->pixels.push_back(rgb);
    }
    return true;
}

} // namespace

bool DecodeImage(const std::string &contents, BitmapSetting *bitmap, std::string *error)
{
    if (contents.size() >= 2 && contents[0] == 'B' && contents[1] == 'M') {
        return DecodeBmp(contents, bitmap, error);
    }
    if (contents.size() >= 2 && contents[0] == 'P' && (contents[1] == '1' || contents[1] == '3')) {
        return DecodeNetpbm(contents, bitmap, error);
    }
    *error = "expected a BMP file or a text PBM (P1) or PPM (P3) file";
    return false;
}

} // namespace job
