// The "File Upload" dialog against nereid-sim, offscreen: open, list, descend, retrieve two
// files, the "Close" warning during a transfer, delete with its warning.
#include "instrument/upload/upload_dialog.h"
#include "link/serial_link.h"

#include "tests/shell/gui_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

using namespace nereid;

namespace {

// An HLCP file: name, format code 17, 100 samples/s, `samples` samples.
std::vector<std::uint8_t> HlcpFile(const std::string& name, int samples) {
    std::vector<std::uint8_t> bytes(276, 0);
    std::copy(name.begin(), name.begin() + std::min<std::size_t>(12, name.size()), bytes.begin());
    bytes[17] = 17;
    bytes[18] = 30;
    const std::uint32_t start = 1617453240u;
    for (int i = 0; i < 4; ++i)
        bytes[20 + i] = static_cast<std::uint8_t>(start >> (8 * i));
    std::copy_n("ST01", 4, bytes.begin() + 272);
    for (int s = 0; s < samples; ++s) {
        const std::int32_t v = (s * 7919) % 200000 - 100000;
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

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QStringList FileNames(QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    return names;
}

struct Question {
    QString caption, text, info;
};

} // namespace

class UploadDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_Folder = std::make_unique<testing::TempFolder>();
        testing::UsePrivateConfiguration(*m_Folder);
        m_Drive = m_Folder->Path() + "/drive";
        m_Out = m_Folder->Path() + "/out";
        std::filesystem::create_directories(m_Drive + "/DAY093");
        std::filesystem::create_directories(m_Out);
        m_Big = HlcpFile("D1234001.093", 10000); // 30276 bytes
        WriteFile(m_Drive + "/D1234001.093", m_Big);
        WriteFile(m_Drive + "/D2234001.093", HlcpFile("D2234001.093", 500));
        WriteFile(m_Drive + "/S1234001.093", HlcpFile("S1234001.093", 50));
        WriteFile(m_Drive + "/DAY093/D1234002.093", HlcpFile("D1234002.093", 300));
        m_Questions.clear();
        m_Answer = false;
        instrument::CUploadDialog::SetConfirmHook(
            [this](const QString& caption, const QString& text, const QString& info) {
                m_Questions.push_back({caption, text, info});
                return m_Answer;
            });
    }
    void cleanup() {
        instrument::CUploadDialog::SetConfirmHook({});
        m_Folder.reset();
    }

    void listsDescendsRetrievesAndDeletes() {
        testing::Simulator sim(m_Folder->File("line"), {"--drive", "A=" + m_Drive});
        QVERIFY(sim.WaitReady());
        link::CSerialLink link;
        QCOMPARE(link.Open(sim.LinkPath(), 115200, 0, 0, 8), 1);
        instrument::CUploadDialog dialog(link, 115200);
        dialog.SetLocalFolder(QString::fromStdString(m_Out));
        dialog.show();

        // Opening: drive status, then the root of drive A.
        QTRY_COMPARE_WITH_TIMEOUT(dialog.RecorderFiles()->topLevelItemCount(), 3, 5000);
        QTRY_VERIFY(!dialog.Busy());
        QCOMPARE(dialog.RecorderDrives()->count(), 1);
        QCOMPARE(dialog.RecorderDrives()->itemText(0), QString("A"));
        QCOMPARE(FileNames(dialog.RecorderFiles()),
                 (QStringList{"D1234001.093", "D2234001.093", "S1234001.093"}));
        QCOMPARE(dialog.RecorderFiles()->topLevelItem(0)->text(1), QString("31")); // Size-k
        QTreeWidgetItem* root = dialog.RecorderTree()->topLevelItem(0);
        QCOMPARE(root->text(0), QString("A:"));
        QCOMPARE(root->childCount(), 1);
        QTreeWidgetItem* day = root->child(0);
        QCOMPARE(day->text(0), QString("DAY093"));
        QCOMPARE(dialog.IndicatorText(), QString("Accepted"));

        // Descend into the folder: its file, and "Current Dir:" follows.
        day->setExpanded(true);
        QTRY_COMPARE(FileNames(dialog.RecorderFiles()), QStringList{"D1234002.093"});
        QTRY_VERIFY(!dialog.Busy());
        QCOMPARE(dialog.RecorderCurrentDir()->text(), QString("A:\\DAY093"));
        // Opened again: listed afresh, not twice.
        day->setExpanded(false);
        emit dialog.RecorderTree()->itemClicked(root, 0);
        QTRY_COMPARE(dialog.RecorderFiles()->topLevelItemCount(), 3);
        QTRY_VERIFY(!dialog.Busy());
        QCOMPARE(root->childCount(), 1);

        // Retrieve two files in HLCP form; one is named with S and would be kept as it is
        // anyway.
        dialog.FormatBox()->setCurrentIndex(3);
        dialog.RecorderFiles()->topLevelItem(1)->setSelected(true);
        dialog.RecorderFiles()->topLevelItem(2)->setSelected(true);
        QCOMPARE(dialog.RecorderCurrentFile()->text(), QString("D2234001.093"));
        QTest::mouseClick(dialog.RetrieveButton(), Qt::LeftButton);
        QVERIFY(dialog.TransferActive());
        QVERIFY(dialog.AbortButton()->isEnabled());
        QVERIFY(!dialog.DeleteButton()->isEnabled());
        QVERIFY(!dialog.FormatBox()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.TransferActive(), 10000);
        QCOMPARE(dialog.CopiedFiles()->count(), 2);
        QCOMPARE(ReadFile(m_Out + "/D2234001.093"), ReadFile(m_Drive + "/D2234001.093"));
        QCOMPARE(ReadFile(m_Out + "/S1234001.093"), ReadFile(m_Drive + "/S1234001.093"));
        QCOMPARE(dialog.IndicatorText(), QString("Accepted"));
        QVERIFY(dialog.RecorderFiles()->selectedItems().isEmpty());
        QVERIFY(!dialog.AbortButton()->isEnabled());
        QVERIFY(dialog.DeleteButton()->isEnabled());

        // Delete, refused at the warning: nothing goes.
        dialog.RecorderFiles()->topLevelItem(1)->setSelected(true);
        m_Answer = false;
        QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
        QCOMPARE(m_Questions.size(), std::size_t(1));
        QCOMPARE(m_Questions[0].caption, QString("Warning"));
        QCOMPARE(m_Questions[0].text,
                 QString("Do you really want to delete all selected files in Nereid Instrument?"));
        QTest::qWait(200);
        QVERIFY(std::filesystem::exists(m_Drive + "/D2234001.093"));
        // Confirmed: the file leaves the recorder and the list.
        m_Answer = true;
        QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);
        QTRY_VERIFY(!std::filesystem::exists(m_Drive + "/D2234001.093"));
        QTRY_COMPARE(FileNames(dialog.RecorderFiles()),
                     (QStringList{"D1234001.093", "S1234001.093"}));
        QTRY_VERIFY(!dialog.Busy());
        QCOMPARE(dialog.RecorderCurrentFile()->text(), QString());

        // Idle: "Close" closes without a question.
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        QCOMPARE(m_Questions.size(), std::size_t(2));
        QVERIFY(!dialog.isVisible());
    }

    void closeDuringATransferWarnsAndAborts() {
        // 1.9 kB/s: the 30 kB file takes long enough to look at.
        testing::Simulator sim(m_Folder->File("line"),
                               {"--drive", "A=" + m_Drive, "--baud", "19200"});
        QVERIFY(sim.WaitReady());
        link::CSerialLink link;
        QCOMPARE(link.Open(sim.LinkPath(), 9600, 0, 0, 8), 1);
        instrument::CUploadDialog dialog(link, 9600);
        dialog.SetLocalFolder(QString::fromStdString(m_Out));
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.RecorderFiles()->topLevelItemCount(), 3, 5000);
        QTRY_VERIFY(!dialog.Busy());
        dialog.RecorderFiles()->topLevelItem(0)->setSelected(true);
        dialog.FormatBox()->setCurrentIndex(3);
        QTest::mouseClick(dialog.RetrieveButton(), Qt::LeftButton);
        // The estimate shows after the measuring window (4 blocks at 9600) and 3 more.
        QTRY_VERIFY_WITH_TIMEOUT(dialog.TimeLeftText().startsWith("Time Left: "), 8000);
        QVERIFY(dialog.TransferActive());
        QCOMPARE(dialog.IndicatorText(), QString("Retrieving"));

        QDir().mkpath(NEREID_SCREENSHOT_DIR);
        QVERIFY(dialog.grab().save(QString(NEREID_SCREENSHOT_DIR) + "/upload-dialog.png"));

        // "Close" during the transfer asks; "Cancel" keeps everything going.
        m_Answer = false;
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        QCOMPARE(m_Questions.size(), std::size_t(1));
        QCOMPARE(m_Questions[0].text,
                 QString("It is uploading the files from Nereid instrument to PC. Please abort "
                         "the file transfer first. It takes a few seconds. When it is done, you "
                         "can close it."));
        QCOMPARE(m_Questions[0].info,
                 QString("If you click the OK button, it will abort the file transfer."));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.TransferActive());

        // "OK" aborts; the part that arrived is kept, in whole blocks.
        m_Answer = true;
        QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.TransferActive(), 5000);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.TimeLeftText(), QString());
        QCOMPARE(dialog.IndicatorText(), QString("Accepted"));
        // It is named as a part, and the list says how much of the file it holds.
        QVERIFY(!std::filesystem::exists(m_Out + "/D1234001.093"));
        const auto part = ReadFile(m_Out + "/D1234001.093.part");
        QVERIFY(!part.empty());
        QVERIFY(part.size() < m_Big.size());
        QCOMPARE(part.size() % 600, std::size_t(0));
        QVERIFY(std::equal(part.begin(), part.end(), m_Big.begin()));
        QCOMPARE(dialog.CopiedFiles()->count(), 1);
        QCOMPARE(dialog.CopiedFiles()->item(0)->text(),
                 QString("D1234001.093.part (stopped after %1 of 30276 bytes)").arg(part.size()));
        QVERIFY(dialog.FormatBox()->isEnabled());
    }

    // The PC folder chosen with the keyboard alone is "Current Dir:" and where the file goes;
    // a folder that cannot take the file says "Can't save file" with the reason.
    void keyboardFolderIsWrittenToAndASaveFailureSaysWhy() {
        std::filesystem::create_directories(m_Out + "/zqa");
        std::filesystem::create_directories(m_Out + "/zqb");
        testing::Simulator sim(m_Folder->File("line"), {"--drive", "A=" + m_Drive});
        QVERIFY(sim.WaitReady());
        link::CSerialLink link;
        QCOMPARE(link.Open(sim.LinkPath(), 115200, 0, 0, 8), 1);
        testing::MessageCapture messages;
        instrument::CUploadDialog dialog(link, 115200);
        dialog.SetLocalFolder(QString::fromStdString(m_Out));
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.RecorderFiles()->topLevelItemCount(), 3, 5000);
        QTRY_VERIFY(!dialog.Busy());

        QTreeView* tree = dialog.LocalTree();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Right); // opens the folder shown
        QTRY_VERIFY(tree->model()->rowCount(tree->currentIndex()) >= 2);
        QTest::keyClicks(tree, "zqb"); // typed: the tree goes to the row of that name
        const QString target = QString::fromStdString(m_Out + "/zqb");
        QCOMPARE(dialog.LocalFolder(), target);
        QCOMPARE(dialog.LocalCurrentDirText(), target);

        dialog.FormatBox()->setCurrentIndex(3);
        QTreeWidgetItem* row = dialog.RecorderFiles()->topLevelItem(1);
        QTest::mouseClick(dialog.RecorderFiles()->viewport(), Qt::LeftButton, {},
                          dialog.RecorderFiles()->visualItemRect(row).center());
        QTest::mouseClick(dialog.RetrieveButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.TransferActive(), 10000);
        QCOMPARE(ReadFile(target.toStdString() + "/D2234001.093"),
                 ReadFile(m_Drive + "/D2234001.093"));
        QVERIFY(!std::filesystem::exists(m_Out + "/D2234001.093"));

        // A plain file where the folder should be: the PC's failure, said as such.
        std::ofstream(m_Out + "/PLAIN") << "x";
        dialog.SetLocalFolder(QString::fromStdString(m_Out + "/PLAIN"));
        QTest::mouseClick(dialog.RecorderFiles()->viewport(), Qt::LeftButton, {},
                          dialog.RecorderFiles()->visualItemRect(row).center());
        QTest::mouseClick(dialog.RetrieveButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.TransferActive(), 10000);
        QTRY_COMPARE(messages.texts.size(), 1);
        QCOMPARE(messages.texts[0],
                 QString::fromStdString("Can't save file " + m_Out +
                                        "/PLAIN/D2234001.093 error = 20 (Not a directory)"));
        QCOMPARE(dialog.IndicatorText(), QString("Can't save file"));
        QCOMPARE(dialog.CopiedFiles()->item(0)->text(), QString("D2234001.093: not saved"));
    }

private:
    std::unique_ptr<testing::TempFolder> m_Folder;
    std::string m_Drive;
    std::string m_Out;
    std::vector<std::uint8_t> m_Big;
    std::vector<Question> m_Questions;
    bool m_Answer = false;
};

QTEST_MAIN(UploadDialogTest)
#include "upload_dialog_test.moc"
