// Shared set-up of the text tests: a recording surface in the GDI test double,
// a font and a draw mode, and readers for the drawing calls.
#ifndef QUILLREC_TEXT_SUPPORT_H
#define QUILLREC_TEXT_SUPPORT_H

#include "surface_fixture.h"
#include "text/placement.h"
#include "text/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Where one drawing call put its text.
struct DrawnText {
    int x, y;
    std::string bytes;
    bool operator==(const DrawnText &other) const { return x == other.x && y == other.y && bytes == other.bytes; }
};

inline std::ostream &operator<<(std::ostream &out, const DrawnText &text)
{
    out << "(" << text.x << ", " << text.y << ") \"";
    for (unsigned char c : text.bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out << c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out << hex;
        }
    }
    return out << "\"";
}

class TextTest : public SurfaceTest {
  protected:
    void SetUp() override
    {
        SurfaceTest::SetUp();
        font.lfHeight = -20;
        font.lfWeight = 400;
        font.lfCharSet = ANSI_CHARSET;
        std::strcpy(font.lfFaceName, "DejaVu Sans");
    }

    void TearDown() override
    {
        EXPECT_THAT(GdiDoubleProblems(), ::testing::IsEmpty()) << GdiDoubleDump();
        EXPECT_EQ(GdiDoubleDcState(surface).font, GetStockObject(SYSTEM_FONT)) << GdiDoubleDump();
    }

    // The whole request, as the export makes it. The string and the advances
    // are exact-size heap copies, so a read past either trips the sanitizer.
    int32_t Record(const std::string &text, const std::vector<int32_t> *advances, uint32_t options = 0,
                   int32_t x = 1000, int32_t y = 2000)
    {
        Copy(text, advances);
        return RecordText(surface, &font, x, y, options, rectangle, bytes.get(), Count(text, options),
                          advances ? advanceCopy.get() : nullptr, &drawMode);
    }

    // Drawing alone (the font is realized and released around it), for its result.
    int32_t Emit(const std::string &text, const std::vector<int32_t> *advances, uint32_t options = 0)
    {
        Copy(text, advances);
        HFONT created = nullptr, previous = nullptr;
        EXPECT_EQ(RealizeFont(surface, &font, &drawMode, &created, &previous, options), 0);
        int32_t result = EmitText(surface, 1000, 2000, options, rectangle, bytes.get(), Count(text, options),
                                  advances ? advanceCopy.get() : nullptr, &font);
        ReleaseFont(surface, created, previous);
        return result;
    }

    static std::vector<DrawnText> Drawn()
    {
        std::vector<DrawnText> drawn;
        for (const GdiCall *call : GdiDoubleCallsOf("ExtTextOutA")) {
            drawn.push_back({(int)call->args[0], (int)call->args[1], call->bytes});
        }
        return drawn;
    }

    LOGFONTA font = {};
    DrawModeRecord drawMode = {R2_COPYPEN, TRANSPARENT, 0x00336699, 0x000000FF, 0};
    const RECT *rectangle = nullptr;

  private:
    // Glyph-index strings count 16-bit units, others bytes.
    static uint32_t Count(const std::string &text, uint32_t options)
    {
        return (uint32_t)((options & ETO_GLYPH_INDEX) ? text.size() / 2 : text.size());
    }

    void Copy(const std::string &text, const std::vector<int32_t> *advances)
    {
        bytes.reset(new char[text.size() ? text.size() : 1]);
        std::copy(text.begin(), text.end(), bytes.get());
        if (advances != nullptr) {
            advanceCopy.reset(new int32_t[advances->size() ? advances->size() : 1]);
            std::copy(advances->begin(), advances->end(), advanceCopy.get());
        }
    }

    std::unique_ptr<char[]> bytes;
    std::unique_ptr<int32_t[]> advanceCopy;
};

#endif
