#include "JvmWorld.h"

#include "KavoraNatives.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace standin::jvm {

namespace {

std::string wideToUtf8(const wchar_t* text, int length) {
    if (length <= 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring toWide(UINT codePage, const char* text) {
    int length = static_cast<int>(std::strlen(text));
    if (length == 0) return std::wstring();
    int size = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &out[0], size);
    return out;
}

const char* const kPlatformClasses[] = {
    "ACLHandling", "Common", "FileVersion", "FolderInfo", "Misc", "ObjectPicker", "Registry", "ShellLink",
    "VistaFileChooser", "VistaTaskDialog", "Win32CommunicationBackend", "Win32Services", "Win32UserInfo",
};

const char kSplashSignature[] =
    "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V";

bool parseInt(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0' && value >= low && value <= high;
}

}  // namespace

std::string utf16ToUtf8(const std::u16string& text) {
    return wideToUtf8(reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()));
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::wstring wide = toWide(CP_UTF8, text.c_str());
    return std::u16string(wide.begin(), wide.end());
}

std::string ansiToUtf8(const char* text) {
    if (text == nullptr) return std::string();
    std::wstring wide = toWide(CP_ACP, text);
    return wideToUtf8(wide.data(), static_cast<int>(wide.size()));
}

std::string cleanUtf8(const char* text) {
    if (text == nullptr) return std::string();
    std::wstring wide = toWide(CP_UTF8, text);
    return wideToUtf8(wide.data(), static_cast<int>(wide.size()));
}

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

const Method* ClassDef::find(const char* methodName, const char* signature, bool wantStatic) const {
    if (methodName == nullptr || signature == nullptr) return nullptr;
    for (const Method& method : methods)
        if (method.isStatic == wantStatic && method.name == methodName && method.signature == signature)
            return &method;
    return nullptr;
}

bool parseScenario(const std::string& text, Scenario& scenario, std::string& error) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) continue;
        size_t eq = word.find('=');
        std::string key = word.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
        bool hasValue = eq != std::string::npos;
        long long number = 0;
        if (word == "create-fails") {
            scenario.createFails = true;
        } else if (word == "no-main-class") {
            scenario.noMainClass = true;
        } else if (word == "no-main-method") {
            scenario.noMainMethod = true;
        } else if (word == "no-brenn-entry") {
            scenario.noBrennEntry = true;
        } else if (word == "no-splash-method") {
            scenario.noSplashMethod = true;
        } else if (word == "main-throws") {
            scenario.mainThrows = true;
        } else if (word == "first-run=false") {
            scenario.firstRunFalse = true;
        } else if (word == "first-run-throws") {
            scenario.firstRunThrows = true;
        } else if (word == "no-first-run-class") {
            scenario.noFirstRunClass = true;
        } else if (word == "no-first-run-method") {
            scenario.noFirstRunMethod = true;
        } else if (word == "no-kavora-common") {
            scenario.noKavoraCommon = true;
        } else if (word == "init-from-launcher-throws") {
            scenario.initFromLauncherThrows = true;
        } else if (word == "no-init-from-launcher") {
            scenario.noInitFromLauncher = true;
        } else if (key == "no-platform-class" && hasValue && !value.empty()) {
            scenario.noPlatformClass.push_back(value);
        } else if (word == "no-controller") {
            scenario.noController = true;
        } else if (word == "startup-throws") {
            scenario.startupThrows = true;
        } else if ((key == "main-window" || key == "main-window-minimized") && hasValue && !value.empty()) {
            scenario.mainWindowTitle = utf8ToUtf16(value);
            scenario.mainWindowMinimized = key == "main-window-minimized";
        } else if (key == "main-waits-file" && hasValue && !value.empty()) {
            scenario.mainWaitsFile = utf8ToUtf16(value);
        } else if (key == "main-exits" && hasValue && parseInt(value, 0, 0xFFFFFFFFLL, number)) {
            scenario.mainExits = true;
            scenario.mainExitCode = static_cast<unsigned>(number);
        } else if (key == "splash-action" && hasValue) {
            Scenario::SplashAction action;
            size_t at = value.find('@');
            long long afterMs = 0;
            if (!parseInt(value.substr(0, at), -0x80000000LL, 0x7FFFFFFFLL, number) ||
                (at != std::string::npos && !parseInt(value.substr(at + 1), 0, 600000, afterMs))) {
                error = "bad scenario word " + word;
                return false;
            }
            action.value = static_cast<int>(number);
            action.afterMs = static_cast<int>(afterMs);
            scenario.splashActions.push_back(action);
        } else if (key == "main-window-delay" && hasValue && parseInt(value, 0, 600000, number)) {
            scenario.mainWindowDelayMs = static_cast<int>(number);
        } else if (word == "no-splash-controller") {
            scenario.noSplashController = true;
        } else if (key == "splash-text" && hasValue) {
            scenario.hasSplashText = true;
            scenario.splashText = utf8ToUtf16(value);
        } else if (key == "register-fails" && hasValue && !value.empty()) {
            scenario.registerFails.push_back(value);
        } else {
            error = "unknown scenario word " + word;
            return false;
        }
    }
    return true;
}

std::deque<ClassDef> buildClasses(const Scenario& scenario) {
    std::deque<ClassDef> classes;
    const std::string mainSignature = "([Ljava/lang/String;)V";
    for (const char* entry : {kEntryBrenn, kEntryKavora}) {
        if (scenario.noMainClass || (scenario.noBrennEntry && std::string(entry) == kEntryBrenn)) continue;
        ClassDef entryClass{entry, {}};
        if (!scenario.noSplashMethod) entryClass.methods.push_back({"initAwtSplashConfig", kSplashSignature, true});
        if (!scenario.noMainMethod) entryClass.methods.push_back({"main", mainSignature, true});
        classes.push_back(entryClass);
    }
    if (!scenario.noController)
        classes.push_back({"com/brenn/Controller", {{"startupPerformed", "(Ljava/lang/String;)V", true}}});
    if (!scenario.noSplashController)
        classes.push_back({"com/brenn/runtime/BrennController",
                           {{"getAction", "()I", true}, {"getText", "()Ljava/lang/String;", true}}});
    if (!scenario.noFirstRunClass) {
        ClassDef firstRun{"com/kavora/runtime/launcher/FirstRun", {}};
        if (!scenario.noFirstRunMethod) firstRun.methods.push_back({"firstRun", "()Z", true});
        classes.push_back(firstRun);
    }
    for (const char* platform : kPlatformClasses) {
        const std::string name = platform;
        if (name == "Common" && scenario.noKavoraCommon) continue;
        if (std::find(scenario.noPlatformClass.begin(), scenario.noPlatformClass.end(), name) !=
            scenario.noPlatformClass.end())
            continue;
        ClassDef platformClass{"com/kavora/runtime/installer/platform/win32/" + name, {}};
        if (name == "Common" && !scenario.noInitFromLauncher)
            platformClass.methods.push_back({"initFromLauncher", "(Z)V", true});
#define STANDIN_DECLARE_NATIVE(row, cls, method, signature) \
    if (name == #cls) platformClass.natives.push_back({#method, signature, false});
        STANDIN_KAVORA_NATIVES(STANDIN_DECLARE_NATIVE)
#undef STANDIN_DECLARE_NATIVE
        classes.push_back(platformClass);
    }
    const Method toString{"toString", "()Ljava/lang/String;", false};
    classes.push_back({"java/lang/Object", {toString}});
    classes.push_back({"java/lang/String", {toString}});
    classes.push_back({"java/lang/IllegalStateException", {toString}});
    classes.push_back({"java/lang/NoClassDefFoundError", {toString}});
    classes.push_back({"java/lang/NoSuchMethodError", {toString}});
    return classes;
}

std::string environmentUtf8(const wchar_t* name) {
    wchar_t buffer[8192];
    DWORD n = GetEnvironmentVariableW(name, buffer, 8192);
    if (n == 0 || n >= 8192) return std::string();
    return wideToUtf8(buffer, static_cast<int>(n));
}

void Record::open() {
    wchar_t buffer[4096];
    DWORD n = GetEnvironmentVariableW(L"MARLO_STANDIN_RECORD", buffer, 4096);
    path_ = (n == 0 || n >= 4096) ? std::wstring() : std::wstring(buffer, n);
}

void Record::line(const std::string& json) const {
    if (path_.empty()) return;
    // Opened per line so that a process that ends abruptly still leaves every line on disk.
    HANDLE file = CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes = json + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void Record::error(const std::string& message) const {
    line("{\"event\":\"error\",\"message\":" + jsonString(message) + "}");
}

}  // namespace standin::jvm
