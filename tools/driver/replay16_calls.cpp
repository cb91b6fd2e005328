// Each export's arguments as pieces of the replayer's arena: what the DLL
// reads through each pointer, what it may write back, and the pointers held
// inside records, which the thunk does not convert and which must therefore
// hold flat addresses of the arena's copies.
#include "replay16_calls.h"

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "format_text.h"
#include "requestmodel/output_styles.h"
#include "requestmodel/read_sizes.h"

namespace {

// Wine's 16-bit global heap gives no block past 16 MiB less 64 KiB.
const uint32_t kLargestArena = 0x00FF0000 - 0x10000;

Replay16Session *session_ = nullptr;
unsigned wrongMaskCall_ = 0;

// The caller's bytes behind one pointer and their place in the arena.
struct Piece {
    const void *host;
    uint32_t size;
    bool written; // the DLL may write them: they come back after the call
    uint32_t offset = 0;
};

// A pointer field inside a record piece, pointing at another piece.
struct Link {
    size_t record;
    uint32_t field;
    size_t target;
    uint32_t hostValue; // what the caller's record holds there
    uint32_t flat = 0;  // what the arena's copy holds there
};

struct Call {
    const char *name;
    uint16_t procedure;
    std::vector<Piece> pieces;
    std::vector<Link> links;
    std::vector<uint32_t> values;  // per argument: a value, or the piece index
    std::vector<bool> isPiece;
};

Call NewCall(const char *name, uint16_t procedure)
{
    Call call;
    call.name = name;
    call.procedure = procedure;
    return call;
}

size_t AddPiece(Call *call, const void *host, uint32_t size, bool written)
{
    call->pieces.push_back({host, size, written});
    return call->pieces.size() - 1;
}

void Value(Call *call, uint32_t value)
{
    call->values.push_back(value);
    call->isPiece.push_back(false);
}

// A pointer argument; a null one stays null (0, not converted).
size_t Pointer(Call *call, const void *host, uint32_t size, bool written = false)
{
    if (host == nullptr) {
        Value(call, 0);
        return SIZE_MAX;
    }
    call->values.push_back((uint32_t)AddPiece(call, host, size, written));
    call->isPiece.push_back(true);
    return call->pieces.size() - 1;
}

// The pointer at field of record's bytes, to size bytes, when it is set.
size_t LinkAt(Call *call, size_t record, uint32_t field, uint32_t size)
{
    uint32_t value = 0;
    memcpy(&value, static_cast<const char *>(call->pieces[record].host) + field, sizeof value);
    if (value == 0) {
        return SIZE_MAX;
    }
    const void *target = reinterpret_cast<const void *>((uintptr_t)value);
    call->links.push_back({record, field, AddPiece(call, target, size, false), value});
    return call->links.back().target;
}

// A device bitmap's record and its bits, as much of them as GDI reads (the
// simulator's own blocks are padded to that).
void BitmapPieces(Call *call, size_t bitmap)
{
    if (bitmap == SIZE_MAX) {
        return;
    }
    uint32_t row = 0;
    LinkAt(call, bitmap, offsetof(BITMAP, bmBits),
           DeviceBitsRead(static_cast<const BITMAP *>(call->pieces[bitmap].host), &row));
}

// A DIB's header and colour table as GDI reads them with usage, and its bits.
uint32_t DibBytes(const BITMAPINFO *info, uint32_t usage, uint32_t *bits)
{
    uint32_t row = 0;
    *bits = 0;
    return info != nullptr ? DibInfoRead(info, usage, bits, &row) : 0;
}

// A brush, rewritten in place, with the pattern behind lbHatch.
void Brush(Call *call, LOGBRUSH *brush)
{
    const size_t record = Pointer(call, brush, sizeof *brush, true);
    if (brush == nullptr || brush->lbHatch == 0) {
        return;
    }
    if (brush->lbStyle == BS_PATTERN) {
        BitmapPieces(call, LinkAt(call, record, offsetof(LOGBRUSH, lbHatch), sizeof(BITMAP)));
    } else if (brush->lbStyle == BS_DIBPATTERNPT) {
        uint32_t bits = 0;
        const uint32_t info = DibBytes(reinterpret_cast<const BITMAPINFO *>(brush->lbHatch), brush->lbColor, &bits);
        LinkAt(call, record, offsetof(LOGBRUSH, lbHatch), info + bits);
    }
}

// Places the pieces, the written ones first so that the answer is one run
// of bytes from the arena's start; returns the bytes the call needs.
uint64_t Place(Call *call, uint32_t *writtenEnd)
{
    uint64_t end = kArenaPieces;
    *writtenEnd = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (Piece &piece : call->pieces) {
            if (piece.written == (pass == 0)) {
                piece.offset = (uint32_t)end;
                end = (end + piece.size + 15) & ~(uint64_t)15; // a zero-sized piece still has an address
                end += piece.size == 0 ? 16 : 0;
            }
        }
        *writtenEnd = pass == 0 ? (uint32_t)end : *writtenEnd;
    }
    return end;
}

std::vector<uint8_t> Image(Call *call, uint32_t size)
{
    std::vector<uint8_t> image(size, 0);
    for (const Piece &piece : call->pieces) {
        memcpy(image.data() + piece.offset, piece.host, piece.size);
    }
    for (Link &link : call->links) {
        link.flat = session_->arenaBase + call->pieces[link.target].offset;
        memcpy(image.data() + call->pieces[link.record].offset + link.field, &link.flat, sizeof link.flat);
    }
    return image;
}

// The written pieces back into the caller's variables; a pointer field the
// DLL left alone gets the caller's own pointer back.
void Answer(Call *call, std::vector<uint8_t> *answer)
{
    for (const Link &link : call->links) {
        uint8_t *field = answer->data() + call->pieces[link.record].offset + link.field;
        uint32_t now = 0;
        memcpy(&now, field, sizeof now);
        if (call->pieces[link.record].written && now == link.flat) {
            memcpy(field, &link.hostValue, sizeof link.hostValue);
        }
    }
    for (const Piece &piece : call->pieces) {
        if (piece.written) {
            memcpy(const_cast<void *>(piece.host), answer->data() + piece.offset, piece.size);
        }
    }
}

// The one send path: places, copies, calls through the replayer, answers.
int32_t Send(Call *call)
{
    if (!session_->stopped.empty()) {
        return kReplay16Stopped;
    }
    const std::string what = FormatText("call %u, %s (%s %u)", session_->calls + 1, call->name,
                                        call->procedure == kProcedureGdiComment ? "GDI32, procedure" : "ordinal",
                                        (unsigned)call->procedure);
    uint32_t writtenEnd = 0;
    const uint64_t size = Place(call, &writtenEnd);
    if (size > kLargestArena) {
        session_->stopped = FormatText("%s: its buffers hold %llu bytes, more than one 16-bit global block can "
                                       "(%lu); the 16-bit path refuses it",
                                       what.c_str(), (unsigned long long)size, (unsigned long)kLargestArena);
        return kReplay16Stopped;
    }
    if (size > session_->arenaSize &&
        !ReserveArena16(session_, std::min<uint32_t>(kLargestArena, ((uint32_t)size + 0xFFFF) & ~0xFFFFu), what)) {
        return kReplay16Stopped;
    }
    Request16 request = {};
    request.kind = REQUEST_CALL;
    request.procedure = call->procedure;
    request.argCount = (uint16_t)call->values.size();
    for (size_t i = 0; i < call->values.size(); ++i) {
        request.args[i] = call->isPiece[i] ? call->pieces[call->values[i]].offset : call->values[i];
        request.pointers |= call->isPiece[i] ? 1u << i : 0;
    }
    request.mask = session_->calls + 1 == wrongMaskCall_ ? 0 : request.pointers;
    request.outBytes = writtenEnd > kArenaPieces ? writtenEnd : (uint32_t)sizeof(Answer16);
    const std::vector<uint8_t> image = Image(call, (uint32_t)size);
    int32_t result = 0;
    std::vector<uint8_t> answer;
    session_->calls++;
    if (!Exchange16(session_, request, image, &result, &answer, what)) {
        return kReplay16Stopped;
    }
    Answer(call, &answer);
    return result;
}

uint32_t StringBytes(const char *text)
{
    return text != nullptr ? (uint32_t)strlen(text) + 1 : 0;
}

int32_t WINAPI GetEmfFileDC32Via16(const DEVMODEA *devMode, const char *deviceName, const char *fileName,
                                   const RECT *frame, const void *unused5, const void *unused6, Handle32 *surface)
{
    Call call = NewCall("GetEmfFileDC32", ORDINAL_GetEmfFileDC32);
    Pointer(&call, devMode, devMode != nullptr ? devMode->dmSize + devMode->dmDriverExtra : 0);
    Pointer(&call, deviceName, StringBytes(deviceName));
    Pointer(&call, fileName, StringBytes(fileName));
    Pointer(&call, frame, sizeof *frame);
    Pointer(&call, unused5, 0);
    Pointer(&call, unused6, 0);
    Pointer(&call, surface, sizeof *surface, true);
    return Send(&call);
}

int32_t WINAPI CloseEmfFile32Via16(const Handle32 *surface)
{
    Call call = NewCall("CloseEmfFile32", ORDINAL_CloseEmfFile32);
    Pointer(&call, surface, sizeof *surface);
    return Send(&call);
}

int32_t WINAPI DeleteObject32Via16(const Handle32 *surface, Handle32 *object, Handle32 *selectBack)
{
    Call call = NewCall("DeleteObject32", ORDINAL_DeleteObject32);
    Pointer(&call, surface, sizeof *surface);
    Pointer(&call, object, sizeof *object, true);
    Pointer(&call, selectBack, sizeof *selectBack, true);
    return Send(&call);
}

// The points argument: the style's points, or a poly-polygon record with
// its counts and vertices.
void Points(Call *call, uint16_t style, uint16_t count, const void *points)
{
    const OutputStyle *row = FindOutputStyle(style);
    if (row == nullptr || row->reads != OUT_READS_POLYGONS || points == nullptr) {
        Pointer(call, points, OutputPointsRead(row, count) * (uint32_t)sizeof(Point16));
        return;
    }
    const PolyPolygonRecord *record = static_cast<const PolyPolygonRecord *>(points);
    uint64_t vertices = 0;
    for (uint16_t i = 0; record->counts != nullptr && i < count; ++i) {
        vertices += record->counts[i] > 0 ? (uint32_t)record->counts[i] : 0;
    }
    const size_t piece = Pointer(call, record, sizeof *record);
    LinkAt(call, piece, offsetof(PolyPolygonRecord, counts), count * (uint32_t)sizeof(int32_t));
    LinkAt(call, piece, offsetof(PolyPolygonRecord, points),
           (uint32_t)std::min<uint64_t>(vertices * sizeof(Point16), kLargestArena + 1ull));
}

int32_t WINAPI Output32Via16(const Handle32 *surface, const uint16_t *style, const uint16_t *scanFlag,
                             const uint16_t *count, const void *points, LOGPEN *pen,
                             const uint32_t *geometricPenStyle, LOGBRUSH *brush, const DrawModeRecord *drawMode,
                             Handle32 *outPen, Handle32 *outOldPen, Handle32 *outBrush, Handle32 *outOldBrush,
                             Handle32 *outPatternBitmap, const RECT *clip)
{
    Call call = NewCall("Output32", ORDINAL_Output32);
    Pointer(&call, surface, sizeof *surface);
    Pointer(&call, style, sizeof *style);
    Pointer(&call, scanFlag, sizeof *scanFlag);
    Pointer(&call, count, sizeof *count);
    Points(&call, *style, *count, points);
    Pointer(&call, pen, sizeof *pen, true);
    Pointer(&call, geometricPenStyle, sizeof *geometricPenStyle);
    Brush(&call, brush);
    Pointer(&call, drawMode, sizeof *drawMode);
    for (Handle32 *handle : {outPen, outOldPen, outBrush, outOldBrush, outPatternBitmap}) {
        Pointer(&call, handle, sizeof *handle, true);
    }
    Pointer(&call, clip, sizeof *clip);
    return Send(&call);
}

// The destination and source rectangles' eight integers, as Raster32 and
// Dib32 take them (the source bitmap sits between them for Raster32).
void Integers(Call *call, const int32_t *const *values, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        Pointer(call, values[i], sizeof(int32_t));
    }
}

int32_t WINAPI Raster32Via16(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest,
                             const int32_t *cxDest, const int32_t *cyDest, const BITMAP *source,
                             const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc, const int32_t *cySrc,
                             const uint32_t *rop, LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    Call call = NewCall("Raster32", ORDINAL_Raster32);
    Pointer(&call, surface, sizeof *surface);
    const int32_t *destination[] = {xDest, yDest, cxDest, cyDest};
    Integers(&call, destination, 4);
    BitmapPieces(&call, Pointer(&call, source, sizeof *source));
    const int32_t *from[] = {xSrc, ySrc, cxSrc, cySrc};
    Integers(&call, from, 4);
    Pointer(&call, rop, sizeof *rop);
    Brush(&call, brush);
    Pointer(&call, drawMode, sizeof *drawMode);
    return Send(&call);
}

int32_t WINAPI Dib32Via16(const Handle32 *surface, const int32_t *xDest, const int32_t *yDest, const int32_t *cxDest,
                          const int32_t *cyDest, const int32_t *xSrc, const int32_t *ySrc, const int32_t *cxSrc,
                          const int32_t *cySrc, const void *bits, const BITMAPINFO *info, const uint32_t *rop,
                          LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    Call call = NewCall("Dib32", ORDINAL_Dib32);
    Pointer(&call, surface, sizeof *surface);
    const int32_t *rectangles[] = {xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc};
    Integers(&call, rectangles, 8);
    uint32_t bitsSize = 0;
    const uint32_t infoSize = DibBytes(info, DIB_RGB_COLORS, &bitsSize);
    Pointer(&call, bits, bitsSize);
    Pointer(&call, info, infoSize);
    Pointer(&call, rop, sizeof *rop);
    Brush(&call, brush);
    Pointer(&call, drawMode, sizeof *drawMode);
    return Send(&call);
}

int32_t WINAPI TextOut32Via16(const Handle32 *surface, const LOGFONTA *font, const int32_t *x, const int32_t *y,
                              const uint32_t *options, const RECT *rectangle, const char *string,
                              const uint32_t *count, const int32_t *advances, const DrawModeRecord *drawMode)
{
    Call call = NewCall("TextOut32", ORDINAL_TextOut32);
    const bool glyphs = (*options & ETO_GLYPH_INDEX) != 0;
    Pointer(&call, surface, sizeof *surface);
    Pointer(&call, font, sizeof *font);
    Pointer(&call, x, sizeof *x);
    Pointer(&call, y, sizeof *y);
    Pointer(&call, options, sizeof *options);
    Pointer(&call, rectangle, sizeof *rectangle);
    Pointer(&call, string, *count * (glyphs ? 2u : 1u));
    Pointer(&call, count, sizeof *count);
    Pointer(&call, advances, *count * (uint32_t)sizeof(int32_t));
    Pointer(&call, drawMode, sizeof *drawMode);
    return Send(&call);
}

int32_t WINAPI GetEmfFilePath32Via16(char *buffer)
{
    Call call = NewCall("GetEmfFilePath32", ORDINAL_GetEmfFilePath32);
    Pointer(&call, buffer, MAX_PATH, true);
    return Send(&call);
}

int32_t WINAPI SetClipRect32Via16(const Handle32 *surface, const RECT *clip)
{
    Call call = NewCall("SetClipRect32", ORDINAL_SetClipRect32);
    Pointer(&call, surface, sizeof *surface);
    Pointer(&call, clip, sizeof *clip);
    return Send(&call);
}

} // namespace

QuillrecExports Replay16Exports(Replay16Session *session, unsigned wrongMaskCall)
{
    session_ = session;
    wrongMaskCall_ = wrongMaskCall;
    QuillrecExports exports = {};
    exports.GetEmfFileDC32 = &GetEmfFileDC32Via16;
    exports.CloseEmfFile32 = &CloseEmfFile32Via16;
    exports.DeleteObject32 = &DeleteObject32Via16;
    exports.Output32 = &Output32Via16;
    exports.Raster32 = &Raster32Via16;
    exports.Dib32 = &Dib32Via16;
    exports.TextOut32 = &TextOut32Via16;
    exports.GetEmfFilePath32 = &GetEmfFilePath32Via16;
    exports.SetClipRect32 = &SetClipRect32Via16;
    exports.module = nullptr;
    return exports;
}

BOOL Replay16Comment(Handle32 surface, UINT size, const BYTE *data)
{
    Call call = NewCall("GdiComment", kProcedureGdiComment);
    Value(&call, surface);
    Value(&call, size);
    Pointer(&call, data, size);
    return Send(&call) > 0;
}
