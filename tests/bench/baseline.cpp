// bench_baseline.exe: the least any in-process Java launcher does, for the start-up benchmark
// (scripts/bench.sh). It imports the same system DLLs as the launcher and carries its manifest,
// loads the jvm.dll named on its command line, creates the VM with a class path, calls the entry
// class's main with an empty argument array and destroys the VM. The launcher's overhead is its
// time minus this one's.
#include <windows.h>

#include <commctrl.h>
#include <jni.h>

#include <cstdlib>

namespace {

// One call into each DLL the launcher imports, so that the loader maps the same set.
void touchSystemDlls() {
    InitCommonControls();                      // comctl32
    (void)GetSysColor(COLOR_WINDOW);           // user32
    (void)GetStockObject(DEFAULT_GUI_FONT);    // gdi32
    HKEY key = nullptr;                        // advapi32
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
    (void)std::getenv("PATH");                 // msvcrt
}

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    touchSystemDlls();
    HMODULE library = LoadLibraryW(commandLine);
    if (!library) return 2;
    auto create = reinterpret_cast<CreateJavaVm>(reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
    if (!create) return 3;
    char classPath[] = "-Djava.class.path=app.jar";
    JavaVMOption option = {classPath, nullptr};
    JavaVMInitArgs args = {JNI_VERSION_1_2, 1, &option, JNI_TRUE};
    JavaVM* vm = nullptr;
    void* envPointer = nullptr;
    if (create(&vm, &envPointer, &args) != 0) return 4;
    JNIEnv* env = static_cast<JNIEnv*>(envPointer);
    jclass entry = env->FindClass("com/brenn/runtime/WinLauncher");
    jmethodID main = entry ? env->GetStaticMethodID(entry, "main", "([Ljava/lang/String;)V") : nullptr;
    jclass stringClass = env->FindClass("java/lang/String");
    if (!main || !stringClass) return 5;
    env->CallStaticVoidMethod(entry, main, env->NewObjectArray(0, stringClass, nullptr));
    vm->DestroyJavaVM();
    return 0;
}
