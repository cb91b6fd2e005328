#include "request_warnings.h"

#include "format_text.h"
#include "quillrec.h"
#include "requestmodel/output_styles.h"

namespace {

// What the style's row in the output-style table says is read of the points.
void UnusedPoints(const job::Request &request, std::vector<std::string> *warnings)
{
    const OutputStyle *style = FindOutputStyle(request.style);
    const size_t given = request.points.size();
    if (style == nullptr) {
        warnings->push_back(FormatText("style 0x%04x is not one the DLL draws: it selects the pen and brush and sets "
                                       "the draw mode, but draws no shape",
                                       request.style));
        return;
    }
    size_t read = OutputPointsRead(style, request.count);
    if (style->reads == OUT_READS_POLYGONS) {
        for (size_t i = 0; i < request.count && i < request.polygonCounts.size(); ++i) {
            read += (size_t)request.polygonCounts[i];
        }
        if (request.polygonCounts.size() > request.count) {
            warnings->push_back(FormatText(
                "%s reads count=%u polygons; the last %u of %u are not drawn", style->name, (unsigned)request.count,
                (unsigned)(request.polygonCounts.size() - request.count), (unsigned)request.polygonCounts.size()));
            return;
        }
    }
    if (given > read) {
        warnings->push_back(FormatText("%s reads %u point(s); the last %u of the %u given are not used", style->name,
                                       (unsigned)read, (unsigned)(given - read), (unsigned)given));
    }
}

// The code page in which the placement tells double-byte characters, or 0
// when it draws every byte alone.
UINT PlacementCodePage(BYTE charSet)
{
    CHARSETINFO info = {};
    if (TranslateCharsetInfo((DWORD *)(ULONG_PTR)charSet, &info, TCI_SRCCHARSET)) {
        return info.ciACP;
    }
    return charSet == SYMBOL_CHARSET || charSet == OEM_CHARSET ? 0 : GetACP();
}

// How many advance entries per-character placement reads: one per
// single-byte character; the two at its position for a double-byte one,
// stepping over the second only when one of them is 0. Never more entries
// than the string has bytes.
size_t AdvancesRead(const std::string &bytes, const std::vector<int32_t> &advances, BYTE charSet)
{
    const UINT codePage = PlacementCodePage(charSet);
    auto entry = [&](size_t i) { return i < advances.size() ? advances[i] : 0; };
    size_t position = 0, read = 0;
    for (size_t byte = 0; byte < bytes.size();) {
        if (codePage != 0 && IsDBCSLeadByteEx(codePage, (BYTE)bytes[byte])) {
            read = position + 2;
            position += entry(position) != 0 && entry(position + 1) != 0 ? 1 : 2;
            byte += 2;
        } else {
            read = position + 1;
            position += 1;
            byte += 1;
        }
    }
    return read < bytes.size() ? read : bytes.size();
}

void UnusedAdvances(const job::Request &request, const LOGFONTA *font, std::vector<std::string> *warnings)
{
    if (!request.hasAdvances) {
        return;
    }
    const bool glyphs = !request.glyphs.empty() || (request.options & ETO_GLYPH_INDEX) != 0;
    // GDI reads one advance per glyph; the placement steps through the string
    const size_t read =
        glyphs ? request.glyphs.size() : AdvancesRead(request.bytes, request.advances, font ? font->lfCharSet : 0);
    const size_t given = request.advances.size();
    if (given > read) {
        warnings->push_back(FormatText("the text reads %u advance(s); the last %u of the %u given are not used",
                                       (unsigned)read, (unsigned)(given - read), (unsigned)given));
    }
}

// Shapes GDI refuses: a polyline or polygon needs two points.
void NothingDrawn(const job::Request &request, std::vector<std::string> *warnings)
{
    const OutputStyle *style = FindOutputStyle(request.style);
    const bool lines =
        request.style == OUT_POLYLINE || request.style == OUT_WINDPOLYGON || request.style == OUT_ALTPOLYGON;
    if (style != nullptr && lines && request.count < 2) {
        warnings->push_back(FormatText("%s of %u point(s) draws nothing: GDI needs at least 2", style->name,
                                       (unsigned)request.count));
    }
}

void InvertedClip(const job::Request &request, std::vector<std::string> *warnings)
{
    const job::Rect &clip = request.clip;
    if (request.hasClip && (clip.right < clip.left || clip.bottom < clip.top)) {
        warnings->push_back(FormatText("clip rectangle %ld,%ld,%ld,%ld is inverted (right < left or bottom < top): "
                                       "probably not the clip that was meant",
                                       (long)clip.left, (long)clip.top, (long)clip.right, (long)clip.bottom));
    }
}

// Points more than a page's size off the page: a sign of a wrong unit or a
// sign error, since nothing there reaches the paper.
void OffThePage(const job::Request &request, const PageExtent &page, std::vector<std::string> *warnings)
{
    if (page.width <= 0 || page.height <= 0) {
        return;
    }
    for (const job::Point &point : request.points) {
        if (point.x < -page.width || point.x > 2 * page.width || point.y < -page.height ||
            point.y > 2 * page.height) {
            warnings->push_back(FormatText("point %d,%d lies far outside the page (0,0)-(%ld,%ld)", point.x, point.y,
                                           (long)page.width, (long)page.height));
            return;
        }
    }
}

} // namespace

std::string SubstitutedFace(const LOGFONTA &font)
{
    if (font.lfFaceName[0] == '\0') {
        return "";
    }
    HDC screen = CreateCompatibleDC(NULL);
    HFONT made = CreateFontIndirectA(&font);
    char face[LF_FACESIZE] = "";
    if (screen != NULL && made != NULL) {
        HGDIOBJ old = SelectObject(screen, made);
        GetTextFaceA(screen, sizeof face, face);
        SelectObject(screen, old);
    }
    if (made != NULL) {
        DeleteObject(made);
    }
    if (screen != NULL) {
        DeleteDC(screen);
    }
    return face[0] == '\0' || lstrcmpiA(face, font.lfFaceName) == 0 ? "" : face;
}

std::vector<std::string> RequestWarnings(const job::Request &request, const LOGFONTA *font, const PageExtent &page)
{
    std::vector<std::string> warnings;
    if (request.kind == job::Kind::Output) {
        UnusedPoints(request, &warnings);
        NothingDrawn(request, &warnings);
        OffThePage(request, page, &warnings);
    } else if (request.kind == job::Kind::Text) {
        UnusedAdvances(request, font, &warnings);
    }
    if (request.kind == job::Kind::Output || request.kind == job::Kind::Clip) {
        InvertedClip(request, &warnings);
    }
    return warnings;
}
