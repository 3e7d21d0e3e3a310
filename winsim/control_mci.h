// Control of the drives and the "cdaudio" device: the drive letters of the machine, the CD-ROM
// drives with their discs and doors, the user's hands on them, the MCI commands the program
// sent, and what each drive is doing.
//
// A fresh desktop has one fixed disk, c:, and no CD-ROM drive. Every other letter has no drive.
//
// The simulated device, as the real one:
// - A device opens with the type "cdaudio" and the element "x:" or "x:\" of a CD-ROM drive
//   (letters in either case). Ids are non-zero and never reused; 0 and closed ids fail with
//   MCIERR_INVALID_DEVICE_ID. A failed open may still write wDeviceID (it writes a bogus id).
//   A RefusesRootElement() drive, as the drivers of Windows 9x and NT 4, opens only as "x:":
//   "x:\" fails with MCIERR_INVALID_FILE (Wine's dlls/winmm/tests/mcicda.c test_openclose:
//   "open X:\ fails in Win9x/NT. Only open X: works everywhere"; dlls/mcicda/mcicda.c: "Win9x-NT
//   accept only d:").
// - The MCI layer names each open device by its alias, else its element string, else its type
//   (without regard to case). An open under a name in use fails with MCIERR_DEVICE_OPEN (265),
//   MCIERR_DUPLICATE_ALIAS for an alias, before the driver sees it and without writing
//   wDeviceID: "d:\" twice is refused, "d:" after "d:\" reaches the drive.
// - After an open without an alias was refused with MCIERR_DEVICE_OPEN, every later open of the
//   process fails with MCIERR_EXTENSION_NOT_FOUND (281), also with an alias, also after the
//   devices are closed, without writing wDeviceID (test_openclose: "Bug in native since NT:
//   After OPEN "c" without MCI_OPEN_ALIAS fails with MCIERR_DEVICE_OPEN, any subsequent OPEN
//   fails with EXTENSION_NOT_FOUND!"; when it ends is not recorded, so it lasts as long as the
//   process). A refused alias (MCIERR_DUPLICATE_ALIAS) does not do it ("with alias, OPEN "c"
//   behaves normally"). DuplicateOpenBreaksOpens(false) gives a layer without the fault.
// - A device reads the disc's table of contents (track count, lengths, types) when it opens,
//   or, opened without a readable disc, at its first command that finds one, and keeps it until
//   it is closed: a disc changed under an open device still reads as the old one (test_play:
//   "Changing the disk while the MCI device is open causes the Status command to report stale
//   data. Native obviously caches the TOC."). The mode, readiness and the door stay live, so
//   with no disc or the door open the disc queries fail as below; positions are the head's
//   place reckoned on the kept table. What native does with a play on a stale table is not
//   recorded; here it is checked against the kept table, and one that reaches past the end of
//   the disc really in the drive fails with MCIERR_HARDWARE, as a drive refuses such addresses.
//   A LiveToc() drive reads the disc at every command instead, as Wine's mcicda does.
// - A new device starts in the MCI_FORMAT_MSF time format (the device's own default).
// - Positions and lengths follow the time format: TMSF (positions; lengths are MSF then), MSF
//   (absolute from the start of the disc, which has a 2-second lead-in) or milliseconds
//   (frame f reads as f * 1000 / 75 + 1). The last track's length, and so the disc's, is
//   reported one frame short.
// - With no disc or the door open, the disc queries (tracks, position, length, type) and plays
//   fail with MCIERR_DEVICE_NOT_READY; the mode is MCI_MODE_OPEN (door open) or
//   MCI_MODE_NOT_READY (no disc); the time format can still be read and set.
// - A play runs on the virtual clock at 75 frames per second. With MCI_NOTIFY, MM_MCINOTIFY
//   (wParam = code, lParam = device id) is posted to dwCallback once: MCI_NOTIFY_SUCCESSFUL at
//   the end position, MCI_NOTIFY_SUPERSEDED when another play with MCI_NOTIFY replaces it,
//   MCI_NOTIFY_ABORTED when it is stopped (stop, close, another play without MCI_NOTIFY, the
//   door-open command), MCI_NOTIFY_FAILURE when the user opens the door or takes the disc out.
//   Any other command with MCI_NOTIFY completes at once with MCI_NOTIFY_SUCCESSFUL and
//   supersedes a play's pending notification.
// - A SilentEnd() drive posts nothing when a play reaches its end, nor when the user opens the
//   door or takes the disc out: the drive stops, and the notification stays pending for the
//   device until a later command reports it as above (SUPERSEDED by a command with MCI_NOTIFY,
//   ABORTED by stop, close, a play without MCI_NOTIFY or the door-open command).
// - A SpinUp(ms) drive reports MCI_MODE_STOP, its head at the play's start, for ms after a play
//   starts; IsPlaying() and CurrentPlay() report the play from its start.
// - A play that starts on a track that does not exist, or ends past the last one, fails with
//   MCIERR_OUTOFRANGE; a failed command changes nothing. Without MCI_FROM a play starts where
//   the drive stands, without MCI_TO it ends at the end of the disc. One that ends where it
//   starts, or starts on a data track, succeeds at once (MCI_NOTIFY_SUCCESSFUL): it ends a
//   running play, and the drive stays stopped, after a data track where it stood.
// - MCI_STOP fails with MCIERR_DEVICE_NOT_READY when the drive has no readable disc.
// - MCI_WAIT is accepted and ignored: no command takes virtual time.
#pragma once
#include "control_core.h"

#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winsim::control::mci {

// ---- discs -----------------------------------------------------------------------------------
struct Track {
    bool audio;
    DWORD frames; // 75 frames per second
};
Track Audio(int seconds, int frames = 0);
Track Data(int seconds, int frames = 0);
// n audio tracks of the same length.
std::vector<Track> AudioTracks(int n, int seconds = 180);

// ---- the machine's drive letters -------------------------------------------------------------
// Describes one CD-ROM drive; every call changes the scene at once, so a drive reads as
//   mci::CdDrive('d').WithDisc({mci::Audio(200), mci::Data(600)}).Label("MUSIC");
// A new CD-ROM drive has no disc, a closed door, and grants every open. CdDriveScene(letter)
// on its own changes a CD-ROM drive that is already there.
class CdDriveScene {
  public:
    explicit CdDriveScene(char letter) : letter_(letter) {}
    CdDriveScene& WithDisc(const std::vector<Track>& tracks); // door closed, disc readable
    CdDriveScene& Label(const std::string& label);            // code page 932 bytes
    CdDriveScene& DoorOpen();
    CdDriveScene& RefusesOpen(); // every MCI_OPEN of the drive fails
    // An open fails with MCIERR_MUST_USE_SHAREABLE while another device has the drive, also
    // under another element string or an alias (a driver that holds the drive alone).
    CdDriveScene& RefusesSecondOpen();
    // The end of a play posts nothing, as on the NT-family drivers: its notification stays
    // pending until a later command supersedes or aborts it (see the device notes above).
    CdDriveScene& SilentEnd();
    // MCI_STOP ends a play and drops its pending notification: no MCI_NOTIFY_ABORTED is posted.
    CdDriveScene& SilentStop();
    // For ms of virtual time after a play starts the drive reports MCI_MODE_STOP with its head
    // at the play's start; the play then runs, its end delayed by as much.
    CdDriveScene& SpinUp(Millis ms);
    // What GetDriveTypeA reports for the root (DRIVE_CDROM unless changed); the device still
    // opens the drive, as one behind a driver that misreports it.
    CdDriveScene& ReportsType(UINT driveType);
    // Only "x:" opens; "x:\" fails with MCIERR_INVALID_FILE (the Windows 9x and NT 4 drivers).
    CdDriveScene& RefusesRootElement();
    // Every command reads the disc in the drive: no table of contents is kept from the open.
    CdDriveScene& LiveToc();
    // The user's disc and door changes are not broadcast (WM_DEVICECHANGE), as under Wine, whose
    // virtual drives announce nothing: the program learns of them only by asking the device.
    CdDriveScene& SilentMediaChange();

  private:
    char letter_;
};
CdDriveScene CdDrive(char letter); // replaces whatever the letter had
void FixedDisk(char letter, const std::string& label = "");
void NoDrive(char letter);

enum class DriveKind { None, Fixed, CdRom };
struct DriveInfo {
    DriveKind kind;
    UINT reportedType; // what GetDriveTypeA says
    std::string label;
    bool hasDisc;
    bool doorOpen;
    std::vector<Track> tracks; // the disc's, empty without one
    bool refusesOpen;
    bool refusesSecondOpen;
    bool silentEnd;
    bool silentStop;
    Millis spinUp;
    bool refusesRootElement;
    bool liveToc;
    bool silentMediaChange;
};
// false for anything but a letter a..z (either case)
bool DescribeDrive(char letter, DriveInfo* info);

// After an open without an alias is refused with MCIERR_DEVICE_OPEN, every later open fails
// (on by default, as on the NT family: see the device notes above).
void DuplicateOpenBreaksOpens(bool on);

// ---- the user's hands ------------------------------------------------------------------------
// As on Windows, each change of the medium is broadcast to every top-level window as
// WM_DEVICECHANGE (see BroadcastMediaChange), unless the drive has SilentMediaChange(): a
// disc that leaves (taken out, or the door opened by hand or by the door command with a disc
// in) with DBT_DEVICEREMOVECOMPLETE, one that arrives (put in, or the door closed on it) with
// DBT_DEVICEARRIVAL. Changes through CdDrive()/CdDriveScene are the scene, never broadcast.
// Puts a disc in and closes the door (also when the door was open or another disc was in: a
// swap, the old disc's removal broadcast before the new one's arrival).
void InsertDisc(char letter, const std::vector<Track>& tracks, const std::string& label = "");
// Takes the disc out; the door is closed again afterwards.
void RemoveDisc(char letter);
void OpenDoorByHand(char letter);
void CloseDoorByHand(char letter);

// What the system sends every top-level window when a CD's medium arrives or leaves (KB 163503):
// WM_DEVICECHANGE with DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE, lParam a
// DEV_BROADCAST_VOLUME (DBT_DEVTYP_VOLUME, unit mask bit 0 for a:, DBTF_MEDIA). It comes from
// another thread: each window takes it at its thread's next wait (SendFromAnotherThread). The
// record stays valid until the reset.
void BroadcastMediaChange(char letter, bool arrived);

// ---- failures on demand ----------------------------------------------------------------------
// The next `times` commands (-1: every one from now on) that match fail with `error` and change
// nothing. A match is the command; for MCI_STATUS also dwItem, for MCI_SET also a flag among
// the command's flags, unless detail is 0; and the drive, unless letter is 0.
void FailCommand(UINT command, DWORD detail = 0, int times = 1, MCIERROR error = MCIERR_HARDWARE,
                 char letter = 0);
// The mciSendCommandA call with this number (0 for the first since the reset) fails with
// MCIERR_HARDWARE and changes nothing; -1: every call from now on.
void FailCommandNumber(int number);
void ClearFailures();

// ---- the command log -------------------------------------------------------------------------
struct Command {
    Millis time;
    MCIDEVICEID device; // the device the command was sent to
    UINT command;       // MCI_OPEN ...
    DWORD_PTR flags;
    char drive;     // lower-case letter of the device (or of the element of an open); 0
    bool hadRecord; // false for a NULL parameter record
    // The record as the device read it; fields the command does not have are 0.
    DWORD_PTR callback;
    DWORD from, to;         // MCI_PLAY
    DWORD item, track;      // MCI_STATUS
    DWORD timeFormat;       // MCI_SET
    std::string deviceType; // MCI_OPEN
    std::string element;    // MCI_OPEN
    bool hadAlias;          // MCI_OPEN: lpstrAlias was not NULL
    MCIERROR result;
    DWORD_PTR returned; // MCI_STATUS dwReturn / MCI_OPEN wDeviceID, on success only
};
std::vector<Command> Commands();
void ClearCommands();
// One line per command, for asserting exact sequences:
//   "open cdaudio d:\ 0x2202 -> 1"   (the new id; or "-> error 296")
//   "close 1 0x2" "stop 1 0x2"
//   "status 1 0x102 tracks -> 10"    (items: length position tracks mode format type, or the
//   "status 1 0x112 type 3 -> 1088"   number; a track is shown when MCI_TRACK is among the flags)
//   "set 1 0x402 format 10" "set 1 0x102" "set 1 0x202"
//   "play 1 0xd from 0x3 to 0x4 cb 0x1234"   (from/to shown with MCI_FROM/MCI_TO, cb when
//                                              non-zero; failures end in "-> error N")
std::string Describe(const Command& command);
std::vector<std::string> Trace();
// The track each MCI_PLAY sent starts at (byte 0 of dwFrom), in order, refused plays included.
std::vector<int> PlayedTracks();

// ---- what the drives are doing ---------------------------------------------------------------
struct Play {
    MCIDEVICEID device;
    DWORD fromFrame, toFrame; // absolute frames on the disc
    int fromTrack;            // the track holding fromFrame
    int toTrack;              // the track starting at toFrame, 0 for the end of the disc
    bool notify;              // a notification is pending for this play
    HWND window;              // its window
};
bool IsPlaying(char letter);
bool CurrentPlay(char letter, Play* play);
// The head position as a TMSF value (track, minutes, seconds, frames within the track); 0 when
// the drive has no readable disc.
DWORD Position(char letter);
bool IsDoorOpen(char letter);

int OpenDeviceCount();
std::vector<MCIDEVICEID> OpenDevices();
char DriveOf(MCIDEVICEID device); // 0 when not open
DWORD TimeFormatOf(MCIDEVICEID device);

struct Notification {
    Millis time;
    HWND window;
    WPARAM code;
    MCIDEVICEID device;
};
std::vector<Notification> Notifications(); // every MM_MCINOTIFY the device posted

} // namespace winsim::control::mci
