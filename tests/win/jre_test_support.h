// Fixtures of the runtime tests: stand-in runtimes (copied from bin\runtime beside the test
// program) laid out in scratch folders, the configuration as a block, and registry clean-up.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "WinTestUtil.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"

namespace marlo::jretest {

inline std::string standInDir() { return wintest::moduleDirA() + "runtime\\"; }

enum class Jvm { Good, NoEntry, Garbage, None };

struct RuntimeLayout {
    std::string firstLine = "java version \"1.8.0_60\"";
    int exitCode = 0;
    int delayMs = 0;
    bool javaw = true;
    Jvm jvm = Jvm::Good;
    const char* vmFolder = "client";
    bool jdk = false;  // home\bin\java.exe with the VM in home\jre\bin, and lib\tools.jar
};

inline bool copyStandIn(const char* name, const std::string& to) {
    return CopyFileA((standInDir() + name).c_str(), to.c_str(), FALSE) != 0;
}

inline void writeText(const std::string& path, const std::string& text) {
    wintest::writeFile(narrowToWide(path), text);
}

inline void writeBehaviour(const std::string& binFolder, const RuntimeLayout& layout) {
    writeText(binFolder + "\\stand-in.cfg", "first_line=" + layout.firstLine + "\r\nexit_code=" +
                                                std::to_string(layout.exitCode) +
                                                "\r\ndelay_ms=" + std::to_string(layout.delayMs) + "\r\n");
}

// A runtime home: bin\java.exe (+ javaw.exe, unpack200.exe, stand-in.cfg) and the VM library in
// bin\<vmFolder>\jvm.dll, or for a JDK in jre\bin\<vmFolder>\jvm.dll with lib\tools.jar.
inline void makeRuntime(const std::string& home, const RuntimeLayout& layout = RuntimeLayout()) {
    auto dir = [](const std::string& p) { CreateDirectoryA(p.c_str(), nullptr); };
    dir(home);
    const std::string bin = home + "\\bin";
    dir(bin);
    ASSERT_TRUE(copyStandIn("java.exe", bin + "\\java.exe")) << standInDir();
    if (layout.javaw) {
        ASSERT_TRUE(copyStandIn("java.exe", bin + "\\javaw.exe"));
    }
    ASSERT_TRUE(copyStandIn("unpack200.exe", bin + "\\unpack200.exe"));
    writeBehaviour(bin, layout);
    std::string vmBin = bin;
    if (layout.jdk) {
        dir(home + "\\lib");
        writeText(home + "\\lib\\tools.jar", "PK");
        dir(home + "\\jre");
        vmBin = home + "\\jre\\bin";
        dir(vmBin);
    }
    if (layout.jvm == Jvm::None) return;
    const std::string vmDir = vmBin + "\\" + layout.vmFolder;
    dir(vmDir);
    const char* library = layout.jvm == Jvm::Good ? "jvm.dll" : "jvm_noentry.dll";
    if (layout.jvm != Jvm::Garbage) {
        ASSERT_TRUE(copyStandIn(library, vmDir + "\\jvm.dll"));
    }
    if (layout.jvm == Jvm::Garbage) writeText(vmDir + "\\jvm.dll", "not a library");
}

// Lines in runs.log of a stand-in folder (one per run of its programs).
inline std::vector<std::string> runs(const std::string& binFolder) {
    std::vector<std::string> lines;
    std::string bytes;
    if (!wintest::readFile(narrowToWide(binFolder + "\\runs.log"), bytes)) return lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

inline std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Loads narrow records as the process's configuration.
inline void useConfig(const std::vector<std::pair<ConfigId, std::string>>& records) {
    BlockContents contents;
    contents.narrow = records;
    launcherConfig().load(contents, "en");
}

// Keys the tests write; removed before and after each test.
inline void clearRegistry() {
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const char* key : {"SOFTWARE\\orvane\\brenn\\jvms", "SOFTWARE\\orvane\\brenn\\locatedjvms",
                                "SOFTWARE\\orvane\\kavora\\installations"})
            RegDeleteTreeA(hive, key);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
}

inline void setRegistryString(HKEY hive, const std::string& key, const char* name, const std::string& value) {
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(hive, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS)
        << key;
    if (name)
        RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
}

// A recorded runtime: a subkey named by the executable's path with '/' for '\'.
inline void recordRuntime(HKEY hive, std::string javaExecutable) {
    for (char& c : javaExecutable)
        if (c == '\\') c = '/';
    setRegistryString(hive, "SOFTWARE\\orvane\\brenn\\locatedjvms\\" + javaExecutable, nullptr, "");
}

class JreTest : public ::testing::Test {
protected:
    wintest::ScratchDir scratch_;
    wintest::EnvGuard env_{{u"PATH", u"BRENN_JAVA_HOME", u"KAVORA_JAVA_HOME", u"MARLO_T_HOME", u"MARLO_T_DIR"}};
    std::string root_ = scratch_.pathA();

    void SetUp() override {
        launcherConfig().clear();
        clearRegistry();
        SetEnvironmentVariableA("BRENN_JAVA_HOME", nullptr);
        SetEnvironmentVariableA("KAVORA_JAVA_HOME", nullptr);
    }
    void TearDown() override {
        launcherConfig().clear();
        clearRegistry();
    }
    std::string at(const std::string& name) const { return root_ + "\\" + name; }
};

}  // namespace marlo::jretest
