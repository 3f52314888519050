#!/usr/bin/env python3
"""Scripted runs of the demo program under Wine: every case writes a script,
runs the demo with /SCRIPT: (or BRISEL_SCRIPT) and checks the exit code, the
message on standard error and the results the demo prints.

usage: scripted_test.py WINE-RUN DEMO-EXE CASE [CUPS-SOCKET]
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

WINE, EXE, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
if len(sys.argv) > 4:
    os.environ.setdefault("CUPS_SERVER", sys.argv[4])   # the private printer of scripts/test
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def run(script, demo, env=None, timeout=120, switch=True, short=True, extra=()):
    """Runs the demo in a fresh folder with the script; returns (rc, out, err, folder)."""
    folder = tempfile.mkdtemp(prefix="brisel-script-")
    with open(os.path.join(folder, "test.script"), "w", newline="\r\n") as f:
        f.write(script)
    e = dict(os.environ)
    e.pop("BRISEL_SCRIPT", None)
    e.pop("BRISEL_CLOCK", None)
    if short:
        e["BRISEL_SCRIPT_TIMEOUT"] = "5000"
    e.update(env or {})
    args = [WINE, EXE, "/DEMO:" + demo] + list(extra)
    if switch:
        args.insert(2, "/SCRIPT:test.script")
    else:
        e["BRISEL_SCRIPT"] = "test.script"
    try:
        p = subprocess.run(args, cwd=folder, env=e, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        check(False, "demo %s did not end in %d s" % (demo, timeout))
        return -1, "", "", folder
    out = p.stdout.decode("latin-1").replace("\r\n", "\n")
    err = p.stderr.decode("latin-1").replace("\r\n", "\n")
    print("rc=%d\nout: %s\nerr: %s" % (p.returncode, out.strip(), err.strip()))
    return p.returncode, out, err, folder


def png_size(path):
    """Decodes the PNG fully (chunk CRCs, zlib stream, row filters); returns (w, h, pixels)."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG signature"
    pos, idat, w = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        crc = struct.unpack(">I", data[pos + 8 + n:pos + 12 + n])[0]
        assert zlib.crc32(kind + body) == crc, "bad CRC in " + kind.decode()
        if kind == b"IHDR":
            w, h, depth, color = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and color == 2
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    assert len(raw) == h * (w * 3 + 1), "pixel data of the wrong size"
    return w, h, raw


def case_basic():
    rc, out, err, folder = run("""# end values, help button, limits, screenshot
expect-dialog 100
type 201 abcdefgh
expect-text 201 abcde
type 202 12ab34
expect-text 202 1234
check 301
expect-checked 301
click 9
expect-dialog 100
screenshot shot.png
click 1234
expect-box end=1234
answer ok
""", "basic")
    check(rc == 0, "basic: exit code %d" % rc)
    check("end=1234 name=[abcde] number=[1234] check=1 help=1 topic=100 hidden=1" in out, "basic: results " + out)
    shot = os.path.join(folder, "shot.png")
    check(os.path.exists(shot), "basic: no screenshot")
    if os.path.exists(shot):
        w, h, raw = png_size(shot)
        size = out.split("size=")[1].split()[0]
        check("%dx%d" % (w, h) == size, "basic: screenshot %dx%d, dialog %s" % (w, h, size))
        check(len(set(raw)) > 3, "basic: screenshot is blank")


def case_endvalues():
    # OK, Cancel, the system menu's close, Escape and Enter
    for actions, end in (("click 1", 1), ("click 2", 0), ("close", 2), ("key ESC", 0), ("key ENTER", 1)):
        rc, out, err, _ = run("expect-dialog 100\n%s\nexpect-box end=%d\nanswer ok\n" % (actions, end), "basic")
        check(rc == 0 and "end=%d " % end in out, "end value after %s: rc=%d %s" % (actions, rc, out))


def case_twice():
    rc, out, err, _ = run("""expect-dialog 100
type 201 one
click 1
expect-box run=1 end=1 name=[one]
answer ok
expect-dialog 100
expect-text 201 one
click 2
expect-box run=2 end=0
answer ok
""", "twice", switch=False)
    check(rc == 0, "twice: exit code %d" % rc)
    check("run=1 end=1" in out and "run=2 end=0" in out and "hidden=1" in out, "twice: " + out)


def case_failures():
    rc, out, err, _ = run("expect-dialog 100\nexpect-text 201 wrong\n", "basic")
    check(rc == 121, "failed expectation: exit code %d" % rc)
    check('script line 2 (expect-text 201 wrong): expected control 201 to read "wrong", but it is ""' in err,
          "failed expectation message: " + err)
    rc, out, err, _ = run("click 4711\n", "basic")
    check(rc == 122 and "no control 4711" in err, "time-out: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("click 1\nclick 201\n", "basic")
    check(rc == 123 and 'unexpected message box "Demo result": "run=1 end=1' in err,
          "unexpected box: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("click 1\n", "basic")
    check(rc == 124 and 'message box left unanswered: "Demo result"' in err, "left open: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("expect-dialog 100\n", "basic")
    check(rc == 124 and 'dialog left open: "Demo basic"' in err, "dialog left open: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("click 1\nanswer yes\n", "basic")
    check(rc == 125 and 'has no button "yes"' in err, "answer without button: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("jump 1\n", "basic")
    check(rc == 120 and 'unknown action "jump"' in err, "bad line: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("click 1\nanswer ok\nexpect-dialog 100\n", "basic")
    check(rc == 126 and "ended before line 3" in err, "early end: rc=%d %s" % (rc, err))
    rc, out, err, _ = run("click 1\nexpect-box nothing like this\n", "basic")
    check(rc == 121 and 'expected a message box with "nothing like this"' in err, "expect-box: rc=%d %s" % (rc, err))


def case_noscript():
    # Without a script nothing drives the program: its own exit code comes through.
    folder = tempfile.mkdtemp(prefix="brisel-script-")
    e = dict(os.environ)
    e.pop("BRISEL_SCRIPT", None)
    p = subprocess.run([WINE, EXE, "/DEMO:exit"], cwd=folder, env=e, capture_output=True, timeout=60)
    check(p.returncode == 7, "no script: exit code %d" % p.returncode)


def case_repeat():
    script = """expect-dialog 100
type 201 abc
type 202 42
check 301
click 1
expect-box end=1 name=[abc] number=[42] check=1
answer ok
"""
    results = set()
    for i in range(20):
        rc, out, err, _ = run(script, "basic", short=False)
        results.add((rc, out.split(" size=")[0], err))
    check(len(results) == 1 and list(results)[0][0] == 0, "20 runs differ: %r" % results)


def case_data():
    rc, out, err, _ = run("""expect-dialog 200
expect-disabled 110
expect-disabled 111
expect-disabled 113
expect-disabled 114
expect-checked 302
expect-text 202 0
click 501
type 201 x
expect-enabled 110
check 601
expect-disabled 111
expect-hidden 116
type 201 y
expect-enabled 111
expect-enabled 112
check 602
expect-hidden 112
expect-hidden 116
select 401 Gamma
expect-enabled 113
type 203 C:\\windows
expect-enabled 114
click 303
expect-disabled 115
type 202 12345
expect-text 202 123
click 2
expect-box end=0 edit=[] spin=[] path=[C:\\missing folder] radio=[1] list=[beta] combo=[gr] push=[p]
answer ok
expect-dialog 200
expect-text 201 
expect-checked 302
expect-unchecked 303
click 501
click 501
select 402 Blue
click 303
type 202 77
click 1
expect-box end=1 edit=[] spin=[77] path=[C:\\missing folder] radio=[2] list=[Beta] combo=[Blue] push=[p+7+7]
answer ok
""", "data")
    check(rc == 0, "data: exit code %d" % rc)
    check("updown=msctls_updown32 limit=3" in out, "data: up-down control at 65000 with 3 digits: " + out)


def case_spinfull():
    rc, out, err, _ = run("""expect-text 202 5
type 202 -3
expect-text 202 3
type 202 42
click 1
expect-box end=1 value=[42] at65001=1
answer ok
""", "spinfull")
    check(rc == 0, "spinfull: exit code %d" % rc)


def case_threads():
    rc, out, err, _ = run("""expect-dialog 300
click 210
expect-box UI box while the worker runs
answer ok
expect-box Worker box
answer ok
expect-box end=1 received=1000 disorder=0 errors=0 timeout=0
answer ok
""", "threads", short=False, timeout=240)
    check(rc == 0, "threads: exit code %d" % rc)


def case_clock():
    rc, out, err, _ = run("expect-box clock=\nanswer ok\n", "clock", env={"BRISEL_CLOCK": "2024-02-29 13:45:07"})
    # The clock runs on from the given time: the demo reads it within moments.
    check(rc == 0 and any("clock=2024-02-29 13:45:%02d script=1" % s in out for s in (7, 8, 9)),
          "clock: rc=%d %s" % (rc, out))
    rc, out, err, _ = run("answer ok\n", "clock", env={"BRISEL_CLOCK": "2024-02-30 13:45:07"})
    check(rc == 120 and "BRISEL_CLOCK" in err, "bad clock: rc=%d %s" % (rc, err))


def case_save():
    rc, out, err, folder = run("save-as out.txt\nexpect-box saved=\nanswer ok\n", "save")
    win = "Z:" + folder.replace("/", "\\")
    check(rc == 0 and ("saved=[%s\\out.txt]" % win).lower() in out.lower(), "save: rc=%d %s" % (rc, out))
    # A chosen path longer than 128 characters comes back whole.
    deep = "d" * 60 + "/" + "e" * 60
    base = tempfile.mkdtemp(prefix="brisel-long-")
    os.makedirs(os.path.join(base, deep))
    target = "Z:" + os.path.join(base, deep, "long-name.txt").replace("/", "\\")
    rc, out, err, folder = run("save-as %s\nexpect-box saved=\nanswer ok\n" % target, "save")
    check(rc == 0 and ("saved=[%s] length=%d" % (target, len(target))).lower() in out.lower(),
          "long save path: rc=%d %s" % (rc, out))
    # Cancelled: the null string; German default filter.
    rc, out, err, folder = run("expect-text 1136 Alle Dateien (*.*)\nclick 2\nexpect-box saved=[<null>]\nanswer ok\n",
                               "save", extra=["/LANG:GER"])
    check(rc == 0, "save cancelled, German filter: rc=%d %s" % (rc, err))
    rc, out, err, folder = run("expect-text 1136 Text|*.txt\nclick 2\nanswer ok\n", "save",
                               extra=["/FILTER:.txt~Text|*.txt~~All|*.*"])
    check(rc == 121 and 'but it is "Text (*.txt)"' in err, "save filter entry: rc=%d %s" % (rc, err))


def case_browse():
    rc, out, err, _ = run("""expect-text 201 C:\\windows
click 501
browse C:\\windows\\system32
expect-dialog 500
expect-text 201 C:\\windows\\system32
click 1
expect-box end=1 folder=[C:\\windows\\system32] title=[Pick a folder|*]
answer ok
""", "browse")
    check(rc == 0, "browse: rc=%d" % rc)


def case_keys():
    rc, out, err, _ = run("""expect-dialog 100
key TAB
key TAB
key SPACE
expect-checked 301
key SHIFT-TAB
key TAB
key SPACE
expect-unchecked 301
hold CTRL
race-click 1
expect-box ctrl=1
release
answer ok
""", "basic")
    check(rc == 0 and "end=1 " in out and "ctrl=1" in out, "keys: rc=%d %s" % (rc, out))


def case_handover():
    folder = tempfile.mkdtemp(prefix="brisel-child-")
    child = os.path.join(folder, "child.script")
    with open(child, "w") as f:
        f.write("type 201 kid\nclick 1234\nexpect-box end=1234 name=[kid]\nanswer ok\n")
    rc, out, err, _ = run("handover Z:%s\nclick 1\nexpect-box child=0\nanswer ok\n" % child.replace("/", "\\"),
                          "spawn", short=False)
    check(rc == 0 and "end=1234 name=[kid]" in out and "child=0" in out, "handover: rc=%d %s" % (rc, out))
    # The copy fails its script: its exit code reaches the parent.
    with open(child, "w") as f:
        f.write("jump 1\n")
    rc, out, err, _ = run("handover Z:%s\nclick 1\nexpect-box child=120\nanswer ok\n" % child.replace("/", "\\"),
                          "spawn")
    check(rc == 0 and "child=120" in out and 'unknown action "jump"' in err, "handover failure: rc=%d %s" % (rc, err))


def case_print():
    if os.getuid() != 0 or subprocess.run(["lpstat", "-p", "PDF"], capture_output=True).returncode != 0:
        print("no private PDF printer (needs root and scripts/cups); skipped")
        sys.exit(77)
    import time
    pdfdir = os.path.expanduser("~/PDF")
    started = time.time() - 1
    rc, out, err, _ = run("print-to PDF\nexpect-box print=done\nanswer ok\n", "print", short=False)
    check(rc == 0 and "print=done pages=1-3 copies=1" in out, "print: rc=%d %s" % (rc, out))
    new = []
    for _ in range(60):   # cups-pdf names the file after the title, so look at the times
        busy = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout.strip()
        if os.path.isdir(pdfdir):
            new = [os.path.join(pdfdir, n) for n in os.listdir(pdfdir)
                   if os.path.getmtime(os.path.join(pdfdir, n)) >= started]
        if not busy and new:
            break
        time.sleep(1)
    check(bool(new), "print: no PDF appeared")
    if new:
        newest = max(new, key=os.path.getmtime)
        text = subprocess.run(["pdftotext", "-layout", newest, "-"], capture_output=True, text=True).stdout
        check("Brisel demo printout" in text and "Second" in text, "print: PDF text " + text)


globals()["case_" + CASE]()
if failures:
    print("%d check(s) failed" % len(failures), file=sys.stderr)
    sys.exit(1)
print("ok")
