// What the About box reads: version strings, the free-resources probe, placement at the cursor.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/control.h>

#include "about/aboutinfo.h"
#include "text/sjis.h"

#include <cstring>
#include <string>
#include <vector>

namespace ctl = winsim::control;

namespace {

const char kProgramPath[] = "c:\\program files\\trovanix\\trovanix.exe";
const DWORD kJapaneseUnicode = 0x04B00411;

// ---- version block ------------------------------------------------------------------------

class AboutVersionTest : public ::testing::Test {
  protected:
    void SetUp() override { ctl::Reset(); }

    // The value of key in the program's block, through the first translation.
    std::string Query(const char* key, int* ok = nullptr) {
        DWORD* translation = nullptr;
        void* block = LoadVersionBlock(kProgramPath, &translation);
        EXPECT_NE(block, nullptr);
        if (!block)
            return "<no block>";
        char value[MAX_PATH];
        memset(value, 'X', sizeof(value));
        int r = QueryVersionString(value, block, *translation, key);
        if (ok)
            *ok = r;
        ReleaseVersionBlock(block);
        return value;
    }
};

TEST_F(AboutVersionTest, ProgramBlockListsJapaneseUnicodeFirst) {
    DWORD* translation = nullptr;
    void* block = LoadVersionBlock(kProgramPath, &translation);
    ASSERT_NE(block, nullptr);
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(*translation, kJapaneseUnicode);
    ReleaseVersionBlock(block);
}

TEST_F(AboutVersionTest, ReadsTheProgramsValues) {
    int ok = 0;
    EXPECT_EQ(Query("ProductName", &ok), "trovanix");
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Query("ProductVersion"), "0.02");
    EXPECT_EQ(Query("FileVersion"), "0.02");
}

TEST_F(AboutVersionTest, AsksForTheTableOfTheTranslationInLowerCaseHex) {
    Query("ProductName");
    std::vector<ctl::Call> calls = ctl::CallsTo("VerQueryValueA");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().text, "\\StringFileInfo\\041104b0\\ProductName");
}

TEST_F(AboutVersionTest, MissingKeyGivesEmptyAndZero) {
    int ok = 1;
    EXPECT_EQ(Query("NoSuchKey", &ok), "");
    EXPECT_EQ(ok, 0);
}

TEST_F(AboutVersionTest, OtherTranslationFindsNothing) {
    DWORD* translation = nullptr;
    void* block = LoadVersionBlock(kProgramPath, &translation);
    ASSERT_NE(block, nullptr);
    char value[MAX_PATH] = "old";
    EXPECT_EQ(QueryVersionString(value, block, 0x04E40409, "ProductName"), 0);
    EXPECT_STREQ(value, "");
    ReleaseVersionBlock(block);
}

TEST_F(AboutVersionTest, LongValueIsCutAtACharacterBoundaryInsideTheDestination) {
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += "あ"; // 300 bytes
    ctl::SetVersionString("ProductName", longName);
    DWORD* translation = nullptr;
    void* block = LoadVersionBlock(kProgramPath, &translation);
    ASSERT_NE(block, nullptr);
    char buffer[MAX_PATH + 40];
    memset(buffer, 'X', sizeof(buffer));
    EXPECT_EQ(QueryVersionString(buffer, block, *translation, "ProductName"), 1);
    ReleaseVersionBlock(block);
    size_t length = strnlen(buffer, MAX_PATH);
    ASSERT_LT(length, static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(length, 258u); // 259 would end on a lead byte
    EXPECT_EQ(std::string(buffer, length), longName.substr(0, 258));
    for (size_t i = MAX_PATH; i < sizeof(buffer); ++i)
        ASSERT_EQ(buffer[i], 'X') << "byte " << i << " written";
}

struct NoBlockCase {
    const char* name;
    void (*scene)();
    const char* path;
};

class AboutNoVersionBlockTest : public ::testing::TestWithParam<NoBlockCase> {
  protected:
    void SetUp() override { ctl::Reset(); }
};

TEST_P(AboutNoVersionBlockTest, GivesNullAndLeavesTheTranslationAlone) {
    GetParam().scene();
    DWORD sentinel = 0xDEADBEEF;
    DWORD* translation = &sentinel;
    EXPECT_EQ(LoadVersionBlock(GetParam().path, &translation), nullptr);
    EXPECT_EQ(translation, &sentinel);
}

INSTANTIATE_TEST_SUITE_P(
    AboutScenes, AboutNoVersionBlockTest,
    ::testing::Values(
        NoBlockCase{"NoBlock", [] { ctl::SetNoVersionBlock(); }, kProgramPath},
        NoBlockCase{"NoTranslation", [] { ctl::RemoveVersionTranslation(); }, kProgramPath},
        NoBlockCase{"ShortTranslation", [] { ctl::ShortenVersionTranslation(2); }, kProgramPath},
        NoBlockCase{"OutOfMemory", [] { ctl::SetHeapAllocFails(true); }, kProgramPath},
        NoBlockCase{"EmptyPath", [] {}, ""}),
    [](const ::testing::TestParamInfo<NoBlockCase>& info) { return info.param.name; });

// ---- free resources ---------------------------------------------------------------------

std::vector<UINT> asked;
LONG WINAPI FakeFreeResources(UINT kind) {
    asked.push_back(kind);
    return static_cast<LONG>(90 - 10 * kind);
}

class AboutFreeResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        asked.clear();
    }
    int system = -7, gdi = -7, user = -7;
};

TEST_F(AboutFreeResourcesTest, WithoutTheLibraryNothingIsTouched) {
    EXPECT_EQ(QueryFreeResources(&system, &gdi, &user), 0);
    EXPECT_EQ(system, -7);
    EXPECT_EQ(gdi, -7);
    EXPECT_EQ(user, -7);
    ASSERT_EQ(ctl::CallsTo("LoadLibraryA").size(), 1u);
    // By its full path: a bare name would search the program's folder and the current one.
    EXPECT_EQ(ctl::CallsTo("LoadLibraryA")[0].text, "C:\\WINDOWS\\system32\\rsrc32.dll");
    EXPECT_TRUE(ctl::CallsTo("GetProcAddress").empty());
}

TEST_F(AboutFreeResourcesTest, WithoutTheFunctionTheLibraryIsReleased) {
    ctl::InstallFreeResourcesLibrary(nullptr);
    EXPECT_EQ(QueryFreeResources(&system, &gdi, &user), 0);
    EXPECT_EQ(system, -7);
    EXPECT_EQ(ctl::LibraryLoads("rsrc32.dll"), 1);
    EXPECT_EQ(ctl::LibraryReferences("rsrc32.dll"), 0);
}

TEST_F(AboutFreeResourcesTest, AsksEachKindInOrderAndReleasesTheLibrary) {
    ctl::InstallFreeResourcesLibrary(FakeFreeResources);
    EXPECT_EQ(QueryFreeResources(&system, &gdi, &user), 1);
    EXPECT_EQ(system, 90);
    EXPECT_EQ(gdi, 80);
    EXPECT_EQ(user, 70);
    EXPECT_EQ(asked, (std::vector<UINT>{0, 1, 2}));
    EXPECT_EQ(ctl::LibraryLoads("rsrc32.dll"), 1);
    EXPECT_EQ(ctl::LibraryFrees("rsrc32.dll"), 1);
}

TEST_F(AboutFreeResourcesTest, NullOutsAreNotAskedFor) {
    ctl::InstallFreeResourcesLibrary(FakeFreeResources);
    EXPECT_EQ(QueryFreeResources(nullptr, &gdi, nullptr), 1);
    EXPECT_EQ(asked, (std::vector<UINT>{1}));
    asked.clear();
    EXPECT_EQ(QueryFreeResources(nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(ctl::LibraryLoads("rsrc32.dll"), 2);
    EXPECT_EQ(ctl::LibraryFrees("rsrc32.dll"), 2);
}

// ---- placement at the cursor --------------------------------------------------------------

struct PlaceCase {
    const char* name;
    RECT work;
    POINT cursor;
    SIZE size;
    POINT expected; // top-left corner
};

class AboutPlacementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "PlaceTest";
        RegisterClassExA(&wc);
    }
    HWND Make(DWORD style, HWND parent, int x, int y, int cx, int cy) {
        return CreateWindowExA(0, "PlaceTest", "", style, x, y, cx, cy, parent, nullptr, nullptr,
                               nullptr);
    }
};

class AboutPlaceTest : public AboutPlacementTest,
                       public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(AboutPlaceTest, CentresOnTheCursorInsideTheWorkArea) {
    const PlaceCase& c = GetParam();
    ctl::SetWorkArea(c.work);
    ctl::SetCursorPos(c.cursor.x, c.cursor.y);
    HWND w = Make(WS_POPUP, nullptr, 3, 4, c.size.cx, c.size.cy);
    PlaceNearCursor(w);
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, c.expected.x);
    EXPECT_EQ(r.top, c.expected.y);
    EXPECT_EQ(r.right - r.left, c.size.cx);
    EXPECT_EQ(r.bottom - r.top, c.size.cy);
    ctl::Call move = ctl::CallsTo("SetWindowPos").back();
    EXPECT_EQ(move.args[1], 0u);                              // no insert-after window
    EXPECT_EQ(move.args[6], UINT(SWP_NOZORDER | SWP_NOSIZE)); // moved only
}

INSTANTIATE_TEST_SUITE_P(
    AboutCases, AboutPlaceTest,
    ::testing::Values(
        PlaceCase{"Centred", {0, 0, 1024, 768}, {500, 400}, {200, 100}, {400, 350}},
        PlaceCase{"OddSizeRoundsHalfDown", {0, 0, 1024, 768}, {500, 400}, {201, 101}, {400, 350}},
        PlaceCase{"Wide341AtX1000", {0, 0, 2000, 1000}, {1000, 500}, {341, 100}, {830, 450}},
        PlaceCase{"BottomRightCorner", {0, 0, 1024, 738}, {1024, 738}, {200, 100}, {824, 638}},
        PlaceCase{"TopLeftCorner", {0, 0, 1024, 768}, {0, 0}, {200, 100}, {0, 0}},
        PlaceCase{"TaskbarOnTheLeftAndTop", {60, 30, 1024, 768}, {0, 0}, {200, 100}, {60, 30}},
        PlaceCase{"CursorOffTheScreen", {0, 0, 1024, 768}, {-50, 2000}, {200, 100}, {0, 668}},
        PlaceCase{"LargerThanTheWorkArea", {0, 0, 1024, 768}, {900, 700}, {1200, 900}, {0, 0}},
        PlaceCase{
            "LargerThanAnOffsetWorkArea", {100, 50, 800, 600}, {0, 0}, {900, 700}, {100, 50}}),
    [](const ::testing::TestParamInfo<PlaceCase>& info) { return info.param.name; });

TEST_F(AboutPlacementTest, ChildIsPlacedInItsParentsClientCoordinates) {
    ctl::SetWorkArea(RECT{0, 0, 1024, 768});
    ctl::SetCursorPos(300, 300);
    HWND parent = Make(WS_POPUP, nullptr, 100, 100, 500, 500);
    HWND child = Make(WS_CHILD, parent, 0, 0, 50, 50);
    PlaceNearCursor(child);
    RECT r{};
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 275);
    EXPECT_EQ(r.top, 275);
}

TEST_F(AboutPlacementTest, OwnedWindowStaysInScreenCoordinates) {
    ctl::SetWorkArea(RECT{0, 0, 1024, 768});
    ctl::SetCursorPos(300, 300);
    HWND owner = Make(WS_POPUP, nullptr, 100, 100, 500, 500);
    HWND owned = Make(WS_POPUP, owner, 0, 0, 50, 50);
    ASSERT_EQ(GetParent(owned), owner); // the owner, as the platform answers for a popup
    PlaceNearCursor(owned);
    RECT r{};
    GetWindowRect(owned, &r);
    EXPECT_EQ(r.left, 275);
    EXPECT_EQ(r.top, 275);
}

} // namespace
