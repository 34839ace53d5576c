#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

// The HLCP frame envelope, shared by the link (PC side) and the recorder simulator:
//   E3, type byte (never escaped), payload (escaped), CRC high, CRC low (escaped), E5.
// Control frames are three bytes without payload or CRC: E3 E1 E5 (ACK), E3 E2 E5 (NAK);
// a frame of type E4 is recognised and discarded.
namespace nereid::link {

constexpr std::uint8_t kEscapeByte = 0xE0;
constexpr std::uint8_t kAckType = 0xE1;
constexpr std::uint8_t kNakType = 0xE2;
constexpr std::uint8_t kFrameStart = 0xE3;
constexpr std::uint8_t kIgnoredControlType = 0xE4;
constexpr std::uint8_t kFrameEnd = 0xE5;

// The PC never writes a frame longer than this (escaped, start and end bytes included).
constexpr std::size_t kMaxCommandFrameBytes = 1024;

// Result of the frame builders when the escaped frame does not fit.
constexpr int kFrameTooLong = -4;

// True for the bytes 0xE0..0xE5 that travel as E0, (byte XOR 0xA0).
constexpr bool NeedsEscape(std::uint8_t byte) {
    return byte >= 0xE0 && byte <= 0xE5;
}

// CRC-16, polynomial 0x1021, initial value 0, no reflection, no final XOR (XMODEM); computed
// byte-wise through a 256-entry table. Chain calls by passing the previous result as `crc`.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t crc = 0);
std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte);
// The CRC of a frame: over the type byte followed by the unescaped payload.
std::uint16_t FrameCrc(std::uint8_t type, const std::uint8_t* payload, std::size_t length);

// Builds one frame of any type byte with the given payload into out[0 .. capacity).
// Returns the frame length in bytes (the end byte lies at length - 1), or kFrameTooLong when
// the escaped frame needs more than `capacity` bytes; out is then partly written.
int BuildFrame(std::uint8_t type, const std::uint8_t* payload, std::size_t length,
               std::uint8_t* out, std::size_t capacity);

// Appends one frame of any type byte with the given payload to `out`, without a length limit
// (the simulator sends data frames of several kilobytes). Returns the bytes appended.
std::size_t AppendFrame(std::uint8_t type, std::span<const std::uint8_t> payload,
                        std::vector<std::uint8_t>& out);

// Appends a control frame (kAckType, kNakType, kIgnoredControlType): E3 type E5.
void AppendControlFrame(std::uint8_t type, std::vector<std::uint8_t>& out);

// Reverses the escaping one received byte at a time: a 0xE0 is dropped and the byte after it
// becomes (byte OR 0xE0). The escaped byte is not checked to lie in 0x40..0x45.
class Unescaper {
public:
    // Returns true and sets `out` when `in` completes a payload byte; false after an escape.
    bool Push(std::uint8_t in, std::uint8_t& out) {
        if (m_Escaped) {
            m_Escaped = false;
            out = static_cast<std::uint8_t>(in | 0xE0);
            return true;
        }
        if (in == kEscapeByte) {
            m_Escaped = true;
            return false;
        }
        out = in;
        return true;
    }
    void Reset() { m_Escaped = false; }

private:
    bool m_Escaped = false;
};

// Results of CheckFrameBody and of FrameScanner::Next.
constexpr int kFrameGood = 1;
constexpr int kFrameNone = 0;
constexpr int kFrameMalformed = -3; // fewer than 2 bytes between type and end, or too long
constexpr int kFrameBadCrc = -5;

// Checks an unescaped frame body (payload followed by the CRC high and low byte) of a frame
// of the given type. Returns kFrameGood, kFrameMalformed (fewer than 2 bytes) or kFrameBadCrc.
int CheckFrameBody(std::uint8_t type, const std::uint8_t* body, std::size_t bodyLength);

// One frame found by FrameScanner.
struct ScannedFrame {
    std::uint8_t type = 0;
    bool control = false;              // ACK, NAK or E4: no payload, no CRC
    std::vector<std::uint8_t> payload; // unescaped, without the CRC
};

// Finds frames in a byte stream fed in pieces of any size. Bytes before a start byte and
// between frames are skipped; a second start byte before an end byte restarts the frame, so
// the scanner always resynchronises on the latest start byte. Used by the simulator to read
// the PC's command frames, and by tests.
class FrameScanner {
public:
    // Frames whose unescaped body (payload plus CRC) exceeds maxBodyBytes are reported as
    // kFrameMalformed instead of growing without bound.
    explicit FrameScanner(std::size_t maxBodyBytes = 65536);

    void Feed(const std::uint8_t* bytes, std::size_t length);
    void Feed(std::span<const std::uint8_t> bytes) { Feed(bytes.data(), bytes.size()); }

    // Takes the oldest complete frame. Returns kFrameGood (frame filled, CRC checked for data
    // frames), kFrameBadCrc (type and payload filled as received), kFrameMalformed (type
    // filled when known, payload empty) or kFrameNone when no frame is complete.
    int Next(ScannedFrame& frame);

    // Forgets the partial frame and every complete frame not yet taken.
    void Reset();

private:
    struct Complete {
        int result;
        ScannedFrame frame;
    };

    void FinishFrame();

    std::size_t m_MaxBodyBytes;
    bool m_InFrame = false;
    bool m_HaveType = false;
    bool m_Overflow = false;
    std::uint8_t m_Type = 0;
    Unescaper m_Unescaper;
    std::vector<std::uint8_t> m_Body;
    std::deque<Complete> m_Complete;
};

} // namespace nereid::link
