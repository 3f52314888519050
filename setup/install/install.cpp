// The first install pages: welcome, licence and destination.
#include "setup/install/install.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/registry.h"
#include "brisel/winmisc.h"
#include "brisel/winprint.h"

// ---------------------------------------------------------------- welcome

int INSTALL::DecideMode(const STRING& installedpath, const STRING& installedversion, const STRING& version,
                        int mode, BOOL* enable222, BOOL* enable223)
{
    *enable222 = *enable223 = TRUE;
    if (installedpath.IsNull()) {
        *enable222 = *enable223 = FALSE;
        return mode;
    }
    // Versions compare as text: "1.10" sorts before "1.9".
    if (installedversion < version) {
        *enable222 = FALSE;
        return MODE_UPDATE;
    }
    if (installedversion == version) {
        *enable223 = FALSE;
        return MODE_REINSTALL;
    }
    return mode;
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

    STRING path, installed;
    STRING inikey = cfg["IniKey"];
    if (inikey.Len() > 0) {
        REGISTRY reg(inikey, SETUP::UninstallBase(), REGROOT_LOCALMACHINE);
        path = reg.ReadString("UninstallPath");
        installed = reg.ReadString("DisplayVersion");
    }
    BOOL enable222, enable223;
    Mode = DecideMode(path, installed, version, Mode, &enable222, &enable223);

    if (warning.Len() > 0)
        MessageInfo(page->Hwnd(), cfg["AppName"], warning);

    char heading[256] = "";
    GetDlgItemTextA(frame->Hwnd(), IDC_HEADING, heading, sizeof(heading));
    SetDlgItemTextA(frame->Hwnd(), IDC_HEADING, STRING(heading) || INSTALL::DisplayName);
    SetDlgItemTextA(frame->Hwnd(), IDC_HEADDESC, SETUP::FirstLine(message));

    // The radio buttons carry the mode as text while the page runs.
    STRING choice;
    choice.Format("%d", Mode);
    page->Add<RADIOITEM>(221, &choice, MODE_FRESH);
    page->Add<RADIOITEM>(222, &choice, MODE_REINSTALL);
    page->Add<RADIOITEM>(223, &choice, MODE_UPDATE);
    EnableWindow(GetDlgItem(page->Hwnd(), 222), enable222);
    EnableWindow(GetDlgItem(page->Hwnd(), 223), enable223);
    // The licence page may have left Next disabled.
    EnableWindow(frame->Item(IDC_NEXT), TRUE);

    int result = frame->Run();
    Mode = choice.Atoi();
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

// Prints the licence text (userdata: the STRING shown).
static STRING PrintLicence(INT_PTR shown, HWND owner, STRING value)
{
    const STRING& text = *(const STRING*)shown;
    PRINTER::PrintText(owner, "ORDER", text, text.Len());
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
    if (INSTALL::Mode == MODE_REINSTALL)
        return SETUP_SKIP;
    int language = SETUP::Text(IDS_LICENCESELECT).Atoi();
    KEYTABLE& cfg = SETUP::Settings;
    STRING appname = cfg["AppName"];
    STRING shown = LicenceText(language, appname || " " || cfg["AppVersion"]);

    STRING button("");
    page->Add<PUSHITEM>(101, &button, PrintLicence, (INT_PTR)&shown);
    SetDlgItemTextA(page->Hwnd(), 201, shown);
    SendDlgItemMessageA(page->Hwnd(), 201, EM_SETSEL, 0, 1);
    page->SetHook(LicenceHook);

    frame->SetButton(IDC_NEXT, TRUE, FALSE);
    EnableWindow(frame->Item(IDC_NEXT), FALSE);
    InvalidateRect(frame->Item(IDC_NEXT), NULL, TRUE);
    return frame->Run();
}

// ---------------------------------------------------------------- destination

// A name Windows keeps for a device, with or without an extension.
static BOOL DeviceName(const STRING& part)
{
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
    STRING base = part.Word(0, ".", 0x10000);
    base.Strip('R', " ");
    for (const char* d : devices)
        if (base == d)
            return TRUE;
    return base.Len() == 4 && (base.Left(3) == "COM" || base.Left(3) == "LPT") && base[3] >= '1' && base[3] <= '9';
}

static BOOL AllowedName(const STRING& part)
{
    if (part.Len() == 0 || part[part.Len() - 1] == ' ' || part[part.Len() - 1] == '.' || DeviceName(part))
        return FALSE;
    for (int i = 0; i < part.Len(); i++) {
        unsigned char c = (unsigned char)part[i];
        if (c < 32 || strchr("<>:\"/|?*", c))
            return FALSE;
    }
    return TRUE;
}

int INSTALL::CheckDestination(const STRING& dir, STRING& folder)
{
    folder = dir;
    int n = dir.Len();
    if (n == 0)
        return IDS_DESTEMPTY;
    if (n >= MAX_PATH)
        return IDS_DESTTOOLONG;
    // The root: "X:\" or "\\server\share\"; at least one folder below it.
    int root = 0;
    BOOL drive = n > 3 && isalpha((unsigned char)dir[0]) && dir[1] == ':' && dir[2] == '\\';
    if (drive) {
        root = 3;
    } else if (n > 2 && dir[0] == '\\' && dir[1] == '\\') {
        int server = dir.Pos("\\", 2);
        int share = server > 2 ? dir.Pos("\\", server + 1) : -1;
        if (share > server + 1 && share + 1 < n && AllowedName(dir.Mid(2, server - 2)) &&
            AllowedName(dir.Mid(server + 1, share - server - 1)))
            root = share + 1;
    }
    if (root == 0)
        return IDS_DESTRELATIVE;
    for (int i = 0;; i++) {
        STRING part = dir.Mid(root, n - root).Word(i, "\\");
        if (part.IsNull())
            break;
        if (!AllowedName(part))
            return IDS_DESTBADNAME;
    }
    if (drive && GetDriveTypeA(dir.Left(3)) == DRIVE_NO_ROOT_DIR) {
        folder = dir.Left(2);
        return IDS_DESTNODRIVE;
    }
    // A file where a folder has to be.
    for (int i = root; i <= n; i++) {
        if (i < n && dir[i] != '\\')
            continue;
        STRING prefix = dir.Left(i);
        DWORD attributes = GetFileAttributesA(prefix);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            break;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            folder = prefix;
            return IDS_DESTISFILE;
        }
    }
    STRING existing = ExistingFolder(dir);
    if (existing.IsNull())
        return IDS_DESTNODRIVE;
    STRING probe = CreateUniqueFolder(existing, "HalvoTest-");
    if (probe.IsNull()) {
        Logit("INSTALL::CheckDestination %s not writable, error=%lu\n", existing.Str(), (unsigned long)GetLastError());
        folder = existing;
        return IDS_DESTNOWRITE;
    }
    RemoveDirectoryA(probe);
    return 0;
}

STRING INSTALL::WithProductFolder(const STRING& chosen, const STRING& name)
{
    STRING folder(chosen);
    while (folder.Len() > 0 && folder[folder.Len() - 1] == '\\')
        folder.Truncate(folder.Len() - 1);
    if (name.Len() == 0 || NamePart(folder) == name)
        return folder;
    return folder || "\\" || name;
}

// Browse (userdata: the product's folder name): the product goes into its own
// folder below the one chosen, written into the folder field.
static STRING BrowseDestination(INT_PTR name, HWND owner, STRING value)
{
    char current[MAX_PATH] = "";
    GetDlgItemTextA(owner, 201, current, sizeof(current));
    STRING chosen = ChooseFolder(owner, value.Word(0, "|", 0x10000), current);
    if (!chosen.IsNull())
        SetDlgItemTextA(owner, 201, INSTALL::WithProductFolder(chosen, *(const STRING*)name));
    return value;
}

int INSTALL::DestinationPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    KEYTABLE& cfg = SETUP::Settings;
    STRING appname = cfg["AppName"];
    STRING title = SETUP::Text(IDS_DESTHEAD) || "|*";
    STRING name = NamePart(DefaultInstallDir(cfg["InstallPath"], appname));
    if (name.Len() == 0)
        name = appname;
    page->Add<EDITITEM>(201, &InstallDir, MAX_PATH - 1);
    page->Add<PUSHITEM>(101, &title, BrowseDestination, (INT_PTR)&name);
    if (INSTALL::Mode != MODE_FRESH) {
        // An update or reinstall goes where the earlier installation is.
        EnableWindow(GetDlgItem(page->Hwnd(), 201), FALSE);
        EnableWindow(GetDlgItem(page->Hwnd(), 101), FALSE);
    }
    for (;;) {
        int result = frame->Run();
        STRING& dir = INSTALL::InstallDir;
        while (dir.Len() > 0 && dir[dir.Len() - 1] == '\\')
            dir.Truncate(dir.Len() - 1);
        if (result != SETUP_NEXT)
            return result;
        // Only a folder the product can live in, and be removed from again.
        STRING folder;
        int why = CheckDestination(dir, folder);
        if (why == 0)
            return result;
        STRING text = OSYS::GetStringFromResource(why, APP::ResourceModule());
        text = SETUP::ReplaceAll(SETUP::ReplaceAll(text, "$FOLDER", folder), "$PROGRAM", appname);
        MessageError(frame->Hwnd(), SETUP::Caption(SETUP::Settings), text);
    }
}
