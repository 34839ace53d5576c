#include "shell/about_dialog.h"

#include "shell/system_info.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

namespace nereid::shell {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Nereid Utility");
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(new QLabel("Nereid Utility Version " NEREID_VERSION, this), 0, 1);
    layout->addWidget(new QLabel("Physical Memory Available to Linux:", this), 1, 1);
    m_Memory = new QLabel(QString::fromStdString(MemoryLine()), this);
    layout->addWidget(m_Memory, 1, 2);
    layout->addWidget(new QLabel("Disk Space:", this), 2, 1);
    m_FreeSpace =
        new QLabel(QString::fromStdString(FreeSpaceLine(QDir::currentPath().toStdString())), this);
    layout->addWidget(m_FreeSpace, 2, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons, 3, 0, 1, 3);
}

QString CAboutDialog::MemoryText() const {
    return m_Memory->text();
}
QString CAboutDialog::FreeSpaceText() const {
    return m_FreeSpace->text();
}

} // namespace nereid::shell
