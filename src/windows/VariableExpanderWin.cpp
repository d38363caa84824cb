// The process's values for the expanders: the executable's directory, the launcher's temporary
// directory, the Java home, the temporary root and the environment block.
#include "common/Win.h"
#include "diag/Paths.h"
#include "diag/TempDir.h"
#include "jre/JvmHome.h"
#include "windows/VariableExpander.h"

// With UNICODE the plain name means the wide call; the narrow expander needs the ANSI block.
#ifdef GetEnvironmentStrings
#undef GetEnvironmentStrings
#endif

namespace marlo {

void expandVariables(std::u16string& text, bool ansiSafe) {
    WideExpansionValues values;
    makeAbsolute(values.launcherDir, std::u16string(), nullptr, ansiSafe);
    values.launcherTempDir = launcherTempDir();
    values.jvmHome = jvmHome();
    values.systemTempDirNarrow = ansiSafe;
    if (ansiSafe) values.systemTempDirNarrowForm = chooseTempRoot();
    else values.systemTempDir = chooseTempRootW();

    wchar_t* block = GetEnvironmentStringsW();
    expandWithValues(text, values, block ? U(block) : nullptr);
    if (block) FreeEnvironmentStringsW(block);
}

void expandVariablesNarrow(std::string& text) {
    NarrowExpansionValues values;
    makeAbsolute(values.launcherDir, std::string());
    values.launcherTempDir = launcherTempDir();
    values.jvmHome = jvmHome();
    values.systemTempDir = chooseTempRoot();

    char* block = GetEnvironmentStrings();
    expandWithValues(text, values, block);
    if (block) FreeEnvironmentStringsA(block);
}

}  // namespace marlo
