// The GDI and memory failures a fuzz input plans for its next request, shared
// by the targets that decode inputs alike. Releases (DeleteObject,
// GlobalUnlock, GlobalFree) and restoring selections are left alone: the
// library cannot make good a release that fails.
#ifndef QUILLREC_FAILURE_PLANS_H
#define QUILLREC_FAILURE_PLANS_H

#include <string>
#include <vector>

#include "gdi_double.h"
#include "request_maker.h"

namespace failure_plans {

// Failures the library must survive without a leak or a misuse.
const char *const kCreations[] = {
    "CreatePenIndirect",    "ExtCreatePen",
    "CreateBrushIndirect",  "CreateDIBPatternBrushPt",
    "CreateBitmapIndirect", "CreateCompatibleDC",
    "CreateFontIndirectA",  "GetDIBits",
    "GlobalAlloc",          "GlobalLock",
    "GetStockObject",       "TranslateCharsetInfo",
    "IsDBCSLeadByteEx",     "GetACP",
};
const char *const kDrawing[] = {
    "Rectangle",    "Ellipse",       "Polygon",         "PolyPolygon",  "Polyline",      "PolyBezier",
    "MoveToEx",     "LineTo",        "BeginPath",       "EndPath",      "WidenPath",     "FillPath",
    "StretchBlt",   "StretchDIBits", "ExtTextOutA",     "ExtTextOutW",  "SetBkMode",     "SetBkColor",
    "SetTextColor", "SetROP2",       "SetPolyFillMode", "SetTextAlign", "SelectClipRgn", "IntersectClipRect",
};
const char *const kOpening[] = {"CreateDCA", "CreateEnhMetaFileA", "GetTempFileNameA", "GetWindowsDirectoryA"};

template <size_t N> const char *Pick(RequestBytes &bytes, const char *const (&names)[N])
{
    return names[bytes.Below(N)];
}

// Plans the failures; firstCalls (when given) gets the calls planned to fail
// at their first call, which decide how far the request gets.
inline void Plan(RequestBytes &bytes, RequestKind kind, std::vector<std::string> *firstCalls = nullptr)
{
    if (!bytes.OneIn(4)) {
        return;
    }
    int plans = 1 + (int)bytes.Below(2);
    for (int i = 0; i < plans; ++i) {
        int nth = 1 + (int)bytes.Below(3);
        uint32_t pick = bytes.Below(8);
        const char *name = nullptr;
        if (kind == RequestKind::Reopen) {
            name = Pick(bytes, kOpening);
            nth = 1;
            GdiDoubleFailCall(name, 1);
        } else if (pick < 4) {
            name = Pick(bytes, kCreations);
            GdiDoubleFailCall(name, nth);
        } else if (pick < 7) {
            name = Pick(bytes, kDrawing);
            if (std::string(name) == "StretchDIBits" && bytes.OneIn(2)) {
                GdiDoubleFailCallWith(name, nth, -1); // GDI_ERROR
            } else {
                GdiDoubleFailCall(name, nth);
            }
        } else if (kind != RequestKind::Release) {
            // The first selection of a drawing request selects a new or stock
            // object, never a predecessor, so its failure is one to survive.
            name = "SelectObject";
            GdiDoubleFailCall(name, 1);
        }
        if (firstCalls != nullptr && name != nullptr && nth == 1) {
            firstCalls->push_back(name);
        }
    }
}

} // namespace failure_plans

#endif
