// The 16-bit replayer as a child process: started once, fed one request at
// a time through its standard input, answering on its standard output.
#ifndef QUILLREC_REPLAY16_SESSION_H
#define QUILLREC_REPLAY16_SESSION_H

#include <stdint.h>

#include <string>
#include <vector>

#include "quillrec.h"
#include "replay16_protocol.h"

struct Replay16Session {
    HANDLE process = nullptr;
    HANDLE input = nullptr;  // the replayer's standard input
    HANDLE output = nullptr; // the replayer's standard output
    uint32_t arenaBase = 0;  // flat address of the replayer's arena
    uint32_t arenaSize = 0;
    unsigned calls = 0;   // calls sent so far
    std::string stopped;  // why the replayer stopped before its time; empty while it runs
    // A replayer that stops answering is ended by a watchdog thread, so that
    // a hang fails the call like a crash.
    HANDLE watchdog = nullptr;
    HANDLE quit = nullptr;           // set when the session ends: the watchdog leaves
    volatile LONG waitingSince = 0;  // GetTickCount() (made odd) since an answer is awaited; 0 when none
    volatile LONG timedOut = 0;
};

// Starts program (replay16.exe) and has it load the DLL at dllPath. On
// failure returns false with the reason in *error.
bool StartReplay16(const std::string &program, const std::string &dllPath, Replay16Session *session,
                   std::string *error);

// Makes the arena hold size bytes; on failure sets session->stopped, naming what.
bool ReserveArena16(Replay16Session *session, uint32_t size, const std::string &what);

// Sends request with image, the arena's first bytes (the request's own
// place at its start left for it), and reads the result and the answer: the
// arena's first request.outBytes bytes, the Answer16 among them. When the
// replayer stops instead, sets session->stopped naming what.
bool Exchange16(Replay16Session *session, Request16 request, std::vector<uint8_t> image, int32_t *result,
                std::vector<uint8_t> *answer, const std::string &what);

// Ends the replayer: it frees the DLL, as a driver does when it is unloaded,
// and answers once the DLL's detach has run (the capture DLL cuts and closes
// its file there). False, session->stopped saying why, when it never answered.
bool StopReplay16(Replay16Session *session);

#endif
