// Job files for the driver simulator: a line-oriented text that a driver
// engineer writes by hand, one request per line, parsed here into plain
// records before anything is called. Portable C++ (no <windows.h>), so the
// parser builds and is tested on the host as well as in the Windows tool.
#ifndef QUILLREC_JOB_PARSER_H
#define QUILLREC_JOB_PARSER_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace grammar {
struct Keyword;
}

namespace job {

// A COLORREF: 0x00BBGGRR.
typedef uint32_t ColorRef;

struct Point {
    int16_t x;
    int16_t y;
};

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The fields of a LOGPEN the driver fills.
struct PenSetting {
    std::string name;
    uint32_t style = 0;
    int32_t width = 1;
    int32_t widthY = 0; // lopnWidth.y, not consulted by the DLL but handed to GDI
    ColorRef color = 0;
};

// Pixels of a bitmap, top row first. A monochrome bitmap holds 0 or 1 per
// pixel, as the bits of a one-bit device bitmap (0 draws in the text colour,
// 1 in the background colour); a colour bitmap holds 0x00RRGGBB.
struct BitmapSetting {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    bool mono = false;
    int depth = 32;                        // colour device bitmaps: 24 or 32 bits per pixel
    std::vector<uint32_t> pixels;          // width * height entries
    uint32_t dibColors[2] = {0, 0xFFFFFF}; // colour table (0x00RRGGBB) when a mono bitmap goes out as a DIB

    // A bitmap exactly as a driver held it (`bits` and `dib` bitmaps, which
    // captures write): every BITMAP field, or a DIB's header, colour table
    // and bits, byte for byte. pixels stays empty.
    enum class Raw { None, Device, Dib } raw = Raw::None;
    int32_t type = 0;       // bmType
    int32_t widthBytes = 0; // bmWidthBytes
    uint16_t planes = 1;    // bmPlanes
    uint16_t bitsPixel = 1; // bmBitsPixel
    uint32_t infoSize = 0;  // dib: bytes of header and colour table at the start of bytes
    uint32_t bitsSize = 0;  // dib: bytes of bits after them
    bool noBits = false;    // bmBits (or the DIB's bits pointer) is null
    std::vector<uint8_t> bytes;
};

// The fields of a LOGBRUSH; for BS_PATTERN, bitmap names the pattern.
struct BrushSetting {
    std::string name;
    uint32_t style = 0;
    ColorRef color = 0;
    uint32_t hatch = 0;
    int bitmap = -1;          // index into Job::bitmaps
    bool nullPattern = false; // pattern=none: a pattern brush whose lbHatch is 0
};

struct DrawModeSetting {
    std::string name;
    uint32_t rop2 = 13;  // R2_COPYPEN
    uint32_t bkMode = 1; // TRANSPARENT
    ColorRef bkColor = 0xFFFFFF;
    ColorRef textColor = 0;
    uint32_t useBkMode = 0;
};

// The fields of a LOGFONTA.
struct FontSetting {
    std::string name;
    int32_t height = -16, width = 0, escapement = 0, orientation = 0, weight = 400;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::string face = "DejaVu Sans";
};

enum class Kind { Page, Clip, Output, Raster, Dib, Text, Delete, Close };

// Which objects handed out by a scan bracket a `delete` line releases; Raw
// gives back the handles the line names (captures).
enum class Release { Pen, Brush, Pattern, Scan, Raw };

// One request, with the settings in force resolved to indices into the job's
// tables (-1: the record is not passed).
struct Request {
    Kind kind = Kind::Close;
    int line = 0;
    // the page line (1 the first) whose surface the request draws on, 0 for
    // none; a page line's own number
    int surface = 0;
    // false for a capture's request the real DLL never answered: the capture
    // ends in a crash there, and the request is not sent again
    bool replay = true;

    int pen = -1;
    int brush = -1;
    int drawMode = -1;
    int font = -1;

    // page
    std::string device = "DISPLAY";
    bool nullDevice = false;      // device=none: GetEmfFileDC32 gets no name
    bool hasDevice = false;       // else the workbench printer
    int32_t dpi = 0;              // the printer's resolution; 0: its default
    bool hasFrame = false;
    bool nullFrame = false;       // frame=none: GetEmfFileDC32 gets no frame
    Rect frame = {0, 0, 0, 0};    // 0.01 mm
    std::vector<uint8_t> devMode; // the DEVMODEA bytes, when the driver passed one
    bool hasSize = false;
    int32_t sizeX = 0; // logical units, turned into a frame by the reference device's resolution
    int32_t sizeY = 0;

    // clip, output, text
    bool hasClip = false;
    Rect clip = {0, 0, 0, 0};

    // output
    uint16_t style = 0;
    uint16_t scanFlag = 0;
    uint16_t count = 0;
    std::vector<Point> points;
    std::vector<int32_t> polygonCounts; // poly-polygon styles only
    uint32_t geometricPenStyle = 0;
    bool autoRelease = true; // OUT_ENDSCAN: release the bracket's objects right after

    // raster, dib
    int32_t xDest = 0, yDest = 0, cxDest = 0, cyDest = 0;
    int32_t xSrc = 0, ySrc = 0, cxSrc = 0, cySrc = 0;
    int source = -1; // index into Job::bitmaps; -1 for a raster request without source
    uint32_t rop = 0;

    // text
    int32_t x = 0, y = 0;
    uint32_t options = 0;
    bool hasRect = false;
    Rect rect = {0, 0, 0, 0};
    std::string bytes;            // the string's bytes after escapes
    std::vector<uint16_t> glyphs; // ETO_GLYPH_INDEX requests
    bool hasAdvances = false;
    std::vector<int32_t> advances;

    // delete
    Release release = Release::Scan;
    uint32_t object = 0, selectBack = 0; // Release::Raw: the capture's handles

    // beginscan in a capture: the handles the capture's run was handed out
    // (pen, oldPen, brush, oldBrush, pattern), for deletes that name them raw
    bool hasHanded = false;
    uint32_t handed[5] = {0, 0, 0, 0, 0};

    // the result the export must give (0 unless `expect=` says otherwise)
    bool hasExpect = false;
    int32_t expect = 0;
};

struct Job {
    std::string path;
    std::vector<PenSetting> pens;
    std::vector<BrushSetting> brushes;
    std::vector<DrawModeSetting> drawModes;
    std::vector<FontSetting> fonts;
    std::vector<BitmapSetting> bitmaps;
    std::vector<Request> requests;
    int pages = 0;
    // A capture (its first line says so) replays every call order the DLL
    // accepts as it came; a hand-written job keeps the order rules.
    bool capture = false;
    std::vector<std::string> warnings; // "path:line: warning: ..."
};

// Reads a file named in a job (a bitmap or a point list); false when it
// cannot be read.
typedef std::function<bool(const std::string &path, std::string *contents)> FileReader;

// A decimal or 0x hex number with an optional sign, at most 32 bits of
// magnitude.
bool ParseInteger(const std::string &text, int64_t *value);

// Reads a whole file from disk.
bool ReadWholeFile(const std::string &path, std::string *contents);

// Parses job text. path names the job in messages ("path:line: ..."), and
// files named in the job are looked up next to it. On failure returns false
// with one message naming the line and what was expected.
bool ParseJob(const std::string &text, const std::string &path, Job *job, std::string *error,
              const FileReader &reader = ReadWholeFile);

// Reads and parses a job file.
bool ParseJobFile(const std::string &path, Job *job, std::string *error);

// The job format's reference, from the grammar table: every keyword with its
// arguments and options, the output styles and the named constants.
std::string JobReference();

// A keyword's usage line: "raster X,Y W,H BITMAP|none".
std::string Usage(const grammar::Keyword &keyword);

// A constant's name as a job may write it: without its set's prefix and
// suffix ("PS_DASH" in "PS_" is "DASH").
std::string ShortName(const char *full, const char *prefix, const char *suffix);

// The bitmaps a job may hold: 1 to 4096 pixels each way, from rows or files.
inline bool BitmapSizeFits(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= 4096 && height <= 4096;
}

// Image files a bitmap may come from: Windows BMP (1, 4, 8, 24, 32 bits,
// uncompressed) and the netpbm text formats P1 (PBM) and P3 (PPM). Fills a
// bitmap's size and pixels; a PBM and a one-bit BMP become monochrome.
bool DecodeImage(const std::string &contents, BitmapSetting *bitmap, std::string *error);

} // namespace job

#endif
