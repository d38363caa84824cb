// marlo-pack.exe, the packing tool built for Windows, under Wine: packing and dumping give the same
// bytes as the Linux tool, for the example application and for one with included files.
#include <filesystem>

#include <gtest/gtest.h>

#include "Harness.h"

namespace marlo::e2e {
namespace {

namespace fs = std::filesystem;

class PackToolOnWindows : public E2eTest {
protected:
    std::string windowsTool() const { return binDir() + "/marlo-pack.exe"; }

    // The Linux tool's and the Windows tool's run of the same command in the test's folder; each
    // names its own output files through {out}.
    void expectSameResult(const std::vector<std::string>& args, const std::vector<std::string>& outputs) {
        auto with = [&](const std::string& tag, bool windows) {
            std::vector<std::string> out;
            for (const std::string& a : args) {
                std::string arg = a;
                size_t at = arg.find("{out}");
                if (at != std::string::npos) arg.replace(at, 5, tag);
                if (windows && !arg.empty() && arg[0] == '/') arg = toWinPath(arg);
                out.push_back(arg);
            }
            return out;
        };
        std::vector<std::string> linuxArgs = with("linux", false);
        linuxArgs.insert(linuxArgs.begin(), packTool());
        ProcessResult onLinux = runHost(linuxArgs);
        ProcessResult onWindows = runWine(windowsTool(), with("windows", true));
        ASSERT_EQ(onLinux.exitCode, 0) << onLinux.describe();
        ASSERT_EQ(onWindows.exitCode, 0) << onWindows.describe();
        EXPECT_EQ(onWindows.out, onLinux.out);
        for (const std::string& output : outputs) {
            std::string linuxFile = output, windowsFile = output;
            linuxFile.replace(linuxFile.find("{out}"), 5, "linux");
            windowsFile.replace(windowsFile.find("{out}"), 5, "windows");
            const std::string a = readFile(path(linuxFile));
            const std::string b = readFile(path(windowsFile));
            EXPECT_FALSE(a.empty()) << linuxFile;
            EXPECT_TRUE(a == b) << linuxFile << " and " << windowsFile << " differ";
        }
    }
};

TEST_F(PackToolOnWindows, PacksAndDumpsTheExampleAsTheLinuxToolDoes) {
    fs::copy_file(fs::path(MARLO_E2E_SOURCE_DIR) / "examples/hello/hello.toml", path("hello.toml"));
    // The same output name in two folders: the version information names the file.
    fs::create_directories(path("linux"));
    fs::create_directories(path("windows"));
    ASSERT_NO_FATAL_FAILURE(expectSameResult({"pack", path("hello.toml"), "-o", path("{out}/hello.exe"),
                                              "--launcher-dir", binDir()},
                                             {"{out}/hello.exe"}));
    // Each tool dumps both executables: four identical descriptions.
    for (const char* exe : {"linux/hello.exe", "windows/hello.exe"})
        ASSERT_NO_FATAL_FAILURE(expectSameResult({"dump", path(exe)}, {}));
}

TEST_F(PackToolOnWindows, PacksAndDumpsIncludedFilesAsTheLinuxToolDoes) {
    std::string blob;
    for (int i = 0; i < 70000; ++i) blob += static_cast<char>((i * 7919) >> 3);
    fs::create_directories(path("data"));
    write("data/blob.bin", blob);
    write("data/a.txt", "text\r\n");
    write("app.toml",
          "launcher = \"marlo\"\narch = \"x64\"\n[config]\nMAIN_CLASS = \"a.B\"\nAPPLICATION_NAME = \"Caf\\u00e9\"\n"
          "[wide]\nMSG_TITLE = \"Fehler \\u2713\"\n"
          "[[files]]\nname = \"lib\\\\blob.bin\"\nsource = \"data/blob.bin\"\n"
          "[[files]]\nname = \"a.txt\"\nsource = \"data/a.txt\"\n");
    ASSERT_NO_FATAL_FAILURE(expectSameResult({"pack", path("app.toml"), "-o", path("{out}.exe"), "--launcher-dir",
                                              binDir()},
                                             {"{out}.exe"}));
    ASSERT_NO_FATAL_FAILURE(expectSameResult({"dump", path("linux.exe"), "--files-dir", path("{out}-files"), "-o",
                                              path("{out}-files/app.toml")},
                                             {"{out}-files/app.toml", "{out}-files/lib/blob.bin", "{out}-files/a.txt"}));
    EXPECT_EQ(readFile(path("windows-files/lib/blob.bin")), blob);
}

}  // namespace
}  // namespace marlo::e2e
