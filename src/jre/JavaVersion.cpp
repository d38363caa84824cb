#include "jre/JavaVersion.h"

#include <cstring>

#include "config/LauncherConfig.h"
#include "diag/Log.h"

namespace marlo {

namespace {

bool isDelimiter(char c) { return c == '.' || c == '_' || c == '-' || c == '+'; }

int32_t leadingNumber(const char* p, const char* end) {
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    int64_t value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

JavaVersion parseJavaVersion(const char* text) {
    JavaVersion version;
    if (!text) return version;
    const char* p = text;
    while (*p) {
        while (*p && isDelimiter(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !isDelimiter(*p)) ++p;
        version.push_back(leadingNumber(start, p));
    }
    return version;
}

bool isNewerVersion(const char* a, const char* b) {
    JavaVersion va = parseJavaVersion(a);
    JavaVersion vb = parseJavaVersion(b);
    for (size_t i = 0; i < va.size(); ++i) {
        if (i >= vb.size()) return true;
        if (va[i] > vb[i]) return true;
        if (va[i] < vb[i]) return false;
    }
    return false;
}

bool meetsVersionBound(const JavaVersion& bound, const JavaVersion& tested, bool upper, bool missingPasses) {
    for (size_t i = 0; i < bound.size(); ++i) {
        if (i >= tested.size()) return missingPasses;
        if (tested[i] == bound[i]) continue;
        return upper ? tested[i] < bound[i] : tested[i] > bound[i];
    }
    return true;
}

bool inVersionWindowLenient(const char* text, const JavaVersion& minimum, const JavaVersion& maximum) {
    JavaVersion v = parseJavaVersion(text);
    return meetsVersionBound(minimum, v, false, true) && meetsVersionBound(maximum, v, true, true);
}

bool inVersionWindowStrict(const char* text, const JavaVersion& minimum, const JavaVersion& maximum,
                           bool allowPrerelease) {
    if (!allowPrerelease && getConfigInt(cfg::ALLOW_PRERELEASE_JAVA) == 0) {
        const char* t = text ? text : "";
        if (std::strstr(t, "beta") || std::strstr(t, "ea") || std::strstr(t, "rc")) {
            logMessage(u"beta vm not allowed");
            return false;
        }
    }
    JavaVersion v = parseJavaVersion(text);
    return meetsVersionBound(minimum, v, false, false) && meetsVersionBound(maximum, v, true, false);
}

bool versionFromProbeLine(const std::string& firstLine, std::string& version) {
    static const char kJava[] = "java version \"";
    static const char kOpenJdk[] = "openjdk version \"";
    size_t start;
    if (firstLine.compare(0, sizeof kJava - 1, kJava) == 0) start = sizeof kJava - 1;
    else if (firstLine.compare(0, sizeof kOpenJdk - 1, kOpenJdk) == 0) start = sizeof kOpenJdk - 1;
    else return false;
    if (firstLine.size() < start + 2) return false;
    version = firstLine.substr(start, firstLine.size() - start - 2);
    return true;
}

}  // namespace marlo
