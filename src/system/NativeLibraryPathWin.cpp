#include <cstdlib>
#include <vector>

#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "system/NativeLibraryPath.h"
#include "windows/VariableExpander.h"

namespace marlo {

namespace {

std::string currentPath() {
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0) return std::string();
    std::vector<char> buffer(size);
    DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), size);
    return n < size ? std::string(buffer.data(), n) : std::string();
}

}  // namespace

void prependNativeLibraryPath() {
    std::vector<char> configured(kPathLimit);
    getConfigString(cfg::NATIVE_LIBRARY_DIRS, configured.data(), static_cast<int>(configured.size()));
    std::string directories = configured.data();
    logMessage(u"native lib dir is %S", directories.c_str());
    expandVariablesNarrow(directories);
    std::string resolved;
    resolvePathList(resolved, directories);
    bool shortened = false;
    const std::string oldPath = currentPath();
    const std::string value = composeNativeLibraryPath(resolved, oldPath, kNativePathLimit, &shortened);
    if (shortened)
        logMessage(u"PATH shortened to %d bytes to stay below %d (directories %d, old PATH %d)",
                   static_cast<int>(value.size()), static_cast<int>(kNativePathLimit),
                   static_cast<int>(resolved.size()), static_cast<int>(oldPath.size()));
    if (SetEnvironmentVariableA("PATH", value.c_str()))
        logMessage(u"Setting PATH (native libs) %S", value.c_str());
    else
        logMessage(u"Setting PATH (native libs) %S failed with error %d", value.c_str(),
                   static_cast<int>(GetLastError()));
    // The C runtime keeps its own copy; the VM options read PATH through it.
    const std::string entry = "PATH=" + value;
    _putenv(entry.c_str());
}

}  // namespace marlo
