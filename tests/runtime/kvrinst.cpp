// Stand-in kvrinst.dll: one export per native method of the kavora runtime's platform classes,
// named by the JNI short-name rule. None of them is ever called by the stand-in VM, so each does
// nothing. Built a second time (STANDIN_WITHOUT_REGISTRY_GETVALUE) without the export of
// Registry.getValue0, a library that lacks one export of the seventh class.
#include <windows.h>

#include "KavoraNatives.h"

#if STANDIN_WITHOUT_REGISTRY_GETVALUE
// The pasted name below is rescanned, so this renames the one export away.
#define Java_com_kavora_runtime_installer_platform_win32_Registry_getValue0 standin_withheld_Registry_getValue0
#endif

#define STANDIN_EXPORT(row, cls, method, signature) \
    extern "C" __declspec(dllexport) void Java_com_kavora_runtime_installer_platform_win32_##cls##_##method() {}
STANDIN_KAVORA_NATIVES(STANDIN_EXPORT)

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
