#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/instrument_link.h"
#include "link/port_control.h"

namespace nereid::link {

// Baud rates tried on each port, in order.
inline constexpr std::array<std::uint32_t, 8> kSearchBaudRates{1200,  2400,  4800,  9600,
                                                               19200, 38400, 57600, 115200};
// Ticks (100 ms) of one attempt: send on tick 0, poll on 1..9, next attempt after tick 10.
constexpr int kAttemptTicks = 11;
// Ticks allowed for the configuration answer after the hardware answer.
constexpr int kConfigurationTicks = 60;
// Ticks the station-name answer is polled for.
constexpr int kStationNameTicks = 10;
// Attempts per port when the caller fixed the baud rate.
constexpr int kFixedBaudAttempts = 3;

inline constexpr const char* kNoSerialPortText = "No Serial Port Available";
inline constexpr const char* kConnectionFailedText = "Connection Failed";
inline constexpr const char* kNoConfigurationText = "Unable To Get Configuration";

// Outcomes of the station name query (CDirectSearch::StationNameOutcome).
enum StationNameOutcome : int {
    kStationNameNotAsked = 0,
    kStationNameAnswered = 1,
    kStationNameRefused = -1,
    kStationNameNotHeard = -3,
};

// Results of CDirectSearch::Start and Tick.
enum DirectSearchResult : int {
    kSearchRunning = 0,
    kSearchConnected = 1,       // hardware answer and configuration received
    kSearchNoConfiguration = 2, // connected, but "Unable To Get Configuration"
    kSearchFailed = -1,         // "Connection Failed"
    kSearchNoPort = -2,         // "No Serial Port Available"
};

// Stream count from the hardware answer's bytes 11..13: 1 for 1,0,0; 6 for 1,1,1; else 3.
int StreamCountFromHardware(const HardwareStatus& hardware);

// The direct connection search: port by port, each of the eight baud rates, a hardware status
// query (0xB0) per attempt of 11 ticks, then the configuration (0xB2, 60 ticks) and the station
// name (0xB5). Driven by one Tick per 100 ms; no toolkit.
//
// DirectConnect.txt (any letter case) is read at every attempt. A baud rate's decimal text
// makes every attempt use that rate. "COM1" / "COM2" (COM2 wins) name the first / second
// entry of the port list, or /dev/ttyS0 / /dev/ttyS1 when the list is shorter; that device
// is then the one opened and shown.
class CDirectSearch {
public:
    struct Hooks {
        std::function<void(bool connected)> setConnected;
        std::function<void(const std::string& name, int group)> showConnection;
        std::function<void(int streamCount)> setStreams;
        std::function<void(const std::string& text)> showResult; // the result line
    };

    CDirectSearch(CInstrumentLink& link, CPortControl& ports);

    void SetHooks(Hooks hooks) { m_Hooks = std::move(hooks); }
    void SetPorts(std::vector<std::string> ports) { m_Ports = std::move(ports); }
    // Path of the hint file; default "DirectConnect.txt" in the current folder.
    void SetHintFile(std::string path) { m_HintFile = std::move(path); }
    // Tries only this baud rate (kFixedBaudAttempts per port); 0 searches the table.
    void SetFixedBaud(std::uint32_t baud) { m_FixedBaud = baud; }

    // Starts a search at the port of index `selected`. Returns kSearchRunning, or
    // kSearchNoPort when the port list is empty.
    int Start(int selected = 0);
    // One 100 ms tick. Returns kSearchRunning or the final DirectSearchResult.
    int Tick();
    // Stops a running search (dialog cancelled).
    void Cancel();

    int Result() const { return m_Result; }
    const std::string& ResultText() const { return m_ResultText; }
    const std::string& PortName() const { return m_PortName; }
    std::uint32_t Baud() const { return m_Baud; }
    int Attempts() const { return m_Attempts; } // hardware queries sent
    int StreamCount() const { return m_StreamCount; }
    std::uint8_t ModelCode() const { return m_Hardware.modelCode; }
    std::uint16_t SerialNumber() const { return m_SerialNumber; }
    const HardwareStatus& Hardware() const { return m_Hardware; }
    bool HasConfiguration() const { return m_HasConfiguration; }
    const ConfigurationRecord& Configuration() const { return m_Configuration; }
    // Raw 'R' payload (offsets of the answer), for the stream list.
    const std::vector<std::uint8_t>& ConfigurationPayload() const { return m_ConfigPayload; }
    // Four characters, or empty when the recorder did not give it.
    const std::string& StationName() const { return m_StationName; }
    // What became of the station name query: kStationNameAnswered (StationName() is the
    // recorder's, possibly blank), kStationNameRefused, kStationNameNotHeard (no answer
    // within the wait), or kStationNameNotAsked (no configuration, so never sent).
    int StationNameOutcome() const { return m_StationNameOutcome; }

private:
    enum class Step { Idle, Hardware, Configuration, StationName, Done };
    void StartAttempt();
    void AdvanceAttempt();
    void PollHardware();
    void PollConfiguration();
    void PollStationName();
    void ReadHints();
    void Finish(int result, const char* text);
    void ShowResult(const std::string& text);

    CInstrumentLink& m_Link;
    CPortControl& m_PortControl;
    Hooks m_Hooks;
    std::vector<std::string> m_Ports;
    std::string m_HintFile = "DirectConnect.txt";
    std::uint32_t m_FixedBaud = 0;

    Step m_Step = Step::Idle;
    int m_Result = kSearchRunning;
    std::string m_ResultText;
    std::size_t m_PortIndex = 0;
    std::size_t m_PortsTried = 0;
    bool m_Reopen = true;
    int m_AttemptOnPort = 0; // 0..7 (or fixed-baud attempts): the baud index without hints
    int m_Ticks = 0;
    int m_Attempts = 0;
    std::string m_PortName; // the device used and shown
    std::string m_OpenPath; // the device opened by this search
    std::uint32_t m_Baud = 0;
    std::string m_HintPort;
    std::uint32_t m_HintBaud = 0;

    FrameRecord m_Answer;
    HardwareStatus m_Hardware;
    std::uint16_t m_SerialNumber = 0;
    int m_StreamCount = 0;
    bool m_HasConfiguration = false;
    ConfigurationRecord m_Configuration;
    std::vector<std::uint8_t> m_ConfigPayload;
    std::string m_StationName;
    int m_StationNameOutcome = kStationNameNotAsked;
};

} // namespace nereid::link
