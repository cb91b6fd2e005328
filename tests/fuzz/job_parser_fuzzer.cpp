// libFuzzer target for the driver simulator's job-file parser: any text must
// either parse or be rejected with one message that names the job and the
// line ("path:line: what was expected"). Crashes and hangs are findings too
// (the short run has a -timeout).
//
// Input: the job text, optionally followed by a NUL byte and the contents that
// every file named in the job reads as (a bitmap image or a point list), so
// the image decoders are fuzzed through the parser as a driver engineer would
// reach them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "job_parser.h"

namespace {

[[noreturn]] void Fail(const std::string &problem, const std::string &text)
{
    std::fprintf(stderr, "\n=== job parser finding ===\n%s\njob text (%zu bytes):\n%.2000s\n", problem.c_str(),
                 text.size(), text.c_str());
    std::abort();
}

// "fuzz.job:<digits>: <message>"
bool NamesALine(const std::string &error)
{
    const std::string prefix = "fuzz.job:";
    if (error.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    size_t at = prefix.size(), digits = 0;
    while (at < error.size() && error[at] >= '0' && error[at] <= '9') {
        ++at, ++digits;
    }
    return digits > 0 && std::strtol(error.c_str() + prefix.size(), nullptr, 10) > 0 &&
           error.compare(at, 2, ": ") == 0 && error.size() > at + 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input((const char *)data, size);
    size_t split = input.find('\0');
    std::string text = input.substr(0, split);
    std::string file = split == std::string::npos ? std::string() : input.substr(split + 1);
    bool haveFile = split != std::string::npos;

    job::Job parsed;
    std::string error;
    bool ok = job::ParseJob(text, "fuzz.job", &parsed, &error, [&](const std::string &, std::string *contents) {
        if (!haveFile) {
            return false;
        }
        *contents = file;
        return true;
    });
    if (!ok && !NamesALine(error)) {
        Fail("rejected without a message naming a line: '" + error + "'", text);
    }
    if (ok) {
        for (const job::Request &request : parsed.requests) {
            if (request.line <= 0) {
                Fail("a request without its line number", text);
            }
        }
    }
    if (haveFile) {
        // The decoders on their own: a rejection says why.
        job::BitmapSetting bitmap;
        std::string imageError;
        if (!job::DecodeImage(file, &bitmap, &imageError)) {
            if (imageError.empty()) {
                Fail("image rejected without a message", text);
            }
        } else if ((int64_t)bitmap.width * bitmap.height != (int64_t)bitmap.pixels.size()) {
            Fail("decoded image of " + std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height) + " holds " +
                     std::to_string(bitmap.pixels.size()) + " pixels",
                 text);
        }
    }
    return 0;
}
