// Dialog template reader: walks the words of a DLGTEMPLATE resource.
#include "dlgtemplate.h"

namespace {

class WORDREADER {
public:
    WORDREADER(const BYTE* data, DWORD size) : p(data), start(data), end(data + size) {}

    bool Ok() const { return ok; }

    WORD Word()
    {
        if (p + 2 > end) { ok = false; return 0; }
        WORD w = (WORD)(p[0] | (p[1] << 8));
        p += 2;
        return w;
    }

    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | ((DWORD)Word() << 16);
    }

    std::wstring String()
    {
        std::wstring s;
        for (WORD c = Word(); ok && c != 0; c = Word())
            s += (wchar_t)c;
        return s;
    }

    // A name-or-ordinal field: 0, 0xFFFF + ordinal, or a string.
    void NameOrOrdinal(WORD& ordinal, std::wstring& name)
    {
        WORD first = Word();
        ordinal = 0;
        name.clear();
        if (first == 0xFFFF) {
            ordinal = Word();
        } else if (first != 0) {
            name += (wchar_t)first;
            name += String();
        }
    }

    void AlignDword()
    {
        while (ok && (p - start) % 4 != 0)
            p++;
    }

    void Skip(size_t n)
    {
        if (p + n > end) { ok = false; return; }
        p += n;
    }

private:
    const BYTE* p;
    const BYTE* start;
    const BYTE* end;
    bool ok = true;
};

} // namespace

WORD DLGITEM::Atom() const
{
    static const wchar_t* const names[] = {L"button", L"edit", L"static", L"listbox", L"scrollbar", L"combobox"};
    if (className.empty())
        return classAtom;
    for (WORD i = 0; i < 6; i++)
        if (_wcsicmp(className.c_str(), names[i]) == 0)
            return (WORD)(0x80 + i);
    return 0;
}

const DLGITEM* DLGTEMPLATEINFO::Item(int id) const
{
    for (const DLGITEM& item : items)
        if (item.id == id)
            return &item;
    return nullptr;
}

bool ReadDialogTemplate(HMODULE module, int id, DLGTEMPLATEINFO& out, std::string& error)
{
    out = DLGTEMPLATEINFO();
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    if (!res) { error = "missing"; return false; }
    HGLOBAL mem = LoadResource(module, res);
    const BYTE* data = mem ? (const BYTE*)LockResource(mem) : nullptr;
    DWORD size = SizeofResource(module, res);
    if (!data || size < 18) { error = "cannot load"; return false; }

    WORDREADER r(data, size);
    out.style = r.Dword();
    if ((out.style & 0xFFFF) == 1 && (out.style >> 16) == 0xFFFF) {
        error = "extended template (DIALOGEX) not expected";
        return false;
    }
    out.exStyle = r.Dword();
    WORD count = r.Word();
    out.x = (short)r.Word();
    out.y = (short)r.Word();
    out.cx = (short)r.Word();
    out.cy = (short)r.Word();
    WORD ordinal;
    std::wstring name;
    r.NameOrOrdinal(ordinal, name);     // menu
    r.NameOrOrdinal(ordinal, name);     // class
    out.caption = r.String();
    if (out.style & DS_SETFONT) {
        out.pointSize = r.Word();
        out.face = r.String();
    }
    for (WORD i = 0; i < count && r.Ok(); i++) {
        r.AlignDword();
        DLGITEM item;
        item.style = r.Dword();
        item.exStyle = r.Dword();
        item.x = (short)r.Word();
        item.y = (short)r.Word();
        item.cx = (short)r.Word();
        item.cy = (short)r.Word();
        WORD wid = r.Word();
        item.id = wid == 0xFFFF ? -1 : wid;
        r.NameOrOrdinal(item.classAtom, item.className);
        WORD textOrdinal;
        r.NameOrOrdinal(textOrdinal, item.text);
        WORD extra = r.Word();
        r.Skip(extra);
        out.items.push_back(item);
    }
    if (!r.Ok()) { error = "template runs past its end"; return false; }
    return true;
}
