#pragma once

#include <cstdint>
#include <string>

#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::link {
class CInstrumentLink;
}

namespace nereid::instrument {

// Dialog identifiers of the Calibration and Internal Recording pages.
enum CalibrationPageId : int {
    kImmediatePageId = 170,
    kScheduledPageId = 171,
    kIRStationNamePageId = 1560,
    kIRContinuousPageId = 1561,
    kIREventPageId = 1562,
    kIRWindowPageId = 1563,
    kIRSohPageId = 1564,
    kIRStatusPageId = 1565,
};

// Help contexts of the two sheets' HELP buttons.
constexpr unsigned kCalibrationSheetHelpTopic = 98040;
constexpr unsigned kInternalRecordingSheetHelpTopic = 98068;

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
