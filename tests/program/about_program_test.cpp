// The About box of the running program, chosen from the tray icon's main menu.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/control.h>

#include "res/resource.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace ctl = winsim::control;
namespace shell = winsim::control::shell;
namespace mci = winsim::control::mci;

namespace {

class AboutProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        srand(1); // the program never seeds: its first draw is not a special one
        shell::StartTaskbar();
        mci::CdDrive('d').WithDisc(mci::AudioTracks(3, 180));
        ctl::SetWorkArea(RECT{0, 0, 1024, 738});
        ctl::SetCursorPos(1000, 730); // where the tray icon is
    }

    // The user right-clicks the icon at t and picks the command from the main menu.
    static void ChooseAt(ctl::Millis t, UINT command) {
        ctl::At(t, [command] {
            ctl::ChooseMenuItem(command);
            EXPECT_TRUE(shell::RightClick());
        });
    }

    int Run() {
        char commandLine[] = "";
        return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    }

    static std::string Tip() {
        std::vector<shell::Icon> icons = shell::Icons();
        return icons.empty() ? std::string() : icons[0].tip;
    }
};

TEST_F(AboutProgramTest, AboutFromTheMainMenuShowsTheProgramsBox) {
    std::string caption, version, resources;
    HWND dialog = nullptr, mainWindow = nullptr;
    RECT r{};
    ChooseAt(1000, IDM_ABOUT);
    ctl::At(2000, [&] {
        mainWindow = ctl::FindByClass("trovanix");
        dialog = ctl::OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_NE(ctl::FindByClass("tooltips_class32"), nullptr); // the link's tip
        caption = ctl::WindowText(dialog);
        ctl::DialogItem item{};
        if (ctl::FindDialogItem(dialog, IDC_ABOUT_VERSION, &item))
            version = item.text;
        if (ctl::FindDialogItem(dialog, IDC_ABOUT_RESOURCES, &item))
            resources = item.text;
        GetWindowRect(dialog, &r);
        EXPECT_TRUE(ctl::PressOK());
    });
    ChooseAt(3000, IDM_QUIT);
    EXPECT_EQ(Run(), 0);

    EXPECT_EQ(caption, "trovanix について");
    EXPECT_EQ(version, "trovanix ver. 0.02");
    EXPECT_EQ(resources, "");
    // Near the tray icon the box is pushed into the work area's corner.
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(r.bottom, 738);
    ASSERT_EQ(ctl::DialogRuns().size(), 1u);
    ctl::DialogRun run = ctl::DialogRuns()[0];
    EXPECT_EQ(run.templateName, "ABOUT_BOX");
    EXPECT_NE(mainWindow, nullptr);
    EXPECT_EQ(run.owner, mainWindow);
    EXPECT_EQ(run.result, 1);
    EXPECT_FALSE(IsWindow(dialog));
    // The shell's icons it showed are given back once nothing shows them (winsim fails a
    // DestroyIcon of an icon still on screen).
    std::vector<ctl::IconMessage> icons = ctl::IconMessages();
    ASSERT_EQ(icons.size(), 3u);
    for (const ctl::IconMessage& m : icons)
        EXPECT_TRUE(shell::IsFileIconDestroyed(
            reinterpret_cast<HICON>(m.message == STM_SETICON ? m.wParam : m.lParam)));
}

TEST_F(AboutProgramTest, PollTimerGoesOnWhileTheBoxIsOpen) {
    std::string before, later;
    ctl::At(500, [] { EXPECT_TRUE(shell::DoubleClick()); }); // play
    ChooseAt(2000, IDM_ABOUT);
    ctl::At(4000, [&] {
        EXPECT_NE(ctl::OpenDialog(), nullptr);
        before = Tip();
    });
    ctl::At(9000, [&] {
        later = Tip();
        EXPECT_TRUE(ctl::PressEsc());
    });
    ChooseAt(10000, IDM_QUIT);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(before.rfind("track 1/3.", 0), 0u) << before;
    EXPECT_EQ(later.rfind("track 1/3.", 0), 0u) << later;
    EXPECT_NE(before, later); // the position moved on
    EXPECT_EQ(ctl::DialogRuns().back().result, 2);
}

TEST_F(AboutProgramTest, SecondAboutWhileOpenBringsTheOpenBoxForward) {
    HWND dialog = nullptr;
    ctl::SetStartupShowState(SW_SHOWMINNOACTIVE); // from a shortcut set to "Minimized"
    ctl::At(500, [] { ctl::ClearCalls(); });
    ChooseAt(1000, IDM_ABOUT);
    ctl::At(2000, [&] { dialog = ctl::OpenDialog(); });
    ChooseAt(3000, IDM_ABOUT); // the tray still answers while the box is open
    ctl::At(4000, [&] {
        EXPECT_EQ(ctl::OpenDialog(), dialog);
        EXPECT_FALSE(IsIconic(dialog));
        EXPECT_TRUE(ctl::ClickControl(IDC_ABOUT_URL));
    });
    ChooseAt(5000, IDM_QUIT);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ctl::CallsTo("DialogBoxParamA").size(), 1u);
    std::vector<ctl::Call> shows = ctl::CallsTo("ShowWindow");
    ASSERT_FALSE(shows.empty());
    EXPECT_EQ(shows.back().args[0], reinterpret_cast<uintptr_t>(dialog));
    ASSERT_EQ(shell::ExecuteCalls().size(), 1u);
    EXPECT_EQ(shell::ExecuteCalls()[0].file.text, TROVANIX_SUPPORT_URL);
    EXPECT_EQ(ctl::DialogRuns().back().result, 1);
}

TEST_F(AboutProgramTest, QuitWhileTheBoxIsOpenEndsBoth) {
    ChooseAt(1000, IDM_ABOUT);
    ChooseAt(2000, IDM_QUIT);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ctl::OpenDialog(), nullptr);
    ASSERT_EQ(ctl::DialogRuns().size(), 1u);
    EXPECT_EQ(ctl::DialogRuns()[0].result, 0);
    EXPECT_EQ(ctl::FindByClass("trovanix"), nullptr);
}

} // namespace
