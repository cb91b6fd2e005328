#include "emf_compare.h"

#include <stddef.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "emf_decoder.h"
#include "emf_player.h"
#include "emf_records.h"
#include "format_text.h"
#include "png_writer.h"
#include "quillrec_exports.h"
#include "record_alignment.h"

namespace {

const int kHunksShown = 5;          // runs of differing records shown in full per page
const size_t kRunRecordsShown = 3;  // records shown of a run only one side has
const size_t kAlignCells = 1u << 22; // the alignment table's limit (16 MiB)

struct Recording {
    std::string path;
    std::vector<EmfRecord> records; // request comments left out
    std::vector<std::string> calls; // per record: the job line and call that made it, from the listing
    RECTL frame = {};
};

// The listing beside a spool file (<page>.txt, as the simulator writes it)
// ties each record number to the "line N: Call(...)" heading above it.
std::vector<std::string> CallsFromListing(const std::string &emfPath, size_t recordCount)
{
    std::vector<std::string> calls(recordCount);
    const size_t dot = emfPath.rfind('.');
    FILE *file = dot == std::string::npos ? nullptr : fopen((emfPath.substr(0, dot) + ".txt").c_str(), "rb");
    if (file == nullptr) {
        return calls;
    }
    char text[512];
    std::string call;
    while (fgets(text, sizeof text, file) != nullptr) {
        std::string line(text);
        line.erase(line.find_last_not_of("\r\n") + 1);
        unsigned index = 0;
        char name[5] = {};
        if (line.compare(0, 5, "line ") == 0) {
            call = line.size() > 120 ? line.substr(0, 117) + "..." : line;
        } else if (sscanf(line.c_str(), " %u %4s", &index, name) == 2 && std::string(name) == "EMR_" &&
                   index < recordCount) {
            calls[index] = call;
        }
    }
    fclose(file);
    return calls;
}

// Reads a whole spool file; a file shorter or longer than its header says,
// or without its EOF record, is not compared.
bool LoadRecording(const std::string &path, Recording *out, std::string *report)
{
    FILE *file = IsFolder(path) ? nullptr : fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *report += path + ": no such spool file\n";
        return false;
    }
    ENHMETAHEADER header = {};
    const bool whole = fread(&header, sizeof header, 1, file) == 1;
    fseek(file, 0, SEEK_END);
    const long size = ftell(file);
    fclose(file);
    if (!whole || header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE) {
        *report += path + ": not an enhanced metafile\n";
        return false;
    }
    std::vector<EmfRecord> records = ReadEmfRecords(path.c_str());
    if ((long)header.nBytes != size || records.empty() || records.back().type != EMR_EOF) {
        *report += FormatText("%s: cut short or padded: its header gives %lu bytes, the file has %ld\n", path.c_str(),
                              (unsigned long)header.nBytes, size);
        return false;
    }
    out->path = path;
    out->frame = header.rclFrame;
    for (const EmfRecord &record : records) {
        if (RequestCommentLine(record) < 0) {
            out->records.push_back(record);
        }
    }
    out->calls = CallsFromListing(path, out->records.size());
    return true;
}

// A record's bytes less what GDI does not write the same way twice.
std::vector<BYTE> Comparable(const EmfRecord &record)
{
    std::vector<BYTE> bytes = record.bytes;
    if (record.type == EMR_HEADER && bytes.size() >= sizeof(ENHMETAHEADER)) {
        // the size and count follow from the records, which are compared one by one
        ENHMETAHEADER *header = reinterpret_cast<ENHMETAHEADER *>(bytes.data());
        header->nBytes = 0;
        header->nRecords = 0;
    }
    if ((record.type == EMR_EXTTEXTOUTW || record.type == EMR_EXTTEXTOUTA) && bytes.size() >= sizeof(EMREXTTEXTOUTW)) {
        // The scales are the header's millimetres over its device units,
        // which are compared there; 32-bit Wine works them out in the x87's
        // wider precision and may round their last bit otherwise.
        EMREXTTEXTOUTW *text = reinterpret_cast<EMREXTTEXTOUTW *>(bytes.data());
        text->exScale = 0;
        text->eyScale = 0;
    }
    const size_t face = sizeof(EMR) + sizeof(DWORD) + offsetof(LOGFONTW, lfFaceName);
    if (record.type == EMR_EXTCREATEFONTINDIRECTW && bytes.size() >= face) {
        // Wine leaves everything after the face name's terminator undefined
        size_t end = face;
        while (end + 1 < bytes.size() && end < face + LF_FACESIZE * 2 && (bytes[end] || bytes[end + 1])) {
            end += 2;
        }
        bytes.resize(end);
    }
    return bytes;
}

std::vector<std::string> Lines(const EmfRecord *record)
{
    std::vector<std::string> lines;
    const std::string text = record ? DescribeEmfRecord(*record) : "(no record)";
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Both records decoded; of long ones (points, strings, bits) only the first
// line and the continuation lines that differ.
std::string ShowDifference(const EmfRecord *left, const EmfRecord *right)
{
    const std::vector<std::string> a = Lines(left), b = Lines(right);
    std::string shown[2];
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string &lineA = i < a.size() ? a[i] : "";
        const std::string &lineB = i < b.size() ? b[i] : "";
        if (i == 0 || lineA != lineB) {
            shown[0] += (i == 0 ? "    A: " : "\n    A: ") + lineA;
            shown[1] += (i == 0 ? "    B: " : "\n    B: ") + lineB;
        }
    }
    return shown[0] + "\n" + shown[1] + "\n";
}

// FNV-1a over what is compared of a record, its type included.
uint64_t RecordKey(const EmfRecord &record)
{
    uint64_t hash = 0xcbf29ce484222325ull ^ record.type;
    for (BYTE byte : Comparable(record)) {
        hash = (hash ^ byte) * 0x100000001b3ull;
    }
    return hash;
}

std::vector<uint64_t> RecordKeys(const Recording &recording)
{
    std::vector<uint64_t> keys;
    for (const EmfRecord &record : recording.records) {
        keys.push_back(RecordKey(record));
    }
    return keys;
}

// "A record 45, line 17: Output32(...)": the job line and call from the
// listing, where there is one; a run spanning several requests names the first.
std::string Where(const char *side, const Recording &recording, size_t index)
{
    const std::string call = index < recording.calls.size() ? recording.calls[index] : std::string();
    return call.empty() ? FormatText("%s record %u", side, (unsigned)index)
                        : FormatText("%s record %u, %s", side, (unsigned)index, call.c_str());
}

// One run of steps of the same kind: a changed record is shown with both
// sides decoded; records only one side has, up to a few, with that side's.
std::string ShowRun(const std::vector<AlignedPair> &steps, size_t first, size_t end, const Recording &a,
                    const Recording &b)
{
    const AlignedPair &start = steps[first];
    const size_t count = end - first;
    if (start.step == kAlignChanged) {
        return "  differs: " + Where("A", a, start.a) + "\n           " + Where("B", b, start.b) + "\n" +
               ShowDifference(&a.records[start.a], &b.records[start.b]);
    }
    const bool onlyA = start.step == kAlignOnlyA;
    const Recording &side = onlyA ? a : b;
    const size_t index = onlyA ? start.a : start.b;
    std::string text = FormatText("  %u record(s) only in %s (%s): ", (unsigned)count, onlyA ? "A" : "B",
                                  onlyA ? "removed" : "inserted") +
                       Where(onlyA ? "A" : "B", side, index) + "\n";
    for (size_t k = 0; k < count && k < kRunRecordsShown; ++k) {
        const size_t at = onlyA ? steps[first + k].a : steps[first + k].b;
        text += (onlyA ? "    A: " : "    B: ") + Lines(&side.records[at]).front() + "\n";
    }
    if (count > kRunRecordsShown) {
        text += FormatText("    ... and %u more\n", (unsigned)(count - kRunRecordsShown));
    }
    return text;
}

// Records aligned first, so that an inserted or removed request shows as
// such; each run of differences names the job line that made it on each side.
int CompareRecords(const Recording &a, const Recording &b, std::string *report)
{
    bool aligned = true;
    const std::vector<AlignedPair> steps = AlignRecords(RecordKeys(a), RecordKeys(b), kAlignCells, &aligned);
    int changed = 0, onlyA = 0, onlyB = 0, runs = 0;
    for (size_t i = 0; i < steps.size();) {
        size_t end = i + 1;
        if (steps[i].step == kAlignSame) {
            i = end;
            continue;
        }
        // a changed record stands alone; removals and insertions run on
        while (steps[i].step != kAlignChanged && end < steps.size() && steps[end].step == steps[i].step) {
            ++end;
        }
        changed += steps[i].step == kAlignChanged;
        onlyA += steps[i].step == kAlignOnlyA ? (int)(end - i) : 0;
        onlyB += steps[i].step == kAlignOnlyB ? (int)(end - i) : 0;
        if (++runs <= kHunksShown) {
            *report += ShowRun(steps, i, end, a, b);
        }
        i = end;
    }
    std::string counts = FormatText("%d differ", changed);
    counts += onlyA > 0 ? FormatText(", %d only in A", onlyA) : "";
    counts += onlyB > 0 ? FormatText(", %d only in B", onlyB) : "";
    *report += FormatText("  records: %u and %u, ", (unsigned)a.records.size(), (unsigned)b.records.size()) + counts +
               (runs > kHunksShown ? " (the first runs shown above)" : "") +
               (aligned ? "" : " (too many to line up: compared in place)") + "\n";
    return changed + onlyA + onlyB;
}

// Pixels of A faded to a light grey, the differing ones in red.
std::vector<uint32_t> MarkDifferences(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    std::vector<uint32_t> marks(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const uint32_t p = a[i];
        const uint32_t level = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
        const uint32_t faded = 0xC0 + level / 4;
        marks[i] = a[i] != b[i] ? 0xFF0000u : (faded << 16) | (faded << 8) | faded;
    }
    return marks;
}

// Both pages played at A's picture size; the count of pixels that differ.
bool ComparePictures(const Recording &a, const Recording &b, const CompareOptions &options, const std::string &name,
                     std::string *report)
{
    const long frameWidth = a.frame.right - a.frame.left;
    const long frameHeight = a.frame.bottom - a.frame.top;
    const int width = options.pictureWidth;
    const int height =
        frameWidth > 0 ? (int)std::min<int64_t>((int64_t)width * frameHeight / frameWidth, 16 * width) : width;
    std::vector<uint32_t> left, right;
    RenderEmf(a.path.c_str(), width, std::max(height, 1), &left);
    RenderEmf(b.path.c_str(), width, std::max(height, 1), &right);
    if (left.size() != right.size() || left.empty()) {
        *report += "  picture: GDI cannot play one of the two\n";
        return false;
    }
    size_t differing = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        differing += left[i] != right[i];
    }
    *report += FormatText("  picture %dx%d: %u pixels differ", width, height, (unsigned)differing);
    if (differing == 0) {
        *report += "\n";
        return true;
    }
    if (options.markFolder.empty()) {
        *report += " (give --out FOLDER for a picture of them)\n";
        return false;
    }
    CreateFolders(options.markFolder);
    const std::string marks = JoinPath(options.markFolder, name + "-diff.png");
    const bool written = WritePng(marks.c_str(), width, height, MarkDifferences(left, right));
    *report += written ? ", marked in red in " + marks + "\n" : ", and " + marks + " cannot be written\n";
    return false;
}

CompareResult CompareFiles(const std::string &a, const std::string &b, const CompareOptions &options,
                           std::string *report)
{
    *report += "compare " + a + " " + b + "\n";
    Recording left, right;
    const bool loaded = LoadRecording(a, &left, report);
    if (!LoadRecording(b, &right, report) || !loaded) {
        return kCompareBadInput;
    }
    const int records = CompareRecords(left, right, report);
    const bool samePicture = ComparePictures(left, right, options, FileStem(a), report);
    return records == 0 && samePicture ? kCompareSame : kCompareDifferent;
}

std::vector<std::string> SpoolFilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "/*.emf").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Pages by name; a page only one side has is a difference. Two folders
// that share no page name (a job's pages and its capture's replay, say) are
// paired page by page in name order instead.
CompareResult CompareFolders(const std::string &a, const std::string &b, const CompareOptions &options,
                             std::string *report)
{
    const std::vector<std::string> left = SpoolFilesIn(a), right = SpoolFilesIn(b);
    if (left.empty() && right.empty()) {
        *report += "no spool files (*.emf) in " + a + " or " + b + "\n";
        return kCompareBadInput;
    }
    bool shared = false;
    for (const std::string &name : left) {
        shared = shared || std::binary_search(right.begin(), right.end(), name);
    }
    CompareResult result = kCompareSame;
    if (!shared && !left.empty() && !right.empty()) {
        *report += "no page name in common: pages paired in name order\n";
        for (size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
            if (i >= left.size() || i >= right.size()) {
                *report += (i < left.size() ? left[i] + ": only in " + a : right[i] + ": only in " + b) + "\n";
                result = std::max(result, kCompareDifferent);
                continue;
            }
            result = std::max(result, CompareFiles(JoinPath(a, left[i]), JoinPath(b, right[i]), options, report));
        }
        return result;
    }
    for (const std::string &name : left) {
        if (!std::binary_search(right.begin(), right.end(), name)) {
            *report += name + ": only in " + a + "\n";
            result = std::max(result, kCompareDifferent);
            continue;
        }
        result = std::max(result, CompareFiles(JoinPath(a, name), JoinPath(b, name), options, report));
    }
    for (const std::string &name : right) {
        if (!std::binary_search(left.begin(), left.end(), name)) {
            *report += name + ": only in " + b + "\n";
            result = std::max(result, kCompareDifferent);
        }
    }
    return result;
}

} // namespace

CompareResult CompareRecordings(const std::string &a, const std::string &b, const CompareOptions &options,
                                std::string *report)
{
    for (const std::string &path : {a, b}) {
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            *report += path + ": no such file or folder\n";
            return kCompareBadInput;
        }
    }
    const bool folders = IsFolder(a);
    if (folders != IsFolder(b)) {
        *report += "compare two spool files or two folders, not one of each: " + a + ", " + b + "\n";
        return kCompareBadInput;
    }
    const CompareResult result = folders ? CompareFolders(a, b, options, report) : CompareFiles(a, b, options, report);
    *report += result == kCompareSame ? "same\n" : result == kCompareDifferent ? "different\n" : "cannot compare\n";
    return result;
}
