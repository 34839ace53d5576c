#include "test_hub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <list>
#include <sstream>

namespace nereid::datalink::test {

namespace {

std::int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> Split(const std::string& header) {
    std::vector<std::string> words;
    std::istringstream in(header);
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

} // namespace

TestHub::TestHub(int port) : m_Port(port), m_Born(NowUs()) {
    Listen();
}

TestHub::~TestHub() {
    Shutdown();
}

bool TestHub::Listen() {
    Shutdown();
    m_Listen.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int one = 1;
    setsockopt(m_Listen.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(m_Port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_Listen.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_Listen.Get(), 8) != 0) {
        m_Listen.Reset();
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(m_Listen.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    m_Wake.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    m_Stop.store(false);
    m_Thread = std::thread([this] { Run(); });
    return true;
}

void TestHub::Shutdown() {
    if (m_Thread.joinable()) {
        m_Stop.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_Wake.Get(), &one, sizeof one);
        m_Thread.join();
    }
    m_Listen.Reset();
    m_Wake.Reset();
}

void TestHub::RefuseWrite(std::uint64_t n, const std::string& message) {
    std::lock_guard lock(m_Mutex);
    m_Refuse[n] = message;
}

void TestHub::DropAtWrite(std::uint64_t n) {
    std::lock_guard lock(m_Mutex);
    m_Drop[n] = true;
}

void TestHub::RequireCredentials(const std::string& user, const std::string& password) {
    std::lock_guard lock(m_Mutex);
    m_User = user;
    m_Password = password;
}

void TestHub::RefuseRecordAt(std::int64_t startUs, const std::string& message) {
    std::lock_guard lock(m_Mutex);
    m_RefuseAt[startUs] = message;
}

int TestHub::WritesOfRecordAt(std::int64_t startUs) const {
    std::lock_guard lock(m_Mutex);
    const auto it = m_WritesAt.find(startUs);
    return it == m_WritesAt.end() ? 0 : it->second;
}

void TestHub::Close(Connection& c) {
    if (m_Abrupt.load()) {
        c.fd.Reset();
        return;
    }
    // Our side done, then what the client still sends read and dropped until it closes too
    // (at most 1 s): a close with unread bytes would be a reset.
    shutdown(c.fd.Get(), SHUT_WR);
    for (int i = 0; i < 50; ++i) {
        pollfd p{c.fd.Get(), POLLIN, 0};
        char buffer[8192];
        if (poll(&p, 1, 20) > 0 && recv(c.fd.Get(), buffer, sizeof buffer, 0) <= 0) {
            break;
        }
    }
    c.fd.Reset();
}

std::vector<StoredRecord> TestHub::Stored() const {
    std::lock_guard lock(m_Mutex);
    return m_Stored;
}

std::vector<std::string> TestHub::ClientIds() const {
    std::lock_guard lock(m_Mutex);
    return m_Ids;
}

std::vector<double> TestHub::AcceptTimes() const {
    std::lock_guard lock(m_Mutex);
    return m_AcceptTimes;
}

std::vector<std::string> TestHub::Credentials() const {
    std::lock_guard lock(m_Mutex);
    return m_Credentials;
}

bool TestHub::WaitFor(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void TestHub::Reply(Connection& c, const std::string& header, const std::string& data) {
    std::string packet = "DL";
    packet.push_back(static_cast<char>(header.size()));
    packet += header + data;
    [[maybe_unused]] const ssize_t n = send(c.fd.Get(), packet.data(), packet.size(), MSG_NOSIGNAL);
}

bool TestHub::Serve(Connection& c) {
    while (c.input.size() >= 3) {
        if (c.input[0] != 'D' || c.input[1] != 'L') {
            return false;
        }
        const std::size_t headerLength = static_cast<unsigned char>(c.input[2]);
        if (c.input.size() < 3 + headerLength) {
            return true;
        }
        const std::string header = c.input.substr(3, headerLength);
        const std::vector<std::string> words = Split(header);
        if (words.empty()) {
            return false;
        }
        // The size of the data section: WRITE's sixth field, AUTH's third.
        std::size_t dataLength = 0;
        if (words[0] == "WRITE" && words.size() >= 6) {
            dataLength = std::strtoul(words[5].c_str(), nullptr, 10);
        } else if (words[0] == "AUTH" && words.size() == 3) {
            dataLength = std::strtoul(words[2].c_str(), nullptr, 10);
        }
        if (c.input.size() < 3 + headerLength + dataLength) {
            return true;
        }
        const std::string data = c.input.substr(3 + headerLength, dataLength);
        c.input.erase(0, 3 + headerLength + dataLength);

        std::lock_guard lock(m_Mutex);
        if (words[0] == "ID") {
            m_Ids.push_back(header.size() > 3 ? header.substr(3) : std::string());
            std::string reply = "ID DataLink 2008.196 :: DLPROTO:1.0 PACKETSIZE:512";
            if (m_GrantWrite.load()) {
                reply += " WRITE";
            }
            if (!m_User.empty()) {
                reply += " AUTH";
            }
            Reply(c, reply);
        } else if (words[0] == "AUTH") {
            m_Credentials.push_back(data);
            c.authenticated = words[1] == "USERPASS" && data == m_User + "\r" + m_Password;
            const std::string message =
                c.authenticated ? "Authentication successful" : "Error performing authentication";
            Reply(c, (c.authenticated ? "OK 0 " : "ERROR 0 ") + std::to_string(message.size()),
                  message);
        } else if (words[0] == "WRITE") {
            const std::uint64_t n = m_Writes.fetch_add(1) + 1;
            const std::int64_t startUs =
                words.size() > 2 ? std::strtoll(words[2].c_str(), nullptr, 10) : 0;
            ++m_WritesAt[startUs];
            if (m_Drop.count(n) != 0) {
                return false;
            }
            if (words.size() != 6 || !m_GrantWrite.load() ||
                (!m_User.empty() && !c.authenticated)) {
                const std::string message = "Error, permission denied for WRITE";
                Reply(c, "ERROR 0 " + std::to_string(message.size()), message);
                return false;
            }
            std::string refusal;
            if (const auto refused = m_Refuse.find(n); refused != m_Refuse.end()) {
                refusal = refused->second;
            } else if (const auto at = m_RefuseAt.find(startUs); at != m_RefuseAt.end()) {
                refusal = at->second;
            }
            if (!refusal.empty()) {
                Reply(c, "ERROR 0 " + std::to_string(refusal.size()), refusal);
                if (m_KeepOpen.load()) {
                    continue;
                }
                return false;
            }
            m_Stored.push_back({words[1], std::strtoll(words[2].c_str(), nullptr, 10),
                                std::strtoll(words[3].c_str(), nullptr, 10), data});
            if (words[4].find('A') != std::string::npos && !m_Mute.load()) {
                Reply(c, "OK " + std::to_string(m_NextPacketId++) + " 0");
            }
        } else {
            const std::string message = "Unrecognized command";
            Reply(c, "ERROR 0 " + std::to_string(message.size()), message);
        }
    }
    return true;
}

void TestHub::Run() {
    std::list<Connection> connections;
    while (!m_Stop.load()) {
        std::vector<pollfd> fds{{m_Listen.Get(), POLLIN, 0}, {m_Wake.Get(), POLLIN, 0}};
        for (Connection& c : connections) {
            fds.push_back({c.fd.Get(), POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), 100) <= 0) {
            continue;
        }
        std::size_t index = 2;
        for (auto it = connections.begin(); it != connections.end(); ++index) {
            bool keep = true;
            if (fds[index].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[8192];
                const ssize_t n = recv(it->fd.Get(), buffer, sizeof buffer, 0);
                keep = n > 0;
                if (keep) {
                    it->input.append(buffer, static_cast<std::size_t>(n));
                    keep = Serve(*it);
                }
            }
            if (!keep && it->fd.Valid()) {
                Close(*it);
            }
            it = keep ? std::next(it) : connections.erase(it);
        }
        // Only after the polled connections were served: a new one has no entry in `fds`.
        if (fds[0].revents & POLLIN) {
            recording::UniqueFd fd(accept4(m_Listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (fd.Valid()) {
                m_Accepted.fetch_add(1);
                {
                    std::lock_guard lock(m_Mutex);
                    m_AcceptTimes.push_back(static_cast<double>(NowUs() - m_Born) / 1e6);
                }
                if (!m_Slam.load()) {
                    connections.push_back({std::move(fd), {}, false});
                }
            }
        }
    }
}

} // namespace nereid::datalink::test
