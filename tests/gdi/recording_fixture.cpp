#include "recording_fixture.h"

#include <cstdio>

const QuillrecExports &Dll()
{
    static QuillrecExports exports;
    static bool tried = false;
    static std::string error;
    if (!tried) {
        tried = true;
        std::string dll = ProgramFolder() + "QUILLREC.dll";
        LoadQuillrec(dll.c_str(), &exports, &error);
    }
    EXPECT_NE(exports.module, nullptr) << error;
    return exports;
}

void RecordingTest::SetUp()
{
    ASSERT_NE(Dll().module, nullptr);
}

void RecordingTest::TearDown()
{
    if (open) {
        Dll().CloseEmfFile32(&surface);
        open = false;
    }
    if (!path.empty() && !::testing::Test::HasFailure()) {
        DeleteFileA(path.c_str());
    }
}

void RecordingTest::Open(const RECT *frame)
{
    char name[MAX_PATH] = {};
    ASSERT_EQ(Dll().GetEmfFilePath32(name), 0);
    path = name;
    ASSERT_EQ(Dll().GetEmfFileDC32(nullptr, "DISPLAY", name, frame, nullptr, nullptr, &surface), 0);
    ASSERT_NE(surface, 0u);
    open = true;
}

void RecordingTest::OpenPixelFrame(int width, int height)
{
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    RECT frame = {0, 0, MulDiv(width, GetDeviceCaps(display, HORZSIZE) * 100, GetDeviceCaps(display, HORZRES)),
                  MulDiv(height, GetDeviceCaps(display, VERTSIZE) * 100, GetDeviceCaps(display, VERTRES))};
    DeleteDC(display);
    Open(&frame);
}

std::vector<EmfRecord> RecordingTest::Finish()
{
    EXPECT_TRUE(open);
    if (open) {
        EXPECT_EQ(Dll().CloseEmfFile32(&surface), 0);
        open = false;
    }
    return ReadEmfRecords(path.c_str());
}

std::vector<uint32_t> RecordingTest::FinishAndRender(int width, int height)
{
    Finish();
    std::vector<uint32_t> pixels;
    EXPECT_TRUE(RenderEmf(path.c_str(), width, height, &pixels)) << path;
    return pixels;
}

void Keep(const char *name, int width, int height, const std::vector<uint32_t> &pixels)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string file = std::string(folder) + "quillrec-" + name + ".png";
    EXPECT_TRUE(WritePng(file.c_str(), width, height, pixels)) << file;
    std::printf("rendering kept in %s\n", file.c_str());
}

size_t CountRecords(const std::vector<EmfRecord> &records, DWORD type)
{
    return RecordsOf(records, type).size();
}

std::vector<const EmfRecord *> RecordsOf(const std::vector<EmfRecord> &records, DWORD type)
{
    std::vector<const EmfRecord *> found;
    for (const EmfRecord &record : records) {
        if (record.type == type) {
            found.push_back(&record);
        }
    }
    return found;
}
