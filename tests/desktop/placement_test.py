"""Where the windows open, under a real window manager: the Main window
where the Track window has room beside it, the Track window beside the Main
window (right, else left, else covering the least of it), wholly on the
screen. Both windows' frames are read back from the X server as the window
manager placed them.
Usage: placement_test.py PROBE"""

import re
import subprocess
import sys
import unittest

from x_session import START_SECONDS, XSession, read_line, wait_for

PROBE = None


class Rect:
    def __init__(self, left, top, width, height):
        self.left, self.top, self.width, self.height = left, top, width, height
        self.right = left + width - 1
        self.bottom = top + height - 1

    def __repr__(self):
        return "%dx%d+%d+%d" % (self.width, self.height, self.left, self.top)


def overlap(a_start, a_length, b_start, b_length):
    return max(0, min(a_start + a_length, b_start + b_length) - max(a_start, b_start))


def cover(a, b):
    return overlap(a.left, a.width, b.left, b.width) * overlap(a.top, a.height, b.top, b.height)


def least_cover(owner, width, height, screen_w, screen_h):
    """The least cover of `owner` by a width x height window anywhere on the
    screen: its two directions are independent."""
    ox = min(overlap(owner.left, owner.width, x, width) for x in range(screen_w - width + 1))
    oy = min(overlap(owner.top, owner.height, y, height) for y in range(screen_h - height + 1))
    return ox * oy


class Desktop:
    """The probe's windows in one X session."""

    def __init__(self, session):
        self.session = session
        self.probe = session.start([PROBE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   text=True)
        self.main = self.expect("main")

    def expect(self, word):
        line = read_line(self.probe.stdout, START_SECONDS, "the probe's " + word)
        assert line.startswith(word), line
        return line.split()[-1]

    def command(self, line, word="ok"):
        self.probe.stdin.write(line + "\n")
        self.probe.stdin.flush()
        return self.expect(word)

    def frame(self, window):
        """The window's frame as the window manager placed it, or None while
        it is not shown or not yet framed."""
        info = self.session.run(["xwininfo", "-id", window])
        if "IsViewable" not in info:
            return None
        number = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        extents = self.session.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"])
        found = re.search(r"=\s*(\d+), (\d+), (\d+), (\d+)", extents)
        if not found:
            return None
        left, right, top, bottom = (int(v) for v in found.groups())
        return Rect(number("Absolute upper-left X") - left, number("Absolute upper-left Y") - top,
                    number("Width") + left + right, number("Height") + top + bottom)


class PlacementTest(unittest.TestCase):
    def check(self, size, main_at, rule):
        width, height = size
        with XSession(width, height) as session:
            desk = Desktop(session)
            if main_at:
                desk.command("move %d %d" % main_at)
                wait_for(lambda: (f := desk.frame(desk.main)) and (f.left, f.top) == main_at,
                         START_SECONDS, "the Main window at %s, it is at %s" % (main_at,
                                                                     desk.frame(desk.main)))
            main = wait_for(lambda: desk.frame(desk.main), START_SECONDS, "the Main window")
            track_id = desk.command("open", "track")
            seen = []

            def placed():
                track = desk.frame(track_id)
                now = desk.frame(desk.main)
                seen[:] = [now, track]
                return track and now and rule(now, track, width, height)

            try:
                wait_for(placed, START_SECONDS, "the Track window's place")
            except AssertionError:
                self.fail("%s on %dx%d: Main %s, Track %s" % (rule.__name__, width, height,
                                                              *seen))
            desk.command("quit")

    def test_right_of_the_main_window_when_there_is_room(self):
        self.check((1280, 1024), (0, 100), right_of_main)

    def test_left_of_it_when_the_right_is_full(self):
        self.check((1280, 1024), (1280 - 604, 100), left_of_main)

    def test_covering_the_least_when_neither_side_has_room(self):
        # The Main window in the screen's middle, where a window manager
        # would put it alone.
        self.check((1280, 1024), ((1280 - 604) // 2, (1024 - 653) // 2), covering_least)
        self.check((1024, 768), ((1024 - 604) // 2, (768 - 653) // 2), covering_least)

    def test_small_screen_with_the_main_window_at_its_corner(self):
        self.check((1024, 768), (10, 40), covering_least)

    def test_first_place_leaves_room_for_the_track_window(self):
        # Where the program itself puts the Main window.
        self.check((1280, 1024), None, right_of_main)
        self.check((1024, 768), None, overlapping_what_the_width_forces)


def on_screen(t, width, height):
    return t.left >= 0 and t.top >= 0 and t.right < width and t.bottom < height


def right_of_main(m, t, width, height):
    return on_screen(t, width, height) and t.left == m.right + 1 and t.top == m.top


def left_of_main(m, t, width, height):
    return on_screen(t, width, height) and t.right == m.left - 1 and t.top == m.top


def overlapping_what_the_width_forces(m, t, width, height):
    forced = max(0, m.width + t.width - width)
    return (on_screen(m, width, height) and on_screen(t, width, height) and
            overlap(m.left, m.width, t.left, t.width) == forced)


def covering_least(m, t, width, height):
    return (on_screen(t, width, height) and
            cover(m, t) == least_cover(m, t.width, t.height, width, height))


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main()
