#include "job_runner.h"

#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "driver_bitmaps.h"
#include "emf_decoder.h"
#include "emf_player.h"
#include "emf_records.h"
#include "format_text.h"
#include "page_state.h"
#include "png_text.h"
#include "png_writer.h"
#include "print_notes.h"
#include "print_pages.h"
#include "reference_device.h"
#include "request_warnings.h"
#include "requestmodel/output_styles.h"
#include "requestmodel/read_sizes.h"

namespace {

const char *StyleName(uint16_t style)
{
    const OutputStyle *row = FindOutputStyle(style);
    return row != nullptr ? row->name : "style";
}

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
    void Log(const std::string &text) { page().calls.push_back({page().marks, text}); }
    void MakeDriverRecords();
    void Warn(const job::Request &request, const std::string &warning);
    void WarnAbout(const job::Request &request);
    void MeasurePage();
    void MarkRequest(const job::Request &request);
    std::string Listing(const std::vector<EmfRecord> &records) const;
    bool SavePage(const job::Request &request, const std::string &base);
    bool ListPage(const job::Request &request, const std::string &base, const std::vector<EmfRecord> &records);
    bool PrintPage(const job::Request &request, const std::string &base);
    void NotePrintDifferences(const std::vector<EmfRecord> &records);

    typedef bool (Runner::*Handler)(const job::Request &request);
    static Handler Step(job::Kind kind);
    bool Unknown(const job::Request &request);
    bool Page(const job::Request &request);
    std::string CaptureHint() const;
    bool PageFrame(const job::Request &request);
    bool Clip(const job::Request &request);
    bool Output(const job::Request &request);
    bool Transfer(const job::Request &request);
    bool Text(const job::Request &request);
    bool Delete(const job::Request &request);
    bool Close(const job::Request &request);
    bool CloseLeftOpen();
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

    // Every page by its page line (0: none opened); a capture may draw on
    // several at once, each request naming its own.
    std::vector<PageState> pages_ = std::vector<PageState>(1);
    size_t current_ = 0;
    PageState &page() { return pages_[current_]; }
    const PageState &page() const { return pages_[current_]; }
    HandleMap handles_;
    int line_ = 0;                       // the job line being run
    std::vector<std::string> started_;   // temporary spool files this run made
    std::vector<std::string> pageFiles_; // outputs of the page being finished
    std::vector<bool> faceChecked_;      // fonts whose face was looked up
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
        // all 32 bytes when a capture's face filled them
        memcpy(record.lfFaceName, font.face.data(), std::min(font.face.size(), sizeof record.lfFaceName));
        fonts_.push_back(record);
    }
    faceChecked_.assign(fonts_.size(), false);
}

// Every warning of a run goes out here: file:line, counted in the summary.
void Runner::Warn(const job::Request &request, const std::string &warning)
{
    fprintf(stderr, "%s:%d: warning: %s\n", job_.path.c_str(), request.line, warning.c_str());
    summary_->warnings++;
}

void Runner::WarnAbout(const job::Request &request)
{
    const LOGFONTA *font = request.font >= 0 ? &fonts_[request.font] : nullptr;
    for (const std::string &warning : RequestWarnings(request, font, page().extent)) {
        Warn(request, warning);
    }
    if (font != nullptr && !faceChecked_[request.font]) {
        faceChecked_[request.font] = true;
        const std::string used = SubstitutedFace(*font);
        if (!used.empty()) {
            Warn(request, FormatText("font %s: GDI has no face \"%s\" and uses \"%s\" instead",
                                     job_.fonts[request.font].name.c_str(), font->lfFaceName, used.c_str()));
        }
    }
    page().scanlines = page().scanlines || (request.kind == job::Kind::Output && request.style == OUT_SCANLINES);
}

bool Runner::Run()
{
    MakeDriverRecords();
    for (const job::Request &request : job_.requests) {
        if (!options_.inspect) {
            WarnAbout(request); // said once, in the normal run
        }
        pages_.resize(std::max(pages_.size(), (size_t)request.surface + 1));
        current_ = (size_t)request.surface;
        if (!request.replay) {
            continue; // the capture's run never came back from it (the parser said so)
        }
        if (!page().open && request.kind != job::Kind::Page && !job_.capture) {
            // a page whose surface was expected not to open: the driver
            // abandons it, and so does the simulator
            if (request.kind == job::Kind::Close && !page().spoolPath.empty()) {
                DeleteFileA(page().spoolPath.c_str());
                page().spoolPath.clear();
            }
            continue;
        }
        line_ = request.line;
        if (options_.inspect && page().open) {
            MarkRequest(request);
        }
        if (!(this->*Step(request.kind))(request)) {
            return false;
        }
    }
    return !job_.capture || CloseLeftOpen();
}

// The pages a capture's run left open close at its end, as they were.
bool Runner::CloseLeftOpen()
{
    for (current_ = 0; current_ < pages_.size(); ++current_) {
        job::Request end;
        end.line = line_;
        if (page().open && !Close(end)) {
            return false;
        }
    }
    return true;
}

// An inspection run's mark: the records that follow, up to the next mark,
// are this request's.
void Runner::MarkRequest(const job::Request &request)
{
    ++page().marks;
    const std::string text = QUILLREC_REQUEST_TAG + job_.path + ":" + std::to_string(request.line);
    const BYTE *data = reinterpret_cast<const BYTE *>(text.c_str());
    if (options_.comment != nullptr) {
        options_.comment(page().surface, (UINT)text.size() + 1, data);
        return;
    }
    GdiComment((HDC)(intptr_t)(int32_t)page().surface, (UINT)text.size() + 1, data);
}

// The page's frame in 0.01 mm: as the job gives it, or measured from the
// reference device for size=, or A4 portrait.
bool Runner::PageFrame(const job::Request &request)
{
    if (request.hasFrame) {
        page().frame = {request.frame.left, request.frame.top, request.frame.right, request.frame.bottom};
    } else if (!request.hasSize) {
        page().frame = {0, 0, 21000, 29700}; // A4 portrait
    } else if (page().device.widthMm > 0 && page().device.heightMm > 0 && page().device.width > 0 &&
               page().device.height > 0) {
        // Logical units are the reference device's pixels; the frame says
        // how large they are, in the reference device's own measure.
        page().frame = {0, 0, (LONG)((int64_t)request.sizeX * page().device.widthMm * 100 / page().device.width),
                        (LONG)((int64_t)request.sizeY * page().device.heightMm * 100 / page().device.height)};
    } else {
        return Fail(request, "cannot measure the reference device '" + page().pageDevice.name +
                                 "' to turn size= into a frame; give frame= instead");
    }
    return true;
}

// The real DLL never fails to name a spool file; the capture DLL does when
// the real DLL it forwards to is missing, and says so only in its capture file.
std::string Runner::CaptureHint() const
{
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameA(dll_.module, path, MAX_PATH);
    std::string real(path, length < MAX_PATH ? length : 0);
    real = real.substr(0, real.find_last_of("\\/") + 1) + "QUILLRAW.DLL";
    if (GetFileAttributesA(real.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return "";
    }
    return " (if " + std::string(path) + " is the capture DLL: it forwards to the real DLL, " + real +
           ", which is not there; the capture file's last line says why it stopped)";
}

bool Runner::Page(const job::Request &request)
{
    page() = PageState();
    page().number = request.surface;
    char name[MAX_PATH + 1] = {};
    int32_t result = dll_.GetEmfFilePath32(name);
    Log(FormatText("line %d: GetEmfFilePath32 -> %ld \"%s\"", request.line, (long)result, name));
    if (result != 0) {
        return Fail(request, FormatText("GetEmfFilePath32 returned %ld", (long)result) + CaptureHint());
    }
    if (name[0] == '\0') {
        return Fail(request, "GetEmfFilePath32 named no spool file");
    }
    page().spoolPath = name;
    started_.push_back(page().spoolPath);
    if (options_.verbose) {
        printf("started %s\n", name);
    }

    page().pageDevice = ChoosePageDevice(request);
    page().device = DeviceFacts();
    MeasureDevice(page().pageDevice, &page().device);
    if (!PageFrame(request)) {
        return false;
    }

    Handle32 surface = 0;
    const DEVMODEA *devMode = nullptr;
    std::vector<BYTE> devModeBytes(page().pageDevice.devMode);
    if (!devModeBytes.empty()) {
        devModeBytes.resize(std::max(devModeBytes.size(), sizeof(DEVMODEA)), 0);
        devMode = reinterpret_cast<const DEVMODEA *>(devModeBytes.data());
    }
    // a capture's driver that passed no device name: none is passed
    const char *device = request.nullDevice ? nullptr : page().pageDevice.name.c_str();
    result = dll_.GetEmfFileDC32(devMode, device, name, request.nullFrame ? nullptr : &page().frame, nullptr, nullptr,
                                 &surface);
    if (!Answer(request, "GetEmfFileDC32",
                FormatText("(%s, frame (%ld,%ld)-(%ld,%ld))",
                           device != nullptr ? ("\"" + page().pageDevice.name + "\"").c_str() : "no device name",
                           (long)page().frame.left, (long)page().frame.top, (long)page().frame.right,
                           (long)page().frame.bottom),
                result, FormatText(" surface 0x%08lx", (unsigned long)surface))) {
        return false;
    }
    if (result != 0) {
        return true; // an expected failure: nothing to draw on; later requests would be outside the contract
    }
    page().surface = surface;
    page().open = true;
    MeasurePage();
    return true;
}

// The page's size in logical units, the reference device's pixels over the
// frame, for the warnings about points far off the page.
void Runner::MeasurePage()
{
    if (page().device.widthMm > 0 && page().device.heightMm > 0) {
        page().extent.width = (int32_t)((int64_t)(page().frame.right - page().frame.left) * page().device.width /
                                        (page().device.widthMm * 100));
        page().extent.height = (int32_t)((int64_t)(page().frame.bottom - page().frame.top) * page().device.height /
                                         (page().device.heightMm * 100));
    }
}

bool Runner::Clip(const job::Request &request)
{
    RECT clip = {request.clip.left, request.clip.top, request.clip.right, request.clip.bottom};
    int32_t result = dll_.SetClipRect32(&page().surface, request.hasClip ? &clip : nullptr);
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
    BracketHandles *out = style == OUT_BEGINSCAN ? &page().bracket : &scratch;

    LOGBRUSH *brush = BrushRecord(request.brush);
    int32_t result = dll_.Output32(&page().surface, &style, &scanFlag, &count, pointArgument, PenRecord(request.pen),
                                   &geometricPenStyle, brush, DrawMode(request.drawMode), &out->pen, &out->oldPen,
                                   &out->brush, &out->oldBrush, &out->patternBitmap, request.hasClip ? &clip : nullptr);
    Log(FormatText("line %d: Output32(%s 0x%04x, scanFlag %u, count %u, pen %s, brush %s, mode %s, clip %s) -> %ld",
                   request.line, StyleName(request.style), request.style, request.scanFlag, request.count,
                   request.pen >= 0 ? job_.pens[request.pen].name.c_str() : "null",
                   request.brush >= 0 ? job_.brushes[request.brush].name.c_str() : "null",
                   request.drawMode >= 0 ? job_.drawModes[request.drawMode].name.c_str() : "null",
                   request.hasClip ? "given" : "null", (long)result));
    if (style == OUT_BEGINSCAN) {
        if (request.hasHanded) {
            handles_.Note(request.handed, page().bracket);
        }
        Log(FormatText("        handed out: pen 0x%08lx oldPen 0x%08lx brush 0x%08lx oldBrush 0x%08lx pattern 0x%08lx",
                       (unsigned long)page().bracket.pen, (unsigned long)page().bracket.oldPen,
                       (unsigned long)page().bracket.brush, (unsigned long)page().bracket.oldBrush,
                       (unsigned long)page().bracket.patternBitmap));
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
        return dll_.DeleteObject32(&page().surface, &page().bracket.pen, &page().bracket.oldPen);
    case job::Release::Brush:
        return dll_.DeleteObject32(&page().surface, &page().bracket.brush, &page().bracket.oldBrush);
    default:
        return dll_.DeleteObject32(&page().surface, &page().bracket.patternBitmap, &none);
    }
}

// Releases what a scan bracket handed out, one object with its predecessor
// per call, pen first: the order that leaves the surface as it was.
void Runner::ReleaseBracket(const char *why)
{
    if (page().bracket.pen != 0 || page().bracket.oldPen != 0) {
        ReleaseOne(job::Release::Pen);
    }
    if (page().bracket.brush != 0 || page().bracket.oldBrush != 0) {
        ReleaseOne(job::Release::Brush);
    }
    if (page().bracket.patternBitmap != 0) {
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
        result = dll_.Raster32(&page().surface, &xDest, &yDest, &cxDest, &cyDest, bitmap, &xSrc, &ySrc, &cxSrc, &cySrc,
                               &rop, BrushRecord(request.brush), DrawMode(request.drawMode));
    } else {
        const DriverBitmap &dib = bitmaps_[request.source];
        result = dll_.Dib32(&page().surface, &xDest, &yDest, &cxDest, &cyDest, &xSrc, &ySrc, &cxSrc, &cySrc,
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
    // as many advances as the DLL and GDI read (two a glyph with ETO_PDY),
    // zeros where a hand-written job gives fewer, and one spare
    std::vector<int32_t> advances(request.advances);
    TextRead reads;
    TextReads(DrawMode(request.drawMode), options, nullptr, count, advances.data(), 1, &reads);
    advances.resize(std::max<size_t>(advances.size(), reads.advances / sizeof(int32_t)) + 1, 0);
    int32_t result =
        dll_.TextOut32(&page().surface, &fonts_[request.font], &x, &y, &options, request.hasRect ? &rectangle : nullptr,
                       string, &count, request.hasAdvances ? advances.data() : nullptr, DrawMode(request.drawMode));
    return Answer(request, "TextOut32",
                  FormatText("(font %s, at %ld,%ld, options 0x%lx, %lu %s%s)", job_.fonts[request.font].name.c_str(),
                             (long)x, (long)y, (unsigned long)options, (unsigned long)count,
                             glyphs ? "glyphs" : "bytes", request.hasAdvances ? ", advances" : ""),
                  result);
}

bool Runner::Delete(const job::Request &request)
{
    if (request.release == job::Release::Raw) {
        Handle32 object = handles_.Replayed(request.object), selectBack = handles_.Replayed(request.selectBack);
        return Answer(request, "DeleteObject32",
                      FormatText("(0x%08lx, 0x%08lx)", (unsigned long)object, (unsigned long)selectBack),
                      dll_.DeleteObject32(&page().surface, &object, &selectBack));
    }
    if (request.release == job::Release::Scan) {
        ReleaseBracket("delete scan");
        return true;
    }
    return Answer(request, "DeleteObject32", "", ReleaseOne(request.release));
}

bool Runner::Close(const job::Request &request)
{
    if (!page().open) {
        // a capture's close of a page closed or never opened goes to the DLL as sent
        return !job_.capture || Answer(request, "CloseEmfFile32", "", dll_.CloseEmfFile32(&page().surface));
    }
    // a capture gives its brackets back with its own delete lines
    const BracketHandles &held = page().bracket;
    if (!job_.capture && (held.pen || held.oldPen || held.brush || held.oldBrush || held.patternBitmap)) {
        ReleaseBracket("end of page");
    }
    int32_t result = dll_.CloseEmfFile32(&page().surface);
    page().open = false;
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
    const std::string base = JoinPath(options_.outFolder, options_.jobName + "-page" + std::to_string(page().number));
    std::vector<EmfRecord> records = ReadEmfRecords(page().spoolPath.c_str());
    if (records.size() < 2 || records.front().type != EMR_HEADER || records.back().type != EMR_EOF) {
        return Fail(request, "GDI cannot read back the spool file " + page().spoolPath + " as an enhanced metafile");
    }
    if (!(options_.inspect ? ListPage(request, base, records) : SavePage(request, base))) {
        return false;
    }
    if (!options_.inspect) {
        NotePrintDifferences(records);
    }
    if (DeleteFileA(page().spoolPath.c_str())) {
        started_.erase(std::find(started_.begin(), started_.end(), page().spoolPath));
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
    if (!CopyFileA(page().spoolPath.c_str(), emf.c_str(), FALSE)) {
        return Fail(request, FormatText("cannot copy the spool file %s to %s (error %lu)", page().spoolPath.c_str(),
                                        emf.c_str(), (unsigned long)GetLastError()));
    }
    const LONG frameWidth = page().frame.right - page().frame.left;
    const LONG frameHeight = page().frame.bottom - page().frame.top;
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
        Warn(request, "GDI reported a record it could not play in " + emf);
    }
    if (page().scanlines && page().extent.width > width) {
        // GDI thins a one-unit line to a pixel or drops it as it scales down
        Warn(request, FormatText("page %d's picture is %d pixels wide for a page %ld units wide: adjacent one-unit "
                                 "scan lines may merge, vanish or show as hairlines in it (the spool file holds "
                                 "them exactly; --width %ld draws them one pixel each)",
                                 page().number, width, (long)page().extent.width, (long)page().extent.width));
    }
    const std::string picture = base + ".png";
    pageFiles_.push_back(picture);
    // the frame is in 0.01 mm
    const uint32_t pixelsPerMetre = frameWidth > 0 ? (uint32_t)((int64_t)width * 100000 / frameWidth) : 0;
    if (!WritePng(picture.c_str(), width, height, pixels, pixelsPerMetre) ||
        !AddPngText(picture, "Description",
                    "Page " + std::to_string(page().number) + " of " + job_.path + ", " +
                        DescribeDevice(page().device))) {
        return Fail(request, "cannot write the picture " + picture);
    }
    return PrintPage(request, base);
}

// The page as the workbench printer prints it; a page that does not print
// is a warning, since its spool file and picture are right.
bool Runner::PrintPage(const job::Request &request, const std::string &base)
{
    std::string error;
    const std::string postScript = base + ".ps";
    if (!PrintSpoolFile(base + ".emf", postScript, options_.jobName + " page " + std::to_string(page().number),
                        &error)) {
        fprintf(stderr, "%s:%d: warning: page %d was not printed: %s\n", job_.path.c_str(), request.line, page().number,
                error.c_str());
        summary_->warnings++;
        DeleteFileA(postScript.c_str());
        return true;
    }
    pageFiles_.push_back(postScript);
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
// file of a normal run (which has no request comments). Calls are tied to
// the mark their request wrote, not to its job line: the close a job's end
// adds shares the last request's line, and must still follow its records.
std::string Runner::Listing(const std::vector<EmfRecord> &records) const
{
    size_t comments = 0;
    for (const EmfRecord &record : records) {
        comments += RequestCommentLine(record) >= 0;
    }
    std::string text = "# " + job_.path + " page " + std::to_string(page().number) +
                       ": each job line's calls, then the records they made, numbered as in the spool file\n" +
                       FormatText("# (%u records; recorded again with a comment before each request, so the header "
                                  "below counts %u)\n",
                                  (unsigned)(records.size() - comments), (unsigned)records.size());
    text += "# " + DescribeDevice(page().device) + "\n";
    size_t call = 0;
    auto callsUpTo = [&](int mark) {
        for (; call < page().calls.size() && page().calls[call].first <= mark; ++call) {
            text += page().calls[call].second + "\n";
        }
    };
    callsUpTo(0);
    int mark = 0;
    unsigned index = 0;
    const std::vector<std::string> notes = PrintNotes(records);
    for (size_t i = 0; i < records.size(); ++i) {
        if (RequestCommentLine(records[i]) >= 0) {
            callsUpTo(++mark);
            continue;
        }
        text += FormatText("    %4u ", index++) + DescribeEmfRecord(records[i]) + "\n";
        if (!notes[i].empty()) {
            text += "         printed: " + notes[i] + "\n";
        }
    }
    callsUpTo(INT_MAX);
    return text;
}

// Each kind of difference between the printed page and its picture, once
// per page, for the run's summary.
void Runner::NotePrintDifferences(const std::vector<EmfRecord> &records)
{
    std::vector<std::string> seen;
    for (const std::string &note : PrintNotes(records)) {
        if (!note.empty() && std::find(seen.begin(), seen.end(), note) == seen.end()) {
            seen.push_back(note);
            summary_->printNotes.push_back(FormatText("page %d: %s", page().number, note.c_str()));
        }
    }
}

// A failed page leaves nothing behind; the pages finished before it stay.
void Runner::CleanUp()
{
    const int failed = page().number;
    for (PageState &left : pages_) {
        if (left.open) {
            dll_.CloseEmfFile32(&left.surface);
            left.open = false;
        }
    }
    for (const std::string &path : started_) {
        DeleteFileA(path.c_str());
    }
    for (const std::string &path : pageFiles_) {
        DeleteFileA(path.c_str());
    }
    pageFiles_.clear();
    summary_->failedPage = failed;
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
