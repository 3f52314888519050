// Checks the four language modules beside the test program: every string and
// dialog the program loads, the fixed values and placeholders it relies on, the
// code page of each module, one layout for all languages, and texts that fit.
#include <gtest/gtest.h>
#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dlgtemplate.h"
#include "setup/lang/resource.h"

namespace {

struct LANGUAGE {
    const char* name;
    const char* module;
    UINT codePage;
    const char* suffix;     // string 2980
    const char* licence;    // string 2984
};

const LANGUAGE Languages[] = {
    {"english", "setupenglish.dll", 1252, ".ENG", "44"},
    {"german", "setupgerman.dll", 1252, ".GER", "49"},
    {"french", "setupfrench.dll", 1252, ".FRA", "33"},
    {"hungarian", "setuphungarian.dll", 1250, ".HUN", "36"},
};

// Placeholders the program replaces.
enum : unsigned {
    P_PROGRAM = 1, P_PROG = 2, P_FILE = 4, P_SOURCE = 8, P_DEPEND = 16, P_OPERATION = 32, P_ARCHIVE = 64,
    P_FOLDER = 128, P_COUNT = 256,
};

const struct { const char* name; unsigned bit; } Placeholders[] = {
    {"PROGRAM", P_PROGRAM}, {"PROG", P_PROG}, {"FILE", P_FILE},
    {"PRODSOURCE", P_SOURCE}, {"PRODDEPEND", P_DEPEND}, {"OPERATION", P_OPERATION}, {"ARCHIVE", P_ARCHIVE},
    {"FOLDER", P_FOLDER}, {"COUNT", P_COUNT},
};

// Every string of the program with the placeholders it may and must hold.
struct STRINGRULE {
    int id;
    unsigned allowed;
    unsigned required;
};

const unsigned RULE = P_SOURCE | P_DEPEND;

const STRINGRULE Strings[] = {
    {IDS_MSGCAPTION, 0, 0}, {IDS_LANGSUFFIX, 0, 0}, {IDS_FINISHBUTTON, 0, 0},
    {IDS_SENDMAILTITLE, 0, 0},
    // install
    {IDS_SETUPCAPTION, 0, 0}, {IDS_WELCOMEHEAD, 0, 0}, {IDS_WELCOMEDESC, 0, 0},
    {IDS_LICENCEHEAD, 0, 0}, {IDS_LICENCEDESC, 0, 0}, {IDS_DESTHEAD, 0, 0}, {IDS_DESTDESC, 0, 0},
    {IDS_FILESHEAD, 0, 0}, {IDS_FILESDESC, 0, 0}, {IDS_FILESBUSY, 0, 0}, {IDS_FILESDONE, 0, 0},
    {IDS_SHORTCUTSHEAD, 0, 0}, {IDS_SHORTCUTSDESC, 0, 0}, {IDS_ADVERTHEAD, P_PROG, 0},
    {IDS_ADVERTDESC, P_PROG, 0}, {IDS_FINISHHEAD, 0, 0}, {IDS_FINISHDESC, P_PROG, 0},
    {IDS_LICENCESELECT, 0, 0}, {IDS_ASKCONTINUESETUP, 0, 0},
    {IDS_ASKRETRYFILE, P_FILE | P_PROGRAM, P_FILE}, {IDS_ASKNOARCHIVE, P_FILE | P_PROGRAM, P_FILE},
    {IDS_ASKBADARCHIVE, P_FILE | P_PROGRAM, P_FILE},
    {IDS_ASKBADMEMBER, P_FILE | P_ARCHIVE | P_PROGRAM, P_FILE | P_ARCHIVE}, {IDS_ASKREPLACE, 0, 0},
    {IDS_REPLACECAPTION, 0, 0}, {IDS_INSTALLDONE, P_PROGRAM, 0},
    {IDS_UNINSTALLLINK, P_PROGRAM, P_PROGRAM}, {IDS_ASKCOPYOLDDATA, 0, 0},
    // uninstall
    {IDS_UNINSTCAPTION, 0, 0}, {IDS_ASKUNINSTALL, P_PROGRAM, P_PROGRAM},
    {IDS_ASKCONTINUEUNINST, 0, 0}, {IDS_FEEDBACKHEAD, 0, 0}, {IDS_FEEDBACKDESC, 0, 0},
    {IDS_OPTIONSHEAD, 0, 0}, {IDS_OPTIONSDESC, 0, 0}, {IDS_REMOVEHEAD, 0, 0},
    {IDS_REMOVEDESC, 0, 0}, {IDS_REMOVEDONEHEAD, 0, 0}, {IDS_REMOVEDALL, 0, 0},
    {IDS_OPTIONSTEXT1, P_PROGRAM, 0}, {IDS_OPTIONSTEXT2, P_PROGRAM, 0},
    {IDS_ASKREMOVEALL, P_PROGRAM, 0}, {IDS_ASKFEEDBACK, P_PROGRAM, 0}, {IDS_ASKOPENMAIL, 0, 0},
    // unattended install and removal
    {IDS_HELPFIRST, 0, 0}, {IDS_HELP2, 0, 0}, {IDS_HELP3, 0, 0}, {IDS_HELP4, 0, 0}, {IDS_HELPLAST, 0, 0},
    {IDS_ALREADYRUNNING, P_PROGRAM, P_PROGRAM},
    // order form
    {IDS_ORDERCAPTION, 0, 0}, {IDS_ORDERWELCOMEHEAD, 0, 0}, {IDS_ORDERWELCOMEDESC, 0, 0},
    {IDS_DISTCHOICEHEAD, 0, 0}, {IDS_DISTCHOICEDESC, 0, 0}, {IDS_DISTDETAILHEAD, 0, 0},
    {IDS_DISTDETAILDESC, 0, 0}, {IDS_PRODUCTSHEAD, 0, 0}, {IDS_PRODUCTSDESC, 0, 0},
    {IDS_TOTALSHEAD, 0, 0}, {IDS_TOTALSDESC, 0, 0}, {IDS_ADDRESSHEAD, 0, 0},
    {IDS_ADDRESSDESC, 0, 0}, {IDS_PAYMENTHEAD, 0, 0}, {IDS_PAYMENTDESC, 0, 0},
    {IDS_COMMENTHEAD, 0, 0}, {IDS_COMMENTDESC, 0, 0}, {IDS_DOCUMENTHEAD, 0, 0},
    {IDS_DOCUMENTDESC, 0, 0}, {IDS_OUTPUTHEAD, 0, 0}, {IDS_OUTPUTDESC, 0, 0},
    {IDS_ORDERFINALHEAD, 0, 0}, {IDS_ORDERFINALDESC, 0, 0}, {IDS_ASKCONTINUEORDER, 0, 0},
    {IDS_RULEEXCLUDES, RULE, RULE}, {IDS_RULEREQUIRES, RULE, RULE}, {IDS_RULEONEOF, RULE, RULE},
    {IDS_RULEASKCORRECT, 0, 0}, {IDS_RULEEXPIRED, P_SOURCE, P_SOURCE},
    {IDS_RULEUNAVAILABLE, P_SOURCE, P_SOURCE}, {IDS_RULENOTICE, P_SOURCE, P_SOURCE},
    {IDS_ORDERKEY, 0, 0}, {IDS_NOMAILPAYMENT, 0, 0}, {IDS_ORDERTHANKS, P_PROGRAM, 0},
    {IDS_ORDERFILEWORD, 0, 0}, {IDS_TRANSFERNOTICE, 0, 0}, {IDS_ORDERNOTDONE, P_PROGRAM, 0},
    {IDS_PRICESEXPIRED1, P_PROG, 0}, {IDS_PRICESEXPIRED2, P_PROG, 0}, {IDS_TOTALLABELS, 0, 0},
    {IDS_OPERATIONWORDS, 0, 0}, {IDS_OPERATIONDONE, P_OPERATION, P_OPERATION},
    {IDS_OPERATIONFAILED, P_OPERATION, P_OPERATION}, {IDS_SAVEORDERTITLE, 0, 0},
    {IDS_PAYMENTNAMES, 0, 0}, {IDS_DOCHEADINGS, 0, 0}, {IDS_CURRENCYWORD, 0, 0},
    {IDS_MAILSUBJECT, 0, 0}, {IDS_ORDERWELCOME1, P_PROG, 0}, {IDS_ORDERWELCOME2, P_PROGRAM, 0},
    {IDS_ORDERNOTE1, 0, 0}, {IDS_ORDERNOTE2, 0, 0},
    // failed writes, undo, destination checks
    {IDS_NOSETUPCFG, 0, 0}, {IDS_FAILMORE, P_COUNT, P_COUNT}, {IDS_INSTALLINCOMPLETE, P_PROGRAM, P_PROGRAM},
    {IDS_UNDOFAILED, 0, 0}, {IDS_ASKKEEP, P_PROGRAM, P_PROGRAM}, {IDS_FILESFAILED, 0, 0}, {IDS_FILESUNDO, 0, 0},
    {IDS_DESTEMPTY, P_PROGRAM, 0}, {IDS_DESTRELATIVE, P_FOLDER, P_FOLDER}, {IDS_DESTBADNAME, P_FOLDER, P_FOLDER},
    {IDS_DESTNODRIVE, P_FOLDER, P_FOLDER}, {IDS_DESTISFILE, P_FOLDER, P_FOLDER},
    {IDS_DESTNOWRITE, P_FOLDER, P_FOLDER}, {IDS_DESTTOOLONG, 0, 0}, {IDS_NOTINSTALLED, 0, 0},
    {IDS_NOTEMPCOPY, 0, 0}, {IDS_REMOVEFAILED, 0, 0}, {IDS_REMOVEDPART, 0, 0},
};

// The numbers as the program's documentation lists them, independent of resource.h.
const int CatalogueStrings[] = {
    10001, 2980, 3000, 2995,
    2900, 2912, 2913, 2904, 2905, 2902, 2903, 2906, 2907, 2909, 2911, 2916, 2917, 2914, 2915,
    2918, 2919, 2984, 2987, 2988, 4000, 4001, 4002, 2992, 2993, 2994, 2998, 2950,
    2901, 2989, 2997, 2932, 2933, 2934, 2935, 2936, 2937, 2938, 2939, 2985, 2986, 2999, 3004, 3001,
    3100, 3119, 3120, 3109, 3110, 3111, 3112, 3103, 3104, 3105, 3106, 3101, 3102, 3107, 3108,
    3121, 3122, 3115, 3116, 3113, 3114, 3117, 3118, 3198, 3130, 3131, 3132, 3133, 3134, 3135,
    3136, 3178, 3179, 3181, 3182, 3183, 3184, 3185, 3186, 3190, 3191, 3192, 3193, 3194, 3195,
    3196, 3197, 3199, 3287, 3288, 3289, 3290,
    4010, 4011, 4012, 4013, 4014, 4015, 4016, 4017, 4018, 4019, 4020, 4021, 4022, 4023, 4030, 4031, 4032, 4033,
    4150, 4151, 4152, 4153, 4154, 4155,
};
const int CatalogueDialogs[] = {
    10702, 2001, 2002, 2003, 2004, 2005, 2006, 2009, 2013, 2014, 2015,
    2041, 2042, 2043, 2044, 2045, 2046, 2047, 2048, 2049, 2050, 2051, 2090,
};
// Control numbers the program and the pages share.
static_assert(IDC_HELPBUTTON == 9 && IDC_BACK == 10780 && IDC_NEXT == 10781 && IDCANCEL == 2);
static_assert(IDC_HEADING == 10782 && IDC_HEADDESC == 10783 && IDC_PAGEAREA == 10791 &&
              IDC_HEADBAND == 10792 && IDC_HEADICON == 10793 && IDC_PLACEHOLDER == 901);
static_assert(IDC_BUTTON == 101 && IDC_EMAILORDER == 106 && IDC_SAVEORDER == 107 &&
              IDC_PRINTORDER == 108 && IDC_SENDFEEDBACK == 110);
static_assert(IDC_FIELD0 == 200 && IDC_FIELD8 == 208 && IDC_RADIO0 == 220 && IDC_RADIO5 == 225 &&
              IDC_CHECK == 241 && IDC_LABEL0 == 280 && IDC_LABEL5 == 285 && IDC_PRICELABEL == 289 &&
              IDC_PRICE0 == 290 && IDC_PRICE5 == 295 && IDC_LIST == 401 && IDC_BITMAP == 2070);
static_assert(IDC_MAILTO == 1001 && IDC_MAILFROM == 1002 && IDC_MAILSUBJECT == 1003 &&
              IDC_MAILBODY == 1004 && IDC_MAILSTATUS == 1005 && IDC_MAILSEND == 1009);
static_assert(IDI_SETUP == 1 && IDI_UNINSTALL == 2 && IDI_ORDER == 3 && IDB_FINISH == 2070);

// Headings (one line in the frame's heading font) and step descriptions.
const int Headings[] = {
    IDS_WELCOMEHEAD, IDS_LICENCEHEAD, IDS_DESTHEAD, IDS_FILESHEAD, IDS_SHORTCUTSHEAD,
    IDS_ADVERTHEAD, IDS_FINISHHEAD, IDS_FEEDBACKHEAD, IDS_OPTIONSHEAD, IDS_REMOVEHEAD,
    IDS_REMOVEDONEHEAD, IDS_ORDERWELCOMEHEAD, IDS_DISTCHOICEHEAD, IDS_DISTDETAILHEAD,
    IDS_PRODUCTSHEAD, IDS_TOTALSHEAD, IDS_ADDRESSHEAD, IDS_PAYMENTHEAD, IDS_COMMENTHEAD,
    IDS_DOCUMENTHEAD, IDS_OUTPUTHEAD, IDS_ORDERFINALHEAD,
};
const int Descriptions[] = {
    IDS_WELCOMEDESC, IDS_LICENCEDESC, IDS_DESTDESC, IDS_FILESDESC, IDS_SHORTCUTSDESC,
    IDS_ADVERTDESC, IDS_FINISHDESC, IDS_FEEDBACKDESC, IDS_OPTIONSDESC, IDS_REMOVEDESC,
    IDS_ORDERWELCOMEDESC, IDS_DISTCHOICEDESC, IDS_DISTDETAILDESC, IDS_PRODUCTSDESC,
    IDS_TOTALSDESC, IDS_ADDRESSDESC, IDS_PAYMENTDESC, IDS_COMMENTDESC, IDS_DOCUMENTDESC,
    IDS_OUTPUTDESC, IDS_ORDERFINALDESC,
};

// ---- Dialogs: the controls the program needs, with their kind and styles.
const WORD BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82, LISTBOX = 0x83;
const DWORD ANY = 0xFFFFFFFF;   // no subtype required

struct CONTROLRULE {
    int dialog;
    int id;
    WORD atom;
    DWORD type;         // BS_ or SS_ type (low bits), or ANY
    DWORD required;     // style bits that must be set
    DWORD forbidden;    // style bits that must be clear
};

const DWORD MLEDIT = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;

const CONTROLRULE Controls[] = {
    {IDD_WIZARD, IDC_HEADBAND, STATIC, SS_WHITERECT, 0, 0},
    {IDD_WIZARD, IDC_HEADING, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_WIZARD, IDC_HEADDESC, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_WIZARD, IDC_HEADICON, STATIC, SS_ICON, 0, 0},
    {IDD_WIZARD, IDC_PAGEAREA, STATIC, ANY, 0, WS_VISIBLE},
    {IDD_WIZARD, IDC_HELPBUTTON, BUTTON, BS_PUSHBUTTON, 0, WS_VISIBLE},
    {IDD_WIZARD, IDC_BACK, BUTTON, BS_PUSHBUTTON, WS_VISIBLE, 0},
    {IDD_WIZARD, IDC_NEXT, BUTTON, BS_DEFPUSHBUTTON, WS_VISIBLE, 0},
    {IDD_WIZARD, IDCANCEL, BUTTON, BS_PUSHBUTTON, WS_VISIBLE, 0},
    {IDD_WIZARD, IDC_PLACEHOLDER, STATIC, ANY, 0, WS_VISIBLE},

    {IDD_INSTWELCOME, IDC_RADIO1, BUTTON, BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, 0},
    {IDD_INSTWELCOME, IDC_RADIO2, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_INSTWELCOME, IDC_RADIO3, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_INSTDEST, IDC_FIELD1, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_INSTDEST, IDC_BUTTON, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_INSTLICENCE, IDC_FIELD1, EDIT, ANY, MLEDIT | ES_READONLY, ES_AUTOHSCROLL},
    {IDD_INSTLICENCE, IDC_CHECK, BUTTON, BS_AUTOCHECKBOX, 0, 0},
    {IDD_INSTLICENCE, IDC_BUTTON, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_INSTFILES, IDC_FIELD1, STATIC, SS_LEFT, 0, 0},
    {IDD_INSTFILES, IDC_PLACEHOLDER, STATIC, ANY, 0, 0},
    {IDD_INSTSHORTCUTS, IDC_RADIO1, BUTTON, BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, 0},
    {IDD_INSTSHORTCUTS, IDC_RADIO2, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_INSTSHORTCUTS, IDC_RADIO3, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_INSTSHORTCUTS, IDC_CHECK, BUTTON, BS_AUTOCHECKBOX, WS_GROUP, 0},
    {IDD_INSTADVERT, IDC_LABEL0, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_INSTADVERT, IDC_LABEL1, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_INSTADVERT, IDC_FIELD1, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_INSTADVERT, IDC_BUTTON, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_INSTFINISH, IDC_BITMAP, STATIC, SS_LEFT, 0, 0},
    {IDD_INSTFINISH, IDC_LABEL1, STATIC, SS_LEFT, SS_NOPREFIX, 0},

    {IDD_UNFEEDBACK, IDC_FIELD2, EDIT, ANY, MLEDIT | ES_WANTRETURN, 0},
    {IDD_UNFEEDBACK, IDC_SENDFEEDBACK, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_UNOPTIONS, IDC_FIELD1, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_UNOPTIONS, IDC_RADIO1, BUTTON, BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, 0},
    {IDD_UNOPTIONS, IDC_RADIO2, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_UNREMOVE, IDC_FIELD1, STATIC, SS_LEFT, 0, 0},
    {IDD_UNREMOVE, IDC_PLACEHOLDER, STATIC, ANY, 0, 0},
    {IDD_UNREMOVE, IDC_FIELD2, STATIC, SS_LEFT, 0, WS_VISIBLE},

    {IDD_ORDWELCOME, IDC_LABEL0, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_ORDWELCOME, IDC_FIELD2, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_ORDDISTCHOICE, IDC_LIST, LISTBOX, ANY, LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP,
     LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL},
    {IDD_ORDDISTDETAIL, IDC_FIELD0, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_ORDDISTDETAIL, IDC_BUTTON, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_ORDPRODUCTS, IDC_PRICELABEL, STATIC, SS_LEFT, 0, 0},
    {IDD_ORDTOTALS, IDC_LABEL0, STATIC, SS_RIGHT, 0, 0},
    {IDD_ORDTOTALS, IDC_LABEL1, STATIC, SS_RIGHT, 0, 0},
    {IDD_ORDTOTALS, IDC_LABEL2, STATIC, SS_RIGHT, 0, 0},
    {IDD_ORDTOTALS, IDC_FIELD1, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD1, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD2, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD3, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD4, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD5, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD6, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD7, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDADDRESS, IDC_FIELD8, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDPAYMENT, IDC_RADIO0, BUTTON, BS_AUTORADIOBUTTON, WS_GROUP | WS_TABSTOP, 0},
    {IDD_ORDPAYMENT, IDC_RADIO1, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_ORDPAYMENT, IDC_RADIO2, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_ORDPAYMENT, IDC_RADIO3, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_ORDPAYMENT, IDC_RADIO4, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_ORDPAYMENT, IDC_RADIO5, BUTTON, BS_AUTORADIOBUTTON, 0, WS_GROUP},
    {IDD_ORDPAYMENT, IDC_FIELD1, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDPAYMENT, IDC_FIELD2, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDPAYMENT, IDC_LABEL3, STATIC, SS_LEFT, 0, 0},
    {IDD_ORDPAYMENT, IDC_FIELD3, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDPAYMENT, IDC_LABEL4, STATIC, SS_LEFT, 0, 0},
    {IDD_ORDPAYMENT, IDC_FIELD4, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_ORDPAYMENT, IDC_LABEL0, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_ORDCOMMENT, IDC_FIELD0, EDIT, ANY, MLEDIT, 0},
    {IDD_ORDCOMMENT, IDC_PLACEHOLDER, STATIC, ANY, 0, WS_VISIBLE},
    {IDD_ORDDOCUMENT, IDC_FIELD0, EDIT, ANY,
     MLEDIT | ES_READONLY | ES_AUTOHSCROLL | WS_HSCROLL, 0},
    {IDD_ORDOUTPUT, IDC_EMAILORDER, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_ORDOUTPUT, IDC_SAVEORDER, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_ORDOUTPUT, IDC_PRINTORDER, BUTTON, BS_PUSHBUTTON, 0, 0},
    {IDD_ORDOUTPUT, IDC_FIELD1, STATIC, SS_LEFT, SS_NOPREFIX, WS_VISIBLE},
    {IDD_ORDFINAL, IDC_BITMAP, STATIC, SS_LEFT, 0, 0},
    {IDD_ORDFINAL, IDC_FIELD2, STATIC, SS_LEFT, 0, 0},

    {IDD_SENDMAIL, IDC_MAILTO, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_SENDMAIL, IDC_MAILFROM, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_SENDMAIL, IDC_MAILSUBJECT, EDIT, ANY, 0, ES_MULTILINE},
    {IDD_SENDMAIL, IDC_MAILBODY, EDIT, ANY, MLEDIT, 0},
    {IDD_SENDMAIL, IDC_MAILSTATUS, STATIC, SS_LEFT, SS_NOPREFIX, 0},
    {IDD_SENDMAIL, IDC_MAILSEND, BUTTON, BS_DEFPUSHBUTTON, 0, 0},
    {IDD_SENDMAIL, IDCANCEL, BUTTON, BS_PUSHBUTTON, 0, 0},
};

const int Pages[] = {
    IDD_INSTWELCOME, IDD_INSTDEST, IDD_INSTLICENCE, IDD_INSTFILES, IDD_INSTSHORTCUTS,
    IDD_INSTADVERT, IDD_INSTFINISH, IDD_UNFEEDBACK, IDD_UNOPTIONS, IDD_UNREMOVE,
    IDD_ORDWELCOME, IDD_ORDDISTCHOICE, IDD_ORDDISTDETAIL, IDD_ORDPRODUCTS, IDD_ORDTOTALS,
    IDD_ORDADDRESS, IDD_ORDPAYMENT, IDD_ORDCOMMENT, IDD_ORDDOCUMENT, IDD_ORDOUTPUT,
    IDD_ORDFINAL,
};

// ---- Helpers

std::string Folder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

HMODULE Module(const LANGUAGE& lang)
{
    // Loaded as the program loads it, and kept for the whole run.
    static std::map<std::string, HMODULE> loaded;
    auto it = loaded.find(lang.module);
    if (it != loaded.end())
        return it->second;
    HMODULE h = LoadLibraryA((Folder() + lang.module).c_str());
    loaded[lang.module] = h;
    return h;
}

// The string as stored (UTF-16); false when it is missing.
bool WideString(HMODULE h, int id, std::wstring& out)
{
    const wchar_t* p = nullptr;
    int n = LoadStringW(h, id, (LPWSTR)&p, 0);
    if (n <= 0 || !p)
        return false;
    out.assign(p, n);
    return true;
}

// Bytes in the module's code page, as the program gets them on a system of that
// language. `lossy` tells whether a character has no byte in that code page.
std::string Bytes(const std::wstring& w, UINT codePage, bool* lossy = nullptr)
{
    if (w.empty())
        return std::string();
    BOOL used = FALSE;
    int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(),
                                nullptr, 0, "?", &used);
    std::string s(n, '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), &s[0], n,
                        "?", &used);
    if (lossy)
        *lossy = used != FALSE;
    return s;
}

std::string Text(const LANGUAGE& lang, int id)
{
    std::wstring w;
    if (!WideString(Module(lang), id, w))
        return std::string();
    return Bytes(w, lang.codePage);
}

// Placeholder bits found in a text; `unknown` collects "$" words the program does not replace.
unsigned PlaceholdersIn(const std::string& s, std::string& unknown)
{
    unsigned found = 0;
    for (size_t i = s.find('$'); i != std::string::npos; i = s.find('$', i + 1)) {
        size_t j = i + 1;
        while (j < s.size() && isalpha((unsigned char)s[j]))
            j++;
        std::string word = s.substr(i + 1, j - i - 1);
        bool known = false;
        for (auto& p : Placeholders)
            if (word == p.name) {
                found |= p.bit;
                known = true;
            }
        if (!known)
            unknown += " $" + word;
    }
    return found;
}

std::vector<std::string> Split(const std::string& s, char c)
{
    std::vector<std::string> out(1);
    for (char ch : s) {
        if (ch == c)
            out.emplace_back();
        else
            out.back() += ch;
    }
    return out;
}

bool HasC1Byte(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80 && c <= 0x9F)
            return true;
    return false;
}

// ---- The module itself

void HoldsOnlyStringsAndDialogsWithoutCode([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    // No entry point and no imports: the program loads it with LoadLibrary, so
    // code in it would run, and a missing import would fail the load.
    auto dos = (const IMAGE_DOS_HEADER*)((ULONG_PTR)h & ~(ULONG_PTR)3);
    auto nt = (const IMAGE_NT_HEADERS*)((const BYTE*)dos + dos->e_lfanew);
    EXPECT_EQ(0u, nt->OptionalHeader.AddressOfEntryPoint);
    const IMAGE_DATA_DIRECTORY& imp = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imp.VirtualAddress && imp.Size) {
        auto desc = (const IMAGE_IMPORT_DESCRIPTOR*)((const BYTE*)dos + imp.VirtualAddress);
        EXPECT_EQ(0u, desc->Name) << "the module imports a library";
    }

    std::set<ULONG_PTR> types;
    EnumResourceTypesA(h, [](HMODULE, LPSTR type, LONG_PTR p) CALLBACK -> BOOL {
        ((std::set<ULONG_PTR>*)p)->insert((ULONG_PTR)type);
        return TRUE;
    }, (LONG_PTR)&types);
    EXPECT_EQ((std::set<ULONG_PTR>{(ULONG_PTR)RT_STRING, (ULONG_PTR)RT_DIALOG}), types);

    // Exactly the dialogs the program loads.
    std::set<int> dialogs;
    EnumResourceNamesA(h, (LPCSTR)RT_DIALOG, [](HMODULE, LPCSTR, LPSTR name, LONG_PTR p) CALLBACK -> BOOL {
        ((std::set<int>*)p)->insert(IS_INTRESOURCE(name) ? (int)(ULONG_PTR)name : -1);
        return TRUE;
    }, (LONG_PTR)&dialogs);
    EXPECT_EQ(std::set<int>(std::begin(CatalogueDialogs), std::end(CatalogueDialogs)), dialogs);
}

// ---- Strings

void EveryStringPresentShortAndInItsCodePage([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    for (const STRINGRULE& rule : Strings) {
        SCOPED_TRACE(rule.id);
        std::wstring w;
        ASSERT_TRUE(WideString(h, rule.id, w)) << "string missing";
        bool lossy = false;
        std::string s = Bytes(w, lang.codePage, &lossy);
        EXPECT_FALSE(lossy) << "character outside code page " << lang.codePage;
        EXPECT_FALSE(s.empty());
        EXPECT_LE(s.size(), 255u);
        EXPECT_FALSE(HasC1Byte(s)) << s;

        std::string unknown;
        unsigned found = PlaceholdersIn(s, unknown);
        EXPECT_EQ("", unknown) << s;
        EXPECT_EQ(0u, found & ~rule.allowed) << "placeholder not replaced here: " << s;
        EXPECT_EQ(rule.required, found & rule.required) << "required placeholder missing: " << s;
    }
}

void NoStringsBeyondTheCatalogue([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    std::set<int> known;
    for (const STRINGRULE& rule : Strings)
        known.insert(rule.id);
    ASSERT_EQ(std::size(CatalogueStrings), known.size());
    ASSERT_EQ(std::set<int>(std::begin(CatalogueStrings), std::end(CatalogueStrings)), known);
    // String blocks hold 16 strings each; block n has numbers (n-1)*16 to n*16-1.
    std::vector<int> blocks;
    EnumResourceNamesA(h, (LPCSTR)RT_STRING, [](HMODULE, LPCSTR, LPSTR name, LONG_PTR p) CALLBACK -> BOOL {
        if (IS_INTRESOURCE(name))
            ((std::vector<int>*)p)->push_back((int)(ULONG_PTR)name);
        return TRUE;
    }, (LONG_PTR)&blocks);
    ASSERT_FALSE(blocks.empty());
    for (int block : blocks)
        for (int id = (block - 1) * 16; id < block * 16; id++) {
            std::wstring w;
            if (WideString(h, id, w)) {
                EXPECT_TRUE(known.count(id)) << "string " << id << " is not used by the program";
            }
        }
}

void FixedValues([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    EXPECT_EQ(lang.suffix, Text(lang, IDS_LANGSUFFIX));
    EXPECT_EQ(lang.licence, Text(lang, IDS_LICENCESELECT));
    EXPECT_NE(std::string::npos, Text(lang, IDS_SETUPCAPTION).find("Halvo"));
    EXPECT_NE(std::string::npos, Text(lang, IDS_UNINSTCAPTION).find("Halvo"));

    // The mail key: the same bytes in every module, ASCII, a multiple of 8 long.
    std::string key = Text(lang, IDS_ORDERKEY);
    EXPECT_EQ(Text(Languages[0], IDS_ORDERKEY), key);
    EXPECT_GE(key.size(), 8u);
    EXPECT_LE(key.size(), 56u);
    EXPECT_EQ(0u, key.size() % 8);
    for (unsigned char c : key)
        EXPECT_TRUE(c > 0x20 && c < 0x7F) << key;

    std::string finish = Text(lang, IDS_FINISHBUTTON);
    EXPECT_LE(finish.size() - (finish.find('&') != std::string::npos), 10u) << finish;
}

void FormatsJoinsAndLists([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    // printf formats: exactly one %s, any other percent sign doubled.
    for (int id : {IDS_ASKCOPYOLDDATA, IDS_ASKREPLACE}) {
        std::string s = Text(lang, id);
        int conversions = 0;
        bool stray = false;
        for (size_t i = 0; i < s.size(); i++) {
            if (s[i] != '%')
                continue;
            if (i + 1 < s.size() && s[i + 1] == '%')
                i++;
            else if (i + 1 < s.size() && s[i + 1] == 's')
                conversions++, i++;
            else
                stray = true;
        }
        EXPECT_EQ(1, conversions) << id << ": " << s;
        EXPECT_FALSE(stray) << id << ": " << s;
    }

    // Texts the program joins directly with what follows.
    for (int id : {IDS_WELCOMEHEAD, IDS_ORDERWELCOMEHEAD, IDS_ORDERCAPTION, IDS_PRICESEXPIRED1,
                   IDS_ORDERNOTE1})
        EXPECT_EQ(' ', Text(lang, id).back()) << id << ": '" << Text(lang, id) << "'";
    char last = Text(lang, IDS_OPTIONSTEXT1).back();
    EXPECT_TRUE(last == ' ' || last == '\n') << Text(lang, IDS_OPTIONSTEXT1);
    for (int id : {IDS_RULEEXCLUDES, IDS_RULEREQUIRES, IDS_RULEONEOF, IDS_RULEEXPIRED,
                   IDS_RULEUNAVAILABLE, IDS_RULENOTICE}) {
        std::string s = Text(lang, id);
        EXPECT_TRUE(s.size() > 2 && s.substr(s.size() - 2) == "\n\n") << id << ": " << s;
    }

    // One-line texts: captions, headings, file-name parts, list fields.
    std::vector<int> oneLine(std::begin(Headings), std::end(Headings));
    for (int id : {IDS_MSGCAPTION, IDS_LANGSUFFIX, IDS_FINISHBUTTON, IDS_SENDMAILTITLE,
                   IDS_SETUPCAPTION, IDS_UNINSTCAPTION, IDS_REPLACECAPTION, IDS_UNINSTALLLINK,
                   IDS_ORDERCAPTION, IDS_ORDERFILEWORD, IDS_SAVEORDERTITLE, IDS_CURRENCYWORD,
                   IDS_TOTALLABELS, IDS_OPERATIONWORDS, IDS_PAYMENTNAMES, IDS_DOCHEADINGS,
                   IDS_MAILSUBJECT, IDS_LICENCESELECT, IDS_ORDERKEY})
        oneLine.push_back(id);
    for (int id : oneLine)
        EXPECT_EQ(std::string::npos, Text(lang, id).find('\n')) << id << ": " << Text(lang, id);

    // Characters the program cuts at or that cannot be in a file name.
    std::string suffix = Text(lang, IDS_LANGSUFFIX);
    EXPECT_TRUE(suffix.size() > 1 && suffix[0] == '.' && suffix.find(' ') == std::string::npos);
    EXPECT_EQ(std::string::npos, Text(lang, IDS_DESTHEAD).find('|'));
    EXPECT_EQ(std::string::npos, Text(lang, IDS_SENDMAILTITLE).find('|'));
    EXPECT_EQ(std::string::npos, Text(lang, IDS_UNINSTALLLINK).find_first_of(";|\\/:*?\"<>"))
        << Text(lang, IDS_UNINSTALLLINK);
    EXPECT_EQ(std::string::npos, Text(lang, IDS_ORDERFILEWORD).find_first_of("\\/:*?\"<>| "))
        << Text(lang, IDS_ORDERFILEWORD);

    // Lists with a fixed number of fields.
    const struct { int id; size_t fields; } lists[] = {
        {IDS_TOTALLABELS, 3}, {IDS_OPERATIONWORDS, 3}, {IDS_PAYMENTNAMES, 6},
        {IDS_DOCHEADINGS, 5}, {IDS_MAILSUBJECT, 2},
    };
    for (auto& l : lists) {
        std::vector<std::string> f = Split(Text(lang, l.id), '|');
        EXPECT_EQ(l.fields, f.size()) << l.id << ": " << Text(lang, l.id);
        for (const std::string& field : f)
            EXPECT_FALSE(field.empty()) << l.id << ": " << Text(lang, l.id);
    }
    std::vector<std::string> totals = Split(Text(lang, IDS_TOTALLABELS), '|');
    if (totals.size() == 3) {
        EXPECT_LE(totals[0].size(), 20u);
        EXPECT_LE(totals[1].size(), 30u);
        EXPECT_LE(totals[2].size(), 20u);
    }
    for (const std::string& title : Split(Text(lang, IDS_DOCHEADINGS), '|')) {
        EXPECT_GE(title.size(), 2u) << title;
        EXPECT_LE(title.size(), 16u) << title;
    }
}

void LettersOfTheLanguage([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    // All strings of the module in one text, as stored.
    std::wstring all;
    for (const STRINGRULE& rule : Strings) {
        std::wstring w;
        if (WideString(h, rule.id, w))
            all += w;
    }
    std::string name = lang.name;
    if (name == "hungarian") {
        // o and u with double acute exist only in 1250; 1252 look-alikes mean a wrong code page.
        EXPECT_NE(std::wstring::npos, all.find_first_of(L"\u0151\u0171\u0150\u0170"));
        EXPECT_EQ(std::wstring::npos, all.find_first_of(L"\u00f5\u00fb\u00d5\u00db\u00f4\u00d4"));
    } else if (name == "german") {
        EXPECT_NE(std::wstring::npos, all.find_first_of(L"\u00e4\u00f6\u00fc\u00df"));
    } else if (name == "french") {
        EXPECT_NE(std::wstring::npos, all.find_first_of(L"\u00e9\u00e8\u00ea\u00e0\u00e7"));
    } else {
        for (wchar_t c : all)
            EXPECT_LT((unsigned)c, 0x80u) << "English is plain ASCII";
    }
}

// ---- Dialogs

void EveryDialogWithTheControlsTheProgramUses([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    std::map<int, DLGTEMPLATEINFO> dialogs;
    std::vector<int> ids(std::begin(Pages), std::end(Pages));
    ids.push_back(IDD_WIZARD);
    ids.push_back(IDD_SENDMAIL);
    ASSERT_EQ(std::set<int>(std::begin(CatalogueDialogs), std::end(CatalogueDialogs)),
              std::set<int>(ids.begin(), ids.end()));
    for (int id : ids) {
        SCOPED_TRACE(id);
        std::string error;
        ASSERT_TRUE(ReadDialogTemplate(h, id, dialogs[id], error)) << error;
        const DLGTEMPLATEINFO& d = dialogs[id];
        EXPECT_TRUE(d.style & DS_SETFONT);
        EXPECT_EQ(8, d.pointSize);
        EXPECT_EQ(L"MS Sans Serif", d.face);
        EXPECT_FALSE(d.style & WS_VISIBLE);
        for (const DLGITEM& item : d.items) {
            EXPECT_FALSE(item.id >= 65000 && item.id < 65500) << "reserved id " << item.id;
            EXPECT_TRUE(item.x >= 0 && item.y >= 0 && item.x + item.cx <= d.cx &&
                        item.y + item.cy <= d.cy)
                << "control " << item.id << " lies outside the dialog";
            bool lossy = false;
            std::string text = Bytes(item.text, lang.codePage, &lossy);
            EXPECT_FALSE(lossy) << "control " << item.id;
            EXPECT_FALSE(HasC1Byte(text)) << "control " << item.id << ": " << text;
        }
    }

    for (const CONTROLRULE& rule : Controls) {
        SCOPED_TRACE(testing::Message() << "dialog " << rule.dialog << " control " << rule.id);
        const DLGITEM* item = dialogs[rule.dialog].Item(rule.id);
        ASSERT_NE(nullptr, item) << "missing";
        EXPECT_EQ(rule.atom, item->Atom());
        DWORD mask = rule.atom == BUTTON ? BS_TYPEMASK : SS_TYPEMASK;
        if (rule.type != ANY) {
            EXPECT_EQ(rule.type, item->style & mask);
        }
        EXPECT_EQ(rule.required, item->style & rule.required);
        EXPECT_EQ(0u, item->style & rule.forbidden);
    }

    // Pages: child dialogs of the size of the frame's page area.
    const DLGITEM* area = dialogs[IDD_WIZARD].Item(IDC_PAGEAREA);
    ASSERT_NE(nullptr, area);
    for (int id : Pages) {
        const DLGTEMPLATEINFO& d = dialogs[id];
        EXPECT_EQ((DWORD)(DS_CONTROL | WS_CHILD), d.style & (DS_CONTROL | WS_CHILD | WS_POPUP | WS_CAPTION))
            << id;
        EXPECT_EQ(area->cx, d.cx) << id;
        EXPECT_EQ(area->cy, d.cy) << id;
    }

    // The frame: header band first, page area below it, buttons below the page area,
    // and none of the ids the program looks for on pages.
    const DLGTEMPLATEINFO& frame = dialogs[IDD_WIZARD];
    for (DWORD bit : {(DWORD)DS_MODALFRAME, (DWORD)WS_POPUP, (DWORD)WS_CAPTION, (DWORD)WS_SYSMENU})
        EXPECT_TRUE(frame.style & bit);
    EXPECT_EQ(IDC_HEADBAND, frame.items.front().id);
    const DLGITEM* band = frame.Item(IDC_HEADBAND);
    EXPECT_EQ(0, band->x);
    EXPECT_EQ(frame.cx, band->cx);
    EXPECT_GE(area->y, band->y + band->cy);
    EXPECT_GT(frame.Item(IDC_BACK)->y, area->y + area->cy) << "no gap between page and buttons";
    for (int id : {100, 101, 202})
        EXPECT_EQ(nullptr, frame.Item(id)) << id;
    const DLGTEMPLATEINFO& mail = dialogs[IDD_SENDMAIL];
    EXPECT_LE(mail.cx, 316);
    EXPECT_LE(mail.cy, 184);

    // Pages whose controls the program finds by number.
    const DLGTEMPLATEINFO& products = dialogs[IDD_ORDPRODUCTS];
    for (int n = 0; n < 6; n++) {
        const DLGITEM* qty = products.Item(IDC_FIELD0 + n);
        ASSERT_NE(nullptr, qty) << n;
        EXPECT_EQ(16 + 16 * n, qty->y);
        ASSERT_NE(nullptr, products.Item(IDC_LABEL0 + n)) << n;
        ASSERT_NE(nullptr, products.Item(IDC_PRICE0 + n)) << n;
        EXPECT_EQ((DWORD)SS_NOPREFIX, products.Item(IDC_LABEL0 + n)->style & SS_NOPREFIX);
        EXPECT_EQ((DWORD)SS_RIGHT, products.Item(IDC_PRICE0 + n)->style & SS_TYPEMASK);
        EXPECT_LE(qty->x + qty->cx + 10, products.cx) << "no room for the up-down control";
    }
    const DLGTEMPLATEINFO& detail = dialogs[IDD_ORDDISTDETAIL];
    const DLGITEM* address = detail.Item(IDC_FIELD0);
    const DLGITEM* online = detail.Item(IDC_BUTTON);
    EXPECT_GE(online->y, address->y + address->cy);
    EXPECT_TRUE(online->x >= address->x && online->x + online->cx <= address->x + address->cx);
    const DLGTEMPLATEINFO& comment = dialogs[IDD_ORDCOMMENT];
    for (const DLGITEM& item : comment.items)
        EXPECT_TRUE(item.id == IDC_FIELD0 || !(item.style & WS_VISIBLE))
            << "visible control " << item.id << " under the comment";
    // Radio groups: the first control after a group starts a new one.
    for (int id : Pages) {
        const std::vector<DLGITEM>& items = dialogs[id].items;
        for (size_t i = 0; i + 1 < items.size(); i++) {
            bool radio = items[i].Atom() == BUTTON && (items[i].style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
            bool nextRadio = items[i + 1].Atom() == BUTTON &&
                             (items[i + 1].style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
            if (radio && !nextRadio) {
                EXPECT_TRUE(items[i + 1].style & WS_GROUP) << "dialog " << id << " control "
                                                           << items[i + 1].id;
            }
        }
    }
    // Template texts that the program passes through "$PROG" replacement only.
    for (auto [dlg, ctl] : {std::pair{IDD_INSTADVERT, IDC_LABEL0}, std::pair{IDD_INSTADVERT, IDC_LABEL1},
                            std::pair{IDD_ORDOUTPUT, IDC_FIELD1}}) {
        std::string unknown;
        unsigned found = PlaceholdersIn(Bytes(dialogs[dlg].Item(ctl)->text, lang.codePage), unknown);
        EXPECT_EQ(0u, found & ~P_PROG) << dlg << "/" << ctl;
        EXPECT_EQ("", unknown);
    }
}

void SameLayoutAsEnglish([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    HMODULE english = Module(Languages[0]);
    ASSERT_NE(nullptr, english);
    std::vector<int> ids(std::begin(Pages), std::end(Pages));
    ids.push_back(IDD_WIZARD);
    ids.push_back(IDD_SENDMAIL);
    for (int id : ids) {
        SCOPED_TRACE(id);
        DLGTEMPLATEINFO a, b;
        std::string error;
        ASSERT_TRUE(ReadDialogTemplate(english, id, a, error)) << error;
        ASSERT_TRUE(ReadDialogTemplate(h, id, b, error)) << error;
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(a.exStyle, b.exStyle);
        EXPECT_TRUE(a.cx == b.cx && a.cy == b.cy);
        ASSERT_EQ(a.items.size(), b.items.size());
        for (size_t i = 0; i < a.items.size(); i++) {
            const DLGITEM& x = a.items[i];
            const DLGITEM& y = b.items[i];
            SCOPED_TRACE(testing::Message() << "control " << x.id);
            EXPECT_EQ(x.id, y.id);
            EXPECT_EQ(x.Atom(), y.Atom());
            EXPECT_EQ(x.style, y.style);
            EXPECT_EQ(x.exStyle, y.exStyle);
            EXPECT_TRUE(x.x == y.x && x.y == y.y && x.cx == y.cx && x.cy == y.cy);
            EXPECT_EQ(x.text.empty(), y.text.empty());
        }
    }
}

wchar_t Mnemonic(const std::wstring& text)
{
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if (text[i] != L'&')
            continue;
        if (text[i + 1] == L'&') {
            i++;
            continue;
        }
        return (wchar_t)(ULONG_PTR)CharUpperW((LPWSTR)(ULONG_PTR)text[i + 1]);
    }
    return 0;
}

void MnemonicsUniqueOnEveryPage([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    DLGTEMPLATEINFO frame;
    std::string error;
    ASSERT_TRUE(ReadDialogTemplate(h, IDD_WIZARD, frame, error)) << error;
    std::wstring finish;
    ASSERT_TRUE(WideString(h, IDS_FINISHBUTTON, finish));
    std::vector<int> ids(std::begin(Pages), std::end(Pages));
    ids.push_back(IDD_SENDMAIL);
    for (int id : ids) {
        DLGTEMPLATEINFO d;
        ASSERT_TRUE(ReadDialogTemplate(h, id, d, error)) << error;
        std::map<wchar_t, std::wstring> seen;
        if (id != IDD_SENDMAIL) {
            for (int button : {IDC_HELPBUTTON, IDC_BACK, IDC_NEXT})
                seen[Mnemonic(frame.Item(button)->text)] = frame.Item(button)->text;
            // On a wizard's last step Cancel carries the finish caption.
            if (id == IDD_INSTADVERT || id == IDD_INSTFINISH || id == IDD_UNREMOVE || id == IDD_ORDFINAL)
                seen[Mnemonic(finish)] = finish;
        }
        for (const DLGITEM& item : d.items) {
            if (item.Atom() == STATIC && (item.style & SS_NOPREFIX))
                continue;
            wchar_t m = Mnemonic(item.text);
            if (!m)
                continue;
            EXPECT_EQ(0u, seen.count(m)) << "dialog " << id << ": \"" << Bytes(item.text, lang.codePage)
                                         << "\" and \"" << Bytes(seen[m], lang.codePage)
                                         << "\" share a mnemonic";
            seen[m] = item.text;
        }
    }
}

// ---- Texts fit their controls, measured with the fonts the program uses.

INT_PTR CALLBACK QuietDialog(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

struct MEASURE {
    HWND control;
    HFONT font;
    std::wstring text;
    bool noPrefix;
};

// Height and width the text needs in the control's width, wrapped as a static wraps.
SIZE Needed(const MEASURE& m, bool singleLine, int width)
{
    HDC dc = GetDC(m.control);
    HGDIOBJ old = SelectObject(dc, m.font);
    RECT rc = {0, 0, width, 0};
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | (singleLine ? DT_SINGLELINE : DT_WORDBREAK) |
                 (m.noPrefix ? DT_NOPREFIX : 0);
    DrawTextW(dc, m.text.c_str(), (int)m.text.size(), &rc, flags);
    SelectObject(dc, old);
    ReleaseDC(m.control, dc);
    return SIZE{rc.right, rc.bottom};
}

// Empty string when the text fits, otherwise what does not fit. Fonts differ a
// little between systems (the dialog font is substituted here), so a text must
// fit with a tenth of the width to spare.
std::string Fits(const MEASURE& m, UINT codePage)
{
    RECT rc;
    GetClientRect(m.control, &rc);
    int width = rc.right * 9 / 10;
    char cls[32] = "";
    GetClassNameA(m.control, cls, sizeof cls);
    DWORD style = (DWORD)GetWindowLongPtrA(m.control, GWL_STYLE);
    std::string why;
    if (_stricmp(cls, "Button") == 0) {
        DWORD type = style & BS_TYPEMASK;
        SIZE need = Needed(m, true, rc.right);
        int room = width;
        if (type == BS_AUTORADIOBUTTON || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
            type == BS_CHECKBOX)
            room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
        else if (type == BS_GROUPBOX)
            room -= 16;
        else
            room -= 2 * (GetSystemMetrics(SM_CXEDGE) + 2);
        if (need.cx > room)
            why = "needs " + std::to_string(need.cx) + " px, has " + std::to_string(room);
    } else if (_stricmp(cls, "Static") == 0) {
        SIZE need = Needed(m, false, width);
        if (need.cx > width || need.cy > rc.bottom)
            why = "needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) + " px, has " +
                  std::to_string(width) + "x" + std::to_string(rc.bottom);
    }
    if (!why.empty())
        why = "\"" + Bytes(m.text, codePage) + "\" " + why;
    return why;
}

class FONTS {
public:
    HFONT Get(const char* face, int points, bool bold)
    {
        std::string key = std::string(face) + std::to_string(points) + (bold ? "b" : "");
        if (!fonts[key]) {
            HDC dc = GetDC(NULL);
            int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
            ReleaseDC(NULL, dc);
            fonts[key] = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, 0, 0, face);
        }
        return fonts[key];
    }
    ~FONTS()
    {
        for (auto& f : fonts)
            DeleteObject(f.second);
    }

private:
    std::map<std::string, HFONT> fonts;
};

std::wstring Replace(std::wstring s, const std::wstring& from, const std::wstring& to)
{
    for (size_t i = s.find(from); i != std::wstring::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

// A product name of typical length in place of the placeholders.
std::wstring WithProduct(const std::wstring& s)
{
    return Replace(Replace(s, L"$PROGRAM", L"Halvo Terminal"), L"$PROG", L"Halvo Terminal");
}

void TextsFitTheirControls([[maybe_unused]] const LANGUAGE& lang, [[maybe_unused]] HMODULE h)
{
    FONTS fonts;
    HWND frame = CreateDialogParamW(h, MAKEINTRESOURCEW(IDD_WIZARD), NULL, QuietDialog, 0);
    ASSERT_NE(nullptr, frame);
    HFONT dialogFont = (HFONT)SendMessageW(frame, WM_GETFONT, 0, 0);
    std::vector<std::string> faults;
    auto check = [&](const MEASURE& m, const std::string& where) {
        std::string why = Fits(m, lang.codePage);
        if (!why.empty())
            faults.push_back(where + ": " + why);
    };

    // Template texts of every dialog, in the dialog's font.
    std::vector<int> ids(std::begin(Pages), std::end(Pages));
    ids.push_back(IDD_WIZARD);
    ids.push_back(IDD_SENDMAIL);
    for (int id : ids) {
        HWND dlg = id == IDD_WIZARD ? frame
                 : CreateDialogParamW(h, MAKEINTRESOURCEW(id), id == IDD_SENDMAIL ? NULL : frame,
                                      QuietDialog, 0);
        ASSERT_NE(nullptr, dlg) << id;
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t text[512];
            int n = GetWindowTextW(c, text, 512);
            if (n <= 0)
                continue;
            DWORD style = (DWORD)GetWindowLongPtrW(c, GWL_STYLE);
            MEASURE m{c, (HFONT)SendMessageW(c, WM_GETFONT, 0, 0), WithProduct(text),
                      (style & SS_NOPREFIX) != 0};
            int cid = GetDlgCtrlID(c);
            // The program shows these in fonts of its own.
            if (id == IDD_INSTADVERT && cid == IDC_LABEL0)
                m.font = fonts.Get("Arial", 12, true);
            if (id == IDD_INSTADVERT && cid == IDC_LABEL1)
                m.font = fonts.Get("Arial", 9, true);
            if (id == IDD_ORDOUTPUT && cid == IDC_FIELD1)
                m.font = fonts.Get("MS Sans Serif", 8, true);
            if (id == IDD_ORDWELCOME && cid == IDC_FIELD2)
                continue;   // measured with its appended texts below
            check(m, "dialog " + std::to_string(id) + " control " + std::to_string(cid));
        }
        if (id != IDD_WIZARD && id != IDD_SENDMAIL) {
            // Texts the program puts into page controls.
            auto put = [&](int ctl, const std::wstring& text, HFONT font) {
                HWND c = GetDlgItem(dlg, ctl);
                ASSERT_NE(nullptr, c);
                check(MEASURE{c, font, WithProduct(text), true},
                      "dialog " + std::to_string(id) + " control " + std::to_string(ctl));
            };
            std::wstring a, b, t;
            if (id == IDD_INSTFILES) {
                ASSERT_TRUE(WideString(h, IDS_FILESBUSY, a) && WideString(h, IDS_FILESDONE, b));
                put(IDC_FIELD1, a, dialogFont);
                put(IDC_FIELD1, b, dialogFont);
                ASSERT_TRUE(WideString(h, IDS_FILESFAILED, a) && WideString(h, IDS_FILESUNDO, b));
                put(IDC_FIELD1, a, dialogFont);
                put(IDC_FIELD1, b, dialogFont);
            } else if (id == IDD_UNOPTIONS) {
                ASSERT_TRUE(WideString(h, IDS_OPTIONSTEXT1, a) && WideString(h, IDS_OPTIONSTEXT2, b));
                put(IDC_FIELD1, a + b, dialogFont);
            } else if (id == IDD_UNREMOVE) {
                ASSERT_TRUE(WideString(h, IDS_REMOVEDALL, a) && WideString(h, IDS_REMOVEDPART, b));
                put(IDC_FIELD2, a, dialogFont);
                put(IDC_FIELD2, b, dialogFont);
            } else if (id == IDD_ORDWELCOME) {
                ASSERT_TRUE(WideString(h, IDS_ORDERWELCOME1, a) && WideString(h, IDS_ORDERWELCOME2, b));
                put(IDC_LABEL0, a + L"\r\n\r\n" + b, dialogFont);
                wchar_t own[256] = L"";
                GetDlgItemTextW(dlg, IDC_FIELD2, own, 256);
                ASSERT_TRUE(WideString(h, IDS_ORDERNOTE1, a) && WideString(h, IDS_ORDERNOTE2, b));
                put(IDC_FIELD2, own + a + b, fonts.Get("Arial", 8, true));
            }
            DestroyWindow(dlg);
        } else if (id == IDD_SENDMAIL) {
            DestroyWindow(dlg);
        }
    }

    // Step headings (Arial 9 pt bold, one line) and descriptions (two lines) in the frame.
    HWND heading = GetDlgItem(frame, IDC_HEADING);
    HWND desc = GetDlgItem(frame, IDC_HEADDESC);
    ASSERT_TRUE(heading && desc);
    for (int id : Headings) {
        std::wstring s;
        ASSERT_TRUE(WideString(h, id, s)) << id;
        if (id == IDS_WELCOMEHEAD || id == IDS_ORDERWELCOMEHEAD)
            s += L"Halvo Terminal 1.00";
        check(MEASURE{heading, fonts.Get("Arial", 9, true), WithProduct(s), true},
              "heading " + std::to_string(id));
    }
    for (int id : Descriptions) {
        std::wstring s;
        ASSERT_TRUE(WideString(h, id, s)) << id;
        check(MEASURE{desc, dialogFont, WithProduct(s), true}, "description " + std::to_string(id));
    }
    // On the last step the Cancel button carries the finish caption.
    std::wstring finish;
    ASSERT_TRUE(WideString(h, IDS_FINISHBUTTON, finish));
    check(MEASURE{GetDlgItem(frame, IDCANCEL), dialogFont, finish, false}, "button 2 with string 3000");
    DestroyWindow(frame);

    for (const std::string& f : faults)
        ADD_FAILURE() << f;
}

TEST(LangModules, HoldsOnlyStringsAndDialogsWithoutCode)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        HoldsOnlyStringsAndDialogsWithoutCode(lang, h);
    }
}

TEST(LangModules, EveryStringPresentShortAndInItsCodePage)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        EveryStringPresentShortAndInItsCodePage(lang, h);
    }
}

TEST(LangModules, NoStringsBeyondTheCatalogue)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        NoStringsBeyondTheCatalogue(lang, h);
    }
}

TEST(LangModules, FixedValues)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        FixedValues(lang, h);
    }
}

TEST(LangModules, FormatsJoinsAndLists)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        FormatsJoinsAndLists(lang, h);
    }
}

TEST(LangModules, LettersOfTheLanguage)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        LettersOfTheLanguage(lang, h);
    }
}

TEST(LangModules, EveryDialogWithTheControlsTheProgramUses)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        EveryDialogWithTheControlsTheProgramUses(lang, h);
    }
}

TEST(LangModules, SameLayoutAsEnglish)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        SameLayoutAsEnglish(lang, h);
    }
}

TEST(LangModules, MnemonicsUniqueOnEveryPage)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        MnemonicsUniqueOnEveryPage(lang, h);
    }
}

TEST(LangModules, TextsFitTheirControls)
{
    for (const LANGUAGE& lang : Languages) {
        SCOPED_TRACE(lang.name);
        HMODULE h = Module(lang);
        ASSERT_NE(nullptr, h) << lang.module << " does not load from " << Folder();
        TextsFitTheirControls(lang, h);
    }
}

} // namespace
