// The field table of the job parser: where each grammar field's value is
// stored in the line's records, and the checks a row cannot state that run
// as a value is stored.
#include "job_fields.h"

#include "job_bitmaps.h"
#include "job_files.h"
#include "job_values.h"
#include "requestmodel/output_styles.h"

namespace job {
namespace parse {

// '|' ends a polygon of a poly-polygon style.
bool EndPolygon(Parser &p, LineRecord *record)
{
    Request &request = record->request;
    if (FindOutputStyle(request.style) == nullptr || FindOutputStyle(request.style)->reads != OUT_READS_POLYGONS) {
        return Fail(p, "'|' separates the polygons of a poly-polygon style only");
    }
    if (record->polygon.empty()) {
        return Fail(p, "expected points before '|'");
    }
    request.polygonCounts.push_back((int32_t)record->polygon.size());
    request.points.insert(request.points.end(), record->polygon.begin(), record->polygon.end());
    record->polygon.clear();
    return true;
}

namespace {

// A raster or dib request's source bitmap, and what it makes the default.
bool Source(Parser &p, int number, Request *request)
{
    if (number < 0 && request->kind == Kind::Dib) {
        return Fail(p, "a dib request needs a bitmap, not none");
    }
    request->source = number;
    request->rop = number < 0 ? PATCOPY : SRCCOPY;
    request->cxSrc = number < 0 ? 0 : p.job->bitmaps[number].width;
    request->cySrc = number < 0 ? 0 : p.job->bitmaps[number].height;
    return true;
}

// Where a value goes as it is: a record member (a number of a list when
// part is 0 or more), and the flag that says the field was given.
struct Slot {
    Field field;
    void *at;
    void (*store)(void *at, const Value &value, int part);
    int part;
    bool *given;
};

template <typename T> void StoreSlot(void *at, const Value &value, int part)
{
    *(T *)at = (T)(part < 0 ? value.number : value.numbers[part]);
}
template <> void StoreSlot<Rect>(void *at, const Value &value, int)
{
    *(Rect *)at = Rect{value.numbers[0], value.numbers[1], value.numbers[2], value.numbers[3]};
}
template <> void StoreSlot<std::string>(void *at, const Value &value, int)
{
    *(std::string *)at = value.text;
}
template <> void StoreSlot<std::vector<int32_t>>(void *at, const Value &value, int)
{
    *(std::vector<int32_t> *)at = value.numbers;
}

template <typename T> Slot To(Field field, T *member, int part = -1, bool *given = nullptr)
{
    return Slot{field, member, StoreSlot<T>, part, given};
}

} // namespace

// Every field stored as it is, by the members it fills.
bool StoreInSlots(Parser &p, Field field, const Value &value, LineRecord *r)
{
    using namespace grammar;
    PenSetting &pen = r->pen;
    BrushSetting &brush = r->brush;
    DrawModeSetting &mode = r->mode;
    FontSetting &font = r->font;
    BitmapSetting &bitmap = r->bitmap;
    Request &q = r->request;
    // clang-format off
    const Slot slots[] = {
        To(FIELD_NAME, &pen.name), To(FIELD_NAME, &brush.name), To(FIELD_NAME, &mode.name), To(FIELD_NAME, &font.name),
        To(FIELD_NAME, &bitmap.name), To(FIELD_SELECT_KIND, &r->selectKind), To(FIELD_SELECT_NAME, &r->selected),
        To(FIELD_PEN_STYLE, &pen.style), To(FIELD_PEN_WIDTH, &pen.width), To(FIELD_PEN_WIDTH_Y, &pen.widthY),
        To(FIELD_PEN_COLOR, &pen.color), To(FIELD_BRUSH_STYLE, &brush.style), To(FIELD_BRUSH_COLOR, &brush.color),
        To(FIELD_BRUSH_HATCH, &brush.hatch), To(FIELD_BRUSH_PATTERN, &brush.bitmap), To(FIELD_ROP2, &mode.rop2),
        To(FIELD_BK_MODE, &mode.bkMode), To(FIELD_BK_COLOR, &mode.bkColor), To(FIELD_TEXT_COLOR, &mode.textColor),
        To(FIELD_USE_BK_MODE, &mode.useBkMode), To(FIELD_FONT_HEIGHT, &font.height), To(FIELD_FONT_WIDTH, &font.width),
        To(FIELD_FONT_WEIGHT, &font.weight), To(FIELD_FONT_ESCAPEMENT, &font.escapement),
        To(FIELD_FONT_ORIENTATION, &font.orientation), To(FIELD_FONT_ANGLE, &font.escapement),
        To(FIELD_FONT_ANGLE, &font.orientation), To(FIELD_FONT_ITALIC, &font.italic),
        To(FIELD_FONT_UNDERLINE, &font.underline), To(FIELD_FONT_STRIKEOUT, &font.strikeOut),
        To(FIELD_FONT_CHARSET, &font.charSet), To(FIELD_FONT_OUT_PRECISION, &font.outPrecision),
        To(FIELD_FONT_CLIP_PRECISION, &font.clipPrecision), To(FIELD_FONT_QUALITY, &font.quality),
        To(FIELD_FONT_PITCH_AND_FAMILY, &font.pitchAndFamily), To(FIELD_FONT_FACE, &font.face),
        To(FIELD_BITMAP_BITS_PIXEL, &bitmap.bitsPixel), To(FIELD_BITMAP_PLANES, &bitmap.planes),
        To(FIELD_BITMAP_WIDTH_BYTES, &bitmap.widthBytes), To(FIELD_BITMAP_TYPE, &bitmap.type),
        To(FIELD_BITMAP_DEPTH, &bitmap.depth), To(FIELD_BITMAP_INFO_SIZE, &bitmap.infoSize),
        To(FIELD_BITMAP_BITS_SIZE, &bitmap.bitsSize), To(FIELD_PEN, &q.pen), To(FIELD_BRUSH, &q.brush),
        To(FIELD_DRAWMODE, &q.drawMode), To(FIELD_FONT, &q.font), To(FIELD_EXPECT, &q.expect, -1, &q.hasExpect),
        To(FIELD_CLIP, &q.clip, -1, &q.hasClip), To(FIELD_PAGE_SIZE, &q.sizeX, 0, &q.hasSize),
        To(FIELD_PAGE_SIZE, &q.sizeY, 1), To(FIELD_PAGE_FRAME, &q.frame, -1, &q.hasFrame),
        To(FIELD_PAGE_DEVICE, &q.device, -1, &q.hasDevice),
        To(FIELD_PAGE_DPI, &q.dpi), To(FIELD_STYLE, &q.style), To(FIELD_GEOMETRIC, &q.geometricPenStyle),
        To(FIELD_SCAN_FLAG, &q.scanFlag), To(FIELD_COUNT, &r->count, -1, &r->countGiven),
        To(FIELD_POLYGON_COUNTS, &r->explicitCounts, -1, &r->countsGiven), To(FIELD_RELEASE_TIME, &q.autoRelease),
        To(FIELD_DEST, &q.xDest, 0), To(FIELD_DEST, &q.yDest, 1), To(FIELD_DEST_SIZE, &q.cxDest, 0),
        To(FIELD_DEST_SIZE, &q.cyDest, 1), To(FIELD_SOURCE_RECT, &q.xSrc, 0), To(FIELD_SOURCE_RECT, &q.ySrc, 1),
        To(FIELD_SOURCE_RECT, &q.cxSrc, 2), To(FIELD_SOURCE_RECT, &q.cySrc, 3), To(FIELD_ROP3, &q.rop),
        To(FIELD_TEXT_POINT, &q.x, 0), To(FIELD_TEXT_POINT, &q.y, 1), To(FIELD_TEXT_OPTIONS, &q.options),
        To(FIELD_TEXT_STRING, &q.bytes, -1, &r->hasString), To(FIELD_TEXT_RECT, &q.rect, -1, &q.hasRect),
        To(FIELD_ADVANCES, &q.advances, -1, &q.hasAdvances), To(FIELD_ADVANCE, &r->uniformAdvance, -1, &r->uniform),
        To(FIELD_RELEASE, &q.release), To(FIELD_DELETE_OBJECT, &q.object),
        To(FIELD_DELETE_SELECT_BACK, &q.selectBack), To(FIELD_SURFACE, &q.surface),
        To(FIELD_RESULT_OF, &r->resultOf, -1, &r->resultOfGiven), To(FIELD_HANDED_PEN, &q.handed[0], -1, &q.hasHanded),
        To(FIELD_HANDED_OLD_PEN, &q.handed[1]), To(FIELD_HANDED_BRUSH, &q.handed[2]),
        To(FIELD_HANDED_OLD_BRUSH, &q.handed[3]), To(FIELD_HANDED_PATTERN, &q.handed[4]),
        To(FIELD_CALL_KIND, &r->callKind), To(FIELD_CALL_OF, &r->callOf, -1, &r->callOfGiven),
        To(FIELD_POINT_RAW_FILE, &r->rawFile, -1, &r->rawGiven), To(FIELD_POINT_RAW_AT, &r->rawAt, -1, &r->rawAtGiven),
    };
    // clang-format on
    bool stored = false;
    for (const Slot &slot : slots) {
        if (slot.field == field) {
            slot.store(slot.at, value, slot.part);
            stored = slot.given == nullptr || (*slot.given = true);
        }
    }
    return stored || Fail(p, "this line has no place for that value"); // a grammar row without a field
}

// The resolutions the workbench printer's PPD lists; any other it would
// silently replace with its own.
static bool PrinterResolution(Parser &p, int32_t dpi)
{
    if (dpi != 150 && dpi != 300 && dpi != 600 && dpi != 1200 && dpi != 2400) {
        return Fail(p, "dpi= takes 150, 300, 600, 1200 or 2400, not " + std::to_string(dpi));
    }
    return true;
}

// A page's frame, device, DEVMODE and resolution.
static bool StorePageField(Parser &p, Field field, const Value &value, LineRecord *record)
{
    const std::vector<int32_t> &n = value.numbers;
    switch (field) {
    case grammar::FIELD_PAGE_FRAME:
        if (value.none) {
            return record->request.nullFrame = true; // captures: a page without a frame
        }
        if (n[2] <= n[0] || n[3] <= n[1]) {
            return Fail(p, "a frame needs right > left and bottom > top");
        }
        return StoreInSlots(p, field, value, record);
    case grammar::FIELD_PAGE_DEVICE:
        if (value.none && !p.job->capture) {
            // a hand-written device=none has always named a printer "none"
            Value named = value;
            named.none = false;
            named.text = "none";
            return StoreInSlots(p, field, named, record);
        }
        record->request.nullDevice = value.none; // captures: a driver that passed no name
        return value.none || StoreInSlots(p, field, value, record);
    case grammar::FIELD_PAGE_DEVMODE:
        return HexBytes(p, value.text, &record->request.devMode);
    default:
        return PrinterResolution(p, (int32_t)value.number) && StoreInSlots(p, field, value, record);
    }
}

// The checks a row cannot state, and the fields that do more than fill a
// member; every other value goes to its slots.
bool Store(Parser &p, Field field, const Value &value, LineRecord *record)
{
    const int32_t number = (int32_t)value.number;
    const std::vector<int32_t> &n = value.numbers;
    switch (field) {
    case grammar::FIELD_FONT_FACE:
        // a driver may fill all 32 bytes of LOGFONTA's face, without a NUL
        if (value.text.size() > (p.job->capture ? 32u : 31u)) {
            return Fail(p, "a face name has at most 31 bytes (LOGFONTA), not " + std::to_string(value.text.size()));
        }
        break;
    case grammar::FIELD_BRUSH_PATTERN:
        record->brush.nullPattern = number < 0;
        break;
    case grammar::FIELD_BITMAP_SHAPE:
    case grammar::FIELD_BITMAP_SIZE:
    case grammar::FIELD_BITMAP_FILE:
    case grammar::FIELD_BITMAP_DEPTH:
    case grammar::FIELD_BITMAP_COLORS:
    case grammar::FIELD_BITMAP_INFO_SIZE:
    case grammar::FIELD_BITMAP_BITS_SIZE:
        return BitmapField(p, field, value, record);
    case grammar::FIELD_SELECT_NAME:
        if (record->selectKind == grammar::SETTING_FONT && number < 0) {
            return Fail(p, "text always needs a font; select another one instead of none");
        }
        break;
    case grammar::FIELD_CLIP:
        return value.none || StoreInSlots(p, field, value, record);
    case grammar::FIELD_PAGE_FRAME:
    case grammar::FIELD_PAGE_DEVICE:
    case grammar::FIELD_PAGE_DEVMODE:
    case grammar::FIELD_PAGE_DPI:
        return StorePageField(p, field, value, record);
    case grammar::FIELD_POINTS:
        return value.none ? EndPolygon(p, record) : PointItem(p, value.text, &record->polygon);
    case grammar::FIELD_POINT_FILE:
        return PointFile(p, value.text, &record->polygon);
    case grammar::FIELD_SOURCE:
        return Source(p, number, &record->request);
    case grammar::FIELD_SOURCE_RECT:
        if (record->request.source < 0) {
            return Fail(p, "src= needs a source bitmap");
        }
        break;
    case grammar::FIELD_GLYPHS:
        record->request.glyphs.insert(record->request.glyphs.end(), n.begin(), n.end());
        return record->hasGlyphs = true;
    case grammar::FIELD_SURFACE:
        if (number < 0 || number > p.order.pageLines) {
            return Fail(p, "surface=" + std::to_string(number) + " names no page line before it (" +
                               std::to_string(p.order.pageLines) + " so far)");
        }
        break;
    default:
        break;
    }
    return StoreInSlots(p, field, value, record);
}

} // namespace parse
} // namespace job
