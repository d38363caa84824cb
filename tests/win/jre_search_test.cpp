// The search sequence over stand-in runtimes: list letters in order, location files, the fallback
// pass, the registry sources with their tie rules, previous installations, the Java-home
// variables, private-only and JDK-required modes.
#include "jre_test_support.h"

#include "config/ConfigIds.h"
#include "jre/JreSearch.h"

using namespace marlo;
using namespace marlo::jretest;

namespace {

const char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";

class JreSearchTest : public JreTest {
protected:
    void SetUp() override {
        JreTest::SetUp();
        SetEnvironmentVariableA("PATH", "c:\\windows\\system32;c:\\windows");
    }
    std::string runtime(const std::string& name, const char* version = "1.8.0_60", Jvm jvm = Jvm::Good) {
        RuntimeLayout layout;
        layout.firstLine = std::string("java version \"") + version + "\"";
        layout.jvm = jvm;
        makeRuntime(at(name), layout);
        return at(name);
    }
    static std::string exeOf(const std::string& home) { return lower(home + "\\bin\\java.exe"); }
    void configure(const std::string& list, const char* min = "1.8", const char* max = "",
                   std::vector<std::pair<ConfigId, std::string>> more = {}) {
        more.push_back({cfg::JRE_SEARCH_SEQUENCE, list});
        more.push_back({cfg::MIN_JAVA_VERSION, min});
        more.push_back({cfg::MAX_JAVA_VERSION, max});
        useConfig(more);
    }
    JavaVersion min_ = parseJavaVersion("1.8");
    JavaVersion max_;
};

struct SearchCase {
    const char* name;
    std::string list;
    JreLocationKind kind;
    std::string source;
    std::string executable;
    bool loaded;
};

TEST_F(JreSearchTest, ListEntriesAreTriedInOrder) {
    const std::string good = runtime("good");
    const std::string good2 = runtime("good2");
    const std::string old = runtime("old", "1.6.0_45");
    const std::string broken = runtime("broken", "1.8.0_60", Jvm::Garbage);
    std::string forward = good2;
    for (char& c : forward)
        if (c == '\\') c = '/';
    SetEnvironmentVariableA("MARLO_T_HOME", forward.c_str());  // a home with forward slashes
    SetEnvironmentVariableA("MARLO_T_DIR", good2.c_str());
    recordRuntime(HKEY_CURRENT_USER, exeOf(good2));

    const SearchCase cases[] = {
        {"missing directory, then B", "R" + at("missing") + ";B" + good, JreLocationKind::Directory, good, exeOf(good),
         true},
        {"unknown letter skipped, E before B", "Q" + good + ";;EMARLO_T_HOME;B" + good, JreLocationKind::Environment,
         "MARLO_T_HOME", exeOf(good2), true},
        {"A outside the window, then B", "A" + old + ";B" + good, JreLocationKind::Directory, good, exeOf(good), true},
        {"Y before B", "Y;B" + good, JreLocationKind::Registry, "", exeOf(good2), true},
        {"value expanded", "R${MARLO_T_DIR}\\", JreLocationKind::Directory, good2 + "\\", exeOf(good2), true},
        {"library fails, search goes on", "B" + broken + ";R" + good, JreLocationKind::Directory, good, exeOf(good),
         true},
        {"only a broken library", "B" + broken, JreLocationKind::Directory, broken, exeOf(broken), false},
        // Fallback pass: B qualifies whatever its version; an absolute A does not.
        {"fallback takes B outside the window", "A" + old + ";B" + old, JreLocationKind::Directory, old, exeOf(old),
         true},
        {"nothing found", "A" + old + ";R" + at("missing"), JreLocationKind::None, "", "", false},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.list);
        JreLocation location;
        void* library = searchJre(location);
        EXPECT_EQ(location.kind, c.kind);
        EXPECT_EQ(location.sourceName, c.source);
        if (c.kind != JreLocationKind::None) {
            EXPECT_EQ(location.javaExecutable, c.executable);
        }
        EXPECT_EQ(library != nullptr, c.loaded);
        EXPECT_EQ(location.jvmLibrary, library);
    }
}

TEST_F(JreSearchTest, SearchPathEntry) {
    const std::string good = runtime("good");
    SetEnvironmentVariableA("PATH", (good + "\\bin;c:\\windows\\system32").c_str());
    configure("S;B" + at("missing"));
    JreLocation location;
    ASSERT_NE(searchJre(location), nullptr);
    EXPECT_EQ(location.kind, JreLocationKind::SearchPath);
    EXPECT_EQ(location.javaExecutable, exeOf(good));
}

TEST_F(JreSearchTest, LocationFilesAndJavaHomeVariables) {
    const std::string preferred = runtime("preferred");
    const std::string installer = runtime("installer");
    const std::string listed = runtime("listed");
    const std::string brenn = runtime("brenn");
    const std::string kavora = runtime("kavora");
    const std::string app = at("app");
    CreateDirectoryA(app.c_str(), nullptr);
    CreateDirectoryA((app + "\\.kavora").c_str(), nullptr);
    auto search = [&](const std::string& list) {
        configure(list, "1.8", "", {{cfg::INSTALL_ROOT, app}});
        JreLocation location;
        EXPECT_NE(searchJre(location), nullptr);
        return location;
    };

    // The installer location comes after the list, the preferred one before it.
    writeText(app + "\\.kavora\\inst_jre.cfg", installer + "\r\n\r\n");
    EXPECT_EQ(search("B" + listed).javaExecutable, exeOf(listed));
    JreLocation location = search("R" + at("missing"));
    EXPECT_EQ(location.javaExecutable, exeOf(installer));
    EXPECT_EQ(location.sourceName, installer);
    writeText(app + "\\.kavora\\pref_jre.cfg", preferred + "\n");
    location = search("B" + listed);
    EXPECT_EQ(location.javaExecutable, exeOf(preferred));
    EXPECT_EQ(location.kind, JreLocationKind::Directory);
    EXPECT_EQ(location.sourceName, preferred);

    // An empty first line counts as read (it names the launcher's own directory).
    writeText(app + "\\.kavora\\pref_jre.cfg", "\r\nsecond line\r\n");
    std::string line = "stale";
    EXPECT_TRUE(readLocationFile(line, "\\.kavora\\pref_jre.cfg"));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(readLocationFile(line, "\\.kavora\\none.cfg"));

    // Last: BRENN_JAVA_HOME, then KAVORA_JAVA_HOME.
    DeleteFileA((app + "\\.kavora\\pref_jre.cfg").c_str());
    DeleteFileA((app + "\\.kavora\\inst_jre.cfg").c_str());
    SetEnvironmentVariableA("KAVORA_JAVA_HOME", kavora.c_str());
    location = search("");
    EXPECT_EQ(location.kind, JreLocationKind::Environment);
    EXPECT_EQ(location.sourceName, "KAVORA_JAVA_HOME");
    SetEnvironmentVariableA("BRENN_JAVA_HOME", brenn.c_str());
    location = search("");
    EXPECT_EQ(location.sourceName, "BRENN_JAVA_HOME");
    EXPECT_EQ(location.javaExecutable, exeOf(brenn));
}

TEST_F(JreSearchTest, JavaSoftSubkeysInByteOrderGreatestFirst) {
    const std::string rt60 = runtime("rt60", "1.8.0_60");
    const std::string rt100 = runtime("rt100", "1.8.0_100");
    const std::string rt2 = runtime("rt2", "2.0");
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_60", "JavaHome", rt60);
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_100", "JavaHome", rt100);
    // Greatest name, but outside the window by its name.
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\2.0", "JavaHome", rt2);
    const JavaVersion max = parseJavaVersion("1.9");
    std::string exe;
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max));
    EXPECT_EQ(exe, exeOf(rt60));

    // The current version, when it names one, comes before the enumeration.
    setRegistryString(HKEY_LOCAL_MACHINE, kJreKey, "CurrentVersion", "1.8.0_100");
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max));
    EXPECT_EQ(exe, exeOf(rt100));

    // A newer current JDK beats the current JRE.
    const std::string jdk = runtime("jdk", "1.8.0_120");
    setRegistryString(HKEY_LOCAL_MACHINE, kJdkKey, "CurrentVersion", "1.8.0_120");
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJdkKey) + "\\1.8.0_120", "JavaHome", jdk);
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max));
    EXPECT_EQ(exe, exeOf(jdk));
}

TEST_F(JreSearchTest, RecordedRuntimesTieRules) {
    const std::string userRt = runtime("user", "1.8.0_60");
    const std::string machineRt = runtime("machine", "1.8.0_60");
    const std::string newer = runtime("newer", "1.8.0_70");
    const std::string sun = runtime("sun", "1.8.0_60");
    recordRuntime(HKEY_CURRENT_USER, exeOf(userRt));
    recordRuntime(HKEY_LOCAL_MACHINE, exeOf(machineRt));
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_60", "JavaHome", sun);
    std::string exe;
    // Equal versions: the machine's recorded runtime beats the user's and the JavaSoft one.
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, exeOf(machineRt));
    // A newer one under the user's hive wins.
    recordRuntime(HKEY_CURRENT_USER, exeOf(newer));
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, exeOf(newer));
    // A JavaSoft runtime wins only when newer.
    const std::string sunNewer = runtime("sun2", "1.8.0_80");
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_80", "JavaHome", sunNewer);
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, exeOf(sunNewer));
}

TEST_F(JreSearchTest, PrivateOnlyReadsNoJavaSoftAndOnlySharedRuntimes) {
    const std::string sun = runtime("sun");
    const std::string other = runtime("other", "1.8.0_99");
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_60", "JavaHome", sun);
    recordRuntime(HKEY_CURRENT_USER, exeOf(other));
    useConfig({{cfg::PRIVATE_JRES_ONLY, "1"}});
    std::string exe;
    EXPECT_FALSE(checkRegistryLocations(exe, min_, max_));

    CreateDirectoryA(at("kvr_jres").c_str(), nullptr);
    const std::string shared = runtime("kvr_jres\\1.8.0_60");
    recordRuntime(HKEY_LOCAL_MACHINE, exeOf(shared));
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, exeOf(shared));
}

TEST_F(JreSearchTest, JdkRequiredUsesJdkKeysAndToolsJar) {
    // A JDK home: lib\tools.jar and its runtime in jre (jre\bin\java.exe, jre\bin\client\jvm.dll).
    const std::string jdk = at("jdk");
    CreateDirectoryA(jdk.c_str(), nullptr);
    CreateDirectoryA((jdk + "\\lib").c_str(), nullptr);
    writeText(jdk + "\\lib\\tools.jar", "PK");
    runtime("jdk\\jre");
    const std::string jre = runtime("jre", "1.8.0_99");
    const std::string bare = runtime("bare");
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.8.0_99", "JavaHome", jre);
    setRegistryString(HKEY_LOCAL_MACHINE, std::string(kJdkKey) + "\\1.8.0_60", "JavaHome", jdk);
    useConfig({{cfg::REQUIRE_JDK, "1"}});

    std::string exe;
    EXPECT_TRUE(locateJavaExecutable(exe, jdk));
    EXPECT_EQ(exe, jdk + "\\jre\\bin\\java.exe");
    EXPECT_FALSE(locateJavaExecutable(exe, bare));

    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, lower(jdk + "\\jre\\bin\\java.exe"));

    configure("B" + bare + ";B" + jdk, "1.8", "", {{cfg::REQUIRE_JDK, "1"}});
    JreLocation location;
    ASSERT_NE(searchJre(location), nullptr);
    EXPECT_EQ(location.sourceName, jdk);

    // Without the requirement the newer JRE is taken.
    useConfig({});
    ASSERT_TRUE(checkRegistryLocations(exe, min_, max_));
    EXPECT_EQ(exe, exeOf(jre));
}

TEST_F(JreSearchTest, PreviousInstallationsTriedInOrder) {
    const std::string second = at("second");
    CreateDirectoryA(second.c_str(), nullptr);
    runtime("second\\jre");
    const std::string first = at("first");
    CreateDirectoryA(first.c_str(), nullptr);
    runtime("first\\jre", "1.7.0_80");
    setRegistryString(HKEY_CURRENT_USER, "SOFTWARE\\orvane\\kavora\\installations", "myapp",
                      at("none") + ";" + first + ";" + second);
    configure("R" + at("missing"), "1.8", "", {{cfg::APPLICATION_ID, "myapp"}});
    JreLocation location;
    ASSERT_NE(searchJre(location), nullptr);
    EXPECT_EQ(location.kind, JreLocationKind::Registry);
    EXPECT_EQ(location.javaExecutable, exeOf(second + "\\jre"));

    // Without an application id nothing is read.
    configure("R" + at("missing"));
    EXPECT_EQ(searchJre(location), nullptr);
    EXPECT_EQ(location.kind, JreLocationKind::None);
}

}  // namespace
