#include "emf_reader.h"
#include "format_text.h"

#include <stdarg.h>
#include <stdio.h>

namespace {

struct RecordName {
    DWORD type;
    const char *name;
};

const RecordName kRecordNames[] = {
    {1, "EMR_HEADER"},
    {2, "EMR_POLYBEZIER"},
    {3, "EMR_POLYGON"},
    {4, "EMR_POLYLINE"},
    {5, "EMR_POLYBEZIERTO"},
    {6, "EMR_POLYLINETO"},
    {7, "EMR_POLYPOLYLINE"},
    {8, "EMR_POLYPOLYGON"},
    {9, "EMR_SETWINDOWEXTEX"},
    {10, "EMR_SETWINDOWORGEX"},
    {11, "EMR_SETVIEWPORTEXTEX"},
    {12, "EMR_SETVIEWPORTORGEX"},
    {13, "EMR_SETBRUSHORGEX"},
    {14, "EMR_EOF"},
    {15, "EMR_SETPIXELV"},
    {16, "EMR_SETMAPPERFLAGS"},
    {17, "EMR_SETMAPMODE"},
    {18, "EMR_SETBKMODE"},
    {19, "EMR_SETPOLYFILLMODE"},
    {20, "EMR_SETROP2"},
    {21, "EMR_SETSTRETCHBLTMODE"},
    {22, "EMR_SETTEXTALIGN"},
    {23, "EMR_SETCOLORADJUSTMENT"},
    {24, "EMR_SETTEXTCOLOR"},
    {25, "EMR_SETBKCOLOR"},
    {26, "EMR_OFFSETCLIPRGN"},
    {27, "EMR_MOVETOEX"},
    {28, "EMR_SETMETARGN"},
    {29, "EMR_EXCLUDECLIPRECT"},
    {30, "EMR_INTERSECTCLIPRECT"},
    {31, "EMR_SCALEVIEWPORTEXTEX"},
    {32, "EMR_SCALEWINDOWEXTEX"},
    {33, "EMR_SAVEDC"},
    {34, "EMR_RESTOREDC"},
    {35, "EMR_SETWORLDTRANSFORM"},
    {36, "EMR_MODIFYWORLDTRANSFORM"},
    {37, "EMR_SELECTOBJECT"},
    {38, "EMR_CREATEPEN"},
    {39, "EMR_CREATEBRUSHINDIRECT"},
    {40, "EMR_DELETEOBJECT"},
    {41, "EMR_ANGLEARC"},
    {42, "EMR_ELLIPSE"},
    {43, "EMR_RECTANGLE"},
    {44, "EMR_ROUNDRECT"},
    {45, "EMR_ARC"},
    {46, "EMR_CHORD"},
    {47, "EMR_PIE"},
    {48, "EMR_SELECTPALETTE"},
    {49, "EMR_CREATEPALETTE"},
    {50, "EMR_SETPALETTEENTRIES"},
    {51, "EMR_RESIZEPALETTE"},
    {52, "EMR_REALIZEPALETTE"},
    {53, "EMR_EXTFLOODFILL"},
    {54, "EMR_LINETO"},
    {55, "EMR_ARCTO"},
    {56, "EMR_POLYDRAW"},
    {57, "EMR_SETARCDIRECTION"},
    {58, "EMR_SETMITERLIMIT"},
    {59, "EMR_BEGINPATH"},
    {60, "EMR_ENDPATH"},
    {61, "EMR_CLOSEFIGURE"},
    {62, "EMR_FILLPATH"},
    {63, "EMR_STROKEANDFILLPATH"},
    {64, "EMR_STROKEPATH"},
    {65, "EMR_FLATTENPATH"},
    {66, "EMR_WIDENPATH"},
    {67, "EMR_SELECTCLIPPATH"},
    {68, "EMR_ABORTPATH"},
    {70, "EMR_GDICOMMENT"},
    {71, "EMR_FILLRGN"},
    {72, "EMR_FRAMERGN"},
    {73, "EMR_INVERTRGN"},
    {74, "EMR_PAINTRGN"},
    {75, "EMR_EXTSELECTCLIPRGN"},
    {76, "EMR_BITBLT"},
    {77, "EMR_STRETCHBLT"},
    {78, "EMR_MASKBLT"},
    {79, "EMR_PLGBLT"},
    {80, "EMR_SETDIBITSTODEVICE"},
    {81, "EMR_STRETCHDIBITS"},
    {82, "EMR_EXTCREATEFONTINDIRECTW"},
    {83, "EMR_EXTTEXTOUTA"},
    {84, "EMR_EXTTEXTOUTW"},
    {85, "EMR_POLYBEZIER16"},
    {86, "EMR_POLYGON16"},
    {87, "EMR_POLYLINE16"},
    {88, "EMR_POLYBEZIERTO16"},
    {89, "EMR_POLYLINETO16"},
    {90, "EMR_POLYPOLYLINE16"},
    {91, "EMR_POLYPOLYGON16"},
    {92, "EMR_POLYDRAW16"},
    {93, "EMR_CREATEMONOBRUSH"},
    {94, "EMR_CREATEDIBPATTERNBRUSHPT"},
    {95, "EMR_EXTCREATEPEN"},
    {96, "EMR_POLYTEXTOUTA"},
    {97, "EMR_POLYTEXTOUTW"},
    {98, "EMR_SETICMMODE"},
    {99, "EMR_CREATECOLORSPACE"},
    {100, "EMR_SETCOLORSPACE"},
    {101, "EMR_DELETECOLORSPACE"},
    {102, "EMR_GLSRECORD"},
    {103, "EMR_GLSBOUNDEDRECORD"},
    {104, "EMR_PIXELFORMAT"},
    {105, "EMR_DRAWESCAPE"},
    {106, "EMR_EXTESCAPE"},
    {108, "EMR_SMALLTEXTOUT"},
    {109, "EMR_FORCEUFIMAPPING"},
    {110, "EMR_NAMEDESCAPE"},
    {111, "EMR_COLORCORRECTPALETTE"},
    {112, "EMR_SETICMPROFILEA"},
    {113, "EMR_SETICMPROFILEW"},
    {114, "EMR_ALPHABLEND"},
    {115, "EMR_SETLAYOUT"},
    {116, "EMR_TRANSPARENTBLT"},
    {118, "EMR_GRADIENTFILL"},
    {119, "EMR_SETLINKEDUFIS"},
    {120, "EMR_SETTEXTJUSTIFICATION"},
    {121, "EMR_COLORMATCHTOTARGETW"},
    {122, "EMR_CREATECOLORSPACEW"},
};

int CALLBACK CollectRecord(HDC, HANDLETABLE *, const ENHMETARECORD *record, int, LPARAM context)
{
    auto *records = reinterpret_cast<std::vector<EmfRecord> *>(context);
    EmfRecord copy;
    copy.type = record->iType;
    const BYTE *first = reinterpret_cast<const BYTE *>(record);
    copy.bytes.assign(first, first + record->nSize);
    records->push_back(copy);
    return 1;
}

std::string DescribePoints16(const POINTS *points, DWORD count)
{
    std::string text;
    for (DWORD i = 0; i < count && i < 8; ++i) {
        text += FormatText(" (%d,%d)", points[i].x, points[i].y);
    }
    if (count > 8) {
        text += " ...";
    }
    return text;
}

std::string DescribePoints32(const POINTL *points, DWORD count)
{
    std::string text;
    for (DWORD i = 0; i < count && i < 8; ++i) {
        text += FormatText(" (%ld,%ld)", (long)points[i].x, (long)points[i].y);
    }
    if (count > 8) {
        text += " ...";
    }
    return text;
}

std::string DescribeFields(const EmfRecord &record)
{
    switch (record.type) {
    case EMR_SETROP2:
    case EMR_SETBKMODE:
    case EMR_SETPOLYFILLMODE:
    case EMR_SETTEXTALIGN:
    case EMR_SETMAPMODE:
    case EMR_SETSTRETCHBLTMODE: {
        const EMRSETROP2 *r = record.As<EMRSETROP2>();
        return r ? FormatText(" %lu", (unsigned long)r->iMode) : "";
    }
    case EMR_SETTEXTCOLOR:
    case EMR_SETBKCOLOR: {
        const EMRSETTEXTCOLOR *r = record.As<EMRSETTEXTCOLOR>();
        return r ? FormatText(" 0x%06lx", (unsigned long)r->crColor) : "";
    }
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT: {
        const EMRSELECTOBJECT *r = record.As<EMRSELECTOBJECT>();
        return r ? FormatText(" 0x%lx", (unsigned long)r->ihObject) : "";
    }
    case EMR_CREATEPEN: {
        const EMRCREATEPEN *r = record.As<EMRCREATEPEN>();
        return r ? FormatText(" #%lu style %u width %ld colour 0x%06lx", (unsigned long)r->ihPen, r->lopn.lopnStyle,
                              (long)r->lopn.lopnWidth.x, (unsigned long)r->lopn.lopnColor)
                 : "";
    }
    case EMR_EXTCREATEPEN: {
        const EMREXTCREATEPEN *r = record.As<EMREXTCREATEPEN>();
        return r ? FormatText(" #%lu style 0x%lx width %lu brush %u colour 0x%06lx", (unsigned long)r->ihPen,
                              (unsigned long)r->elp.elpPenStyle, (unsigned long)r->elp.elpWidth, r->elp.elpBrushStyle,
                              (unsigned long)r->elp.elpColor)
                 : "";
    }
    case EMR_CREATEBRUSHINDIRECT: {
        const EMRCREATEBRUSHINDIRECT *r = record.As<EMRCREATEBRUSHINDIRECT>();
        return r ? FormatText(" #%lu style %u colour 0x%06lx hatch %lu", (unsigned long)r->ihBrush, r->lb.lbStyle,
                              (unsigned long)r->lb.lbColor, (unsigned long)r->lb.lbHatch)
                 : "";
    }
    case EMR_RECTANGLE:
    case EMR_ELLIPSE: {
        const EMRRECTANGLE *r = record.As<EMRRECTANGLE>();
        return r ? FormatText(" (%ld,%ld)-(%ld,%ld)", (long)r->rclBox.left, (long)r->rclBox.top, (long)r->rclBox.right,
                              (long)r->rclBox.bottom)
                 : "";
    }
    case EMR_INTERSECTCLIPRECT: {
        const EMRINTERSECTCLIPRECT *r = record.As<EMRINTERSECTCLIPRECT>();
        return r ? FormatText(" (%ld,%ld)-(%ld,%ld)", (long)r->rclClip.left, (long)r->rclClip.top,
                              (long)r->rclClip.right, (long)r->rclClip.bottom)
                 : "";
    }
    case EMR_MOVETOEX:
    case EMR_LINETO: {
        const EMRLINETO *r = record.As<EMRLINETO>();
        return r ? FormatText(" (%ld,%ld)", (long)r->ptl.x, (long)r->ptl.y) : "";
    }
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIER16: {
        const EMRPOLYLINE16 *r = record.As<EMRPOLYLINE16>();
        return r ? FormatText(" %lu points:", (unsigned long)r->cpts) + DescribePoints16(r->apts, r->cpts) : "";
    }
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIER: {
        const EMRPOLYLINE *r = record.As<EMRPOLYLINE>();
        return r ? FormatText(" %lu points:", (unsigned long)r->cptl) + DescribePoints32(r->aptl, r->cptl) : "";
    }
    case EMR_POLYPOLYGON16:
    case EMR_POLYPOLYGON: {
        const EMRPOLYPOLYGON16 *r = record.As<EMRPOLYPOLYGON16>();
        return r ? FormatText(" %lu polygons, %lu points", (unsigned long)r->nPolys, (unsigned long)r->cpts) : "";
    }
    case EMR_STRETCHDIBITS: {
        const EMRSTRETCHDIBITS *r = record.As<EMRSTRETCHDIBITS>();
        if (r == nullptr) {
            return "";
        }
        std::string text = FormatText(" dest (%ld,%ld) %ldx%ld src (%ld,%ld) %ldx%ld rop 0x%06lx", (long)r->xDest,
                                      (long)r->yDest, (long)r->cxDest, (long)r->cyDest, (long)r->xSrc, (long)r->ySrc,
                                      (long)r->cxSrc, (long)r->cySrc, (unsigned long)r->dwRop);
        if (r->cbBmiSrc >= sizeof(BITMAPINFOHEADER) && r->offBmiSrc + r->cbBmiSrc <= record.bytes.size()) {
            const BITMAPINFOHEADER *h = reinterpret_cast<const BITMAPINFOHEADER *>(record.bytes.data() + r->offBmiSrc);
            text += FormatText(" dib %ldx%ld %u-bit", (long)h->biWidth, (long)h->biHeight, h->biBitCount);
        }
        return text;
    }
    case EMR_STRETCHBLT:
    case EMR_BITBLT: {
        const EMRSTRETCHBLT *r = record.As<EMRSTRETCHBLT>();
        return r ? FormatText(" dest (%ld,%ld) %ldx%ld rop 0x%06lx", (long)r->xDest, (long)r->yDest, (long)r->cxDest,
                              (long)r->cyDest, (unsigned long)r->dwRop)
                 : "";
    }
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: {
        const EMREXTTEXTOUTW *r = record.As<EMREXTTEXTOUTW>();
        if (r == nullptr) {
            return "";
        }
        std::string text = FormatText(" at (%ld,%ld) %lu chars options 0x%x", (long)r->emrtext.ptlReference.x,
                                      (long)r->emrtext.ptlReference.y, (unsigned long)r->emrtext.nChars,
                                      (unsigned)r->emrtext.fOptions);
        // the characters themselves, ASCII as is and the rest as \uXXXX
        const size_t unit = record.type == EMR_EXTTEXTOUTW ? 2 : 1;
        const size_t first = r->emrtext.offString;
        if (first + r->emrtext.nChars * unit <= record.bytes.size()) {
            text += " \"";
            for (DWORD i = 0; i < r->emrtext.nChars && i < 40; ++i) {
                unsigned c = record.bytes[first + i * unit];
                if (unit == 2) {
                    c |= (unsigned)record.bytes[first + i * 2 + 1] << 8;
                }
                text += c >= 0x20 && c < 0x7F ? std::string(1, (char)c) : FormatText("\\u%04x", c);
            }
            text += r->emrtext.nChars > 40 ? "...\"" : "\"";
        }
        return text;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        const EMRCREATEMONOBRUSH *r = record.As<EMRCREATEMONOBRUSH>();
        if (r == nullptr || r->cbBmi < sizeof(BITMAPINFOHEADER) || r->offBmi + r->cbBmi > record.bytes.size()) {
            return "";
        }
        const BITMAPINFOHEADER *h = reinterpret_cast<const BITMAPINFOHEADER *>(record.bytes.data() + r->offBmi);
        return FormatText(" #%lu dib %ldx%ld %u-bit, %lu colour table bytes", (unsigned long)r->ihBrush,
                          (long)h->biWidth, (long)h->biHeight, h->biBitCount,
                          (unsigned long)(r->cbBmi - sizeof(BITMAPINFOHEADER)));
    }
    case EMR_EXTSELECTCLIPRGN: {
        const EMREXTSELECTCLIPRGN *r = record.As<EMREXTSELECTCLIPRGN>();
        return r ? FormatText(" mode %lu, %lu region bytes", (unsigned long)r->iMode, (unsigned long)r->cbRgnData) : "";
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        const EMREXTCREATEFONTINDIRECTW *r = record.As<EMREXTCREATEFONTINDIRECTW>();
        return r ? FormatText(" #%lu height %ld escapement %ld charset %u", (unsigned long)r->ihFont,
                              (long)r->elfw.elfLogFont.lfHeight, (long)r->elfw.elfLogFont.lfEscapement,
                              r->elfw.elfLogFont.lfCharSet)
                 : "";
    }
    default:
        return "";
    }
}

} // namespace

std::vector<EmfRecord> ReadEmfRecords(const char *path)
{
    std::vector<EmfRecord> records;
    HENHMETAFILE metafile = GetEnhMetaFileA(path);
    if (metafile == NULL) {
        return records;
    }
    EnumEnhMetaFile(NULL, metafile, CollectRecord, &records, NULL);
    DeleteEnhMetaFile(metafile);
    return records;
}

std::string EmfRecordName(DWORD type)
{
    for (const RecordName &entry : kRecordNames) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return FormatText("EMR_%lu", (unsigned long)type);
}

std::string DescribeEmfRecord(const EmfRecord &record)
{
    return FormatText("%-26s %6u", EmfRecordName(record.type).c_str(), (unsigned)record.bytes.size()) +
           DescribeFields(record);
}

std::string DescribeEmfRecords(const std::vector<EmfRecord> &records)
{
    std::string text;
    for (size_t i = 0; i < records.size(); ++i) {
        text += FormatText("%4u ", (unsigned)i) + DescribeEmfRecord(records[i]) + "\n";
    }
    return text;
}

std::vector<DWORD> EmfDrawingTypes(const std::vector<EmfRecord> &records)
{
    std::vector<DWORD> types;
    for (const EmfRecord &record : records) {
        if (record.type != EMR_HEADER && record.type != EMR_EOF) {
            types.push_back(record.type);
        }
    }
    return types;
}

bool RenderEmf(const char *path, int width, int height, std::vector<uint32_t> *pixels)
{
    HENHMETAFILE metafile = GetEnhMetaFileA(path);
    if (metafile == NULL) {
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    ReleaseDC(NULL, screen);
    bool played = false;
    if (memory != NULL && bitmap != NULL) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        RECT page = {0, 0, width, height};
        FillRect(memory, &page, (HBRUSH)GetStockObject(WHITE_BRUSH));
        played = PlayEnhMetaFile(memory, metafile, &page) != 0;
        GdiFlush();
        const uint32_t *first = static_cast<const uint32_t *>(bits);
        pixels->assign(first, first + (size_t)width * height);
        for (uint32_t &pixel : *pixels) {
            pixel &= 0x00FFFFFF;
        }
        SelectObject(memory, previous);
    }
    if (bitmap != NULL) {
        DeleteObject(bitmap);
    }
    if (memory != NULL) {
        DeleteDC(memory);
    }
    DeleteEnhMetaFile(metafile);
    return played;
}

bool WriteBmp(const char *path, int width, int height, const std::vector<uint32_t> &pixels)
{
    FILE *file = fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    const uint32_t rowSize = ((uint32_t)width * 3 + 3) & ~3u;
    const uint32_t imageSize = rowSize * (uint32_t)height;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    fileHeader.bfSize = fileHeader.bfOffBits + imageSize;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    bool written = fwrite(&fileHeader, sizeof fileHeader, 1, file) == 1 && fwrite(&header, sizeof header, 1, file) == 1;
    std::vector<BYTE> row(rowSize, 0);
    for (int y = height - 1; written && y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = pixels[(size_t)y * width + x];
            row[x * 3] = (BYTE)(pixel & 0xFF);
            row[x * 3 + 1] = (BYTE)((pixel >> 8) & 0xFF);
            row[x * 3 + 2] = (BYTE)((pixel >> 16) & 0xFF);
        }
        written = fwrite(row.data(), 1, rowSize, file) == rowSize;
    }
    return fclose(file) == 0 && written;
}
