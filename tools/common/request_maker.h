// Sends mixed requests through the nine exports as the driver's thunk would:
// one recording surface, scalars passed as pointers to variables, records the
// caller fills, scan brackets whose handed-out objects are released through
// DeleteObject32. Used by the fuzzer (host, with the GDI test double) and by
// the soak (Windows, with real GDI), so both exercise the same caller.
//
// Every array and record a request hands over is a heap block of exactly the
// size the export may read (points per style, advances per character, the
// bits a BITMAP or BITMAPINFO describes), so AddressSanitizer sees any read
// beyond it. The blocks are freed when the request returns.
#ifndef QUILLREC_REQUEST_MAKER_H
#define QUILLREC_REQUEST_MAKER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quillrec.h"
#include "quillrec_exports.h"
#include "requestmodel/quillrec_calls.h"

// The choices a request is made of: a fuzzer's input, or an endless
// pseudo-random stream for the soak. Bulk contents (coordinates of long point
// arrays, bitmap bits) come from Noise, which an input steers but does not pay
// for byte by byte, so a short input can still make a long polygon.
class RequestBytes {
  public:
    RequestBytes(const uint8_t *data, size_t size);
    explicit RequestBytes(uint64_t seed);

    bool Exhausted() const { return !endless_ && offset_ >= size_; }
    uint8_t Byte();
    uint16_t U16();
    uint32_t U32();
    uint32_t Below(uint32_t bound); // 0 .. bound-1; 0 when bound is 0
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    uint32_t Noise();

  private:
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t offset_ = 0;
    bool endless_ = false;
    uint64_t state_ = 0;
    uint64_t noise_ = 0x9E3779B97F4A7C15ull;
};

enum class RequestKind { Clip, Output, Raster, Dib, Text, Release, Reopen };

const char *RequestKindName(RequestKind kind);

// What one export call was and what it answered. `problem` is non-empty when
// the answer broke the exports' documented results (a result other than the
// ones the export may give, an out-argument written by a style that must not
// write it).
struct SentRequest {
    RequestKind kind = RequestKind::Clip;
    uint16_t style = 0;
    uint16_t scanFlag = 0;
    int32_t result = 0;
    std::string problem;
    std::string text; // the request in one line, for failure messages
};

class RecordingCaller {
  public:
    // modest: keeps sizes and coordinates that real GDI records cheaply (the
    // soak); otherwise also sends extreme scalars and odd records (the fuzzer).
    RecordingCaller(const QuillrecCalls &calls, bool modest);
    ~RecordingCaller();
    RecordingCaller(const RecordingCaller &) = delete;
    RecordingCaller &operator=(const RecordingCaller &) = delete;

    // GetEmfFilePath32 and GetEmfFileDC32 on `deviceName`. The result of
    // GetEmfFileDC32; the caller is open when it is 0.
    int32_t Open(RequestBytes &bytes, const char *deviceName);
    // CloseEmfFile32. Hand back every bracket's objects first.
    void Close();
    bool IsOpen() const { return open_; }
    Handle32 Surface() const { return surface_; }
    const char *SpoolName() const { return spoolName_; }

    // The next kind of request. A pending release (after OUT_ENDSCAN) comes
    // first; Reopen only when allowed and no bracket is held.
    RequestKind ChooseKind(RequestBytes &bytes, bool allowReopen);
    // Makes and sends one request (Release: one DeleteObject32 of the newest
    // bracket; Reopen: close, then open a new spool file).
    SentRequest Send(RequestKind kind, RequestBytes &bytes, const char *deviceName);

    bool HoldsBrackets() const { return !brackets_.empty(); }
    // Created objects handed out by open brackets and not yet released: the
    // only objects that may be alive between requests.
    std::vector<Handle32> HeldObjects() const;
    uint64_t ExportCalls() const { return exportCalls_; }
    // Raster32 requests without a source bitmap (GDI records a blit from a
    // memory DC for each).
    uint64_t SourcelessRasters() const { return sourcelessRasters_; }
    // Writes each request to `file` before it is sent (null: nothing).
    void TraceTo(FILE *file) { trace_ = file; }

  private:
    // One export call as the thunk makes it: the variables and records its
    // arguments point at. A request fills those its export takes.
    struct Call {
        RequestKind kind = RequestKind::Clip;
        Handle32 surface = 0;
        uint16_t style = 0, scanFlag = 0, count = 0;
        const void *points = nullptr;
        int64_t total = -1; // vertices of a poly-polygon, for the trace
        LOGPEN *pen = nullptr;
        uint32_t geometric = 0;
        LOGBRUSH *brush = nullptr;
        DrawModeRecord *mode = nullptr;
        RECT *clip = nullptr; // also TextOut32's rectangle
        Handle32 out[5] = {0, 0, 0, 0, 0};
        int32_t dest[4] = {0, 0, 0, 0}, src[4] = {0, 0, 0, 0};
        BITMAP *source = nullptr;
        const void *bits = nullptr;
        BITMAPINFO *info = nullptr;
        uint32_t rop = 0;
        LOGFONTA *font = nullptr;
        int32_t x = 0, y = 0;
        uint32_t options = 0, length = 0;
        char *string = nullptr;
        int32_t *advances = nullptr;
        Handle32 *object = nullptr, *selectBack = nullptr;
    };

    struct Bracket {
        ObjectSlots slots;
        Handle32 none;
        int step; // 0: pen next, 1: brush next, 2: pattern bitmap next
    };

    void *Take(size_t bytes);
    void FreeTaken();
    int32_t Coordinate(RequestBytes &bytes);
    int32_t Extent(RequestBytes &bytes, int32_t modestLimit);
    uint16_t PointCount(RequestBytes &bytes);
    Point16 *Points(RequestBytes &bytes, size_t count);
    RECT *OptionalRect(RequestBytes &bytes);
    LOGPEN *OptionalPen(RequestBytes &bytes);
    BITMAP *BitmapRecord(RequestBytes &bytes);
    LOGBRUSH *OptionalBrush(RequestBytes &bytes);
    DrawModeRecord *OptionalDrawMode(RequestBytes &bytes, bool required);
    uint16_t Style(RequestBytes &bytes);

    const void *OutputPoints(RequestBytes &bytes, Call *call);
    void DibRecord(RequestBytes &bytes, Call *call);
    LOGFONTA *FontRecord(RequestBytes &bytes);
    void TextUnits(RequestBytes &bytes, Call *call);

    SentRequest SendClip(RequestBytes &bytes);
    SentRequest SendOutput(RequestBytes &bytes);
    SentRequest SendTransfer(RequestKind kind, RequestBytes &bytes);
    SentRequest SendText(RequestBytes &bytes);
    SentRequest SendRelease();
    Call NewCall(RequestKind kind) const;
    SentRequest Deliver(Call &call);
    int32_t Invoke(Call &call);
    std::string Describe(const Call &call) const;
    std::string DescribeOutput(const Call &call) const;
    void Trace(const std::string &text);

    QuillrecCalls calls_;
    bool modest_;
    bool open_ = false;
    Handle32 surface_ = 0;
    char spoolName_[260] = {0};
    std::vector<Bracket> brackets_;
    bool releasePending_ = false;
    std::vector<void *> taken_;
    // A brush record the caller keeps between requests; a pattern brush gets
    // its BITMAP pointer put back before the record is handed in again.
    LOGBRUSH *keptBrush_ = nullptr;
    BITMAP *keptPattern_ = nullptr;
    void *keptPatternBits_ = nullptr;
    uint64_t exportCalls_ = 0;
    uint64_t sourcelessRasters_ = 0;
    FILE *trace_ = nullptr;
};

// Bytes GDI reads from a BITMAP's bmBits: rows padded to 16 bits, in the
// depth GDI rounds bmBitsPixel to; 0 when GDI refuses the record.
size_t DeviceBitmapBytes(const BITMAP &bitmap);
// Header and colour table bytes of a BITMAPINFO, and the bytes of the bits
// its header describes.
size_t DibInfoBytes(const BITMAPINFOHEADER &header);
size_t DibBitsBytes(const BITMAPINFOHEADER &header);

#endif
