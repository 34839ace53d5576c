// The Calibration and Internal Recording sheets on the offscreen platform against nereid-sim,
// with the timers driven by hand.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "instrument/calibration/cal_page.h"
#include "instrument/calibration/cali_sheet.h"
#include "instrument/internal_recording/ir_continuous_page.h"
#include "instrument/internal_recording/ir_event_page.h"
#include "instrument/internal_recording/ir_sheet.h"
#include "instrument/internal_recording/ir_soh_page.h"
#include "instrument/internal_recording/ir_station_page.h"
#include "instrument/internal_recording/ir_window_page.h"
#include "instrument/sheet/result_indicator.h"
#include "tests/instrument/sheet/sheet_test_support.h"

using namespace nereid;
using namespace nereid::instrument;
using nereid::testing::MessageCapture;
using nereid::testing::SaveWidgetPicture;
using nereid::testing::SimulatedRecorder;
using nereid::testing::TickToEnd;
using nereid::testing::TickWithoutWaiting;

namespace {

void Type(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->editingFinished();
}

void Choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// Ticks until the transaction ends, 25 ms apart: the 40 polls of a calibration transaction
// then leave the simulator a full second to answer on a busy machine.
QString Settle(CPropertySheet& sheet) {
    return TickToEnd(sheet, 25);
}

// Opens the sheet and reads the immediate run as the opening delay ends.
QString OpenAndReadImmediate(CCaliSheet& sheet) {
    sheet.Open();
    if (!sheet.DelayActive())
        return "no delay";
    sheet.DelayTick();
    return Settle(sheet);
}

} // namespace

class CalibrationSheetsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { CPropertySheet::SetManualTicks(true); }

    void immediateRunStartedAndStopped() {
        SimulatedRecorder recorder(17, 3);
        QVERIFY(recorder.Ready());
        CCaliSheet sheet(recorder.Context());
        QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
        QCOMPARE(sheet.windowTitle(), QString("Calibration"));
        QCOMPARE(sheet.PageCount(), 2);
        QCOMPARE(sheet.Tabs()->tabText(0), QString("Immediate"));
        QCOMPARE(sheet.Tabs()->tabText(1), QString("Scheduled"));
        QCOMPARE(sheet.ApplyButton()->text(), QString("Send"));
        QCOMPARE(sheet.CloseButton()->text(), QString("CLOSE"));
        QCOMPARE(sheet.HelpButton()->text(), QString("HELP"));
        CImmPage* page = sheet.ImmediatePage();
        QVERIFY(page->OffRadio()->isChecked()); // the recorder's run is inactive
        QCOMPARE(page->RowEnable(0)->text(), QString("1 ( Primary)"));

        page->OnRadio()->click();
        Choose(page->SignalCombo(), 4);
        Choose(page->DurationUnitCombo(), kUnitMinute);
        Type(page->DurationEdit(), "20");
        page->AmplitudeEdit()->setText("-2.5");
        page->RowEnable(0)->click();
        page->RowEnable(2)->click();
        page->RowMode(2, kCalModeShort)->click();
        sheet.Execute();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x8C));
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QCOMPARE(sheet.Indicator()->Text(), QString("Accepted"));
        QVERIFY(!page->CalModel().Modified());
        QVERIFY(SaveWidgetPicture(sheet, "calibration-immediate.png"));

        // Read back at the next opening.
        page->CalModel().durationSeconds = 0;
        QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
        QVERIFY(page->OnRadio()->isChecked());
        QCOMPARE(page->CalModel().durationSeconds, 1200);
        QCOMPARE(page->SignalCombo()->currentText(), QString("Shorted Input"));
        QCOMPARE(page->CalModel().ModeWord(), 0x31);
        QCOMPARE(page->AmplitudeEdit()->text(), QString("-2.5"));

        page->OffRadio()->click();
        sheet.Execute();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x8D));
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
        QVERIFY(page->OffRadio()->isChecked());
        QVERIFY(!page->AmplitudeEdit()->isEnabled());
    }

    void scheduledRunDefinedAndReadBack() {
        SimulatedRecorder recorder(2, 6);
        QVERIFY(recorder.Ready());
        MessageCapture messages;
        CCaliSheet sheet(recorder.Context());
        QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
        QVERIFY(sheet.ActivatePage(kScheduledPageId));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB3));
        QCOMPARE(Settle(sheet), QString("Accepted"));
        CSchPage* page = sheet.ScheduledPage();
        QCOMPARE(page->IndexCombo()->itemText(31), QString("Index 31"));
        Choose(page->IndexCombo(), 5);
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QCOMPARE(page->CalModel().index, 5);

        page->OnRadio()->click();
        Choose(page->SignalCombo(), 4); // "Pseudo Random Binary" on model 2
        Choose(page->IntervalUnitCombo(), kUnitHour);
        Type(page->IntervalEdit(), "2");
        Type(page->DurationEdit(), "90");
        Type(page->RepetitionsEdit(), "3");
        const char* date[6] = {"02", "29", "01", "12", "30", "00"};
        for (int k = 0; k < 6; ++k)
            page->DateEdit(k)->setText(date[k]);
        sheet.Execute();
        QVERIFY(!sheet.Cycle().Waiting()); // 2001 has no February 29
        QCOMPARE(messages.texts.value(0), QString("Start Time: Invalid data input"));
        QCOMPARE(messages.captions.value(0), QString("Tellus Application"));
        page->DateEdit(2)->setText("04");
        sheet.Execute();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x8C));
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QVERIFY(SaveWidgetPicture(sheet, "calibration-scheduled.png"));

        Choose(page->IndexCombo(), 6);
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QVERIFY(page->OffRadio()->isChecked());
        Choose(page->IndexCombo(), 5);
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QVERIFY(page->OnRadio()->isChecked());
        QCOMPARE(page->SignalCombo()->currentText(), QString("Pseudo Random Binary"));
        QCOMPARE(page->CalModel().intervalSeconds, 7200u);
        QCOMPARE(page->IntervalEdit()->text(), QString("2.0000"));
        QCOMPARE(page->CalModel().durationSeconds, 90);
        QCOMPARE(page->CalModel().repetitions, 3);
        QCOMPARE(page->DateEdit(1)->text(), QString("29"));
        QCOMPARE(page->DateEdit(2)->text(), QString("04"));
        QCOMPARE(page->DateEdit(4)->text(), QString("30"));

        // "Disable" for index 5 cancels it.
        page->OffRadio()->click();
        sheet.Execute();
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x8D));
        QCOMPARE(Settle(sheet), QString("Accepted"));
    }

    // The simulator refuses a 0x8C of the other length, so "Accepted" proves the long form.
    void extendedFormsFollowTheSettingsAnswer() {
        for (const char* format : {"34", "36"}) {
            SimulatedRecorder recorder(3, 3, {"--cal-format", format});
            QVERIFY(recorder.Ready());
            CCaliSheet sheet(recorder.Context());
            QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
            QVERIFY(recorder.Link().LongCalibrationAnswer());
            CImmPage* page = sheet.ImmediatePage();
            QVERIFY(!page->DampingGroup()->isHidden());
            page->OnRadio()->click();
            Type(page->DurationEdit(), "5");
            page->AmplitudeEdit()->setText("-2.5");
            page->FrequencyEdit()->setText("0.125");
            page->DampingBox(1)->click();
            page->DigitalModeBox()->click();
            sheet.Execute();
            QCOMPARE(Settle(sheet), QString("Accepted"));
            QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
            QCOMPARE(page->FrequencyEdit()->text(), QString("0.125"));
            QCOMPARE(page->AmplitudeEdit()->text(), QString("-2.5"));
            // Only the 36-byte answer carries the damping and control-mode bytes back.
            const bool full = std::string(format) == "36";
            QCOMPARE(page->DampingBox(1)->isChecked(), full);
            QCOMPARE(page->DigitalModeBox()->isChecked(), full);
            QCOMPARE(page->NormalModeBox()->isChecked(), !full);
        }
        // Opening the sheet again clears the flag until the recorder answers.
        SimulatedRecorder recorder(17, 3);
        QVERIFY(recorder.Ready());
        recorder.Link().SetLongCalibrationAnswer(true);
        CCaliSheet sheet(recorder.Context());
        sheet.Open();
        QVERIFY(!recorder.Link().LongCalibrationAnswer());
    }

    void calibrationRejectedAndNoResponse() {
        {
            SimulatedRecorder recorder(17, 3, {"--refuse", "0x8C"});
            QVERIFY(recorder.Ready());
            CCaliSheet sheet(recorder.Context());
            QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
            sheet.ImmediatePage()->OnRadio()->click();
            Type(sheet.ImmediatePage()->DurationEdit(), "5");
            sheet.Execute();
            QCOMPARE(Settle(sheet), QString("Rejected"));
            QCOMPARE(sheet.Indicator()->Text(), QString("Rejected"));
        }
        SimulatedRecorder recorder(17, 3, {"--ignore", "0x8D"});
        QVERIFY(recorder.Ready());
        CCaliSheet sheet(recorder.Context());
        QCOMPARE(OpenAndReadImmediate(sheet), QString("Accepted"));
        sheet.ImmediatePage()->OffRadio()->click();
        sheet.Execute();
        QCOMPARE(TickWithoutWaiting(sheet, 100), 41);
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
    }

    void internalRecordingChangeSentAndReadBack() {
        // Drives of their own: other tests create and remove folders in the shared temporary
        // folder while the simulator counts the space its drives use.
        QTemporaryDir drive;
        QVERIFY(drive.isValid());
        const std::string folder = drive.path().toStdString();
        SimulatedRecorder recorder(17, 3, {"--drive", "B=" + folder, "--drive", "D=" + folder});
        QVERIFY(recorder.Ready());
        CIRSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(sheet.windowTitle(), QString("Internal Recording"));
        QCOMPARE(sheet.PageCount(), 6);
        QCOMPARE(sheet.Tabs()->tabText(0), QString("Station Name "));
        QCOMPARE(sheet.Tabs()->tabText(4), QString("State of Health"));
        QCOMPARE(sheet.ApplyButton()->text(), QString("Send"));
        QCOMPARE(sheet.CloseButton()->text(), QString("Close"));
        QCOMPARE(sheet.HelpButton()->text(), QString("Help"));
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB7));
        QCOMPARE(Settle(sheet), QString("Accepted")); // drive status, then the setup
        QVERIFY(sheet.Setup().SetupReceived());
        QCOMPARE(sheet.StationPage()->CurrentEdit()->text(), QString("SIM1"));
        QCOMPARE(sheet.StatusPage()->DriveCombo()->count(), 2);
        QCOMPARE(sheet.StatusPage()->DriveCombo()->itemText(1), QString("D"));
        QVERIFY(SaveWidgetPicture(sheet, "ir-station-name.png"));
        const char* const pictures[] = {"ir-continuous.png", "ir-event.png", "ir-window.png",
                                        "ir-state-of-health.png", "ir-status.png"};
        for (int i = 1; i < 6; ++i) {
            sheet.Tabs()->setCurrentIndex(i);
            QVERIFY(SaveWidgetPicture(sheet, pictures[i - 1]));
        }

        sheet.Tabs()->setCurrentIndex(0);
        QTest::keyClicks(sheet.StationPage()->EditorEdit(), "AB");
        sheet.Tabs()->setCurrentIndex(2);
        MessageCapture messages;
        Type(sheet.EventPage()->PostEventEdit(), "0");
        Type(sheet.EventPage()->TotalVotesEdit(), "-150");
        QVERIFY(sheet.Setup().PageModified(kIREventPage));
        // Each correction is said, with the value that will be sent.
        QCOMPARE(
            messages.texts,
            (QStringList{"Post-Event Length: 0 is outside the accepted values; 1 will be sent.",
                         "Total Event Votes: -150 is outside the accepted values; -99 will "
                         "be sent."}));
        sheet.Tabs()->setCurrentIndex(5);
        Choose(sheet.StatusPage()->DriveCombo(), 1);
        sheet.Execute(); // from the Status page: every page's values go out
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0x8F));
        QCOMPARE(Settle(sheet), QString("Accepted"));
        for (int page = 0; page < kIRPageCount; ++page)
            QVERIFY(!sheet.Setup().PageModified(page));

        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Accepted"));
        QCOMPARE(sheet.StationPage()->CurrentEdit()->text(), QString("AB  "));
        QCOMPARE(sheet.Setup().status.edit.drive, 3);
        QCOMPARE(sheet.Setup().event.edit.postEvent, 1);
        QCOMPARE(sheet.Setup().event.edit.totalVotes, -99);
        QCOMPARE(sheet.StatusPage()->DriveCombo()->currentText(), QString("D"));
    }

    void windowCheckRefusesLeavingThePageAndTheSend() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        MessageCapture messages;
        CIRSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Accepted"));
        sheet.Tabs()->setCurrentIndex(3);
        sheet.WindowPage()->SpanEdit(0)->setText("1");
        sheet.WindowPage()->SpanEdit(1)->setText("00");
        sheet.WindowPage()->SpanEdit(3)->setText("0");
        sheet.WindowPage()->SpanEdit(4)->setText("59");
        sheet.WindowPage()->SpanEdit(5)->setText("59");
        sheet.Execute();
        QVERIFY(!sheet.Cycle().Waiting());
        QCOMPARE(messages.texts.value(0),
                 QString("The duration must be less than the interval!!!"));
        QCOMPARE(sheet.WindowPage()->SpanEdit(3)->text(), QString("1"));
        QCOMPARE(sheet.WindowPage()->SpanEdit(5)->text(), QString("01"));
        sheet.WindowPage()->SpanEdit(3)->setText("0");
        sheet.Tabs()->setCurrentIndex(4);
        QCOMPARE(sheet.Tabs()->currentIndex(), 3);
        QCOMPARE(messages.texts.size(), 2);
    }

    // A second opening whose setup read fails sends nothing: the record goes out whole, and
    // the first recorder's windows, triggers and station name would overwrite the second's.
    void secondOpeningAfterAFailedReadSendsNothing() {
        SimulatedRecorder first(17, 6);
        SimulatedRecorder second(17, 6, {"--refuse", "0xB5"});
        QVERIFY(first.Ready() && second.Ready());
        CIRSheet sheet(first.Context());
        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Accepted"));
        sheet.reject();

        QVERIFY(nereid::testing::Reconnect(first, second));
        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Rejected"));
        QVERIFY(!sheet.Setup().SetupReceived());
        MessageCapture messages;
        for (int tab : {0, 3, 5}) {
            sheet.Tabs()->setCurrentIndex(tab);
            QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
            QVERIFY(!sheet.Cycle().Waiting());
        }
        QCOMPARE(messages.texts, QStringList(3, QString(kSetupNotReadText)));
        QVERIFY(sheet.Indicator()->isHidden());
    }

    // The "Storage Drive:" boxes show what the recorder has: its storage drive, and drive A
    // when that is all it reports.
    void storageDriveListsShowTheRecordersDrives() {
        {
            SimulatedRecorder recorder(17, 6); // drive A and the internal card E
            QVERIFY(recorder.Ready());
            CIRSheet sheet(recorder.Context());
            sheet.Open();
            QCOMPARE(Settle(sheet), QString("Accepted"));
            sheet.Tabs()->setCurrentIndex(5);
            QCOMPARE(sheet.StatusPage()->DriveCombo()->count(), 1);
            QCOMPARE(sheet.StatusPage()->DriveCombo()->currentText(), QString("E"));
        }
        QTemporaryDir drive;
        QVERIFY(drive.isValid());
        SimulatedRecorder recorder(17, 6, {"--drive", "A=" + drive.path().toStdString()});
        QVERIFY(recorder.Ready());
        CIRSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Accepted"));
        sheet.Tabs()->setCurrentIndex(1);
        QComboBox* box = sheet.ContinuousPage()->DriveCombo();
        QCOMPARE(box->count(), 1);
        QCOMPARE(box->currentText(), QString("A"));
        QVERIFY(SaveWidgetPicture(sheet, "ir-continuous-drive-a.png"));
    }

    // Typed and left with Tab: a correction is said once, naming the field and the value that
    // will be sent, and the focus goes back to the field; a text that is no number is kept out.
    void typedEntriesAreCheckedWhenLeftAndCorrectionsAreSaid() {
        SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CIRSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(Settle(sheet), QString("Accepted"));
        sheet.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QTabBar* bar = sheet.Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(sheet.Tabs()->currentIndex(), 2);

        MessageCapture messages;
        QLineEdit* total = sheet.EventPage()->TotalVotesEdit();
        QTest::mouseClick(total, Qt::LeftButton);
        QTest::keyClick(total, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(total, "500");
        QTest::keyClick(total, Qt::Key_Tab);
        QCOMPARE(messages.texts,
                 QStringList{"Total Event Votes: 500 is outside the accepted values; 99 will be "
                             "sent."});
        QCOMPARE(total->text(), QString("99"));
        QVERIFY(total->hasFocus());
        QTest::keyClick(total, Qt::Key_Tab); // left again: nothing more to say
        QCOMPARE(messages.texts.size(), 1);
        QCOMPARE(sheet.Setup().event.edit.totalVotes, 99);

        QLineEdit* pre = sheet.EventPage()->PreEventEdit();
        QTest::mouseClick(pre, Qt::LeftButton);
        QTest::keyClick(pre, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(pre, "12x4");
        QTest::keyClick(pre, Qt::Key_Tab);
        QCOMPARE(messages.texts.value(1),
                 QString("Pre-Event Length: \"12x4\" is not a whole number; 10 is kept."));
        QCOMPARE(pre->text(), QString("10"));
        QVERIFY(pre->hasFocus());
        QCOMPARE(sheet.Setup().event.edit.preEvent, 10);
    }

    void internalRecordingRejectedAndNoResponse() {
        {
            SimulatedRecorder recorder(17, 3, {"--refuse", "0x8F"});
            QVERIFY(recorder.Ready());
            CIRSheet sheet(recorder.Context());
            sheet.Open();
            QCOMPARE(Settle(sheet), QString("Accepted"));
            QTest::keyClicks(sheet.StationPage()->EditorEdit(), "X");
            sheet.Execute();
            QCOMPARE(Settle(sheet), QString("Rejected"));
            QVERIFY(sheet.Setup().PageModified(kIRStationPage)); // the pages keep their values
        }
        SimulatedRecorder recorder(17, 3, {"--ignore", "0xB5"});
        QVERIFY(recorder.Ready());
        CIRSheet sheet(recorder.Context());
        sheet.Open();
        // The drive status comes; the setup does not, and the sheet waits its 300 polls.
        for (int i = 0; i < 200 && sheet.Cycle().PendingCode() != 0xB5; ++i) {
            QTest::qWait(10);
            sheet.PollTick();
        }
        QCOMPARE(sheet.Cycle().PendingCode(), std::uint8_t(0xB5));
        QCOMPARE(TickWithoutWaiting(sheet, 400), 301);
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
        QVERIFY(!sheet.Setup().SetupReceived());
    }
};

QTEST_MAIN(CalibrationSheetsTest)
#include "calibration_sheets_test.moc"
