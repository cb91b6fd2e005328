// Printing a spool file on the workbench printer into a PostScript file.
#include "print_pages.h"

#include <stdio.h>

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

// The printing itself, in the printing process.
bool PrintHere(const std::string &emfPath, const std::string &psPath, const std::string &title, std::string *error)
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

// A fault ends the printing process at once, its code as the exit status,
// without Wine's debugger and its minute of backtrace.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS *fault)
{
    ExitProcess(fault->ExceptionRecord->ExceptionCode);
}

std::string Quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

} // namespace

int PrintCommand(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: quillrec_driver --print EMF PS TITLE\n");
        return 1;
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndOnFault);
    std::string error;
    if (!PrintHere(argv[0], argv[1], argv[2], &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

bool PrintSpoolFile(const std::string &emfPath, const std::string &psPath, const std::string &title, std::string *error)
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string line = Quoted(program) + " --print " + Quoted(emfPath) + " " + Quoted(psPath) + " " + Quoted(title);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        *error = FormatText("cannot start the printing process (error %lu)", (unsigned long)GetLastError());
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (status == 0) {
        return true;
    }
    *error = status == 1 ? "the printing process reported why above"
                         : FormatText("the PostScript driver faulted (exception 0x%08lx)", (unsigned long)status);
    return false;
}
