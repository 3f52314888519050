// The registry.
#include "brisel/registry.h"
#include "brisel/halvo.h"
#include "brisel/strings.h"
#include <cstdio>
#include <cstring>

namespace {

// The program's own full path, however long it is; empty when unknown.
std::string OwnPath()
{
    for (DWORD size = MAX_PATH; size <= 65536; size *= 4) {
        std::string path(size, '\0');
        DWORD n = GetModuleFileNameA(NULL, &path[0], size);
        if (n == 0)
            break;
        if (n < size) {
            path.resize(n);
            return path;
        }
    }
    return std::string();
}

} // namespace

LONG REGISTRY::QueryValue(HKEY key, const char* name, DWORD& type, std::string& data)
{
    data.clear();
    DWORD need = 0;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, NULL, &need);
    for (int tries = 0; tries <= 8 && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA); tries++) {
        data.assign((size_t)need + 1, '\0');
        DWORD got = need + 1;            // one spare byte tells a value that grew meanwhile
        rc = RegQueryValueExA(key, name, NULL, &type, (BYTE*)&data[0], &got);
        if (rc == ERROR_SUCCESS && got <= need) {
            data.resize(got);
            return rc;
        }
        if (rc == ERROR_SUCCESS)
            rc = ERROR_MORE_DATA;
        need = got > need ? got : need * 2 + 64;
    }
    data.clear();
    return rc;
}

const char* REGISTRY::ProductRoot(const char* application)
{
    return application != NULL && _strnicmp(application, "Fernwall", 8) == 0 ? "Software\\Tessaly" : "Software\\Halvo";
}

REGISTRY::REGISTRY(const char* application, const char* base, INT_PTR root)
{
    hkApp = NULL;
    HKEY hroot = root == REGROOT_CURRENTUSER ? HKEY_CURRENT_USER
               : root == REGROOT_LOCALMACHINE ? HKEY_LOCAL_MACHINE : (HKEY)root;
    if (base == NULL)
        base = "";
    // A product's own settings live below its brand's root.
    if (_stricmp(base, "Software\\Halvo\\") == 0 || _stricmp(base, "Software\\Halvo") == 0) {
        const char* brand = ProductRoot(application);
        if (_stricmp(brand, "Software\\Halvo") != 0)
            base = brand;
    }

    STRING path(base);
    if (application != NULL) {
        size_t n = strlen(base);
        if (n == 0 || base[n - 1] != '\\')
            path.Append("\\", 1);
        path.Append(application, -1);
    }
    HKEY key = NULL;
    if (RegCreateKeyA(hroot, path.Str(), &key) == ERROR_SUCCESS)
        hkApp = key;
    if (hkApp == NULL) {
        STRING info(application ? application : "<null>");
        info.Append("/", 1);
        info.Append(base, -1);
        char number[32];
        _snprintf(number, sizeof number, "/%lld", (long long)root);
        number[sizeof number - 1] = 0;
        info.Append(number, -1);
        ASSERTSILENT(this->hkApp!=NULL, info.Str());
    }
}

REGISTRY::~REGISTRY()
{
    Close();
}

void REGISTRY::Close()
{
    if (hkApp != NULL)
        RegCloseKey(hkApp);
    hkApp = NULL;
}

BOOL REGISTRY::Write(const char* name, const char* text)
{
    if (text == NULL)
        text = "";
    LONG rc = RegSetValueExA(hkApp, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    LogitLevel(2, "REGISTRY::Write String value= %s; data=%s, error=%08x\n", name ? name : "<null>", text, (unsigned)rc);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

BOOL REGISTRY::Read(const char* name, void* buffer, DWORD& size)
{
    DWORD type;
    LONG rc = RegQueryValueExA(hkApp, name, NULL, &type, (BYTE*)buffer, &size);
    BOOL ok = rc == ERROR_SUCCESS;
    if (!ok)
        size = 0;
    LogitLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", name ? name : "<null>", ok, (int)rc);
    return ok;
}

STRING REGISTRY::ReadString(const char* name)
{
    DWORD type = 0;
    std::string data;
    LONG rc = hkApp != NULL ? QueryValue(hkApp, name, type, data) : ERROR_INVALID_HANDLE;
    BOOL ok = rc == ERROR_SUCCESS;
    LogitLevel(2, "REGISTRY::Read key=%s, ok=%d, error=%d\n", name ? name : "<null>", ok, (int)rc);
    if (!ok)
        return STRING();
    // A string loses its terminator, but only one that is really there.
    size_t size = data.size();
    if (type == REG_SZ && size > 1 && data[size - 1] == 0)
        size--;
    STRING result;
    result.Make((int)size, data.data());
    return result;
}

BOOL REGISTRY::DeleteKey(const char* name)
{
    LONG rc = RegDeleteKeyA(hkApp, name);
    LogitLevel(2, "REGISTRY::delete key= %s, error=%d\n", name ? name : "<null>", (int)rc);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

int REGISTRY::EnumValues(STRING& names)
{
    names = STRING("");
    // Value names can have up to 16383 characters.
    std::string name(16384, '\0');
    int count = 0;
    for (;;) {
        DWORD len = (DWORD)name.size();
        if (RegEnumValueA(hkApp, count, &name[0], &len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        if (count > 0)
            names.Append("|", 1);
        names.Append(name.data(), (int)len);
        count++;
    }
    LogitLevel(2, "REGISTRY::EnumValues count=%d\n", count);
    return count;
}

BOOL REGISTRY::Autostart(const char* name, const char* command)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
    if (rc != ERROR_SUCCESS) {
        LogitLevel(2, "REGISTRY::Autostart open error=%d\n", (int)rc);
        SetLastError((DWORD)rc);
        return FALSE;
    }
    std::string self;
    BOOL itself = command != NULL && _stricmp(command, "<self>") == 0;
    if (itself) {
        self = OwnPath();
        command = self.c_str();
    }
    if (command == NULL)
        rc = RegDeleteValueA(key, name);
    else if (itself && self.empty())
        rc = ERROR_NOT_ENOUGH_MEMORY;
    else
        rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command) + 1);
    LogitLevel(2, "REGISTRY::Autostart name= %s, command= %s, error=%d\n", name ? name : "<null>",
               command ? command : "<remove>", (int)rc);
    RegCloseKey(key);
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}
