#include "instrument/configuration/model/communication_page_model.h"

#include <cstdlib>

namespace nereid::instrument {

void CCommunicationPageModel::SetStreams(const recording::CStreamList& streams) {
    m_Present.fill(false);
    for (const recording::StreamEntry& s : streams.Streams()) {
        const int c = std::atoi(s.number.c_str());
        if (c >= 1 && c <= 6) {
            m_Present[static_cast<std::size_t>(c - 1)] = true;
        }
    }
}

void CCommunicationPageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    for (std::size_t p = 0; p < kPortCount; ++p) {
        PortValues& v = m_Ports[p];
        v.settings = DecodePortWord(record.portWords[p]);
        const std::uint16_t word = record.channelWords[p];
        for (std::size_t k = 0; k < 6; ++k) {
            v.primary[k] = (word >> k) & 1u;
            v.secondary[k] = (word >> (k + 8)) & 1u;
        }
    }
    m_Received = m_Ports;
}

void CCommunicationPageModel::Select(int port) {
    if (port >= 0 && port < kPortCount) {
        m_Selected = port;
    }
}

PortVisibility CCommunicationPageModel::Visibility() const {
    const PortSettings& s = Port(m_Selected).settings;
    PortVisibility v;
    v.settings = s.data;
    v.ackBoxes = s.data && s.protocol == kHlcpProtocol;
    v.channelTable = s.data && s.format == kHlcpFormat;
    return v;
}

int CCommunicationPageModel::Fill(link::ConfigurationRecord& record) const {
    for (std::size_t p = 0; p < kPortCount; ++p) {
        PortSettings s = m_Ports[p].settings;
        // The data-enable bit is not editable on this page: it goes back as received.
        s.data = m_Received[p].settings.data;
        // Bit 15 has no control here; the recorder gets back what it sent.
        record.portWords[p] = EncodePortWord(s, m_Received[p].settings.bit15);
        unsigned word = 0;
        for (std::size_t k = 0; k < 6; ++k) {
            word |= m_Ports[p].primary[k] ? 1u << k : 0u;
            word |= m_Ports[p].secondary[k] ? 1u << (k + 8) : 0u;
        }
        record.channelWords[p] = static_cast<std::uint16_t>(word);
    }
    return 1;
}

} // namespace nereid::instrument
