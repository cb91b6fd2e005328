// Spool file naming, opening and closing the recording, and the clip
// rectangle, through the exports on real GDI.
#include <ctype.h>

#include "recording_fixture.h"

namespace {

std::string Lower(std::string text)
{
    for (char &c : text) {
        c = (char)tolower((unsigned char)c);
    }
    return text;
}

std::string SpoolDirectory()
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\temp";
}

bool FileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TEST(Exports, AreFoundAtOrdinalsTwoToTenAndNothingAtOne)
{
    HMODULE module = Dll().module;
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(11)), nullptr);
    const char *names[] = {"GetEmfFileDC32", "CloseEmfFile32", "DeleteObject32",   "Output32",     "Raster32",
                           "Dib32",          "TextOut32",      "GetEmfFilePath32", "SetClipRect32"};
    for (int ordinal = 2; ordinal <= 10; ++ordinal) {
        SCOPED_TRACE(names[ordinal - 2]);
        FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byOrdinal, nullptr);
        EXPECT_EQ(byOrdinal, GetProcAddress(module, names[ordinal - 2]));
    }
}

TEST(SpoolFileName, IsANewFileInTheWindowsTempFolderWithPrefixEmf)
{
    char first[MAX_PATH] = {};
    char second[MAX_PATH] = {};
    ASSERT_EQ(Dll().GetEmfFilePath32(first), 0);
    ASSERT_EQ(Dll().GetEmfFilePath32(second), 0);
    std::string expected = Lower(SpoolDirectory() + "\\emf");
    EXPECT_EQ(Lower(first).substr(0, expected.size()), expected) << first;
    EXPECT_NE(std::string(first), std::string(second));
    EXPECT_TRUE(FileExists(first)) << first;
    DeleteFileA(first);
    DeleteFileA(second);
}

// A missing temp folder must be reported, with the caller's buffer left as it
// was, so the caller never opens a surface on a stale name.
TEST(SpoolFileName, MissingTempFolderFailsAndLeavesTheBufferUntouched)
{
    std::string directory = SpoolDirectory();
    std::string parked = directory + ".parked-by-test";
    if (!MoveFileA(directory.c_str(), parked.c_str())) {
        GTEST_SKIP() << "cannot move " << directory << " aside (error " << GetLastError() << ")";
    }
    char buffer[MAX_PATH];
    memset(buffer, 'Q', sizeof buffer);
    int32_t result = Dll().GetEmfFilePath32(buffer);
    MoveFileA(parked.c_str(), directory.c_str());
    EXPECT_EQ(result, -1);
    for (char c : buffer) {
        ASSERT_EQ(c, 'Q');
    }
}

TEST_F(RecordingTest, OpenWritesTheSurfaceAndCloseLeavesAReadableFile)
{
    Open();
    auto records = Finish();
    ASSERT_GE(records.size(), 2u) << path;
    EXPECT_EQ(records.front().type, (DWORD)EMR_HEADER);
    EXPECT_EQ(records.back().type, (DWORD)EMR_EOF);
    EXPECT_TRUE(FileExists(path));
}

TEST_F(RecordingTest, OpenWithAnUnknownPrinterFailsAndLeavesTheVariable)
{
    char name[MAX_PATH] = {};
    ASSERT_EQ(Dll().GetEmfFilePath32(name), 0);
    path = name;
    Handle32 variable = 0x5A5A5A5A;
    EXPECT_EQ(Dll().GetEmfFileDC32(nullptr, "NO SUCH PRINTER", name, nullptr, nullptr, nullptr, &variable), -1);
    EXPECT_EQ(variable, 0x5A5A5A5Au);
}

TEST_F(RecordingTest, OpenOnAnUnwritablePathFailsAndLeavesTheVariable)
{
    Handle32 variable = 0x5A5A5A5A;
    EXPECT_EQ(Dll().GetEmfFileDC32(nullptr, "DISPLAY", "C:\\no\\such\\folder\\spool.emf", nullptr, nullptr, nullptr,
                                   &variable),
              -1);
    EXPECT_EQ(variable, 0x5A5A5A5Au);
}

TEST_F(RecordingTest, ArgumentsFiveAndSixAreNotRead)
{
    char name[MAX_PATH] = {};
    ASSERT_EQ(Dll().GetEmfFilePath32(name), 0);
    path = name;
    // Pointers that would fault if followed.
    const void *poison = reinterpret_cast<const void *>(static_cast<uintptr_t>(0x10));
    ASSERT_EQ(Dll().GetEmfFileDC32(nullptr, "DISPLAY", name, nullptr, poison, poison, &surface), 0);
    open = true;
    EXPECT_GE(Finish().size(), 2u);
}

TEST_F(RecordingTest, SecondClipRectangleReplacesTheFirst)
{
    Open();
    RECT first = {10, 10, 50, 50};
    RECT second = {60, 20, 90, 40};
    EXPECT_EQ(Dll().SetClipRect32(&surface, &first), 0);
    EXPECT_EQ(Dll().SetClipRect32(&surface, &second), 0);
    // Paint everything after the clips, straight through GDI on the surface.
    SelectObject(SurfaceDc(), GetStockObject(BLACK_BRUSH));
    SelectObject(SurfaceDc(), GetStockObject(NULL_PEN));
    Rectangle(SurfaceDc(), 0, 0, 101, 101);
    auto records = Finish();

    auto clips = RecordsOf(records, EMR_INTERSECTCLIPRECT);
    ASSERT_EQ(clips.size(), 2u) << DescribeEmfRecords(records);
    auto resets = RecordsOf(records, EMR_EXTSELECTCLIPRGN);
    ASSERT_EQ(resets.size(), 2u) << DescribeEmfRecords(records);
    // Each rectangle follows a reset of the clip region, so none narrows the other.
    EXPECT_LT(resets[1], clips[1]);
    EXPECT_LT(clips[0], resets[1]);
    const RECTL &kept = clips[1]->As<EMRINTERSECTCLIPRECT>()->rclClip;
    EXPECT_EQ(kept.left, 60);
    EXPECT_EQ(kept.top, 20);
    EXPECT_EQ(kept.right, 90);
    EXPECT_EQ(kept.bottom, 40);
}

TEST_F(RecordingTest, NullClipRectangleRecordsNothing)
{
    Open();
    EXPECT_EQ(Dll().SetClipRect32(&surface, nullptr), 0);
    auto records = Finish();
    EXPECT_EQ(EmfDrawingTypes(records).size(), 0u) << DescribeEmfRecords(records);
}

TEST_F(RecordingTest, ClosingKeepsTheSpoolFileAndTheCallersVariable)
{
    Open();
    Handle32 opened = surface;
    EXPECT_EQ(Dll().CloseEmfFile32(&surface), 0);
    open = false;
    EXPECT_EQ(surface, opened);
    HENHMETAFILE reopened = GetEnhMetaFileA(path.c_str());
    EXPECT_NE(reopened, nullptr) << path;
    DeleteEnhMetaFile(reopened);
}

} // namespace
