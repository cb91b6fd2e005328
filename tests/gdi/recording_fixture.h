// Real-GDI test support: the DLL loaded once per program, a recording opened
// on a fresh spool file for each test, and the file read back through GDI.
#ifndef QUILLREC_RECORDING_FIXTURE_H
#define QUILLREC_RECORDING_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emf_decoder.h"
#include "emf_player.h"
#include "emf_records.h"
#include "png_writer.h"
#include "quillrec_exports.h"

// The exports of the DLL next to the test program; a test fails (not
// crashes) when it cannot be loaded.
const QuillrecExports &Dll();

class RecordingTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the recording on a new spool file against the "DISPLAY"
    // reference; frame may be null.
    void Open(const RECT *frame = nullptr);
    // Opens it with a frame of width x height pixels of the reference, so a
    // rendering of that size maps one logical unit onto one pixel.
    void OpenPixelFrame(int width, int height);
    // Closes the recording and returns its records.
    std::vector<EmfRecord> Finish();
    // Closes, then plays the file into a width x height bitmap.
    std::vector<uint32_t> FinishAndRender(int width, int height);

    // The surface as this process's GDI sees it.
    HDC SurfaceDc() const { return (HDC)(intptr_t)(int32_t)surface; }

    std::string path;
    Handle32 surface = 0;
    bool open = false;
};

// Keeps a rendering to look at: <temp>\quillrec-<name>.png.
void Keep(const char *name, int width, int height, const std::vector<uint32_t> &pixels);

// Counts records of one type.
size_t CountRecords(const std::vector<EmfRecord> &records, DWORD type);
// The records of one type, in order.
std::vector<const EmfRecord *> RecordsOf(const std::vector<EmfRecord> &records, DWORD type);

#endif
