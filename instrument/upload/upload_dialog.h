#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "instrument/upload/model/upload_worker.h"
#include "recording/mseed_packer.h"

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace nereid::instrument {

class CCopyAnimation;
class CLocalFolderPane;

// The "File Upload" dialog: the recorder's drives, folders and files on the left, a folder of
// the PC on the right; files are fetched into that folder in the chosen PC form, deleted on
// the recorder, and a running fetch can be aborted. The transfers run on a worker thread
// (CUploadWorker); this window only shows what it reports, so it never waits on the line.
class CUploadDialog : public QDialog {
    Q_OBJECT
public:
    // Asks the "Warning" question: caption, text, informative text. True for "OK". Tests
    // replace it; by default a warning box with "OK" and "Cancel".
    using Confirm =
        std::function<bool(const QString& caption, const QString& text, const QString& info)>;
    static void SetConfirmHook(Confirm hook);

    // `baud` sets the time-left window; 0 takes the rate the link's port runs at.
    CUploadDialog(link::CInstrumentLink& link, std::uint32_t baud = 0, QWidget* parent = nullptr);
    ~CUploadDialog() override;

    // Sends the drive status query and lists the first drive (done when the dialog opens).
    void Start();

    // The local folder files are copied into.
    QString LocalFolder() const;
    void SetLocalFolder(const QString& folder);
    // Network code and component letters of files fetched in the miniSEED form.
    void SetMseedOptions(recording::SMseedOptions options) { m_Mseed = std::move(options); }
    bool TransferActive() const;
    // True from a request until its end is reported.
    bool Busy() const { return m_Busy; }
    int Operation() const;
    QString IndicatorText() const;
    QString TimeLeftText() const;

    // The controls, for tests.
    QComboBox* RecorderDrives() const { return m_RecorderDrives; }
    QTreeWidget* RecorderTree() const { return m_RecorderTree; }
    QTreeWidget* RecorderFiles() const { return m_RecorderFiles; }
    QLineEdit* RecorderCurrentFile() const { return m_RecorderFile; }
    QLineEdit* RecorderCurrentDir() const { return m_RecorderDir; }
    QListWidget* CopiedFiles() const;
    // The PC side's folder tree and its "Current Dir:" text.
    QTreeView* LocalTree() const;
    QString LocalCurrentDirText() const;
    QComboBox* FormatBox() const { return m_Format; }
    QPushButton* RetrieveButton() const { return m_Retrieve; }
    QPushButton* DeleteButton() const { return m_Delete; }
    QPushButton* AbortButton() const { return m_Abort; }
    QPushButton* CloseButton() const { return m_Close; }

public slots:
    void Retrieve();
    void DeleteSelected();
    void AbortTransfer();
    // "Close": closes when idle, asks to abort while a transfer runs.
    void CloseRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // Recorder tree nodes that must not be listed when opened: the drive root and the
    // placeholder children that only give a folder its expand mark.
    static constexpr int kNoListRole = Qt::UserRole + 1;
    // The exact size in bytes of a file row.
    static constexpr int kSizeRole = Qt::UserRole + 2;

    // A folder node under `parent`, with a placeholder child that gives it its expand mark.
    static QTreeWidgetItem* NewFolderNode(QTreeWidgetItem* parent, const QString& name);
    QWidget* BuildRecorderHalf();
    QWidget* BuildMiddle();
    CUploadEngine::Hooks Hooks();
    void Submit(CUploadWorker::Request request);
    void SetIndicator(const QString& text);
    void UpdateControls();
    void OnDriveStatus(const link::DriveStatus& status);
    void OnFinished(int operation, int result);
    void OnEntry(const RecorderEntry& entry);
    void OnListingStarted();
    void RecorderDriveChosen(int index);
    void RecorderNodeOpened(QTreeWidgetItem* item, bool byExpand);
    void ListRecorder(const QString& pattern);
    QString NodePath(QTreeWidgetItem* item) const;
    void RecorderFileEdited();
    void RecorderSelectionChanged();

    std::unique_ptr<CUploadWorker> m_Worker;
    bool m_Started = false;
    bool m_Busy = false; // an operation was handed to the worker and has not finished
    std::array<std::uint8_t, 5> m_Installed{};

    QLabel* m_Indicator = nullptr;
    QComboBox* m_RecorderDrives = nullptr;
    QLineEdit* m_RecorderDir = nullptr;
    QTreeWidget* m_RecorderTree = nullptr;
    QLineEdit* m_RecorderFile = nullptr;
    QTreeWidget* m_RecorderFiles = nullptr;
    QTreeWidgetItem* m_ListingNode = nullptr; // the node whose listing is arriving
    QString m_RecorderDirectory;              // "A:" or "A:\DAY093"

    QComboBox* m_Format = nullptr;
    QLabel* m_TimeLeft = nullptr;
    CCopyAnimation* m_Animation = nullptr;
    QPushButton* m_Delete = nullptr;
    QPushButton* m_Abort = nullptr;
    QPushButton* m_Retrieve = nullptr;
    QPushButton* m_Close = nullptr;
    QPushButton* m_Help = nullptr;

    CLocalFolderPane* m_Local = nullptr;
    std::vector<UploadItem> m_Items; // of the retrieve that runs
    QStringList m_SaveFailures;      // "Can't save file ..." of the retrieve that runs
    recording::SMseedOptions m_Mseed;
};

} // namespace nereid::instrument
