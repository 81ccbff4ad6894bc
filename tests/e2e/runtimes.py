"""Fake Java runtime trees for end-to-end tests, built from the test doubles.

A runtime made here has the layout a launcher searches for:

    home/bin/java.exe, home/bin/javaw.exe     the java.exe double (see tests/doubles/java_double.c)
    home/bin/java-double.cfg                  its behaviour: stderr lines, exit code, delay
    home/bin/<vm>/jvm.dll                     a jvm.dll double, one per VM directory
    home/lib/tools.jar, home/jre/bin/...      with jdk=True: a JDK with its own jre directory

The doubles are found through ZENDRA_JAVA_DOUBLE, ZENDRA_JVM_DOUBLE, ZENDRA_JVM_DOUBLE_X86 and
ZENDRA_JVM_NOEXPORT_DOUBLE (CTest sets them from ZENDRA_DOUBLES_ENVIRONMENT); when unset, they
are looked for in <build>/doubles next to the launcher named by ZENDRA_APP_LAUNCHER.
Every java.exe double appends its command line to java-double.runs beside itself: runs()
reads them back.
"""
import os
import shutil

DEFAULT_VERSION = 'openjdk version "17.0.15" 2025-04-15'

# Which double each dll kind copies: (environment variable, path below <build>/doubles).
_DOUBLES = {
    "java": ("ZENDRA_JAVA_DOUBLE", "java.exe"),
    "x64": ("ZENDRA_JVM_DOUBLE", "jvm.dll"),
    "x86": ("ZENDRA_JVM_DOUBLE_X86", os.path.join("x86", "jvm.dll")),
    "noexport": ("ZENDRA_JVM_NOEXPORT_DOUBLE", "jvm-noexport.dll"),
}

# An empty zip archive: enough for a tools.jar that is only looked for.
_EMPTY_ZIP = b"PK\x05\x06" + bytes(18)


def double(kind):
    """The path of a double: "java", "x64", "x86" or "noexport". Raises when it is missing."""
    variable, relative = _DOUBLES[kind]
    path = os.environ.get(variable)
    if not path:
        launcher = os.environ.get("ZENDRA_APP_LAUNCHER", "")
        build = os.path.dirname(os.path.dirname(os.path.dirname(launcher))) if launcher else ""
        path = os.path.join(build, "doubles", relative)
    if not os.path.isfile(path):
        raise FileNotFoundError("test double %s not found (%s=%r)" % (kind, variable, path))
    return path


def _bin_dirs(home):
    """The directories of home that hold a java.exe double."""
    candidates = [os.path.join(home, "bin"), os.path.join(home, "jre", "bin")]
    return [d for d in candidates if os.path.isfile(os.path.join(d, "java.exe"))]


def write_cfg(home, version_line=DEFAULT_VERSION, exit_code=0, delay_ms=0):
    """Sets how every java.exe double of home behaves on "-version": version_line is one
    standard-error line, a sequence of lines, or None for no output."""
    if version_line is None:
        lines = []
    elif isinstance(version_line, str):
        lines = [version_line]
    else:
        lines = list(version_line)
    text = "".join("stderr=%s\n" % line for line in lines)
    text += "exit=%d\ndelay_ms=%d\n" % (exit_code, delay_ms)
    for directory in _bin_dirs(home):
        with open(os.path.join(directory, "java-double.cfg"), "w", encoding="latin-1", newline="\n") as handle:
            handle.write(text)


def _populate_bin(directory, vm_dirs, javaw, dll):
    """java.exe (and javaw.exe) and one jvm.dll per VM directory in a bin directory."""
    os.makedirs(directory, exist_ok=True)
    shutil.copyfile(double("java"), os.path.join(directory, "java.exe"))
    if javaw:
        shutil.copyfile(double("java"), os.path.join(directory, "javaw.exe"))
    for vm in vm_dirs:
        os.makedirs(os.path.join(directory, vm), exist_ok=True)
        if dll is not None:
            shutil.copyfile(double(dll), os.path.join(directory, vm, "jvm.dll"))


def make_runtime(home, version_line=DEFAULT_VERSION, exit_code=0, delay_ms=0, vm_dirs=("server",), jdk=False,
                 javaw=True, dll="x64", preferred=None):
    """Builds a fake runtime in home (created when missing) and returns home.

    dll: "x64", "x86", "noexport" (a jvm.dll without JNI_CreateJavaVM) or None (VM directories
    without jvm.dll). jdk: also lib/tools.jar and jre/bin with the same doubles. preferred: a VM
    name written first, as the default, into lib/jvm.cfg (no jvm.cfg when None)."""
    if dll not in (None, "x64", "x86", "noexport"):
        raise ValueError("dll must be x64, x86, noexport or None, not %r" % (dll,))
    _populate_bin(os.path.join(home, "bin"), vm_dirs, javaw, dll)
    lib = os.path.join(home, "lib")
    os.makedirs(lib, exist_ok=True)
    if jdk:
        with open(os.path.join(lib, "tools.jar"), "wb") as handle:
            handle.write(_EMPTY_ZIP)
        _populate_bin(os.path.join(home, "jre", "bin"), vm_dirs, javaw, dll)
    if preferred is not None:
        others = [vm for vm in vm_dirs if vm != preferred]
        with open(os.path.join(lib, "jvm.cfg"), "w", newline="\r\n") as handle:
            handle.writelines("-%s KNOWN\n" % vm for vm in [preferred, *others])
    write_cfg(home, version_line, exit_code, delay_ms)
    return home


def runs(home, bin_dir="bin"):
    """The command lines the java.exe doubles in home/<bin_dir> recorded, oldest first."""
    path = os.path.join(home, bin_dir, "java-double.runs")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as handle:
        return handle.read().decode("latin-1").split("\r\n")[:-1]
