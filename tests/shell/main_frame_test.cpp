#include "link/receiver_thread.h"
#include "recording/intake_events.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/queued_intake_events.h"
#include "shell/tellus_status_bar.h"

#include "gui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <memory>

using namespace nereid;
using namespace nereid::shell;

namespace {

// The labels of a popup as the user sees them (separators as "-", submenus as "name>").
QStringList Labels(QMenu* menu) {
    QStringList labels;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        labels << (action->menu() ? action->text() + ">" : action->text());
    }
    return labels;
}

QMenu* Popup(QMenuBar* bar, const QString& title) {
    for (QAction* action : bar->actions()) {
        if (action->menu() && action->text().remove('&') == title)
            return action->menu();
    }
    return nullptr;
}

QStringList Titles(QMenuBar* bar) {
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->text();
    return titles;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Config = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Config);
    }
    void cleanup() { m_Config.reset(); }

    void startupMenuHasItsItemsOnly() {
        CMainFrame frame;
        QCOMPARE(frame.windowTitle(), QString("Nereid Utility"));
        QMenuBar* bar = frame.menuBar();
        QCOMPARE(Titles(bar), (QStringList{"&File", "&View", "&Help"}));
        QCOMPARE(
            Labels(Popup(bar, "File")),
            (QStringList{"&Connect to COM Port...", "&Data File Display", "&Translate", "E&xit"}));
        QCOMPARE(Labels(Popup(bar, "View")), (QStringList{"&Toolbar", "&Status Bar"}));
        QCOMPARE(Labels(Popup(bar, "Help")),
                 (QStringList{"&Help Topics", "&About Nereid Utility..."}));
        QVERIFY(frame.Menus().Action(kCmdConnectComPort)->isEnabled());
        QVERIFY(frame.Menus().Action(kCmdTranslate)->isEnabled());
    }

    void fullMenuLabelsAndModel17Items() {
        CMainFrame frame;
        frame.SetModelCode(17);
        frame.InstallFullMenu();
        QMenuBar* bar = frame.menuBar();
        QCOMPARE(Titles(bar).size(), 5);
        QCOMPARE(Labels(Popup(bar, "File")),
                 (QStringList{"P&rint Setup...", "&Translate", "E&xit"}));
        QCOMPARE(Labels(Popup(bar, "Functions")),
                 (QStringList{"&Connect...          F2", "&Status...", "C&ommands...",
                              "Con&figuration...", "C&alibration...", "&Internal Recording...",
                              "File &Upload...", "&Maintenance", "&Real Time Recording>",
                              "&Stop Real Time Recording"}));
        QMenu* functions = Popup(bar, "Functions");
        QMenu* recording = nullptr;
        for (QAction* a : functions->actions())
            recording = a->menu() ? a->menu() : recording;
        QVERIFY(recording);
        QCOMPARE(Labels(recording), (QStringList{"DaDiSP Format...", "CSS Format", "Seisan Format",
                                                 "miniSEED Format"}));
        QCOMPARE(Labels(Popup(bar, "Operation")),
                 (QStringList{"&Data Analysis", "D&ebug Window", "Serve SeedLink"}));
        QVERIFY(frame.Menus().Action(kCmdInternalRecording)->isEnabled());

        frame.SetModelCode(0);
        frame.InstallFullMenu();
        const QStringList without = Labels(Popup(frame.menuBar(), "Functions"));
        QVERIFY(!without.contains("&Internal Recording..."));
        QVERIFY(!without.contains("File &Upload..."));
        QVERIFY(without.contains("C&alibration..."));
    }

    void analysisMenuAndItemRemoval() {
        CMainFrame frame;
        std::unique_ptr<QMenuBar> bar(frame.Menus().BuildAnalysisMenu(true));
        QCOMPARE(
            Labels(Popup(bar.get(), "File")),
            (QStringList{"&Close", "Copy to &Clipboard", "&Print...", "P&rint Setup...", "E&xit"}));
        QCOMPARE(
            Labels(Popup(bar.get(), "View")),
            (QStringList{"&Toolbar", "&Status Bar", "&Channel Selection Bar", "&Offset Adjust"}));
        QCOMPARE(Labels(Popup(bar.get(), "Window")),
                 (QStringList{"&Cascade", "&Tile", "&Arrange Icons"}));
        QCOMPARE(CMenuSet::RemoveModel17Items(bar.get()), 2);
        QVERIFY(!Labels(Popup(bar.get(), "Functions")).contains("File &Upload..."));
        // Only the Functions popup is touched, and a second pass finds nothing.
        QCOMPARE(CMenuSet::RemoveModel17Items(bar.get()), 0);
        QCOMPARE(Labels(Popup(bar.get(), "File")).size(), 5);
    }

    void enablingRulesFollowTheState() {
        testing::MessageCapture messages;
        CMainFrame frame;
        CMenuSet& m = frame.Menus();
        QVERIFY(!m.Action(kCmdDataAnalysis)->isEnabled());
        QVERIFY(!m.Action(kCmdDebugWindow)->isEnabled());
        QVERIFY(!m.Action(kCmdMaintenance)->isEnabled());
        QVERIFY(!m.Action(kCmdStatus)->isEnabled());
        QVERIFY(!m.Action(kCmdDaDiSPRecording)->isEnabled());
        QVERIFY(!m.Action(kCmdStopRecording)->isEnabled());
        QVERIFY(!m.Action(kCmdInternalRecording)->isEnabled());

        frame.SetConnected(1);
        for (int id :
             {kCmdStatus, kCmdCommands, kCmdConfiguration, kCmdCalibration, kCmdDaDiSPRecording,
              kCmdCssRecording, kCmdSeisanRecording, kCmdMseedRecording})
            QVERIFY2(m.Action(id)->isEnabled(), qPrintable(QString::number(id)));
        // Connected alone does not enable Data Analysis: only a finished connection does.
        QVERIFY(!m.Action(kCmdDataAnalysis)->isEnabled());
        QVERIFY(!m.Action(kCmdDebugWindow)->isEnabled());
        QVERIFY(!m.Action(kCmdMaintenance)->isEnabled());

        frame.IntakeState().m_bRecording.store(true);
        frame.UpdateCommandUi();
        QVERIFY(!m.Action(kCmdCssRecording)->isEnabled());
        QVERIFY(!m.Action(kCmdMseedRecording)->isEnabled());
        QVERIFY(m.Action(kCmdStopRecording)->isEnabled());

        frame.SetModelCode(17);
        QVERIFY(m.Action(kCmdFileUpload)->isEnabled());
        frame.SetConnected(0);
        QVERIFY(!m.Action(kCmdStatus)->isEnabled());

        // "&Status..." opens the Status sheet modally (closed here at once).
        frame.SetConnected(1);
        QTimer::singleShot(0, [] {
            if (QWidget* sheet = QApplication::activeModalWidget())
                sheet->close();
        });
        frame.OnCommand(kCmdStatus);
        QVERIFY(!frame.TellusStatusBar()->PaneText(0).contains("not available"));
        // "&Data File Display" opens the analysis window and sets the full menu shown.
        frame.OnCommand(kCmdDataFileDisplay);
        QVERIFY(frame.FullMenuShown());
        QVERIFY(frame.AnalysisWindowOpen());
        QVERIFY(messages.texts.isEmpty());
    }

    void statusBarLayouts() {
        CMainFrame frame;
        CTellusStatusBar* bar = frame.TellusStatusBar();
        QCOMPARE(bar->PaneCount(), 5);
        QCOMPARE(bar->PaneText(1), QString("Connected: None  "));
        QCOMPARE(bar->PaneText(2), QString("CAP"));
        QCOMPARE(bar->PaneText(4), QString("SCRL"));

        frame.SetConnected(1);
        QCOMPARE(bar->PaneCount(), 6);
        frame.ShowConnection("/dev/ttyUSB0", 0);
        QCOMPARE(bar->PaneText(2), QString("Connected /dev/ttyUSB0"));
        QCOMPARE(bar->PaneText(1), QString());
        QCOMPARE(bar->PaneText(5), QString("SCRL"));
        frame.SetStatusText(1, "Idle State");
        QCOMPARE(bar->PaneText(1), QString("Idle State"));

        frame.IntakeState().m_AcquisitionState.store(recording::kAcquiring);
        frame.IntakeState().m_IdleCounter.store(7);
        frame.SetConnected(0);
        QCOMPARE(bar->PaneCount(), 5);
        QCOMPARE(bar->PaneText(1), QString("Connected: None"));
        QCOMPARE(frame.IntakeState().m_AcquisitionState.load(),
                 int(recording::kAcquisitionUnknown));
        QCOMPARE(frame.IntakeState().m_IdleCounter.load(), 0);
        frame.ShowConnection("None", 3);
        QCOMPARE(bar->PaneText(1), QString("Connected None"));
        QCOMPARE(frame.SelectedStreamGroup(), 3);
        QCOMPARE(bar->SetPaneText(5, "x"), 0); // no pane 5 in this layout
    }

    void toolbarButtons() {
        CMainFrame frame;
        QToolBar* toolbar = frame.MainToolBar();
        QCOMPARE(toolbar->windowTitle(), QString("NR_UTIL Main Toolbar"));
        QList<int> ids;
        for (QAction* action : toolbar->actions())
            ids << (action->isSeparator() ? 0 : action->data().toInt());
        QCOMPARE(ids, (QList<int>{kCmdConnectComPort, kCmdExit, 0, kCmdDataAnalysis, 0, kCmdPrint,
                                  kCmdAbout, kCmdContextHelp}));
        QCOMPARE(toolbar->iconSize(), QSize(16, 16));
    }

    void streamListOfOneGroup() {
        CMainFrame frame;
        frame.SetStreams(3);
        QStringList numbers;
        for (const auto& stream : frame.Streams().Streams())
            numbers << QString::fromStdString(stream.number);
        QCOMPARE(numbers, (QStringList{"1", "2", "3", "9", "10", "11"}));
    }

    void receiverMessagesDriveTheStatePane() {
        CMainFrame frame;
        CTellusStatusBar* bar = frame.TellusStatusBar();
        CQueuedIntakeEvents events(&frame);
        frame.SetConnected(1);
        frame.ShowConnection("COM1", 0);
        events.PostMessage(recording::kMsgAcquisition, 1, recording::kCodeAcquisitionStarted);
        QCOMPARE(bar->PaneText(1), QString()); // queued, not delivered yet
        QCoreApplication::sendPostedEvents();
        QCOMPARE(bar->PaneText(1), QString("Acquisition State"));
        events.PostMessage(recording::kMsgAcquisition, 1, recording::kCodeDataFrame);
        QCoreApplication::sendPostedEvents();
        QVERIFY(QRegularExpression("^\\d+  \\d+$").match(bar->PaneText(1)).hasMatch());
        events.PostMessage(recording::kMsgAcquisition, 1, recording::kCodeCrcError);
        QCoreApplication::sendPostedEvents();
        QVERIFY(QRegularExpression("^\\d+  \\d+$").match(bar->PaneText(1)).hasMatch());
        events.PostMessage(recording::kMsgAcquisition, 1, recording::kCodeIdle);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(bar->PaneText(1), QString("Idle State"));
        events.PostMessage(recording::kMsgAcquisition, 2, recording::kCodeAcquisitionStopped);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(bar->PaneText(2), QString("Acquisition Stopped"));

        // A late message after the connection ended leaves the connection text alone.
        frame.SetConnected(0);
        events.PostMessage(recording::kMsgAcquisition, 1, recording::kCodeDataFrame);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(bar->PaneText(1), QString("Connected: None"));
    }

    void stopRecordingMessage() {
        CMainFrame frame;
        CQueuedIntakeEvents events(&frame);
        frame.SetConnected(1);
        frame.IntakeState().m_bRecording.store(true);
        frame.IntakeState().m_IdleCounter.store(5);
        events.ShowRecordingProgress(true);
        QCoreApplication::sendPostedEvents();
        QVERIFY(frame.TellusStatusBar()->RecordingProgressShown());
        events.PostMessage(recording::kMsgStopRecording, 1, 0); // ignored: wParam not 0
        QCoreApplication::sendPostedEvents();
        QVERIFY(frame.Recording());
        events.PostMessage(recording::kMsgStopRecording, 0, 0);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!frame.Recording());
        QCOMPARE(frame.IntakeState().m_AcquisitionState.load(), int(recording::kRecordingStopped));
        QCOMPARE(frame.IntakeState().m_IdleCounter.load(), 0);
        QVERIFY(!frame.TellusStatusBar()->RecordingProgressShown());
        QVERIFY(frame.Menus().Action(kCmdDaDiSPRecording)->isEnabled());
    }

    void settingsFirstRunThenStoredValues() {
        {
            CMainFrame frame;
            for (int i = 0; i < CDisplaySettings::kChannels; ++i) {
                QCOMPARE(frame.Display().m_CurveColors[i], 0xFFFF);
                QCOMPARE(frame.Display().m_YScales[i], 0); // none stored: fitted ranges
            }
            QCOMPARE(frame.Display().m_TrackRectLeft, 0);
            frame.Display().m_CurveColors[0] = 0x00FF00;
            frame.Display().m_CurveColors[31] = 7;
            frame.Display().m_YScales[5] = 333;
            frame.Display().m_TrackRectLeft = 42;
            frame.Display().m_TrackColor = 0x808080;
            for (int i = 1; i <= 5; ++i)
                frame.RecentFiles().Add(QString("/data/f%1.dat").arg(i));
            frame.RecentFiles().Add("/data/f3.dat");
            frame.show();
            QVERIFY(frame.close());
        }
        {
            QSettings stored("NR-Utility", "TellusW32");
            QCOMPARE(stored.value("CurveColor/A Channel No").toString(), QString("RGBColor"));
            QCOMPARE(stored.value("YScale/A Channel No").toString(), QString("ScaleValue"));
            QCOMPARE(stored.value("Grid Intensity/A Grid").toString(), QString("A Number"));
            QVERIFY(stored.fileName().startsWith(m_Config->QPath()));
        }
        CMainFrame again;
        QCOMPARE(again.Display().m_CurveColors[0], 0x00FF00);
        QCOMPARE(again.Display().m_CurveColors[31], 7);
        QCOMPARE(again.Display().m_CurveColors[1], 0xFFFF);
        QCOMPARE(again.Display().m_YScales[5], 333);
        QCOMPARE(again.Display().m_TrackRectLeft, 42);
        QCOMPARE(again.Display().m_TrackColor, 0x808080);
        QCOMPARE(again.RecentFiles().Files(),
                 (QStringList{"/data/f3.dat", "/data/f5.dat", "/data/f4.dat", "/data/f2.dat"}));
    }

    void markerMissingMeansDefaultsEvenWithChannelKeys() {
        {
            QSettings stored("NR-Utility", "TellusW32");
            stored.setValue("CurveColor/Chan0", 5); // no marker: not read
            stored.setValue("YScale/A Channel No", "ScaleValue");
            stored.setValue("YScale/Chan2", "garbage"); // unreadable: the key's default 0
        }
        CMainFrame frame;
        QCOMPARE(frame.Display().m_CurveColors[0], 0xFFFF);
        QCOMPARE(frame.Display().m_YScales[2], 0);
        QCOMPARE(frame.Display().m_YScales[3], 0);
    }

    void f2OpensTheConnectDialogWithEveryMenu() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QString seen;
        QTimer::singleShot(0, &frame, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen = modal->windowTitle();
                static_cast<QDialog*>(modal)->reject();
            }
        });
        QTest::keyClick(&frame, Qt::Key_F2);
        QCOMPARE(seen, QString("CONNECT"));
        QVERIFY(!frame.FullMenuShown()); // cancelled: the start-up menu stays
        QCOMPARE(frame.menuBar()->actions().size(), 3);
    }

    void windowFillsMostOfTheScreen() {
        CMainFrame frame;
        frame.PlaceOnScreen();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(frame.width(), screen.width() - screen.width() / 10);
        QCOMPARE(frame.height(), screen.height() - screen.height() * 7 / 100);
        QCOMPARE(frame.pos(), screen.topLeft());
    }

    void aboutBoxLines() {
        CAboutDialog about;
        QVERIFY(QRegularExpression("^\\d+ KB$").match(about.MemoryText()).hasMatch());
        QVERIFY2(QRegularExpression("^\\d+ KB Free on /").match(about.FreeSpaceText()).hasMatch(),
                 qPrintable(about.FreeSpaceText()));
    }

    void closingStopsTheThreadAndKeepsPortsClosed() {
        {
            // Whatever threads the platform starts for a first window stay out of the count.
            QWidget warmUp;
            warmUp.show();
            QCoreApplication::processEvents();
        }
        const int before = testing::ThreadCount();
        auto frame = std::make_unique<CMainFrame>();
        QVERIFY(frame->ReceiverThread()->Running());
        frame->show();
        QVERIFY(frame->close());
        QVERIFY(!frame->ReceiverThread()->Running());
        frame.reset();
        QCOMPARE(testing::ThreadCount(), before);
    }

private:
    std::unique_ptr<testing::TempFolder> m_Config;
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
