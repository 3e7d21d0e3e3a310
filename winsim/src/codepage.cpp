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

std::string FoldCase(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c) && i + 1 < text.size())
            ++i; // the trail byte may look like a capital; it is not one
        else if (c >= 'A' && c <= 'Z')
            text[i] = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
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

std::u16string Utf16FromCp932(const std::string& text) {
    std::string bytes = Convert("UTF-16LE", "CP932", text.data(), text.size());
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
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
