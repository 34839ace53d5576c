// Many clients, some hostile: connections that never speak must not lock the real clients out.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "recording/unique_fd.h"
#include "seedlink/server.h"
#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

// A connection from loopback address `from` (127.0.0.x: one machine, several addresses).
recording::UniqueFd ConnectFrom(const char* from, int port) {
    recording::UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd.Get(), reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        fd.Reset();
    }
    return fd;
}

// Bytes until `count` arrived, the peer closed or `ms` passed; `closed` tells whether it did.
std::string Read(int fd, std::size_t count, int ms, bool* closed = nullptr) {
    std::string data;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (data.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) == 1) {
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                if (closed != nullptr) {
                    *closed = true;
                }
                break;
            }
            data.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return data;
}

// Asks as slinktool -Q would and reads the two HELLO lines; true when they came.
bool Served(int fd) {
    if (send(fd, "HELLO\r\n", 7, MSG_NOSIGNAL) != 7) {
        return false;
    }
    std::string hello;
    while (std::count(hello.begin(), hello.end(), '\n') < 2) {
        const std::string more = Read(fd, 1, 1000);
        if (more.empty()) {
            return false;
        }
        hello += more;
    }
    return hello.rfind("SeedLink v4.0", 0) == 0;
}

class ServerLimits : public ::testing::Test {
protected:
    void Start(const SServerLimits& limits) {
        server.SetLimits(limits);
        server.SetLog([this](const std::string& text) {
            std::lock_guard lock(mutex);
            log.push_back(text);
        });
        ASSERT_EQ(server.Start("127.0.0.1", 0), kServerStarted) << server.ErrorText();
    }
    std::size_t LogCount(const std::string& part) {
        std::lock_guard lock(mutex);
        return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [&](const auto& l) {
            return l.find(part) != std::string::npos;
        }));
    }

    // The log outlives the server: its thread may still log while the server is being stopped.
    std::mutex mutex;
    std::vector<std::string> log;
    CRecordRing ring{16};
    CSeedLinkServer server{ring, SServiceIdentity{}};
};

TEST_F(ServerLimits, HundredSilentConnectionsLeaveAWellBehavedClientServed) {
    Start(SServerLimits{100, 20, 1.0});
    std::vector<recording::UniqueFd> silent;
    for (int i = 0; i < 100; ++i) {
        silent.push_back(ConnectFrom("127.0.0.1", server.Port()));
        ASSERT_TRUE(silent.back().Valid());
    }
    // Another machine is served at once: 20 of the silent ones hold places, the rest were
    // turned away.
    recording::UniqueFd good = ConnectFrom("127.0.0.2", server.Port());
    ASSERT_TRUE(good.Valid());
    EXPECT_TRUE(Served(good.Get()));
    test::AppendFake(ring, "HHZ", 0, test::kT0, test::kT0);
    ASSERT_EQ(send(good.Get(), "DATA 000000\r\n", 13, MSG_NOSIGNAL), 13);
    EXPECT_EQ(Read(good.Get(), 8, 2000).substr(0, 8), "SL000000");
    EXPECT_LE(server.ClientCount(), 21u);
    EXPECT_GE(LogCount("refused"), 1u);
    EXPECT_LE(LogCount("refused"), 2u) << "refusals are said at most every few seconds";

    // After the handshake time the silent ones are gone; the streaming client stays.
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    std::size_t closed = 0;
    for (auto& fd : silent) {
        bool gone = false;
        Read(fd.Get(), 1, 10, &gone);
        closed += gone ? 1 : 0;
    }
    EXPECT_EQ(closed, 100u);
    EXPECT_EQ(server.ClientCount(), 1u);
    EXPECT_EQ(LogCount("no data requested within 1 s"), 20u);
    // And the first machine is welcome again.
    recording::UniqueFd again = ConnectFrom("127.0.0.1", server.Port());
    EXPECT_TRUE(Served(again.Get()));
    test::AppendFake(ring, "HHZ", 1, test::kT0, test::kT0);
    server.Notify();
    EXPECT_EQ(Read(good.Get(), 8, 2000).substr(0, 8), "SL000001");
}

TEST_F(ServerLimits, TotalLimitRefusesTheOneTooManyAndAFreedPlaceIsTakenAgain) {
    Start(SServerLimits{3, 3, 30});
    std::vector<recording::UniqueFd> fds;
    for (const char* from : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        fds.push_back(ConnectFrom(from, server.Port()));
        EXPECT_TRUE(Served(fds.back().Get()));
    }
    recording::UniqueFd extra = ConnectFrom("127.0.0.6", server.Port());
    bool closed = false;
    Read(extra.Get(), 1, 1000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(LogCount("3 clients are served already"), 1u);
    ASSERT_EQ(send(fds[0].Get(), "BYE\r\n", 5, MSG_NOSIGNAL), 5);
    bool left = false;
    Read(fds[0].Get(), 1, 1000, &left);
    EXPECT_TRUE(left);
    recording::UniqueFd next = ConnectFrom("127.0.0.6", server.Port());
    EXPECT_TRUE(Served(next.Get()));
}

} // namespace
} // namespace nereid::seedlink
