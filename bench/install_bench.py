#!/usr/bin/env python3
"""Times setup.exe's file installation against the ZIP engine alone on the
same archive (2,000 deflated members, 200 MB), both under Wine.

The install is a scripted run of the real setup.exe with the test hook
library, which notes the time of hook events 6 and 7 (start and end of the
files worker). The engine alone is setup-unzip.exe -qq ARCHIVE -d FOLDER,
timed as a process, minus the start-up time of setup-unzip.exe without work.
Prints the best of a few rounds of each and the ratio.

usage (from the repository, after scripts/build):
  xvfb-run -a bash -c 'scripts/wine-run --server; python3 bench/install_bench.py; scripts/wine-run --kill'
options: --members N --size BYTES --rounds N  (BRISEL_BUILD selects the build folder)
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
                "expect-dialog 2002\nclick 10781\nexpect-dialog 2005\nclick 2\nanswer no\n")
    env = dict(os.environ, BRISEL_SCRIPT_TIMEOUT="600000")
    env.pop("BRISEL_SCRIPT", None)
    subprocess.run([WINE, os.path.join(dist, "setup.exe"), "/SCRIPT:" + winpath(os.path.join(dist, "bench.script"))],
                   cwd=dist, env=env, capture_output=True, check=True, timeout=1800)
    marks = dict(line.split() for line in open(os.path.join(dist, "timing.txt")))
    return float(marks["7"]) - float(marks["6"])


def time_engine(archive, work):
    out = os.path.join(work, "engine")
    shutil.rmtree(out, ignore_errors=True)
    start = time.perf_counter()
    subprocess.run([WINE, os.path.join(BIN, "setup-unzip.exe"), "-qq", winpath(archive), "-d", winpath(out)],
                   capture_output=True, check=True, timeout=1800)
    return time.perf_counter() - start


def time_startup():
    start = time.perf_counter()
    subprocess.run([WINE, os.path.join(BIN, "setup-unzip.exe")], capture_output=True, timeout=120)
    return time.perf_counter() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--members", type=int, default=2000)
    ap.add_argument("--size", type=int, default=100 * 1000)
    ap.add_argument("--rounds", type=int, default=3)
    a = ap.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("install_bench.py: needs a display (run it under xvfb-run)")
    work = tempfile.mkdtemp(prefix="brisel-bench-")
    try:
        archive = os.path.join(work, "setup.fil")
        make_archive(archive, a.members, a.size)
        print("archive: %d members, %.0f MB uncompressed, %.1f MB packed"
              % (a.members, a.members * a.size / 1e6, os.path.getsize(archive) / 1e6))
        startup = min(time_startup() for _ in range(3))
        engine = min(time_engine(archive, work) for _ in range(a.rounds)) - startup
        install = min(time_install(archive, work) for _ in range(a.rounds))
        print("engine alone (setup-unzip.exe, start-up %.2f s taken off): %.2f s" % (startup, engine))
        print("setup.exe file installation (hook events 6 to 7):        %.2f s" % install)
        print("ratio install / engine: %.2f" % (install / engine))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
