#include "compare_command.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "emf_compare.h"

int CompareCommand(int argc, char **argv)
{
    CompareOptions options;
    std::vector<std::string> paths;
    for (int i = 0; i < argc; ++i) {
        const bool valued = !strcmp(argv[i], "--out") || !strcmp(argv[i], "--width");
        if (valued && i + 1 >= argc) {
            fprintf(stderr, "quillrec_driver: %s needs a value\n", argv[i]);
            return kCompareBadInput;
        }
        if (!strcmp(argv[i], "--out")) {
            options.markFolder = argv[++i];
        } else if (!strcmp(argv[i], "--width")) {
            options.pictureWidth = atoi(argv[++i]);
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() != 2 || options.pictureWidth < 16 || options.pictureWidth > 8000) {
        fprintf(stderr, "usage: quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]\n"
                        "  A and B are two spool files or two output folders; a picture marking the pixels\n"
                        "  that differ goes to FOLDER (none without --out). Exit 0 same, 1 different, 2 bad input.\n");
        return kCompareBadInput;
    }
    std::string report;
    const CompareResult result = CompareRecordings(paths[0], paths[1], options, &report);
    fputs(report.c_str(), stdout);
    return result;
}
