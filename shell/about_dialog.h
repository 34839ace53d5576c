#pragma once

#include <QDialog>

class QLabel;

namespace nereid::shell {

// "About Nereid Utility": program name and version, physical memory and free space of the
// current folder's file system.
class CAboutDialog : public QDialog {
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    QString MemoryText() const;
    QString FreeSpaceText() const;

private:
    QLabel* m_Memory;
    QLabel* m_FreeSpace;
};

} // namespace nereid::shell
