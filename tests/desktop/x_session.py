"""A private desktop for one test: a virtual X server on a free display,
optionally a window manager (openbox) and the accessibility buses (a D-Bus
session bus with the AT-SPI bus launcher). Everything started here is
stopped again when the session ends, and it shares no folder with tests
running beside it: HOME and the XDG folders are the session's own.

Deadlines are generous on purpose: they cost nothing while things go well
and must hold on a machine busy with other tests and builds."""

import os
import select
import shutil
import subprocess
import tempfile
import time

# For what the desktop's own parts need to start (a server, a bus, a window
# manager) and for the program to answer.
START_SECONDS = 60


class Deadline:
    def __init__(self, seconds):
        self.end = time.monotonic() + seconds

    def left(self):
        return max(0.0, self.end - time.monotonic())

    def passed(self):
        return self.left() == 0.0


def wait_for(condition, seconds, what):
    """Polls `condition` until it returns a true value; fails after `seconds`."""
    deadline = Deadline(seconds)
    while True:
        value = condition()
        if value:
            return value
        if deadline.passed():
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def read_line(stream, seconds, what):
    """One line a child prints, within `seconds`."""
    ready, _, _ = select.select([stream], [], [], seconds)
    if not ready:
        raise AssertionError("timed out waiting for " + what)
    line = stream.readline()
    if not line:
        raise AssertionError("no " + what + ": the program ended")
    return line.strip()


class XSession:
    def __init__(self, width, height, window_manager=True, accessibility=False):
        self.size = (width, height)
        self.window_manager = window_manager
        self.accessibility = accessibility
        self.children = []
        self.home = None
        self.env = None
        self.x_server = None

    def __enter__(self):
        try:
            self.home = tempfile.mkdtemp(prefix="lumora-desktop-")
            self.env = dict(os.environ, HOME=self.home)
            self.env.pop("QT_QPA_PLATFORM", None)
            for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                         "AT_SPI_BUS_ADDRESS"):
                self.env.pop(name, None)
            for name in ("XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
                path = os.path.join(self.home, name.lower())
                os.mkdir(path, 0o700)
                self.env[name] = path
            self._start_x()
            if self.window_manager:
                self._start_openbox()
            if self.accessibility:
                self._start_buses()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()
            for stream in (child.stdin, child.stdout, child.stderr):
                if stream:
                    stream.close()
        self.children = []
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)
        return False

    def start(self, args, **kwargs):
        """A child of the session, stopped with it."""
        kwargs.setdefault("env", self.env)
        child = subprocess.Popen(args, **kwargs)
        self.children.append(child)
        return child

    def run(self, args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True,
                              timeout=START_SECONDS).stdout

    def start_logged(self, args, log, **kwargs):
        """A child of the session whose output goes to the file `log` in the
        session's home (see said())."""
        with open(os.path.join(self.home, log), "w") as out:
            return self.start(args, stdout=out, stderr=subprocess.STDOUT, **kwargs)

    def said(self, log):
        with open(os.path.join(self.home, log), errors="replace") as f:
            return f.read()[-2000:]

    def _start_x(self):
        # -displayfd: the server picks a free display and tells its number.
        # -noreset: else the server resets whenever its last client leaves (a
        # probe like xprop polling before the window manager is up), and a
        # client connecting during the reset is turned away.
        reader, writer = os.pipe()
        width, height = self.size
        self.x_server = self.start_logged(
            ["Xvfb", "-displayfd", str(writer), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"], "xvfb.log", pass_fds=(writer,))
        os.close(writer)
        with os.fdopen(reader) as numbers:
            display = read_line(numbers, START_SECONDS, "the X server's display number")
        self.env["DISPLAY"] = ":" + display
        wait_for(lambda: self.x_server.poll() is not None or
                 subprocess.run(["xprop", "-root", "_XKB_RULES_NAMES"], env=self.env,
                                capture_output=True, timeout=START_SECONDS).returncode == 0,
                 START_SECONDS, "the X server to answer on " + self.env["DISPLAY"])
        if self.x_server.poll() is not None:
            raise AssertionError("the X server ended with %d: %r"
                                 % (self.x_server.returncode, self.said("xvfb.log")))

    def _start_openbox(self):
        openbox = self.start_logged(["openbox", "--sm-disable"], "openbox.log")
        try:
            wait_for(lambda: openbox.poll() is not None or
                     "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]),
                     START_SECONDS, "openbox to manage the screen")
        except AssertionError as e:
            raise AssertionError("%s (openbox still running; it said: %r)"
                                 % (e, self.said("openbox.log"))) from None
        if openbox.poll() is not None:
            x_state = ("running" if self.x_server.poll() is None
                       else "ended with %d" % self.x_server.returncode)
            raise AssertionError(
                "openbox ended with %d before managing the screen %s: %r; the X server %s: %r"
                % (openbox.returncode, self.env["DISPLAY"], self.said("openbox.log"), x_state,
                   self.said("xvfb.log")))

    def _start_buses(self):
        reader, writer = os.pipe()
        self.start(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                    "--print-address=%d" % writer], pass_fds=(writer,),
                   stdout=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader) as address:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(address, START_SECONDS,
                                                             "the session bus address")
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        has_owner = ["dbus-send", "--session", "--print-reply",
                     "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"]
        wait_for(lambda: "boolean true" in self.run(has_owner), START_SECONDS,
                 "the accessibility bus")
        # Qt's bridge speaks to the bus whatever the desktop's settings say.
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["QT_ACCESSIBILITY"] = "1"
