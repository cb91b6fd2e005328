// Executing a parsed job against QUILLREC.dll exactly as the driver's thunk
// calls it, and turning each finished page into its outputs.
#ifndef QUILLREC_JOB_RUNNER_H
#define QUILLREC_JOB_RUNNER_H

#include <string>
#include <vector>

#include "job_parser.h"
#include "quillrec_exports.h"

struct RunOptions {
    std::string outFolder = "out"; // created when missing
    std::string jobName;           // output files are <jobName>-page<N>.emf/.png/.txt
    int pictureWidth = 800;        // the frame's width in pixels in the picture
    bool verbose = false;          // report each spool file as it is started
    // An inspection run marks each request with a GDI comment in the spool
    // file and leaves only the listing, the records under their requests; a
    // normal run leaves the spool file, with no comments, and its picture.
    bool inspect = false;
    // How an inspection run's marks reach the surface when the DLL runs in
    // another process (the 16-bit replayer's); GDI's own GdiComment if null.
    BOOL (*comment)(Handle32 surface, UINT size, const BYTE *data) = nullptr;
};

struct JobSummary {
    std::vector<std::string> written; // files left in the output folder
    int pages = 0;                    // pages finished
    size_t records = 0;               // records in the finished pages
    int warnings = 0;
    int failedPage = 0; // the page a failure stopped, 0 when none did
    // where the printed pages (the .ps files) differ from their pictures:
    // "page N: what and why"
    std::vector<std::string> printNotes;
};

// Runs the job's requests in order, finishing each page as it closes. On
// failure returns false with a message naming the job line and the page;
// that page's spool file and outputs are deleted and the pages finished
// before it are kept.
bool RunJob(const QuillrecExports &dll, const job::Job &job, const RunOptions &options, JobSummary *summary,
            std::string *error);

#endif
