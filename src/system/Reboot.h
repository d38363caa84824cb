// The reboot an installation or update asks for by starting the launcher with "__kvr_reboot".
#pragma once

namespace marlo {

// Waits five seconds, enables the shutdown privilege and asks Windows to reboot, only when the
// privilege was really granted. Any failure leaves the machine running, silently.
void rebootMachine();

}  // namespace marlo
