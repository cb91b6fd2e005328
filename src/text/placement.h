// Per-character placement: text with an advance array drawn one character at
// a time along the font's escapement, in integer arithmetic only.
#ifndef QUILLREC_PLACEMENT_H
#define QUILLREC_PLACEMENT_H

#include "platform.h"

// 10000 * sin k and 10000 * cos k for whole degrees k = 0..90, rounded.
extern const int16_t SineTable[91];
extern const int16_t CosineTable[91];

// 10000 times the sine (cosine) of a whole-degree angle; the angle is the low
// 16 bits of the argument taken as a signed number.
int32_t Sin10000(int32_t degrees);
int32_t Cos10000(int32_t degrees);

// trunc(factor * advance / 10000) for |factor| <= 10000 and any advance,
// modulo 2^32 (the one result outside 32 bits is 2^31).
uint32_t Displacement(int32_t factor, int32_t advance);

// Draws count bytes of string character by character, each with its own
// ExtTextOutA; returns 0 when the last call succeeded (or count is 0), -1 when
// it failed.
int32_t PlaceCharacters(HDC surface, int32_t x, int32_t y, uint32_t options, const RECT *rectangle, const char *string,
                        uint32_t count, const int32_t *advances, const LOGFONTA *font);

#endif
