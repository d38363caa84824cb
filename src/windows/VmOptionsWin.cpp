// The process's side of the VM start: the inputs of the option assembly from the configuration,
// the environment and the file system, and the loaded VM library's entry point as a typed call.
#include <cstdio>
#include <memory>

#include "common/Win.h"
#include "config/ConfigIds.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "diag/Paths.h"
#include "diag/TempDir.h"
#include "jre/JvmLoader.h"
#include "common/StartupState.h"
#include "windows/JvmInterface.h"
#include "windows/VariableExpander.h"
#include "windows/VmOptions.h"

namespace marlo {

namespace {

// fgets over a file opened in text mode; closes it when done.
class FileLineReader : public OptionLineReader {
public:
    explicit FileLineReader(FILE* file) : file_(file) {}
    ~FileLineReader() override { std::fclose(file_); }
    FileLineReader(const FileLineReader&) = delete;
    FileLineReader& operator=(const FileLineReader&) = delete;

    bool readLine(std::string& line) override {
        char buffer[kOptionLineBuffer];
        if (!std::fgets(buffer, sizeof buffer, file_)) return false;
        line = buffer;
        return true;
    }

private:
    FILE* file_;
};

// A variable's value read into a buffer of capacity bytes. False when the variable does not
// exist; a value that does not fit leaves the buffer, and so the value, empty.
bool readEnvironment(const char* name, size_t capacity, std::string& value) {
    value.clear();
    std::unique_ptr<char[]> buffer(new char[capacity]);
    buffer[0] = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableA(name, buffer.get(), static_cast<DWORD>(capacity));
    if (length == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (length < capacity) value.assign(buffer.get(), length);
    return true;
}

std::vector<std::string> listFiles(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::u16string modulePath() {
    std::u16string path(kPathLimit, u'\0');
    DWORD length = GetModuleFileNameW(nullptr, W(&path[0]), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

}  // namespace

LauncherProperties gatherLauncherProperties(const std::string& semaphoreName, int32_t unextractedPosition) {
    LauncherProperties p;
    p.semaphoreName = semaphoreName;
    p.kavora = setsIsKavoraProperty(launcherFlavor());
    p.moduleName = launcherExePath().narrow;
    p.tempDir = launcherTempDir();
    p.languageRestart = startupState().languageRestart;
    p.unextractedPosition = unextractedPosition;
    // The buffer holds the full length; the assembly decides whether the value fits.
    readEnvironment("PATH", 48000, p.path);
    std::string unused;
    p.manpathSet = readEnvironment("MANPATH", 2, unused);
    p.consoleCodePage = GetConsoleOutputCP();
    return p;
}

VmOptionsSystem processVmOptionsSystem() {
    VmOptionsSystem s;
    s.expand = [](std::u16string& text, bool ansiSafe) { expandVariables(text, ansiSafe); };
    s.expandNarrow = [](std::string& text) { expandVariablesNarrow(text); };
    s.toAnsi = [](const std::u16string& text) { return toAnsi(text.c_str()); };
    s.makeAbsolute = [](const std::u16string& path, const std::u16string* baseFile) {
        std::u16string out;
        makeAbsolute(out, path, baseFile ? baseFile->c_str() : nullptr, false);
        return out;
    };
    s.makeAbsoluteNarrow = [](const std::string& path) {
        std::string out;
        makeAbsolute(out, path);
        return out;
    };
    s.resolvePathList = [](const std::string& list) {
        std::string out;
        resolvePathList(out, list);
        return out;
    };
    s.pathExists = [](const std::string& path) { return pathExists(path); };
    s.listFiles = listFiles;
    s.getEnvironment = [](const std::string& name, std::string& value) {
        return readEnvironment(name.c_str(), kPathLimit, value);
    };
    s.openOptionsFile = [](const std::u16string& path) -> std::unique_ptr<OptionLineReader> {
        FILE* file = _wfopen(W(path.c_str()), L"rt");
        if (!file) return nullptr;
        return std::make_unique<FileLineReader>(file);
    };
    return s;
}

VmOptionsInput gatherVmOptionsInput(const ArgVector& args, const LauncherProperties& properties) {
    VmOptionsInput in;
    in.properties = properties;
    in.args = &args;
    std::unique_ptr<char16_t[]> wide(new char16_t[kPathLimit]);
    getConfigWString(cfg::VM_OPTIONS, wide.get(), static_cast<int>(kPathLimit));
    in.vmParameters = wide.get();
    in.passJavaArguments = getConfigInt(cfg::J_ARGS_AS_VM_OPTIONS) != 0;
    char code[3];
    if (configLanguage(code)) in.language = code;
    if (configCountry(code)) in.country = code;
    in.exeLongPath = launcherExePath().wideLong;
    in.modulePath = modulePath();
    in.launcherTempDir = launcherTempDir();
    in.kavora = addsRuntimeJar(launcherFlavor());
    std::unique_ptr<char[]> narrow(new char[kPathLimit]);
    if (in.kavora) {
        getConfigString(cfg::INSTALL_ROOT, narrow.get(), static_cast<int>(kPathLimit));
        canonicalPath(in.applicationDir, narrow.get(), true);
    }
    getConfigString(cfg::CLASS_PATH, narrow.get(), static_cast<int>(kPathLimit));
    in.classPathEntries = narrow.get();
    in.system = processVmOptionsSystem();
    return in;
}

VmOptionList buildVmOptions(const ArgVector& args, const LauncherProperties& properties) {
    VmOptionsResult result = assembleVmOptions(gatherVmOptionsInput(args, properties));
    switch (result.error) {
    case VmOptionsError::None:
        break;
    case VmOptionsError::MissingClassPathEntry:
        fatalConfiguredError(cfg::MSG_FILE_NOT_FOUND, result.errorDetail.c_str());
    case VmOptionsError::MissingClassPathVariable:
        fatalConfiguredError(cfg::MSG_ENV_NOT_DEFINED, result.errorDetail.c_str());
    }
    return result.options;
}

CreateJavaVmFunction createJavaVmEntry() {
    return reinterpret_cast<CreateJavaVmFunction>(jvmEntryPoint());
}

}  // namespace marlo
