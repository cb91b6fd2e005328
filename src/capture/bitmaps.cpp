// The capture writer's bitmap lines: device bitmaps and DIBs with the bytes
// GDI reads of them, in hex rows, named by a hash so an unchanged pattern or
// source is written once a page.
#include "capture/writer.h"

// FNV-1a over a bitmap's description and bits: an unchanged pattern or
// source keeps its name instead of being written again.
static uint64_t Hash(uint64_t hash, const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    for (uint32_t i = 0; i < count; ++i) {
        hash = (hash ^ from[i]) * 0x100000001b3ull;
    }
    return hash;
}

static const uint64_t kHashStart = 0xcbf29ce484222325ull;

static void PutHexRows(const void *bytes, uint32_t count, uint32_t row)
{
    const unsigned char *from = (const unsigned char *)bytes;
    if (row == 0 || row > 64) {
        row = 64;
    }
    for (uint32_t at = 0; at < count; at += row) {
        Put("  ");
        PutHexBytes(from + at, count - at < row ? count - at : row);
        PutChar('\n');
    }
}

static Remembered bitmaps;

// bitmap NAME SHAPE [WxH]: the start of a bitmap's line.
static void PutBitmapStart(uint32_t number, grammar::BitmapShape shape)
{
    PutKeyword(grammar::KEYWORD_BITMAP);
    PutChar(' ');
    PutNumbered("bm", number);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_BITMAP_SHAPES, shape));
}

static void PutNoBits(void)
{
    PutOptionName(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_SIZE);
    Put("none");
}

// bitmap NAME bits WxH bpp= planes= widthbytes= type= , the bits as GDI
// reads them in hex rows, then end. Without readable bits: nobits.
uint32_t WriteDeviceBitmap(const BITMAP *bitmap)
{
    uint32_t row = 0;
    uint32_t size = DeviceBitsRead(bitmap, &row);
    BITMAP described = *bitmap;
    described.bmBits = NULL;
    uint64_t hash = Hash(Hash(kHashStart, &described, sizeof described), bitmap->bmBits, size);
    int isNew = 0;
    uint32_t number = Name(&bitmaps, &hash, sizeof hash, &isNew);
    if (!isNew) {
        return number;
    }
    PutBitmapStart(number, grammar::SHAPE_BITS);
    PutChar(' ');
    PutDecimal(bitmap->bmWidth);
    PutChar('x');
    PutDecimal(bitmap->bmHeight);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_PIXEL, bitmap->bmBitsPixel);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_PLANES, bitmap->bmPlanes);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_WIDTH_BYTES, (uint32_t)bitmap->bmWidthBytes);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_TYPE, (uint32_t)bitmap->bmType);
    if (size == 0) {
        PutNoBits();
    }
    PutChar('\n');
    PutHexRows(bitmap->bmBits, size, row);
    Put("end\n");
    return number;
}

// bitmap NAME dib info=N bits=M|none: header and colour table, then the
// bits, as hex rows, then end.
// infoSize and bitsSize as GDI reads them (info=0: GDI refuses a DIB
// without a header before it reads anything).
uint32_t WriteDib(const BITMAPINFO *info, uint32_t infoSize, const void *bits, uint32_t bitsSize)
{
    bits = info != NULL ? bits : NULL;
    uint64_t hash = Hash(Hash(kHashStart, info, infoSize), bits, bitsSize);
    hash = Hash(hash, &bitsSize, sizeof bitsSize);
    hash ^= bits == NULL;
    int isNew = 0;
    uint32_t number = Name(&bitmaps, &hash, sizeof hash, &isNew);
    if (!isNew) {
        return number;
    }
    PutBitmapStart(number, grammar::SHAPE_DIB);
    PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_INFO_SIZE, infoSize);
    if (bits == NULL) {
        PutNoBits();
    } else {
        PutField(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_BITS_SIZE, bitsSize);
    }
    PutChar('\n');
    PutHexRows(info, infoSize, 0);
    PutHexRows(bits, bitsSize, 0);
    Put("end\n");
    return number;
}

void ForgetBitmaps(void)
{
    Forget(&bitmaps);
}
