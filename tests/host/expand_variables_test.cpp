#include <gtest/gtest.h>

#include <algorithm>

#include "TestLog.h"
#include "common/Text.h"
#include "windows/VariableExpander.h"

using namespace marlo;
using marlo::test::CapturedLog;

namespace {

// An environment block: entries separated by NUL, ending with an empty entry.
std::u16string wideBlock(std::initializer_list<const char16_t*> entries) {
    std::u16string block;
    for (const char16_t* entry : entries) {
        block += entry;
        block.push_back(u'\0');
    }
    block.push_back(u'\0');
    return block;
}

std::string narrowBlock(std::initializer_list<const char*> entries) {
    std::string block;
    for (const char* entry : entries) {
        block += entry;
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

WideExpansionValues wideValues() {
    WideExpansionValues v;
    v.launcherDir = u"C:\\App\\";
    v.launcherTempDir = "C:\\T\\brn1.tmp_dir9";
    v.jvmHome = "C:\\jre\\bin\\..";
    v.systemTempDir = u"C:\\Temp\\";
    return v;
}

NarrowExpansionValues narrowValues() {
    NarrowExpansionValues v;
    v.launcherDir = "C:\\App\\";
    v.launcherTempDir = "C:\\T\\brn1.tmp_dir9";
    v.jvmHome = "C:\\jre\\bin\\..";
    v.systemTempDir = "C:\\Temp\\";
    return v;
}

TEST(ExpansionPlaceholders, FixedListInOrder) {
    const struct {
        const char* text;
        PlaceholderValue value;
    } expected[] = {
        {"%BRENN_EXEDIR%", PlaceholderValue::LauncherDir},
        {"%KAVORA_EXEDIR%", PlaceholderValue::LauncherDir},
        {"%BRENN_TEMPDIR%", PlaceholderValue::LauncherTempDir},
        {"%KAVORA_TEMPDIR%", PlaceholderValue::LauncherTempDir},
        {"%BRENN_PATHLIST_SEPARATOR%", PlaceholderValue::PathListSeparator},
        {"%KAVORA_PATHLIST_SEPARATOR%", PlaceholderValue::PathListSeparator},
        {"%BRENN_JVM_HOME%", PlaceholderValue::JvmHome},
        {"%KAVORA_JVM_HOME%", PlaceholderValue::JvmHome},
        {"${BRENN_EXEDIR}", PlaceholderValue::LauncherDir},
        {"${KAVORA_EXEDIR}", PlaceholderValue::LauncherDir},
        {"${BRENN_TEMPDIR}", PlaceholderValue::LauncherTempDir},
        {"${KAVORA_TEMPDIR}", PlaceholderValue::LauncherTempDir},
        {"${BRENN_PATHLIST_SEPARATOR}", PlaceholderValue::PathListSeparator},
        {"${KAVORA_PATHLIST_SEPARATOR}", PlaceholderValue::PathListSeparator},
        {"${BRENN_JVM_HOME}", PlaceholderValue::JvmHome},
        {"${KAVORA_JVM_HOME}", PlaceholderValue::JvmHome},
        {"${launcher:sys.launcherDirectory}", PlaceholderValue::LauncherDir},
        {"${launcher:sys.launcherTempDirectory}", PlaceholderValue::LauncherTempDir},
        {"${launcher:sys.pathlistSeparator}", PlaceholderValue::PathListSeparator},
        {"${launcher:sys.jvmHome}", PlaceholderValue::JvmHome},
        {"${launcher:sys.tempDir}", PlaceholderValue::SystemTempDir},
    };
    size_t count = 0;
    const Placeholder* list = expansionPlaceholders(&count);
    ASSERT_EQ(count, sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_STREQ(list[i].text, expected[i].text) << i;
        EXPECT_EQ(list[i].value, expected[i].value) << list[i].text;
    }
}

TEST(ExpandWithValues, EveryPlaceholderGetsItsValueInBothWidths) {
    const char* const inputs[] = {
        "%BRENN_EXEDIR%|%KAVORA_EXEDIR%|${BRENN_EXEDIR}|${KAVORA_EXEDIR}|${launcher:sys.launcherDirectory}",
        "%BRENN_TEMPDIR%|%KAVORA_TEMPDIR%|${BRENN_TEMPDIR}|${KAVORA_TEMPDIR}|${launcher:sys.launcherTempDirectory}",
        "%BRENN_PATHLIST_SEPARATOR%|%KAVORA_PATHLIST_SEPARATOR%|${BRENN_PATHLIST_SEPARATOR}|"
        "${KAVORA_PATHLIST_SEPARATOR}|${launcher:sys.pathlistSeparator}",
        "%BRENN_JVM_HOME%|%KAVORA_JVM_HOME%|${BRENN_JVM_HOME}|${KAVORA_JVM_HOME}|${launcher:sys.jvmHome}",
        "${launcher:sys.tempDir}",
    };
    const char* const outputs[] = {
        "C:\\App\\|C:\\App\\|C:\\App\\|C:\\App\\|C:\\App\\",
        "C:\\T\\brn1.tmp_dir9|C:\\T\\brn1.tmp_dir9|C:\\T\\brn1.tmp_dir9|C:\\T\\brn1.tmp_dir9|C:\\T\\brn1.tmp_dir9",
        ";|;|;|;|;",
        "C:\\jre\\bin\\..|C:\\jre\\bin\\..|C:\\jre\\bin\\..|C:\\jre\\bin\\..|C:\\jre\\bin\\..",
        "C:\\Temp\\",
    };
    for (size_t i = 0; i < 5; ++i) {
        std::u16string wide = widenLatin1(inputs[i]);
        expandWithValues(wide, wideValues(), nullptr);
        EXPECT_EQ(wide, widenLatin1(outputs[i]));
        std::string narrow = inputs[i];
        expandWithValues(narrow, narrowValues(), nullptr);
        EXPECT_EQ(narrow, outputs[i]);
    }
}

TEST(ExpandWithValues, InsertedValuesMeetOnlyTheRowsThatFollow) {
    struct {
        const char* tempDir;
        const char* result;
    } cases[] = {
        {"${BRENN_EXEDIR}t", "C:\\App\\t"},         // row 9 runs after row 3
        {"%BRENN_EXEDIR%t", "%BRENN_EXEDIR%t"},      // row 1 ran before row 3
        {"${launcher:sys.tempDir}", "C:\\Temp\\"},  // the last row
        {"%BRENN_TEMPDIR%", "%BRENN_TEMPDIR%"},      // not searched again by its own row
    };
    for (const auto& c : cases) {
        WideExpansionValues wide = wideValues();
        wide.launcherTempDir = c.tempDir;
        std::u16string text = u"%BRENN_TEMPDIR%";
        expandWithValues(text, wide, nullptr);
        EXPECT_EQ(text, widenLatin1(c.result)) << c.tempDir;

        NarrowExpansionValues narrow = narrowValues();
        narrow.launcherTempDir = c.tempDir;
        std::string narrowText = "%BRENN_TEMPDIR%";
        expandWithValues(narrowText, narrow, nullptr);
        EXPECT_EQ(narrowText, c.result) << c.tempDir;
    }
}

TEST(ExpandWithValues, TextWithoutPlaceholdersIsUntouchedAndUnlogged) {
    CapturedLog log;
    std::u16string wide = u"-Xmx512m -Dx=%NOT_ONE% ${UNKNOWN} $ {}";
    std::u16string block = wideBlock({u"PATH=c:\\bin", u"=C:=C:\\work"});
    expandWithValues(wide, wideValues(), block.c_str());
    EXPECT_EQ(wide, u"-Xmx512m -Dx=%NOT_ONE% ${UNKNOWN} $ {}");
    std::string narrow = "plain";
    expandWithValues(narrow, narrowValues(), narrowBlock({"PATH=x"}).c_str());
    EXPECT_EQ(narrow, "plain");
    EXPECT_TRUE(log.lines().empty());
}

TEST(ExpandWithValues, ExeDirFollowedByFileNameHasOneBackslash) {
    std::u16string text = u"${KAVORA_EXEDIR}lib\\app.jar";
    expandWithValues(text, wideValues(), nullptr);
    EXPECT_EQ(text, u"C:\\App\\lib\\app.jar");
}

TEST(ExpandWithValues, SystemTempDirFormFollowsTheFlag) {
    WideExpansionValues v = wideValues();
    v.systemTempDirNarrow = true;
    v.systemTempDirNarrowForm = "C:\\NARROW~1\\";
    std::u16string text = u"${launcher:sys.tempDir}";
    expandWithValues(text, v, nullptr);
    EXPECT_EQ(text, u"C:\\NARROW~1\\");
}

TEST(ReplaceAll, PlaceholderTwiceReplacedTwiceAndLoggedEachTime) {
    CapturedLog log;
    std::u16string text = u"a${X}b${X}c";
    replaceAll(text, u"${X}", std::u16string(u"v"));
    EXPECT_EQ(text, u"avbvc");
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], "expanding2 ${X} to v in avb${X}c.");
    EXPECT_EQ(log.lines()[1], "expanding2 ${X} to v in avbvc.");
}

TEST(ReplaceAll, InsertedValueIsNotSearchedForTheSamePlaceholder) {
    CapturedLog log;
    std::u16string text = u"${X}-${X}";
    replaceAll(text, u"${X}", std::u16string(u"<${X}>"));
    EXPECT_EQ(text, u"<${X}>-<${X}>");
    EXPECT_EQ(log.lines().size(), 2u);

    std::string narrow = "%A%%A%";
    replaceAll(narrow, "%A%", "%A%%A%");
    EXPECT_EQ(narrow, "%A%%A%%A%%A%");
}

TEST(ReplaceAll, EmptyValueRemovesThePlaceholder) {
    std::u16string text = u"x${BRENN_TEMPDIR}y${BRENN_TEMPDIR}";
    replaceAll(text, u"${BRENN_TEMPDIR}", std::string());
    EXPECT_EQ(text, u"xy");
}

TEST(ReplaceAll, LogFormatsPerWidth) {
    CapturedLog log;
    std::u16string wide = u"[%BRENN_TEMPDIR%]";
    replaceAll(wide, u"%BRENN_TEMPDIR%", std::string("C:\\T"));
    std::u16string wide2 = u"${launcher:sys.pathlistSeparator}";
    replaceAll(wide2, u"${launcher:sys.pathlistSeparator}", std::u16string(u";"));
    std::string narrow = "%KAVORA_EXEDIR%x";
    replaceAll(narrow, "%KAVORA_EXEDIR%", "C:\\App\\");
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[0], "expanding2 %BRENN_TEMPDIR% to C:\\T in [C:\\T].");
    EXPECT_EQ(log.lines()[1], "expanding2 ${launcher:sys.pathlistSeparator} to ; in ;.");
    EXPECT_EQ(log.lines()[2], "expanding2 %KAVORA_EXEDIR% to C:\\App\\ in C:\\App\\x.");
}

TEST(ReplaceAll, NarrowValueInWideTextWidensBytePerUnit) {
    std::u16string text = u"${BRENN_JVM_HOME}";
    replaceAll(text, u"${BRENN_JVM_HOME}", std::string("C:\\J\xE9\x80\xFF"));
    EXPECT_EQ(text, (std::u16string{u'C', u':', u'\\', u'J', 0x00E9, 0x0080, 0x00FF}));
}

TEST(ExpandWithValues, ResultGrowsBeyondTheScratchSize) {
    std::u16string text;
    for (int i = 0; i < 1000; ++i) text += u"${KAVORA_EXEDIR};";
    WideExpansionValues v = wideValues();
    v.launcherDir = std::u16string(40, u'd');
    expandWithValues(text, v, nullptr);
    EXPECT_EQ(text.size(), 1000u * 41u);
    EXPECT_EQ(text.find(u"${"), std::u16string::npos);
}

TEST(EnvironmentPass, AsWrittenAndUpperCasedButNotLowerCased) {
    std::u16string text = u"${Path}|${PATH}|${path}";
    std::u16string block = wideBlock({u"Path=c:\\bin"});
    expandWithValues(text, wideValues(), block.c_str());
    EXPECT_EQ(text, u"c:\\bin|c:\\bin|${path}");

    std::string narrow = "${Path}|${PATH}|${path}";
    expandWithValues(narrow, narrowValues(), narrowBlock({"Path=c:\\bin"}).c_str());
    EXPECT_EQ(narrow, "c:\\bin|c:\\bin|${path}");
}

TEST(EnvironmentPass, ValueHoldingAnEarlierRowIsNotExpandedAgain) {
    std::u16string text = u"${A}";
    std::u16string block = wideBlock({u"A=${launcher:sys.jvmHome}\\bin"});
    expandWithValues(text, wideValues(), block.c_str());
    EXPECT_EQ(text, u"${launcher:sys.jvmHome}\\bin");
}

TEST(EnvironmentPass, ValueHoldingALaterEntryIsExpanded) {
    struct {
        std::initializer_list<const char*> entries;
        const char* result;
    } cases[] = {
        {{"A=${B}", "B=bee"}, "bee"},     // B's entry comes later in the block
        {{"B=bee", "A=${B}"}, "${B}"},    // B's entry has already been applied
        {{"A=x=y"}, "x=y"},               // only the first "=" splits
        {{"NOEQUALS", "A=1"}, "1"},       // an entry without "=" is skipped
    };
    for (const auto& c : cases) {
        std::string text = "${A}";
        expandWithValues(text, narrowValues(), narrowBlock(c.entries).c_str());
        EXPECT_EQ(text, c.result);
    }
}

TEST(EnvironmentPass, HiddenDriveEntryHasTheEmptyName) {
    CapturedLog log;
    std::u16string text = u"[${}]";
    std::u16string block = wideBlock({u"=C:=C:\\work", u"=D:=D:\\other"});
    expandWithValues(text, wideValues(), block.c_str());
    EXPECT_EQ(text, u"[C:=C:\\work]");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "expanding2 ${} to C:=C:\\work in [C:=C:\\work].");
}

TEST(EnvironmentPass, MissingOrEmptyBlockOnlySkipsThePass) {
    std::u16string text = u"${X}${launcher:sys.pathlistSeparator}";
    expandWithValues(text, wideValues(), nullptr);
    EXPECT_EQ(text, u"${X};");
    std::u16string empty(2, u'\0');
    text = u"${X}";
    expandWithValues(text, wideValues(), empty.c_str());
    EXPECT_EQ(text, u"${X}");
}

TEST(EnvironmentPass, NarrowLogsWithNarrowFormat) {
    CapturedLog log;
    std::string text = "${Home}";
    expandWithValues(text, narrowValues(), narrowBlock({"Home=h"}).c_str());
    EXPECT_EQ(text, "h");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "expanding2 ${Home} to h in h.");
}

}  // namespace

namespace {

size_t stopLines(const CapturedLog& log) {
    size_t n = 0;
    for (const std::string& line : log.lines())
        if (line.rfind("expansion stopped: limit of ", 0) == 0) ++n;
    return n;
}

}  // namespace

// Variables that refer to each other double the text at every entry: V0 holds ${V1}${V1}, V1
// holds ${V2}${V2}, and so on, 2^40 copies in the end. The run stops at a limit, once.
TEST(ExpansionBounds, DoublingVariablesStop) {
    std::vector<std::u16string> entries;
    for (int i = 0; i < 40; ++i) {
        const std::u16string next = u"${V" + marlo::test::u16(std::to_string(i + 1)) + u"}";
        entries.push_back(u"V" + marlo::test::u16(std::to_string(i)) + u"=" + next + next);
    }
    entries.push_back(u"V40=0123456789");
    std::u16string block;
    for (const std::u16string& e : entries) block += e + u'\0';
    block += u'\0';
    std::string narrow(block.begin(), block.end());

    CapturedLog log;
    std::u16string wide = u"-Dp=${V0}";
    expandWithValues(wide, wideValues(), block.c_str());
    EXPECT_LE(wide.size(), kMaxExpandedLength);
    EXPECT_EQ(wide.rfind(u"-Dp=", 0), 0u);
    EXPECT_EQ(stopLines(log), 1u);

    std::string text = "-Dp=${V0}";
    expandWithValues(text, NarrowExpansionValues(), narrow.c_str());
    EXPECT_LE(text.size(), kMaxExpandedLength);
    EXPECT_EQ(stopLines(log), 2u);
}

// Many replacements in a long text: the length stays below its limit, the characters searched and
// written add up past the work limit, and the rest of the text is left as it was.
TEST(ExpansionBounds, ManyReplacementsInALongTextStopAtTheWorkLimit) {
    std::string text(200000, '.');
    for (int i = 0; i < 400; ++i) text += "${X}";
    const std::string block = narrowBlock({"X=y"});
    CapturedLog log;
    const size_t work = expandWithValues(text, NarrowExpansionValues(), block.c_str());
    EXPECT_EQ(stopLines(log), 1u);
    EXPECT_LE(work, kMaxExpansionWork);
    // The fixed list's searches read the text once each; then each replacement writes it once.
    size_t count = 0;
    expansionPlaceholders(&count);
    const size_t done = (kMaxExpansionWork - (count + 1) * text.size()) / text.size();  // about that many
    const size_t replaced = static_cast<size_t>(std::count(text.begin(), text.end(), 'y'));
    EXPECT_GT(replaced, done - 5);
    EXPECT_LT(replaced, 400u);
    EXPECT_EQ(text.find("${X}"), 200000 + replaced);  // in order, the rest untouched
}

// A long text searched for every entry of a large environment costs time even where nothing is
// replaced: the searches count as work, so the run stops at the limit and leaves the text as it was.
TEST(ExpansionBounds, SearchingALongTextForManyVariablesStopsAtTheWorkLimit) {
    const std::string original = std::string(200000, '.') + "${LAST}";
    std::string block;
    for (int i = 0; i < 400; ++i) block += "V" + std::to_string(i) + "=x" + '\0';
    block += std::string("LAST=y") + '\0' + '\0';
    CapturedLog log;
    std::string text = original;
    const size_t work = expandWithValues(text, NarrowExpansionValues(), block.c_str());
    EXPECT_EQ(stopLines(log), 1u);
    EXPECT_LE(work, kMaxExpansionWork);
    EXPECT_GT(work, kMaxExpansionWork - text.size());
    EXPECT_EQ(text, original);
    // The same environment and a text of ordinary length: every variable is searched for.
    text = "-Dp=${LAST}";
    expandWithValues(text, NarrowExpansionValues(), block.c_str());
    EXPECT_EQ(text, "-Dp=y");
    EXPECT_EQ(stopLines(log), 1u);
}

// Smaller bounds are the same code: the length limit stops the replacement that would pass it.
TEST(ExpansionBounds, GivenLimitsApply) {
    const std::u16string block = wideBlock({u"X=0123456789"});
    CapturedLog log;
    std::u16string text = u"${X}${X}${X}";
    const size_t work = expandWithValues(text, wideValues(), block.c_str(), ExpansionLimits{25, 1000});
    EXPECT_EQ(text, u"01234567890123456789${X}");
    EXPECT_EQ(stopLines(log), 1u);
    EXPECT_LT(work, 1000u);
    // A work limit too small for the fixed list's searches stops the run before any replacement;
    // a limit of 0 is a limit like any other.
    for (const ExpansionLimits limits : {ExpansionLimits{1000, 50}, ExpansionLimits{1000, 0}, ExpansionLimits{0, 1000}}) {
        text = u"${X}${X}${X}";
        const size_t done = expandWithValues(text, wideValues(), block.c_str(), limits);
        EXPECT_EQ(text, u"${X}${X}${X}") << limits.length << " " << limits.work;
        EXPECT_LE(done, limits.work);
    }
    EXPECT_EQ(stopLines(log), 4u);
}

// Placeholders whose start repeats inside them (environment names may hold "${" themselves): every
// occurrence is found, also where a partial match overlaps the real one.
TEST(ExpansionBounds, PlaceholdersThatOverlapThemselvesAreFound) {
    struct Case {
        const char* text;
        const char* entry;
        const char* expanded;
    };
    const Case cases[] = {
        {"${${${A}", "${A=v", "${v"},
        {"${${A}${${A}", "${A=v", "vv"},
        {"x${${${A}}", "${${A=v", "xv}"},
        {"${ab${ab${abc}", "ab${abc=v", "${abv"},
        {"${aa${aa${aaa}", "aa${aaa=v", "${aav"},
        {"${aab}${aaab}", "aab=v", "v${aaab}"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        const std::string block = std::string(c.entry) + '\0' + '\0';
        expandWithValues(text, NarrowExpansionValues(), block.c_str());
        EXPECT_EQ(text, c.expanded) << c.text << " with " << c.entry;
    }
}

TEST(ExpansionBounds, OrdinaryLongExpansionIsComplete) {
    std::u16string text;
    for (int i = 0; i < 100; ++i) text += u"${PATH};";
    const std::u16string block = wideBlock({u"PATH=C:\\a\\long\\folder\\name\\that\\repeats"});
    CapturedLog log;
    expandWithValues(text, wideValues(), block.c_str());
    EXPECT_EQ(text.find(u"${"), std::u16string::npos);
    EXPECT_EQ(stopLines(log), 0u);
}
