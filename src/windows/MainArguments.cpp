#include "windows/MainArguments.h"

#include "common/ArgVector.h"

namespace marlo {

bool isVmOnlyArgument(const std::u16string& arg, bool jArgsAsVmOptions) {
    static const std::u16string kLocaleProperty = u"-Dsun.locale.formatasdefault=";
    if (jArgsAsVmOptions && arg.compare(0, 2, u"-J") == 0) return true;
    return arg.compare(0, kLocaleProperty.size(), kLocaleProperty) == 0;
}

std::vector<std::u16string> buildMainArguments(const MainArgumentsInput& input) {
    std::vector<std::u16string> out;
    out.push_back(input.guiType ? u"true" : u"false");
    out.push_back(input.mainClass);
    out.push_back(input.stderrFile);
    out.push_back(input.stdoutFile);
    out.push_back(input.launcherClassFlag ? u"true" : u"false");
    if (input.args && !input.args->empty()) out.push_back((*input.args)[0]);
    ArgVector configured;
    splitCommandLine(input.appArguments.c_str(), configured);
    for (std::u16string& token : configured) out.push_back(std::move(token));
    if (input.args) {
        for (size_t i = 1; i < input.args->size(); ++i) {
            const std::u16string& arg = (*input.args)[i];
            if (!isVmOnlyArgument(arg, input.jArgsAsVmOptions)) out.push_back(arg);
        }
    }
    return out;
}

}  // namespace marlo
