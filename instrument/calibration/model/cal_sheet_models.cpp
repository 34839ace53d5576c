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

} // namespace nereid::instrument
