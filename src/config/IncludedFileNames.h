// The rule that keeps an included file inside the launcher's temporary directory, shared by the
// launcher (which refuses to extract a name that breaks it) and the packing tool (which refuses to
// write one).
#pragma once

#include <string>

namespace marlo {

// True when no backslash-separated component of name is empty, "." or "..", and the name holds no
// ':' (a drive or a stream) and no '/'.
bool staysInsideDirectory(const std::string& name);

}  // namespace marlo
