// The machine's drive letters: which letters have a fixed disk or a CD-ROM drive, the disc in
// each CD-ROM drive and its door, and the kernel32 calls that report them (GetDriveTypeA,
// GetVolumeInformationA). The cdaudio device (mci.cpp) plays what this scene holds.
#include "internal.h"

#include <dbt.h>
#include <winsim/control_mci.h>

#include <cstring>
#include <deque>

namespace winsim {

namespace {

using control::mci::DriveKind;
using control::mci::Track;

const DWORD kErrorNotReady = 21;     // ERROR_NOT_READY
const DWORD kErrorInvalidName = 123; // ERROR_INVALID_NAME
const DWORD kErrorMoreData = 234;    // ERROR_MORE_DATA

struct Drive {
    DriveKind kind = DriveKind::None;
    UINT reportedType = DRIVE_NO_ROOT_DIR;
    std::string label;
    bool hasDisc = false;
    bool doorOpen = false;
    std::vector<Track> tracks;
    bool refusesOpen = false;
    bool refusesSecondOpen = false;
    bool silentEnd = false;
    bool silentStop = false;
    Millis spinUp = 0;
    bool refusesRootElement = false;
    bool liveToc = false;
    bool silentMediaChange = false;
};

struct Scene {
    Drive drives[26];
    // The broadcasts' records, which the windows read when they take the message.
    std::deque<DEV_BROADCAST_VOLUME> broadcasts;
};

Scene& S() {
    static Scene scene;
    return scene;
}

void ResetDrives() {
    S() = Scene();
    Drive& c = S().drives['c' - 'a'];
    c.kind = DriveKind::Fixed;
    c.reportedType = DRIVE_FIXED;
}
const bool registered = (OnReset(&ResetDrives), ResetDrives(), true);

Drive* Find(char letter) {
    int i = DriveIndex(letter);
    return i < 0 ? nullptr : &S().drives[i];
}

char Lower(char letter) {
    return static_cast<char>('a' + DriveIndex(letter));
}

// The letter of a root "x:\"; -1 for anything else (the platform wants the backslash).
int RootIndex(LPCSTR root) {
    if (!root)
        return 'c' - 'a';
    if (strlen(root) != 3 || root[1] != ':' || root[2] != '\\')
        return -1;
    return DriveIndex(root[0]);
}

Drive& Replace(char letter) {
    int i = DriveIndex(letter);
    if (i < 0) {
        Fail(std::string("mci scene: no drive letter '") + letter + "'");
        static Drive spare;
        spare = Drive();
        return spare;
    }
    MciMediaInterrupted(static_cast<char>('a' + i));
    S().drives[i] = Drive();
    return S().drives[i];
}

// Applies a change to a CD-ROM drive; a change of the medium stops a play on it.
template <typename Fn> void ChangeCd(char letter, bool mediumChanges, Fn fn) {
    Drive* d = Find(letter);
    if (!d || d->kind != DriveKind::CdRom) {
        Fail(std::string("mci scene: drive ") + letter + ": is not a CD-ROM drive");
        return;
    }
    if (mediumChanges)
        MciMediaInterrupted(Lower(letter));
    fn(*d);
}

// Whether the drive's medium is there for the system to announce: a disc behind a closed door.
bool MediumIn(const Drive& d) {
    return d.kind == DriveKind::CdRom && d.hasDisc && !d.doorOpen;
}

// The user's change fn on a CD-ROM drive, broadcast as the system does when the medium left
// or arrived by it.
template <typename Fn> void ChangeByHand(char letter, bool mediumChanges, Fn fn) {
    Drive* d = Find(letter);
    bool before = d && MediumIn(*d);
    ChangeCd(letter, mediumChanges, fn);
    if (!d || d->kind != DriveKind::CdRom || d->silentMediaChange)
        return;
    bool after = MediumIn(*d);
    if (before && !after)
        control::mci::BroadcastMediaChange(letter, false);
    if (!before && after)
        control::mci::BroadcastMediaChange(letter, true);
}

bool CopyOut(const std::string& text, LPSTR buf, DWORD size) {
    if (!buf)
        return true;
    if (text.size() + 1 > size)
        return false;
    memcpy(buf, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

int DriveIndex(char letter) {
    if (letter >= 'a' && letter <= 'z')
        return letter - 'a';
    if (letter >= 'A' && letter <= 'Z')
        return letter - 'A';
    return -1;
}

// The door command moves the medium as a hand does: ejecting a disc announces its removal,
// closing the door on one its arrival.
void SetDoorFromDevice(char letter, bool open) {
    Drive* d = Find(letter);
    if (!d)
        return;
    bool before = MediumIn(*d);
    d->doorOpen = open;
    bool after = MediumIn(*d);
    if (before != after && !d->silentMediaChange)
        control::mci::BroadcastMediaChange(letter, after);
}

} // namespace winsim

using namespace winsim;

extern "C" {

UINT WINAPI GetDriveTypeA(LPCSTR root) {
    Record("GetDriveTypeA", {}, root ? root : "");
    int i = RootIndex(root);
    if (i < 0)
        return DRIVE_NO_ROOT_DIR;
    const Drive& d = S().drives[i];
    return d.kind == DriveKind::None ? DRIVE_NO_ROOT_DIR : d.reportedType;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial,
                                  LPDWORD maxComponent, LPDWORD fsFlags, LPSTR fsName,
                                  DWORD fsNameSize) {
    Record("GetVolumeInformationA", {labelSize, fsNameSize}, root ? root : "");
    int i = RootIndex(root);
    if (i < 0) {
        SetLastError(kErrorInvalidName);
        return FALSE;
    }
    const Drive& d = S().drives[i];
    if (d.kind == DriveKind::None) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    bool cd = d.kind == DriveKind::CdRom;
    if (cd && (!d.hasDisc || d.doorOpen)) {
        SetLastError(kErrorNotReady);
        return FALSE;
    }
    // Both buffers are checked before either is written, so a failure leaves both alone.
    if ((label && d.label.size() + 1 > labelSize) ||
        (fsName && std::string(cd ? "CDFS" : "NTFS").size() + 1 > fsNameSize)) {
        SetLastError(kErrorMoreData);
        return FALSE;
    }
    CopyOut(d.label, label, labelSize);
    CopyOut(cd ? "CDFS" : "NTFS", fsName, fsNameSize);
    if (serial)
        *serial = 0x1A2B0000u + static_cast<DWORD>(i);
    if (maxComponent)
        *maxComponent = cd ? 110 : 255;
    if (fsFlags)
        *fsFlags = cd ? 0x00080000u /* read-only volume */ : 0x000700FFu;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // extern "C"

namespace winsim::control::mci {

Track Audio(int seconds, int frames) {
    return Track{true, static_cast<DWORD>(seconds * 75 + frames)};
}

Track Data(int seconds, int frames) {
    return Track{false, static_cast<DWORD>(seconds * 75 + frames)};
}

std::vector<Track> AudioTracks(int n, int seconds) {
    return std::vector<Track>(n > 0 ? static_cast<size_t>(n) : 0, Audio(seconds));
}

CdDriveScene CdDrive(char letter) {
    Drive& d = Replace(letter);
    d.kind = DriveKind::CdRom;
    d.reportedType = DRIVE_CDROM;
    return CdDriveScene(letter);
}

void FixedDisk(char letter, const std::string& label) {
    Drive& d = Replace(letter);
    d.kind = DriveKind::Fixed;
    d.reportedType = DRIVE_FIXED;
    d.label = label;
}

void NoDrive(char letter) {
    Replace(letter);
}

CdDriveScene& CdDriveScene::WithDisc(const std::vector<Track>& tracks) {
    ChangeCd(letter_, true, [&](Drive& d) {
        d.hasDisc = true;
        d.doorOpen = false;
        d.tracks = tracks;
    });
    return *this;
}

CdDriveScene& CdDriveScene::Label(const std::string& label) {
    ChangeCd(letter_, false, [&](Drive& d) { d.label = label; });
    return *this;
}

CdDriveScene& CdDriveScene::DoorOpen() {
    ChangeCd(letter_, true, [](Drive& d) { d.doorOpen = true; });
    return *this;
}

CdDriveScene& CdDriveScene::RefusesOpen() {
    ChangeCd(letter_, false, [](Drive& d) { d.refusesOpen = true; });
    return *this;
}

CdDriveScene& CdDriveScene::RefusesSecondOpen() {
    ChangeCd(letter_, false, [](Drive& d) { d.refusesSecondOpen = true; });
    return *this;
}

CdDriveScene& CdDriveScene::SilentEnd() {
    ChangeCd(letter_, false, [](Drive& d) { d.silentEnd = true; });
    return *this;
}

CdDriveScene& CdDriveScene::SilentStop() {
    ChangeCd(letter_, false, [](Drive& d) { d.silentStop = true; });
    return *this;
}

CdDriveScene& CdDriveScene::SpinUp(Millis ms) {
    ChangeCd(letter_, false, [&](Drive& d) { d.spinUp = ms > 0 ? ms : 0; });
    return *this;
}

CdDriveScene& CdDriveScene::ReportsType(UINT driveType) {
    ChangeCd(letter_, false, [&](Drive& d) { d.reportedType = driveType; });
    return *this;
}

CdDriveScene& CdDriveScene::RefusesRootElement() {
    ChangeCd(letter_, false, [](Drive& d) { d.refusesRootElement = true; });
    return *this;
}

CdDriveScene& CdDriveScene::LiveToc() {
    ChangeCd(letter_, false, [](Drive& d) { d.liveToc = true; });
    return *this;
}

CdDriveScene& CdDriveScene::SilentMediaChange() {
    ChangeCd(letter_, false, [](Drive& d) { d.silentMediaChange = true; });
    return *this;
}

void InsertDisc(char letter, const std::vector<Track>& tracks, const std::string& label) {
    // A disc in the drive leaves before the new one goes in.
    Drive* before = Find(letter);
    if (before && MediumIn(*before))
        RemoveDisc(letter);
    ChangeByHand(letter, true, [&](Drive& d) {
        d.hasDisc = true;
        d.doorOpen = false;
        d.tracks = tracks;
        d.label = label;
    });
}

void RemoveDisc(char letter) {
    ChangeByHand(letter, true, [](Drive& d) {
        d.hasDisc = false;
        d.doorOpen = false;
        d.tracks.clear();
        d.label.clear();
    });
}

void OpenDoorByHand(char letter) {
    ChangeByHand(letter, true, [](Drive& d) { d.doorOpen = true; });
}

void CloseDoorByHand(char letter) {
    ChangeByHand(letter, false, [](Drive& d) { d.doorOpen = false; });
}

// Windows announces a volume's media to every top-level window (Microsoft KB 163503, "How to
// receive notification of CD-ROM insertion or removal"); the message comes from the system's
// thread, so each window takes it where a sent message is taken.
void BroadcastMediaChange(char letter, bool arrived) {
    int i = DriveIndex(letter);
    if (i < 0) {
        Fail(std::string("mci broadcast: no drive letter '") + letter + "'");
        return;
    }
    DEV_BROADCAST_VOLUME record{};
    record.dbcv_size = sizeof record;
    record.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    record.dbcv_unitmask = DWORD(1) << i;
    record.dbcv_flags = DBTF_MEDIA;
    S().broadcasts.push_back(record);
    LPARAM lp = reinterpret_cast<LPARAM>(&S().broadcasts.back());
    WPARAM wp = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    for (HWND h : LiveWindows()) {
        const Window* w = FindWindowRecord(h);
        if (w && !w->parent && !(w->style & WS_CHILD))
            control::SendFromAnotherThread(h, WM_DEVICECHANGE, wp, lp);
    }
}

bool DescribeDrive(char letter, DriveInfo* info) {
    const Drive* d = Find(letter);
    if (!d || !info)
        return false;
    info->kind = d->kind;
    info->reportedType = d->kind == DriveKind::None ? DRIVE_NO_ROOT_DIR : d->reportedType;
    info->label = d->label;
    info->hasDisc = d->hasDisc;
    info->doorOpen = d->doorOpen;
    info->tracks = d->tracks;
    info->refusesOpen = d->refusesOpen;
    info->refusesSecondOpen = d->refusesSecondOpen;
    info->silentEnd = d->silentEnd;
    info->silentStop = d->silentStop;
    info->spinUp = d->spinUp;
    info->refusesRootElement = d->refusesRootElement;
    info->liveToc = d->liveToc;
    info->silentMediaChange = d->silentMediaChange;
    return true;
}

} // namespace winsim::control::mci
