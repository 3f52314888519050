"""Helpers shared by the end-to-end tests of setup.exe under Wine: the check
list, Windows paths, distribution folders, scripted runs, registry reads, the
files the test hook library writes, and real SMTP relays.

A test calls init() with its Wine runner and the folder of the built setup.exe
first and runs its case with run_case(), which ends the process with the verdict.
"""
import email
import email.policy
import json
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINE = None       # scripts/wine-run
BINDIR = None     # the folder of setup.exe and its language modules
ENV = {}          # extra environment of every Wine process of the case
FOLDERS = []      # the case's folders, removed at the end
failures = []


def init(wine_run, bindir):
    global WINE, BINDIR
    WINE, BINDIR = wine_run, bindir


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def close_folder_windows(name):
    """Ends the folder windows an install opened on a program group called name.
    Under Wine such a window is a process of its own that stays, holding the
    group folder and the run's output handles."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            cmdline = open("/proc/%s/cmdline" % pid, "rb").read().decode("latin-1")
        except OSError:
            continue
        if "explorer" in cmdline.lower() and name in cmdline:
            try:
                os.kill(int(pid), 9)
            except OSError:
                pass


def prefix_programs(prefix, needle):
    """Ids of the processes of a Wine prefix whose command line holds needle (any case)."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            environ = open("/proc/%s/environ" % pid, "rb").read().split(b"\0")
            cmdline = open("/proc/%s/cmdline" % pid, "rb").read().decode("latin-1")
        except OSError:
            continue
        if ("WINEPREFIX=" + prefix).encode() in environ and needle.lower() in cmdline.lower():
            found.append(int(pid))
    return found


def wait_programs_gone(prefix, needle, timeout=240):
    """Waits until no program of the prefix holds needle in its command line;
    False on a time-out. Unlike waiting for the Wine server's end, this works
    while a persistent server keeps the prefix up."""
    end = time.time() + timeout
    while prefix_programs(prefix, needle):
        if time.time() > end:
            return False
        time.sleep(0.2)
    return True


def write_text(path, text, encoding="cp1252"):
    """A text file with CRLF line ends, as the setup program's files are written."""
    with open(path, "w", encoding=encoding, newline="\r\n") as f:
        f.write(text)


# The wizard frame's controls (setup/lang/resource.h), which scripts name as
# {BACK}, {NEXT}, {CANCEL} (Finish on the last page), {HEADING} and {DESCRIPTION}.
CONTROLS = {"BACK": 10780, "NEXT": 10781, "CANCEL": 2, "HEADING": 10782, "DESCRIPTION": 10783}


def script_text(text):
    """A script with the frame's control names replaced by their ids."""
    return re.sub(r"\{(%s)\}" % "|".join(CONTROLS), lambda m: str(CONTROLS[m.group(1)]), text)


def write_script(path, text, encoding="cp1252"):
    write_text(path, script_text(text), encoding)


def read_lines(folder, name):
    """The lines of a file the run left behind, or None when it is missing."""
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return None
    return open(path, encoding="latin-1").read().splitlines()


def hooklog(folder):
    """The events the test hook library recorded, or None when it never ran."""
    return read_lines(folder, "hooklog.txt")


def distribution(prefix, hook=None):
    """A new temporary folder holding setup.exe and its language modules, and
    the hook library when one is given."""
    folder = tempfile.mkdtemp(prefix=prefix)
    FOLDERS.append(folder)
    for name in os.listdir(BINDIR):
        if name == "setup.exe" or (name.startswith("setup") and name.endswith(".dll")):
            shutil.copy(os.path.join(BINDIR, name), folder)
    if hook:
        shutil.copy(hook, os.path.join(folder, "SETUPHOOK.DLL"))
    return folder


def write_cfg(folder, text, inst=None, name="setup.cfg"):
    """Writes a settings file; "@INST@" stands for the folder inst as a Windows
    path, escaped as the key=value form wants it."""
    if inst is not None:
        text = text.replace("@INST@", winpath(inst).replace("\\", "\\\\"))
    write_text(os.path.join(folder, name), text)


def wine(*args, timeout=120):
    """Runs a Wine command; (exit code, standard output as text)."""
    e = dict(os.environ)
    e.update(ENV)
    p = subprocess.run([WINE] + list(args), env=e, capture_output=True, timeout=timeout)
    return p.returncode, p.stdout.decode("latin-1").replace("\r\n", "\n")


def limit_files(size):
    """For a child process: files may not grow past size bytes; a write beyond
    fails as on a full disk instead of ending the process."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return apply


def run_setup(folder, script, args=(), before=(), env=None, cwd=None, encoding="cp1252", timeout=240,
              script_timeout=20000, err_file=False, file_limit=None):
    """Runs setup.exe of folder on a script file, with the arguments before and
    after the /SCRIPT switch; (exit code, standard error).

    err_file sends the error output into a file: a window the run leaves open
    inherits the handles and would hold a pipe open. file_limit: the size past
    which the run's file writes fail (limit_files)."""
    write_script(os.path.join(folder, "test.script"), script, encoding)
    e = dict(os.environ)
    e.pop("BRISEL_SCRIPT", None)
    e["BRISEL_SCRIPT_TIMEOUT"] = str(script_timeout)
    e.update(ENV)
    e.update(env or {})
    cmd = [WINE, os.path.join(folder, "setup.exe")] + list(before)
    cmd += ["/SCRIPT:" + winpath(os.path.join(folder, "test.script"))] + list(args)
    try:
        if err_file:
            with open(os.path.join(folder, "stderr.txt"), "w+b") as f:
                p = subprocess.run(cmd, cwd=cwd or folder, env=e, stdout=subprocess.DEVNULL, stderr=f,
                                   timeout=timeout)
                f.seek(0)
                raw = f.read()
        else:
            p = subprocess.run(cmd, cwd=cwd or folder, env=e, capture_output=True, timeout=timeout,
                               preexec_fn=limit_files(file_limit) if file_limit else None)
            raw = p.stderr
    except subprocess.TimeoutExpired:
        check(False, "setup.exe did not end")
        return -1, ""
    err = raw.decode("latin-1").replace("\r\n", "\n")
    err = "\n".join(x for x in err.splitlines() if not x.startswith("wine: Read access denied"))
    print("rc=%d err: %s" % (p.returncode, err.strip()))
    return p.returncode, err


def reg(*args):
    """The exit code of a "reg" command."""
    return wine("reg", *args)[0]


def reg_query(key, name):
    """(type name, text) of a registry value as "reg query" shows it, or None
    when it is missing."""
    rc, out = wine("reg", "query", key, "/v", name)
    for line in out.splitlines() if rc == 0 else []:
        # "    name    REG_SZ    value"
        m = re.match(r"\s+(.*?)\s+(REG_\w+)(?:\s{4}(.*))?$", line)
        if m and m.group(1) == name:
            return m.group(2), m.group(3) or ""
    return None


def regread(helper, key, *names):
    """Values of a key under HKLM as the helper program reads them with
    RegQueryValueExA: name -> (type, bytes), or None when missing. The helper is
    built for the word size of setup.exe, so it sees the program's registry view."""
    out = {}
    for line in wine(helper, key, *names)[1].splitlines():
        parts = line.split(" ")
        if len(parts) == 3:
            out[parts[0]] = (int(parts[1]), bytes.fromhex(parts[2]))
        elif len(parts) == 2 and parts[1] == "missing":
            out[parts[0]] = None
    return out


def program_files(helper):
    """The Program Files folder setup.exe sees ("Program Files (x86)" for a
    32-bit program on a 64-bit system, "Program Files" otherwise)."""
    value = regread(helper, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir")["ProgramFilesDir"]
    return value[1].rstrip(b"\0").decode("cp1252")


def reg_value(key, name):
    """The text of a registry value, or None when it is missing."""
    found = reg_query(key, name)
    return found[1] if found else None


# Script lines from the welcome page to the destination page of a first install.
TO_DEST = """expect-dialog 2001
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
"""


class Relays:
    """The real SMTP relays of smtprelay.js (the npm package smtp-server, which
    scripts/deps installs into the cache folder) on 127.0.0.1; ports by name
    ("plain", "seven", "login", "cram", "hangup"). They end with close() or
    with this process."""

    USER, PASSWORD = "orders", "Tr0ub4dor&3"

    def __init__(self):
        cache = os.environ.get("BRISEL_CACHE") or os.path.join(
            os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "brisel")
        modules = os.path.join(os.environ.get("BRISEL_NODE_DIR") or os.path.join(cache, "node"), "node_modules")
        self.folder = tempfile.mkdtemp(prefix="brisel-relay-")
        FOLDERS.append(self.folder)
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "smtprelay.js")
        self.process = subprocess.Popen(["node", script, self.folder], env=dict(os.environ, NODE_PATH=modules),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = self.process.stdout.readline()
        if not line:
            self.process.wait()
            raise RuntimeError("the SMTP relays did not start (is smtp-server installed? run scripts/deps)")
        self.ports = json.loads(line)

    def host(self, name):
        return "127.0.0.1:%d" % self.ports[name]

    def messages(self):
        """(message, envelope) of every mail taken so far, in order: the message
        parsed by Python's email package with its default policy, the envelope
        as the relay saw it (from, body, to, user)."""
        names = sorted(n for n in os.listdir(self.folder) if n.endswith(".eml"))
        return [(email.message_from_bytes(open(os.path.join(self.folder, n), "rb").read(), policy=email.policy.default),
                 json.load(open(os.path.join(self.folder, n + ".json")))) for n in names]

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            self.process.wait(10)


def defects(message):
    """Every defect Python's email package found in a message, its parts and headers."""
    found = []
    for part in message.walk():
        found += [repr(d) for d in part.defects]
        for name, value in part.items():
            found += ["%s: %r" % (name, d) for d in getattr(value, "defects", ())]
    return found


def run_case(cases, case, cleanup=None):
    """Runs case_<case> of the test's globals, then cleanup and the removal of
    the case's folders, whatever happened, and ends the process with the verdict."""
    try:
        cases["case_" + case]()
    finally:
        if cleanup:
            cleanup()
        for folder in FOLDERS:
            shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print("%d check(s) failed" % len(failures), file=sys.stderr)
        sys.exit(1)
    print("ok")
