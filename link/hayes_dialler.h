#pragma once

#include "link/modem_line.h"

#include <string>

namespace nereid::link {

// What the dialler reports while a call goes on. All calls come from Tick, Dial or Hangup,
// so on the thread that drives the dialler.
class CDiallerListener {
public:
    virtual ~CDiallerListener() = default;
    // A call-progress text: "Dialing", "Ringback", "Busy", "Connected", "Disconnect",
    // "LineClosed".
    virtual void CallProgress(const char* text) = 0;
    // The modem reported CONNECT. `fd` is a descriptor of the modem line that the receiver of
    // the call now owns (hand it to CSerialLink::AttachModemPort).
    virtual void CallConnected(int fd) = 0;
    // The call is over and the modem line closed. `result` is a CHayesDialler::EndResult.
    virtual void CallEnded(int result) = 0;
};

// A Hayes AT-command dialler for a data modem on a serial line, driven by a 100 ms tick.
// Dial sends "AT", waits for "OK" (3 tries of 2 s), sends "ATDT<number>" and waits up to 60 s
// for the result: CONNECT, BUSY, NO CARRIER, NO ANSWER, NO DIALTONE or ERROR. Hang-up: after
// 1 s of silence "+++", after another second "ATH0", up to 3 s for its answer, then the line is
// closed, which also drops DTR.
class CHayesDialler {
public:
    enum State { kIdle, kInitialising, kDialling, kConnected, kHangingUp };

    enum DialResult : int {
        kDialStarted = 1,
        kLineOpenFailed = -1,   // the modem device cannot be opened
        kAlreadyConnected = -2, // a call stands or is in progress
        kNoNumber = -3,
        kBadNumber = -4, // a character other than digits, spaces and , ; W P T * # - ( ) ! @
    };

    enum EndResult : int {
        kEndedNormally = 1,  // busy, no carrier, hang-up, ...
        kNoModemAnswer = -1, // the modem did not answer "AT" with "OK"
        kDropFailed = -2,    // writing the hang-up commands failed
        kConnectLost = -3,   // CONNECT came but the line could not be handed over
    };

    static constexpr int kInitReplyTicks = 20; // 2 s for "OK" to "AT"
    static constexpr int kInitTries = 3;
    static constexpr int kDialReplyTicks = 600; // 60 s for the result of ATDT
    static constexpr int kGuardTicks = 11;      // guard time around "+++", above 1 s
    static constexpr int kHangupReplyTicks = 30;

    CHayesDialler(CModemLine& line, CDiallerListener& listener)
        : m_Line(line), m_Listener(listener) {}

    // Opens the modem device and starts a call. Returns a DialResult.
    int Dial(const std::string& device, const std::string& number);
    // Starts the hang-up of a call in progress or standing. The caller closes the instrument
    // link's port first so that the modem answers reach the dialler. Returns 1 when started,
    // 0 when there is no call.
    int Hangup();
    // One 100 ms step.
    void Tick();

    State GetState() const { return m_State; }
    bool CallStands() const { return m_State == kConnected; }
    // Dial strings are kept to what a Hayes modem dials, so no other command can be slipped in.
    static bool ValidNumber(const std::string& number);

private:
    void Send(const char* text);
    void ReadAnswers();
    void Answer(const std::string& line);
    void End(int result, const char* text);

    CModemLine& m_Line;
    CDiallerListener& m_Listener;
    State m_State = kIdle;
    std::string m_Number;
    std::string m_Pending; // bytes of an answer line not yet complete
    int m_Ticks = 0;
    int m_Tries = 0;
    int m_HangupStep = 0;
    bool m_WriteFailed = false;
};

} // namespace nereid::link
