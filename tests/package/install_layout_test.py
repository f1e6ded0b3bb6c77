#!/usr/bin/env python3
"""Installs the build tree into a temporary DESTDIR under the prefix /usr and
checks what a desktop expects to find there.

Environment: LUMORA_BUILD_DIR, LUMORA_SOURCE_DIR, CMAKE_COMMAND, and
LUMORA_PROGRAMS (comma-separated programs the build installs).
"""
import configparser
import hashlib
import os
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


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def expected_files():
    files = {f"usr/bin/{p}" for p in PROGRAMS}
    files.add(f"usr/share/applications/{APP_ID}.desktop")
    files.add(f"usr/share/metainfo/{APP_ID}.metainfo.xml")
    files.add(f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg")
    files.update(f"usr/share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in PNG_SIZES)
    return files


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
        env = dict(os.environ, DESTDIR=cls.root)
        done = run(os.environ["CMAKE_COMMAND"], "--install", BUILD_DIR, "--prefix", "/usr",
                   env=env)
        if done.returncode != 0:
            cls.tmp.cleanup()
            raise RuntimeError("cmake --install failed:\n" + done.stdout + done.stderr)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, relative):
        return os.path.join(self.root, relative)

    def installed_files(self):
        found = set()
        for top, _, names in os.walk(self.root):
            found.update(os.path.relpath(os.path.join(top, n), self.root) for n in names)
        return found

    def desktop_entry(self):
        entry = configparser.ConfigParser(interpolation=None, strict=True)
        entry.optionxform = str
        entry.read(self.path(f"usr/share/applications/{APP_ID}.desktop"), encoding="utf-8")
        return entry["Desktop Entry"]

    def metainfo(self):
        return ET.parse(self.path(f"usr/share/metainfo/{APP_ID}.metainfo.xml")).getroot()

    def test_exactly_the_programs_and_desktop_files_in_standard_places(self):
        self.assertIn("lumorafm", PROGRAMS)
        self.assertEqual(self.installed_files(), expected_files())
        for program in PROGRAMS:
            self.assertTrue(os.access(self.path(f"usr/bin/{program}"), os.X_OK), program)

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
        provided = sorted(b.text for b in root.findall("provides/binary"))
        self.assertEqual(provided, PROGRAMS)

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


if __name__ == "__main__":
    unittest.main(verbosity=2)
