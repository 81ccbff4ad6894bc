"""Resources added by the packaging tool (through its Windows helper, run under Wine): what
they hold, how the launcher's own resources and its record survive, signing afterwards,
and what Windows' own loaders make of them."""
import json
import os
import re
import shutil
import struct
import subprocess
import time
import unittest
import zlib

from harness import LAUNCHERS, PACKAGER, WINE, LauncherTestCase, wine_env

HERE = os.path.dirname(os.path.abspath(__file__))
PROBE_SOURCE = os.path.join(HERE, "..", "tools", "win", "resource_probe.c")
MINGW_GCC = shutil.which("x86_64-w64-mingw32-gcc-win32")


def helper_path():
    """The resource helper: $ZENDRA_RESOURCE_HELPER, else tools/win of the launchers' build tree."""
    if os.environ.get("ZENDRA_RESOURCE_HELPER"):
        return os.environ["ZENDRA_RESOURCE_HELPER"]
    tree = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(LAUNCHERS["app"]))))
    return os.path.join(tree, "tools", "win", "zendra-rc.exe")


def bmp24(width, height):
    """A 24-bit bottom-up BMP (rows padded to four bytes)."""
    stride = (width * 3 + 3) & ~3
    rows = b"".join(b"".join(bytes((x * 30 % 256, y * 40 % 256, (x + y) * 20 % 256)) for x in range(width))
                    + b"\0" * (stride - width * 3) for y in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + info + rows


def png(width, height):
    """An RGBA PNG."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + b"".join(bytes((x * 20 % 256, y * 30 % 256, 128, 255)) for x in range(width))
                   for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def dib_icon(size):
    """An icon image in DIB form: 32-bit colour rows, then the AND mask (double height)."""
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((x * 9 % 256, y * 9 % 256, 200, 255)) for y in range(size) for x in range(size))
    return info + colour + b"\0" * (((size + 31) // 32) * 4 * size)


def ico(images):
    """An .ico file of (size, data) images, each 32 bits per pixel."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset, body = 6 + 16 * len(images), b""
    for size, data in images:
        head += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset + len(body))
        body += data
    return head + body


def group_of(ico_bytes, ids):
    """The RT_GROUP_ICON data Windows expects for an .ico file whose images got these ids."""
    count = struct.unpack_from("<H", ico_bytes, 4)[0]
    out = ico_bytes[:6]
    for i in range(count):
        out += ico_bytes[6 + 16 * i:6 + 16 * i + 12] + struct.pack("<H", ids[i])
    return out


_LISTING = re.compile(r"--type=(\S+) --name=(\S+) --language=(\d+) \[.*size=(\d+)\]")


class Resources(LauncherTestCase):
    @classmethod
    def setUpClass(cls):
        cls.helper = helper_path()

    def setUp(self):
        super().setUp()
        if not os.path.exists(self.helper):
            self.fail("resource helper not built: %r" % self.helper)
        self.inputs = {
            "splash.bmp": bmp24(7, 5),
            "splash.png": png(8, 6),
            "splash.ico": ico([(32, png(32, 32)), (16, dib_icon(16))]),
            "app.ico": ico([(16, dib_icon(16))]),
        }
        for name, data in self.inputs.items():
            with open(self.path(name), "wb") as f:
                f.write(data)

    def pack(self, launcher, description, name):
        """Packages with resources (timing the run); returns the exe path."""
        desc = self.path(name + ".json")
        with open(desc, "w", encoding="utf-8") as f:
            json.dump(description, f)
        exe = self.path(name)
        start = time.monotonic()
        proc = subprocess.run([PACKAGER, "--resource-helper", self.helper, launcher, desc, exe], capture_output=True,
                              text=True, env=wine_env(), stdin=subprocess.DEVNULL, timeout=120)
        self.seconds = time.monotonic() - start
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return exe

    def pack_all(self, name="app.exe"):
        return self.pack(LAUNCHERS["app"], {
            "strings": {"errorNoJvm": "res {0}", "launcherType": 2},
            "resources": {"splashBitmap": "splash.bmp", "splashImage": "splash.png",
                          "splashIcon": "splash.ico", "icon": "app.ico"}}, name)

    def listing(self, exe):
        """{(type, name, language): size} as wrestool lists them."""
        out = subprocess.run(["wrestool", "-l", exe], capture_output=True, text=True, check=True).stdout
        found = {}
        for line in out.splitlines():
            m = _LISTING.search(line)
            self.assertIsNotNone(m, line)
            found[(m.group(1), m.group(2).strip("'"), int(m.group(3)))] = int(m.group(4))
        return found

    def extract(self, exe, kind, name, raw=True, language=None):
        args = ["wrestool", "-x", "--type=%s" % kind, "--name=%s" % name]
        if raw:
            args.append("--raw")
        if language is not None:
            args.append("--language=%d" % language)
        return subprocess.run(args + [exe], capture_output=True, check=True).stdout

    def assert_icon_file(self, exe, name, expected):
        # wrestool rebuilds the .ico from the group and its icons; version 0.32 also copies the
        # alignment padding behind each image, which holds whatever the system's resource writer
        # left there (zero bytes or not), so compare what the input holds and nothing more.
        rebuilt = self.extract(exe, 14, name, raw=False)
        self.assertEqual(rebuilt[:len(expected)], expected)
        self.assertLess(len(rebuilt) - len(expected), 64)

    def test_resources_hold_the_inputs_byte_for_byte_and_the_record_still_reads(self):
        exe = self.pack_all()
        found = self.listing(exe)
        inputs = self.inputs
        self.assertEqual(found[("2", "10000", 0)], len(inputs["splash.bmp"]) - 14)
        self.assertEqual(self.extract(exe, 2, 10000, raw=False), inputs["splash.bmp"])
        self.assertEqual(self.extract(exe, 2, 10000), inputs["splash.bmp"][14:])
        self.assertEqual(self.extract(exe, 10, 10000), inputs["splash.png"])
        icons = sorted(int(name) for (kind, name, _) in found if kind == "3")
        self.assertEqual(icons, [1, 2, 3])
        self.assertEqual(self.extract(exe, 3, 1), png(32, 32))
        self.assertEqual(self.extract(exe, 3, 2), dib_icon(16))
        self.assertEqual(self.extract(exe, 3, 3), dib_icon(16))
        self.assertEqual(self.extract(exe, 14, "ID_SPLASH_ICON"), group_of(inputs["splash.ico"], [1, 2]))
        self.assertEqual(self.extract(exe, 14, 1001), group_of(inputs["app.ico"], [3]))
        self.assert_icon_file(exe, "ID_SPLASH_ICON", inputs["splash.ico"])
        self.assert_icon_file(exe, "1001", inputs["app.ico"])
        # The launcher's own resources are kept as they were.
        own = self.listing(LAUNCHERS["app"])
        self.assertEqual(set(found) - set(own), {("2", "10000", 0), ("10", "10000", 0), ("3", "1", 0), ("3", "2", 0),
                                                 ("3", "3", 0), ("14", "ID_SPLASH_ICON", 0), ("14", "1001", 0)})
        for kind, name, language in own:
            self.assertEqual(self.extract(exe, kind, name, language=language),
                             self.extract(LAUNCHERS["app"], kind, name, language=language), (kind, name))

        dump = subprocess.run([PACKAGER, "--dump", exe], capture_output=True, text=True)
        self.assertEqual(dump.returncode, 0, dump.stderr)
        self.assertIn('"errorNoJvm": "res {0}"', dump.stdout)
        self.assertIn("resource: bitmap 10000, language 0, %d bytes\n" % (len(inputs["splash.bmp"]) - 14), dump.stderr)
        self.assertIn('resource: group icon "ID_SPLASH_ICON", language 0, 34 bytes\n', dump.stderr)
        self.assertRegex(dump.stderr, r"integrity: flag 1, checksum 0x[0-9a-f]{8} over \d+ bytes: matches\n$")

        result = self.run_exe(exe)
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "res 64\n")
        print("\npackaging with resources took %.2f s; launcher %d bytes, packaged %d bytes"
              % (self.seconds, os.path.getsize(LAUNCHERS["app"]), os.path.getsize(exe)))

    @unittest.skipUnless(MINGW_GCC, "no MinGW compiler for the probe")
    def test_windows_loads_them_as_the_launcher_does(self):
        probe = self.path("probe.exe")
        subprocess.run([MINGW_GCC, "-municode", "-O2", "-s", "-o", probe, PROBE_SOURCE, "-lgdi32", "-luser32"],
                       check=True, capture_output=True)
        exe = self.pack_all()
        result = self.run_exe(probe, [exe])
        self.assertEqual(result.code, 0, result)
        self.assertRegex(result.stdout, r"^bitmap 7x5 \d+\nrcdata %d\nicon ID_SPLASH_ICON \d+x\d+\nicon 1001 \d+x\d+\n$"
                         % len(self.inputs["splash.png"]))
        bare = self.run_exe(probe, [LAUNCHERS["app"]])
        self.assertEqual(bare.stdout, "bitmap missing\nrcdata missing\nicon ID_SPLASH_ICON missing\nicon 1001 missing\n")

    def test_signing_afterwards_verifies_and_keeps_record_and_resources(self):
        exe = self.pack_all()
        key, cert = self.path("key.pem"), self.path("cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=zendra test signer"], check=True, capture_output=True)
        signed = self.path("signed.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "zendra test", "-in", exe,
                        "-out", signed], check=True, capture_output=True)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True,
                                text=True)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertEqual(self.extract(signed, 10, 10000), self.inputs["splash.png"])
        result = self.run_exe(signed)
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "res 64\n")

    def test_packaging_again_replaces_resources_and_leaves_no_stray_icons(self):
        first = self.pack_all("first.exe")
        again = self.pack(first, {"strings": {"errorNoJvm": "again {0}", "launcherType": 2},
                                  "resources": {"splashIcon": "app.ico"}}, "again.exe")
        found = self.listing(again)
        # The splash group's two icons (1, 2) went with it; its new icon took id 1, and the
        # application icon (3) and the splash images stayed.
        self.assertEqual(sorted(int(n) for (k, n, _) in found if k == "3"), [1, 3])
        self.assertEqual(self.extract(again, 14, "ID_SPLASH_ICON"), group_of(self.inputs["app.ico"], [1]))
        self.assertEqual(self.extract(again, 14, 1001), group_of(self.inputs["app.ico"], [3]))
        self.assertEqual(self.extract(again, 10, 10000), self.inputs["splash.png"])
        result = self.run_exe(again)
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "again 64\n")


if __name__ == "__main__":
    unittest.main()
