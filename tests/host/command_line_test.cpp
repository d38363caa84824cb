#include <gtest/gtest.h>

#include "common/ArgVector.h"
#include "launcher/CommandLine.h"
#include "TestLog.h"

using namespace marlo;
using marlo::test::u16;

namespace {

struct SplitCase {
    const char* text;  // Q: double quote, P: apostrophe, '.' blank, T: tab
    std::vector<std::string> tokens;
};

std::string decode(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        switch (*p) {
            case 'Q': out += '"'; break;
            case 'P': out += '\''; break;
            case '.': out += ' '; break;
            case 'T': out += '\t'; break;
            default: out += *p;
        }
    }
    return out;
}

void PrintTo(const SplitCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, TokensInOrder) {
    const SplitCase& c = GetParam();
    ArgVector args;
    splitCommandLine(u16(decode(c.text)).c_str(), args);
    std::vector<std::string> got;
    for (const auto& a : args) got.push_back(utf16ToUtf8(a));
    std::vector<std::string> want;
    for (const auto& t : c.tokens) want.push_back(decode(t.c_str()));
    EXPECT_EQ(got, want) << "input: " << decode(c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLine,
    ::testing::Values(SplitCase{"a.b", {"a", "b"}}, SplitCase{"a...b", {"a", "b"}},
                      SplitCase{"Qa.bQ.c", {"a.b", "c"}}, SplitCase{"xQa.bQy.z", {"xa.b", "y", "z"}},
                      SplitCase{"QQ.x", {"", "x"}}, SplitCase{"Qa.b", {"a.b"}}, SplitCase{"Pa.bP.c", {"a.b", "c"}},
                      SplitCase{"itPs.here", {"its.here"}}, SplitCase{"PaQbP", {"aQb"}},
                      SplitCase{"a\\Qb.cQ", {"a\\b.c"}}, SplitCase{"aTb", {"aTb"}}, SplitCase{"", {}},
                      SplitCase{"...", {}}, SplitCase{".a.", {"a"}}, SplitCase{"QaQQbQ", {"a", "b"}},
                      SplitCase{"QaQ", {"a"}}, SplitCase{"a.Q", {"a", ""}}),
    [](const ::testing::TestParamInfo<SplitCase>& p) { return "case" + std::to_string(p.index); });

TEST(SplitCommandLine, AppendsToExistingList) {
    ArgVector args{u"first"};
    splitCommandLine(u"x y", args);
    EXPECT_EQ(args, (ArgVector{u"first", u"x", u"y"}));
}

TEST(LogCreationSwitch, OnlyElementOneInFourForms) {
    for (const char16_t* form : {u"-create-kvr-log", u"-create-brn-log", u"/create-kvr-log", u"/create-brn-log"}) {
        ArgVector args{u"app.exe", form, u"doc.txt"};
        EXPECT_TRUE(takeLogCreationSwitch(args));
        EXPECT_EQ(args, (ArgVector{u"app.exe", u"doc.txt"}));
    }
    ArgVector second{u"app.exe", u"doc.txt", u"-create-kvr-log"};
    EXPECT_FALSE(takeLogCreationSwitch(second));
    EXPECT_EQ(second.size(), 3u);
    for (const char16_t* other : {u"-Create-kvr-log", u"-create-kvr-log ", u"create-kvr-log", u"-create-log"}) {
        ArgVector args{u"app.exe", other};
        EXPECT_FALSE(takeLogCreationSwitch(args)) << utf16ToUtf8(other);
    }
    ArgVector alone{u"app.exe"};
    EXPECT_FALSE(takeLogCreationSwitch(alone));
}

}  // namespace
