// Scripted runs. A thread reads the script and acts on the program's own windows
// as a person would: it waits until the user-interface thread is idle, finds the
// topmost window and its controls, posts clicks and characters, answers message
// boxes, and ends the process with a clear message when something is not as the
// script says.
#include "brisel/automate/automate.h"
#include "brisel/automate/script.h"
#include "brisel/app.h"
#include "brisel/clock.h"
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SCRIPTSTATE Script;

namespace {

const char ScriptSwitch[] = "/SCRIPT:";

void WriteErr(const char* text)
{
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    DWORD done;
    if (h && h != INVALID_HANDLE_VALUE)
        WriteFile(h, text, (DWORD)strlen(text), &done, NULL);
    Logit("%s", text);
}

void AtExit()
{
    if (Script.Active && !Script.Finished) {
        char msg[512];
        snprintf(msg, sizeof(msg), "script: the program ended before line %ld (%s) was done\n",
                 (long)Script.CurrentLine, Script.LineText.c_str());
        WriteErr(msg);
        ReleaseHeld();
        TerminateProcess(GetCurrentProcess(), SCRIPT_EXIT_EARLYEND);
    }
    ReleaseHeld();
}

// A script saved as UTF-8 with a byte order mark, in the program's code page.
std::string FromUtf8(const std::string& data)
{
    int wn = MultiByteToWideChar(CP_UTF8, 0, data.data(), (int)data.size(), NULL, 0);
    std::wstring w(wn, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, data.data(), (int)data.size(), &w[0], wn);
    int an = WideCharToMultiByte(CP_ACP, 0, w.data(), wn, NULL, 0, NULL, NULL);
    std::string a(an, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wn, &a[0], an, NULL, NULL);
    return a;
}

// The script's lines, line ends removed; fails the run when it cannot be read.
void ReadScript(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        Fail(SCRIPT_EXIT_BADSCRIPT, "cannot read the script %s", path.c_str());
    std::string data;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        data.append(buf, n);
    fclose(f);
    if (data.size() >= 3 && (BYTE)data[0] == 0xEF && (BYTE)data[1] == 0xBB && (BYTE)data[2] == 0xBF)
        data = FromUtf8(data.substr(3));
    size_t start = 0;
    while (start <= data.size()) {
        size_t e = data.find('\n', start);
        std::string line = data.substr(start, e == std::string::npos ? std::string::npos : e - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        Script.Lines.push_back(line);
        if (e == std::string::npos)
            break;
        start = e + 1;
    }
}

// After the last line: the program settles, and no box or dialog is left open.
void CheckEnd()
{
    Script.LineText = "end of script";
    Script.CurrentLine = (LONG)Script.Lines.size() + 1;
    InterlockedExchange(&Script.Finished, 1);
    Settle();
    for (HWND h : TopWindows()) {
        if (IsMessageBox(h))
            Fail(SCRIPT_EXIT_LEFTOPEN, "message box left unanswered: %s", Quote(h).c_str());
        if (IsDialogClass(h))
            Fail(SCRIPT_EXIT_LEFTOPEN, "dialog left open: \"%s\"", TextOf(h).c_str());
    }
    ReleaseHeld();
}

DWORD WINAPI ScriptThread(LPVOID)
{
    for (size_t i = 0; i < Script.Lines.size(); i++) {
        std::string line = Script.Lines[i];
        size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == '#' || line[b] == ';')
            continue;
        line = line.substr(b);
        Script.CurrentLine = (LONG)(i + 1);
        Script.LineText = line;
        Logit("SCRIPT %ld: %s\n", (long)Script.CurrentLine, line.c_str());
        DoLine(line);
    }
    CheckEnd();
    return 0;
}

// The file of the switch "/SCRIPT:file" (any case), from the command line or
// a command-line file; NULL when there is none.
const char* ScriptFromSwitch()
{
    size_t n = strlen(ScriptSwitch);
    for (int i = 1; i < APP::ArgCount(); i++) {
        const char* arg = APP::Arg(i).Str();
        if (arg && _strnicmp(arg, ScriptSwitch, n) == 0 && arg[n] != 0)
            return arg + n;
    }
    return NULL;
}

} // namespace

// ---------------------------------------------------------------- the end of a run

void ReleaseHeld()
{
    for (int i = Script.NumHeld - 1; i >= 0; i--) {
        INPUT in;
        memset(&in, 0, sizeof(in));
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = Script.Held[i];
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(1, &in, sizeof(in));
    }
    Script.NumHeld = 0;
}

[[noreturn]] void Fail(int code, const char* format, ...)
{
    char msg[2048];
    int n = snprintf(msg, sizeof(msg), "script line %ld (%s): ", (long)Script.CurrentLine, Script.LineText.c_str());
    if (n < 0 || n >= (int)sizeof(msg))
        n = 0;
    va_list va;
    va_start(va, format);
    vsnprintf(msg + n, sizeof(msg) - n - 2, format, va);
    va_end(va);
    strcat(msg, "\n");
    WriteErr(msg);
    ReleaseHeld();
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);
}

std::string Resolve(const std::string& name)
{
    if (name.size() >= 2 && (name[1] == ':' || (name[0] == '\\' && name[1] == '\\')))
        return name;
    if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        return name;
    if (Script.BaseDir.empty())
        return name;
    std::string r = Script.BaseDir;
    if (r.back() != '\\' && r.back() != '/')
        r += "\\";
    return r + name;
}

// ---------------------------------------------------------------- starting a run

BOOL AutomateActive()
{
    return Script.Active != 0;
}

BOOL AutomateRun(const char* scriptfile, const char* basedir)
{
    if (!scriptfile || !*scriptfile || Script.Active)
        return FALSE;
    InterlockedExchange(&Script.Active, 1);
    Script.BaseDir = basedir ? basedir : "";
    if (Script.BaseDir.empty()) {
        char cur[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof(cur), cur);
        Script.BaseDir = cur;
    }
    Script.LineText = "start";
    const char* t = getenv("BRISEL_SCRIPT_TIMEOUT");
    if (t && atol(t) > 0)
        Script.TimeoutMs = (DWORD)atol(t);
    atexit(AtExit);

    std::string path = Resolve(scriptfile);
    ReadScript(path);
    const char* clock = getenv("BRISEL_CLOCK");
    // The clock runs on from the given time, so that time-outs measured with it still expire.
    if (clock && *clock && !CLOCK::SetText(clock))
        Fail(SCRIPT_EXIT_BADSCRIPT, "BRISEL_CLOCK \"%s\" is not YYYY-MM-DD HH:MM:SS", clock);

    // Probe window and hooks live on this (the user-interface) thread.
    StartProbe();
    Logit("AutomateRun script=%s lines=%d\n", path.c_str(), (int)Script.Lines.size());
    HANDLE th = OSYS::CreateThread(ScriptThread, NULL);
    if (th)
        CloseHandle(th);
    return th != NULL;
}

void AutomateStart()
{
    const char* file = ScriptFromSwitch();
    if (!file)
        file = getenv("BRISEL_SCRIPT");
    if (file && *file)
        AutomateRun(file, APP::StartDirectory().Str());
}

void AutomateRegister()
{
    APP::StartAutomation = AutomateStart;
}
