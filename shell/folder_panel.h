#pragma once

#include <QGroupBox>
#include <QStringList>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QTreeView;

namespace nereid::shell {

// One side of the "File Translate" dialog: "Drive:" box, "Current Dir:" text, folder tree,
// "Current File:" text and the file list of the current folder.
class CFolderPanel : public QGroupBox {
public:
    CFolderPanel(const QString& title, QWidget* parent = nullptr);

    // Shows the folder: picks the drive that holds it, roots the tree there and lists its files.
    void SetFolder(const QString& folder);
    QString Folder() const { return m_Folder; }
    // Lists the folder's files again (after a translation wrote new ones).
    void RefreshFiles();
    // The selected files, as full paths, in list order.
    QStringList SelectedFiles() const;
    // Selects the named files of the list (for a caller that knows them); returns how many.
    int SelectFiles(const QStringList& names);
    QListWidget* FileList() const { return m_Files; }
    QComboBox* DriveBox() const { return m_Drives; }
    QString CurrentDirText() const;

private:
    void DriveChosen(int index);

    QString m_Folder;
    QComboBox* m_Drives;
    QLabel* m_CurrentDir;
    QTreeView* m_Tree;
    QFileSystemModel* m_Model;
    QLabel* m_CurrentFile;
    QListWidget* m_Files;
};

} // namespace nereid::shell
