// The capture build of QUILLREC.dll: installed in the real DLL's place, it
// loads the real one from its own folder, forwards every call unchanged and
// writes each request, as the driver passed it, to a job file the driver
// simulator replays.
#ifndef QUILLREC_CAPTURE_H
#define QUILLREC_CAPTURE_H

#include "platform.h"

#include "jobformat/job_grammar.h"
#include "requestmodel/quillrec_calls.h"

// The real DLL, renamed beside the capture DLL (an 8.3 name, as a Windows
// 95-family system folder may need).
#define CAPTURE_REAL_DLL "QUILLRAW.DLL"

// Where captures go when the environment names no folder: the capture DLL's
// own folder. QUILLREC_CAPTURE names another.
#define CAPTURE_FOLDER_VARIABLE "QUILLREC_CAPTURE"

// ---- forward.cpp: the entry routine, and the real DLL's exports, loaded on
// first use (never from the entry routine, where the loader lock is held),
// under the capture lock, so exactly once.
typedef QuillrecCalls RealExports;

// The real exports, or NULL when the real DLL cannot be loaded (the capture
// file then says why). The caller holds the capture lock.
const RealExports *RealDll(void);
// The capture DLL's own folder, with a trailing backslash.
const char *OwnFolder(void);

// ---- mapped_file.cpp: a file written through a mapped window of it, grown
// by writing zeros ahead of the window. Windows start at multiples of the
// allocation granularity, 64 KiB on every Windows; the fuzzer's are smaller,
// so that they move often.
#ifndef CAPTURE_WINDOW_BYTES
#define CAPTURE_GRANULARITY_BYTES (1u << 16)
#define CAPTURE_WINDOW_BYTES (1u << 20)
#endif
typedef struct MappedFile {
    HANDLE file;
    HANDLE mapping; // NULL while no window is mapped
    char *view;     // the window: length bytes of the file from offset
    uint32_t offset;
    uint32_t length;
    uint32_t filled; // the file's length: zeros written ahead of what the window holds
} MappedFile;
// A window of length bytes from base (a multiple of the granularity), the
// file grown to hold it; 0 when the system gives none, the old window kept.
int MapFileWindow(MappedFile *mapped, uint32_t base, uint32_t length);
void UnmapFile(MappedFile *mapped);
// Unmapped, cut to length (what was written, without the zeros ahead) and closed.
void CutAndClose(MappedFile *mapped, uint32_t length);

// ---- capture_file.cpp: one capture file per process, written through a
// mapped window of it. Every export writes in two halves, each under the one
// lock and never while the real DLL runs: its request before the call, its
// result after. A half is in the file once EndRequest returns.
void CaptureAttach(void);              // process attach: makes the lock
void CaptureDetach(int processEnding); // process detach: the file cut to its last whole half and closed
void LockCapture(void);
void UnlockCapture(void);
int CaptureOn(void);           // 0 once the capture has stopped (or never started)
const char *CapturePath(void); // the capture file's path, once it is open
void BeginRequest(void);       // a half begins; the first opens the capture file
void EndRequest(void);         // the half is whole
// Writes why the capture stops after what the half put (a whole line) and
// closes the file.
void StopCapture(const char *reason, uint32_t error);
// A file beside the capture: its path (the capture's with suffix added) in
// side, the length returned, and where its name starts in *name.
uint32_t SidePath(char *side, uint32_t size, const char *suffix, uint32_t *name);
// The point file beside the capture closed, for a new capture to make its own.
void ClosePointFile(void);
// Appends text to a fixed array of size bytes at at, cutting at its end, and
// returns the new end: for names built on the stack.
uint32_t Append(char *to, uint32_t at, uint32_t size, const char *text);

void Put(const char *text);
void PutChar(char c);
void PutDecimal(int32_t value);
void PutUnsigned(uint32_t value);
void PutHex(uint32_t value);                           // 0x........ for flags and colours
void PutHexBytes(const void *bytes, uint32_t count);   // two digits a byte
void PutQuoted(const char *bytes, uint32_t count);     // "..." with \xNN escapes
void PutPoint(int32_t x, int32_t y);                   // x,y
void PutPoints(const Point16 *points, uint32_t count); // " x,y" each
void PutRect(const RECT *rect);                        // l,t,r,b
void PutNumbered(const char *prefix, uint32_t number); // prefix + decimal, a setting's name

// ---- requests.cpp: the job lines of each export, left open for the
// surface= that ends them. An export whose reads depend on its own progress
// writes a call line before the call, with what it reads first, and its
// line after the call answers it (call, the number CaptureCallEnd gave).
// The page line is written once the real DLL answered: its frame and file
// name are read only when the reference device was made (referenceMade).
uint32_t CapturePathCall(void);
uint32_t CapturePageCall(const DEVMODEA *devMode, const char *deviceName);
void CaptureGetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                           int referenceMade, uint32_t call);
void CaptureClip(const RECT *clip);
void CaptureOutput(uint16_t style, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                   uint32_t geometricPenStyle, const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip);
void CaptureRaster(const int32_t *rectangles, const BITMAP *source, uint32_t rop, const LOGBRUSH *brush,
                   const DrawModeRecord *drawMode);
void CaptureDib(const int32_t *rectangles, const void *bits, const BITMAPINFO *info, uint32_t rop,
                const LOGBRUSH *brush, const DrawModeRecord *drawMode);
// TextOut32's font and scalars, written before the call; the text line after
// it: the real DLL reads the string, advances, rectangle and draw mode only
// once the font exists (fontMade).
uint32_t CaptureTextCall(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, uint32_t count);
void CaptureText(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                 const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode,
                 bool fontMade, uint32_t call);

// ---- results.cpp: surfaces, results, brackets and deletes. A request line
// ends with CaptureRequestEnd (a page line with CapturePageEnd), which returns
// its number for the result line written after the call.
void CaptureFileStarted(void); // a new file knows no surface, request or setting yet
uint32_t CaptureRequestEnd(Handle32 surface);
uint32_t CapturePageEnd(uint32_t *page);
uint32_t CaptureCallEnd(void);
// call= on the line answering a call line, when another call line came since.
void CaptureAnswersCall(grammar::KeywordId keyword, uint32_t call);
void CaptureResult(uint32_t request, int32_t result);
void CaptureSurfaceOpened(uint32_t request, uint32_t page, int32_t result, Handle32 surface);
void CaptureHandedOut(uint32_t request, int32_t result, Handle32 surface, const ObjectSlots *slots);
void CaptureDelete(Handle32 surface, Handle32 object, Handle32 selectBack);
void CaptureClose(void);
// The path's spool name and its result line, answering call line call (not 0).
void CaptureGetEmfFilePath32(const char *buffer, int32_t result, uint32_t call);

#endif
