#include "config/LauncherConfig.h"

#include <cstring>

#include "diag/Log.h"

namespace marlo {

void LauncherConfig::clear() {
    narrow_.clear();
    wide_.clear();
    std::memset(language_, 0, sizeof language_);
    std::memset(country_, 0, sizeof country_);
    includedDataOffset_ = 0;
    flavor_ = 0;
}

void LauncherConfig::load(const BlockContents& contents, const char* localeCode) {
    clear();
    for (const auto& record : contents.narrow) narrow_[record.first] = record.second;
    for (const WideRecord& record : contents.wide) wide_[record.id] = record.text;
    size_t codeLength = std::strlen(localeCode);
    if (codeLength >= 2) {
        language_[0] = localeCode[0];
        language_[1] = localeCode[1];
    }
    if (codeLength == 5) {
        country_[0] = localeCode[3];
        country_[1] = localeCode[4];
    }
    for (const LocaleGroup& group : contents.groups) {
        bool applies = group.locale.size() <= codeLength &&
                       std::memcmp(group.locale.data(), localeCode, group.locale.size()) == 0;
        if (!applies) continue;
        for (const WideRecord& record : group.records) wide_[record.id] = record.text;
    }
    includedDataOffset_ = contents.includedDataOffset;
    auto flavor = narrow_.find(cfg::LAUNCHER_FLAVOR);
    flavor_ = flavor == narrow_.end() ? 0 : flavor->second.c_str()[0];
}

const char* LauncherConfig::valueFor(ConfigId id, int capacity, int* copy) const {
    auto it = narrow_.find(id);
    if (it == narrow_.end()) {
        *copy = 0;
        return "";
    }
    // Values are NUL-terminated byte strings: an embedded NUL ends them, as it would in C.
    int len = static_cast<int>(std::strlen(it->second.c_str()));
    *copy = len;
    if (len > capacity - 1) {
        // Also for the wide getter: a value longer than the caller's buffer (only a damaged or
        // hand-made block has one) is cut rather than overrunning it.
        *copy = capacity - 1;
        logMessage(u"ERROR: config string %d truncated (%d %d)", id, capacity, len);
    }
    return it->second.c_str();
}

void LauncherConfig::getString(ConfigId id, char* buffer, int capacity) const {
    if (capacity <= 0) return;
    int copy = 0;
    const char* value = valueFor(id, capacity, &copy);
    std::memcpy(buffer, value, static_cast<size_t>(copy));
    buffer[copy] = 0;
}

void LauncherConfig::getWString(ConfigId id, char16_t* buffer, int capacity) const {
    if (capacity <= 0) return;
    int copy = 0;
    const char* value = valueFor(id, capacity, &copy);
    for (int i = 0; i < copy; ++i) buffer[i] = static_cast<unsigned char>(value[i]);
    buffer[copy] = 0;
}

std::string LauncherConfig::getStringCopy(ConfigId id) const {
    auto it = narrow_.find(id);
    if (it == narrow_.end()) return std::string();
    return std::string(it->second.c_str());
}

int atoiRule(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10u + static_cast<uint32_t>(*p++ - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

int LauncherConfig::getInt(ConfigId id) const {
    char buffer[6000];
    getString(id, buffer, sizeof buffer);
    return atoiRule(buffer);
}

uint32_t LauncherConfig::getColor(ConfigId id) const {
    char buffer[6000];
    getString(id, buffer, 5999);
    // Three comma-separated components; missing ones count as 0.
    uint32_t parts[3] = {0, 0, 0};
    const char* p = buffer;
    for (int i = 0; i < 3; ++i) {
        parts[i] = static_cast<uint32_t>(atoiRule(p)) & 0xFFu;
        const char* comma = std::strchr(p, ',');
        if (!comma) break;
        p = comma + 1;
    }
    return parts[0] | parts[1] << 8 | parts[2] << 16;
}

bool LauncherConfig::language(char* buffer) const {
    if (!language_[0]) return false;
    std::memcpy(buffer, language_, 3);
    return true;
}

bool LauncherConfig::country(char* buffer) const {
    if (!country_[0]) return false;
    std::memcpy(buffer, country_, 3);
    return true;
}

LauncherConfig& launcherConfig() {
    static LauncherConfig* config = new LauncherConfig();  // lives for the whole process
    return *config;
}

void getConfigString(ConfigId id, char* buffer, int capacity) { launcherConfig().getString(id, buffer, capacity); }
void getConfigWString(ConfigId id, char16_t* buffer, int capacity) {
    launcherConfig().getWString(id, buffer, capacity);
}
std::string getConfigStringCopy(ConfigId id) { return launcherConfig().getStringCopy(id); }
int getConfigInt(ConfigId id) { return launcherConfig().getInt(id); }
uint32_t getConfigColor(ConfigId id) { return launcherConfig().getColor(id); }
bool configLanguage(char* buffer) { return launcherConfig().language(buffer); }
bool configCountry(char* buffer) { return launcherConfig().country(buffer); }
char launcherFlavor() { return launcherConfig().flavor(); }

}  // namespace marlo
