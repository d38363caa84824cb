// File access of the packing tool: whole-file reads with a size limit, and writes that replace
// the target only once the new content is completely on disk.
#pragma once

#include <cstdint>
#include <string>

namespace marlo::pack {

// Reads a regular file. Larger than maxSize, unreadable or not a regular file: false and *why.
bool readFileBytes(const std::string& path, std::string& out, uint64_t maxSize, std::string* why);

// Writes data to a temporary file in path's directory and renames it over path. On any failure
// the temporary file is removed and path is left as it was.
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* why);

}  // namespace marlo::pack
