#include "instrument/internal_recording/model/ir_station_model.h"

namespace nereid::instrument {

bool CIRStationModel::ValidText(const std::string& text) {
    if (text.size() > 4) {
        return false;
    }
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

void CIRStationModel::SetEditorText(const std::string& text) {
    m_Editor = text.substr(0, 4);
    m_Buffer.fill(' ');
    for (std::size_t k = 0; k < m_Editor.size(); ++k) {
        m_Buffer[k] = m_Editor[k];
    }
}

void CIRStationModel::Decode(const link::InternalRecordingRecord& record) {
    m_Buffer = record.stationName;
    m_Received = record.stationName;
    m_Editor.clear();
}

void CIRStationModel::Encode(link::InternalRecordingRecord& record) const {
    record.stationName = m_Buffer;
}

} // namespace nereid::instrument
