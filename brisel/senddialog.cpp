// The send dialog: the user reviews a mail (receiver, sender, subject, body),
// may change it, and sends it with progress and result shown in the dialog.
#include "brisel/email.h"
#include "brisel/app.h"
#include "brisel/datadialogs.h"
#include "brisel/halvo.h"
#include "brisel/winmisc.h"

#define SEND_RECEIVER 1001
#define SEND_SENDER   1002
#define SEND_SUBJECT  1003
#define SEND_BODY     1004
#define SEND_STATUS   1005
#define SEND_BUTTON   1009
#define SEND_CANCEL   2

// Fields: prompt caption, prompt text, sending, sent, error prefix, error
// message ($error), new caption of the cancel button.
static const char SendTextsEnglish[] =
    "Internet Connection|"
    "Please press OK when an Internet connection is available|"
    "Sending mail ...|"
    "Your mail has been sent. Thank you!|"
    "Error: |"
    "An error occurred ($error)!  Please try the send button again or use fax/mail or your own email "
    "program to send the text.|"
    "Done";

static const char SendTextsGerman[] =
    "Internet Verbindung|"
    "Bitte klicken Sie auf OK, wenn Sie eine Internetverbindung hergestellt haben.|"
    "Sende eMail ...|"
    "Die eMail wurde verschickt. Vielen Dank!|"
    "Fehler: |"
    "Es ist ein Fehler aufgetreten ($error). Bitte versuchen Sie es noch einmal oder schicken Sie den "
    "Text per Post, Fax oder mit Ihrem eigenen eMail Programm.|"
    "Fertig";

static STRING SendText(int field)
{
    STRING texts(APP::Language() == LANG_GERMAN ? SendTextsGerman : SendTextsEnglish);
    return texts.Word(field, "|", WORD_EMPTYNOTNULL);
}

static STRING ItemText(HWND dialog, int id)
{
    WINDOW item(GetDlgItem(dialog, id));
    if (!item.Hwnd())
        return STRING("");
    return item.GetText();   // the whole text, whatever its length
}

// Callback of the send button: user data is the EMAIL.
static STRING SendAction(INT_PTR userdata, HWND dialog, STRING value)
{
    EMAIL* mail = (EMAIL*)userdata;
    ASSERT(mail != NULL);
    if (!mail)
        return value;

    mail->Receiver = ItemText(dialog, SEND_RECEIVER);
    mail->Sender = ItemText(dialog, SEND_SENDER);
    mail->Subject = ItemText(dialog, SEND_SUBJECT);
    mail->Body = ItemText(dialog, SEND_BODY);
    // The same rules as for the texts the mail was made with.
    mail->Receiver.Strip('B', " ");
    mail->Sender.Strip('B', " ");
    if (mail->Sender.Len() == 0)
        mail->Sender = "anonymous";

    HWND send = GetDlgItem(dialog, SEND_BUTTON);
    HWND cancel = GetDlgItem(dialog, SEND_CANCEL);
    EnableWindow(send, FALSE);
    EnableWindow(cancel, FALSE);

    if (mail->Body.Len() > 3) {
        WINDOW self(dialog);
        STRING title = self.GetText();
        MessageInfo(NULL, SendText(0), SendText(1));
        SetDlgItemTextA(dialog, SEND_STATUS, SendText(2));
        UpdateWindow(dialog);
        STRING error("");
        if (mail->Send(&error)) {
            SetDlgItemTextA(dialog, SEND_STATUS, SendText(3));
            MessageInfo(dialog, title, SendText(3));
            mail->Sent = 1;
        } else {
            STRING message = SendText(5);
            message.Replace("$error", error.Str() ? error.Str() : "", TRUE);
            SetDlgItemTextA(dialog, SEND_STATUS, SendText(4) || error);
            MessageError(dialog, title, message);
            EnableWindow(send, TRUE);
        }
    }
    EnableWindow(cancel, TRUE);
    SetWindowTextA(cancel, SendText(6));
    // A disabled button cannot keep the focus; Done takes it.
    if (GetFocus() == NULL || !IsWindowEnabled(GetFocus()))
        SetFocus(cancel);
    return value;
}

BOOL EMAIL::SendDialog(int templateid, const char* title, HWND owner)
{
    // The dialog edits copies; the mail itself changes only when it is sent.
    STRING receiver(Receiver), sender(Sender), subject(Subject), body(Body), button("");

    HWND parent = owner ? GetAncestor(owner, GA_ROOT) : NULL;
    MODALDATADIALOG dialog(templateid, parent, APP::ResourceModule());
    HWND h = dialog.Hwnd();
    if (!h)
        return FALSE;
    SetWindowTextA(h, title ? title : "");

    dialog.Add<EDITITEM>(SEND_RECEIVER, &receiver, 128);
    dialog.Add<EDITITEM>(SEND_SENDER, &sender, 128);
    dialog.Add<EDITITEM>(SEND_SUBJECT, &subject, 128);
    // A long order text must reach the dialog, and the mail, uncut.
    dialog.Add<EDITITEM>(SEND_BODY, &body, body.Len() > 8192 ? body.Len() : 8192);
    dialog.Add<PUSHITEM>(SEND_BUTTON, &button, SendAction, (INT_PTR)this);

    SendDlgItemMessageA(h, SEND_RECEIVER, EM_SETREADONLY, TRUE, 0);
    HWND edit = GetDlgItem(h, SEND_BODY);
    if (edit)
        SetWindowLongPtrA(edit, GWL_STYLE, GetWindowLongPtrA(edit, GWL_STYLE) | ES_WANTRETURN);
    SetDlgItemTextA(h, SEND_CANCEL, APP::Language() == LANG_GERMAN ? "Abbruch" : "Cancel");

    Sent = 0;
    dialog.Run();
    return Sent;
}
