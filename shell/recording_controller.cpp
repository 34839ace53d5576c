#include "shell/recording_controller.h"

#include "link/receiver_thread.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/intake.h"
#include "recording/recorder_messages.h"
#include "shell/main_frame.h"
#include "shell/queued_intake_events.h"
#include "shell/tellus_status_bar.h"

namespace nereid::shell {

CRecordingController::CRecordingController(CMainFrame& frame) : m_Frame(frame) {}

CRecordingController::~CRecordingController() = default;

int CRecordingController::Install(std::unique_ptr<recording::CFileRecorder> recorder,
                                  std::unique_ptr<recording::CConverterLauncher> converter,
                                  std::unique_ptr<recording::CRecorderMessages> messages) {
    link::CReceiverThread* thread = m_Frame.ReceiverThread();
    const bool park = thread && thread->Running();
    if (park && thread->Park() != 1)
        return -1;
    m_Frame.Intake()->SetRecorder(recorder.get());
    if (park)
        thread->Resume();
    // The previous period's conversion may still run: let it end before its launcher goes.
    if (m_Converter)
        m_Converter->WaitIdle(recording::CConverterLauncher::kDefaultWaitLimitMs);
    m_Recorder = std::move(recorder);
    m_Converter = std::move(converter);
    m_Messages = std::move(messages);
    return 1;
}

int CRecordingController::RequestStop() {
    if (m_Recorder)
        m_Recorder->StopRecording.store(true);
    return 1;
}

void CRecordingController::Finish() {
    if (!m_Recorder)
        return;
    if (recording::CRealTimeIntake* intake = m_Frame.Intake())
        intake->SetRecorder(nullptr);
    recording::CIntakeState& state = m_Frame.IntakeState();
    if (state.m_bRecording.load()) {
        // Closes every file and waits for the last period's conversion, within its time limit.
        m_Recorder->Finish();
        state.m_bRecording.store(false);
    }
    if (m_Converter)
        m_Converter->WaitIdle(recording::CConverterLauncher::kDefaultWaitLimitMs);
    m_Recorder.reset();
    m_Converter.reset();
    m_Messages.reset();
}

void CRecordingController::FinishAfterLineLoss() {
    if (!m_Frame.Recording())
        return;
    link::CReceiverThread* thread = m_Frame.ReceiverThread();
    const bool park = thread && thread->Running();
    if (!park) {
        Finish();
    } else if (thread->Park() == 1) {
        Finish();
        thread->Resume();
    } else {
        RequestStop();
    }
}

void CRecordingController::ShowStopped() {
    CTellusStatusBar* bar = m_Frame.TellusStatusBar();
    bar->ShowRecordingProgress(false);
    bar->SetRecordingDestination(QString());
    recording::CIntakeState& state = m_Frame.IntakeState();
    state.m_AcquisitionState.store(recording::kRecordingStopped);
    state.m_IdleCounter.store(0);
    state.m_bRecording.store(false);
}

void CRecordingController::ShowProgress(const CProgressEvent& progress) {
    CTellusStatusBar* bar = m_Frame.TellusStatusBar();
    if (progress.m_ShowChange)
        bar->ShowRecordingProgress(progress.m_Show);
    else
        bar->SetRecordingProgress(progress.m_Percent);
}

} // namespace nereid::shell
