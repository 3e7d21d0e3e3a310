#!/usr/bin/env python3
"""A soak of the real trovanix.exe under Wine: does it hold its objects and memory flat?

    soak.py --win32 build/win --win64 build/win64 --work build/soak [--minutes 5] [--out FILE]

Both exes are soaked in turn, each in its own Wine session under --work: the 32-bit one
natively or through qemu-i386 (where its GDI objects cannot be counted: the native wineserver
cannot read the emulated program's memory), then the 64-bit one.

The program plays a disc of one-second tracks in continuous repeat while the main menu, the
track list and the About box are opened and closed in turn every few seconds. hand.exe samples
the process every half minute: its GDI objects (GetGuiResources, or under Wine, where that is a
stub, the live entries of the process's GDI handle table), its windows and its private memory
(GetProcessMemoryInfo, or under Wine the process's anonymous resident and swapped memory).
The sample after the first minute is the baseline; the last must match it: the same GDI objects
and windows, private memory within a margin for the heap's own rounding. Then the program quits
through its menu and must exit 0 with the settings it started with. Prints the figures and
writes them to --out; the exit status is 0 only for a flat, clean run.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run as e2e  # noqa: E402
import wine  # noqa: E402

SAMPLE_EVERY = 30.0  # seconds
ACT_EVERY = 3.0  # seconds between two openings
BASELINE_AT = 60.0  # seconds: the first minute's allocations (fonts, caches) are done
MEMORY_MARGIN = 64 * 1024  # bytes: a heap grows by whole blocks


def unix_private(pid):
    """RssAnon plus VmSwap of a Wine process: what Wine itself reports as a process's private
    usage, read here because Wine answers 0 for another process."""
    total = 0
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                name, _, value = line.partition(":")
                if name in ("RssAnon", "VmSwap"):
                    total += int(value.split()[0]) * 1024
    except (OSError, ValueError):
        return -1
    return total


def sample(run):
    answer = run.do("resources")
    values = dict(field.split("=", 1) for field in answer.split())
    values = {k: (v if k == "source" else int(v)) for k, v in values.items()}
    if values["private"] <= 0:
        values["private"] = unix_private(run.program.pid)
    return values


def open_and_close(run, turn):
    """One of the three openings, by turn: main menu, track list, About box."""
    kind = turn % 3
    if kind == 0:
        run.menu("rclick", "esc")
    elif kind == 1:
        run.menu("click", "esc")
    else:
        run.menu("rclick", "a")
        run.wait_count("dialogs", 1)
        run.do("dialog-key esc")
        run.wait_count("dialogs", 0)
    return kind


def soak(env, seconds):
    run = e2e.Run(env, "soak", e2e.scene(), e2e.ini(1, 2))
    counts = [0, 0, 0]
    samples = []
    try:
        run.wait_window()
        run.do("tray dblclick")
        run.wait_log(e2e.play(1, 2))
        began = time.time()
        next_sample, turn = 0.0, 0
        while True:
            now = time.time() - began
            if now >= next_sample:
                samples.append((now, sample(run)))
                if now >= seconds:
                    break
                next_sample = min(next_sample + SAMPLE_EVERY, seconds)
            counts[open_and_close(run, turn)] += 1
            turn += 1
            time.sleep(max(0.0, min(ACT_EVERY, began + next_sample - time.time())))
        plays = len(e2e.plays(run))
        code = run.quit()
        settings = run.ini_bytes()
    finally:
        run.close()
    return samples, counts, plays, code, settings


def judge(samples, counts, plays, code, settings, arch, seconds, route=""):
    base = next(s for t, s in samples if t >= min(BASELINE_AT, seconds))
    end = samples[-1][1]
    grown = end["private"] - base["private"]
    faults = []
    # Through qemu-i386 the native wineserver reads the program's memory at host addresses,
    # which are not the emulated program's: its GDI handle table cannot be read there.
    gdi_unreadable = bool(route) and base["source"] == "none"
    if (base["source"] == "none" and not gdi_unreadable) or base["private"] < 0:
        faults.append("the process's objects or memory could not be read")
    if end["gdi"] != base["gdi"]:
        faults.append("GDI objects %d after the first minute, %d at the end" % (
            base["gdi"], end["gdi"]))
    if end["windows"] != base["windows"]:
        faults.append("windows %d after the first minute, %d at the end" % (
            base["windows"], end["windows"]))
    if grown > MEMORY_MARGIN:
        faults.append("private memory grew by %d bytes" % grown)
    if code != 0:
        faults.append("exit code %r" % code)
    if settings != e2e.ini(1, 2):
        faults.append("the settings file changed: %r" % settings)
    if plays < seconds / 2:
        faults.append("only %d plays in %d s" % (plays, seconds))

    gdi_how = "GetGuiResources" if base["source"] == "system" else "the GDI handle table"
    if gdi_unreadable:
        gdi_how = "not countable through %s" % route
    user = ("USER %d -> %d" % (base["user"], end["user"]) if base["source"] == "system" else
            "USER objects not counted (GetGuiResources is a stub under Wine)")
    lines = [
        "%d s, %s-bit%s: %d plays, %d main menus, %d track lists, %d About boxes" % (
            seconds, arch, " through " + route if route else "", plays, counts[0], counts[1],
            counts[2]),
        "GDI objects %d -> %d (%s), windows %d -> %d, %s" % (
            base["gdi"], end["gdi"], gdi_how, base["windows"], end["windows"], user),
        "private memory %d KiB -> %d KiB (%+d KiB; margin %d KiB)" % (
            base["private"] // 1024, end["private"] // 1024, grown // 1024,
            MEMORY_MARGIN // 1024),
        "exit %s, settings %s" % (code, "kept" if settings == e2e.ini(1, 2) else "CHANGED"),
    ]
    series = ", ".join("%.0fs gdi=%d private=%dK" % (t, s["gdi"], s["private"] // 1024)
                       for t, s in samples)
    return lines, series, faults


def write(path, lines):
    if path:
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--win32")
    p.add_argument("--win64")
    p.add_argument("--work", required=True)
    p.add_argument("--minutes", type=float, default=5.0)
    p.add_argument("--out")
    a = p.parse_args()
    seconds = int(a.minutes * 60)
    # Both exes, each in its own session: the shipped 32-bit one also through qemu-i386 (a leak
    # is a leak however slowly it runs), the 64-bit one, where the GDI objects can always be
    # counted.
    out, failed = [], False
    for arch, folder in (("32", a.win32), ("64", a.win64)):
        if not folder:
            continue
        env = wine.Env(os.path.join(a.work, arch), {arch: folder}, emulate=True)
        try:
            print(env.setup(e2e.CD_DRIVES), flush=True)
            samples, counts, plays, code, settings = soak(env, seconds)
        except wine.WineError as e:
            if arch == "32":
                out.append("32-bit: not run: %s" % str(e).replace(
                    "no Wine can run trovanix.exe: ", ""))
                print(out[-1], flush=True)
                continue
            failed = True
            out.append("%s-bit: FAILED: %s" % (arch, str(e).splitlines()[0]))
            print("soak: " + out[-1], file=sys.stderr)
            continue
        except e2e.CaseFailure as e:
            failed = True
            out.append("%s-bit: FAILED: %s" % (arch, str(e).splitlines()[0]))
            print("soak: " + out[-1], file=sys.stderr)
            continue
        finally:
            env.teardown()
        lines, series, faults = judge(samples, counts, plays, code, settings, arch, seconds,
                                      env.state.get("route", ""))
        lines.append("flat" if not faults else "FAILED: " + "; ".join(faults))
        failed = failed or bool(faults)
        print("\n".join(lines))
        print("samples: " + series, flush=True)
        out += lines
    write(a.out, out)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
