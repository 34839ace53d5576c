// The Status sheet on the offscreen platform against nereid-sim: page sets, the send-and-wait
// cycle, the refresh stop, and the answer limits, with the timers driven by hand.

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "instrument/command/command_sheet.h"
#include "instrument/sheet/help_viewer.h"
#include "instrument/sheet/model/help_topics.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/result_indicator.h"
#include "instrument/status/status_pages.h"
#include "instrument/status/status_sheet.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "tests/instrument/sheet/sheet_test_support.h"

#include <QApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

using namespace nereid;
using namespace nereid::instrument;
using nereid::testing::SimulatedRecorder;
using nereid::testing::TickToEnd;
using nereid::testing::TickWithoutWaiting;

namespace {

QString FieldText(CFieldsPage* page, int index) {
    return page->Field(index)->text();
}

} // namespace

class StatusSheetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CPropertySheet::SetManualTicks(true); }

    void merlinShowsFourPagesAndEveryPageIsAccepted() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(sheet.PageCount(), 4);
        QCOMPARE(sheet.PageIds(),
                 (std::vector<int>{kHardwarePage, kStateOfHealthPage, kGpsPage, kDriveStatusPage}));
        QCOMPARE(sheet.ApplyButton()->text(), QString("REFRESH"));
        QCOMPARE(sheet.CloseButton()->text(), QString("CLOSE"));
        QVERIFY(sheet.HelpButton() == nullptr);
        QVERIFY(sheet.RefreshTimerActive());
        // The opening sends the hardware query; the first page does not send it again.
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB0));
        QVERIFY(sheet.Indicator()->IsWaiting());
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(sheet.Indicator()->Text(), QString("Accepted"));
        QCOMPARE(FieldText(sheet.HardPage(), 0), QString("1234"));
        QCOMPARE(FieldText(sheet.HardPage(), 20), QString("Merlin"));
        QCOMPARE(FieldText(sheet.HardPage(), 21), QString("02.05"));
        QVERIFY(testing::SaveWidgetPicture(sheet, "status-hardware.png"));

        QVERIFY(sheet.ActivatePage(kStateOfHealthPage));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB1));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        // The simulator's CPU temperature counts lie near 2457: about 25 degrees.
        const double cpu = FieldText(sheet.StaPage(), 1).toDouble();
        QVERIFY2(cpu > 24.8 && cpu < 25.1, qPrintable(FieldText(sheet.StaPage(), 1)));
        QCOMPARE(FieldText(sheet.StaPage(), 10), QString("N/A")); // case: not model 3
        QCOMPARE(FieldText(sheet.StaPage(), 15), QString("N/A"));
        QVERIFY(testing::SaveWidgetPicture(sheet, "status-health.png"));

        QVERIFY(sheet.ActivatePage(kGpsPage));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB4));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(FieldText(sheet.ClocPage(), 1), QString("Locked"));
        QVERIFY(testing::SaveWidgetPicture(sheet, "status-gps.png"));

        QVERIFY(sheet.ActivatePage(kDriveStatusPage));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB7));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        CDriveStatusPage* drives = sheet.DrivePage();
        QVERIFY(drives->Installed(0)->isChecked()); // drive A: generated recordings
        QCOMPARE(drives->Cell(0, 0)->text(), QString("PC Card RAM"));
        QCOMPARE(drives->Cell(0, 1)->text(), QString("NEREID_A"));
        QCOMPARE(drives->Cell(0, 2)->text(), QString("1A2B-00FF"));
        QVERIFY(!drives->Installed(1)->isChecked());
        QCOMPARE(drives->Cell(1, 3)->text(), QString("0"));
        QVERIFY(testing::SaveWidgetPicture(sheet, "status-drives.png"));

        // REFRESH re-sends the active page's query.
        sheet.ApplyButton()->click();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB7));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        // The 6 s timer does the same.
        sheet.RefreshTick();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB7));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        sheet.reject();
        QVERIFY(!sheet.RefreshTimerActive());
        QVERIFY(!sheet.PollTimerActive());
    }

    void lumenAndQuillShowThreePages() {
        for (int model : {3, 0}) {
            SimulatedRecorder recorder(model, 3);
            QVERIFY(recorder.Ready());
            CStatusSheet sheet(recorder.Context());
            sheet.Open();
            QCOMPARE(sheet.PageCount(), 3);
            QVERIFY(sheet.Page(kDriveStatusPage) == nullptr);
            QCOMPARE(TickToEnd(sheet), QString("Accepted"));
            QCOMPARE(FieldText(sheet.HardPage(), 20), QString(model == 3 ? "Lumen" : "Quill"));
            QVERIFY(sheet.ActivatePage(kStateOfHealthPage));
            QCOMPARE(TickToEnd(sheet), QString("Accepted"));
            // The simulator reports the case closed; only model 3 reads the switch.
            QCOMPARE(FieldText(sheet.StaPage(), 10), QString(model == 3 ? "CLOSED" : "N/A"));
            sheet.reject();
        }
    }

    // While the sheet waits the mouse belongs to it: a click on another tab does nothing.
    void clicksDuringTheWaitAreSwallowed() {
        SimulatedRecorder recorder(17, 6, {"--drop", "1"});
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTabBar* bar = sheet.Tabs()->tabBar();
        const QPoint gps = bar->tabRect(2).center();
        QVERIFY(sheet.Cycle().Waiting());
        QTest::mouseClick(bar, Qt::LeftButton, {}, gps);
        QCOMPARE(sheet.Tabs()->currentIndex(), 0);
        TickWithoutWaiting(sheet, 100);
        QTest::mouseClick(bar, Qt::LeftButton, {}, gps);
        QCOMPARE(sheet.Tabs()->currentIndex(), 2);
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB4));
        sheet.reject();
    }

    void secondOpeningAfterAModelChangeKeepsTheFirstPageSet() {
        SimulatedRecorder recorder(3, 3);
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(sheet.PageCount(), 3);
        TickToEnd(sheet);
        sheet.reject();
        recorder.SetModel(17);
        sheet.Open();
        QCOMPARE(sheet.PageCount(), 3);
        QCOMPARE(sheet.LatchedModelCode(), 3);
        sheet.reject();
    }

    void droppedQueriesEndInNoResponseAndStopTheRefreshAfterTheFourth() {
        SimulatedRecorder recorder(17, 6, {"--drop", "1"});
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        // The Status sheet gives up on the 40th poll.
        QCOMPARE(TickWithoutWaiting(sheet, 100), 40);
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
        QVERIFY(sheet.RefreshTimerActive());
        for (int run = 2; run <= 4; ++run) {
            sheet.RefreshTick();
            QVERIFY(sheet.Cycle().Waiting());
            TickWithoutWaiting(sheet, 100);
            QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
            QCOMPARE(sheet.RefreshTimerActive(), run < 4);
        }
        // Quiet now: the refresh tick sends nothing, REFRESH and tab changes still do.
        sheet.RefreshTick();
        QVERIFY(!sheet.Cycle().Waiting());
        QVERIFY(sheet.ActivatePage(kGpsPage));
        QVERIFY(sheet.Cycle().Waiting());
        sheet.reject();
        // Opening again starts the refresh again.
        sheet.Open();
        QVERIFY(sheet.RefreshTimerActive());
        sheet.reject();
    }

    void answerOnTheFortiethPollIsNotTakenAndRefreshRestartsTheWait() {
        // Answers leave 400 ms late: 39 quick polls see nothing, then the answer is there.
        SimulatedRecorder recorder(17, 6, {"--delay", "400"});
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(TickWithoutWaiting(sheet, 20), 20);
        // REFRESH while waiting: the wait restarts with the new command.
        sheet.ApplyButton()->click();
        QCOMPARE(sheet.Cycle().PollCount(), 0);
        QCOMPARE(TickWithoutWaiting(sheet, 39), 39);
        QVERIFY(sheet.Cycle().Waiting());
        QTest::qWait(900); // both answers (of the first and the second 0xB0) are in by now
        sheet.PollTick();
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
        QCOMPARE(FieldText(sheet.HardPage(), 0), QString(""));
        sheet.reject();
    }

    // The Functions menu's "&Status..." and "C&ommands..." open the frame's own sheets, created
    // once and shown modally each time.
    void frameMenuOpensItsSheets() {
        testing::TempFolder folder;
        testing::UsePrivateConfiguration(folder);
        const std::string line = folder.File("line");
        testing::Simulator sim(line, {"--model", "17", "--streams", "6"});
        QVERIFY(sim.WaitReady());
        testing::MessageCapture messages;
        shell::CMainFrame frame;
        QVERIFY(frame.Link()->Open(line, 9600, 0, 0, 8) == 1);
        frame.SetModelCode(17);
        frame.SetStreams(6);
        frame.SetConnected(1);
        QStringList seen;
        auto inspect = [&seen] {
            auto* sheet = qobject_cast<CPropertySheet*>(QApplication::activeModalWidget());
            if (sheet == nullptr) {
                seen << "no sheet";
                return;
            }
            seen << QString("%1 %2").arg(sheet->windowTitle()).arg(sheet->PageCount());
            if (sheet->Cycle().Waiting())
                seen << TickToEnd(*sheet);
            sheet->reject();
        };
        QTimer::singleShot(0, inspect);
        frame.OnCommand(shell::kCmdStatus);
        QTimer::singleShot(0, inspect);
        frame.OnCommand(shell::kCmdCommands);
        QTimer::singleShot(0, inspect);
        frame.OnCommand(shell::kCmdStatus);
        QCOMPARE(seen, (QStringList{"Status 4", "Accepted", "Command 11", "Status 4", "Accepted"}));
        QCOMPARE(frame.findChildren<CStatusSheet*>().size(), 1);
        QCOMPARE(frame.findChildren<CCommandSheet*>().size(), 1);
        QVERIFY(messages.texts.isEmpty());
        frame.SetConnected(0);
        frame.Link()->Close();
    }

    void tabStripHelpShowsThePageTopic() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CStatusSheet sheet(recorder.Context());
        sheet.Open();
        const QPoint gpsTab(int(sheet.width() * 0.45), int(sheet.height() * 0.05));
        QCOMPARE(sheet.TabStripTopicAt(gpsTab), PageTopic(kGpsPage));
        sheet.ShowHelp(static_cast<unsigned>(sheet.TabStripTopicAt(gpsTab)));
        QVERIFY(CHelpViewer::Instance() != nullptr);
        QCOMPARE(CHelpViewer::Instance()->Topic(), unsigned(PageTopic(kGpsPage)));
        QVERIFY(CHelpViewer::Instance()->Text().startsWith("GPS Information"));
        // Per-control help on the Hardware page.
        const unsigned topic = sheet.HelpTopicFor(sheet.HardPage()->Field(3));
        QCOMPARE(topic, ControlTopic(kHardwarePage, 1003));
        TickToEnd(sheet);
        sheet.reject();
        // Its own Close button closes the help window, title bar or not.
        auto* close = CHelpViewer::Instance()->findChild<QPushButton*>("helpClose");
        QVERIFY(close != nullptr);
        QTest::mouseClick(close, Qt::LeftButton);
        QTRY_VERIFY(CHelpViewer::Instance() == nullptr);
    }
};

QTEST_MAIN(StatusSheetTest)
#include "status_sheet_test.moc"
