#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "TestLog.h"
#include "common/Text.h"
#include "windows/VmOptions.h"

using namespace marlo;
using marlo::test::CapturedLog;

namespace {

// A small file system and environment behind the assembly. The launcher lives in C:\app\.
struct FakeSystem {
    std::map<std::u16string, std::string> files;  // options files by path
    std::set<std::string> existing;
    std::map<std::string, std::vector<std::string>> listings;  // by pattern
    std::map<std::string, std::string> environment;
    std::vector<std::u16string> opened;  // every path tried, in order
    std::vector<bool> expandFlags;       // the ansiSafe flag of every wide expansion

    static bool relative(const std::string& p) { return !(p.size() >= 3 && p[1] == ':' && p[2] == '\\'); }
    static std::string absolute(const std::string& p) { return relative(p) ? "C:\\app\\" + p : p; }

    VmOptionsSystem make() {
        VmOptionsSystem s;
        // "${V}" shows which form was asked for: A for the ANSI-safe one, W for the wide one.
        s.expand = [this](std::u16string& text, bool ansiSafe) {
            expandFlags.push_back(ansiSafe);
            for (size_t at; (at = text.find(u"${V}")) != std::u16string::npos;)
                text.replace(at, 4, ansiSafe ? u"A" : u"W");
        };
        s.expandNarrow = [](std::string& text) {
            for (size_t at; (at = text.find("${V}")) != std::string::npos;) text.replace(at, 4, "N");
        };
        s.toAnsi = [](const std::u16string& text) { return narrowWide(text); };
        s.makeAbsolute = [](const std::u16string& path, const std::u16string* baseFile) {
            std::string p = narrowWide(path);
            if (!relative(p)) return path;
            if (!baseFile) return widenLatin1(absolute(p));
            std::u16string base = *baseFile;
            return base.substr(0, base.rfind(u'\\') + 1) + path;
        };
        s.makeAbsoluteNarrow = [](const std::string& path) { return absolute(path); };
        s.resolvePathList = [](const std::string& list) {
            std::string out;
            size_t start = 0;
            while (start <= list.size()) {
                size_t end = std::min(list.find(';', start), list.size());
                if (end > start) out += (out.empty() ? "" : ";") + absolute(list.substr(start, end - start));
                start = end + 1;
            }
            return out;
        };
        s.pathExists = [this](const std::string& path) { return existing.count(path) != 0; };
        s.listFiles = [this](const std::string& pattern) {
            auto it = listings.find(pattern);
            return it == listings.end() ? std::vector<std::string>() : it->second;
        };
        s.getEnvironment = [this](const std::string& name, std::string& value) {
            auto it = environment.find(name);
            if (it == environment.end()) return false;
            value = it->second;
            return true;
        };
        s.openOptionsFile = [this](const std::u16string& path) -> std::unique_ptr<OptionLineReader> {
            opened.push_back(path);
            auto it = files.find(path);
            if (it == files.end()) return nullptr;
            return std::make_unique<TextLineReader>(it->second);
        };
        return s;
    }
};

const char kExe[] = "C:\\app\\a.exe";

// How the log prints a null handle.
std::string nullPointerText() { return std::string(2 * sizeof(void*), '0'); }

class VmOptionsTest : public ::testing::Test {
protected:
    FakeSystem fs_;
    ArgVector args_{u"C:\\app\\a.exe"};
    VmOptionsInput input_;

    void SetUp() override {
        input_.properties.moduleName = kExe;
        input_.properties.unextractedPosition = 1234;
        input_.properties.path = "C:\\w";
        input_.properties.consoleCodePage = 850;
        input_.exeLongPath = u"C:\\app\\a.exe";
        input_.modulePath = u"C:\\APP\\A.EXE";
    }

    VmOptionsResult run() {
        input_.args = &args_;
        input_.system = fs_.make();
        return assembleVmOptions(input_);
    }

    // The options between the six launcher properties of the default input and the class path.
    VmOptionList middle(const VmOptionsResult& result) {
        EXPECT_GE(result.options.size(), 7u);
        if (result.options.size() < 7) return {};
        return VmOptionList(result.options.begin() + 6, result.options.end() - 1);
    }
};

TEST_F(VmOptionsTest, NothingConfiguredGivesPropertiesAndAnEmptyClassPath) {
    VmOptionsResult r = run();
    ASSERT_EQ(r.error, VmOptionsError::None);
    VmOptionList expected = {
        "-Dbrenn.moduleName=C:\\app\\a.exe",   "-Dsun.java.command=C:\\app\\a.exe",
        "-Dbrenn.tempDir=",                    "-Dbrenn.unextractedPosition=1234",
        "-Djava.library.path=C:\\w",           "-Dbrenn.consoleCodepage=cp850",
        "-Djava.class.path=",
    };
    EXPECT_EQ(r.options, expected);
}

TEST(LauncherPropertiesTest, AllPropertiesInTableOrder) {
    LauncherProperties p;
    p.semaphoreName = "brenn_sem_1";
    p.kavora = true;
    p.moduleName = "C:\\x\\b.exe";
    p.tempDir = "C:\\t\\d";
    p.languageRestart = true;
    p.unextractedPosition = 77;
    p.path = "C:\\bin;C:\\w";
    p.manpathSet = true;
    p.consoleCodePage = 437;
    VmOptionList list;
    appendLauncherProperties(list, p);
    VmOptionList expected = {
        "-Dbrenn.semaphoreName=brenn_sem_1", "-Dbrenn.isKavora=true",
        "-Dbrenn.moduleName=C:\\x\\b.exe",   "-Dsun.java.command=C:\\x\\b.exe",
        "-Dbrenn.tempDir=C:\\t\\d",          "-Dbrenn.unextractedPosition=-1",
        "-Djava.library.path=C:\\bin;C:\\w",
    };
    EXPECT_EQ(list, expected);
}

TEST(LauncherPropertiesTest, LibraryPathMustFitTheBuffer) {
    // 12000 bytes hold the 20-byte prefix, 11979 characters and the terminator.
    struct Case {
        size_t length;
        bool kept;
    } cases[] = {{0, true}, {11978, true}, {11979, true}, {11980, false}, {48000, false}};
    for (const Case& c : cases) {
        LauncherProperties p;
        p.path = std::string(c.length, 'p');
        VmOptionList list;
        appendLauncherProperties(list, p);
        ASSERT_EQ(list.size(), 6u);
        EXPECT_EQ(list[4], "-Djava.library.path=" + (c.kept ? p.path : std::string())) << c.length;
        EXPECT_EQ(list[5], "-Dbrenn.consoleCodepage=cp0");
    }
}

TEST_F(VmOptionsTest, ConfiguredParametersAreSplitAndExpandedAnsiSafe) {
    fs_.files[u"C:\\app\\inc.txt"] = "-Dinc=1\n";
    input_.vmParameters =
        u"-Xmx1g -Dv=${V} -include-options inc.txt -classpath foo \"-classpath/a C:\\x.jar\" -include-options";
    VmOptionsResult r = run();
    ASSERT_EQ(r.error, VmOptionsError::None);
    // The pair makes an include; "-classpath" as a token of its own is a plain option; a trailing
    // "-include-options" has no file name and is passed on as it is.
    VmOptionList expected = {"-Xmx1g", "-Dv=A", "-Dinc=1", "-classpath", "foo", "-include-options"};
    EXPECT_EQ(middle(r), expected);
    EXPECT_EQ(r.options.back(), "-Djava.class.path=;C:\\x.jar");
    ASSERT_FALSE(fs_.expandFlags.empty());
    EXPECT_TRUE(fs_.expandFlags[0]);
}

TEST_F(VmOptionsTest, JavaArgumentsOnlyWhenConfigured) {
    args_ = {u"C:\\app\\a.exe", u"-JXmx5m", u"doc.txt", u"-J-Dx=1", u"-J"};
    for (bool pass : {true, false}) {
        input_.passJavaArguments = pass;
        VmOptionsResult r = run();
        VmOptionList expected;
        if (pass) expected = {"Xmx5m", "-Dx=1", ""};
        EXPECT_EQ(middle(r), expected) << pass;
    }
}

TEST_F(VmOptionsTest, LocaleOptions) {
    struct Case {
        ArgVector extra;
        const char* language;
        const char* country;
        VmOptionList expected;
    } cases[] = {
        {{u"doc.txt"}, "de", "DE", {}},
        {{u"-Dsun.locale.formatasdefault=true"}, "fr", "FR", {"-Dsun.locale.formatasdefault=true"}},
        {{u"-Dsun.locale.formatasdefault=false"},
         "de",
         "DE",
         {"-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=DE"}},
        {{u"-Dsun.locale.formatasdefault=false"}, "no", "", {"-Dsun.locale.formatasdefault=false", "-Duser.language=no"}},
        {{u"-Dsun.locale.formatasdefault=true", u"x", u"-Dsun.locale.formatasdefault=yes"},
         "de",
         "DE",
         {"-Dsun.locale.formatasdefault=yes", "-Duser.language=de", "-Duser.country=DE"}},
        {{u"-Dsun.locale.formatasdefault=no", u"-Dsun.locale.formatasdefault=true"},
         "de",
         "DE",
         {"-Dsun.locale.formatasdefault=true"}},
    };
    for (const Case& c : cases) {
        args_ = {u"C:\\app\\a.exe"};
        args_.insert(args_.end(), c.extra.begin(), c.extra.end());
        input_.language = c.language;
        input_.country = c.country;
        VmOptionsResult r = run();
        EXPECT_EQ(middle(r), c.expected) << utf16ToUtf8(c.extra.back());
    }
}

TEST_F(VmOptionsTest, OptionsFileLines) {
    fs_.files[u"C:\\app\\a.vmoptions"] =
        "  -Xms1m  \r\n"
        "\n"
        "     \n"
        "# comment\n"
        "   #indented comment\n"
        "\t-Dtab=1\t\n"
        "-Dv=${V}\n"
        "-Dcr=1\r\r\n"
        "-classpath C:\\r.jar\n"
        "-classpath/a a1\n"
        "-classpath/a a2\n"
        "-classpath/p p1\n"
        "-Dlast=\xE4";  // no line end at the end of the file
    VmOptionsResult r = run();
    ASSERT_EQ(r.error, VmOptionsError::None);
    VmOptionList expected = {"-Xms1m", "\t-Dtab=1\t", "-Dv=A", "-Dcr=1", "-Dlast=\xE4"};
    EXPECT_EQ(middle(r), expected);
    // The replacement stands for the configured entries; only the later append counts.
    EXPECT_EQ(r.options.back(), "-Djava.class.path=p1;C:\\r.jar;a2");
}

TEST(OptionLineTest, TrimRules) {
    struct Case {
        const char* line;
        bool kept;
        const char* result;
    } cases[] = {
        {"-Xmx1m\n", true, "-Xmx1m"},  {"  -a b  \r\n", true, "-a b"}, {"\t-a\t", true, "\t-a\t"},
        {"   \r\n", false, ""},        {"#x", false, ""},              {"  # y", false, ""},
        {"-a #b", true, "-a #b"},      {"-a\r \n", true, "-a\r"},      {"\n\r\n", false, ""},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(trimOptionLine(line), c.kept) << c.line;
        if (c.kept) {
            EXPECT_EQ(line, c.result) << c.line;
        }
    }
}

TEST(OptionLineTest, LongLinesArriveInPiecesOfTheBuffer) {
    std::string text = std::string(7000, 'x') + "\nshort\n" + std::string(5999, 'y') + "\n";
    TextLineReader reader(text);
    std::vector<size_t> sizes;
    std::string line;
    while (reader.readLine(line)) sizes.push_back(line.size());
    // 5999 bytes fill the buffer; the line feed after exactly 5999 bytes comes as a piece of its own.
    std::vector<size_t> expected = {5999, 1002, 6, 5999, 1};
    EXPECT_EQ(sizes, expected);
}

TEST_F(VmOptionsTest, LongOptionsFileLineBecomesTwoOptions) {
    fs_.files[u"C:\\app\\a.vmoptions"] = "-D" + std::string(6000, 'a') + "\n";
    VmOptionsResult r = run();
    VmOptionList expected = {"-D" + std::string(5997, 'a'), std::string(3, 'a')};
    EXPECT_EQ(middle(r), expected);
}

TEST(OptionsFileNameTest, FourCharactersAreCut) {
    EXPECT_EQ(vmOptionsNameReplacing(u"C:\\app\\prog.exe"), u"C:\\app\\prog.vmoptions");
    EXPECT_EQ(vmOptionsNameReplacing(u"C:\\app\\prog.exe1"), u"C:\\app\\prog..vmoptions");
    EXPECT_EQ(vmOptionsNameReplacing(u"C:\\app\\prog.c"), u"C:\\app\\pr.vmoptions");
    EXPECT_EQ(vmOptionsNameReplacing(u"ab"), u".vmoptions");
    EXPECT_EQ(vmOptionsNameAppending(u"C:\\app\\prog.exe"), u"C:\\app\\prog.exe.vmoptions");
}

TEST_F(VmOptionsTest, DefaultFileCandidatesInOrder) {
    const std::vector<std::u16string> all = {u"C:\\app\\a.vmoptions", u"C:\\app\\a.exe.vmoptions",
                                             u"C:\\APP\\A.vmoptions", u"C:\\APP\\A.EXE.vmoptions"};
    for (size_t present = 0; present <= all.size(); ++present) {
        fs_.files.clear();
        fs_.opened.clear();
        if (present < all.size()) fs_.files[all[present]] = "-Dfrom=" + std::to_string(present) + "\n";
        VmOptionsResult r = run();
        std::vector<std::u16string> tried(all.begin(), all.begin() + std::min(present + 1, all.size()));
        EXPECT_EQ(fs_.opened, tried) << present;
        VmOptionList expected;
        if (present < all.size()) expected = {"-Dfrom=" + std::to_string(present)};
        EXPECT_EQ(middle(r), expected) << present;
    }
}

TEST_F(VmOptionsTest, DefaultFileLogLines) {
    CapturedLog log;
    run();
    const std::vector<std::string>& l = log.lines();
    auto has = [&l](const std::string& start) {
        return std::any_of(l.begin(), l.end(), [&start](const std::string& s) { return s.rfind(start, 0) == 0; });
    };
    EXPECT_TRUE(has("adding options"));
    EXPECT_TRUE(has("vmoptions2: exe C:\\app\\a.exe file: C:\\app\\a.vmoptions, file: "));
    EXPECT_TRUE(has("vmoptions: opts2: C:\\app\\a.exe.vmoptions, file: "));
    EXPECT_TRUE(has("vmoptions2: exe C:\\APP\\A.EXE file: C:\\APP\\A.vmoptions, file: "));
    EXPECT_TRUE(has("vmoptions: opts2: C:\\APP\\A.EXE.vmoptions, file: "));
    EXPECT_TRUE(has("default vmoptions file: " + nullPointerText()));
}

TEST_F(VmOptionsTest, IncludesResolveAgainstTheIncludingFile) {
    fs_.files[u"C:\\app\\a.vmoptions"] = "-include-options sub\\more.txt\n-Dafter=1\n";
    fs_.files[u"C:\\app\\sub\\more.txt"] = "-Dmore=1\n-include-options deeper.txt\n";
    fs_.files[u"C:\\app\\sub\\deeper.txt"] = "-Ddeeper=1\n";
    fs_.files[u"C:\\app\\rel.txt"] = "-Drel=1\n-include-options D:\\abs.txt\n";
    fs_.files[u"D:\\abs.txt"] = "-Dabs=1\n";
    input_.vmParameters = u"-include-options rel.txt -include-options missing.txt -Dend=1";
    CapturedLog log;
    VmOptionsResult r = run();
    VmOptionList expected = {"-Drel=1", "-Dabs=1", "-Dend=1", "-Dmore=1", "-Ddeeper=1", "-Dafter=1"};
    EXPECT_EQ(middle(r), expected);
    const std::vector<std::string>& l = log.lines();
    auto count = [&l](const std::string& part) {
        return std::count_if(l.begin(), l.end(), [&part](const std::string& s) { return s.find(part) != std::string::npos; });
    };
    EXPECT_EQ(count("<C:\\app\\missing.txt> (missing.txt)"), 1);
    EXPECT_EQ(count("adding vmoptions from (" + nullPointerText() + ")"), 1);  // only the missing one
    EXPECT_EQ(count("after exp from sub\\more.txt sub\\more.txt"), 1);
    EXPECT_EQ(count("adding vmoptions 2"), 5);
    EXPECT_EQ(count("adding vmoptions 3"), 5);
}

TEST_F(VmOptionsTest, SelfIncludeStopsAtTheDepthBound) {
    fs_.files[u"C:\\app\\loop.txt"] = "-Dloop\n-include-options loop.txt\n";
    input_.vmParameters = u"-include-options loop.txt";
    CapturedLog log;
    VmOptionsResult r = run();
    EXPECT_EQ(middle(r), VmOptionList(kMaxIncludeDepth, "-Dloop"));
    const std::vector<std::string>& l = log.lines();
    EXPECT_EQ(std::count_if(l.begin(), l.end(),
                            [](const std::string& s) { return s.find("nested deeper than") != std::string::npos; }),
              1);
}

TEST_F(VmOptionsTest, FilesIncludingThemselvesTwiceStopAtTheFileBound) {
    // Unbounded, this would read the file 2^16 times.
    fs_.files[u"C:\\app\\twice.txt"] = "-Dtwice\n-include-options twice.txt\n-include-options twice.txt\n";
    input_.vmParameters = u"-include-options twice.txt";
    CapturedLog log;
    VmOptionsResult r = run();
    EXPECT_EQ(middle(r), VmOptionList(kMaxIncludedFiles, "-Dtwice"));
    EXPECT_EQ(std::count(fs_.opened.begin(), fs_.opened.end(), u"C:\\app\\twice.txt"), kMaxIncludedFiles);
    const std::vector<std::string>& l = log.lines();
    EXPECT_GE(std::count_if(l.begin(), l.end(),
                            [](const std::string& s) { return s.find("includes more than 64 files") != std::string::npos; }),
              1);
}

TEST_F(VmOptionsTest, ClassPathFromAllSources) {
    input_.launcherTempDir = "C:\\t\\d";
    fs_.existing = {"C:\\t\\d", "C:\\t\\d\\user", "C:\\app\\lib\\x.jar", "C:\\app\\ext"};
    fs_.listings["C:\\t\\d\\*.jar"] = {"b.jar", "a.jar"};
    fs_.listings["C:\\t\\d\\user\\*.zip"] = {"u.zip"};
    fs_.listings["C:\\app\\ext\\*.jar"] = {"s.jar"};
    fs_.listings["C:\\app\\ext\\*.zip"] = {"s.zip"};
    fs_.environment["CP_VAR"] = "\"C:\\e1;C:\\e2\"";
    input_.kavora = true;
    input_.applicationDir = "C:\\app";
    input_.classPathEntries = "A1lib\\x.jar;;D0C:\\classes;E0CP_VAR;E0UNSET;S1ext";
    fs_.files[u"C:\\app\\a.vmoptions"] = "-classpath/p C:\\first.jar\n-classpath/a C:\\last.jar\n";
    CapturedLog log;
    VmOptionsResult r = run();
    ASSERT_EQ(r.error, VmOptionsError::None);
    EXPECT_EQ(r.options.back(),
              "-Djava.class.path=C:\\first.jar;C:\\t\\d\\b.jar;C:\\t\\d\\a.jar;C:\\t\\d\\user\\u.zip;"
              "C:\\app\\.kavora\\kvrruntime.jar;C:\\app\\lib\\x.jar;C:\\classes;C:\\e1;C:\\e2;"
              "C:\\app\\ext\\s.jar;C:\\app\\ext\\s.zip;C:\\last.jar");
    const std::vector<std::string>& l = log.lines();
    EXPECT_NE(std::find(l.begin(), l.end(), "classpath entry A1lib\\x.jar;;D0C:\\classes;E0CP_VAR;E0UNSET;S1ext"),
              l.end());
    EXPECT_NE(std::find(l.begin(), l.end(), "classpath entries 5"), l.end());
}

TEST_F(VmOptionsTest, ClassPathSeparators) {
    struct Case {
        const char* appDir;
        const char* entries;
        const char* fileLines;
        const char* expected;
    } cases[] = {
        // The runtime entry adds no second backslash.
        {"C:\\app\\", "", "", "-Djava.class.path=C:\\app\\.kavora\\kvrruntime.jar"},
        // A variable's value that already ends with ';' gets no second one; one ';' is cut at the end.
        {"C:\\k", "E0SEMI", "", "-Djava.class.path=C:\\k\\.kavora\\kvrruntime.jar;C:\\v"},
        // A replacement is taken unchanged, so the append brings its own separator.
        {"C:\\k", "A0ignored.jar", "-classpath r1;\n-classpath/a a1\n",
         "-Djava.class.path=C:\\k\\.kavora\\kvrruntime.jar;r1;a1"},
        // A single quote character is not a quoted value.
        {"C:\\k", "E0QUOTE", "", "-Djava.class.path=C:\\k\\.kavora\\kvrruntime.jar;\""},
    };
    fs_.environment["SEMI"] = "C:\\v;";
    fs_.environment["QUOTE"] = "\"";
    input_.kavora = true;
    for (const Case& c : cases) {
        input_.applicationDir = c.appDir;
        input_.classPathEntries = c.entries;
        fs_.files[u"C:\\app\\a.vmoptions"] = c.fileLines;
        VmOptionsResult r = run();
        EXPECT_EQ(r.options.back(), c.expected) << c.entries;
    }
}

TEST_F(VmOptionsTest, OptionalEntriesThatAreMissingAddNothingOrTheirPath) {
    input_.classPathEntries = "E0NOPE;E0EMPTY;S0nodir;A0gone.jar;D0C:\\gone";
    fs_.environment["EMPTY"] = "";
    VmOptionsResult r = run();
    ASSERT_EQ(r.error, VmOptionsError::None);
    EXPECT_EQ(r.options.back(), "-Djava.class.path=C:\\app\\gone.jar;C:\\gone");
}

TEST_F(VmOptionsTest, RequiredEntriesThatAreMissingAreFatal) {
    struct Case {
        const char* entries;
        VmOptionsError error;
        const char* detail;
    } cases[] = {
        {"E1NOPE", VmOptionsError::MissingClassPathVariable, "NOPE"},
        {"E1EMPTY", VmOptionsError::MissingClassPathEntry, "EMPTY"},
        {"A1missing.jar", VmOptionsError::MissingClassPathEntry, "missing.jar"},
        {"D1${V}dir", VmOptionsError::MissingClassPathEntry, "Ndir"},
        {"S1nodir", VmOptionsError::MissingClassPathEntry, "nodir"},
        {"X1what", VmOptionsError::MissingClassPathEntry, "what"},
        {"A1C:\\there.jar;E1NOPE;A1missing.jar", VmOptionsError::MissingClassPathVariable, "NOPE"},
        {"E1SET", VmOptionsError::None, ""},
        {"A1C:\\there.jar", VmOptionsError::None, ""},
    };
    fs_.environment["EMPTY"] = "";
    fs_.environment["SET"] = "C:\\s.jar";
    fs_.existing = {"C:\\there.jar"};
    for (const Case& c : cases) {
        input_.classPathEntries = c.entries;
        VmOptionsResult r = run();
        EXPECT_EQ(r.error, c.error) << c.entries;
        EXPECT_EQ(r.errorDetail, c.detail) << c.entries;
    }
}

TEST_F(VmOptionsTest, SourcesInOrderWithTheClassPathLast) {
    input_.properties.semaphoreName = "sem";
    input_.vmParameters = u"-Dconfig=1";
    input_.passJavaArguments = true;
    input_.language = "de";
    input_.country = "AT";
    args_ = {u"C:\\app\\a.exe", u"-Dsun.locale.formatasdefault=false", u"-J-Dj=1"};
    fs_.files[u"C:\\app\\a.vmoptions"] = "-Dfile=1\n";
    VmOptionsResult r = run();
    ASSERT_EQ(r.options.size(), 14u);
    EXPECT_EQ(r.options[0], "-Dbrenn.semaphoreName=sem");
    VmOptionList tail(r.options.begin() + 7, r.options.end());
    VmOptionList expected = {"-Dconfig=1",         "-Dj=1",          "-Dsun.locale.formatasdefault=false",
                             "-Duser.language=de", "-Duser.country=AT", "-Dfile=1",
                             "-Djava.class.path="};
    EXPECT_EQ(tail, expected);
}

TEST(VmOptionListLogTest, CountThenEachOption) {
    CapturedLog log;
    logVmOptionList({"-Xmx1m", "-Djava.class.path=a.jar"});
    std::vector<std::string> expected = {"vmoption count 2", "vmoption 0: -Xmx1m", "vmoption 1: -Djava.class.path=a.jar"};
    EXPECT_EQ(log.lines(), expected);
}

}  // namespace
