#include "bench_requests.h"

namespace {

// Inputs shared by every request; built once so no request pays for them.
Point16 gPoints[kBenchMostPoints];
Point16 gScanPoints[kBenchMostSegments + 1];
uint8_t gBitmapBits[kBenchRasterWidth * 3 * kBenchMostRows];
char gText[kBenchMostCharacters];
int32_t gAdvances[kBenchMostCharacters];

LOGPEN gPen;
LOGBRUSH gBrush;
DrawModeRecord gDrawMode;
DrawModeRecord gTextMode;
RECT gClip;
LOGFONTA gFont;

// Scratch memory of the direct calls that own their memory.
POINT gWidened[kBenchMostPoints];
uint8_t gRows[(kBenchMostRows + 1) * kBenchRasterWidth * 3 * 3];

const uint32_t kGeometricPenStyle = 0;
const int32_t kInlinePoints = 1024;
const UINT kBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT;

const int32_t kRasterX = 100, kRasterY = 100;
const uint32_t kRasterRop = SRCCOPY;
const int32_t kTextX = 50, kTextY = 400;
const uint32_t kTextOptions = 0;

BITMAP RasterBitmap(uint32_t rows)
{
    BITMAP bitmap = {};
    bitmap.bmWidth = kBenchRasterWidth;
    bitmap.bmHeight = (LONG)rows;
    bitmap.bmWidthBytes = kBenchRasterWidth * 3;
    bitmap.bmPlanes = 1;
    bitmap.bmBitsPixel = 24;
    bitmap.bmBits = gBitmapBits;
    return bitmap;
}

void Widen(POINT *to, const Point16 *from, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        to[i].x = from[i].x;
        to[i].y = from[i].y;
    }
}

// Releases in the library's order: pen with its predecessor, then brush.
void SelectBackAndDelete(HDC surface, HGDIOBJ object, HGDIOBJ predecessor)
{
    SelectObject(surface, predecessor);
    DeleteObject(object);
}

void ApplyDrawModeColours(HDC surface, const DrawModeRecord &mode)
{
    SetBkMode(surface, (int)mode.bkMode);
    SetBkColor(surface, mode.bkColor);
    SetTextColor(surface, mode.textColor);
}

HPEN CreateGeometric(COLORREF color, uint32_t style, int32_t width)
{
    LOGBRUSH solid = {BS_SOLID, color, 0};
    return ExtCreatePen(style | PS_GEOMETRIC, (DWORD)width, &solid, 0, NULL);
}

void DirectRectangle(HDC surface)
{
    HPEN pen = CreatePenIndirect(&gPen);
    HGDIOBJ oldPen = SelectObject(surface, pen);
    ApplyDrawModeColours(surface, gDrawMode);
    HBRUSH brush = CreateBrushIndirect(&gBrush);
    HGDIOBJ oldBrush = SelectObject(surface, brush);
    SetROP2(surface, (int)gDrawMode.rop2);
    Rectangle(surface, gPoints[0].x, gPoints[0].y, gPoints[1].x, gPoints[1].y);
    SelectBackAndDelete(surface, pen, oldPen);
    SelectBackAndDelete(surface, brush, oldBrush);
}

void DirectPolyShape(HDC surface, bool polygon, uint32_t count, DirectMemory memory)
{
    HPEN pen = CreateGeometric(gPen.lopnColor, kGeometricPenStyle, gPen.lopnWidth.x);
    HGDIOBJ oldPen = SelectObject(surface, pen);
    ApplyDrawModeColours(surface, gDrawMode);
    HBRUSH brush = CreateBrushIndirect(&gBrush);
    HGDIOBJ oldBrush = SelectObject(surface, brush);
    SetROP2(surface, (int)gDrawMode.rop2);
    if (polygon) {
        SetPolyFillMode(surface, WINDING);
    }
    POINT inlinePoints[kInlinePoints];
    POINT *points = memory == DIRECT_GDI_ONLY ? gWidened : inlinePoints;
    HGLOBAL block = NULL;
    if (memory == DIRECT_SAME_CALLS && count > (uint32_t)kInlinePoints) {
        block = GlobalAlloc(kBlockFlags, count * sizeof(POINT));
        points = (POINT *)GlobalLock(block);
    }
    SelectClipRgn(surface, NULL);
    IntersectClipRect(surface, gClip.left, gClip.top, gClip.right, gClip.bottom);
    Widen(points, gPoints, count);
    if (polygon) {
        Polygon(surface, points, (int)count);
    } else {
        Polyline(surface, points, (int)count);
    }
    if (block != NULL) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
    SelectBackAndDelete(surface, pen, oldPen);
    SelectBackAndDelete(surface, brush, oldBrush);
}

void DirectScanBracket(HDC surface, uint32_t segments)
{
    ApplyDrawModeColours(surface, gDrawMode);
    HBRUSH brush = CreateBrushIndirect(&gBrush);
    HGDIOBJ oldBrush = SelectObject(surface, brush);
    HPEN pen = CreateGeometric(gBrush.lbColor, 0, 1);
    HGDIOBJ oldPen = SelectObject(surface, pen);
    SetROP2(surface, (int)gDrawMode.rop2);
    BeginPath(surface);
    int y = gScanPoints[0].y;
    for (uint32_t i = 1; i <= segments; ++i) {
        MoveToEx(surface, gScanPoints[i].x, y, NULL);
        LineTo(surface, gScanPoints[i].y, y);
    }
    EndPath(surface);
    SetPolyFillMode(surface, WINDING);
    WidenPath(surface);
    FillPath(surface);
    SelectBackAndDelete(surface, pen, oldPen);
    SelectBackAndDelete(surface, brush, oldBrush);
}

void DirectRaster(HDC surface, uint32_t rows, DirectMemory memory)
{
    SelectObject(surface, GetStockObject(NULL_PEN));
    ApplyDrawModeColours(surface, gDrawMode);
    HBRUSH brush = CreateBrushIndirect(&gBrush);
    HGDIOBJ oldBrush = SelectObject(surface, brush);

    BITMAP source = RasterBitmap(rows);
    HBITMAP bitmap = CreateBitmapIndirect(&source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = source.bmWidth;
    info.bmiHeader.biHeight = source.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    int32_t stride = (source.bmWidthBytes + 3) / 4 * 4 * 3;
    int32_t dibRow = (source.bmWidth * 24 + 31) / 32 * 4;
    int32_t allowance = dibRow > stride ? dibRow : stride;
    uint8_t *bits = gRows;
    HGLOBAL block = NULL;
    if (memory == DIRECT_SAME_CALLS) {
        block = GlobalAlloc(kBlockFlags, (SIZE_T)(source.bmHeight + 1) * (SIZE_T)allowance);
        bits = (uint8_t *)GlobalLock(block);
    }
    int lines = GetDIBits(surface, bitmap, 0, rows, bits, &info, DIB_RGB_COLORS);
    if (gDrawMode.rop2 != 0) {
        SetBkMode(surface, gDrawMode.useBkMode != 0 ? (int)gDrawMode.bkMode : OPAQUE);
    }
    if (lines != 0) {
        StretchDIBits(surface, kRasterX, kRasterY, 2 * kBenchRasterWidth, 2 * (int)rows, 0, 0, kBenchRasterWidth,
                      (int)rows, bits, &info, DIB_RGB_COLORS, kRasterRop);
    }
    if (block != NULL) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
    DeleteObject(bitmap);
    SelectBackAndDelete(surface, brush, oldBrush);
}

void DirectText(HDC surface, uint32_t characters, DirectMemory memory)
{
    HFONT font = CreateFontIndirectA(&gFont);
    HGDIOBJ oldFont = SelectObject(surface, font);
    SetBkMode(surface, (int)gTextMode.bkMode);
    SetTextAlign(surface, 0);
    SetTextColor(surface, gTextMode.textColor);
    if (gTextMode.bkMode == OPAQUE || (kTextOptions & ETO_OPAQUE) != 0) {
        SetBkColor(surface, gTextMode.bkColor);
    }
    CHARSETINFO charset = {};
    UINT codePage = 0;
    if (TranslateCharsetInfo((DWORD *)(uintptr_t)gFont.lfCharSet, &charset, TCI_SRCCHARSET)) {
        codePage = charset.ciACP;
    }
    // Escapement 0: each advance moves x by itself.
    int32_t x = kTextX;
    for (uint32_t i = 0; i < characters; ++i) {
        if (i != 0) {
            x += gAdvances[i - 1];
        }
        if (memory == DIRECT_SAME_CALLS) {
            IsDBCSLeadByteEx(codePage, (BYTE)gText[i]);
        }
        ExtTextOutA(surface, x, kTextY, kTextOptions, NULL, &gText[i], 1, NULL);
    }
    SelectBackAndDelete(surface, font, oldFont);
}

} // namespace

const BenchCase kBenchHeadlineCases[] = {
    {BENCH_RECTANGLE, 2, "rectangle, created pen and brush"}, {BENCH_POLYGON, 100, "polygon, 100 points"},
    {BENCH_POLYGON, 10000, "polygon, 10,000 points"},         {BENCH_SCAN, 200, "scan bracket, 200 segments"},
    {BENCH_RASTER, 64, "Raster32, 64x64 24-bit colour"},      {BENCH_TEXT, 40, "text, 40 characters with advances"},
};
const int kBenchHeadlineCount = sizeof kBenchHeadlineCases / sizeof kBenchHeadlineCases[0];

std::vector<BenchCase> BenchSweepCases()
{
    static const struct {
        BenchKind kind;
        const char *label;
        uint32_t sizes[8]; // up to the first 0
    } kSweep[] = {
        {BENCH_RECTANGLE, "rectangle", {2}},
        {BENCH_POLYGON, "polygon", {16, 100, 400, 1024, 1025, 2000, 10000, 40000}},
        {BENCH_POLYLINE, "polyline", {16, 100, 400, 1024, 1025, 2000, 10000, 40000}},
        {BENCH_SCAN, "scan", {1, 50, 200, 1000}},
        {BENCH_RASTER, "raster", {1, 16, 64, 256}},
        {BENCH_TEXT, "text", {1, 10, 40, 200}},
    };
    std::vector<BenchCase> cases;
    for (const auto &row : kSweep) {
        for (uint32_t size : row.sizes) {
            if (size != 0) {
                cases.push_back(BenchCase{row.kind, size, row.label});
            }
        }
    }
    return cases;
}

void PrepareBenchInputs()
{
    // A zigzag over a page-sized area: every point differs, all in 16 bits.
    for (uint32_t i = 0; i < kBenchMostPoints; ++i) {
        gPoints[i].x = (int16_t)(100 + (i * 37u) % 3000u);
        gPoints[i].y = (int16_t)(100 + (i * 91u) % 2000u);
    }
    // One scan line at y 500; segment i runs from its x field to its y field.
    gScanPoints[0].x = 0;
    gScanPoints[0].y = 500;
    for (uint32_t i = 1; i <= kBenchMostSegments; ++i) {
        int16_t start = (int16_t)(10 + (i * 7u) % 3000u);
        gScanPoints[i].x = start;
        gScanPoints[i].y = (int16_t)(start + 4);
    }
    for (uint32_t i = 0; i < sizeof gBitmapBits; ++i) {
        gBitmapBits[i] = (uint8_t)(i * 13u);
    }
    static const char kSentence[] = "The quick brown fox jumps over the lazy dog. ";
    for (uint32_t i = 0; i < kBenchMostCharacters; ++i) {
        gText[i] = kSentence[i % (sizeof kSentence - 1)];
        gAdvances[i] = 14;
    }

    gPen.lopnStyle = PS_SOLID;
    gPen.lopnWidth.x = 3;
    gPen.lopnWidth.y = 0;
    gPen.lopnColor = 0x0000C0;
    gBrush.lbStyle = BS_SOLID;
    gBrush.lbColor = 0xC08000;
    gBrush.lbHatch = 0;
    gDrawMode.rop2 = R2_COPYPEN;
    gDrawMode.bkMode = OPAQUE;
    gDrawMode.bkColor = 0xFFFFFF;
    gDrawMode.textColor = 0x000000;
    gDrawMode.useBkMode = 0;
    gTextMode = gDrawMode;
    gTextMode.bkMode = TRANSPARENT;
    gClip.left = 0;
    gClip.top = 0;
    gClip.right = 4000;
    gClip.bottom = 3000;

    gFont = LOGFONTA();
    gFont.lfHeight = -24;
    gFont.lfWeight = FW_NORMAL;
    gFont.lfCharSet = ANSI_CHARSET;
    static const char kFace[] = "DejaVu Sans";
    for (uint32_t i = 0; i < sizeof kFace; ++i) {
        gFont.lfFaceName[i] = kFace[i];
    }
}

void RequestThroughDll(const QuillrecCalls &dll, Handle32 *surface, const BenchCase &request)
{
    Handle32 outPen = 0, outOldPen = 0, outBrush = 0, outOldBrush = 0, outPattern = 0, none = 0;
    uint16_t scanFlag = 0;
    uint32_t geometricPenStyle = kGeometricPenStyle;
    switch (request.kind) {
    case BENCH_RECTANGLE: {
        uint16_t style = OUT_RECTANGLE, count = 2;
        dll.Output32(surface, &style, &scanFlag, &count, gPoints, &gPen, &geometricPenStyle, &gBrush, &gDrawMode,
                     &outPen, &outOldPen, &outBrush, &outOldBrush, &outPattern, NULL);
        break;
    }
    case BENCH_POLYGON:
    case BENCH_POLYLINE: {
        uint16_t style = request.kind == BENCH_POLYGON ? OUT_WINDPOLYGON : OUT_POLYLINE;
        uint16_t count = (uint16_t)request.size;
        dll.Output32(surface, &style, &scanFlag, &count, gPoints, &gPen, &geometricPenStyle, &gBrush, &gDrawMode,
                     &outPen, &outOldPen, &outBrush, &outOldBrush, &outPattern, &gClip);
        break;
    }
    case BENCH_SCAN: {
        uint16_t begin = OUT_BEGINSCAN, lines = OUT_SCANLINES, end = OUT_ENDSCAN;
        uint16_t zero = 0, count = (uint16_t)(request.size + 1);
        dll.Output32(surface, &begin, &scanFlag, &zero, NULL, NULL, &geometricPenStyle, &gBrush, &gDrawMode, &outPen,
                     &outOldPen, &outBrush, &outOldBrush, &outPattern, NULL);
        dll.Output32(surface, &lines, &scanFlag, &count, gScanPoints, NULL, &geometricPenStyle, NULL, NULL, &none,
                     &none, &none, &none, &none, NULL);
        dll.Output32(surface, &end, &scanFlag, &zero, NULL, NULL, &geometricPenStyle, NULL, NULL, &none, &none, &none,
                     &none, &none, NULL);
        dll.DeleteObject32(surface, &outPen, &outOldPen);
        dll.DeleteObject32(surface, &outBrush, &outOldBrush);
        dll.DeleteObject32(surface, &outPattern, &none);
        break;
    }
    case BENCH_RASTER: {
        BITMAP source = RasterBitmap(request.size);
        int32_t x = kRasterX, y = kRasterY, cx = 2 * kBenchRasterWidth, cy = 2 * (int32_t)request.size;
        int32_t xSrc = 0, ySrc = 0, cxSrc = kBenchRasterWidth, cySrc = (int32_t)request.size;
        uint32_t rop = kRasterRop;
        dll.Raster32(surface, &x, &y, &cx, &cy, &source, &xSrc, &ySrc, &cxSrc, &cySrc, &rop, &gBrush, &gDrawMode);
        break;
    }
    case BENCH_TEXT: {
        int32_t x = kTextX, y = kTextY;
        uint32_t options = kTextOptions, count = request.size;
        dll.TextOut32(surface, &gFont, &x, &y, &options, NULL, gText, &count, gAdvances, &gTextMode);
        break;
    }
    }
}

void RequestDirect(HDC surface, const BenchCase &request, DirectMemory memory)
{
    switch (request.kind) {
    case BENCH_RECTANGLE:
        DirectRectangle(surface);
        break;
    case BENCH_POLYGON:
    case BENCH_POLYLINE:
        DirectPolyShape(surface, request.kind == BENCH_POLYGON, request.size, memory);
        break;
    case BENCH_SCAN:
        DirectScanBracket(surface, request.size);
        break;
    case BENCH_RASTER:
        DirectRaster(surface, request.size, memory);
        break;
    case BENCH_TEXT:
        DirectText(surface, request.size, memory);
        break;
    }
}
