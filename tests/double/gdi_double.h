// The GDI test double: a small model of GDI32 and the few KERNEL32 calls the
// library makes, linked into the host test programs in place of Windows.
//
// It hands out handles, keeps per-DC state (selected objects, modes, colours,
// clip, current position, path), allocates real memory for GlobalAlloc, logs
// every call with its arguments, fails calls on request, and keeps a ledger of
// objects and blocks so a test can ask what leaked or was misused.
//
// Typical use:
//   void SetUp() override { GdiDoubleReset(); }
//   ...
//   EXPECT_THAT(GdiDoubleCallNames(surface), ElementsAre("SetROP2", "Polygon")) << GdiDoubleDump();
//   EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
//
// Everything here is single-threaded and lives until the next GdiDoubleReset.
// Pointers returned by the query functions stay valid until the next reset
// (call records: until the next GdiDoubleClearLog).
#ifndef QUILLREC_GDI_DOUBLE_H
#define QUILLREC_GDI_DOUBLE_H

#include "host_win32.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum class GdiKind {
    Pen,          // CreatePenIndirect, stock pens
    ExtPen,       // ExtCreatePen
    Brush,        // CreateBrushIndirect, CreateDIBPatternBrushPt, stock brushes
    Bitmap,       // CreateBitmapIndirect, the default 1x1 bitmap of memory DCs
    Font,         // CreateFontIndirectA, stock fonts
    Palette,      // DEFAULT_PALETTE
    ReferenceDc,  // CreateDCA
    MetafileDc,   // CreateEnhMetaFileA (the recording surface)
    MemoryDc,     // CreateCompatibleDC
    EnhMetafile,  // CloseEnhMetaFile
};

enum class GdiPathState { None, Open, Closed };

// What a device context holds at one moment.
struct GdiDcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;  // memory DCs only
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    UINT textAlign = 0;
    bool hasClip = false;  // false: no clip region (after creation or SelectClipRgn(NULL))
    RECT clip = {0, 0, 0, 0};  // the clip rectangle; empty when the intersections left nothing
    POINT position = {0, 0};   // current position
    GdiPathState path = GdiPathState::None;
    int pathFigures = 0;   // figures added since BeginPath (MoveToEx, each shape)
    int pathSegments = 0;  // line and curve segments added since BeginPath
    bool pathWidened = false;
    int pathFills = 0;     // FillPath calls that succeeded on this DC
};

// One object of the ledger: a GDI object, a DC or a metafile.
struct GdiObjectInfo {
    HGDIOBJ handle = nullptr;
    GdiKind kind = GdiKind::Pen;
    bool stock = false;
    int stockIndex = -1;      // GetStockObject index; -1 for the default bitmap and created objects
    std::string creator;      // the function that made it ("GetStockObject" for stock objects)
    int deleteCount = 0;      // successful deletions (DeleteObject, DeleteDC, CloseEnhMetaFile, DeleteEnhMetaFile)
    bool live() const { return deleteCount == 0; }

    LOGPEN logPen = {};                  // Pen
    DWORD extPenStyle = 0;               // ExtPen
    DWORD extPenWidth = 0;
    LOGBRUSH extPenBrush = {};
    std::vector<DWORD> extPenStyleArray;
    LOGBRUSH logBrush = {};              // Brush (for a DIB pattern brush: lbStyle BS_DIBPATTERNPT)
    std::vector<uint8_t> packedDib;      // CreateDIBPatternBrushPt: header, colour table and bits as passed
    UINT dibUsage = 0;
    BITMAP bitmap = {};                  // Bitmap, as passed (bmBits is the caller's pointer, not to be used)
    int width = 0, height = 0;           // Bitmap as GDI made it (a zero-sized request gives 1x1)
    int bitCount = 0;                    // 1, 4, 8, 16, 24 or 32: bmBitsPixel rounded up as GDI does
    std::vector<uint8_t> bits;           // the rows as GDI reads them from bmBits: word-aligned, top row first
    int bitsStride = 0;                  // bytes per row in `bits`
    LOGFONTA logFont = {};               // Font

    GdiDcState dc;                       // DC kinds
    std::string driver, device, port;    // CreateDCA
    const DEVMODEA *devMode = nullptr;
    HDC referenceDc = nullptr;           // CreateEnhMetaFileA, CreateCompatibleDC
    std::string fileName, description;   // CreateEnhMetaFileA (empty when null)
    bool hasFrame = false;
    RECT frame = {0, 0, 0, 0};
    HGDIOBJ closedInto = nullptr;        // metafile DC: the HENHMETAFILE CloseEnhMetaFile made
    HGDIOBJ recordedBy = nullptr;        // enhanced metafile: the DC it was closed from
};

struct GdiBlockInfo {
    HGLOBAL handle = nullptr;
    UINT flags = 0;
    SIZE_T size = 0;
    int lockCount = 0;
    int freeCount = 0;              // successful GlobalFree calls
    uint8_t *address = nullptr;     // the block's memory while not freed
};

// One logged call. `args` holds every argument except the DC, in Win32 order,
// with handles and pointers as their values (null pointers as 0), so a test can
// check "Polygon was handed the locked block" by comparing addresses.
struct GdiCall {
    std::string name;
    HDC dc = nullptr;               // the DC argument (destination DC for StretchBlt), or null
    std::vector<int64_t> args;
    int64_t result = 0;
    bool injected = false;          // failed because the test asked for it
    std::string text;               // the call as GdiDoubleDump prints it

    bool hasState = false;          // dc was a live DC
    GdiDcState state;               // the DC state the call found (before its own effect)

    std::vector<std::string> strings;  // string arguments in order; "(null)" for a null pointer
    std::vector<POINT> points;         // Polygon, Polyline, PolyBezier, PolyPolygon
    std::vector<INT> counts;           // PolyPolygon
    std::string bytes;                 // ExtTextOutA string (c bytes)
    std::vector<WCHAR> wide;           // ExtTextOutW string (c units)
    bool hasDx = false;
    std::vector<INT> dx;               // ExtTextOutA/W advances (c entries)
    bool hasRect = false;
    RECT rect = {0, 0, 0, 0};          // ExtTextOut rectangle, CreateEnhMetaFileA frame
    std::vector<uint8_t> info;         // StretchDIBits: header and colour table; GetDIBits: the header as passed
    std::vector<uint8_t> bits;         // StretchDIBits: the bits the header describes
    HBITMAP sourceBitmap = nullptr;    // StretchBlt: the bitmap selected into the source DC
};

// --- Set-up ---------------------------------------------------------------

// Forgets everything: calls, objects, blocks (their memory is freed), failure
// plans, return overrides, settings. Stock objects are made anew.
void GdiDoubleReset();
// Forgets the call log only; objects, blocks, DC state and failure plans stay.
void GdiDoubleClearLog();

void GdiDoubleSetACP(UINT codePage);                 // GetACP's answer (default 1252)
void GdiDoubleSetWindowsDirectory(const std::string &directory);  // default "C:\\WINDOWS"
// GetTempFileNameA fails (0, buffer untouched) for this directory; compared
// without case and without a trailing backslash. May be called several times.
void GdiDoubleSetMissingDirectory(const std::string &directory);
std::vector<std::string> GdiDoubleTempFiles();       // names GetTempFileNameA made, in order

// --- Failure injection ----------------------------------------------------
// Counting starts at the instruction: nth = 1 fails the next call of `function`.
// Each instruction counts on its own, so failing the 1st and the 3rd call takes
// two instructions made together. A failed call changes no state and returns
// the function's failure value (NULL, 0, FALSE; CLR_INVALID for the colour
// setters, GDI_ERROR for SetTextAlign, the handle for GlobalFree) unless a
// value is given. Unknown function names throw std::invalid_argument.

void GdiDoubleFailCall(const std::string &function, int nth = 1);
void GdiDoubleFailCallWith(const std::string &function, int nth, int64_t failureValue);
void GdiDoubleFailEveryCall(const std::string &function);
void GdiDoubleFailEveryCallWith(const std::string &function, int64_t failureValue);
void GdiDoubleClearFailures();
// Instructions that have not fired yet (a test that expected a failure can check it happened).
std::vector<std::string> GdiDoublePendingFailures();

// Replaces the result of every successful call of `function` (a count or a
// flag: GetDIBits, StretchDIBits, Rectangle...). The call still has its effect
// (GetDIBits still writes rows).
void GdiDoubleSetReturn(const std::string &function, int64_t value);

// --- Call log -------------------------------------------------------------

const std::deque<GdiCall> &GdiDoubleCalls();
// Calls of one function, in order.
std::vector<const GdiCall *> GdiDoubleCallsOf(const std::string &function);
const GdiCall *GdiDoubleLastCall(const std::string &function);  // null when none
int GdiDoubleCallCount(const std::string &function);
// Function names in call order; with a DC, only the calls made on that DC.
std::vector<std::string> GdiDoubleCallNames(HDC dc = nullptr);
// Every call, one per line: "SetROP2(dc=0x80001000, 7) -> 13".
std::string GdiDoubleDump();

// --- Objects, blocks and the ledger ---------------------------------------

const GdiObjectInfo *GdiDoubleObject(HGDIOBJ handle);  // null when the double never made it
std::vector<const GdiObjectInfo *> GdiDoubleObjectsOf(GdiKind kind);  // created (not stock), in creation order
GdiDcState GdiDoubleDcState(HDC dc);                    // a default state for an unknown DC
HBITMAP GdiDoubleDefaultBitmap();                       // the stock 1x1 bitmap of new memory DCs
const GdiBlockInfo *GdiDoubleBlock(HGLOBAL handle);
std::vector<const GdiBlockInfo *> GdiDoubleBlocks();    // every block, in allocation order
std::string GdiDoubleHandleName(const void *handle);    // "BLACK_PEN", "0x80001004", "null"

enum class GdiLedgerScope {
    ObjectsAndBlocks,  // pens, brushes, bitmaps, fonts, memory DCs, global blocks
    Everything,        // also reference DCs, recording DCs and enhanced metafiles
};

// What is still held: objects never deleted, blocks never freed, blocks left locked.
std::vector<std::string> GdiDoubleLeakProblems(GdiLedgerScope scope = GdiLedgerScope::ObjectsAndBlocks);
// What went wrong during the calls: deleted twice, deleted while selected, stock
// object deleted, unknown or null handle deleted, selected after deletion, calls
// on a deleted or unknown DC, blocks freed while locked, freed twice, unlocked
// more often than locked.
std::vector<std::string> GdiDoubleMisuseProblems();
// Both lists together; empty when the test left GDI clean.
std::vector<std::string> GdiDoubleProblems(GdiLedgerScope scope = GdiLedgerScope::ObjectsAndBlocks);

#endif
