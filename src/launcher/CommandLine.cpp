#include "launcher/CommandLine.h"

namespace marlo {

bool isLogCreationSwitch(const std::u16string& arg) {
    return arg == u"-create-kvr-log" || arg == u"-create-brn-log" || arg == u"/create-kvr-log" ||
           arg == u"/create-brn-log";
}

bool takeLogCreationSwitch(ArgVector& args) {
    if (args.size() > 1 && isLogCreationSwitch(args[1])) {
        args.erase(args.begin() + 1);
        return true;
    }
    return false;
}

}  // namespace marlo
