// The CD audio device operations against a simulated drive: the exact MCI traffic of each one,
// their results, and that a failure never writes an out-value.
#include "cd/cdaudio.h"

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <functional>
#include <string>
#include <vector>

namespace {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

const HWND kWindow = reinterpret_cast<HWND>(0x4C0);

std::string Id(MCIDEVICEID id) {
    return std::to_string(id);
}

// Drive d: holds a 10-track audio disc; the device is open as the player keeps it, in TMSF.
class CdAudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        mci::CdDrive('d').WithDisc(mci::AudioTracks(10, 200));
        ASSERT_TRUE(CdOpen("cdaudio", "d:\\", 0x2202, &device_));
        ASSERT_TRUE(CdSetTimeFormat(device_, MCI_FORMAT_TMSF));
        mci::ClearCommands();
    }

    std::string Dev() const { return Id(device_); }

    MCIDEVICEID device_ = DEVICE_NONE;
};

TEST_F(CdAudioTest, OpenSendsTypeElementAndCallersFlagsWithoutAlias) {
    MCIDEVICEID id = 0;
    ASSERT_EQ(CdOpen("cdaudio", "d:", 0x2202, &id), 1);
    EXPECT_NE(id, device_);
    EXPECT_EQ(mci::DriveOf(id), 'd');
    auto log = mci::Commands();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].device, 0u);
    EXPECT_EQ(log[0].callback, 0u);
    EXPECT_FALSE(log[0].hadAlias);
    EXPECT_EQ(mci::Trace()[0], "open cdaudio d: 0x2202 -> " + Id(id));
}

struct OpenFailure {
    const char* name;
    const char* type;
    const char* element;
};

class CdOpenFailureTest : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(CdOpenFailureTest, LeavesTheCallersIdUnchanged) {
    ctl::Reset();
    mci::CdDrive('d').WithDisc(mci::AudioTracks(3)).RefusesOpen();
    MCIDEVICEID id = 77;
    EXPECT_EQ(CdOpen(GetParam().type, GetParam().element, 0x2202, &id), 0);
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(mci::OpenDeviceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Opens, CdOpenFailureTest,
                         ::testing::Values(OpenFailure{"Refused", "cdaudio", "d:\\"},
                                           OpenFailure{"FixedDisk", "cdaudio", "c:\\"},
                                           OpenFailure{"NoDrive", "cdaudio", "q:\\"},
                                           OpenFailure{"OtherType", "sequencer", "d:\\"}),
                         [](const auto& info) { return info.param.name; });

struct SimpleOp {
    const char* name;
    std::function<int(MCIDEVICEID)> run;
    std::string line; // the trace line after "<verb> <device> "
};

class CdSimpleOpTest : public CdAudioTest, public ::testing::WithParamInterface<SimpleOp> {};

TEST_P(CdSimpleOpTest, SendsOneCommandWithExactFlagsAndZeroedRecord) {
    EXPECT_EQ(GetParam().run(device_), 1);
    auto log = mci::Commands();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].callback, 0u);
    if (!(log[0].flags & MCI_TRACK)) {
        EXPECT_EQ(log[0].track, 0u); // a track the command does not name is still zeroed
    }
    std::string line = mci::Trace()[0];
    std::string verb = line.substr(0, line.find(' '));
    EXPECT_EQ(line, verb + " " + Dev() + " " + GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CdSimpleOpTest,
    ::testing::Values(SimpleOp{"Stop", [](MCIDEVICEID d) { return CdStop(d); }, "0x2"},
                      SimpleOp{"Close", [](MCIDEVICEID d) { return CdClose(d); }, "0x2"},
                      SimpleOp{"TrackCount",
                               [](MCIDEVICEID d) {
                                   int c;
                                   return CdGetTrackCount(d, &c);
                               },
                               "0x102 tracks -> 10"},
                      SimpleOp{"Position",
                               [](MCIDEVICEID d) {
                                   DWORD v;
                                   return CdGetPosition(d, &v);
                               },
                               "0x102 position -> 0x1"},
                      SimpleOp{"Mode",
                               [](MCIDEVICEID d) {
                                   DWORD v;
                                   return CdGetMode(d, &v);
                               },
                               "0x102 mode -> 525"},
                      SimpleOp{"TimeFormat",
                               [](MCIDEVICEID d) {
                                   DWORD v;
                                   return CdGetTimeFormat(d, &v);
                               },
                               "0x102 format -> 10"},
                      SimpleOp{"TrackLength",
                               [](MCIDEVICEID d) {
                                   DWORD v;
                                   return CdGetTrackLength(d, 3, &v);
                               },
                               "0x112 length 3 -> 0x1403"},
                      SimpleOp{"TrackType",
                               [](MCIDEVICEID d) {
                                   DWORD v;
                                   return CdGetTrackType(d, 3, &v);
                               },
                               "0x112 type 3 -> 1088"},
                      SimpleOp{"SetTimeFormat",
                               [](MCIDEVICEID d) { return CdSetTimeFormat(d, 10); },
                               "0x402 format 10"},
                      SimpleOp{"OpenDoor", [](MCIDEVICEID d) { return CdOpenDoor(d); }, "0x102"},
                      SimpleOp{"CloseDoor", [](MCIDEVICEID d) { return CdCloseDoor(d); }, "0x202"}),
    [](const auto& info) { return info.param.name; });

struct DeadOp {
    const char* name;
    std::function<int(MCIDEVICEID, DWORD*)> run; // writes into the DWORD when it succeeds
};

class CdDeadDeviceTest : public CdAudioTest, public ::testing::WithParamInterface<DeadOp> {};

TEST_P(CdDeadDeviceTest, FailsAndLeavesTheOutValue) {
    MCIDEVICEID closed = DEVICE_NONE;
    ASSERT_TRUE(CdOpen("cdaudio", "d:", 0x2202, &closed));
    ASSERT_TRUE(CdClose(closed));
    for (MCIDEVICEID dead : {DEVICE_NONE, closed}) {
        DWORD out = 0xABCD1234;
        EXPECT_EQ(GetParam().run(dead, &out), 0) << "device " << dead;
        EXPECT_EQ(out, 0xABCD1234u) << "device " << dead;
    }
    EXPECT_FALSE(mci::IsPlaying('d'));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CdDeadDeviceTest,
    ::testing::Values(
        DeadOp{"Close", [](MCIDEVICEID d, DWORD*) { return CdClose(d); }},
        DeadOp{"Stop", [](MCIDEVICEID d, DWORD*) { return CdStop(d); }},
        DeadOp{"TrackCount",
               [](MCIDEVICEID d, DWORD* o) {
                   int c = static_cast<int>(*o);
                   int r = CdGetTrackCount(d, &c);
                   *o = static_cast<DWORD>(c);
                   return r;
               }},
        DeadOp{"Position", [](MCIDEVICEID d, DWORD* o) { return CdGetPosition(d, o); }},
        DeadOp{"Mode", [](MCIDEVICEID d, DWORD* o) { return CdGetMode(d, o); }},
        DeadOp{"TimeFormat", [](MCIDEVICEID d, DWORD* o) { return CdGetTimeFormat(d, o); }},
        DeadOp{"TrackLength", [](MCIDEVICEID d, DWORD* o) { return CdGetTrackLength(d, 1, o); }},
        DeadOp{"TrackType", [](MCIDEVICEID d, DWORD* o) { return CdGetTrackType(d, 1, o); }},
        DeadOp{"SetTimeFormat", [](MCIDEVICEID d, DWORD*) { return CdSetTimeFormat(d, 10); }},
        DeadOp{"OpenDoor", [](MCIDEVICEID d, DWORD*) { return CdOpenDoor(d); }},
        DeadOp{"CloseDoor", [](MCIDEVICEID d, DWORD*) { return CdCloseDoor(d); }},
        DeadOp{"PlayRange",
               [](MCIDEVICEID d, DWORD*) { return CdPlayRange(kWindow, d, MCI_FROM, 1, 2); }},
        DeadOp{"PlayTrack",
               [](MCIDEVICEID d, DWORD*) { return CdPlayTrack(kWindow, d, MCI_NOTIFY, 1); }},
        DeadOp{"IsValidTrack", [](MCIDEVICEID d, DWORD*) { return CdIsValidTrack(d, 1); }},
        DeadOp{"IsAudioTrack", [](MCIDEVICEID d, DWORD*) { return CdIsAudioTrack(d, 1); }},
        DeadOp{"FirstAudioTrack", [](MCIDEVICEID d, DWORD*) { return CdFirstAudioTrack(d); }}),
    [](const auto& info) { return info.param.name; });

// ---- plays ----------------------------------------------------------------------------------

TEST_F(CdAudioTest, PlayTrackInTheMiddleStopsAtTheNextTrack) {
    ASSERT_EQ(CdPlayTrack(kWindow, device_, MCI_NOTIFY, 3), 1);
    std::vector<std::string> expected = {
        "status " + Dev() + " 0x102 tracks -> 10",
        "status " + Dev() + " 0x102 format -> 10",
        "set " + Dev() + " 0x402 format 10",
        "play " + Dev() + " 0xd from 0x3 to 0x4 cb 0x4c0",
        "set " + Dev() + " 0x402 format 10",
    };
    EXPECT_EQ(mci::Trace(), expected);
    mci::Play play{};
    ASSERT_TRUE(mci::CurrentPlay('d', &play));
    EXPECT_EQ(play.fromTrack, 3);
    EXPECT_EQ(play.toTrack, 4);
    EXPECT_EQ(play.window, kWindow);
}

TEST_F(CdAudioTest, PlayOfTheLastTrackRunsToTheEndOfTheDisc) {
    ASSERT_EQ(CdPlayTrack(kWindow, device_, MCI_NOTIFY, 10), 1);
    auto log = mci::Commands();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3].command, UINT(MCI_PLAY));
    EXPECT_EQ(log[3].flags, 0x5u);
    EXPECT_EQ(log[3].from, 10u);
    EXPECT_EQ(log[3].to, 10u);
    mci::Play play{};
    ASSERT_TRUE(mci::CurrentPlay('d', &play));
    EXPECT_EQ(play.fromTrack, 10);
    EXPECT_EQ(play.toTrack, 0);
}

TEST_F(CdAudioTest, PlayTrackSendsNothingMoreWhenTheCountCannotBeRead) {
    mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS);
    EXPECT_EQ(CdPlayTrack(kWindow, device_, MCI_NOTIFY, 3), 0);
    EXPECT_EQ(mci::Trace(),
              std::vector<std::string>{"status " + Dev() + " 0x102 tracks -> error 262"});
    mci::RemoveDisc('d');
    mci::ClearCommands();
    EXPECT_EQ(CdPlayTrack(kWindow, device_, MCI_NOTIFY, 3), 0);
    EXPECT_EQ(mci::Commands().size(), 1u);
}

TEST_F(CdAudioTest, PlayTrackPassesTracksTheDiscLacksToTheDevice) {
    for (int track : {0, -1, 11}) {
        mci::ClearCommands();
        EXPECT_EQ(CdPlayTrack(kWindow, device_, MCI_NOTIFY, track), 0) << track;
        auto log = mci::Commands();
        ASSERT_EQ(log.size(), 5u) << track;
        EXPECT_EQ(log[3].flags, 0xDu) << track; // only the count itself plays to the end
        EXPECT_EQ(log[3].from, DWORD(static_cast<BYTE>(track)));
        EXPECT_EQ(log[3].result, MCIERROR(MCIERR_OUTOFRANGE));
        EXPECT_FALSE(mci::IsPlaying('d'));
    }
}

TEST_F(CdAudioTest, PlayRangeWithoutNotifySendsNoCallback) {
    ASSERT_EQ(CdPlayRange(kWindow, device_, MCI_FROM | MCI_TO, 2, 3), 1);
    auto log = mci::Commands();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].flags, 0xCu);
    EXPECT_EQ(log[2].callback, 0u);
    ctl::RunFor(300 * 1000);
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_TRUE(mci::Notifications().empty());
}

TEST_F(CdAudioTest, PlayRangePutsAnMsfDeviceBackIntoMsf) {
    ASSERT_TRUE(CdSetTimeFormat(device_, MCI_FORMAT_MSF));
    mci::ClearCommands();
    ASSERT_EQ(CdPlayRange(kWindow, device_, MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 3), 1);
    std::vector<std::string> expected = {
        "status " + Dev() + " 0x102 format -> 2",
        "set " + Dev() + " 0x402 format 10",
        "play " + Dev() + " 0xd from 0x2 to 0x3 cb 0x4c0",
        "set " + Dev() + " 0x402 format 2",
    };
    EXPECT_EQ(mci::Trace(), expected);
    EXPECT_EQ(mci::TimeFormatOf(device_), DWORD(MCI_FORMAT_MSF));
    mci::Play play{};
    ASSERT_TRUE(mci::CurrentPlay('d', &play));
    EXPECT_EQ(play.fromTrack, 2); // the play was read in TMSF
    EXPECT_EQ(play.toTrack, 3);
}

TEST_F(CdAudioTest, PlayRangeLeavesTmsfWhenTheFormatCannotBeRead) {
    ASSERT_TRUE(CdSetTimeFormat(device_, MCI_FORMAT_MSF));
    mci::FailCommand(MCI_STATUS, MCI_STATUS_TIME_FORMAT);
    mci::ClearCommands();
    EXPECT_EQ(CdPlayRange(kWindow, device_, MCI_NOTIFY | MCI_FROM, 4, 4), 1);
    auto trace = mci::Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[3], "set " + Dev() + " 0x402 format 10");
    EXPECT_EQ(mci::TimeFormatOf(device_), DWORD(MCI_FORMAT_TMSF));
    EXPECT_TRUE(mci::IsPlaying('d'));
}

TEST_F(CdAudioTest, PlayIsSentEvenWhenTheFormatCommandsFail) {
    mci::FailCommand(MCI_STATUS, MCI_STATUS_TIME_FORMAT);
    mci::FailCommand(MCI_SET, MCI_SET_TIME_FORMAT, 2);
    EXPECT_EQ(CdPlayRange(kWindow, device_, MCI_NOTIFY | MCI_FROM, 4, 4), 1);
    auto log = mci::Commands();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].command, UINT(MCI_PLAY));
    EXPECT_EQ(log[2].result, 0u);
}

TEST_F(CdAudioTest, PlayRangeReportsTheFailedPlayAndStillRestoresTheFormat) {
    ASSERT_TRUE(CdSetTimeFormat(device_, MCI_FORMAT_MSF));
    mci::FailCommand(MCI_PLAY);
    mci::ClearCommands();
    EXPECT_EQ(CdPlayRange(kWindow, device_, MCI_NOTIFY | MCI_FROM, 4, 4), 0);
    EXPECT_EQ(mci::Trace().back(), "set " + Dev() + " 0x402 format 2");
    EXPECT_EQ(mci::TimeFormatOf(device_), DWORD(MCI_FORMAT_MSF));
}

// ---- the predicates -------------------------------------------------------------------------

TEST_F(CdAudioTest, ValidTracksRunFromOneToTheCount) {
    const struct {
        int track;
        int valid;
    } cases[] = {{0, 0}, {-1, 0}, {-2147483647 - 1, 0}, {1, 1}, {10, 1}, {11, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CdIsValidTrack(device_, c.track), c.valid) << c.track;
    mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS);
    EXPECT_EQ(CdIsValidTrack(device_, 1), 0);
}

class CdMixedDiscTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        mci::CdDrive('d').WithDisc({mci::Data(300), mci::Audio(200), mci::Data(100)});
        ASSERT_TRUE(CdOpen("cdaudio", "d:\\", 0x2202, &device_));
        mci::ClearCommands();
    }
    MCIDEVICEID device_ = DEVICE_NONE;
};

TEST_F(CdMixedDiscTest, AudioTestReadsTheCountThenTheType) {
    EXPECT_EQ(CdIsAudioTrack(device_, 2), 1);
    std::vector<std::string> expected = {
        "status " + std::to_string(device_) + " 0x102 tracks -> 3",
        "status " + std::to_string(device_) + " 0x112 type 2 -> 1088",
    };
    EXPECT_EQ(mci::Trace(), expected);
    const struct {
        int track;
        int audio;
    } cases[] = {{1, 0}, {2, 1}, {3, 0}, {4, 0}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(CdIsAudioTrack(device_, c.track), c.audio) << c.track;
}

TEST_F(CdMixedDiscTest, AudioTestTakesAnUnreadableTypeAsNotAudio) {
    mci::FailCommand(MCI_STATUS, MCI_CDA_STATUS_TYPE_TRACK);
    EXPECT_EQ(CdIsAudioTrack(device_, 2), 0);
    EXPECT_EQ(CdIsAudioTrack(device_, 2), 1);
}

TEST_F(CdMixedDiscTest, FirstAudioTrackSkipsTheLeadingDataTrack) {
    EXPECT_EQ(CdFirstAudioTrack(device_), 2);
    // Each track examined costs the count and the type.
    EXPECT_EQ(mci::Commands().size(), 1u + 2u * 2u);
}

struct FirstAudioCase {
    const char* name;
    std::function<void()> scene;
    int first;
};

class CdFirstAudioTest : public ::testing::TestWithParam<FirstAudioCase> {};

TEST_P(CdFirstAudioTest, FindsTheLowestAudioTrack) {
    ctl::Reset();
    mci::CdDrive('d');
    GetParam().scene();
    MCIDEVICEID device = DEVICE_NONE;
    ASSERT_TRUE(CdOpen("cdaudio", "d:\\", 0x2202, &device));
    EXPECT_EQ(CdFirstAudioTrack(device), GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(
    Discs, CdFirstAudioTest,
    ::testing::Values(FirstAudioCase{"AllAudio", [] { mci::InsertDisc('d', mci::AudioTracks(4)); },
                                     1},
                      FirstAudioCase{"DataFirst",
                                     [] {
                                         mci::InsertDisc('d', {mci::Data(60), mci::Audio(60)});
                                     },
                                     2},
                      FirstAudioCase{"OnlyData",
                                     [] {
                                         mci::InsertDisc('d', {mci::Data(60), mci::Data(60)});
                                     },
                                     0},
                      FirstAudioCase{"NoTracks", [] { mci::InsertDisc('d', {}); }, 0},
                      FirstAudioCase{"NoDisc", [] {}, 0},
                      FirstAudioCase{"CountUnreadable",
                                     [] {
                                         mci::InsertDisc('d', mci::AudioTracks(4));
                                         mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS);
                                     },
                                     0}),
    [](const auto& info) { return info.param.name; });

} // namespace
