// ArgVector: an ordered list of owned UTF-16 strings, and the splitter that makes one from the
// process's wide command line and from configured option and argument strings. Shared by every
// subsystem that hands arguments on.
#pragma once

#include <string>
#include <vector>

namespace marlo {

// Element 0 of the process list is the program path.
using ArgVector = std::vector<std::u16string>;

// Appends the tokens of text to args. Only the blank separates; double quote and apostrophe
// open sections that end at the next same character; backslashes are ordinary characters.
void splitCommandLine(const char16_t* text, ArgVector& args);

// Appends the token whose opening quote is at quote; returns where splitting continues.
size_t takeQuotedToken(ArgVector& args, const std::u16string& text, size_t quote, size_t start, char16_t quoteChar);

}  // namespace marlo
