// Variable expansion with hostile values: the text, the launcher's directories and an environment
// block all come from the input, in both the wide and the narrow form. The expansion budget must
// keep every run small in time and size. The runs use the launcher's bounds scaled down by 256 (the
// same ratio of work to length), so that a run at its limits costs about a millisecond under the
// sanitizers, not a second; the bounds themselves are the same code.
#include <algorithm>
#include <cstdlib>

#include "FuzzInput.h"
#include "diag/PathRules.h"
#include "windows/VariableExpander.h"

using namespace marlo;

namespace {

// The narrow expansion done the plain way, with the standard library's search and the same
// budget: the launcher's expander (with its own search) must give the same text and work.
struct Reference {
    ExpansionLimits limits;
    std::string text;
    size_t work = 0;
    bool stopped = false;

    bool charge(size_t newSize, size_t cost) {
        if (stopped || newSize > limits.length || cost > limits.work - work) return !(stopped = true);
        work += cost;
        return true;
    }
    void replaceAll(const std::string& placeholder, const std::string& value) {
        if (placeholder.empty() || !charge(0, text.size() + placeholder.size())) return;
        for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size())) {
            if (!charge(text.size() - placeholder.size() + value.size(), text.size() - placeholder.size() + value.size()))
                return;
            text.replace(at, placeholder.size(), value);
        }
    }
    void expand(const NarrowExpansionValues& values, const std::string& environment) {
        size_t count = 0;
        const Placeholder* list = expansionPlaceholders(&count);
        for (size_t i = 0; i < count; ++i) {
            switch (list[i].value) {
                case PlaceholderValue::LauncherDir: replaceAll(list[i].text, values.launcherDir); break;
                case PlaceholderValue::LauncherTempDir: replaceAll(list[i].text, values.launcherTempDir); break;
                case PlaceholderValue::PathListSeparator: replaceAll(list[i].text, ";"); break;
                case PlaceholderValue::JvmHome: replaceAll(list[i].text, values.jvmHome); break;
                case PlaceholderValue::SystemTempDir: replaceAll(list[i].text, values.systemTempDir); break;
            }
        }
        for (size_t at = 0; at < environment.size() && environment[at] != '\0';) {
            const std::string entry(environment.c_str() + at);
            at += entry.size() + 1;
            const size_t equals = entry.find('=');
            if (equals == std::string::npos) continue;
            std::string placeholder = "${" + entry.substr(0, equals) + "}";
            replaceAll(placeholder, entry.substr(equals + 1));
            upperCaseAscii(placeholder);
            replaceAll(placeholder, entry.substr(equals + 1));
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> p = fuzz::parts(data, size, 6);
    // The environment: the sixth part's lines as "name=value" entries, NUL-terminated, ending with
    // an empty entry.
    std::string environment;
    for (char c : p[5]) environment += c == '\n' ? '\0' : c;
    environment += std::string(2, '\0');
    std::u16string wideEnvironment(environment.begin(), environment.end());

    WideExpansionValues wide;
    wide.launcherDir = fuzz::units(p[1]);
    wide.launcherTempDir = p[2];
    wide.jvmHome = p[3];
    wide.systemTempDir = fuzz::units(p[4]);
    const ExpansionLimits limits{kMaxExpandedLength / 256, kMaxExpansionWork / 256};
    std::u16string text = fuzz::units(p[0]);
    const size_t wideStart = text.size();
    const size_t wideWork = expandWithValues(text, wide, wideEnvironment.c_str(), limits);

    NarrowExpansionValues narrow{p[1], p[2], p[3], p[4]};
    std::string narrowText = p[0];
    const size_t narrowStart = narrowText.size();
    const size_t narrowWork = expandWithValues(narrowText, narrow, environment.c_str(), limits);
    Reference reference{limits, p[0]};
    reference.expand(narrow, environment);
    if (reference.work != narrowWork || reference.text != narrowText) std::abort();
    // A text grows up to the length limit only, and no run does more than its work limit.
    if (text.size() > std::max(wideStart, limits.length) || narrowText.size() > std::max(narrowStart, limits.length) ||
        wideWork > limits.work || narrowWork > limits.work)
        std::abort();
    return 0;
}
