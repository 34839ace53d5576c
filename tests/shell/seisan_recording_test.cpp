// SEISAN recording from the window as the program runs from the build tree: this test program
// lies beside TellusW32 (build/shell) and finds build/wavexport/wavexport as the program does,
// with no NEREID_WAVEXPORT_DIR.
#include "display/name_file_dlg.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/seisan_reader.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"

#include "tests/shell/frame_test_support.h"
#include "tests/shell/gui_test_support.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

using namespace nereid;
using namespace nereid::shell;

namespace {

QStringList Files(const QString& folder, const QString& filter) {
    return QDir(folder).entryList({filter}, QDir::Files, QDir::Name);
}

// Merged SEISAN files of the built-in writer: "yyyy-mm-dd-hhmm-ssS.NR..." .
QStringList Merged(const QString& folder) {
    return Files(folder, "[0-9][0-9][0-9][0-9]-[0-9][0-9]-*S.NR*");
}

// Runs `act` on the recording setup dialog once it is the active modal window.
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

// As an operator: the folder typed into the file name box (every channel records there), a
// one-minute period typed, Return.
void SetUpSeisanRecording(CMainFrame& frame, const QString& folder) {
    WhenSetupDialogShows(&frame, [folder](display::CNameFileDlg* dialog) {
        QLineEdit* name = dialog->FileNameEdit();
        QTest::mouseClick(name, Qt::LeftButton);
        name->selectAll();
        QTest::keyClicks(name, folder + "/");
        QTest::mouseClick(dialog->MinutesEdit(), Qt::LeftButton);
        dialog->MinutesEdit()->selectAll();
        QTest::keyClicks(dialog->MinutesEdit(), "1");
        QTest::keyClick(dialog->MinutesEdit(), Qt::Key_Return);
    });
    frame.OnCommand(kCmdSeisanRecording);
}

// The channels of a merged file; empty when it is not one.
std::vector<recording::FileChannel> ReadMerged(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<recording::FileChannel> channels;
    if (recording::ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    bytes.size(), channels) != 1)
        channels.clear();
    return channels;
}

} // namespace

class SeisanRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        ::unsetenv("NEREID_WAVEXPORT_DIR");
        m_Out = m_Folder->QPath() + "/out";
        QDir().mkpath(m_Out);
        m_OldCwd = QDir::currentPath();
        QDir::setCurrent(m_Folder->QPath()); // no updatetime.txt here: the clock stays
        const std::string link = m_Folder->File("sim");
        // The recorder's clock runs ten times fast: a one-minute period ends every 6 s.
        m_Sim = std::make_unique<testing::Simulator>(
            link, std::vector<std::string>{"--realtime", "--time-scale", "10", "--streams", "3"});
        QVERIFY(m_Sim->WaitReady());
        ::setenv("NEREID_PORTS", link.c_str(), 1);
    }
    void cleanup() {
        ::unsetenv("NEREID_WAVEXPORT_DIR");
        QDir::setCurrent(m_OldCwd);
        m_Sim.reset();
        m_Folder.reset();
    }

    // The layout is the build tree's: the program finds the build's own wavexport.
    void findsTheBuildTreesWavexportWithoutConfiguration() {
        const std::string found = recording::CConverterLauncher::FindConverter("");
        QVERIFY(!found.empty());
        QCOMPARE(found, std::filesystem::canonical(NEREID_WAVEXPORT_PATH).string());
    }

    // A period that ends while recording is merged at once, the last one when the window is
    // closed while recording; no channel file is left and nothing is said.
    void mergesAtThePeriodEndAndAtExit() {
        testing::MessageCapture messages;
        auto frame = std::make_unique<CMainFrame>();
        frame->show();
        QVERIFY(testing::ConnectThroughMenu(*frame));
        SetUpSeisanRecording(*frame, m_Out);
        QVERIFY(frame->Recording());
        QCOMPARE(frame->Recorder()->ChannelCount(), 3);
        // The first period ends within a minute of the recorder's clock.
        QTRY_VERIFY_WITH_TIMEOUT(!Merged(m_Out).isEmpty(), 30000);
        QVERIFY(frame->Recording());
        const QString first = Merged(m_Out).value(0);
        QCOMPARE(ReadMerged(m_Out + "/" + first).size(), std::size_t(3));
        // Its channel files are gone; the next period's come.
        QTRY_VERIFY_WITH_TIMEOUT(Files(m_Out, "DD*").size() == 3, 15000);
        QVERIFY(frame->close());
        frame.reset();

        const QStringList merged = Merged(m_Out);
        QVERIFY2(merged.size() >= 2, qPrintable(QDir(m_Out).entryList().join(' ')));
        for (const QString& name : merged) {
            const std::vector<recording::FileChannel> channels = ReadMerged(m_Out + "/" + name);
            QCOMPARE(channels.size(), std::size_t(3));
            for (const recording::FileChannel& c : channels) {
                QCOMPARE(c.rate, 100);
                QCOMPARE(c.sampleCount, channels[0].sampleCount);
                QVERIFY(c.sampleCount >= 100);
            }
        }
        QVERIFY2(Files(m_Out, "DD*").isEmpty(), qPrintable(Files(m_Out, "DD*").join(' ')));
        QVERIFY2(messages.texts.isEmpty(), qPrintable(messages.texts.join('|')));
    }

    // wavexport configured where it cannot run: the window says so for the period that ended
    // and for the last one at exit, and every DADiSP file stays.
    void aConversionThatCannotRunIsSaidAndTheFilesStay() {
        const std::string tools = m_Folder->File("tools");
        std::filesystem::create_directories(tools);
        std::ofstream(tools + "/wavexport") << "no program\n";
        std::filesystem::permissions(tools + "/wavexport", std::filesystem::perms::owner_all);
        ::setenv("NEREID_WAVEXPORT_DIR", tools.c_str(), 1);

        testing::MessageCapture messages;
        auto frame = std::make_unique<CMainFrame>();
        frame->show();
        QVERIFY(testing::ConnectThroughMenu(*frame));
        SetUpSeisanRecording(*frame, m_Out);
        QVERIFY(frame->Recording());
        QTRY_VERIFY_WITH_TIMEOUT(!messages.texts.isEmpty(), 30000);
        QVERIFY(frame->Recording()); // the recording goes on
        const QString expected = QString::fromStdString(": wavexport (" + tools +
                                                        "/wavexport) could not be started: Exec "
                                                        "format error; the DADiSP files stay");
        QVERIFY2(messages.texts[0].startsWith("SEISAN conversion failed for " + m_Out + "/DD"),
                 qPrintable(messages.texts[0]));
        QVERIFY2(messages.texts[0].endsWith(expected), qPrintable(messages.texts[0]));
        QCOMPARE(messages.captions[0], QString("Tellus Application"));
        // The next period's files come beside the kept ones.
        QTRY_VERIFY_WITH_TIMEOUT(Files(m_Out, "DD*").size() >= 6, 15000);
        QVERIFY(frame->close());
        frame.reset();

        // One message for each period, the last one's shown while the window closed.
        QVERIFY2(messages.texts.size() >= 2, qPrintable(messages.texts.join('|')));
        QVERIFY(messages.texts.back().endsWith(expected));
        QVERIFY(Merged(m_Out).isEmpty());
        // Three channels of at least two periods, each the file the message named.
        const QStringList kept = Files(m_Out, "DD*");
        QVERIFY2(kept.size() >= 6, qPrintable(kept.join(' ')));
        // The last period, converted at exit, was said too.
        QString last;
        for (const QString& name : kept)
            last = std::max(last, name.mid(7, 6));
        QVERIFY2(messages.texts.back().contains("_" + last + "."),
                 qPrintable(last + " " + messages.texts.join('|')));
        for (const QString& text : messages.texts) {
            const QString path = text.mid(QString("SEISAN conversion failed for ").size(),
                                          text.indexOf(": wavexport") -
                                              QString("SEISAN conversion failed for ").size());
            QVERIFY2(QFileInfo::exists(path), qPrintable(text));
        }
    }

private:
    std::unique_ptr<testing::TempFolder> m_Folder;
    std::unique_ptr<testing::Simulator> m_Sim;
    QString m_Out;
    QString m_OldCwd;
};

QTEST_MAIN(SeisanRecordingTest)
#include "seisan_recording_test.moc"
