// bench_copy.exe SOURCE TARGET: copies a file with the system's CopyFileW, the baseline of the
// included-file extraction in scripts/bench.sh.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 64;
    return CopyFileW(argv[1], argv[2], FALSE) ? 0 : 1;
}
