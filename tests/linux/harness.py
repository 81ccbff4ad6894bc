"""Helpers for end-to-end tests of the Linux application launcher with a real Java runtime.

Each test gets a sandbox: a directory for packaged launchers (the test jars beside them) and
fresh directories for the per-user store, the semaphores and the temporary files. Launchers
are packaged with the packaging tool and run with an environment built from nothing, so the
machine's own variables never steer a search; every run has a time-out and its whole
process group is killed when it overruns.
"""
import json
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

LAUNCHER = os.environ.get("ZENDRA_LINUX_LAUNCHER", "")
PACKAGER = os.environ.get("ZENDRA_PACKAGER", "")
JARS = os.environ.get("ZENDRA_TEST_JARS", "")
JDK = os.environ.get("ZENDRA_TEST_JDK", "/usr/lib/jvm/java-17-openjdk-amd64")
RUN_TIMEOUT = 30.0
NO_RUNTIME = 83

# The texts the descriptions configure; tests compare the launcher's output with them.
TEXTS = {
    "errorCaption": "E2E App",
    "errorVmStart": "E2E App could not start its Java program.",
    "errorNoJvm": "No {0}-bit Java runtime fits E2E App.",
    "errorInternal": "E2E App failed with internal error {0}.",
    "errorMainClass": "The launcher class of E2E App is missing.",
    "errorMainMethod": "The launcher method of E2E App is missing.",
    "errorClassPathEntry": "A required file is missing: {0}",
    "errorJvmSource64": "The runtime named by {0} could not be loaded.",
    "errorJvmPath64": "The runtime at {0} could not be loaded.",
}


def check_environment():
    """Fails with one clear line when the build did not hand the paths over."""
    for name, value in (("ZENDRA_LINUX_LAUNCHER", LAUNCHER), ("ZENDRA_PACKAGER", PACKAGER),
                        ("ZENDRA_TEST_JARS", JARS)):
        if not value or not os.path.exists(value):
            raise RuntimeError("%s does not name an existing path (%r); run the tests through ctest" % (name, value))
    if not os.path.exists(os.path.join(JDK, "bin", "java")):
        raise RuntimeError("no Java runtime at ZENDRA_TEST_JDK (%r)" % JDK)


def jar(name):
    """The path of a test jar built from tests/linux/java/<name>."""
    return os.path.join(JARS, name + ".jar")


class Result:
    """What one launcher run produced: exit code, standard output and error, its logs."""

    def __init__(self, code, stdout, stderr, logs):
        self.code = code
        self.stdout = stdout
        self.stderr = stderr
        self.logs = logs  # the texts of the diagnostic logs the run created, oldest first

    @property
    def log(self):
        """The run's one diagnostic log ("" when it wrote none)."""
        return self.logs[-1] if self.logs else ""

    def lines(self, prefix):
        """The values of the output lines "<prefix>: value", in order."""
        start = prefix + ": "
        return [line[len(start):] for line in self.stdout.splitlines() if line.startswith(start)]

    def items(self):
        """The six fixed items main received."""
        return {int(k): v for k, v in (re.match(r"item (\d+): (.*)", line).groups()
                                       for line in self.stdout.splitlines() if line.startswith("item "))}

    def args(self):
        """The application arguments main received after the fixed items."""
        return [re.match(r"arg \d+: (.*)", line).group(1) for line in self.stdout.splitlines()
                if re.match(r"arg \d+: ", line)]

    def properties(self):
        """The system properties the program printed, by name."""
        found = {}
        for line in self.stdout.splitlines():
            if line.startswith("property "):
                name, _, value = line[len("property "):].partition("=")
                found[name] = value
        return found

    def loaded_runtime(self):
        """The java program whose VM library the launcher loaded, from the log; None if none."""
        match = re.search(r"^Trying to load JVM-DLL from (.*)$", self.log, re.M)
        return match.group(1) if match else None

    def __repr__(self):
        return "Result(code=%r, stdout=%r, stderr=%r, log=%r)" % (self.code, self.stdout[-2000:], self.stderr[-2000:],
                                                                 self.log[-3000:])


class Sandbox:
    """The directories one test runs in."""

    def __init__(self, root):
        self.root = root
        self.app = self.make("app")        # packaged launchers and their jars
        self.state = self.make("state")    # XDG_STATE_HOME: the per-user store
        self.runtime = self.make("run")    # XDG_RUNTIME_DIR: the semaphores
        self.tmp = self.make("tmp")        # TMPDIR: logs, hand-over files, per-run directories
        self.nobin = self.make("nobin")    # a PATH entry without any java
        self.claimed = set()               # logs already handed to a finished run

    def make(self, *parts):
        path = os.path.join(self.root, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def logs(self):
        """The diagnostic logs in the temporary directory, by their number."""
        names = [n for n in os.listdir(self.tmp) if re.fullmatch(r"qln_nlog_\d+", n)]
        return sorted(names, key=lambda n: int(n.rsplit("_", 1)[1]))

    def environment(self, env=None):
        """A run's environment: nothing of the caller's but what a test names."""
        base = {
            "PATH": self.nobin,
            "HOME": self.root,
            "LANG": "C.UTF-8",
            "XDG_STATE_HOME": self.state,
            "XDG_RUNTIME_DIR": self.runtime,
            "TMPDIR": self.tmp,
            "ZENDRA_LOG": "yes",
        }
        for name, value in (env or {}).items():
            if value is None:
                base.pop(name, None)
            else:
                base[name] = value
        return base


def _kill_group(proc):
    """Ends a launcher and everything it started, and closes its pipes."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    if proc.stdout is not None and not proc.stdout.closed:
        proc.communicate()
    proc.wait()


class Running:
    """A launcher started in the background whose standard output is read line by line."""

    def __init__(self, proc, sandbox, logs_before):
        self.proc = proc
        self.sandbox = sandbox
        self.logs_before = logs_before
        self.seen = []
        self.pending = b""

    def wait_for_line(self, text, timeout=RUN_TIMEOUT):
        """Reads output until a line equals text; the lines read so far stay in self.seen."""
        deadline = time.monotonic() + timeout
        while True:
            while b"\n" in self.pending:
                line, self.pending = self.pending.split(b"\n", 1)
                self.seen.append(line.decode("utf-8", "replace"))
                if self.seen[-1] == text:
                    return True
            if time.monotonic() > deadline:
                return False
            ready, _, _ = select.select([self.proc.stdout], [], [], 0.1)
            if not ready:
                continue
            chunk = os.read(self.proc.stdout.fileno(), 4096)
            if not chunk:
                return False
            self.pending += chunk

    def finish(self, timeout=RUN_TIMEOUT):
        """Waits for the end (killing the process group after timeout) and returns the Result."""
        try:
            rest, err = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            _kill_group(self.proc)
            raise AssertionError("the launcher did not end within %s s; output so far: %r" % (timeout, self.seen))
        stdout = "\n".join(self.seen + [""]) if self.seen else ""
        stdout += (self.pending + rest).decode("utf-8", "replace")
        return Result(self.proc.returncode, stdout, err.decode("utf-8", "replace"),
                      _new_logs(self.sandbox, self.logs_before))


def _new_logs(sandbox, before):
    """The texts of the logs created since a run started that no run finished earlier took:
    of two overlapping runs, the one that ends first takes its own log."""
    texts = []
    for name in sandbox.logs():
        if name not in before and name not in sandbox.claimed:
            sandbox.claimed.add(name)
            with open(os.path.join(sandbox.tmp, name), encoding="latin-1") as f:
                texts.append(f.read())
    return texts


class LinuxLauncherTestCase(unittest.TestCase):
    """Base class: a sandbox per test, packaging and running helpers, fake runtimes."""

    @classmethod
    def setUpClass(cls):
        check_environment()

    def setUp(self):
        self.box = Sandbox(tempfile.mkdtemp(prefix="zendra-linux-e2e-"))
        self.addCleanup(shutil.rmtree, self.box.root, True)

    def description(self, strings=None, files=None):
        """A description of the test application: the test runtime jar on the class path, the
        real JDK found through JAVA_HOME, the texts above; strings override and extend it."""
        merged = {"productFlavour": "zendra", "launcherType": 1, "classPath": "A1runtime.jar",
                  "searchSequence": "EJAVA_HOME", "minJavaVersion": "11", "launchText": "zt.App"}
        merged.update(TEXTS)
        merged.update(strings or {})
        described = {"integrity": True, "strings": merged}
        if files:
            described["files"] = files
        return described

    def package(self, strings=None, files=None, name="app", directory=None):
        """Packages the launcher into the sandbox (the runtime jar beside it); returns its path."""
        directory = directory or self.box.app
        os.makedirs(directory, exist_ok=True)
        shutil.copyfile(jar("runtime"), os.path.join(directory, "runtime.jar"))
        source = os.path.join(self.box.root, name + ".json")
        with open(source, "w", encoding="utf-8") as f:
            json.dump(self.description(strings, files), f)
        exe = os.path.join(directory, name)
        proc = subprocess.run([PACKAGER, LAUNCHER, source, exe], capture_output=True, text=True, timeout=RUN_TIMEOUT)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        return exe

    def java_env(self, **extra):
        """JAVA_HOME naming the real JDK, plus extra variables."""
        env = {"JAVA_HOME": JDK}
        env.update(extra)
        return env

    def run_launcher(self, exe, args=(), env=None, timeout=RUN_TIMEOUT, cwd=None):
        """Runs a packaged launcher to its end; fails the test if it overruns the time-out."""
        running = self.start(exe, args, env, cwd)
        return running.finish(timeout)

    def start(self, exe, args=(), env=None, cwd=None, stdin=subprocess.DEVNULL):
        """Starts a packaged launcher in its own process group (in the sandbox root unless cwd
        names another directory, its standard input from stdin); stopped at the test's end."""
        before = set(self.box.logs())
        proc = subprocess.Popen([exe, *args], cwd=cwd or self.box.root, env=self.box.environment(env),
                                stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                start_new_session=True)
        self.addCleanup(_kill_group, proc)
        return Running(proc, self.box, before)

    def fake_runtime(self, name):
        """A runtime directory whose bin/java is a script that appends a line to bin/runs per
        run and then runs the real java; its lib is the real JDK's. Returns its home."""
        home = self.box.make("runtimes", name)
        os.makedirs(os.path.join(home, "bin"), exist_ok=True)
        runs = os.path.join(home, "bin", "runs")
        script = os.path.join(home, "bin", "java")
        with open(script, "w") as f:
            f.write('#!/bin/sh\necho "$*" >> \'%s\'\nexec \'%s\' "$@"\n' % (runs, os.path.join(JDK, "bin", "java")))
        os.chmod(script, 0o755)
        os.symlink(os.path.join(JDK, "lib"), os.path.join(home, "lib"))
        return home

    @staticmethod
    def runs_of(home):
        """The argument lines the fake runtime's java recorded, oldest first."""
        path = os.path.join(home, "bin", "runs")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return f.read().splitlines()

    def assertRan(self, result, code=0):
        """The program ran main to its end (or to the expected code)."""
        self.assertEqual(result.code, code, result)
        self.assertIn("Creating JVM", result.log, result)
