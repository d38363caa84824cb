// The reference of the configuration keys a description may use under [config]: the catalogue's
// names, types and capacities with a line on what each does, grouped by subsystem. Printed by
// "marlo-pack keys" and kept in the repository as docs/keys.md.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlo::pack {

struct KeyDoc {
    const char* name;
    const char* group;
    const char* meaning;
};

// Every catalogue key, in reference order (by group, then as the catalogue lists them).
const std::vector<KeyDoc>& keyDocs();

// The reference as plain text for a terminal, and as the Markdown page docs/keys.md.
std::string keysText();
std::string keysMarkdown();

// The nearest name among candidates by edit distance (letters compared case-blind), or "" when
// none is near enough to be a likely typo.
std::string nearestName(std::string_view name, const std::vector<std::string>& candidates);

// The nearest catalogue key name.
std::string nearestKey(std::string_view name);

}  // namespace marlo::pack
