// The Calibration and Internal Recording pages on the offscreen platform: what the operator
// types becomes what the models hold, and the pages' own corrections and messages.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "instrument/calibration/cal_page.h"
#include "instrument/calibration/cal_shared_spin.h"
#include "instrument/internal_recording/ir_event_page.h"
#include "instrument/internal_recording/ir_soh_page.h"
#include "instrument/internal_recording/ir_station_page.h"
#include "instrument/internal_recording/ir_window_page.h"
#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"
#include "recording/stream_list.h"

using namespace nereid;
using namespace nereid::instrument;

namespace {

std::vector<recording::StreamEntry> Streams(int n) {
    recording::CStreamList list;
    list.SetStreams(n);
    return list.Streams();
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    emit edit->editingFinished();
}

link::InternalRecordingRecord Received() {
    link::InternalRecordingRecord r;
    r.postEventSeconds = 30;
    r.maxEventSeconds = 300;
    r.triggerWindow = 10;
    for (auto& w : r.windows) {
        w.duration = 600;
        w.interval = 3600;
        w.repetitions = 1;
    }
    r.stationName = {'S', 'I', 'M', '1'};
    return r;
}

} // namespace

class CalibrationPagesTest : public QObject {
    Q_OBJECT
private slots:
    void durationClampShowsTheUnitTextAndTheMessage() {
        CImmPage page;
        page.Configure(1, Streams(3), 3);
        QSignalSpy messages(&page, &CCalPage::message);
        page.DurationUnitCombo()->setCurrentIndex(kUnitMinute);
        emit page.DurationUnitCombo()->activated(kUnitMinute);
        Type(page.DurationEdit(), "1100");
        QCOMPARE(page.DurationEdit()->text(), QString(" 1092.2"));
        QCOMPARE(page.CalModel().durationSeconds, 65535);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0][1].toString(),
                 QString("The maximum value for duration time is 65535 seconds"));
        Type(page.DurationEdit(), "20");
        QCOMPARE(page.CalModel().durationSeconds, 1200);
        // Changing the unit redisplays the stored seconds, and is no operator change.
        page.CalModel().SetModified(false);
        emit page.DurationUnitCombo()->activated(kUnitHour);
        QCOMPARE(page.DurationEdit()->text(), QString("0.3333"));
        QVERIFY(!page.CalModel().Modified());
    }

    void shortedInputAndRowsFollowTheModel() {
        CImmPage page;
        page.Configure(0, Streams(3), 3);
        QCOMPARE(page.SignalCombo()->itemText(4), QString("Shorted Input"));
        QVERIFY(page.DampingGroup()->isHidden());
        QVERIFY(!page.RowEnable(2)->parentWidget()->isHidden());
        QVERIFY(page.RowEnable(3)->parentWidget()->isHidden());
        page.Configure(3, Streams(1), 1);
        QCOMPARE(page.SignalCombo()->itemText(5), QString("Shorted Input"));
        QVERIFY(!page.DampingGroup()->isHidden());
        page.RowEnable(0)->click();
        QVERIFY(page.RowMode(0, kCalModeSensor)->isChecked());
        page.RowMode(0, kCalModeShort)->click();
        QCOMPARE(page.CalModel().ModeWord(), 3);
        page.DigitalModeBox()->click();
        QVERIFY(!page.NormalModeBox()->isChecked());
        page.DigitalModeBox()->click();
        QVERIFY(page.NormalModeBox()->isChecked());

        // A six-channel model 3: damping boxes for channels 1..6 only (the record has six);
        // three channels: three boxes.
        page.Configure(3, Streams(6), 6);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(page.DampingBox(c)->isHidden(), c >= 6);
        page.Configure(3, Streams(3), 3);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(page.DampingBox(c)->isHidden(), c >= 3);
        page.Configure(0, Streams(6), 6);
        QVERIFY(page.DampingBox(0)->isHidden());
    }

    void neitherRunChoiceBeforeAnAnswerAndStopDisablesTheValues() {
        CImmPage page;
        page.Configure(17, Streams(6), 6);
        QVERIFY(!page.OnRadio()->isChecked());
        QVERIFY(!page.OffRadio()->isChecked());
        page.OffRadio()->click();
        QVERIFY(!page.AmplitudeEdit()->isEnabled());
        QVERIFY(page.CalModel().Modified());
        page.OnRadio()->click();
        QVERIFY(page.AmplitudeEdit()->isEnabled());
    }

    // The date and the time row each share one spin button, which takes the range of the
    // edit that last had the focus.
    void sharedSpinButtonsFollowTheFocus() {
        CSchPage page;
        page.Configure(17, Streams(3), 3);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.DateEdit(0)->setText("12");
        page.DateEdit(0)->setFocus();
        QApplication::processEvents();
        page.DateSpin()->Step(1);
        QCOMPARE(page.DateEdit(0)->text(), QString("12")); // month stops at 12
        page.DateEdit(1)->setFocus();
        QApplication::processEvents();
        page.DateSpin()->Step(1);
        QCOMPARE(page.DateEdit(1)->text(), QString("02"));
        QCOMPARE(page.DateSpin()->High(), 31);
        page.DateEdit(1)->setText("31");
        page.DateSpin()->Step(1);
        QCOMPARE(page.DateEdit(1)->text(), QString("31"));
        page.DateEdit(5)->setFocus();
        QApplication::processEvents();
        page.TimeSpin()->Step(-1);
        QCOMPARE(page.DateEdit(5)->text(), QString("00"));
        QCOMPARE(page.TimeSpin()->High(), 59);
        page.ReadControls();
        QCOMPARE(page.CalModel().start.month, 12);
        QCOMPARE(page.CalModel().start.day, 31);
    }

    void windowThreeStaysWhenItsDurationIsNotBelowTheInterval() {
        CIRSetupModel setup;
        setup.Decode(Received());
        CIRDWindowPage page(setup);
        QSignalSpy messages(&page, &CIRPage::message);
        page.Refresh();
        page.WindowCombo()->setCurrentIndex(2);
        emit page.WindowCombo()->activated(2);
        QCOMPARE(setup.window.Selected(), 2);
        page.SpanEdit(0)->setText("1");
        page.SpanEdit(1)->setText("00");
        page.SpanEdit(2)->setText("00");
        page.SpanEdit(3)->setText("0");
        page.SpanEdit(4)->setText("59");
        page.SpanEdit(5)->setText("59");
        page.WindowCombo()->setCurrentIndex(3);
        emit page.WindowCombo()->activated(3);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages[0][1].toString(),
                 QString("The duration must be less than the interval!!!"));
        QCOMPARE(page.WindowCombo()->currentIndex(), 2);
        QCOMPARE(setup.window.Selected(), 2);
        QCOMPARE(page.SpanEdit(3)->text(), QString("1"));
        QCOMPARE(page.SpanEdit(4)->text(), QString("00"));
        QCOMPARE(page.SpanEdit(5)->text(), QString("01"));
    }

    void eventCorrectionsAndDrives() {
        CDriveNames names;
        names.ApplyInstalled({0, 1, 0, 1, 0});
        CIRSetupModel setup;
        link::InternalRecordingRecord received = Received();
        received.eventDrive = 1;
        setup.Decode(received);
        CIRDEventPage page(setup);
        page.SetDriveNames(&names);
        page.Refresh();
        QCOMPARE(page.DriveCombo()->count(), 2);
        QCOMPARE(page.DriveCombo()->itemText(0), QString("B"));
        QCOMPARE(page.DriveCombo()->itemText(1), QString("D"));
        page.DriveCombo()->setCurrentIndex(1);
        emit page.DriveCombo()->activated(1);
        QCOMPARE(setup.event.edit.drive, 3);
        // A setting on a drive the recorder does not report stays visible, and is kept.
        setup.status.edit.drive = 2;
        CIRDStatusPage status(setup);
        status.SetDriveNames(&names);
        status.Refresh();
        QCOMPARE(status.DriveCombo()->count(), 3);
        QCOMPARE(status.DriveCombo()->currentText(), QString("C (not installed)"));
        status.ReadControls();
        QCOMPARE(setup.status.edit.drive, 2);
        Type(page.PostEventEdit(), "0");
        QCOMPARE(page.PostEventEdit()->text(), QString("1"));
        Type(page.PreEventEdit(), "0");
        QCOMPARE(page.PreEventEdit()->text(), QString("0"));
        Type(page.TotalVotesEdit(), "-150");
        QCOMPARE(page.TotalVotesEdit()->text(), QString("-99"));
        QCOMPARE(setup.event.edit.totalVotes, -99);
        QVERIFY(setup.PageModified(kIREventPage));
    }

    void stationNameIsPaddedAndCurrentValueShown() {
        CIRSetupModel setup;
        setup.Decode(Received());
        CIRDStationNamePage page(setup);
        page.Refresh();
        QCOMPARE(page.CurrentEdit()->text(), QString("SIM1"));
        QTest::keyClicks(page.EditorEdit(), "AB");
        QCOMPARE(setup.station.Name(), std::string("AB  "));
        QVERIFY(setup.PageModified(kIRStationPage));
    }
};

QTEST_MAIN(CalibrationPagesTest)
#include "calibration_pages_test.moc"
