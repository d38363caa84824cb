// A console for a launcher built as a GUI program.
#pragma once

namespace marlo {

// Attaches to the parent process's console, else allocates a new one. True when the process has
// a console afterwards (also when it had one already).
bool attachConsole();

}  // namespace marlo
