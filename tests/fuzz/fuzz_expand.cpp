// Variable expansion with hostile values: the text, the launcher's directories and an environment
// block all come from the input, in both the wide and the narrow form. The expansion budget must
// keep every run small in time and size.
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
    std::u16string text = fuzz::units(p[0]);
    expandWithValues(text, wide, wideEnvironment.c_str());

    NarrowExpansionValues narrow{p[1], p[2], p[3], p[4]};
    std::string narrowText = p[0];
    expandWithValues(narrowText, narrow, environment.c_str());
    // Far beyond any buffer the launcher passes on: the budget failed.
    if (text.size() > (1u << 22) || narrowText.size() > (1u << 22)) std::abort();
    return 0;
}
