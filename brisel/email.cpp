// Mail composition, the SMTP dialogue and the encrypted body.
#include "brisel/email.h"
#include "brisel/crypto.h"
#include "brisel/halvo.h"
#include "brisel/md5.h"
#include "brisel/tcpio.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

EMAIL::EMAIL(const char* sender, const char* receiver, const char* subject, const char* body,
             const char* smtphost)
    : Sender(sender), Receiver(receiver), Subject(subject), SmtpHost(smtphost), UserName(""),
      Password(""), Body(body), Sent(FALSE)
{
    Logit("EMAIL::Sender %s\n", sender ? sender : "<NULL>");
    Logit("EMAIL::Receiver %s\n", receiver ? receiver : "<NULL>");
    Logit("EMAIL::Subject %s\n", subject ? subject : "<NULL>");
    Logit("EMAIL::SmtpHost %s\n", smtphost ? smtphost : "<NULL>");
    Sender.Strip('B', " ");
    Receiver.Strip('B', " ");
    SmtpHost.Strip('B', " ");
    if (Sender.Len() == 0)
        Sender = "anonymous";
}

// Composition -------------------------------------------------------------------

void EMAIL::AddAttachment(const char* contenttype, const char* filename, const STRING& data)
{
    char type[256];
    snprintf(type, sizeof type, "%s", contenttype ? contenttype : "application/octet-stream");
    if (!filename)
        filename = "";
    STRING part("Content-Type: ");
    part.Append(type).Append("; name=\"").Append(filename).Append("\"\r\n");
    part.Append("Content-Transfer-Encoding: base64\r\n");
    part.Append("Content-Disposition: attachment; filename=\"").Append(filename).Append("\"\r\n\r\n");
    part.Append(data.ToBase64(TRUE));
    Attachments.Add(part);
}

STRING EMAIL::Boundary()
{
    STRING boundary("----=_Halvo_Mime_Part_08154711");
    for (BOOL clash = TRUE; clash;) {
        clash = FALSE;
        for (int i = 0; i < Attachments.Count() && !clash; i++)
            if (Attachments.Get(i)->Find(boundary.Str()))
                clash = TRUE;
        if (clash)
            boundary.Append("$");
    }
    Assert(boundary.Len() < 64, "boundary.Length()<64", __FILE__, __LINE__, boundary.Str(), FALSE);
    return boundary;
}

STRING EMAIL::DateText(const SYSTEMTIME& utc)
{
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    int m = utc.wMonth >= 1 && utc.wMonth <= 12 ? utc.wMonth - 1 : 0;
    STRING date;
    date.Format("%02d %.3s %02d %02d%02d GMT", utc.wDay, months + 3 * m, utc.wYear % 100, utc.wHour, utc.wMinute);
    return date;
}

STRING EMAIL::ComposeMessage()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    BOOL multipart = Attachments.Count() > 0;
    STRING boundary = multipart ? Boundary() : STRING("");

    STRING msg("From: ");
    msg.Append(Sender).Append("\r\n");
    msg.Append("To: ").Append(Receiver).Append("\r\n");
    msg.Append("Date: ").Append(DateText(now)).Append("\r\n");
    msg.Append("Subject: ").Append(Subject).Append("\r\n");
    if (multipart) {
        msg.Append("Content-Type: multipart/mixed; boundary=\"").Append(boundary).Append("\"\r\n\r\n");
        msg.Append("--").Append(boundary).Append("\r\n");
        msg.Append("Content-Type: text/plain\r\n");
    }
    msg.Append("\r\n");

    // The body line by line: fields between line feeds, the last one included.
    const char* p = Body.Str();
    for (int at = 0; p && at <= Body.Len();) {
        const char* lf = (const char*)memchr(p + at, '\n', Body.Len() - at);
        int end = lf ? (int)(lf - p) : Body.Len();
        STRING line = Body.Mid(at, end - at);
        line.Strip('R', " \t");
        line.Strip('B', "\r\n");
        line.Replace("\r", " ", TRUE);
        if (line == ".")
            line = ". ";
        msg.Append(line).Append("\r\n");
        at = end + 1;
    }
    msg.Append("\r\n");

    if (multipart) {
        for (int i = 0; i < Attachments.Count(); i++)
            msg.Append("--").Append(boundary).Append("\r\n").Append(*Attachments.Get(i)).Append("\r\n");
        msg.Append("--").Append(boundary).Append("--\r\n\r\n");
    }
    return msg;
}

// Delivery ----------------------------------------------------------------------

BOOL EMAIL::Send(STRING* errortext)
{
    if (errortext)
        *errortext = "";
    char error[EMAIL_REPLYMAX];
    memset(error, 0, sizeof error);
    BOOL ok = SendMail(ComposeMessage(), error, sizeof error, 15000);
    if (errortext)
        *errortext = error;
    return ok;
}

namespace {

// One SMTP dialogue: the device, the reply line and the error text.
struct SMTPDIALOG {
    TCPIPIO* Dev;
    char Reply[EMAIL_REPLYMAX];

    int Code() const { return atol(Reply); }
    BOOL Continued() const { return strlen(Reply) > 3 && Reply[3] == '-'; }
    BOOL Command(const char* text, int timeout) { return TCP::WriteCmd(Dev, text, Reply, sizeof Reply, timeout); }
    BOOL Command(const STRING& text, int timeout) { return Command(text.Str(), timeout); }
    void NextLine(int timeout) { TCP::ReadLine(Dev, Reply, sizeof Reply, timeout); }
};

BOOL Within(int code, int low, int high)
{
    return code >= low && code <= high;
}

void CopyOut(char* error, int size, const char* text)
{
    if (error && size > 0) {
        memset(error, 0, size);
        strncpy(error, text, size - 1);
    }
}

}

BOOL EMAIL::SendMail(const STRING& message, char* error, int size, int timeout)
{
    SMTPDIALOG d;
    memset(d.Reply, 0, sizeof d.Reply);
    d.Dev = new TCPIPIO("", "", "");
    STRING destination(SmtpHost);
    destination.Append(":smtp");
    if (!d.Dev->MakeCall(destination.Str())) {
        STRING why = d.Dev->GetInfo("LastErrorString");
        Logit("EMAIL::SendMail error: %s\n", why.Str());
        CopyOut(error, size, why.Str());
        delete d.Dev;
        return FALSE;
    }

    BOOL ok = FALSE;
    do {
        // Greeting, possibly on several lines; its code is not checked.
        do
            d.NextLine(timeout);
        while (d.Continued());

        BOOL login = FALSE, crammd5 = FALSE;
        d.Command("EHLO " EMAIL_DOMAIN, 5000);
        while (d.Continued()) {
            STRING line(d.Reply);
            if (line.iFind("AUTH")) {
                login |= line.iFind("LOGIN");
                crammd5 |= line.iFind("CRAM-MD5");
            }
            d.NextLine(5000);
        }
        if (!Within(d.Code(), 200, 299)) {
            d.Command("HELO " EMAIL_DOMAIN, 5000);
            while (d.Continued())
                d.NextLine(5000);
        }

        if (UserName.Len() > 0 && Password.Len() > 0) {
            if (crammd5) {
                d.Command("AUTH CRAM-MD5", 5000);
                if (d.Code() != 334)
                    break;
                STRING challenge = STRING(strlen(d.Reply) > 4 ? d.Reply + 4 : "").FromBase64();
                unsigned char mac[16];
                HmacMd5(Password.Str(), Password.Len(), challenge.Str() ? challenge.Str() : "",
                        challenge.Len(), mac);
                STRING digest;
                digest.Make(16, (const char*)mac);
                STRING answer(UserName);
                answer.Append(" ").Append(digest.ToHex());
                d.Command(answer.ToBase64(FALSE), timeout);
                if (!Within(d.Code(), 200, 299))
                    break;
            } else if (login) {
                d.Command("AUTH LOGIN", 5000);
                if (d.Code() != 334)
                    break;
                d.Command(UserName.ToBase64(FALSE), 5000);
                if (d.Code() != 334)
                    break;
                d.Command(Password.ToBase64(FALSE), timeout);
                if (!Within(d.Code(), 200, 299))
                    break;
            }
        }

        STRING from("MAIL FROM:<");
        from.Append(Receiver).Append(">");
        d.Command(from, 5000);
        if (!Within(d.Code(), 200, 299))
            break;
        STRING to("RCPT TO:<");
        to.Append(Receiver).Append(">");
        d.Command(to, 5000);
        if (!Within(d.Code(), 200, 299))
            break;
        d.Command("DATA", 5000);
        if (!Within(d.Code(), 200, 399))
            break;

        Logit("EMAIL::SendMail before writing the message\n");
        STRING text(message);
        text.Append("\n");
        const char* p = text.Str();
        for (int at = 0; p;) {
            const char* lf = (const char*)memchr(p + at, '\n', text.Len() - at);
            if (!lf)
                break;
            int end = (int)(lf - p);
            STRING line = text.Mid(at, end - at);
            line.Strip('R', " \r");
            // A line that starts with a period gets one more, so none ends the data early.
            if (line.Len() > 0 && line[0] == '.')
                line.Insert(".", 0);
            line.Append("\r\n");
            d.Dev->Write(line.Str(), line.Len());
            at = end + 1;
            if (at < text.Len() && p[at] == '\r')
                at++;
        }

        d.Command(".", 12000);
        if (!Within(d.Code(), 200, 299))
            break;
        ok = TRUE;
        char bye[EMAIL_REPLYMAX];
        TCP::WriteCmd(d.Dev, "QUIT", bye, sizeof bye, 5000);
        d.Dev->DropCall();
    } while (FALSE);

    CopyOut(error, size, d.Reply);
    delete d.Dev;
    return ok;
}

// Encrypted body ------------------------------------------------------------------

STRING HexLines(const void* bytes, int length, BOOL nobreaks)
{
    const unsigned char* p = (const unsigned char*)bytes;
    if (length < 0)
        length = p ? (int)strlen((const char*)p) : 0;
    STRING hex("");
    for (int i = 0; i < length; i++) {
        if (!nobreaks && i > 0 && i % 30 == 0)
            hex.Append("\r\n");
        hex.AppendFormat("%02x", p[i]);
    }
    if (!nobreaks)
        hex.Append("\r\n");
    return hex;
}

BOOL EMAIL::EncryptBody(const char* key, const char* attachment)
{
    int n = Body.Len();
    int size = n / 8 * 8 + 8;
    unsigned char* work = (unsigned char*)calloc(size, 1);
    unsigned char* check = (unsigned char*)calloc(size, 1);
    if (!work || !check) {
        Assert(FALSE, "FALSE", __FILE__, __LINE__, "EncryptBody", FALSE);
        free(work);
        free(check);
        return FALSE;
    }
    if (n > 0)
        memcpy(work, Body.Str(), n);
    memset(work + n, 0x40, size - n);

    CRYPTO crypto(key ? key : "", -1);
    crypto.Encrypt(work, work, size);
    crypto.Decrypt(work, check, size);
    BOOL ok = n == 0 || memcmp(check, Body.Str(), n) == 0;
    if (ok) {
        STRING armour("\r\nHALVO ENCRYPTED EMAIL -- BEGIN\r\n");
        armour.Append(HexLines(work, size, FALSE));
        armour.Append("HALVO ENCRYPTED EMAIL -- END\r\n");
        Body = armour;
        if (attachment)
            AddAttachment("application/octet-stream", attachment, Body);
    }
    free(work);
    free(check);
    return ok;
}
