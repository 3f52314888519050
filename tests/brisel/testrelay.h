// Scripted SMTP-style peer on 127.0.0.1 for the device and mail tests: sends
// a greeting, answers each received line (a DATA block counts as one) with
// the next scripted reply, byte by byte, and records everything it receives.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <string>
#include <vector>

class TESTRELAY
{
public:
    // replies[0] is sent on connect; "<close>" hangs up, "<silent>" answers nothing.
    explicit TESTRELAY(std::vector<std::string> replies);
    ~TESTRELAY();
    int Port() const { return port; }
    BOOL Finish(int ms);                        // waits for the session to end
    std::vector<std::string> Commands;          // received lines without CR LF
    std::string Raw;                            // every byte received
    BOOL PeerClosed = FALSE;                    // the client hung up first

private:
    static DWORD WINAPI Run(LPVOID self);
    void Session(SOCKET s);
    BOOL ReadUntil(SOCKET s, const char* end, std::string& out);
    std::vector<std::string> replies;
    SOCKET listener;
    int port;
    HANDLE thread;
};

// A plain listener for device tests: accepts one peer and hands it over.
SOCKET TestListen(int* port);
SOCKET TestAccept(SOCKET listener, int ms);
