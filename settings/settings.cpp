#include "settings/settings.h"

#include "text/format.h"
#include "text/sjis.h"

#include <windows.h>

namespace {

const char kSection[] = "Sorvintal";
const char kRepeatKey[] = "リピート";
const char kPlayModeKey[] = "再生方法";
const int kDefaultRepeat = 1;
const int kDefaultPlayMode = 2; // continuous

} // namespace

int ParseIniInt(const char* text, int* value) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return 0;
    // Accumulate the magnitude with a guard: a number beyond the 32-bit range is taken as no
    // number at all, so the key falls back to its default rather than to an arbitrary value.
    long long magnitude = 0;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            return 0;
    }
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return 1;
}

int ReadIniInt(const char* path, const char* section, const char* key, int def) {
    char text[MAX_PATH];
    DWORD length = GetPrivateProfileStringA(section, key, "", text, sizeof text, path);
    // A value that fills the buffer may have been cut, maybe inside its number, whose first
    // digits would read as another number: it counts as no number at all.
    if (length >= sizeof text - 1)
        return def;
    int value = def;
    return ParseIniInt(text, &value) ? value : def;
}

void WriteIniInt(const char* path, const char* section, const char* key, int value) {
    char text[MAX_PATH];
    FormatText(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(section, key, text, path);
}

void WriteIniFlag(const char* path, const char* section, const char* key, int value) {
    WriteIniInt(path, section, key, value != 0 ? 1 : 0);
}

void ReadSettings(PlayerSettings* settings) {
    // Room for the longest module path plus ".ini".
    char path[MAX_PATH + 4];
    if (!GetModulePath(path, ".ini")) {
        // Without our own path there is no file to read: the defaults apply.
        settings->repeat = kDefaultRepeat;
        settings->playMode = kDefaultPlayMode;
        return;
    }
    settings->repeat = ReadIniInt(path, kSection, kRepeatKey, kDefaultRepeat);
    settings->playMode = ReadIniInt(path, kSection, kPlayModeKey, kDefaultPlayMode);
}

void WriteSettings(const PlayerSettings* settings) {
    char path[MAX_PATH + 4];
    // Without our own path the buffer names no file; writing would land somewhere arbitrary.
    if (!GetModulePath(path, ".ini"))
        return;
    WriteIniFlag(path, kSection, kRepeatKey, settings->repeat);
    WriteIniInt(path, kSection, kPlayModeKey, settings->playMode);
}
