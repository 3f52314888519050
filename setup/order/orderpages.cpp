// The order wizard: its entry and the eleven pages.
#include "setup/order/order.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/winmisc.h"
#include <commctrl.h>
#include <shellapi.h>

// The maker's web site, in front of the path of its general order page.
#define MAKER_SITE "http://www.halvo.com/"

static STRING Value(KEYTABLE& table, const char* key)
{
    STRING v = table[key];
    return v.IsNull() ? STRING("") : v;
}

static STRING SlotKey(const char* name, int slot)
{
    STRING key;
    key.Format("%s%d", name, slot);
    return key;
}

static RECT ChildRect(HWND dialog, int id)
{
    RECT r = {0, 0, 0, 0};
    if (HWND h = GetDlgItem(dialog, id)) {
        GetWindowRect(h, &r);
        MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
    }
    return r;
}

static void ShowControl(HWND dialog, int id, BOOL show)
{
    if (HWND h = GetDlgItem(dialog, id))
        ShowWindow(h, show ? SW_SHOW : SW_HIDE);
}

static void OpenAddress(HWND owner, const char* address)
{
    STRING dir = CurrentDirectory();
    ShellExecuteA(owner, "open", address, NULL, dir.Str(), SW_SHOW);
}

STRING ORDER::MakerOrderPage(int language)
{
    return STRING(MAKER_SITE) || (language == 7 ? "common/order.htm#pricing" : "common/order.html#pricing");
}

STRING ORDER::WrapComment(const STRING& text)
{
    STRING plain(text.IsNull() ? "" : text.Str());
    plain.Replace("\r", "", TRUE);
    STRING out("");
    int start = 0;
    while (start <= plain.Len()) {
        int nl = plain.Pos("\n", start);
        int end = nl < 0 ? plain.Len() : nl;
        for (int p = start; p < end; p += 50) {
            int n = end - p < 50 ? end - p : 50;
            out.Append(plain.Str() + p, n);
            out.Append("\r\n", 2);
        }
        if (nl < 0)
            break;
        start = nl + 1;
    }
    return out;
}

// ---------------------------------------------------------------- entry

const SETUPSTEP* ORDER::OrderSteps()
{
    static const SETUPSTEP steps[ORDER_STEPS] = {
        {1, IDS_ORDERWELCOMEHEAD, IDS_ORDERWELCOMEDESC, IDD_ORDWELCOME, NULL, WelcomePage, 0},
        {2, IDS_DISTCHOICEHEAD, IDS_DISTCHOICEDESC, IDD_ORDDISTCHOICE, NULL, DistributorChoicePage, 0},
        {3, IDS_DISTDETAILHEAD, IDS_DISTDETAILDESC, IDD_ORDDISTDETAIL, NULL, DistributorPage, 0},
        {4, IDS_PRODUCTSHEAD, IDS_PRODUCTSDESC, IDD_ORDPRODUCTS, NULL, ProductsPage, 0},
        {5, IDS_TOTALSHEAD, IDS_TOTALSDESC, IDD_ORDTOTALS, NULL, TotalsPage, 0},
        {6, IDS_ADDRESSHEAD, IDS_ADDRESSDESC, IDD_ORDADDRESS, NULL, AddressPage, 0},
        {7, IDS_PAYMENTHEAD, IDS_PAYMENTDESC, IDD_ORDPAYMENT, NULL, PaymentPage, 0},
        {8, IDS_COMMENTHEAD, IDS_COMMENTDESC, IDD_ORDCOMMENT, NULL, CommentPage, 0},
        {9, IDS_DOCUMENTHEAD, IDS_DOCUMENTDESC, IDD_ORDDOCUMENT, NULL, DocumentPage, 0},
        {10, IDS_OUTPUTHEAD, IDS_OUTPUTDESC, IDD_ORDOUTPUT, NULL, OutputPage, 0},
        {11, IDS_ORDERFINALHEAD, IDS_ORDERFINALDESC, IDD_ORDFINAL, NULL, FinalPage, 0},
    };
    return steps;
}

int ORDER::OrderMain()
{
    LoadOrderSettings("order.cfg");
    STRING appname = Value(OrderSettings, "AppName");

    STRING help = Value(OrderSettings, "AppHelp");
    if (help.Word(1, "|", WORD_EMPTYNOTNULL).Atoi() != 0) {
        AppHelp.SetHelpFile(help.Word(0, "|", WORD_EMPTYNOTNULL));
        AppHelp.SetDefaultId(help.Word(1, "|").Atoi());
    }

    STRING caption = SETUP::Text(IDS_ORDERCAPTION);
    SETUPDIALOG frame(caption || appname, SETUP::Text(IDS_ASKCONTINUEORDER), -1);
    ShowWindow(frame.Item(IDC_HELPBUTTON), AppHelp.HasHelpFile() ? SW_SHOW : SW_HIDE);

    int completed = frame.RunSteps(OrderSteps(), ORDER_STEPS, ORDER_STEPS);
    ShowWindow(frame.Hwnd(), SW_HIDE);
    if (completed) {
        STRING text = SETUP::Text(OrderDone ? IDS_ORDERTHANKS : IDS_ORDERNOTDONE);
        MessageInfo(NULL, caption || " " || appname, SETUP::ReplaceAll(text, "$PROGRAM", appname));
    }
    SaveOrderSettings("order.cfg");
    return 0;
}

// ---------------------------------------------------------------- welcome

static HFONT NoteFont = NULL;

int ORDER::WelcomePage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& s = OrderSettings;
    STRING appname = Value(s, "AppName");
    HWND dlg = page->Hwnd();

    SetDlgItemTextA(frame->Hwnd(), IDC_HEADING, CONTROL(frame->Hwnd(), IDC_HEADING).GetText() || appname);
    SetDlgItemTextA(frame->Hwnd(), IDC_HEADDESC, SETUP::FirstLine(s["WelcomeMsg"]));

    STRING icon = s["IdIcon"];
    int id = (icon.IsNull() || icon.Len() == 0) ? IDI_ORDER : icon.Atoi();
    if (HICON h = LoadIconA(APP::Instance(), MAKEINTRESOURCEA(id & 0xFFFF)))
        SendMessageA(frame->Item(IDC_HEADICON), STM_SETICON, (WPARAM)h, 0);

    STRING text = SETUP::ReplaceAll(SETUP::Text(IDS_ORDERWELCOME1), "$PROG", appname) || "\r\n\r\n" ||
                  SETUP::ReplaceAll(SETUP::Text(IDS_ORDERWELCOME2), "$PROGRAM", appname);
    SetDlgItemTextA(dlg, IDC_LABEL0, text);
    SetDlgItemTextA(dlg, IDC_FIELD2, CONTROL(dlg, IDC_FIELD2).GetText() || SETUP::Text(IDS_ORDERNOTE1) || SETUP::Text(IDS_ORDERNOTE2));
    NoteFont = WINDOW::MakeFont("Arial", 8, TRUE, FALSE);
    SendDlgItemMessageA(dlg, IDC_FIELD2, WM_SETFONT, (WPARAM)NoteFont, TRUE);

    int result = frame->Run();
    SendDlgItemMessageA(dlg, IDC_FIELD2, WM_SETFONT, 0, FALSE);
    if (NoteFont)
        DeleteObject(NoteFont);
    NoteFont = NULL;
    return result;
}

// ---------------------------------------------------------------- distributor

int ORDER::DistributorChoicePage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& s = OrderSettings;
    if (s["DefaultDistributor"].IsNull())
        s["DefaultDistributor"] = "";
    STRINGARRAY entries = SETUP::ListEntries(s["Distributor"]);
    STRING current = s["DefaultDistributor"];

    STRING chosen("");   // display name of the distributor selected
    LISTCONTROL list(page->Hwnd(), IDC_LIST);
    for (int i = 0; i < entries.Count(); i++) {
        STRING entry = *entries.Get(i);
        int line = list.Add(entry.Word(1, ";", WORD_EMPTYNOTNULL));
        if (entry.Word(0, ";", WORD_EMPTYNOTNULL) == current) {
            list.Select(line, TRUE);
            chosen = entry.Word(1, ";", WORD_EMPTYNOTNULL);
        }
    }

    int result;
    if (entries.Count() < 2)
        result = SETUP_SKIP;
    else {
        page->Add<LISTITEM>(IDC_LIST, &chosen, nullptr);
        result = frame->Run();
    }
    if (result == SETUP_CANCEL)
        return result;

    STRING file;
    if (chosen.Len() > 0) {
        for (int i = 0; i < entries.Count() && file.IsNull(); i++)
            if (entries.Get(i)->Word(1, ";", WORD_EMPTYNOTNULL) == chosen)
                file = entries.Get(i)->Word(0, ";", WORD_EMPTYNOTNULL);
        Assert(file.IsNull() ? FALSE : TRUE, "tok.NotNull()", "setup/order", 640, chosen, FALSE);
    } else if (entries.Count() > 0)
        file = entries.Get(0)->Word(0, ";", WORD_EMPTYNOTNULL);
    if (!file.IsNull())
        s["DefaultDistributor"] = file;
    LoadDistributorSettings(file.IsNull() ? "" : file.Str());
    return result;
}

static STRING OpenOrderUrl(INT_PTR, HWND page, STRING value)
{
    KEYTABLE& d = ORDER::DistributorSettings;
    if (d.Exists("OrderURL") && d["OrderURL"].Len() > 0)
        OpenAddress(page, d["OrderURL"]);
    return value;
}

int ORDER::DistributorPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& d = DistributorSettings;
    HWND dlg = page->Hwnd();
    SetDlgItemTextA(dlg, IDC_FIELD0, Value(d, "Distributor"));
    page->Add<PUSHITEM>(IDC_BUTTON, &OrderText, OpenOrderUrl, 0);
    if (!(d.Exists("OrderURL") && d["OrderURL"].Len() > 0)) {
        RECT text = ChildRect(dlg, IDC_FIELD0);
        RECT button = ChildRect(dlg, IDC_BUTTON);
        ShowControl(dlg, IDC_BUTTON, FALSE);
        MoveWindow(GetDlgItem(dlg, IDC_FIELD0), text.left, text.top, text.right - text.left, button.bottom - text.top,
                   TRUE);
    }
    return frame->Run();
}

// ---------------------------------------------------------------- products and totals

// The currency suffix of a frame label 202, where a frame template has one.
static void CurrencyLabel(SETUPDIALOG* frame)
{
    HWND label = frame->Item(IDC_FIELD2);
    if (!label)
        return;
    STRING text = CONTROL(frame->Hwnd(), IDC_FIELD2).GetText() || " (" || SETUP::Text(IDS_CURRENCYWORD) || " " ||
                  Value(ORDER::DistributorSettings, "Currency") || ")";
    SetWindowTextA(label, text);
}

int ORDER::ProductsPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& s = OrderSettings;
    KEYTABLE& d = DistributorSettings;
    HWND dlg = page->Hwnd();
    STRING appname = Value(s, "AppName");

    CurrencyLabel(frame);
    SetDlgItemTextA(dlg, IDC_PRICELABEL, CONTROL(dlg, IDC_PRICELABEL).GetText() || " (" || Value(d, "Currency") || ")");
    for (int n = 0; n < ORDER_SLOTS; n++) {
        if (d[SlotKey("Prod", n)].IsNull())
            d[SlotKey("Prod", n)] = "*";
        if (d[SlotKey("Price", n)].IsNull())
            d[SlotKey("Price", n)] = "*";
        if (IsOffered(n)) {
            SetDlgItemTextA(dlg, IDC_LABEL0 + n, d[SlotKey("Prod", n)]);
            SetDlgItemTextA(dlg, IDC_PRICE0 + n, d[SlotKey("Price", n)].Word(0, "|", WORD_EMPTYNOTNULL));
            page->Add<SPINITEM>(IDC_FIELD0 + n, &s[SlotKey("Amt", n)], 0, 999);
        } else {
            ShowControl(dlg, IDC_LABEL0 + n, FALSE);
            ShowControl(dlg, IDC_PRICE0 + n, FALSE);
            ShowControl(dlg, IDC_FIELD0 + n, FALSE);
        }
    }

    if (PriceListExpired) {
        STRING text = SETUP::ReplaceAll(SETUP::Text(IDS_PRICESEXPIRED1) || SETUP::Text(IDS_PRICESEXPIRED2), "$PROG", appname);
        MessageInfo(frame->Hwnd(), appname, text);
        OpenAddress(frame->Hwnd(), MakerOrderPage(APP::Language()));
    }

    int result = frame->Run();
    if (result != SETUP_CANCEL && CheckOrderRules(frame->Hwnd()) == 1)
        return 103;
    ComputeTotals();
    return result;
}

int ORDER::TotalsPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND dlg = page->Hwnd();
    STRING currency = Value(DistributorSettings, "Currency");
    CurrencyLabel(frame);
    SetDlgItemTextA(dlg, IDC_LABEL0, OrderSubtotal || " " || currency);
    SetDlgItemTextA(dlg, IDC_LABEL1, OrderShipping || " " || currency);
    SetDlgItemTextA(dlg, IDC_LABEL2, OrderTotal || " " || currency);
    page->Add<EDITITEM>(IDC_FIELD1, &OrderSettings["UserLicense"], 80);
    return frame->Run();
}

// ---------------------------------------------------------------- address, payment, comment

int ORDER::AddressPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    static const char* const keys[] = {"UserName", "UserAddress1", "UserAddress2", "UserCity",
                                       "UserCountry", "UserPhone", "UserFax"};
    for (int i = 0; i < 7; i++)
        page->Add<EDITITEM>(IDC_FIELD1 + i, &OrderSettings[keys[i]], 60);
    page->Add<EDITITEM>(IDC_FIELD8, &OrderSettings["UserEmail"], 80);
    return frame->Run();
}

int ORDER::PaymentPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& s = OrderSettings;
    KEYTABLE& d = DistributorSettings;
    HWND dlg = page->Hwnd();
    PayMethod();   // a choice this distributor does not offer is not shown checked
    for (int i = 0; i < 6; i++)
        page->Add<RADIOITEM>(IDC_RADIO0 + i, &s["UserPayMethod"], i);
    page->Add<EDITITEM>(IDC_FIELD1, &s["UserPayCreditcard"], 64);
    page->Add<EDITITEM>(IDC_FIELD2, &s["UserPayExp"], 64);
    page->Add<EDITITEM>(IDC_FIELD3, &s["UserPayAccount"], 64);
    page->Add<EDITITEM>(IDC_FIELD4, &s["UserPayBank"], 64);
    if (d["BankEinzug"].IsNull())
        d["BankEinzug"] = "";
    if (d["DistributorBank"].IsNull())
        d["DistributorBank"] = "";

    STRING bank = d["DistributorBank"];
    SetDlgItemTextA(dlg, IDC_LABEL0, bank);
    EnableWindow(GetDlgItem(dlg, IDC_RADIO2), bank.Len() > 0);
    BOOL debit = d["BankEinzug"].Atoi() != 0;
    static const int debitcontrols[] = {IDC_RADIO4, IDC_LABEL3, IDC_FIELD3, IDC_LABEL4, IDC_FIELD4};
    for (int id : debitcontrols)
        ShowControl(dlg, id, debit);

    int result = frame->Run();
    if (result != SETUP_CANCEL && s["UserPayMethod"].Atoi() == PAY_TRANSFER)
        MessageInfo(frame->Hwnd(), "", SETUP::Text(IDS_TRANSFERNOTICE) || "\r" || bank);
    return result;
}

int ORDER::CommentPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& s = OrderSettings;
    HWND dlg = page->Hwnd();
    if (s["UserComment"].IsNull())
        s["UserComment"] = "";
    RECT r = ChildRect(dlg, IDC_PLACEHOLDER);
    HWND edit = GetDlgItem(dlg, IDC_FIELD0);
    if (edit) {
        MoveWindow(edit, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
        SetWindowLongPtrA(edit, GWL_STYLE, GetWindowLongPtrA(edit, GWL_STYLE) | ES_WANTRETURN);
    }
    page->Add<EDITITEM>(IDC_FIELD0, &s["UserComment"], 2048);
    int result = frame->Run();
    if (result == SETUP_CANCEL)
        return result;
    s["UserComment"] = WrapComment(s["UserComment"]);
    return result;
}

// ---------------------------------------------------------------- document, output, final

int ORDER::DocumentPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND dlg = page->Hwnd();
    BuildOrderText();
    RECT r;
    GetClientRect(dlg, &r);
    MoveWindow(GetDlgItem(dlg, IDC_FIELD0), 0, 0, r.right, r.bottom, TRUE);
    SetDlgItemTextA(dlg, IDC_FIELD0, OrderText);
    // The document is laid out in columns: show it in a fixed-pitch font, whichever
    // the system has when Courier New is missing.
    HDC screen = GetDC(dlg);
    int height = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(dlg, screen);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
    SendDlgItemMessageA(dlg, IDC_FIELD0, WM_SETFONT, (WPARAM)font, TRUE);
    int result = frame->Run();
    SendDlgItemMessageA(dlg, IDC_FIELD0, WM_SETFONT, 0, FALSE);
    if (font)
        DeleteObject(font);
    return result;
}

int ORDER::OutputPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND dlg = page->Hwnd();
    page->Add<PUSHITEM>(IDC_EMAILORDER, &OrderText, MailOrder, 0);
    page->Add<PUSHITEM>(IDC_SAVEORDER, &OrderText, SaveOrder, 0);
    page->Add<PUSHITEM>(IDC_PRINTORDER, &OrderText, PrintOrder, 0);

    HFONT font = NULL;
    BOOL held = (GetKeyState(VK_SHIFT) & 0x8000) || (GetKeyState(VK_CONTROL) & 0x8000);
    if (PriceListExpired && !held) {
        SetDlgItemTextA(dlg, IDC_FIELD1,
                        SETUP::ReplaceAll(CONTROL(dlg, IDC_FIELD1).GetText(), "$PROG", Value(OrderSettings, "AppName")));
        font = WINDOW::MakeFont("MS SansSerif", 8, TRUE, FALSE);
        SendDlgItemMessageA(dlg, IDC_FIELD1, WM_SETFONT, (WPARAM)font, TRUE);
        ShowControl(dlg, IDC_FIELD1, TRUE);
    }
    int result = frame->Run();
    if (font) {
        SendDlgItemMessageA(dlg, IDC_FIELD1, WM_SETFONT, 0, FALSE);
        DeleteObject(font);
    }
    return result;
}

int ORDER::FinalPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND dlg = page->Hwnd();
    COLORMAP map = {RGB(255, 0, 0), GetSysColor(COLOR_BTNFACE)};
    HBITMAP bitmap = CreateMappedBitmap(APP::Instance(), IDB_FINISH, 0, &map, 1);
    HWND picture = GetDlgItem(dlg, IDC_BITMAP);
    if (picture && bitmap) {
        SetWindowLongPtrA(picture, GWL_STYLE, (GetWindowLongPtrA(picture, GWL_STYLE) & ~(LONG_PTR)SS_TYPEMASK) | SS_BITMAP);
        SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);
    }
    if (!OrderDone)
        SetDlgItemTextA(dlg, IDC_FIELD2, "");
    int result = frame->Run();
    if (bitmap) {
        if (picture)
            SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, 0);
        DeleteObject(bitmap);
    }
    return result;
}
