// The application description: how each value type becomes record text, the defaults, and the
// errors a bad description gets.
#include <gtest/gtest.h>

#include <map>

#include "Description.h"
#include "config/LauncherConfig.h"
#include "pack_test_support.h"

namespace marlo {
namespace {

using pack::Description;
using pack::Diagnostic;
using pack::parseDescription;
using namespace packtest;

Description parseOk(const std::string& text, const std::string& path = "app.toml") {
    Description d;
    std::vector<Diagnostic> errors;
    EXPECT_TRUE(parseDescription(text, path, d, errors)) << text << "\n" << joinDiagnostics(errors);
    return d;
}

struct EncodingCase {
    const char* toml;  // one [config] or [records] line
    ConfigId id;
    const char* expected;
};

TEST(PackDescription, EachValueTypeBecomesTheRecordTextTheLauncherReads) {
    const EncodingCase cases[] = {
        {"[config]\nSINGLE_INSTANCE = true", cfg::SINGLE_INSTANCE, "1"},
        {"[config]\nREQUIRE_JDK = false", cfg::REQUIRE_JDK, "0"},
        {"[config]\nSPLASH_WIDTH = 400", cfg::SPLASH_WIDTH, "400"},
        {"[config]\nSPLASH_STATUS_X = -12", cfg::SPLASH_STATUS_X, "-12"},
        {"[config]\nMAIN_CLASS = \"com.example.App\"", cfg::MAIN_CLASS, "com.example.App"},
        {"[config]\nCLASS_PATH = [\"A0lib\\\\a.jar\", \"D1classes\"]", cfg::CLASS_PATH, "A0lib\\a.jar;D1classes"},
        {"[config]\nJRE_SEARCH_SEQUENCE = \"Rjre;Y;\"", cfg::JRE_SEARCH_SEQUENCE, "Rjre;Y;"},
        {"[config]\nJRE_SEARCH_SEQUENCE = [\"Bjre\", \"EJAVA_HOME\", \"V\", \"S\", \"Ajre2\", \"R${X}\"]",
         cfg::JRE_SEARCH_SEQUENCE, "Bjre;EJAVA_HOME;V;S;Ajre2;R${X}"},
        {"[config]\nNATIVE_LIBRARY_DIRS = []", cfg::NATIVE_LIBRARY_DIRS, ""},
        {"[config]\nSPLASH_STATUS_COLOR = [255, 128, 1]", cfg::SPLASH_STATUS_COLOR, "255,128,1"},
        {"[config]\nLAUNCHER_FLAVOR = \"kavora\"", cfg::LAUNCHER_FLAVOR, "i"},
        {"[config]\nLAUNCHER_FLAVOR = \"i\"", cfg::LAUNCHER_FLAVOR, "i"},
        {"[config]\nLAUNCHER_FLAVOR = \"brenn\"", cfg::LAUNCHER_FLAVOR, "e"},
        {"[config]\nMSG_TITLE = \"Fehler {0}\"", cfg::MSG_TITLE, "Fehler {0}"},
        {"[config]\nAPPLICATION_NAME = \"Caf\u00e9\"", cfg::APPLICATION_NAME, "Caf\xe9"},
        {"[config]\nRESERVED_149 = \"\"", 149, ""},
        {"[records]\n\"9999\" = \"raw; text\"", 9999, "raw; text"},
        {"[records]\n-7 = \"\\u00ff\"", -7, "\xff"},
    };
    for (const EncodingCase& c : cases) {
        Description d = parseOk(c.toml);
        EXPECT_EQ(narrowValue(d.contents, c.id), std::optional<std::string>(c.expected)) << c.toml;
    }
}

TEST(PackDescription, LauncherGettersReadTheValuesAsDescribed) {
    Description d = parseOk(
        "[config]\nSINGLE_INSTANCE = true\nSPLASH_WIDTH = 602\nSPLASH_STATUS_COLOR = [255, 128, 1]\n"
        "LAUNCHER_FLAVOR = \"kavora\"\nAPPLICATION_NAME = \"\u00c4pfel\"\n");
    LauncherConfig config;
    config.load(d.contents, "en");
    EXPECT_EQ(config.getInt(cfg::SINGLE_INSTANCE), 1);
    EXPECT_EQ(config.getInt(cfg::SPLASH_WIDTH), 602);
    EXPECT_EQ(config.getColor(cfg::SPLASH_STATUS_COLOR), 0x0180FFu);
    EXPECT_EQ(config.getStringCopy(cfg::LAUNCHER_FLAVOR), "i");
    char16_t name[32];
    config.getWString(cfg::APPLICATION_NAME, name, 32);
    EXPECT_EQ(std::u16string(name), u"\u00c4pfel");
}

TEST(PackDescription, WideRecordsLocaleGroupsAndFiles) {
    ScratchDir dir;
    writeFile(dir / "bin/native.dll", std::string("MZ\0\x01", 4));
    writeFile(dir / "a.txt", "alpha");
    Description d = parseOk(
        "[wide]\nMSG_TITLE = \"Fehler \u2713\"\n\"4242\" = \"x\"\n"
        "[[locale]]\ncode = \"de_CH\"\n[locale.records]\nMSG_OK_WORD = \"Gut\"\n"
        "[[locale]]\ncode = \"de\"\nrecords = { \"1013\" = \"OK\", MSG_TITLE = \"Fehler\" }\n"
        "[[locale]]\ncode = \"\"\n"
        "[[files]]\nname = \"a.txt\"\nsource = \"a.txt\"\n"
        "[[files]]\nname = \"lib\\\\native.dll\"\nsource = \"" + (dir / "bin/native.dll").string() + "\"\n",
        (dir / "app.toml").string());
    ASSERT_EQ(d.contents.wide.size(), 2u);
    EXPECT_EQ(d.contents.wide[0].id, cfg::MSG_TITLE);
    EXPECT_EQ(d.contents.wide[0].text, u"Fehler \u2713");
    EXPECT_EQ(d.contents.wide[1].id, 4242);
    ASSERT_EQ(d.contents.groups.size(), 3u);  // in file order
    EXPECT_EQ(d.contents.groups[0].locale, "de_CH");
    EXPECT_EQ(d.contents.groups[1].locale, "de");
    EXPECT_EQ(d.contents.groups[2].locale, "");
    ASSERT_EQ(d.contents.groups[1].records.size(), 2u);  // sorted by id
    EXPECT_EQ(d.contents.groups[1].records[0].id, cfg::MSG_TITLE);
    EXPECT_EQ(d.contents.groups[1].records[1].id, cfg::MSG_OK_WORD);
    EXPECT_EQ(d.contents.groups[1].records[1].text, u"OK");
    EXPECT_TRUE(d.contents.groups[2].records.empty());
    ASSERT_EQ(d.files.size(), 2u);
    EXPECT_EQ(d.files[0].name, "a.txt");
    EXPECT_EQ(d.files[0].content, "alpha");
    EXPECT_EQ(d.files[1].name, "lib\\native.dll");
    EXPECT_EQ(d.files[1].content, std::string("MZ\0\x01", 4));
    EXPECT_EQ(narrowValue(d.contents, cfg::INCLUDED_FILE_COUNT), std::optional<std::string>("2"));
    EXPECT_EQ(narrowValue(d.contents, cfg::INCLUDED_FILES), std::optional<std::string>("a.txt;lib\\native.dll"));
}

TEST(PackDescription, LeftOutValuesGetTheStandardDefaults) {
    Description d = parseOk("");
    const std::pair<ConfigId, const char*> expected[] = {
        {1000, "Error"},
        {1001,
         "No JVM could be found on your system.\nPlease define BRENN_JAVA_HOME\nto point to an installed JDK or JRE or "
         "download a JRE from java.com."},
        {1005,
         "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or firewall "
         "tool could block the execution."},
        {1006, "File or directory {0} not found or empty\n"},
        {1010, "Couldn't load main class."},
        {1013, "Ok"},
        {1016,
         "No JVM could be found on your system.\nPlease define BRENN_JAVA_HOME\nto point to an installed {0}-bit JDK or "
         "JRE or download a JRE from java.com."},
        {1017, "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."},
        {1018, "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."},
        {1019,
         "The JVM found at {0} is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed 32-bit "
         "JDK or JRE."},
        {1020,
         "The JVM found at {0} is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed 64-bit "
         "JDK or JRE."},
        {cfg::LAUNCHER_FLAVOR, "e"},
        {cfg::EXECUTABLE_TYPE, "1"},
        {cfg::INCLUDED_FILE_COUNT, "0"},
    };
    for (const auto& [id, text] : expected)
        EXPECT_EQ(narrowValue(d.contents, id), std::optional<std::string>(text)) << id;
    // Messages 1000..1020 and the three settings; nothing else, and no included-file list.
    EXPECT_EQ(d.contents.narrow.size(), 21u + 3u);
    for (ConfigId id = 1000; id <= 1020; ++id) EXPECT_TRUE(narrowValue(d.contents, id).has_value()) << id;
    EXPECT_FALSE(narrowValue(d.contents, cfg::INCLUDED_FILES).has_value());
    EXPECT_EQ(d.launcher, "marlo");
    EXPECT_EQ(d.arch, "x64");
}

TEST(PackDescription, GivenValuesOverrideDefaultsAndRecordsAreSortedById) {
    Description d = parseOk(
        "[config]\nMSG_TITLE = \"Problem\"\nEXECUTABLE_TYPE = 2\nLAUNCHER_FLAVOR = \"i\"\nINCLUDED_FILE_COUNT = 0\n"
        "INCLUDED_FILES = \"odd.bin\"\n[records]\n\"20000\" = \"late\"\n\"-3\" = \"early\"\n");
    EXPECT_EQ(narrowValue(d.contents, cfg::MSG_TITLE), std::optional<std::string>("Problem"));
    EXPECT_EQ(narrowValue(d.contents, cfg::EXECUTABLE_TYPE), std::optional<std::string>("2"));
    EXPECT_EQ(narrowValue(d.contents, cfg::LAUNCHER_FLAVOR), std::optional<std::string>("i"));
    // A count of 0 with names is what a block without files may hold; the names stay as given.
    EXPECT_EQ(narrowValue(d.contents, cfg::INCLUDED_FILE_COUNT), std::optional<std::string>("0"));
    EXPECT_EQ(narrowValue(d.contents, cfg::INCLUDED_FILES), std::optional<std::string>("odd.bin"));
    for (size_t i = 1; i < d.contents.narrow.size(); ++i)
        EXPECT_LT(d.contents.narrow[i - 1].first, d.contents.narrow[i].first);
    EXPECT_EQ(d.contents.narrow.front().first, -3);
    EXPECT_EQ(d.contents.narrow.back().first, 20000);
}

struct BadCase {
    std::string toml;
    uint32_t line;
    uint32_t column;
    const char* message;  // part of the message
};

TEST(PackValidation, BadDescriptionsAreReportedWithTheirPosition) {
    ScratchDir dir;
    writeFile(dir / "data.bin", "data");
    writeFile(dir / "empty.ico", std::string("\0\0\1\0\0\0", 6));
    // One image of 100 bytes at offset 22 in a file of 22 bytes.
    writeFile(dir / "outside.ico", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x64\0\0\0\x16\0\0\0", 22));
    // A PNG whose first chunk after the header claims 2 GiB.
    writeFile(dir / "claims.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0"
                                              "\0\0\0\0\x7f\xff\xff\xf0IDAT", 41));
    // A BMP of 54 bytes claiming 4096 x 4096 pixels of 24 bits (the decoder reads missing rows as black).
    writeFile(dir / "short.bmp", std::string("BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\0\x10\0\0\0\x10\0\0\x01\0\x18\0", 30) +
                                     std::string(24, '\0'));
    const BadCase cases[] = {
        {"[config]\nMAIN_CLAS = \"x\"\n", 2, 1, "unknown configuration name 'MAIN_CLAS'"},
        {"[config]\n9999 = \"x\"\n", 2, 1, "numbered records belong in [records]"},
        {"[config]\nSINGLE_INSTANCE = \"yes\"\n", 2, 19, "SINGLE_INSTANCE: expected a boolean (true or false), found a string"},
        {"[config]\nSPLASH_WIDTH = 1.5\n", 2, 16, "SPLASH_WIDTH: expected an integer, found a floating-point number"},
        {"[config]\nSPLASH_WIDTH = 4294967296\n", 2, 16, "does not fit in 32 bits"},
        {"[config]\nMAIN_CLASS = [\"a\"]\n", 2, 14, "MAIN_CLASS: expected a string, found an array"},
        {"[config]\nCLASS_PATH = [\"A0a.jar\", 3]\n", 2, 26, "CLASS_PATH: expected a string as list entry"},
        {"[config]\nCLASS_PATH = [\"A0a.jar;D0b\"]\n", 2, 15, "contains ';'"},
        {"[config]\nJRE_SEARCH_SEQUENCE = [\"Rjre\", \"v\"]\n", 2, 23, "entry \"v\" does not start with a search letter"},
        {"[config]\nJRE_SEARCH_SEQUENCE = \"Y;;Xjre\"\n", 2, 23, "entry \"Xjre\" does not start with a search letter"},
        {"[config]\nSPLASH_STATUS_COLOR = [0, 256, 0]\n", 2, 27, "colour component 256 is outside 0..255"},
        {"[config]\nSPLASH_STATUS_COLOR = [0, -1, 0]\n", 2, 27, "colour component -1 is outside 0..255"},
        {"[config]\nSPLASH_VERSION_COLOR = [1, 2]\n", 2, 24, "expected an array of three integers 0..255"},
        {"[config]\nSPLASH_VERSION_COLOR = \"1,2,3\"\n", 2, 24, "expected an array of three integers 0..255"},
        {"[config]\nLAUNCHER_FLAVOR = \"x\"\n", 2, 19, "expected \"brenn\", \"kavora\", \"e\" or \"i\", found \"x\""},
        {"[config]\nMAIN_CLASS = \"\u20acuro\"\n", 2, 14, "character U+20AC cannot be stored"},
        {"[config]\nMAIN_CLASS = \"a\\u0000b\"\n", 2, 14, "NUL"},
        {"\n[config]\nMAIN_CLASS = \"unterminated\n", 3, 0, ""},
        {"[config\n", 1, 0, ""},
        // Found by fuzzing: the parser library mishandles such characters outside strings.
        {"[config]\nCLASS_PAT\u023F = \"T\"\n", 2, 10, "a character beyond ASCII (first byte 0xC8) outside a string"},
        {"[config]\nMAIN_CLASS = \"a\" \u00e9\n", 2, 18, "outside a string or comment"},
        {"[wide]\nMSG_TITLE = \"\"\"a\"\"\"\"\" \u3001\n", 2, 23, "outside a string or comment"},
        {"[wide]\nMSG_TITLE = \"\"\"\\\u00e9\"\"\"\n", 2, 0, "escape"},
        // Found by fuzzing: the parser library's whitespace test had undefined behaviour for most
        // characters beyond ASCII, here U+FEFE read after the "+" of a value.
        {"l =+[\"A\ufefejar\"KE", 1, 0, ""},
        {"l=--qp\"\u00e9\"\n", 1, 8, "outside a string or comment"},
        // Found by fuzzing: the parser library reads past a raw NUL byte inconsistently.
        {std::string("E = 171\0\"\\\\\u019a\"\n", 15), 1, 8, "a NUL byte"},
        {std::string("lauH = [[6\0\0[\"xW.^\xef\xbb\xb9\xbf", 22), 1, 11, "a NUL byte"},
        {"\n\nfoo = 1\n", 3, 1, "unknown key 'foo'"},
        {"arch = \"arm\"\n", 1, 8, "arch: expected \"x86\" or \"x64\", found \"arm\""},
        {"launcher = 1\n", 1, 12, "launcher: expected \"marlo\" or \"pivok\", found an integer"},
        {"config = 1\n", 1, 10, "config: expected a table"},
        {"[records]\nabc = \"x\"\n", 2, 1, "'abc' is not a record number"},
        {"[records]\n\"1\" = true\n", 2, 7, "record 1: expected a string, found a boolean"},
        {"[config]\nMAIN_CLASS = \"a\"\n[records]\n\"122\" = \"b\"\n", 4, 1, "id 122 is given twice (first at line 2)"},
        {"[wide]\nNOPE = \"x\"\n", 2, 1, "unknown configuration name 'NOPE' in [wide]"},
        {"[wide]\nMSG_TITLE = \"a\"\n\"1000\" = \"b\"\n", 3, 1, "id 1000 is given twice in [wide]"},
        {"[[locale]]\nrecords = { MSG_TITLE = \"x\" }\n", 1, 1, "[[locale]] entry without a code"},
        {"[[locale]]\ncode = \"de\"\nlang = \"x\"\n", 3, 1, "unknown key 'lang' in [[locale]]"},
        {"[[locale]]\ncode = \"de\"\n[locale.records]\nMSG_TITLE = 5\n", 4, 13, "MSG_TITLE: expected a string"},
        {"locale = \"de\"\n", 1, 10, "locale: expected an array of tables"},
        {"[[files]]\nname = \"a.bin\"\nsource = \"missing.bin\"\n", 3, 10,
         "cannot read included file source 'missing.bin': No such file or directory"},
        {"[[files]]\nname = \"a.bin\"\nsource = \".\"\n", 3, 10, "not a regular file"},
        {"[[files]]\nsource = \"data.bin\"\n", 1, 1, "[[files]] entry without a name"},
        {"[[files]]\nname = \"a\\\\b\\\\c.dll\"\nsource = \"data.bin\"\n", 2, 8, "only one directory level"},
        {"[[files]]\nname = \"a;b\"\nsource = \"data.bin\"\n", 2, 8, "contains ';'"},
        {"[[files]]\nname = \"..\\\\x\"\nsource = \"data.bin\"\n", 2, 8, "\"..\""},
        {"[[files]]\nname = \"A.bin\"\nsource = \"data.bin\"\n[[files]]\nname = \"a.BIN\"\nsource = \"data.bin\"\n", 5,
         8, "is given twice (first at line 2)"},
        {"[config]\nINCLUDED_FILES = \"x\"\n[[files]]\nname = \"a.bin\"\nsource = \"data.bin\"\n", 2, 1,
         "INCLUDED_FILES is derived from [[files]]"},
        {"[records]\n\"2002\" = \"1\"\n[[files]]\nname = \"a.bin\"\nsource = \"data.bin\"\n", 2, 1,
         "INCLUDED_FILE_COUNT is derived from [[files]]"},
        // Without [[files]] the launcher would read the block's padding as file data.
        {"[config]\nINCLUDED_FILE_COUNT = 2\n", 2, 1, "without [[files]] it can only be 0"},
        {"[records]\n\"2002\" = \" 1\"\n", 2, 1, "without [[files]] it can only be 0"},
        // The application's own resources.
        {"[identity]\nicon = \"data.bin\"\n", 2, 8, "icon 'data.bin': neither an icon file (.ico) nor a PNG"},
        {"[identity]\nicon = \"missing.ico\"\n", 2, 8, "icon: cannot read 'missing.ico'"},
        {"[identity]\nicon = \"empty.ico\"\n", 2, 8, "an icon file without images"},
        {"[identity]\nicon = \"outside.ico\"\n", 2, 8, "image 1 of the icon file lies outside the file"},
        // Found by fuzzing: the image decoder allocated what a chunk's length claimed.
        {"[identity]\nicon = \"claims.png\"\n", 2, 8, "a PNG file that is cut short or damaged"},
        {"[splash]\nimage = \"claims.png\"\n", 2, 9, "splash image 'claims.png': a PNG file that is cut short"},
        {"[splash]\nimage = \"data.bin\"\n", 2, 9, "neither a PNG nor a BMP image"},
        {"[splash]\nimage = \"short.bmp\"\n", 2, 9, "splash image 'short.bmp': a BMP file that is cut short or damaged"},
        {"[splash]\nimages = \"data.bin\"\n", 2, 1, "unknown key 'images' in [splash] (did you mean image?)"},
        {"[identity]\nversion = \"1.x\"\n", 2, 11, "version \"1.x\": expected 1 to 4 numbers separated by dots"},
        {"[identity]\nversion = \"1.2.3.4.5\"\n", 2, 11, "at most four numbers"},
        {"[identity]\nversion = \"70000\"\n", 2, 11, "each number is at most 65535"},
        {"[identity]\nversion = 1\n", 2, 11, "version: expected a string like \"1.2.3\""},
        {"[identity]\ncompany = \"a\\u0000b\"\n", 2, 11, "company: contains a NUL character"},
        {"[identity]\nproduct = \"x\"\n", 2, 1, "unknown key 'product' in [identity]"},
        {"[manifest]\ndpi_awareness = \"permonitor\"\n", 2, 17,
         "dpi_awareness: expected one of unaware, system, per-monitor, per-monitor-v2, found \"permonitor\" (did you "
         "mean \"per-monitor\"?)"},
        {"[manifest]\nexecution_level = \"admin\"\n", 2, 19, "expected one of asInvoker, highestAvailable"},
        {"[manifest]\nutf8_code_page = \"yes\"\n", 2, 18, "utf8_code_page: expected a boolean"},
        {"[manifest]\nuac = true\n", 2, 1, "unknown key 'uac' in [manifest]"},
    };
    const std::string path = (dir / "bad.toml").string();
    for (const BadCase& c : cases) {
        Description d;
        std::vector<Diagnostic> errors;
        EXPECT_FALSE(parseDescription(c.toml, path, d, errors)) << c.toml;
        ASSERT_EQ(errors.size(), 1u) << c.toml << "\n" << joinDiagnostics(errors);
        EXPECT_EQ(errors[0].file, path);
        EXPECT_EQ(errors[0].line, c.line) << c.toml << "\n" << errors[0].text();
        if (c.column) {
            EXPECT_EQ(errors[0].column, c.column) << c.toml << "\n" << errors[0].text();
        }
        EXPECT_NE(errors[0].message.find(c.message), std::string::npos) << c.toml << "\n" << errors[0].text();
    }
}

TEST(PackValidation, CharactersBeyondAsciiInStringsAndCommentsAreRead) {
    const std::string toml =
        "\xEF\xBB\xBF# Caf\u00e9 \u3001 comment\n[config]\nAPPLICATION_NAME = \"Caf\u00e9 \\\" \u00e9\" # \u00e9\n"
        "SPLASH_STATUS_TEXT = 'l\u00e9'\n[wide]\nMSG_TITLE = \"\"\"\n\u3001 \"\" \\\n x\u00e9\"\"\"\n"
        "MSG_OK_WORD = '''\u00e9'''\n"
        // Characters the parser library's own whitespace test mishandled: right after a sign, and
        // at the start of a line continued by a backslash.
        "MSG_ERROR_WORD = \"+\u00e9\u3001\ufefe\"\nMSG_STARTUP_ERROR = \"\"\"a\\\n  \u00e9\\\n\u3000b\"\"\"\n";
    Description d;
    std::vector<Diagnostic> errors;
    ASSERT_TRUE(parseDescription(toml, "good.toml", d, errors)) << joinDiagnostics(errors);
    std::map<ConfigId, std::u16string> wide;
    for (const auto& record : d.contents.wide) wide[record.id] = record.text;
    EXPECT_EQ(wide[cfg::MSG_ERROR_WORD], u"+\u00e9\u3001\ufefe");
    // The trim after a line-ending backslash stops at the first character that is no blank; U+3000
    // is a blank to the parser library.
    EXPECT_EQ(wide[cfg::MSG_STARTUP_ERROR], u"a\u00e9b");
}

TEST(PackValidation, EveryErrorOfADescriptionIsReported) {
    Description d;
    std::vector<Diagnostic> errors;
    EXPECT_FALSE(parseDescription("[config]\nSPLASH_WIDTH = \"wide\"\nMAIN_CLASS = \"ok\"\nFOO = 1\n", "a.toml", d,
                                  errors));
    ASSERT_EQ(errors.size(), 2u);  // in file order
    EXPECT_EQ(errors[0].text(), "a.toml:2:16: SPLASH_WIDTH: expected an integer, found a string");
    EXPECT_EQ(errors[1].text(), "a.toml:4:1: unknown configuration name 'FOO'");
}

struct CapacityCase {
    const char* name;
    size_t capacity;  // the buffer the launcher reads the id with
};

TEST(PackValidation, ValuesUpToTheLaunchersCapacityMinusOneAreAccepted) {
    const CapacityCase cases[] = {
        {"APPLICATION_NAME", 6000}, {"APP_ARGUMENTS", 2000},      {"PREFERRED_VM_TYPE", 200},
        {"INSTALL_ROOT", 2000},     {"SPLASH_STATUS_FONT", 32},   {"SPLASH_VERSION_TEXT", 2000},
        {"MSG_NO_JVM", 6000},       {"JRE_SEARCH_SEQUENCE", 6000}};
    for (const CapacityCase& c : cases) {
        std::string fits = "[config]\n" + std::string(c.name) + " = \"" + std::string(c.capacity - 1, 'A') + "\"\n";
        Description d = parseOk(fits);
        ConfigId id = findConfigIdByName(c.name)->id;
        EXPECT_EQ(narrowValue(d.contents, id)->size(), c.capacity - 1) << c.name;

        std::string tooLong = "[config]\n" + std::string(c.name) + " = \"" + std::string(c.capacity, 'A') + "\"\n";
        std::vector<Diagnostic> errors;
        EXPECT_FALSE(parseDescription(tooLong, "a.toml", d, errors)) << c.name;
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_EQ(errors[0].line, 2u);
        EXPECT_EQ(errors[0].message, std::string(c.name) + ": value is " + std::to_string(c.capacity) +
                                         " bytes long; the launcher holds at most " + std::to_string(c.capacity - 1));
    }
    // A list counts as joined; a non-ASCII character as the one byte it takes.
    std::vector<Diagnostic> errors;
    Description d;
    EXPECT_FALSE(parseDescription("[config]\nCLASS_PATH = [\"" + std::string(3000, 'a') + "\", \"" +
                                      std::string(2999, 'b') + "\"]\n",
                                  "a.toml", d, errors));
    parseOk("[config]\nSPLASH_STATUS_FONT = \"" + std::string(30, 'x') + "\u00e9\"\n");
}

TEST(PackValidation, NarrowTextIsLimitedToLatin1) {
    struct LatinCase {
        std::string toml;
        bool accepted;
        const char* codePoint;
    };
    const LatinCase cases[] = {
        {"[config]\nMAIN_CLASS = \"\u00ff\u00c4\u00e9\"", true, ""},
        {"[config]\nMAIN_CLASS = \"\u0100\"", false, "U+0100"},
        {"[config]\nCLASS_PATH = [\"ok\", \"\u4e2d\"]", false, "U+4E2D"},
        {"[config]\nMSG_TITLE = \"\U0001F600\"", false, "U+1F600"},
        {"[records]\n\"9999\" = \"\u2013\"", false, "U+2013"},
        {"[[locale]]\ncode = \"\u0161k\"", false, "U+0161"},
        {"[wide]\nMSG_TITLE = \"\u20ac \U0001F600\"", true, ""},  // wide records hold any text
    };
    for (const LatinCase& c : cases) {
        Description d;
        std::vector<Diagnostic> errors;
        EXPECT_EQ(parseDescription(c.toml, "a.toml", d, errors), c.accepted) << c.toml;
        if (!c.accepted) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_NE(errors[0].message.find(std::string("character ") + c.codePoint), std::string::npos)
                << errors[0].text();
            EXPECT_NE(errors[0].message.find("ISO 8859-1"), std::string::npos);
        }
    }
    Description d = parseOk("[config]\nMAIN_CLASS = \"\u00ff\u00c4\u00e9\"");
    EXPECT_EQ(narrowValue(d.contents, cfg::MAIN_CLASS), std::optional<std::string>("\xff\xc4\xe9"));
    EXPECT_EQ(pack::latin1ToUtf8("\xff\xc4\xe9"), "\u00ff\u00c4\u00e9");
}

}  // namespace
}  // namespace marlo
