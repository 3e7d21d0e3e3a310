// The settings reader and writer on arbitrary file contents: each value read is the file's
// number or the default, reading changes nothing, and a write changes only the program's two
// keys (adding its section when the file had none) and reads back as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <winsim/control.h>

#include "fuzz_support.h"
#include "settings/settings.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kExe[] = "C:\\Tools\\Player.EXE";
const char kIni[] = "C:\\Tools\\Player.ini";
const char kSection[] = "Sorvintal";
const std::string kRepeatKey = "\x83\x8A\x83\x73\x81\x5B\x83\x67"; // リピート
const std::string kModeKey = "\x8D\xC4\x90\xB6\x95\xFB\x96\x40";   // 再生方法
const int kDefaultRepeat = 1;
const int kDefaultMode = 2;

// The C library's reading of a decimal number, range-checked to 32 bits.
bool LibraryNumber(const std::string& text, int* value) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 10);
    if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    *value = static_cast<int>(v);
    return true;
}

// What the file holds for key, as the system reads it, without the program's buffer limit.
std::string ProfileText(const std::string& key) {
    std::string file;
    winsim::control::ReadFile(kIni, &file);
    std::vector<char> text(file.size() + 2);
    DWORD length = GetPrivateProfileStringA(kSection, key.c_str(), "", text.data(),
                                            static_cast<DWORD>(text.size()), kIni);
    return std::string(text.data(), length); // NUL bytes of the line included
}

// The file's number for key, or the default. A value too long for the program's buffer (a
// path's size) may count as none.
bool IsExpected(int read, const std::string& key, int def) {
    std::string text = ProfileText(key);
    int value = 0;
    if (!LibraryNumber(text.c_str(), &value))
        value = def;
    return read == value || (read == def && text.size() >= MAX_PATH - 1);
}

std::string File() {
    std::string bytes;
    winsim::control::ReadFile(kIni, &bytes);
    return bytes;
}

// ---- the file's lines, as the profile functions split and read them --------------------------

struct Line {
    std::string text;
    std::string ending;
};

std::vector<Line> Lines(const std::string& all) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t eol = all.find_first_of("\r\n", pos);
        if (eol == std::string::npos) {
            lines.push_back(Line{all.substr(pos), ""});
            break;
        }
        size_t len = all.compare(eol, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back(Line{all.substr(pos, eol - pos), all.substr(eol, len)});
        pos = eol + len;
    }
    return lines;
}

std::string Trim(const std::string& s) {
    const char blanks[] = "\t\n\v\f\r\x1a ";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos)
        return std::string();
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

bool IsOurHeader(const std::string& text) {
    std::string t = Trim(text);
    size_t close = t.rfind(']');
    if (t.empty() || t[0] != '[' || close == std::string::npos)
        return false;
    std::string name = Trim(t.substr(1, close - 1));
    if (name.size() != sizeof(kSection) - 1)
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (tolower(static_cast<unsigned char>(name[i])) != tolower(kSection[i]))
            return false;
    return true;
}

// A line that names one of the program's keys, in any section: the lines a write may change.
bool NamesOurKey(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    std::string key = Trim(t.substr(0, t.find('=')));
    return key == kRepeatKey || key == kModeKey;
}

void CheckOtherBytesKept(const std::string& before, const std::string& after) {
    std::vector<Line> was, is;
    bool hadSection = false;
    for (const Line& l : Lines(before)) {
        hadSection = hadSection || IsOurHeader(l.text);
        if (!NamesOurKey(l.text))
            was.push_back(l);
    }
    for (const Line& l : Lines(after))
        if (!NamesOurKey(l.text))
            is.push_back(l);
    if (!hadSection) {
        FUZZ_CHECK(!is.empty() && IsOurHeader(is.back().text) && is.back().ending == "\r\n",
                   "the section was not added at the end");
        is.pop_back();
    }
    FUZZ_CHECK(was.size() == is.size(), "%zu other lines before, %zu after", was.size(), is.size());
    for (size_t i = 0; i < was.size(); ++i) {
        FUZZ_CHECK(was[i].text == is[i].text, "line %zu changed", i);
        // Only the last line may gain the line end that lets a new line follow it.
        bool ended = was[i].ending.empty() && is[i].ending == "\r\n" && i + 1 == was.size();
        FUZZ_CHECK(was[i].ending == is[i].ending || ended, "line end of line %zu changed", i);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    winsim::control::Reset();
    winsim::control::SetModulePath(kExe);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    PlayerSettings written{in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>()};
    bool noFile = in.ConsumeProbability<float>() < 0.05f;
    std::string before = in.ConsumeRemainingBytesAsString();
    // Only this one file is used: a fresh desktop per input is not needed.
    winsim::control::ClearCalls();
    std::remove(winsim::control::HostPath(kIni).c_str());
    if (!noFile)
        winsim::control::WriteFile(kIni, before);

    // The parser on its own, on the file's bytes as one value.
    int parsed = 12345, expected = 12345;
    bool isNumber = LibraryNumber(before, &expected);
    FUZZ_CHECK(ParseIniInt(before.c_str(), &parsed) == (isNumber ? 1 : 0), "ParseIniInt's answer");
    FUZZ_CHECK(parsed == (isNumber ? expected : 12345), "ParseIniInt gave %d", parsed);

    PlayerSettings read{-7, -7};
    ReadSettings(&read);
    FUZZ_CHECK(IsExpected(read.repeat, kRepeatKey, kDefaultRepeat), "repeat read as %d",
               read.repeat);
    FUZZ_CHECK(IsExpected(read.playMode, kModeKey, kDefaultMode), "play mode read as %d",
               read.playMode);
    FUZZ_CHECK(noFile ? !winsim::control::FileExists(kIni) : File() == before,
               "reading changed the file");

    WriteSettings(&written);
    std::string after = File();
    CheckOtherBytesKept(noFile ? std::string() : before, after);
    PlayerSettings again{-7, -7};
    ReadSettings(&again);
    FUZZ_CHECK(again.repeat == (written.repeat != 0 ? 1 : 0), "repeat %d written, %d read",
               written.repeat, again.repeat);
    FUZZ_CHECK(again.playMode == written.playMode, "play mode %d written, %d read",
               written.playMode, again.playMode);
    return 0;
}
