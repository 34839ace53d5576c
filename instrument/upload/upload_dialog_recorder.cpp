#include "instrument/upload/upload_dialog.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "instrument/sheet/model/drive_names.h"

// The dialog's recorder half: its drives, the folder tree listed as folders are opened, and the
// file list the retrieve and the delete take their files from.
namespace nereid::instrument {

namespace {

const char* const kDriveLetters[5] = {"A", "B", "C", "D", "E"};
const char* const kFileColumns[4] = {"File Name      ", "Size-k", "Time       ", "Date           "};

} // namespace

QTreeWidgetItem* CUploadDialog::NewFolderNode(QTreeWidgetItem* parent, const QString& name) {
    auto* node = new QTreeWidgetItem(parent, QStringList{name});
    auto* placeholder = new QTreeWidgetItem(node, QStringList{QString()});
    placeholder->setData(0, kNoListRole, true);
    return node;
}

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

} // namespace nereid::instrument
