#include "recording/stream_list.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace nereid::recording {

int SamplesPerSecondFromRateCode(std::uint8_t code) {
    switch (code) {
    case 20:
        return 10;
    case 21:
        return 20;
    case 22:
        return 40;
    case 23:
        return 50;
    case 24:
        return 60;
    case 25:
        return 80;
    case 30:
        return 100;
    case 31:
        return 120;
    case 32:
        return 125;
    case 33:
        return 200;
    case 34:
        return 250;
    case 35:
        return 500;
    case 40:
        return 1000;
    case 60:
        return 1;
    case 61:
        return 2;
    case 62:
        return 4;
    case 63:
        return 5;
    case 64:
        return 6;
    case 65:
        return 8;
    case 70:
        return 12;
    case 71:
        return 15;
    case 72:
        return 16;
    case 73:
        return 24;
    case 74:
        return 25;
    case 75:
        return 30;
    default:
        return 0;
    }
}

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
