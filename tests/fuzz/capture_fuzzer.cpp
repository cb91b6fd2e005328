// libFuzzer target: the capture DLL's writer and the job parser must agree.
// Each input becomes one page of requests with records the input fills
// (unnamed styles, null records, odd bitmaps and DIB headers included); the
// writer captures them as the capture DLL does, the parser reads the text
// back, and every value a request carries must come back as it was sent.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "job_parser.h"
#include "request_maker.h"
#include "requestmodel/read_sizes.h"

// KERNEL32 as the writer sees it: one capture file, kept in memory.
static std::string gFile;
HANDLE CreateFileA(LPCSTR, DWORD, DWORD, void *, DWORD, DWORD, HANDLE)
{
    return (HANDLE)(intptr_t)1;
}
BOOL WriteFile(HANDLE, const void *bytes, DWORD count, LPDWORD written, void *)
{
    gFile.append((const char *)bytes, count);
    *written = count;
    return TRUE;
}
BOOL CloseHandle(HANDLE)
{
    return TRUE;
}
DWORD GetLastError(void)
{
    return 0;
}
DWORD GetEnvironmentVariableA(LPCSTR, LPSTR, DWORD)
{
    return 0;
}
const char *OwnFolder(void)
{
    return "";
}

namespace {

[[noreturn]] void Fail(const std::string &problem)
{
    std::fprintf(stderr, "\n=== capture round-trip finding ===\n%s\ncapture (%zu bytes):\n%.4000s\n", problem.c_str(),
                 gFile.size(), gFile.c_str());
    std::abort();
}

void Expect(bool same, const char *what, int line)
{
    if (!same) {
        Fail(std::string(what) + " differs on line " + std::to_string(line));
    }
}

// A request as sent, with the arrays its pointers reach.
struct Sent {
    job::Kind kind = job::Kind::Close;
    int32_t expect = 0;
    uint16_t style = 0, scanFlag = 0, count = 0;
    uint32_t scalar = 0; // geometricPenStyle, text options or rop
    const LOGPEN *pen = nullptr;
    const LOGBRUSH *brush = nullptr;
    const DrawModeRecord *mode = nullptr;
    const RECT *rect = nullptr; // clip or text rectangle
    const int32_t *advances = nullptr;
    const BITMAP *bitmap = nullptr;
    LOGPEN penRecord;
    LOGBRUSH brushRecord;
    DrawModeRecord modeRecord;
    LOGFONTA font;
    RECT rectRecord;
    BITMAP bitmapRecord;
    std::vector<Point16> points;
    std::vector<int32_t> counts;
    std::vector<uint8_t> bytes; // text bytes, or a bitmap's bits
    bool fontMade = true;       // text: whether the real DLL made the font (and so read the rest)
    uint32_t modeFields = 0;    // the draw-mode fields the request reads
    uint32_t brushBytes = 0;    // the LOGBRUSH bytes it reads
    uint32_t countsRead = 0;    // poly-polygon counts it reads
    uint32_t advancesRead = 0;  // advance entries it reads
    bool rectRead = false;
    std::vector<int32_t> advanceArray;
    int32_t values[8]; // x, y or the transfer's rectangles
};

void Fill(RequestBytes &in, void *record, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        ((uint8_t *)record)[i] = in.Byte();
    }
}

template <typename Record> const Record *Maybe(RequestBytes &in, Record *record)
{
    Fill(in, record, sizeof *record);
    return in.OneIn(4) ? nullptr : record;
}

const uint16_t kStyles[] = {
    OUT_BEZIER,     OUT_SCANLINES, OUT_RECTANGLE,       OUT_ELLIPSE,        OUT_POLYLINE, OUT_WINDPOLYGON,
    OUT_ALTPOLYGON, OUT_CIRCLE,    OUT_WINDPOLYPOLYGON, OUT_ALTPOLYPOLYGON, 0x99};

void SendOutput(RequestBytes &in, Sent *sent)
{
    sent->kind = job::Kind::Output;
    sent->style = kStyles[in.Below(sizeof kStyles / sizeof kStyles[0])];
    sent->scanFlag = (uint16_t)in.Below(3);
    sent->count = (uint16_t)in.Below(12);
    sent->scalar = in.U32();
    sent->points.resize(64);
    Fill(in, sent->points.data(), sent->points.size() * sizeof(Point16));
    for (uint16_t i = 0; i < sent->count; ++i) {
        sent->counts.push_back((int32_t)in.Below(5) - (in.OneIn(16) ? 2 : 0));
    }
    PolyPolygonRecord polygons = {sent->counts.data(), sent->points.data()};
    const bool poly = sent->style == OUT_WINDPOLYPOLYGON || sent->style == OUT_ALTPOLYPOLYGON;
    sent->pen = Maybe(in, &sent->penRecord);
    // style 3 with lbHatch 0: a pattern brush without its BITMAP
    sent->brushRecord = {in.Below(4), in.U32(), 0};
    sent->brushRecord.lbHatch = sent->brushRecord.lbStyle == 3 ? 0 : in.Below(6);
    sent->brush = in.OneIn(4) ? nullptr : &sent->brushRecord;
    sent->mode = Maybe(in, &sent->modeRecord);
    sent->rect = Maybe(in, &sent->rectRecord);
    const void *points = poly ? (const void *)&polygons : sent->points.data();
    OutputRead read;
    OutputReads(sent->style, sent->scanFlag, sent->count, points, sent->pen, sent->brush, sent->mode, sent->rect, 0,
                &read);
    sent->modeFields = read.modeFields;
    sent->brushBytes = read.brush.record;
    sent->countsRead = read.counts / 4;
    sent->rectRead = read.clip != 0;
    CaptureOutput(sent->style, sent->scanFlag, sent->count, points, sent->pen, sent->scalar, sent->brush, sent->mode,
                  sent->rect);
}

void SendText(RequestBytes &in, Sent *sent)
{
    sent->kind = job::Kind::Text;
    Fill(in, &sent->font, sizeof sent->font);
    sent->font.lfFaceName[in.Below(LF_FACESIZE)] = '\0'; // the format holds up to 31 bytes
    Fill(in, &sent->modeRecord, sizeof sent->modeRecord);
    sent->mode = &sent->modeRecord;
    sent->count = (uint16_t)in.Below(20);
    sent->scalar = (in.U32() & ~0x10u) | (in.OneIn(3) ? 0x10u : 0u);
    sent->bytes.resize(sent->count * 2);
    Fill(in, sent->bytes.data(), sent->bytes.size());
    if (in.OneIn(4)) {
        sent->scalar |= ETO_PDY;
    }
    sent->advanceArray.resize(sent->count * 2u); // an x and a y advance a glyph with ETO_PDY
    Fill(in, sent->advanceArray.data(), sent->advanceArray.size() * sizeof(int32_t));
    sent->advances = in.OneIn(2) ? nullptr : sent->advanceArray.data();
    sent->rect = Maybe(in, &sent->rectRecord);
    Fill(in, sent->values, 2 * sizeof(int32_t));
    sent->fontMade = !in.OneIn(8);
    TextRead read;
    TextReads(sent->mode, sent->scalar, sent->rect, sent->count, sent->advances, sent->fontMade, &read);
    sent->modeFields = read.modeFields;
    sent->advancesRead = read.advances / 4;
    sent->rectRead = read.rectangle != 0;
    CaptureText(&sent->font, sent->values[0], sent->values[1], sent->scalar, sent->rect,
                (const char *)sent->bytes.data(), sent->count, sent->advances, sent->mode, sent->fontMade);
    if (!sent->fontMade) {
        sent->mode = nullptr; // not read, so not written: replay stands in the built-in one
    }
}

// DIB headers (width, height, depth) and the bits GDI reads of each: the last
// one's row bytes times its height wrap past 64 bits.
const int32_t kDibs[][4] = {{4, 3, 24, 36}, {3, -2, 32, 24}, {1431686539, 2147437488, 48, 0}};

void SendRaster(RequestBytes &in, Sent *sent)
{
    sent->kind = job::Kind::Raster;
    const WORD depths[] = {1, 4, 8, 16, 24, 32, 3, 0};
    sent->bitmapRecord = {(LONG)in.Below(3),
                          (LONG)in.Below(20) - 2,
                          (LONG)in.Below(20) - 2,
                          (LONG)in.Below(64),
                          (WORD)(in.OneIn(8) ? 2 : 1),
                          depths[in.Below(8)],
                          nullptr};
    sent->bytes.resize(20 * 20 * 4);
    Fill(in, sent->bytes.data(), sent->bytes.size());
    sent->bitmapRecord.bmBits = in.OneIn(8) ? nullptr : sent->bytes.data();
    sent->bitmap = in.OneIn(4) ? nullptr : &sent->bitmapRecord;
    Fill(in, sent->values, sizeof sent->values);
    sent->scalar = in.U32();
    sent->brushRecord = {in.Below(3), in.U32(), in.Below(6)};
    sent->brush = in.OneIn(2) ? nullptr : &sent->brushRecord;
    const int32_t *dib = kDibs[in.Below(3)];
    if (in.OneIn(4)) { // the same transfer from a DIB, its header over the bits' start
        BITMAPINFOHEADER header = {sizeof header, dib[0], dib[1], 1, (WORD)dib[2], BI_RGB, 0, 0, 0, 0, 0};
        std::copy_n((const uint8_t *)&header, sizeof header, sent->bytes.data());
        sent->kind = job::Kind::Dib;
        sent->count = (uint16_t)dib[3];
        TransferRead read;
        DibReads((const BITMAPINFO *)sent->bytes.data(), sent->bytes.data() + sizeof header, sent->brush, nullptr, 0,
                 &read);
        sent->brushBytes = read.brush.record;
        return CaptureDib(sent->values, sent->bytes.data() + sizeof header, (const BITMAPINFO *)sent->bytes.data(),
                          sent->scalar, sent->brush, nullptr);
    }
    TransferRead read;
    RasterReads(sent->bitmap, sent->brush, nullptr, 0, &read);
    sent->brushBytes = read.brush.record;
    CaptureRaster(sent->values, sent->bitmap, sent->scalar, sent->brush, nullptr);
}

#define SAME(a, b) Expect((a) == (b), #a, got.line)

void CheckRecords(const job::Job &job, const job::Request &got, const Sent &sent)
{
    if (got.pen >= 0) {
        const job::PenSetting &pen = job.pens[got.pen];
        SAME(pen.style, sent.pen->lopnStyle);
        SAME(pen.width, sent.pen->lopnWidth.x);
        SAME(pen.widthY, sent.pen->lopnWidth.y);
        SAME(pen.color, sent.pen->lopnColor);
    }
    if (got.brush >= 0) {
        // only the bytes the request reads: the rest are zeros
        LOGBRUSH read = {0, 0, 0};
        std::copy_n((const uint8_t *)sent.brush, sent.brushBytes, (uint8_t *)&read);
        const job::BrushSetting &brush = job.brushes[got.brush];
        SAME(brush.style, read.lbStyle);
        SAME(brush.color, read.lbColor);
        SAME(brush.hatch, read.lbHatch);
        SAME(brush.nullPattern, read.lbStyle == 3);
    }
    if (got.kind != job::Kind::Text) { // a text without one gets the built-in draw mode
        SAME(got.drawMode >= 0, sent.mode != nullptr && sent.modeFields != 0);
    }
    if (got.drawMode >= 0 && sent.mode != nullptr) {
        DrawModeRecord read;
        CopyDrawModeFields(&read, sent.mode, sent.modeFields);
        const job::DrawModeSetting &mode = job.drawModes[got.drawMode];
        SAME(mode.rop2, read.rop2);
        SAME(mode.bkMode, read.bkMode);
        SAME(mode.bkColor, read.bkColor);
        SAME(mode.textColor, read.textColor);
        SAME(mode.useBkMode, read.useBkMode);
    }
    Expect((got.pen >= 0) <= (sent.pen != nullptr) && (got.brush >= 0) <= (sent.brush != nullptr), "records", got.line);
}

void SameRect(const job::Rect &got, const RECT &sent, int line)
{
    Expect(got.left == sent.left && got.top == sent.top && got.right == sent.right && got.bottom == sent.bottom,
           "rectangle", line);
}

void CheckOutput(const job::Request &got, const Sent &sent)
{
    SAME(got.style, sent.style);
    SAME(got.scanFlag, sent.scanFlag);
    SAME(got.count, sent.count);
    SAME(got.geometricPenStyle, sent.scalar);
    for (size_t i = 0; i < got.points.size(); ++i) {
        SAME(got.points[i].x, sent.points[i].x);
        SAME(got.points[i].y, sent.points[i].y);
    }
    if (!got.polygonCounts.empty()) {
        // the counts the DLL reads, then zeros for those it never reaches
        std::vector<int32_t> read(sent.counts.begin(), sent.counts.begin() + sent.countsRead);
        read.resize(sent.counts.size(), 0);
        SAME(got.polygonCounts, read);
    }
    SAME(got.hasClip, sent.rectRead);
    if (got.hasClip) {
        SameRect(got.clip, *sent.rect, got.line);
    }
}

void CheckText(const job::Job &job, const job::Request &got, const Sent &sent)
{
    SAME(got.x, sent.values[0]);
    SAME(got.y, sent.values[1]);
    SAME(got.options, sent.scalar);
    if (!sent.fontMade) {
        // nothing but the font was read: the line replays the failure alone
        Expect(got.bytes.empty() && got.glyphs.empty() && !got.hasAdvances && !got.hasRect, "failed font", got.line);
    } else if (sent.scalar & 0x10u) {
        const uint16_t *glyphs = (const uint16_t *)sent.bytes.data();
        SAME(got.glyphs, std::vector<uint16_t>(glyphs, glyphs + sent.count));
    } else {
        SAME(got.bytes, std::string((const char *)sent.bytes.data(), sent.count));
    }
    if (sent.fontMade) {
        SAME(got.hasAdvances, sent.advances != nullptr);
        SAME(got.hasRect, sent.rectRead);
    }
    if (got.hasRect) {
        SameRect(got.rect, *sent.rect, got.line);
    }
    if (got.hasAdvances) {
        SAME(got.advances, std::vector<int32_t>(sent.advanceArray.begin(),
                                                sent.advanceArray.begin() + sent.advancesRead));
    }
    const job::FontSetting &font = job.fonts[got.font];
    const LOGFONTA &sentFont = sent.font;
    SAME(font.height, sentFont.lfHeight);
    SAME(font.width, sentFont.lfWidth);
    SAME(font.escapement, sentFont.lfEscapement);
    SAME(font.orientation, sentFont.lfOrientation);
    SAME(font.weight, sentFont.lfWeight);
    SAME(font.italic, sentFont.lfItalic);
    SAME(font.underline, sentFont.lfUnderline);
    SAME(font.strikeOut, sentFont.lfStrikeOut);
    SAME(font.charSet, sentFont.lfCharSet);
    SAME(font.outPrecision, sentFont.lfOutPrecision);
    SAME(font.clipPrecision, sentFont.lfClipPrecision);
    SAME(font.quality, sentFont.lfQuality);
    SAME(font.pitchAndFamily, sentFont.lfPitchAndFamily);
    SAME(font.face, std::string(sentFont.lfFaceName));
}

void CheckRaster(const job::Job &job, const job::Request &got, const Sent &sent)
{
    SAME(got.xDest, sent.values[0]);
    SAME(got.yDest, sent.values[1]);
    SAME(got.cxDest, sent.values[2]);
    SAME(got.cyDest, sent.values[3]);
    SAME(got.rop, sent.scalar);
    if (got.kind == job::Kind::Dib) {
        SAME(job.bitmaps[got.source].bitsSize, sent.count);
        return;
    }
    SAME(got.source >= 0, sent.bitmap != nullptr);
    if (got.source < 0) {
        return;
    }
    const job::BitmapSetting &bitmap = job.bitmaps[got.source];
    SAME(got.xSrc, sent.values[4]);
    SAME(got.ySrc, sent.values[5]);
    SAME(got.cxSrc, sent.values[6]);
    SAME(got.cySrc, sent.values[7]);
    SAME(bitmap.width, sent.bitmap->bmWidth);
    SAME(bitmap.height, sent.bitmap->bmHeight);
    SAME(bitmap.widthBytes, sent.bitmap->bmWidthBytes);
    SAME(bitmap.bitsPixel, sent.bitmap->bmBitsPixel);
    SAME(bitmap.planes, sent.bitmap->bmPlanes);
    SAME(bitmap.type, sent.bitmap->bmType);
    SAME(bitmap.noBits, bitmap.bytes.empty());
    SAME(std::equal(bitmap.bytes.begin(), bitmap.bytes.end(), sent.bytes.begin()), true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RequestBytes in(data, size);
    gFile.clear();
    const RECT frame = {0, 0, 21000, 29700};
    BeginRequest();
    CaptureGetEmfFileDC32(nullptr, "DISPLAY", "page.emf", &frame, 1);
    CaptureSurfaceOpened(0, 1);
    EndRequest();
    std::vector<Sent> sent;
    sent.reserve(16);
    while (!in.Exhausted() && sent.size() < 16) {
        sent.emplace_back();
        BeginRequest();
        uint32_t kind = in.Below(3);
        kind == 0   ? SendOutput(in, &sent.back())
        : kind == 1 ? SendText(in, &sent.back())
                    : SendRaster(in, &sent.back());
        sent.back().expect = (int32_t)in.U32();
        CaptureResult(sent.back().expect);
        EndRequest();
    }
    job::Job job;
    std::string error;
    if (!job::ParseJob(gFile, "capture.job", &job, &error)) {
        Fail("the capture does not parse: " + error);
    }
    size_t next = 0;
    for (const job::Request &got : job.requests) {
        if (got.kind == job::Kind::Page || got.kind == job::Kind::Close) {
            continue;
        }
        Expect(next < sent.size() && got.kind == sent[next].kind, "request kind", got.line);
        const Sent &one = sent[next++];
        SAME(got.expect, one.expect);
        CheckRecords(job, got, one);
        if (got.kind == job::Kind::Output) {
            CheckOutput(got, one);
        } else if (got.kind == job::Kind::Text) {
            CheckText(job, got, one);
        } else {
            CheckRaster(job, got, one);
        }
    }
    Expect(next == sent.size(), "number of requests", 0);
    return 0;
}
