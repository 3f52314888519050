#include "testrelay.h"
#include <cstring>

namespace {
struct WSAINIT {
    WSAINIT() { WSADATA w; WSAStartup(MAKEWORD(2, 2), &w); }
} wsaInit;
}

SOCKET TestListen(int* port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, (sockaddr*)&sa, sizeof sa);
    listen(s, 4);
    int len = sizeof sa;
    getsockname(s, (sockaddr*)&sa, &len);
    *port = ntohs(sa.sin_port);
    return s;
}

SOCKET TestAccept(SOCKET listener, int ms)
{
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(listener, &rd);
    timeval tv = { ms / 1000, (ms % 1000) * 1000 };
    if (select(0, &rd, NULL, NULL, &tv) != 1)
        return INVALID_SOCKET;
    return accept(listener, NULL, NULL);
}

TESTRELAY::TESTRELAY(std::vector<std::string> script) : replies(std::move(script))
{
    listener = TestListen(&port);
    thread = CreateThread(NULL, 0, Run, this, 0, NULL);
}

TESTRELAY::~TESTRELAY()
{
    Finish(30000);
    closesocket(listener);
    CloseHandle(thread);
}

BOOL TESTRELAY::Finish(int ms)
{
    return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0;
}

DWORD WINAPI TESTRELAY::Run(LPVOID self)
{
    TESTRELAY* r = (TESTRELAY*)self;
    SOCKET s = TestAccept(r->listener, 30000);
    if (s != INVALID_SOCKET) {
        r->Session(s);
        closesocket(s);
    }
    return 0;
}

// Reads until the text ends with `end`, within 20 seconds; FALSE when the peer closed.
BOOL TESTRELAY::ReadUntil(SOCKET s, const char* end, std::string& out)
{
    size_t n = strlen(end);
    DWORD start = GetTickCount();
    while (out.size() < n || out.compare(out.size() - n, n, end) != 0) {
        if (GetTickCount() - start > 20000)
            return FALSE;
        fd_set rd;
        FD_ZERO(&rd);
        FD_SET(s, &rd);
        timeval tv = { 0, 200000 };
        if (select(0, &rd, NULL, NULL, &tv) != 1)
            continue;
        char c;
        if (recv(s, &c, 1, 0) != 1) {
            PeerClosed = TRUE;
            return FALSE;
        }
        out += c;
        Raw += c;
    }
    return TRUE;
}

void TESTRELAY::Session(SOCKET s)
{
    BOOL data = FALSE;
    for (size_t i = 0; i < replies.size(); i++) {
        if (i > 0) {
            std::string cmd;
            if (!ReadUntil(s, data ? "\r\n.\r\n" : "\r\n", cmd))
                return;
            Commands.push_back(cmd.substr(0, cmd.size() - 2));
        }
        const std::string& reply = replies[i];
        if (reply == "<close>")
            return;
        if (reply == "<silent>")
            break;
        data = reply.compare(0, 3, "354") == 0;
        for (char c : reply + "\r\n") {
            send(s, &c, 1, 0);
        }
    }
    // Record whatever else comes until the client hangs up.
    std::string rest;
    ReadUntil(s, "\x01\x02\x03", rest);
    for (size_t at = 0; at < rest.size();) {
        size_t e = rest.find("\r\n", at);
        if (e == std::string::npos)
            break;
        Commands.push_back(rest.substr(at, e - at));
        at = e + 2;
    }
}
