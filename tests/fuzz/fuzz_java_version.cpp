// Version texts, the newer-than order and both window tests on any three texts (version, minimum,
// maximum), and the probe's first line. The order is checked for consistency: a version is never
// newer than itself, and never newer and older than another at once.
#include <cstdlib>

#include "FuzzInput.h"
#include "jre/JavaVersion.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> p = fuzz::parts(data, size, 3);
    const JavaVersion minimum = parseJavaVersion(p[1].c_str());
    const JavaVersion maximum = parseJavaVersion(p[2].c_str());
    (void)inVersionWindowLenient(p[0].c_str(), minimum, maximum);
    (void)inVersionWindowStrict(p[0].c_str(), minimum, maximum, false);
    (void)inVersionWindowStrict(p[0].c_str(), minimum, maximum, true);
    if (isNewerVersion(p[0].c_str(), p[0].c_str())) std::abort();
    if (isNewerVersion(p[0].c_str(), p[1].c_str()) && isNewerVersion(p[1].c_str(), p[0].c_str())) std::abort();
    std::string version;
    if (versionFromProbeLine(p[0], version) && version.size() >= p[0].size()) std::abort();
    return 0;
}
