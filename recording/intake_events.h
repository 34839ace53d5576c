#pragma once

#include <cstdint>

namespace nereid::recording {

// Posted message numbers, as the main window knows them (user messages from 0x400).
constexpr unsigned kUserMessage = 0x400;
constexpr unsigned kMsgAcquisition = kUserMessage + 1;   // wParam pane, lParam code below
constexpr unsigned kMsgStopRecording = kUserMessage + 2; // wParam 0: recording stopped

// lParam codes of kMsgAcquisition.
constexpr long kCodeAcquisitionStarted = 1; // "Acquisition State"
constexpr long kCodeAcquisitionStopped = 2; // "Acquisition Stopped"
constexpr long kCodeIdle = 3;               // "Idle State"
constexpr long kCodeCrcError = 10;          // nothing shown
constexpr long kCodeDataFrame = 11;         // the link's two timing counters, "%d  %d"

// How the receiver thread talks to the main window. PostMessage must not block and must not
// call back into the thread: the shell queues the message to its own thread.
class CIntakeEvents {
public:
    virtual ~CIntakeEvents() = default;
    virtual void PostMessage(unsigned message, std::uintptr_t wParam, long lParam) = 0;
    // The recording progress bar (0..100), set synchronously from the receiver thread.
    virtual void SetRecordingProgress(int /*percent*/) {}
    // Shows or hides the recording progress window.
    virtual void ShowRecordingProgress(bool /*show*/) {}
    // A short beep when the thread parks for a rebuild.
    virtual void Beep() {}
};

} // namespace nereid::recording
