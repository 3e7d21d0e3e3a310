// The simulated shell: the taskbar's life, what the notification area shows, and the mouse on
// an icon, as a program sees them through the platform calls.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <winsim/control.h>

#include <cstring>
#include <functional>
#include <vector>

namespace ctl = winsim::control;
namespace shell = winsim::control::shell;

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> received;

LRESULT CALLBACK OwnerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_APP)
        received.push_back({h, msg, wp, lp});
    return msg == WM_NCCREATE ? TRUE : 0;
}

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        received.clear();
        owner = winsim::control::CreateTestWindow(OwnerProc);
    }

    NOTIFYICONDATAA Record(UINT id, HICON icon, const char* tip) {
        NOTIFYICONDATAA d;
        memset(&d, 0, sizeof(d));
        d.cbSize = NOTIFYICONDATAA_V1_SIZE;
        d.hWnd = owner;
        d.uID = id;
        d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        d.uCallbackMessage = WM_APP + 5;
        d.hIcon = icon;
        strcpy(d.szTip, tip);
        return d;
    }

    HWND FindNotifyArea() {
        return FindWindowExA(FindWindowA("Shell_TrayWnd", ""), nullptr, "TrayNotifyWnd", "");
    }

    HWND owner = nullptr;
    HICON iconA = reinterpret_cast<HICON>(0x1234);
    HICON iconB = reinterpret_cast<HICON>(0x5678);
};

TEST_F(ShellTest, FreshDesktopHasNoTaskbarAndRefusesIcons) {
    EXPECT_EQ(FindWindowA("Shell_TrayWnd", ""), nullptr);
    NOTIFYICONDATAA d = Record(1, iconA, "tip");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_TRUE(shell::Icons().empty());
}

TEST_F(ShellTest, TaskbarWithoutNotifyAreaRefusesIcons) {
    shell::StartTaskbar(shell::NotifyArea::None);
    EXPECT_EQ(FindNotifyArea(), nullptr);
    NOTIFYICONDATAA d = Record(1, iconA, "tip");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &d));
}

TEST_F(ShellTest, AddModifyDeleteAsTheUserSeesIt) {
    shell::StartTaskbar();
    NOTIFYICONDATAA d = Record(1, iconA, "first");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    shell::Icon icon{};
    ASSERT_TRUE(shell::FindIcon(owner, 1, &icon));
    EXPECT_EQ(icon.image, iconA);
    EXPECT_EQ(icon.tip, "first");
    EXPECT_EQ(icon.callbackMessage, static_cast<UINT>(WM_APP + 5));

    d.hIcon = iconB;
    strcpy(d.szTip, "second");
    d.uFlags = NIF_ICON; // only the image changes
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &d));
    ASSERT_TRUE(shell::FindIcon(owner, 1, &icon));
    EXPECT_EQ(icon.image, iconB);
    EXPECT_EQ(icon.tip, "first");

    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_FALSE(shell::FindIcon(owner, 1, nullptr));
}

TEST_F(ShellTest, FirstLayoutReadsOnlyItsSixtyFourByteTip) {
    shell::StartTaskbar();
    NOTIFYICONDATAA d = Record(1, iconA, "");
    memset(d.szTip, 'x', sizeof(d.szTip)); // no terminator within the first 64 bytes
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    shell::NotifyCall call = shell::NotifyCalls().back();
    EXPECT_EQ(call.tip.size(), 64u);
    EXPECT_FALSE(call.tipTerminated);
    EXPECT_EQ(call.bytes.size(), static_cast<size_t>(NOTIFYICONDATAA_V1_SIZE));
}

TEST_F(ShellTest, RestartLosesIconsAndChangesWindows) {
    shell::StartTaskbar();
    HWND oldArea = FindNotifyArea();
    NOTIFYICONDATAA d = Record(1, iconA, "x");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    shell::RestartTaskbar();
    EXPECT_FALSE(IsWindow(oldArea));
    HWND newArea = FindNotifyArea();
    ASSERT_NE(newArea, nullptr);
    EXPECT_NE(newArea, oldArea);
    EXPECT_TRUE(shell::Icons().empty());
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
}

struct Gesture {
    const char* name;
    bool (*act)(HWND, UINT);
    std::vector<UINT> mouse;
};

class ShellMouseTest : public ShellTest, public ::testing::WithParamInterface<Gesture> {};

TEST_P(ShellMouseTest, SendsTheShellSequenceToTheCallback) {
    shell::StartTaskbar();
    NOTIFYICONDATAA d = Record(7, iconA, "x");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    ASSERT_TRUE(GetParam().act(nullptr, 0));
    ASSERT_EQ(received.size(), GetParam().mouse.size());
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].window, owner);
        EXPECT_EQ(received[i].message, static_cast<UINT>(WM_APP + 5));
        EXPECT_EQ(received[i].wParam, 7u);
        EXPECT_EQ(received[i].lParam, static_cast<LPARAM>(GetParam().mouse[i])) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, ShellMouseTest,
    ::testing::Values(Gesture{"Click", shell::Click, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
                      Gesture{"DoubleClick",
                              shell::DoubleClick,
                              {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
                      Gesture{"RightClick", shell::RightClick, {WM_RBUTTONDOWN, WM_RBUTTONUP}}),
    [](const ::testing::TestParamInfo<Gesture>& info) { return std::string(info.param.name); });

TEST_F(ShellTest, MouseOnNoIconSendsNothing) {
    shell::StartTaskbar();
    EXPECT_FALSE(shell::Click());
    NOTIFYICONDATAA d = Record(1, iconA, "x");
    d.uFlags = NIF_ICON; // no callback message
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    EXPECT_FALSE(shell::Click());
    EXPECT_TRUE(received.empty());
}

TEST_F(ShellTest, FileIconsSayWhichFileAndSize) {
    SHFILEINFOA info;
    memset(&info, 0, sizeof(info));
    ASSERT_TRUE(
        SHGetFileInfoA("C:\\Tools\\App.exe", 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON));
    std::string path;
    bool small = false;
    ASSERT_TRUE(shell::DescribeFileIcon(info.hIcon, &path, &small));
    EXPECT_EQ(path, "C:\\Tools\\App.exe");
    EXPECT_TRUE(small);
    ASSERT_TRUE(SHGetFileInfoA("C:\\Tools\\App.exe", 0, &info, sizeof(info), SHGFI_ICON));
    ASSERT_TRUE(shell::DescribeFileIcon(info.hIcon, &path, &small));
    EXPECT_FALSE(small);
    EXPECT_FALSE(shell::DescribeFileIcon(reinterpret_cast<HICON>(0x1234), &path, &small));
    // Each is the caller's to give back, once.
    EXPECT_EQ(ctl::LiveHandles().icons, 2);
    EXPECT_TRUE(DestroyIcon(info.hIcon));
    EXPECT_TRUE(shell::IsFileIconDestroyed(info.hIcon));
    EXPECT_FALSE(DestroyIcon(info.hIcon));
    EXPECT_EQ(ctl::LiveHandles().icons, 1);
}

TEST_F(ShellTest, AnInjectedFailureHitsTheCallWithItsIndexOnly) {
    shell::StartTaskbar();
    NOTIFYICONDATAA d = Record(1, iconA, "a");
    SHFILEINFOA info;
    memset(&info, 0, sizeof(info));
    const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
        {"Shell_NotifyIconA", [&] { return Shell_NotifyIconA(NIM_MODIFY, &d) != FALSE; }},
        {"SHGetFileInfoA",
         [&] { return SHGetFileInfoA("C:\\A.exe", 0, &info, sizeof(info), SHGFI_ICON) != 0; }},
        {"ShellExecuteA",
         [&] {
             return reinterpret_cast<INT_PTR>(
                        ShellExecuteA(owner, nullptr, "x", nullptr, nullptr, SW_SHOW)) > 32;
         }},
    };
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &d));
    for (const auto& call : calls) {
        SCOPED_TRACE(call.first);
        int before = static_cast<int>(ctl::CallsTo(call.first).size());
        shell::FailCall(call.first, before + 1);
        EXPECT_TRUE(call.second());
        EXPECT_FALSE(call.second());
        EXPECT_TRUE(call.second());
    }
    ASSERT_EQ(shell::Icons().size(), 1u);
    shell::FailEveryCall();
    for (const auto& call : calls)
        EXPECT_FALSE(call.second()) << call.first;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &d));
    EXPECT_EQ(shell::Icons().size(), 1u); // a failed call changes nothing
}

TEST_F(ShellTest, FileWithoutIconLeavesTheRecordAlone) {
    shell::SetFileHasNoIcon("c:\\tools\\app.exe");
    SHFILEINFOA info;
    memset(&info, 0, sizeof(info));
    EXPECT_EQ(SHGetFileInfoA("C:\\TOOLS\\APP.EXE", 0, &info, sizeof(info), SHGFI_ICON), 0u);
    EXPECT_EQ(info.hIcon, nullptr);
}

TEST_F(ShellTest, ShellExecuteIsRecordedWithItsSettableResult) {
    EXPECT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(owner, nullptr, "https://x.example/", nullptr,
                                                      nullptr, SW_SHOWNORMAL)),
              32);
    shell::SetExecuteResult(SE_ERR_NOASSOC);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", "a.txt", "", "C:\\", 0)),
              SE_ERR_NOASSOC);
    auto calls = shell::ExecuteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].window, owner);
    EXPECT_TRUE(calls[0].operation.isNull);
    EXPECT_EQ(calls[0].file.text, "https://x.example/");
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(calls[1].operation.text, "open");
    EXPECT_EQ(calls[1].directory.text, "C:\\");
    EXPECT_EQ(calls[1].result, SE_ERR_NOASSOC);
}

} // namespace
