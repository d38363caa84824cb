// The kavora flavour's runtime folder ".kavora" in the application directory: the native helper
// library whose exports implement native methods of the runtime's Windows platform classes, and
// the first-run hook. The brenn flavour does none of this.
#pragma once

#include <windows.h>

#include "windows/JvmInterface.h"

#include <string>

namespace marlo {

// One native method of a platform class: its Java name and JNI signature.
struct NativeMethod {
    const char* name;
    const char* signature;
};

// One platform class (its name after the package prefix) with its native methods in order.
struct NativeClass {
    const char* name;
    const NativeMethod* methods;
    size_t count;
};

constexpr const char* kPlatformPackage = "com/kavora/runtime/installer/platform/win32/";

// The export implementing a native method by the JNI short-name rule:
// "Java_" + the class name with '/' as '_' + "_" + the method name.
std::string nativeExportName(const std::string& className, const char* method);

// Loads ".kavora\kvrinst.dll" of the application directory (configuration id 10003), tells the
// Java side with initFromLauncher(true) and binds every table entry with RegisterNatives; on a
// failed registration initFromLauncher(false) follows. Nothing here stops the launch.
void loadHelperLibrary();

// Calls the static initFromLauncher(Z)V of the platform class Common; false when the class or the
// method is missing.
bool initFromLauncher(JNIEnv* env, bool fromLauncher);

// Registers the 13 platform classes in order; stops at the first that fails.
bool registerHelperNatives(JNIEnv* env, HMODULE library);
bool registerClass(JNIEnv* env, HMODULE library, const NativeClass& row);

// With the ".kavora\firstrun" marker present, asks FirstRun.firstRun() whether the start may go
// on; fatal error 1009 ("14" class, "15" method) when it cannot be asked.
bool checkFirstRun(JNIEnv* env);

}  // namespace marlo
