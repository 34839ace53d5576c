#include "shell/serve_settings_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

#include "datalink/push_service.h"

namespace nereid::shell {

namespace {

const char* const kHubsKey = "SeedLink/DataLinkHubs";

} // namespace

bool ParseHubList(const QString& text, std::vector<std::string>& hubs, QString& why) {
    hubs.clear();
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
        const std::string address = part.trimmed().toStdString();
        if (address.empty()) {
            continue;
        }
        std::string host;
        int port = 0;
        std::string reason;
        if (!datalink::ParseHubAddress(address, host, port, reason)) {
            why = QString::fromStdString("Not a DataLink hub address: " + reason);
            return false;
        }
        hubs.push_back(address);
    }
    return true;
}

std::vector<std::string> LoadDataLinkHubs(QSettings& settings) {
    std::vector<std::string> hubs;
    for (const QString& part : settings.value(kHubsKey, QString()).toString().split(',')) {
        std::vector<std::string> one;
        QString why;
        if (ParseHubList(part, one, why)) {
            hubs.insert(hubs.end(), one.begin(), one.end());
        }
    }
    return hubs;
}

void SaveDataLinkHubs(QSettings& settings, const std::vector<std::string>& hubs) {
    QStringList parts;
    for (const std::string& hub : hubs) {
        parts << QString::fromStdString(hub);
    }
    settings.setValue(kHubsKey, parts.join(","));
}

CServeSettingsDialog::CServeSettingsDialog(QWidget* parent, const QString& address,
                                           const std::vector<std::string>& hubs)
    : QDialog(parent), m_Hubs(hubs) {
    setWindowTitle("Serve SeedLink");
    setObjectName("serveSettings");
    m_Address = new QLineEdit(address, this);
    m_Address->setObjectName("serveAddress");
    QStringList hubTexts;
    for (const std::string& hub : hubs) {
        hubTexts << QString::fromStdString(hub);
    }
    m_HubText = new QLineEdit(hubTexts.join(", "), this);
    m_HubText->setObjectName("dataLinkHubs");
    m_HubText->setPlaceholderText("none");
    m_HubText->setToolTip("ringserver hubs that get every record too, HOST:PORT, separated by "
                          "commas; the port is 16000 when left out");
    m_Error = new QLabel(this);
    m_Error->setObjectName("serveSettingsError");
    m_Error->setStyleSheet("color: #b00000");
    m_Error->setWordWrap(true);
    // Room for two hub addresses side by side (pixels).
    m_HubText->setMinimumWidth(280);
    auto* form = new QFormLayout;
    form->addRow("Serve on (HOST:PORT):", m_Address);
    form->addRow("Push to DataLink hubs:", m_HubText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CServeSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CServeSettingsDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_Error);
    layout->addWidget(buttons);
    m_Address->setFocus();
}

QString CServeSettingsDialog::Address() const {
    return m_Address->text().trimmed();
}

void CServeSettingsDialog::accept() {
    QString why;
    std::vector<std::string> hubs;
    if (!ParseHubList(m_HubText->text(), hubs, why)) {
        m_Error->setText(why);
        m_HubText->setFocus();
        return;
    }
    m_Hubs = std::move(hubs);
    m_Error->clear();
    QDialog::accept();
}

} // namespace nereid::shell
