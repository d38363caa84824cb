// Included files and the native library directories, through the packed x64 launcher and the
// stand-in runtime: what lands in the launcher's temporary directory, what the Java side is told
// ("brenn.tempDir", "brenn.unextractedPosition", "java.library.path"), and the failures.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"
#include "StandInRun.h"
#include "config/ConfigBlock.h"
#include "config/ConfigIds.h"

namespace marlo::e2e {
namespace {

using namespace standin;

// Bytes that differ from file to file and from position to position.
std::string pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

class IncludedFilesTest : public StandInTest {
protected:
    // The launcher's temporary directories in the prefix ("brn....tmp_dir..."), to see that none
    // is left behind.
    std::set<std::string> launcherTempDirs() const {
        std::set<std::string> found;
        std::error_code error;
        const fs::path users = fs::path(WineSession::get().prefix()) / "drive_c" / "users";
        for (fs::recursive_directory_iterator it(users, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (it->is_directory() && name.rfind("brn", 0) == 0 && name.find(".tmp_dir") != std::string::npos)
                found.insert(it->path().string());
        }
        return found;
    }

    // A launcher with a block made here, for what the packing tool refuses to write. The texts
    // go to standard error (EXECUTABLE_TYPE 2).
    std::string handMade(const std::string& name, int count, const std::string& names,
                         const std::vector<IncludedFile>& files, std::string* image = nullptr) {
        BlockContents contents;
        contents.narrow = {{cfg::EXECUTABLE_TYPE, "2"},
                           {cfg::MAIN_CLASS, kMainClass},
                           {cfg::MIN_JAVA_VERSION, "1.8"},
                           {cfg::JRE_SEARCH_SEQUENCE, "Rjre"},
                           {cfg::MSG_INTERNAL_ERROR, "Internal error {0}"},
                           {cfg::LAUNCHER_FLAVOR, "e"},
                           {cfg::INCLUDED_FILE_COUNT, std::to_string(count)},
                           {cfg::INCLUDED_FILES, names}};
        std::string bytes = readFile(launcherPath("marlo64.exe")) + writeConfigBlock(contents, files);
        if (image) *image = bytes;
        return write(name, bytes);
    }

    static std::string property(const Start& s, const std::string& name) {
        const std::string prefix = "-D" + name + "=";
        for (const std::string& option : s.options())
            if (startsWith(option, prefix)) return option.substr(prefix.size());
        return "<missing>";
    }
};

TEST_F(IncludedFilesTest, ArriveByteForByteUnderTheirNames) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.bin", pattern(6000, 1)},      // one read
        {"lib\\b.bin", pattern(6001, 2)}, // two reads
        {"lib\\c.txt", "three"},          // the same directory a second time
        {"empty.bin", ""},                // size 0: not created
    };
    std::string toml = "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 2\nMAIN_CLASS = \"" +
                       std::string(kMainClass) + "\"\nMIN_JAVA_VERSION = \"1.8\"\nJRE_SEARCH_SEQUENCE = [\"Rjre\"]\n";
    for (size_t i = 0; i < files.size(); ++i) {
        write("source" + std::to_string(i), files[i].second);
        std::string name = files[i].first;
        std::string escaped;
        for (char c : name) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        toml += "[[files]]\nname = \"" + escaped + "\"\nsource = \"source" + std::to_string(i) + "\"\n";
    }
    std::string exe = pack("app", toml);
    ASSERT_FALSE(exe.empty());

    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    const std::string tempDir = property(s, "brenn.tempDir");
    ASSERT_FALSE(tempDir.empty()) << s.describe();
    const std::string local = fromWinPath(tempDir);
    for (const auto& [name, content] : files) {
        std::string relative = name;
        for (char& c : relative)
            if (c == '\\') c = '/';
        if (content.empty()) {
            EXPECT_FALSE(fs::exists(local + "/" + relative)) << name;
        } else {
            EXPECT_EQ(readFile(local + "/" + relative), content) << name;
        }
    }
    // A normal end leaves the directory to the Java side.
    EXPECT_TRUE(fs::is_directory(local));

    // The position after the last content: where the block's data of included files begins, plus a
    // size field for every file and the bytes of every file with content.
    BlockContents contents;
    uint32_t blockStart = 0;
    ASSERT_EQ(readBlockFromImage(readFile(exe), contents, &blockStart), BlockError::None);
    size_t expected = contents.includedDataOffset;
    for (const auto& file : files) expected += 8 + file.second.size();
    EXPECT_EQ(property(s, "brenn.unextractedPosition"), std::to_string(expected));
    std::error_code ignored;
    fs::remove_all(local, ignored);
}

TEST_F(IncludedFilesTest, CountZeroWithNamesCreatesNothing) {
    const std::set<std::string> before = launcherTempDirs();
    std::string exe = handMade("app.exe", 0, "a.bin;lib\\b.bin", {{"a.bin", "A"}, {"lib\\b.bin", "B"}});
    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_EQ(property(s, "brenn.tempDir"), "");
    EXPECT_EQ(property(s, "brenn.unextractedPosition"), "0");
    EXPECT_EQ(launcherTempDirs(), before);
}

// Only the first directory level is created, so the file of a deeper name cannot be: error 1009
// "11". The exit removes the temporary directory.
TEST_F(IncludedFilesTest, NameWithTwoDirectoryLevelsEndsInError11) {
    const std::set<std::string> before = launcherTempDirs();
    std::string exe = handMade("app.exe", 2, "ok.bin;a\\b\\c.bin", {{"ok.bin", "fine"}, {"a\\b\\c.bin", "deep"}});
    Start s = start(exe, {});
    EXPECT_EQ(s.run.exitCode, 1) << s.describe();
    EXPECT_EQ(s.run.err, "Internal error 11\n") << s.describe();
    EXPECT_EQ(s.event("create"), nullptr);
    EXPECT_EQ(launcherTempDirs(), before);
}

// A name that would leave the directory is not written anywhere: error 1009 "11" as for a file
// that cannot be created.
TEST_F(IncludedFilesTest, NameLeavingTheDirectoryEndsInError11) {
    const std::set<std::string> before = launcherTempDirs();
    std::string exe = handMade("app.exe", 1, "..\\escape.bin", {{"..\\escape.bin", "out"}});
    Start s = start(exe, {});
    EXPECT_EQ(s.run.exitCode, 1) << s.describe();
    EXPECT_EQ(s.run.err, "Internal error 11\n") << s.describe();
    EXPECT_EQ(launcherTempDirs(), before);
    std::error_code error;
    const fs::path users = fs::path(WineSession::get().prefix()) / "drive_c" / "users";
    for (fs::recursive_directory_iterator it(users, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error))
        EXPECT_NE(it->path().filename().string(), "escape.bin") << it->path();
}

// The second file's size says a terabyte, far past the end of the executable: the copy ends at the
// end of the file with error 1009 "16", reading in small pieces, and the directory with the first
// file goes.
TEST_F(IncludedFilesTest, DataCutShortEndsInError16AndRemovesTheDirectory) {
    const std::set<std::string> before = launcherTempDirs();
    std::string image;
    handMade("app.exe", 2, "first.bin;big.bin", {{"first.bin", pattern(100, 3)}, {"big.bin", "tiny"}}, &image);
    BlockContents contents;
    uint32_t blockStart = 0;
    ASSERT_EQ(readBlockFromImage(image, contents, &blockStart), BlockError::None);
    const size_t sizeField = contents.includedDataOffset + 8 + 100;
    const uint64_t huge = 1ull << 40;
    for (int i = 0; i < 8; ++i) image[sizeField + i] = static_cast<char>((huge >> (8 * i)) & 0xFF);
    std::string exe = write("app.exe", image);

    Start s = start(exe, {});
    EXPECT_EQ(s.run.exitCode, 1) << s.describe();
    EXPECT_EQ(s.run.err, "Internal error 16\n") << s.describe();
    EXPECT_EQ(s.event("create"), nullptr);
    EXPECT_EQ(launcherTempDirs(), before);
}

// ---------------------------------------------------------------------------------------------
// Native library directories (configuration id 10004)

TEST_F(IncludedFilesTest, NativeLibraryDirectoriesComeFirstInPath) {
    std::string plain = app(2, "");
    ASSERT_FALSE(plain.empty());
    Start without = start(plain, {});
    ASSERT_EQ(without.run.exitCode, 0) << without.describe();

    std::string exe = app(2, "NATIVE_LIBRARY_DIRS = \"lib;..\\\\common\"\n");
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {});
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    const std::string here = toWinPath(dir());
    // Relative to the executable's folder, the ".." kept, then PATH as it was.
    EXPECT_EQ(property(s, "java.library.path"),
              here + "\\lib;" + here + "\\..\\common;" + property(without, "java.library.path"));

    std::string empty = app(2, "NATIVE_LIBRARY_DIRS = \"\"\n", "empty");
    ASSERT_FALSE(empty.empty());
    Start unchanged = start(empty, {});
    EXPECT_EQ(property(unchanged, "java.library.path"), property(without, "java.library.path"));
}

// Directories that expand to more than the 48000 bytes PATH may take: the value is cut at the last
// whole entry below the limit.
TEST_F(IncludedFilesTest, PathThatDoesNotFitIsShortenedAtWholeEntries) {
    const std::string big1 = "C:\\" + std::string(29990, 'a');
    const std::string big2 = "C:\\" + std::string(29990, 'b');
    std::string exe = app(2, "NATIVE_LIBRARY_DIRS = \"${MARLO_T_BIG1};${MARLO_T_BIG2}\"\n");
    ASSERT_FALSE(exe.empty());
    const std::set<std::string> logsBefore = diagnosticLogFiles(dir());
    Start s = start(exe, {}, "", {{"MARLO_T_BIG1", big1}, {"MARLO_T_BIG2", big2}, {"BRENN_LOG", "yes"}});
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
    const std::string log = takeNewLogs(logsBefore, dir());
    const std::string marker = "\r\nSetting PATH (native libs) ";
    size_t at = log.find(marker);
    ASSERT_NE(at, std::string::npos) << log.substr(0, 2000);
    const std::string value = log.substr(at + marker.size(), log.find("\r\n", at + 2) - at - marker.size());
    // The second directory does not fit, so the value ends after the first (PATH's old entries
    // came after it).
    EXPECT_EQ(value, big1);
    EXPECT_NE(log.find("\r\nPATH shortened to "), std::string::npos);
}

}  // namespace
}  // namespace marlo::e2e
