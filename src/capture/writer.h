// The pieces the capture writer's files share: job-format fields, named
// settings, bitmap lines. Each request writer (requests.cpp, brackets.cpp)
// builds its lines from these.
#ifndef QUILLREC_CAPTURE_WRITER_H
#define QUILLREC_CAPTURE_WRITER_H

#include "capture/capture.h"
#include "jobformat/job_grammar.h"
#include "requestmodel/read_sizes.h"

// ---- job_fields.cpp: keywords and options as the grammar rows spell them.
// Every row asked for exists; a missing one would write an empty name (and
// the parser would say so), never fault inside the driver's process.
const grammar::Option *Row(grammar::KeywordId keyword, grammar::Field field);
void PutKeyword(grammar::KeywordId keyword);
void PutValue(const grammar::Option *row, uint32_t value); // a constant's name, or the number
void PutName(const grammar::Option *row);                  // " name="
void PutOptionName(grammar::KeywordId keyword, grammar::Field field);
void PutField(grammar::KeywordId keyword, grammar::Field field, uint32_t value);
void PutRectField(grammar::KeywordId keyword, grammar::Field field, const RECT *rect);
// A setting's name (prefix and number), or none for 0.
void PutSettingField(grammar::KeywordId keyword, grammar::Field field, const char *prefix, uint32_t number);
// values, or glyphs when given, comma-separated.
void PutNumberList(const int32_t *values, const uint16_t *glyphs, uint32_t count);
// The bytes before the first NUL, at most most.
uint32_t StringLength(const char *text, uint32_t most);

// The longest device or file name written: GDI reads to the NUL, the capture
// no further than this.
static const uint32_t kLongestName = 1024;

// ---- settings.cpp: setting lines, each written once and named, a new name
// only when the bytes a request reads changed.

// The last few records written of one kind, so a record the driver hands in
// again keeps its name: drivers alternate between a handful of pens and fonts.
enum { kRemembered = 8 };
typedef struct Remembered {
    uint32_t count; // records named so far
    uint32_t base;  // the count when the page began: only later ones are remembered
    uint32_t numbers[kRemembered];
    unsigned char bytes[kRemembered][64];
} Remembered;

// The record's name: an earlier one's when the bytes match, else a new
// number, whose line the caller writes (*isNew).
uint32_t Name(Remembered *kind, const void *record, uint32_t size, int *isNew);
// Keeps the count, so later names never repeat one given before.
void Forget(Remembered *kind);

// Each writes its setting line when the record is new and answers its
// number; 0 for a null record (or, for a draw mode, no field read).
uint32_t WritePen(const LOGPEN *pen);
uint32_t WriteDrawMode(const DrawModeRecord *mode, uint32_t fields);
uint32_t WriteFont(const LOGFONTA *font);
uint32_t WriteBrush(const LOGBRUSH *brush, const BrushRead *read);
// A page defines the settings it uses anew, so it replays alone.
void ForgetSettings(void);

// ---- bitmaps.cpp: bitmap lines with the bytes GDI reads, named by a hash.
uint32_t WriteDeviceBitmap(const BITMAP *bitmap);
uint32_t WriteDib(const BITMAPINFO *info, uint32_t infoSize, const void *bits, uint32_t bitsSize);
void ForgetBitmaps(void);

// ---- point_file.cpp: a long list's Point16 bytes appended to the file
// beside the capture, and points16= and at= on the line; 0, with nothing
// put, when the points go as text instead (too few, or the file failed).
int PutRawPoints(const void *points, uint32_t bytes);

#endif
