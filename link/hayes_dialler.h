#pragma once

#include "link/modem_line.h"

#include <string>

namespace nereid::link {

// What the dialler reports while a call goes on. All calls come from Tick, Dial or Hangup,
// so on the thread that drives the dialler.
class CDiallerListener {
public:
    virtual ~CDiallerListener() = default;
    // A call-progress text: "LineAccepted", "Dialtone", "Dialing", "Proceeding", "Ringback",
    // "Busy", "Connected", "Disconnect", "LineClosed".
    virtual void CallProgress(const char* text) = 0;
    // The modem reported CONNECT. `fd` is a descriptor of the modem line that the receiver of
    // the call now owns (hand it to CSerialLink::AttachModemPort).
    virtual void CallConnected(int fd) = 0;
    // A standing call was lost (the far end hung up, the carrier went): called before the
    // "Disconnect" text, so that the receiver can give up the line the link holds first.
    virtual void CallDropped() {}
    // The call is over and the modem line closed. `result` is a CHayesDialler::EndResult.
    virtual void CallEnded(int result) = 0;
};

// A Hayes AT-command dialler for a data modem on a serial line, driven by a 100 ms tick.
// Dial sends "AT" and waits for "OK" (3 tries of 2 s), then takes the line off hook and waits
// for the dial tone ("ATX4DT;", 10 s), dials the digits and stays in command mode
// ("ATDT<number>;", 30 s), then starts the call ("ATD") and waits up to 60 s for its result.
// While the call stands the modem line watches the carrier (CModemLine::CarrierLost).
// Hang-up: after 1 s of silence "+++", after another second "ATH0", up to 3 s for its answer,
// then the line is closed, which also drops DTR.
//
// Which call-progress text each modem answer gives, step by step of a call:
//   "OK" to "AT"                         -> "LineAccepted" (the modem took the line)
//   "OK" to "ATX4DT;" (off hook, tone)   -> "Dialtone"
//   "ATDT<number>;" sent                 -> "Dialing"
//   "OK" to it (the digits are dialled)  -> "Proceeding"
//   "RINGING" or "RINGBACK" after "ATD"  -> "Ringback"
//   "CONNECT..."                         -> "Connected"
//   "BUSY"                               -> "Busy", then "Disconnect"
//   "NO DIALTONE", "NO CARRIER", "NO ANSWER", "ERROR", "DELAYED", "BLACKLISTED", no answer in
//   time, a silent modem (3 x 2 s)       -> "Disconnect"
//   while the call stands: "NO CARRIER", carrier detect dropped, the line gone -> "Disconnect"
//   hang-up done                         -> "LineClosed"
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
        kCarrierLost = -4,   // the standing call was lost (remote hang-up, no carrier)
    };

    static constexpr int kInitReplyTicks = 20; // 2 s for "OK" to "AT"
    static constexpr int kInitTries = 3;
    static constexpr int kDialToneTicks = 100;  // 10 s for the dial tone
    static constexpr int kDigitsTicks = 300;    // 30 s for the digits to be dialled
    static constexpr int kDialReplyTicks = 600; // 60 s for the result of ATD
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
    // Forgets any call at once and closes the modem line, without a word to the modem: the
    // telephony state after a hang-up with no call. Reports nothing.
    void Reset();
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
    void Dialling(const std::string& line);

    CModemLine& m_Line;
    CDiallerListener& m_Listener;
    State m_State = kIdle;
    std::string m_Number;
    std::string m_Pending; // bytes of an answer line not yet complete
    int m_Ticks = 0;
    int m_Tries = 0;
    int m_HangupStep = 0;
    int m_DialStep = 0; // 0 dial tone, 1 digits, 2 call result
    bool m_WriteFailed = false;
};

} // namespace nereid::link
