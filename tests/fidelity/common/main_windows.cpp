// The probe under Wine: a console program whose standard output is the transcript.
#include "tests/fidelity/probe.h"

#include <stdio.h>

// The scene goes to a file beside the probe, which the virtual drive reads at its first open.
void UseDrives(const char* scene) {
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%sscene.ini", OwnFolder());
    FILE* f = fopen(path, "wb");
    if (!f || fputs(scene, f) < 0 || fclose(f) != 0)
        Say("cannot write %s", path);
    SetEnvironmentVariableA("VCDAUDIO_SCENE", path);
}

int main() {
    Probe();
    return 0;
}
