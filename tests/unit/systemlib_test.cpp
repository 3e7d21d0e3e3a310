// The system's libraries come from the system folder alone, each looked up once a process.
#include <gtest/gtest.h>

#include <windows.h>

#include <winsim/control.h>

#include "text/systemlib.h"

namespace ctl = winsim::control;

namespace {

void WINAPI Export() {}

struct BindCase {
    const char* name;
    const char* installedAs; // nullptr: nowhere
    const char* exportName;
    bool bound;
};

class SystemProcTest : public ::testing::TestWithParam<BindCase> {};

TEST_P(SystemProcTest, BindsTheSystemFoldersExportOnly) {
    const BindCase& c = GetParam();
    ctl::Reset();
    if (c.installedAs)
        ctl::InstallLibrary(c.installedAs, {{c.exportName, reinterpret_cast<FARPROC>(&Export)}});
    SystemLibrary library = {"stray.dll", 0, NULL};
    SystemProc proc = {&library, "Export", 0, NULL};
    EXPECT_EQ(BindSystemProc(&proc), c.bound ? reinterpret_cast<FARPROC>(&Export) : nullptr);
    EXPECT_EQ(BindSystemProc(&proc), BindSystemProc(&proc));
    ASSERT_EQ(ctl::CallsTo("LoadLibraryA").size(), 1u);
    EXPECT_EQ(ctl::CallsTo("LoadLibraryA")[0].text, "C:\\WINDOWS\\system32\\stray.dll");
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, SystemProcTest,
    ::testing::Values(BindCase{"InTheSystemFolder", "stray.dll", "Export", true},
                      BindCase{"WithoutTheExport", "stray.dll", "Other", false},
                      BindCase{"BesideTheProgram", "C:\\Program Files\\trovanix\\stray.dll",
                               "Export", false},
                      BindCase{"Nowhere", nullptr, "", false}),
    [](const ::testing::TestParamInfo<BindCase>& info) { return info.param.name; });

TEST(LibrarySearchTest, NarrowedToTheSystemFolderElseWithoutTheCurrentDirectory) {
    ctl::Reset();
    RestrictLibrarySearch();
    ASSERT_EQ(ctl::CallsTo("SetDefaultDllDirectories").size(), 1u);
    EXPECT_EQ(ctl::CallsTo("SetDefaultDllDirectories")[0].args[0],
              uintptr_t{LOAD_LIBRARY_SEARCH_SYSTEM32});
    EXPECT_TRUE(ctl::CallsTo("SetDllDirectoryA").empty());
    ctl::Reset();
    ctl::RemoveExport("kernel32.dll", "SetDefaultDllDirectories"); // XP SP1 to Windows 7
    RestrictLibrarySearch();
    ASSERT_EQ(ctl::CallsTo("SetDllDirectoryA").size(), 1u);
    EXPECT_EQ(ctl::CallsTo("SetDllDirectoryA")[0].text, "");
}

} // namespace
