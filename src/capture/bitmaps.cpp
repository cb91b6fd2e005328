// The capture writer's bitmap lines: device bitmaps and DIBs with the bytes
// GDI reads of them, in hex rows, named by a hash so an unchanged pattern or
// source is written once a page.
#include "capture/writer.h"

// A 128-bit multiply-and-rotate hash (two lanes of 8-byte words, then each
// lane's bits spread over the whole word), folded to 64 bits: an unchanged
// pattern or source keeps its name instead of being written again. Every
// request with a source hashes its bits, so they are taken a word at a time,
// not a byte at a time.
static inline uint64_t Rotate(uint64_t value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

static inline uint64_t Spread(uint64_t value)
{
    value = (value ^ (value >> 33)) * 0xff51afd7ed558ccdull;
    value = (value ^ (value >> 33)) * 0xc4ceb9fe1a85ec53ull;
    return value ^ (value >> 33);
}

static const uint64_t kMix1 = 0x87c37b91114253d5ull, kMix2 = 0x4cf5ad432745937full;

static uint64_t Hash(uint64_t hash, const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    uint64_t h1 = hash, h2 = hash ^ kMix1;
    uint32_t at = 0;
    for (; count - at >= 16; at += 16) {
        uint64_t k1, k2;
        __builtin_memcpy(&k1, from + at, 8);
        __builtin_memcpy(&k2, from + at + 8, 8);
        h1 ^= Rotate(k1 * kMix1, 31) * kMix2;
        h1 = (Rotate(h1, 27) + h2) * 5 + 0x52dce729;
        h2 ^= Rotate(k2 * kMix2, 33) * kMix1;
        h2 = (Rotate(h2, 31) + h1) * 5 + 0x38495ab5;
    }
    // The last 0 to 15 bytes, each in its own place in two words.
    uint64_t k1 = 0, k2 = 0;
    for (uint32_t i = 0; at + i < count; ++i) {
        uint64_t byte = (uint64_t)from[at + i] << (8 * (i & 7));
        if (i < 8) {
            k1 |= byte;
        } else {
            k2 |= byte;
        }
    }
    h1 ^= Rotate(k1 * kMix1, 31) * kMix2;
    h2 ^= Rotate(k2 * kMix2, 33) * kMix1;
    // The length, so runs of zero bytes of different lengths differ.
    h1 ^= count;
    h2 ^= count;
    h1 += h2;
    h2 += h1;
    h1 = Spread(h1);
    h2 = Spread(h2);
    return h1 + h2;
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

// Past this many bytes a bitmap goes to a file of its own beside the capture:
// hex would double them, and a 600-dpi colour band is tens of megabytes.
static const uint32_t kLargestHex = 1u << 20;

// The two parts' bytes in <capture file>.bm<number> beside the capture, and
// file= naming it on the line; 0 (nothing put) when the file cannot be
// written, and the hex rows stand instead.
static int PutBytesFile(uint32_t number, const void *first, uint32_t firstSize, const void *second, uint32_t secondSize)
{
    char side[MAX_PATH + 32];
    char digits[11];
    uint32_t lead = sizeof digits - 1;
    digits[lead] = '\0';
    do {
        digits[--lead] = (char)('0' + number % 10);
        number /= 10;
    } while (number != 0);
    uint32_t name = 0;
    uint32_t at = Append(side, SidePath(side, sizeof side, ".bm", &name), sizeof side, digits + lead);
    HANDLE file = CreateFileA(side, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    DWORD written = 0, more = 0;
    int whole = WriteFile(file, first, firstSize, &written, NULL) && written == firstSize &&
                (secondSize == 0 || (WriteFile(file, second, secondSize, &more, NULL) && more == secondSize));
    CloseHandle(file);
    if (whole) {
        PutOptionName(grammar::KEYWORD_BITMAP, grammar::FIELD_BITMAP_FILE);
        PutQuoted(side + name, at - name);
    }
    return whole;
}

// The bytes as hex rows closed by end, or in a file of their own.
static void PutBytes(uint32_t number, const void *first, uint32_t firstSize, const void *second, uint32_t secondSize,
                     uint32_t row)
{
    if (firstSize + (uint64_t)secondSize > kLargestHex && PutBytesFile(number, first, firstSize, second, secondSize)) {
        PutChar('\n');
        return;
    }
    PutChar('\n');
    PutHexRows(first, firstSize, row);
    PutHexRows(second, secondSize, row);
    Put("end\n");
}

// bitmap NAME bits WxH bpp= planes= widthbytes= type= , the bits as GDI
// reads them in hex rows, then end (or file=). Without readable bits: bits=none.
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
    PutBytes(number, bitmap->bmBits, size, NULL, 0, row);
    return number;
}

// bitmap NAME dib info=N bits=M|none: header and colour table, then the
// bits, as hex rows, then end (or file=).
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
    PutBytes(number, info, infoSize, bits, bitsSize, 0);
    return number;
}

void ForgetBitmaps(void)
{
    Forget(&bitmaps);
}
