// Each export's request as job lines: the settings it needs (written once
// and named, a new one only when the driver's record changed), then the
// request line with every value the real DLL reads and nothing more, as the
// read description says, and after it the result and what it wrote back.
#include "capture/writer.h"

#include "requestmodel/output_styles.h"

// counts=: the counts the DLL read, then zeros for those it never reached
// (after a negative count, or one past the total it can hold).
static void PutCounts(const PolyPolygonRecord *record, uint16_t polygons, const OutputRead *read)
{
    uint32_t known = read->counts / 4;
    PutOptionName(grammar::KEYWORD_OUTPUT, grammar::FIELD_POLYGON_COUNTS);
    PutNumberList(record->counts, NULL, known);
    for (uint32_t i = known; i < polygons; ++i) {
        Put(i > 0 ? ",0" : "0");
    }
}

// Polygons split by '|' where every polygon has points; else the points run
// on and counts= gives the counts.
static void PutPolygons(const PolyPolygonRecord *record, uint16_t polygons, const OutputRead *read)
{
    int plain = read->polygonsDrawn && polygons > 0;
    for (uint16_t i = 0; i < polygons && plain; ++i) {
        plain = record->counts[i] > 0;
    }
    const Point16 *next = record->points;
    for (uint16_t i = 0; i < polygons && read->polygonsDrawn; ++i) {
        if (i > 0 && plain) {
            Put(" |");
        }
        PutPoints(next, (uint32_t)record->counts[i]);
        next += record->counts[i];
    }
    if (!plain) {
        PutCounts(record, polygons, read);
    }
}

// The points the style reads, and count= where the points alone do not say
// it. A long list goes to the point file, and the line gives the count.
static void PutOutputPoints(uint16_t style, uint16_t count, const void *points, const OutputRead *read)
{
    uint32_t natural = read->points / (uint32_t)sizeof(Point16);
    const PolyPolygonRecord *record = (const PolyPolygonRecord *)points;
    if (style == OUT_WINDPOLYPOLYGON || style == OUT_ALTPOLYPOLYGON) {
        if (PutRawPoints(record->points, read->vertices)) {
            PutCounts(record, count, read);
        } else {
            PutPolygons(record, count, read);
        }
        natural = count;
    } else if (PutRawPoints(points, read->points)) {
        natural = 0;
    } else if (natural > 0) {
        PutPoints((const Point16 *)points, natural);
    }
    if (count != natural) {
        PutField(grammar::KEYWORD_OUTPUT, grammar::FIELD_COUNT, count);
    }
}

void CaptureOutput(uint16_t styleCode, uint16_t scanFlag, uint16_t count, const void *points, const LOGPEN *pen,
                   uint32_t geometricPenStyle, const LOGBRUSH *brush, const DrawModeRecord *drawMode, const RECT *clip)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_OUTPUT;
    const OutputStyle *style = FindOutputStyle(styleCode);
    OutputRead read;
    int patternMade = brush != NULL && PatternExpected(brush);
    OutputReads(styleCode, scanFlag, count, points, pen, brush, drawMode, clip, patternMade, &read);
    uint32_t penName = read.pen != 0 ? WritePen(pen) : 0;
    uint32_t brushName = read.brush.record != 0 ? WriteBrush(brush, &read.brush) : 0;
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutKeyword(keyword);
    PutChar(' ');
    if (style != NULL) {
        Put(style->name);
    } else {
        PutHex(styleCode);
    }
    PutOutputPoints(styleCode, count, points, &read);
    PutSettingField(keyword, grammar::FIELD_PEN, "p", penName);
    PutSettingField(keyword, grammar::FIELD_BRUSH, "b", brushName);
    PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
    if (geometricPenStyle != 0) {
        PutField(keyword, grammar::FIELD_GEOMETRIC, geometricPenStyle);
    }
    if (scanFlag != 0) {
        PutField(keyword, grammar::FIELD_SCAN_FLAG, scanFlag);
    }
    if (read.clip != 0) {
        PutRectField(keyword, grammar::FIELD_CLIP, clip);
    }
    if (styleCode == OUT_ENDSCAN) {
        // the driver's own DeleteObject32 calls follow as delete lines
        PutOptionName(keyword, grammar::FIELD_RELEASE_TIME);
        Put(grammar::ConstantName(grammar::SET_RELEASE_TIMES, 0));
    }
}

// The device name and DEVMODE, which the DLL reads first, to make its
// reference device.
static void PutDevice(grammar::KeywordId keyword, const DEVMODEA *devMode, const char *deviceName,
                      const PageRead *read)
{
    PutOptionName(keyword, grammar::FIELD_PAGE_DEVICE);
    if (deviceName != NULL) {
        PutQuoted(deviceName, StringLength(deviceName, read->deviceName));
    } else {
        Put("none"); // replayed as no name, not the simulator's DISPLAY
    }
    if (devMode != NULL) {
        PutOptionName(keyword, grammar::FIELD_PAGE_DEVMODE);
        PutHexBytes(devMode, (uint32_t)devMode->dmSize + devMode->dmDriverExtra);
    }
}

uint32_t CapturePageCall(const DEVMODEA *devMode, const char *deviceName)
{
    PageRead read;
    PageReads(devMode, deviceName, NULL, NULL, 0, kLongestName, &read);
    PutKeyword(grammar::KEYWORD_CALL);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_CALLS, grammar::CALL_PAGE));
    PutDevice(grammar::KEYWORD_CALL, devMode, deviceName, &read);
    return CaptureCallEnd();
}

uint32_t CapturePathCall(void)
{
    PutKeyword(grammar::KEYWORD_CALL);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_CALLS, grammar::CALL_PATH));
    return CaptureCallEnd();
}

// A page: the frame, device name and DEVMODE the driver passed; the spool
// file name is the replay's own. The DLL reads the frame and file name only
// once the reference device exists (referenceMade).
void CaptureGetEmfFileDC32(const DEVMODEA *devMode, const char *deviceName, const char *fileName, const RECT *frame,
                           int referenceMade, uint32_t call)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_PAGE;
    PageRead read;
    PageReads(devMode, deviceName, fileName, frame, referenceMade, kLongestName, &read);
    // Every page defines the settings it uses, so a page cut out of a capture
    // replays alone; names stay unique over the whole file.
    ForgetSettings();
    ForgetBitmaps();
    if (read.fileName != 0) {
        Put("; GetEmfFileDC32 on ");
        PutQuoted(fileName, StringLength(fileName, read.fileName));
        PutChar('\n');
    }
    PutKeyword(keyword);
    if (read.frame != 0) {
        PutRectField(keyword, grammar::FIELD_PAGE_FRAME, frame);
    } else {
        PutOptionName(keyword, grammar::FIELD_PAGE_FRAME);
        Put("none");
    }
    PutDevice(keyword, devMode, deviceName, &read);
    CaptureAnswersCall(keyword, call);
}

void CaptureClip(const RECT *clip)
{
    PutKeyword(grammar::KEYWORD_CLIP);
    PutChar(' ');
    if (clip == NULL) {
        Put("none");
        return;
    }
    PutRect(clip);
}

// rectangles: xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc.
static void PutTransfer(grammar::KeywordId keyword, uint32_t source, const int32_t *rectangles, uint32_t rop,
                        uint32_t brushName, uint32_t modeName)
{
    PutKeyword(keyword);
    PutChar(' ');
    PutPoint(rectangles[0], rectangles[1]);
    PutChar(' ');
    PutPoint(rectangles[2], rectangles[3]);
    PutChar(' ');
    if (source == 0) {
        Put("none");
    } else {
        PutNumbered("bm", source);
        PutOptionName(keyword, grammar::FIELD_SOURCE_RECT);
        PutPoint(rectangles[4], rectangles[5]);
        PutChar(',');
        PutPoint(rectangles[6], rectangles[7]);
    }
    PutField(keyword, grammar::FIELD_ROP3, rop);
    PutSettingField(keyword, grammar::FIELD_BRUSH, "b", brushName);
    PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
}

void CaptureRaster(const int32_t *rectangles, const BITMAP *source, uint32_t rop, const LOGBRUSH *brush,
                   const DrawModeRecord *drawMode)
{
    TransferRead read;
    RasterReads(source, brush, drawMode, brush != NULL && PatternExpected(brush), &read);
    uint32_t sourceName = source != NULL ? WriteDeviceBitmap(source) : 0;
    uint32_t brushName = WriteBrush(brush, &read.brush);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutTransfer(grammar::KEYWORD_RASTER, sourceName, rectangles, rop, brushName, modeName);
}

void CaptureDib(const int32_t *rectangles, const void *bits, const BITMAPINFO *info, uint32_t rop,
                const LOGBRUSH *brush, const DrawModeRecord *drawMode)
{
    TransferRead read;
    DibReads(info, bits, brush, drawMode, brush != NULL && PatternExpected(brush), &read);
    uint32_t sourceName = WriteDib(info, read.source, bits, read.sourceBits);
    uint32_t brushName = WriteBrush(brush, &read.brush);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    PutTransfer(grammar::KEYWORD_DIB, sourceName, rectangles, rop, brushName, modeName);
}

void CaptureText(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, const RECT *rectangle,
                 const char *string, uint32_t count, const int32_t *advances, const DrawModeRecord *drawMode,
                 bool fontMade, uint32_t call)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_TEXT;
    TextRead read;
    TextReads(drawMode, options, rectangle, count, advances, fontMade, &read);
    uint32_t fontName = WriteFont(font);
    uint32_t modeName = WriteDrawMode(drawMode, read.modeFields);
    if (!fontMade) {
        // The real DLL read nothing but the font record and the scalars, so
        // neither is anything else read here. The line replays the same
        // failure with an empty string and the built-in draw mode.
        Put("; the font could not be made: the real DLL read none of the ");
        PutUnsigned(count);
        Put((options & ETO_GLYPH_INDEX) != 0 ? " glyphs" : " bytes");
        Put(", nor the rectangle, advances or draw mode\n");
        count = 0;
    }
    PutKeyword(keyword);
    PutChar(' ');
    PutPoint(x, y);
    if ((options & ETO_GLYPH_INDEX) != 0) {
        PutOptionName(keyword, grammar::FIELD_GLYPHS);
        PutNumberList(NULL, (const uint16_t *)string, count);
    } else {
        PutChar(' ');
        PutQuoted(string, count);
    }
    PutSettingField(keyword, grammar::FIELD_FONT, "f", fontName);
    if (fontMade) {
        PutSettingField(keyword, grammar::FIELD_DRAWMODE, "m", modeName);
    }
    if (options != 0) {
        PutField(keyword, grammar::FIELD_TEXT_OPTIONS, options);
    }
    if (read.rectangle != 0) {
        PutRectField(keyword, grammar::FIELD_TEXT_RECT, rectangle);
    }
    if (fontMade && advances != NULL) {
        // with ETO_PDY, GDI reads an x and a y advance a glyph
        PutOptionName(keyword, grammar::FIELD_ADVANCES);
        PutNumberList(advances, NULL, read.advances / 4);
    }
    CaptureAnswersCall(keyword, call);
}

// Before TextOut32 runs: the font and the scalars, which it reads first and
// whatever happens; the text line keeps the font's name as long as the
// record is unchanged.
uint32_t CaptureTextCall(const LOGFONTA *font, int32_t x, int32_t y, uint32_t options, uint32_t count)
{
    const grammar::KeywordId keyword = grammar::KEYWORD_CALL;
    uint32_t fontName = WriteFont(font);
    PutKeyword(keyword);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_CALLS, grammar::CALL_TEXT));
    PutOptionName(keyword, grammar::FIELD_TEXT_POINT);
    PutPoint(x, y);
    PutField(keyword, grammar::FIELD_TEXT_OPTIONS, options);
    PutField(keyword, grammar::FIELD_COUNT, count);
    PutSettingField(keyword, grammar::FIELD_FONT, "f", fontName);
    return CaptureCallEnd();
}
