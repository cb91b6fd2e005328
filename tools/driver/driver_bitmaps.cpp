// The bitmaps a job hands over: a job's pixels as a device bitmap and a DIB,
// or its raw bytes in blocks padded to what GDI may read.
#include "driver_bitmaps.h"

#include <stdint.h>

#include "requestmodel/read_sizes.h"

namespace {

// Zeros up to size bytes, where GDI reads more than the job holds.
void PadTo(std::vector<BYTE> *bytes, size_t size)
{
    if (bytes->size() < size) {
        bytes->resize(size, 0);
    }
}

// A bitmap the job gives byte for byte, in blocks padded with zeros to what
// the DLL and GDI read of them: a capture holds only what was read, and a
// hand-written job may hold less.
void MakeRawBitmap(const job::BitmapSetting &setting, DriverBitmap *out)
{
    if (setting.raw == job::BitmapSetting::Raw::Dib) {
        const size_t info = setting.infoSize;
        out->dibInfo.assign(setting.bytes.begin(), setting.bytes.begin() + info);
        // the header's own fields say how much more is read
        PadTo(&out->dibInfo, sizeof(BITMAPINFOHEADER));
        uint32_t bits = 0, row = 0;
        const uint32_t infoRead =
            DibInfoRead(reinterpret_cast<const BITMAPINFO *>(out->dibInfo.data()), DIB_RGB_COLORS, &bits, &row);
        PadTo(&out->dibInfo, infoRead);
        out->dibBits.assign(setting.bytes.begin() + info, setting.bytes.end());
        PadTo(&out->dibBits, bits);
        out->packedDib = setting.bytes;
        PadTo(&out->packedDib, (size_t)infoRead + bits);
        out->noBits = setting.noBits;
        out->noInfo = info == 0;
        return;
    }
    out->bitmap.bmType = setting.type;
    out->bitmap.bmWidth = setting.width;
    out->bitmap.bmHeight = setting.height;
    out->bitmap.bmWidthBytes = setting.widthBytes;
    out->bitmap.bmPlanes = setting.planes;
    out->bitmap.bmBitsPixel = setting.bitsPixel;
    out->deviceBits = setting.bytes;
    uint32_t row = 0;
    out->bitmap.bmBits = &row; // any address: the size rule asks only whether there are bits
    PadTo(&out->deviceBits, DeviceBitsRead(&out->bitmap, &row));
    out->bitmap.bmBits = setting.noBits ? nullptr : out->deviceBits.data();
}

// The BITMAPINFO a job's bitmap goes out with as a DIB: its header and, for
// a mono bitmap, the two colours of its table.
void MakeDibInfo(const job::BitmapSetting &setting, int32_t dibDepth, DriverBitmap *out)
{
    const size_t colors = setting.mono ? 2 : 0;
    out->dibInfo.assign(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER *header = reinterpret_cast<BITMAPINFOHEADER *>(out->dibInfo.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = setting.width;
    header->biHeight = setting.height;
    header->biPlanes = 1;
    header->biBitCount = (WORD)dibDepth;
    header->biCompression = BI_RGB;
    // a colour table counted explicitly is one every recorder keeps
    header->biClrUsed = (DWORD)colors;
    RGBQUAD *table = reinterpret_cast<RGBQUAD *>(header + 1);
    for (size_t i = 0; i < colors; ++i) {
        table[i].rgbRed = (BYTE)(setting.dibColors[i] >> 16);
        table[i].rgbGreen = (BYTE)(setting.dibColors[i] >> 8);
        table[i].rgbBlue = (BYTE)setting.dibColors[i];
    }
}

} // namespace

void MakeDriverBitmap(const job::BitmapSetting &setting, DriverBitmap *out)
{
    if (setting.raw != job::BitmapSetting::Raw::None) {
        MakeRawBitmap(setting, out);
        return;
    }
    const int32_t width = setting.width;
    const int32_t height = setting.height;
    const int depth = setting.mono ? 1 : setting.depth;
    const int32_t deviceStride = ((width * depth + 15) / 16) * 2;
    out->deviceBits.assign((size_t)deviceStride * height, 0);
    const int32_t dibDepth = setting.mono ? 1 : 24;
    const int32_t dibStride = ((width * dibDepth + 31) / 32) * 4;
    out->dibBits.assign((size_t)dibStride * height, 0);
    for (int32_t y = 0; y < height; ++y) {
        BYTE *device = out->deviceBits.data() + (size_t)deviceStride * y;
        BYTE *dib = out->dibBits.data() + (size_t)dibStride * (height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t pixel = setting.pixels[(size_t)y * width + x];
            if (setting.mono) {
                if (pixel) {
                    device[x / 8] |= (BYTE)(0x80 >> (x % 8));
                    dib[x / 8] |= (BYTE)(0x80 >> (x % 8));
                }
                continue;
            }
            BYTE *target = device + (size_t)x * (depth / 8);
            target[0] = (BYTE)pixel;
            target[1] = (BYTE)(pixel >> 8);
            target[2] = (BYTE)(pixel >> 16);
            dib[x * 3] = (BYTE)pixel;
            dib[x * 3 + 1] = (BYTE)(pixel >> 8);
            dib[x * 3 + 2] = (BYTE)(pixel >> 16);
        }
    }
    out->bitmap.bmType = 0;
    out->bitmap.bmWidth = width;
    out->bitmap.bmHeight = height;
    out->bitmap.bmWidthBytes = deviceStride;
    out->bitmap.bmPlanes = 1;
    out->bitmap.bmBitsPixel = (WORD)depth;
    out->bitmap.bmBits = out->deviceBits.data();
    MakeDibInfo(setting, dibDepth, out);
}
