// The capture writer's job-format fields: every keyword and option name,
// and how each value is written, from the job grammar's rows, which the
// simulator's parser reads by.
#include "capture/writer.h"

// Stands in for a row that is not there.
static const grammar::Option kNoRow = {"", grammar::VALUE_NUMBER, grammar::FIELD_NONE, ""};

const grammar::Option *Row(grammar::KeywordId keyword, grammar::Field field)
{
    const grammar::Keyword *row = grammar::KeywordById(keyword);
    const grammar::Option *option = row != NULL ? grammar::OptionByField(*row, field) : NULL;
    return option != NULL ? option : &kNoRow;
}

void PutKeyword(grammar::KeywordId keyword)
{
    const grammar::Keyword *row = grammar::KeywordById(keyword);
    Put(row != NULL ? row->name : "");
}

// A constant's name where one name says the whole value, else the number.
void PutValue(const grammar::Option *row, uint32_t value)
{
    switch (row->kind) {
    case grammar::VALUE_CONSTANT: {
        const char *name = row->constants != NULL ? grammar::ConstantName(*row->constants, value) : NULL;
        if (name != NULL) {
            Put(name);
        } else {
            PutHex(value);
        }
        break;
    }
    case grammar::VALUE_COLOR:
        PutHex(value);
        break;
    case grammar::VALUE_BYTE:
    case grammar::VALUE_U16:
        PutUnsigned(value);
        break;
    default:
        PutDecimal((int32_t)value);
        break;
    }
}

void PutName(const grammar::Option *row)
{
    PutChar(' ');
    Put(row->name);
    PutChar('=');
}

void PutOptionName(grammar::KeywordId keyword, grammar::Field field)
{
    PutName(Row(keyword, field));
}

void PutField(grammar::KeywordId keyword, grammar::Field field, uint32_t value)
{
    const grammar::Option *row = Row(keyword, field);
    PutName(row);
    PutValue(row, value);
}

void PutRectField(grammar::KeywordId keyword, grammar::Field field, const RECT *rect)
{
    PutOptionName(keyword, field);
    PutRect(rect);
}

// A setting's name (prefix and number), or none for a null record.
void PutSettingField(grammar::KeywordId keyword, grammar::Field field, const char *prefix, uint32_t number)
{
    PutOptionName(keyword, field);
    if (number == 0) {
        Put("none");
        return;
    }
    PutNumbered(prefix, number);
}

void PutNumberList(const int32_t *values, const uint16_t *glyphs, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            PutChar(',');
        }
        if (glyphs != NULL) {
            PutUnsigned(glyphs[i]);
        } else {
            PutDecimal(values[i]);
        }
    }
}


uint32_t StringLength(const char *text, uint32_t most)
{
    uint32_t length = 0;
    while (length < most && text[length] != '\0') {
        ++length;
    }
    return length;
}
