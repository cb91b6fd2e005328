// Tokenizer of job lines.
#ifndef QUILLREC_JOB_TOKENS_H
#define QUILLREC_JOB_TOKENS_H

#include <string>
#include <vector>

namespace job {
namespace parse {

// A token of a line: its text (quotes removed, escapes kept), the column it
// starts at (from 1), whether it held quotes, and whether it was a "..."
// string as a whole.
struct Token {
    std::string text;
    int column = 0;
    bool quoted = false;
    bool leadingQuote = false;
};

// Splits one line into tokens; false with the problem when a string is not
// closed.
bool Tokenize(const std::string &text, std::vector<Token> *tokens, std::string *problem);

} // namespace parse
} // namespace job

#endif
