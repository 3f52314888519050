// The registry: one application key, opened (and created when missing) at
// construction, with reads, writes, enumeration and deletion below it, and
// the current user's autostart entry.
#pragma once
#include <windows.h>
#include <string>

class STRING;

// Roots of a REGISTRY; any other value is a root key handle itself, such as
// (INT_PTR)HKEY_CLASSES_ROOT.
enum REGROOT
{
    REGROOT_LOCALMACHINE = 0,
    REGROOT_CURRENTUSER = 1,
};

// Write, DeleteKey and Autostart leave the registry's result as the thread's
// last error.
class REGISTRY
{
public:
    REGISTRY(const char* application, const char* base, INT_PTR root);
    ~REGISTRY();
    BOOL Write(const char* name, const char* text);
    // Raw data of a value; size: capacity in, bytes read out (0 on failure).
    BOOL Read(const char* name, void* buffer, DWORD& size);
    STRING ReadString(const char* name);               // null string when missing
    BOOL DeleteKey(const char* name);
    int EnumValues(STRING& names);                     // names joined by "|"
    void Close();
    HKEY Key() const { return hkApp; }

    // The current user's Run entry: command NULL removes it, "<self>" stores
    // this program's path.
    static BOOL Autostart(const char* name, const char* command);
    // The key below "Software" that holds a product's own settings: the
    // Fernwall products keep theirs under Tessaly, all others under Halvo.
    static const char* ProductRoot(const char* application);
    // A whole value of an open key, whatever its size: its bytes and type;
    // the Windows result (ERROR_SUCCESS when read).
    static LONG QueryValue(HKEY key, const char* name, DWORD& type, std::string& data);

    REGISTRY(const REGISTRY&) = delete;
    REGISTRY& operator=(const REGISTRY&) = delete;
private:
    HKEY hkApp;
};
