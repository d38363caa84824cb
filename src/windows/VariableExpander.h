// Placeholders in configured paths, options and arguments: the launcher's own places, then every
// environment variable. The portable core works on given values and a given environment block;
// expandVariables / expandVariablesNarrow (VariableExpanderWin.cpp) supply the process's values.
#pragma once

#include <string>

namespace marlo {

// What a placeholder of the fixed list stands for.
enum class PlaceholderValue { LauncherDir, LauncherTempDir, PathListSeparator, JvmHome, SystemTempDir };

struct Placeholder {
    const char* text;
    PlaceholderValue value;
};

// The fixed list in the order it is applied; *count receives its length.
const Placeholder* expansionPlaceholders(size_t* count);

// Bounds of one expansion run. Values that name each other ("${A}" holding "${B}${B}", and so on)
// would otherwise double the text at every environment entry, and a long text searched for every
// environment entry costs time even where nothing is replaced. A replacement that would make the
// text longer than kMaxExpandedLength, or a search or replacement that would take the run's work
// (characters searched and written) past kMaxExpansionWork, is not made: the run stops there, logs
// "expansion stopped: limit of %d characters reached in %s." once, and leaves the rest of the text
// as it is.
constexpr size_t kMaxExpandedLength = 262144;
constexpr size_t kMaxExpansionWork = 67108864;

struct ExpansionLimits {
    size_t length = kMaxExpandedLength;
    size_t work = kMaxExpansionWork;
};

struct ExpansionBudget {
    ExpansionLimits limits;
    size_t work = 0;  // characters searched and written so far
    bool stopped = false;
};

// Replaces every occurrence of placeholder, searching on after each inserted value, and logs
// each replacement ("expanding2 ..."). The narrow-value form widens each byte to one unit.
// Without a budget the call has one of its own.
void replaceAll(std::u16string& text, const std::u16string& placeholder, const std::u16string& value,
                ExpansionBudget* budget = nullptr);
void replaceAll(std::u16string& text, const std::u16string& placeholder, const std::string& narrowValue,
                ExpansionBudget* budget = nullptr);
void replaceAll(std::string& text, const std::string& placeholder, const std::string& value,
                ExpansionBudget* budget = nullptr);

// Values for the wide expander. Narrow values are inserted byte for unit.
struct WideExpansionValues {
    std::u16string launcherDir;        // ends with a backslash
    std::string launcherTempDir;       // empty when the launcher made none
    std::string jvmHome;               // empty before a runtime was chosen
    bool systemTempDirNarrow = false;  // which of the two forms below applies
    std::string systemTempDirNarrowForm;
    std::u16string systemTempDir;
};

struct NarrowExpansionValues {
    std::string launcherDir;
    std::string launcherTempDir;
    std::string jvmHome;
    std::string systemTempDir;
};

// Applies the fixed list, then the environment pass over a block of "name=value" entries, each
// NUL-terminated, the block ending with an empty entry (nullptr or an empty block skips the pass).
// For every entry "${name}" and its ASCII upper-cased form are replaced by the value; hidden
// entries such as "=C:=C:\dir" have an empty name. The whole run shares one budget; the work it
// did is returned.
size_t expandWithValues(std::u16string& text, const WideExpansionValues& values, const char16_t* environment,
                        const ExpansionLimits& limits = ExpansionLimits());
size_t expandWithValues(std::string& text, const NarrowExpansionValues& values, const char* environment,
                        const ExpansionLimits& limits = ExpansionLimits());

// The process's expanders (Windows): values from the executable's directory, the launcher's
// temporary directory, the Java home, chooseTempRoot (every run; may be fatal) and the process
// environment. ansiSafe picks the narrow-safe directory forms.
void expandVariables(std::u16string& text, bool ansiSafe);
void expandVariablesNarrow(std::string& text);

}  // namespace marlo
