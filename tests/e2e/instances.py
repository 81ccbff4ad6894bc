"""Helpers for end-to-end tests of single-instance mode under Wine.

A second start of a single-instance launcher writes its argument text, a line feed, in
UTF-16LE without byte-order mark to "znd_p<pid>.tmp" in the running instance's temporary
directory (the one GetTempPath gives, that is TMP when it is set) and waits until the
running instance's Java side deletes it. These helpers play that Java side and read what
the launcher left in the registry.
"""
import glob
import os
import re
import subprocess
import time

from harness import WINE, to_unix, wine_env

PIDS_KEY = r"HKCU\SOFTWARE\orvane-labs\zendra\pids"
_HANDOVER = re.compile(r"^znd_p(\d+)\.tmp$", re.IGNORECASE)


def _unix_dir(directory):
    """A directory given as a Windows path of the test prefix (C:\\..., Z:\\...) or a Unix path."""
    if re.match(r"^[A-Za-z]:[\\/]", directory):
        return to_unix(directory)
    return directory


def handover_path(tmp_dir, pid):
    """The Unix path of the hand-over file for a running instance's process id."""
    return os.path.join(_unix_dir(tmp_dir), "znd_p%d.tmp" % pid)


def handover_files(tmp_dir):
    """The hand-over files (znd_p*.tmp) in a temporary directory, as Unix paths, sorted."""
    found = glob.glob(os.path.join(glob.escape(_unix_dir(tmp_dir)), "*"))
    return sorted(p for p in found if _HANDOVER.match(os.path.basename(p)))


def handover_pid(path):
    """The process id a hand-over file is named after."""
    match = _HANDOVER.match(os.path.basename(path))
    if not match:
        raise ValueError("not a hand-over file: %r" % path)
    return int(match.group(1))


def read_handover(path):
    """A hand-over file's content as text (UTF-16LE, no byte-order mark expected)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\xff\xfe":
        raise AssertionError("hand-over file starts with a byte-order mark: %r" % data[:16])
    if len(data) % 2:
        raise AssertionError("hand-over file has an odd length: %d bytes" % len(data))
    return data.decode("utf-16-le")


def take_handover(path):
    """Plays the running instance's Java side: reads the file and deletes it; returns the text."""
    text = read_handover(path)
    os.remove(path)
    return text


def wait_for_handover(tmp_dir, timeout=30.0, pid=None):
    """Waits until a hand-over file (for pid, when given) exists and is written; returns its
    Unix path, or None after the timeout. A file is taken as written once it is non-empty
    (the launcher writes it in one piece; an empty argument text still gives "\\n")."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        files = [handover_path(tmp_dir, pid)] if pid is not None else handover_files(tmp_dir)
        for path in files:
            try:
                if os.path.getsize(path) > 0:
                    return path
            except OSError:
                pass
        time.sleep(0.05)
    return None


def semaphore_name(exe_windows_path, global_scope=False, number=None):
    """The instance semaphore name a launcher at this Windows path takes (full path expected):
    scope prefix, the lower-cased path with backslashes and spaces as "_", and in
    multi-instance mode the instance number."""
    mangled = exe_windows_path.lower().replace("\\", "_").replace(" ", "_")
    name = ("Global\\" if global_scope else "Local\\") + mangled
    return name if number is None else name + str(number)


def registered_pid(exe_windows_path, env=None):
    """The process id registered for an executable (value name: its lower-cased full Windows
    path) under HKCU\\SOFTWARE\\orvane-labs\\zendra\\pids, or None when there is none."""
    proc = subprocess.run([WINE, "reg", "query", PIDS_KEY, "/v", exe_windows_path.lower()],
                          capture_output=True, env=wine_env(env), stdin=subprocess.DEVNULL, timeout=60)
    if proc.returncode != 0:
        return None
    for line in proc.stdout.decode("latin-1").splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[-2] == "REG_DWORD":
            return int(parts[-1], 16)
    return None
