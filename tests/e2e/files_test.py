#!/usr/bin/env python3
"""End-to-end runs of setup.exe's file installation under Wine: every case lays
out a distribution folder (setup.exe, the language modules, setup.cfg, the test
hook library and a setup.fil made here with zipfile), runs a scripted install
and compares the installed files with the archive's members, the uninstall
entry (read back with RegQueryValueExA) with the expected bytes and the bar
positions the hook recorded with the expected ones.

usage: files_test.py WINE-RUN BIN-DIR HOOK-DLL LANG-DIR REGREAD CASE
"""
import glob
import os
import shutil
import sys
import threading
import time
import zipfile

import e2elib
from e2elib import TO_DEST, check, reg, read_lines, run_setup, winpath, write_cfg

WINE, BINDIR, HOOK, LANGDIR, REGREAD, CASE = sys.argv[1:7]
e2elib.init(WINE, BINDIR)
sys.path.insert(0, LANGDIR)
import texts_english  # noqa: E402

EN = texts_english.STRINGS
KEYNAME = "BriselFiles_" + CASE
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
VALUES = ["DisplayName", "DisplayVersion", "DisplayIcon", "Publisher", "URLInfoAbout", "AppName", "Version",
          "UninstallString", "UninstallFiles", "UninstallPath", "UninstallProtect", "UninstallEmail"]


def make_zip(path, members, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method, compresslevel=1 if method == zipfile.ZIP_DEFLATED else None) as z:
        for name, data in members:
            if name.endswith("/"):
                z.writestr(zipfile.ZipInfo(name), b"")
            else:
                z.writestr(name, data)


CFG = """AppName=Tool
AppVersion=2.5
IniKey=%s
InstallPath=*@INST@
StartmenuName=Tool Group
UninstallIcon=tool.exe
NoFinalPopup=1
""" % KEYNAME


def layout(cfg, members, inst="inst", custom=None):
    """A distribution folder; the install folder does not exist yet."""
    folder = e2elib.distribution("brisel-files-", HOOK)
    if members is not None:
        make_zip(os.path.join(folder, "setup.fil"), members)
    if custom is not None:
        make_zip(os.path.join(folder, "custom.fil"), custom)
    instdir = os.path.join(folder, inst)
    write_cfg(folder, cfg, instdir)
    return folder, instdir


def run(folder, script):
    return run_setup(folder, script, timeout=540, script_timeout=30000)[0]


def lines(folder, name):
    return read_lines(folder, name) or []


def progress(folder):
    return [int(x) for x in lines(folder, "progress.txt")]


def positions(sizes):
    """The bar's positions for members of these sizes: the share of the bytes
    done after each member, each new one once, and 100 at the end."""
    total, done, shown, out = sum(sizes), 0, 0, []
    for size in sizes + [total]:
        done = min(done + size, total)
        percent = done * 100 // total
        if percent != shown:
            out.append(percent)
            shown = percent
    return out


def regvalues(names=VALUES):
    """name -> (type, bytes), or None when missing."""
    return e2elib.regread(REGREAD, UNINSTALL + KEYNAME, *names)


def regdelete():
    reg("delete", "HKLM\\" + UNINSTALL + KEYNAME, "/f")


def sz(text):
    return (1, text.encode("cp1252") + b"\0")


def expected_entry(inst, files, protect="", email=None, version="2.5"):
    w = winpath(inst)
    exp = {
        "DisplayName": sz("Tool Group"), "DisplayVersion": sz(version), "DisplayIcon": sz(w + "\\tool.exe"),
        "Publisher": sz("Halvo Software Works"), "URLInfoAbout": sz("http://www.halvo.com"),
        "AppName": sz("Tool"), "Version": sz(version),
        "UninstallString": sz('"%s\\Setup.exe" -remove "%s"' % (w, KEYNAME)),
        "UninstallFiles": sz("".join("|" + f for f in files)), "UninstallPath": sz(w),
        "UninstallProtect": sz(protect), "UninstallEmail": sz(email) if email is not None else None,
    }
    return exp


def check_entry(exp):
    got = regvalues()
    for name in VALUES:
        check(got.get(name, "absent") == exp[name], "%s: got %r, want %r" % (name, got.get(name), exp[name]))


def check_files(inst, members):
    for name, data in members:
        path = os.path.join(inst, name)
        if name.endswith("/"):
            check(os.path.isdir(path), "folder member %s created" % name)
        else:
            check(os.path.isfile(path) and open(path, "rb").read() == data, "member %s installed intact" % name)


TO_FILES = TO_DEST + """click {NEXT}
expect-dialog 2004
"""

# The same for an update of the version installed in the folder given.
UPDATE_TO_FILES = """expect-dialog 2001
expect-checked 223
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 %s
click {NEXT}
expect-dialog 2004
"""

# From a finished files page with NoCopyComplete 0 to the end of the wizard,
# without a program group (its folder window would hold the output pipes open).
# SPACE goes to the focused control: it must be Next.
FINISH = """expect-text 201 %s
expect-enabled {NEXT}
expect-enabled {CANCEL}
key SPACE
expect-dialog 2005
check 223
click {NEXT}
expect-dialog 2009
click {CANCEL}
""" % EN[2911]

# A failure answered with No: what was installed is gone again, the page says
# so and offers only Cancel, which ends Setup without a question.
ABORTED = """expect-text 201 %s
expect-disabled {BACK}
expect-disabled {NEXT}
expect-enabled {CANCEL}
click {CANCEL}
""" % EN[4015]

MEMBERS = [
    ("readme.txt", b"Read me\r\n"),
    ("data/", b""),
    ("data/user.ini", b"[user]\r\nname=\r\n"),
    ("a[1].txt", b"bracketed name"),
    ("a1.txt", b"a name the bracket pattern would match"),
    ("docs/manual with spaces.txt", b"manual " * 100),
    ("bin/tool.exe", bytes(range(256)) * 40),
]


def member_names(members):
    return [n for n, _ in members]


def case_fresh():
    # An install folder longer than 127 characters, names with "[".
    deep = "inst_" + "d" * 60 + "/" + "e" * 70
    cfg = CFG + "UninstallEmail=feedback@example.com;mail.example.com\n"
    folder, inst = layout(cfg, MEMBERS, inst=deep)
    check(len(winpath(inst)) > 127, "install folder is long")
    rc = run(folder, TO_FILES + FINISH)
    check(rc == 0, "fresh install ends with 0, not %d" % rc)
    check_files(inst, MEMBERS)
    check_entry(expected_entry(inst, member_names(MEMBERS), email="feedback@example.com;mail.example.com"))
    log = lines(folder, "hooklog.txt")
    w = winpath(inst)
    want = ["N 4 4 1 1 1 0", "N 6 0 1 1 0 0", "S 7 " + w, "N 7 0 1 1 0 0", "N 5 4 1 1 1 10781"]
    at = [log.index(x) if x in log else -1 for x in want]
    check(-1 not in at and at == sorted(at), "events 6 and 7 inside step 4: %s" % log)
    bar = progress(folder)
    check(bar == positions([len(d) for _, d in MEMBERS]) == [7, 100],
          "bar moves on each new percentage, ends at 100: %s" % bar)


def case_reinstall():
    cfg = CFG + "AskOverwrite=readme.txt;the Read-me file\n"
    folder, inst = layout(cfg, MEMBERS)
    rc = run(folder, TO_FILES + FINISH)
    check(rc == 0, "first install, rc %d" % rc)
    # Damage the install, then run the same version again.
    open(os.path.join(inst, "readme.txt"), "wb").write(b"changed by the user")
    os.remove(os.path.join(inst, "bin", "tool.exe"))
    rc = run(folder, """expect-dialog 2001
expect-checked 222
expect-disabled 223
click {NEXT}
expect-dialog 2002
expect-text 201 %s
click {NEXT}
expect-dialog 2004
expect-box The file the Read-me file already exists.
answer yes
""" % winpath(inst) + FINISH)
    check(rc == 0, "reinstall, rc %d" % rc)
    check_files(inst, MEMBERS)
    check_entry(expected_entry(inst, member_names(MEMBERS)))


def case_update():
    folder, inst = layout(CFG, MEMBERS, inst="fallback")
    old = os.path.join(folder, "old")
    os.makedirs(os.path.join(old, "bin"))
    open(os.path.join(old, "bin", "tool.exe"), "wb").write(b"version 2.0")
    open(os.path.join(old, "own.txt"), "wb").write(b"the user's own file")
    key = "HKLM\\" + UNINSTALL + KEYNAME
    reg("add", key, "/v", "UninstallPath", "/d", winpath(old), "/f")
    reg("add", key, "/v", "DisplayVersion", "/d", "2.0", "/f")
    rc = run(folder, UPDATE_TO_FILES % winpath(old) + FINISH)
    check(rc == 0, "update, rc %d" % rc)
    check_files(old, MEMBERS)
    check(open(os.path.join(old, "own.txt"), "rb").read() == b"the user's own file", "own file kept")
    check(not os.path.exists(inst), "nothing in the default folder")
    check_entry(expected_entry(old, member_names(MEMBERS)))


def case_custom():
    # custom.fil: after setup.fil, no bar movement, listed after it; a member
    # name longer than 149 characters; a custom member replacing a setup one.
    # Names stored with a backslash or with a character Windows refuses are installed
    # and recorded as they were made.
    setup = [("one.txt", b"1" * 50), ("win\\style.txt", b"back"), ("two.txt", b"2" * 146)]
    long_name = "custom/" + "n" * 170 + ".txt"
    custom = [(long_name, b"long"), ("one.txt", b"customised"), ("odd:name.txt", b"odd")]
    folder, inst = layout(CFG, setup, custom=custom)
    rc = run(folder, TO_FILES + FINISH)
    check(rc == 0, "rc %d" % rc)
    check_files(inst, [("win/style.txt", b"back"), ("two.txt", b"2" * 146), ("odd_name.txt", b"odd")]
                + custom[:2])
    check(progress(folder) == [25, 27, 100], "custom.fil leaves the bar alone: %s" % progress(folder))
    check_entry(expected_entry(inst, ["one.txt", "win/style.txt", "two.txt", long_name, "one.txt", "odd_name.txt"]))


def case_rules():
    members = [("data/user.ini", b"shipped settings"), ("data/fresh.ini", b"new"),
               ("readme.txt", b"new readme"), ("notes.txt", b"new notes"), ("other.txt", b"other")]
    protect = "Data\\user.ini|DATA\\FRESH.INI"
    cfg = CFG + ("ProtectedFiles=%s\nAskOverwrite=readme.txt;the Read-me file|notes.txt|data/user.ini;never asked"
                 "|other.txt;not there\nUninstallEmail=nobody\n") % protect.replace("\\", "\\\\")
    folder, inst = layout(cfg, members)
    os.makedirs(os.path.join(inst, "data"))
    for name, data in (("data/user.ini", b"mine"), ("readme.txt", b"old readme"), ("notes.txt", b"old notes")):
        open(os.path.join(inst, name), "wb").write(data)
    # Only readme.txt and notes.txt ask: user.ini is protected, fresh.ini and
    # other.txt do not exist yet. The install log of an interactive run says
    # what became of each file.
    installlog = os.path.join(folder, "install.log")
    rc = run_setup(folder, TO_FILES + """expect-box Replace File
expect-box The file the Read-me file already exists.
answer yes
expect-box The file notes.txt already exists.
answer no
""" + FINISH, args=["/INSTALLLOG:" + winpath(installlog)], timeout=540, script_timeout=30000)[0]
    check(rc == 0, "rc %d" % rc)
    w = winpath(inst)
    logged = [line[20:] for line in open(installlog, encoding="cp1252").read().splitlines()]
    for line in ("File kept: %s\\data\\user.ini (protected)" % w, "File installed: %s\\data\\fresh.ini" % w,
                 "File replaced: %s\\readme.txt" % w, "File kept: %s\\notes.txt" % w,
                 "File installed: %s\\other.txt" % w, "Result: 0, done"):
        check(line in logged, "install log: %r in %s" % (line, logged))
    got = {n: open(os.path.join(inst, n), "rb").read() for n, _ in members}
    check(got == {"data/user.ini": b"mine", "data/fresh.ini": b"new", "readme.txt": b"new readme",
                  "notes.txt": b"old notes", "other.txt": b"other"}, "overwrite rules: %s" % got)
    # Skipped members are still recorded; the protection list goes as written.
    check_entry(expected_entry(inst, member_names(members), protect=protect))


def case_unwritable():
    members = [("a.txt", b"a" * 10), ("readme.txt", b"r" * 10), ("z.txt", b"z" * 80)]
    folder, inst = layout(CFG, members)
    # A folder stands where a file must go: fails even as root. The question
    # names the file with its path (in two parts: a script reads "\r" as a CR).
    os.makedirs(os.path.join(inst, "readme.txt", "inside"))
    box = """expect-box The file %s\\
expect-box readme.txt could not be written. If Tool is running
""" % winpath(inst)
    rc = run(folder, TO_FILES + box + "answer yes\n" + box + "answer no\n" + ABORTED)
    check(rc == 0, "rc %d" % rc)
    check(not os.path.exists(os.path.join(inst, "a.txt")), "the file installed before the failure is gone again")
    check(os.path.isdir(os.path.join(inst, "readme.txt", "inside")), "what was there before stays")
    check(not os.path.exists(os.path.join(inst, "z.txt")), "members after the abort are not extracted")
    check(progress(folder) == [10, 0], "bar stopped at the first member: %s" % progress(folder))
    got = regvalues()
    check(all(got.get(n) is None for n in VALUES), "nothing registered: %s" % got)
    log = lines(folder, "hooklog.txt")
    check(not any(x.startswith("S 7") or x.startswith("N 7") for x in log), "no event 7: %s" % log)
    check(log[-2:] == ["N 5 4 1 1 1 0", "N 1 0 0 0 0 0"], "the files page ended Setup: %s" % log)


def case_missing():
    # Missing, empty and member-less setup.fil, and one with a member that would
    # land beside the install folder: a question that names the cause, then the
    # abort path.
    damaged = "The file setup.fil is damaged or is not a valid archive."
    for variant, box in (("missing", "The file setup.fil was not found."), ("empty", damaged),
                         ("nomembers", damaged),
                         ("hostile", "The archive setup.fil is damaged: the file .?./evil.txt cannot be unpacked.")):
        folder, inst = layout(CFG, None)
        if variant == "empty":
            open(os.path.join(folder, "setup.fil"), "wb").close()
        elif variant == "nomembers":
            make_zip(os.path.join(folder, "setup.fil"), [])
        elif variant == "hostile":
            # ".\x01." is ".." once the control character is dropped
            make_zip(os.path.join(folder, "setup.fil"), [("first.txt", b"1"), (".\x01./evil.txt", b"evil")])
        rc = run(folder, TO_FILES + """expect-box %s
answer no
""" % box + ABORTED)
        check(rc == 0, "%s: rc %d" % (variant, rc))
        got = regvalues()
        check(all(got.get(n) is None for n in VALUES), "%s: nothing registered: %s" % (variant, got))
        evil = [os.path.join(d, f) for d, _, fs in os.walk(folder) for f in fs if f == "evil.txt"]
        check(not evil, "%s: the hostile member is nowhere: %s" % (variant, evil))
        regdelete()


def case_copy():
    # CopyToDest after the archive, replacing an existing file, into a new
    # folder, and into a folder that cannot be made (a file has its name):
    # that one is reported at the end and not recorded. NoCopyComplete=1
    # moves on to the shortcuts page by itself.
    members = [("one.txt", b"1")]
    cfg = CFG + "CopyToDest=readme.txt||setup.exe|docs/readme.txt|blocked/copy.txt\nNoCopyComplete=1\n"
    folder, inst = layout(cfg, members)
    open(os.path.join(folder, "readme.txt"), "wb").write(b"loose readme")
    os.makedirs(os.path.join(folder, "docs"))
    os.makedirs(os.path.join(folder, "blocked"))
    open(os.path.join(folder, "docs", "readme.txt"), "wb").write(b"in docs")
    open(os.path.join(folder, "blocked", "copy.txt"), "wb").write(b"in blocked")
    os.makedirs(inst)
    open(os.path.join(inst, "readme.txt"), "wb").write(b"older")
    open(os.path.join(inst, "blocked"), "wb").write(b"a file, not a folder")
    # (not "readme.txt": in a box text the script reads "\r" as a line end)
    failed = winpath(os.path.join(inst, "blocked", "copy.txt"))
    rc = run(folder, TO_FILES.rsplit("expect-dialog 2004\n", 1)[0] + """expect-dialog 2005
check 223
click {NEXT}
expect-dialog 2009
click {CANCEL}
expect-box %s
expect-box \\n\\n%s
answer ok
""" % (EN[4012].replace("$PROGRAM", "Tool"), failed))
    check(rc == 0, "rc %d" % rc)
    check(open(os.path.join(inst, "readme.txt"), "rb").read() == b"loose readme", "readme.txt copied over")
    check(open(os.path.join(inst, "setup.exe"), "rb").read() == open(os.path.join(folder, "setup.exe"), "rb").read(),
          "setup.exe copied")
    check(open(os.path.join(inst, "docs", "readme.txt"), "rb").read() == b"in docs", "copied into a new folder")
    check(open(os.path.join(inst, "blocked"), "rb").read() == b"a file, not a folder", "the file in the way stays")
    check_entry(expected_entry(inst, ["one.txt", "readme.txt", "setup.exe", "docs/readme.txt"]))
    log = lines(folder, "hooklog.txt")
    check(log.count("N 5 4 1 1 1 10781") == 1 and log.count("N 4 5 1 1 1 0") == 1,
          "went on by itself, once: %s" % log)
    check(log[-1:] == ["N 1 1 0 0 0 1"], "the last event tells of one failed write: %s" % log[-1:])


def private_copies():
    """The folders in which setup.exe keeps copies of replaced files."""
    temp = e2elib.wine("cmd", "/c", "echo %TEMP%")[1].strip()
    unix = e2elib.wine("winepath", "-u", temp)[1].strip()
    return set(glob.glob(os.path.join(unix, "HalvoSetup-*"))) if unix else set()


def tree(folder):
    """Every file and folder below folder, relative, with "/"."""
    found = set()
    for base, dirs, files in os.walk(folder):
        for n in dirs + files:
            found.add(os.path.relpath(os.path.join(base, n), folder).replace(os.sep, "/"))
    return found


def case_cancel():
    # Cancel (here the close command) in the middle of a 20,000-member copy
    # (which takes a few seconds): Yes goes on, No stops after the current
    # member and undoes the install.
    members = [("many/%02d/f%04d.txt" % (i % 20, i), b"%d" % i) for i in range(20000)]
    folder, inst = layout(CFG, [])
    make_zip(os.path.join(folder, "setup.fil"), members)
    os.makedirs(os.path.join(inst, "many", "00"))
    open(os.path.join(inst, "many", "00", "f0000.txt"), "wb").write(b"the old one")
    open(os.path.join(inst, "own.txt"), "wb").write(b"the user's own")
    before = private_copies()
    continuing = EN[2987].split("\n")[1]
    rc = run(folder, TO_FILES + """wait 1000
close
expect-box %s
answer yes
expect-enabled {CANCEL}
wait 500
click {CANCEL}
expect-box %s
answer no
""" % (continuing, continuing))
    check(rc == 0, "rc %d" % rc)
    check(tree(inst) == {"own.txt", "many", "many/00", "many/00/f0000.txt"}, "only what was there before: %s"
          % sorted(tree(inst))[:10])
    check(open(os.path.join(inst, "many", "00", "f0000.txt"), "rb").read() == b"the old one", "the replaced file is back")
    got = regvalues()
    check(all(got.get(n) is None for n in VALUES), "nothing registered: %s" % got)
    log = lines(folder, "hooklog.txt")
    check(not any(x.startswith("S 7") or x.startswith("N 7") for x in log), "no event 7: %s" % log)
    check(log[-2:] == ["N 5 4 1 1 1 0", "N 1 0 0 0 0 0"], "ended through the cancel path: %s" % log[-2:])
    bar = progress(folder)
    check(len(bar) > 2 and max(bar) < 100, "stopped in the middle: %s" % bar[-3:])
    check(private_copies() == before, "the copies of replaced files are gone")

    # Cancel after the files are in an update: No keeps nothing; the earlier
    # version's files and uninstall entry come back.
    folder, inst = layout(CFG, [("tool.exe", b"new tool"), ("new.txt", b"new")])
    os.makedirs(inst)
    open(os.path.join(inst, "tool.exe"), "wb").write(b"old tool")
    key = "HKLM\\" + UNINSTALL + KEYNAME
    old = {"UninstallPath": winpath(inst), "DisplayVersion": "2.0", "UninstallFiles": "|tool.exe"}
    for name, value in old.items():
        reg("add", key, "/v", name, "/d", value, "/f")
    rc = run(folder, UPDATE_TO_FILES % winpath(inst) + """expect-text 201 %s
click {NEXT}
expect-dialog 2005
click {CANCEL}
expect-box %s
answer no
expect-box %s
answer no
""" % (EN[2911], continuing, EN[4014].replace("$PROGRAM", "Tool").split("\n")[0]))
    check(rc == 0, "update undone: rc %d" % rc)
    check(tree(inst) == {"tool.exe"} and open(os.path.join(inst, "tool.exe"), "rb").read() == b"old tool",
          "the earlier version's files are back: %s" % tree(inst))
    got = regvalues()
    want = {n: (sz(old[n]) if n in old else None) for n in VALUES}
    check(got == want, "the earlier entry is back: %s" % got)
    regdelete()


def case_progress():
    members = [("ten.txt", b"t" * 10), ("thirty.txt", b"h" * 30), ("sixty.txt", b"s" * 60)]
    folder, inst = layout(CFG, members)
    rc = run(folder, TO_FILES + FINISH)
    check(rc == 0, "rc %d" % rc)
    check(progress(folder) == positions([10, 30, 60]) == [10, 40, 100], "bar positions: %s" % progress(folder))


def case_race():
    # Next clicked the moment the worker enables it, in 16 runs (200 in the
    # long run). Back stays disabled once the files are in, so every run is a
    # process of its own; a few run side by side (the script acts on its own
    # process's windows).
    members = [("one.txt", b"1" * 100), ("two.txt", b"2" * 100)]
    loops = int(os.environ.get("BRISEL_RACE_RUNS", "16"))
    lanes = int(os.environ.get("BRISEL_RACE_LANES", "8"))
    script = TO_FILES + """race-click {NEXT}
expect-dialog 2005
check 223
click {NEXT}
expect-dialog 2009
click {CANCEL}
"""
    # Only one setup of a product runs at a time: each lane has a product of its own.
    folders = [layout(CFG.replace("IniKey=%s\n" % KEYNAME, "").replace("AppName=Tool\n", "AppName=Tool%d\n" % k),
                      members) for k in range(lanes)]
    results = [[] for _ in range(lanes)]

    def lane(k):
        for _ in range(k, loops, lanes):
            results[k].append(run(folders[k][0], script))

    start = time.time()
    threads = [threading.Thread(target=lane, args=(k,)) for k in range(lanes)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print("race: %d runs in %.1f s" % (loops, time.time() - start))
    codes = sum(results, [])
    check(len(codes) == loops and codes.count(0) == loops, "every run ended normally: %s" % codes)
    for k, (folder, inst) in enumerate(folders):
        log = lines(folder, "hooklog.txt")
        runs = len(results[k])
        check(log.count("N 5 4 1 1 1 10781") == runs, "lane %d: files page ended with Next %d times, not %d"
              % (k, log.count("N 5 4 1 1 1 10781"), runs))
        # A stale Next would move past the shortcuts page on its own.
        check(log.count("N 4 6 1 1 1 0") == runs and log.count("N 5 7 1 1 1 0") == runs,
              "lane %d: every run walked each page once" % k)
        check_files(inst, members)


def case_big():
    # 200 MB in 2,000 members of repeating data.
    count, size = 2000, 100 * 1000
    members = []
    for i in range(count):
        block = ("member %05d " % i).encode()
        members.append(("big/%02d/file%04d.dat" % (i % 20, i), (block * (size // len(block) + 1))[:size]))
    folder, inst = layout(CFG, [])
    make_zip(os.path.join(folder, "setup.fil"), members)
    start = time.time()
    rc = run(folder, TO_FILES + FINISH)
    print("big: install in %.1f s" % (time.time() - start))
    check(rc == 0, "rc %d" % rc)
    bar = progress(folder)
    check(bar == list(range(1, 101)), "each percentage once: %s" % bar[:10])
    for name, data in members[::97] + members[-1:]:
        path = os.path.join(inst, name)
        check(os.path.isfile(path) and open(path, "rb").read() == data, "member %s intact" % name)
    check(sum(len(fs) for _, _, fs in os.walk(inst)) == count, "every member installed")
    shutil.rmtree(folder, ignore_errors=True)


e2elib.run_case(globals(), CASE, cleanup=regdelete)
