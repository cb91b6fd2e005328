// Printing finished spool files on the workbench printer, as the spooler
// prints a job: each page played onto a sheet of the printer's, into a
// PostScript file.
#ifndef QUILLREC_PRINT_PAGES_H
#define QUILLREC_PRINT_PAGES_H

#include <string>

// Prints the spool file emfPath as one page into the PostScript file
// psPath; the sheet is the smallest of the printer's that holds the frame.
// The printing runs in a process of its own (this program with --print):
// Wine's PostScript driver faults on some fonts a driver may realize, and
// that must cost the printed page, not the job.
bool PrintSpoolFile(const std::string &emfPath, const std::string &psPath, const std::string &title,
                    std::string *error);

// quillrec_driver --print EMF PS TITLE: the printing process. Exit 0
// printed, 1 not (with a message), or the code of the fault that ended it.
int PrintCommand(int argc, char **argv);

#endif
