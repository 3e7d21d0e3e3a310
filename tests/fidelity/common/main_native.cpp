// The probe on winsim: a fresh desktop; a call winsim refuses as the platform documents it wrong
// shows as a line of the transcript, where Wine would show something else.
#include "tests/fidelity/probe.h"

#include <winsim/control.h>

#include <string>

int main() {
    winsim::control::SetFailureHandler(
        [](const std::string& message) { Say("winsim failure: %s", message.c_str()); });
    winsim::control::Reset();
    Probe();
    return 0;
}
