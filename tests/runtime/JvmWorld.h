// The scripted side of the stand-in jvm.dll: its classes and objects, the scenario a test picks
// through MARLO_STANDIN_SCENARIO and the JSON-lines record named by MARLO_STANDIN_RECORD. Both
// variables are read by JNI_CreateJavaVM.
//
// Scenario words (comma-separated): create-fails, no-main-class, no-main-method, no-brenn-entry (the
// brenn entry class is missing, the kavora one is there), no-splash-method, main-throws,
// main-waits-file=<path> (up to 120 s), main-exits=<code>, first-run=false, first-run-throws,
// splash-action=<n>[@<ms>] (repeatable: getAction's answers in turn, then 0; with @ms an answer
// waits, with 0 given meanwhile, until ms after the VM was created), splash-text=<text>,
// no-splash-controller (com/brenn/runtime/BrennController is missing),
// register-fails=<class or short class name>, no-first-run-class, no-first-run-method,
// no-kavora-common (the platform class Common is missing), no-init-from-launcher (Common lacks
// initFromLauncher), init-from-launcher-throws, no-platform-class=<short class name>, no-controller (com/brenn/Controller is missing),
// startup-throws (startupPerformed throws), main-window=<title> and main-window-minimized=<title>
// (main opens a visible top-level window, normal or minimised, and keeps its messages flowing
// while it waits), main-window-delay=<ms> (main opens that window only after ms). An unknown word makes JNI_CreateJavaVM fail.
//
// Record lines: create (version, ignoreUnrecognized, the current directory cwd, options), call
// (thread, fn, and the class, method, signature and arguments or the looked-up name and whether it
// was found), main (class, args), window (the handle main opened, qpc), splashAction (a non-zero
// answer of getAction: value, qpc), startupPerformed (thread, arg:
// the text or null, qpc: the performance counter), splash (class, args), registerNatives (class, result, methods: name, signature and export,
// whether the function is the export of that name of the library it lies in, and module, that library's file name), attach
// (daemon, thread), detach, destroy, and error (message) for every misuse the VM noticed. Thread 0
// created the VM; attached threads count on from 1.
//
// As in a real VM, a failed FindClass leaves a NoClassDefFoundError pending and a failed
// GetMethodID / GetStaticMethodID a NoSuchMethodError. While an exception is pending only the
// exception functions, ReleaseStringChars and DeleteLocalRef may be called; any other call is
// recorded as an error, and lookups then answer null. RegisterNatives binds only methods the class
// declares native (the kavora platform classes, KavoraNatives.h); any other name or signature
// raises NoSuchMethodError and binds nothing, as a real VM does.
#pragma once

#include <windows.h>

#include <jni.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace standin::jvm {

// Text conversions for the record, which is UTF-8 throughout.
std::string utf16ToUtf8(const std::u16string& text);
std::u16string utf8ToUtf16(const std::string& text);
std::string ansiToUtf8(const char* text);  // VM options come in the file-API code page
std::string cleanUtf8(const char* text);   // names from the caller; bad bytes become U+FFFD
std::string jsonString(const std::string& utf8);

struct Method {
    std::string name;
    std::string signature;
    bool isStatic = true;
};

struct ClassDef {
    std::string name;
    std::vector<Method> methods;
    std::vector<Method> natives = {};  // declared native: what RegisterNatives may bind

    const Method* find(const char* methodName, const char* signature, bool wantStatic) const;
};

enum class Kind { Class, String, Array, Throwable };

struct Object {
    Kind kind = Kind::String;
    const ClassDef* cls = nullptr;  // the class an object of Kind::Class stands for, else its own class
    std::u16string text;            // a string's characters, a throwable's toString
    std::vector<std::shared_ptr<Object>> elements;
};
using ObjectPtr = std::shared_ptr<Object>;

struct Scenario {
    bool createFails = false;
    bool noMainClass = false;
    bool noMainMethod = false;
    bool noBrennEntry = false;
    bool noSplashMethod = false;
    bool mainThrows = false;
    bool firstRunFalse = false;
    bool firstRunThrows = false;
    std::u16string mainWaitsFile;
    bool mainExits = false;
    unsigned mainExitCode = 0;
    struct SplashAction {
        int value = 0;
        int afterMs = 0;  // not before this long after the VM was created
    };
    std::deque<SplashAction> splashActions;  // getAction's answers in turn, then 0
    bool hasSplashText = false;
    std::u16string splashText;
    std::vector<std::string> registerFails;  // classes whose RegisterNatives answers -1
    bool noController = false;
    bool startupThrows = false;
    std::u16string mainWindowTitle;  // empty: main opens no window
    bool mainWindowMinimized = false;
    int mainWindowDelayMs = 0;
    bool noSplashController = false;
    bool noFirstRunClass = false;
    bool noFirstRunMethod = false;
    bool noKavoraCommon = false;
    bool noInitFromLauncher = false;
    bool initFromLauncherThrows = false;
    std::vector<std::string> noPlatformClass;  // short names of kavora platform classes left out
};

// Comma-separated words; false and a message for a word the stand-in does not know.
bool parseScenario(const std::string& text, Scenario& scenario, std::string& error);

// The class table of one VM life, shaped by the scenario.
std::deque<ClassDef> buildClasses(const Scenario& scenario);

constexpr const char* kEntryBrenn = "com/brenn/runtime/WinLauncher";
constexpr const char* kEntryKavora = "com/kavora/runtime/launcher/WinLauncher";
constexpr const char* kScriptedFailure = "java.lang.IllegalStateException: scripted failure";

// Appends JSON lines to the record file; silent when no file was named.
class Record {
public:
    void open();  // reads MARLO_STANDIN_RECORD
    void line(const std::string& json) const;
    void error(const std::string& message) const;

private:
    std::wstring path_;
};

// An environment variable as UTF-8; empty when unset.
std::string environmentUtf8(const wchar_t* name);

}  // namespace standin::jvm
