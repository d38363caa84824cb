// The application description (TOML) and its translation to and from block contents. The format is
// documented at the top of main.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AppResources.h"
#include "config/ConfigBlock.h"

namespace marlo::pack {

// An error in an input file; line and column are 1-based, 0 when the error has no position.
struct Diagnostic {
    std::string file;
    uint32_t line = 0;
    uint32_t column = 0;
    std::string message;
    // "FILE:LINE:COL: message", "FILE: message" or the message alone.
    std::string text() const;
};

struct Description {
    std::string launcher = "marlo";  // "marlo" or "pivok"
    std::string arch = "x64";        // "x86" or "x64"
    // Narrow and wide records sorted by id, defaults filled in; locale groups in file order, each
    // group's records sorted by id. buildValue is left to the packer.
    BlockContents contents;
    std::vector<IncludedFile> files;  // contents read from the [[files]] sources
    AppResources resources;           // [identity], [manifest] and [splash]
};

// Reads and checks a description. path names the file in errors; relative [[files]] sources are
// resolved against its directory. All errors found are appended; false when there was any.
bool parseDescription(std::string_view text, const std::string& path, Description& out,
                      std::vector<Diagnostic>& errors);
bool loadDescription(const std::string& path, Description& out, std::vector<Diagnostic>& errors);

// The standard text of a message id (1000 to 1020), nullptr for any other id.
const char* defaultMessageText(ConfigId id);

// Narrow records hold one byte per character, which the launcher widens one to one (ISO 8859-1).
// False with *bad set to the first character above U+00FF.
bool utf8ToLatin1(const std::string& utf8, std::string& out, char32_t* bad);
std::string latin1ToUtf8(const std::string& bytes);

// A name in INCLUDED_FILES as the launcher can extract it: not empty, no ';', no '/', ':' or
// other characters a Windows file name cannot hold, at most one directory level (one backslash),
// no "." or ".." component.
bool isValidIncludedName(const std::string& name, std::string* why);

// The same key for names that differ only in ASCII case, which name one file on Windows.
std::string includedNameKey(const std::string& name);

// Splits at every ';' (empty entries kept), the inverse of joining with ';'.
std::vector<std::string> splitAtSemicolons(const std::string& text);

struct ListedFile {
    std::string name;    // as in INCLUDED_FILES
    std::string source;  // host path (UTF-8)
};

// Writes block contents as a description that packs back to the same records. The last of
// several records with one id is the one written (it is the one the launcher uses). With files,
// they are listed as [[files]] and INCLUDED_FILE_COUNT / INCLUDED_FILES are left to be derived.
// Each note becomes a comment line at the top; *warnings receives what could not be kept exactly.
std::string formatDescription(const BlockContents& contents, const std::string& arch,
                              const std::vector<ListedFile>* files, const std::vector<std::string>& notes,
                              std::vector<std::string>* warnings);

}  // namespace marlo::pack
