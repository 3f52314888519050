#!/usr/bin/env python3
"""End-to-end runs of setup.exe's install wizard under Wine: every case lays out
a distribution folder (setup.exe, the language modules, setup.cfg and the test
hook library) in a temporary folder, runs setup.exe /SCRIPT:file and checks the
exit code, the events the hook recorded and the files left behind.

usage: install_test.py WINE-RUN BIN-DIR HOOK-DLL LANG-DIR REGREAD CASE
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

import e2elib
from e2elib import check, hooklog, reg, run_setup, winpath, write_cfg

WINE, BINDIR, HOOK, LANGDIR, REGREAD, CASE = sys.argv[1:7]
e2elib.init(WINE, BINDIR)
sys.path.insert(0, LANGDIR)
import texts_english  # noqa: E402
import texts_french  # noqa: E402
import texts_german  # noqa: E402
import texts_hungarian  # noqa: E402

EN = texts_english.STRINGS
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


def layout(cfg, hook=True):
    """A distribution folder with an install folder 'inst' holding two files."""
    folder = e2elib.distribution("brisel-e2e-", HOOK if hook else None)
    inst = os.path.join(folder, "inst")
    os.mkdir(inst)
    for name in ("temp1.txt", "keep.txt"):
        open(os.path.join(inst, name), "w").write("x")
    # A one-member payload, so that the files page can finish.
    with zipfile.ZipFile(os.path.join(folder, "setup.fil"), "w") as z:
        z.writestr("payload.txt", "payload")
    if cfg is not None:
        write_cfg(folder, cfg, inst)
    return folder


def run(folder, script, args=(), env=None, encoding="cp1252", cwd=None):
    return run_setup(folder, script, args=args, env=env, encoding=encoding, cwd=cwd)


CFG = """AppName=Tool
AppVersion=2.5
IniKey=BriselE2E_%s
InstallPath=*@INST@
WelcomeMsg=First line of the welcome\\r\\nSecond line
WelcomeMsg.GER=Erste Zeile\\nZweite Zeile
WelcomeMsg.FRA=Premi\xe8re ligne
DeleteAfterExtract=temp1.txt||missing.txt
""" % CASE


def steps_events(results):
    """Events 4 and 5 of the steps walked: (idstep, result) pairs."""
    lines = []
    for idstep, result in results:
        lines.append("N 4 %d 1 1 1 0" % idstep)
        lines.append("N 5 %d 1 1 1 %d" % (idstep, result))
    return lines


START = ["S 0 (null)", "N 0 9 0 0 0 1"]


def heads(n, texts=EN):
    return "expect-text {HEADING} %s\nexpect-text {DESCRIPTION} %s\n" % (texts[n], texts[n + 1])


def case_pages():
    folder = layout(CFG)
    inst = winpath(os.path.join(folder, "inst"))
    rc, err = run(folder, """expect-dialog 2001
expect-text {HEADING} %sTool 2.5
expect-text {DESCRIPTION} First line of the welcome
expect-hidden {BACK}
expect-checked 221
expect-disabled 222
expect-disabled 223
click {NEXT}
expect-dialog 2003
%sexpect-disabled {NEXT}
expect-enabled {BACK}
check 241
expect-enabled {NEXT}
uncheck 241
expect-disabled {NEXT}
check 241
click {NEXT}
expect-dialog 2002
%sexpect-text 201 %s
expect-enabled 201
click {NEXT}
expect-dialog 2004
%sclick {NEXT}
expect-dialog 2005
%sclick {NEXT}
expect-dialog 2009
expect-text {HEADING} %s
expect-hidden {NEXT}
expect-hidden {BACK}
expect-text {CANCEL} %s
click {CANCEL}
expect-box Tool Setup
expect-box Tool has been installed successfully.
answer ok
""" % (EN[2912], heads(2904), heads(2902), inst, heads(2906), heads(2916), EN[2918], EN[3000]))
    check(rc == 0, "completed install ends with 0, not %d" % rc)
    events = steps_events([(i, 10781) for i in range(1, 7)] + [(7, 0)])
    # The files worker's events come inside step 4.
    events[7:7] = ["N 6 0 1 1 0 0", "S 7 " + inst, "N 7 0 1 1 0 0"]
    expected = START + events + ["S 1 " + inst, "N 1 1 0 0 0 0"]
    check(hooklog(folder) == expected, "hook events of a completed install: %s" % hooklog(folder))
    check(not os.path.exists(os.path.join(folder, "inst", "temp1.txt")), "DeleteAfterExtract file is gone")
    check(os.path.exists(os.path.join(folder, "inst", "keep.txt")), "other files stay")
    check(open(os.path.join(folder, "inst", "payload.txt")).read() == "payload", "payload installed")
    # The product's uninstall key exists from the start of the run on.
    check(reg("query", UNINSTALL + "BriselE2E_pages") == 0, "uninstall key created")


def case_keys():
    folder = layout(CFG + "NoFinalPopup=1\n")
    rc, err = run(folder, """expect-dialog 2001
key ENTER
expect-dialog 2003
key ENTER
wait 300
expect-dialog 2003
expect-disabled {NEXT}
check 241
key ENTER
expect-dialog 2002
key ENTER
expect-dialog 2004
# until the files are in, Cancel has the focus
expect-enabled {NEXT}
key ENTER
expect-dialog 2005
key ENTER
expect-dialog 2009
key ENTER
""")
    # NoFinalPopup: no box after the last page, so the run ends by itself.
    check(rc == 0, "Enter walks the wizard to its end, rc %d" % rc)
    log = hooklog(folder) or []
    check(log[-1:] == ["N 1 1 0 0 0 0"], "the wizard completed: %s" % log[-3:])
    # Enter on the licence page without acceptance did not end the page.
    check(log.count("N 5 2 1 1 1 10781") == 1 and "N 5 2 1 1 1 0" not in log, "licence page ended once: %s" % log)


def case_close():
    # The close command is Cancel: the same question, Yes stays, No ends.
    folder = layout(CFG)
    rc, err = run(folder, """expect-dialog 2001
close
expect-box Tool Setup
expect-box continue the installation?
answer yes
expect-dialog 2001
click {NEXT}
expect-dialog 2003
check 241
close
expect-box continue the installation?
answer no
""")
    check(rc == 0, "cancelled install ends with 0, not %d" % rc)
    expected = START + steps_events([(1, 0), (1, 10781), (2, 0)]) + ["N 1 0 0 0 0 0"]
    check(hooklog(folder) == expected, "the close command is Cancel: %s" % hooklog(folder))


def case_cancel():
    folder = layout(CFG)
    rc, err = run(folder, """expect-dialog 2001
click {CANCEL}
expect-box Tool Setup
expect-box continue the installation?
answer yes
expect-dialog 2001
key ESC
expect-box continue the installation?
answer yes
expect-dialog 2001
click {NEXT}
expect-dialog 2003
click {CANCEL}
answer no
""")
    check(rc == 0, "cancelled install ends with 0, not %d" % rc)
    expected = START + steps_events([(1, 0), (1, 0), (1, 10781), (2, 0)]) + ["N 1 0 0 0 0 0"]
    check(hooklog(folder) == expected, "Cancel, Yes repeats; Cancel, No ends: %s" % hooklog(folder))
    check(not os.path.exists(os.path.join(folder, "inst", "temp1.txt")), "DeleteAfterExtract also after Cancel")
    check(os.path.exists(os.path.join(folder, "inst", "keep.txt")), "other files stay")


def case_installed():
    folder = layout(CFG)
    old = os.path.join(folder, "old")
    os.mkdir(old)
    key = UNINSTALL + "BriselE2E_installed"
    reg("add", key, "/v", "UninstallPath", "/d", winpath(old), "/f")
    reg("add", key, "/v", "DisplayVersion", "/d", "2.5", "/f")
    try:
        rc, err = run(folder, """expect-dialog 2001
expect-checked 222
expect-enabled 221
expect-enabled 222
expect-disabled 223
click {NEXT}
expect-dialog 2002
expect-text 201 %s
expect-disabled 201
expect-disabled 101
click {BACK}
expect-dialog 2001
click {NEXT}
expect-dialog 2002
click {CANCEL}
answer no
""" % winpath(old))
    finally:
        reg("delete", key, "/f")
    check(rc == 0, "rc %d" % rc)
    # The licence page skips itself in both directions.
    expected = START + steps_events([(1, 10781), (2, -1), (3, 10780), (2, -1), (1, 10781), (2, -1), (3, 0)]) \
        + ["N 1 0 0 0 0 0"]
    check(hooklog(folder) == expected, "licence skipped both ways: %s" % hooklog(folder))
    # The install folder is the earlier one: DeleteAfterExtract looked there.
    check(os.path.exists(os.path.join(folder, "inst", "temp1.txt")), "files of the default folder untouched")


def case_stale():
    # An older version whose folder is gone: update mode, default folder.
    folder = layout(CFG)
    key = UNINSTALL + "BriselE2E_stale"
    reg("add", key, "/v", "UninstallPath", "/d", winpath(os.path.join(folder, "gone")), "/f")
    reg("add", key, "/v", "DisplayVersion", "/d", "2.10", "/f")
    rc, err = run(folder, """expect-dialog 2001
expect-checked 223
expect-disabled 222
expect-enabled 223
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 %s
expect-disabled 201
click {CANCEL}
answer no
""" % winpath(os.path.join(folder, "inst")))
    check(rc == 0, "rc %d" % rc)


def case_older():
    # Versions compare as text: 1.10 installed counts as older than 1.9, so the
    # mode is update; the licence is shown and the destination is locked on the
    # earlier folder. The other way round the mode stays new, all options open.
    folder = layout(CFG.replace("AppVersion=2.5", "AppVersion=1.9"))
    old = os.path.join(folder, "old")
    os.mkdir(old)
    key = UNINSTALL + "BriselE2E_older"
    reg("add", key, "/v", "UninstallPath", "/d", winpath(old), "/f")
    reg("add", key, "/v", "DisplayVersion", "/d", "1.10", "/f")
    rc, err = run(folder, """expect-dialog 2001
expect-checked 223
expect-disabled 222
expect-enabled 223
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 %s
expect-disabled 201
expect-disabled 101
click {CANCEL}
answer no
""" % winpath(old))
    check(rc == 0, "1.10 installed: rc %d" % rc)
    expected = START + steps_events([(1, 10781), (2, 10781), (3, 0)]) + ["N 1 0 0 0 0 0"]
    check(hooklog(folder) == expected, "update walks the licence page: %s" % hooklog(folder))

    folder = layout(CFG.replace("AppVersion=2.5", "AppVersion=1.10"))
    old = os.path.join(folder, "old")
    os.mkdir(old)
    reg("add", key, "/v", "UninstallPath", "/d", winpath(old), "/f")
    reg("add", key, "/v", "DisplayVersion", "/d", "1.9", "/f")
    rc, err = run(folder, """expect-dialog 2001
expect-checked 221
expect-enabled 222
expect-enabled 223
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 %s
expect-enabled 201
expect-enabled 101
click {CANCEL}
answer no
""" % winpath(old))
    check(rc == 0, "1.9 installed: rc %d" % rc)


def case_paths():
    # InstallPath: "*" and an absolute folder; a folder under the Program Files
    # folder the program sees; none at all proposes the product's name there.
    programs = e2elib.program_files(REGREAD) + "\\"
    for value, shown in (("*C:\\\\Brisel Tools\\\\Tool", "C:\\Brisel Tools\\Tool"),
                         ("Brisel Tool", programs + "Brisel Tool"), (None, programs + "Tool")):
        cfg = CFG.replace("InstallPath=*@INST@\n", "" if value is None else "InstallPath=%s\n" % value)
        folder = layout(cfg)
        rc, err = run(folder, """expect-dialog 2001
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 %s
click {CANCEL}
answer no
""" % shown)
        check(rc == 0, "InstallPath %s: rc %d" % (value, rc))


def unused_drive():
    """A drive letter the test prefix does not have."""
    prefix = os.environ.get("BRISEL_PREFIX") or os.path.join(BINDIR, "..", "..", "wine", "prefix")
    for letter in "QRSTUVWXY":
        if not os.path.lexists(os.path.join(prefix, "dosdevices", letter.lower() + ":")):
            return letter + ":"
    return None


def case_dest():
    # Next on the destination page: every folder the product could not live in
    # (or be removed from) is refused with its reason, and the page stays.
    folder = layout(CFG)
    inst = winpath(os.path.join(folder, "inst"))
    drive = unused_drive()
    check(drive is not None, "a missing drive")

    def refused(text, why):
        return "type 201 %s\nclick {NEXT}\nexpect-box %s\nanswer ok\nexpect-dialog 2002\n" % (text, why)

    def reason(n, folder_name):
        return EN[n].replace("$FOLDER", folder_name).replace("$PROGRAM", "Tool").split("\n")[0]

    script = e2elib.TO_DEST + "".join([
        refused("", reason(4017, "")),
        refused("Tool Folder", reason(4018, "Tool Folder")),
        refused(drive + "\\Tool", reason(4020, drive)),
        refused(inst + "\\temp1.txt\\Tool", reason(4021, inst + "\\temp1.txt")),
    ]) + """type 201 %s\\new
click {NEXT}
expect-dialog 2004
expect-text 201 %s
click {CANCEL}
expect-box continue the installation?
answer no
expect-box %s
answer no
""" % (inst, EN[2911], EN[4014].replace("$PROGRAM", "Tool").split("\n")[0])
    rc, err = run(folder, script)
    check(rc == 0, "rc %d" % rc)
    log = hooklog(folder) or []
    check(log.count("N 5 3 1 1 1 10781") == 1 and "N 5 3 1 1 1 0" not in log, "the page ran on: %s" % log)
    check(not os.path.exists(os.path.join(folder, "inst", "new")), "cancelled and removed again")


def case_welcome():
    # IdIcon names an icon of setup.exe for the header; WelcomeWarning comes up
    # in a box with the product name as caption before the page is used.
    folder = layout(CFG + "IdIcon=3\nWelcomeWarning=Close all programs first.\n")
    rc, err = run(folder, """expect-box Close all programs first.
expect-box Tool
answer ok
expect-dialog 2001
click {NEXT}
expect-dialog 2003
click {CANCEL}
answer no
""")
    check(rc == 0, "warning and icon: rc %d" % rc)
    icons = open(os.path.join(folder, "iconlog.txt")).read().split() if os.path.exists(
        os.path.join(folder, "iconlog.txt")) else []
    check(icons == ["3"], "header shows icon 3 of setup.exe: %s" % icons)
    # An icon setup.exe does not have and an empty warning: neither shows.
    folder = layout(CFG + "IdIcon=77\nWelcomeWarning=\n")
    rc, err = run(folder, "expect-dialog 2001\nclick {NEXT}\nexpect-dialog 2003\nclick {CANCEL}\nanswer no\n")
    check(rc == 0, "no warning: rc %d" % rc)
    icons = open(os.path.join(folder, "iconlog.txt")).read().split() if os.path.exists(
        os.path.join(folder, "iconlog.txt")) else []
    check(icons == ["0"], "no header icon: %s" % icons)


def case_browse():
    # The browse button puts the product's own folder below the one chosen,
    # but not twice; the field takes a full path; a trailing backslash typed
    # by hand is dropped when the page is left.
    # (Wine's folder browser selects folders on C: dependably, not below Z:.)
    folder = layout(CFG.replace("InstallPath=*@INST@", "InstallPath=*C:\\\\Brisel Tools\\\\system32"))
    long_path = "C:\\Brisel " + "\\".join(["folder %02d with a long name" % i for i in range(9)])
    check(64 < len(long_path) < 260, "a long path: %d" % len(long_path))
    rc, err = run(folder, """expect-dialog 2001
click {NEXT}
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
expect-text 201 C:\\Brisel Tools\\system32
click 101
browse C:\\windows
expect-dialog 2002
expect-text 201 C:\\windows\\system32
click 101
browse C:\\windows\\system32
expect-dialog 2002
expect-text 201 C:\\windows\\system32
type 201 %s
expect-text 201 %s
type 201 C:\\Brisel Dest\\
click {NEXT}
expect-dialog 2004
expect-enabled {NEXT}
click {NEXT}
expect-dialog 2005
check 223
click {NEXT}
expect-dialog 2009
click {CANCEL}
expect-box Tool has been installed successfully.
answer ok
""" % (long_path, long_path))
    check(rc == 0, "browse: rc %d" % rc)
    # The product went into the folder typed, recorded without the backslash.
    out = e2elib.wine("reg", "query", UNINSTALL + "BriselE2E_browse", "/v", "UninstallPath")[1]
    check(out.rstrip().endswith("C:\\Brisel Dest"), "install folder without the backslash: %r" % out)


def case_licenceprint():
    # The licence page prints the text it shows: LICENSE.TXT with the product
    # filled in, in 12-point Courier New inside 25 mm margins.
    if os.getuid() != 0 or subprocess.run(["lpstat", "-p", "PDF"], capture_output=True).returncode != 0:
        print("no private PDF printer (needs root and scripts/cups); skipped")
        sys.exit(77)
    import re
    import time
    token = "T%d" % os.getpid()
    folder = layout(CFG)
    with open(os.path.join(folder, "LICENSE.TXT"), "wb") as f:
        f.write(b"Licence %s for $PROGRAM\nSecond line (c) \\ end\r\nThird\n" % token.encode())
    with open(os.path.join(folder, "LIZENZ.TXT"), "wb") as f:
        f.write(b"Lizenz %s\n" % token.encode())
    started = time.time() - 1
    rc, err = run(folder, """expect-dialog 2001
click {NEXT}
expect-dialog 2003
click 101
print-to PDF
expect-dialog 2003
expect-disabled {NEXT}
click {CANCEL}
answer no
""")
    check(rc == 0, "licence print: rc %d" % rc)
    pdfdir, path = os.path.expanduser("~/PDF"), None
    for _ in range(90):
        if not subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout.strip() and os.path.isdir(pdfdir):
            for name in os.listdir(pdfdir):
                p = os.path.join(pdfdir, name)
                if name.endswith(".pdf") and os.path.getmtime(p) >= started and token in subprocess.run(
                        ["pdftotext", p, "-"], capture_output=True, text=True).stdout:
                    path = p
        if path:
            break
        time.sleep(1)
    check(path is not None, "no PDF of the licence")
    if not path:
        return
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    check(re.search(r"^Title:\s+ORDER$", info, re.M) is not None, "document name ORDER: " + info)
    bbox = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True).stdout.decode("utf-8")
    found = re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', bbox)
    ws = [(float(a), float(b), float(c), float(d), w.replace("&amp;", "&")) for a, b, c, d, w in found]
    check([w[4] for w in ws] == ["Licence", token, "for", "Tool", "2.5", "Second", "line", "(c)", "\\", "end",
                                 "Third"], "licence text printed: %s" % [w[4] for w in ws])
    # 25 mm is 70.87 pt; the printer's device units make it 70.8 at 300 dpi.
    starts = [w for w in ws if w[4] in ("Licence", "Second", "Third")]
    check(len(starts) == 3 and all(abs(w[0] - 70.8) < 0.3 for w in starts), "left margin: %s" % starts)
    check(len(starts) == 3 and starts[0][1] < 70.8 < starts[0][3], "top margin on the first baseline: %s" % starts)
    # Twelve points at 300 dpi: cell height 50 device units, 12 pt from line to line.
    if len(starts) == 3:
        check(abs((starts[1][1] - starts[0][1]) - 12.0) < 0.05 and abs((starts[2][1] - starts[1][1]) - 12.0) < 0.05,
              "12-point lines: %s" % starts)


def case_nocfg():
    folder = layout(None)
    rc, err = run(folder, """expect-box Halvo Setup
expect-box %s
answer ok
""" % EN[4010].replace("\n", "\\n"))
    check(rc == 0, "missing setup.cfg ends with 0, not %d" % rc)
    check(hooklog(folder) is None, "no hook events without setup.cfg")


def case_jobs():
    # The order switch runs the order form, not the install.
    folder = layout(CFG)
    write_cfg(folder, "AppName=Tool\nDistributor=\n", name="order.cfg")
    rc, err = run(folder, "expect-dialog 2041\nclick {CANCEL}\nanswer no\n", args=["-ORDERFORM"])
    check(rc == 0, "-ORDERFORM: order form cancelled, exit 0, not %d" % rc)
    check(hooklog(folder) is None, "-ORDERFORM: no install events")
    # -removeall counts as -remove; without a key name there is nothing to remove.
    folder = layout(CFG)
    rc, err = run(folder, "expect-box Halvo Uninstall\nexpect-box %s\nanswer ok\n" % EN[4030], args=["-removeall"])
    check(rc == 0, "-removeall: uninstall without a record, exit 0, not %d" % rc)
    check(hooklog(folder) is None, "-removeall: no install events")


def case_hookless():
    # A hook library in the start folder and on the search path is not loaded.
    folder = layout(CFG, hook=False)
    other = tempfile.mkdtemp(prefix="brisel-e2e-cwd-")
    e2elib.FOLDERS.append(other)
    shutil.copy(HOOK, os.path.join(other, "SETUPHOOK.DLL"))
    rc, err = run(folder, "expect-dialog 2001\nclick {CANCEL}\nanswer no\n", cwd=other,
                  env={"WINEPATH": winpath(other)})
    check(rc == 0, "rc %d" % rc)
    check(hooklog(folder) is None and hooklog(other) is None, "no foreign hook library loaded")


def language(module, locale, encoding, welcome):
    T = module.STRINGS
    folder = layout(CFG)
    rc, err = run(folder, """expect-dialog 2001
expect-text {HEADING} %sTool 2.5
expect-text {DESCRIPTION} %s
click {NEXT}
expect-dialog 2003
%scheck 241
click {NEXT}
expect-dialog 2002
%sclick {CANCEL}
expect-box %s
answer no
""" % (T[2912], welcome, heads(2904, T), heads(2902, T), T[2900].replace("Halvo", "Tool")),
                  env={"LC_ALL": locale}, encoding=encoding)
    check(rc == 0, "%s: rc %d" % (locale, rc))


def case_german():
    language(texts_german, "de_DE.UTF-8", "cp1252", "Erste Zeile")


def case_french():
    language(texts_french, "fr_FR.UTF-8", "cp1252", "Premi\xe8re ligne")


def case_hungarian():
    # No Hungarian variant: the base key stays.
    language(texts_hungarian, "hu_HU.UTF-8", "cp1250", "First line of the welcome")


e2elib.run_case(globals(), CASE, cleanup=lambda: reg("delete", UNINSTALL + "BriselE2E_" + CASE, "/f"))
