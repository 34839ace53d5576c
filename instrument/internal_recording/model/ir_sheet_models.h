#pragma once

#include <cstdint>
#include <string>

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

// Help context of the sheet's HELP button.
constexpr unsigned kInternalRecordingSheetHelpTopic = 98068;

// One Internal Recording page: whichever page sends, the 0x8F record carries all six.
class CIRPageAdapter : public CPageModel {
public:
    CIRPageAdapter(CIRSetupModel& setup, int page) : m_Setup(setup), m_Page(page) {}

    int DialogId() const override;
    const char* Caption() const override;
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
    int ShowAnswer(const link::FrameRecord& answer) override;

private:
    CIRSetupModel& m_Setup;
    int m_Page;
};

} // namespace nereid::instrument
