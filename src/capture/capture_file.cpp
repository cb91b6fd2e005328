// The capture file: created under a name no earlier capture has, written a
// request at a time. Any failure stops the capture and never reaches the
// driver, whose calls go on being forwarded.
#include "capture/capture.h"

enum CaptureState { CAPTURE_NOT_STARTED, CAPTURE_WRITING, CAPTURE_STOPPED };

static CaptureState state;
static HANDLE file;
static char path[MAX_PATH + 16]; // the capture file's, once it is open
// Large enough that nearly every request takes one WriteFile; a longer one
// (a 10,000-point polygon) takes two, each handed over as it fills.
static char buffer[65536];
static uint32_t used;

static uint32_t FormatUnsigned(char *to, uint32_t value);

uint32_t Append(char *to, uint32_t at, uint32_t size, const char *text)
{
    while (*text != '\0' && at + 1 < size) {
        to[at++] = *text++;
    }
    to[at] = '\0';
    return at;
}

static int WriteAll(const char *bytes, uint32_t count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, NULL) && written == count;
}

static void Flush(void)
{
    if (state != CAPTURE_WRITING || used == 0) {
        used = 0;
        return;
    }
    uint32_t count = used;
    used = 0;
    if (!WriteAll(buffer, count)) {
        StopCapture("the capture file cannot be written", GetLastError());
    }
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
        file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            state = CAPTURE_WRITING;
            Put("; Captured by the capture build of QUILLREC.dll: every call the driver made, as a job for\n"
                "; quillrec_driver. Each request carries the result the real DLL gave (expect=).\n");
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

int CaptureOn(void)
{
    return state == CAPTURE_WRITING;
}

void BeginRequest(void)
{
    // the buffer is empty between requests; the first one also carries the
    // file's heading
    if (state == CAPTURE_NOT_STARTED) {
        OpenCaptureFile();
    }
}

void EndRequest(void)
{
    Flush();
}

// The last line says why, when the file still takes one; the handle is
// closed so that what was written is complete on disk.
void StopCapture(const char *reason, uint32_t error)
{
    if (state != CAPTURE_WRITING) {
        state = CAPTURE_STOPPED;
        return;
    }
    state = CAPTURE_STOPPED;
    // what the request had put so far goes first, so the reason follows it
    if (used > 0) {
        WriteAll(buffer, used);
    }
    char line[256];
    uint32_t at = Append(line, 0, sizeof line, "\n; capture stopped: ");
    at = Append(line, at, sizeof line, reason);
    if (error != 0) {
        char digits[11];
        digits[FormatUnsigned(digits, error)] = '\0';
        at = Append(line, at, sizeof line, " (error ");
        at = Append(line, at, sizeof line, digits);
        at = Append(line, at, sizeof line, ")");
    }
    at = Append(line, at, sizeof line, "\n");
    WriteAll(line, at);
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    used = 0;
}

// Room for count more bytes; the buffer is handed to the system first when it
// lacks it. Formatting writes straight into the buffer, and after a failure
// the text is simply dropped at the next hand-over.
static char *Reserve(uint32_t count)
{
    if (sizeof buffer - used < count) {
        Flush();
    }
    return buffer + used;
}

void PutChar(char c)
{
    *Reserve(1) = c;
    ++used;
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
    used += FormatUnsigned(Reserve(10), value);
}

void PutDecimal(int32_t value)
{
    used += FormatDecimal(Reserve(11), value);
}

static const char kHexDigits[] = "0123456789abcdef";

void PutHex(uint32_t value)
{
    char *to = Reserve(10);
    to[0] = '0';
    to[1] = 'x';
    for (int i = 0; i < 8; ++i) {
        to[2 + i] = kHexDigits[(value >> (28 - 4 * i)) & 15];
    }
    used += 10;
}

void PutHexBytes(const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    while (count > 0) {
        uint32_t chunk = count < 1024 ? count : 1024;
        char *to = Reserve(chunk * 2);
        for (uint32_t i = 0; i < chunk; ++i) {
            to[2 * i] = kHexDigits[from[i] >> 4];
            to[2 * i + 1] = kHexDigits[from[i] & 15];
        }
        used += chunk * 2;
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
            used += 1;
            continue;
        }
        to[0] = '\\';
        to[1] = 'x';
        to[2] = kHexDigits[c >> 4];
        to[3] = kHexDigits[c & 15];
        used += 4;
    }
    PutChar('"');
}

void PutPoint(int32_t x, int32_t y)
{
    char *to = Reserve(23);
    uint32_t at = FormatDecimal(to, x);
    to[at++] = ',';
    used += at + FormatDecimal(to + at, y);
}

// " x,y" for each point: the long arrays of polygons, at a few
// instructions a character.
void PutPoints(const Point16 *points, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        char *to = Reserve(14);
        to[0] = ' ';
        uint32_t at = 1 + FormatDecimal(to + 1, points[i].x);
        to[at++] = ',';
        used += at + FormatDecimal(to + at, points[i].y);
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
