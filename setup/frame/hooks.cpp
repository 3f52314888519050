// The product's hooks: the built-in defaults and the product's own library.
#include "setup/frame/hooks.h"
#include "brisel/halvo.h"
#include "brisel/osysfile.h"

SETUPHOOKFN HOOKS::fpSetupHook = HOOKS::SetupHookDefault;
NEWSETUPHOOK HOOKS::fpNewSetupHook = HOOKS::NewSetupHookDummy;

int WINAPI HOOKS::SetupHookDefault(int, const char*)
{
    return 1;
}

int WINAPI HOOKS::NewSetupHookDummy(int event, int value, HWND, HWND, INT_PTR, INT_PTR data)
{
    Logit("SETUP::NewSetupHookDummy %d %d %08x\n", event, value, (unsigned)(data & 0xFFFFFFFF));
    return 1;
}

void HOOKS::CallSetupHook(int event, const char* text)
{
    if (fpSetupHook)
        fpSetupHook(event, text);
}

void HOOKS::CallNewSetupHook(int event, int value, HWND first, HWND second, INT_PTR address, INT_PTR data)
{
    if (fpNewSetupHook)
        fpNewSetupHook(event, value, first, second, address, data);
}

HMODULE HOOKS::LoadHookLibrary(const char* programpath)
{
    // Only the file beside the program: never the search path or the current folder.
    FILENAME file(DirectoryOf(programpath), "SETUPHOOK.DLL");
    if (!file.FileExists())
        return NULL;
    HMODULE library = LoadLibraryExA(file, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        return NULL;
    SETUPHOOKFN old = (SETUPHOOKFN)(void*)GetProcAddress(library, "SetupHook");
    Assert(old ? TRUE : FALSE, "fpSetupHook", "setup/main", 74, NULL, FALSE);
    fpSetupHook = old;
    fpNewSetupHook = (NEWSETUPHOOK)(void*)GetProcAddress(library, "NewSetupHook");
    return library;
}

void HOOKS::UnloadHookLibrary(HMODULE library)
{
    if (!library)
        return;
    FreeLibrary(library);
    fpSetupHook = NULL;
    fpNewSetupHook = NULL;
}
