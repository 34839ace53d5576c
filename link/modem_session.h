#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/hayes_dialler.h"
#include "link/instrument_link.h"

namespace nereid::link {

// Ticks (100 ms) of the modem connection start.
constexpr int kModemWakeTicks = 10;           // between the carriage returns after CONNECT
constexpr int kModemHardwareResendTicks = 20; // 0xB0 again while no 'P' came
constexpr int kModemConfigurationTicks = 200; // 20 s for the configuration answer

inline constexpr const char* kModemSyncText = "-SYNC-";
inline constexpr const char* kModemConfigurationText = "-CFG-";
inline constexpr const char* kModemAlreadyConnectedText =
    "The NR_UTIL is already connected through the modem.\n Please hangup first!";
inline constexpr const char* kModemNoNumberText =
    "Double click a site to select a phone number to dial!";
inline constexpr const char* kModemInitErrorText = "Modem Line Intialization Error!";
inline constexpr const char* kModemDropErrorText = "Error Dropping Call";
inline constexpr const char* kModemBadNumberText =
    "The phone number may hold only digits, spaces and the dial characters , ; W P T * # - ( ) "
    "! @";

// Results of CModemSession::Tick besides kModemRunning.
enum ModemSessionResult : int {
    kModemRunning = 0,
    kModemConnected = 1,       // the configuration came
    kModemNoConfiguration = 2, // "Unable To Get Configuration"
    kModemCallEnded = -1,      // busy, no carrier, hung up, ...
};

// A dial-out connection: places the call with the Hayes dialler, hands the connected line to
// the link, wakes the recorder's modem port (carriage return, 1 s, carriage return, 1 s,
// "3" and carriage return), then the connection start: 0xB0 until a 'P' answer (again every
// 20 ticks, without overall limit while the call stands), then 0xB2 for up to 200 ticks.
// It lives as long as the main window, so that a standing call survives the dialog. No toolkit.
class CModemSession : private CDiallerListener {
public:
    struct Hooks {
        std::function<void(const std::string& text)> statusText; // call progress, pane 1
        std::function<void(const std::string& text)> showResult; // the dialog's result line
        // Hands the descriptor of the connected line to the link (AttachModemPort).
        std::function<void(int fd)> attachPort;
        std::function<void(bool connected)> setConnected;
        std::function<void(const std::string& name, int group)> showConnection;
        std::function<void(int streamCount)> setStreams;
        // The standing call was lost: give up the link's port, leave the connected state and
        // stop the real-time intake. Called before "Disconnect" is shown.
        std::function<void()> callDropped;
    };

    CModemSession(CInstrumentLink& link, CModemLine& line);

    void SetHooks(Hooks hooks) { m_Hooks = std::move(hooks); }
    // The name shown for a modem connection ("com2", as the link shows it).
    void SetPortName(std::string name) { m_PortName = std::move(name); }

    // Dials `number` on the modem device. Returns a CHayesDialler::DialResult; the message for a
    // failure is MessageFor(result).
    int Dial(const std::string& device, const std::string& number);
    static const char* MessageFor(int dialResult);
    // Starts the hang-up: "Line Hangup" in pane 1, the link's port is closed by `closePort`
    // first, then the modem is told to hang up. Returns 1 when started; 0 when there is no
    // call (the telephony state is reset at once) or a hang-up is already under way.
    int Hangup(const std::function<void()>& closePort);
    // One 100 ms step. Returns kModemRunning or, once, the final ModemSessionResult of a
    // connection start.
    int Tick();

    bool CallStands() const { return m_Dialler.CallStands(); }
    bool Busy() const { return m_Dialler.GetState() != CHayesDialler::kIdle; }
    bool HangingUp() const { return m_Dialler.GetState() == CHayesDialler::kHangingUp; }
    const std::string& ResultText() const { return m_ResultText; }
    const std::string& ProgressText() const { return m_ProgressText; }
    // The result of the last ended call (CHayesDialler::EndResult), 0 before.
    int LastEnd() const { return m_LastEnd; }

    int StreamCount() const { return m_StreamCount; }
    std::uint8_t ModelCode() const { return m_Hardware.modelCode; }
    bool HasConfiguration() const { return m_HasConfiguration; }
    const ConfigurationRecord& Configuration() const { return m_Configuration; }
    const std::vector<std::uint8_t>& ConfigurationPayload() const { return m_ConfigPayload; }
    CHayesDialler& Dialler() { return m_Dialler; }

private:
    enum class Step { Idle, Dialling, Waking, Sync, Hardware, Configuration, Done };

    void CallProgress(const char* text) override;
    void CallConnected(int fd) override;
    void CallDropped() override;
    void CallEnded(int result) override;
    void ShowResult(const std::string& text);
    void SendQuery(std::uint8_t code);
    int Poll(std::uint8_t type);
    int Finish(int result);

    CInstrumentLink& m_Link;
    CHayesDialler m_Dialler;
    Hooks m_Hooks;
    std::string m_PortName = "com2";
    Step m_Step = Step::Idle;
    int m_Ticks = 0;
    int m_PendingResult = kModemRunning;
    int m_LastEnd = 0;
    std::string m_ResultText;
    std::string m_ProgressText;

    FrameRecord m_Answer;
    HardwareStatus m_Hardware;
    int m_StreamCount = 0;
    bool m_HasConfiguration = false;
    ConfigurationRecord m_Configuration;
    std::vector<std::uint8_t> m_ConfigPayload;
};

} // namespace nereid::link
