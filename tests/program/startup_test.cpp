// Starting and ending the program: arguments, a running instance, the hidden window, and the
// three ways to shut down.
#include "program_fixture.h"

namespace program {
namespace {

using StartupTest = ProgramTest;

TEST_F(StartupTest, AnyArgumentEndsTheRunAfterReadingTheSettings) {
    WriteSettingsFile("0", "1");
    ctl::SetArgc(2);
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(ctl::CallsTo("GetPrivateProfileStringA").empty());
    EXPECT_EQ(SettingsWrites(), 0u);
    EXPECT_TRUE(ctl::CallsTo("CreateMutexA").empty());
    EXPECT_FALSE(ctl::MutexExists("trovanix"));
    EXPECT_EQ(WindowsOfTheProgram(), 0u);
    EXPECT_TRUE(ctl::CallsTo("RegisterClassExA").empty());
    EXPECT_TRUE(shell::NotifyCalls().empty());
    EXPECT_TRUE(SettingsHold("0", "1"));
    EXPECT_EQ(ctl::OpenHandleCount(), 0);
}

TEST_F(StartupTest, AnotherRunningInstanceMakesTheStartEndSilently) {
    ctl::HoldMutex("trovanix");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(WindowsOfTheProgram(), 0u);
    EXPECT_TRUE(shell::NotifyCalls().empty());
    EXPECT_EQ(SettingsWrites(), 0u);
    EXPECT_EQ(ctl::OpenHandleCount(), 0);
}

TEST_F(StartupTest, ASecondStartWhileRunningLeavesTheFirstUntouched) {
    int second = -1;
    ctl::At(1000, [&] {
        HWND first = MainWindow();
        second = Run();
        EXPECT_EQ(MainWindow(), first);
        EXPECT_EQ(WindowsOfTheProgram(), 1u);
        EXPECT_EQ(shell::Icons().size(), 1u);
        EXPECT_EQ(SettingsWrites(), 0u);
    });
    QuitAt(2000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(SettingsWrites(), 2u); // the first instance's repeat and mode, once
}

TEST_F(StartupTest, AfterTheInstanceQuitsANewStartSucceeds) {
    QuitAt(1000);
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(ctl::MutexExists("trovanix"));
    EXPECT_EQ(ctl::OpenHandleCount(), 0);
    bool secondRan = false;
    ctl::After(1000, [&] {
        secondRan = MainWindow() != nullptr && shell::Icons().size() == 1;
        QuitFromTheMenu();
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(secondRan);
}

TEST_F(StartupTest, WithoutAnyCdDriveOrMessageFilterTheProgramStillShowsItsIcon) {
    ctl::InstallLibrary("user32.dll", {}); // a system before Vista has no message filter
    bool shown = false;
    ctl::At(1000, [&] { shown = ShownFrame() == "IDI_PLAY1 16x16"; });
    QuitAt(2000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(shown);
}

TEST_F(StartupTest, TheMainWindowIsHiddenAndItsClassCarriesTheProgramsIcons) {
    ctl::At(1000, [] {
        ctl::WindowInfo info{};
        ASSERT_TRUE(ctl::Describe(MainWindow(), &info));
        EXPECT_EQ(info.text, "trovanix");
        EXPECT_EQ(info.style, static_cast<DWORD>(WS_POPUP | WS_MINIMIZE));
        EXPECT_EQ(info.exStyle, 0u);
        EXPECT_FALSE(info.visible);
        EXPECT_EQ(info.owner, nullptr);
    });
    QuitAt(2000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(ctl::CallsTo("ShowWindow").empty());
    auto registrations = ctl::CallsTo("RegisterClassExA");
    const ctl::Call* main = nullptr;
    for (const ctl::Call& c : registrations)
        if (c.text == "trovanix")
            main = &c;
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->args[0], static_cast<uintptr_t>(CS_DBLCLKS));
    std::string path;
    bool small = true;
    ASSERT_TRUE(shell::DescribeFileIcon(reinterpret_cast<HICON>(main->args[1]), &path, &small));
    EXPECT_EQ(path, kModulePath);
    EXPECT_FALSE(small);
    ASSERT_TRUE(shell::DescribeFileIcon(reinterpret_cast<HICON>(main->args[2]), &path, &small));
    EXPECT_EQ(path, kModulePath);
    EXPECT_TRUE(small);
    EXPECT_EQ(main->args[3], reinterpret_cast<uintptr_t>(GetStockObject(WHITE_BRUSH)));
}

TEST_F(StartupTest, AFileWithoutShellIconRegistersTheClassWithoutIcons) {
    shell::SetFileHasNoIcon(kModulePath);
    QuitAt(1000);
    EXPECT_EQ(Run(), 0);
    for (const ctl::Call& c : ctl::CallsTo("RegisterClassExA"))
        if (c.text == "trovanix") {
            EXPECT_EQ(c.args[1], 0u);
            EXPECT_EQ(c.args[2], 0u);
        }
}

TEST_F(StartupTest, AModulePathThatDoesNotFitOrIsNotKnownGivesNoIcons) {
    // Cut to the buffer, it would name some other file: the shell is not even asked.
    ctl::SetModulePath("C:\\" + std::string(MAX_PATH - 7, 'p') + ".exe");
    QuitAt(1000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(ctl::CallsTo("SHGetFileInfoA").empty());
    SetUp();
    ctl::SetModulePath(""); // nor with no path at all
    QuitAt(1000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(ctl::CallsTo("SHGetFileInfoA").empty());
}

TEST_F(StartupTest, QuitFromTheMenuWritesTheSettingsOnceAndEndsCleanly) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(4));
    ctl::At(1000, [] { shell::DoubleClick(); }); // something is playing when the user quits
    QuitAt(3000);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsWrites(), 2u);
    EXPECT_TRUE(SettingsHold("1", "2")); // the defaults, as no file existed
    EXPECT_EQ(WindowsOfTheProgram(), 0u);
    EXPECT_TRUE(shell::Icons().empty());
    EXPECT_EQ(mci::OpenDeviceCount(), 0);
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_FALSE(ctl::MutexExists("trovanix"));
    EXPECT_EQ(ctl::OpenHandleCount(), 0);
    // The mutex is taken owned, at once.
    ASSERT_EQ(ctl::CallsTo("CreateMutexA").size(), 1u);
    EXPECT_EQ(ctl::CallsTo("CreateMutexA")[0].args[0], static_cast<uintptr_t>(TRUE));
    // The order of the shutdown, from the chosen command on: the poll (timer 3) and the icon go
    // first, so nothing reaches a player being taken down; the drive stops before it closes;
    // the settings follow; the mutex goes last, once nothing of the instance is left.
    std::vector<std::string> steps;
    for (const ctl::Call& c : ctl::Calls()) {
        if (c.api == "TrackPopupMenuEx")
            steps.clear();
        else if (c.api == "KillTimer")
            steps.push_back("KillTimer " + std::to_string(c.args[1]));
        else if (c.api == "Shell_NotifyIconA" && c.args[0] == NIM_DELETE)
            steps.push_back("NIM_DELETE");
        else if (c.api == "mciSendCommandA" && (c.args[1] == MCI_STOP || c.args[1] == MCI_CLOSE))
            steps.push_back(c.args[1] == MCI_STOP ? "MCI_STOP" : "MCI_CLOSE");
        else if (c.api == "WritePrivateProfileStringA" || c.api == "CloseHandle" ||
                 c.api == "RegisterHotKey")
            steps.push_back(c.api);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"KillTimer 3", "NIM_DELETE", "MCI_STOP", "MCI_CLOSE",
                                               "WritePrivateProfileStringA",
                                               "WritePrivateProfileStringA", "CloseHandle"}));
}

TEST_F(StartupTest, EndOfSessionShutsDownCompletelyBeforeAnswering) {
    ctl::At(1000, [] {
        HWND window = MainWindow();
        LRESULT answer = SendMessageA(window, WM_QUERYENDSESSION, 0, 0);
        EXPECT_EQ(answer, TRUE); // the session may end
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(SettingsWrites(), 2u);
        EXPECT_TRUE(SettingsHold("1", "2"));
        EXPECT_TRUE(shell::Icons().empty());
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsWrites(), 2u);
    EXPECT_EQ(ctl::OpenHandleCount(), 0);
}

TEST_F(StartupTest, AFailingMessageLoopStillExitsWithZero) {
    // The record then still holds the last message dispatched, a poll tick with wParam 3.
    ctl::At(1000, [] { ctl::FailNextGetMessage(); });
    EXPECT_EQ(Run(), 0);
    // The shutdown still ran: the icon is gone and the settings are written.
    EXPECT_TRUE(shell::Icons().empty());
    EXPECT_EQ(SettingsWrites(), 2u);
    EXPECT_EQ(WindowsOfTheProgram(), 0u);
    // The mutex still goes last, after the shutdown.
    ASSERT_FALSE(ctl::Calls().empty());
    EXPECT_EQ(ctl::Calls().back().api, "CloseHandle");
}

TEST_F(StartupTest, AWindowThatCannotBeCreatedEndsWithZeroAndGivesTheMutexBack) {
    ctl::FailNextCreateWindow();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ctl::Calls().back().api, "CloseHandle");
}

TEST_F(StartupTest, CloseMessageRunsTheSameShutdown) {
    ctl::At(1000, [] { PostMessageA(MainWindow(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(SettingsWrites(), 2u);
    EXPECT_TRUE(shell::Icons().empty());
}

TEST_F(StartupTest, WithoutMemoryForThePlayerTheProgramRunsAndKeepsTheSettingsFile) {
    WriteSettingsFile("0", "1");
    ctl::SetHeapAllocFails(true);
    bool shown = false;
    ctl::At(1000, [&] { shown = ShownFrame() == "IDI_PLAY1 16x16"; });
    QuitAt(2000);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(SettingsWrites(), 0u);
    EXPECT_TRUE(SettingsHold("0", "1"));
}

struct SettingsCase {
    std::string repeat, mode;  // in the file at start
    std::vector<UINT> checked; // in the main menu
    std::string writtenRepeat, writtenMode;
};

class StartupSettingsTest : public ProgramTest,
                            public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(StartupSettingsTest, SettingsReachThePlayerAndAreWrittenBack) {
    WriteSettingsFile(GetParam().repeat, GetParam().mode);
    ctl::At(1000, [] { shell::RightClick(); });
    QuitAt(2000);
    EXPECT_EQ(Run(), 0);
    auto menus = Menus();
    ASSERT_GE(menus.size(), 1u);
    std::vector<UINT> checked;
    for (const ctl::MenuItem& item : menus[0].items)
        if (item.checked())
            checked.push_back(item.id);
    EXPECT_EQ(checked, GetParam().checked);
    EXPECT_TRUE(SettingsHold(GetParam().writtenRepeat, GetParam().writtenMode)) << SettingsFile();
}

INSTANTIATE_TEST_SUITE_P(Files, StartupSettingsTest,
                         ::testing::Values(SettingsCase{"0", "1", {IDM_SINGLE}, "0", "1"},
                                           SettingsCase{"7", "3", {IDM_REPEAT}, "1", "3"},
                                           SettingsCase{
                                               "1", "2", {IDM_REPEAT, IDM_CONTINUOUS}, "1", "2"}));

} // namespace
} // namespace program
