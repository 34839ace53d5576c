#include "instrument/sheet/sheet_page.h"

#include <QLineEdit>
#include <QVariant>

#include "link/dialogs/message_box.h"

#include "instrument/sheet/model/help_topics.h"

namespace nereid::instrument {

// The model may be a member of the derived page, not built yet: only its address is kept here.
CSheetPage::CSheetPage(CPageModel& model, QWidget* parent) : QWidget(parent), m_Model(model) {}

int CSheetPage::Collect(std::string& message) {
    message.clear();
    return 1;
}

void CSheetPage::OnActivate(CPropertySheet&) {}

void CSheetPage::OnSheetOpened(CPropertySheet&) {}

unsigned CSheetPage::HelpTopicFor(const QWidget* control) const {
    int id = 0;
    for (const QWidget* w = control; w != nullptr && w != this; w = w->parentWidget()) {
        const QVariant v = w->property(kHelpIdProperty);
        if (v.isValid()) {
            id = v.toInt();
            break;
        }
    }
    return PageRequestTopic(DialogId(), id);
}

void CSheetPage::SetHelpId(QWidget* control, int id) {
    control->setProperty(kHelpIdProperty, id);
}

void CSheetPage::SayCorrection(QLineEdit* field, const std::string& note) {
    if (note.empty() || m_Saying) {
        return;
    }
    m_Saying = true;
    link::ShowMessage(this, link::kTellusCaption, QString::fromStdString(note));
    if (field != nullptr && field->isVisible()) {
        field->setFocus();
        field->selectAll();
    }
    m_Saying = false;
}

} // namespace nereid::instrument
