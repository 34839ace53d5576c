// The Configuration sheet against nereid-sim, models 17, 3 and 0, offscreen.

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "instrument/configuration/cha_page.h"
#include "instrument/configuration/channel_page.h"
#include "instrument/configuration/config_sheet.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/result_indicator.h"
#include "link/channel_rebuild.h"
#include "recording/channel_table.h"
#include "recording/intake_state.h"
#include "tests/instrument/sheet/sheet_test_support.h"

namespace nereid::instrument {

namespace {

// What the main window does after an accepted configuration, on the test's own table.
struct AcceptedLog {
    int calls = 0;
    int localBaud = -1;
    int rebuilt = 0;
    recording::CChannelTable table;
    recording::CIntakeState state;
};

void Hook(CConfigSheet& sheet, testing::SimulatedRecorder& recorder, AcceptedLog& log) {
    sheet.SetAcceptedHook([&](int baud) {
        ++log.calls;
        log.localBaud = baud;
        log.rebuilt = link::RebuildChannels(log.table, recorder.Streams(), &recorder.Link(),
                                            nullptr, &log.state);
    });
}

int StreamRate(const recording::CStreamList& streams, const std::string& number) {
    for (const recording::StreamEntry& s : streams.Streams()) {
        if (s.number == number) {
            return s.rate;
        }
    }
    return -1;
}

void Choose(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

} // namespace

class ConfigSheetTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { CPropertySheet::SetManualTicks(true); }

    void sixChannelRateChangeIsSentReadBackAndRebuildsTheChannels() {
        testing::SimulatedRecorder recorder(17, 6);
        QVERIFY(recorder.Ready());
        CConfigSheet sheet(recorder.Context());
        AcceptedLog log;
        Hook(sheet, recorder, log);
        sheet.Open();
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(sheet.PageIds(), (std::vector<int>{kOnePortCommunicationsPage, kSixChannelPage,
                                                    kTimePage, kTriggersPage}));
        QCOMPARE(sheet.ApplyButton()->text(), QString("Send"));
        QCOMPARE(sheet.HelpButton()->text(), QString("HELP"));
        QCOMPARE(sheet.Config().ChannelPage().PrimaryRate(CChannelPageModel::kGroupA), 100);

        for (int id : sheet.PageIds()) {
            QVERIFY(sheet.ActivatePage(id));
            const char* names[] = {"communications", "channels", "time", "triggers"};
            const auto ids = sheet.PageIds();
            const auto at = std::find(ids.begin(), ids.end(), id) - ids.begin();
            QVERIFY(testing::SaveWidgetPicture(
                sheet, QString("config-m17-%1.png").arg(QString::fromLatin1(names[at]))));
        }

        QVERIFY(sheet.ActivatePage(kSixChannelPage));
        Choose(sheet.ChannelPage()->findChildren<QComboBox*>()[0], "200");
        sheet.Execute();
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(log.calls, 1);
        QCOMPARE(log.localBaud, 9600);
        QCOMPARE(log.rebuilt, 1);
        QCOMPARE(StreamRate(recorder.Streams(), "1"), 200);
        QCOMPARE(StreamRate(recorder.Streams(), "4"), 100);
        QCOMPARE(StreamRate(recorder.Streams(), "9"), 100); // 10 is not offered for 200
        QCOMPARE(log.table.m_ChanMap.at(1).rate, 200);
        QCOMPARE(log.table.m_ChanMap.at(4).rate, 100);
        QVERIFY(!sheet.Config().Modified());
        QVERIFY(sheet.Config().LastSent().has_value());

        // The recorder holds what was sent.
        sheet.TransactQuery(kGetConfiguration);
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(int(sheet.Config().Received().rateCodes[0]), 33);
        QCOMPARE(int(sheet.Config().Received().rateCodes[8]), 30);
        sheet.reject();
        QVERIFY(!sheet.Config().LastSent().has_value());
    }

    void lumenEightChannelPageUsesTheExtendedList() {
        testing::SimulatedRecorder recorder(3, 3);
        QVERIFY(recorder.Ready());
        CConfigSheet sheet(recorder.Context());
        AcceptedLog log;
        Hook(sheet, recorder, log);
        sheet.Open();
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(sheet.PageIds(),
                 (std::vector<int>{kFivePortCommunicationsPage, kEightChannelPage, kTimePage}));
        QVERIFY(sheet.ActivatePage(kEightChannelPage));
        QVERIFY(testing::SaveWidgetPicture(sheet, "config-m3-channels.png"));
        auto combos = sheet.ChaPage()->findChildren<QComboBox*>();
        Choose(combos[2], "2");
        QCOMPARE(combos[0]->currentText(), QString("2"));
        sheet.Execute();
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(StreamRate(recorder.Streams(), "1"), 2);
        QCOMPARE(StreamRate(recorder.Streams(), "3"), 2);
        QCOMPARE(StreamRate(recorder.Streams(), "9"), 10);
        QCOMPARE(log.table.m_ChanMap.at(2).rate, 2);
        sheet.TransactQuery(kGetConfiguration);
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        QCOMPARE(int(sheet.Config().Received().rateCodes[1]), 61);
        QCOMPARE(int(sheet.Config().Received().portWords[0]), 0x8A57);
    }

    void rejectedConfigurationChangesNothing() {
        testing::SimulatedRecorder recorder(0, 3, {"--refuse", "0x89"});
        QVERIFY(recorder.Ready());
        CConfigSheet sheet(recorder.Context());
        AcceptedLog log;
        Hook(sheet, recorder, log);
        sheet.Open();
        QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
        Choose(sheet.ChaPage()->findChildren<QComboBox*>()[0], "500");
        sheet.Execute();
        QCOMPARE(testing::TickToEnd(sheet), QString("Rejected"));
        QCOMPARE(log.calls, 0);
        QCOMPARE(StreamRate(recorder.Streams(), "1"), 0); // the list was never given rates
        QVERIFY(sheet.Config().ChaPage().Modified());
    }

    void rejectedQueryKeepsTheDefaultsAndSendIsRefused() {
        testing::SimulatedRecorder recorder(0, 3, {"--refuse", "0xB2"});
        QVERIFY(recorder.Ready());
        CConfigSheet sheet(recorder.Context());
        sheet.Open();
        QCOMPARE(testing::TickToEnd(sheet), QString("Rejected"));
        QVERIFY(!sheet.Config().HasAnswer());
        testing::MessageCapture messages;
        sheet.Execute();
        QCOMPARE(messages.texts, QStringList{QString(kConfigurationNotReadText)});
        QVERIFY(!sheet.Cycle().Waiting());
    }

    // The sheet lives for the whole run: a second opening whose query fails must not send the
    // record the first opening read (another recorder's ports, rates and triggers).
    void secondOpeningAfterAFailedReadSendsNothing() {
        for (int model : {17, 3}) {
            testing::SimulatedRecorder first(model, model == 17 ? 6 : 3);
            testing::SimulatedRecorder second(model, model == 17 ? 6 : 3, {"--refuse", "0xB2"});
            QVERIFY(first.Ready() && second.Ready());
            CConfigSheet sheet(first.Context());
            sheet.Open();
            QCOMPARE(testing::TickToEnd(sheet), QString("Accepted"));
            QVERIFY(sheet.Config().HasAnswer());
            sheet.reject();

            QVERIFY(testing::Reconnect(first, second));
            sheet.Open();
            QVERIFY(!sheet.Config().HasAnswer());
            QCOMPARE(testing::TickToEnd(sheet), QString("Rejected"));
            testing::MessageCapture messages;
            QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
            QCOMPARE(messages.texts, QStringList{QString(kConfigurationNotReadText)});
            QVERIFY(!sheet.Cycle().Waiting());
            QVERIFY(!sheet.Config().LastSent().has_value());
            QVERIFY(sheet.Indicator()->isHidden());
        }
    }

    void silentRecorderGivesNoResponse() {
        testing::SimulatedRecorder recorder(17, 3, {"--drop", "1"});
        QVERIFY(recorder.Ready());
        CConfigSheet sheet(recorder.Context());
        sheet.Open();
        testing::TickWithoutWaiting(sheet, 41);
        QCOMPARE(sheet.Indicator()->Text(), QString("No Response"));
        // Without the recorder's record nothing is sent: a record of defaults would clear the
        // port and channel words the pages do not show.
        testing::MessageCapture messages;
        sheet.Execute();
        QCOMPARE(messages.texts, QStringList{QString(kConfigurationNotReadText)});
        QVERIFY(!sheet.Cycle().Waiting());
        QVERIFY(sheet.Indicator()->isHidden()); // no result of a Send that did not happen
    }
};

} // namespace nereid::instrument

QTEST_MAIN(nereid::instrument::ConfigSheetTest)
#include "config_sheet_test.moc"
