"""Start-up cost of app-launcher under Wine, as ratios against a trivial program.

For each round the same command runs, under the same Wine server:
  * baseline: a trivial static MinGW program, from spawn to exit;
  * launcher (warm): a packaged app-launcher finding a runtime whose version is cached,
    from spawn to the moment it calls JNI_CreateJavaVM of the runtime's VM library (the
    jvm.dll test double records that moment);
  * launcher (cold): the same with the version cache removed first, so the launcher runs
    the runtime's java.exe with -version before loading the library.
Medians over the rounds are printed with the two ratios; the goal for the warm ratio is 1.3.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import runtimes  # noqa: E402  (fake runtime trees from the test doubles)
from harness import to_windows  # noqa: E402

WINE = "/usr/lib/wine/wine64"
EPOCH_AS_FILETIME = 116444736000000000


def filetime_now_ns():
    return time.time_ns()


def filetime_to_ns(filetime):
    return (filetime - EPOCH_AS_FILETIME) * 100


def wine_env(extra=None):
    env = dict(os.environ)
    env.update({"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
    env.update(extra or {})
    return env


def time_trivial(exe):
    start = filetime_now_ns()
    subprocess.run([WINE, exe], env=wine_env(), check=True, stdin=subprocess.DEVNULL)
    return (filetime_now_ns() - start) / 1e6


def time_launcher(exe, log):
    if os.path.exists(log):
        os.remove(log)
    start = filetime_now_ns()
    subprocess.run([WINE, exe], env=wine_env({"ZENDRA_JVM_DOUBLE_LOG": log}), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(log) as f:
        created = [int(line.split()[1]) for line in f if line.startswith("create ")]
    if not created:
        raise SystemExit("the launcher did not call JNI_CreateJavaVM; see its log")
    return (filetime_to_ns(created[0]) - start) / 1e6


def clear_cache():
    subprocess.run([WINE, "reg", "delete", "HKCU\\SOFTWARE\\orvane-labs\\zendra\\jvms", "/f"], env=wine_env(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def package(packager, launcher, work, home):
    desc = {"strings": {"launcherType": 2, "searchSequence": "A" + to_windows(home),
                        "errorVmStart": "vm", "errorNoJvm": "none"}}
    path = os.path.join(work, "bench.json")
    with open(path, "w") as f:
        json.dump(desc, f)
    exe = os.path.join(work, "bench.exe")
    subprocess.run([packager, launcher, path, exe], check=True)
    return exe


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--packager", required=True)
    parser.add_argument("--launcher", required=True)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="zendra-bench-")
    try:
        home = os.path.join(work, "jre")
        runtimes.make_runtime(home)
        exe = package(args.packager, args.launcher, work, home)
        log = os.path.join(work, "jvm.log")
        time_launcher(exe, log)  # warm up Wine and fill the cache
        trivial, warm, cold = [], [], []
        for _ in range(args.rounds):
            trivial.append(time_trivial(os.environ["ZENDRA_TRIVIAL_EXE"]))
            warm.append(time_launcher(exe, log))
            clear_cache()
            cold.append(time_launcher(exe, log))
        base = statistics.median(trivial)
        print("rounds: %d" % args.rounds)
        print("trivial program, spawn to exit:                 %7.1f ms (median)" % base)
        print("launcher, warm cache, spawn to JNI_CreateJavaVM: %7.1f ms (median)" % statistics.median(warm))
        print("launcher, cold cache, spawn to JNI_CreateJavaVM: %7.1f ms (median)" % statistics.median(cold))
        print("warm-cache ratio: %.2f (goal <= 1.3)" % (statistics.median(warm) / base))
        print("cold-cache ratio: %.2f" % (statistics.median(cold) / base))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
