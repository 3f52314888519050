#!/usr/bin/env python3
"""scripts/include-circles on small made-up trees: a clean tree passes, a
circle through a header is named with the lines behind it, and a source
without a header of its own counts for the header it implements.

usage: include_circles_test.py INCLUDE-CIRCLES
"""
import os
import shutil
import subprocess
import sys
import tempfile

SCRIPT = sys.argv[1]
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def tree(files):
    root = tempfile.mkdtemp(prefix="brisel-circles-")
    for name, text in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
    return root


def run(files, *folders):
    root = tree(files)
    try:
        p = subprocess.run([sys.executable, SCRIPT, "--root", root] + list(folders), capture_output=True, text=True)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return p.returncode, p.stdout


LAYERED = {
    "lib/text.h": "#pragma once\n",
    "lib/text.cpp": '#include "lib/text.h"\n#include "lib/log.h"\n',
    "lib/log.h": "#pragma once\n",
    "lib/log.cpp": '#include "lib/log.h"\n',
    "app/main.cpp": '#include "lib/text.h"\n',
}
rc, out = run(LAYERED, "lib", "app")
check(rc == 0 and out == "", "a layered tree has no circle: rc=%d %r" % (rc, out))

# log.cpp uses text, text.cpp uses log: a circle although no header includes another.
CIRCLE = dict(LAYERED)
CIRCLE["lib/log.cpp"] = '#include "lib/log.h"\n\n#include "lib/text.h"\n'
rc, out = run(CIRCLE, "lib")
check(rc == 1, "a circle fails: rc=%d" % rc)
check("include circle: lib/log -> lib/text -> lib/log" in out, "the circle is named: %r" % out)
check("lib/log.cpp:3 includes lib/text.h" in out and "lib/text.cpp:2 includes lib/log.h" in out,
      "with the include lines behind it: %r" % out)

# pages.cpp implements frame.h (its first include); frame.cpp uses the pages' header.
FIRST = {
    "ui/frame.h": "#pragma once\n",
    "ui/frame.cpp": '#include "ui/frame.h"\n#include "ui/pages.h"\n',
    "ui/pages.h": '#pragma once\n',
    "ui/pagework.cpp": '#include "ui/pages.h"\n#include "ui/frame.h"\n',
}
rc, out = run(FIRST, "ui")
check(rc == 1 and "include circle: ui/frame -> ui/pages -> ui/frame" in out,
      "a source without a header belongs to its first include: rc=%d %r" % (rc, out))
# Relative includes resolve against the including file's folder.
rc, out = run({"z/a.h": '#include "b.h"\n', "z/b.h": '#include "a.h"\n'}, "z")
check(rc == 1 and "z/a -> z/b -> z/a" in out, "relative includes: rc=%d %r" % (rc, out))

if failures:
    sys.exit(1)
print("ok")
