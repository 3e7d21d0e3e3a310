// The simulator's core where its behaviour is subtle: timers on the virtual clock, the message
// loop's time advance, and the INI file semantics of the profile functions.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <string>
#include <vector>

namespace {

std::vector<std::pair<winsim::control::Millis, UINT_PTR>> g_ticks;

void CALLBACK RecordTick(HWND, UINT, UINT_PTR id, DWORD) {
    g_ticks.emplace_back(winsim::control::Now(), id);
}

LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER && l == 0)
        g_ticks.emplace_back(winsim::control::Now(), w + 1000);
    return DefWindowProcA(h, m, w, l);
}

class WinsimCoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        winsim::control::Reset();
        g_ticks.clear();
        window = winsim::control::CreateTestWindow(PlainProc, "w", RECT{0, 0, 10, 10});
        ASSERT_NE(window, nullptr);
    }
    HWND window = nullptr;
};

TEST_F(WinsimCoreTest, TimersFireOnTheVirtualClock) {
    SetTimer(window, 3, 500, RecordTick);
    SetTimer(window, 4, 200, nullptr);
    winsim::control::RunFor(1000);
    std::vector<std::pair<winsim::control::Millis, UINT_PTR>> expected = {
        {200, 1004}, {400, 1004}, {500, 3}, {600, 1004}, {800, 1004}, {1000, 3}, {1000, 1004}};
    EXPECT_EQ(g_ticks, expected);
    EXPECT_EQ(winsim::control::Now(), 1000);
}

TEST_F(WinsimCoreTest, SettingTheSameTimerAgainRestartsIt) {
    SetTimer(window, 513, 500, RecordTick);
    winsim::control::RunFor(300);
    SetTimer(window, 513, 500, RecordTick); // restarts at 300
    winsim::control::RunFor(700);
    ASSERT_EQ(g_ticks.size(), 1u);
    EXPECT_EQ(g_ticks[0].first, 800);
    EXPECT_TRUE(KillTimer(window, 513));
    EXPECT_FALSE(KillTimer(window, 513));
    winsim::control::RunFor(2000);
    EXPECT_EQ(g_ticks.size(), 1u);
}

TEST_F(WinsimCoreTest, DestroyingAWindowKillsItsTimers) {
    SetTimer(window, 1, 100, RecordTick);
    DestroyWindow(window);
    EXPECT_FALSE(winsim::control::HasTimer(window, 1));
    winsim::control::RunFor(500);
    EXPECT_TRUE(g_ticks.empty());
}

TEST_F(WinsimCoreTest, GetMessageAdvancesTimeToTheNextEvent) {
    bool ran = false;
    winsim::control::At(60000, [&] {
        ran = true;
        PostMessageA(window, WM_USER, 7, 0);
    });
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_TRUE(ran);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(winsim::control::Now(), 60000);
}

TEST_F(WinsimCoreTest, PostedMessagesComeBeforeTimersAndQuitComesLast) {
    SetTimer(window, 9, 100, nullptr);
    winsim::control::RunFor(100); // the tick at 100 is dispatched
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 1, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(WinsimCoreTest, AStalledLoopFailsInsteadOfHanging) {
    std::vector<std::string> failures;
    winsim::control::SetFailureHandler([&](const std::string& m) { failures.push_back(m); });
    MSG msg;
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    SetTimer(window, 1, 500, nullptr);
    winsim::control::SetTimeLimit(2000);
    while (GetMessageA(&msg, nullptr, 0, 0))
        DispatchMessageA(&msg);
    winsim::control::SetFailureHandler(
        [](const std::string& m) { ADD_FAILURE() << "winsim: " << m; });
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("nothing is due"), std::string::npos);
    EXPECT_NE(failures[1].find("time limit"), std::string::npos);
}

TEST_F(WinsimCoreTest, ShowDefaultTakesTheStartupShowState) {
    HWND w = window;
    ShowWindow(w, SW_SHOWDEFAULT);
    EXPECT_FALSE(IsIconic(w));
    winsim::control::SetStartupShowState(SW_SHOWMINNOACTIVE);
    ShowWindow(w, SW_SHOWDEFAULT);
    EXPECT_TRUE(IsIconic(w));
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(IsIconic(w));
    ShowWindow(w, SW_RESTORE);
    EXPECT_FALSE(IsIconic(w));
}

TEST_F(WinsimCoreTest, NamedMutexesSeeOtherInstances) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "trovanix");
    EXPECT_EQ(GetLastError(), 0u);
    HANDLE second = CreateMutexA(nullptr, TRUE, "trovanix");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(second);
    CloseHandle(first);
    EXPECT_FALSE(winsim::control::MutexExists("trovanix"));
    winsim::control::HoldMutex("trovanix");
    CloseHandle(CreateMutexA(nullptr, TRUE, "trovanix"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override { winsim::control::Reset(); }
    static std::string Get(const char* section, const char* key, const char* def = "dflt") {
        char buf[64];
        GetPrivateProfileStringA(section, key, def, buf, sizeof buf, "c:\\app\\x.ini");
        return buf;
    }
};

TEST_F(ProfileTest, ReadsTrimmedValuesWithoutRegardToCase) {
    winsim::control::WriteFile("C:\\App\\X.INI",
                               "[Main]\r\n  Key One =  value 1  \r\nquoted=\"q v\"\r\n[main]\r\n"
                               "dup=second\r\n");
    EXPECT_EQ(Get("MAIN", "key one"), "value 1");
    EXPECT_EQ(Get("main", "QUOTED"), "q v");
    EXPECT_EQ(Get("main", "dup"), "dflt") << "only the first section of a name counts";
    EXPECT_EQ(Get("none", "x"), "dflt");
    EXPECT_EQ(Get("main", "absent", ""), "");
}

TEST_F(ProfileTest, CrOnlyLinesBareKeysAndHeadersWithoutBracket) {
    // "name3" has no '=': no key to read or list, but the line a write of that key fills in.
    // "[u" has no ']': no header, so k stays in [t].
    winsim::control::WriteFile("c:\\app\\x.ini", "[s]\rname1=val1\rname3\rname4=a\r[t]\r[u\rk=2\r");
    EXPECT_EQ(Get("s", "name1"), "val1");
    EXPECT_EQ(Get("s", "name3"), "dflt");
    EXPECT_EQ(Get("t", "k"), "2");
    EXPECT_EQ(Get("", "name1"), "dflt");
    EXPECT_EQ(Get("s", ""), "dflt");
    char keys[64];
    DWORD n = GetPrivateProfileStringA("s", nullptr, "", keys, sizeof keys, "c:\\app\\x.ini");
    EXPECT_EQ(std::string(keys, n + 1), std::string("name1\0name4\0", 13));
    EXPECT_TRUE(WritePrivateProfileStringA("s", "NAME3", "x", "c:\\app\\x.ini"));
    std::string bytes;
    ASSERT_TRUE(winsim::control::ReadFile("c:\\app\\x.ini", &bytes));
    EXPECT_EQ(bytes, "[s]\rname1=val1\rname3=x\rname4=a\r[t]\r[u\rk=2\r");
}

TEST_F(ProfileTest, DoubleByteNamesMatchExactly) {
    // ア (83 41) and a name with 83 61 differ only in a trail byte's case.
    winsim::control::WriteFile("c:\\app\\x.ini", "[s]\n\x83\x41=1\n");
    EXPECT_EQ(Get("s", "\x83\x41"), "1");
    EXPECT_EQ(Get("s", "\x83\x61"), "dflt");
}

TEST_F(ProfileTest, WritesChangeOnlyTheirLine) {
    winsim::control::WriteFile("c:\\app\\x.ini", "[a]\nk=1\n;c\n\n[b]\nk=2\n");
    EXPECT_TRUE(WritePrivateProfileStringA("B", "K", "3", "c:\\app\\x.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("a", "new", "4", "c:\\app\\x.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("c", "z", "5", "c:\\app\\x.ini"));
    std::string bytes;
    ASSERT_TRUE(winsim::control::ReadFile("c:\\app\\x.ini", &bytes));
    EXPECT_EQ(bytes, "[a]\nk=1\nnew=4\r\n;c\n\n[b]\nk=3\n[c]\r\nz=5\r\n");
}

TEST_F(ProfileTest, AWriteIntoAMissingFolderFails) {
    EXPECT_FALSE(WritePrivateProfileStringA("a", "b", "c", "c:\\nowhere\\x.ini"));
    EXPECT_FALSE(winsim::control::FileExists("c:\\nowhere\\x.ini"));
}

} // namespace
