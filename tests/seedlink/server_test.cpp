#include "seedlink/server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "recording/unique_fd.h"
#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

using test::AppendFake;
using test::kT0;

recording::UniqueFd Connect(int port) {
    recording::UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        fd.Reset();
    }
    return fd;
}

// Reads until `count` bytes arrived or two seconds passed.
std::string ReadBytes(int fd, std::size_t count) {
    std::string data;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (data.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) == 1) {
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, count - data.size()), 0);
            if (n <= 0) {
                break;
            }
            data.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return data;
}

void SendText(int fd, const std::string& text) {
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

TEST(SeedLinkAddress, ParsesHostAndPort) {
    std::string host;
    int port = 0;
    std::string why;
    ASSERT_TRUE(ParseListenAddress("0.0.0.0:18000", host, port, why));
    EXPECT_EQ(host, "0.0.0.0");
    EXPECT_EQ(port, 18000);
    ASSERT_TRUE(ParseListenAddress(":18001", host, port, why));
    EXPECT_EQ(host, "127.0.0.1");
    ASSERT_TRUE(ParseListenAddress("[::1]:18002", host, port, why));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 18002);
    for (const char* bad :
         {"18000", "host:", "host:70000", "host:12x", "::1:18000", "[::1]18000"}) {
        EXPECT_FALSE(ParseListenAddress(bad, host, port, why)) << bad;
        EXPECT_FALSE(why.empty());
    }
}

TEST(SeedLinkServer, ServesTwoClientsEachAtItsOwnPosition) {
    CRecordRing ring(32);
    for (int i = 0; i < 4; ++i) {
        AppendFake(ring, "HHZ", i, kT0, kT0);
    }
    CSeedLinkServer server(ring, SServiceIdentity{});
    ASSERT_EQ(server.Start("127.0.0.1", 0), kServerStarted) << server.ErrorText();
    ASSERT_GT(server.Port(), 0);

    recording::UniqueFd first = Connect(server.Port());
    recording::UniqueFd second = Connect(server.Port());
    ASSERT_TRUE(first.Valid());
    ASSERT_TRUE(second.Valid());
    SendText(first.Get(), "HELLO\r\n");
    std::string hello;
    while (std::count(hello.begin(), hello.end(), '\n') < 2) {
        const std::string more = ReadBytes(first.Get(), 1);
        ASSERT_FALSE(more.empty());
        hello += more;
    }
    EXPECT_EQ(hello.rfind("SeedLink v4.0", 0), 0u);
    SendText(first.Get(), "DATA 000001\r\n");
    SendText(second.Get(), "STATION SIM1 XX\r\nDATA 000003\r\nEND\r\n");
    EXPECT_EQ(ReadBytes(second.Get(), 8), "OK\r\nOK\r\n");

    std::string got = ReadBytes(first.Get(), 3 * 520);
    ASSERT_EQ(got.size(), 3u * 520u);
    EXPECT_EQ(got.substr(0, 8), "SL000001");
    EXPECT_EQ(got.substr(1040, 8), "SL000003");
    got = ReadBytes(second.Get(), 520);
    ASSERT_EQ(got.size(), 520u);
    EXPECT_EQ(got.substr(0, 8), "SL000003");
    EXPECT_EQ(test::LabelOf(got.data() + 8), "HHZ#3");

    // A new record reaches both at once.
    AppendFake(ring, "HHZ", 4, kT0, kT0);
    server.Notify();
    EXPECT_EQ(ReadBytes(first.Get(), 520).substr(0, 8), "SL000004");
    EXPECT_EQ(ReadBytes(second.Get(), 520).substr(0, 8), "SL000004");
    EXPECT_EQ(server.ClientCount(), 2u);

    SendText(first.Get(), "BYE\r\n");
    EXPECT_EQ(ReadBytes(first.Get(), 1), ""); // closed by the server
    server.Stop();
    EXPECT_EQ(ReadBytes(second.Get(), 1), "");
}

TEST(SeedLinkServer, ReportsAnAddressInUse) {
    CRecordRing ring(4);
    CSeedLinkServer one(ring, SServiceIdentity{});
    ASSERT_EQ(one.Start("127.0.0.1", 0), kServerStarted);
    CSeedLinkServer two(ring, SServiceIdentity{});
    EXPECT_EQ(two.Start("127.0.0.1", one.Port()), kServerCannotListen);
    EXPECT_NE(two.ErrorText().find("cannot listen"), std::string::npos);
    EXPECT_EQ(two.Start("no.such.host.invalid", 0), kServerBadAddress);
}

} // namespace
} // namespace nereid::seedlink
