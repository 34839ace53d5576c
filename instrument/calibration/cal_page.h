#pragma once

#include <array>

#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/calibration/model/cal_sheet_models.h"
#include "instrument/sheet/sheet_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace nereid::instrument {

class CSharedSpin;

// The "Immediate" and "Scheduled" pages of the Calibration sheet: the controls of one
// calibration run, bound to its CCalPageModel.
class CCalPage : public CSheetPage {
    Q_OBJECT
public:
    CCalPage(bool scheduled, QWidget* parent = nullptr);

    CCalPageModel& CalModel() { return m_Model; }
    const CCalPageModel& CalModel() const { return m_Model; }
    // The link whose long-answer flag decides how settings answers decode.
    void SetLink(const link::CInstrumentLink* link) { m_Adapter.SetLink(link); }

    // The recorder's model code and the main window's channel list; rebuilds the signal list,
    // the channel rows and the model-3 groups.
    void Configure(int modelCode, const std::vector<recording::StreamEntry>& streams,
                   int streamCount);

    // Shows the model's values in the controls (after an answer was decoded).
    void Refresh() override;
    // Reads the edits into the model as the page is read before a Send.
    void ReadControls();
    int Collect(std::string& message) override;
    void OnActivate(CPropertySheet& sheet) override;
    void OnSheetOpened(CPropertySheet& sheet) override;

    // Controls, for the sheet and the tests.
    QComboBox* SignalCombo() const { return m_Signal; }
    QLineEdit* DurationEdit() const { return m_Duration; }
    QComboBox* DurationUnitCombo() const { return m_DurationUnit; }
    QLineEdit* AmplitudeEdit() const { return m_Amplitude; }
    QLineEdit* FrequencyEdit() const { return m_Frequency; }
    QRadioButton* OnRadio() const { return m_On; }
    QRadioButton* OffRadio() const { return m_Off; }
    QCheckBox* RowEnable(int row) const { return m_RowEnable[static_cast<std::size_t>(row)]; }
    QRadioButton* RowMode(int row, int mode) const;
    QGroupBox* DampingGroup() const { return m_DampingGroup; }
    QCheckBox* DampingBox(int channel) const {
        return m_Damping[static_cast<std::size_t>(channel)];
    }
    QCheckBox* NormalModeBox() const { return m_Normal; }
    QCheckBox* DigitalModeBox() const { return m_Digital; }
    QComboBox* IndexCombo() const { return m_Index; }
    QLineEdit* IntervalEdit() const { return m_Interval; }
    QComboBox* IntervalUnitCombo() const { return m_IntervalUnit; }
    QLineEdit* RepetitionsEdit() const { return m_Repetitions; }
    // Month, day, year, hour, minute, second.
    QLineEdit* DateEdit(int field) const { return m_Date[static_cast<std::size_t>(field)]; }
    CSharedSpin* DateSpin() const { return m_DateSpin; }
    CSharedSpin* TimeSpin() const { return m_TimeSpin; }

signals:
    // A message box the page asks for (caption, text).
    void message(const QString& caption, const QString& text);
    // The operator changed something.
    void modified();
    // The Scheduled page's index changed: its run is to be read.
    void indexChanged(int index);
    // The Scheduled page became active for the first time since the sheet opened.
    void firstActivated();

private:
    void Build();
    void MarkModified();
    void EnableValueControls();
    void ShowMessages(const std::vector<CalMessage>& messages);
    void OnDurationLeft();
    void OnIntervalLeft();
    void OnRepetitionsLeft();

    CCalPageModel m_Model;
    CCalPageAdapter m_Adapter;
    bool m_Refreshing = false; // a change the page makes itself marks nothing modified
    bool m_Activated = false;
    QComboBox* m_Signal = nullptr;
    QLineEdit* m_Duration = nullptr;
    QComboBox* m_DurationUnit = nullptr;
    QLineEdit* m_Amplitude = nullptr;
    QLineEdit* m_Frequency = nullptr;
    QRadioButton* m_On = nullptr;
    QRadioButton* m_Off = nullptr;
    QButtonGroup* m_RunGroup = nullptr;
    std::array<QCheckBox*, kCalChannelRows> m_RowEnable{};
    std::array<QButtonGroup*, kCalChannelRows> m_RowModes{};
    std::array<QWidget*, kCalChannelRows> m_RowWidgets{};
    QGroupBox* m_DampingGroup = nullptr;
    QGroupBox* m_ControlGroup = nullptr;
    std::array<QCheckBox*, kCalChannelRows> m_Damping{};
    QCheckBox* m_Normal = nullptr;
    QCheckBox* m_Digital = nullptr;
    QComboBox* m_Index = nullptr;
    QLineEdit* m_Interval = nullptr;
    QComboBox* m_IntervalUnit = nullptr;
    QLineEdit* m_Repetitions = nullptr;
    std::array<QLineEdit*, 6> m_Date{};
    CSharedSpin* m_DateSpin = nullptr;
    CSharedSpin* m_TimeSpin = nullptr;
};

// "Immediate" (`CImmPage`) and "Scheduled" (`CSchPage`).
class CImmPage : public CCalPage {
    Q_OBJECT
public:
    explicit CImmPage(QWidget* parent = nullptr) : CCalPage(false, parent) {}
};

class CSchPage : public CCalPage {
    Q_OBJECT
public:
    explicit CSchPage(QWidget* parent = nullptr) : CCalPage(true, parent) {}
};

} // namespace nereid::instrument
