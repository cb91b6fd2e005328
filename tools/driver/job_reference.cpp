// The job format's reference, printed from the grammar table: what
// `quillrec_driver --reference` prints and samples/README.md carries.
#include <stdio.h>

#include <string>

#include "jobformat/job_grammar.h"
#include "job_parser.h"
#include "quillrec.h"
#include "requestmodel/output_styles.h"

namespace job {

namespace {

// How the reference writes a value of each kind.
const char *const kValueShapes[] = {
    "N",         // VALUE_NUMBER
    "0..255",    // VALUE_BYTE
    "0..65535",  // VALUE_U16
    "NAME|N",    // VALUE_CONSTANT
    "STYLE",     // VALUE_STYLE
    "WORD",      // VALUE_CHOICE
    "COLOUR",    // VALUE_COLOR
    "C0,C1",     // VALUE_COLORS
    "A,B",       // VALUE_PAIR
    "L,T,R,B",   // VALUE_RECT
    "N,N,...",   // VALUE_NUMBERS
    "POINTS",    // VALUE_POINTS
    "WxH",       // VALUE_SIZE
    "NAME",      // VALUE_NAME
    "NAME|none", // VALUE_SETTING
    "\"TEXT\"",  // VALUE_STRING
    "FILE",      // VALUE_FILE
    "HEX",       // VALUE_HEX
};
static_assert(sizeof kValueShapes / sizeof kValueShapes[0] == grammar::VALUE_HEX + 1, "one shape per value kind");

std::string Padded(std::string text, size_t width)
{
    text.resize(text.size() < width ? width : text.size() + 1, ' ');
    return text;
}

std::string OptionLine(const grammar::Option &option)
{
    std::string shape = option.kind == grammar::VALUE_CHOICE                          ? ""
                        : option.kind == grammar::VALUE_CONSTANT && !option.constants ? "N"
                                                                                      : kValueShapes[option.kind];
    for (uint16_t i = 0; option.kind == grammar::VALUE_CHOICE && i < option.constants->size; ++i) {
        shape += (i ? "|" : "") + std::string(option.constants->constants[i].name);
    }
    std::string help = option.help;
    if (option.constants && option.kind == grammar::VALUE_CONSTANT) {
        help += "; " + std::string(option.constants->what);
    }
    if (option.aliases) {
        help += std::string(" (also ") + option.aliases + ")";
    }
    return "        " + Padded(std::string(option.name) + "=" + shape, 26) + help + "\n";
}

std::string KeywordLines(const grammar::Keyword &keyword)
{
    std::string text = "    " + Padded(Usage(keyword), 46) + keyword.help;
    text += keyword.alias ? std::string(" (also `") + keyword.alias + "`)\n" : "\n";
    for (uint8_t i = 0; i < keyword.optionCount; ++i) {
        text += OptionLine(keyword.options[i]);
    }
    return text;
}

std::string Keywords(grammar::KeywordKind kind)
{
    std::string text;
    for (const grammar::Keyword &keyword : grammar::KEYWORDS) {
        text += keyword.kind == kind ? KeywordLines(keyword) : "";
    }
    return text;
}

std::string OutputStyles()
{
    static const char *const kReads[] = {"no points", "%u points, whatever the count", "count points",
                                         "count polygons: vertex counts, then their points"};
    std::string text = "| style | code | points read |\n|---|---|---|\n";
    for (const OutputStyle &style : OUTPUT_STYLES) {
        std::string reads = kReads[style.reads];
        const size_t at = reads.find("%u");
        if (at != std::string::npos) {
            reads.replace(at, 2, std::to_string(style.points));
        }
        char code[8];
        snprintf(code, sizeof code, "0x%04X", style.code);
        text += "| `" + ShortName(style.name, "OUT_", "") + "` | " + code + " | " + reads + " |\n";
    }
    return text;
}

std::string Constants(const grammar::ConstantSet &set)
{
    std::string text = "- " + std::string(set.what);
    text += *set.prefix || *set.suffix ? std::string(" (`") + set.prefix + set.suffix + "` may be left out): " : ": ";
    bool hex = false; // flags and raster operations read best in hex
    for (uint16_t i = 0; i < set.size; ++i) {
        hex = hex || set.constants[i].mask != 0 || set.constants[i].value > 0xFFFF;
    }
    for (uint16_t i = 0; i < set.size; ++i) {
        const grammar::Constant &constant = set.constants[i];
        char value[16];
        snprintf(value, sizeof value, &set == &grammar::SET_COLORS ? "#%06X" : hex ? "0x%X" : "%u", constant.value);
        text += (i ? ", `" : "`") + ShortName(constant.name, set.prefix, set.suffix) + "` " + value;
    }
    return text + "\n";
}

} // namespace

std::string Usage(const grammar::Keyword &keyword)
{
    std::string usage = keyword.name;
    for (uint8_t i = 0; i < keyword.argumentCount; ++i) {
        const grammar::Argument &argument = keyword.arguments[i];
        const bool optional = argument.flags & grammar::ARGUMENT_OPTIONAL;
        usage += std::string(optional ? " [" : " ") + argument.name +
                 (argument.flags & grammar::ARGUMENT_NONE ? "|none" : "") + (optional ? "]" : "");
    }
    return usage;
}

std::string JobReference()
{
    std::string text = "Settings (`NAME` is defined here and chosen later by `select` or `KEY=NAME`):\n\n";
    text += Keywords(grammar::KEYWORD_SETTING);
    text += "\nRequests (all but `page` inside a page):\n\n" + Keywords(grammar::KEYWORD_REQUEST);
    text += "\nCapture lines (a call line before a call, an answer after it):\n\n" + Keywords(grammar::KEYWORD_ANSWER);
    text += "\nOutput styles (`STYLE`: a name or any 16-bit number; unnamed codes draw nothing):\n\n" + OutputStyles();
    text += "\nNamed constants (`NAME|N`: names or numbers joined by `|`):\n\n";
    const grammar::ConstantSet *sets[] = {&grammar::SET_PEN_STYLES,
                                          &grammar::SET_BRUSH_STYLES,
                                          &grammar::SET_HATCHES,
                                          &grammar::SET_ROP2S,
                                          &grammar::SET_ROP3S,
                                          &grammar::SET_BK_MODES,
                                          &grammar::SET_TEXT_OUT_OPTIONS,
                                          &grammar::SET_CHARSETS,
                                          &grammar::SET_WEIGHTS,
                                          &grammar::SET_QUALITIES,
                                          &grammar::SET_COLORS};
    for (const grammar::ConstantSet *set : sets) {
        text += Constants(*set);
    }
    text += "\nPoint generators (in `POINTS`):\n\n";
    for (const grammar::Generator &generator : grammar::GENERATORS) {
        text += "- `" + std::string(generator.name) + ":" + generator.arguments + "`: " + generator.help + "\n";
    }
    return text;
}

std::string ShortName(const char *full, const char *prefix, const char *suffix)
{
    std::string name = full;
    const size_t cut = std::string(prefix).size(), tail = std::string(suffix).size();
    return name.substr(cut, name.size() - cut - tail);
}

} // namespace job
