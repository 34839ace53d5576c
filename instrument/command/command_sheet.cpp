#include "instrument/command/command_sheet.h"

#include "instrument/command/command_pages.h"
#include "link/answer_records.h"

namespace nereid::instrument {

CCommandSheet::CCommandSheet(const SheetContext& context, QWidget* parent)
    : CPropertySheet(kCommandSheet, "Command", context, parent), m_Relays(new CRelPage),
      m_Damping(new CDampResPage) {
    AddPage(new CColdPage);
    AddPage(new CWarmPage);
    AddPage(new CPowPage);
    AddPage(new CFluPage);
    AddPage(new CPowerDownDrive);
    AddPage(new CAcqPage);
    AddPage(m_Relays);
    AddPage(new CVppPage);
    AddPage(new CLedPage);
    AddPage(new CRealTimeDataPC);
    AddPage(m_Damping);
    AddPage(new CAdcOffsetCalPage);
    resize(640, 420);
}

void CCommandSheet::OnAnswer(std::uint8_t code, const link::FrameRecord& answer) {
    // Only the damping query carries data; the orders' answers are plain acknowledgements.
    if (code == 0xBB && m_Damping->Model().ShowAnswer(answer) == 1)
        m_Damping->Refresh();
}

} // namespace nereid::instrument
