// The string array handed to the entry class's main method: five leading configuration values,
// the program path, the configured arguments and the user's arguments.
#pragma once

#include <string>
#include <vector>

#include "common/ArgVector.h"
#include "common/Text.h"

namespace marlo {

struct MainArgumentsInput {
    bool guiType = false;              // EXECUTABLE_TYPE is 1
    std::u16string mainClass;          // MAIN_CLASS
    std::u16string stderrFile;         // resolved STDERR_FILE, or empty when not redirected
    std::u16string stdoutFile;         // resolved STDOUT_FILE, or empty when not redirected
    bool launcherClassFlag = false;    // LAUNCHER_CLASS_FLAG
    const ArgVector* args = nullptr;   // the process's arguments, element 0 the program path
    std::u16string appArguments;       // APP_ARGUMENTS after expansion
    bool jArgsAsVmOptions = false;     // J_ARGS_AS_VM_OPTIONS
};

std::vector<std::u16string> buildMainArguments(const MainArgumentsInput& input);

// Arguments that never reach the main method: "-J..." when they go to the VM, and the locale
// property, which the VM receives instead.
bool isVmOnlyArgument(const std::u16string& arg, bool jArgsAsVmOptions);

}  // namespace marlo
