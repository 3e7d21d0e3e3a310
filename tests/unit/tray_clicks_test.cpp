// Telling clicks on the tray icon apart: what the main window gets posted, and when.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/control.h>

#include "tray/clicks.h"
#include "tray/trayicon.h"

#include <vector>

namespace ctl = winsim::control;

namespace {

struct Gesture {
    UINT message;
    ctl::Millis time;
};
std::vector<Gesture> gestures;

LRESULT CALLBACK ClickWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TRAYNOTIFY:
        return TrayOnNotify(h, msg, wp, lp);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONUP:
        gestures.push_back({msg, ctl::Now()});
        return 0;
    default:
        return DefWindowProcA(h, msg, wp, lp);
    }
}

class TrayClicksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        gestures.clear();
        window = winsim::control::CreateTestWindow(ClickWindowProc);
    }

    // The shell's callback for the program's icon.
    LRESULT Shell(UINT mouse, WPARAM id = TRAY_ICON_ID) {
        return SendMessageA(window, WM_TRAYNOTIFY, id, static_cast<LPARAM>(mouse));
    }
    void ShellAt(ctl::Millis t, UINT mouse) {
        ctl::At(t, [this, mouse] { Shell(mouse); });
    }

    bool Pending() { return ctl::HasTimer(window, TIMER_CLICK); }

    size_t DefaultCallsWith(UINT mouse, WPARAM id = TRAY_ICON_ID) {
        size_t n = 0;
        for (const ctl::Call& c : ctl::CallsTo("DefWindowProcA"))
            if (c.args.size() == 4 && c.args[0] == reinterpret_cast<uintptr_t>(window) &&
                c.args[1] == WM_TRAYNOTIFY && c.args[2] == id && c.args[3] == mouse)
                ++n;
        return n;
    }

    HWND window = nullptr;
};

TEST_F(TrayClicksTest, SingleClickFiresOnceOneDoubleClickTimeAfterTheButtonWentDown) {
    ctl::SetDoubleClickTime(400);
    ShellAt(1000, WM_LBUTTONDOWN);
    ShellAt(1300, WM_LBUTTONUP); // held for a while: the wait still counts from the press
    ctl::RunFor(3000);
    ASSERT_EQ(gestures.size(), 1u);
    EXPECT_EQ(gestures[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(gestures[0].time, 1400);
    EXPECT_FALSE(Pending());
    // Posted from the timer, as the other gestures: the menu opens from the message loop.
    size_t posted = 0;
    for (const ctl::Call& c : ctl::CallsTo("PostMessageA"))
        posted += c.args[1] == WM_LBUTTONDOWN;
    EXPECT_EQ(posted, 1u);
}

TEST_F(TrayClicksTest, NothingHappensBeforeTheDoubleClickTime) {
    ShellAt(0, WM_LBUTTONDOWN);
    ctl::RunFor(499);
    EXPECT_TRUE(gestures.empty());
    EXPECT_TRUE(Pending());
    EXPECT_TRUE(ctl::HasTimer(window, 513)); // its fixed id, apart from the poll's 3
    ctl::RunFor(1);
    EXPECT_EQ(gestures.size(), 1u);
}

TEST_F(TrayClicksTest, RightButtonDownDropsAPendingSingleClick) {
    ShellAt(0, WM_LBUTTONDOWN);
    ShellAt(200, WM_RBUTTONDOWN);
    ctl::RunFor(2000);
    EXPECT_TRUE(gestures.empty());
    EXPECT_FALSE(Pending());
}

TEST_F(TrayClicksTest, SecondPressRestartsTheWaitAndStillFiresOnce) {
    ShellAt(0, WM_LBUTTONDOWN);
    ShellAt(300, WM_LBUTTONDOWN);
    ctl::RunFor(3000);
    ASSERT_EQ(gestures.size(), 1u);
    EXPECT_EQ(gestures[0].time, 800);
}

TEST_F(TrayClicksTest, HandledGesturesAnswerZeroWithoutDefaultProcessing) {
    for (UINT mouse : {WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_RBUTTONUP}) {
        EXPECT_EQ(Shell(mouse), 0) << mouse;
        EXPECT_EQ(DefaultCallsWith(mouse), 0u) << mouse;
    }
    EXPECT_FALSE(Pending()); // a left press under the held right button goes with its release
    // Posted, not sent: the shell's call returns before a menu opens or the play toggles.
    EXPECT_TRUE(gestures.empty());
}

class TrayClicksOtherTest : public TrayClicksTest, public ::testing::WithParamInterface<UINT> {};

TEST_P(TrayClicksOtherTest, GoesToTheDefaultProcedureAndLeavesTheClickPending) {
    Shell(WM_LBUTTONDOWN);
    ctl::ClearCalls();
    Shell(GetParam());
    EXPECT_EQ(DefaultCallsWith(GetParam()), 1u);
    EXPECT_TRUE(Pending());
    ctl::RunFor(1000);
    EXPECT_EQ(gestures.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(MouseMessages, TrayClicksOtherTest,
                         ::testing::Values(WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONDBLCLK,
                                           WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK));

class TrayClicksOtherIconTest : public TrayClicksTest,
                                public ::testing::WithParamInterface<UINT> {};

TEST_P(TrayClicksOtherIconTest, IsLeftToTheDefaultProcedure) {
    for (WPARAM id : {WPARAM(0), WPARAM(2), WPARAM(0x10001)}) {
        ctl::ClearCalls();
        Shell(GetParam(), id);
        EXPECT_EQ(DefaultCallsWith(GetParam(), id), 1u) << id;
    }
    EXPECT_FALSE(Pending());
    ctl::RunFor(1000);
    EXPECT_TRUE(gestures.empty());
}

INSTANTIATE_TEST_SUITE_P(MouseMessages, TrayClicksOtherIconTest,
                         ::testing::Values(WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                                           WM_RBUTTONUP));

} // namespace
