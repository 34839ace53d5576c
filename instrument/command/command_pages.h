#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "instrument/command/model/command_models.h"
#include "instrument/sheet/sheet_page.h"

namespace nereid::instrument {

// A page for an order without controls: a line saying what EXECUTE does.
class COrderPage : public CSheetPage {
    Q_OBJECT
public:
    COrderPage(CPlainOrderModel model, const QString& text, QWidget* parent = nullptr);

private:
    CPlainOrderModel m_Order;
};

class CColdPage : public COrderPage {
    Q_OBJECT
public:
    explicit CColdPage(QWidget* parent = nullptr);
};
class CWarmPage : public COrderPage {
    Q_OBJECT
public:
    explicit CWarmPage(QWidget* parent = nullptr);
};
class CPowPage : public COrderPage {
    Q_OBJECT
public:
    explicit CPowPage(QWidget* parent = nullptr);
};
class CFluPage : public COrderPage {
    Q_OBJECT
public:
    explicit CFluPage(QWidget* parent = nullptr);
};

// A page of radio buttons bound to a CChoiceModel; no button is chosen when the sheet opens.
class CChoicePage : public CSheetPage {
    Q_OBJECT
public:
    CChoicePage(CChoiceModel& model, QWidget* parent);
    int Collect(std::string& message) override;
    void Refresh() override;
    void OnSheetOpened(CPropertySheet& sheet) override;
    QRadioButton* Choice(int index) const;

protected:
    // Adds the radio buttons, in choice order, under an optional group title.
    void BuildChoices(const QString& title, const char* const* texts, int count);

private:
    CChoiceModel& m_Choices;
    QButtonGroup* m_Group = nullptr;
};

class CPowerDownDrive : public CChoicePage {
    Q_OBJECT
public:
    explicit CPowerDownDrive(QWidget* parent = nullptr);

private:
    CPowerDownDriveModel m_Model;
};

class CAcqPage : public CChoicePage {
    Q_OBJECT
public:
    explicit CAcqPage(QWidget* parent = nullptr);

private:
    CAcquisitionModel m_Model;
};

class CVppPage : public CChoicePage {
    Q_OBJECT
public:
    explicit CVppPage(QWidget* parent = nullptr);

private:
    CSwitchModel m_Model = MakeVppModel();
};

class CLedPage : public CChoicePage {
    Q_OBJECT
public:
    explicit CLedPage(QWidget* parent = nullptr);

private:
    CSwitchModel m_Model = MakeLedModel();
};

class CRealTimeDataPC : public CChoicePage {
    Q_OBJECT
public:
    explicit CRealTimeDataPC(QWidget* parent = nullptr);

private:
    CRealTimeModel m_Model;
};

class CAdcOffsetCalPage : public CSheetPage {
    Q_OBJECT
public:
    explicit CAdcOffsetCalPage(QWidget* parent = nullptr);

private:
    CAdcOffsetModel m_Model;
};

// "Relays": sixteen rows, of which the first half-stream-count are shown, labelled from the
// stream list; each row an "Enable" box and "Sig", "L.B.", "Short".
class CRelPage : public CSheetPage {
    Q_OBJECT
public:
    explicit CRelPage(QWidget* parent = nullptr);
    void OnSheetOpened(CPropertySheet& sheet) override;
    int Collect(std::string& message) override;
    void Refresh() override;
    CRelayModel& Relays() { return m_Model; }
    QCheckBox* Enable(int row) const { return m_Rows[static_cast<std::size_t>(row)].enable; }
    QRadioButton* Position(int row, int position) const {
        return m_Rows[static_cast<std::size_t>(row)].positions[static_cast<std::size_t>(position)];
    }
    QLabel* RowLabel(int row) const { return m_Rows[static_cast<std::size_t>(row)].label; }

private:
    struct RowWidgets {
        QLabel* label = nullptr;
        QCheckBox* enable = nullptr;
        std::array<QRadioButton*, 3> positions{};
        QButtonGroup* group = nullptr;
    };
    CRelayModel m_Model;
    std::array<RowWidgets, CRelayModel::kMaxRows> m_Rows{};
};

// "Damping Resistor Control and Status" (model code 3): eight enables and scale values, and
// three "Send" buttons of its own. The first activation of each opening asks for the
// recorder's settings (0xBB).
class CDampResPage : public CSheetPage {
    Q_OBJECT
public:
    explicit CDampResPage(QWidget* parent = nullptr);
    void OnSheetOpened(CPropertySheet& sheet) override;
    void OnActivate(CPropertySheet& sheet) override;
    void Refresh() override;
    int Collect(std::string& message) override;
    CDampingModel& Damping() { return m_Model; }

    QCheckBox* Enable(int k) const { return m_Enables[static_cast<std::size_t>(k)]; }
    QLineEdit* Value(int k) const { return m_Values[static_cast<std::size_t>(k)]; }
    QPushButton* SendEnables() const { return m_SendEnables; }
    QPushButton* SendValues() const { return m_SendValues; }
    QPushButton* SendBoth() const { return m_SendBoth; }

private:
    // Runs one of the three Send buttons through the sheet.
    void Send(int which);

    CDampingModel m_Model;
    std::array<QCheckBox*, CDampingModel::kChannels> m_Enables{};
    std::array<QLineEdit*, CDampingModel::kChannels> m_Values{};
    QPushButton* m_SendEnables = nullptr;
    QPushButton* m_SendValues = nullptr;
    QPushButton* m_SendBoth = nullptr;
    bool m_Asked = false;
};

} // namespace nereid::instrument
