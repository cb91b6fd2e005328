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
    std::string jobName;           // output files are <jobName>-page<N>.emf/.bmp/.txt
    int pictureWidth = 800;        // the frame's width in pixels in the picture
    bool verbose = false;          // report each spool file as it is started
};

// Runs the job's requests in order. Every page's spool file is copied to the
// output folder (and the temporary one removed), read back through GDI,
// listed and played into a BMP. On failure returns false with a message
// naming the job line, after deleting every spool file and output the run
// had started, so that nothing is left that looks like a finished page.
bool RunJob(const QuillrecExports &dll, const job::Job &job, const RunOptions &options,
            std::vector<std::string> *written, std::string *error);

#endif
