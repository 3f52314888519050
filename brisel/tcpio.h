// TCP/IP device over Winsock 1.1: dials out, listens and accepts, and feeds
// the reader thread of the device frame from a read-ahead block.
#pragma once
#include <winsock2.h>
#include "brisel/baseio.h"

#define TCPERR_NONE          0
#define TCPERR_NORESPONSE    4096
#define TCPERR_NOSOCKET      4097
#define TCPERR_HOSTNOTFOUND  4098
#define TCPERR_DISCONNECTED  4099
#define TCPERR_RECV          4100
#define TCPERR_IOCTL         4101
#define TCPERR_LISTEN        4102
#define TCPERR_ACCEPT        4103
#define TCPERR_BIND          4104

#define TCP_HOSTNAME_MAX     255     // longest host name we look up

class TCPIPIO : public BASEIO
{
public:
    TCPIPIO(const char* ownid, const char* calltype, const char* keeponline);

    BOOL DevRead(char* buffer, int* length) override;
    BOOL DevWrite(const char* bytes, int length) override;
    int DevGetNumAvail() override;
    ~TCPIPIO() override;
    BOOL IsReady() override { return Ready; }
    BOOL MakeCall(const char* destination) override;
    BOOL AcceptCall() override;
    BOOL DropCall() override;
    STRING GetInfo(const char* key) override;

    // Destination "[host][ :port]" or "host:port"; port text "23" without one.
    // The result lives in one of 128 slots used in turn; NULL for an unknown host.
    static hostent* Resolv(const char* destination, STRING* port, char* host, int hostsize,
                           ULONG* address, BOOL noreverse);

private:
    SOCKET MakeAcceptSocket();
    static void ReleaseAcceptSocket(SOCKET s, BOOL forced);
    void DropSocket(SOCKET expected);
    void HexTrace(const char* name, const char* bytes, int length);

    BOOL Ready;
    SOCKET Socket;
    char CallerId[TCP_HOSTNAME_MAX + 24];   // "name (dotted address)"
    char OwnHostName[256];
    SOCKET InSocket;
    SOCKET CallListener;
    EVENTSEM AcceptIdle;
    EVENTSEM ReadIdle;
    EVENTSEM WriteIdle;
    char ReadAhead[8192];
    int ReadAheadLen;
    int ReadAheadPos;
    ULONG LastActivity;
    CRITSECT CallLock;      // one DropCall at a time (user and reader thread)
};

namespace TCP {
// Sends command + CR LF and, with a reply buffer and time-out, reads one reply line.
int WriteCmd(BASEIO* dev, const char* command, char* reply, int size, int timeout);
// One line without its CR and LF; 0 when nothing came. The rest of a line
// longer than the buffer is read and dropped.
int ReadLine(BASEIO* dev, char* buffer, int size, int timeout);
}
