// LauncherConfig: the configuration block read into tables, and the typed getters every part of
// the launcher asks. Filled once at start, read-only afterwards, so getters take no lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "config/ConfigBlock.h"

namespace marlo {

class LauncherConfig {
public:
    // Builds the tables from a block as read: later narrow records replace earlier ones; locale
    // groups whose locale is a prefix of localeCode override wide records, later groups winning.
    void load(const BlockContents& contents, const char* localeCode);
    void clear();

    // Getter semantics of the launcher (see the implementation for the exact rules).
    void getString(ConfigId id, char* buffer, int capacity) const;
    void getWString(ConfigId id, char16_t* buffer, int capacity) const;
    std::string getStringCopy(ConfigId id) const;
    int getInt(ConfigId id) const;
    uint32_t getColor(ConfigId id) const;
    bool language(char* buffer) const;  // two letters and NUL
    // The first character of configuration id 2001 ('e' brenn, 'i' kavora), 0 when absent.
    char flavor() const { return flavor_; }
    bool country(char* buffer) const;

    const std::map<ConfigId, std::string>& narrowTable() const { return narrow_; }
    const std::map<ConfigId, std::u16string>& wideTable() const { return wide_; }
    uint32_t includedDataOffset() const { return includedDataOffset_; }

private:
    // The stored value and how much of it fits a buffer of capacity (logging a cut).
    const char* valueFor(ConfigId id, int capacity, int* copy) const;

    std::map<ConfigId, std::string> narrow_;
    std::map<ConfigId, std::u16string> wide_;
    char language_[3] = {0, 0, 0};
    char country_[3] = {0, 0, 0};
    uint32_t includedDataOffset_ = 0;
    char flavor_ = 0;
};

// The process's configuration.
LauncherConfig& launcherConfig();

// The C library's atoi rules over a byte string: leading white space, optional sign, digits up to
// the first non-digit; no digits give 0. Overflow wraps like a 32-bit accumulator.
int atoiRule(const char* text);

// Process-wide getters over launcherConfig().
void getConfigString(ConfigId id, char* buffer, int capacity);
void getConfigWString(ConfigId id, char16_t* buffer, int capacity);
std::string getConfigStringCopy(ConfigId id);
int getConfigInt(ConfigId id);
uint32_t getConfigColor(ConfigId id);
bool configLanguage(char* buffer);
char launcherFlavor();
bool configCountry(char* buffer);

}  // namespace marlo
