// The catalogue of configuration identifiers: constant names, value types and the capacity the
// launcher reads each one with. Shared by the launcher and the packing tool, so that the tool
// refuses exactly what the launcher could not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marlo {

using ConfigId = int32_t;

namespace cfg {
// Application and Java start
constexpr ConfigId APPLICATION_NAME = 101;
constexpr ConfigId REDIRECT_STDERR = 102;
constexpr ConfigId STDERR_FILE = 103;
constexpr ConfigId REDIRECT_STDOUT = 104;
constexpr ConfigId STDOUT_FILE = 105;
constexpr ConfigId LAUNCHER_CLASS_FLAG = 106;
constexpr ConfigId EXECUTABLE_TYPE = 107;
constexpr ConfigId CLASS_PATH = 121;
constexpr ConfigId MAIN_CLASS = 122;
constexpr ConfigId VM_OPTIONS = 123;
constexpr ConfigId APP_ARGUMENTS = 124;
constexpr ConfigId J_ARGS_AS_VM_OPTIONS = 125;
// Java runtime selection
constexpr ConfigId MIN_JAVA_VERSION = 126;
constexpr ConfigId MAX_JAVA_VERSION = 127;
constexpr ConfigId JRE_SEARCH_SEQUENCE = 128;
constexpr ConfigId ALLOW_PRERELEASE_JAVA = 130;
constexpr ConfigId REQUIRE_JDK = 131;
constexpr ConfigId PREFERRED_VM_TYPE = 152;
constexpr ConfigId APPLICATION_ID = 160;
constexpr ConfigId PRIVATE_JRES_ONLY = 165;
// Start-up behaviour
constexpr ConfigId WORKING_DIRECTORY = 146;
constexpr ConfigId CONSOLE_SWITCHES = 154;
constexpr ConfigId CONSOLE_SWITCH = 156;
constexpr ConfigId SINGLE_INSTANCE_GLOBAL = 158;
constexpr ConfigId INSTALL_ROOT = 10003;
constexpr ConfigId NATIVE_LIBRARY_DIRS = 10004;
constexpr ConfigId SINGLE_INSTANCE = 10005;
constexpr ConfigId ACTIVATE_RUNNING_INSTANCE = 10007;
constexpr ConfigId LAUNCHER_FLAVOR = 2001;
constexpr ConfigId INCLUDED_FILE_COUNT = 2002;
constexpr ConfigId INCLUDED_FILES = 2003;
// Splash screen
constexpr ConfigId SPLASH_SCREEN = 108;
constexpr ConfigId SPLASH_USE_JRE_LIBRARY = 10123;
constexpr ConfigId SPLASH_WIDTH = 141;
constexpr ConfigId SPLASH_HEIGHT = 142;
constexpr ConfigId SPLASH_AUTO_HIDE = 145;
constexpr ConfigId SPLASH_TOPMOST = 147;
constexpr ConfigId SPLASH_JAVA_FLAG = 163;
constexpr ConfigId SPLASH_STATUS_X = 10109;
constexpr ConfigId SPLASH_STATUS_Y = 10110;
constexpr ConfigId SPLASH_STATUS_TEXT = 10111;
constexpr ConfigId SPLASH_STATUS_FONT = 10112;
constexpr ConfigId SPLASH_STATUS_FONT_SIZE = 10113;
constexpr ConfigId SPLASH_STATUS_COLOR = 10114;
constexpr ConfigId SPLASH_STATUS_FONT_WEIGHT = 10115;
constexpr ConfigId SPLASH_VERSION_X = 10116;
constexpr ConfigId SPLASH_VERSION_Y = 10117;
constexpr ConfigId SPLASH_VERSION_TEXT = 10118;
constexpr ConfigId SPLASH_VERSION_FONT = 10119;
constexpr ConfigId SPLASH_VERSION_FONT_SIZE = 10120;
constexpr ConfigId SPLASH_VERSION_COLOR = 10121;
constexpr ConfigId SPLASH_VERSION_FONT_WEIGHT = 10122;
// Messages
constexpr ConfigId MSG_TITLE = 1000;
constexpr ConfigId MSG_NO_JVM = 1001;
constexpr ConfigId MSG_JVM_IN_PATH_DAMAGED = 1002;
constexpr ConfigId MSG_ENV_JVM_BROKEN = 1003;
constexpr ConfigId MSG_JVM_DAMAGED = 1004;
constexpr ConfigId MSG_VM_NOT_STARTED = 1005;
constexpr ConfigId MSG_FILE_NOT_FOUND = 1006;
constexpr ConfigId MSG_WRONG_PARAMETERS = 1007;
constexpr ConfigId MSG_ENV_NOT_DEFINED = 1008;
constexpr ConfigId MSG_INTERNAL_ERROR = 1009;
constexpr ConfigId MSG_NO_MAIN_CLASS = 1010;
constexpr ConfigId MSG_NO_MAIN_METHOD = 1011;
constexpr ConfigId MSG_ERROR_WORD = 1012;
constexpr ConfigId MSG_OK_WORD = 1013;
constexpr ConfigId MSG_STARTUP_ERROR = 1014;
constexpr ConfigId MSG_POWERUSER = 1015;
constexpr ConfigId MSG_NO_JVM_BITS = 1016;
constexpr ConfigId MSG_ENV_JVM_BROKEN_32 = 1017;
constexpr ConfigId MSG_ENV_JVM_BROKEN_64 = 1018;
constexpr ConfigId MSG_JVM_DAMAGED_32 = 1019;
constexpr ConfigId MSG_JVM_DAMAGED_64 = 1020;
}  // namespace cfg

// How a record's text is laid out and which getter reads it.
enum class ValueType : uint8_t {
    Boolean,  // "1" / "0", read with getConfigInt
    Integer,  // decimal text, read with getConfigInt
    Text,     // plain text (also paths)
    List,     // entries joined by ';'
    Colour,   // "r,g,b", read with getConfigColor
    Message,  // message-box text with an optional "{0}"
    Flavor,   // one character: 'e' or 'i'
    Reserved  // carried by blocks, never read by the launcher
};

struct ConfigIdInfo {
    ConfigId id;
    const char* name;
    ValueType type;
    // Smallest capacity a reader passes (bytes or UTF-16 units; both equal the byte count of the
    // narrow record). 0: no fixed capacity. The longest usable value is capacity - 1.
    int32_t capacity;
};

// All known identifiers, ordered by id.
const ConfigIdInfo* configCatalogue(size_t* count);
const ConfigIdInfo* findConfigId(ConfigId id);
const ConfigIdInfo* findConfigIdByName(std::string_view name);
const char* valueTypeName(ValueType type);

// Decisions that follow from the flavour character of LAUNCHER_FLAVOR. The product title tests
// for 'e'; every other decision tests for 'i'.
constexpr char kBrennFlavor = 'e';
constexpr char kKavoraFlavor = 'i';
inline const char* productTitleFor(char flavor) { return flavor == kBrennFlavor ? "brenn" : "kavora"; }
inline const char16_t* productTitleWideFor(char flavor) { return flavor == kBrennFlavor ? u"brenn" : u"kavora"; }
inline bool isKavoraFlavor(char flavor) { return flavor == kKavoraFlavor; }
inline const char* launcherClassFor(char flavor) {
    return isKavoraFlavor(flavor) ? "com/kavora/runtime/launcher/WinLauncher" : "com/brenn/runtime/WinLauncher";
}
inline bool addsRuntimeJar(char flavor) { return isKavoraFlavor(flavor); }
inline bool loadsHelperLibrary(char flavor) { return isKavoraFlavor(flavor); }
inline bool runsFirstRunHook(char flavor) { return isKavoraFlavor(flavor); }
inline bool setsIsKavoraProperty(char flavor) { return isKavoraFlavor(flavor); }

}  // namespace marlo
