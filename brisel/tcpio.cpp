// TCP device. The user's thread dials, accepts, drops and writes; the reader
// thread of the device frame polls DevGetNumAvail/DevRead, which serve from a
// read-ahead block filled by one recv at a time.
#include "brisel/tcpio.h"
#include "brisel/halvo.h"
#include "brisel/locks.h"
#include "brisel/osys.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define TCPLEVEL(n) (0x200 | (n))
#define ARRAYMAX(a) ((int)(sizeof(a) / sizeof((a)[0])))
#define ASSERT_OFFLINE() \
    Assert(!GetInfo("ONLINE").Atoi(), "!(int)this->GetInfo(\"ONLINE\")", __FILE__, __LINE__, NULL, FALSE)

namespace {

// A resolver result: the host entry header with its own copies of the name
// and the addresses, so it stays valid while later look-ups happen.
struct HOSTSLOT {
    hostent Entry;
    char Name[TCP_HOSTNAME_MAX + 1];
    char* NoAliases[1];
    ULONG Addresses[8];
    char* AddressList[9];
};
HOSTSLOT HostSlots[128];
int HostSlotNext;

hostent* FillSlot(HOSTSLOT& slot, const char* name, const hostent* from, ULONG address)
{
    memset(&slot, 0, sizeof slot);
    snprintf(slot.Name, sizeof slot.Name, "%s", name ? name : "");
    int n = 0;
    if (from && from->h_addrtype == AF_INET && from->h_length == 4 && from->h_addr_list)
        for (; n < ARRAYMAX(slot.Addresses) && from->h_addr_list[n]; n++)
            memcpy(&slot.Addresses[n], from->h_addr_list[n], 4);
    if (n == 0)
        slot.Addresses[n++] = address;
    for (int i = 0; i < n; i++)
        slot.AddressList[i] = (char*)&slot.Addresses[i];
    slot.Entry.h_name = slot.Name;
    slot.Entry.h_aliases = slot.NoAliases;
    slot.Entry.h_addrtype = AF_INET;
    slot.Entry.h_length = 4;
    slot.Entry.h_addr_list = slot.AddressList;
    return &slot.Entry;
}

// Listening sockets shared by every device that listens on the same port.
struct INSOCKET {
    int Users;
    SOCKET Socket;
    int Port;
};
INSOCKET InSockets[16];
CRITSECT InSocketsLock;

struct TCPERROR {
    int Code;
    int Class;
    const char* Text;
};
const TCPERROR ErrorTable[] = {
    { TCPERR_NONE, 200, "No Error" },
    { TCPERR_NORESPONSE, 400, "No response" },
    { TCPERR_NOSOCKET, 500, "No TCP/IP socket or service" },
    { TCPERR_HOSTNOTFOUND, 500, "Host not found" },
    { TCPERR_DISCONNECTED, 500, "Remote disconnected" },
    { TCPERR_RECV, 500, "Recv failed" },
    { TCPERR_IOCTL, 500, "Error Ioctl failed" },
    { TCPERR_LISTEN, 500, "Listen failed" },
    { TCPERR_ACCEPT, 500, "Accept failed" },
    { TCPERR_BIND, 500, "Bind failed" },
};

const TCPERROR* FindError(int code)
{
    for (const TCPERROR& e : ErrorTable)
        if (e.Code == code)
            return &e;
    return NULL;
}

}

// Resolving ------------------------------------------------------------------

hostent* TCPIPIO::Resolv(const char* destination, STRING* port, char* host, int hostsize,
                         ULONG* address, BOOL noreverse)
{
    int slot = HostSlotNext = (HostSlotNext + 1) % ARRAYMAX(HostSlots);
    if (!destination)
        destination = "";
    Logit("TCPIPIO::Resolv(%s) tmpcnt= %d\n", destination, slot);

    const char* p = destination;
    while (*p == ' ' || *p == '*' || *p == ':')
        p++;
    const char* sep = strchr(p, ' ');
    if (!sep)
        sep = strchr(p, ':');
    int hostlen = sep ? (int)(sep - p) : (int)strlen(p);
    const char* porttext = sep ? sep + 1 : "23";

    // Longer than any host name: it cannot resolve, and it would not fit.
    char name[TCP_HOSTNAME_MAX + 1];
    BOOL toolong = hostlen > TCP_HOSTNAME_MAX;
    snprintf(name, sizeof name, "%.*s", toolong ? 0 : hostlen, p);
    if (host && hostsize > 0)
        snprintf(host, hostsize, "%.*s", hostlen, p);
    BOOL isipaddr = TRUE;
    for (const char* c = name; *c; c++)
        if (isalpha((unsigned char)*c))
            isipaddr = FALSE;
    Logit("TCPIPIO::Resolv newdest= %s, port= %s, isipaddr= %d\n", name, porttext, isipaddr);

    hostent* result = NULL;
    if (toolong || !*name) {
        // nothing to look up
    } else if (isipaddr) {
        // A numeric text that is no address would otherwise dial 255.255.255.255.
        ULONG addr = inet_addr(name);
        if (addr != INADDR_NONE || !strcmp(name, "255.255.255.255")) {
            if (address)
                *address = addr;
            hostent* found = noreverse ? NULL : gethostbyaddr((const char*)&addr, 4, AF_INET);
            result = FillSlot(HostSlots[slot], found && found->h_name ? found->h_name : "<unnamed>", NULL, addr);
        }
        Logit("TCPIPIO::Resolv after gethostbyaddr hnm= %08x\n", (unsigned)(UINT_PTR)result);
    } else {
        hostent* found = gethostbyname(name);
        if (found && found->h_addrtype == AF_INET && found->h_addr_list && found->h_addr_list[0]) {
            result = FillSlot(HostSlots[slot], found->h_name, found, 0);
            if (address)
                *address = HostSlots[slot].Addresses[0];
        }
        Logit("TCPIPIO::Resolv after gethostbyname hnm= %08x\n", (unsigned)(UINT_PTR)result);
    }
    Logit("TCPIPIO::~Resolv LastError-WSABASEERR= %d\n", WSAGetLastError() - WSABASEERR);
    if (port)
        *port = porttext;
    return result;
}

// Life cycle ------------------------------------------------------------------

TCPIPIO::TCPIPIO(const char* ownid, const char* calltype, const char* keeponline)
    : BASEIO(ownid, calltype, keeponline, TRUE), Ready(FALSE), Socket(INVALID_SOCKET),
      InSocket(INVALID_SOCKET), CallListener(INVALID_SOCKET), AcceptIdle(FALSE), ReadIdle(FALSE),
      WriteIdle(FALSE), ReadAheadLen(0), ReadAheadPos(0), LastActivity(0)
{
    CallerId[0] = 0;
    OwnHostName[0] = 0;
    WSADATA wsa;
    Ready = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;
    if (Ready) {
        if (gethostname(OwnHostName, sizeof OwnHostName) != 0)
            OwnHostName[0] = 0;
        OwnHostName[sizeof OwnHostName - 1] = 0;
        strcpy(CallerId, "<unknown>");
    }
    AcceptIdle.Set();
    ReadIdle.Set();
    WriteIdle.Set();
    StartEvent.Set();
}

TCPIPIO::~TCPIPIO()
{
    if (Socket != INVALID_SOCKET)
        DropCall();
    if (InSocket != INVALID_SOCKET) {
        ReleaseAcceptSocket(InSocket, TRUE);
        InSocket = INVALID_SOCKET;
    }
    ASSERT_OFFLINE();
    AcceptIdle.Wait(-1);
    ReadIdle.Wait(-1);
    WriteIdle.Wait(-1);
    KillDaemon();
    if (Ready)
        WSACleanup();
}

// Calls -------------------------------------------------------------------------

// The port of the text after the host: a number or a service name; 0 when none.
static int PortOf(const STRING& porttext)
{
    const char* pt = porttext.IsNull() ? "" : porttext.Str();
    if (isdigit((unsigned char)*pt))
        return atoi(pt);
    servent* se = *pt ? getservbyname(pt, "tcp") : NULL;
    return se ? ntohs(se->s_port) : 0;
}

// Connects without blocking and waits in one-second steps, up to a minute;
// TRUE when the socket is connected.
static BOOL ConnectWithin(SOCKET s, sockaddr_in& sa)
{
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    int rc = connect(s, (sockaddr*)&sa, sizeof sa);
    BOOL pending = rc == 0 || WSAGetLastError() == WSAEWOULDBLOCK;
    fd_set wr, ex;
    FD_ZERO(&wr);
    FD_ZERO(&ex);
    for (int elapsed = 0; pending;) {
        FD_ZERO(&wr);
        FD_ZERO(&ex);
        FD_SET(s, &wr);
        FD_SET(s, &ex);
        timeval tv = { 1, 0 };
        Logit("TCPIPIO::MakeCall before select timout= %d, %d\n", (int)tv.tv_sec, (int)tv.tv_usec);
        rc = select(0, NULL, &wr, &ex, &tv);
        Logit("TCPIPIO::MakeCall after select fds= %d, %d\n", (int)wr.fd_count, (int)ex.fd_count);
        elapsed += 1000;
        if (rc != 0)
            break;
        if (elapsed >= 60000) {
            Logit("TCPIPIO::MakeCall timed out\n");
            break;
        }
    }
    if (rc == SOCKET_ERROR) {
        char info[48];
        snprintf(info, sizeof info, "WSAGetLastError=%d", WSAGetLastError());
        Assert(FALSE, "rc!=SOCKET_ERROR", __FILE__, __LINE__, info, TRUE);
    }
    u_long off = 0;
    ioctlsocket(s, FIONBIO, &off);
    return pending && rc > 0 && FD_ISSET(s, &wr) && !FD_ISSET(s, &ex);
}

BOOL TCPIPIO::MakeCall(const char* destination)
{
    Logit("TCPIPIO::MakeCall\n");
    ASSERT_OFFLINE();
    if (Socket != INVALID_SOCKET)
        return FALSE;       // one call at a time
    Logit("TCPIPIO::MakeCall(%s)\n", destination ? destination : "<NULL>");

    STRING porttext;
    ULONG address = 0;
    hostent* hnm = Resolv(destination, &porttext, CallerId, sizeof CallerId, &address, FALSE);
    if (!hnm) {
        LastError = TCPERR_HOSTNOTFOUND;
    } else {
        Logit("TCPIPIO::MakeCall after resolv(): hnm= %08x\n", (unsigned)(UINT_PTR)hnm);
        int port = PortOf(porttext);
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET || port <= 0 || port > 65535) {
            if (s != INVALID_SOCKET)
                closesocket(s);
            LastError = TCPERR_NOSOCKET;
        } else {
            Logit("TCPIPIO::MakeCall after socket(): sock= %d\n", (int)s);
            sockaddr_in sa;
            memset(&sa, 0, sizeof sa);
            sa.sin_family = AF_INET;
            sa.sin_port = htons((u_short)port);
            memcpy(&sa.sin_addr, hnm->h_addr_list[0], 4);
            if (ConnectWithin(s, sa)) {
                Logit("TCPIPIO::MakeCall after connect(): rc= %d\n", 0);
                ReadAheadLen = ReadAheadPos = 0;
                snprintf(CallerId, sizeof CallerId, "%s (%s)", hnm->h_name, inet_ntoa(sa.sin_addr));
                CallListener = INVALID_SOCKET;
                LastError = TCPERR_NONE;
                LastActivity = (ULONG)OSYS::Time();
                Socket = s;
            } else {
                closesocket(s);
                LastError = TCPERR_NORESPONSE;
            }
        }
    }
    Logit("TCPIPIO::~MakeCall last error = %d WSABASEERR+%d\n", LastError, WSAGetLastError() - WSABASEERR);
    return Socket != INVALID_SOCKET;
}

BOOL TCPIPIO::DropCall()
{
    Logit("TCPIPIO::DropCall socket= %d\n", (int)Socket);
    CallLock.Enter();
    SOCKET s = Socket;
    if (s != INVALID_SOCKET) {
        shutdown(s, SD_BOTH);
        Socket = INVALID_SOCKET;
        int rc = closesocket(s);
        Logit("TCPIPIO::DropCall soclose(%d) done, rc= %d\n", (int)s, rc);
        if (CallListener != INVALID_SOCKET) {
            ReleaseAcceptSocket(CallListener, FALSE);
            CallListener = INVALID_SOCKET;
        }
    }
    LastError = TCPERR_NONE;
    strcpy(CallerId, "<unknown>");
    CallLock.Leave();
    Logit("TCPIPIO::~DropCall\n");
    return !GetInfo("ONLINE").Atoi();
}

// Drops the call only while it is still the one the caller worked on, so a
// late error of the reader thread cannot end a newer call.
void TCPIPIO::DropSocket(SOCKET expected)
{
    CallLock.Enter();
    if (Socket == expected)
        DropCall();
    CallLock.Leave();
}

// Listening side -----------------------------------------------------------------

SOCKET TCPIPIO::MakeAcceptSocket()
{
    int port = OwnId.Atoi();
    InSocketsLock.Enter();
    for (INSOCKET& e : InSockets)
        if (e.Users > 0 && e.Port == port) {
            e.Users++;
            InSocketsLock.Leave();
            return e.Socket;
        }
    InSocketsLock.Leave();

    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        LastError = TCPERR_NOSOCKET;
        return INVALID_SOCKET;
    }
    STRING bindto("*");
    int open = OwnId.Pos("[");
    int close = open >= 0 ? OwnId.Pos("]", open) : -1;
    if (close > open + 1)
        bindto = OwnId.Mid(open + 1, close - open - 1);
    ULONG address = INADDR_ANY;
    if (bindto != "*") {
        hostent* hnm = Resolv(bindto.Str(), NULL, NULL, 0, &address, TRUE);
        Assert(hnm != NULL, "hnm", __FILE__, __LINE__, bindto.Str(), FALSE);
        if (!hnm) {
            closesocket(s);
            LastError = TCPERR_BIND;
            return INVALID_SOCKET;
        }
    }
    in_addr ia;
    ia.s_addr = address;
    Logit("TCPIPIO::MakeAcceptSocket bind to %08x %s %d\n", (unsigned)address, inet_ntoa(ia), port);
    sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons((u_short)port);
    sa.sin_addr = ia;
    // A socket that cannot listen is of no use to anyone: closed, not handed out.
    if (bind(s, (sockaddr*)&sa, sizeof sa) != 0) {
        LastError = TCPERR_BIND;
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (listen(s, 0) != 0) {
        LastError = TCPERR_LISTEN;
        closesocket(s);
        return INVALID_SOCKET;
    }
    InSocketsLock.Enter();
    int i = 0;
    while (i < ARRAYMAX(InSockets) && InSockets[i].Users > 0)
        i++;
    Assert(i < ARRAYMAX(InSockets), "i<ARRAYMAX(TCPIPIO::InSockets)", __FILE__, __LINE__, NULL, FALSE);
    if (i < ARRAYMAX(InSockets)) {
        InSockets[i].Users = 1;
        InSockets[i].Socket = s;
        InSockets[i].Port = port;
    }
    InSocketsLock.Leave();
    return s;
}

void TCPIPIO::ReleaseAcceptSocket(SOCKET s, BOOL forced)
{
    InSocketsLock.Enter();
    BOOL found = FALSE;
    for (INSOCKET& e : InSockets)
        if (e.Users > 0 && e.Socket == s) {
            found = TRUE;
            if (--e.Users <= 0 || forced) {
                closesocket(s);
                e.Users = 0;
                e.Socket = INVALID_SOCKET;
                e.Port = -1;
            }
            break;
        }
    if (!found)         // never registered (table full): nobody else has it
        closesocket(s);
    InSocketsLock.Leave();
}

BOOL TCPIPIO::AcceptCall()
{
    Logit("TCPIPIO::AcceptCall\n");
    ASSERT_OFFLINE();
    if (Socket != INVALID_SOCKET)
        return FALSE;
    AcceptIdle.Reset();
    Assert(InSocket == INVALID_SOCKET, "TCPIPIO::InSocket==-1", __FILE__, __LINE__, NULL, FALSE);
    BOOL ok = FALSE;
    SOCKET listener = InSocket == INVALID_SOCKET ? MakeAcceptSocket() : INVALID_SOCKET;
    if (listener != INVALID_SOCKET) {
        InSocket = listener;
        sockaddr_in peer;
        int len = sizeof peer;
        SOCKET s = accept(listener, (sockaddr*)&peer, &len);
        if (s == INVALID_SOCKET) {
            LastError = TCPERR_ACCEPT;
            Logit("TCPIPIO::AcceptCall error\n");
            // Forced away by the destructor meanwhile, or ours to give back.
            if (InSocket != INVALID_SOCKET)
                ReleaseAcceptSocket(listener, FALSE);
            InSocket = INVALID_SOCKET;
        } else {
            Logit("TCPIPIO::AcceptCall accepted ok\n");
            CallListener = listener;
            InSocket = INVALID_SOCKET;
            ReadAheadLen = ReadAheadPos = 0;
            LastError = TCPERR_NONE;
            len = sizeof peer;
            getpeername(s, (sockaddr*)&peer, &len);
            Logit("TCPIPIO::AcceptCall accepted 2\n");
            snprintf(CallerId, sizeof CallerId, "%s", inet_ntoa(peer.sin_addr));
            LastActivity = (ULONG)OSYS::Time();
            Socket = s;
            Logit("TCPIPIO::AcceptCall accepted 3\n");
            ok = TRUE;
        }
    }
    AcceptIdle.Set();
    Logit("TCPIPIO::~AcceptCall\n");
    return ok;
}

// Device operations ----------------------------------------------------------------

int TCPIPIO::DevGetNumAvail()
{
    int avail = 0;
    SOCKET s = Socket;
    if (ReadAheadPos < ReadAheadLen)
        avail = ReadAheadLen - ReadAheadPos;
    else if (s != INVALID_SOCKET) {
        u_long n = 0;
        if (ioctlsocket(s, FIONREAD, &n) != 0)
            LastError = TCPERR_IOCTL;
        else
            avail = n > 0x7fffffff ? 0x7fffffff : (int)n;
    }
    LogitLevel(TCPLEVEL(7), "TCPIPIO::DevGetNumAvail avail=%d \n", avail);
    return avail;
}

BOOL TCPIPIO::DevRead(char* buffer, int* length)
{
    LogitLevel(TCPLEVEL(3), "TCPIPIO::DevRead %d\n", *length);
    ReadIdle.Reset();
    int wanted = *length;
    int j = 0;
    BOOL ok;
    SOCKET s = Socket;
    if (s == INVALID_SOCKET) {
        while (j < wanted && ReadAheadPos < ReadAheadLen) {
            LogitLevel(TCPLEVEL(8), "TCPIPIO::DevRead from readahead (offline) %d\n", (unsigned char)ReadAhead[ReadAheadPos]);
            buffer[j++] = ReadAhead[ReadAheadPos++];
        }
        *length = j;
        ok = j > 0;
    } else {
        int rc = 0;
        for (;;) {
            while (j < wanted && ReadAheadPos < ReadAheadLen) {
                LogitLevel(TCPLEVEL(8), "TCPIPIO::DevRead from readahead %d\n", (unsigned char)ReadAhead[ReadAheadPos]);
                buffer[j++] = ReadAhead[ReadAheadPos++];
            }
            if (j >= wanted)
                break;
            int n = DevGetNumAvail();
            if (n <= 0 && j > 0)
                break;
            int want = n == 0 ? 1 : (n < 0 || n > (int)sizeof ReadAhead ? (int)sizeof ReadAhead : n);
            LogitLevel(TCPLEVEL(7), "TCPIPIO::DevRead will recv, len= %d\n", want);
            rc = recv(s, ReadAhead, want, 0);
            if (rc > 0) {
                ReadAheadLen = rc;
                ReadAheadPos = 0;
                HexTrace("RECV", ReadAhead, rc);
                continue;
            }
            CallLock.Enter();
            if (Socket == s) {      // not dropped by the user meanwhile
                if (rc < 0) {
                    LastError = TCPERR_RECV;
                    Logit("TCPIPIO::DevRead read error rc=%d, lasterror= %d\n", rc, WSAGetLastError());
                    if (!KeepOnline.Atoi())
                        DropCall();
                } else {
                    LastError = TCPERR_DISCONNECTED;
                    Logit("TCPIPIO::DevRead read disconnect rc=%d, lasterror= %d\n", 0, TCPERR_DISCONNECTED);
                    DropCall();
                }
            }
            CallLock.Leave();
            break;
        }
        // Bytes already taken from the read-ahead are delivered even after an error.
        if (rc >= 0 || j > 0) {
            *length = j;
            ok = TRUE;
        } else {
            *length = 0;
            ok = FALSE;
        }
    }
    LogitLevel(TCPLEVEL(3), "TCPIPIO::DevRead done rc=%d *plen=%d\n", ok, *length);
    if (ok)
        LastActivity = (ULONG)OSYS::Time();
    ReadIdle.Set();
    return ok;
}

BOOL TCPIPIO::DevWrite(const char* bytes, int length)
{
    WriteIdle.Reset();
    LogitLevel(TCPLEVEL(2), "TCPIPIO::DevWrite l=%d \n", length);
    SOCKET s = Socket;
    BOOL ok = FALSE;
    int rc = 0;
    if (s != INVALID_SOCKET && length >= 0) {
        // A blocking send normally takes everything; the rest is sent on if not.
        int sent = 0;
        do {
            rc = send(s, bytes + sent, length - sent, 0);
            if (rc > 0)
                sent += rc;
        } while (rc > 0 && sent < length);
        if (rc < 0) {
            Logit("TCPIPIO::DevWrite error rc=%d \n", rc);
            DropSocket(s);
        } else {
            if (rc == 0)
                Logit("TCPIPIO::DevWrite send rc=%d \n", rc);
            HexTrace("SEND", bytes, length);
            LastActivity = (ULONG)OSYS::Time();
            ok = TRUE;
        }
    }
    WriteIdle.Set();
    LogitLevel(TCPLEVEL(2), "TCPIPIO::DevWrite done rc= %d, l=%d\n", rc, length);
    return ok;
}

void TCPIPIO::HexTrace(const char* name, const char* bytes, int length)
{
    if (!LogitLevel(TCPLEVEL(7), "TCPIPIO::%s : \n", name))
        return;
    char line[16 * 3 + 1];
    for (int i = 0; i < length; i += 16) {
        int k = 0;
        for (int j = i; j < length && j < i + 16; j++)
            k += snprintf(line + k, sizeof line - k, "%02x ", (unsigned char)bytes[j]);
        LogitLevel(TCPLEVEL(7), "    %s\n", line);
    }
}

STRING TCPIPIO::GetInfo(const char* key)
{
    char k[64];
    snprintf(k, sizeof k, "%s", key ? key : "");
    _strupr(k);
    STRING answer;
    const TCPERROR* e = FindError(LastError);
    if (!strcmp(k, "OWNID"))
        answer = OwnHostName;
    else if (!strcmp(k, "CALLERID"))
        answer = CallerId;
    else if (!strcmp(k, "DEVICENAME"))
        answer = "TCPIP";
    else if (!strcmp(k, "ONLINE"))
        answer = Socket != INVALID_SOCKET ? "1" : "0";
    else if (!strcmp(k, "BANDWIDTH"))
        answer = "128000";
    else if (!strcmp(k, "IDLE_TIME")) {
        if (LastActivity == (ULONG)-1)
            answer = "-1";
        else
            answer.Format("%lu", (unsigned long)((ULONG)OSYS::Time() - LastActivity));
    } else if (!strcmp(k, "LASTERROR"))
        answer.Format("%d", LastError);
    else if (!strcmp(k, "LASTERRORSTRING")) {
        if (e)
            answer = e->Text;
        else
            answer.Format("%d", LastError);
    } else if (!strcmp(k, "LASTERRORCLASS"))
        answer.Format("%d", e ? e->Class : 599);
    else {
        STRING info;
        info.Format("*%s*", key ? key : "<NULL>");
        Assert(FALSE, "FALSE", __FILE__, __LINE__, info.Str(), FALSE);
        answer = "";
    }
    return answer;
}

// Command helpers -------------------------------------------------------------------

namespace {

// Case-insensitive search; position or -1.
int FindNoCase(const char* text, const char* word)
{
    size_t n = strlen(word);
    for (const char* p = text; *p; p++)
        if (!_strnicmp(p, word, n))
            return (int)(p - text);
    return -1;
}

}

int TCP::WriteCmd(BASEIO* dev, const char* command, char* reply, int size, int timeout)
{
    if (!command)
        command = "";
    STRING line(command);
    line.Append("\r\n");

    // Passwords do not go into the log.
    STRING traced(command);
    int at = FindNoCase(command, "PASS ");
    if (at < 0 && FindNoCase(command, "IMAP") >= 0)
        at = FindNoCase(command, "LOGIN");
    if (at >= 0) {
        traced.Truncate(at + 6);
        traced.Append("******");
    }
    Logit("TCP::WriteCmd %s\n", traced.Str());

    dev->Write(line.Str(), line.Len());
    if (!reply || !timeout)
        return 1;
    int rc = ReadLine(dev, reply, size, timeout);
    Logit("TCP::WriteCmd returned %s\n", reply);
    return rc;
}

// Reads up to a line feed or *length bytes within the time-out, in short
// steps: once the peer has hung up (the device went offline) and a step brought
// nothing, nothing more can come, and the wait ends there.
static BOOL ReadToLineEnd(BASEIO* dev, char* buffer, int* length, int timeout)
{
    int wanted = *length, fill = 0;
    DWORD start = GetTickCount();
    for (;;) {
        int spent = (int)(GetTickCount() - start);
        int step = timeout - spent < 250 ? timeout - spent : 250;
        int n = wanted - fill;
        if (dev->Read(buffer + fill, &n, step > 0 ? step : 0, "\n")) {
            fill += n;
            if (buffer[fill - 1] == '\n' || fill >= wanted)
                break;
        } else if (!dev->GetInfo("ONLINE").Atoi())
            break;
        if (step <= 0 || (int)(GetTickCount() - start) >= timeout)
            break;
    }
    *length = fill;
    return fill > 0;
}

int TCP::ReadLine(BASEIO* dev, char* buffer, int size, int timeout)
{
    if (!buffer || size <= 0)
        return 0;
    memset(buffer, 0, size);
    int len = size - 1;
    if (len <= 0 || !ReadToLineEnd(dev, buffer, &len, timeout))
        return 0;
    buffer[len] = 0;

    // The rest of an over-long line is not the next line: drop it up to its
    // line feed, within one more time-out.
    if (len == size - 1 && buffer[len - 1] != '\n') {
        char rest[256];
        DWORD start = GetTickCount();
        for (;;) {
            int n = sizeof rest;
            if (!ReadToLineEnd(dev, rest, &n, timeout) || rest[n - 1] == '\n')
                break;
            if (GetTickCount() - start >= (DWORD)timeout)
                break;
        }
        Logit("TCP::ReadLine dropped the rest of a long line\n");
    } else if (buffer[len - 1] == '\n')
        buffer[--len] = 0;

    int k = 0;
    for (int i = 0; i < len; i++)
        if (buffer[i] != '\r')
            buffer[k++] = buffer[i];
    buffer[k] = 0;
    return 1;
}
