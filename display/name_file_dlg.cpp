#include "display/name_file_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "recording/channel_table.h"
#include "recording/recorder_messages.h"
#include "recording/recording_setup.h"

namespace nereid::display {

CNameFileDlg::CNameFileDlg(recording::RecordingForm form, recording::CChannelTable& table,
                           recording::CRecorderMessages* messages, QWidget* parent)
    : QFileDialog(parent), m_Table(table), m_Messages(messages) {
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontConfirmOverwrite);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setWindowTitle(Title(form));

    auto* extra = new QWidget(this);
    auto* rows = new QGridLayout(extra);
    rows->setContentsMargins(0, 0, 0, 0);
    m_ChannelBox = new QComboBox(extra);
    for (const auto& [number, channel] : m_Table.m_ChanMap)
        m_ChannelBox->addItem(QString::asprintf("Chan%i", static_cast<int>(number)), int(number));
    m_Enable = new QCheckBox("Enable Recording", extra);
    m_Comments = new QLineEdit(extra);
    m_Comments->setMaxLength(80);
    // Room for a sentence: 80 characters is what the recorder keeps.
    m_Comments->setMinimumWidth(m_Comments->fontMetrics().horizontalAdvance(QString(40, 'x')));
    m_Minutes = new QLineEdit("60", extra);
    m_Minutes->setMaxLength(10);
    m_Minutes->setFixedWidth(m_Minutes->fontMetrics().horizontalAdvance("0000000") + 12);
    auto* time = new QHBoxLayout;
    time->addWidget(new QLabel("Recording Time", extra));
    time->addWidget(m_Minutes);
    time->addWidget(new QLabel("Minutes", extra));
    time->addStretch(1);
    rows->addWidget(m_ChannelBox, 0, 0);
    rows->addWidget(m_Enable, 0, 1);
    rows->addLayout(time, 0, 2);
    rows->addWidget(new QLabel("Comments", extra), 1, 0);
    rows->addWidget(m_Comments, 1, 1, 1, 2);
    rows->setColumnStretch(2, 1);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(extra, grid->rowCount(), 0, 1, grid->columnCount());
    // The detail view shows sizes and dates whole ("23.4 KiB", not "23....KiB").
    setViewMode(QFileDialog::Detail);
    if (auto* view = findChild<QTreeView*>("treeView")) {
        view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    resize(860, 540);

    connect(m_ChannelBox, &QComboBox::activated, this, [this](int row) { SelectChannel(row); });
    connect(m_Enable, &QCheckBox::clicked, this, [this](bool on) {
        if (recording::RtChannel* c = m_Table.Find(ChannelNumber(m_Shown)))
            c->recordEnable = on;
        EnableFields(on);
    });
    if (m_ChannelBox->count() > 0) {
        m_ChannelBox->setCurrentIndex(0);
        ShowChannel(0);
    }
}

QString CNameFileDlg::Title(recording::RecordingForm form) {
    switch (form) {
    case recording::RecordingForm::kCss:
        return "CSS Recording Setup";
    case recording::RecordingForm::kSeisan:
        return "Seisan Recording Setup";
    case recording::RecordingForm::kMseed:
        return "miniSEED Recording Setup";
    default:
        return "DaDisp Recording Setup";
    }
}

QLineEdit* CNameFileDlg::FileNameEdit() const {
    return findChild<QLineEdit*>("fileNameEdit");
}

QString CNameFileDlg::MinutesText() const {
    return m_Minutes->text();
}

int CNameFileDlg::ChannelNumber(int row) const {
    return row >= 0 && row < m_ChannelBox->count() ? m_ChannelBox->itemData(row).toInt() : 0;
}

void CNameFileDlg::EnableFields(bool on) {
    if (QLineEdit* name = FileNameEdit())
        name->setEnabled(on);
    m_Comments->setEnabled(on);
    // The folder list stays usable; it is what the channel's folder is taken from.
}

int CNameFileDlg::TakeTypedFolder() {
    QLineEdit* name = FileNameEdit();
    if (name == nullptr)
        return 0;
    QString text = name->text().trimmed();
    if (text.startsWith("~/") || text == "~")
        text = QDir::homePath() + text.mid(1);
    QString path = QDir(directory()).absoluteFilePath(text);
    const bool looksLikeFolder = text.contains('/') || text == "." || text == "..";
    if (text.isEmpty() || (!looksLikeFolder && !QFileInfo(path).isDir()))
        return 0; // a channel's file name
    // The box is labelled as a file name and shows one ("DChan1.dat"), so an operator may type
    // a whole path to such a name: its folder is the choice, its last part the channel's name.
    // A last part without an extension stays a folder name, so a mistyped folder is refused.
    QString typedName;
    const QFileInfo typed(path);
    if (!text.endsWith('/') && !typed.exists() && typed.fileName().contains('.') &&
        typed.fileName() != "..") {
        typedName = typed.fileName();
        path = typed.path();
    }
    // Checked before the list goes there: a folder that takes no files is no choice (and the
    // list would read every special file in a folder such as /proc).
    const QString folder = QDir::cleanPath(path);
    if (recording::CheckRecordingFolder(folder.toStdString(), m_Messages) != 1) {
        name->setFocus();
        return recording::kSetupBadFolder;
    }
    setDirectory(folder);
    const recording::RtChannel* c = m_Table.Find(ChannelNumber(m_Shown));
    if (!typedName.isEmpty())
        name->setText(typedName);
    else
        name->setText(c != nullptr ? QString::fromStdString(c->fileName) : QString());
    return 1;
}

int CNameFileDlg::StoreShown() {
    if (TakeTypedFolder() < 0)
        return recording::kSetupBadFolder;
    recording::RtChannel* c = m_Table.Find(ChannelNumber(m_Shown));
    if (c == nullptr || !c->recordEnable)
        return 1;
    const QLineEdit* name = FileNameEdit();
    return recording::StoreChannelSettings(
        *c, name != nullptr ? name->text().trimmed().toStdString() : std::string(),
        directory().absolutePath().toStdString(), m_Comments->text().toStdString(), m_Messages);
}

void CNameFileDlg::ShowChannel(int row) {
    const bool first = m_Shown < 0;
    const recording::RtChannel* c = m_Table.Find(ChannelNumber(row));
    m_Shown = row;
    if (c == nullptr)
        return;
    // One folder for the whole recording: showing a channel does not move the folder list
    // (it opens where the last recording went, the first channel's folder).
    if (first && !c->directory.empty())
        setDirectory(QString::fromStdString(c->directory));
    if (QLineEdit* name = FileNameEdit())
        name->setText(QString::fromStdString(c->fileName));
    m_Comments->setText(QString::fromStdString(c->comments));
    m_Enable->setChecked(c->recordEnable);
    EnableFields(c->recordEnable);
}

bool CNameFileDlg::SelectChannel(int row) {
    if (row == m_Shown)
        return true;
    if (StoreShown() != 1) {
        m_ChannelBox->setCurrentIndex(m_Shown);
        return false;
    }
    m_ChannelBox->setCurrentIndex(row);
    ShowChannel(row);
    return true;
}

void CNameFileDlg::accept() {
    if (StoreShown() != 1)
        return;
    if (recording::ParseRecordingMinutes(m_Minutes->text().toStdString()) == 0) {
        if (m_Messages != nullptr)
            m_Messages->ShowMessage(recording::kRecordingTimeInvalidText,
                                    recording::kRecorderCaption);
        m_Minutes->setFocus();
        return;
    }
    const QString folder = directory().absolutePath();
    m_Enabled = 0;
    for (const auto& [number, channel] : m_Table.m_ChanMap)
        m_Enabled += channel.recordEnable ? 1 : 0;
    // Nothing to check when nothing will be recorded: the setup says so itself.
    if (m_Enabled > 0 && recording::CheckRecordingFolder(folder.toStdString(), m_Messages) != 1) {
        if (QLineEdit* name = FileNameEdit())
            name->setFocus();
        return;
    }
    // Every enabled channel records where the operator chose, also those never shown.
    for (auto& [number, channel] : m_Table.m_ChanMap) {
        if (channel.recordEnable)
            channel.directory = folder.toStdString();
    }
    m_Destination = folder;
    // The file dialog's own checks (existing names, folders) do not apply: the name is a
    // channel's name, not a file to open.
    QDialog::accept();
}

} // namespace nereid::display
