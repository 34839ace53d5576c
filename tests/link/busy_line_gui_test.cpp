// The main window connected to a recorder that streams before and while it connects: the
// state pane shows the frame timing within two seconds of the connection and keeps showing it.

#include "link/dialogs/connect_dialog.h"
#include "link/serial_link.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/tellus_status_bar.h"

#include "tests/shell/frame_test_support.h"
#include "tests/shell/gui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace nereid;
using namespace nereid::shell;

namespace {

bool IsTiming(const QString& text) {
    return QRegularExpression("^\\d+  \\d+$").match(text).hasMatch();
}

} // namespace

class BusyLineGuiTest : public QObject {
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

    void frameTimingFollowsTheStream_data() {
        QTest::addColumn<QStringList>("options");
        // About 90 % of a 115200-baud line, and unpaced at about four times that.
        QTest::newRow("115200 baud at 90 %")
            << QStringList{"--baud", "115200", "--realtime", "--time-scale", "4.65"};
        QTest::newRow("unpaced") << QStringList{"--realtime", "--time-scale", "20"};
        // As scripts/demo.sh starts it: one burst of frames per wall second.
        QTest::newRow("time-scale 1") << QStringList{"--realtime"};
    }

    void frameTimingFollowsTheStream() {
        QFETCH(QStringList, options);
        std::vector<std::string> args;
        for (const QString& o : options)
            args.push_back(o.toStdString());
        StartSimulator(args);
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.show();
        QTest::qWait(300); // the stream is under way before the operator connects
        QVERIFY(testing::ConnectThroughMenu(frame));
        QCOMPARE(frame.StationName(), std::string("SIM1"));
        QVERIFY(messages.texts.isEmpty());

        QElapsedTimer since;
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(IsTiming(frame.TellusStatusBar()->PaneText(1)), 2000);
        QVERIFY(since.elapsed() <= 2000);

        // And it keeps showing: three seconds without "Idle State" while the stream goes on.
        link::CSerialLink* serial = frame.Link();
        QVERIFY(serial != nullptr);
        const std::uint64_t before = serial->BytesReceived();
        for (int i = 0; i < 30; ++i) {
            QTest::qWait(100);
            const QString text = frame.TellusStatusBar()->PaneText(1);
            QVERIFY2(IsTiming(text), qPrintable(text));
        }
        QVERIFY(serial->BytesReceived() > before + 3000);
        QCOMPARE(serial->RingOverflowDrops(), 0u);
    }

private:
    void StartSimulator(const std::vector<std::string>& options) {
        const std::string path = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(path, options);
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", path.c_str(), 1);
    }


    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
    QString m_OldCwd;
};

QTEST_MAIN(BusyLineGuiTest)
#include "busy_line_gui_test.moc"
