// Where the workbench printer prints a page otherwise than GDI draws its
// picture: Wine's PostScript driver renders a few things its own way.
#ifndef QUILLREC_PRINT_NOTES_H
#define QUILLREC_PRINT_NOTES_H

#include <string>
#include <vector>

#include "emf_records.h"

// One entry per record: empty, or what the PDF shows there and why.
std::vector<std::string> PrintNotes(const std::vector<EmfRecord> &records);

#endif
