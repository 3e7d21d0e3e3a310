"""The picture tour: trovanix.exe on Xvfb with the demo disc, driven by hand.exe and the X
pointer, photographed at the tray icon's tooltip while playing, the main menu, the track list
and the About box, and again the main menu and the About box on a screen at 150 %. Used by
scripts/run where there is no display.

    tour.py --win32 build/win --win64 build/win64 --work DIR --pictures DIR
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run  # noqa: E402
import shots  # noqa: E402
import wine  # noqa: E402

# The demo disc: a dozen audio tracks of a few minutes each, played in real time, and a label
# in Japanese, which the drive items of the main menu show.
DEMO_TRACKS = (201, 185, 243, 176, 222, 198, 264, 150, 231, 207, 189, 276)
DEMO_LABEL = "デモ ディスク"
DEMO_SCENE = "[vcd]\nspeed=1\nend=notify\n[d]\ndisc=%s\n" % ", ".join(
    "audio %d" % s for s in DEMO_TRACKS)
CD_DRIVES = {"d": DEMO_LABEL}

# Xvfb draws the pointer into its screen: while it rests here, it stays out of the comparisons,
# which look only right of COMPARED_FROM.
AWAY = (24, 24)
COMPARED_FROM = 200
MARGIN = 24  # pixels of desktop around what a picture shows
SETTLE = 0.6  # seconds for a tooltip or a highlight to be drawn
TOOLTIP_WIDTH = 100  # narrower differences are the pointer and the icon's animation


class Tour:
    def __init__(self, env, pictures):
        self.env = env
        self.pictures = pictures
        self.display = env.state["display"]
        self.xauthority = env.state.get("xauthority")
        self.saved = []

    def screen(self):
        return shots.read_xwd(self.env.screen_file())

    def point(self, x, y):
        if not shots.move_pointer(self.display, x, y, self.xauthority):
            raise run.CaseFailure("cannot move the X pointer on %s" % self.display)

    def away(self, run_):
        """Moves the pointer onto the empty desktop, away from the tray and out of the region
        compared, and returns the screen once what the pointer had opened there has closed:
        two looks in a row that differ in no more than the icon's animation."""
        self.point(*AWAY)
        return self.settled(run_)

    def settled(self, run_):
        """The screen once it holds still but for the icon's animation and the pointer."""
        last = [self.screen()]

        def calm():
            time.sleep(SETTLE)
            now = self.screen()
            box = self.changes(now, last[0])
            last[0] = now
            return now if not box or box[2] - box[0] < TOOLTIP_WIDTH else None

        return run_.wait("a settled screen", calm)

    def menu_box(self, now, before):
        """Where the menu is: the topmost change is its top edge, which gives its left and right;
        its left edge runs down to its bottom. The tooltip, which comes back to the icon under
        the menu, is left out."""
        top = self.changes(now, before)[1]
        left, _, right, _ = now.changes(before, (COMPARED_FROM, top, now.width, top + 1))
        bottom = top
        while bottom < now.height and now.pixel(left, bottom) != before.pixel(left, bottom):
            bottom += 1
        return left, top, right, bottom

    def save(self, name, image, box):
        """Saves what lies in box and the desktop up to the bottom right corner, where the tray
        and everything the program opens from it are."""
        left, top = max(0, box[0] - MARGIN), max(0, box[1] - MARGIN)
        path = os.path.join(self.pictures, name)
        shots.write_png(path, image.crop((left, top, image.width, image.height)))
        self.saved.append(path)

    def changed(self, before, what, run_, min_width=1):
        """Waits until the screen differs from before over at least min_width pixels across;
        returns the screen and the box of the differences."""
        return run_.wait(what, lambda: self._diff(before, min_width))

    def _diff(self, before, min_width):
        now = self.screen()
        box = self.changes(now, before)
        return (now, box) if box and box[2] - box[0] >= min_width else None

    def changes(self, now, before):
        return now.changes(before, (COMPARED_FROM, 0, now.width, now.height))


# The pictures of a pass at another scale than 100 %: what is drawn from the program's own
# resources, sized by the screen's DPI.
SCALED = ("main-menu", "about")


def take(env, pictures, scale=None):
    """Runs the tour; returns the paths of the pictures. With scale (a percentage, the prefix
    set to that DPI), only the main menu and the About box, named with it: main-menu-150.png."""
    os.makedirs(pictures, exist_ok=True)
    tour = Tour(env, pictures)
    wanted = SCALED if scale else ("tray-tooltip", "main-menu", "track-list", "about")
    name = (lambda base: "%s-%d.png" % (base, scale)) if scale else (lambda base: base + ".png")
    r = run.Run(env, "tour", DEMO_SCENE)
    try:
        r.wait_window()
        r.do("tray dblclick")
        r.wait_log(run.play(1, 2))
        # hand.exe left the pointer on the icon: away from the tray, the desktop as it is
        # before anything opens.
        quiet = tour.away(r)
        if "tray-tooltip" in wanted:
            # A few seconds into the first track, the hand rests on the icon.
            time.sleep(3)
            # Where hand.exe places the cursor for its tray gestures: on the icon, wherever
            # this Wine's taskbar has put it.
            tour.point(*(int(v) for v in r.do("icon where").split()))
            _, box = tour.changed(quiet, "the tooltip", r, TOOLTIP_WIDTH)
            time.sleep(SETTLE)
            now = tour.screen()
            tour.save(name("tray-tooltip"), now, tour.changes(now, quiet) or box)

        # The pointer leaves the icon so that its tooltip closes before each menu.
        for base, gesture, item in (("main-menu", "rclick", 0.68),
                                    ("track-list", "click", 0.25)):
            if base not in wanted:
                continue
            before = tour.away(r)
            r.do("tray " + gesture)
            r.wait_count("menus", 1)
            tour.changed(before, "the menu on screen", r, TOOLTIP_WIDTH)
            now = tour.settled(r)
            # The hand on one item of the menu, highlighted as the user sees it.
            left, top, right, bottom = tour.menu_box(now, before)
            tour.point(left + 30, top + int((bottom - top) * item))
            time.sleep(SETTLE)
            now = tour.screen()
            tour.save(name(base), now, tour.changes(now, before))
            r.do("keys esc")
            r.wait_count("menus", 0)

        before = tour.away(r)
        r.menu("rclick", "a")
        r.wait_count("dialogs", 1)
        now = tour.away(r)
        box = tour.changes(now, before)
        if not box:
            raise run.CaseFailure("the About box is not on the screen")
        tour.save(name("about"), now, box)
        r.do("dialog-key esc")
        r.wait_count("dialogs", 0)
        code = r.quit()
        if code != 0:
            raise run.CaseFailure("trovanix.exe exited with %s" % code)
    finally:
        r.close()
    return tour.saved


def take_all(work, builds, pictures, say=print):
    """Both passes, each in its own Wine session: today's screen (100 %), then 150 % (Wine's
    LogPixels 144). Returns the paths of the pictures."""
    paths = []
    for scale, dpi in ((None, 96), (150, 144)):
        folder = work if scale is None else os.path.join(work, "dpi%d" % dpi)
        env = wine.Env(folder, builds, screen_dir=os.path.join(folder, "screen"), dpi=dpi)
        try:
            line = env.setup(CD_DRIVES)
            if scale is None:
                say(line)
            else:
                say("the screen at %d %% (LogPixels %d)" % (scale, dpi))
            paths += take(env, pictures, scale)
        finally:
            env.teardown()
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--win32")
    parser.add_argument("--win64")
    parser.add_argument("--work", required=True)
    parser.add_argument("--pictures", required=True)
    a = parser.parse_args()
    try:
        for path in take_all(a.work, {"32": a.win32, "64": a.win64}, a.pictures):
            print(path)
        return 0
    except (run.CaseFailure, wine.WineError) as e:
        print("tour: %s" % e, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
