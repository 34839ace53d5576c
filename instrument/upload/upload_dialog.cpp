#include "instrument/upload/upload_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "instrument/sheet/model/drive_names.h"
#include "instrument/upload/upload_animation.h"
#include "instrument/upload/upload_local_pane.h"
#include "link/dialogs/message_box.h"
#include "recording/hlcp_translator.h"

namespace nereid::instrument {

namespace {

const char* const kDriveLetters[5] = {"A", "B", "C", "D", "E"};
const char* const kFileColumns[4] = {"File Name      ", "Size-k", "Time       ", "Date           "};

// Recorder tree nodes that must not be listed when opened: the drive root and the
// placeholder children that only give a folder its expand mark.
constexpr int kNoListRole = Qt::UserRole + 1;
// The exact size in bytes of a file row.
constexpr int kSizeRole = Qt::UserRole + 2;

CUploadDialog::Confirm& ConfirmHook() {
    static CUploadDialog::Confirm hook;
    return hook;
}

QTreeWidgetItem* NewFolderNode(QTreeWidgetItem* parent, const QString& name) {
    auto* node = new QTreeWidgetItem(parent, QStringList{name});
    auto* placeholder = new QTreeWidgetItem(node, QStringList{QString()});
    placeholder->setData(0, kNoListRole, true);
    return node;
}

} // namespace

void CUploadDialog::SetConfirmHook(Confirm hook) {
    ConfirmHook() = std::move(hook);
}

CUploadDialog::CUploadDialog(link::CInstrumentLink& link, std::uint32_t baud, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("File Upload");
    setModal(true);

    m_Indicator = new QLabel(this);
    m_Indicator->setAlignment(Qt::AlignCenter);
    m_Indicator->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto* halves = new QHBoxLayout;
    halves->addWidget(BuildRecorderHalf(), 3);
    halves->addWidget(BuildMiddle(), 1);
    m_Local = new CLocalFolderPane(this);
    halves->addWidget(m_Local, 3);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 52, 10, 10); // room for the result indicator above
    outer->addLayout(halves);
    resize(980, 560);

    m_Worker = std::make_unique<CUploadWorker>(
        link, baud != 0 ? baud : LinkBaud(link), Hooks(), [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        });
    UpdateControls();
}

CUploadDialog::~CUploadDialog() = default;

QWidget* CUploadDialog::BuildRecorderHalf() {
    auto* group = new QGroupBox("Nereid Instrument", this);
    auto* v = new QVBoxLayout(group);
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(new QLabel("Drive:", group));
    m_RecorderDrives = new QComboBox(group);
    driveRow->addWidget(m_RecorderDrives, 1);
    v->addLayout(driveRow);
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(new QLabel("Current Dir:", group));
    m_RecorderDir = new QLineEdit(group);
    m_RecorderDir->setReadOnly(true);
    dirRow->addWidget(m_RecorderDir, 1);
    v->addLayout(dirRow);
    m_RecorderTree = new QTreeWidget(group);
    m_RecorderTree->setHeaderHidden(true);
    v->addWidget(m_RecorderTree, 2);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel("Current File:", group));
    m_RecorderFile = new QLineEdit(group);
    fileRow->addWidget(m_RecorderFile, 1);
    v->addLayout(fileRow);
    m_RecorderFiles = new QTreeWidget(group);
    m_RecorderFiles->setRootIsDecorated(false);
    m_RecorderFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QStringList titles;
    for (const char* t : kFileColumns) {
        titles << t;
    }
    m_RecorderFiles->setHeaderLabels(titles);
    const QFontMetrics metrics(m_RecorderFiles->font());
    for (int c = 0; c < 4; ++c) {
        m_RecorderFiles->setColumnWidth(c, metrics.horizontalAdvance(titles[c]) + 18);
    }
    v->addWidget(m_RecorderFiles, 3);

    connect(m_RecorderDrives, &QComboBox::activated, this, &CUploadDialog::RecorderDriveChosen);
    connect(m_RecorderTree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { RecorderNodeOpened(item, true); });
    connect(m_RecorderTree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { RecorderNodeOpened(item, false); });
    connect(m_RecorderFile, &QLineEdit::editingFinished, this, &CUploadDialog::RecorderFileEdited);
    connect(m_RecorderFiles, &QTreeWidget::itemSelectionChanged, this,
            &CUploadDialog::RecorderSelectionChanged);
    return group;
}

QWidget* CUploadDialog::BuildMiddle() {
    auto* box = new QWidget(this);
    auto* v = new QVBoxLayout(box);
    auto* group = new QGroupBox("File Format used on PC", box);
    auto* g = new QVBoxLayout(group);
    m_Format = new QComboBox(group);
    for (int form = 0; form < kPcFormCount; ++form) {
        m_Format->addItem(PcFormTitle(form));
    }
    m_Format->setCurrentIndex(0);
    g->addWidget(m_Format);
    m_TimeLeft = new QLabel(group);
    m_TimeLeft->setMinimumWidth(QFontMetrics(font()).horizontalAdvance("Time Left: 99 min 59 sec"));
    g->addWidget(m_TimeLeft);
    m_Animation = new CCopyAnimation(group);
    g->addWidget(m_Animation, 0, Qt::AlignHCenter);
    v->addWidget(group);
    v->addStretch(1);
    m_Delete = new QPushButton("Delete NR File", box);
    m_Abort = new QPushButton("Abort Transfer", box);
    m_Retrieve = new QPushButton("Retrieve File", box);
    m_Close = new QPushButton("Close", box);
    m_Help = new QPushButton("&Help", box);
    m_Help->setEnabled(false); // no help file is installed with this program
    for (QPushButton* b : {m_Delete, m_Abort, m_Retrieve, m_Close, m_Help}) {
        b->setAutoDefault(false);
        v->addWidget(b);
    }
    v->addStretch(1);
    connect(m_Delete, &QPushButton::clicked, this, &CUploadDialog::DeleteSelected);
    connect(m_Abort, &QPushButton::clicked, this, &CUploadDialog::AbortTransfer);
    connect(m_Retrieve, &QPushButton::clicked, this, &CUploadDialog::Retrieve);
    connect(m_Close, &QPushButton::clicked, this, &CUploadDialog::CloseRequested);
    connect(m_Format, &QComboBox::currentIndexChanged, this,
            [this] { m_Local->CurrentFile()->clear(); });
    return box;
}

CUploadEngine::Hooks CUploadDialog::Hooks() {
    CUploadEngine::Hooks h;
    h.driveStatus = [this](const link::DriveStatus& s) { OnDriveStatus(s); };
    h.listingStarted = [this] { OnListingStarted(); };
    h.entry = [this](const RecorderEntry& e) { OnEntry(e); };
    h.indicator = [this](const std::string& t) { SetIndicator(QString::fromStdString(t)); };
    h.timeLeft = [this](const std::string& t) { m_TimeLeft->setText(QString::fromStdString(t)); };
    h.fileDone = [this](const UploadFileOutcome& o) {
        const QString name = QString::fromStdString(o.name);
        for (QTreeWidgetItem* row : m_RecorderFiles->selectedItems()) {
            if (row->text(0) == name) {
                row->setSelected(false);
            }
        }
        const QString output = QString::fromStdString(o.outputName);
        const std::uint32_t size = o.index < m_Items.size() ? m_Items[o.index].size : 0;
        if (o.result == kUploadAccepted) {
            m_Local->CopiedFiles()->addItem(output);
        } else if (o.result == kUploadAborted || o.result == kUploadNoResponse) {
            // The part that arrived is kept, named so that it cannot pass for the file.
            m_Local->CopiedFiles()->addItem(
                QString("%1 (%2 after %3 of %4 bytes)")
                    .arg(output.isEmpty() ? name + ": nothing kept" : output,
                         o.result == kUploadAborted ? "stopped" : "No Response")
                    .arg(o.bytes)
                    .arg(size));
        } else if (o.result == kUploadWriteFailed) {
            m_SaveFailures << QString::fromStdString(o.message);
            m_Local->CopiedFiles()->addItem(name + ": not saved");
        }
    };
    h.deleted = [this](std::size_t, const std::string& path, int result) {
        if (result != kUploadAccepted) {
            return;
        }
        const QString name = QString::fromStdString(path).section('\\', -1);
        for (int i = m_RecorderFiles->topLevelItemCount() - 1; i >= 0; --i) {
            if (m_RecorderFiles->topLevelItem(i)->text(0) == name) {
                delete m_RecorderFiles->takeTopLevelItem(i);
            }
        }
        m_RecorderFile->clear();
    };
    h.finished = [this](int operation, int result) { OnFinished(operation, result); };
    return h;
}

void CUploadDialog::Submit(CUploadWorker::Request request) {
    m_Worker->Submit(std::move(request));
}

void CUploadDialog::SetIndicator(const QString& text) {
    m_Indicator->setText(text);
}

QString CUploadDialog::IndicatorText() const {
    return m_Indicator->text();
}

QString CUploadDialog::TimeLeftText() const {
    return m_TimeLeft->text();
}

bool CUploadDialog::TransferActive() const {
    return m_Animation->Running();
}

int CUploadDialog::Operation() const {
    return m_Worker->Operation();
}

void CUploadDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const int w = width();
    m_Indicator->setGeometry(w / 2 - 65, 10, 120, 35);
    Start();
}

void CUploadDialog::Start() {
    if (m_Started) {
        return;
    }
    m_Started = true;
    m_Busy = true;
    SetIndicator("");
    Submit([](CUploadEngine& e) { e.StartDriveStatus(); });
}

void CUploadDialog::OnDriveStatus(const link::DriveStatus& status) {
    CDriveNames& names = SharedDriveNames();
    names.ApplyDriveStatus(status);
    for (int i = 0; i < 5; ++i) {
        m_Installed[static_cast<std::size_t>(i)] =
            status.drives[static_cast<std::size_t>(i)].installed;
    }
    m_RecorderDrives->clear();
    for (int i = 0; i < 5; ++i) {
        if (m_Installed[static_cast<std::size_t>(i)] == 1 && !names.Name(i).empty()) {
            m_RecorderDrives->addItem(kDriveLetters[i]);
        }
    }
}

void CUploadDialog::OnFinished(int operation, int result) {
    // Before anything below hands the worker the next request.
    m_Busy = m_Worker->Operation() != kUploadIdle;
    switch (operation) {
    case kUploadDriveStatus:
        if (result != kUploadAccepted) {
            SharedDriveNames().ClearRemovable();
            m_RecorderDrives->clear();
            QApplication::beep();
        } else if (m_RecorderDrives->count() > 0) {
            m_RecorderDrives->setCurrentIndex(0);
            RecorderDriveChosen(0);
        }
        break;
    case kUploadRetrieve:
    case kUploadAbort:
        if (!m_Worker->TransferActive()) {
            m_Animation->Stop();
            m_TimeLeft->clear();
        }
        if (result == kUploadMappedFileFailed) {
            link::ShowMessage(this, link::kTellusCaption,
                              recording::HlcpTranslator::kMappedFileText);
        }
        if (!m_Worker->TransferActive() && !m_SaveFailures.isEmpty()) {
            // Once the run is over, so that the box holds no transfer up.
            const QString text = m_SaveFailures.join('\n');
            m_SaveFailures.clear();
            link::ShowMessage(this, link::kTellusCaption, text);
        }
        break;
    default:
        break;
    }
    UpdateControls();
}

void CUploadDialog::UpdateControls() {
    const bool active = TransferActive();
    m_Format->setEnabled(!active);
    m_Delete->setEnabled(!active);
    m_RecorderDrives->setEnabled(!active);
    m_Local->SetLocked(active);
    m_RecorderTree->setEnabled(!active);
    m_Abort->setEnabled(active);
    m_Retrieve->setEnabled(!active);
}

void CUploadDialog::RecorderDriveChosen(int index) {
    if (index < 0) {
        return;
    }
    const QString root = m_RecorderDrives->itemText(index) + ":";
    m_RecorderTree->clear();
    m_RecorderFiles->clear();
    auto* node = new QTreeWidgetItem(m_RecorderTree, QStringList{root});
    node->setData(0, kNoListRole, true);
    node->setExpanded(true);
    m_ListingNode = node;
    m_RecorderDirectory = root;
    m_RecorderDir->setText(root);
    ListRecorder(root + "\\*.*");
}

QString CUploadDialog::NodePath(QTreeWidgetItem* item) const {
    QStringList parts;
    for (QTreeWidgetItem* n = item; n != nullptr; n = n->parent()) {
        parts.prepend(n->text(0));
    }
    return parts.join('\\');
}

void CUploadDialog::RecorderNodeOpened(QTreeWidgetItem* item, bool byExpand) {
    if (item == nullptr || m_Busy || TransferActive()) {
        return;
    }
    const bool root = item->parent() == nullptr;
    if (!root && item->data(0, kNoListRole).toBool()) {
        return; // a placeholder
    }
    // The root is listed when its drive is chosen; a click on it lists its files again.
    if ((root && byExpand) || item == m_ListingNode) {
        return;
    }
    const QString path = NodePath(item);
    // A folder opened again is listed afresh: no duplicate children.
    qDeleteAll(item->takeChildren());
    m_ListingNode = item;
    m_RecorderDirectory = path;
    m_RecorderDir->setText(path);
    m_RecorderFiles->clear();
    m_RecorderFile->clear();
    ListRecorder(path + "\\*.*");
}

void CUploadDialog::ListRecorder(const QString& pattern) {
    m_Busy = true;
    const std::string p = pattern.toStdString();
    Submit([p](CUploadEngine& e) { e.StartListing(p); });
}

void CUploadDialog::OnListingStarted() {
    m_RecorderFiles->clear();
}

void CUploadDialog::OnEntry(const RecorderEntry& entry) {
    const QString name = QString::fromStdString(entry.name);
    if (entry.directory) {
        if (m_ListingNode == nullptr) {
            return;
        }
        for (int i = 0; i < m_ListingNode->childCount(); ++i) {
            if (m_ListingNode->child(i)->text(0) == name) {
                return;
            }
        }
        NewFolderNode(m_ListingNode, name);
        m_ListingNode->setExpanded(true);
        return;
    }
    auto* row =
        new QTreeWidgetItem(m_RecorderFiles, QStringList{name, QString::number(entry.sizeK),
                                                         QString::fromStdString(entry.timeText),
                                                         QString::fromStdString(entry.dateText)});
    row->setData(0, kSizeRole, static_cast<qulonglong>(entry.size));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
}

void CUploadDialog::RecorderFileEdited() {
    const QString text = m_RecorderFile->text().trimmed();
    if (text.isEmpty()) {
        return;
    }
    const bool all = text == "*.*";
    for (int i = 0; i < m_RecorderFiles->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_RecorderFiles->topLevelItem(i);
        if (all || row->text(0).compare(text, Qt::CaseInsensitive) == 0) {
            row->setSelected(true);
        }
    }
}

void CUploadDialog::RecorderSelectionChanged() {
    const auto rows = m_RecorderFiles->selectedItems();
    if (rows.size() == 1) {
        m_RecorderFile->setText(rows.front()->text(0));
    }
}

QString CUploadDialog::LocalFolder() const {
    return m_Local->Folder();
}

void CUploadDialog::SetLocalFolder(const QString& folder) {
    m_Local->SetFolder(folder);
}

QListWidget* CUploadDialog::CopiedFiles() const {
    return m_Local->CopiedFiles();
}

QTreeView* CUploadDialog::LocalTree() const {
    return m_Local->Tree();
}

QString CUploadDialog::LocalCurrentDirText() const {
    return m_Local->CurrentDirText();
}

void CUploadDialog::Retrieve() {
    if (TransferActive() || m_Busy) {
        return;
    }
    std::vector<UploadItem> items;
    for (int i = 0; i < m_RecorderFiles->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_RecorderFiles->topLevelItem(i);
        if (row->isSelected()) {
            items.push_back({m_RecorderDirectory.toStdString(), row->text(0).toStdString(),
                             static_cast<std::uint32_t>(row->data(0, kSizeRole).toULongLong())});
        }
    }
    if (items.empty()) {
        return;
    }
    m_Local->CopiedFiles()->clear();
    m_Items = items;
    m_SaveFailures.clear();
    m_Busy = true;
    m_Animation->Start();
    UpdateControls();
    const int form = m_Format->currentIndex();
    const std::string folder = m_Local->Folder().toStdString();
    Submit([items, form, folder, mseed = m_Mseed](CUploadEngine& e) {
        e.SetMseedOptions(mseed);
        e.StartRetrieve(items, form, folder);
    });
}

void CUploadDialog::DeleteSelected() {
    std::vector<std::string> paths;
    for (QTreeWidgetItem* row : m_RecorderFiles->selectedItems()) {
        paths.push_back(
            JoinRecorderPath(m_RecorderDirectory.toStdString(), row->text(0).toStdString()));
    }
    if (paths.empty() || TransferActive() || m_Busy) {
        return;
    }
    const QString text = "Do you really want to delete all selected files in Nereid Instrument?";
    const QString info = "If you click the OK button, all selected files in the list will be "
                         "deleted. There is no way to recover these files once you delete them.";
    Confirm& hook = ConfirmHook();
    bool ok = false;
    if (hook) {
        ok = hook("Warning", text, info);
    } else {
        QMessageBox box(QMessageBox::Warning, "Warning", text,
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setInformativeText(info);
        ok = box.exec() == QMessageBox::Ok;
    }
    if (!ok) {
        return;
    }
    m_Busy = true;
    Submit([paths](CUploadEngine& e) { e.StartDelete(paths); });
}

void CUploadDialog::AbortTransfer() {
    Submit([](CUploadEngine& e) { e.Abort(); });
}

void CUploadDialog::CloseRequested() {
    if (!TransferActive()) {
        accept();
        return;
    }
    const QString text = "It is uploading the files from Nereid instrument to PC. Please abort "
                         "the file transfer first. It takes a few seconds. When it is done, you "
                         "can close it.";
    const QString info = "If you click the OK button, it will abort the file transfer.";
    Confirm& hook = ConfirmHook();
    bool ok = false;
    if (hook) {
        ok = hook("Warning", text, info);
    } else {
        QMessageBox box(QMessageBox::Warning, "Warning", text,
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        box.setInformativeText(info);
        ok = box.exec() == QMessageBox::Ok;
    }
    if (ok) {
        AbortTransfer();
    }
}

void CUploadDialog::closeEvent(QCloseEvent* event) {
    if (TransferActive()) {
        event->ignore();
        CloseRequested();
        return;
    }
    QDialog::closeEvent(event);
}

void CUploadDialog::reject() {
    if (TransferActive()) {
        CloseRequested();
        return;
    }
    QDialog::reject();
}

} // namespace nereid::instrument
