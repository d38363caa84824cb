// Java version texts as lists of numbers, the newer-than order, and the version window of the
// configuration (minimum and maximum, either open).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marlo {

using JavaVersion = std::vector<int32_t>;

// Cuts at '.', '_', '-' and '+' (runs count as one, no empty pieces); each piece gives the number
// of its leading digits (0 when it starts otherwise; saturated at INT32_MAX when too long).
JavaVersion parseJavaVersion(const char* text);

// True when A is strictly newer than B, component by component.
bool isNewerVersion(const char* a, const char* b);

bool meetsVersionBound(const JavaVersion& bound, const JavaVersion& tested, bool upper, bool missingPasses);

// Registry key names: a version that ends early passes both bounds.
bool inVersionWindowLenient(const char* text, const JavaVersion& minimum, const JavaVersion& maximum);

// Versions reported by a runtime: pre-release texts ("beta", "ea", "rc") are refused unless
// allowed (by the caller or ALLOW_PRERELEASE_JAVA); a version that ends early fails a bound.
bool inVersionWindowStrict(const char* text, const JavaVersion& minimum, const JavaVersion& maximum,
                           bool allowPrerelease);

// The version text of the first line a runtime writes for "-version": after `java version "` or
// `openjdk version "`, less the line's last two characters. False when neither form matches or
// nothing would remain.
bool versionFromProbeLine(const std::string& firstLine, std::string& version);

}  // namespace marlo
