"""The Wine environment of the end-to-end runs: which loader, a private prefix with the virtual
CD drive installed, the CD letters and their labels, the Japanese locale, an X server, and a
persistent wineserver. Python 3 standard library only; reusable by a `make run` script.

    env = wine.Env(work, {"32": build_win, "64": build_win64})
    # or on the user's own X display, or with the Xvfb screen readable as an XWD file:
    #   wine.Env(work, builds, display=":0")   wine.Env(work, builds, screen_dir=work + "/fb")
    env.setup(cd_drives={"d": "MUSIC", "e": ""})   # prefix, Xvfb, wineserver; says which Wine
    proc = env.start(r"C:\\e2e\\app\\trovanix.exe")  # a subprocess.Popen of the loader
    env.teardown()
"""

import hashlib
import json
import os
import shutil
import signal
import subprocess
import time

LOADER32 = "/usr/lib/wine/wine"
LOADER64 = "/usr/lib/wine/wine64"
SERVER32 = "/usr/lib/wine/wineserver32"
SERVER64 = "/usr/lib/wine/wineserver64"
LOCALE = "ja_JP.UTF-8"
# Bumped whenever what setup puts into the prefix changes, so old prefixes are rebuilt.
PREFIX_VERSION = "4"


class WineError(Exception):
    pass


def _run_quiet(argv, env=None, timeout=30):
    try:
        p = subprocess.run(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout)
        return p.returncode, p.stdout.decode("utf-8", "replace").strip()
    except OSError as e:
        return None, e.strerror or str(e)
    except subprocess.TimeoutExpired:
        return None, "timed out"


def _which(name):
    return shutil.which(name)


# The architectures in the order they are tried: the loader's path and the name to look for
# elsewhere, the servers to prefer, the prefix's WINEARCH.
ARCHES = (("32", LOADER32, "wine", (SERVER64, SERVER32), "win32"),
          ("64", LOADER64, "wine64", (SERVER64,), "win64"))

# Where this kernel runs no 32-bit processes, the tests run the 32-bit Wine under qemu-i386
# (scripts/setup-debian puts it here), registered for i386 ELF executables and shared objects
# in the private binfmt_misc of a new user namespace: nothing outside it changes, so the
# machine's other Wine users never pick a loader they cannot boot.
QEMU_I386 = "/usr/local/lib/trovanix/qemu-i386"
I386_ELF_MAGIC = r"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
I386_ELF_MASK = r"\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
# Linux gives each user namespace a binfmt_misc of its own from this release on.
PRIVATE_BINFMT_KERNEL = (6, 7)


def qemu_wrapper(qemu):
    """The argv prefix that runs a command with i386 ELF files handed to qemu: a new user and
    mount namespace, its own binfmt_misc, the handler registered there, then the command."""
    script = ('mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc && '
              'printf "%s" ":trovanix-i386:M::$1:$2:$3:F" > /proc/sys/fs/binfmt_misc/register '
              '&& shift 3 && exec "$@"')
    return ["unshare", "--user", "--map-root-user", "--mount", "--propagation", "private",
            "sh", "-c", script, "ns32", I386_ELF_MAGIC, I386_ELF_MASK, qemu]


def _kernel_release():
    release = os.uname().release
    nums = []
    for part in release.split(".")[:2]:
        digits = "".join(c for c in part if c.isdigit()) or "0"
        nums.append(int(digits))
    return tuple(nums), release


def wine_version(loader_output):
    """"wine-10.0" from what a loader's --version printed ("wine-10.0 (Debian 10.0~repack-6)")."""
    words = (loader_output.splitlines() or [""])[-1].split()
    return words[0] if words and words[0].startswith("wine-") else "an unknown Wine"


def qemu_route(loader):
    """The wrapper that runs the 32-bit loader under qemu, the words for it and the loader's
    version, or raises WineError saying why this machine cannot."""
    version, release = _kernel_release()
    if version < PRIVATE_BINFMT_KERNEL:
        raise WineError("kernel %s has no private binfmt_misc for qemu-i386 (needs 6.7 or later)"
                        % release)
    if not _which("unshare"):
        raise WineError("no unshare to make a namespace for qemu-i386")
    if not os.access(QEMU_I386, os.X_OK):
        raise WineError("no %s (scripts/setup-debian fetches it)" % QEMU_I386)
    rc, out = _run_quiet([QEMU_I386, "--version"])
    words = out.split()
    name = "qemu-i386 %s" % words[2] if rc == 0 and len(words) > 2 else "qemu-i386"
    wrap = qemu_wrapper(QEMU_I386)
    rc, out = _run_quiet(wrap + [loader, "--version"], timeout=120)
    if rc != 0:
        raise WineError("the 32-bit loader does not run through %s either: %s" % (
            name, (out.splitlines() or ["?"])[-1]))
    return wrap, name, wine_version(out)


def choose(builds, emulate=False):
    """Picks the architecture and loader: the 32-bit program where the 32-bit loader runs (with
    emulate, also through qemu-i386), else the 64-bit one. builds maps "32"/"64" to a build
    folder (or None). Returns a dict with arch, folder, loader, server, the wrapper argv every
    Wine command is run under, the route, the loader's Wine version and the reason, or raises
    WineError saying why nothing can run."""
    reasons = []
    for arch, loader_path, loader_name, servers, winearch in ARCHES:
        folder = builds.get(arch)
        if not folder:
            continue
        if not os.path.isfile(os.path.join(folder, "trovanix.exe")):
            reasons.append("no trovanix.exe in %s" % folder)
            continue
        loader = loader_path if os.path.exists(loader_path) else _which(loader_name)
        if not loader:
            reasons.append("no %s-bit Wine loader is installed" % arch)
            continue
        wrap, route = [], ""
        rc, out = _run_quiet([loader, "--version"])
        version = wine_version(out)
        # TROVANIX_E2E_ROUTE=qemu takes the emulated route where the 32-bit loader would run
        # natively: to try it on a machine that runs 32-bit processes.
        forced = emulate and arch == "32" and os.environ.get("TROVANIX_E2E_ROUTE") == "qemu"
        if rc != 0 or forced:
            why = (out.splitlines() or ["?"])[-1].replace(loader + ": ", "")
            if not (emulate and arch == "32"):
                reasons.append("the %s-bit loader cannot run here: %s" % (arch, why))
                continue
            try:
                wrap, route, version = qemu_route(loader)
            except WineError as e:
                reasons.append("the 32-bit loader cannot run here (%s), %s" % (why, e))
                continue
            reasons.append("TROVANIX_E2E_ROUTE=qemu asks for the emulated route" if forced else
                           "this kernel runs no 32-bit processes: %s" % why)
        server = next((s for s in servers if os.access(s, os.X_OK)), None)
        return dict(arch=arch, folder=folder, loader=loader,
                    server=server or _which("wineserver") or servers[-1], winearch=winearch,
                    wrap=wrap, route=route, version=version,
                    reason="; ".join(reasons) or "the %s-bit loader runs here" % arch)
    raise WineError("no Wine can run trovanix.exe: " +
                    ("; ".join(reasons) or "no build was given"))


def _file_hash(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        h.update(f.read())
    return h.hexdigest()


def _reg_text(lines):
    # regedit reads UTF-16 files with this header; the Japanese values need it.
    return ("Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(lines) + "\r\n").encode(
        "utf-16")


class Env:
    """One Wine environment under work: prefix/, cd/<letter>/, state.json. display: an X display
    to use instead of a private Xvfb; screen_dir: where the private Xvfb keeps its screen as an
    XWD file (Xvfb_screen0), for screenshots without an X client."""

    def __init__(self, work, builds, display=None, screen_dir=None, emulate=False, dpi=96):
        self.work = os.path.abspath(work)
        self.emulate = emulate
        self.dpi = dpi  # Wine's LogPixels: 96 is 100 %, 144 is 150 %
        self.display = display
        self.screen_dir = os.path.abspath(screen_dir) if screen_dir else None
        self.builds = {k: os.path.abspath(v) for k, v in builds.items() if v}
        self.prefix = os.path.join(self.work, "prefix")
        self.state_path = os.path.join(self.work, "state.json")
        self.state = {}
        if os.path.exists(self.state_path):
            with open(self.state_path) as f:
                self.state = json.load(f)

    # ---- paths --------------------------------------------------------------------------------

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def to_unix(self, windows_path):
        """C:\\a\\b -> <prefix>/drive_c/a/b (drive c only)."""
        assert windows_path[:3].lower() == "c:\\", windows_path
        return self.drive_c(*windows_path[3:].split("\\"))

    # ---- the environment of every Wine process ----------------------------------------------

    def environ(self, extra=None):
        s = self.state
        env = dict(os.environ)
        for k in ("WINEDEBUG", "WINEDLLPATH", "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANGUAGE"):
            env.pop(k, None)
        env.update({
            "WINEPREFIX": self.prefix,
            "WINEARCH": s["winearch"],
            "WINELOADER": s["loader"],
            "WINESERVER": s["server"],
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers, no desktop menu entries.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": LOCALE,
            "LC_ALL": LOCALE,
        })
        if s.get("display"):
            env["DISPLAY"] = s["display"]
            if s.get("xauthority"):
                env["XAUTHORITY"] = s["xauthority"]
        if extra:
            env.update(extra)
        return env

    def _save(self):
        with open(self.state_path, "w") as f:
            json.dump(self.state, f, indent=1)

    # ---- setup --------------------------------------------------------------------------------

    def setup(self, cd_drives):
        """cd_drives: {"d": "LABEL", ...}. Returns the line that says which Wine runs what."""
        os.makedirs(self.work, exist_ok=True)
        choice = choose(self.builds, self.emulate)
        self.state.update(choice)
        self._save()
        self._start_x()
        want = self._prefix_fingerprint(choice, cd_drives)
        have = None
        marker = os.path.join(self.prefix, "e2e-complete")
        if os.path.exists(marker):
            with open(marker) as f:
                have = f.read()
        self.stop_server()
        if have != want:
            self._make_prefix(choice, cd_drives)
            with open(marker, "w") as f:
                f.write(want)
        self._place_cds(cd_drives)
        self.start_server()
        through = " through " + choice["route"] if choice["route"] else ""
        return "e2e: %s-bit trovanix.exe from %s under %s (%s)%s (%s)" % (
            choice["arch"], choice["folder"], choice["loader"], choice["version"], through,
            choice["reason"])

    def _prefix_fingerprint(self, choice, cd_drives):
        dll = os.path.join(choice["folder"], "e2e", "vcdaudio.dll")
        if not os.path.isfile(dll):
            raise WineError("the virtual CD drive is missing: %s" % dll)
        return json.dumps([PREFIX_VERSION, choice["arch"], choice["loader"], _file_hash(dll),
                           sorted(cd_drives), self.dpi])

    def _wine(self, args, timeout=300, extra=None):
        # Output goes to a file: a pipe would stay open in the services Wine starts in the
        # background, and reading it to its end would never finish.
        log = os.path.join(self.work, "wine-setup.log")
        with open(log, "ab") as out:
            out.write(("$ %s\n" % " ".join(args)).encode())
            out.flush()
            start = out.tell()
            p = subprocess.run(self.command(self.state["loader"], *args), env=self.environ(extra),
                               stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                               timeout=timeout)
        with open(log, "rb") as f:
            f.seek(start)
            return p.returncode, f.read().decode("utf-8", "replace")

    def _wait_server(self):
        subprocess.run(self.command(self.state["server"], "-w"), env=self.environ(), timeout=120)

    def _make_prefix(self, choice, cd_drives):
        if os.path.exists(self.prefix):
            self.stop_server()
            shutil.rmtree(self.prefix)
        os.makedirs(self.prefix)
        # The locale is the prefix's from its first boot on: code page 932 for ANSI text.
        rc, out = self._wine(["wineboot", "-i"], timeout=300)
        self._wait_server()
        if rc != 0:
            raise WineError("wineboot failed (%s): %s" % (rc, out[-2000:]))
        sys_dir = self.drive_c("windows", "system32")
        shutil.copy(os.path.join(choice["folder"], "e2e", "vcdaudio.dll"),
                    os.path.join(sys_dir, "vcdaudio.dll"))
        fonts = "/usr/share/wine/fonts"
        if os.path.isdir(fonts):
            dest = self.drive_c("windows", "Fonts")
            os.makedirs(dest, exist_ok=True)
            for name in os.listdir(fonts):
                shutil.copy(os.path.join(fonts, name), os.path.join(dest, name))
        lines = [
            r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\MCI]",
            '"cdaudio"="vcdaudio.dll"', "",
            r"[HKEY_LOCAL_MACHINE\Software\Wine\Drives]",
        ] + ['"%s:"="cdrom"' % letter for letter in sorted(cd_drives)] + [
            "",
            r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"', "",
            r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", '"Default"="1024x768"', "",
            # The taskbar at the bottom, with the notification area at its right end, as on
            # Windows. Wine 8 draws one on every virtual desktop; Wine 10 only where the
            # desktop's shell is enabled, else the icons sit in a small window of their own.
            r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops\Default]",
            '"EnableShell"=dword:00000001', "",
            r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000', "",
            # No window manager on Xvfb: an unmanaged window closes without the 2 s wait for
            # one, which would stall the program after every dialog and at its end.
            r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]", '"Managed"="N"', "",
            # The dialog font of the program's About box.
            r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]",
            '"ＭＳ Ｐゴシック"="IPAPGothic"', '"ＭＳ ゴシック"="IPAGothic"', "",
            # The Japanese system's UI font, which Wine links to the fonts of menus and
            # captions for the glyphs they lack, as Windows does. Wine 8 draws menus and
            # captions in it; Wine 10 in Tahoma, linked to it.
            r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
            '"MS UI Gothic"="IPAPGothic"', "",
            # The screen's DPI, as the display settings set it.
            r"[HKEY_CURRENT_USER\Control Panel\Desktop]", '"LogPixels"=dword:%08x' % self.dpi, "",
        ]
        reg = self.drive_c("e2e-setup.reg")
        with open(reg, "wb") as f:
            f.write(_reg_text(lines))
        rc, out = self._wine(["regedit", "/S", r"C:\e2e-setup.reg"], timeout=120)
        if rc != 0:
            raise WineError("regedit failed (%s): %s" % (rc, out[-2000:]))
        # system.ini for the layers that read the driver from there.
        ini = self.drive_c("windows", "system.ini")
        text = open(ini, encoding="latin-1").read() if os.path.exists(ini) else ""
        if "vcdaudio.dll" not in text:
            with open(ini, "a", encoding="latin-1", newline="\r\n") as f:
                f.write("\n[mci]\ncdaudio=vcdaudio.dll\n")
        self._wait_server()

    def _place_cds(self, cd_drives):
        """Each CD letter: a folder with its label, linked from dosdevices."""
        dosdevices = os.path.join(self.prefix, "dosdevices")
        for letter, label in cd_drives.items():
            folder = os.path.join(self.work, "cd", letter)
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, ".windows-label"), "w", encoding="utf-8") as f:
                f.write(label + "\n")
            link = os.path.join(dosdevices, letter + ":")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(folder, link)

    # ---- X server and wineserver ------------------------------------------------------------

    def _start_x(self):
        pid = self.state.get("xvfb_pid")
        if pid and _alive(pid):
            if not self.display and self.state.get("screen_dir") == self.screen_dir:
                return
            self._stop_x()
        if self.display:
            self.state.update(display=self.display, xauthority=os.environ.get("XAUTHORITY", ""))
            self._save()
            return
        xauth = os.path.join(self.work, "Xauthority")
        open(xauth, "a").close()
        fbdir = []
        if self.screen_dir:
            os.makedirs(self.screen_dir, exist_ok=True)
            fbdir = ["-fbdir", self.screen_dir]
        r, w = os.pipe()
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-auth", xauth] + fbdir, pass_fds=(w,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(w)
        number = b""
        deadline = time.time() + 20
        while time.time() < deadline and not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        if not number.strip():
            proc.kill()
            raise WineError("Xvfb did not start")
        display = ":" + number.decode().strip()
        cookie = os.urandom(16).hex()
        subprocess.run(["xauth", "-f", xauth, "add", display, ".", cookie], check=True)
        self.state.update(xvfb_pid=proc.pid, display=display, xauthority=xauth,
                          screen_dir=self.screen_dir)
        self._save()

    def screen_file(self):
        """The private Xvfb's screen as an XWD file, live; None without a screen_dir."""
        if not self.screen_dir or not self.state.get("xvfb_pid"):
            return None
        return os.path.join(self.screen_dir, "Xvfb_screen0")

    def start_server(self):
        # Persistent: it stays between the programs of the cases, so each start is quick.
        # The persistent server outlives this process: it must not hold the caller's output
        # open, or a caller that reads it to its end (ctest) would wait for the server.
        subprocess.run(self.command(self.state["server"], "-p"), env=self.environ(), timeout=30,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # Boots the session (services, desktop) once, here rather than in the first case.
        self._wine(["cmd", "/c", "exit"], timeout=120)

    def stop_server(self):
        if not self.state.get("server") or not os.path.isdir(self.prefix):
            return
        subprocess.run(self.command(self.state["server"], "-k"), env=self.environ(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        subprocess.run(self.command(self.state["server"], "-w"), env=self.environ(), timeout=60)

    def teardown(self):
        if self.state:
            self.stop_server()
            self._stop_x()

    def _stop_x(self):
        pid = self.state.get("xvfb_pid")
        if pid and _alive(pid):
            os.kill(pid, signal.SIGTERM)
            for _ in range(50):
                if not _alive(pid):
                    break
                time.sleep(0.1)
            else:
                os.kill(pid, signal.SIGKILL)
        for key in ("xvfb_pid", "display", "xauthority", "screen_dir"):
            self.state.pop(key, None)
        self._save()

    # ---- programs -----------------------------------------------------------------------------

    def command(self, *argv):
        """A Wine command (loader or server) as it is run: in qemu-i386's namespace where the
        32-bit loader is emulated. The wrapper execs the command, so a process started with it
        is the command's own, exit status included."""
        return list(self.state.get("wrap") or []) + list(argv)

    def start(self, windows_path, args=(), extra_env=None, **popen):
        """Starts a Windows program with the chosen loader; its exit status is the program's."""
        return subprocess.Popen(self.command(self.state["loader"], windows_path, *args),
                                env=self.environ(extra_env), **popen)


def _alive(pid):
    try:
        os.kill(pid, 0)
    except OSError:
        return False
    # A zombie of ours counts as gone.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return True
