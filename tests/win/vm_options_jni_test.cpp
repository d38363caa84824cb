#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "jre/JvmLoader.h"
#include "windows/JvmInterface.h"

using namespace marlo;

namespace {

// What a VM library sees of the creation call.
struct SeenCall {
    int calls = 0;
    jint version = 0;
    jint count = -1;
    jboolean ignoreUnrecognized = JNI_FALSE;
    std::vector<std::string> strings;
    bool extraInfoNull = true;
};
SeenCall seen;

jint JNICALL fakeCreateJavaVm(JavaVM** vm, void** env, void* argsPointer) {
    ++seen.calls;
    auto* args = static_cast<JavaVMInitArgs*>(argsPointer);
    seen.version = args->version;
    seen.count = args->nOptions;
    seen.ignoreUnrecognized = args->ignoreUnrecognized;
    for (jint i = 0; i < args->nOptions; ++i) {
        seen.strings.push_back(args->options[i].optionString);
        if (args->options[i].extraInfo != nullptr) seen.extraInfoNull = false;
    }
    *vm = nullptr;
    *env = nullptr;
    return JNI_OK;
}

TEST(JniInterface, WindowsTypeWidths) {
    EXPECT_EQ(sizeof(jint), 4u);
    EXPECT_EQ(sizeof(jlong), 8u);
    EXPECT_EQ(sizeof(jshort), 2u);
    EXPECT_TRUE((std::is_same<jint, long>::value));
    EXPECT_TRUE((std::is_same<jbyte, signed char>::value));
    EXPECT_EQ(JNI_VERSION_1_2, 0x10002);
}

TEST(JniInterface, InitArgsCarryTheOptionsInOrder) {
    seen = SeenCall();
    VmOptionList list = {"-Dbrenn.moduleName=C:\\app\\a.exe", "-Xmx64m", "-Djava.class.path=a.jar"};
    std::vector<JavaVMOption> options;
    JavaVMInitArgs args;
    std::memset(&args, 0xCD, sizeof args);
    fillInitArgs(list, options, args);

    CreateJavaVmFunction create = &fakeCreateJavaVm;
    JavaVM* vm = reinterpret_cast<JavaVM*>(1);
    void* env = reinterpret_cast<void*>(1);
    ASSERT_EQ(create(&vm, &env, &args), JNI_OK);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.version, 0x10002);
    EXPECT_EQ(seen.count, 3);
    EXPECT_EQ(seen.ignoreUnrecognized, JNI_TRUE);
    EXPECT_EQ(seen.strings, list);
    EXPECT_TRUE(seen.extraInfoNull);
    EXPECT_EQ(vm, nullptr);
}

TEST(JniInterface, EmptyListGivesNoOptions) {
    seen = SeenCall();
    std::vector<JavaVMOption> options;
    JavaVMInitArgs args;
    fillInitArgs(VmOptionList(), options, args);
    EXPECT_EQ(args.nOptions, 0);
    EXPECT_EQ(args.options, nullptr);
    EXPECT_EQ(args.ignoreUnrecognized, JNI_TRUE);
}

TEST(JniInterface, EntryIsTheLoadedLibrarysExport) {
    // Null until a VM library was loaded (other tests of this program may load one).
    EXPECT_EQ(reinterpret_cast<void*>(createJavaVmEntry()), jvmEntryPoint());
}

TEST(JniInterface, VmStateStartsEmpty) {
    EXPECT_EQ(jvmState().vm, nullptr);
    EXPECT_EQ(jvmState().mainEnv, nullptr);
    EXPECT_FALSE(jvmState().vmCreated.load());
}

}  // namespace
