// Recording against the workbench printer: the spool header carries the
// printer's own metrics for the paper, orientation and resolution a DEVMODE
// asks for.
#include "recording_fixture.h"
#include "workbench_printer.h"

namespace {

struct MetricsRow {
    const char *label;
    short paper;
    short orientation;
    short dpi;
    // the paper's printable area in the generic PPD (ImageableArea), in
    // points, portrait
    int across, down;
};

// A4: 18 18 577 824; Letter: 18 18 594 774.
const MetricsRow kMetrics[] = {
    {"A4 portrait 300", DMPAPER_A4, DMORIENT_PORTRAIT, 300, 559, 806},
    {"A4 landscape 300", DMPAPER_A4, DMORIENT_LANDSCAPE, 300, 559, 806},
    {"A4 portrait 600", DMPAPER_A4, DMORIENT_PORTRAIT, 600, 559, 806},
    {"A4 landscape 600", DMPAPER_A4, DMORIENT_LANDSCAPE, 600, 559, 806},
    {"Letter portrait 300", DMPAPER_LETTER, DMORIENT_PORTRAIT, 300, 576, 756},
    {"Letter landscape 300", DMPAPER_LETTER, DMORIENT_LANDSCAPE, 300, 576, 756},
    {"Letter portrait 600", DMPAPER_LETTER, DMORIENT_PORTRAIT, 600, 576, 756},
    {"Letter landscape 600", DMPAPER_LETTER, DMORIENT_LANDSCAPE, 600, 576, 756},
};

// The Windows 95 DEVMODEA (156 bytes) a driver hands over.
DEVMODEA DevMode(const MetricsRow &row)
{
    DEVMODEA mode = {};
    mode.dmSpecVersion = 0x0400;
    mode.dmSize = 156;
    mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PRINTQUALITY | DM_YRESOLUTION;
    mode.dmOrientation = row.orientation;
    mode.dmPaperSize = row.paper;
    mode.dmPrintQuality = mode.dmYResolution = row.dpi;
    return mode;
}

TEST(WorkbenchPrinter, SpoolHeaderCarriesThePrintersMetrics)
{
    for (const MetricsRow &row : kMetrics) {
        SCOPED_TRACE(row.label);
        char name[MAX_PATH] = {};
        ASSERT_EQ(Dll().GetEmfFilePath32(name), 0);
        const DEVMODEA mode = DevMode(row);
        Handle32 surface = 0;
        ASSERT_EQ(Dll().GetEmfFileDC32(&mode, QUILLREC_PRINTER_NAME, name, nullptr, nullptr, nullptr, &surface), 0)
            << "the workbench printer \"" QUILLREC_PRINTER_NAME "\" is missing; scripts/wine-run --prepare installs it";
        ASSERT_EQ(Dll().CloseEmfFile32(&surface), 0);
        HENHMETAFILE metafile = GetEnhMetaFileA(name);
        ENHMETAHEADER header = {};
        ASSERT_NE(GetEnhMetaFileHeader(metafile, sizeof header, &header), 0u);
        DeleteEnhMetaFile(metafile);
        DeleteFileA(name);

        const bool landscape = row.orientation == DMORIENT_LANDSCAPE;
        const LONG across = (landscape ? row.down : row.across) * row.dpi / 72;
        const LONG down = (landscape ? row.across : row.down) * row.dpi / 72;
        EXPECT_EQ(header.szlDevice.cx, across);
        EXPECT_EQ(header.szlDevice.cy, down);
        EXPECT_EQ(header.szlMillimeters.cx, across * 254 / (row.dpi * 10));
        EXPECT_EQ(header.szlMillimeters.cy, down * 254 / (row.dpi * 10));
    }
}

} // namespace
