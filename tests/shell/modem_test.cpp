#include "link/dialogs/connect_dialog.h"
#include "link/modem_session.h"
#include "link/serial_link.h"
#include "shell/main_frame.h"
#include "shell/tellus_status_bar.h"

#include "gui_test_support.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace nereid;
using namespace nereid::shell;

class ModemTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        const std::string link = m_Folder->File("modem");
        m_Sim = std::make_unique<testing::Simulator>(
            link, std::vector<std::string>{"--modem", "--busy-number", "5550000", "--model", "17",
                                           "--no-dialtone-number", "5550001"});
        QVERIFY(m_Sim->WaitReady());
    }
    void cleanup() {
        m_Sim.reset();
        m_Folder.reset();
    }

    void busyNumberEndsTheCall() {
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.ToggleDialout();
        dialog.ModemDevice()->setText(QString::fromStdString(m_Sim->LinkPath()));
        dialog.PhoneNumber()->setText("555 0000");
        // Record the result line as the dialog gets it.
        QStringList lines;
        QList<int> finished;
        link::CConnectionHost::ModemObserver observer;
        observer.resultLine = [&](const std::string& t) { lines << QString::fromStdString(t); };
        observer.finished = [&](int r) { finished << r; };
        frame.SetModemObserver(observer);

        dialog.Dial();
        QTRY_COMPARE_WITH_TIMEOUT(finished, QList<int>{link::kModemCallEnded}, 5000);
        QCOMPARE(lines, (QStringList{"Dialing", "LineAccepted", "Dialtone", "Dialing", "Proceeding",
                                     "Busy", "Disconnect"}));
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Disconnect"));
        QCOMPARE(frame.Connected(), 0);
        QVERIFY(!frame.Modem().Busy());
        QVERIFY(messages.texts.isEmpty());
        // The modem is free again: a second dial starts.
        dialog.PhoneNumber()->setText("5550000");
        dialog.Dial();
        QVERIFY(frame.Modem().Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Modem().Busy(), 5000);
    }

    void dialConnectsThenHangsUp() {
        testing::MessageCapture messages;
        CMainFrame frame;
        auto dialog = std::make_unique<link::CConnectDialog>(frame, &frame);
        dialog->ModemDevice()->setText(QString::fromStdString(m_Sim->LinkPath()));
        dialog->PhoneNumber()->setText("5551234");
        dialog->Dial();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->result(), int(QDialog::Accepted), 15000);
        QVERIFY(frame.Modem().CallStands());
        QCOMPARE(frame.Connected(), 1);
        QCOMPARE(frame.TellusStatusBar()->PaneText(2), QString("Connected com2"));
        QCOMPARE(frame.ModelCode(), 17);
        QVERIFY(frame.Modem().HasConfiguration());
        QCOMPARE(frame.Channels().m_ChanMap.size(), std::size_t(12));
        QVERIFY(messages.texts.isEmpty());
        // The device setting is kept for the next dial.
        QCOMPARE(frame.ModemDevice(), QString::fromStdString(m_Sim->LinkPath()));

        // A second dial while the call stands is refused with its message.
        dialog->Dial();
        QCOMPARE(messages.texts,
                 QStringList{"The NR_UTIL is already connected through the modem.\n Please "
                             "hangup first!"});
        dialog.reset();

        // The call survives the dialog; a new one hangs it up.
        link::CConnectDialog again(frame, &frame);
        again.Hangup();
        QCOMPARE(again.HangupButton()->text(), QString("Wait for Hangup"));
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Line Hangup"));
        QVERIFY(!frame.Link()->IsOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Modem().Busy(), 8000);
        QCOMPARE(frame.Modem().LastEnd(), int(link::CHayesDialler::kEndedNormally));
        QCOMPARE(again.HangupButton()->text(), QString("Hangup"));
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("LineClosed"));
        QCOMPARE(frame.Connected(), 1); // a hang-up leaves the connected flag alone
    }

    void goodCallShowsEveryProgressTextAndTakesTheFirstHardwareAnswer() {
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.ModemDevice()->setText(QString::fromStdString(m_Sim->LinkPath()));
        dialog.PhoneNumber()->setText("5551234");
        QStringList lines;
        QStringList pane1;
        QElapsedTimer clock;
        clock.start();
        qint64 syncAt = -1, configurationAt = -1;
        link::CConnectionHost::ModemObserver observer;
        observer.resultLine = [&](const std::string& t) {
            lines << QString::fromStdString(t);
            pane1 << frame.TellusStatusBar()->PaneText(1);
            if (t == link::kModemSyncText)
                syncAt = clock.elapsed();
            if (t == link::kModemConfigurationText)
                configurationAt = clock.elapsed();
        };
        frame.SetModemObserver(observer);
        const std::uint32_t orphans = frame.Link()->OrphanDrops();
        dialog.Dial();
        QTRY_VERIFY_WITH_TIMEOUT(frame.Modem().HasConfiguration(), 15000);
        QCOMPARE(lines, (QStringList{"Dialing", "LineAccepted", "Dialtone", "Dialing", "Proceeding",
                                     "Ringback", "Connected", "-SYNC-", "-CFG-"}));
        // The call-progress texts reach status pane 1 as they come.
        QCOMPARE(pane1.mid(1, 6), lines.mid(1, 6));
        // The answer to the first hardware query is taken: no resend 2 s later, no orphan.
        QVERIFY(syncAt >= 0 && configurationAt >= syncAt);
        QVERIFY2(configurationAt - syncAt < 1000,
                 qPrintable(QString("hardware answer after %1 ms").arg(configurationAt - syncAt)));
        QCOMPARE(frame.Link()->OrphanDrops(), orphans);
        QVERIFY(messages.texts.isEmpty());
    }

    void noDialtoneEndsTheCall() {
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.ModemDevice()->setText(QString::fromStdString(m_Sim->LinkPath()));
        dialog.PhoneNumber()->setText("5550001");
        QStringList lines;
        link::CConnectionHost::ModemObserver observer;
        observer.resultLine = [&](const std::string& t) { lines << QString::fromStdString(t); };
        frame.SetModemObserver(observer);
        dialog.Dial();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Modem().Busy(), 5000);
        QCOMPARE(lines,
                 (QStringList{"Dialing", "LineAccepted", "Dialtone", "Dialing", "Disconnect"}));
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Disconnect"));
        QCOMPARE(frame.Connected(), 0);
        QVERIFY(messages.texts.isEmpty());
    }

    void hangupWithoutACallShowsLineHangup() {
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.Hangup();
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Line Hangup"));
        QCOMPARE(dialog.HangupButton()->text(), QString("Hangup"));
        QVERIFY(!frame.Modem().Busy());
    }

    void dialWithoutANumber() {
        testing::MessageCapture messages;
        CMainFrame frame;
        link::CConnectDialog dialog(frame, &frame);
        dialog.ModemDevice()->setText(QString::fromStdString(m_Sim->LinkPath()));
        dialog.Dial();
        QCOMPARE(messages.texts,
                 QStringList{"Double click a site to select a phone number to dial!"});
        dialog.ModemDevice()->setText(m_Folder->QPath() + "/no-such-modem");
        dialog.PhoneNumber()->setText("123");
        dialog.Dial();
        QCOMPARE(messages.texts.last(), QString("Modem Line Intialization Error!"));
        QVERIFY(!frame.Modem().Busy());
    }

    void droppedCallShowsDisconnectAndLeavesTheConnectedState() {
        // A far end of its own, which hangs up a while after CONNECT.
        const std::string link = m_Folder->File("dropping-modem");
        // 40 recorder seconds at 10 per wall second: the far end hangs up 4 s after CONNECT,
        // well after the connection start (2 s of wake-up, then the queries).
        testing::Simulator sim(link, {"--modem", "--time-scale", "10", "--hangup-after", "40"});
        QVERIFY(sim.WaitReady());
        testing::MessageCapture messages;
        CMainFrame frame;
        QElapsedTimer clock;
        qint64 connectedAt = -1;
        {
            link::CConnectDialog dialog(frame, &frame);
            dialog.ModemDevice()->setText(QString::fromStdString(link));
            dialog.PhoneNumber()->setText("5551234");
            link::CConnectionHost::ModemObserver observer;
            observer.resultLine = [&](const std::string& t) {
                if (t == "Connected") {
                    clock.start();
                    connectedAt = 0;
                }
            };
            // Replaces the dialog's observer: the frame finishes the connection by itself.
            frame.SetModemObserver(observer);
            dialog.Dial();
            QTRY_VERIFY_WITH_TIMEOUT(frame.Modem().HasConfiguration(), 15000);
        }
        QVERIFY(connectedAt == 0);
        QCOMPARE(frame.Connected(), 1);
        QVERIFY(frame.Modem().CallStands());
        QVERIFY(frame.Link()->IsOpen());

        QTRY_VERIFY_WITH_TIMEOUT(!frame.Modem().Busy(), 10000);
        const qint64 ended = clock.elapsed();
        // The drop is seen within a second of the far end's hang-up.
        QVERIFY2(ended >= 3700 && ended < 5000,
                 qPrintable(QString("ended after %1 ms").arg(ended)));
        QCOMPARE(frame.TellusStatusBar()->PaneText(1), QString("Disconnect"));
        QCOMPARE(frame.Connected(), 0);
        QVERIFY(!frame.Link()->IsOpen());
        QCOMPARE(frame.Modem().LastEnd(), int(link::CHayesDialler::kCarrierLost));
        QVERIFY(messages.texts.isEmpty());
        // The line is free for the next call.
        frame.SetModemObserver({});
        link::CConnectDialog again(frame, &frame);
        again.ModemDevice()->setText(QString::fromStdString(link));
        again.PhoneNumber()->setText("5551234");
        again.Dial();
        QVERIFY(frame.Modem().Busy());
        QTRY_COMPARE_WITH_TIMEOUT(again.result(), int(QDialog::Accepted), 15000);
        QCOMPARE(frame.Connected(), 1);
    }

private:
    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
};

QTEST_MAIN(ModemTest)
#include "modem_test.moc"
