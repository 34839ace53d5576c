#include "instrument/calibration/model/cal_sheet_models.h"

#include "link/instrument_link.h"

namespace nereid::instrument {

int CCalPageAdapter::DialogId() const {
    return m_Page.Scheduled() ? kScheduledPageId : kImmediatePageId;
}

const char* CCalPageAdapter::Caption() const {
    return m_Page.Scheduled() ? "Scheduled" : "Immediate";
}

int CCalPageAdapter::Prepare(std::uint8_t& code, link::CommandRecord& record,
                             std::string& message) {
    CalCommand command;
    std::vector<CalMessage> messages;
    if (m_Page.BuildSend(command, messages) != 1) {
        message = messages.empty() ? std::string(kInvalidDataText) : messages.front().text;
        return kEntryRefused;
    }
    code = command.code;
    record = command.record;
    return kPrepared;
}

int CCalPageAdapter::ShowAnswer(const link::FrameRecord& answer) {
    return m_Page.Decode(answer, m_Link != nullptr && m_Link->LongCalibrationAnswer());
}

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
