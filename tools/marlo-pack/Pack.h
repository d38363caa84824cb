// The two operations of the packing tool, pack and dump, and its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Description.h"

namespace marlo::pack {

// Written at block offset 8, where a launcher ignores it. A fixed value keeps the output a function
// of the description and the launcher alone.
constexpr uint32_t kPackBuildValue = 0x4B434150u;

// marlo.exe, pivok.exe, marlo64.exe or pivok64.exe.
std::string launcherFileName(const std::string& launcher, const std::string& arch);

// The directory of the running tool, where the launchers are installed beside it.
std::string toolDirectory();

// The launcher image cut after its last section (an old block, a certificate table and the like
// dropped, the certificate entry zeroed) with the block of contents and files appended.
// launcherName names the image in errors.
// With resources that change anything, the launcher's resource section is rewritten first and the
// checksum of the result is set; outputName is the packed file's name (for its version information).
bool buildPackedImage(const std::string& launcherImage, const std::string& launcherName, BlockContents contents,
                      const std::vector<IncludedFile>& files, std::string& out, std::vector<Diagnostic>& errors,
                      const AppResources& resources = {}, const std::string& outputName = {});

struct PackRequest {
    std::string description;
    std::string output;
    std::string launcher;     // overrides the choice of the description when set
    std::string launcherDir;  // where launchers are looked up; the tool's directory when empty
    bool checkOnly = false;   // do everything but write the output (which may then be empty)
};

// Reads the description and the launcher and writes the output in one step: either the complete
// output is in place or the output path is left as it was.
bool packApplication(const PackRequest& request, std::vector<Diagnostic>& errors);

struct DumpRequest {
    std::string executable;
    std::string filesDir;  // when set, included files are extracted there and listed as [[files]]
    // Where the description is going to be written (empty: standard output, read from the current
    // directory): the files' source paths are written relative to its directory, so that the dump
    // packs again wherever the two are copied together.
    std::string output = {};
};

// The description of an executable's block. Warnings tell what the description cannot keep.
bool dumpApplication(const DumpRequest& request, std::string& description, std::vector<Diagnostic>& errors,
                     std::vector<std::string>& warnings);

// The command line without the program name. Returns the exit status (0 success, 1 failure,
// 2 usage error); what belongs on standard output and standard error is appended to out and err.
int runCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err);

}  // namespace marlo::pack
