// Files a job names: point list files and bitmap image files, looked up
// next to the job, and the whole-file read the driver uses for them.
#include "job_files.h"

#include <fstream>
#include <sstream>

#include "job_values.h"

namespace job {
namespace parse {

namespace {

// A file named in a job, next to the job unless its name starts with '/'.
bool ReadNamed(Parser &p, const std::string &what, std::string *name, std::string *contents)
{
    *name = !name->empty() && (*name)[0] == '/' ? *name : p.folder + *name;
    return (*p.reader)(*name, contents) || Fail(p, "cannot read the " + what + " file '" + *name + "'");
}

} // namespace

bool RawPointFile(Parser &p, const std::string &text, int64_t at, int64_t count, std::vector<Point> *points)
{
    std::string name, contents;
    if (!Unescape(p, text, &name)) {
        return false;
    }
    const std::string key = !name.empty() && name[0] == '/' ? name : p.folder + name;
    auto known = p.pointFiles.find(key);
    if (known == p.pointFiles.end()) {
        if (!ReadNamed(p, "point", &name, &contents)) {
            return false;
        }
        known = p.pointFiles.emplace(key, std::move(contents)).first;
    }
    const std::string &bytes = known->second;
    const int64_t size = (int64_t)bytes.size();
    const std::string file = "point file '" + key + "' holds " + std::to_string(size) + " bytes";
    if (at > size || (count < 0 && (size - at) % 4 != 0)) {
        return Fail(p, file + "; at=" + std::to_string(at) +
                           (at > size ? " is past its end" : " leaves no whole number of 4-byte points"));
    }
    count = count < 0 ? (size - at) / 4 : count;
    if (at + 4 * count > size) {
        return Fail(p, file + "; the line reads " + std::to_string(count) + " points from byte " + std::to_string(at));
    }
    for (int64_t i = 0; i < count; ++i) {
        const unsigned char *point = (const unsigned char *)bytes.data() + at + 4 * i;
        points->push_back(Point{(int16_t)(point[0] | point[1] << 8), (int16_t)(point[2] | point[3] << 8)});
    }
    return true;
}

// A point list file: pairs of numbers, any separators, '#' comments.
bool PointFile(Parser &p, std::string name, std::vector<Point> *points)
{
    std::string contents, text, word;
    if (!ReadNamed(p, "point", &name, &contents)) {
        return false;
    }
    std::vector<int16_t> numbers;
    for (std::istringstream stream(contents); std::getline(stream, text);) {
        text = text.substr(0, text.find('#'));
        for (char &c : text) {
            c = c == ',' || c == ';' || c == '\t' || c == '\r' ? ' ' : c;
        }
        for (std::istringstream line(text); line >> word;) {
            int64_t value = 0;
            if (!ParseInteger(word, &value)) {
                return Fail(p, "point file '" + name + "': expected numbers, found '" + word + "'");
            }
            if (!InRange(p, value, "point file '" + name + "':", word, kPointRange)) {
                return false;
            }
            numbers.push_back((int16_t)value);
        }
    }
    if (numbers.size() % 2 != 0) {
        return Fail(p, "point file '" + name + "' holds an odd count of numbers; expected x y pairs");
    }
    for (size_t i = 0; i < numbers.size(); i += 2) {
        points->push_back(Point{numbers[i], numbers[i + 1]});
    }
    return true;
}

// A bitmap read from an image file, relative to the job's folder.
bool BitmapFile(Parser &p, const std::string &text, LineRecord *record)
{
    std::string contents, problem, name;
    if (record->bitmap.raw != BitmapSetting::Raw::None) {
        // a capture's large bits or dib: the bytes as GDI read them, in a file beside it
        if (!Unescape(p, text, &name) || !ReadNamed(p, "bitmap", &name, &contents)) {
            return false;
        }
        record->bitmap.bytes.assign(contents.begin(), contents.end());
        return record->fromFile = true;
    }
    if (record->fromRows) {
        return Fail(p, "a bitmap comes from rows or from file=, not both");
    }
    // bitmap file names take string escapes, point file names do not
    if (!Unescape(p, text, &name) || !ReadNamed(p, "bitmap", &name, &contents)) {
        return false;
    }
    if (!DecodeImage(contents, &record->bitmap, &problem)) {
        return Fail(p, "bitmap file '" + name + "': " + problem);
    }
    return record->fromFile = true;
}

} // namespace parse

bool ReadWholeFile(const std::string &path, std::string *contents)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream buffer;
    buffer << file.rdbuf();
    *contents = buffer.str();
    return !file.bad();
}

} // namespace job
