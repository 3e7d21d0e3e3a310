// INI files: the GetPrivateProfileStringA and WritePrivateProfileStringA cases the program's
// settings meet, in a file beside the probe.
#include "tests/fidelity/probe.h"

#include <stdio.h>
#include <string.h>

namespace {

char file[MAX_PATH];

void Read(const char* what, const char* section, const char* key, const char* fallback,
          DWORD size) {
    char buffer[512];
    memset(buffer, 'X', sizeof(buffer));
    SetLastError(0);
    DWORD n = GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
    // A list of keys: one string after another, each with its terminator.
    for (DWORD i = 0; !key && i < n && i < sizeof(buffer); ++i)
        if (buffer[i] == 0)
            buffer[i] = '|';
    Say("read %s -> %lu [%s] err=%lu", what, static_cast<unsigned long>(n), size ? buffer : "",
        static_cast<unsigned long>(GetLastError()));
}

void Write(const char* what, const char* section, const char* key, const char* value) {
    SetLastError(0);
    Result(what, WritePrivateProfileStringA(section, key, value, file));
}

} // namespace

void Probe() {
    snprintf(file, sizeof(file), "%sprobe.ini", OwnFolder());
    Read("missing file", "Sorvintal", "リピート", "1", 16);
    Write("first value", "Sorvintal", "リピート", "0");
    Write("second value", "Sorvintal", "再生方法", "2");
    Read("first value", "Sorvintal", "リピート", "1", 16);
    Read("section in other case", "SORVINTAL", "リピート", "1", 16);
    Read("missing key", "Sorvintal", "none", "default", 16);
    Read("missing key, no default", "Sorvintal", "none", NULL, 16);
    Write("blanks around", "Sorvintal", "blanks", "  a b  ");
    Read("blanks around", "Sorvintal", "blanks", "", 16);
    Write("quoted", "Sorvintal", "quoted", "\"q v\"");
    Read("quoted", "Sorvintal", "quoted", "", 16);
    Write("one quote", "Sorvintal", "quote", "\"q");
    Read("one quote", "Sorvintal", "quote", "", 16);
    char longValue[301];
    memset(longValue, 'v', 300);
    longValue[300] = 0;
    Write("long value", "Sorvintal", "long", longValue);
    Read("long value into 16", "Sorvintal", "long", "", 16);
    Read("long value into 1", "Sorvintal", "long", "", 1);
    Read("long default into 4", "Sorvintal", "none", "default", 4);
    Write("key with blanks", "Sorvintal", " spaced ", "s");
    Read("key with blanks", "Sorvintal", "spaced", "", 16);
    Write("delete a key", "Sorvintal", "quote", NULL);
    Read("deleted key", "Sorvintal", "quote", "gone", 16);
    Read("the keys", "Sorvintal", NULL, "", 512);
}
