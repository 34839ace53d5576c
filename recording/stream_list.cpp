#include "recording/stream_list.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace nereid::recording {

void CStreamList::SetStreams(int count) {
    // Secondary streams are numbered from 9, so at most eight primary streams exist.
    const int n = std::clamp(count, 1, 8);
    m_Streams.clear();
    for (int base : {0, 8}) {
        for (int i = 1; i <= n; ++i) {
            StreamEntry entry;
            entry.number = std::to_string(base + i);
            entry.description = base == 0 ? "Primary" : "Secondary";
            m_Streams.push_back(entry);
        }
    }
}

void CStreamList::ApplyConfiguration(std::uint16_t enableMask,
                                     const std::uint8_t (&rateCodes)[16]) {
    for (StreamEntry& stream : m_Streams) {
        const int c = std::atoi(stream.number.c_str());
        if (c < 1 || c > 16) {
            continue;
        }
        stream.enabled = (enableMask >> (c - 1)) & 1u;
        if (const int rate = SamplesPerSecondFromRateCode(rateCodes[c - 1]); rate > 0) {
            stream.rate = rate;
        }
    }
}

void CStreamList::ApplyConfiguration(std::uint16_t enableMask,
                                     const std::array<std::uint8_t, 16>& rateCodes) {
    std::uint8_t codes[16];
    std::copy(rateCodes.begin(), rateCodes.end(), codes);
    ApplyConfiguration(enableMask, codes);
}

int CStreamList::ApplyConfigurationAnswer(const std::uint8_t* payload, std::size_t length) {
    // 'R' answer: header word, status byte, five port words (3..12), enable mask (13..14),
    // sixteen rate codes (15..30).
    constexpr std::size_t kMaskOffset = 13;
    constexpr std::size_t kRatesOffset = 15;
    if (payload == nullptr || length < kRatesOffset + 16) {
        return 0;
    }
    const std::uint16_t mask =
        static_cast<std::uint16_t>(payload[kMaskOffset] | (payload[kMaskOffset + 1] << 8));
    std::uint8_t codes[16];
    std::copy(payload + kRatesOffset, payload + kRatesOffset + 16, codes);
    ApplyConfiguration(mask, codes);
    return 1;
}

} // namespace nereid::recording
