// Reliability: one session run again with each platform call it makes failing in turn, seeded
// random sessions over random scenes, and long sessions whose handles must all come back.
// Each test leaves its figures in reliability/<test>.txt beside the test executable.
#include "program_fixture.h"

#include "res/resource.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace program {
namespace {

void WriteFigures(const std::string& name, const std::string& text) {
    std::cout << "reliability: " << text;
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (n <= 0)
        return;
    std::string folder = std::string(exe, static_cast<size_t>(n));
    folder = folder.substr(0, folder.rfind('/')) + "/reliability";
    mkdir(folder.c_str(), 0777);
    std::ofstream(folder + "/" + name + ".txt") << text;
}

int EnvInt(const char* name, int fallback) {
    const char* v = getenv(name);
    return v && *v ? atoi(v) : fallback;
}

struct Settings {
    int repeat = 1; // the defaults, as without a file
    int mode = 2;
};

bool HasItem(const std::vector<ctl::MenuItem>& items, UINT id) {
    for (const ctl::MenuItem& item : items)
        if (item.id == id || HasItem(item.items, id))
            return true;
    return false;
}

// The user: what the next popup menu should get, and what must hold between actions.
class ReliabilityTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        wanted_ = 0;
        settledAt_ = 0;
        ctl::SetMenuChooser([this](const ctl::DisplayedMenu& menu) {
            UINT id = wanted_;
            wanted_ = 0;
            if (pick_ && id == 0)
                id = pick_(menu);
            return HasItem(menu.items, id) ? id : 0;
        });
    }

    // A command from the main menu; false when the icon is not there to click.
    bool Choose(UINT id) {
        wanted_ = id;
        if (shell::RightClick())
            return true;
        wanted_ = 0;
        return false;
    }
    // A track from the track list, which opens a double-click time after the click.
    void PickTrack(int track) {
        wanted_ = TrackCommandId(track);
        if (!shell::Click())
            wanted_ = 0;
    }
    // From the menu when the icon is there, else the session ends under it.
    void Quit() {
        if (MainWindow() && !Choose(IDM_QUIT))
            SendMessageA(MainWindow(), WM_QUERYENDSESSION, 0, 0);
    }

    // Between two actions: never two icons, the icon shown once the shell has had a tick to
    // take it, no menu left behind, at most one device and one player state.
    void CheckWhileRunning(bool iconExpected) {
        if (!MainWindow())
            return;
        EXPECT_LE(shell::Icons().size(), 1u) << "at " << ctl::Now();
        if (iconExpected && shell::NotifyAreaWindow() && ctl::Now() >= settledAt_) {
            shell::Icon icon{};
            EXPECT_TRUE(ShownIcon(&icon)) << "no icon at " << ctl::Now();
        }
        EXPECT_EQ(ctl::LiveMenuCount(), 0) << "at " << ctl::Now();
        EXPECT_LE(mci::OpenDeviceCount(), 1 + FailedCloses()) << "at " << ctl::Now();
        EXPECT_LE(ctl::LiveHandles().heapBlocks, 1) << "at " << ctl::Now();
    }

    static int FailedCloses() {
        int n = 0;
        for (const mci::Command& c : mci::Commands())
            n += c.command == MCI_CLOSE && c.result != 0;
        return n;
    }

    // What the user set through the menus, from the settings the run started with.
    static Settings Chosen(Settings s) {
        for (const ctl::DisplayedMenu& menu : Menus()) {
            if (menu.chosen == IDM_REPEAT)
                s.repeat = !s.repeat;
            else if (menu.chosen == IDM_SINGLE)
                s.mode = 1;
            else if (menu.chosen == IDM_CONTINUOUS)
                s.mode = 2;
        }
        return s;
    }

    // After the program has ended: exit 0, the user's settings in the file (where it may be
    // written), its icon asked away (and gone unless that very request failed), every device
    // it opened asked to close (and closed unless a close failed), nothing of it left alive.
    void CheckEnd(int exitCode, Settings start, bool fileWritable = true) {
        EXPECT_EQ(exitCode, 0);
        Settings want = fileWritable ? Chosen(start) : start;
        EXPECT_TRUE(SettingsHold(std::to_string(want.repeat), std::to_string(want.mode)))
            << SettingsFile();
        std::vector<shell::NotifyCall> notify = shell::NotifyCalls();
        ASSERT_FALSE(notify.empty());
        EXPECT_EQ(notify.back().message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_TRUE(shell::Icons().empty() || !notify.back().result);
        std::vector<MCIDEVICEID> opened;
        for (const mci::Command& c : mci::Commands()) {
            if (c.command == MCI_OPEN && c.result == 0)
                opened.push_back(static_cast<MCIDEVICEID>(c.returned));
            if (c.command == MCI_CLOSE)
                opened.erase(std::remove(opened.begin(), opened.end(), c.device), opened.end());
        }
        EXPECT_TRUE(opened.empty()) << opened.size() << " devices never closed";
        if (FailedCloses() == 0) {
            EXPECT_EQ(mci::OpenDeviceCount(), 0);
        }
        EXPECT_EQ(WindowsOfTheProgram(), 0u);
        EXPECT_EQ(ctl::OpenDialog(), nullptr);
        ctl::HandleCounts live = ctl::LiveHandles();
        EXPECT_EQ(live.timers, 0);
        EXPECT_EQ(live.menus, 0);
        EXPECT_EQ(live.heapBlocks, 0);
        EXPECT_EQ(live.kernelObjects, 0);
    }

    UINT wanted_ = 0;
    std::function<UINT(const ctl::DisplayedMenu&)> pick_;
    ctl::Millis settledAt_ = 0; // from then on the icon must be shown
};

// ---- every call failing in turn -----------------------------------------------------------

// Start, play, next, previous, a track from the list, the other drive, its door, the toggles,
// the About box twice (closed, then through its link), stop, quit.
class FaultInjectionTest : public ReliabilityTest {
  protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        mci::CdDrive('d').WithDisc(mci::AudioTracks(6, 4)).Label("ONE");
        mci::CdDrive('e').WithDisc({mci::Data(10), mci::Audio(5), mci::Audio(5)}).Label("TWO");
    }

    int RunSession(bool iconExpected) {
        const std::vector<std::pair<ctl::Millis, std::function<void()>>> steps = {
            {1000, [] { shell::DoubleClick(); }},
            {2000, [this] { Choose(IDM_NEXT); }},
            {2500, [this] { Choose(IDM_PREV); }},
            {3000, [this] { PickTrack(3); }},
            {4000, [this] { Choose(DriveCommandId('e' - 'a')); }},
            {4500, [this] { Choose(IDM_OPEN_DOOR); }},
            {5000, [this] { Choose(IDM_CLOSE_DOOR); }},
            {5500, [] { shell::DoubleClick(); }},
            {6000, [this] { Choose(IDM_REPEAT); }},
            {6500, [this] { Choose(IDM_SINGLE); }},
            {7000, [this] { Choose(IDM_ABOUT); }},
            {7500, [] { ctl::PressOK(); }},
            {8000, [this] { Choose(IDM_ABOUT); }},
            {8500, [] { ctl::ClickControl(IDC_ABOUT_URL); }},
            {9000, [this] { Choose(IDM_STOP); }},
            {9500, [this] { Quit(); }},
        };
        settledAt_ = 600; // the first tick, which also brings back an icon whose add failed
        for (const auto& step : steps)
            ctl::At(step.first, [this, step, iconExpected] {
                step.second();
                CheckWhileRunning(iconExpected);
            });
        return Run();
    }
};

TEST_F(FaultInjectionTest, EveryMciCommandAndShellCallFailingInTurnAndAllAtOnce) {
    // The recording run: which calls the session makes.
    CheckEnd(RunSession(true), Settings{});
    std::vector<std::pair<std::string, int>> points;
    std::map<std::string, int> seen;
    for (const ctl::Call& c : ctl::Calls())
        if (c.api == "mciSendCommandA" || c.api == "Shell_NotifyIconA" ||
            c.api == "SHGetFileInfoA" || c.api == "ShellExecuteA")
            points.emplace_back(c.api, seen[c.api]++);
    ASSERT_GT(seen["mciSendCommandA"], 100);
    ASSERT_GT(seen["ShellExecuteA"], 0);

    int failingPoints = 0;
    for (const auto& point : points) {
        SCOPED_TRACE(point.first + " call #" + std::to_string(point.second) + " failing");
        SetUp();
        if (point.first == "mciSendCommandA")
            mci::FailCommandNumber(point.second);
        else
            shell::FailCall(point.first, point.second);
        bool before = HasFailure();
        CheckEnd(RunSession(true), Settings{});
        if (!before && HasFailure() && ++failingPoints >= 5)
            FAIL() << "stopping after five failing points";
    }
    for (bool shellFails : {false, true}) {
        SCOPED_TRACE(shellFails ? "every shell call failing" : "every MCI command failing");
        SetUp();
        if (shellFails)
            shell::FailEveryCall();
        else
            mci::FailCommandNumber(-1);
        CheckEnd(RunSession(!shellFails), Settings{});
    }
    std::ostringstream figures;
    figures << "fault points injected " << points.size() + 2 << " (";
    for (const auto& s : seen)
        figures << s.first << " " << s.second << ", ";
    figures << "and two runs with every MCI command or every shell call failing)\n";
    WriteFigures("fault_injection", figures.str());
}

// Scenes the table above does not reach: the shell and the user's hands under a play, and a
// settings folder the program may not write.
TEST_F(FaultInjectionTest, HardScenesWhilePlaying) {
    const struct {
        const char* name;
        std::function<void()> scene;
        bool fileWritable;
    } cases[] = {
        {"shell restarts twice",
         [this] {
             ctl::At(1600, [this] {
                 shell::RestartTaskbar();
                 settledAt_ = 2100; // the icon comes back at the next tick
             });
             ctl::At(2700, [this] {
                 shell::RestartTaskbar();
                 settledAt_ = 3100;
             });
         },
         true},
        {"disc taken out", [] { ctl::At(1600, [] { mci::RemoveDisc('d'); }); }, true},
        {"door opened by hand", [] { ctl::At(1600, [] { mci::OpenDoorByHand('d'); }); }, true},
        {"settings folder without write access",
         [] { ctl::DenyWrites("C:\\Program Files\\trovanix"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        WriteSettingsFile("1", "2");
        c.scene();
        CheckEnd(RunSession(true), Settings{}, c.fileWritable);
    }
}

// ---- random sessions ----------------------------------------------------------------------

class RandomSessionTest : public ReliabilityTest {
  protected:
    // A random machine: one to three CD-ROM drives of either family, discs of audio and data
    // tracks, some drives empty or open, a settings file or none.
    Settings RandomScene(std::mt19937& rng) {
        auto roll = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        letters_.clear();
        for (int drives = 1 + roll(3); drives > 0; --drives) {
            char letter = static_cast<char>('d' + roll(6));
            letters_.push_back(letter);
            std::vector<mci::Track> disc;
            for (int t = 1 + roll(8); t > 0; --t)
                disc.push_back(roll(5) ? mci::Audio(1 + roll(20)) : mci::Data(1 + roll(20)));
            mci::CdDriveScene drive = mci::CdDrive(letter);
            int state = roll(8);
            if (state > 1)
                drive.WithDisc(disc);
            if (state == 1)
                drive.DoorOpen();
            if (roll(2))
                drive.SilentEnd();
            if (roll(4) == 0)
                drive.SpinUp(roll(2000));
            if (roll(10) == 0)
                drive.RefusesOpen();
        }
        Settings start;
        if (roll(3)) {
            start = Settings{roll(2), 1 + roll(2)};
            WriteSettingsFile(std::to_string(start.repeat), std::to_string(start.mode));
        }
        return start;
    }

    // One step of the user, the user's hands, the shell or a failing MCI command.
    void RandomStep(std::mt19937& rng) {
        auto roll = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        char letter = letters_[static_cast<size_t>(roll(static_cast<int>(letters_.size())))];
        switch (roll(14)) {
        case 0:
        case 1:
            shell::DoubleClick();
            break;
        case 2:
        case 3:
        case 4:
            shell::RightClick(); // the menu's item is picked at random
            break;
        case 5:
            shell::Click();
            break;
        case 6:
            mci::RemoveDisc(letter);
            break;
        case 7:
            mci::InsertDisc(letter, mci::AudioTracks(1 + roll(5), 1 + roll(10)));
            break;
        case 8:
            roll(2) ? mci::OpenDoorByHand(letter) : mci::CloseDoorByHand(letter);
            break;
        case 9:
            if (roll(3) == 0) {
                shell::StopTaskbar();
                ctl::After(1 + roll(3000), [] { shell::StartTaskbar(); });
            } else {
                shell::RestartTaskbar();
            }
            settledAt_ = ctl::Now() + 3600;
            break;
        case 10:
            mci::FailCommandNumber(static_cast<int>(mci::Commands().size()) + roll(20));
            break;
        default: // inside an open About box, if any
            switch (roll(4)) {
            case 0:
                ctl::PressOK();
                break;
            case 1:
                ctl::PressEsc();
                break;
            case 2:
                ctl::PressCloseBox();
                break;
            default:
                ctl::ClickControl(IDC_ABOUT_URL);
            }
        }
    }

    std::vector<char> letters_; // the scene's CD-ROM drives
};

TEST_F(RandomSessionTest, RandomUsersOnRandomMachines) {
    const int sessions = EnvInt("TROVANIX_SESSIONS", 60);
    const int stepsEach = EnvInt("TROVANIX_STEPS", 40);
    const unsigned firstSeed = static_cast<unsigned>(EnvInt("TROVANIX_SEED", 1));
    long steps = 0;
    for (unsigned seed = firstSeed; seed < firstSeed + static_cast<unsigned>(sessions); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed) +
                     " (rerun: TROVANIX_SEED=" + std::to_string(seed) + " TROVANIX_SESSIONS=1)");
        SetUp();
        std::mt19937 rng(seed);
        Settings start = RandomScene(rng);
        pick_ = [&rng](const ctl::DisplayedMenu& menu) -> UINT {
            // Anything but quit (the session ends at its own time); sometimes nothing.
            std::vector<UINT> ids;
            for (const ctl::MenuItem& item : menu.items)
                if (item.id && item.id != IDM_QUIT)
                    ids.push_back(item.id);
            return ids.empty() || rng() % 5 == 0 ? 0 : ids[rng() % ids.size()];
        };
        ctl::Millis t = 0;
        for (int i = 0; i < stepsEach; ++i) {
            t += 1 + static_cast<ctl::Millis>(rng() % 4000);
            ctl::At(t, [this, &rng, &steps] {
                RandomStep(rng);
                ++steps;
                CheckWhileRunning(true);
            });
        }
        ctl::At(t + 1000, [this] { Quit(); });
        bool before = HasFailure();
        CheckEnd(Run(), start);
        pick_ = nullptr;
        if (!before && HasFailure())
            break; // one seed to look at is enough
    }
    WriteFigures("random_sessions", "random sessions " + std::to_string(sessions) + ", steps " +
                                        std::to_string(steps) + ", first seed " +
                                        std::to_string(firstSeed) + "\n");
}

// ---- long sessions ------------------------------------------------------------------------

TEST_F(ReliabilityTest, ThousandMenusHundredAboutBoxesAndTenHoursGiveEveryHandleBack) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(12, 240));
    const ctl::Millis hour = 60 * 60 * 1000;
    ctl::SetTimeLimit(12 * hour);
    ctl::HandleCounts before{}, after{};
    ctl::At(1000, [&] { before = ctl::LiveHandles(); });
    // 1,000 menus, either kind, dismissed or with a harmless choice.
    for (int i = 0; i < 1000; ++i)
        ctl::At(2000 + 1000 * i, [this, i] {
            if (i % 2)
                shell::RightClick();
            else
                PickTrack(1 + i % 12);
        });
    // 100 About boxes, closed each way in turn.
    for (int i = 0; i < 100; ++i) {
        const ctl::Millis t = 1100000 + 2000 * i;
        ctl::At(t, [this] { Choose(IDM_ABOUT); });
        ctl::At(t + 1000, [i] {
            const std::function<bool()> closes[] = {
                ctl::PressOK, ctl::PressEsc, ctl::PressCloseBox,
                [] { return ctl::ClickControl(IDC_ABOUT_URL); }};
            EXPECT_TRUE(closes[i % 4]());
        });
    }
    // Ten hours of continuous play, the logs emptied as they go.
    ctl::At(1400000, [this] { Choose(IDM_PLAY); });
    for (ctl::Millis t = 1500000; t < 1400000 + 10 * hour; t += hour / 4)
        ctl::At(t, [] {
            ctl::ClearCalls();
            mci::ClearCommands();
            shell::ClearNotifyCalls();
        });
    ctl::At(1400000 + 10 * hour, [this] {
        EXPECT_TRUE(mci::IsPlaying('d'));
        Choose(IDM_STOP);
    });
    ctl::At(1401000 + 10 * hour, [&] { after = ctl::LiveHandles(); });
    QuitAt(1402000 + 10 * hour);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ctl::DialogRuns().size(), 100u);
    EXPECT_EQ(ctl::Describe(after), ctl::Describe(before));
    WriteFigures("handle_counts", "handle counts before: " + ctl::Describe(before) +
                                      "; after 1,000 menus, 100 About boxes, 10 hours of play: " +
                                      ctl::Describe(after) + "\n");
}

} // namespace
} // namespace program
