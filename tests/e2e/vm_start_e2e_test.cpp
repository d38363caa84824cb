// Starting the Java VM through the packed x64 launcher against the scripted stand-in runtime: the
// options the VM receives, the argument array of the entry class's main method, and what the user
// sees when the start fails. The stand-in jvm.dll writes what it was handed to a JSON-lines record.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Harness.h"
#include "StandInRun.h"

namespace marlo::e2e {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Strings = std::vector<std::string>;

using namespace standin;

class VmStartE2eTest : public StandInTest {};

// ---------------------------------------------------------------------------------------------
// A successful start

struct FlavourCase {
    const char* flavour;
    const char* entryClass;
    bool kavora;
};

class VmStartTypicalTest : public VmStartE2eTest, public ::testing::WithParamInterface<FlavourCase> {};

TEST_P(VmStartTypicalTest, OptionsAndEntryClass) {
    const FlavourCase& c = GetParam();
    std::string exe = app(2, std::string("LAUNCHER_FLAVOR = \"") + c.flavour +
                                 "\"\nINSTALL_ROOT = \".\"\nCLASS_PATH = [\"A0lib\\\\app.jar\"]\n"
                                 "VM_OPTIONS = \"-Xmx64m -Dapp.option=1\"\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_EQ(s.run.err, "") << s.describe();

    const json* create = s.event("create");
    ASSERT_NE(create, nullptr) << s.describe();
    EXPECT_EQ(create->at("version"), 65538);
    EXPECT_EQ(create->at("ignoreUnrecognized"), true);

    // The launcher's properties first, in their fixed order; the semaphore name only when the
    // single-instance guard made one.
    Strings options = s.options();
    size_t at = 0;
    if (!options.empty() && startsWith(options[0], "-Dbrenn.semaphoreName=")) ++at;
    Strings expectedPrefixes;
    if (c.kavora) expectedPrefixes.push_back("-Dbrenn.isKavora=true");
    const std::string exePath = toWinPath(exe);
    for (const char* name :
         {"-Dbrenn.moduleName=", "-Dsun.java.command=", "-Dbrenn.tempDir=", "-Dbrenn.unextractedPosition=",
          "-Djava.library.path=", "-Dbrenn.consoleCodepage=cp"})
        expectedPrefixes.push_back(name);
    ASSERT_GE(options.size(), at + expectedPrefixes.size() + 3) << joined(options);
    for (const std::string& prefix : expectedPrefixes) {
        EXPECT_TRUE(startsWith(options[at], prefix)) << "option " << at << " should begin with " << prefix << "\n"
                                                     << joined(options);
        ++at;
    }
    auto property = [&](const std::string& prefix) {
        for (const std::string& o : options)
            if (startsWith(o, prefix)) return o.substr(prefix.size());
        return std::string("<missing>");
    };
    EXPECT_EQ(property("-Dbrenn.moduleName="), exePath);
    EXPECT_EQ(property("-Dsun.java.command="), exePath);
    EXPECT_EQ(property("-Dbrenn.tempDir="), "");  // nothing is extracted, so there is none
    auto decimal = [](const std::string& text) {
        return !text.empty() && std::all_of(text.begin(), text.end(),
                                            [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); });
    };
    // Not a language restart, so the position itself (never -1).
    EXPECT_TRUE(decimal(property("-Dbrenn.unextractedPosition="))) << joined(options);
    // PATH already holds the runtime's bin folder when the properties are made.
    EXPECT_NE(lower(property("-Djava.library.path=")).find(lower(winPath("jre")) + "\\bin"), std::string::npos)
        << joined(options);
    EXPECT_TRUE(decimal(property("-Dbrenn.consoleCodepage=cp"))) << joined(options);

    // Then the configured VM options, and the class path as the very last option.
    ASSERT_EQ(options.size(), at + 3) << joined(options);
    EXPECT_EQ(options[at], "-Xmx64m");
    EXPECT_EQ(options[at + 1], "-Dapp.option=1");
    // Kavora puts its runtime library (INSTALL_ROOT "." is the launcher's folder) before the entries.
    const std::string runtimeLibrary = c.kavora ? winPath(".kavora") + "\\kvrruntime.jar;" : "";
    EXPECT_EQ(options.back(), kClassPathPrefix + runtimeLibrary + winPath("lib") + "\\app.jar") << joined(options);

    const json* main = s.event("main");
    ASSERT_NE(main, nullptr) << s.describe();
    EXPECT_EQ(main->at("class"), c.entryClass);
    EXPECT_NE(s.event("destroy"), nullptr) << s.describe();
}

INSTANTIATE_TEST_SUITE_P(VmStart, VmStartTypicalTest,
                         ::testing::Values(FlavourCase{"brenn", kBrennEntry, false},
                                           FlavourCase{"kavora", kKavoraEntry, true}),
                         [](const ::testing::TestParamInfo<FlavourCase>& p) { return p.param.flavour; });

// ---------------------------------------------------------------------------------------------
// The argument array of the entry class's main method

struct BareCase {
    int executableType;
    bool launcherClassFlag;
    const char* guiText;
    const char* flagText;
};

class VmStartBareTest : public VmStartE2eTest, public ::testing::WithParamInterface<BareCase> {};

TEST_P(VmStartBareTest, SixElements) {
    const BareCase& c = GetParam();
    std::string exe = app(c.executableType, std::string("LAUNCHER_CLASS_FLAG = ") +
                                                (c.launcherClassFlag ? "true" : "false") + "\nAPP_ARGUMENTS = \"\"\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings args = s.mainArgs();
    ASSERT_EQ(args.size(), 6u) << s.describe();
    EXPECT_EQ(args[0], c.guiText);
    EXPECT_EQ(args[1], kMainClass);
    EXPECT_EQ(args[2], "");
    EXPECT_EQ(args[3], "");
    EXPECT_EQ(args[4], c.flagText);
    EXPECT_EQ(args[5], toWinPath(exe));
}

INSTANTIATE_TEST_SUITE_P(VmStart, VmStartBareTest,
                         ::testing::Values(BareCase{1, false, "true", "false"}, BareCase{2, true, "false", "true"},
                                           BareCase{5, false, "false", "false"}),
                         [](const ::testing::TestParamInfo<BareCase>& p) {
                             return "Type" + std::to_string(p.param.executableType);
                         });

TEST_F(VmStartE2eTest, ConfiguredArgumentsComeBeforeTheUsersInOrder) {
    std::string exe = app(2, "APP_ARGUMENTS = 'first \"two words\" third'\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {"user one", "user2"});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings args = s.mainArgs();
    ASSERT_EQ(args.size(), 11u) << s.describe();
    EXPECT_EQ(Strings(args.begin() + 6, args.end()), (Strings{"first", "two words", "third", "user one", "user2"}));
}

struct JArgsCase {
    const char* name;
    bool asVmOptions;
};

class VmStartJArgsTest : public VmStartE2eTest, public ::testing::WithParamInterface<JArgsCase> {};

TEST_P(VmStartJArgsTest, GoToTheVmOrToMain) {
    const bool asVmOptions = GetParam().asVmOptions;
    std::string exe = app(2, std::string("J_ARGS_AS_VM_OPTIONS = ") + (asVmOptions ? "true" : "false") +
                                 "\nVM_OPTIONS = \"-Dconfigured=1\"\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {"-J-Xss2m", "plain", "-J-Dfrom.command=1"});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings options = s.options();
    Strings args = s.mainArgs();
    ASSERT_GE(args.size(), 6u) << s.describe();
    Strings userArgs(args.begin() + 6, args.end());
    if (asVmOptions) {
        // After the configured options, in command-line order, before the class path.
        int configured = indexOf(options, "-Dconfigured=1");
        int stack = indexOf(options, "-Xss2m");
        int property = indexOf(options, "-Dfrom.command=1");
        ASSERT_NE(configured, -1) << joined(options);
        EXPECT_EQ(stack, configured + 1) << joined(options);
        EXPECT_EQ(property, configured + 2) << joined(options);
        EXPECT_TRUE(startsWith(options.back(), kClassPathPrefix)) << joined(options);
        EXPECT_EQ(userArgs, Strings{"plain"});
    } else {
        EXPECT_EQ(indexOf(options, "-Xss2m"), -1) << joined(options);
        EXPECT_EQ(indexOf(options, "-Dfrom.command=1"), -1) << joined(options);
        EXPECT_FALSE(anyStartsWith(options, "-J")) << joined(options);
        EXPECT_EQ(userArgs, (Strings{"-J-Xss2m", "plain", "-J-Dfrom.command=1"}));
    }
}

INSTANTIATE_TEST_SUITE_P(VmStart, VmStartJArgsTest,
                         ::testing::Values(JArgsCase{"AsVmOptions", true}, JArgsCase{"AsArguments", false}),
                         [](const ::testing::TestParamInfo<JArgsCase>& p) { return p.param.name; });

TEST_F(VmStartE2eTest, FormatAsDefaultPropertyGoesToTheVmNotToMain) {
    std::string exe = app(2, "");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {"before", "-Dsun.locale.formatasdefault=true", "after"});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings options = s.options();
    EXPECT_NE(indexOf(options, "-Dsun.locale.formatasdefault=true"), -1) << joined(options);
    EXPECT_FALSE(anyStartsWith(options, "-Duser.language=")) << joined(options);
    Strings args = s.mainArgs();
    ASSERT_GE(args.size(), 6u) << s.describe();
    EXPECT_EQ(Strings(args.begin() + 6, args.end()), (Strings{"before", "after"}));
}

// ---------------------------------------------------------------------------------------------
// Locale options, with Wine running in German

struct LocaleCase {
    const char* name;
    Strings args;
    Strings expected;  // the locale options, consecutive, in this order; empty: none at all
};

class VmStartLocaleTest : public VmStartE2eTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(VmStartLocaleTest, LanguageAndCountryOptions) {
    const LocaleCase& c = GetParam();
    std::string exe = app(2, "VM_OPTIONS = \"-Dconfigured=1\"\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, c.args, "", {{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"}});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings options = s.options();
    int configured = indexOf(options, "-Dconfigured=1");
    ASSERT_NE(configured, -1) << joined(options);
    // Right after the configured options, so the class path is next.
    Strings after(options.begin() + configured + 1, options.end() - 1);
    EXPECT_EQ(after, c.expected) << joined(options);
    EXPECT_TRUE(startsWith(options.back(), kClassPathPrefix)) << joined(options);
    // None of them reaches the main method.
    Strings args = s.mainArgs();
    ASSERT_GE(args.size(), 6u) << s.describe();
    EXPECT_EQ(args.size(), 6u) << s.describe();
}

INSTANTIATE_TEST_SUITE_P(
    VmStart, VmStartLocaleTest,
    ::testing::Values(
        LocaleCase{"NoProperty", {}, {}},
        LocaleCase{"False",
                   {"-Dsun.locale.formatasdefault=false"},
                   {"-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=DE"}},
        LocaleCase{"True", {"-Dsun.locale.formatasdefault=true"}, {"-Dsun.locale.formatasdefault=true"}},
        LocaleCase{"LastOneDecides",
                   {"-Dsun.locale.formatasdefault=true", "-Dsun.locale.formatasdefault=no"},
                   {"-Dsun.locale.formatasdefault=no", "-Duser.language=de", "-Duser.country=DE"}}),
    [](const ::testing::TestParamInfo<LocaleCase>& p) { return p.param.name; });

// ---------------------------------------------------------------------------------------------
// The .vmoptions file beside the executable

TEST_F(VmStartE2eTest, VmOptionsFileWithIncludeAndClassPathAppend) {
    std::string exe = app(2, "CLASS_PATH = [\"A0lib\\\\app.jar\"]\nVM_OPTIONS = \"-Dconfigured=1\"\n");
    ASSERT_FALSE(exe.empty());
    // app.exe: its last four characters give way to ".vmoptions".
    write("app.vmoptions",
          "# a comment\r\n"
          "\r\n"
          "   -Dtabbed=a\tb   \r\n"
          "-include-options more\\extra.vmoptions\r\n"
          "-classpath/a added\\last.jar\r\n"
          "-Dafter.include=1\r\n");
    fs::create_directories(path("more"));
    // An include inside an included file is found beside that file, not beside the executable.
    write("more/extra.vmoptions", "-Dfrom.include=1\r\n  # indented comment\r\n-include-options deeper.vmoptions\r\n");
    write("more/deeper.vmoptions", "-Dfrom.nested=1\r\n");
    write("deeper.vmoptions", "-Dwrong.folder=1\r\n");
    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    Strings options = s.options();
    int configured = indexOf(options, "-Dconfigured=1");
    ASSERT_NE(configured, -1) << joined(options);
    Strings fromFile(options.begin() + configured + 1, options.end() - 1);
    EXPECT_EQ(fromFile, (Strings{"-Dtabbed=a\tb", "-Dfrom.include=1", "-Dfrom.nested=1", "-Dafter.include=1"}))
        << joined(options);
    EXPECT_EQ(options.back(), std::string(kClassPathPrefix) + winPath("lib") + "\\app.jar;added\\last.jar")
        << joined(options);
}

// ---------------------------------------------------------------------------------------------
// The splash settings of the runtime's splash library: a missing class or method costs only a log
// line. The exception the lookup leaves is cleared, so the entry class is found after it.

struct SplashLookupCase {
    const char* name;
    const char* flavour;
    const char* scenario;
    const char* logLine;
};

class VmStartSplashLookupTest : public VmStartE2eTest, public ::testing::WithParamInterface<SplashLookupCase> {};

TEST_P(VmStartSplashLookupTest, LaunchGoesOn) {
    const SplashLookupCase& c = GetParam();
    std::string exe = app(2, std::string("LAUNCHER_FLAVOR = \"") + c.flavour +
                                 "\"\nSPLASH_SCREEN = true\nSPLASH_USE_JRE_LIBRARY = true\n");
    ASSERT_FALSE(exe.empty());
    const std::set<std::string> before = diagnosticLogFiles(dir());
    Start s = start(exe, {}, c.scenario, {{"BRENN_LOG", "yes"}});
    EXPECT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_EQ(s.run.err, "") << s.describe();
    EXPECT_EQ(s.event("splash"), nullptr) << s.describe();
    const json* main = s.event("main");
    ASSERT_NE(main, nullptr) << s.describe();
    EXPECT_EQ(main->at("class"), std::string(c.flavour) == "kavora" ? kKavoraEntry : kBrennEntry);
    const std::string log = takeNewLogs(before, dir());
    EXPECT_NE(log.find(std::string("\r\nERROR: ") + c.logLine + "\r\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    VmStart, VmStartSplashLookupTest,
    ::testing::Values(SplashLookupCase{"ClassMissing", "kavora", "no-brenn-entry",
                                       "could not find main class for splash properties"},
                      SplashLookupCase{"MethodMissing", "brenn", "no-splash-method",
                                       "could not find method for splash properties"}),
    [](const ::testing::TestParamInfo<SplashLookupCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// The directory the Java side starts in (configuration id 146)

struct WorkingDirectoryCase {
    const char* name;
    const char* configured;  // nullptr: not in the block
    Strings args;
    const char* below;  // expected directory below the executable's; nullptr: where the launcher began
};

class VmStartWorkingDirectoryTest : public VmStartE2eTest,
                                    public ::testing::WithParamInterface<WorkingDirectoryCase> {};

TEST_P(VmStartWorkingDirectoryTest, IsWhatTheVmSees) {
    const WorkingDirectoryCase& c = GetParam();
    fs::create_directories(path("sub dir"));
    std::string exe = app(2, c.configured ? std::string("WORKING_DIRECTORY = \"") + c.configured + "\"\n" : "");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, c.args);
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    const json* create = s.event("create");
    ASSERT_NE(create, nullptr) << s.describe();
    auto normal = [](std::string p) {
        while (p.size() > 3 && p.back() == '\\') p.pop_back();
        return lower(p);
    };
    // The harness starts Wine in the test program's directory.
    const std::string expected = c.below ? winPath(c.below) : toWinPath(fs::current_path().string());
    EXPECT_EQ(normal(create->at("cwd").get<std::string>()), normal(expected)) << s.describe();
}

INSTANTIATE_TEST_SUITE_P(
    VmStart, VmStartWorkingDirectoryTest,
    ::testing::Values(WorkingDirectoryCase{"Dot", ".", {}, ""},
                      WorkingDirectoryCase{"RelativeWithBlank", "sub dir", {}, "sub dir"},
                      WorkingDirectoryCase{"Absent", nullptr, {}, nullptr},
                      WorkingDirectoryCase{"Missing", "nowhere", {}, nullptr},
                      // A language restart keeps the directory the application had chosen.
                      WorkingDirectoryCase{"LanguageRestart", ".", {"__kvr_lang_restart"}, nullptr}),
    [](const ::testing::TestParamInfo<WorkingDirectoryCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Failures, as a user of a console application sees them

struct FailureCase {
    const char* name;
    std::string config;
    std::string scenario;
    int exitCode;
    std::string err;
    bool vmCreated;
};

class VmStartFailureTest : public VmStartE2eTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VmStartFailureTest, ExitCodeAndMessage) {
    const FailureCase& c = GetParam();
    std::string exe = app(2, c.config);
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {}, c.scenario, {{"MARLO_UNDEFINED_VARIABLE", std::nullopt}});
    EXPECT_EQ(s.run.exitCode, c.exitCode) << s.describe();
    EXPECT_EQ(s.run.err, c.err) << s.describe();
    EXPECT_EQ(s.event("create") != nullptr, c.vmCreated) << s.describe();
}

INSTANTIATE_TEST_SUITE_P(
    VmStart, VmStartFailureTest,
    ::testing::Values(
        FailureCase{"MissingRequiredEntry", "CLASS_PATH = [\"A1lib\\\\missing.jar\"]\n", "", 1,
                    "File or directory lib\\missing.jar not found or empty\n\n", false},
        FailureCase{"UndefinedRequiredVariable", "CLASS_PATH = [\"E1MARLO_UNDEFINED_VARIABLE\"]\n", "", 1,
                    "The environment variable MARLO_UNDEFINED_VARIABLE has to be defined\n", false},
        FailureCase{"NoMainClass", "", "no-main-class", 1, "Couldn't load main class.\n", true},
        FailureCase{"NoMainMethod", "", "no-main-method", 1, "Main method not found.\n", true},
        FailureCase{"MainThrows", "", "main-throws", 1,
                    std::string("java.lang.IllegalStateException: scripted failure\r\n") + kVmNotStarted + "\n", true},
        FailureCase{"CreateFails", "", "create-fails", 1, std::string(kVmNotStarted) + "\n", true},
        FailureCase{"MainExits", "", "main-exits=7", 7, "", true}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return p.param.name; });

}  // namespace
}  // namespace marlo::e2e
