// Linked into the launcher executables only (not into tests). The launcher is built without
// exceptions; these definitions keep the C++ library's throwing paths from pulling the whole
// unwinding and demangling machinery into a small program. Where the library would throw (out of
// memory, a length beyond what a string can hold), the launcher ends with code 1: a launcher that
// cannot allocate a few kilobytes cannot start a Java VM either.
#include <cstdlib>
#include <new>

#include "common/Win.h"

namespace {
[[noreturn]] void outOfResources() { ExitProcess(1); }
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) outOfResources();
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
[[noreturn]] void __throw_length_error(const char*) { outOfResources(); }
[[noreturn]] void __throw_logic_error(const char*) { outOfResources(); }
[[noreturn]] void __throw_out_of_range(const char*) { outOfResources(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { outOfResources(); }
[[noreturn]] void __throw_bad_alloc() { outOfResources(); }
[[noreturn]] void __throw_bad_array_new_length() { outOfResources(); }
[[noreturn]] void __throw_invalid_argument(const char*) { outOfResources(); }
}  // namespace std
