// The request maker: mixed requests sent through the nine exports as the
// driver's thunk would, each record and array in a heap block of exactly
// the size the export may read (see request_maker.h).
#include "request_maker.h"

#include "requestmodel/output_styles.h"
#include "requestmodel/read_sizes.h"
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kBiBitfields = 3; // BI_BITFIELDS: three colour masks after the header

const Handle32 kUntouched = 0xA5A5A5A5u; // an out-argument no export wrote
// Codes the library must treat as drawing nothing, among them neighbours of named ones.
const uint16_t kUnnamedStyles[] = {0, 2, 3, 5, 8, 17, 19, 21, 23, 54, 56, 79, 82, 0x4015, 0x4017, 0x8014, 0xFFFF};

// Raster operations, named where the host declarations name them (0x00440328 is SRCERASE).
const uint32_t kRops[] = {SRCCOPY,   SRCPAINT,  SRCAND,    SRCINVERT, PATCOPY,    PATINVERT,
                          BLACKNESS, WHITENESS, DSTINVERT, MERGECOPY, 0x00B8074A, 0x00440328};

const int32_t kExtremes[] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1, -1, 0, 1, 32767, -32768, 65535, 65536};

// The depths GDI has for bitmaps and DIBs.
const uint16_t kDepths[] = {1, 4, 8, 16, 24, 32};

// A heap block of its own holding a copy of `bytes` bytes.
void *CopyOut(const void *from, size_t bytes)
{
    void *block = std::malloc(bytes);
    if (block == nullptr && bytes != 0) {
        std::abort();
    }
    if (bytes != 0) {
        std::memcpy(block, from, bytes);
    }
    return block;
}

int64_t Magnitude(int32_t value)
{
    return value < 0 ? -(int64_t)value : (int64_t)value;
}

} // namespace

// The sizes are the ones the one description of the exports' reads gives.
size_t DeviceBitmapBytes(const BITMAP &bitmap)
{
    BITMAP withBits = bitmap;
    uint32_t row = 0;
    withBits.bmBits = &row; // any address: only whether there are bits counts
    return DeviceBitsRead(&withBits, &row);
}

size_t DibInfoBytes(const BITMAPINFOHEADER &header)
{
    uint32_t bits = 0, row = 0;
    return DibInfoRead(reinterpret_cast<const BITMAPINFO *>(&header), DIB_RGB_COLORS, &bits, &row);
}

size_t DibBitsBytes(const BITMAPINFOHEADER &header)
{
    uint32_t bits = 0, row = 0;
    DibInfoRead(reinterpret_cast<const BITMAPINFO *>(&header), DIB_RGB_COLORS, &bits, &row);
    return bits;
}

// --- RecordingCaller: records and arrays ---------------------------------------

RecordingCaller::RecordingCaller(const QuillrecCalls &calls, bool modest) : calls_(calls), modest_(modest) {}

RecordingCaller::~RecordingCaller()
{
    FreeTaken();
    std::free(keptBrush_);
    std::free(keptPattern_);
    std::free(keptPatternBits_);
}

void *RecordingCaller::Take(size_t bytes)
{
    // Exactly the size asked for, zero included: any read past it is an overread.
    void *block = std::malloc(bytes == 0 ? 0 : bytes);
    if (block == nullptr && bytes != 0) {
        std::fprintf(stderr, "request maker: out of memory for %zu bytes\n", bytes);
        std::abort();
    }
    if (block != nullptr && bytes != 0) {
        std::memset(block, 0, bytes);
    }
    taken_.push_back(block);
    return block;
}

void RecordingCaller::FreeTaken()
{
    for (void *block : taken_) {
        std::free(block);
    }
    taken_.clear();
}

int32_t RecordingCaller::Coordinate(RequestBytes &bytes)
{
    uint32_t pick = bytes.Below(16);
    if (!modest_ && pick == 0) {
        return kExtremes[bytes.Below(sizeof kExtremes / sizeof kExtremes[0])];
    }
    if (!modest_ && pick == 1) {
        return (int32_t)bytes.U32();
    }
    return (int32_t)bytes.Below(4001) - 2000;
}

// A width, height or source offset: small, sometimes negative, in fuzzing also extreme.
int32_t RecordingCaller::Extent(RequestBytes &bytes, int32_t modestLimit)
{
    uint32_t pick = bytes.Below(16);
    if (!modest_ && pick == 0) {
        return kExtremes[bytes.Below(sizeof kExtremes / sizeof kExtremes[0])];
    }
    if (pick == 1) {
        return -(int32_t)bytes.Below(20);
    }
    return (int32_t)bytes.Below((uint32_t)modestLimit + 1);
}

uint16_t RecordingCaller::PointCount(RequestBytes &bytes)
{
    uint32_t pick = bytes.Below(32);
    if (pick == 0) {
        return (uint16_t)(1020 + bytes.Below(10)); // both sides of the 1024-point inline buffer
    }
    if (pick == 1) {
        return (uint16_t)bytes.Below(modest_ ? 1500 : 4000);
    }
    if (pick < 4) {
        return (uint16_t)bytes.Below(4);
    }
    return (uint16_t)bytes.Below(41);
}

Point16 *RecordingCaller::Points(RequestBytes &bytes, size_t count)
{
    Point16 *points = (Point16 *)Take(count * sizeof(Point16));
    bool wide = !modest_ && bytes.OneIn(8); // the whole 16-bit range, signs included
    for (size_t i = 0; i < count; ++i) {
        uint32_t noise = bytes.Noise();
        if (wide) {
            points[i].x = (int16_t)(noise & 0xFFFF);
            points[i].y = (int16_t)(noise >> 16);
        } else {
            points[i].x = (int16_t)((int32_t)(noise % 3001) - 500);
            points[i].y = (int16_t)((int32_t)((noise >> 16) % 3001) - 500);
        }
    }
    return points;
}

RECT *RecordingCaller::OptionalRect(RequestBytes &bytes)
{
    if (bytes.OneIn(3)) {
        return nullptr;
    }
    RECT *rect = (RECT *)Take(sizeof(RECT));
    rect->left = Coordinate(bytes);
    rect->top = Coordinate(bytes);
    rect->right = Coordinate(bytes);
    rect->bottom = Coordinate(bytes);
    return rect;
}

LOGPEN *RecordingCaller::OptionalPen(RequestBytes &bytes)
{
    if (bytes.OneIn(5)) {
        return nullptr;
    }
    static const UINT kStyles[] = {0, 0, 0, 6, 6, 1, 2, 3, 4, 5};
    LOGPEN *pen = (LOGPEN *)Take(sizeof(LOGPEN));
    pen->lopnStyle = bytes.OneIn(12) ? bytes.U32() : kStyles[bytes.Below(10)];
    uint32_t width = bytes.Below(8);
    pen->lopnWidth.x = width < 4 ? 1 : width == 4 ? 0 : width == 5 ? 2 : (int32_t)bytes.Below(modest_ ? 40 : 400);
    if (!modest_ && bytes.OneIn(16)) {
        pen->lopnWidth.x = kExtremes[bytes.Below(sizeof kExtremes / sizeof kExtremes[0])];
    }
    pen->lopnWidth.y = (int32_t)bytes.Below(8);
    uint32_t colour = bytes.Below(6);
    pen->lopnColor = colour < 2 ? 0 : colour < 4 ? 0xFFFFFF : colour == 4 ? 0x01FFFFFF : bytes.U32() & 0x03FFFFFF;
    return pen;
}

// A pattern or source bitmap with bits in the form CreateBitmapIndirect reads.
BITMAP *RecordingCaller::BitmapRecord(RequestBytes &bytes)
{
    static const uint16_t kDeviceDepths[] = {1, 1, 1, 4, 8, 8, 16, 24, 24, 32, 2, 0, 33};
    BITMAP *bitmap = (BITMAP *)Take(sizeof(BITMAP));
    bitmap->bmType = bytes.OneIn(32) ? 1 : 0;
    bitmap->bmWidth = bytes.OneIn(24) ? -(int32_t)bytes.Below(5) : (int32_t)bytes.Below(65);
    bitmap->bmHeight = bytes.OneIn(24) ? -(int32_t)bytes.Below(5) : (int32_t)bytes.Below(65);
    bitmap->bmBitsPixel = kDeviceDepths[bytes.Below(modest_ ? 10 : 13)];
    bitmap->bmPlanes = bytes.OneIn(16) ? (uint16_t)bytes.Below(5) : 1;
    size_t bits = DeviceBitmapBytes(*bitmap);
    int64_t height = Magnitude(bitmap->bmHeight);
    int64_t stride = height == 0 ? 0 : (int64_t)bits / height;
    bitmap->bmWidthBytes = (int32_t)(stride + 2 * bytes.Below(3));
    if (!modest_ && bytes.OneIn(16)) {
        // Only GDI reads the bits; the library sizes its blocks from this field,
        // so an absurd value must come out as a failure, not an overflow.
        bitmap->bmWidthBytes = bytes.OneIn(2) ? (int32_t)bytes.U32() : (int32_t)bytes.Below(8);
    }
    if (bytes.OneIn(16)) {
        bitmap->bmBits = nullptr;
        return bitmap;
    }
    uint8_t *data = (uint8_t *)Take(bits);
    for (size_t i = 0; i < bits; ++i) {
        data[i] = (uint8_t)bytes.Noise();
    }
    bitmap->bmBits = data;
    return bitmap;
}

LOGBRUSH *RecordingCaller::OptionalBrush(RequestBytes &bytes)
{
    if (bytes.OneIn(5)) {
        return nullptr;
    }
    if (keptBrush_ != nullptr && bytes.OneIn(4)) {
        // The same record again: a pattern brush's lbHatch now holds a handle,
        // so the BITMAP pointer goes back in first.
        if (keptBrush_->lbStyle == BS_PATTERN) {
            keptBrush_->lbHatch = (ULONG_PTR)keptPattern_;
        }
        return keptBrush_;
    }
    static const UINT kStyles[] = {BS_SOLID, BS_SOLID, BS_HOLLOW, BS_HATCHED, BS_PATTERN, BS_PATTERN, BS_PATTERN};
    LOGBRUSH *brush = (LOGBRUSH *)Take(sizeof(LOGBRUSH));
    brush->lbStyle = kStyles[bytes.Below(7)];
    if (bytes.OneIn(12)) {
        // Other styles go to GDI unchanged; the DIB pattern styles (5, 6, 8)
        // would make GDI read lbHatch as a packed DIB, which no caller may pass here.
        do {
            brush->lbStyle = bytes.OneIn(2) ? bytes.Below(12) : bytes.U32();
        } while (brush->lbStyle == 5 || brush->lbStyle == 6 || brush->lbStyle == 8);
    }
    brush->lbColor = bytes.OneIn(4) ? 0xFFFFFF : bytes.U32() & 0x03FFFFFF;
    if (brush->lbStyle == BS_PATTERN) {
        brush->lbHatch = (ULONG_PTR)BitmapRecord(bytes);
    } else {
        brush->lbHatch = bytes.OneIn(8) ? bytes.U32() : bytes.Below(6);
    }
    if (brush->lbStyle == BS_PATTERN && bytes.OneIn(3)) {
        // Keep this one for a later request: copy it and its pattern out of
        // the request's blocks into the caller's own.
        std::free(keptBrush_);
        std::free(keptPattern_);
        std::free(keptPatternBits_);
        const BITMAP *pattern = (const BITMAP *)brush->lbHatch;
        keptPatternBits_ = pattern->bmBits == nullptr ? nullptr : CopyOut(pattern->bmBits, DeviceBitmapBytes(*pattern));
        keptPattern_ = (BITMAP *)CopyOut(pattern, sizeof(BITMAP));
        keptPattern_->bmBits = keptPatternBits_;
        keptBrush_ = (LOGBRUSH *)CopyOut(brush, sizeof(LOGBRUSH));
        keptBrush_->lbHatch = (ULONG_PTR)keptPattern_;
        return keptBrush_;
    }
    return brush;
}

DrawModeRecord *RecordingCaller::OptionalDrawMode(RequestBytes &bytes, bool required)
{
    if (!required && bytes.OneIn(5)) {
        return nullptr;
    }
    DrawModeRecord *mode = (DrawModeRecord *)Take(sizeof(DrawModeRecord));
    uint32_t rop = bytes.Below(20);
    mode->rop2 = rop < 16 ? rop + 1 : rop == 16 ? 0 : bytes.U32();
    uint32_t bk = bytes.Below(8);
    mode->bkMode = bk < 3 ? 1 : bk < 6 ? 2 : bk == 6 ? 0 : bytes.U32();
    mode->bkColor = bytes.U32() & 0x03FFFFFF;
    mode->textColor = bytes.U32() & 0x03FFFFFF;
    uint32_t use = bytes.Below(4);
    mode->useBkMode = use < 3 ? use % 2 : bytes.U32();
    return mode;
}

uint16_t RecordingCaller::Style(RequestBytes &bytes)
{
    if (!brackets_.empty() && (modest_ || bytes.OneIn(2))) {
        // Inside a bracket a driver mostly sends scanlines, then ends it.
        return bytes.OneIn(4) ? (uint16_t)OUT_ENDSCAN : (uint16_t)OUT_SCANLINES;
    }
    uint32_t pick = bytes.Below(10);
    if (pick < 7) {
        return OUTPUT_STYLES[bytes.Below(OUTPUT_STYLE_COUNT)].code;
    }
    if (pick < 9) {
        return kUnnamedStyles[bytes.Below(sizeof kUnnamedStyles / sizeof kUnnamedStyles[0])];
    }
    return bytes.U16();
}

// --- RecordingCaller: requests ------------------------------------------------

int32_t RecordingCaller::Open(RequestBytes &bytes, const char *deviceName)
{
    char *name = (char *)Take(260);
    ++exportCalls_;
    int32_t named = calls_.GetEmfFilePath32(name);
    if (named != 0 && named != -1) {
        std::fprintf(stderr, "GetEmfFilePath32 returned %d\n", (int)named);
        std::abort();
    }
    if (named != 0) {
        // No unique name: a driver would not open a surface on nothing.
        std::snprintf(name, 260, "%s", "quillrec-fallback.emf");
    }
    std::snprintf(spoolName_, sizeof spoolName_, "%s", name);

    DEVMODEA *devMode = nullptr;
    if (bytes.OneIn(2)) {
        devMode = (DEVMODEA *)Take(sizeof(DEVMODEA));
        devMode->dmSize = sizeof(DEVMODEA);
    }
    size_t deviceBytes = std::strlen(deviceName) + 1;
    char *device = (char *)Take(deviceBytes);
    std::memcpy(device, deviceName, deviceBytes);
    RECT *frame = nullptr;
    if (!bytes.OneIn(3)) {
        frame = (RECT *)Take(sizeof(RECT));
        *frame = RECT{0, 0, 21000, 29700};
    }
    Handle32 surface = 0xA5A5A5A5u;
    ++exportCalls_;
    int32_t result = calls_.GetEmfFileDC32(devMode, device, name, frame, (const void *)(uintptr_t)0xDEAD0005,
                                           (const void *)(uintptr_t)0xDEAD0006, &surface);
    FreeTaken();
    if (result == 0) {
        surface_ = surface;
        open_ = true;
    } else {
        open_ = false;
        if (result != -1 || surface != 0xA5A5A5A5u) {
            std::fprintf(stderr, "GetEmfFileDC32 failed with %d and wrote the surface variable\n", (int)result);
            std::abort();
        }
    }
    return result;
}

void RecordingCaller::Close()
{
    if (!open_) {
        return;
    }
    Handle32 surface = surface_;
    ++exportCalls_;
    int32_t result = calls_.CloseEmfFile32(&surface);
    if (result != 0 || surface != surface_) {
        std::fprintf(stderr, "CloseEmfFile32 returned %d or changed the variable\n", (int)result);
        std::abort();
    }
    open_ = false;
}

RequestKind RecordingCaller::ChooseKind(RequestBytes &bytes, bool allowReopen)
{
    if (releasePending_ && !brackets_.empty()) {
        return RequestKind::Release;
    }
    releasePending_ = false;
    if (modest_ && !brackets_.empty()) {
        // A driver sends only scanlines into an open bracket. Wine 8 has been
        // seen to divide INT_MIN by -1 in WidenPath when text and transfers
        // (which leave the stock null pen selected) came in between.
        return RequestKind::Output;
    }
    uint32_t pick = bytes.Below(32);
    if (pick < 14)
        return RequestKind::Output;
    if (pick < 18)
        return RequestKind::Raster;
    if (pick < 21)
        return RequestKind::Dib;
    if (pick < 26)
        return RequestKind::Text;
    if (pick < 29)
        return RequestKind::Clip;
    if (pick < 31 && !brackets_.empty())
        return RequestKind::Release;
    if (allowReopen && brackets_.empty())
        return RequestKind::Reopen;
    return RequestKind::Output;
}

SentRequest RecordingCaller::Send(RequestKind kind, RequestBytes &bytes, const char *deviceName)
{
    SentRequest sent;
    switch (kind) {
    case RequestKind::Clip:
        sent = SendClip(bytes);
        break;
    case RequestKind::Output:
        sent = SendOutput(bytes);
        break;
    case RequestKind::Raster:
    case RequestKind::Dib:
        sent = SendTransfer(kind, bytes);
        break;
    case RequestKind::Text:
        sent = SendText(bytes);
        break;
    case RequestKind::Release:
        sent = SendRelease();
        break;
    case RequestKind::Reopen:
        Close();
        sent.result = Open(bytes, deviceName);
        sent.text = std::string("reopen -> ") + std::to_string(sent.result) + " " + spoolName_;
        break;
    }
    sent.kind = kind;
    FreeTaken();
    return sent;
}

// The one way a request reaches an export: format, trace, count, call,
// check the result against those the export may give.
SentRequest RecordingCaller::Deliver(Call &call)
{
    SentRequest sent;
    sent.style = call.style;
    sent.scanFlag = call.scanFlag;
    sent.text = Describe(call);
    Trace(sent.text);
    ++exportCalls_;
    sent.result = Invoke(call);
    const bool mayFail = call.kind == RequestKind::Text || (call.kind == RequestKind::Output &&
                                                            (call.style == OUT_BEGINSCAN || call.style == OUT_ENDSCAN));
    if (sent.result != 0 && !(mayFail && sent.result == -1)) {
        sent.problem = std::string(RequestKindName(call.kind)) + " returned " + std::to_string(sent.result);
    }
    return sent;
}

int32_t RecordingCaller::Invoke(Call &c)
{
    switch (c.kind) {
    case RequestKind::Clip:
        return calls_.SetClipRect32(&c.surface, c.clip);
    case RequestKind::Output:
        return calls_.Output32(&c.surface, &c.style, &c.scanFlag, &c.count, c.points, c.pen, &c.geometric, c.brush,
                               c.mode, &c.out[0], &c.out[1], &c.out[2], &c.out[3], &c.out[4], c.clip);
    case RequestKind::Raster:
        sourcelessRasters_ += c.source == nullptr ? 1 : 0;
        return calls_.Raster32(&c.surface, &c.dest[0], &c.dest[1], &c.dest[2], &c.dest[3], c.source, &c.src[0],
                               &c.src[1], &c.src[2], &c.src[3], &c.rop, c.brush, c.mode);
    case RequestKind::Dib:
        return calls_.Dib32(&c.surface, &c.dest[0], &c.dest[1], &c.dest[2], &c.dest[3], &c.src[0], &c.src[1], &c.src[2],
                            &c.src[3], c.bits, c.info, &c.rop, c.brush, c.mode);
    case RequestKind::Text:
        return calls_.TextOut32(&c.surface, c.font, &c.x, &c.y, &c.options, c.clip, c.string, &c.length, c.advances,
                                c.mode);
    case RequestKind::Release:
        return calls_.DeleteObject32(&c.surface, c.object, c.selectBack);
    case RequestKind::Reopen:
        break;
    }
    return 0;
}

SentRequest RecordingCaller::SendClip(RequestBytes &bytes)
{
    Call call = NewCall(RequestKind::Clip);
    call.clip = OptionalRect(bytes);
    return Deliver(call);
}

// The points a style reads, from the style table: a fixed number, count
// points, or a poly-polygon record; nothing for styles that draw nothing.
const void *RecordingCaller::OutputPoints(RequestBytes &bytes, Call *call)
{
    const OutputStyle *style = FindOutputStyle(call->style);
    const uint8_t reads = style != nullptr ? style->reads : (uint8_t)OUT_READS_NOTHING;
    if (reads == OUT_READS_FIXED) {
        return Points(bytes, style->points);
    }
    if (reads == OUT_READS_COUNT) {
        // Each segment is two GDI calls; long runs add nothing the polygons do not.
        call->count = call->count > 300 ? (uint16_t)(call->count % 300) : call->count;
        return Points(bytes, call->count);
    }
    if (reads == OUT_READS_NOTHING) {
        // Not read by styles that draw nothing: a null or an empty array.
        return bytes.OneIn(2) ? nullptr : Take(0);
    }
    call->count = bytes.OneIn(16) ? (uint16_t)bytes.Below(300) : (uint16_t)bytes.Below(12);
    int32_t *counts = (int32_t *)Take(call->count * sizeof(int32_t));
    call->total = 0;
    for (uint16_t i = 0; i < call->count; ++i) {
        uint32_t pick = bytes.Below(16);
        counts[i] = pick == 0 ? (int32_t)bytes.Below(modest_ ? 400 : 1200) : (int32_t)bytes.Below(12);
        call->total += counts[i];
    }
    PolyPolygonRecord *record = (PolyPolygonRecord *)Take(sizeof(PolyPolygonRecord));
    record->counts = counts;
    record->points = Points(bytes, (size_t)call->total);
    return record;
}

SentRequest RecordingCaller::SendOutput(RequestBytes &bytes)
{
    Call call = NewCall(RequestKind::Output);
    call.style = Style(bytes);
    uint32_t flagPick = bytes.Below(16);
    call.scanFlag = flagPick < 12 ? 0 : flagPick < 15 ? 1 : (bytes.OneIn(2) ? 2 : bytes.U16());
    if (call.style == OUT_SCANLINES || call.style == OUT_ENDSCAN) {
        call.scanFlag = bytes.OneIn(4) ? call.scanFlag : 0;
    }
    call.count = PointCount(bytes);
    call.points = OutputPoints(bytes, &call);
    call.pen = OptionalPen(bytes);
    uint32_t geometricPick = bytes.Below(8);
    if (geometricPick == 1) {
        call.geometric = 0x00000200 | 0x00002000; // PS_ENDCAP_FLAT | PS_JOIN_MITER
    } else if (geometricPick == 2) {
        call.geometric = bytes.Below(9) | (bytes.Below(3) << 8) | (bytes.Below(3) << 12);
    } else if (geometricPick == 3 && !modest_) {
        call.geometric = bytes.U32();
    }
    call.brush = OptionalBrush(bytes);
    call.mode = OptionalDrawMode(bytes, false);
    call.clip = OptionalRect(bytes);
    SentRequest sent = Deliver(call);
    // Only OUT_BEGINSCAN writes the out-arguments, and all five of them.
    for (Handle32 value : call.out) {
        if ((value == kUntouched) == (call.style == OUT_BEGINSCAN)) {
            sent.problem = call.style == OUT_BEGINSCAN
                               ? "OUT_BEGINSCAN left an out-argument unwritten"
                               : "an out-argument was written by style " + std::to_string(call.style);
        }
    }
    if (call.style == OUT_BEGINSCAN) {
        Bracket bracket;
        bracket.slots = ObjectSlots{call.out[0], call.out[1], call.out[2], call.out[3], call.out[4]};
        bracket.none = 0;
        bracket.step = 0;
        brackets_.push_back(bracket);
    } else if (call.style == OUT_ENDSCAN) {
        releasePending_ = !brackets_.empty();
    }
    return sent;
}

SentRequest RecordingCaller::SendTransfer(RequestKind kind, RequestBytes &bytes)
{
    Call call = NewCall(kind);
    if (kind == RequestKind::Dib) {
        DibRecord(bytes, &call);
    } else {
        call.dest[0] = Coordinate(bytes), call.dest[1] = Coordinate(bytes);
        call.source = bytes.OneIn(4) ? nullptr : BitmapRecord(bytes);
    }
    // A request without source makes GDI record a memory bitmap of the
    // destination's size; real GDI is kept to small ones.
    const int32_t limit = kind == RequestKind::Raster && call.source == nullptr && modest_ ? 64 : 300;
    call.dest[2] = Extent(bytes, limit), call.dest[3] = Extent(bytes, limit);
    for (int32_t &value : call.src) {
        value = Extent(bytes, 70);
    }
    call.rop = bytes.OneIn(8) ? bytes.U32() : kRops[bytes.Below(sizeof kRops / sizeof kRops[0])];
    call.brush = OptionalBrush(bytes);
    call.mode = OptionalDrawMode(bytes, false);
    return Deliver(call);
}

// A DIB of any depth the library passes on, its colour table and bits
// exactly as large as its header says, and where it goes.
void RecordingCaller::DibRecord(RequestBytes &bytes, Call *call)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = bytes.OneIn(32) ? 0 : 1 + (int32_t)bytes.Below(64);
    header.biHeight = (1 + (int32_t)bytes.Below(64)) * (bytes.OneIn(4) ? -1 : 1);
    header.biPlanes = 1;
    header.biBitCount = kDepths[bytes.Below(6)];
    if ((header.biBitCount == 16 || header.biBitCount == 32) && bytes.OneIn(4)) {
        header.biCompression = kBiBitfields;
    }
    if (header.biBitCount <= 8 && bytes.OneIn(3)) {
        header.biClrUsed = 1 + bytes.Below((1u << header.biBitCount));
    }
    if (modest_ && header.biBitCount > 1 && header.biBitCount <= 8 && header.biClrUsed == 0) {
        // Wine 8 records a 4- or 8-bit DIB whose colour table is implied
        // (biClrUsed 0) past the end of its own record and damages its heap,
        // with or without this library; on real GDI the table is given.
        header.biClrUsed = 1u << header.biBitCount;
    }
    size_t infoBytes = DibInfoBytes(header), bitsBytes = DibBitsBytes(header);
    // no more than the header describes: often under sizeof(BITMAPINFO)
    call->info = (BITMAPINFO *)Take(infoBytes);
    std::memcpy(call->info, &header, sizeof header);
    uint8_t *table = (uint8_t *)call->info + sizeof header;
    for (size_t i = sizeof header; i < infoBytes; ++i) {
        table[i - sizeof header] = (uint8_t)bytes.Noise();
    }
    if (header.biCompression == kBiBitfields) {
        uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
        if (header.biBitCount == 32) {
            masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
        }
        std::memcpy(table, masks, sizeof masks);
    }
    uint8_t *bits = (uint8_t *)Take(bitsBytes);
    for (size_t i = 0; i < bitsBytes; ++i) {
        bits[i] = (uint8_t)bytes.Noise();
    }
    call->bits = bits;
    call->dest[0] = Coordinate(bytes), call->dest[1] = Coordinate(bytes);
}

LOGFONTA *RecordingCaller::FontRecord(RequestBytes &bytes)
{
    static const uint8_t kCharsets[] = {0, 0, 1, 2, 128, 129, 130, 134, 136, 161, 204, 238, 255};
    static const int32_t kEscapements[] = {0, 0, 0, 450, 900, 1800, 2700, -900, 3600, 5, -15, 455, 3599};
    static const char *const kFaces[] = {"DejaVu Sans", "DejaVu Serif", "Courier", "", "Arial"};
    LOGFONTA *font = (LOGFONTA *)Take(sizeof(LOGFONTA));
    font->lfHeight = (int32_t)bytes.Below(200) - 60;
    font->lfWidth = bytes.OneIn(4) ? (int32_t)bytes.Below(50) : 0;
    font->lfEscapement =
        bytes.OneIn(8) && !modest_ ? (int32_t)bytes.U32() : kEscapements[bytes.Below(sizeof kEscapements / 4)];
    font->lfOrientation = font->lfEscapement;
    font->lfWeight = bytes.OneIn(2) ? FW_NORMAL : FW_BOLD;
    font->lfCharSet = bytes.OneIn(8) ? bytes.Byte() : kCharsets[bytes.Below(sizeof kCharsets)];
    std::snprintf(font->lfFaceName, sizeof font->lfFaceName, "%s", kFaces[bytes.Below(5)]);
    return font;
}

// The string's bytes, or its glyph indices, and sometimes an advance each.
void RecordingCaller::TextUnits(RequestBytes &bytes, Call *call)
{
    const bool glyphs = (call->options & ETO_GLYPH_INDEX) != 0;
    call->string = (char *)Take(glyphs ? call->length * 2 : call->length);
    if (glyphs) {
        uint16_t *units = (uint16_t *)call->string;
        for (uint32_t i = 0; i < call->length; ++i) {
            units[i] = (uint16_t)bytes.Noise();
        }
    } else {
        uint32_t leadBias = bytes.Below(4); // how often a byte is a likely lead byte
        for (uint32_t i = 0; i < call->length; ++i) {
            uint32_t noise = bytes.Noise();
            call->string[i] =
                (noise % 4) < leadBias ? (char)(0x81 + (noise >> 8) % 0x7E) : (char)(0x20 + (noise >> 8) % 0x5F);
        }
        if (call->length > 0 && bytes.OneIn(4)) {
            call->string[call->length - 1] = (char)0x82; // a lead byte with nothing after it
        }
    }
    if (!bytes.OneIn(3)) {
        // ETO_PDY glyph text: GDI reads an x and a y advance a glyph
        uint32_t entries = call->length * ((call->options & 0x2010u) == 0x2010u ? 2 : 1);
        call->advances = (int32_t *)Take(entries * sizeof(int32_t));
        bool extreme = !modest_ && bytes.OneIn(8);
        for (uint32_t i = 0; i < entries; ++i) {
            uint32_t noise = bytes.Noise();
            call->advances[i] = extreme && noise % 3 == 0 ? kExtremes[(noise >> 8) % (sizeof kExtremes / 4)]
                                : noise % 7 == 0          ? 0
                                                          : (int32_t)((noise >> 8) % 120) - 10;
        }
    }
}

SentRequest RecordingCaller::SendText(RequestBytes &bytes)
{
    static const uint32_t kOptions[] = {0, 0, 2, 4, 6, 0x10, 0x10, 0x12, 0x14, 0x80, 0x1000};
    Call call = NewCall(RequestKind::Text);
    call.font = FontRecord(bytes);
    call.x = Coordinate(bytes), call.y = Coordinate(bytes);
    call.options = kOptions[bytes.Below(sizeof kOptions / 4)];
    if (!modest_ && bytes.OneIn(16)) {
        call.options = bytes.U32();
    }
    call.clip = OptionalRect(bytes);
    call.length = bytes.OneIn(16) ? bytes.Below(200) : bytes.Below(24);
    TextUnits(bytes, &call);
    call.mode = OptionalDrawMode(bytes, true);
    return Deliver(call);
}

SentRequest RecordingCaller::SendRelease()
{
    Bracket &bracket = brackets_.back();
    Call call = NewCall(RequestKind::Release);
    Handle32 *const objects[] = {&bracket.slots.pen, &bracket.slots.brush, &bracket.slots.patternBitmap};
    Handle32 *const predecessors[] = {&bracket.slots.oldPen, &bracket.slots.oldBrush, &bracket.none};
    call.object = objects[bracket.step];
    call.selectBack = predecessors[bracket.step];
    SentRequest sent = Deliver(call);
    if (sent.problem.empty() && (*call.object != 0 || *call.selectBack != 0)) {
        sent.problem = "DeleteObject32 left its variables nonzero";
    }
    if (++bracket.step == 3) {
        brackets_.pop_back();
    }
    return sent;
}

RecordingCaller::Call RecordingCaller::NewCall(RequestKind kind) const
{
    Call call;
    call.kind = kind;
    call.surface = surface_;
    for (Handle32 &value : call.out) {
        value = kUntouched;
    }
    return call;
}

std::vector<Handle32> RecordingCaller::HeldObjects() const
{
    std::vector<Handle32> held;
    for (const Bracket &bracket : brackets_) {
        const Handle32 created[3] = {bracket.slots.pen, bracket.slots.brush, bracket.slots.patternBitmap};
        for (int i = 0; i < 3; ++i) {
            if (created[i] != 0) {
                held.push_back(created[i]);
            }
        }
    }
    return held;
}
