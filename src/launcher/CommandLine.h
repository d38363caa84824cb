// Splitting of the wide command line and of configured option strings into an ArgVector.
#pragma once

#include "common/Text.h"

namespace marlo {

// Appends the tokens of text to args. Only the blank separates; double quote and apostrophe
// open sections that end at the next same character; backslashes are ordinary characters.
void splitCommandLine(const char16_t* text, ArgVector& args);

// Appends the token whose opening quote is at quote; returns where splitting continues.
size_t takeQuotedToken(ArgVector& args, const std::u16string& text, size_t quote, size_t start, char16_t quoteChar);

// The log-creation switches, recognised only as element 1.
bool isLogCreationSwitch(const std::u16string& arg);

// Removes element 1 when it is a log-creation switch; true when it was.
bool takeLogCreationSwitch(ArgVector& args);

}  // namespace marlo
