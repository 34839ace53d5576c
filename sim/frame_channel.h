#pragma once

#include "sim/fault_injector.h"
#include "sim/line_endpoint.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace nereid::sim {

// A frame from the PC after the strict checks.
struct InboundFrame {
    enum Kind {
        kCommand, // CRC and escapes good; payload unescaped, without the CRC
        kAck,
        kNak,
        kIgnored, // a 0xE4 control frame, or a control frame with a body
        kBad,     // CRC mismatch, bad escape, unescaped control byte, too short or too long
    };
    Kind kind = kBad;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
    std::string why; // for kBad and kIgnored
};

// Frames both ways over the line, with the recorder's discipline: every frame it sends waits
// in order for the PC's ACK or NAK (the PC answers frames in the order they arrive), a NAK
// sends the oldest unanswered frame again, and writes are paced to the line's baud rate.
class FrameChannel {
public:
    using Clock = std::chrono::steady_clock;

    // The PC never sends a frame longer than 1024 bytes.
    static constexpr std::size_t kMaxInboundBody = 1024;
    // Frames not answered within this time are taken as lost and no longer wait for an answer.
    static constexpr auto kAnswerWait = std::chrono::seconds(10);
    // At most this many frames wait for an answer; a PC that answers nothing must not make
    // the list grow while data streams.
    static constexpr std::size_t kMaxWaiting = 1024;
    // Queued output above which data frames are dropped rather than queued: a recorder's line
    // carries its bytes whether or not the PC reads them, so a stream that outruns the line
    // (or a PC that reads too slowly) loses data frames instead of holding the answers back
    // behind an ever longer queue. One second of the paced line, or this on an unpaced one.
    static constexpr std::size_t kMaxQueuedBytesUnpaced = 64u * 1024u;
    std::size_t MaxQueuedBytes() const;
    // Data frames not queued because the output was full.
    std::uint64_t DroppedFrames() const { return m_DroppedFrames; }

    FrameChannel(FaultInjector& faults, int baud) : m_Faults(faults), m_Baud(baud) {}

    void Feed(const std::uint8_t* bytes, std::size_t length);
    bool Next(InboundFrame& frame);

    // Queues a frame; returns its id (never 0). With `awaitAnswer` false the frame does not
    // wait for an ACK (and a NAK cannot repeat it, except as the last frame sent). `droppable`
    // frames are not queued while the output is full; they return 0 then.
    std::uint64_t Send(std::uint8_t type, std::span<const std::uint8_t> payload,
                       bool awaitAnswer = true, bool droppable = false);
    void SendControl(std::uint8_t type);
    void SendText(const std::string& text);

    // An ACK arrived: returns the id of the frame it answers, 0 when none waited.
    std::uint64_t OnAck(Clock::time_point now = Clock::now());
    // A NAK arrived: sends the frame it refers to again (the oldest waiting one, else the last
    // frame sent) and returns its id, 0 when nothing was ever sent.
    std::uint64_t OnNak(Clock::time_point now = Clock::now());

    // Writes what pacing allows. Returns -1 when the line failed, else 1.
    int Flush(LineEndpoint& line, Clock::time_point now = Clock::now());
    bool HasOutput() const { return !m_Out.empty(); }
    // Time until pacing allows the next byte; zero when unpaced or allowed now.
    Clock::duration PacingDelay(Clock::time_point now) const;

    // The PC closed the line: nothing queued is delivered and nothing waits for an answer.
    void Disconnect();

    std::size_t Waiting() const { return m_Waiting.size(); }
    std::uint64_t FramesSent() const { return m_FramesSent; }

private:
    struct Sent {
        std::uint64_t id;
        std::uint8_t type;
        std::vector<std::uint8_t> payload;
        Clock::time_point at;
    };

    void Transmit(std::uint8_t type, std::span<const std::uint8_t> payload);
    void Finish();
    void Expire(Clock::time_point now);

    FaultInjector& m_Faults;
    int m_Baud;

    // Inbound scanning, strict.
    bool m_InFrame = false;
    bool m_HaveType = false;
    bool m_Escape = false;
    std::string m_Fault;
    std::uint8_t m_Type = 0;
    std::vector<std::uint8_t> m_Body;
    std::deque<InboundFrame> m_Inbound;

    // Outbound.
    std::deque<std::uint8_t> m_Out;
    std::deque<Sent> m_Waiting;
    Sent m_Last{0, 0, {}, {}};
    std::uint64_t m_NextId = 1;
    std::uint64_t m_FramesSent = 0;
    std::uint64_t m_DroppedFrames = 0;
    double m_Credit = 0; // bytes pacing allows now
    Clock::time_point m_CreditAt{};
};

} // namespace nereid::sim
