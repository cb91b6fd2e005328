// The capture's point file: long point lists as the driver's own Point16
// bytes, appended to one file beside the capture (QRC00001.JOB.pt), which the
// request line names with the offset. Formatting a point as text costs more
// than GDI's own recording of it, and the text is more than twice the bytes;
// one WriteFile of the bytes costs a system call and a copy. The bytes are in
// the file before the line that names them, so whatever a crash leaves
// replays.
#include "capture/writer.h"

// Below this many points the system call costs more than the text: on
// wine64 a 100-point polygon's text costs 0.3 of GDI's recording and its
// WriteFile 0.6; at 200 points either costs about 0.65, at 1,000 the text 1.0
// and the WriteFile 0.45 (scripts/bench --capture).
#ifndef CAPTURE_RAW_POINTS
#define CAPTURE_RAW_POINTS 200u
#endif
static const uint32_t kRawPoints = CAPTURE_RAW_POINTS;
// at= is read as a 32-bit signed number: past it the points go as text.
static const uint32_t kLargestPointFile = 0x7FFFFFFFu;

enum PointFileState { POINT_FILE_NONE, POINT_FILE_OPEN, POINT_FILE_FAILED };

static PointFileState state;
static HANDLE file;
static uint32_t end;             // bytes written so far: the next list's at=
static char name[MAX_PATH + 32]; // as the line names it: beside the capture
static uint32_t nameLength;

// Opened on the first long list; CREATE_ALWAYS, since the capture's own name
// is new, and a file of that name left from elsewhere belongs to no capture.
static int OpenPointFile(void)
{
    char side[MAX_PATH + 32];
    uint32_t start = 0;
    nameLength = SidePath(side, sizeof side, ".pt", &start) - start;
    Append(name, 0, sizeof name, side + start);
    file = CreateFileA(side, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    state = file != INVALID_HANDLE_VALUE ? POINT_FILE_OPEN : POINT_FILE_FAILED;
    end = 0;
    return state == POINT_FILE_OPEN;
}

void ClosePointFile(void)
{
    if (state == POINT_FILE_OPEN) {
        CloseHandle(file);
    }
    state = POINT_FILE_NONE;
}

// A failed or short write leaves bytes no line names: the file is given up
// and this list and every later one go as text. Once the capture has stopped
// (perhaps halfway through this line) nothing is written.
int PutRawPoints(const void *points, uint32_t bytes)
{
    if (bytes / sizeof(Point16) < kRawPoints || !CaptureOn() || state == POINT_FILE_FAILED ||
        (state == POINT_FILE_NONE && !OpenPointFile()) || bytes > kLargestPointFile - end) {
        return 0;
    }
    DWORD written = 0;
    if (!WriteFile(file, points, bytes, &written, NULL) || written != bytes) {
        CloseHandle(file);
        state = POINT_FILE_FAILED;
        return 0;
    }
    PutOptionName(grammar::KEYWORD_OUTPUT, grammar::FIELD_POINT_RAW_FILE);
    PutQuoted(name, nameLength);
    PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_POINT_RAW_AT, end);
    end += bytes;
    return 1;
}
