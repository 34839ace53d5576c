#include "shell/sheet_routes.h"

#include "instrument/cali_sheet.h"
#include "instrument/command_sheet.h"
#include "instrument/ir_sheet.h"
#include "instrument/sheet_host.h"
#include "instrument/status_sheet.h"
#include "shell/main_frame.h"
#include "shell/sheet_context_of.h"

// The sheets, the recorder set-ups and the analysis window are built in their own parts of the
// program; each of these functions is where the main window hands over to one of them.
namespace nereid::shell {

int OpenStatusSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CStatusSheet>(frame, SheetContextOf(frame));
}
int OpenCommandSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CCommandSheet>(frame, SheetContextOf(frame));
}
int OpenConfigurationSheet(CMainFrame&) {
    return 0;
}
int OpenCalibrationSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CCaliSheet>(frame, SheetContextOf(frame));
}
int OpenInternalRecordingSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CIRSheet>(frame, SheetContextOf(frame));
}
int OpenFileUploadDialog(CMainFrame&) {
    return 0;
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
