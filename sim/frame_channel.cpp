#include "sim/frame_channel.h"

#include "link/frame_codec.h"

#include <algorithm>

namespace nereid::sim {

namespace lk = nereid::link;

void FrameChannel::Finish() {
    InboundFrame f;
    f.type = m_Type;
    if (!m_HaveType) {
        f.kind = InboundFrame::kBad;
        f.why = "frame without a type byte";
    } else if (m_Type == lk::kAckType || m_Type == lk::kNakType ||
               m_Type == lk::kIgnoredControlType) {
        if (!m_Body.empty() || !m_Fault.empty()) {
            // A damaged control frame is not answered: a NAK of a NAK could loop.
            f.kind = InboundFrame::kIgnored;
            f.why = "control frame with a body";
        } else {
            f.kind = m_Type == lk::kAckType   ? InboundFrame::kAck
                     : m_Type == lk::kNakType ? InboundFrame::kNak
                                              : InboundFrame::kIgnored;
        }
    } else if (!m_Fault.empty()) {
        f.kind = InboundFrame::kBad;
        f.why = m_Fault;
    } else if (m_Escape) {
        f.kind = InboundFrame::kBad;
        f.why = "escape byte right before the frame end";
    } else if (m_Body.size() < 2) {
        f.kind = InboundFrame::kBad;
        f.why = "frame shorter than its CRC";
    } else {
        const std::size_t n = m_Body.size() - 2;
        const std::uint16_t want = lk::FrameCrc(m_Type, m_Body.data(), n);
        const std::uint16_t got = static_cast<std::uint16_t>((m_Body[n] << 8) | m_Body[n + 1]);
        if (want != got) {
            f.kind = InboundFrame::kBad;
            f.why = "CRC mismatch";
        } else {
            f.kind = InboundFrame::kCommand;
            f.payload.assign(m_Body.begin(), m_Body.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    m_Inbound.push_back(std::move(f));
    m_InFrame = false;
}

void FrameChannel::Feed(const std::uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == lk::kFrameStart) {
            // The latest start byte begins the frame; what came before it is dropped.
            m_InFrame = true;
            m_HaveType = false;
            m_Escape = false;
            m_Fault.clear();
            m_Body.clear();
            continue;
        }
        if (!m_InFrame)
            continue; // line noise between frames
        if (b == lk::kFrameEnd) {
            Finish();
            continue;
        }
        if (!m_HaveType) {
            m_Type = b;
            m_HaveType = true;
            continue;
        }
        if (m_Escape) {
            m_Escape = false;
            if (b < 0x40 || b > 0x45) {
                if (m_Fault.empty())
                    m_Fault = "escape followed by a byte outside 0x40..0x45";
                continue;
            }
            if (m_Body.size() < kMaxInboundBody + 2)
                m_Body.push_back(static_cast<std::uint8_t>(b | 0xE0));
            continue;
        }
        if (b == lk::kEscapeByte) {
            m_Escape = true;
            continue;
        }
        if (lk::NeedsEscape(b) && m_Fault.empty())
            m_Fault = "unescaped control byte inside a frame";
        if (m_Body.size() < kMaxInboundBody + 2)
            m_Body.push_back(b);
        else if (m_Fault.empty())
            m_Fault = "frame longer than 1024 bytes";
    }
}

bool FrameChannel::Next(InboundFrame& frame) {
    if (m_Inbound.empty())
        return false;
    frame = std::move(m_Inbound.front());
    m_Inbound.pop_front();
    return true;
}

void FrameChannel::Transmit(std::uint8_t type, std::span<const std::uint8_t> payload) {
    for (std::uint8_t b : m_Faults.Garbage())
        m_Out.push_back(b);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(payload.size() + 8);
    if (m_Faults.CorruptNext()) {
        // Same envelope, wrong CRC: the PC must answer NAK and get it again intact.
        const std::uint16_t crc = lk::FrameCrc(type, payload.data(), payload.size()) ^ 0x5A5A;
        bytes.push_back(lk::kFrameStart);
        bytes.push_back(type);
        auto put = [&](std::uint8_t b) {
            if (lk::NeedsEscape(b)) {
                bytes.push_back(lk::kEscapeByte);
                bytes.push_back(static_cast<std::uint8_t>(b ^ 0xA0));
            } else {
                bytes.push_back(b);
            }
        };
        for (std::uint8_t b : payload)
            put(b);
        put(static_cast<std::uint8_t>(crc >> 8));
        put(static_cast<std::uint8_t>(crc));
        bytes.push_back(lk::kFrameEnd);
    } else {
        lk::AppendFrame(type, payload, bytes);
    }
    m_Out.insert(m_Out.end(), bytes.begin(), bytes.end());
    ++m_FramesSent;
}

std::uint64_t FrameChannel::Send(std::uint8_t type, std::span<const std::uint8_t> payload,
                                 bool awaitAnswer, bool droppable) {
    if (droppable && m_Out.size() > MaxQueuedBytes()) {
        ++m_DroppedFrames;
        return 0;
    }
    const std::uint64_t id = m_NextId++;
    Transmit(type, payload);
    m_Last = Sent{id, type, {payload.begin(), payload.end()}, Clock::now()};
    if (awaitAnswer) {
        m_Waiting.push_back(m_Last);
        if (m_Waiting.size() > kMaxWaiting)
            m_Waiting.pop_front();
    }
    return id;
}

std::size_t FrameChannel::MaxQueuedBytes() const {
    if (m_Baud <= 0)
        return kMaxQueuedBytesUnpaced;
    return std::max<std::size_t>(4096, static_cast<std::size_t>(m_Baud / 10));
}

void FrameChannel::SendControl(std::uint8_t type) {
    std::vector<std::uint8_t> bytes;
    lk::AppendControlFrame(type, bytes);
    m_Out.insert(m_Out.end(), bytes.begin(), bytes.end());
}

void FrameChannel::SendText(const std::string& text) {
    m_Out.insert(m_Out.end(), text.begin(), text.end());
}

void FrameChannel::Expire(Clock::time_point now) {
    while (!m_Waiting.empty() && now - m_Waiting.front().at > kAnswerWait)
        m_Waiting.pop_front();
}

std::uint64_t FrameChannel::OnAck(Clock::time_point now) {
    Expire(now);
    if (m_Waiting.empty())
        return 0;
    const std::uint64_t id = m_Waiting.front().id;
    m_Waiting.pop_front();
    return id;
}

std::uint64_t FrameChannel::OnNak(Clock::time_point now) {
    Expire(now);
    Sent again = m_Last;
    if (!m_Waiting.empty()) {
        again = std::move(m_Waiting.front());
        m_Waiting.pop_front();
    } else if (again.id == 0) {
        return 0;
    }
    Transmit(again.type, again.payload);
    again.at = now;
    m_Last = again;
    m_Waiting.push_back(std::move(again));
    return m_Last.id;
}

FrameChannel::Clock::duration FrameChannel::PacingDelay(Clock::time_point now) const {
    if (m_Baud <= 0 || m_Out.empty())
        return Clock::duration::zero();
    const double rate = m_Baud / 10.0; // bytes per second
    const double credit = m_Credit + std::chrono::duration<double>(now - m_CreditAt).count() * rate;
    // Wake for a few milliseconds' worth of bytes at a time rather than for every byte.
    const double want = std::clamp(rate * 0.005, 1.0, static_cast<double>(m_Out.size()));
    if (credit >= want)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>((want - credit) / rate));
}

int FrameChannel::Flush(LineEndpoint& line, Clock::time_point now) {
    if (m_Out.empty())
        return 1;
    std::size_t allowed = m_Out.size();
    if (m_Baud > 0) {
        const double rate = m_Baud / 10.0;
        if (m_CreditAt == Clock::time_point{})
            m_CreditAt = now;
        // Credit does not pile up while idle beyond 50 ms worth: a line has no memory.
        m_Credit =
            std::min(m_Credit + std::chrono::duration<double>(now - m_CreditAt).count() * rate,
                     std::max(4.0, rate * 0.05));
        m_CreditAt = now;
        allowed = std::min(allowed, static_cast<std::size_t>(m_Credit));
        if (allowed == 0)
            return 1;
    }
    std::uint8_t chunk[4096];
    std::size_t written = 0;
    while (written < allowed) {
        const std::size_t n = std::min(allowed - written, sizeof chunk);
        std::copy_n(m_Out.begin(), n, chunk);
        const long w = line.Write(chunk, n);
        if (w < 0)
            return -1;
        m_Out.erase(m_Out.begin(), m_Out.begin() + w);
        written += static_cast<std::size_t>(w);
        if (static_cast<std::size_t>(w) < n)
            break; // the line is full for now
    }
    if (m_Baud > 0)
        m_Credit -= static_cast<double>(written);
    return 1;
}

void FrameChannel::Disconnect() {
    m_Out.clear();
    m_Waiting.clear();
    m_InFrame = false;
    m_Inbound.clear();
    m_Credit = 0;
}

} // namespace nereid::sim
