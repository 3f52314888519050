#!/usr/bin/env python3
"""End-to-end runs of the last install steps under Wine: the shortcuts page
(program group, desktop, Internet shortcuts, the uninstall values), the
advertising and finish pages, and the built-in hook of the terminal program.
Every .LNK written is read back with lnkinfo, an independent parser.

usage: shortcuts_test.py WINE-RUN BIN-DIR HOOK-DLL LANG-DIR CASE
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile
import zlib

import e2elib
from e2elib import TO_DEST, check, reg_query, reg_value, run_setup, wine, winpath, write_cfg

WINE, BINDIR, HOOK, LANGDIR, CASE = sys.argv[1:6]
e2elib.init(WINE, BINDIR)
sys.path.insert(0, LANGDIR)
import texts_english  # noqa: E402
import texts_german  # noqa: E402

EN = texts_english.STRINGS
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
KEY = "BriselSC_" + CASE
VANTOR = "HKCU\\Software\\Halvo\\Vantor4"
REXX = "HKCU\\Software\\Enterprise Alternatives\\REXX\\ExecOptions"
# A group name long enough that its shortcut paths pass 128 characters.
GROUP = "Brisel Shortcut Test " + CASE + " with a group name that is longer than most" * 2


def shell_folder(name, common=False):
    """A shell folder of the prefix as a Unix path."""
    root = "HKLM" if common else "HKCU"
    value = reg_value(root + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name)
    rc, out = wine("winepath", "-u", value)
    return out.strip()


PAYLOAD = {"prog.exe": b"MZ program", "setup.exe": b"MZ setup", "help.txt": b"help text"}


def layout(cfg, hook=False, advert=None):
    folder = e2elib.distribution("brisel-sc-", HOOK if hook else None)
    # The product's files exist only as the payload: the shortcuts point at what the install wrote.
    with zipfile.ZipFile(os.path.join(folder, "setup.fil"), "w") as z:
        for name, data in PAYLOAD.items():
            z.writestr(name, data)
    write_cfg(folder, cfg, os.path.join(folder, "inst"))
    if advert is not None:
        write_cfg(folder, advert, name="advert.cfg")
    return folder


def run(folder, script, env=None):
    # Error output into a file: the folder window opened at the end would hold a pipe open.
    try:
        return run_setup(folder, script, env=env, err_file=True)[0]
    finally:
        close_group_windows()


def close_group_windows():
    """Ends the folder windows the install opened on this test's program group."""
    e2elib.close_folder_windows(GROUP)


def lnk(path):
    """The fields lnkinfo reads from a shortcut file, by lower-case name."""
    p = subprocess.run(["lnkinfo", path], capture_output=True, timeout=60)
    check(p.returncode == 0, "lnkinfo reads %s" % path)
    fields = {}
    for line in p.stdout.decode("utf-8", "replace").splitlines():
        m = re.match(r"\s+([A-Za-z ]+?)\s*:\s(.*)$", line)
        if m:
            fields.setdefault(m.group(1).lower(), m.group(2).strip())
    return fields


def check_lnk(path, target, args, workdir, description, icon=None):
    if not os.path.exists(path):
        check(False, "shortcut %s exists" % path)
        return
    f = lnk(path)
    what = os.path.basename(path)
    installed = "/" + target[3:].replace("\\", "/") if target.startswith("Z:\\") else target
    check(os.path.isfile(installed), "%s: its target %s was installed" % (what, target))
    # lnkinfo names the path fields by where it found them; any of them must hold the target.
    paths = [v for k, v in f.items() if "path" in k and "icon" not in k and "working" not in k]
    check(target in paths, "%s: target %s in %s" % (what, target, f))
    check(f.get("command line arguments", "") == args, "%s: arguments %r, not %r" % (what, args, f))
    check(f.get("working directory") == workdir, "%s: working folder %s, not %r" % (what, workdir, f))
    check(f.get("description") == description, "%s: description %r, not %r" % (what, description, f))
    # icon: (file, index), or None for a shortcut without an icon location
    check(f.get("icon location") == (icon[0] if icon else None), "%s: icon %r, not %r" % (what, icon, f))
    if icon:
        check(f.get("icon index") == str(icon[1]), "%s: icon index %r, not %r" % (what, icon[1], f))


def walk_to_shortcuts():
    """Script lines from the welcome page to the shortcuts page of a fresh install."""
    return TO_DEST + """click {NEXT}
expect-dialog 2004
click {NEXT}
expect-dialog 2005
"""


FINISH = """expect-dialog 2009
click {CANCEL}
"""

BASE = """AppName=Tool
AppVersion=3.1
IniKey=%s
InstallPath=*@INST@
NoFinalPopup=1
StartmenuName=%s
""" % (KEY, GROUP)

OPTS = "StartmenuOpts=Product;*prog.exe;/x;prog.exe:0|Homepage;https://example.com/tool?a=1|Help;#help.txt;;|NoTarget\n"


def cleanup_folders(*folders):
    for f in folders:
        shutil.rmtree(f, ignore_errors=True)


def remove_shortcuts(folders, *names):
    for d in folders:
        for n in names:
            if os.path.exists(os.path.join(d, n)):
                os.remove(os.path.join(d, n))


def case_user():
    # Radio 221 with DesktopIcon 2: program group, desktop, Internet shortcut and the
    # uninstall shortcut; an entry without a target is skipped.
    folder = layout(BASE + OPTS + "DesktopIcon=2\nStartmenuUninstall=1\n")
    inst = winpath(os.path.join(folder, "inst"))
    group = os.path.join(shell_folder("Programs"), GROUP)
    desktop = shell_folder("Desktop")
    try:
        rc = run(folder, walk_to_shortcuts() + """expect-text {HEADING} %s
expect-checked 221
expect-unchecked 223
expect-checked 241
click {NEXT}
""" % EN[2916] + FINISH)
        check(rc == 0, "rc %d" % rc)
        check_lnk(os.path.join(group, "Product.LNK"), inst + "\\prog.exe", "/x", inst, "Product",
                  (inst + "\\prog.exe", 0))
        check_lnk(os.path.join(group, "Uninstall Tool.LNK"), inst + "\\setup.exe", "-remove " + KEY, inst,
                  "Uninstall Tool", (inst + "\\setup.exe", 1))
        check_lnk(os.path.join(desktop, "Product.LNK"), inst + "\\prog.exe", "/x", inst, "Product")
        check_lnk(os.path.join(desktop, "Help.LNK"), inst + "\\help.txt", "", inst, "Help")
        check(not os.path.exists(os.path.join(group, "Help.LNK")), "a # entry goes to the desktop only")
        check(not any(n.startswith("NoTarget") for n in os.listdir(group)), "entry without target skipped")
        url = os.path.join(group, "Homepage.URL")
        text = open(url, encoding="latin-1").read() if os.path.exists(url) else ""
        check("URL=https://example.com/tool?a=1" in text.splitlines(), "Homepage.URL holds the address: %r" % text)
        check(len(os.path.join(group, "Uninstall Tool.LNK")) > 128, "test paths pass 128 characters")
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenu") == winpath_of(group),
              "UninstallStartmenu: %r" % reg_value(UNINSTALL + KEY, "UninstallStartmenu"))
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles") == "Product|Homepage|Uninstall Tool",
              "UninstallStartmenuFiles: %r" % reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles"))
        check(reg_value(UNINSTALL + KEY, "UninstallDesktopFiles") == "Help|Product",
              "UninstallDesktopFiles: %r" % reg_value(UNINSTALL + KEY, "UninstallDesktopFiles"))
    finally:
        cleanup_folders(group)
        remove_shortcuts([desktop], "Product.LNK", "Help.LNK")


def winpath_of(unix):
    rc, out = wine("winepath", "-w", unix)
    return out.strip()


def case_nomenu():
    # Radio 223 with the desktop box: only desktop shortcuts, no start-menu values.
    folder = layout(BASE + OPTS + "DesktopIcon=2\nStartmenuUninstall=1\n")
    inst = winpath(os.path.join(folder, "inst"))
    group = os.path.join(shell_folder("Programs"), GROUP)
    desktop = shell_folder("Desktop")
    try:
        rc = run(folder, walk_to_shortcuts() + "check 223\nexpect-checked 241\nclick {NEXT}\n" + FINISH)
        check(rc == 0, "rc %d" % rc)
        check(not os.path.exists(group), "no program group with radio 223")
        check_lnk(os.path.join(desktop, "Product.LNK"), inst + "\\prog.exe", "/x", inst, "Product")
        # "#" entries of StartmenuOpts belong to the start-menu choice.
        check(not os.path.exists(os.path.join(desktop, "Help.LNK")), "no # entry without start-menu shortcuts")
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenu") is None, "no UninstallStartmenu")
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles") is None, "no UninstallStartmenuFiles")
        check(reg_value(UNINSTALL + KEY, "UninstallDesktopFiles") == "Product", "UninstallDesktopFiles")
    finally:
        cleanup_folders(group)
        remove_shortcuts([desktop], "Product.LNK")


def case_desktopbox():
    # DesktopIcon 0 hides the box; the default (1) shows it unchecked; no "*" entry hides it.
    desktop = shell_folder("Desktop")
    opts = "StartmenuOpts=Product;*prog.exe;/x\n"
    for icon, opts, state in (("DesktopIcon=0\n", opts, "expect-hidden 241"),
                              ("", opts, "expect-unchecked 241"),
                              ("DesktopIcon=2\n", "StartmenuOpts=Product;prog.exe\n", "expect-hidden 241")):
        folder = layout(BASE + opts + icon)
        group = os.path.join(shell_folder("Programs"), GROUP)
        try:
            rc = run(folder, walk_to_shortcuts() + state + "\nclick {NEXT}\n" + FINISH)
            check(rc == 0, "%r: rc %d" % (icon, rc))
            check(not os.path.exists(os.path.join(desktop, "Product.LNK")), "%r: no desktop shortcut" % icon)
            inst = winpath(os.path.join(folder, "inst"))
            check_lnk(os.path.join(group, "Product.LNK"), inst + "\\prog.exe", "/x" if "/x" in opts else "", inst,
                      "Product")
            check(reg_value(UNINSTALL + KEY, "UninstallDesktopFiles") is None, "%r: no desktop value" % icon)
            check(reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles") == "Product",
                  "%r: start-menu value %r" % (icon, reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles")))
        finally:
            cleanup_folders(group)
            wine("reg", "delete", UNINSTALL + KEY, "/f")


def case_reinstall():
    # The same version installed: radio 223 preselected, the desktop box unchecked.
    folder = layout(BASE + OPTS + "DesktopIcon=2\n")
    inst = os.path.join(folder, "inst")
    os.mkdir(inst)
    wine("reg", "add", UNINSTALL + KEY, "/v", "UninstallPath", "/d", winpath(inst), "/f")
    wine("reg", "add", UNINSTALL + KEY, "/v", "DisplayVersion", "/d", "3.1", "/f")
    group = os.path.join(shell_folder("Programs"), GROUP)
    rc = run(folder, """expect-dialog 2001
click {NEXT}
expect-dialog 2002
click {NEXT}
expect-dialog 2004
click {NEXT}
expect-dialog 2005
expect-checked 223
expect-unchecked 221
expect-unchecked 241
click {NEXT}
""" + FINISH)
    check(rc == 0, "rc %d" % rc)
    check(not os.path.exists(group), "nothing created on a reinstall left as preset")
    check(reg_value(UNINSTALL + KEY, "UninstallStartmenuFiles") is None, "no start-menu values")


def case_allusers():
    folder = layout(BASE + "StartmenuOpts=Product;prog.exe;;prog.exe:2\n")
    inst = winpath(os.path.join(folder, "inst"))
    common = shell_folder("Common Programs", common=True)
    group = os.path.join(common, GROUP)
    user_group = os.path.join(shell_folder("Programs"), GROUP)
    try:
        rc = run(folder, walk_to_shortcuts() + "expect-enabled 222\ncheck 222\nclick {NEXT}\n" + FINISH)
        check(rc == 0, "rc %d" % rc)
        check_lnk(os.path.join(group, "Product.LNK"), inst + "\\prog.exe", "", inst, "Product",
                  (inst + "\\prog.exe", 2))
        check(not os.path.exists(user_group), "nothing in the user's menu")
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenu") == winpath_of(group), "UninstallStartmenu")
    finally:
        cleanup_folders(group, user_group)


def case_nocommon():
    # No all-users start menu: radio 222 is disabled; the user's menu gets the group.
    folders = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
    common = reg_value(folders, "Common Programs")
    folder = layout(BASE + "StartmenuOpts=Product;prog.exe\n")
    group = os.path.join(shell_folder("Programs"), GROUP)
    wine("reg", "add", folders, "/v", "Common Programs", "/d", winpath(os.path.join(folder, "gone")), "/f")
    try:
        rc = run(folder, walk_to_shortcuts() + "expect-disabled 222\nexpect-checked 221\nclick {NEXT}\n" + FINISH)
        check(rc == 0, "rc %d" % rc)
        inst = winpath(os.path.join(folder, "inst"))
        check_lnk(os.path.join(group, "Product.LNK"), inst + "\\prog.exe", "", inst, "Product")
    finally:
        wine("reg", "add", folders, "/v", "Common Programs", "/d", common, "/f")
        cleanup_folders(group)


def case_nokey():
    # Without IniKey the shortcuts are made, but no values go anywhere.
    folder = layout(BASE.replace("IniKey=%s\n" % KEY, "") + "StartmenuOpts=Product;prog.exe\nStartmenuUninstall=1\n")
    group = os.path.join(shell_folder("Programs"), GROUP)
    try:
        rc = run(folder, walk_to_shortcuts() + "click {NEXT}\n" + FINISH)
        check(rc == 0, "rc %d" % rc)
        inst = winpath(os.path.join(folder, "inst"))
        check_lnk(os.path.join(group, "Product.LNK"), inst + "\\prog.exe", "", inst, "Product")
        check(os.listdir(group) == ["Product.LNK"], "no uninstall shortcut without a key name: %s" % os.listdir(group))
        for name in ("UninstallStartmenu", "UninstallStartmenuFiles"):
            check(reg_value(UNINSTALL.rstrip("\\"), name) is None, "%s not written into the list's own key" % name)
    finally:
        cleanup_folders(group)
    # Without StartmenuName: no shortcuts in the start menu's own folder, none recorded for
    # the uninstaller, which would take that folder for the group; the desktop still gets its own.
    folder = layout(BASE.replace("StartmenuName=%s\n" % GROUP, "") + OPTS + "DesktopIcon=2\n")
    programs = shell_folder("Programs")
    desktop = shell_folder("Desktop")
    try:
        rc = run(folder, walk_to_shortcuts() + "expect-checked 221\nclick {NEXT}\n" + FINISH)
        check(rc == 0, "rc %d" % rc)
        check(not os.path.exists(os.path.join(programs, "Product.LNK")), "nothing in the Programs folder itself")
        check(not os.path.exists(os.path.join(programs, "Homepage.URL")), "no Internet shortcut there either")
        check(reg_value(UNINSTALL + KEY, "UninstallStartmenu") is None, "no program group recorded")
        check(reg_value(UNINSTALL + KEY, "UninstallDesktopFiles") == "Product", "desktop shortcut recorded")
    finally:
        remove_shortcuts([programs, desktop], "Product.LNK", "Help.LNK")


ADVERT = """Url=%s
Product=Sketch
Product.GER=Skizze
Teaser2=Draw it all
Description=Sketch turns notes into diagrams.
"""


def png_pixels(path):
    """The set of colours of an 8-bit RGB PNG without row filters, as the script writes it."""
    if not os.path.exists(path):
        check(False, "screenshot %s written" % path)
        return set()
    data = open(path, "rb").read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        n = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            width = int.from_bytes(body[0:4], "big")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    row = 1 + 3 * width
    colours = set()
    for y in range(len(raw) // row):
        line = raw[y * row + 1:(y + 1) * row]
        colours.update(zip(line[0::3], line[1::3], line[2::3]))
    return colours


def case_advert():
    folder = layout(BASE + "Advertise=advert.cfg\nFinishMsg=All done here.\n",
                    advert=ADVERT % "@URL@")
    # The address is a batch file: opening it leaves a mark that proves the click opened it.
    bat = os.path.join(folder, "opened.bat")
    open(bat, "w", newline="\r\n").write("@echo opened> \"%s\"\n" % winpath(os.path.join(folder, "opened.txt")))
    text = open(os.path.join(folder, "advert.cfg")).read().replace("@URL@", winpath(bat).replace("\\", "\\\\"))
    open(os.path.join(folder, "advert.cfg"), "w", newline="\r\n").write(text)
    rc = run(folder, walk_to_shortcuts() + """click {NEXT}
expect-dialog 2006
expect-text {HEADING} More from the makers of Tool
expect-text {DESCRIPTION} We also recommend Sketch.
expect-text 280 Thank you for choosing Tool!
expect-text 281 Draw it all
expect-text 201 Sketch turns notes into diagrams.
expect-text 101 %s
click 101
wait 3000
expect-dialog 2006
click {NEXT}
expect-dialog 2009
expect-text {HEADING} %s
expect-text {DESCRIPTION} Tool has been installed on your computer.
expect-text 281 All done here.
screenshot finish.png
click {CANCEL}
""" % (winpath(bat), EN[2918]))
    check(rc == 0, "rc %d" % rc)
    # The picture is there (its green tick), and its red background took the dialog colour.
    pixels = png_pixels(os.path.join(folder, "finish.png"))
    check(any(g > 150 and r < 100 and b < 100 for r, g, b in pixels), "the finish picture is shown")
    check((255, 0, 0) not in pixels, "no pure red left on the finish page")
    check(os.path.exists(os.path.join(folder, "opened.txt")), "button 101 opened the address")


def case_advertgerman():
    # Language variants of the advertising file; the missing Teaser1 falls back on the template.
    T = texts_german.STRINGS
    folder = layout(BASE + "Advertise=advert.cfg\n", advert=ADVERT % "https://example.com/")
    rc = run(folder, walk_to_shortcuts() + """click {NEXT}
expect-dialog 2006
expect-text {HEADING} %s
expect-text {DESCRIPTION} %s
expect-text 280 %s
click {NEXT}
expect-dialog 2009
click {CANCEL}
""" % (T[2914].replace("$PROG", "Tool"), T[2915].replace("$PROG", "Skizze"),
       texts_german.TEXTS["advert.teaser1"].replace("$PROG", "Tool")), env={"LC_ALL": "de_DE.UTF-8"})
    check(rc == 0, "rc %d" % rc)


def case_advertskip():
    # No advertising file, or one that is not there: the finish page follows the shortcuts page.
    for cfg in ("", "Advertise=missing.cfg\n"):
        folder = layout(BASE + cfg)
        rc = run(folder, walk_to_shortcuts() + "click {NEXT}\nexpect-dialog 2009\nexpect-hidden {BACK}\nexpect-text 281 \nclick {CANCEL}\n")
        check(rc == 0, "%r: rc %d" % (cfg, rc))
        wine("reg", "delete", UNINSTALL + KEY, "/f")   # the next run is a first install again


VCFG = """AppName=Vantor
AppVersion=4.0
IniKey=%s
InstallPath=*@INST@
NoFinalPopup=1
""" % KEY


def vantor_home(path):
    if path is None:
        wine("reg", "delete", VANTOR, "/v", "HomePath", "/f")
    else:
        wine("reg", "add", VANTOR, "/v", "HomePath", "/d", path, "/f")


# An earlier installation's settings (one in a subfolder), scripts and phone book.
OLD_DATA = {
    "OPTIONS/vantor.ini": b"[port]\r\ncom=2\r\n",
    "OPTIONS/keys/vt100.key": bytes(range(256)),
    "SCRIPT/login.rex": b"say 'hello'\r\n",
    "SCRIPT/sub/dial.rex": b"call dial 0123\r\n",
    "PHONEBK": b"numbers",
}


def old_install(folder):
    old = os.path.join(folder, "old")
    for name, data in OLD_DATA.items():
        os.makedirs(os.path.dirname(os.path.join(old, name)), exist_ok=True)
        open(os.path.join(old, name), "wb").write(data)
    return old


def old_data_in(home):
    """The names of the old installation's data found under home."""
    return [n for n in OLD_DATA if os.path.exists(os.path.join(home, n))]


def rexx_option():
    """The interpreter option the built-in hook sets: (type, value) or None."""
    return reg_query(REXX, "GlobalSCBs")


def vantor_install(folder, dest, box=""):
    """A whole install into dest; box holds the script lines of the question, if one comes."""
    wine("reg", "delete", UNINSTALL + KEY, "/f")   # a first install each time: the licence page comes
    wine("reg", "delete", REXX, "/v", "GlobalSCBs", "/f")
    return run(folder, TO_DEST + "type 201 %s\nclick {NEXT}\n%s" % (winpath(dest), box) + """expect-dialog 2004
click {NEXT}
expect-dialog 2005
click {NEXT}
""" + FINISH)


def case_vantorfirst():
    # No earlier installation: no question, nothing copied, the interpreter option still set.
    vantor_home(None)
    folder = layout(VCFG)
    inst = os.path.join(folder, "inst")
    rc = vantor_install(folder, inst)
    check(rc == 0, "rc %d" % rc)
    check(open(os.path.join(inst, "prog.exe"), "rb").read() == PAYLOAD["prog.exe"], "the product's files installed")
    check(old_data_in(inst) == [], "nothing copied: %s" % old_data_in(inst))
    check(rexx_option() == ("REG_DWORD", "0x0"), "GlobalSCBs: %r" % (rexx_option(),))


def case_vantortakeover():
    # The destination page is left backwards here: the hook decides on every leave,
    # and the run never reaches the file step.
    folder = layout(VCFG)
    old = old_install(folder)
    other = os.path.join(folder, "other")
    vantor_home(winpath(old))
    question = EN[2950].split("%s")[0] + winpath(old)
    try:
        # No first, then another folder: asked again.
        rc = run(folder, TO_DEST + """click {BACK}
expect-box %s
answer no
expect-dialog 2003
check 241
click {NEXT}
expect-dialog 2002
type 201 %s
click {BACK}
expect-box %s
answer yes
expect-dialog 2003
click {CANCEL}
answer no
""" % (question, winpath(other), question))
        check(rc == 0, "rc %d" % rc)
        # The old home in other letters, and a folder that holds an installation: no question.
        os.makedirs(os.path.join(folder, "inst"))
        open(os.path.join(folder, "inst", "phonebk"), "w").write("x")
        for dest in (winpath(old).upper(), winpath(os.path.join(folder, "inst"))):
            rc = run(folder, TO_DEST + "type 201 %s\nclick {BACK}\nexpect-dialog 2003\nclick {CANCEL}\nanswer no\n" % dest)
            check(rc == 0, "%s: no question, rc %d" % (dest, rc))
    finally:
        vantor_home(None)


def case_vantorcopy():
    # Real installs after the question: Yes copies the old data over what is there, No copies nothing.
    folder = layout(VCFG)
    old = old_install(folder)
    vantor_home(winpath(old))
    box = "expect-box %s\nanswer %%s\n" % (EN[2950].split("%s")[0] + winpath(old))
    try:
        new = os.path.join(folder, "new")
        os.makedirs(os.path.join(new, "SCRIPT"))
        open(os.path.join(new, "SCRIPT", "login.rex"), "wb").write(b"an older script")
        rc = vantor_install(folder, new, box % "yes")
        check(rc == 0, "yes: rc %d" % rc)
        check(open(os.path.join(new, "prog.exe"), "rb").read() == PAYLOAD["prog.exe"],
              "yes: the product's files installed")
        for name, data in OLD_DATA.items():
            path = os.path.join(new, name)
            check(os.path.isfile(path) and open(path, "rb").read() == data, "yes: %s copied" % name)
        check(rexx_option() == ("REG_DWORD", "0x0"), "yes: GlobalSCBs %r" % (rexx_option(),))

        declined = os.path.join(folder, "declined")
        rc = vantor_install(folder, declined, box % "no")
        check(rc == 0, "no: rc %d" % rc)
        check(os.path.isfile(os.path.join(declined, "prog.exe")), "no: the product's files installed")
        check(old_data_in(declined) == [], "no: nothing copied: %s" % old_data_in(declined))
        check(rexx_option() == ("REG_DWORD", "0x0"), "no: GlobalSCBs %r" % (rexx_option(),))
        check(sorted(old_data_in(old)) == sorted(OLD_DATA), "the old installation is left as it was")
    finally:
        vantor_home(None)


def case_vantorhook():
    # A hook library of the product's own takes the events: the built-in hook neither
    # asks nor copies nor sets the interpreter option.
    folder = layout(VCFG, hook=True)
    old = old_install(folder)
    vantor_home(winpath(old))
    new = os.path.join(folder, "new")
    try:
        rc = vantor_install(folder, new)
        check(rc == 0, "rc %d" % rc)
        log = e2elib.hooklog(folder) or []
        check("N 5 3 1 1 1 10781" in log, "the library's hook saw the destination page: %s" % log)
        check("N 7 0 1 1 0 0" in log, "the library's hook saw the end of the file step: %s" % log)
        check(os.path.isfile(os.path.join(new, "prog.exe")) and old_data_in(new) == [], "files only, no old data")
        check(rexx_option() is None, "GlobalSCBs left alone: %r" % (rexx_option(),))
    finally:
        vantor_home(None)


e2elib.run_case(globals(), CASE, cleanup=lambda: wine("reg", "delete", UNINSTALL + KEY, "/f"))
