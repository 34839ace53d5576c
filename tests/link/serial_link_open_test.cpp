#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "tests/link/pty_pair.h"

// Opening, configuring and adopting a port: what a link refuses and what it leaves behind.
namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::PtyPair;

TEST(SerialLinkOpenTest, MissingPathFailsAndLeavesNoPortOpen) {
    PtyPair pty;
    CSerialLink link;
    ASSERT_EQ(link.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 8), 1);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Open("/dev/nereid-no-such-port", 9600, kParityNone, kStopBitsOne, 8), -1);
    EXPECT_FALSE(link.IsOpen());
    const Bytes three{1, 2, 3};
    EXPECT_EQ(link.WriteRaw(three.data(), three.size()), 0);
    EXPECT_EQ(link.SendCommand(0xB0, CommandRecord{}), 0);
    std::uint8_t expected = 'P';
    FrameRecord record;
    EXPECT_EQ(link.ReadFrame(expected, record), 0);
    EXPECT_TRUE(pty.Received(50).empty());
}

TEST(SerialLinkOpenTest, PortIsExclusiveWhileOpenAndFreeAfterClose) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens an exclusive tty anyway";
    }
    PtyPair pty;
    CSerialLink first;
    CSerialLink second;
    ASSERT_EQ(first.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 8), 1);
    EXPECT_EQ(second.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 8), -1);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(second.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 8), 1);
}

TEST(SerialLinkOpenTest, RefusesUnknownFramingCodesAndRates) {
    PtyPair pty;
    CSerialLink link;
    EXPECT_EQ(link.Open(pty.Path(), 12345, kParityNone, kStopBitsOne, 8), -1);
    EXPECT_EQ(link.Open(pty.Path(), 9600, 5, kStopBitsOne, 8), -1);
    EXPECT_EQ(link.Open(pty.Path(), 9600, kParityNone, 3, 8), -1);
    EXPECT_EQ(link.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 9), -1);
    EXPECT_FALSE(link.IsOpen());
    // A pseudo-terminal forces 8 bits without parity, so the framing is read back from the
    // settings the link wrote; raw mode and rate from the device itself.
    ASSERT_EQ(link.Open(pty.Path(), 4800, kParityEven, kStopBitsTwo, 7), 1);
    termios t = link.PortSettings();
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_NE(t.c_cflag & PARENB, 0u);
    EXPECT_EQ(t.c_cflag & PARODD, 0u);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    ASSERT_EQ(link.Open(pty.Path(), 9600, kParityOdd, kStopBitsOne, 5), 1);
    t = link.PortSettings();
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_NE(t.c_cflag & PARODD, 0u);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    ASSERT_EQ(link.Open(pty.Path(), 9600, kParityMark, kStopBitsOneAndHalf, 8), 1);
    t = link.PortSettings();
    EXPECT_NE(t.c_cflag & CMSPAR, 0u);
    EXPECT_NE(t.c_cflag & PARODD, 0u);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    ASSERT_EQ(link.Open(pty.Path(), 9600, kParityNone, kStopBitsOne, 8), 1);
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
}

TEST(SerialLinkOpenTest, SetBaudOnClosedPortOpensAt9600AndLeavesLockFree) {
    PtyPair pty;
    CSerialLink link;
    EXPECT_EQ(link.SetBaud(pty.Path(), 57600), -1);
    EXPECT_TRUE(link.IsOpen());
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    bool locked = false;
    std::thread other([&] {
        link.Lock();
        locked = true;
        link.Unlock();
    });
    other.join();
    EXPECT_TRUE(locked);
    EXPECT_EQ(link.SetBaud(pty.Path(), 57600), 1);
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ(link.SetBaud(pty.Path(), 1234), -3);
}

TEST(SerialLinkOpenTest, AttachModemPortAdoptsDescriptorAndTellsTheMainFrame) {
    PtyPair pty;
    CSerialLink link;
    int streams = 0;
    std::string text;
    link.SetModemAttachedListener([&](int n, const std::string& t) {
        streams = n;
        text = t;
    });
    const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(link.AttachModemPort(fd), 0);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(streams, 2);
    EXPECT_EQ(text, "Connected com2");
    EXPECT_EQ(link.SendCommand(0xB0, CommandRecord{}), 1);
    EXPECT_EQ(pty.Received(), (Bytes{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5}));
    EXPECT_EQ(link.Close(), 0);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1); // the link closed the descriptor it owned
}

} // namespace
} // namespace nereid::link
