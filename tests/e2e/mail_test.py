#!/usr/bin/env python3
"""The program's mail class against real SMTP relays (smtp-server from npm, on
127.0.0.1): a test helper under Wine sends one mail per run, and the mail the
relay took is read back with Python's email package (default policy), which
must find no defect in it.

usage: mail_test.py WINE-RUN MAILSEND CASE
"""
import datetime
import os
import sys
import tempfile
import zoneinfo

import e2elib
from e2elib import check, defects

WINE, MAILSEND, CASE = sys.argv[1:4]
e2elib.init(WINE, os.path.dirname(MAILSEND))
relays = None

TEXT = "Grüße aus Köln\nPreis: 12,50 € je Stück, 2× bestellt\n\nJürgen"
SUBJECT = "Bestellung für Jürgen Groß"


def send(relay, receiver="orders@example.test", user="", password="", language=None, tz=None):
    """Sends TEXT with SUBJECT through a relay; (sent, error text)."""
    folder = tempfile.mkdtemp(prefix="brisel-mail-")
    e2elib.FOLDERS.append(folder)
    body = os.path.join(folder, "body.txt")
    with open(body, "wb") as f:
        f.write(TEXT.encode("cp1252"))
    args = [MAILSEND, relays.host(relay), receiver, user, password, SUBJECT, e2elib.winpath(body)]
    if language:
        args.append(str(language))
    if tz:
        e2elib.ENV["TZ"] = tz
    rc, out = e2elib.wine(*args, timeout=120)
    e2elib.ENV.pop("TZ", None)
    lines = out.split("\n")
    print("mailsend via %s: rc %d, %r" % (relay, rc, lines[:2]))
    return rc == 0 and lines[0] == "sent", lines[1] if len(lines) > 1 else ""


def received(count):
    """The mails the relays took, after checking their number and that each
    parses without defects."""
    mails = relays.messages()
    check(len(mails) == count, "%d mails taken, not %d" % (len(mails), count))
    for message, envelope in mails:
        found = defects(message)
        check(not found, "mail to %s has defects: %s" % (envelope["to"], found))
    return mails


def case_delivery():
    # Budapest's offset must show in the Date header, whatever the machine's zone.
    zone = zoneinfo.ZoneInfo("Europe/Budapest")
    sent, error = send("plain", tz="Europe/Budapest")
    check(sent, "delivery through a relay with 8BITMIME: %s" % error)
    check(error.startswith("250"), "the relay's last reply is given back: %r" % error)
    sent, error = send("seven")
    check(sent, "delivery through a relay without 8BITMIME: %s" % error)
    mails = received(2)
    if len(mails) != 2:
        return
    for (message, envelope), encoding in zip(mails, ("8bit", "quoted-printable")):
        check(message["MIME-Version"] == "1.0", "MIME-Version: %r" % message["MIME-Version"])
        check(message["Subject"] == SUBJECT, "subject %r" % message["Subject"])
        check(message.get_content_type() == "text/plain" and message.get_content_charset() == "windows-1252",
              "type %s, charset %s" % (message.get_content_type(), message.get_content_charset()))
        check(message["Content-Transfer-Encoding"] == encoding, "encoding %r" % message["Content-Transfer-Encoding"])
        check(message.get_content().replace("\r\n", "\n").rstrip("\n") == TEXT,
              "text as written: %r" % message.get_content())
        check(envelope["from"] == "orders@example.test" and envelope["to"] == ["orders@example.test"],
              "envelope %s" % envelope)
        check(("BODY" in str(envelope["body"]).upper()) == (encoding == "8bit"),
              "8-bit text announced only where it goes as it is: %s" % envelope["body"])
    date = mails[0][0]["Date"].datetime
    now = datetime.datetime.now(zone)
    check(date.utcoffset() == now.utcoffset(), "Date %s in Budapest time (%s)" % (mails[0][0]["Date"], now))
    check(abs((now - date).total_seconds()) < 300, "Date %s is now (%s)" % (date, now))


def case_auth():
    user, password = relays.USER, relays.PASSWORD
    sent, error = send("login", user=user, password=password)
    check(sent, "AUTH LOGIN with the right password: %s" % error)
    sent, error = send("login", user=user, password="wrong")
    check(not sent and error.startswith("535"), "AUTH LOGIN with a wrong password: %r" % error)
    sent, error = send("cram", user=user, password=password)
    check(sent, "CRAM-MD5 with the right password: %s" % error)
    sent, error = send("cram", user=user, password="wrong")
    check(not sent and error.startswith("535"), "CRAM-MD5 with a wrong password: %r" % error)
    # A relay that wants authentication refuses a mail without.
    sent, error = send("login")
    check(not sent and error.startswith("5"), "no authentication: %r" % error)
    mails = received(2)
    users = [envelope["user"] for _, envelope in mails]
    check(users == ["orders LOGIN", "orders CRAM-MD5"], "authenticated as %s" % users)


def case_failures():
    sent, error = send("plain", receiver="nobody@example.test")
    check(not sent and error.startswith("550") and "No such user here" in error, "rejected recipient: %r" % error)
    sent, error = send("hangup")
    check(not sent and error == "Connection closed by the mail server", "relay gone mid-dialogue: %r" % error)
    sent, error = send("hangup", language=14)
    check(not sent and error.encode("latin-1").decode("cp1250") == "A levelezőkiszolgáló bontotta a kapcsolatot",
          "in Hungarian: %r" % error)
    received(0)


def finish():
    if relays:
        relays.close()


relays = e2elib.Relays()
e2elib.run_case(globals(), CASE, cleanup=finish)
