#include "text/placement.h"

// Constant data only: the tables are compile-time initialised, so the image
// needs no start-up code and placement needs no floating point. Ten degrees
// to a row; 16 bits an entry keeps the image's read-only data in one
// 512-byte section.
// clang-format off
const int16_t SineTable[91] = {
        0,   175,   349,   523,   698,   872,  1045,  1219,  1392,  1564,
     1736,  1908,  2079,  2250,  2419,  2588,  2756,  2924,  3090,  3256,
     3420,  3584,  3746,  3907,  4067,  4226,  4384,  4540,  4695,  4848,
     5000,  5150,  5299,  5446,  5592,  5736,  5878,  6018,  6157,  6293,
     6428,  6561,  6691,  6820,  6947,  7071,  7193,  7314,  7431,  7547,
     7660,  7771,  7880,  7986,  8090,  8192,  8290,  8387,  8480,  8572,
     8660,  8746,  8829,  8910,  8988,  9063,  9135,  9205,  9272,  9336,
     9397,  9455,  9511,  9563,  9613,  9659,  9703,  9744,  9781,  9816,
     9848,  9877,  9903,  9925,  9945,  9962,  9976,  9986,  9994,  9998,
    10000,
};

const int16_t CosineTable[91] = {
    10000,  9998,  9994,  9986,  9976,  9962,  9945,  9925,  9903,  9877,
     9848,  9816,  9781,  9744,  9703,  9659,  9613,  9563,  9511,  9455,
     9397,  9336,  9272,  9205,  9135,  9063,  8988,  8910,  8829,  8746,
     8660,  8572,  8480,  8387,  8290,  8192,  8090,  7986,  7880,  7771,
     7660,  7547,  7431,  7314,  7193,  7071,  6947,  6820,  6691,  6561,
     6428,  6293,  6157,  6018,  5878,  5736,  5592,  5446,  5299,  5150,
     5000,  4848,  4695,  4540,  4384,  4226,  4067,  3907,  3746,  3584,
     3420,  3256,  3090,  2924,  2756,  2588,  2419,  2250,  2079,  1908,
     1736,  1564,  1392,  1219,  1045,   872,   698,   523,   349,   175,
        0,
};
// clang-format on

// The angle is a 16-bit number of degrees: only the low 16 bits count.
static int32_t DegreesIn360(int32_t degrees)
{
    int32_t angle = (int16_t)(uint16_t)(uint32_t)degrees;
    angle %= 360;
    return angle < 0 ? angle + 360 : angle;
}

int32_t Sin10000(int32_t degrees)
{
    int32_t angle = DegreesIn360(degrees);
    if (angle <= 90) {
        return SineTable[angle];
    }
    if (angle <= 180) {
        return SineTable[180 - angle];
    }
    if (angle <= 270) {
        return -SineTable[angle - 180];
    }
    return -SineTable[360 - angle];
}

int32_t Cos10000(int32_t degrees)
{
    int32_t angle = DegreesIn360(degrees);
    if (angle <= 90) {
        return CosineTable[angle];
    }
    if (angle <= 180) {
        return -CosineTable[180 - angle];
    }
    if (angle <= 270) {
        return -CosineTable[angle - 180];
    }
    return CosineTable[360 - angle];
}

// factor * advance leaves 32 bits once |advance| > 214748. Splitting the
// advance at 10000 keeps both products within 32 bits (|factor * whole| <=
// 10000 * 214748) and still gives the exact truncated quotient: both parts
// carry the sign of the product, so truncating the remainder's share alone
// truncates the whole. No 64-bit helpers, no overflow; the sum is returned
// modulo 2^32 because its one out-of-range value, 2^31 (advance INT32_MIN
// against -10000), is only ever added to a coordinate that wraps anyway.
uint32_t Displacement(int32_t factor, int32_t advance)
{
    // Text along an axis, by far the most common, moves by the advance itself
    // or not at all; the general form below gives the same, three divisions
    // later, on every character.
    if (factor == 0) {
        return 0;
    }
    if (factor == 10000 || factor == -10000) {
        return factor > 0 ? (uint32_t)advance : 0u - (uint32_t)advance;
    }
    int32_t whole = advance / 10000;
    int32_t rest = advance % 10000;
    return (uint32_t)(factor * whole) + (uint32_t)(factor * rest / 10000);
}

struct Placement {
    HDC surface;
    uint32_t options;
    const RECT *rectangle;
    bool doubleByte;
    UINT codePage;
    int32_t cosA, sinA;
    int32_t x, y;
};

static void ChooseCodePage(BYTE charset, Placement *placement)
{
    CHARSETINFO info;
    FillBytes(&info, 0, sizeof info);
    placement->doubleByte = true;
    placement->codePage = 0;
    if (TranslateCharsetInfo((DWORD *)(ULONG_PTR)charset, &info, TCI_SRCCHARSET)) {
        placement->codePage = info.ciACP;
    } else if (charset == SYMBOL_CHARSET || charset == OEM_CHARSET) {
        // Symbol and OEM fonts map every byte to a glyph of its own.
        placement->doubleByte = false;
    } else {
        placement->codePage = GetACP();
    }
}

// Coordinates wrap modulo 2^32, computed unsigned so that advances summing
// beyond the 32-bit coordinate range (meaningless on any page) are defined
// behaviour; in range the result is the plain signed sum.
static void Step(Placement *placement, int32_t advance)
{
    placement->x = (int32_t)((uint32_t)placement->x + Displacement(placement->cosA, advance));
    placement->y = (int32_t)((uint32_t)placement->y - Displacement(placement->sinA, advance));
}

// A lead byte in the last position has no trail byte within the string. It is
// drawn as the one byte it is: reading on would take a byte (and possibly an
// advance) beyond the caller's count, and leaving it out would drop a byte the
// caller sent without a trace.
static uint32_t CharacterBytes(const Placement *placement, const char *string, uint32_t processed, uint32_t count)
{
    if (!placement->doubleByte || !IsDBCSLeadByteEx(placement->codePage, (BYTE)string[processed])) {
        return 1;
    }
    return processed + 1 < count ? 2 : 1;
}

// Drivers give a double-byte character either its whole width in one of its
// two entries, the other zero, or one width per byte; with two widths the
// second already belongs to the next character, so the array falls behind the
// bytes by one.
static int32_t DoubleByteAdvance(const int32_t *advances, uint32_t count, uint32_t *entry)
{
    int32_t first = advances[*entry];
    // The array position never passes the byte position and the character's
    // trail byte lies within count, so the second entry does too; the guard
    // keeps that true should the stepping ever change.
    int32_t second = *entry + 1 < count ? advances[*entry + 1] : 0;
    if (first != 0 && second != 0) {
        *entry += 1;
        return first;
    }
    *entry += 2;
    return first + second; // one of them is zero
}

static int32_t PlaceEach(Placement *placement, const char *string, uint32_t count, const int32_t *advances)
{
    BOOL drawn = FALSE;
    int32_t advance = 0;
    uint32_t processed = 0;
    uint32_t entry = 0;
    while (processed < count) {
        Step(placement, advance);
        uint32_t bytes = CharacterBytes(placement, string, processed, count);
        drawn = ExtTextOutA(placement->surface, placement->x, placement->y, placement->options, placement->rectangle,
                            string + processed, bytes, NULL);
        if (bytes == 2) {
            advance = DoubleByteAdvance(advances, count, &entry);
        } else {
            advance = advances[entry++];
        }
        processed += bytes;
    }
    // Only the last character's call decides the result.
    return DrawResult(drawn);
}

int32_t PlaceCharacters(HDC surface, int32_t x, int32_t y, uint32_t options, const RECT *rectangle, const char *string,
                        uint32_t count, const int32_t *advances, const LOGFONTA *font)
{
    Placement placement;
    placement.surface = surface;
    placement.options = options;
    placement.rectangle = rectangle;
    placement.x = x;
    placement.y = y;
    ChooseCodePage(font->lfCharSet, &placement);
    int32_t degrees = font->lfEscapement / 10;
    placement.cosA = Cos10000(degrees);
    placement.sinA = Sin10000(degrees);
    if (count == 0) {
        return 0;
    }
    return PlaceEach(&placement, string, count, advances);
}
