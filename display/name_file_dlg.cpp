#include "display/name_file_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

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
    auto* row = new QHBoxLayout(extra);
    row->setContentsMargins(0, 0, 0, 0);
    m_ChannelBox = new QComboBox(extra);
    for (const auto& [number, channel] : m_Table.m_ChanMap)
        m_ChannelBox->addItem(QString::asprintf("Chan%i", static_cast<int>(number)), int(number));
    m_Enable = new QCheckBox("Enable Recording", extra);
    m_Comments = new QLineEdit(extra);
    m_Comments->setMaxLength(80);
    m_Minutes = new QLineEdit("60", extra);
    m_Minutes->setMaxLength(10);
    row->addWidget(m_ChannelBox);
    row->addWidget(m_Enable);
    row->addWidget(new QLabel("Comments", extra));
    row->addWidget(m_Comments, 1);
    row->addWidget(new QLabel("Recording Time", extra));
    row->addWidget(m_Minutes);
    row->addWidget(new QLabel("Minutes", extra));
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(extra, grid->rowCount(), 0, 1, grid->columnCount());

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

int CNameFileDlg::StoreShown() {
    recording::RtChannel* c = m_Table.Find(ChannelNumber(m_Shown));
    if (c == nullptr || !c->recordEnable)
        return 1;
    const QLineEdit* name = FileNameEdit();
    return recording::StoreChannelSettings(
        *c, name != nullptr ? name->text().trimmed().toStdString() : std::string(),
        directory().absolutePath().toStdString(), m_Comments->text().toStdString(), m_Messages);
}

void CNameFileDlg::ShowChannel(int row) {
    m_Shown = row;
    const recording::RtChannel* c = m_Table.Find(ChannelNumber(row));
    if (c == nullptr)
        return;
    if (!c->directory.empty())
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
        return;
    }
    m_Enabled = 0;
    for (const auto& [number, channel] : m_Table.m_ChanMap)
        m_Enabled += channel.recordEnable ? 1 : 0;
    // The file dialog's own checks (existing names, folders) do not apply: the name is a
    // channel's name, not a file to open.
    QDialog::accept();
}

} // namespace nereid::display
