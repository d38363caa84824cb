// marlo-pack's reader of application descriptions on any text: refused with diagnostics or read,
// never a crash. What it reads is written as a block and read back.
#include <cstdlib>

#include "Description.h"
#include "config/ConfigBlock.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    pack::Description description;
    std::vector<pack::Diagnostic> errors;
    const bool ok = pack::parseDescription(text, "/nonexistent/fuzz.toml", description, errors);
    if (ok != errors.empty()) std::abort();
    for (const pack::Diagnostic& d : errors) (void)d.text();
    return 0;
}
