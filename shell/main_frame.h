#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include "link/dialogs/connection_host.h"
#include "link/line_watch.h"
#include "link/port_probe.h"
#include "recording/channel_table.h"
#include "recording/intake_state.h"
#include "recording/stream_list.h"
#include "shell/display_settings.h"
#include "shell/mseed_settings.h"

class QMdiArea;
class QPrinter;
class QToolBar;

namespace nereid::link {
class CModemSession;
class CReceiverThread;
class CSerialLink;
} // namespace nereid::link
namespace nereid::recording {
class CConverterLauncher;
class CFileRecorder;
class CRealTimeIntake;
class CRecorderMessages;
} // namespace nereid::recording

namespace nereid::shell {

class CMenuSet;
class CModemController;
class CQueuedIntakeEvents;
class CRecordingController;
class CTellusStatusBar;

// The main window "Nereid Utility": the multiple-document frame with its menus, toolbar and
// status bar. It owns the link, the port table, the receiver thread and the channel table, and
// it is what the connection dialogs and the sheets report to; the modem call and the PC
// recording each have a controller of their own (serving SeedLink has CServeControl).
class CMainFrame : public QMainWindow, public link::CConnectionHost {
public:
    // Creation in order: client area, toolbar "NR_UTIL Main Toolbar", status bar, the link,
    // the port probe, the receiver thread, the persisted settings; then the start-up menu.
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Sizes the window to the screen less 10 % of its width and 7 % of its height, at the top
    // left corner.
    void PlaceOnScreen();

    // The state the other windows read.
    int Connected() const;
    int ModelCode() const { return m_ModelCode; }
    int SelectedStreamGroup() const { return m_SelectedGroup; }
    bool FullMenuShown() const { return m_FullMenuShown; }
    bool Recording() const;
    const std::string& StationName() const { return m_StationName; }
    // The miniSEED network code and component letters, read from the profile.
    recording::SMseedOptions MseedOptions() const;
    recording::CStreamList& Streams() { return m_StreamList; }
    recording::CChannelTable& Channels() { return m_Channels; }
    recording::CIntakeState& IntakeState() { return m_IntakeState; }
    link::CReceiverThread* ReceiverThread() { return m_Thread.get(); }
    // The direct line stopped answering (no data frames, no answer to a probe).
    bool LineLost() const { return m_LineWatch.Lost(); }
    recording::CRealTimeIntake* Intake() { return m_Intake.get(); }
    CDisplaySettings& Display() { return m_Display; }
    CRecentFiles& RecentFiles() { return m_Recent; }
    CTellusStatusBar* TellusStatusBar() const { return m_StatusBar; }
    // The Local port's baud rate of the last configuration the recorder accepted (0 before
    // one); the file upload paces itself by it.
    int LocalPortBaud() const { return m_LocalPortBaud; }
    void SetLocalPortBaud(int baud) { m_LocalPortBaud = baud; }
    CMenuSet& Menus() { return *m_Menus; }
    QMdiArea* MdiArea() const { return m_Mdi; }
    QToolBar* MainToolBar() const { return m_ToolBar; }
    QPrinter* Printer();

    // CConnectionHost
    link::CSerialLink* Link() override { return m_Link.get(); }
    const link::PortTable& Ports() const override { return m_PortTable; }
    // Stores the flag, resets the idle counter and the acquisition state, and switches the
    // status bar layout ("Connected: None" in pane 1 when not connected).
    void SetConnected(int flag) override;
    // "Connected " and the name in the connection-text pane; keeps the stream group.
    void ShowConnection(const std::string& name, int group) override;
    // One stream group 0 with the streams 1..n and 9..8+n.
    void SetStreams(int count) override;
    void SetModelCode(int code) override;
    void SetStationName(const std::string& name) override { m_StationName = name; }
    void SetStatusText(int pane, const QString& text) override;
    void FinishConnection(const std::vector<std::uint8_t>& configurationPayload) override;
    link::CModemSession& Modem() override;
    void SetModemObserver(ModemObserver observer) override;
    QString ModemDevice() const override;
    void SetModemDevice(const QString& device) override;
    QString PhoneDirectoryPath() const override;

    // Builds the channel table from the stream list while the receiver thread is parked.
    // Returns 1, or the channel table's failure code after showing its message.
    int RebuildChannels();
    void FreeChannels();

    // Runs a menu or toolbar command by number.
    void OnCommand(int id);
    // Enables and checks every action by the rules of the current state.
    void UpdateCommandUi();
    // Installs the full menu, without the model-17 items unless the model code is 17.
    void InstallFullMenu();
    bool AnalysisWindowOpen() const { return m_AnalysisWindow != nullptr; }
    QMdiSubWindow* AnalysisWindow() const { return m_AnalysisWindow; }
    // The analysis window hands itself over here when it is created; its menu is then shown
    // while it is the active child window.
    void AdoptAnalysisWindow(QMdiSubWindow* window);

    // PC recording: the recorder with its converter and message sink, given to the intake while
    // the receiver thread is parked; the previous set goes once the intake has let go of it.
    // Returns 1, or -1 when the thread could not be parked (nothing changed).
    int InstallRecorder(std::unique_ptr<recording::CFileRecorder> recorder,
                        std::unique_ptr<recording::CConverterLauncher> converter,
                        std::unique_ptr<recording::CRecorderMessages> messages);
    recording::CFileRecorder* Recorder() const;
    CRecordingController& RecordingControl() { return *m_Recording; }

    // Folder of the settings file; phone.ini lives beside it.
    static QString ConfigurationFolder();

protected:
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void ConnectDialog(bool fromStartupMenu);
    void TranslateDialog();
    void AboutBox();
    void HelpTopics();
    void NotAvailable(const QString& what);
    // The direct line's watch, every 100 ms: probes a quiet recorder, shows a lost one.
    void WatchLine();
    // True (after saying "Not connected ...") when the recorder stopped answering: a command
    // that talks to it is not started.
    bool RefusedAsLost();
    void OnSubWindowActivated(QMdiSubWindow* window);
    void HandleAcquisitionMessage(std::uintptr_t pane, long code);
    void LoadSettings();
    void SaveSettings();
    void ShutDown();

    QMdiArea* m_Mdi = nullptr;
    QToolBar* m_ToolBar = nullptr;
    CTellusStatusBar* m_StatusBar = nullptr;
    CMenuSet* m_Menus = nullptr;

    std::unique_ptr<link::CSerialLink> m_Link;
    link::PortTable m_PortTable;
    recording::CIntakeState m_IntakeState;
    recording::CChannelTable m_Channels;
    recording::CStreamList m_StreamList;
    std::unique_ptr<CQueuedIntakeEvents> m_Events;
    std::unique_ptr<recording::CRealTimeIntake> m_Intake;
    std::unique_ptr<CRecordingController> m_Recording;
    std::unique_ptr<link::CReceiverThread> m_Thread;
    std::unique_ptr<CModemController> m_Modem;
    link::CLineWatch m_LineWatch;
    QTimer m_LineWatchTimer;
    std::unique_ptr<QPrinter> m_Printer;

    int m_ModelCode = 0;
    int m_LocalPortBaud = 0;
    int m_SelectedGroup = 0;
    bool m_FullMenuShown = false;
    bool m_ConnectDialogOpen = false;
    bool m_ShutDown = false;
    std::string m_StationName;
    QPointer<QMdiSubWindow> m_AnalysisWindow;
    bool m_AnalysisMenuWithModelItems = true;
    CDisplaySettings m_Display;
    CRecentFiles m_Recent;
};

} // namespace nereid::shell
