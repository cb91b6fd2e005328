// The capture's point file: long point lists as the driver's own Point16
// bytes, appended to one file beside the capture (QRC00001.JOB.pt), which the
// request line names with the offset. Formatting a long list as text costs
// about as much as GDI's own recording of it, and the text is more than twice
// the bytes. The file is written through a mapped window, as the capture is:
// a list costs a copy of its bytes and no system call (a WriteFile cost about
// 1.8 us on wine64, half GDI's recording of a 200-point polygon). The bytes
// are in the file before the line that names them, so whatever a crash leaves
// replays.
#include "capture/writer.h"

// Below this many points the text costs no more than the line's file name
// and offset and the copy: on wine64 a polygon of 32 points costs 1.18 of
// GDI's recording either way, of 50 points 1.22 as text and 1.20 here, of 100
// points 1.30 as text and 1.18 here (scripts/bench --capture).
#ifndef CAPTURE_RAW_POINTS
#define CAPTURE_RAW_POINTS 50u
#endif
static const uint32_t kRawPoints = CAPTURE_RAW_POINTS;
// at= is read as a 32-bit signed number: past it the points go as text.
static const uint32_t kLargestPointFile = 0x7FFFFFFFu;
static const uint32_t kGranularity = CAPTURE_GRANULARITY_BYTES;
static const uint32_t kWindow = CAPTURE_WINDOW_BYTES;

enum PointFileState { POINT_FILE_NONE, POINT_FILE_OPEN, POINT_FILE_FAILED };

static PointFileState state;
static MappedFile points;
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
    points.file = CreateFileA(side, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    points.view = NULL;
    points.filled = end = 0;
    state = points.file != INVALID_HANDLE_VALUE ? POINT_FILE_OPEN : POINT_FILE_FAILED;
    return state == POINT_FILE_OPEN;
}

// The file cut to what the lines name, without the zeros ahead of the window.
void ClosePointFile(void)
{
    if (state == POINT_FILE_OPEN) {
        CutAndClose(&points, end);
    }
    state = POINT_FILE_NONE;
}

// Room for bytes more at the end: the window moves on to it (a list longer
// than a window gets a window of its own size).
static int Room(uint32_t bytes)
{
    if (points.view != NULL && bytes <= points.offset + points.length - end) {
        return 1;
    }
    uint32_t base = end & ~(kGranularity - 1);
    uint32_t length = (end - base + bytes + kGranularity - 1) & ~(kGranularity - 1);
    return MapFileWindow(&points, base, length > kWindow ? length : kWindow);
}

// When the window cannot move on (a full disk) the file is given up, and this
// list and every later one go as text. Once the capture has stopped (perhaps
// halfway through this line) nothing is written.
int PutRawPoints(const void *list, uint32_t bytes)
{
    if (bytes / sizeof(Point16) < kRawPoints || !CaptureOn() || state == POINT_FILE_FAILED ||
        (state == POINT_FILE_NONE && !OpenPointFile()) || bytes > kLargestPointFile - end) {
        return 0;
    }
    if (!Room(bytes)) {
        ClosePointFile();
        state = POINT_FILE_FAILED;
        return 0;
    }
    CopyBytes(points.view + (end - points.offset), list, bytes);
    PutOptionName(grammar::KEYWORD_OUTPUT, grammar::FIELD_POINT_RAW_FILE);
    PutQuoted(name, nameLength);
    PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_POINT_RAW_AT, end);
    end += bytes;
    return 1;
}
