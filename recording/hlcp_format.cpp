#include "recording/hlcp_format.h"

#include "recording/byte_order.h"

namespace nereid::recording {

namespace {

std::string TextUpToNul(const std::uint8_t* p, std::size_t width) {
    std::string s;
    for (std::size_t i = 0; i < width && p[i] != 0; ++i) {
        s.push_back(static_cast<char>(p[i]));
    }
    return s;
}

} // namespace

std::string ComponentOf(int channelIndex) {
    const int i = channelIndex & 0x0F;
    return std::string(" c") + static_cast<char>('1' + (i & 7)) + (i < 8 ? "p" : "s");
}

bool ParseHlcpHeader(const std::uint8_t* data, std::size_t size, HlcpHeader& h) {
    if (data == nullptr || size < kHlcpHeaderSize || data[17] != kHlcpFormatCode) {
        return false;
    }
    h.name = TextUpToNul(data, 12);
    h.channelIndex = GetLe16(data + 14) & 0x0F;
    h.rateCode = data[18];
    h.rate = RateOfCode(h.rateCode);
    h.startSecond = GetLe32(data + 20);
    h.latitude = GetLeS32(data + 32);
    h.longitude = GetLeS32(data + 36);
    h.elevation = GetLeS32(data + 40);
    h.station = TextUpToNul(data + 272, 4);
    return true;
}

} // namespace nereid::recording
