#include "Description.h"

#include <toml++/toml.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "FileIo.h"
#include "KeyReference.h"
#include "PeImage.h"
#include "common/Text.h"
#include "config/IncludedFileNames.h"
#include "config/LauncherConfig.h"

namespace marlo::pack {

namespace {

// " (did you mean NAME?)" for the catalogue key nearest to a mistyped one, or "".
std::string didYouMean(std::string_view name) {
    std::string nearest = nearestKey(name);
    return nearest.empty() ? std::string() : " (did you mean " + nearest + "?)";
}

struct DefaultText {
    ConfigId id;
    const char* text;
};

// The texts every block carries unless the description words them differently.
const DefaultText kDefaultMessages[] = {
    {cfg::MSG_TITLE, "Error"},
    {cfg::MSG_NO_JVM,
     "No JVM could be found on your system.\nPlease define BRENN_JAVA_HOME\nto point to an installed JDK or JRE "
     "or download a JRE from java.com."},
    {cfg::MSG_JVM_IN_PATH_DAMAGED,
     "The JVM found in your path is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed "
     "JDK or JRE."},
    {cfg::MSG_ENV_JVM_BROKEN, "The {0} environment variable does not\npoint to a working JDK or JRE."},
    {cfg::MSG_JVM_DAMAGED,
     "The JVM found at {0} is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed JDK or "
     "JRE."},
    {cfg::MSG_VM_NOT_STARTED,
     "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or firewall tool "
     "could block the execution."},
    {cfg::MSG_FILE_NOT_FOUND, "File or directory {0} not found or empty\n"},
    {cfg::MSG_WRONG_PARAMETERS, "Wrong Parameter Usage"},
    {cfg::MSG_ENV_NOT_DEFINED, "The environment variable {0} has to be defined"},
    {cfg::MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})"},
    {cfg::MSG_NO_MAIN_CLASS, "Couldn't load main class."},
    {cfg::MSG_NO_MAIN_METHOD, "Main method not found."},
    {cfg::MSG_ERROR_WORD, "Error"},
    {cfg::MSG_OK_WORD, "Ok"},
    {cfg::MSG_STARTUP_ERROR, "An error occurred while starting up {0}:"},
    {cfg::MSG_POWERUSER, "You must be at least Poweruser to run this program."},
    {cfg::MSG_NO_JVM_BITS,
     "No JVM could be found on your system.\nPlease define BRENN_JAVA_HOME\nto point to an installed {0}-bit JDK or "
     "JRE or download a JRE from java.com."},
    {cfg::MSG_ENV_JVM_BROKEN_32, "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE."},
    {cfg::MSG_ENV_JVM_BROKEN_64, "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE."},
    {cfg::MSG_JVM_DAMAGED_32,
     "The JVM found at {0} is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed 32-bit "
     "JDK or JRE."},
    {cfg::MSG_JVM_DAMAGED_64,
     "The JVM found at {0} is damaged.\nPlease reinstall or define BRENN_JAVA_HOME\nto point to an installed 64-bit "
     "JDK or JRE."},
};

const char* tomlTypeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "an integer";
        case toml::node_type::floating_point: return "a floating-point number";
        case toml::node_type::boolean: return "a boolean";
        case toml::node_type::date: return "a date";
        case toml::node_type::time: return "a time";
        case toml::node_type::date_time: return "a date-time";
        case toml::node_type::array: return "an array";
        case toml::node_type::table: return "a table";
        default: return "nothing";
    }
}

std::string hexCodePoint(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

// A record id written as a key: optional '-' and decimal digits within 32 bits.
bool parseIdKey(std::string_view key, ConfigId* id) {
    size_t i = key.size() > 0 && key[0] == '-' ? 1 : 0;
    if (i == key.size() || key.size() - i > 10) return false;
    int64_t value = 0;
    for (size_t k = i; k < key.size(); ++k) {
        if (key[k] < '0' || key[k] > '9') return false;
        value = value * 10 + (key[k] - '0');
    }
    if (i) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *id = static_cast<ConfigId>(value);
    return true;
}

struct Position {
    uint32_t line = 0;
    uint32_t column = 0;
};

Position positionOf(const toml::source_region& region) { return {region.begin.line, region.begin.column}; }

class Parser {
public:
    Parser(const std::string& path, std::vector<Diagnostic>& errors)
        : path_(path), baseDir_(std::filesystem::path(path).parent_path()), errors_(errors) {}

    void run(const toml::table& root, Description& out);

private:
    struct Narrow {
        std::string value;
        Position where;
    };
    struct Wide {
        std::u16string value;
        Position where;
    };

    void error(Position where, std::string message) {
        errors_.push_back({path_, where.line, where.column, std::move(message)});
    }
    void error(const toml::node& node, std::string message) { error(positionOf(node.source()), std::move(message)); }
    void error(const toml::key& key, std::string message) { error(positionOf(key.source()), std::move(message)); }
    void typeError(const toml::node& node, const std::string& what, const char* expected) {
        error(node, what + ": expected " + expected + ", found " + tomlTypeName(node.type()));
    }

    const toml::table* tableOf(const toml::node& node, const std::string& what);
    const toml::array* arrayOfTables(const toml::node& node, const std::string& what);
    bool narrowText(const toml::node& node, const std::string& what, const std::string& utf8, bool allowNul,
                    std::string& out);
    bool encodeTyped(const ConfigIdInfo& info, const toml::node& node, std::string& out);
    void givenTwice(ConfigId id, Position a, Position b, const std::string& where);
    void addNarrow(ConfigId id, std::string value, const toml::key& key);
    void readConfig(const toml::table& table);
    void readRecords(const toml::table& table);
    bool searchEntriesKnown(const toml::node& node, const std::string& list);
    void readWideTable(const toml::table& table, std::map<ConfigId, Wide>& records, const std::string& what);
    void readLocales(const toml::array& locales, std::vector<LocaleGroup>& groups);
    void readFiles(const toml::array& files, std::vector<IncludedFile>& out);
    void readChoice(const toml::node& node, const char* key, const char* first, const char* second, std::string& out);
    bool readSourceFile(const toml::node& node, const std::string& what, std::string& out);
    bool readText(const toml::node& node, const std::string& what, std::string& out);
    void unknownKey(const toml::key& key, const std::string& table, const std::vector<std::string>& known);
    void readIdentity(const toml::table& table, IdentitySettings& out);
    void readManifest(const toml::table& table, ManifestSettings& out);
    void readSplash(const toml::table& table, AppResources& out);

    std::string path_;
    std::filesystem::path baseDir_;
    std::vector<Diagnostic>& errors_;
    std::map<ConfigId, Narrow> narrow_;
    uint64_t fileBytes_ = 0;
    uint32_t splashWidth_ = 0, splashHeight_ = 0;
};

const toml::table* Parser::tableOf(const toml::node& node, const std::string& what) {
    if (const toml::table* table = node.as_table()) return table;
    typeError(node, what, "a table");
    return nullptr;
}

const toml::array* Parser::arrayOfTables(const toml::node& node, const std::string& what) {
    const toml::array* array = node.as_array();
    if (!array || !array->is_array_of_tables()) {
        if (array && array->empty()) return array;
        typeError(node, what, ("an array of tables ([[" + what + "]])").c_str());
        return nullptr;
    }
    return array;
}

bool Parser::narrowText(const toml::node& node, const std::string& what, const std::string& utf8, bool allowNul,
                        std::string& out) {
    char32_t bad = 0;
    if (!utf8ToLatin1(utf8, out, &bad)) {
        error(node, what + ": character " + hexCodePoint(bad) +
                        " cannot be stored: narrow records hold ISO 8859-1 characters only (up to U+00FF)");
        return false;
    }
    if (!allowNul && out.find('\0') != std::string::npos) {
        error(node, what + ": contains a NUL character, which would end the value for the launcher");
        return false;
    }
    return true;
}

bool Parser::encodeTyped(const ConfigIdInfo& info, const toml::node& node, std::string& out) {
    const std::string name = info.name;
    switch (info.type) {
        case ValueType::Boolean:
            if (const auto* b = node.as_boolean()) {
                out = b->get() ? "1" : "0";
                return true;
            }
            typeError(node, name, "a boolean (true or false)");
            return false;
        case ValueType::Integer:
            if (const auto* i = node.as_integer()) {
                int64_t v = i->get();
                if (v < INT32_MIN || v > INT32_MAX) {
                    error(node, name + ": " + std::to_string(v) + " does not fit in 32 bits");
                    return false;
                }
                out = std::to_string(v);
                return true;
            }
            typeError(node, name, "an integer");
            return false;
        case ValueType::Text:
        case ValueType::Message:
            if (const auto* s = node.as_string()) return narrowText(node, name, s->get(), false, out);
            typeError(node, name, "a string");
            return false;
        case ValueType::List:
            if (const auto* s = node.as_string()) return narrowText(node, name, s->get(), false, out);
            if (const auto* array = node.as_array()) {
                out.clear();
                bool ok = true;
                for (size_t k = 0; k < array->size(); ++k) {
                    const toml::node& element = *array->get(k);
                    const auto* s = element.as_string();
                    if (!s) {
                        typeError(element, name, "a string as list entry");
                        ok = false;
                        continue;
                    }
                    std::string entry;
                    if (!narrowText(element, name, s->get(), false, entry)) {
                        ok = false;
                        continue;
                    }
                    if (entry.find(';') != std::string::npos) {
                        error(element, name + ": list entry \"" + s->get() + "\" contains ';', the entry separator");
                        ok = false;
                        continue;
                    }
                    if (k) out += ';';
                    out += entry;
                }
                return ok;
            }
            typeError(node, name, "an array of strings or a string");
            return false;
        case ValueType::Colour: {
            const toml::array* array = node.as_array();
            if (!array || array->size() != 3) {
                error(node, name + ": expected an array of three integers 0..255 (red, green, blue), found " +
                                (array ? "an array of " + std::to_string(array->size()) : std::string(tomlTypeName(node.type()))));
                return false;
            }
            out.clear();
            bool ok = true;
            for (size_t k = 0; k < 3; ++k) {
                const toml::node& element = *array->get(k);
                const auto* i = element.as_integer();
                if (!i) {
                    typeError(element, name, "an integer colour component");
                    ok = false;
                    continue;
                }
                if (i->get() < 0 || i->get() > 255) {
                    error(element, name + ": colour component " + std::to_string(i->get()) + " is outside 0..255");
                    ok = false;
                    continue;
                }
                if (k) out += ',';
                out += std::to_string(i->get());
            }
            return ok;
        }
        case ValueType::Flavor: {
            const auto* s = node.as_string();
            std::string v = s ? s->get() : std::string();
            if (v == "brenn" || v == std::string(1, kBrennFlavor)) {
                out = std::string(1, kBrennFlavor);
                return true;
            }
            if (v == "kavora" || v == std::string(1, kKavoraFlavor)) {
                out = std::string(1, kKavoraFlavor);
                return true;
            }
            if (s) {
                std::string nearest = v.size() > 1 ? nearestName(v, {"brenn", "kavora"}) : std::string();
                error(node, name + ": expected \"brenn\", \"kavora\", \"e\" or \"i\", found \"" + v + "\"" +
                                (nearest.empty() ? std::string() : " (did you mean \"" + nearest + "\"?)"));
            } else {
                typeError(node, name, "\"brenn\", \"kavora\", \"e\" or \"i\"");
            }
            return false;
        }
        case ValueType::Reserved:
            if (const auto* s = node.as_string()) return narrowText(node, name, s->get(), false, out);
            if (const auto* i = node.as_integer()) {
                out = std::to_string(i->get());
                return true;
            }
            if (const auto* b = node.as_boolean()) {
                out = b->get() ? "1" : "0";
                return true;
            }
            typeError(node, name, "a string, integer or boolean");
            return false;
    }
    return false;
}

void Parser::givenTwice(ConfigId id, Position a, Position b, const std::string& where) {
    // Tables are visited in key order; report the occurrence that comes later in the file.
    bool aFirst = a.line < b.line || (a.line == b.line && a.column < b.column);
    Position first = aFirst ? a : b;
    Position second = aFirst ? b : a;
    error(second, "id " + std::to_string(id) + " is given twice" + where + " (first at line " +
                      std::to_string(first.line) + ")");
}

void Parser::addNarrow(ConfigId id, std::string value, const toml::key& key) {
    Position where = positionOf(key.source());
    auto found = narrow_.find(id);
    if (found != narrow_.end()) {
        givenTwice(id, found->second.where, where, "");
        return;
    }
    narrow_[id] = {std::move(value), where};
}

void Parser::readConfig(const toml::table& table) {
    for (auto&& [key, node] : table) {
        const ConfigIdInfo* info = findConfigIdByName(key.str());
        if (!info) {
            ConfigId id = 0;
            if (parseIdKey(key.str(), &id))
                error(key, "unknown configuration name '" + std::string(key.str()) +
                               "' (numbered records belong in [records])");
            else
                error(key, "unknown configuration name '" + std::string(key.str()) + "'" + didYouMean(key.str()));
            continue;
        }
        std::string value;
        if (!encodeTyped(*info, node, value)) continue;
        if (info->capacity > 0 && value.size() > static_cast<size_t>(info->capacity - 1)) {
            error(node, std::string(info->name) + ": value is " + std::to_string(value.size()) +
                            " bytes long; the launcher holds at most " + std::to_string(info->capacity - 1));
            continue;
        }
        if (info->id == cfg::JRE_SEARCH_SEQUENCE && !searchEntriesKnown(node, value)) continue;
        addNarrow(info->id, std::move(value), key);
    }
}

// Every entry of the runtime search starts with a letter the launcher knows; it passes over any
// other, so a mistyped one would go unnoticed until a machine lacks the runtime it stood for.
bool Parser::searchEntriesKnown(const toml::node& node, const std::string& list) {
    static const char kLetters[] = "ABRESYV";
    bool ok = true;
    for (const std::string& entry : splitAtSemicolons(list)) {
        if (entry.empty() || (entry[0] != '\0' && std::strchr(kLetters, entry[0]))) continue;
        error(node, "JRE_SEARCH_SEQUENCE: entry \"" + latin1ToUtf8(entry) + "\" does not start with a search letter "
                    "(A, B or R a directory, E an environment variable, S the search path, Y or V the registry)");
        ok = false;
    }
    return ok;
}

void Parser::readRecords(const toml::table& table) {
    for (auto&& [key, node] : table) {
        ConfigId id = 0;
        if (!parseIdKey(key.str(), &id)) {
            error(key, "[records] key '" + std::string(key.str()) + "' is not a record number");
            continue;
        }
        const auto* s = node.as_string();
        if (!s) {
            typeError(node, "record " + std::string(key.str()), "a string");
            continue;
        }
        std::string value;
        if (!narrowText(node, "record " + std::string(key.str()), s->get(), true, value)) continue;
        addNarrow(id, std::move(value), key);
    }
}

void Parser::readWideTable(const toml::table& table, std::map<ConfigId, Wide>& records, const std::string& what) {
    for (auto&& [key, node] : table) {
        ConfigId id = 0;
        if (const ConfigIdInfo* info = findConfigIdByName(key.str())) {
            id = info->id;
        } else if (!parseIdKey(key.str(), &id)) {
            error(key, "unknown configuration name '" + std::string(key.str()) + "' in " + what +
                           didYouMean(key.str()));
            continue;
        }
        const auto* s = node.as_string();
        if (!s) {
            typeError(node, std::string(key.str()), "a string");
            continue;
        }
        Position where = positionOf(key.source());
        auto found = records.find(id);
        if (found != records.end()) {
            givenTwice(id, found->second.where, where, " in " + what);
            continue;
        }
        std::u16string text;
        utf8ToUtf16(s->get(), text);  // the parser has already rejected invalid UTF-8
        records[id] = {std::move(text), where};
    }
}

void Parser::readLocales(const toml::array& locales, std::vector<LocaleGroup>& groups) {
    for (const toml::node& entry : locales) {
        const toml::table& table = *entry.as_table();
        LocaleGroup group;
        bool haveCode = false;
        std::map<ConfigId, Wide> records;
        for (auto&& [key, node] : table) {
            if (key.str() == "code") {
                haveCode = true;
                if (const auto* s = node.as_string())
                    narrowText(node, "locale code", s->get(), false, group.locale);
                else
                    typeError(node, "locale code", "a string");
            } else if (key.str() == "records") {
                if (const toml::table* sub = tableOf(node, "locale records")) readWideTable(*sub, records, "[locale.records]");
            } else {
                error(key, "unknown key '" + std::string(key.str()) + "' in [[locale]] (expected code, records)");
            }
        }
        if (!haveCode) error(entry, "[[locale]] entry without a code");
        for (auto& [id, record] : records) group.records.push_back({id, std::move(record.value)});
        groups.push_back(std::move(group));
    }
}

void Parser::readFiles(const toml::array& files, std::vector<IncludedFile>& out) {
    std::map<std::string, uint32_t> seen;  // name key -> line
    for (const toml::node& entry : files) {
        const toml::table& table = *entry.as_table();
        const toml::node* nameNode = nullptr;
        const toml::node* sourceNode = nullptr;
        for (auto&& [key, node] : table) {
            if (key.str() == "name")
                nameNode = &node;
            else if (key.str() == "source")
                sourceNode = &node;
            else
                error(key, "unknown key '" + std::string(key.str()) + "' in [[files]] (expected name, source)");
        }
        if (!nameNode || !sourceNode) {
            error(entry, std::string("[[files]] entry without a ") + (nameNode ? "source" : "name"));
            continue;
        }
        IncludedFile file;
        bool ok = true;
        if (const auto* s = nameNode->as_string()) {
            std::string why;
            if (!narrowText(*nameNode, "included file name", s->get(), false, file.name)) {
                ok = false;
            } else if (!isValidIncludedName(file.name, &why)) {
                error(*nameNode, "included file name \"" + s->get() + "\": " + why);
                ok = false;
            } else {
                auto [it, fresh] = seen.emplace(includedNameKey(file.name), nameNode->source().begin.line);
                if (!fresh) {
                    error(*nameNode, "included file name \"" + s->get() + "\" is given twice (first at line " +
                                         std::to_string(it->second) + ")");
                    ok = false;
                }
            }
        } else {
            typeError(*nameNode, "included file name", "a string");
            ok = false;
        }
        const auto* source = sourceNode->as_string();
        if (!source) {
            typeError(*sourceNode, "included file source", "a string");
            continue;
        }
        std::filesystem::path sourcePath(source->get());
        if (sourcePath.is_relative()) sourcePath = baseDir_ / sourcePath;
        std::string why;
        if (!readFileBytes(sourcePath.string(), file.content, kMaxImageSize, &why)) {
            error(*sourceNode, "cannot read included file source '" + source->get() + "': " + why);
            continue;
        }
        fileBytes_ += 8 + file.content.size();
        if (fileBytes_ > kMaxImageSize) {
            error(*sourceNode, "included files add up to more than 2 GiB");
            continue;
        }
        if (ok) out.push_back(std::move(file));
    }
}

void Parser::readChoice(const toml::node& node, const char* key, const char* first, const char* second,
                        std::string& out) {
    const auto* s = node.as_string();
    if (s && (s->get() == first || s->get() == second)) {
        out = s->get();
        return;
    }
    std::string expected = std::string("\"") + first + "\" or \"" + second + "\"";
    if (s) {
        std::string nearest = nearestName(s->get(), {first, second});
        error(node, std::string(key) + ": expected " + expected + ", found \"" + s->get() + "\"" +
                        (nearest.empty() ? std::string() : " (did you mean \"" + nearest + "\"?)"));
    } else {
        typeError(node, key, expected.c_str());
    }
}

bool Parser::readSourceFile(const toml::node& node, const std::string& what, std::string& out) {
    const auto* s = node.as_string();
    if (!s) {
        typeError(node, what, "a file name (string)");
        return false;
    }
    std::filesystem::path source(s->get());
    if (source.is_relative()) source = baseDir_ / source;
    std::string why;
    if (!readFileBytes(source.string(), out, 64u << 20, &why)) {
        error(node, what + ": cannot read '" + s->get() + "': " + why);
        return false;
    }
    return true;
}

bool Parser::readText(const toml::node& node, const std::string& what, std::string& out) {
    const auto* s = node.as_string();
    if (!s) {
        typeError(node, what, "a string");
        return false;
    }
    std::string why;
    if (!checkVersionString(s->get(), &why)) {
        error(node, what + ": " + why);
        return false;
    }
    out = s->get();
    return true;
}

void Parser::unknownKey(const toml::key& key, const std::string& table, const std::vector<std::string>& known) {
    std::string nearest = nearestName(key.str(), known);
    std::string list;
    for (size_t i = 0; i < known.size(); ++i) list += (i ? ", " : "") + known[i];
    error(key, "unknown key '" + std::string(key.str()) + "' in [" + table + "]" +
                   (nearest.empty() ? " (expected " + list + ")" : " (did you mean " + nearest + "?)"));
}

void Parser::readIdentity(const toml::table& table, IdentitySettings& out) {
    static const std::vector<std::string> kKeys = {"icon", "version", "product_name", "company", "file_description",
                                                   "copyright", "original_filename", "internal_name"};
    for (auto&& [key, node] : table) {
        const std::string k(key.str());
        if (k == "icon") {
            std::string bytes, why;
            if (!readSourceFile(node, "icon", bytes)) continue;
            if (!checkIconFile(bytes, &why)) {
                error(node, "icon '" + std::string(node.as_string()->get()) + "': " + why);
                continue;
            }
            out.icon = std::move(bytes);
        } else if (k == "version") {
            const auto* s = node.as_string();
            std::string why;
            if (!s) {
                typeError(node, "version", "a string like \"1.2.3\"");
            } else if (!parseVersionText(s->get(), out.version, &why)) {
                error(node, "version \"" + s->get() + "\": " + why);
            } else {
                out.hasVersionInfo = true;
            }
        } else if (std::find(kKeys.begin(), kKeys.end(), k) != kKeys.end()) {
            std::string text;
            if (!readText(node, k, text)) continue;
            std::optional<std::string>* field = k == "product_name" ? &out.productName
                                              : k == "company" ? &out.company
                                              : k == "file_description" ? &out.fileDescription
                                              : k == "copyright" ? &out.copyright
                                              : k == "original_filename" ? &out.originalFilename
                                                                         : &out.internalName;
            *field = text;
            out.hasVersionInfo = true;
        } else {
            unknownKey(key, "identity", kKeys);
        }
    }
}

void Parser::readManifest(const toml::table& table, ManifestSettings& out) {
    static const std::vector<std::string> kKeys = {"dpi_awareness", "utf8_code_page", "long_path_aware",
                                                   "execution_level"};
    out.present = true;
    for (auto&& [key, node] : table) {
        const std::string k(key.str());
        if (k == "dpi_awareness" || k == "execution_level") {
            const bool dpi = k == "dpi_awareness";
            const std::vector<std::string> values =
                dpi ? std::vector<std::string>{"unaware", "system", "per-monitor", "per-monitor-v2"}
                    : std::vector<std::string>{"asInvoker", "highestAvailable", "requireAdministrator"};
            const auto* s = node.as_string();
            if (s && (dpi ? isDpiAwareness(s->get()) : isExecutionLevel(s->get()))) {
                (dpi ? out.dpiAwareness : out.executionLevel) = s->get();
                continue;
            }
            std::string list;
            for (size_t i = 0; i < values.size(); ++i) list += (i ? ", " : "") + values[i];
            if (!s) {
                typeError(node, k, ("one of " + list).c_str());
                continue;
            }
            std::string nearest = nearestName(s->get(), values);
            error(node, k + ": expected one of " + list + ", found \"" + s->get() + "\"" +
                            (nearest.empty() ? std::string() : " (did you mean \"" + nearest + "\"?)"));
        } else if (k == "utf8_code_page" || k == "long_path_aware") {
            const auto* b = node.as_boolean();
            if (!b) {
                typeError(node, k, "a boolean (true or false)");
                continue;
            }
            (k == "utf8_code_page" ? out.utf8CodePage : out.longPathAware) = b->get();
        } else {
            unknownKey(key, "manifest", kKeys);
        }
    }
}

void Parser::readSplash(const toml::table& table, AppResources& out) {
    for (auto&& [key, node] : table) {
        if (key.str() != "image") {
            unknownKey(key, "splash", {"image"});
            continue;
        }
        std::string bytes, why;
        if (!readSourceFile(node, "splash image", bytes)) continue;
        if (!checkSplashImage(bytes, splashWidth_, splashHeight_, &why)) {
            error(node, "splash image '" + std::string(node.as_string()->get()) + "': " + why);
            continue;
        }
        out.splashImage = std::move(bytes);
    }
}

void Parser::run(const toml::table& root, Description& out) {
    const toml::array* files = nullptr;
    for (auto&& [key, node] : root) {
        std::string_view k = key.str();
        if (k == "launcher") {
            readChoice(node, "launcher", "marlo", "pivok", out.launcher);
        } else if (k == "arch") {
            readChoice(node, "arch", "x86", "x64", out.arch);
        } else if (k == "config") {
            if (const toml::table* t = tableOf(node, "config")) readConfig(*t);
        } else if (k == "records") {
            if (const toml::table* t = tableOf(node, "records")) readRecords(*t);
        } else if (k == "wide") {
            if (const toml::table* t = tableOf(node, "wide")) {
                std::map<ConfigId, Wide> wide;
                readWideTable(*t, wide, "[wide]");
                for (auto& [id, record] : wide) out.contents.wide.push_back({id, std::move(record.value)});
            }
        } else if (k == "locale") {
            if (const toml::array* a = arrayOfTables(node, "locale")) readLocales(*a, out.contents.groups);
        } else if (k == "files") {
            files = arrayOfTables(node, "files");
            if (files) readFiles(*files, out.files);
        } else if (k == "identity") {
            if (const toml::table* t = tableOf(node, "identity")) readIdentity(*t, out.resources.identity);
        } else if (k == "manifest") {
            if (const toml::table* t = tableOf(node, "manifest")) readManifest(*t, out.resources.manifest);
        } else if (k == "splash") {
            if (const toml::table* t = tableOf(node, "splash")) readSplash(*t, out.resources);
        } else {
            error(key, "unknown key '" + std::string(k) +
                           "' (expected launcher, arch, [config], [records], [wide], [[locale]], [[files]], "
                           "[identity], [manifest], [splash])");
        }
    }

    if (files && !files->empty()) {
        for (ConfigId id : {cfg::INCLUDED_FILE_COUNT, cfg::INCLUDED_FILES}) {
            auto found = narrow_.find(id);
            if (found != narrow_.end())
                error(found->second.where, std::string(findConfigId(id)->name) +
                                               " is derived from [[files]]; do not give it as well");
        }
        std::string names;
        for (size_t i = 0; i < out.files.size(); ++i) names += (i ? ";" : "") + out.files[i].name;
        narrow_[cfg::INCLUDED_FILE_COUNT] = {std::to_string(out.files.size()), {}};
        narrow_[cfg::INCLUDED_FILES] = {names, {}};
    } else {
        // The launcher reads as many files as the count says: a count without [[files]] would make
        // it read the block's padding as file data.
        auto count = narrow_.find(cfg::INCLUDED_FILE_COUNT);
        if (count != narrow_.end() && atoiRule(count->second.value.c_str()) != 0)
            error(count->second.where, "INCLUDED_FILE_COUNT is derived from [[files]]; without [[files]] it can "
                                       "only be 0");
    }
    // The native splash window takes its size from the image unless the description gives one.
    if (!out.resources.splashImage.empty() && out.launcher == "marlo") {
        narrow_.insert({cfg::SPLASH_WIDTH, {std::to_string(splashWidth_), {}}});
        narrow_.insert({cfg::SPLASH_HEIGHT, {std::to_string(splashHeight_), {}}});
    }
    for (const DefaultText& message : kDefaultMessages) narrow_.insert({message.id, {message.text, {}}});
    narrow_.insert({cfg::LAUNCHER_FLAVOR, {std::string(1, kBrennFlavor), {}}});
    narrow_.insert({cfg::EXECUTABLE_TYPE, {"1", {}}});
    narrow_.insert({cfg::INCLUDED_FILE_COUNT, {"0", {}}});
    for (auto& [id, record] : narrow_) out.contents.narrow.emplace_back(id, std::move(record.value));
}

// TOML basic string with the escapes the format requires; other characters stay UTF-8.
std::string quote(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04X", u);
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

// Decimal text exactly as the packer writes an integer: no sign on zero, no leading zeros.
bool canonicalInteger(const std::string& s, int64_t low, int64_t high, int64_t* value) {
    size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() - i > 10 || (s[i] == '0' && s.size() - i > 1) || (i && s == "-0")) return false;
    int64_t v = 0;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') return false;
        v = v * 10 + (s[k] - '0');
    }
    if (i) v = -v;
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

// The TOML form of a record under its catalogue name, or "" when the text does not fit the type
// (it is then written under [records], unchanged).
std::string typedValue(const ConfigIdInfo& info, const std::string& value) {
    if (info.capacity > 0 && value.size() > static_cast<size_t>(info.capacity - 1)) return "";
    if (value.find('\0') != std::string::npos) return "";
    int64_t number = 0;
    switch (info.type) {
        case ValueType::Boolean:
            return value == "1" ? "true" : value == "0" ? "false" : "";
        case ValueType::Integer:
            return canonicalInteger(value, INT32_MIN, INT32_MAX, &number) ? value : "";
        case ValueType::Text:
        case ValueType::Message:
        case ValueType::Reserved:
            return quote(latin1ToUtf8(value));
        case ValueType::List: {
            std::vector<std::string> entries = splitAtSemicolons(value);
            for (const std::string& entry : entries)
                if (entry.empty()) return quote(latin1ToUtf8(value));  // keeps the separators as they are
            std::string out = "[";
            for (size_t i = 0; i < entries.size(); ++i) out += (i ? ", " : "") + quote(latin1ToUtf8(entries[i]));
            return out + "]";
        }
        case ValueType::Colour: {
            std::vector<std::string> parts;
            size_t start = 0;
            for (size_t comma; (comma = value.find(',', start)) != std::string::npos; start = comma + 1)
                parts.push_back(value.substr(start, comma - start));
            parts.push_back(value.substr(start));
            if (parts.size() != 3) return "";
            for (const std::string& part : parts)
                if (!canonicalInteger(part, 0, 255, &number)) return "";
            return "[" + parts[0] + ", " + parts[1] + ", " + parts[2] + "]";
        }
        case ValueType::Flavor:
            if (value == std::string(1, kBrennFlavor)) return "\"brenn\"";
            if (value == std::string(1, kKavoraFlavor)) return "\"kavora\"";
            return "";
    }
    return "";
}

std::string recordKey(ConfigId id) { return "\"" + std::to_string(id) + "\""; }

std::string wideKey(ConfigId id) {
    const ConfigIdInfo* info = findConfigId(id);
    return info ? std::string(info->name) : recordKey(id);
}

bool hasLoneSurrogate(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    }
    return false;
}

void writeWideRecords(std::string& out, const std::vector<WideRecord>& records, const std::string& where,
                      std::vector<std::string>* warnings) {
    std::map<ConfigId, const std::u16string*> last;
    for (const WideRecord& record : records) last[record.id] = &record.text;
    for (const auto& [id, text] : last) {
        if (hasLoneSurrogate(*text) && warnings)
            warnings->push_back("wide record " + std::to_string(id) + " in " + where +
                                " holds unpaired UTF-16 surrogates; they are written as U+FFFD");
        out += wideKey(id) + " = " + quote(utf16ToUtf8(*text)) + "\n";
    }
}

}  // namespace

std::string Diagnostic::text() const {
    if (file.empty()) return message;
    if (line == 0) return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

const char* defaultMessageText(ConfigId id) {
    for (const DefaultText& message : kDefaultMessages)
        if (message.id == id) return message.text;
    return nullptr;
}

bool utf8ToLatin1(const std::string& utf8, std::string& out, char32_t* bad) {
    out.clear();
    std::u16string wide;
    if (!utf8ToUtf16(utf8, wide)) {
        *bad = 0xFFFD;
        return false;
    }
    for (size_t i = 0; i < wide.size(); ++i) {
        char16_t c = wide[i];
        if (c > 0xFF) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size())
                *bad = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            else
                *bad = c;
            out.clear();
            return false;
        }
        out.push_back(static_cast<char>(c));
    }
    return true;
}

std::string latin1ToUtf8(const std::string& bytes) { return utf16ToUtf8(widenLatin1(bytes)); }

bool isValidIncludedName(const std::string& name, std::string* why) {
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    if (name.empty()) return fail("the name is empty");
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == ';') return fail("contains ';', the separator of INCLUDED_FILES");
        if (u < 0x20 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos)
            return fail(std::string("contains '") + (u < 0x20 ? "\\x" + std::to_string(u) : std::string(1, c)) +
                        "', which a Windows file name cannot hold");
    }
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t slash; (slash = name.find('\\', start)) != std::string::npos; start = slash + 1)
        parts.push_back(name.substr(start, slash - start));
    parts.push_back(name.substr(start));
    if (parts.size() > 2) return fail("the launcher creates only one directory level (one backslash)");
    if (!staysInsideDirectory(name)) return fail("a name component is empty, \".\" or \"..\"");
    return true;
}

std::string includedNameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

std::vector<std::string> splitAtSemicolons(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1)
        parts.push_back(text.substr(start, semi - start));
    parts.push_back(text.substr(start));
    return parts;
}

namespace {

// TOML allows characters beyond ASCII only in strings and comments. The parser library we use
// classifies many of them wrongly (undefined behaviour) where it tests for whitespace: outside
// strings, right after a backslash in a multi-line string, and where it trims the start of the
// line after a line-ending backslash. Such characters are refused here first, with their place.
// A quote opens a string only where TOML lets one begin (after "=", "[", ",", "{", "." or at the
// start of a line); elsewhere it is no string, and what follows is judged as outside one.
bool onlyAsciiOutsideStrings(std::string_view text, const std::string& path, std::vector<Diagnostic>& errors) {
    enum class In { Code, Comment, Basic, Literal, MultiBasic, MultiLiteral } in = In::Code;
    uint32_t line = 1;
    uint32_t column = 0;
    char lastSignificant = '\n';   // the last character outside strings other than blanks
    bool trimming = false;         // after a line-ending backslash in a multi-line basic string
    auto refuse = [&](unsigned char c, const char* where) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%02X", c);
        errors.push_back({path, line, column, std::string("a character beyond ASCII (first byte ") + code + ") " + where});
        return false;
    };
    // A byte-order mark may open the file.
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t i = start; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) ++column;  // columns count characters, not bytes
        auto ahead = [&](const char* three) { return text.compare(i, 3, three) == 0; };
        auto skipRun = [&](char quote) {  // a closing run may hold up to two quotes of the string
            size_t run = 0;
            while (i + run < text.size() && text[i + run] == quote) ++run;
            i += run - 1;
            column += static_cast<uint32_t>(run - 1);
        };
        // TOML has no raw NUL anywhere (in strings it is written \u0000); the parser library
        // reads past one inconsistently (found by fuzzing), so it is refused here.
        if (c == 0) {
            errors.push_back({path, line, column, "a NUL byte; TOML allows it only written as \\u0000 in a string"});
            return false;
        }
        const bool stringMayBegin = std::string_view("=[,{.\n").find(lastSignificant) != std::string_view::npos;
        switch (in) {
        case In::Code:
            if (c >= 0x80) return refuse(c, "outside a string or comment");
            if (c == '#') {
                in = In::Comment;
            } else if ((c == '"' || c == '\'') && stringMayBegin) {
                if (ahead(c == '"' ? "\"\"\"" : "'''")) {
                    in = c == '"' ? In::MultiBasic : In::MultiLiteral;
                    i += 2;
                    column += 2;
                } else {
                    in = c == '"' ? In::Basic : In::Literal;
                }
                lastSignificant = '"';
            } else if (c != ' ' && c != '\t' && c != '\r') {
                lastSignificant = static_cast<char>(c);
            }
            break;
        case In::Comment:
            if (c == '\n') {
                in = In::Code;
                lastSignificant = '\n';
            }
            break;
        case In::Basic:
            if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
                ++i;
                if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
            } else if (c == '"' || c == '\n') {
                in = In::Code;  // an unclosed string is the parser's to report
                if (c == '\n') lastSignificant = '\n';
            }
            break;
        case In::MultiBasic:
            if (trimming) {
                if (c >= 0x80) return refuse(c, "at the start of a line continued by a backslash");
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n') trimming = false;
            }
            if (c == '\\' && i + 1 < text.size()) {
                const unsigned char next = static_cast<unsigned char>(text[i + 1]);
                if (next >= 0x80) {
                    ++column;
                    return refuse(next, "right after a backslash in a multi-line string");
                }
                if (next == ' ' || next == '\t' || next == '\r' || next == '\n') {
                    trimming = true;  // a line-ending backslash (the parser checks the rest)
                } else {
                    ++i;
                    ++column;
                }
            } else if (!trimming && ahead("\"\"\"")) {
                skipRun('"');
                in = In::Code;
            }
            break;
        case In::Literal:
            if (c == '\'' || c == '\n') {
                in = In::Code;
                if (c == '\n') lastSignificant = '\n';
            }
            break;
        case In::MultiLiteral:
            if (ahead("'''")) {
                skipRun('\'');
                in = In::Code;
            }
            break;
        }
        if (c == '\n') {
            ++line;
            column = 0;
        }
    }
    return true;
}

}  // namespace

bool parseDescription(std::string_view text, const std::string& path, Description& out,
                      std::vector<Diagnostic>& errors) {
    out = Description{};
    size_t before = errors.size();
    if (!onlyAsciiOutsideStrings(text, path, errors)) return false;
    toml::table root;
    try {
        root = toml::parse(text, std::string_view(path));
    } catch (const toml::parse_error& e) {
        errors.push_back({path, e.source().begin.line, e.source().begin.column, std::string(e.description())});
        return false;
    }
    Parser parser(path, errors);
    parser.run(root, out);
    // Tables are visited in key order; report in the order of the file.
    std::stable_sort(errors.begin() + static_cast<std::ptrdiff_t>(before), errors.end(),
                     [](const Diagnostic& a, const Diagnostic& b) {
                         return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    return errors.size() == before;
}

bool loadDescription(const std::string& path, Description& out, std::vector<Diagnostic>& errors) {
    std::string text;
    std::string why;
    if (!readFileBytes(path, text, 64u << 20, &why)) {
        errors.push_back({path, 0, 0, "cannot read the description: " + why});
        return false;
    }
    return parseDescription(text, path, out, errors);
}

std::string formatDescription(const BlockContents& contents, const std::string& arch,
                              const std::vector<ListedFile>* files, const std::vector<std::string>& notes,
                              std::vector<std::string>* warnings) {
    std::string out = "# Application description read back by marlo-pack dump.\n";
    for (const std::string& note : notes) out += "# " + note + "\n";
    if (!arch.empty()) out += "arch = " + quote(arch) + "\n";

    std::map<ConfigId, const std::string*> narrow;
    for (const auto& record : contents.narrow) narrow[record.first] = &record.second;
    std::string typed;
    std::string raw;
    for (const auto& [id, value] : narrow) {
        if (files && (id == cfg::INCLUDED_FILE_COUNT || id == cfg::INCLUDED_FILES)) continue;
        const ConfigIdInfo* info = findConfigId(id);
        std::string literal = info ? typedValue(*info, *value) : "";
        if (!literal.empty())
            typed += std::string(info->name) + " = " + literal + "\n";
        else
            raw += recordKey(id) + " = " + quote(latin1ToUtf8(*value)) + "\n";
    }
    if (!typed.empty()) out += "\n[config]\n" + typed;
    if (!raw.empty()) out += "\n[records]\n" + raw;
    if (!contents.wide.empty()) {
        out += "\n[wide]\n";
        writeWideRecords(out, contents.wide, "[wide]", warnings);
    }
    for (const LocaleGroup& group : contents.groups) {
        out += "\n[[locale]]\ncode = " + quote(latin1ToUtf8(group.locale)) + "\n";
        if (!group.records.empty()) {
            out += "[locale.records]\n";
            writeWideRecords(out, group.records, "locale " + latin1ToUtf8(group.locale), warnings);
        }
    }
    if (files) {
        for (const ListedFile& file : *files)
            out += "\n[[files]]\nname = " + quote(latin1ToUtf8(file.name)) + "\nsource = " + quote(file.source) + "\n";
    }
    return out;
}

}  // namespace marlo::pack
