#pragma once

#include <QGroupBox>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QTreeView;

namespace nereid::instrument {

// The PC half of the "File Upload" dialog, headed "Local Computer:": the drives (the home
// folder and the mounted file systems), the folder tree, "Current Dir:" (where fetched files
// are written), "Current File:" and the list of the files copied in this transfer. The folder
// files go to is the one the operator last made current in the tree, by mouse or keyboard.
class CLocalFolderPane : public QGroupBox {
public:
    explicit CLocalFolderPane(QWidget* parent = nullptr);

    QString Folder() const { return m_Folder; }
    // Shows `folder`: picks the drive that holds it and points the tree at it.
    void SetFolder(const QString& folder);
    // While a transfer runs the drive box and the tree do not take input.
    void SetLocked(bool locked);
    QLineEdit* CurrentFile() const { return m_File; }
    QListWidget* CopiedFiles() const { return m_Copied; }
    QTreeView* Tree() const { return m_Tree; }
    QString CurrentDirText() const;

private:
    void DriveChosen(int index);
    void FolderChosen(const QModelIndex& index);
    void ShowFolder(const QString& folder);

    QString m_Folder;
    QComboBox* m_Drives = nullptr;
    QLabel* m_Dir = nullptr;
    QTreeView* m_Tree = nullptr;
    QFileSystemModel* m_Model = nullptr;
    QLineEdit* m_File = nullptr;
    QListWidget* m_Copied = nullptr;
    bool m_Placing = false; // the program moves the tree's current row, not the operator
};

} // namespace nereid::instrument
