#include "common/ArgVector.h"

namespace marlo {

size_t takeQuotedToken(ArgVector& args, const std::u16string& text, size_t quote, size_t start, char16_t quoteChar) {
    size_t end = text.find(quoteChar, quote + 1);
    if (end == std::u16string::npos) end = text.size();
    std::u16string token = text.substr(start, quote - start);
    token.append(text, quote + 1, end - quote - 1);
    args.push_back(std::move(token));
    if (end == text.size()) return end;
    if (end + 1 < text.size() && text[end + 1] == u' ') return end + 2;
    return end + 1;
}

void splitCommandLine(const char16_t* input, ArgVector& args) {
    if (!input) return;
    const std::u16string text(input);
    const size_t npos = std::u16string::npos;
    size_t p = 0;
    while (p < text.size()) {
        size_t dquote = text.find(u'"', p);
        size_t apos = text.find(u'\'', p);
        size_t blank = text.find(u' ', p);
        if (blank == p) {
            ++p;
            continue;
        }
        if (blank != npos && (dquote == npos || blank < dquote) && (apos == npos || blank < apos)) {
            args.push_back(text.substr(p, blank - p));
            p = blank + 1;
            continue;
        }
        if (dquote != npos && (apos == npos || dquote < apos)) {
            p = takeQuotedToken(args, text, dquote, p, u'"');
        } else if (apos != npos) {
            p = takeQuotedToken(args, text, apos, p, u'\'');
        } else {
            args.push_back(text.substr(p));
            break;
        }
    }
}

}  // namespace marlo
