#include "shell/main_frame.h"

#include <chrono>

#include "link/channel_rebuild.h"
#include "link/command_records.h"
#include "link/dialogs/message_box.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/intake.h"
#include "recording/recorder_messages.h"
#include "shell/command_ids.h"
#include "shell/menu_set.h"
#include "shell/modem_controller.h"
#include "shell/profile.h"
#include "shell/queued_intake_events.h"
#include "shell/recording_controller.h"
#include "shell/tellus_status_bar.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>

namespace nereid::shell {

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
    m_ToolBar = addToolBar("NR_UTIL Main Toolbar");
    m_ToolBar->setObjectName("NR_UTIL Main Toolbar");
    m_ToolBar->setWindowTitle("NR_UTIL Main Toolbar");
    m_ToolBar->setIconSize(QSize(16, 16));
    m_ToolBar->setMovable(true);
    m_ToolBar->setFloatable(true);
    m_Menus->FillToolBar(m_ToolBar);
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
    m_Recording = std::make_unique<CRecordingController>(*this);
    m_Modem = std::make_unique<CModemController>(*this, *m_Link,
                                                 [this] { m_Recording->FinishAfterLineLoss(); });
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
    const int result =
        link::RebuildChannels(m_Channels, m_StreamList, m_Link.get(), m_Thread.get());
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

link::CModemSession& CMainFrame::Modem() {
    return m_Modem->Session();
}

void CMainFrame::SetModemObserver(ModemObserver observer) {
    m_Modem->SetObserver(std::move(observer));
}

QString CMainFrame::ModemDevice() const {
    return CModemController::Device();
}

void CMainFrame::SetModemDevice(const QString& device) {
    CModemController::SetDevice(device);
}

QPrinter* CMainFrame::Printer() {
    if (!m_Printer)
        m_Printer = std::make_unique<QPrinter>();
    return m_Printer.get();
}

void CMainFrame::customEvent(QEvent* event) {
    if (event->type() == CUserMessageEvent::EventType()) {
        const auto* message = static_cast<CUserMessageEvent*>(event);
        if (message->m_Message == recording::kMsgAcquisition) {
            HandleAcquisitionMessage(message->m_WParam, message->m_LParam);
        } else if (message->m_Message == recording::kMsgStopRecording && message->m_WParam == 0) {
            m_Recording->ShowStopped();
            UpdateCommandUi();
        }
        return;
    }
    if (event->type() == CProgressEvent::EventType()) {
        m_Recording->ShowProgress(*static_cast<CProgressEvent*>(event));
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
    return m_Recording->Install(std::move(recorder), std::move(converter), std::move(messages));
}

recording::CFileRecorder* CMainFrame::Recorder() const {
    return m_Recording ? m_Recording->Recorder() : nullptr;
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
    m_Modem->StopTicks();
    if (m_Thread)
        m_Thread->Stop();
    m_Recording->Finish();
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
