#include <gtest/gtest.h>

#include "common/Win.h"
#include "system/Console.h"

using namespace marlo;

namespace {

// True when the process is attached to a console: only then can its screen buffer be opened.
bool hasConsole() {
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    CloseHandle(out);
    return true;
}

TEST(AttachConsole, AlreadyAttachedCountsAsSuccess) {
    // The test program is a console program: attaching again is refused as access denied.
    SetLastError(0);
    BOOL attached = AttachConsole(ATTACH_PARENT_PROCESS);
    if (attached || GetLastError() != ERROR_ACCESS_DENIED) GTEST_SKIP() << "the test program has no console";
    EXPECT_TRUE(attachConsole());
}

TEST(AttachConsole, ProcessWithoutAConsoleGetsOne) {
    // In a child process, so that giving up the console does not disturb the other tests.
    EXPECT_EXIT(
        {
            FreeConsole();
            int code = hasConsole() ? 2 : 0;
            if (!attachConsole()) code |= 4;
            if (!hasConsole()) code |= 8;
            ExitProcess(static_cast<UINT>(code));
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
