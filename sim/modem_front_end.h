#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace nereid::sim {

// A Hayes modem in front of the recorder. In command mode it answers AT commands line by line
// (no echo unless ATE1). ATD[T|P]<number> rings ("RINGING") and connects ("CONNECT 9600"), or
// answers BUSY, NO CARRIER or NO DIALTONE for the numbers chosen so. A dial string ending in
// ";" stays in command mode ("OK"): "ATDT;" alone takes the line off hook, and a later "ATD"
// calls the number dialled so. Online, "+++" framed by a second of silence on each side
// returns to command mode ("OK"), where ATH hangs up and ATO goes back online. With a hang-up
// time the far end drops every call that long after CONNECT: "NO CARRIER", command mode.
class ModemFrontEnd {
public:
    using Clock = std::chrono::steady_clock;

    // `hangupAfter`: recorder seconds from CONNECT to the far end's hang-up, 0 for never;
    // `timeScale`: recorder seconds per wall second.
    ModemFrontEnd(std::vector<std::string> busy, std::vector<std::string> noCarrier,
                  std::vector<std::string> noDialtone = {}, double hangupAfter = 0,
                  double timeScale = 1)
        : m_Busy(std::move(busy)), m_NoCarrier(std::move(noCarrier)),
          m_NoDialtone(std::move(noDialtone)), m_HangupAfter(hangupAfter),
          m_TimeScale(timeScale > 0 ? timeScale : 1) {}

    bool Online() const { return m_Online; }

    // Command mode: takes bytes, returns the text to send back. Stops after a CONNECT and
    // reports in `used` how many bytes it took; the rest belongs to the recorder.
    std::string FeedCommand(const std::uint8_t* bytes, std::size_t length, std::size_t& used);
    // Online: watches for the escape sequence.
    void FeedOnline(const std::uint8_t* bytes, std::size_t length, Clock::time_point now);
    // Completes an escape after the trailing guard time ("OK" once), or drops the call at its
    // hang-up time ("NO CARRIER" once). Returns the text to send, or nothing.
    std::string Tick(Clock::time_point now);
    // The line was closed by the PC: back to command mode, call dropped.
    void Reset();

    static std::string Normalise(const std::string& number);

private:
    std::string Answer(const std::string& line);
    std::string Dial(const std::string& rest);
    bool Listed(const std::vector<std::string>& list, const std::string& number) const;
    static std::string Result(const char* text) { return std::string("\r\n") + text + "\r\n"; }

    std::vector<std::string> m_Busy;
    std::vector<std::string> m_NoCarrier;
    std::vector<std::string> m_NoDialtone;
    double m_HangupAfter = 0;
    double m_TimeScale = 1;
    bool m_OffHook = false; // "ATDT...;" took the line: a later "ATD" calls m_Dialled
    std::string m_Dialled;  // digits dialled so far in command mode
    Clock::time_point m_ConnectedAt{};
    bool m_Online = false;
    bool m_CallUp = false; // a call stands (online or escaped to command mode)
    bool m_Echo = false;
    std::string m_Line;
    Clock::time_point m_LastByte{};
    int m_Plus = 0; // '+' characters seen after a guard time
    Clock::time_point m_PlusEnd{};
};

} // namespace nereid::sim
