// The Configuration page widgets on their models, without a recorder.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "instrument/configuration/cha_page.h"
#include "instrument/configuration/channel_page.h"
#include "instrument/configuration/com_page.h"
#include "instrument/configuration/communication_page.h"
#include "instrument/configuration/model/config_model.h"
#include "instrument/configuration/model/config_page_model.h"
#include "instrument/configuration/time_page.h"
#include "instrument/configuration/trigger_page.h"
#include "instrument/sheet/model/page_ids.h"
#include "tests/shell/gui_test_support.h"

namespace nereid::instrument {

namespace {

link::ConfigurationRecord Record() {
    link::ConfigurationRecord r;
    r.portWords = {0x8A57, 0x8256, 0x8256, 0x8256, 0x8256};
    r.channelEnableMask = 0x3F3F;
    for (std::size_t c = 0; c < 16; ++c) {
        r.rateCodes[c] = c < 8 ? 35 : 20; // 500 and 10 samples/s
    }
    r.channelWords = {0x3F3F, 0, 0, 0, 0};
    for (auto& t : r.triggers) {
        t = {2, 10, 2000, 1, 30, 400, 200, 1};
    }
    return r;
}

// The sheet-side model a page widget stands on; only its identity matters here.
CConfigModel g_Unused;
CConfigPageModel g_Page(kTimePage, "        Time       ", g_Unused);

template <typename T> std::vector<T*> Children(QWidget& w) {
    const QList<T*> list = w.template findChildren<T*>();
    return std::vector<T*>(list.begin(), list.end());
}

} // namespace

class ConfigPageWidgetsTest : public QObject {
    Q_OBJECT
private slots:
    void timeSetFieldsAreClampedOnLeavingThem() {
        testing::MessageCapture messages;
        CTimePageModel model;
        CTimePage page(g_Page, model);
        QLineEdit* month = page.TimeSetField(0);
        QLineEdit* year = page.TimeSetField(2);
        month->setText("13");
        emit month->editingFinished();
        QCOMPARE(month->text(), QString("12"));
        year->setText("1969");
        emit year->editingFinished();
        QCOMPARE(year->text(), QString("1970"));
        QCOMPARE(messages.texts,
                 (QStringList{"Time Set month: 13 is outside the accepted values; 12 will be sent.",
                              "Time Set year: 1969 is outside the accepted values; 1970 will be "
                              "sent."}));

        link::ClockSetCommand sent{};
        int calls = 0;
        page.SetClockSendHook([&](const link::ClockSetCommand& c) {
            sent = c;
            ++calls;
        });
        const char* march[] = {"3", "1", "1970", "0", "0", "0"};
        for (int i = 0; i < 6; ++i) {
            page.TimeSetField(i)->setText(march[i]);
        }
        page.ClockSendButton()->click();
        QCOMPARE(calls, 1);
        QCOMPARE(sent.seconds, 5097600u);
        QCOMPARE(int(sent.jamSet), 0);
    }

    void timeNumberFieldsRefuseOutOfRangeValues() {
        testing::MessageCapture messages;
        CTimePageModel model;
        CTimePage page(g_Page, model);
        page.JamThresholdField()->setText("1000");
        std::string message;
        QCOMPARE(page.Prepare(message), 0);
        QCOMPARE(message, std::string("Please enter an integer between 0 and 999."));
        QVERIFY(messages.texts.isEmpty()); // the sheet shows it
        page.JamThresholdField()->setText("250");
        page.GpsCycleField()->setText("60");
        QCOMPARE(page.Prepare(message), 1);
        QCOMPARE(int(model.Settings().jamSetThreshold), 250);
        QCOMPARE(model.Settings().gpsCycleTime, 60u);
    }

    void triggerCornerAndLevelLimits() {
        testing::MessageCapture messages;
        recording::CStreamList streams;
        streams.SetStreams(6);
        CConfigModel config;
        config.Open(17, streams);
        config.ShowAnswer(Record());
        CTriggerPage page(g_Page, config.TriggerPage());
        page.ChannelBox()->setCurrentIndex(1); // channel 2
        QCOMPARE(config.TriggerPage().Selected(), 2);
        page.LowPassField()->setText("300");
        emit page.LowPassField()->editingFinished();
        QCOMPARE(page.LowPassField()->text(), QString("250"));
        QCOMPARE(config.TriggerPage().Values(2).lowPass, 250.0);
        QCOMPARE(messages.texts.value(0), QString("Low Pass Filter Corner: 300 Hz is outside the "
                                                  "accepted values; 250 Hz will be sent."));

        page.ModeBox()->setCurrentIndex(CTriggerPageModel::kModeLevel);
        QVERIFY(!page.LevelField()->isHidden());
        page.LevelField()->setText("0.005");
        emit page.LevelField()->editingFinished();
        QCOMPARE(page.LevelField()->text(), QString("0"));
        page.LevelField()->setText("150");
        emit page.LevelField()->editingFinished();
        QCOMPARE(page.LevelField()->text(), QString("100"));
        QCOMPARE(messages.texts.size(), 3);
        QCOMPARE(messages.texts.value(2),
                 QString("Trigger Level: 150 % Full Scale is outside the "
                         "accepted values; 100 % Full Scale will be sent."));
        // Channel 1 kept its STA/LTA values while channel 2 was edited.
        page.ChannelBox()->setCurrentIndex(0);
        QCOMPARE(page.ModeBox()->currentIndex(), int(CTriggerPageModel::kModeStaLta));
        QVERIFY(page.LevelField()->isHidden());
        page.ModeBox()->setCurrentIndex(CTriggerPageModel::kModeNone);
        QVERIFY(page.LowPassField()->isHidden());
        QCOMPARE(config.TriggerPage().Values(1).lta, 30); // hidden, kept
    }

    // The ratio is carried in hundredths in 16 bits: above 655.35 the page says what it sends.
    void triggerRatioAboveWhatTheRecordHoldsIsSaid() {
        testing::MessageCapture messages;
        recording::CStreamList streams;
        streams.SetStreams(6);
        CConfigModel config;
        config.Open(17, streams);
        config.ShowAnswer(Record());
        CTriggerPage page(g_Page, config.TriggerPage());
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        QCOMPARE(page.ModeBox()->currentIndex(), int(CTriggerPageModel::kModeStaLta));
        QLineEdit* ratio = page.RatioField();
        QTest::mouseClick(ratio, Qt::LeftButton);
        QTest::keyClick(ratio, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(ratio, "1000");
        QTest::keyClick(ratio, Qt::Key_Tab);
        QCOMPARE(messages.texts, QStringList{"STA/LTA Trigger Ratio: 1000 is outside the accepted "
                                             "values; 655.35 will be sent."});
        QCOMPARE(ratio->text(), QString("655.35"));
        QVERIFY(ratio->hasFocus());
        QCOMPARE(config.TriggerPage().Values(1).ratio, 655.35);
        QCOMPARE(CTriggerPageModel::Hundredths(config.TriggerPage().Values(1).ratio), 65535);
    }

    void eightChannelRowsFollowTheStreams() {
        recording::CStreamList streams;
        streams.SetStreams(3);
        CConfigModel config;
        config.Open(3, streams);
        link::ConfigurationRecord r = Record();
        r.rateCodes[0] = r.rateCodes[1] = r.rateCodes[2] = 61;
        config.ShowAnswer(r);
        CChaPage page(g_Page, config.ChaPage());
        page.show();
        auto combos = Children<QComboBox>(page);
        int visible = 0;
        for (QComboBox* box : combos) {
            visible += box->isVisible() ? 1 : 0;
        }
        QCOMPARE(visible, 3);
        QComboBox* row3 = combos[2];
        QCOMPARE(row3->currentText(), QString("2"));
        row3->setCurrentIndex(row3->findText("200"));
        emit row3->activated(row3->currentIndex());
        QCOMPARE(combos[0]->currentText(), QString("200"));
        link::ConfigurationRecord out;
        config.ChaPage().Fill(out);
        QCOMPARE(int(out.rateCodes[0]), 33);
        QCOMPARE(int(out.rateCodes[2]), 33);
        QCOMPARE(int(out.rateCodes[3]), 35);
    }

    void sixChannelSecondaryListFollowsThePrimary() {
        recording::CStreamList streams;
        streams.SetStreams(6);
        CConfigModel config;
        config.Open(17, streams);
        config.ShowAnswer(Record());
        CChannelPage page(g_Page, config.ChannelPage());
        page.Activate(); // 10 is not offered for 500 (250, 125, 100, 50): the first entry
        QCOMPARE(config.ChannelPage().Group(CChannelPageModel::kGroupA).secondaryRate, 250);
        auto combos = Children<QComboBox>(page);
        QComboBox* primaryA = combos[0];
        QComboBox* secondaryA = combos[1];
        primaryA->setCurrentIndex(primaryA->findText("1000"));
        emit primaryA->activated(primaryA->currentIndex());
        QStringList offered;
        for (int i = 0; i < secondaryA->count(); ++i) {
            offered << secondaryA->itemText(i);
        }
        QCOMPARE(offered, (QStringList{"500", "250", "200", "125", "100"}));
        QCOMPARE(secondaryA->currentText(), QString("250"));
    }

    void communicationPagesShowAndHide() {
        recording::CStreamList streams;
        streams.SetStreams(3);
        CConfigModel six;
        six.Open(17, streams);
        six.ShowAnswer(Record());
        CCommunicationPage one(g_Page, six.CommunicationPage());
        one.show();
        auto boxes = Children<QCheckBox>(one);
        int visible = 0;
        for (QCheckBox* b : boxes) {
            visible += b->isVisible() ? 1 : 0;
        }
        QCOMPARE(visible, 4 + 12); // Local: HLCP protocol and format
        auto combos = Children<QComboBox>(one);
        combos[0]->setCurrentIndex(1); // Main: data off
        visible = 0;
        for (QCheckBox* b : boxes) {
            visible += b->isVisible() ? 1 : 0;
        }
        QCOMPARE(visible, 0);

        CConfigModel other;
        other.Open(0, streams);
        CComPage five(g_Page, other.ComPage());
        link::ConfigurationRecord out;
        QCOMPARE(other.ComPage().Fill(out), kInvalidEntry);
        other.ShowAnswer(Record());
        five.Load();
        QCOMPARE(Children<QComboBox>(five)[2]->currentText(), QString("HLCP"));
        QCOMPARE(other.ComPage().Fill(out), 1);
    }
};

} // namespace nereid::instrument

QTEST_MAIN(nereid::instrument::ConfigPageWidgetsTest)
#include "config_page_widgets_test.moc"
