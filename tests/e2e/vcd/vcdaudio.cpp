// vcdaudio.dll: an MCI driver for the device type "cdaudio" that plays no sound. Its drives,
// discs and doors come from a scene file, and every command it receives is appended to a log,
// so the end-to-end runs can set up any drive and assert the exact MCI traffic.
//
// Environment:
//   VCDAUDIO_SCENE  the scene file (an INI file, re-read whenever its time or size changes):
//       [vcd]
//       speed=180          disc seconds per real second (1 when absent)
//       end=notify         a play that reaches its end posts MCI_NOTIFY_SUCCESSFUL; "silent"
//                          keeps its notification pending as NT-family drivers do: the next
//                          command with MCI_NOTIFY supersedes it, a stop or close aborts it
//       [d]                one section per CD-ROM drive letter; other letters do not open
//       disc=audio 180, audio 120, data 600   the tracks (type and seconds); "none" or absent:
//                          no disc
//       door=closed        or "open"; the door commands write it back
//       stop=notify        a stop posts MCI_NOTIFY_ABORTED for the play; "silent" drops it
//       spinup=0           milliseconds after a play starts in which the drive reads as
//                          stopped, its head at the play's start; the play's end comes as late
//       open=error 275     every open of the drive fails with this MCI error
//       root=ok            "refused": only "d:" opens, "d:\" fails with MCIERR_INVALID_FILE, as
//                          the drivers of Windows 9x and NT 4
//       toc=cached         a device keeps the tracks it read at its open (or at its first
//                          command that found the disc) until it is closed, as the platform's
//                          driver; "live": every command reads the scene's disc
//       swap=0             milliseconds for which the drive reads as its door open after the
//                          driver first sees a new disc= (a swap by hand, as a poll sees one)
//     The driver compares each drive with the scene it read before: a disc that leaves or
//     changes ends the drive's play (MCI_NOTIFY_FAILURE, kept pending with end=silent) at the
//     first command after the change; a device open on it keeps reading the old tracks.
//   VCDAUDIO_LOG    the log, one line per command as the driver received it:
//       open cdaudio d:\ 0x2202 -> 1        close 1 0x2        stop 1 0x2
//       status 1 0x102 tracks -> 3          status 1 0x112 type 2 -> 1088
//       set 1 0x402 format 10               set 1 0x102 (door open)  set 1 0x202 (closed)
//       play 1 0xd from 0x1 to 0x2 cb 0x10072
//       notify 1 successful|superseded|aborted|failure cb 0x10072   (posted by the driver)
//     failures end in " -> error N"; status values are what the application reads.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

// The driver-side winmm entry points, which the SDK headers do not declare.
extern "C" {
BOOL WINAPI mciDriverNotify(HANDLE callback, MCIDEVICEID device, UINT status);
DWORD_PTR WINAPI mciGetDriverData(MCIDEVICEID device);
BOOL WINAPI mciSetDriverData(MCIDEVICEID device, DWORD_PTR data);
__declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM param1, LPARAM param2);
}

namespace {

const DWORD kFramesPerSecond = 75;
const DWORD kFramesPerMinute = 60 * kFramesPerSecond;
const DWORD kLeadIn = 2 * kFramesPerSecond; // track 1 starts at 00:02:00
const int kMaxTracks = 99;

// ---- text -------------------------------------------------------------------------------------

// A bounded line builder: the log needs decimal and hex numbers and nothing else.
struct Line {
    char text[512];
    int length = 0;
    Line& Add(const char* s) {
        while (s && *s && length < static_cast<int>(sizeof(text)) - 2)
            text[length++] = *s++;
        text[length] = 0;
        return *this;
    }
    Line& Dec(unsigned long long v) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        char s[24];
        for (int i = 0; i < n; ++i)
            s[i] = digits[n - 1 - i];
        s[n] = 0;
        return Add(s);
    }
    Line& Hex(unsigned long long v) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[v & 15];
            v >>= 4;
        } while (v);
        char s[24] = {'0', 'x'};
        for (int i = 0; i < n; ++i)
            s[2 + i] = digits[n - 1 - i];
        s[2 + n] = 0;
        return Add(s);
    }
};

bool GetEnv(const char* name, char* out, DWORD size) {
    DWORD n = GetEnvironmentVariableA(name, out, size);
    return n > 0 && n < size;
}

void AppendLog(const Line& line) {
    char path[MAX_PATH];
    if (!GetEnv("VCDAUDIO_LOG", path, sizeof path))
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char text[sizeof line.text + 1];
    int n = 0;
    for (; n < line.length; ++n)
        text[n] = line.text[n];
    text[n++] = '\n';
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(n), &written, NULL);
    CloseHandle(file);
}

bool SameWord(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        if (x != *b)
            return false;
    }
    return *a == *b;
}

// Steps past word when the text starts with it (in any case).
bool StartsWith(const char** p, const char* word) {
    const char* s = *p;
    for (; *word; ++s, ++word) {
        char x = (*s >= 'A' && *s <= 'Z') ? static_cast<char>(*s + 32) : *s;
        if (x != *word)
            return false;
    }
    *p = s;
    return true;
}

const char* SkipSpaces(const char* p) {
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// Reads an unsigned decimal number; false when there is none.
bool ReadNumber(const char** p, DWORD* value) {
    const char* s = SkipSpaces(*p);
    if (*s < '0' || *s > '9')
        return false;
    DWORD v = 0;
    while (*s >= '0' && *s <= '9' && v < 100000000)
        v = v * 10 + static_cast<DWORD>(*s++ - '0');
    *value = v;
    *p = s;
    return true;
}

// ---- the scene ----------------------------------------------------------------------------------

struct Drive {
    bool present = false; // a CD-ROM drive of the scene
    bool disc = false;
    bool doorOpen = false;
    MCIERROR openError = 0;
    bool notifyStop = true;
    DWORD spinUp = 0; // milliseconds
    bool refusesRoot = false;
    bool liveToc = false;
    DWORD swap = 0; // milliseconds
    int count = 0;
    bool audio[kMaxTracks] = {};
    DWORD frames[kMaxTracks] = {};
};

bool SameDisc(const Drive& a, const Drive& b) {
    if (a.disc != b.disc || a.count != b.count)
        return false;
    for (int t = 0; t < a.count; ++t)
        if (a.audio[t] != b.audio[t] || a.frames[t] != b.frames[t])
            return false;
    return true;
}

struct Scene {
    DWORD speed = 1;
    bool notifyEnd = true;
    Drive drives[26];
};

struct Stamp {
    FILETIME written = {0, 0};
    DWORD size = 0;
    bool valid = false;
};

// The disc list "audio 180, data 600"; anything unreadable leaves the drive without a disc.
void ParseDisc(const char* text, Drive* drive) {
    const char* p = SkipSpaces(text);
    if (*p == 0 || SameWord(p, "none"))
        return;
    int count = 0;
    while (*p && count < kMaxTracks) {
        p = SkipSpaces(p);
        char word[8];
        int n = 0;
        while (*p >= 'a' && *p <= 'z' && n < 7)
            word[n++] = *p++;
        word[n] = 0;
        DWORD seconds = 0;
        bool audio = SameWord(word, "audio");
        if ((!audio && !SameWord(word, "data")) || !ReadNumber(&p, &seconds) || seconds == 0)
            return;
        drive->audio[count] = audio;
        drive->frames[count] = seconds * kFramesPerSecond;
        ++count;
        p = SkipSpaces(p);
        if (*p == ',')
            ++p;
        else if (*p)
            return;
    }
    drive->count = count;
    drive->disc = count > 0;
}

void ReadScene(const char* path, Scene* scene) {
    *scene = Scene();
    char text[1024];
    GetPrivateProfileStringA("vcd", "speed", "1", text, sizeof text, path);
    const char* p = text;
    DWORD speed = 1;
    if (ReadNumber(&p, &speed) && speed > 0)
        scene->speed = speed;
    GetPrivateProfileStringA("vcd", "end", "notify", text, sizeof text, path);
    scene->notifyEnd = !SameWord(SkipSpaces(text), "silent");
    for (int i = 0; i < 26; ++i) {
        char section[2] = {static_cast<char>('a' + i), 0};
        Drive& d = scene->drives[i];
        // A section with no keys at all reads as absent: the letter has no CD-ROM drive.
        char keys[64];
        if (GetPrivateProfileStringA(section, NULL, "", keys, sizeof keys, path) == 0)
            continue;
        d.present = true;
        GetPrivateProfileStringA(section, "disc", "", text, sizeof text, path);
        ParseDisc(text, &d);
        GetPrivateProfileStringA(section, "door", "closed", text, sizeof text, path);
        d.doorOpen = SameWord(SkipSpaces(text), "open");
        GetPrivateProfileStringA(section, "stop", "notify", text, sizeof text, path);
        d.notifyStop = !SameWord(SkipSpaces(text), "silent");
        GetPrivateProfileStringA(section, "spinup", "0", text, sizeof text, path);
        p = text;
        if (!ReadNumber(&p, &d.spinUp))
            d.spinUp = 0;
        GetPrivateProfileStringA(section, "root", "ok", text, sizeof text, path);
        d.refusesRoot = SameWord(SkipSpaces(text), "refused");
        GetPrivateProfileStringA(section, "toc", "cached", text, sizeof text, path);
        d.liveToc = SameWord(SkipSpaces(text), "live");
        GetPrivateProfileStringA(section, "swap", "0", text, sizeof text, path);
        p = text;
        if (!ReadNumber(&p, &d.swap))
            d.swap = 0;
        GetPrivateProfileStringA(section, "open", "", text, sizeof text, path);
        // "error N"; anything else but "ok" or nothing still makes the opens fail.
        p = SkipSpaces(text);
        DWORD error = 0;
        if (SameWord(p, "ok") || *p == 0)
            d.openError = 0;
        else if (StartsWith(&p, "error") && ReadNumber(&p, &error) && error != 0)
            d.openError = error;
        else
            d.openError = MCIERR_HARDWARE;
    }
}

// ---- the drives' mechanisms ---------------------------------------------------------------------

// What one drive does in this process. A pending notification outlives the play on a silent
// drive and is settled by the next command that supersedes or aborts it.
struct Activity {
    bool playing = false;
    DWORD fromFrame = 0;
    DWORD toFrame = 0;
    ULONGLONG started = 0; // milliseconds
    DWORD speed = 1;
    bool notifyEnd = true;
    DWORD spinUp = 0; // milliseconds
    DWORD head = kLeadIn;
    bool pending = false;
    MCIDEVICEID player = 0;
    HWND callback = NULL;
};

struct Device {
    MCIDEVICEID id;
    int drive; // 0..25
    DWORD timeFormat;
    bool tocRead; // toc holds the tracks the device read
    Drive toc;
};

struct State {
    CRITICAL_SECTION lock;
    char scenePath[MAX_PATH];
    Stamp stamp;
    Scene scene;
    bool sceneRead = false;
    ULONGLONG swappedAt[26] = {}; // when the driver first saw each drive's new disc
    Scene view;                   // the scene with the drives in a swap shown open
    Activity drives[26];
    int openDevices = 0;
    HANDLE worker = NULL;
    HANDLE wake = NULL;
    bool quit = false;
};

State state;
State* const g = &state;

ULONGLONG NowMillis() {
    return GetTickCount64();
}

void NoticeChange(int drive, const Drive& before, const Drive& after);

// The scene as the file now says. Called with the lock held.
const Scene& CurrentScene() {
    if (!GetEnv("VCDAUDIO_SCENE", g->scenePath, sizeof g->scenePath)) {
        g->scene = Scene();
        g->stamp.valid = false;
        return g->scene;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    Stamp now;
    if (GetFileAttributesExA(g->scenePath, GetFileExInfoStandard, &data)) {
        now.written = data.ftLastWriteTime;
        now.size = data.nFileSizeLow;
        now.valid = true;
    }
    bool same = now.valid && g->stamp.valid && now.size == g->stamp.size &&
                CompareFileTime(&now.written, &g->stamp.written) == 0;
    if (!same) {
        Scene before = g->scene;
        ReadScene(g->scenePath, &g->scene);
        g->stamp = now;
        if (g->sceneRead)
            for (int i = 0; i < 26; ++i)
                NoticeChange(i, before.drives[i], g->scene.drives[i]);
        g->sceneRead = true;
    }
    g->view = g->scene;
    for (int i = 0; i < 26; ++i) {
        Drive& d = g->view.drives[i];
        if (d.swap && g->swappedAt[i] && NowMillis() - g->swappedAt[i] < d.swap)
            d.doorOpen = true;
    }
    return g->view;
}

void WriteDoor(int drive, bool open) {
    char section[2] = {static_cast<char>('a' + drive), 0};
    WritePrivateProfileStringA(section, "door", open ? "open" : "closed", g->scenePath);
}

DWORD TrackStart(const Drive& d, int t) {
    DWORD frame = kLeadIn;
    for (int i = 1; i < t && i <= d.count; ++i)
        frame += d.frames[i - 1];
    return frame;
}

DWORD LeadOut(const Drive& d) {
    return TrackStart(d, d.count + 1);
}

int TrackAt(const Drive& d, DWORD frame) {
    for (int t = d.count; t >= 1; --t)
        if (frame >= TrackStart(d, t))
            return t;
    return 0;
}

ULONGLONG EndTime(const Activity& a) {
    ULONGLONG frames = a.toFrame - a.fromFrame;
    return a.started + a.spinUp +
           (frames * 1000 + kFramesPerSecond * a.speed - 1) / (kFramesPerSecond * a.speed);
}

DWORD CurrentFrame(const Activity& a) {
    if (!a.playing)
        return a.head;
    ULONGLONG elapsed = NowMillis() - a.started;
    if (elapsed < a.spinUp)
        return a.fromFrame;
    elapsed -= a.spinUp;
    ULONGLONG frame = a.fromFrame + elapsed * kFramesPerSecond * a.speed / 1000;
    return frame > a.toFrame ? a.toFrame : static_cast<DWORD>(frame);
}

const char* CodeName(UINT code) {
    switch (code) {
    case MCI_NOTIFY_SUCCESSFUL:
        return "successful";
    case MCI_NOTIFY_SUPERSEDED:
        return "superseded";
    case MCI_NOTIFY_ABORTED:
        return "aborted";
    default:
        return "failure";
    }
}

void Notify(HWND callback, MCIDEVICEID device, UINT code) {
    Line line;
    line.Add("notify ").Dec(device).Add(" ").Add(CodeName(code)).Add(" cb ");
    line.Hex(reinterpret_cast<DWORD_PTR>(callback));
    AppendLog(line);
    mciDriverNotify(callback, device, code);
}

// Ends a play that has run its course. A notifying drive reports it; a silent one keeps it.
void Settle(Activity& a) {
    if (!a.playing || NowMillis() < EndTime(a))
        return;
    a.playing = false;
    a.head = a.toFrame;
    if (a.pending && a.notifyEnd) {
        a.pending = false;
        Notify(a.callback, a.player, MCI_NOTIFY_SUCCESSFUL);
    }
}

// Ends a play where it stands and settles its pending notification with code.
void EndPlay(Activity& a, UINT code) {
    Settle(a);
    if (a.playing) {
        a.head = CurrentFrame(a);
        a.playing = false;
    }
    if (a.pending) {
        a.pending = false;
        Notify(a.callback, a.player, code);
    }
}

// Posts the end of the plays of notifying drives on time.
DWORD WINAPI Worker(void*) {
    for (;;) {
        EnterCriticalSection(&g->lock);
        if (g->quit) {
            LeaveCriticalSection(&g->lock);
            return 0;
        }
        DWORD wait = INFINITE;
        ULONGLONG now = NowMillis();
        for (Activity& a : g->drives) {
            Settle(a);
            if (a.playing && a.pending && a.notifyEnd) {
                ULONGLONG end = EndTime(a);
                DWORD left = end > now ? static_cast<DWORD>(end - now) : 0;
                if (left < wait)
                    wait = left;
            }
        }
        LeaveCriticalSection(&g->lock);
        WaitForSingleObject(g->wake, wait);
    }
}

void WakeWorker() {
    if (!g->worker) {
        g->quit = false;
        g->worker = CreateThread(NULL, 0, Worker, NULL, 0, NULL);
    }
    SetEvent(g->wake);
}

// Stops the worker; called without the lock, before the DLL may be unloaded.
void StopWorker() {
    EnterCriticalSection(&g->lock);
    HANDLE worker = g->worker;
    g->worker = NULL;
    g->quit = true;
    LeaveCriticalSection(&g->lock);
    if (!worker)
        return;
    SetEvent(g->wake);
    WaitForSingleObject(worker, 5000);
    CloseHandle(worker);
}

// A command other than a play asked for a notification: it completes at once, superseding the
// drive's pending one.
void NotifyDone(Activity& a, HWND callback, MCIDEVICEID device) {
    if (a.pending) {
        a.pending = false;
        Notify(a.callback, a.player, MCI_NOTIFY_SUPERSEDED);
    }
    Notify(callback, device, MCI_NOTIFY_SUCCESSFUL);
}

// ---- the commands -------------------------------------------------------------------------------

Device* DeviceOf(DWORD_PTR id) {
    return reinterpret_cast<Device*>(mciGetDriverData(static_cast<MCIDEVICEID>(id)));
}

bool Ready(const Drive& d) {
    return d.present && d.disc && !d.doorOpen;
}

// A disc that left the drive or was replaced stops its play, as the user's hands on a real
// drive do; a new disc starts the drive's swap time.
void NoticeChange(int drive, const Drive& before, const Drive& after) {
    bool changed = !SameDisc(before, after);
    if (changed && after.disc)
        g->swappedAt[drive] = NowMillis() ? NowMillis() : 1;
    if (!Ready(before) || (Ready(after) && !changed))
        return;
    Activity& a = g->drives[drive];
    Settle(a);
    a.playing = false;
    a.head = kLeadIn;
    if (a.pending && a.notifyEnd) {
        a.pending = false;
        Notify(a.callback, a.player, MCI_NOTIFY_FAILURE);
    }
}

// The drive as a device sees it: its door and disc live, its tracks those the device read first
// (the platform's driver keeps the table of contents: Wine's dlls/winmm/tests/mcicda.c,
// test_play, "Native obviously caches the TOC").
Drive DeviceDrive(Device* device) {
    Drive d = CurrentScene().drives[device->drive];
    if (d.liveToc)
        return d;
    if (!device->tocRead && Ready(d)) {
        device->toc = d;
        device->tocRead = true;
    }
    if (device->tocRead) {
        d.count = device->toc.count;
        for (int t = 0; t < d.count; ++t) {
            d.audio[t] = device->toc.audio[t];
            d.frames[t] = device->toc.frames[t];
        }
    }
    return d;
}

void AddUtf8(Line* line, const wchar_t* text) {
    char utf8[260];
    if (text && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL) > 0)
        line->Add(utf8);
}

int ElementDrive(const wchar_t* element) {
    if (!element)
        return -1;
    wchar_t c = element[0];
    int drive = (c >= L'a' && c <= L'z') ? c - L'a' : (c >= L'A' && c <= L'Z') ? c - L'A' : -1;
    if (drive < 0 || element[1] != L':')
        return -1;
    if (element[2] != 0 && !(element[2] == L'\\' && element[3] == 0))
        return -1;
    return drive;
}

MCIERROR OpenDevice(DWORD_PTR id, DWORD_PTR flags, MCI_OPEN_PARMSW* p, Line* line) {
    line->Add("open");
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_OPEN_TYPE) && !(flags & MCI_OPEN_TYPE_ID) && p->lpstrDeviceType)
        AddUtf8(&line->Add(" "), p->lpstrDeviceType);
    if ((flags & MCI_OPEN_ELEMENT) && !(flags & MCI_OPEN_ELEMENT_ID) && p->lpstrElementName)
        AddUtf8(&line->Add(" "), p->lpstrElementName);
    line->Add(" ").Hex(flags);
    const Scene& scene = CurrentScene();
    int drive = -1;
    if (flags & MCI_OPEN_ELEMENT) {
        if (flags & MCI_OPEN_ELEMENT_ID)
            return MCIERR_FLAGS_NOT_COMPATIBLE;
        drive = ElementDrive(p->lpstrElementName);
    } else {
        for (int i = 0; i < 26 && drive < 0; ++i)
            if (scene.drives[i].present)
                drive = i;
        if (drive < 0)
            return MCIERR_CANNOT_LOAD_DRIVER;
    }
    if (drive < 0 || !scene.drives[drive].present)
        return MCIERR_INVALID_FILE;
    // "open X:\ fails in Win9x/NT. Only open X: works everywhere." (test_openclose)
    if ((flags & MCI_OPEN_ELEMENT) && p->lpstrElementName[2] && scene.drives[drive].refusesRoot)
        return MCIERR_INVALID_FILE;
    if (scene.drives[drive].openError)
        return scene.drives[drive].openError;
    Device* device = static_cast<Device*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Device)));
    if (!device)
        return MCIERR_OUT_OF_MEMORY;
    device->id = static_cast<MCIDEVICEID>(id);
    device->drive = drive;
    device->timeFormat = MCI_FORMAT_MSF;
    device->tocRead = false;
    DeviceDrive(device);
    mciSetDriverData(device->id, reinterpret_cast<DWORD_PTR>(device));
    ++g->openDevices;
    return 0;
}

MCIERROR CloseDevice(Device* device) {
    Activity& a = g->drives[device->drive];
    if (a.player == device->id)
        EndPlay(a, MCI_NOTIFY_ABORTED);
    mciSetDriverData(device->id, 0);
    HeapFree(GetProcessHeap(), 0, device);
    --g->openDevices;
    return 0;
}

MCIERROR StatusValue(Device* device, DWORD_PTR flags, const MCI_STATUS_PARMS* p, DWORD_PTR* out,
                     bool* resource) {
    const Drive d = DeviceDrive(device);
    Activity& a = g->drives[device->drive];
    Settle(a);
    switch (p->dwItem) {
    case MCI_STATUS_TIME_FORMAT:
        *out = device->timeFormat;
        *resource = true;
        return 0;
    case MCI_STATUS_MODE:
        if (a.playing && NowMillis() - a.started >= a.spinUp)
            *out = MCI_MODE_PLAY;
        else if (d.present && d.doorOpen)
            *out = MCI_MODE_OPEN;
        else
            *out = Ready(d) ? MCI_MODE_STOP : MCI_MODE_NOT_READY;
        *resource = true;
        return 0;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY:
        *out = Ready(d) ? TRUE : FALSE;
        return 0;
    case MCI_STATUS_NUMBER_OF_TRACKS:
    case MCI_STATUS_POSITION:
    case MCI_STATUS_LENGTH:
    case MCI_STATUS_CURRENT_TRACK:
    case MCI_CDA_STATUS_TYPE_TRACK:
        break;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    bool trackGiven = (flags & MCI_TRACK) != 0;
    if (p->dwItem == MCI_CDA_STATUS_TYPE_TRACK && !trackGiven)
        return MCIERR_MISSING_PARAMETER;
    if (!Ready(d))
        return MCIERR_DEVICE_NOT_READY;
    if (trackGiven && (p->dwTrack < 1 || p->dwTrack > static_cast<DWORD>(d.count)))
        return MCIERR_OUTOFRANGE;
    int t = static_cast<int>(p->dwTrack);
    DWORD frame = 0;
    switch (p->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        *out = static_cast<DWORD>(d.count);
        return 0;
    case MCI_STATUS_CURRENT_TRACK:
        *out = static_cast<DWORD>(TrackAt(d, CurrentFrame(a)));
        return 0;
    case MCI_CDA_STATUS_TYPE_TRACK:
        *out = d.audio[t - 1] ? MCI_CDA_TRACK_AUDIO : MCI_CDA_TRACK_OTHER;
        return 0;
    case MCI_STATUS_LENGTH:
        // As the platform's cdaudio drivers report it: the last track, and so the disc, one
        // frame short.
        frame = trackGiven ? d.frames[t - 1] : LeadOut(d) - kLeadIn;
        if ((!trackGiven || t == d.count) && frame > 0)
            --frame;
        break;
    default: // position
        frame = trackGiven                   ? TrackStart(d, t)
                : (flags & MCI_STATUS_START) ? kLeadIn
                                             : CurrentFrame(a);
        break;
    }
    DWORD format = device->timeFormat;
    if (format == MCI_FORMAT_MILLISECONDS) {
        // Rounded as the platform's cdaudio drivers do: one millisecond more.
        *out = static_cast<DWORD>(static_cast<ULONGLONG>(frame) * 1000 / kFramesPerSecond + 1);
    } else if (format == MCI_FORMAT_TMSF && p->dwItem == MCI_STATUS_POSITION) {
        int at = TrackAt(d, frame);
        DWORD off = at ? frame - TrackStart(d, at) : 0;
        *out = MCI_MAKE_TMSF(at, off / kFramesPerMinute,
                             (off % kFramesPerMinute) / kFramesPerSecond, off % kFramesPerSecond);
    } else { // MSF, and lengths in TMSF
        *out = MCI_MAKE_MSF(frame / kFramesPerMinute, (frame % kFramesPerMinute) / kFramesPerSecond,
                            frame % kFramesPerSecond);
    }
    return 0;
}

const char* ItemName(DWORD_PTR item) {
    switch (item) {
    case MCI_STATUS_LENGTH:
        return "length";
    case MCI_STATUS_POSITION:
        return "position";
    case MCI_STATUS_NUMBER_OF_TRACKS:
        return "tracks";
    case MCI_STATUS_MODE:
        return "mode";
    case MCI_STATUS_TIME_FORMAT:
        return "format";
    case MCI_CDA_STATUS_TYPE_TRACK:
        return "type";
    default:
        return NULL;
    }
}

// Returns the driver's answer: 0, an error, or MCI_RESOURCE_RETURNED for a resource value.
LRESULT Status(Device* device, DWORD_PTR flags, MCI_STATUS_PARMS* p, Line* line) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    line->Add(" ");
    const char* name = ItemName(p->dwItem);
    if (name)
        line->Add(name);
    else
        line->Dec(p->dwItem);
    if (flags & MCI_TRACK)
        line->Add(" ").Dec(p->dwTrack);
    if (!(flags & MCI_STATUS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    DWORD_PTR value = 0;
    bool resource = false;
    MCIERROR r = StatusValue(device, flags, p, &value, &resource);
    if (r)
        return r;
    line->Add(" -> ");
    if (p->dwItem == MCI_STATUS_POSITION || p->dwItem == MCI_STATUS_LENGTH)
        line->Hex(value);
    else
        line->Dec(value);
    if (flags & MCI_NOTIFY)
        NotifyDone(g->drives[device->drive], reinterpret_cast<HWND>(p->dwCallback), device->id);
    if (!resource) {
        p->dwReturn = value;
        return 0;
    }
    // The string resource id of a mode or format, as the system's own drivers return them.
    WORD id =
        static_cast<WORD>(p->dwItem == MCI_STATUS_MODE ? value : value + MCI_FORMAT_RETURN_BASE);
    p->dwReturn = MAKEMCIRESOURCE(static_cast<WORD>(value), id);
    return MCI_RESOURCE_RETURNED;
}

MCIERROR Set(Device* device, DWORD_PTR flags, MCI_SET_PARMS* p, Line* line) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_SET_TIME_FORMAT)
        line->Add(" format ").Dec(p->dwTimeFormat);
    const DWORD_PTR known = MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED | MCI_SET_TIME_FORMAT;
    if (!(flags & known))
        return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_SET_DOOR_OPEN) && (flags & MCI_SET_DOOR_CLOSED))
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    DWORD f = p->dwTimeFormat;
    if ((flags & MCI_SET_TIME_FORMAT) && f != MCI_FORMAT_MILLISECONDS && f != MCI_FORMAT_MSF &&
        f != MCI_FORMAT_TMSF)
        return MCIERR_BAD_TIME_FORMAT;
    Activity& a = g->drives[device->drive];
    if (flags & MCI_SET_TIME_FORMAT)
        device->timeFormat = f;
    if (flags & MCI_SET_DOOR_OPEN) {
        EndPlay(a, MCI_NOTIFY_ABORTED);
        a.head = kLeadIn;
        WriteDoor(device->drive, true);
    }
    if (flags & MCI_SET_DOOR_CLOSED)
        WriteDoor(device->drive, false);
    if (flags & MCI_NOTIFY)
        NotifyDone(a, reinterpret_cast<HWND>(p->dwCallback), device->id);
    return 0;
}

bool ParsePosition(const Drive& d, DWORD format, DWORD value, DWORD* frame) {
    DWORD f = 0;
    if (format == MCI_FORMAT_MILLISECONDS) {
        f = static_cast<DWORD>(static_cast<ULONGLONG>(value) * kFramesPerSecond / 1000);
    } else if (format == MCI_FORMAT_TMSF) {
        int t = MCI_TMSF_TRACK(value);
        if (t < 1 || t > d.count)
            return false;
        f = TrackStart(d, t) + MCI_TMSF_MINUTE(value) * kFramesPerMinute +
            MCI_TMSF_SECOND(value) * kFramesPerSecond + MCI_TMSF_FRAME(value);
    } else {
        f = MCI_MSF_MINUTE(value) * kFramesPerMinute + MCI_MSF_SECOND(value) * kFramesPerSecond +
            MCI_MSF_FRAME(value);
    }
    if (f < kLeadIn || f > LeadOut(d))
        return false;
    *frame = f;
    return true;
}

MCIERROR Play(Device* device, DWORD_PTR flags, MCI_PLAY_PARMS* p, Line* line) {
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_FROM)
        line->Add(" from ").Hex(p->dwFrom);
    if (flags & MCI_TO)
        line->Add(" to ").Hex(p->dwTo);
    if (p->dwCallback)
        line->Add(" cb ").Hex(p->dwCallback);
    const Drive d = DeviceDrive(device);
    const Scene& scene = CurrentScene();
    if (!Ready(d))
        return MCIERR_DEVICE_NOT_READY;
    Activity& a = g->drives[device->drive];
    Settle(a);
    DWORD from = CurrentFrame(a);
    DWORD to = LeadOut(d);
    if ((flags & MCI_FROM) &&
        (!ParsePosition(d, device->timeFormat, p->dwFrom, &from) || from >= LeadOut(d)))
        return MCIERR_OUTOFRANGE;
    if ((flags & MCI_TO) && !ParsePosition(d, device->timeFormat, p->dwTo, &to))
        return MCIERR_OUTOFRANGE;
    if (to < from)
        return MCIERR_OUTOFRANGE;
    // Addresses from kept tracks may lie past the end of the disc now in the drive.
    if (to > LeadOut(scene.drives[device->drive]))
        return MCIERR_HARDWARE;
    int first = TrackAt(d, from);
    if (from < LeadOut(d) && first > 0 && !d.audio[first - 1])
        return MCIERR_HARDWARE; // the drive cannot play the data area
    bool notify = (flags & MCI_NOTIFY) != 0;
    EndPlay(a, notify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED);
    HWND callback = reinterpret_cast<HWND>(p->dwCallback);
    if (to == from) {
        a.head = from;
        if (notify)
            Notify(callback, device->id, MCI_NOTIFY_SUCCESSFUL);
        return 0;
    }
    a.playing = true;
    a.fromFrame = from;
    a.toFrame = to;
    a.started = NowMillis();
    a.speed = scene.speed;
    a.notifyEnd = scene.notifyEnd;
    a.spinUp = d.spinUp;
    a.pending = notify;
    a.player = device->id;
    a.callback = callback;
    WakeWorker();
    return 0;
}

MCIERROR Stop(Device* device, DWORD_PTR flags, MCI_GENERIC_PARMS* p) {
    if (!Ready(CurrentScene().drives[device->drive]))
        return MCIERR_DEVICE_NOT_READY;
    Activity& a = g->drives[device->drive];
    if (!CurrentScene().drives[device->drive].notifyStop)
        a.pending = false;
    EndPlay(a, MCI_NOTIFY_ABORTED);
    if ((flags & MCI_NOTIFY) && p)
        NotifyDone(a, reinterpret_cast<HWND>(p->dwCallback), device->id);
    return 0;
}

LRESULT Command(DWORD_PTR id, UINT message, DWORD_PTR flags, LPARAM param) {
    Line line;
    if (message == MCI_OPEN_DRIVER) {
        MCIERROR r = OpenDevice(id, flags, reinterpret_cast<MCI_OPEN_PARMSW*>(param), &line);
        line.Add(" -> ");
        if (r)
            line.Add("error ").Dec(r);
        else
            line.Dec(id);
        AppendLog(line);
        return r;
    }
    const char* verb = message == MCI_CLOSE_DRIVER ? "close"
                       : message == MCI_STOP       ? "stop"
                       : message == MCI_SET        ? "set"
                       : message == MCI_STATUS     ? "status"
                       : message == MCI_PLAY       ? "play"
                                                   : NULL;
    if (verb)
        line.Add(verb);
    else
        line.Add("command ").Hex(message);
    line.Add(" ").Dec(id).Add(" ").Hex(flags);
    Device* device = DeviceOf(id);
    LRESULT r = MCIERR_INVALID_DEVICE_ID;
    if (device) {
        switch (message) {
        case MCI_CLOSE_DRIVER:
            r = CloseDevice(device);
            break;
        case MCI_STOP:
            r = Stop(device, flags, reinterpret_cast<MCI_GENERIC_PARMS*>(param));
            break;
        case MCI_SET:
            r = Set(device, flags, reinterpret_cast<MCI_SET_PARMS*>(param), &line);
            break;
        case MCI_STATUS:
            r = Status(device, flags, reinterpret_cast<MCI_STATUS_PARMS*>(param), &line);
            break;
        case MCI_PLAY:
            r = Play(device, flags, reinterpret_cast<MCI_PLAY_PARMS*>(param), &line);
            break;
        default:
            r = MCIERR_UNRECOGNIZED_COMMAND;
            break;
        }
    }
    if (r && r != MCI_RESOURCE_RETURNED)
        line.Add(" -> error ").Dec(static_cast<DWORD>(r));
    AppendLog(line);
    return r;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&g->lock);
        g->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
        if (!g->wake)
            return FALSE;
    } else if (reason == DLL_PROCESS_DETACH) {
        // At process exit the worker is already gone; after an unload it was stopped before.
        CloseHandle(g->wake);
        DeleteCriticalSection(&g->lock);
    }
    return TRUE;
}

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR, UINT message, LPARAM param1,
                                       LPARAM param2) {
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
        if (message == DRV_FREE)
            StopWorker();
        return 1;
    case DRV_OPEN: {
        auto* modp = reinterpret_cast<MCI_OPEN_DRIVER_PARMS*>(param2);
        if (!modp)
            return 1; // the plain driver open, before any device
        modp->wType = MCI_DEVTYPE_CD_AUDIO;
        modp->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
        return static_cast<LRESULT>(modp->wDeviceID);
    }
    case DRV_CLOSE: {
        EnterCriticalSection(&g->lock);
        bool idle = g->openDevices == 0;
        LeaveCriticalSection(&g->lock);
        if (idle)
            StopWorker();
        return 1;
    }
    case DRV_QUERYCONFIGURE:
    case DRV_CONFIGURE:
    case DRV_INSTALL:
    case DRV_REMOVE:
        return 0;
    default:
        break;
    }
    if (message < DRV_MCI_FIRST || message > DRV_MCI_LAST)
        return DefDriverProc(id, NULL, message, param1, param2);
    EnterCriticalSection(&g->lock);
    LRESULT r = Command(id, message, static_cast<DWORD_PTR>(param1), param2);
    LeaveCriticalSection(&g->lock);
    return r;
}
