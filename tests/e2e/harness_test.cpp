// The harness's own conversions, checked against the files the prefix really holds.
#include <filesystem>

#include <gtest/gtest.h>

#include "Harness.h"

namespace marlo::e2e {
namespace {

using HarnessTest = E2eTest;

TEST_F(HarnessTest, WindowsPathsNameTheSameFiles) {
    std::string file = write("some file.txt", "x");
    std::string win = toWinPath(file);
    EXPECT_EQ(win.rfind("Z:\\", 0), 0u) << win;
    EXPECT_EQ(win.find('/'), std::string::npos) << win;
    EXPECT_EQ(fromWinPath(win), file);
    // Drive C: is the prefix's own drive_c, whatever the case of the letter.
    EXPECT_TRUE(std::filesystem::is_directory(fromWinPath("c:\\windows\\system32")));
    EXPECT_EQ(fromWinPath("C:\\"), std::filesystem::canonical(WineSession::get().prefix() + "/drive_c").string());
    EXPECT_EQ(fromWinPath("relative\\path"), "");
}

}  // namespace
}  // namespace marlo::e2e
