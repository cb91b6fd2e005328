// libFuzzer target: the library, with the GDI test double reading what GDI
// reads, held to the one description of what each export reads. Inputs
// decode as the request fuzzer's do; every record a request hands over is
// copied, cut to the bytes read_sizes allows, to the end of a block whose
// next page is no-access, so one byte read past what is allowed faults.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "failure_plans.h"
#include "gdi_double.h"
#include "quillrec.h"
#include "quillrec_exports.h"
#include "request_maker.h"
#include "requestmodel/read_sizes.h"

namespace {

const QuillrecCalls kLibrary = LinkedQuillrecCalls();
std::vector<std::pair<void *, size_t>> g_blocks;
std::vector<std::string> g_planned; // calls planned to fail at their first call in this request

bool Planned(const char *name)
{
    for (const std::string &planned : g_planned) {
        if (planned == name) {
            return true;
        }
    }
    return false;
}

// size bytes of from at the end of a fresh block, the page after it
// no-access; the start rounded down to align. Size 0 gives the no-access page
// itself; a null from stays null.
template <typename T> T *Guard(const T *from, size_t size, size_t align = alignof(T))
{
    if (from == nullptr) {
        return nullptr;
    }
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    const size_t room = (size + align - 1) / align * align;
    const size_t data = (room + page - 1) / page * page;
    uint8_t *map = (uint8_t *)mmap(nullptr, data + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED || mprotect(map + data, page, PROT_NONE) != 0) {
        std::abort();
    }
    g_blocks.emplace_back(map, data + page);
    uint8_t *at = map + data - room;
    std::memcpy(at, from, size);
    return (T *)at;
}

void FreeGuarded()
{
    for (const auto &block : g_blocks) {
        munmap(block.first, block.second);
    }
    g_blocks.clear();
}

int PatternMade(const LOGBRUSH *brush)
{
    return brush != nullptr && PatternExpected(brush) && !Planned("CreateBitmapIndirect");
}

// The brush cut to the bytes read, its pattern moved behind a guard too.
struct GuardedBrush {
    LOGBRUSH *record = nullptr;
    ULONG_PTR hatch = 0; // what lbHatch held when handed over
    bool whole = false;  // the whole record was handed over
};

GuardedBrush GuardBrush(const LOGBRUSH *brush, const BrushRead &read)
{
    GuardedBrush guarded;
    if (brush == nullptr) {
        return guarded;
    }
    LOGBRUSH copy = *brush;
    if (read.pattern != 0 && brush->lbStyle == BS_PATTERN) {
        BITMAP pattern = *(const BITMAP *)brush->lbHatch;
        pattern.bmBits = Guard((const uint8_t *)pattern.bmBits, read.patternBits);
        copy.lbHatch = (ULONG_PTR)Guard(&pattern, read.pattern);
    } else if (read.pattern != 0) {
        copy.lbHatch = (ULONG_PTR)Guard((const uint8_t *)brush->lbHatch, read.pattern, 4);
    }
    guarded.record = Guard(&copy, read.record);
    guarded.hatch = copy.lbHatch;
    guarded.whole = read.record == sizeof copy;
    return guarded;
}

// What the library writes back into the caller's records: the inside-frame
// pen style, and a pattern brush's bitmap handle.
void CopyBack(LOGPEN *pen, const LOGPEN *guardedPen, uint32_t penRead, LOGBRUSH *brush, const GuardedBrush &guarded)
{
    if (pen != nullptr && penRead != 0) {
        pen->lopnStyle = guardedPen->lopnStyle;
    }
    if (brush != nullptr && brush->lbStyle == BS_PATTERN && guarded.whole && guarded.record->lbHatch != guarded.hatch) {
        brush->lbHatch = guarded.record->lbHatch;
    }
}

int32_t WINAPI GuardedPage(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                           const void *unused5, const void *unused6, Handle32 *surface)
{
    PageRead read;
    PageReads(devMode, deviceName, fileName, frame, !Planned("CreateDCA"), 0xFFFFFFFFu, &read);
    int32_t result = kLibrary.GetEmfFileDC32(Guard(devMode, read.devMode), Guard(deviceName, read.deviceName),
                                             Guard(fileName, read.fileName), Guard(frame, read.frame), unused5,
                                             unused6, surface);
    FreeGuarded();
    return result;
}

int32_t WINAPI GuardedClip(const Handle32 *surface, const RECT *clip)
{
    int32_t result = kLibrary.SetClipRect32(surface, Guard(clip, sizeof *clip));
    FreeGuarded();
    return result;
}

const void *GuardPoints(uint16_t style, const void *points, const OutputRead &read)
{
    if (style != OUT_WINDPOLYPOLYGON && style != OUT_ALTPOLYPOLYGON) {
        return Guard((const uint8_t *)points, read.points, 2);
    }
    PolyPolygonRecord record = *(const PolyPolygonRecord *)points;
    record.counts = Guard(record.counts, read.counts);
    record.points = Guard(record.points, read.vertices);
    return Guard(&record, read.points);
}

int32_t WINAPI GuardedOutput(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag,
                             const uint16_t *count, const void *points, LOGPEN *pen, const uint32_t *geometricPenStyle,
                             LOGBRUSH *brush, const DrawModeRecord *drawMode, Handle32 *outPen, Handle32 *outOldPen,
                             Handle32 *outBrush, Handle32 *outOldBrush, Handle32 *outPatternBitmap, const RECT *clip)
{
    OutputRead read;
    OutputReads(*style, *scanFlag, *count, points, pen, brush, drawMode, clip, PatternMade(brush), &read);
    LOGPEN *guardedPen = Guard(pen, read.pen);
    GuardedBrush guardedBrush = GuardBrush(brush, read.brush);
    int32_t result = kLibrary.Output32(surface, style, scanFlag, count, GuardPoints(*style, points, read), guardedPen,
                                       geometricPenStyle, guardedBrush.record, Guard(drawMode, DrawModeBytes(read.modeFields)),
                                       outPen, outOldPen, outBrush, outOldBrush, outPatternBitmap,
                                       Guard(clip, read.clip));
    CopyBack(pen, guardedPen, read.pen, brush, guardedBrush);
    FreeGuarded();
    return result;
}

int32_t WINAPI GuardedRaster(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                             const int32_t *cxDest, const int32_t *cyDest, const BITMAP *source, const int32_t *xSrc,
                             const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc, const uint32_t *rop,
                             LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    TransferRead read;
    RasterReads(source, brush, drawMode, PatternMade(brush), &read);
    const BITMAP *guardedSource = nullptr;
    if (source != nullptr) {
        BITMAP copy = *source;
        copy.bmBits = Guard((const uint8_t *)source->bmBits, read.sourceBits);
        guardedSource = Guard(&copy, read.source);
    }
    GuardedBrush guardedBrush = GuardBrush(brush, read.brush);
    int32_t result = kLibrary.Raster32(surface, xDest, yDest, cxDest, cyDest, guardedSource, xSrc, ySrc, cxSrc, cySrc,
                                       rop, guardedBrush.record, Guard(drawMode, DrawModeBytes(read.modeFields)));
    CopyBack(nullptr, nullptr, 0, brush, guardedBrush);
    FreeGuarded();
    return result;
}

int32_t WINAPI GuardedDib(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest, const int32_t *cxDest,
                          const int32_t *cyDest, const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc,
                          const int32_t *cySrc, const void *bits, const BITMAPINFO *info, const uint32_t *rop,
                          LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    TransferRead read;
    DibReads(info, bits, brush, drawMode, PatternMade(brush), &read);
    GuardedBrush guardedBrush = GuardBrush(brush, read.brush);
    int32_t result = kLibrary.Dib32(surface, xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc,
                                    Guard((const uint8_t *)bits, read.sourceBits),
                                    Guard(info, read.source, 4), rop, guardedBrush.record,
                                    Guard(drawMode, DrawModeBytes(read.modeFields)));
    CopyBack(nullptr, nullptr, 0, brush, guardedBrush);
    FreeGuarded();
    return result;
}

int32_t WINAPI GuardedText(const Handle32 *surface, const LOGFONTA *font, const int32_t *x, const int32_t *y,
                           const uint32_t *options, const RECT *rectangle, const char *string, const uint32_t *count,
                           const int32_t *advances, const DrawModeRecord *drawMode)
{
    TextRead read;
    TextReads(drawMode, *options, rectangle, *count, advances, !Planned("CreateFontIndirectA"), &read);
    int32_t result = kLibrary.TextOut32(surface, Guard(font, read.font), x, y, options, Guard(rectangle, read.rectangle),
                                        Guard(string, read.string, 2), count, Guard(advances, read.advances),
                                        Guard(drawMode, DrawModeBytes(read.modeFields)));
    FreeGuarded();
    return result;
}

QuillrecCalls GuardedCalls()
{
    QuillrecCalls calls = kLibrary;
    calls.GetEmfFileDC32 = GuardedPage;
    calls.SetClipRect32 = GuardedClip;
    calls.Output32 = GuardedOutput;
    calls.Raster32 = GuardedRaster;
    calls.Dib32 = GuardedDib;
    calls.TextOut32 = GuardedText;
    return calls;
}

void PlanFailures(RequestBytes &bytes, RequestKind kind)
{
    g_planned.clear();
    failure_plans::Plan(bytes, kind, &g_planned);
}

} // namespace

extern "C" const char *__asan_default_options()
{
    return "malloc_context_size=2:quarantine_size_mb=64";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    GdiDoubleReset();
    RequestBytes bytes(data, size);
    static const UINT kCodePages[] = {1252, 1252, 932, 936, 949, 950, 1361};
    GdiDoubleSetACP(kCodePages[bytes.Below(7)]);
    RecordingCaller caller(GuardedCalls(), false);
    const char *device = "QUILLREC Printer";
    if (bytes.OneIn(16)) {
        PlanFailures(bytes, RequestKind::Reopen);
    }
    caller.Open(bytes, device);
    GdiDoubleClearFailures();
    g_planned.clear();
    int sent = 0;
    while (caller.IsOpen() && !bytes.Exhausted() && sent < 200) {
        RequestKind kind = caller.ChooseKind(bytes, true);
        PlanFailures(bytes, kind);
        caller.Send(kind, bytes, device);
        GdiDoubleClearFailures();
        g_planned.clear();
        ++sent;
    }
    while (caller.IsOpen() && caller.HoldsBrackets()) {
        caller.Send(RequestKind::Release, bytes, device);
    }
    caller.Close();
    return 0;
}
