// The device a page records against: which one a page line names, the
// DEVMODE the simulator hands the workbench printer for the page's size and
// resolution, and what the device reports about itself.
#ifndef QUILLREC_REFERENCE_DEVICE_H
#define QUILLREC_REFERENCE_DEVICE_H

#include <stdint.h>

#include <string>
#include <vector>

#include <windows.h>

#include "job_parser.h"

// A sheet the workbench printer's PPD offers, in 0.1 mm, portrait.
struct Paper {
    const char *name;
    short code; // DMPAPER_
    int32_t width, length;
};

// The smallest sheet that holds width x height (0.01 mm), turned to fit;
// the largest when none does.
struct PaperChoice {
    const Paper *paper;
    bool landscape;
};
PaperChoice ChoosePaper(int32_t width, int32_t height);

// A 156-byte DEVMODEA (the Windows 95 size) for the workbench printer with
// this paper and resolution.
std::vector<BYTE> MakePrinterDevMode(const PaperChoice &choice, int dpi);

// What a page records against: the device name handed to GetEmfFileDC32
// and the DEVMODE bytes (none for the display, or when a capture had none).
struct PageDevice {
    std::string name;
    std::vector<BYTE> devMode;
    std::string standingInFor; // the name the page gave, when this machine lacks it
};
PageDevice ChoosePageDevice(const job::Request &request);

// The reference device as GDI reports it.
struct DeviceFacts {
    std::string name;
    std::string standingInFor;
    int dpiX = 0, dpiY = 0;
    int width = 0, height = 0;     // printable pixels
    int widthMm = 0, heightMm = 0; // printable millimetres
};
bool MeasureDevice(const PageDevice &device, DeviceFacts *facts);
// "recorded against "NAME": 300x300 dpi, printable 2329x3358 pixels (197x284 mm)"
std::string DescribeDevice(const DeviceFacts &facts);

#endif
