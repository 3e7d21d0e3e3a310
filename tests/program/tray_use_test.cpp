// The program driven from its tray icon as a user would: clicks, menus, the tooltip and the
// icon's animation, and a shell that restarts.
#include "program_fixture.h"
#include "tray/mediakeys.h"

namespace program {
namespace {

UINT Chosen(const ctl::DisplayedMenu& menu) {
    return menu.chosen;
}

bool IsTrackList(const ctl::DisplayedMenu& menu) {
    return !menu.items.empty() && (menu.items[0].id & 0x8000) != 0 &&
           menu.items[0].id != IDM_OPEN_DOOR;
}

class TrayUseTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        std::vector<mci::Track> disc = mci::AudioTracks(12, 200);
        disc[2] = mci::Audio(247);
        mci::CdDrive('d').WithDisc(disc).Label("MUSIC");
    }
};

TEST_F(TrayUseTest, ASingleClickOpensTheTrackListOneDoubleClickTimeLater) {
    ctl::SetDoubleClickTime(400);
    ctl::At(1000, [] { shell::Click(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    auto menus = Menus();
    ASSERT_EQ(menus.size(), 2u); // the track list, then the quit's main menu
    EXPECT_EQ(menus[0].time, 1400);
    EXPECT_TRUE(IsTrackList(menus[0]));
    EXPECT_EQ(menus[0].items.size(), 12u);
    EXPECT_EQ(Chosen(menus[0]), 0u);
}

TEST_F(TrayUseTest, TheTrackListShowsTheDiscWithDataTracksGrayedAndTheCurrentOneChecked) {
    std::vector<mci::Track> disc = mci::AudioTracks(40, 30);
    disc[0] = mci::Data(600);
    disc[39] = mci::Data(60);
    mci::CdDrive('d').WithDisc(disc);
    ctl::At(1000, [] { shell::Click(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    const ctl::DisplayedMenu menu = Menus().at(0);
    ASSERT_EQ(menu.items.size(), 40u);
    EXPECT_EQ(menu.items[1].text, "&2 track  2.");
    EXPECT_EQ(menu.items[34].text, "&z track 35.");
    EXPECT_EQ(menu.items[35].text, " track 36.");
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(menu.items[i].grayed(), i == 0 || i == 39) << i;
        EXPECT_EQ(menu.items[i].checked(), i == 1) << i; // the first audio track is current
    }
}

TEST_F(TrayUseTest, WithoutADiscTheTrackListSaysThereIsNone) {
    mci::RemoveDisc('d');
    ctl::At(1000, [] { shell::Click(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    const ctl::DisplayedMenu menu = Menus().at(0);
    ASSERT_EQ(menu.items.size(), 1u);
    EXPECT_EQ(menu.items[0].text, "（なし）");
    EXPECT_TRUE(menu.items[0].grayed());
    EXPECT_FALSE(menu.items[0].checked());
}

TEST_F(TrayUseTest, ADoubleClickTogglesPlayAndStopAndOpensNoMenu) {
    bool playing = false;
    bool stopped = false;
    ctl::At(1100, [] { shell::DoubleClick(); });
    ctl::At(1200, [&] { playing = mci::IsPlaying('d') && ctl::HotKeys().size() == 4; });
    ctl::At(3000, [] { shell::DoubleClick(); });
    ctl::At(4000, [&] { stopped = !mci::IsPlaying('d'); });
    QuitAt(5000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(playing);
    EXPECT_TRUE(stopped);
    auto menus = Menus();
    ASSERT_EQ(menus.size(), 1u); // only the quit's
    EXPECT_EQ(menus[0].time, 5000);
}

TEST_F(TrayUseTest, LeftThenRightButtonDropsTheSingleClick) {
    ctl::At(1000, [] {
        shell::Mouse(WM_LBUTTONDOWN);
        shell::Mouse(WM_LBUTTONUP);
    });
    ctl::At(1200, [] { shell::RightClick(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    auto menus = Menus();
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].time, 1200);
    EXPECT_FALSE(IsTrackList(menus[0]));
}

TEST_F(TrayUseTest, OtherMouseMessagesAndIconIdsGoToTheDefaultProcedure) {
    ctl::At(1000, [] {
        ctl::ClearCalls();
        shell::Mouse(WM_MOUSEMOVE);
        shell::Mouse(WM_MBUTTONUP);
        SendMessageA(MainWindow(), WM_APP, 2, WM_LBUTTONDOWN);
        auto calls = ctl::CallsTo("DefWindowProcA");
        ASSERT_EQ(calls.size(), 3u);
        uintptr_t w = reinterpret_cast<uintptr_t>(MainWindow());
        EXPECT_EQ(calls[0].args, (std::vector<uintptr_t>{w, WM_APP, 1, WM_MOUSEMOVE}));
        EXPECT_EQ(calls[1].args, (std::vector<uintptr_t>{w, WM_APP, 1, WM_MBUTTONUP}));
        EXPECT_EQ(calls[2].args, (std::vector<uintptr_t>{w, WM_APP, 2, WM_LBUTTONDOWN}));
    });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Menus().size(), 1u);
}

TEST_F(TrayUseTest, TheMainMenuShowsDrivesAndThePlayersState) {
    mci::CdDrive('q');
    ctl::At(1000, [] { shell::DoubleClick(); });
    ctl::At(2000, [] { shell::RightClick(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    auto menus = Menus();
    ASSERT_GE(menus.size(), 1u);
    const ctl::DisplayedMenu& menu = menus[0];
    ASSERT_EQ(menu.items.size(), 19u);
    EXPECT_EQ(menu.items[0].text, "q:\\: ");
    EXPECT_EQ(menu.items[1].text, "d:\\: MUSIC");
    EXPECT_TRUE(menu.items[2].separator());
    std::vector<UINT> checked;
    for (const ctl::MenuItem& item : menu.items) {
        if (item.checked())
            checked.push_back(item.id);
        if (item.id == IDM_STOP) {
            EXPECT_FALSE(item.disabled()); // playing
        }
    }
    EXPECT_EQ(checked, (std::vector<UINT>{1027, IDM_REPEAT, IDM_CONTINUOUS}));
    EXPECT_EQ(menu.x, 1180);
    EXPECT_EQ(menu.y, 750);
    EXPECT_EQ(menu.owner, menus.back().owner);
}

TEST_F(TrayUseTest, ATrackChosenFromTheListPlaysAndTheTooltipFollowsIt) {
    std::string tip;
    std::vector<std::string> frames;
    ctl::At(1000, [] {
        ctl::ChooseMenuItem(0x8003);
        shell::Click();
    });
    // The track list opens at 1500; the first tick after the play is at 2000.
    for (ctl::Millis t : {2000, 2500, 3000, 3500})
        ctl::At(t, [&] { frames.push_back(ShownFrame()); });
    ctl::At(66600, [&] { tip = ShownTip(); }); // after the tick of 66500, 65 s into the track
    QuitAt(70000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(frames, (std::vector<std::string>{"IDI_PLAY2 16x16", "IDI_PLAY1 16x16",
                                                "IDI_PLAY2 16x16", "IDI_PLAY1 16x16"}));
    EXPECT_EQ(tip, "track 3/12. (  1:05/  4:07)");
}

TEST_F(TrayUseTest, AfterAStopTheIconKeepsItsFrameAndTheTipStillRefreshes) {
    std::vector<std::string> frames;
    std::string tip;
    ctl::At(1000, [] { shell::DoubleClick(); });
    ctl::At(2250, [] { shell::DoubleClick(); });
    // One sample per tick from the stop on: an odd number of ticks apart, so that a frame
    // still alternating would show.
    for (ctl::Millis t : {2300, 2800, 3300, 5800})
        ctl::At(t, [&] { frames.push_back(ShownFrame()); });
    ctl::At(5900, [&] { tip = ShownTip(); });
    QuitAt(6000);
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_FALSE(frames[0].empty());
    EXPECT_EQ(frames, std::vector<std::string>(4, frames[0]));
    EXPECT_EQ(tip, "track 1/12. (  0:01/  3:20)");
}

TEST_F(TrayUseTest, AtTheEndOfATrackContinuousPlayGoesOn) {
    mci::CdDrive('d').WithDisc({mci::Audio(3), mci::Audio(3), mci::Audio(3)});
    std::string tip;
    ctl::At(1100, [] { shell::DoubleClick(); });
    ctl::At(4300, [] { EXPECT_TRUE(mci::IsPlaying('d')); }); // on the drive's notice, not a tick
    ctl::At(5600, [&] { tip = ShownTip(); }); // the tick of 5500: track 2 started at 4100
    QuitAt(6000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(tip, "track 2/3. (  0:01/  0:03)");
}

// The end-of-track table on a drive that notifies the end of a play and on one that stays
// silent, as the NT-family drivers do: the program must go on the same way on both.
class EndOfTrackOnBothDrivesTest : public ProgramTest,
                                   public ::testing::WithParamInterface<bool> {};

TEST_P(EndOfTrackOnBothDrivesTest, PlaysAsTheSettingsSay) {
    const struct {
        const char* repeat;
        const char* mode;
        std::vector<int> played;
    } cases[] = {
        {"1", "2", {2, 3, 4, 2}}, // continuous + repeat wraps to the first audio track
        {"0", "2", {2, 3, 4}},    // continuous stops after the last track
        {"1", "1", {2, 2, 2, 2}}, // single + repeat plays the same track again
        {"0", "1", {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("repeat ") + c.repeat + ", mode " + c.mode);
        SetUp();
        mci::CdDriveScene drive =
            mci::CdDrive('d').WithDisc({mci::Data(5), mci::Audio(3), mci::Audio(3), mci::Audio(3)});
        if (GetParam())
            drive.SilentEnd();
        WriteSettingsFile(c.repeat, c.mode);
        ctl::At(1000, [] { shell::DoubleClick(); });
        ctl::At(11900, [&c] { EXPECT_EQ(ctl::HotKeys().size(), *c.repeat == '1' ? 4u : 0u); });
        QuitAt(12000);
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(mci::PlayedTracks(), c.played);
    }
}

INSTANTIATE_TEST_SUITE_P(Drives, EndOfTrackOnBothDrivesTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Silent" : "Notifying"; });

// Other programs' messages arrive inside the peek of the tick that finds track 1 ended on a
// silent drive: the tick goes on only with its own play.
TEST_F(TrayUseTest, AMessageSentIntoTheEndOfPlayCheckLeavesTheTickItsOwnPlayOnly) {
    const struct {
        UINT message;
        WPARAM wParam;
        bool quits;
        std::vector<int> played;
        bool silentStop = false; // no MCI_NOTIFY_ABORTED shows in the peek
    } cases[] = {
        {WM_CLOSE, 0, true, {1}},
        {WM_QUERYENDSESSION, 0, true, {1}},
        {WM_COMMAND, static_cast<WPARAM>(TrackCommandId(3)), false, {1, 3}},
        {WM_COMMAND, static_cast<WPARAM>(TrackCommandId(3)), false, {1, 3}, true},
        {WM_COMMAND, IDM_STOP, false, {1}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wParam);
        SetUp();
        mci::CdDriveScene drive = mci::CdDrive('d').WithDisc(mci::AudioTracks(3, 3)).SilentEnd();
        if (c.silentStop)
            drive.SilentStop();
        ctl::At(1000, [] { shell::DoubleClick(); });
        ctl::At(2000, [&c] {
            ctl::SendFromAnotherThread(MainWindow(), c.message, c.wParam, 0,
                                       ctl::Arrival::NextPeek);
        });
        if (!c.quits)
            QuitAt(6000);
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(mci::PlayedTracks(), c.played);
        EXPECT_TRUE(SettingsHold("1", "2"));
        EXPECT_EQ(ctl::CallsTo("RegisterHotKey").size(), 4u); // none after a quit in the peek
    }
}

TEST_F(TrayUseTest, NoDiscMeansNoTrayCallOnATick) {
    mci::RemoveDisc('d');
    size_t calls = 99;
    ctl::At(1100, [] { shell::ClearNotifyCalls(); });
    ctl::At(4100, [&] { calls = shell::NotifyCalls().size(); });
    QuitAt(5000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(calls, 0u);
}

// A restarted shell, also one whose notification area is not "TrayNotifyWnd" (Wine's), where
// only the shell's "TaskbarCreated" brings the icon back.
class ShellRestartTest : public TrayUseTest,
                         public ::testing::WithParamInterface<shell::NotifyArea> {};

TEST_P(ShellRestartTest, AShellRestartBringsTheIconBackOnceAsItWas) {
    shell::StopTaskbar();
    shell::StartTaskbar(GetParam());
    std::vector<DWORD> messages;
    std::string frame, tip;
    size_t shownBefore = 9;
    ctl::At(1000, [] { shell::DoubleClick(); });
    ctl::At(2200, [&] {
        shell::RestartTaskbar();
        shell::ClearNotifyCalls();
        shownBefore = shell::Icons().size();
    });
    ctl::At(4400, [&] {
        for (const shell::NotifyCall& c : shell::NotifyCalls())
            if (c.message != NIM_MODIFY)
                messages.push_back(c.message);
        frame = ShownFrame();
        tip = ShownTip();
    });
    QuitAt(5000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(shownBefore, 0u);
    EXPECT_EQ(messages, (std::vector<DWORD>{NIM_DELETE, NIM_ADD}));
    EXPECT_EQ(frame, "IDI_PLAY2 16x16"); // seven playing ticks, 1000 to 4000
    EXPECT_EQ(tip, "track 1/12. (  0:03/  3:20)");
    // Let through the message filter to an elevated program, from Vista on.
    EXPECT_EQ(ctl::CallsTo("ChangeWindowMessageFilter").at(0).args.at(1), uintptr_t(MSGFLT_ADD));
}

// A close sent into the re-add's delete after a shell restart: no icon added afterwards.
TEST_F(TrayUseTest, ACloseDuringTheRestartsDeleteAddsNoIconAfterwards) {
    ctl::At(2200, [] {
        shell::RestartTaskbar();
        ctl::SendFromAnotherThread(MainWindow(), WM_CLOSE, 0, 0, ctl::Arrival::NextShellCall);
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(shell::NotifyCalls().back().message, static_cast<DWORD>(NIM_DELETE)); // the quit's
}

INSTANTIATE_TEST_SUITE_P(Shells, ShellRestartTest,
                         ::testing::Values(shell::NotifyArea::Classic, shell::NotifyArea::Other));

// The media keys while track 1 plays from 1000 (or after it stopped at 1500, or spins up, its door
// opened then): each is its item's command, once however long held; one held elsewhere stays.
TEST_F(TrayUseTest, MediaKeysWorkWhilePlayingOnly) {
    const struct {
        UINT vk;
        bool stopFirst, heldElsewhere, taken, playing;
        std::vector<int> played;
        ctl::Millis spinUp = 0;
        bool doorOpened = false; // by hand at 1600
        ctl::Millis held = 0;
        bool vista = false;
    } cases[] = {
        {VK_MEDIA_PLAY_PAUSE, false, false, true, false, {1}},
        {VK_MEDIA_STOP, false, false, true, false, {1}},
        {VK_MEDIA_NEXT_TRACK, false, false, true, true, {1, 2}},
        {VK_MEDIA_PREV_TRACK, false, false, true, true, {1, 12}},
        {VK_MEDIA_NEXT_TRACK, true, false, false, false, {1}},
        {VK_MEDIA_NEXT_TRACK, false, true, false, true, {1}},
        {VK_MEDIA_PLAY_PAUSE, false, false, true, false, {1}, 1500},
        {VK_MEDIA_NEXT_TRACK, false, false, false, false, {1}, 1500, true},
        {VK_MEDIA_NEXT_TRACK, false, false, true, true, {1, 2}, 0, false, 1000},
        {VK_MEDIA_NEXT_TRACK, false, false, true, true, {1, 2}, 0, false, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vk);
        SetUp();
        if (c.heldElsewhere)
            ctl::HoldHotKeyElsewhere(c.vk);
        mci::CdDriveScene('d').SpinUp(c.spinUp);
        ctl::RefuseNoRepeat(c.vista);
        bool taken = !c.taken;
        ctl::At(1000, [] { shell::DoubleClick(); });
        if (c.stopFirst)
            ctl::At(1500, [] { shell::DoubleClick(); });
        if (c.doorOpened)
            ctl::At(1600, [] { mci::OpenDoorByHand('d'); });
        ctl::At(2200, [&] { taken = ctl::PressKey(c.vk, 0, c.held); });
        ctl::At(2300, [&] { // before the next tick: the key's command alone moves the keys
            for (WPARAM foreign : {MEDIA_KEY_FIRST_ID - 1, MEDIA_KEY_FIRST_ID + MEDIA_KEY_COUNT})
                SendMessageA(MainWindow(), WM_HOTKEY, foreign, 0);
            EXPECT_EQ(mci::IsPlaying('d'), c.playing);
            EXPECT_EQ(ctl::HotKeys().size(), c.playing ? 4u - c.heldElsewhere : 0u);
        });
        QuitAt(3000);
        EXPECT_EQ(Run(), 0);
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(mci::PlayedTracks(), c.played);
        // Taken once for the play; every key taken was given back, at the stop or at the quit.
        EXPECT_EQ(ctl::CallsTo("RegisterHotKey").size(), c.vista ? 8u : 4u + c.heldElsewhere);
        EXPECT_EQ(ctl::CallsTo("UnregisterHotKey").size(), 4u - c.heldElsewhere);
    }
}

TEST_F(TrayUseTest, ATaskbarThatComesLaterGetsTheIcon) {
    shell::StopTaskbar();
    bool before = true;
    std::string frame;
    ctl::At(1800, [&] {
        before = shell::Icons().size() != 0;
        shell::StartTaskbar();
    });
    ctl::At(2100, [&] { frame = ShownFrame(); });
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(before);
    EXPECT_EQ(frame, "IDI_PLAY1 16x16");
}

} // namespace
} // namespace program
