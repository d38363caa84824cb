#include "system/Reboot.h"

#include "common/Win.h"

namespace marlo {

void rebootMachine() {
    Sleep(5000);
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // AdjustTokenPrivileges succeeds also when it could not grant the privilege; only the last
    // error tells (ERROR_NOT_ALL_ASSIGNED).
    const DWORD granted = GetLastError();
    CloseHandle(token);
    if (granted == ERROR_SUCCESS) ExitWindowsEx(EWX_REBOOT, 0);
}

}  // namespace marlo
