// What the job runner keeps for each page it records (a capture may have
// several open at once), and the map from a capture's scan-bracket handles
// to the ones the replay was handed in their place.
#ifndef QUILLREC_PAGE_STATE_H
#define QUILLREC_PAGE_STATE_H

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "quillrec.h"
#include "reference_device.h"
#include "request_warnings.h"

// The objects a scan bracket handed out: the driver's own handle variables.
struct BracketHandles {
    Handle32 pen = 0;
    Handle32 oldPen = 0;
    Handle32 brush = 0;
    Handle32 oldBrush = 0;
    Handle32 patternBitmap = 0;
};

// A page being recorded, and after its close the handle the driver kept.
struct PageState {
    Handle32 surface = 0;
    bool open = false;
    int number = 0; // its page line
    std::string spoolPath;
    RECT frame = {};
    PageDevice pageDevice; // what GetEmfFileDC32 is handed
    DeviceFacts device;    // what that device reports, for the listing and picture
    BracketHandles bracket;
    int marks = 0;                                  // request marks written on this page so far
    std::vector<std::pair<int, std::string>> calls; // the page's calls, by the mark they follow
    PageExtent extent;                              // the page in logical units, for warnings
    bool scanlines = false;                         // the page has scanline runs
};

// Newest last: a delete that names a capture's handles raw gets the replay's.
struct HandleMap {
    std::vector<std::pair<Handle32, Handle32>> pairs;

    void Note(const uint32_t captured[5], const BracketHandles &got)
    {
        const Handle32 replayed[5] = {got.pen, got.oldPen, got.brush, got.oldBrush, got.patternBitmap};
        for (int i = 0; i < 5; ++i) {
            pairs.push_back({captured[i], replayed[i]});
        }
    }

    // What a bracket handed out in its place, else the number itself.
    Handle32 Replayed(Handle32 captured) const
    {
        for (size_t i = pairs.size(); captured != 0 && i > 0; --i) {
            if (pairs[i - 1].first == captured) {
                return pairs[i - 1].second;
            }
        }
        return captured;
    }
};

#endif
