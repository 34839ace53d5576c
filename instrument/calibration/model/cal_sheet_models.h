#pragma once

#include <cstdint>
#include <string>

#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::link {
class CInstrumentLink;
}

namespace nereid::instrument {

// Help context of the sheet's HELP button.
constexpr unsigned kCalibrationSheetHelpTopic = 98040;

// A calibration page as the sheet machinery sees it: Send prepares 0x8C or 0x8D, an 'S'
// answer is decoded in the form the link's long-answer flag says.
class CCalPageAdapter : public CPageModel {
public:
    explicit CCalPageAdapter(CCalPageModel& page) : m_Page(page) {}
    void SetLink(const link::CInstrumentLink* link) { m_Link = link; }

    int DialogId() const override;
    const char* Caption() const override;
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;
    int ShowAnswer(const link::FrameRecord& answer) override;

private:
    CCalPageModel& m_Page;
    const link::CInstrumentLink* m_Link = nullptr;
};

} // namespace nereid::instrument
