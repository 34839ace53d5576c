#include "instrument/configuration/com_page.h"

#include <QGridLayout>
#include <QLabel>

#include "instrument/configuration/config_widgets.h"

namespace nereid::instrument {

QStringList BaudTexts() {
    QStringList list;
    for (int baud : kBaudRates) {
        list << QString::number(baud);
    }
    return list;
}

CComPage::CComPage(CPageModel& page, CComPageModel& model, QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* grid = new QGridLayout(this);
    const char* headings[] = {"Port", "Data", "Baud", "Tx", "Rx", "C", "U", "Protocol", "Format"};
    for (int col = 0; col < 9; ++col) {
        grid->addWidget(new QLabel(QString::fromLatin1(headings[col]), this), 0, col);
    }
    for (int port = 0; port < kPortCount; ++port) {
        Row& row = m_Rows[static_cast<std::size_t>(port)];
        const int line = port + 1;
        grid->addWidget(new QLabel(QString::fromLatin1(CComPageModel::kRowNames[port]), this), line,
                        0);
        row.data = new QCheckBox(this);
        row.baud = new QComboBox(this);
        row.baud->addItems(BaudTexts());
        row.tx = new QCheckBox(this);
        row.rx = new QCheckBox(this);
        row.command = new QCheckBox(this);
        row.unsolicited = new QCheckBox(this);
        row.protocol = new QComboBox(this);
        row.protocol->addItems(Names(kProtocolNames, 3));
        row.format = new QComboBox(this);
        row.format->addItems(Names(kFormatNames, 3));
        QWidget* cells[] = {row.data,    row.baud,        row.tx,       row.rx,
                            row.command, row.unsolicited, row.protocol, row.format};
        for (int col = 0; col < 8; ++col) {
            grid->addWidget(cells[col], line, col + 1);
        }
        auto flag = [this, port](QCheckBox* box, bool PortSettings::*field) {
            connect(box, &QCheckBox::toggled, this, [this, port, field](bool on) {
                m_Model.Row(port).*field = on;
                m_Model.MarkModified();
            });
        };
        flag(row.data, &PortSettings::data);
        flag(row.tx, &PortSettings::txAckNak);
        flag(row.rx, &PortSettings::rxAckNak);
        flag(row.command, &PortSettings::commandResponse);
        flag(row.unsolicited, &PortSettings::unsolicited);
        auto list = [this, port](QComboBox* box, int PortSettings::*field) {
            connect(box, &QComboBox::currentIndexChanged, this, [this, port, field](int index) {
                m_Model.Row(port).*field = index;
                m_Model.MarkModified();
            });
        };
        list(row.baud, &PortSettings::baud);
        list(row.protocol, &PortSettings::protocol);
        list(row.format, &PortSettings::format);
    }
    grid->setRowStretch(kPortCount + 1, 1);
    Load();
}

void CComPage::Load() {
    for (int port = 0; port < kPortCount; ++port) {
        const PortSettings& s = m_Model.Row(port);
        Row& row = m_Rows[static_cast<std::size_t>(port)];
        SetTicked(row.data, s.data);
        SetTicked(row.tx, s.txAckNak);
        SetTicked(row.rx, s.rxAckNak);
        SetTicked(row.command, s.commandResponse);
        SetTicked(row.unsolicited, s.unsolicited);
        SelectPosition(row.baud, s.baud);
        SelectPosition(row.protocol, s.protocol);
        SelectPosition(row.format, s.format);
    }
}

} // namespace nereid::instrument
