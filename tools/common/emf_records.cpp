// A spool file's records read back through GDI's own metafile functions.
#include "emf_records.h"

#include <stdlib.h>
#include <string.h>

namespace {

int CALLBACK CollectRecord(HDC, HANDLETABLE *, const ENHMETARECORD *record, int, LPARAM context)
{
    auto *records = reinterpret_cast<std::vector<EmfRecord> *>(context);
    EmfRecord copy;
    copy.type = record->iType;
    const BYTE *first = reinterpret_cast<const BYTE *>(record);
    copy.bytes.assign(first, first + record->nSize);
    records->push_back(copy);
    return 1;
}

} // namespace

std::vector<EmfRecord> ReadEmfRecords(const char *path)
{
    std::vector<EmfRecord> records;
    HENHMETAFILE metafile = GetEnhMetaFileA(path);
    if (metafile == NULL) {
        return records;
    }
    EnumEnhMetaFile(NULL, metafile, CollectRecord, &records, NULL);
    DeleteEnhMetaFile(metafile);
    return records;
}

int RequestCommentLine(const EmfRecord &record)
{
    const size_t head = sizeof(EMR) + sizeof(DWORD);
    const size_t tag = sizeof QUILLREC_REQUEST_TAG - 1;
    if (record.type != EMR_GDICOMMENT || record.bytes.size() < head + tag ||
        memcmp(record.bytes.data() + head, QUILLREC_REQUEST_TAG, tag) != 0) {
        return -1;
    }
    // the line number follows the last ':' of the text
    std::string text(record.bytes.begin() + head + tag, record.bytes.end());
    text = text.substr(0, text.find('\0'));
    const size_t colon = text.rfind(':');
    return colon == std::string::npos ? -1 : atoi(text.c_str() + colon + 1);
}

std::vector<DWORD> EmfDrawingTypes(const std::vector<EmfRecord> &records)
{
    std::vector<DWORD> types;
    for (const EmfRecord &record : records) {
        if (record.type != EMR_HEADER && record.type != EMR_EOF) {
            types.push_back(record.type);
        }
    }
    return types;
}
