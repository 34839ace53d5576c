#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace nereid::sim {

// A Hayes modem in front of the recorder. In command mode it answers AT commands line by line
// (no echo unless ATE1); ATDT<number> connects ("CONNECT 9600"), or answers BUSY or NO CARRIER
// for the numbers chosen so. Online, "+++" framed by a second of silence on each side returns
// to command mode ("OK"), where ATH hangs up and ATO goes back online.
class ModemFrontEnd {
public:
    using Clock = std::chrono::steady_clock;

    ModemFrontEnd(std::vector<std::string> busy, std::vector<std::string> noCarrier)
        : m_Busy(std::move(busy)), m_NoCarrier(std::move(noCarrier)) {}

    bool Online() const { return m_Online; }

    // Command mode: takes bytes, returns the text to send back. Stops after a CONNECT and
    // reports in `used` how many bytes it took; the rest belongs to the recorder.
    std::string FeedCommand(const std::uint8_t* bytes, std::size_t length, std::size_t& used);
    // Online: watches for the escape sequence.
    void FeedOnline(const std::uint8_t* bytes, std::size_t length, Clock::time_point now);
    // Completes an escape after the trailing guard time. Returns "OK" text once when it does.
    std::string Tick(Clock::time_point now);
    // The line was closed by the PC: back to command mode, call dropped.
    void Reset();

    static std::string Normalise(const std::string& number);

private:
    std::string Answer(const std::string& line);
    static std::string Result(const char* text) { return std::string("\r\n") + text + "\r\n"; }

    std::vector<std::string> m_Busy;
    std::vector<std::string> m_NoCarrier;
    bool m_Online = false;
    bool m_CallUp = false; // a call stands (online or escaped to command mode)
    bool m_Echo = false;
    std::string m_Line;
    Clock::time_point m_LastByte{};
    int m_Plus = 0; // '+' characters seen after a guard time
    Clock::time_point m_PlusEnd{};
};

} // namespace nereid::sim
