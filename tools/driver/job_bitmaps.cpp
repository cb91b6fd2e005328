// Bitmap settings of a job: the bitmap line's shape and size, and the rows
// that follow it up to its `end`.
#include "job_bitmaps.h"

#include "job_fields.h"
#include "job_files.h"
#include "job_values.h"

namespace job {
namespace parse {

// A bitmap line's fields that are checked or do more than fill a member:
// the shape word, then its WxH (rows follow), or file=.
bool BitmapField(Parser &p, Field field, const Value &value, LineRecord *record)
{
    BitmapSetting &bitmap = record->bitmap;
    const int32_t number = (int32_t)value.number;
    switch (field) {
    case grammar::FIELD_BITMAP_SHAPE:
        bitmap.mono = number == grammar::SHAPE_MONO;
        bitmap.raw = number == grammar::SHAPE_BITS  ? BitmapSetting::Raw::Device
                     : number == grammar::SHAPE_DIB ? BitmapSetting::Raw::Dib
                                                    : BitmapSetting::Raw::None;
        record->fromRows = number == grammar::SHAPE_DIB; // a dib carries its size in its header: no WxH follows
        return record->hasShape = true;
    case grammar::FIELD_BITMAP_SIZE:
        bitmap.width = value.numbers[0], bitmap.height = value.numbers[1];
        if (bitmap.raw == BitmapSetting::Raw::Device) { // a driver's BITMAP as it was, whatever its size
            bitmap.widthBytes = ((bitmap.width < 0 ? -bitmap.width : bitmap.width) + 15) / 16 * 2;
        } else if (!BitmapSizeFits(bitmap.width, bitmap.height)) {
            return Fail(p, "a bitmap is 1 to 4096 pixels each way, not " + std::to_string(bitmap.width) + "x" +
                               std::to_string(bitmap.height));
        }
        return record->fromRows = true;
    case grammar::FIELD_BITMAP_FILE:
        return BitmapFile(p, value.text, record);
    case grammar::FIELD_BITMAP_DEPTH:
        if (number != 24 && number != 32) {
            return Fail(p, "expected depth=24 or depth=32 for a colour bitmap, not " + std::to_string(number));
        }
        break;
    case grammar::FIELD_BITMAP_COLORS:
        bitmap.dibColors[0] = RgbToColorRef(value.numbers[0]); // the swap is its own inverse
        bitmap.dibColors[1] = RgbToColorRef(value.numbers[1]);
        return true;
    case grammar::FIELD_BITMAP_INFO_SIZE:
        if (number > 0 && number < 4) {
            return Fail(p,
                        "a dib's info= is 0, or 4 bytes and more (its header's size), not " + std::to_string(number));
        }
        break;
    default: // bits=none: captures of a bitmap without bits
        if (value.none) {
            return bitmap.noBits = true;
        }
    }
    return StoreInSlots(p, field, value, record);
}

// A dib holds every byte its header promised (rows or file).
static bool DibComplete(Parser &p, const BitmapSetting &bitmap)
{
    if (bitmap.raw == BitmapSetting::Raw::Dib && bitmap.bytes.size() != (size_t)bitmap.infoSize + bitmap.bitsSize) {
        return Fail(p, "bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.infoSize + bitmap.bitsSize) +
                           " bytes (info= and bits=), found " + std::to_string(bitmap.bytes.size()));
    }
    return true;
}

// A bitmap line: from a file it is complete, else its rows follow.
bool FinishBitmap(Parser &p, LineRecord *record)
{
    if (record->hasShape != record->fromRows) {
        return Fail(p, "expected the bitmap's size as WxH after 'mono' or 'color'");
    }
    if (!record->fromRows && !record->fromFile) {
        return Fail(p, "expected 'mono WxH', 'color WxH' or file=PATH for bitmap '" + record->bitmap.name + "'");
    }
    if (record->fromFile) {
        return DibComplete(p, record->bitmap) && Add(&p.job->bitmaps, record->bitmap);
    }
    p.bitmap = record->bitmap;
    if (p.bitmap.raw == BitmapSetting::Raw::None) {
        p.bitmap.pixels.reserve((size_t)p.bitmap.width * p.bitmap.height);
    }
    p.inBitmap = true, p.bitmapLine = p.line, p.bitmapRows = 0;
    return true;
}

namespace {

// A bitmap's `end`: every row, or every byte a dib's header promised.
bool EndBitmap(Parser &p)
{
    const BitmapSetting &bitmap = p.bitmap;
    if (bitmap.raw == BitmapSetting::Raw::None && p.bitmapRows != bitmap.height) {
        return Fail(p, "bitmap '" + bitmap.name + "' needs " + std::to_string(bitmap.height) + " rows, found " +
                           std::to_string(p.bitmapRows));
    }
    if (!DibComplete(p, bitmap)) {
        return false;
    }
    p.inBitmap = false;
    return Add(&p.job->bitmaps, bitmap);
}

} // namespace

// A row of a mono bitmap: W characters 0/1, or its bytes in hex (two digits
// per 8 pixels, high bit first). A row of a colour bitmap: W tokens RRGGBB.
// A bits or dib bitmap: its bytes in hex rows of any length.
bool BitmapRow(Parser &p, const std::vector<Token> &tokens)
{
    BitmapSetting &bitmap = p.bitmap;
    if (tokens.size() == 1 && Lower(tokens[0].text) == "end") {
        return EndBitmap(p);
    }
    std::string row;
    for (const Token &token : tokens) {
        row += token.text;
        if (bitmap.raw != BitmapSetting::Raw::None && !HexBytes(p, token.text, &bitmap.bytes)) {
            return false;
        }
    }
    if (bitmap.raw != BitmapSetting::Raw::None) {
        return true;
    }
    if (p.bitmapRows++ >= bitmap.height) {
        return Fail(p,
                    "bitmap '" + bitmap.name + "' has " + std::to_string(bitmap.height) + " rows; expected 'end' here");
    }
    const size_t width = (size_t)bitmap.width, hexDigits = (width + 7) / 8 * 2;
    std::vector<uint8_t> bytes;
    if (bitmap.mono && row.size() == width && row.find_first_not_of("01") == std::string::npos) {
        for (char c : row) {
            bitmap.pixels.push_back(c == '1' ? 1 : 0);
        }
    } else if (bitmap.mono && row.size() == hexDigits && row.find_first_not_of(kHexDigits) == std::string::npos) {
        HexBytes(p, row, &bytes);
        for (size_t x = 0; x < width; ++x) {
            bitmap.pixels.push_back((bytes[x / 8] >> (7 - x % 8)) & 1);
        }
    } else if (bitmap.mono) {
        return Fail(p, "expected a row of " + std::to_string(width) + " pixels as 0/1, or " +
                           std::to_string(hexDigits) + " hex digits, not '" + row + "'");
    } else if (tokens.size() != width) {
        return Fail(p, "expected a row of " + std::to_string(width) + " colours RRGGBB, found " +
                           std::to_string(tokens.size()));
    }
    for (size_t x = 0; !bitmap.mono && x < width; ++x) {
        const std::string text = tokens[x].text[0] == '#' ? tokens[x].text.substr(1) : tokens[x].text;
        int64_t number = 0;
        if (text.size() != 6 || !ParseInteger("0x" + text, &number)) {
            return Fail(p, "expected a pixel colour RRGGBB, not '" + tokens[x].text + "'");
        }
        bitmap.pixels.push_back((uint32_t)number);
    }
    return true;
}

} // namespace parse
} // namespace job
