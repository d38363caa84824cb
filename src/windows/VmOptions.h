// Assembly of the VM options handed to the Java VM: the launcher's system properties, configured
// VM parameters, "-J" arguments, locale options, the .vmoptions file with its includes, and the
// class path last. The assembly works on given inputs; everything that asks the system comes in
// through VmOptionsSystem, so the rules run on the host too (VmOptionsWin.cpp wires the process).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/ArgVector.h"
#include "common/Text.h"

namespace marlo {

// Option strings in the order the VM receives them; narrow, in the file-API code page.
using VmOptionList = std::vector<std::string>;

// "java.library.path" gets PATH only when prefix, value and terminator fit in 12000 bytes.
constexpr size_t kLibraryPathBuffer = 12000;
// A .vmoptions line is read into a buffer of this many bytes; longer lines arrive in pieces.
constexpr size_t kOptionLineBuffer = 6000;
// Nested "-include-options" files deeper than this are not followed (a cycle would never end).
constexpr int kMaxIncludeDepth = 16;
// Included files read in one assembly, all depths together.
constexpr int kMaxIncludedFiles = 64;

// The launcher's own system properties, passed first.
struct LauncherProperties {
    std::string semaphoreName;  // empty when the single-instance guard created none
    bool kavora = false;
    std::string moduleName;     // the executable's ANSI-safe narrow path
    std::string tempDir;        // the launcher's temporary directory, empty when none
    bool languageRestart = false;
    int32_t unextractedPosition = 0;
    std::string path;           // the PATH variable now; empty when unset
    bool manpathSet = false;
    uint32_t consoleCodePage = 0;
};

void appendLauncherProperties(VmOptionList& list, const LauncherProperties& properties);

// Reads an options file the way the C library's fgets does with a kOptionLineBuffer buffer over a
// file opened in text mode: each piece ends after a line feed or after kOptionLineBuffer - 1
// bytes, whichever comes first.
class OptionLineReader {
public:
    virtual ~OptionLineReader() = default;
    // False at the end of the file.
    virtual bool readLine(std::string& line) = 0;
};

// The same over text already in memory (line ends as text mode delivers them).
class TextLineReader : public OptionLineReader {
public:
    explicit TextLineReader(std::string text) : text_(std::move(text)) {}
    bool readLine(std::string& line) override;

private:
    std::string text_;
    size_t position_ = 0;
};

// A .vmoptions line as an option: line ends and surrounding blanks (the space only) removed;
// false when nothing is left or the line is a "#" comment.
bool trimOptionLine(std::string& line);

// The default options file names for an executable path: the path with its last four characters
// replaced by ".vmoptions", and the path with ".vmoptions" appended.
std::u16string vmOptionsNameReplacing(const std::u16string& exePath);
std::u16string vmOptionsNameAppending(const std::u16string& exePath);

// What the assembly asks of the system.
struct VmOptionsSystem {
    // The variable expanders (placeholders and environment).
    std::function<void(std::u16string& text, bool ansiSafe)> expand;
    std::function<void(std::string& text)> expandNarrow;
    // UTF-16 to the file-API code page.
    std::function<std::string(const std::u16string& text)> toAnsi;
    // Wide makeAbsolute against the directory of baseFile (null: the launcher directory), long form.
    std::function<std::u16string(const std::u16string& path, const std::u16string* baseFile)> makeAbsolute;
    // Narrow makeAbsolute against the launcher directory.
    std::function<std::string(const std::string& path)> makeAbsoluteNarrow;
    // Each ';'-separated part made absolute, parts joined by ';'.
    std::function<std::string(const std::string& list)> resolvePathList;
    std::function<bool(const std::string& path)> pathExists;
    // File names (without directory) matching a pattern such as "dir\*.jar", in listing order.
    std::function<std::vector<std::string>(const std::string& pattern)> listFiles;
    // False when the variable does not exist; value empty when it exists without a value.
    std::function<bool(const std::string& name, std::string& value)> getEnvironment;
    // Opens an options file in text mode; null when it cannot be opened.
    std::function<std::unique_ptr<OptionLineReader>(const std::u16string& path)> openOptionsFile;
};

struct VmOptionsInput {
    LauncherProperties properties;
    const ArgVector* args = nullptr;
    std::u16string vmParameters;     // configuration id 123
    bool passJavaArguments = false;  // configuration id 125: "-J" arguments go to the VM
    std::string language;            // configLanguage, empty when absent
    std::string country;             // configCountry, empty when absent
    // The executable's long path, and its path as the system reports it for the running module:
    // the .vmoptions file beside it is looked for under both.
    std::u16string exeLongPath;
    std::u16string modulePath;
    std::string launcherTempDir;
    bool kavora = false;
    std::string applicationDir;      // where the kavora runtime folder lives
    std::string classPathEntries;    // configuration id 121
    VmOptionsSystem system;
};

// The fatal outcomes of the assembly; the caller shows them and ends the process.
enum class VmOptionsError { None = 0, MissingClassPathEntry = 1006, MissingClassPathVariable = 1008 };

struct VmOptionsResult {
    VmOptionList options;  // complete only without an error
    VmOptionsError error = VmOptionsError::None;
    std::string errorDetail;  // the entry's expanded value or the variable's name
};

VmOptionsResult assembleVmOptions(const VmOptionsInput& input);

// Writes the count and every option to the diagnostic log.
void logVmOptionList(const VmOptionList& list);

// The process's side (Windows).
// The launcher properties of this process; the semaphore name is empty when the single-instance
// guard created none.
LauncherProperties gatherLauncherProperties(const std::string& semaphoreName, int32_t unextractedPosition);
// The system calls behind the assembly.
VmOptionsSystem processVmOptionsSystem();
// The configuration's and the process's inputs.
VmOptionsInput gatherVmOptionsInput(const ArgVector& args, const LauncherProperties& properties);
// The complete list; a missing required class-path entry ends the process (fatal error 1006 with
// the entry, 1008 with the variable).
VmOptionList buildVmOptions(const ArgVector& args, const LauncherProperties& properties);

}  // namespace marlo
