#include "link/modem_relay.h"
#include "tests/link/read_until_done.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace nereid::link {
namespace {

bool Scan(CNoCarrierScanner& scanner, const std::string& bytes) {
    return scanner.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(NoCarrierScanner, OnlyAWholeResultLineCounts) {
    CNoCarrierScanner a;
    EXPECT_FALSE(Scan(a, "NO CARRIER\r\n")) << "no line start seen yet";
    EXPECT_TRUE(Scan(a, "\r\nNO CARRIER\r\n"));
    CNoCarrierScanner split;
    EXPECT_FALSE(Scan(split, "\xE3\x50\x01\r\nNO CAR"));
    EXPECT_TRUE(Scan(split, "RIER\r"));
    CNoCarrierScanner framed;
    // Inside other bytes, or longer, it is data.
    EXPECT_FALSE(Scan(framed, "\r\nXNO CARRIER\r\n"));
    EXPECT_FALSE(Scan(framed, "\nNO CARRIERS\r\n"));
    EXPECT_FALSE(Scan(framed, "\nNO CARRIE\r\n"));
    EXPECT_FALSE(Scan(framed, "\nno carrier\r\n"));
    EXPECT_TRUE(Scan(framed, "\nNO CARRIER\n"));
}

// A pseudo-terminal stands in for the modem: its slave is the modem device the relay serves,
// its master the far side (what the modem receives and says).
class ModemRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Far = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(m_Far, 0);
        ASSERT_EQ(::grantpt(m_Far), 0);
        ASSERT_EQ(::unlockpt(m_Far), 0);
        char name[128];
        ASSERT_EQ(::ptsname_r(m_Far, name, sizeof name), 0);
        m_Modem = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(m_Modem, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(m_Modem, &t), 0);
        ::cfmakeraw(&t);
        // As CTtyModemLine sets its device: a read with nothing there returns 0, not EAGAIN.
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ASSERT_EQ(::tcsetattr(m_Modem, TCSANOW, &t), 0);
    }
    void TearDown() override {
        m_Relay.Stop();
        for (int fd : {m_Link, m_Modem, m_Far})
            if (fd >= 0)
                ::close(fd);
    }
    static std::string ReadFor(int fd, std::size_t want, int ms = 2000) {
        return test::ReadUntilDone(
            fd, [want](const std::string& got) { return got.size() >= want; }, ms);
    }
    static void Write(int fd, const std::string& bytes) {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    bool LostWithin(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (m_Relay.CarrierLost())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_Relay.CarrierLost();
    }
    int m_Far = -1;
    int m_Modem = -1;
    int m_Link = -1;
    CModemRelay m_Relay;
};

TEST_F(ModemRelayTest, BytesPassBothWaysUntilTheModemSaysNoCarrier) {
    m_Link = m_Relay.Start(m_Modem);
    ASSERT_GE(m_Link, 0);
    ASSERT_TRUE(m_Relay.Running());
    std::string frame = "\xE3\x50";
    frame += std::string(1500, '\x01'); // more than one read's worth
    frame += "\xE5";
    Write(m_Far, frame);
    EXPECT_EQ(ReadFor(m_Link, frame.size()), frame);
    const std::string query("\xE3\xB0\x00\x00\xFE\xFF\xE5", 7);
    Write(m_Link, query);
    EXPECT_EQ(ReadFor(m_Far, query.size()), query);
    EXPECT_FALSE(m_Relay.CarrierLost());
    // Data that merely contains the letters is no hang-up.
    Write(m_Far, "xxNO CARRIER\r\n");
    EXPECT_EQ(ReadFor(m_Link, 14), "xxNO CARRIER\r\n");
    EXPECT_FALSE(LostWithin(100));
    Write(m_Far, "\r\nNO CARRIER\r\n");
    EXPECT_TRUE(LostWithin(1000));
    m_Relay.Stop();
    EXPECT_FALSE(m_Relay.Running());
}

TEST_F(ModemRelayTest, TheLinkClosingItsEndLeavesTheCallWatched) {
    m_Link = m_Relay.Start(m_Modem);
    ASSERT_GE(m_Link, 0);
    ::close(m_Link);
    m_Link = -1;
    Write(m_Far, "data for nobody");
    EXPECT_FALSE(LostWithin(200));
    Write(m_Far, "\r\nNO CARRIER\r\n");
    EXPECT_TRUE(LostWithin(1000));
}

TEST_F(ModemRelayTest, TheModemDeviceHangingUpEndsTheCall) {
    m_Link = m_Relay.Start(m_Modem);
    ASSERT_GE(m_Link, 0);
    EXPECT_FALSE(LostWithin(150)) << "a quiet line is no hang-up";
    ::close(m_Far);
    m_Far = -1;
    EXPECT_TRUE(LostWithin(1000));
}

TEST_F(ModemRelayTest, StopHandsTheModemBackToItsOwner) {
    m_Link = m_Relay.Start(m_Modem);
    ASSERT_GE(m_Link, 0);
    m_Relay.Stop();
    // The dialler reads the modem's answers itself again.
    Write(m_Far, "\r\nOK\r\n");
    EXPECT_EQ(ReadFor(m_Modem, 6), "\r\nOK\r\n");
    EXPECT_FALSE(m_Relay.CarrierLost());
}

} // namespace
} // namespace nereid::link
