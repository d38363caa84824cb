// One running copy per executable: the guard that finds an earlier copy, hands the command line
// over to it and ends the second copy, and the named semaphore every copy holds. The rules over
// given inputs (names, the command-line tail) are portable; the guard itself calls the system.
#pragma once

#include <cstdint>
#include <string>

namespace marlo {

constexpr int kMaxInstanceCounter = 100000;

// "Global\" or "Local\", then the identity with every backslash and space turned into an
// underscore, then the counter in decimal unless it is negative (single-instance mode).
std::string instanceSemaphoreName(bool global, const std::string& identity, int counter);

// The text after the program name of a UTF-16 command line, as the second copy hands it over: a
// quoted program name ends at its closing quote (none: empty tail), then the tail starts after the
// first blank, with the blanks that follow skipped. No blank gives an empty tail.
std::u16string commandLineTail(const char16_t* commandLine);

// Runs the guard once on the main thread. Returns when this copy may go on; a second copy in
// single-instance mode activates the first one's windows, hands over its command line when notify
// is set and ends through exitLauncher(0). The semaphore name lands in the start-up state.
void singleInstanceGuard(bool notify);

// The process id of the copy that owns the single-instance semaphore, under the instance identity
// (HKEY_CURRENT_USER); readInstancePid gives 0 when nothing usable is recorded.
void writeInstancePid(const std::string& identity);
uint32_t readInstancePid(const std::string& identity);

}  // namespace marlo
