#include "diag/Paths.h"

#include "common/Win.h"
#include "diag/CodePage.h"
#include "diag/PathRules.h"

namespace marlo {

void collapseBackslashes(std::string& path) {
    std::u16string wide = narrowToWide(path);
    collapseBackslashes(wide);
    bool lossy = false;
    std::string back = wideToNarrow(wide, &lossy);
    if (!lossy) path = back;
}

namespace {

bool endsWithExe(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return tail == ".exe";
}

ExePath computeExePath() {
    ExePath result;
    wchar_t module[6000];
    DWORD n = GetModuleFileNameW(nullptr, module, 6000);
    if (n >= 6000) n = 5999;
    module[n] = 0;
    wchar_t longForm[6000];
    DWORD m = GetLongPathNameW(module, longForm, 6000);
    result.wideLong = (m > 0 && m < 6000) ? U(longForm) : U(module);

    bool lossy = false;
    std::string narrow = wideToNarrow(result.wideLong, &lossy);
    if (lossy || !endsWithExe(narrow)) {
        wchar_t shortForm[6000];
        DWORD s = GetShortPathNameW(W(result.wideLong), shortForm, 6000);
        narrow.clear();
        if (s > 0 && s < 6000) narrow = wideToNarrow(U(shortForm), &lossy);
        if (narrow.empty() || lossy || !endsWithExe(narrow)) {
            char moduleA[6000];
            DWORD a = GetModuleFileNameA(nullptr, moduleA, 6000);
            if (a >= 6000) a = 5999;
            moduleA[a] = 0;
            char shortA[6000];
            DWORD sa = GetShortPathNameA(moduleA, shortA, 6000);
            narrow = (sa > 0 && sa < 6000) ? shortA : moduleA;
        }
    }
    collapseBackslashes(result.wideLong);
    collapseBackslashes(narrow);
    result.narrow = narrow;
    return result;
}

}  // namespace

const ExePath& launcherExePath() {
    static const ExePath* path = new ExePath(computeExePath());
    return *path;
}

}  // namespace marlo
