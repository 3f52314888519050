// Plain-text printing: the standard print dialog, a font and margins, and a
// text stream laid out line by line in device units.
#pragma once
#include <windows.h>

class PRINTER
{
public:
    PRINTER();
    ~PRINTER();
    // TRUE when a printer was chosen. With both page pointers the dialog offers
    // that page range and returns the chosen one.
    BOOL Open(HWND owner, int* firstpage, int* lastpage, int current, int* copies, BOOL usedefault);
    void SetMargins(int left, int top, int right, int bottom);   // millimetres
    void SetFont(const char* face, int points, BOOL bold, BOOL italic);
    void SetLogFont(const LOGFONTA& lf);
    void StartDocument(const char* name, BOOL linefeedonly);
    void NewPage();
    void Print(const char* text, int length = -1);
    void EndDocument();
    // A plain text as one document on the printer the user chooses, in
    // Courier New 12 with the program's margins; FALSE when none was chosen.
    static BOOL PrintText(HWND owner, const char* document, const char* text, int length);

    // State, for the callers that place text themselves and for tests.
    HDC Hdc() const { return hDC; }
    POINT Position() const { return Pos; }
    SIZE Cell() const { return CellSize; }
    RECT Margins() const { RECT r = {Left, Top, Right, Bottom}; return r; }
    int Pages() const { return PageCount; }
    // Use a device context of the caller's instead of the dialog's (tests).
    void Attach(HDC hdc) { hDC = hdc; PagePending = 1; }

    PRINTER(const PRINTER&) = delete;
    PRINTER& operator=(const PRINTER&) = delete;

private:
    int Left, Top, Right, Bottom;
    HFONT hFont;
    SIZE CellSize;
    POINT Pos;
    HDC hDC;
    int PagePending;
    int LineFeedOnly;
    int PageCount;
};
