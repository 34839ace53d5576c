#include "instrument/upload/upload_local_pane.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace nereid::instrument {

CLocalFolderPane::CLocalFolderPane(QWidget* parent) : QGroupBox("Local Computer:", parent) {
    QWidget* group = this;
    auto* v = new QVBoxLayout(group);
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(new QLabel("Drive:", group));
    m_Drives = new QComboBox(group);
    driveRow->addWidget(m_Drives, 1);
    v->addLayout(driveRow);
    auto* dirRow = new QHBoxLayout;
    dirRow->addWidget(new QLabel("Current Dir:", group));
    m_Dir = new QLabel(group);
    m_Dir->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dirRow->addWidget(m_Dir, 1);
    v->addLayout(dirRow);
    m_Model = new QFileSystemModel(this);
    m_Model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_Tree = new QTreeView(group);
    m_Tree->setModel(m_Model);
    m_Tree->setHeaderHidden(true);
    for (int c = 1; c < m_Model->columnCount(); ++c) {
        m_Tree->hideColumn(c);
    }
    v->addWidget(m_Tree, 2);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel("Current File:", group));
    m_File = new QLineEdit(group);
    fileRow->addWidget(m_File, 1);
    v->addLayout(fileRow);
    m_Copied = new QListWidget(group);
    v->addWidget(m_Copied, 3);

    // The home folder first, then the mounted file systems.
    m_Drives->addItem(QDir::homePath(), QDir::homePath());
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && volume.rootPath() != QDir::homePath()) {
            m_Drives->addItem(volume.rootPath(), volume.rootPath());
        }
    }
    connect(m_Drives, &QComboBox::activated, this, &CLocalFolderPane::DriveChosen);
    // The current row, however the operator moved it (click, arrow keys, typing a name).
    // Not on "expanded": the tree also expands by itself while it shows a folder set by the
    // program, and the folder files go to must not move then.
    connect(m_Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_Placing) {
                    FolderChosen(current);
                }
            });
    connect(m_Tree, &QTreeView::clicked, this, &CLocalFolderPane::FolderChosen);
    SetFolder(QDir::currentPath());
}

void CLocalFolderPane::ShowFolder(const QString& folder) {
    if (folder == m_Folder) {
        return;
    }
    m_Folder = folder;
    m_Dir->setText(folder);
    // The files copied so far went elsewhere: the list and name belong to the old folder.
    m_Copied->clear();
    m_File->clear();
}

void CLocalFolderPane::SetFolder(const QString& folder) {
    ShowFolder(folder);
    const QSignalBlocker quiet(m_Drives);
    m_Placing = true;
    // The drive that holds the folder: the longest root that starts it.
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < m_Drives->count(); ++i) {
        const QString root = m_Drives->itemData(i).toString();
        if (folder.startsWith(root) && root.size() > bestLength) {
            best = i;
            bestLength = static_cast<int>(root.size());
        }
    }
    if (best >= 0) {
        m_Drives->setCurrentIndex(best);
        m_Tree->setRootIndex(m_Model->setRootPath(m_Drives->itemData(best).toString()));
    }
    const QModelIndex index = m_Model->index(folder);
    if (index.isValid()) {
        m_Tree->setCurrentIndex(index);
        m_Tree->scrollTo(index);
    }
    m_Placing = false;
}

void CLocalFolderPane::DriveChosen(int index) {
    if (index < 0) {
        return;
    }
    const QString root = m_Drives->itemData(index).toString();
    m_Placing = true;
    m_Tree->setRootIndex(m_Model->setRootPath(root));
    m_Tree->setCurrentIndex(QModelIndex());
    m_Placing = false;
    ShowFolder(root);
}

void CLocalFolderPane::FolderChosen(const QModelIndex& index) {
    if (!index.isValid()) {
        return;
    }
    ShowFolder(m_Model->filePath(index));
}

QString CLocalFolderPane::CurrentDirText() const {
    return m_Dir->text();
}

void CLocalFolderPane::SetLocked(bool locked) {
    m_Drives->setEnabled(!locked);
    m_Tree->setEnabled(!locked);
}

} // namespace nereid::instrument
