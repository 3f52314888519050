// The order form's data: order.cfg and the distributor files, the product
// slots, the totals and the product rules.
#include "setup/order/order.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/winmisc.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

KEYTABLE ORDER::OrderSettings;
KEYTABLE ORDER::DistributorSettings;
STRING ORDER::OrderSubtotal("");
STRING ORDER::OrderShipping("");
STRING ORDER::OrderTotal("");
STRING ORDER::OrderText("");
int ORDER::OrderDone = 0;
BOOL ORDER::PriceListExpired = FALSE;
KEYTABLE ORDER::LoadedSettings;
STRING ORDER::LoadedSuffix;
BOOL ORDER::ExpireLoaded = FALSE;

static STRING SlotKey(const char* name, int slot)
{
    STRING key;
    key.Format("%s%d", name, slot);
    return key;
}

// Exact comparison: STRING's own is case-insensitive.
static BOOL SameBytes(const STRING& a, const STRING& b)
{
    if (a.IsNull() || b.IsNull())
        return a.IsNull() && b.IsNull();
    return a.Len() == b.Len() && memcmp(a.Str(), b.Str(), (size_t)a.Len()) == 0;
}

static BOOL ValidSlot(int slot)
{
    return slot >= 0 && slot < ORDER_SLOTS;
}

// An amount of a distributor file: a plain decimal number with a point, from 0
// to 10,000,000.00. Anything else (a comma, a sign, an exponent, "inf", more)
// is no price: read as it stands it would wrap or overflow the totals.
static BOOL ReadAmount(const STRING& text, double* value)
{
    const char* p = text.IsNull() ? "" : text.Str();
    while (*p == ' ')
        p++;
    const char* number = p;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        digits++;
    if (*p == '.')
        for (p++; *p >= '0' && *p <= '9'; p++)
            digits++;
    while (*p == ' ')
        p++;
    if (digits == 0 || *p)
        return FALSE;
    *value = strtod(number, NULL);
    return *value <= ORDER_PRICEMAX;
}

// ---------------------------------------------------------------- loading

BOOL ORDER::LoadOrderSettings(const char* filename, const char* suffix)
{
    STRING variant = suffix ? STRING(suffix) : SETUP::Text(IDS_LANGSUFFIX);
    KEYTABLE loaded;
    BOOL rc = loaded.LoadFromFile(filename);
    Assert(rc, "rc", "setup/order", 61, filename, FALSE);
    LoadedSettings = loaded;
    LoadedSuffix = variant;
    OrderSettings = loaded;
    SETUP::ApplyLanguageVariants(OrderSettings, variant);
    ExpireLoaded = OrderSettings.Exists("Expire");
    CompleteOrderDefaults();

    // Text order of ISO dates; an absent date reads "<NULL>" and never sorts first.
    STRING expire = ExpireLoaded ? OrderSettings["Expire"] : STRING();
    PriceListExpired = expire < OSYS::DateIso();
    OrderDone = 0;
    return rc;
}

void ORDER::CompleteOrderDefaults()
{
    KEYTABLE& s = OrderSettings;
    STRING help = s["AppHelp"];
    if (help.Word(1, "|").IsNull())
        s["AppHelp"] = "*|0";
    static const char* const empty[] = {"UserName", "UserAddress1", "UserAddress2", "UserCity", "UserCountry",
                                        "UserPhone", "UserFax", "UserEmail", "UserLicense"};
    for (const char* key : empty)
        if (s[key].IsNull())
            s[key] = "";
    if (s["UserPayMethod"].IsNull())
        s["UserPayMethod"] = "0";
    if (s["UserPayCreditcard"].IsNull())
        s["UserPayCreditcard"] = "0000-0000-0000-0000";
    if (s["UserPayExp"].IsNull())
        s["UserPayExp"] = "00/00";
    if (s["UserPayAccount"].IsNull())
        s["UserPayAccount"] = "";
    if (s["UserPayBank"].IsNull())
        s["UserPayBank"] = "000 000 00 - xxxxxxxxxxx";
    for (int n = 0; n < ORDER_SLOTS; n++) {
        STRING& amount = s[SlotKey("Amt", n)];
        if (amount.IsNull())
            amount = "0";
    }
}

BOOL ORDER::LoadDistributorSettings(const char* filename, const char* suffix)
{
    STRING variant = suffix ? STRING(suffix) : SETUP::Text(IDS_LANGSUFFIX);
    KEYTABLE loaded;
    BOOL ok = filename && *filename && loaded.LoadFromFile(filename);
    Assert(ok, "ok", "setup/order", 112, filename ? filename : "", FALSE);
    DistributorSettings = loaded;
    SETUP::ApplyLanguageVariants(DistributorSettings, variant);
    for (int n = 0; n < ORDER_SLOTS; n++) {
        if (DistributorSettings[SlotKey("Rule", n)].IsNull())
            DistributorSettings[SlotKey("Rule", n)] = "*";
        if (DistributorSettings[SlotKey("ArtNo", n)].IsNull())
            DistributorSettings[SlotKey("ArtNo", n)] = "*";
        STRING price = DistributorSettings[SlotKey("Price", n)];
        if (!price.IsNull() && price != "*" && !SlotPrice(n, NULL, NULL))
            Logit("ORDER::LoadDistributorSettings %s: Price%d=%s is no price, the product is not offered\n",
                  filename, n, price.Str());
    }
    return ok;
}

BOOL ORDER::SaveOrderSettings(const char* filename)
{
    OrderSettings.Remove("UserPayCreditcard");
    OrderSettings.Remove("UserPayExp");
    // A date that was not there must not come back as "Expire=", which counts as expired.
    if (!ExpireLoaded)
        OrderSettings.Remove("Expire");

    KEYTABLE out(OrderSettings);
    // Put back what the language variants took away: the variant lines as they
    // were, and the base values they replaced unless the form changed them.
    KEYTABLE replaced(LoadedSettings);
    SETUP::ApplyLanguageVariants(replaced, LoadedSuffix);
    int len = LoadedSuffix.Len();
    int n = LoadedSettings.Count();
    for (int i = 0; i < n; i++) {
        STRING key = *LoadedSettings.KeyAt(i);
        if (key.Pos(".") < 0)
            continue;
        out[key] = *LoadedSettings.ValueAt(i);
        if (len == 0 || key.Len() <= len || key.Right(len) != LoadedSuffix)
            continue;
        STRING base = key.Left(key.Len() - len);
        if (!out.Exists(base) || !SameBytes(out[base], replaced[base]))
            continue;
        int at = LoadedSettings.IndexOf(base);
        if (at >= 0)
            out[base] = *LoadedSettings.ValueAt(at);
        else
            out.Remove(base);
    }
    BOOL ok = out.SaveToFile(filename);
    if (!ok)
        Logit("ORDER::SaveOrderSettings %s not written, the old file stays\n", filename);
    return ok;
}

// ---------------------------------------------------------------- slots and totals

int ORDER::Quantity(int slot)
{
    if (!ValidSlot(slot))
        return 0;
    return OrderSettings[SlotKey("Amt", slot)].Atoi();
}

STRING ORDER::ProductName(int slot)
{
    if (!ValidSlot(slot))
        return STRING("");
    STRING name = DistributorSettings[SlotKey("Prod", slot)];
    return name.IsNull() ? STRING("") : name;
}

BOOL ORDER::SlotPrice(int slot, double* unit, double* shipping)
{
    if (!ValidSlot(slot))
        return FALSE;
    STRING price = DistributorSettings[SlotKey("Price", slot)];
    if (price.IsNull() || price == "*")
        return FALSE;
    double u = 0.0, s = 0.0;
    STRING charge = price.Word(1, "|", WORD_EMPTYNOTNULL);
    if (!ReadAmount(price.Word(0, "|", WORD_EMPTYNOTNULL), &u) || (charge.Len() > 0 && !ReadAmount(charge, &s)))
        return FALSE;
    if (unit)
        *unit = u;
    if (shipping)
        *shipping = floor(s);   // the charge counts in whole units
    return TRUE;
}

BOOL ORDER::IsOffered(int slot)
{
    return SlotPrice(slot, NULL, NULL);
}

BOOL ORDER::IsOrdered(int slot)
{
    return IsOffered(slot) && Quantity(slot) != 0;
}

void ORDER::ComputeTotals()
{
    double subtotal = 0.0, shipping = 0.0;
    for (int n = 0; n < ORDER_SLOTS; n++) {
        double unit, charge;
        if (!IsOrdered(n) || !SlotPrice(n, &unit, &charge))
            continue;
        subtotal += unit * Quantity(n);
        if (charge > shipping)
            shipping = charge;
    }
    OrderSubtotal.Format("%6.2lf", subtotal);
    OrderShipping.Format("%6.2lf", shipping);
    OrderTotal.Format("%6.2lf", shipping + subtotal);
}

// ---------------------------------------------------------------- payment

BOOL ORDER::PayMethodOffered(int method)
{
    KEYTABLE& d = DistributorSettings;
    switch (method) {
    case 2:
        return d["DistributorBank"].Len() > 0;
    case 4:
        return d["BankEinzug"].Atoi() != 0;
    case 0:
    case 1:
    case 3:
    case 5:
        return TRUE;
    default:
        return FALSE;
    }
}

int ORDER::PayMethod()
{
    STRING& method = OrderSettings["UserPayMethod"];
    int m = method.Atoi();
    if (!PayMethodOffered(m)) {
        Logit("ORDER::PayMethod %d is not offered by this distributor: 0 instead\n", m);
        m = 0;   // the first method, which every distributor offers
        method = "0";
    }
    return m;
}

// ---------------------------------------------------------------- rules

// "YYYY-MM-DD": ten characters with the dashes in place.
static BOOL IsDateText(const STRING& s)
{
    return s.Len() == 10 && s[4] == '-' && s[7] == '-';
}

// "D" rule: one of the products listed (";") must be ordered exactly once.
// depend: the last product named.
static BOOL OneOfMissing(const STRING& item, STRING& depend)
{
    STRING list(item);
    list.Strip('L', "D");
    BOOL found = FALSE, any = FALSE;
    for (int j = 0;; j++) {
        STRING entry = list.Word(j, ";");
        if (entry.IsNull())
            break;
        if (entry.Len() == 0)
            continue;
        any = TRUE;
        int m = entry.Atoi();
        depend = ORDER::ProductName(m);
        if (ORDER::Quantity(m) == 1)
            found = TRUE;
    }
    return any && !found;
}

// The message a rule item of an ordered product gives, or 0 when it holds;
// depend: the product it names. The notice ("S") speaks once per check.
static int RuleMessage(const STRING& item, const STRING& today, BOOL& noticed, STRING& depend)
{
    int other = item.Mid(1, item.Len() - 1).Atoi();
    switch (item[0]) {
    case '*':
        return 0;
    case 'D':
        return OneOfMissing(item, depend) ? IDS_RULEONEOF : 0;
    case 'I':
        depend = ORDER::ProductName(other);
        return ORDER::Quantity(other) == 0 ? IDS_RULEREQUIRES : 0;
    case 'X':
        depend = ORDER::ProductName(other);
        return ORDER::Quantity(other) >= 1 ? IDS_RULEEXCLUDES : 0;
    case 'S':
        if (noticed)
            return 0;
        noticed = TRUE;
        return IDS_RULENOTICE;
    case 'T': {
        STRING until = item.Mid(1, item.Len() - 1);
        return IsDateText(until) && today > until ? IDS_RULEEXPIRED : 0;
    }
    case 'U':
        return IDS_RULEUNAVAILABLE;
    default:
        Assert(FALSE, "FALSE", "setup/order", 240, item, FALSE);
        return 0;
    }
}

int ORDER::CheckOrderRules(HWND frame, ORDERASK ask)
{
    if (!ask)
        ask = MessageYesNo;
    char caption[256] = "";
    if (frame)
        GetWindowTextA(frame, caption, sizeof(caption));
    STRING today = OSYS::DateIso();
    BOOL noticed = FALSE;
    for (int n = 0; n < ORDER_SLOTS; n++) {
        if (Quantity(n) == 0)
            continue;
        STRING rule = DistributorSettings[SlotKey("Rule", n)];
        for (int i = 0;; i++) {
            STRING item = rule.Word(i, "|");
            if (item.IsNull())
                break;
            STRING depend("");
            int message = item.Len() > 0 ? RuleMessage(item, today, noticed, depend) : 0;
            if (!message)
                continue;
            STRING text = SETUP::Text(message) || SETUP::Text(IDS_RULEASKCORRECT);
            text = SETUP::ReplaceAll(text, "$PRODDEPEND", depend);
            text = SETUP::ReplaceAll(text, "$PRODSOURCE", ProductName(n));
            if (ask(frame, caption, text))
                return 1;
        }
    }
    return 0;
}
