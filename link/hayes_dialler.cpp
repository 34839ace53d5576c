#include "link/hayes_dialler.h"

#include <cctype>
#include <cstring>

namespace nereid::link {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace

bool CHayesDialler::ValidNumber(const std::string& number) {
    bool digit = false;
    for (char c : number) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isdigit(u)) {
            digit = true;
            continue;
        }
        if (std::strchr(" ,;WwPpTt*#-()!@", c) == nullptr || c == '\0')
            return false;
    }
    return digit;
}

int CHayesDialler::Dial(const std::string& device, const std::string& number) {
    if (m_State != kIdle)
        return kAlreadyConnected;
    std::string trimmed;
    for (char c : number) {
        if (c != ' ')
            trimmed.push_back(c);
    }
    if (trimmed.empty())
        return kNoNumber;
    if (!ValidNumber(number))
        return kBadNumber;
    if (m_Line.Open(device) != 1)
        return kLineOpenFailed;
    m_Number = trimmed;
    m_Pending.clear();
    m_WriteFailed = false;
    m_Tries = 1;
    m_Ticks = 0;
    m_State = kInitialising;
    Send("AT\r");
    return kDialStarted;
}

void CHayesDialler::Reset() {
    m_Line.Close();
    m_State = kIdle;
    m_Pending.clear();
    m_Ticks = 0;
    m_WriteFailed = false;
}

int CHayesDialler::Hangup() {
    if (m_State == kIdle || m_State == kHangingUp)
        return 0;
    if (m_State == kConnected)
        m_Line.Reclaim();
    if (m_State == kInitialising || m_State == kDialling) {
        // Any character aborts the dialling; the modem then stays in command mode.
        Send("\r");
        m_HangupStep = 2;
    } else {
        m_HangupStep = 0;
    }
    m_Pending.clear();
    m_Ticks = 0;
    m_State = kHangingUp;
    return 1;
}

void CHayesDialler::Send(const char* text) {
    if (m_Line.Write(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)) < 0)
        m_WriteFailed = true;
}

void CHayesDialler::Tick() {
    if (m_State == kConnected && m_Line.CarrierLost()) {
        m_Line.Close();
        m_State = kIdle;
        m_Pending.clear();
        m_Listener.CallDropped();
        m_Listener.CallProgress("Disconnect");
        m_Listener.CallEnded(kCarrierLost);
        return;
    }
    if (m_State == kIdle || m_State == kConnected)
        return;
    ++m_Ticks;
    ReadAnswers();
    switch (m_State) {
    case kInitialising:
        if (m_WriteFailed) {
            End(kNoModemAnswer, "Disconnect");
        } else if (m_Ticks >= kInitReplyTicks) {
            if (m_Tries >= kInitTries) {
                End(kNoModemAnswer, "Disconnect");
            } else {
                ++m_Tries;
                m_Ticks = 0;
                Send("AT\r");
            }
        }
        break;
    case kDialling:
        if (m_WriteFailed) {
            End(kEndedNormally, "Disconnect");
        } else if (m_Ticks >= (m_DialStep == 0   ? kDialToneTicks
                               : m_DialStep == 1 ? kDigitsTicks
                                                 : kDialReplyTicks)) {
            Send("\r");
            End(kEndedNormally, "Disconnect");
        }
        break;
    case kHangingUp:
        if (m_HangupStep == 0 && m_Ticks >= kGuardTicks) {
            Send("+++");
            m_HangupStep = 1;
            m_Ticks = 0;
        } else if ((m_HangupStep == 1 && m_Ticks >= kGuardTicks) ||
                   (m_HangupStep == 2 && m_Ticks >= 2)) {
            Send("ATH0\r");
            m_HangupStep = 3;
            m_Ticks = 0;
        } else if (m_HangupStep == 3 && m_Ticks >= kHangupReplyTicks) {
            // No answer to ATH0: closing the line drops DTR, which ends the call as well.
            m_HangupStep = 4;
        }
        if (m_WriteFailed)
            End(kDropFailed, "LineClosed");
        else if (m_HangupStep == 4)
            End(kEndedNormally, "LineClosed");
        break;
    default:
        break;
    }
}

void CHayesDialler::ReadAnswers() {
    std::uint8_t buffer[256];
    // Bounded, so that a line full of data bytes cannot hold up the caller's thread.
    for (int reads = 0; reads < 16; ++reads) {
        const int n = m_Line.Read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (int i = 0; i < n && m_State != kIdle && m_State != kConnected; ++i) {
            const char c = static_cast<char>(buffer[i]);
            if (c == '\r' || c == '\n') {
                if (!m_Pending.empty()) {
                    const std::string line = m_Pending;
                    m_Pending.clear();
                    Answer(line);
                }
            } else if (m_Pending.size() < 200) {
                m_Pending.push_back(c);
            }
        }
        if (m_State == kIdle || m_State == kConnected)
            break;
    }
}

void CHayesDialler::Answer(const std::string& raw) {
    std::string line;
    for (char c : raw)
        line.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (StartsWith(line, "AT"))
        return; // the modem's echo of our command

    if (m_State == kInitialising) {
        if (line == "OK") {
            m_State = kDialling;
            m_DialStep = 0;
            m_Ticks = 0;
            m_Listener.CallProgress("LineAccepted");
            // X4: wait for the dial tone and report NO DIALTONE and BUSY; ";" stays in command
            // mode once the tone is there.
            Send("ATX4DT;\r");
        }
        return;
    }
    if (m_State == kDialling)
        Dialling(line);
    if (m_State == kHangingUp && m_HangupStep == 3 && (line == "OK" || line == "NO CARRIER"))
        m_HangupStep = 4;
}

void CHayesDialler::Dialling(const std::string& line) {
    if (line == "OK" && m_DialStep < 2) {
        m_Ticks = 0;
        if (m_DialStep == 0) {
            m_DialStep = 1;
            m_Listener.CallProgress("Dialtone");
            Send(("ATDT" + m_Number + ";\r").c_str());
            m_Listener.CallProgress("Dialing");
        } else {
            m_DialStep = 2;
            m_Listener.CallProgress("Proceeding");
            Send("ATD\r"); // originate on the number dialled
        }
    } else if (StartsWith(line, "CONNECT")) {
        const int fd = m_Line.DuplicateHandle();
        if (fd < 0) {
            End(kConnectLost, "Disconnect");
            return;
        }
        m_State = kConnected;
        m_Listener.CallProgress("Connected");
        m_Listener.CallConnected(fd);
    } else if (line == "BUSY") {
        m_Listener.CallProgress("Busy");
        End(kEndedNormally, "Disconnect");
    } else if (line == "RINGING" || line == "RINGBACK") {
        m_Listener.CallProgress("Ringback");
    } else if (line == "NO CARRIER" || line == "NO ANSWER" || line == "NO DIALTONE" ||
               line == "NO DIAL TONE" || line == "ERROR" || line == "DELAYED" ||
               line == "BLACKLISTED") {
        End(kEndedNormally, "Disconnect");
    }
}

void CHayesDialler::End(int result, const char* text) {
    m_Line.Close();
    m_State = kIdle;
    m_Pending.clear();
    m_Listener.CallProgress(text);
    m_Listener.CallEnded(result);
}

} // namespace nereid::link
