// The capture file: created under a name no earlier capture has, and
// written through a mapped window of the file (mapped_file.cpp), half a
// request at a time, under the one lock every export takes. Any failure stops
// the capture and never reaches the driver, whose calls go on being forwarded.
#include "capture/capture.h"

#include "jobformat/job_grammar.h"

enum CaptureState { CAPTURE_NOT_STARTED, CAPTURE_WRITING, CAPTURE_STOPPED };

// Made at process attach: a spooler may print from several threads.
static CRITICAL_SECTION lock;
static CaptureState state;
static MappedFile capture;
static char path[MAX_PATH + 16]; // the capture file's, once it is open
static char *cursor, *limit;     // where the next byte goes, and the end of its room
static uint32_t halfStart;       // the file offset the half being written began at
static uint32_t complete;        // the file offset after the last whole half
// Where text goes once the capture has stopped: formatting never tests.
static char scratch[4096];

// A window less a step holds any single reservation (the longest, hex,
// takes 2 KiB at a time).
static const uint32_t kGranularity = CAPTURE_GRANULARITY_BYTES;
static const uint32_t kWindow = CAPTURE_WINDOW_BYTES;

static uint32_t FormatUnsigned(char *to, uint32_t value);

uint32_t Append(char *to, uint32_t at, uint32_t size, const char *text)
{
    while (*text != '\0' && at + 1 < size) {
        to[at++] = *text++;
    }
    to[at] = '\0';
    return at;
}

void CaptureAttach(void)
{
    InitializeCriticalSection(&lock);
}

void LockCapture(void)
{
    EnterCriticalSection(&lock);
}

void UnlockCapture(void)
{
    LeaveCriticalSection(&lock);
}

static uint32_t Offset(void)
{
    return capture.offset + (uint32_t)(cursor - capture.view);
}

static void Unmap(void)
{
    UnmapFile(&capture);
    cursor = scratch;
    limit = scratch + sizeof scratch;
}

// The file ends at length, then the line that says why nothing follows; the
// handle is closed, so a later failure cannot cut anything.
static void Stop(uint32_t length, const char *reason, uint32_t error)
{
    state = CAPTURE_STOPPED;
    Unmap();
    char line[256];
    uint32_t at = Append(line, 0, sizeof line, "; capture stopped: ");
    at = Append(line, at, sizeof line, reason);
    if (error != 0) {
        char digits[11];
        digits[FormatUnsigned(digits, error)] = '\0';
        at = Append(line, at, sizeof line, " (error ");
        at = Append(line, at, sizeof line, digits);
        at = Append(line, at, sizeof line, ")");
    }
    at = Append(line, at, sizeof line, "\n");
    ClosePointFile();
    DWORD written = 0;
    if (SetFilePointer(capture.file, (LONG)length, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
        SetEndOfFile(capture.file)) {
        WriteFile(capture.file, line, at, &written, NULL);
    }
    CloseHandle(capture.file);
}

// A window from base, the cursor kept at its offset; 0 when the system gives
// none, as on a full disk.
static int MapWindow(uint32_t base)
{
    uint32_t at = Offset();
    if (!MapFileWindow(&capture, base, kWindow)) {
        return 0;
    }
    cursor = capture.view + (at - base);
    limit = capture.view + kWindow;
    return 1;
}

// Room at the cursor ran out: the window moves on to it. When it cannot, the
// half being written is taken back whole, so the file never ends mid-line.
static void Slide(void)
{
    if (state == CAPTURE_WRITING && MapWindow(Offset() & ~(kGranularity - 1))) {
        return;
    }
    if (state == CAPTURE_WRITING) {
        Stop(halfStart, "the capture file cannot grow", GetLastError());
    }
    cursor = scratch;
    limit = scratch + sizeof scratch;
}

static void NumberedName(char *name, uint32_t number)
{
    // QRC00001.JOB: an 8.3 name, counting up.
    Append(name, 0, 13, "QRC00000.JOB");
    for (int digit = 7; digit >= 3; --digit) {
        name[digit] = (char)('0' + number % 10);
        number /= 10;
    }
}

// A new file in the capture folder, never one that exists: CREATE_NEW fails
// on an existing name, and the next number is tried.
static void OpenCaptureFile(void)
{
    char folder[MAX_PATH + 1];
    DWORD length = GetEnvironmentVariableA(CAPTURE_FOLDER_VARIABLE, folder, sizeof folder);
    uint32_t at = length > 0 && length < MAX_PATH ? length : Append(folder, 0, sizeof folder, OwnFolder());
    if (at > 0 && folder[at - 1] != '\\' && folder[at - 1] != '/') {
        at = Append(folder, at, sizeof folder, "\\");
    }
    for (uint32_t number = 1; number <= 99999; ++number) {
        char name[13];
        NumberedName(name, number);
        Append(path, Append(path, 0, sizeof path, folder), sizeof path, name);
        capture.file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
        if (capture.file != INVALID_HANDLE_VALUE) {
            state = CAPTURE_WRITING;
            halfStart = complete = capture.filled = 0;
            CaptureFileStarted();
            Put(GRAMMAR_CAPTURE_MARK
                ": every call the driver made, as a job for quillrec_driver.\n" GRAMMAR_CAPTURE_ANSWERS
                ", after the call; surface= names the page line whose surface\n"
                "; a request draws on, where that is not the latest. A call line is written before a call\n"
                "; whose reads depend on how far it gets; the line after the call answers it.\n");
            return;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    // No file to say why in: printing goes on uncaptured.
    state = CAPTURE_STOPPED;
}

const char *CapturePath(void)
{
    return path;
}

uint32_t SidePath(char *side, uint32_t size, const char *suffix, uint32_t *name)
{
    uint32_t at = Append(side, 0, size, path);
    *name = at;
    while (*name > 0 && side[*name - 1] != '\\' && side[*name - 1] != '/') {
        --*name;
    }
    return Append(side, at, size, suffix);
}

int CaptureOn(void)
{
    return state == CAPTURE_WRITING;
}

void BeginRequest(void)
{
    if (state == CAPTURE_NOT_STARTED) {
        cursor = limit = capture.view = NULL; // the first window starts the file
        capture.offset = 0;
        OpenCaptureFile();
    }
    halfStart = state == CAPTURE_WRITING ? Offset() : 0;
}

void EndRequest(void)
{
    if (state == CAPTURE_WRITING) {
        complete = Offset();
    }
}

// What the half put so far stays (it ends its own line): the reason follows.
void StopCapture(const char *reason, uint32_t error)
{
    if (state == CAPTURE_WRITING) {
        Stop(Offset(), reason, error);
    }
    state = CAPTURE_STOPPED;
}

// Process detach: the file cut to its last whole half and closed. When the
// process is ending, other threads are gone, perhaps holding the lock or
// halfway through a half, so neither the lock nor anything after the last
// whole half is touched; closing handles is safe under the loader lock.
void CaptureDetach(int processEnding)
{
    if (!processEnding) {
        LockCapture();
    }
    if (state == CAPTURE_WRITING) {
        state = CAPTURE_STOPPED;
        Unmap();
        CutAndClose(&capture, complete);
        ClosePointFile();
    }
    state = CAPTURE_NOT_STARTED; // a fresh load of the DLL starts a new file
    if (!processEnding) {
        UnlockCapture();
        DeleteCriticalSection(&lock);
    }
}

// Room for count more bytes (at most a scratch block): the window slides on
// when it lacks it. Both are pointers into one block, so the test cannot wrap.
static inline char *Reserve(uint32_t count)
{
    if ((size_t)(limit - cursor) < count) {
        Slide();
    }
    return cursor;
}

void PutChar(char c)
{
    *Reserve(1) = c;
    ++cursor;
}

// A null text writes nothing: a name the grammar does not hold.
void Put(const char *text)
{
    while (text != NULL && *text != '\0') {
        PutChar(*text++);
    }
}

// "00" to "99": two digits a step, since points dominate what a capture
// writes and most coordinates have at most four digits.
static const char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                  "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                  "8081828384858687888990919293949596979899";

static uint32_t DigitCount(uint32_t value)
{
    uint32_t count = 1;
    for (uint32_t bound = 10; count < 10 && value >= bound; bound *= 10) {
        ++count;
    }
    return count;
}

// Decimal digits of value at to, filled from the end two at a time; returns
// how many (at most 10).
static uint32_t FormatUnsigned(char *to, uint32_t value)
{
    // Coordinates: up to four digits, the common case, without a loop.
    if (value < 100) {
        if (value < 10) {
            to[0] = (char)('0' + value);
            return 1;
        }
        to[0] = kDigitPairs[2 * value];
        to[1] = kDigitPairs[2 * value + 1];
        return 2;
    }
    if (value < 10000) {
        uint32_t high = value / 100, low = value % 100;
        uint32_t at = 0;
        if (high >= 10) {
            to[at++] = kDigitPairs[2 * high];
        }
        to[at++] = kDigitPairs[2 * high + 1];
        to[at++] = kDigitPairs[2 * low];
        to[at++] = kDigitPairs[2 * low + 1];
        return at;
    }
    uint32_t count = DigitCount(value);
    char *end = to + count;
    while (value >= 100) {
        uint32_t pair = value % 100;
        value /= 100;
        end -= 2;
        end[0] = kDigitPairs[2 * pair];
        end[1] = kDigitPairs[2 * pair + 1];
    }
    if (value >= 10) {
        end[-2] = kDigitPairs[2 * value];
        end[-1] = kDigitPairs[2 * value + 1];
    } else {
        end[-1] = (char)('0' + value);
    }
    return count;
}

static uint32_t FormatDecimal(char *to, int32_t value)
{
    if (value < 0) {
        to[0] = '-';
        return 1 + FormatUnsigned(to + 1, 0u - (uint32_t)value);
    }
    return FormatUnsigned(to, (uint32_t)value);
}

void PutUnsigned(uint32_t value)
{
    cursor += FormatUnsigned(Reserve(10), value);
}

void PutDecimal(int32_t value)
{
    cursor += FormatDecimal(Reserve(11), value);
}

static constexpr char kHexDigits[] = "0123456789abcdef";

void PutHex(uint32_t value)
{
    char *to = Reserve(10);
    to[0] = '0';
    to[1] = 'x';
    for (int i = 0; i < 8; ++i) {
        to[2 + i] = kHexDigits[(value >> (28 - 4 * i)) & 15];
    }
    cursor += 10;
}

// Each byte's two hex digits, made when compiling: a bitmap's rows are most
// of what a capture of raster output writes, and a byte then costs a load
// and a 16-bit store.
struct HexPairs {
    char digits[512];
    constexpr HexPairs() : digits()
    {
        for (int byte = 0; byte < 256; ++byte) {
            digits[2 * byte] = kHexDigits[byte >> 4];
            digits[2 * byte + 1] = kHexDigits[byte & 15];
        }
    }
};
static constexpr HexPairs kHexPairs;

void PutHexBytes(const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    while (count > 0) {
        uint32_t chunk = count < 1024 ? count : 1024;
        char *to = Reserve(chunk * 2);
        for (uint32_t i = 0; i < chunk; ++i) {
            __builtin_memcpy(to + 2 * i, kHexPairs.digits + 2 * (uint32_t)from[i], 2);
        }
        cursor += chunk * 2;
        from += chunk;
        count -= chunk;
    }
}

// Printable ASCII stays as it is; everything else, and the quote and the
// backslash, as \xNN, so every byte survives an editor and the parser.
void PutQuoted(const char *bytes, uint32_t count)
{
    PutChar('"');
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        char *to = Reserve(4);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            to[0] = (char)c;
            cursor += 1;
            continue;
        }
        to[0] = '\\';
        to[1] = 'x';
        to[2] = kHexDigits[c >> 4];
        to[3] = kHexDigits[c & 15];
        cursor += 4;
    }
    PutChar('"');
}

void PutPoint(int32_t x, int32_t y)
{
    char *to = Reserve(23);
    uint32_t at = FormatDecimal(to, x);
    to[at++] = ',';
    cursor += at + FormatDecimal(to + at, y);
}

// A coordinate: 16 bits, so at most a sign and five digits, written a pair
// of digits at a time with no loop.
static inline uint32_t FormatCoordinate(char *to, int32_t value)
{
    uint32_t at = 0, magnitude = (uint32_t)value;
    if (value < 0) {
        to[at++] = '-';
        magnitude = 0u - magnitude;
    }
    uint32_t high = magnitude / 100, low = magnitude - high * 100;
    if (high >= 100) { // five digits
        uint32_t top = high / 100;
        high -= top * 100;
        to[at++] = (char)('0' + top);
        to[at++] = kDigitPairs[2 * high];
    } else if (high >= 10) {
        to[at++] = kDigitPairs[2 * high];
    }
    if (magnitude >= 100) {
        to[at++] = kDigitPairs[2 * high + 1];
    }
    if (magnitude >= 10) {
        to[at++] = kDigitPairs[2 * low];
    }
    to[at++] = kDigitPairs[2 * low + 1];
    return at;
}

// " x,y" for each point: the long arrays of polygons. Room is asked for a
// run of points at a time, so a point costs its characters and little else.
void PutPoints(const Point16 *points, uint32_t count)
{
    enum { kRun = 128, kMostPerPoint = 14 };
    for (uint32_t done = 0; done < count;) {
        uint32_t end = count - done < kRun ? count : done + kRun;
        char *to = Reserve(kRun * kMostPerPoint);
        for (; done < end; ++done) {
            *to++ = ' ';
            to += FormatCoordinate(to, points[done].x);
            *to++ = ',';
            to += FormatCoordinate(to, points[done].y);
        }
        cursor = to;
    }
}

void PutRect(const RECT *rect)
{
    PutPoint(rect->left, rect->top);
    PutChar(',');
    PutPoint(rect->right, rect->bottom);
}

void PutNumbered(const char *prefix, uint32_t number)
{
    Put(prefix);
    PutUnsigned(number);
}
