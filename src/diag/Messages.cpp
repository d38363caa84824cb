#include "diag/Messages.h"

#include "common/Text.h"

namespace marlo {

namespace {

template <typename Ch>
std::basic_string<Ch> fill(const std::basic_string<Ch>& text, const Ch* detail) {
    if (!detail) return text;
    const Ch placeholder[] = {Ch('{'), Ch('0'), Ch('}'), Ch(0)};
    size_t at = text.find(placeholder);
    if (at == std::basic_string<Ch>::npos) return text;
    std::basic_string<Ch> result = text.substr(0, at);
    result += detail;
    result.append(text, at + 3, std::basic_string<Ch>::npos);
    return result;
}

}  // namespace

std::string fillPlaceholder(const std::string& text, const char* detail) { return fill(text, detail); }
std::u16string fillPlaceholder(const std::u16string& text, const char16_t* detail) { return fill(text, detail); }

void cutToMessageLimit(std::string& text) {
    if (text.size() > kMessageLimit - 1) text.resize(kMessageLimit - 1);
}

void cutToMessageLimit(std::u16string& text) {
    if (text.size() <= kMessageLimit - 1) return;
    size_t keep = kMessageLimit - 1;
    if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;  // lone high surrogate
    text.resize(keep);
}

std::string composeMessage(const std::string& text, const std::u16string* logPath) {
    std::string result = text;
    if (logPath) result = formatNarrow("%s\n\nLog: %S", text.c_str(), logPath->c_str());
    cutToMessageLimit(result);
    return result;
}

std::u16string composeMessage(const std::u16string& text, const std::u16string* logPath) {
    std::u16string result = text;
    if (logPath) result = formatWide(u"%s\n\nLog: %s", text.c_str(), logPath->c_str());
    cutToMessageLimit(result);
    return result;
}

}  // namespace marlo
