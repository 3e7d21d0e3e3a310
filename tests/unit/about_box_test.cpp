// The About box on the simulated desktop, opened from the real "ABOUT_BOX" template with the
// program's real version block, acted on through the dialog's own modal loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <winsim/control.h>

#include "about/aboutbox.h"
#include "res/resource.h"
#include "text/sjis.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace ctl = winsim::control;

namespace {

const char kSupportUrl[] = TROVANIX_SUPPORT_URL;
const char kProgramPath[] = "c:\\program files\\trovanix\\trovanix.exe";
const char kSpecialCaption[] = "-時には、翼のない天使のように-";
const char kLinkTip[] = "サポートサイトへ";

// A seed after which draw number `index` (0 or 1) of rand is a multiple of 1000 and the
// draws before it are not; or, with special false, after which the first draw is not.
unsigned SeedFor(int index, bool special) {
    for (unsigned seed = 1;; ++seed) {
        srand(seed);
        bool hit = true;
        for (int i = 0; i <= index; ++i) {
            bool multiple = rand() % 1000 == 0;
            if (multiple != (special && i == index)) {
                hit = false;
                break;
            }
        }
        if (hit)
            return seed;
    }
}

// The system resources (kind 0) are the line's number; GDI and user resources are not.
LONG WINAPI EightySevenPercent(UINT kind) {
    return kind == 0 ? 87 : 13 + static_cast<LONG>(kind);
}

class AboutBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        InitCommonControls();
        ctl::SetWorkArea(RECT{0, 0, 1024, 768});
        ctl::SetCursorPos(512, 384);
        srand(SeedFor(0, false));
        owner = winsim::control::CreateTestWindow(DefWindowProcA, "trovanix");
    }

    // The descriptor the program's own command builds.
    static AboutBoxInfo ProgramInfo() {
        AboutBoxInfo info{};
        info.flags = 0x1AA;
        info.iconCtrlId = IDC_ABOUT_ICON;
        info.versionCtrlId = IDC_ABOUT_VERSION;
        info.urlCtrlId = IDC_ABOUT_URL;
        info.resourcesCtrlId = IDC_ABOUT_RESOURCES;
        info.url = kSupportUrl;
        info.templateName = "ABOUT_BOX";
        info.hLinkCursor = LoadCursorA(GetModuleHandleA(nullptr), "IDC_CURSOR_HAND");
        info.hInstance = GetModuleHandleA(nullptr);
        return info;
    }

    // Opens the box (through AboutCommand, or ShowAboutBox with info), runs inside() with the
    // open dialog, then end() as the user's way out. Returns how DialogBoxParamA ended.
    ctl::DialogRun Open(const std::function<void(HWND)>& inside,
                        const std::function<bool()>& end = ctl::PressOK,
                        const AboutBoxInfo* info = nullptr) {
        bool ran = false;
        ctl::After(10, [&] {
            HWND dialog = ctl::OpenDialog();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(AboutBoxWindow(), dialog);
            inside(dialog);
            ran = true;
        });
        if (end)
            ctl::After(20, [&] { EXPECT_TRUE(end()); });
        if (info)
            EXPECT_EQ(ShowAboutBox(owner, info), 1);
        else
            EXPECT_EQ(AboutCommand(owner), 0);
        EXPECT_TRUE(ran);
        EXPECT_EQ(AboutBoxWindow(), nullptr);
        std::vector<ctl::DialogRun> runs = ctl::DialogRuns();
        return runs.empty() ? ctl::DialogRun{} : runs.back();
    }

    static std::string ItemText(HWND dialog, int id) {
        ctl::DialogItem item{};
        EXPECT_TRUE(ctl::FindDialogItem(dialog, id, &item)) << "control " << id;
        return item.text;
    }
    static HWND Item(HWND dialog, int id) {
        ctl::DialogItem item{};
        return ctl::FindDialogItem(dialog, id, &item) ? item.handle : nullptr;
    }

    HWND owner = nullptr;
};

// ---- texts --------------------------------------------------------------------------------

TEST_F(AboutBoxTest, CaptionAndVersionLineComeFromTheVersionBlock) {
    std::string caption, version, url, resources;
    ctl::DialogRun run = Open([&](HWND d) {
        caption = ctl::WindowText(d);
        version = ItemText(d, IDC_ABOUT_VERSION);
        url = ItemText(d, IDC_ABOUT_URL);
        resources = ItemText(d, IDC_ABOUT_RESOURCES);
    });
    EXPECT_EQ(run.templateName, "ABOUT_BOX");
    EXPECT_EQ(run.owner, owner);
    EXPECT_EQ(caption, "trovanix について");
    EXPECT_EQ(version, "trovanix ver. 0.02");
    EXPECT_EQ(url, kSupportUrl);
    EXPECT_EQ(resources, ""); // no "rsrc32.dll" on this system
}

TEST_F(AboutBoxTest, FillsTheControlsInTheirOrder) {
    Open([](HWND) {});
    std::vector<std::string> steps;
    for (const ctl::Call& c : ctl::Calls()) {
        if (c.api == "SetDlgItemTextA")
            steps.push_back(std::to_string(c.args[1]));
        else if (c.api == "SetWindowTextA")
            steps.push_back("caption");
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"1008", "caption", "1009", "1007"}));
}

TEST_F(AboutBoxTest, EmptyProductNameFallsBackToFileDescription) {
    ctl::SetVersionString("ProductName", "");
    ctl::SetVersionString("FileDescription", "CDプレーヤー");
    ctl::SetVersionString("FileVersion", "0.02.1"); // the product's version is shown, not this
    std::string caption, version;
    Open([&](HWND d) {
        caption = ctl::WindowText(d);
        version = ItemText(d, IDC_ABOUT_VERSION);
    });
    EXPECT_EQ(caption, "CDプレーヤー について");
    EXPECT_EQ(version, "CDプレーヤー ver. 0.02");
    ctl::SetVersionString("ProductName", "T"); // one letter is a name of its own
    Open([&](HWND d) { caption = ctl::WindowText(d); });
    EXPECT_EQ(caption, "T について");
}

TEST_F(AboutBoxTest, NoNameAtAllLeavesTheNameOut) {
    ctl::RemoveVersionString("ProductName");
    ctl::RemoveVersionString("FileDescription");
    std::string caption, version;
    Open([&](HWND d) {
        caption = ctl::WindowText(d);
        version = ItemText(d, IDC_ABOUT_VERSION);
    });
    EXPECT_EQ(caption, " について");
    EXPECT_EQ(version, " ver. 0.02");
}

struct MissingBlockCase {
    const char* name;
    void (*scene)();
};

class AboutBoxMissingBlockTest : public AboutBoxTest,
                                 public ::testing::WithParamInterface<MissingBlockCase> {};

TEST_P(AboutBoxMissingBlockTest, TextsAreDefinedAndEmpty) {
    GetParam().scene();
    std::string caption, version;
    Open([&](HWND d) {
        caption = ctl::WindowText(d);
        version = ItemText(d, IDC_ABOUT_VERSION);
    });
    EXPECT_EQ(caption, " について");
    EXPECT_EQ(version, " ver. ");
}

TEST_P(AboutBoxMissingBlockTest, WithoutTheModulePathNoOtherFileIsAsked) {
    GetParam().scene();
    ctl::ClearCalls();
    Open([](HWND) {});
    const bool pathMissing = std::string(GetParam().name).find("ModulePath") != std::string::npos;
    for (const char* api : {"SHGetFileInfoA", "GetFileVersionInfoSizeA"})
        for (const ctl::Call& call : ctl::CallsTo(api))
            EXPECT_EQ(call.text.empty(), pathMissing) << api << " " << call.text;
}

// A folder path longer than MAX_PATH: the module path comes back cut.
std::string TooLongModulePath() {
    std::string path = "C:";
    while (path.size() < 300)
        path += "\folder_of_a_deep_tree";
    return path + "\trovanix.exe";
}

INSTANTIATE_TEST_SUITE_P(
    AboutScenes, AboutBoxMissingBlockTest,
    ::testing::Values(MissingBlockCase{"NoVersionBlock", [] { ctl::SetNoVersionBlock(); }},
                      MissingBlockCase{"NoTranslation", [] { ctl::RemoveVersionTranslation(); }},
                      MissingBlockCase{"NoModulePath", [] { ctl::SetModulePath(""); }},
                      MissingBlockCase{"CutModulePath",
                                       [] { ctl::SetModulePath(TooLongModulePath()); }}),
    [](const ::testing::TestParamInfo<MissingBlockCase>& info) { return info.param.name; });

TEST_F(AboutBoxTest, LongProductNameKeepsCaptionAndVersionLineTerminatedAndWhole) {
    std::string name;
    for (int i = 0; i < 140; ++i)
        name += "曲"; // 280 bytes
    ctl::SetVersionString("ProductName", name);
    std::string caption, version;
    Open([&](HWND d) {
        caption = ctl::WindowText(d);
        version = ItemText(d, IDC_ABOUT_VERSION);
    });
    for (const std::string* text : {&caption, &version}) {
        EXPECT_LE(text->size(), 259u);
        EXPECT_EQ(text->compare(0, 200, name, 0, 200), 0);
        EXPECT_NE(SjisByteKind(text->c_str(), static_cast<int>(text->size()) - 1), SJIS_LEAD);
    }
}

// ---- free resources -----------------------------------------------------------------------

TEST_F(AboutBoxTest, ResourcesLineShowsTheStandInsPercentage) {
    ctl::InstallFreeResourcesLibrary(EightySevenPercent);
    std::string resources;
    Open([&](HWND d) { resources = ItemText(d, IDC_ABOUT_RESOURCES); });
    EXPECT_EQ(resources, "システムリソース： 87 ％使用可能");
    EXPECT_EQ(ctl::LibraryLoads("rsrc32.dll"), 1);
    EXPECT_EQ(ctl::LibraryReferences("rsrc32.dll"), 0);
}

struct PercentCase {
    LONG percent;
    const char* line;
};
LONG percentNow = 0;
LONG WINAPI PercentNow(UINT) {
    return percentNow;
}

class AboutBoxPercentTest : public AboutBoxTest,
                            public ::testing::WithParamInterface<PercentCase> {};

TEST_P(AboutBoxPercentTest, LineHoldsAtMost33BytesAndNoSplitCharacter) {
    percentNow = GetParam().percent;
    ctl::InstallFreeResourcesLibrary(PercentNow);
    std::string resources;
    Open([&](HWND d) { resources = ItemText(d, IDC_ABOUT_RESOURCES); });
    EXPECT_EQ(resources, GetParam().line);
    EXPECT_LE(resources.size(), 33u);
}

INSTANTIATE_TEST_SUITE_P(
    AboutPercents, AboutBoxPercentTest,
    ::testing::Values(PercentCase{0, "システムリソース： 0 ％使用可能"},
                      PercentCase{100, "システムリソース： 100 ％使用可能"},
                      PercentCase{1234567, "システムリソース： 1234567 ％使用"},
                      PercentCase{12345678, "システムリソース： 12345678 ％使"},
                      PercentCase{-2147483647 - 1, "システムリソース： -2147483648 ％"}));

// ---- placement, icons, focus ----------------------------------------------------------------

TEST_F(AboutBoxTest, OpensCentredOnTheCursorAtTheTemplatesSize) {
    RECT r{};
    Open([&](HWND d) { GetWindowRect(d, &r); });
    // 170 x 56 dialog units.
    EXPECT_EQ(r.right - r.left, 255);
    EXPECT_EQ(r.bottom - r.top, 84);
    EXPECT_EQ(r.left, 512 - 127);
    EXPECT_EQ(r.top, 384 - 42);
}

TEST_F(AboutBoxTest, Wide341PixelBoxAtX1000) {
    ctl::SetWorkArea(RECT{0, 0, 1600, 1200});
    ctl::SetCursorPos(1000, 600);
    ctl::SetDialogSize(341, 120);
    RECT r{};
    Open([&](HWND d) { GetWindowRect(d, &r); });
    EXPECT_EQ(r.left, 830);
    EXPECT_EQ(r.top, 540);
}

TEST_F(AboutBoxTest, WindowAndIconControlGetTheProgramsShellIcons) {
    HWND dialog = nullptr, iconControl = nullptr;
    Open([&](HWND d) {
        dialog = d;
        iconControl = Item(d, IDC_ABOUT_ICON);
    });
    std::vector<ctl::IconMessage> sent = ctl::IconMessages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].window, dialog);
    EXPECT_EQ(sent[0].message, UINT(WM_SETICON));
    EXPECT_EQ(sent[0].wParam, WPARAM(ICON_BIG));
    EXPECT_EQ(sent[1].window, dialog);
    EXPECT_EQ(sent[1].wParam, WPARAM(ICON_SMALL));
    EXPECT_EQ(sent[2].window, iconControl);
    EXPECT_EQ(sent[2].message, UINT(STM_SETICON));

    struct Expected {
        uintptr_t icon;
        bool small;
    } expected[] = {{static_cast<uintptr_t>(sent[0].lParam), false},
                    {static_cast<uintptr_t>(sent[1].lParam), true},
                    {sent[2].wParam, false}};
    for (const Expected& e : expected) {
        std::string path;
        bool small = !e.small;
        ASSERT_TRUE(ctl::shell::DescribeFileIcon(reinterpret_cast<HICON>(e.icon), &path, &small));
        EXPECT_EQ(path, kProgramPath);
        EXPECT_EQ(small, e.small);
    }
}

TEST_F(AboutBoxTest, FocusStartsOnTheOkButton) {
    HWND focus = nullptr, ok = nullptr;
    Open([&](HWND d) {
        focus = ctl::FocusedControl(d);
        ok = Item(d, IDOK);
    });
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(focus, ok);
}

// ---- the hyperlink ----------------------------------------------------------------------------

class AboutBoxControlTest : public AboutBoxTest, public ::testing::WithParamInterface<int> {};

TEST_P(AboutBoxControlTest, HandCursorOnlyOverTheHyperlink) {
    const int id = GetParam();
    ctl::SetCursorResult over{};
    Open([&](HWND d) { // from the link, whose hand must not stay, to the control
        ctl::MouseOver(Item(d, IDC_ABOUT_URL));
        over = ctl::MouseOver(id ? Item(d, id) : d);
    });
    ctl::ImageInfo image{};
    bool described = ctl::DescribeImage(over.cursor, &image);
    if (id == IDC_ABOUT_URL) {
        EXPECT_EQ(over.answer, 1);
        ASSERT_TRUE(described);
        EXPECT_EQ(image.resource, "IDC_CURSOR_HAND");
    } else {
        EXPECT_EQ(over.answer, 0);
        EXPECT_EQ(over.cursor, ctl::ArrowCursor());
    }
}

class AboutBoxStaticTest : public AboutBoxTest, public ::testing::WithParamInterface<int> {};

TEST_P(AboutBoxStaticTest, BlueTransparentTextOnlyForTheHyperlink) {
    const int id = GetParam();
    ctl::CtlColorResult paint{};
    Open([&](HWND) { ASSERT_TRUE(ctl::PaintStatic(id, &paint)); });
    if (id == IDC_ABOUT_URL) {
        EXPECT_EQ(paint.brush, ctl::StockObject(NULL_BRUSH));
        EXPECT_EQ(paint.dc.textColor, 0x00FF0000u);
        EXPECT_EQ(paint.dc.bkMode, TRANSPARENT);
    } else {
        EXPECT_EQ(paint.brush, ctl::DialogBackgroundBrush());
        EXPECT_FALSE(paint.dc.textColorSet);
        EXPECT_FALSE(paint.dc.bkModeSet);
    }
}

INSTANTIATE_TEST_SUITE_P(AboutStatics, AboutBoxStaticTest,
                         ::testing::Values(IDC_ABOUT_URL, IDC_ABOUT_ICON, IDC_ABOUT_VERSION,
                                           IDC_ABOUT_RESOURCES));

TEST_P(AboutBoxControlTest, TooltipTextOnlyForTheHyperlinksTool) {
    const int id = GetParam();
    ctl::ToolTipTextResult asked{};
    HWND tooltip = nullptr;
    Open([&](HWND d) {
        std::vector<ctl::ToolRecord> tools = ctl::ToolTipTools();
        ASSERT_EQ(tools.size(), 1u);
        tooltip = tools[0].tooltip;
        asked = ctl::RequestToolTipText(d, tooltip,
                                        reinterpret_cast<UINT_PTR>(id ? Item(d, id) : d), "old");
    });
    EXPECT_EQ(asked.dialogAnswer, 1);
    EXPECT_EQ(asked.text, id == IDC_ABOUT_URL ? std::string(kLinkTip) : std::string("old"));
}

INSTANTIATE_TEST_SUITE_P(AboutControls, AboutBoxControlTest,
                         ::testing::Values(IDC_ABOUT_URL, IDC_ABOUT_ICON, IDC_ABOUT_VERSION,
                                           IDC_ABOUT_RESOURCES, IDOK, 0));

TEST_F(AboutBoxTest, TooltipWatchesTheHyperlinkAndGoesWithTheDialog) {
    HWND dialog = nullptr, link = nullptr;
    ctl::ToolTipTextResult hover{};
    ctl::WindowInfo tipWindow{};
    Open([&](HWND d) {
        dialog = d;
        link = Item(d, IDC_ABOUT_URL);
        ASSERT_TRUE(ctl::HoverTool(link, &hover));
        ASSERT_EQ(ctl::ToolTipTools().size(), 1u);
        ASSERT_TRUE(ctl::Describe(ctl::ToolTipTools()[0].tooltip, &tipWindow));
    });
    EXPECT_EQ(hover.text, kLinkTip);
    EXPECT_EQ(tipWindow.className, "tooltips_class32");
    EXPECT_EQ(tipWindow.owner, dialog);
    EXPECT_EQ(tipWindow.style, DWORD(TTS_ALWAYSTIP));
    EXPECT_EQ(tipWindow.exStyle, 0u);

    ctl::ToolRecord tool = ctl::ToolTipTools()[0];
    EXPECT_FALSE(tool.tooltipAlive);
    EXPECT_EQ(tool.cbSize, UINT(TTTOOLINFOA_V1_SIZE));
    EXPECT_EQ(tool.uFlags, UINT(TTF_SUBCLASS | TTF_IDISHWND));
    EXPECT_EQ(tool.hwnd, dialog);
    EXPECT_EQ(tool.uId, reinterpret_cast<UINT_PTR>(link));
    EXPECT_EQ(tool.lpszText, LPSTR_TEXTCALLBACKA);
    EXPECT_EQ(tool.hinst, nullptr);
    EXPECT_EQ(tool.rect.left | tool.rect.top | tool.rect.right | tool.rect.bottom, 0);
}

TEST_F(AboutBoxTest, OtherNotificationsAreNotAnswered) {
    INT_PTR answer = -1;
    Open([&](HWND d) {
        NMHDR header{};
        header.hwndFrom = d;
        header.idFrom = reinterpret_cast<UINT_PTR>(Item(d, IDC_ABOUT_URL));
        header.code = TTN_SHOW;
        SendMessageA(d, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
        ctl::LastDialogProcAnswer(d, &answer);
    });
    EXPECT_EQ(answer, 0);
}

// ---- dragging by the client area ------------------------------------------------------------

TEST_F(AboutBoxTest, ClientAreaAnswersAsCaptionControlsKeepTheirOwn) {
    ctl::HitTestResult empty{}, icon{}, link{}, outside{};
    HWND dialog = nullptr, linkControl = nullptr;
    Open([&](HWND d) {
        dialog = d;
        linkControl = Item(d, IDC_ABOUT_URL);
        RECT r{}, iconRect{}, linkRect{};
        GetWindowRect(d, &r);
        GetWindowRect(Item(d, IDC_ABOUT_ICON), &iconRect);
        GetWindowRect(linkControl, &linkRect);
        empty = ctl::HitTest(POINT{r.left + 2, r.bottom - 2});
        icon = ctl::HitTest(POINT{iconRect.left + 1, iconRect.top + 1});
        link = ctl::HitTest(POINT{linkRect.left + 1, linkRect.top + 1});
        outside = ctl::HitTest(POINT{r.right + 5, r.top});
    });
    EXPECT_EQ(empty.window, dialog);
    EXPECT_EQ(empty.code, HTCAPTION);
    EXPECT_EQ(icon.window, dialog); // a plain static lets the mouse through
    EXPECT_EQ(icon.code, HTCAPTION);
    EXPECT_EQ(link.window, linkControl);
    EXPECT_EQ(link.code, HTCLIENT);
    EXPECT_EQ(outside.code, HTNOWHERE);
}

// ---- endings ----------------------------------------------------------------------------------

struct EndingCase {
    const char* name;
    bool (*end)();
    INT_PTR result;
};

class AboutBoxEndingTest : public AboutBoxTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(AboutBoxEndingTest, EndsWithItsResultAndForgetsTheDialog) {
    HWND dialog = nullptr;
    ctl::DialogRun run = Open([&](HWND d) { dialog = d; }, GetParam().end);
    EXPECT_EQ(run.result, GetParam().result);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(AboutBoxWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    AboutEndings, AboutBoxEndingTest,
    ::testing::Values(EndingCase{"Ok", ctl::PressOK, 1}, EndingCase{"Enter", ctl::PressEnter, 1},
                      EndingCase{"Esc", ctl::PressEsc, 2},
                      EndingCase{"CloseBox", ctl::PressCloseBox, 2},
                      EndingCase{"Hyperlink", [] { return ctl::ClickControl(IDC_ABOUT_URL); }, 1}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

TEST_F(AboutBoxTest, HyperlinkOpensTheUrlWithTheDefaultVerbEvenWhenTheShellFails) {
    ctl::shell::SetExecuteResult(2); // SE_ERR_FNF
    HWND dialog = nullptr;
    ctl::DialogRun run =
        Open([&](HWND d) { dialog = d; }, [] { return ctl::ClickControl(IDC_ABOUT_URL); });
    EXPECT_EQ(run.result, 1);
    std::vector<ctl::shell::ExecuteCall> calls = ctl::shell::ExecuteCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, dialog);
    EXPECT_TRUE(calls[0].operation.isNull);
    EXPECT_EQ(calls[0].file.text, kSupportUrl);
    EXPECT_TRUE(calls[0].parameters.isNull);
    EXPECT_TRUE(calls[0].directory.isNull);
    EXPECT_EQ(calls[0].show, SW_SHOWNORMAL);
}

TEST_F(AboutBoxTest, ClickOnAnotherNotifyingControlKeepsTheBoxOpen) {
    bool stillOpen = false;
    Open([&](HWND d) {
        EXPECT_TRUE(ctl::ClickControl(IDC_ABOUT_VERSION));
        stillOpen = ctl::OpenDialog() == d;
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(ctl::shell::ExecuteCalls().empty());
}

// ---- one box at a time --------------------------------------------------------------------

TEST_F(AboutBoxTest, SecondRequestReactivatesTheOpenBoxWithItsSettings) {
    HWND dialog = nullptr;
    ctl::SetCursorResult overVersion{}, overLink{};
    Open([&](HWND d) {
        dialog = d;
        AboutBoxInfo other = ProgramInfo();
        other.urlCtrlId = IDC_ABOUT_VERSION; // would move the hyperlink, were it looked at
        EXPECT_EQ(ShowAboutBox(owner, &other), 1);
        EXPECT_EQ(AboutCommand(owner), 0);
        overVersion = ctl::MouseOver(Item(d, IDC_ABOUT_VERSION));
        overLink = ctl::MouseOver(Item(d, IDC_ABOUT_URL));
    });
    EXPECT_EQ(ctl::CallsTo("DialogBoxParamA").size(), 1u);
    EXPECT_EQ(ctl::DialogRuns().size(), 1u);
    for (const char* api : {"BringWindowToTop", "SetForegroundWindow", "ShowWindow"}) {
        std::vector<ctl::Call> calls = ctl::CallsTo(api);
        ASSERT_EQ(calls.size(), 2u) << api;
        EXPECT_EQ(calls[0].args[0], reinterpret_cast<uintptr_t>(dialog)) << api;
    }
    EXPECT_EQ(ctl::CallsTo("ShowWindow")[0].args[1], uintptr_t(SW_SHOWNORMAL));
    EXPECT_EQ(overVersion.answer, 0);
    EXPECT_EQ(overLink.answer, 1);
}

TEST_F(AboutBoxTest, MissingTemplateLeavesNothingOpen) {
    AboutBoxInfo info = ProgramInfo();
    info.templateName = "NO_SUCH_BOX";
    EXPECT_EQ(ShowAboutBox(owner, &info), 1);
    EXPECT_EQ(AboutBoxWindow(), nullptr);
    ASSERT_EQ(ctl::DialogRuns().size(), 1u);
    EXPECT_EQ(ctl::DialogRuns()[0].result, -1);
    Open([](HWND) {}); // and the next request opens the box
    EXPECT_EQ(ctl::DialogRuns().back().result, 1);
}

TEST_F(AboutBoxTest, PassesTheCallersDescriptorAsInitParameter) {
    AboutBoxInfo info = ProgramInfo();
    Open([](HWND) {}, ctl::PressOK, &info);
    ctl::Call call = ctl::CallsTo("DialogBoxParamA").back();
    EXPECT_EQ(call.args[0], reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
    EXPECT_EQ(call.args[1], reinterpret_cast<uintptr_t>(owner));
    EXPECT_EQ(call.args[2], reinterpret_cast<uintptr_t>(&info));
}

// ---- the main window goes on while the box is open ------------------------------------------

int ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++ticks;
}

TEST_F(AboutBoxTest, OwnersTimerKeepsRunningInsideTheModalLoop) {
    ticks = 0;
    SetTimer(owner, 3, 500, CountTick);
    ctl::After(2600, [] { ctl::PressOK(); });
    EXPECT_EQ(AboutCommand(owner), 0);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(ctl::DialogRuns().back().result, 1);
}

// ---- the special caption ------------------------------------------------------------------

TEST_F(AboutBoxTest, OneDrawInAThousandShowsTheSpecialCaption) {
    srand(SeedFor(0, true));
    std::string caption;
    Open([&](HWND d) { caption = ctl::WindowText(d); });
    EXPECT_EQ(caption, kSpecialCaption);
}

TEST_F(AboutBoxTest, EachOpeningDrawsOnce) {
    srand(SeedFor(1, true));
    std::string first, second;
    Open([&](HWND d) { first = ctl::WindowText(d); });
    Open([&](HWND d) { second = ctl::WindowText(d); });
    EXPECT_EQ(first, "trovanix について");
    EXPECT_EQ(second, kSpecialCaption);
}

// ---- the descriptor's flags and hook --------------------------------------------------------

TEST_F(AboutBoxTest, NoFlagsKeepsTheTemplateYetDoesEverythingElse) {
    ctl::InstallFreeResourcesLibrary(EightySevenPercent);
    AboutBoxInfo info = ProgramInfo();
    info.flags = 0x01 | 0x04; // bits without meaning
    info.url = "https://elsewhere.example/";
    std::string caption, version, url, resources;
    HICON icon = nullptr;
    RECT r{};
    Open(
        [&](HWND d) {
            caption = ctl::WindowText(d);
            version = ItemText(d, IDC_ABOUT_VERSION);
            url = ItemText(d, IDC_ABOUT_URL);
            resources = ItemText(d, IDC_ABOUT_RESOURCES);
            ctl::DialogItem item{};
            ctl::FindDialogItem(d, IDC_ABOUT_ICON, &item);
            icon = item.icon;
            GetWindowRect(d, &r);
        },
        ctl::PressOK, &info);
    EXPECT_EQ(caption, "について");
    EXPECT_EQ(version, "");
    EXPECT_EQ(url, kSupportUrl);
    EXPECT_EQ(resources, "");
    EXPECT_EQ(ctl::ImageLabel(icon).rfind("IDI_ICON", 0), 0u) << ctl::ImageLabel(icon);
    EXPECT_EQ(r.left, 512 - 127);              // placed
    EXPECT_EQ(ctl::IconMessages().size(), 2u); // window icons only
    EXPECT_EQ(ctl::ToolTipTools().size(), 1u);
    EXPECT_TRUE(ctl::CallsTo("SetDlgItemTextA").empty());
}

TEST_F(AboutBoxTest, NoFlagsStillDrawsForTheSpecialCaption) {
    srand(SeedFor(0, true));
    AboutBoxInfo info = ProgramInfo();
    info.flags = 0;
    std::string caption;
    Open([&](HWND d) { caption = ctl::WindowText(d); }, ctl::PressOK, &info);
    EXPECT_EQ(caption, kSpecialCaption);
}

struct FlagCase {
    const char* name;
    DWORD flag;
    int id;
    const char* text;
};

class AboutBoxFlagTest : public AboutBoxTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(AboutBoxFlagTest, CompanyAndCopyrightGoToTheirControls) {
    ctl::SetVersionString("CompanyName", "トロヴァ工房");
    ctl::SetVersionString("LegalCopyright", "(C) 2026 トロヴァ工房");
    AboutBoxInfo info = ProgramInfo();
    info.flags = GetParam().flag;
    info.companyCtrlId = IDC_ABOUT_VERSION;
    info.copyrightCtrlId = IDC_ABOUT_RESOURCES;
    std::string version, resources;
    Open(
        [&](HWND d) {
            version = ItemText(d, IDC_ABOUT_VERSION);
            resources = ItemText(d, IDC_ABOUT_RESOURCES);
        },
        ctl::PressOK, &info);
    EXPECT_EQ(GetParam().id == IDC_ABOUT_VERSION ? version : resources, GetParam().text);
    EXPECT_EQ(GetParam().id == IDC_ABOUT_VERSION ? resources : version, "");
}

INSTANTIATE_TEST_SUITE_P(
    AboutFlags, AboutBoxFlagTest,
    ::testing::Values(FlagCase{"Company", ABOUT_SET_COMPANY, IDC_ABOUT_VERSION, "トロヴァ工房"},
                      FlagCase{"Copyright", ABOUT_SET_COPYRIGHT, IDC_ABOUT_RESOURCES,
                               "(C) 2026 トロヴァ工房"}),
    [](const ::testing::TestParamInfo<FlagCase>& info) { return info.param.name; });

UINT suppressed = 0;
std::vector<UINT> hooked;
INT_PTR CALLBACK Hook(HWND, UINT msg, WPARAM, LPARAM) {
    hooked.push_back(msg);
    return msg == suppressed;
}

TEST_F(AboutBoxTest, HookThatHandlesAMessageSuppressesOurs) {
    suppressed = WM_SETCURSOR;
    hooked.clear();
    AboutBoxInfo info = ProgramInfo();
    info.hook = Hook;
    ctl::SetCursorResult over{};
    INT_PTR answer = -1;
    std::string caption;
    Open(
        [&](HWND d) {
            caption = ctl::WindowText(d);
            over = ctl::MouseOver(Item(d, IDC_ABOUT_URL));
            ctl::LastDialogProcAnswer(d, &answer);
        },
        ctl::PressOK, &info);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(over.cursor, ctl::ArrowCursor());
    EXPECT_TRUE(ctl::CallsTo("SetCursor").empty());
    EXPECT_EQ(caption, "trovanix について"); // other messages still handled
    EXPECT_NE(std::find(hooked.begin(), hooked.end(), UINT(WM_INITDIALOG)), hooked.end());
}

TEST_F(AboutBoxTest, HookCanTakeOverTheOkButton) {
    AboutBoxInfo info = ProgramInfo();
    info.hook = [](HWND d, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
        if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
            EndDialog(d, 7);
            return 1;
        }
        return 0;
    };
    ctl::DialogRun run = Open([](HWND) {}, ctl::PressOK, &info);
    EXPECT_EQ(run.result, 7);
    EXPECT_EQ(ctl::CallsTo("EndDialog").size(), 1u);
}

TEST_F(AboutBoxTest, ToolTipHelpersStandAlone) {
    HWND tooltip = CreateToolTipWindow(owner, GetModuleHandleA(nullptr), TTS_ALWAYSTIP, 0);
    ASSERT_NE(tooltip, nullptr);
    ctl::Call create = ctl::CallsTo("CreateWindowExA").back();
    EXPECT_EQ(create.text, "tooltips_class32");
    EXPECT_EQ(create.args[2], reinterpret_cast<uintptr_t>(owner));
    EXPECT_EQ(AddToolTipTool(tooltip, 0, owner, owner), TRUE);
    ASSERT_EQ(ctl::ToolTipTools().size(), 1u);
    EXPECT_EQ(ctl::ToolTipTools()[0].uFlags, UINT(TTF_IDISHWND));
    EXPECT_EQ(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
}

} // namespace
