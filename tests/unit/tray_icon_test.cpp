// The tray icon: its record, the status poll's ticks, the animation, the tooltip, and its
// return after a shell restart.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <winsim/control.h>

#include "player/player.h"
#include "tray/trayicon.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;
namespace shell = winsim::control::shell;

namespace {

std::vector<mci::Track> TwelveTracks() {
    std::vector<mci::Track> tracks = mci::AudioTracks(12, 200);
    tracks[2] = mci::Audio(247); // track 3: 4:07
    return tracks;
}

// A window with a player on drive d:, like the main window, without the rest of the program.
class TrayTestBase : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        window = ctl::CreateTestWindow(DefWindowProcA);
    }
    void TearDown() override {
        if (trayStarted)
            TrayTeardown(window);
        PlayerDestroy(window, nullptr); // the settings are not wanted back
        DestroyWindow(window);
    }

    void StartPlayer(const std::vector<mci::Track>& disc) {
        mci::CdDrive('d').WithDisc(disc);
        PlayerSettings settings{PLAY_CONTINUOUS, 0};
        PlayerCreate(window, &settings);
    }
    void StartTray() {
        TraySetup(window);
        trayStarted = true;
    }
    void PlayTrack(int track) {
        PlayerSelectTrack(window, track);
        PlayerPlay(window);
    }

    shell::Icon ShownIcon() {
        shell::Icon icon{};
        EXPECT_TRUE(shell::FindIcon(window, TRAY_ICON_ID, &icon));
        return icon;
    }

    std::vector<DWORD> NotifyMessages() {
        std::vector<DWORD> r;
        for (const shell::NotifyCall& c : shell::NotifyCalls())
            r.push_back(c.message);
        return r;
    }

    HWND window = nullptr;
    bool trayStarted = false;
};

// ---- the record ------------------------------------------------------------------------------

using TrayRecordTest = TrayTestBase;

TEST_F(TrayRecordTest, FillZeroesEverythingBeyondTheFieldsOfTheFirstLayout) {
    NOTIFYICONDATAA data;
    memset(&data, 0xCC, sizeof(data));
    HICON icon = reinterpret_cast<HICON>(0x4321);
    FillNotifyIconData(&data, window, 1, WM_TRAYNOTIFY, icon, "tip");
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(data.hWnd, window);
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 0x8000u);
    EXPECT_EQ(data.hIcon, icon);
    EXPECT_STREQ(data.szTip, "tip");
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&data);
    for (size_t i = offsetof(NOTIFYICONDATAA, szTip) + 4; i < sizeof(data); ++i)
        ASSERT_EQ(raw[i], 0) << "byte " << i;
}

struct TipCut {
    std::string tip;
    size_t kept;
};

class TrayTipCutTest : public TrayRecordTest, public ::testing::WithParamInterface<TipCut> {};

TEST_P(TrayTipCutTest, TipIsCutBetweenCharactersWithinSixtyTwoBytes) {
    NOTIFYICONDATAA data;
    FillNotifyIconData(&data, window, 1, WM_TRAYNOTIFY, nullptr, GetParam().tip.c_str());
    EXPECT_EQ(std::string(data.szTip), GetParam().tip.substr(0, GetParam().kept));
}

INSTANTIATE_TEST_SUITE_P(Tips, TrayTipCutTest,
                         ::testing::Values(TipCut{"", 0}, TipCut{std::string(62, 'a'), 62},
                                           TipCut{std::string(70, 'a'), 62},
                                           TipCut{std::string(61, 'a') + "\x82\xA0", 61},
                                           TipCut{std::string(60, 'a') + "\x82\xA0", 62}));

// ---- the tooltip text --------------------------------------------------------------------------

struct TipCase {
    std::vector<mci::Track> disc;
    int track;
    int seconds; // played into the track
    const char* tip;
};

std::vector<mci::Track> FifteenTracks() {
    std::vector<mci::Track> tracks = mci::AudioTracks(15, 200);
    tracks[11] = mci::Audio(760); // track 12: 12:40
    return tracks;
}

class TrayTipTest : public TrayTestBase, public ::testing::WithParamInterface<TipCase> {};

TEST_P(TrayTipTest, ShowsTrackCountAndTimesFromTheDevice) {
    StartPlayer(GetParam().disc);
    PlayTrack(GetParam().track);
    ctl::RunFor(GetParam().seconds * 1000);
    char buffer[TRAY_TIP_SIZE];
    PollAnswers answers{};
    TrayAskPosition(window, &answers);
    ASSERT_EQ(FormatTrayTip(&answers, buffer), 1);
    EXPECT_STREQ(buffer, GetParam().tip);
    EXPECT_LE(strlen(buffer), 42u);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TrayTipTest,
    ::testing::Values(TipCase{TwelveTracks(), 3, 65, "track 3/12. (  1:05/  4:07)"},
                      TipCase{FifteenTracks(), 12, 602, "track 12/15. ( 10:02/ 12:40)"},
                      TipCase{mci::AudioTracks(9, 59), 9, 0, "track 9/9. (  0:00/  0:58)"}));

TEST_F(TrayTipTest, FollowsTheDeviceRatherThanTheCurrentTrack) {
    StartPlayer(TwelveTracks());
    PlayTrack(3);
    ctl::RunFor(5000);
    PlayerGet(window)->currentTrack = 7;
    char buffer[TRAY_TIP_SIZE];
    PollAnswers answers{};
    TrayAskPosition(window, &answers);
    ASSERT_EQ(FormatTrayTip(&answers, buffer), 1);
    EXPECT_STREQ(buffer, "track 3/12. (  0:05/  4:07)");
}

class TrayTipFailureTest : public TrayTestBase, public ::testing::WithParamInterface<DWORD> {};

TEST_P(TrayTipFailureTest, AFailedQueryLeavesTheBufferAlone) {
    StartPlayer(TwelveTracks());
    PlayTrack(2);
    ctl::RunFor(1000);
    mci::FailCommand(MCI_STATUS, GetParam(), -1);
    char buffer[TRAY_TIP_SIZE] = "unchanged";
    PollAnswers answers{};
    TrayAskPosition(window, &answers);
    EXPECT_EQ(FormatTrayTip(&answers, buffer), 0);
    EXPECT_STREQ(buffer, "unchanged");
}

INSTANTIATE_TEST_SUITE_P(Queries, TrayTipFailureTest,
                         ::testing::Values(MCI_STATUS_NUMBER_OF_TRACKS, MCI_STATUS_POSITION,
                                           MCI_STATUS_LENGTH));

class TrayPollTest : public TrayTestBase {
  protected:
    void SetUp() override {
        TrayTestBase::SetUp();
        shell::StartTaskbar();
        StartPlayer(TwelveTracks());
    }
};

TEST_F(TrayPollTest, SetupAddsFrameOneWithAnEmptyTipAndStartsThePoll) {
    StartTray();
    auto calls = shell::NotifyCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(calls[0].window, window);
    EXPECT_EQ(calls[0].id, 1u);
    EXPECT_EQ(calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(calls[0].callbackMessage, static_cast<UINT>(WM_APP));
    EXPECT_EQ(ctl::ImageLabel(calls[0].image), "IDI_PLAY1 16x16");
    EXPECT_EQ(calls[0].tip, "");
    EXPECT_TRUE(calls[0].result);
    shell::Icon icon = ShownIcon();
    EXPECT_EQ(icon.image, calls[0].image);
    bool found = false;
    for (const ctl::TimerInfo& t : ctl::Timers())
        if (t.window == window && t.id == TIMER_POLL) {
            found = true;
            EXPECT_EQ(t.period, 500u);
            EXPECT_EQ(t.proc, &TrayPoll);
        }
    EXPECT_TRUE(found);
}

TEST_F(TrayPollTest, FramesAreLoadedAtTheSystemSmallIconSizeFromTheNearestImage) {
    for (int size : {16, 24, 32}) {
        ctl::SetSmallIconSize(size);
        StartTray();
        ctl::ImageInfo info;
        ASSERT_TRUE(ctl::DescribeImage(ShownIcon().image, &info));
        EXPECT_EQ(info.width, size);
        EXPECT_EQ(info.sourceWidth, size == 16 ? 16 : 32);
        TrayTeardown(window);
        trayStarted = false;
    }
}

TEST_F(TrayPollTest, TicksWhileTheAreaLivesNeitherSearchNorReAdd) {
    StartTray();
    ctl::ClearCalls();
    shell::ClearNotifyCalls();
    ctl::RunFor(2000);
    EXPECT_TRUE(ctl::CallsTo("FindWindowA").empty());
    EXPECT_EQ(NotifyMessages(), std::vector<DWORD>(4, NIM_MODIFY));
}

TEST_F(TrayPollTest, StoppedDiscRefreshesTheTipEveryTickWithoutAnimating) {
    StartTray();
    shell::ClearNotifyCalls();
    ctl::RunFor(1000);
    auto calls = shell::NotifyCalls();
    ASSERT_EQ(calls.size(), 2u);
    for (const shell::NotifyCall& c : calls) {
        EXPECT_EQ(c.tip, "track 1/12. (  0:00/  3:20)");
        EXPECT_EQ(ctl::ImageLabel(c.image), "IDI_PLAY1 16x16");
    }
}

TEST_F(TrayPollTest, ShellRestartReAddsOnceWithTheCurrentFrameAndTip) {
    StartTray();
    PlayTrack(3);
    ctl::RunFor(1000);
    ctl::After(200, [] { shell::RestartTaskbar(); });
    ctl::RunFor(200);
    EXPECT_TRUE(shell::Icons().empty());
    ctl::ClearCalls();
    shell::ClearNotifyCalls();
    ctl::RunFor(300); // the next tick
    EXPECT_EQ(ctl::CallsTo("FindWindowA").size(), 1u);
    auto calls = shell::NotifyCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(calls[1].result);
    EXPECT_EQ(ctl::ImageLabel(calls[1].image), "IDI_PLAY1 16x16"); // the frame shown last
    EXPECT_EQ(calls[1].tip, "track 3/12. (  0:01/  4:07)");
    ctl::ClearCalls();
    shell::ClearNotifyCalls();
    ctl::RunFor(2000);
    EXPECT_TRUE(ctl::CallsTo("FindWindowA").empty());
    // Playing: each of the four ticks modifies the icon twice, for its frame and for its tip.
    EXPECT_EQ(NotifyMessages(), std::vector<DWORD>(8, NIM_MODIFY));
    EXPECT_EQ(shell::Icons().size(), 1u);
}

TEST_F(TrayPollTest, TeardownStopsThePollAndDeletesTheHeldRecordAfterReAdds) {
    StartTray();
    shell::RestartTaskbar();
    ctl::RunFor(500);
    shell::RestartTaskbar();
    ctl::RunFor(500);
    ASSERT_EQ(shell::Icons().size(), 1u);
    shell::ClearNotifyCalls();
    TrayTeardown(window);
    trayStarted = false;
    auto calls = shell::NotifyCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(calls[0].result);
    EXPECT_TRUE(shell::Icons().empty());
    EXPECT_FALSE(ctl::HasTimer(window, TIMER_POLL));
}

} // namespace
