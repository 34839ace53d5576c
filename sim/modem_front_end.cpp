#include "sim/modem_front_end.h"

#include <algorithm>
#include <cctype>

namespace nereid::sim {

namespace {
constexpr auto kGuard = std::chrono::milliseconds(1000);
}

std::string ModemFrontEnd::Normalise(const std::string& number) {
    std::string digits;
    for (char c : number)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#')
            digits.push_back(c);
    return digits;
}

void ModemFrontEnd::Reset() {
    m_Online = false;
    m_CallUp = false;
    m_OffHook = false;
    m_Dialled.clear();
    m_Line.clear();
    m_Plus = 0;
}

bool ModemFrontEnd::Listed(const std::vector<std::string>& list, const std::string& number) const {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& n) { return Normalise(n) == number; });
}

std::string ModemFrontEnd::Dial(const std::string& rest) {
    // rest: what follows "D", as typed (spaces kept out by the caller's upper-casing copy).
    std::string dial = rest;
    if (!dial.empty() && (dial[0] == 'T' || dial[0] == 'P'))
        dial.erase(0, 1);
    const bool stay = dial.find(';') != std::string::npos;
    const std::string digits = Normalise(dial);
    if (stay) {
        if (!digits.empty() && Listed(m_NoDialtone, digits)) {
            m_OffHook = false;
            m_Dialled.clear();
            return Result("NO DIALTONE");
        }
        m_OffHook = true;
        m_Dialled += digits;
        return Result("OK");
    }
    const std::string number = m_Dialled + digits;
    m_OffHook = false;
    m_Dialled.clear();
    if (number.empty() || Listed(m_NoDialtone, number))
        return Result("NO DIALTONE");
    if (Listed(m_Busy, number))
        return Result("BUSY");
    if (Listed(m_NoCarrier, number))
        return Result("NO CARRIER");
    m_Online = true;
    m_CallUp = true;
    m_ConnectedAt = Clock::now();
    return Result("RINGING") + Result("CONNECT 9600");
}

std::string ModemFrontEnd::Answer(const std::string& raw) {
    std::string line;
    for (char c : raw)
        if (c != ' ')
            line.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (line.empty())
        return {};
    if (line.rfind("AT", 0) != 0)
        return Result("ERROR");
    const std::string cmd = line.substr(2);
    // Settings before the dial command ("X4" in "ATX4DT;") are taken as given.
    std::size_t dial = cmd.find('D');
    while (dial != std::string::npos && dial > 0 && cmd[dial - 1] == '&')
        dial = cmd.find('D', dial + 1); // "&D2" is a setting, not a dial
    if (dial != std::string::npos)
        return Dial(cmd.substr(dial + 1));
    if (cmd == "H" || cmd == "H0") {
        m_CallUp = false;
        m_OffHook = false;
        m_Dialled.clear();
        return Result("OK");
    }
    if (cmd == "O" || cmd == "O0") {
        if (!m_CallUp)
            return Result("NO CARRIER");
        m_Online = true;
        return Result("CONNECT 9600");
    }
    if (cmd.find("E1") != std::string::npos)
        m_Echo = true;
    if (cmd.find("E0") != std::string::npos)
        m_Echo = false;
    return Result("OK");
}

std::string ModemFrontEnd::FeedCommand(const std::uint8_t* bytes, std::size_t length,
                                       std::size_t& used) {
    std::string out;
    used = 0;
    while (used < length && !m_Online) {
        const char c = static_cast<char>(bytes[used++]);
        if (m_Echo)
            out.push_back(c);
        if (c == '\r' || c == '\n') {
            const std::string line = m_Line;
            m_Line.clear();
            out += Answer(line);
        } else if (c == '\b' || c == 0x7F) {
            if (!m_Line.empty())
                m_Line.pop_back();
        } else if (m_Line.size() < 80) {
            m_Line.push_back(c);
        }
    }
    if (m_Online)
        m_LastByte = Clock::now();
    return out;
}

void ModemFrontEnd::FeedOnline(const std::uint8_t* bytes, std::size_t length,
                               Clock::time_point now) {
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] == '+' && (m_Plus > 0 || now - m_LastByte >= kGuard) && m_Plus < 3) {
            ++m_Plus;
            if (m_Plus == 3)
                m_PlusEnd = now;
        } else {
            m_Plus = 0;
        }
        m_LastByte = now;
    }
}

std::string ModemFrontEnd::Tick(Clock::time_point now) {
    if (m_CallUp && m_HangupAfter > 0 &&
        std::chrono::duration<double>(now - m_ConnectedAt).count() * m_TimeScale >= m_HangupAfter) {
        // The far end hung up: the carrier goes and the modem says so in command mode.
        m_CallUp = false;
        m_Online = false;
        m_Plus = 0;
        m_Line.clear();
        return Result("NO CARRIER");
    }
    if (m_Online && m_Plus == 3 && now - m_PlusEnd >= kGuard && m_LastByte == m_PlusEnd) {
        m_Plus = 0;
        m_Online = false;
        return Result("OK");
    }
    return {};
}

} // namespace nereid::sim
