#include "link/dialogs/connect_dialog.h"
#include "link/line_watch.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/tellus_status_bar.h"

#include "frame_test_support.h"
#include "gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <memory>

using namespace nereid;
using namespace nereid::shell;

namespace {

QStringList Titles(QMenuBar* bar) {
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->text().remove('&');
    return titles;
}

bool IsTiming(const QString& text) {
    return QRegularExpression("^\\d+  \\d+$").match(text).hasMatch();
}

// Sends "Real Time Data to PC" with the given switch through the frame's link.
void RealTime(CMainFrame& frame, bool on) {
    link::CommandRecord record;
    record.params = link::ByteCommand{static_cast<std::uint8_t>(on ? 1 : 0)};
    frame.Link()->SendCommand(0x94, record);
}

} // namespace

class ConnectTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        m_OldCwd = QDir::currentPath();
        QDir::setCurrent(m_Folder->QPath()); // DirectConnect.txt is looked up here
    }
    void cleanup() {
        QDir::setCurrent(m_OldCwd);
        m_Sim.reset();
        m_Folder.reset();
    }

    // The operator's path: "&Connect to COM Port...", DIRECT, connected, full menu.
    void directButtonConnectsAndInstallsTheFullMenu() {
        StartSimulator({"--model", "17", "--realtime"});
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1000, 650);
        frame.show();
        QCOMPARE(Titles(frame.menuBar()), (QStringList{"File", "View", "Help"}));
        QVERIFY(!frame.Menus().Action(kCmdDataAnalysis)->isEnabled());
        QVERIFY(testing::ConnectThroughMenu(frame));

        QCOMPARE(Titles(frame.menuBar()),
                 (QStringList{"File", "View", "Functions", "Operation", "Help"}));
        const QStringList functions = testing::MenuLabels(frame.menuBar(), "Functions");
        QVERIFY(functions.contains("&Internal Recording..."));
        QVERIFY(functions.contains("File &Upload..."));
        QCOMPARE(frame.Connected(), 1);
        QCOMPARE(frame.ModelCode(), 17);
        QVERIFY(frame.Menus().Action(kCmdDataAnalysis)->isEnabled());
        QVERIFY(frame.Menus().Action(kCmdStatus)->isEnabled());
        QVERIFY(!frame.Menus().Action(kCmdDebugWindow)->isEnabled());
        QVERIFY(!frame.Menus().Action(kCmdMaintenance)->isEnabled());
        QCOMPARE(frame.TellusStatusBar()->PaneText(2),
                 "Connected " + QString::fromStdString(m_Sim->LinkPath()));
        QCOMPARE(frame.StationName(), std::string("SIM1"));
        // Six streams, all enabled by the simulator's configuration: channels 1..6 and 9..14.
        QCOMPARE(frame.Channels().m_ChanMap.size(), std::size_t(12));
        QVERIFY(messages.texts.isEmpty());

        // The stream arrives: the state pane follows the receiver thread's messages.
        QTRY_VERIFY_WITH_TIMEOUT(IsTiming(frame.TellusStatusBar()->PaneText(1)), 8000);
        SaveScreenshot(frame);

        // The recorder stops streaming: "Idle State" after the twelfth empty poll.
        RealTime(frame, false);
        QTRY_COMPARE_WITH_TIMEOUT(frame.TellusStatusBar()->PaneText(1), QString("Idle State"),
                                  8000);
    }

    // The recorder goes away while streaming: the connection pane says it is lost within
    // the quiet time and a probe's wait, a sheet opened then says "Not connected" at once,
    // and connecting again (F2) clears it.
    void lostRecorderIsShownAndSheetsSaySoAtOnce() {
        StartSimulator({"--model", "17", "--realtime"});
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        QTRY_VERIFY_WITH_TIMEOUT(IsTiming(frame.TellusStatusBar()->PaneText(1)), 8000);
        const QString port = QString::fromStdString(m_Sim->LinkPath());
        QVERIFY(!frame.LineLost());

        m_Sim->Stop();
        QElapsedTimer since;
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(frame.LineLost(), 12000);
        QVERIFY2(since.elapsed() <=
                     link::CLineWatch::kQuietMs + link::CLineWatch::kProbeAnswerMs + 1500,
                 qPrintable(QString::number(since.elapsed())));
        QCOMPARE(frame.TellusStatusBar()->PaneText(2), "Lost " + port);
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("No Answer"));

        messages.texts.clear();
        QElapsedTimer opening;
        opening.start();
        frame.OnCommand(kCmdStatus);
        QVERIFY(opening.elapsed() < 1000);
        QCOMPARE(messages.texts.value(0), "Not connected: the recorder on " + port +
                                              " does not answer. Press F2 to connect again.");
        frame.OnCommand(kCmdConfiguration);
        QCOMPARE(messages.texts.size(), 2);

        // A recorder back on the line and a new connection: connected again.
        StartSimulator({"--model", "17"});
        QVERIFY(testing::ConnectThroughMenu(frame));
        QVERIFY(!frame.LineLost());
        QCOMPARE(frame.TellusStatusBar()->PaneText(2), "Connected " + port);
    }

    void modelZeroLacksTheModel17Items() {
        StartSimulator({"--model", "0", "--streams", "3"});
        testing::MessageCapture messages;
        CMainFrame frame;
        QVERIFY(testing::ConnectThroughMenu(frame));
        QCOMPARE(frame.ModelCode(), 0);
        const QStringList functions = testing::MenuLabels(frame.menuBar(), "Functions");
        QVERIFY(functions.contains("C&alibration..."));
        QVERIFY(!functions.contains("&Internal Recording..."));
        QVERIFY(!functions.contains("File &Upload..."));
        QVERIFY(!frame.Menus().Action(kCmdInternalRecording)->isEnabled());
        QCOMPARE(frame.Streams().Streams().size(), std::size_t(6));
    }

    void hintFileNamingCom2And38400() {
        StartSimulator({});
        testing::SilentPort silent;
        {
            std::ofstream hint(m_Folder->File("DirectConnect.txt"));
            hint << "the recorder hangs on Com2, speed 38400 baud\n";
        }
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.PortList()->clear();
        dialog.PortList()->addItem(QString::fromStdString(silent.Name()));
        dialog.PortList()->addItem(QString::fromStdString(m_Sim->LinkPath()));
        dialog.SetManualTicks(true);
        dialog.Direct();
        QSet<QString> shown;
        int result = link::kSearchRunning;
        for (int tick = 0; tick < 200 && result == link::kSearchRunning; ++tick) {
            result = dialog.TickDirectSearch();
            if (!dialog.ResultText().isEmpty())
                shown << dialog.ResultText();
            QTest::qWait(15);
        }
        QCOMPARE(result, int(link::kSearchConnected));
        QCOMPARE(dialog.Search().Baud(), 38400u);
        QCOMPARE(shown, (QSet<QString>{QString::fromStdString(m_Sim->LinkPath()) + " 38400"}));
        QCOMPARE(frame.TellusStatusBar()->PaneText(2),
                 "Connected " + QString::fromStdString(m_Sim->LinkPath()));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void connectionFailedWhenNoPortAnswers() {
        testing::SilentPort first;
        testing::SilentPort second;
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.PortList()->clear();
        dialog.PortList()->addItem(QString::fromStdString(first.Name()));
        dialog.PortList()->addItem(QString::fromStdString(second.Name()));
        dialog.SetManualTicks(true);
        QElapsedTimer wall;
        wall.start();
        dialog.Direct();
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Connected None"));
        int ticks = 0;
        int result = link::kSearchRunning;
        while (result == link::kSearchRunning && ticks < 1000) {
            result = dialog.TickDirectSearch();
            ++ticks;
        }
        QCOMPARE(result, int(link::kSearchFailed));
        // 2 ports x 8 baud rates x 11 ticks: about 18 s of timer, here without the waiting.
        QCOMPARE(ticks, 2 * 8 * 11);
        QCOMPARE(dialog.Search().Attempts(), 16);
        QVERIFY(wall.elapsed() < 5000);
        QCOMPARE(messages.texts, QStringList{"Connection Failed"});
        QCOMPARE(messages.captions, QStringList{"Tellus Application"});
        QCOMPARE(dialog.ResultText(), QString("Connection Failed"));
        QCOMPARE(frame.Connected(), 0);
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Connected: None"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open, not accepted
    }

    void noPortListed() {
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.PortList()->clear();
        dialog.Direct();
        QCOMPARE(messages.texts, QStringList{"No Serial Port Available"});
        QVERIFY(!dialog.SearchRunning());
        QCOMPARE(frame.Connected(), 0);
    }

    void dialoutButtonExpandsAndCollapses() {
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        QCOMPARE(dialog.windowTitle(), QString("CONNECT"));
        QVERIFY(!dialog.DialoutExpanded());
        QCOMPARE(dialog.DialoutButton()->text(), QString("DIALOUT >>"));
        dialog.ToggleDialout();
        QVERIFY(dialog.DialoutExpanded());
        QCOMPARE(dialog.DialoutButton()->text(), QString("DIALOUT <<"));
        dialog.ToggleDialout();
        QVERIFY(!dialog.DialoutExpanded());
    }

    void closingWhileStreamingEndsQuickly() {
        StartSimulator({"--realtime", "--time-scale", "4"});
        testing::MessageCapture messages;
        {
            QWidget warmUp;
            warmUp.show();
            QCoreApplication::processEvents();
        }
        const int threadsBefore = testing::ThreadCount();
        auto frame = std::make_unique<CMainFrame>();
        frame->show();
        QVERIFY(testing::ConnectThroughMenu(*frame));
        QTRY_VERIFY_WITH_TIMEOUT(IsTiming(frame->TellusStatusBar()->PaneText(1)), 8000);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(frame->close());
        frame.reset();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(testing::ThreadCount(), threadsBefore);
    }

private:
    void StartSimulator(std::vector<std::string> options) {
        const std::string link = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(link, options);
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }

    void SaveScreenshot(CMainFrame& frame) {
        // Into the build folder: a test run leaves the work tree as it found it, and
        // "scripts/dev.sh screenshots" copies the pictures into docs/ on request.
        QDir().mkpath(NEREID_SCREENSHOT_DIR);
        const QString path = QString(NEREID_SCREENSHOT_DIR) + "/main-window.png";
        QVERIFY(frame.grab().save(path, "PNG"));
        QVERIFY(QFile(path).size() > 1000);
    }

    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
    QString m_OldCwd;
};

QTEST_MAIN(ConnectTest)
#include "connect_test.moc"
