#pragma once

#include <cstdint>

namespace nereid::link {

// Tells a recorder that stopped answering on a direct line from one that is only quiet.
//
// A connected recorder that does not stream sends nothing, so silence alone says little: after
// kQuietMs without a byte from the line the watch asks for a probe (a hardware status query),
// and when kProbeAnswerMs more pass without a byte the line is lost. While a sheet or the
// upload waits for an answer no probe is sent; the line is lost after kRequestSilenceMs
// without a byte then. Any byte makes it alive again.
// No toolkit: the caller ticks it (every 100 ms) with the link's received-byte count.
class CLineWatch {
public:
    static constexpr std::int64_t kQuietMs = 4000;
    // The wait of a status sheet for its answer.
    static constexpr std::int64_t kProbeAnswerMs = 4000;
    // Longer than a recorder takes to answer a listing or file read (a drive spinning up).
    static constexpr std::int64_t kRequestSilenceMs = 10000;

    enum Action : int {
        kNone = 0,
        kSendProbe = 1, // send the probe now
        kLost = 2,      // the line just became lost
        kAnswering = 3, // a lost line answers again
    };

    // Starts watching (a new connection): the line counts as alive now.
    void Start(std::uint64_t bytesReceived, std::int64_t nowMs);
    void Stop() { m_Watching = false; }
    // `requestWaiting`: a sheet waits for an answer, so a command is already out.
    int Tick(std::uint64_t bytesReceived, std::int64_t nowMs, bool requestWaiting);

    bool Watching() const { return m_Watching; }
    bool Lost() const { return m_Watching && m_Lost; }

private:
    bool m_Watching = false;
    bool m_Lost = false;
    std::uint64_t m_Bytes = 0;
    std::int64_t m_LastByteMs = 0;
    std::int64_t m_AskedMs = -1; // when the probe of this silence went out
};

} // namespace nereid::link
