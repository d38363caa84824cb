#include "common/StartupState.h"

namespace marlo {

StartupState& startupState() {
    static StartupState state;
    return state;
}

}  // namespace marlo
