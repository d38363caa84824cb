#include "windows/KavoraRuntime.h"

#include <string>

#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "windows/JavaVMLauncher.h"

namespace marlo {

namespace {

const char kCommonClass[] = "com/kavora/runtime/installer/platform/win32/Common";
const char kFirstRunClass[] = "com/kavora/runtime/launcher/FirstRun";

// The native methods of the runtime's platform classes, in registration order.
const NativeMethod kACLHandling[] = {
    {"addACE", "(Ljava/lang/String;ZZZZZILjava/lang/String;)Z"},
};
const NativeMethod kCommon[] = {
    {"setWindows95", "(Z)V"},
    {"setWindowsNT", "(Z)V"},
};
const NativeMethod kFileVersion[] = {
    {"compare0", "(Ljava/lang/String;Ljava/lang/String;)I"},
};
const NativeMethod kFolderInfo[] = {
    {"getSpecialFolder0", "(IZ)Ljava/lang/String;"},
    {"getPathFromRegistry0", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"getWindowsDirectory0", "()Ljava/lang/String;"},
    {"getSystemDirectory0", "()Ljava/lang/String;"},
    {"getDriveType0", "(Ljava/lang/String;)I"},
    {"getShortPathName0", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"getDownloadsDirectory0", "()Ljava/lang/String;"},
};
const NativeMethod kMisc[] = {
    {"reboot0", "()V"},
    {"getRunningModules0", "(Z)[Ljava/lang/String;"},
    {"getEnvVarPairs0", "()[Ljava/lang/String;"},
    {"broadcastSettingChange0", "()V"},
    {"getPhysicalMemory0", "()J"},
    {"getFreeDiskSpace0", "(Ljava/lang/String;)J"},
    {"moveWithDelayUntilReboot0", "(Ljava/lang/String;Ljava/lang/String;)Z"},
    {"toFront0", "()V"},
    {"terminateProcesses0", "([IZI)I"},
    {"getWindowTitle0", "(I)Ljava/lang/String;"},
};
const NativeMethod kObjectPicker[] = {
    {"show0", "(ZZZZZ)[Lcom/kavora/runtime/installer/platform/win32/ObjectPicker$Result;"},
};
const NativeMethod kRegistry[] = {
    {"keyExists0", "(ILjava/lang/String;I)Z"},
    {"createKey0", "(ILjava/lang/String;I)Z"},
    {"getValue0", "(ILjava/lang/String;Ljava/lang/String;I)Ljava/lang/Object;"},
    {"setValue0", "(ILjava/lang/String;Ljava/lang/String;Ljava/lang/Object;II)Z"},
    {"deleteValue0", "(ILjava/lang/String;Ljava/lang/String;I)V"},
    {"deleteKey0", "(ILjava/lang/String;ZI)V"},
    {"saveKey0", "(ILjava/lang/String;Ljava/lang/String;I)Z"},
    {"restoreKey0", "(ILjava/lang/String;Ljava/lang/String;I)Z"},
    {"enumSubKeys0", "(ILjava/lang/String;I)[Ljava/lang/String;"},
    {"enumValues0", "(ILjava/lang/String;I)[Ljava/lang/String;"},
    {"changeNotifyAssociations0", "()V"},
};
const NativeMethod kShellLink[] = {
    {"createWide0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZLjava/lang/String;I)Z"},
    {"changeNotify0", "([B[B)Z"},
    {"initialize0", "()Z"},
    {"uninitialize", "()Z"},
};
const NativeMethod kVistaFileChooser[] = {
    {"initialize0", "()V"},
    {"displayDialog0", "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IIZLjava/lang/String;[Ljava/lang/String;[Ljava/lang/String;I[Ljava/lang/String;[Z)[Ljava/lang/String;"},
};
const NativeMethod kVistaTaskDialog[] = {
    {"show0", "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;IIILjava/lang/String;[Ljava/lang/String;I)I"},
};
const NativeMethod kWin32CommunicationBackend[] = {
    {"getInvalidHandle0", "()J"},
    {"createListener0", "(Ljava/lang/String;)J"},
    {"readDataBlock0", "(J)[B"},
    {"writeDataBlock0", "(J[B)Z"},
    {"connectClient0", "(Ljava/lang/String;)J"},
    {"connectNamedPipe0", "(J)Z"},
    {"disconnectNamedPipe0", "(J)V"},
    {"closeHandle0", "(J)V"},
    {"isProcessAlive0", "(I)Z"},
    {"getCurrentProcessId0", "()I"},
};
const NativeMethod kWin32Services[] = {
    {"installService0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"},
    {"changeServiceConfig0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IILjava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"},
    {"setRestartServiceConfig0", "(Ljava/lang/String;ZI)I"},
    {"stopService0", "(Ljava/lang/String;)I"},
    {"startService0", "(Ljava/lang/String;)I"},
    {"uninstallService0", "(Ljava/lang/String;)I"},
    {"queryStatus0", "(Ljava/lang/String;)I"},
    {"getStartType0", "(Ljava/lang/String;)I"},
    {"getServiceBinary0", "(Ljava/lang/String;)Ljava/lang/String;"},
};
const NativeMethod kWin32UserInfo[] = {
    {"isMemberOfGroup0", "(I)Z"},
    {"executeElevated0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)Z"},
    {"getElevationType0", "()I"},
    {"addUser0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZZ)Ljava/lang/String;"},
    {"deleteUser0", "(Ljava/lang/String;Ljava/lang/String;)I"},
    {"deleteLocalGroup0", "(Ljava/lang/String;Ljava/lang/String;)I"},
    {"getAccountName0", "(Ljava/lang/String;Z)Ljava/lang/String;"},
    {"getUserProfileDirectory0", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;"},
    {"getUserSid0", "()Ljava/lang/String;"},
    {"setLsaAccountRight0", "(Ljava/lang/String;Ljava/lang/String;Z)Z"},
};

const NativeClass kHelperClasses[] = {
    {"ACLHandling", kACLHandling, sizeof kACLHandling / sizeof kACLHandling[0]},
    {"Common", kCommon, sizeof kCommon / sizeof kCommon[0]},
    {"FileVersion", kFileVersion, sizeof kFileVersion / sizeof kFileVersion[0]},
    {"FolderInfo", kFolderInfo, sizeof kFolderInfo / sizeof kFolderInfo[0]},
    {"Misc", kMisc, sizeof kMisc / sizeof kMisc[0]},
    {"ObjectPicker", kObjectPicker, sizeof kObjectPicker / sizeof kObjectPicker[0]},
    {"Registry", kRegistry, sizeof kRegistry / sizeof kRegistry[0]},
    {"ShellLink", kShellLink, sizeof kShellLink / sizeof kShellLink[0]},
    {"VistaFileChooser", kVistaFileChooser, sizeof kVistaFileChooser / sizeof kVistaFileChooser[0]},
    {"VistaTaskDialog", kVistaTaskDialog, sizeof kVistaTaskDialog / sizeof kVistaTaskDialog[0]},
    {"Win32CommunicationBackend", kWin32CommunicationBackend, sizeof kWin32CommunicationBackend / sizeof kWin32CommunicationBackend[0]},
    {"Win32Services", kWin32Services, sizeof kWin32Services / sizeof kWin32Services[0]},
    {"Win32UserInfo", kWin32UserInfo, sizeof kWin32UserInfo / sizeof kWin32UserInfo[0]},
};

// A failed lookup leaves a NoClassDefFoundError or NoSuchMethodError pending. It is cleared so
// that the launch goes on with a VM that answers the next calls.
void clearFailedLookup(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionClear();
}

// The application directory (configuration id 10003) made canonical against the launcher
// directory, narrow.
std::string applicationDirectory() {
    std::string configured = getConfigStringCopy(cfg::INSTALL_ROOT);
    std::string canonical;
    canonicalPath(canonical, configured, true);
    return canonical;
}

}  // namespace

std::string nativeExportName(const std::string& className, const char* method) {
    std::string name = "Java_";
    for (char c : className) name += c == '/' ? '_' : c;
    name += '_';
    name += method;
    return name;
}

bool initFromLauncher(JNIEnv* env, bool fromLauncher) {
    jclass cls = env->FindClass(kCommonClass);
    if (!cls) {
        clearFailedLookup(env);
        logError(u"did not find com/kavora/runtime/installer/platform/win32/Common");
        return false;
    }
    bool called = false;
    jmethodID method = env->GetStaticMethodID(cls, "initFromLauncher", "(Z)V");
    if (method) {
        env->CallStaticVoidMethod(cls, method, fromLauncher ? JNI_TRUE : JNI_FALSE);
        called = true;
        // What the Java side throws here is its own failure; it is logged and cleared so that the
        // registration and the main call do not run into it.
        describeException(env, true);
    } else {
        clearFailedLookup(env);
        logError(u"did not find initMethod");
    }
    env->DeleteLocalRef(cls);
    return called;
}

bool registerClass(JNIEnv* env, HMODULE library, const NativeClass& row) {
    const std::string className = std::string(kPlatformPackage) + row.name;
    jclass cls = env->FindClass(className.c_str());
    if (!cls) {
        clearFailedLookup(env);
        logError(u"could not load class %S", className.c_str());
        return false;
    }
    JNINativeMethod methods[16];
    bool complete = row.count <= sizeof methods / sizeof methods[0];
    for (size_t i = 0; complete && i < row.count; ++i) {
        const std::string exportName = nativeExportName(className, row.methods[i].name);
        FARPROC function = GetProcAddress(library, exportName.c_str());
        if (!function) {
            logError(u"did not find %S", exportName.c_str());
            complete = false;
            break;
        }
        methods[i].name = const_cast<char*>(row.methods[i].name);
        methods[i].signature = const_cast<char*>(row.methods[i].signature);
        methods[i].fnPtr = reinterpret_cast<void*>(function);
    }
    bool registered = false;
    if (complete) {
        jint result = env->RegisterNatives(cls, methods, static_cast<jint>(row.count));
        if (result != 0) {
            // A real VM raises NoSuchMethodError for a method the class does not declare native.
            clearFailedLookup(env);
            logError(u"register %S failed %d", className.c_str(), static_cast<int>(result));
        } else {
            registered = true;
        }
    }
    env->DeleteLocalRef(cls);
    return registered;
}

bool registerHelperNatives(JNIEnv* env, HMODULE library) {
    for (const NativeClass& row : kHelperClasses)
        if (!registerClass(env, library, row)) return false;
    return true;
}

void loadHelperLibrary() {
    if (!loadsHelperLibrary(launcherFlavor())) return;
    logMessage(u"load helper dll");
    char16_t configured[4000];
    getConfigWString(cfg::INSTALL_ROOT, configured, 4000);
    std::u16string path;
    makeAbsolute(path, configured, nullptr, false);
    if (!path.empty() && path.back() != u'\\') path += u'\\';
    path += u".kavora\\kvrinst.dll";
    HMODULE library = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
    logMessage(u"helper dll %p %s", static_cast<void*>(library), path.c_str());
    // The library stays loaded until the process ends: the VM calls into it from now on.
    if (!library) return;
    JNIEnv* env = jvmState().mainEnv;
    if (!initFromLauncher(env, true)) return;
    if (!registerHelperNatives(env, library)) {
        logError(u"registering helper dll failed");
        initFromLauncher(env, false);
    }
}

bool checkFirstRun(JNIEnv* env) {
    const std::string marker = applicationDirectory() + "\\.kavora\\firstrun";
    if (!pathExists(marker)) return true;
    jclass cls = env->FindClass(kFirstRunClass);
    if (!cls) fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "14");
    jmethodID method = env->GetStaticMethodID(cls, "firstRun", "()Z");
    if (!method) fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "15");
    const bool goOn = env->CallStaticBooleanMethod(cls, method) == JNI_TRUE;
    if (!describeException(env, true)) return false;
    return goOn;
}

}  // namespace marlo
