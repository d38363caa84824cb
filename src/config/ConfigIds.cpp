#include "config/ConfigIds.h"

#include <cstring>

namespace marlo {

namespace {

using VT = ValueType;

// Ordered by id; capacities are the smallest that any reader of the id passes.
const ConfigIdInfo kCatalogue[] = {
    {cfg::APPLICATION_NAME, "APPLICATION_NAME", VT::Text, 6000},
    {cfg::REDIRECT_STDERR, "REDIRECT_STDERR", VT::Boolean, 0},
    {cfg::STDERR_FILE, "STDERR_FILE", VT::Text, 6000},
    {cfg::REDIRECT_STDOUT, "REDIRECT_STDOUT", VT::Boolean, 0},
    {cfg::STDOUT_FILE, "STDOUT_FILE", VT::Text, 6000},
    {cfg::LAUNCHER_CLASS_FLAG, "LAUNCHER_CLASS_FLAG", VT::Boolean, 0},
    {cfg::EXECUTABLE_TYPE, "EXECUTABLE_TYPE", VT::Integer, 0},
    {cfg::SPLASH_SCREEN, "SPLASH_SCREEN", VT::Boolean, 0},
    {cfg::CLASS_PATH, "CLASS_PATH", VT::List, 6000},
    {cfg::MAIN_CLASS, "MAIN_CLASS", VT::Text, 6000},
    {cfg::VM_OPTIONS, "VM_OPTIONS", VT::Text, 6000},
    {cfg::APP_ARGUMENTS, "APP_ARGUMENTS", VT::Text, 2000},
    {cfg::J_ARGS_AS_VM_OPTIONS, "J_ARGS_AS_VM_OPTIONS", VT::Boolean, 0},
    {cfg::MIN_JAVA_VERSION, "MIN_JAVA_VERSION", VT::Text, 6000},
    {cfg::MAX_JAVA_VERSION, "MAX_JAVA_VERSION", VT::Text, 6000},
    {cfg::JRE_SEARCH_SEQUENCE, "JRE_SEARCH_SEQUENCE", VT::List, 6000},
    {cfg::ALLOW_PRERELEASE_JAVA, "ALLOW_PRERELEASE_JAVA", VT::Boolean, 0},
    {cfg::REQUIRE_JDK, "REQUIRE_JDK", VT::Boolean, 0},
    {cfg::SPLASH_WIDTH, "SPLASH_WIDTH", VT::Integer, 0},
    {cfg::SPLASH_HEIGHT, "SPLASH_HEIGHT", VT::Integer, 0},
    {cfg::SPLASH_AUTO_HIDE, "SPLASH_AUTO_HIDE", VT::Boolean, 0},
    {cfg::WORKING_DIRECTORY, "WORKING_DIRECTORY", VT::Text, 6000},
    {cfg::SPLASH_TOPMOST, "SPLASH_TOPMOST", VT::Boolean, 0},
    {149, "RESERVED_149", VT::Reserved, 0},
    {150, "RESERVED_150", VT::Reserved, 0},
    {151, "RESERVED_151", VT::Reserved, 0},
    {cfg::PREFERRED_VM_TYPE, "PREFERRED_VM_TYPE", VT::Text, 200},
    {153, "RESERVED_153", VT::Reserved, 0},
    {cfg::CONSOLE_SWITCHES, "CONSOLE_SWITCHES", VT::Boolean, 0},
    {155, "RESERVED_155", VT::Reserved, 0},
    {cfg::CONSOLE_SWITCH, "CONSOLE_SWITCH", VT::Boolean, 0},
    {157, "RESERVED_157", VT::Reserved, 0},
    {cfg::SINGLE_INSTANCE_GLOBAL, "SINGLE_INSTANCE_GLOBAL", VT::Boolean, 0},
    {159, "RESERVED_159", VT::Reserved, 0},
    {cfg::APPLICATION_ID, "APPLICATION_ID", VT::Text, 6000},
    {161, "RESERVED_161", VT::Reserved, 0},
    {cfg::SPLASH_JAVA_FLAG, "SPLASH_JAVA_FLAG", VT::Boolean, 0},
    {164, "RESERVED_164", VT::Reserved, 0},
    {cfg::PRIVATE_JRES_ONLY, "PRIVATE_JRES_ONLY", VT::Boolean, 0},
    {cfg::MSG_TITLE, "MSG_TITLE", VT::Message, 6000},
    {cfg::MSG_NO_JVM, "MSG_NO_JVM", VT::Message, 6000},
    {cfg::MSG_JVM_IN_PATH_DAMAGED, "MSG_JVM_IN_PATH_DAMAGED", VT::Message, 6000},
    {cfg::MSG_ENV_JVM_BROKEN, "MSG_ENV_JVM_BROKEN", VT::Message, 6000},
    {cfg::MSG_JVM_DAMAGED, "MSG_JVM_DAMAGED", VT::Message, 6000},
    {cfg::MSG_VM_NOT_STARTED, "MSG_VM_NOT_STARTED", VT::Message, 6000},
    {cfg::MSG_FILE_NOT_FOUND, "MSG_FILE_NOT_FOUND", VT::Message, 6000},
    {cfg::MSG_WRONG_PARAMETERS, "MSG_WRONG_PARAMETERS", VT::Message, 6000},
    {cfg::MSG_ENV_NOT_DEFINED, "MSG_ENV_NOT_DEFINED", VT::Message, 6000},
    {cfg::MSG_INTERNAL_ERROR, "MSG_INTERNAL_ERROR", VT::Message, 6000},
    {cfg::MSG_NO_MAIN_CLASS, "MSG_NO_MAIN_CLASS", VT::Message, 6000},
    {cfg::MSG_NO_MAIN_METHOD, "MSG_NO_MAIN_METHOD", VT::Message, 6000},
    {cfg::MSG_ERROR_WORD, "MSG_ERROR_WORD", VT::Message, 6000},
    {cfg::MSG_OK_WORD, "MSG_OK_WORD", VT::Message, 6000},
    {cfg::MSG_STARTUP_ERROR, "MSG_STARTUP_ERROR", VT::Message, 6000},
    {cfg::MSG_POWERUSER, "MSG_POWERUSER", VT::Message, 6000},
    {cfg::MSG_NO_JVM_BITS, "MSG_NO_JVM_BITS", VT::Message, 6000},
    {cfg::MSG_ENV_JVM_BROKEN_32, "MSG_ENV_JVM_BROKEN_32", VT::Message, 6000},
    {cfg::MSG_ENV_JVM_BROKEN_64, "MSG_ENV_JVM_BROKEN_64", VT::Message, 6000},
    {cfg::MSG_JVM_DAMAGED_32, "MSG_JVM_DAMAGED_32", VT::Message, 6000},
    {cfg::MSG_JVM_DAMAGED_64, "MSG_JVM_DAMAGED_64", VT::Message, 6000},
    {cfg::LAUNCHER_FLAVOR, "LAUNCHER_FLAVOR", VT::Flavor, 2},
    {cfg::INCLUDED_FILE_COUNT, "INCLUDED_FILE_COUNT", VT::Integer, 0},
    {cfg::INCLUDED_FILES, "INCLUDED_FILES", VT::List, 0},
    {cfg::INSTALL_ROOT, "INSTALL_ROOT", VT::Text, 2000},
    {cfg::NATIVE_LIBRARY_DIRS, "NATIVE_LIBRARY_DIRS", VT::List, 6000},
    {cfg::SINGLE_INSTANCE, "SINGLE_INSTANCE", VT::Boolean, 0},
    {cfg::ACTIVATE_RUNNING_INSTANCE, "ACTIVATE_RUNNING_INSTANCE", VT::Boolean, 0},
    {cfg::SPLASH_STATUS_X, "SPLASH_STATUS_X", VT::Integer, 0},
    {cfg::SPLASH_STATUS_Y, "SPLASH_STATUS_Y", VT::Integer, 0},
    {cfg::SPLASH_STATUS_TEXT, "SPLASH_STATUS_TEXT", VT::Text, 2000},
    {cfg::SPLASH_STATUS_FONT, "SPLASH_STATUS_FONT", VT::Text, 32},
    {cfg::SPLASH_STATUS_FONT_SIZE, "SPLASH_STATUS_FONT_SIZE", VT::Integer, 0},
    {cfg::SPLASH_STATUS_COLOR, "SPLASH_STATUS_COLOR", VT::Colour, 2000},
    {cfg::SPLASH_STATUS_FONT_WEIGHT, "SPLASH_STATUS_FONT_WEIGHT", VT::Integer, 0},
    {cfg::SPLASH_VERSION_X, "SPLASH_VERSION_X", VT::Integer, 0},
    {cfg::SPLASH_VERSION_Y, "SPLASH_VERSION_Y", VT::Integer, 0},
    {cfg::SPLASH_VERSION_TEXT, "SPLASH_VERSION_TEXT", VT::Text, 2000},
    {cfg::SPLASH_VERSION_FONT, "SPLASH_VERSION_FONT", VT::Text, 32},
    {cfg::SPLASH_VERSION_FONT_SIZE, "SPLASH_VERSION_FONT_SIZE", VT::Integer, 0},
    {cfg::SPLASH_VERSION_COLOR, "SPLASH_VERSION_COLOR", VT::Colour, 2000},
    {cfg::SPLASH_VERSION_FONT_WEIGHT, "SPLASH_VERSION_FONT_WEIGHT", VT::Integer, 0},
    {cfg::SPLASH_USE_JRE_LIBRARY, "SPLASH_USE_JRE_LIBRARY", VT::Boolean, 0},
};

}  // namespace

const ConfigIdInfo* configCatalogue(size_t* count) {
    *count = sizeof kCatalogue / sizeof kCatalogue[0];
    return kCatalogue;
}

const ConfigIdInfo* findConfigId(ConfigId id) {
    for (const ConfigIdInfo& info : kCatalogue)
        if (info.id == id) return &info;
    return nullptr;
}

const ConfigIdInfo* findConfigIdByName(std::string_view name) {
    for (const ConfigIdInfo& info : kCatalogue)
        if (name == info.name) return &info;
    return nullptr;
}

const char* valueTypeName(ValueType type) {
    switch (type) {
        case ValueType::Boolean: return "boolean";
        case ValueType::Integer: return "integer";
        case ValueType::Text: return "text";
        case ValueType::List: return "list";
        case ValueType::Colour: return "colour";
        case ValueType::Message: return "message";
        case ValueType::Flavor: return "flavour";
        case ValueType::Reserved: return "reserved";
    }
    return "?";
}

}  // namespace marlo
