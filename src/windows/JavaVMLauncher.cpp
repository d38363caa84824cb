#include "windows/JavaVMLauncher.h"

#include <vector>

#include "common/StartupState.h"
#include "common/Win.h"
#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "windows/JvmInterface.h"
#include "windows/KavoraRuntime.h"
#include "windows/MainArguments.h"
#include "windows/VariableExpander.h"

namespace marlo {

namespace {

const char* entryClass() { return launcherClassFor(launcherFlavor()); }

// STDERR_FILE / STDOUT_FILE when their switch is on: expanded, and made canonical against the
// launcher directory unless the result still begins with "$".
std::u16string redirectionFile(ConfigId enabled, ConfigId file) {
    if (getConfigInt(enabled) == 0) return std::u16string();
    char16_t buffer[6000];
    getConfigWString(file, buffer, 6000);
    std::u16string value(buffer);
    expandVariables(value, false);
    if (!value.empty() && value[0] == u'$') return value;
    std::u16string canonical;
    canonicalPath(canonical, value, true, false);
    return canonical;
}

bool createJavaVm(const ArgVector& args, const LauncherProperties& properties) {
    VmOptionList list = buildVmOptions(args, properties);
    std::vector<JavaVMOption> options;
    JavaVMInitArgs initArgs;
    fillInitArgs(list, options, initArgs);
    logVmOptionList(list);
    logMessage(u"Creating JVM");
    CreateJavaVmFunction create = createJavaVmEntry();
    if (!create) return false;
    JvmState& state = jvmState();
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (create(&vm, &env, &initArgs) != 0) return false;
    state.vm = vm;
    state.mainEnv = static_cast<JNIEnv*>(env);
    return true;
}

void passSplashSettings(JNIEnv* env) {
    if (getConfigInt(cfg::SPLASH_SCREEN) == 0 || getConfigInt(cfg::SPLASH_USE_JRE_LIBRARY) == 0) return;
    // A failed lookup leaves an exception pending; it is cleared so that the launch goes on with a
    // VM that answers the next lookups.
    jclass cls = env->FindClass("com/brenn/runtime/WinLauncher");
    if (!cls) {
        env->ExceptionClear();
        logError(u"could not find main class for splash properties");
        return;
    }
    jmethodID method = env->GetStaticMethodID(
        cls, "initAwtSplashConfig",
        "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V");
    if (!method) {
        env->ExceptionClear();
        env->DeleteLocalRef(cls);
        logError(u"could not find method for splash properties");
        return;
    }
    auto text = [env](ConfigId id) {
        char buffer[2000];
        getConfigString(id, buffer, sizeof buffer);
        return env->NewStringUTF(buffer);
    };
    jstring statusText = text(cfg::SPLASH_STATUS_TEXT);
    jstring statusColor = text(cfg::SPLASH_STATUS_COLOR);
    jstring versionText = text(cfg::SPLASH_VERSION_TEXT);
    jstring versionColor = text(cfg::SPLASH_VERSION_COLOR);
    auto integer = [](ConfigId id) { return static_cast<jint>(getConfigInt(id)); };
    env->CallStaticVoidMethod(cls, method, static_cast<jboolean>(JNI_TRUE),
                              static_cast<jboolean>(getConfigInt(cfg::SPLASH_JAVA_FLAG) != 0), statusText,
                              integer(cfg::SPLASH_STATUS_X), integer(cfg::SPLASH_STATUS_Y), statusColor,
                              integer(cfg::SPLASH_STATUS_FONT_SIZE), integer(cfg::SPLASH_STATUS_FONT_WEIGHT),
                              versionText, integer(cfg::SPLASH_VERSION_X), integer(cfg::SPLASH_VERSION_Y),
                              versionColor, integer(cfg::SPLASH_VERSION_FONT_SIZE),
                              integer(cfg::SPLASH_VERSION_FONT_WEIGHT));
    env->DeleteLocalRef(statusText);
    env->DeleteLocalRef(statusColor);
    env->DeleteLocalRef(versionText);
    env->DeleteLocalRef(versionColor);
    env->DeleteLocalRef(cls);
    // The settings are a courtesy: an exception they raise is logged and does not stop the launch.
    describeException(env, false);
}

// The exception's own text, asked for while no exception is pending (a VM allows nothing else).
// Whatever toString itself throws is dropped.
void logExceptionText(JNIEnv* env, jthrowable exception) {
    jclass cls = env->GetObjectClass(exception);
    if (!cls) return;
    jmethodID toString = env->GetMethodID(cls, "toString", "()Ljava/lang/String;");
    env->DeleteLocalRef(cls);
    if (!toString) {
        env->ExceptionClear();
        return;
    }
    auto text = static_cast<jstring>(env->CallObjectMethod(exception, toString));
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return;
    }
    if (!text) return;
    jsize length = env->GetStringLength(text);
    const jchar* chars = env->GetStringChars(text, nullptr);
    if (chars) {
        std::u16string copy(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length > 0 ? length : 0));
        env->ReleaseStringChars(text, chars);
        logError(u"%s", copy.c_str());
    }
    env->DeleteLocalRef(text);
}

}  // namespace

bool describeException(JNIEnv* env, bool describe) {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) return true;
    logError(u"an exception occured");
    // Taken and cleared first; thrown again so that the VM can describe it itself.
    env->ExceptionClear();
    logExceptionText(env, exception);
    if (describe && env->Throw(exception) == JNI_OK) env->ExceptionDescribe();
    env->ExceptionClear();
    env->DeleteLocalRef(exception);
    return false;
}

namespace {

bool invokeMain(JNIEnv* env, const ArgVector& args) {
    if (runsFirstRunHook(launcherFlavor()) && !checkFirstRun(env)) {
        logMessage(u"checkFirstRun stopped further execution");
        return true;
    }
    const char* className = entryClass();
    logMessage(u"main class: %S", className);
    jclass cls = env->FindClass(className);
    if (!cls) {
        logError(u"could not find main class");
        fatalConfiguredErrorW(cfg::MSG_NO_MAIN_CLASS);
    }
    jmethodID mainMethod = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        logError(u"could not find main method");
        fatalConfiguredErrorW(cfg::MSG_NO_MAIN_METHOD);
    }

    MainArgumentsInput input;
    input.guiType = getConfigInt(cfg::EXECUTABLE_TYPE) == 1;
    char16_t mainClass[6000];
    getConfigWString(cfg::MAIN_CLASS, mainClass, 6000);
    input.mainClass = mainClass;
    input.stderrFile = redirectionFile(cfg::REDIRECT_STDERR, cfg::STDERR_FILE);
    input.stdoutFile = redirectionFile(cfg::REDIRECT_STDOUT, cfg::STDOUT_FILE);
    input.launcherClassFlag = getConfigInt(cfg::LAUNCHER_CLASS_FLAG) != 0;
    input.args = &args;
    char16_t appArguments[2000];
    getConfigWString(cfg::APP_ARGUMENTS, appArguments, 2000);
    input.appArguments = appArguments;
    expandVariables(input.appArguments, false);
    input.jArgsAsVmOptions = getConfigInt(cfg::J_ARGS_AS_VM_OPTIONS) != 0;
    std::vector<std::u16string> parameters = buildMainArguments(input);
    logMessage(u"param count: %d", static_cast<int>(parameters.size()));

    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array =
        stringClass ? env->NewObjectArray(static_cast<jsize>(parameters.size()), stringClass, nullptr) : nullptr;
    if (!array) {
        // The VM could not even hold the arguments; nothing sensible can follow.
        logError(u"could not create the argument array");
        return false;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
        logMessage(u"param %d: %s", static_cast<int>(i), parameters[i].c_str());
        jstring value = env->NewString(reinterpret_cast<const jchar*>(parameters[i].data()),
                                       static_cast<jsize>(parameters[i].size()));
        if (!value) {
            logError(u"could not create argument %d", static_cast<int>(i));
            return false;
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), value);
        env->DeleteLocalRef(value);
    }
    logMessage(u"calling main");
    env->CallStaticVoidMethod(cls, mainMethod, array);
    logMessage(u"main returned");
    return describeException(env, true);
}

}  // namespace

bool launchProgram(const ArgVector& args, bool destroyVm) {
    logMessage(u"launching program");
    LauncherProperties properties = gatherLauncherProperties(startupState().semaphoreName, unextractedPosition());
    if (!createJavaVm(args, properties)) {
        logError(u"could not initialize JVM");
        return false;
    }
    logMessage(u"JVM created");
    JvmState& state = jvmState();
    state.vmCreated = true;
    JNIEnv* env = state.mainEnv;
    passSplashSettings(env);
    loadHelperLibrary();
    if (!invokeMain(env, args)) {
        logError(u"could not call main");
        return false;
    }
    if (destroyVm) {
        logMessage(u"dest JVM");
        state.vm->DestroyJavaVM();
    }
    logMessage(u"launch done");
    return true;
}

}  // namespace marlo
