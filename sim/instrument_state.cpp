#include "sim/instrument_state.h"

#include "sim/byte_order.h"
#include "sim/rate_codes.h"

#include <algorithm>

namespace nereid::sim {

InstrumentState::InstrumentState(InstrumentIdentity identity) : m_Identity(std::move(identity)) {
    ResetDefaults();
}

std::size_t InstrumentState::ConfigCommandLength() const {
    return m_Identity.model == 17 ? kConfigBytes : kShortConfigBytes;
}

bool InstrumentState::ChannelFitted(int channel) const {
    const int n = m_Identity.streams;
    return (channel >= 1 && channel <= n) || (channel >= 9 && channel <= 8 + n);
}

int InstrumentState::StreamRate(int channel) const {
    if (!ChannelFitted(channel))
        return 0;
    const std::uint16_t mask = GetU16(&m_Config[12]);
    if (!(mask & (1u << (channel - 1))))
        return 0;
    return SamplesPerSecond(m_Config[static_cast<std::size_t>(13 + channel)]);
}

void InstrumentState::ResetDefaults() {
    m_Config.fill(0);
    // Local port: data on, 9600 baud, transmit ACK/NAK, command responses, HLCP protocol and
    // HLCP data format; the other ports 9600 baud with data transmission disabled.
    PutU16(&m_Config[2], 0x8A57);
    for (int port = 1; port < 5; ++port)
        PutU16(&m_Config[static_cast<std::size_t>(2 + 2 * port)], 0x8256);
    std::uint16_t enable = 0;
    for (int c = 1; c <= 16; ++c) {
        const bool secondary = c >= 9;
        m_Config[static_cast<std::size_t>(13 + c)] = RateCode(secondary ? 10 : 100);
        if (ChannelFitted(c))
            enable = static_cast<std::uint16_t>(enable | (1u << (c - 1)));
    }
    PutU16(&m_Config[12], enable);
    m_Config[30] = 2;            // GPS sync
    PutU32(&m_Config[31], 3600); // GPS cycle, s
    PutU32(&m_Config[35], 100);  // minimum correction, us
    PutU16(&m_Config[39], 10);   // jam-set threshold, ms
    PutU32(&m_Config[41], 0);    // drift compensation
    if (m_Identity.model == 17) {
        // Primary and secondary data of the fitted channels go out on the Local port.
        std::uint16_t word = 0;
        for (int k = 1; k <= std::min(m_Identity.streams, 6); ++k)
            word = static_cast<std::uint16_t>(word | (1u << (k - 1)) | (1u << (k + 7)));
        PutU16(&m_Config[58], word);
        for (int k = 0; k < 6; ++k) {
            std::uint8_t* r = &m_Config[static_cast<std::size_t>(68 + 14 * k)];
            r[0] = 2;            // STA/LTA
            PutU16(r + 1, 10);   // 0.10 Hz high-pass
            PutU16(r + 3, 2000); // 20 Hz low-pass
            PutU16(r + 5, 1);    // STA 1 s
            PutU16(r + 7, 30);   // LTA 30 s
            PutU16(r + 9, 400);  // ratio 4.00
            PutU16(r + 11, 200); // detrigger 2.00
            r[13] = 1;
        }
    }

    m_Setup.fill(0);
    std::uint16_t channels = 0;
    for (int k = 1; k <= std::min(m_Identity.streams, 6); ++k)
        channels = static_cast<std::uint16_t>(channels | (1u << (k - 1)));
    for (std::size_t at : {3u, 21u, 440u, 463u, 468u}) // the pages' storage drives
        m_Setup[at] = m_Identity.storageDrive;
    m_Setup[2] = 1;            // continuous: immediate
    m_Setup[5] = 0;            // ring buffer
    PutU32(&m_Setup[6], 3600); // one-hour files
    PutU16(&m_Setup[10], 100); // 100 MB
    PutU16(&m_Setup[18], channels);
    m_Setup[20] = 0; // event recording disabled
    PutU16(&m_Setup[22], 10);
    PutU16(&m_Setup[24], 30);
    PutU32(&m_Setup[26], 300);
    PutU16(&m_Setup[30], 10);
    PutU16(&m_Setup[32], 1);
    for (int k = 0; k < 6; ++k)
        PutU16(&m_Setup[static_cast<std::size_t>(40 + 2 * k)], 1);
    PutU16(&m_Setup[54], channels);
    for (int w = 0; w < (m_Identity.blankWindows ? 0 : 16); ++w) {
        std::uint8_t* e = &m_Setup[static_cast<std::size_t>(56 + 24 * w)];
        PutU32(e + 6, 600);
        PutU32(e + 10, 3600);
        PutU32(e + 14, 1);
        PutU32(e + 18, 600);
    }
    PutU16(&m_Setup[441], 0x0003);
    for (int k = 0; k < 10; ++k)
        PutU16(&m_Setup[static_cast<std::size_t>(443 + 2 * k)], 60);
    std::string name = m_Identity.station.substr(0, 4);
    name.resize(4, ' ');
    std::copy(name.begin(), name.end(), m_Setup.begin() + kStationOffset);

    for (int i = 0; i < 33; ++i) {
        m_Runs[static_cast<std::size_t>(i)] = CalibrationRun{};
        m_Runs[static_cast<std::size_t>(i)].index = static_cast<std::uint8_t>(i < 32 ? i : 0);
        m_Runs[static_cast<std::size_t>(i)].signal = static_cast<std::uint8_t>(i < 32 ? 0x80 : 0);
    }
    dampingMask = 0;
    dampingValues.fill(64);
    relays = 0;
    vpp = 0;
    led = 0;
    acquiring = false;
    realtime = false;
    poweredDownDrive = 0;
}

} // namespace nereid::sim
