// PATH with the native library directories in front, within its 48000-byte limit.
#include <gtest/gtest.h>

#include "system/NativeLibraryPath.h"

using namespace marlo;

namespace {

struct ComposeCase {
    const char* name;
    std::string resolved;
    std::string oldPath;
    size_t limit;
    std::string expected;
    bool shortened;
};

class ComposeNativeLibraryPath : public ::testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeNativeLibraryPath, Value) {
    const ComposeCase& c = GetParam();
    bool shortened = !c.shortened;
    const std::string value = composeNativeLibraryPath(c.resolved, c.oldPath, c.limit, &shortened);
    EXPECT_EQ(value, c.expected);
    EXPECT_EQ(shortened, c.shortened);
    EXPECT_LT(value.size(), c.limit);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComposeNativeLibraryPath,
    ::testing::Values(
        ComposeCase{"DirectoriesThenOldPath", "C:\\App\\lib;C:\\App\\..\\common", "C:\\W;C:\\W\\S", 100,
                    "C:\\App\\lib;C:\\App\\..\\common;C:\\W;C:\\W\\S", false},
        ComposeCase{"SeparatorNotDoubled", "C:\\A;", "C:\\W", 100, "C:\\A;C:\\W", false},
        ComposeCase{"NoDirectoriesOldPathUnchanged", "", "C:\\W;C:\\W\\S", 100, "C:\\W;C:\\W\\S", false},
        // 22 bytes against a limit of 21: the old PATH's last entry goes, whole.
        ComposeCase{"OldPathLosesWholeEntriesAtItsEnd", "C:\\App\\lib", "C:\\W1;C:\\W2", 21, "C:\\App\\lib;C:\\W1",
                    true},
        ComposeCase{"NothingOfTheOldPathFits", "C:\\App\\lib", "C:\\Windows", 14, "C:\\App\\lib", true},
        ComposeCase{"DirectoriesAloneTooLong", "C:\\D1;C:\\D2;C:\\D3", "C:\\W", 12, "C:\\D1;C:\\D2", true},
        ComposeCase{"FirstDirectoryLongerThanTheLimit", std::string(30, 'x'), "C:\\W", 10, "C:\\W", true},
        ComposeCase{"ExactlyBelowTheLimit", "C:\\A", "C:\\W", 10, "C:\\A;C:\\W", false},
        ComposeCase{"AtTheLimit", "C:\\A", "C:\\WW", 10, "C:\\A", true}),
    [](const ::testing::TestParamInfo<ComposeCase>& p) { return std::string(p.param.name); });

}  // namespace
