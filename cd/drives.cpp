// Drive discovery at start-up and the open of a chosen drive.
#include "cd/drives.h"

#include "cd/cdaudio.h"
#include "text/zerofill.h"

namespace {

const char kDeviceType[] = "cdaudio";

// The scan's passes, in order of preference: what a drive must offer to be taken.
enum Probe {
    PROBE_AUDIO = 1, // a disc with an audio track
    PROBE_TRACKS,    // a disc with any track
    PROBE_READABLE,  // a disc whose track count can be read
    PROBE_CDROM,     // a CD-ROM drive that opens
    PROBE_ANY        // any letter that opens, whatever its type
};

int IsCdRom(const char* root) {
    return GetDriveTypeA(root) == DRIVE_CDROM;
}

// The tests of one pass after the open; 1 when the drive passes.
int DiscPasses(int pass, MCIDEVICEID device) {
    if (pass >= PROBE_CDROM)
        return 1;
    int count = 0;
    if (!CdGetTrackCount(device, &count))
        return 0;
    if (pass == PROBE_READABLE)
        return 1;
    if (count <= 0)
        return 0;
    return pass == PROBE_TRACKS || CdFirstAudioTrack(device) > 0;
}

// The drive of root as the element "x:": the drivers of Windows 95 and NT 4 refuse "x:\", every
// Windows takes the letter and colon.
int OpenDevice(const char* root, MCIDEVICEID* device) {
    char element[] = "a:";
    element[0] = root[0];
    return CdOpen(kDeviceType, element, CD_OPEN_FLAGS, device);
}

// Probes one drive; on success its device is left open in *device.
int ProbeDrive(int pass, const char* root, MCIDEVICEID* device) {
    if (pass != PROBE_ANY && !IsCdRom(root))
        return 0;
    MCIDEVICEID opened = DEVICE_NONE;
    if (!OpenDevice(root, &opened))
        return 0;
    if (!DiscPasses(pass, opened)) {
        CdClose(opened);
        return 0;
    }
    *device = opened;
    return 1;
}

// Hands an opened drive to the caller; always 1.
int Chosen(MCIDEVICEID device, char letter, CdDriveChoice* choice) {
    ZeroFill(choice, sizeof(*choice));
    choice->device = device;
    choice->letter = letter;
    return 1;
}

} // namespace

int ScanForCdDrive(CdDriveChoice* choice) {
    char root[] = "a:\\";
    // Pass order outranks letter order: every letter is tried in one pass before the next.
    for (int pass = PROBE_AUDIO; pass <= PROBE_ANY; ++pass) {
        for (char letter = 'a'; letter <= 'z'; ++letter) {
            root[0] = letter;
            MCIDEVICEID device = DEVICE_NONE;
            if (ProbeDrive(pass, root, &device))
                return Chosen(device, letter, choice);
        }
    }
    return 0;
}

int OpenCdDrive(const char* root, CdDriveChoice* choice) {
    if (!root || !IsCdRom(root))
        return 0;
    MCIDEVICEID device = DEVICE_NONE;
    if (!OpenDevice(root, &device))
        return 0;
    return Chosen(device, root[0], choice);
}

BOOL QueryVolumeLabel(const char* root, char* label, DWORD size) {
    DWORD maxComponent = 0;
    DWORD fileSystemFlags = 0;
    return GetVolumeInformationA(root, label, size, NULL, &maxComponent, &fileSystemFlags, NULL, 0);
}
