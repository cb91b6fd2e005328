// Bitmaps and DIBs: CreateBitmapIndirect, GetDIBits, StretchDIBits and
// CreateDIBPatternBrushPt.
//
// Colour model of device bitmaps: 1 bpp is black (0) and white (1); 4 bpp
// indexes the 16 VGA colours below; 8 bpp index i is the grey (i, i, i);
// 16 bpp is 5-5-5 RGB; 24 and 32 bpp are blue, green, red (and an unused
// byte). GetDIBits converts into any of these formats, choosing the nearest
// colour of the 1, 4 and 8 bpp tables, and writes those tables as the
// header's colour table, so a bitmap read back in its own depth keeps its
// indexes.
#include "gdi_double_model.h"

#include <algorithm>
#include <cstring>

using namespace gdi_double;

namespace {

const uint32_t kVga16[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};  // 0xRRGGBB

uint32_t Red(uint32_t rgb) { return (rgb >> 16) & 0xFF; }
uint32_t Green(uint32_t rgb) { return (rgb >> 8) & 0xFF; }
uint32_t Blue(uint32_t rgb) { return rgb & 0xFF; }

uint32_t TableColour(int bitCount, int index)
{
    if (bitCount == 1) {
        return index == 0 ? 0x000000 : 0xFFFFFF;
    }
    if (bitCount == 4) {
        return kVga16[index & 15];
    }
    return (uint32_t)index * 0x010101;
}

int NearestIndex(int bitCount, uint32_t rgb)
{
    if (bitCount == 8) {
        return (int)((Red(rgb) + Green(rgb) + Blue(rgb) + 1) / 3);
    }
    int entries = bitCount == 1 ? 2 : 16;
    int best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < entries; ++i) {
        uint32_t entry = TableColour(bitCount, i);
        int64_t dr = (int64_t)Red(rgb) - Red(entry), dg = (int64_t)Green(rgb) - Green(entry),
                db = (int64_t)Blue(rgb) - Blue(entry);
        int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// Device bitmaps hold rows padded to 16 bits, whatever bmWidthBytes says.
int64_t DeviceStride(int64_t width, int bitCount)
{
    return ((width * bitCount + 15) / 16) * 2;
}

int RoundedBitCount(int bitsPixel)
{
    if (bitsPixel == 1) return 1;
    if (bitsPixel >= 2 && bitsPixel <= 4) return 4;
    if (bitsPixel >= 5 && bitsPixel <= 8) return 8;
    if (bitsPixel >= 9 && bitsPixel <= 16) return 16;
    if (bitsPixel >= 17 && bitsPixel <= 24) return 24;
    if (bitsPixel >= 25 && bitsPixel <= 32) return 32;
    return 0;
}

uint32_t ReadPixel(const GdiObjectInfo &bitmap, int x, int row)
{
    const uint8_t *line = bitmap.bits.data() + (size_t)row * (size_t)bitmap.bitsStride;
    switch (bitmap.bitCount) {
    case 1: return TableColour(1, (line[x / 8] >> (7 - x % 8)) & 1);
    case 4: return TableColour(4, (line[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15);
    case 8: return TableColour(8, line[x]);
    case 16: {
        uint32_t v = (uint32_t)line[2 * x] | ((uint32_t)line[2 * x + 1] << 8);
        uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    case 24: return ((uint32_t)line[3 * x + 2] << 16) | ((uint32_t)line[3 * x + 1] << 8) | line[3 * x];
    default: return ((uint32_t)line[4 * x + 2] << 16) | ((uint32_t)line[4 * x + 1] << 8) | line[4 * x];
    }
}

void WritePixel(uint8_t *line, int bitCount, int x, uint32_t rgb)
{
    switch (bitCount) {
    case 1:
        line[x / 8] |= (uint8_t)(NearestIndex(1, rgb) << (7 - x % 8));
        break;
    case 4:
        line[x / 2] |= (uint8_t)(NearestIndex(4, rgb) << (x % 2 == 0 ? 4 : 0));
        break;
    case 8:
        line[x] = (uint8_t)NearestIndex(8, rgb);
        break;
    case 16: {
        uint32_t v = ((Red(rgb) >> 3) << 10) | ((Green(rgb) >> 3) << 5) | (Blue(rgb) >> 3);
        line[2 * x] = (uint8_t)v;
        line[2 * x + 1] = (uint8_t)(v >> 8);
        break;
    }
    case 24:
        line[3 * x] = (uint8_t)Blue(rgb);
        line[3 * x + 1] = (uint8_t)Green(rgb);
        line[3 * x + 2] = (uint8_t)Red(rgb);
        break;
    default:
        line[4 * x] = (uint8_t)Blue(rgb);
        line[4 * x + 1] = (uint8_t)Green(rgb);
        line[4 * x + 2] = (uint8_t)Red(rgb);
        line[4 * x + 3] = 0;
        break;
    }
}

// The header as shown in the log: only the fields GDI reads, which for a
// header shorter than BITMAPINFOHEADER is biSize alone.
std::string HeaderText(const BITMAPINFO *info)
{
    if (info == nullptr) {
        return "";
    }
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER)) {
        return "{size=" + std::to_string(h.biSize) + "}";
    }
    return "{size=" + std::to_string(h.biSize) + ", " + std::to_string(h.biWidth) + "x" + std::to_string(h.biHeight) +
           ", bpp=" + std::to_string(h.biBitCount) + ", compression=" + std::to_string(h.biCompression) +
           ", sizeImage=" + std::to_string(h.biSizeImage) + ", clrUsed=" + std::to_string(h.biClrUsed) + "}";
}

// Whether GDI takes the DIB's bits at all.
bool BitsFormatTaken(const BITMAPINFOHEADER &header)
{
    const int depth = header.biBitCount;
    if (header.biWidth <= 0 || header.biHeight == 0) {
        return false;
    }
    if (header.biCompression == 1 || header.biCompression == 2) { // BI_RLE8, BI_RLE4
        return header.biHeight > 0 && header.biSizeImage != 0 && depth == (header.biCompression == 2 ? 4 : 8);
    }
    if (depth == 16 || depth == 32) {
        return header.biCompression == BI_RGB || header.biCompression == 3;
    }
    return (depth == 1 || depth == 4 || depth == 8 || depth == 24) && header.biCompression == BI_RGB;
}

// Header and colour table bytes GDI reads of a DIB (bit-field masks after a
// plain header; at most 256 entries, 16-bit with DIB_PAL_COLORS), or -1 when
// the header is not one the double reads; *imageBytes -1 when GDI refuses
// the bits' format.
int64_t InfoBytes(const BITMAPINFO *info, UINT usage, int64_t *imageBytes)
{
    const BITMAPINFOHEADER &header = info->bmiHeader;
    *imageBytes = -1;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > 1024) {
        return -1;
    }
    int64_t entries = header.biClrUsed != 0 ? std::min<int64_t>(header.biClrUsed, 256)
                      : header.biBitCount <= 8 ? (int64_t)1 << header.biBitCount
                                               : 0;
    int64_t least = (int64_t)sizeof(BITMAPINFOHEADER) + (header.biCompression == 3 ? 12 : 0);
    if (BitsFormatTaken(header)) {
        *imageBytes = DibImageBytes(header);
    }
    return std::max<int64_t>(header.biSize, least) + entries * (usage == 1 /* DIB_PAL_COLORS */ ? 2 : 4);
}

}  // namespace

// A packed DIB as GDI copies it: header, colour table and bits; empty when
// GDI refuses it.
std::vector<uint8_t> gdi_double::PackedDibBytes(const BITMAPINFO *info, UINT usage)
{
    int64_t imageBytes = -1;
    int64_t infoBytes = InfoBytes(info, usage, &imageBytes);
    if (infoBytes < 0 || imageBytes <= 0 || imageBytes > kMaxCopyBytes) {
        return {};
    }
    const uint8_t *packed = (const uint8_t *)info;
    return std::vector<uint8_t>(packed, packed + infoBytes + imageBytes);
}

namespace {
}  // namespace

HBITMAP CreateBitmapIndirect(const BITMAP *pbm)
{
    std::string shown;
    if (pbm != nullptr) {
        shown = "{type=" + std::to_string(pbm->bmType) + ", " + std::to_string(pbm->bmWidth) + "x" +
                std::to_string(pbm->bmHeight) + ", widthBytes=" + std::to_string(pbm->bmWidthBytes) +
                ", planes=" + std::to_string(pbm->bmPlanes) + ", bpp=" + std::to_string(pbm->bmBitsPixel) +
                ", bits=" + (pbm->bmBits ? "ptr" : "null") + "}";
    }
    size_t call = BeginCall("CreateBitmapIndirect", nullptr, {Pointer(pbm, shown)});
    if (Injected(call) || pbm == nullptr || pbm->bmType != 0) {
        return Fail<HBITMAP>(call, nullptr);
    }
    int64_t width = pbm->bmWidth < 0 ? -(int64_t)pbm->bmWidth : pbm->bmWidth;
    int64_t height = pbm->bmHeight < 0 ? -(int64_t)pbm->bmHeight : pbm->bmHeight;
    int bitCount = RoundedBitCount(pbm->bmBitsPixel);
    bool empty = width == 0 || height == 0;
    if (empty) {
        // GDI answers a zero-sized request with a 1x1 monochrome bitmap. It is
        // a bitmap of its own here, so deleting it afterwards is no misuse.
        width = 1;
        height = 1;
        bitCount = 1;
    }
    // bmPlanes is not consulted (the format is bmBitsPixel alone), but no
    // format has none
    int64_t stride = DeviceStride(width, bitCount);
    if (bitCount == 0 || (!empty && pbm->bmPlanes == 0) || width > 0x7FFFFFF || height > 0x7FFFFFF || stride * height > kMaxCopyBytes) {
        return Fail<HBITMAP>(call, nullptr);
    }
    GdiObjectInfo &bitmap = AddObject(GdiKind::Bitmap, "CreateBitmapIndirect");
    bitmap.bitmap = *pbm;
    bitmap.width = (int)width;
    bitmap.height = (int)height;
    bitmap.bitCount = bitCount;
    bitmap.bitsStride = (int)stride;
    if (pbm->bmBits != nullptr && !empty) {
        const uint8_t *from = (const uint8_t *)pbm->bmBits;
        bitmap.bits.assign(from, from + stride * height);
    } else {
        bitmap.bits.assign((size_t)(stride * height), 0);
    }
    return Succeed<HBITMAP>(call, (HBITMAP)bitmap.handle);
}

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi, UINT usage)
{
    size_t call = BeginCall("GetDIBits", hdc,
                            {Handle(hbm), Dec(start), Dec(cLines), Pointer(lpvBits, "bits"),
                             Pointer(lpbmi, HeaderText(lpbmi)), Dec(usage)});
    if (lpbmi != nullptr) {
        const uint8_t *header = (const uint8_t *)&lpbmi->bmiHeader;
        CallAt(call).info.assign(header, header + sizeof(BITMAPINFOHEADER));
    }
    if (Injected(call) || LiveDc(call, hdc) == nullptr || hbm == nullptr) {
        return Fail<int>(call, 0);
    }
    const GdiObjectInfo *bitmap = FindObject(hbm);
    if (bitmap == nullptr || bitmap->kind != GdiKind::Bitmap || !bitmap->live()) {
        Misuse(call, "GetDIBits of " + GdiDoubleHandleName(hbm) + ", not a live bitmap");
        return Fail<int>(call, 0);
    }
    if (lpbmi == nullptr || lpbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        return Fail<int>(call, 0);
    }
    BITMAPINFOHEADER &header = lpbmi->bmiHeader;
    if (header.biBitCount == 0 && lpvBits == nullptr) {
        // The query form: describe the bitmap.
        header.biWidth = bitmap->width;
        header.biHeight = bitmap->height;
        header.biPlanes = 1;
        header.biBitCount = (WORD)bitmap->bitCount;
        header.biCompression = BI_RGB;
        header.biSizeImage = (DWORD)DibImageBytes(header);
        return Succeed<int>(call, bitmap->height);
    }
    int bitCount = header.biBitCount;
    bool supported = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                     bitCount == 32;
    // Top-down (negative height) and compressed DIBs are not modelled.
    if (!supported || header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight <= 0) {
        return Fail<int>(call, 0);
    }
    int64_t stride = DibStride(header.biWidth, bitCount);
    header.biSizeImage = (DWORD)(stride * header.biHeight);
    if (bitCount <= 8) {
        for (int i = 0; i < (1 << bitCount); ++i) {
            uint32_t rgb = TableColour(bitCount, i);
            lpbmi->bmiColors[i] = RGBQUAD{(BYTE)Blue(rgb), (BYTE)Green(rgb), (BYTE)Red(rgb), 0};
        }
    }
    if (lpvBits == nullptr) {
        return Succeed<int>(call, bitmap->height);
    }
    // Scan line 0 is the bitmap's bottom row; rows land in the buffer lowest first.
    int64_t available = (int64_t)bitmap->height - (int64_t)start;
    int64_t lines = available < (int64_t)cLines ? available : (int64_t)cLines;
    if (lines <= 0 || lines * stride > kMaxCopyBytes) {
        return Fail<int>(call, 0);
    }
    uint8_t *out = (uint8_t *)lpvBits;
    for (int64_t k = 0; k < lines; ++k) {
        uint8_t *line = out + k * stride;
        std::memset(line, 0, (size_t)stride);
        int row = (int)(bitmap->height - 1 - (int64_t)start - k);
        for (int x = 0; x < header.biWidth; ++x) {
            uint32_t rgb = x < bitmap->width ? ReadPixel(*bitmap, x, row) : 0;
            WritePixel(line, bitCount, x, rgb);
        }
    }
    return Succeed<int>(call, (int)lines);
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                  int SrcHeight, const VOID *lpBits, const BITMAPINFO *lpbmi, UINT iUsage, DWORD rop)
{
    size_t call = BeginCall("StretchDIBits", hdc,
                            {Dec(xDest), Dec(yDest), Dec(DestWidth), Dec(DestHeight), Dec(xSrc), Dec(ySrc),
                             Dec(SrcWidth), Dec(SrcHeight), Pointer(lpBits, "bits"),
                             Pointer(lpbmi, HeaderText(lpbmi)), Dec(iUsage), Hex(rop)});
    GdiCall &record = CallAt(call);
    int64_t imageBytes = -1;
    int64_t infoBytes = lpbmi == nullptr ? -1 : InfoBytes(lpbmi, iUsage, &imageBytes);
    if (infoBytes > 0) {
        const uint8_t *info = (const uint8_t *)lpbmi;
        record.info.assign(info, info + infoBytes);
    }
    if (lpBits != nullptr && imageBytes > 0 && imageBytes <= kMaxCopyBytes) {
        const uint8_t *bits = (const uint8_t *)lpBits;
        record.bits.assign(bits, bits + imageBytes);
    }
    if (Injected(call) || LiveDc(call, hdc) == nullptr || lpBits == nullptr || infoBytes < 0) {
        return Fail<int>(call, 0);
    }
    return Succeed<int>(call, SrcHeight);
}

HBRUSH CreateDIBPatternBrushPt(const VOID *lpPackedDIB, UINT iUsage)
{
    const BITMAPINFO *info = (const BITMAPINFO *)lpPackedDIB;
    size_t call = BeginCall("CreateDIBPatternBrushPt", nullptr, {Pointer(info, HeaderText(info)), Dec(iUsage)});
    if (Injected(call) || info == nullptr) {
        return Fail<HBRUSH>(call, nullptr);
    }
    int64_t imageBytes = -1;
    int64_t infoBytes = InfoBytes(info, iUsage, &imageBytes);
    if (imageBytes <= 0 || imageBytes > kMaxCopyBytes || info->bmiHeader.biWidth <= 0) {
        return Fail<HBRUSH>(call, nullptr);
    }
    const uint8_t *packed = (const uint8_t *)lpPackedDIB;
    GdiCall &record = CallAt(call);
    record.info.assign(packed, packed + infoBytes);
    record.bits.assign(packed + infoBytes, packed + infoBytes + imageBytes);
    GdiObjectInfo &brush = AddObject(GdiKind::Brush, "CreateDIBPatternBrushPt");
    brush.logBrush = {BS_DIBPATTERNPT, iUsage, (ULONG_PTR)lpPackedDIB};
    brush.packedDib.assign(packed, packed + infoBytes + imageBytes);
    brush.dibUsage = iUsage;
    return Succeed<HBRUSH>(call, (HBRUSH)brush.handle);
}
