"""cmake --install of the build folder into a temporary folder (DESTDIR): the
layout, the installed programs at work, and the desktop integration files
checked by the freedesktop validators.

The build registers it with the environment: TESSMARK_BUILD_DIR,
TESSMARK_PREFIX, TESSMARK_PROGRAMDIR, TESSMARK_BINDIR, TESSMARK_DATAROOTDIR,
TESSMARK_MANDIR (as configured), TESSMARK_GUI (ON or OFF), TESSMARK_APP_ID,
TESSMARK_VERSION."""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import installcheck  # noqa: E402

ENV = os.environ
GUI = ENV.get("TESSMARK_GUI", "ON").upper() in ("ON", "1", "TRUE", "YES")
APP_ID = ENV.get("TESSMARK_APP_ID", "")


def under(root, *parts):
    """A configured install folder (relative to the prefix, or absolute) inside root."""
    path = os.path.join(ENV["TESSMARK_PREFIX"], *parts)
    return os.path.join(root, path.lstrip("/"))


class Installed(unittest.TestCase):
    """Installs once into a temporary folder for all tests of a class."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tessmark-install-")
        cls.root = os.path.join(cls.work, "root")
        result = subprocess.run(
            ["cmake", "--install", ENV["TESSMARK_BUILD_DIR"]],
            env=dict(os.environ, DESTDIR=cls.root), capture_output=True, text=True, timeout=300)
        if result.returncode != 0:
            shutil.rmtree(cls.work, ignore_errors=True)
            raise AssertionError("cmake --install failed: " + result.stdout + result.stderr)
        cls.program_folder = under(cls.root, ENV["TESSMARK_PROGRAMDIR"])
        cls.bin = under(cls.root, ENV["TESSMARK_BINDIR"])
        cls.share = under(cls.root, ENV["TESSMARK_DATAROOTDIR"])
        cls.man = under(cls.root, ENV["TESSMARK_MANDIR"])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)


class InstalledPrograms(Installed):
    def test_program_folder_and_commands(self):
        folder = self.program_folder
        expected = set(installcheck.HELPER_NAMES)
        if GUI:
            expected |= {"tessmark", "tessmark-help.html"}
        self.assertEqual(set(os.listdir(folder)), expected)
        main_helper = os.path.join(folder, "Velmora.SFAddrUtil.exe")
        self.assertFalse(os.path.islink(main_helper))
        self.assertTrue(os.access(main_helper, os.X_OK))
        for name in installcheck.HELPER_NAMES[1:]:
            with self.subTest(helper=name):
                # A relative link beside the program, so the folder can move.
                self.assertEqual(os.readlink(os.path.join(folder, name)),
                                 "Velmora.SFAddrUtil.exe")

        commands = {"tessmark-sample-org"} | ({"tessmark"} if GUI else set())
        self.assertEqual(set(os.listdir(self.bin)), commands)
        sample = os.path.join(self.bin, "tessmark-sample-org")
        self.assertFalse(os.path.islink(sample))
        self.assertTrue(os.access(sample, os.X_OK))
        if GUI:
            link = os.path.join(self.bin, "tessmark")
            target = os.readlink(link)
            self.assertFalse(os.path.isabs(target), target)
            self.assertEqual(os.path.realpath(link),
                             os.path.realpath(os.path.join(folder, "tessmark")))
            self.assertFalse(os.path.islink(os.path.join(folder, "tessmark")))

    def test_helpers_load_a_sample_org(self):
        work = os.path.join(self.work, "helpers")
        os.makedirs(work)
        installcheck.check_helpers_load(self, self.program_folder,
                                        os.path.join(self.bin, "tessmark-sample-org"), work)

    @unittest.skipUnless(GUI, "built without the wizard")
    def test_wizard_starts_through_its_command_link(self):
        work = os.path.join(self.work, "wizard")
        os.makedirs(work)
        installcheck.check_wizard_starts(self, os.path.join(self.bin, "tessmark"), work)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(path + " is not a PNG file")
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, sep, value = line.rstrip("\n").partition("=")
            if sep and not line.startswith(("#", "[")):
                values[key] = value
    return values


@unittest.skipUnless(GUI, "built without the wizard")
class DesktopIntegration(Installed):
    def validate(self, command):
        result = subprocess.run(command, capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, " ".join(command) + ":\n" + result.stdout
                         + result.stderr)
        return result.stdout + result.stderr

    def test_desktop_entry(self):
        path = os.path.join(self.share, "applications", APP_ID + ".desktop")
        output = self.validate(["desktop-file-validate", path])
        # It also reports hints, which are not faults; warnings and errors are.
        self.assertNotIn("warning:", output.lower())
        self.assertNotIn("error:", output.lower())
        entry = desktop_entry(path)
        self.assertEqual(entry.get("Name"), "Tessmark")
        self.assertEqual(entry.get("Icon"), APP_ID)
        self.assertEqual(entry.get("Categories"), "Office;")
        self.assertTrue(entry.get("Comment"))
        # The command it starts is the one installed in bin/.
        self.assertEqual(entry.get("Exec"), "tessmark")
        self.assertIn("tessmark", os.listdir(self.bin))

    def test_metainfo(self):
        path = os.path.join(self.share, "metainfo", APP_ID + ".metainfo.xml")
        self.validate(["appstreamcli", "validate", "--no-net", path])
        component = ElementTree.parse(path).getroot()
        self.assertEqual(component.findtext("id"), APP_ID)
        self.assertEqual(component.findtext("launchable"), APP_ID + ".desktop")
        self.assertEqual(component.findtext("icon"), APP_ID)
        self.assertEqual(component.find("releases/release").get("version"),
                         ENV["TESSMARK_VERSION"])
        self.assertTrue(component.findtext("screenshots/screenshot/image"))

    def test_icons(self):
        icons = os.path.join(self.share, "icons", "hicolor")
        svg = os.path.join(icons, "scalable", "apps", APP_ID + ".svg")
        ElementTree.parse(svg)
        for size in (48, 64, 128, 256):
            with self.subTest(size=size):
                png = os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")
                self.assertEqual(png_size(png), (size, size))

    def test_manual_pages(self):
        for page in ("tessmark.1.gz", "tessmark-sample-org.1.gz"):
            with self.subTest(page=page):
                path = os.path.join(self.man, "man1", page)
                result = subprocess.run(
                    ["man", "--warnings", "-l", path], capture_output=True, text=True,
                    env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING=""),
                    timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr, "")
                self.assertIn("NAME", result.stdout)
                self.assertIn("EXIT STATUS", result.stdout)
                # Every placeholder of the build was filled in.
                self.assertIsNone(re.search(r"@[A-Z_]+@", result.stdout))
        tessmark = subprocess.run(["man", "-l", os.path.join(self.man, "man1", "tessmark.1.gz")],
                                  capture_output=True, text=True, env=dict(
                                      os.environ, MANWIDTH="200", LC_ALL="C.UTF-8"),
                                  timeout=60).stdout
        # The page names the program folder the programs were installed to.
        self.assertIn(os.path.join(ENV["TESSMARK_PREFIX"], ENV["TESSMARK_PROGRAMDIR"]), tessmark)


if __name__ == "__main__":
    unittest.main()
