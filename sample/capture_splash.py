"""Runs a packaged launcher and saves a screenshot of the display once its splash is painted.

    capture_splash.py [--go FILE] TITLE BITMAP.bmp OUT.png OUTPUT.txt COMMAND...

Needs an X display (the main job runs it inside xvfb-run), xdotool, xwd and netpbm. Starts
COMMAND (its standard output and error go to OUTPUT.txt), waits for a visible top-level
window named TITLE of the bitmap's size, then takes screenshots until the window shows the
bitmap (a grid of its pixels, away from where text lines may be drawn) and keeps that one as
OUT.png. Then it creates FILE, when one is named (a go-ahead the program may wait for), waits
for COMMAND to end and prints its exit code.

Exit code 0 with the screenshot saved; 1 when no painted window appeared in time or COMMAND
did not end.
"""
import argparse
import struct
import subprocess
import sys
import time

WINDOW_TIMEOUT_S = 30.0
PAINT_TIMEOUT_S = 10.0
RUN_TIMEOUT_S = 60.0
TOLERANCE = 8  # per channel, between the bitmap's pixels and the screen's


class Bitmap:
    """An uncompressed 24-bit BMP file's pixels."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        offset, = struct.unpack_from("<I", data, 10)
        self.width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
        if data[:2] != b"BM" or bits != 24 or compression != 0:
            raise SystemExit("%s: not an uncompressed 24-bit bitmap" % path)
        self.height = abs(height)
        self.bottom_up = height > 0
        self.data, self.offset = data, offset
        self.row = (self.width * 3 + 3) // 4 * 4

    def pixel(self, x, y):
        row = self.height - 1 - y if self.bottom_up else y
        at = self.offset + row * self.row + x * 3
        b, g, r = self.data[at:at + 3]
        return r, g, b

    def probes(self):
        """Points of the upper half, where the launcher draws no text in the sample."""
        return [(x * self.width // 8, y * self.height // 8) for x in range(1, 8) for y in range(1, 4)]


class Shot:
    """A screenshot of the whole display (xwd through xwdtopnm) as PPM bytes."""

    def __init__(self):
        xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
        self.ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
        fields, at = [], 0
        while len(fields) < 4:  # P6, width, height, maxval
            while self.ppm[at:at + 1].isspace():
                at += 1
            end = at
            while not self.ppm[end:end + 1].isspace():
                end += 1
            fields.append(self.ppm[at:end])
            at = end
        self.width = int(fields[1])
        self.sample = 2 if int(fields[3]) > 255 else 1
        self.start = at + 1

    def pixel(self, x, y):
        i = self.start + (y * self.width + x) * 3 * self.sample
        return tuple(self.ppm[i + c * self.sample] for c in range(3))  # the high byte of 16-bit samples

    def shows(self, bitmap, left, top):
        return all(all(abs(a - b) <= TOLERANCE for a, b in zip(self.pixel(left + x, top + y), bitmap.pixel(x, y)))
                   for x, y in bitmap.probes())

    def save_png(self, path):
        png = subprocess.run(["pnmtopng"], input=self.ppm, capture_output=True, check=True).stdout
        with open(path, "wb") as f:
            f.write(png)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout


def find_window(title, bitmap):
    """(left, top) of the visible window named title with the bitmap's size, or None."""
    for window in xdotool("search", "--onlyvisible", "--name", "^%s$" % title).split():
        values = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", window).split())
        if (int(values.get("WIDTH", -1)), int(values.get("HEIGHT", -1))) == (bitmap.width, bitmap.height):
            return int(values["X"]), int(values["Y"])
    return None


def wait_for(what, timeout, proc, check):
    """check()'s first true value within timeout seconds while proc runs; None otherwise."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and proc.poll() is None:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    if proc.poll() is None:
        print("capture: waited %.0f s in vain until %s" % (timeout, what), file=sys.stderr)
    else:
        print("capture: the program ended (exit code %d) before %s" % (proc.returncode, what), file=sys.stderr)
    return None


def capture(title, bitmap, out, proc):
    """True once the painted splash window is saved as out."""
    place = wait_for("a visible window %r appeared" % title, WINDOW_TIMEOUT_S, proc, lambda: find_window(title, bitmap))
    if place is None:
        return False

    def painted():
        shot = Shot()
        return shot if shot.shows(bitmap, *place) else None
    shot = wait_for("the window showed its bitmap", PAINT_TIMEOUT_S, proc, painted)
    if shot is None:
        return False
    shot.save_png(out)
    return True


def main(argv):
    parser = argparse.ArgumentParser(description="Saves a screenshot of a program's splash window.")
    parser.add_argument("--go", help="a file to create once the screenshot is taken")
    parser.add_argument("title")
    parser.add_argument("bitmap")
    parser.add_argument("out")
    parser.add_argument("output")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args(argv[1:])
    if not args.command:
        parser.error("no command to run")
    bitmap = Bitmap(args.bitmap)
    with open(args.output, "wb") as sink:
        proc = subprocess.Popen(args.command, stdin=subprocess.DEVNULL, stdout=sink, stderr=sink)
    try:
        taken = capture(args.title, bitmap, args.out, proc)
        if args.go:
            open(args.go, "w").close()
        code = proc.wait(timeout=RUN_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        print("capture: the program did not end within %.0f s" % RUN_TIMEOUT_S, file=sys.stderr)
        return 1
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    print("   the launcher ended with exit code %d" % code)
    return 0 if taken else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
