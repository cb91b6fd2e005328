// Printing finished spool files on the workbench printer, as the spooler
// prints a job: each page played onto a sheet of the printer's, into a
// PostScript file.
#ifndef QUILLREC_PRINT_PAGES_H
#define QUILLREC_PRINT_PAGES_H

#include <string>

// Prints the spool file emfPath as one page into the PostScript file
// psPath; the sheet is the smallest of the printer's that holds the frame.
bool PrintSpoolFile(const std::string &emfPath, const std::string &psPath, const std::string &title,
                    std::string *error);

#endif
