// The .vmoptions reader with option processing and the class-path assembly, over a small fake
// system: the input gives the options file beside the launcher, a file that any
// "-include-options ...inc.vmoptions" reaches (so includes may nest and cycle), the configured VM
// parameters, the class-path entries, a flags byte and the command-line arguments.
#include <cstdlib>
#include <memory>

#include "FuzzInput.h"
#include "common/Text.h"
#include "windows/VmOptions.h"

using namespace marlo;

namespace {

bool endsWith(const std::u16string& text, const std::u16string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool isAbsolute(const std::string& p) { return p.size() >= 3 && p[1] == ':' && p[2] == '\\'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> p = fuzz::parts(data, size, 6);
    const std::string& mainFile = p[0];
    const std::string& included = p[1];
    const unsigned flags = p[4].empty() ? 0u : static_cast<unsigned char>(p[4][0]);

    VmOptionsSystem s;
    s.expand = [](std::u16string& text, bool) {
        for (size_t at; (at = text.find(u"${V}")) != std::u16string::npos;) text.replace(at, 4, u"v");
    };
    s.expandNarrow = [](std::string& text) {
        for (size_t at; (at = text.find("${V}")) != std::string::npos;) text.replace(at, 4, "v");
    };
    s.toAnsi = [](const std::u16string& text) { return narrowWide(text); };
    s.makeAbsolute = [](const std::u16string& path, const std::u16string* baseFile) {
        if (isAbsolute(narrowWide(path))) return path;
        std::u16string base = baseFile ? *baseFile : u"C:\\app\\a.exe";
        return base.substr(0, base.rfind(u'\\') + 1) + path;
    };
    s.makeAbsoluteNarrow = [](const std::string& path) { return isAbsolute(path) ? path : "C:\\app\\" + path; };
    s.resolvePathList = [](const std::string& list) { return list; };
    s.pathExists = [](const std::string& path) { return path.find("exists") != std::string::npos; };
    s.listFiles = [](const std::string&) { return std::vector<std::string>{"one.jar", "two.jar"}; };
    s.getEnvironment = [&p](const std::string& name, std::string& value) {
        if (name.empty() || name[0] != 'X') return false;
        value = p[5];
        return true;
    };
    s.openOptionsFile = [&](const std::u16string& path) -> std::unique_ptr<OptionLineReader> {
        if (path == u"C:\\app\\a.vmoptions") return std::make_unique<TextLineReader>(mainFile);
        if (endsWith(path, u"inc.vmoptions")) return std::make_unique<TextLineReader>(included);
        return nullptr;
    };

    ArgVector args{u"C:\\app\\a.exe"};
    std::string arg;
    for (char c : p[5]) {
        if (c == ' ') {
            args.push_back(widenLatin1(arg));
            arg.clear();
        } else {
            arg += c;
        }
    }
    if (!arg.empty()) args.push_back(widenLatin1(arg));

    VmOptionsInput input;
    input.properties.moduleName = "C:\\app\\a.exe";
    input.args = &args;
    input.vmParameters = widenLatin1(p[2]);
    input.passJavaArguments = flags & 1;
    input.kavora = flags & 2;
    if (flags & 4) input.language = "de";
    if (flags & 8) input.country = "CH";
    if (flags & 16) input.launcherTempDir = "C:\\tmp\\exists";
    input.exeLongPath = u"C:\\app\\a.exe";
    input.modulePath = u"C:\\APP\\A.EXE";
    input.applicationDir = "C:\\app";
    input.classPathEntries = p[3];
    input.system = s;

    VmOptionsResult result = assembleVmOptions(input);
    // Without an error the class path is the last option.
    if (result.error == VmOptionsError::None &&
        (result.options.empty() || result.options.back().compare(0, 18, "-Djava.class.path=") != 0))
        std::abort();
    return 0;
}
