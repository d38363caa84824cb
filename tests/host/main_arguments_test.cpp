#include <gtest/gtest.h>

#include "windows/MainArguments.h"

using namespace marlo;

namespace {

using Strings = std::vector<std::u16string>;

TEST(MainArguments, BareStartGivesSixElements) {
    ArgVector args{u"C:\\App\\app.exe"};
    MainArgumentsInput input;
    input.guiType = true;
    input.mainClass = u"com.example.Main";
    input.args = &args;
    EXPECT_EQ(buildMainArguments(input),
              (Strings{u"true", u"com.example.Main", u"", u"", u"false", u"C:\\App\\app.exe"}));
}

TEST(MainArguments, ConfiguredThenUserArgumentsInOrder) {
    ArgVector args{u"app.exe", u"doc one.txt", u"-Jx", u"-Dsun.locale.formatasdefault=true", u"-q"};
    MainArgumentsInput input;
    input.mainClass = u"M";
    input.stderrFile = u"C:\\logs\\err.txt";
    input.stdoutFile = u"$OUT";
    input.launcherClassFlag = true;
    input.args = &args;
    input.appArguments = u"-a 'b c' \"d\"";
    EXPECT_EQ(buildMainArguments(input), (Strings{u"false", u"M", u"C:\\logs\\err.txt", u"$OUT", u"true", u"app.exe",
                                                  u"-a", u"b c", u"d", u"doc one.txt", u"-Jx", u"-q"}));
    input.jArgsAsVmOptions = true;
    Strings withJ = buildMainArguments(input);
    EXPECT_EQ(Strings(withJ.begin() + 9, withJ.end()), (Strings{u"doc one.txt", u"-q"}));
}

TEST(MainArguments, ElementZeroIsNeverFiltered) {
    // Only elements from index 1 are user arguments; the program path always leads them.
    ArgVector args{u"-Jodd.exe", u"-Jy"};
    MainArgumentsInput input;
    input.args = &args;
    input.jArgsAsVmOptions = true;
    Strings out = buildMainArguments(input);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[5], u"-Jodd.exe");
    ArgVector none;
    input.args = &none;
    EXPECT_EQ(buildMainArguments(input).size(), 5u);
}

}  // namespace
