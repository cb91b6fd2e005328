// What a request reads through the driver's pointers: for every export and
// record, the bytes the DLL reads itself and the bytes GDI reads through the
// pointers the DLL hands it unchanged. The capture DLL reads no more than
// this, the driver simulator pads replayed records to it, and a host test
// holds the DLL to it. Where what is read depends on how far the DLL got
// (font made, reference device made, pattern made) that outcome is an input,
// so a caller can decide once the real DLL has answered.
//
// Each procedure reads only bytes it reports as read, in the order the DLL
// reads them, so a caller may run it on the driver's own records.
#ifndef QUILLREC_READ_SIZES_H
#define QUILLREC_READ_SIZES_H

#include "quillrec.h"

// The draw-mode fields a request reads, as bits.
enum DrawModeField {
    MODE_ROP2 = 1,
    MODE_BK_MODE = 2,
    MODE_BK_COLOR = 4,
    MODE_TEXT_COLOR = 8,
    MODE_USE_BK_MODE = 16,
};

// The bytes from the start of a draw mode that cover fields.
uint32_t DrawModeBytes(uint32_t fields);
// to gets the fields of from that are read, and zeros for the rest.
void CopyDrawModeFields(DrawModeRecord *to, const DrawModeRecord *from, uint32_t fields);

// A brush record and what hangs off it.
typedef struct BrushRead {
    uint32_t record;      // bytes of the LOGBRUSH: 0, 4 (lbStyle), 8 (and lbColor) or 12
    uint32_t pattern;     // bytes at lbHatch: a BITMAP, or a packed DIB whole
    uint32_t patternInfo; // packed DIB: its header and colour table, which the bits follow
    uint32_t patternBits; // BS_PATTERN: bytes at the BITMAP's bmBits
    uint32_t modeFields;  // the draw-mode fields its realization reads
} BrushRead;

// patternMade: a BS_PATTERN brush got its bitmap (and a colour one its
// packed copy), which the caller sees as lbHatch rewritten. scanSet: the
// brush also colours the scan bracket's pen.
void BrushReads(const LOGBRUSH *brush, int scanSet, int patternMade, BrushRead *read);
// The outcome a BS_PATTERN record predicts, for a caller that must decide
// before the DLL answers (0 for any other style).
int PatternExpected(const LOGBRUSH *brush);

// Scan-line bytes CreateBitmapIndirect reads at bmBits (rows of the magnitude
// of width, word-aligned, at the depth GDI rounds to, once per plane), and
// one row's bytes; 0 when GDI refuses the record before reading bits.
uint32_t DeviceBitsRead(const BITMAP *bitmap, uint32_t *rowBytes);
// Header and colour table GDI reads of a DIB handed over with usage
// (DIB_RGB_COLORS: 4-byte entries, DIB_PAL_COLORS: 2-byte; a core header's
// are 3-byte), and the bits after it; *bits 0 for a format GDI refuses.
uint32_t DibInfoRead(const BITMAPINFO *info, uint32_t usage, uint32_t *bits, uint32_t *rowBytes);

typedef struct OutputRead {
    uint32_t pen;      // LOGPEN bytes
    BrushRead brush;
    uint32_t modeFields;
    uint32_t points;   // Point16 bytes at points (poly-polygons: the record)
    uint32_t counts;   // poly-polygons: bytes of vertex counts
    uint32_t vertices; // poly-polygons: Point16 bytes at the record's points
    int polygonsDrawn; // poly-polygons: every count read and the points with them
    uint32_t clip;
} OutputRead;

void OutputReads(uint16_t style, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                 const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip, int patternMade,
                 OutputRead *read);

// Raster32 (a BITMAP source) and Dib32 (a BITMAPINFO and bits).
typedef struct TransferRead {
    BrushRead brush;
    uint32_t modeFields;
    uint32_t source;     // BITMAP bytes, or the BITMAPINFO's header and colour table
    uint32_t sourceBits; // at bmBits, or at Dib32's bits
    uint32_t rowBytes;   // one row of those bits
} TransferRead;

void RasterReads(const BITMAP *source, const LOGBRUSH *brush, const DrawModeRecord *drawMode, int patternMade,
                 TransferRead *read);
void DibReads(const BITMAPINFO *info, const void *bits, const LOGBRUSH *brush, const DrawModeRecord *drawMode,
              int patternMade, TransferRead *read);

typedef struct TextRead {
    uint32_t font;
    uint32_t modeFields;
    uint32_t rectangle; // whenever given and a character is drawn: the recorder keeps it
    uint32_t string;   // bytes (2 a glyph index)
    uint32_t advances; // bytes (ETO_PDY glyph text: two entries a glyph)
} TextRead;

void TextReads(const DrawModeRecord *drawMode, uint32_t options, const RECT *rectangle, uint32_t count,
               const int32_t *advances, int fontMade, TextRead *read);

typedef struct PageRead {
    uint32_t devMode;    // dmSize + dmDriverExtra, at least the fields that say them
    uint32_t deviceName; // with its NUL, up to most
    uint32_t fileName;
    uint32_t frame;
} PageRead;

// referenceMade: the reference device was made, so the metafile was asked
// for with the frame and file name. Strings are measured up to most bytes.
void PageReads(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
               int referenceMade, uint32_t most, PageRead *read);

// The points a style reads for its count (not poly-polygons): the library's
// emitters by style code.
uint32_t OutputPointCount(uint16_t style, uint16_t count);

#endif
