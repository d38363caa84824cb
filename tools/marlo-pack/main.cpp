// marlo-pack: turns an application description into a launcher executable carrying its
// configuration block, and reads a block back as a description.
//
//   marlo-pack pack DESCRIPTION.toml -o OUTPUT.exe [--launcher FILE] [--launcher-dir DIR]
//   marlo-pack check DESCRIPTION.toml [--launcher FILE] [--launcher-dir DIR]
//   marlo-pack dump EXE [--files-dir DIR]
//   marlo-pack keys [--markdown]
//   marlo-pack help [COMMAND] | --help | --version
//
// The application description is TOML:
//
//   launcher = "marlo"          # "marlo" (default) or "pivok"
//   arch = "x64"                # "x64" (default) or "x86"; with launcher this picks marlo.exe,
//                               # pivok.exe, marlo64.exe or pivok64.exe from --launcher-dir (by
//                               # default the directory of marlo-pack itself); --launcher FILE
//                               # names the launcher executable directly
//
//   [config]                    # catalogue names (marlo-pack keys, docs/keys.md), each with a value of its type:
//   MAIN_CLASS = "com.example.App"              # text and message: a string
//   CLASS_PATH = ["A0lib\\app.jar", "D0classes"] # list: array of strings, joined with ";"
//   JRE_SEARCH_SEQUENCE = "Rjre;Y"              # (a plain string is taken as it is)
//   SINGLE_INSTANCE = true                      # boolean: written as "1" / "0"
//   SPLASH_WIDTH = 400                          # integer: written in decimal
//   SPLASH_STATUS_COLOR = [255, 128, 0]         # colour: red, green, blue 0..255 -> "255,128,0"
//   LAUNCHER_FLAVOR = "brenn"                   # "brenn" or "e", "kavora" or "i"
//
//   [records]                   # raw narrow records by number, written as they are
//   "9999" = "raw text"
//
//   [wide]                      # UTF-16 records, by catalogue name or number
//   MSG_TITLE = "Error"
//
//   [[locale]]                  # locale groups, kept in file order
//   code = "de"
//   [locale.records]            # UTF-16 records of the group, by name or number
//   MSG_TITLE = "Fehler"
//
//   [[files]]                   # included files, extracted by the launcher at start
//   name = "lib\\native.dll"    # relative name as the launcher writes it (one directory level)
//   source = "build/native.dll" # host path, relative to the description's directory
//
//   [identity]                  # the executable's own icon and version information
//   icon = "app.ico"            # .ico (several sizes) or .png
//   version = "1.2.3"           # 1 to 4 numbers; product_name, company, file_description,
//                               # copyright, original_filename, internal_name are texts
//   [manifest]                  # dpi_awareness, utf8_code_page, long_path_aware, execution_level
//   [splash]
//   image = "splash.png"        # PNG or BMP: the splash window's bitmap, the splash library's image
//
// Narrow records hold one byte per character, which the launcher widens one to one, so narrow
// values may use the characters U+0000 to U+00FF only. A text longer than the launcher reads for
// its id is refused. INCLUDED_FILE_COUNT and INCLUDED_FILES follow from [[files]]; they may be
// given explicitly only when there is no [[files]]. Left out, the message texts 1000 to 1020 take
// their standard wording, LAUNCHER_FLAVOR is "brenn", EXECUTABLE_TYPE 1 and INCLUDED_FILE_COUNT 0.
// Records are written sorted by id, so the same description and launcher give the same bytes,
// and pack, dump, pack reproduces an executable exactly.
//
// dump prints the block as such a description. Values that do not fit their id's type go under
// [records] by number; with --files-dir the included files are extracted there and listed as
// [[files]], and an icon and splash image of the application's own are written there as well.
//
// Exit status: 0 success, 1 an error in the input or while writing, 2 a usage error.
//
// Built for Linux and, as marlo-pack.exe, for Windows x64; both write the same bytes. On Windows
// paths are taken in the ANSI code page.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Pack.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes as on Linux: a dump redirected to a file keeps its line ends.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out;
    std::string err;
    int status = marlo::pack::runCommandLine(args, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    if (std::fflush(stdout) != 0 && status == 0) {
        std::fputs("marlo-pack: cannot write to standard output\n", stderr);
        return 1;
    }
    return status;
}
