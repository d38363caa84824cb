// Stand-in jvm.dll. Built twice: jvm.dll exports JNI_CreateJavaVM, jvm_noentry.dll does not (a
// damaged runtime). jvm.dll creates a scripted VM: real JNI function tables over a small world of
// classes (JvmWorld.h), recording what the caller does. Every table slot the launcher has no use
// for ends the process with code 99, so that a call of one cannot go unnoticed.
#include <windows.h>

#if STANDIN_EXPORT_CREATE

#include <jni.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "JvmSlotNames.h"
#include "JvmWorld.h"

using namespace standin::jvm;

namespace {

constexpr UINT kUnexpectedCallExit = 99;
constexpr UINT kBadEnvExit = 98;

struct ThreadEnv {
    JNIEnv_ env;  // first member: the JNIEnv* handed out is the address of this record
    DWORD threadId = 0;
    int index = 0;  // 0 for the thread that created the VM, then in order of attachment
    bool attached = false;
    ObjectPtr pending;
};

struct Vm {
    std::mutex mutex;
    bool live = false;
    Record record;
    Scenario scenario;
    std::deque<std::deque<ClassDef>> worlds;  // one per VM life; objects may outlive a life
    const std::deque<ClassDef>* classes = nullptr;
    std::vector<ObjectPtr> refs;              // local references; never reused, null once deleted
    std::deque<ThreadEnv> threads;
    std::map<const jchar*, std::unique_ptr<jchar[]>> stringChars;
    int nextThreadIndex = 0;
    ULONGLONG createdTick = 0;  // GetTickCount64 when the VM was created
};

// The performance counter runs alike in every process: tests and the benchmark time across
// processes by it.
std::string qpcNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::to_string(now.QuadPart);
}

Vm& vm() {
    static Vm* instance = new Vm;  // never destroyed: other threads may still call at process exit
    return *instance;
}

JNINativeInterface_ envTable;
JNIInvokeInterface_ invokeTable;
JavaVM_ javaVm;

void writeStderr(const std::string& text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void unexpectedCall(const char* name) {
    std::string message = std::string("unexpected JNI call ") + name;
    vm().record.error(message);
    writeStderr("stand-in jvm: " + message + "\r\n");
    TerminateProcess(GetCurrentProcess(), kUnexpectedCallExit);
    ExitProcess(kUnexpectedCallExit);
}

template <size_t N>
void JNICALL unexpectedSlot() {
    unexpectedCall(kEnvSlotNames[N]);
}

using Slot = void(JNICALL*)();

template <size_t... I>
std::array<Slot, sizeof...(I)> makeStubs(std::index_sequence<I...>) {
    return {{&unexpectedSlot<I>...}};
}

// ---- references and lookups (the mutex is held) ----

constexpr uintptr_t kRefBase = 0x10000;
constexpr uintptr_t kRefStep = 16;

jobject newRef(const ObjectPtr& object) {
    if (!object) return nullptr;
    Vm& v = vm();
    v.refs.push_back(object);
    return reinterpret_cast<jobject>(kRefBase + kRefStep * (v.refs.size() - 1));
}

ObjectPtr deref(jobject ref, const char* fn) {
    if (ref == nullptr) return nullptr;
    Vm& v = vm();
    uintptr_t value = reinterpret_cast<uintptr_t>(ref);
    if (value < kRefBase || (value - kRefBase) % kRefStep != 0 || (value - kRefBase) / kRefStep >= v.refs.size()) {
        v.record.error(std::string("unknown reference passed to ") + fn);
        return nullptr;
    }
    const ObjectPtr& object = v.refs[(value - kRefBase) / kRefStep];
    if (!object) v.record.error(std::string("deleted local reference passed to ") + fn);
    return object;
}

ObjectPtr derefKind(jobject ref, Kind kind, const char* fn) {
    ObjectPtr object = deref(ref, fn);
    if (object && object->kind != kind) {
        vm().record.error(std::string("wrong kind of object passed to ") + fn);
        return nullptr;
    }
    return object;
}

const ClassDef* findClassDef(const std::string& name) {
    const Vm& v = vm();
    if (v.classes == nullptr) return nullptr;
    for (const ClassDef& def : *v.classes)
        if (def.name == name) return &def;
    return nullptr;
}

ObjectPtr classObject(const ClassDef* def) {
    auto object = std::make_shared<Object>();
    object->kind = Kind::Class;
    object->cls = def;
    return object;
}

ObjectPtr stringObject(const std::u16string& text) {
    auto object = std::make_shared<Object>();
    object->kind = Kind::String;
    object->cls = findClassDef("java/lang/String");
    object->text = text;
    return object;
}

ObjectPtr throwable(const char* className, const std::string& text) {
    auto object = std::make_shared<Object>();
    object->kind = Kind::Throwable;
    object->cls = findClassDef(className);
    object->text = utf8ToUtf16(text);
    return object;
}

ObjectPtr scriptedFailure() { return throwable("java/lang/IllegalStateException", kScriptedFailure); }

std::string objectJson(const ObjectPtr& object) {
    if (!object) return "null";
    switch (object->kind) {
    case Kind::String: return jsonString(utf16ToUtf8(object->text));
    case Kind::Throwable: return "{\"throwable\":" + jsonString(utf16ToUtf8(object->text)) + "}";
    case Kind::Class: return "{\"class\":" + jsonString(object->cls ? object->cls->name : "") + "}";
    case Kind::Array: {
        std::string out = "[";
        for (size_t i = 0; i < object->elements.size(); ++i)
            out += (i ? "," : "") + objectJson(object->elements[i]);
        return out + "]";
    }
    }
    return "null";
}

// Finds the caller's thread record; a pointer that is no environment of this VM ends the process.
ThreadEnv& threadOf(JNIEnv* env, const char* fn) {
    Vm& v = vm();
    for (ThreadEnv& t : v.threads) {
        if (reinterpret_cast<JNIEnv*>(&t.env) != env) continue;
        if (!v.live) v.record.error(std::string(fn) + " called after DestroyJavaVM");
        else if (!t.attached) v.record.error(std::string(fn) + " called with the environment of a detached thread");
        else if (t.threadId != GetCurrentThreadId())
            v.record.error(std::string(fn) + " called with the environment of another thread");
        return t;
    }
    v.record.error(std::string(fn) + " called with an unknown JNIEnv");
    writeStderr("stand-in jvm: unknown JNIEnv\r\n");
    TerminateProcess(GetCurrentProcess(), kBadEnvExit);
    ExitProcess(kBadEnvExit);
}

// While an exception is pending a caller may only look at it, clear it, describe it, and release
// or delete what it holds; any other call is undefined in a real VM and recorded here as misuse.
bool misusedWhilePending(const ThreadEnv& t, const char* fn) {
    if (!t.pending) return false;
    vm().record.error(std::string(fn) + " called while an exception is pending");
    return true;
}

// ---- method calls ----

// Reads the arguments of a call, from a va_list or a jvalue array.
struct ArgSource {
    va_list* list = nullptr;
    const jvalue* values = nullptr;
    size_t next = 0;

    jvalue read(char type) {
        jvalue value;
        value.j = 0;
        if (values != nullptr) return values[next++];
        switch (type) {
        case 'Z': value.z = static_cast<jboolean>(va_arg(*list, int)); break;
        case 'B': value.b = static_cast<jbyte>(va_arg(*list, int)); break;
        case 'C': value.c = static_cast<jchar>(va_arg(*list, int)); break;
        case 'S': value.s = static_cast<jshort>(va_arg(*list, int)); break;
        case 'I': value.i = va_arg(*list, jint); break;
        case 'J': value.j = va_arg(*list, jlong); break;
        case 'F': value.f = static_cast<jfloat>(va_arg(*list, double)); break;
        case 'D': value.d = va_arg(*list, double); break;
        default: value.l = va_arg(*list, jobject); break;
        }
        return value;
    }
};

// The parameter types of a method signature, one letter each ('L' for any reference).
std::string parameterTypes(const std::string& signature) {
    std::string types;
    for (size_t i = 1; i < signature.size() && signature[i] != ')'; ++i) {
        char c = signature[i];
        if (c == '[') {
            while (i < signature.size() && signature[i] == '[') ++i;
            if (i < signature.size() && signature[i] == 'L') i = signature.find(';', i);
            types += 'L';
        } else if (c == 'L') {
            i = signature.find(';', i);
            types += 'L';
        } else {
            types += c;
        }
        if (i == std::string::npos) break;
    }
    return types;
}

char returnType(const std::string& signature) {
    size_t close = signature.find(')');
    if (close == std::string::npos || close + 1 >= signature.size()) return '?';
    char c = signature[close + 1];
    return c == '[' ? 'L' : c;
}

std::string valueJson(char type, const jvalue& value, const char* fn) {
    char number[64];
    switch (type) {
    case 'Z': return value.z ? "true" : "false";
    case 'B': std::snprintf(number, sizeof number, "%d", value.b); return number;
    case 'C': std::snprintf(number, sizeof number, "%u", value.c); return number;
    case 'S': std::snprintf(number, sizeof number, "%d", value.s); return number;
    case 'I': std::snprintf(number, sizeof number, "%ld", static_cast<long>(value.i)); return number;
    case 'J': std::snprintf(number, sizeof number, "%lld", static_cast<long long>(value.j)); return number;
    case 'F': std::snprintf(number, sizeof number, "%g", static_cast<double>(value.f)); return number;
    case 'D': std::snprintf(number, sizeof number, "%g", value.d); return number;
    default: return objectJson(deref(value.l, fn));
    }
}

bool belongsTo(const Method* method, const ClassDef* def) {
    if (def == nullptr) return false;
    for (const Method& m : def->methods)
        if (&m == method) return true;
    return false;
}

// Keeps the messages of the windows main opened flowing, so that other processes can restore and
// activate them, until the file exists (at most 120 s).
void waitForFile(const std::u16string& path, std::unique_lock<std::mutex>& lock) {
    lock.unlock();  // other threads keep calling into the VM while main runs
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    lock.lock();
}

HWND openMainWindow(const std::u16string& title, bool minimized) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"StandInAppWindow";
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&cls);
    HWND window = CreateWindowExW(0, cls.lpszClassName, reinterpret_cast<const wchar_t*>(title.c_str()),
                                  WS_OVERLAPPEDWINDOW, 100, 100, 320, 200, nullptr, nullptr, cls.hInstance, nullptr);
    if (window) {
        ShowWindow(window, minimized ? SW_SHOWMINIMIZED : SW_SHOW);
        UpdateWindow(window);
    }
    return window;
}

// One Call*Method: checks the method against the receiver and the expected result type, records the
// call and plays the scripted method.
jvalue invoke(JNIEnv* env, const char* fn, char wantedReturn, bool isStatic, jobject receiver, jmethodID id,
              ArgSource args, std::unique_lock<std::mutex>& lock) {
    Vm& v = vm();
    ThreadEnv& t = threadOf(env, fn);
    jvalue result;
    result.j = 0;
    if (misusedWhilePending(t, fn)) return result;
    ObjectPtr target = deref(receiver, fn);
    const Method* method = reinterpret_cast<const Method*>(id);
    const ClassDef* def = nullptr;
    if (target) def = isStatic ? (target->kind == Kind::Class ? target->cls : nullptr) : target->cls;
    if (!belongsTo(method, def) || method->isStatic != isStatic) {
        v.record.error(std::string(fn) + " with a method ID that does not belong to its receiver");
        return result;
    }
    if (returnType(method->signature) != wantedReturn) {
        v.record.error(std::string(fn) + " used for " + method->name + method->signature);
        return result;
    }

    const std::string types = parameterTypes(method->signature);
    std::vector<jvalue> values;
    std::string argsJson = "[";
    for (size_t i = 0; i < types.size(); ++i) {
        values.push_back(args.read(types[i]));
        argsJson += (i ? "," : "") + valueJson(types[i], values.back(), fn);
    }
    argsJson += "]";
    char thread[16];
    std::snprintf(thread, sizeof thread, "%d", t.index);
    v.record.line(std::string("{\"event\":\"call\",\"thread\":") + thread + ",\"fn\":" + jsonString(fn) +
                  ",\"class\":" + jsonString(def->name) + ",\"method\":" + jsonString(method->name) +
                  ",\"signature\":" + jsonString(method->signature) + ",\"args\":" + argsJson + "}");

    const std::string& name = method->name;
    const Scenario& s = v.scenario;
    if (name == "main") {
        v.record.line("{\"event\":\"main\",\"class\":" + jsonString(def->name) + ",\"args\":" +
                      valueJson('L', values[0], fn) + "}");
        if (s.mainThrows) t.pending = scriptedFailure();
        if (!s.mainWindowTitle.empty()) {
            lock.unlock();
            if (s.mainWindowDelayMs > 0) Sleep(static_cast<DWORD>(s.mainWindowDelayMs));
            // Stamped before the window exists: whatever reacts to the window comes after it.
            const std::string shown = qpcNow();
            HWND window = openMainWindow(s.mainWindowTitle, s.mainWindowMinimized);
            lock.lock();
            char handle[32];
            std::snprintf(handle, sizeof handle, "%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
            v.record.line(std::string("{\"event\":\"window\",\"handle\":") + handle + ",\"qpc\":" + shown + "}");
        }
        if (!s.mainWaitsFile.empty()) waitForFile(s.mainWaitsFile, lock);
        if (s.mainExits) {
            lock.unlock();
            ExitProcess(s.mainExitCode);
        }
    } else if (name == "startupPerformed") {
        v.record.line("{\"event\":\"startupPerformed\",\"thread\":" + std::string(thread) + ",\"arg\":" +
                      valueJson('L', values[0], fn) + ",\"qpc\":" + qpcNow() + "}");
        if (s.startupThrows) t.pending = scriptedFailure();
    } else if (name == "initAwtSplashConfig") {
        v.record.line("{\"event\":\"splash\",\"class\":" + jsonString(def->name) + ",\"args\":" + argsJson + "}");
    } else if (name == "getAction") {
        auto& actions = v.scenario.splashActions;
        if (!actions.empty() && GetTickCount64() - v.createdTick >= static_cast<ULONGLONG>(actions.front().afterMs)) {
            result.i = actions.front().value;
            actions.pop_front();
            if (result.i != 0)
                v.record.line("{\"event\":\"splashAction\",\"value\":" + std::to_string(result.i) +
                              ",\"qpc\":" + qpcNow() + "}");
        }
    } else if (name == "getText") {
        if (s.hasSplashText) result.l = newRef(stringObject(s.splashText));
    } else if (name == "initFromLauncher") {
        if (s.initFromLauncherThrows) t.pending = scriptedFailure();
    } else if (name == "firstRun") {
        if (s.firstRunThrows) t.pending = scriptedFailure();
        result.z = (s.firstRunFalse || s.firstRunThrows) ? JNI_FALSE : JNI_TRUE;
    } else if (name == "toString") {
        result.l = newRef(target->kind == Kind::String ? target : stringObject(target->text));
    }
    return result;
}

ArgSource fromList(va_list* list) {
    ArgSource source;
    source.list = list;
    return source;
}

ArgSource fromValues(const jvalue* values) {
    ArgSource source;
    source.values = values;
    return source;
}

// ---- the JNI functions the launcher uses ----

jclass JNICALL findClass(JNIEnv* env, const char* name) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, "FindClass");
    // A real VM answers lookups with null while an exception is pending.
    if (misusedWhilePending(t, "FindClass")) return nullptr;
    std::string className = cleanUtf8(name);
    const ClassDef* def = name ? findClassDef(className) : nullptr;
    vm().record.line("{\"event\":\"call\",\"thread\":" + std::to_string(t.index) + ",\"fn\":\"FindClass\",\"name\":" +
                     jsonString(className) + ",\"found\":" + (def ? "true" : "false") + "}");
    if (!def) {
        t.pending = throwable("java/lang/NoClassDefFoundError", "java.lang.NoClassDefFoundError: " + className);
        return nullptr;
    }
    return static_cast<jclass>(newRef(classObject(def)));
}

jmethodID lookupMethod(JNIEnv* env, jclass cls, const char* name, const char* sig, bool wantStatic, const char* fn) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, fn);
    if (misusedWhilePending(t, fn)) return nullptr;
    ObjectPtr object = derefKind(cls, Kind::Class, fn);
    const ClassDef* def = object ? object->cls : nullptr;
    const Method* method = def ? def->find(name, sig, wantStatic) : nullptr;
    if (!method) t.pending = throwable("java/lang/NoSuchMethodError", "java.lang.NoSuchMethodError: " + cleanUtf8(name));
    vm().record.line("{\"event\":\"call\",\"thread\":" + std::to_string(t.index) + ",\"fn\":" + jsonString(fn) +
                     ",\"class\":" + jsonString(def ? def->name : "") + ",\"name\":" + jsonString(cleanUtf8(name)) +
                     ",\"signature\":" + jsonString(cleanUtf8(sig)) + ",\"found\":" + (method ? "true" : "false") +
                     "}");
    return reinterpret_cast<jmethodID>(const_cast<Method*>(method));
}

jmethodID JNICALL getStaticMethodId(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return lookupMethod(env, cls, name, sig, true, "GetStaticMethodID");
}

jmethodID JNICALL getMethodId(JNIEnv* env, jclass cls, const char* name, const char* sig) {
    return lookupMethod(env, cls, name, sig, false, "GetMethodID");
}

void JNICALL callStaticVoidMethodV(JNIEnv* env, jclass cls, jmethodID id, va_list args) {
    std::unique_lock<std::mutex> lock(vm().mutex);
    va_list copy;
    va_copy(copy, args);
    invoke(env, "CallStaticVoidMethod", 'V', true, cls, id, fromList(&copy), lock);
    va_end(copy);
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID id, ...) {
    va_list args;
    va_start(args, id);
    callStaticVoidMethodV(env, cls, id, args);
    va_end(args);
}

void JNICALL callStaticVoidMethodA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* args) {
    std::unique_lock<std::mutex> lock(vm().mutex);
    invoke(env, "CallStaticVoidMethodA", 'V', true, cls, id, fromValues(args), lock);
}

jvalue callVariadic(JNIEnv* env, const char* fn, char type, bool isStatic, jobject receiver, jmethodID id,
                    va_list args) {
    std::unique_lock<std::mutex> lock(vm().mutex);
    va_list copy;
    va_copy(copy, args);
    jvalue result = invoke(env, fn, type, isStatic, receiver, id, fromList(&copy), lock);
    va_end(copy);
    return result;
}

// The variadic forms forward to the va_list forms, which C++ callers reach through JNIEnv_'s
// wrappers; both record the call under the variadic name.
#define STANDIN_CALL_FORMS(Result, name, fn, type, isStatic, Receiver, member)                          \
    Result JNICALL name##V(JNIEnv* env, Receiver receiver, jmethodID id, va_list args) {               \
        return callVariadic(env, fn, type, isStatic, receiver, id, args).member;                       \
    }                                                                                                  \
    Result JNICALL name(JNIEnv* env, Receiver receiver, jmethodID id, ...) {                           \
        va_list args;                                                                                  \
        va_start(args, id);                                                                            \
        Result result = name##V(env, receiver, id, args);                                              \
        va_end(args);                                                                                  \
        return result;                                                                                 \
    }

STANDIN_CALL_FORMS(jboolean, callStaticBooleanMethod, "CallStaticBooleanMethod", 'Z', true, jclass, z)
STANDIN_CALL_FORMS(jobject, callStaticObjectMethod, "CallStaticObjectMethod", 'L', true, jclass, l)
STANDIN_CALL_FORMS(jint, callStaticIntMethod, "CallStaticIntMethod", 'I', true, jclass, i)
STANDIN_CALL_FORMS(jobject, callObjectMethod, "CallObjectMethod", 'L', false, jobject, l)

jthrowable JNICALL exceptionOccurred(JNIEnv* env) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, "ExceptionOccurred");
    return static_cast<jthrowable>(newRef(t.pending));
}

jboolean JNICALL exceptionCheck(JNIEnv* env) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    return threadOf(env, "ExceptionCheck").pending ? JNI_TRUE : JNI_FALSE;
}

jint JNICALL throwObject(JNIEnv* env, jthrowable object) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, "Throw");
    if (misusedWhilePending(t, "Throw")) return JNI_ERR;
    ObjectPtr thrown = derefKind(object, Kind::Throwable, "Throw");
    vm().record.line("{\"event\":\"call\",\"thread\":" + std::to_string(t.index) +
                     ",\"fn\":\"Throw\",\"throwable\":" + objectJson(thrown) + "}");
    if (!thrown) return JNI_ERR;
    t.pending = thrown;
    return JNI_OK;
}

void JNICALL exceptionDescribe(JNIEnv* env) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, "ExceptionDescribe");
    vm().record.line("{\"event\":\"call\",\"thread\":" + std::to_string(t.index) +
                     ",\"fn\":\"ExceptionDescribe\",\"pending\":" + objectJson(t.pending) + "}");
    if (!t.pending) return;
    writeStderr(utf16ToUtf8(t.pending->text) + "\r\n");
    t.pending.reset();  // describing clears the exception, as in any VM
}

void JNICALL exceptionClear(JNIEnv* env) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv& t = threadOf(env, "ExceptionClear");
    vm().record.line("{\"event\":\"call\",\"thread\":" + std::to_string(t.index) + ",\"fn\":\"ExceptionClear\"}");
    t.pending.reset();
}

constexpr jsize kMaxLength = 1 << 24;

jstring JNICALL newString(JNIEnv* env, const jchar* chars, jsize length) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "NewString"), "NewString")) return nullptr;
    if (length < 0 || length > kMaxLength || (chars == nullptr && length > 0)) {
        vm().record.error("NewString with a bad length or null characters");
        return nullptr;
    }
    std::u16string text(reinterpret_cast<const char16_t*>(chars), reinterpret_cast<const char16_t*>(chars) + length);
    return static_cast<jstring>(newRef(stringObject(text)));
}

jstring JNICALL newStringUtf(JNIEnv* env, const char* utf) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "NewStringUTF"), "NewStringUTF")) return nullptr;
    if (utf == nullptr) return nullptr;
    return static_cast<jstring>(newRef(stringObject(utf8ToUtf16(cleanUtf8(utf)))));
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass elementClass, jobject initial) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "NewObjectArray"), "NewObjectArray")) return nullptr;
    ObjectPtr cls = derefKind(elementClass, Kind::Class, "NewObjectArray");
    if (!cls || length < 0 || length > kMaxLength) {
        vm().record.error("NewObjectArray with a bad class or length");
        return nullptr;
    }
    auto array = std::make_shared<Object>();
    array->kind = Kind::Array;
    array->cls = cls->cls;
    array->elements.assign(static_cast<size_t>(length), deref(initial, "NewObjectArray"));
    return static_cast<jobjectArray>(newRef(array));
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index, jobject value) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "SetObjectArrayElement"), "SetObjectArrayElement")) return;
    ObjectPtr object = derefKind(array, Kind::Array, "SetObjectArrayElement");
    if (!object) return;
    if (index < 0 || static_cast<size_t>(index) >= object->elements.size()) {
        vm().record.error("SetObjectArrayElement index out of bounds");
        return;
    }
    object->elements[static_cast<size_t>(index)] = deref(value, "SetObjectArrayElement");
}

jobject JNICALL getObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "GetObjectArrayElement"), "GetObjectArrayElement")) return nullptr;
    ObjectPtr object = derefKind(array, Kind::Array, "GetObjectArrayElement");
    if (!object) return nullptr;
    if (index < 0 || static_cast<size_t>(index) >= object->elements.size()) {
        vm().record.error("GetObjectArrayElement index out of bounds");
        return nullptr;
    }
    return newRef(object->elements[static_cast<size_t>(index)]);
}

jsize JNICALL getArrayLength(JNIEnv* env, jarray array) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "GetArrayLength"), "GetArrayLength")) return 0;
    ObjectPtr object = derefKind(array, Kind::Array, "GetArrayLength");
    return object ? static_cast<jsize>(object->elements.size()) : 0;
}

const jchar* JNICALL getStringChars(JNIEnv* env, jstring string, jboolean* isCopy) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "GetStringChars"), "GetStringChars")) return nullptr;
    ObjectPtr object = derefKind(string, Kind::String, "GetStringChars");
    if (!object) return nullptr;
    std::unique_ptr<jchar[]> copy(new jchar[object->text.size() + 1]);
    std::memcpy(copy.get(), object->text.data(), object->text.size() * sizeof(jchar));
    copy[object->text.size()] = 0;
    const jchar* chars = copy.get();
    vm().stringChars[chars] = std::move(copy);
    if (isCopy) *isCopy = JNI_TRUE;
    return chars;
}

jsize JNICALL getStringLength(JNIEnv* env, jstring string) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "GetStringLength"), "GetStringLength")) return 0;
    ObjectPtr object = derefKind(string, Kind::String, "GetStringLength");
    return object ? static_cast<jsize>(object->text.size()) : 0;
}

void JNICALL releaseStringChars(JNIEnv* env, jstring string, const jchar* chars) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    threadOf(env, "ReleaseStringChars");
    derefKind(string, Kind::String, "ReleaseStringChars");
    if (vm().stringChars.erase(chars) == 0) vm().record.error("ReleaseStringChars of characters not handed out");
}

void JNICALL deleteLocalRef(JNIEnv* env, jobject ref) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    threadOf(env, "DeleteLocalRef");
    if (ref == nullptr) return;
    if (!deref(ref, "DeleteLocalRef")) return;
    vm().refs[(reinterpret_cast<uintptr_t>(ref) - kRefBase) / kRefStep].reset();
}

// Whether a function pointer is the export of that name of the library it lies in; module names
// that library's file (without its folder), empty when the address lies in none.
bool isExportNamed(void* function, const std::string& exportName, std::string& module) {
    HMODULE owner = nullptr;
    if (!function || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                         static_cast<LPCWSTR>(function), &owner))
        return false;
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(owner, path, MAX_PATH);
    std::wstring file(path, n);
    size_t slash = file.find_last_of(L"\\/");
    module = utf16ToUtf8(std::u16string(file.begin() + (slash == std::wstring::npos ? 0 : slash + 1), file.end()));
    return reinterpret_cast<void*>(GetProcAddress(owner, exportName.c_str())) == function;
}

// The JNI short-name rule for the names used here (no '_', '$' or non-ASCII in them).
std::string shortExportName(const std::string& className, const std::string& method) {
    std::string name = "Java_";
    for (char c : className) name += c == '/' ? '_' : c;
    return name + "_" + method;
}

jint JNICALL registerNatives(JNIEnv* env, jclass cls, const JNINativeMethod* methods, jint count) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    Vm& v = vm();
    ThreadEnv& t = threadOf(env, "RegisterNatives");
    if (misusedWhilePending(t, "RegisterNatives")) return JNI_ERR;
    ObjectPtr object = derefKind(cls, Kind::Class, "RegisterNatives");
    if (!object || count < 0 || count > 10000 || (methods == nullptr && count > 0)) {
        v.record.error("RegisterNatives with a bad class or method table");
        return JNI_ERR;
    }
    const ClassDef* def = object->cls;
    const std::string& name = def->name;
    // As a real VM: every entry must name a native method of the class and carry a function;
    // the first that does not raises NoSuchMethodError and nothing is bound.
    std::string undeclared;
    bool allBound = true;
    std::string list = "[";
    for (jint i = 0; i < count; ++i) {
        const std::string method = cleanUtf8(methods[i].name);
        const std::string signature = cleanUtf8(methods[i].signature);
        bool declared = false;
        for (const Method& m : def->natives) declared = declared || (m.name == method && m.signature == signature);
        if (!declared && undeclared.empty()) undeclared = method;
        allBound = allBound && methods[i].fnPtr != nullptr;
        std::string module;
        const bool isExport = isExportNamed(methods[i].fnPtr, shortExportName(name, method), module);
        list += (i ? "," : "") + std::string("{\"name\":") + jsonString(method) + ",\"signature\":" +
                jsonString(signature) + ",\"export\":" + (isExport ? "true" : "false") +
                ",\"module\":" + jsonString(module) + "}";
    }
    jint result = JNI_OK;
    for (const std::string& failing : v.scenario.registerFails) {
        size_t slash = name.rfind('/');
        if (failing == name || failing == name.substr(slash == std::string::npos ? 0 : slash + 1)) result = JNI_ERR;
    }
    if (!undeclared.empty()) {
        t.pending = throwable("java/lang/NoSuchMethodError", "java.lang.NoSuchMethodError: " + undeclared);
        result = JNI_ERR;
    } else if (!allBound) {
        result = JNI_ERR;
    }
    v.record.line("{\"event\":\"registerNatives\",\"thread\":" + std::to_string(t.index) + ",\"class\":" +
                  jsonString(name) + ",\"result\":" + std::to_string(result) + ",\"methods\":" + list + "]}");
    return result;
}

jclass JNICALL getObjectClass(JNIEnv* env, jobject object) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (misusedWhilePending(threadOf(env, "GetObjectClass"), "GetObjectClass")) return nullptr;
    ObjectPtr target = deref(object, "GetObjectClass");
    if (!target) return nullptr;
    const ClassDef* def = target->kind == Kind::Class ? findClassDef("java/lang/Class") : target->cls;
    return def ? static_cast<jclass>(newRef(classObject(def))) : nullptr;
}

// ---- the invocation interface ----

ThreadEnv* currentThread() {
    for (ThreadEnv& t : vm().threads)
        if (t.attached && t.threadId == GetCurrentThreadId()) return &t;
    return nullptr;
}

ThreadEnv& addThread() {
    Vm& v = vm();
    v.threads.emplace_back();
    ThreadEnv& t = v.threads.back();
    t.env.functions = &envTable;
    t.threadId = GetCurrentThreadId();
    t.index = v.nextThreadIndex++;
    t.attached = true;
    return t;
}

jint JNICALL destroyJavaVm(JavaVM*) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    Vm& v = vm();
    v.record.line("{\"event\":\"destroy\"}");
    v.live = false;
    for (ThreadEnv& t : v.threads) t.attached = false;
    return JNI_OK;
}

jint attach(void** penv, bool daemon) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    Vm& v = vm();
    if (penv == nullptr) return JNI_EINVAL;
    *penv = nullptr;
    if (!v.live) return JNI_ERR;
    ThreadEnv* t = currentThread();
    if (t == nullptr) {
        t = &addThread();
        v.record.line(std::string("{\"event\":\"attach\",\"daemon\":") + (daemon ? "true" : "false") +
                      ",\"thread\":" + std::to_string(t->index) + "}");
    }
    *penv = &t->env;
    return JNI_OK;
}

jint JNICALL attachCurrentThread(JavaVM*, void** penv, void*) { return attach(penv, false); }

jint JNICALL attachCurrentThreadAsDaemon(JavaVM*, void** penv, void*) { return attach(penv, true); }

jint JNICALL detachCurrentThread(JavaVM*) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    ThreadEnv* t = currentThread();
    if (t == nullptr) return JNI_EDETACHED;
    t->attached = false;
    vm().record.line("{\"event\":\"detach\",\"thread\":" + std::to_string(t->index) + "}");
    return JNI_OK;
}

jint JNICALL getEnv(JavaVM*, void** penv, jint) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    if (penv == nullptr) return JNI_EINVAL;
    ThreadEnv* t = vm().live ? currentThread() : nullptr;
    *penv = t ? &t->env : nullptr;
    return t ? JNI_OK : JNI_EDETACHED;
}

void fillTables() {
    static_assert(sizeof(JNINativeInterface_) == kEnvSlotCount * sizeof(Slot), "slot names match the table");
    const auto stubs = makeStubs(std::make_index_sequence<kEnvSlotCount>());
    std::memcpy(static_cast<void*>(&envTable), stubs.data(), sizeof envTable);
    envTable.FindClass = &findClass;
    envTable.GetStaticMethodID = &getStaticMethodId;
    envTable.GetMethodID = &getMethodId;
    envTable.CallStaticVoidMethod = &callStaticVoidMethod;
    envTable.CallStaticVoidMethodV = &callStaticVoidMethodV;
    envTable.CallStaticVoidMethodA = &callStaticVoidMethodA;
    envTable.CallStaticBooleanMethod = &callStaticBooleanMethod;
    envTable.CallStaticBooleanMethodV = &callStaticBooleanMethodV;
    envTable.CallStaticObjectMethod = &callStaticObjectMethod;
    envTable.CallStaticObjectMethodV = &callStaticObjectMethodV;
    envTable.CallStaticIntMethod = &callStaticIntMethod;
    envTable.CallStaticIntMethodV = &callStaticIntMethodV;
    envTable.CallObjectMethod = &callObjectMethod;
    envTable.CallObjectMethodV = &callObjectMethodV;
    envTable.ExceptionOccurred = &exceptionOccurred;
    envTable.ExceptionCheck = &exceptionCheck;
    envTable.Throw = &throwObject;
    envTable.ExceptionDescribe = &exceptionDescribe;
    envTable.ExceptionClear = &exceptionClear;
    envTable.NewString = &newString;
    envTable.NewStringUTF = &newStringUtf;
    envTable.NewObjectArray = &newObjectArray;
    envTable.SetObjectArrayElement = &setObjectArrayElement;
    envTable.GetObjectArrayElement = &getObjectArrayElement;
    envTable.GetArrayLength = &getArrayLength;
    envTable.GetStringChars = &getStringChars;
    envTable.GetStringLength = &getStringLength;
    envTable.ReleaseStringChars = &releaseStringChars;
    envTable.DeleteLocalRef = &deleteLocalRef;
    envTable.RegisterNatives = &registerNatives;
    envTable.GetObjectClass = &getObjectClass;

    invokeTable.reserved0 = nullptr;
    invokeTable.reserved1 = nullptr;
    invokeTable.reserved2 = nullptr;
    invokeTable.DestroyJavaVM = &destroyJavaVm;
    invokeTable.AttachCurrentThread = &attachCurrentThread;
    invokeTable.DetachCurrentThread = &detachCurrentThread;
    invokeTable.GetEnv = &getEnv;
    invokeTable.AttachCurrentThreadAsDaemon = &attachCurrentThreadAsDaemon;
    javaVm.functions = &invokeTable;
}

// What the process's manifest set, as the system reports it to code running in the process: the
// ANSI code page, the thread's DPI awareness (-1 when the system cannot tell) and whether long
// paths are enabled for it (-1 likewise).
std::string processSettings() {
    int awareness = -1, longPaths = -1;
    using GetContext = HANDLE(WINAPI*)();
    using AwarenessOf = int(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto getContext = user ? reinterpret_cast<GetContext>(reinterpret_cast<void (*)()>(GetProcAddress(user, "GetThreadDpiAwarenessContext"))) : nullptr;
    auto awarenessOf =
        user ? reinterpret_cast<AwarenessOf>(reinterpret_cast<void (*)()>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext"))) : nullptr;
    if (getContext && awarenessOf) awareness = awarenessOf(getContext());
    using LongPaths = BOOLEAN(WINAPI*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto longPathsEnabled = ntdll ? reinterpret_cast<LongPaths>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlAreLongPathsEnabled"))) : nullptr;
    if (longPathsEnabled) longPaths = longPathsEnabled() ? 1 : 0;
    return "\"acp\":" + std::to_string(GetACP()) + ",\"dpiAwareness\":" + std::to_string(awareness) +
           ",\"longPaths\":" + std::to_string(longPaths);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* argsPointer) {
    std::lock_guard<std::mutex> lock(vm().mutex);
    Vm& v = vm();
    if (pvm) *pvm = nullptr;
    if (penv) *penv = nullptr;
    if (v.live) {
        v.record.error("JNI_CreateJavaVM called while a VM exists");
        return JNI_EEXIST;
    }
    static const bool filled = (fillTables(), true);
    (void)filled;

    // Each VM life reads the test's settings afresh.
    v.record.open();
    v.scenario = Scenario();
    std::string problem;
    if (!parseScenario(environmentUtf8(L"MARLO_STANDIN_SCENARIO"), v.scenario, problem)) {
        v.record.error(problem);
        writeStderr("stand-in jvm: " + problem + "\r\n");
        return JNI_ERR;
    }
    const auto* args = static_cast<const JavaVMInitArgs*>(argsPointer);
    if (pvm == nullptr || penv == nullptr || args == nullptr || args->nOptions < 0 || args->nOptions > 10000 ||
        (args->options == nullptr && args->nOptions > 0)) {
        v.record.error("JNI_CreateJavaVM with bad arguments");
        return JNI_EINVAL;
    }
    std::string options = "[";
    for (jint i = 0; i < args->nOptions; ++i)
        options += (i ? "," : "") + jsonString(ansiToUtf8(args->options[i].optionString));
    wchar_t cwd[4096];
    DWORD cwdLength = GetCurrentDirectoryW(4096, cwd);
    std::u16string directory(reinterpret_cast<const char16_t*>(cwd), cwdLength < 4096 ? cwdLength : 0);
    v.record.line("{\"event\":\"create\",\"version\":" + std::to_string(args->version) + ",\"ignoreUnrecognized\":" +
                  (args->ignoreUnrecognized ? "true" : "false") + ",\"cwd\":" + jsonString(utf16ToUtf8(directory)) +
                  ",\"options\":" + options + "]," + processSettings() + "}");
    if (v.scenario.createFails) return JNI_ERR;

    v.worlds.push_back(buildClasses(v.scenario));
    v.classes = &v.worlds.back();
    for (ThreadEnv& t : v.threads) t.attached = false;
    v.nextThreadIndex = 0;
    ThreadEnv& mainThread = addThread();
    v.live = true;
    v.createdTick = GetTickCount64();
    *pvm = &javaVm;
    *penv = &mainThread.env;
    return JNI_OK;
}

#else
extern "C" __declspec(dllexport) int __stdcall StandInNoEntry() { return 0; }
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
