"""Shared checks of an installed Tessmark (cmake --install into a temporary
folder, or the Debian package unpacked): the helpers in the program folder
load a sample org made by the installed tessmark-sample-org, and the wizard
starts."""

import os
import signal
import sqlite3
import struct
import subprocess
import tempfile
import time

# Helper name, the stem of its files, and the org's tables its records come from.
KINDS = [
    ("Velmora.SFAddrUtil.exe", "SFAddr", ("Contact", "Account", "Lead")),
    ("Velmora.SFDateUtil.exe", "SFDate", ("Event",)),
    ("Velmora.SFTaskUtil.exe", "SFTask", ("Task",)),
    ("Velmora.SFNoteUtil.exe", "SFNote", ("Note",)),
]
HELPER_NAMES = [k[0] for k in KINDS]

LOGIN = ("demo@example.com", "demo", "DEMOTOKEN")
PT_TEXT = 8


def write_params(path, entries):
    """Writes a parameter file: a uint32 entry count, then per entry int32
    tag, int32 type 8 and the text as int32 byte length and UTF-8 bytes."""
    data = struct.pack("<I", len(entries))
    for tag, text in entries:
        raw = text.encode("utf-8")
        data += struct.pack("<iii", tag, PT_TEXT, len(raw)) + raw
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(data)


def load_params(stem, data_folder, extra=()):
    """The tags the wizard writes for a load request, then extra ones."""
    user, password, token = LOGIN
    return [
        (1001, user), (1002, password), (1003, token), (1004, stem + ".dat"),
        (1005, data_folder), (1006, "1"), (1007, stem + "Err.dat"),
        (1008, stem + "Status.dat"), (1009, data_folder), (1010, ""), (1011, "3"),
        (1012, "1"),
    ] + list(extra)


def write_helper_settings(folder, org):
    path = os.path.join(folder, "Velmora.SFHelper.ini")
    with open(path, "w", encoding="utf-8") as f:
        f.write("[Helper]\nLocalOrg=%s\n" % org)
    return path


def make_sample_org(tool, path):
    """Runs the installed tessmark-sample-org: a small org with duplicates."""
    result = subprocess.run(
        [tool, "--out", path, "--contacts", "40", "--accounts", "10", "--leads", "10",
         "--events", "30", "--tasks", "30", "--notes", "20", "--dup-rate", "0.2"],
        capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError("tessmark-sample-org failed (%d): %s"
                             % (result.returncode, result.stderr))
    return path


def org_rows(org, tables):
    with sqlite3.connect(org) as db:
        return sum(db.execute('SELECT count(*) FROM "%s"' % t).fetchone()[0] for t in tables)


def error_count(path):
    """Error.Count of a helper's error file, or None when there is none."""
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            key, _, value = line.strip().partition("=")
            if key.lower() == "error.count":
                return int(value)
    return None


def run_load(test, helper, stem, tables, org, data_folder, extra=()):
    """Starts helper (a path) with a load request in data_folder and checks
    that the data file holds every record of the kind's tables in org."""
    os.makedirs(data_folder, mode=0o700, exist_ok=True)
    folder = data_folder.rstrip("/") + "/"
    param = os.path.join(folder, stem + "Param.dat")
    write_params(param, load_params(stem, folder, extra))
    result = subprocess.run([helper, param], cwd=os.path.dirname(helper),
                            capture_output=True, text=True, timeout=120)
    errors = os.path.join(folder, stem + "Err.dat")
    detail = "%s exited %d: %s" % (helper, result.returncode, result.stderr.strip())
    test.assertEqual(result.returncode, 0, detail)
    test.assertEqual(error_count(errors), 0, detail)
    test.assertFalse(os.path.exists(param), "the parameter file was left behind")
    with open(os.path.join(folder, stem + ".dat"), "rb") as f:
        (count,) = struct.unpack("<I", f.read(4))
    expected = org_rows(org, tables)
    test.assertGreater(expected, 0)
    test.assertEqual(count, expected, "%s: records in the data file" % helper)
    with open(os.path.join(folder, stem + "Status.dat"), encoding="utf-8") as f:
        test.assertIn("Loaded %d " % expected, f.read())


def check_helpers_load(test, program_folder, sample_org_tool, work):
    """Every helper name in program_folder loads the sample org, each told
    where it is in another of the ways a user can: the helpers' settings file
    in the data folder, the parameter file (the Connection dialog's local org),
    and the settings file in the program folder, with the helper started
    through a link from another folder (it finds its folder through the link).
    """
    org = make_sample_org(sample_org_tool, os.path.join(work, "sample-org.db"))
    elsewhere = os.path.join(work, "elsewhere")
    os.makedirs(elsewhere, exist_ok=True)
    ways = ["data folder settings", "parameter file", "program folder settings", "link"]
    for (name, stem, tables), way in zip(KINDS, ways):
        with test.subTest(helper=name, way=way):
            data = os.path.join(work, "data-" + stem)
            os.makedirs(data, mode=0o700, exist_ok=True)
            helper = os.path.join(program_folder, name)
            extra = ()
            program_ini = None
            if way == "data folder settings":
                write_helper_settings(data, org)
            elif way == "parameter file":
                extra = [(1013, "local"), (1014, org)]
            else:
                program_ini = write_helper_settings(program_folder, org)
                if way == "link":
                    link = os.path.join(elsewhere, name)
                    os.symlink(os.path.abspath(helper), link)
                    helper = link
            try:
                run_load(test, helper, stem, tables, org, data, extra)
            finally:
                if program_ini:
                    os.remove(program_ini)


def check_wizard_starts(test, command, work, timeout=30.0, settle=1.0):
    """Starts the wizard (command: a path, such as the link in bin/) on the
    offscreen platform with a data folder of its own, and checks that it makes
    its data folder and is still running a moment later."""
    home = os.path.join(work, "wizard-home")
    xdg = os.path.join(home, "share")
    data_folder = os.path.join(xdg, "velmora", "Tessmark")
    os.makedirs(xdg, exist_ok=True)
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=xdg, QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryFile() as err:
        proc = subprocess.Popen([command], cwd=home, env=env, stdout=subprocess.DEVNULL,
                                stderr=err)
        try:
            deadline = time.monotonic() + timeout
            while (time.monotonic() < deadline and proc.poll() is None
                   and not os.path.isdir(data_folder)):
                time.sleep(0.1)
            made = os.path.isdir(data_folder)
            if made:
                time.sleep(settle)
            code = proc.poll()
        finally:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        err.seek(0)
        stderr = err.read().decode("utf-8", "replace")
    test.assertTrue(made, "the wizard made no data folder: " + stderr)
    test.assertIsNone(code, "%s ended with %s: %s" % (command, code, stderr))
