#include "link/dialogs/connect_dialog.h"

#include "link/dialogs/connection_host.h"
#include "link/dialogs/message_box.h"
#include "link/dialogs/phone_list_editor.h"
#include "link/modem_session.h"
#include "link/port_probe.h"
#include "link/serial_link.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace nereid::link {

namespace {

const std::uint8_t kAckFrame[3] = {0xE3, 0xE1, 0xE5};

} // namespace

CConnectDialog::CConnectDialog(CConnectionHost& host, QWidget* parent)
    : QDialog(parent), m_Host(host), m_Phones(host.PhoneDirectoryPath().toStdString()) {
    setWindowTitle("CONNECT");
    if (CSerialLink* link = m_Host.Link()) {
        m_PortControl = std::make_unique<CSerialPortControl>(*link);
        m_Search = std::make_unique<CDirectSearch>(*link, *m_PortControl);
    }

    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel("Port:", this), 0, 0);
    m_Ports = new QComboBox(this);
    const PortTable& table = m_Host.Ports();
    for (int i = 0; i < table.count; ++i)
        m_Ports->addItem(QString::fromStdString(table.names[static_cast<std::size_t>(i)]));
    if (m_Ports->count() > 0)
        m_Ports->setCurrentIndex(0);
    m_Ports->setMinimumContentsLength(16);
    top->addWidget(m_Ports, 0, 1);
    auto* direct = new QPushButton("DIRECT", this);
    auto* cancel = new QPushButton("CANCEL", this);
    auto* help = new QPushButton("HELP", this);
    m_Dialout = new QPushButton("DIALOUT >>", this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(direct);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    buttons->addWidget(m_Dialout);
    top->addLayout(buttons, 0, 2, 3, 1);
    m_Result = new QLabel(this);
    m_Result->setMinimumWidth(220);
    m_Result->setFrameShape(QFrame::Panel);
    m_Result->setFrameShadow(QFrame::Sunken);
    top->addWidget(m_Result, 1, 0, 1, 2);
    layout->addLayout(top);

    m_ModemSection = new QGroupBox("Modem", this);
    auto* modem = new QGridLayout(m_ModemSection);
    m_Directory = new QListWidget(m_ModemSection);
    modem->addWidget(m_Directory, 0, 0, 5, 1);
    auto* form = new QFormLayout;
    m_Number = new QLineEdit(m_ModemSection);
    m_Number->setMaxLength(static_cast<int>(CPhoneDirectory::kNumberEditLimit));
    form->addRow("Phone Number:", m_Number);
    m_ModemDevice = new QLineEdit(m_Host.ModemDevice(), m_ModemSection);
    m_ModemDevice->setPlaceholderText("the selected port");
    m_ModemDevice->setToolTip("Serial device of the modem, for example /dev/ttyUSB0");
    form->addRow("Modem Device:", m_ModemDevice);
    modem->addLayout(form, 0, 1, 1, 2);
    auto* dial = new QPushButton("Dial", m_ModemSection);
    m_HangupButton = new QPushButton("Hangup", m_ModemSection);
    auto* edit = new QPushButton("Edit Phone List", m_ModemSection);
    modem->addWidget(dial, 1, 1);
    modem->addWidget(m_HangupButton, 1, 2);
    modem->addWidget(edit, 2, 1, 1, 2);
    m_Icon = new QLabel(m_ModemSection);
    m_Icon->setFixedSize(32, 32);
    modem->addWidget(m_Icon, 3, 1);
    layout->addWidget(m_ModemSection);
    m_ModemSection->hide();
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(direct, &QPushButton::clicked, this, [this] { Direct(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(help, &QPushButton::clicked, this, [this] {
        ShowMessage(this, kTellusCaption,
                    "DIRECT searches the listed serial ports at 1200 to 115200 baud until the "
                    "recorder answers. A DirectConnect.txt in the current folder naming COM1 or "
                    "COM2 and a baud rate narrows the search.\nDIALOUT dials the recorder "
                    "through a Hayes modem on the modem device.");
    });
    connect(m_Dialout, &QPushButton::clicked, this, [this] { ToggleDialout(); });
    connect(dial, &QPushButton::clicked, this, [this] { Dial(); });
    connect(m_HangupButton, &QPushButton::clicked, this, [this] { Hangup(); });
    connect(edit, &QPushButton::clicked, this, [this] { EditPhoneList(); });
    connect(m_Directory, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        PickDirectoryEntry(item->data(Qt::UserRole).toInt());
    });

    m_SearchTimer.setInterval(kTickMs);
    connect(&m_SearchTimer, &QTimer::timeout, this, [this] { TickDirectSearch(); });

    LoadDirectory();
    CConnectionHost::ModemObserver observer;
    observer.resultLine = [this](const std::string& text) {
        SetResult(QString::fromStdString(text));
    };
    observer.finished = [this](int result) { ModemFinished(result); };
    m_Host.SetModemObserver(observer);
    if (m_Host.Modem().Busy()) {
        SetResult(QString::fromStdString(m_Host.Modem().ResultText()));
        if (m_Host.Modem().HangingUp())
            m_HangupButton->setText("Wait for Hangup");
    }
}

CConnectDialog::~CConnectDialog() {
    m_Host.SetModemObserver({});
    if (m_Search)
        m_Search->Cancel();
}

void CConnectDialog::reject() {
    m_SearchTimer.stop();
    if (m_Search && m_SearchRunning)
        m_Search->Cancel();
    m_SearchRunning = false;
    QDialog::reject();
}

void CConnectDialog::SetResult(const QString& text) {
    m_Result->setText(text);
}
QString CConnectDialog::ResultText() const {
    return m_Result->text();
}
bool CConnectDialog::DialoutExpanded() const {
    return !m_ModemSection->isHidden();
}

void CConnectDialog::Direct() {
    if (!m_Search || m_Ports->count() == 0) {
        m_Host.SetConnected(0);
        m_Host.ShowConnection("None", 0);
        if (CSerialLink* link = m_Host.Link()) {
            link->Purge();
            link->WriteRaw(kAckFrame, sizeof kAckFrame);
        }
        SetResult(kNoSerialPortText);
        ShowMessage(this, kTellusCaption, kNoSerialPortText);
        return;
    }
    std::vector<std::string> ports;
    for (int i = 0; i < m_Ports->count(); ++i)
        ports.push_back(m_Ports->itemText(i).toStdString());
    m_Search->SetPorts(ports);
    CDirectSearch::Hooks hooks;
    hooks.setConnected = [this](bool on) { m_Host.SetConnected(on ? 1 : 0); };
    hooks.showConnection = [this](const std::string& name, int group) {
        m_Host.ShowConnection(name, group);
    };
    hooks.setStreams = [this](int count) { m_Host.SetStreams(count); };
    hooks.showResult = [this](const std::string& text) { SetResult(QString::fromStdString(text)); };
    m_Search->SetHooks(hooks);
    const int selected = m_Ports->currentIndex() < 0 ? 0 : m_Ports->currentIndex();
    if (m_Search->Start(selected) == kSearchNoPort) {
        ShowMessage(this, kTellusCaption, kNoSerialPortText);
        return;
    }
    m_SearchRunning = true;
    if (!m_ManualTicks)
        m_SearchTimer.start();
}

int CConnectDialog::TickDirectSearch() {
    if (!m_Search || !m_SearchRunning)
        return kSearchRunning;
    const int result = m_Search->Tick();
    if (result != kSearchRunning) {
        m_SearchTimer.stop();
        m_SearchRunning = false;
        FinishDirect(result);
    }
    return result;
}

void CConnectDialog::FinishDirect(int result) {
    if (result == kSearchFailed) {
        ShowMessage(this, kTellusCaption, kConnectionFailedText);
        return;
    }
    if (result != kSearchConnected && result != kSearchNoConfiguration)
        return;
    if (result == kSearchNoConfiguration)
        ShowMessage(this, kTellusCaption, kNoConfigurationText);
    m_Host.SetModelCode(m_Search->ModelCode());
    if (!m_Search->StationName().empty())
        m_Host.SetStationName(m_Search->StationName());
    m_Host.FinishConnection(m_Search->HasConfiguration() ? m_Search->ConfigurationPayload()
                                                         : std::vector<std::uint8_t>{});
    accept();
}

void CConnectDialog::ToggleDialout() {
    const bool expand = !DialoutExpanded();
    m_ModemSection->setVisible(expand);
    m_Dialout->setText(expand ? "DIALOUT <<" : "DIALOUT >>");
}

void CConnectDialog::LoadDirectory() {
    m_Directory->clear();
    if (m_Phones.Load() < 0)
        SetResult("phone.ini cannot be read");
    for (int i = 0; i < CPhoneDirectory::kSlots; ++i) {
        if (m_Phones.IsEmpty(i))
            continue;
        QString name = QString::fromStdString(m_Phones.Name(i));
        if (name.isEmpty())
            name = QString::fromStdString(m_Phones.Number(i));
        auto* item = new QListWidgetItem(name, m_Directory);
        item->setData(Qt::UserRole, i);
    }
}

void CConnectDialog::PickDirectoryEntry(int slot) {
    if (slot < 0 || slot >= CPhoneDirectory::kSlots)
        return;
    m_SelectedSlot = slot;
    m_Number->setText(QString::fromStdString(m_Phones.Number(slot)));
}

QString CConnectDialog::ModemDeviceToUse() const {
    const QString device = m_ModemDevice->text().trimmed();
    return device.isEmpty() ? m_Ports->currentText() : device;
}

void CConnectDialog::Dial() {
    CModemSession& modem = m_Host.Modem();
    if (modem.Busy()) {
        ShowMessage(this, kTellusCaption, kModemAlreadyConnectedText);
        return;
    }
    const QString device = ModemDeviceToUse();
    if (device.isEmpty()) {
        ShowMessage(this, kTellusCaption, kModemInitErrorText);
        return;
    }
    m_Host.SetModemDevice(m_ModemDevice->text().trimmed());
    const int result = modem.Dial(device.toStdString(), m_Number->text().toStdString());
    if (result != CHayesDialler::kDialStarted) {
        ShowMessage(this, kTellusCaption, CModemSession::MessageFor(result));
        return;
    }
    m_Icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
}

void CConnectDialog::Hangup() {
    CSerialLink* link = m_Host.Link();
    m_HangupButton->setText("Wait for Hangup");
    const int started = m_Host.Modem().Hangup([link] {
        if (link)
            link->Close();
    });
    if (started != 1 && !m_Host.Modem().HangingUp())
        m_HangupButton->setText("Hangup");
}

void CConnectDialog::ModemFinished(int result) {
    if (result == kModemConnected || result == kModemNoConfiguration) {
        accept();
        return;
    }
    if (result == kModemCallEnded) {
        m_HangupButton->setText("Hangup");
        m_Icon->clear();
    }
}

void CConnectDialog::EditPhoneList() {
    CPhoneListEditor editor(m_Host.PhoneDirectoryPath(), this);
    editor.exec();
    LoadDirectory();
}

} // namespace nereid::link
