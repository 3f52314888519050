// Plain-text mail with optional MIME attachments, delivered in one SMTP
// dialogue through a relay host over the TCP device; and the encrypted-mail
// armour of the order mail.
#pragma once
#include <windows.h>
#include "brisel/strings.h"
#include "brisel/stringarray.h"

#define EMAIL_DOMAIN     "halvo.com"     // our name in EHLO and HELO
#define EMAIL_REPLYMAX   256             // one reply line, terminator included

class EMAIL
{
public:
    EMAIL(const char* sender, const char* receiver, const char* subject, const char* body,
          const char* smtphost);

    void AddAttachment(const char* contenttype, const char* filename, const STRING& data);
    // TRUE when the relay took the message; errortext: the relay's last reply
    // line, the device's error text, or what became of a relay that gave no reply.
    BOOL Send(STRING* errortext);
    // message: the whole message, or the null string to compose this mail for
    // what the relay takes (8-bit text or not).
    BOOL SendMail(const STRING& message, char* error, int size, int timeout);
    BOOL EncryptBody(const char* key, const char* attachment);
    // Modal dialog (template of the language module) to review and send the
    // mail; returns Sent. owner: the window it is opened from, disabled while
    // the dialog runs.
    BOOL SendDialog(int templateid, const char* title, HWND owner = NULL);

    // The message; eightbit: the relay takes 8-bit text as it is (else it goes
    // quoted-printable).
    STRING ComposeMessage(BOOL eightbit = FALSE);
    STRING Boundary();
    // RFC 5322 date of a local time, offset minutes east of UTC:
    // "Wed, 05 Mar 2003 10:07:00 +0100".
    static STRING DateText(const SYSTEMTIME& local, int offset);
    static STRING Charset();     // MIME name of the ANSI code page the texts are in

    STRING Sender;
    STRING Receiver;
    STRING Subject;
    STRING SmtpHost;
    STRING UserName;
    STRING Password;
    STRING Body;
    STRINGARRAY Attachments;
    BOOL Sent;           // set by the send dialog once a mail went out
};

// Bytes as lower-case hex, 30 bytes to a line with CR LF unless nobreaks.
STRING HexLines(const void* bytes, int length, BOOL nobreaks);
