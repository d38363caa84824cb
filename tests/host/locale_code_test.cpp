#include <gtest/gtest.h>

#include <set>
#include <string>

#include "windows/LocaleCode.h"

using namespace marlo;

namespace {

TEST(LocaleTable, HasAllRowsOnceInOrder) {
    size_t count = 0;
    const LocaleRow* rows = localeTable(&count);
    ASSERT_EQ(count, 215u);
    std::set<uint16_t> ids;
    for (size_t i = 0; i < count; ++i) ids.insert(rows[i].langId);
    EXPECT_EQ(ids.size(), 215u);
    EXPECT_EQ(rows[0].langId, 1);
    EXPECT_STREQ(rows[70].code, "gl");
    EXPECT_EQ(rows[71].langId, 1025);
    EXPECT_EQ(rows[214].langId, 20490);
    EXPECT_STREQ(rows[214].code, "es_PR");
}

TEST(LocaleCodeForLangId, FullThenPrimaryThenEnglish) {
    struct {
        uint16_t id;
        const char* code;
    } cases[] = {{1031, "de_DE"}, {1036, "fr_FR"}, {16393, "en"},  {4122, "sr"},      {1050, "hr_HR"},
                 {2068, "no_NO_NY"}, {9225, "en"}, {1093, "en"},  {2055, "de_CH"},   {3082, "es_ES"},
                 {7, "de"},         {0, "en"},    {1033, "en_US"}, {20487, "de"}};
    for (const auto& c : cases) EXPECT_STREQ(localeCodeForLangId(c.id), c.code) << c.id;
}

TEST(ChooseLocaleCode, DisplayLanguageUnlessFormatAsDefault) {
    // Display language German (1031), format locale French (1036).
    struct {
        ArgVector args;
        bool withArgs;
        const char* code;
    } cases[] = {
        {{u"app.exe"}, true, "de_DE"},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=true"}, true, "fr_FR"},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=false"}, true, "de_DE"},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=true", u"-Dsun.locale.formatasdefault=x"}, true, "de_DE"},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=no", u"-Dsun.locale.formatasdefault=true"}, true, "fr_FR"},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=TRUE"}, true, "de_DE"},
        {{}, false, "de_DE"},
    };
    for (const auto& c : cases) {
        char code[12];
        chooseLocaleCodeFrom(c.withArgs ? &c.args : nullptr, 1036, 1031, code);
        EXPECT_STREQ(code, c.code);
    }
    char code[12];
    ArgVector none{u"app.exe"};
    chooseLocaleCodeFrom(&none, 1036, -1, code);  // no display-language call on the system
    EXPECT_STREQ(code, "fr_FR");
}

}  // namespace
