#include "link/frame_codec.h"

#include <array>

namespace nereid::link {

namespace {

// Entry i is the CRC of the single byte i with initial value 0.
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

// Writes one byte escaped at out[pos]; false when the bytes would not leave room for the
// end byte within capacity.
inline bool PutEscaped(std::uint8_t byte, std::uint8_t* out, std::size_t& pos,
                       std::size_t capacity) {
    if (NeedsEscape(byte)) {
        if (pos + 2 >= capacity) {
            return false;
        }
        out[pos++] = kEscapeByte;
        out[pos++] = static_cast<std::uint8_t>(byte ^ 0xA0);
        return true;
    }
    if (pos + 1 >= capacity) {
        return false;
    }
    out[pos++] = byte;
    return true;
}

} // namespace

std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>(kCrcTable[((crc >> 8) ^ byte) & 0xFF] ^ (crc << 8));
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>(kCrcTable[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    }
    return crc;
}

std::uint16_t FrameCrc(std::uint8_t type, const std::uint8_t* payload, std::size_t length) {
    return Crc16(payload, length, Crc16Update(0, type));
}

int BuildFrame(std::uint8_t type, const std::uint8_t* payload, std::size_t length,
               std::uint8_t* out, std::size_t capacity) {
    // Start, type, two CRC bytes at least and the end byte.
    if (capacity < 5) {
        return kFrameTooLong;
    }
    out[0] = kFrameStart;
    out[1] = type;
    std::size_t pos = 2;
    for (std::size_t i = 0; i < length; ++i) {
        if (!PutEscaped(payload[i], out, pos, capacity)) {
            return kFrameTooLong;
        }
    }
    const std::uint16_t crc = FrameCrc(type, payload, length);
    if (!PutEscaped(static_cast<std::uint8_t>(crc >> 8), out, pos, capacity) ||
        !PutEscaped(static_cast<std::uint8_t>(crc & 0xFF), out, pos, capacity)) {
        return kFrameTooLong;
    }
    out[pos++] = kFrameEnd;
    return static_cast<int>(pos);
}

std::size_t AppendFrame(std::uint8_t type, std::span<const std::uint8_t> payload,
                        std::vector<std::uint8_t>& out) {
    const std::size_t before = out.size();
    out.reserve(before + 2 * payload.size() + 7);
    out.push_back(kFrameStart);
    out.push_back(type);
    auto put = [&out](std::uint8_t byte) {
        if (NeedsEscape(byte)) {
            out.push_back(kEscapeByte);
            out.push_back(static_cast<std::uint8_t>(byte ^ 0xA0));
        } else {
            out.push_back(byte);
        }
    };
    for (std::uint8_t byte : payload) {
        put(byte);
    }
    const std::uint16_t crc = FrameCrc(type, payload.data(), payload.size());
    put(static_cast<std::uint8_t>(crc >> 8));
    put(static_cast<std::uint8_t>(crc & 0xFF));
    out.push_back(kFrameEnd);
    return out.size() - before;
}

void AppendControlFrame(std::uint8_t type, std::vector<std::uint8_t>& out) {
    out.push_back(kFrameStart);
    out.push_back(type);
    out.push_back(kFrameEnd);
}

int CheckFrameBody(std::uint8_t type, const std::uint8_t* body, std::size_t bodyLength) {
    if (bodyLength < 2) {
        return kFrameMalformed;
    }
    const std::size_t payloadLength = bodyLength - 2;
    const std::uint16_t received =
        static_cast<std::uint16_t>((body[payloadLength] << 8) | body[payloadLength + 1]);
    return FrameCrc(type, body, payloadLength) == received ? kFrameGood : kFrameBadCrc;
}

FrameScanner::FrameScanner(std::size_t maxBodyBytes) : m_MaxBodyBytes(maxBodyBytes) {}

void FrameScanner::Feed(const std::uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte == kFrameStart) {
            m_InFrame = true;
            m_HaveType = false;
            m_Overflow = false;
            m_Unescaper.Reset();
            m_Body.clear();
            continue;
        }
        if (!m_InFrame) {
            continue;
        }
        if (byte == kFrameEnd) {
            FinishFrame();
            m_InFrame = false;
            continue;
        }
        if (!m_HaveType) {
            m_Type = byte;
            m_HaveType = true;
            continue;
        }
        std::uint8_t out = 0;
        if (m_Unescaper.Push(byte, out)) {
            if (m_Body.size() >= m_MaxBodyBytes) {
                m_Overflow = true;
            } else {
                m_Body.push_back(out);
            }
        }
    }
}

void FrameScanner::FinishFrame() {
    Complete done{kFrameMalformed, {}};
    if (!m_HaveType) {
        m_Complete.push_back(std::move(done));
        return;
    }
    done.frame.type = m_Type;
    if (m_Type == kAckType || m_Type == kNakType || m_Type == kIgnoredControlType) {
        done.frame.control = true;
        done.result = kFrameGood;
    } else if (!m_Overflow) {
        done.result = CheckFrameBody(m_Type, m_Body.data(), m_Body.size());
        if (done.result != kFrameMalformed) {
            done.frame.payload.assign(m_Body.begin(), m_Body.end() - 2);
        }
    }
    m_Complete.push_back(std::move(done));
}

int FrameScanner::Next(ScannedFrame& frame) {
    if (m_Complete.empty()) {
        return kFrameNone;
    }
    Complete& done = m_Complete.front();
    const int result = done.result;
    frame.type = done.frame.type;
    frame.control = done.frame.control;
    frame.payload.swap(done.frame.payload);
    m_Complete.pop_front();
    return result;
}

void FrameScanner::Reset() {
    m_InFrame = false;
    m_HaveType = false;
    m_Overflow = false;
    m_Unescaper.Reset();
    m_Body.clear();
    m_Complete.clear();
}

} // namespace nereid::link
