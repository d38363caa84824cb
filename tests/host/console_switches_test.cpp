// The walk of the console switches over the process's arguments: which steps it takes, in order.
#include <gtest/gtest.h>

#include "launcher/ConsoleSwitches.h"
#include "TestLog.h"

using namespace marlo;
using marlo::test::u16;

namespace {

struct SwitchCase {
    const char* name;
    bool allSwitches;    // configuration id 154
    bool consoleSwitch;  // configuration id 156
    std::vector<std::string> args;
    std::string steps;  // one letter a step: q Quiet, k Console, c QuietOrConsole
};

std::string walk(const SwitchCase& c) {
    ArgVector args;
    for (const std::string& a : c.args) args.push_back(u16(a));
    std::string out;
    for (ConsoleStep step : consoleSwitchSteps(args, c.allSwitches, c.consoleSwitch))
        out += step == ConsoleStep::Quiet ? 'q' : step == ConsoleStep::Console ? 'k' : 'c';
    return out;
}

class ConsoleSwitchWalk : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ConsoleSwitchWalk, Steps) { EXPECT_EQ(walk(GetParam()), GetParam().steps); }

INSTANTIATE_TEST_SUITE_P(
    Table, ConsoleSwitchWalk,
    ::testing::Values(
        SwitchCase{"BothOffNothing", false, false, {"app.exe", "-q", "-console", "-c"}, ""},
        // With only id 156, "-console" counts and "-q" / "-c" pass without effect.
        SwitchCase{"ConsoleSwitchOnly", false, true, {"app.exe", "-q", "-c", "-console", "-console"}, "kk"},
        SwitchCase{"AllSwitchesInOrder", true, false, {"app.exe", "-console", "x", "-q"}, "kq"},
        // "-c" obtains the console once and ends the walk: the "-console" after it is not examined.
        SwitchCase{"CStopsTheWalk", true, false, {"app.exe", "-c", "-console", "-q"}, "c"},
        SwitchCase{"QuietBeforeC", true, true, {"app.exe", "-q", "-c"}, "qc"},
        // Whole arguments only, case-sensitive; index 0 is walked too.
        SwitchCase{"WholeArgumentsOnly", true, true, {"-q", "-Q", "-quiet", "-C", "-consoleX", "c", "--console"}, "q"},
        SwitchCase{"Empty", true, true, {}, ""}),
    [](const ::testing::TestParamInfo<SwitchCase>& p) { return std::string(p.param.name); });

}  // namespace
