#include "Pack.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "FileIo.h"
#include "KeyReference.h"
#include "PeImage.h"
#include "Resources.h"
#include "config/LauncherConfig.h"

namespace marlo::pack {

namespace {

#ifndef MARLO_VERSION
#define MARLO_VERSION "unknown"
#endif

const char* const kUsage =
    "usage: marlo-pack pack DESCRIPTION.toml -o OUTPUT.exe [--launcher FILE] [--launcher-dir DIR]\n"
    "       marlo-pack check DESCRIPTION.toml [--launcher FILE] [--launcher-dir DIR]\n"
    "       marlo-pack dump EXE [--files-dir DIR] [-o DESCRIPTION.toml]\n"
    "       marlo-pack keys [--markdown]\n"
    "       marlo-pack help [COMMAND] | --help | --version\n";

struct CommandHelp {
    const char* name;
    const char* text;
};

const CommandHelp kCommandHelp[] = {
    {"pack",
     "marlo-pack pack DESCRIPTION.toml -o OUTPUT.exe [--launcher FILE] [--launcher-dir DIR]\n"
     "  Makes OUTPUT.exe: the launcher the description names (launcher, arch) with the configuration\n"
     "  block and the included files appended, and the resources of [identity], [manifest] and\n"
     "  [splash] written into it. OUTPUT.exe is written whole or not at all.\n"
     "  -o, --output FILE     the executable to write\n"
     "  --launcher FILE       the launcher executable to start from, whatever the description says\n"
     "  --launcher-dir DIR    where marlo.exe, pivok.exe, marlo64.exe and pivok64.exe are (default:\n"
     "                        the folder of marlo-pack)\n"
     "  Example: marlo-pack pack hello.toml -o hello.exe\n"},
    {"check",
     "marlo-pack check DESCRIPTION.toml [--launcher FILE] [--launcher-dir DIR]\n"
     "  Reads and checks the description, the launcher and the included files as pack does, and\n"
     "  writes nothing: for a build step before packing.\n"
     "  Example: marlo-pack check hello.toml\n"},
    {"dump",
     "marlo-pack dump EXE [--files-dir DIR] [-o DESCRIPTION.toml]\n"
     "  Prints the configuration block of a packed executable as a description; packing it again\n"
     "  gives the same executable.\n"
     "  --files-dir DIR       extract the included files into DIR and list them as [[files]], and\n"
     "                        write an icon and splash image of the application's own there\n"
     "  -o, --output FILE     write the description to FILE instead of standard output; the files'\n"
     "                        sources are written relative to FILE's folder (else to the current one)\n"
     "  Example: marlo-pack dump hello.exe --files-dir hello-files -o hello.toml\n"},
    {"keys",
     "marlo-pack keys [--markdown]\n"
     "  Lists every key of [config]: its type, its limit, its id and what it does, by subsystem.\n"
     "  --markdown            the same as the page docs/keys.md\n"
     "  Example: marlo-pack keys | grep SPLASH\n"},
    {"help",
     "marlo-pack help [COMMAND]\n"
     "  Shows what a command does and its options; without COMMAND, all commands.\n"
     "  Example: marlo-pack help pack\n"},
};

const char* const kExitCodes = "Exit codes: 0 done, 1 bad input or a failed write, 2 wrong use of the command line.\n";

std::string allHelp() {
    std::string out = "marlo-pack: packs a Java application into a Windows launcher executable.\n\n";
    out += kUsage;
    for (const CommandHelp& help : kCommandHelp) out += std::string("\n") + help.text;
    out += std::string("\n") + kExitCodes;
    return out;
}

const char* commandHelp(const std::string& name) {
    for (const CommandHelp& help : kCommandHelp)
        if (name == help.name) return help.text;
    return nullptr;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const CommandHelp& help : kCommandHelp) names.push_back(help.name);
    return names;
}

// " (did you mean X?)" for the nearest of candidates, or "".
std::string suggestion(const std::string& given, const std::vector<std::string>& candidates) {
    std::string nearest = nearestName(given, candidates);
    return nearest.empty() ? std::string() : " (did you mean " + nearest + "?)";
}

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
#ifdef _WIN32
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    return std::filesystem::path(std::string(self, n)).parent_path().string();
#else
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
#endif
}

bool buildPackedImage(const std::string& launcherImage, const std::string& launcherName, BlockContents contents,
                      const std::vector<IncludedFile>& files, std::string& out, std::vector<Diagnostic>& errors,
                      const AppResources& resources, const std::string& outputName) {
    PeLayout layout;
    std::string why;
    if (!parsePeImage(launcherImage, layout, &why)) {
        errors.push_back({"", 0, 0, launcherName + " is not a launcher executable (" + why + ")"});
        return false;
    }
    contents.buildValue = kPackBuildValue;
    std::string block = writeConfigBlock(contents, files);
    std::string sections = stripToSections(launcherImage, layout);
    if (resources.any()) {
        ResourceList list;
        std::string rewritten;
        if (!readResources(sections, list, &why)) {
            errors.push_back({"", 0, 0, launcherName + ": its resources cannot be read (" + why + ")"});
            return false;
        }
        // Launchers with the native splash window carry its bitmap.
        const bool nativeSplash =
            findResource(list, ResourceKey::number(rt::kBitmap), ResourceKey::number(10000)) != nullptr;
        if (!applyAppResources(list, resources, nativeSplash, outputName, &why) ||
            !replaceResources(sections, list, rewritten, &why)) {
            errors.push_back({"", 0, 0, launcherName + ": cannot write the application's resources (" + why + ")"});
            return false;
        }
        sections = std::move(rewritten);
    }
    if (uint64_t{sections.size()} + block.size() > kMaxImageSize) {
        errors.push_back({"", 0, 0, "the packed executable would be larger than 2 GiB"});
        return false;
    }
    out = std::move(sections);
    out += block;
    if (resources.any()) updatePeChecksum(out);
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
    if (!request.checkOnly && std::filesystem::equivalent(request.output, launcherPath, ec)) {
        errors.push_back({request.output, 0, 0, "the output would replace the launcher executable it is made from"});
        return false;
    }
    std::string packed;
    const std::string outputName = std::filesystem::path(request.output).filename().string();
    if (!buildPackedImage(image, launcherPath, std::move(description.contents), description.files, packed, errors,
                          description.resources, outputName))
        return false;
    if (request.checkOnly) return true;
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
            std::filesystem::path base = request.output.empty()
                                             ? std::filesystem::current_path(ec)
                                             : std::filesystem::absolute(request.output, ec).parent_path();
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
                // Forward slashes read back on every system.
                std::filesystem::path source = std::filesystem::proximate(target.lexically_normal(), base, ec);
                listed.push_back({file.name, (ec ? target : source).generic_string()});
            }
            listFiles = true;
        }
    }
    // The application's own resources; the icon and the splash image as files beside the others.
    ResourceList resources;
    std::string why;
    if (!readResources(image, resources, &why)) warnings.push_back("resources not read: " + why);
    AppResources app = readAppResources(resources);
    std::string iconPath, imagePath;
    if (!app.identity.icon.empty() || !app.splashImage.empty()) {
        if (request.filesDir.empty()) {
            notes.push_back("The icon and the splash image are not extracted; dump with --files-dir to keep them.");
        } else {
            std::error_code ec;
            std::filesystem::path dir = std::filesystem::absolute(request.filesDir, ec);
            if (ec) dir = request.filesDir;
            std::filesystem::path base = request.output.empty()
                                             ? std::filesystem::current_path(ec)
                                             : std::filesystem::absolute(request.output, ec).parent_path();
            std::filesystem::create_directories(dir, ec);
            auto writeOut = [&](const std::string& name, const std::string& bytes, std::string& source) {
                for (const ListedFile& file : listed)
                    if (includedNameKey(file.name) == includedNameKey(name)) {
                        errors.push_back({request.executable, 0, 0, "an included file is named " + name +
                                                                      " as well; dump into another --files-dir"});
                        return false;
                    }
                std::filesystem::path target = dir / name;
                if (!writeFileAtomically(target.string(), bytes, &why)) {
                    errors.push_back({target.string(), 0, 0, "cannot write " + name + ": " + why});
                    return false;
                }
                std::filesystem::path relative = std::filesystem::proximate(target.lexically_normal(), base, ec);
                source = (ec ? target : relative).generic_string();
                return true;
            };
            if (!app.identity.icon.empty() && !writeOut("app-icon.ico", app.identity.icon, iconPath)) return false;
            if (!app.splashImage.empty() &&
                !writeOut(std::string("app-splash.") + imageExtension(app.splashImage), app.splashImage, imagePath))
                return false;
        }
    }
    description = formatDescription(contents, archForMachine(layout.machine), listFiles ? &listed : nullptr, notes,
                                    &warnings) +
                  formatAppResources(app, iconPath, imagePath);
    return true;
}

int runCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err) {
    auto usage = [&](const std::string& problem) {
        err += "marlo-pack: " + problem + "\n" + kUsage;
        return 2;
    };
    if (args.empty()) return usage("no command given");
    const std::string& command = args[0];
    if (command == "-h" || command == "--help") {
        out += allHelp();
        return 0;
    }
    if (command == "--version") {
        out += std::string("marlo-pack ") + MARLO_VERSION + "\n";
        return 0;
    }
    if (command == "help") {
        if (args.size() == 1) {
            out += allHelp();
            return 0;
        }
        if (args.size() > 2) return usage("help takes one command");
        const char* text = commandHelp(args[1]);
        if (!text) return usage("unknown command '" + args[1] + "'" + suggestion(args[1], commandNames()));
        out += text;
        return 0;
    }
    if (!commandHelp(command) || command == "help")
        return usage("unknown command '" + command + "'" + suggestion(command, commandNames()));

    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::set<std::string> known;
    std::set<std::string> knownFlags;
    if (command == "pack")
        known = {"-o", "--output", "--launcher", "--launcher-dir"};
    else if (command == "check")
        known = {"--launcher", "--launcher-dir"};
    else if (command == "dump")
        known = {"--files-dir", "-o", "--output"};
    else if (command == "keys")
        knownFlags = {"--markdown"};
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            out += commandHelp(command);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::string name = arg;
            std::string value;
            size_t equals = arg.find('=');
            bool inlineValue = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
            if (inlineValue) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            }
            if (knownFlags.count(name) && !inlineValue) {
                flags.insert(name);
                continue;
            }
            if (!known.count(name)) {
                std::vector<std::string> candidates(known.begin(), known.end());
                candidates.insert(candidates.end(), knownFlags.begin(), knownFlags.end());
                return usage("unknown option '" + name + "' for " + command + suggestion(name, candidates));
            }
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
    if (command == "keys") {
        if (!positional.empty()) return usage("keys takes no arguments");
        out += flags.count("--markdown") ? keysMarkdown() : keysText();
        return 0;
    }
    if (positional.size() != 1)
        return usage(command == "dump" ? "dump takes one executable" : command + " takes one description file");

    std::vector<Diagnostic> errors;
    bool ok;
    if (command == "pack" || command == "check") {
        if (command == "pack" && !options.count("-o")) return usage("pack needs an output file (-o OUTPUT.exe)");
        PackRequest request{positional[0], options["-o"], options["--launcher"], options["--launcher-dir"]};
        request.checkOnly = command == "check";
        ok = packApplication(request, errors);
        if (ok && request.checkOnly) out += positional[0] + ": ok\n";
    } else {
        DumpRequest request{positional[0], options["--files-dir"], options["-o"]};
        std::vector<std::string> warnings;
        std::string text;
        ok = dumpApplication(request, text, errors, warnings);
        for (const std::string& warning : warnings) err += "marlo-pack: warning: " + warning + "\n";
        std::string why;
        if (ok && !request.output.empty() && !writeFileAtomically(request.output, text, &why)) {
            errors.push_back({request.output, 0, 0, "cannot write the description: " + why});
            ok = false;
        } else if (ok && request.output.empty()) {
            out += text;
        }
    }
    for (const Diagnostic& d : errors) err += "marlo-pack: " + d.text() + "\n";
    return ok ? 0 : 1;
}

}  // namespace marlo::pack
