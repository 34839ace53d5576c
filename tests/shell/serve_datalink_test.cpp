#include "shell/serve_control.h"

#include "datalink/push_service.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/serve_settings_dialog.h"
#include "shell/tellus_status_bar.h"
#include "tests/datalink/test_hub.h"

#include "frame_test_support.h"
#include "gui_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace nereid;
using namespace nereid::shell;

// The DataLink side of "Serve SeedLink": the hub address is typed into the dialog, kept in the
// profile, and the hub gets the window's records.
class ServeDataLinkTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
    }
    void cleanup() {
        m_Sim.reset();
        m_Folder.reset();
    }

    void hubListsParseOrSayWhichAddressIsWrong() {
        std::vector<std::string> hubs;
        QString why;
        QVERIFY(ParseHubList(" a.example:16000, b.example ,", hubs, why));
        QCOMPARE(hubs, (std::vector<std::string>{"a.example:16000", "b.example"}));
        QVERIFY(ParseHubList("", hubs, why));
        QVERIFY(hubs.empty());
        QVERIFY(!ParseHubList("a.example:16000, b:0", hubs, why));
        QVERIFY2(why.contains("port 0"), qPrintable(why));

        QSettings profile("NR-Utility", "TellusW32");
        SaveDataLinkHubs(profile, {"a.example:16000", "[::1]:16001"});
        QCOMPARE(profile.value("SeedLink/DataLinkHubs").toString(),
                 QString("a.example:16000,[::1]:16001"));
        QCOMPARE(LoadDataLinkHubs(profile),
                 (std::vector<std::string>{"a.example:16000", "[::1]:16001"}));
        profile.setValue("SeedLink/DataLinkHubs", "good:1,bad:99999");
        QCOMPARE(LoadDataLinkHubs(profile), (std::vector<std::string>{"good:1"}));
    }

    // A wrong hub address keeps the dialog open with the reason; corrected, the service starts,
    // the profile keeps the hub, the hub gets records and the state pane says how it fares.
    void theMenuServesAndPushesToTheProfilesHub() {
        StartSimulator({"--model", "17", "--realtime", "--time-scale", "10"});
        datalink::test::TestHub hub;
        CMainFrame frame;
        frame.resize(1000, 650);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));

        const QString hubAddress = "127.0.0.1:" + QString::number(hub.Port());
        bool sawError = false;
        QTimer::singleShot(0, &frame, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->windowTitle() == "Serve SeedLink");
            auto* address = dialog->findChild<QLineEdit*>("serveAddress");
            auto* hubs = dialog->findChild<QLineEdit*>("dataLinkHubs");
            QVERIFY(address && hubs);
            QCOMPARE(address->text(), QString(CServeControl::kDefaultAddress));
            address->selectAll();
            QTest::keyClicks(address, "127.0.0.1:0");
            QTest::keyClicks(hubs, "127.0.0.1:0");
            QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            QTest::mouseClick(ok, Qt::LeftButton);
            QVERIFY(dialog->isVisible()); // port 0 is no hub's
            sawError = dialog->findChild<QLabel*>("serveSettingsError")->text().contains("port 0");
            hubs->selectAll();
            QTest::keyClick(hubs, Qt::Key_Delete);
            QTest::keyClicks(hubs, hubAddress);
            QDir().mkpath(NEREID_SCREENSHOT_DIR);
            dialog->grab().save(QString(NEREID_SCREENSHOT_DIR) + "/serve-datalink-dialog.png");
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        frame.OnCommand(kCmdServeSeedLink);
        QVERIFY(sawError);
        CServeControl& control = CServeControl::Of(frame);
        QVERIFY(control.Running());
        QVERIFY(control.Push() != nullptr);
        QCOMPARE(QSettings("NR-Utility", "TellusW32").value("SeedLink/DataLinkHubs").toString(),
                 hubAddress);

        QTRY_VERIFY_WITH_TIMEOUT(hub.Stored().size() >= 12, 15000);
        for (const auto& id : hub.ClientIds()) {
            QVERIFY2(id.rfind("TellusW32:", 0) == 0, id.c_str());
        }
        QVERIFY(hub.Stored().front().streamId.rfind("FDSN:XX_", 0) == 0);
        QTRY_VERIFY(frame.TellusStatusBar()->PaneText(1).contains("hub " + hubAddress + " up"));
        QVERIFY(frame.TellusStatusBar()->PaneText(1).startsWith(control.Address()));
        QVERIFY(frame.grab().save(QString(NEREID_SCREENSHOT_DIR) + "/serve-datalink.png"));

        hub.Shutdown();
        QTRY_VERIFY_WITH_TIMEOUT(
            frame.TellusStatusBar()->PaneText(1).contains("hub " + hubAddress + " away"), 5000);
        QVERIFY(control.DataLinkMessages().join("\n").contains("went away"));
        QVERIFY(QFileInfo::exists(CMainFrame::ConfigurationFolder() + "/datalink"));

        // The next time the dialog offers the profile's hub.
        control.Stop();
        QVERIFY(!control.Running());
        QTimer::singleShot(0, &frame, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->findChild<QLineEdit*>("dataLinkHubs")->text(), hubAddress);
            dialog->reject();
        });
        frame.OnCommand(kCmdServeSeedLink);
        QVERIFY(!control.Running());
    }

private:
    void StartSimulator(std::vector<std::string> options) {
        const std::string link = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(link, options);
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }

    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
};

QTEST_MAIN(ServeDataLinkTest)
#include "serve_datalink_test.moc"
