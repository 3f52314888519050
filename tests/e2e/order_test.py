#!/usr/bin/env python3
"""End-to-end runs of setup.exe's order form under Wine: every case lays out a
folder with setup.exe, the language modules, order.cfg and distributor files,
runs "setup.exe /ORDER /SCRIPT:file" and checks the boxes, the saved, printed
or mailed document and order.cfg afterwards. Web pages the form opens are
recorded by a handler registered in a Wine prefix of the case's own.

usage: order_test.py WINE-RUN BIN-DIR LANG-DIR CASE [CUPS-SOCKET]
"""
import os
import re
import subprocess
import sys
import time

import e2elib
from e2elib import ENV, check, run_setup, wine, winpath, write_cfg

WINE, BINDIR, LANGDIR, CASE = sys.argv[1:5]
e2elib.init(WINE, BINDIR)
if len(sys.argv) > 5:
    os.environ.setdefault("CUPS_SERVER", sys.argv[5])   # the private printer of scripts/test
sys.path.insert(0, LANGDIR)
import texts_english  # noqa: E402

# The mail key (string 3178), the same in every language module.
ORDER_KEY = re.search(r"ORDER_KEY = '([^']*)'", open(os.path.join(LANGDIR, "mkrc.py")).read()).group(1)

EN = texts_english.STRINGS
RELAYS = []   # the SMTP relays a case started, closed at its end


def read_cfg(path):
    """order.cfg as a dict (keys as written, values unescaped as far as tests need)."""
    table = {}
    for line in open(path, encoding="cp1252").read().splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            table[k] = v
    return table


def own_prefix(folder):
    """A prefix of the case's own whose http handler appends the address to urls.txt."""
    ENV["BRISEL_PREFIX"] = os.path.join(folder, "prefix")
    urls = winpath(os.path.join(folder, "urls.txt"))
    wine("--init", timeout=300)
    command = "C:\\windows\\system32\\cmd.exe /c echo %%1>>%s" % urls
    wine("reg", "add", "HKCR\\http\\shell\\open\\command", "/ve", "/d", command, "/f")
    wine("--wait")


def urls(folder):
    path = os.path.join(folder, "urls.txt")
    if not os.path.exists(path):
        return []
    return [u.strip() for u in open(path, encoding="latin-1").read().splitlines() if u.strip()]


ORDER_CFG = """AppName=Tool
AppVersion=2.5
Expire=2099-12-31
WelcomeMsg=Order Tool today.\\r\\nSecond line
WelcomeMsg.GER=Bestellen Sie Tool.
Note.FRA=Bonjour
Distributor=dist-a.cfg;Alpha Software|dist-b.cfg;Beta Vertrieb
DefaultDistributor=dist-b.cfg
"""

# Beta Vertrieb as the only distributor.
ORDER_CFG_ONE = ORDER_CFG.replace("Distributor=dist-a.cfg;Alpha Software|dist-b.cfg;Beta Vertrieb",
                                  "Distributor=dist-b.cfg;Beta Vertrieb")

DIST_A = """Distributor=Alpha Software\\nOne Road\\nLondon\\n
OrderURL=http://alpha.example/order
Currency=EUR
Prod0=Tool licence
Price0=19.90|5
ArtNo0=TL-1
Prod1=Tool handbook
Price1=49.00|8
Rule1=I0
Prod2=*
Price2=*
Prod3=Tool CD
Price3=25
Rule3=X1
DistributorBank=Alpha Bank\\r\\nIBAN 00 1234
BankEinzug=0
DistributorEmail=orders@alpha.example|127.0.0.1:@PORT@
"""

DIST_B = """Distributor=Beta Vertrieb\\nZweite Str. 2\\nBerlin
Currency=EUR
Prod0=Tool Lizenz
Price0=21.00|4
ArtNo0=B-1
BankEinzug=1
"""


def layout(order_cfg=ORDER_CFG, port=0, dist_a=DIST_A):
    folder = e2elib.distribution("brisel-order-")
    write_cfg(folder, order_cfg, name="order.cfg")
    write_cfg(folder, dist_a.replace("@PORT@", str(port)), name="dist-a.cfg")
    write_cfg(folder, DIST_B, name="dist-b.cfg")
    return folder


def run(folder, script, env=None, clock="2026-12-08 10:00:00", file_limit=None):
    return run_setup(folder, script, before=["/ORDER"], env=dict({"BRISEL_CLOCK": clock}, **(env or {})), timeout=400,
                     file_limit=file_limit)


def finish():
    if "BRISEL_PREFIX" in ENV:
        wine("--kill")


def signature_date(doc):
    m = re.search(r"\r\n  ([^\r\n]*) \(Unterschrift/Signature\)\r\n", doc)
    return m.group(1) if m else "?"


# ---------------------------------------------------------------- the document, written out from the layout

def heading(title, tail):
    return ("--- " + title + tail)[:45]


def expected_document(date, method_lines, comment=None):
    doc = heading("Distributor", " " + "-" * 38) + "\r\n  \r\n"
    doc += "  Alpha Software\r\n  One Road\r\n  London\r\n  \r\n"
    doc += " \r\n \r\n \r\n" + heading("Customer", " " + "-" * 38) + "\r\n \r\n"
    doc += "  Jane Doe\r\n  1 High St\r\n  \r\n  Springfield\r\n  UK\r\n \r\n  555-1\r\n  \r\n  jane@example.com\r\n"
    doc += " \r\n \r\n \r\n" + heading("Order", " [Tool 2.5] " + "-" * 24) + "\r\n \r\n"
    doc += "  %-4s%-30.29s %6.2f\r\n" % ("3x", "Tool licence", 59.70)
    doc += "  %-4s%-30.29s %6.2f\r\n" % ("1x", "Tool handbook", 49.00)
    doc += "  %-28s %12s\r\n" % ("", "----------")
    doc += "      %-20s %16s\r\n" % ("Subtotal", "EUR 108.70")
    doc += "      %-30s %6s\r\n" % ("Shipping", "  8.00")
    doc += "  %-28s %12s\r\n" % ("", "==========")
    doc += "      %-20s %16s\r\n" % ("Total", "EUR 116.70")
    doc += "  \r\n       (prices in EUR)\r\n  \r\n"
    doc += "  => TL-1x3x19.90\r\n  => Ref: PO-7\r\n"
    doc += " \r\n \r\n \r\n" + heading("Payment", " " + "-" * 39) + "\r\n \r\n"
    doc += method_lines
    doc += " \r\n \r\n \r\n \r\n  " + "-" * 40 + "\r\n  " + date + " (Unterschrift/Signature)\r\n"
    if comment:
        doc += "\f \r\n \r\n\r\n" + heading("Comment", " Tool 2.5  " + "-" * 24) + "\r\n \r\n" + comment
        doc += "\r\n\r\nJane Doe\r\njane@example.com\r\n"
    return doc


# Pages from the welcome to the comment with the distributor Alpha chosen,
# 3 licences and a handbook, the customer, payment method radio.
def to_comment(radio, card=True):
    s = """expect-dialog 2041
click {NEXT}
expect-dialog 2042
select 401 Alpha Software
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-dialog 2044
type 200 3
type 201 1
click {NEXT}
expect-dialog 2045
type 201 PO-7
click {NEXT}
expect-dialog 2046
type 201 Jane Doe
type 202 1 High St
type 204 Springfield
type 205 UK
type 206 555-1
type 208 jane@example.com
click {NEXT}
expect-dialog 2047
"""
    if card:
        s += "type 201 4111-1111-1111-1111\ntype 202 12/29\n"
    s += "check %d\nclick {NEXT}\n" % radio
    if radio == 222:
        s += "expect-box %s\\rAlpha Bank\\r\\nIBAN 00 1234\nanswer ok\n" % EN[3183]
    s += "expect-dialog 2048\n"
    return s


# Pages from the welcome to the comment with the only distributor: 2 licences
# for Jane Doe, then the payment lines given.
def one_to_comment(payment=""):
    return """expect-dialog 2041
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-dialog 2044
type 200 2
click {NEXT}
expect-dialog 2045
click {NEXT}
expect-dialog 2046
type 201 Jane Doe
click {NEXT}
expect-dialog 2047
""" + payment + """click {NEXT}
expect-dialog 2048
"""


# ---------------------------------------------------------------- cases

def case_two():
    folder = layout()
    own_prefix(folder)
    out = os.path.join(folder, "out.txt")
    rc, err = run(folder, """expect-dialog 2041
expect-text {HEADING} %sTool
expect-text {DESCRIPTION} Order Tool today.
click {NEXT}
expect-dialog 2042
expect-text 401 Beta Vertrieb
click {NEXT}
expect-dialog 2043
expect-hidden 101
click {BACK}
expect-dialog 2042
select 401 Alpha Software
click {NEXT}
expect-dialog 2043
click 101
click {NEXT}
expect-dialog 2044
expect-text 289 Price (EUR)
expect-hidden 282
expect-text 293 25
type 201 1
click {NEXT}
expect-box Tool handbook can only be ordered together with Tool licence.
answer yes
expect-dialog 2044
expect-text 201 1
type 200 3
click {NEXT}
expect-dialog 2045
expect-text 280 108.70 EUR
expect-text 281   8.00 EUR
expect-text 282 116.70 EUR
type 201 PO-7
click {NEXT}
expect-dialog 2046
type 201 Jane Doe
type 202 1 High St
type 204 Springfield
type 205 UK
type 206 555-1
type 208 jane@example.com
click {NEXT}
expect-dialog 2047
expect-hidden 224
expect-hidden 203
expect-enabled 222
type 201 4111-1111-1111-1111
type 202 12/29
check 222
click {NEXT}
expect-box %s\\rAlpha Bank\\r\\nIBAN 00 1234
answer ok
expect-dialog 2048
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
expect-hidden 201
click 107
expect-text 1148 Tool-Order.txt
save-as out.txt
expect-box The order has been saved.
answer ok
click {NEXT}
expect-dialog 2051
expect-text 202 Thank you for your order!
click {CANCEL}
expect-box Order form for  Tool
expect-box Thank you for ordering Tool!
answer ok
""" % (EN[3119], EN[3183]))
    check(rc == 0, "completed order ends with 0, not %d" % rc)
    doc = open(out, "rb").read().decode("cp1252") if os.path.exists(out) else ""
    expected = expected_document(signature_date(doc), "  Bank transfer\r\n  Alpha Bank\r\nIBAN 00 1234\r\n")
    check(doc == expected, "saved document:\n%r\nexpected:\n%r" % (doc, expected))
    check(re.search(r"\d", signature_date(doc)) is not None, "signature date %r" % signature_date(doc))
    check(urls(folder) == ["http://alpha.example/order"], "OrderURL opened: %s" % urls(folder))

    cfg = read_cfg(os.path.join(folder, "order.cfg"))
    check("UserPayCreditcard" not in cfg and "UserPayExp" not in cfg, "no card in order.cfg: %s" % cfg)
    check(cfg.get("UserName") == "Jane Doe" and cfg.get("UserLicense") == "PO-7", "customer kept: %s" % cfg)
    check(cfg.get("DefaultDistributor") == "dist-a.cfg", "chosen distributor kept: %s" % cfg)
    check(cfg.get("WelcomeMsg") == "Order Tool today.\\r\\nSecond line" and cfg.get("WelcomeMsg.GER") ==
          "Bestellen Sie Tool." and cfg.get("Note.FRA") == "Bonjour" and "Note" not in cfg,
          "languages kept: %s" % cfg)
    check(cfg.get("Expire") == "2099-12-31" and cfg.get("Amt0") == "3" and cfg.get("UserPayMethod") == "2",
          "entries kept: %s" % cfg)

    # The next run offers everything again but the card.
    rc, err = run(folder, """expect-dialog 2041
click {NEXT}
expect-text 401 Alpha Software
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-dialog 2044
expect-text 200 3
click {NEXT}
expect-dialog 2045
expect-text 201 PO-7
click {NEXT}
expect-dialog 2046
expect-text 201 Jane Doe
click {NEXT}
expect-dialog 2047
expect-text 201 0000-0000-0000-0000
expect-text 202 00/00
expect-checked 222
click {CANCEL}
expect-box %s
answer no
""" % EN[3198].split("\n")[0])
    check(rc == 0, "second run: rc %d" % rc)
    finish()


def case_one():
    # A transfer chosen in an earlier run: this distributor has no bank details.
    folder = layout(ORDER_CFG_ONE.replace("DefaultDistributor=dist-b.cfg\n", "UserPayMethod=2\n"))
    rc, err = run(folder, """expect-dialog 2041
expect-hidden 9
click {NEXT}
expect-dialog 2043
expect-hidden 101
click {BACK}
expect-dialog 2041
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-dialog 2044
expect-text 280 Tool Lizenz
expect-hidden 281
expect-hidden 201
type 200 2
click {NEXT}
expect-dialog 2045
expect-text 280  42.00 EUR
click {NEXT}
expect-dialog 2046
click {NEXT}
expect-dialog 2047
expect-enabled 224
expect-disabled 222
expect-unchecked 222
expect-checked 220
click {CANCEL}
expect-box Order form for Tool
answer yes
expect-dialog 2047
click {NEXT}
expect-dialog 2048
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
click {NEXT}
expect-dialog 2051
expect-text 202 
click {CANCEL}
expect-box Your order for Tool has not been printed, saved or sent.
answer ok
""")
    check(rc == 0, "one distributor: rc %d" % rc)
    cfg = read_cfg(os.path.join(folder, "order.cfg"))
    check(cfg.get("DefaultDistributor") == "dist-b.cfg", "the only distributor is chosen: %s" % cfg)
    check("Expire" in cfg, "a present Expire stays: %s" % cfg)
    check(cfg.get("UserPayMethod") == "0", "a method not offered is not kept: %s" % cfg)


def case_expired():
    folder = layout(ORDER_CFG.replace("Expire=2099-12-31", "Expire=2026-12-07\nAppHelp=tool.hlp|12"))
    with open(os.path.join(folder, "tool.cnt"), "w", newline="\r\n") as f:
        f.write(":Base tool.hlp\n1 Ordering=12\n")
    own_prefix(folder)
    rc, err = run(folder, """expect-dialog 2041
expect-enabled 9
click {NEXT}
expect-dialog 2042
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-box The price list of Tool has expired. Your web browser will now show the current prices.
expect-box Tool
answer ok
expect-dialog 2044
type 200 1
click {NEXT}
expect-dialog 2045
click {NEXT}
expect-dialog 2046
click {NEXT}
expect-dialog 2047
click {NEXT}
expect-dialog 2048
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
expect-text 201 The price list of Tool has expired; please check the prices with your distributor.
click {BACK}
expect-dialog 2049
hold SHIFT
click {NEXT}
expect-dialog 2050
expect-hidden 201
release
click {CANCEL}
answer no
""")
    check(rc == 0, "expired price list: rc %d" % rc)
    check(urls(folder) == ["http://www.halvo.com/common/order.html#pricing"], "maker's page: %s" % urls(folder))
    # German: the same page as .htm.
    os.remove(os.path.join(folder, "urls.txt"))
    rc, err = run(folder, """expect-dialog 2041
click {NEXT}
expect-dialog 2042
click {NEXT}
expect-dialog 2043
click {NEXT}
expect-box Tool
answer ok
expect-dialog 2044
click {CANCEL}
answer no
""", env={"LC_ALL": "de_DE.UTF-8"})
    check(rc == 0, "German expired run: rc %d" % rc)
    check(urls(folder) == ["http://www.halvo.com/common/order.htm#pricing"], "German maker's page: %s" % urls(folder))
    finish()


def case_print():
    if os.getuid() != 0 or subprocess.run(["lpstat", "-p", "PDF"], capture_output=True).returncode != 0:
        print("no private PDF printer (needs root and scripts/cups); skipped")
        sys.exit(77)
    folder = layout(ORDER_CFG_ONE)
    pdfdir = os.path.expanduser("~/PDF")
    started = time.time() - 1
    rc, err = run(folder, one_to_comment("check 224\ntype 203 123456\ntype 204 100 200 30 - Town Bank\n") +
                  """type 200 Please invoice the company.
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
click 107
save-as out.txt
expect-box The order has been saved.
answer ok
click 108
print-to PDF
expect-box The order has been printed.
answer ok
click {NEXT}
expect-dialog 2051
click {CANCEL}
expect-box Thank you for ordering Tool!
answer ok
""")
    check(rc == 0, "print: rc %d" % rc)
    doc = open(os.path.join(folder, "out.txt"), "rb").read().decode("cp1252")
    new = []
    for _ in range(90):
        busy = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout.strip()
        if os.path.isdir(pdfdir):
            new = [os.path.join(pdfdir, n) for n in os.listdir(pdfdir)
                   if os.path.getmtime(os.path.join(pdfdir, n)) >= started]
        if not busy and new:
            break
        time.sleep(1)
    check(bool(new), "print: no PDF appeared")
    if not new:
        return
    pdf = max(new, key=os.path.getmtime)
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    # Main part, the direct-debit form and the comment each on a page.
    check(re.search(r"^Pages:\s+3$", info, re.M) is not None, "three pages: %s" % info)
    check("ORDER" in os.path.basename(pdf) or re.search(r"^Title:\s+ORDER", info, re.M), "job ORDER: %s %s" % (pdf, info))
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True).stdout
    printed = [p for p in text.split("\f")]
    pages = doc.split("\f")
    check(len(pages) == 3, "document has three pages")
    # pdftotext rebuilds the blanks from glyph positions and reads the hyphen glyph
    # as a soft hyphen: compare the words of every non-empty line.
    def words(text):
        return [" ".join(l.replace("\xad", "-").split()) for l in text.split("\n") if l.strip()]
    for i, page in enumerate(pages):
        want = words(page.replace("\r\n", "\n"))
        got = words(printed[i] if i < len(printed) else "")
        check(want == got, "page %d printed as\n%s\nexpected\n%s" % (i + 1, got, want))
    # Margins 25 mm left and top (A4 or Letter): the first word starts about 71 points in.
    bbox = subprocess.run(["pdftotext", "-bbox", "-f", "1", "-l", "1", pdf, "-"], capture_output=True, text=True).stdout
    m = re.search(r'<word xMin="([\d.]+)" yMin="([\d.]+)"', bbox)
    check(m is not None and 68 <= float(m.group(1)) <= 74 and 55 <= float(m.group(2)) <= 75,
          "first word at %s" % ((m.groups() if m else None),))


def decrypt(armoured):
    lines = armoured.replace("\r\n", "\n").split("\n")
    begin = lines.index("HALVO ENCRYPTED EMAIL -- BEGIN")
    end = lines.index("HALVO ENCRYPTED EMAIL -- END")
    cipher = bytes.fromhex("".join(lines[begin + 1:end]))
    key = ORDER_KEY.encode("ascii").hex()
    p = subprocess.run(["openssl", "enc", "-d", "-bf-cbc", "-K", key, "-iv", "0" * 16, "-nopad",
                        "-provider", "legacy", "-provider", "default"], input=cipher, capture_output=True)
    return p.stdout.rstrip(b"@")


def case_mail():
    relays = e2elib.Relays()
    RELAYS.append(relays)
    # A long address and a 2048-character comment: the mail body exceeds 8 KB.
    address = "\\n".join("Alpha Software, branch office number %02d, Long Road" % i for i in range(24))
    folder = layout(port=relays.ports["plain"],
                    dist_a=DIST_A.replace("Alpha Software\\nOne Road\\nLondon\\n", address))
    comment = "".join(chr(ord("a") + i % 26) for i in range(2048))
    wrapped = "".join(comment[i:i + 50] + "\r\n" for i in range(0, 2048, 50)).encode()
    rc, err = run(folder, to_comment(220) + """type 200 %s
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
click 107
save-as out.txt
expect-box The order has been saved.
answer ok
click 106
expect-dialog 2090
expect-text 1001 orders@alpha.example
expect-text 1002 jane@example.com
expect-text 1003 Tool 2.5 Order
click 1009
expect-box Internet
answer ok
expect-box Your mail has been sent. Thank you!
answer ok
click {CANCEL}
expect-dialog 2050
click {BACK}
expect-dialog 2049
click {BACK}
expect-dialog 2048
click {BACK}
expect-dialog 2047
check 223
click {NEXT}
expect-dialog 2048
click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
click 106
expect-box %s
answer ok
click {NEXT}
expect-dialog 2051
click {CANCEL}
expect-box Thank you for ordering Tool!
answer ok
""" % (comment, EN[3179]))
    check(rc == 0, "mail: rc %d" % rc)
    doc = open(os.path.join(folder, "out.txt"), "rb").read() if os.path.exists(folder + "/out.txt") else b""
    check(wrapped in doc, "saved document with the comment wrapped at 50")
    mails = relays.messages()
    check(len(mails) == 1, "one mail delivered: %d" % len(mails))
    if not mails:
        return
    msg, envelope = mails[0]
    check(envelope["from"] == envelope["to"][0] == "orders@alpha.example", "envelope %s" % envelope)
    check(not e2elib.defects(msg), "mail without defects: %s" % e2elib.defects(msg))
    check(msg["MIME-Version"] == "1.0" and msg["From"] == "jane@example.com" and msg["Subject"] == "Tool 2.5 Order",
          "headers %s" % msg.items())
    check(msg["Date"].datetime.utcoffset() is not None, "Date with its zone: %s" % msg["Date"])
    inline, attached = None, None
    for part in msg.walk():
        if part.get_content_maintype() == "multipart":
            continue
        if part.get_filename() == "order.skf":
            attached = part.get_payload(decode=True).decode("latin-1")
        elif inline is None:
            inline = part.get_payload(decode=True).decode("latin-1")
    check(inline is not None and attached is not None, "inline block and order.skf")
    if inline is None or attached is None:
        return
    check(len(inline) > 8192, "the body exceeds 8 KB: %d" % len(inline))
    check("HALVO ENCRYPTED EMAIL -- BEGIN" in inline and "4111" not in inline, "no card number in clear")
    check(decrypt(inline) == doc, "inline block decrypts to the document")
    check(decrypt(attached) == doc, "order.skf decrypts to the document")


def case_full():
    """A disk that takes no more: the order run ends with order.cfg and an
    earlier saved document as they were, byte for byte, and says so for the
    document."""
    folder = layout(ORDER_CFG_ONE)
    own_prefix(folder)
    # Wine's server and services start here, so that they write without the limit.
    subprocess.run([e2elib.WINE, "--server"], env=dict(os.environ, **ENV), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120)
    out = os.path.join(folder, "out.txt")
    with open(out, "wb") as f:
        f.write(b"an order saved before\r\n")
    cfg = open(os.path.join(folder, "order.cfg"), "rb").read()
    rc, err = run(folder, one_to_comment() + """click {NEXT}
expect-dialog 2049
click {NEXT}
expect-dialog 2050
click 107
save-as out.txt
expect-box %s
answer ok
click {NEXT}
expect-dialog 2051
click {CANCEL}
answer ok
""" % EN[3193].replace("$OPERATION", "saved"), file_limit=200)
    check(rc == 0, "full disk: rc %d" % rc)
    check(open(os.path.join(folder, "order.cfg"), "rb").read() == cfg, "order.cfg as it was")
    check(open(out, "rb").read() == b"an order saved before\r\n", "the earlier document as it was")
    left = [n for n in os.listdir(folder) if n.lower().endswith(".tmp")]
    check(not left, "nothing left beside them: %s" % left)
    finish()


def cleanup():
    for relays in RELAYS:
        relays.close()
    finish()


e2elib.run_case(globals(), CASE, cleanup=cleanup)
