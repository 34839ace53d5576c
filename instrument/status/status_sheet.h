#pragma once

#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

class CHardPage;
class CStaPage;
class CClocPage;
class CDriveStatusPage;

// The Status sheet: "Hardware", "State of Health", "GPS Information" and, for model code 17,
// "Drive Status". It sends the hardware query when it opens, re-sends the active page's query
// on REFRESH, on a tab change and every 6 s, and stops the 6 s refresh after the fourth
// "No Response" in a row.
class CStatusSheet : public CPropertySheet {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 6000;

    explicit CStatusSheet(const SheetContext& context, QWidget* parent = nullptr);

    // One expiry of the 6 s refresh timer (the timer calls it; tests may call it directly).
    void RefreshTick();
    bool RefreshTimerActive() const { return m_RefreshActive; }

    CHardPage* HardPage() const { return m_Hard; }
    CStaPage* StaPage() const { return m_Sta; }
    CClocPage* ClocPage() const { return m_Cloc; }
    CDriveStatusPage* DrivePage() const { return m_Drives; }

protected:
    void OnOpening() override;
    void OnAnswer(std::uint8_t code, const link::FrameRecord& answer) override;
    void OnFinished(int result) override;
    void OnClosing() override;

private:
    void SendActiveQuery();

    CHardPage* m_Hard;
    CStaPage* m_Sta;
    CClocPage* m_Cloc;
    CDriveStatusPage* m_Drives;
    QTimer m_RefreshTimer;
    bool m_RefreshActive = false;
};

} // namespace nereid::instrument
