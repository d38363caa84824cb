// Stand-in jvm.dll. Built twice: jvm.dll exports JNI_CreateJavaVM, jvm_noentry.dll does not (a
// damaged runtime). Creating a VM is not scripted yet, so the entry point reports an error.
#include <windows.h>

#if STANDIN_EXPORT_CREATE
extern "C" __declspec(dllexport) int __stdcall JNI_CreateJavaVM(void** vm, void** env, void* /*args*/) {
    if (vm) *vm = nullptr;
    if (env) *env = nullptr;
    return -1;  // JNI_ERR
}
#else
extern "C" __declspec(dllexport) int __stdcall StandInNoEntry() { return 0; }
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
