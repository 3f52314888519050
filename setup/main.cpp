// setup.exe: the process entry and the setup main function.
#include "setup/main.h"
#include "brisel/osys.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR parm, int show)
{
    return APP::WinMain(instance, previous, parm, show);
}

int AppMain(int /*argc*/, char** argv)
{
    LoadLanguageModule(argv[0], SETUP_APPNAME, SETUP_APPVERSION);
    // The language suffix of variant keys (".ENG", ".GER", ...), from the module just loaded.
    STRING suffix = OSYS::GetStringFromResource(2980, APP::ResourceModule());
    return 0;
}
