// The listing's decoder: a spool file's records as text, one line per
// record with the fields of every record type the DLL makes.
#ifndef QUILLREC_EMF_DECODER_H
#define QUILLREC_EMF_DECODER_H

#include <string>
#include <vector>

#include "emf_records.h"

// "EMR_POLYGON16" for 86; "EMR_<n>" for types this table does not know.
std::string EmfRecordName(DWORD type);

// One line per record: its name and size, and the fields of every record
// type the DLL makes, decoded (stock objects by name, colours as #RRGGBB);
// point lists, strings, advances and small pattern bits in full, on
// indented continuation lines.
std::string DescribeEmfRecord(const EmfRecord &record);
std::string DescribeEmfRecords(const std::vector<EmfRecord> &records);

#endif
