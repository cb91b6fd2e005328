// The driver simulator's job parser: what a hand-written job line turns
// into, and that every mistake names its file and line.
#include "job_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>

#include "jobformat/job_grammar.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// Files a job names, held in memory.
struct Files {
    std::map<std::string, std::string> contents;
    job::FileReader Reader()
    {
        return [this](const std::string &path, std::string *out) {
            auto found = contents.find(path);
            if (found == contents.end()) {
                return false;
            }
            *out = found->second;
            return true;
        };
    }
};

job::Job Parse(const std::string &text, Files *files = nullptr)
{
    job::Job parsed;
    std::string error;
    Files none;
    bool ok = job::ParseJob(text, "jobs/test.job", &parsed, &error, (files ? files : &none)->Reader());
    EXPECT_TRUE(ok) << error;
    return parsed;
}

std::string ParseError(const std::string &text, Files *files = nullptr)
{
    job::Job parsed;
    std::string error;
    Files none;
    EXPECT_FALSE(job::ParseJob(text, "jobs/test.job", &parsed, &error, (files ? files : &none)->Reader()))
        << "parsed although it should not:\n"
        << text;
    return error;
}

// The requests of a one-page job, without its page and close.
std::vector<job::Request> Drawing(const job::Job &parsed)
{
    std::vector<job::Request> drawing;
    for (const job::Request &request : parsed.requests) {
        if (request.kind != job::Kind::Page && request.kind != job::Kind::Close) {
            drawing.push_back(request);
        }
    }
    return drawing;
}

TEST(JobParserTest, APageOfRequestsBecomesRecordsInOrderWithTheirLines)
{
    // a UTF-8 byte-order mark, as Windows editors write one, is no part of line 1
    job::Job parsed = Parse("\xEF\xBB\xBF# a comment line\n"
                            "page size=800,600\n"
                            "clip 0,0,400,300   ; trailing comment\n"
                            "output rectangle 10,20 110,220\n"
                            "text 5,6 \"Hi\"\n"
                            "close\n");
    ASSERT_EQ(parsed.requests.size(), 5u);
    EXPECT_EQ(parsed.pages, 1);
    const job::Request &page = parsed.requests[0];
    EXPECT_EQ(page.kind, job::Kind::Page);
    EXPECT_EQ(page.line, 2);
    EXPECT_TRUE(page.hasSize);
    EXPECT_EQ(page.sizeX, 800);
    EXPECT_EQ(page.sizeY, 600);
    EXPECT_EQ(page.device, "DISPLAY");
    EXPECT_FALSE(page.hasDevice); // recorded against the workbench printer
    EXPECT_EQ(page.dpi, 0);
    EXPECT_EQ(parsed.requests[1].kind, job::Kind::Clip);
    EXPECT_EQ(parsed.requests[1].clip.right, 400);
    const job::Request &rectangle = parsed.requests[2];
    EXPECT_EQ(rectangle.line, 4);
    EXPECT_EQ(rectangle.style, 6);
    EXPECT_EQ(rectangle.count, 2);
    ASSERT_EQ(rectangle.points.size(), 2u);
    EXPECT_EQ(rectangle.points[1].x, 110);
    EXPECT_EQ(rectangle.points[1].y, 220);
    EXPECT_EQ(parsed.requests[3].bytes, "Hi");
    EXPECT_EQ(parsed.requests[4].kind, job::Kind::Close);
}

TEST(JobParserTest, OutputStylesAreKnownByEveryNameAndByNumber)
{
    struct Row {
        const char *name;
        uint16_t code;
    } rows[] = {
        {"OUT_RECTANGLE", 6},
        {"out_rectangle", 6},
        {"rectangle", 6},
        {"Ellipse", 7},
        {"circle", 55},
        {"bezier", 1},
        {"polyline", 18},
        {"windpolygon", 20},
        {"ALTPOLYGON", 22},
        {"0x4014", 0x4014},
        {"16406", 0x4016},
        {"scanlines", 4},
        {"3", 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        job::Job parsed = Parse(std::string("page\noutput ") + row.name + " 0,0 1,1 2,2 3,3\n");
        std::vector<job::Request> drawing = Drawing(parsed);
        ASSERT_EQ(drawing.size(), 1u);
        EXPECT_EQ(drawing[0].style, row.code);
    }
}

TEST(JobParserTest, ColoursAreReadAsCOLORREFs)
{
    struct Row {
        const char *text;
        uint32_t colorRef;
    } rows[] = {
        {"#FF0000", 0x0000FF},
        {"#0000ff", 0xFF0000},
        {"#123456", 0x563412},
        {"red", 0x0000FF},
        {"Navy", 0x800000},
        {"white", 0xFFFFFF},
        {"rgb(1,2,3)", 0x030201},
        {"0x02123456", 0x02123456}, // a COLORREF as the driver holds it, high byte kept
        {"0", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        job::Job parsed = Parse(std::string("pen p color=") + row.text + "\n");
        ASSERT_EQ(parsed.pens.size(), 1u);
        EXPECT_EQ(parsed.pens[0].color, row.colorRef);
    }
}

TEST(JobParserTest, SettingsTakeNamedConstantsFlagsAndNumbers)
{
    job::Job parsed = Parse("pen a style=PS_DASH width=2 color=black\n"
                            "pen b style=insideframe\n"
                            "brush h style=hatched hatch=diagcross color=blue\n"
                            "brush n style=BS_HOLLOW\n"
                            "drawmode m rop2=R2_XORPEN bkmode=opaque bk=yellow text=#010203 usebkmode=1\n"
                            "drawmode c rop2=copypen\n"
                            "font f height=-24 weight=bold charset=shiftjis angle=900 face=\"DejaVu Serif\"\n"
                            "page\n"
                            "output polyline 0,0 5,5 geom=PS_ENDCAP_FLAT|PS_JOIN_MITER|dash\n");
    EXPECT_EQ(parsed.pens[0].style, 1u);
    EXPECT_EQ(parsed.pens[0].width, 2);
    EXPECT_EQ(parsed.pens[1].style, 6u);
    EXPECT_EQ(parsed.brushes[0].style, 2u);
    EXPECT_EQ(parsed.brushes[0].hatch, 5u);
    EXPECT_EQ(parsed.brushes[0].color, 0xFF0000u);
    EXPECT_EQ(parsed.brushes[1].style, 1u);
    ASSERT_EQ(parsed.drawModes.size(), 3u); // the built-in default, m, c
    const job::DrawModeSetting &mode = parsed.drawModes[1];
    EXPECT_EQ(mode.rop2, 7u);
    EXPECT_EQ(mode.bkMode, 2u);
    EXPECT_EQ(mode.bkColor, 0x00FFFFu);
    EXPECT_EQ(mode.textColor, 0x030201u);
    EXPECT_EQ(mode.useBkMode, 1u);
    EXPECT_EQ(parsed.drawModes.back().rop2, 13u);
    const job::FontSetting &font = parsed.fonts.back();
    EXPECT_EQ(font.height, -24);
    EXPECT_EQ(font.weight, 700);
    EXPECT_EQ(font.charSet, 128);
    EXPECT_EQ(font.escapement, 900);
    EXPECT_EQ(font.orientation, 900);
    EXPECT_EQ(font.face, "DejaVu Serif");
    std::vector<job::Request> drawing = Drawing(parsed);
    EXPECT_EQ(drawing[0].geometricPenStyle, 0x200u | 0x2000u | 1u);
}

TEST(JobParserTest, RequestsUseTheSelectedSettingsAndMayOverrideThem)
{
    job::Job parsed = Parse("pen p1 width=1\n"
                            "pen p2 width=2\n"
                            "brush b1 color=red\n"
                            "drawmode m1 rop2=copypen\n"
                            "page\n"
                            "output rectangle 0,0 1,1\n"
                            "select pen p1\n"
                            "use brush b1\n"
                            "select drawmode m1\n"
                            "output rectangle 0,0 1,1\n"
                            "output rectangle 0,0 1,1 pen=p2 brush=none mode=none\n"
                            "select pen none\n"
                            "output rectangle 0,0 1,1\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    ASSERT_EQ(drawing.size(), 4u);
    EXPECT_EQ(drawing[0].pen, -1);
    EXPECT_EQ(drawing[0].brush, -1);
    EXPECT_EQ(drawing[0].drawMode, -1);
    EXPECT_EQ(parsed.pens[drawing[1].pen].name, "p1");
    EXPECT_EQ(parsed.brushes[drawing[1].brush].name, "b1");
    EXPECT_EQ(parsed.drawModes[drawing[1].drawMode].name, "m1");
    EXPECT_EQ(parsed.pens[drawing[2].pen].name, "p2");
    EXPECT_EQ(drawing[2].brush, -1);
    EXPECT_EQ(drawing[2].drawMode, -1);
    EXPECT_EQ(drawing[3].pen, -1);
    EXPECT_EQ(parsed.brushes[drawing[3].brush].name, "b1");
}

TEST(JobParserTest, ARedefinedSettingChangesLaterRequestsOnly)
{
    job::Job parsed = Parse("pen p color=red\n"
                            "page\n"
                            "select pen p\n"
                            "output rectangle 0,0 1,1\n"
                            "pen p color=blue\n"
                            "select pen p\n"
                            "output rectangle 0,0 1,1\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    EXPECT_EQ(parsed.pens[drawing[0].pen].color, 0x0000FFu);
    EXPECT_EQ(parsed.pens[drawing[1].pen].color, 0xFF0000u);
}

TEST(JobParserTest, PolyPolygonsSplitAtBarsIntoCounts)
{
    job::Job parsed = Parse("page\n"
                            "output altpolypolygon 0,0 10,0 10,10 | 20,20 30,20 30,30 20,30 | 1,1 2,2 3,1\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    const job::Request &request = drawing[0];
    EXPECT_EQ(request.count, 3);
    EXPECT_THAT(request.polygonCounts, ElementsAre(3, 4, 3));
    EXPECT_EQ(request.points.size(), 10u);
    EXPECT_EQ(request.points[3].x, 20);
}

TEST(JobParserTest, PointGeneratorsAndFilesMakeLongPointLists)
{
    Files files;
    files.contents["jobs/outline.pts"] = "# x y\n0 0\n100, 0\n100 -5\t7 8\n";
    files.contents["jobs/outline.pt"] = std::string("\x01\x00\xff\xff\x02\x00\x03\x80\x04\x00\x05\x00", 12);
    job::Job parsed = Parse("page\n"
                            "output windpolygon star:400,300,200,80,700\n"
                            "output polyline arc:100,100,50,50,0,180,19\n"
                            "output polyline wave:0,50,100,10,50,11\n"
                            "output polyline points=outline.pts 9,9\n"
                            "output polyline points16=outline.pt at=4 count=2\n"
                            "output altpolypolygon points16=\"outline.pt\" counts=1,0,2\n"
                            "output polyline points16=outline.pt\n",
                            &files);
    std::vector<job::Request> drawing = Drawing(parsed);
    ASSERT_EQ(drawing.size(), 7u);
    ASSERT_EQ(drawing[4].points.size(), 2u);
    EXPECT_EQ(drawing[4].points[0].y, -32765);
    EXPECT_EQ(drawing[4].points[1].x, 4);
    EXPECT_THAT(drawing[5].polygonCounts, ElementsAre(1, 0, 2));
    EXPECT_EQ(drawing[5].points[0].y, -1);
    EXPECT_EQ(drawing[6].count, 3);
    EXPECT_THAT(ParseError("page\noutput polyline points16=outline.pt at=8 count=2\n", &files),
                HasSubstr("holds 12 bytes; the line reads 2 points from byte 8"));
    EXPECT_EQ(drawing[0].count, 1400);
    // the first spike points straight up (y grows downward)
    EXPECT_EQ(drawing[0].points[0].x, 400);
    EXPECT_EQ(drawing[0].points[0].y, 100);
    EXPECT_EQ(drawing[1].count, 19);
    EXPECT_EQ(drawing[1].points[0].x, 150);
    EXPECT_EQ(drawing[1].points[9].y, 50); // 90 degrees: the top of the circle
    EXPECT_EQ(drawing[1].points[18].x, 50);
    EXPECT_EQ(drawing[2].points[0].y, 50);
    EXPECT_EQ(drawing[2].points[10].x, 100);
    ASSERT_EQ(drawing[3].points.size(), 5u);
    EXPECT_EQ(drawing[3].points[2].y, -5);
    EXPECT_EQ(drawing[3].points[4].x, 9);
}

TEST(JobParserTest, CountMayBeGivenButNeverBeyondThePoints)
{
    job::Job parsed = Parse("page\n"
                            "output bezier 0,0 1,1 2,2 3,3 4,4 5,5 6,6 count=7\n"
                            "output polyline 0,0 1,1 2,2 count=1\n"
                            "output altpolygon 0,0 1,1 count=0\n"
                            "output windpolygon\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    EXPECT_EQ(drawing[0].count, 7);
    EXPECT_EQ(drawing[1].count, 1);
    EXPECT_EQ(drawing[2].count, 0);
    EXPECT_EQ(drawing[3].count, 0);
}

TEST(JobParserTest, ScanBracketsReleaseAtEndScanUnlessTheJobReleasesThem)
{
    job::Job parsed = Parse("brush b color=red\n"
                            "page\n"
                            "output beginscan brush=b\n"
                            "output scanlines 0,10 5,50 60,90\n"
                            "output endscan\n"
                            "output beginscan brush=b\n"
                            "output endscan release=manual\n"
                            "delete pen\n"
                            "delete brush\n"
                            "delete pattern\n"
                            "output beginscan brush=b scan=1\n"
                            "output endscan release=manual\n"
                            "delete scan\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    ASSERT_EQ(drawing.size(), 11u);
    EXPECT_EQ(drawing[0].style, 0x50);
    EXPECT_EQ(drawing[1].count, 3);
    EXPECT_TRUE(drawing[2].autoRelease);
    EXPECT_FALSE(drawing[4].autoRelease);
    EXPECT_EQ(drawing[5].release, job::Release::Pen);
    EXPECT_EQ(drawing[6].release, job::Release::Brush);
    EXPECT_EQ(drawing[7].release, job::Release::Pattern);
    EXPECT_EQ(drawing[8].scanFlag, 1);
    EXPECT_EQ(drawing[10].release, job::Release::Scan);
}

TEST(JobParserTest, TransfersDefaultToTheWholeBitmapAndTheirUsualRasterOperation)
{
    job::Job parsed = Parse("bitmap m mono 3x2\n"
                            "101\n"
                            "010\n"
                            "end\n"
                            "page\n"
                            "raster 10,20 30,40 m\n"
                            "raster 10,20 30,40 none\n"
                            "raster 1,2 3,4 m src=1,0,2,1 rop=srcand\n"
                            "dib 5,6 7,8 m rop=0x00330008\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    ASSERT_EQ(drawing.size(), 4u);
    EXPECT_EQ(drawing[0].source, 0);
    EXPECT_EQ(drawing[0].cxSrc, 3);
    EXPECT_EQ(drawing[0].cySrc, 2);
    EXPECT_EQ(drawing[0].rop, 0x00CC0020u);
    EXPECT_EQ(drawing[1].source, -1);
    EXPECT_EQ(drawing[1].rop, 0x00F00021u);
    EXPECT_EQ(drawing[2].xSrc, 1);
    EXPECT_EQ(drawing[2].cxSrc, 2);
    EXPECT_EQ(drawing[2].rop, 0x008800C6u);
    EXPECT_EQ(drawing[3].kind, job::Kind::Dib);
    EXPECT_EQ(drawing[3].rop, 0x00330008u);
}

TEST(JobParserTest, BitmapsComeFromBinaryRowsHexRowsColourRowsAndFiles)
{
    Files files;
    // PBM: 1 is black ink, which a device bitmap holds as bit 0
    files.contents["jobs/ink.pbm"] = "P1\n# ink\n3 2\n1 0 1\n0 1 0\n";
    files.contents["jobs/tile.ppm"] = "P3 2 1 255\n255 0 0  0 0 255\n";
    job::Job parsed = Parse("bitmap a mono 10x2\n"
                            "1100000001\n"
                            "F0 C0\n"
                            "end\n"
                            "bitmap c color 2x1 depth=24\n"
                            "ff0000 0000FF\n"
                            "end\n"
                            "bitmap p file=ink.pbm colors=white,navy\n"
                            "bitmap q file=tile.ppm\n",
                            &files);
    ASSERT_EQ(parsed.bitmaps.size(), 4u);
    const job::BitmapSetting &a = parsed.bitmaps[0];
    EXPECT_TRUE(a.mono);
    EXPECT_THAT(a.pixels, ElementsAre(1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1));
    const job::BitmapSetting &c = parsed.bitmaps[1];
    EXPECT_FALSE(c.mono);
    EXPECT_EQ(c.depth, 24);
    EXPECT_THAT(c.pixels, ElementsAre(0xFF0000u, 0x0000FFu));
    const job::BitmapSetting &p = parsed.bitmaps[2];
    EXPECT_TRUE(p.mono);
    EXPECT_THAT(p.pixels, ElementsAre(0, 1, 0, 1, 0, 1));
    EXPECT_EQ(p.dibColors[0], 0xFFFFFFu);
    EXPECT_EQ(p.dibColors[1], 0x000080u);
    EXPECT_THAT(parsed.bitmaps[3].pixels, ElementsAre(0xFF0000u, 0x0000FFu));
}

// A 2x2 BMP, bottom row first, with the given bit count and pixel bytes.
std::string MakeBmp(int bitCount, const std::vector<uint8_t> &palette, const std::vector<uint8_t> &rows)
{
    auto put = [](std::string *out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            *out += (char)((value >> (8 * i)) & 0xFF);
        }
    };
    std::string file = "BM";
    const uint32_t offset = 54 + (uint32_t)palette.size();
    put(&file, offset + (uint32_t)rows.size(), 4);
    put(&file, 0, 4);
    put(&file, offset, 4);
    put(&file, 40, 4);
    put(&file, 2, 4);
    put(&file, 2, 4);
    put(&file, 1, 2);
    put(&file, bitCount, 2);
    put(&file, 0, 4);
    put(&file, (uint32_t)rows.size(), 4);
    put(&file, 0, 4);
    put(&file, 0, 4);
    put(&file, 0, 4);
    put(&file, 0, 4);
    file.append(palette.begin(), palette.end());
    file.append(rows.begin(), rows.end());
    return file;
}

TEST(JobParserTest, BmpFilesAreReadBottomRowFirstInEveryDepth)
{
    struct Row {
        const char *label;
        std::string file;
        bool mono;
        std::vector<uint32_t> pixels; // top row first
    } rows[] = {
        {"24-bit",
         MakeBmp(24, {}, {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0, 0xFF, 0x00, 0x00, 0x11, 0x22, 0x33, 0, 0}),
         false,
         {0x0000FF, 0x332211, 0xFF0000, 0x00FF00}},
        {"32-bit",
         MakeBmp(32, {}, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}),
         false,
         {0x090807, 0x0C0B0A, 0x030201, 0x060504}},
        {"8-bit palette",
         MakeBmp(8, std::vector<uint8_t>(1024, 0x40), {0, 0, 0, 0, 0, 0, 0, 0}),
         false,
         {0x404040, 0x404040, 0x404040, 0x404040}},
        // white is paper (bit 1) whichever palette index it has
        {"1-bit, white first",
         MakeBmp(1, {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}, {0x80, 0, 0, 0, 0x40, 0, 0, 0}),
         true,
         {1, 0, 0, 1}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        job::BitmapSetting bitmap;
        std::string error;
        ASSERT_TRUE(job::DecodeImage(row.file, &bitmap, &error)) << error;
        EXPECT_EQ(bitmap.width, 2);
        EXPECT_EQ(bitmap.height, 2);
        EXPECT_EQ(bitmap.mono, row.mono);
        EXPECT_EQ(bitmap.pixels, row.pixels);
    }
}

TEST(JobParserTest, DamagedImageFilesAreRefusedNotReadPastTheirEnd)
{
    std::string bmp = MakeBmp(24, {}, std::vector<uint8_t>(16, 0));
    struct Row {
        const char *label;
        std::string file;
        const char *message;
    } rows[] = {
        {"truncated BMP", bmp.substr(0, bmp.size() - 3), "past the end"},
        {"short header", bmp.substr(0, 40), "too short"},
        {"compressed",
         [&] {
             std::string copy = bmp;
             copy[30] = 1;
             return copy;
         }(),
         "uncompressed"},
        {"PPM short of samples", "P3 2 1 255 1 2 3", "samples"},
        {"PPM sample over maximum", "P3 1 1 15 16 0 0", "maximum"},
        {"PBM without size", "P1\n", "width and height"},
        {"unknown format", "GIF89a", "expected a BMP"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        job::BitmapSetting bitmap;
        std::string error;
        EXPECT_FALSE(job::DecodeImage(row.file, &bitmap, &error));
        EXPECT_THAT(error, HasSubstr(row.message));
    }
}

TEST(JobParserTest, TextStringsKeepTheirBytesAfterEscapes)
{
    job::Job parsed = Parse("font jp charset=128\n"
                            "page\n"
                            "text 0,0 \"\\x93\\xFA\\x96\\x7B A\\\\b \\\"q\\\" x=1\" font=jp\n"
                            "text 0,0 \"ab\" advances=10,-3\n"
                            "text 0,0 \"abc\" advance=7 options=opaque|ETO_CLIPPED rect=0,0,50,20\n"
                            "text 0,0 glyphs=36,72,65535 advance=12\n"
                            "text 0,0 \"\"\n");
    std::vector<job::Request> drawing = Drawing(parsed);
    ASSERT_EQ(drawing.size(), 5u);
    EXPECT_EQ(drawing[0].bytes, std::string("\x93\xFA\x96\x7B A\\b \"q\" x=1"));
    EXPECT_EQ(parsed.fonts[drawing[0].font].charSet, 128);
    EXPECT_FALSE(drawing[0].hasAdvances);
    EXPECT_GE(drawing[0].drawMode, 0) << "text always gets a draw mode";
    EXPECT_THAT(drawing[1].advances, ElementsAre(10, -3));
    EXPECT_THAT(drawing[2].advances, ElementsAre(7, 7, 7));
    EXPECT_EQ(drawing[2].options, 0x06u);
    EXPECT_TRUE(drawing[2].hasRect);
    EXPECT_THAT(drawing[3].glyphs, ElementsAre(36, 72, 65535));
    EXPECT_EQ(drawing[3].options, 0x10u);
    EXPECT_EQ(drawing[3].advances.size(), 3u);
    EXPECT_EQ(drawing[4].bytes, "");
}

TEST(JobParserTest, PagesCloseThemselvesAtTheNextPageAndAtTheEnd)
{
    job::Job parsed = Parse("page\noutput rectangle 0,0 1,1\npage frame=0,0,1000,500 device=\"PRN\" dpi=600\n");
    ASSERT_EQ(parsed.requests.size(), 5u);
    EXPECT_EQ(parsed.pages, 2);
    EXPECT_EQ(parsed.requests[2].kind, job::Kind::Close);
    EXPECT_EQ(parsed.requests[2].line, 3); // the line of the page that ended it
    EXPECT_EQ(parsed.requests[3].kind, job::Kind::Page);
    EXPECT_EQ(parsed.requests[3].device, "PRN");
    EXPECT_TRUE(parsed.requests[3].hasDevice);
    EXPECT_EQ(parsed.requests[3].dpi, 600);
    EXPECT_EQ(parsed.requests[3].frame.right, 1000);
    EXPECT_EQ(parsed.requests[4].kind, job::Kind::Close);
    // an unquoted none names a printer "none" in a hand-written job; only a
    // capture's none is a driver that passed no name
    job::Job written = Parse("page device=none\n");
    EXPECT_EQ(written.requests[0].device, "none");
    EXPECT_FALSE(written.requests[0].nullDevice);
    job::Job captured = Parse(GRAMMAR_CAPTURE_MARK "\npage device=none\n");
    EXPECT_TRUE(captured.requests[0].nullDevice);
}

// Every mistake: the message starts with file:line and says what was
// expected.
TEST(JobParserTest, MistakesNameTheFileTheLineAndWhatWasExpected)
{
    struct Row {
        const char *label;
        const char *text;
        int line;
        const char *expected;
    } rows[] = {
        {"unknown request", "page\nfill 1,2\n", 2, "expected a request"},
        {"drawing before a page", "output rectangle 0,0 1,1\n", 1, "expected a 'page' line first"},
        {"unknown style", "page\noutput square 0,0 1,1\n", 2, "expected an output style"},
        {"style beyond 16 bits", "page\noutput 0x10000 0,0\n", 2, "16 bits"},
        {"too few points", "page\noutput rectangle 1,1\n", 2, "expected 2 'x,y' points"},
        {"bezier short", "page\noutput bezier 1,1 2,2 3,3\n", 2, "reads 4 points"},
        {"bad point", "page\noutput polyline 1;2\n", 2, "expected a point"},
        {"point beyond 16 bits", "page\noutput polyline 0,40000\n", 2, "16-bit"},
        {"count beyond points", "page\noutput polyline 0,0 1,1 count=3\n", 2, "more than the 2 points"},
        {"bar outside poly-polygon", "page\noutput windpolygon 0,0 | 1,1\n", 2, "poly-polygon"},
        {"empty polygon before bar", "page\noutput windpolypolygon | 1,1\n", 2, "points before '|'"},
        {"points for beginscan", "page\noutput beginscan 0,0\n", 2, "takes no points"},
        {"unknown option", "page\noutput rectangle 0,0 1,1 colour=red\n", 2, "unknown option 'colour'"},
        {"bad colour", "pen p color=#12345\n", 1, "expected a colour"},
        {"unknown colour", "brush b color=reddish\n", 1, "expected a colour"},
        {"unknown pen style", "pen p style=wavy\n", 1, "expected a pen style"},
        {"unknown rop2", "drawmode m rop2=paint\n", 1, "binary raster operation"},
        {"unknown rop3", "bitmap m mono 1x1\n1\nend\npage\nraster 0,0 1,1 m rop=SRCMAGIC\n", 5,
         "ternary raster operation"},
        {"undefined pen", "page\noutput rectangle 0,0 1,1 pen=thin\n", 2, "no pen named 'thin'"},
        {"undefined bitmap", "page\nraster 0,0 1,1 logo\n", 2, "no bitmap named 'logo'"},
        {"pattern without bitmap", "brush b style=pattern\n", 1, "needs pattern=BITMAP"},
        {"dib without bitmap", "page\ndib 0,0 1,1 none\n", 2, "needs a bitmap"},
        {"bitmap row too short", "bitmap m mono 4x1\n101\nend\n", 2, "expected a row of 4 pixels"},
        {"bitmap missing rows", "bitmap m mono 1x2\n1\nend\n", 3, "needs 2 rows, found 1"},
        {"bitmap too many rows", "bitmap m mono 1x1\n1\n0\nend\n", 3, "expected 'end' here"},
        {"bitmap without end", "page\nbitmap m mono 1x1\n1\n", 2, "no 'end' line"},
        {"colour row", "bitmap c color 2x1\nff0000\nend\n", 2, "expected a row of 2 colours"},
        {"bad bitmap size", "bitmap c color 0x4\n", 1, "1 to 4096"},
        {"missing bitmap file", "bitmap c file=nothere.bmp\n", 1, "cannot read the bitmap file 'jobs/nothere.bmp'"},
        {"missing point file", "page\noutput polyline points=gone.pts\n", 2, "cannot read the point file"},
        {"missing point bytes", "page\noutput polyline points16=gone.pt\n", 2, "cannot read the point file"},
        {"at= alone", "page\noutput polyline 0,0 1,1 at=4\n", 2, "at= goes with points16="},
        {"point bytes and points", "page\noutput polyline 0,0 points16=a.pt\n", 2, "not both"},
        {"point bytes, no counts", "page\noutput altpolypolygon points16=a.pt\n", 2, "needs counts="},
        {"unclosed string", "page\ntext 0,0 \"abc\n", 2, "closing '\"'"},
        {"bad escape", "page\ntext 0,0 \"a\\q\"\n", 2, "unknown escape"},
        {"short hex escape", "page\ntext 0,0 \"a\\x4\"\n", 2, "two hex digits"},
        {"text without string", "page\ntext 0,0\n", 2, "expected a \"string\""},
        {"advances mismatch", "page\ntext 0,0 \"abc\" advances=1,2\n", 2, "one advance per byte (3), found 2"},
        {"glyph index without glyphs", "page\ntext 0,0 \"a\" options=ETO_GLYPH_INDEX\n", 2, "needs glyphs="},
        {"second bracket", "page\noutput beginscan\noutput beginscan\n", 3, "already open (line 2)"},
        {"held objects", "page\noutput beginscan\noutput endscan release=manual\noutput beginscan\n", 4,
         "still holds its objects"},
        {"delete without bracket", "page\ndelete pen\n", 2, "no scan bracket holds a pen"},
        {"delete twice", "page\noutput beginscan\noutput endscan release=manual\ndelete pen\ndelete pen\n", 5,
         "no scan bracket holds a pen"},
        {"page ends in a bracket", "page\noutput beginscan\nclose\n", 3, "still open"},
        {"close outside a page", "close\n", 1, "outside a page"},
        {"size and frame", "page size=1,1 frame=0,0,1,1\n", 1, "not both"},
        {"bad frame", "page frame=0,0,0,10\n", 1, "right > left"},
        {"dpi the printer lacks", "page dpi=96\n", 1, "150, 300, 600, 1200 or 2400"},
        {"number overflow", "pen p width=99999999999\n", 1, "expected width= (a number)"},
        {"select unknown kind", "select colour red\n", 1, "(pen, brush, drawmode, mode, font)"},
        {"font none", "select font none\n", 1, "always needs a font"},
        {"face too long", "font f face=\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456\"\n", 1, "at most 31 bytes"},
        {"charset beyond a byte", "font f charset=300\n", 1, "one byte"},
        {"quality beyond a byte", "font f quality=300\n", 1, "one byte"},
        {"negative quality as written", "font f quality=-1\n", 1, "quality= -1 is out of range (0 to 255"},
        {"glyph beyond 16 bits", "page\ntext 0,0 glyphs=1,65536\n", 2, "glyphs= 65536 is out of range"},
        {"dib header shorter than its size", "bitmap d dib info=3\nend\n", 1, "4 bytes and more"},
        {"dib bits of 2 GiB", "bitmap d dib bits=0x80000000\nend\n", 1, "under 2 GiB"},
        {"page size not positive", "page size=800,0\n", 1, "size= 0 is out of range (1 to"},
        {"unknown style lists the styles", "page\noutput polygon 0,0\n", 2, "(bezier, scanlines, rectangle,"},
        {"generator arguments", "page\noutput altpolygon star:1,2,3\n", 2, "expected star:cx,cy,outer,inner,spikes"},
        {"unknown generator", "page\noutput altpolygon spiral:1,2\n", 2, "unknown point generator"},
        {"string as option", "page\noutput rectangle 0,0 1,1 \"x\"\n", 2, "expected a point"},
        {"lone end", "end\n", 1, "without a bitmap"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        std::string error = ParseError(row.text);
        EXPECT_THAT(error, StartsWith("jobs/test.job:" + std::to_string(row.line) + ": "));
        EXPECT_THAT(error, HasSubstr(row.expected));
    }
}

TEST(JobParserTest, AHashBeforeHexDigitsIsAColourNotAComment)
{
    job::Job parsed = Parse("pen p color=#abcdef # the rest is a comment\n"
                            "brush b color=#000000 ;another\n");
    EXPECT_EQ(parsed.pens[0].color, 0xEFCDABu);
    EXPECT_EQ(parsed.brushes[0].color, 0u);
}

// Form feeds and vertical tabs are white space like any other: they separate
// tokens and are skipped between them. (They once stopped the tokenizer
// without moving it on, so a job with one never finished parsing.)
TEST(JobParserTest, EveryKindOfWhiteSpaceSeparatesTokens)
{
    for (const char *space : {"\f", "\v", "\t", "\r", " \f\v "}) {
        SCOPED_TRACE(testing::PrintToString(std::string(space)));
        job::Job parsed = Parse(std::string("pen") + space + "p" + space + "width=3\npage\noutput" + space +
                                "rectangle 0,0" + space + "4,4\n");
        ASSERT_EQ(parsed.pens.size(), 1u);
        EXPECT_EQ(parsed.pens[0].width, 3);
        std::vector<job::Request> drawing = Drawing(parsed);
        ASSERT_EQ(drawing.size(), 1u);
        EXPECT_EQ(drawing[0].points.size(), 2u);
    }
    EXPECT_THAT(ParseError("bitmap p fily\f\t\n"), StartsWith("jobs/test.job:1: "));
}

// The parser meets whatever a hand or an editor leaves in a job file; on
// mangled input it must refuse with a located message, never crash (the
// host build runs this under the address and undefined-behaviour sanitizers).
TEST(JobParserTest, MangledJobsAreRefusedOrParsedNeverCrash)
{
    const std::string seed = "bitmap m mono 8x2\n10101010\nFF\nend\n"
                             "pen p style=dash|endcap_flat width=3 color=#102030\n"
                             "brush b style=pattern pattern=m color=red\n"
                             "drawmode d rop2=xorpen bkmode=opaque bk=white text=rgb(1,2,3)\n"
                             "font f height=-20 angle=450 charset=shiftjis face=\"DejaVu Sans\"\n"
                             "page size=800,600\nselect pen p\nuse brush b\n"
                             "output windpolypolygon 0,0 10,0 10,10 | star:50,50,20,10,5\n"
                             "output beginscan brush=b\noutput scanlines 0,5 1,9\noutput endscan release=manual\n"
                             "delete scan\nraster 1,2 3,4 m src=0,0,8,2 rop=patinvert mode=d\n"
                             "text 5,5 \"\\x82\\xa0x\" font=f advances=1,2,3 options=opaque rect=0,0,9,9\nclose\n";
    {
        job::Job parsed;
        std::string error;
        Files none;
        ASSERT_TRUE(job::ParseJob(seed, "seed.job", &parsed, &error, none.Reader())) << error;
    }
    std::mt19937 random(20240601);
    const std::string alphabet = "0123456789,|=:\"\\#; -xX\nabcdefpgtmnor";
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        int edits = 1 + (int)(random() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text.erase(at, 1 + random() % 3);
                break;
            case 1:
                text.insert(at, 1, alphabet[random() % alphabet.size()]);
                break;
            default:
                text[at] = alphabet[random() % alphabet.size()];
                break;
            }
        }
        job::Job parsed;
        std::string error;
        Files none;
        if (!job::ParseJob(text, "fuzz.job", &parsed, &error, none.Reader())) {
            ++refused;
            ASSERT_THAT(error, StartsWith("fuzz.job:")) << text;
            continue;
        }
        // what parses must be consistent enough for the runner to use blindly
        for (const job::Request &request : parsed.requests) {
            ASSERT_LT(request.pen, (int)parsed.pens.size());
            ASSERT_LT(request.brush, (int)parsed.brushes.size());
            ASSERT_LT(request.drawMode, (int)parsed.drawModes.size());
            ASSERT_LT(request.font, (int)parsed.fonts.size());
            ASSERT_GE(request.font, 0);
            ASSERT_LT(request.source, (int)parsed.bitmaps.size());
            if (request.kind == job::Kind::Output) {
                const bool poly = request.style == 0x4014 || request.style == 0x4016;
                if (poly) {
                    ASSERT_LE(request.count, request.polygonCounts.size());
                } else if (request.style == 6 || request.style == 7 || request.style == 55) {
                    ASSERT_GE(request.points.size(), 2u);
                } else if (request.style == 1) {
                    ASSERT_GE(request.points.size(), 4u);
                } else if (request.style != 0x50 && request.style != 0x51) {
                    ASSERT_LE(request.count, request.points.size());
                }
            }
            if (request.kind == job::Kind::Text && request.hasAdvances) {
                ASSERT_EQ(request.advances.size(),
                          request.glyphs.empty() ? request.bytes.size() : request.glyphs.size());
            }
            if (request.kind == job::Kind::Dib) {
                ASSERT_GE(request.source, 0);
            }
        }
        for (const job::BitmapSetting &bitmap : parsed.bitmaps) {
            ASSERT_EQ(bitmap.pixels.size(), (size_t)bitmap.width * bitmap.height);
        }
        for (const job::BrushSetting &brush : parsed.brushes) {
            ASSERT_TRUE(brush.style != 3 || brush.bitmap >= 0);
        }
    }
    EXPECT_GT(refused, 0);
}

} // namespace

// samples/README.md carries the reference that the grammar table prints
// (`quillrec_driver --reference`); QUILLREC_UPDATE_REFERENCE=1 rewrites it.
TEST(JobParserTest, TheSamplesReadmeCarriesTheCurrentReference)
{
    const std::string path = QUILLREC_SOURCE_DIR "/samples/README.md";
    std::string readme;
    ASSERT_TRUE(job::ReadWholeFile(path, &readme)) << path;
    const size_t begin = readme.find("<!-- job reference"), to = readme.find("<!-- end of job reference -->");
    ASSERT_TRUE(begin != std::string::npos && to != std::string::npos) << "reference markers missing";
    const size_t from = readme.find("-->\n", begin) + 4;
    const std::string current = "\n" + job::JobReference() + "\n";
    if (getenv("QUILLREC_UPDATE_REFERENCE") != nullptr) {
        std::ofstream(path, std::ios::binary) << readme.replace(from, to - from, current);
        return;
    }
    EXPECT_EQ(readme.substr(from, to - from), current)
        << "stale; run QUILLREC_UPDATE_REFERENCE=1 build/host/quillrec_unit_tests --gtest_filter='*Reference*'";
}
