#pragma once

#include <cstdint>

namespace nereid::instrument {

// The order check of the frames of one listing or file, numbered from 1.
//
// A frame numbered below the expected one is a repeat (the recorder missed the PC's ACK and
// sent it again): it is to be acknowledged and dropped, since a NAK would only bring the same
// frame back, without end. A frame numbered above gets a NAK; when the recorder keeps sending
// it, the listing or file cannot be completed.
class CFrameSequence {
public:
    enum Verdict { kInSequence, kRepeat, kOutOfSequence, kGiveUp };
    // NAKs for one out-of-sequence frame before kGiveUp.
    static constexpr int kMaxNaks = 3;

    void Restart();
    // Judges a frame; kInSequence moves the expected number on.
    Verdict Check(std::uint16_t sequence);

    std::uint16_t Expected() const { return m_Expected; }
    // Totals since construction.
    std::uint32_t Repeats() const { return m_Repeats; }
    std::uint32_t Naks() const { return m_Naks; }

private:
    std::uint16_t m_Expected = 1;
    std::uint16_t m_Wrong = 0;
    int m_WrongCount = 0;
    std::uint32_t m_Repeats = 0;
    std::uint32_t m_Naks = 0;
};

} // namespace nereid::instrument
