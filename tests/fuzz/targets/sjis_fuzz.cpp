// The Shift-JIS helpers and the bounded formatter on arbitrary bytes and sizes. Buffers are
// allocated at exactly the size a helper is given, so AddressSanitizer sees any byte written
// at or past it (or before it).
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <winsim/control.h>

#include "fuzz_support.h"
#include "text/format.h"
#include "text/sjis.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

using fuzz::Kinds;

std::string UpToNul(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

// The byte kinds the helper reports agree with the model, also past the end and before it.
void CheckByteKinds(const std::string& s, FuzzedDataProvider& in) {
    std::vector<int> kinds = Kinds(s);
    for (int probes = 0; probes < 8 && in.remaining_bytes() > 0; ++probes) {
        int index = in.ConsumeIntegralInRange<int>(-2, static_cast<int>(s.size()) + 2);
        int expected = index >= 0 && index < static_cast<int>(s.size()) ? kinds[index] : 0;
        FUZZ_CHECK(SjisByteKind(s.c_str(), index) == expected, "index %d: %d, expected %d", index,
                   SjisByteKind(s.c_str(), index), expected);
        // Callers ask about the bytes of the string and its terminator only.
        if (index < 0 || index > static_cast<int>(s.size()))
            continue;
        bool separator = s[index] == '\\' && kinds[index] != fuzz::kTrail;
        FUZZ_CHECK(IsPathSeparatorAt(s.c_str(), index) == (separator ? 1 : 0), "separator at %d",
                   index);
    }
}

void CheckCopy(const std::string& src, int n) {
    // The buffer is the n bytes the caller claims; for n < 1 nothing may be written at all.
    std::unique_ptr<char[]> dst(new char[n > 0 ? n : 0]);
    if (n > 0)
        memset(dst.get(), 'X', n);
    FUZZ_CHECK(CopySjisTruncated(dst.get(), src.c_str(), n) == dst.get(), "returns dst");
    if (n < 1)
        return;
    const char* end = static_cast<const char*>(memchr(dst.get(), 0, n));
    FUZZ_CHECK(end != nullptr, "copy of n=%d not terminated within n", n);
    fuzz::CheckCut(src, std::string(dst.get(), static_cast<size_t>(end - dst.get())),
                   static_cast<size_t>(n - 1), "copy");
    // A lone lead byte is a character of its own: the copy keeps it when it fits.
    size_t copied = static_cast<size_t>(end - dst.get());
    FUZZ_CHECK(copied == fuzz::LongestCut(src, static_cast<size_t>(n - 1)),
               "copy of n=%d kept %zu bytes", n, copied);
}

void CheckLowercase(const std::string& s) {
    std::string lowered = s;
    LowercasePath(lowered.data());
    std::vector<int> kinds = Kinds(s);
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool capitalStartingACharacter = c >= 'A' && c <= 'Z' && kinds[i] != fuzz::kTrail;
        char expected = capitalStartingACharacter ? static_cast<char>(c - 'A' + 'a') : c;
        FUZZ_CHECK(lowered[i] == expected, "byte %zu: 0x%02x became 0x%02x", i,
                   static_cast<unsigned char>(c), static_cast<unsigned char>(lowered[i]));
    }
}

void CheckExtension(const std::string& s) {
    std::vector<int> kinds = Kinds(s);
    // The extension's dot: the last dot after the last backslash that is a character.
    size_t expected = s.size();
    for (size_t i = s.size(); i-- > 0;) {
        if (s[i] == '\\' && kinds[i] != fuzz::kTrail)
            break;
        if (s[i] == '.') {
            expected = i;
            break;
        }
    }
    std::string path = s;
    char* dot = FindExtensionDot(path.data());
    FUZZ_CHECK(dot == path.data() + expected, "dot at %td, expected %zu", dot - path.data(),
               expected);
    char* extension = CutExtension(path.data());
    FUZZ_CHECK(strlen(path.c_str()) == expected, "cut at %zu, expected %zu", strlen(path.c_str()),
               expected);
    std::string rest = expected < s.size() ? s.substr(expected + 1) : std::string();
    FUZZ_CHECK(rest == extension, "extension");
}

// A module path the simulated disk can hold: winsim makes its folder, so no component may
// climb out of the test's own folder and no byte may end the host path early.
std::string HostSafePath(std::string path) {
    for (char& c : path)
        if (c == '/' || c == 0)
            c = '_';
    size_t start = 0;
    while (start <= path.size()) {
        size_t stop = path.find('\\', start);
        if (stop == std::string::npos)
            stop = path.size();
        std::string part = path.substr(start, stop - start);
        if (part == "." || part == "..")
            path[start] = '_';
        start = stop + 1;
    }
    return path;
}

void CheckModulePath(const std::string& fileName, bool withExtension) {
    std::string exe = HostSafePath("C:\\" + fileName);
    // A fresh desktop costs milliseconds; the module path needs none, only a folder that
    // does not fill up with the paths' folders.
    static int paths = 0;
    if (paths++ % 4096 == 0)
        winsim::control::Reset();
    winsim::control::SetModulePath(exe);
    const char* ext = withExtension ? ".ini" : nullptr;
    // Exactly MAX_PATH bytes, as the helper promises to stay within.
    std::unique_ptr<char[]> buf(new char[MAX_PATH]);
    int ok = GetModulePath(buf.get(), ext);

    std::string expected = exe;
    if (withExtension) {
        std::string cut = exe;
        CutExtension(cut.data());
        expected = cut.c_str() + std::string(ext);
    }
    bool fits = exe.size() < MAX_PATH && expected.size() < MAX_PATH;
    FUZZ_CHECK(ok == (fits ? 1 : 0), "GetModulePath gave %d for %zu bytes (%zu with ext)", ok,
               exe.size(), expected.size());
    if (!ok)
        return;
    CheckLowercase(expected);
    std::string lowered = expected;
    LowercasePath(lowered.data());
    FUZZ_CHECK(strnlen(buf.get(), MAX_PATH) < MAX_PATH, "path not terminated");
    FUZZ_CHECK(lowered == buf.get(), "path");
}

// The formatter against the C library's: the same text, cut as a copy is cut.
void CheckFormat(FuzzedDataProvider& in, const std::string& text) {
    int size = in.ConsumeIntegralInRange<int>(-1, 300);
    int a = in.ConsumeIntegral<int>();
    int b = in.ConsumeIntegral<int>();
    std::unique_ptr<char[]> buf(new char[size > 0 ? size : 0]);
    char full[1024];
    int n = 0;
    const char* s = text.c_str();
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
        n = FormatText(buf.get(), size, "%s", s);
        snprintf(full, sizeof full, "%s", s);
        break;
    case 1:
        n = FormatText(buf.get(), size, "[%-12s|%12s]", s, s);
        snprintf(full, sizeof full, "[%-12s|%12s]", s, s);
        break;
    case 2:
        n = FormatText(buf.get(), size, "%.5s%%%s", s, s);
        snprintf(full, sizeof full, "%.5s%%%s", s, s);
        break;
    case 3: // "%s について", as the About box's caption
        n = FormatText(buf.get(), size, "%s \x82\xC9\x82\xC2\x82\xA2\x82\xC4", s);
        snprintf(full, sizeof full, "%s \x82\xC9\x82\xC2\x82\xA2\x82\xC4", s);
        break;
    case 4:
        n = FormatText(buf.get(), size, "%d|%5d|%-5d|%05d|%i", a, b, a, b, a);
        snprintf(full, sizeof full, "%d|%5d|%-5d|%05d|%i", a, b, a, b, a);
        break;
    case 5:
        n = FormatText(buf.get(), size, "%u %x %X %08x", a, b, a, b);
        snprintf(full, sizeof full, "%u %x %X %08x", a, b, a, b);
        break;
    case 6: {
        // A %c of 0 would end either text early; any other byte is as good.
        int c = (a & 0xFF) ? a : 'a';
        n = FormatText(buf.get(), size, "%c%c", c, c);
        snprintf(full, sizeof full, "%c%c", static_cast<char>(c), static_cast<char>(c));
        break;
    }
    case 7:
        n = FormatText(buf.get(), size, "track %d/%d. ( %2d:%02d/ %2d:%02d)", a, b, a & 0xFF,
                       (a >> 8) & 0xFF, (b >> 16) & 0xFF, b >> 24);
        snprintf(full, sizeof full, "track %d/%d. ( %2d:%02d/ %2d:%02d)", a, b, a & 0xFF,
                 (a >> 8) & 0xFF, (b >> 16) & 0xFF, b >> 24);
        break;
    case 8: // the free-resources line of the About box
        n = FormatText(buf.get(), size,
                       "\x83\x56\x83\x58\x83\x65\x83\x80\x83\x8A\x83\x5C\x81\x5B\x83\x58\x81\x46"
                       " %d \x81\x93\x8E\x67\x97\x70\x89\xC2\x94\x5C",
                       a);
        snprintf(full, sizeof full,
                 "\x83\x56\x83\x58\x83\x65\x83\x80\x83\x8A\x83\x5C\x81\x5B\x83\x58\x81\x46"
                 " %d \x81\x93\x8E\x67\x97\x70\x89\xC2\x94\x5C",
                 a);
        break;
    default:
        n = FormatText(buf.get(), size, "%s ver. %s", s, text.c_str() + text.size() / 2);
        snprintf(full, sizeof full, "%s ver. %s", s, text.c_str() + text.size() / 2);
        break;
    }
    if (size < 1) {
        FUZZ_CHECK(n == 0, "FormatText wrote %d bytes into %d", n, size);
        return;
    }
    const char* end = static_cast<const char*>(memchr(buf.get(), 0, size));
    FUZZ_CHECK(end != nullptr, "format into %d bytes not terminated", size);
    FUZZ_CHECK(n == end - buf.get(), "returned %d for %td bytes", n, end - buf.get());
    fuzz::CheckCut(full, std::string(buf.get(), static_cast<size_t>(end - buf.get())),
                   static_cast<size_t>(size - 1), "format");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    int n = in.ConsumeIntegralInRange<int>(0, 300);
    bool withExtension = in.ConsumeBool();
    std::string fileName = in.ConsumeRandomLengthString(400);
    std::string text = UpToNul(in.ConsumeRandomLengthString(600));
    CheckByteKinds(text, in);
    CheckCopy(text, n);
    CheckLowercase(text);
    CheckExtension(text);
    CheckFormat(in, text);
    CheckModulePath(fileName, withExtension);
    return 0;
}
