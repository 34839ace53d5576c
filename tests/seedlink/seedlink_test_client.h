#pragma once

// A SeedLink client written from the protocol's description, for the tests: it shares no code
// with the service it talks to.

#include <arpa/inet.h>
#include <libmseed.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace nereid::seedlink::test {

struct DecodedRecord {
    std::uint32_t sequence = 0;
    std::string channel;
    std::int64_t startUs = 0; // microseconds since 1970
    double rate = 0;
    std::vector<std::int32_t> samples;
};

class TestClient {
public:
    // `keepRaw`: remember every record's bytes by sequence number (Raw()); a long run leaves
    // it off.
    explicit TestClient(int port, bool keepRaw = true) : m_KeepRaw(keepRaw) {
        m_Fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(m_Fd);
            m_Fd = -1;
        }
    }
    ~TestClient() {
        if (m_Fd >= 0) {
            close(m_Fd);
        }
    }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool Connected() const { return m_Fd >= 0; }

    bool Send(const std::string& text) {
        return send(m_Fd, text.data(), text.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(text.size());
    }

    // One reply line ("OK", "ERROR"), or "" after `ms` milliseconds.
    std::string Line(int ms = 2000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            const std::size_t eol = m_Buffer.find("\r\n");
            if (eol != std::string::npos) {
                const std::string line = m_Buffer.substr(0, eol);
                m_Buffer.erase(0, eol + 2);
                return line;
            }
            if (!Fill(50)) {
                break;
            }
        }
        return {};
    }

    // Reads data packets until `done(records)` holds or `ms` milliseconds have passed; every
    // record is decoded with libmseed. False when something other than a data packet came or
    // a record did not decode.
    template <typename Done> bool Collect(std::vector<DecodedRecord>& records, Done done, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done(records) && std::chrono::steady_clock::now() < end) {
            while (m_Buffer.size() >= 520) {
                if (m_Buffer.compare(0, 2, "SL") != 0 || m_Buffer.compare(0, 6, "SLINFO") == 0) {
                    return false;
                }
                DecodedRecord r;
                r.sequence = static_cast<std::uint32_t>(
                    std::strtoul(m_Buffer.substr(2, 6).c_str(), nullptr, 16));
                if (!Decode(m_Buffer.data() + 8, r)) {
                    return false;
                }
                if (m_KeepRaw) {
                    m_Raw[r.sequence] = m_Buffer.substr(8, 512);
                }
                records.push_back(std::move(r));
                m_Buffer.erase(0, 520);
            }
            if (!done(records) && !Fill(50) && m_Closed) {
                break;
            }
        }
        return true;
    }

    const std::map<std::uint32_t, std::string>& Raw() const { return m_Raw; }

private:
    static bool Decode(const char* record, DecodedRecord& r) {
        std::string copy(record, 512);
        MSRecord* msr = nullptr;
        if (msr_unpack(copy.data(), 512, &msr, 1, 0) != MS_NOERROR) {
            msr_free(&msr);
            return false;
        }
        const bool ints = msr->sampletype == 'i';
        if (ints) {
            r.channel = msr->channel;
            r.startUs = msr->starttime;
            r.rate = msr->samprate;
            const auto* s = static_cast<const std::int32_t*>(msr->datasamples);
            r.samples.assign(s, s + msr->numsamples);
        }
        msr_free(&msr);
        return ints;
    }

    // Waits up to `ms` for bytes; false on timeout or a closed connection.
    bool Fill(int ms) {
        pollfd p{m_Fd, POLLIN, 0};
        if (poll(&p, 1, ms) != 1) {
            return false;
        }
        char buffer[8192];
        const ssize_t n = recv(m_Fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_Closed = true;
            return false;
        }
        m_Buffer.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    bool m_KeepRaw = true;
    int m_Fd = -1;
    bool m_Closed = false;
    std::string m_Buffer;
    std::map<std::uint32_t, std::string> m_Raw;
};

// Per channel, checks that each record starts where the one before ended. Returns "" or what
// went wrong.
inline std::string CheckContinuity(const std::vector<DecodedRecord>& records) {
    std::map<std::string, std::int64_t> nextUs;
    for (const DecodedRecord& r : records) {
        const auto it = nextUs.find(r.channel);
        if (it != nextUs.end() && it->second != r.startUs) {
            return r.channel + " record " + std::to_string(r.sequence) + " starts at " +
                   std::to_string(r.startUs) + " us, expected " + std::to_string(it->second);
        }
        nextUs[r.channel] =
            r.startUs + static_cast<std::int64_t>(r.samples.size() * 1000000.0 / r.rate + 0.5);
    }
    return {};
}

// Seconds of data per channel.
inline std::map<std::string, double> SecondsPerChannel(const std::vector<DecodedRecord>& records) {
    std::map<std::string, double> seconds;
    for (const DecodedRecord& r : records) {
        seconds[r.channel] += static_cast<double>(r.samples.size()) / r.rate;
    }
    return seconds;
}

} // namespace nereid::seedlink::test
