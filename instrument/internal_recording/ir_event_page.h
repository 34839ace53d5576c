#pragma once

#include "instrument/internal_recording/ir_page.h"
#include "instrument/internal_recording/model/ir_event_model.h"

class QLabel;

namespace nereid::instrument {

// The "Event" page.
class CIRDEventPage : public CIRPage {
    Q_OBJECT
public:
    explicit CIRDEventPage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    void ReadControls() override;
    void SetStreamCount(int n) override;

    QLineEdit* PreEventEdit() const { return m_Pre; }
    QLineEdit* PostEventEdit() const { return m_Post; }
    QLineEdit* TotalVotesEdit() const { return m_Total; }
    QComboBox* VoteCombo(int channel) const { return m_Votes[static_cast<std::size_t>(channel)]; }

private:
    CIREventModel& m_Model;
    QComboBox* m_StartMode = nullptr;
    QLineEdit* m_Pre = nullptr;
    QLineEdit* m_Post = nullptr;
    QLineEdit* m_Max = nullptr;
    QLineEdit* m_TriggerWindow = nullptr;
    QLineEdit* m_Total = nullptr;
    CIRDateEdits m_Start;
    QLabel* m_StartLabel = nullptr;
    QLineEdit* m_Delay = nullptr;
    QComboBox* m_DelayUnit = nullptr;
    QLabel* m_DelayLabel = nullptr;
    std::array<QComboBox*, 6> m_Votes{}; // channels 1..6
    std::array<QLabel*, 6> m_VoteLabels{};
    QComboBox* m_ExtVote = nullptr;
    CIRChannelBoxes m_Channels;
};

} // namespace nereid::instrument
