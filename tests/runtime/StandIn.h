// Shared pieces of the stand-in runtime's programs: the folder they were started from, their
// behaviour file "stand-in.cfg" and the record "runs.log" beside them.
#pragma once

#include <string>

namespace standin {

// The folder of the running program, with a trailing backslash.
std::string ownFolder();

// The value of "key=value" in stand-in.cfg beside the program; fallback when the file or the key
// is missing. Lines end with LF or CR LF; the first '=' splits.
std::string setting(const char* key, const std::string& fallback);

// Appends one line (CR LF added) to runs.log beside the program.
void recordRun(const std::string& line);

}  // namespace standin
