// The nine exports, and GdiComment on a surface, called through the 16-bit
// replayer: each call's buffers are copied into the replayer's memory, the
// export runs behind the generic thunk with 16:16 pointers, and what it wrote
// comes back into the caller's variables, so that the caller sees what a
// direct call would have left.
#ifndef QUILLREC_REPLAY16_CALLS_H
#define QUILLREC_REPLAY16_CALLS_H

#include <string>

#include "quillrec_exports.h"
#include "replay16_session.h"

// The calls, sending through session (which outlives them). Call number
// wrongMaskCall (from 1; 0 for none) hands the thunk a conversion mask of 0,
// so the DLL receives raw 16:16 pointers: what a driver with a wrong mask meets.
QuillrecExports Replay16Exports(Replay16Session *session, unsigned wrongMaskCall);

// GdiComment on the replayer's surface, for an inspection run's marks.
BOOL Replay16Comment(Handle32 surface, UINT size, const BYTE *data);

// What a call returns once the replayer has stopped: no export returns it.
const int32_t kReplay16Stopped = INT32_MIN;

#endif
