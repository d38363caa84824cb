// Which included-file names stay inside the launcher's temporary directory.
#include <gtest/gtest.h>

#include "config/IncludedFileNames.h"

using namespace marlo;

TEST(IncludedFileNames, StayInsideTheDirectory) {
    for (const char* name : {"a.bin", "lib\\native.dll", "a\\b\\c.dll", "..a", "a..", ".hidden"})
        EXPECT_TRUE(staysInsideDirectory(name)) << name;
    for (const char* name : {"", "..\\escape.bin", "lib\\..\\..\\x", "\\root.bin", "lib\\", "a\\\\b", ".",
                             "lib\\.", "c:x.bin", "C:\\x.bin", "a/../b", "file.txt:stream"})
        EXPECT_FALSE(staysInsideDirectory(name)) << name;
}
