#include "diag/PathRules.h"

#include "common/Text.h"

namespace marlo {

namespace {

template <typename Ch>
bool relative(const std::basic_string<Ch>& path) {
    if (path.size() < 3) return true;
    size_t start = 0;
    if (path[0] == Ch('"')) {
        if (path.size() < 4) return true;
        start = 1;
    }
    if (path[start + 1] == Ch(':') && path[start + 2] == Ch('\\')) return false;
    if (path[start] == Ch('\\') && path[start + 1] == Ch('\\')) return false;
    return true;
}

template <typename Ch>
bool driveRoot(const std::basic_string<Ch>& path) {
    if (path.size() < 2) return false;
    static const char* const forms[] = {":\\", ":\\.", ":\\.\\."};
    for (const char* form : forms) {
        size_t n = 0;
        while (form[n]) ++n;
        if (path.size() - 1 != n) continue;
        bool same = true;
        for (size_t i = 0; i < n && same; ++i) same = path[i + 1] == Ch(form[i]);
        if (same) return true;
    }
    return false;
}

template <typename Ch>
void collapse(std::basic_string<Ch>& path) {
    if (path.size() < 3) return;
    std::basic_string<Ch> out = path.substr(0, 2);
    for (size_t i = 2; i < path.size(); ++i) {
        if (path[i] == Ch('\\') && out.back() == Ch('\\')) continue;
        out.push_back(path[i]);
    }
    path = out;
}

template <typename Ch>
void shiftCase(std::basic_string<Ch>& text, Ch from, Ch to) {
    for (Ch& c : text)
        if (c >= from && c <= static_cast<Ch>(from + 25)) c = static_cast<Ch>(c - from + to);
}

template <typename Ch>
std::basic_string<Ch> directoryOf(const std::basic_string<Ch>& path) {
    size_t i = path.size();
    while (i > 0 && path[i - 1] != Ch('\\') && path[i - 1] != Ch('/')) --i;
    return path.substr(0, i);
}

template <typename Ch>
std::basic_string<Ch> home(const std::basic_string<Ch>& drive, const std::basic_string<Ch>& homePath) {
    // Mirrors two reads into one buffer: a value is only copied when it fits with its terminator.
    if (drive.size() + 1 > kPathLimit) return std::basic_string<Ch>();
    if (drive.size() + homePath.size() + 1 > kPathLimit) return drive;
    return drive + homePath;
}

}  // namespace

bool isRelativePath(const std::string& path) { return relative(path); }
bool isRelativePath(const std::u16string& path) { return relative(path); }
bool isDriveRoot(const std::string& path) { return driveRoot(path); }
bool isDriveRoot(const std::u16string& path) { return driveRoot(path); }
void collapseBackslashes(std::u16string& path) { collapse(path); }

void lowerCaseAscii(std::u16string& text) { shiftCase(text, u'A', u'a'); }
void lowerCaseAscii(std::string& text) { shiftCase(text, 'A', 'a'); }
void upperCaseAscii(std::u16string& text) { shiftCase(text, u'a', u'A'); }
void upperCaseAscii(std::string& text) { shiftCase(text, 'a', 'A'); }

bool endsWithExe(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    lowerCaseAscii(tail);
    return tail == ".exe";
}

std::string directoryPart(const std::string& path) { return directoryOf(path); }
std::u16string directoryPart(const std::u16string& path) { return directoryOf(path); }

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '\\') return directory + name;
    return directory + "\\" + name;
}

std::vector<std::string> splitPathList(const std::string& list) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

std::string homeDirectory(const std::string& homeDrive, const std::string& homePath) {
    return home(homeDrive, homePath);
}
std::u16string homeDirectory(const std::u16string& homeDrive, const std::u16string& homePath) {
    return home(homeDrive, homePath);
}

std::string launcherTempDirName(const std::string& tempFileName, int64_t seconds) {
    int32_t low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(seconds) & 0xFFFFFFFFu));
    return formatNarrow("%s_dir%d", tempFileName.c_str(), low);
}

}  // namespace marlo
