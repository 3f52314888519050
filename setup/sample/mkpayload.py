#!/usr/bin/env python3
"""Packs the sample product's payload into setup.fil: the given extra files
(setup.exe and its language modules, for the uninstall) at the top, first in
the archive, so that even an install cut short can be removed by its entry;
then every file below the payload folder (names relative to it, "/" between
folders). Fixed member times, so that the archive only changes with its contents.

usage: mkpayload.py OUTPUT PAYLOAD-DIR [EXTRA-FILE...]
"""
import os
import sys
import zipfile

STAMP = (2024, 1, 1, 12, 0, 0)


def add(z, path, name):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    with open(path, "rb") as f:
        z.writestr(info, f.read())


def main():
    out, payload, extras = sys.argv[1], sys.argv[2], sys.argv[3:]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        for path in extras:
            add(z, path, os.path.basename(path))
        for folder, dirs, files in os.walk(payload):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                add(z, path, os.path.relpath(path, payload).replace(os.sep, "/"))
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
