// The double's bookkeeping: handles, the call log, failure plans, the ledger.
#include "gdi_double_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace gdi_double {

namespace {

// Made handles have bit 31 set and are sign-extended, as 64-bit Windows hands
// them out: one that crosses the caller's 32-bit variables and comes back
// zero-extended is unknown here. Stock objects stay small, below them.
const uintptr_t kFirstHandle = (uintptr_t)(intptr_t)(int32_t)0x80001000u;
const uintptr_t kHandleStep = 4;
const uintptr_t kStockBase = 0x100;
const uintptr_t kDefaultBitmap = 0x180;

struct StockEntry {
    int index;
    GdiKind kind;
    const char *name;
};

const StockEntry kStock[] = {
    {0, GdiKind::Brush, "WHITE_BRUSH"},        {1, GdiKind::Brush, "LTGRAY_BRUSH"},
    {2, GdiKind::Brush, "GRAY_BRUSH"},         {3, GdiKind::Brush, "DKGRAY_BRUSH"},
    {4, GdiKind::Brush, "BLACK_BRUSH"},        {5, GdiKind::Brush, "NULL_BRUSH"},
    {6, GdiKind::Pen, "WHITE_PEN"},            {7, GdiKind::Pen, "BLACK_PEN"},
    {8, GdiKind::Pen, "NULL_PEN"},             {10, GdiKind::Font, "OEM_FIXED_FONT"},
    {11, GdiKind::Font, "ANSI_FIXED_FONT"},    {12, GdiKind::Font, "ANSI_VAR_FONT"},
    {13, GdiKind::Font, "SYSTEM_FONT"},        {14, GdiKind::Font, "DEVICE_DEFAULT_FONT"},
    {15, GdiKind::Palette, "DEFAULT_PALETTE"}, {16, GdiKind::Font, "SYSTEM_FIXED_FONT"},
    {17, GdiKind::Font, "DEFAULT_GUI_FONT"},   {18, GdiKind::Brush, "DC_BRUSH"},
    {19, GdiKind::Pen, "DC_PEN"},
};

const char *const kFunctions[] = {
    "CreateDCA", "DeleteDC", "CreateEnhMetaFileA", "CloseEnhMetaFile", "DeleteEnhMetaFile", "SelectObject",
    "DeleteObject", "GetStockObject", "CreatePenIndirect", "ExtCreatePen", "CreateBrushIndirect",
    "CreateDIBPatternBrushPt", "CreateBitmapIndirect", "CreateCompatibleDC", "GetDIBits", "SetBkMode",
    "SetBkColor", "SetTextColor", "SetROP2", "SetPolyFillMode", "SetTextAlign", "SelectClipRgn",
    "IntersectClipRect", "Rectangle", "Ellipse", "Polygon", "PolyPolygon", "Polyline", "PolyBezier", "MoveToEx",
    "LineTo", "BeginPath", "EndPath", "WidenPath", "FillPath", "StretchBlt", "StretchDIBits",
    "CreateFontIndirectA", "ExtTextOutA", "ExtTextOutW", "TranslateCharsetInfo", "GetWindowsDirectoryA",
    "GetTempFileNameA", "GlobalAlloc", "GlobalLock", "GlobalUnlock", "GlobalFree", "GetACP", "IsDBCSLeadByteEx",
};

Model *g_model = nullptr;

void FreeBlockMemory(Model &model)
{
    for (auto &entry : model.blocks) {
        std::free(entry.second.address);
        entry.second.address = nullptr;
    }
}

void MakeStockObjects(Model &model)
{
    for (const StockEntry &entry : kStock) {
        uintptr_t handle = kStockBase + kHandleStep * (uintptr_t)entry.index;
        GdiObjectInfo &info = model.objects[handle];
        info.handle = (HGDIOBJ)handle;
        info.kind = entry.kind;
        info.stock = true;
        info.stockIndex = entry.index;
        info.creator = "GetStockObject";
        switch (entry.index) {
        case WHITE_BRUSH: info.logBrush = {BS_SOLID, 0xFFFFFF, 0}; break;
        case 1: info.logBrush = {BS_SOLID, 0xC0C0C0, 0}; break;
        case 2: info.logBrush = {BS_SOLID, 0x808080, 0}; break;
        case 3: info.logBrush = {BS_SOLID, 0x404040, 0}; break;
        case BLACK_BRUSH: info.logBrush = {BS_SOLID, 0, 0}; break;
        case NULL_BRUSH: info.logBrush = {BS_NULL, 0, 0}; break;
        case WHITE_PEN: info.logPen = {PS_SOLID, {1, 0}, 0xFFFFFF}; break;
        case BLACK_PEN: info.logPen = {PS_SOLID, {1, 0}, 0}; break;
        case NULL_PEN: info.logPen = {PS_NULL, {1, 0}, 0}; break;
        case SYSTEM_FONT:
            info.logFont.lfHeight = 16;
            info.logFont.lfWeight = FW_BOLD;
            std::snprintf(info.logFont.lfFaceName, LF_FACESIZE, "System");
            break;
        default: break;
        }
    }
    GdiObjectInfo &bitmap = model.objects[kDefaultBitmap];
    bitmap.handle = (HGDIOBJ)kDefaultBitmap;
    bitmap.kind = GdiKind::Bitmap;
    bitmap.stock = true;
    bitmap.creator = "default bitmap";
    bitmap.bitmap = {0, 1, 1, 2, 1, 1, nullptr};
    bitmap.width = 1;
    bitmap.height = 1;
    bitmap.bitCount = 1;
    bitmap.bits.assign(2, 0);
    bitmap.bitsStride = 2;
}

}  // namespace

const char *KindName(GdiKind kind)
{
    switch (kind) {
    case GdiKind::Pen: return "pen";
    case GdiKind::ExtPen: return "extended pen";
    case GdiKind::Brush: return "brush";
    case GdiKind::Bitmap: return "bitmap";
    case GdiKind::Font: return "font";
    case GdiKind::Palette: return "palette";
    case GdiKind::ReferenceDc: return "reference DC";
    case GdiKind::MetafileDc: return "recording DC";
    case GdiKind::MemoryDc: return "memory DC";
    case GdiKind::EnhMetafile: return "enhanced metafile";
    }
    return "object";
}

HGDIOBJ GetStockObjectHandle(int index)
{
    return (HGDIOBJ)(kStockBase + kHandleStep * (uintptr_t)index);
}

namespace {

void CheckFunctionName(const std::string &function)
{
    for (const char *name : kFunctions) {
        if (function == name) {
            return;
        }
    }
    throw std::invalid_argument("GDI double: no function named " + function);
}

void AddPlan(const std::string &function, int nth, bool every, bool hasValue, int64_t value)
{
    CheckFunctionName(function);
    if (!every && nth < 1) {
        throw std::invalid_argument("GDI double: nth counts from 1");
    }
    TheModel().plans.push_back({function, nth, every, hasValue, value});
}

std::string BlockText(const GdiBlockInfo &block)
{
    char text[96];
    std::snprintf(text, sizeof text, "block %s (%llu bytes, flags 0x%X)", HexText((uintptr_t)block.handle).c_str(),
                  (unsigned long long)block.size, block.flags);
    return text;
}

}  // namespace

Model &TheModel()
{
    if (g_model == nullptr) {
        GdiDoubleReset();
    }
    return *g_model;
}

uintptr_t NewHandle()
{
    Model &model = TheModel();
    uintptr_t handle = model.nextHandle;
    model.nextHandle += kHandleStep;
    return handle;
}

std::string HexText(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
    return text;
}

Arg Dec(int64_t value)
{
    return {value, std::to_string(value)};
}

Arg Hex(uint64_t value)
{
    return {(int64_t)value, HexText(value)};
}

Arg Handle(const void *handle)
{
    return {(int64_t)(uintptr_t)handle, GdiDoubleHandleName(handle)};
}

Arg Pointer(const void *pointer, const std::string &shown)
{
    return {(int64_t)(uintptr_t)pointer, pointer == nullptr ? std::string("null") : shown};
}

std::string Quoted(const char *text)
{
    if (text == nullptr) {
        return "null";
    }
    return EscapedText((const unsigned char *)text, std::strlen(text), "\"", "\\x%02X", true);
}

std::string PointsText(const std::vector<POINT> &points)
{
    std::string text = "[";
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 16 && points.size() > 20) {
            text += " ... " + std::to_string(points.size() - 17) + " more";
            i = points.size() - 1;
        }
        if (i != 0) {
            text += " ";
        }
        text += "(" + std::to_string(points[i].x) + "," + std::to_string(points[i].y) + ")";
    }
    return text + "]";
}

std::string RectText(const RECT &rect)
{
    return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom) + "}";
}

size_t BeginCall(const char *function, HDC dc, std::vector<Arg> args)
{
    Model &model = TheModel();
    GdiCall call;
    call.name = function;
    call.dc = dc;
    call.text = call.name + "(";
    // Only DC functions print a dc= field; the others take no DC at all.
    bool hasDc = true;
    static const char *const kNoDc[] = {"GlobalAlloc",      "GlobalLock",        "GlobalUnlock",  "GlobalFree",
                                        "GetACP",           "IsDBCSLeadByteEx",  "GetTempFileNameA",
                                        "GetWindowsDirectoryA", "CreateDCA",     "DeleteObject", "GetStockObject",
                                        "CreatePenIndirect", "ExtCreatePen",     "CreateBrushIndirect",
                                        "CreateDIBPatternBrushPt", "CreateBitmapIndirect", "CreateFontIndirectA",
                                        "DeleteEnhMetaFile", "TranslateCharsetInfo"};
    for (const char *name : kNoDc) {
        if (call.name == name) {
            hasDc = false;
        }
    }
    bool first = true;
    if (hasDc) {
        call.text += "dc=" + GdiDoubleHandleName(dc);
        first = false;
    }
    for (const Arg &arg : args) {
        call.args.push_back(arg.value);
        call.text += (first ? "" : ", ") + arg.text;
        first = false;
    }
    call.text += ")";
    GdiObjectInfo *object = FindObject(dc);
    if (object != nullptr && IsDcKind(object->kind) && object->live()) {
        call.hasState = true;
        call.state = object->dc;
    }
    for (Plan &plan : model.plans) {
        if (plan.function != call.name || (plan.fired && !plan.every)) {
            continue;
        }
        if (!plan.every && ++plan.seen != plan.nth) {
            continue;
        }
        plan.fired = true;
        if (!call.injected) {
            call.injected = true;
            call.result = plan.hasValue ? plan.value : INT64_MIN;
        }
    }
    model.calls.push_back(call);
    return model.calls.size() - 1;
}

GdiCall &CallAt(size_t call)
{
    return TheModel().calls[call];
}

bool Injected(size_t call)
{
    return CallAt(call).injected;
}

int64_t InjectedValue(size_t call, int64_t fallback)
{
    const GdiCall &record = CallAt(call);
    // BeginCall parks a plan's own value in `result`; INT64_MIN means none.
    if (record.injected && record.result != INT64_MIN) {
        return record.result;
    }
    return fallback;
}

void SetResult(size_t call, int64_t result, bool asHandle)
{
    GdiCall &record = CallAt(call);
    record.result = result;
    record.text += " -> ";
    if (asHandle) {
        record.text += GdiDoubleHandleName((const void *)(uintptr_t)result);
    } else if (record.name == "SetBkColor" || record.name == "SetTextColor") {
        record.text += HexText((uint32_t)result);
    } else {
        record.text += std::to_string(result);
    }
    if (record.injected) {
        record.text += "  [injected failure]";
    }
}

void Misuse(size_t call, const std::string &problem)
{
    TheModel().misuse.push_back(problem + " (call " + std::to_string(call + 1) + ": " + CallAt(call).name + ")");
}

bool ReturnOverride(const std::string &function, int64_t *value)
{
    const Model &model = TheModel();
    auto found = model.returns.find(function);
    if (found == model.returns.end()) {
        return false;
    }
    *value = found->second;
    return true;
}

GdiObjectInfo *FindObject(const void *handle)
{
    if (handle == nullptr) {
        return nullptr;
    }
    Model &model = TheModel();
    auto found = model.objects.find((uintptr_t)handle);
    return found == model.objects.end() ? nullptr : &found->second;
}

GdiObjectInfo &AddObject(GdiKind kind, const char *creator)
{
    uintptr_t handle = NewHandle();
    GdiObjectInfo &info = TheModel().objects[handle];
    info.handle = (HGDIOBJ)handle;
    info.kind = kind;
    info.creator = creator;
    return info;
}

bool IsDcKind(GdiKind kind)
{
    return kind == GdiKind::ReferenceDc || kind == GdiKind::MetafileDc || kind == GdiKind::MemoryDc;
}

GdiObjectInfo *LiveDc(size_t call, HDC dc)
{
    GdiObjectInfo *object = FindObject(dc);
    if (dc == nullptr) {
        Misuse(call, "null DC");
        return nullptr;
    }
    if (object == nullptr || !IsDcKind(object->kind)) {
        Misuse(call, "unknown DC " + GdiDoubleHandleName(dc));
        return nullptr;
    }
    if (!object->live()) {
        Misuse(call, "DC " + GdiDoubleHandleName(dc) + " used after deletion");
        return nullptr;
    }
    return object;
}

int64_t DibStride(int64_t width, int bitCount)
{
    return ((width * bitCount + 31) / 32) * 4;
}

int64_t ColourTableBytes(const BITMAPINFOHEADER &header)
{
    int64_t entries = header.biClrUsed;
    if (entries == 0 && header.biBitCount <= 8) {
        entries = (int64_t)1 << header.biBitCount;
    }
    int64_t bytes = entries * 4;
    if (header.biCompression == 3 /* BI_BITFIELDS */ && header.biSize == sizeof(BITMAPINFOHEADER)) {
        bytes += 12;
    }
    return bytes;
}

int64_t DibImageBytes(const BITMAPINFOHEADER &header)
{
    if (header.biCompression != BI_RGB && header.biCompression != 3) {
        return header.biSizeImage;
    }
    int64_t height = header.biHeight < 0 ? -(int64_t)header.biHeight : header.biHeight;
    return DibStride(header.biWidth, header.biBitCount) * height;
}

}  // namespace gdi_double

using namespace gdi_double;

void GdiDoubleReset()
{
    if (g_model != nullptr) {
        FreeBlockMemory(*g_model);
        delete g_model;
    }
    g_model = new Model;
    g_model->nextHandle = kFirstHandle;
    g_model->windowsDirectory = "C:\\WINDOWS";
    MakeStockObjects(*g_model);
}

void GdiDoubleClearLog()
{
    TheModel().calls.clear();
}

void GdiDoubleSetACP(UINT codePage)
{
    TheModel().acp = codePage;
}

void GdiDoubleSetWindowsDirectory(const std::string &directory)
{
    TheModel().windowsDirectory = directory;
}

std::string gdi_double::NormalisedDirectory(const std::string &directory)
{
    std::string text = directory;
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) {
        text.pop_back();
    }
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return (char)std::toupper(c); });
    return text;
}

void GdiDoubleSetMissingDirectory(const std::string &directory)
{
    TheModel().missingDirectories.insert(NormalisedDirectory(directory));
}

std::vector<std::string> GdiDoubleTempFiles()
{
    return TheModel().tempFiles;
}

void GdiDoubleFailCall(const std::string &function, int nth)
{
    AddPlan(function, nth, false, false, 0);
}

void GdiDoubleFailCallWith(const std::string &function, int nth, int64_t failureValue)
{
    AddPlan(function, nth, false, true, failureValue);
}

void GdiDoubleFailEveryCall(const std::string &function)
{
    AddPlan(function, 0, true, false, 0);
}

void GdiDoubleFailEveryCallWith(const std::string &function, int64_t failureValue)
{
    AddPlan(function, 0, true, true, failureValue);
}

void GdiDoubleClearFailures()
{
    TheModel().plans.clear();
}

std::vector<std::string> GdiDoublePendingFailures()
{
    std::vector<std::string> pending;
    for (const Plan &plan : TheModel().plans) {
        if (!plan.fired) {
            pending.push_back(plan.every ? "every " + plan.function + " call"
                                         : plan.function + " call " + std::to_string(plan.nth) + " (seen " +
                                               std::to_string(plan.seen) + ")");
        }
    }
    return pending;
}

void GdiDoubleSetReturn(const std::string &function, int64_t value)
{
    CheckFunctionName(function);
    TheModel().returns[function] = value;
}

const std::deque<GdiCall> &GdiDoubleCalls()
{
    return TheModel().calls;
}

std::vector<const GdiCall *> GdiDoubleCallsOf(const std::string &function)
{
    std::vector<const GdiCall *> found;
    for (const GdiCall &call : TheModel().calls) {
        if (call.name == function) {
            found.push_back(&call);
        }
    }
    return found;
}

const GdiCall *GdiDoubleLastCall(const std::string &function)
{
    std::vector<const GdiCall *> found = GdiDoubleCallsOf(function);
    return found.empty() ? nullptr : found.back();
}

int GdiDoubleCallCount(const std::string &function)
{
    return (int)GdiDoubleCallsOf(function).size();
}

std::vector<std::string> GdiDoubleCallNames(HDC dc)
{
    std::vector<std::string> names;
    for (const GdiCall &call : TheModel().calls) {
        if (dc == nullptr || call.dc == dc) {
            names.push_back(call.name);
        }
    }
    return names;
}

std::string GdiDoubleDump()
{
    std::string text = "GDI calls (" + std::to_string(TheModel().calls.size()) + "):\n";
    for (const GdiCall &call : TheModel().calls) {
        text += "  " + call.text + "\n";
    }
    return text;
}

const GdiObjectInfo *GdiDoubleObject(HGDIOBJ handle)
{
    return FindObject(handle);
}

std::vector<const GdiObjectInfo *> GdiDoubleObjectsOf(GdiKind kind)
{
    std::vector<const GdiObjectInfo *> found;
    for (const auto &entry : TheModel().objects) {
        if (entry.second.kind == kind && !entry.second.stock) {
            found.push_back(&entry.second);
        }
    }
    return found;
}

GdiDcState GdiDoubleDcState(HDC dc)
{
    const GdiObjectInfo *object = FindObject(dc);
    if (object == nullptr || !IsDcKind(object->kind)) {
        return GdiDcState();
    }
    return object->dc;
}

HBITMAP GdiDoubleDefaultBitmap()
{
    return (HBITMAP)kDefaultBitmap;
}

const GdiBlockInfo *GdiDoubleBlock(HGLOBAL handle)
{
    auto &blocks = TheModel().blocks;
    auto found = blocks.find((uintptr_t)handle);
    return found == blocks.end() ? nullptr : &found->second;
}

std::vector<const GdiBlockInfo *> GdiDoubleBlocks()
{
    std::vector<const GdiBlockInfo *> found;
    for (const auto &entry : TheModel().blocks) {
        found.push_back(&entry.second);
    }
    return found;
}

std::string GdiDoubleHandleName(const void *handle)
{
    if (handle == nullptr) {
        return "null";
    }
    uintptr_t value = (uintptr_t)handle;
    if (value == kDefaultBitmap) {
        return "DEFAULT_BITMAP";
    }
    for (const StockEntry &entry : kStock) {
        if (value == kStockBase + kHandleStep * (uintptr_t)entry.index) {
            return entry.name;
        }
    }
    // Made handles print as their 32 bits; a handle that lost its sign
    // extension on the way says so, or it would print the same.
    if ((uintptr_t)(intptr_t)(int32_t)value == value) {
        return HexText((uint32_t)value);
    }
    return HexText(value) + ((uint32_t)value == value ? " (zero-extended)" : "");
}

std::vector<std::string> GdiDoubleLeakProblems(GdiLedgerScope scope)
{
    std::vector<std::string> problems;
    for (const auto &entry : TheModel().objects) {
        const GdiObjectInfo &object = entry.second;
        if (object.stock || !object.live()) {
            continue;
        }
        bool surface = object.kind == GdiKind::ReferenceDc || object.kind == GdiKind::MetafileDc ||
                       object.kind == GdiKind::EnhMetafile;
        if (surface && scope != GdiLedgerScope::Everything) {
            continue;
        }
        problems.push_back(std::string(KindName(object.kind)) + " " + GdiDoubleHandleName(object.handle) + " (" +
                           object.creator + ") was never deleted");
    }
    for (const auto &entry : TheModel().blocks) {
        const GdiBlockInfo &block = entry.second;
        if (block.freeCount == 0) {
            problems.push_back(BlockText(block) + " was never freed");
            if (block.lockCount > 0) {
                problems.push_back(BlockText(block) + " is still locked (lock count " +
                                   std::to_string(block.lockCount) + ")");
            }
        }
    }
    return problems;
}

std::vector<std::string> GdiDoubleMisuseProblems()
{
    return TheModel().misuse;
}

std::vector<std::string> GdiDoubleProblems(GdiLedgerScope scope)
{
    std::vector<std::string> problems = GdiDoubleMisuseProblems();
    std::vector<std::string> leaks = GdiDoubleLeakProblems(scope);
    problems.insert(problems.end(), leaks.begin(), leaks.end());
    return problems;
}
