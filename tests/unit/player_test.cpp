// The player on simulated drives: creation and destruction, the transport, the end-of-track
// continuation, and whole plays on the virtual clock with MM_MCINOTIFY pumped by a message loop.
#include "player/player.h"

#include "cd/cdaudio.h"
#include "tray/trayicon.h"

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

std::string Hex(HWND window) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return buf;
}

// As the main window does: the device's completion goes to the player.
LRESULT CALLBACK PlayerWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == MM_MCINOTIFY)
        return PlayerOnNotify(window, wParam);
    return DefWindowProcA(window, msg, wParam, lParam);
}

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        window_ = winsim::control::CreateTestWindow(PlayerWindowProc);
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        if (PlayerGet(window_)) {
            PlayerSettings out{};
            PlayerDestroy(window_, &out);
        }
    }

    void Create(int mode = PLAY_CONTINUOUS, int repeat = 0) {
        PlayerSettings settings{mode, repeat};
        ASSERT_EQ(PlayerCreate(window_, &settings), 1);
        ASSERT_NE(PlayerGet(window_), nullptr);
        mci::ClearCommands();
    }

    PlayerState& State() { return *PlayerGet(window_); }

    // The track the drive is playing now, 0 when idle.
    static int PlayingTrack(char letter = 'd') {
        mci::Play play{};
        return mci::CurrentPlay(letter, &play) ? play.fromTrack : 0;
    }

    HWND window_ = nullptr;
};

// ---- creation and destruction ---------------------------------------------------------------

TEST_F(PlayerTest, CreateOpensTheDriveInTmsfOnItsFirstAudioTrack) {
    mci::CdDrive('d').WithDisc({mci::Data(60), mci::Audio(60), mci::Audio(60)});
    Create(PLAY_SINGLE, 1);
    const PlayerState& s = State();
    EXPECT_EQ(s.driveLetter, 'd');
    EXPECT_EQ(mci::DriveOf(s.device), 'd');
    EXPECT_EQ(mci::TimeFormatOf(s.device), DWORD(MCI_FORMAT_TMSF));
    EXPECT_EQ(s.currentTrack, 2);
    EXPECT_EQ(s.playMode, PLAY_SINGLE);
    EXPECT_EQ(s.repeat, 1);
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_EQ(PlayerGetDriveIndex(window_), 3);
}

TEST_F(PlayerTest, CreateSetsTheFormatRightAfterTheScan) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(2));
    PlayerSettings settings{PLAY_SINGLE, 0};
    ASSERT_EQ(PlayerCreate(window_, &settings), 1);
    auto log = mci::Commands();
    // Pass 1 opens d: and runs the audio test; then the format is set, then the first audio
    // track is looked for.
    size_t set = 0;
    while (set < log.size() && log[set].command != MCI_SET)
        ++set;
    ASSERT_LT(set, log.size());
    EXPECT_EQ(log[set].timeFormat, DWORD(MCI_FORMAT_TMSF));
    EXPECT_EQ(log.size() - set - 1, 3u); // count, then count and type of track 1
    EXPECT_TRUE(mci::PlayedTracks().empty());
}

TEST_F(PlayerTest, CreateWithoutAnyDriveLeavesAnIdlePlayer) {
    mci::NoDrive('c');
    ASSERT_EQ(PlayerCreate(window_, nullptr), 1);
    const PlayerState& s = State();
    EXPECT_EQ(s.playMode, PLAY_SINGLE); // without settings: single play, no repeat
    EXPECT_EQ(s.repeat, 0);
    EXPECT_EQ(s.device, DEVICE_NONE);
    EXPECT_EQ(s.driveLetter, 0);
    EXPECT_EQ(s.currentTrack, 0);
    int index = PlayerGetDriveIndex(window_);
    EXPECT_TRUE(index < 0 || index > 25) << index;
    EXPECT_EQ(PlayerIsPlaying(window_), 0);
    int count = 5;
    EXPECT_EQ(PlayerGetTrackCount(window_, &count), 0);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(PlayerNext(window_, 1), 0);
    EXPECT_EQ(PlayerPrev(window_), 0);
    EXPECT_EQ(State().currentTrack, 0);
    DWORD position = 0;
    EXPECT_EQ(PlayerGetPosition(window_, &position), 0);
    EXPECT_EQ(PlayerPlay(window_), 1);
    EXPECT_EQ(PlayerStop(window_), 1);
    EXPECT_EQ(PlayerCreate(nullptr, nullptr), 0); // no window to attach it to: nothing kept
    EXPECT_EQ(ctl::LiveHandles().heapBlocks, 1);
}

TEST_F(PlayerTest, CreateWithAnEmptyDriveOpensItWithNoCurrentTrack) {
    mci::CdDrive('d');
    Create();
    EXPECT_EQ(State().driveLetter, 'd');
    EXPECT_NE(State().device, DEVICE_NONE);
    EXPECT_EQ(State().currentTrack, 0);
}

struct NoPlayerOp {
    const char* name;
    std::function<int(HWND)> run;
};

class PlayerAllocationFailureTest : public PlayerTest,
                                    public ::testing::WithParamInterface<NoPlayerOp> {};

TEST_P(PlayerAllocationFailureTest, NothingIsAttachedAndEveryOperationFails) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    ctl::SetHeapAllocFails(true);
    PlayerSettings settings{PLAY_CONTINUOUS, 1};
    EXPECT_EQ(PlayerCreate(window_, &settings), 0);
    ctl::SetHeapAllocFails(false);
    EXPECT_EQ(PlayerGet(window_), nullptr);
    EXPECT_EQ(mci::OpenDeviceCount(), 0);
    EXPECT_EQ(GetParam().run(window_), 0);
    EXPECT_TRUE(mci::Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, PlayerAllocationFailureTest,
    ::testing::Values(
        NoPlayerOp{"Play", [](HWND w) { return PlayerPlay(w); }},
        NoPlayerOp{"Stop", [](HWND w) { return PlayerStop(w); }},
        NoPlayerOp{"Next", [](HWND w) { return PlayerNext(w, 1); }},
        NoPlayerOp{"Prev", [](HWND w) { return PlayerPrev(w); }},
        NoPlayerOp{"SelectTrack", [](HWND w) { return PlayerSelectTrack(w, 1); }},
        NoPlayerOp{"IsPlaying", [](HWND w) { return PlayerIsPlaying(w); }},
        NoPlayerOp{"OpenDoor", [](HWND w) { return PlayerOpenDoor(w); }},
        NoPlayerOp{"CloseDoor", [](HWND w) { return PlayerCloseDoor(w); }},
        NoPlayerOp{"GetMode", [](HWND w) { return PlayerGetMode(w); }},
        NoPlayerOp{"SetMode",
                   [](HWND w) {
                       PlayerSetMode(w, 2);
                       return PlayerGetMode(w);
                   }},
        NoPlayerOp{"GetRepeat", [](HWND w) { return PlayerGetRepeat(w); }},
        NoPlayerOp{"SetRepeat", [](HWND w) { return PlayerSetRepeat(w, 1); }},
        NoPlayerOp{"GetCurrentTrack", [](HWND w) { return PlayerGetCurrentTrack(w); }},
        NoPlayerOp{"DriveIndexIsMinusOne", [](HWND w) { return PlayerGetDriveIndex(w) + 1; }},
        NoPlayerOp{"TrackCount",
                   [](HWND w) {
                       int c = 0;
                       return PlayerGetTrackCount(w, &c) + c;
                   }},
        NoPlayerOp{"Position",
                   [](HWND w) {
                       DWORD p = 0;
                       return PlayerGetPosition(w, &p) + static_cast<int>(p);
                   }},
        NoPlayerOp{"TrackLength",
                   [](HWND w) {
                       DWORD l = 0;
                       return PlayerGetTrackLength(w, 1, &l) + static_cast<int>(l);
                   }},
        NoPlayerOp{"IsAudioTrack", [](HWND w) { return PlayerIsAudioTrack(w, 1); }},
        NoPlayerOp{"OnNotify", [](HWND w) { return PlayerOnNotify(w, MCI_NOTIFY_SUCCESSFUL); }},
        NoPlayerOp{"SelectDrive", [](HWND w) { return PlayerSelectDrive(w, "d:\\"); }},
        NoPlayerOp{"Destroy",
                   [](HWND w) {
                       PlayerSettings out{7, 7};
                       return PlayerDestroy(w, &out) + (out.playMode != 7);
                   }}),
    [](const auto& info) { return info.param.name; });

TEST_F(PlayerTest, DestroyHandsBackTheValuesHeldAndClosesTheDevice) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    Create(3, 5); // unusual values from the settings file are kept as they are
    MCIDEVICEID device = State().device;
    PlayerPlay(window_);
    ASSERT_TRUE(mci::IsPlaying('d'));
    PlayerSettings out{0, 0};
    EXPECT_EQ(PlayerDestroy(window_, &out), 1);
    EXPECT_EQ(out.playMode, 3);
    EXPECT_EQ(out.repeat, 5);
    EXPECT_EQ(PlayerGet(window_), nullptr);
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_EQ(mci::DriveOf(device), 0);
    EXPECT_EQ(mci::OpenDeviceCount(), 0);
}

TEST_F(PlayerTest, DestroyHandsBackChangedValues) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    Create(PLAY_SINGLE, 5);
    PlayerSetMode(window_, PLAY_CONTINUOUS);
    EXPECT_EQ(PlayerSetRepeat(window_, !PlayerGetRepeat(window_)), 0);
    PlayerSettings out{9, 9};
    ASSERT_EQ(PlayerDestroy(window_, &out), 1);
    EXPECT_EQ(out.playMode, PLAY_CONTINUOUS);
    EXPECT_EQ(out.repeat, 0);
}

// ---- transport ------------------------------------------------------------------------------

class TransportTest : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        // Audio tracks 1 to 4, a data track 5, audio tracks 6 to 10.
        std::vector<mci::Track> disc = mci::AudioTracks(10, 120);
        disc[4] = mci::Data(120);
        mci::CdDrive('d').WithDisc(disc);
        Create(PLAY_CONTINUOUS, 0);
    }
};

TEST_F(TransportTest, PlayStopsThenPlaysTheCurrentTrackWithNotification) {
    State().currentTrack = 3;
    EXPECT_EQ(PlayerPlay(window_), 1);
    std::string dev = std::to_string(State().device);
    std::vector<std::string> expected = {
        "stop " + dev + " 0x2",
        "status " + dev + " 0x102 tracks -> 10",
        "status " + dev + " 0x102 format -> 10",
        "set " + dev + " 0x402 format 10",
        "play " + dev + " 0xd from 0x3 to 0x4 cb " + Hex(window_),
        "set " + dev + " 0x402 format 10",
    };
    EXPECT_EQ(mci::Trace(), expected);
    EXPECT_EQ(PlayingTrack(), 3);
}

TEST_F(TransportTest, PlayOverAPlayAbortsTheFirst) {
    PlayerPlay(window_);
    ctl::RunFor(1000);
    PlayerPlay(window_);
    ctl::RunFor(1000);
    auto n = mci::Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].code, WPARAM(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(PlayingTrack(), 1);
    EXPECT_EQ(State().currentTrack, 1);
}

TEST_F(TransportTest, PlayReturnsOneWhenTheDeviceRefuses) {
    State().currentTrack = 5; // the data track
    EXPECT_EQ(PlayerPlay(window_), 1);
    EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{5});
    EXPECT_EQ(PlayingTrack(), 0);
}

TEST_F(TransportTest, StopEndsThePlay) {
    PlayerPlay(window_);
    EXPECT_EQ(PlayerIsPlaying(window_), 1);
    EXPECT_EQ(PlayerStop(window_), 1);
    EXPECT_EQ(PlayerIsPlaying(window_), 0);
    EXPECT_EQ(State().currentTrack, 1);
}

struct StepCase {
    int current;
    int wrap; // -1: previous
    int result;
    int after;
};

class StepTest : public TransportTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepTest, MovesTheCurrentTrackWithoutPlaying) {
    const StepCase& c = GetParam();
    State().currentTrack = c.current;
    int result = c.wrap < 0 ? PlayerPrev(window_) : PlayerNext(window_, c.wrap);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(State().currentTrack, c.after);
    EXPECT_TRUE(mci::PlayedTracks().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StepTest,
    ::testing::Values(StepCase{3, 0, 1, 4}, StepCase{4, 0, 1, 5}, // onto the data track
                      StepCase{9, 1, 1, 10}, StepCase{10, 0, 0, 10}, StepCase{10, 1, 1, 1},
                      StepCase{0, 0, 1, 1}, StepCase{12, 0, 0, 10}, // past a smaller disc
                      StepCase{6, -1, 1, 5},                        // back onto the data track
                      StepCase{2, -1, 1, 1}, StepCase{1, -1, 1, 10}, StepCase{0, -1, 1, 10}));

TEST_F(PlayerTest, PrevBelowTheFirstAudioTrackWrapsToTheCount) {
    mci::CdDrive('d').WithDisc({mci::Data(60), mci::Audio(60), mci::Audio(60), mci::Data(60)});
    Create(PLAY_CONTINUOUS, 0);
    ASSERT_EQ(State().currentTrack, 2);
    EXPECT_EQ(PlayerPrev(window_), 1);
    EXPECT_EQ(State().currentTrack, 4); // the data track at the end, not track 1
    EXPECT_EQ(PlayerPrev(window_), 1);
    EXPECT_EQ(State().currentTrack, 3);
}

TEST_F(TransportTest, StepsFailWithoutChangeWhenTheCountCannotBeRead) {
    State().currentTrack = 4;
    mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS, 2);
    EXPECT_EQ(PlayerNext(window_, 1), 0);
    EXPECT_EQ(PlayerPrev(window_), 0);
    EXPECT_EQ(State().currentTrack, 4);
}

TEST_F(TransportTest, SelectTrackAcceptsOnlyAudioTracks) {
    State().currentTrack = 2;
    const struct {
        int track;
        int accepted;
    } cases[] = {{7, 1}, {5, 0}, {0, 0}, {11, 0}, {-3, 0}, {1, 1}};
    for (const auto& c : cases) {
        int before = State().currentTrack;
        EXPECT_EQ(PlayerSelectTrack(window_, c.track), c.accepted) << c.track;
        EXPECT_EQ(State().currentTrack, c.accepted ? c.track : before) << c.track;
    }
    mci::FailCommand(MCI_STATUS, MCI_CDA_STATUS_TYPE_TRACK);
    EXPECT_EQ(PlayerSelectTrack(window_, 3), 0);
    EXPECT_EQ(State().currentTrack, 1);
    EXPECT_TRUE(mci::PlayedTracks().empty());
}

TEST_F(TransportTest, IsPlayingAsksTheDevice) {
    EXPECT_EQ(PlayerIsPlaying(window_), 0);
    PlayerPlay(window_);
    EXPECT_EQ(PlayerIsPlaying(window_), 1);
    mci::FailCommand(MCI_STATUS, MCI_STATUS_MODE);
    EXPECT_EQ(PlayerIsPlaying(window_), 0);
    EXPECT_EQ(PlayerIsPlaying(window_), 1);
    mci::OpenDoorByHand('d');
    EXPECT_EQ(PlayerIsPlaying(window_), 0);
}

TEST_F(TransportTest, DoorCommandsStopThenMoveTheDoor) {
    PlayerPlay(window_);
    mci::ClearCommands();
    EXPECT_EQ(PlayerOpenDoor(window_), 1);
    EXPECT_EQ(State().play.pending, 0); // that play is over, not awaited
    std::string dev = std::to_string(State().device);
    EXPECT_EQ(mci::Trace(),
              (std::vector<std::string>{"stop " + dev + " 0x2", "set " + dev + " 0x102"}));
    EXPECT_TRUE(mci::IsDoorOpen('d'));
    EXPECT_FALSE(mci::IsPlaying('d'));
    mci::ClearCommands();
    EXPECT_EQ(PlayerCloseDoor(window_), 1);
    EXPECT_EQ(mci::Trace(), std::vector<std::string>{"set " + dev + " 0x202"});
    EXPECT_FALSE(mci::IsDoorOpen('d'));
    EXPECT_EQ(State().currentTrack, 1);
}

TEST_F(TransportTest, ModeAndRepeatAreStoredAsGivenAndStartNothing) {
    PlayerSetMode(window_, 7);
    EXPECT_EQ(PlayerGetMode(window_), 7);
    EXPECT_EQ(PlayerSetRepeat(window_, 5), 5);
    EXPECT_EQ(PlayerGetRepeat(window_), 5);
    EXPECT_EQ(PlayerSetRepeat(window_, !PlayerGetRepeat(window_)), 0);
    EXPECT_EQ(PlayerSetRepeat(window_, !PlayerGetRepeat(window_)), 1);
    EXPECT_TRUE(mci::Commands().empty());
}

TEST_F(TransportTest, QueriesReadThePlayersDevice) {
    int count = 0;
    ASSERT_EQ(PlayerGetTrackCount(window_, &count), 1);
    EXPECT_EQ(count, 10);
    DWORD length = 0;
    ASSERT_EQ(PlayerGetTrackLength(window_, 2, &length), 1);
    EXPECT_EQ(length, MCI_MAKE_MSF(2, 0, 0));
    EXPECT_EQ(PlayerIsAudioTrack(window_, 5), 0);
    EXPECT_EQ(PlayerIsAudioTrack(window_, 6), 1);
    State().currentTrack = 6;
    PlayerPlay(window_);
    ctl::RunFor(2000);
    DWORD position = 0;
    ASSERT_EQ(PlayerGetPosition(window_, &position), 1);
    EXPECT_EQ(position, MCI_MAKE_TMSF(6, 0, 2, 0));
}

// ---- the end of a track ---------------------------------------------------------------------

struct EndCase {
    const char* name;
    int mode;
    int repeat;
    int ended;  // the current track when the notification arrives
    int played; // the track played next, 0 for none
    int after;  // the current track afterwards
};

class EndOfTrackTest : public PlayerTest, public ::testing::WithParamInterface<EndCase> {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        mci::CdDrive('d').WithDisc({mci::Data(60), mci::Audio(60), mci::Audio(60), mci::Audio(60)});
        Create(GetParam().mode, GetParam().repeat);
    }
};

TEST_P(EndOfTrackTest, ContinuesAsModeAndRepeatSay) {
    const EndCase& c = GetParam();
    State().currentTrack = c.ended;
    EXPECT_EQ(PlayerOnNotify(window_, MCI_NOTIFY_SUCCESSFUL), 0);
    EXPECT_EQ(State().currentTrack, c.after);
    EXPECT_EQ(mci::PlayedTracks(), c.played ? std::vector<int>{c.played} : std::vector<int>{});
    EXPECT_EQ(PlayingTrack(), c.played);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EndOfTrackTest,
    ::testing::Values(EndCase{"ContinuousNextTrack", PLAY_CONTINUOUS, 0, 2, 3, 3},
                      EndCase{"ContinuousRepeatNextTrack", PLAY_CONTINUOUS, 1, 3, 4, 4},
                      EndCase{"ContinuousLastTrackStops", PLAY_CONTINUOUS, 0, 4, 0, 4},
                      EndCase{"ContinuousRepeatWrapsToFirstAudio", PLAY_CONTINUOUS, 1, 4, 2, 2},
                      EndCase{"ContinuousOddRepeatWraps", PLAY_CONTINUOUS, 5, 4, 2, 2},
                      EndCase{"SingleStops", PLAY_SINGLE, 0, 3, 0, 3},
                      EndCase{"SingleRepeatPlaysAgain", PLAY_SINGLE, 1, 3, 3, 3},
                      EndCase{"SingleRepeatLastTrack", PLAY_SINGLE, 1, 4, 4, 4},
                      // Its play would end at once, again and again.
                      EndCase{"SingleRepeatOnADataTrackStops", PLAY_SINGLE, 1, 1, 0, 1},
                      EndCase{"ModeThreeActsAsSingle", 3, 0, 3, 0, 3},
                      EndCase{"ModeThreeRepeatActsAsSingle", 3, 1, 2, 2, 2},
                      EndCase{"ModeZeroRepeatActsAsSingle", 0, 1, 2, 2, 2}),
    [](const auto& info) { return info.param.name; });

class IgnoredNotificationTest : public PlayerTest, public ::testing::WithParamInterface<WPARAM> {};

TEST_P(IgnoredNotificationTest, ChangesNothing) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(4));
    Create(PLAY_CONTINUOUS, 1);
    State().currentTrack = 2;
    PlayerPlay(window_);
    mci::ClearCommands();
    EXPECT_EQ(PlayerOnNotify(window_, GetParam()), 0);
    EXPECT_EQ(State().currentTrack, 2);
    EXPECT_TRUE(mci::Commands().empty());
    // Such a notification is late news of an older play: the one now running is still awaited.
    EXPECT_EQ(State().play.pending, 1);
}

INSTANTIATE_TEST_SUITE_P(Codes, IgnoredNotificationTest,
                         ::testing::Values(WPARAM(MCI_NOTIFY_SUPERSEDED),
                                           WPARAM(MCI_NOTIFY_ABORTED), WPARAM(MCI_NOTIFY_FAILURE),
                                           WPARAM(0), WPARAM(3)));

// A tick's judgement of a stopped drive against the pending play of track 2, one minute long,
// in single play with repeat: at the play's end the track plays again, elsewhere the play is
// over. The ends are the next track's first second and the track's own last second.
struct StoppedAtCase {
    const char* name;
    DWORD position;             // TMSF, as the tick read it; 0 when the query failed
    int lengthTrack;            // the track whose length of one minute the tick read
    int atEnd;                  // 1 at the end, 0 elsewhere, -1 cannot tell: still awaited
    DWORD mode = MCI_MODE_STOP; // paused: it may yet play on
};

class StoppedAtTest : public PlayerTest, public ::testing::WithParamInterface<StoppedAtCase> {};

TEST_P(StoppedAtTest, ContinuesOnlyAtTheEndOfThePlay) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(4, 60));
    Create(PLAY_SINGLE, 1);
    State().currentTrack = 2;
    State().play = PlayerPendingPlay{1, 2, 1, 0};
    PollAnswers seen{};
    seen.haveMode = 1;
    seen.mode = GetParam().mode;
    seen.havePosition = GetParam().position != 0;
    seen.position = GetParam().position;
    seen.haveLength = 1;
    seen.lengthTrack = GetParam().lengthTrack;
    seen.length = MCI_MAKE_MSF(1, 0, 0);
    PlayerOnPoll(window_, &seen);
    EXPECT_EQ(mci::PlayedTracks(), GetParam().atEnd > 0 ? std::vector<int>{2} : std::vector<int>{});
    EXPECT_EQ(State().play.pending, GetParam().atEnd != 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, StoppedAtTest,
    ::testing::Values(
        StoppedAtCase{"NextTrackStart", MCI_MAKE_TMSF(3, 0, 0, 0), 3, 1},
        StoppedAtCase{"NextTrackLastFrameOfItsFirstSecond", MCI_MAKE_TMSF(3, 0, 0, 74), 3, 1},
        StoppedAtCase{"NextTrackSecondSecond", MCI_MAKE_TMSF(3, 0, 1, 0), 3, 0},
        StoppedAtCase{"LastSecond", MCI_MAKE_TMSF(2, 0, 59, 0), 2, 1},
        StoppedAtCase{"FrameBeforeTheLastSecond", MCI_MAKE_TMSF(2, 0, 58, 74), 2, 0},
        StoppedAtCase{"LastSecondOfALaterTrack", MCI_MAKE_TMSF(4, 0, 59, 0), 4, 0},
        StoppedAtCase{"PositionUnknown", 0, 2, -1},
        StoppedAtCase{"LastSecondAgainstAnotherTracksLength", MCI_MAKE_TMSF(2, 0, 59, 0), 3, -1},
        StoppedAtCase{"PausedInTheLastSecond", MCI_MAKE_TMSF(2, 0, 59, 0), 2, -1, MCI_MODE_PAUSE}),
    [](const auto& info) { return info.param.name; });

TEST_F(PlayerTest, RepeatOntoATrailingDataTrackSendsItsPlayThenWraps) {
    std::vector<mci::Track> disc = mci::AudioTracks(10, 60);
    disc.push_back(mci::Data(300));
    mci::CdDrive('d').WithDisc(disc);
    Create(PLAY_CONTINUOUS, 1);
    State().currentTrack = 10;
    PlayerPlay(window_);
    ctl::RunFor(90 * 1000);
    // The drive accepts the play of the data track, plays nothing and notifies its end at
    // once; that end wraps to the first track like the end of any last track.
    EXPECT_EQ(mci::PlayedTracks(), (std::vector<int>{10, 11, 1}));
    EXPECT_EQ(State().currentTrack, 1);
    EXPECT_EQ(PlayingTrack(), 1);
}

TEST_F(PlayerTest, AfterTheLastTrackNextWrapsAndPlays) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(10, 60));
    Create(PLAY_CONTINUOUS, 0);
    State().currentTrack = 10;
    PlayerPlay(window_);
    ctl::RunFor(120 * 1000);
    EXPECT_EQ(State().currentTrack, 10);
    EXPECT_FALSE(mci::IsPlaying('d'));
    // What the Next command does.
    PlayerNext(window_, 1);
    PlayerPlay(window_);
    EXPECT_EQ(PlayingTrack(), 1);
}

TEST_F(PlayerTest, EmptyDriveThenDiscPlaysTrackZeroUntilNext) {
    mci::CdDrive('d');
    Create(PLAY_CONTINUOUS, 0);
    ASSERT_EQ(State().currentTrack, 0);
    mci::InsertDisc('d', mci::AudioTracks(5));
    PlayerPlay(window_);
    EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{0});
    EXPECT_FALSE(mci::IsPlaying('d'));
    PlayerNext(window_, 1);
    PlayerPlay(window_);
    EXPECT_EQ(State().currentTrack, 1);
    EXPECT_EQ(PlayingTrack(), 1);
}

TEST_F(PlayerTest, DiscChangeKeepsTheCurrentTrackNumber) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(8));
    Create(PLAY_CONTINUOUS, 0);
    State().currentTrack = 6;
    PlayerOpenDoor(window_);
    mci::InsertDisc('d', mci::AudioTracks(3));
    PlayerCloseDoor(window_);
    EXPECT_EQ(State().currentTrack, 6);
    mci::ClearCommands();
    PlayerPlay(window_);
    EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{6});
    EXPECT_FALSE(mci::IsPlaying('d')); // the new disc has no track 6
}

// ---- whole plays on the virtual clock -------------------------------------------------------

// Pumps the window's messages as the program's loop does, until the quit at `until`.
void RunLoopUntil(ctl::Millis until) {
    ctl::At(until, [] { PostQuitMessage(0); });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0))
        DispatchMessageA(&msg);
}

TEST_F(PlayerTest, ContinuousRepeatPlaysOneTwoThreeOne) {
    mci::CdDrive('d').WithDisc({mci::Audio(60), mci::Audio(90), mci::Audio(30)});
    Create(PLAY_CONTINUOUS, 1);
    PlayerPlay(window_);
    RunLoopUntil(200 * 1000);

    EXPECT_EQ(mci::PlayedTracks(), (std::vector<int>{1, 2, 3, 1}));
    std::vector<ctl::Millis> times;
    for (const mci::Command& c : mci::Commands())
        if (c.command == MCI_PLAY)
            times.push_back(c.time);
    EXPECT_EQ(times, (std::vector<ctl::Millis>{0, 60000, 150000, 180000}));
    // Each play ended on its own: one successful notification each, to the window.
    auto n = mci::Notifications();
    ASSERT_EQ(n.size(), 3u);
    for (const mci::Notification& x : n) {
        EXPECT_EQ(x.code, WPARAM(MCI_NOTIFY_SUCCESSFUL));
        EXPECT_EQ(x.window, window_);
        EXPECT_EQ(x.device, State().device);
    }
    EXPECT_EQ(State().currentTrack, 1);
    EXPECT_EQ(PlayingTrack(), 1);
    EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(1, 0, 20, 0));
}

// The tray poll's queries, then the player's look at them, as every tick of the program.
void CALLBACK PollAsTheTrayDoes(HWND window, UINT, UINT_PTR, DWORD) {
    PollAnswers answers{};
    answers.haveMode = PlayerGetDeviceMode(window, &answers.mode);
    TrayAskPosition(window, &answers);
    PlayerOnPoll(window, &answers);
}

// Whole plays with the poll running, on a drive that notifies the end of a play and on one
// that stays silent as the NT-family drivers do.
struct DriveKind {
    const char* name;
    bool silent;
    ctl::Millis spinUp;
};

class BothDrivesTest : public PlayerTest, public ::testing::WithParamInterface<DriveKind> {
  protected:
    void Disc(const std::vector<mci::Track>& tracks) {
        mci::CdDriveScene drive = mci::CdDrive('d').WithDisc(tracks);
        if (GetParam().silent) {
            drive.SilentEnd();
            ctl::At(58800, [] { mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS, 4); });
        }
        if (GetParam().spinUp)
            drive.SpinUp(GetParam().spinUp);
    }
    void Start(int mode, int repeat) {
        Disc({mci::Data(60), mci::Audio(60), mci::Audio(40), mci::Audio(30)});
        Create(mode, repeat);
        SetTimer(window_, TIMER_POLL, TRAY_POLL_PERIOD, PollAsTheTrayDoes);
        PlayerPlay(window_);
    }
};

struct BothDrivesCase {
    const char* name;
    int mode, repeat;
    std::vector<int> played; // in the first 170 s
    int after;               // the current track then
    bool playing;
};

TEST_P(BothDrivesTest, EachEndContinuesOnceAsModeAndRepeatSay) {
    const BothDrivesCase cases[] = {
        {"continuous+repeat wraps to the first audio track",
         PLAY_CONTINUOUS,
         1,
         {2, 3, 4, 2},
         2,
         true},
        {"continuous stops after the last track", PLAY_CONTINUOUS, 0, {2, 3, 4}, 4, false},
        {"single+repeat plays the track again", PLAY_SINGLE, 1, {2, 2, 2}, 2, true},
        {"single plays one track", PLAY_SINGLE, 0, {2}, 2, false},
    };
    for (const BothDrivesCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Start(c.mode, c.repeat);
        RunLoopUntil(ctl::Now() + 170 * 1000);
        EXPECT_EQ(mci::PlayedTracks(), c.played);
        EXPECT_EQ(State().currentTrack, c.after);
        EXPECT_EQ(mci::IsPlaying('d'), c.playing);
        // Nothing left awaited once playing is over, so no later tick can continue again.
        EXPECT_EQ(State().play.pending, c.playing ? 1 : 0);
    }
}

TEST_P(BothDrivesTest, APlayStoppedElsewhereStartsNothing) {
    const struct {
        const char* name;
        std::function<void(HWND)> stop;
    } cases[] = {
        {"door opened by hand", [](HWND) { mci::OpenDoorByHand('d'); }},
        {"disc taken out", [](HWND) { mci::RemoveDisc('d'); }},
        {"stop command", [](HWND w) { PlayerStop(w); }},
        {"door command", [](HWND w) { PlayerOpenDoor(w); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Start(PLAY_CONTINUOUS, 1);
        HWND window = window_;
        ctl::At(ctl::Now() + 59600, [&c, window] { c.stop(window); });
        ctl::At(ctl::Now() + 60500, [this] { EXPECT_EQ(State().play.pending, 0); });
        ctl::At(ctl::Now() + 60600, [] { mci::InsertDisc('d', mci::AudioTracks(4, 60)); });
        RunLoopUntil(ctl::Now() + 200 * 1000);
        EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{2});
        EXPECT_FALSE(mci::IsPlaying('d'));
        EXPECT_EQ(State().play.pending, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Drives, BothDrivesTest,
                         ::testing::Values(DriveKind{"Notifying", false, 0},
                                           DriveKind{"Silent", true, 0},
                                           DriveKind{"SilentSlowToSpinUp", true, 1200}),
                         [](const auto& info) { return info.param.name; });

TEST_F(PlayerTest, RepeatTurnedOnAfterANotifiedEndStartsNothing) {
    // Track 1 ends at 2200, between two ticks; repeat is turned on at 2300.
    mci::CdDrive('d').WithDisc({mci::Audio(2, 15), mci::Audio(60)});
    Create(PLAY_SINGLE, 0);
    SetTimer(window_, TIMER_POLL, TRAY_POLL_PERIOD, PollAsTheTrayDoes);
    PlayerPlay(window_);
    ctl::At(2300, [this] { PlayerSetRepeat(window_, 1); });
    RunLoopUntil(10 * 1000);
    EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{1});
}

TEST_F(PlayerTest, ASilentEndIsLeftToANotificationAlreadyWaiting) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3, 2)).SilentEnd();
    Create(PLAY_CONTINUOUS, 0);
    PlayerPlay(window_);
    ctl::RunFor(1000);
    PollAsTheTrayDoes(window_, WM_TIMER, TIMER_POLL, 0); // sees it running
    ctl::RunFor(2000);                                   // it ends, silently
    ASSERT_FALSE(mci::IsPlaying('d'));
    // The drive's notification arrives while a tick runs: the tick leaves the end to it.
    PostMessageA(window_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, State().device);
    PollAsTheTrayDoes(window_, WM_TIMER, TIMER_POLL, 0);
    EXPECT_EQ(mci::PlayedTracks(), std::vector<int>{1});
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE));
    DispatchMessageA(&msg);
    PollAsTheTrayDoes(window_, WM_TIMER, TIMER_POLL, 0);
    EXPECT_EQ(mci::PlayedTracks(), (std::vector<int>{1, 2}));
}

TEST_F(PlayerTest, ModeChangedDuringATrackTakesEffectAtItsEnd) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3, 60));
    Create(PLAY_SINGLE, 0);
    PlayerPlay(window_);
    ctl::At(30 * 1000, [this] { PlayerSetMode(window_, PLAY_CONTINUOUS); });
    RunLoopUntil(90 * 1000);
    EXPECT_EQ(mci::PlayedTracks(), (std::vector<int>{1, 2}));
}

TEST_F(PlayerTest, NotificationHandledAfterAnotherPlayStillContinues) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(8, 60));
    Create(PLAY_CONTINUOUS, 0);
    State().currentTrack = 4;
    PlayerPlay(window_);
    // Track 4 ends at 60 s; the user picks track 7 before the loop dispatches the notification.
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    ASSERT_EQ(msg.message, UINT(MM_MCINOTIFY));
    EXPECT_EQ(ctl::Now(), 60000);
    PlayerSelectTrack(window_, 7);
    PlayerPlay(window_);
    DispatchMessageA(&msg);
    EXPECT_EQ(mci::PlayedTracks(), (std::vector<int>{4, 7, 8}));
    EXPECT_EQ(State().currentTrack, 8);
    EXPECT_EQ(PlayingTrack(), 8);
}

} // namespace
