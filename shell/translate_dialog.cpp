#include "shell/translate_dialog.h"

#include "link/dialogs/message_box.h"
#include "shell/folder_panel.h"
#include "shell/translate_runner.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nereid::shell {

CTranslateDialog::CTranslateDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("File Translate");
    auto* layout = new QHBoxLayout(this);
    m_Source = new CFolderPanel("Source Data File", this);
    layout->addWidget(m_Source, 1);

    auto* middle = new QVBoxLayout;
    auto* formats = new QGroupBox("Destination File Format", this);
    auto* formatLayout = new QVBoxLayout(formats);
    m_Forms = new QButtonGroup(this);
    const char* names[] = {"DaDiSP", "Seisan", "ASCII", "HLCP", "CSS", "miniSEED"};
    for (int i = 0; i < 6; ++i) {
        auto* button = new QRadioButton(names[i], formats);
        m_Forms->addButton(button, i);
        formatLayout->addWidget(button);
    }
    m_Forms->button(0)->setChecked(true);
    middle->addWidget(formats);
    auto* ok = new QPushButton("OK", this);
    auto* close = new QPushButton("&Close", this);
    auto* help = new QPushButton("&Help", this);
    middle->addWidget(ok);
    middle->addWidget(close);
    middle->addWidget(help);
    middle->addStretch(1);
    layout->addLayout(middle);

    m_Destination = new CFolderPanel("Destination Data File", this);
    layout->addWidget(m_Destination, 1);

    m_Source->SetFolder(QDir::currentPath());
    m_Destination->SetFolder(QDir::currentPath());

    connect(ok, &QPushButton::clicked, this, [this] { Translate(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        link::ShowMessage(this, link::kTellusCaption,
                          "Select one or more HLCP files recorded by the instrument on the left, "
                          "the destination folder on the right and the destination format, then "
                          "press OK. The names of the files written are listed on the right.");
    });
}

int CTranslateDialog::Form() const {
    return m_Forms->checkedId() < 0 ? 0 : m_Forms->checkedId();
}

void CTranslateDialog::SetForm(int form) {
    if (QAbstractButton* button = m_Forms->button(form))
        button->setChecked(true);
}

int CTranslateDialog::Translate() {
    std::vector<std::string> sources;
    for (const QString& path : m_Source->SelectedFiles())
        sources.push_back(path.toStdString());
    if (sources.empty())
        return 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<TranslateOutcome> outcomes =
        TranslateFiles(sources, Form(), m_Destination->Folder().toStdString(), m_Mseed);
    QApplication::restoreOverrideCursor();

    int written = 0;
    QStringList problems;
    QStringList produced;
    for (const TranslateOutcome& outcome : outcomes) {
        if (outcome.result == 1) {
            ++written;
            produced << QString::fromStdString(outcome.outputName);
        } else {
            problems << QString::fromStdString(outcome.source) + ":\n" +
                            QString::fromStdString(outcome.message);
        }
    }
    m_Outputs << produced;
    m_Destination->RefreshFiles();
    // The list shows what this run produced, selected, among the folder's files.
    m_Destination->SelectFiles(produced);
    if (!problems.isEmpty())
        link::ShowMessage(this, link::kTellusCaption, problems.join("\n\n"));
    return written;
}

} // namespace nereid::shell
