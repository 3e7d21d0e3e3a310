// The menus, the tray tooltip and the About box on arbitrary answers of the machine: CD drives
// with labels of any bytes and length and discs of up to 99 tracks, status answers of any
// position and length bytes (or failures) in place of the device's, version strings of any
// bytes and length, and any free-resources percentage.
//
// The target is linked with --wrap=mciSendCommandA: every MCI command of the program passes
// through AnswerCommand below, which hands it to the simulated device or answers a status
// query itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <winver.h>

#include <winsim/control.h>

#include "about/aboutbox.h"
#include "app/commands.h"
#include "fuzz_support.h"
#include "player/player.h"
#include "res/resource.h"
#include "tray/menus.h"
#include "tray/trayicon.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ctl = winsim::control;
namespace mci = winsim::control::mci;
namespace shell = winsim::control::shell;

extern "C" MCIERROR WINAPI __real_mciSendCommandA(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);

namespace {

const char kProgramPath[] = "c:\\program files\\trovanix\\trovanix.exe";
const std::string kLinkTip = "\x83\x54\x83\x7C\x81\x5B\x83\x67\x83\x54\x83\x43\x83\x67\x82\xD6";
const std::string kAbout = " \x82\xC9\x82\xC2\x82\xA2\x82\xC4"; // " について"
const char kResourcesFormat[] =
    "\x83\x56\x83\x58\x83\x65\x83\x80\x83\x8A\x83\x5C\x81\x5B\x83\x58\x81\x46"
    " %d \x81\x93\x8E\x67\x97\x70\x89\xC2\x94\x5C"; // "システムリソース： %d ％使用可能"
const size_t kTextLimit = MAX_PATH - 1;

FuzzedDataProvider* input = nullptr;

// What the program was given since the test cleared it, for judging what it showed: the first
// track count (the ones asked for each track's check follow it), the last position and length.
const DWORD kNone = 0xFFFFFFFF;
struct Given {
    DWORD count, position, length;
} given;

// ---- the device's answers -------------------------------------------------------------------

bool IsAnswered(DWORD item) {
    return item == MCI_STATUS_NUMBER_OF_TRACKS || item == MCI_STATUS_POSITION ||
           item == MCI_STATUS_LENGTH;
}

MCIERROR AnswerCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param) {
    auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(param);
    bool query =
        command == MCI_STATUS && status && (flags & MCI_STATUS_ITEM) && IsAnswered(status->dwItem);
    int how = query && input ? input->ConsumeIntegralInRange<int>(0, 3) : 0;
    MCIERROR result = 0;
    if (how == 0) {
        result = __real_mciSendCommandA(device, command, flags, param);
    } else if (how == 1) {
        result = MCIERR_HARDWARE;
    } else if (status->dwItem == MCI_STATUS_NUMBER_OF_TRACKS) {
        status->dwReturn = input->ConsumeIntegralInRange<DWORD>(0, 99);
    } else {
        status->dwReturn = input->ConsumeIntegral<uint32_t>(); // any bytes
    }
    if (query && result == 0) {
        if (status->dwItem == MCI_STATUS_NUMBER_OF_TRACKS) {
            if (given.count == kNone)
                given.count = static_cast<DWORD>(status->dwReturn);
        } else if (status->dwItem == MCI_STATUS_POSITION)
            given.position = static_cast<DWORD>(status->dwReturn);
        else
            given.length = static_cast<DWORD>(status->dwReturn);
    }
    return result;
}

// ---- the scene --------------------------------------------------------------------------------

// A seed after which rand's first draw does not pick the About box's rare caption.
unsigned quietSeed = 1;

LONG freePercent = 0;
LONG WINAPI FreeResources(UINT) {
    return freePercent;
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PlayerSettings out{};
        PlayerDestroy(window, &out);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// CD drives on a few letters, each with a label of any bytes, and a disc, an open door or
// nothing. Returns the letters.
std::string BuildDrives(FuzzedDataProvider& in) {
    std::string letters;
    int drives = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < drives; ++i) {
        char letter = static_cast<char>('d' + in.ConsumeIntegralInRange<int>(0, 22));
        std::vector<mci::Track> tracks;
        int count = in.ConsumeIntegralInRange<int>(0, 99);
        for (int t = 0; t < count; ++t) {
            DWORD frames = in.ConsumeIntegralInRange<DWORD>(1, 75 * 60 * 80);
            tracks.push_back(mci::Track{in.ConsumeBool(), frames});
        }
        mci::CdDriveScene drive = mci::CdDrive(letter);
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            break; // no disc
        case 1:
            drive.DoorOpen();
            break;
        default:
            drive.WithDisc(tracks).Label(in.ConsumeRandomLengthString(300));
        }
        if (letters.find(letter) == std::string::npos)
            letters += letter;
    }
    return letters;
}

void BuildVersionBlock(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
        ctl::SetNoVersionBlock();
        return;
    case 1:
        ctl::RemoveVersionTranslation();
        return;
    default:
        break;
    }
    for (const char* key :
         {"ProductName", "ProductVersion", "FileDescription", "CompanyName", "LegalCopyright"}) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            break; // as compiled
        case 1:
            ctl::RemoveVersionString(key);
            break;
        default:
            ctl::SetVersionString(key, in.ConsumeRandomLengthString(700));
        }
    }
}

// ---- what the program showed --------------------------------------------------------------

// A string value of the program's version block, as the system gives it; "" without one.
std::string VersionValue(const char* key) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(kProgramPath, &handle);
    if (size == 0)
        return "";
    std::vector<char> block(size);
    void* table = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(kProgramPath, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &length) ||
        length < sizeof(DWORD))
        return "";
    DWORD translation = *static_cast<DWORD*>(table);
    char path[64];
    snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s",
             static_cast<unsigned>(LOWORD(translation)), static_cast<unsigned>(HIWORD(translation)),
             key);
    void* value = nullptr;
    if (!VerQueryValueA(block.data(), path, &value, &length) || !value)
        return "";
    return static_cast<const char*>(value);
}

void CheckAboutBox(FuzzedDataProvider& in, HWND owner) {
    freePercent = in.ConsumeIntegral<int32_t>();
    bool library = in.ConsumeBool(); // else the library without its function
    ctl::InstallFreeResourcesLibrary(library ? FreeResources : nullptr);
    std::string name = VersionValue("ProductName");
    if (name.empty())
        name = VersionValue("FileDescription");
    std::string version = VersionValue("ProductVersion");

    std::string caption, versionLine, resources, linkTip;
    bool shown = false;
    ctl::After(10, [&] {
        HWND dialog = ctl::OpenDialog();
        FUZZ_CHECK(dialog != nullptr, "no About box");
        caption = ctl::WindowText(dialog);
        ctl::DialogItem item{};
        FUZZ_CHECK(ctl::FindDialogItem(dialog, IDC_ABOUT_VERSION, &item), "version control");
        versionLine = item.text;
        FUZZ_CHECK(ctl::FindDialogItem(dialog, IDC_ABOUT_RESOURCES, &item), "resources control");
        resources = item.text;
        FUZZ_CHECK(ctl::FindDialogItem(dialog, IDC_ABOUT_URL, &item), "link control");
        ctl::ToolTipTextResult hover{};
        FUZZ_CHECK(ctl::HoverTool(item.handle, &hover), "the link has no tooltip");
        linkTip = hover.text;
        shown = true;
    });
    ctl::After(20, [] { FUZZ_CHECK(ctl::PressOK(), "no OK button"); });
    srand(quietSeed);
    AboutCommand(owner);
    FUZZ_CHECK(shown, "the About box did not open");

    // Each value is cut to a path's size first, then the line built from them again.
    std::string nameCut = name.substr(0, fuzz::LongestCut(name, kTextLimit));
    std::string versionCut = version.substr(0, fuzz::LongestCut(version, kTextLimit));
    fuzz::CheckCut(nameCut + kAbout, caption, kTextLimit, "caption");
    fuzz::CheckCut(nameCut + " ver. " + versionCut, versionLine, kTextLimit, "version line");
    if (library) {
        char full[128];
        snprintf(full, sizeof full, kResourcesFormat, static_cast<int>(freePercent));
        fuzz::CheckCut(full, resources, 33, "resources line"); // the line holds 33 bytes
    } else {
        FUZZ_CHECK(resources.empty(), "a resources line without the library");
    }
    FUZZ_CHECK(linkTip == kLinkTip, "link tooltip \"%s\"", linkTip.c_str());
}

// ---- the menus and the tooltip ---------------------------------------------------------------

std::string Label(char letter) {
    mci::DriveInfo info{};
    if (!mci::DescribeDrive(letter, &info) || !info.hasDisc || info.doorOpen ||
        info.label.size() >= MENU_TEXT_SIZE)
        return ""; // the label cannot be read into the program's buffer
    return info.label.c_str();
}

void CheckMainMenu(HWND window, const std::string& letters) {
    ctl::ClearDisplayedMenus();
    ShowMainMenu(window);
    std::vector<ctl::DisplayedMenu> menus = ctl::DisplayedMenus();
    FUZZ_CHECK(menus.size() == 1, "%zu menus shown", menus.size());
    FUZZ_CHECK(ctl::LiveMenuCount() == 0, "the main menu was not destroyed");
    size_t drives = 0;
    for (const ctl::MenuItem& item : menus[0].items) {
        if (item.separator() || !IsDriveCommand(item.id))
            continue;
        ++drives;
        char letter = static_cast<char>('a' + DriveIndexOfCommand(static_cast<int>(item.id)));
        FUZZ_CHECK(letters.find(letter) != std::string::npos, "a drive item for %c:", letter);
        std::string root = std::string(1, letter) + ":\\: ";
        FUZZ_CHECK(item.text.compare(0, root.size(), root) == 0, "drive item \"%s\"",
                   item.text.c_str());
        fuzz::CheckCut(Label(letter), item.text.substr(root.size()), MENU_TEXT_SIZE - 6,
                       "drive label");
    }
    FUZZ_CHECK(drives == letters.size(), "%zu drive items for %zu drives", drives, letters.size());
}

void CheckTrackMenu(HWND window) {
    ctl::ClearDisplayedMenus();
    given.count = kNone;
    ShowTrackMenu(window);
    std::vector<ctl::DisplayedMenu> menus = ctl::DisplayedMenus();
    FUZZ_CHECK(menus.size() == 1, "%zu menus shown", menus.size());
    FUZZ_CHECK(ctl::LiveMenuCount() == 0, "the track list was not destroyed");
    const std::vector<ctl::MenuItem>& items = menus[0].items;
    if (given.count == kNone) { // the count was not had: the placeholder stays
        FUZZ_CHECK(items.size() == 1 && items[0].id == IDM_NO_TITLE, "placeholder");
        return;
    }
    FUZZ_CHECK(items.size() == given.count, "%zu items for %u tracks", items.size(), given.count);
    for (size_t i = 0; i < items.size(); ++i) {
        int track = static_cast<int>(i) + 1;
        FUZZ_CHECK(items[i].id == static_cast<UINT>(TrackCommandId(track)), "item %zu's id", i);
        char suffix[32];
        snprintf(suffix, sizeof suffix, "track %2d.", track);
        FUZZ_CHECK(items[i].text.size() >= strlen(suffix) &&
                       items[i].text.compare(items[i].text.size() - strlen(suffix),
                                             std::string::npos, suffix) == 0,
                   "track item \"%s\"", items[i].text.c_str());
    }
}

void CheckTooltip(HWND window) {
    // Exactly the tip field's size, so a byte past it is seen.
    std::unique_ptr<char[]> tip(new char[TRAY_TIP_SIZE]);
    memset(tip.get(), 'X', TRAY_TIP_SIZE);
    given = Given{kNone, 0, 0};
    PollAnswers answers{};
    TrayAskPosition(window, &answers);
    if (!FormatTrayTip(&answers, tip.get())) {
        for (int i = 0; i < TRAY_TIP_SIZE; ++i)
            FUZZ_CHECK(tip[i] == 'X', "a failed tooltip wrote byte %d", i);
        return;
    }
    DWORD p = given.position, l = given.length;
    char full[128];
    snprintf(full, sizeof full, "track %d/%d. ( %2d:%02d/ %2d:%02d)", static_cast<int>(p & 0xFF),
             static_cast<int>(given.count), static_cast<int>((p >> 8) & 0xFF),
             static_cast<int>((p >> 16) & 0xFF), static_cast<int>(l & 0xFF),
             static_cast<int>((l >> 8) & 0xFF));
    FUZZ_CHECK(memchr(tip.get(), 0, TRAY_TIP_SIZE) != nullptr, "tooltip not terminated");
    fuzz::CheckCut(full, tip.get(), TRAY_TIP_SIZE - 1, "tooltip");
}

// The poll as the shell sees it: every tip it was handed ends within the tip field.
void CheckPolledTips(HWND window) {
    TraySetup(window);
    ctl::RunFor(2 * TRAY_POLL_PERIOD + 10);
    TrayTeardown(window);
    for (const shell::NotifyCall& call : shell::NotifyCalls()) {
        FUZZ_CHECK(call.tipTerminated, "a tip handed to the shell is not terminated");
        FUZZ_CHECK(call.tip.size() < TRAY_TIP_SIZE, "a tip of %zu bytes", call.tip.size());
    }
}

} // namespace

extern "C" MCIERROR WINAPI __wrap_mciSendCommandA(MCIDEVICEID device, UINT command, DWORD_PTR flags,
                                                  DWORD_PTR param) {
    return AnswerCommand(device, command, flags, param);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (;; ++quietSeed) {
        srand(quietSeed);
        if (rand() % 1000 != 0)
            break;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    ctl::Reset();
    InitCommonControls();
    ctl::SetWorkArea(RECT{0, 0, 1024, 768});
    ctl::SetCursorPos(in.ConsumeIntegralInRange<int>(-100, 1200),
                      in.ConsumeIntegralInRange<int>(-100, 900));
    shell::StartTaskbar();
    std::string letters = BuildDrives(in);
    BuildVersionBlock(in);

    HWND window = ctl::CreateTestWindow(PlayerWindowProc, "trovanix");
    PlayerSettings settings{in.ConsumeIntegralInRange<int>(0, 3), in.ConsumeBool() ? 1 : 0};
    input = &in; // from here on the device's status answers come from the input
    PlayerCreate(window, &settings);
    if (in.ConsumeBool())
        PlayerPlay(window);

    CheckTooltip(window);
    CheckMainMenu(window, letters);
    CheckTrackMenu(window);
    CheckPolledTips(window);
    CheckAboutBox(in, window);
    DestroyWindow(window);
    input = nullptr;
    return 0;
}
