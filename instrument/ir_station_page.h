#pragma once

#include <QWidget>

#include "instrument/ir_station_model.h"

class QLineEdit;

namespace nereid::instrument {

// "Station Name ": the name to send ("Editor") and the name the recorder holds ("Current
// Value").
class CIRDStationNamePage : public QWidget {
    Q_OBJECT
public:
    CIRDStationNamePage(CIRStationModel& model, QWidget* parent = nullptr);
    void Refresh();
    QLineEdit* EditorEdit() const { return m_Editor; }
    QLineEdit* CurrentEdit() const { return m_Current; }

signals:
    void modified();

private:
    CIRStationModel& m_Model;
    QLineEdit* m_Editor = nullptr;
    QLineEdit* m_Current = nullptr;
    bool m_Refreshing = false;
};

} // namespace nereid::instrument
