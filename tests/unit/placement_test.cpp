// Per-character placement: the integer sine and cosine, stepping along the
// escapement with truncation per step, double-byte characters kept whole in
// the font's code page, and what ends up as the request's result.
#include "text_support.h"

#include <cmath>
#include <cstdint>
#include <limits>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

int32_t Rounded(double value)
{
    return (int32_t)std::lround(value * 10000.0);
}

double Radians(int degrees)
{
    return degrees * 3.14159265358979323846 / 180.0;
}

TEST(Trigonometry, TablesHoldTheRoundedSineAndCosineOfEachDegree)
{
    for (int k = 0; k <= 90; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(SineTable[k], Rounded(std::sin(Radians(k))));
        EXPECT_EQ(CosineTable[k], Rounded(std::cos(Radians(k))));
        EXPECT_EQ(CosineTable[k], SineTable[90 - k]);
    }
}

TEST(Trigonometry, EveryWholeDegreeFoldsIntoTheFirstQuadrantExactly)
{
    for (int n = -1080; n <= 1080; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(Sin10000(n), Rounded(std::sin(Radians(n))));
        ASSERT_EQ(Cos10000(n), Rounded(std::cos(Radians(n))));
    }
}

// The angle is a signed 16-bit number: only the low 16 bits count.
TEST(Trigonometry, AngleIsTakenByItsLow16Bits)
{
    struct Row {
        int32_t degrees;
        int32_t sine, cosine;
    } rows[] = {
        {359, -175, 9998},
        {-1, -175, 9998},
        {180, 0, -10000},
        {-90, -10000, 0},
        {270, -10000, 0},
        {30 + 65536, 5000, 8660},
        {-150 - 65536, -5000, -8660},
        {0x12340000 + 60, 8660, 5000},
        {32767, Rounded(std::sin(Radians(32767))), Rounded(std::cos(Radians(32767)))},
        {32768, Rounded(std::sin(Radians(-32768))), Rounded(std::cos(Radians(-32768)))},
        {std::numeric_limits<int32_t>::min(), 0, 10000},
        {std::numeric_limits<int32_t>::max(), -175, 9998},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.degrees);
        EXPECT_EQ(Sin10000(row.degrees), row.sine);
        EXPECT_EQ(Cos10000(row.degrees), row.cosine);
    }
}

// Beyond |advance| = 214748 the product leaves 32 bits; the displacement must
// still be the exact quotient truncated toward zero (modulo 2^32 for its one
// value beyond 2^31 - 1).
TEST(Trigonometry, DisplacementIsExactForEveryAdvance)
{
    const int32_t low = std::numeric_limits<int32_t>::min();
    const int32_t high = std::numeric_limits<int32_t>::max();
    const int32_t factors[] = {-10000, -9998, -7071, -175, -1, 0, 1, 175, 5000, 7071, 9998, 10000};
    const int32_t advances[] = {low,    low + 1, -1000000007, -214749,    -214748,  -10001, -10000, -9999,
                                -101,   -1,      0,           1,          101,      9999,   10000,  10001,
                                214748, 214749,  300001,      1000000007, high - 1, high};
    for (int32_t factor : factors) {
        for (int32_t advance : advances) {
            SCOPED_TRACE(::testing::Message() << factor << " x " << advance);
            int64_t exact = (int64_t)factor * advance / 10000;
            EXPECT_EQ(Displacement(factor, advance), (uint32_t)(uint64_t)exact);
        }
    }
}

TEST_F(TextTest, CharactersStepAlongTheEscapementTruncatedStepByStep)
{
    struct Row {
        const char *label;
        int32_t escapement;
        std::vector<int32_t> advances; // one per character; the last is never used
        std::vector<std::pair<int, int>> offsets;
    } rows[] = {
        {"0: x grows by each advance", 0, {100, 37, 1, 9}, {{0, 0}, {100, 0}, {137, 0}, {138, 0}}},
        {"5: below a degree is 0", 5, {100, 100, 100, 9}, {{0, 0}, {100, 0}, {200, 0}, {300, 0}}},
        {"-9: below a degree is 0", -9, {100, 100, 100, 9}, {{0, 0}, {100, 0}, {200, 0}, {300, 0}}},
        {"450: 70.71 per step becomes 70", 450, {100, 100, 100, 9}, {{0, 0}, {70, -70}, {140, -140}, {210, -210}}},
        {"455: tenths are dropped", 455, {100, 100, 100, 9}, {{0, 0}, {70, -70}, {140, -140}, {210, -210}}},
        {"450, negative advances truncate toward zero",
         450,
         {100, 50, -30, 9},
         {{0, 0}, {70, -70}, {105, -105}, {84, -84}}},
        {"450, backwards", 450, {-100, -100, -100, 9}, {{0, 0}, {-70, 70}, {-140, 140}, {-210, 210}}},
        {"900: y shrinks", 900, {100, 100, 100, 9}, {{0, 0}, {0, -100}, {0, -200}, {0, -300}}},
        {"1800: x shrinks", 1800, {100, 100, 100, 9}, {{0, 0}, {-100, 0}, {-200, 0}, {-300, 0}}},
        {"2700: y grows", 2700, {100, 100, 100, 9}, {{0, 0}, {0, 100}, {0, 200}, {0, 300}}},
        {"-900: y grows", -900, {100, 100, 100, 9}, {{0, 0}, {0, 100}, {0, 200}, {0, 300}}},
        {"3600: as 0", 3600, {100, 100, 100, 9}, {{0, 0}, {100, 0}, {200, 0}, {300, 0}}},
        {"-15: -1 degree", -15, {1000, 1000, 1000, 9}, {{0, 0}, {999, 17}, {1998, 34}, {2997, 51}}},
        {"300: 30 degrees", 300, {33, 33, 33, 9}, {{0, 0}, {28, -16}, {56, -32}, {84, -48}}},
    };
    RECT clip = {5, 6, 7, 8};
    rectangle = &clip;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        font.lfEscapement = row.escapement;

        EXPECT_EQ(Record("abcd", &row.advances, ETO_CLIPPED | ETO_OPAQUE, 1000, 2000), 0);

        std::vector<DrawnText> expected;
        for (size_t i = 0; i < row.offsets.size(); ++i) {
            expected.push_back({1000 + row.offsets[i].first, 2000 + row.offsets[i].second, std::string(1, "abcd"[i])});
        }
        EXPECT_THAT(Drawn(), ElementsAreArray(expected)) << GdiDoubleDump();
        for (const GdiCall *call : GdiDoubleCallsOf("ExtTextOutA")) {
            EXPECT_EQ(call->args.at(2), ETO_CLIPPED | ETO_OPAQUE);
            EXPECT_EQ(call->args.at(3), (int64_t)(intptr_t)&clip);
            EXPECT_FALSE(call->hasDx);
        }
    }
}

TEST_F(TextTest, DoubleByteCharactersAreDrawnWholeAndStepByTheirEntries)
{
    // 'A', two Shift-JIS characters with 'B' between them, 'C'.
    const std::string text = "A\x82\xA0"
                             "B\x88\x9F"
                             "C";
    struct Row {
        const char *label;
        std::vector<int32_t> advances;
        std::vector<int> xs;
    } rows[] = {
        {"(w, 0): the array moves two", {10, 20, 0, 30, 40, 0, 50}, {0, 10, 30, 60, 100}},
        {"(0, w): the array moves two", {10, 0, 20, 30, 0, 40, 50}, {0, 10, 30, 60, 100}},
        // Both nonzero: the second already belongs to 'B', and the array
        // stays one entry behind from there on.
        {"(w1, w2): the array moves one", {10, 20, 25, 30, 35, 40, 50}, {0, 10, 30, 55, 85}},
    };
    font.lfCharSet = SHIFTJIS_CHARSET;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        EXPECT_EQ(Record(text, &row.advances, 0, 0, 0), 0);
        EXPECT_THAT(Drawn(), ElementsAre(DrawnText{row.xs[0], 0, "A"}, DrawnText{row.xs[1], 0, "\x82\xA0"},
                                         DrawnText{row.xs[2], 0, "B"}, DrawnText{row.xs[3], 0, "\x88\x9F"},
                                         DrawnText{row.xs[4], 0, "C"}))
            << GdiDoubleDump();
    }
}

// Lead bytes are judged in the font's own code page; only a character set
// that names none falls back to the system's, and symbol and OEM fonts have
// no double-byte characters at all.
TEST_F(TextTest, LeadBytesAreJudgedInTheFontsCodePage)
{
    const std::string text = "\x82\xA0\xB0\xA1"; // Shift-JIS: lead, trail, single. GB2312: two characters.
    const std::vector<int32_t> advances = {10, 0, 10, 0};
    struct Row {
        const char *label;
        BYTE charset;
        UINT acp;
        int isLeadCalls;
        UINT codePage; // as asked of IsDBCSLeadByteEx
        std::vector<std::string> pieces;
    } rows[] = {
        {"Shift-JIS font, Western system", SHIFTJIS_CHARSET, 1252, 3, 932, {"\x82\xA0", "\xB0", "\xA1"}},
        {"GB2312 font, Japanese system", GB2312_CHARSET, 932, 2, 936, {"\x82\xA0", "\xB0\xA1"}},
        {"Western font, Japanese system", ANSI_CHARSET, 932, 4, 1252, {"\x82", "\xA0", "\xB0", "\xA1"}},
        {"default character set: the system's", DEFAULT_CHARSET, 932, 3, 932, {"\x82\xA0", "\xB0", "\xA1"}},
        {"unknown character set: the system's", 99, 936, 2, 936, {"\x82\xA0", "\xB0\xA1"}},
        {"symbol font, Japanese system", SYMBOL_CHARSET, 932, 0, 0, {"\x82", "\xA0", "\xB0", "\xA1"}},
        {"OEM font, Japanese system", OEM_CHARSET, 932, 0, 0, {"\x82", "\xA0", "\xB0", "\xA1"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        GdiDoubleSetACP(row.acp);
        font.lfCharSet = row.charset;

        EXPECT_EQ(Record(text, &advances), 0);

        std::vector<std::string> pieces;
        for (const DrawnText &drawn : Drawn()) {
            pieces.push_back(drawn.bytes);
        }
        EXPECT_EQ(pieces, row.pieces) << GdiDoubleDump();
        const GdiCall *translate = GdiDoubleLastCall("TranslateCharsetInfo");
        ASSERT_NE(translate, nullptr);
        EXPECT_THAT(translate->args, ElementsAre(row.charset, ::testing::_, TCI_SRCCHARSET));
        auto leadTests = GdiDoubleCallsOf("IsDBCSLeadByteEx");
        EXPECT_EQ((int)leadTests.size(), row.isLeadCalls) << GdiDoubleDump();
        for (const GdiCall *call : leadTests) {
            EXPECT_EQ(call->args.at(0), row.codePage);
        }
    }
}

// A lead byte with no trail byte left in the string is drawn as the single
// byte it is, and nothing beyond the count bytes and count advances is read
// (the fixture's copies are exact, so the sanitizer sees any over-read).
TEST_F(TextTest, LeadByteInTheLastPositionIsDrawnAlone)
{
    struct Row {
        const char *label;
        std::string text;
        std::vector<int32_t> advances;
        std::vector<DrawnText> drawn;
    } rows[] = {
        {"alone", "\x82", {10}, {{0, 0, "\x82"}}},
        {"after a single byte", "A\x82", {10, 20}, {{0, 0, "A"}, {10, 0, "\x82"}}},
        {"array level with the bytes", "\x82\xA0\x82", {10, 0, 20}, {{0, 0, "\x82\xA0"}, {10, 0, "\x82"}}},
        {"array one behind the bytes", "\x82\xA0\x82", {10, 15, 20}, {{0, 0, "\x82\xA0"}, {10, 0, "\x82"}}},
        {"whole last character, array level", "A\x82\xA0", {10, 20, 0}, {{0, 0, "A"}, {10, 0, "\x82\xA0"}}},
        {"whole last character, array behind",
         "\x82\xA0\x82\xA0",
         {10, 15, 20, 25},
         {{0, 0, "\x82\xA0"}, {10, 0, "\x82\xA0"}}},
    };
    font.lfCharSet = SHIFTJIS_CHARSET;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        EXPECT_EQ(Record(row.text, &row.advances, 0, 0, 0), 0);
        EXPECT_THAT(Drawn(), ElementsAreArray(row.drawn)) << GdiDoubleDump();
    }
}

// The caller's result is the last character's alone.
TEST_F(TextTest, OnlyTheLastCharactersCallDecidesTheResult)
{
    const std::vector<int32_t> advances = {1, 1, 1};
    struct Row {
        const char *label;
        std::vector<int> failing; // which ExtTextOutA calls fail (1-based)
        int32_t result;
    } rows[] = {
        {"all succeed", {}, 0},
        {"first fails", {1}, 0},
        {"all but the last fail", {1, 2}, 0},
        {"last fails", {3}, -1},
        {"only the first succeeds", {2, 3}, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        GdiDoubleClearFailures();
        for (int nth : row.failing) {
            GdiDoubleFailCall("ExtTextOutA", nth);
        }
        EXPECT_EQ(Emit("abc", &advances), row.result) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("ExtTextOutA"), 3);
    }
}

// Advances beyond what a page can hold must not make the arithmetic
// undefined: displacements stay exact and coordinates wrap modulo 2^32.
TEST_F(TextTest, HugeAdvancesWrapTheCoordinatesWithoutOverflow)
{
    const int32_t low = std::numeric_limits<int32_t>::min();
    const int32_t high = std::numeric_limits<int32_t>::max();
    struct Row {
        const char *label;
        int32_t escapement;
        std::vector<int32_t> advances;
        std::vector<std::pair<int32_t, int32_t>> points;
    } rows[] = {
        {"0, largest advances", 0, {high, high, 0}, {{0, 0}, {high, 0}, {-2, 0}}},
        {"1800, smallest advance", 1800, {low, 1, 0}, {{0, 0}, {low, 0}, {high, 0}}},
        {"900, smallest advance", 900, {low, low, 0}, {{0, 0}, {0, low}, {0, 0}}},
        // 7071 * (2^31 - 1) / 10000 = 1518485686.8
        {"450, largest advance", 450, {high, 0, 0}, {{0, 0}, {1518485686, -1518485686}, {1518485686, -1518485686}}},
        // 9998 * 214749 / 10000 = 214706.05, 175 * 214749 / 10000 = 3758.1
        {"10: just past 32-bit products", 10, {214749, 214749, 0}, {{0, 0}, {214706, -3758}, {429412, -7516}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        font.lfEscapement = row.escapement;
        EXPECT_EQ(Record("abc", &row.advances, 0, 0, 0), 0);
        std::vector<DrawnText> expected;
        for (size_t i = 0; i < row.points.size(); ++i) {
            expected.push_back({row.points[i].first, row.points[i].second, std::string(1, "abc"[i])});
        }
        EXPECT_THAT(Drawn(), ElementsAreArray(expected)) << GdiDoubleDump();
    }
}

} // namespace
