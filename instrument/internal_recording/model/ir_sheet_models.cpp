#include "instrument/internal_recording/model/ir_sheet_models.h"

#include <variant>

namespace nereid::instrument {

int CIRPageAdapter::DialogId() const {
    return kIRStationNamePageId + m_Page;
}

const char* CIRPageAdapter::Caption() const {
    return m_Page >= 0 && m_Page < kIRPageCount ? kIRPageTitles[m_Page] : "";
}

int CIRPageAdapter::Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) {
    if (m_Setup.PrepareSend(m_Page, message) != 1) {
        return kEntryRefused;
    }
    code = kWriteSetupCode;
    record = link::CommandRecord{};
    const link::InternalRecordingRecord setup = m_Setup.Encode();
    m_Setup.KeepSent(setup);
    record.params = setup;
    return kPrepared;
}

int CIRPageAdapter::ShowAnswer(const link::FrameRecord& answer) {
    const auto* setup = std::get_if<link::InternalRecordingRecord>(&answer.decoded);
    if (setup == nullptr) {
        return 0;
    }
    m_Setup.Decode(*setup);
    return 1;
}

} // namespace nereid::instrument
