#include "job_runner.h"

#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "emf_reader.h"
#include "format_text.h"
#include "request_warnings.h"
#include "requestmodel/output_styles.h"

namespace {

// A bitmap in the two forms a driver hands over: a device bitmap (BITMAP
// with word-aligned rows, top row first) and a DIB (BITMAPINFO with
// dword-aligned rows, bottom row first).
struct DriverBitmap {
    BITMAP bitmap = {};
    std::vector<BYTE> deviceBits;
    std::vector<BYTE> dibInfo; // BITMAPINFOHEADER and colour table
    std::vector<BYTE> dibBits;
    std::vector<BYTE> packedDib; // a raw DIB's header, colour table and bits in one block
    bool noBits = false;         // a raw DIB passed without bits
    bool noInfo = false;         // a raw DIB passed without BITMAPINFO (info=0)
};

// A bitmap the job gives byte for byte. The bytes sit in zero-padded blocks:
// GDI may read a whole header or bmWidthBytes rows where the driver's own
// memory (and so the capture) held fewer bytes.
void MakeRawBitmap(const job::BitmapSetting &setting, DriverBitmap *out)
{
    const size_t padding = 4096;
    if (setting.raw == job::BitmapSetting::Raw::Dib) {
        const size_t info = setting.infoSize;
        out->dibInfo.assign(setting.bytes.begin(), setting.bytes.begin() + info);
        out->dibInfo.resize(info + padding, 0);
        out->dibBits.assign(setting.bytes.begin() + info, setting.bytes.end());
        out->dibBits.resize(out->dibBits.size() + padding, 0);
        out->packedDib = setting.bytes;
        out->packedDib.resize(setting.bytes.size() + padding, 0);
        out->noBits = setting.noBits;
        out->noInfo = info == 0;
        return;
    }
    const int64_t rows = setting.height < 0 ? -(int64_t)setting.height : setting.height;
    const int64_t stride = setting.widthBytes < 0 ? 0 : setting.widthBytes;
    out->deviceBits = setting.bytes;
    // an edited capture may claim any stride: the padding stops at 64 MiB, past any bitmap GDI makes
    const int64_t claimed = std::min<int64_t>(rows * stride, (int64_t)64 << 20);
    out->deviceBits.resize((size_t)std::max<int64_t>((int64_t)setting.bytes.size(), claimed) + padding, 0);
    out->bitmap.bmType = setting.type;
    out->bitmap.bmWidth = setting.width;
    out->bitmap.bmHeight = setting.height;
    out->bitmap.bmWidthBytes = setting.widthBytes;
    out->bitmap.bmPlanes = setting.planes;
    out->bitmap.bmBitsPixel = setting.bitsPixel;
    out->bitmap.bmBits = setting.noBits ? nullptr : out->deviceBits.data();
}

void MakeDriverBitmap(const job::BitmapSetting &setting, DriverBitmap *out)
{
    if (setting.raw != job::BitmapSetting::Raw::None) {
        MakeRawBitmap(setting, out);
        return;
    }
    const int32_t width = setting.width;
    const int32_t height = setting.height;
    const int depth = setting.mono ? 1 : setting.depth;
    const int32_t deviceStride = ((width * depth + 15) / 16) * 2;
    out->deviceBits.assign((size_t)deviceStride * height, 0);
    const int32_t dibDepth = setting.mono ? 1 : 24;
    const int32_t dibStride = ((width * dibDepth + 31) / 32) * 4;
    out->dibBits.assign((size_t)dibStride * height, 0);
    for (int32_t y = 0; y < height; ++y) {
        BYTE *device = out->deviceBits.data() + (size_t)deviceStride * y;
        BYTE *dib = out->dibBits.data() + (size_t)dibStride * (height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t pixel = setting.pixels[(size_t)y * width + x];
            if (setting.mono) {
                if (pixel) {
                    device[x / 8] |= (BYTE)(0x80 >> (x % 8));
                    dib[x / 8] |= (BYTE)(0x80 >> (x % 8));
                }
                continue;
            }
            BYTE *target = device + (size_t)x * (depth / 8);
            target[0] = (BYTE)pixel;
            target[1] = (BYTE)(pixel >> 8);
            target[2] = (BYTE)(pixel >> 16);
            dib[x * 3] = (BYTE)pixel;
            dib[x * 3 + 1] = (BYTE)(pixel >> 8);
            dib[x * 3 + 2] = (BYTE)(pixel >> 16);
        }
    }
    out->bitmap.bmType = 0;
    out->bitmap.bmWidth = width;
    out->bitmap.bmHeight = height;
    out->bitmap.bmWidthBytes = deviceStride;
    out->bitmap.bmPlanes = 1;
    out->bitmap.bmBitsPixel = (WORD)depth;
    out->bitmap.bmBits = out->deviceBits.data();

    const size_t colors = setting.mono ? 2 : 0;
    out->dibInfo.assign(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER *header = reinterpret_cast<BITMAPINFOHEADER *>(out->dibInfo.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = (WORD)dibDepth;
    header->biCompression = BI_RGB;
    // a colour table counted explicitly is one every recorder keeps
    header->biClrUsed = (DWORD)colors;
    RGBQUAD *table = reinterpret_cast<RGBQUAD *>(header + 1);
    for (size_t i = 0; i < colors; ++i) {
        table[i].rgbRed = (BYTE)(setting.dibColors[i] >> 16);
        table[i].rgbGreen = (BYTE)(setting.dibColors[i] >> 8);
        table[i].rgbBlue = (BYTE)setting.dibColors[i];
    }
}

const char *StyleName(uint16_t style)
{
    const OutputStyle *row = FindOutputStyle(style);
    return row != nullptr ? row->name : "style";
}

// The objects a scan bracket handed out: the driver's own handle variables.
struct BracketHandles {
    Handle32 pen = 0;
    Handle32 oldPen = 0;
    Handle32 brush = 0;
    Handle32 oldBrush = 0;
    Handle32 patternBitmap = 0;
};

class Runner {
  public:
    Runner(const QuillrecExports &dll, const job::Job &job, const RunOptions &options, JobSummary *summary)
        : dll_(dll), job_(job), options_(options), summary_(summary)
    {
    }

    bool Run();
    const std::string &Error() const { return error_; }
    void CleanUp();

  private:
    bool Fail(const job::Request &request, const std::string &message);
    bool Check(const job::Request &request, const char *exportName, int32_t result);
    bool Answer(const job::Request &request, const char *exportName, const std::string &arguments, int32_t result,
                const std::string &after = "");
    void Log(const std::string &text) { calls_.push_back({line_, text}); }
    void MakeDriverRecords();
    void WarnUnusedInput(const job::Request &request);
    void MarkRequest(const job::Request &request);
    std::string Listing(const std::vector<EmfRecord> &records) const;
    bool SavePage(const job::Request &request, const std::string &base);
    bool ListPage(const job::Request &request, const std::string &base, const std::vector<EmfRecord> &records);

    typedef bool (Runner::*Handler)(const job::Request &request);
    static Handler Step(job::Kind kind);
    bool Unknown(const job::Request &request);
    bool Page(const job::Request &request);
    bool PageFrame(const job::Request &request);
    bool Clip(const job::Request &request);
    bool Output(const job::Request &request);
    bool Transfer(const job::Request &request);
    bool Text(const job::Request &request);
    bool Delete(const job::Request &request);
    bool Close(const job::Request &request);
    bool FinishPage(const job::Request &request);
    void ReleaseBracket(const char *why);
    int32_t ReleaseOne(job::Release which);

    LOGPEN *PenRecord(int index) { return index >= 0 ? &pens_[index] : nullptr; }
    LOGBRUSH *BrushRecord(int index);
    const DrawModeRecord *DrawMode(int index) { return index >= 0 ? &drawModes_[index] : nullptr; }

    const QuillrecExports &dll_;
    const job::Job &job_;
    const RunOptions &options_;
    JobSummary *summary_;
    std::string error_;

    // The driver's records, kept for the whole job like a driver's realized
    // objects, and handed in again on every request that uses them.
    std::vector<LOGPEN> pens_;
    std::vector<LOGBRUSH> brushes_;
    std::vector<DrawModeRecord> drawModes_;
    std::vector<LOGFONTA> fonts_;
    std::vector<DriverBitmap> bitmaps_;

    // the page being recorded
    Handle32 surface_ = 0;
    bool open_ = false;
    int page_ = 0;
    std::string spoolPath_;
    RECT frame_ = {};
    BracketHandles bracket_;
    int line_ = 0;                                   // the job line being run
    std::vector<std::pair<int, std::string>> calls_; // the page's calls, by job line
    std::vector<std::string> started_;               // temporary spool files this run made
    std::vector<std::string> pageFiles_;             // outputs of the page being finished
};

// What runs each kind of job line.
Runner::Handler Runner::Step(job::Kind kind)
{
    static const struct {
        job::Kind kind;
        Handler run;
    } kSteps[] = {{job::Kind::Page, &Runner::Page},     {job::Kind::Clip, &Runner::Clip},
                  {job::Kind::Output, &Runner::Output}, {job::Kind::Raster, &Runner::Transfer},
                  {job::Kind::Dib, &Runner::Transfer},  {job::Kind::Text, &Runner::Text},
                  {job::Kind::Delete, &Runner::Delete}, {job::Kind::Close, &Runner::Close}};
    for (const auto &step : kSteps) {
        if (step.kind == kind) {
            return step.run;
        }
    }
    return &Runner::Unknown;
}

bool Runner::Unknown(const job::Request &request)
{
    return Fail(request, "a job line of a kind this runner does not know");
}

bool Runner::Fail(const job::Request &request, const std::string &message)
{
    if (error_.empty()) {
        error_ = job_.path + ":" + std::to_string(request.line) + ": " + message;
    }
    return false;
}

// An export's answer: logged under its job line as "Name(arguments) -> result",
// then checked against the result the line expects.
bool Runner::Answer(const job::Request &request, const char *exportName, const std::string &arguments, int32_t result,
                    const std::string &after)
{
    Log(FormatText("line %d: %s%s -> %ld%s", request.line, exportName, arguments.c_str(), (long)result, after.c_str()));
    return Check(request, exportName, result);
}

bool Runner::Check(const job::Request &request, const char *exportName, int32_t result)
{
    const int32_t expected = request.hasExpect ? request.expect : 0;
    if (result != expected) {
        return Fail(request, FormatText("%s returned %ld, expected %ld", exportName, (long)result, (long)expected));
    }
    return true;
}

LOGBRUSH *Runner::BrushRecord(int index)
{
    if (index < 0) {
        return nullptr;
    }
    const job::BrushSetting &setting = job_.brushes[index];
    if (setting.nullPattern) {
        brushes_[index].lbHatch = 0;
    } else if (setting.style == BS_PATTERN) {
        // The library rewrote lbHatch to its bitmap handle last time; the
        // driver puts its BITMAP pointer back before every reuse.
        brushes_[index].lbHatch = (ULONG_PTR)&bitmaps_[setting.bitmap].bitmap;
    } else if (setting.bitmap >= 0) {
        // BS_DIBPATTERNPT: GDI reads the packed DIB behind lbHatch
        brushes_[index].lbHatch = (ULONG_PTR)bitmaps_[setting.bitmap].packedDib.data();
    }
    return &brushes_[index];
}

// The driver's records, made once from the job's settings.
void Runner::MakeDriverRecords()
{
    for (const job::PenSetting &pen : job_.pens) {
        LOGPEN record = {};
        record.lopnStyle = pen.style;
        record.lopnWidth.x = pen.width;
        record.lopnWidth.y = pen.widthY;
        record.lopnColor = pen.color;
        pens_.push_back(record);
    }
    for (const job::BitmapSetting &bitmap : job_.bitmaps) {
        bitmaps_.emplace_back();
        MakeDriverBitmap(bitmap, &bitmaps_.back());
    }
    for (const job::BrushSetting &brush : job_.brushes) {
        LOGBRUSH record = {};
        record.lbStyle = brush.style;
        record.lbColor = brush.color;
        record.lbHatch = brush.hatch;
        brushes_.push_back(record);
    }
    for (const job::DrawModeSetting &mode : job_.drawModes) {
        DrawModeRecord record = {mode.rop2, mode.bkMode, mode.bkColor, mode.textColor, mode.useBkMode};
        drawModes_.push_back(record);
    }
    for (const job::FontSetting &font : job_.fonts) {
        LOGFONTA record = {};
        record.lfHeight = font.height;
        record.lfWidth = font.width;
        record.lfEscapement = font.escapement;
        record.lfOrientation = font.orientation;
        record.lfWeight = font.weight;
        record.lfItalic = font.italic;
        record.lfUnderline = font.underline;
        record.lfStrikeOut = font.strikeOut;
        record.lfCharSet = font.charSet;
        record.lfOutPrecision = font.outPrecision;
        record.lfClipPrecision = font.clipPrecision;
        record.lfQuality = font.quality;
        record.lfPitchAndFamily = font.pitchAndFamily;
        snprintf(record.lfFaceName, sizeof record.lfFaceName, "%s", font.face.c_str());
        fonts_.push_back(record);
    }
}

void Runner::WarnUnusedInput(const job::Request &request)
{
    for (const std::string &warning : UnusedInput(request, request.font >= 0 ? &fonts_[request.font] : nullptr)) {
        fprintf(stderr, "%s:%d: warning: %s\n", job_.path.c_str(), request.line, warning.c_str());
        summary_->warnings++;
    }
}

bool Runner::Run()
{
    MakeDriverRecords();
    for (const job::Request &request : job_.requests) {
        if (!options_.inspect) {
            WarnUnusedInput(request); // said once, in the normal run
        }
        if (!open_ && request.kind != job::Kind::Page) {
            // a page whose surface was expected not to open: the driver
            // abandons it, and so does the simulator
            if (request.kind == job::Kind::Close && !spoolPath_.empty()) {
                DeleteFileA(spoolPath_.c_str());
                spoolPath_.clear();
            }
            continue;
        }
        line_ = request.line;
        if (options_.inspect && open_) {
            MarkRequest(request);
        }
        if (!(this->*Step(request.kind))(request)) {
            return false;
        }
    }
    return true;
}

// An inspection run's mark: the records that follow, up to the next mark,
// are this request's.
void Runner::MarkRequest(const job::Request &request)
{
    const std::string text = QUILLREC_REQUEST_TAG + job_.path + ":" + std::to_string(request.line);
    const BYTE *data = reinterpret_cast<const BYTE *>(text.c_str());
    if (options_.comment != nullptr) {
        options_.comment(surface_, (UINT)text.size() + 1, data);
        return;
    }
    GdiComment((HDC)(intptr_t)(int32_t)surface_, (UINT)text.size() + 1, data);
}

// The page's frame in 0.01 mm: as the job gives it, or measured from the
// reference device for size=, or A4 portrait.
bool Runner::PageFrame(const job::Request &request)
{
    if (request.hasFrame) {
        frame_ = {request.frame.left, request.frame.top, request.frame.right, request.frame.bottom};
    } else {
        // Logical units are the reference device's pixels; the frame says
        // how large they are, in the reference device's own measure.
        int widthMm = 0, heightMm = 0, widthPixels = 0, heightPixels = 0;
        HDC reference = CreateDCA("WINSPL16", request.device.c_str(), nullptr, nullptr);
        if (reference != nullptr) {
            widthMm = GetDeviceCaps(reference, HORZSIZE);
            heightMm = GetDeviceCaps(reference, VERTSIZE);
            widthPixels = GetDeviceCaps(reference, HORZRES);
            heightPixels = GetDeviceCaps(reference, VERTRES);
            DeleteDC(reference);
        }
        if (!request.hasSize) {
            frame_ = {0, 0, 21000, 29700}; // A4 portrait
        } else if (widthMm > 0 && heightMm > 0 && widthPixels > 0 && heightPixels > 0) {
            frame_ = {0, 0, (LONG)((int64_t)request.sizeX * widthMm * 100 / widthPixels),
                      (LONG)((int64_t)request.sizeY * heightMm * 100 / heightPixels)};
        } else {
            return Fail(request, "cannot measure the reference device '" + request.device +
                                     "' to turn size= into a frame; give frame= instead");
        }
    }
    return true;
}

bool Runner::Page(const job::Request &request)
{
    ++page_;
    calls_.clear();
    bracket_ = BracketHandles();
    char name[MAX_PATH + 1] = {};
    int32_t result = dll_.GetEmfFilePath32(name);
    Log(FormatText("line %d: GetEmfFilePath32 -> %ld \"%s\"", request.line, (long)result, name));
    if (result != 0) {
        return Fail(request, FormatText("GetEmfFilePath32 returned %ld", (long)result));
    }
    if (name[0] == '\0') {
        return Fail(request, "GetEmfFilePath32 named no spool file");
    }
    spoolPath_ = name;
    started_.push_back(spoolPath_);
    if (options_.verbose) {
        printf("started %s\n", name);
    }

    if (!PageFrame(request)) {
        return false;
    }

    Handle32 surface = 0;
    const DEVMODEA *devMode = nullptr;
    std::vector<BYTE> devModeBytes(request.devMode.begin(), request.devMode.end());
    if (!devModeBytes.empty()) {
        devModeBytes.resize(std::max(devModeBytes.size(), sizeof(DEVMODEA)), 0);
        devMode = reinterpret_cast<const DEVMODEA *>(devModeBytes.data());
    }
    result = dll_.GetEmfFileDC32(devMode, request.device.c_str(), name, request.nullFrame ? nullptr : &frame_, nullptr,
                                 nullptr, &surface);
    if (!Answer(request, "GetEmfFileDC32",
                FormatText("(\"%s\", frame (%ld,%ld)-(%ld,%ld))", request.device.c_str(), (long)frame_.left,
                           (long)frame_.top, (long)frame_.right, (long)frame_.bottom),
                result, FormatText(" surface 0x%08lx", (unsigned long)surface))) {
        return false;
    }
    if (result != 0) {
        return true; // an expected failure: nothing to draw on; later requests would be outside the contract
    }
    surface_ = surface;
    open_ = true;
    return true;
}

bool Runner::Clip(const job::Request &request)
{
    RECT clip = {request.clip.left, request.clip.top, request.clip.right, request.clip.bottom};
    int32_t result = dll_.SetClipRect32(&surface_, request.hasClip ? &clip : nullptr);
    return Answer(request, "SetClipRect32",
                  request.hasClip ? FormatText("((%ld,%ld)-(%ld,%ld))", (long)clip.left, (long)clip.top,
                                               (long)clip.right, (long)clip.bottom)
                                  : "(null)",
                  result);
}

bool Runner::Output(const job::Request &request)
{
    uint16_t style = request.style;
    uint16_t scanFlag = request.scanFlag;
    uint16_t count = request.count;
    uint32_t geometricPenStyle = request.geometricPenStyle;
    // Points widened from the parser's record into the boundary's own; a
    // few spare zero points keep an empty list a valid array.
    std::vector<Point16> points(request.points.size() + 4);
    for (size_t i = 0; i < request.points.size(); ++i) {
        points[i].x = request.points[i].x;
        points[i].y = request.points[i].y;
    }
    std::vector<int32_t> counts(request.polygonCounts);
    counts.push_back(0);
    PolyPolygonRecord polyPolygon = {counts.data(), points.data()};
    const OutputStyle *row = FindOutputStyle(style);
    const bool isPolyPolygon = row != nullptr && row->reads == OUT_READS_POLYGONS;
    const void *pointArgument = isPolyPolygon ? (const void *)&polyPolygon : (const void *)points.data();
    RECT clip = {request.clip.left, request.clip.top, request.clip.right, request.clip.bottom};

    // Only OUT_BEGINSCAN writes the out-arguments; any other style hands in
    // scratch variables, which must come back untouched.
    const Handle32 untouched = 0xA5A5A5A5u;
    BracketHandles scratch;
    scratch.pen = scratch.oldPen = scratch.brush = scratch.oldBrush = scratch.patternBitmap = untouched;
    BracketHandles *out = style == OUT_BEGINSCAN ? &bracket_ : &scratch;

    LOGBRUSH *brush = BrushRecord(request.brush);
    int32_t result = dll_.Output32(&surface_, &style, &scanFlag, &count, pointArgument, PenRecord(request.pen),
                                   &geometricPenStyle, brush, DrawMode(request.drawMode), &out->pen, &out->oldPen,
                                   &out->brush, &out->oldBrush, &out->patternBitmap, request.hasClip ? &clip : nullptr);
    Log(FormatText("line %d: Output32(%s 0x%04x, scanFlag %u, count %u, pen %s, brush %s, mode %s, clip %s) -> %ld",
                   request.line, StyleName(request.style), request.style, request.scanFlag, request.count,
                   request.pen >= 0 ? job_.pens[request.pen].name.c_str() : "null",
                   request.brush >= 0 ? job_.brushes[request.brush].name.c_str() : "null",
                   request.drawMode >= 0 ? job_.drawModes[request.drawMode].name.c_str() : "null",
                   request.hasClip ? "given" : "null", (long)result));
    if (style == OUT_BEGINSCAN) {
        Log(FormatText("        handed out: pen 0x%08lx oldPen 0x%08lx brush 0x%08lx oldBrush 0x%08lx pattern 0x%08lx",
                       (unsigned long)bracket_.pen, (unsigned long)bracket_.oldPen, (unsigned long)bracket_.brush,
                       (unsigned long)bracket_.oldBrush, (unsigned long)bracket_.patternBitmap));
    } else if (scratch.pen != untouched || scratch.oldPen != untouched || scratch.brush != untouched ||
               scratch.oldBrush != untouched || scratch.patternBitmap != untouched) {
        return Fail(request, FormatText("Output32 with %s wrote its out-arguments, which only OUT_BEGINSCAN may do",
                                        StyleName(request.style)));
    }
    if (!Check(request, "Output32", result)) {
        return false;
    }
    if (style == OUT_ENDSCAN && request.autoRelease) {
        ReleaseBracket("after endscan");
    }
    return true;
}

// Hands one object of the scan bracket back, with the predecessor it is
// selected back to.
int32_t Runner::ReleaseOne(job::Release which)
{
    Handle32 none = 0;
    switch (which) {
    case job::Release::Pen:
        return dll_.DeleteObject32(&surface_, &bracket_.pen, &bracket_.oldPen);
    case job::Release::Brush:
        return dll_.DeleteObject32(&surface_, &bracket_.brush, &bracket_.oldBrush);
    default:
        return dll_.DeleteObject32(&surface_, &bracket_.patternBitmap, &none);
    }
}

// Releases what a scan bracket handed out, one object with its predecessor
// per call, pen first: the order that leaves the surface as it was.
void Runner::ReleaseBracket(const char *why)
{
    if (bracket_.pen != 0 || bracket_.oldPen != 0) {
        ReleaseOne(job::Release::Pen);
    }
    if (bracket_.brush != 0 || bracket_.oldBrush != 0) {
        ReleaseOne(job::Release::Brush);
    }
    if (bracket_.patternBitmap != 0) {
        ReleaseOne(job::Release::Pattern);
    }
    Log(FormatText("        DeleteObject32 x3 (%s): pen, brush, pattern released", why));
}

// Raster32 and Dib32 take the same destination, source rectangle and raster
// operation; a DIB's rows count from its bottom row.
bool Runner::Transfer(const job::Request &request)
{
    int32_t xDest = request.xDest, yDest = request.yDest, cxDest = request.cxDest, cyDest = request.cyDest;
    int32_t xSrc = request.xSrc, ySrc = request.ySrc, cxSrc = request.cxSrc, cySrc = request.cySrc;
    uint32_t rop = request.rop;
    const bool raster = request.kind == job::Kind::Raster;
    const char *source = request.source >= 0 ? job_.bitmaps[request.source].name.c_str() : "null";
    int32_t result = 0;
    if (raster) {
        const BITMAP *bitmap = request.source >= 0 ? &bitmaps_[request.source].bitmap : nullptr;
        result = dll_.Raster32(&surface_, &xDest, &yDest, &cxDest, &cyDest, bitmap, &xSrc, &ySrc, &cxSrc, &cySrc, &rop,
                               BrushRecord(request.brush), DrawMode(request.drawMode));
    } else {
        const DriverBitmap &dib = bitmaps_[request.source];
        result = dll_.Dib32(&surface_, &xDest, &yDest, &cxDest, &cyDest, &xSrc, &ySrc, &cxSrc, &cySrc,
                            dib.noBits ? nullptr : dib.dibBits.data(),
                            dib.noInfo ? nullptr : reinterpret_cast<const BITMAPINFO *>(dib.dibInfo.data()), &rop,
                            BrushRecord(request.brush), DrawMode(request.drawMode));
    }
    return Answer(request, raster ? "Raster32" : "Dib32",
                  FormatText("(dest %ld,%ld %ldx%ld, %s %s%s, src %ld,%ld %ldx%ld%s, rop 0x%08lx)", (long)xDest,
                             (long)yDest, (long)cxDest, (long)cyDest, raster ? "source" : "dib", source,
                             raster ? "" : " (bottom-up)", (long)xSrc, (long)ySrc, (long)cxSrc, (long)cySrc,
                             raster ? "" : " from its bottom-left", (unsigned long)rop),
                  result);
}

bool Runner::Text(const job::Request &request)
{
    int32_t x = request.x, y = request.y;
    uint32_t options = request.options;
    RECT rectangle = {request.rect.left, request.rect.top, request.rect.right, request.rect.bottom};
    const bool glyphs = !request.glyphs.empty() || (request.options & ETO_GLYPH_INDEX) != 0;
    uint32_t count = (uint32_t)(glyphs ? request.glyphs.size() : request.bytes.size());
    // one spare zero so that an empty string is still a valid pointer
    std::vector<char> bytes(request.bytes.begin(), request.bytes.end());
    bytes.push_back('\0');
    std::vector<uint16_t> indices(request.glyphs);
    indices.push_back(0);
    const char *string = glyphs ? reinterpret_cast<const char *>(indices.data()) : bytes.data();
    std::vector<int32_t> advances(request.advances);
    advances.push_back(0);
    int32_t result =
        dll_.TextOut32(&surface_, &fonts_[request.font], &x, &y, &options, request.hasRect ? &rectangle : nullptr,
                       string, &count, request.hasAdvances ? advances.data() : nullptr, DrawMode(request.drawMode));
    return Answer(request, "TextOut32",
                  FormatText("(font %s, at %ld,%ld, options 0x%lx, %lu %s%s)", job_.fonts[request.font].name.c_str(),
                             (long)x, (long)y, (unsigned long)options, (unsigned long)count,
                             glyphs ? "glyphs" : "bytes", request.hasAdvances ? ", advances" : ""),
                  result);
}

bool Runner::Delete(const job::Request &request)
{
    if (request.release == job::Release::Scan) {
        ReleaseBracket("delete scan");
        return true;
    }
    return Answer(request, "DeleteObject32", "", ReleaseOne(request.release));
}

bool Runner::Close(const job::Request &request)
{
    if (!open_) {
        return true;
    }
    if (bracket_.pen || bracket_.oldPen || bracket_.brush || bracket_.oldBrush || bracket_.patternBitmap) {
        ReleaseBracket("end of page");
    }
    int32_t result = dll_.CloseEmfFile32(&surface_);
    open_ = false;
    return Answer(request, "CloseEmfFile32", "", result) && FinishPage(request);
}

bool WriteText(const std::string &path, const std::string &text)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

// The finished page read back the way a spooler reads it; a normal run keeps
// the spool file and its picture, an inspection run its listing.
bool Runner::FinishPage(const job::Request &request)
{
    if (!CreateFolders(options_.outFolder)) {
        return Fail(request, "cannot create the output folder '" + options_.outFolder + "'");
    }
    const std::string base = options_.outFolder + "/" + options_.jobName + "-page" + std::to_string(page_);
    std::vector<EmfRecord> records = ReadEmfRecords(spoolPath_.c_str());
    if (records.size() < 2 || records.front().type != EMR_HEADER || records.back().type != EMR_EOF) {
        return Fail(request, "GDI cannot read back the spool file " + spoolPath_ + " as an enhanced metafile");
    }
    if (!(options_.inspect ? ListPage(request, base, records) : SavePage(request, base))) {
        return false;
    }
    if (DeleteFileA(spoolPath_.c_str())) {
        started_.pop_back();
    }
    summary_->pages++;
    summary_->records += records.size();
    summary_->written.insert(summary_->written.end(), pageFiles_.begin(), pageFiles_.end());
    pageFiles_.clear();
    return true;
}

bool Runner::SavePage(const job::Request &request, const std::string &base)
{
    const std::string emf = base + ".emf";
    pageFiles_.push_back(emf);
    if (!CopyFileA(spoolPath_.c_str(), emf.c_str(), FALSE)) {
        return Fail(request, FormatText("cannot copy the spool file %s to %s (error %lu)", spoolPath_.c_str(),
                                        emf.c_str(), (unsigned long)GetLastError()));
    }
    const LONG frameWidth = frame_.right - frame_.left;
    const LONG frameHeight = frame_.bottom - frame_.top;
    const int width = options_.pictureWidth;
    const int height = frameWidth > 0 ? (int)((int64_t)width * frameHeight / frameWidth) : width;
    if (height < 1 || height > 16 * width) {
        return Fail(request, "the page's frame gives no sensible picture size");
    }
    std::vector<uint32_t> pixels;
    bool played = RenderEmf(emf.c_str(), width, height, &pixels);
    if (pixels.size() != (size_t)width * height) {
        return Fail(request, "GDI cannot play the spool file " + emf);
    }
    if (!played) {
        fprintf(stderr, "%s:%d: warning: GDI reported a record it could not play in %s\n", job_.path.c_str(),
                request.line, emf.c_str());
        summary_->warnings++;
    }
    const std::string picture = base + ".png";
    pageFiles_.push_back(picture);
    // the frame is in 0.01 mm
    const uint32_t pixelsPerMetre = frameWidth > 0 ? (uint32_t)((int64_t)width * 100000 / frameWidth) : 0;
    if (!WritePng(picture.c_str(), width, height, pixels, pixelsPerMetre)) {
        return Fail(request, "cannot write the picture " + picture);
    }
    return true;
}

bool Runner::ListPage(const job::Request &request, const std::string &base, const std::vector<EmfRecord> &records)
{
    const std::string listing = base + ".txt";
    pageFiles_.push_back(listing);
    if (!WriteText(listing, Listing(records))) {
        return Fail(request, "cannot write the listing " + listing);
    }
    return true;
}

// Each request's calls, then the records it made, numbered as in the spool
// file of a normal run (which has no request comments).
std::string Runner::Listing(const std::vector<EmfRecord> &records) const
{
    std::string text = "# " + job_.path + " page " + std::to_string(page_) +
                       ": each job line's calls, then the records they made, numbered as in the spool file\n"
                       "# (recorded again with a comment before each request; the header counts those too)\n";
    size_t call = 0;
    auto callsUpTo = [&](int line) {
        for (; call < calls_.size() && calls_[call].first <= line; ++call) {
            text += calls_[call].second + "\n";
        }
    };
    callsUpTo(calls_.empty() ? 0 : calls_.front().first);
    unsigned index = 0;
    for (const EmfRecord &record : records) {
        const int line = RequestCommentLine(record);
        if (line >= 0) {
            callsUpTo(line);
            continue;
        }
        text += FormatText("    %4u ", index++) + DescribeEmfRecord(record) + "\n";
    }
    callsUpTo(INT_MAX);
    return text;
}

// A failed page leaves nothing behind; the pages finished before it stay.
void Runner::CleanUp()
{
    if (open_) {
        dll_.CloseEmfFile32(&surface_);
        open_ = false;
    }
    for (const std::string &path : started_) {
        DeleteFileA(path.c_str());
    }
    for (const std::string &path : pageFiles_) {
        DeleteFileA(path.c_str());
    }
    pageFiles_.clear();
    summary_->failedPage = page_;
}

} // namespace

bool RunJob(const QuillrecExports &dll, const job::Job &job, const RunOptions &options, JobSummary *summary,
            std::string *error)
{
    Runner runner(dll, job, options, summary);
    if (runner.Run()) {
        return true;
    }
    runner.CleanUp();
    *error = runner.Error() + FormatText(" (page %d failed", summary->failedPage) +
             (summary->pages == 0   ? std::string(")")
              : summary->pages == 1 ? std::string("; page 1 is kept)")
                                    : FormatText("; pages 1 to %d are kept)", summary->pages));
    return false;
}
