#include "windows/VariableExpander.h"

#include <vector>

#include "common/Text.h"
#include "diag/Log.h"
#include "diag/PathRules.h"

namespace marlo {

namespace {

const Placeholder kPlaceholders[] = {
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

void logStop(size_t limit, const std::u16string& text) {
    logMessage(u"expansion stopped: limit of %d characters reached in %s.", static_cast<int>(limit), text.c_str());
}
void logStop(size_t limit, const std::string& text) {
    logMessage(u"expansion stopped: limit of %d characters reached in %S.", static_cast<int>(limit), text.c_str());
}

// Charges one search (its characters) or replacement (the text's new size) to the budget; false
// (and the run stopped, logged once) when it would pass a limit.
template <typename String>
bool charge(ExpansionBudget& budget, const String& text, size_t newSize, size_t work) {
    if (budget.stopped) return false;
    // budget.work never exceeds limits.work, so the difference cannot wrap.
    const bool tooLong = newSize > budget.limits.length;
    if (tooLong || work > budget.limits.work - budget.work) {
        budget.stopped = true;
        logStop(tooLong ? budget.limits.length : budget.limits.work, text);
        return false;
    }
    budget.work += work;
    return true;
}

// Finds a placeholder in time linear in the text searched and the placeholder: a plain search may
// compare up to the placeholder's length at every position ("${${${..." against an environment
// name of the same shape), which hostile values turn into billions of comparisons.
template <typename String>
class PlaceholderFinder {
public:
    explicit PlaceholderFinder(const String& placeholder) : placeholder_(placeholder), fallback_(placeholder.size(), 0) {
        // fallback_[i]: the length of the longest proper prefix of placeholder[0..i] that is also
        // a suffix of it.
        for (size_t i = 1, k = 0; i < placeholder_.size(); ++i) {
            while (k > 0 && placeholder_[i] != placeholder_[k]) k = fallback_[k - 1];
            if (placeholder_[i] == placeholder_[k]) ++k;
            fallback_[i] = k;
        }
    }

    size_t find(const String& text, size_t from) const {
        size_t k = 0;  // characters of the placeholder matched so far
        for (size_t i = from; i < text.size(); ++i) {
            if (k == 0) {
                // Nothing matched: skip to the next possible start at the library's speed.
                i = text.find(placeholder_[0], i);
                if (i == String::npos) return String::npos;
            }
            while (k > 0 && text[i] != placeholder_[k]) k = fallback_[k - 1];
            if (text[i] == placeholder_[k]) ++k;
            if (k == placeholder_.size()) return i + 1 - k;
        }
        return String::npos;
    }

private:
    const String& placeholder_;
    std::vector<size_t> fallback_;
};

// Shared loop: Log writes one "expanding2" line for the text after a replacement.
template <typename String, typename Log>
void replaceEach(String& text, const String& placeholder, const String& value, ExpansionBudget* budget, Log log) {
    if (placeholder.empty()) return;
    ExpansionBudget own;
    ExpansionBudget& bound = budget ? *budget : own;
    // The searches of one call read the text once (the inserted values are skipped) and the
    // placeholder once.
    if (!charge(bound, text, 0, text.size() + placeholder.size())) return;
    const PlaceholderFinder<String> finder(placeholder);
    size_t at = finder.find(text, 0);
    while (at != String::npos) {
        const size_t newSize = text.size() - placeholder.size() + value.size();
        if (!charge(bound, text, newSize, newSize)) return;
        text.replace(at, placeholder.size(), value);
        log();
        // The inserted value is never searched for the same placeholder again.
        at = finder.find(text, at + value.size());
    }
}

template <typename Ch>
size_t entryLength(const Ch* entry) {
    size_t n = 0;
    while (entry[n]) ++n;
    return n;
}

// Walks a block of NUL-terminated "name=value" entries up to its empty entry.
template <typename Ch, typename Visit>
void forEachEntry(const Ch* block, Visit visit) {
    if (!block) return;
    for (const Ch* entry = block; *entry;) {
        size_t length = entryLength(entry);
        std::basic_string<Ch> copy(entry, length);
        size_t equals = copy.find(Ch('='));
        if (equals != std::basic_string<Ch>::npos) visit(copy.substr(0, equals), copy.substr(equals + 1));
        entry += length + 1;
    }
}

}  // namespace

const Placeholder* expansionPlaceholders(size_t* count) {
    if (count) *count = sizeof kPlaceholders / sizeof kPlaceholders[0];
    return kPlaceholders;
}

void replaceAll(std::u16string& text, const std::u16string& placeholder, const std::u16string& value,
                ExpansionBudget* budget) {
    replaceEach(text, placeholder, value, budget, [&] {
        logMessage(u"expanding2 %s to %s in %s.", placeholder.c_str(), value.c_str(), text.c_str());
    });
}

void replaceAll(std::u16string& text, const std::u16string& placeholder, const std::string& narrowValue,
                ExpansionBudget* budget) {
    replaceEach(text, placeholder, widenLatin1(narrowValue), budget, [&] {
        logMessage(u"expanding2 %s to %S in %s.", placeholder.c_str(), narrowValue.c_str(), text.c_str());
    });
}

void replaceAll(std::string& text, const std::string& placeholder, const std::string& value,
                ExpansionBudget* budget) {
    replaceEach(text, placeholder, value, budget, [&] {
        logMessage(u"expanding2 %S to %S in %S.", placeholder.c_str(), value.c_str(), text.c_str());
    });
}

size_t expandWithValues(std::u16string& text, const WideExpansionValues& values, const char16_t* environment,
                        const ExpansionLimits& limits) {
    ExpansionBudget budget;
    budget.limits = limits;
    for (const Placeholder& entry : kPlaceholders) {
        std::u16string placeholder = widenLatin1(entry.text);
        switch (entry.value) {
            case PlaceholderValue::LauncherDir:
                replaceAll(text, placeholder, values.launcherDir, &budget);
                break;
            case PlaceholderValue::LauncherTempDir:
                replaceAll(text, placeholder, values.launcherTempDir, &budget);
                break;
            case PlaceholderValue::PathListSeparator:
                replaceAll(text, placeholder, std::u16string(u";"), &budget);
                break;
            case PlaceholderValue::JvmHome:
                replaceAll(text, placeholder, values.jvmHome, &budget);
                break;
            case PlaceholderValue::SystemTempDir:
                if (values.systemTempDirNarrow) replaceAll(text, placeholder, values.systemTempDirNarrowForm, &budget);
                else replaceAll(text, placeholder, values.systemTempDir, &budget);
                break;
        }
    }
    forEachEntry(environment, [&](const std::u16string& name, const std::u16string& value) {
        std::u16string placeholder = u"${" + name + u"}";
        replaceAll(text, placeholder, value, &budget);
        upperCaseAscii(placeholder);
        replaceAll(text, placeholder, value, &budget);
    });
    return budget.work;
}

size_t expandWithValues(std::string& text, const NarrowExpansionValues& values, const char* environment,
                        const ExpansionLimits& limits) {
    ExpansionBudget budget;
    budget.limits = limits;
    for (const Placeholder& entry : kPlaceholders) {
        std::string placeholder = entry.text;
        switch (entry.value) {
            case PlaceholderValue::LauncherDir:
                replaceAll(text, placeholder, values.launcherDir, &budget);
                break;
            case PlaceholderValue::LauncherTempDir:
                replaceAll(text, placeholder, values.launcherTempDir, &budget);
                break;
            case PlaceholderValue::PathListSeparator:
                replaceAll(text, placeholder, std::string(";"), &budget);
                break;
            case PlaceholderValue::JvmHome:
                replaceAll(text, placeholder, values.jvmHome, &budget);
                break;
            case PlaceholderValue::SystemTempDir:
                replaceAll(text, placeholder, values.systemTempDir, &budget);
                break;
        }
    }
    forEachEntry(environment, [&](const std::string& name, const std::string& value) {
        std::string placeholder = "${" + name + "}";
        replaceAll(text, placeholder, value, &budget);
        upperCaseAscii(placeholder);
        replaceAll(text, placeholder, value, &budget);
    });
    return budget.work;
}

}  // namespace marlo
