// A spool file's records read back through GDI's own metafile functions,
// for tests, listings and comparisons.
#ifndef QUILLREC_EMF_RECORDS_H
#define QUILLREC_EMF_RECORDS_H

#include <string>
#include <vector>

#include <windows.h>

struct EmfRecord {
    DWORD type;
    std::vector<BYTE> bytes; // the whole record, its ENHMETARECORD header included

    // The record viewed as a Win32 EMR structure; the caller checks the type.
    template <typename T> const T *As() const
    {
        return bytes.size() >= sizeof(T) ? reinterpret_cast<const T *>(bytes.data()) : nullptr;
    }
};

// All records of the file in order, header and EOF included. Empty when GDI
// cannot read the file.
std::vector<EmfRecord> ReadEmfRecords(const char *path);

// An inspection run marks where each request's records begin with a GDI
// comment "QUILLREC request <job file>:<line>". The line such a comment
// names, or -1 for any other record.
#define QUILLREC_REQUEST_TAG "QUILLREC request "
int RequestCommentLine(const EmfRecord &record);

// The records' types alone, for sequence checks, leaving out the header and EOF.
std::vector<DWORD> EmfDrawingTypes(const std::vector<EmfRecord> &records);

#endif
