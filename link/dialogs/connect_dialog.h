#pragma once

#include <memory>

#include <QDialog>
#include <QTimer>

#include "link/direct_search.h"
#include "link/phone_directory.h"
#include "link/serial_port_control.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace nereid::link {

class CConnectionHost;

// The "CONNECT" dialog: a direct connection found by searching the listed ports and baud rates
// ("DIRECT"), or a dial-out call through a Hayes modem in the section that "DIALOUT >>" opens.
// It ends with OK once a recorder answered (also when its configuration did not come).
class CConnectDialog : public QDialog {
public:
    static constexpr int kTickMs = 100;

    explicit CConnectDialog(CConnectionHost& host, QWidget* parent = nullptr);
    ~CConnectDialog() override;

    // The buttons, callable from tests as a click.
    void Direct();
    void ToggleDialout();
    void Dial();
    void Hangup();
    void EditPhoneList();
    // One tick of the direct search; its timer calls it every 100 ms while a search runs.
    // Returns the DirectSearchResult of the tick.
    int TickDirectSearch();
    // Stops the search timer so that a caller can drive TickDirectSearch itself.
    void SetManualTicks(bool manual) { m_ManualTicks = manual; }
    // As a double-click on a phone directory entry.
    void PickDirectoryEntry(int slot);

    bool DialoutExpanded() const;
    bool SearchRunning() const { return m_SearchRunning; }
    QString ResultText() const;
    QComboBox* PortList() const { return m_Ports; }
    QLineEdit* PhoneNumber() const { return m_Number; }
    QLineEdit* ModemDevice() const { return m_ModemDevice; }
    QListWidget* DirectoryList() const { return m_Directory; }
    QPushButton* DialoutButton() const { return m_Dialout; }
    QPushButton* HangupButton() const { return m_HangupButton; }
    CDirectSearch& Search() { return *m_Search; }

    // CANCEL: stops a running search; a modem call stands on.
    void reject() override;

private:
    void SetResult(const QString& text);
    void LoadDirectory();
    void FinishDirect(int result);
    void ModemFinished(int result);
    QString ModemDeviceToUse() const;

    CConnectionHost& m_Host;
    std::unique_ptr<CSerialPortControl> m_PortControl;
    std::unique_ptr<CDirectSearch> m_Search;
    QTimer m_SearchTimer;
    bool m_SearchRunning = false;
    bool m_ManualTicks = false;
    CPhoneDirectory m_Phones;
    int m_SelectedSlot = -1;

    QComboBox* m_Ports;
    QLabel* m_Result;
    QPushButton* m_Dialout;
    QGroupBox* m_ModemSection;
    QListWidget* m_Directory;
    QLineEdit* m_Number;
    QLineEdit* m_ModemDevice;
    QPushButton* m_HangupButton;
    QLabel* m_Icon;
};

} // namespace nereid::link
