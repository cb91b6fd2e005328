// The cases where the workbench printer's PDF differs from GDI's picture,
// found in a page's records.
#include "print_notes.h"

#include <string.h>

#include <map>

namespace {

enum Case { kColourPattern, kMonoPattern, kOpaqueHatch, kDstInvert, kSrcAnd, kJapanese, kNone };

// What Wine's PostScript driver does in each case (observed with Wine 8).
const char *const kNotes[] = {
    "the PDF fills this solid grey: Wine's PostScript driver sends no colour DIB pattern",
    "the PDF garbles this pattern: Wine's PostScript driver misplaces the bits of 8x8 monochrome patterns",
    "the PDF leaves this hatch's background unpainted: Wine's PostScript driver strokes only the hatch lines",
    "the PDF leaves out this DSTINVERT blit: PostScript paints over the page and cannot invert what is on it",
    "the PDF loses the black of this SRCAND blit: PostScript paints over the page and cannot AND with it",
    "the PDF draws this Japanese text as shapes that cannot be searched or copied",
};

// The state that decides whether a hatch is drawn over an opaque background.
struct Surface {
    std::map<DWORD, bool> hatched; // object slot -> a hatched brush
    bool hatchSelected = false;
    bool opaque = true; // GDI's default background mode
};

// A pattern brush's case: colour, 8x8 monochrome, or one that prints right.
Case PatternCase(const EmfRecord &record, DWORD offBmi, DWORD cbBmi)
{
    BITMAPINFOHEADER header = {};
    if (cbBmi < sizeof header || (size_t)offBmi + sizeof header > record.bytes.size()) {
        return kNone;
    }
    memcpy(&header, record.bytes.data() + offBmi, sizeof header);
    if (header.biBitCount != 1) {
        return kColourPattern;
    }
    const bool eightByEight = header.biWidth == 8 && (header.biHeight == 8 || header.biHeight == -8);
    return eightByEight ? kMonoPattern : kNone;
}

Case RasterCase(DWORD rop)
{
    return rop == DSTINVERT ? kDstInvert : rop == SRCAND ? kSrcAnd : kNone;
}

Case Brushes(const EmfRecord &record, Surface *surface)
{
    if (record.type == EMR_DELETEOBJECT) {
        const EMRDELETEOBJECT *r = record.As<EMRDELETEOBJECT>();
        if (r != nullptr) {
            surface->hatched.erase(r->ihObject); // the slot may come back as anything
        }
        return kNone;
    }
    if (record.type == EMR_CREATEDIBPATTERNBRUSHPT) {
        const EMRCREATEDIBPATTERNBRUSHPT *r = record.As<EMRCREATEDIBPATTERNBRUSHPT>();
        return r != nullptr ? PatternCase(record, r->offBmi, r->cbBmi) : kNone;
    }
    if (record.type == EMR_CREATEMONOBRUSH) {
        const EMRCREATEMONOBRUSH *r = record.As<EMRCREATEMONOBRUSH>();
        return r != nullptr ? PatternCase(record, r->offBmi, r->cbBmi) : kNone;
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
