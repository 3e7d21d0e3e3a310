#include "text/sjis.h"

#include <string.h>

namespace {

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

} // namespace

int SjisByteKind(const char* s, int index) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    if (p[0] == 0)
        return SJIS_SINGLE;
    // The kind of a byte can only be known from the bytes before it: walk from the start.
    int state = SJIS_SINGLE;
    for (int i = 0;; ++i) {
        if (state == SJIS_LEAD)
            state = IsTrailByte(p[i]) ? SJIS_TRAIL : SJIS_SINGLE;
        else
            state = IsLeadByte(p[i]) ? SJIS_LEAD : SJIS_SINGLE;
        if (i == index)
            return state;
        if (p[i + 1] == 0)
            return SJIS_SINGLE;
    }
}

int IsPathSeparatorAt(const char* s, int index) {
    if (s[index] != '\\')
        return 0;
    return SjisByteKind(s, index) == SJIS_SINGLE ? 1 : 0;
}

char* FindExtensionDot(char* path) {
    int length = static_cast<int>(strlen(path));
    char* end = path + length;
    // A dot is never a trail byte (it is below 0x40), so only backslashes need the classifier.
    for (int i = length; i >= 0; --i) {
        if (IsPathSeparatorAt(path, i))
            return end;
        if (path[i] == '.')
            return path + i;
    }
    return end;
}

char* CutExtension(char* path) {
    char* end = path + strlen(path);
    char* dot = FindExtensionDot(path);
    if (dot == end)
        return end;
    *dot = 0;
    return dot + 1;
}

char* CopySjisTruncated(char* dst, const char* src, int n) {
    // Without room for the terminator nothing may be written, not even the terminator.
    if (n < 1)
        return dst;
    int m = n;
    if (SjisByteKind(src, n - 1) == SJIS_TRAIL)
        m = n - 1;
    int i = 0;
    for (; i < m - 1 && src[i]; ++i)
        dst[i] = src[i];
    for (; i < m - 1; ++i)
        dst[i] = 0;
    dst[m - 1] = 0;
    return dst;
}

void LowercasePath(char* s) {
    for (char* p = s; *p; p = CharNextA(p)) {
        if (*p >= 'A' && *p <= 'Z')
            *p = static_cast<char>(*p - 'A' + 'a');
    }
}

int GetModulePath(char* buf, const char* ext) {
    DWORD length = GetModuleFileNameA(GetModuleHandleA(NULL), buf, MAX_PATH);
    // A path that filled the whole buffer was cut (and may lack its terminator): it names some
    // other file, so it counts as no path at all.
    if (length == 0 || length >= MAX_PATH)
        return 0;
    if (ext) {
        CutExtension(buf);
        // The new extension must fit with its terminator; a longer result would overrun buf.
        if (strlen(buf) + strlen(ext) + 1 > MAX_PATH)
            return 0;
        strcat(buf, ext);
    }
    LowercasePath(buf);
    return 1;
}
