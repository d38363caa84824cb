// What the launcher needs of the Java VM: the JNI invocation interface of jvm.dll, the arguments
// it is created with, and the process-wide VM state other threads attach through.
// Windows only: <jni.h> resolves its platform header to windows/jni/jni_md.h.
#pragma once

#include <jni.h>

#include <atomic>
#include <type_traits>
#include <vector>

#include "windows/VmOptions.h"

// jvm.dll is built for the Windows ABI; a mismatch here would corrupt every JNI call.
static_assert(sizeof(jint) == 4 && std::is_same<jint, long>::value, "jint is a 32-bit long");
static_assert(sizeof(jlong) == 8, "jlong is 64 bits");
static_assert(std::is_same<jbyte, signed char>::value, "jbyte is a signed char");
static_assert(sizeof(jboolean) == 1 && sizeof(jchar) == 2, "JNI base types");
static_assert(sizeof(jchar) == sizeof(char16_t), "Java strings are UTF-16");

namespace marlo {

// The type of jvm.dll's JNI_CreateJavaVM export.
using CreateJavaVmFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);
static_assert(std::is_same<CreateJavaVmFunction, decltype(&::JNI_CreateJavaVM)>::value,
              "the entry point type matches the JNI declaration");
#if defined(__i386__) || defined(_M_IX86)
// On 32-bit Windows the calling convention is part of the type: a cdecl call would unbalance the
// stack on return.
static_assert(!std::is_same<CreateJavaVmFunction, jint (*)(JavaVM**, void**, void*)>::value,
              "JNI_CreateJavaVM is called with __stdcall");
#endif

// JNI_CreateJavaVM of the loaded VM library (jvmEntryPoint), or null before one was loaded.
CreateJavaVmFunction createJavaVmEntry();

// Created once per process; vmCreated stays set once the VM exists, also after it was destroyed.
struct JvmState {
    JavaVM* vm = nullptr;
    JNIEnv* mainEnv = nullptr;  // the main thread's environment
    std::atomic<bool> vmCreated{false};
};

inline JvmState& jvmState() {
    static JvmState state;
    return state;
}

// The initialisation arguments for a list of options. options receives one entry per string and
// must outlive the creation call, like the list itself.
inline void fillInitArgs(const VmOptionList& list, std::vector<JavaVMOption>& options, JavaVMInitArgs& args) {
    options.clear();
    options.reserve(list.size());
    for (const std::string& text : list) {
        JavaVMOption option;
        option.optionString = const_cast<char*>(text.c_str());
        option.extraInfo = nullptr;
        options.push_back(option);
    }
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.empty() ? nullptr : options.data();
    args.ignoreUnrecognized = JNI_TRUE;
}

}  // namespace marlo
