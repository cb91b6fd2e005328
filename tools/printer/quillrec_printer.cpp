// quillrec_printer: installs the workbench printer in the Wine prefix it runs
// in, once; scripts/wine-run calls it while preparing a prefix.
//
// Wine's PostScript driver needs no print server: its built-in generic PPD
// (a PPDFILE resource of winspool.drv) becomes the driver's data file, and
// the printer prints to FILE:. The print processor has to be winprint: the
// one named after the driver refuses the RAW data type EndDoc hands it.
//
// Exit status: 0 installed or already there, 1 it could not be installed.
#include <windows.h>
#include <winspool.h>

#include <stdio.h>

#include <string>

#include "workbench_printer.h"

namespace {

std::wstring Wide(const char *text)
{
    return std::wstring(text, text + strlen(text));
}

bool Installed()
{
    HANDLE printer = nullptr;
    if (!OpenPrinterA((LPSTR)QUILLREC_PRINTER_NAME, &printer, nullptr)) {
        return false;
    }
    ClosePrinter(printer);
    return true;
}

// The generic PPD as a file of its own; trailing zeros in the resource are
// not part of it.
bool WritePpd(const std::wstring &path)
{
    HMODULE spooler = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = spooler != nullptr ? FindResourceW(spooler, MAKEINTRESOURCEW(1), L"PPDFILE") : nullptr;
    const char *bytes = resource != nullptr ? (const char *)LockResource(LoadResource(spooler, resource)) : nullptr;
    if (bytes == nullptr) {
        fprintf(stderr, "quillrec_printer: winspool.drv holds no generic PPD\n");
        return false;
    }
    DWORD size = SizeofResource(spooler, resource);
    const void *end = memchr(bytes, 0, size);
    if (end != nullptr) {
        size = (DWORD)((const char *)end - bytes);
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes, size, &written, nullptr) && written == size;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return ok;
}

bool AddDriver(const std::wstring &ppd)
{
    std::wstring name = Wide(QUILLREC_PRINTER_DRIVER);
    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = &name[0];
    driver.pDriverPath = (LPWSTR)L"wineps.drv";
    driver.pConfigFile = (LPWSTR)L"wineps.drv";
    driver.pDataFile = (LPWSTR)ppd.c_str();
    driver.pDefaultDataType = (LPWSTR)L"RAW";
    if (!AddPrinterDriverExW(nullptr, 3, (LPBYTE)&driver, APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)) {
        fprintf(stderr, "quillrec_printer: AddPrinterDriverExW failed (error %lu)\n", GetLastError());
        return false;
    }
    return true;
}

bool AddWorkbenchPrinter()
{
    std::wstring name = Wide(QUILLREC_PRINTER_NAME), driver = Wide(QUILLREC_PRINTER_DRIVER);
    PRINTER_INFO_2W info = {};
    info.pPrinterName = &name[0];
    info.pDriverName = &driver[0];
    info.pPortName = (LPWSTR)L"FILE:";
    info.pPrintProcessor = (LPWSTR)L"winprint";
    info.pDatatype = (LPWSTR)L"RAW";
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(nullptr, 2, (LPBYTE)&info);
    if (printer == nullptr) {
        fprintf(stderr, "quillrec_printer: AddPrinterW failed (error %lu)\n", GetLastError());
        return false;
    }
    ClosePrinter(printer);
    return true;
}

} // namespace

int main()
{
    if (Installed()) {
        printf("quillrec_printer: \"%s\" is installed\n", QUILLREC_PRINTER_NAME);
        return 0;
    }
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring ppd = std::wstring(folder) + L"quillrec-generic.ppd";
    const bool added = WritePpd(ppd) && AddDriver(ppd) && AddWorkbenchPrinter();
    DeleteFileW(ppd.c_str());
    if (!added || !Installed()) {
        fprintf(stderr, "quillrec_printer: \"%s\" could not be installed\n", QUILLREC_PRINTER_NAME);
        return 1;
    }
    printf("quillrec_printer: installed \"%s\"\n", QUILLREC_PRINTER_NAME);
    return 0;
}
