// The benchmarks compare the DLL with "the same calls made directly"; that
// comparison means something only while the direct calls are the library's
// calls. Each request is made both ways against the test double, from the
// same starting state, and the two call logs must read the same.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_requests.h"
#include "gdi_double.h"
#include "quillrec_exports.h"

namespace {

HDC OpenDoubleSurface()
{
    HDC reference = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    HDC surface = CreateEnhMetaFileA(reference, "C:\\WINDOWS\\temp\\EMF1.tmp", NULL, NULL);
    DeleteDC(reference);
    GdiDoubleClearLog();
    return surface;
}

std::vector<std::string> CallTexts()
{
    std::vector<std::string> texts;
    for (const GdiCall &call : GdiDoubleCalls()) {
        // A locked block's address is the allocator's choice, not a call's.
        texts.push_back(call.name == "GlobalLock" ? call.text.substr(0, call.text.find(" -> ")) : call.text);
    }
    return texts;
}

std::string Listing(const std::vector<std::string> &texts)
{
    std::string listing;
    for (const std::string &text : texts) {
        listing += "  " + text + "\n";
    }
    return listing;
}

std::vector<std::string> ThroughDll(const BenchCase &request)
{
    GdiDoubleReset();
    Handle32 surface = (Handle32)(uintptr_t)OpenDoubleSurface();
    const QuillrecCalls dll = LinkedQuillrecCalls();
    RequestThroughDll(dll, &surface, request);
    return CallTexts();
}

std::vector<std::string> Direct(const BenchCase &request, DirectMemory memory)
{
    GdiDoubleReset();
    RequestDirect(OpenDoubleSurface(), request, memory);
    return CallTexts();
}

bool IsKernelCall(const std::string &text)
{
    static const char *const kKernel[] = {"GlobalAlloc(", "GlobalLock(",       "GlobalUnlock(",
                                          "GlobalFree(",  "IsDBCSLeadByteEx(", "GetACP("};
    for (const char *name : kKernel) {
        if (text.compare(0, strlen(name), name) == 0) {
            return true;
        }
    }
    return false;
}

TEST(BenchRequests, DirectCallsAreTheLibrarysCalls)
{
    PrepareBenchInputs();
    for (const BenchCase &request : BenchSweepCases()) {
        SCOPED_TRACE(std::string(request.label) + " " + std::to_string(request.size));
        std::vector<std::string> library = ThroughDll(request);
        std::vector<std::string> direct = Direct(request, DIRECT_SAME_CALLS);
        ASSERT_FALSE(library.empty());
        EXPECT_EQ(library, direct) << "library:\n" << Listing(library) << "direct:\n" << Listing(direct);
        EXPECT_TRUE(GdiDoubleProblems().empty());
    }
}

TEST(BenchRequests, GdiOnlyCallsLeaveOutJustTheKernelCalls)
{
    PrepareBenchInputs();
    for (const BenchCase &request : BenchSweepCases()) {
        SCOPED_TRACE(std::string(request.label) + " " + std::to_string(request.size));
        std::vector<std::string> expected;
        for (const std::string &text : ThroughDll(request)) {
            if (!IsKernelCall(text)) {
                expected.push_back(text);
            }
        }
        std::vector<std::string> direct = Direct(request, DIRECT_GDI_ONLY);
        EXPECT_EQ(expected, direct) << "expected:\n" << Listing(expected) << "direct:\n" << Listing(direct);
    }
}

} // namespace
