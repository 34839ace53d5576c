#pragma once

#include <cstddef>
#include <cstdint>

#include "recording/channel_table.h"
#include "recording/intake_events.h"
#include "recording/intake_observer.h"
#include "recording/intake_state.h"
#include "recording/second_sink.h"

namespace nereid::recording {

// Real-time data frame payload offsets (little-endian).
constexpr std::size_t kFrameUnitOffset = 0;     // u16 unit number
constexpr std::size_t kFrameChannelOffset = 2;  // bits 0-3: channel index (channel = index + 1)
constexpr std::size_t kFrameSecondOffset = 4;   // u32 second of the first sample
constexpr std::size_t kFrameSamplesOffset = 11; // rate x 3 bytes, 24-bit two's complement

// Decodes one 24-bit two's-complement sample, least significant byte first.
inline std::int32_t DecodeSample24(const std::uint8_t* p) {
    std::uint32_t v =
        std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    if (v & 0x800000u) {
        v |= 0xFF000000u;
    }
    return static_cast<std::int32_t>(v);
}

// The data path of the receiver thread: stores each real-time data frame in its channel's ring,
// keeps the time stamps, fills time gaps with zero rows and feeds the recorder while recording.
// Runs on the receiver thread only; the table it writes is rebuilt while that thread is parked.
class CRealTimeIntake {
public:
    CRealTimeIntake(CChannelTable& table, CIntakeState& state, CIntakeEvents& events);

    // The recorder; none (nullptr) means that recording never reaches a file.
    void SetRecorder(CSecondSink* recorder) { m_Recorder = recorder; }
    // Optional watcher of stored frames and gap rows; set while the thread is parked.
    void SetObserver(CIntakeObserver* observer) { m_Observer = observer; }

    // One data frame payload as ReadFrame delivered it. Frames shorter than the fixed part
    // (11 bytes) are dropped; a frame with fewer samples than its channel's rate fills the rest
    // of its row with zeros.
    void HandleDataFrame(const std::uint8_t* payload, std::size_t length);

    // Clears the latest second, the 120 time stamps and every ring, as after the real-time
    // display was off.
    void Resynchronise();

    // Forgets the reference channel (thread start).
    void ResetReference() { m_ReferenceChannel = -1; }
    int ReferenceChannel() const { return m_ReferenceChannel; }

private:
    static int NormaliseSlot(int slot);
    void StoreSamples(RtChannel& rec, int chan, std::uint32_t sec, int row,
                      const std::uint8_t* payload, std::size_t length);
    void StartAt(int chan, std::uint32_t sec, const std::uint8_t* payload, std::size_t length,
                 bool store);
    bool Recording() const;
    void FillGap(RtChannel& rec, int chan, std::uint32_t sec, std::int64_t gap);
    void WriteFrame(RtChannel& rec, int chan, std::uint32_t sec, bool afterJump);
    // After a failed write of a gap row: recording restarts with new files at the next new
    // second.
    void ReArmRecording();

    CChannelTable& m_Table;
    CIntakeState& m_State;
    CIntakeEvents& m_Events;
    CSecondSink* m_Recorder = nullptr;
    CIntakeObserver* m_Observer = nullptr;
    int m_ReferenceChannel = -1;
};

} // namespace nereid::recording
