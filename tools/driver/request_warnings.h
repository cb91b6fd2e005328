// Input a request carries that QUILLREC.dll does not use by its own rules:
// points past what the output style reads, advances past what the text
// placement reads. Legal, so not parse errors, but worth a word: a driver
// that sends them probably meant something else.
#ifndef QUILLREC_REQUEST_WARNINGS_H
#define QUILLREC_REQUEST_WARNINGS_H

#include <string>
#include <vector>

#include <windows.h>

#include "job_parser.h"

// One message per unused part, empty when the DLL uses all of it. font is
// the request's font record (text requests only).
std::vector<std::string> UnusedInput(const job::Request &request, const LOGFONTA *font);

#endif
