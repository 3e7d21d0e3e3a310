// The simulated drives and cdaudio device where their behaviour is subtle: ids, time formats,
// positions on the clock, the notification codes, refusals, and the kernel32 drive queries.
#include <windows.h>
#include <dbt.h>
#include <mmsystem.h>

#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;

MCIERROR Open(const char* element, MCIDEVICEID* id) {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "cdaudio";
    p.lpstrElementName = element;
    MCIERROR r = mciSendCommandA(0, MCI_OPEN, MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                                 reinterpret_cast<DWORD_PTR>(&p));
    if (r == 0)
        *id = p.wDeviceID;
    return r;
}

MCIERROR Status(MCIDEVICEID id, DWORD item, DWORD* value, DWORD track = 0) {
    MCI_STATUS_PARMS p{};
    p.dwItem = item;
    p.dwTrack = track;
    p.dwReturn = 0xDEADBEEF;
    DWORD flags = MCI_WAIT | MCI_STATUS_ITEM | (track ? MCI_TRACK : 0);
    MCIERROR r = mciSendCommandA(id, MCI_STATUS, flags, reinterpret_cast<DWORD_PTR>(&p));
    *value = static_cast<DWORD>(p.dwReturn);
    return r;
}

MCIERROR SetFormat(MCIDEVICEID id, DWORD format) {
    MCI_SET_PARMS p{};
    p.dwTimeFormat = format;
    return mciSendCommandA(id, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT,
                           reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR Play(MCIDEVICEID id, DWORD flags, DWORD from, DWORD to, HWND window) {
    MCI_PLAY_PARMS p{};
    p.dwCallback = reinterpret_cast<DWORD_PTR>(window);
    p.dwFrom = from;
    p.dwTo = to;
    return mciSendCommandA(id, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR Generic(MCIDEVICEID id, UINT command) {
    MCI_GENERIC_PARMS p{};
    return mciSendCommandA(id, command, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&p));
}

class WinsimMciTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        window_ = winsim::control::CreateTestWindow(DefWindowProcA);
        // Tracks 1 and 2 of 2 minutes, a data track, and a last audio track of 1 minute.
        mci::CdDrive('d').WithDisc(
            {mci::Audio(120), mci::Audio(120), mci::Data(300), mci::Audio(60)});
        ASSERT_EQ(Open("d:\\", &id_), 0u);
        ASSERT_EQ(SetFormat(id_, MCI_FORMAT_TMSF), 0u);
    }

    std::vector<WPARAM> Codes() const {
        std::vector<WPARAM> codes;
        for (const mci::Notification& n : mci::Notifications())
            codes.push_back(n.code);
        return codes;
    }

    HWND window_ = nullptr;
    MCIDEVICEID id_ = 0;
};

TEST_F(WinsimMciTest, IdsAreNonZeroAndNeverReused) {
    EXPECT_NE(id_, 0u);
    MCIDEVICEID second = 0;
    ASSERT_EQ(Open("D:", &second), 0u);
    EXPECT_NE(second, id_);
    EXPECT_EQ(Generic(id_, MCI_CLOSE), 0u);
    MCIDEVICEID third = 0;
    ASSERT_EQ(Open("d:\\", &third), 0u);
    EXPECT_NE(third, id_);
    EXPECT_NE(third, second);
    DWORD value = 0;
    EXPECT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(Status(0, MCI_STATUS_NUMBER_OF_TRACKS, &value), MCIERROR(MCIERR_INVALID_DEVICE_ID));
}

TEST_F(WinsimMciTest, FailedOpenMayStillWriteAnIdThatIsNeverValid) {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "cdaudio";
    p.lpstrElementName = "c:\\"; // a fixed disk
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2202, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERROR(MCIERR_INVALID_FILE));
    ASSERT_NE(p.wDeviceID, 0u);
    DWORD value = 0;
    EXPECT_EQ(Status(p.wDeviceID, MCI_STATUS_MODE, &value), MCIERROR(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(mci::OpenDeviceCount(), 1);
}

TEST_F(WinsimMciTest, OpenRefusesOtherDeviceTypesAndElements) {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "waveaudio";
    p.lpstrElementName = "d:\\";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2202, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERROR(MCIERR_INVALID_DEVICE_NAME));
    MCIDEVICEID id = 77;
    EXPECT_EQ(Open("d:\\track01.cda", &id), MCIERROR(MCIERR_INVALID_FILE));
    EXPECT_EQ(Open("q:\\", &id), MCIERROR(MCIERR_INVALID_FILE));
    EXPECT_EQ(id, 77u);
}

TEST_F(WinsimMciTest, NewDeviceStartsInMsf) {
    MCIDEVICEID fresh = 0;
    ASSERT_EQ(Open("d:", &fresh), 0u);
    DWORD format = 0;
    ASSERT_EQ(Status(fresh, MCI_STATUS_TIME_FORMAT, &format), 0u);
    EXPECT_EQ(format, DWORD(MCI_FORMAT_MSF));
    EXPECT_EQ(mci::TimeFormatOf(id_), DWORD(MCI_FORMAT_TMSF));
}

TEST_F(WinsimMciTest, PositionAdvancesWithTheClockInEachFormat) {
    ASSERT_EQ(Play(id_, MCI_FROM, MCI_MAKE_TMSF(2, 0, 0, 0), 0, nullptr), 0u);
    ctl::RunFor(61500); // 1 min 1.5 s: 4612 frames
    DWORD position = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_POSITION, &position), 0u);
    EXPECT_EQ(position, MCI_MAKE_TMSF(2, 1, 1, 37));
    // Track 2 starts 2 s of lead-in and 2 min of track 1 into the disc.
    ASSERT_EQ(SetFormat(id_, MCI_FORMAT_MSF), 0u);
    ASSERT_EQ(Status(id_, MCI_STATUS_POSITION, &position), 0u);
    EXPECT_EQ(position, MCI_MAKE_MSF(3, 3, 37));
    ASSERT_EQ(SetFormat(id_, MCI_FORMAT_MILLISECONDS), 0u);
    ASSERT_EQ(Status(id_, MCI_STATUS_POSITION, &position), 0u);
    EXPECT_EQ(position, DWORD((150 + 9000 + 4612) * 1000 / 75 + 1)) << "counted from 1";
}

TEST_F(WinsimMciTest, LengthsAreMsfInTmsfAndMillisecondsInMilliseconds) {
    DWORD length = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_LENGTH, &length, 1), 0u);
    EXPECT_EQ(length, MCI_MAKE_MSF(2, 0, 0));
    // The last track and the disc read one frame short.
    ASSERT_EQ(Status(id_, MCI_STATUS_LENGTH, &length, 4), 0u);
    EXPECT_EQ(length, MCI_MAKE_MSF(0, 59, 74));
    ASSERT_EQ(Status(id_, MCI_STATUS_LENGTH, &length), 0u);
    EXPECT_EQ(length, MCI_MAKE_MSF(9, 59, 74));
    ASSERT_EQ(SetFormat(id_, MCI_FORMAT_MILLISECONDS), 0u);
    ASSERT_EQ(Status(id_, MCI_STATUS_LENGTH, &length, 4), 0u);
    EXPECT_EQ(length, 4499u * 1000 / 75 + 1);
    EXPECT_EQ(Status(id_, MCI_STATUS_LENGTH, &length, 5), MCIERROR(MCIERR_OUTOFRANGE));
}

TEST_F(WinsimMciTest, PlayEndsAtTheNextTrackWithSuccess) {
    ASSERT_EQ(Play(id_, MCI_NOTIFY | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(1, 0, 0, 0),
                   MCI_MAKE_TMSF(2, 0, 0, 0), window_),
              0u);
    DWORD mode = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_PLAY));
    ctl::RunFor(119999);
    EXPECT_TRUE(mci::IsPlaying('d'));
    EXPECT_TRUE(Codes().empty());
    ctl::RunFor(1);
    EXPECT_FALSE(mci::IsPlaying('d'));
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_STOP));
    EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(2, 0, 0, 0));
    auto n = mci::Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].window, window_);
    EXPECT_EQ(n[0].code, WPARAM(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(n[0].device, id_);
    EXPECT_EQ(n[0].time, 120000);
}

TEST_F(WinsimMciTest, SpinUpHoldsThePlayAtItsStartAndDelaysItsEnd) {
    mci::CdDriveScene('d').SpinUp(1500);
    ASSERT_EQ(Play(id_, MCI_NOTIFY | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(2, 0, 0, 0),
                   MCI_MAKE_TMSF(3, 0, 0, 0), window_),
              0u);
    DWORD mode = 0;
    for (ctl::Millis step : {0, 1499}) {
        ctl::RunFor(step);
        ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
        EXPECT_EQ(mode, DWORD(MCI_MODE_STOP)) << step;
        EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(2, 0, 0, 0)) << step;
    }
    ctl::RunFor(1001);
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_PLAY));
    EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(2, 0, 1, 0));
    ctl::RunFor(119000 - 1);
    EXPECT_TRUE(Codes().empty());
    ctl::RunFor(1);
    auto n = mci::Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].code, WPARAM(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(n[0].time, 121500);
}

struct InterruptCase {
    const char* name;
    std::function<void(MCIDEVICEID, HWND)> action;
    std::vector<WPARAM> codes;
    // On a SilentEnd() drive, the action taken after the play ended unreported, then a close.
    std::vector<WPARAM> silentCodes;
};

class WinsimMciInterruptTest : public WinsimMciTest,
                               public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(WinsimMciInterruptTest, PendingPlayReportsHowItEnded) {
    ASSERT_EQ(Play(id_, MCI_NOTIFY | MCI_FROM, MCI_MAKE_TMSF(1, 0, 0, 0), 0, window_), 0u);
    ctl::RunFor(1000);
    GetParam().action(id_, window_);
    ctl::RunFor(10 * 60 * 1000); // long enough for any play to end
    EXPECT_EQ(Codes(), GetParam().codes);
}

TEST_P(WinsimMciInterruptTest, SilentDriveKeepsTheNotificationPending) {
    mci::CdDriveScene('d').SilentEnd();
    ASSERT_EQ(Play(id_, MCI_NOTIFY | MCI_FROM | MCI_TO, MCI_MAKE_TMSF(1, 0, 0, 0),
                   MCI_MAKE_TMSF(2, 0, 0, 0), window_),
              0u);
    ctl::RunFor(121000);
    EXPECT_TRUE(Codes().empty());
    DWORD mode = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_STOP));
    EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(2, 0, 0, 0));
    GetParam().action(id_, window_);
    ctl::RunFor(10 * 60 * 1000);
    Generic(id_, MCI_CLOSE);
    EXPECT_EQ(Codes(), GetParam().silentCodes);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, WinsimMciInterruptTest,
    ::testing::Values(InterruptCase{"Stop",
                                    [](MCIDEVICEID id, HWND) { Generic(id, MCI_STOP); },
                                    {MCI_NOTIFY_ABORTED},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"Close",
                                    [](MCIDEVICEID id, HWND) { Generic(id, MCI_CLOSE); },
                                    {MCI_NOTIFY_ABORTED},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"PlayWithNotify",
                                    [](MCIDEVICEID id, HWND w) {
                                        Play(id, MCI_NOTIFY | MCI_FROM | MCI_TO,
                                             MCI_MAKE_TMSF(4, 0, 0, 0), MCI_MAKE_TMSF(4, 0, 1, 0),
                                             w);
                                    },
                                    {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_SUCCESSFUL},
                                    {MCI_NOTIFY_SUPERSEDED, MCI_NOTIFY_ABORTED}},
                      InterruptCase{"PlayWithoutNotify",
                                    [](MCIDEVICEID id, HWND) {
                                        Play(id, MCI_FROM, MCI_MAKE_TMSF(4, 0, 0, 0), 0, nullptr);
                                    },
                                    {MCI_NOTIFY_ABORTED},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"DoorCommand",
                                    [](MCIDEVICEID id, HWND) {
                                        MCI_SET_PARMS p{};
                                        mciSendCommandA(id, MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN,
                                                        reinterpret_cast<DWORD_PTR>(&p));
                                    },
                                    {MCI_NOTIFY_ABORTED},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"DoorByHand",
                                    [](MCIDEVICEID, HWND) { mci::OpenDoorByHand('d'); },
                                    {MCI_NOTIFY_FAILURE},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"DiscTakenOut",
                                    [](MCIDEVICEID, HWND) { mci::RemoveDisc('d'); },
                                    {MCI_NOTIFY_FAILURE},
                                    {MCI_NOTIFY_ABORTED}},
                      InterruptCase{"RefusedPlayChangesNothing",
                                    [](MCIDEVICEID id, HWND w) {
                                        Play(id, MCI_NOTIFY | MCI_FROM, MCI_MAKE_TMSF(9, 0, 0, 0),
                                             0, w);
                                    },
                                    {MCI_NOTIFY_SUCCESSFUL},
                                    {MCI_NOTIFY_ABORTED}}),
    [](const ::testing::TestParamInfo<InterruptCase>& info) { return info.param.name; });

struct RefusedPlay {
    const char* name;
    DWORD flags;
    DWORD from;
    DWORD to;
    MCIERROR error;
};

class WinsimMciRefusedPlayTest : public WinsimMciTest,
                                 public ::testing::WithParamInterface<RefusedPlay> {};

TEST_P(WinsimMciRefusedPlayTest, NothingPlays) {
    const RefusedPlay& c = GetParam();
    EXPECT_EQ(Play(id_, c.flags, c.from, c.to, window_), c.error);
    EXPECT_FALSE(mci::IsPlaying('d'));
    ctl::RunFor(1000);
    EXPECT_TRUE(Codes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Plays, WinsimMciRefusedPlayTest,
    ::testing::Values(
        RefusedPlay{"TrackZero", MCI_NOTIFY | MCI_FROM, 0, 0, MCIERR_OUTOFRANGE},
        RefusedPlay{"PastTheLastTrack", MCI_NOTIFY | MCI_FROM, 5, 0, MCIERR_OUTOFRANGE},
        RefusedPlay{"EndPastTheLastTrack", MCI_NOTIFY | MCI_FROM | MCI_TO, 4, 5, MCIERR_OUTOFRANGE},
        RefusedPlay{"EndBeforeStart", MCI_NOTIFY | MCI_FROM | MCI_TO, 2, 1, MCIERR_OUTOFRANGE}),
    [](const ::testing::TestParamInfo<RefusedPlay>& info) { return info.param.name; });

TEST_F(WinsimMciTest, PlayFromADataTrackSucceedsAndTheDriveStaysStopped) {
    ASSERT_EQ(Play(id_, MCI_FROM, MCI_MAKE_TMSF(1, 0, 0, 0), 0, nullptr), 0u);
    ctl::RunFor(1000);
    ASSERT_EQ(Play(id_, MCI_NOTIFY | MCI_FROM, MCI_MAKE_TMSF(3, 0, 0, 0), 0, window_), 0u);
    EXPECT_FALSE(mci::IsPlaying('d'));
    EXPECT_EQ(mci::Position('d'), MCI_MAKE_TMSF(1, 0, 1, 0)) << "where the play stopped";
    DWORD mode = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_STOP));
    EXPECT_EQ(Codes(), std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL});
}

TEST_F(WinsimMciTest, WithoutADiscQueriesFailButFormatAndModeAnswer) {
    for (auto change : {+[] { mci::RemoveDisc('d'); }, +[] { mci::OpenDoorByHand('d'); }}) {
        change();
        DWORD value = 0;
        EXPECT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value),
                  MCIERROR(MCIERR_DEVICE_NOT_READY));
        EXPECT_EQ(value, 0xDEADBEEFu) << "written on failure";
        EXPECT_EQ(Status(id_, MCI_STATUS_POSITION, &value), MCIERROR(MCIERR_DEVICE_NOT_READY));
        EXPECT_EQ(Status(id_, MCI_CDA_STATUS_TYPE_TRACK, &value, 1),
                  MCIERROR(MCIERR_DEVICE_NOT_READY));
        EXPECT_EQ(Play(id_, MCI_FROM, 1, 0, nullptr), MCIERROR(MCIERR_DEVICE_NOT_READY));
        ASSERT_EQ(Status(id_, MCI_STATUS_TIME_FORMAT, &value), 0u);
        EXPECT_EQ(value, DWORD(MCI_FORMAT_TMSF));
        ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &value), 0u);
        EXPECT_NE(value, DWORD(MCI_MODE_PLAY));
    }
    DWORD mode = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_OPEN));
    mci::CloseDoorByHand('d');
    ASSERT_EQ(Status(id_, MCI_STATUS_MODE, &mode), 0u);
    EXPECT_EQ(mode, DWORD(MCI_MODE_NOT_READY));
}

TEST_F(WinsimMciTest, DoorCommandsMoveTheDoor) {
    MCI_SET_PARMS p{};
    ASSERT_EQ(mciSendCommandA(id_, MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN,
                              reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_TRUE(mci::IsDoorOpen('d'));
    ASSERT_EQ(mciSendCommandA(id_, MCI_SET, MCI_WAIT | MCI_SET_DOOR_CLOSED,
                              reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_FALSE(mci::IsDoorOpen('d'));
    DWORD count = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &count), 0u);
    EXPECT_EQ(count, 4u);
}

TEST_F(WinsimMciTest, InjectedFailuresMatchItemTimesAndDrive) {
    mci::CdDrive('e').WithDisc(mci::AudioTracks(3));
    MCIDEVICEID e = 0;
    ASSERT_EQ(Open("e:\\", &e), 0u);
    mci::FailCommand(MCI_STATUS, MCI_STATUS_NUMBER_OF_TRACKS, 2, MCIERR_HARDWARE, 'e');
    DWORD value = 0;
    EXPECT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value), 0u) << "other drive";
    EXPECT_EQ(Status(e, MCI_STATUS_MODE, &value), 0u) << "other item";
    EXPECT_EQ(Status(e, MCI_STATUS_NUMBER_OF_TRACKS, &value), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(Status(e, MCI_STATUS_NUMBER_OF_TRACKS, &value), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(Status(e, MCI_STATUS_NUMBER_OF_TRACKS, &value), 0u) << "used up";
    EXPECT_EQ(value, 3u);
    mci::FailCommand(MCI_SET, MCI_SET_DOOR_OPEN, -1);
    MCI_SET_PARMS p{};
    EXPECT_EQ(SetFormat(id_, MCI_FORMAT_MSF), 0u) << "other flag";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(mciSendCommandA(e, MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN,
                                  reinterpret_cast<DWORD_PTR>(&p)),
                  MCIERROR(MCIERR_HARDWARE));
    EXPECT_FALSE(mci::IsDoorOpen('e'));
    // By number: the call with that number since the reset, whatever it is; then every call.
    mci::ClearFailures();
    mci::FailCommandNumber(static_cast<int>(mci::Commands().size()) + 1);
    EXPECT_EQ(Status(e, MCI_STATUS_MODE, &value), 0u);
    EXPECT_EQ(Status(e, MCI_STATUS_MODE, &value), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(Status(e, MCI_STATUS_MODE, &value), 0u);
    mci::FailCommandNumber(-1);
    EXPECT_EQ(Open("d:", &e), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(mciSendCommandA(id_, MCI_CLOSE, MCI_WAIT, 0), MCIERROR(MCIERR_HARDWARE));
    EXPECT_EQ(mci::OpenDeviceCount(), 2);
}

TEST_F(WinsimMciTest, SecondOpenOfADriveCanBeRefused) {
    // The layer refuses a name in use; another spelling of the drive reaches it (on a layer
    // without the NT family's fault, which would refuse every later open).
    mci::DuplicateOpenBreaksOpens(false);
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "cdaudio";
    p.lpstrElementName = "D:\\";
    p.wDeviceID = 77;
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0x2202, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERROR(MCIERR_DEVICE_OPEN));
    EXPECT_EQ(p.wDeviceID, 77u);
    MCIDEVICEID second = 0;
    EXPECT_EQ(Open("d:", &second), 0u);
    mci::CdDrive('e').RefusesSecondOpen();
    MCIDEVICEID e1 = 0, e2 = 0;
    ASSERT_EQ(Open("e:\\", &e1), 0u);
    EXPECT_EQ(Open("e:", &e2), MCIERROR(MCIERR_MUST_USE_SHAREABLE));
    Generic(e1, MCI_CLOSE);
    EXPECT_EQ(Open("e:", &e2), 0u);
    mci::CdDrive('f').RefusesOpen();
    MCIDEVICEID f = 0;
    EXPECT_NE(Open("f:\\", &f), 0u);
}

TEST_F(WinsimMciTest, ARefusedDuplicateOpenBreaksEveryLaterOpen) {
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2)).RefusesRootElement();
    MCIDEVICEID e = 0;
    EXPECT_EQ(Open("e:\\", &e), MCIERROR(MCIERR_INVALID_FILE));
    EXPECT_EQ(Open("e:", &e), 0u);
    MCIDEVICEID other = 0;
    EXPECT_EQ(Open("d:\\", &other), MCIERROR(MCIERR_DEVICE_OPEN));
    Generic(id_, MCI_CLOSE);
    EXPECT_EQ(Open("d:\\", &other), MCIERROR(MCIERR_EXTENSION_NOT_FOUND));
}

TEST_F(WinsimMciTest, AnOpenDeviceKeepsTheTableOfContentsItRead) {
    mci::CdDrive('e').WithDisc(mci::AudioTracks(2)).LiveToc();
    MCIDEVICEID e = 0;
    ASSERT_EQ(Open("e:", &e), 0u);
    mci::InsertDisc('d', mci::AudioTracks(2, 10));
    mci::InsertDisc('e', mci::AudioTracks(3));
    DWORD value = 0;
    ASSERT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value), 0u);
    EXPECT_EQ(value, 4u);
    ASSERT_EQ(Status(e, MCI_STATUS_NUMBER_OF_TRACKS, &value), 0u);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(Play(id_, MCI_FROM, MCI_MAKE_TMSF(2, 0, 0, 0), 0, nullptr),
              MCIERROR(MCIERR_HARDWARE));
    Generic(id_, MCI_CLOSE);
    ASSERT_EQ(Open("d:", &id_), 0u);
    ASSERT_EQ(Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value), 0u);
    EXPECT_EQ(value, 2u);
}

TEST_F(WinsimMciTest, TheUsersDiscChangesAreBroadcastToTopLevelWindows) {
    static std::vector<std::string> seen;
    seen.clear();
    ctl::CreateTestWindow([](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_DEVICECHANGE) {
            const auto* v = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(l);
            seen.push_back(std::to_string(w) + " " + std::to_string(v->dbcv_unitmask) + " " +
                           std::to_string(v->dbcv_devicetype) + " " +
                           std::to_string(v->dbcv_flags));
        }
        return DefWindowProcA(h, m, w, l);
    });
    mci::CdDrive('e').SilentMediaChange();
    mci::InsertDisc('e', mci::AudioTracks(1));
    mci::InsertDisc('d', mci::AudioTracks(1));
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(seen, (std::vector<std::string>{"32772 8 2 1", "32768 8 2 1"}));
}

TEST_F(WinsimMciTest, TraceDescribesEachCommand) {
    mci::ClearCommands();
    DWORD value = 0;
    Status(id_, MCI_STATUS_NUMBER_OF_TRACKS, &value);
    Status(id_, MCI_CDA_STATUS_TYPE_TRACK, &value, 3);
    Play(id_, MCI_NOTIFY | MCI_FROM | MCI_TO, 1, 2, reinterpret_cast<HWND>(0x1234));
    Generic(id_, MCI_STOP);
    Generic(0, MCI_CLOSE);
    std::vector<std::string> expected = {
        "status " + std::to_string(id_) + " 0x102 tracks -> 4",
        "status " + std::to_string(id_) + " 0x112 type 3 -> 1089",
        "play " + std::to_string(id_) + " 0xd from 0x1 to 0x2 cb 0x1234",
        "stop " + std::to_string(id_) + " 0x2",
        "close 0 0x2 -> error 257",
    };
    EXPECT_EQ(mci::Trace(), expected);
}

// ---- kernel32 drive queries ------------------------------------------------------------------

struct DriveTypeCase {
    const char* root;
    UINT type;
};

class WinsimDriveTypeTest : public ::testing::TestWithParam<DriveTypeCase> {
  protected:
    void SetUp() override {
        ctl::Reset();
        mci::CdDrive('d');
        mci::CdDrive('e').ReportsType(DRIVE_REMOVABLE);
        mci::FixedDisk('f');
    }
};

TEST_P(WinsimDriveTypeTest, ReportsTheScene) {
    EXPECT_EQ(GetDriveTypeA(GetParam().root), GetParam().type)
        << (GetParam().root ? GetParam().root : "NULL");
}

INSTANTIATE_TEST_SUITE_P(
    Roots, WinsimDriveTypeTest,
    ::testing::Values(DriveTypeCase{"c:\\", DRIVE_FIXED}, DriveTypeCase{"d:\\", DRIVE_CDROM},
                      DriveTypeCase{"D:\\", DRIVE_CDROM}, DriveTypeCase{"e:\\", DRIVE_REMOVABLE},
                      DriveTypeCase{"f:\\", DRIVE_FIXED}, DriveTypeCase{"g:\\", DRIVE_NO_ROOT_DIR},
                      DriveTypeCase{"d:", DRIVE_NO_ROOT_DIR},
                      DriveTypeCase{"1:\\", DRIVE_NO_ROOT_DIR},
                      DriveTypeCase{nullptr, DRIVE_FIXED}));

class WinsimVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override { ctl::Reset(); }
    BOOL Label(const char* root, char* buf, DWORD size) {
        DWORD maxLen = 0, flags = 0;
        return GetVolumeInformationA(root, buf, size, nullptr, &maxLen, &flags, nullptr, 0);
    }
};

TEST_F(WinsimVolumeTest, ReadsTheLabelOfADisc) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(2)).Label("\x83\x7D\x83\x43MUSIC");
    char buf[256] = "old";
    ASSERT_TRUE(Label("d:\\", buf, sizeof buf));
    EXPECT_STREQ(buf, "\x83\x7D\x83\x43MUSIC");
}

TEST_F(WinsimVolumeTest, FailsWithoutADiscAndLeavesTheBuffer) {
    mci::CdDrive('d');
    mci::CdDrive('e').WithDisc(mci::AudioTracks(1)).Label("X").DoorOpen();
    char buf[256] = "old";
    EXPECT_FALSE(Label("d:\\", buf, sizeof buf));
    EXPECT_EQ(GetLastError(), 21u);
    EXPECT_FALSE(Label("e:\\", buf, sizeof buf));
    EXPECT_FALSE(Label("q:\\", buf, sizeof buf));
    EXPECT_STREQ(buf, "old");
}

TEST_F(WinsimVolumeTest, LabelThatDoesNotFitFails) {
    mci::CdDrive('d').WithDisc(mci::AudioTracks(1)).Label("LONGLABEL");
    char buf[8] = "old";
    EXPECT_FALSE(Label("d:\\", buf, sizeof buf));
    EXPECT_STREQ(buf, "old");
    char exact[10];
    EXPECT_TRUE(Label("d:\\", exact, sizeof exact));
}

} // namespace
