// Spool file naming, opening and closing the recording surface, and the clip
// rectangle, through the exports against the GDI test double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gdi_double.h"
#include "quillrec.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class Recording : public ::testing::Test {
  protected:
    void SetUp() override { GdiDoubleReset(); }

    Handle32 OpenSurface()
    {
        Handle32 surface = 0;
        EXPECT_EQ(GetEmfFileDC32(nullptr, "Laser", "C:\\WINDOWS\\temp\\EMF1.tmp", nullptr, nullptr, nullptr, &surface),
                  0);
        GdiDoubleClearLog();
        return surface;
    }

    // A buffer the export must leave alone on failure.
    std::vector<char> Poisoned() { return std::vector<char>(MAX_PATH, 'Q'); }
    static bool Untouched(const std::vector<char> &buffer) { return buffer == std::vector<char>(MAX_PATH, 'Q'); }
};

TEST_F(Recording, SpoolFileIsNamedInTheWindowsTempFolderWithPrefixEmf)
{
    // The caller's buffer holds old bytes: the name must arrive terminated.
    std::vector<char> name = Poisoned();
    EXPECT_EQ(GetEmfFilePath32(name.data()), 0);
    const GdiCall *call = GdiDoubleLastCall("GetTempFileNameA");
    ASSERT_NE(call, nullptr) << GdiDoubleDump();
    EXPECT_THAT(call->strings, ElementsAre("C:\\WINDOWS\\temp", "EMF")) << GdiDoubleDump();
    EXPECT_EQ(call->args[2], 0) << "a unique number of 0 lets GetTempFileNameA choose and create the file";
    ASSERT_EQ(GdiDoubleTempFiles().size(), 1u);
    std::string made = GdiDoubleTempFiles()[0];
    EXPECT_EQ(std::string(name.data(), made.size() + 1), made + '\0');
    EXPECT_EQ(GdiDoubleCallCount("GetWindowsDirectoryA"), 1);
}

// Every way of not producing a name is reported, and the caller's buffer is
// left exactly as it was so it never opens a surface on a stale name.
TEST_F(Recording, NoNameMeansFailureAndAnUntouchedBuffer)
{
    struct Case {
        const char *label;
        void (*arrange)();
    } cases[] = {
        {"temp folder missing", [] { GdiDoubleSetMissingDirectory("C:\\WINDOWS\\temp"); }},
        {"GetTempFileNameA fails (folder full)", [] { GdiDoubleFailCall("GetTempFileNameA"); }},
        {"GetWindowsDirectoryA fails", [] { GdiDoubleFailCall("GetWindowsDirectoryA"); }},
        {"Windows directory fills the buffer", [] { GdiDoubleSetWindowsDirectory("C:\\" + std::string(300, 'W')); }},
        // 255 characters plus "\temp" and the terminator is one byte too many.
        {"no room for the temp suffix", [] { GdiDoubleSetWindowsDirectory("C:\\" + std::string(252, 'W')); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        GdiDoubleReset();
        c.arrange();
        std::vector<char> buffer = Poisoned();
        EXPECT_EQ(GetEmfFilePath32(buffer.data()), -1) << GdiDoubleDump();
        EXPECT_TRUE(Untouched(buffer));
    }
}

TEST_F(Recording, LongestWindowsDirectoryThatFitsIsHandedOnWhole)
{
    // 254 characters + "\temp" (5) + terminator = 260 bytes: fills the buffer exactly.
    std::string directory = "C:\\" + std::string(251, 'W');
    GdiDoubleSetWindowsDirectory(directory);
    char name[MAX_PATH] = {};
    GetEmfFilePath32(name);
    const GdiCall *call = GdiDoubleLastCall("GetTempFileNameA");
    ASSERT_NE(call, nullptr) << GdiDoubleDump();
    EXPECT_EQ(call->strings[0], directory + "\\temp");
}

TEST_F(Recording, OpenCreatesTheReferenceThenTheMetafileAndDropsTheReference)
{
    DEVMODEA devMode = {};
    RECT frame = {0, 0, 21000, 29700};
    Handle32 surface = 0;
    EXPECT_EQ(GetEmfFileDC32(&devMode, "Laser", "C:\\spool.emf", &frame, nullptr, nullptr, &surface), 0);
    EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CreateDCA", "CreateEnhMetaFileA", "DeleteDC")) << GdiDoubleDump();

    const GdiCall *create = GdiDoubleLastCall("CreateDCA");
    EXPECT_THAT(create->strings, ElementsAre("WINSPL16", "Laser", "(null)"));
    EXPECT_EQ(create->args.back(), (int64_t)(intptr_t)&devMode);

    const GdiCall *metafile = GdiDoubleLastCall("CreateEnhMetaFileA");
    EXPECT_EQ(metafile->dc, (HDC)(intptr_t)GdiDoubleLastCall("CreateDCA")->result);
    EXPECT_THAT(metafile->strings, ElementsAre("C:\\spool.emf", "(null)"));
    EXPECT_TRUE(metafile->hasRect);
    EXPECT_EQ(metafile->rect.right, 21000);

    EXPECT_EQ(surface, (Handle32)metafile->result);
    EXPECT_EQ(GdiDoubleLastCall("DeleteDC")->dc, metafile->dc);
    EXPECT_THAT(GdiDoubleProblems(), IsEmpty());
}

TEST_F(Recording, FailedOpenReportsMinusOneAndLeavesTheVariable)
{
    struct Case {
        const char *failing;
        std::vector<std::string> calls;
    } cases[] = {
        {"CreateDCA", {"CreateDCA"}},
        {"CreateEnhMetaFileA", {"CreateDCA", "CreateEnhMetaFileA", "DeleteDC"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        GdiDoubleReset();
        GdiDoubleFailCall(c.failing);
        Handle32 surface = 0x5A5A5A5A;
        EXPECT_EQ(GetEmfFileDC32(nullptr, "Laser", "C:\\spool.emf", nullptr, nullptr, nullptr, &surface), -1);
        EXPECT_EQ(surface, 0x5A5A5A5Au);
        EXPECT_EQ(GdiDoubleCallNames(), c.calls) << GdiDoubleDump();
        EXPECT_THAT(GdiDoubleProblems(GdiLedgerScope::Everything), IsEmpty());
    }
}

TEST_F(Recording, CloseFinishesTheFileAndReleasesOnlyTheHandle)
{
    Handle32 surface = OpenSurface();
    Handle32 kept = surface;
    EXPECT_EQ(CloseEmfFile32(&surface), 0);
    EXPECT_THAT(GdiDoubleCallNames(), ElementsAre("CloseEnhMetaFile", "DeleteEnhMetaFile")) << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleLastCall("DeleteEnhMetaFile")->args[0], GdiDoubleLastCall("CloseEnhMetaFile")->result);
    EXPECT_EQ(surface, kept);
    EXPECT_THAT(GdiDoubleProblems(GdiLedgerScope::Everything), IsEmpty());
}

TEST_F(Recording, EachClipRectangleReplacesTheLastOneAndNullChangesNothing)
{
    Handle32 surface = OpenSurface();
    HDC dc = (HDC)(intptr_t)(int32_t)surface;
    RECT first = {10, 10, 50, 50};
    RECT second = {60, 20, 90, 40};
    EXPECT_EQ(SetClipRect32(&surface, &first), 0);
    EXPECT_EQ(SetClipRect32(&surface, &second), 0);
    EXPECT_EQ(SetClipRect32(&surface, nullptr), 0);
    EXPECT_THAT(GdiDoubleCallNames(),
                ElementsAre("SelectClipRgn", "IntersectClipRect", "SelectClipRgn", "IntersectClipRect"))
        << GdiDoubleDump();
    EXPECT_EQ(GdiDoubleLastCall("SelectClipRgn")->args[0], 0) << "the region is removed, not replaced";
    GdiDcState state = GdiDoubleDcState(dc);
    EXPECT_TRUE(state.hasClip);
    EXPECT_EQ(state.clip.left, 60);
    EXPECT_EQ(state.clip.top, 20);
    EXPECT_EQ(state.clip.right, 90);
    EXPECT_EQ(state.clip.bottom, 40);
}

} // namespace
