// Whole-program tests: the real entry point runs on the simulated desktop while the test acts
// as the user through actions placed on the virtual clock.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <winsim/control.h>

#include "app/commands.h"
#include "tray/menus.h"

#include <string>
#include <vector>

namespace program {

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;
namespace shell = winsim::control::shell;

const char kSettingsPath[] = "C:\\Program Files\\trovanix\\trovanix.ini";
const char kModulePath[] = "C:\\Program Files\\trovanix\\trovanix.exe";

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctl::Reset();
        ctl::SetFailureHandler([](const std::string& m) { ADD_FAILURE() << m; });
        ctl::SetTimeLimit(60 * 60 * 1000);
        ctl::SetCursorPos(1180, 750);
        shell::StartTaskbar();
    }

    // Starts the program and returns its exit code once it has ended.
    static int Run() {
        char commandLine[] = "";
        return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
    }

    static HWND MainWindow() { return ctl::FindByClass("trovanix"); }

    static size_t WindowsOfTheProgram() {
        size_t n = 0;
        for (const ctl::WindowInfo& w : ctl::Windows())
            if (w.className == "trovanix")
                ++n;
        return n;
    }

    // The user picks "終了(&Q)" from the icon's main menu.
    static void QuitFromTheMenu() {
        ctl::ChooseMenuItem(IDM_QUIT);
        EXPECT_TRUE(shell::RightClick());
    }
    static void QuitAt(ctl::Millis t) { ctl::At(t, QuitFromTheMenu); }

    static size_t SettingsWrites() { return ctl::CallsTo("WritePrivateProfileStringA").size(); }
    static std::string SettingsFile() {
        std::string bytes;
        ctl::ReadFile(kSettingsPath, &bytes);
        return bytes;
    }
    static void WriteSettingsFile(const std::string& repeat, const std::string& mode) {
        ctl::WriteFile(kSettingsPath,
                       "[Sorvintal]\r\nリピート=" + repeat + "\r\n再生方法=" + mode + "\r\n");
    }
    static bool SettingsHold(const std::string& repeat, const std::string& mode) {
        std::string file = SettingsFile();
        return file.find("リピート=" + repeat) != std::string::npos &&
               file.find("再生方法=" + mode) != std::string::npos;
    }

    // The program's tray icon as the user sees it; false when it is not shown.
    static bool ShownIcon(shell::Icon* icon) {
        return MainWindow() && shell::FindIcon(MainWindow(), 1, icon);
    }
    static std::string ShownFrame() {
        shell::Icon icon{};
        return ShownIcon(&icon) ? ctl::ImageLabel(icon.image) : "";
    }
    static std::string ShownTip() {
        shell::Icon icon{};
        return ShownIcon(&icon) ? icon.tip : "<no icon>";
    }

    static std::vector<ctl::DisplayedMenu> Menus() { return ctl::DisplayedMenus(); }
};

} // namespace program
