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

int RateOfCode(int code) {
    switch (code) {
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
        return 10;
    }
}

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
