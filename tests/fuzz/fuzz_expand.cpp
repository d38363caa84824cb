// Variable expansion with hostile values: the text, the launcher's directories and an environment
// block all come from the input, in both the wide and the narrow form. The expansion budget must
// keep every run small in time and size. The runs use the launcher's bounds scaled down by 256 (the
// same ratio of work to length), so that a run at its limits costs about a millisecond under the
// sanitizers, not a second; the bounds themselves are the same code.
#include <algorithm>
#include <cstdlib>

#include "FuzzInput.h"
#include "windows/VariableExpander.h"

using namespace marlo;

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
    // A text grows up to the length limit only, and no run does more than its work limit.
    if (text.size() > std::max(wideStart, limits.length) || narrowText.size() > std::max(narrowStart, limits.length) ||
        wideWork > limits.work || narrowWork > limits.work)
        std::abort();
    return 0;
}
