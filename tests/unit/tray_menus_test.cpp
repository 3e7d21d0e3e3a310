// The two popup menus as the user sees them when they open, and where a choice goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/control.h>

#include "app/commands.h"
#include "tests/support/player_window.h"
#include "player/player.h"
#include "tray/menus.h"

#include <string>
#include <vector>

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

namespace {

// The resource's items of the main menu, in order.
const std::vector<UINT> kResourceItems = {IDM_OPEN_DOOR, IDM_CLOSE_DOOR, 0, IDM_REPEAT, 0,
                                          IDM_SINGLE,    IDM_CONTINUOUS, 0, IDM_NEXT,   IDM_PREV,
                                          IDM_PLAY,      IDM_STOP,       0, IDM_ABOUT,  0,
                                          IDM_QUIT};

class TrayMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        ctl::SetCursorPos(700, 560);
        window = winsim::control::CreateTestWindow(PlayerCommandWindowProc);
    }
    void TearDown() override { DestroyWindow(window); }

    void StartPlayer(int mode = PLAY_CONTINUOUS, int repeat = 0) {
        PlayerSettings settings{mode, repeat};
        PlayerCreate(window, &settings);
    }

    ctl::DisplayedMenu Open(void (*show)(HWND)) {
        show(window);
        auto shown = ctl::DisplayedMenus();
        EXPECT_EQ(shown.size(), 1u);
        EXPECT_EQ(ctl::LiveMenuCount(), 0); // destroyed after the display
        return shown.empty() ? ctl::DisplayedMenu{} : shown.back();
    }

    static const ctl::MenuItem* Item(const ctl::DisplayedMenu& menu, UINT id) {
        for (const ctl::MenuItem& item : menu.items)
            if (item.id == id && !item.separator())
                return &item;
        return nullptr;
    }
    static std::vector<UINT> Ids(const ctl::DisplayedMenu& menu, size_t from = 0) {
        std::vector<UINT> ids;
        for (size_t i = from; i < menu.items.size(); ++i)
            ids.push_back(menu.items[i].separator() ? 0 : menu.items[i].id);
        return ids;
    }
    static std::vector<UINT> Checked(const ctl::DisplayedMenu& menu) {
        std::vector<UINT> ids;
        for (const ctl::MenuItem& item : menu.items)
            if (item.checked())
                ids.push_back(item.id);
        return ids;
    }

    HWND window = nullptr;
};

// ---- the main menu -----------------------------------------------------------------------------

// Whether the owner was posted WM_NULL after the menu's display, as notification-icon menus
// need for the next one to open and close properly.
bool BenignMessageFollowsTheMenu(HWND owner) {
    bool shown = false;
    for (const ctl::Call& call : ctl::Calls()) {
        if (call.api == "TrackPopupMenuEx")
            shown = true;
        else if (shown && call.api == "PostMessageA" &&
                 call.args[0] == reinterpret_cast<uintptr_t>(owner) && call.args[1] == WM_NULL)
            return true;
    }
    return false;
}

TEST_F(TrayMenuTest, MainMenuOpensAtTheCursorOwnedByTheForegroundWindow) {
    StartPlayer();
    ctl::DisplayedMenu menu = Open(ShowMainMenu);
    EXPECT_EQ(menu.flags, static_cast<UINT>(TPM_RIGHTBUTTON | TPM_BOTTOMALIGN));
    EXPECT_EQ(menu.x, 700);
    EXPECT_EQ(menu.y, 560);
    EXPECT_EQ(menu.owner, window);
    EXPECT_TRUE(menu.ownerForeground);
    EXPECT_TRUE(BenignMessageFollowsTheMenu(window));
    ctl::SetCursorUnreadable(true); // another desktop has the input: at (0, 0), not garbage
    ShowMainMenu(window);
    EXPECT_EQ(ctl::DisplayedMenus().back().x | ctl::DisplayedMenus().back().y, 0);
    ctl::ClearCalls();
    ShowTrackMenu(window);
    EXPECT_TRUE(BenignMessageFollowsTheMenu(window));
}

TEST_F(TrayMenuTest, WithoutCdDrivesTheMainMenuBeginsWithTheSeparator) {
    StartPlayer();
    ctl::DisplayedMenu menu = Open(ShowMainMenu);
    ASSERT_EQ(menu.items.size(), 17u);
    EXPECT_TRUE(menu.items[0].separator());
    EXPECT_EQ(Ids(menu, 1), kResourceItems);
    // No drive: nothing but the mode item is checked.
    EXPECT_EQ(Checked(menu), std::vector<UINT>{IDM_CONTINUOUS});
}

TEST_F(TrayMenuTest, ThePlayersDriveIsChecked) {
    mci::CdDrive('b');
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    mci::CdDrive('z');
    StartPlayer(PLAY_SINGLE);
    ASSERT_EQ(PlayerGetDriveIndex(window), 3);
    ctl::DisplayedMenu menu = Open(ShowMainMenu);
    EXPECT_EQ(Checked(menu), (std::vector<UINT>{1027, IDM_SINGLE}));
    EXPECT_EQ(menu.items[0].text + menu.items[2].text, "z:\\: b:\\: "); // no disc, no label
}

TEST_F(TrayMenuTest, StopIsGrayedOnlyWhileNotPlaying) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    StartPlayer();
    ctl::DisplayedMenu stopped = Open(ShowMainMenu);
    EXPECT_TRUE(Item(stopped, IDM_STOP)->grayed());
    EXPECT_FALSE(Item(stopped, IDM_PLAY)->disabled());
    ctl::ClearDisplayedMenus();
    PlayerPlay(window);
    ctl::DisplayedMenu playing = Open(ShowMainMenu);
    EXPECT_FALSE(Item(playing, IDM_STOP)->disabled());
    EXPECT_FALSE(Item(playing, IDM_PLAY)->disabled());
    for (UINT id : {IDM_OPEN_DOOR, IDM_CLOSE_DOOR, IDM_NEXT, IDM_PREV, IDM_ABOUT, IDM_QUIT}) {
        EXPECT_FALSE(Item(stopped, id)->disabled()) << id;
        EXPECT_FALSE(Item(stopped, id)->checked()) << id;
    }
}

struct ModeCase {
    int mode;
    int repeat;
    std::vector<UINT> checked;
};

class TrayMenuModeTest : public TrayMenuTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(TrayMenuModeTest, RepeatAndModeChecksFollowThePlayer) {
    StartPlayer(GetParam().mode, GetParam().repeat);
    EXPECT_EQ(Checked(Open(ShowMainMenu)), GetParam().checked);
}

INSTANTIATE_TEST_SUITE_P(Modes, TrayMenuModeTest,
                         ::testing::Values(ModeCase{1, 0, {IDM_SINGLE}},
                                           ModeCase{2, 1, {IDM_REPEAT, IDM_CONTINUOUS}},
                                           ModeCase{3, 7, {IDM_REPEAT}}, ModeCase{0, 0, {}},
                                           ModeCase{-1, 0, {}}));

TEST_F(TrayMenuTest, AChosenDriveItemSwitchesTheDriveWithoutPlaying) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    mci::CdDrive('q').WithDisc(mci::AudioTracks(5));
    StartPlayer();
    ctl::ChooseMenuItem(1040);
    ShowMainMenu(window);
    ctl::RunFor(1); // the choice arrives as a posted WM_COMMAND
    EXPECT_EQ(PlayerGetDriveIndex(window), 16);
    EXPECT_FALSE(mci::IsPlaying('q'));
    EXPECT_FALSE(mci::IsPlaying('d'));
}

struct LabelCase {
    std::string label;
    size_t kept; // bytes of the label in the item text
};

class TrayMenuLabelTest : public TrayMenuTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(TrayMenuLabelTest, LongLabelsAreCutBetweenCharactersToFitTheItem) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3)).Label(GetParam().label);
    StartPlayer();
    ctl::DisplayedMenu menu = Open(ShowMainMenu);
    ASSERT_NE(Item(menu, 1027), nullptr);
    std::string text = Item(menu, 1027)->text;
    EXPECT_EQ(text, "d:\\: " + GetParam().label.substr(0, GetParam().kept));
    EXPECT_LE(text.size(), 255u);
}

std::string DoubleByteLabel(size_t leadingAscii, size_t characters) {
    std::string s(leadingAscii, 'a');
    for (size_t i = 0; i < characters; ++i)
        s += "\x83\x5C"; // a double-byte character whose second byte is a backslash
    return s;
}

INSTANTIATE_TEST_SUITE_P(Labels, TrayMenuLabelTest,
                         ::testing::Values(LabelCase{"ＣＤ", 4},
                                           LabelCase{std::string(250, 'x'), 250},
                                           LabelCase{std::string(255, 'x'), 250},
                                           LabelCase{DoubleByteLabel(1, 127), 249},
                                           LabelCase{DoubleByteLabel(0, 127), 250}));

// ---- the track list ----------------------------------------------------------------------------

TEST_F(TrayMenuTest, AFailedCountQueryKeepsThePlaceholder) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3));
    StartPlayer();
    mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS);
    ctl::DisplayedMenu menu = Open(ShowTrackMenu);
    EXPECT_EQ(Ids(menu), std::vector<UINT>{IDM_NO_TITLE});
}

TEST_F(TrayMenuTest, ACountOfZeroGivesAnEmptyList) {
    mci::CdDrive('d').WithDisc({});
    StartPlayer();
    EXPECT_TRUE(Open(ShowTrackMenu).items.empty());
}

TEST_F(TrayMenuTest, DataTracksAreGrayedAndTheCurrentTrackChecked) {
    mci::CdDrive('d').WithDisc({mci::Data(300), mci::Audio(200), mci::Audio(200), mci::Data(60)});
    StartPlayer();
    PlayerSelectTrack(window, 3);
    ctl::DisplayedMenu menu = Open(ShowTrackMenu);
    ASSERT_EQ(menu.items.size(), 4u);
    std::vector<bool> grayed;
    for (const ctl::MenuItem& item : menu.items)
        grayed.push_back(item.grayed());
    EXPECT_EQ(grayed, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(Checked(menu), std::vector<UINT>{0x8003});
}

TEST_F(TrayMenuTest, ACurrentTrackOfZeroChecksNothing) {
    mci::CdDrive('d').WithDisc({mci::Data(300), mci::Data(200)});
    StartPlayer();
    ASSERT_EQ(PlayerGetCurrentTrack(window), 0);
    ctl::DisplayedMenu menu = Open(ShowTrackMenu);
    EXPECT_EQ(menu.items.size(), 2u);
    EXPECT_TRUE(Checked(menu).empty());
}

TEST_F(TrayMenuTest, AChosenTrackBecomesCurrentAndPlays) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(5));
    StartPlayer();
    ctl::ChooseMenuItem(0x8004);
    ShowTrackMenu(window);
    ctl::RunFor(1);
    EXPECT_EQ(PlayerGetCurrentTrack(window), 4);
    mci::Play play{};
    ASSERT_TRUE(mci::CurrentPlay('d', &play));
    EXPECT_EQ(play.fromTrack, 4);
}

} // namespace
