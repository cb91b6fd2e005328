// The capture file: created under a name no earlier capture has, written a
// request at a time. Any failure stops the capture and never reaches the
// driver, whose calls go on being forwarded.
#include "capture/capture.h"

enum CaptureState { CAPTURE_NOT_STARTED, CAPTURE_WRITING, CAPTURE_STOPPED };

static CaptureState state;
static HANDLE file;
// Large enough that most requests take one WriteFile; a longer one (a
// 10,000-point polygon) takes several, each handed over as it fills.
static char buffer[16384];
static uint32_t used;

// Appends to a fixed array, cutting at its end: for names built on the stack.
static uint32_t Append(char *to, uint32_t at, uint32_t size, const char *text)
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
    const char *pattern = "QRC00000.JOB";
    for (int i = 0; pattern[i] != '\0'; ++i) {
        name[i] = pattern[i];
    }
    name[12] = '\0';
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
    char path[MAX_PATH + 16];
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
        char digits[12];
        int count = 0;
        do {
            digits[count++] = (char)('0' + error % 10);
            error /= 10;
        } while (error != 0);
        at = Append(line, at, sizeof line, " (error ");
        while (count > 0 && at + 2 < sizeof line) {
            line[at++] = digits[--count];
        }
        line[at] = '\0';
        at = Append(line, at, sizeof line, ")");
    }
    at = Append(line, at, sizeof line, "\n");
    WriteAll(line, at);
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    used = 0;
}

void PutChar(char c)
{
    if (state != CAPTURE_WRITING) {
        return;
    }
    if (used == sizeof buffer) {
        Flush();
        if (state != CAPTURE_WRITING) {
            return;
        }
    }
    buffer[used++] = c;
}

// A null text writes nothing: a name the grammar does not hold.
void Put(const char *text)
{
    while (text != NULL && *text != '\0') {
        PutChar(*text++);
    }
}

void PutUnsigned(uint32_t value)
{
    char digits[10];
    int count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        PutChar(digits[--count]);
    }
}

void PutDecimal(int32_t value)
{
    if (value < 0) {
        PutChar('-');
        PutUnsigned(0u - (uint32_t)value);
        return;
    }
    PutUnsigned((uint32_t)value);
}

static const char kHexDigits[] = "0123456789abcdef";

void PutHex(uint32_t value)
{
    Put("0x");
    for (int shift = 28; shift >= 0; shift -= 4) {
        PutChar(kHexDigits[(value >> shift) & 15]);
    }
}

void PutHexBytes(const void *bytes, uint32_t count)
{
    const unsigned char *from = (const unsigned char *)bytes;
    for (uint32_t i = 0; i < count; ++i) {
        PutChar(kHexDigits[from[i] >> 4]);
        PutChar(kHexDigits[from[i] & 15]);
    }
}

// Printable ASCII stays as it is; everything else, and the quote and the
// backslash, as \xNN, so every byte survives an editor and the parser.
void PutQuoted(const char *bytes, uint32_t count)
{
    PutChar('"');
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            PutChar((char)c);
            continue;
        }
        Put("\\x");
        PutChar(kHexDigits[c >> 4]);
        PutChar(kHexDigits[c & 15]);
    }
    PutChar('"');
}

void PutPoint(int32_t x, int32_t y)
{
    PutDecimal(x);
    PutChar(',');
    PutDecimal(y);
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
