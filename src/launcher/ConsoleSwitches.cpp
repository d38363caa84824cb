#include "launcher/ConsoleSwitches.h"

namespace marlo {

std::vector<ConsoleStep> consoleSwitchSteps(const ArgVector& args, bool allSwitches, bool consoleSwitch) {
    std::vector<ConsoleStep> steps;
    if (!allSwitches && !consoleSwitch) return steps;
    for (const std::u16string& arg : args) {
        if (allSwitches && arg == u"-q") {
            steps.push_back(ConsoleStep::Quiet);
        } else if (arg == u"-console") {
            steps.push_back(ConsoleStep::Console);
        } else if (allSwitches && arg == u"-c") {
            steps.push_back(ConsoleStep::QuietOrConsole);
            break;
        }
    }
    return steps;
}

}  // namespace marlo
