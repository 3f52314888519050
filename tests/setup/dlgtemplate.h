// Reads a dialog template (DLGTEMPLATE with DS_SETFONT, as the resource compiler
// writes DIALOG statements) into plain fields, for the language module tests.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct DLGITEM {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;                 // -1 for 0xFFFF
    WORD classAtom = 0;         // 0x80 button, 0x81 edit, 0x82 static, 0x83 list box ...
    std::wstring className;     // when the class is given by name
    std::wstring text;

    // The class as its atom, also when the template names it ("Static" gives 0x82).
    WORD Atom() const;
};

struct DLGTEMPLATEINFO {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<DLGITEM> items;

    const DLGITEM* Item(int id) const;
};

// Loads dialog `id` from `module`. Returns false (with a reason) when it is missing,
// is an extended template or runs past the resource's end.
bool ReadDialogTemplate(HMODULE module, int id, DLGTEMPLATEINFO& out, std::string& error);
