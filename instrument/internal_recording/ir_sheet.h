#pragma once

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"
#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

class CIRPage;
class CIRDStationNamePage;
class CIRDContinuousPage;
class CIRDEventPage;
class CIRDWindowPage;
class CIRDSOHPage;
class CIRDStatusPage;

// The "Internal Recording" sheet: reads the drive status (0xB7) and then the setup (0xB5) when
// it opens, and sends the whole setup of all six pages (0x8F) from whichever page is active.
class CIRSheet : public CPropertySheet {
    Q_OBJECT
public:
    explicit CIRSheet(const SheetContext& context, QWidget* parent = nullptr);

    CIRSetupModel& Setup() { return m_Setup; }
    CDriveNames& Drives() { return SharedDriveNames(); }

    CIRDStationNamePage* StationPage() const { return m_Station; }
    CIRDContinuousPage* ContinuousPage() const { return m_Continuous; }
    CIRDEventPage* EventPage() const { return m_Event; }
    CIRDWindowPage* WindowPage() const { return m_Window; }
    CIRDSOHPage* SohPage() const { return m_Soh; }
    CIRDStatusPage* StatusPage() const { return m_Status; }

protected:
    void OnOpening() override;
    void OnAnswer(std::uint8_t code, const link::FrameRecord& answer) override;
    void OnFinished(int result) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RefreshAll();
    void PlaceChrome();
    void OnTabLeft(int index);

    CIRSetupModel m_Setup;
    CIRDStationNamePage* m_Station;
    CIRDContinuousPage* m_Continuous;
    CIRDEventPage* m_Event;
    CIRDWindowPage* m_Window;
    CIRDSOHPage* m_Soh;
    CIRDStatusPage* m_Status;
    int m_ShownTab = 0;
};

} // namespace nereid::instrument
