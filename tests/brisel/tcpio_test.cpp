// The TCP device on loopback: resolving, dialling, refused and unknown hosts,
// reading with stop bytes, a peer that hangs up, listening and accepting.
#include <gtest/gtest.h>
#include "testrelay.h"
#include "brisel/halvo.h"
#include "brisel/tcpio.h"
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

struct NoBoxes : testing::Environment {
    void SetUp() override { if (!HalvoAssertBoxesOff()) LogitSwitch("/NOASSERT"); }
};
testing::Environment* const noBoxes = testing::AddGlobalTestEnvironment(new NoBoxes);

std::string Info(TCPIPIO& dev, const char* key)
{
    STRING s = dev.GetInfo(key);
    return s.IsNull() ? "<null>" : s.Str();
}

BOOL WaitFor(TCPIPIO& dev, const char* key, const char* value, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (Info(dev, key) == value)
            return TRUE;
        Sleep(50);
    }
    return FALSE;
}

std::string Recv(SOCKET s, size_t n)
{
    std::string got;
    DWORD start = GetTickCount();
    while (got.size() < n && GetTickCount() - start < 5000) {
        char buf[256];
        fd_set rd;
        FD_ZERO(&rd);
        FD_SET(s, &rd);
        timeval tv = { 0, 100000 };
        if (select(0, &rd, NULL, NULL, &tv) == 1) {
            int rc = recv(s, buf, sizeof buf, 0);
            if (rc <= 0)
                break;
            got.append(buf, rc);
        }
    }
    return got;
}

int FreePort()
{
    int port;
    closesocket(TestListen(&port));
    return port;
}

std::string Slurp(const char* name)
{
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Gives the tests a way to put any code into the last error.
struct ERRDEV : TCPIPIO {
    ERRDEV() : TCPIPIO("", "", "") {}
    void SetError(int code) { LastError = code; }
};

}

TEST(TcpResolv, DestinationSyntax)
{
    STRING port;
    char host[300];
    ULONG addr = 0;
    hostent* h = TCPIPIO::Resolv("  *::127.0.0.1:25", &port, host, sizeof host, &addr, TRUE);
    ASSERT_TRUE(h != NULL);
    EXPECT_STREQ("127.0.0.1", host);
    EXPECT_STREQ("25", port.Str());
    EXPECT_EQ(htonl(INADDR_LOOPBACK), addr);
    EXPECT_STREQ("<unnamed>", h->h_name);
    EXPECT_EQ(0, memcmp(h->h_addr_list[0], &addr, 4));

    ASSERT_TRUE(TCPIPIO::Resolv("127.0.0.1", &port, host, sizeof host, &addr, TRUE) != NULL);
    EXPECT_STREQ("23", port.Str());

    addr = 0;
    hostent* named = TCPIPIO::Resolv("localhost smtp", &port, host, sizeof host, &addr, FALSE);
    ASSERT_TRUE(named != NULL);
    EXPECT_STREQ("localhost", host);
    EXPECT_STREQ("smtp", port.Str());
    EXPECT_EQ(htonl(INADDR_LOOPBACK), addr);
    std::string name = named->h_name;

    // Unknown, malformed and over-long hosts resolve to nothing.
    EXPECT_TRUE(TCPIPIO::Resolv("no..such..host:25", &port, host, sizeof host, &addr, FALSE) == NULL);
    EXPECT_TRUE(TCPIPIO::Resolv("1.2.3.4.5:25", &port, host, sizeof host, &addr, TRUE) == NULL);
    std::string longname(300, 'a');
    EXPECT_TRUE(TCPIPIO::Resolv(longname.c_str(), &port, host, 20, &addr, TRUE) == NULL);
    EXPECT_EQ(19u, strlen(host));

    // A result stays valid while later look-ups happen.
    EXPECT_EQ(name, named->h_name);
    EXPECT_EQ(0, memcmp(named->h_addr_list[0], "\x7f\0\0\x01", 4));
}

TEST(TcpDevice, UnknownHostAndRefusedCall)
{
    TCPIPIO dev("", "", "");
    EXPECT_TRUE(dev.IsReady());
    EXPECT_EQ("TCPIP", Info(dev, "DeviceName"));
    EXPECT_FALSE(dev.MakeCall("no..such..host:25"));
    EXPECT_EQ("0", Info(dev, "ONLINE"));
    EXPECT_EQ("4098", Info(dev, "LASTERROR"));
    EXPECT_EQ("Host not found", Info(dev, "LASTERRORSTRING"));
    EXPECT_EQ("500", Info(dev, "lasterrorclass"));

    std::string dest = "127.0.0.1:" + std::to_string(FreePort());
    DWORD start = GetTickCount();
    EXPECT_FALSE(dev.MakeCall(dest.c_str()));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ("No response", Info(dev, "LASTERRORSTRING"));
    EXPECT_EQ("400", Info(dev, "LASTERRORCLASS"));

    EXPECT_FALSE(dev.MakeCall("127.0.0.1:nosuchservice"));
    EXPECT_EQ("No TCP/IP socket or service", Info(dev, "LASTERRORSTRING"));
}

TEST(TcpDevice, ErrorTableAndUnknownKeys)
{
    ERRDEV dev;
    dev.SetError(1234);
    EXPECT_EQ("1234", Info(dev, "LASTERRORSTRING"));
    EXPECT_EQ("599", Info(dev, "LASTERRORCLASS"));
    dev.SetError(TCPERR_IOCTL);
    EXPECT_EQ("Error Ioctl failed", Info(dev, "LASTERRORSTRING"));
    dev.SetError(0);
    EXPECT_EQ("No Error", Info(dev, "LASTERRORSTRING"));
    EXPECT_EQ("200", Info(dev, "LASTERRORCLASS"));
    EXPECT_EQ("", Info(dev, "NOSUCHKEY"));
    EXPECT_EQ("128000", Info(dev, "BANDWIDTH"));
    EXPECT_EQ("<unknown>", Info(dev, "CALLERID"));
}

TEST(TcpDevice, CallReadWriteAndPeerHangUp)
{
    int port;
    SOCKET listener = TestListen(&port);
    TCPIPIO dev("", "", "");
    ASSERT_TRUE(dev.MakeCall((":127.0.0.1:" + std::to_string(port)).c_str()));
    SOCKET peer = TestAccept(listener, 5000);
    ASSERT_NE(INVALID_SOCKET, peer);
    EXPECT_EQ("1", Info(dev, "ONLINE"));
    EXPECT_TRUE(std::regex_match(Info(dev, "CALLERID"), std::regex(".+ \\(127\\.0\\.0\\.1\\)")))
        << Info(dev, "CALLERID");
    EXPECT_LE(atoi(Info(dev, "IDLE_TIME").c_str()), 2);

    // Stop byte: the first line with its line feed, the rest stays buffered.
    send(peer, "line one\r\nabc", 13, 0);
    char buf[64] = {};
    int len = sizeof buf;
    ASSERT_TRUE(dev.Read(buf, &len, 5000, "\n"));
    EXPECT_EQ("line one\r\n", std::string(buf, len));
    len = sizeof buf;
    ASSERT_TRUE(dev.Read(buf, &len, 400, "\n"));
    EXPECT_EQ("abc", std::string(buf, len));

    send(peer, "250 o\rk\r\n", 9, 0);
    EXPECT_EQ(1, TCP::ReadLine(&dev, buf, sizeof buf, 5000));
    EXPECT_STREQ("250 ok", buf);
    EXPECT_EQ(0, TCP::ReadLine(&dev, buf, sizeof buf, 0));
    EXPECT_STREQ("", buf);

    EXPECT_TRUE(dev.Write("hello", -1));
    EXPECT_EQ("hello", Recv(peer, 5));

    // The reader thread notices the hang-up by itself.
    closesocket(peer);
    EXPECT_TRUE(WaitFor(dev, "ONLINE", "0", 3000));
    EXPECT_EQ("0", Info(dev, "LASTERROR"));
    EXPECT_EQ("<unknown>", Info(dev, "CALLERID"));
    EXPECT_FALSE(dev.Write("x", 1));
    closesocket(listener);
}

TEST(TcpDevice, ListenAndAccept)
{
    int port = FreePort();
    TCPIPIO dev("", "", "");
    dev.SetOurId((std::to_string(port) + " [127.0.0.1]").c_str());
    struct ACCEPTOR {
        TCPIPIO* Dev;
        BOOL Ok;
        static DWORD WINAPI Run(LPVOID p) { ((ACCEPTOR*)p)->Ok = ((ACCEPTOR*)p)->Dev->AcceptCall(); return 0; }
    } acceptor = { &dev, FALSE };
    HANDLE t = CreateThread(NULL, 0, ACCEPTOR::Run, &acceptor, 0, NULL);

    SOCKET client = INVALID_SOCKET;
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons((u_short)port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 50 && client == INVALID_SOCKET; i++) {
        client = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(client, (sockaddr*)&sa, sizeof sa) != 0) {
            closesocket(client);
            client = INVALID_SOCKET;
            Sleep(100);
        }
    }
    ASSERT_NE(INVALID_SOCKET, client);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 10000));
    CloseHandle(t);
    ASSERT_TRUE(acceptor.Ok);
    EXPECT_EQ("127.0.0.1", Info(dev, "CALLERID"));
    send(client, "ping\n", 5, 0);
    char buf[16];
    int len = sizeof buf;
    ASSERT_TRUE(dev.Read(buf, &len, 5000, "\n"));
    EXPECT_EQ("ping\n", std::string(buf, len));
    EXPECT_TRUE(dev.DropCall());
    EXPECT_EQ("", Recv(client, 1));     // hung up
    closesocket(client);

    // The last user closed the listening socket: the port is free again, and
    // a port taken by someone else cannot be listened on.
    SOCKET other = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(0, bind(other, (sockaddr*)&sa, sizeof sa));
    listen(other, 1);
    EXPECT_FALSE(dev.AcceptCall());
    EXPECT_EQ("Bind failed", Info(dev, "LASTERRORSTRING"));
    closesocket(other);
}

TEST(TcpDevice, WriteCmdMasksPasswords)
{
    char logname[64];
    sprintf(logname, "tcpio_mask_%lu.log", GetCurrentProcessId());
    ASSERT_TRUE(LogitSwitch((std::string("/LOGIT:") + logname).c_str()));
    TESTRELAY relay({ "220 hi", "250 ok", "250 ok", "250 ok" });
    TCPIPIO dev("", "", "");
    ASSERT_TRUE(dev.MakeCall(("127.0.0.1:" + std::to_string(relay.Port())).c_str()));
    char reply[256];
    ASSERT_EQ(1, TCP::ReadLine(&dev, reply, sizeof reply, 5000));
    EXPECT_EQ(1, TCP::WriteCmd(&dev, "PASS secret", reply, sizeof reply, 5000));
    EXPECT_STREQ("250 ok", reply);
    TCP::WriteCmd(&dev, "AUTH LOGIN", reply, sizeof reply, 5000);
    TCP::WriteCmd(&dev, "a1 imap login joe hidden", reply, sizeof reply, 5000);
    EXPECT_EQ(1, TCP::WriteCmd(&dev, "NOOP", NULL, 0, 5000));
    dev.DropCall();
    LogitSwitch("/LOGITCLOSE");
    ASSERT_TRUE(relay.Finish(10000));
    EXPECT_EQ("PASS secret", relay.Commands.at(0));     // only the log is masked

    std::string log = Slurp(logname);
    DeleteFileA(logname);
    EXPECT_NE(std::string::npos, log.find("TCP::WriteCmd PASS s******\r\n"));
    EXPECT_NE(std::string::npos, log.find("TCP::WriteCmd AUTH LOGIN\r\n"));
    EXPECT_NE(std::string::npos, log.find("TCP::WriteCmd a1 imap login ******\r\n"));
    EXPECT_EQ(std::string::npos, log.find("secret"));
    EXPECT_EQ(std::string::npos, log.find("hidden"));
}

TEST(TcpDevice, DestroyedWhileItsBufferIsFull)
{
    // 100 KB nobody reads fill the 64 KB receive buffer and stall the reader
    // thread; the device must still go away.
    int port;
    SOCKET listener = TestListen(&port);
    TCPIPIO* dev = new TCPIPIO("", "", "");
    ASSERT_TRUE(dev->MakeCall(("127.0.0.1:" + std::to_string(port)).c_str()));
    SOCKET peer = TestAccept(listener, 5000);
    std::string junk(100000, 'j');
    u_long nb = 1;
    ioctlsocket(peer, FIONBIO, &nb);
    for (size_t sent = 0; sent < junk.size();) {
        int rc = send(peer, junk.data() + sent, (int)(junk.size() - sent), 0);
        if (rc <= 0)
            break;
        sent += rc;
    }
    Sleep(500);
    DWORD start = GetTickCount();
    delete dev;
    EXPECT_LT(GetTickCount() - start, 5000u);
    closesocket(peer);
    closesocket(listener);
}

TEST(TcpDevice, ListenersShareOnePort)
{
    int port = FreePort();
    std::string id = std::to_string(port) + " [127.0.0.1]";
    TCPIPIO a("", "", ""), b("", "", "");
    a.SetOurId(id.c_str());
    b.SetOurId(id.c_str());
    struct ACCEPTOR {
        TCPIPIO* Dev;
        BOOL Ok;
        static DWORD WINAPI Run(LPVOID p) { ((ACCEPTOR*)p)->Ok = ((ACCEPTOR*)p)->Dev->AcceptCall(); return 0; }
    } acc[2] = { { &a, FALSE }, { &b, FALSE } };
    HANDLE t[2] = { CreateThread(NULL, 0, ACCEPTOR::Run, &acc[0], 0, NULL), NULL };
    Sleep(300);     // the first one has made the listening socket
    t[1] = CreateThread(NULL, 0, ACCEPTOR::Run, &acc[1], 0, NULL);
    Sleep(300);

    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons((u_short)port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SOCKET c[2];
    for (SOCKET& s : c) {
        s = socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(0, connect(s, (sockaddr*)&sa, sizeof sa));
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, t, TRUE, 10000));
    EXPECT_TRUE(acc[0].Ok);
    EXPECT_TRUE(acc[1].Ok);
    EXPECT_EQ("1", Info(a, "ONLINE"));
    EXPECT_EQ("1", Info(b, "ONLINE"));

    // One drop leaves the port listening for the other device's sake...
    a.DropCall();
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(0, bind(probe, (sockaddr*)&sa, sizeof sa));
    closesocket(probe);
    // ...the last one closes it.
    b.DropCall();
    probe = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(0, bind(probe, (sockaddr*)&sa, sizeof sa));
    closesocket(probe);
    for (int i = 0; i < 2; i++) {
        CloseHandle(t[i]);
        closesocket(c[i]);
    }
}

TEST(TcpDevice, ServiceNameGivesThePort)
{
    // Needs port 25 on loopback for ourselves; skipped where it is taken.
    SOCKET l = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(25);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(l, (sockaddr*)&sa, sizeof sa) != 0 || listen(l, 1) != 0) {
        closesocket(l);
        GTEST_SKIP() << "port 25 not available";
    }
    TCPIPIO dev("", "", "");
    EXPECT_TRUE(dev.MakeCall("localhost:smtp"));
    SOCKET peer = TestAccept(l, 5000);
    EXPECT_NE(INVALID_SOCKET, peer);
    EXPECT_TRUE(std::regex_match(Info(dev, "CALLERID"), std::regex("localhost \\(127\\.0\\.0\\.1\\)")))
        << Info(dev, "CALLERID");
    dev.DropCall();
    closesocket(peer);
    closesocket(l);
}
