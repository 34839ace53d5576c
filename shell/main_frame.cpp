#include "shell/main_frame.h"

#include <chrono>

#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "link/channel_rebuild.h"
#include "link/command_records.h"
#include "link/dialogs/connect_dialog.h"
#include "link/dialogs/message_box.h"
#include "link/modem_session.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "link/tty_modem_line.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/intake.h"
#include "recording/recorder_messages.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/menu_set.h"
#include "shell/queued_intake_events.h"
#include "shell/serve_control.h"
#include "shell/sheet_routes.h"
#include "shell/tellus_status_bar.h"
#include "shell/translate_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>
#include <QWhatsThis>

namespace nereid::shell {

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QSettings Profile() {
    return QSettings("NR-Utility", "TellusW32");
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Nereid Utility");
    m_IntakeState.m_TimeStamps.fill(recording::BcdTime{});

    m_Mdi = new QMdiArea(this);
    m_Mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_Mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_Mdi);
    connect(m_Mdi, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* window) { OnSubWindowActivated(window); });

    m_Menus = new CMenuSet(this, [this](int id) { OnCommand(id); });
    CreateToolBar();
    m_StatusBar = new CTellusStatusBar(this);
    setStatusBar(m_StatusBar);
    // F2 runs "Connect" whichever menu is installed.
    auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
    connect(f2, &QShortcut::activated, this, [this] { OnCommand(kCmdConnect); });
    addAction(m_Menus->Action(kCmdHelpTopics));
    addAction(m_Menus->Action(kCmdContextHelp));

    m_Link = std::make_unique<link::CSerialLink>();
    m_Link->SetModemAttachedListener([this](int streams, const std::string& text) {
        SetStreams(streams);
        SetConnected(1);
        m_StatusBar->SetPaneText(m_StatusBar->ConnectionPane(), QString::fromStdString(text));
    });
    m_ModemLine = std::make_unique<link::CTtyModemLine>();
    m_Modem = std::make_unique<link::CModemSession>(*m_Link, *m_ModemLine);
    link::CModemSession::Hooks hooks;
    hooks.statusText = [this](const std::string& text) {
        SetStatusText(1, QString::fromStdString(text));
    };
    hooks.showResult = [this](const std::string& text) {
        if (m_ModemObserver.resultLine)
            m_ModemObserver.resultLine(text);
    };
    hooks.attachPort = [this](int fd) { m_Link->AttachModemPort(fd); };
    hooks.setConnected = [this](bool on) { SetConnected(on ? 1 : 0); };
    hooks.showConnection = [this](const std::string& name, int group) {
        ShowConnection(name, group);
    };
    hooks.setStreams = [this](int count) { SetStreams(count); };
    hooks.callDropped = [this] {
        // Nothing more can come over the line: the port goes under the port lock, so the
        // receiver thread's poll ends cleanly, and a recording is stopped.
        m_Link->Close();
        if (Recording()) {
            // No further second arrives to end the recording at its stop flag: its files are
            // closed and the last period converted now, with the receiver thread parked.
            const bool park = m_Thread && m_Thread->Running();
            if (!park) {
                FinishRecording();
            } else if (m_Thread->Park() == 1) {
                FinishRecording();
                m_Thread->Resume();
            } else {
                StopRealTimeRecording(*this);
            }
        }
        SetConnected(0);
    };
    m_Modem->SetHooks(hooks);
    m_ModemTimer.setInterval(kModemTickMs);
    connect(&m_ModemTimer, &QTimer::timeout, this, [this] { TickModem(); });
    // Always running: an idle call's tick does nothing, and a call placed from the dialog
    // goes on (or hangs up) after the dialog has closed.
    m_ModemTimer.start();
    m_LineWatchTimer.setInterval(100);
    connect(&m_LineWatchTimer, &QTimer::timeout, this, [this] { WatchLine(); });

    link::CPortProbe::Probe(*m_Link, m_PortTable);

    m_Events = std::make_unique<CQueuedIntakeEvents>(this);
    m_Intake = std::make_unique<recording::CRealTimeIntake>(m_Channels, m_IntakeState, *m_Events);
    m_Thread =
        std::make_unique<link::CReceiverThread>(*m_Link, *m_Intake, m_IntakeState, *m_Events);
    m_Thread->Start();

    LoadSettings();
    setMenuBar(m_Menus->BuildStartupMenu());
    UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
    ShutDown();
}

void CMainFrame::CreateToolBar() {
    m_ToolBar = addToolBar("NR_UTIL Main Toolbar");
    m_ToolBar->setObjectName("NR_UTIL Main Toolbar");
    m_ToolBar->setWindowTitle("NR_UTIL Main Toolbar");
    m_ToolBar->setIconSize(QSize(16, 16));
    m_ToolBar->setMovable(true);
    m_ToolBar->setFloatable(true);
    QStyle* s = style();
    const struct {
        int id;
        QIcon icon;
        const char* tip;
    } buttons[] = {
        {kCmdConnectComPort, s->standardIcon(QStyle::SP_DriveNetIcon), "Connect to COM Port"},
        {kCmdExit, s->standardIcon(QStyle::SP_DialogCloseButton), "Exit"},
        {0, {}, nullptr},
        {kCmdDataAnalysis, s->standardIcon(QStyle::SP_FileDialogContentsView), "Data Analysis"},
        {0, {}, nullptr},
        {kCmdPrint,
         QIcon::fromTheme("document-print", s->standardIcon(QStyle::SP_DialogSaveButton)), "Print"},
        {kCmdAbout, s->standardIcon(QStyle::SP_MessageBoxInformation), "About"},
        {kCmdContextHelp, s->standardIcon(QStyle::SP_TitleBarContextHelpButton), "Help"},
    };
    for (const auto& b : buttons) {
        if (b.id == 0) {
            m_ToolBar->addSeparator();
            continue;
        }
        QAction* action = m_Menus->Action(b.id);
        action->setIcon(b.icon);
        action->setToolTip(b.tip);
        m_ToolBar->addAction(action);
    }
    // The menus show their labels without icons, as they always have.
    for (const auto& [id, action] : m_Menus->Actions())
        action->setIconVisibleInMenu(false);
}

void CMainFrame::PlaceOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const int width = area.width() - area.width() / 10;
    const int height = area.height() - area.height() * 7 / 100;
    resize(width, height);
    move(area.topLeft());
}

int CMainFrame::Connected() const {
    return m_IntakeState.m_bConnected.load() ? 1 : 0;
}
bool CMainFrame::Recording() const {
    return m_IntakeState.m_bRecording.load();
}

void CMainFrame::SetConnected(int flag) {
    m_IntakeState.m_bConnected.store(flag != 0);
    m_IntakeState.m_IdleCounter.store(0);
    m_IntakeState.m_AcquisitionState.store(recording::kAcquisitionUnknown);
    m_StatusBar->SetConnectedLayout(flag != 0);
    // A modem call has its own watch (carrier, NO CARRIER); a direct line only has silence.
    if (flag != 0 && !m_Modem->CallStands()) {
        m_LineWatch.Start(m_Link->BytesReceived(), SteadyMs());
        m_LineWatchTimer.start();
    } else {
        m_LineWatch.Stop();
        m_LineWatchTimer.stop();
    }
    UpdateCommandUi();
}

void CMainFrame::WatchLine() {
    if (!Connected() || m_Modem->CallStands()) {
        m_LineWatch.Stop();
        m_LineWatchTimer.stop();
        return;
    }
    const QString port = QString::fromStdString(m_Link->PortName());
    switch (m_LineWatch.Tick(m_Link->BytesReceived(), SteadyMs(), m_Link->TransactionWaiting())) {
    case link::CLineWatch::kSendProbe:
        // Its answer is taken (and acknowledged) as an orphan; only its bytes count here.
        m_Link->SendCommand(0xB0, link::CommandRecord{});
        break;
    case link::CLineWatch::kLost:
        m_StatusBar->SetPaneText(m_StatusBar->ConnectionPane(), "Lost " + port);
        m_StatusBar->SetPaneText(1, "No Answer");
        break;
    case link::CLineWatch::kAnswering:
        m_StatusBar->SetPaneText(m_StatusBar->ConnectionPane(), "Connected " + port);
        m_StatusBar->SetPaneText(1, QString());
        break;
    default:
        break;
    }
}

bool CMainFrame::RefusedAsLost() {
    if (!m_LineWatch.Lost())
        return false;
    link::ShowMessage(this, link::kTellusCaption,
                      "Not connected: the recorder on " +
                          QString::fromStdString(m_Link->PortName()) +
                          " does not answer. Press F2 to connect again.");
    return true;
}

void CMainFrame::ShowConnection(const std::string& name, int group) {
    m_SelectedGroup = group;
    m_StatusBar->SetPaneText(m_StatusBar->ConnectionPane(),
                             "Connected " + QString::fromStdString(name));
}

void CMainFrame::SetStreams(int count) {
    m_StreamList.SetStreams(count);
}

void CMainFrame::SetModelCode(int code) {
    m_ModelCode = code;
    UpdateCommandUi();
}

void CMainFrame::SetStatusText(int pane, const QString& text) {
    m_StatusBar->SetPaneText(pane, text);
}

void CMainFrame::FinishConnection(const std::vector<std::uint8_t>& configurationPayload) {
    if (!configurationPayload.empty())
        m_StreamList.ApplyConfigurationAnswer(configurationPayload.data(),
                                              configurationPayload.size());
    RebuildChannels();
    UpdateCommandUi();
}

int CMainFrame::RebuildChannels() {
    const int result = link::RebuildChannels(m_Channels, m_StreamList, m_Link.get(), m_Thread.get());
    if (result != 1)
        link::ShowMessage(this, link::kTellusCaption,
                          QString::fromStdString(m_Channels.LastError()));
    return result;
}

void CMainFrame::FreeChannels() {
    // The thread reads the table: it is released only while the thread is parked or gone.
    if (m_Thread && m_Thread->Running()) {
        if (m_Thread->Park() != 1)
            return;
        m_Channels.FreeChannels();
        m_Thread->Resume();
        return;
    }
    m_Channels.FreeChannels();
}

QString CMainFrame::ConfigurationFolder() {
    return QFileInfo(Profile().fileName()).absolutePath();
}

QString CMainFrame::PhoneDirectoryPath() const {
    const QString folder = ConfigurationFolder();
    QDir().mkpath(folder);
    return folder + "/phone.ini";
}

QString CMainFrame::ModemDevice() const {
    return Profile().value("Modem/Device").toString();
}

void CMainFrame::SetModemDevice(const QString& device) {
    Profile().setValue("Modem/Device", device);
}

QPrinter* CMainFrame::Printer() {
    if (!m_Printer)
        m_Printer = std::make_unique<QPrinter>();
    return m_Printer.get();
}

void CMainFrame::UpdateCommandUi() {
    const bool connected = Connected() != 0;
    const bool recording = Recording();
    const bool analysisActive = m_AnalysisWindow && m_Mdi->activeSubWindow() == m_AnalysisWindow;
    const auto enable = [this](int id, bool on) {
        if (QAction* action = m_Menus->Action(id))
            action->setEnabled(on);
    };
    enable(kCmdDataAnalysis, m_FullMenuShown);
    for (int id : {kCmdStatus, kCmdCommands, kCmdConfiguration, kCmdCalibration})
        enable(id, connected);
    enable(kCmdInternalRecording, m_ModelCode == 17);
    enable(kCmdFileUpload, m_ModelCode == 17);
    for (int id : {kCmdDaDiSPRecording, kCmdCssRecording, kCmdSeisanRecording, kCmdMseedRecording})
        enable(id, connected && !recording);
    enable(kCmdStopRecording, recording);
    enable(kCmdDebugWindow, false);
    enable(kCmdServeSeedLink, connected);
    enable(kCmdMaintenance, false);
    for (int id : {kCmdFileClose, kCmdCopyToClipboard, kCmdPrint, kCmdChannelBar, kCmdOffsetAdjust})
        enable(id, analysisActive);
    const bool children = !m_Mdi->subWindowList().isEmpty();
    for (int id : {kCmdWindowCascade, kCmdWindowTile, kCmdWindowArrange})
        enable(id, children);
    if (const display::CAnaWnd* analysis = display::AnalysisWindowOf(m_AnalysisWindow)) {
        m_Menus->Action(kCmdChannelBar)->setChecked(analysis->ChannelBarShown());
        m_Menus->Action(kCmdOffsetAdjust)->setChecked(analysis->View()->OffsetAdjust());
    }
    m_Menus->Action(kCmdViewToolbar)->setChecked(m_ToolBar->isVisible() || !isVisible());
    m_Menus->Action(kCmdViewStatusBar)->setChecked(!m_StatusBar->isHidden());
}

void CMainFrame::InstallFullMenu() {
    QMenuBar* bar = m_Menus->BuildFullMenu(m_ModelCode == 17);
    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUi(); });
    setMenuBar(bar);
    UpdateCommandUi();
}

void CMainFrame::AdoptAnalysisWindow(QMdiSubWindow* window) {
    m_AnalysisWindow = window;
    if (window && m_Mdi->activeSubWindow() == window)
        OnSubWindowActivated(window);
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
    if (window && window == m_AnalysisWindow) {
        QMenuBar* bar = m_Menus->BuildAnalysisMenu(m_AnalysisMenuWithModelItems);
        for (QMenu* menu : bar->findChildren<QMenu*>())
            connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUi(); });
        setMenuBar(bar);
    } else if (!window && m_FullMenuShown) {
        // With no child window active the frame's default menu, the full one, is shown.
        InstallFullMenu();
    }
    UpdateCommandUi();
}

void CMainFrame::NotAvailable(const QString& what) {
    SetStatusText(0, what + " is not available in this version.");
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case kCmdConnectComPort:
        ConnectDialog(true);
        break;
    case kCmdConnect:
        ConnectDialog(false);
        break;
    case kCmdDataFileDisplay:
        if (OpenAnalysisWindow(*this) == 1)
            m_FullMenuShown = true;
        else
            NotAvailable("The data analysis window");
        break;
    case kCmdServeSeedLink:
        ToggleServeSeedLink(*this);
        break;
    case kCmdDataAnalysis:
        if (!m_FullMenuShown)
            break;
        if (OpenAnalysisWindow(*this) == 1) {
            if (m_ModelCode != 17) {
                m_AnalysisMenuWithModelItems = false;
                if (m_AnalysisWindow && m_Mdi->activeSubWindow() == m_AnalysisWindow)
                    CMenuSet::RemoveModel17Items(menuBar());
            }
        } else {
            NotAvailable("The data analysis window");
        }
        break;
    case kCmdTranslate:
        TranslateDialog();
        break;
    case kCmdExit:
        close();
        break;
    case kCmdViewToolbar:
        m_ToolBar->setVisible(!m_ToolBar->isVisible());
        break;
    case kCmdViewStatusBar:
        m_StatusBar->setVisible(m_StatusBar->isHidden());
        break;
    case kCmdHelpTopics:
        HelpTopics();
        break;
    case kCmdContextHelp:
        QWhatsThis::enterWhatsThisMode();
        break;
    case kCmdAbout:
        AboutBox();
        break;
    case kCmdPrintSetup: {
        QPageSetupDialog dialog(Printer(), this);
        dialog.exec();
        break;
    }
    case kCmdStatus:
        if (Connected() && !RefusedAsLost() && OpenStatusSheet(*this) != 1)
            NotAvailable("The Status sheet");
        break;
    case kCmdCommands:
        if (Connected() && !RefusedAsLost() && OpenCommandSheet(*this) != 1)
            NotAvailable("The Command sheet");
        break;
    case kCmdConfiguration:
        if (Connected() && !RefusedAsLost() && OpenConfigurationSheet(*this) != 1)
            NotAvailable("The Configuration sheet");
        break;
    case kCmdCalibration:
        if (Connected() && !RefusedAsLost() && OpenCalibrationSheet(*this) != 1)
            NotAvailable("The Calibration sheet");
        break;
    case kCmdInternalRecording:
        if (m_ModelCode == 17 && !RefusedAsLost() && OpenInternalRecordingSheet(*this) != 1)
            NotAvailable("The Internal Recording sheet");
        break;
    case kCmdFileUpload:
        if (m_ModelCode == 17 && !RefusedAsLost() && OpenFileUploadDialog(*this) != 1)
            NotAvailable("The File Upload dialog");
        break;
    case kCmdDaDiSPRecording:
    case kCmdCssRecording:
    case kCmdSeisanRecording:
    case kCmdMseedRecording: {
        if (!Connected() || Recording() || RefusedAsLost())
            break;
        const RecordingForm form = id == kCmdDaDiSPRecording  ? kRecordDaDiSP
                                   : id == kCmdCssRecording   ? kRecordCss
                                   : id == kCmdMseedRecording ? kRecordMseed
                                                              : kRecordSeisan;
        if (OpenRecordingSetup(*this, form) != 1)
            NotAvailable("Real time recording");
        break;
    }
    case kCmdStopRecording:
        if (Recording() && StopRealTimeRecording(*this) != 1)
            NotAvailable("Stopping the real time recording");
        break;
    case kCmdWindowCascade:
        m_Mdi->cascadeSubWindows();
        break;
    case kCmdWindowTile:
        m_Mdi->tileSubWindows();
        break;
    case kCmdWindowArrange:
        for (QMdiSubWindow* window : m_Mdi->subWindowList()) {
            if (window->isMinimized())
                window->showMinimized();
        }
        m_Mdi->tileSubWindows();
        break;
    case kCmdFileClose:
    case kCmdCopyToClipboard:
    case kCmdPrint:
    case kCmdChannelBar:
    case kCmdOffsetAdjust:
        if (RunAnalysisCommand(*this, id) != 1)
            NotAvailable("This analysis window command");
        break;
    default:
        break;
    }
    UpdateCommandUi();
}

void CMainFrame::ConnectDialog(bool fromStartupMenu) {
    if (m_ConnectDialogOpen)
        return;
    m_ConnectDialogOpen = true;
    link::CConnectDialog dialog(*this, this);
    const int result = dialog.exec();
    m_ConnectDialogOpen = false;
    if (result != QDialog::Accepted)
        return;
    (void)fromStartupMenu;
    // Both connect commands install the full menu after a connection, so that its Functions
    // popup follows the model of the recorder now connected.
    m_FullMenuShown = true;
    if (!AnalysisWindowOpen())
        InstallFullMenu();
    UpdateCommandUi();
}

void CMainFrame::TranslateDialog() {
    CTranslateDialog dialog(this);
    dialog.SetMseedOptions(MseedOptions());
    dialog.exec();
}

void CMainFrame::AboutBox() {
    CAboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::HelpTopics() {
    SetStatusText(0, "No help file is installed with this version.");
}

void CMainFrame::TickModem() {
    const int result = m_Modem->Tick();
    if (result == link::kModemConnected || result == link::kModemNoConfiguration) {
        SetModelCode(m_Modem->ModelCode());
        if (result == link::kModemNoConfiguration)
            link::ShowMessage(this, link::kTellusCaption, link::kNoConfigurationText);
        FinishConnection(m_Modem->HasConfiguration() ? m_Modem->ConfigurationPayload()
                                                     : std::vector<std::uint8_t>{});
    } else if (result == link::kModemCallEnded) {
        if (m_Modem->LastEnd() == link::CHayesDialler::kNoModemAnswer)
            link::ShowMessage(this, link::kTellusCaption, link::kModemInitErrorText);
        else if (m_Modem->LastEnd() == link::CHayesDialler::kDropFailed)
            link::ShowMessage(this, link::kTellusCaption, link::kModemDropErrorText);
    }
    if (result != link::kModemRunning && m_ModemObserver.finished)
        m_ModemObserver.finished(result);
}

void CMainFrame::customEvent(QEvent* event) {
    if (event->type() == CUserMessageEvent::EventType()) {
        const auto* message = static_cast<CUserMessageEvent*>(event);
        if (message->m_Message == recording::kMsgAcquisition) {
            HandleAcquisitionMessage(message->m_WParam, message->m_LParam);
        } else if (message->m_Message == recording::kMsgStopRecording && message->m_WParam == 0) {
            m_StatusBar->ShowRecordingProgress(false);
            m_StatusBar->SetRecordingDestination(QString());
            m_IntakeState.m_AcquisitionState.store(recording::kRecordingStopped);
            m_IntakeState.m_IdleCounter.store(0);
            m_IntakeState.m_bRecording.store(false);
            UpdateCommandUi();
        }
        return;
    }
    if (event->type() == CProgressEvent::EventType()) {
        const auto* progress = static_cast<CProgressEvent*>(event);
        if (progress->m_ShowChange)
            m_StatusBar->ShowRecordingProgress(progress->m_Show);
        else
            m_StatusBar->SetRecordingProgress(progress->m_Percent);
        return;
    }
    QMainWindow::customEvent(event);
}

void CMainFrame::HandleAcquisitionMessage(std::uintptr_t pane, long code) {
    // The acquisition texts belong to the state pane of the connected layout; a message that
    // arrives after the connection ended must not overwrite the connection text there.
    if (!m_StatusBar->ConnectedLayout() || pane < 1 || pane > 2)
        return;
    const int index = static_cast<int>(pane);
    switch (code) {
    case recording::kCodeAcquisitionStarted:
        SetStatusText(index, "Acquisition State");
        break;
    case recording::kCodeIdle:
        SetStatusText(index, "Idle State");
        break;
    case recording::kCodeAcquisitionStopped:
        SetStatusText(index, "Acquisition Stopped");
        break;
    case recording::kCodeDataFrame:
        SetStatusText(index, QString::asprintf("%d  %d", m_Link->FrameIntervalMs(),
                                               m_Link->LastThreeIntervalsMs()));
        break;
    default:
        break;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_Thread && m_Thread->Stop() < 0) {
        link::ShowMessage(this, link::kTellusCaption, "Failure: close thread");
        event->ignore();
        return;
    }
    event->accept();
}

recording::SMseedOptions CMainFrame::MseedOptions() const {
    QSettings settings = Profile();
    return LoadMseedOptions(settings);
}

void CMainFrame::LoadSettings() {
    QSettings settings = Profile();
    m_Display.Load(settings);
    m_Recent.Load(settings);
}

void CMainFrame::SaveSettings() {
    QSettings settings = Profile();
    m_Display.Save(settings);
    m_Recent.Save(settings);
    settings.sync();
}

int CMainFrame::InstallRecorder(std::unique_ptr<recording::CFileRecorder> recorder,
                                std::unique_ptr<recording::CConverterLauncher> converter,
                                std::unique_ptr<recording::CRecorderMessages> messages) {
    const bool park = m_Thread && m_Thread->Running();
    if (park && m_Thread->Park() != 1)
        return -1;
    m_Intake->SetRecorder(recorder.get());
    if (park)
        m_Thread->Resume();
    // The previous period's conversion may still run: let it end before its launcher goes.
    if (m_Converter)
        m_Converter->WaitIdle(recording::CConverterLauncher::kDefaultWaitLimitMs);
    m_Recorder = std::move(recorder);
    m_Converter = std::move(converter);
    m_RecorderMessages = std::move(messages);
    return 1;
}

void CMainFrame::FinishRecording() {
    if (!m_Recorder)
        return;
    if (m_Intake)
        m_Intake->SetRecorder(nullptr);
    if (m_IntakeState.m_bRecording.load()) {
        // Closes every file and waits for the last period's conversion, within its time limit.
        m_Recorder->Finish();
        m_IntakeState.m_bRecording.store(false);
    }
    if (m_Converter)
        m_Converter->WaitIdle(recording::CConverterLauncher::kDefaultWaitLimitMs);
    m_Recorder.reset();
    m_Converter.reset();
    m_RecorderMessages.reset();
}

void CMainFrame::ShutDown() {
    if (m_ShutDown)
        return;
    m_ShutDown = true;
    // The child windows go while what they read still exists; the frame no longer follows
    // their activation (it would install menus into a window being destroyed).
    if (m_Mdi)
        m_Mdi->disconnect(this);
    delete m_AnalysisWindow.data();
    m_ModemTimer.stop();
    if (m_Thread)
        m_Thread->Stop();
    FinishRecording();
    // A failed last conversion is said now: the closing program's event loop would not show
    // its queued message any more.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_Channels.FreeChannels();
    m_StreamList = recording::CStreamList{};
    m_Thread.reset();
    m_Intake.reset();
    m_Modem.reset();
    if (m_Link)
        m_Link->Close();
    m_Link.reset();
    SaveSettings();
}

} // namespace nereid::shell
