#pragma once

#include "sim/command_processor.h"
#include "sim/drive_store.h"
#include "sim/fault_injector.h"
#include "sim/frame_channel.h"
#include "sim/instrument_state.h"
#include "sim/line_endpoint.h"
#include "sim/modem_front_end.h"
#include "sim/options.h"
#include "sim/recorder_clock.h"
#include "sim/stream_generator.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace nereid::sim {

// The simulated recorder on one line: reads the PC's frames, answers them (late, or not at
// all, when faults are injected), sends listings and files frame by frame as they are
// acknowledged, streams real-time data by the recorder clock, and sits behind a Hayes modem
// when asked to. Single-threaded: Run polls the line and its own timers.
class SimEngine {
public:
    using Clock = std::chrono::steady_clock;

    // Frames of a listing or file that get no ACK or NAK for this long end the transfer; the
    // PC gives up after 30 s itself.
    static constexpr auto kTransferWait = std::chrono::seconds(30);

    SimEngine(const SimOptions& options, LineEndpoint& line, DriveStore& drives);

    // Serves until `stop` is set. Returns 0, or 1 when the line failed.
    int Run(const std::atomic<bool>& stop);
    // One round: waits at most `maxWait` for the line, then handles input and timers.
    // Returns -1 when the line failed, else 1.
    int Step(Clock::duration maxWait);

    InstrumentState& State() { return m_State; }

private:
    struct Scheduled {
        Clock::time_point due;
        CommandOutcome outcome;
    };
    // The extra wait of a slow drive for this request (0 for a repeat of the last one).
    std::chrono::milliseconds AnswerDelay(const InboundFrame& frame);

    void HandleBytes(const std::uint8_t* bytes, std::size_t length, Clock::time_point now);
    void HandleFrame(const InboundFrame& frame, Clock::time_point now);
    void Deliver(CommandOutcome& outcome, Clock::time_point now);
    void SendNextTransferFrame(Clock::time_point now);
    void Stream(Clock::time_point now);
    void Disconnected();
    bool Reachable() const;
    void Log(const std::string& text) const;
    Clock::time_point NextDeadline(Clock::time_point now) const;

    SimOptions m_Options;
    LineEndpoint& m_Line;
    DriveStore& m_Drives;
    InstrumentState m_State;
    CommandProcessor m_Processor;
    FaultInjector m_Faults;
    FrameChannel m_Channel;
    RecorderClock m_Clock;
    StreamGenerator m_Generator;
    std::unique_ptr<ModemFrontEnd> m_Modem;

    bool m_Connected = true; // a PC holds the line open
    bool m_WasStreaming = false;
    std::uint32_t m_NextSecond = 0;
    std::deque<Scheduled> m_Scheduled;
    std::mt19937_64 m_DelayRandom;
    std::uint8_t m_LastDelayedCode = 0;
    std::vector<std::uint8_t> m_LastDelayedRequest;

    std::optional<Transfer> m_Transfer;
    std::uint64_t m_TransferFrame = 0; // id of the frame waiting for its ACK
    Clock::time_point m_TransferSentAt{};
};

} // namespace nereid::sim
