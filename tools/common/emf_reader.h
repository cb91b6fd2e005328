// Reading a spool file back through GDI's own metafile functions: its records
// (for tests and listings) and its picture (played into a bitmap).
#ifndef QUILLREC_EMF_READER_H
#define QUILLREC_EMF_READER_H

#include <stdint.h>

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

// "EMR_POLYGON16" for 86; "EMR_<n>" for types this table does not know.
std::string EmfRecordName(DWORD type);

// One line per record: its name and size, and the fields of every record
// type the DLL makes, decoded (stock objects by name, colours as #RRGGBB);
// point lists, strings, advances and small pattern bits in full, on
// indented continuation lines.
std::string DescribeEmfRecord(const EmfRecord &record);
std::string DescribeEmfRecords(const std::vector<EmfRecord> &records);

// An inspection run marks where each request's records begin with a GDI
// comment "QUILLREC request <job file>:<line>". The line such a comment
// names, or -1 for any other record.
#define QUILLREC_REQUEST_TAG "QUILLREC request "
int RequestCommentLine(const EmfRecord &record);

// The records' types alone, for sequence checks, leaving out the header and EOF.
std::vector<DWORD> EmfDrawingTypes(const std::vector<EmfRecord> &records);

// Plays the file into a white 32-bit bitmap of width x height pixels, the
// picture frame stretched over the whole bitmap as a spooler stretches it
// over the page. Pixels are 0x00RRGGBB, top row first. False when GDI cannot
// read or play the file.
bool RenderEmf(const char *path, int width, int height, std::vector<uint32_t> *pixels);

// Writes 32-bit pixels (top row first) as a 24-bit PNG file; with
// pixelsPerMetre, the picture's size on paper.
bool WritePng(const char *path, int width, int height, const std::vector<uint32_t> &pixels,
              uint32_t pixelsPerMetre = 0);

#endif
