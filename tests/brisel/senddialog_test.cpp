// The send dialog driven from a second thread as a user would drive it: the
// texts it shows, the boxes it opens (owner, caption, text), and the mail the
// loopback relay receives.
#include <gtest/gtest.h>
#include "testrelay.h"
#include "brisel/app.h"
#include "brisel/email.h"
#include "brisel/halvo.h"
#include "brisel/windows.h"
#include "../testboxes.h"
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

struct NoBoxes : testing::Environment {
    void SetUp() override { if (!HalvoAssertBoxesOff()) LogitSwitch("/NOASSERT"); }
};
testing::Environment* const noBoxes = testing::AddGlobalTestEnvironment(new NoBoxes);

const char* const Ehlo = "250-relay.test hello\r\n250 HELP";

std::string Folder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// The language module as resource module, as the program has it.
struct LANGUAGE {
    explicit LANGUAGE(const char* module, int code)
    {
        h = LoadLibraryA((Folder() + module).c_str());
        APP::SetResourceModule(h);
        APP::SetLanguage(code);
    }
    ~LANGUAGE()
    {
        APP::SetResourceModule(NULL);
        if (h)
            FreeLibrary(h);
    }
    HMODULE h;
};

std::string Text(HWND h)
{
    char buf[20000] = "";
    SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_BLOCK, 5000, NULL);
    return buf;
}

// A visible dialog of this process that matches, within 20 s.
HWND WaitFor(const testboxes::BOXMATCH& match)
{
    return testboxes::WaitBox(20000, GetCurrentProcessId(), 0, match);
}

HWND WaitSendDialog()
{
    return WaitFor([](HWND h) { return GetDlgItem(h, 1009) != NULL; });
}

struct BOX {
    std::string caption, text;
    HWND owner = NULL;
};

// The next message box: caption, text (its static controls) and owner; answered with OK.
bool AnswerBox(BOX& box)
{
    HWND h = WaitFor([](HWND w) { return GetDlgItem(w, 1009) == NULL && GetDlgItem(w, IDOK) != NULL; });
    if (!h)
        return false;
    box.caption = Text(h);
    box.owner = GetWindow(h, GW_OWNER);
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(c, cls, sizeof cls);
        if (_stricmp(cls, "Static") == 0)
            box.text += Text(c);
    }
    PostMessageA(GetDlgItem(h, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < 200 && IsWindow(h); i++)
        Sleep(50);
    return true;
}

bool WaitEnabled(HWND h)
{
    for (int i = 0; i < 400; i++) {
        if (IsWindowEnabled(h))
            return true;
        Sleep(50);
    }
    return false;
}

// Runs the user's part on its own thread while SendDialog runs on this one.
struct USER {
    explicit USER(std::function<void()> f) : work(std::move(f))
    {
        thread = CreateThread(NULL, 0, [](LPVOID p) WINAPI -> DWORD {
            ((USER*)p)->work();
            return 0;
        }, this, 0, NULL);
    }
    ~USER()
    {
        WaitForSingleObject(thread, 60000);
        CloseHandle(thread);
    }
    std::function<void()> work;
    HANDLE thread;
};

// Ends whatever is left open, so that a failed expectation cannot hang the test.
void Abandon(HWND dialog)
{
    if (dialog)
        PostMessageA(dialog, WM_BRISEL_END, 0, 0);
}

std::vector<std::string> DataLines(const std::string& data)
{
    std::vector<std::string> v;
    size_t at = 0;
    for (size_t e; (e = data.find("\r\n", at)) != std::string::npos; at = e + 2)
        v.push_back(data.substr(at, e - at));
    return v;
}

}

TEST(SendDialog, EnglishSendsTheWholeEditedMail)
{
    LANGUAGE lang("setupenglish.dll", 9);
    ASSERT_NE(nullptr, lang.h);
    TESTRELAY relay({ "220 relay.test ESMTP", Ehlo, "250 ok", "250 ok", "354 go", "250 queued", "221 bye" });
    std::string host = "127.0.0.1:" + std::to_string(relay.Port());
    EMAIL mail("", "feedback@example.test", "Tool V2.5 uninstall", "initial", host.c_str());

    // More than the edit's nominal limit of 8192 characters: must arrive uncut.
    std::string body;
    for (int i = 0; body.size() < 12000; i++)
        body += "line " + std::to_string(i) + " of a long text that must not be cut\r\n";
    body += "last line";

    std::string cancel, receiver, sender, subject, shown, status, after;
    LONG_PTR receiverstyle = 0, bodystyle = 0;
    BOOL sendenabled = TRUE, cancelenabled = FALSE;
    BOX prompt, result;
    bool ok = false;
    {
        USER user([&] {
            HWND d = WaitSendDialog();
            if (!d)
                return;
            cancel = Text(GetDlgItem(d, 2));
            receiver = Text(GetDlgItem(d, 1001));
            sender = Text(GetDlgItem(d, 1002));
            subject = Text(GetDlgItem(d, 1003));
            shown = Text(GetDlgItem(d, 1004));
            receiverstyle = GetWindowLongPtrA(GetDlgItem(d, 1001), GWL_STYLE);
            bodystyle = GetWindowLongPtrA(GetDlgItem(d, 1004), GWL_STYLE);
            SendMessageTimeoutA(GetDlgItem(d, 1002), WM_SETTEXT, 0, (LPARAM)"  Jane ", SMTO_BLOCK, 5000, NULL);
            SendMessageTimeoutA(GetDlgItem(d, 1004), WM_SETTEXT, 0, (LPARAM)body.c_str(), SMTO_BLOCK, 5000, NULL);
            PostMessageA(GetDlgItem(d, 1009), BM_CLICK, 0, 0);
            if (!AnswerBox(prompt) || !AnswerBox(result)) {
                Abandon(d);
                return;
            }
            status = Text(GetDlgItem(d, 1005));
            sendenabled = IsWindowEnabled(GetDlgItem(d, 1009));
            cancelenabled = WaitEnabled(GetDlgItem(d, 2));
            after = Text(GetDlgItem(d, 2));
            ok = true;
            PostMessageA(GetDlgItem(d, 2), BM_CLICK, 0, 0);
        });
        EXPECT_TRUE(mail.SendDialog(2090, "Send Test"));
    }
    ASSERT_TRUE(ok);
    EXPECT_EQ("Cancel", cancel);
    EXPECT_EQ("feedback@example.test", receiver);
    EXPECT_EQ("anonymous", sender);
    EXPECT_EQ("Tool V2.5 uninstall", subject);
    EXPECT_EQ("initial", shown);
    EXPECT_TRUE(receiverstyle & ES_READONLY);
    EXPECT_TRUE(bodystyle & ES_WANTRETURN);

    // The prompt has no owner; the result box belongs to the dialog and has its title.
    EXPECT_EQ("Internet Connection", prompt.caption);
    EXPECT_EQ("Please press OK when an Internet connection is available", prompt.text);
    EXPECT_EQ(nullptr, prompt.owner);
    EXPECT_EQ("Send Test", result.caption);
    EXPECT_EQ("Your mail has been sent. Thank you!", result.text);
    EXPECT_NE(nullptr, result.owner);
    EXPECT_EQ("Your mail has been sent. Thank you!", status);
    EXPECT_FALSE(sendenabled);
    EXPECT_TRUE(cancelenabled);
    EXPECT_EQ("Done", after);

    // The mail took the dialog's texts.
    EXPECT_STREQ("Jane", mail.Sender.Str());
    ASSERT_TRUE(relay.Finish(30000));
    ASSERT_GE(relay.Commands.size(), 5u);
    std::vector<std::string> data = DataLines(relay.Commands[4] + "\r\n");
    ASSERT_GE(data.size(), 6u);
    EXPECT_EQ("From: Jane", data[0]);
    EXPECT_EQ("To: feedback@example.test", data[1]);
    EXPECT_EQ("Subject: Tool V2.5 uninstall", data[3]);
    // The body uncut after the header, then nothing but the blank line and the end of the data.
    std::string received;
    size_t i = std::find(data.begin(), data.end(), "") - data.begin() + 1;
    for (; i < data.size() && received.size() < body.size(); i++)
        received += data[i] + (received.size() + data[i].size() < body.size() ? "\r\n" : "");
    EXPECT_TRUE(received == body) << "sent " << body.size() << ", received " << received.size();
    for (; i < data.size(); i++)
        EXPECT_TRUE(data[i] == "" || data[i] == ".") << data[i];
}

TEST(SendDialog, GermanFailureKeepsTheDialogForAnotherTry)
{
    LANGUAGE lang("setupgerman.dll", 7);
    ASSERT_NE(nullptr, lang.h);
    TESTRELAY relay({ "220 relay.test ESMTP", Ehlo, "250 ok", "550 No such user" });
    std::string host = "127.0.0.1:" + std::to_string(relay.Port());
    EMAIL mail("", "nobody@example.test", "Betreff", "Ein Text", host.c_str());

    // Opened from a wizard: the wizard takes no clicks while the dialog is up.
    HWND wizard = CreateWindowExA(0, "STATIC", "Wizard", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                  NULL, NULL, NULL, NULL);
    HWND page = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, wizard, NULL, NULL, NULL);
    ASSERT_NE(nullptr, page);
    std::string cancel, status, after;
    BOOL sendenabled = FALSE, wizardenabled = TRUE;
    HWND owner = NULL;
    BOX prompt, result;
    bool ok = false;
    {
        USER user([&] {
            HWND d = WaitSendDialog();
            if (!d)
                return;
            owner = GetWindow(d, GW_OWNER);
            wizardenabled = IsWindowEnabled(wizard);
            cancel = Text(GetDlgItem(d, 2));
            PostMessageA(GetDlgItem(d, 1009), BM_CLICK, 0, 0);
            if (!AnswerBox(prompt) || !AnswerBox(result)) {
                Abandon(d);
                return;
            }
            status = Text(GetDlgItem(d, 1005));
            WaitEnabled(GetDlgItem(d, 2));
            sendenabled = IsWindowEnabled(GetDlgItem(d, 1009));
            after = Text(GetDlgItem(d, 2));
            ok = true;
            PostMessageA(GetDlgItem(d, 2), BM_CLICK, 0, 0);
        });
        EXPECT_FALSE(mail.SendDialog(2090, "eMail senden", page));
    }
    EXPECT_EQ(wizard, owner);
    EXPECT_FALSE(wizardenabled);
    EXPECT_TRUE(IsWindowEnabled(wizard));
    DestroyWindow(wizard);
    ASSERT_TRUE(ok);
    EXPECT_EQ("Abbruch", cancel);
    EXPECT_EQ("Internet Verbindung", prompt.caption);
    EXPECT_EQ("Bitte klicken Sie auf OK, wenn Sie eine Internetverbindung hergestellt haben.", prompt.text);
    EXPECT_EQ("eMail senden", result.caption);
    EXPECT_EQ("Es ist ein Fehler aufgetreten (550 No such user). Bitte versuchen Sie es noch einmal oder "
              "schicken Sie den Text per Post, Fax oder mit Ihrem eigenen eMail Programm.", result.text);
    EXPECT_NE(nullptr, result.owner);
    EXPECT_EQ("Fehler: 550 No such user", status);
    EXPECT_TRUE(sendenabled);
    EXPECT_EQ("Fertig", after);
}

TEST(SendDialog, ShortBodyIsNotSent)
{
    LANGUAGE lang("setupenglish.dll", 12);
    ASSERT_NE(nullptr, lang.h);
    // No relay listens: a connection attempt would show the prompt box first.
    EMAIL mail("", "a@example.test", "s", "abc", "127.0.0.1:1");
    std::string cancel, after;
    BOOL sendenabled = TRUE;
    bool boxed = false, newline = false, sentbefore = true;
    {
        USER user([&] {
            HWND d = WaitSendDialog();
            if (!d)
                return;
            cancel = Text(GetDlgItem(d, 2));
            // Enter in the body is a new line there, not the default Send button.
            HWND body = GetDlgItem(d, 1004);
            PostMessageA(body, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(body, WM_CHAR, '\r', 0x001C0001);
            PostMessageA(body, WM_KEYUP, VK_RETURN, 0xC01C0001);
            for (int i = 0; i < 100 && Text(body).find("\r\n") == std::string::npos; i++)
                Sleep(50);
            newline = Text(body).find("\r\n") != std::string::npos;
            sentbefore = Text(GetDlgItem(d, 2)) != "Cancel";
            SendMessageTimeoutA(body, WM_SETTEXT, 0, (LPARAM)"abc", SMTO_BLOCK, 5000, NULL);
            PostMessageA(GetDlgItem(d, 1009), BM_CLICK, 0, 0);
            for (int i = 0; i < 200 && Text(GetDlgItem(d, 2)) != "Done"; i++) {
                HWND found = testboxes::FindBox(GetCurrentProcessId(), 0,
                                                [](HWND w) { return GetDlgItem(w, 1009) == NULL; });
                if (found) {   // no box may come up: nothing is sent
                    boxed = true;
                    PostMessageA(GetDlgItem(found, IDOK), BM_CLICK, 0, 0);
                }
                Sleep(50);
            }
            sendenabled = IsWindowEnabled(GetDlgItem(d, 1009));
            after = Text(GetDlgItem(d, 2));
            PostMessageA(GetDlgItem(d, 2), BM_CLICK, 0, 0);
        });
        EXPECT_FALSE(mail.SendDialog(2090, "Send"));
    }
    EXPECT_FALSE(boxed);
    EXPECT_TRUE(newline);
    EXPECT_FALSE(sentbefore);
    EXPECT_EQ("Cancel", cancel);
    EXPECT_FALSE(sendenabled);
    EXPECT_EQ("Done", after);
}
