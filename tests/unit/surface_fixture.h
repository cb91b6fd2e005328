// The recording surface the host tests draw on: a fresh GDI test double, a
// printer reference, the metafile context made on it, and an empty call log,
// so a test's call list holds only its own calls.
#ifndef QUILLREC_SURFACE_FIXTURE_H
#define QUILLREC_SURFACE_FIXTURE_H

#include "gdi_double.h"
#include "platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

// The head of every row of a failure table: what the row is called, the call
// the double fails for it (none when null), and the result the caller sees.
struct FailureRow {
    const char *label;
    const char *failing;
    int32_t result;
};

class SurfaceTest : public ::testing::Test {
  protected:
    void SetUp() override { Reopen(); }

    // Starts again from nothing, for a table whose rows each want a new surface.
    void Reopen()
    {
        GdiDoubleReset();
        reference = CreateDCA("WINSPL16", "PRINTER", nullptr, nullptr);
        surface = CreateEnhMetaFileA(reference, "C:\\WINDOWS\\temp\\EMF1.tmp", nullptr, nullptr);
        variable = HandleTo32(surface);
        GdiDoubleClearLog();
    }

    // Each row of a failure table from the fixture's fresh start, its call
    // failing once: `run` makes the request, checks what the row wants and
    // returns the request's result, which must be the row's. Whatever failed,
    // the injected failure must have fired and the ledger be clean.
    template <typename Row, size_t N, typename Run> void ForEachFailure(const Row (&rows)[N], Run run)
    {
        for (const Row &row : rows) {
            SCOPED_TRACE(row.label);
            SetUp();
            if (row.failing != nullptr) {
                GdiDoubleFailCall(row.failing);
            }
            EXPECT_EQ(run(row), row.result) << GdiDoubleDump();
            EXPECT_THAT(GdiDoublePendingFailures(), ::testing::IsEmpty()) << "an injected failure never fired";
            EXPECT_THAT(GdiDoubleProblems(), ::testing::IsEmpty()) << GdiDoubleDump();
        }
    }

    HDC reference = nullptr;
    HDC surface = nullptr;
    Handle32 variable = 0; // the caller's 32-bit variable holding the surface
};

typedef std::vector<std::string> Names;

// Call-name lists put end to end, for sequences built from named parts.
inline Names Join(std::initializer_list<Names> parts)
{
    Names joined;
    for (const Names &part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

#endif
