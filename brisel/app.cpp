// Application start: argument table, language choice, language module.
#include "brisel/app.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/osysfile.h"
#include "brisel/stringarray.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HINSTANCE hInstance = NULL;
HINSTANCE hResource = NULL;
int Language = 9;
STRING ProgramPath(".");
STRING ProgramDir(".");
STRING StartDir(".");

STRING Args[APP_MAXARGS];           // the last slot stays null as the end mark
int ArgN = 0;                       // entries in use
char* Argv[APP_MAXARGS + 1];        // AppMain's vector: points into Args
int Argc = 0;

// Appends one argument; the table ignores what does not fit.
void AddArg(const char* text)
{
    if (ArgN >= APP_MAXARGS - 1) {
        Logit("APP: argument table full, ignored: %s\n", text);
        return;
    }
    Args[ArgN++] = STRING(text);
}

// Full path of a module, whatever its length.
STRING ModuleFileName(HMODULE module)
{
    DWORD size = MAX_PATH;
    for (;;) {
        char* buf = (char*)malloc(size);
        if (!buf)
            return STRING();
        DWORD n = GetModuleFileNameA(module, buf, size);
        if (n > 0 && n < size - 1) {
            STRING path(buf);
            free(buf);
            return path;
        }
        free(buf);
        if (n == 0 || size >= 65536)
            return STRING();
        size *= 2;
    }
}

BOOL EndsWith(const STRING& text, const char* tail)
{
    int n = (int)strlen(tail);
    return text.Len() >= n && _stricmp(text.Str() + text.Len() - n, tail) == 0;
}

// Hands one line of a command-line file to the log and the table.
void LoadCommandFile(const char* name)
{
    Logit("Trying %s\n", name);
    if (!FileExists(name))
        return;
    STRINGARRAY lines;
    lines.LoadLines(name, FALSE);
    Logit("Loading %s\n", name);
    for (int i = 0; i < lines.Count(); i++) {
        STRING* line = lines.Get(i);
        if (!line || line->Len() == 0)
            continue;
        STRING arg(*line);
        arg.Strip('B', " \t");
        LogitSwitch(arg.Str());
        AddArg(arg.Str());
    }
}

// Loads folder\file; a path too long for the system is tried again through
// the folder's short name.
HMODULE LoadModule(const STRING& folder, const STRING& file)
{
    STRING path = folder || "\\" || file;
    HMODULE h = LoadLibraryA(path.Str());
    if (!h && path.Len() >= MAX_PATH) {
        DWORD n = GetShortPathNameA(folder.Str(), NULL, 0);
        char* buf = n ? (char*)malloc(n + 1) : NULL;
        if (buf && GetShortPathNameA(folder.Str(), buf, n + 1) > 0) {
            STRING shortpath = STRING(buf) || "\\" || file;
            h = LoadLibraryA(shortpath.Str());
        }
        free(buf);
    }
    return h;
}

} // namespace

void (*APP::StartAutomation)() = NULL;

HINSTANCE APP::Instance() { return hInstance; }
HINSTANCE APP::ResourceModule() { return hResource ? hResource : GetModuleHandleA(NULL); }
void APP::SetResourceModule(HINSTANCE module) { hResource = module; }
int APP::Language() { return ::Language; }
void APP::SetLanguage(int language)
{
    ::Language = language;
    HalvoSetLanguage(language);
}
const STRING& APP::ProgramPath() { return ::ProgramPath; }
const STRING& APP::ProgramDirectory() { return ProgramDir; }
const STRING& APP::StartDirectory() { return StartDir; }
int APP::ArgCount() { return ArgN; }
char** APP::ArgVector() { return Argv; }

const STRING& APP::Arg(int index)
{
    static const STRING none;
    return index >= 0 && index < ArgN ? Args[index] : none;
}

void APP::ResetArguments()
{
    for (int i = 0; i < APP_MAXARGS; i++)
        Args[i] = STRING();
    ArgN = 0;
    Argc = 0;
    Argv[0] = NULL;
}

STRING APP::ModuleFolder(const char* programpath)
{
    STRING dir = DirectoryPart(programpath);
    // Started from a build folder of the development tree: use the tree itself.
    STRING mainsource = dir || "\\..\\main.cpp";
    if (FileExists(mainsource.Str())) {
        static const char* const endings[] = { "\\Debug", "\\Debug2", "\\Release", "\\Release2" };
        for (const char* ending : endings) {
            if (EndsWith(dir, ending)) {
                dir.Truncate(dir.Len() - (int)strlen(ending));
                break;
            }
        }
    }
    return dir;
}

int APP::LanguageFromText(const char* text, LCID locale)
{
    char number[16];
    if (!text) {
        snprintf(number, sizeof number, "%d", (int)(locale & 0x3FF));
        text = number;
    }
    static const struct { const char* name; const char* code; } names[] = {
        { "GER", "7" }, { "ENGL", "9" }, { "FRENCH", "12" }, { "HUNGARIAN", "14" },
    };
    for (const auto& n : names) {
        if (_stricmp(text, n.name) == 0) {
            text = n.code;
            break;
        }
    }
    return atoi(text);
}

// The program's path and folders; the current directory becomes the program's folder.
static void SetFolders()
{
    STRING path = ModuleFileName(NULL);
    if (path.Str())
        ::ProgramPath = path;
    StartDir = CurrentDirectory();
    ProgramDir = APP::ModuleFolder(::ProgramPath.Str());
    // "C:" alone names the drive's current folder, not its root.
    STRING cd = ProgramDir;
    if (cd.Len() > 0 && cd.At(cd.Len() - 1) == ':')
        cd.Append("\\", 1);
    SetCurrentDirectoryA(cd.Str());
}

// The tokens of a command line: blank-separated, or in double quotes; no
// escapes. An unmatched quote takes the rest of the line.
static std::vector<std::string> Tokens(const char* commandline)
{
    std::string line(commandline ? commandline : "");
    size_t first = line.find_first_not_of(' ');
    size_t last = line.find_last_not_of(' ');
    line = first == std::string::npos ? "" : line.substr(first, last - first + 1);
    std::vector<std::string> tokens;
    size_t p = 0;
    while (p < line.size()) {
        char delimiter = line[p] == '"' ? '"' : ' ';
        size_t start = delimiter == '"' ? p + 1 : p;
        size_t end = line.find(delimiter, start);
        if (end == std::string::npos) {
            if (start < line.size())
                tokens.push_back(line.substr(start));
            break;
        }
        tokens.push_back(line.substr(start, end - start));
        p = line.find_first_not_of(' ', end + 1);
        if (p == std::string::npos)
            break;
    }
    return tokens;
}

int APP::ParseCommandLine(HINSTANCE instance, const char* commandline)
{
    ResetArguments();
    hInstance = instance;
    hResource = instance;
    SetFolders();

    // Token 0 is the program as typed: the table holds its full path instead.
    std::vector<std::string> tokens = Tokens(commandline);
    AddArg(::ProgramPath.Str());
    for (size_t i = 1; i < tokens.size(); i++) {
        LogitSwitch(tokens[i].c_str());
        AddArg(tokens[i].c_str());
    }
    Argc = ArgN;
    for (int i = 0; i < Argc; i++)
        Argv[i] = const_cast<char*>(Args[i].Str());
    Argv[Argc] = NULL;

    LoadCommandFile("commandline.ini");
    if (EndsWith(::ProgramPath, ".exe")) {
        STRING own = ::ProgramPath.Left(::ProgramPath.Len() - 4) || "_commandline.ini";
        LoadCommandFile(own.Str());
    }
    for (int i = 0; i < ArgN; i++)
        Logit("Program Argument %d= %s\n", i, Args[i].Str());
    return Argc;
}

BOOL LoadLanguageModule(const char* path, const char* name, const char* version)
{
    if (!path)
        path = APP::ProgramPath().Str();
    if (!name)
        name = "";
    STRING capital(name);
    if (capital.Len() > 0)
        capital.At(0) = (char)toupper((unsigned char)capital.At(0));
    STRING title = STRING(HalvoAppTitle()) || " (" || capital.Str() || " " || (version ? version : "") || ")";
    HalvoSetAppTitle(title.Str());

    STRING folder = APP::ModuleFolder(path);
    for (;;) {
        int language = APP::Language();
        const char* file = language == 7 ? "german.dll" : language == 12 ? "french.dll"
                         : language == 14 ? "hungarian.dll" : "english.dll";
        STRING module = folder || "\\" || name || file;
        HMODULE h = LoadModule(folder, STRING(name) || file);
        Logit("LoadLanguageModule %s %s\n", module.Str(), h ? "loaded" : "not found");
        if (h) {
            APP::SetResourceModule(h);
            return TRUE;
        }
        if (strcmp(file, "english.dll") != 0) {
            APP::SetLanguage(9);
            continue;
        }
        STRING text = STRING("DLL not found:\r") || module.Str();
        // A silent run shows no window: its exit code says it.
        if (!TestArg("SILENT"))
            MessageBoxA(NULL, text.Str(), "Halvo Application", MB_OK | MB_ICONERROR);
        LogitSwitch("/LOGITCLOSE");
        ExitProcess(99);
    }
}

int TestArg(const char* name)
{
    int found = 0;
    for (int i = 0; name && i < ArgN && !found; i++) {
        const char* a = Args[i].Str();
        found = a && (a[0] == '/' || a[0] == '-') && _stricmp(a + 1, name) == 0;
    }
    Logit("TestArg(\"%s\") returned %d\n", name ? name : "<NULL>", found);
    return found;
}

// Index of the n-th switch whose text begins with name, or -1.
static int FindSwitch(const char* name, int n)
{
    if (!name || n < 0)
        return -1;
    size_t len = strlen(name);
    for (int i = 0; i < ArgN; i++) {
        const char* a = Args[i].Str();
        if (a && (a[0] == '/' || a[0] == '-') && _strnicmp(a + 1, name, len) == 0 && n-- == 0)
            return i;
    }
    return -1;
}

int TestArgValue(const char* name, int index)
{
    int found = FindSwitch(name, index) >= 0;
    Logit("TestArgValue(\"%s\", %d) returned %d\n", name ? name : "<NULL>", index, found);
    return found;
}

STRING GetArgValue(const char* name, int index)
{
    STRING value;
    int i = FindSwitch(name, index);
    if (i >= 0) {
        const char* a = Args[i].Str();
        if (a[0] == '/') {
            const char* rest = a + 1 + strlen(name);
            if (*rest == ':')
                rest++;
            value = STRING(rest);
        } else if (i + 1 < ArgN) {
            value = Args[i + 1];
        }
    }
    Logit("GetArgValue(\"%s\", %d) returned %s\n", name ? name : "<NULL>", index,
          value.Str() ? value.Str() : "<NULL>");
    return value;
}
