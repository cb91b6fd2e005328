// A platform that does nothing and succeeds at once: every GDI32 and KERNEL32
// operation the library calls, answering as Windows would on success. Linked
// into the host benchmark in place of the test double, so that counting
// instructions measures the library and almost nothing else.
#include "host_win32.h"

namespace {

// Stands in for every GDI object and device context.
struct Anything {
    int unused;
} gObject;

// GlobalLock hands out this one buffer: big enough for the largest block the
// library asks for (65535 points of 8 bytes; a 1024-row bitmap's rows).
alignas(16) unsigned char gBlock[1u << 21];

} // namespace

#define NOOP_HANDLE(type) ((type)(void *)&gObject)

// One line each: every operation answers as Windows would on success.
// clang-format off
HDC CreateDCA(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA *) { return NOOP_HANDLE(HDC); }
BOOL DeleteDC(HDC) { return TRUE; }
HDC CreateEnhMetaFileA(HDC, LPCSTR, const RECT *, LPCSTR) { return NOOP_HANDLE(HDC); }
HENHMETAFILE CloseEnhMetaFile(HDC) { return NOOP_HANDLE(HENHMETAFILE); }
BOOL DeleteEnhMetaFile(HENHMETAFILE) { return TRUE; }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return &gObject; }
BOOL DeleteObject(HGDIOBJ) { return TRUE; }
HGDIOBJ GetStockObject(int) { return &gObject; }
HPEN CreatePenIndirect(const LOGPEN *) { return NOOP_HANDLE(HPEN); }
HPEN ExtCreatePen(DWORD, DWORD, const LOGBRUSH *, DWORD, const DWORD *) { return NOOP_HANDLE(HPEN); }
HBRUSH CreateBrushIndirect(const LOGBRUSH *) { return NOOP_HANDLE(HBRUSH); }
HBRUSH CreateDIBPatternBrushPt(const VOID *, UINT) { return NOOP_HANDLE(HBRUSH); }
HBITMAP CreateBitmapIndirect(const BITMAP *) { return NOOP_HANDLE(HBITMAP); }
HDC CreateCompatibleDC(HDC) { return NOOP_HANDLE(HDC); }
int GetDIBits(HDC, HBITMAP, UINT, UINT cLines, LPVOID, LPBITMAPINFO, UINT) { return (int)cLines; }
int SetBkMode(HDC, int) { return OPAQUE; }
COLORREF SetBkColor(HDC, COLORREF) { return 0xFFFFFF; }
COLORREF SetTextColor(HDC, COLORREF) { return 0; }
int SetROP2(HDC, int) { return R2_COPYPEN; }
int SetPolyFillMode(HDC, int) { return ALTERNATE; }
UINT SetTextAlign(HDC, UINT) { return 0; }
int SelectClipRgn(HDC, HRGN) { return SIMPLEREGION; }
int IntersectClipRect(HDC, int, int, int, int) { return SIMPLEREGION; }
BOOL Rectangle(HDC, int, int, int, int) { return TRUE; }
BOOL Ellipse(HDC, int, int, int, int) { return TRUE; }
BOOL Polygon(HDC, const POINT *, int) { return TRUE; }
BOOL PolyPolygon(HDC, const POINT *, const INT *, int) { return TRUE; }
BOOL Polyline(HDC, const POINT *, int) { return TRUE; }
BOOL PolyBezier(HDC, const POINT *, DWORD) { return TRUE; }
BOOL MoveToEx(HDC, int, int, LPPOINT) { return TRUE; }
BOOL LineTo(HDC, int, int) { return TRUE; }
BOOL BeginPath(HDC) { return TRUE; }
BOOL EndPath(HDC) { return TRUE; }
BOOL WidenPath(HDC) { return TRUE; }
BOOL FillPath(HDC) { return TRUE; }
BOOL StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) { return TRUE; }
int StretchDIBits(HDC, int, int, int, int, int, int, int, int SrcHeight, const VOID *, const BITMAPINFO *, UINT,
                  DWORD)
{
    return SrcHeight;
}
HFONT CreateFontIndirectA(const LOGFONTA *) { return NOOP_HANDLE(HFONT); }
BOOL ExtTextOutA(HDC, int, int, UINT, const RECT *, LPCSTR, UINT, const INT *) { return TRUE; }
BOOL ExtTextOutW(HDC, int, int, UINT, const RECT *, LPCWSTR, UINT, const INT *) { return TRUE; }
BOOL TranslateCharsetInfo(DWORD *, LPCHARSETINFO lpCs, DWORD)
{
    lpCs->ciCharset = ANSI_CHARSET;
    lpCs->ciACP = 1252;
    return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    static const char kWindows[] = "C:\\WINDOWS";
    if (uSize < sizeof kWindows) {
        return sizeof kWindows;
    }
    for (UINT i = 0; i < sizeof kWindows; ++i) {
        lpBuffer[i] = kWindows[i];
    }
    return sizeof kWindows - 1;
}
UINT GetTempFileNameA(LPCSTR, LPCSTR, UINT, LPSTR lpTempFileName)
{
    static const char kName[] = "C:\\WINDOWS\\temp\\EMF1.tmp";
    for (UINT i = 0; i < sizeof kName; ++i) {
        lpTempFileName[i] = kName[i];
    }
    return 1;
}
HGLOBAL GlobalAlloc(UINT, SIZE_T dwBytes) { return dwBytes <= sizeof gBlock ? (HGLOBAL)gBlock : NULL; }
LPVOID GlobalLock(HGLOBAL hMem) { return hMem; }
BOOL GlobalUnlock(HGLOBAL) { return FALSE; }
HGLOBAL GlobalFree(HGLOBAL) { return NULL; }
UINT GetACP(void) { return 1252; }
BOOL IsDBCSLeadByteEx(UINT, BYTE) { return FALSE; }
// clang-format on
