#include "link/dialogs/connect_dialog.h"
#include "link/dialogs/phone_list_editor.h"
#include "shell/drive_list.h"
#include "shell/folder_panel.h"
#include "shell/main_frame.h"
#include "shell/mseed_settings.h"
#include "shell/system_info.h"
#include "shell/translate_dialog.h"
#include "shell/translate_runner.h"

#include "gui_test_support.h"
#include "tests/recording/mseed_test_read.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSettings>
#include <QtTest>

#include <fstream>
#include <memory>
#include <vector>

using namespace nereid;
using namespace nereid::shell;

namespace {

// An HLCP file of `samples` samples: name "D1345XYZ.DAT", channel 0, 100 sps, starting at
// 2021-04-03 12:34:00 UTC (day 93), station "ST01".
std::vector<std::uint8_t> HlcpFile(int samples) {
    std::vector<std::uint8_t> bytes(276, 0);
    const char name[] = "D1345XYZ.DAT";
    std::copy(name, name + 12, bytes.begin());
    bytes[17] = 17;
    bytes[18] = 30;
    const std::uint32_t start = 1617453240u;
    for (int i = 0; i < 4; ++i)
        bytes[20 + i] = static_cast<std::uint8_t>(start >> (8 * i));
    const char station[] = "ST01";
    std::copy(station, station + 4, bytes.begin() + 272);
    for (int s = 0; s < samples; ++s) {
        const std::int32_t v = s - samples / 2;
        for (int i = 0; i < 3; ++i)
            bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

class TranslateTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        QDir().mkpath(m_Folder->QPath() + "/in");
        QDir().mkpath(m_Folder->QPath() + "/out");
    }
    void cleanup() { m_Folder.reset(); }

    void drivesAreRealFileSystemsWithHomeFirst() {
        const std::string mounts = "proc /proc proc rw 0 0\n"
                                   "/dev/sda2 / ext4 rw 0 0\n"
                                   "tmpfs /run tmpfs rw 0 0\n"
                                   "/dev/sdb1 /media/me/USB\\040STICK vfat rw 0 0\n"
                                   "sysfs /sys sysfs rw 0 0\n"
                                   "/dev/sda3 /data xfs rw 0 0\n"
                                   "/dev/sda3 /data xfs rw 0 0\n"
                                   "server:/x /mnt/share nfs4 rw 0 0\n"
                                   "garbage\n";
        const std::vector<Drive> drives = DrivesFromMounts(mounts, "/home/me");
        QStringList paths;
        for (const Drive& d : drives)
            paths << QString::fromStdString(d.path);
        QCOMPARE(paths,
                 (QStringList{"/home/me", "/", "/data", "/media/me/USB STICK", "/mnt/share"}));
        QVERIFY(QString::fromStdString(drives[0].label).startsWith("Home"));
        QVERIFY(!ListDrives().empty());
    }

    void mountPointAndFreeSpace() {
        QCOMPARE(QString::fromStdString(MountPointOf("/")), QString("/"));
        QVERIFY(MountPointOf(m_Folder->Path() + "/nothing-here").empty());
        const std::string mount = MountPointOf(m_Folder->Path());
        QVERIFY(!mount.empty());
        QVERIFY(m_Folder->Path().rfind(mount == "/" ? "/" : mount + "/", 0) == 0);
        QCOMPARE(QString::fromStdString(FreeSpaceLine(m_Folder->Path() + "/nothing-here")),
                 QString("Unavailable"));
        QVERIFY(QString::fromStdString(FreeSpaceLine(m_Folder->Path()))
                    .endsWith(" KB Free on " + QString::fromStdString(mount)));
    }

    void runnerGoesOnAfterABadFile() {
        const std::string in = m_Folder->Path() + "/in/";
        const std::string out = m_Folder->Path() + "/out";
        WriteFile(in + "D1345XYZ.DAT", HlcpFile(33));
        std::vector<std::uint8_t> shortFile = HlcpFile(0);
        shortFile.resize(275);
        WriteFile(in + "SHORT.DAT", shortFile);
        WriteFile(in + "EMPTY.DAT", {});
        const std::vector<TranslateOutcome> outcomes = TranslateFiles(
            {in + "SHORT.DAT", in + "missing.dat", in + "EMPTY.DAT", in + "D1345XYZ.DAT"}, 0,
            out + "/");
        QCOMPARE(outcomes.size(), std::size_t(4));
        QCOMPARE(outcomes[0].result, 0);
        QCOMPARE(QString::fromStdString(outcomes[0].message),
                 QString("The file can not be translated since it is not the HLCP file format!"));
        QCOMPARE(outcomes[1].result, 0);
        QVERIFY(QString::fromStdString(outcomes[1].message).startsWith("Can't open file"));
        QCOMPARE(outcomes[2].result, 0);
        QVERIFY(!outcomes[2].message.empty());
        QCOMPARE(outcomes[3].result, 1);
        QCOMPARE(QString::fromStdString(outcomes[3].outputName), QString("D1451234.093"));
        // Only the good file left an output.
        QCOMPARE(QDir(QString::fromStdString(out)).entryList(QDir::Files),
                 QStringList{"D1451234.093"});
    }

    void asciiOutputHoldsTheSamples() {
        const std::string in = m_Folder->Path() + "/in/";
        WriteFile(in + "D1345XYZ.DAT", HlcpFile(4));
        const auto outcomes = TranslateFiles({in + "D1345XYZ.DAT"}, 2, m_Folder->Path() + "/out");
        QCOMPARE(outcomes.size(), std::size_t(1));
        QCOMPARE(outcomes[0].result, 1);
        const std::string text = ReadText(m_Folder->Path() + "/out/" + outcomes[0].outputName);
        // Samples -2, -1, 0, 1, each on its own line.
        QVERIFY(text.find("-2\r\n-1\r\n0\r\n1\r\n") != std::string::npos);
    }

    void dialogTranslatesTheSelectedFiles() {
        testing::MessageCapture messages;
        const std::string in = m_Folder->Path() + "/in/";
        WriteFile(in + "D1345XYZ.DAT", HlcpFile(10));
        WriteFile(in + "NOTES.TXT", {'h', 'i'});
        WriteFile(in + "OTHER.DAT", HlcpFile(1));
        CTranslateDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("File Translate"));
        QCOMPARE(dialog.Form(), 0); // DaDiSP first
        dialog.Source()->SetFolder(m_Folder->QPath() + "/in");
        dialog.Destination()->SetFolder(m_Folder->QPath() + "/out");
        QCOMPARE(dialog.Source()->FileList()->count(), 3);
        QVERIFY(dialog.Source()->CurrentDirText().endsWith("/in"));
        QCOMPARE(dialog.Source()->SelectFiles({"D1345XYZ.DAT", "NOTES.TXT"}), 2);
        dialog.SetForm(4); // CSS
        QCOMPARE(dialog.Translate(), 1);
        QCOMPARE(dialog.Outputs().size(), 1);
        const QString data = dialog.Outputs().first();
        QVERIFY2(data.startsWith("CD1345_"), qPrintable(data));
        // The destination list shows the data file and the wfdisc file beside it.
        const QStringList listed = [&] {
            QStringList l;
            for (int i = 0; i < dialog.Destination()->FileList()->count(); ++i)
                l << dialog.Destination()->FileList()->item(i)->text();
            return l;
        }();
        QVERIFY(listed.contains(data));
        QString wfdisc = data;
        wfdisc[1] = 'H';
        QVERIFY(listed.contains(wfdisc));
        QCOMPARE(dialog.Destination()->SelectedFiles().size(), 1);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts[0].contains("NOTES.TXT"));
        QVERIFY(messages.texts[0].contains("not the HLCP file format"));
        // Nothing selected: nothing happens.
        dialog.Source()->SelectFiles({});
        QCOMPARE(dialog.Translate(), 0);
        QCOMPARE(messages.texts.size(), 1);
    }

    void miniSeedTakesTheProfilesStreamCodes() {
        CMainFrame frame;
        {
            QSettings profile("NR-Utility", "TellusW32");
            profile.setValue("miniSEED/Network", " nz ");
            profile.setValue("miniSEED/Components", "1=z,2=N");
        }
        const recording::SMseedOptions options = frame.MseedOptions();
        QCOMPARE(QString::fromStdString(options.network), QString("NZ"));
        QCOMPARE(QString::fromStdString(recording::FormatMseedComponentMap(options.components)),
                 QString("1=Z,2=N"));

        const std::string in = m_Folder->Path() + "/in/";
        WriteFile(in + "D1345XYZ.DAT", HlcpFile(700));
        CTranslateDialog dialog;
        QVERIFY(dialog.findChildren<QRadioButton*>().size() == 6);
        dialog.SetMseedOptions(options);
        dialog.Source()->SetFolder(m_Folder->QPath() + "/in");
        dialog.Destination()->SetFolder(m_Folder->QPath() + "/out");
        QCOMPARE(dialog.Source()->SelectFiles({"D1345XYZ.DAT"}), 1);
        dialog.SetForm(5);
        QCOMPARE(dialog.Form(), 5);
        QCOMPARE(dialog.Translate(), 1);
        QCOMPARE(dialog.Outputs(), QStringList{"D1451234.093.mseed"});
        const recording::test::MseedFile f = recording::test::ReadMseedFile(
            m_Folder->Path() + "/out/" + dialog.Outputs().first().toStdString());
        QCOMPARE(f.result, MS_NOERROR);
        QCOMPARE(f.segments.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(f.segments[0].network), QString("NZ"));
        QCOMPARE(QString::fromStdString(f.segments[0].station), QString("ST01"));
        QCOMPARE(QString::fromStdString(f.segments[0].channel), QString("HHZ"));
        QCOMPARE(f.segments[0].startUs, std::int64_t{1617453240} * 1000000);
        QCOMPARE(f.segments[0].samples.size(), std::size_t(700));
        for (int i = 0; i < 700; ++i)
            QCOMPARE(f.segments[0].samples[static_cast<std::size_t>(i)], i - 350);

        // A profile value that does not parse gives way to the default, alone.
        {
            QSettings profile("NR-Utility", "TellusW32");
            profile.setValue("miniSEED/Network", "NZL");
            profile.setValue("miniSEED/Components", "1=Z,1=N");
        }
        const recording::SMseedOptions fallback = frame.MseedOptions();
        QCOMPARE(QString::fromStdString(fallback.network), QString("XX"));
        QVERIFY(fallback.components.empty());
        QSettings profile("NR-Utility", "TellusW32");
        SaveMseedOptions(profile, options);
        QCOMPARE(profile.value("miniSEED/Components").toString(), QString("1=Z,2=N"));
        QCOMPARE(frame.MseedOptions().network, std::string("NZ"));
    }

    void phoneListEditorSlots() {
        const QString ini = m_Folder->QPath() + "/phone.ini";
        {
            link::CPhoneListEditor editor(ini);
            QCOMPARE(editor.NameList()->count(), 31);
            QCOMPARE(editor.EditSlot(), 0);
            QCOMPARE(editor.NameEdit()->maxLength(), 20);
            QCOMPARE(editor.NumberEdit()->maxLength(), 60);
            editor.Update(); // both edits empty: nothing written
            QVERIFY(!QFile::exists(ini));
            editor.NameEdit()->setText("Camp North");
            editor.NumberEdit()->setText("0301 555");
            editor.Update();
            QCOMPARE(editor.EditSlot(), 1);
            QCOMPARE(editor.NameList()->item(0)->text(), QString("Camp North"));
            QCOMPARE(editor.NumberList()->item(0)->text(), QString("0301 555"));
            editor.NameEdit()->setText("Hill");
            editor.NumberEdit()->setText("777");
            editor.Update();
            editor.SelectSlot(0);
            QCOMPARE(editor.NumberEdit()->text(), QString("0301 555"));
            editor.NumberEdit()->setText("0301 556");
            editor.Update();
            QCOMPARE(editor.EditSlot(), 2);
        }
        link::CPhoneDirectory stored(ini.toStdString());
        QCOMPARE(stored.Load(), 1);
        QCOMPARE(QString::fromStdString(stored.Number(0)), QString("0301 556"));
        QCOMPARE(QString::fromStdString(stored.Name(1)), QString("Hill"));
        QVERIFY(stored.IsEmpty(2));
    }

    void connectDialogUsesThePhoneDirectory() {
        CMainFrame frame;
        {
            link::CPhoneDirectory book(frame.PhoneDirectoryPath().toStdString());
            book.Load();
            QCOMPARE(book.Update(4, "Station 5", "0049 555 5"), 1);
        }
        QVERIFY(frame.PhoneDirectoryPath().startsWith(m_Folder->QPath()));
        link::CConnectDialog dialog(frame, &frame);
        QCOMPARE(dialog.DirectoryList()->count(), 1);
        QCOMPARE(dialog.DirectoryList()->item(0)->text(), QString("Station 5"));
        dialog.PickDirectoryEntry(dialog.DirectoryList()->item(0)->data(Qt::UserRole).toInt());
        QCOMPARE(dialog.PhoneNumber()->text(), QString("0049 555 5"));
    }

private:
    std::unique_ptr<testing::TempFolder> m_Folder;
};

QTEST_MAIN(TranslateTest)
#include "translate_test.moc"
