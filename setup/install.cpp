// The first install pages: welcome, licence and destination.
#include "setup/install.h"
#include "setup/main.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/winmisc.h"
#include "brisel/winprint.h"

// ---------------------------------------------------------------- welcome

STRING INSTALL::DecideMode(const STRING& installedpath, const STRING& installedversion, const STRING& version,
                           const STRING& mode, BOOL* enable222, BOOL* enable223)
{
    *enable222 = *enable223 = TRUE;
    if (installedpath.IsNull()) {
        *enable222 = *enable223 = FALSE;
        return mode;
    }
    // Versions compare as text: "1.10" sorts before "1.9".
    if (installedversion < version) {
        *enable222 = FALSE;
        return STRING("2");
    }
    if (installedversion == version) {
        *enable223 = FALSE;
        return STRING("1");
    }
    return mode;
}

STRING INSTALL::FirstLine(const STRING& text)
{
    STRING s(text);
    if (s.IsNull())
        return STRING("");
    s.Replace("\r", "\n", TRUE);
    int cut = s.Pos("\n");
    if (cut >= 0)
        s.Truncate(cut);
    return s;
}

int INSTALL::WelcomePage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& cfg = SETUP::Settings;
    STRING warning = cfg["WelcomeWarning"];
    STRING message = cfg["WelcomeMsg"];
    STRING version = cfg["AppVersion"];
    STRING icon = cfg["IdIcon"];

    if (icon.Len() > 0 && (icon.Atoi() & 0xFFFF) != 0) {
        // From setup.exe itself, never from the language module.
        HICON h = LoadIconA(APP::Instance(), MAKEINTRESOURCEA(icon.Atoi() & 0xFFFF));
        if (h)
            SendMessageA(frame->Item(IDC_HEADICON), STM_SETICON, (WPARAM)h, 0);
    }

    STRING inikey = cfg["IniKey"];
    REGISTRY* reg = inikey.Len() > 0 ? new REGISTRY(inikey, SETUP::UninstallBase(), 0) : NULL;
    STRING path, installed;
    if (reg) {
        path = reg->ReadString("UninstallPath");
        installed = reg->ReadString("DisplayVersion");
    }
    BOOL enable222, enable223;
    SETUP::InstallMode = DecideMode(path, installed, version, SETUP::InstallMode, &enable222, &enable223);

    if (warning.Len() > 0)
        MessageInfo(page->Hwnd(), cfg["AppName"], warning);

    char heading[256] = "";
    GetDlgItemTextA(frame->Hwnd(), IDC_HEADING, heading, sizeof(heading));
    SetDlgItemTextA(frame->Hwnd(), IDC_HEADING, STRING(heading) || SETUP::DisplayName);
    SetDlgItemTextA(frame->Hwnd(), IDC_HEADDESC, FirstLine(message));

    page->AddItem(new RADIOITEM(221, &SETUP::InstallMode, 0));
    page->AddItem(new RADIOITEM(222, &SETUP::InstallMode, 1));
    page->AddItem(new RADIOITEM(223, &SETUP::InstallMode, 2));
    EnableWindow(GetDlgItem(page->Hwnd(), 222), enable222);
    EnableWindow(GetDlgItem(page->Hwnd(), 223), enable223);
    // The licence page may have left Next disabled.
    EnableWindow(frame->Item(IDC_NEXT), TRUE);

    int result = frame->Run();
    delete reg;
    return result;
}

// ---------------------------------------------------------------- licence

static const char LicenceEnglish[] =
    "LICENCE AGREEMENT FOR $PROGRAM\n\n"
    "Please read this agreement carefully before you install $PROGRAM. By installing "
    "the software you agree to be bound by its terms.\n\n"
    "1. Licence. The vendor grants you a non-exclusive, non-transferable right to install "
    "and use $PROGRAM on the computers of one licence holder.\n\n"
    "2. Restrictions. You may not rent, lease or sublicense the software, nor reverse "
    "engineer, decompile or disassemble it, except as far as the law expressly permits.\n\n"
    "3. Copyright. The software and its documentation remain the property of the vendor "
    "and are protected by copyright law and international treaties.\n\n"
    "4. No warranty. The software is provided \"as is\". The vendor does not warrant that "
    "it is free of errors or that it will meet your requirements.\n\n"
    "5. Limitation of liability. In no event shall the vendor be liable for any damages "
    "arising out of the use of or inability to use $PROGRAM, even if the vendor has been "
    "advised of the possibility of such damages, except in cases of intent or gross negligence.\n\n"
    "6. Termination. This licence ends automatically if you fail to comply with its terms. "
    "You must then destroy all copies of the software.\n";

// Windows-1252 bytes for the German letters.
static const char LicenceGerman[] =
    "LIZENZVERTRAG F\xDCR $PROGRAM\n\n"
    "Bitte lesen Sie diesen Vertrag sorgf\xE4ltig, bevor Sie $PROGRAM installieren. Mit der "
    "Installation erkl\xE4ren Sie sich mit seinen Bedingungen einverstanden.\n\n"
    "1. Nutzungsrecht. Der Hersteller gew\xE4hrt Ihnen das nicht ausschlie\xDFliche und nicht "
    "\xFC" "bertragbare Recht, $PROGRAM auf den Rechnern eines Lizenznehmers zu installieren "
    "und zu nutzen.\n\n"
    "2. Einschr\xE4nkungen. Sie d\xFC" "rfen die Software weder vermieten noch verleihen oder "
    "unterlizenzieren und sie nicht zur\xFC" "ckentwickeln, dekompilieren oder disassemblieren, "
    "soweit das Gesetz dies nicht ausdr\xFC" "cklich erlaubt.\n\n"
    "3. Urheberrecht. Die Software und ihre Dokumentation bleiben Eigentum des Herstellers "
    "und sind urheberrechtlich gesch\xFCtzt.\n\n"
    "4. Gew\xE4hrleistung. Die Software wird ohne Gew\xE4hr geliefert. Der Hersteller "
    "gew\xE4hrleistet nicht, dass sie fehlerfrei ist oder Ihren Anforderungen gen\xFCgt.\n\n"
    "5. Haftung. Der Hersteller haftet nicht f\xFC" "r Sch\xE4" "den, die aus der Nutzung oder "
    "der Unm\xF6glichkeit der Nutzung von $PROGRAM entstehen, au\xDF" "er bei Vorsatz oder grober "
    "Fahrl\xE4ssigkeit.\n\n"
    "6. Beendigung. Dieser Vertrag endet von selbst, wenn Sie gegen seine Bedingungen "
    "versto\xDF" "en. Sie m\xFCssen dann alle Kopien der Software vernichten.\n";

const char* INSTALL::BuiltinLicence(BOOL german)
{
    return german ? LicenceGerman : LicenceEnglish;
}

STRING INSTALL::LicenceText(int language, const char* program)
{
    BOOL german = language == 49;
    STRING text;
    if (!text.Load(german ? "LIZENZ.TXT" : "LICENSE.TXT", "r"))
        text = BuiltinLicence(german);
    text.Replace("$PROGRAM", program ? program : "", TRUE);
    text.Replace("\r\n", "\n", TRUE);
    text.Replace("\n", "\r\n", TRUE);
    return text;
}

static STRING LicenceShown;
static STRING LicenceButton;

static STRING PrintLicence(INT_PTR, HWND owner, STRING value)
{
    PRINTER printer;
    if (!printer.Open(owner, NULL, NULL, 0, NULL, FALSE))
        return value;
    printer.SetFont("Courier New", 12, FALSE, FALSE);
    printer.SetMargins(25, 25, 15, 20);
    printer.StartDocument("ORDER", FALSE);
    printer.NewPage();
    printer.Print(LicenceShown, LicenceShown.Len());
    printer.EndDocument();
    return value;
}

// Next follows the acceptance box on every command the page sees.
static LRESULT LicenceHook(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    if (message == WM_COMMAND)
        EnableWindow(GetDlgItem(GetParent(hwnd), IDC_NEXT), IsDlgButtonChecked(hwnd, 241) == BST_CHECKED);
    return 0;
}

int INSTALL::LicencePage(SETUPDIALOG* frame, DATADIALOG* page)
{
    if (SETUP::InstallMode == "1")
        return SETUP_SKIP;
    int language = OSYS::GetStringFromResource(IDS_LICENCESELECT, APP::ResourceModule()).Atoi();
    KEYTABLE& cfg = SETUP::Settings;
    STRING appname = cfg["AppName"];
    LicenceShown = LicenceText(language, appname || " " || cfg["AppVersion"]);

    LicenceButton = "";
    page->AddItem(new PUSHITEM(101, &LicenceButton, PrintLicence, 0));
    SetDlgItemTextA(page->Hwnd(), 201, LicenceShown);
    SendDlgItemMessageA(page->Hwnd(), 201, EM_SETSEL, 0, 1);
    page->SetHook(LicenceHook);

    frame->SetButton(IDC_NEXT, TRUE, FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    InvalidateRect(frame->Item(IDC_NEXT), NULL, TRUE);
    return frame->Run();
}

// ---------------------------------------------------------------- destination

static STRING BrowseTitle;

int INSTALL::DestinationPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    BrowseTitle = OSYS::GetStringFromResource(IDS_DESTHEAD, APP::ResourceModule()) || "|*";
    page->AddItem(new EDITITEM(201, &SETUP::InstallDir, 64));
    page->AddItem(new PUSHITEM(101, &BrowseTitle, BrowseForFolder, 201));
    if (SETUP::InstallMode.Atoi() > 0) {
        // An update or reinstall goes where the earlier installation is.
        EnableWindow(GetDlgItem(page->Hwnd(), 201), FALSE);
        EnableWindow(GetDlgItem(page->Hwnd(), 101), FALSE);
    }
    int result = frame->Run();
    int n = SETUP::InstallDir.Len();
    if (n > 0 && SETUP::InstallDir[n - 1] == '\\')
        SETUP::InstallDir.Truncate(n - 1);
    return result;
}
