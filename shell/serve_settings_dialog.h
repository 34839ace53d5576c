#pragma once

#include <string>
#include <vector>

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QSettings;

namespace nereid::shell {

// The DataLink hubs of the user's profile, section "SeedLink":
//   DataLinkHubs  "HOST:PORT", several separated by commas (default: none)
// Addresses that do not parse are left out.
std::vector<std::string> LoadDataLinkHubs(QSettings& settings);
void SaveDataLinkHubs(QSettings& settings, const std::vector<std::string>& hubs);
// "a:16000, b" -> {"a:16000", "b"}; false with `why` naming the first address that does not
// parse. Empty text is no hub.
bool ParseHubList(const QString& text, std::vector<std::string>& hubs, QString& why);

// "Serve SeedLink": where the window serves SeedLink and which DataLink hubs (ringserver) get
// every record too. OK keeps the dialog open while a hub address does not parse.
class CServeSettingsDialog : public QDialog {
public:
    CServeSettingsDialog(QWidget* parent, const QString& address,
                         const std::vector<std::string>& hubs);

    QString Address() const;
    const std::vector<std::string>& Hubs() const { return m_Hubs; }

    void accept() override;

private:
    QLineEdit* m_Address = nullptr;
    QLineEdit* m_HubText = nullptr;
    QLabel* m_Error = nullptr;
    std::vector<std::string> m_Hubs;
};

} // namespace nereid::shell
