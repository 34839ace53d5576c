#include "instrument/configuration/model/com_page_model.h"

namespace nereid::instrument {

CComPageModel::CComPageModel() {
    // Before the first answer: data off, transmit ACK/NAK on, 9600 baud, protocol and format
    // unselected, so that "Send" is refused until the recorder's values are known.
    for (PortSettings& row : m_Rows) {
        row = PortSettings{};
        row.txAckNak = true;
        row.baud = 3;
    }
}

void CComPageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    for (int port = 0; port < kPortCount; ++port) {
        m_Rows[static_cast<std::size_t>(port)] =
            DecodePortWord(record.portWords[static_cast<std::size_t>(port)]);
        m_Rows[static_cast<std::size_t>(port)].bit15 = false;
    }
}

bool CComPageModel::Valid() const {
    for (const PortSettings& row : m_Rows) {
        if (row.format < 0 || row.format > 3 || row.protocol < 0 || row.protocol > 3 ||
            row.baud < 0 || row.baud > 7) {
            return false;
        }
    }
    return true;
}

int CComPageModel::Fill(link::ConfigurationRecord& record) const {
    if (!Valid()) {
        return kInvalidEntry;
    }
    for (int port = 0; port < kPortCount; ++port) {
        record.portWords[static_cast<std::size_t>(port)] =
            EncodePortWord(m_Rows[static_cast<std::size_t>(port)], true);
    }
    return 1;
}

} // namespace nereid::instrument
