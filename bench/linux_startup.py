"""Start-up cost of the Linux application launcher against starting the runtime directly.

Each round starts, in alternating order:
  * launcher: the sample packaged onto the Linux app-launcher, with a warm version cache, so
    it finds the runtime, loads its libjvm.so, creates the VM and calls the sample's
    com.zendra.runtime.WinLauncher of zendra-runtime.jar, which starts HelloApp;
  * direct: the runtime's own `java` with the same VM options (the ones the launcher's log
    shows it passed) calling the same class with the same arguments.
Both are timed from spawn to the first line the application prints, and to exit. Medians over
the rounds are printed with their ratios; the goal for the first-output ratio is 1.05.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def timed(command, env):
    """Seconds from spawn to the first output line and to exit; the process's output."""
    start = time.perf_counter()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    first = proc.stdout.readline()
    first_output = time.perf_counter() - start
    rest, err = proc.communicate(timeout=60)
    total = time.perf_counter() - start
    if proc.returncode != 0 or not first:
        sys.exit("run failed (%d): %s\n%s" % (proc.returncode, " ".join(command), err.decode(errors="replace")))
    return first_output, total


def launcher_options(log_text):
    """The VM options and main arguments the launcher logged."""
    options = re.findall(r"^vmoption \d+: (.*)$", log_text, re.M)
    params = re.findall(r"^param \d+: (.*)$", log_text, re.M)
    main_class = re.search(r"^main class: (.*)$", log_text, re.M).group(1).replace("/", ".")
    java_exe = re.search(r"^Trying to load JVM-DLL from (.*)$", log_text, re.M).group(1)
    return java_exe, options, main_class, params


def prepare(work, packager, launcher, runtime_jar):
    classes = os.path.join(work, "classes")
    sources = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(ROOT, "sample", "src")) for f in fs
               if f.endswith(".java")]
    subprocess.run(["javac", "-cp", runtime_jar, "-d", classes] + sources, check=True)
    shutil.copyfile(runtime_jar, os.path.join(work, "zendra-runtime.jar"))
    subprocess.run(["jar", "--create", "--file", os.path.join(work, "hello.jar"), "-C", classes, "."], check=True)
    exe = os.path.join(work, "hello")
    # The sample's own description; its Windows resources are left out with a note.
    subprocess.run([packager, launcher, os.path.join(ROOT, "sample", "hello.json"), exe], check=True,
                   stderr=subprocess.DEVNULL)
    return exe


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--packager", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--runtime-jar", required=True)
    parser.add_argument("--rounds", type=int, default=15)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="zendra-bench-")
    try:
        exe = prepare(work, os.path.abspath(args.packager), os.path.abspath(args.launcher),
                      os.path.abspath(args.runtime_jar))
        env = dict(os.environ, TMPDIR=os.path.join(work, "tmp"), XDG_STATE_HOME=os.path.join(work, "state"),
                   XDG_RUNTIME_DIR=os.path.join(work, "run"))
        for d in ("tmp", "state", "run"):
            os.makedirs(os.path.join(work, d))
        arguments = ["benchmark", "--exit=0"]
        # One logged run warms the version cache and tells the options the launcher passes.
        subprocess.run([exe] + arguments, env=dict(env, ZENDRA_LOG="yes"), check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "tmp", "qln_nlog_1"), encoding="utf-8", errors="replace") as log:
            java_exe, options, main_class, params = launcher_options(log.read())
        direct = [java_exe] + options + [main_class] + params
        launched = [exe] + arguments

        samples = {"launcher": [], "direct": []}
        for round_number in range(args.rounds):
            order = [("launcher", launched), ("direct", direct)]
            if round_number % 2:
                order.reverse()
            for name, command in order:
                samples[name].append(timed(command, env))
        first = {k: statistics.median(s[0] for s in v) for k, v in samples.items()}
        total = {k: statistics.median(s[1] for s in v) for k, v in samples.items()}
        print("rounds: %d (medians)" % args.rounds)
        print("direct   java:     first output %.1f ms, exit %.1f ms" % (first["direct"] * 1e3, total["direct"] * 1e3))
        print("packaged launcher: first output %.1f ms, exit %.1f ms" % (first["launcher"] * 1e3,
                                                                         total["launcher"] * 1e3))
        print("ratio first output: %.3f (goal <= 1.05), ratio exit: %.3f" %
              (first["launcher"] / first["direct"], total["launcher"] / total["direct"]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
