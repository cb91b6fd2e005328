// TextOut32 through the export on real GDI: which text records the spool file
// holds, where each starts, and what an opaque rectangle paints.
#include <string.h>

#include <cstdio>
#include <string>
#include <vector>

#include "recording_fixture.h"

namespace {

// A text record read back, whichever of the two kinds GDI wrote.
struct TextRecord {
    DWORD type = 0;
    POINTL reference = {0, 0};
    DWORD options = 0;
    RECTL rectangle = {0, 0, 0, 0};
    std::vector<uint16_t> units; // characters (bytes of an A record widened) or glyph indices
    std::vector<int> dx;
};

TextRecord ReadText(const EmfRecord &record)
{
    TextRecord text;
    const EMREXTTEXTOUTW *r = record.As<EMREXTTEXTOUTW>();
    if (r == nullptr) {
        return text;
    }
    text.type = record.type;
    text.reference = r->emrtext.ptlReference;
    text.options = r->emrtext.fOptions;
    text.rectangle = r->emrtext.rcl;
    const BYTE *base = record.bytes.data();
    size_t size = record.bytes.size();
    DWORD count = r->emrtext.nChars;
    size_t unit = record.type == EMR_EXTTEXTOUTW ? 2 : 1;
    if (r->emrtext.offString + count * unit <= size) {
        for (DWORD i = 0; i < count; ++i) {
            const BYTE *at = base + r->emrtext.offString + i * unit;
            text.units.push_back(unit == 2 ? (uint16_t)(at[0] | at[1] << 8) : at[0]);
        }
    }
    if (r->emrtext.offDx != 0 && r->emrtext.offDx + count * sizeof(INT) <= size) {
        const INT *dx = reinterpret_cast<const INT *>(base + r->emrtext.offDx);
        text.dx.assign(dx, dx + count);
    }
    return text;
}

std::vector<TextRecord> TextRecords(const std::vector<EmfRecord> &records)
{
    std::vector<TextRecord> texts;
    for (const EmfRecord &record : records) {
        if (record.type == EMR_EXTTEXTOUTA || record.type == EMR_EXTTEXTOUTW) {
            texts.push_back(ReadText(record));
        }
    }
    return texts;
}

std::vector<uint16_t> Units(const char *text)
{
    std::vector<uint16_t> units;
    for (; *text != '\0'; ++text) {
        units.push_back((unsigned char)*text);
    }
    return units;
}

class TextRecordingTest : public RecordingTest {
  protected:
    TextRecordingTest()
    {
        font.lfHeight = -24;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = ANSI_CHARSET;
        strcpy(font.lfFaceName, "DejaVu Sans");
    }

    // The export called as the thunk calls it: every scalar by pointer.
    int32_t Text(int32_t x, int32_t y, uint32_t options, const RECT *rectangle, const char *string, uint32_t count,
                 const int32_t *advances)
    {
        return Dll().TextOut32(&surface, &font, &x, &y, &options, rectangle, string, &count, advances, &drawMode);
    }

    LOGFONTA font = {};
    DrawModeRecord drawMode = {R2_COPYPEN, TRANSPARENT, 0x00FFFFFF, 0x00000000, 0};
};

TEST_F(TextRecordingTest, WholeStringIsOneTextRecordInTheCallersFont)
{
    Open();
    RECT box = {5, 6, 300, 80};
    EXPECT_EQ(Text(40, 50, ETO_CLIPPED, &box, "Hello", 5, nullptr), 0);
    auto records = Finish();

    auto texts = TextRecords(records);
    ASSERT_EQ(texts.size(), 1u) << DescribeEmfRecords(records);
    // Wine widens byte strings and records EMR_EXTTEXTOUTW; Windows may keep
    // EMR_EXTTEXTOUTA. Either carries the same characters.
    std::printf("whole string recorded as %s\n", EmfRecordName(texts[0].type).c_str());
    EXPECT_EQ(texts[0].reference.x, 40);
    EXPECT_EQ(texts[0].reference.y, 50);
    EXPECT_EQ(texts[0].units, Units("Hello"));
    EXPECT_TRUE(texts[0].options & ETO_CLIPPED);
    EXPECT_EQ(texts[0].rectangle.left, 5);
    EXPECT_EQ(texts[0].rectangle.bottom, 80);

    auto fonts = RecordsOf(records, EMR_EXTCREATEFONTINDIRECTW);
    ASSERT_EQ(fonts.size(), 1u) << DescribeEmfRecords(records);
    const LOGFONTW &recorded = fonts[0]->As<EMREXTCREATEFONTINDIRECTW>()->elfw.elfLogFont;
    EXPECT_EQ(recorded.lfHeight, -24);
    EXPECT_EQ(recorded.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(CountRecords(records, EMR_DELETEOBJECT), 1u) << "the font is released after drawing";
    auto aligns = RecordsOf(records, EMR_SETTEXTALIGN);
    ASSERT_EQ(aligns.size(), 1u) << DescribeEmfRecords(records);
    EXPECT_EQ(aligns[0]->As<EMRSETTEXTALIGN>()->iMode, 0u);
}

TEST_F(TextRecordingTest, GlyphIndicesAreOneWideRecordWithOrWithoutAdvances)
{
    const uint16_t glyphs[] = {0x24, 0x25, 0x26};
    const int32_t advances[] = {30, 40, 50};
    for (const int32_t *array : {advances, (const int32_t *)nullptr}) {
        SCOPED_TRACE(array ? "with advances" : "without advances");
        Open();
        EXPECT_EQ(Text(10, 20, ETO_GLYPH_INDEX, nullptr, reinterpret_cast<const char *>(glyphs), 3, array), 0);
        auto records = Finish();
        auto texts = TextRecords(records);
        ASSERT_EQ(texts.size(), 1u) << DescribeEmfRecords(records);
        EXPECT_EQ(texts[0].type, (DWORD)EMR_EXTTEXTOUTW);
        EXPECT_TRUE(texts[0].options & ETO_GLYPH_INDEX);
        EXPECT_EQ(texts[0].units, std::vector<uint16_t>(glyphs, glyphs + 3));
        EXPECT_EQ(texts[0].reference.x, 10);
        EXPECT_EQ(texts[0].reference.y, 20);
        if (array != nullptr) {
            EXPECT_EQ(texts[0].dx, std::vector<int>(advances, advances + 3));
        }
        if (!HasFailure()) {
            DeleteFileA(path.c_str());
        }
    }
}

// 45 degrees with advances of 100: 70.71 per step, truncated each step.
TEST_F(TextRecordingTest, RotatedStringWithAdvancesIsPlacedCharacterByCharacter)
{
    const int width = 400, height = 400;
    OpenPixelFrame(width, height);
    font.lfEscapement = 450;
    font.lfOrientation = 450;
    const int32_t advances[] = {100, 100, 100, 100};
    EXPECT_EQ(Text(60, 320, 0, nullptr, "QUIL", 4, advances), 0);
    auto records = Finish();

    auto texts = TextRecords(records);
    ASSERT_EQ(texts.size(), 4u) << DescribeEmfRecords(records);
    const char *letters = "QUIL";
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[i].reference.x, 60 + 70 * i);
        EXPECT_EQ(texts[i].reference.y, 320 - 70 * i);
        EXPECT_EQ(texts[i].units, std::vector<uint16_t>{(uint16_t)letters[i]});
    }
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(RenderEmf(path.c_str(), width, height, &pixels));
    Keep("rotated", width, height, pixels);
    size_t ink = 0;
    for (uint32_t pixel : pixels) {
        ink += pixel != 0xFFFFFF;
    }
    EXPECT_GT(ink, 100u) << "the characters are drawn";
}

// Each double-byte character reaches GDI whole, so it is one character of
// its own in the spool file, never two halves.
TEST_F(TextRecordingTest, ShiftJisDoubleByteCharactersAreRecordedWhole)
{
    const int width = 300, height = 80;
    OpenPixelFrame(width, height);
    font.lfCharSet = SHIFTJIS_CHARSET;
    // 'A', HIRAGANA LETTER A (82 A0), 'B', the kanji 88 9F, 'C', one width per
    // byte: a double-byte character steps by its first width, and its second
    // is then read as the next character's, one entry behind the bytes.
    const char text[] = "A\x82\xA0"
                        "B\x88\x9F"
                        "C";
    const int32_t advances[] = {30, 20, 20, 30, 20, 20, 30};
    EXPECT_EQ(Text(10, 20, 0, nullptr, text, 7, advances), 0);
    auto records = Finish();

    auto texts = TextRecords(records);
    ASSERT_EQ(texts.size(), 5u) << DescribeEmfRecords(records);
    struct Expected {
        LONG x;
        std::vector<uint16_t> wide;  // as a W record holds it
        std::vector<uint16_t> bytes; // as an A record holds it
    } expected[] = {
        {10, {'A'}, {'A'}},           {40, {0x3042}, {0x82, 0xA0}}, {60, {'B'}, {'B'}},
        {80, {0x4E9C}, {0x88, 0x9F}}, {110, {'C'}, {'C'}},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[i].reference.x, expected[i].x);
        EXPECT_EQ(texts[i].reference.y, 20);
        EXPECT_EQ(texts[i].units, texts[i].type == EMR_EXTTEXTOUTW ? expected[i].wide : expected[i].bytes);
    }
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(RenderEmf(path.c_str(), width, height, &pixels));
    Keep("shiftjis", width, height, pixels);
}

// A transparent request with ETO_OPAQUE still paints its rectangle, in the
// draw mode's background colour rather than whatever the surface had.
TEST_F(TextRecordingTest, OpaqueRectangleIsFilledInTheBackgroundColour)
{
    const int width = 200, height = 100;
    OpenPixelFrame(width, height);
    drawMode.bkMode = TRANSPARENT;
    drawMode.bkColor = RGB(0xFF, 0, 0);
    RECT box = {40, 30, 120, 70};
    EXPECT_EQ(Text(40, 30, ETO_OPAQUE, &box, "", 0, nullptr), 0);
    // A marker in each corner pins the picture to the frame.
    SelectObject(SurfaceDc(), GetStockObject(BLACK_BRUSH));
    SelectObject(SurfaceDc(), GetStockObject(NULL_PEN));
    Rectangle(SurfaceDc(), 0, 0, 3, 3);
    Rectangle(SurfaceDc(), width - 2, height - 2, width + 1, height + 1);
    std::vector<uint32_t> pixels = FinishAndRender(width, height);
    ASSERT_EQ(pixels.size(), (size_t)width * height);

    auto at = [&](int x, int y) { return pixels[(size_t)y * width + x]; };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool inside = x >= 42 && x < 118 && y >= 32 && y < 68;
            bool outside = x < 38 || x >= 122 || y < 28 || y >= 72;
            bool corner = (x < 5 && y < 5) || (x >= width - 5 && y >= height - 5);
            if (inside) {
                ASSERT_EQ(at(x, y), 0xFF0000u) << "at " << x << "," << y;
            } else if (outside && !corner) {
                ASSERT_EQ(at(x, y), 0xFFFFFFu) << "at " << x << "," << y;
            }
        }
    }
}

// What Wine answers for the character sets the library asks about; the
// lines printed are the record of it.
TEST(TextPlatform, CharacterSetsAndLeadBytesAsThisGdiAnswers)
{
    struct Row {
        BYTE charset;
        const char *name;
    } rows[] = {
        {ANSI_CHARSET, "ANSI"},         {DEFAULT_CHARSET, "DEFAULT"}, {SYMBOL_CHARSET, "SYMBOL"},
        {SHIFTJIS_CHARSET, "SHIFTJIS"}, {HANGUL_CHARSET, "HANGUL"},   {GB2312_CHARSET, "GB2312"},
        {CHINESEBIG5_CHARSET, "BIG5"},  {JOHAB_CHARSET, "JOHAB"},     {EASTEUROPE_CHARSET, "EASTEUROPE"},
        {OEM_CHARSET, "OEM"},
    };
    std::printf("ACP %u\n", GetACP());
    for (const Row &row : rows) {
        CHARSETINFO info = {};
        BOOL found = TranslateCharsetInfo((DWORD *)(ULONG_PTR)row.charset, &info, TCI_SRCCHARSET);
        std::printf("%-10s %3u: %s code page %u, lead bytes 0x81 %d 0x82 %d 0xA0 %d 0xE0 %d\n", row.name, row.charset,
                    found ? "found," : "not found", found ? info.ciACP : 0, IsDBCSLeadByteEx(info.ciACP, 0x81),
                    IsDBCSLeadByteEx(info.ciACP, 0x82), IsDBCSLeadByteEx(info.ciACP, 0xA0),
                    IsDBCSLeadByteEx(info.ciACP, 0xE0));
    }
    CHARSETINFO info = {};
    ASSERT_TRUE(TranslateCharsetInfo((DWORD *)(ULONG_PTR)SHIFTJIS_CHARSET, &info, TCI_SRCCHARSET));
    EXPECT_EQ(info.ciACP, 932u);
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x82));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA0));
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x82));
}

} // namespace
