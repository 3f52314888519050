// The product's settings and the helpers that read them.
#include "setup/frame/settings.h"
#include "setup/lang/resource.h"
#include "brisel/app.h"
#include "brisel/osys.h"

KEYTABLE SETUP::Settings;
FAILURES SETUP::Failures;

void SETUP::ApplyLanguageVariants(KEYTABLE& table, const char* suffix)
{
    int n = suffix ? (int)strlen(suffix) : 0;
    STRINGARRAY keys = table.GetKeys();
    for (int i = 0; i < keys.Count(); i++) {
        STRING key = *keys.Get(i);
        if (key.Pos(".") < 0)
            continue;
        if (n > 0 && key.Len() > n && key.Right(n) == suffix) {
            STRING value = table[key];
            table[key.Left(key.Len() - n)] = value;
        }
        table.Remove(key);
    }
}

STRING SETUP::ReplaceAll(const STRING& text, const char* placeholder, const char* value)
{
    STRING s(text);
    if (s.IsNull())
        s = "";
    s.Replace(placeholder, value ? value : "", TRUE);
    return s;
}

STRINGARRAY SETUP::ListEntries(const STRING& list)
{
    STRINGARRAY entries;
    for (int i = 0;; i++) {
        STRING e = list.Word(i, "|");
        if (e.IsNull())
            break;
        if (e.Len() > 0)
            entries.Add(e);
    }
    return entries;
}

STRING SETUP::Text(int id)
{
    return OSYS::GetStringFromResource(id, APP::ResourceModule());
}

STRING SETUP::FirstLine(const STRING& text)
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

STRING SETUP::Caption(KEYTABLE& cfg)
{
    return ReplaceAll(OSYS::GetStringFromResource(IDS_SETUPCAPTION, APP::ResourceModule()), "Halvo",
                      cfg["AppName"]);
}

STRING SETUP::UninstallBase()
{
    return STRING("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
}
