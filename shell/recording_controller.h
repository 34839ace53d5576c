#pragma once

#include <memory>

namespace nereid::recording {
class CConverterLauncher;
class CFileRecorder;
class CRecorderMessages;
} // namespace nereid::recording

namespace nereid::shell {

class CMainFrame;
class CProgressEvent;

// PC recording from the main window: holds the running recorder with its converter and
// message sink, hands the recorder to the intake while the receiver thread is parked, and
// ends a recording when the program or the line goes. Owned by the frame.
class CRecordingController {
public:
    explicit CRecordingController(CMainFrame& frame);
    ~CRecordingController();

    // The new set is given to the intake while the receiver thread is parked; the previous
    // set goes once the intake has let go of it and its last conversion has ended.
    // Returns 1, or -1 when the thread could not be parked (nothing changed).
    int Install(std::unique_ptr<recording::CFileRecorder> recorder,
                std::unique_ptr<recording::CConverterLauncher> converter,
                std::unique_ptr<recording::CRecorderMessages> messages);
    recording::CFileRecorder* Recorder() const { return m_Recorder.get(); }

    // Asks the recorder to stop at its next second. Returns 1.
    int RequestStop();
    // With the receiver thread parked or gone: a running recording is stopped, its files
    // closed and the last SEISAN period converted, waiting for the converter up to its time
    // limit; then the set goes.
    void Finish();
    // The line is gone, so no further second arrives to end the recording at its stop flag:
    // it is finished now with the receiver thread parked, or, should the thread not park,
    // asked to stop.
    void FinishAfterLineLoss();

    // The receiver thread's messages: the recording stopped, and its progress in the status
    // bar.
    void ShowStopped();
    void ShowProgress(const CProgressEvent& progress);

private:
    CMainFrame& m_Frame;
    // Declared in this order so that the recorder goes before its converter and messages.
    std::unique_ptr<recording::CRecorderMessages> m_Messages;
    std::unique_ptr<recording::CConverterLauncher> m_Converter;
    std::unique_ptr<recording::CFileRecorder> m_Recorder;
};

} // namespace nereid::shell
