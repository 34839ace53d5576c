#include "instrument/configuration/communication_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "instrument/configuration/config_widgets.h"

namespace nereid::instrument {

CCommunicationPage::CCommunicationPage(CPageModel& page, CCommunicationPageModel& model,
                                       QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Serial Port"), this), 0, 0);
    m_Port = new QComboBox(this);
    m_Port->addItems(Names(CCommunicationPageModel::kPortNames, kPortCount));
    grid->addWidget(m_Port, 0, 1);

    const char* labels[] = {"Protocol", "Baud", "Data Format"};
    m_Protocol = new QComboBox(this);
    m_Protocol->addItems(Names(kProtocolNames, 3));
    m_Baud = new QComboBox(this);
    m_Baud->addItems(BaudTexts());
    m_Format = new QComboBox(this);
    m_Format->addItems(Names(kFormatNames, 3));
    QComboBox* boxes[] = {m_Protocol, m_Baud, m_Format};
    int PortSettings::*fields[] = {&PortSettings::protocol, &PortSettings::baud,
                                   &PortSettings::format};
    for (int i = 0; i < 3; ++i) {
        m_SettingLabels[static_cast<std::size_t>(i)] =
            new QLabel(QString::fromLatin1(labels[i]), this);
        grid->addWidget(m_SettingLabels[static_cast<std::size_t>(i)], i + 1, 0);
        grid->addWidget(boxes[i], i + 1, 1);
        connect(boxes[i], &QComboBox::currentIndexChanged, this, [this, field = fields[i]](int v) {
            m_Model.Port(m_Model.Selected()).settings.*field = v;
            ApplyVisibility();
        });
    }

    const char* ackTexts[] = {"Tx ACK/NAK Enable", "Rx ACK/NAK Enable", "Command Response Enable",
                              "Unsolicited Message Enable"};
    bool PortSettings::*flags[] = {&PortSettings::txAckNak, &PortSettings::rxAckNak,
                                   &PortSettings::commandResponse, &PortSettings::unsolicited};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(ackTexts[i]), this);
        m_AckBoxes[static_cast<std::size_t>(i)] = box;
        grid->addWidget(box, i + 4, 0, 1, 2);
        connect(box, &QCheckBox::toggled, this, [this, field = flags[i]](bool on) {
            m_Model.Port(m_Model.Selected()).settings.*field = on;
        });
    }

    const char* headings[] = {"Channel", "Primary", "Secondary"};
    for (int i = 0; i < 3; ++i) {
        m_TableHeadings[static_cast<std::size_t>(i)] =
            new QLabel(QString::fromLatin1(headings[i]), this);
        grid->addWidget(m_TableHeadings[static_cast<std::size_t>(i)], 0, 3 + i);
    }
    for (int k = 1; k <= 6; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        m_ChannelLabels[i] = new QLabel(QString::number(k), this);
        m_Primary[i] = new QCheckBox(this);
        m_Secondary[i] = new QCheckBox(this);
        grid->addWidget(m_ChannelLabels[i], k, 3);
        grid->addWidget(m_Primary[i], k, 4);
        grid->addWidget(m_Secondary[i], k, 5);
        m_Primary[i]->setEnabled(m_Model.ChannelPresent(k));
        m_Secondary[i]->setEnabled(m_Model.ChannelPresent(k));
        connect(m_Primary[i], &QCheckBox::toggled, this,
                [this, i](bool on) { m_Model.Port(m_Model.Selected()).primary[i] = on; });
        connect(m_Secondary[i], &QCheckBox::toggled, this,
                [this, i](bool on) { m_Model.Port(m_Model.Selected()).secondary[i] = on; });
    }
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(2, 1);
    connect(m_Port, &QComboBox::currentIndexChanged, this, [this](int port) {
        m_Model.Select(port);
        Load();
    });
    Load();
}

void CCommunicationPage::Load() {
    SelectPosition(m_Port, m_Model.Selected());
    const PortValues& v = m_Model.Port(m_Model.Selected());
    SelectPosition(m_Protocol, v.settings.protocol);
    SelectPosition(m_Baud, v.settings.baud);
    SelectPosition(m_Format, v.settings.format);
    SetTicked(m_AckBoxes[0], v.settings.txAckNak);
    SetTicked(m_AckBoxes[1], v.settings.rxAckNak);
    SetTicked(m_AckBoxes[2], v.settings.commandResponse);
    SetTicked(m_AckBoxes[3], v.settings.unsolicited);
    for (std::size_t i = 0; i < 6; ++i) {
        SetTicked(m_Primary[i], v.primary[i]);
        SetTicked(m_Secondary[i], v.secondary[i]);
        m_Primary[i]->setEnabled(m_Model.ChannelPresent(static_cast<int>(i) + 1));
        m_Secondary[i]->setEnabled(m_Model.ChannelPresent(static_cast<int>(i) + 1));
    }
    ApplyVisibility();
}

void CCommunicationPage::ApplyVisibility() {
    const PortVisibility v = m_Model.Visibility();
    for (QLabel* label : m_SettingLabels) {
        label->setVisible(v.settings);
    }
    m_Protocol->setVisible(v.settings);
    m_Baud->setVisible(v.settings);
    m_Format->setVisible(v.settings);
    for (QCheckBox* box : m_AckBoxes) {
        box->setVisible(v.ackBoxes);
    }
    for (QLabel* heading : m_TableHeadings) {
        heading->setVisible(v.channelTable);
    }
    for (std::size_t i = 0; i < 6; ++i) {
        m_ChannelLabels[i]->setVisible(v.channelTable);
        m_Primary[i]->setVisible(v.channelTable);
        m_Secondary[i]->setVisible(v.channelTable);
    }
}

} // namespace nereid::instrument
