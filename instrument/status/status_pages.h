#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <array>
#include <vector>

#include "instrument/sheet/sheet_page.h"
#include "instrument/status/model/drive_status_model.h"
#include "instrument/status/model/status_models.h"

namespace nereid::instrument {

// A status page: one read-only field per value of its model, label beside it (and a unit for
// the state of health), in two columns. It sends its query when it becomes active.
class CFieldsPage : public CSheetPage {
    Q_OBJECT
public:
    CFieldsPage(CPageModel& model, QWidget* parent);
    void Refresh() override;
    void OnActivate(CPropertySheet& sheet) override;
    // The value field of the i-th value, in model order.
    QLineEdit* Field(int index) const { return m_Edits[static_cast<std::size_t>(index)]; }
    int FieldCount() const { return static_cast<int>(m_Edits.size()); }

protected:
    // Builds the labels and fields from the model's values; called by the derived page's
    // constructor once its model exists.
    void BuildFields(int columns, const char* const* units);

private:
    std::vector<QLineEdit*> m_Edits;
};

class CHardPage : public CFieldsPage {
    Q_OBJECT
public:
    explicit CHardPage(QWidget* parent = nullptr);
    CHardwareModel& Hardware() { return m_Model; }
    // Activation re-sends 0xB0, except during the sheet's opening, whose own first 0xB0 covers
    // it.
    void OnActivate(CPropertySheet& sheet) override;

private:
    CHardwareModel m_Model;
};

class CStaPage : public CFieldsPage {
    Q_OBJECT
public:
    explicit CStaPage(QWidget* parent = nullptr);
    CStateOfHealthModel& Health() { return m_Model; }

private:
    CStateOfHealthModel m_Model;
};

class CClocPage : public CFieldsPage {
    Q_OBJECT
public:
    explicit CClocPage(QWidget* parent = nullptr);
    CGpsModel& Gps() { return m_Model; }

private:
    CGpsModel m_Model;
};

// "Drive Status": five rows A..E, columns "Installed", "Drive Type", "Volume Label",
// "Serial Number", "Free Space       (kB)".
class CDriveStatusPage : public CSheetPage {
    Q_OBJECT
public:
    explicit CDriveStatusPage(QWidget* parent = nullptr);
    CDriveStatusModel& Drives() { return m_Model; }
    void Refresh() override;
    void OnActivate(CPropertySheet& sheet) override;
    QCheckBox* Installed(int drive) const { return m_Installed[static_cast<std::size_t>(drive)]; }
    // Column 0 type, 1 label, 2 serial, 3 free space.
    QLineEdit* Cell(int drive, int column) const {
        return m_Cells[static_cast<std::size_t>(drive)][static_cast<std::size_t>(column)];
    }

private:
    CDriveStatusModel m_Model;
    std::array<QCheckBox*, CDriveStatusModel::kDrives> m_Installed{};
    std::array<std::array<QLineEdit*, 4>, CDriveStatusModel::kDrives> m_Cells{};
};

} // namespace nereid::instrument
