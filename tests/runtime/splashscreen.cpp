// Stand-in splashscreen.dll: the three exports a launcher calls to show a splash through the
// runtime's library. Each call is appended to the record file named by MARLO_STANDIN_RECORD as a
// JSON line: {"event":"SplashInit"}, {"event":"SplashLoadMemory","length":N,"fnv1a":"hex","null":B}
// and {"event":"SplashClose"}. SplashLoadMemory answers 1 for a non-empty image, 0 otherwise.
// Built a second time without SplashClose (STANDIN_NO_CLOSE) for a library that lacks an export.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void recordLine(const std::string& json) {
    wchar_t path[4096];
    DWORD n = GetEnvironmentVariableW(L"MARLO_STANDIN_RECORD", path, 4096);
    if (n == 0 || n >= 4096) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes = json + "\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

__declspec(dllexport) void __cdecl SplashInit() { recordLine("{\"event\":\"SplashInit\"}"); }

__declspec(dllexport) int __cdecl SplashLoadMemory(void* data, int size) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (int i = 0; bytes && i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    char line[160];
    std::snprintf(line, sizeof line, "{\"event\":\"SplashLoadMemory\",\"length\":%d,\"fnv1a\":\"%016llx\",\"null\":%s}",
                  size, static_cast<unsigned long long>(hash), data ? "false" : "true");
    recordLine(line);
    return data && size > 0 ? 1 : 0;
}

#ifndef STANDIN_NO_CLOSE
__declspec(dllexport) void __cdecl SplashClose() { recordLine("{\"event\":\"SplashClose\"}"); }
#endif

}  // extern "C"
