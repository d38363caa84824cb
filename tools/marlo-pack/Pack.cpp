#include "Pack.h"

#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "FileIo.h"
#include "PeImage.h"
#include "config/LauncherConfig.h"

namespace marlo::pack {

namespace {

const char* const kUsage =
    "usage: marlo-pack pack DESCRIPTION.toml -o OUTPUT.exe [--launcher FILE] [--launcher-dir DIR]\n"
    "       marlo-pack dump EXE [--files-dir DIR]\n";

bool readLauncherImage(const std::string& path, std::string& image, PeLayout& layout,
                       std::vector<Diagnostic>& errors) {
    std::string why;
    if (!readFileBytes(path, image, kMaxImageSize, &why)) {
        errors.push_back({path, 0, 0, "cannot read the executable: " + why});
        return false;
    }
    if (!parsePeImage(image, layout, &why)) {
        errors.push_back({"", 0, 0, path + " is not a launcher executable (" + why + ")"});
        return false;
    }
    return true;
}

// The files listed in the block as [[files]] can express them: the count equals the number of
// names, written as the packer writes it, and every name is one the launcher can extract.
bool listedRegularly(const std::map<ConfigId, std::string>& narrow, std::vector<std::string>& names,
                     std::string* why) {
    auto count = narrow.find(cfg::INCLUDED_FILE_COUNT);
    auto list = narrow.find(cfg::INCLUDED_FILES);
    if (count == narrow.end() || list == narrow.end()) {
        *why = "INCLUDED_FILE_COUNT or INCLUDED_FILES is missing";
        return false;
    }
    names = splitAtSemicolons(list->second);
    if (count->second != std::to_string(names.size())) {
        *why = "INCLUDED_FILE_COUNT does not match the names in INCLUDED_FILES";
        return false;
    }
    std::set<std::string> seen;
    for (const std::string& name : names) {
        std::string reason;
        if (!isValidIncludedName(name, &reason)) {
            *why = "name \"" + latin1ToUtf8(name) + "\": " + reason;
            return false;
        }
        if (!seen.insert(includedNameKey(name)).second) {
            *why = "name \"" + latin1ToUtf8(name) + "\" is listed twice";
            return false;
        }
    }
    return true;
}

}  // namespace

std::string launcherFileName(const std::string& launcher, const std::string& arch) {
    return launcher + (arch == "x64" ? "64" : "") + ".exe";
}

std::string toolDirectory() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

bool buildPackedImage(const std::string& launcherImage, const std::string& launcherName, BlockContents contents,
                      const std::vector<IncludedFile>& files, std::string& out, std::vector<Diagnostic>& errors) {
    PeLayout layout;
    std::string why;
    if (!parsePeImage(launcherImage, layout, &why)) {
        errors.push_back({"", 0, 0, launcherName + " is not a launcher executable (" + why + ")"});
        return false;
    }
    contents.buildValue = kPackBuildValue;
    std::string block = writeConfigBlock(contents, files);
    if (uint64_t{layout.endOfSections} + block.size() > kMaxImageSize) {
        errors.push_back({"", 0, 0, "the packed executable would be larger than 2 GiB"});
        return false;
    }
    out = stripToSections(launcherImage, layout);
    out += block;
    return true;
}

bool packApplication(const PackRequest& request, std::vector<Diagnostic>& errors) {
    Description description;
    if (!loadDescription(request.description, description, errors)) return false;

    std::string launcherPath = request.launcher;
    if (launcherPath.empty()) {
        std::filesystem::path dir(request.launcherDir.empty() ? toolDirectory() : request.launcherDir);
        launcherPath = (dir / launcherFileName(description.launcher, description.arch)).string();
    }
    std::string image;
    PeLayout layout;
    if (!readLauncherImage(launcherPath, image, layout, errors)) {
        if (request.launcher.empty() && !std::filesystem::exists(launcherPath))
            errors.back().message += " (chosen by launcher = \"" + description.launcher + "\" and arch = \"" +
                                     description.arch + "\"; --launcher or --launcher-dir names another)";
        return false;
    }

    std::error_code ec;
    if (std::filesystem::equivalent(request.output, launcherPath, ec)) {
        errors.push_back({request.output, 0, 0, "the output would replace the launcher executable it is made from"});
        return false;
    }
    std::string packed;
    if (!buildPackedImage(image, launcherPath, std::move(description.contents), description.files, packed, errors))
        return false;
    std::string why;
    if (!writeFileAtomically(request.output, packed, &why)) {
        errors.push_back({request.output, 0, 0, "cannot write the output: " + why});
        return false;
    }
    return true;
}

bool dumpApplication(const DumpRequest& request, std::string& description, std::vector<Diagnostic>& errors,
                     std::vector<std::string>& warnings) {
    std::string image;
    PeLayout layout;
    if (!readLauncherImage(request.executable, image, layout, errors)) return false;
    BlockContents contents;
    uint32_t blockStart = 0;
    BlockError error = readBlockFromImage(image, contents, &blockStart);
    if (error != BlockError::None) {
        bool absent = error == BlockError::Magic || blockStart >= image.size();
        errors.push_back({request.executable, 0, 0,
                          absent ? std::string("carries no configuration block")
                                 : std::string("the configuration block is damaged (") + blockErrorMessage(error) + ")"});
        return false;
    }

    std::map<ConfigId, std::string> narrow;
    for (const auto& record : contents.narrow) narrow[record.first] = record.second;
    auto count = narrow.find(cfg::INCLUDED_FILE_COUNT);
    const bool hasFiles = count != narrow.end() && atoiRule(count->second.c_str()) > 0;

    std::vector<std::string> notes;
    std::vector<ListedFile> listed;
    bool listFiles = false;
    if (hasFiles && request.filesDir.empty()) {
        notes.push_back("The included files' data is not extracted; dump with --files-dir to list them as [[files]].");
    } else if (hasFiles) {
        std::vector<std::string> names;
        std::string why;
        if (!listedRegularly(narrow, names, &why)) {
            warnings.push_back("included files not extracted: " + why);
            notes.push_back("The included files are not listed as [[files]]: " + why + ".");
        } else {
            std::vector<IncludedFile> files;
            if (!readIncludedFiles(image, contents.includedDataOffset, names, static_cast<int32_t>(names.size()),
                                   files, &why)) {
                errors.push_back({request.executable, 0, 0, why});
                return false;
            }
            std::error_code ec;
            std::filesystem::path dir = std::filesystem::absolute(request.filesDir, ec);
            if (ec) dir = request.filesDir;
            for (const IncludedFile& file : files) {
                std::string hostName = latin1ToUtf8(file.name);
                size_t backslash = hostName.find('\\');
                std::filesystem::path target = dir;
                if (backslash != std::string::npos) {
                    target /= hostName.substr(0, backslash);
                    target /= hostName.substr(backslash + 1);
                } else {
                    target /= hostName;
                }
                std::filesystem::create_directories(target.parent_path(), ec);
                if (!writeFileAtomically(target.string(), file.content, &why)) {
                    errors.push_back({target.string(), 0, 0, "cannot write the included file: " + why});
                    return false;
                }
                listed.push_back({file.name, target.string()});
            }
            listFiles = true;
        }
    }
    description = formatDescription(contents, archForMachine(layout.machine), listFiles ? &listed : nullptr, notes,
                                    &warnings);
    return true;
}

int runCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err) {
    auto usage = [&](const std::string& problem) {
        err += "marlo-pack: " + problem + "\n" + kUsage;
        return 2;
    };
    if (args.empty()) return usage("no command given");
    if (args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        out += kUsage;
        return 0;
    }
    const std::string& command = args[0];
    if (command != "pack" && command != "dump") return usage("unknown command '" + command + "'");

    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    const std::set<std::string> known = command == "pack" ? std::set<std::string>{"-o", "--output", "--launcher",
                                                                                  "--launcher-dir"}
                                                          : std::set<std::string>{"--files-dir"};
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 1 && arg[0] == '-') {
            std::string name = arg;
            std::string value;
            size_t equals = arg.find('=');
            bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
            if (inlineValue) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            }
            if (!known.count(name)) return usage("unknown option '" + name + "' for " + command);
            if (!inlineValue) {
                if (i + 1 >= args.size()) return usage("option '" + name + "' needs a value");
                value = args[++i];
            }
            if (name == "--output") name = "-o";
            if (options.count(name)) return usage("option '" + name + "' given twice");
            if (value.empty()) return usage("option '" + name + "' needs a value");
            options[name] = value;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1)
        return usage(command == "pack" ? "pack takes one description file" : "dump takes one executable");

    std::vector<Diagnostic> errors;
    bool ok;
    if (command == "pack") {
        if (!options.count("-o")) return usage("pack needs an output file (-o OUTPUT.exe)");
        PackRequest request{positional[0], options["-o"], options["--launcher"], options["--launcher-dir"]};
        ok = packApplication(request, errors);
    } else {
        DumpRequest request{positional[0], options["--files-dir"]};
        std::vector<std::string> warnings;
        std::string text;
        ok = dumpApplication(request, text, errors, warnings);
        for (const std::string& warning : warnings) err += "marlo-pack: warning: " + warning + "\n";
        if (ok) out += text;
    }
    for (const Diagnostic& d : errors) err += "marlo-pack: " + d.text() + "\n";
    return ok ? 0 : 1;
}

}  // namespace marlo::pack
