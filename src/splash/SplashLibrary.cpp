#include "splash/SplashLibrary.h"

#include <string>

#include "common/StartupState.h"
#include "common/Win.h"
#include "diag/Log.h"
#include "jre/JvmHome.h"

namespace marlo {

namespace {

// The library's exports use the C calling convention on every architecture.
using SplashInitFunction = void(__cdecl*)();
using SplashLoadMemoryFunction = int(__cdecl*)(void* data, int size);
using SplashCloseFunction = void(__cdecl*)();

constexpr int kSplashImageResource = 10000;

// Set once the image was handed over; the library stays loaded for the life of the process.
bool g_loaded = false;
SplashCloseFunction g_close = nullptr;

template <typename Function>
Function entry(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

void showLibrarySplash() {
    if (g_loaded) return;
    const std::string path = jvmHome() + "\\bin\\splashscreen.dll";
    logMessage(u"loading splashscreen dll from %S", path.c_str());
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        logError(u"Could not load splashscreen.dll");
        return;
    }
    auto close = entry<SplashCloseFunction>(library, "SplashClose");
    auto init = entry<SplashInitFunction>(library, "SplashInit");
    auto loadMemory = entry<SplashLoadMemoryFunction>(library, "SplashLoadMemory");
    if (!close || !init || !loadMemory) {
        logError(u"Could not find functions in splashscreen.dll");
        return;
    }
    init();
    // A build without the image hands over nothing; the library decides what that shows.
    auto module = static_cast<HMODULE>(startupState().instance);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kSplashImageResource), MAKEINTRESOURCEW(10));
    HGLOBAL handle = resource ? LoadResource(module, resource) : nullptr;
    void* data = handle ? LockResource(handle) : nullptr;
    int size = resource ? static_cast<int>(SizeofResource(module, resource)) : 0;
    int result = loadMemory(data, size);
    logMessage(u"splash load memory returned %d (%p, %p, %d)", result, static_cast<void*>(handle), data, size);
    g_close = close;
    g_loaded = true;
}

void hideLibrarySplash() {
    if (g_loaded) g_close();
}

}  // namespace marlo
