#include "system/Console.h"

#include "common/Win.h"

namespace marlo {

bool attachConsole() {
    // Looked up at run time: systems without AttachConsole can still allocate a console.
    using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, "AttachConsole") : nullptr;
    if (found) {
        auto attach = reinterpret_cast<AttachConsoleFn>(reinterpret_cast<void (*)()>(found));
        if (attach(ATTACH_PARENT_PROCESS)) return true;
        if (GetLastError() == ERROR_ACCESS_DENIED) return true;  // a console is there already
    }
    return AllocConsole() != FALSE;
}

}  // namespace marlo
