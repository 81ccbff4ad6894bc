"""Runtime archives ("jre.tar.gz") for the installer's unpacking tests: good ones in the forms
tar writers produce, and hostile or damaged ones, each with the log line the launcher writes.

    from archives import tree_archive, GOOD, HOSTILE
    tree_archive("/path/to/runtime")   # gzip-compressed ustar/GNU tar of a directory, as tar -czf
    GOOD["gnu-long-names"]()           # bytes
    build, line = HOSTILE["parent"]    # build() gives bytes; line is the log line (without "ERROR: ")

Command line: python3 archives.py OUTDIR [--tree DIR] writes every case as OUTDIR/NAME.tar.gz
(good.tar.gz is the tree of DIR, or a small sample tree) and each hostile case's log line as
OUTDIR/NAME.line.
"""
import argparse
import gzip
import io
import os
import random
import tarfile

LONG_DIR = "lib/" + "/".join(["a-rather-long-directory-name"] * 4)  # over 100 characters
SAMPLE = [("bin/", b""), ("bin/java.exe", b"MZ java"), ("bin/server/", b""), ("bin/server/jvm.dll", b"MZ jvm"),
          ("lib/", b""), ("lib/modules", bytes(range(256)) * 5)]


def gzip_bytes(data):
    """Compresses with a fixed time stamp, so the bytes are the same on every run."""
    return gzip.compress(data, mtime=0)


def tar_bytes(entries, fmt=tarfile.GNU_FORMAT):
    """A tar stream of (name, data) entries; a name ending in "/" is a directory, a data of
    ("link", target) a symbolic link."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        for name, data in entries:
            info = tarfile.TarInfo(name.rstrip("/"))
            if name.endswith("/"):
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            elif isinstance(data, tuple):
                info.type, info.linkname = tarfile.SYMTYPE, data[1]
                tar.addfile(info)
            else:
                info.size = len(data)
                tar.addfile(info, io.BytesIO(data))
    return out.getvalue()


def header(name, size, type_flag=b"0", magic=b"ustar\x0000"):
    """One raw header block, for the fields no tar writer puts there."""
    block = bytearray(512)
    block[0:len(name)] = name.encode()
    block[124:136] = size
    block[156:157] = type_flag
    block[257:257 + len(magic)] = magic
    return bytes(block)


def tree_archive(root, fmt=tarfile.GNU_FORMAT):
    """The directory tree below root (directories before their contents), as tar -czf -C root ."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        for top, dirs, files in os.walk(root):
            dirs.sort()
            for name in sorted(dirs) + sorted(files):
                path = os.path.join(top, name)
                tar.add(path, arcname=os.path.relpath(path, root), recursive=False)
    return gzip_bytes(out.getvalue())


def sample(fmt, extra=()):
    """The sample tree with a file below a directory path of over 100 characters."""
    parts = LONG_DIR.split("/")
    levels = [("/".join(parts[:i]) + "/", b"") for i in range(2, len(parts) + 1)]
    return gzip_bytes(tar_bytes(SAMPLE + levels + [(LONG_DIR + "/deep.txt", b"deep")] + list(extra), fmt))


def incompressible(size):
    return random.Random(7).randbytes(size)


GOOD = {
    "gnu-long-names": lambda: sample(tarfile.GNU_FORMAT),
    "ustar-prefix": lambda: sample(tarfile.USTAR_FORMAT),
    "pax-path": lambda: sample(tarfile.PAX_FORMAT),
    "symlink-skipped": lambda: sample(tarfile.GNU_FORMAT, [("bin/link", ("link", "/etc/passwd"))]),
    "plain-tar": lambda: tar_bytes(SAMPLE),
    "two-members": lambda: gzip_bytes(tar_bytes(SAMPLE)[:1024]) + gzip_bytes(tar_bytes(SAMPLE)[1024:]),
}

HOSTILE = {
    "parent": (lambda: gzip_bytes(tar_bytes([("bin/", b""), ("../x", b"x")])),
               "refusing entry ../x: parent directory reference"),
    "absolute": (lambda: gzip_bytes(tar_bytes([("/x", b"x")])), "refusing entry /x: leading separator"),
    "drive": (lambda: gzip_bytes(tar_bytes([("C:\\x", b"x")])), "refusing entry C:\\x: drive or stream name"),
    "unc": (lambda: gzip_bytes(tar_bytes([("\\\\srv\\s\\x", b"x")])), "refusing entry \\\\srv\\s\\x: leading separator"),
    "device": (lambda: gzip_bytes(tar_bytes([("bin/", b""), ("bin/CON.txt", b"x")])),
               "refusing entry bin/CON.txt: device name"),
    "symlink": (lambda: gzip_bytes(tar_bytes([("evil", ("link", "../..")), ("evil/x", b"x")])),
                "Could not open file evil\\x"),
    "huge-size": (lambda: gzip_bytes(header("big", b"77777777777\0") + bytes(1024)),
                  "size field out of range in entry big"),
    "truncated": (lambda: gzip_bytes(tar_bytes([("blob", incompressible(65536))]))[:32768], "stream error"),
    "short-data": (lambda: gzip_bytes(header("short", b"00000001750 ") + b"s" * 100), "sizes don't match: 100, 1000"),
    "no-magic": (lambda: gzip_bytes(header("plain", b"00000000001\0", magic=b"") + b"x" + bytes(1535)),
                 "no magic number"),
    "only-directories": (lambda: gzip_bytes(tar_bytes([("bin/", b""), ("lib/", b"")])), "no magic number"),
    "long-name-alone": (lambda: gzip_bytes(header("././@LongLink", b"00000000012\0", b"L", b"ustar  \0") +
                                           b"0123456789".ljust(512, b"\0") + bytes(1024)),
                        "long name without its entry"),
    "empty": (lambda: b"", "unexpected eof"),
}


def write_all(outdir, tree=None):
    """Writes NAME.tar.gz for every case, and beside each hostile one NAME.line with its log line."""
    os.makedirs(outdir, exist_ok=True)
    cases = dict(GOOD)
    cases["good"] = (lambda: tree_archive(tree)) if tree else (lambda: sample(tarfile.GNU_FORMAT))
    for name, (build, line) in HOSTILE.items():
        cases[name] = build
        with open(os.path.join(outdir, name + ".line"), "w", encoding="utf-8") as f:
            f.write(line)
    for name, build in cases.items():
        with open(os.path.join(outdir, name + ".tar.gz"), "wb") as f:
            f.write(build())


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--tree", help="directory to pack as good.tar.gz")
    args = parser.parse_args()
    write_all(args.outdir, args.tree)
