// TextOut32's request: the font realized and released around one drawing,
// the text attributes it leaves on the surface, and the choice between the
// glyph-index, whole-string and per-character ways.
#include "text_support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

TEST_F(TextTest, WholeStringIsDrawnOnceInTheCallersFontAndTheFontIsReleased)
{
    font.lfEscapement = 900;
    font.lfOrientation = 450;
    font.lfCharSet = SHIFTJIS_CHARSET;
    drawMode.rop2 = R2_NOT;
    RECT clip = {1, 2, 300, 400};
    rectangle = &clip;
    LOGFONTA asPassed = font;

    EXPECT_EQ(Record("Hello", nullptr, ETO_CLIPPED, 10, -20), 0);

    EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CreateFontIndirectA", "SelectObject", "SetBkMode", "SetTextAlign",
                                                  "SetTextColor", "ExtTextOutA", "SelectObject", "DeleteObject"))
        << GdiDoubleDump();
    const GdiObjectInfo *created = GdiDoubleObjectsOf(GdiKind::Font).at(0);
    EXPECT_EQ(std::memcmp(&created->logFont, &asPassed, sizeof asPassed), 0) << "the record must reach GDI unaltered";
    EXPECT_EQ(std::memcmp(&font, &asPassed, sizeof asPassed), 0) << "the caller's record must stay as it was";

    const GdiCall *text = GdiDoubleLastCall("ExtTextOutA");
    EXPECT_EQ(text->state.font, created->handle) << "drawn in the created font";
    EXPECT_THAT(text->args, ElementsAre(10, -20, ETO_CLIPPED, (int64_t)(intptr_t)&clip, ::testing::_, 5, 0));
    EXPECT_EQ(text->bytes, "Hello");
    EXPECT_FALSE(text->hasDx);
    EXPECT_EQ(GdiDoubleCallsOf("SelectObject").at(1)->args.at(0), (int64_t)(intptr_t)GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(GdiDoubleCallsOf("DeleteObject").at(0)->args.at(0), (int64_t)(intptr_t)created->handle);
    EXPECT_EQ(GdiDoubleCallCount("SetROP2"), 0) << "text sets no raster operation";
}

// The attributes stay for later requests; only the font selection is undone.
TEST_F(TextTest, TextAttributesOutliveTheRequest)
{
    SetTextAlign(surface, 24 | 1); // TA_BASELINE | TA_UPDATECP
    drawMode.bkMode = OPAQUE;
    EXPECT_EQ(Record("A", nullptr), 0);
    GdiDcState state = GdiDoubleDcState(surface);
    EXPECT_EQ(state.bkMode, OPAQUE);
    EXPECT_EQ(state.textAlign, 0u);
    EXPECT_EQ(state.textColor, drawMode.textColor);
    EXPECT_EQ(state.bkColor, drawMode.bkColor);
}

TEST_F(TextTest, BackgroundColourIsSetOnlyWhenSomethingIsPaintedOpaque)
{
    const COLORREF earlier = 0x00ABCDEF;
    struct Row {
        const char *label;
        uint32_t bkMode;
        uint32_t options;
        bool setsBkColor;
    } rows[] = {
        {"transparent", TRANSPARENT, 0, false},
        {"transparent, clipped", TRANSPARENT, ETO_CLIPPED, false},
        {"transparent with an opaque rectangle", TRANSPARENT, ETO_OPAQUE, true},
        {"opaque", OPAQUE, 0, true},
        {"opaque with an opaque rectangle", OPAQUE, ETO_OPAQUE | ETO_CLIPPED, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        SetBkColor(surface, earlier);
        GdiDoubleClearLog();
        drawMode.bkMode = row.bkMode;

        EXPECT_EQ(Record("A", nullptr, row.options), 0);

        EXPECT_EQ(GdiDoubleCallCount("SetBkColor"), row.setsBkColor ? 1 : 0) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleDcState(surface).bkColor, row.setsBkColor ? drawMode.bkColor : earlier);
        EXPECT_EQ(GdiDoubleDcState(surface).bkMode, (int)row.bkMode);
        if (row.setsBkColor) {
            EXPECT_EQ(GdiDoubleLastCall("ExtTextOutA")->state.bkColor, drawMode.bkColor);
        }
    }
}

// Nothing may be touched when the font cannot be made: the caller learns of
// it, and the surface keeps its font and attributes.
TEST_F(TextTest, FontThatCannotBeCreatedFailsBeforeTouchingTheSurface)
{
    std::vector<int32_t> advances = {5, 5};
    for (uint32_t options : {0u, (uint32_t)ETO_GLYPH_INDEX}) {
        for (const std::vector<int32_t> *array :
             {(const std::vector<int32_t> *)nullptr, (const std::vector<int32_t> *)&advances}) {
            SCOPED_TRACE(::testing::Message() << "options " << options << (array ? ", advances" : ", no advances"));
            GdiDoubleClearLog();
            GdiDoubleFailCall("CreateFontIndirectA");
            EXPECT_EQ(Record("AB", array, options | ETO_OPAQUE), -1);
            EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CreateFontIndirectA")) << GdiDoubleDump();
        }
    }
    HFONT created = (HFONT)1, previous = (HFONT)2;
    EXPECT_EQ(RealizeFont(surface, &font, &drawMode, &created, &previous, 0), 0);
    ReleaseFont(surface, created, previous);
    GdiDoubleFailCall("CreateFontIndirectA");
    previous = (HFONT)2;
    EXPECT_EQ(RealizeFont(surface, &font, &drawMode, &created, &previous, 0), -1);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(previous, (HFONT)2) << "the previous font is stored only on success";
    EXPECT_EQ(ReleaseFont(surface, nullptr, previous), 0);
}

TEST_F(TextTest, EachWayMakesItsOneKindOfDrawingCall)
{
    std::vector<int32_t> advances = {7, 8, 9, 10};
    struct Row {
        const char *label;
        uint32_t options;
        const std::vector<int32_t> *advances;
        int32_t escapement;
        int wide, narrow; // ExtTextOutW and ExtTextOutA calls
    } rows[] = {
        {"glyph indices with advances", ETO_GLYPH_INDEX, &advances, 0, 1, 0},
        {"glyph indices with advances, rotated", ETO_GLYPH_INDEX | ETO_OPAQUE, &advances, 900, 1, 0},
        {"glyph indices without advances", ETO_GLYPH_INDEX, nullptr, 0, 1, 0},
        {"whole string", 0, nullptr, 0, 0, 1},
        {"whole string, rotated: the font alone turns it", ETO_OPAQUE, nullptr, 900, 0, 1},
        {"per character", 0, &advances, 0, 0, 4},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleClearLog();
        font.lfEscapement = row.escapement;
        // Four glyph indices, or four bytes.
        const char text[] = {'\x24', '\x00', '\x25', '\x00', '\x26', '\x00', '\x27', '\x00'};
        std::string string = (row.options & ETO_GLYPH_INDEX) ? std::string(text, 8) : std::string("WXYZ");
        EXPECT_EQ(Record(string, row.advances, row.options, 3, 4), 0);
        EXPECT_EQ(GdiDoubleCallCount("ExtTextOutW"), row.wide) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleCallCount("ExtTextOutA"), row.narrow) << GdiDoubleDump();
        if (row.wide == 1) {
            const GdiCall *call = GdiDoubleLastCall("ExtTextOutW");
            EXPECT_THAT(call->args, ElementsAre(3, 4, row.options, 0, ::testing::_, 4, ::testing::_));
            EXPECT_THAT(call->wide, ElementsAre(0x24, 0x25, 0x26, 0x27));
            EXPECT_EQ(call->hasDx, row.advances != nullptr);
            if (row.advances != nullptr) {
                EXPECT_EQ(call->dx, *row.advances) << "passed through, not applied";
            }
        }
    }
}

TEST_F(TextTest, CountZeroDrawsOnlyOnTheWholeCallWays)
{
    std::vector<int32_t> advances;
    RECT box = {0, 0, 50, 60};
    rectangle = &box;

    EXPECT_EQ(Record("", nullptr, ETO_OPAQUE), 0);
    ASSERT_EQ(GdiDoubleCallCount("ExtTextOutA"), 1) << "an opaque rectangle alone is still drawn";
    EXPECT_EQ(GdiDoubleLastCall("ExtTextOutA")->args.at(5), 0);

    GdiDoubleClearLog();
    EXPECT_EQ(Record("", nullptr, ETO_GLYPH_INDEX | ETO_OPAQUE), 0);
    ASSERT_EQ(GdiDoubleCallCount("ExtTextOutW"), 1);
    EXPECT_EQ(GdiDoubleLastCall("ExtTextOutW")->args.at(5), 0);

    GdiDoubleClearLog();
    EXPECT_EQ(Emit("", &advances, ETO_OPAQUE), 0);
    EXPECT_EQ(GdiDoubleCallCount("ExtTextOutA"), 0) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleCallCount("TranslateCharsetInfo"), 1) << "the code page is chosen all the same";
}

// A drawing failure reaches EmitText's result but never the caller, and the
// font is released all the same (TearDown checks the ledger).
TEST_F(TextTest, DrawingFailureIsNotReportedAndTheFontIsStillReleased)
{
    std::vector<int32_t> advances = {4, 4};
    struct Row {
        const char *label;
        const char *call;
        uint32_t options;
        const std::vector<int32_t> *advances;
    } rows[] = {
        {"glyph indices", "ExtTextOutW", ETO_GLYPH_INDEX, nullptr},
        {"whole string", "ExtTextOutA", 0, nullptr},
        {"per character", "ExtTextOutA", 0, &advances},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        GdiDoubleFailEveryCall(row.call);
        EXPECT_EQ(Emit("AB", row.advances, row.options), -1) << GdiDoubleDump();
        GdiDoubleClearLog();
        EXPECT_EQ(Record("AB", row.advances, row.options), 0);
        EXPECT_EQ(GdiDoubleCallCount("DeleteObject"), 1) << GdiDoubleDump();
        GdiDoubleClearFailures();
        EXPECT_EQ(Emit("AB", row.advances, row.options), 0);
    }
}

// A font GDI made but could not select is still deleted, once.
TEST_F(TextTest, FontThatCannotBeSelectedIsStillDeleted)
{
    GdiDoubleFailCall("SelectObject");
    EXPECT_EQ(Record("A", nullptr), 0);
    EXPECT_EQ(GdiDoubleCallCount("DeleteObject"), 1) << GdiDoubleDump();
    EXPECT_THAT(GdiDoubleLeakProblems(), IsEmpty());
}

} // namespace
