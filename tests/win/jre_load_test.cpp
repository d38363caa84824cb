// Loading the VM library of a runtime (sub-directories, a JDK's jre\bin, PATH kept or restored)
// and restoring packed jars with the runtime's unpack200.exe.
#include "jre_test_support.h"

#include <cstdlib>

#include "config/ConfigIds.h"
#include "diag/ErrorExit.h"
#include "jre/JreSearch.h"
#include "jre/JvmLoader.h"
#include "jre/JvmHome.h"
#include "jre/PackedJre.h"

using namespace marlo;
using namespace marlo::jretest;

namespace {

std::string systemPath() {
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA("PATH", buffer, sizeof buffer);
    return std::string(buffer, n < sizeof buffer ? n : 0);
}

std::string runtimePath() {
    const char* value = std::getenv("PATH");
    return value ? value : "";
}

std::string moduleFile(void* library) {
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(static_cast<HMODULE>(library), buffer, MAX_PATH);
    return lower(std::string(buffer, n));
}

bool exportsCreate(void* library) {
    return library && GetProcAddress(static_cast<HMODULE>(library), "JNI_CreateJavaVM") != nullptr;
}

class JvmLoadTest : public JreTest {
protected:
    std::string oldPath_;
    void SetUp() override {
        JreTest::SetUp();
        oldPath_ = "c:\\windows\\system32;c:\\windows";
        SetEnvironmentVariableA("PATH", oldPath_.c_str());
        _putenv(("PATH=" + oldPath_).c_str());
    }
};

TEST_F(JvmLoadTest, JdkLoadsFromItsJreBinAndKeepsThatOnPath) {
    RuntimeLayout jdk;
    jdk.jdk = true;
    makeRuntime(at("jdk"), jdk);
    void* library = loadJvmForJava(at("jdk") + "\\bin\\java.exe");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(moduleFile(library), lower(at("jdk") + "\\jre\\bin\\client\\jvm.dll"));
    // The first attempt was undone; the second one stays.
    const std::string expected = oldPath_ + ";" + at("jdk") + "\\bin\\..\\jre\\bin";
    EXPECT_EQ(systemPath(), expected);
    EXPECT_EQ(runtimePath(), expected);
}

TEST_F(JvmLoadTest, FailingLibraryLeavesPathAsItWas) {
    RuntimeLayout broken;
    broken.jvm = Jvm::Garbage;
    makeRuntime(at("broken"), broken);
    EXPECT_EQ(loadJvmForJava(at("broken") + "\\bin\\java.exe"), nullptr);
    EXPECT_EQ(systemPath(), oldPath_);
    EXPECT_EQ(runtimePath(), oldPath_);
}

TEST_F(JvmLoadTest, SubdirectoryOrderAndPreferredType) {
    // client holds a library without the entry point, server a complete one.
    RuntimeLayout layout;
    layout.jvm = Jvm::NoEntry;
    makeRuntime(at("both"), layout);
    CreateDirectoryA((at("both") + "\\bin\\server").c_str(), nullptr);
    ASSERT_TRUE(copyStandIn("jvm.dll", at("both") + "\\bin\\server\\jvm.dll"));

    void* client = loadJvmFromBinDir(at("both") + "\\bin\\javaw.exe");
    EXPECT_EQ(moduleFile(client), lower(at("both") + "\\bin\\client\\jvm.dll"));
    EXPECT_FALSE(exportsCreate(client));

    useConfig({{cfg::PREFERRED_VM_TYPE, "server"}});
    void* server = loadJvmFromBinDir(at("both") + "\\bin\\java.exe");
    EXPECT_EQ(moduleFile(server), lower(at("both") + "\\bin\\server\\jvm.dll"));
    EXPECT_TRUE(exportsCreate(server));
}

TEST_F(JvmLoadTest, TryJvmLibraryBuildsTheFileName) {
    makeRuntime(at("rt"));
    EXPECT_EQ(tryJvmLibrary(at("rt") + "\\bin", "server"), nullptr);
    void* library = tryJvmLibrary(at("rt") + "\\bin", "client");
    EXPECT_EQ(moduleFile(library), lower(at("rt") + "\\bin\\client\\jvm.dll"));
}

TEST_F(JvmLoadTest, LoadDllWithNothingFound) {
    useConfig({{cfg::JRE_SEARCH_SEQUENCE, "B" + at("none")}});
    EXPECT_FALSE(LoadDLL(false));
    EXPECT_EQ(jvmEntryPoint(), nullptr);
}

TEST_F(JvmLoadTest, LoadDllSetsHomeAndEntryPoint) {
    useConfig({{cfg::EXECUTABLE_TYPE, "1"}, {cfg::JRE_SEARCH_SEQUENCE, "B" + at("good")}});
    makeRuntime(at("good"));
    ASSERT_TRUE(LoadDLL(false));
    EXPECT_NE(jvmEntryPoint(), nullptr);
    // javaw.exe is replaced by ".." just as java.exe would be.
    EXPECT_EQ(jvmHome(), lower(at("good")) + "\\bin\\..");
}

TEST_F(JvmLoadTest, LibraryWithoutEntryPointShowsDamagedAndStartFailed) {
    RuntimeLayout layout;
    layout.jvm = Jvm::NoEntry;
    makeRuntime(at("noentry"), layout);
    useConfig({{cfg::JRE_SEARCH_SEQUENCE, "B" + at("noentry")},
               {cfg::MSG_JVM_DAMAGED_32, "damaged32 {0}"},
               {cfg::MSG_JVM_DAMAGED_64, "damaged64 {0}"},
               {cfg::MSG_VM_NOT_STARTED, "not started"}});
    setGuiMessages(false);
    EXPECT_EXIT(
        {
            bool loaded = LoadDLL(true);
            ExitProcess(loaded ? 1 : 7);
        },
        ::testing::ExitedWithCode(7), "^damaged64 .*\\\\noentry\nnot started\n$");
    setGuiMessages(true);
}

class PackedJreTest : public JreTest {
protected:
    std::string home_ = lower(at("packed"));
    void SetUp() override {
        JreTest::SetUp();
        makeRuntime(home_);
        CreateDirectoryA((home_ + "\\lib").c_str(), nullptr);
        CreateDirectoryA((home_ + "\\lib\\ext").c_str(), nullptr);
    }
    bool exists(const std::string& relative) const { return wintest::isFile(narrowToWide(home_ + "\\" + relative)); }
};

TEST_F(PackedJreTest, RestoresMissingJarsAndDeletesTheirPackedFiles) {
    writeText(home_ + "\\lib\\rt.jar.pack", "packed");
    writeText(home_ + "\\lib\\ext\\a.jar.pack", "packed");
    writeText(home_ + "\\lib\\b.jar.pack", "packed");
    writeText(home_ + "\\lib\\b.jar", "already there");
    prepareJre(home_);

    EXPECT_TRUE(exists("lib\\rt.jar"));
    EXPECT_FALSE(exists("lib\\rt.jar.pack"));
    EXPECT_TRUE(exists("lib\\ext\\a.jar"));
    EXPECT_FALSE(exists("lib\\ext\\a.jar.pack"));
    EXPECT_TRUE(exists("lib\\b.jar.pack"));  // its jar exists: untouched
    std::string jar;
    ASSERT_TRUE(wintest::readFile(narrowToWide(home_ + "\\lib\\b.jar"), jar));
    EXPECT_EQ(jar, "already there");

    std::vector<std::string> lines = runs(home_ + "\\bin");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "unpack200 -r \"" + home_ + "\\lib\\rt.jar.pack\" \"" + home_ + "\\lib\\rt.jar\"");
    EXPECT_EQ(lines[1], "unpack200 -r \"" + home_ + "\\lib\\ext\\a.jar.pack\" \"" + home_ + "\\lib\\ext\\a.jar\"");

    prepareJre(home_);  // nothing left to do
    EXPECT_EQ(runs(home_ + "\\bin").size(), 2u);
}

TEST_F(PackedJreTest, MissingUnpackerIsInternalError20) {
    DeleteFileA((home_ + "\\bin\\unpack200.exe").c_str());
    writeText(home_ + "\\lib\\rt.jar.pack", "packed");
    useConfig({{cfg::MSG_INTERNAL_ERROR, "Internal error {0} occurred"}});
    setGuiMessages(false);
    EXPECT_EXIT(prepareJre(home_), ::testing::ExitedWithCode(1), "Internal error 20 occurred");
    setGuiMessages(true);
}

TEST_F(PackedJreTest, MissingPackedFileIsLeftAlone) {
    unpackJar(home_, home_ + "\\lib\\gone.jar.pack");
    EXPECT_TRUE(runs(home_ + "\\bin").empty());
    EXPECT_FALSE(exists("lib\\gone.jar"));
}

}  // namespace
