// The probe under Wine: a console program whose standard output is the transcript.
#include "tests/fidelity/probe.h"

int main() {
    Probe();
    return 0;
}
