// Plain-text printing on a Windows printer.
#include "brisel/winprint.h"
#include "brisel/halvo.h"
#include <commdlg.h>
#include <cstring>

PRINTER::PRINTER()
    : Left(0), Top(0), Right(0), Bottom(0), hFont(NULL), CellSize{0, 0}, Pos{0, 0}, hDC(NULL), PagePending(0),
      LineFeedOnly(0), PageCount(0)
{
}

PRINTER::~PRINTER()
{
    if (hFont)
        DeleteObject(hFont);
}

BOOL PRINTER::Open(HWND owner, int* firstpage, int* lastpage, int current, int* copies, BOOL usedefault)
{
    ASSERT(!this->hDC);
    ASSERT(!this->hFont);
    Left = Top = Right = Bottom = 0;
    LineFeedOnly = 0;
    PRINTDLGA pd;
    memset(&pd, 0, sizeof(pd));
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = owner;
    pd.Flags = PD_RETURNDC | (usedefault ? PD_RETURNDEFAULT : 0);
    if (firstpage && lastpage) {
        pd.nFromPage = pd.nMinPage = (WORD)*firstpage;
        pd.nToPage = pd.nMaxPage = (WORD)*lastpage;
    }
    if (copies)
        pd.nCopies = (WORD)*copies;
    PrintDlgA(&pd);
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    if (!pd.hDC)
        return FALSE;
    hDC = pd.hDC;
    PagePending = 1;
    if (firstpage && lastpage) {
        if (pd.Flags & PD_SELECTION) {
            ASSERT(current != -1);
            *firstpage = *lastpage = current;
        } else {
            *firstpage = pd.nFromPage;
            *lastpage = pd.nToPage;
        }
    }
    if (copies)
        *copies = pd.nCopies;
    return TRUE;
}

void PRINTER::SetMargins(int left, int top, int right, int bottom)
{
    ASSERT(this->hDC);
    int dx = GetDeviceCaps(hDC, LOGPIXELSX), dy = GetDeviceCaps(hDC, LOGPIXELSY);
    Left = left * dx * 10 / 254;
    Top = top * dy * 10 / 254;
    Right = GetDeviceCaps(hDC, HORZRES) - right * dx * 10 / 254;
    Bottom = GetDeviceCaps(hDC, VERTRES) - bottom * dy * 10 / 254;
}

void PRINTER::SetFont(const char* face, int points, BOOL bold, BOOL italic)
{
    ASSERT(this->hDC);
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = points * GetDeviceCaps(hDC, LOGPIXELSY) / 72;
    lf.lfWeight = bold ? 700 : 400;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfPitchAndFamily = 49;   // fixed pitch, modern family
    lstrcpynA(lf.lfFaceName, face ? face : "", 32);
    SetLogFont(lf);
}

void PRINTER::SetLogFont(const LOGFONTA& lf)
{
    ASSERT(this->hDC);
    if (hFont)
        DeleteObject(hFont);
    hFont = CreateFontIndirectA(&lf);
    ASSERT(this->hFont);
    if (hFont && hDC)
        SelectObject(hDC, hFont);
}

void PRINTER::StartDocument(const char* name, BOOL linefeedonly)
{
    ASSERT(this->hDC);
    DOCINFOA di;
    memset(&di, 0, sizeof(di));
    di.cbSize = sizeof(di);
    di.lpszDocName = name;
    StartDocA(hDC, &di);
    LineFeedOnly = linefeedonly ? 1 : 0;
}

void PRINTER::NewPage()
{
    ASSERT(this->hDC);
    if (!hDC)
        return;
    if (!PagePending)
        EndPage(hDC);
    StartPage(hDC);
    PageCount++;
    SetMapMode(hDC, MM_TEXT);
    SetTextColor(hDC, RGB(0, 0, 0));
    SetBkMode(hDC, TRANSPARENT);
    SetTextAlign(hDC, TA_UPDATECP | TA_BASELINE);
    if (hFont)
        SelectObject(hDC, hFont);
    GetTextExtentPoint32A(hDC, "X", 1, &CellSize);
    Pos.x = Left;
    Pos.y = Top;
    PagePending = 0;
}

void PRINTER::Print(const char* text, int length)
{
    ASSERT(this->hDC);
    if (!hDC || !text)
        return;
    if (length < 0)
        length = (int)strlen(text);
    int i = 0;
    while (i < length) {
        int run = i;
        while (run < length && (unsigned char)text[run] >= 32)
            run++;
        if (run > i) {
            MoveToEx(hDC, Pos.x, Pos.y, NULL);
            TextOutA(hDC, 0, 0, text + i, run - i);
            GetCurrentPositionEx(hDC, &Pos);
            i = run;
        }
        if (i < length) {
            switch (text[i++]) {
            case 8:
                if (Left + CellSize.cx < Pos.x)
                    Pos.x -= CellSize.cx;
                break;
            case 9:
                if (CellSize.cx > 0)
                    Pos.x = Left + CellSize.cx * 8 * ((Pos.x - Left) / CellSize.cx / 8 + 1);
                break;
            case 10:
                Pos.y += CellSize.cy;
                if (!LineFeedOnly)
                    Pos.x = Left;
                break;
            case 13:
                Pos.x = Left;
                break;
            case 12:
                NewPage();
                break;
            }
        }
        if (Pos.y >= Bottom)
            NewPage();
    }
}

void PRINTER::EndDocument()
{
    ASSERT(this->hDC);
    if (!hDC)
        return;
    EndPage(hDC);
    EndDoc(hDC);
    DeleteDC(hDC);
    hDC = NULL;
}

BOOL PRINTER::PrintText(HWND owner, const char* document, const char* text, int length)
{
    PRINTER printer;
    if (!printer.Open(owner, NULL, NULL, 0, NULL, FALSE))
        return FALSE;
    printer.SetFont("Courier New", 12, FALSE, FALSE);
    printer.SetMargins(25, 25, 15, 20);
    printer.StartDocument(document, FALSE);
    printer.NewPage();
    printer.Print(text, length);
    printer.EndDocument();
    return TRUE;
}
