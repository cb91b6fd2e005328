#include "recording/recording.h"

// The 16-bit spooler driver: the reference device is the printer behind it.
static const char kReferenceDriver[] = "WINSPL16";
static const char kSpoolPrefix[] = "EMF";
static const char kTempFolder[] = "\\temp";

static size_t TextLength(const char *text)
{
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// Builds "<windows directory>\temp" in a MAX_PATH buffer. Fails rather than
// truncating: a directory name that fills the buffer would otherwise push the
// suffix past its end, or yield a path that names the wrong folder.
static int32_t BuildSpoolDirectory(char *directory)
{
    FillBytes(directory, 0, MAX_PATH);
    UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return -1;
    }
    if ((size_t)length + sizeof kTempFolder > MAX_PATH) {
        return -1;
    }
    CopyBytes(directory + length, kTempFolder, sizeof kTempFolder);
    return 0;
}

// The name is made in a buffer of our own and copied out only once it
// exists, so a failure leaves the caller's buffer exactly as it was and the
// caller never opens a surface on a stale or half-written name.
int32_t NameSpoolFile(char *callerBuffer)
{
    char directory[MAX_PATH];
    char name[MAX_PATH];
    if (BuildSpoolDirectory(directory) != 0) {
        return -1;
    }
    FillBytes(name, 0, sizeof name);
    if (GetTempFileNameA(directory, kSpoolPrefix, 0, name) == 0) {
        return -1;
    }
    name[MAX_PATH - 1] = '\0';
    CopyBytes(callerBuffer, name, TextLength(name) + 1);
    return 0;
}

int32_t OpenRecordingSurface(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                             HDC *surface)
{
    HDC reference = CreateDCA(kReferenceDriver, deviceName, NULL, devMode);
    if (reference == NULL) {
        return -1;
    }
    HDC recording = CreateEnhMetaFileA(reference, fileName, frame, NULL);
    // The reference context is needed only while the metafile is created.
    DeleteDC(reference);
    if (recording == NULL) {
        return -1;
    }
    *surface = recording;
    return 0;
}

// Releasing the metafile handle leaves the spool file on disk for the caller.
int32_t CloseRecordingSurface(HDC surface)
{
    HENHMETAFILE metafile = CloseEnhMetaFile(surface);
    DeleteEnhMetaFile(metafile);
    return 0;
}

// Removing the old region first makes the rectangle replace, not narrow, the
// clip an earlier request left.
int32_t ApplyClipRect(HDC surface, const RECT *clip)
{
    SelectClipRgn(surface, NULL);
    IntersectClipRect(surface, clip->left, clip->top, clip->right, clip->bottom);
    return 0;
}
