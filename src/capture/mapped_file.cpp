// Files written through a mapped window: the capture file and its point file.
// What is in the window is in the file even when the process dies the next
// instant, and writing costs no system call; only moving the window does.
#include "capture/capture.h"

static const uint32_t kLargestFile = 0xFFF00000u;

// The file grown to end with zeros written, not by the mapping: a page
// first written through a view faults, and where the mapping grew the file
// that fault also allocates and clears the page, which costs more than
// formatting the text put in it (a 10,000-point polygon's 95 KB). Written
// ahead, the pages are there when the view touches them. 0 when the disk
// takes no more.
static int Fill(MappedFile *mapped, uint32_t end)
{
    static char zeros[1u << 16]; // never written: zero, and no bytes in the image
    if (mapped->filled < end &&
        SetFilePointer(mapped->file, (LONG)mapped->filled, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        return 0;
    }
    while (mapped->filled < end) {
        DWORD count = end - mapped->filled < sizeof zeros ? end - mapped->filled : sizeof zeros, written = 0;
        if (!WriteFile(mapped->file, zeros, count, &written, NULL) || written != count) {
            return 0;
        }
        mapped->filled += count;
    }
    return 1;
}

void UnmapFile(MappedFile *mapped)
{
    if (mapped->view != NULL) {
        UnmapViewOfFile(mapped->view);
        CloseHandle(mapped->mapping);
    }
    mapped->view = NULL;
    mapped->mapping = NULL;
}

int MapFileWindow(MappedFile *mapped, uint32_t base, uint32_t length)
{
    if (base > kLargestFile - length || !Fill(mapped, base + length)) {
        return 0;
    }
    HANDLE grown = CreateFileMappingA(mapped->file, NULL, PAGE_READWRITE, 0, base + length, NULL);
    char *window = grown != NULL ? (char *)MapViewOfFile(grown, FILE_MAP_WRITE, 0, base, length) : NULL;
    if (window == NULL) {
        if (grown != NULL) {
            CloseHandle(grown);
        }
        return 0;
    }
    UnmapFile(mapped);
    mapped->mapping = grown;
    mapped->view = window;
    mapped->offset = base;
    mapped->length = length;
    return 1;
}

void CutAndClose(MappedFile *mapped, uint32_t length)
{
    UnmapFile(mapped);
    if (SetFilePointer(mapped->file, (LONG)length, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
        SetEndOfFile(mapped->file);
    }
    CloseHandle(mapped->file);
}
