// The console switches of configuration ids 154 ("-q", "-c", "-console") and 156 ("-console"):
// which steps the walk over the process's arguments takes, in order. The main flow carries them
// out; none of the switches is removed, so the Java main method sees them too.
#pragma once

#include <vector>

#include "common/ArgVector.h"

namespace marlo {

enum class ConsoleStep {
    Quiet,           // "-q": fatal messages to standard error
    Console,         // "-console": obtain a console; the result is not looked at
    QuietOrConsole,  // "-c": messages to standard error, and a console or the end (exit code 1)
};

// Walks args from index 0, testing each whole argument (exact, case-sensitive). Nothing when both
// switches are off; the walk stops after a "-c".
std::vector<ConsoleStep> consoleSwitchSteps(const ArgVector& args, bool allSwitches, bool consoleSwitch);

}  // namespace marlo
