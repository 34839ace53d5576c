#include "link/dialogs/phone_list_editor.h"

#include "link/dialogs/message_box.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace nereid::link {

CPhoneListEditor::CPhoneListEditor(const QString& phoneIniPath, QWidget* parent)
    : QDialog(parent), m_Directory(phoneIniPath.toStdString()) {
    setWindowTitle("Phone List Editor");
    auto* layout = new QVBoxLayout(this);

    auto* current = new QGroupBox("Current Phone Directory", this);
    auto* lists = new QHBoxLayout(current);
    m_Names = new QListWidget(current);
    m_Numbers = new QListWidget(current);
    lists->addWidget(m_Names);
    lists->addWidget(m_Numbers);
    layout->addWidget(current);

    auto* control = new QGroupBox("Editor Control", this);
    auto* form = new QFormLayout(control);
    m_NameEdit = new QLineEdit(control);
    m_NameEdit->setMaxLength(static_cast<int>(CPhoneDirectory::kNameEditLimit));
    m_NumberEdit = new QLineEdit(control);
    m_NumberEdit->setMaxLength(static_cast<int>(CPhoneDirectory::kNumberEditLimit));
    form->addRow("Name", m_NameEdit);
    form->addRow("Number", m_NumberEdit);
    m_UpdateButton = new QPushButton("UPDATE", control);
    auto* ok = new QPushButton("OK", control);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_UpdateButton);
    buttons->addWidget(ok);
    form->addRow(buttons);
    layout->addWidget(control);

    // Rows of the two lists are the slots 0..30, so a row is a slot.
    connect(m_Names, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { SelectSlot(m_Names->row(item)); });
    connect(m_Numbers, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { SelectSlot(m_Numbers->row(item)); });
    connect(m_UpdateButton, &QPushButton::clicked, this, [this] { Update(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (m_Directory.Load() < 0)
        ShowMessage(this, kTellusCaption,
                    "The phone directory " + phoneIniPath + " cannot be read.");
    Reload();
    const int empty = m_Directory.FirstEmptySlot();
    m_EditSlot = empty < 0 ? 0 : empty;
}

void CPhoneListEditor::Reload() {
    m_Names->clear();
    m_Numbers->clear();
    for (int i = 0; i < CPhoneDirectory::kSlots; ++i) {
        m_Names->addItem(QString::fromStdString(m_Directory.Name(i)));
        m_Numbers->addItem(QString::fromStdString(m_Directory.Number(i)));
    }
}

void CPhoneListEditor::SelectSlot(int slot) {
    if (slot < 0 || slot >= CPhoneDirectory::kSlots)
        return;
    m_EditSlot = slot;
    m_NameEdit->setText(QString::fromStdString(m_Directory.Name(slot)));
    m_NumberEdit->setText(QString::fromStdString(m_Directory.Number(slot)));
}

void CPhoneListEditor::Update() {
    const int result = m_Directory.Update(m_EditSlot, m_NameEdit->text().toStdString(),
                                          m_NumberEdit->text().toStdString());
    if (result == 0)
        return;
    if (result < 0) {
        ShowMessage(this, kTellusCaption,
                    "The phone directory " + QString::fromStdString(m_Directory.Path()) +
                        " cannot be written; nothing was changed.");
        return;
    }
    Reload();
    const int empty = m_Directory.FirstEmptySlot();
    m_EditSlot = empty < 0 ? m_EditSlot : empty;
    m_NameEdit->clear();
    m_NumberEdit->clear();
}

} // namespace nereid::link
