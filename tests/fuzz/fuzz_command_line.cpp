// The command-line splitter and the launcher's switch handling on any UTF-16 text. The splitter's
// tokens never hold more units than the text.
#include <cstdlib>

#include "FuzzInput.h"
#include "common/ArgVector.h"
#include "launcher/CommandLine.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = fuzz::units(std::string(reinterpret_cast<const char*>(data), size));
    ArgVector args;
    splitCommandLine(text.c_str(), args);
    size_t total = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        total += args[i].size();
        (void)isLogCreationSwitch(args[i]);
    }
    if (total > text.size()) std::abort();
    (void)takeLogCreationSwitch(args);
    return 0;
}
