// The Command sheet on the offscreen platform against nereid-sim: page sets by model, every
// order accepted, refusals, dropped answers and the 40-poll limit, the relay rows and the
// damping page's own Send buttons.

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "instrument/command/command_pages.h"
#include "instrument/command/command_sheet.h"
#include "instrument/sheet/help_viewer.h"
#include "instrument/sheet/model/help_topics.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/result_indicator.h"
#include "tests/instrument/sheet/sheet_test_support.h"

using namespace nereid;
using namespace nereid::instrument;
using nereid::testing::SimulatedRecorder;
using nereid::testing::TickToEnd;
using nereid::testing::TickWithoutWaiting;

namespace {

// Makes the page active, chooses radio button `choice` (if >= 0) and presses EXECUTE.
QString ExecutePage(CCommandSheet& sheet, int page, int choice = -1) {
    if (!sheet.ActivatePage(page))
        return "page missing";
    if (choice >= 0) {
        auto* choices = qobject_cast<CChoicePage*>(sheet.Page(page));
        if (choices == nullptr)
            return "not a choice page";
        choices->Choice(choice)->click();
    }
    sheet.ApplyButton()->click();
    if (!sheet.Cycle().Waiting())
        return "nothing sent";
    return TickToEnd(sheet);
}

} // namespace

class CommandSheetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CPropertySheet::SetManualTicks(true); }

    void merlinHasElevenPagesAndAcceptsEveryOrder() {
        testing::TempFolder driveB;
        SimulatedRecorder recorder(17, 6, {"--drive", "B=" + driveB.Path()});
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(sheet.PageCount(), 11);
        QVERIFY(sheet.Page(kDampingPage) == nullptr);
        QVERIFY(sheet.Page(kPowerDownDrivePage) != nullptr);
        QVERIFY(sheet.Page(kRealTimePage) != nullptr);
        QCOMPARE(sheet.ApplyButton()->text(), QString("EXECUTE"));
        QVERIFY(sheet.ApplyButton()->isEnabled());
        QCOMPARE(sheet.HelpButton()->text(), QString("HELP"));
        // The Command sheet sends nothing when it opens.
        QVERIFY(!sheet.Cycle().Started());
        QVERIFY(sheet.Indicator()->isHidden());

        QCOMPARE(ExecutePage(sheet, kColdResetPage), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x80));
        QCOMPARE(sheet.Indicator()->Text(), QString("Accepted"));
        QCOMPARE(ExecutePage(sheet, kWarmResetPage), QString("Accepted"));
        QCOMPARE(ExecutePage(sheet, kPowerOffPage), QString("Accepted"));
        QCOMPARE(ExecutePage(sheet, kFlushPage), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x83));
        QCOMPARE(ExecutePage(sheet, kPowerDownDrivePage, 0), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x93));
        QCOMPARE(ExecutePage(sheet, kAcquisitionPage, 0), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x84));
        QCOMPARE(ExecutePage(sheet, kAcquisitionPage, 1), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x85));
        QCOMPARE(ExecutePage(sheet, kVppPage, 0), QString("Accepted"));
        QCOMPARE(ExecutePage(sheet, kLedPage, 1), QString("Accepted"));
        // Stop, so that no data frames queue up in front of later answers.
        QCOMPARE(ExecutePage(sheet, kRealTimePage, 0), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x94));
        QCOMPARE(ExecutePage(sheet, kAdcOffsetPage), QString("Accepted"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x95));

        // Relays: six rows labelled from the stream list, the rest hidden.
        CRelPage* relays = sheet.RelPage();
        QVERIFY(sheet.ActivatePage(kRelaysPage));
        QCOMPARE(relays->RowLabel(0)->text(), QString("1 ( Primary)"));
        QVERIFY(!relays->RowLabel(5)->isHidden());
        QVERIFY(relays->RowLabel(6)->isHidden());
        QVERIFY(relays->Position(0, 0)->isChecked()); // "Sig" to start with
        relays->Enable(0)->click();
        relays->Position(0, 2)->click();
        QCOMPARE(ExecutePage(sheet, kRelaysPage), QString("Accepted"));
        QCOMPARE(relays->Relays().RelayWord(), 3u);
        QVERIFY(testing::SaveWidgetPicture(sheet, "command-relays.png"));

        // Power down a drive that is not installed: the recorder refuses.
        QCOMPARE(ExecutePage(sheet, kPowerDownDrivePage, 2), QString("Rejected"));
        QCOMPARE(sheet.Indicator()->Text(), QString("Rejected"));
        sheet.reject();
    }

    // A choice page with nothing chosen sends nothing and says what to choose; the result of
    // an earlier order goes when another tab is clicked, so it cannot pass for this page's.
    void executeWithoutAChoiceSendsNothingAndSaysWhy() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(ExecutePage(sheet, kColdResetPage), QString("Accepted"));
        QTabBar* bar = sheet.Tabs()->tabBar();
        const std::pair<int, const char*> pages[] = {
            {kAcquisitionPage, "Choose \"Start\" or \"Stop\" first; nothing was sent."},
            {kVppPage, "Choose \"On\" or \"Off\" first; nothing was sent."},
            {kLedPage, "Choose \"On\" or \"Off\" first; nothing was sent."},
            {kRealTimePage, "Choose \"Stop Real Time Data to PC\" or \"Start Real Time Data to "
                            "PC\" first; nothing was sent."},
            {kPowerDownDrivePage, "Choose \"B (PCMCIA Slot 1)\", \"C (PCMCIA Slot 2)\" or \"D "
                                  "(SCSI Drive)\" first; nothing was sent."}};
        for (const auto& [page, text] : pages) {
            QVERIFY(!sheet.Indicator()->isHidden() || page != kAcquisitionPage);
            const int tab = sheet.Tabs()->indexOf(sheet.Page(page));
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
            QCOMPARE(sheet.Tabs()->currentIndex(), tab);
            QVERIFY(sheet.Indicator()->isHidden());
            testing::MessageCapture messages;
            QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
            QVERIFY(!sheet.Cycle().Waiting());
            QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x80));
            QCOMPARE(messages.texts, QStringList{QString::fromUtf8(text)});
            QVERIFY(sheet.Indicator()->isHidden());
        }
    }

    void lumenHasTenPagesWithDampingAndQuillNine() {
        {
            SimulatedRecorder recorder(3, 3);
            QVERIFY(recorder.Ready());
            CCommandSheet sheet(recorder.Context());
            sheet.Open();
            QCOMPARE(sheet.PageCount(), 10);
            QVERIFY(sheet.Page(kDampingPage) != nullptr);
            QVERIFY(sheet.Page(kPowerDownDrivePage) == nullptr);
            QVERIFY(sheet.Page(kRealTimePage) == nullptr);
            // Choice pages with their "Stop" or "Off"; the others have no choice to make.
            const std::pair<int, int> pages[] = {
                {kColdResetPage, -1}, {kWarmResetPage, -1},  {kPowerOffPage, -1},
                {kFlushPage, -1},     {kAcquisitionPage, 1}, {kRelaysPage, -1},
                {kVppPage, 1},        {kLedPage, 1},         {kAdcOffsetPage, -1}};
            for (const auto& [page, choice] : pages)
                QCOMPARE(ExecutePage(sheet, page, choice), QString("Accepted"));
            // Three streams: three relay rows.
            QVERIFY(!sheet.RelPage()->RowLabel(2)->isHidden());
            QVERIFY(sheet.RelPage()->RowLabel(3)->isHidden());
            sheet.reject();
        }
        SimulatedRecorder recorder(0, 1);
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(sheet.PageCount(), 9);
        QVERIFY(sheet.Page(kDampingPage) == nullptr);
        QCOMPARE(ExecutePage(sheet, kAdcOffsetPage), QString("Accepted"));
        sheet.reject();
    }

    void dampingPageReadsTheSettingsAndSendsOnlyChanges() {
        SimulatedRecorder recorder(3, 3);
        QVERIFY(recorder.Ready());
        testing::MessageCapture messages;
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QVERIFY(sheet.ActivatePage(kDampingPage));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xBB));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        CDampResPage* page = sheet.DampPage();
        QCOMPARE(page->Value(1)->text(), QString("64")); // the simulator's power-up values
        QVERIFY(!page->Enable(0)->isChecked());
        // Leaving and coming back does not ask again within one opening.
        QVERIFY(sheet.ActivatePage(kLedPage));
        QVERIFY(sheet.ActivatePage(kDampingPage));
        QVERIFY(!sheet.Cycle().Waiting());

        // Wide Send with nothing changed: the message, nothing sent.
        page->SendBoth()->click();
        QVERIFY(!sheet.Cycle().Waiting());
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts[0].startsWith("Resistor Enable State and/or Values are not "
                                             "different from current Lumen settings.  Changes"));
        page->Value(1)->setText("32");
        page->SendBoth()->click();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x9B));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        page->SendBoth()->click();
        QVERIFY(!sheet.Cycle().Waiting());
        QCOMPARE(messages.texts.size(), 2);

        page->SendEnables()->click();
        QCOMPARE(messages.texts.last(), QString("Resistor State did not change"));
        page->Enable(2)->click();
        page->SendEnables()->click();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x98));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));

        // Out of range: the framework's message, nothing sent, focus back on the field.
        page->Value(4)->setText("200");
        page->SendValues()->click();
        QVERIFY(!sheet.Cycle().Waiting());
        QCOMPARE(messages.texts.last(), QString("Please enter an integer between 0 and 127."));
        page->Value(4)->setText("100");
        page->SendValues()->click();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x97));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        QVERIFY(testing::SaveWidgetPicture(sheet, "command-damping.png"));

        // The recorder now reports what was sent.
        sheet.reject();
        sheet.Open();
        QVERIFY(sheet.ActivatePage(kDampingPage));
        QCOMPARE(TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(page->Value(1)->text(), QString("32"));
        QCOMPARE(page->Value(4)->text(), QString("100"));
        QVERIFY(page->Enable(2)->isChecked());
        sheet.reject();
    }

    void refusedOrderShowsRejected() {
        SimulatedRecorder recorder(17, 6, {"--refuse", "0x80,0x88"});
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(ExecutePage(sheet, kColdResetPage), QString("Rejected"));
        QCOMPARE(ExecutePage(sheet, kWarmResetPage), QString("Accepted"));
        QCOMPARE(ExecutePage(sheet, kLedPage, 0), QString("Rejected"));
        sheet.reject();
    }

    void droppedOrderEndsInNoResponseAfterTheFortiethPoll() {
        SimulatedRecorder recorder(17, 6, {"--drop", "1"});
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        QVERIFY(sheet.ActivatePage(kFlushPage));
        sheet.ApplyButton()->click();
        QCOMPARE(TickWithoutWaiting(sheet, 40), 40);
        QVERIFY(sheet.Cycle().Waiting()); // the Command sheet still waits after 40 polls
        QVERIFY(sheet.PollTimerActive());
        QCOMPARE(TickWithoutWaiting(sheet, 10), 1);
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
        QVERIFY(!sheet.PollTimerActive());
        sheet.reject();
    }

    void answerOnTheFortiethPollIsTaken() {
        SimulatedRecorder recorder(17, 6, {"--delay", "400"});
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        sheet.ApplyButton()->click(); // "Cold Reset"
        QCOMPARE(TickWithoutWaiting(sheet, 39), 39);
        QTest::qWait(700);
        sheet.PollTick();
        QCOMPARE(sheet.Cycle().PollCount(), 40);
        QCOMPARE(sheet.Indicator()->Text(), QString("Accepted"));
        sheet.reject();
    }

    void helpButtonAndTabStripTopics() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CCommandSheet sheet(recorder.Context());
        sheet.Open();
        sheet.HelpButton()->click();
        QVERIFY(CHelpViewer::Instance() != nullptr);
        QCOMPARE(CHelpViewer::Instance()->Topic(), unsigned(kCommandSheetHelpTopic));
        // Row A (the reset tabs) lies below row B while a row-A page is active...
        const QPoint flush(int(sheet.width() * 0.6), int(sheet.height() * 0.18));
        QCOMPARE(sheet.TabStripTopicAt(flush), kFlushTabTopic);
        // ...and the rows change places while a row-B page is active.
        QVERIFY(sheet.ActivatePage(kVppPage));
        QCOMPARE(sheet.TabStripTopicAt(flush), PageTopic(kLedPage));
        // Page-level help on "Vpp Supply", whatever the control.
        auto* vpp = qobject_cast<CChoicePage*>(sheet.Page(kVppPage));
        QCOMPARE(sheet.HelpTopicFor(vpp->Choice(1)), unsigned(PageTopic(kVppPage)));
        QVERIFY(sheet.ActivatePage(kFlushPage));
        QCOMPARE(sheet.HelpTopicFor(sheet.ActivePage()), 0u);
        sheet.reject();
        CHelpViewer::Instance()->close();
    }
};

QTEST_MAIN(CommandSheetTest)
#include "command_sheet_test.moc"
