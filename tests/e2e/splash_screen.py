"""The splash screen's end-to-end test support: packaging the splash probe or a launcher with
the test bitmap, running it step by step, and reading the virtual display (xwd screenshots,
compared with the configured geometry, the bitmap's colours and the text lines).

Screenshots are kept in <build>/tests/e2e/splash-screenshots.
"""

import json
import os
import re
import subprocess
import sys
import time

from harness import PACKAGER, LauncherTestCase, command, decode_trace, to_unix, to_windows, wine_env

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win"))
import make_bitmap  # noqa: E402  (tests/win: the test bitmap and its colours)

BUILD = os.path.dirname(os.path.dirname(os.path.dirname(os.environ.get("ZENDRA_APP_LAUNCHER", ""))))
PROBE = os.path.join(BUILD, "tests", "win", "splash_probe.exe")
RESOURCE_HELPER = os.environ.get("ZENDRA_RESOURCE_HELPER") or os.path.join(BUILD, "tools", "win", "zendra-rc.exe")
SPLASH_LIBRARY = os.path.join(BUILD, "tests", "win", "splashscreen.dll")
SHOTS = os.path.join(BUILD, "tests", "e2e", "splash-screenshots")

SCREEN = (1024, 768)
WIDTH, HEIGHT = 400, 300
ORIGIN = ((SCREEN[0] - WIDTH) // 2, (SCREEN[1] - HEIGHT) // 2)  # (312, 234)
TITLE = "Splash Test"
CAPTION = "Splash Error"
STATUS = {"at": (24, 236), "colour": (255, 255, 255), "points": 12}  # bottom-left (blue) quadrant
VERSION = {"at": (216, 16), "colour": (44, 0, 255), "points": 10}    # top-right (green) quadrant
SPLASH = {
    "applicationName": TITLE, "errorCaption": CAPTION, "launcherType": 1,
    "splashScreen": 1, "splashWidth": WIDTH, "splashHeight": HEIGHT,
    "statusText": "Loading", "statusX": STATUS["at"][0], "statusY": STATUS["at"][1],
    "statusFont": "Tahoma", "statusFontSize": STATUS["points"], "statusFontWeight": 700,
    "statusColor": "255,255,255",
    "versionText": "Version 2.5", "versionX": VERSION["at"][0], "versionY": VERSION["at"][1],
    "versionFont": "Tahoma", "versionFontSize": VERSION["points"], "versionFontWeight": 400,
    "versionColor": "300,0,255",  # 300 keeps its low 8 bits: red 44
}
TEXT_BAND = 32      # rows below a line's y that its text may cover
TEXT_TOLERANCE = 40  # how far (per channel) an anti-aliased text pixel may be from its colour
WAIT = 10.0
# A hide asked for by a poll comes within one 100 ms period (measured here: 0 to 101 ms); the
# rest is slack for a busy machine.
# (The X window itself goes later: Wine without a window manager waits 2 s for an unmapped
# window that was active to be withdrawn.)
POLL_LIMIT_MS = 800


class Shot:
    """A screenshot: the root window as RGB rows (from xwd through xwdtopnm)."""

    def __init__(self, ppm):
        fields, at = [], 0
        while len(fields) < 4:  # magic, width, height, maxval; comments skipped
            match = re.compile(rb"\s*(#[^\n]*\n|\S+)").match(ppm, at)
            at = match.end()
            if not match.group(1).startswith(b"#"):
                fields.append(match.group(1))
        assert fields[0] == b"P6" and fields[3] in (b"255", b"65535"), fields
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[at + 1:]
        if fields[3] == b"65535":  # two bytes a sample, most significant first: keep the high byte
            self.data = self.data[::2]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def near(self, x, y, colour, tolerance=TEXT_TOLERANCE):
        return all(abs(a - b) <= tolerance for a, b in zip(self.pixel(x, y), colour))

    def matching(self, left, top, right, bottom, colour):
        """The pixels of a rectangle (screen coordinates, right and bottom excluded) near colour."""
        return [(x, y) for y in range(top, bottom) for x in range(left, right) if self.near(x, y, colour)]


def expected_bitmap(x, y):
    """The bitmap's colour at window point (x, y)."""
    return make_bitmap.colour_at(x, y, WIDTH, HEIGHT)


class SplashTestCase(LauncherTestCase):
    """Packages the probe with the test bitmap and runs it step by step."""

    def setUp(self):
        super().setUp()
        for program in (PROBE, RESOURCE_HELPER, SPLASH_LIBRARY):
            self.assertTrue(os.path.isfile(program), "%s is missing (build the win64 tree)" % program)
        os.makedirs(SHOTS, exist_ok=True)
        geometry = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split()
        self.assertEqual(tuple(map(int, geometry)), SCREEN, "the tests need a %dx%d display" % SCREEN)
        self.bmp = self.path("splash.bmp")
        with open(self.bmp, "wb") as f:
            f.write(make_bitmap.bmp_bytes(WIDTH, HEIGHT))
        self.jvm_record = self.path("jvm-record.txt")

    # -- packaging and running ------------------------------------------------------------

    def package_probe(self, strings=None, resources=None, name="app.exe", base=PROBE):
        """The probe (or another base) packaged with the splash record plus strings and the
        resources (default: the test bitmap as splashBitmap)."""
        values = dict(SPLASH)
        values.update(strings or {})
        description = {"strings": values, "resources": {"splashBitmap": "splash.bmp"} if resources is None
                       else resources}
        path = self.path(name + ".json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(description, f)
        exe = self.path(name)
        # Output to a file, not a pipe: the packaging tool runs a Wine process, which may hand
        # its handles on to the prefix's service processes, which outlive it.
        with open(self.path("pack.err"), "wb") as err:
            proc = subprocess.run([PACKAGER, "--resource-helper", RESOURCE_HELPER, base, path, exe], stdout=err,
                                  stderr=err, env=wine_env(), stdin=subprocess.DEVNULL, timeout=120)
        self.assertEqual(proc.returncode, 0, self.read("pack.err"))
        return exe

    def start(self, exe, steps, scenario=None, env=None, probe=True):
        """Starts the probe with its steps (and printlog), or a launcher with arguments; output
        goes to files, read by finish()."""
        steps = list(steps) + (["printlog"] if probe else [])
        extra = {"ZENDRA_JVM_DOUBLE_RECORD": to_windows(self.jvm_record), "WINEDEBUG": "-all,+msgbox"}
        if probe:
            extra["ZENDRA_LOG"] = "yes"  # finish() reads and removes the log
        if scenario is not None:
            extra["ZENDRA_JVM_DOUBLE_SCENARIO"] = scenario
        extra.update(env or {})
        self.out = open(self.path("probe.out"), "wb")
        self.err = open(self.path("probe.err"), "wb")
        self.proc = subprocess.Popen(command(exe, steps), env=wine_env(extra), cwd=self.dir,
                                     stdin=subprocess.DEVNULL, stdout=self.out, stderr=self.err)
        self.addCleanup(self._stop)

    def _stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.out.close()
        self.err.close()

    def finish(self, timeout=60):
        """Waits for the probe's end; returns its exit code and its diagnostic log, named by a
        printlog step or by an error box's text."""
        code = self.proc.wait(timeout=timeout)
        named = self.read("probe.out").strip().splitlines() or self.box_log_paths()
        self.assertTrue(named, "the probe named no log")
        path = to_unix(named[-1].strip())
        with open(path, "rb") as f:
            log = f.read().decode("latin-1").replace("\r\n", "\n")
        os.remove(path)
        return code, log

    def box_log_paths(self):
        """The log paths named by the texts of the message boxes shown (Wine's trace)."""
        texts = [decode_trace(m.group(1)) for m in re.finditer(r'trace:msgbox:MSGBOX_OnInit L"(.*)"\s*$',
                                                                self.read("probe.err"), re.M)]
        return [text.split("Log: ", 1)[1] for text in texts if "Log: " in text]

    def step(self, name):
        """Lets an await=NAME step of the probe go on."""
        open(self.path(name), "w").close()

    def wait_box(self):
        """The X window id of the error box (found by its caption) once it is shown."""
        deadline = time.monotonic() + 30
        while True:
            boxes = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % CAPTION],
                                   capture_output=True, text=True).stdout.split()
            if boxes:
                return boxes[-1]
            self.assertIsNone(self.proc.poll(), "the program ended without a box: %s" % self.read("probe.err"))
            self.assertLess(time.monotonic(), deadline, "no error box")
            time.sleep(0.1)

    def assert_box_outlives_the_splash(self, box):
        """The splash is gone when the box shows, and the box stays after the splash thread ended."""
        self.assertIsNone(self.splash_window(), "the splash is still up beside the error box")
        time.sleep(1.0)  # several polls: the splash thread has ended, its window with it
        self.assert_no_splash_colours(self.screenshot("error-box"))
        self.assertIsNone(self.proc.poll(), "the box went away by itself")
        subprocess.run(["xdotool", "key", "--window", box, "Escape"], capture_output=True)

    def wait_file(self, name):
        deadline = time.monotonic() + WAIT
        while not os.path.exists(self.path(name)):
            self.assertIsNone(self.proc.poll(), "the probe ended early: %s" % self.read("probe.err"))
            self.assertLess(time.monotonic(), deadline, "no %s from the probe" % name)
            time.sleep(0.05)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read().decode("latin-1")

    def marks(self, *names):
        """Step words that create marker files in the scratch directory."""
        return [to_windows(self.path(name)) for name in names]

    # -- the display ----------------------------------------------------------------------

    def splash_window(self):
        """The X window id of the visible splash window, or None."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % TITLE],
                               capture_output=True, text=True).stdout.split()
        return found[-1] if found else None

    def wait_splash(self, visible=True, timeout=WAIT):
        """Waits until the splash window is (in)visible; returns the seconds it took."""
        start = time.monotonic()
        while (self.splash_window() is not None) != visible:
            self.assertLess(time.monotonic() - start, timeout, "splash window %s" % ("never shown" if visible
                                                                                      else "still shown"))
            time.sleep(0.05)
        return time.monotonic() - start

    def screenshot(self, label):
        """The screen now; also kept as <test>-<label>.png among the test artefacts."""
        xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
        ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
        png = subprocess.run(["pnmtopng"], input=ppm, capture_output=True, check=True).stdout
        with open(os.path.join(SHOTS, "%s-%s.png" % (self._testMethodName, label)), "wb") as f:
            f.write(png)
        return Shot(ppm)

    def painted_shot(self, label):
        """A screenshot once the splash shows its bitmap."""
        deadline = time.monotonic() + WAIT
        probe = (ORIGIN[0] + 4, ORIGIN[1] + 4)
        while True:
            shot = self.screenshot(label)
            if shot.pixel(*probe) == expected_bitmap(4, 4) or time.monotonic() > deadline:
                return shot
            time.sleep(0.1)

    def geometry(self, window):
        text = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True,
                              text=True).stdout
        values = dict(line.split("=", 1) for line in text.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def text_pixels(self, shot, line):
        """The pixels near a line's colour in the band of the window where it is drawn."""
        x, y = line["at"]
        return shot.matching(ORIGIN[0] + x - 4, ORIGIN[1] + y - 4, ORIGIN[0] + WIDTH, ORIGIN[1] + y + TEXT_BAND,
                             line["colour"])

    def assert_text_line(self, shot, line):
        """Text of the line's colour starts at its place and is about as high as its font."""
        pixels = self.text_pixels(shot, line)
        self.assertGreater(len(pixels), 30, "no text of colour %s near %s" % (line["colour"], line["at"]))
        left = min(x for x, _ in pixels) - ORIGIN[0]
        top = min(y for _, y in pixels) - ORIGIN[1]
        bottom = max(y for _, y in pixels) - ORIGIN[1]
        x, y = line["at"]
        self.assertTrue(x <= left <= x + 6, "text starts at x=%d, expected about %d" % (left, x))
        self.assertTrue(y <= top <= y + 8, "text starts at y=%d, expected about %d" % (top, y))
        height = round(line["points"] * 96 / 72)  # the font's character height at 96 dpi
        self.assertTrue(height // 2 <= bottom - top + 1 <= height + 2, "text %d pixels high" % (bottom - top + 1))

    def assert_bitmap(self, shot):
        """Every fourth pixel of the window outside the text bands shows the bitmap exactly,
        and the window ends where the configured size says."""
        bands = [range(line["at"][1] - 4, line["at"][1] + TEXT_BAND) for line in (STATUS, VERSION)]
        wrong = []
        for y in range(0, HEIGHT, 4):
            if any(y in band for band in bands):
                continue
            for x in range(0, WIDTH, 4):
                if shot.pixel(ORIGIN[0] + x, ORIGIN[1] + y) != expected_bitmap(x, y):
                    wrong.append((x, y, shot.pixel(ORIGIN[0] + x, ORIGIN[1] + y)))
        self.assertEqual(wrong[:10], [], "%d pixels differ from the bitmap" % len(wrong))
        for x, y in ((WIDTH - 1, 0), (0, HEIGHT - 1), (WIDTH - 1, HEIGHT - 1), (WIDTH // 2, HEIGHT // 2)):
            self.assertEqual(shot.pixel(ORIGIN[0] + x, ORIGIN[1] + y), expected_bitmap(x, y), (x, y))
        colours = set(make_bitmap.QUADRANTS)
        for x, y in ((-1, 0), (0, -1), (WIDTH, 0), (0, HEIGHT), (WIDTH, HEIGHT - 1), (WIDTH - 1, HEIGHT)):
            self.assertNotIn(shot.pixel(ORIGIN[0] + x, ORIGIN[1] + y), colours, "window larger than configured")

    def assert_no_splash_colours(self, shot):
        """No bitmap colour is left where the splash window was."""
        colours = set(make_bitmap.QUADRANTS)
        seen = [(x, y) for y in range(0, HEIGHT, 8) for x in range(0, WIDTH, 8)
                if shot.pixel(ORIGIN[0] + x, ORIGIN[1] + y) in colours]
        self.assertLess(len(seen), 20, "the splash is still on the screen")
