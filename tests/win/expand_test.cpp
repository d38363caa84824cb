#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "diag/CodePage.h"
#include "diag/TempDir.h"
#include "jre/JvmHome.h"
#include "windows/VariableExpander.h"

using namespace marlo;
using namespace marlo::wintest;

namespace {

class ExpandTest : public ::testing::Test {
protected:
    EnvGuard env_{{u"TMP", u"TEMP", u"MARLO_T_VAR", u"Marlo_Mixed", u"MARLO_LONG"}};
    ScratchDir scratch_;
    void SetUp() override {
        bool lossy = false;
        wideToNarrow(moduleDirW(), &lossy);
        if (lossy) GTEST_SKIP() << "the build folder has no lossless narrow name";
        setEnv(u"TMP", scratch_.pathW());
        setEnv(u"TEMP", scratch_.pathW());
        launcherTempDir() = "C:\\lt\\brn1.tmp_dir5";
        jvmHome() = "C:\\jre\\bin\\..";
    }
    void TearDown() override {
        launcherTempDir().clear();
        jvmHome().clear();
    }
};

TEST_F(ExpandTest, WideWithTheProcessValues) {
    setEnv(u"MARLO_T_VAR", u"v1");
    setEnv(u"Marlo_Mixed", u"m");
    std::u16string text =
        u"${KAVORA_EXEDIR}x.dll;${MARLO_T_VAR};${marlo_t_var};%BRENN_TEMPDIR%;${launcher:sys.jvmHome};"
        u"${launcher:sys.tempDir}|${Marlo_Mixed}${MARLO_MIXED}${marlo_mixed}";
    expandVariables(text, false);
    EXPECT_EQ(text, moduleDirW() + u"x.dll;v1;${marlo_t_var};C:\\lt\\brn1.tmp_dir5;C:\\jre\\bin\\..;" +
                        scratch_.pathW() + u"\\|mm${marlo_mixed}");
}

TEST_F(ExpandTest, AnsiSafeUsesTheNarrowForms) {
    jvmHome() = "C:\\J\xE9";
    std::u16string text = u"%BRENN_EXEDIR%|${launcher:sys.tempDir}|${BRENN_JVM_HOME}";
    expandVariables(text, true);
    // Narrow values are widened byte for unit.
    EXPECT_EQ(text, narrowToWide(moduleDirA()) + u"|" + narrowToWide(scratch_.pathA()) + u"\\|C:\\J\u00E9");
}

TEST_F(ExpandTest, NarrowWithTheProcessValues) {
    setEnv(u"MARLO_T_VAR", u"v1");
    std::string text = "${BRENN_EXEDIR}a;${MARLO_T_VAR};${KAVORA_TEMPDIR};%KAVORA_JVM_HOME%;${launcher:sys.tempDir}";
    expandVariablesNarrow(text);
    EXPECT_EQ(text, moduleDirA() + "a;v1;C:\\lt\\brn1.tmp_dir5;C:\\jre\\bin\\..;" + scratch_.pathA() + "\\");
}

TEST_F(ExpandTest, ResultIsNeverCut) {
    const std::u16string value(5000, u'v');
    setEnv(u"MARLO_LONG", value);
    std::u16string text = u"${MARLO_LONG}|${MARLO_LONG}";
    expandVariables(text, false);
    EXPECT_EQ(text, value + u"|" + value);
    std::string narrow = "${MARLO_LONG}${MARLO_LONG}${MARLO_LONG}";
    expandVariablesNarrow(narrow);
    EXPECT_EQ(narrow, std::string(15000, 'v'));
}

}  // namespace
