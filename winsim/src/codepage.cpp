// Code page 932 is the simulated system's ANSI code page.
#include "internal.h"

#include <iconv.h>

namespace winsim {

namespace {
std::string Convert(const char* to, const char* from, const char* data, size_t bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string();
    std::string out(bytes * 4 + 8, '\0');
    char* in = const_cast<char*>(data);
    size_t inLeft = bytes;
    char* o = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
            // A character the target cannot hold becomes '?', as the platform's best fit does.
            if (outLeft == 0)
                break;
            *o++ = '?';
            --outLeft;
            size_t skip = std::string(from).rfind("UTF-16", 0) == 0 ? 2 : 1;
            in += skip;
            inLeft = inLeft > skip ? inLeft - skip : 0;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}
} // namespace

bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (IsCp932LeadByte(x)) {
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string NameText(LPCSTR name) {
    if (!name)
        return "(null)";
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return name;
}

std::string Cp932FromUtf16(const uint16_t* text, size_t units) {
    return Convert("CP932", "UTF-16LE", reinterpret_cast<const char*>(text), units * 2);
}

std::string Utf8FromCp932(const std::string& text) {
    return Convert("UTF-8", "CP932", text.data(), text.size());
}

std::string Cp932FromUtf8(const std::string& text) {
    return Convert("CP932", "UTF-8", text.data(), text.size());
}

} // namespace winsim

extern "C" {

LPSTR WINAPI CharNextA(LPCSTR s) {
    if (!s || !*s)
        return const_cast<LPSTR>(s);
    if (winsim::IsCp932LeadByte(static_cast<unsigned char>(s[0])) && s[1])
        return const_cast<LPSTR>(s + 2);
    return const_cast<LPSTR>(s + 1);
}

BOOL WINAPI IsDBCSLeadByte(BYTE b) {
    return winsim::IsCp932LeadByte(b) ? TRUE : FALSE;
}

} // extern "C"
