#include "KeyReference.h"

#include <algorithm>
#include <cctype>

#include "Description.h"
#include "config/ConfigIds.h"

namespace marlo::pack {

namespace {

const char kStart[] = "Application and Java start";
const char kRuntime[] = "Java runtime selection";
const char kStartup[] = "Start-up behaviour";
const char kInstance[] = "Single instance";
const char kSplash[] = "Splash screen";
const char kFiles[] = "Included files";
const char kMessages[] = "Messages";

const std::vector<KeyDoc> kKeyDocs = {
    {"APPLICATION_NAME", kStart, "Short name of the application; the title of the native splash window."},
    {"EXECUTABLE_TYPE", kStart,
     "1: GUI application (errors in message boxes, the runtime started through javaw.exe); 5: console "
     "application that still shows message boxes; anything else: console application with errors on "
     "standard error."},
    {"LAUNCHER_FLAVOR", kStart,
     "\"brenn\" or \"kavora\": which runtime entry class is called; kavora also adds its runtime jar, "
     "helper library and first-run hook from .kavora under INSTALL_ROOT."},
    {"MAIN_CLASS", kStart, "The application's main class in dotted form, handed to the runtime's entry class."},
    {"CLASS_PATH", kStart,
     "Class-path entries: a letter, a digit and a path. A archive, D directory (both relative to the "
     "executable), E variable holding a path list, S folder scanned for .jar and .zip; digit 1 makes a "
     "missing entry an error."},
    {"VM_OPTIONS", kStart,
     "Options for the Java VM, split like a command line after variable expansion; "
     "\"-include-options FILE\" reads more from a file."},
    {"APP_ARGUMENTS", kStart,
     "Arguments put before the user's command-line arguments of the application; split like a command line."},
    {"J_ARGS_AS_VM_OPTIONS", kStart,
     "Command-line arguments beginning with -J become VM options (without the -J) instead of application "
     "arguments."},
    {"REDIRECT_STDERR", kStart, "Hand STDERR_FILE to the runtime as the file for the application's standard error."},
    {"STDERR_FILE", kStart,
     "Standard-error file of the application; variables expanded, relative to the executable unless it "
     "still begins with $."},
    {"REDIRECT_STDOUT", kStart, "Hand STDOUT_FILE to the runtime as the file for the application's standard output."},
    {"STDOUT_FILE", kStart, "Standard-output file of the application, treated as STDERR_FILE."},
    {"LAUNCHER_CLASS_FLAG", kStart, "A flag passed on to the runtime's entry class as \"true\" or \"false\"."},
    {"MIN_JAVA_VERSION", kRuntime, "Lowest Java version accepted, for example 1.8.0_60; empty for no lower bound."},
    {"MAX_JAVA_VERSION", kRuntime, "Highest Java version accepted; empty for no upper bound."},
    {"JRE_SEARCH_SEQUENCE", kRuntime,
     "Where to look for a runtime, in order: a letter and its argument. A, B and R a runtime directory "
     "(relative to the executable; relative ones are tried once more without the version check), E an "
     "environment variable, S the search path, Y the registry keys of Java 8 and older, V the runtimes that "
     "current distributions register (newest first, read from their release files). For new "
     "applications: Bjre (a bundled runtime), EJAVA_HOME, V, S."},
    {"ALLOW_PRERELEASE_JAVA", kRuntime, "Accept early-access, beta and release-candidate versions."},
    {"REQUIRE_JDK", kRuntime, "Accept only a development kit (one with lib\\tools.jar; for V also one with bin\\javac.exe)."},
    {"PREFERRED_VM_TYPE", kRuntime,
     "VM library folder tried first, for example \"server\"; empty for the built-in order."},
    {"APPLICATION_ID", kRuntime,
     "Identifier under which installations of the application are registered; their runtimes are "
     "searched too. Empty turns that search off."},
    {"PRIVATE_JRES_ONLY", kRuntime,
     "Skip the registry of installed runtimes; of the recorded runtimes only those under a kvr_jres folder "
     "count."},
    {"WORKING_DIRECTORY", kStartup,
     "Folder to change to before the start, relative to the executable; empty leaves the working directory "
     "as it is."},
    {"CONSOLE_SWITCHES", kStartup, "Allow the launcher switches -q, -c and -console on the command line."},
    {"CONSOLE_SWITCH", kStartup, "Allow the launcher switch -console alone."},
    {"INSTALL_ROOT", kStartup,
     "The application directory, relative to the executable (\".\" for its own folder); holds the .kavora "
     "runtime folder and the runtime location files."},
    {"NATIVE_LIBRARY_DIRS", kStartup,
     "Folders put before PATH ahead of loading the VM, relative to the executable, separated by ;."},
    {"SINGLE_INSTANCE", kInstance,
     "Only one copy runs: a second start hands its command line to the running one and ends."},
    {"ACTIVATE_RUNNING_INSTANCE", kInstance,
     "A second start also brings the running copy's windows to the front."},
    {"SINGLE_INSTANCE_GLOBAL", kInstance,
     "One copy per machine instead of one per session (the guard's name begins with Global\\)."},
    {"SPLASH_SCREEN", kSplash, "Show a splash screen while the application starts."},
    {"SPLASH_USE_JRE_LIBRARY", kSplash,
     "Show the splash through the runtime's splashscreen.dll once it is loaded, instead of the launcher's "
     "own window at start (the only kind pivok has)."},
    {"SPLASH_WIDTH", kSplash, "Width of the splash window and its bitmap, in pixels."},
    {"SPLASH_HEIGHT", kSplash, "Height of the splash window and its bitmap, in pixels."},
    {"SPLASH_AUTO_HIDE", kSplash, "Close the splash as soon as the application shows a window of its own."},
    {"SPLASH_TOPMOST", kSplash, "Keep the splash window above all other windows."},
    {"SPLASH_JAVA_FLAG", kSplash,
     "A flag passed to the runtime's splash settings (with SPLASH_USE_JRE_LIBRARY)."},
    {"SPLASH_STATUS_X", kSplash, "Left edge of the status line, in pixels from the splash's left edge."},
    {"SPLASH_STATUS_Y", kSplash, "Top of the status line, in pixels from the splash's top edge."},
    {"SPLASH_STATUS_TEXT", kSplash, "The status line's first text; the application may change it while it starts."},
    {"SPLASH_STATUS_FONT", kSplash, "Font face of the status line."},
    {"SPLASH_STATUS_FONT_SIZE", kSplash, "Font size of the status line, in points."},
    {"SPLASH_STATUS_COLOR", kSplash, "Colour of the status line, as [red, green, blue]."},
    {"SPLASH_STATUS_FONT_WEIGHT", kSplash, "Font weight of the status line: 400 normal, 700 bold."},
    {"SPLASH_VERSION_X", kSplash, "Left edge of the version line, in pixels."},
    {"SPLASH_VERSION_Y", kSplash, "Top of the version line, in pixels."},
    {"SPLASH_VERSION_TEXT", kSplash, "Text of the version line."},
    {"SPLASH_VERSION_FONT", kSplash, "Font face of the version line."},
    {"SPLASH_VERSION_FONT_SIZE", kSplash, "Font size of the version line, in points."},
    {"SPLASH_VERSION_COLOR", kSplash, "Colour of the version line, as [red, green, blue]."},
    {"SPLASH_VERSION_FONT_WEIGHT", kSplash, "Font weight of the version line: 400 normal, 700 bold."},
    {"INCLUDED_FILE_COUNT", kFiles,
     "Number of included files; follows from [[files]] and is given by hand only without them."},
    {"INCLUDED_FILES", kFiles,
     "Names of the included files in storage order; follows from [[files]] and is given by hand only "
     "without them."},
    {"MSG_TITLE", kMessages, "Title of every message box."},
    {"MSG_NO_JVM", kMessages, "No runtime found (carried for the Java side; the launcher shows MSG_NO_JVM_BITS)."},
    {"MSG_JVM_IN_PATH_DAMAGED", kMessages, "The runtime on the search path is damaged (carried, not shown)."},
    {"MSG_ENV_JVM_BROKEN", kMessages, "An environment variable names no working runtime (carried, not shown)."},
    {"MSG_JVM_DAMAGED", kMessages, "A runtime is damaged (carried, not shown)."},
    {"MSG_VM_NOT_STARTED", kMessages, "The Java VM could not be created or the main call failed."},
    {"MSG_FILE_NOT_FOUND", kMessages, "A mandatory class-path entry is missing; {0} is the entry."},
    {"MSG_WRONG_PARAMETERS", kMessages, "Wrong command-line use (carried, not shown)."},
    {"MSG_ENV_NOT_DEFINED", kMessages, "A mandatory class-path variable is not defined; {0} is its name."},
    {"MSG_INTERNAL_ERROR", kMessages, "An internal error; {0} is its code."},
    {"MSG_NO_MAIN_CLASS", kMessages, "The runtime's entry class could not be loaded."},
    {"MSG_NO_MAIN_METHOD", kMessages, "The entry class has no main method."},
    {"MSG_ERROR_WORD", kMessages, "The word for an error (carried, not shown)."},
    {"MSG_OK_WORD", kMessages, "The word for a confirming button (carried, not shown)."},
    {"MSG_STARTUP_ERROR", kMessages, "Heading of a start-up error (carried, not shown)."},
    {"MSG_POWERUSER", kMessages, "No usable temporary folder for the included files."},
    {"MSG_NO_JVM_BITS", kMessages, "No suitable runtime was found; {0} is the launcher's bit width."},
    {"MSG_ENV_JVM_BROKEN_32", kMessages, "An environment variable names no working 32-bit runtime; {0} is its name."},
    {"MSG_ENV_JVM_BROKEN_64", kMessages, "An environment variable names no working 64-bit runtime; {0} is its name."},
    {"MSG_JVM_DAMAGED_32", kMessages, "The 32-bit runtime at {0} is damaged."},
    {"MSG_JVM_DAMAGED_64", kMessages, "The 64-bit runtime at {0} is damaged."},
};

// How a value of the type is written in a description.
const char* tomlForm(ValueType type) {
    switch (type) {
    case ValueType::Boolean: return "boolean";
    case ValueType::Integer: return "integer";
    case ValueType::Text: return "string";
    case ValueType::List: return "array of strings";
    case ValueType::Colour: return "[r, g, b]";
    case ValueType::Message: return "string";
    case ValueType::Flavor: return "\"brenn\" / \"kavora\"";
    case ValueType::Reserved: return "string";
    }
    return "string";
}

std::string capacityText(const ConfigIdInfo& info) {
    if (info.capacity <= 0 || info.type == ValueType::Flavor) return "";
    return std::to_string(info.capacity - 1) + " bytes";
}

// What the block holds when the description leaves the key out, where that is not empty or false.
std::string defaultText(const ConfigIdInfo& info) {
    if (info.id == cfg::EXECUTABLE_TYPE) return "1";
    if (info.id == cfg::LAUNCHER_FLAVOR) return "\"brenn\"";
    if (info.id == cfg::INCLUDED_FILE_COUNT) return "0";
    if (const char* message = defaultMessageText(info.id)) {
        std::string quoted = "\"";
        for (const char* c = message; *c; ++c) quoted += *c == '\n' ? std::string("\\n") : std::string(1, *c);
        return quoted + "\"";
    }
    return "";
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Insertions, deletions, substitutions and swaps of neighbours, each counting one.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

const std::vector<KeyDoc>& keyDocs() { return kKeyDocs; }

std::string keysText() {
    std::string out;
    const char* group = nullptr;
    for (const KeyDoc& doc : kKeyDocs) {
        const ConfigIdInfo* info = findConfigIdByName(doc.name);
        if (!info) continue;
        if (!group || std::string(group) != doc.group) {
            out += std::string(group ? "\n" : "") + doc.group + "\n";
            group = doc.group;
        }
        out += "  " + std::string(doc.name) + " (" + tomlForm(info->type);
        const std::string capacity = capacityText(*info);
        if (!capacity.empty()) out += ", at most " + capacity;
        out += ", id " + std::to_string(info->id) + ")\n      " + doc.meaning + "\n";
        const std::string byDefault = defaultText(*info);
        if (!byDefault.empty()) out += "      Default: " + byDefault + "\n";
    }
    return out;
}

std::string keysMarkdown() {
    std::string out =
        "# Configuration keys\n\n"
        "The keys of the `[config]` table of an application description, grouped by what they control. "
        "Generated by `marlo-pack keys --markdown`; a test keeps this page current.\n\n"
        "Types: boolean (`true` / `false`), integer, string, array of strings (joined with `;`), colour "
        "(`[red, green, blue]`, 0 to 255). A string may be at most as long as its limit; a key left out "
        "is empty, 0 or false unless a default is given.\n";
    const char* group = nullptr;
    for (const KeyDoc& doc : kKeyDocs) {
        const ConfigIdInfo* info = findConfigIdByName(doc.name);
        if (!info) continue;
        if (!group || std::string(group) != doc.group) {
            out += std::string("\n## ") + doc.group + "\n\n| Key | Type | Limit | Id | What it does |\n"
                   "|---|---|---|---|---|\n";
            group = doc.group;
        }
        std::string meaning = doc.meaning;
        const std::string byDefault = defaultText(*info);
        if (!byDefault.empty()) meaning += " Default: `" + byDefault + "`.";
        std::string type = tomlForm(info->type);
        std::string escaped;
        for (char c : meaning) escaped += c == '|' ? std::string("\\|") : std::string(1, c);
        out += "| `" + std::string(doc.name) + "` | " + type + " | " + capacityText(*info) + " | " +
               std::to_string(info->id) + " | " + escaped + " |\n";
    }
    return out;
}

std::string nearestName(std::string_view name, const std::vector<std::string>& candidates) {
    const std::string wanted = lowerAscii(name);
    std::string best;
    size_t bestDistance = 0;
    for (const std::string& candidate : candidates) {
        size_t d = editDistance(wanted, lowerAscii(candidate));
        if (best.empty() || d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    // A likely typo: a few letters off, and not most of the name.
    const size_t limit = std::max<size_t>(1, std::min<size_t>(3, wanted.size() / 3));
    return !best.empty() && bestDistance <= limit ? best : std::string();
}

std::string nearestKey(std::string_view name) {
    std::vector<std::string> names;
    size_t count = 0;
    const ConfigIdInfo* catalogue = configCatalogue(&count);
    for (size_t i = 0; i < count; ++i)
        if (catalogue[i].type != ValueType::Reserved) names.push_back(catalogue[i].name);
    return nearestName(name, names);
}

}  // namespace marlo::pack
