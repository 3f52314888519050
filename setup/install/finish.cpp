// Steps 6 and 7: the advertising page and the finish page.
#include "setup/install/install.h"
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/osys.h"
#include "brisel/winmisc.h"
#include <commctrl.h>

static void ReplaceInItem(HWND dialog, int id, const char* placeholder, const char* value)
{
    SetDlgItemTextA(dialog, id, SETUP::ReplaceAll(CONTROL(dialog, id).GetText(), placeholder, value));
}

int INSTALL::AdvertPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    STRING name = SETUP::Settings["Advertise"];
    KEYTABLE advert;
    if (name.Len() == 0 || !advert.LoadFromFile(name))
        return SETUP_NEXT;
    SETUP::ApplyLanguageVariants(advert, SETUP::Text(IDS_LANGSUFFIX));

    HWND dlg = page->Hwnd();
    STRING appname = SETUP::Settings["AppName"];
    STRING product = advert["Product"];
    ReplaceInItem(frame->Hwnd(), IDC_HEADING, "$PROG", appname);
    ReplaceInItem(frame->Hwnd(), IDC_HEADDESC, "$PROG", product);

    HFONT large = WINDOW::MakeFont("Arial", 12, TRUE, FALSE);
    HFONT medium = WINDOW::MakeFont("Arial", 9, TRUE, FALSE);
    HFONT plain = WINDOW::MakeFont("Arial", 8, FALSE, FALSE);
    HFONT old280 = (HFONT)SendDlgItemMessageA(dlg, IDC_LABEL0, WM_GETFONT, 0, 0);
    HFONT old281 = (HFONT)SendDlgItemMessageA(dlg, IDC_LABEL1, WM_GETFONT, 0, 0);
    HFONT old201 = (HFONT)SendDlgItemMessageA(dlg, IDC_FIELD1, WM_GETFONT, 0, 0);
    SendDlgItemMessageA(dlg, IDC_LABEL0, WM_SETFONT, (WPARAM)large, TRUE);
    SendDlgItemMessageA(dlg, IDC_LABEL1, WM_SETFONT, (WPARAM)medium, TRUE);

    // Without a teaser the template's own line stays, with the names put in.
    STRING teaser = advert["Teaser1"];
    if (teaser.Len() > 0)
        SetDlgItemTextA(dlg, IDC_LABEL0, teaser);
    else
        ReplaceInItem(dlg, IDC_LABEL0, "$PROG", appname);
    teaser = advert["Teaser2"];
    if (teaser.Len() > 0)
        SetDlgItemTextA(dlg, IDC_LABEL1, teaser);
    else
        ReplaceInItem(dlg, IDC_LABEL1, "$PROG", product);

    SendDlgItemMessageA(dlg, IDC_FIELD1, WM_SETFONT, (WPARAM)plain, TRUE);
    STRING description = advert["Description"];
    SetDlgItemTextA(dlg, IDC_FIELD1, description.IsNull() ? "" : description.Str());

    // The address behind the button.
    STRING url = advert["Url"];
    if (url.IsNull())
        url = "";
    SetDlgItemTextA(dlg, IDC_BUTTON, url);
    page->Add<PUSHITEM>(IDC_BUTTON, &url, OpenDocument, 0);

    int result = frame->Run();

    // The controls live on until the frame removes the page: give them their fonts back first.
    SendDlgItemMessageA(dlg, IDC_LABEL0, WM_SETFONT, (WPARAM)old280, FALSE);
    SendDlgItemMessageA(dlg, IDC_LABEL1, WM_SETFONT, (WPARAM)old281, FALSE);
    SendDlgItemMessageA(dlg, IDC_FIELD1, WM_SETFONT, (WPARAM)old201, FALSE);
    DeleteObject(large);
    DeleteObject(medium);
    DeleteObject(plain);
    return result;
}

int INSTALL::FinishPage(SETUPDIALOG* frame, DATADIALOG* page)
{
    HWND dlg = page->Hwnd();
    HWND picture = GetDlgItem(dlg, IDC_BITMAP);
    if (picture)
        SetWindowLongPtrA(picture, GWL_STYLE,
                          (GetWindowLongPtrA(picture, GWL_STYLE) & ~(LONG_PTR)SS_TYPEMASK) | SS_BITMAP);

    // Red areas of the picture take the colour of the dialog behind it.
    COLORMAP map = {RGB(255, 0, 0), GetSysColor(COLOR_BTNFACE)};
    HBITMAP bitmap = CreateMappedBitmap(APP::Instance(), IDB_FINISH, 0, &map, 1);

    ReplaceInItem(frame->Hwnd(), IDC_HEADDESC, "$PROG", SETUP::Settings["AppName"]);
    STRING message = SETUP::Settings["FinishMsg"];
    SetDlgItemTextA(dlg, IDC_LABEL1, message.IsNull() ? "" : message.Str());
    if (picture && bitmap)
        SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);

    int result = frame->Run();

    if (bitmap) {
        if (picture)
            SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, 0);
        DeleteObject(bitmap);
    }
    return result;
}
