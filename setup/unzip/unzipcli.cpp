// setup-unzip: the ZIP engine as a command-line program.
#include "unzip.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static bool AskConsole(void*, char* answer, size_t size)
{
    fflush(stdout);
    if (!fgets(answer, (int)size, stdin))
        return false;
    answer[strcspn(answer, "\r\n")] = '\0';
    return true;
}

int main(int argc, char* argv[])
{
    UNZRUNOPTIONS run = {};
    run.ask = AskConsole;
    UnzipSetRunOptions(run);
    std::vector<std::string> args(argv, argv + argc);
    std::vector<char*> av;
    args[0] = "unzip";
    for (std::string& a : args)
        av.push_back(&a[0]);
    av.push_back(nullptr);
    int r = UnzipMain(argc, av.data());
    fflush(stdout);
    return r;
}
