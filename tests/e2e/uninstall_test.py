#!/usr/bin/env python3
"""End-to-end runs of setup.exe's uninstall under Wine, driven by scripts.

The uninstall deletes folder trees, so every case runs in a throw-away Wine
prefix of its own kind: its Z: drive (and every drive but C:) is removed and
all files of the test live on C:, so that a wrong path cannot reach the
machine's own files. Each case lays out an "installed product" (install folder,
application-data folder, start-menu folder and desktop shortcut, the uninstall
key with every value the install records, the product's own keys and its
autostart value), runs the uninstall and checks what is left. The installed*
cases install a test product with setup.exe instead and start the uninstall
from the command line the install registered, as Windows does.

usage: uninstall_test.py WINE-RUN BIN-DIR HOOK-DLL LANG-DIR CASE [UNINSTRUN]
"""
import glob
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time
import zipfile

import e2elib

WINE, BINDIR, HOOK, LANGDIR, CASE = sys.argv[1:6]
UNINSTRUN = sys.argv[6] if len(sys.argv) > 6 else None
HOLDFILE = sys.argv[7] if len(sys.argv) > 7 else None
sys.path.insert(0, LANGDIR)
import texts_english  # noqa: E402
import texts_german  # noqa: E402

EN = texts_english.STRINGS
DE = texts_german.STRINGS
PREFIX = os.path.normpath(os.path.join(BINDIR, "..", "..", "wine", "uninstall", "prefix"))
DRIVE = os.path.join(PREFIX, "drive_c")
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
RUN = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def env(extra=None):
    e = dict(os.environ)
    e.pop("BRISEL_SCRIPT", None)
    e["BRISEL_PREFIX"] = PREFIX
    e.pop("BRISEL_WINEHOME", None)
    e["BRISEL_SCRIPT_TIMEOUT"] = "20000"
    e.update(extra or {})
    return e


def wine(*args, extra=None, timeout=120):
    return subprocess.run([WINE] + list(args), env=env(extra), capture_output=True, timeout=timeout)


def prepare_prefix():
    """The prefix without any drive but C:, created once for all cases."""
    marker = os.path.join(PREFIX, ".brisel-cdrive-only")
    if not os.path.exists(marker):
        subprocess.run([WINE, "--init"], env=env(), check=True, timeout=300)
        subprocess.run([WINE, "--kill"], env=env(), timeout=60)
    dosdevices = os.path.join(PREFIX, "dosdevices")
    for name in os.listdir(dosdevices):
        if name.lower() != "c:" and len(name) == 2 and name[1] == ":":
            os.unlink(os.path.join(dosdevices, name))
    check(not os.path.lexists(os.path.join(dosdevices, "z:")), "no Z: drive in the test prefix")
    if failures:
        sys.exit(1)
    open(marker, "w").close()


def cpath(unix):
    """Windows path of a file below drive_c."""
    rel = os.path.relpath(unix, DRIVE)
    assert not rel.startswith(".."), unix
    return "C:\\" + rel.replace("/", "\\")


def user_folder():
    users = [u for u in os.listdir(os.path.join(DRIVE, "users")) if u.lower() not in ("public", "default")]
    return os.path.join(DRIVE, "users", users[0])


def desktop_folder():
    d = os.path.join(user_folder(), "Desktop")
    os.makedirs(d, exist_ok=True)
    return d


def temp_copies():
    return set(glob.glob(os.path.join(DRIVE, "users", "*", "**", "HalvoUninst-*"), recursive=True))


def write(path, text="x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def regstr(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Product:
    """An installed product as the install leaves it."""

    def __init__(self, key, modules=("setupenglish.dll", "setupgerman.dll"), hook=True, email=None,
                 files=None, path=None, appdata=None, root="Halvo"):
        self.key = key
        self.base = os.path.join(DRIVE, "t", CASE)
        shutil.rmtree(self.base, ignore_errors=True)
        self.inst = os.path.join(self.base, "inst")
        self.appdata = os.path.join(self.base, "appdata")
        self.startmenu = os.path.join(self.base, "startmenu", "Tool")
        self.desktop = desktop_folder()
        self.hooklog = os.path.join(self.base, "hooklog.txt")
        os.makedirs(self.inst)
        shutil.copy(os.path.join(BINDIR, "setup.exe"), self.inst)
        for m in modules:
            shutil.copy(os.path.join(BINDIR, m), self.inst)
        if hook:
            shutil.copy(HOOK, os.path.join(self.inst, "SETUPHOOK.DLL"))
        for name in ("prog.exe", "readme.txt", "Prog.cfg", "data/user.ini", "data/other.dat", "sub/deep.txt",
                     "mine.txt", "data/mine.dat"):
            write(os.path.join(self.inst, name))
        write(os.path.join(self.base, "outside.txt"))
        write(os.path.join(self.base, "abs.txt"))
        write(os.path.join(self.appdata, "settings.ini"))
        write(os.path.join(self.appdata, "logs", "today.log"))
        write(os.path.join(self.startmenu, "Tool.LNK"))
        write(os.path.join(self.startmenu, "Homepage.URL"))
        write(os.path.join(self.desktop, "BriselTool.LNK"))
        write(os.path.join(self.desktop, "BriselOther.LNK"))
        recorded = ["", "setup.exe"] + list(modules) + (["SETUPHOOK.DLL"] if hook else []) + [
            "prog.exe", "readme.txt", "Prog.cfg", "data\\user.ini", "data/other.dat", "sub\\deep.txt",
            "..\\outside.txt", cpath(os.path.join(self.base, "abs.txt"))]
        values = {
            "DisplayName": "Tool", "DisplayVersion": "2.5", "AppName": "Tool", "Version": "2.5",
            "UninstallString": '"%s\\Setup.exe" -remove "%s"' % (cpath(self.inst), key),
            "UninstallFiles": "|".join(files if files is not None else recorded),
            "UninstallPath": path if path is not None else cpath(self.inst),
            # Protected by name part (any case) and by archive path with "/".
            "UninstallProtect": "PROG.CFG|data/user.ini;keep",
            "UninstallStartmenu": cpath(self.startmenu),
            "UninstallStartmenuFiles": "Tool|Homepage",
            "UninstallDesktopFiles": "BriselTool",
        }
        if email is not None:
            values["UninstallEmail"] = email
        appdir = appdata if appdata is not None else cpath(self.appdata)
        lines = ["REGEDIT4", "", "[" + UNINSTALL.replace("HKLM", "HKEY_LOCAL_MACHINE") + key + "]"]
        lines += ["%s=%s" % (regstr(k), regstr(v)) for k, v in values.items()]
        lines += ["", "[HKEY_CURRENT_USER\\Software\\%s\\%s]" % (root, key),
                  '"ApplicationDataDir"=' + regstr(appdir),
                  "", "[HKEY_CURRENT_USER\\Software\\%s\\%s\\Options]" % (root, key), '"Colour"="blue"',
                  "", "[HKEY_LOCAL_MACHINE\\Software\\%s\\%s]" % (root, key), '"Installed"="1"',
                  "", "[HKEY_CURRENT_USER\\Software\\%s\\BriselNeighbour]" % root, '"Stay"="1"',
                  "", "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
                  "%s=%s" % (regstr(key), regstr(cpath(os.path.join(self.inst, "prog.exe")))), ""]
        regfile = os.path.join(self.base, "product.reg")
        with open(regfile, "w", newline="\r\n") as f:
            f.write("\n".join(lines))
        r = wine("reg", "import", cpath(regfile))
        check(r.returncode == 0, "product keys imported: %s" % r.stderr[-300:])
        self.root = root

    def run(self, script, args=(), extra=None, lang=None, encoding="cp1252"):
        sfile = os.path.join(self.base, "first.script")
        e2elib.write_script(sfile, script, encoding)
        e = {"BRISEL_HOOKLOG": cpath(self.hooklog)}
        if lang:
            e["LC_ALL"] = lang
        e.update(extra or {})
        program = os.path.join(self.inst, "setup.exe")
        if "-final" in args:
            # The second stage runs from a copy outside the install folder, as after the restart.
            runner = os.path.join(self.base, "runner")
            shutil.rmtree(runner, ignore_errors=True)
            os.makedirs(runner)
            for name in os.listdir(self.inst):
                if name.lower().startswith("setup") and name.lower().endswith((".exe", ".dll")):
                    shutil.copy(os.path.join(self.inst, name), runner)
            program = os.path.join(runner, "setup.exe")
        cmd = [program, "/SCRIPT:" + cpath(sfile)] + list(args)
        try:
            p = wine(*cmd, extra=e, timeout=240)
        except subprocess.TimeoutExpired:
            check(False, "setup.exe did not end")
            return -1
        print("rc=%d err: %s" % (p.returncode, p.stderr.decode("latin-1").strip()))
        return p.returncode

    def script(self, name, text):
        path = os.path.join(self.base, name)
        e2elib.write_script(path, text)
        return cpath(path)

    def log(self):
        if not os.path.exists(self.hooklog):
            return []
        return open(self.hooklog, encoding="latin-1").read().splitlines()

    def exists(self, *names):
        return [n for n in names if os.path.exists(os.path.join(self.inst, n))]

    def key_exists(self, path):
        return wine("reg", "query", path).returncode == 0

    def run_value(self):
        return wine("reg", "query", RUN, "/v", self.key).returncode == 0

    def own_keys(self):
        return [k for k in ("HKCU\\Software\\%s\\%s" % (self.root, self.key),
                            "HKLM\\Software\\%s\\%s" % (self.root, self.key)) if self.key_exists(k)]

    def cleanup(self):
        for k in (UNINSTALL + self.key, "HKCU\\Software\\%s\\%s" % (self.root, self.key),
                  "HKLM\\Software\\%s\\%s" % (self.root, self.key)):
            wine("reg", "delete", k, "/f")
        wine("reg", "delete", RUN, "/v", self.key, "/f")
        for n in ("BriselTool.LNK", "BriselOther.LNK"):
            if os.path.exists(os.path.join(self.desktop, n)):
                os.unlink(os.path.join(self.desktop, n))


ASK = EN[2989].replace("$PROGRAM", "Tool")
LISTED = ("setup.exe", "prog.exe", "readme.txt", "data/other.dat", "sub/deep.txt")
KEPT = ("Prog.cfg", "data/user.ini", "mine.txt", "data/mine.dat")


def walk(lang=EN, everything=False, mail_offered=False):
    """Feedback page, options page, removal page to its end."""
    s = "expect-dialog 2013\nexpect-text {HEADING} %s\nexpect-disabled 110\nclick {NEXT}\n" % lang[2932]
    s += "expect-dialog 2014\nexpect-checked 221\n"
    if everything:
        s += "check 222\nclick {NEXT}\nexpect-box %s\nanswer yes\n" % lang[2999].replace("$PROGRAM", "Tool").split("\n")[0]
        if not mail_offered:
            s += "expect-box %s\nanswer no\n" % lang[3004].replace("$PROGRAM", "Tool")
    else:
        s += "click {NEXT}\n"
    s += "expect-dialog 2015\nexpect-enabled {CANCEL}\nexpect-text {HEADING} %s\nexpect-text {DESCRIPTION}\n" % lang[2938]
    return s


def check_common_removal(p, what):
    check(not os.path.exists(p.startmenu), "%s: start-menu folder removed" % what)
    check(not os.path.exists(os.path.join(p.desktop, "BriselTool.LNK")), "%s: desktop shortcut removed" % what)
    check(os.path.exists(os.path.join(p.desktop, "BriselOther.LNK")), "%s: other desktop shortcut stays" % what)
    check(not p.key_exists(UNINSTALL + p.key), "%s: uninstall key removed" % what)
    check(not p.run_value(), "%s: autostart value removed" % what)
    check(os.path.exists(os.path.join(p.base, "outside.txt")), "%s: '..' item not deleted" % what)
    check(os.path.exists(os.path.join(p.base, "abs.txt")), "%s: absolute item not deleted" % what)


def wait_restarted(p, marker):
    """The first copy has ended; the restarted one ends when its script is done."""
    check(e2elib.wait_programs_gone(PREFIX, "HalvoUninst-"), "the restarted copy ended")
    check(os.path.exists(marker), "the restarted copy ran its script to the end")


def case_no():
    p = Product("BriselUn_no")
    rc = p.run("expect-box Tool Uninstall\nexpect-box %s\nanswer no\n" % ASK, args=["-remove", p.key])
    check(rc == 0, "rc %d" % rc)
    check(p.exists(*LISTED) == list(LISTED), "No: no file removed")
    check(p.key_exists(UNINSTALL + p.key) and p.run_value() and len(p.own_keys()) == 2, "No: keys stay")
    check(os.path.exists(p.startmenu), "No: start menu stays")
    check(p.log() == [], "No: no hook events: %s" % p.log())
    p.cleanup()


def case_keep():
    p = Product("BriselUn_keep")
    before = temp_copies()
    marker = os.path.join(p.base, "marker.png")
    second = p.script("second.script", walk() + "screenshot %s\nclick {CANCEL}\n" % cpath(marker))
    rc = p.run("expect-box %s\nhandover %s\nanswer yes\n" % (ASK, second), args=["-remove", p.key])
    check(rc == 0, "first copy rc %d" % rc)
    wait_restarted(p, marker)
    new = temp_copies() - before
    check(len(new) == 1, "one new folder in the temporary folder: %s" % new)
    for d in new:
        check(sorted(os.listdir(d)) == sorted(["SETUPHOOK.DLL", "setup.exe", "setupenglish.dll", "setupgerman.dll"]),
              "program and modules copied: %s" % os.listdir(d))
    check(p.exists(*LISTED) == [], "listed files deleted (the program too): %s" % p.exists(*LISTED))
    check(p.exists(*KEPT) == list(KEPT), "protected and unlisted files stay: %s" % p.exists(*KEPT))
    check(os.path.isdir(os.path.join(p.inst, "sub")), "folders stay")
    check(os.path.exists(os.path.join(p.appdata, "settings.ini")), "application data stays")
    check(len(p.own_keys()) == 2, "product keys stay with keep")
    check_common_removal(p, "keep")
    steps = ["N 4 11 1 1 1 0", "N 5 11 1 1 1 10781", "N 4 12 1 1 1 0", "N 5 12 1 1 1 10781",
             "N 4 7 1 1 1 0", "N 8 0 1 1 0 0", "S 2 " + cpath(p.inst), "S 3 (null)", "N 9 0 1 1 0 0",
             "N 5 7 1 1 1 0", "N 3 0 0 0 0 0"]
    check(p.log() == ["N 2 0 1 0 0 BriselUn_keep"] + steps, "hook events in order: %s" % p.log())
    p.cleanup()


def read_only(path):
    """A read-only folder with a read-only file in it, marked as Windows marks them."""
    inner = os.path.join(path, "inner.txt")
    write(inner)
    r = wine("cmd", "/c", "attrib +r %s & attrib +r %s & attrib %s" % (cpath(inner), cpath(path), cpath(inner)))
    check(r.returncode == 0 and b" R " in r.stdout, "read-only: %s %r" % (path, r.stdout))


class Held:
    """A file kept open by another program, so that it cannot be deleted."""

    def __init__(self, path):
        self.p = subprocess.Popen([WINE, HOLDFILE, cpath(path)], env=env(), stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        check(self.p.stdout.readline().strip() == b"held", "%s held open" % path)

    def release(self):
        self.p.stdin.close()
        self.p.wait(60)


def case_everything():
    # Read-only files and folders of the product go as well.
    p = Product("BriselUn_all")
    read_only(os.path.join(p.inst, "rofolder"))
    rc = p.run(walk(everything=True) + "expect-text 202 %s\nexpect-hidden 201\nclick {CANCEL}\n" % EN[2939],
               args=["-remove", p.key, "-final"])
    check(rc == 0, "rc %d" % rc)
    check(not os.path.exists(p.inst), "install tree deleted")
    check(not os.path.exists(p.appdata), "application-data tree deleted")
    check(p.own_keys() == [], "product keys deleted in both roots: %s" % p.own_keys())
    check(p.key_exists("HKCU\\Software\\Halvo\\BriselNeighbour"), "other products' keys stay")
    check_common_removal(p, "everything")
    check("N 8 0 1 1 0 1" in p.log(), "event 8 with the choice 1: %s" % p.log())
    p.cleanup()

    # A file in use stays, and is listed, once, instead of "removed as well".
    p = Product("BriselUn_all")
    busy = os.path.join(p.inst, "sub", "deep.txt")
    held = Held(busy)
    try:
        before, after = walk(everything=True).split("expect-enabled {CANCEL}\n")
        rc = p.run(before + """expect-box %s
expect-box %s
answer ok
expect-enabled {CANCEL}
%sexpect-text 202 %s
expect-hidden 201
click {CANCEL}
""" % (EN[4032], EN[4032] + "\\n\\n" + cpath(busy), after, EN[4033]), args=["-remove", p.key, "-final"])
    finally:
        held.release()
    check(rc == 0, "in use: rc %d" % rc)
    check(os.path.exists(busy), "the file in use stays")
    check(sorted(os.listdir(p.inst)) == ["sub"] and os.listdir(os.path.join(p.inst, "sub")) == ["deep.txt"],
          "everything else is gone: %s" % os.listdir(p.inst))
    check(not os.path.exists(p.appdata) and p.own_keys() == [], "the rest of the removal went on")
    check_common_removal(p, "in use")
    p.cleanup()


def case_refused():
    # Recorded paths that point at folders no uninstall may delete as a whole.
    users = cpath(os.path.join(DRIVE, "users"))
    for path, appdata in ((users.lower().replace("\\", "/") + "/", "C:"),
                          ("C:\\Program Files\\Common Files\\..", cpath(user_folder()) + "\\AppData\\..\\Desktop")):
        p = Product("BriselUn_refused", files=["", "planted.txt"], path=path, appdata=appdata)
        planted = os.path.join(DRIVE, "users", "planted.txt") if path.startswith("c:") else \
            os.path.join(DRIVE, "Program Files", "planted.txt")
        write(planted)
        canary = os.path.join(os.path.dirname(planted), "canary.txt")
        write(canary)
        write(os.path.join(DRIVE, "canary.txt"))
        rc = p.run(walk(everything=True) + "click {CANCEL}\n", args=["-remove", p.key, "-final"])
        check(rc == 0, "%s: rc %d" % (path, rc))
        check(not os.path.exists(planted), "%s: the product's own recorded file is removed" % path)
        check(os.path.exists(canary), "%s: the refused folder keeps its other files" % path)
        check(os.path.exists(os.path.join(DRIVE, "canary.txt")), "%s: the drive root is not emptied" % path)
        check(os.path.exists(os.path.join(p.desktop, "BriselOther.LNK")), "%s: desktop not emptied" % path)
        check(os.path.isdir(os.path.join(DRIVE, "windows", "system32")), "%s: Windows folder intact" % path)
        check(p.own_keys() == [] and not p.key_exists(UNINSTALL + p.key), "%s: keys removed all the same" % path)
        os.unlink(canary)
        os.unlink(os.path.join(DRIVE, "canary.txt"))
        p.cleanup()


def case_fernwall():
    p = Product("Fernwall Pro", root="Tessaly")
    marker = os.path.join(p.base, "marker.png")
    second = p.script("second.script", walk(everything=True) + "screenshot %s\nclick {CANCEL}\n" % cpath(marker))
    rc = p.run("expect-box %s\nhandover %s\nanswer yes\n" % (ASK, second), args=["-remove", p.key])
    check(rc == 0, "first copy rc %d" % rc)
    wait_restarted(p, marker)
    check(p.log()[:1] == ["N 2 0 1 0 0 Fernwall Pro"], "the restarted copy has the whole key name: %s" % p.log()[:1])
    check(not os.path.exists(p.inst) and not os.path.exists(p.appdata), "trees deleted")
    check(p.own_keys() == [], "Software\\Tessaly keys deleted: %s" % p.own_keys())
    check_common_removal(p, "Fernwall Pro")
    p.cleanup()


def case_onemodule():
    p = Product("BriselUn_one", modules=("setupenglish.dll",), hook=False)
    before = temp_copies()
    # The running program and its module cannot go, and are listed.
    before_end, after_end = walk().split("expect-enabled {CANCEL}\n")
    rc = p.run("expect-box %s\nanswer yes\nexpect-box Tool Uninstall\nexpect-box %s\n"
               "answer ok\n" % (ASK, EN[4031]) + before_end + "expect-box %s\\n\\n%s\\setup.exe\nanswer ok\n"
               "expect-enabled {CANCEL}\n%sexpect-text 202 %s\nclick {CANCEL}\n" % (EN[4032], cpath(p.inst), after_end, EN[4033]),
               args=["-remove", p.key])
    check(rc == 0, "rc %d" % rc)
    check(temp_copies() == before, "no copy in the temporary folder")
    check(p.exists("readme.txt", "prog.exe") == [], "removed in place")
    check(p.exists("setup.exe") == ["setup.exe"], "the running program stays")
    check(not p.key_exists(UNINSTALL + p.key), "uninstall key removed")
    p.cleanup()


def case_missing():
    p = Product("BriselUn_missing", path="")
    rc = p.run("expect-box Tool Uninstall\nexpect-box %s\nanswer ok\n" % EN[4030], args=["-remove", p.key])
    check(rc == 0, "empty UninstallPath: rc %d" % rc)
    rc = p.run("expect-box BriselUn_nosuchkey Uninstall\nexpect-box %s\nanswer ok\n" % EN[4030],
               args=["-remove", "BriselUn_nosuchkey"])
    check(rc == 0, "no record: rc %d" % rc)
    check(p.exists(*LISTED) == list(LISTED), "nothing deleted")
    wine("reg", "delete", UNINSTALL + "BriselUn_nosuchkey", "/f")
    p.cleanup()


def case_options():
    p = Product("BriselUn_options")
    ask = EN[2999].replace("$PROGRAM", "Tool").split("\n")[0]
    rc = p.run("""expect-dialog 2013
click {NEXT}
expect-dialog 2014
check 222
click {BACK}
expect-box %s
answer no
expect-dialog 2014
expect-checked 222
click {NEXT}
expect-box Tool Uninstall
expect-box %s
answer yes
expect-box %s
answer yes
expect-box %s
answer yes
expect-dialog 2090
expect-text 1001 feedback@halvo.example
expect-text 1003 Tool V2.5 uninstall
expect-text 1004
click {CANCEL}
expect-dialog 2015
expect-enabled {CANCEL}
click {CANCEL}
""" % (ask, ask,
       EN[3004].replace("$PROGRAM", "Tool"), EN[3001].split("\n")[0]), args=["-remove", p.key, "-final"])
    check(rc == 0, "rc %d" % rc)
    check(not os.path.exists(p.inst), "remove everything after the questions")
    # Back with "remove everything" asked 2999 and, on No, ran the page again.
    log = p.log()
    check(log.count("N 4 12 1 1 1 0") == 1 and log.count("N 5 12 1 1 1 10781") == 1, "options page: %s" % log)
    p.cleanup()


def case_keys():
    p = Product("BriselUn_keys")
    rc = p.run("""expect-dialog 2013
click {NEXT}
expect-dialog 2014
click {NEXT}
expect-dialog 2015
expect-disabled {CANCEL}
key ENTER
key ESC
close
expect-dialog 2015
expect-disabled {NEXT}
race-click {CANCEL}
""", args=["-remove", p.key, "-final"], extra={"BRISEL_HOOKSLEEP": "3000"})
    check(rc == 0, "rc %d" % rc)
    log = p.log()
    check(log.count("N 4 7 1 1 1 0") == 1 and log.count("N 5 7 1 1 1 0") == 1, "the removal page ran once: %s" % log)
    check(log[-1:] == ["N 3 0 0 0 0 0"], "the wizard ended: %s" % log[-1:])
    check(not p.key_exists(UNINSTALL + p.key), "removal done")
    p.cleanup()


class Relay:
    """A small SMTP relay on loopback that records one mail."""

    def __init__(self, rcpt_reply="250 ok"):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(2)
        self.sock.settimeout(120)
        self.port = self.sock.getsockname()[1]
        self.rcpt_reply = rcpt_reply
        self.commands = []
        self.data = ""
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            c, _ = self.sock.accept()
        except OSError:
            return
        c.settimeout(60)
        f = c.makefile("rb")
        c.sendall(b"220 relay.test\r\n")
        try:
            while True:
                line = f.readline().decode("latin-1")
                if not line:
                    break
                line = line.rstrip("\r\n")
                self.commands.append(line)
                verb = line[:4].upper()
                if verb == "RCPT":
                    c.sendall(self.rcpt_reply.encode() + b"\r\n")
                    if not self.rcpt_reply.startswith("2"):
                        continue
                elif verb == "DATA":
                    c.sendall(b"354 go\r\n")
                    while True:
                        d = f.readline().decode("latin-1")
                        if not d or d == ".\r\n":
                            break
                        self.data += d
                    c.sendall(b"250 queued\r\n")
                elif verb == "QUIT":
                    c.sendall(b"221 bye\r\n")
                    break
                else:
                    c.sendall(b"250 ok\r\n")
        except OSError:
            pass
        c.close()


def case_mail():
    relay = Relay()
    p = Product("BriselUn_mail", email="fb@example.test;127.0.0.1:%d" % relay.port)
    rc = p.run("""expect-dialog 2013
expect-disabled 110
type 202 Too slow for me
expect-enabled 110
click 110
expect-dialog 2090
expect-text {CANCEL} Cancel
expect-text 1001 fb@example.test
expect-text 1002 anonymous
expect-text 1003 Tool V2.5 uninstall
expect-text 1004 Too slow for me
click 1009
expect-box Internet Connection
answer ok
expect-box Your mail has been sent. Thank you!
answer ok
expect-text {CANCEL} Done
expect-disabled 1009
click {CANCEL}
expect-dialog 2013
""" + walk(everything=True, mail_offered=True)[len("expect-dialog 2013\n"):].replace("expect-disabled 110\n", "")
               + "click {CANCEL}\n", args=["-remove", p.key, "-final"])
    check(rc == 0, "rc %d" % rc)
    relay.thread.join(10)
    check("MAIL FROM:<fb@example.test>" in relay.commands, "envelope: %s" % relay.commands)
    check("Subject: Tool V2.5 uninstall\r\n" in relay.data and "From: anonymous\r\n" in relay.data,
          "headers: %r" % relay.data[:200])
    check("\r\n\r\nToo slow for me\r\n" in relay.data, "the feedback text arrived: %r" % relay.data)
    check(not os.path.exists(p.inst), "removal went on after the mail; 3004 not asked again")
    p.cleanup()


def case_mailgerman():
    relay = Relay("550 No such user")
    p = Product("BriselUn_mailde", email="fb@example.test;127.0.0.1:%d" % relay.port)
    error = "Es ist ein Fehler aufgetreten (550 No such user)."
    rc = p.run("""expect-dialog 2013
type 202 Zu langsam
click 110
expect-dialog 2090
expect-text {CANCEL} Abbruch
click 1009
expect-box Internet Verbindung
answer ok
expect-box %s
expect-box %s
answer ok
expect-text 1005 Fehler: 550 No such user
expect-enabled 1009
expect-text {CANCEL} Fertig
click {CANCEL}
expect-dialog 2013
click {CANCEL}
expect-box %s
answer no
""" % (DE[2995], error, DE[2997].split("\n")[0]), args=["-remove", p.key, "-final"], lang="de_DE.UTF-8")
    check(rc == 0, "rc %d" % rc)
    check(p.key_exists(UNINSTALL + p.key) and p.exists(*LISTED) == list(LISTED), "cancelled: nothing removed")
    p.cleanup()


def case_nomail():
    # A target without ";" has no relay: the send button shows no dialog.
    p = Product("BriselUn_nomail", email="fb@example.test")
    rc = p.run("""expect-dialog 2013
type 202 hello there
click 110
wait 500
expect-dialog 2013
click {CANCEL}
answer no
""", args=["-remove", p.key, "-final"])
    check(rc == 0, "no mail dialog, rc %d" % rc)
    p.cleanup()


# ---------------------------------------------------------------- after a real install

def reg_value(key, name):
    """The text of a REG_SZ value, or None when it is missing."""
    r = wine("reg", "query", key, "/v", name)
    if r.returncode != 0:
        return None
    for line in r.stdout.decode("latin-1").replace("\r\n", "\n").splitlines():
        m = re.match(r"\s+(.*?)\s+(REG_\w+)(?:\s{4}(.*))?$", line)
        if m and m.group(1) == name:
            return m.group(3) or ""
    return None


def unix(path):
    """The file below drive_c that a C: path names."""
    check(path is not None and path[:3].upper() == "C:\\", "a path on C:: %r" % path)
    return os.path.join(DRIVE, *path[3:].split("\\")) if path else DRIVE


def run_to_files(cmd, folder, name, extra=None, cwd=None):
    """Runs a Wine program with its output in files: a window it opens may outlive it
    and would hold a pipe open."""
    out, err = os.path.join(folder, name + ".out"), os.path.join(folder, name + ".err")
    with open(out, "wb") as o, open(err, "wb") as e:
        try:
            p = subprocess.run([WINE] + cmd, env=env(extra), stdout=o, stderr=e, cwd=cwd, timeout=240)
            rc = p.returncode
        except subprocess.TimeoutExpired:
            check(False, "%s did not end" % name)
            rc = -1
    print("%s rc=%d: %s" % (name, rc, open(err, encoding="latin-1").read().strip()[-500:]))
    return rc


class Installed(Product):
    """A test product that setup.exe installs from a distribution folder, started once
    afterwards as its user would (application data, own keys, autostart, files of the user)."""

    PAYLOAD = {"prog.exe": b"MZ prog", "readme.txt": b"read me\r\n", "Prog.cfg": b"[x]\r\n",
               "data/user.ini": b"[user]\r\n", "data/other.dat": b"\x00\x01", "sub/deep.txt": b"deep"}

    def __init__(self, key, root="Halvo", many=0):
        self.key, self.root = key, root
        self.base = os.path.join(DRIVE, "t", CASE)
        shutil.rmtree(self.base, ignore_errors=True)
        self.dist = os.path.join(self.base, "dist")
        self.inst = os.path.join(self.base, "Tool Folder")
        self.appdata = os.path.join(self.base, "appdata")
        self.hooklog = os.path.join(self.base, "hooklog.txt")
        self.group_name = "Brisel Removal " + CASE
        os.makedirs(self.dist)
        self.modules = sorted(n for n in os.listdir(BINDIR) if n.lower().startswith("setup") and n.lower().endswith(".dll"))
        for n in ["setup.exe"] + self.modules:
            shutil.copy(os.path.join(BINDIR, n), self.dist)
        shutil.copy(HOOK, os.path.join(self.dist, "SETUPHOOK.DLL"))
        # The payload carries the program and its modules, so that the uninstall finds them;
        # with many small files they come first, as a vendor packs for an install that may be cut short.
        self.programs = ["setup.exe", "SETUPHOOK.DLL"] + self.modules
        with zipfile.ZipFile(os.path.join(self.dist, "setup.fil"), "w", zipfile.ZIP_DEFLATED) as z:
            if many:
                for n in self.programs:
                    z.write(os.path.join(self.dist, n), n)
            for name, data in self.PAYLOAD.items():
                z.writestr(name, data)
            for i in range(many):
                z.writestr("many/%04d.txt" % i, b"%d" % i)
            if not many:
                for n in self.programs:
                    z.write(os.path.join(self.dist, n), n)
        cfg = """AppName=Tool
AppVersion=2.5
IniKey=%s
InstallPath=*%s
NoFinalPopup=1
ProtectedFiles=data/user.ini
StartmenuName=%s
StartmenuOpts=BriselRm Tool;*prog.exe;/x;prog.exe:0|BriselRm Home;https://example.com/tool
StartmenuUninstall=1
DesktopIcon=2
""" % (key, cpath(self.inst).replace("\\", "\\\\"), self.group_name)
        with open(os.path.join(self.dist, "setup.cfg"), "w", encoding="cp1252", newline="\r\n") as f:
            f.write(cfg)

    def install(self, killed=False):
        script = os.path.join(self.base, "install.script")
        e2elib.write_script(script, """expect-dialog 2001
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
click {NEXT}
expect-dialog 2004
expect-enabled {NEXT}
click {NEXT}
expect-dialog 2005
expect-checked 221
expect-checked 241
click {NEXT}
expect-dialog 2009
click {CANCEL}
""")
        if killed:
            return self.killed(script)
        try:
            rc = run_to_files([os.path.join(self.dist, "setup.exe"), "/SCRIPT:" + cpath(script)], self.base, "install",
                              extra={"BRISEL_HOOKLOG": cpath(os.path.join(self.base, "installhook.txt"))}, cwd=self.dist)
        finally:
            e2elib.close_folder_windows(self.group_name)
        check(rc == 0, "install rc %d" % rc)
        check(e2elib.wait_programs_gone(PREFIX, self.group_name), "the program group's folder window ended")
        shells = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
        self.desktop = unix(reg_value(shells, "Desktop"))
        self.group = os.path.join(unix(reg_value(shells, "Programs")), self.group_name)
        self.menu = ["BriselRm Tool.LNK", "BriselRm Home.URL", "Uninstall Tool.LNK"]
        # What the install left is what the uninstall is checked against.
        for name, data in self.PAYLOAD.items():
            path = os.path.join(self.inst, name)
            check(os.path.exists(path) and open(path, "rb").read() == data, "installed: %s" % name)
        check(self.exists(*self.programs) == self.programs, "program and modules installed")
        check(sorted(os.listdir(self.group)) == sorted(self.menu) if os.path.isdir(self.group) else False,
              "program group made: %s" % (os.listdir(self.group) if os.path.isdir(self.group) else None))
        check(os.path.exists(os.path.join(self.desktop, "BriselRm Tool.LNK")), "desktop shortcut made")
        self.command = reg_value(UNINSTALL + self.key, "UninstallString")
        check(self.command == '"%s\\Setup.exe" -remove "%s"' % (cpath(self.inst), self.key),
              "UninstallString registered: %r" % self.command)
        if failures:
            self.cleanup()
            sys.exit(1)

    def killed(self, script):
        """Starts the install and kills it once the program and a part of the files are in."""
        with open(os.path.join(self.base, "install.out"), "wb") as out:
            proc = subprocess.Popen([WINE, os.path.join(self.dist, "setup.exe"), "/SCRIPT:" + cpath(script)],
                                    env=env(), cwd=self.dist, stdout=out, stderr=subprocess.STDOUT)
            enough = len(self.programs) + 100
            deadline = time.time() + 180
            while proc.poll() is None and time.time() < deadline:
                if os.path.isdir(self.inst) and sum(len(f) for _, _, f in os.walk(self.inst)) >= enough:
                    break
                time.sleep(0.02)
            running = proc.poll() is None
            subprocess.run([WINE, "--kill"], env=env(), timeout=60)
            proc.wait(60)
        installed = sum(len(f) for _, _, f in os.walk(self.inst)) if os.path.isdir(self.inst) else 0
        print("killed after %d files" % installed)
        check(running and installed < len(self.programs) + len(self.PAYLOAD) + 400, "killed in the middle of the copy")
        check(self.exists(*self.programs) == self.programs, "the program and its modules were in")

    def use(self):
        """What the product and its user add once it runs."""
        write(os.path.join(self.inst, "mine.txt"))
        write(os.path.join(self.inst, "data", "mine.dat"))
        write(os.path.join(self.appdata, "settings.ini"))
        write(os.path.join(self.appdata, "logs", "today.log"))
        write(os.path.join(self.desktop, "BriselRm Other.LNK"))
        lines = ["REGEDIT4", "",
                 "[HKEY_CURRENT_USER\\Software\\%s\\%s]" % (self.root, self.key),
                 '"ApplicationDataDir"=' + regstr(cpath(self.appdata)),
                 "", "[HKEY_CURRENT_USER\\Software\\%s\\%s\\Options]" % (self.root, self.key), '"Colour"="blue"',
                 "", "[HKEY_LOCAL_MACHINE\\Software\\%s\\%s]" % (self.root, self.key), '"Installed"="1"',
                 "", "[HKEY_CURRENT_USER\\Software\\%s\\BriselNeighbour]" % self.root, '"Stay"="1"',
                 "", "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
                 "%s=%s" % (regstr(self.key), regstr(cpath(os.path.join(self.inst, "prog.exe")))), ""]
        regfile = os.path.join(self.base, "use.reg")
        with open(regfile, "w", newline="\r\n") as f:
            f.write("\n".join(lines))
        r = wine("reg", "import", cpath(regfile))
        check(r.returncode == 0 and len(self.own_keys()) == 2 and self.run_value(), "the product's own keys written")

    def uninstall(self, script, name):
        """Starts the registered UninstallString with /SCRIPT: appended."""
        sfile = os.path.join(self.base, name + ".script")
        e2elib.write_script(sfile, script)
        return run_to_files([UNINSTRUN, self.key, "/SCRIPT:" + cpath(sfile)], self.base, name,
                            extra={"BRISEL_HOOKLOG": cpath(self.hooklog)}, cwd=DRIVE)

    def check_removed(self, what):
        check(not os.path.exists(self.group), "%s: program group removed with its shortcuts" % what)
        check(not os.path.exists(os.path.join(self.desktop, "BriselRm Tool.LNK")), "%s: desktop shortcut removed" % what)
        check(os.path.exists(os.path.join(self.desktop, "BriselRm Other.LNK")), "%s: other desktop file stays" % what)
        check(not self.key_exists(UNINSTALL + self.key), "%s: uninstall key removed" % what)
        check(not self.run_value(), "%s: autostart value removed" % what)
        check(self.key_exists("HKCU\\Software\\%s\\BriselNeighbour" % self.root), "%s: other products' keys stay" % what)

    def cleanup(self):
        super().cleanup()
        for n in ("BriselRm Tool.LNK", "BriselRm Other.LNK"):
            if os.path.exists(os.path.join(self.desktop, n)):
                os.unlink(os.path.join(self.desktop, n))
        shutil.rmtree(self.group, ignore_errors=True)


def case_installedkeep():
    p = Installed("BriselRm keep")
    p.install()
    p.use()
    installed = list(p.PAYLOAD) + p.programs
    # Answered No: nothing changes, nothing restarts.
    before = temp_copies()
    rc = p.uninstall("expect-box %s\nanswer no\n" % ASK, "no")
    check(rc == 0, "No: rc %d" % rc)
    check(p.exists(*installed) == installed, "No: every file stays")
    check(p.key_exists(UNINSTALL + p.key) and p.run_value() and os.path.isdir(p.group), "No: entries stay")
    check(temp_copies() == before and p.log() == [], "No: no restart")
    # Answered Yes: the restarted copy keeps the data.
    marker = os.path.join(p.base, "marker.png")
    second = p.script("second.script", walk() + "screenshot %s\nclick {CANCEL}\n" % cpath(marker))
    rc = p.uninstall("expect-box %s\nhandover %s\nanswer yes\n" % (ASK, second), "yes")
    check(rc == 0, "first copy rc %d" % rc)
    wait_restarted(p, marker)
    new = temp_copies() - before
    check(len(new) == 1, "one new folder in the temporary folder: %s" % new)
    for d in new:
        check(sorted(os.listdir(d)) == sorted(p.programs), "program and modules copied: %s" % os.listdir(d))
    gone = [n for n in installed if n != "data/user.ini"]
    check(p.exists(*gone) == [], "recorded files deleted: %s left" % p.exists(*gone))
    kept = ["data/user.ini", "mine.txt", "data/mine.dat"]
    check(p.exists(*kept) == kept, "protected and unlisted files stay: %s" % p.exists(*kept))
    check(os.path.isdir(os.path.join(p.inst, "sub")), "the folders stay")
    check(os.path.exists(os.path.join(p.appdata, "logs", "today.log")), "application data stays")
    check(len(p.own_keys()) == 2, "product keys stay: %s" % p.own_keys())
    p.check_removed("keep")
    log = p.log()
    check(log[:1] == ["N 2 0 1 0 0 BriselRm keep"] and "N 8 0 1 1 0 0" in log and "S 2 " + cpath(p.inst) in log
          and log[-1:] == ["N 3 0 0 0 0 0"], "the installed hook library ran in the copy: %s" % log)
    p.cleanup()


def case_installedall():
    p = Installed("Fernwall Removal Test", root="Tessaly")
    p.install()
    p.use()
    marker = os.path.join(p.base, "marker.png")
    second = p.script("second.script", walk(everything=True) + "expect-text 202 %s\nexpect-hidden 201\n"
                      "screenshot %s\nclick {CANCEL}\n" % (EN[2939], cpath(marker)))
    rc = p.uninstall("expect-box %s\nhandover %s\nanswer yes\n" % (ASK, second), "yes")
    check(rc == 0, "first copy rc %d" % rc)
    wait_restarted(p, marker)
    check(not os.path.exists(p.inst), "install tree deleted")
    check(not os.path.exists(p.appdata), "application-data tree deleted")
    check(os.path.isdir(p.dist), "the distribution folder beside it stays")
    check(p.own_keys() == [], "Software\\Tessaly keys deleted in both roots: %s" % p.own_keys())
    p.check_removed("everything")
    check("N 8 0 1 1 0 1" in p.log(), "event 8 with the choice 1: %s" % p.log())
    p.cleanup()


def case_installedkilled():
    # An install killed while copying leaves its uninstall entry, written
    # before the first file, and that entry removes what is on disk.
    p = Installed("BriselRm killed", many=400)
    p.install(killed=True)
    check(reg_value(UNINSTALL + p.key, "UninstallPath") == cpath(p.inst), "the entry knows the install folder")
    check(reg_value(UNINSTALL + p.key, "UninstallFiles") == "", "no archive was complete")
    marker = os.path.join(p.base, "marker.png")
    second = p.script("second.script", walk(everything=True) + "screenshot %s\nclick {CANCEL}\n" % cpath(marker))
    rc = p.uninstall("expect-box %s\nhandover %s\nanswer yes\n" % (ASK, second), "yes")
    check(rc == 0, "first copy rc %d" % rc)
    wait_restarted(p, marker)
    check(not os.path.exists(p.inst), "nothing of the product is left")
    check(not p.key_exists(UNINSTALL + p.key), "the uninstall entry is gone")
    check(os.path.isdir(p.dist), "the distribution folder stays")
    p.desktop, p.group = desktop_folder(), os.path.join(p.base, "no group")
    p.cleanup()


# ---------------------------------------------------------------- unattended

SAMPLE = os.path.join(os.path.dirname(os.path.abspath(LANGDIR)), "sample")
WINWATCH = os.path.join(os.path.dirname(UNINSTRUN), "winwatch.exe") if UNINSTRUN else None
NOTELY = "HalvoNotely"


class Silent:
    """The sample product's distribution folder (setup.exe, its modules, the
    packed setup.fil and the sample's files), run silently under winwatch."""

    def __init__(self):
        self.base = os.path.join(DRIVE, "t", CASE)
        shutil.rmtree(self.base, ignore_errors=True)
        self.dist = os.path.join(self.base, "dist")
        self.inst = os.path.join(self.base, "Notely Folder")
        self.log = os.path.join(self.base, "install.log")
        os.makedirs(self.dist)
        for n in os.listdir(BINDIR):
            if n.lower() == "setup.exe" or (n.lower().startswith("setup") and n.lower().endswith(".dll")):
                shutil.copy(os.path.join(BINDIR, n), self.dist)
        shutil.copy(os.path.join(BINDIR, "..", "sample", "setup.fil"), self.dist)
        for n in ("setup.cfg", "README.TXT", "LICENSE.TXT", "LIZENZ.TXT", "advert.cfg"):
            shutil.copy(os.path.join(SAMPLE, n), self.dist)
        # The prefix has no drive for the build folder: the watcher and its hook library run from C:.
        self.watcher = os.path.join(self.base, "watch")
        os.makedirs(self.watcher)
        for n in ("winwatch.exe", "winwatchhook.dll", "uninstrun.exe"):
            shutil.copy(os.path.join(os.path.dirname(WINWATCH), n), self.watcher)
        wine("reg", "delete", UNINSTALL + NOTELY, "/f")
        self.runs = 0

    def run(self, *args, program=None, runner=None):
        """(exit code, windows the run's processes created) of setup.exe of the
        distribution (or program, or the runner helper) with args."""
        self.runs += 1
        name = "run%d" % self.runs
        report = os.path.join(self.base, name + ".windows")
        target = cpath(os.path.join(self.watcher, runner) if runner else program or os.path.join(self.dist, "setup.exe"))
        watch = os.path.join(self.watcher, "winwatch.exe")
        rc = run_to_files([watch, cpath(report), target] + list(args), self.base, name, cwd=self.dist)
        windows = open(report).read().splitlines() if os.path.exists(report) else []
        return rc, windows

    def logged(self):
        return open(self.log, encoding="cp1252").read().splitlines() if os.path.exists(self.log) else []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()

    def cleanup(self):
        wine("reg", "delete", UNINSTALL + NOTELY, "/f")
        shells = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
        shutil.rmtree(os.path.join(unix(reg_value(shells, "Programs")), "Notely"), ignore_errors=True)
        shutil.rmtree(self.base, ignore_errors=True)


def case_installedsilent():
    with Silent() as s:
        silent_roundtrip(s)


def silent_roundtrip(s):
    dest = cpath(s.inst)
    # A fresh install into a given folder: no window at all, the files and entries of a normal install.
    rc, windows = s.run("/SILENT", "/ACCEPTLICENCE", "/DIR:" + dest, "/INSTALLLOG:" + cpath(s.log))
    check(rc == 0, "silent install rc %d" % rc)
    check(windows == [], "no window created by the silent install: %s" % windows)
    payload = {"setup.exe": os.path.join(BINDIR, "setup.exe"), "README.TXT": os.path.join(SAMPLE, "README.TXT")}
    for n in os.listdir(BINDIR):
        if n.lower().startswith("setup") and n.lower().endswith(".dll"):
            payload[n] = os.path.join(BINDIR, n)
    for root, _, files in os.walk(os.path.join(SAMPLE, "payload")):
        for f in files:
            rel = os.path.relpath(os.path.join(root, f), os.path.join(SAMPLE, "payload")).replace(os.sep, "/")
            payload[rel] = os.path.join(root, f)
    for rel, source in payload.items():
        path = os.path.join(s.inst, *rel.split("/"))
        if rel == "install.tmp":
            check(not os.path.exists(path), "DeleteAfterExtract removed install.tmp")
        else:
            check(os.path.exists(path) and open(path, "rb").read() == open(source, "rb").read(), "installed: %s" % rel)
    key = UNINSTALL + NOTELY
    command = '"%s\\Setup.exe" -remove "%s"' % (dest, NOTELY)
    check(reg_value(key, "UninstallString") == command, "UninstallString %r" % reg_value(key, "UninstallString"))
    check(reg_value(key, "QuietUninstallString") == command + " /SILENT",
          "QuietUninstallString %r" % reg_value(key, "QuietUninstallString"))
    check(reg_value(key, "UninstallPath") == dest and reg_value(key, "DisplayVersion") == "1.2", "entry of the product")
    files = reg_value(key, "UninstallFiles") or ""
    check(sorted(files.split("|")[1:]) == sorted(payload), "every file recorded: %r" % files)
    group = unix(reg_value(key, "UninstallStartmenu"))
    check(sorted(os.listdir(group)) == ["Notely notes.LNK", "Read me.LNK", "Uninstall Notely.LNK"] if os.path.isdir(group)
          else False, "the program group with its shortcuts: %s" % group)
    log = s.logged()
    stamp = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d "
    check(log and all(re.match(stamp, line) for line in log), "every log line has its time: %s" % log[:3])
    text = "\n".join(line[20:] for line in log)
    check("Destination: " + dest in text, "the log names the destination")
    for rel in payload:
        check("File installed: %s\\%s" % (dest, rel.replace("/", "\\")) in text, "log: installed %s" % rel)
    check("QuietUninstallString = " + command + " /SILENT" in text and "Shortcut created: " in text
          and "Folder created: " + dest in text, "log: registry values, shortcuts, folders")
    check(log[-1:] and log[-1].endswith("Result: 0, done"), "log ends with the result: %s" % log[-1:])

    # The watcher sees windows where there are some: /PROGRESS shows its window.
    # A reinstall keeps the earlier folder, and the newer settings file the user changed.
    settings = os.path.join(s.inst, "notely.ini")
    write(settings, "[mine]")
    rc, windows = s.run("/SILENT", "/PROGRESS", "/ACCEPTLICENCE", "/DIR:C:\\elsewhere", "/INSTALLLOG:" + cpath(s.log))
    check(rc == 0, "reinstall with /PROGRESS rc %d" % rc)
    check(any("msctls_progress32" in w for w in windows), "the watcher saw the progress window: %s" % windows)
    check(open(settings).read() == "[mine]", "the newer settings file is kept")
    text = "\n".join(s.logged())
    check("is installed: reinstall" in text and "/DIR is not used" in text and "the file there is newer" in text,
          "log: reinstall, its folder and the default answer")

    # The silent removal as deployment tools start it: the restarted copy too opens no window.
    rc, windows = s.run("--quiet", NOTELY, "/INSTALLLOG:" + cpath(s.log), runner="uninstrun.exe")
    check(rc == 0, "silent removal rc %d" % rc)
    check(windows == [], "no window created by the removal: %s" % windows)
    left = sorted(os.path.relpath(os.path.join(r, f), s.inst) for r, _, fs in os.walk(s.inst) for f in fs)
    check(left == [os.path.join("docs", "welcome.txt")], "only the protected file is left: %s" % left)
    check(not p_key_exists(key) and not os.path.exists(group), "entry and program group removed")
    check(s.logged()[-1].endswith("Result: 0, done") and any("-final" in l for l in s.logged()),
          "the restarted copy logged the removal")


def p_key_exists(path):
    return wine("reg", "query", path).returncode == 0


def case_silentcodes():
    with Silent() as s:
        silent_codes(s)


def silent_codes(s):
    dest = cpath(s.inst)
    log = "/INSTALLLOG:" + cpath(s.log)

    def code(expected, *args, program=None, say=None):
        before = len(s.logged())
        rc, windows = s.run(*args, program=program)
        check(rc == expected and windows == [], "%s: rc %d (not %d), windows %s" % (args, rc, expected, windows))
        added = "\n".join(s.logged()[before:])
        check(say is None or say in added, "%s: the log says %r: %s" % (args, say, added[-300:]))

    code(1, "/SILENT", "/DIR:" + dest, log, say="Result: 1")
    code(2, "/SILENT", "/ACCEPTLICENCE", "/DIR", log, say="/DIR needs a value")
    code(2, "/SILENT", "/ACCEPTLICENSE", "/NOSHORTCUT", log, say="unknown switch /NOSHORTCUT")
    code(2, "/SILENT", "/ACCEPTLICENCE", "/DESKTOP", "/NODESKTOP", log, say="contradict")
    write(os.path.join(s.base, "afile"))
    code(4, "/SILENT", "/ACCEPTLICENCE", "/DIR:" + cpath(os.path.join(s.base, "afile", "x")), log, say="Result: 4")
    # A folder where a file has to go: No to the retry, and what was installed goes again.
    os.makedirs(os.path.join(s.inst, "notely.txt"))
    code(6, "/SILENT", "/ACCEPTLICENCE", "/DIR:" + dest, log, say="notely.txt")
    check(sorted(os.listdir(s.inst)) == ["notely.txt"] and reg_value(UNINSTALL + NOTELY, "UninstallPath") is None,
          "undone after the failure: %s" % os.listdir(s.inst))
    os.rmdir(os.path.join(s.inst, "notely.txt"))
    # Another setup of the product holds its lock: install and removal say so.
    holder = subprocess.Popen([WINE, HOLDFILE, "--mutex", "Global\\Halvo Setup " + NOTELY], env=env(),
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    check(holder.stdout.readline().strip() == b"held", "the product's lock held")
    code(7, "/SILENT", "/ACCEPTLICENCE", "/DIR:" + dest, log, say="already running")
    holder.stdin.close()
    holder.wait(60)
    with open(os.path.join(s.dist, "setup.fil"), "r+b") as f:
        f.seek(-200, 2)
        f.write(b"\0" * 200)
    code(5, "/SILENT", "/ACCEPTLICENCE", "/DIR:" + dest, log, say="Result: 5")
    os.unlink(os.path.join(s.dist, "setup.cfg"))
    code(3, "/SILENT", "/ACCEPTLICENCE", "/DIR:" + dest, log, say="setup.cfg is missing")
    code(3, "-remove", NOTELY, "/SILENT", log, say="Result: 3")
    # Without any language module: 99, and no box either.
    lone = os.path.join(s.base, "lone")
    os.makedirs(lone)
    shutil.copy(os.path.join(s.dist, "setup.exe"), lone)
    code(99, "/SILENT", "/ACCEPTLICENCE", program=os.path.join(lone, "setup.exe"))


prepare_prefix()
# A persistent Wine server: the many short "reg" runs of a case do not start one each.
subprocess.run([WINE, "--server"], env=env(), timeout=300)
try:
    globals()["case_" + CASE]()
finally:
    subprocess.run([WINE, "--kill"], env=env(), timeout=60)
if failures:
    print("%d check(s) failed" % len(failures), file=sys.stderr)
    sys.exit(1)
print("ok")
