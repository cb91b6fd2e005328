// quillrec_driver: plays a printer driver's part against QUILLREC.dll. Reads
// job files, calls the nine exports by ordinal as the driver's thunk would,
// and leaves for each page the spool file, a record listing and a picture.
//
//   quillrec_driver [--dll PATH] [--out FOLDER] [--width PIXELS] [--check] [--verbose] JOB...
//   quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]
//
// Exit status: 0 when every job ran, 1 when a job failed while running, 2 for
// a job file that does not parse or a bad command line. A failed job leaves
// no spool file or output behind.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "compare_command.h"
#include "job_parser.h"
#include "job_runner.h"
#include "quillrec_exports.h"

namespace {

void Usage()
{
    fprintf(stderr, "usage: quillrec_driver [--dll PATH] [--out FOLDER] [--width PIXELS] [--check] [--verbose] "
                    "JOB...\n"
                    "  --dll PATH      QUILLREC.dll to drive (default: next to this program)\n"
                    "  --out FOLDER    where page files go (default: out)\n"
                    "  --width PIXELS  picture width of the page frame (default: 800)\n"
                    "  --check         parse the jobs only; call nothing\n"
                    "  --verbose       name each spool file as it is started\n"
                    "       quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]\n"
                    "  compares two spool files or two output folders (exit 0 same, 1 different, 2 bad input)\n");
}

// "samples/form.job" -> "form"
std::string JobName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && !strcmp(argv[1], "--compare")) {
        return CompareCommand(argc - 2, argv + 2);
    }
    std::string dllPath = ProgramFolder() + "QUILLREC.dll";
    RunOptions options;
    bool checkOnly = false;
    std::vector<std::string> jobs;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if ((!strcmp(argument, "--dll") || !strcmp(argument, "--out") || !strcmp(argument, "--width")) &&
            i + 1 >= argc) {
            fprintf(stderr, "quillrec_driver: %s needs a value\n", argument);
            return 2;
        }
        if (!strcmp(argument, "--dll")) {
            dllPath = argv[++i];
        } else if (!strcmp(argument, "--out")) {
            options.outFolder = argv[++i];
        } else if (!strcmp(argument, "--width")) {
            options.pictureWidth = atoi(argv[++i]);
            if (options.pictureWidth < 16 || options.pictureWidth > 8000) {
                fprintf(stderr, "quillrec_driver: --width takes 16 to 8000 pixels\n");
                return 2;
            }
        } else if (!strcmp(argument, "--check")) {
            checkOnly = true;
        } else if (!strcmp(argument, "--verbose")) {
            options.verbose = true;
        } else if (!strcmp(argument, "--help") || !strcmp(argument, "-h")) {
            Usage();
            return 0;
        } else if (argument[0] == '-' && argument[1] == '-') {
            fprintf(stderr, "quillrec_driver: unknown option %s\n", argument);
            Usage();
            return 2;
        } else {
            jobs.push_back(argument);
        }
    }
    if (jobs.empty()) {
        Usage();
        return 2;
    }

    // Every job is parsed before anything is called, so a mistake in the
    // last one stops the run before the first spool file exists.
    std::vector<job::Job> parsed(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        std::string error;
        if (!job::ParseJobFile(jobs[i], &parsed[i], &error)) {
            fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
    }
    if (checkOnly) {
        for (const job::Job &job : parsed) {
            printf("%s: %zu requests, %d pages\n", job.path.c_str(), job.requests.size(), job.pages);
        }
        return 0;
    }

    QuillrecExports dll;
    std::string error;
    if (!LoadQuillrec(dllPath.c_str(), &dll, &error)) {
        fprintf(stderr, "quillrec_driver: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    for (const job::Job &job : parsed) {
        options.jobName = JobName(job.path);
        std::vector<std::string> written;
        if (!RunJob(dll, job, options, &written, &error)) {
            fprintf(stderr, "%s\n", error.c_str());
            status = 1;
            continue;
        }
        for (const std::string &path : written) {
            printf("wrote %s\n", path.c_str());
        }
    }
    UnloadQuillrec(&dll);
    return status;
}
