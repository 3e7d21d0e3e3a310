// The command identifiers: the two computed blocks and their mapping.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "tray/menus.h"
#include "tests/support/player_window.h"

namespace {

TEST(CommandIds, DriveAndTrackIdsRoundTrip) {
    for (int index = 0; index < 26; ++index) {
        EXPECT_EQ(DriveCommandId(index), 1024 + index);
        EXPECT_EQ(DriveIndexOfCommand(DriveCommandId(index)), index);
    }
    for (int track = 0; track <= 99; ++track) {
        EXPECT_EQ(TrackCommandId(track), 0x8000 + track);
        EXPECT_EQ(TrackOfCommand(TrackCommandId(track)), track);
    }
}

TEST(CommandIds, MappingIsNotRangeChecked) {
    EXPECT_EQ(DriveIndexOfCommand(1050), 26);
    EXPECT_EQ(DriveIndexOfCommand(0), -1024);
    EXPECT_EQ(TrackOfCommand(IDM_NO_TITLE), 7239);
    EXPECT_EQ(DriveCommandId(-97), 927); // a player without a drive names no item
}

struct BlockCase {
    UINT id;
    int drive;
    int track;
};

class CommandBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(CommandBlocks, BlockMembershipLooksAtTheLowWordOnly) {
    const BlockCase& c = GetParam();
    EXPECT_EQ(IsDriveCommand(c.id), c.drive) << std::hex << c.id;
    EXPECT_EQ(IsTrackCommand(c.id), c.track) << std::hex << c.id;
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CommandBlocks,
    ::testing::Values(BlockCase{0, 0, 0}, BlockCase{1023, 0, 0}, BlockCase{1024, 1, 0},
                      BlockCase{1049, 1, 0}, BlockCase{1050, 1, 0}, BlockCase{0x7FFF, 1, 0},
                      BlockCase{0x8000, 0, 1}, BlockCase{0x8001, 0, 1},
                      BlockCase{IDM_NO_TITLE, 0, 1}, BlockCase{IDM_SINGLE, 0, 1},
                      BlockCase{0xBFFF, 0, 1}, BlockCase{0xC000, 0, 0}, BlockCase{0xFFFF, 0, 0},
                      // A notification code in the high word changes nothing.
                      BlockCase{0x00010000u | 1027, 1, 0}, BlockCase{0xFFFF0000u | 0x8003, 0, 1},
                      BlockCase{0x00010000u, 0, 0}));

} // namespace

// ---- the dispatcher, on a window with a real player and a simulated drive --------------------

#include <windows.h>

#include <winsim/control.h>

#include "player/player.h"

#include <string>
#include <vector>

namespace {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

// Drive d: holds six tracks, the fifth of them data; the player starts on track 1 in
// continuous play without repeat.
class DispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        mci::CdDrive('d').WithDisc({mci::Audio(200), mci::Audio(200), mci::Audio(200),
                                    mci::Audio(200), mci::Data(100), mci::Audio(200)});
        window = winsim::control::CreateTestWindow(PlayerCommandWindowProc);
        PlayerSettings settings{PLAY_CONTINUOUS, 0};
        PlayerCreate(window, &settings);
        ASSERT_EQ(PlayerGetCurrentTrack(window), 1);
        mci::ClearCommands();
        ctl::ClearCalls();
    }
    void TearDown() override {
        if (IsWindow(window))
            DestroyWindow(window);
    }

    LRESULT Command(WPARAM wParam, LPARAM lParam = 0) {
        return SendMessageA(window, WM_COMMAND, wParam, lParam);
    }

    // The stops and plays the drive was sent, in order.
    std::vector<UINT> Transport() {
        std::vector<UINT> r;
        for (const mci::Command& c : mci::Commands())
            if (c.command == MCI_STOP || c.command == MCI_PLAY)
                r.push_back(c.command);
        return r;
    }

    // The track the last play started from, or -1 when nothing was asked to play.
    int LastPlayedTrack() {
        int track = -1;
        for (const mci::Command& c : mci::Commands())
            if (c.command == MCI_PLAY)
                track = (c.flags & MCI_FROM) ? static_cast<int>(MCI_TMSF_TRACK(c.from)) : 0;
        return track;
    }

    size_t DefaultCalls(WPARAM wParam, LPARAM lParam) {
        size_t n = 0;
        for (const ctl::Call& c : ctl::CallsTo("DefWindowProcA"))
            if (c.args[0] == reinterpret_cast<uintptr_t>(window) && c.args[1] == WM_COMMAND &&
                c.args[2] == wParam && c.args[3] == static_cast<uintptr_t>(lParam))
                ++n;
        return n;
    }

    HWND window = nullptr;
};

TEST_F(DispatchTest, PlayWithANotificationCodeInTheHighWordPlaysLikeTheMenuItem) {
    EXPECT_EQ(Command(MAKEWPARAM(IDM_PLAY, 1)), 0);
    EXPECT_EQ(Transport(), (std::vector<UINT>{MCI_STOP, MCI_PLAY}));
    EXPECT_EQ(LastPlayedTrack(), 1);
    EXPECT_TRUE(mci::IsPlaying('d'));
    EXPECT_EQ(DefaultCalls(MAKEWPARAM(IDM_PLAY, 1), 0), 0u);
}

TEST_F(DispatchTest, StopStopsThePlay) {
    Command(IDM_PLAY);
    EXPECT_EQ(Command(IDM_STOP), 0);
    EXPECT_FALSE(mci::IsPlaying('d'));
}

struct TrackCase {
    WPARAM id;
    int current; // the current track afterwards
};

class DispatchTrackTest : public DispatchTest, public ::testing::WithParamInterface<TrackCase> {};

TEST_P(DispatchTrackTest, SelectsAnAudioTrackOrRestartsTheCurrentOne) {
    EXPECT_EQ(Command(GetParam().id), 0);
    EXPECT_EQ(PlayerGetCurrentTrack(window), GetParam().current);
    EXPECT_EQ(Transport(), (std::vector<UINT>{MCI_STOP, MCI_PLAY}));
    EXPECT_EQ(LastPlayedTrack(), GetParam().current);
    EXPECT_EQ(DefaultCalls(GetParam().id, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Tracks, DispatchTrackTest,
                         ::testing::Values(TrackCase{0x8003, 3}, TrackCase{0x8006, 6},
                                           TrackCase{MAKEWPARAM(0x8002, 1), 2},
                                           TrackCase{0x8000, 1},         // track 0
                                           TrackCase{0x8005, 1},         // a data track
                                           TrackCase{0x8007, 1},         // past the last track
                                           TrackCase{0xBFFF, 1},         // the end of the block
                                           TrackCase{IDM_NO_TITLE, 1})); // 40007 is track 7239

struct DriveCase {
    WPARAM id;
    char drive; // the player's drive afterwards
};

class DispatchDriveTest : public DispatchTest, public ::testing::WithParamInterface<DriveCase> {
  protected:
    void SetUp() override {
        DispatchTest::SetUp();
        mci::CdDrive('z').WithDisc(mci::AudioTracks(3));
    }
};

TEST_P(DispatchDriveTest, SelectsTheLetterComputedInEightBitsAndNeverPlays) {
    EXPECT_EQ(Command(GetParam().id), 0);
    EXPECT_EQ(PlayerGetDriveIndex(window), GetParam().drive - 'a');
    EXPECT_EQ(LastPlayedTrack(), -1);
    EXPECT_EQ(DefaultCalls(GetParam().id, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Drives, DispatchDriveTest,
                         ::testing::Values(DriveCase{1049, 'z'},
                                           DriveCase{MAKEWPARAM(1049, 3), 'z'},
                                           DriveCase{1050, 'd'},            // '{' names no drive
                                           DriveCase{1024 + 256 + 25, 'z'}, // wraps to z
                                           DriveCase{1024 + 512 + 25, 'z'}, // and again
                                           DriveCase{1024 + 256 + 1, 'd'},  // b: is no CD drive
                                           DriveCase{0x7FFF, 'd'}));        // '`'

class DispatchUnknownTest : public DispatchTest, public ::testing::WithParamInterface<WPARAM> {};

TEST_P(DispatchUnknownTest, GoesToTheDefaultProcedureUnchanged) {
    Command(GetParam(), 0x1234);
    EXPECT_EQ(DefaultCalls(GetParam(), 0x1234), 1u);
    EXPECT_TRUE(mci::Commands().empty());
    EXPECT_TRUE(IsWindow(window));
}

INSTANTIATE_TEST_SUITE_P(Identifiers, DispatchUnknownTest,
                         ::testing::Values(0, 1, 1023, 0xC000, 0xC001, 0xFFFF, MAKEWPARAM(1023, 1),
                                           MAKEWPARAM(0xC000, 0)));

TEST_F(DispatchTest, NextAndPreviousWrapAndPlay) {
    Command(0x8006);
    Command(IDM_NEXT); // past the last track: back to the first audio track
    EXPECT_EQ(PlayerGetCurrentTrack(window), 1);
    EXPECT_EQ(LastPlayedTrack(), 1);
    Command(IDM_PREV); // below the first: the highest track number
    EXPECT_EQ(PlayerGetCurrentTrack(window), 6);
    EXPECT_EQ(LastPlayedTrack(), 6);
}

TEST_F(DispatchTest, NextAndPreviousPlayEvenWithoutADisc) {
    mci::RemoveDisc('d');
    for (WPARAM id : {WPARAM(IDM_NEXT), WPARAM(IDM_PREV)}) {
        mci::ClearCommands();
        EXPECT_EQ(Command(id), 0);
        // The play is tried: the device is stopped, and the play itself finds no disc.
        EXPECT_EQ(Transport(), (std::vector<UINT>{MCI_STOP})) << id;
        EXPECT_EQ(PlayerGetCurrentTrack(window), 1);
    }
    EXPECT_FALSE(mci::IsPlaying('d'));
}

TEST_F(DispatchTest, RepeatTogglesAndAnOddValueBecomesOff) {
    PlayerGet(window)->repeat = 5;
    Command(IDM_REPEAT);
    EXPECT_EQ(PlayerGetRepeat(window), 0);
    Command(IDM_REPEAT);
    EXPECT_EQ(PlayerGetRepeat(window), 1);
    Command(IDM_REPEAT);
    EXPECT_EQ(PlayerGetRepeat(window), 0);
    EXPECT_TRUE(mci::Commands().empty());
}

TEST_F(DispatchTest, ModesAreOnlyStored) {
    Command(IDM_PLAY);
    mci::ClearCommands();
    EXPECT_EQ(Command(IDM_SINGLE), 0);
    EXPECT_EQ(PlayerGetMode(window), PLAY_SINGLE);
    EXPECT_EQ(Command(IDM_CONTINUOUS), 0);
    EXPECT_EQ(PlayerGetMode(window), PLAY_CONTINUOUS);
    EXPECT_TRUE(mci::Commands().empty());
    EXPECT_TRUE(mci::IsPlaying('d'));
}

TEST_F(DispatchTest, DoorCommandsStopFirstThenMoveTheDoor) {
    Command(IDM_PLAY);
    EXPECT_EQ(Command(IDM_OPEN_DOOR), 0);
    EXPECT_EQ(Transport(), (std::vector<UINT>{MCI_STOP, MCI_PLAY, MCI_STOP}));
    EXPECT_TRUE(mci::IsDoorOpen('d'));
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_EQ(Command(IDM_CLOSE_DOOR), 0);
    EXPECT_FALSE(mci::IsDoorOpen('d'));
    EXPECT_FALSE(mci::IsPlaying('d'));
}

TEST_F(DispatchTest, QuitDestroysTheWindowBeforeReturningZero) {
    EXPECT_EQ(Command(IDM_QUIT), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(mci::OpenDeviceCount(), 0);
}

TEST_F(DispatchTest, AboutOpensTheAboutBoxOwnedByTheWindow) {
    ctl::After(100, [] { ctl::PressOK(); });
    EXPECT_EQ(Command(IDM_ABOUT), 0);
    EXPECT_TRUE(mci::Commands().empty()); // the box, and nothing played
    auto runs = ctl::DialogRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].owner, window);
    EXPECT_EQ(runs[0].templateName, "ABOUT_BOX");
}

} // namespace
