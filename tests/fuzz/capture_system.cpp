// The capture fuzzer's KERNEL32 (capture_system.h): the capture DLL's file,
// mapping, lock and environment calls, over two files in memory.
#include "capture_system.h"

#include <algorithm>
#include <cstring>

#include "capture/capture.h"

Disk gCapture, gPoints;
static Disk &DiskOf(HANDLE handle) // the point file's handles are odd
{
    return ((intptr_t)handle & 1) != 0 ? gPoints : gCapture;
}
HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, void *, DWORD, DWORD, HANDLE)
{
    const bool points = std::strstr(name, ".pt") != nullptr;
    Disk &disk = points ? gPoints : gCapture;
    disk.size = disk.position = 0;
    return (HANDLE)(intptr_t)(points ? 3 : 2);
}
HANDLE CreateFileMappingA(HANDLE file, void *, DWORD, DWORD, DWORD size, LPCSTR)
{
    Disk &disk = DiskOf(file);
    if (size > disk.room) {
        disk.full = true;
        return NULL;
    }
    std::fill(disk.bytes.begin() + (ptrdiff_t)std::min<size_t>(disk.size, size), disk.bytes.begin() + size, 0);
    disk.size = std::max<size_t>(disk.size, size);
    return (HANDLE)((intptr_t)file + 2);
}
LPVOID MapViewOfFile(HANDLE mapping, DWORD, DWORD, DWORD offset, SIZE_T)
{
    return DiskOf(mapping).bytes.data() + offset;
}
BOOL UnmapViewOfFile(LPCVOID)
{
    return TRUE;
}
DWORD SetFilePointer(HANDLE file, LONG distance, LONG *, DWORD)
{
    DiskOf(file).position = (size_t)distance;
    return (DWORD)distance;
}
BOOL SetEndOfFile(HANDLE file)
{
    DiskOf(file).size = DiskOf(file).position;
    return TRUE;
}
// A full disk takes part of a write.
BOOL WriteFile(HANDLE file, const void *bytes, DWORD count, LPDWORD written, void *)
{
    Disk &disk = DiskOf(file);
    const size_t room = disk.room > disk.position ? disk.room - disk.position : 0;
    *written = (DWORD)std::min<size_t>(count, room);
    std::memcpy(disk.bytes.data() + disk.position, bytes, *written);
    disk.position += *written;
    disk.size = std::max(disk.size, disk.position);
    disk.full = disk.full || *written < count; // a file is grown by writing zeros ahead
    return *written == count;
}
BOOL CloseHandle(HANDLE)
{
    return TRUE;
}
DWORD GetLastError(void)
{
    return 112; // ERROR_DISK_FULL
}
DWORD GetEnvironmentVariableA(LPCSTR, LPSTR, DWORD)
{
    return 0;
}
void InitializeCriticalSection(CRITICAL_SECTION *) {}
void EnterCriticalSection(CRITICAL_SECTION *) {}
void LeaveCriticalSection(CRITICAL_SECTION *) {}
void DeleteCriticalSection(CRITICAL_SECTION *) {}
const char *OwnFolder(void)
{
    return "";
}

