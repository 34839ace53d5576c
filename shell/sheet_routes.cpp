#include "shell/sheet_routes.h"

#include "shell/main_frame.h"

#include "instrument/upload_dialog.h"
#include "link/serial_link.h"

// The sheets, the recorder set-ups and the analysis window are built in their own parts of the
// program; each of these functions is where the main window hands over to one of them.
namespace nereid::shell {

int OpenStatusSheet(CMainFrame&) {
    return 0;
}
int OpenCommandSheet(CMainFrame&) {
    return 0;
}
int OpenConfigurationSheet(CMainFrame&) {
    return 0;
}
int OpenCalibrationSheet(CMainFrame&) {
    return 0;
}
int OpenInternalRecordingSheet(CMainFrame&) {
    return 0;
}
int OpenFileUploadDialog(CMainFrame& frame) {
    if (frame.Link() == nullptr) {
        return 0;
    }
    instrument::CUploadDialog dialog(*frame.Link(), 0, &frame);
    return dialog.exec();
}
int OpenRecordingSetup(CMainFrame&, RecordingForm) {
    return 0;
}
int StopRealTimeRecording(CMainFrame&) {
    return 0;
}
int OpenAnalysisWindow(CMainFrame&) {
    return 0;
}
int RunAnalysisCommand(CMainFrame&, int) {
    return 0;
}

} // namespace nereid::shell
