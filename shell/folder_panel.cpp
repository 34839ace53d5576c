#include "shell/folder_panel.h"

#include "shell/drive_list.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace nereid::shell {

CFolderPanel::CFolderPanel(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_Drives = new QComboBox(this);
    for (const Drive& drive : ListDrives())
        m_Drives->addItem(QString::fromStdString(drive.label), QString::fromStdString(drive.path));
    form->addRow("Drive:", m_Drives);
    m_CurrentDir = new QLabel(this);
    m_CurrentDir->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow("Current Dir:", m_CurrentDir);
    layout->addLayout(form);

    m_Model = new QFileSystemModel(this);
    m_Model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_Model->setReadOnly(true);
    m_Tree = new QTreeView(this);
    m_Tree->setModel(m_Model);
    for (int column = 1; column < m_Model->columnCount(); ++column)
        m_Tree->hideColumn(column);
    m_Tree->header()->hide();
    m_Tree->setMinimumHeight(140);
    layout->addWidget(m_Tree);

    auto* fileForm = new QFormLayout;
    m_CurrentFile = new QLabel(this);
    fileForm->addRow("Current File:", m_CurrentFile);
    layout->addLayout(fileForm);
    m_Files = new QListWidget(this);
    m_Files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(m_Files);

    connect(m_Drives, &QComboBox::activated, this, [this](int index) { DriveChosen(index); });
    connect(m_Tree, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { SetFolder(m_Model->filePath(index)); });
    connect(m_Files, &QListWidget::currentTextChanged, m_CurrentFile, &QLabel::setText);
}

void CFolderPanel::DriveChosen(int index) {
    const QString path = m_Drives->itemData(index).toString();
    if (!path.isEmpty())
        SetFolder(path);
}

void CFolderPanel::SetFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        return;
    m_Folder = info.absoluteFilePath();
    // The drive is the longest listed path that holds the folder.
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < m_Drives->count(); ++i) {
        const QString drive = m_Drives->itemData(i).toString();
        const bool holds = m_Folder == drive || drive == "/" || m_Folder.startsWith(drive + "/");
        if (holds && drive.size() > bestLength) {
            best = i;
            bestLength = static_cast<int>(drive.size());
        }
    }
    QString root = "/";
    if (best >= 0) {
        m_Drives->setCurrentIndex(best);
        root = m_Drives->itemData(best).toString();
    }
    m_Model->setRootPath(root);
    m_Tree->setRootIndex(m_Model->index(root));
    const QModelIndex current = m_Model->index(m_Folder);
    m_Tree->setCurrentIndex(current);
    m_Tree->scrollTo(current);
    m_CurrentDir->setText(QDir::toNativeSeparators(m_Folder));
    RefreshFiles();
}

void CFolderPanel::RefreshFiles() {
    m_Files->clear();
    m_CurrentFile->clear();
    const QDir dir(m_Folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        m_Files->addItem(name);
}

QStringList CFolderPanel::SelectedFiles() const {
    QStringList paths;
    for (int i = 0; i < m_Files->count(); ++i) {
        if (m_Files->item(i)->isSelected())
            paths << QDir(m_Folder).filePath(m_Files->item(i)->text());
    }
    return paths;
}

int CFolderPanel::SelectFiles(const QStringList& names) {
    int selected = 0;
    for (int i = 0; i < m_Files->count(); ++i) {
        const bool on = names.contains(m_Files->item(i)->text());
        m_Files->item(i)->setSelected(on);
        selected += on ? 1 : 0;
    }
    return selected;
}

QString CFolderPanel::CurrentDirText() const {
    return m_CurrentDir->text();
}

} // namespace nereid::shell
