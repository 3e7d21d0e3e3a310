// What the program asks of the platform while it sits in the tray: the MCI commands and shell
// calls of one status poll, and the MCI commands of the drive scan at start-up. The poll is
// held to what its design needs: the four status queries and at most two tray calls. Each
// case also prints its counts on a "bench:" line, which scripts/bench puts into its table.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

// make bench runs this table under callgrind, counting the instructions of the measured ticks
// alone; elsewhere the requests are nothing.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include <winsim/control.h>

#include "cd/drives.h"
#include "player/player.h"
#include "tray/trayicon.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;
namespace shell = winsim::control::shell;

namespace {

const int kTicks = 20;

struct TickCase {
    const char* name;
    void (*scene)();
    bool play;
    bool notifyArea; // false: one that is not "TrayNotifyWnd", as Wine's
};

void LongDisc() {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(12, 600));
}
void EmptyDrive() {
    mci::CdDrive('d');
}
void NoDrive() {}

class TickCostTest : public ::testing::TestWithParam<TickCase> {
  protected:
    void SetUp() override {
        ctl::Reset();
        window = ctl::CreateTestWindow(DefWindowProcA);
        shell::StartTaskbar(GetParam().notifyArea ? shell::NotifyArea::Classic
                                                  : shell::NotifyArea::Other);
    }
    void TearDown() override {
        TrayTeardown(window);
        PlayerSettings out{};
        PlayerDestroy(window, &out);
        DestroyWindow(window);
    }
    HWND window = NULL;
};

TEST_P(TickCostTest, PollMakesOnlyTheCallsTheDesignNeeds) {
    const TickCase& c = GetParam();
    c.scene();
    PlayerSettings settings{PLAY_CONTINUOUS, 0};
    ASSERT_TRUE(PlayerCreate(window, &settings));
    TraySetup(window);
    if (c.play)
        PlayerPlay(window);
    ctl::RunFor(1000);
    ctl::ClearCalls();
    mci::ClearCommands();
    shell::ClearNotifyCalls();
    CALLGRIND_ZERO_STATS;
    ctl::RunFor(kTicks * TRAY_POLL_PERIOD);
    CALLGRIND_DUMP_STATS_AT("ticks");

    int status = 0, otherMci = 0;
    for (const mci::Command& m : mci::Commands())
        (m.command == MCI_STATUS ? status : otherMci)++;
    int tray = static_cast<int>(shell::NotifyCalls().size());
    std::map<std::string, int> apis;
    for (const ctl::Call& call : ctl::Calls())
        apis[call.api]++;
    std::string perApi;
    for (const auto& [api, n] : apis)
        perApi += " " + api + "=" + std::to_string(n / kTicks);
    std::printf("bench: tick %s: ticks=%d mci=%d status=%d tray=%d calls=%d:%s\n", c.name, kTicks,
                (status + otherMci) / kTicks, status / kTicks, tray / kTicks,
                static_cast<int>(ctl::Calls().size()) / kTicks, perApi.c_str());
    EXPECT_LE(status, 4 * kTicks) << c.name;
    EXPECT_EQ(otherMci, 0) << c.name;
    EXPECT_LE(tray, 2 * kTicks) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, TickCostTest,
                         ::testing::Values(TickCase{"playing", LongDisc, true, true},
                                           TickCase{"stopped", LongDisc, false, true},
                                           TickCase{"no disc", EmptyDrive, false, true},
                                           TickCase{"no drive", NoDrive, false, true},
                                           TickCase{"playing, no notification area", LongDisc, true,
                                                    false}),
                         [](const ::testing::TestParamInfo<TickCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 if (isalnum(static_cast<unsigned char>(*p)))
                                     name += *p;
                             return name;
                         });

struct ScanCase {
    const char* name;
    void (*scene)();
    char letter; // the drive the scan keeps, 0 for none
};

void DataThenAudio() {
    mci::CdDrive('d').WithDisc({mci::Data(600)});
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2, 60));
}
void TwentySixDrives() {
    for (char letter = 'a'; letter < 'z'; ++letter)
        mci::CdDrive(letter);
    mci::CdDrive('z').WithDisc(mci::AudioTracks(2, 60));
}

class ScanCostTest : public ::testing::TestWithParam<ScanCase> {};

// The scan's commands are those before the player sets the time format of what it kept.
TEST_P(ScanCostTest, ScanCommandsAreCounted) {
    const ScanCase& c = GetParam();
    ctl::Reset();
    HWND window = ctl::CreateTestWindow(DefWindowProcA);
    c.scene();
    mci::ClearCommands();
    PlayerSettings settings{PLAY_CONTINUOUS, 0};
    ASSERT_TRUE(PlayerCreate(window, &settings));
    int scan = 0, opens = 0;
    for (const mci::Command& m : mci::Commands()) {
        if (m.command == MCI_SET && (m.flags & MCI_SET_TIME_FORMAT))
            break;
        ++scan;
        opens += m.command == MCI_OPEN;
    }
    std::printf("bench: scan %s: mci=%d opens=%d\n", c.name, scan, opens);
    EXPECT_EQ(PlayerGetDriveIndex(window) + 'a', c.letter) << c.name;
    PlayerSettings out{};
    PlayerDestroy(window, &out);
    DestroyWindow(window);
}

INSTANTIATE_TEST_SUITE_P(Scenes, ScanCostTest,
                         ::testing::Values(ScanCase{"no CD-ROM drive", NoDrive, 0},
                                           ScanCase{"one empty drive", EmptyDrive, 'd'},
                                           ScanCase{"data then audio", DataThenAudio, 'e'},
                                           ScanCase{"26 CD-ROM drives, audio on z:",
                                                    TwentySixDrives, 'z'}));

} // namespace
