// The process start of an application: APP::WinMain calls the application's
// AppMain. Kept apart from the rest of APP so that programs using the library
// without being such an application (test programs) need no AppMain.
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"

int APP::WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR parm, int /*show*/)
{
    OSYS::Milliseconds(TRUE);
    int argc = ParseCommandLine(instance, GetCommandLineA());
    Logit("APP::WinMain instance=%08x parm=%s\n", (unsigned)(UINT_PTR)instance, parm ? parm : "");

    if (StartAutomation)
        StartAutomation();

    STRING lang = GetArgValue("LANG", 0);
    SetLanguage(LanguageFromText(lang.Str(), GetThreadLocale()));

    int rc = AppMain(argc, ArgVector());

    LogitSwitch("/LOGITCLOSE");
    STRING::ShutdownPool();
    return rc;
}
