#pragma once

#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

class CColdPage;
class CWarmPage;
class CPowPage;
class CFluPage;
class CPowerDownDrive;
class CAcqPage;
class CRelPage;
class CVppPage;
class CLedPage;
class CRealTimeDataPC;
class CDampResPage;
class CAdcOffsetCalPage;

// The Command sheet: one page per order. EXECUTE sends the active page's order; the damping
// page (model code 3) has its own Send buttons and reads the recorder's settings with 0xBB.
// "Power Down Drive" and "Real Time Data to PC" are kept for model code 17 only.
class CCommandSheet : public CPropertySheet {
    Q_OBJECT
public:
    explicit CCommandSheet(const SheetContext& context, QWidget* parent = nullptr);

    CRelPage* RelPage() const { return m_Relays; }
    CDampResPage* DampPage() const { return m_Damping; }

protected:
    void OnAnswer(std::uint8_t code, const link::FrameRecord& answer) override;

private:
    CRelPage* m_Relays;
    CDampResPage* m_Damping;
};

} // namespace nereid::instrument
