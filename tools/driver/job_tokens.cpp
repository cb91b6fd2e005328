// Tokenizer of job lines: words, "strings" and key=value tokens with the
// column each starts at; comments end a line.
#include "job_tokens.h"

#include <ctype.h>

namespace job {
namespace parse {

bool Tokenize(const std::string &text, std::vector<Token> *tokens, std::string *problem)
{
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        // Every character that ends a token must also be skipped here, or a
        // form feed or vertical tab would make empty tokens forever.
        if (isspace((unsigned char)c)) {
            ++i;
            continue;
        }
        // ';' always starts a comment; '#' does when it stands alone, since
        // "#RRGGBB" is a colour.
        if (c == ';' || (c == '#' && (i + 1 == text.size() || isspace((unsigned char)text[i + 1]) ||
                                      text[i + 1] == '#' || tokens->empty()))) {
            return true;
        }
        Token token;
        token.column = (int)i + 1;
        while (i < text.size() && !isspace((unsigned char)text[i]) && text[i] != ';') {
            if (text[i] != '"') {
                token.text += text[i++];
                continue;
            }
            token.leadingQuote = token.leadingQuote || token.text.empty();
            token.quoted = true;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    token.text += text[i++];
                }
                token.text += text[i];
            }
            if (i++ >= text.size()) {
                *problem = "expected a closing '\"'";
                return false;
            }
        }
        tokens->push_back(token);
    }
    return true;
}

} // namespace parse
} // namespace job
