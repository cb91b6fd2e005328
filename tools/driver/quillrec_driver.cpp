// quillrec_driver: plays a printer driver's part against QUILLREC.dll. Reads
// job files, calls the nine exports by ordinal as the driver's thunk would,
// and leaves for each page the spool file, a record listing, a picture and
// the page printed on the workbench printer (PostScript).
//
//   quillrec_driver [--dll PATH] [--out FOLDER] [--width PIXELS] [--check] [--no-listing] [--verbose] [--via16] JOB...
//   quillrec_driver --reference
//   quillrec_driver --version
//   quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]
//   quillrec_driver --print EMF PS TITLE   (the printing of one page, which a run starts per page)
//
// Exit status, the worst of all jobs: 0 when every job ran, 1 when a job
// failed while running, 2 for a job file that does not parse or a bad command
// line. A job that does not parse is reported and the others still run; a
// job that fails keeps the pages finished before the one that failed.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compare_command.h"
#include "format_text.h"
#include "job_parser.h"
#include "job_runner.h"
#include "print_pages.h"
#include "quillrec_exports.h"
#include "replay16_calls.h"

namespace {

void Usage()
{
    fprintf(stderr, "usage: quillrec_driver [--dll PATH] [--out FOLDER] [--width PIXELS] [--check] [--no-listing] "
                    "[--verbose] [--via16] JOB...\n"
                    "  --dll PATH      QUILLREC.dll to drive (default: next to this program)\n"
                    "  --out FOLDER    where page files go (default: out)\n"
                    "  --width PIXELS  picture width of the page frame (default: 800)\n"
                    "  --check         parse the jobs only; call nothing\n"
                    "  --no-listing    record each job once, without the inspection run that makes the listings\n"
                    "  --verbose       name each spool file as it is started\n"
                    "  --via16         call the DLL from 16-bit code through the generic thunk, as the driver\n"
                    "                  does (32-bit build, under 32-bit Wine); --via16-wrong-mask=N does so\n"
                    "                  but hands the thunk a conversion mask of 0 on call N, to see that fail\n"
                    "  --reference     print the job format: every keyword, option and constant name\n"
                    "  --version       print the version of QUILLREC this simulator was built with\n"
                    "       quillrec_driver --compare A B [--out FOLDER] [--width PIXELS]\n"
                    "  compares two spool files or two output folders (exit 0 same, 1 different, 2 bad input)\n"
                    "       quillrec_driver --print EMF PS TITLE\n"
                    "  prints one spool file on the workbench printer into a PostScript file, as a run does per page\n");
}

struct CommandLine {
    std::string dllPath = ProgramFolder() + "QUILLREC.dll";
    RunOptions options;
    bool checkOnly = false;
    bool listing = true;
    bool via16 = false;
    unsigned wrongMaskCall = 0; // --via16-wrong-mask=N
    std::vector<std::string> jobs;
};

// Reads the command line; returns -1 to go on, else the exit status.
int ReadCommandLine(int argc, char **argv, CommandLine *line)
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        const bool valued = !strcmp(argument, "--dll") || !strcmp(argument, "--out") || !strcmp(argument, "--width");
        if (valued && i + 1 >= argc) {
            fprintf(stderr, "quillrec_driver: %s needs a value\n", argument);
            return 2;
        }
        if (!strcmp(argument, "--dll")) {
            line->dllPath = argv[++i];
        } else if (!strcmp(argument, "--out")) {
            line->options.outFolder = argv[++i];
        } else if (!strcmp(argument, "--width")) {
            line->options.pictureWidth = atoi(argv[++i]);
            if (line->options.pictureWidth < 16 || line->options.pictureWidth > 8000) {
                fprintf(stderr, "quillrec_driver: --width takes 16 to 8000 pixels\n");
                return 2;
            }
        } else if (!strcmp(argument, "--check")) {
            line->checkOnly = true;
        } else if (!strcmp(argument, "--no-listing")) {
            line->listing = false;
        } else if (!strcmp(argument, "--via16")) {
            line->via16 = true;
        } else if (!strncmp(argument, "--via16-wrong-mask=", 19) && atoi(argument + 19) > 0) {
            line->via16 = true;
            line->wrongMaskCall = (unsigned)atoi(argument + 19);
        } else if (!strcmp(argument, "--verbose")) {
            line->options.verbose = true;
        } else if (!strcmp(argument, "--reference")) {
            fputs(job::JobReference().c_str(), stdout);
            return 0;
        } else if (!strcmp(argument, "--version")) {
            printf("quillrec_driver %s\n", QUILLREC_VERSION);
            return 0;
        } else if (!strcmp(argument, "--help") || !strcmp(argument, "-h")) {
            Usage();
            return 0;
        } else if (argument[0] == '-' && argument[1] == '-') {
            fprintf(stderr, "quillrec_driver: unknown option %s\n", argument);
            Usage();
            return 2;
        } else {
            line->jobs.push_back(argument);
        }
    }
    return line->jobs.empty() ? (Usage(), 2) : -1;
}

// A normal run for the spool files and pictures, then an inspection run for
// the listings; one summary line for the job.
// Without the listing (a capture's round trip, say) every page is recorded
// just once.
int RunAndList(const QuillrecExports &dll, const job::Job &job, RunOptions options, bool listing)
{
    JobSummary summary, inspected;
    std::string error, inspectError;
    const bool ran = RunJob(dll, job, options, &summary, &error);
    options.inspect = true;
    const bool listed = !listing || RunJob(dll, job, options, &inspected, &inspectError);
    if (!ran) {
        fprintf(stderr, "%s\n", error.c_str());
    } else if (!listed) {
        fprintf(stderr, "%s (listing)\n", inspectError.c_str());
    }
    summary.written.insert(summary.written.end(), inspected.written.begin(), inspected.written.end());
    for (const std::string &path : summary.written) {
        printf("wrote %s\n", path.c_str());
    }
    for (const std::string &note : summary.printNotes) {
        printf("note: %s %s\n", options.jobName.c_str(), note.c_str());
    }
    const int failures = (ran ? 0 : 1) + (ran && !listed ? 1 : 0);
    printf("job %s: %d page(s), %zu requests, %zu records, %d warning(s), %d failure(s)%s\n", options.jobName.c_str(),
           summary.pages, job.requests.size(), summary.records, summary.warnings, failures,
           ran ? "" : FormatText(" (page %d)", summary.failedPage).c_str());
    return failures > 0 ? 1 : 0;
}

// The 16-bit path: the replayer beside this program loads the DLL and makes
// every call. A replayer that stops fails the job it stopped in, and the
// jobs after it are not run.
int RunJobsVia16(const CommandLine &line, const std::vector<job::Job> &parsed)
{
#ifdef _WIN64
    (void)line;
    (void)parsed;
    fprintf(stderr, "quillrec_driver: --via16 needs the 32-bit simulator (build/win32); this one is 64-bit\n");
    return 2;
#else
    char dllPath[MAX_PATH];
    if (GetFullPathNameA(line.dllPath.c_str(), MAX_PATH, dllPath, nullptr) == 0) {
        fprintf(stderr, "quillrec_driver: cannot resolve %s\n", line.dllPath.c_str());
        return 1;
    }
    Replay16Session session;
    std::string error;
    if (!StartReplay16(ProgramFolder() + "replay16.exe", dllPath, &session, &error)) {
        fprintf(stderr, "quillrec_driver: %s\n", error.c_str());
        StopReplay16(&session);
        return 1;
    }
    const QuillrecExports dll = Replay16Exports(&session, line.wrongMaskCall);
    RunOptions options = line.options;
    options.comment = &Replay16Comment;
    int status = 0;
    for (const job::Job &job : parsed) {
        options.jobName = FileStem(job.path);
        status = std::max(status, RunAndList(dll, job, options, line.listing));
        if (!session.stopped.empty()) {
            fprintf(stderr, "%s: %s\n", job.path.c_str(), session.stopped.c_str());
            status = 1;
            break;
        }
    }
    if (!StopReplay16(&session)) {
        fprintf(stderr, "quillrec_driver: %s\n", session.stopped.c_str());
        status = status != 0 ? status : 1;
    }
    return status;
#endif
}

int RunJobs(const CommandLine &line, const std::vector<job::Job> &parsed)
{
    if (line.via16) {
        return RunJobsVia16(line, parsed);
    }
    QuillrecExports dll;
    std::string error;
    if (!LoadQuillrec(line.dllPath.c_str(), &dll, &error)) {
        fprintf(stderr, "quillrec_driver: %s\n", error.c_str());
        return 1;
    }
    RunOptions options = line.options;
    int status = 0;
    for (const job::Job &job : parsed) {
        options.jobName = FileStem(job.path);
        status = std::max(status, RunAndList(dll, job, options, line.listing));
    }
    UnloadQuillrec(&dll);
    return status;
}

// Parses every job in order; reports each one that does not parse (file:line
// and what was expected) and keeps the others; with check, says "fine" for
// each good one as it comes. Returns 2 when any failed, else 0.
int ParseJobs(const std::vector<std::string> &paths, bool check, std::vector<job::Job> *parsed)
{
    int status = 0;
    for (const std::string &path : paths) {
        job::Job job;
        std::string error;
        if (!job::ParseJobFile(path, &job, &error)) {
            fflush(stdout); // the messages stay in job order on one console
            fprintf(stderr, "%s\n", error.c_str());
            status = 2;
            continue;
        }
        fflush(stdout);
        for (const std::string &warning : job.warnings) { // a capture cut short, or ending in a crash
            fprintf(stderr, "%s\n", warning.c_str());
        }
        if (check) {
            printf("%s: fine: %zu requests, %d pages\n", job.path.c_str(), job.requests.size(), job.pages);
            fflush(stdout);
        }
        parsed->push_back(job);
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && !strcmp(argv[1], "--compare")) {
        return CompareCommand(argc - 2, argv + 2);
    }
    if (argc > 1 && !strcmp(argv[1], "--print")) {
        return PrintCommand(argc - 2, argv + 2);
    }
    CommandLine line;
    const int status = ReadCommandLine(argc, argv, &line);
    if (status >= 0) {
        return status;
    }
    // Every job is parsed before anything is called, so a mistake shows
    // before the first spool file exists; one bad job does not keep the
    // others from being checked or recorded.
    std::vector<job::Job> parsed;
    const int parseStatus = ParseJobs(line.jobs, line.checkOnly, &parsed);
    const size_t bad = line.jobs.size() - parsed.size();
    if (line.checkOnly) {
        if (line.jobs.size() > 1) {
            printf("checked %zu job(s): %zu fine, %zu with errors\n", line.jobs.size(), parsed.size(), bad);
        }
        return parseStatus;
    }
    if (bad > 0 && !parsed.empty()) {
        fprintf(stderr, "quillrec_driver: %zu job(s) do not parse; recording the other %zu\n", bad, parsed.size());
    }
    const int runStatus = parsed.empty() ? 0 : RunJobs(line, parsed);
    return std::max(parseStatus, runStatus);
}
