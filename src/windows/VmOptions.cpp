#include "windows/VmOptions.h"

#include "diag/Log.h"
#include "common/ArgVector.h"

namespace marlo {

namespace {

bool startsWith(const std::u16string& text, const char16_t* prefix) {
    size_t n = u16len(prefix);
    return text.size() >= n && text.compare(0, n, prefix) == 0;
}

bool endsWithChar(const std::string& text, char c) { return !text.empty() && text.back() == c; }

const char16_t kIncludeOptions[] = u"-include-options ";
const char16_t kClassPathReplace[] = u"-classpath ";
const char16_t kClassPathPrepend[] = u"-classpath/p ";
const char16_t kClassPathAppend[] = u"-classpath/a ";
const char16_t kFormatAsDefault[] = u"-Dsun.locale.formatasdefault=";

// One assembly run: the list, the class-path overrides seen so far and the first fatal outcome.
class Assembly {
public:
    explicit Assembly(const VmOptionsInput& input) : in_(input), sys_(input.system) {}

    VmOptionsResult run();

private:
    std::unique_ptr<OptionLineReader> openDefaultOptionsFile();
    void addConfiguredParameters();
    void addJavaArguments();
    void addLocaleOptions();
    void processOption(const std::u16string& option, const std::u16string* sourceFile, int depth);
    void includeOptions(const std::u16string& name, const std::u16string* sourceFile, int depth);
    void readVmOptionsFile(const std::u16string* path, OptionLineReader* file, int depth);
    std::string buildClassPath();
    bool addArchivesInDirectory(std::string& classPath, const std::string& directory, const char* extension);
    void addRuntimeLibrary(std::string& classPath);
    bool addClassPathEntries(std::string& classPath);
    void fail(VmOptionsError error, const std::string& detail) {
        result_.error = error;
        result_.errorDetail = detail;
    }

    const VmOptionsInput& in_;
    const VmOptionsSystem& sys_;
    VmOptionsResult result_;
    bool hasReplacement_ = false, hasPrepend_ = false, hasAppend_ = false;
    std::string replacement_, prepend_, append_;
    int includesRead_ = 0;
};

VmOptionsResult Assembly::run() {
    appendLauncherProperties(result_.options, in_.properties);
    addConfiguredParameters();
    addJavaArguments();
    addLocaleOptions();
    std::unique_ptr<OptionLineReader> file = openDefaultOptionsFile();
    logMessage(u"default vmoptions file: %p", static_cast<void*>(file.get()));
    readVmOptionsFile(nullptr, file.get(), 0);
    std::string classPath = buildClassPath();
    if (result_.error != VmOptionsError::None) return result_;
    result_.options.push_back(classPath);
    return result_;
}

std::unique_ptr<OptionLineReader> Assembly::openDefaultOptionsFile() {
    for (const std::u16string* exe : {&in_.exeLongPath, &in_.modulePath}) {
        std::u16string name = vmOptionsNameReplacing(*exe);
        std::unique_ptr<OptionLineReader> file = sys_.openOptionsFile(name);
        logMessage(u"vmoptions2: exe %s file: %s, file: %p", exe->c_str(), name.c_str(), static_cast<void*>(file.get()));
        if (file) return file;
        name = vmOptionsNameAppending(*exe);
        file = sys_.openOptionsFile(name);
        logMessage(u"vmoptions: opts2: %s, file: %p", name.c_str(), static_cast<void*>(file.get()));
        if (file) return file;
    }
    return nullptr;
}

void Assembly::addConfiguredParameters() {
    std::u16string parameters = in_.vmParameters;
    sys_.expand(parameters, true);
    ArgVector tokens;
    splitCommandLine(parameters.c_str(), tokens);
    logMessage(u"adding options");
    for (size_t i = 0; i < tokens.size(); ++i) {
        // The file name of an include is its own token here; the pair makes one option.
        if (tokens[i] == u"-include-options" && i + 1 < tokens.size()) {
            processOption(tokens[i] + u" " + tokens[i + 1], nullptr, 0);
            ++i;
        } else {
            processOption(tokens[i], nullptr, 0);
        }
    }
}

void Assembly::addJavaArguments() {
    if (!in_.passJavaArguments || !in_.args) return;
    for (const std::u16string& arg : *in_.args)
        if (startsWith(arg, u"-J")) processOption(arg.substr(2), nullptr, 0);
}

void Assembly::addLocaleOptions() {
    if (!in_.args) return;
    const std::u16string* last = nullptr;
    for (const std::u16string& arg : *in_.args)
        if (startsWith(arg, kFormatAsDefault)) last = &arg;
    if (!last) return;
    std::u16string property = *last;
    processOption(property, nullptr, 0);
    if (property == u"-Dsun.locale.formatasdefault=true") return;
    if (!in_.language.empty())
        processOption(formatWide(u"-Duser.language=%S", in_.language.c_str()), nullptr, 0);
    if (!in_.country.empty())
        processOption(formatWide(u"-Duser.country=%S", in_.country.c_str()), nullptr, 0);
}

void Assembly::processOption(const std::u16string& option, const std::u16string* sourceFile, int depth) {
    if (startsWith(option, kIncludeOptions)) {
        includeOptions(option.substr(u16len(kIncludeOptions)), sourceFile, depth);
    } else if (startsWith(option, kClassPathReplace)) {
        hasReplacement_ = true;
        replacement_ = sys_.toAnsi(option.substr(u16len(kClassPathReplace)));
    } else if (startsWith(option, kClassPathPrepend)) {
        hasPrepend_ = true;
        prepend_ = sys_.toAnsi(option.substr(u16len(kClassPathPrepend)));
    } else if (startsWith(option, kClassPathAppend)) {
        hasAppend_ = true;
        append_ = sys_.toAnsi(option.substr(u16len(kClassPathAppend)));
    } else {
        result_.options.push_back(sys_.toAnsi(option));
    }
}

void Assembly::includeOptions(const std::u16string& name, const std::u16string* sourceFile, int depth) {
    std::u16string expanded = name;
    sys_.expand(expanded, false);
    logMessage(u"after exp from %s %s", expanded.c_str(), name.c_str());
    if (depth >= kMaxIncludeDepth) {
        logError(u"vmoptions includes nested deeper than %d, not reading %s", kMaxIncludeDepth, expanded.c_str());
        return;
    }
    // A file that includes itself twice would be read 2^depth times; the whole assembly reads at
    // most so many included files.
    if (includesRead_ >= kMaxIncludedFiles) {
        logError(u"vmoptions includes more than %d files, not reading %s", kMaxIncludedFiles, expanded.c_str());
        return;
    }
    ++includesRead_;
    std::u16string resolved = sys_.makeAbsolute(expanded, sourceFile);
    std::unique_ptr<OptionLineReader> file = sys_.openOptionsFile(resolved);
    logMessage(u"adding vmoptions from (%p) <%s> (%s)", static_cast<void*>(file.get()), resolved.c_str(),
               expanded.c_str());
    readVmOptionsFile(&resolved, file.get(), depth + 1);
    logMessage(u"adding vmoptions 2");
    logMessage(u"adding vmoptions 3");
}

void Assembly::readVmOptionsFile(const std::u16string* path, OptionLineReader* file, int depth) {
    if (!file) return;
    std::string line;
    while (file->readLine(line)) {
        if (!trimOptionLine(line)) continue;
        std::u16string option = widenLatin1(line);
        sys_.expand(option, true);
        processOption(option, path, depth);
    }
}

std::string Assembly::buildClassPath() {
    std::string classPath = "-Djava.class.path=";
    if (hasPrepend_) classPath += prepend_ + ";";
    if (!in_.launcherTempDir.empty()) {
        addArchivesInDirectory(classPath, in_.launcherTempDir, "jar");
        addArchivesInDirectory(classPath, in_.launcherTempDir, "zip");
        std::string user = in_.launcherTempDir + "\\user";
        addArchivesInDirectory(classPath, user, "jar");
        addArchivesInDirectory(classPath, user, "zip");
    }
    addRuntimeLibrary(classPath);
    if (hasReplacement_) {
        classPath += replacement_;
    } else if (!addClassPathEntries(classPath)) {
        return std::string();
    }
    if (hasAppend_) {
        if (!endsWithChar(classPath, ';')) classPath += ';';
        classPath += append_;
    }
    if (endsWithChar(classPath, ';')) classPath.pop_back();
    return classPath;
}

// The kavora runtime's jar, whether the file exists or not.
void Assembly::addRuntimeLibrary(std::string& classPath) {
    if (!in_.kavora) return;
    classPath += in_.applicationDir;
    if (!endsWithChar(classPath, '\\')) classPath += '\\';
    classPath += ".kavora\\kvrruntime.jar;";
}

bool Assembly::addArchivesInDirectory(std::string& classPath, const std::string& directory, const char* extension) {
    if (!sys_.pathExists(directory)) return false;
    for (const std::string& name : sys_.listFiles(directory + "\\*." + extension))
        classPath += sys_.makeAbsoluteNarrow(directory + "\\" + name) + ";";
    return true;
}

// False after a fatal outcome.
bool Assembly::addClassPathEntries(std::string& classPath) {
    const std::string& entries = in_.classPathEntries;
    logMessage(u"classpath entry %S", entries.c_str());
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= entries.size()) {
        size_t end = entries.find(';', start);
        if (end == std::string::npos) end = entries.size();
        if (end > start) pieces.push_back(entries.substr(start, end - start));
        start = end + 1;
    }
    logMessage(u"classpath entries %d", static_cast<int>(pieces.size()));

    for (const std::string& entry : pieces) {
        char type = entry[0];
        bool required = entry.size() >= 2 && entry[1] == '1';
        std::string value = entry.size() > 2 ? entry.substr(2) : std::string();
        sys_.expandNarrow(value);
        bool found = false;
        switch (type) {
        case 'A':
        case 'D': {
            std::string resolved = sys_.resolvePathList(value);
            found = sys_.pathExists(resolved);
            classPath += resolved + ";";
            break;
        }
        case 'E': {
            std::string text;
            bool exists = sys_.getEnvironment(value, text);
            if (exists && !text.empty()) {
                if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
                classPath += text;
                if (!endsWithChar(classPath, ';')) classPath += ';';
                found = true;
            } else if (required) {
                fail(exists ? VmOptionsError::MissingClassPathEntry : VmOptionsError::MissingClassPathVariable, value);
                return false;
            }
            break;
        }
        case 'S': {
            std::string directory = sys_.makeAbsoluteNarrow(value);
            found = addArchivesInDirectory(classPath, directory, "jar");
            addArchivesInDirectory(classPath, directory, "zip");
            break;
        }
        default:
            // An unknown kind provides nothing, so a required one is missing.
            break;
        }
        if (required && !found) {
            fail(VmOptionsError::MissingClassPathEntry, value);
            return false;
        }
    }
    return true;
}

}  // namespace

void appendLauncherProperties(VmOptionList& list, const LauncherProperties& properties) {
    if (!properties.semaphoreName.empty())
        list.push_back(formatNarrow("-D%s=%s", "brenn.semaphoreName", properties.semaphoreName.c_str()));
    if (properties.kavora) list.push_back(formatNarrow("-D%s=true", "brenn.isKavora"));
    list.push_back(formatNarrow("-D%s=%s", "brenn.moduleName", properties.moduleName.c_str()));
    list.push_back(formatNarrow("-D%s=%s", "sun.java.command", properties.moduleName.c_str()));
    list.push_back(formatNarrow("-D%s=%s", "brenn.tempDir", properties.tempDir.c_str()));
    list.push_back(formatNarrow("-D%s=%d", "brenn.unextractedPosition",
                                properties.languageRestart ? -1 : static_cast<int>(properties.unextractedPosition)));
    // The variable is read into what is left of the buffer after the prefix; one that does not
    // fit leaves the value empty.
    std::string libraryPath = "-Djava.library.path=";
    if (properties.path.size() + 1 <= kLibraryPathBuffer - libraryPath.size()) libraryPath += properties.path;
    list.push_back(libraryPath);
    if (!properties.manpathSet)
        list.push_back(formatNarrow("-D%s=cp%d", "brenn.consoleCodepage", static_cast<int>(properties.consoleCodePage)));
}

bool TextLineReader::readLine(std::string& line) {
    line.clear();
    if (position_ >= text_.size()) return false;
    size_t limit = kOptionLineBuffer - 1;
    while (position_ < text_.size() && line.size() < limit) {
        char c = text_[position_++];
        line += c;
        if (c == '\n') break;
    }
    return true;
}

bool trimOptionLine(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        line.clear();
        return false;
    }
    size_t last = line.find_last_not_of(' ');
    line = line.substr(first, last - first + 1);
    return line[0] != '#';
}

std::u16string vmOptionsNameReplacing(const std::u16string& exePath) {
    size_t keep = exePath.size() >= 4 ? exePath.size() - 4 : 0;
    return exePath.substr(0, keep) + u".vmoptions";
}

std::u16string vmOptionsNameAppending(const std::u16string& exePath) { return exePath + u".vmoptions"; }

VmOptionsResult assembleVmOptions(const VmOptionsInput& input) { return Assembly(input).run(); }

void logVmOptionList(const VmOptionList& list) {
    logMessage(u"vmoption count %d", static_cast<int>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) logMessage(u"vmoption %d: %S", static_cast<int>(i), list[i].c_str());
}

}  // namespace marlo
