// The order form: order.cfg and the distributor files, totals and product
// rules (ordercfg.cpp), the eleven order pages (orderpages.cpp), and the order
// document with its print, save and mail actions (orderdoc.cpp).
#pragma once
#include <windows.h>
#include "brisel/stringarray.h"
#include "setup/frame/setupdialog.h"

#define ORDER_SLOTS 6
#define ORDER_STEPS 11
#define ORDER_PRICEMAX 10000000.0   // highest price or charge a distributor file may give

// Payment methods (UserPayMethod); their names are the fields of string 3195.
enum PAYMETHOD
{
    PAY_CREDITCARD = 0,
    PAY_CHARGECARD = 1,
    PAY_TRANSFER = 2,          // to the distributor's bank
    PAY_CASH = 3,              // cash on delivery
    PAY_DEBIT = 4,             // direct debit, with its signed form
    PAY_CHEQUE = 5,
};

// Asks a Yes/No question (owner, caption, text); TRUE for Yes.
typedef BOOL (*ORDERASK)(HWND owner, const char* caption, const char* text);

class ORDER
{
public:
    // Settings of one run: order.cfg after the language variants, and the chosen
    // distributor's file.
    static KEYTABLE OrderSettings;
    static KEYTABLE DistributorSettings;
    // Results of the last ComputeTotals ("%6.2lf") and the last document.
    static STRING OrderSubtotal;
    static STRING OrderShipping;
    static STRING OrderTotal;
    static STRING OrderText;
    static int OrderDone;              // printed, saved or sent
    static BOOL PriceListExpired;

    // ---- configuration and data (ordercfg.cpp)
    // order.cfg with the language variants of suffix (string 2980 when NULL) and
    // the defaults; FALSE (after the assertion "rc") when it cannot be read.
    static BOOL LoadOrderSettings(const char* filename = "order.cfg", const char* suffix = NULL);
    static void CompleteOrderDefaults();
    static BOOL LoadDistributorSettings(const char* filename, const char* suffix = NULL);
    // Writes order.cfg without card number and expiry; the language variants
    // removed at load are written back as they were.
    static BOOL SaveOrderSettings(const char* filename = "order.cfg");

    // Unit price and shipping charge of a slot: FALSE when it is not offered
    // ("*") or its price is not a sane amount, which counts as not offered.
    static BOOL SlotPrice(int slot, double* unit, double* shipping);
    static BOOL IsOffered(int slot);
    static BOOL IsOrdered(int slot);
    static int Quantity(int slot);         // Amt of the slot; 0 outside 0-5
    static STRING ProductName(int slot);   // Prod of the slot; "" outside 0-5
    static void ComputeTotals();
    // Whether the chosen distributor offers payment method 0-5.
    static BOOL PayMethodOffered(int method);
    // UserPayMethod, moved to the first method when the distributor does not offer it.
    static int PayMethod();
    // 1 when the user wants to correct the order. ask: the question box.
    static int CheckOrderRules(HWND frame, ORDERASK ask = NULL);

    // ---- document and output (orderdoc.cpp)
    static STRING Heading(int k);
    static STRING DebitForm();
    static void BuildOrderText();
    static STRING PrintOrder(INT_PTR userdata, HWND page, STRING value);
    static STRING SaveOrder(INT_PTR userdata, HWND page, STRING value);
    static STRING MailOrder(INT_PTR userdata, HWND page, STRING value);
    // Writes the document byte for byte in place of an older file; FALSE (the
    // older file untouched) when creating, writing or moving it there fails.
    static BOOL WriteOrderFile(const char* path, const STRING& text);

    // ---- pages (orderpages.cpp)
    static int OrderMain();
    static const SETUPSTEP* OrderSteps();
    // The comment as stored: lines cut into pieces of 50, each ended by "\r\n".
    static STRING WrapComment(const STRING& text);
    // The maker's general order page for a language code.
    static STRING MakerOrderPage(int language);

    static int WelcomePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int DistributorChoicePage(SETUPDIALOG* frame, DATADIALOG* page);
    static int DistributorPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int ProductsPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int TotalsPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int AddressPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int PaymentPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int CommentPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int DocumentPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int OutputPage(SETUPDIALOG* frame, DATADIALOG* page);
    static int FinalPage(SETUPDIALOG* frame, DATADIALOG* page);

private:
    // order.cfg as read, before the language variants: what the write-back restores.
    static KEYTABLE LoadedSettings;
    static STRING LoadedSuffix;
    static BOOL ExpireLoaded;
};
