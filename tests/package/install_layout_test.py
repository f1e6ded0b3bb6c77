#!/usr/bin/env python3
"""Installs the build tree into a temporary DESTDIR under the prefix /usr and
checks what a desktop expects to find there.

Environment: LUMORA_BUILD_DIR, LUMORA_SOURCE_DIR, CMAKE_COMMAND, and
LUMORA_PROGRAMS (comma-separated programs the build installs).
"""
import configparser
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

APP_ID = "com.lumorafm.Downloader"
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)
BUILD_DIR = os.environ["LUMORA_BUILD_DIR"]
SOURCE_DIR = os.environ["LUMORA_SOURCE_DIR"]
PROGRAMS = sorted(p for p in os.environ["LUMORA_PROGRAMS"].split(",") if p)
COMPLETION = "usr/share/bash-completion/completions/lumorafm-cli"
USER_UNITS = "usr/lib/systemd/user"
SYNC_UNITS = ("lumorafm-sync.service", "lumorafm-sync.timer")


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


# The install component each program's package is made from.
COMPONENTS = {"lumorafm": "app", "lumorafm-cli": "cli"}


def files_of(program):
    """What the package of `program` holds, under the prefix /usr."""
    files = {f"usr/bin/{program}", f"usr/share/man/man1/{program}.1.gz",
             f"usr/share/doc/{program}/copyright", f"usr/share/doc/{program}/changelog.gz"}
    if program == "lumorafm":
        files.add(f"usr/share/applications/{APP_ID}.desktop")
        files.add(f"usr/share/metainfo/{APP_ID}.metainfo.xml")
        files.add(f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg")
        files.update(f"usr/share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in PNG_SIZES)
    else:
        files.add(COMPLETION)
        files.update(f"{USER_UNITS}/{u}" for u in SYNC_UNITS)
    return files


def expected_files():
    return set().union(*(files_of(p) for p in PROGRAMS))


def cmake_install(destdir, *options):
    done = run(os.environ["CMAKE_COMMAND"], "--install", BUILD_DIR, "--prefix", "/usr",
               *options, env=dict(os.environ, DESTDIR=destdir))
    if done.returncode != 0:
        raise RuntimeError("cmake --install failed:\n" + done.stdout + done.stderr)


def files_under(root):
    found = set()
    for top, _, names in os.walk(root):
        found.update(os.path.relpath(os.path.join(top, n), root) for n in names)
    return found


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", path
    return struct.unpack(">II", head[16:24])


class InstallLayout(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="lumora-install-")
        cls.root = cls.tmp.name
        try:
            cmake_install(cls.root)
        except RuntimeError:
            cls.tmp.cleanup()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, relative):
        return os.path.join(self.root, relative)

    def desktop_entry(self):
        entry = configparser.ConfigParser(interpolation=None, strict=True)
        entry.optionxform = str
        entry.read(self.path(f"usr/share/applications/{APP_ID}.desktop"), encoding="utf-8")
        return entry["Desktop Entry"]

    def metainfo(self):
        return ET.parse(self.path(f"usr/share/metainfo/{APP_ID}.metainfo.xml")).getroot()

    def test_exactly_the_programs_and_desktop_files_in_standard_places(self):
        self.assertIn("lumorafm", PROGRAMS)
        self.assertEqual(files_under(self.root), expected_files())
        for program in PROGRAMS:
            self.assertTrue(os.access(self.path(f"usr/bin/{program}"), os.X_OK), program)

    def test_each_package_holds_its_own_program_and_only_the_window_program_needs_qt(self):
        for program in PROGRAMS:
            with self.subTest(program), \
                    tempfile.TemporaryDirectory(prefix="lumora-component-") as root:
                cmake_install(root, "--component", COMPONENTS[program])
                self.assertEqual(files_under(root), files_of(program))
                libraries = run("ldd", os.path.join(root, "usr/bin", program))
                self.assertEqual(libraries.returncode, 0, libraries.stderr)
                self.assertEqual("libQt6" in libraries.stdout, program == "lumorafm",
                                 libraries.stdout)

    def test_validators_accept_the_entry_and_the_metadata(self):
        checks = [
            ("desktop-file-validate", f"usr/share/applications/{APP_ID}.desktop"),
            ("appstreamcli validate --no-net", f"usr/share/metainfo/{APP_ID}.metainfo.xml"),
        ]
        for command, relative in checks:
            with self.subTest(command):
                done = run(*command.split(), self.path(relative))
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_entry_and_metadata_name_the_installed_program_and_icon(self):
        entry = self.desktop_entry()
        self.assertEqual(entry["Exec"], "lumorafm")
        self.assertEqual(entry["Icon"], APP_ID)
        root = self.metainfo()
        self.assertEqual(root.findtext("id"), APP_ID)
        self.assertEqual(root.findtext("launchable[@type='desktop-id']"), f"{APP_ID}.desktop")
        # Only what the metadata's own package holds.
        self.assertEqual([b.text for b in root.findall("provides/binary")], ["lumorafm"])
        self.assertEqual(root.findtext("project_license"), "LicenseRef-proprietary")
        self.assertIn("LumoraFM", root.findtext("developer_name"))

    def test_icons_are_the_size_their_folder_names(self):
        for size in PNG_SIZES:
            with self.subTest(size=size):
                icon = self.path(f"usr/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")
                self.assertEqual(png_size(icon), (size, size))
        svg = ET.parse(self.path(f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg"))
        self.assertEqual(svg.getroot().tag, "{http://www.w3.org/2000/svg}svg")

    def test_installed_icons_are_what_the_drawing_script_makes(self):
        with tempfile.TemporaryDirectory(prefix="lumora-icons-") as fresh:
            script = os.path.join(SOURCE_DIR, "packaging/icons/draw_icon.py")
            done = run(sys.executable, script, fresh)
            self.assertEqual(done.returncode, 0, done.stderr)
            for top, _, names in os.walk(os.path.join(fresh, "hicolor")):
                for name in names:
                    drawn = os.path.join(top, name)
                    relative = os.path.relpath(drawn, fresh)
                    with self.subTest(relative):
                        installed = self.path(f"usr/share/icons/{relative}")
                        self.assertEqual(digest(installed), digest(drawn))

    def test_programs_need_nothing_from_the_build_tree(self):
        for program in PROGRAMS:
            with self.subTest(program):
                binary = self.path(f"usr/bin/{program}")
                dynamic = run("readelf", "-d", binary)
                self.assertEqual(dynamic.returncode, 0, dynamic.stderr)
                self.assertNotIn(os.path.realpath(BUILD_DIR), dynamic.stdout)
                self.assertNotIn(os.path.realpath(SOURCE_DIR), dynamic.stdout)
                libraries = run("ldd", binary)
                self.assertEqual(libraries.returncode, 0, libraries.stderr)
                self.assertNotIn("not found", libraries.stdout)

    # lumorafm-cli's man page, completion and timer units, as installed.

    def needs_cli(self):
        if "lumorafm-cli" not in PROGRAMS:
            self.skipTest("lumorafm-cli is not built")

    def test_man_pages_render_without_warnings(self):
        for program in PROGRAMS:
            with self.subTest(program):
                page = self.path(f"usr/share/man/man1/{program}.1.gz")
                env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
                done = run("man", "--warnings", "-E", "UTF-8", "-l", page, env=env)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(done.stderr, "")
                self.assertIn(program.upper() + "(1)", done.stdout)
                self.assertIn("NAME", done.stdout)
                version = run(self.path(f"usr/bin/{program}"), "--version").stdout.split()[-1]
                footer = done.stdout.strip().splitlines()[-1]
                self.assertIn("lumorafm " + version, footer)
                with open(page, "rb") as f:  # gzip -n: no time stamp, the same bytes each build
                    self.assertEqual(f.read(8)[4:8], b"\0\0\0\0")
        if "lumorafm-cli" not in PROGRAMS:
            return
        text = run("man", "-l", self.path("usr/share/man/man1/lumorafm-cli.1.gz"),
                   env=dict(os.environ, MANWIDTH="200")).stdout
        for command in ("follow", "unfollow", "following", "sync", "--playlist",
                        "systemctl --user enable --now lumorafm-sync.timer"):
            self.assertIn(command, text)

    def complete(self, words, followed=""):
        """The completions bash offers for the command line `words` (the last
        one being completed), with `followed` as `lumorafm-cli following`."""
        with tempfile.TemporaryDirectory(prefix="lumora-complete-") as bindir:
            fake = os.path.join(bindir, "lumorafm-cli")
            with open(fake, "w") as f:
                f.write("#!/bin/sh\n[ \"$1\" = following ] && printf '%s' '" + followed + "'\n")
            os.chmod(fake, 0o755)
            line = " ".join(words)
            script = (f". '{self.path(COMPLETION)}'\n"
                      f"COMP_WORDS=({' '.join(repr(w) for w in words)})\n"
                      f"COMP_CWORD={len(words) - 1}\n"
                      f"COMP_LINE={line!r} COMP_POINT={len(line)}\n"
                      "_lumorafm_cli\n"
                      "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
            done = run("bash", "--norc", "-c", script,
                       env=dict(os.environ, PATH=bindir + ":" + os.environ["PATH"]))
            self.assertEqual(done.returncode, 0, done.stderr)
            return [w for w in done.stdout.split("\n") if w]

    def test_completion_script_loads_and_completes_commands_options_and_albums(self):
        self.needs_cli()
        done = run("bash", "-n", self.path(COMPLETION))
        self.assertEqual(done.returncode, 0, done.stderr)
        cases = [
            (["lumorafm-cli", "sy"], "", ["sync"]),
            (["lumorafm-cli", "--demo", "fo"], "", ["follow", "following"]),
            (["lumorafm-cli", "sync", "--"], "",
             ["--jobs", "--playlist", "--notify", "--limit-rate", "--exec", "--quiet"]),
            (["lumorafm-cli", "--"], "", ["--search-base", "--mobile-base", "--demo", "--help",
                                          "--version"]),
            (["lumorafm-cli", "unfollow", ""], "3700002\t/a\n3700005\t/b\n",
             ["3700002", "3700005"]),
            (["lumorafm-cli", "unfollow", "37000"], "3700002\t/a\n", ["3700002"]),
        ]
        for words, followed, expected in cases:
            with self.subTest(words=words):
                self.assertEqual(self.complete(words, followed), expected)

    def test_systemd_verifies_the_units_against_the_installed_program(self):
        self.needs_cli()
        if shutil.which("systemd-analyze") is None or shutil.which("unshare") is None:
            self.fail("systemd-analyze and unshare are needed (scripts/setup.sh installs them)")
        # The service names the program as a bare word, which systemd looks up in
        # its fixed search path: a private mount namespace lays the installed
        # bin/ over /usr/local/bin, so the check sees the program as installed.
        namespace = ["unshare", "--mount"] if os.geteuid() == 0 else \
            ["unshare", "--mount", "--map-root-user"]
        if run(*namespace, "true").returncode != 0:
            self.skipTest("no private mount namespace here")
        units = [self.path(f"{USER_UNITS}/{u}") for u in SYNC_UNITS]
        with tempfile.TemporaryDirectory(prefix="lumora-runtime-") as runtime:
            os.chmod(runtime, 0o700)
            env = dict(os.environ, XDG_RUNTIME_DIR=runtime,
                       MANPATH=self.path("usr/share/man"))
            script = ('mount --bind "$1" /usr/local/bin && shift && '
                      'exec systemd-analyze verify --user "$@"')
            done = run(*namespace, "sh", "-c", script, "sh", self.path("usr/bin"), *units,
                       env=env)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stderr, "")
        timer = configparser.ConfigParser(interpolation=None, strict=True)
        timer.optionxform = str
        timer.read(units[1])
        self.assertEqual(timer["Timer"]["OnCalendar"], "daily")
        self.assertEqual(timer["Timer"]["Persistent"], "true")
        self.assertIn("RandomizedDelaySec", timer["Timer"])
        service = configparser.ConfigParser(interpolation=None, strict=True)
        service.optionxform = str
        service.read(units[0])
        self.assertEqual(service["Service"]["Type"], "oneshot")
        self.assertEqual(service["Service"]["ExecStart"], "lumorafm-cli sync")


if __name__ == "__main__":
    unittest.main(verbosity=2)
