#include "instrument/configuration/model/port_settings.h"

namespace nereid::instrument {

PortSettings DecodePortWord(std::uint16_t word) {
    PortSettings s;
    s.data = word & 0x0001u;
    s.baud = (word >> 1) & 0x7;
    s.txAckNak = word & 0x0010u;
    s.rxAckNak = word & 0x0020u;
    s.commandResponse = word & 0x0040u;
    s.unsolicited = word & 0x0080u;
    s.protocol = (word >> 8) & 0x7;
    s.format = (word >> 11) & 0xF;
    s.bit15 = word & 0x8000u;
    return s;
}

std::uint16_t EncodePortWord(const PortSettings& s, bool bit15) {
    unsigned word = 0;
    word |= s.data ? 0x0001u : 0u;
    word |= (static_cast<unsigned>(s.baud) & 0x7u) << 1;
    word |= s.txAckNak ? 0x0010u : 0u;
    word |= s.rxAckNak ? 0x0020u : 0u;
    word |= s.commandResponse ? 0x0040u : 0u;
    word |= s.unsolicited ? 0x0080u : 0u;
    word |= (static_cast<unsigned>(s.protocol) & 0x7u) << 8;
    word |= (static_cast<unsigned>(s.format) & 0xFu) << 11;
    word |= bit15 ? 0x8000u : 0u;
    return static_cast<std::uint16_t>(word);
}

int BaudOfPosition(int position) {
    return position >= 0 && position < 8 ? kBaudRates[position] : 0;
}

} // namespace nereid::instrument
