// Mail composition, the SMTP dialogue and the encrypted body.
#include "brisel/email.h"
#include "brisel/app.h"
#include "brisel/clock.h"
#include "brisel/crypto.h"
#include "brisel/halvo.h"
#include "brisel/md5.h"
#include "brisel/osys.h"
#include "brisel/tcpio.h"
#include <cctype>
#include <memory>
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

STRING EMAIL::DateText(const SYSTEMTIME& local, int offset)
{
    static const char days[] = "SunMonTueWedThuFriSat";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    // The weekday from the date itself: a clock that was set need not carry it.
    SYSTEMTIME day = local;
    FILETIME ft;
    int weekday = 0;
    if (SystemTimeToFileTime(&day, &ft) && FileTimeToSystemTime(&ft, &day))
        weekday = day.wDayOfWeek % 7;
    int m = local.wMonth >= 1 && local.wMonth <= 12 ? local.wMonth - 1 : 0;
    int zone = offset < 0 ? -offset : offset;
    STRING date;
    date.Format("%.3s, %02d %.3s %04d %02d:%02d:%02d %c%02d%02d", days + 3 * weekday, local.wDay, months + 3 * m,
                local.wYear, local.wHour, local.wMinute, local.wSecond, offset < 0 ? '-' : '+', zone / 60 % 100,
                zone % 60);
    return date;
}

// Minutes east of UTC in force at a local time of this machine's time zone.
static int ZoneOffset(const SYSTEMTIME& local)
{
    SYSTEMTIME utc;
    FILETIME lf, uf;
    if (!TzSpecificLocalTimeToSystemTime(NULL, &local, &utc) || !SystemTimeToFileTime(&local, &lf) ||
        !SystemTimeToFileTime(&utc, &uf))
        return 0;
    LONGLONG l = ((LONGLONG)lf.dwHighDateTime << 32) | lf.dwLowDateTime;
    LONGLONG u = ((LONGLONG)uf.dwHighDateTime << 32) | uf.dwLowDateTime;
    return (int)((l - u) / 600000000);
}

STRING EMAIL::Charset()
{
    UINT cp = GetACP();
    switch (cp) {
    case 932: return STRING("Shift_JIS");
    case 936: return STRING("GBK");
    case 949: return STRING("EUC-KR");
    case 950: return STRING("Big5");
    case 65001: return STRING("UTF-8");
    }
    STRING name;
    name.Format("windows-%u", cp);
    return name;
}

static BOOL HasEightBit(const STRING& text)
{
    for (int i = 0; i < text.Len(); i++)
        if ((unsigned char)text[i] >= 0x80)
            return TRUE;
    return FALSE;
}

// Quoted-printable (RFC 2045) of lines ended by CR LF: "=", control and 8-bit
// bytes and a blank at a line's end as =XX; soft line breaks keep every line
// within 76 characters.
static STRING QuotedPrintable(const STRING& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const unsigned char* p = (const unsigned char*)(text.Str() ? text.Str() : "");
    int n = text.Len();
    STRING out("");
    int column = 0;
    for (int i = 0; i < n; i++) {
        unsigned char c = p[i];
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n') {
            out.Append("\r\n", 2);
            column = 0;
            i++;
            continue;
        }
        BOOL atend = i + 1 == n || p[i + 1] == '\r';
        char code[3] = {(char)c, 0, 0};
        int len = 1;
        if (!((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atend))) {
            code[0] = '=';
            code[1] = hex[c >> 4];
            code[2] = hex[c & 15];
            len = 3;
        }
        if (column + len > 75) {
            out.Append("=\r\n", 3);
            column = 0;
        }
        out.Append(code, len);
        column += len;
    }
    return out;
}

// A header value with 8-bit bytes as RFC 2047 encoded words ("Q") in the
// program's charset, each within 75 characters, folded onto lines of their own.
static STRING HeaderText(const STRING& value)
{
    if (!HasEightBit(value))
        return value;
    static const char hex[] = "0123456789ABCDEF";
    STRING lead = "=?" || EMAIL::Charset() || "?Q?";
    STRING out(""), word("");
    for (int i = 0; i < value.Len(); i++) {
        unsigned char c = (unsigned char)value[i];
        char code[3] = {(char)c, 0, 0};
        int len = 1;
        if (c == ' ')
            code[0] = '_';
        else if (c >= 0x80 || !isalnum(c)) {
            code[0] = '=';
            code[1] = hex[c >> 4];
            code[2] = hex[c & 15];
            len = 3;
        }
        if (lead.Len() + word.Len() + len + 2 > 75) {
            out.Append(lead).Append(word).Append("?=\r\n ");
            word = "";
        }
        word.Append(code, len);
    }
    return out.Append(lead).Append(word).Append("?=");
}

STRING EMAIL::ComposeMessage(BOOL eightbit)
{
    SYSTEMTIME now;
    CLOCK::LocalTime(now);
    BOOL multipart = Attachments.Count() > 0;
    STRING boundary = multipart ? Boundary() : STRING("");

    // The body line by line: fields between line feeds, the last one included.
    STRING text("");
    BOOL longlines = FALSE;
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
        longlines |= line.Len() > 998;
        text.Append(line).Append("\r\n");
        at = end + 1;
    }
    text.Append("\r\n");

    // 7-bit text as it is; 8-bit text as it is only where the relay takes it,
    // and never in lines too long for mail.
    const char* encoding = "7bit";
    if (longlines || (HasEightBit(text) && !eightbit)) {
        encoding = "quoted-printable";
        text = QuotedPrintable(text);
    } else if (HasEightBit(text))
        encoding = "8bit";

    STRING msg("From: ");
    msg.Append(Sender).Append("\r\n");
    msg.Append("To: ").Append(Receiver).Append("\r\n");
    msg.Append("Date: ").Append(DateText(now, ZoneOffset(now))).Append("\r\n");
    msg.Append("Subject: ").Append(HeaderText(Subject)).Append("\r\n");
    msg.Append("MIME-Version: 1.0\r\n");
    if (multipart) {
        msg.Append("Content-Type: multipart/mixed; boundary=\"").Append(boundary).Append("\"\r\n\r\n");
        msg.Append("--").Append(boundary).Append("\r\n");
    }
    msg.Append("Content-Type: text/plain; charset=").Append(Charset()).Append("\r\n");
    msg.Append("Content-Transfer-Encoding: ").Append(encoding).Append("\r\n");
    msg.Append("\r\n");
    msg.Append(text);

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
    BOOL ok = SendMail(STRING(), error, sizeof error, 15000);
    if (errortext)
        *errortext = error;
    return ok;
}

namespace {

// One SMTP dialogue: the device and the relay's last reply line.
struct SMTPDIALOG {
    std::unique_ptr<TCPIPIO> Dev;
    char Reply[EMAIL_REPLYMAX];

    int Code() const { return atol(Reply); }
    BOOL Continued() const { return strlen(Reply) > 3 && Reply[3] == '-'; }
    BOOL Command(const char* text, int timeout) { return TCP::WriteCmd(Dev.get(), text, Reply, sizeof Reply, timeout); }
    BOOL Command(const STRING& text, int timeout) { return Command(text.Str(), timeout); }
    void NextLine(int timeout) { TCP::ReadLine(Dev.get(), Reply, sizeof Reply, timeout); }
};

// What the relay offers in its EHLO reply.
struct SMTPOFFER {
    BOOL Login;
    BOOL CramMd5;
    BOOL EightBit;
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

// What the user reads when the relay went away without a reply: field 0 when
// it closed the connection, field 1 when it stopped answering; in the language
// of the program's texts, as the send dialog's own.
STRING LostRelayText(int field)
{
    static const char english[] = "Connection closed by the mail server|No response from the mail server";
    static const char german[] = "Der Mailserver hat die Verbindung getrennt|Keine Antwort vom Mailserver";
    static const char french[] = "Connexion ferm\xe9" "e par le serveur de messagerie|"
                                 "Pas de r\xe9ponse du serveur de messagerie";
    static const char hungarian[] = "A levelez\xf5kiszolg\xe1l\xf3 bontotta a kapcsolatot|"
                                    "A levelez\xf5kiszolg\xe1l\xf3 nem v\xe1laszol";
    int language = APP::Language();
    const char* texts = language == LANG_GERMAN ? german : language == LANG_FRENCH ? french
                      : language == LANG_HUNGARIAN ? hungarian : english;
    return STRING(texts).Word(field, "|", WORD_EMPTYNOTNULL);
}

// The greeting (its code is not checked), then EHLO, or HELO when the relay
// knows no EHLO; what it offers, on any line of its EHLO reply.
SMTPOFFER Hello(SMTPDIALOG& d, int timeout)
{
    do
        d.NextLine(timeout);
    while (d.Continued());
    SMTPOFFER offer = {FALSE, FALSE, FALSE};
    d.Command("EHLO " EMAIL_DOMAIN, 5000);
    for (;;) {
        STRING line(d.Reply);
        if (line.iFind("AUTH")) {
            offer.Login |= line.iFind("LOGIN");
            offer.CramMd5 |= line.iFind("CRAM-MD5");
        }
        offer.EightBit |= line.iFind("8BITMIME");
        if (!d.Continued())
            break;
        d.NextLine(5000);
    }
    if (!Within(d.Code(), 200, 299)) {
        offer.EightBit = FALSE;
        d.Command("HELO " EMAIL_DOMAIN, 5000);
        while (d.Continued())
            d.NextLine(5000);
    }
    return offer;
}

// Logs in with CRAM-MD5 where the relay offers it, else with LOGIN; FALSE
// when the relay refuses. Without an offer there is nothing to do.
BOOL LogIn(SMTPDIALOG& d, const SMTPOFFER& offer, const STRING& user, const STRING& password, int timeout)
{
    if (offer.CramMd5) {
        d.Command("AUTH CRAM-MD5", 5000);
        if (d.Code() != 334)
            return FALSE;
        STRING challenge = STRING(strlen(d.Reply) > 4 ? d.Reply + 4 : "").FromBase64();
        unsigned char mac[16];
        HmacMd5(password.Str(), password.Len(), challenge.Str() ? challenge.Str() : "", challenge.Len(), mac);
        STRING digest;
        digest.Make(16, (const char*)mac);
        STRING answer(user);
        answer.Append(" ").Append(digest.ToHex());
        d.Command(answer.ToBase64(FALSE), timeout);
        return Within(d.Code(), 200, 299);
    }
    if (offer.Login) {
        d.Command("AUTH LOGIN", 5000);
        if (d.Code() != 334)
            return FALSE;
        d.Command(user.ToBase64(FALSE), 5000);
        if (d.Code() != 334)
            return FALSE;
        d.Command(password.ToBase64(FALSE), timeout);
        return Within(d.Code(), 200, 299);
    }
    return TRUE;
}

// MAIL FROM, RCPT TO and DATA; FALSE when the relay refuses one of them.
BOOL Envelope(SMTPDIALOG& d, const STRING& receiver, BOOL eightbit)
{
    STRING from("MAIL FROM:<");
    from.Append(receiver).Append(">");
    if (eightbit)
        from.Append(" BODY=8BITMIME");
    d.Command(from, 5000);
    if (!Within(d.Code(), 200, 299))
        return FALSE;
    STRING to("RCPT TO:<");
    to.Append(receiver).Append(">");
    d.Command(to, 5000);
    if (!Within(d.Code(), 200, 299))
        return FALSE;
    d.Command("DATA", 5000);
    return Within(d.Code(), 200, 399);
}

// The message line by line, each ended by CR LF; a line that starts with a
// period gets one more, so that none ends the data early.
void WriteData(SMTPDIALOG& d, STRING text)
{
    Logit("EMAIL::SendMail before writing the message\n");
    text.Append("\n");
    const char* p = text.Str();
    for (int at = 0; p;) {
        const char* lf = (const char*)memchr(p + at, '\n', text.Len() - at);
        if (!lf)
            break;
        int end = (int)(lf - p);
        STRING line = text.Mid(at, end - at);
        line.Strip('R', " \r");
        if (line.Len() > 0 && line[0] == '.')
            line.Insert(".", 0);
        line.Append("\r\n");
        d.Dev->Write(line.Str(), line.Len());
        at = end + 1;
        if (at < text.Len() && p[at] == '\r')
            at++;
    }
}

}

BOOL EMAIL::SendMail(const STRING& message, char* error, int size, int timeout)
{
    SMTPDIALOG d;
    memset(d.Reply, 0, sizeof d.Reply);
    d.Dev = std::make_unique<TCPIPIO>("", "", "");
    STRING destination(SmtpHost);
    destination.Append(":smtp");
    if (!d.Dev->MakeCall(destination.Str())) {
        STRING why = d.Dev->GetInfo("LastErrorString");
        Logit("EMAIL::SendMail error: %s\n", why.Str());
        CopyOut(error, size, why.Str());
        return FALSE;
    }

    SMTPOFFER offer = Hello(d, timeout);
    BOOL ok = UserName.Len() == 0 || Password.Len() == 0 || LogIn(d, offer, UserName, Password, timeout);
    // This mail, composed for what the relay takes; 8-bit text is announced.
    STRING text;
    if (ok) {
        text = message.IsNull() ? ComposeMessage(offer.EightBit) : message;
        ok = Envelope(d, Receiver, offer.EightBit && HasEightBit(text));
    }
    if (ok) {
        WriteData(d, text);
        d.Command(".", 12000);
        ok = Within(d.Code(), 200, 299);
    }
    if (ok) {
        char bye[EMAIL_REPLYMAX];
        TCP::WriteCmd(d.Dev.get(), "QUIT", bye, sizeof bye, 5000);
        d.Dev->DropCall();
    }

    // No reply at all: say whether the relay hung up or fell silent.
    if (!ok && d.Reply[0] == 0) {
        STRING why = LostRelayText(d.Dev->GetInfo("ONLINE").Atoi() ? 1 : 0);
        Logit("EMAIL::SendMail error: %s\n", why.Str());
        CopyOut(error, size, why.Str());
    } else
        CopyOut(error, size, d.Reply);
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
