// How a sent request reads in a trace and in a finding: the export's name
// and the arguments the caller handed over.
#include "format_text.h"
#include "request_maker.h"

#include <cstdio>

const char *RequestKindName(RequestKind kind)
{
    // in the order of RequestKind
    static const char *const kNames[] = {"SetClipRect32",
                                         "Output32",
                                         "Raster32",
                                         "Dib32",
                                         "TextOut32",
                                         "DeleteObject32",
                                         "CloseEmfFile32+GetEmfFileDC32"};
    size_t index = (size_t)kind;
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "?";
}

std::string RecordingCaller::Describe(const Call &c) const
{
    const std::string clip =
        c.clip ? FormatText("%d,%d,%d,%d", (int)c.clip->left, (int)c.clip->top, (int)c.clip->right, (int)c.clip->bottom)
               : std::string("null");
    switch (c.kind) {
    case RequestKind::Clip:
        return "SetClipRect32(" + clip + ")";
    case RequestKind::Output:
        return DescribeOutput(c) + ", clip=" + clip + ")";
    case RequestKind::Raster:
        return FormatText("Raster32(dest %d,%d %dx%d, source %s, src %d,%d %dx%d, rop 0x%X, brush %s, mode %s)",
                          (int)c.dest[0], (int)c.dest[1], (int)c.dest[2], (int)c.dest[3],
                          c.source ? FormatText("%dx%d@%u/%u wb=%d", (int)c.source->bmWidth, (int)c.source->bmHeight,
                                                c.source->bmBitsPixel, c.source->bmPlanes, (int)c.source->bmWidthBytes)
                                         .c_str()
                                   : "null",
                          (int)c.src[0], (int)c.src[1], (int)c.src[2], (int)c.src[3], c.rop,
                          c.brush ? std::to_string(c.brush->lbStyle).c_str() : "null", c.mode ? "given" : "null");
    case RequestKind::Dib: {
        const BITMAPINFOHEADER &h = c.info->bmiHeader;
        return FormatText("Dib32(%dx%d@%u compression %u clrUsed %u, dest %d,%d %dx%d, src %d,%d %dx%d, rop 0x%X)",
                          (int)h.biWidth, (int)h.biHeight, h.biBitCount, (unsigned)h.biCompression,
                          (unsigned)h.biClrUsed, (int)c.dest[0], (int)c.dest[1], (int)c.dest[2], (int)c.dest[3],
                          (int)c.src[0], (int)c.src[1], (int)c.src[2], (int)c.src[3], c.rop);
    }
    case RequestKind::Text:
        return FormatText("TextOut32(charset %u, escapement %d, at %d,%d, options 0x%X, rect %s, count %u, "
                          "advances %s, bkMode %u)",
                          c.font->lfCharSet, (int)c.font->lfEscapement, (int)c.x, (int)c.y, c.options,
                          c.clip ? "given" : "null", c.length, c.advances ? "given" : "null", c.mode->bkMode);
    case RequestKind::Release:
        return FormatText("DeleteObject32(object 0x%X, select back 0x%X)", *c.object, *c.selectBack);
    case RequestKind::Reopen:
        break;
    }
    return RequestKindName(c.kind);
}

std::string RecordingCaller::DescribeOutput(const Call &c) const
{
    const BITMAP *pattern = c.brush && c.brush->lbStyle == BS_PATTERN ? (const BITMAP *)c.brush->lbHatch : nullptr;
    return FormatText(
        "Output32(style=0x%X, scanFlag=%u, count=%u%s, pen=%s, geometric=0x%X, brush=%s%s, mode=%s", c.style,
        c.scanFlag, c.count, c.total >= 0 ? (" total " + std::to_string(c.total)).c_str() : "",
        c.pen
            ? FormatText("{%u,%d,0x%X}", c.pen->lopnStyle, (int)c.pen->lopnWidth.x, (unsigned)c.pen->lopnColor).c_str()
            : "null",
        c.geometric, c.brush ? FormatText("{%u,0x%X}", c.brush->lbStyle, (unsigned)c.brush->lbColor).c_str() : "null",
        pattern ? FormatText(" pattern %dx%d@%u", (int)pattern->bmWidth, (int)pattern->bmHeight, pattern->bmBitsPixel)
                      .c_str()
                : "",
        c.mode ? FormatText("{rop2=%u}", c.mode->rop2).c_str() : "null");
}

void RecordingCaller::Trace(const std::string &text)
{
    if (trace_ != nullptr) {
        std::fprintf(trace_, "%llu %s\n", (unsigned long long)exportCalls_, text.c_str());
        std::fflush(trace_);
    }
}
