// The desktop as a whole: reset, failure reporting, the call log, the test's folder on disk
// and the clock as tests drive it.
#include "internal.h"
#include "state.h"

#include <winsim/control_core.h>
#include <winsim/control_mci.h>
#include <winsim/control_res.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace winsim {

namespace {

struct Harness {
    std::vector<void (*)()> resets;
    std::function<void(const std::string&)> failure;
    std::vector<Call> calls;
    std::string folder;
    std::vector<std::string> denied; // lower-cased Windows folder prefixes
    Millis timeLimit = 10 * 60 * 1000;
};

Harness& H() {
    static Harness harness;
    return harness;
}

std::string LowerPath(const std::string& path) {
    std::string p = FoldCase(path);
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

void RemoveFolder() {
    if (!H().folder.empty()) {
        std::error_code ec;
        fs::remove_all(H().folder, ec);
        H().folder.clear();
    }
}

struct FolderCleanup {
    ~FolderCleanup() { RemoveFolder(); }
} cleanup;

} // namespace

void OnReset(void (*fn)()) {
    H().resets.push_back(fn);
}

void Fail(const std::string& message) {
    if (H().failure) {
        H().failure(message);
        return;
    }
    fprintf(stderr, "winsim: %s\n", message.c_str());
    abort();
}

void Record(const std::string& api, std::vector<uintptr_t> args, std::string text) {
    H().calls.push_back(Call{api, std::move(args), std::move(text), Now()});
}

Millis TimeLimit() {
    return H().timeLimit;
}

std::string HostPath(const std::string& windowsPath) {
    if (H().folder.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "winsim.XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            Fail("cannot create a test folder");
        H().folder = tmpl;
    }
    std::string p = LowerPath(windowsPath);
    std::string rel;
    if (p.size() >= 2 && p[1] == ':') {
        rel = std::string(1, p[0]) + p.substr(2);
    } else if (!p.empty() && p[0] == '\\') {
        rel = "c" + p;
    } else {
        rel = "c\\windows\\" + p;
    }
    for (char& c : rel)
        if (c == '\\')
            c = '/';
    return H().folder + "/" + rel;
}

bool WritesDenied(const std::string& windowsPath) {
    std::string p = LowerPath(windowsPath);
    for (const std::string& d : H().denied)
        if (p.compare(0, d.size(), d) == 0)
            return true;
    return false;
}

} // namespace winsim

namespace winsim::control {

void Reset() {
    RemoveFolder();
    auto failure = H().failure;
    for (auto fn : H().resets)
        fn();
    H().calls.clear();
    H().denied.clear();
    H().timeLimit = 10 * 60 * 1000;
    H().failure = failure;
    SetModulePath("C:\\Program Files\\trovanix\\trovanix.exe");
}

void SetFailureHandler(std::function<void(const std::string&)> handler) {
    H().failure = std::move(handler);
}

std::string HostPath(const std::string& windowsPath) {
    return winsim::HostPath(windowsPath);
}

void WriteFile(const std::string& windowsPath, const std::string& bytes) {
    std::string host = winsim::HostPath(windowsPath);
    std::error_code ec;
    fs::create_directories(fs::path(host).parent_path(), ec);
    std::ofstream(host, std::ios::binary) << bytes;
}

bool ReadFile(const std::string& windowsPath, std::string* bytes) {
    std::ifstream in(winsim::HostPath(windowsPath), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    *bytes = s.str();
    return true;
}

bool FileExists(const std::string& windowsPath) {
    return fs::exists(winsim::HostPath(windowsPath));
}

void DenyWrites(const std::string& windowsFolder) {
    std::string p = LowerPath(windowsFolder);
    if (!p.empty() && p.back() != '\\')
        p += '\\';
    H().denied.push_back(p);
}

Millis Now() {
    return winsim::Now();
}

void At(Millis t, std::function<void()> action) {
    ScheduleAt(t, std::move(action));
}

void After(Millis dt, std::function<void()> action) {
    ScheduleAt(winsim::Now() + dt, std::move(action));
}

void RunFor(Millis dt) {
    Millis until = winsim::Now() + dt;
    MSG msg;
    while (NextMessage(&msg, until)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit for the program's own loop.
            RequeueQuit(static_cast<int>(msg.wParam));
            break;
        }
        DispatchMessageA(&msg);
    }
    AdvanceClockTo(until);
}

void SetTimeLimit(Millis t) {
    H().timeLimit = t;
}

std::vector<Call> Calls() {
    std::vector<Call> r;
    for (const winsim::Call& c : H().calls)
        r.push_back(Call{c.api, c.args, c.text, c.time});
    return r;
}

std::vector<Call> CallsTo(const std::string& api) {
    std::vector<Call> r;
    for (const winsim::Call& c : H().calls)
        if (c.api == api)
            r.push_back(Call{c.api, c.args, c.text, c.time});
    return r;
}

void ClearCalls() {
    H().calls.clear();
}

bool HandleCounts::operator==(const HandleCounts& o) const {
    return windows == o.windows && timers == o.timers && menus == o.menus && icons == o.icons &&
           devices == o.devices && heapBlocks == o.heapBlocks && kernelObjects == o.kernelObjects;
}

HandleCounts LiveHandles() {
    HandleCounts c;
    c.windows = static_cast<int>(LiveWindows().size());
    c.timers = static_cast<int>(Timers().size());
    c.menus = LiveMenuCount();
    c.icons = LiveImages() + LiveFileIcons();
    c.devices = mci::OpenDeviceCount();
    c.heapBlocks = LiveHeapBlocks();
    c.kernelObjects = OpenHandleCount();
    return c;
}

std::string Describe(const HandleCounts& c) {
    return "windows " + std::to_string(c.windows) + ", timers " + std::to_string(c.timers) +
           ", menus " + std::to_string(c.menus) + ", icons " + std::to_string(c.icons) +
           ", devices " + std::to_string(c.devices) + ", heap " + std::to_string(c.heapBlocks) +
           ", kernel " + std::to_string(c.kernelObjects);
}

} // namespace winsim::control
