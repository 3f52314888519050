// The order form's data and document: order.cfg loading, defaults and write-back,
// price-list expiry, totals, product rules, and the order document byte for byte
// against documents written out from the layout (English texts).
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "setup/order/order.h"
#include "brisel/app.h"
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "../brisel/scratchdir.h"

namespace {

const std::string D29(29, '-'), D32(32, '-'), D24(24, '-'), D33(33, '-'), D23(23, '-'), D40(40, '-');

void WriteText(const char* name, const char* text)
{
    FILE* f = fopen(name, "wb");
    ASSERT_TRUE(f);
    fputs(text, f);
    fclose(f);
}

void SetDay(int year, int month, int day)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = 12;
    CLOCK::Set(&st, FALSE);
}

class Order : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!HalvoAssertBoxesOff())
            LogitSwitch("/NOASSERT");
        char path[MAX_PATH];
        GetModuleFileNameA(NULL, path, sizeof(path));
        std::string folder(path);
        folder.resize(folder.rfind('\\') + 1);
        HMODULE english = LoadLibraryA((folder + "setupenglish.dll").c_str());
        ASSERT_TRUE(english);
        APP::SetResourceModule(english);
    }
    void SetUp() override
    {
        SetDay(2026, 12, 8);
        ORDER::OrderSettings = KEYTABLE();
        ORDER::DistributorSettings = KEYTABLE();
        ORDER::OrderDone = 0;
    }
    void TearDown() override { CLOCK::Set(NULL, FALSE); }

    // A customer and a distributor with four products, the third not offered.
    static void Sample(int method)
    {
        ORDER::OrderSettings = KEYTABLE(STRING(
            "AppName=Tool\nAppVersion=2.5\nUserName=Jane Doe\nUserAddress1=1 High St\nUserAddress2=\n"
            "UserCity=Springfield\nUserCountry=UK\nUserPhone=555-1\nUserFax=\nUserEmail=jane@example.com\n"
            "UserLicense=REF-42\nUserPayCreditcard=4111-1111-1111-1111\nUserPayExp=12/29\n"
            "UserPayAccount=123456\nUserPayBank=100 200 30 - Town Bank\nUserComment=\n"
            "Amt0=12\nAmt1=1\nAmt2=4\nAmt3=2\nAmt4=0\nAmt5=0\n"));
        ORDER::OrderSettings["UserPayMethod"].Format("%d", method);
        ORDER::DistributorSettings = KEYTABLE(STRING(
            "Distributor=Soft GmbH\\nMain St 1\\n12345 Town\\n\nCurrency=EUR\n"
            "Prod0=Tool Single Licence\nPrice0=9.95|5\nArtNo0=T-100\n"
            "Prod1=A product name that is much longer than thirty\nPrice1=19.90|7\nArtNo1=*\n"
            "Prod2=Handbook\nPrice2=*\nArtNo2=H-1\nProd3=Update\nPrice3=25\nArtNo3=U-7\n"
            "Prod4=*\nPrice4=*\nProd5=*\nPrice5=*\nDistributorBank=Town Bank\\r\\nAccount 99\nBankEinzug=1\n"));
        ORDER::ComputeTotals();
    }

    // The document up to the payment line, as the layout gives it for Sample.
    static std::string Head()
    {
        return "--- Distributor " + D29 + "\r\n  \r\n"
               "  Soft GmbH\r\n  Main St 1\r\n  12345 Town\r\n  \r\n"
               " \r\n \r\n \r\n--- Customer " + D32 + "\r\n \r\n"
               "  Jane Doe\r\n  1 High St\r\n  \r\n  Springfield\r\n  UK\r\n \r\n"
               "  555-1\r\n  \r\n  jane@example.com\r\n"
               " \r\n \r\n \r\n--- Order [Tool 2.5] " + D24 + "\r\n \r\n"
               "  12x Tool Single Licence            119.40\r\n"
               "  1x  A product name that is much l   19.90\r\n"
               "  2x  Update                          50.00\r\n"
               "                                 ----------\r\n"
               "      Subtotal                   EUR 189.30\r\n"
               "      Shipping                         7.00\r\n"
               "                                 ==========\r\n"
               "      Total                      EUR 196.30\r\n"
               "  \r\n       (prices in EUR)\r\n  \r\n"
               "  => T-100x12x9.95, U-7x2x25\r\n"
               "  => Ref: REF-42\r\n"
               " \r\n \r\n \r\n--- Payment " + D33 + "\r\n \r\n";
    }
    static std::string Signature()
    {
        return " \r\n \r\n \r\n \r\n  " + D40 + "\r\n  " + std::string(OSYS::DateText().Str()) +
               " (Unterschrift/Signature)\r\n";
    }
    static std::string Doc()
    {
        ORDER::BuildOrderText();
        return std::string(ORDER::OrderText.Str(), ORDER::OrderText.Len());
    }
};

// ---------------------------------------------------------------- totals

TEST_F(Order, TotalsTakeTheHighestShippingCharge)
{
    ORDER::DistributorSettings = KEYTABLE(STRING("Price2=19.90|5\nPrice4=49.00|8\nPrice0=25\nPrice1=*\n"));
    ORDER::OrderSettings = KEYTABLE(STRING("Amt2=3\nAmt4=1\nAmt1=7\n"));
    ORDER::ComputeTotals();
    EXPECT_STREQ(ORDER::OrderSubtotal.Str(), "108.70");
    EXPECT_STREQ(ORDER::OrderShipping.Str(), "  8.00");
    EXPECT_STREQ(ORDER::OrderTotal.Str(), "116.70");
    // A price without "|" adds no shipping; the "*" slot counts for nothing.
    ORDER::OrderSettings = KEYTABLE(STRING("Amt0=2\nAmt1=7\n"));
    ORDER::ComputeTotals();
    EXPECT_STREQ(ORDER::OrderSubtotal.Str(), " 50.00");
    EXPECT_STREQ(ORDER::OrderShipping.Str(), "  0.00");
    EXPECT_STREQ(ORDER::OrderTotal.Str(), " 50.00");
    EXPECT_FALSE(ORDER::IsOrdered(1));
    EXPECT_TRUE(ORDER::IsOrdered(0));
}

// ---------------------------------------------------------------- rules

struct Asked
{
    std::vector<std::string> texts;
    BOOL answer = FALSE;
};
Asked* Questions;

BOOL Record(HWND, const char*, const char* text)
{
    Questions->texts.push_back(text);
    return Questions->answer;
}

std::vector<std::string> Check(const char* distributor, const char* amounts, int* result = nullptr, BOOL yes = FALSE)
{
    Asked asked;
    asked.answer = yes;
    Questions = &asked;
    ORDER::DistributorSettings = KEYTABLE(STRING(distributor));
    ORDER::OrderSettings = KEYTABLE(STRING(amounts));
    int r = ORDER::CheckOrderRules(NULL, Record);
    if (result)
        *result = r;
    Questions = nullptr;
    return asked.texts;
}

TEST_F(Order, RuleRequiringOneOfSeveralCountsOnlyQuantityOne)
{
    const char* dist = "Prod0=Base\nProd1=Add-on\nProd3=Extra\nRule0=D1;3\n";
    int result = -1;
    auto asked = Check(dist, "Amt0=1\nAmt1=2\nAmt3=0\n", &result);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Base requires one copy of a matching product, for example Extra.\n\n"
                        "Do you want to correct your order?");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Check(dist, "Amt0=1\nAmt1=0\nAmt3=1\n").empty());
    // An empty list and an unordered slot raise nothing.
    EXPECT_TRUE(Check("Rule0=D\n", "Amt0=1\n").empty());
    EXPECT_TRUE(Check(dist, "Amt0=0\nAmt1=2\n").empty());
}

TEST_F(Order, RuleKindsAndTheirTexts)
{
    const char* dist = "Prod0=Base\nProd1=Pro\nProd2=Lite\nRule0=I1|X2\nRule1=U\nRule2=*\n";
    auto asked = Check(dist, "Amt0=1\nAmt1=0\nAmt2=3\n");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "Base can only be ordered together with Pro.\n\nDo you want to correct your order?");
    EXPECT_EQ(asked[1], "Base cannot be ordered together with Lite.\n\nDo you want to correct your order?");
    asked = Check(dist, "Amt0=0\nAmt1=1\n");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Pro is currently not available.\n\nDo you want to correct your order?");
    // Yes stops at the first message with 1.
    int result = 0;
    asked = Check(dist, "Amt0=1\nAmt1=0\nAmt2=3\n", &result, TRUE);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(result, 1);
}

TEST_F(Order, NoticeOncePerCheckAndUnknownKindsSkipped)
{
    auto asked = Check("Prod0=A\nProd1=B\nRule0=S|Q|S\nRule1=S\n", "Amt0=1\nAmt1=1\n");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Please note the conditions of sale for A.\n\nDo you want to correct your order?");
    // A second check speaks again.
    EXPECT_EQ(Check("Prod0=A\nRule0=S\n", "Amt0=1\n").size(), 1u);
}

TEST_F(Order, OfferDateIsValidThroughItsDay)
{
    const char* dist = "Prod0=Promo\nRule0=T2002-12-31\n";
    SetDay(2002, 12, 31);
    EXPECT_TRUE(Check(dist, "Amt0=1\n").empty());
    SetDay(2003, 1, 1);
    auto asked = Check(dist, "Amt0=1\n");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "The offer for Promo has expired.\n\nDo you want to correct your order?");
    // Malformed dates raise nothing.
    EXPECT_TRUE(Check("Rule0=T2002/12/31|T2002-12-3|T02-12-31xx\n", "Amt0=1\n").empty());
}

TEST_F(Order, RuleSlotsOutsideTheTableReadNothing)
{
    // Slots 6 and beyond have no product and no quantity.
    auto asked = Check("Prod0=Base\nRule0=X6|X-1\nProd6=Ghost\nAmt6=1\n", "Amt0=1\nAmt6=5\n");
    EXPECT_TRUE(asked.empty());
    asked = Check("Prod0=Base\nRule0=I7\nProd7=Ghost\n", "Amt0=1\nAmt7=1\n");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Base can only be ordered together with .\n\nDo you want to correct your order?");
}

// ---------------------------------------------------------------- order.cfg

TEST_F(Order, DefaultsFillOnlyWhatIsAbsent)
{
    SCRATCHDIR dir;
    WriteText("order.cfg", "AppName=Tool\nAppHelp=tool.hlp\nUserPayMethod=2\nAmt3=7\nUserPayBank=\n");
    ASSERT_TRUE(ORDER::LoadOrderSettings("order.cfg", ".ENG"));
    KEYTABLE& s = ORDER::OrderSettings;
    EXPECT_STREQ(s["AppHelp"].Str(), "*|0");
    EXPECT_STREQ(s["UserPayMethod"].Str(), "2");
    EXPECT_STREQ(s["UserPayCreditcard"].Str(), "0000-0000-0000-0000");
    EXPECT_STREQ(s["UserPayExp"].Str(), "00/00");
    EXPECT_STREQ(s["UserPayBank"].Str(), "");
    EXPECT_STREQ(s["Amt3"].Str(), "7");
    EXPECT_STREQ(s["Amt5"].Str(), "0");
    EXPECT_STREQ(s["UserName"].Str(), "");
    EXPECT_FALSE(s.Exists("IdIcon"));
    WriteText("order.cfg", "AppHelp=tool.hlp|12\n");
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_STREQ(ORDER::OrderSettings["AppHelp"].Str(), "tool.hlp|12");
    // A missing file gives the defaults and reports it.
    EXPECT_FALSE(ORDER::LoadOrderSettings("missing.cfg", ".ENG"));
    EXPECT_STREQ(ORDER::OrderSettings["UserPayMethod"].Str(), "0");
}

TEST_F(Order, PriceListExpiry)
{
    SCRATCHDIR dir;
    WriteText("order.cfg", "AppName=Tool\n");
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_FALSE(ORDER::PriceListExpired);
    // A first run must not leave "Expire=" behind, which would count as expired.
    ASSERT_TRUE(ORDER::SaveOrderSettings("order.cfg"));
    EXPECT_EQ(ReadWholeFile("order.cfg").find("Expire"), std::string::npos);
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_FALSE(ORDER::PriceListExpired);

    WriteText("order.cfg", "Expire=\n");
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_TRUE(ORDER::PriceListExpired);
    ORDER::SaveOrderSettings("order.cfg");
    EXPECT_NE(ReadWholeFile("order.cfg").find("Expire="), std::string::npos);

    WriteText("order.cfg", "Expire=2026-12-08\n");
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_FALSE(ORDER::PriceListExpired);
    SetDay(2026, 12, 9);
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_TRUE(ORDER::PriceListExpired);
}

TEST_F(Order, WriteBackKeepsLanguagesAndDropsCard)
{
    SCRATCHDIR dir;
    WriteText("order.cfg", "AppName=Tool\nWelcomeMsg=Hello\nWelcomeMsg.GER=Hallo\nWelcomeMsg.FRA=Bonjour\n"
                           "Note.GER=Nur deutsch\nUserName=Jane\nUserName.GER=Johanna\n"
                           "UserPayCreditcard=4111\nUserPayExp=12/29\nUserPayAccount=123\n");
    ORDER::LoadOrderSettings("order.cfg", ".GER");
    KEYTABLE& s = ORDER::OrderSettings;
    EXPECT_STREQ(s["WelcomeMsg"].Str(), "Hallo");
    EXPECT_STREQ(s["Note"].Str(), "Nur deutsch");
    s["UserName"] = "Johanna Doe";   // changed by the form: kept
    ASSERT_TRUE(ORDER::SaveOrderSettings("order.cfg"));

    KEYTABLE back;
    ASSERT_TRUE(back.LoadFromFile("order.cfg"));
    EXPECT_STREQ(back["WelcomeMsg"].Str(), "Hello");
    EXPECT_STREQ(back["WelcomeMsg.GER"].Str(), "Hallo");
    EXPECT_STREQ(back["WelcomeMsg.FRA"].Str(), "Bonjour");
    EXPECT_STREQ(back["Note.GER"].Str(), "Nur deutsch");
    EXPECT_FALSE(back.Exists("Note"));
    EXPECT_STREQ(back["UserName"].Str(), "Johanna Doe");
    EXPECT_STREQ(back["UserPayAccount"].Str(), "123");
    EXPECT_FALSE(back.Exists("UserPayCreditcard"));
    EXPECT_FALSE(back.Exists("UserPayExp"));

    // The next run shows the card defaults again.
    ORDER::LoadOrderSettings("order.cfg", ".ENG");
    EXPECT_STREQ(ORDER::OrderSettings["UserPayCreditcard"].Str(), "0000-0000-0000-0000");
    EXPECT_STREQ(ORDER::OrderSettings["UserPayExp"].Str(), "00/00");
    EXPECT_STREQ(ORDER::OrderSettings["WelcomeMsg"].Str(), "Hello");
}

TEST_F(Order, DistributorFileGetsRuleAndArticleDefaults)
{
    SCRATCHDIR dir;
    WriteText("dist.cfg", "Currency=EUR\nRule2=U\nArtNo1=A-1\nCurrency.GER=Euro\n");
    ASSERT_TRUE(ORDER::LoadDistributorSettings("dist.cfg", ".GER"));
    KEYTABLE& d = ORDER::DistributorSettings;
    EXPECT_STREQ(d["Currency"].Str(), "Euro");
    EXPECT_STREQ(d["Rule2"].Str(), "U");
    EXPECT_STREQ(d["Rule0"].Str(), "*");
    EXPECT_STREQ(d["ArtNo1"].Str(), "A-1");
    EXPECT_STREQ(d["ArtNo5"].Str(), "*");
    EXPECT_FALSE(ORDER::LoadDistributorSettings("", ".GER"));
    EXPECT_FALSE(ORDER::LoadDistributorSettings("nothere.cfg", ".GER"));
    EXPECT_TRUE(ORDER::DistributorSettings["Currency"].IsNull());
}

// ---------------------------------------------------------------- document

TEST_F(Order, DocumentWithCard)
{
    Sample(0);
    EXPECT_EQ(Doc(), Head() + "  Credit card: 4111-1111-1111-1111   12/29\r\n" + Signature());
    Sample(1);
    EXPECT_EQ(Doc(), Head() + "  Charge card: 4111-1111-1111-1111   12/29\r\n" + Signature());
}

TEST_F(Order, DocumentWithTransferAndWithoutDetails)
{
    Sample(2);
    EXPECT_EQ(Doc(), Head() + "  Bank transfer\r\n  Town Bank\r\nAccount 99\r\n" + Signature());
    Sample(3);
    EXPECT_EQ(Doc(), Head() + "  Cash on delivery\r\n" + Signature());
    // Method 5: the name runs straight into the signature block.
    Sample(5);
    EXPECT_EQ(Doc(), Head() + "  Cheque" + Signature());
}

TEST_F(Order, DocumentWithDirectDebitForm)
{
    Sample(4);
    // Placeholders are replaced in their order: "$BANK" in the account becomes the bank.
    ORDER::OrderSettings["UserPayAccount"] = "123456 $BANK";
    ORDER::OrderSettings["UserPayBank"] = "100 200 30 - Town Bank";
    std::string form =
        "\f \r\n \r\n \r\n     E I N Z U G S E R M A E C H T I G U N G\r\n \r\n \r\n"
        "Von:\r\nJane Doe\r\n1 High St\r\n\r\nSpringfield\r\nUK\r\n\r\n \r\n \r\n \r\n"
        "An:\r\nSoft GmbH\nMain St 1\n12345 Town\n\r\n \r\n \r\n \r\n"
        "Hiermit ermaechtige ich Sie widerruflich und einmalig,\r\n"
        "den von mir fuer das Programm zu entrichtenden Betrag\r\n"
        "von 196.30 EUR bei Faelligkeit (d.h. ab dem Tag des \r\n"
        "Postversands der Registrierung/des Programms) zu Lasten\r\n"
        "des unten angegebenen Girokontos per Lastschrift\r\n"
        "einzuziehen. \r\n \r\n \r\n \r\n"
        "Konto: 123456 100 200 30 - Town Bank\r\n"
        "Bank:  100 200 30 - Town Bank\r\n \r\n \r\n"
        "Wenn das Konto die erforderliche Deckung nicht aufweist,\r\n"
        "besteht seitens der kontofuehrenden Bank keine\r\n"
        "Verpflichtung zur Einloesung.\r\n \r\n"
        "Teileinloesungen werden nicht vorgenommen.\r\n \r\n \r\n"
        "2026-12-08\r\n" + std::string(49, '_') + "\r\n(Ort, Unterschrift des Kontoinhabers)\r\n";
    EXPECT_EQ(Doc(), Head() + "  Direct debit\r\n  123456 $BANK - 100 200 30 - Town Bank" + form);

    // The comment follows the form on a page of its own.
    ORDER::OrderSettings["UserComment"] = ORDER::WrapComment("Please invoice\r\nthe company.");
    EXPECT_EQ(Doc(), Head() + "  Direct debit\r\n  123456 $BANK - 100 200 30 - Town Bank" + form +
                         "\f \r\n \r\n\r\n--- Comment Tool 2.5  " + D23 + "\r\n \r\n"
                         "Please invoice\r\nthe company.\r\n\r\n\r\nJane Doe\r\njane@example.com\r\n");
}

TEST_F(Order, DocumentWithoutArticlesReferenceOrShortComment)
{
    Sample(3);
    for (int n = 0; n < 6; n++) {
        char key[8];
        snprintf(key, sizeof key, "ArtNo%d", n);
        ORDER::DistributorSettings[key] = "*";
    }
    ORDER::OrderSettings["UserLicense"] = "";
    ORDER::OrderSettings["UserComment"] = "x";
    std::string head = Head();
    head.erase(head.find("  => T-100"), std::string("  => T-100x12x9.95, U-7x2x25\r\n  => Ref: REF-42\r\n").size());
    EXPECT_EQ(Doc(), head + "  Cash on delivery\r\n" + Signature());
    // The comment page turns a typed "x" into "x\r\n", which is printed.
    ORDER::OrderSettings["UserComment"] = ORDER::WrapComment("x");
    EXPECT_EQ(Doc(), head + "  Cash on delivery\r\n" + Signature() + "\f \r\n \r\n\r\n--- Comment Tool 2.5  " + D23 +
                         "\r\n \r\nx\r\n\r\n\r\nJane Doe\r\njane@example.com\r\n");
}

TEST_F(Order, LongLinesKeepTheirAmounts)
{
    Sample(3);
    std::string currency(3000, 'C');
    ORDER::DistributorSettings["Currency"] = currency.c_str();
    ORDER::DistributorSettings["Price0"] = "9999999.99|5";
    ORDER::OrderSettings["Amt0"] = "999";
    ORDER::ComputeTotals();
    std::string doc = Doc();
    EXPECT_NE(doc.find("  999xTool Single Licence            9989999990.01\r\n"), std::string::npos);
    // Cut to 125 characters and the line end; the text part gives way to the amount.
    std::string line = doc.substr(doc.find("      Subtotal"));
    line.resize(line.find('\n') + 1);
    EXPECT_EQ(line, "      Subtotal" + std::string(13, ' ') + currency.substr(0, 86) + " 9990000059.91\r\n");
    line = doc.substr(doc.find("      Total"));
    line.resize(line.find('\n') + 1);
    EXPECT_EQ(line, "      Total" + std::string(16, ' ') + currency.substr(0, 86) + " 9990000066.91\r\n");
    // The document goes on after the cut lines.
    EXPECT_NE(doc.find("      Shipping                         7.00\r\n"), std::string::npos);
}

TEST_F(Order, PricesOutsideTheirRangeAreNotOffered)
{
    // Slot 0 as the test sets it; what reads as a price and what does not.
    struct { const char* price; BOOL offered; } cases[] = {
        {"19.90|5", TRUE}, {" 12.5 | 3 ", TRUE}, {"10000000.00|10000000", TRUE}, {"7.|0", TRUE}, {".5", TRUE},
        {"19,90|5", FALSE}, {"1e308|5", FALSE}, {"25|1e308", FALSE}, {"10000000.01", FALSE}, {"-3|1", FALSE},
        {"25|-1", FALSE}, {"inf", FALSE}, {"nan|1", FALSE}, {"", FALSE}, {"|5", FALSE}, {"25|4x", FALSE},
        {"25|99999999999", FALSE}, {"0x10", FALSE},
    };
    Sample(0);
    for (const auto& c : cases) {
        ORDER::DistributorSettings["Price0"] = c.price;
        EXPECT_EQ(ORDER::IsOffered(0), c.offered) << c.price;
        EXPECT_EQ(ORDER::IsOrdered(0), c.offered) << c.price;
    }
    // The totals of what is left, never "inf": the update and the long-named product.
    ORDER::DistributorSettings["Price0"] = "1e308|99999999999999999999";
    ORDER::DistributorSettings["Price1"] = "19.90|1e308";
    ORDER::ComputeTotals();
    EXPECT_STREQ(ORDER::OrderSubtotal.Str(), " 50.00");
    EXPECT_STREQ(ORDER::OrderShipping.Str(), "  0.00");
    EXPECT_STREQ(ORDER::OrderTotal.Str(), " 50.00");
    EXPECT_EQ(Doc().find("Tool Single"), std::string::npos);
    // The highest price and charge with the highest quantity everywhere.
    for (int n = 0; n < 6; n++) {
        char key[16];
        snprintf(key, sizeof key, "Price%d", n);
        ORDER::DistributorSettings[key] = "10000000|10000000";
        snprintf(key, sizeof key, "Amt%d", n);
        ORDER::OrderSettings[key] = "999";
    }
    ORDER::ComputeTotals();
    EXPECT_STREQ(ORDER::OrderTotal.Str(), "59950000000.00");

    // A distributor file with a bad price: the product is not offered, and the log says so.
    SCRATCHDIR dir;
    WriteText("dist.cfg", "Price0=1e308|5\nPrice1=19.90|5\n");
    ASSERT_TRUE(LogitSwitch("/LOGIT:prices.log"));
    ASSERT_TRUE(ORDER::LoadDistributorSettings("dist.cfg", ".ENG"));
    LogitSwitch("/LOGITCLOSE");
    EXPECT_FALSE(ORDER::IsOffered(0));
    EXPECT_TRUE(ORDER::IsOffered(1));
    std::string log = ReadWholeFile("prices.log");
    EXPECT_NE(log.find("dist.cfg: Price0=1e308|5 is no price, the product is not offered"), std::string::npos);
    EXPECT_EQ(log.find("Price1="), std::string::npos);
}

TEST_F(Order, PaymentMethodTheDistributorDoesNotOfferIsNotKept)
{
    // Transfer without bank details and direct debit without collection fall
    // back to the first method, in the settings and in the document.
    Sample(2);
    ORDER::DistributorSettings["DistributorBank"] = "";
    EXPECT_EQ(Doc(), Head() + "  Credit card: 4111-1111-1111-1111   12/29\r\n" + Signature());
    EXPECT_STREQ(ORDER::OrderSettings["UserPayMethod"].Str(), "0");
    Sample(4);
    ORDER::DistributorSettings.Remove("BankEinzug");
    EXPECT_EQ(ORDER::PayMethod(), 0);
    EXPECT_STREQ(ORDER::OrderSettings["UserPayMethod"].Str(), "0");
    Sample(4);
    ORDER::DistributorSettings["BankEinzug"] = "0";
    EXPECT_EQ(ORDER::PayMethod(), 0);
    // Offered methods stay; a number that names no method does not.
    int offered[] = {0, 1, 2, 3, 4, 5};
    for (int m : offered) {
        Sample(m);
        EXPECT_EQ(ORDER::PayMethod(), m);
    }
    Sample(7);
    EXPECT_EQ(ORDER::PayMethod(), 0);
}

TEST_F(Order, HeadingsAreFortyFiveCharacters)
{
    Sample(0);
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(ORDER::Heading(k).Len(), 45) << k;
    ORDER::OrderSettings["AppName"] = "A product with a rather long name";
    EXPECT_STREQ(ORDER::Heading(2).Str(), "--- Order [A product with a rather long name ");
}

// ---------------------------------------------------------------- comment and files

TEST_F(Order, CommentWrapsAtFifty)
{
    std::string line(120, 'a');
    line[49] = 'b';
    line[99] = 'c';
    STRING wrapped = ORDER::WrapComment(STRING(line.c_str()));
    EXPECT_EQ(std::string(wrapped.Str()),
              line.substr(0, 50) + "\r\n" + line.substr(50, 50) + "\r\n" + line.substr(100) + "\r\n");
    EXPECT_STREQ(ORDER::WrapComment("one\r\n\r\n\ntwo\r").Str(), "one\r\ntwo\r\n");
    EXPECT_STREQ(ORDER::WrapComment("").Str(), "");
    EXPECT_STREQ(ORDER::WrapComment(std::string(50, 'z').c_str()).Str(), (std::string(50, 'z') + "\r\n").c_str());
}

TEST_F(Order, OrderFileIsWrittenByteForByte)
{
    SCRATCHDIR dir;
    STRING text("line\r\nnext\fpage\r\n");
    ASSERT_TRUE(ORDER::WriteOrderFile("order.txt", text));
    EXPECT_EQ(ReadWholeFile("order.txt"), std::string("line\r\nnext\fpage\r\n"));
    EXPECT_FALSE(ORDER::WriteOrderFile("no such folder\\order.txt", text));
}

TEST_F(Order, MakerPageInGermanIsHtm)
{
    EXPECT_STREQ(ORDER::MakerOrderPage(9).Str(), "http://www.halvo.com/common/order.html#pricing");
    EXPECT_STREQ(ORDER::MakerOrderPage(7).Str(), "http://www.halvo.com/common/order.htm#pricing");
}

}  // namespace
