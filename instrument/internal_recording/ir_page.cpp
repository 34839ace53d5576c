#include "instrument/internal_recording/ir_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "instrument/sheet/model/entry_check.h"
#include "link/dialogs/message_box.h"

namespace nereid::instrument {

CIRPage::CIRPage(CIRSetupModel& setup, int page, QWidget* parent)
    : CSheetPage(m_Adapter, parent), m_Adapter(setup, page) {
    m_Grid = new QGridLayout(this);
    m_Drive = new QComboBox(this);
    m_Grid->addWidget(new QLabel("Storage Drive:", this), 0, 0);
    m_Grid->addWidget(m_Drive, 0, 1);
    connect(m_Drive, &QComboBox::activated, this, &CIRPage::Changed);
}

int CIRPage::Collect(std::string& message) {
    message.clear();
    m_Note.clear();
    m_NoteEdit = nullptr;
    ReadControls();
    return 1;
}

long long CIRPage::ReadEntry(QLineEdit* edit, const std::string& field, long long current,
                             const std::function<long long(long long)>& correct) {
    std::string note;
    const long long value =
        ReadWholeEntry(field, edit->text().toStdString(), current, correct, note);
    if (!note.empty() && m_Note.empty()) {
        m_Note = note;
        m_NoteEdit = edit;
    }
    return value;
}

void CIRPage::ShowNote() {
    if (m_Note.empty()) {
        return;
    }
    // While the box is up the edit loses the focus and reports its end again: that second
    // report must not read (and note) once more.
    m_ShowingNote = true;
    const std::string note = m_Note;
    QLineEdit* edit = m_NoteEdit;
    m_Note.clear();
    m_NoteEdit = nullptr;
    emit message(link::kTellusCaption, QString::fromStdString(note));
    if (edit != nullptr && edit->isVisible()) {
        edit->setFocus();
        edit->selectAll();
    }
    m_ShowingNote = false;
}

void CIRPage::ShowDrive(int index) {
    m_Drive->clear();
    if (m_Names == nullptr) {
        return;
    }
    const std::vector<std::string> offered = m_Names->Offered(index);
    for (const std::string& name : offered) {
        m_Drive->addItem(QString::fromStdString(name));
    }
    m_Drive->setCurrentIndex(CDriveNames::OfferedPosition(offered, index));
}

int CIRPage::ChosenDrive(int current) const {
    if (m_Names == nullptr || m_Drive->currentIndex() < 0) {
        return current;
    }
    const int index = CDriveNames::IndexOfOffered(m_Drive->currentText().toStdString());
    return index < 0 ? current : index;
}

void CIRPage::Watch(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::editingFinished, this, &CIRPage::Changed);
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        connect(check, &QCheckBox::clicked, this, &CIRPage::Changed);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, &QComboBox::activated, this, &CIRPage::Changed);
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        connect(spin, &QSpinBox::editingFinished, this, &CIRPage::Changed);
    }
}

void CIRPage::Changed() {
    if (m_Refreshing || m_ShowingNote) {
        return;
    }
    m_Note.clear();
    m_NoteEdit = nullptr;
    ReadControls();
    Refresh();
    emit modified();
    ShowNote();
}

void CIRDateEdits::Build(QWidget* parent, bool withSeconds) {
    box = new QWidget(parent);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    const int count = withSeconds ? 6 : 5;
    for (int k = 0; k < count; ++k) {
        auto* e = new QLineEdit(box);
        e->setFixedWidth(k == 2 ? 44 : 28);
        e->setMaxLength(k == 2 ? 4 : 2);
        e->setAlignment(Qt::AlignCenter);
        if (k == 1 || k == 2) {
            h->addWidget(new QLabel("/", box));
        } else if (k >= 4) {
            h->addWidget(new QLabel(":", box));
        }
        h->addWidget(e);
        edits[static_cast<std::size_t>(k)] = e;
    }
    h->addStretch();
}

void CIRDateEdits::Show(const IRDateTime& t) {
    const int fields[6] = {t.month, t.day, t.year, t.hour, t.minute, t.second};
    for (std::size_t k = 0; k < edits.size(); ++k) {
        if (edits[k] != nullptr) {
            edits[k]->setText(k == 2 ? QString::number(fields[k])
                                     : QString::asprintf("%02d", fields[k]));
        }
    }
}

IRDateTime CIRDateEdits::Read(const IRDateTime& current, CIRPage& page,
                              const std::string& what) const {
    static const char* const kParts[6] = {"month", "day", "year", "hour", "minute", "second"};
    const std::function<long long(long long)> corrections[6] = {
        CorrectMonth, CorrectDay, CorrectYear, CorrectHour, CorrectMinute, CorrectMinute};
    const int fields[6] = {current.month, current.day,    current.year,
                           current.hour,  current.minute, current.second};
    int read[6] = {};
    for (std::size_t k = 0; k < 6; ++k) {
        read[k] = edits[k] == nullptr
                      ? (k == 5 ? 0 : fields[k])
                      : static_cast<int>(page.ReadEntry(edits[k], what + " " + kParts[k], fields[k],
                                                        corrections[k]));
    }
    return IRDateTime{read[0], read[1], read[2], read[3], read[4], read[5]};
}

void CIRChannelBoxes::Build(QWidget* parent) {
    auto* group = new QGroupBox("Channels to Record:", parent);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Primary", group), 1, 0);
    grid->addWidget(new QLabel("Secondary", group), 2, 0);
    for (int k = 0; k < 6; ++k) {
        headers[static_cast<std::size_t>(k)] = new QLabel(QString::number(k + 1), group);
        grid->addWidget(headers[static_cast<std::size_t>(k)], 0, k + 1, Qt::AlignCenter);
        primary[static_cast<std::size_t>(k)] = new QCheckBox(group);
        secondary[static_cast<std::size_t>(k)] = new QCheckBox(group);
        grid->addWidget(primary[static_cast<std::size_t>(k)], 1, k + 1, Qt::AlignCenter);
        grid->addWidget(secondary[static_cast<std::size_t>(k)], 2, k + 1, Qt::AlignCenter);
    }
    box = group;
}

void CIRChannelBoxes::Show(const IRChannels& c) {
    for (std::size_t k = 0; k < 6; ++k) {
        primary[k]->setChecked(c.primary[k]);
        secondary[k]->setChecked(c.secondary[k]);
    }
}

IRChannels CIRChannelBoxes::Read() const {
    IRChannels c;
    for (std::size_t k = 0; k < 6; ++k) {
        c.primary[k] = primary[k]->isChecked();
        c.secondary[k] = secondary[k]->isChecked();
    }
    return c;
}

void CIRChannelBoxes::SetStreamCount(int n) {
    for (std::size_t k = 0; k < 6; ++k) {
        primary[k]->setVisible(static_cast<int>(k) < n);
        secondary[k]->setVisible(static_cast<int>(k) < n);
        headers[k]->setVisible(static_cast<int>(k) < n);
    }
}

} // namespace nereid::instrument
