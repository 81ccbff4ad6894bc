"""Throughput of the installer's runtime unpacking and integrity check, as ratios measured in
one run on this machine:

  * untar: the installer's unpacking (untarGz, its log included) against `tar -xzf` on the
    same ~100 MB archive of many small and a few large files; ratio = tar's time / ours
    (goal: at least 0.9, that is at least 90 % of tar's throughput);
  * integrity: the check's loop (16384-byte reads through the platform's File, zlib's crc32)
    against crc32 over the same bytes already in memory; ratio = memory time / ours (goal 0.9).

Medians over the rounds, of wall time and of processor time (which waiting for a processor on a
busy machine does not add to); each round unpacks into a fresh directory, and each integrity
round reports the best of several alternating passes of the check and of crc32 in memory.
Usage: python3 bench/archive.py --bench build/linux/bench/archive_bench [--rounds N] [--work DIR]
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import tarfile
import time

WORDS = [("%x" % random.Random(i).getrandbits(40)) for i in range(4000)]


def payload(rng, size):
    """Bytes that compress about as well as a runtime's classes and libraries (roughly 3:1)."""
    chunks, total = [], 0
    while total < size:
        if rng.random() < 0.3:
            piece = rng.randbytes(64)
        else:
            piece = " ".join(rng.choice(WORDS) for _ in range(12)).encode()
        chunks.append(piece)
        total += len(piece)
    return b"".join(chunks)[:size]


def make_tree(root, small=6000, large=4):
    rng = random.Random(11)
    for i in range(small):
        directory = os.path.join(root, "lib", "pkg%02d" % (i % 40))
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "f%05d.class" % i), "wb") as f:
            f.write(payload(rng, rng.randint(512, 14000)))
    os.makedirs(os.path.join(root, "bin", "server"), exist_ok=True)
    for i in range(large):
        with open(os.path.join(root, "bin", "server", "big%d.dll" % i), "wb") as f:
            f.write(payload(rng, 12 * 1024 * 1024))


def timed(command):
    """Wall seconds and processor seconds (user and system, the command's children included)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, check=True, capture_output=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--work", default="build/bench-archive")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    archive = os.path.join(work, "jre.tar.gz")
    if not os.path.exists(archive):
        shutil.rmtree(work, ignore_errors=True)
        make_tree(os.path.join(work, "tree"))
        subprocess.run(["tar", "--format=gnu", "-czf", archive, "-C", os.path.join(work, "tree"), "."], check=True)
        shutil.rmtree(os.path.join(work, "tree"))
    with tarfile.open(archive) as tar:
        members = tar.getmembers()
    files = [m for m in members if m.isfile()]
    size = sum(m.size for m in files)
    print("archive: %d files, %.1f MB unpacked, %.1f MB compressed" %
          (len(files), size / 1e6, os.path.getsize(archive) / 1e6))

    runs = {"ours": [], "tar": []}
    for _ in range(args.rounds):
        for name, runner in (("ours", lambda d: [args.bench, "untar", archive, d]),
                             ("tar", lambda d: ["tar", "-xzf", archive, "-C", d])):
            target = os.path.join(work, "out-" + name)
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            runs[name].append(timed(runner(target)))
    ours_s, tar_s = (statistics.median(w for w, _ in runs[n]) for n in ("ours", "tar"))
    ours_cpu, tar_cpu = (statistics.median(c for _, c in runs[n]) for n in ("ours", "tar"))
    print("untar: ours %.3f s (%.0f MB/s), tar -xzf %.3f s (%.0f MB/s), ratio %.2f; processor time %.3f s "
          "against %.3f s, ratio %.2f" % (ours_s, size / 1e6 / ours_s, tar_s, size / 1e6 / tar_s, tar_s / ours_s,
                                          ours_cpu, tar_cpu, tar_cpu / ours_cpu))

    blob = archive  # the included files an installer's check covers are mostly this archive
    samples = []
    for _ in range(args.rounds):
        out = subprocess.run([args.bench, "crc", blob], check=True, capture_output=True, text=True).stdout
        samples.append({key: float(value) for key, value in (line.split() for line in out.splitlines())})
    median = {key: statistics.median(s[key] for s in samples) for key in samples[0]}
    mb = os.path.getsize(blob) / 1e6
    print("integrity: check %.4f s (%.0f MB/s), crc32 in memory %.4f s (%.0f MB/s), ratio %.2f; processor time "
          "%.4f s against %.4f s, ratio %.2f" %
          (median["check"], mb / median["check"], median["memory"], mb / median["memory"],
           median["memory"] / median["check"], median["check-cpu"], median["memory-cpu"],
           median["memory-cpu"] / median["check-cpu"]))


if __name__ == "__main__":
    main()
