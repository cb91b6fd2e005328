// The listing's decoder: each record type the DLL makes, its fields as
// text (constants by the names a job uses, colours as #RRGGBB, points,
// strings and pattern bits in full).
#include "emf_decoder.h"
#include "font_faces.h"
#include "format_text.h"
#include "jobformat/job_grammar.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

namespace {

// ---- naming helpers shared by the decoders

// The constants a job names (raster operations, pen and font fields, text
// options) are spelled by the job grammar's sets, so a listing and the job
// that made it use one name for one value. The rest are listed here, in the
// same rows.
using grammar::Constant;
using grammar::ConstantSet;

// A value's first name, or the number. `mask` picks one field's names from a
// set that names several fields of a word (a pen style's type, cap and join).
std::string NameOf(DWORD value, const Constant *names, size_t count, uint32_t mask = 0)
{
    for (size_t i = 0; i < count; ++i) {
        if (names[i].value == value && names[i].mask == mask) {
            return names[i].name;
        }
    }
    return FormatText("%lu", (unsigned long)value);
}

template <size_t N> std::string NameOf(DWORD value, const Constant (&table)[N])
{
    return NameOf(value, table, N);
}

std::string NameOf(DWORD value, const ConstantSet &set, uint32_t mask = 0)
{
    return NameOf(value, set.constants, set.size, mask);
}

// Flag words: the named bits joined by '|', what is left as hex, `none`
// when nothing is set.
std::string FlagsOf(DWORD value, const Constant *names, size_t count, const char *none)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const DWORD bits = names[i].value;
        if (bits != 0 && (value & bits) == bits) {
            text += (text.empty() ? "" : "|") + std::string(names[i].name);
            value &= ~bits;
        }
    }
    if (value != 0) {
        text += (text.empty() ? "" : "|") + FormatText("0x%lx", (unsigned long)value);
    }
    return text.empty() ? none : text;
}

// A local flag table: its first row names the word with no flag set.
template <size_t N> std::string FlagsOf(DWORD value, const Constant (&table)[N])
{
    return FlagsOf(value, table, N, table[0].name);
}

// A row named by the constant's own spelling.
// clang-format off
#define NAMED(value) {#value, value}
// clang-format on

const Constant kStockObjects[] = {NAMED(WHITE_BRUSH),
                                  NAMED(LTGRAY_BRUSH),
                                  NAMED(GRAY_BRUSH),
                                  NAMED(DKGRAY_BRUSH),
                                  NAMED(BLACK_BRUSH),
                                  NAMED(NULL_BRUSH),
                                  NAMED(WHITE_PEN),
                                  NAMED(BLACK_PEN),
                                  NAMED(NULL_PEN),
                                  NAMED(OEM_FIXED_FONT),
                                  NAMED(ANSI_FIXED_FONT),
                                  NAMED(ANSI_VAR_FONT),
                                  NAMED(SYSTEM_FONT),
                                  NAMED(DEVICE_DEFAULT_FONT),
                                  NAMED(DEFAULT_PALETTE),
                                  NAMED(SYSTEM_FIXED_FONT),
                                  NAMED(DEFAULT_GUI_FONT),
                                  NAMED(DC_BRUSH),
                                  NAMED(DC_PEN)};
const Constant kFillModes[] = {NAMED(ALTERNATE), NAMED(WINDING)};
const Constant kMapModes[] = {NAMED(MM_TEXT),      NAMED(MM_LOMETRIC), NAMED(MM_HIMETRIC),  NAMED(MM_LOENGLISH),
                              NAMED(MM_HIENGLISH), NAMED(MM_TWIPS),    NAMED(MM_ISOTROPIC), NAMED(MM_ANISOTROPIC)};
const Constant kStretchModes[] = {NAMED(BLACKONWHITE), NAMED(WHITEONBLACK), NAMED(COLORONCOLOR), NAMED(HALFTONE)};
// TA_LEFT, TA_TOP and TA_NOUPDATECP are zero: the first row names the default
const Constant kTextAlign[] = {{"TA_LEFT|TA_TOP", 0}, NAMED(TA_BASELINE), NAMED(TA_CENTER),    NAMED(TA_UPDATECP),
                               NAMED(TA_RIGHT),       NAMED(TA_BOTTOM),   NAMED(TA_RTLREADING)};
const Constant kBrushStyles[] = {
    NAMED(BS_SOLID),      NAMED(BS_NULL),         NAMED(BS_HATCHED),    NAMED(BS_PATTERN),       NAMED(BS_INDEXED),
    NAMED(BS_DIBPATTERN), NAMED(BS_DIBPATTERNPT), NAMED(BS_PATTERN8X8), NAMED(BS_DIBPATTERN8X8), NAMED(BS_MONOPATTERN)};
const Constant kClipModes[] = {NAMED(RGN_AND), NAMED(RGN_OR), NAMED(RGN_XOR), NAMED(RGN_DIFF), NAMED(RGN_COPY)};
const Constant kColorUsage[] = {NAMED(DIB_RGB_COLORS), NAMED(DIB_PAL_COLORS), {"DIB_PAL_INDICES", 2}};
const Constant kCompressions[] = {NAMED(BI_RGB),       NAMED(BI_RLE8), NAMED(BI_RLE4),
                                  NAMED(BI_BITFIELDS), NAMED(BI_JPEG), NAMED(BI_PNG)};

// Continuation lines of a record sit under its fields.
const char kIndent[] = "\n            ";

// COLORREF 0x00BBGGRR as #RRGGBB; palette and other special forms as hex.
std::string Colour(COLORREF color)
{
    if ((color >> 24) != 0) {
        return FormatText("0x%08lx", (unsigned long)color);
    }
    return FormatText("#%02X%02X%02X", (unsigned)GetRValue(color), (unsigned)GetGValue(color),
                      (unsigned)GetBValue(color));
}

// A handle-table index, or a stock object by name (the high bit marks one).
std::string ObjectName(DWORD index)
{
    if ((index & 0x80000000u) != 0) {
        return "stock " + NameOf(index & 0x7FFFFFFFu, kStockObjects);
    }
    return FormatText("#%lu", (unsigned long)index);
}

std::string Box(const RECTL &r)
{
    return FormatText("(%ld,%ld)-(%ld,%ld)", (long)r.left, (long)r.top, (long)r.right, (long)r.bottom);
}

// The bytes [offset, offset + size) of the record, or null when they do not lie inside it.
const BYTE *Span(const EmfRecord &record, uint64_t offset, uint64_t size)
{
    return offset + size <= record.bytes.size() ? record.bytes.data() + offset : nullptr;
}

// Points, all of them, ten to a line.
template <typename Point> std::string PointList(const Point *points, uint64_t count)
{
    std::string text;
    for (uint64_t i = 0; i < count; ++i) {
        text += (i % 10 == 0 && count > 10 ? std::string(kIndent) : std::string(" ")) +
                FormatText("(%ld,%ld)", (long)points[i].x, (long)points[i].y);
    }
    return text;
}

// 16-bit units as text: ASCII as is, the rest as \uXXXX, quote and backslash escaped.
std::string Characters(const BYTE *first, DWORD count, size_t unit)
{
    std::string text = "\"";
    for (DWORD i = 0; i < count; ++i) {
        unsigned c = first[i * unit];
        if (unit == 2) {
            c |= (unsigned)first[i * 2 + 1] << 8;
        }
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c >= 0x20 && c < 0x7F ? std::string(1, (char)c) : FormatText(unit == 2 ? "\\u%04x" : "\\x%02x", c);
    }
    return text + "\"";
}

// A DIB's header, colour table and, for small monochrome ones (patterns),
// its rows top row first. Rows of a bottom-up DIB are stored last row first.
std::string Dib(const EmfRecord &record, DWORD offBmi, DWORD cbBmi, DWORD offBits, DWORD cbBits)
{
    const BYTE *info = Span(record, offBmi, cbBmi);
    if (info == nullptr || cbBmi < sizeof(BITMAPINFOHEADER)) {
        return cbBmi == 0 ? " no source bitmap" : " (bitmap header outside the record)";
    }
    BITMAPINFOHEADER h;
    memcpy(&h, info, sizeof h);
    const bool bottomUp = h.biHeight > 0;
    const int64_t height = bottomUp ? h.biHeight : -(int64_t)h.biHeight;
    std::string text = FormatText(" dib %ldx%lld %u-bit %s %s, %lu bits bytes", (long)h.biWidth, (long long)height,
                                  h.biBitCount, NameOf(h.biCompression, kCompressions).c_str(),
                                  bottomUp ? "bottom-up" : "top-down", (unsigned long)cbBits);
    const DWORD tableSize = (cbBmi - (DWORD)sizeof h) / sizeof(RGBQUAD);
    if (tableSize > 0) {
        text += FormatText(", %lu colours:", (unsigned long)tableSize);
        const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(info + sizeof h);
        for (DWORD i = 0; i < tableSize && i < 16; ++i) {
            text += " " + Colour(RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
        }
        text += tableSize > 16 ? " ..." : "";
    }
    const BYTE *bits = Span(record, offBits, cbBits);
    const uint32_t stride = (((uint32_t)h.biWidth + 31) / 32) * 4;
    if (h.biBitCount == 1 && h.biWidth > 0 && h.biWidth <= 64 && height <= 64 && bits != nullptr &&
        (uint64_t)stride * height <= cbBits) {
        for (long y = 0; y < height; ++y) {
            const BYTE *row = bits + stride * (bottomUp ? height - 1 - y : y);
            text += kIndent + std::string("row ");
            for (long x = 0; x < h.biWidth; ++x) {
                text += (row[x / 8] & (0x80 >> (x % 8))) ? '1' : '0';
            }
        }
    }
    return text;
}

// The face GDI realizes for a font record on this machine: the record names
// the face asked for, and a missing face is silently replaced.
std::string FaceGdiUses(const LOGFONTW &font)
{
    RealizedFace realized = {};
    if (!RealizeFace(font, &realized)) {
        return "(GDI cannot realize this font)";
    }
    return Characters(reinterpret_cast<const BYTE *>(realized.face), (DWORD)realized.length - 1, 2) + " " +
           NameOf(realized.charSet, grammar::SET_CHARSETS);
}

// ---- one decoder per record layout

// Records read through their fixed part alone: the Win32 structures count
// data that may be absent (the first byte or point of a tail that can be
// empty; a font record's whole EXTLOGFONTW, where GDI may write a LOGFONTW).
struct PolyHead {
    EMR emr;
    RECTL rclBounds;
    DWORD count;
};
struct FontRecord {
    EMR emr;
    DWORD ihFont;
    LOGFONTW lf;
};
struct Region {
    EMR emr;
    DWORD cbRgnData;
    DWORD iMode;
};
struct CommentHead {
    EMR emr;
    DWORD cbData;
};

std::string Header(const EmfRecord &record)
{
    const ENHMETAHEADER *r = record.As<ENHMETAHEADER>();
    if (r == nullptr) {
        return "";
    }
    return FormatText(" bounds %s device units, frame %s 0.01 mm, reference %ldx%ld pixels = %ldx%ld mm, %lu "
                      "records, %lu bytes, %u handles",
                      Box(r->rclBounds).c_str(), Box(r->rclFrame).c_str(), (long)r->szlDevice.cx, (long)r->szlDevice.cy,
                      (long)r->szlMillimeters.cx, (long)r->szlMillimeters.cy, (unsigned long)r->nRecords,
                      (unsigned long)r->nBytes, (unsigned)r->nHandles);
}

// The modes that are one DWORD after the record header, each with its own
// names; text alignment is a flag word.
template <const auto &kNames> std::string ModeOf(const EmfRecord &record)
{
    const EMRSETROP2 *r = record.As<EMRSETROP2>();
    return r ? " " + NameOf(r->iMode, kNames) : "";
}

std::string (*const MapMode)(const EmfRecord &) = ModeOf<kMapModes>;
std::string (*const BkMode)(const EmfRecord &) = ModeOf<grammar::SET_BK_MODES>;
std::string (*const FillMode)(const EmfRecord &) = ModeOf<kFillModes>;
std::string (*const Rop2)(const EmfRecord &) = ModeOf<grammar::SET_ROP2S>;
std::string (*const StretchMode)(const EmfRecord &) = ModeOf<kStretchModes>;

std::string TextAlign(const EmfRecord &record)
{
    const EMRSETTEXTALIGN *r = record.As<EMRSETTEXTALIGN>();
    return r ? " " + FlagsOf(r->iMode, kTextAlign) : "";
}

std::string ColourSetting(const EmfRecord &record)
{
    const EMRSETTEXTCOLOR *r = record.As<EMRSETTEXTCOLOR>();
    return r ? " " + Colour(r->crColor) : "";
}

std::string Object(const EmfRecord &record)
{
    const EMRSELECTOBJECT *r = record.As<EMRSELECTOBJECT>();
    return r ? " " + ObjectName(r->ihObject) : "";
}

// A pen style word: the style, and for a geometric pen its type, end cap and join.
std::string PenStyle(DWORD style)
{
    const ConstantSet &names = grammar::SET_PEN_STYLES;
    if ((style & ~PS_STYLE_MASK) == 0) {
        return NameOf(style, names, PS_STYLE_MASK);
    }
    return NameOf(style & PS_TYPE_MASK, names, PS_TYPE_MASK) + "|" +
           NameOf(style & PS_STYLE_MASK, names, PS_STYLE_MASK) + "|" +
           NameOf(style & PS_ENDCAP_MASK, names, PS_ENDCAP_MASK) + "|" +
           NameOf(style & PS_JOIN_MASK, names, PS_JOIN_MASK);
}

std::string Pen(const EmfRecord &record)
{
    const EMRCREATEPEN *r = record.As<EMRCREATEPEN>();
    return r ? FormatText(" %s %s width %ld %s", ObjectName(r->ihPen).c_str(), PenStyle(r->lopn.lopnStyle).c_str(),
                          (long)r->lopn.lopnWidth.x, Colour(r->lopn.lopnColor).c_str())
             : "";
}

std::string ExtPen(const EmfRecord &record)
{
    const EMREXTCREATEPEN *r = record.As<EMREXTCREATEPEN>();
    if (r == nullptr) {
        return "";
    }
    std::string text = FormatText(" %s %s width %lu %s %s", ObjectName(r->ihPen).c_str(),
                                  PenStyle(r->elp.elpPenStyle).c_str(), (unsigned long)r->elp.elpWidth,
                                  NameOf(r->elp.elpBrushStyle, kBrushStyles).c_str(), Colour(r->elp.elpColor).c_str());
    if (r->elp.elpBrushStyle == BS_HATCHED) {
        text += " " + NameOf((DWORD)r->elp.elpHatch, grammar::SET_HATCHES);
    }
    if (r->elp.elpNumEntries > 0) {
        text += FormatText(", %lu style entries", (unsigned long)r->elp.elpNumEntries);
    }
    return text + (r->cbBmi ? Dib(record, r->offBmi, r->cbBmi, r->offBits, r->cbBits) : "");
}

std::string Brush(const EmfRecord &record)
{
    const EMRCREATEBRUSHINDIRECT *r = record.As<EMRCREATEBRUSHINDIRECT>();
    if (r == nullptr) {
        return "";
    }
    std::string text = FormatText(" %s %s %s", ObjectName(r->ihBrush).c_str(),
                                  NameOf(r->lb.lbStyle, kBrushStyles).c_str(), Colour(r->lb.lbColor).c_str());
    return r->lb.lbStyle == BS_HATCHED ? text + " " + NameOf((DWORD)r->lb.lbHatch, grammar::SET_HATCHES) : text;
}

// Wine plays monochrome pattern brushes narrower than 32 pixels back wrongly
// (in stripes): say so where it touches the picture, since the record is right.
std::string PatternBrush(const EmfRecord &record)
{
    const EMRCREATEMONOBRUSH *r = record.As<EMRCREATEMONOBRUSH>();
    if (r == nullptr) {
        return "";
    }
    std::string text = FormatText(" %s %s", ObjectName(r->ihBrush).c_str(), NameOf(r->iUsage, kColorUsage).c_str()) +
                       Dib(record, r->offBmi, r->cbBmi, r->offBits, r->cbBits);
    const BYTE *info = Span(record, r->offBmi, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h = {};
    if (info != nullptr) {
        memcpy(&h, info, sizeof h);
    }
    if (h.biBitCount == 1 && h.biWidth < 32) {
        text += std::string(kIndent) + "note: Wine plays monochrome pattern brushes narrower than 32 pixels back "
                                       "wrongly (striped); the bits above are what was recorded";
    }
    return text;
}

// The font as recorded, and the face GDI picks for it on this machine.
std::string Font(const EmfRecord &record)
{
    const FontRecord *r = record.As<FontRecord>();
    if (r == nullptr) {
        return "";
    }
    const LOGFONTW &f = r->lf;
    size_t faceLength = 0;
    while (faceLength < LF_FACESIZE && f.lfFaceName[faceLength] != 0) {
        ++faceLength;
    }
    const BYTE *face = reinterpret_cast<const BYTE *>(f.lfFaceName);
    std::string text = FormatText(
        " %s face %s height %ld width %ld escapement %ld orientation %ld %s%s%s%s %s quality %s pitch/family 0x%02x",
        ObjectName(r->ihFont).c_str(), Characters(face, (DWORD)faceLength, 2).c_str(), (long)f.lfHeight,
        (long)f.lfWidth, (long)f.lfEscapement, (long)f.lfOrientation,
        NameOf((DWORD)f.lfWeight, grammar::SET_WEIGHTS).c_str(), f.lfItalic ? " italic" : "",
        f.lfUnderline ? " underline" : "", f.lfStrikeOut ? " strikeout" : "",
        NameOf(f.lfCharSet, grammar::SET_CHARSETS).c_str(), NameOf(f.lfQuality, grammar::SET_QUALITIES).c_str(),
        f.lfPitchAndFamily);
    return text + std::string(kIndent) + "GDI uses " + FaceGdiUses(f);
}

// rectangles, ellipses and clip rectangles: one RECTL after the record header
std::string Box(const EmfRecord &record)
{
    const EMRRECTANGLE *r = record.As<EMRRECTANGLE>();
    return r ? " " + Box(r->rclBox) : "";
}

std::string Position(const EmfRecord &record)
{
    const EMRLINETO *r = record.As<EMRLINETO>();
    return r ? FormatText(" (%ld,%ld)", (long)r->ptl.x, (long)r->ptl.y) : "";
}

std::string Bounds(const EmfRecord &record)
{
    const EMRFILLPATH *r = record.As<EMRFILLPATH>();
    return r ? " bounds " + Box(r->rclBounds) : "";
}

// Polylines, polygons and beziers: the 16- and 32-bit records differ only in
// the size of the points that follow the count.
template <typename Point> std::string PolyOf(const EmfRecord &record)
{
    const PolyHead *r = record.As<PolyHead>();
    const BYTE *points = r ? Span(record, sizeof *r, (uint64_t)r->count * sizeof(Point)) : nullptr;
    if (points == nullptr) {
        return "";
    }
    return FormatText(" %lu points:", (unsigned long)r->count) +
           PointList(reinterpret_cast<const Point *>(points), r->count);
}

// Poly-polygons: the counts, then each polygon's points on lines of their own.
template <typename Point> std::string PolyPolygonOf(const EmfRecord &record)
{
    const EMRPOLYPOLYGON16 *r = record.As<EMRPOLYPOLYGON16>();
    const uint64_t countsAt = offsetof(EMRPOLYPOLYGON16, aPolyCounts);
    const uint64_t pointsAt = countsAt + (uint64_t)(r ? r->nPolys : 0) * sizeof(DWORD);
    if (r == nullptr || Span(record, pointsAt, (uint64_t)r->cpts * sizeof(Point)) == nullptr) {
        return "";
    }
    const DWORD *counts = reinterpret_cast<const DWORD *>(record.bytes.data() + countsAt);
    const Point *points = reinterpret_cast<const Point *>(record.bytes.data() + pointsAt);
    std::string text = FormatText(" %lu polygons, %lu points", (unsigned long)r->nPolys, (unsigned long)r->cpts);
    uint64_t first = 0;
    for (DWORD i = 0; i < r->nPolys && first + counts[i] <= r->cpts; first += counts[i++]) {
        text += FormatText("%spolygon %lu, %lu points:", kIndent, (unsigned long)i + 1, (unsigned long)counts[i]) +
                PointList(points + first, counts[i]);
    }
    return text;
}

std::string Blit(const EmfRecord &record)
{
    const EMRSTRETCHBLT *r = record.As<EMRSTRETCHBLT>();
    const EMRBITBLT *b = record.As<EMRBITBLT>();
    if (b == nullptr) {
        return "";
    }
    std::string text = FormatText(" dest (%ld,%ld) %ldx%ld %s", (long)b->xDest, (long)b->yDest, (long)b->cxDest,
                                  (long)b->cyDest, NameOf(b->dwRop, grammar::SET_ROP3S).c_str());
    if (b->cbBmiSrc == 0) {
        return text + " no source";
    }
    text += FormatText(" src (%ld,%ld)", (long)b->xSrc, (long)b->ySrc);
    if (record.type == EMR_STRETCHBLT && r != nullptr) {
        text += FormatText(" %ldx%ld", (long)r->cxSrc, (long)r->cySrc);
    }
    text += FormatText(" source background %s %s", Colour(b->crBkColorSrc).c_str(),
                       NameOf(b->iUsageSrc, kColorUsage).c_str());
    return text + Dib(record, b->offBmiSrc, b->cbBmiSrc, b->offBitsSrc, b->cbBitsSrc);
}

std::string StretchDib(const EmfRecord &record)
{
    const EMRSTRETCHDIBITS *r = record.As<EMRSTRETCHDIBITS>();
    if (r == nullptr) {
        return "";
    }
    const BYTE *info = Span(record, r->offBmiSrc, sizeof(BITMAPINFOHEADER));
    const bool bottomUp = info != nullptr && reinterpret_cast<const BITMAPINFOHEADER *>(info)->biHeight > 0;
    // StretchDIBits counts a bottom-up DIB's source rows from its bottom row
    return FormatText(" dest (%ld,%ld) %ldx%ld src (%ld,%ld) %ldx%ld%s %s %s", (long)r->xDest, (long)r->yDest,
                      (long)r->cxDest, (long)r->cyDest, (long)r->xSrc, (long)r->ySrc, (long)r->cxSrc, (long)r->cySrc,
                      bottomUp ? " (y from the bottom row)" : "", NameOf(r->dwRop, grammar::SET_ROP3S).c_str(),
                      NameOf(r->iUsageSrc, kColorUsage).c_str()) +
           Dib(record, r->offBmiSrc, r->cbBmiSrc, r->offBitsSrc, r->cbBitsSrc);
}

std::string Text(const EmfRecord &record)
{
    const EMREXTTEXTOUTW *r = record.As<EMREXTTEXTOUTW>();
    if (r == nullptr) {
        return "";
    }
    const EMRTEXT &t = r->emrtext;
    const size_t unit = record.type == EMR_EXTTEXTOUTW ? 2 : 1;
    std::string text = FormatText(
        " at (%ld,%ld) options %s", (long)t.ptlReference.x, (long)t.ptlReference.y,
        FlagsOf(t.fOptions, grammar::SET_TEXT_OUT_OPTIONS.constants, grammar::SET_TEXT_OUT_OPTIONS.size, "0").c_str());
    if ((t.fOptions & (ETO_OPAQUE | ETO_CLIPPED)) != 0) {
        text += " rect " + Box(t.rcl);
    }
    text += FormatText(" %lu %s", (unsigned long)t.nChars, (t.fOptions & ETO_GLYPH_INDEX) ? "glyphs" : "chars");
    const BYTE *string = Span(record, t.offString, (uint64_t)t.nChars * unit);
    text += string ? " " + Characters(string, t.nChars, unit) : " (string outside the record)";
    // one advance per character, two (x and y) with ETO_PDY
    const uint64_t advances = (uint64_t)t.nChars * ((t.fOptions & ETO_PDY) ? 2 : 1);
    const BYTE *dx = t.offDx ? Span(record, t.offDx, advances * sizeof(INT)) : nullptr;
    if (dx != nullptr && advances > 0) {
        text += std::string(kIndent) + "advances";
        for (uint64_t i = 0; i < advances; ++i) {
            text += FormatText(" %d", reinterpret_cast<const INT *>(dx)[i]);
        }
    }
    return text;
}

std::string ClipRegion(const EmfRecord &record)
{
    const Region *r = record.As<Region>();
    if (r == nullptr) {
        return "";
    }
    std::string text = " " + NameOf(r->iMode, kClipModes);
    const BYTE *data = Span(record, sizeof *r, r->cbRgnData);
    if (r->cbRgnData == 0) {
        return text + " no region (the whole surface)";
    }
    if (data == nullptr || r->cbRgnData < sizeof(RGNDATAHEADER)) {
        return text + " (region outside the record)";
    }
    RGNDATAHEADER h;
    memcpy(&h, data, sizeof h);
    const uint64_t count = h.nCount;
    if (sizeof h + count * sizeof(RECT) > r->cbRgnData) {
        return text + " (region rectangles outside the record)";
    }
    text += FormatText(" %lu rectangles", (unsigned long)count);
    const RECTL *rects = reinterpret_cast<const RECTL *>(data + sizeof h);
    for (uint64_t i = 0; i < count && i < 16; ++i) {
        text += " " + Box(rects[i]);
    }
    return text + (count > 16 ? " ..." : "");
}

std::string Comment(const EmfRecord &record)
{
    const CommentHead *r = record.As<CommentHead>();
    const BYTE *data = r ? Span(record, sizeof *r, r->cbData) : nullptr;
    if (data == nullptr) {
        return "";
    }
    DWORD length = 0;
    while (length < r->cbData && data[length] != 0) {
        ++length;
    }
    return " " + Characters(data, length, 1);
}

// ---- the record types: a row each, with the decoder of its fields where the
// listing shows more than the name and size

struct RecordKind {
    DWORD type;
    const char *name;
    std::string (*describe)(const EmfRecord &record);
};

const RecordKind kRecordKinds[] = {
    {1, "EMR_HEADER", Header},
    {2, "EMR_POLYBEZIER", PolyOf<POINTL>},
    {3, "EMR_POLYGON", PolyOf<POINTL>},
    {4, "EMR_POLYLINE", PolyOf<POINTL>},
    {5, "EMR_POLYBEZIERTO", PolyOf<POINTL>},
    {6, "EMR_POLYLINETO", PolyOf<POINTL>},
    {7, "EMR_POLYPOLYLINE", PolyPolygonOf<POINTL>},
    {8, "EMR_POLYPOLYGON", PolyPolygonOf<POINTL>},
    {9, "EMR_SETWINDOWEXTEX", nullptr},
    {10, "EMR_SETWINDOWORGEX", nullptr},
    {11, "EMR_SETVIEWPORTEXTEX", nullptr},
    {12, "EMR_SETVIEWPORTORGEX", nullptr},
    {13, "EMR_SETBRUSHORGEX", nullptr},
    {14, "EMR_EOF", nullptr},
    {15, "EMR_SETPIXELV", nullptr},
    {16, "EMR_SETMAPPERFLAGS", nullptr},
    {17, "EMR_SETMAPMODE", MapMode},
    {18, "EMR_SETBKMODE", BkMode},
    {19, "EMR_SETPOLYFILLMODE", FillMode},
    {20, "EMR_SETROP2", Rop2},
    {21, "EMR_SETSTRETCHBLTMODE", StretchMode},
    {22, "EMR_SETTEXTALIGN", TextAlign},
    {23, "EMR_SETCOLORADJUSTMENT", nullptr},
    {24, "EMR_SETTEXTCOLOR", ColourSetting},
    {25, "EMR_SETBKCOLOR", ColourSetting},
    {26, "EMR_OFFSETCLIPRGN", nullptr},
    {27, "EMR_MOVETOEX", Position},
    {28, "EMR_SETMETARGN", nullptr},
    {29, "EMR_EXCLUDECLIPRECT", Box},
    {30, "EMR_INTERSECTCLIPRECT", Box},
    {31, "EMR_SCALEVIEWPORTEXTEX", nullptr},
    {32, "EMR_SCALEWINDOWEXTEX", nullptr},
    {33, "EMR_SAVEDC", nullptr},
    {34, "EMR_RESTOREDC", nullptr},
    {35, "EMR_SETWORLDTRANSFORM", nullptr},
    {36, "EMR_MODIFYWORLDTRANSFORM", nullptr},
    {37, "EMR_SELECTOBJECT", Object},
    {38, "EMR_CREATEPEN", Pen},
    {39, "EMR_CREATEBRUSHINDIRECT", Brush},
    {40, "EMR_DELETEOBJECT", Object},
    {41, "EMR_ANGLEARC", nullptr},
    {42, "EMR_ELLIPSE", Box},
    {43, "EMR_RECTANGLE", Box},
    {44, "EMR_ROUNDRECT", nullptr},
    {45, "EMR_ARC", nullptr},
    {46, "EMR_CHORD", nullptr},
    {47, "EMR_PIE", nullptr},
    {48, "EMR_SELECTPALETTE", nullptr},
    {49, "EMR_CREATEPALETTE", nullptr},
    {50, "EMR_SETPALETTEENTRIES", nullptr},
    {51, "EMR_RESIZEPALETTE", nullptr},
    {52, "EMR_REALIZEPALETTE", nullptr},
    {53, "EMR_EXTFLOODFILL", nullptr},
    {54, "EMR_LINETO", Position},
    {55, "EMR_ARCTO", nullptr},
    {56, "EMR_POLYDRAW", nullptr},
    {57, "EMR_SETARCDIRECTION", nullptr},
    {58, "EMR_SETMITERLIMIT", nullptr},
    {59, "EMR_BEGINPATH", nullptr},
    {60, "EMR_ENDPATH", nullptr},
    {61, "EMR_CLOSEFIGURE", nullptr},
    {62, "EMR_FILLPATH", Bounds},
    {63, "EMR_STROKEANDFILLPATH", Bounds},
    {64, "EMR_STROKEPATH", Bounds},
    {65, "EMR_FLATTENPATH", nullptr},
    {66, "EMR_WIDENPATH", nullptr},
    {67, "EMR_SELECTCLIPPATH", nullptr},
    {68, "EMR_ABORTPATH", nullptr},
    {70, "EMR_GDICOMMENT", Comment},
    {71, "EMR_FILLRGN", nullptr},
    {72, "EMR_FRAMERGN", nullptr},
    {73, "EMR_INVERTRGN", nullptr},
    {74, "EMR_PAINTRGN", nullptr},
    {75, "EMR_EXTSELECTCLIPRGN", ClipRegion},
    {76, "EMR_BITBLT", Blit},
    {77, "EMR_STRETCHBLT", Blit},
    {78, "EMR_MASKBLT", nullptr},
    {79, "EMR_PLGBLT", nullptr},
    {80, "EMR_SETDIBITSTODEVICE", nullptr},
    {81, "EMR_STRETCHDIBITS", StretchDib},
    {82, "EMR_EXTCREATEFONTINDIRECTW", Font},
    {83, "EMR_EXTTEXTOUTA", Text},
    {84, "EMR_EXTTEXTOUTW", Text},
    {85, "EMR_POLYBEZIER16", PolyOf<POINTS>},
    {86, "EMR_POLYGON16", PolyOf<POINTS>},
    {87, "EMR_POLYLINE16", PolyOf<POINTS>},
    {88, "EMR_POLYBEZIERTO16", PolyOf<POINTS>},
    {89, "EMR_POLYLINETO16", PolyOf<POINTS>},
    {90, "EMR_POLYPOLYLINE16", PolyPolygonOf<POINTS>},
    {91, "EMR_POLYPOLYGON16", PolyPolygonOf<POINTS>},
    {92, "EMR_POLYDRAW16", nullptr},
    {93, "EMR_CREATEMONOBRUSH", PatternBrush},
    {94, "EMR_CREATEDIBPATTERNBRUSHPT", PatternBrush},
    {95, "EMR_EXTCREATEPEN", ExtPen},
    {96, "EMR_POLYTEXTOUTA", nullptr},
    {97, "EMR_POLYTEXTOUTW", nullptr},
    {98, "EMR_SETICMMODE", nullptr},
    {99, "EMR_CREATECOLORSPACE", nullptr},
    {100, "EMR_SETCOLORSPACE", nullptr},
    {101, "EMR_DELETECOLORSPACE", nullptr},
    {102, "EMR_GLSRECORD", nullptr},
    {103, "EMR_GLSBOUNDEDRECORD", nullptr},
    {104, "EMR_PIXELFORMAT", nullptr},
    {105, "EMR_DRAWESCAPE", nullptr},
    {106, "EMR_EXTESCAPE", nullptr},
    {108, "EMR_SMALLTEXTOUT", nullptr},
    {109, "EMR_FORCEUFIMAPPING", nullptr},
    {110, "EMR_NAMEDESCAPE", nullptr},
    {111, "EMR_COLORCORRECTPALETTE", nullptr},
    {112, "EMR_SETICMPROFILEA", nullptr},
    {113, "EMR_SETICMPROFILEW", nullptr},
    {114, "EMR_ALPHABLEND", nullptr},
    {115, "EMR_SETLAYOUT", nullptr},
    {116, "EMR_TRANSPARENTBLT", nullptr},
    {118, "EMR_GRADIENTFILL", nullptr},
    {119, "EMR_SETLINKEDUFIS", nullptr},
    {120, "EMR_SETTEXTJUSTIFICATION", nullptr},
    {121, "EMR_COLORMATCHTOTARGETW", nullptr},
    {122, "EMR_CREATECOLORSPACEW", nullptr},
};

const RecordKind *KindOf(DWORD type)
{
    for (const RecordKind &kind : kRecordKinds) {
        if (kind.type == type) {
            return &kind;
        }
    }
    return nullptr;
}

} // namespace

std::string EmfRecordName(DWORD type)
{
    const RecordKind *kind = KindOf(type);
    return kind ? kind->name : FormatText("EMR_%lu", (unsigned long)type);
}

std::string DescribeEmfRecord(const EmfRecord &record)
{
    const RecordKind *kind = KindOf(record.type);
    return FormatText("%-26s %6u", EmfRecordName(record.type).c_str(), (unsigned)record.bytes.size()) +
           (kind && kind->describe ? kind->describe(record) : "");
}

std::string DescribeEmfRecords(const std::vector<EmfRecord> &records)
{
    std::string text;
    for (size_t i = 0; i < records.size(); ++i) {
        text += FormatText("%4u ", (unsigned)i) + DescribeEmfRecord(records[i]) + "\n";
    }
    return text;
}
