#!/usr/bin/env python3
"""Scripted runs of the demo program under Wine: every case writes a script,
runs the demo with /SCRIPT: (or BRISEL_SCRIPT) and checks the exit code, the
message on standard error and the results the demo prints.

usage: scripted_test.py WINE-RUN DEMO-EXE CASE [CUPS-SOCKET]
"""
import atexit
import html
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

WINE, EXE, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
if len(sys.argv) > 4:
    os.environ.setdefault("CUPS_SERVER", sys.argv[4])   # the private printer of scripts/test
failures = []


def tempdir(prefix):
    """A new temporary folder, removed when the test ends."""
    folder = tempfile.mkdtemp(prefix=prefix)
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    return folder


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def run(script, demo, env=None, timeout=120, switch=True, short=True, extra=(), files=(), folder=None, exe=EXE):
    """Runs the demo in a fresh folder (holding the given files) with the script;
    returns (rc, out, err, folder)."""
    folder = folder or tempdir("brisel-script-")
    for name in files:
        open(os.path.join(folder, name), "w").write("x")
    with open(os.path.join(folder, "test.script"), "w", newline="\r\n") as f:
        f.write(script)
    e = dict(os.environ)
    e.pop("BRISEL_SCRIPT", None)
    e.pop("BRISEL_CLOCK", None)
    if short:
        e["BRISEL_SCRIPT_TIMEOUT"] = "5000"
    e.update(env or {})
    args = [WINE, exe, "/DEMO:" + demo] + list(extra)
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
    folder = tempdir("brisel-script-")
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
    runs = int(os.environ.get("BRISEL_REPEAT_RUNS", "5"))
    results = set()
    for i in range(runs):
        rc, out, err, _ = run(script, "basic", short=False)
        results.add((rc, out.split(" size=")[0], err))
    check(len(results) == 1 and list(results)[0][0] == 0, "%d runs differ: %r" % (runs, results))


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
type 202 5
close
expect-box end=2 edit=[] spin=[5] path=[C:\\missing folder]
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


def case_center():
    # Each dialog is checked where Run showed it; sizes are the template's.
    # Wine takes about two seconds to settle the activation after each owner
    # is enabled again or destroyed: the full time-out.
    rc, out, err, _ = run("expect-dialog 100\nclick 1\n" * 3 + "expect-box center\nanswer ok\n", "center", short=False)
    check(rc == 0 and out.count("end=1") == 3, "center: rc=%d %s" % (rc, out))
    if rc != 0:
        return
    nums = lambda key: [[int(n) for n in part.split("=")[1].split(",")] for part in out.split() if part.startswith(key)]  # noqa
    work, owners, dialogs = nums("work=")[0], nums("owner="), nums("dialog=")
    for owner, (left, top, right, bottom) in zip(owners, dialogs):
        w, h = right - left, bottom - top
        ref = owner if owner != [0, 0, 0, 0] else work
        x = ref[0] + (ref[2] - ref[0] - w) // 2   # sizes here are positive, so // truncates as C does
        y = ref[1] + (ref[3] - ref[1] - h) // 2
        x, y = max(min(x, work[2] - w), 0), max(min(y, work[3] - h), 0)
        check((left, top) == (x, y), "dialog at %d,%d, expected %d,%d (owner %s, work %s)" % (left, top, x, y, owner, work))
    # The last owner sits at the bottom-right corner: the dialog ends at the work area's edges.
    check(dialogs[2][2] == work[2] and dialogs[2][3] == work[3], "clamped into the work area: %s" % dialogs[2])


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
    base = tempdir("brisel-long-")
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
    folder = tempdir("brisel-child-")
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


def printer_or_skip():
    if os.getuid() != 0 or subprocess.run(["lpstat", "-p", "PDF"], capture_output=True).returncode != 0:
        print("no private PDF printer (needs root and scripts/cups); skipped")
        sys.exit(77)


def jobs():
    """Every job the private CUPS knows, finished ones included."""
    out = subprocess.run(["lpstat", "-W", "all", "-o"], capture_output=True, text=True).stdout
    return set(line.split()[0] for line in out.splitlines() if line.strip())


def printed(title, started):
    """Waits for the queue to empty and returns the PDF cups-pdf made of the job with this title."""
    pdfdir = os.path.expanduser("~/PDF")
    for _ in range(90):
        busy = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout.strip()
        if not busy and os.path.isdir(pdfdir):
            for name in os.listdir(pdfdir):
                path = os.path.join(pdfdir, name)
                if os.path.getmtime(path) >= started and name.endswith(".pdf") and pdfinfo(path).get("Title") == title:
                    return path
        time.sleep(1)
    check(False, "no PDF titled %s appeared" % title)
    return None


def pdfinfo(path):
    out = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    return dict((k.strip(), v.strip()) for k, _, v in (line.partition(":") for line in out.splitlines()))


def words(path):
    """Pages of (xMin, yMin, xMax, yMax, word) in points, from pdftotext -bbox."""
    out = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True).stdout.decode("utf-8")
    pages = []
    for page in out.split("<page ")[1:]:
        pages.append([(float(a), float(b), float(c), float(d), html.unescape(w)) for a, b, c, d, w in re.findall(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', page)])
    return pages


def report_values(out):
    """The device values the demo reports after printing."""
    v = dict(item.split("=", 1) for item in out.split() if "=" in item)
    dpi = [int(n) for n in v["dpi"].split("x")]
    return dpi, [int(n) for n in v["margins"].split(",")], [int(n) for n in v["cell"].split("x")], \
        [int(n) for n in v["res"].split("x")], int(v["sheets"])


def print_run(script, text, extra=()):
    """Prints the text through the demo; returns (rc, out, pdf path or None)."""
    title = "BriselTest%d%s" % (os.getpid(), CASE)
    textfile = tempfile.NamedTemporaryFile(delete=False, suffix=".txt")
    textfile.write(text)
    textfile.close()
    started = time.time() - 1
    rc, out, err, _ = run(script, "print", short=False,
                          extra=["/TEXT:Z:" + textfile.name.replace("/", "\\"), "/TITLE:" + title] + list(extra))
    os.unlink(textfile.name)
    return rc, out, (printed(title, started) if rc == 0 and "print=done" in out else None)


def case_print():
    printer_or_skip()
    rc, out, path = print_run("print-to PDF\nexpect-box print=done\nanswer ok\n",
                              b"Brisel demo printout\r\nSecond\tline\r\n")
    check(rc == 0 and "print=done pages=1-3 copies=1" in out, "print: rc=%d %s" % (rc, out))
    if path:
        text = subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True).stdout
        check("Brisel demo printout" in text and "Second" in text, "print: PDF text " + text)


def near(a, b, tolerance):
    return abs(a - b) <= tolerance


def case_printlayout():
    # Where every control byte puts the text, checked on the PDF: page 1 holds
    # the layout lines, a form feed starts page 2, whose lines run over the
    # bottom margin onto page 3.
    printer_or_skip()
    lines = 100
    text = (b"Margin\r\n"
            b"A\tB\r\n"                      # B eight cells right of the margin
            b"12345678\tC\r\n"               # a tab at eight cells goes on to sixteen
            b"   \b\b\bY\r\n"                 # back two cells; the third would reach the margin
            b"D\x01\x02\x1b\x1fE\r\n"       # control bytes dropped
            b"(x) \\ \xe4 ) (\r\n"
            b"\f" + b"".join(b"L%d\r\n" % i for i in range(lines)))
    rc, out, path = print_run("print-to PDF\nexpect-box print=done\nanswer ok\n", text)
    check(rc == 0, "printlayout: rc=%d %s" % (rc, out))
    if not path:
        return
    (dx, dy), (left, top, right, bottom), (cx, cy), (horzres, vertres), sheets = report_values(out)
    check(dx in (300, 600) and dy in (300, 600), "printer resolution %dx%d" % (dx, dy))
    check(left == 25 * dx * 10 // 254 and top == 25 * dy * 10 // 254, "25 mm margins in device units: %d,%d" % (left, top))
    check(right == horzres - 15 * dx * 10 // 254 and bottom == vertres - 20 * dy * 10 // 254,
          "right and bottom margins: %d,%d of %dx%d" % (right, bottom, horzres, vertres))
    pt = lambda units, dpi: units * 72.0 / dpi   # noqa: E731
    tol = pt(cx, dx) / 3   # well under a cell: glyphs within a run may drift a little
    pages = words(path)
    check(int(pdfinfo(path).get("Pages", 0)) == 3 and len(pages) == 3 and sheets == 3,
          "form feed and bottom margin give 3 pages: %s %d" % (pdfinfo(path).get("Pages"), sheets))
    if len(pages) < 3:
        return
    first = dict((w[4], w) for w in pages[0])
    for word, cells in (("Margin", 0), ("A", 0), ("B", 8), ("12345678", 0), ("C", 16), ("Y", 1)):
        w = first.get(word)
        check(w is not None and near(w[0], pt(left + cells * cx, dx), tol),
              "%s at %d cells from the margin: %s (cell %.2f pt)" % (word, cells, w, pt(cx, dx)))
    m = first.get("Margin")
    check(m is not None and m[1] < pt(top, dy) < m[3], "first baseline at the top margin: %s" % (m,))
    de = [w for w in pages[0] if w[4].startswith("D")]
    check(len(de) == 1 and de[0][4] == "DE", "control bytes dropped: %s" % de)
    if de:
        check(near(de[0][0], pt(left, dx), tol), "D at the margin: %s" % (de,))
    specials = [w[4] for w in pages[0] if w[1] > first["Y"][3]] if "Y" in first else []
    check(specials[-5:] == ["(x)", "\\", "\xe4", ")", "("], "parentheses, backslash and a-umlaut: %s" % specials)
    # Page 2: as many lines as fit above the bottom margin; the rest on page 3.
    fit = -(-(bottom - top) // cy)
    names = [[w[4] for w in page] for page in pages[1:]]
    check(names[0] == ["L%d" % i for i in range(fit)] and names[1] == ["L%d" % i for i in range(fit, lines)],
          "page break at the bottom margin after %d lines: %s" % (fit, names))
    for page in pages[1:]:
        check(page[0][1] < pt(top, dy) < page[0][3], "page starts at the top margin: %s" % (page[0],))
        steps = set(round(b[1] - a[1], 2) for a, b in zip(page, page[1:]))
        check(all(near(s, pt(cy, dy), 0.05) for s in steps), "line feed of one cell: %s" % steps)


def case_printdefault():
    # The default printer, no dialog.
    printer_or_skip()
    rc, out, path = print_run("expect-box print=done\nanswer ok\n", b"Default printer\r\n", extra=["/DEFAULT"])
    check(rc == 0, "default printer: rc=%d %s" % (rc, out))
    check(path is not None and [w[4] for w in words(path)[0]] == ["Default", "printer"], "default printer PDF")


def case_printcancel():
    # A cancelled print dialog prints nothing: no job reaches CUPS.
    printer_or_skip()
    before = jobs()
    rc, out, path = print_run("click 2\nexpect-box print=cancelled\nanswer ok\n", b"Never printed\r\n")
    check(rc == 0 and "print=cancelled" in out, "cancelled print dialog: rc=%d %s" % (rc, out))
    time.sleep(2)
    check(jobs() == before, "no print job: %s" % (jobs() - before))


def case_open():
    # OpenDocument hands the address to the handler the shell has for it,
    # started in the current folder (the program's, where it runs from): a copy
    # of the demo, registered for a URL scheme and a file extension, records
    # what it receives and where it was started.
    classes = "HKLM\\Software\\Classes\\"
    keys = [classes + "brisel-rec", classes + ".briselrec", classes + "Brisel.Record"]
    reg = lambda *a: subprocess.run([WINE, "reg"] + list(a), capture_output=True, timeout=120).returncode  # noqa
    try:
        for doc, isfile in (("brisel-rec://example.test/order?id=7&x=a%20b", False), ("my doc.briselrec", True)):
            folder = tempdir("brisel-open-")
            exe = os.path.join(folder, "demo.exe")
            shutil.copy(EXE, exe)
            win = "Z:" + folder.replace("/", "\\")
            command = '"%s\\demo.exe" /DEMO:record "%%1"' % win
            reg("add", keys[0], "/ve", "/d", "URL:Brisel recorder", "/f")
            reg("add", keys[0], "/v", "URL Protocol", "/d", "", "/f")
            reg("add", keys[0] + "\\shell\\open\\command", "/ve", "/d", command, "/f")
            reg("add", keys[1], "/ve", "/d", "Brisel.Record", "/f")
            reg("add", keys[2] + "\\shell\\open\\command", "/ve", "/d", command, "/f")
            rc, out, err, _ = run("expect-box opened=\nanswer ok\n", "open", extra=["/DOC:" + doc],
                                  files=[doc] if isfile else [], folder=folder, exe=exe)
            received = os.path.join(folder, "received.txt")
            for _ in range(60):
                if os.path.exists(received) and os.path.getsize(received) > 0:
                    break
                time.sleep(0.5)
            got = open(received, encoding="latin-1").read().split("\n") if os.path.exists(received) else ["", ""]
            print("received:", got)
            check(rc == 0 and "opened=[%s]" % doc in out, "open %s: rc=%d %s" % (doc, rc, out))
            check(got[0].lower() == win.lower(), "handler started in the program's folder: %s" % got[0])
            # A file arrives with the folder it was found in.
            arg = '"%s\\%s"' % (win, doc) if isfile else '"%s"' % doc
            check(got[1].lower().endswith(" " + arg.lower()), "handler received %s: %s" % (arg, got[1]))
    finally:
        for key in keys:
            reg("delete", key, "/f")


globals()["case_" + CASE]()
if failures:
    print("%d check(s) failed" % len(failures), file=sys.stderr)
    sys.exit(1)
print("ok")
