// The SMTP dialogue against the scripted relay on loopback, the composed
// message byte for byte, and the encrypted body.
#include <gtest/gtest.h>
#include "testrelay.h"
#include "brisel/crypto.h"
#include "brisel/email.h"
#include "brisel/halvo.h"
#include <regex>
#include <string>
#include <vector>

namespace {

struct NoBoxes : testing::Environment {
    void SetUp() override { if (!HalvoAssertBoxesOff()) LogitSwitch("/NOASSERT"); }
};
testing::Environment* const noBoxes = testing::AddGlobalTestEnvironment(new NoBoxes);

std::string Host(const TESTRELAY& relay)
{
    return "127.0.0.1:" + std::to_string(relay.Port());
}

const char* const Ehlo = "250-relay.test hello\r\n250-SIZE 1000000\r\n250 HELP";

// Sends a mail with the given body through a relay playing `script`.
BOOL Deliver(TESTRELAY& relay, EMAIL& mail, STRING* error)
{
    mail.SmtpHost = Host(relay).c_str();
    BOOL ok = mail.Send(error);
    EXPECT_TRUE(relay.Finish(30000));
    return ok;
}

// The text part's header as composed on this machine's code page.
std::string TextType()
{
    return "Content-Type: text/plain; charset=windows-" + std::to_string(GetACP());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> v;
    size_t at = 0;
    for (size_t e; (e = text.find("\r\n", at)) != std::string::npos; at = e + 2)
        v.push_back(text.substr(at, e - at));
    return v;
}

}

TEST(EmailSend, WholeDialogueAndExactMessage)
{
    TESTRELAY relay({ "220 relay.test ESMTP", Ehlo, "250 sender ok", "250 rcpt ok", "354 go ahead",
                      "250 queued as 42", "221 bye" });
    EMAIL mail("  Jane Doe ", " orders@example.test ", "Order 7",
               "Hello\n.\n.abc\ntrailing  \t\n\ttab kept\nin\rside\r\n\nlast", "");
    STRING error;
    ASSERT_TRUE(Deliver(relay, mail, &error));
    EXPECT_STREQ("250 queued as 42", error.Str());

    ASSERT_EQ(6u, relay.Commands.size());
    EXPECT_EQ("EHLO " EMAIL_DOMAIN, relay.Commands[0]);
    EXPECT_EQ("MAIL FROM:<orders@example.test>", relay.Commands[1]);
    EXPECT_EQ("RCPT TO:<orders@example.test>", relay.Commands[2]);
    EXPECT_EQ("DATA", relay.Commands[3]);
    EXPECT_EQ("QUIT", relay.Commands[5]);

    std::vector<std::string> data = Lines(relay.Commands[4] + "\r\n");
    ASSERT_GE(data.size(), 17u);
    EXPECT_EQ("From: Jane Doe", data[0]);
    EXPECT_EQ("To: orders@example.test", data[1]);
    EXPECT_TRUE(std::regex_match(data[2], std::regex("Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d\\d "
                                                     "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} "
                                                     "\\d\\d:\\d\\d:\\d\\d [+-]\\d{4}")))
        << data[2];
    EXPECT_EQ("Subject: Order 7", data[3]);
    EXPECT_EQ("MIME-Version: 1.0", data[4]);
    EXPECT_EQ(TextType(), data[5]);
    EXPECT_EQ("Content-Transfer-Encoding: 7bit", data[6]);
    EXPECT_EQ("", data[7]);
    // A lone period and a leading period are doubled on the wire.
    const std::vector<std::string> body = { "Hello", "..", "..abc", "trailing", "\ttab kept", "in side", "", "last", "" };
    for (size_t i = 0; i < body.size(); i++)
        EXPECT_EQ(body[i], data[8 + i]) << i;
    EXPECT_EQ(".", data.back());
    // Nothing but the final line is a lone period.
    for (size_t i = 0; i + 1 < data.size(); i++)
        EXPECT_NE(".", data[i]) << i;
}

TEST(EmailSend, EncryptedMailWithAttachmentOnTheWire)
{
    TESTRELAY relay({ "220 hi", Ehlo, "250 ok", "250 ok", "354 go", "250 done", "221 bye" });
    EMAIL mail("me", "orders@example.test", "Order", "Item 1\nItem 2", "");
    ASSERT_TRUE(mail.EncryptBody("order-key-123456", "order.skf"));
    STRING error;
    ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
    ASSERT_EQ(6u, relay.Commands.size());

    const std::string b = "----=_Halvo_Mime_Part_08154711";
    std::vector<std::string> data = Lines(relay.Commands[4] + "\r\n");
    std::vector<std::string> armour = Lines(mail.Body.Str());
    std::vector<std::string> base64 = Lines(mail.Body.ToBase64(TRUE).Str());
    ASSERT_EQ(4u, armour.size());
    std::vector<std::string> expect = { "MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"" + b + "\"",
                                        "", "--" + b, TextType(), "Content-Transfer-Encoding: 7bit", "" };
    expect.insert(expect.end(), armour.begin(), armour.end());
    expect.insert(expect.end(), { "", "", "--" + b, "Content-Type: application/octet-stream; name=\"order.skf\"",
                                  "Content-Transfer-Encoding: base64",
                                  "Content-Disposition: attachment; filename=\"order.skf\"", "" });
    expect.insert(expect.end(), base64.begin(), base64.end());
    expect.insert(expect.end(), { "", "--" + b + "--", "", "", "." });
    ASSERT_EQ(4 + expect.size(), data.size());
    for (size_t i = 0; i < expect.size(); i++)
        EXPECT_EQ(expect[i], data[4 + i]) << i;
}

TEST(EmailSend, EhloAuthDetectionAndLogin)
{
    // AUTH on a continuation line: LOGIN noted (no CRAM-MD5), exact LOGIN answers.
    TESTRELAY relay({ "220-first\r\n220 second", "250-relay\r\n250-AUTH=LOGIN PLAIN\r\n250 OK",
                      "334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6", "235 welcome", "250 ok", "250 ok", "354 go",
                      "250 done", "221 bye" });
    EMAIL mail("me", "you@example.test", "s", "b", "");
    mail.UserName = "user";
    mail.Password = "pa55word";
    STRING error;
    ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
    ASSERT_GE(relay.Commands.size(), 5u);
    EXPECT_EQ("AUTH LOGIN", relay.Commands[1]);
    EXPECT_EQ("dXNlcg==", relay.Commands[2]);
    EXPECT_EQ("cGE1NXdvcmQ=", relay.Commands[3]);
    EXPECT_EQ("MAIL FROM:<you@example.test>", relay.Commands[4]);
}

TEST(EmailSend, CramMd5AnswerOfRfc2195)
{
    TESTRELAY relay({ "220 hi", "250-relay\r\n250-AUTH LOGIN CRAM-MD5\r\n250 OK",
                      "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+", "235 ok", "250 ok",
                      "250 ok", "354 go", "250 done", "221 bye" });
    EMAIL mail("me", "you@example.test", "s", "b", "");
    mail.UserName = "tim";
    mail.Password = "tanstaaftanstaaf";
    STRING error;
    ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
    ASSERT_GE(relay.Commands.size(), 3u);
    EXPECT_EQ("AUTH CRAM-MD5", relay.Commands[1]);
    EXPECT_EQ("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw", relay.Commands[2]);
}

TEST(EmailSend, AuthOnAnyEhloLineButOnlyWithUser)
{
    {
        // AUTH on the last line of the reply counts as well.
        TESTRELAY relay({ "220 hi", "250-relay\r\n250 AUTH LOGIN", "334 VXNlcm5hbWU6", "334 UGFzc3dvcmQ6",
                          "235 welcome", "250 ok", "250 ok", "354 go", "250 done", "221 bye" });
        EMAIL mail("me", "you@example.test", "s", "b", "");
        mail.UserName = "tim";
        mail.Password = "secret";
        STRING error;
        ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
        EXPECT_EQ("AUTH LOGIN", relay.Commands.at(1));
        EXPECT_EQ("MAIL FROM:<you@example.test>", relay.Commands.at(4));
    }
    {
        TESTRELAY relay({ "220 hi", "250-relay\r\n250-AUTH LOGIN\r\n250 OK", "250 ok", "250 ok", "354 go",
                          "250 done", "221 bye" });
        EMAIL mail("me", "you@example.test", "s", "b", "");
        STRING error;
        ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
        EXPECT_EQ("MAIL FROM:<you@example.test>", relay.Commands.at(1));
    }
}

TEST(EmailSend, HeloAfterRejectedEhlo)
{
    // The HELO reply is not checked.
    TESTRELAY relay({ "220 old relay", "500 unknown command", "501 whatever", "250 ok", "250 ok", "354 go",
                      "250 done", "221 bye" });
    EMAIL mail("me", "you@example.test", "s", "b", "");
    STRING error;
    ASSERT_TRUE(Deliver(relay, mail, &error)) << error.Str();
    EXPECT_EQ("HELO " EMAIL_DOMAIN, relay.Commands.at(1));
    EXPECT_EQ("MAIL FROM:<you@example.test>", relay.Commands.at(2));
}

TEST(EmailSend, RejectedRecipientEndsWithoutQuit)
{
    TESTRELAY relay({ "220 hi", Ehlo, "250 ok", "550 No such user" });
    EMAIL mail("me", "nobody@example.test", "s", "b", "");
    STRING error;
    EXPECT_FALSE(Deliver(relay, mail, &error));
    EXPECT_STREQ("550 No such user", error.Str());
    EXPECT_EQ(3u, relay.Commands.size());
    EXPECT_TRUE(relay.PeerClosed);
}

TEST(EmailSend, OverlongReplyLineIsNotReadAsTheNextReply)
{
    // Past byte 255 the line carries a fake "250"; the real answer to RCPT is 550.
    std::string longline = "250 " + std::string(251, 'x') + "250 fake";
    ASSERT_GT(longline.size(), 255u);
    TESTRELAY relay({ "220 hi", Ehlo, longline, "550 relaying denied" });
    EMAIL mail("me", "you@example.test", "s", "b", "");
    STRING error;
    EXPECT_FALSE(Deliver(relay, mail, &error));
    EXPECT_STREQ("550 relaying denied", error.Str());
    EXPECT_EQ(3u, relay.Commands.size());     // ended at RCPT, no DATA
}

TEST(EmailSend, RelayThatHangsUpOrStaysSilent)
{
    char error[256];
    {
        // Noticed at once, not at the end of the time-outs.
        TESTRELAY relay({ "220 hi", "<close>" });
        EMAIL mail("me", "you@example.test", "s", "b", Host(relay).c_str());
        memset(error, 'x', sizeof error);
        DWORD start = GetTickCount();
        EXPECT_FALSE(mail.SendMail(mail.ComposeMessage(), error, sizeof error, 1000));
        EXPECT_LT(GetTickCount() - start, 3000u);
        EXPECT_STREQ("Connection closed by the mail server", error);
        EXPECT_EQ("EHLO " EMAIL_DOMAIN, relay.Commands.at(0));
    }
    {
        TESTRELAY relay({ "<silent>" });
        EMAIL mail("me", "you@example.test", "s", "b", Host(relay).c_str());
        DWORD start = GetTickCount();
        EXPECT_FALSE(mail.SendMail(mail.ComposeMessage(), error, sizeof error, 1000));
        EXPECT_STREQ("No response from the mail server", error);
        EXPECT_LT(GetTickCount() - start, 25000u);
        // Unanswered EHLO leads to HELO, the unanswered MAIL FROM ends it.
        ASSERT_TRUE(relay.Finish(30000));
        ASSERT_EQ(3u, relay.Commands.size());
        EXPECT_EQ("HELO " EMAIL_DOMAIN, relay.Commands[1]);
        EXPECT_EQ("MAIL FROM:<you@example.test>", relay.Commands[2]);
    }
}

TEST(EmailSend, NoConnectionGivesTheDeviceText)
{
    int port;
    SOCKET closed = TestListen(&port);
    closesocket(closed);
    EMAIL refused("me", "you@example.test", "s", "b", ("127.0.0.1:" + std::to_string(port)).c_str());
    STRING error;
    DWORD start = GetTickCount();
    EXPECT_FALSE(refused.Send(&error));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_STREQ("No response", error.Str());

    EMAIL unknown("me", "you@example.test", "s", "b", "no..such..host");
    EXPECT_FALSE(unknown.Send(&error));
    EXPECT_STREQ("Host not found", error.Str());
}

TEST(EmailCompose, HeadersDateAndBodyRules)
{
    SYSTEMTIME st = {};
    st.wYear = 2003; st.wMonth = 3; st.wDay = 5; st.wHour = 9; st.wMinute = 7; st.wSecond = 4;
    EXPECT_STREQ("Wed, 05 Mar 2003 09:07:04 +0100", EMAIL::DateText(st, 60).Str());
    st.wYear = 2002; st.wMonth = 12; st.wDay = 18; st.wHour = 17; st.wMinute = 9; st.wSecond = 0;
    EXPECT_STREQ("Wed, 18 Dec 2002 17:09:00 -0330", EMAIL::DateText(st, -210).Str());
    st.wYear = 2024; st.wMonth = 2; st.wDay = 29; st.wDayOfWeek = 6;   // a wrong weekday is not taken
    EXPECT_STREQ("Thu, 29 Feb 2024 17:09:00 +0000", EMAIL::DateText(st, 0).Str());

    EMAIL mail("   ", "a@b.test", "Subj", "one\n.\n", "");
    STRING msg = mail.ComposeMessage();
    std::vector<std::string> lines = Lines(msg.Str());
    ASSERT_EQ(12u, lines.size());
    EXPECT_EQ("From: anonymous", lines[0]);
    EXPECT_EQ("Subject: Subj", lines[3]);
    EXPECT_EQ("MIME-Version: 1.0", lines[4]);
    EXPECT_EQ(TextType(), lines[5]);
    EXPECT_EQ("Content-Transfer-Encoding: 7bit", lines[6]);
    EXPECT_EQ("", lines[7]);
    EXPECT_EQ("one", lines[8]);
    EXPECT_EQ(". ", lines[9]);       // cannot end the data phase
    EXPECT_EQ("", lines[10]);        // the field after the last line feed
    EXPECT_EQ("", lines[11]);
    EXPECT_EQ(std::string::npos, std::string(msg.Str()).find("multipart"));
}

TEST(EmailCompose, EightBitTextAndLongLines)
{
    // Quoted-printable: "=" and 8-bit bytes coded, a blank at a line's end kept
    // by coding it, lines within 76 characters with soft breaks.
    std::string longline(1000, 'x');
    EMAIL mail("me", "a@b.test", "Rendel\xe9s \xe1ll\xe1sa_1", ("a=b \xf5\n.\n" + longline).c_str(), "");
    std::string msg = mail.ComposeMessage(FALSE).Str();
    std::string body = msg.substr(msg.find("\r\n\r\n") + 4);
    EXPECT_NE(std::string::npos, msg.find("Content-Transfer-Encoding: quoted-printable\r\n"));
    std::vector<std::string> lines = Lines(body);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("a=3Db =F5", lines[0]);
    EXPECT_EQ(".=20", lines[1]);
    std::string joined;
    for (size_t i = 2; i < lines.size(); i++) {
        EXPECT_LE(lines[i].size(), 76u) << i;
        joined += lines[i].size() && lines[i].back() == '=' ? lines[i].substr(0, lines[i].size() - 1) : lines[i];
    }
    EXPECT_EQ(longline, joined);
    // The subject as encoded words in the program's charset.
    std::string charset = "windows-" + std::to_string(GetACP());
    EXPECT_NE(std::string::npos, msg.find("Subject: =?" + charset + "?Q?Rendel=E9s_=E1ll=E1sa=5F1?=\r\n"));

    // Not even where the relay takes 8-bit text: a line is too long for mail.
    EXPECT_NE(std::string::npos, std::string(mail.ComposeMessage(TRUE).Str()).find("quoted-printable"));
    // A long subject folds into several words of at most 75 characters.
    EMAIL folded("me", "a@b.test", std::string(60, '\xe9').c_str(), "b", "");
    std::vector<std::string> head = Lines(folded.ComposeMessage().Str());
    ASSERT_GE(head.size(), 5u);
    EXPECT_EQ(0u, head[3].find("Subject: =?"));
    EXPECT_EQ(0u, head[4].find(" =?"));
    EXPECT_LE(head[3].size() - 9, 75u);
}

TEST(EmailCompose, MultipartWithAttachmentsAndBoundaryClash)
{
    EMAIL mail("me", "a@b.test", "s", "text", "");
    STRING data;
    data.Make(3, "\x01\xfe\x00");
    mail.AddAttachment(NULL, "blob.bin", data);
    std::string msg = mail.ComposeMessage().Str();
    const std::string b = "----=_Halvo_Mime_Part_08154711";
    EXPECT_NE(std::string::npos, msg.find("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + b +
                                          "\"\r\n\r\n--" + b + "\r\n" + TextType() +
                                          "\r\nContent-Transfer-Encoding: 7bit\r\n\r\ntext\r\n\r\n--" + b + "\r\n"));
    EXPECT_NE(std::string::npos, msg.find("Content-Type: application/octet-stream; name=\"blob.bin\"\r\n"
                                          "Content-Transfer-Encoding: base64\r\n"
                                          "Content-Disposition: attachment; filename=\"blob.bin\"\r\n\r\n"
                                          "Af4A\r\n\r\n--" + b + "--\r\n\r\n"));
    size_t count = 0;
    for (size_t at = 0; (at = msg.find("--" + b + "\r\n", at)) != std::string::npos; at++)
        count++;
    EXPECT_EQ(2u, count);
    EXPECT_EQ(msg.size() - b.size() - 8, msg.find("--" + b + "--"));

    // A part that contains the boundary (and its first extension) pushes it further.
    EMAIL clash("me", "a@b.test", "s", "text", "");
    clash.AddAttachment("text/x-test", "t.txt", STRING("x"));
    STRING raw("Content-Type: x\r\n\r\n");
    raw.Append(b.c_str()).Append("$");
    clash.Attachments.Add(raw);
    EXPECT_STREQ((b + "$$").c_str(), clash.Boundary().Str());
}

TEST(EmailEncrypt, BlockSizesLinesAndAttachment)
{
    auto armour = [](const char* body, const char* key) {
        EMAIL mail("me", "a@b.test", "s", body, "");
        EXPECT_TRUE(mail.EncryptBody(key, NULL));
        return std::string(mail.Body.Str());
    };
    const std::string begin = "\r\nHALVO ENCRYPTED EMAIL -- BEGIN\r\n", end = "HALVO ENCRYPTED EMAIL -- END\r\n";

    std::string eight = armour("12345678", "order-key-123456");
    ASSERT_EQ(0u, eight.find(begin));
    std::vector<std::string> lines = Lines(eight.substr(begin.size()));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(32u, lines[0].size());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("[0-9a-f]+")));
    EXPECT_EQ(end, lines[1] + "\r\n");

    lines = Lines(armour(std::string(31, 'q').c_str(), "order-key-123456").substr(begin.size()));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(60u, lines[0].size());
    EXPECT_EQ(4u, lines[1].size());

    // Deterministic, and decrypts back to the body with its 0x40 padding.
    const char* text = "Quantity 3\nTotal 42.00";
    std::string a = armour(text, "order-key-123456");
    EXPECT_EQ(a, armour(text, "order-key-123456"));
    std::string hex;
    for (const std::string& l : Lines(a.substr(begin.size())))
        if (l.find("HALVO") == std::string::npos)
            hex += l;
    ASSERT_EQ(48u, hex.size());
    unsigned char block[24];
    for (int i = 0; i < 24; i++)
        block[i] = (unsigned char)std::stoi(hex.substr(2 * i, 2), nullptr, 16);
    CRYPTO c("order-key-123456", -1);
    c.Decrypt(block, block, 24);
    EXPECT_EQ(std::string(text) + "@@", std::string((char*)block, 24));

    // With an attachment name the block travels as base64 too.
    EMAIL mail("me", "a@b.test", "s", text, "");
    ASSERT_TRUE(mail.EncryptBody("order-key-123456", "order.skf"));
    ASSERT_EQ(1, mail.Attachments.Count());
    std::string part = mail.Attachments.Get(0)->Str();
    EXPECT_NE(std::string::npos, part.find("name=\"order.skf\""));
    EXPECT_NE(std::string::npos, part.find(mail.Body.ToBase64(TRUE).Str()));
    EXPECT_STREQ("", HexLines("", 0, TRUE).Str());
    EXPECT_STREQ("0001ff", HexLines("\x00\x01\xff", 3, TRUE).Str());
}
