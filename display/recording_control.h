#pragma once

#include <functional>
#include <memory>
#include <string>

#include "recording/file_recorder.h"

class QObject;
class QWidget;

namespace nereid::recording {
class CChannelTable;
class CConverterLauncher;
class CRecorderMessages;
struct CIntakeState;
} // namespace nereid::recording

namespace nereid::display {

// What the recording setup needs of the main window.
struct RecordingContext {
    QWidget* parent = nullptr; // receives the queued message boxes of the receiver thread
    recording::CChannelTable* channels = nullptr;
    recording::CIntakeState* state = nullptr;
    std::string stationName;
    recording::SMseedOptions mseed; // network code and component letters of the miniSEED form
    // Hands a prepared recorder (with its converter and message sink) to the main window,
    // which gives it to the intake while the receiver thread is parked. Returns 1 or a
    // negative code (the recorder is then dropped).
    std::function<int(std::unique_ptr<recording::CFileRecorder>,
                      std::unique_ptr<recording::CConverterLauncher>,
                      std::unique_ptr<recording::CRecorderMessages>)>
        install;
    // Shows (true) or removes the progress bar in status pane 1, range 0..100.
    std::function<void(bool)> showProgress;
    // Shows where the recording goes (the folders of the enabled channels, "; " between
    // them) for as long as it runs.
    std::function<void(const std::string&)> showDestination;
};

// Message boxes of the recorder: shown at once on the window's thread, queued to it from the
// receiver thread, which must never wait for a user.
std::unique_ptr<recording::CRecorderMessages> MakeQueuedMessages(QObject* target);

// "DaDiSP Format...", "CSS Format", "Seisan Format", "miniSEED Format": the setup dialog,
// then the recorder.
// Returns 1 when recording was started, 0 when the dialog was cancelled, or a negative code
// whose message has been shown ("No Data Recording Enable", memory).
int RunRecordingSetup(RecordingContext& context, recording::RecordingForm form);

// Starts the recorder after the dialog (the part of RunRecordingSetup after OK); `minutes`
// is the "Recording Time" text.
int StartRecording(RecordingContext& context, recording::RecordingForm form,
                   const std::string& minutes);

// The folders the enabled channels of `table` record into, each once, "; " between them.
std::string RecordingDestination(const recording::CChannelTable& table);

} // namespace nereid::display
