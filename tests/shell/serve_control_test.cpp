#include "shell/serve_control.h"

#include "link/dialogs/connect_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/tellus_status_bar.h"
#include "tests/seedlink/seedlink_test_client.h"

#include "frame_test_support.h"
#include "gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace nereid;
using namespace nereid::shell;

class ServeControlTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        m_OldCwd = QDir::currentPath();
        QDir::setCurrent(m_Folder->QPath());
    }
    void cleanup() {
        QDir::setCurrent(m_OldCwd);
        m_Sim.reset();
        m_Folder.reset();
    }

    void refusedBeforeAConnection() {
        testing::MessageCapture messages;
        CMainFrame frame;
        QString error;
        QCOMPARE(CServeControl::Of(frame).Start("127.0.0.1:0", error), 0);
        QVERIFY(error.contains("Connect to the recorder first"));
        QVERIFY(!CServeControl::Of(frame).Running());
    }

    // Served from the Operation menu's entry: the address stays in pane 1 while data flow,
    // a SeedLink client gets the recorder's records, and stopping gives the pane back.
    void servesTheConnectedRecorderAndShowsTheAddress() {
        StartSimulator({"--model", "17", "--realtime", "--time-scale", "10"});
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1000, 650);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        QVERIFY(testing::MenuLabels(frame.menuBar(), "Operation").contains("Serve SeedLink"));
        QAction* action = frame.Menus().Action(kCmdServeSeedLink);
        QVERIFY(action->isEnabled());
        QVERIFY(!action->isChecked());

        CServeControl& control = CServeControl::Of(frame);
        QCOMPARE(&CServeControl::Of(frame), &control); // one per window
        QString error;
        QCOMPARE(control.Start("127.0.0.1:0", error), 1);
        QVERIFY(error.isEmpty());
        QVERIFY(control.Address().startsWith("127.0.0.1:"));
        QVERIFY(action->isChecked());
        CTellusStatusBar* bar = frame.TellusStatusBar();
        QCOMPARE(bar->PaneText(1), control.Address());
        // The whole address shows, wider than the state pane's usual 100 pixels.
        auto* pane = bar->findChildren<QLabel*>().at(0);
        for (QLabel* label : bar->findChildren<QLabel*>()) {
            if (label->text() == control.Address())
                pane = label;
        }
        QTRY_VERIFY(pane->width() >= pane->fontMetrics().horizontalAdvance(control.Address()));
        QCOMPARE(control.Start("127.0.0.1:0", error), 0); // once is enough
        QVERIFY(error.contains("already"));

        const int port = control.Address().section(':', 1).toInt();
        seedlink::test::TestClient client(port);
        QVERIFY(client.Connected());
        QVERIFY(client.Send("DATA 000000\r\n"));
        std::vector<seedlink::test::DecodedRecord> records;
        // The client runs here, on the window's thread: let the window's events through.
        QElapsedTimer clock;
        clock.start();
        while (records.size() < 12 && clock.elapsed() < 4000) {
            QVERIFY(client.Collect(
                records, [](const auto& r) { return r.size() >= 12; }, 50));
            QCoreApplication::processEvents();
        }
        QVERIFY2(records.size() >= 12, "records from the window's intake");
        // The profile names no components: the channel number is the component.
        QVERIFY(std::any_of(records.begin(), records.end(),
                            [](const auto& r) { return r.channel == "HH1"; }));
        QCOMPARE(seedlink::test::CheckContinuity(records), std::string());
        // Data frames keep arriving; their timing text must not push the address out.
        QCOMPARE(bar->PaneText(1), control.Address());
        SaveScreenshot(frame);

        control.Stop();
        QVERIFY(!control.Running());
        QVERIFY(!action->isChecked());
        QVERIFY(!bar->StatePaneHeld());
        QVERIFY(control.Address().isEmpty());
    }

private:
    void StartSimulator(std::vector<std::string> options) {
        const std::string link = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(link, options);
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }

    void SaveScreenshot(CMainFrame& frame) {
        QDir().mkpath(NEREID_SCREENSHOT_DIR);
        const QString path = QString(NEREID_SCREENSHOT_DIR) + "/serve-seedlink.png";
        QVERIFY(frame.grab().save(path, "PNG"));
    }

    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
    QString m_OldCwd;
};

QTEST_MAIN(ServeControlTest)
#include "serve_control_test.moc"
