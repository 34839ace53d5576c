#pragma once

namespace nereid::shell {

class CMainFrame;

// Recording forms of the "&Real Time Recording" submenu.
enum RecordingForm : int { kRecordDaDiSP = 0, kRecordCss = 1, kRecordSeisan = 2, kRecordMseed = 3 };

// One routing function per menu command whose window belongs to another part of the program.
// Each returns 1 when it opened (or did) what the command asks, 0 when this build has no such
// window yet; the main window then says so in its message line.
int OpenStatusSheet(CMainFrame& frame);
int OpenCommandSheet(CMainFrame& frame);
int OpenConfigurationSheet(CMainFrame& frame);
int OpenCalibrationSheet(CMainFrame& frame);
int OpenInternalRecordingSheet(CMainFrame& frame);
int OpenFileUploadDialog(CMainFrame& frame);
int OpenRecordingSetup(CMainFrame& frame, RecordingForm form);
int StopRealTimeRecording(CMainFrame& frame);
// Opens the analysis window, or activates it when it is open. The window is handed to the
// frame with CMainFrame::AdoptAnalysisWindow.
int OpenAnalysisWindow(CMainFrame& frame);
// A command of the analysis window's own menu (close, clipboard, print, channel bar, offset
// adjust), given by its command number.
int RunAnalysisCommand(CMainFrame& frame, int command);

} // namespace nereid::shell
