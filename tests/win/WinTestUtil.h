// Helpers of the Windows unit tests: scratch folders, environment guards and the test program's
// own directory worked out independently of the code under test.
#pragma once

#include <string>
#include <vector>

#include "common/Win.h"

namespace marlo::wintest {

// The running test program's directory with a trailing backslash, straight from the system.
std::u16string moduleDirW();
std::string moduleDirA();

// The directory of the system's temporary path as it was when the tests started.
const std::u16string& originalTempDir();

// A fresh folder under the original temporary path, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::u16string& pathW() const { return path_; }
    std::string pathA() const;

private:
    std::u16string path_;
};

// Restores the listed environment variables (value or absence) on destruction.
class EnvGuard {
public:
    explicit EnvGuard(std::vector<std::u16string> names);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    struct Saved {
        std::u16string name;
        bool present;
        std::u16string value;
    };
    std::vector<Saved> saved_;
};

void setEnv(const char16_t* name, const std::u16string& value);
void unsetEnv(const char16_t* name);

// File-system helpers that do not use the code under test.
bool isDirectory(const std::u16string& path);
bool isFile(const std::u16string& path);
void makeDir(const std::u16string& path);
void writeFile(const std::u16string& path, const std::string& bytes);
bool readFile(const std::u16string& path, std::string& bytes);
void removeTree(const std::u16string& path);
// Names in a directory matching a pattern such as "kvr_nlog_*".
std::vector<std::u16string> listNames(const std::u16string& directory, const char16_t* pattern);

std::u16string widen(const std::string& ascii);

}  // namespace marlo::wintest
