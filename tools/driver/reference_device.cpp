// The device a page records against and the DEVMODE the simulator makes for
// the workbench printer.
#include "reference_device.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "format_text.h"
#include "workbench_printer.h"

namespace {

// The sheets of Wine's generic PPD (its PaperDimension rows, points turned
// into 0.1 mm), smallest area first. It takes no custom sizes.
const Paper kPapers[] = {
    {"A5", DMPAPER_A5, 1485, 2099},
    {"B5 (JIS)", DMPAPER_B5, 1820, 2572},
    {"Executive", DMPAPER_EXECUTIVE, 1842, 2667},
    {"Letter", DMPAPER_LETTER, 2159, 2794},
    {"A4", DMPAPER_A4, 2099, 2970},
    {"Legal", DMPAPER_LEGAL, 2159, 3556},
    {"A3", DMPAPER_A3, 2970, 4202},
};

// Points rounded to the PPD's whole numbers leave A4 a fraction of a
// millimetre narrower than 210 mm; a frame that much larger still fits.
const int32_t kSlack = 100; // 0.01 mm

// The generic PPD's default resolution, made explicit so that a page means
// the same on every prefix.
const int kDefaultDpi = 300;

bool Fits(const Paper &paper, int32_t across, int32_t down)
{
    return across <= paper.width * 10 + kSlack && down <= paper.length * 10 + kSlack;
}

// The page's own extent in 0.01 mm: its frame, its size at its resolution,
// or A4 portrait.
void PageExtent(const job::Request &request, int dpi, int32_t *width, int32_t *height)
{
    *width = 21000;
    *height = 29700;
    if (request.hasFrame && !request.nullFrame) {
        *width = request.frame.right - request.frame.left;
        *height = request.frame.bottom - request.frame.top;
    } else if (request.hasSize) {
        *width = (int32_t)((int64_t)request.sizeX * 2540 / dpi);
        *height = (int32_t)((int64_t)request.sizeY * 2540 / dpi);
    }
}

} // namespace

PaperChoice ChoosePaper(int32_t width, int32_t height)
{
    const bool landscape = width > height;
    const int32_t across = landscape ? height : width, down = landscape ? width : height;
    for (const Paper &paper : kPapers) {
        if (Fits(paper, across, down)) {
            return {&paper, landscape};
        }
    }
    return {&kPapers[sizeof kPapers / sizeof kPapers[0] - 1], landscape};
}

std::vector<BYTE> MakePrinterDevMode(const PaperChoice &choice, int dpi)
{
    std::vector<BYTE> bytes(156, 0);
    DEVMODEA mode = {};
    snprintf((char *)mode.dmDeviceName, sizeof mode.dmDeviceName, "%s", QUILLREC_PRINTER_NAME);
    mode.dmSpecVersion = 0x0400; // Windows 95's DEVMODE
    mode.dmSize = 156;
    // Wine's PostScript driver takes a resolution only as the pair of
    // print quality and y resolution, and only one its PPD lists.
    mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PRINTQUALITY | DM_YRESOLUTION;
    mode.dmOrientation = choice.landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    mode.dmPaperSize = choice.paper->code;
    mode.dmPrintQuality = (short)dpi;
    mode.dmYResolution = (short)dpi;
    memcpy(bytes.data(), &mode, bytes.size());
    return bytes;
}

// A device GDI can open here, with its own default settings.
bool DeviceExists(const std::string &name)
{
    HDC reference = CreateDCA("WINSPL16", name.c_str(), nullptr, nullptr);
    if (reference != nullptr) {
        DeleteDC(reference);
    }
    return reference != nullptr;
}

PageDevice ChoosePageDevice(const job::Request &request)
{
    PageDevice device;
    device.name = request.hasDevice ? request.device : QUILLREC_PRINTER_NAME;
    // A capture names the driver's own printer, which this machine lacks:
    // the workbench printer stands in, with the captured DEVMODE. A page
    // that expects GetEmfFileDC32 to fail keeps the name it gives.
    const bool expectsFailure = request.hasExpect && request.expect != 0;
    if (request.hasDevice && !expectsFailure && !DeviceExists(request.device)) {
        device.name = QUILLREC_PRINTER_NAME;
        device.standingInFor = request.device;
    }
    device.devMode.assign(request.devMode.begin(), request.devMode.end());
    const int dpi = request.dpi > 0 ? request.dpi : kDefaultDpi;
    if (device.devMode.empty() && device.name == QUILLREC_PRINTER_NAME) {
        int32_t width = 0, height = 0;
        PageExtent(request, dpi, &width, &height);
        device.devMode = MakePrinterDevMode(ChoosePaper(width, height), dpi);
    } else if (!device.devMode.empty() && request.dpi > 0 && device.devMode.size() >= 156) {
        // dpi= on a page with its own DEVMODE: the resolution fields only
        DEVMODEA mode;
        memcpy(&mode, device.devMode.data(), 156);
        mode.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        mode.dmPrintQuality = mode.dmYResolution = (short)request.dpi;
        memcpy(device.devMode.data(), &mode, 156);
    }
    return device;
}

bool MeasureDevice(const PageDevice &device, DeviceFacts *facts)
{
    std::vector<BYTE> devMode(device.devMode);
    if (!devMode.empty()) {
        devMode.resize(std::max(devMode.size(), sizeof(DEVMODEA)), 0);
    }
    HDC reference = CreateDCA("WINSPL16", device.name.c_str(), nullptr,
                              devMode.empty() ? nullptr : reinterpret_cast<const DEVMODEA *>(devMode.data()));
    if (reference == nullptr) {
        return false;
    }
    facts->name = device.name;
    facts->standingInFor = device.standingInFor;
    facts->dpiX = GetDeviceCaps(reference, LOGPIXELSX);
    facts->dpiY = GetDeviceCaps(reference, LOGPIXELSY);
    facts->width = GetDeviceCaps(reference, HORZRES);
    facts->height = GetDeviceCaps(reference, VERTRES);
    facts->widthMm = GetDeviceCaps(reference, HORZSIZE);
    facts->heightMm = GetDeviceCaps(reference, VERTSIZE);
    DeleteDC(reference);
    return true;
}

std::string DescribeDevice(const DeviceFacts &facts)
{
    const std::string standIn =
        facts.standingInFor.empty() ? "" : " (standing in for \"" + facts.standingInFor + "\", not on this machine)";
    return FormatText("recorded against \"%s\"%s: %dx%d dpi, printable %dx%d pixels (%dx%d mm)", facts.name.c_str(),
                      standIn.c_str(), facts.dpiX, facts.dpiY, facts.width, facts.height, facts.widthMm,
                      facts.heightMm);
}
