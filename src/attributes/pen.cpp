#include "attributes/attributes.h"
#include "attributes/stock.h"

// Stored whatever it is, so a failed creation leaves the slot 0 and a failed
// selection leaves a null predecessor; only a created pen is selected.
static int32_t SelectCreatedPen(HDC surface, HPEN created, Handle32 *pen, Handle32 *oldPen)
{
    *pen = HandleTo32(created);
    if (created == NULL) {
        return -1;
    }
    *oldPen = HandleTo32(SelectObject(surface, created));
    return 0;
}

void SelectStockObject(HDC surface, int index)
{
    SelectObject(surface, GetStockObject(index));
}

// The stock pen that draws exactly like the record, or -1. Full 32-bit
// comparisons: a colour with a nonzero high byte is not plain black or white.
static int StockPenFor(const LOGPEN *penRecord)
{
    if (penRecord->lopnStyle != PS_SOLID || penRecord->lopnWidth.x != 1) {
        return -1;
    }
    if (penRecord->lopnColor == 0x000000) {
        return BLACK_PEN;
    }
    if (penRecord->lopnColor == 0xFFFFFF) {
        return WHITE_PEN;
    }
    return -1;
}

int32_t CreateGeometricPen(HDC surface, COLORREF color, uint32_t style, int32_t width, Handle32 *pen, Handle32 *oldPen)
{
    LOGBRUSH solid;
    solid.lbStyle = BS_SOLID;
    solid.lbColor = color;
    solid.lbHatch = 0;
    HPEN created = ExtCreatePen(style | PS_GEOMETRIC, (DWORD)width, &solid, 0, NULL);
    return SelectCreatedPen(surface, created, pen, oldPen);
}

int32_t SelectLogicalPen(HDC surface, LOGPEN *penRecord, Handle32 *pen, Handle32 *oldPen)
{
    if (penRecord == NULL) {
        SelectStockObject(surface, NULL_PEN);
        return 0;
    }
    // An inside-frame pen is drawn as a plain solid pen; the caller's record
    // keeps the rewrite, so a one-unit inside-frame pen can become a stock pen.
    if (penRecord->lopnStyle == PS_INSIDEFRAME) {
        penRecord->lopnStyle = PS_SOLID;
    }
    int stock = StockPenFor(penRecord);
    if (stock >= 0) {
        SelectStockObject(surface, stock);
        return 0;
    }
    return SelectCreatedPen(surface, CreatePenIndirect(penRecord), pen, oldPen);
}
