#include "common/StartupState.h"
#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "instance/Notification.h"
#include "instance/ProcessWindows.h"
#include "instance/SingleInstance.h"

namespace marlo {

namespace {

const char kPidKey[] = "SOFTWARE\\orvane\\brenn\\pids\\";

// The executable's path made canonical: absolute, normalised, lower case, single backslashes.
std::string instanceIdentity() {
    std::string identity;
    canonicalPath(identity, launcherExePath().narrow, false);
    return identity;
}

// Creates (or opens) the named semaphore; code receives the last error, 0 when it was new.
HANDLE createInstanceSemaphore(const std::string& name, DWORD& code) {
    SetLastError(0);
    HANDLE handle = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
    code = GetLastError();
    return handle;
}

}  // namespace

void writeInstancePid(const std::string& identity) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPidKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    DWORD pid = GetCurrentProcessId();
    RegSetValueExA(key, identity.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid), sizeof pid);
    RegCloseKey(key);
}

uint32_t readInstancePid(const std::string& identity) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPidKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD pid = 0;
    DWORD size = sizeof pid;
    LONG status = RegQueryValueExA(key, identity.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&pid), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size == sizeof pid ? pid : 0;
}

void singleInstanceGuard(bool notify) {
    const std::string identity = instanceIdentity();
    const bool global = getConfigInt(cfg::SINGLE_INSTANCE_GLOBAL) != 0;
    std::string& name = startupState().semaphoreName;
    DWORD code = 0;

    if (getConfigInt(cfg::SINGLE_INSTANCE) != 0) {
        name = instanceSemaphoreName(global, identity, -1);
        logMessage(u"single instance mode");
        // Never closed while this copy runs: the semaphore lives as long as some copy holds it.
        HANDLE handle = createInstanceSemaphore(name, code);
        logMessage(u"semaphore name %S, code %d, value %p", name.c_str(), static_cast<int>(code), handle);
        if (code != ERROR_ALREADY_EXISTS) {
            // Also when the semaphore could not be made at all: no other copy can be told apart.
            writeInstancePid(identity);
            if (notify) startNotificationListener();
            return;
        }
        CloseHandle(handle);
        // The first copy records its id only after creating the semaphore.
        uint32_t pid = readInstancePid(identity);
        for (int retry = 0; pid == 0 && retry < 50; ++retry) {
            Sleep(100);
            pid = readInstancePid(identity);
        }
        logMessage(u"other pid %d", static_cast<int>(pid));
        if (pid != 0) {
            if (getConfigInt(cfg::ACTIVATE_RUNNING_INSTANCE) != 0) activateProcessWindows(pid, true);
            if (notify) sendStartupNotification(pid, commandLineTail(U(GetCommandLineW())));
        }
        logMessage(u"exiting");
        exitLauncher(0);
    }

    // Every concurrent copy holds the lowest free number.
    int counter = 0;
    name = instanceSemaphoreName(global, identity, counter);
    HANDLE handle = createInstanceSemaphore(name, code);
    while (code == ERROR_ALREADY_EXISTS && counter < kMaxInstanceCounter) {
        CloseHandle(handle);
        ++counter;
        name = instanceSemaphoreName(global, identity, counter);
        handle = createInstanceSemaphore(name, code);
    }
    logMessage(u"semaphore name %S, code %d, value %p", name.c_str(), static_cast<int>(code), handle);
}

}  // namespace marlo
