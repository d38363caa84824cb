// Linked into the launcher executables only (not into tests). The launcher is built without
// exceptions, and a few definitions here keep the C++ library's exception machinery (unwinder,
// demangler, thread library) out of a small program:
// - operator new and the library's __throw_* hooks end the launch through the fatal path (error
//   1009 with its own detail text) instead of throwing;
// - std::string is instantiated here, in code built without exceptions, so the library's own
//   instantiation with its catch handlers is not linked;
// - the guards of function-local statics are ours, on atomic bytes, so the library's
//   implementation (which throws and needs a thread library) is not linked.
#include <cxxabi.h>

#include <cstdlib>
#include <new>
#include <string>

#include "common/Win.h"
#include "diag/ErrorExit.h"

template class std::basic_string<char>;

namespace {

// Memory held back for the fatal path: the message box and the log need a little.
void* g_reserve = std::malloc(64 * 1024);

[[noreturn]] void outOfResources(const char* detail) {
    std::free(g_reserve);
    g_reserve = nullptr;
    marlo::fatalResourceError(detail);
}

}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) outOfResources(marlo::kOutOfMemoryDetail);
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace std {
[[noreturn]] void __throw_length_error(const char*) { outOfResources(marlo::kLibraryFailureDetail); }
[[noreturn]] void __throw_logic_error(const char*) { outOfResources(marlo::kLibraryFailureDetail); }
[[noreturn]] void __throw_out_of_range(const char*) { outOfResources(marlo::kLibraryFailureDetail); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { outOfResources(marlo::kLibraryFailureDetail); }
[[noreturn]] void __throw_bad_alloc() { outOfResources(marlo::kOutOfMemoryDetail); }
[[noreturn]] void __throw_bad_array_new_length() { outOfResources(marlo::kOutOfMemoryDetail); }
[[noreturn]] void __throw_invalid_argument(const char*) { outOfResources(marlo::kLibraryFailureDetail); }
[[noreturn]] void __throw_bad_function_call() { outOfResources(marlo::kLibraryFailureDetail); }
}  // namespace std

namespace __cxxabiv1 {

// Byte 0 of a guard says "initialised" (the compiler's inline test reads it); byte 1 is taken by
// the thread that runs the initialiser. Others wait until it is done.
extern "C" int __cxa_guard_acquire(__guard* guard) {
    char* bytes = reinterpret_cast<char*>(guard);
    for (;;) {
        if (__atomic_load_n(&bytes[0], __ATOMIC_ACQUIRE)) return 0;
        char expected = 0;
        if (__atomic_compare_exchange_n(&bytes[1], &expected, 1, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
            if (!__atomic_load_n(&bytes[0], __ATOMIC_ACQUIRE)) return 1;
            __atomic_store_n(&bytes[1], 0, __ATOMIC_RELEASE);
            return 0;
        }
        Sleep(0);
    }
}

extern "C" void __cxa_guard_release(__guard* guard) _GLIBCXX_NOTHROW {
    char* bytes = reinterpret_cast<char*>(guard);
    __atomic_store_n(&bytes[0], 1, __ATOMIC_RELEASE);
    __atomic_store_n(&bytes[1], 0, __ATOMIC_RELEASE);
}

extern "C" void __cxa_guard_abort(__guard* guard) _GLIBCXX_NOTHROW {
    __atomic_store_n(&reinterpret_cast<char*>(guard)[1], 0, __ATOMIC_RELEASE);
}

}  // namespace __cxxabiv1
