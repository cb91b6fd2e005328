// Comparing two recordings: two spool files, or two output folders page by
// page. Record by record first (the first differences shown with both
// records decoded), then the pictures GDI plays from them, pixel by pixel.
#ifndef QUILLREC_EMF_COMPARE_H
#define QUILLREC_EMF_COMPARE_H

#include <string>

enum CompareResult {
    kCompareSame = 0,
    kCompareDifferent = 1,
    kCompareBadInput = 2, // a file missing, unreadable or cut short
};

struct CompareOptions {
    int pictureWidth = 800;         // both pages are played at this width
    std::string markFolder; // where a picture marking differing pixels goes; none when empty
};

// Compares A and B (both spool files or both folders of *.emf) and appends a
// readable report. Masked, because GDI writes them differently from run to
// run: the bytes of a font record after its LOGFONTW face name (Wine leaves
// the full name, style and the rest of the face buffer undefined), the
// request comments of an inspection run, and the header's byte and record
// counts (the records themselves are compared one by one).
CompareResult CompareRecordings(const std::string &a, const std::string &b, const CompareOptions &options,
                                std::string *report);

#endif
