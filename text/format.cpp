#include "text/format.h"

#include "text/sjis.h"

namespace {

struct Out {
    char* buf;
    int size;
    int length;
    bool cut;
    void Put(char c) {
        if (length < size - 1)
            buf[length++] = c;
        else
            cut = true;
    }
    void Repeat(char c, int n) {
        for (int i = 0; i < n; ++i)
            Put(c);
    }
};

// 32 bits are enough for every conversion the formatter takes, and spare the program the
// runtime's 64-bit division.
int Digits(char* tmp, unsigned v, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int n = 0;
    do {
        tmp[n++] = set[v % base];
        v /= base;
    } while (v);
    return n;
}

void PutField(Out& out, const char* text, int len, const char* sign, int width, bool left,
              bool zero) {
    int signLen = sign ? 1 : 0;
    int pad = width > len + signLen ? width - len - signLen : 0;
    if (!left && !zero)
        out.Repeat(' ', pad);
    if (sign)
        out.Put(*sign);
    if (!left && zero)
        out.Repeat('0', pad);
    for (int i = 0; i < len; ++i)
        out.Put(text[i]);
    if (left)
        out.Repeat(' ', pad);
}

} // namespace

int FormatTextV(char* buf, int size, const char* f, va_list args) {
    if (!buf || size < 1)
        return 0;
    Out out{buf, size, 0, false};
    while (*f) {
        if (*f != '%') {
            out.Put(*f++);
            continue;
        }
        ++f;
        bool left = false, zero = false;
        for (;; ++f) {
            if (*f == '-')
                left = true;
            else if (*f == '0')
                zero = true;
            else
                break;
        }
        int width = 0;
        while (*f >= '0' && *f <= '9')
            width = width * 10 + (*f++ - '0');
        int precision = -1;
        if (*f == '.') {
            ++f;
            precision = 0;
            while (*f >= '0' && *f <= '9')
                precision = precision * 10 + (*f++ - '0');
        }
        while (*f == 'l' || *f == 'h')
            ++f;
        char tmp[24];
        char rev[24];
        switch (*f) {
        case 'd':
        case 'i': {
            int v = va_arg(args, int);
            // Negated in unsigned arithmetic: the most negative int has no positive twin.
            unsigned mag = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
            int n = Digits(rev, mag, 10, false);
            for (int i = 0; i < n; ++i)
                tmp[i] = rev[n - 1 - i];
            PutField(out, tmp, n, v < 0 ? "-" : nullptr, width, left, zero);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned v = va_arg(args, unsigned);
            int n = Digits(rev, v, *f == 'u' ? 10 : 16, *f == 'X');
            for (int i = 0; i < n; ++i)
                tmp[i] = rev[n - 1 - i];
            PutField(out, tmp, n, nullptr, width, left, zero);
            break;
        }
        case 'c': {
            char c = static_cast<char>(va_arg(args, int));
            PutField(out, &c, 1, nullptr, width, left, false);
            break;
        }
        case 's': {
            const char* s = va_arg(args, const char*);
            if (!s)
                s = "(null)";
            int len = 0;
            while (s[len] && (precision < 0 || len < precision))
                ++len;
            PutField(out, s, len, nullptr, width, left, false);
            break;
        }
        case '%':
            out.Put('%');
            break;
        case 0:
            --f; // a lone '%' at the end: stop
            break;
        default: // unknown conversion: shown as written
            out.Put('%');
            out.Put(*f);
        }
        ++f;
    }
    buf[out.length] = 0;
    // A cut that fell between the two bytes of a character drops the orphaned lead byte.
    if (out.cut && out.length > 0 && SjisByteKind(buf, out.length - 1) == SJIS_LEAD)
        buf[--out.length] = 0;
    return out.length;
}

int FormatText(char* buf, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatTextV(buf, size, format, args);
    va_end(args);
    return n;
}
