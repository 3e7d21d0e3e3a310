#!/usr/bin/env python3
"""Mirrors C++ sources with their narrow string and character literals in code page 932.

clang (14 and 19 alike) only knows UTF-8 as the execution character set, so the fuzz build
cannot use -fexec-charset=CP932 as the other builds do. Instead the product and winsim are
compiled from a mirror in which every non-ASCII character of a narrow literal is written as the
octal escapes of its code page 932 bytes (three digits each, so a following digit is never taken
into the escape). Comments and wide or UTF-8 literals are left as they are; a line keeps its
number, so diagnostics and stack traces point at the same lines of the real files. The bytes come from
iconv's CP932 table, the one gcc's -fexec-charset uses.

usage: cp932_literals.py SOURCE_ROOT MIRROR_ROOT DIR...
A mirrored file is rewritten only when its content changes, so builds stay incremental.
"""
import os
import subprocess
import sys

SUFFIXES = (".cpp", ".h")
NARROW_PREFIXES = ("", "R")


def literal_spans(text, path):
    """Yields (start, end, narrow) for each string or character literal, quotes included."""
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2)
            i = n if i < 0 else i + 2
        elif c in "\"'":
            j = i
            while j > 0 and (text[j - 1].isalnum() or text[j - 1] == "_"):
                j -= 1
            prefix = text[j:i]
            if c == "'" and prefix and prefix[-1].isdigit():
                i += 1  # a digit separator, as in 1'000
                continue
            if c == '"' and prefix.endswith("R"):
                open_paren = text.index("(", i)
                close = ")" + text[i + 1 : open_paren] + '"'
                end = text.index(close, open_paren) + len(close)
            else:
                end = i + 1
                while end < n and text[end] != c:
                    if text[end] == "\\":
                        end += 1
                    elif text[end] == "\n":
                        sys.exit(f"{path}: unterminated literal at offset {i}")
                    end += 1
                end += 1
            yield i, end, prefix in NARROW_PREFIXES
            i = end
        else:
            if ord(c) > 127:
                line = text.count("\n", 0, i) + 1
                sys.exit(f"{path}:{line}: non-ASCII character outside a literal or comment")
            i += 1


def cp932_table(chars):
    """Code page 932 bytes of each character, from iconv as gcc converts them."""
    chars = sorted(chars)
    if not chars:
        return {}
    out = subprocess.run(
        ["iconv", "-f", "UTF-8", "-t", "CP932"],
        input="\n".join(chars).encode("utf-8"),
        capture_output=True,
        check=True,
    ).stdout.split(b"\n")
    if len(out) != len(chars):
        sys.exit("iconv: unexpected output")
    return dict(zip(chars, out))


def narrow_chars(text, spans):
    return {ch for s, e, narrow in spans if narrow for ch in text[s:e] if ord(ch) > 127}


def rewrite(text, spans, table):
    out, last = [], 0
    for start, end, narrow in spans:
        out.append(text[last:start])
        literal = text[start:end]
        if narrow:
            literal = "".join(
                "".join(f"\\{b:03o}" for b in table[ch]) if ord(ch) > 127 else ch for ch in literal
            )
        out.append(literal)
        last = end
    out.append(text[last:])
    return "".join(out)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    root, mirror, dirs = sys.argv[1], sys.argv[2], sys.argv[3:]
    sources = {}
    for d in dirs:
        for folder, _, files in os.walk(os.path.join(root, d)):
            for name in files:
                if name.endswith(SUFFIXES):
                    src = os.path.join(folder, name)
                    with open(src, encoding="utf-8") as f:
                        text = f.read()
                    sources[src] = (text, list(literal_spans(text, src)))
    # One conversion for all files: iconv is a process of its own.
    table = cp932_table(set().union(*(narrow_chars(t, s) for t, s in sources.values())))
    for src, (text, spans) in sources.items():
        text = rewrite(text, spans, table)
        dst = os.path.join(mirror, os.path.relpath(src, root))
        try:
            with open(dst, encoding="utf-8") as f:
                if f.read() == text:
                    continue
        except FileNotFoundError:
            os.makedirs(os.path.dirname(dst), exist_ok=True)
        tmp = dst + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(tmp, dst)


if __name__ == "__main__":
    main()
