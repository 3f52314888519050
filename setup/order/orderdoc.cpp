// The order document and its output: print, save as text, e-mail encrypted.
#include "setup/order/order.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/email.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/winmisc.h"
#include "brisel/winprint.h"
#include <cstdio>
#include <cstdlib>

// Field of a "|" list; "" when absent.
static STRING Field(const STRING& list, int index)
{
    return list.Word(index, "|", WORD_EMPTYNOTNULL);
}

// A value of a table; "" for a missing key.
static STRING Value(KEYTABLE& table, const char* key)
{
    STRING v = table[key];
    return v.IsNull() ? STRING("") : v;
}

static STRING SlotValue(KEYTABLE& table, const char* name, int slot)
{
    char key[32];
    snprintf(key, sizeof(key), "%s%d", name, slot);
    return Value(table, key);
}

// Appends one product or total line, two blanks in front. Such a line fits in
// 128 bytes with its line end and terminating zero; a longer one (a long label
// or currency) loses the end of its text part, never the amount column, its
// last `keep` characters.
static void AppendLine(STRING& text, STRING line, int keep)
{
    const int room = 128 - 3;
    if (line.Len() > room) {
        if (keep > room)
            keep = room;
        line = line.Left(room - keep) || line.Right(keep);
    }
    text.Append("  ", 2);
    text.Append(line);
    text.Append("\r\n", 2);
}

STRING ORDER::Heading(int k)
{
    KEYTABLE& s = OrderSettings;
    STRING h = "--- " || Field(SETUP::Text(IDS_DOCHEADINGS), k);
    switch (k) {
    case 0:
    case 1:
        h.Append(" --------------------------------------");
        break;
    case 2:
        h = h || " [" || Value(s, "AppName") || " " || Value(s, "AppVersion") || "] ------------------------";
        break;
    case 3:
        h.Append(" ---------------------------------------");
        break;
    default:
        h = h || " " || Value(s, "AppName") || " " || Value(s, "AppVersion") || "  ------------------------";
        break;
    }
    if (h.Len() > 45)
        h.Truncate(45);
    return h;
}

static void SectionBreak(STRING& text, int k)
{
    text.Append(" \r\n \r\n \r\n");
    text.Append(ORDER::Heading(k));
    text.Append("\r\n \r\n");
}

static const char* const DebitLines[] = {
    "\f ",
    " ",
    " ",
    "     E I N Z U G S E R M A E C H T I G U N G",
    " ",
    " ",
    "Von:",
    "$USER",
    " ",
    " ",
    " ",
    "An:",
    "$DISTRIBUTOR",
    " ",
    " ",
    " ",
    "Hiermit ermaechtige ich Sie widerruflich und einmalig,",
    "den von mir fuer das Programm zu entrichtenden Betrag",
    "von $TOTAL bei Faelligkeit (d.h. ab dem Tag des ",
    "Postversands der Registrierung/des Programms) zu Lasten",
    "des unten angegebenen Girokontos per Lastschrift",
    "einzuziehen. ",
    " ",
    " ",
    " ",
    "Konto: $ACCOUNT",
    "Bank:  $BANK",
    " ",
    " ",
    "Wenn das Konto die erforderliche Deckung nicht aufweist,",
    "besteht seitens der kontofuehrenden Bank keine",
    "Verpflichtung zur Einloesung.",
    " ",
    "Teileinloesungen werden nicht vorgenommen.",
    " ",
    " ",
    "$DATE",
    "_________________________________________________",
    "(Ort, Unterschrift des Kontoinhabers)",
};

STRING ORDER::DebitForm()
{
    KEYTABLE& s = OrderSettings;
    STRING form("");
    for (const char* line : DebitLines) {
        form.Append(line);
        form.Append("\r\n", 2);
    }
    STRING user = Value(s, "UserName") || "\r\n" || Value(s, "UserAddress1") || "\r\n" || Value(s, "UserAddress2") ||
                  "\r\n" || Value(s, "UserCity") || "\r\n" || Value(s, "UserCountry") || "\r\n";
    form = SETUP::ReplaceAll(form, "$USER", user);
    form = SETUP::ReplaceAll(form, "$DISTRIBUTOR", Value(DistributorSettings, "Distributor"));
    form = SETUP::ReplaceAll(form, "$ACCOUNT", Value(s, "UserPayAccount"));
    form = SETUP::ReplaceAll(form, "$BANK", Value(s, "UserPayBank"));
    form = SETUP::ReplaceAll(form, "$DATE", OSYS::DateIso());
    form = SETUP::ReplaceAll(form, "$TOTAL", OrderTotal || " " || Value(DistributorSettings, "Currency"));
    return form;
}

// The distributor's address: every line ends in "\r\n", a final "\n" gives one more line.
static void AppendAddress(STRING& t, const STRING& address)
{
    int start = 0;
    for (;;) {
        int nl = address.Pos("\n", start);
        STRING line = address.Mid(start, (nl < 0 ? address.Len() : nl) - start);
        if (line.IsNull())
            line = "";
        if (line.Len() == 0 || line[line.Len() - 1] != '\r')
            line.Append("\r", 1);
        t.Append("  ", 2);
        t.Append(line);
        t.Append("\n", 1);
        if (nl < 0)
            break;
        start = nl + 1;
    }
}

static void AppendCustomer(STRING& t, KEYTABLE& s)
{
    static const char* const customer[] = {"UserName", "UserAddress1", "UserAddress2", "UserCity", "UserCountry"};
    for (const char* key : customer)
        t = t || "  " || Value(s, key) || "\r\n";
    t.Append(" \r\n");
    static const char* const contact[] = {"UserPhone", "UserFax", "UserEmail"};
    for (const char* key : contact)
        t = t || "  " || Value(s, key) || "\r\n";
}

// One line per ordered product; returns the distributor's article numbers of
// them, as "artno x quantity x unit, ...".
static STRING AppendProducts(STRING& t, KEYTABLE& d)
{
    STRING articles("");
    for (int n = 0; n < ORDER_SLOTS; n++) {
        if (!ORDER::IsOrdered(n))
            continue;
        int q = ORDER::Quantity(n);
        double price = 0.0;
        ORDER::SlotPrice(n, &price, NULL);
        char count[16];
        snprintf(count, sizeof(count), "%dx", q);
        STRING amount, line;
        amount.Format("%6.2lf", price * q);
        line.Format("%-4s%-30.29s %s", count, SlotValue(d, "Prod", n).Str(), amount.Str());
        AppendLine(t, line, amount.Len() + 1);
        STRING artno = SlotValue(d, "ArtNo", n);
        if (artno != "*") {
            char qty[16];
            snprintf(qty, sizeof(qty), "%d", q);
            articles = articles || artno || "x" || qty || "x" || Field(SlotValue(d, "Price", n), 0) || ", ";
        }
    }
    articles.Strip('R', ", ");
    return articles;
}

static void AppendTotals(STRING& t, const STRING& currency)
{
    STRING labels = SETUP::Text(IDS_TOTALLABELS);
    STRING money = currency.Left(128);   // more never shows in a line of 128 bytes
    const STRING& shipping = ORDER::OrderShipping;
    STRING line;
    line.Format("%-28s %12s", "", "----------");
    AppendLine(t, line, 0);
    line.Format("    %-20s %16s", Field(labels, 0).Str(), (money || " " || ORDER::OrderSubtotal).Str());
    AppendLine(t, line, ORDER::OrderSubtotal.Len() + 1);
    line.Format("    %-30s %6s", Field(labels, 1).Str(), shipping.Str() ? shipping.Str() : "");
    AppendLine(t, line, shipping.Len() + 1);
    line.Format("%-28s %12s", "", "==========");
    AppendLine(t, line, 0);
    line.Format("    %-20s %16s", Field(labels, 2).Str(), (money || " " || ORDER::OrderTotal).Str());
    AppendLine(t, line, ORDER::OrderTotal.Len() + 1);
    t.Append("  \r\n");
    t = t || "       (" || SETUP::Text(IDS_CURRENCYWORD) || " " || currency || ")\r\n";
    t.Append("  \r\n");
}

// The payment method's name and details; every method but direct debit (whose
// form is signed) ends with a line for the signature.
static void AppendPayment(STRING& t, KEYTABLE& s, KEYTABLE& d)
{
    int method = ORDER::PayMethod();
    t = t || "  " || Field(SETUP::Text(IDS_PAYMENTNAMES), method);
    switch (method) {
    case PAY_CREDITCARD:
    case PAY_CHARGECARD:
        t = t || ": " || Value(s, "UserPayCreditcard") || "   " || Value(s, "UserPayExp") || "\r\n";
        break;
    case PAY_TRANSFER:
        t = t || "\r\n  " || Value(d, "DistributorBank") || "\r\n";
        break;
    case PAY_CASH:
        t.Append("\r\n");
        break;
    case PAY_DEBIT:
        t = t || "\r\n  " || Value(s, "UserPayAccount") || " - " || Value(s, "UserPayBank");
        t.Append(ORDER::DebitForm());
        break;
    default:
        break;
    }
    if (method != PAY_DEBIT)
        t = t || " \r\n \r\n \r\n \r\n  ----------------------------------------\r\n  " || OSYS::DateText() ||
            " (Unterschrift/Signature)\r\n";
}

void ORDER::BuildOrderText()
{
    KEYTABLE& s = OrderSettings;
    KEYTABLE& d = DistributorSettings;
    STRING& t = OrderText;
    t = Heading(0) || "\r\n  \r\n";
    AppendAddress(t, Value(d, "Distributor"));
    SectionBreak(t, 1);
    AppendCustomer(t, s);

    SectionBreak(t, 2);
    STRING articles = AppendProducts(t, d);
    AppendTotals(t, Value(d, "Currency"));
    if (articles.Len() > 0)
        t = t || "  => " || articles || "\r\n";
    STRING reference = Value(s, "UserLicense");
    if (reference.Len() > 0)
        t = t || "  => Ref: " || reference || "\r\n";

    SectionBreak(t, 3);
    AppendPayment(t, s, d);
    STRING comment = Value(s, "UserComment");
    if (comment.Len() > 1)
        t = t || "\f \r\n \r\n\r\n" || Heading(4) || "\r\n \r\n" || comment || "\r\n\r\n" || Value(s, "UserName") ||
            "\r\n" || Value(s, "UserEmail") || "\r\n";
}

// ---------------------------------------------------------------- output

static STRING FrameCaption(HWND page)
{
    char caption[256] = "";
    HWND frame = page ? GetParent(page) : NULL;
    GetWindowTextA(frame ? frame : page, caption, sizeof(caption));
    return STRING(caption);
}

static STRING OperationText(int id, int operation)
{
    return SETUP::ReplaceAll(SETUP::Text(id), "$OPERATION", Field(SETUP::Text(IDS_OPERATIONWORDS), operation));
}

STRING ORDER::PrintOrder(INT_PTR, HWND page, STRING value)
{
    if (!PRINTER::PrintText(page, "ORDER", value.Str() ? value.Str() : "", value.Len()))
        return value;
    MessageInfo(page, FrameCaption(page), OperationText(IDS_OPERATIONDONE, 1));
    OrderDone = 1;
    return value;
}

BOOL ORDER::WriteOrderFile(const char* path, const STRING& text)
{
    return text.Save(path, "wb");
}

STRING ORDER::SaveOrder(INT_PTR, HWND page, STRING value)
{
    STRING proposed = ".\\" || Value(OrderSettings, "AppName") || "-" || SETUP::Text(IDS_ORDERFILEWORD) || ".txt";
    STRING path = SaveFileDialog(page, SETUP::Text(IDS_SAVEORDERTITLE), proposed, NULL);
    if (path.IsNull())
        return value;
    if (WriteOrderFile(path, value)) {
        MessageInfo(page, FrameCaption(page), OperationText(IDS_OPERATIONDONE, 2));
        OrderDone = 1;
    } else
        MessageError(page, FrameCaption(page), OperationText(IDS_OPERATIONFAILED, 2));
    return value;
}

STRING ORDER::MailOrder(INT_PTR, HWND page, STRING value)
{
    KEYTABLE& s = OrderSettings;
    // Cash on delivery, direct debit and cheque need no mail.
    int method = PayMethod();
    if (method >= PAY_CASH && method <= PAY_CHEQUE) {
        MessageInfo(page, FrameCaption(page), SETUP::Text(IDS_NOMAILPAYMENT));
        return value;
    }
    STRING target = Value(DistributorSettings, "DistributorEmail");
    STRING subject = Value(s, "AppName") || " " || Value(s, "AppVersion") || " " || Field(SETUP::Text(IDS_MAILSUBJECT), 1);
    EMAIL mail(Value(s, "UserEmail"), Field(target, 0), subject, value.Str() ? value.Str() : "", Field(target, 1));
    // The order holds card numbers: it goes out encrypted or not at all.
    if (!mail.EncryptBody(SETUP::Text(IDS_ORDERKEY), "order.skf")) {
        MessageError(page, FrameCaption(page), OperationText(IDS_OPERATIONFAILED, 0));
        return value;
    }
    OrderDone = mail.SendDialog(IDD_SENDMAIL, Field(SETUP::Text(IDS_SENDMAILTITLE), 0), page) ? 1 : 0;
    return value;
}
