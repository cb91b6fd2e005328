// libFuzzer target: the capture DLL and the job parser must agree. Each
// input becomes a run of the capture DLL's nine exports in any order, with
// records the input fills (unnamed styles, null records, odd bitmaps and DIB
// headers included), on several surfaces, some unknown, in front of a real
// DLL that answers what the input says and sometimes calls another export
// before it answers, as a second thread would. The disk may fill at any
// point, and the process may die at any point. Whatever file is left must
// parse, and every request in it must come back as it was sent, with its
// result and its surface.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "capture_system.h"
#include "job_parser.h"
#include "request_maker.h"
#include "requestmodel/read_sizes.h"

namespace {

[[noreturn]] void Fail(const std::string &problem, const std::string &file)
{
    std::fprintf(stderr, "\n=== capture round-trip finding ===\n%s\ncapture (%zu bytes):\n%.6000s\n", problem.c_str(),
                 file.size(), file.c_str());
    std::abort();
}

std::string gText; // the capture as the parser got it

void Expect(bool same, const char *what, int line)
{
    if (!same) {
        Fail(std::string(what) + " differs on line " + std::to_string(line), gText);
    }
}

// A request as sent, with the arrays its pointers reach, the surface it named
// and what the real DLL answered.
struct Sent {
    job::Kind kind = job::Kind::Close;
    int32_t expect = 0;
    int surfaceLine = 0; // the page line that opened the surface passed; 0 for one none opened
    uint16_t style = 0, scanFlag = 0, count = 0;
    uint32_t scalar = 0; // geometricPenStyle, text options or rop
    const LOGPEN *pen = nullptr;
    const LOGBRUSH *brush = nullptr;
    const DrawModeRecord *mode = nullptr;
    const RECT *rect = nullptr; // clip, text rectangle or frame
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
    uint32_t pointsRead = 0;    // Point16 entries it reads
    bool rectRead = false;
    std::vector<int32_t> advanceArray;
    int32_t values[8];         // x, y or the transfer's rectangles
    Handle32 handles[5] = {};  // beginscan: what it handed out; delete: object, selectBack
    bool bracketKnown = false; // delete: the surface's last bracket, in handles[2..]
    Handle32 bracket[5] = {};
    bool named = false; // delete: a pair of that bracket not given back yet, so written by name
};

// The run of one input: what was sent, in the order the capture writes it,
// and which page line opened each surface handle.
struct Run {
    explicit Run(RequestBytes &bytes) : in(bytes) {}
    RequestBytes &in;
    std::deque<Sent> made;                          // where each request's records live, which nothing moves
    std::vector<Sent *> sent;                       // in the order the capture writes them
    std::vector<std::pair<Handle32, int>> surfaces; // newest last
    // page line, handed out, pairs given back; a deque, since a delete keeps
    // its bracket's record while a nested call adds another
    std::deque<std::pair<int, std::vector<Handle32>>> brackets;
    size_t finished = 0; // the requests sent before the disk filled: each whole in the file
    int pageLines = 0;
    int depth = 0;
    Handle32 nextSurface = 0x2100;
};
Run *gRun;

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

void SendAny(Run &run);

// ---- the real DLL: answers what the input says, and now and then another
// export comes between a call and its answer, as another thread's would.
namespace real {
void Nest()
{
    if (gRun->depth == 0 && gRun->in.OneIn(6)) {
        ++gRun->depth;
        SendAny(*gRun);
        --gRun->depth;
    }
}
int32_t Answer()
{
    Nest();
    return gRun->in.OneIn(4) ? (int32_t)gRun->in.U32() : 0;
}
int32_t WINAPI GetEmfFileDC32(const DEVMODEA *, const char *, const char *, const RECT *, const void *, const void *,
                              Handle32 *surface)
{
    Nest();
    if (gRun->in.OneIn(6)) {
        return -1;
    }
    *surface = gRun->nextSurface++;
    return 0;
}
int32_t WINAPI CloseEmfFile32(const Handle32 *)
{
    return Answer();
}
int32_t WINAPI DeleteObject32(const Handle32 *, Handle32 *, Handle32 *)
{
    return Answer();
}
int32_t WINAPI Output32(const Handle32 *, const uint16_t *style, const uint16_t *, const uint16_t *, const void *,
                        LOGPEN *, const uint32_t *, LOGBRUSH *, const DrawModeRecord *, Handle32 *pen, Handle32 *oldPen,
                        Handle32 *brush, Handle32 *oldBrush, Handle32 *pattern, const RECT *)
{
    if (*style == OUT_BEGINSCAN) {
        Handle32 *out[5] = {pen, oldPen, brush, oldBrush, pattern};
        for (Handle32 *one : out) {
            *one = gRun->in.OneIn(4) ? 0 : 0x3000 + gRun->in.Below(8);
        }
    }
    return Answer();
}
int32_t WINAPI Raster32(const Handle32 *, const int32_t *, const int32_t *, const int32_t *, const int32_t *,
                        const BITMAP *, const int32_t *, const int32_t *, const int32_t *, const int32_t *,
                        const uint32_t *, LOGBRUSH *, const DrawModeRecord *)
{
    return Answer();
}
int32_t WINAPI Dib32(const Handle32 *, const int32_t *, const int32_t *, const int32_t *, const int32_t *,
                     const int32_t *, const int32_t *, const int32_t *, const int32_t *, const void *,
                     const BITMAPINFO *, const uint32_t *, LOGBRUSH *, const DrawModeRecord *)
{
    return Answer();
}
int32_t WINAPI TextOut32(const Handle32 *, const LOGFONTA *, const int32_t *, const int32_t *, const uint32_t *,
                         const RECT *, const char *, const uint32_t *, const int32_t *, const DrawModeRecord *)
{
    return Answer();
}
int32_t WINAPI GetEmfFilePath32(char *buffer)
{
    std::strcpy(buffer, "C:\\WINDOWS\\TEMP\\EMF1.TMP");
    return Answer();
}
int32_t WINAPI SetClipRect32(const Handle32 *, const RECT *)
{
    return Answer();
}
const RealExports kCalls = {GetEmfFileDC32, CloseEmfFile32, DeleteObject32,   Output32,     Raster32,
                            Dib32,          TextOut32,      GetEmfFilePath32, SetClipRect32};
} // namespace real

// ---- the driver

// A surface the driver passes: one a page opened, or now and then one none did.
Handle32 PickSurface(Run &run, Sent *sent)
{
    if (run.surfaces.empty() || run.in.OneIn(8)) {
        sent->surfaceLine = 0;
        return 0x7000 + run.in.Below(4);
    }
    const auto &one = run.surfaces[run.in.Below((uint32_t)run.surfaces.size())];
    for (auto it = run.surfaces.rbegin(); it != run.surfaces.rend(); ++it) {
        if (it->first == one.first) {
            sent->surfaceLine = it->second;
            break;
        }
    }
    return one.first;
}

Sent &Add(Run &run)
{
    run.made.emplace_back();
    run.sent.push_back(&run.made.back());
    return run.made.back();
}

void SendPage(Run &run)
{
    if (run.pageLines >= 12) { // the capture remembers the newest 16 surfaces
        return;
    }
    run.made.emplace_back();
    Sent &sent = run.made.back();
    sent.kind = job::Kind::Page;
    sent.rectRecord = {0, 0, 1000 + (LONG)run.in.Below(30000), 1000 + (LONG)run.in.Below(30000)};
    sent.rect = run.in.OneIn(6) ? nullptr : &sent.rectRecord;
    Handle32 surface = 0;
    sent.expect =
        GetEmfFileDC32(nullptr, "DISPLAY", "C:\\WINDOWS\\TEMP\\EMF1.TMP", sent.rect, nullptr, nullptr, &surface);
    run.sent.push_back(&sent); // its line follows the answer, after any request that came between
    const int line = ++run.pageLines;
    if (sent.expect == 0) {
        run.surfaces.push_back({surface, line});
    }
}

void SendOutput(Run &run)
{
    Sent &sent = Add(run);
    RequestBytes &in = run.in;
    static const uint16_t kStyles[] = {OUT_BEZIER,    OUT_SCANLINES,       OUT_RECTANGLE,      OUT_ELLIPSE,
                                       OUT_POLYLINE,  OUT_WINDPOLYGON,     OUT_ALTPOLYGON,     OUT_CIRCLE,
                                       OUT_BEGINSCAN, OUT_WINDPOLYPOLYGON, OUT_ALTPOLYPOLYGON, OUT_ENDSCAN,
                                       0x99};
    sent.kind = job::Kind::Output;
    sent.style = kStyles[in.Below(sizeof kStyles / sizeof kStyles[0])];
    sent.scanFlag = (uint16_t)in.Below(3);
    sent.count = (uint16_t)(in.OneIn(8) ? in.Below(3000) : in.Below(12));
    sent.scalar = in.U32();
    sent.points.resize(4 * (size_t)sent.count + 64); // every style reads within it
    Fill(in, sent.points.data(), 64 * sizeof(Point16));
    for (size_t i = 64; i < sent.points.size(); ++i) { // every point differs, so a shifted list shows
        sent.points[i] = {(int16_t)(i * 7), (int16_t)(i ^ 0x5a5a)};
    }
    for (uint16_t i = 0; i < sent.count && i < 12; ++i) {
        sent.counts.push_back((int32_t)in.Below(5) - (in.OneIn(16) ? 2 : 0));
    }
    sent.counts.resize(sent.count, 1);
    PolyPolygonRecord polygons = {sent.counts.data(), sent.points.data()};
    const bool poly = sent.style == OUT_WINDPOLYPOLYGON || sent.style == OUT_ALTPOLYPOLYGON;
    sent.pen = Maybe(in, &sent.penRecord);
    // style 3 with lbHatch 0: a pattern brush without its BITMAP
    sent.brushRecord = {in.Below(4), in.U32(), 0};
    sent.brushRecord.lbHatch = sent.brushRecord.lbStyle == 3 ? 0 : in.Below(6);
    sent.brush = in.OneIn(4) ? nullptr : &sent.brushRecord;
    sent.mode = Maybe(in, &sent.modeRecord);
    sent.rect = Maybe(in, &sent.rectRecord);
    const Handle32 surface = PickSurface(run, &sent);
    const void *points = poly ? (const void *)&polygons : sent.points.data();
    OutputRead read;
    OutputReads(sent.style, sent.scanFlag, sent.count, points, sent.pen, sent.brush, sent.mode, sent.rect, 0, &read);
    sent.modeFields = read.modeFields;
    sent.brushBytes = read.brush.record;
    sent.countsRead = read.counts / 4;
    sent.pointsRead = (poly ? read.vertices : read.points) / 4;
    sent.rectRead = read.clip != 0;
    uint16_t style = sent.style, scanFlag = sent.scanFlag, count = sent.count;
    uint32_t geometric = sent.scalar;
    Handle32 out[5] = {};
    const int32_t result = Output32(&surface, &style, &scanFlag, &count, points, sent.pen ? &sent.penRecord : nullptr,
                                    &geometric, sent.brush ? &sent.brushRecord : nullptr, sent.mode, &out[0], &out[1],
                                    &out[2], &out[3], &out[4], sent.rect);
    sent.expect = result;
    if (sent.style == OUT_BEGINSCAN) {
        std::copy_n(out, 5, sent.handles);
        run.brackets.push_back({sent.surfaceLine, std::vector<Handle32>(out, out + 5)});
    }
}

void SendText(Run &run)
{
    run.made.emplace_back();
    Sent &sent = run.made.back();
    RequestBytes &in = run.in;
    sent.kind = job::Kind::Text;
    Fill(in, &sent.font, sizeof sent.font);
    sent.font.lfFaceName[in.Below(LF_FACESIZE)] = '\0'; // the format holds up to 31 bytes
    Fill(in, &sent.modeRecord, sizeof sent.modeRecord);
    sent.mode = &sent.modeRecord;
    sent.count = (uint16_t)in.Below(20);
    sent.scalar = (in.U32() & ~0x10u) | (in.OneIn(3) ? 0x10u : 0u);
    sent.bytes.resize(sent.count * 2);
    Fill(in, sent.bytes.data(), sent.bytes.size());
    if (in.OneIn(4)) {
        sent.scalar |= ETO_PDY;
    }
    sent.advanceArray.resize(sent.count * 2u); // an x and a y advance a glyph with ETO_PDY
    Fill(in, sent.advanceArray.data(), sent.advanceArray.size() * sizeof(int32_t));
    sent.advances = in.OneIn(2) ? nullptr : sent.advanceArray.data();
    sent.rect = Maybe(in, &sent.rectRecord);
    Fill(in, sent.values, 2 * sizeof(int32_t));
    const Handle32 surface = PickSurface(run, &sent);
    uint32_t count = sent.count, options = sent.scalar;
    sent.expect = TextOut32(&surface, &sent.font, &sent.values[0], &sent.values[1], &options, sent.rect,
                            (const char *)sent.bytes.data(), &count, sent.advances, sent.mode);
    sent.fontMade = sent.expect == 0;
    TextRead read;
    TextReads(sent.mode, sent.scalar, sent.rect, sent.count, sent.advances, sent.fontMade, &read);
    sent.modeFields = read.modeFields;
    sent.advancesRead = read.advances / 4;
    sent.rectRead = read.rectangle != 0;
    if (!sent.fontMade) {
        sent.mode = nullptr; // not read, so not written: replay stands in the built-in one
    }
    run.sent.push_back(&sent); // its line follows the answer, after any request that came between
}

// DIB headers (width, height, depth) and the bits GDI reads of each: the last
// one's row bytes times its height wrap past 64 bits.
const int32_t kDibs[][4] = {{4, 3, 24, 36}, {3, -2, 32, 24}, {1431686539, 2147437488, 48, 0}};

void SendRaster(Run &run)
{
    Sent &sent = Add(run);
    RequestBytes &in = run.in;
    sent.kind = job::Kind::Raster;
    const WORD depths[] = {1, 4, 8, 16, 24, 32, 3, 0};
    sent.bitmapRecord = {(LONG)in.Below(3),
                         (LONG)in.Below(20) - 2,
                         (LONG)in.Below(20) - 2,
                         (LONG)in.Below(64),
                         (WORD)(in.OneIn(8) ? 2 : 1),
                         depths[in.Below(8)],
                         nullptr};
    sent.bytes.resize(20 * 20 * 4);
    Fill(in, sent.bytes.data(), sent.bytes.size());
    sent.bitmapRecord.bmBits = in.OneIn(8) ? nullptr : sent.bytes.data();
    sent.bitmap = in.OneIn(4) ? nullptr : &sent.bitmapRecord;
    Fill(in, sent.values, sizeof sent.values);
    sent.scalar = in.U32();
    sent.brushRecord = {in.Below(3), in.U32(), in.Below(6)};
    sent.brush = in.OneIn(2) ? nullptr : &sent.brushRecord;
    const int32_t *dib = kDibs[in.Below(3)];
    const Handle32 surface = PickSurface(run, &sent);
    int32_t *v = sent.values;
    LOGBRUSH *brush = sent.brush ? &sent.brushRecord : nullptr;
    int32_t result = 0;
    if (in.OneIn(4)) { // the same transfer from a DIB, its header over the bits' start
        BITMAPINFOHEADER header = {sizeof header, dib[0], dib[1], 1, (WORD)dib[2], BI_RGB, 0, 0, 0, 0, 0};
        std::copy_n((const uint8_t *)&header, sizeof header, sent.bytes.data());
        sent.kind = job::Kind::Dib;
        sent.count = (uint16_t)dib[3];
        TransferRead read;
        DibReads((const BITMAPINFO *)sent.bytes.data(), sent.bytes.data() + sizeof header, brush, nullptr, 0, &read);
        sent.brushBytes = read.brush.record;
        result =
            Dib32(&surface, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], sent.bytes.data() + sizeof header,
                  (const BITMAPINFO *)sent.bytes.data(), &sent.scalar, brush, nullptr);
    } else {
        TransferRead read;
        RasterReads(sent.bitmap, brush, nullptr, 0, &read);
        sent.brushBytes = read.brush.record;
        result = Raster32(&surface, &v[0], &v[1], &v[2], &v[3], sent.bitmap, &v[4], &v[5], &v[6], &v[7], &sent.scalar,
                          brush, nullptr);
    }
    sent.expect = result;
}

void SendClip(Run &run)
{
    Sent &sent = Add(run);
    sent.kind = job::Kind::Clip;
    sent.rect = Maybe(run.in, &sent.rectRecord);
    const Handle32 surface = PickSurface(run, &sent);
    const int32_t result = SetClipRect32(&surface, sent.rect);
    sent.expect = result;
}

// Whether a pair given back is one the bracket handed out (pen, brush,
// pattern in that order) and not given back yet; marks it given back.
bool GivenBack(std::vector<Handle32> *bracket, Handle32 object, Handle32 selectBack)
{
    for (uint32_t i = 0; bracket != nullptr && i < 3; ++i) {
        std::vector<Handle32> &b = *bracket;
        if (!b[5 + i] && object == b[2 * i] && selectBack == (i < 2 ? b[2 * i + 1] : 0)) {
            return b[5 + i] = 1;
        }
    }
    return false;
}

// A pair the surface's last bracket handed out, as drivers give them back,
// or any two handles.
void SendDelete(Run &run)
{
    Sent &sent = Add(run);
    sent.kind = job::Kind::Delete;
    const Handle32 surface = PickSurface(run, &sent);
    std::vector<Handle32> *last = nullptr;
    for (auto it = run.brackets.rbegin(); it != run.brackets.rend() && last == nullptr; ++it) {
        last = it->first == sent.surfaceLine && sent.surfaceLine != 0 ? &it->second : nullptr;
    }
    if (last != nullptr) {
        std::copy_n(last->begin(), 5, sent.bracket);
        sent.bracketKnown = true;
        last->resize(8, 0); // which of the three pairs came back
    }
    const uint32_t pair = run.in.Below(4);
    Handle32 object = 0x3000 + run.in.Below(8), selectBack = run.in.OneIn(2) ? 0 : 0x3000 + run.in.Below(8);
    if (sent.bracketKnown && pair < 3) {
        object = sent.bracket[2 * pair];
        selectBack = pair < 2 ? sent.bracket[2 * pair + 1] : 0;
    }
    sent.handles[0] = object, sent.handles[1] = selectBack;
    sent.named = GivenBack(last, object, selectBack);
    const int32_t result = DeleteObject32(&surface, &object, &selectBack);
    sent.expect = result;
    if (run.in.OneIn(4)) { // a driver that gives the same pair back twice
        Sent &again = Add(run);
        again = sent;
        again.named = GivenBack(last, again.handles[0], again.handles[1]);
        again.expect = DeleteObject32(&surface, &again.handles[0], &again.handles[1]);
    }
}

void SendClose(Run &run)
{
    Sent &sent = Add(run);
    sent.kind = job::Kind::Close;
    const Handle32 surface = PickSurface(run, &sent);
    const int32_t result = CloseEmfFile32(&surface);
    sent.expect = result;
}

void SendPath(Run &)
{
    char buffer[MAX_PATH + 1] = {};
    GetEmfFilePath32(buffer); // a comment only: the page line names its own file
}

void SendAny(Run &run)
{
    typedef void (*Sender)(Run &);
    static const Sender kSenders[] = {SendPage, SendOutput, SendOutput, SendText, SendRaster,
                                      SendClip, SendDelete, SendClose,  SendPath};
    kSenders[run.in.Below(sizeof kSenders / sizeof kSenders[0])](run);
    if (!gCapture.full && run.depth == 0) {
        run.finished = run.sent.size();
    }
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
    const bool modeKind = got.kind == job::Kind::Output || got.kind == job::Kind::Raster || got.kind == job::Kind::Dib;
    if (modeKind) { // a text without one gets the built-in draw mode
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

void CheckRect(const job::Request &got, const job::Rect &rect, const RECT *sent)
{
    SAME(rect.left, sent->left);
    SAME(rect.top, sent->top);
    SAME(rect.right, sent->right);
    SAME(rect.bottom, sent->bottom);
}

void CheckOutput(const job::Request &got, const Sent &sent)
{
    SAME(got.style, sent.style);
    SAME(got.scanFlag, sent.scanFlag);
    SAME(got.count, sent.count);
    SAME(got.geometricPenStyle, sent.scalar);
    SAME(got.points.size(), sent.pointsRead);
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
        CheckRect(got, got.clip, sent.rect);
    }
    if (sent.style == OUT_BEGINSCAN && got.replay) {
        SAME(got.hasHanded, true);
        SAME(std::equal(sent.handles, sent.handles + 5, got.handed), true);
    }
}

void CheckFont(const job::Request &got, const job::FontSetting &font, const LOGFONTA &sent)
{
    SAME(font.height, sent.lfHeight);
    SAME(font.width, sent.lfWidth);
    SAME(font.escapement, sent.lfEscapement);
    SAME(font.orientation, sent.lfOrientation);
    SAME(font.weight, sent.lfWeight);
    SAME(font.italic, sent.lfItalic);
    SAME(font.underline, sent.lfUnderline);
    SAME(font.strikeOut, sent.lfStrikeOut);
    SAME(font.charSet, sent.lfCharSet);
    SAME(font.outPrecision, sent.lfOutPrecision);
    SAME(font.clipPrecision, sent.lfClipPrecision);
    SAME(font.quality, sent.lfQuality);
    SAME(font.pitchAndFamily, sent.lfPitchAndFamily);
    SAME(font.face, std::string(sent.lfFaceName, strnlen(sent.lfFaceName, LF_FACESIZE)));
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
    if (got.hasAdvances) {
        SAME(got.advances,
             std::vector<int32_t>(sent.advanceArray.begin(), sent.advanceArray.begin() + sent.advancesRead));
    }
    if (got.hasRect) {
        CheckRect(got, got.rect, sent.rect);
    }
    CheckFont(got, job.fonts[got.font], sent.font);
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

// A delete by name gives back a pair the surface's last bracket handed out;
// any other is written with its handles.
void CheckDelete(const job::Request &got, const Sent &sent)
{
    SAME(got.release != job::Release::Raw, sent.named);
    if (got.release == job::Release::Raw) {
        SAME(got.object, sent.handles[0]);
        SAME(got.selectBack, sent.handles[1]);
        return;
    }
    const int pair = (int)got.release;
    Expect(sent.bracketKnown && pair < 3, "a delete by name without a bracket", got.line);
    SAME(sent.bracket[2 * pair], sent.handles[0]);
    SAME(pair < 2 ? sent.bracket[2 * pair + 1] : 0, sent.handles[1]);
}

void CheckPage(const job::Request &got, const Sent &sent)
{
    // a page the DLL refused may not have had its reference device, nor read its frame
    SAME(got.nullFrame, sent.rect == nullptr || sent.expect != 0);
    if (!got.nullFrame) {
        CheckRect(got, got.frame, sent.rect);
    }
    SAME(got.device, std::string("DISPLAY"));
}

void Check(const job::Job &job, const job::Request &got, const Sent &sent)
{
    Expect(got.kind == sent.kind, "request kind", got.line);
    if (got.replay) {
        SAME(got.expect, sent.expect);
    }
    if (got.kind != job::Kind::Page) {
        SAME(got.surface, sent.surfaceLine);
    }
    CheckRecords(job, got, sent);
    switch (got.kind) {
    case job::Kind::Output:
        return CheckOutput(got, sent);
    case job::Kind::Text:
        return CheckText(job, got, sent);
    case job::Kind::Raster:
    case job::Kind::Dib:
        return CheckRaster(job, got, sent);
    case job::Kind::Clip:
        SAME(got.hasClip, sent.rect != nullptr);
        return got.hasClip ? CheckRect(got, got.clip, sent.rect) : void();
    case job::Kind::Delete:
        return CheckDelete(got, sent);
    case job::Kind::Page:
        return CheckPage(got, sent);
    default:
        return;
    }
}

// The file as the process left it: whole, or, when it died (at a byte the
// input chose before it ran out), whatever was in the mapped window up to then.
std::string LeftFile(bool died, uint32_t dieAt)
{
    std::string file(gCapture.bytes.data(), gCapture.size);
    if (died) {
        std::fill(file.begin() + dieAt % (file.size() + 1), file.end(), '\0');
    }
    return file;
}

} // namespace

const RealExports *RealDll(void)
{
    return &real::kCalls;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RequestBytes in(data, size);
    Run run(in);
    gRun = &run;
    gCapture.full = false;
    gCapture.size = gCapture.position = 0;                                        // no file until a call opens one
    gCapture.room = in.OneIn(3) ? 4096 + in.Below(20000) : gCapture.bytes.size(); // past the first window
    gPoints.room = in.OneIn(3) ? in.Below(20000) : gPoints.bytes.size();
    const bool died = in.OneIn(4);
    const uint32_t dieAt = in.U32();
    CaptureAttach();
    for (int step = 0; step < 24 && !in.Exhausted(); ++step) {
        SendAny(run);
    }
    std::string file = LeftFile(died, dieAt);
    CaptureDetach(0); // ready for the next input, as a fresh load would be
    if (!died) {
        file.assign(gCapture.bytes.data(), gCapture.size); // cut to its last whole half
    }
    gText = file;
    job::Job job;
    std::string error;
    auto reader = [](const std::string &path, std::string *contents) {
        return path == "QRC00001.JOB.pt" && (contents->assign(gPoints.bytes.data(), gPoints.size), true);
    };
    if (!job::ParseJob(file, "capture.job", &job, &error, reader)) {
        Fail("the capture does not parse: " + error, file);
    }
    Expect(job.capture || job.requests.empty(), "the capture's first line", 1);
    Expect(job.requests.size() <= run.sent.size(), "number of requests", 0);
    // every request whose call returned before the disk filled is in the file, with its result
    const size_t kept = died ? 0 : gCapture.full ? std::min(run.finished, run.sent.size()) : run.sent.size();
    Expect(job.requests.size() >= kept, "number of requests", 0);
    // a whole capture leaves no call unanswered, nor any line cut
    Expect(died || gCapture.full || job.warnings.empty(), job.warnings.empty() ? "" : job.warnings[0].c_str(), 0);
    for (size_t i = 0; i < job.requests.size(); ++i) {
        Check(job, job.requests[i], *run.sent[i]);
        Expect(i >= kept || job.requests[i].replay, "an answered request's result", job.requests[i].line);
    }
    return 0;
}
