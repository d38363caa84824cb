// The stand-in jvm.dll that the VM start is tested against, loaded from where it was built and
// driven through its JNI tables as the launcher drives a real VM.
#include <gtest/gtest.h>

#include <jni.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "WinTestUtil.h"

using namespace marlo;

namespace {

// The build runs on the Unix side, where Wine maps "/" to drive Z:.
std::string standInJvmPath() {
    std::string path = MARLO_STANDIN_JVM;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

using CreateFunction = jint(JNICALL*)(JavaVM**, void**, void*);

CreateFunction loadCreate() {
    static HMODULE module = LoadLibraryA(standInJvmPath().c_str());
    if (module == nullptr) return nullptr;
    return reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(GetProcAddress(module, "JNI_CreateJavaVM")));
}

const char kEntry[] = "com/brenn/runtime/WinLauncher";
const char kMainSignature[] = "([Ljava/lang/String;)V";
const char kFailure[] = "java.lang.IllegalStateException: scripted failure";

std::u16string toU16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class StandInJvm : public ::testing::Test {
protected:
    void SetUp() override {
        create_ = loadCreate();
        ASSERT_NE(create_, nullptr) << standInJvmPath();
        // A fixed name: a death test's child process must write where its parent reads.
        recordPath_ = wintest::originalTempDir() + u"marlo_standin_jvm_" +
                      toU16(::testing::UnitTest::GetInstance()->current_test_info()->name()) + u".jsonl";
        for (char16_t& c : recordPath_)
            if (c == u'/') c = u'_';
        DeleteFileW(W(recordPath_.c_str()));
        SetEnvironmentVariableW(L"MARLO_STANDIN_RECORD", W(recordPath_.c_str()));
        SetEnvironmentVariableW(L"MARLO_STANDIN_SCENARIO", nullptr);
    }

    void TearDown() override {
        if (vm_ != nullptr) vm_->DestroyJavaVM();
        SetEnvironmentVariableW(L"MARLO_STANDIN_RECORD", nullptr);
        SetEnvironmentVariableW(L"MARLO_STANDIN_SCENARIO", nullptr);
        DeleteFileW(W(recordPath_.c_str()));
    }

    jint create(const char16_t* scenario, std::vector<std::string> options = {}) {
        if (scenario != nullptr) SetEnvironmentVariableW(L"MARLO_STANDIN_SCENARIO", W(scenario));
        std::vector<JavaVMOption> vmOptions;
        for (std::string& option : options) vmOptions.push_back({&option[0], nullptr});
        JavaVMInitArgs args;
        args.version = JNI_VERSION_1_2;
        args.nOptions = static_cast<jint>(vmOptions.size());
        args.options = vmOptions.empty() ? nullptr : vmOptions.data();
        args.ignoreUnrecognized = JNI_TRUE;
        void* envPointer = nullptr;
        jint result = create_(&vm_, &envPointer, &args);
        env_ = static_cast<JNIEnv*>(envPointer);
        return result;
    }

    std::vector<std::string> lines() const {
        std::string bytes;
        std::vector<std::string> out;
        if (!wintest::readFile(recordPath_, bytes)) return out;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find('\n', pos);
            if (end == std::string::npos) end = bytes.size();
            out.push_back(bytes.substr(pos, end - pos));
            pos = end + 1;
        }
        return out;
    }

    // The first recorded line of an event, or "" when there is none.
    std::string lineOf(const std::string& event) const {
        const std::string start = "{\"event\":\"" + event + "\"";
        for (const std::string& line : lines())
            if (line.compare(0, start.size(), start) == 0) return line;
        return std::string();
    }

    jstring javaString(const std::u16string& text) {
        return env_->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
    }

    std::u16string text(jstring string) {
        const jchar* chars = env_->GetStringChars(string, nullptr);
        std::u16string out(reinterpret_cast<const char16_t*>(chars), env_->GetStringLength(string));
        env_->ReleaseStringChars(string, chars);
        return out;
    }

    void callMain(const std::vector<std::u16string>& args) {
        jclass entry = env_->FindClass(kEntry);
        ASSERT_NE(entry, nullptr);
        jmethodID main = env_->GetStaticMethodID(entry, "main", kMainSignature);
        ASSERT_NE(main, nullptr);
        jclass stringClass = env_->FindClass("java/lang/String");
        ASSERT_NE(stringClass, nullptr);
        jobjectArray array = env_->NewObjectArray(static_cast<jsize>(args.size()), stringClass, nullptr);
        ASSERT_NE(array, nullptr);
        for (size_t i = 0; i < args.size(); ++i) {
            jstring element = javaString(args[i]);
            env_->SetObjectArrayElement(array, static_cast<jsize>(i), element);
            env_->DeleteLocalRef(element);  // the array keeps its element
        }
        env_->CallStaticVoidMethod(entry, main, array);
    }

    CreateFunction create_ = nullptr;
    std::u16string recordPath_;
    JavaVM* vm_ = nullptr;
    JNIEnv* env_ = nullptr;
};

TEST_F(StandInJvm, RecordsTheCreationArgumentsAsJson) {
    wchar_t before[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_GT(length, 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
    jint created = create(nullptr, {"-Xmx64m", "-Dp=C:\\dir\\\"q\"", "-Djava.class.path=a.jar;b.jar"});
    SetCurrentDirectoryW(before);
    ASSERT_EQ(created, JNI_OK);
    ASSERT_NE(vm_, nullptr);
    ASSERT_NE(env_, nullptr);
    // The arguments, then what the process was given by its manifest (this process's own).
    const std::string prefix = R"({"event":"create","version":65538,"ignoreUnrecognized":true,"cwd":"C:\\windows",)"
                               R"("options":["-Xmx64m","-Dp=C:\\dir\\\"q\"","-Djava.class.path=a.jar;b.jar"],)";
    const std::string line = lineOf("create");
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    EXPECT_NE(line.find("\"acp\":" + std::to_string(GetACP()) + ",\"dpiAwareness\":"), std::string::npos) << line;
    EXPECT_NE(line.find(",\"longPaths\":"), std::string::npos) << line;
    EXPECT_EQ(lineOf("error"), "");
}

TEST_F(StandInJvm, MainRecordsItsStringArray) {
    ASSERT_EQ(create(nullptr), JNI_OK);
    callMain({u"true", u"caf\u00e9 \u20ac", u"", u"tab\there \"q\" C:\\x"});
    EXPECT_EQ(env_->ExceptionOccurred(), nullptr);
    EXPECT_EQ(lineOf("main"), "{\"event\":\"main\",\"class\":\"com/brenn/runtime/WinLauncher\",\"args\":[\"true\","
                              "\"caf\xC3\xA9 \xE2\x82\xAC\",\"\",\"tab\\there \\\"q\\\" C:\\\\x\"]}");
    EXPECT_EQ(lineOf("error"), "");
    vm_->DestroyJavaVM();
    vm_ = nullptr;
    EXPECT_EQ(lines().back(), "{\"event\":\"destroy\"}");
}

struct Lookup {
    const char16_t* scenario;
    const char* cls;
    const char* method;
    const char* signature;
    bool classFound;
    bool methodFound;
};

class StandInJvmLookup : public StandInJvm, public ::testing::WithParamInterface<Lookup> {};

// Text of the pending exception, taken and cleared as a careful caller does; "" when none.
std::u16string takePending(JNIEnv* env) {
    jthrowable pending = env->ExceptionOccurred();
    if (!pending) return std::u16string();
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(pending);
    jmethodID toString = cls ? env->GetMethodID(cls, "toString", "()Ljava/lang/String;") : nullptr;
    jstring description = toString ? static_cast<jstring>(env->CallObjectMethod(pending, toString)) : nullptr;
    if (!description) return u"<no description>";
    const jchar* chars = env->GetStringChars(description, nullptr);
    std::u16string out(reinterpret_cast<const char16_t*>(chars), env->GetStringLength(description));
    env->ReleaseStringChars(description, chars);
    return out;
}

TEST_P(StandInJvmLookup, FindsWhatTheWorldHolds) {
    const Lookup& c = GetParam();
    ASSERT_EQ(create(c.scenario), JNI_OK);
    jclass cls = env_->FindClass(c.cls);
    EXPECT_EQ(cls != nullptr, c.classFound);
    // A failed lookup leaves the error a real VM raises.
    EXPECT_EQ(takePending(env_), c.classFound ? u"" : u"java.lang.NoClassDefFoundError: " + toU16(c.cls));
    if (cls != nullptr) {
        EXPECT_EQ(env_->GetStaticMethodID(cls, c.method, c.signature) != nullptr, c.methodFound);
        EXPECT_EQ(takePending(env_), c.methodFound ? u"" : u"java.lang.NoSuchMethodError: " + toU16(c.method));
    }
    EXPECT_EQ(lineOf("error"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StandInJvmLookup,
    ::testing::Values(
        Lookup{nullptr, "com/kavora/runtime/launcher/WinLauncher", "main", kMainSignature, true, true},
        Lookup{nullptr, kEntry, "initAwtSplashConfig",
               "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V", true, true},
        Lookup{nullptr, kEntry, "main", "([Ljava/lang/String;)I", true, false},
        Lookup{nullptr, kEntry, "Main", kMainSignature, true, false},
        Lookup{nullptr, "com/brenn/Controller", "startupPerformed", "(Ljava/lang/String;)V", true, true},
        Lookup{nullptr, "com/brenn/runtime/BrennController", "getAction", "()I", true, true},
        Lookup{nullptr, "com/kavora/runtime/launcher/FirstRun", "firstRun", "()Z", true, true},
        Lookup{nullptr, "com/kavora/runtime/installer/platform/win32/Common", "initFromLauncher", "(Z)V", true, true},
        Lookup{nullptr, "java/lang/String", "toString", "()Ljava/lang/String;", true, false},  // not static
        Lookup{nullptr, "com.brenn.runtime.WinLauncher", "main", kMainSignature, false, false},
        Lookup{u"no-main-class", kEntry, "main", kMainSignature, false, false},
        Lookup{u"no-main-class", "com/kavora/runtime/launcher/WinLauncher", "main", kMainSignature, false, false},
        Lookup{u"no-main-method", kEntry, "main", kMainSignature, true, false}));

TEST_F(StandInJvm, MainThrowsTheScriptedException) {
    ASSERT_EQ(create(u"main-throws"), JNI_OK);
    callMain({u"x"});
    EXPECT_TRUE(env_->ExceptionCheck());
    jthrowable pending = env_->ExceptionOccurred();
    ASSERT_NE(pending, nullptr);
    EXPECT_EQ(takePending(env_), toU16(kFailure));
    // Thrown again, the VM describes it and the describing clears it.
    EXPECT_EQ(env_->Throw(pending), JNI_OK);
    EXPECT_TRUE(env_->ExceptionCheck());
    env_->ExceptionDescribe();
    EXPECT_FALSE(env_->ExceptionCheck());
    EXPECT_EQ(lineOf("error"), "");
}

TEST_F(StandInJvm, CallsWhileAnExceptionIsPendingAreMisuse) {
    ASSERT_EQ(create(nullptr), JNI_OK);
    EXPECT_EQ(env_->FindClass("com/example/Missing"), nullptr);
    ASSERT_TRUE(env_->ExceptionCheck());
    // What a caller may do: look, release, delete.
    jthrowable pending = env_->ExceptionOccurred();
    env_->DeleteLocalRef(pending);
    EXPECT_EQ(lineOf("error"), "");
    // A lookup now answers null even for a class that exists, and is recorded.
    EXPECT_EQ(env_->FindClass(kEntry), nullptr);
    EXPECT_EQ(lineOf("error"), R"({"event":"error","message":"FindClass called while an exception is pending"})");
    env_->ExceptionClear();
    EXPECT_NE(env_->FindClass(kEntry), nullptr);
}

TEST_F(StandInJvm, ScenarioCanRefuseCreation) {
    EXPECT_NE(create(u"create-fails"), JNI_OK);
    EXPECT_EQ(vm_, nullptr);
    EXPECT_NE(lineOf("create"), "");
}

TEST_F(StandInJvm, UnknownScenarioWordIsAnError) {
    EXPECT_NE(create(u"main-throws,main-explodes"), JNI_OK);
    EXPECT_EQ(vm_, nullptr);
    EXPECT_EQ(lineOf("error"), R"({"event":"error","message":"unknown scenario word main-explodes"})");
}

TEST_F(StandInJvm, UnusedSlotEndsTheProcessWith99) {
    EXPECT_EXIT(
        {
            if (create(nullptr) == JNI_OK) env_->GetVersion();
            ExitProcess(0);
        },
        ::testing::ExitedWithCode(99), "");
    EXPECT_EQ(lineOf("error"), R"({"event":"error","message":"unexpected JNI call GetVersion"})");
}

TEST_F(StandInJvm, MainCanEndTheProcess) {
    EXPECT_EXIT(
        {
            if (create(u"main-exits=7") == JNI_OK) callMain({});
            ExitProcess(0);
        },
        ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(lineOf("main"), R"({"event":"main","class":"com/brenn/runtime/WinLauncher","args":[]})");
}

TEST_F(StandInJvm, MainWaitsForItsFile) {
    wintest::ScratchDir dir;
    const std::u16string file = dir.pathW() + u"\\go";
    ASSERT_EQ(create((u"main-waits-file=" + file).c_str()), JNI_OK);
    std::atomic<bool> returned{false};
    std::thread mainThread([&] {
        // The main call runs on a thread of its own here; the VM was created on this test's thread.
        void* attached = nullptr;
        if (vm_->AttachCurrentThread(&attached, nullptr) != JNI_OK) return;
        JNIEnv* env = static_cast<JNIEnv*>(attached);
        jclass entry = env->FindClass(kEntry);
        jmethodID main = env->GetStaticMethodID(entry, "main", kMainSignature);
        jclass stringClass = env->FindClass("java/lang/String");
        env->CallStaticVoidMethod(entry, main, env->NewObjectArray(0, stringClass, nullptr));
        returned = true;
        vm_->DetachCurrentThread();
    });
    Sleep(300);
    EXPECT_FALSE(returned);
    // The VM stays usable from other threads while main runs.
    EXPECT_NE(env_->FindClass("com/brenn/Controller"), nullptr);
    wintest::writeFile(file, "");
    mainThread.join();
    EXPECT_TRUE(returned);
    EXPECT_NE(lineOf("main"), "");
}

TEST_F(StandInJvm, OtherThreadsAttachAsDaemons) {
    ASSERT_EQ(create(nullptr), JNI_OK);
    jint attachResult = JNI_ERR, envAfterDetach = JNI_OK;
    bool found = false;
    std::thread other([&] {
        void* attached = nullptr;
        attachResult = vm_->AttachCurrentThreadAsDaemon(&attached, nullptr);
        if (attachResult != JNI_OK) return;
        void* again = nullptr;
        if (vm_->GetEnv(&again, JNI_VERSION_1_2) == JNI_OK && again == attached)
            found = static_cast<JNIEnv*>(attached)->FindClass("com/brenn/Controller") != nullptr;
        vm_->DetachCurrentThread();
        envAfterDetach = vm_->GetEnv(&again, JNI_VERSION_1_2);
    });
    other.join();
    EXPECT_EQ(attachResult, JNI_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(envAfterDetach, JNI_EDETACHED);
    EXPECT_EQ(lineOf("attach"), R"({"event":"attach","daemon":true,"thread":1})");
    EXPECT_EQ(lineOf("detach"), R"({"event":"detach","thread":1})");
    const std::string call = R"({"event":"call","thread":1,"fn":"FindClass","name":"com/brenn/Controller","found":true})";
    const std::vector<std::string> all = lines();
    EXPECT_NE(std::find(all.begin(), all.end(), call), all.end());
}

struct FirstRunCase {
    const char16_t* scenario;
    jboolean result;
    bool throws;
};

class StandInJvmFirstRun : public StandInJvm, public ::testing::WithParamInterface<FirstRunCase> {};

TEST_P(StandInJvmFirstRun, AnswersAsScripted) {
    ASSERT_EQ(create(GetParam().scenario), JNI_OK);
    jclass cls = env_->FindClass("com/kavora/runtime/launcher/FirstRun");
    ASSERT_NE(cls, nullptr);
    jmethodID firstRun = env_->GetStaticMethodID(cls, "firstRun", "()Z");
    ASSERT_NE(firstRun, nullptr);
    EXPECT_EQ(env_->CallStaticBooleanMethod(cls, firstRun), GetParam().result);
    EXPECT_EQ(env_->ExceptionOccurred() != nullptr, GetParam().throws);
}

INSTANTIATE_TEST_SUITE_P(Cases, StandInJvmFirstRun,
                         ::testing::Values(FirstRunCase{nullptr, JNI_TRUE, false},
                                           FirstRunCase{u"first-run=false", JNI_FALSE, false},
                                           FirstRunCase{u"first-run-throws", JNI_FALSE, true}));

TEST_F(StandInJvm, SplashSettingsAndControllerAnswers) {
    ASSERT_EQ(create(u"splash-action=2,splash-action=1,splash-text=Loading"), JNI_OK);
    jclass entry = env_->FindClass(kEntry);
    jmethodID init = env_->GetStaticMethodID(
        entry, "initAwtSplashConfig",
        "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V");
    ASSERT_NE(init, nullptr);
    jstring a = env_->NewStringUTF("line one"), b = env_->NewStringUTF("0,0,0");
    jstring c = env_->NewStringUTF(""), d = env_->NewStringUTF("255,255,255");
    env_->CallStaticVoidMethod(entry, init, JNI_TRUE, JNI_FALSE, a, 10, 20, b, 12, 700, c, -1, 40, d, 9, 400);
    EXPECT_EQ(lineOf("splash"), R"({"event":"splash","class":"com/brenn/runtime/WinLauncher","args":)"
                                R"([true,false,"line one",10,20,"0,0,0",12,700,"",-1,40,"255,255,255",9,400]})");

    jclass controller = env_->FindClass("com/brenn/runtime/BrennController");
    jmethodID getAction = env_->GetStaticMethodID(controller, "getAction", "()I");
    jmethodID getText = env_->GetStaticMethodID(controller, "getText", "()Ljava/lang/String;");
    ASSERT_NE(getText, nullptr);
    EXPECT_EQ(env_->CallStaticIntMethod(controller, getAction), 2);
    jstring status = static_cast<jstring>(env_->CallStaticObjectMethod(controller, getText));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(text(status), u"Loading");
    EXPECT_EQ(env_->CallStaticIntMethod(controller, getAction), 1);
    EXPECT_EQ(env_->CallStaticIntMethod(controller, getAction), 0);
    EXPECT_EQ(lineOf("error"), "");
}

void JNICALL someNative() {}

TEST_F(StandInJvm, RegisterNativesIsRecordedAndCanBeRefused) {
    ASSERT_EQ(create(u"register-fails=Common"), JNI_OK);
    jclass common = env_->FindClass("com/kavora/runtime/installer/platform/win32/Common");
    jclass misc = env_->FindClass("com/kavora/runtime/installer/platform/win32/Misc");
    ASSERT_NE(common, nullptr);
    ASSERT_NE(misc, nullptr);
    JNINativeMethod methods[] = {
        {const_cast<char*>("setWindows95"), const_cast<char*>("(Z)V"), reinterpret_cast<void*>(&someNative)},
        {const_cast<char*>("setWindowsNT"), const_cast<char*>("(Z)V"), reinterpret_cast<void*>(&someNative)}};
    // Declared natives, refused by the scenario; the function is no export named after the method.
    EXPECT_NE(env_->RegisterNatives(common, methods, 2), JNI_OK);
    EXPECT_FALSE(env_->ExceptionCheck());
    EXPECT_EQ(lineOf("registerNatives"),
              R"({"event":"registerNatives","thread":0,"class":"com/kavora/runtime/installer/platform/win32/Common",)"
              R"("result":-1,"methods":[{"name":"setWindows95","signature":"(Z)V","export":false,"module":"marlo_win_tests.exe"},)"
              R"({"name":"setWindowsNT","signature":"(Z)V","export":false,"module":"marlo_win_tests.exe"}]})");
    // Misc declares no such native: NoSuchMethodError, as a real VM raises it.
    EXPECT_NE(env_->RegisterNatives(misc, methods, 1), JNI_OK);
    EXPECT_TRUE(env_->ExceptionCheck());
    env_->ExceptionClear();
    JNINativeMethod wrongSignature[] = {
        {const_cast<char*>("reboot0"), const_cast<char*>("(Z)V"), reinterpret_cast<void*>(&someNative)}};
    EXPECT_NE(env_->RegisterNatives(misc, wrongSignature, 1), JNI_OK);
    EXPECT_TRUE(env_->ExceptionCheck());
    env_->ExceptionClear();
    JNINativeMethod declared[] = {
        {const_cast<char*>("reboot0"), const_cast<char*>("()V"), reinterpret_cast<void*>(&someNative)}};
    EXPECT_EQ(env_->RegisterNatives(misc, declared, 1), JNI_OK);
    EXPECT_EQ(lineOf("error"), "");
}

TEST_F(StandInJvm, UseOfADeletedReferenceIsRecorded) {
    ASSERT_EQ(create(nullptr), JNI_OK);
    jstring s = env_->NewStringUTF("gone");
    env_->DeleteLocalRef(s);
    EXPECT_EQ(env_->GetStringLength(s), 0);
    EXPECT_EQ(lineOf("error"), R"({"event":"error","message":"deleted local reference passed to GetStringLength"})");
}

}  // namespace
