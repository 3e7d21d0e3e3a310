// The five-pass drive scan and drive switching, on simulated drives. For the switch the player
// state is attached to a real (simulated) window as the program does, and set by hand so that
// each operation is seen on its own.
#include "cd/drives.h"

#include "cd/cdaudio.h"
#include "player/player.h"

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

class DrivesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        window_ = winsim::control::CreateTestWindow(DefWindowProcA);
        ASSERT_NE(window_, nullptr);
        state_ = PlayerState{};
        state_.currentTrack = 42;
        state_.playMode = PLAY_CONTINUOUS;
        state_.repeat = 1;
        state_.device = DEVICE_NONE;
        ASSERT_TRUE(SetPropA(window_, "PROP_PLAYER", &state_));
    }

    // Lines of the trace that open (or close) devices, in order.
    static std::vector<std::string> Lines(const char* prefix) {
        std::vector<std::string> lines;
        for (const std::string& line : mci::Trace())
            if (line.compare(0, strlen(prefix), prefix) == 0)
                lines.push_back(line);
        return lines;
    }

    HWND window_ = nullptr;
    PlayerState state_{};
    CdDriveChoice drive_{};
};

// ---- the scan -------------------------------------------------------------------------------

struct ScanCase {
    const char* name;
    std::function<void()> scene;
    char letter; // 0: none found
};

class ScanTest : public DrivesTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanTest, PicksTheDriveOfTheEarliestPass) {
    GetParam().scene();
    int found = ScanForCdDrive(&drive_);
    EXPECT_EQ(found, GetParam().letter ? 1 : 0);
    EXPECT_EQ(drive_.letter, GetParam().letter);
    if (GetParam().letter) {
        EXPECT_EQ(mci::DriveOf(drive_.device), GetParam().letter);
        // Every probe it rejected was closed again.
        EXPECT_EQ(mci::OpenDevices(), std::vector<MCIDEVICEID>{drive_.device});
    } else {
        EXPECT_EQ(drive_.device, DEVICE_NONE);
        EXPECT_EQ(mci::OpenDeviceCount(), 0);
    }
    // The scan leaves the time format to its caller.
    EXPECT_TRUE(Lines("set").empty());
    EXPECT_FALSE(mci::IsPlaying('d') || mci::IsPlaying('e') || mci::IsPlaying('f'));
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, ScanTest,
    ::testing::Values(
        ScanCase{"AudioBeatsDataOnALaterLetter",
                 [] {
                     mci::CdDrive('d').WithDisc({mci::Data(600)});
                     mci::CdDrive('e').WithDisc(mci::AudioTracks(5));
                 },
                 'e'},
        ScanCase{"LowestLetterWinsWithinAPass",
                 [] {
                     mci::CdDrive('d').WithDisc(mci::AudioTracks(5));
                     mci::CdDrive('e').WithDisc(mci::AudioTracks(5));
                 },
                 'd'},
        ScanCase{"DataDiscBeatsAnEmptyDriveAndAnEmptyDisc",
                 [] {
                     mci::CdDrive('d');
                     mci::CdDrive('e').WithDisc({});
                     mci::CdDrive('f').WithDisc({mci::Data(600)});
                 },
                 'f'},
        ScanCase{"EachPassOutranksTheLetters",
                 [] {
                     mci::CdDrive('d');                                           // pass 4
                     mci::CdDrive('e').WithDisc({});                              // pass 3
                     mci::CdDrive('f').WithDisc({mci::Data(60)});                 // pass 2
                     mci::CdDrive('g').WithDisc({mci::Data(60), mci::Audio(60)}); // pass 1
                 },
                 'g'},
        ScanCase{"ReadableEmptyDiscBeatsAnEmptyDrive",
                 [] {
                     mci::CdDrive('d');
                     mci::CdDrive('e').WithDisc({});
                 },
                 'e'},
        ScanCase{"EmptyDriveIsTakenInPassFour", [] { mci::CdDrive('d'); }, 'd'},
        ScanCase{"DrivesThatDoNotOpenAreSkipped",
                 [] {
                     mci::CdDrive('d').WithDisc(mci::AudioTracks(5)).RefusesOpen();
                     mci::CdDrive('e');
                 },
                 'e'},
        ScanCase{"OpenDoorCountsAsEmpty",
                 [] {
                     mci::CdDrive('d').WithDisc(mci::AudioTracks(5)).DoorOpen();
                     mci::CdDrive('e').WithDisc({mci::Data(60)});
                 },
                 'e'},
        ScanCase{"PassFiveTakesADriveOfAnotherType",
                 [] { mci::CdDrive('f').WithDisc(mci::AudioTracks(5)).ReportsType(DRIVE_REMOTE); },
                 'f'},
        ScanCase{"NothingOpens", [] { mci::CdDrive('d').RefusesOpen(); }, 0},
        ScanCase{"NtFourDriverTakesTheLetterOnly",
                 [] { mci::CdDrive('d').WithDisc(mci::AudioTracks(2)).RefusesRootElement(); }, 'd'},
        ScanCase{"NoCdRomDrive", [] { mci::FixedDisk('e'); }, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(DrivesTest, RejectedDrivesAreClosedBeforeTheNextLetter) {
    mci::CdDrive('d').WithDisc({mci::Data(600)});
    mci::CdDrive('e').WithDisc(mci::AudioTracks(3));
    ASSERT_EQ(ScanForCdDrive(&drive_), 1);
    auto opens = Lines("open");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].substr(0, 16), "open cdaudio d: ");
    EXPECT_EQ(opens[1].substr(0, 16), "open cdaudio e: ");
    auto log = mci::Commands();
    size_t close = 0, openE = 0;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].command == MCI_CLOSE)
            close = i;
        if (log[i].command == MCI_OPEN && log[i].drive == 'e')
            openE = i;
    }
    EXPECT_LT(close, openE);
    EXPECT_EQ(log[close].device, log[0].returned);
}

TEST_F(DrivesTest, EmptyOnlyDriveIsOpenedAndClosedInPassesOneToThree) {
    mci::CdDrive('d');
    ASSERT_EQ(ScanForCdDrive(&drive_), 1);
    EXPECT_EQ(Lines("open cdaudio d: 0x2202").size(), 4u);
    EXPECT_EQ(Lines("close").size(), 3u);
    EXPECT_EQ(Lines("status").size(), 3u); // one failed count per pass
}

TEST_F(DrivesTest, WithoutACdRomDrivePassFiveTriesEveryLetter) {
    mci::FixedDisk('e');
    ASSERT_EQ(ScanForCdDrive(&drive_), 0);
    auto opens = Lines("open");
    ASSERT_EQ(opens.size(), 26u);
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(opens[static_cast<size_t>(i)].substr(0, 16),
                  std::string("open cdaudio ") + char('a' + i) + ": ")
            << i;
    EXPECT_EQ(ctl::CallsTo("GetDriveTypeA").size(), 4u * 26u);
    EXPECT_EQ(drive_.device, DEVICE_NONE);
    EXPECT_EQ(drive_.letter, 0);
}

// ---- drive switching ------------------------------------------------------------------------

// The player uses d: (10 audio tracks) and is playing track 5.
class SelectDriveTest : public DrivesTest {
  protected:
    void SetUp() override {
        DrivesTest::SetUp();
        mci::CdDrive('d').WithDisc(mci::AudioTracks(10));
        mci::FixedDisk('c');
        ASSERT_TRUE(CdOpen("cdaudio", "d:", 0x2202, &old_));
        CdSetTimeFormat(old_, MCI_FORMAT_TMSF);
        state_.device = old_;
        state_.driveLetter = 'd';
        state_.currentTrack = 5;
        ASSERT_TRUE(CdPlayTrack(window_, old_, MCI_NOTIFY, 5));
        state_.play = PlayerPendingPlay{1, 5, 1, 0};
        mci::ClearCommands();
    }

    void ExpectUnchanged() {
        EXPECT_EQ(state_.device, old_);
        EXPECT_EQ(state_.driveLetter, 'd');
        EXPECT_EQ(state_.currentTrack, 5);
        EXPECT_TRUE(mci::IsPlaying('d'));
    }

    void ExpectSwitchedTo(char letter) {
        EXPECT_NE(state_.device, old_);
        EXPECT_EQ(mci::DriveOf(state_.device), letter);
        EXPECT_EQ(state_.driveLetter, letter);
        EXPECT_EQ(mci::DriveOf(old_), 0) << "old device closed";
        EXPECT_FALSE(mci::IsPlaying('d'));
        EXPECT_EQ(mci::TimeFormatOf(state_.device), DWORD(MCI_FORMAT_TMSF));
        EXPECT_TRUE(Lines("play").empty()) << "nothing plays";
        EXPECT_EQ(state_.playMode, PLAY_CONTINUOUS);
        EXPECT_EQ(state_.repeat, 1);
        // The old drive's play is over: no tick may judge the new drive by it.
        EXPECT_EQ(state_.play.pending, 0);
    }

    MCIDEVICEID old_ = DEVICE_NONE;
};

TEST_F(SelectDriveTest, HardDiskRootChangesNothing) {
    EXPECT_EQ(PlayerSelectDrive(window_, "c:\\"), 0);
    ExpectUnchanged();
    EXPECT_TRUE(mci::Commands().empty());
}

TEST_F(SelectDriveTest, DriveThatDoesNotOpenChangesNothing) {
    mci::CdDrive('e').WithDisc(mci::AudioTracks(3)).RefusesOpen();
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), 0);
    ExpectUnchanged();
    EXPECT_EQ(mci::Commands().size(), 1u);
}

TEST_F(SelectDriveTest, EmptyDriveMakesTrackOneCurrentAndReportsFailure) {
    mci::CdDrive('e');
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), 0);
    ExpectSwitchedTo('e');
    EXPECT_EQ(state_.currentTrack, 1);
    std::string oldId = std::to_string(old_), newId = std::to_string(state_.device);
    std::vector<std::string> expected = {
        "open cdaudio e: 0x2202 -> " + newId,
        "stop " + oldId + " 0x2",
        "close " + oldId + " 0x2",
        "set " + newId + " 0x402 format 10",
        "status " + newId + " 0x102 tracks -> error 276",
    };
    EXPECT_EQ(mci::Trace(), expected);
}

struct SwitchCase {
    const char* name;
    std::vector<mci::Track> disc;
    int result;
    int currentTrack;
};

class SelectDiscTest : public SelectDriveTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SelectDiscTest, MakesTheFirstAudioTrackCurrentWithoutPlaying) {
    mci::CdDrive('e').WithDisc(GetParam().disc);
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), GetParam().result);
    ExpectSwitchedTo('e');
    EXPECT_EQ(state_.currentTrack, GetParam().currentTrack);
    EXPECT_FALSE(mci::IsPlaying('e'));
}

INSTANTIATE_TEST_SUITE_P(
    Discs, SelectDiscTest,
    ::testing::Values(
        SwitchCase{"AudioDisc", mci::AudioTracks(4), 1, 1},
        SwitchCase{"FirstAudioTrackIsTwo", {mci::Data(60), mci::Audio(60), mci::Audio(60)}, 1, 2},
        SwitchCase{"OneDataTrack", {mci::Data(60)}, 1, 0}, SwitchCase{"NoTracks", {}, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(SelectDriveTest, TheDriveInUseIsOpenedAfreshNeverTwice) {
    // After a refused second open of an element, every later open fails on NT.
    EXPECT_EQ(PlayerSelectDrive(window_, "d:\\"), 1);
    EXPECT_EQ(PlayerSelectDrive(window_, "D:\\"), 1);
    EXPECT_EQ(state_.currentTrack, 1);
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2));
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), 1);
    ExpectSwitchedTo('e');
    EXPECT_EQ(mci::OpenDeviceCount(), 1);
}

TEST_F(SelectDriveTest, FromNoDeviceTheNewDriveIsTaken) {
    CdClose(old_);
    state_.device = DEVICE_NONE;
    state_.driveLetter = 0;
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2));
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), 1);
    EXPECT_EQ(state_.driveLetter, 'e');
    EXPECT_EQ(mci::DriveOf(state_.device), 'e');
    EXPECT_EQ(state_.currentTrack, 1);
}

TEST_F(SelectDriveTest, WithoutAPlayerOrRootNothingHappens) {
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2));
    EXPECT_EQ(PlayerSelectDrive(window_, nullptr), 0);
    RemovePropA(window_, "PROP_PLAYER");
    EXPECT_EQ(PlayerSelectDrive(window_, "e:\\"), 0);
    ExpectUnchanged();
    EXPECT_TRUE(mci::Commands().empty());
}

} // namespace
