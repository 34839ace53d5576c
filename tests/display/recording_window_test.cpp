#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "display/channel_bar.h"
#include "display/name_file_dlg.h"
#include "display/question.h"
#include "link/dialogs/connect_dialog.h"
#include "recording/file_recorder.h"
#include "recording/intake_state.h"
#include "recording/seisan_reader.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/tellus_status_bar.h"

#include "tests/shell/frame_test_support.h"
#include "tests/shell/gui_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

using namespace nereid;
using namespace nereid::shell;

namespace {

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// "nereid info" on files; its exit code and output.
std::pair<int, QString> NereidInfo(const QStringList& paths) {
    QProcess process;
    process.start(NEREID_CLI_PATH, QStringList{"info"} + paths);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

// Runs `act` on the recording setup dialog once it is the active modal window (checked every
// 20 ms, so that it runs inside the dialog's own event loop).
void WhenSetupDialogShows(QObject* context, std::function<void(display::CNameFileDlg*)> act) {
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act] {
        auto* dialog = dynamic_cast<display::CNameFileDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
    });
    timer->start(20);
}

} // namespace

class RecordingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        m_Out = m_Folder->QPath() + "/out";
        QDir().mkpath(m_Out);
        const std::string wavexport = NEREID_WAVEXPORT_PATH;
        ::setenv("NEREID_WAVEXPORT_DIR", wavexport.substr(0, wavexport.rfind('/')).c_str(), 1);
        m_OldCwd = QDir::currentPath();
        QDir::setCurrent(m_Folder->QPath()); // no updatetime.txt here: the clock stays
    }
    void cleanup() {
        QDir::setCurrent(m_OldCwd);
        display::SetQuestionHook({});
        m_Sim.reset();
        m_Folder.reset();
    }

    // DADiSP and CSS from the setup dialog: the minutes are checked, the progress bar comes
    // and goes, the stop closes the files, and they read back and show in file display.
    void recordFromTheWindowInDadispAndCssForm() {
        StartSimulator();
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        for (const int command : {int(kCmdDaDiSPRecording), int(kCmdCssRecording)}) {
            const QString title =
                command == kCmdDaDiSPRecording ? "DaDisp Recording Setup" : "CSS Recording Setup";
            const QString out = m_Out + (command == kCmdDaDiSPRecording ? "/dadisp" : "/css");
            QDir().mkpath(out);
            messages.texts.clear();
            frame.UpdateCommandUi(); // as the menu does when it opens
            QVERIFY(frame.Menus().Action(command)->isEnabled());
            QStringList seen;
            bool stayedOpen = false;
            QTimer::singleShot(0, &frame, [&] {
                auto* dialog =
                    dynamic_cast<display::CNameFileDlg*>(QApplication::activeModalWidget());
                if (dialog == nullptr)
                    return;
                seen << dialog->windowTitle();
                for (int i = 0; i < dialog->ChannelBox()->count(); ++i)
                    seen << dialog->ChannelBox()->itemText(i);
                seen << dialog->MinutesEdit()->text();
                dialog->setDirectory(out);
                // Channel 1 only: channels 2 and 3 are switched off in the dialog.
                for (int row : {1, 2}) {
                    dialog->SelectChannel(row);
                    if (dialog->EnableBox()->isChecked())
                        dialog->EnableBox()->click();
                    QVERIFY(!dialog->CommentsEdit()->isEnabled());
                }
                dialog->SelectChannel(0);
                dialog->CommentsEdit()->setText("vault 3");
                for (const char* bad : {"0", "721"}) {
                    dialog->MinutesEdit()->setText(bad);
                    dialog->accept();
                }
                stayedOpen = dialog->isVisible();
                dialog->MinutesEdit()->setText("1");
                dialog->accept();
            });
            frame.OnCommand(command);
            QVERIFY(stayedOpen);
            QCOMPARE(seen.value(0), title);
            QCOMPARE(seen.mid(1, 6),
                     (QStringList{"Chan1", "Chan2", "Chan3", "Chan9", "Chan10", "Chan11"}));
            QCOMPARE(seen.value(7), QString("60"));
            QCOMPARE(messages.texts,
                     (QStringList{"Recording Time is not valid", "Recording Time is not valid"}));
            QVERIFY(frame.Recording());
            QVERIFY(frame.Recorder() != nullptr);
            QCOMPARE(frame.Recorder()->ChannelCount(), 1);
            QCOMPARE(frame.Recorder()->PeriodSeconds(), 60);
            QVERIFY(frame.TellusStatusBar()->RecordingProgressShown());
            QVERIFY(!frame.Menus().Action(kCmdCssRecording)->isEnabled());
            QVERIFY(frame.Menus().Action(kCmdStopRecording)->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(frame.Recorder()->SecondsRecorded() >= 3, 15000);

            frame.OnCommand(kCmdStopRecording);
            QTRY_VERIFY_WITH_TIMEOUT(!frame.Recording(), 10000);
            QTest::qWait(300); // a stop stays a stop: recording does not resume by itself
            QVERIFY(!frame.Recording());
            QVERIFY(!frame.TellusStatusBar()->RecordingProgressShown());
            const QStringList files = Files(out);
            const QString prefix = command == kCmdDaDiSPRecording ? "DD1" : "CD1";
            QStringList data;
            for (const QString& name : files) {
                if (name.startsWith(prefix))
                    data << out + "/" + name;
            }
            // Channel 1 only; a second file when the recording crossed a period end (whole
            // minutes of the recorder's clock, which runs ten times fast here).
            QVERIFY2(data.size() == 1 || data.size() == 2, qPrintable(files.join(' ')));
            for (const QString& path : data) {
                if (command == kCmdCssRecording)
                    QVERIFY(files.contains("CH1" + path.mid(path.lastIndexOf('/') + 4)));
            }
            const auto [code, text] = NereidInfo(data);
            QVERIFY2(code == 0, qPrintable(text));
            QCOMPARE(text.count("rate:        100 samples/s"), data.size());
            m_Recorded << data[0];
        }

        // Both files in file display.
        frame.OnCommand(kCmdDataAnalysis);
        display::CAnaWnd* wnd = display::AnalysisWindowOf(frame.AnalysisWindow());
        QVERIFY(wnd != nullptr);
        frame.AnalysisWindow()->showMaximized();
        QCOMPARE(wnd->OpenFiles(m_Recorded), 2);
        QCOMPARE(frame.AnalysisWindow()->windowTitle(), QString("Data File Display"));
        QCOMPARE(wnd->View()->Channels().size(), std::size_t(2));
        QVERIFY(wnd->View()->Channel(0)->showTime);
        QCOMPARE(wnd->View()->File(1)->file.formatText, std::string("CSS Format"));
        QCOMPARE(wnd->ChannelBar()->Buttons().back()->text(), QString("Open File"));
        // A spectrum asked for a file without its time plot is refused.
        wnd->ChannelClicked(1); // time plot off
        wnd->ToggleMode();
        messages.texts.clear();
        messages.captions.clear();
        wnd->ChannelClicked(1);
        QCOMPARE(messages.captions.value(0), QString("Vireo File Display"));
        QCOMPARE(messages.texts.value(0),
                 QString("Please open time waveform of this channel before  opening FFT Spectrum"));
        QVERIFY(!wnd->View()->Channel(1)->showSpectrum);
        wnd->ChannelClicked(0);
        QVERIFY(wnd->View()->Channel(0)->showSpectrum);
        const QImage image = wnd->View()->RenderImage(wnd->View()->size());
        QVERIFY(!image.isNull());
        QDir().mkpath(NEREID_SCREENSHOT_DIR);
        wnd->View()->Channel(0)->range = 262144;
        wnd->View()->Channel(0)->spectrumMode = 1;
        wnd->View()->Channel(0)->spectrumRange = 10000000;
        wnd->View()->repaint();
        QVERIFY(frame.grab().save(QString(NEREID_SCREENSHOT_DIR) + "/analysis-files.png"));
        // A refused file adds nothing.
        messages.texts.clear();
        QCOMPARE(wnd->OpenFiles({m_Out + "/data.txt"}), 0);
        QVERIFY(messages.texts.value(0).endsWith(" is not a valid file"));
        // Printing where no printer exists goes into a PDF file.
        QVERIFY(wnd->PrintToPdf(m_Folder->QPath() + "/plots.pdf"));

        // "Remove" asks, and Cancel keeps the file.
        QStringList asked;
        bool answer = false;
        display::SetQuestionHook([&](const QString&, const QString& text) {
            asked << text;
            return answer;
        });
        wnd->ArmRemove();
        wnd->ChannelClicked(0);
        QCOMPARE(asked.value(0), QString("Are you sure to remove this file from display"));
        QCOMPARE(wnd->View()->Channels().size(), std::size_t(2));
        answer = true;
        wnd->ArmRemove();
        wnd->ChannelClicked(0);
        QCOMPARE(wnd->View()->Channels().size(), std::size_t(1));
        // "CLOSE" asks too; OK returns to the real-time display.
        answer = false;
        wnd->ToggleFileDisplay();
        QVERIFY(wnd->FileDisplay());
        answer = true;
        wnd->ToggleFileDisplay();
        QCOMPARE(asked.value(3),
                 QString("Are you sure to quit file display and enter into real time display"));
        QVERIFY(!wnd->FileDisplay());
        QCOMPARE(frame.AnalysisWindow()->windowTitle(), QString("Real Time Display"));
    }

    // As an operator does it, by keys and clicks only: a missing folder and one that takes
    // no files (/proc refuses new files even to root) are refused by name with nothing
    // armed; then four channels set up by typing a folder into the file name box all record
    // there, which the status bar shows while the recording runs.
    void typedFolderTakesEveryChannelAndBadFoldersAreRefused() {
        StartSimulator();
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.resize(1400, 900);
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        const QString missing = m_Out + "/missing";
        auto typeFolder = [](display::CNameFileDlg* dialog, const QString& folder) {
            QLineEdit* name = dialog->FileNameEdit();
            QTest::mouseClick(name, Qt::LeftButton);
            name->selectAll();
            QTest::keyClicks(name, folder);
            QTest::keyClick(name, Qt::Key_Return);
        };
        bool stayedOpen = false;
        WhenSetupDialogShows(&frame, [&](display::CNameFileDlg* dialog) {
            typeFolder(dialog, missing);
            typeFolder(dialog, "/proc");
            stayedOpen = dialog->isVisible();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        frame.OnCommand(kCmdDaDiSPRecording);
        QVERIFY(stayedOpen);
        QCOMPARE(messages.texts.value(0), "The folder does not exist: " + missing);
        QVERIFY2(messages.texts.value(1).startsWith("Can't write files in the folder /proc: "),
                 qPrintable(messages.texts.value(1)));
        QCOMPARE(messages.captions.value(0), QString("Tellus Application"));
        QVERIFY(!frame.Recording());
        QVERIFY(frame.Recorder() == nullptr);
        QVERIFY(!QDir(missing).exists());

        const QString four = m_Out + "/four";
        QDir().mkpath(four);
        QString chosen;
        bool wasOn = true;
        messages.texts.clear();
        WhenSetupDialogShows(&frame, [&](display::CNameFileDlg* dialog) {
            // The folder typed while Chan1 shows, then Chan9 switched on with the keyboard:
            // Chan1 .. Chan3 are on from the start and never shown.
            QLineEdit* name = dialog->FileNameEdit();
            QTest::mouseClick(name, Qt::LeftButton);
            name->selectAll();
            QTest::keyClicks(name, four + "/");
            dialog->ChannelBox()->setFocus();
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(dialog->ChannelBox(), Qt::Key_Down);
            chosen = dialog->ChannelBox()->currentText();
            wasOn = dialog->EnableBox()->isChecked();
            QTest::mouseClick(dialog->EnableBox(), Qt::LeftButton);
            QTest::mouseClick(dialog->CommentsEdit(), Qt::LeftButton);
            QTest::keyClicks(dialog->CommentsEdit(), "vault 9");
            QTest::mouseClick(dialog->MinutesEdit(), Qt::LeftButton);
            dialog->MinutesEdit()->selectAll();
            QTest::keyClicks(dialog->MinutesEdit(), "1");
            QTest::keyClick(dialog->MinutesEdit(), Qt::Key_Return);
        });
        frame.OnCommand(kCmdDaDiSPRecording);
        QCOMPARE(chosen, QString("Chan9"));
        QVERIFY(!wasOn);
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('|')));
        QVERIFY(frame.Recording());
        QCOMPARE(frame.Recorder()->ChannelCount(), 4);
        QCOMPARE(frame.TellusStatusBar()->RecordingDestinationText(), "Recording to " + four);
        QTRY_VERIFY_WITH_TIMEOUT(frame.Recorder()->SecondsRecorded() >= 3, 15000);
        frame.OnCommand(kCmdStopRecording);
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Recording(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(frame.TellusStatusBar()->RecordingDestinationText(), QString(),
                                  5000);

        // Channels 1, 2, 3 and 9 ("DDA"): every file is in the
        // typed folder, none in the folder the program started in.
        QStringList heads;
        for (const QString& file : Files(four))
            heads << file.left(3);
        heads.removeDuplicates();
        heads.sort();
        QVERIFY2(heads == (QStringList{"DD1", "DD2", "DD3", "DDA"}),
                 qPrintable(Files(four).join(" ")));
        QVERIFY2(Files(four).size() >= 4, qPrintable(Files(four).join(' ')));
        const auto [code, text] = NereidInfo([&] {
            QStringList paths;
            for (const QString& file : Files(four))
                paths << four + "/" + file;
            return paths;
        }());
        QVERIFY2(code == 0, qPrintable(text));
        // Channel 9's comment went with it, from the page shown when it was typed.
        QFile nine(four + "/" + Files(four).filter("DDA").value(0));
        QVERIFY(nine.open(QIODevice::ReadOnly));
        QVERIFY(nine.read(4096).contains("vault 9"));
        for (const QString& file : Files(m_Folder->QPath()))
            QVERIFY2(!file.startsWith("DD"), qPrintable(file));
    }

    // The box shows a file name ("DChan1.dat"), so an operator types a whole path to one: its
    // folder is taken when it exists, refused by the folder's own name when it does not.
    void typedPathToAFileNameRecordsInItsFolder() {
        StartSimulator();
        testing::MessageCapture messages;
        CMainFrame frame;
        frame.show();
        QVERIFY(testing::ConnectThroughMenu(frame));
        const QString typed = m_Out + "/typed";
        QDir().mkpath(typed);
        bool stayedOpen = false;
        WhenSetupDialogShows(&frame, [&](display::CNameFileDlg* dialog) {
            QLineEdit* name = dialog->FileNameEdit();
            QTest::mouseClick(name, Qt::LeftButton);
            name->selectAll();
            QTest::keyClicks(name, m_Out + "/nofolder/DChan1.dat");
            QTest::keyClick(name, Qt::Key_Return);
            stayedOpen = dialog->isVisible();
            name->selectAll();
            QTest::keyClicks(name, typed + "/DChan1.dat");
            QTest::keyClick(name, Qt::Key_Return);
            if (dialog->isVisible())
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        frame.OnCommand(kCmdDaDiSPRecording);
        QVERIFY(stayedOpen);
        QCOMPARE(messages.texts.value(0), "The folder does not exist: " + m_Out + "/nofolder");
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(!QDir(m_Out + "/nofolder").exists());
        QVERIFY(frame.Recording());
        QCOMPARE(frame.TellusStatusBar()->RecordingDestinationText(), "Recording to " + typed);
        QTRY_VERIFY_WITH_TIMEOUT(frame.Recorder()->SecondsRecorded() >= 2, 15000);
        frame.OnCommand(kCmdStopRecording);
        QTRY_VERIFY_WITH_TIMEOUT(!frame.Recording(), 10000);
        QVERIFY2(!Files(typed).filter("DD1").isEmpty(), qPrintable(Files(typed).join(' ')));
        for (const QString& file : Files(m_Folder->QPath()))
            QVERIFY2(!file.startsWith("DD"), qPrintable(file));
    }

    // SEISAN from the window, then the main window closed while recording: the recorder is
    // stopped, its files closed and the last period converted before the program goes.
    void closingWhileRecordingSeisanConvertsTheLastPeriod() {
        StartSimulator();
        testing::MessageCapture messages;
        auto frame = std::make_unique<CMainFrame>();
        frame->show();
        QVERIFY(testing::ConnectThroughMenu(*frame));
        QString title;
        QTimer::singleShot(0, frame.get(), [&] {
            auto* dialog = dynamic_cast<display::CNameFileDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            title = dialog->windowTitle();
            // Every channel keeps its own folder: each is pointed at the output folder.
            for (int row : {0, 1, 2, 0}) {
                dialog->SelectChannel(row);
                dialog->setDirectory(m_Out);
            }
            dialog->accept();
        });
        frame->OnCommand(kCmdSeisanRecording);
        QCOMPARE(title, QString("Seisan Recording Setup"));
        QVERIFY(frame->Recording());
        QCOMPARE(frame->Recorder()->ChannelCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(frame->Recorder()->SecondsRecorded() >= 3, 15000);
        QVERIFY(frame->close());
        frame.reset();

        QStringList merged;
        for (const QString& name : Files(m_Out)) {
            if (!name.startsWith("DD"))
                merged << name;
        }
        // One merged file per period; the recorder's clock may have crossed a minute.
        QVERIFY2(merged.size() == 1 || merged.size() == 2, qPrintable(Files(m_Out).join(' ')));
        std::ifstream in((m_Out + "/" + merged.back()).toStdString(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::vector<recording::FileChannel> channels;
        QCOMPARE(recording::ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size(), channels),
                 1);
        QCOMPARE(channels.size(), std::size_t(3));
        QVERIFY(channels[0].sampleCount >= 100);
        QVERIFY(messages.texts.isEmpty());
    }

private:
    void StartSimulator() {
        const std::string link = m_Folder->File("sim");
        m_Sim = std::make_unique<testing::Simulator>(
            link, std::vector<std::string>{"--realtime", "--time-scale", "10", "--streams", "3"});
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }

    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
    QString m_Out;
    QString m_OldCwd;
    QStringList m_Recorded;
};

QTEST_MAIN(RecordingWindowTest)
#include "recording_window_test.moc"
