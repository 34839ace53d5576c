#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "recording/rt_channel.h"
#include "recording/stream_list.h"

namespace nereid::recording {

class CPausable;
struct CIntakeState;

// Shown when a ring or the decode buffer cannot be allocated.
inline constexpr const char* kMemoryFailureText = "Memory allocation failure ( No enough Memory )";
// Shown when the receiver thread could not be parked for a rebuild.
inline constexpr const char* kThreadWaitFailureText = "Failure: thread waiting";

// Results of RebuildChannels besides 1 (rebuilt).
constexpr int kRebuildThreadWaitFailed = -1; // nothing changed
constexpr int kRebuildMemoryFailed = -2;     // the table is empty or partial

// The real-time channel table: one RtChannel per enabled stream, keyed by channel number 1..16.
// The receiver thread reads and writes it; it is rebuilt only while that thread is parked.
class CChannelTable {
public:
    // Sizes the buffer the data frames are decoded into, to the bytes given; returns 1, or
    // anything else when the memory is not there.
    using DecodeBufferSizer = std::function<int(std::size_t bytes)>;

    // Builds the table from the stream list. Parks `thread` (if given) first and always lets it
    // continue afterwards, also when memory runs out. Before the thread continues,
    // `sizeDecodeBuffer` (if given) is asked for DecodeBufferBytes of the fastest channel, so
    // that its data frames fit; the session layer passes its link's resize here
    // (link::RebuildChannels). Returns 1 or a kRebuild... code; LastError() then holds the text
    // to show. `state` (if given) gets m_LastSecond = 0, so the next frame realigns the new
    // channels.
    int RebuildChannels(const CStreamList& streams, CPausable* thread,
                        CIntakeState* state = nullptr,
                        const DecodeBufferSizer& sizeDecodeBuffer = {});
    // Releases every channel and its ring.
    void FreeChannels();

    // Decode buffer size for a table whose fastest channel has maxRate samples per second:
    // payload (11 + 3 x rate) plus CRC, never less than 2048, plus 4 bytes of margin.
    static std::size_t DecodeBufferBytes(int maxRate);

    // Bytes all rings together may take; a table that would need more is treated as an
    // allocation failure (rates come from the recorder: a corrupt configuration must not take
    // the PC's memory). Default 1 GiB; 16 channels at 1000 samples/s need 7.7 MB.
    void SetRingByteLimit(std::size_t bytes) { m_RingByteLimit = bytes; }

    RtChannel* Find(int channel);
    const std::string& LastError() const { return m_LastError; }

    std::map<std::uint16_t, RtChannel> m_ChanMap;

private:
    std::string m_LastError;
    std::size_t m_RingByteLimit = std::size_t(1) << 30;
};

} // namespace nereid::recording
