"""The picture tour: trovanix.exe on Xvfb with the demo disc, driven by hand.exe and the X
pointer, photographed at the tray icon's tooltip while playing, the main menu, the track list
and the About box. Used by scripts/run where there is no display.

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


def take(env, pictures):
    """Runs the tour; returns the paths of the pictures."""
    os.makedirs(pictures, exist_ok=True)
    tour = Tour(env, pictures)
    r = run.Run(env, "tour", DEMO_SCENE)
    try:
        r.wait_window()
        r.do("tray dblclick")
        r.wait_log(run.play(1, 2))
        # hand.exe left the pointer on the icon: away from the tray, the desktop as it is
        # before anything opens.
        quiet = tour.away(r)
        # A few seconds into the first track, the hand rests on the icon.
        time.sleep(3)
        # Where hand.exe places the cursor for its tray gestures: on the icon, at the right end
        # of the taskbar.
        tour.point(quiet.width - 12, quiet.height - 12)
        _, box = tour.changed(quiet, "the tooltip", r, TOOLTIP_WIDTH)
        time.sleep(SETTLE)
        now = tour.screen()
        tour.save("tray-tooltip.png", now, tour.changes(now, quiet) or box)

        # The pointer leaves the icon so that its tooltip closes before each menu.
        for name, gesture, item in (("main-menu.png", "rclick", 0.68),
                                    ("track-list.png", "click", 0.25)):
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
            tour.save(name, now, tour.changes(now, before))
            r.do("keys esc")
            r.wait_count("menus", 0)

        before = tour.away(r)
        r.menu("rclick", "a")
        r.wait_count("dialogs", 1)
        now = tour.away(r)
        box = tour.changes(now, before)
        if not box:
            raise run.CaseFailure("the About box is not on the screen")
        tour.save("about.png", now, box)
        r.do("dialog-key esc")
        r.wait_count("dialogs", 0)
        code = r.quit()
        if code != 0:
            raise run.CaseFailure("trovanix.exe exited with %s" % code)
    finally:
        r.close()
    return tour.saved


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--win32")
    parser.add_argument("--win64")
    parser.add_argument("--work", required=True)
    parser.add_argument("--pictures", required=True)
    a = parser.parse_args()
    env = wine.Env(a.work, {"32": a.win32, "64": a.win64},
                   screen_dir=os.path.join(a.work, "screen"))
    try:
        print(env.setup(CD_DRIVES), flush=True)
        for path in take(env, a.pictures):
            print(path)
        return 0
    except (run.CaseFailure, wine.WineError) as e:
        print("tour: %s" % e, file=sys.stderr)
        return 1
    finally:
        env.teardown()


if __name__ == "__main__":
    sys.exit(main())
