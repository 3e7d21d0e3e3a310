// winmm's Media Control Interface with one device type, "cdaudio": opens of the CD-ROM drives
// that drives.cpp describes, their status, time formats and doors, and plays that run on the
// virtual clock and post MM_MCINOTIFY when they end. Every command is logged for the tests.
#include "internal.h"

#include <mmsystem.h>
#include <winsim/control_mci.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace winsim {

namespace {

using control::mci::Command;
using control::mci::DriveInfo;
using control::mci::DriveKind;
using control::mci::Notification;
using control::mci::Track;

const DWORD kFramesPerSecond = 75;
const DWORD kFramesPerMinute = 60 * kFramesPerSecond;
const DWORD kLeadIn = 2 * kFramesPerSecond; // track 1 starts at 00:02:00

struct Device {
    MCIDEVICEID id = 0;
    char letter = 0;
    DWORD timeFormat = MCI_FORMAT_MSF;
    DWORD_PTR openFlags = 0;
    std::string alias;    // the name the layer knows it by: the alias, else the element or type
    bool tocRead = false; // the table of contents it keeps, read once a disc was readable
    std::vector<Track> toc;
};

// What one drive's mechanism is doing. A notification is pending while a play runs, and on a
// silent drive also after it ended, until a later command reports it.
struct Activity {
    bool playing = false;
    MCIDEVICEID player = 0;
    DWORD fromFrame = 0;
    DWORD toFrame = 0;
    Millis started = 0;
    Millis spinUp = 0;    // the play stands at fromFrame until started + spinUp
    DWORD head = kLeadIn; // where the drive stands while it does not play
    uint64_t event = 0;
    bool notify = false;
    DWORD_PTR callback = 0;
};

struct Injected {
    UINT command;
    DWORD detail;
    int times;
    MCIERROR error;
    char letter;
};

struct Mci {
    MCIDEVICEID nextId = 1;
    std::map<MCIDEVICEID, Device> devices;
    Activity drives[26];
    std::vector<Injected> failures;
    int sent = 0;                 // mciSendCommandA calls since the reset
    std::set<int> failingNumbers; // of those, the ones that fail
    bool allFail = false;
    bool duplicateBreaksOpens = true;
    bool opensBroken = false; // a refused duplicate open has broken the layer
    std::vector<Command> log;
    std::vector<Notification> notifications;
};

Mci& M() {
    static Mci mci;
    return mci;
}

// The clock's own reset drops the completion events; nothing is posted here.
void ResetMci() {
    M() = Mci();
}
const bool registered = (OnReset(&ResetMci), true);

Activity* ActivityOf(char letter) {
    int i = DriveIndex(letter);
    return i < 0 ? nullptr : &M().drives[i];
}

// ---- the disc ---------------------------------------------------------------------------------

struct Disc {
    bool ready = false; // a CD-ROM drive with a disc and its door closed
    DriveInfo info{};
};

Disc ReadDisc(char letter) {
    Disc d;
    if (control::mci::DescribeDrive(letter, &d.info))
        d.ready = d.info.kind == DriveKind::CdRom && d.info.hasDisc && !d.info.doorOpen;
    return d;
}

// The disc as the device sees it: readiness live, the tracks from the table of contents the
// device keeps, read when it first finds the disc readable.
Disc DeviceDisc(Device& dev) {
    Disc d = ReadDisc(dev.letter);
    if (d.info.liveToc)
        return d;
    if (!dev.tocRead && d.ready) {
        dev.toc = d.info.tracks;
        dev.tocRead = true;
    }
    if (dev.tocRead)
        d.info.tracks = dev.toc;
    return d;
}

int TrackCount(const Disc& d) {
    return static_cast<int>(d.info.tracks.size());
}

// Start of track t (1-based); t = count + 1 is the lead-out, the end of the disc.
DWORD TrackStart(const Disc& d, int t) {
    DWORD frame = kLeadIn;
    for (int i = 1; i < t && i <= TrackCount(d); ++i)
        frame += d.info.tracks[static_cast<size_t>(i - 1)].frames;
    return frame;
}

DWORD LeadOut(const Disc& d) {
    return TrackStart(d, TrackCount(d) + 1);
}

// The track holding frame; the lead-out counts as the end of the last track. 0 when none.
int TrackAt(const Disc& d, DWORD frame) {
    for (int t = TrackCount(d); t >= 1; --t)
        if (frame >= TrackStart(d, t))
            return t;
    return 0;
}

DWORD CurrentFrame(const Activity& a) {
    if (!a.playing)
        return a.head;
    Millis elapsed = Now() - a.started - a.spinUp;
    if (elapsed < 0)
        return a.fromFrame;
    int64_t frame = a.fromFrame + elapsed * static_cast<int64_t>(kFramesPerSecond) / 1000;
    return frame > a.toFrame ? a.toFrame : static_cast<DWORD>(frame);
}

DWORD MakeMsf(DWORD frame) {
    return MCI_MAKE_MSF(frame / kFramesPerMinute, (frame % kFramesPerMinute) / kFramesPerSecond,
                        frame % kFramesPerSecond);
}

// The device counts a frame's milliseconds from 1: frame 150 (00:02:00) reads as 2001 ms.
DWORD FramesToMillis(DWORD frame) {
    return static_cast<DWORD>(uint64_t(frame) * 1000 / 75 + 1);
}

// A position in the device's time format.
DWORD PositionValue(const Disc& d, DWORD format, DWORD frame) {
    switch (format) {
    case MCI_FORMAT_MILLISECONDS:
        return FramesToMillis(frame);
    case MCI_FORMAT_TMSF: {
        int t = TrackAt(d, frame);
        if (t == 0)
            return 0;
        DWORD off = frame - TrackStart(d, t);
        return MCI_MAKE_TMSF(t, off / kFramesPerMinute, (off % kFramesPerMinute) / kFramesPerSecond,
                             off % kFramesPerSecond);
    }
    default:
        return MakeMsf(frame);
    }
}

// A length in the device's time format; TMSF devices report lengths as MSF.
DWORD LengthValue(DWORD format, DWORD frames) {
    return format == MCI_FORMAT_MILLISECONDS ? FramesToMillis(frames) : MakeMsf(frames);
}

// A play position given in the device's time format, as an absolute frame.
bool ParsePosition(const Disc& d, DWORD format, DWORD value, DWORD* frame) {
    DWORD f = 0;
    switch (format) {
    case MCI_FORMAT_MILLISECONDS:
        f = value == 0 ? 0
                       : static_cast<DWORD>((uint64_t(value - 1) * kFramesPerSecond + 500) / 1000);
        break;
    case MCI_FORMAT_TMSF: {
        int t = MCI_TMSF_TRACK(value);
        if (t < 1 || t > TrackCount(d))
            return false;
        f = TrackStart(d, t) + MCI_TMSF_MINUTE(value) * kFramesPerMinute +
            MCI_TMSF_SECOND(value) * kFramesPerSecond + MCI_TMSF_FRAME(value);
        break;
    }
    default:
        f = MCI_MSF_MINUTE(value) * kFramesPerMinute + MCI_MSF_SECOND(value) * kFramesPerSecond +
            MCI_MSF_FRAME(value);
        break;
    }
    if (f < kLeadIn || f > LeadOut(d))
        return false;
    *frame = f;
    return true;
}

// ---- notifications ----------------------------------------------------------------------------

void Notify(DWORD_PTR callback, WPARAM code, MCIDEVICEID device) {
    HWND window = reinterpret_cast<HWND>(callback);
    M().notifications.push_back(Notification{Now(), window, code, device});
    PostMessageA(window, MM_MCINOTIFY, code, static_cast<LPARAM>(device));
}

// Whether the drive of a letter has one of the scene's yes/no traits (silentEnd, silentStop).
bool DriveHas(char letter, bool DriveInfo::*trait) {
    DriveInfo info;
    return control::mci::DescribeDrive(letter, &info) && info.*trait;
}

// Ends a play where it stands; a pending notification, if any, reports code.
void EndPlay(char letter, WPARAM code, bool post = true) {
    Activity* a = ActivityOf(letter);
    if (!a)
        return;
    if (a->playing) {
        a->head = CurrentFrame(*a);
        a->playing = false;
        if (a->event)
            CancelEvent(a->event);
        a->event = 0;
    }
    if (a->notify && post) {
        a->notify = false;
        Notify(a->callback, code, a->player);
    }
}

void CompletePlay(char letter) {
    Activity* a = ActivityOf(letter);
    if (!a || !a->playing)
        return;
    a->event = 0;
    a->head = a->toFrame;
    a->playing = false;
    if (a->notify && !DriveHas(letter, &DriveInfo::silentEnd)) {
        a->notify = false;
        Notify(a->callback, MCI_NOTIFY_SUCCESSFUL, a->player);
    }
}

// A command other than a play asked for a notification: it completes at once, and a play's
// pending notification is superseded by it.
void NotifyCommandDone(char letter, DWORD_PTR callback, MCIDEVICEID device) {
    Activity* a = ActivityOf(letter);
    if (a && a->notify) {
        a->notify = false;
        Notify(a->callback, MCI_NOTIFY_SUPERSEDED, a->player);
    }
    Notify(callback, MCI_NOTIFY_SUCCESSFUL, device);
}

// ---- failures on demand -----------------------------------------------------------------------

bool Injection(UINT command, DWORD_PTR flags, DWORD item, char letter, MCIERROR* error) {
    if (M().allFail || M().failingNumbers.count(M().sent - 1)) {
        *error = MCIERR_HARDWARE;
        return true;
    }
    for (auto it = M().failures.begin(); it != M().failures.end(); ++it) {
        if (it->command != command)
            continue;
        if (it->letter && DriveIndex(it->letter) != DriveIndex(letter))
            continue;
        if (it->detail) {
            if (command == MCI_STATUS && it->detail != item)
                continue;
            if (command == MCI_SET && !(flags & it->detail))
                continue;
        }
        *error = it->error;
        if (it->times > 0 && --it->times == 0)
            M().failures.erase(it);
        return true;
    }
    return false;
}

// ---- the commands -----------------------------------------------------------------------------

bool EqualsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

// "x:" or "x:\" -> the lower-case letter, else 0; root says which it was.
char ElementLetter(const char* element, bool* root) {
    if (!element || DriveIndex(element[0]) < 0 || element[1] != ':')
        return 0;
    if (element[2] != 0 && !(element[2] == '\\' && element[3] == 0))
        return 0;
    *root = element[2] != 0;
    return static_cast<char>('a' + DriveIndex(element[0]));
}

MCIERROR OpenDrive(DWORD_PTR flags, MCI_OPEN_PARMSA* p, Command* c, MCIDEVICEID id) {
    char letter = 0;
    bool root = false;
    if (flags & MCI_OPEN_ELEMENT) {
        letter = ElementLetter(p->lpstrElementName, &root);
        if (!letter)
            return MCIERR_INVALID_FILE;
    } else {
        // Without an element the device takes the first CD-ROM drive.
        for (char l = 'a'; l <= 'z' && !letter; ++l) {
            DriveInfo info;
            if (control::mci::DescribeDrive(l, &info) && info.kind == DriveKind::CdRom)
                letter = l;
        }
        if (!letter)
            return MCIERR_CANNOT_LOAD_DRIVER;
    }
    c->drive = letter;
    MCIERROR injected = 0;
    if (Injection(MCI_OPEN, flags, 0, letter, &injected))
        return injected;
    DriveInfo info;
    if (!control::mci::DescribeDrive(letter, &info) || info.kind != DriveKind::CdRom)
        return MCIERR_INVALID_FILE;
    if (root && info.refusesRootElement)
        return MCIERR_INVALID_FILE;
    if (info.refusesOpen)
        return MCIERR_MUST_USE_SHAREABLE;
    if (info.refusesSecondOpen)
        for (const auto& entry : M().devices)
            if (entry.second.letter == letter)
                return MCIERR_MUST_USE_SHAREABLE;
    Device dev;
    dev.id = id;
    dev.letter = letter;
    dev.openFlags = flags;
    M().devices[id] = dev;
    DeviceDisc(M().devices[id]); // the table of contents, if the disc is readable
    c->returned = id;
    if (flags & MCI_NOTIFY)
        NotifyCommandDone(letter, p->dwCallback, id);
    return 0;
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA* p, Command* c) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    c->hadRecord = true;
    c->callback = p->dwCallback;
    if ((flags & MCI_OPEN_TYPE) && !(flags & MCI_OPEN_TYPE_ID) && p->lpstrDeviceType)
        c->deviceType = p->lpstrDeviceType;
    if ((flags & MCI_OPEN_ELEMENT) && !(flags & MCI_OPEN_ELEMENT_ID) && p->lpstrElementName)
        c->element = p->lpstrElementName;
    c->hadAlias = (flags & MCI_OPEN_ALIAS) && p->lpstrAlias;
    if (M().opensBroken)
        return MCIERR_EXTENSION_NOT_FOUND;
    if (!(flags & MCI_OPEN_TYPE))
        return (flags & MCI_OPEN_ELEMENT) ? MCIERR_EXTENSION_NOT_FOUND : MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_OPEN_TYPE_ID) || !p->lpstrDeviceType ||
        !EqualsNoCase(p->lpstrDeviceType, "cdaudio"))
        return MCIERR_INVALID_DEVICE_NAME;
    if (flags & MCI_OPEN_ELEMENT_ID)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    // The layer names every open device: by its alias, else by its element, else by its type. A
    // second open under a name in use is refused before the driver sees it.
    std::string alias = (flags & MCI_OPEN_ALIAS) && p->lpstrAlias           ? p->lpstrAlias
                        : (flags & MCI_OPEN_ELEMENT) && p->lpstrElementName ? p->lpstrElementName
                                                                            : p->lpstrDeviceType;
    for (const auto& entry : M().devices)
        if (EqualsNoCase(entry.second.alias.c_str(), alias.c_str())) {
            if (c->hadAlias)
                return MCIERR_DUPLICATE_ALIAS;
            M().opensBroken = M().duplicateBreaksOpens;
            return MCIERR_DEVICE_OPEN;
        }
    // From here on the driver is loaded and has taken an id; the layer writes it back even when
    // the open then fails, and such an id never becomes valid.
    MCIDEVICEID id = M().nextId++;
    MCIERROR r = OpenDrive(flags, p, c, id);
    p->wDeviceID = id;
    if (r == 0)
        M().devices[id].alias = alias;
    return r;
}

MCIERROR Close(Device& dev, DWORD_PTR flags, MCI_GENERIC_PARMS* p, Command* c) {
    MCIERROR injected = 0;
    if (Injection(MCI_CLOSE, flags, 0, dev.letter, &injected))
        return injected;
    Activity* a = ActivityOf(dev.letter);
    if (a && (a->playing || a->notify) && a->player == dev.id)
        EndPlay(dev.letter, MCI_NOTIFY_ABORTED);
    char letter = dev.letter;
    MCIDEVICEID id = dev.id;
    M().devices.erase(id);
    if ((flags & MCI_NOTIFY) && p)
        NotifyCommandDone(letter, p->dwCallback, id);
    (void)c;
    return 0;
}

MCIERROR Stop(Device& dev, DWORD_PTR flags, MCI_GENERIC_PARMS* p) {
    MCIERROR injected = 0;
    if (Injection(MCI_STOP, flags, 0, dev.letter, &injected))
        return injected;
    if (!ReadDisc(dev.letter).ready)
        return MCIERR_DEVICE_NOT_READY;
    if (DriveHas(dev.letter, &DriveInfo::silentStop)) {
        EndPlay(dev.letter, MCI_NOTIFY_ABORTED, false);
        if (Activity* a = ActivityOf(dev.letter))
            a->notify = false;
    } else {
        EndPlay(dev.letter, MCI_NOTIFY_ABORTED);
    }
    if ((flags & MCI_NOTIFY) && p)
        NotifyCommandDone(dev.letter, p->dwCallback, dev.id);
    return 0;
}

MCIERROR Set(Device& dev, DWORD_PTR flags, MCI_SET_PARMS* p, Command* c) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    c->hadRecord = true;
    c->callback = p->dwCallback;
    c->timeFormat = p->dwTimeFormat;
    MCIERROR injected = 0;
    if (Injection(MCI_SET, flags, 0, dev.letter, &injected))
        return injected;
    const DWORD_PTR known = MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED | MCI_SET_TIME_FORMAT;
    if (!(flags & known))
        return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_SET_DOOR_OPEN) && (flags & MCI_SET_DOOR_CLOSED))
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (flags & MCI_SET_TIME_FORMAT) {
        DWORD f = p->dwTimeFormat;
        if (f != MCI_FORMAT_MILLISECONDS && f != MCI_FORMAT_MSF && f != MCI_FORMAT_TMSF)
            return MCIERR_BAD_TIME_FORMAT;
    }
    if (flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) {
        DriveInfo info;
        if (!control::mci::DescribeDrive(dev.letter, &info) || info.kind != DriveKind::CdRom)
            return MCIERR_HARDWARE;
    }
    if (flags & MCI_SET_TIME_FORMAT)
        dev.timeFormat = p->dwTimeFormat;
    if (flags & MCI_SET_DOOR_OPEN) {
        EndPlay(dev.letter, MCI_NOTIFY_ABORTED);
        ActivityOf(dev.letter)->head = kLeadIn;
        SetDoorFromDevice(dev.letter, true);
    }
    if (flags & MCI_SET_DOOR_CLOSED)
        SetDoorFromDevice(dev.letter, false);
    if (flags & MCI_NOTIFY)
        NotifyCommandDone(dev.letter, p->dwCallback, dev.id);
    return 0;
}

MCIERROR StatusValue(Device& dev, DWORD_PTR flags, const MCI_STATUS_PARMS* p, DWORD* out) {
    Disc d = DeviceDisc(dev);
    const Activity& a = *ActivityOf(dev.letter);
    switch (p->dwItem) {
    case MCI_STATUS_TIME_FORMAT:
        *out = dev.timeFormat;
        return 0;
    case MCI_STATUS_MODE:
        if (a.playing && Now() - a.started >= a.spinUp)
            *out = MCI_MODE_PLAY;
        else if (d.info.kind == DriveKind::CdRom && d.info.doorOpen)
            *out = MCI_MODE_OPEN;
        else if (!d.ready)
            *out = MCI_MODE_NOT_READY;
        else
            *out = MCI_MODE_STOP;
        return 0;
    case MCI_STATUS_MEDIA_PRESENT:
        *out = d.ready ? TRUE : FALSE;
        return 0;
    case MCI_STATUS_READY:
        *out = d.ready ? TRUE : FALSE;
        return 0;
    default:
        break;
    }
    bool known = p->dwItem == MCI_STATUS_NUMBER_OF_TRACKS || p->dwItem == MCI_STATUS_POSITION ||
                 p->dwItem == MCI_STATUS_LENGTH || p->dwItem == MCI_STATUS_CURRENT_TRACK ||
                 p->dwItem == MCI_CDA_STATUS_TYPE_TRACK;
    if (!known)
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (p->dwItem == MCI_CDA_STATUS_TYPE_TRACK && !(flags & MCI_TRACK))
        return MCIERR_MISSING_PARAMETER;
    if (!d.ready)
        return MCIERR_DEVICE_NOT_READY;
    int count = TrackCount(d);
    bool trackGiven = (flags & MCI_TRACK) != 0;
    if (trackGiven && (p->dwTrack < 1 || p->dwTrack > static_cast<DWORD>(count)))
        return MCIERR_OUTOFRANGE;
    int t = static_cast<int>(p->dwTrack);
    switch (p->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        *out = static_cast<DWORD>(count);
        return 0;
    case MCI_STATUS_CURRENT_TRACK:
        *out = static_cast<DWORD>(TrackAt(d, CurrentFrame(a)));
        return 0;
    case MCI_STATUS_POSITION: {
        DWORD frame = trackGiven                   ? TrackStart(d, t)
                      : (flags & MCI_STATUS_START) ? kLeadIn
                                                   : CurrentFrame(a);
        *out = PositionValue(d, dev.timeFormat, frame);
        return 0;
    }
    case MCI_STATUS_LENGTH: {
        // The device reports the last track one frame short, and the disc with it.
        DWORD frames = trackGiven ? d.info.tracks[size_t(t - 1)].frames : LeadOut(d) - kLeadIn;
        if ((!trackGiven || t == count) && frames > 0)
            --frames;
        *out = LengthValue(dev.timeFormat, frames);
        return 0;
    }
    default: // MCI_CDA_STATUS_TYPE_TRACK
        *out = d.info.tracks[size_t(t - 1)].audio ? MCI_CDA_TRACK_AUDIO : MCI_CDA_TRACK_OTHER;
        return 0;
    }
}

MCIERROR Status(Device& dev, DWORD_PTR flags, MCI_STATUS_PARMS* p, Command* c) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    c->hadRecord = true;
    c->callback = p->dwCallback;
    c->item = p->dwItem;
    c->track = p->dwTrack;
    MCIERROR injected = 0;
    if (Injection(MCI_STATUS, flags, p->dwItem, dev.letter, &injected))
        return injected;
    if (!(flags & MCI_STATUS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    DWORD value = 0;
    MCIERROR r = StatusValue(dev, flags, p, &value);
    if (r)
        return r;
    p->dwReturn = value;
    c->returned = value;
    if (flags & MCI_NOTIFY)
        NotifyCommandDone(dev.letter, p->dwCallback, dev.id);
    return 0;
}

MCIERROR Play(Device& dev, DWORD_PTR flags, MCI_PLAY_PARMS* p, Command* c) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    c->hadRecord = true;
    c->callback = p->dwCallback;
    c->from = p->dwFrom;
    c->to = p->dwTo;
    MCIERROR injected = 0;
    if (Injection(MCI_PLAY, flags, 0, dev.letter, &injected))
        return injected;
    Disc d = DeviceDisc(dev);
    if (!d.ready)
        return MCIERR_DEVICE_NOT_READY;
    Activity& a = *ActivityOf(dev.letter);
    DWORD from = CurrentFrame(a);
    DWORD to = LeadOut(d);
    if (flags & MCI_FROM) {
        if (!ParsePosition(d, dev.timeFormat, p->dwFrom, &from) || from >= LeadOut(d))
            return MCIERR_OUTOFRANGE;
    }
    if ((flags & MCI_TO) && !ParsePosition(d, dev.timeFormat, p->dwTo, &to))
        return MCIERR_OUTOFRANGE;
    if (to < from)
        return MCIERR_OUTOFRANGE;
    // Addresses taken from a stale table may lie past the end of the disc now in the drive.
    if (to > LeadOut(ReadDisc(dev.letter)))
        return MCIERR_HARDWARE;
    int first = TrackAt(d, from);
    bool data = from < LeadOut(d) && first > 0 && !d.info.tracks[size_t(first - 1)].audio;
    bool notify = (flags & MCI_NOTIFY) != 0;
    EndPlay(dev.letter, notify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED);
    // A play that starts in the data area is accepted, but the drive does not move: it is over
    // at once, like one that ends where it starts.
    if (to == from || data) {
        if (!data)
            a.head = from;
        if (notify)
            Notify(p->dwCallback, MCI_NOTIFY_SUCCESSFUL, dev.id);
        return 0;
    }
    // MCI_WAIT would block until the end; no caller relies on it, so the play always runs on.
    a.playing = true;
    a.player = dev.id;
    a.fromFrame = from;
    a.toFrame = to;
    a.started = Now();
    a.spinUp = d.info.spinUp;
    a.notify = notify;
    a.callback = p->dwCallback;
    Millis duration = a.spinUp + (static_cast<Millis>(to - from) * 1000 + kFramesPerSecond - 1) /
                                     static_cast<Millis>(kFramesPerSecond);
    char letter = dev.letter;
    a.event = ScheduleAt(Now() + duration, [letter] { CompletePlay(letter); });
    return 0;
}

MCIERROR Dispatch(MCIDEVICEID id, UINT msg, DWORD_PTR flags, DWORD_PTR param, Command* c) {
    if (msg == MCI_OPEN)
        return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(param), c);
    auto it = M().devices.find(id);
    if (it == M().devices.end())
        return MCIERR_INVALID_DEVICE_ID;
    Device& dev = it->second;
    c->drive = dev.letter;
    switch (msg) {
    case MCI_CLOSE: {
        auto* p = reinterpret_cast<MCI_GENERIC_PARMS*>(param);
        c->hadRecord = p != nullptr;
        c->callback = p ? p->dwCallback : 0;
        return Close(dev, flags, p, c);
    }
    case MCI_STOP: {
        auto* p = reinterpret_cast<MCI_GENERIC_PARMS*>(param);
        c->hadRecord = p != nullptr;
        c->callback = p ? p->dwCallback : 0;
        return Stop(dev, flags, p);
    }
    case MCI_SET:
        return Set(dev, flags, reinterpret_cast<MCI_SET_PARMS*>(param), c);
    case MCI_STATUS:
        return Status(dev, flags, reinterpret_cast<MCI_STATUS_PARMS*>(param), c);
    case MCI_PLAY:
        return Play(dev, flags, reinterpret_cast<MCI_PLAY_PARMS*>(param), c);
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

std::string Hex(uint64_t v) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

const char* ItemName(DWORD item) {
    switch (item) {
    case MCI_STATUS_LENGTH:
        return "length";
    case MCI_STATUS_POSITION:
        return "position";
    case MCI_STATUS_NUMBER_OF_TRACKS:
        return "tracks";
    case MCI_STATUS_MODE:
        return "mode";
    case MCI_STATUS_TIME_FORMAT:
        return "format";
    case MCI_CDA_STATUS_TYPE_TRACK:
        return "type";
    default:
        return nullptr;
    }
}

} // namespace

// A silent drive cannot tell: its pending notification waits for the next command, as in
// Wine's mcicda, which never looks at the door.
void MciMediaInterrupted(char letter) {
    EndPlay(letter, MCI_NOTIFY_FAILURE, !DriveHas(letter, &DriveInfo::silentEnd));
    if (Activity* a = ActivityOf(letter))
        a->head = kLeadIn;
}

} // namespace winsim

using namespace winsim;

extern "C" MCIERROR WINAPI mciSendCommandA(MCIDEVICEID id, UINT msg, DWORD_PTR flags,
                                           DWORD_PTR param) {
    Command c{};
    c.time = Now();
    c.device = id;
    c.command = msg;
    c.flags = flags;
    M().sent++;
    MCIERROR r = Dispatch(id, msg, flags, param, &c);
    c.result = r;
    if (r)
        c.returned = 0;
    M().log.push_back(c);
    Record("mciSendCommandA", {id, msg, flags, r}, control::mci::Describe(c));
    return r;
}

namespace winsim::control::mci {

void FailCommand(UINT command, DWORD detail, int times, MCIERROR error, char letter) {
    if (times == 0)
        return;
    M().failures.push_back(Injected{command, detail, times, error, letter});
}

void FailCommandNumber(int number) {
    if (number < 0)
        M().allFail = true;
    else
        M().failingNumbers.insert(number);
}

void DuplicateOpenBreaksOpens(bool on) {
    M().duplicateBreaksOpens = on;
    if (!on)
        M().opensBroken = false;
}

void ClearFailures() {
    M().failures.clear();
    M().failingNumbers.clear();
    M().allFail = false;
}

std::vector<Command> Commands() {
    return M().log;
}
void ClearCommands() {
    M().log.clear();
}

std::string Describe(const Command& c) {
    std::string s;
    std::string dev = std::to_string(c.device);
    switch (c.command) {
    case MCI_OPEN:
        s = "open";
        if (!c.deviceType.empty())
            s += " " + c.deviceType;
        if (!c.element.empty())
            s += " " + c.element;
        s += " " + Hex(c.flags);
        return s + (c.result ? " -> error " + std::to_string(c.result)
                             : " -> " + std::to_string(c.returned));
    case MCI_CLOSE:
        s = "close " + dev + " " + Hex(c.flags);
        break;
    case MCI_STOP:
        s = "stop " + dev + " " + Hex(c.flags);
        break;
    case MCI_SET:
        s = "set " + dev + " " + Hex(c.flags);
        if (c.flags & MCI_SET_TIME_FORMAT)
            s += " format " + std::to_string(c.timeFormat);
        break;
    case MCI_STATUS: {
        s = "status " + dev + " " + Hex(c.flags);
        const char* name = ItemName(c.item);
        s += " " + (name ? std::string(name) : std::to_string(c.item));
        if (c.flags & MCI_TRACK)
            s += " " + std::to_string(c.track);
        if (!c.result) {
            bool hex = c.item == MCI_STATUS_POSITION || c.item == MCI_STATUS_LENGTH;
            return s + " -> " + (hex ? Hex(c.returned) : std::to_string(c.returned));
        }
        break;
    }
    case MCI_PLAY:
        s = "play " + dev + " " + Hex(c.flags);
        if (c.flags & MCI_FROM)
            s += " from " + Hex(c.from);
        if (c.flags & MCI_TO)
            s += " to " + Hex(c.to);
        if (c.callback)
            s += " cb " + Hex(c.callback);
        break;
    default:
        s = "command " + Hex(c.command) + " " + dev + " " + Hex(c.flags);
        break;
    }
    if (c.result)
        s += " -> error " + std::to_string(c.result);
    return s;
}

std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    for (const Command& c : M().log)
        lines.push_back(Describe(c));
    return lines;
}

std::vector<int> PlayedTracks() {
    std::vector<int> tracks;
    for (const Command& c : M().log)
        if (c.command == MCI_PLAY)
            tracks.push_back(MCI_TMSF_TRACK(c.from));
    return tracks;
}

bool IsPlaying(char letter) {
    const Activity* a = ActivityOf(letter);
    return a && a->playing;
}

bool CurrentPlay(char letter, Play* play) {
    const Activity* a = ActivityOf(letter);
    if (!a || !a->playing || !play)
        return false;
    Disc d = ReadDisc(letter);
    play->device = a->player;
    play->fromFrame = a->fromFrame;
    play->toFrame = a->toFrame;
    play->fromTrack = TrackAt(d, a->fromFrame);
    play->toTrack = 0;
    for (int t = 1; t <= TrackCount(d); ++t)
        if (TrackStart(d, t) == a->toFrame)
            play->toTrack = t;
    play->notify = a->notify;
    play->window = reinterpret_cast<HWND>(a->callback);
    return true;
}

DWORD Position(char letter) {
    const Activity* a = ActivityOf(letter);
    Disc d = ReadDisc(letter);
    if (!a || !d.ready)
        return 0;
    return PositionValue(d, MCI_FORMAT_TMSF, CurrentFrame(*a));
}

bool IsDoorOpen(char letter) {
    DriveInfo info;
    return DescribeDrive(letter, &info) && info.kind == DriveKind::CdRom && info.doorOpen;
}

int OpenDeviceCount() {
    return static_cast<int>(M().devices.size());
}

std::vector<MCIDEVICEID> OpenDevices() {
    std::vector<MCIDEVICEID> ids;
    for (const auto& entry : M().devices)
        ids.push_back(entry.first);
    return ids;
}

char DriveOf(MCIDEVICEID device) {
    auto it = M().devices.find(device);
    return it == M().devices.end() ? 0 : it->second.letter;
}

DWORD TimeFormatOf(MCIDEVICEID device) {
    auto it = M().devices.find(device);
    return it == M().devices.end() ? 0 : it->second.timeFormat;
}

std::vector<Notification> Notifications() {
    return M().notifications;
}

} // namespace winsim::control::mci
