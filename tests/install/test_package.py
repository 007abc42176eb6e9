"""The Debian package: built by scripts/package in a Release build folder of
its own, its file list and control fields, its dependencies accepted by apt
(simulated: nothing is installed), and its contents unpacked into a temporary
folder, from where the helpers load a sample org and the wizard starts.

Environment: TESSMARK_SOURCE_DIR, TESSMARK_PACKAGE_BUILD_DIR (kept between
runs, so a second run builds only what changed), TESSMARK_APP_ID,
TESSMARK_VERSION."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import installcheck  # noqa: E402

ENV = os.environ
APP_ID = ENV.get("TESSMARK_APP_ID", "")

PROGRAMS = "./usr/lib/tessmark/"
EXPECTED_FILES = {
    "./usr/bin/tessmark-sample-org",
    PROGRAMS + "tessmark",
    PROGRAMS + "tessmark-help.html",
    PROGRAMS + "Velmora.SFAddrUtil.exe",
    "./usr/share/applications/%s.desktop" % APP_ID,
    "./usr/share/metainfo/%s.metainfo.xml" % APP_ID,
    "./usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
    "./usr/share/man/man1/tessmark.1.gz",
    "./usr/share/man/man1/tessmark-sample-org.1.gz",
} | {"./usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, APP_ID) for s in (48, 64, 128, 256)}
EXPECTED_LINKS = {
    "./usr/bin/tessmark": "../lib/tessmark/tessmark",
    PROGRAMS + "Velmora.SFDateUtil.exe": "Velmora.SFAddrUtil.exe",
    PROGRAMS + "Velmora.SFTaskUtil.exe": "Velmora.SFAddrUtil.exe",
    PROGRAMS + "Velmora.SFNoteUtil.exe": "Velmora.SFAddrUtil.exe",
}
EXECUTABLES = {"./usr/bin/tessmark-sample-org", PROGRAMS + "tessmark",
               PROGRAMS + "Velmora.SFAddrUtil.exe"}
# Libraries the programs link; dpkg-shlibdeps must have named their packages.
EXPECTED_DEPENDS = ["libc6", "libstdc++6", "libqt6widgets6", "libqt6svg6", "libsqlite3-0",
                    "libcurl4", "libsecret-1-0", "libmicrohttpd12", "libssl3"]


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True,
                          env=dict(os.environ, LC_ALL="C.UTF-8"), **kwargs)


def parse_listing(text):
    """dpkg-deb -c lines: mode, owner, size, date, time, path [-> target]."""
    entries = {}
    for line in text.splitlines():
        fields = line.split(None, 5)
        if len(fields) < 6:
            continue
        mode, owner, path = fields[0], fields[1], fields[5]
        target = None
        if mode.startswith("l"):
            path, _, target = path.partition(" -> ")
        entries[path] = (mode, owner, target)
    return entries


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build = ENV["TESSMARK_PACKAGE_BUILD_DIR"]
        os.makedirs(build, exist_ok=True)
        log = os.path.join(build, "package.log")
        with open(log, "w") as out:
            result = subprocess.run(
                [os.path.join(ENV["TESSMARK_SOURCE_DIR"], "scripts", "package"),
                 "--no-install-deps", build], stdout=subprocess.PIPE, stderr=out, text=True)
        if result.returncode != 0:
            with open(log) as f:
                raise AssertionError("scripts/package failed:\n" + f.read()[-6000:])
        cls.deb = result.stdout.strip().splitlines()[-1]
        cls.work = tempfile.mkdtemp(prefix="tessmark-package-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_file_list(self):
        listing = run(["dpkg-deb", "-c", self.deb])
        self.assertEqual(listing.returncode, 0, listing.stderr)
        entries = parse_listing(listing.stdout)
        files = {p for p, (mode, _, _) in entries.items() if mode[0] == "-"}
        links = {p: t for p, (mode, _, t) in entries.items() if mode[0] == "l"}
        # Exactly the programs and the desktop files: no tests, no tools.
        self.assertEqual(files, EXPECTED_FILES)
        self.assertEqual(links, EXPECTED_LINKS)
        for path, (mode, owner, _) in entries.items():
            with self.subTest(path=path):
                self.assertEqual(owner, "root/root")
                if path in EXECUTABLES:
                    self.assertEqual(mode, "-rwxr-xr-x")
                elif mode[0] == "-":
                    self.assertEqual(mode, "-rw-r--r--")

    def test_control_fields(self):
        def field(name):
            result = run(["dpkg-deb", "-f", self.deb, name])
            self.assertEqual(result.returncode, 0, result.stderr)
            return result.stdout.strip()

        self.assertEqual(field("Package"), "tessmark")
        self.assertTrue(field("Version").startswith(ENV["TESSMARK_VERSION"]), field("Version"))
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(field("Architecture"), arch)
        self.assertTrue(field("Maintainer"))
        self.assertTrue(field("Description"))
        depends = [d.strip().split()[0] for d in field("Depends").split(",")]
        for package in EXPECTED_DEPENDS:
            self.assertIn(package, depends)

    def test_apt_accepts_its_dependencies(self):
        # A simulation: apt resolves the package against this system and its
        # package lists and changes nothing.
        result = run(["apt-get", "install", "--simulate", "-q", os.path.abspath(self.deb)],
                     timeout=300)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("Inst tessmark ", result.stdout)

    def unpack(self, name):
        root = os.path.join(self.work, name)
        result = run(["dpkg-deb", "-x", self.deb, root])
        self.assertEqual(result.returncode, 0, result.stderr)
        return root

    def test_unpacked_helpers_load_a_sample_org(self):
        root = self.unpack("helpers")
        work = os.path.join(self.work, "helpers-work")
        os.makedirs(work)
        installcheck.check_helpers_load(self, os.path.join(root, "usr/lib/tessmark"),
                                        os.path.join(root, "usr/bin/tessmark-sample-org"), work)

    def test_unpacked_wizard_starts(self):
        root = self.unpack("wizard")
        work = os.path.join(self.work, "wizard-work")
        os.makedirs(work)
        installcheck.check_wizard_starts(self, os.path.join(root, "usr/bin/tessmark"), work)


if __name__ == "__main__":
    unittest.main()
