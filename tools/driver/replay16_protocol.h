// The messages between the simulator and the 16-bit replayer
// (tools/thunk16/replay16.inc describes them; these are the same layouts).
#ifndef QUILLREC_REPLAY16_PROTOCOL_H
#define QUILLREC_REPLAY16_PROTOCOL_H

#include <stdint.h>

enum Request16Kind : uint16_t { REQUEST_LOAD = 1, REQUEST_ARENA = 2, REQUEST_CALL = 3, REQUEST_QUIT = 4 };

const unsigned kRequest16MaxArgs = 16;
const uint16_t kProcedureGdiComment = 1; // procedures 2..10 are the exports by ordinal
const uint32_t kLoadNoModule = 1, kLoadNoGdiComment = 11;
const uint32_t kAnswer16Magic = 0x41363151; // "Q16A": starts every answer

struct Answer16 {
    uint32_t magic;
    int32_t result;
};
// A message is the arena's start: its Request16, then the pieces from
// kArenaPieces on. A call's answer is the arena's start again: its Answer16,
// then the pieces.
const uint32_t kArenaPieces = 96, kFirstArena = 0x10000;

struct Request16 {
    uint16_t kind;
    uint16_t procedure;
    uint16_t argCount;
    uint16_t reserved;
    uint32_t pointers; // bit i: argument i is an arena offset, passed as a 16:16 pointer
    uint32_t mask;     // the conversion mask handed to _CallProcEx32W
    uint32_t inBytes;  // bytes that follow, for the arena's start
    uint32_t outBytes; // a call's answer: the arena's first bytes, its Answer16 among them
    uint32_t args[kRequest16MaxArgs];
};
static_assert(sizeof(Request16) == 88 && sizeof(Request16) <= kArenaPieces, "Request16 is REQUEST16 of replay16.inc");

#endif
