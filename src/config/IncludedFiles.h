// Included files: what the block carries after its locale groups, extracted into the launcher's
// temporary directory before the runtime search. Each file is stored as a 64-bit little-endian
// size and its bytes, every byte XOR kScrambleMask; nothing separates one file from the next.
#pragma once

#include <cstdint>
#include <string>

namespace marlo {

// Extracts the files of configuration ids 2002 (how many) and 2003 (their names, ";"-separated,
// one directory level at most). Creates the temporary directory first when asked to and files are
// listed. 0 on success, else the code of the first file that failed (1 read, 2 write).
int extractIncludedFiles(bool createTempDir);

// Reads one file's size and content from the executable (at its position) into target: 0, 1 (read
// failure) or 2 (write failure). A target that cannot be created is fatal error 1009 "11".
int extractIncludedFile(void* executable, const std::string& target);

// Copies count bytes in pieces of 6000, unscrambling when asked: 0, 1 (read) or 2 (write).
int copyStream(void* input, void* output, int64_t count, bool unscramble);

// The file offset just after the last content read; 0 until files were extracted.
int32_t unextractedPosition();

}  // namespace marlo
