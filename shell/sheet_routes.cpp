#include "shell/sheet_routes.h"

#include "instrument/calibration/cali_sheet.h"
#include "instrument/command/command_sheet.h"
#include "instrument/configuration/config_sheet.h"
#include "instrument/internal_recording/ir_sheet.h"
#include "instrument/sheet/sheet_host.h"
#include "instrument/status/status_sheet.h"
#include "shell/main_frame.h"
#include "shell/sheet_context_of.h"

#include <QDir>

#include "display/ana_wnd.h"
#include "display/recording_control.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/recorder_messages.h"
#include "shell/command_ids.h"
#include "shell/recording_controller.h"
#include "shell/tellus_status_bar.h"

#include "instrument/upload/upload_dialog.h"
#include "link/serial_link.h"

// The sheets, the recorder set-ups and the analysis window are built in their own parts of the
// program; each of these functions is where the main window hands over to one of them.
namespace nereid::shell {

int OpenStatusSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CStatusSheet>(frame, SheetContextOf(frame));
}
int OpenCommandSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CCommandSheet>(frame, SheetContextOf(frame));
}
int OpenConfigurationSheet(CMainFrame& frame) {
    const instrument::SheetContext context = SheetContextOf(frame);
    if (context.link == nullptr)
        return 0;
    auto& sheet = instrument::SheetOf<instrument::CConfigSheet>(frame, context);
    sheet.SetAcceptedHook([&frame](int localBaud) {
        frame.SetLocalPortBaud(localBaud);
        frame.RebuildChannels();
    });
    sheet.Exec();
    return 1;
}
int OpenCalibrationSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CCaliSheet>(frame, SheetContextOf(frame));
}
int OpenInternalRecordingSheet(CMainFrame& frame) {
    return instrument::OpenSheetOf<instrument::CIRSheet>(frame, SheetContextOf(frame));
}
int OpenFileUploadDialog(CMainFrame& frame) {
    if (frame.Link() == nullptr) {
        return 0;
    }
    instrument::CUploadDialog dialog(*frame.Link(), 0, &frame);
    dialog.SetMseedOptions(frame.MseedOptions());
    return dialog.exec();
}
int OpenRecordingSetup(CMainFrame& frame, RecordingForm form) {
    display::RecordingContext context;
    context.parent = &frame;
    context.channels = &frame.Channels();
    context.state = &frame.IntakeState();
    context.stationName = frame.StationName();
    context.mseed = frame.MseedOptions();
    context.install = [&frame](auto recorder, auto converter, auto messages) {
        return frame.InstallRecorder(std::move(recorder), std::move(converter),
                                     std::move(messages));
    };
    context.showProgress = [&frame](bool show) {
        frame.TellusStatusBar()->ShowRecordingProgress(show);
        frame.TellusStatusBar()->SetRecordingProgress(0);
    };
    context.showDestination = [&frame](const std::string& folder) {
        frame.TellusStatusBar()->SetRecordingDestination(QString::fromStdString(folder));
    };
    // Cancelled or refused (its message shown): the command has done what it does.
    display::RunRecordingSetup(context, static_cast<recording::RecordingForm>(form));
    return 1;
}
int StopRealTimeRecording(CMainFrame& frame) {
    return frame.RecordingControl().RequestStop();
}
int OpenAnalysisWindow(CMainFrame& frame) {
    display::AnalysisContext context;
    context.channels = &frame.Channels();
    context.state = &frame.IntakeState();
    context.curveColours = &frame.Display().m_CurveColors;
    context.scales = &frame.Display().m_YScales;
    context.printer = [&frame] { return frame.Printer(); };
    // The program's own folder is not writable on every system: the layout file lives with
    // the other settings.
    const QString folder = CMainFrame::ConfigurationFolder();
    QDir().mkpath(folder);
    context.layoutPath = folder + "/tellusw32.cfg";
    QMdiSubWindow* window = display::OpenAnalysisWindow(frame.MdiArea(), context);
    frame.AdoptAnalysisWindow(window);
    return window != nullptr ? 1 : 0;
}
int RunAnalysisCommand(CMainFrame& frame, int command) {
    display::CAnaWnd* window = display::AnalysisWindowOf(frame.AnalysisWindow());
    if (window == nullptr)
        return 0;
    switch (command) {
    case kCmdFileClose:
        frame.AnalysisWindow()->close();
        break;
    case kCmdCopyToClipboard:
        window->CopyToClipboard();
        break;
    case kCmdPrint:
        window->PrintPlots();
        break;
    case kCmdChannelBar:
        window->ToggleChannelBar();
        break;
    case kCmdOffsetAdjust:
        window->ToggleOffsetAdjust();
        break;
    default:
        return 0;
    }
    return 1;
}

} // namespace nereid::shell
