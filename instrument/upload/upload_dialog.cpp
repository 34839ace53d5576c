#include "instrument/upload/upload_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
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

CUploadDialog::Confirm& ConfirmHook() {
    static CUploadDialog::Confirm hook;
    return hook;
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
