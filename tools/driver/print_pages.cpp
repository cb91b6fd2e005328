// Printing a spool file on the workbench printer into a PostScript file.
#include "print_pages.h"

#include <vector>

#include <windows.h>

#include "format_text.h"
#include "reference_device.h"
#include "workbench_printer.h"

namespace {

// Fine enough that the PostScript driver's own rounding to device pixels
// stays below what a PDF viewer shows; bitmaps are sent at their own size.
const int kPrintDpi = 600;

// The frame (0.01 mm) on the sheet: its origin is the sheet's corner, so a
// frame the size of the sheet covers it; the printer's pixels count from
// the printable area's corner.
RECT FrameOnSheet(HDC printer, const RECTL &frame)
{
    const int dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    const int offsetX = GetDeviceCaps(printer, PHYSICALOFFSETX), offsetY = GetDeviceCaps(printer, PHYSICALOFFSETY);
    auto across = [&](LONG value) { return (LONG)((int64_t)value * dpiX / 2540) - offsetX; };
    auto down = [&](LONG value) { return (LONG)((int64_t)value * dpiY / 2540) - offsetY; };
    return {across(frame.left), down(frame.top), across(frame.right), down(frame.bottom)};
}

bool PlayOnPrinter(HDC printer, HENHMETAFILE metafile, const RECTL &frame, const DOCINFOA &document, std::string *error)
{
    if (StartDocA(printer, &document) <= 0) {
        *error = FormatText("StartDoc failed (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    const RECT target = FrameOnSheet(printer, frame);
    const bool played = StartPage(printer) > 0 && PlayEnhMetaFile(printer, metafile, &target);
    const bool ended = EndPage(printer) > 0;
    if (EndDoc(printer) <= 0 || !played || !ended) {
        *error = FormatText("the page did not print (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    return true;
}

} // namespace

bool PrintSpoolFile(const std::string &emfPath, const std::string &psPath, const std::string &title, std::string *error)
{
    HENHMETAFILE metafile = GetEnhMetaFileA(emfPath.c_str());
    ENHMETAHEADER header = {};
    if (metafile == nullptr || GetEnhMetaFileHeader(metafile, sizeof header, &header) == 0) {
        *error = "GDI cannot read " + emfPath;
        if (metafile != nullptr) {
            DeleteEnhMetaFile(metafile);
        }
        return false;
    }
    const RECTL &frame = header.rclFrame;
    std::vector<BYTE> devMode =
        MakePrinterDevMode(ChoosePaper(frame.right - frame.left, frame.bottom - frame.top), kPrintDpi);
    HDC printer =
        CreateDCA("WINSPOOL", QUILLREC_PRINTER_NAME, nullptr, reinterpret_cast<const DEVMODEA *>(devMode.data()));
    bool printed = false;
    if (printer == nullptr) {
        *error = "the workbench printer \"" QUILLREC_PRINTER_NAME "\" is not installed (scripts/wine-run installs it)";
    } else {
        char output[MAX_PATH] = {};
        GetFullPathNameA(psPath.c_str(), MAX_PATH, output, nullptr);
        DOCINFOA document = {sizeof document, title.c_str(), output, nullptr, 0};
        printed = PlayOnPrinter(printer, metafile, frame, document, error);
        DeleteDC(printer);
    }
    DeleteEnhMetaFile(metafile);
    return printed;
}
