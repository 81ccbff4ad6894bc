"""Helpers for end-to-end tests of the real launchers under Wine.

Launchers are packaged with the packaging tool (never hand-assembled), run with wine64 in
the test prefix, and message boxes are found with xdotool, read through Wine's message-box
trace and dismissed with a key press, so no test can hang on a dialog.
"""
import json
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

WINE = "/usr/lib/wine/wine64"
PACKAGER = os.environ.get("ZENDRA_PACKAGER", "")
LAUNCHERS = {
    "app": os.environ.get("ZENDRA_APP_LAUNCHER", ""),
    "service": os.environ.get("ZENDRA_SERVICE_LAUNCHER", ""),
    "setup": os.environ.get("ZENDRA_SETUP_LAUNCHER", ""),
}
BOX_TIMEOUT = 30.0
RUN_TIMEOUT = 60.0

_TRACE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"(.*)"\s*$')
# Control sequences of a terminal: CSI (ESC [ ... letter) and OSC (ESC ] ... BEL).
_CONTROL = re.compile(rb"\x1b\[([0-9;?]*)([A-Za-z])|\x1b\][^\x07]*\x07")


def command(exe, args, win_env=None):
    """The wine64 command line for an exe. Wine sets TMP and TEMP from its own registry, so
    variables in win_env (values without spaces) are set by cmd.exe right before the start."""
    if not win_env:
        return [WINE, exe, *args]
    sets = []
    for name, value in win_env.items():
        sets += ["set", "%s=%s&&" % (name, value)]
    return [WINE, "cmd", "/c", *sets, to_windows(exe), *args]


def terminal_text(data):
    """What a terminal shows of Wine's console output, as text: a cursor move to the right
    becomes that many spaces; other control sequences and carriage returns are dropped."""
    def plain(match):
        if match.group(2) == b"C":
            return b" " * int(match.group(1) or b"1")
        return b""
    return _CONTROL.sub(plain, data).decode("latin-1").replace("\r", "")


def _text(data):
    """Program output as text: standard streams are in text mode, so CR LF ends each line."""
    return data.decode("latin-1").replace("\r\n", "\n")


class Result:
    """What one launcher run produced."""

    def __init__(self, code, stdout, stderr, boxes=None):
        self.code = code
        self.stdout = stdout
        self.stderr = stderr
        self.boxes = boxes or []

    def __repr__(self):
        return f"Result(code={self.code}, stderr={self.stderr!r}, boxes={self.boxes!r})"


class Box:
    """A message box seen on the display: its caption and its text."""

    def __init__(self, caption, text):
        self.caption = caption
        self.text = text

    def __repr__(self):
        return f"Box({self.caption!r}, {self.text!r})"


def wine_prefix():
    """The prefix the Wine fixture runs: $WINEPREFIX, else $ZENDRA_WINEPREFIX."""
    return os.environ.get("WINEPREFIX") or os.environ.get("ZENDRA_WINEPREFIX") or os.path.expanduser("~/.zendra-wine")


def wine_env(extra=None):
    """The environment for a Wine run: quiet, with the test prefix, plus extra variables."""
    env = dict(os.environ)
    env["WINEPREFIX"] = wine_prefix()
    env.setdefault("WINEDEBUG", "-all")
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    for key in ("ZENDRA_LOG", "QUILLON_LOG"):
        env.pop(key, None)
    env.update(extra or {})
    return env


def to_windows(path):
    """The Windows form Wine gives a Unix path (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def to_unix(winpath):
    """The Unix path of a Windows path in the test prefix (drives C: and Z:)."""
    drive, rest = winpath[0].lower(), winpath[2:].replace("\\", "/")
    if drive == "z":
        return rest
    prefix = wine_prefix()
    return os.path.join(prefix, "drive_" + drive) + rest


def decode_trace(text):
    """Undoes the escaping of Wine's debug strings."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n == "n":
            out.append("\n")
        elif n == "r":
            out.append("\r")
        elif n == "t":
            out.append("\t")
        elif n == "x" or n == "u":
            out.append(chr(int(text[i + 2:i + 6], 16)))
            i += 4
        else:
            out.append(n)
        i += 2
    return "".join(out)


class LauncherTestCase(unittest.TestCase):
    """Base class: a scratch directory per test and packaging/running helpers."""

    def setUp(self):
        if not PACKAGER or not os.path.exists(PACKAGER):
            self.fail(f"packaging tool not found: {PACKAGER!r}")
        self.dir = tempfile.mkdtemp(prefix="zendra-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def package(self, kind, description, name="launcher.exe", subdir=""):
        """Packages the launcher of the kind with a description dict; returns the exe path."""
        target_dir = self.path(subdir) if subdir else self.dir
        os.makedirs(target_dir, exist_ok=True)
        desc = self.path(name + ".json")
        with open(desc, "w", encoding="utf-8") as f:
            json.dump(description, f, ensure_ascii=False)
        exe = os.path.join(target_dir, name)
        proc = subprocess.run([PACKAGER, LAUNCHERS[kind], desc, exe], capture_output=True, text=True)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return exe

    def bare(self, kind, name="bare.exe", trailing=b""):
        """A copy of the launcher with nothing (or the given bytes) appended."""
        exe = self.path(name)
        shutil.copyfile(LAUNCHERS[kind], exe)
        with open(exe, "ab") as f:
            f.write(trailing)
        return exe

    def run_exe(self, exe, args=(), env=None, cwd=None, timeout=RUN_TIMEOUT, win_env=None):
        """Runs an exe that shows no message box; fails the test if it does not end in time."""
        proc = subprocess.run(command(exe, args, win_env), capture_output=True, env=wine_env(env), cwd=cwd or self.dir,
                              timeout=timeout, stdin=subprocess.DEVNULL)
        return Result(proc.returncode, _text(proc.stdout), _text(proc.stderr))

    def run_with_boxes(self, exe, args=(), env=None, keys=("Return",), cwd=None, win_env=None):
        """Runs an exe that shows message boxes; answers the n-th box with keys[n]."""
        extra = dict(env or {})
        extra["WINEDEBUG"] = "-all,+msgbox"
        errpath = self.path("stderr-%d.txt" % time.monotonic_ns())
        with open(errpath, "wb") as err:
            proc = subprocess.Popen(command(exe, args, win_env), stdout=subprocess.PIPE, stderr=err, env=wine_env(extra),
                                    cwd=cwd or self.dir, stdin=subprocess.DEVNULL)
            boxes = []
            try:
                for key in keys:
                    window = self._wait_for_box(proc, os.path.basename(exe).lower())
                    if window is None:
                        break
                    caption = subprocess.run(["xdotool", "getwindowname", window], capture_output=True,
                                             text=True).stdout.rstrip("\n")
                    boxes.append(Box(caption, None))
                    subprocess.run(["xdotool", "key", "--window", window, key], capture_output=True)
                    self._wait_gone(window)
                stdout, _ = proc.communicate(timeout=RUN_TIMEOUT)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
        with open(errpath, "rb") as f:
            stderr = f.read().decode("latin-1")
        texts = [decode_trace(m.group(1)) for m in map(_TRACE.search, stderr.splitlines()) if m]
        for box, text in zip(boxes, texts):
            box.text = text
        plain = "\n".join(line for line in stderr.splitlines() if "trace:msgbox" not in line and "fixme:" not in line)
        return Result(proc.returncode, _text(stdout), plain.replace("\r\n", "\n"), boxes)

    def run_in_terminal(self, args, env=None, timeout=RUN_TIMEOUT):
        """Runs wine64 with args in a pseudo terminal that is its standard input, output and
        error, as a user's console window would be; returns (exit code, terminal text)."""
        master, slave = pty.openpty()
        proc = subprocess.Popen([WINE, *args], stdin=slave, stdout=slave, stderr=slave, env=wine_env(env),
                                cwd=self.dir, start_new_session=True)
        os.close(slave)
        shown = bytearray()
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                if not select.select([master], [], [], 0.2)[0]:
                    if proc.poll() is not None:
                        break
                    continue
                try:
                    data = os.read(master, 4096)
                except OSError:  # every holder of the terminal has closed it
                    break
                if not data:
                    break
                shown += data
            code = proc.wait(timeout=max(0.1, deadline - time.monotonic()))
        finally:
            os.close(master)
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        return code, terminal_text(bytes(shown))

    def _wait_for_box(self, proc, classname):
        window = wait_for_window(proc, "^%s$" % re.escape(classname), "--classname")
        if window is None and proc.poll() is None:
            self.fail("no message box appeared within %.0f s" % BOX_TIMEOUT)
        return window

    def _wait_gone(self, window):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            alive = subprocess.run(["xdotool", "getwindowname", window], capture_output=True).returncode == 0
            if not alive:
                return
            time.sleep(0.05)

    def logs_in(self, directory):
        """The diagnostic log files in a directory."""
        return sorted(f for f in os.listdir(directory) if f.startswith("qln_nlog"))

    def windows_path(self, *parts):
        """The Windows form of a path inside the scratch directory."""
        return to_windows(self.path(*parts))

    def log_path(self, result):
        """The Unix path of the log named in an error text ("Log: ..."), or None."""
        for line in reversed(result.stderr.splitlines()):
            if line.startswith("Log: "):
                return to_unix(line[5:].strip())
        return None

    def read_log(self, result, raw=False):
        """The text of the log named in the error text; CR LF kept when raw."""
        path = self.log_path(result)
        self.assertIsNotNone(path, "no log path in %r" % result.stderr)
        with open(path, "rb") as f:
            data = f.read().decode("latin-1")
        return data if raw else data.replace("\r\n", "\n")


def wait_for_window(proc, pattern, by="--name", timeout=BOX_TIMEOUT):
    """The X id of a visible window whose title (by="--classname": class name) matches the
    pattern, waiting for it; None when proc ends first or the time runs out."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", by, pattern], capture_output=True,
                               text=True).stdout.split()
        if found:
            return found[-1]
        if proc.poll() is not None:
            return None
        time.sleep(0.1)
    return None


def save_screenshot(path, window=None):
    """Saves the screen, or one X window by its id, as a PNG at path; returns path."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    source = ["-id", window] if window else ["-root"]
    xwd = subprocess.run(["xwd", *source, "-silent"], capture_output=True, check=True).stdout
    ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
    with open(path, "wb") as f:
        f.write(subprocess.run(["pnmtopng"], input=ppm, capture_output=True, check=True).stdout)
    return path


def reg(*args):
    """Runs wine's reg tool in the test prefix; returns its output (fails on error)."""
    proc = subprocess.run([WINE, "reg", *args], capture_output=True, env=wine_env(), stdin=subprocess.DEVNULL,
                          timeout=RUN_TIMEOUT)
    if proc.returncode != 0:
        raise AssertionError("reg %s failed: %s" % (" ".join(args), proc.stdout + proc.stderr))
    return proc.stdout.decode("latin-1")


def reg_delete(key):
    """Deletes a registry key and its sub-keys when it exists."""
    subprocess.run([WINE, "reg", "delete", key, "/f"], capture_output=True, env=wine_env(), stdin=subprocess.DEVNULL,
                   timeout=RUN_TIMEOUT)
