#!/usr/bin/env python3
"""One fidelity probe on both sides: its native build on winsim and its Windows build under Wine,
in the Wine session of the end-to-end cases of that architecture. Passes when the transcripts are
the same line for line; otherwise prints the differences.

    compare.py --arch 32|64 --work build/native/e2e64 --native BIN --exe build/win64/fidelity/P.exe
"""

import argparse
import difflib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import wine  # noqa: E402

SKIPPED = 77
DEADLINE = 60


def lines(data):
    text = data.decode("cp932", "replace").replace("\r\n", "\n")
    return [line for line in text.split("\n") if line]


def native_transcript(binary):
    p = subprocess.run([binary], stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=DEADLINE)
    if p.returncode != 0:
        raise RuntimeError("%s exited with %d: %s" % (binary, p.returncode,
                                                      p.stderr.decode("utf-8", "replace")[-2000:]))
    return lines(p.stdout)


def wine_transcript(env, exe):
    name = os.path.basename(exe)
    windows_path = "C:\\fidelity\\" + name
    target = env.to_unix(windows_path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    for leftover in os.listdir(os.path.dirname(target)):
        os.remove(os.path.join(os.path.dirname(target), leftover))
    shutil.copy(exe, target)
    p = env.start(windows_path, (), None, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                  stderr=subprocess.DEVNULL)
    try:
        out, _ = p.communicate(timeout=DEADLINE)
    except subprocess.TimeoutExpired:
        p.kill()
        raise RuntimeError("%s did not end under Wine" % name)
    if p.returncode != 0:
        raise RuntimeError("%s exited with %d under Wine" % (name, p.returncode))
    return lines(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--arch", choices=("32", "64"), required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--native", required=True)
    parser.add_argument("--exe", required=True)
    a = parser.parse_args()
    cannot = os.path.join(a.work, "cannot-run.txt")
    if os.path.exists(cannot):
        print(open(cannot).read().strip())
        return SKIPPED
    folder = os.path.dirname(os.path.dirname(os.path.abspath(a.exe)))
    env = wine.Env(a.work, {a.arch: folder}, emulate=True)
    if not env.state.get("display"):
        print("fidelity: the Wine session is not set up", file=sys.stderr)
        return 2
    probe = os.path.splitext(os.path.basename(a.exe))[0]
    try:
        ours = native_transcript(a.native)
        theirs = wine_transcript(env, a.exe)
    except (RuntimeError, OSError, subprocess.TimeoutExpired) as e:
        print("fidelity: %s: %s" % (probe, e), file=sys.stderr)
        return 1
    if ours == theirs:
        print("fidelity%s.%s: %d lines the same (%s)" % (a.arch, probe, len(ours),
                                                       env.state.get("version", "?")))
        # make test sums these up after the cases.
        record = os.path.join(a.work, "fidelity")
        os.makedirs(record, exist_ok=True)
        with open(os.path.join(record, probe), "w") as f:
            f.write("%d\n" % len(ours))
        return 0
    print("fidelity%s.%s: winsim and Wine differ" % (a.arch, probe))
    for line in difflib.unified_diff(ours, theirs, "winsim", "wine", lineterm="", n=1):
        print(line)
    return 1


if __name__ == "__main__":
    sys.exit(main())
