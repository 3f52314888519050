// STRINGARRAY: a DYNARRAY of owned STRING copies, with text splitting and a
// line reader. KEYTABLE: sorted, case-insensitive key=value table and its text
// form (setup.cfg, order.cfg).
#pragma once
#include "brisel/dynarray.h"

class STRINGARRAY : public DYNARRAY
{
public:
    STRINGARRAY();
    // Fields of text split at any of the separators (Word 0, 1, ...).
    STRINGARRAY(const STRING& text, const char* separators);
    STRINGARRAY(const STRINGARRAY& other);
    STRINGARRAY& operator=(const STRINGARRAY& other);

    // flags & 1: numeric (atoi difference); otherwise bytes, case-sensitive: -1, 0, 1.
    virtual int Compare(const STRING* a, const STRING* b, DWORD flags);
    virtual ~STRINGARRAY();

    BOOL Insert(int pos, const STRING& item);   // stores a copy
    BOOL Add(const STRING& item);

    // Reads a text file line by line, inserting the lines before the present
    // items in file order. Returns the number of lines added, 0 when the file
    // cannot be opened.
    int LoadLines(const char* filename, BOOL unescape);

private:
    BOOL AddLine(STRING& line, int pos, BOOL unescape);
};

class KEYTABLE
{
public:
    KEYTABLE();
    explicit KEYTABLE(const STRING& text);   // parses the text form
    KEYTABLE(const KEYTABLE& other);
    KEYTABLE& operator=(const KEYTABLE& other);
    virtual ~KEYTABLE();

    // The value of key; a missing key is added with a null value.
    STRING& operator[](const char* key);
    int IndexOf(const char* key);
    BOOL Exists(const char* key);
    BOOL Remove(const char* key);
    STRINGARRAY GetKeys();             // a copy of the keys, in table order
    void Sort();
    STRING ToText();
    BOOL SaveToFile(const char* filename);
    BOOL LoadFromFile(const char* filename);

    // Entries in table order, for walking the table.
    int Count();
    STRING* KeyAt(int i);
    STRING* ValueAt(int i);

    // Key order of the table: _stricmp-like, A-Z folded to a-z, unsigned bytes.
    static int KeyCompare(const char* a, const char* b);

    int Handle;                 // "#Handle" line; 0 when absent
protected:
    STRINGARRAY Keys;
    STRINGARRAY Values;
public:
    BOOL LockTable;             // set: lookups may not add keys
    STRING Key;                 // "#Key" line; null when absent

private:
    void Parse(const STRING& text);
};
