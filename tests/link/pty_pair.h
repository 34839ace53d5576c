#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::test {

// A pseudo-terminal pair: the link opens the slave by path, the test plays the recorder on
// the master.
class PtyPair {
public:
    PtyPair() {
        char name[128] = {};
        if (::openpty(&m_Master, &m_Slave, name, nullptr, nullptr) == 0) {
            m_Path = name;
            ::fcntl(m_Master, F_SETFL, ::fcntl(m_Master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyPair() {
        if (m_Master >= 0) {
            ::close(m_Master);
        }
        if (m_Slave >= 0) {
            ::close(m_Slave);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Path() const { return m_Path; }
    int Slave() const { return m_Slave; }

    void Send(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_Master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{m_Master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // What the link wrote: waits up to firstMs for a first byte, then until 30 ms pass quietly.
    std::vector<std::uint8_t> Received(int firstMs = 300) const {
        std::vector<std::uint8_t> out;
        int wait = firstMs;
        for (;;) {
            pollfd p{m_Master, POLLIN, 0};
            if (::poll(&p, 1, wait) <= 0) {
                return out;
            }
            std::uint8_t buf[4096];
            const ssize_t n = ::read(m_Master, buf, sizeof buf);
            if (n <= 0) {
                return out;
            }
            out.insert(out.end(), buf, buf + n);
            wait = 30;
        }
    }

private:
    int m_Master = -1;
    int m_Slave = -1;
    std::string m_Path;
};

} // namespace nereid::test
