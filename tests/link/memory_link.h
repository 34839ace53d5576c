#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "link/frame_codec.h"
#include "link/serial_link.h"

namespace nereid::test {

// The real serial link with its port replaced by two byte queues: what the test feeds is
// what the port receives, and everything the link writes is kept.
class MemoryLink : public link::CSerialLink {
public:
    void Feed(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(m_Mutex);
        m_In.insert(m_In.end(), bytes.begin(), bytes.end());
    }
    void FeedFrame(std::uint8_t type, const std::vector<std::uint8_t>& payload) {
        std::vector<std::uint8_t> frame;
        link::AppendFrame(type, payload, frame);
        Feed(frame);
    }
    std::vector<std::uint8_t> Written() const {
        std::lock_guard lock(m_Mutex);
        return m_Out;
    }

protected:
    bool PortIsOpen() const override { return true; }
    std::size_t PortRead(std::uint8_t* buffer, std::size_t capacity, int) override {
        std::lock_guard lock(m_Mutex);
        std::size_t n = 0;
        while (n < capacity && !m_In.empty()) {
            buffer[n++] = m_In.front();
            m_In.pop_front();
        }
        return n;
    }
    int PortWrite(const std::uint8_t* bytes, std::size_t length) override {
        std::lock_guard lock(m_Mutex);
        m_Out.insert(m_Out.end(), bytes, bytes + length);
        return static_cast<int>(length);
    }

private:
    mutable std::mutex m_Mutex;
    std::deque<std::uint8_t> m_In;
    std::vector<std::uint8_t> m_Out;
};

} // namespace nereid::test
