// The probe on winsim: a fresh desktop with the probe's CD drives; a call winsim refuses as the
// platform documents it wrong shows as a line of the transcript, where Wine would show something
// else.
#include "tests/fidelity/probe.h"

#include <winsim/control.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace mci = winsim::control::mci;

// The scene's drives as winsim's: "[x]" sections with "disc=audio 2, data 3" or "none",
// "stop=silent", "spinup=ms", "root=refused" and "toc=live", and "end=silent" in "[vcd]" for drives
// that post nothing at the end of a play. Its speed is the virtual drive's alone: winsim plays on a
// virtual clock.
void UseDrives(const char* scene) {
    std::istringstream lines(scene);
    std::string line, section;
    bool silent = std::string(scene).find("end=silent") != std::string::npos;
    while (std::getline(lines, line)) {
        if (line.size() > 2 && line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            if (section.size() == 1)
                mci::CdDrive(section[0]);
            if (section.size() == 1 && silent)
                mci::CdDriveScene(section[0]).SilentEnd();
        } else if (section.size() == 1 && line == "stop=silent") {
            mci::CdDriveScene(section[0]).SilentStop();
        } else if (section.size() == 1 && line == "root=refused") {
            mci::CdDriveScene(section[0]).RefusesRootElement();
        } else if (section.size() == 1 && line == "toc=live") {
            mci::CdDriveScene(section[0]).LiveToc();
        } else if (section.size() == 1 && line.rfind("spinup=", 0) == 0) {
            mci::CdDriveScene(section[0]).SpinUp(std::stoi(line.substr(7)));
        } else if (section.size() == 1 && line.rfind("disc=", 0) == 0 && line != "disc=none") {
            std::vector<mci::Track> tracks;
            std::istringstream items(line.substr(5));
            std::string item;
            while (std::getline(items, item, ',')) {
                std::istringstream words(item);
                std::string kind;
                int seconds = 0;
                words >> kind >> seconds;
                tracks.push_back(kind == "data" ? mci::Data(seconds) : mci::Audio(seconds));
            }
            mci::CdDriveScene(section[0]).WithDisc(tracks);
        }
    }
}

void SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    winsim::control::SendFromAnotherThread(window, message, wParam, lParam);
}

const char* IconSource(const char* group, int size) {
    static char text[32];
    HANDLE icon = LoadImageA(GetModuleHandleA(NULL), group, IMAGE_ICON, size, size, 0);
    winsim::control::ImageInfo info;
    if (!winsim::control::DescribeImage(icon, &info))
        return "no";
    snprintf(text, sizeof(text), "%dx%d %d-bit", info.sourceWidth, info.sourceHeight,
             info.bitsPerPixel);
    DestroyIcon(static_cast<HICON>(icon));
    return text;
}

int main() {
    winsim::control::SetFailureHandler(
        [](const std::string& message) { Say("winsim failure: %s", message.c_str()); });
    winsim::control::Reset();
    winsim::control::MenusTakeKeys();       // as on screen: the probe's keys end its menus
    winsim::control::shell::StartTaskbar(); // Wine's desktop has one
    Probe();
    return 0;
}
