// The simulated dialog manager, tooltip control, library loader and device contexts the About
// box runs on, exercised with dialog procedures of the tests' own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <winsim/control.h>

#include <functional>
#include <string>
#include <vector>

namespace ctl = winsim::control;

namespace {

// ---- the compiled template ------------------------------------------------------------------

TEST(AboutTemplateParseTest, ReadsTheAboutBoxTemplate) {
    ctl::Reset();
    ctl::DialogTemplate t;
    ASSERT_TRUE(ctl::LoadDialogTemplate("ABOUT_BOX", &t));
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, 170);
    EXPECT_EQ(t.cy, 56);
    EXPECT_EQ(t.menu, "");
    EXPECT_EQ(t.className, "");
    EXPECT_EQ(t.caption, "について");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.font, "ＭＳ Ｐゴシック");

    struct Item {
        WORD id;
        const char* cls;
        DWORD style;
        short x, y, cx, cy;
        const char* text;
    } expected[] = {
        {1006, "Static", 0x50000003, 7, 7, 20, 21, "IDI_ICON"},
        {1009, "Static", 0x50000180, 30, 7, 133, 8, ""},
        {1008, "Static", 0x50000180, 30, 16, 113, 8, "https://trovanix.example/"},
        {1007, "Static", 0x50000180, 30, 25, 133, 8, ""},
        {1, "Button", 0x50010001, 60, 35, 45, 14, "OK"},
    };
    ASSERT_EQ(t.items.size(), 5u);
    for (size_t i = 0; i < t.items.size(); ++i) {
        const ctl::DialogTemplateItem& got = t.items[i];
        const Item& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(got.id, e.id);
        EXPECT_EQ(got.className, e.cls);
        EXPECT_EQ(got.style, e.style);
        EXPECT_EQ(got.exStyle, 0u);
        EXPECT_EQ(got.x, e.x);
        EXPECT_EQ(got.y, e.y);
        EXPECT_EQ(got.text, e.text);
        EXPECT_TRUE(got.creationData.empty());
    }
}

TEST(AboutTemplateParseTest, TruncatedOrExtendedTemplatesAreRejected) {
    ctl::Reset();
    HRSRC info = FindResourceA(GetModuleHandleA(nullptr), "ABOUT_BOX", RT_DIALOG);
    ASSERT_NE(info, nullptr);
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
    std::vector<uint8_t> full(bytes, bytes + SizeofResource(nullptr, info));
    ctl::DialogTemplate t;
    ASSERT_TRUE(ctl::ParseDialogTemplate(full.data(), full.size(), &t));
    // Only the padding after the last item (at most 3 bytes) may go missing.
    for (size_t n = 0; n + 3 < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
        EXPECT_FALSE(ctl::ParseDialogTemplate(cut.data(), cut.size(), &t)) << n << " bytes";
    }
    std::vector<uint8_t> extended = full;
    extended[0] = 1, extended[1] = 0, extended[2] = 0xFF, extended[3] = 0xFF;
    EXPECT_FALSE(ctl::ParseDialogTemplate(extended.data(), extended.size(), &t));
}

// ---- the dialog manager ---------------------------------------------------------------------

struct Seen {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};
std::vector<Seen> seen;
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> behaviour;

INT_PTR CALLBACK TestDialogProc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
    seen.push_back({msg, wp, lp});
    return behaviour ? behaviour(d, msg, wp, lp) : 0;
}

class AboutDialogManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        seen.clear();
        behaviour = nullptr;
        owner = winsim::control::CreateTestWindow(DefWindowProcA, "", RECT{40, 30, 50, 40});
    }
    INT_PTR Run(LPARAM param = 0, LPCSTR name = "ABOUT_BOX") {
        return DialogBoxParamA(GetModuleHandleA(nullptr), name, owner, TestDialogProc, param);
    }
    HWND owner = nullptr;
};

TEST_F(AboutDialogManagerTest, InitDialogGetsTheFirstTabStopAndTheParameter) {
    HWND ok = nullptr;
    behaviour = [&](HWND d, UINT msg, WPARAM, LPARAM) -> INT_PTR {
        if (msg == WM_INITDIALOG) {
            ok = GetDlgItem(d, IDOK);
            EndDialog(d, 9);
        }
        return 0;
    };
    EXPECT_EQ(Run(1234), 9);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].msg, UINT(WM_INITDIALOG)); // the procedure sees nothing before it
    EXPECT_EQ(seen[0].wp, reinterpret_cast<WPARAM>(ok));
    EXPECT_EQ(seen[0].lp, 1234);
}

TEST_F(AboutDialogManagerTest, EndedDuringInitialisationIsNeverShown) {
    int shown = 0;
    ctl::OnDialogShown([&](HWND) { ++shown; });
    behaviour = [](HWND d, UINT msg, WPARAM, LPARAM) -> INT_PTR {
        if (msg == WM_INITDIALOG)
            EndDialog(d, 3);
        return 0;
    };
    ctl::Millis before = ctl::Now();
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(ctl::Now(), before);
}

TEST_F(AboutDialogManagerTest, PlacedByTheTemplateRelativeToTheOwner) {
    RECT r{}, version{};
    HWND focus = nullptr, ok = nullptr;
    ctl::After(1, [&] {
        HWND d = ctl::OpenDialog();
        GetWindowRect(d, &r);
        GetWindowRect(GetDlgItem(d, 1009), &version);
        focus = ctl::FocusedControl(d);
        ok = GetDlgItem(d, IDOK);
        ctl::PressOK();
    });
    behaviour = [&](HWND d, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
        if (msg == WM_COMMAND && LOWORD(wp) == IDOK)
            EndDialog(d, IDOK);
        return msg == WM_INITDIALOG || msg == WM_COMMAND;
    };
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 255);
    EXPECT_EQ(r.bottom - r.top, 84);
    EXPECT_EQ(version.left, 40 + 45); // 30 units
    EXPECT_EQ(version.top, 30 + 10);  // 7 units
    EXPECT_EQ(version.right - version.left, 199);
    EXPECT_EQ(focus, ok);
}

TEST_F(AboutDialogManagerTest, HandledMessagesAnswerWithTheirResultSlot) {
    LRESULT notify = -1, unhandled = -1, color = -1;
    behaviour = [](HWND d, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
        switch (msg) {
        case WM_NOTIFY:
            SetWindowLongA(d, DWL_MSGRESULT, 5);
            return wp == 1;
        case WM_CTLCOLORSTATIC:
            return 0x5150;
        default:
            return 0;
        }
    };
    ctl::After(1, [&] {
        HWND d = ctl::OpenDialog();
        NMHDR header{};
        notify = SendMessageA(d, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header));
        unhandled = SendMessageA(d, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
        color = SendMessageA(d, WM_CTLCOLORSTATIC, 0, 0);
        ctl::PressEsc();
    });
    behaviour = [inner = behaviour](HWND d, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
        if (msg == WM_COMMAND)
            EndDialog(d, LOWORD(wp));
        return inner(d, msg, wp, lp);
    };
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(notify, 5);
    EXPECT_EQ(unhandled, 0); // a procedure that declines leaves no stale result
    EXPECT_EQ(color, 0x5150);
}

TEST_F(AboutDialogManagerTest, BadOwnerOrTemplateFails) {
    EXPECT_EQ(Run(0, "NO_SUCH_BOX"), -1);
    EXPECT_EQ(
        DialogBoxParamA(nullptr, "ABOUT_BOX", reinterpret_cast<HWND>(0x777), TestDialogProc, 0), 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(AboutDialogManagerTest, QuitEndsTheDialogAndStaysForTheProgramsLoop) {
    ctl::After(5, [] { PostQuitMessage(4); });
    EXPECT_EQ(Run(), 0);
    MSG msg{};
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(AboutDialogManagerTest, DestroyingTheOwnerEndsTheDialog) {
    HWND dialog = nullptr;
    ctl::After(5, [&] {
        dialog = ctl::OpenDialog();
        DestroyWindow(owner);
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ctl::OpenDialog(), nullptr);
}

TEST_F(AboutDialogManagerTest, DialogLeftOpenIsAScenarioFailure) {
    std::vector<std::string> failures;
    ctl::SetFailureHandler([&](const std::string& m) { failures.push_back(m); });
    ctl::SetTimeLimit(1000);
    EXPECT_EQ(Run(), 0);
    ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << "winsim: " << m; });
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("ABOUT_BOX"), std::string::npos);
}

TEST_F(AboutDialogManagerTest, ItemTextsAndIcons) {
    bool setMissing = true;
    UINT got = 99;
    char buffer[16] = "stale";
    LRESULT iconOnText = -1;
    HICON before = nullptr, after = nullptr;
    ctl::After(1, [&] {
        HWND d = ctl::OpenDialog();
        setMissing = SetDlgItemTextA(d, 4242, "x");
        got = GetDlgItemTextA(d, 4242, buffer, sizeof(buffer));
        before = reinterpret_cast<HICON>(SendDlgItemMessageA(d, 1006, STM_GETICON, 0, 0));
        iconOnText = SendDlgItemMessageA(d, 1009, STM_SETICON, 0x1234, 0);
        SendDlgItemMessageA(d, 1006, STM_SETICON, 0x5678, 0);
        after = reinterpret_cast<HICON>(SendDlgItemMessageA(d, 1006, STM_GETICON, 0, 0));
        EXPECT_TRUE(SetDlgItemTextA(d, 1009, "ver"));
        EXPECT_EQ(GetDlgItemTextA(d, 1009, buffer, 3), 2u);
        EXPECT_STREQ(buffer, "ve");
        EndDialog(d, 1);
    });
    EXPECT_EQ(Run(), 1);
    EXPECT_FALSE(setMissing);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ctl::ImageLabel(before).rfind("IDI_ICON", 0), 0u) << ctl::ImageLabel(before);
    EXPECT_EQ(iconOnText, 0); // not an icon control
    EXPECT_EQ(after, reinterpret_cast<HICON>(0x5678));
}

TEST_F(AboutDialogManagerTest, NestedDialogsActOnTheInnermost) {
    HWND outer = nullptr, inner = nullptr;
    ctl::After(1, [&] {
        outer = ctl::OpenDialog();
        ctl::After(1, [&] {
            inner = ctl::OpenDialog();
            ctl::PressCloseBox();
        });
        EXPECT_EQ(Run(), IDCANCEL);
        EXPECT_EQ(ctl::OpenDialog(), outer);
        ctl::PressOK();
    });
    behaviour = [](HWND d, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
        if (msg == WM_COMMAND)
            EndDialog(d, LOWORD(wp));
        return msg == WM_COMMAND;
    };
    EXPECT_EQ(Run(), IDOK);
    EXPECT_NE(outer, inner);
}

// ---- cursor, device contexts, libraries, tooltips -----------------------------------------------

TEST(AboutCursorTest, SetCursorAnswersThePreviousShape) {
    ctl::Reset();
    HCURSOR a = reinterpret_cast<HCURSOR>(0x100), b = reinterpret_cast<HCURSOR>(0x200);
    SetCursor(a);
    EXPECT_EQ(SetCursor(b), a);
    EXPECT_EQ(GetCursor(), b);
    EXPECT_EQ(ctl::CallsTo("SetCursor").size(), 2u);
}

TEST(AboutGdiTest, DeviceContextsKeepTheirColoursApart) {
    ctl::Reset();
    HDC one = ctl::CreateDeviceContext(), two = ctl::CreateDeviceContext();
    EXPECT_EQ(SetTextColor(one, 0xFF0000), 0u);
    EXPECT_EQ(SetTextColor(one, 0x00FF00), 0xFF0000u);
    EXPECT_EQ(SetBkMode(one, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(one, 7), 0);
    ctl::DeviceContextInfo a{}, b{};
    ASSERT_TRUE(ctl::DescribeDeviceContext(one, &a));
    ASSERT_TRUE(ctl::DescribeDeviceContext(two, &b));
    EXPECT_EQ(a.textColor, 0x00FF00u);
    EXPECT_EQ(a.bkMode, TRANSPARENT);
    EXPECT_FALSE(b.textColorSet);
    EXPECT_EQ(b.bkMode, OPAQUE);
    EXPECT_EQ(SetTextColor(reinterpret_cast<HDC>(0x99), 0), CLR_INVALID);
}

TEST(AboutGdiTest, StockObjectsAreFixedAndDistinct) {
    ctl::Reset();
    EXPECT_NE(GetStockObject(NULL_BRUSH), nullptr);
    EXPECT_EQ(GetStockObject(NULL_BRUSH), GetStockObject(HOLLOW_BRUSH));
    EXPECT_NE(GetStockObject(NULL_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(1000), nullptr);
}

LONG WINAPI AnyFunction(UINT) {
    return 1;
}

TEST(AboutLibraryTest, FoundByFileNameInAnyForm) {
    ctl::Reset();
    ctl::InstallFreeResourcesLibrary(AnyFunction);
    for (const char* name :
         {"rsrc32.dll", "RSRC32.DLL", "rsrc32", "C:\\Windows\\System32\\Rsrc32.dll"}) {
        HMODULE h = LoadLibraryA(name);
        EXPECT_NE(h, nullptr) << name;
        EXPECT_TRUE(FreeLibrary(h)) << name;
    }
    EXPECT_EQ(LoadLibraryA("rsrc32.dl"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\System\\rsrc32.dll"), nullptr); // not its folder
    EXPECT_EQ(ctl::LibraryLoads("rsrc32.dll"), 4);
    EXPECT_EQ(ctl::LibraryReferences("rsrc32.dll"), 0);
}

TEST(AboutLibraryTest, ExportsOnlyWhileLoaded) {
    ctl::Reset();
    ctl::InstallFreeResourcesLibrary(AnyFunction);
    HMODULE h = LoadLibraryA("rsrc32.dll");
    EXPECT_NE(GetProcAddress(h, "_MyGetFreeSystemResources32@4"), nullptr);
    EXPECT_EQ(GetProcAddress(h, "MyGetFreeSystemResources32"), nullptr);
    EXPECT_EQ(GetProcAddress(h, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_FALSE(FreeLibrary(h));
    EXPECT_EQ(GetProcAddress(h, "_MyGetFreeSystemResources32@4"), nullptr);
}

TEST(AboutToolTipTest, AcceptsOnlyRecordsOfAKnownLayout) {
    ctl::Reset();
    InitCommonControls();
    HWND tip =
        CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    TOOLINFOA ti{};
    ti.uFlags = TTF_IDISHWND;
    ti.lpszText = const_cast<LPSTR>("text");
    for (UINT size : {0u, UINT(TTTOOLINFOA_V1_SIZE - 1), UINT(TTTOOLINFOA_V3_SIZE + 1)}) {
        ti.cbSize = size;
        EXPECT_EQ(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)), FALSE) << size;
    }
    EXPECT_EQ(SendMessageA(tip, TTM_ADDTOOLA, 0, 0), FALSE);
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    EXPECT_EQ(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)), TRUE);
    ASSERT_EQ(ctl::ToolTipTools().size(), 1u);
    EXPECT_EQ(ctl::ToolTipTools()[0].text, "text");
    DestroyWindow(tip);
    EXPECT_FALSE(ctl::ToolTipTools()[0].tooltipAlive);
}

} // namespace
