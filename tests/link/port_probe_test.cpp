#include "link/port_probe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "link/serial_link.h"

namespace nereid::link {
namespace {

namespace fs = std::filesystem;

class Pty {
public:
    Pty() {
        char name[128] = {};
        if (::openpty(&m_Master, &m_Slave, name, nullptr, nullptr) == 0) {
            m_Path = name;
        }
    }
    ~Pty() {
        ::close(m_Master);
        ::close(m_Slave);
    }
    const std::string& Path() const { return m_Path; }

private:
    int m_Master = -1;
    int m_Slave = -1;
    std::string m_Path;
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "nereid-probe-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_Path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_Path, ec);
    }
    const std::string& Path() const { return m_Path; }
    void Touch(const std::string& name) const {
        const int fd = ::open((m_Path + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600);
        ::close(fd);
    }

private:
    std::string m_Path;
};

TEST(PortProbeTest, CandidatesInOrderWithExtraPortsFirst) {
    TempDir dev;
    ASSERT_FALSE(dev.Path().empty());
    Pty pty;
    // Plain files named like UARTs do not answer termios; a ttyS that does (here a symlink to
    // a pseudo-terminal) is kept.
    for (const char* name :
         {"ttyS1", "ttyS10", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSBx", "ttyS", "ttyACM"}) {
        dev.Touch(name);
    }
    fs::create_symlink(pty.Path(), dev.Path() + "/ttyS5");
    const auto c = CPortProbe::Candidates("/x/a::/x/b:/x/a:", dev.Path());
    const std::vector<std::string> expected = {"/x/a",
                                               "/x/b",
                                               dev.Path() + "/ttyS5",
                                               dev.Path() + "/ttyUSB2",
                                               dev.Path() + "/ttyUSB10",
                                               dev.Path() + "/ttyACM0"};
    EXPECT_EQ(c, expected);
    EXPECT_TRUE(CPortProbe::Candidates(nullptr, dev.Path() + "/none").empty());
}

TEST(PortProbeTest, StoresPortsThatOpenAndLeavesTheLastOneOpen) {
    Pty first;
    Pty second;
    CSerialLink link;
    PortTable table;
    const int count = CPortProbe::ProbeCandidates(
        link, {first.Path(), "/dev/nereid-missing-1", second.Path(), "/dev/nereid-missing-2"},
        table);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(table.names[0], first.Path());
    EXPECT_EQ(table.names[1], second.Path());
    EXPECT_TRUE(table.names[2].empty());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.PortName(), second.Path());
}

TEST(PortProbeTest, TableHoldsAtMostSixteenPorts) {
    std::vector<std::unique_ptr<Pty>> ptys;
    std::vector<std::string> paths;
    for (int i = 0; i < 18; ++i) {
        ptys.push_back(std::make_unique<Pty>());
        paths.push_back(ptys.back()->Path());
    }
    CSerialLink link;
    PortTable table;
    EXPECT_EQ(CPortProbe::ProbeCandidates(link, paths, table), 16);
    EXPECT_EQ(table.names[15], paths[15]);
    EXPECT_EQ(link.PortName(), paths[15]);
}

TEST(PortProbeTest, NoPortAtAll) {
    CSerialLink link;
    PortTable table;
    table.count = 3;
    EXPECT_EQ(CPortProbe::ProbeCandidates(link, {"/dev/nereid-missing"}, table), 0);
    EXPECT_EQ(table.count, 0);
    EXPECT_FALSE(link.IsOpen());
}

TEST(PortProbeTest, EnvironmentPortsComeFirst) {
    Pty a;
    Pty b;
    const std::string value = a.Path() + ":" + b.Path();
    ASSERT_EQ(::setenv("NEREID_PORTS", value.c_str(), 1), 0);
    CSerialLink link;
    PortTable table;
    EXPECT_GE(CPortProbe::Probe(link, table), 2);
    ::unsetenv("NEREID_PORTS");
    EXPECT_EQ(table.names[0], a.Path());
    EXPECT_EQ(table.names[1], b.Path());
}

} // namespace
} // namespace nereid::link
