#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QString>

namespace nereid::link {

class CSerialLink;
class CModemSession;
struct PortTable;

// What the connection dialogs need of the main window.
class CConnectionHost {
public:
    virtual ~CConnectionHost() = default;

    // The one link; nullptr when it could not be created.
    virtual CSerialLink* Link() = 0;
    virtual const PortTable& Ports() const = 0;

    virtual void SetConnected(int flag) = 0;
    virtual void ShowConnection(const std::string& name, int group) = 0;
    virtual void SetStreams(int count) = 0;
    virtual void SetModelCode(int code) = 0;
    virtual void SetStationName(const std::string& name) = 0;
    virtual void SetStatusText(int pane, const QString& text) = 0;
    // A connection was made: apply the configuration answer (an empty payload when there was
    // none) to the stream list and rebuild the channel table.
    virtual void FinishConnection(const std::vector<std::uint8_t>& configurationPayload) = 0;

    // The modem call, which outlives the dialog.
    virtual CModemSession& Modem() = 0;
    // Receives the modem's result-line texts and final results while a dialog shows them;
    // an empty function detaches.
    struct ModemObserver {
        std::function<void(const std::string& text)> resultLine;
        // A ModemSessionResult, once per connection start or ended call.
        std::function<void(int result)> finished;
    };
    virtual void SetModemObserver(ModemObserver observer) = 0;
    // The modem device setting; empty means "the port selected in the dialog".
    virtual QString ModemDevice() const = 0;
    virtual void SetModemDevice(const QString& device) = 0;
    // Full path of phone.ini.
    virtual QString PhoneDirectoryPath() const = 0;
};

} // namespace nereid::link
