#!/usr/bin/env python3
"""Times setup.exe's file installation against the ZIP engine alone on the
same archive, and against a plain copy of the unpacked tree, all under Wine.

The install is a scripted run of the real setup.exe with the test hook
library, which notes the time of hook events 6 and 7 (start and end of the
files worker) and setup.exe's peak memory at event 7. The engine alone is
setup-unzip.exe -qq ARCHIVE -d FOLDER, timed as a process, minus the start-up
time of setup-unzip.exe without work. The plain copy is copytree.exe, which
copies the engine's tree with CopyFileA file by file and times itself.
Each is the best of a few rounds; the ratios come from the same run.

With several member counts (--members 500 8000) each gets its own archive
and lines, then the time per member of the last count against the first.
The last line is always
  install/engine R1 install/copy R2 per-member-ms M
for the last count.

usage (from the repository, after scripts/build):
  xvfb-run -a bash -c 'scripts/wine-run --server; python3 bench/install_bench.py; scripts/wine-run --kill'
options: --members N [N ...] --size BYTES --rounds N  (BRISEL_BUILD selects the build folder)
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("BRISEL_BUILD", os.path.join(ROOT, "build"))
WINE = os.path.join(ROOT, "scripts", "wine-run")
BIN = os.path.join(BUILD, "win", "bin")
HOOK = os.path.join(BUILD, "win", "tests", "e2e", "hook", "SETUPHOOK.dll")


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def make_archive(path, members, size):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for i in range(members):
            block = ("member %05d of the benchmark payload\n" % i).encode()
            z.writestr("bench/%02d/file%05d.dat" % (i % 20, i), (block * (size // len(block) + 1))[:size])


def time_install(archive, work):
    """(seconds, peak memory in bytes) of setup.exe's file installation."""
    dist = os.path.join(work, "dist")
    shutil.rmtree(dist, ignore_errors=True)
    os.makedirs(dist)
    for name in os.listdir(BIN):
        if name == "setup.exe" or (name.startswith("setup") and name.endswith(".dll")):
            shutil.copy(os.path.join(BIN, name), dist)
    shutil.copy(HOOK, os.path.join(dist, "SETUPHOOK.DLL"))
    shutil.copy(archive, os.path.join(dist, "setup.fil"))
    inst = os.path.join(work, "inst")
    shutil.rmtree(inst, ignore_errors=True)
    with open(os.path.join(dist, "setup.cfg"), "w", newline="\r\n") as f:
        f.write("AppName=Bench\nAppVersion=1\nInstallPath=*%s\nNoCopyComplete=1\nNoFinalPopup=1\n"
                % winpath(inst).replace("\\", "\\\\"))
    with open(os.path.join(dist, "bench.script"), "w", newline="\r\n") as f:
        f.write("expect-dialog 2001\nclick 10781\nexpect-dialog 2003\ncheck 241\nclick 10781\n"
                "expect-dialog 2002\nclick 10781\nexpect-dialog 2005\nclick 2\nanswer no\nanswer no\n")
    env = dict(os.environ, BRISEL_SCRIPT_TIMEOUT="600000")
    env.pop("BRISEL_SCRIPT", None)
    p = subprocess.run([WINE, os.path.join(dist, "setup.exe"), "/SCRIPT:" + winpath(os.path.join(dist, "bench.script"))],
                       cwd=dist, env=env, capture_output=True, timeout=3600)
    if p.returncode != 0:
        sys.exit("install_bench.py: setup.exe ended with %d: %s" % (p.returncode, p.stderr.decode("latin-1")))
    marks = dict(line.split() for line in open(os.path.join(dist, "timing.txt")))
    shutil.rmtree(inst, ignore_errors=True)
    return float(marks["7"]) - float(marks["6"]), int(marks.get("peak", 0))


def time_engine(archive, out):
    shutil.rmtree(out, ignore_errors=True)
    start = time.perf_counter()
    subprocess.run([WINE, os.path.join(BIN, "setup-unzip.exe"), "-qq", winpath(archive), "-d", winpath(out)],
                   capture_output=True, check=True, timeout=3600)
    return time.perf_counter() - start


def time_copy(tree, work, members):
    out = os.path.join(work, "copy")
    shutil.rmtree(out, ignore_errors=True)
    p = subprocess.run([WINE, os.path.join(BIN, "copytree.exe"), winpath(tree), winpath(out)],
                       capture_output=True, check=True, timeout=3600)
    words = p.stdout.decode().split()
    shutil.rmtree(out, ignore_errors=True)
    if int(words[1]) != members:
        sys.exit("install_bench.py: copytree copied %s files, not %d" % (words[1], members))
    return float(words[3])


def time_startup():
    start = time.perf_counter()
    subprocess.run([WINE, os.path.join(BIN, "setup-unzip.exe")], capture_output=True, timeout=120)
    return time.perf_counter() - start


def measure(work, members, size, rounds, startup):
    """Times of one member count; returns (install/engine, install/copy, ms per member)."""
    archive = os.path.join(work, "setup.fil")
    make_archive(archive, members, size)
    print("archive: %d members of %d bytes, %.0f MB uncompressed, %.1f MB packed"
          % (members, size, members * size / 1e6, os.path.getsize(archive) / 1e6))
    tree = os.path.join(work, "engine")
    engine = copy = install = peak = None
    # The three take turns, so that a busy moment of the machine hits each alike;
    # each starts with the data of the one before on disk, not in the cache.
    for _ in range(rounds):
        os.sync()
        e = time_engine(archive, tree) - startup
        os.sync()
        c = time_copy(tree, work, members)
        os.sync()
        i, p = time_install(archive, work)
        engine, copy, install = (e, c, i) if engine is None else (min(engine, e), min(copy, c), min(install, i))
        peak = max(peak or 0, p)
    shutil.rmtree(tree, ignore_errors=True)
    os.remove(archive)
    per = install * 1000 / members
    print("  engine alone (setup-unzip.exe, start-up %.2f s taken off): %7.2f s  %6.3f ms per member"
          % (startup, engine, engine * 1000 / members))
    print("  plain copy (copytree.exe, CopyFileA per file):            %7.2f s  %6.3f ms per member"
          % (copy, copy * 1000 / members))
    print("  setup.exe file installation (hook events 6 to 7):         %7.2f s  %6.3f ms per member"
          % (install, per))
    print("  setup.exe peak memory: %.1f MB" % (peak / 1e6))
    print("  install/engine %.2f  install/copy %.2f" % (install / engine, install / copy))
    return install / engine, install / copy, per


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--members", type=int, nargs="+", default=[2000])
    ap.add_argument("--size", type=int, default=100 * 1000)
    ap.add_argument("--rounds", type=int, default=3)
    a = ap.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("install_bench.py: needs a display (run it under xvfb-run)")
    work = tempfile.mkdtemp(prefix="brisel-bench-")
    try:
        startup = min(time_startup() for _ in range(3))
        results = [measure(work, n, a.size, a.rounds, startup) for n in a.members]
        if len(results) > 1:
            print("per-member-ms at %d members / at %d: %.2f"
                  % (a.members[-1], a.members[0], results[-1][2] / results[0][2]))
        r1, r2, per = results[-1]
        print("install/engine %.2f install/copy %.2f per-member-ms %.3f" % (r1, r2, per))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
