// The program's compiled resources as the running program meets them (menu, About box
// template, version block, icons and cursor), and the menu and popup-menu behaviours of the
// simulated desktop that the tray menus rely on.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <res/resource.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace wc = winsim::control;

HINSTANCE Self() {
    return GetModuleHandleA(nullptr);
}

// ---- the compiled menu ------------------------------------------------------------------

class CompiledMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wc::Reset();
        menu = LoadMenuA(Self(), "POPUP_MENU");
        ASSERT_NE(menu, nullptr);
    }
    void TearDown() override { DestroyMenu(menu); }
    HMENU menu = nullptr;
};

TEST_F(CompiledMenuTest, IsJapaneseOnly) {
    EXPECT_NE(FindResourceExA(Self(), RT_MENU, "POPUP_MENU", 0x0411), nullptr);
    EXPECT_EQ(FindResourceExA(Self(), RT_MENU, "POPUP_MENU", 0x0409), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST_F(CompiledMenuTest, HoldsTwoPopupsWithTheirCaptions) {
    std::vector<wc::MenuItem> bar = wc::MenuItems(menu);
    ASSERT_EQ(bar.size(), 2u);
    EXPECT_TRUE(bar[0].popup());
    EXPECT_TRUE(bar[1].popup());
    EXPECT_EQ(bar[0].text, "ﾎﾟｯﾌﾟｱｯﾌﾟ");
    EXPECT_EQ(bar[1].text, "ﾀｲﾄﾙ ﾘｽﾄ");
    EXPECT_EQ(GetSubMenu(menu, 0), bar[0].submenu);
    EXPECT_EQ(GetSubMenu(menu, 1), bar[1].submenu);
    EXPECT_EQ(GetSubMenu(menu, 2), nullptr);
}

struct ExpectedItem {
    const char* text; // nullptr for a separator
    UINT id;
};

// The identifiers are pinned as numbers: other programs send them as WM_COMMAND, so a value
// changed in the shared header would break them while code and menu still agreed.
TEST_F(CompiledMenuTest, MainPopupItemsInOrder) {
    const ExpectedItem expected[] = {
        {"トレイを開く(&O)", 40049},
        {"トレイを閉じる(&L)", 40050},
        {nullptr, 0},
        {"ﾘﾋﾟｰﾄ(&R)", 40034},
        {nullptr, 0},
        {"単曲再生(&G)", 40052},
        {"連続再生(&C)", 40051},
        {nullptr, 0},
        {"次の曲へ(&N)", 40047},
        {"前の曲へ(&B)", 40048},
        {"再生(&P)", 40045},
        {"停止(&S)", 40046},
        {nullptr, 0},
        {"About(&A)", 40002},
        {nullptr, 0},
        {"終了(&Q)", 40001},
    };
    HMENU popup = GetSubMenu(menu, 0);
    std::vector<wc::MenuItem> items = wc::MenuItems(popup);
    ASSERT_EQ(items.size(), std::size(expected));
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(std::size(expected)));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        if (expected[i].text == nullptr) {
            EXPECT_EQ(items[i].flags, static_cast<UINT>(MF_SEPARATOR));
            EXPECT_EQ(items[i].id, 0u);
        } else {
            EXPECT_EQ(items[i].text, expected[i].text);
            EXPECT_EQ(items[i].id, expected[i].id);
            EXPECT_EQ(items[i].flags, 0u) << "enabled and unchecked as loaded";
            EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(i)), expected[i].id);
        }
    }
}

TEST_F(CompiledMenuTest, TrackListHoldsTheGrayedPlaceholder) {
    std::vector<wc::MenuItem> items = wc::MenuItems(GetSubMenu(menu, 1));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "（なし）");
    EXPECT_EQ(items[0].id, static_cast<UINT>(IDM_NO_TITLE));
    EXPECT_EQ(items[0].flags, static_cast<UINT>(MF_GRAYED));
}

TEST_F(CompiledMenuTest, TextsReachTheProgramAsCodePage932) {
    char text[64] = {};
    ASSERT_EQ(GetMenuStringA(menu, IDM_REPEAT, text, sizeof text, MF_BYCOMMAND), 9);
    EXPECT_EQ(std::string(text), std::string("\xD8\xCB\xDF\xB0\xC4(&R)"));
    ASSERT_EQ(GetMenuStringA(menu, IDM_NO_TITLE, text, sizeof text, MF_BYCOMMAND), 8);
    EXPECT_EQ(std::string(text), std::string("\x81\x69\x82\xC8\x82\xB5\x81\x6A"));
}

TEST_F(CompiledMenuTest, EveryLoadIsAFreshCopy) {
    CheckMenuItem(menu, IDM_REPEAT, MF_BYCOMMAND | MF_CHECKED);
    DeleteMenu(menu, IDM_NO_TITLE, MF_BYCOMMAND);
    HMENU again = LoadMenuA(Self(), "POPUP_MENU");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, menu);
    EXPECT_EQ(GetMenuState(again, IDM_REPEAT, MF_BYCOMMAND), 0u);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(again, 1)), 1);
    DestroyMenu(again);
}

TEST_F(CompiledMenuTest, DestroyingTheBarDestroysItsPopups) {
    HMENU main = GetSubMenu(menu, 0);
    EXPECT_EQ(wc::LiveMenuCount(), 3);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(wc::LiveMenuCount(), 0);
    EXPECT_FALSE(IsMenu(main));
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    menu = nullptr;
}

TEST_F(CompiledMenuTest, UnknownMenuNameLoadsNothing) {
    EXPECT_EQ(LoadMenuA(Self(), "NO_SUCH_MENU"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadMenuA(reinterpret_cast<HINSTANCE>(0x1234), "POPUP_MENU"), nullptr);
}

// ---- menu calls whose behaviour is subtle -------------------------------------------------

class MenuCallsTest : public CompiledMenuTest {
  protected:
    HMENU Main() { return GetSubMenu(menu, 0); }
    HMENU Tracks() { return GetSubMenu(menu, 1); }
};

TEST_F(MenuCallsTest, InsertAtPositionZeroStacksOnTop) {
    ASSERT_TRUE(InsertMenuA(Main(), 0, MF_SEPARATOR | MF_BYPOSITION, 0, nullptr));
    ASSERT_TRUE(InsertMenuA(Main(), 0, MF_BYPOSITION | MF_STRING, 1027, "d:\\: MUSIC"));
    ASSERT_TRUE(InsertMenuA(Main(), 0, MF_BYPOSITION | MF_STRING, 1040, "q:\\: "));
    std::vector<wc::MenuItem> items = wc::MenuItems(Main());
    ASSERT_EQ(items.size(), 19u);
    EXPECT_EQ(items[0].text, "q:\\: ");
    EXPECT_EQ(items[0].id, 1040u);
    EXPECT_EQ(items[1].text, "d:\\: MUSIC");
    EXPECT_TRUE(items[2].separator());
    EXPECT_EQ(items[3].id, static_cast<UINT>(IDM_OPEN_DOOR));
}

TEST_F(MenuCallsTest, PositionPastTheEndAppends) {
    ASSERT_TRUE(InsertMenuA(Tracks(), 99, MF_BYPOSITION, 0x8001, "&1 track  1."));
    ASSERT_TRUE(AppendMenuA(Tracks(), MF_STRING, 0x8002, "&2 track  2."));
    std::vector<wc::MenuItem> items = wc::MenuItems(Tracks());
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].id, 0x8001u);
    EXPECT_EQ(items[2].text, "&2 track  2.");
}

TEST_F(MenuCallsTest, StringItemWithoutTextIsASeparator) {
    ASSERT_TRUE(AppendMenuA(Tracks(), MF_STRING, 5, nullptr));
    std::vector<wc::MenuItem> items = wc::MenuItems(Tracks());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[1].separator());
}

TEST_F(MenuCallsTest, DeleteByCommandFindsTheItemInAPopup) {
    EXPECT_TRUE(DeleteMenu(Tracks(), IDM_NO_TITLE, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(Tracks()), 0);
    // Searching from the bar reaches the popups too.
    EXPECT_TRUE(DeleteMenu(menu, IDM_ABOUT, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(Main()), 15);
    EXPECT_EQ(GetMenuState(menu, IDM_ABOUT, MF_BYCOMMAND), static_cast<UINT>(-1));
}

TEST_F(MenuCallsTest, DeleteOfAMissingCommandFailsAndChangesNothing) {
    EXPECT_FALSE(DeleteMenu(Tracks(), IDM_PLAY, MF_BYCOMMAND));
    EXPECT_EQ(GetMenuItemCount(Tracks()), 1);
    EXPECT_EQ(GetMenuItemCount(Main()), 16);
}

TEST_F(MenuCallsTest, CheckReturnsThePreviousStateOrMinusOne) {
    EXPECT_EQ(CheckMenuItem(Main(), IDM_REPEAT, MF_BYCOMMAND | MF_CHECKED),
              static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(Main(), IDM_REPEAT, MF_BYCOMMAND | MF_CHECKED),
              static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(Main(), IDM_REPEAT, MF_BYCOMMAND | MF_UNCHECKED),
              static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(GetMenuState(Main(), IDM_REPEAT, MF_BYCOMMAND), 0u);
    EXPECT_EQ(CheckMenuItem(Main(), IDM_SINGLE, MF_BYCOMMAND | MF_CHECKED),
              static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(GetMenuState(Main(), IDM_SINGLE, MF_BYCOMMAND), static_cast<UINT>(MF_CHECKED));
}

TEST_F(MenuCallsTest, CheckAndEnableOfAMissingCommandAreNoOps) {
    std::vector<wc::MenuItem> before = wc::MenuItems(menu);
    EXPECT_EQ(CheckMenuItem(Main(), 1027, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(EnableMenuItem(Tracks(), 0x8000, MF_BYCOMMAND | MF_GRAYED), -1);
    std::vector<wc::MenuItem> after = wc::MenuItems(menu);
    ASSERT_EQ(after.size(), before.size());
    for (size_t p = 0; p < after.size(); ++p) {
        ASSERT_EQ(after[p].items.size(), before[p].items.size());
        for (size_t i = 0; i < after[p].items.size(); ++i)
            EXPECT_EQ(after[p].items[i].flags, before[p].items[i].flags);
    }
}

TEST_F(MenuCallsTest, EnableSetsOrClearsTheGray) {
    EXPECT_EQ(EnableMenuItem(Main(), IDM_STOP, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
    EXPECT_TRUE(wc::MenuItems(Main())[11].grayed());
    EXPECT_EQ(EnableMenuItem(Main(), IDM_STOP, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
    EXPECT_FALSE(wc::MenuItems(Main())[11].grayed());
    EXPECT_EQ(EnableMenuItem(Tracks(), IDM_NO_TITLE, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED);
}

TEST_F(MenuCallsTest, ByPositionAndByCommandAreDistinct) {
    // Position 3 of the main popup is the repeat item; command 3 names nothing.
    EXPECT_EQ(CheckMenuItem(Main(), 3, MF_BYPOSITION | MF_CHECKED),
              static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_TRUE(wc::MenuItems(Main())[3].checked());
    EXPECT_EQ(CheckMenuItem(Main(), 3, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
}

TEST_F(MenuCallsTest, PopupStateCountsItsItems) {
    EXPECT_EQ(GetMenuState(menu, 0, MF_BYPOSITION), (16u << 8) | MF_POPUP);
    EXPECT_EQ(GetMenuItemID(menu, 0), static_cast<UINT>(-1));
}

TEST_F(MenuCallsTest, GetMenuStringCutsToTheBuffer) {
    char text[5];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(GetMenuStringA(Main(), IDM_ABOUT, text, sizeof text, MF_BYCOMMAND), 4);
    EXPECT_STREQ(text, "Abou");
    EXPECT_EQ(GetMenuStringA(Main(), IDM_ABOUT, nullptr, 0, MF_BYCOMMAND), 9);
    EXPECT_EQ(GetMenuStringA(Main(), 12345, text, sizeof text, MF_BYCOMMAND), 0);
}

TEST_F(MenuCallsTest, CallsOnADestroyedMenuFail) {
    HMENU tracks = Tracks();
    DestroyMenu(menu);
    menu = nullptr;
    EXPECT_FALSE(AppendMenuA(tracks, MF_STRING, 1, "x"));
    EXPECT_EQ(GetMenuItemCount(tracks), -1);
    EXPECT_EQ(CheckMenuItem(tracks, IDM_NO_TITLE, MF_CHECKED), static_cast<DWORD>(-1));
}

// ---- popup menus and the user's choice --------------------------------------------------

std::vector<MSG> g_delivered;

LRESULT CALLBACK OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND)
        g_delivered.push_back(MSG{h, m, w, l, 0, {0, 0}});
    return DefWindowProcA(h, m, w, l);
}

class PopupMenuTest : public CompiledMenuTest {
  protected:
    void SetUp() override {
        CompiledMenuTest::SetUp();
        g_delivered.clear();
        owner = winsim::control::CreateTestWindow(OwnerProc, "owner", RECT{0, 0, 10, 10});
        ASSERT_NE(owner, nullptr);
    }
    BOOL Show(UINT flags = TPM_RIGHTBUTTON | TPM_BOTTOMALIGN) {
        return TrackPopupMenuEx(GetSubMenu(menu, 0), flags, 640, 480, owner, nullptr);
    }
    HWND owner = nullptr;
};

TEST_F(PopupMenuTest, WithoutAChoiceTheMenuIsDismissed) {
    EXPECT_TRUE(Show());
    std::vector<wc::DisplayedMenu> shown = wc::DisplayedMenus();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].menu, GetSubMenu(menu, 0));
    EXPECT_EQ(shown[0].flags, 0x22u);
    EXPECT_EQ(shown[0].x, 640);
    EXPECT_EQ(shown[0].y, 480);
    EXPECT_EQ(shown[0].owner, owner);
    EXPECT_EQ(shown[0].items.size(), 16u);
    EXPECT_EQ(shown[0].chosen, 0u);
    wc::RunFor(100);
    EXPECT_TRUE(g_delivered.empty());
}

TEST_F(PopupMenuTest, AChoiceIsPostedToTheOwnerAfterTheMenuCloses) {
    wc::ChooseMenuItem(IDM_PLAY);
    EXPECT_TRUE(Show());
    EXPECT_TRUE(g_delivered.empty()) << "nothing is sent while the menu call runs";
    std::vector<MSG> queued = wc::QueuedMessages();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].message, static_cast<UINT>(WM_COMMAND));
    wc::RunFor(0);
    ASSERT_EQ(g_delivered.size(), 1u);
    EXPECT_EQ(g_delivered[0].hwnd, owner);
    EXPECT_EQ(g_delivered[0].wParam, static_cast<WPARAM>(IDM_PLAY));
    EXPECT_EQ(g_delivered[0].lParam, 0);
    EXPECT_EQ(wc::DisplayedMenus()[0].chosen, static_cast<UINT>(IDM_PLAY));
}

TEST_F(PopupMenuTest, ReturnCommandGivesTheChoiceInsteadOfPostingIt) {
    wc::ChooseMenuItem(IDM_QUIT);
    wc::DismissMenu();
    EXPECT_EQ(Show(TPM_RETURNCMD), static_cast<BOOL>(IDM_QUIT));
    EXPECT_EQ(Show(TPM_RETURNCMD), 0);
    EXPECT_TRUE(wc::QueuedMessages().empty());
}

TEST_F(PopupMenuTest, AGrayedItemCannotBeChosen) {
    wc::ChooseMenuItem(IDM_NO_TITLE);
    EXPECT_TRUE(TrackPopupMenuEx(GetSubMenu(menu, 1), 0x22, 1, 2, owner, nullptr));
    wc::RunFor(0);
    EXPECT_TRUE(g_delivered.empty());
    EXPECT_EQ(wc::DisplayedMenus()[0].chosen, 0u);
}

TEST_F(PopupMenuTest, StepsAreUsedInOrderThenTheChooserDecides) {
    wc::DismissMenu();
    wc::ChooseMenuItem(IDM_NEXT);
    std::vector<size_t> seen;
    wc::SetMenuChooser([&seen](const wc::DisplayedMenu& m) -> UINT {
        seen.push_back(m.items.size());
        return IDM_PREV;
    });
    Show();
    Show();
    Show();
    wc::RunFor(0);
    ASSERT_EQ(g_delivered.size(), 2u);
    EXPECT_EQ(LOWORD(g_delivered[0].wParam), static_cast<WORD>(IDM_NEXT));
    EXPECT_EQ(LOWORD(g_delivered[1].wParam), static_cast<WORD>(IDM_PREV));
    EXPECT_EQ(seen, std::vector<size_t>{16u});
}

TEST_F(PopupMenuTest, ShowsTheItemsAsTheyStoodWhenItOpened) {
    CheckMenuItem(menu, IDM_REPEAT, MF_BYCOMMAND | MF_CHECKED);
    Show();
    CheckMenuItem(menu, IDM_REPEAT, MF_BYCOMMAND | MF_UNCHECKED);
    EXPECT_TRUE(wc::DisplayedMenus()[0].items[3].checked());
}

TEST_F(PopupMenuTest, RecordsWhetherTheOwnerWasInFront) {
    Show();
    SetForegroundWindow(owner);
    Show();
    std::vector<wc::DisplayedMenu> shown = wc::DisplayedMenus();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_FALSE(shown[0].ownerForeground);
    EXPECT_TRUE(shown[1].ownerForeground);
}

TEST_F(PopupMenuTest, ChoosingACommandTheMenuLacksIsAScenarioFailure) {
    std::vector<std::string> failures;
    wc::SetFailureHandler([&failures](const std::string& m) { failures.push_back(m); });
    wc::ChooseMenuItem(1027);
    EXPECT_TRUE(Show());
    wc::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << "winsim: " << m; });
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_TRUE(wc::QueuedMessages().empty());
}

TEST_F(PopupMenuTest, BadMenuOrOwnerFails) {
    HMENU popup = CreatePopupMenu();
    DestroyMenu(popup);
    EXPECT_FALSE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    EXPECT_FALSE(TrackPopupMenuEx(GetSubMenu(menu, 0), 0, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(wc::DisplayedMenus().empty());
}

// ---- the About box template ---------------------------------------------------------------

// Reads the classic dialog template: little-endian words, UTF-16 strings, ordinals.
class TemplateReader {
  public:
    TemplateReader(const uint8_t* data, size_t size) : p_(data), begin_(data), end_(data + size) {}
    WORD Word() {
        EXPECT_LE(p_ + 2, end_);
        if (p_ + 2 > end_)
            return 0;
        WORD w = static_cast<WORD>(p_[0] | (p_[1] << 8));
        p_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD lo = Word();
        return lo | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    std::u16string Text() {
        std::u16string s;
        for (WORD w = Word(); w != 0; w = Word())
            s.push_back(static_cast<char16_t>(w));
        return s;
    }
    // A name or an ordinal: 0xFFFF then the number, as "#n".
    std::u16string NameOrOrdinal() {
        if (p_ + 2 <= end_ && p_[0] == 0xFF && p_[1] == 0xFF) {
            Word();
            std::string n = "#" + std::to_string(Word());
            return std::u16string(n.begin(), n.end());
        }
        return Text();
    }
    void AlignDword() {
        while ((p_ - begin_) % 4)
            ++p_;
    }

  private:
    const uint8_t* p_;
    const uint8_t* begin_;
    const uint8_t* end_;
};

class AboutTemplateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wc::Reset();
        HRSRC found = FindResourceExA(Self(), RT_DIALOG, "ABOUT_BOX", 0x0411);
        ASSERT_NE(found, nullptr);
        data = static_cast<const uint8_t*>(LockResource(LoadResource(Self(), found)));
        size = SizeofResource(Self(), found);
        ASSERT_NE(data, nullptr);
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
};

TEST_F(AboutTemplateTest, HeaderIsTheClassicTemplate) {
    TemplateReader r(data, size);
    EXPECT_EQ(r.Dword(), 0x80C800C0u) << "WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT";
    EXPECT_EQ(r.Dword(), 0u) << "no extended style";
    EXPECT_EQ(r.Word(), 5) << "controls";
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 170);
    EXPECT_EQ(r.Short(), 56);
    EXPECT_EQ(r.NameOrOrdinal(), u"") << "no menu";
    EXPECT_EQ(r.NameOrOrdinal(), u"") << "default class";
    EXPECT_EQ(r.Text(), u"について");
    EXPECT_EQ(r.Word(), 9);
    EXPECT_EQ(r.Text(), u"ＭＳ Ｐゴシック");
}

TEST_F(AboutTemplateTest, ControlsInOrder) {
    struct Control {
        DWORD style;
        short x, y, cx, cy;
        WORD id;
        std::u16string cls;
        std::u16string text;
    };
    const std::string url = TROVANIX_SUPPORT_URL;
    const Control expected[] = {
        {0x50000003, 7, 7, 20, 21, IDC_ABOUT_ICON, u"#130", u"IDI_ICON"},
        {0x50000180, 30, 7, 133, 8, IDC_ABOUT_VERSION, u"#130", u""},
        {0x50000180, 30, 16, 113, 8, IDC_ABOUT_URL, u"#130",
         std::u16string(url.begin(), url.end())},
        {0x50000180, 30, 25, 133, 8, IDC_ABOUT_RESOURCES, u"#130", u""},
        {0x50010001, 60, 35, 45, 14, IDOK, u"#128", u"OK"},
    };
    TemplateReader r(data, size);
    r.Dword();
    r.Dword();
    r.Word();
    for (int i = 0; i < 4; ++i)
        r.Short();
    r.NameOrOrdinal();
    r.NameOrOrdinal();
    r.Text();
    r.Word();
    r.Text();
    for (const Control& c : expected) {
        SCOPED_TRACE(c.id);
        r.AlignDword();
        EXPECT_EQ(r.Dword(), c.style);
        EXPECT_EQ(r.Dword(), 0u) << "no extended style";
        EXPECT_EQ(r.Short(), c.x);
        EXPECT_EQ(r.Short(), c.y);
        EXPECT_EQ(r.Short(), c.cx);
        EXPECT_EQ(r.Short(), c.cy);
        EXPECT_EQ(r.Word(), c.id);
        EXPECT_EQ(r.NameOrOrdinal(), c.cls);
        EXPECT_EQ(r.NameOrOrdinal(), c.text);
        EXPECT_EQ(r.Word(), 0) << "no creation data";
    }
}

TEST(SupportUrlTest, PointsAtAReservedExampleDomain) {
    std::string url = TROVANIX_SUPPORT_URL;
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    EXPECT_NE(url.find(".example/"), std::string::npos);
}

TEST(ManifestTest, AsksForSystemDpiCommonControlsSixAndTheUsersRights) {
    wc::Reset();
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                    SizeofResource(nullptr, found));
    for (const char* part : {"WindowsSettings\">true</dpiAware>", "Common-Controls\" version=\"6.",
                             "level=\"asInvoker\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
}

// ---- the version block ------------------------------------------------------------------

class VersionBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wc::Reset();
        char path[MAX_PATH];
        ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
        file = path;
    }
    // The whole block as the program reads it; empty when there is none.
    bool Load() {
        DWORD handle = 123;
        DWORD n = GetFileVersionInfoSizeA(file.c_str(), &handle);
        EXPECT_EQ(handle, 0u);
        if (n == 0)
            return false;
        block.assign(n, 0);
        return GetFileVersionInfoA(file.c_str(), 0, n, block.data()) != 0;
    }
    bool Query(const char* path, std::string* value) {
        LPVOID p = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(block.data(), path, &p, &len))
            return false;
        const char* s = static_cast<const char*>(p);
        EXPECT_GE(s, reinterpret_cast<const char*>(block.data()) + block.size() / 2)
            << "the ANSI copy lies in the buffer's second half";
        EXPECT_LE(s + len, reinterpret_cast<const char*>(block.data()) + block.size());
        *value = s;
        EXPECT_EQ(len, value->size() + 1) << path;
        return true;
    }
    std::string String(const std::string& key) {
        std::string v;
        EXPECT_TRUE(Query(("\\StringFileInfo\\041104b0\\" + key).c_str(), &v)) << key;
        return v;
    }
    std::string file;
    std::vector<uint8_t> block;
};

TEST_F(VersionBlockTest, FixedPartNamesVersionZeroPointZeroTwoOfAnApp) {
    ASSERT_TRUE(Load());
    LPVOID p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &p, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, p, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0u);
    EXPECT_EQ(fixed.dwFileVersionLS, 2u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0u);
    EXPECT_EQ(fixed.dwProductVersionLS, 2u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionBlockTest, OneTranslationJapaneseUnicode) {
    ASSERT_TRUE(Load());
    LPVOID p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &p, &len));
    ASSERT_EQ(len, 4u);
    DWORD translation;
    std::memcpy(&translation, p, 4);
    EXPECT_EQ(translation, 0x04B00411u);
    EXPECT_EQ(wc::CallsTo("VerQueryValueA").size(), 1u);
}

TEST_F(VersionBlockTest, StringsReachTheProgramAsCodePage932) {
    ASSERT_TRUE(Load());
    EXPECT_EQ(String("ProductName"), "trovanix");
    EXPECT_EQ(String("ProductVersion"), "0.02");
    EXPECT_EQ(String("FileVersion"), "0.02");
    EXPECT_EQ(String("OriginalFilename"), "trovanix.exe");
    EXPECT_EQ(String("Comments"), TROVANIX_SUPPORT_URL);
    EXPECT_EQ(String("FileDescription"), "トレイ常駐 CD プレーヤー");
    EXPECT_FALSE(String("CompanyName").empty());
    EXPECT_NE(String("LegalCopyright").find(String("CompanyName")), std::string::npos);
}

TEST_F(VersionBlockTest, PathsAreCaseInsensitiveAndMissingKeysFail) {
    ASSERT_TRUE(Load());
    std::string v;
    EXPECT_TRUE(Query("\\stringfileinfo\\041104B0\\productname", &v));
    EXPECT_EQ(v, "trovanix");
    EXPECT_FALSE(Query("\\StringFileInfo\\041104b0\\InternalName", &v));
    EXPECT_FALSE(Query("\\StringFileInfo\\040904b0\\ProductName", &v));
    EXPECT_FALSE(Query("\\StringFileInfo\\041104b0\\Product", &v)) << "no prefix matches";
}

TEST_F(VersionBlockTest, OnlyTheProgramsOwnFileHasABlock) {
    std::string lower = file;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    EXPECT_GT(GetFileVersionInfoSizeA(lower.c_str(), nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\Program Files\\trovanix\\other.exe", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(VersionBlockTest, AFileWithoutABlock) {
    wc::SetNoVersionBlock();
    EXPECT_EQ(GetFileVersionInfoSizeA(file.c_str(), nullptr), 0u);
    char buffer[64];
    EXPECT_FALSE(GetFileVersionInfoA(file.c_str(), 0, sizeof buffer, buffer));
}

TEST_F(VersionBlockTest, ABlockWithoutATranslationTable) {
    wc::RemoveVersionTranslation();
    ASSERT_TRUE(Load());
    LPVOID p = nullptr;
    UINT len = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &p, &len));
    EXPECT_EQ(String("ProductName"), "trovanix");
}

TEST_F(VersionBlockTest, ChangedStrings) {
    std::string longName(300, 'n');
    wc::SetVersionString("ProductName", "");
    wc::SetVersionString("CompanyName", "試験工房");
    wc::SetVersionString("PrivateBuild", longName);
    wc::RemoveVersionString("LegalCopyright");
    ASSERT_TRUE(Load());
    EXPECT_EQ(String("ProductName"), "");
    EXPECT_EQ(String("CompanyName"), "試験工房");
    EXPECT_EQ(String("PrivateBuild"), longName);
    EXPECT_EQ(String("ProductVersion"), "0.02");
    std::string v;
    EXPECT_FALSE(Query("\\StringFileInfo\\041104b0\\LegalCopyright", &v));
}

TEST_F(VersionBlockTest, AShortBufferNeverReceivesMoreThanItsSize) {
    DWORD n = GetFileVersionInfoSizeA(file.c_str(), nullptr);
    ASSERT_GT(n, 8u);
    // Only the first half: the block fits, its ANSI copies would not.
    block.assign((n - 4) / 2, 0);
    ASSERT_TRUE(
        GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    LPVOID p = nullptr;
    UINT len = 0;
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\ProductName", &p, &len));
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &p, &len));
}

// ---- icons and cursor ---------------------------------------------------------------------

struct IconCase {
    const char* name;
};

class IconResourceTest : public ::testing::TestWithParam<IconCase> {
  protected:
    void SetUp() override { wc::Reset(); }
};

TEST_P(IconResourceTest, HoldsA32And16PixelImageOf16Colours) {
    HRSRC found = FindResourceA(Self(), GetParam().name, RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const uint8_t* group = static_cast<const uint8_t*>(LockResource(LoadResource(Self(), found)));
    ASSERT_GE(SizeofResource(Self(), found), 6u + 2 * 14);
    ASSERT_EQ(group[4] | (group[5] << 8), 2);
    for (int i = 0; i < 2; ++i) {
        const uint8_t* e = group + 6 + 14 * i;
        int size = i == 0 ? 32 : 16;
        EXPECT_EQ(e[0], size);
        EXPECT_EQ(e[1], size);
        EXPECT_EQ(e[2], 16) << "colours";
        EXPECT_EQ(e[6] | (e[7] << 8), 4) << "bits per pixel";
    }
    for (int size : {16, 32}) {
        HANDLE h = LoadImageA(Self(), GetParam().name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
        wc::ImageInfo info;
        ASSERT_TRUE(wc::DescribeImage(h, &info));
        EXPECT_EQ(info.sourceWidth, size);
        EXPECT_EQ(info.bitsPerPixel, 4);
        EXPECT_EQ(wc::ImageLabel(h), std::string(GetParam().name) + " " + std::to_string(size) +
                                         "x" + std::to_string(size));
    }
}

INSTANTIATE_TEST_SUITE_P(Icons, IconResourceTest,
                         ::testing::Values(IconCase{"IDI_ICON"}, IconCase{"IDI_PLAY1"},
                                           IconCase{"IDI_PLAY2"}));

class ImageTest : public ::testing::Test {
  protected:
    void SetUp() override { wc::Reset(); }
    wc::ImageInfo Describe(HANDLE h) {
        wc::ImageInfo info;
        EXPECT_TRUE(wc::DescribeImage(h, &info));
        return info;
    }
};

TEST_F(ImageTest, PlayFramesAlternateVisiblyWithTheSameOutline) {
    wc::ImageInfo one = Describe(LoadImageA(Self(), "IDI_PLAY1", IMAGE_ICON, 16, 16, 0));
    wc::ImageInfo two = Describe(LoadImageA(Self(), "IDI_PLAY2", IMAGE_ICON, 16, 16, 0));
    ASSERT_EQ(one.pixels.size(), 256u);
    ASSERT_EQ(two.pixels.size(), 256u);
    int changed = 0;
    for (size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(one.pixels[i] < 0, two.pixels[i] < 0) << "outline differs at " << i;
        changed += one.pixels[i] != two.pixels[i];
    }
    EXPECT_GE(changed, 30) << "too few pixels change between the frames to be seen";
}

TEST_F(ImageTest, SizeZeroTakesTheDefaultOrTheFirstImage) {
    EXPECT_EQ(Describe(LoadImageA(Self(), "IDI_ICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)).width, 32);
    EXPECT_EQ(Describe(LoadIconA(Self(), "IDI_ICON")).sourceWidth, 32);
    wc::ImageInfo odd = Describe(LoadImageA(Self(), "IDI_ICON", IMAGE_ICON, 20, 20, 0));
    EXPECT_EQ(odd.width, 20);
    EXPECT_EQ(odd.sourceWidth, 16) << "the nearest image is scaled";
}

TEST_F(ImageTest, LinkCursorIsATwoColourHandPointingAtItsHotSpot) {
    HCURSOR hand = LoadCursorA(Self(), "IDC_CURSOR_HAND");
    wc::ImageInfo info = Describe(hand);
    EXPECT_EQ(info.type, static_cast<UINT>(IMAGE_CURSOR));
    EXPECT_EQ(info.sourceWidth, 32);
    EXPECT_EQ(info.sourceHeight, 32);
    EXPECT_EQ(info.bitsPerPixel, 1);
    EXPECT_EQ(info.hotSpot.x, 0);
    EXPECT_EQ(info.hotSpot.y, 0);
    ASSERT_EQ(info.pixels.size(), 32u * 32u);
    // The fingertip touches the top edge next to the hot spot.
    EXPECT_GE(info.pixels[1], 0);
    EXPECT_TRUE(info.shared);
    EXPECT_EQ(LoadCursorA(Self(), "IDC_CURSOR_HAND"), hand) << "shared cursors are one handle";
}

TEST_F(ImageTest, SystemCursorsComeFromInstanceNull) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_EQ(wc::ImageLabel(arrow), "system #32512");
    EXPECT_EQ(LoadCursorA(Self(), IDC_ARROW), nullptr) << "the program has no such cursor";
    EXPECT_EQ(LoadCursorA(nullptr, "IDC_CURSOR_HAND"), nullptr);
}

TEST_F(ImageTest, MissingImagesFail) {
    EXPECT_EQ(LoadImageA(Self(), "NO_SUCH_ICON", IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadImageA(Self(), "IDI_PLAY1", IMAGE_CURSOR, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageA(Self(), "IDI_PLAY1", IMAGE_BITMAP, 16, 16, 0), nullptr);
}

TEST_F(ImageTest, DestroyingOwnAndSharedIcons) {
    HANDLE own = LoadImageA(Self(), "IDI_PLAY1", IMAGE_ICON, 16, 16, 0);
    HANDLE second = LoadImageA(Self(), "IDI_PLAY1", IMAGE_ICON, 16, 16, 0);
    EXPECT_NE(own, second) << "without LR_SHARED every load makes a new icon";
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(own)));
    EXPECT_TRUE(Describe(own).destroyed);
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(own)));
    HICON shared = LoadIconA(Self(), "IDI_ICON");
    EXPECT_TRUE(DestroyIcon(shared));
    EXPECT_FALSE(Describe(shared).destroyed) << "a shared icon outlives DestroyIcon";
}

} // namespace
