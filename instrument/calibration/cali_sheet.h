#pragma once

#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

class CCalPage;
class CImmPage;
class CSchPage;

// The "Calibration" sheet: the immediate run ("Immediate") and the 32 scheduled runs
// ("Scheduled"). It reads the immediate run 300 ms after it opens, the Scheduled page's run
// when that page first shows and whenever its index changes; "Send" starts (0x8C) or cancels
// (0x8D) the active page's run.
class CCaliSheet : public CPropertySheet {
    Q_OBJECT
public:
    static constexpr int kOpeningDelayMs = 300;

    explicit CCaliSheet(const SheetContext& context, QWidget* parent = nullptr);

    CImmPage* ImmediatePage() const { return m_Imm; }
    CSchPage* ScheduledPage() const { return m_Sch; }

    // The expiry of the opening delay (the timer calls it; tests may call it directly).
    void DelayTick();
    bool DelayActive() const { return m_DelayActive; }

protected:
    void OnOpening() override;
    void OnAnswer(std::uint8_t code, const link::FrameRecord& answer) override;
    void OnClosing() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void QueryRun(CCalPage& page);
    void PlaceChrome();

    CImmPage* m_Imm;
    CSchPage* m_Sch;
    CCalPage* m_QueryPage = nullptr;
    QTimer m_Delay;
    bool m_DelayActive = false;
};

} // namespace nereid::instrument
