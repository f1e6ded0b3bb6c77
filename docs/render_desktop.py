"""Renders docs/desktop.png: both windows as a window manager (openbox)
frames and places them, the Track window opened beside the Main window.
Usage: render_desktop.py PROBE OUT.png"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "desktop"))
from x_session import XSession, read_line, wait_for  # noqa: E402


def main(probe, out):
    with XSession(1280, 1024) as session:
        child = session.start([probe], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

        def say(line):
            child.stdin.write(line + "\n")
            child.stdin.flush()
            return read_line(child.stdout, 30, "the probe's answer to " + line)

        main_id = read_line(child.stdout, 30, "the Main window").split()[-1]
        say("move 40 120")
        wait_for(lambda: "Absolute upper-left X:  40" in session.run(["xwininfo", "-id", main_id]),
                 20, "the Main window in place")
        track_id = say("open").split()[-1]
        wait_for(lambda: "IsViewable" in session.run(["xwininfo", "-id", track_id]), 20,
                 "the Track window")
        say("fill")
        # The frame is placed again once the window manager has told its size.
        wait_for(lambda: "_NET_FRAME_EXTENTS(CARDINAL)" in
                 session.run(["xprop", "-id", track_id, "_NET_FRAME_EXTENTS"]), 20, "the frame")
        time.sleep(1)  # for the lists' held frame to be painted: a picture, not a test
        say("shot " + out)
        say("quit")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
