// One request per read rule, every record ending where a no-access page
// begins: the DLL named on the command line (the real one, or the capture
// DLL in front of it) must read none of the bytes the rule leaves out. A read
// past a record ends the process, so a clean exit is the pass. (A DIB with a
// BITMAPCOREHEADER is left out: Wine's recorder faults on any, guarded or not.)
//   quillrec_read_guard.exe QUILLREC.dll
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "requestmodel/quillrec_calls.h"

namespace {

QuillrecCalls dll;
Handle32 surface = 0;
std::vector<void *> blocks;

// size bytes of from at the end of a block whose next page is no-access
// (size 0: that page itself).
template <typename T> T *Guard(const T *from, size_t size)
{
    const size_t page = 4096, data = (size + page - 1) / page * page;
    uint8_t *block = (uint8_t *)VirtualAlloc(nullptr, data + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old = 0;
    if (block == nullptr || !VirtualProtect(block + data, page, PAGE_NOACCESS, &old)) {
        std::fprintf(stderr, "no guarded block\n");
        std::exit(2);
    }
    blocks.push_back(block);
    std::memcpy(block + data - size, from, size);
    return (T *)(block + data - size);
}

void FreeGuarded()
{
    for (void *block : blocks) {
        VirtualFree(block, 0, MEM_RELEASE);
    }
    blocks.clear();
}

const DrawModeRecord kMode = {R2_COPYPEN, OPAQUE, 0xFFFFFF, 0x0000FF, 1};
const RECT kRect = {10, 10, 200, 120};
Handle32 none[5];

int32_t Output(uint16_t style, const void *points, uint16_t count, LOGPEN *pen, LOGBRUSH *brush,
               const DrawModeRecord *mode)
{
    uint16_t scan = 0;
    uint32_t geometric = 0;
    return dll.Output32(&surface, &style, &scan, &count, points, pen, &geometric, brush, mode, &none[0], &none[1],
                        &none[2], &none[3], &none[4], nullptr);
}

int32_t Raster(const BITMAP *source, LOGBRUSH *brush, const DrawModeRecord *mode)
{
    int32_t v[8] = {0, 0, 32, 32, 0, 0, 8, 8};
    uint32_t rop = SRCCOPY;
    return dll.Raster32(&surface, &v[0], &v[1], &v[2], &v[3], source, &v[4], &v[5], &v[6], &v[7], &rop, brush, mode);
}

int32_t Dib(const void *bits, const BITMAPINFO *info, LOGBRUSH *brush, const DrawModeRecord *mode)
{
    int32_t v[8] = {0, 0, 32, 32, 0, 0, 8, 8};
    uint32_t rop = SRCCOPY;
    return dll.Dib32(&surface, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], bits, info, &rop, brush, mode);
}

const Point16 kBox[2] = {{10, 10}, {80, 60}};

// Each case: the rule, then the request made with records cut to it.
void HollowBrush()
{
    LOGBRUSH hollow = {BS_HOLLOW, 0, 0};
    Output(OUT_RECTANGLE, Guard(kBox, sizeof kBox), 2, nullptr, Guard(&hollow, 4), Guard(&kMode, 4));
}

void SolidBrushMode()
{
    LOGBRUSH solid = {BS_SOLID, 0x00FF00, 0};
    Output(OUT_RECTANGLE, Guard(kBox, sizeof kBox), 2, nullptr, Guard(&solid, sizeof solid), Guard(&kMode, 16));
}

void NegativeCount()
{
    const int32_t counts[2] = {3, -1};
    PolyPolygonRecord record = {Guard(counts, sizeof counts), Guard(kBox, 0)};
    Output(OUT_ALTPOLYPOLYGON, Guard(&record, sizeof record), 3, nullptr, nullptr, Guard(&kMode, 4));
}

void OverflowingTotal()
{
    const int32_t counts[3] = {0x7FFFFFFF, 0x7FFFFFFF, 2};
    PolyPolygonRecord record = {Guard(counts, sizeof counts), Guard(kBox, 0)};
    Output(OUT_WINDPOLYPOLYGON, Guard(&record, sizeof record), 5, nullptr, nullptr, Guard(&kMode, 4));
}

void PaletteDibPattern()
{
    // an 8x8 8-bit packed DIB with 256 two-byte palette indexes
    std::vector<uint8_t> packed(sizeof(BITMAPINFOHEADER) + 256 * 2 + 64, 0);
    BITMAPINFOHEADER header = {sizeof header, 8, 8, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(packed.data(), &header, sizeof header);
    LOGBRUSH brush = {BS_DIBPATTERNPT, DIB_PAL_COLORS, (ULONG_PTR)Guard(packed.data(), packed.size())};
    Output(OUT_RECTANGLE, Guard(kBox, sizeof kBox), 2, nullptr, Guard(&brush, sizeof brush), Guard(&kMode, 16));
}

void SourcelessTransfers()
{
    LOGBRUSH hollow = {BS_HOLLOW, 0, 0};
    Raster(nullptr, nullptr, Guard(&kMode, 0));
    Dib(nullptr, nullptr, Guard(&hollow, 4), Guard(&kMode, 0));
}

void ColourSourceRop2Zero()
{
    std::vector<uint8_t> bits(8 * 3 * 8, 0x40);
    BITMAP source = {0, 8, 8, 24, 1, 24, Guard(bits.data(), bits.size())};
    DrawModeRecord mode = kMode;
    mode.rop2 = 0;
    Raster(Guard(&source, sizeof source), nullptr, Guard(&mode, 4));
}

void NegativeAndPlanes()
{
    // GDI reads the magnitudes' rows; four planes of one bit hold four
    std::vector<uint8_t> bits(2 * 8 * 4, 0x5A);
    BITMAP negative = {0, -8, -8, 2, 1, 1, Guard(bits.data(), 16)};
    BITMAP planes = {0, 8, 8, 2, 4, 1, Guard(bits.data(), bits.size())};
    Raster(Guard(&negative, sizeof negative), nullptr, Guard(&kMode, 20));
    Raster(Guard(&planes, sizeof planes), nullptr, Guard(&kMode, 20));
}

void LargeDib()
{
    // past what a capture writes in hex: its bytes go to a file beside it
    BITMAPINFOHEADER header = {sizeof header, 1024, 512, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bits(1024 * 3 * 512);
    for (size_t i = 0; i < bits.size(); ++i) {
        bits[i] = (uint8_t)(i * 7);
    }
    Dib(Guard(bits.data(), bits.size()), Guard((const BITMAPINFO *)&header, sizeof header), nullptr, nullptr);
}

void Text(uint32_t options, const void *units, uint32_t count, const int32_t *advances, size_t advanceBytes)
{
    LOGFONTA font = {};
    font.lfHeight = -16;
    std::strcpy(font.lfFaceName, "Arial");
    int32_t x = 10, y = 10;
    dll.TextOut32(&surface, Guard(&font, sizeof font), &x, &y, &options, nullptr,
                  Guard((const char *)units, (options & ETO_GLYPH_INDEX) ? 2 * count : count), &count,
                  advances == nullptr ? nullptr : Guard(advances, advanceBytes), Guard(&kMode, 16));
}

void TextReads()
{
    const int32_t advances[8] = {10, 0, 10, 0, 10, 0, 10, 0};
    const uint16_t glyphs[4] = {36, 37, 38, 39};
    Text(0, "abcd", 4, advances, 16);
    Text(ETO_GLYPH_INDEX | ETO_PDY, glyphs, 4, advances, sizeof advances);
}

void FailedReference()
{
    // a device the spooler does not know: no reference device, so neither the
    // frame nor the file name is read
    const char *unknown = "no such printer";
    HDC reference = CreateDCA("WINSPL16", unknown, nullptr, nullptr);
    if (reference != nullptr) {
        DeleteDC(reference);
        std::printf("skipped: this system makes a reference device for an unknown printer\n");
        return;
    }
    char name[MAX_PATH] = "never read";
    Handle32 other = 0;
    dll.GetEmfFileDC32(nullptr, unknown, Guard(name, 0), Guard(&kRect, 0), nullptr, nullptr, &other);
}

struct Case {
    const char *rule;
    void (*run)();
};
const Case kCases[] = {
    {"a hollow brush: lbStyle only, no draw mode", HollowBrush},
    {"a solid brush: rop2 to textColor, no useBkMode", SolidBrushMode},
    {"poly-polygon counts end at the first negative one", NegativeCount},
    {"poly-polygon counts end where the total overflows", OverflowingTotal},
    {"DIB_PAL_COLORS pattern: two-byte colour entries", PaletteDibPattern},
    {"no source, no brush made: no draw mode", SourcelessTransfers},
    {"colour source with rop2 0: rop2 only", ColourSourceRop2Zero},
    {"negative sizes and four planes: their rows", NegativeAndPlanes},
    {"a DIB's header and every row of its bits, 1.5 MiB of them", LargeDib},
    {"text: draw mode colours; ETO_PDY: two advances a glyph", TextReads},
    {"no reference device: no frame, no file name", FailedReference},
};

// A fault ends the run at once with its address, rather than in a debugger.
LONG WINAPI Faulted(EXCEPTION_POINTERS *exception)
{
    const EXCEPTION_RECORD *record = exception->ExceptionRecord;
    std::printf("fault 0x%08lx at %p reading %p\n", (unsigned long)record->ExceptionCode, record->ExceptionAddress,
                record->NumberParameters > 1 ? (void *)record->ExceptionInformation[1] : nullptr);
    std::fflush(stdout);
    ExitProcess(3);
}

} // namespace

int main(int argc, char **argv)
{
    SetUnhandledExceptionFilter(Faulted);
    HMODULE module = argc == 2 ? LoadLibraryA(argv[1]) : nullptr;
    if (module == nullptr || QuillrecFindCalls(module, &dll) != 0) {
        std::fprintf(stderr, "usage: quillrec_read_guard QUILLREC.dll (a DLL with the nine exports)\n");
        return 2;
    }
    char name[MAX_PATH] = {};
    const RECT frame = {0, 0, 21000, 29700};
    if (dll.GetEmfFilePath32(name) != 0 ||
        dll.GetEmfFileDC32(nullptr, "DISPLAY", name, &frame, nullptr, nullptr, &surface) != 0) {
        std::fprintf(stderr, "no page\n");
        return 1;
    }
    for (const Case &one : kCases) {
        std::printf("%s\n", one.rule);
        std::fflush(stdout);
        one.run();
        FreeGuarded();
    }
    dll.CloseEmfFile32(&surface);
    DeleteFileA(name);
    std::printf("read guard: %u rules, clean\n", (unsigned)(sizeof kCases / sizeof kCases[0]));
    return 0;
}
