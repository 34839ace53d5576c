#pragma once

#include <QDialog>

#include "link/phone_directory.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace nereid::link {

// "Phone List Editor": the 31 slots of phone.ini as a name list and a number list side by side;
// double-clicking either picks the slot to edit, "UPDATE" stores the edits into that slot.
class CPhoneListEditor : public QDialog {
public:
    CPhoneListEditor(const QString& phoneIniPath, QWidget* parent = nullptr);

    int EditSlot() const { return m_EditSlot; }
    void SelectSlot(int slot); // as a double-click on the slot's entry
    void Update();             // the "UPDATE" button

    QListWidget* NameList() const { return m_Names; }
    QListWidget* NumberList() const { return m_Numbers; }
    QLineEdit* NameEdit() const { return m_NameEdit; }
    QLineEdit* NumberEdit() const { return m_NumberEdit; }

private:
    void Reload();

    CPhoneDirectory m_Directory;
    int m_EditSlot = 0;
    QListWidget* m_Names;
    QListWidget* m_Numbers;
    QLineEdit* m_NameEdit;
    QLineEdit* m_NumberEdit;
    QPushButton* m_UpdateButton;
};

} // namespace nereid::link
