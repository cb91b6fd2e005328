// The cases where the workbench printer's PDF differs from GDI's picture,
// found in a page's records.
#include "print_notes.h"

#include <string.h>

#include <map>

namespace {

enum Case { kColourPattern, kMonoPattern, kOpaqueHatch, kDstInvert, kSrcAnd, kJapanese, kNone };

// What Wine's PostScript driver does in each case (observed with Wine 8).
const char *const kNotes[] = {
    "the PDF fills with solid grey here: Wine's PostScript driver sends only monochrome patterns, not this colour DIB one",
    "the PDF shows this monochrome pattern garbled: Wine's PostScript driver misplaces the bits of 8x8 patterns",
    "the PDF leaves this hatch's background unpainted: Wine's PostScript driver strokes the hatch lines only, OPAQUE or not",
    "the PDF leaves out this DSTINVERT blit: PostScript paints over the page and cannot invert what is on it",
    "the PDF loses the black of this SRCAND blit: PostScript paints over the page and cannot AND with what is on it",
    "the PDF draws this Japanese font's text as glyph shapes that cannot be searched or copied",
};

// The state that decides whether a hatch is drawn over an opaque background.
struct Surface {
    std::map<DWORD, bool> hatched; // object slot -> a hatched brush
    bool hatchSelected = false;
    bool opaque = true; // GDI's default background mode
};

DWORD BitmapBits(const EmfRecord &record, DWORD offBmi, DWORD cbBmi)
{
    BITMAPINFOHEADER header = {};
    if (cbBmi < sizeof header || (size_t)offBmi + sizeof header > record.bytes.size()) {
        return 0;
    }
    memcpy(&header, record.bytes.data() + offBmi, sizeof header);
    return header.biBitCount;
}

Case RasterCase(DWORD rop)
{
    return rop == DSTINVERT ? kDstInvert : rop == SRCAND ? kSrcAnd : kNone;
}

Case Brushes(const EmfRecord &record, Surface *surface)
{
    if (record.type == EMR_CREATEDIBPATTERNBRUSHPT) {
        const EMRCREATEDIBPATTERNBRUSHPT *r = record.As<EMRCREATEDIBPATTERNBRUSHPT>();
        return r == nullptr ? kNone : BitmapBits(record, r->offBmi, r->cbBmi) == 1 ? kMonoPattern : kColourPattern;
    }
    if (record.type == EMR_CREATEMONOBRUSH) {
        return kMonoPattern;
    }
    if (record.type == EMR_CREATEBRUSHINDIRECT) {
        const EMRCREATEBRUSHINDIRECT *r = record.As<EMRCREATEBRUSHINDIRECT>();
        if (r != nullptr) {
            surface->hatched[r->ihBrush] = r->lb.lbStyle == BS_HATCHED;
        }
        return kNone;
    }
    const bool wasDrawable = surface->hatchSelected && surface->opaque;
    if (record.type == EMR_SELECTOBJECT) {
        const EMRSELECTOBJECT *r = record.As<EMRSELECTOBJECT>();
        if (r != nullptr && (r->ihObject & 0x80000000u) == 0 && surface->hatched.count(r->ihObject)) {
            surface->hatchSelected = surface->hatched[r->ihObject];
        } else if (r != nullptr && r->ihObject >= (0x80000000u | WHITE_BRUSH) &&
                   r->ihObject <= (0x80000000u | NULL_BRUSH)) {
            surface->hatchSelected = false;
        }
    } else if (record.type == EMR_SETBKMODE) {
        const EMRSETBKMODE *r = record.As<EMRSETBKMODE>();
        surface->opaque = r != nullptr && r->iMode == OPAQUE;
    }
    return !wasDrawable && surface->hatchSelected && surface->opaque ? kOpaqueHatch : kNone;
}

Case Blits(const EmfRecord &record)
{
    switch (record.type) {
    case EMR_BITBLT: {
        const EMRBITBLT *r = record.As<EMRBITBLT>();
        return r != nullptr ? RasterCase(r->dwRop) : kNone;
    }
    case EMR_STRETCHBLT: {
        const EMRSTRETCHBLT *r = record.As<EMRSTRETCHBLT>();
        return r != nullptr ? RasterCase(r->dwRop) : kNone;
    }
    case EMR_STRETCHDIBITS: {
        const EMRSTRETCHDIBITS *r = record.As<EMRSTRETCHDIBITS>();
        return r != nullptr ? RasterCase(r->dwRop) : kNone;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        const EMREXTCREATEFONTINDIRECTW *r = record.As<EMREXTCREATEFONTINDIRECTW>();
        return r != nullptr && r->elfw.elfLogFont.lfCharSet == SHIFTJIS_CHARSET ? kJapanese : kNone;
    }
    default:
        return kNone;
    }
}

} // namespace

std::vector<std::string> PrintNotes(const std::vector<EmfRecord> &records)
{
    std::vector<std::string> notes(records.size());
    Surface surface;
    for (size_t i = 0; i < records.size(); ++i) {
        Case found = Brushes(records[i], &surface);
        if (found == kNone) {
            found = Blits(records[i]);
        }
        if (found != kNone) {
            notes[i] = kNotes[found];
        }
    }
    return notes;
}
