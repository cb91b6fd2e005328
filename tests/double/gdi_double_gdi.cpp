// GDI32 as the double models it: device contexts, objects and their selection,
// surface settings, clip, paths, shapes, blits and text.
#include "gdi_double_model.h"

#include <cstring>

using namespace gdi_double;

namespace {

// Ends a deletion of `object` (null: not of the kind the call deletes): a
// second deletion, like a wrong kind, is misuse and fails.
BOOL DeleteOnce(size_t call, GdiObjectInfo *object, const std::string &wrongKind, const std::string &again)
{
    if (object == nullptr || !object->live()) {
        Misuse(call, object == nullptr ? wrongKind : again);
        return Fail<BOOL>(call, FALSE);
    }
    object->deleteCount = 1;
    return Succeed<BOOL>(call, TRUE);
}

// Larger copies are refused rather than attempted: the double must not be the
// thing that runs out of memory when a test hands it an absurd count.
const int64_t kMaxCopyItems = 1 << 24;

std::string StringArg(const char *text)
{
    return text == nullptr ? std::string("(null)") : std::string(text);
}

std::string IntsText(const std::vector<INT> &values)
{
    std::string shown = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        shown += (i == 0 ? "" : " ") + std::to_string(values[i]);
    }
    return shown + "]";
}

std::string BrushText(const LOGBRUSH &brush)
{
    return "{style=" + std::to_string(brush.lbStyle) + ", color=" + HexText(brush.lbColor) +
           ", hatch=" + HexText(brush.lbHatch) + "}";
}

std::vector<POINT> CopyPoints(const POINT *points, int64_t count)
{
    if (points == nullptr || count <= 0 || count > kMaxCopyItems) {
        return {};
    }
    return std::vector<POINT>(points, points + count);
}

// Which live DCs hold `handle` selected, as text for a problem message.
std::string SelectedIn(const void *handle)
{
    std::string where;
    for (const auto &entry : TheModel().objects) {
        const GdiObjectInfo &object = entry.second;
        if (!IsDcKind(object.kind) || !object.live()) {
            continue;
        }
        const GdiDcState &dc = object.dc;
        if (dc.pen == handle || dc.brush == handle || dc.font == handle || dc.bitmap == handle) {
            const char *kind = object.kind == GdiKind::MetafileDc  ? "recording DC "
                               : object.kind == GdiKind::MemoryDc ? "memory DC "
                                                                   : "reference DC ";
            where += (where.empty() ? "" : ", ") + std::string(kind) + GdiDoubleHandleName(object.handle);
        }
    }
    return where;
}

GdiObjectInfo &NewDc(GdiKind kind, const char *creator)
{
    GdiObjectInfo &object = AddObject(kind, creator);
    object.dc.pen = (HPEN)GetStockObjectHandle(BLACK_PEN);
    object.dc.brush = (HBRUSH)GetStockObjectHandle(WHITE_BRUSH);
    object.dc.font = (HFONT)GetStockObjectHandle(SYSTEM_FONT);
    if (kind == GdiKind::MemoryDc) {
        object.dc.bitmap = GdiDoubleDefaultBitmap();
    }
    return object;
}

// Adds a drawing step to an open path; outside a path it draws, which the
// double models only through the log.
void AddToPath(GdiObjectInfo &dc, int figures, int64_t segments)
{
    if (dc.dc.path == GdiPathState::Open) {
        dc.dc.pathFigures += figures;
        dc.dc.pathSegments += (int)segments;
    }
}

// The shared shape of Rectangle and Ellipse.
BOOL BoxShape(const char *function, HDC hdc, int left, int top, int right, int bottom)
{
    size_t call = BeginCall(function, hdc, {Dec(left), Dec(top), Dec(right), Dec(bottom)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    AddToPath(*dc, 1, 4);
    return Succeed<BOOL>(call, TRUE);
}

// The shared shape of Polygon and Polyline.
BOOL PointShape(const char *function, HDC hdc, const POINT *apt, int cpt, bool closed)
{
    std::vector<POINT> points = CopyPoints(apt, cpt);
    size_t call = BeginCall(function, hdc, {Pointer(apt, PointsText(points)), Dec(cpt)});
    CallAt(call).points = points;
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr || apt == nullptr || cpt < 2) {
        return Fail<BOOL>(call, FALSE);
    }
    AddToPath(*dc, 1, closed ? cpt : cpt - 1);
    return Succeed<BOOL>(call, TRUE);
}

// The shared shape of the settings that answer with their previous value.
template <class T, class Field>
T Setting(const char *function, HDC hdc, T value, bool valid, T failure, Field field, Arg shown)
{
    size_t call = BeginCall(function, hdc, {shown});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr || !valid) {
        return Fail<T>(call, failure);
    }
    T previous = (T)(dc->dc.*field);
    dc->dc.*field = value;
    return Succeed<T>(call, previous);
}

}  // namespace

HDC CreateDCA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR pszPort, const DEVMODEA *pdm)
{
    size_t call = BeginCall("CreateDCA", nullptr,
                            {Pointer(pszDriver, Quoted(pszDriver)), Pointer(pszDevice, Quoted(pszDevice)),
                             Pointer(pszPort, Quoted(pszPort)), Pointer(pdm, "devmode")});
    CallAt(call).strings = {StringArg(pszDriver), StringArg(pszDevice), StringArg(pszPort)};
    if (Injected(call) || (pszDriver == nullptr && pszDevice == nullptr)) {
        return Fail<HDC>(call, nullptr);
    }
    GdiObjectInfo &dc = NewDc(GdiKind::ReferenceDc, "CreateDCA");
    dc.driver = StringArg(pszDriver);
    dc.device = StringArg(pszDevice);
    dc.port = StringArg(pszPort);
    dc.devMode = pdm;
    return Succeed<HDC>(call, (HDC)dc.handle);
}

HDC CreateEnhMetaFileA(HDC hdc, LPCSTR lpFilename, const RECT *lprc, LPCSTR lpDesc)
{
    size_t call = BeginCall("CreateEnhMetaFileA", hdc,
                            {Pointer(lpFilename, Quoted(lpFilename)), Pointer(lprc, lprc ? RectText(*lprc) : ""),
                             Pointer(lpDesc, Quoted(lpDesc))});
    GdiCall &record = CallAt(call);
    record.strings = {StringArg(lpFilename), StringArg(lpDesc)};
    if (lprc != nullptr) {
        record.hasRect = true;
        record.rect = *lprc;
    }
    // A null reference DC means the display; anything else must be a live DC.
    if (Injected(call) || (hdc != nullptr && LiveDc(call, hdc) == nullptr)) {
        return Fail<HDC>(call, nullptr);
    }
    GdiObjectInfo &dc = NewDc(GdiKind::MetafileDc, "CreateEnhMetaFileA");
    dc.referenceDc = hdc;
    dc.fileName = lpFilename == nullptr ? "" : lpFilename;
    dc.description = lpDesc == nullptr ? "" : lpDesc;
    if (lprc != nullptr) {
        dc.hasFrame = true;
        dc.frame = *lprc;
    }
    return Succeed<HDC>(call, (HDC)dc.handle);
}

HDC CreateCompatibleDC(HDC hdc)
{
    size_t call = BeginCall("CreateCompatibleDC", hdc, {});
    if (Injected(call) || (hdc != nullptr && LiveDc(call, hdc) == nullptr)) {
        return Fail<HDC>(call, nullptr);
    }
    GdiObjectInfo &dc = NewDc(GdiKind::MemoryDc, "CreateCompatibleDC");
    dc.referenceDc = hdc;
    return Succeed<HDC>(call, (HDC)dc.handle);
}

HENHMETAFILE CloseEnhMetaFile(HDC hdc)
{
    size_t call = BeginCall("CloseEnhMetaFile", hdc, {});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<HENHMETAFILE>(call, nullptr);
    }
    if (dc->kind != GdiKind::MetafileDc) {
        Misuse(call, "CloseEnhMetaFile on a DC that is not recording: " + GdiDoubleHandleName(hdc));
        return Fail<HENHMETAFILE>(call, nullptr);
    }
    // Closing ends the DC: GDI deselects its objects and frees it.
    dc->deleteCount = 1;
    GdiObjectInfo &metafile = AddObject(GdiKind::EnhMetafile, "CloseEnhMetaFile");
    metafile.recordedBy = hdc;
    metafile.fileName = dc->fileName;
    dc->closedInto = metafile.handle;
    return Succeed<HENHMETAFILE>(call, (HENHMETAFILE)metafile.handle);
}

BOOL DeleteEnhMetaFile(HENHMETAFILE hmf)
{
    size_t call = BeginCall("DeleteEnhMetaFile", nullptr, {Handle(hmf)});
    if (Injected(call)) {
        return Fail<BOOL>(call, FALSE);
    }
    GdiObjectInfo *metafile = FindObject(hmf);
    return DeleteOnce(call, metafile != nullptr && metafile->kind == GdiKind::EnhMetafile ? metafile : nullptr,
                      "DeleteEnhMetaFile of " + GdiDoubleHandleName(hmf) + ", not an enhanced metafile",
                      "enhanced metafile " + GdiDoubleHandleName(hmf) + " deleted twice");
}

BOOL DeleteDC(HDC hdc)
{
    size_t call = BeginCall("DeleteDC", hdc, {});
    if (Injected(call)) {
        return Fail<BOOL>(call, FALSE);
    }
    GdiObjectInfo *dc = FindObject(hdc);
    return DeleteOnce(call, dc != nullptr && IsDcKind(dc->kind) ? dc : nullptr,
                      "DeleteDC of " + GdiDoubleHandleName(hdc) + ", not a DC",
                      "DC " + GdiDoubleHandleName(hdc) + " deleted after it was deleted or closed");
}

HGDIOBJ GetStockObject(int i)
{
    size_t call = BeginCall("GetStockObject", nullptr, {Dec(i)});
    if (Injected(call) || i < 0 || i > 19 || i == 9) {
        return Fail<HGDIOBJ>(call, nullptr);
    }
    return Succeed<HGDIOBJ>(call, GetStockObjectHandle(i));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h)
{
    size_t call = BeginCall("SelectObject", hdc, {Handle(h)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    // A null object is refused quietly: the library may hand back a null
    // predecessor after an injected failure, which is no fault of its own.
    if (dc == nullptr || h == nullptr) {
        return Fail<HGDIOBJ>(call, nullptr);
    }
    GdiObjectInfo *object = FindObject(h);
    if (object == nullptr) {
        Misuse(call, "SelectObject of unknown handle " + GdiDoubleHandleName(h));
        return Fail<HGDIOBJ>(call, nullptr);
    }
    if (!object->live()) {
        Misuse(call, "SelectObject of deleted " + std::string(KindName(object->kind)) + " " + GdiDoubleHandleName(h));
        return Fail<HGDIOBJ>(call, nullptr);
    }
    HGDIOBJ previous = nullptr;
    switch (object->kind) {
    case GdiKind::Pen:
    case GdiKind::ExtPen:
        previous = dc->dc.pen;
        dc->dc.pen = (HPEN)h;
        break;
    case GdiKind::Brush:
        previous = dc->dc.brush;
        dc->dc.brush = (HBRUSH)h;
        break;
    case GdiKind::Font:
        previous = dc->dc.font;
        dc->dc.font = (HFONT)h;
        break;
    case GdiKind::Bitmap:
        if (dc->kind != GdiKind::MemoryDc) {
            Misuse(call, "bitmap " + GdiDoubleHandleName(h) + " selected into a DC that is not a memory DC");
            return Fail<HGDIOBJ>(call, nullptr);
        }
        // A bitmap lives in one memory DC at a time; only the default bitmap is shared.
        if (!object->stock && h != dc->dc.bitmap && !SelectedIn(h).empty()) {
            return Fail<HGDIOBJ>(call, nullptr);
        }
        previous = dc->dc.bitmap;
        dc->dc.bitmap = (HBITMAP)h;
        break;
    default:
        Misuse(call, "SelectObject of " + GdiDoubleHandleName(h) + ", which cannot be selected");
        return Fail<HGDIOBJ>(call, nullptr);
    }
    return Succeed<HGDIOBJ>(call, previous);
}

BOOL DeleteObject(HGDIOBJ ho)
{
    size_t call = BeginCall("DeleteObject", nullptr, {Handle(ho)});
    if (Injected(call)) {
        return Fail<BOOL>(call, FALSE);
    }
    if (ho == nullptr) {
        Misuse(call, "DeleteObject(NULL)");
        return Fail<BOOL>(call, FALSE);
    }
    GdiObjectInfo *object = FindObject(ho);
    if (object == nullptr) {
        Misuse(call, "DeleteObject of unknown handle " + GdiDoubleHandleName(ho));
        return Fail<BOOL>(call, FALSE);
    }
    if (IsDcKind(object->kind) || object->kind == GdiKind::EnhMetafile) {
        Misuse(call, "DeleteObject of " + GdiDoubleHandleName(ho) + ", a DC or metafile");
        return Fail<BOOL>(call, FALSE);
    }
    if (object->stock) {
        // GDI ignores it and says yes; the library must never try.
        Misuse(call, "stock object " + GdiDoubleHandleName(ho) + " deleted");
        return Succeed<BOOL>(call, TRUE);
    }
    if (!object->live()) {
        Misuse(call, GdiDoubleHandleName(ho) + " (" + object->creator + ") deleted twice");
        return Fail<BOOL>(call, FALSE);
    }
    std::string where = SelectedIn(ho);
    if (!where.empty()) {
        Misuse(call, GdiDoubleHandleName(ho) + " (" + object->creator + ") deleted while selected into " + where);
    }
    object->deleteCount = 1;
    return Succeed<BOOL>(call, TRUE);
}

HPEN CreatePenIndirect(const LOGPEN *plpen)
{
    size_t call = BeginCall("CreatePenIndirect", nullptr,
                            {Pointer(plpen, plpen ? "{style=" + std::to_string(plpen->lopnStyle) +
                                                        ", width=" + std::to_string(plpen->lopnWidth.x) + "," +
                                                        std::to_string(plpen->lopnWidth.y) +
                                                        ", color=" + HexText(plpen->lopnColor) + "}"
                                                  : "")});
    if (Injected(call) || plpen == nullptr) {
        return Fail<HPEN>(call, nullptr);
    }
    GdiObjectInfo &pen = AddObject(GdiKind::Pen, "CreatePenIndirect");
    pen.logPen = *plpen;
    return Succeed<HPEN>(call, (HPEN)pen.handle);
}

HPEN ExtCreatePen(DWORD iPenStyle, DWORD cWidth, const LOGBRUSH *plbrush, DWORD cStyle, const DWORD *pstyle)
{
    size_t call = BeginCall("ExtCreatePen", nullptr,
                            {Hex(iPenStyle), Dec(cWidth), Pointer(plbrush, plbrush ? BrushText(*plbrush) : ""),
                             Dec(cStyle), Pointer(pstyle, "styles")});
    const DWORD kUserStyle = 7;
    bool userStyle = (iPenStyle & 0xF) == kUserStyle;
    bool cosmetic = (iPenStyle & 0x000F0000) == PS_COSMETIC;
    bool valid = plbrush != nullptr && (cosmetic ? cWidth == 1 : true) &&
                 (userStyle ? cStyle >= 1 && cStyle <= 16 && pstyle != nullptr : cStyle == 0 && pstyle == nullptr);
    if (Injected(call) || !valid) {
        return Fail<HPEN>(call, nullptr);
    }
    GdiObjectInfo &pen = AddObject(GdiKind::ExtPen, "ExtCreatePen");
    pen.extPenStyle = iPenStyle;
    pen.extPenWidth = cWidth;
    pen.extPenBrush = *plbrush;
    if (pstyle != nullptr) {
        pen.extPenStyleArray.assign(pstyle, pstyle + cStyle);
    }
    return Succeed<HPEN>(call, (HPEN)pen.handle);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH *plbrush)
{
    size_t call = BeginCall("CreateBrushIndirect", nullptr, {Pointer(plbrush, plbrush ? BrushText(*plbrush) : "")});
    if (Injected(call) || plbrush == nullptr) {
        return Fail<HBRUSH>(call, nullptr);
    }
    if (plbrush->lbStyle == BS_PATTERN) {
        // GDI copies the pattern from a live bitmap; a pointer or a stale handle makes no brush.
        const GdiObjectInfo *bitmap = FindObject((const void *)plbrush->lbHatch);
        if (bitmap == nullptr || bitmap->kind != GdiKind::Bitmap || !bitmap->live()) {
            return Fail<HBRUSH>(call, nullptr);
        }
    }
    GdiObjectInfo &brush = AddObject(GdiKind::Brush, "CreateBrushIndirect");
    brush.logBrush = *plbrush;
    if (plbrush->lbStyle == BS_DIBPATTERNPT && plbrush->lbHatch != 0) {
        // GDI copies the packed DIB, its table entries as wide as lbColor says
        brush.packedDib = PackedDibBytes((const BITMAPINFO *)plbrush->lbHatch, plbrush->lbColor);
    }
    return Succeed<HBRUSH>(call, (HBRUSH)brush.handle);
}

HFONT CreateFontIndirectA(const LOGFONTA *lplf)
{
    std::string shown;
    if (lplf != nullptr) {
        char face[LF_FACESIZE + 1] = {0};
        std::memcpy(face, lplf->lfFaceName, LF_FACESIZE);
        shown = "{height=" + std::to_string(lplf->lfHeight) + ", escapement=" + std::to_string(lplf->lfEscapement) +
                ", weight=" + std::to_string(lplf->lfWeight) + ", charset=" + std::to_string(lplf->lfCharSet) +
                ", face=" + Quoted(face) + "}";
    }
    size_t call = BeginCall("CreateFontIndirectA", nullptr, {Pointer(lplf, shown)});
    if (Injected(call) || lplf == nullptr) {
        return Fail<HFONT>(call, nullptr);
    }
    GdiObjectInfo &font = AddObject(GdiKind::Font, "CreateFontIndirectA");
    font.logFont = *lplf;
    return Succeed<HFONT>(call, (HFONT)font.handle);
}

int SetBkMode(HDC hdc, int mode)
{
    return Setting<int>("SetBkMode", hdc, mode, mode == TRANSPARENT || mode == OPAQUE, 0, &GdiDcState::bkMode,
                        Dec(mode));
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    return Setting<COLORREF>("SetBkColor", hdc, color, true, CLR_INVALID, &GdiDcState::bkColor, Hex(color));
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    return Setting<COLORREF>("SetTextColor", hdc, color, true, CLR_INVALID, &GdiDcState::textColor, Hex(color));
}

int SetROP2(HDC hdc, int rop2)
{
    return Setting<int>("SetROP2", hdc, rop2, rop2 >= R2_BLACK && rop2 <= R2_WHITE, 0, &GdiDcState::rop2, Dec(rop2));
}

int SetPolyFillMode(HDC hdc, int mode)
{
    return Setting<int>("SetPolyFillMode", hdc, mode, mode == ALTERNATE || mode == WINDING, 0,
                        &GdiDcState::polyFillMode, Dec(mode));
}

UINT SetTextAlign(HDC hdc, UINT align)
{
    return Setting<UINT>("SetTextAlign", hdc, align, true, (UINT)GDI_ERROR, &GdiDcState::textAlign, Hex(align));
}

int SelectClipRgn(HDC hdc, HRGN hrgn)
{
    size_t call = BeginCall("SelectClipRgn", hdc, {Handle(hrgn)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<int>(call, 0);
    }
    if (hrgn != nullptr) {
        // The library never makes regions, so any region handle is a stray one.
        Misuse(call, "SelectClipRgn with region " + GdiDoubleHandleName(hrgn) + ", which the double never made");
        return Fail<int>(call, 0);
    }
    dc->dc.hasClip = false;
    dc->dc.clip = {0, 0, 0, 0};
    return Succeed<int>(call, SIMPLEREGION);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    size_t call = BeginCall("IntersectClipRect", hdc, {Dec(left), Dec(top), Dec(right), Dec(bottom)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<int>(call, 0);
    }
    // GDI orders the corners of the rectangle it intersects with.
    RECT rect = {left < right ? left : right, top < bottom ? top : bottom, left < right ? right : left,
                 top < bottom ? bottom : top};
    RECT &clip = dc->dc.clip;
    if (dc->dc.hasClip) {
        rect.left = rect.left > clip.left ? rect.left : clip.left;
        rect.top = rect.top > clip.top ? rect.top : clip.top;
        rect.right = rect.right < clip.right ? rect.right : clip.right;
        rect.bottom = rect.bottom < clip.bottom ? rect.bottom : clip.bottom;
    }
    bool empty = rect.left >= rect.right || rect.top >= rect.bottom;
    dc->dc.hasClip = true;
    clip = empty ? RECT{0, 0, 0, 0} : rect;
    return Succeed<int>(call, empty ? NULLREGION : SIMPLEREGION);
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    return BoxShape("Rectangle", hdc, left, top, right, bottom);
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    return BoxShape("Ellipse", hdc, left, top, right, bottom);
}

BOOL Polygon(HDC hdc, const POINT *apt, int cpt)
{
    return PointShape("Polygon", hdc, apt, cpt, true);
}

BOOL Polyline(HDC hdc, const POINT *apt, int cpt)
{
    return PointShape("Polyline", hdc, apt, cpt, false);
}

BOOL PolyBezier(HDC hdc, const POINT *apt, DWORD cpt)
{
    std::vector<POINT> points = CopyPoints(apt, cpt);
    size_t call = BeginCall("PolyBezier", hdc, {Pointer(apt, PointsText(points)), Dec(cpt)});
    CallAt(call).points = points;
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    // One start point and three points per curve, at least one curve.
    if (dc == nullptr || apt == nullptr || cpt < 4 || (cpt - 1) % 3 != 0) {
        return Fail<BOOL>(call, FALSE);
    }
    AddToPath(*dc, 1, (cpt - 1) / 3);
    return Succeed<BOOL>(call, TRUE);
}

BOOL PolyPolygon(HDC hdc, const POINT *apt, const INT *asz, int csz)
{
    std::vector<INT> counts;
    if (asz != nullptr && csz > 0 && csz <= kMaxCopyItems) {
        counts.assign(asz, asz + csz);
    }
    int64_t total = 0;
    bool countsValid = csz > 0 && (int)counts.size() == csz;
    for (INT count : counts) {
        countsValid = countsValid && count >= 2;
        total += count < 0 ? 0 : count;
    }
    std::vector<POINT> points = CopyPoints(apt, total);
    size_t call = BeginCall("PolyPolygon", hdc,
                            {Pointer(apt, PointsText(points)), Pointer(asz, IntsText(counts)), Dec(csz)});
    CallAt(call).points = points;
    CallAt(call).counts = counts;
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr || apt == nullptr || !countsValid) {
        return Fail<BOOL>(call, FALSE);
    }
    AddToPath(*dc, csz, total);
    return Succeed<BOOL>(call, TRUE);
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    size_t call = BeginCall("MoveToEx", hdc, {Dec(x), Dec(y), Pointer(lppt, "&old")});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    if (lppt != nullptr) {
        *lppt = dc->dc.position;
    }
    dc->dc.position = {x, y};
    AddToPath(*dc, 1, 0);
    return Succeed<BOOL>(call, TRUE);
}

BOOL LineTo(HDC hdc, int x, int y)
{
    size_t call = BeginCall("LineTo", hdc, {Dec(x), Dec(y)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    dc->dc.position = {x, y};
    AddToPath(*dc, 0, 1);
    return Succeed<BOOL>(call, TRUE);
}

namespace {

// The path bracket: each step needs the path in one state (Begin: any) and
// moves it on; a step out of turn fails and changes nothing.
enum class PathStep { Begin, End, Widen, Fill };

BOOL StepPath(const char *function, HDC hdc, PathStep step)
{
    size_t call = BeginCall(function, hdc, {});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    GdiPathState needed = step == PathStep::End ? GdiPathState::Open : GdiPathState::Closed;
    if (dc == nullptr || (step != PathStep::Begin && dc->dc.path != needed)) {
        return Fail<BOOL>(call, FALSE);
    }
    GdiDcState &state = dc->dc;
    switch (step) {
    case PathStep::Begin:
        // A new bracket discards whatever path the DC had.
        state.path = GdiPathState::Open;
        state.pathFigures = 0;
        state.pathSegments = 0;
        state.pathWidened = false;
        break;
    case PathStep::End:
        state.path = GdiPathState::Closed;
        break;
    case PathStep::Widen:
        state.pathWidened = true;
        break;
    case PathStep::Fill:
        // Filling consumes the path; the figure counts stay for inspection.
        state.path = GdiPathState::None;
        state.pathFills += 1;
        break;
    }
    return Succeed<BOOL>(call, TRUE);
}

}  // namespace

BOOL BeginPath(HDC hdc)
{
    return StepPath("BeginPath", hdc, PathStep::Begin);
}

BOOL EndPath(HDC hdc)
{
    return StepPath("EndPath", hdc, PathStep::End);
}

BOOL WidenPath(HDC hdc)
{
    return StepPath("WidenPath", hdc, PathStep::Widen);
}

BOOL FillPath(HDC hdc)
{
    return StepPath("FillPath", hdc, PathStep::Fill);
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD rop)
{
    size_t call = BeginCall("StretchBlt", hdcDest,
                            {Dec(xDest), Dec(yDest), Dec(wDest), Dec(hDest), Handle(hdcSrc), Dec(xSrc), Dec(ySrc),
                             Dec(wSrc), Dec(hSrc), Hex(rop)});
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdcDest);
    if (dc == nullptr) {
        return Fail<BOOL>(call, FALSE);
    }
    // A raster operation reads the source when its result differs between source 0 and 1.
    bool usesSource = (((rop >> 2) ^ rop) & 0x00330000) != 0;
    GdiObjectInfo *source = nullptr;
    if (hdcSrc != nullptr) {
        source = LiveDc(call, hdcSrc);
        if (source == nullptr) {
            return Fail<BOOL>(call, FALSE);
        }
        CallAt(call).sourceBitmap = source->dc.bitmap;
    } else if (usesSource) {
        return Fail<BOOL>(call, FALSE);
    }
    return Succeed<BOOL>(call, TRUE);
}

namespace {

// ExtTextOutA (bytes) and ExtTextOutW (16-bit units): the string and the
// advances are kept for the test, up to the copy limit.
template <class Unit>
BOOL TextOutCall(const char *function, HDC hdc, int x, int y, UINT options, const RECT *lprect, const Unit *lpString,
                 UINT c, const INT *lpDx, const char *open, const char *format)
{
    bool copyable = c <= (UINT)kMaxCopyItems;
    std::vector<Unit> units;
    std::vector<INT> dx;
    if (lpString != nullptr && copyable) {
        units.assign(lpString, lpString + c);
    }
    if (lpDx != nullptr && copyable) {
        // ETO_PDY: an x and a y advance a character
        dx.assign(lpDx, lpDx + (size_t)c * ((options & ETO_PDY) != 0 ? 2 : 1));
    }
    size_t call = BeginCall(function, hdc,
                            {Dec(x), Dec(y), Hex(options), Pointer(lprect, lprect ? RectText(*lprect) : ""),
                             Pointer(lpString, EscapedText(units.data(), units.size(), open, format, false)), Dec(c),
                             Pointer(lpDx, IntsText(dx))});
    GdiCall &record = CallAt(call);
    if constexpr (sizeof(Unit) == 1) {
        record.bytes.assign(units.begin(), units.end());
    } else {
        record.wide = units;
    }
    record.hasDx = lpDx != nullptr;
    record.dx = dx;
    if (lprect != nullptr) {
        record.hasRect = true;
        record.rect = *lprect;
    }
    GdiObjectInfo *dc = Injected(call) ? nullptr : LiveDc(call, hdc);
    if (dc == nullptr || (lpString == nullptr && c != 0) || !copyable) {
        return Fail<BOOL>(call, FALSE);
    }
    return Succeed<BOOL>(call, TRUE);
}

}  // namespace

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCSTR lpString, UINT c, const INT *lpDx)
{
    return TextOutCall("ExtTextOutA", hdc, x, y, options, lprect, (const unsigned char *)lpString, c, lpDx, "\"",
                       "\\x%02X");
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCWSTR lpString, UINT c, const INT *lpDx)
{
    return TextOutCall("ExtTextOutW", hdc, x, y, options, lprect, lpString, c, lpDx, "L\"", "\\u%04X");
}
