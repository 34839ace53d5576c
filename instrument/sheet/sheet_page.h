#pragma once

#include <QWidget>

class QLineEdit;
#include <string>

#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

class CPropertySheet;

// The widget side of one page: it binds controls to its CPageModel and holds no protocol.
// A derived page builds its controls in its constructor, shows the model in Refresh and
// copies (and range-checks) its controls into the model in Collect.
class CSheetPage : public QWidget {
    Q_OBJECT
public:
    // Dynamic property of a control that carries its control identifier for the per-control
    // help topics.
    static constexpr const char* kHelpIdProperty = "nereidHelpId";

    CSheetPage(CPageModel& model, QWidget* parent = nullptr);

    CPageModel& Model() { return m_Model; }
    const CPageModel& Model() const { return m_Model; }
    int DialogId() const { return m_Model.DialogId(); }
    QString Caption() const { return QString::fromLatin1(m_Model.Caption()); }

    // Shows the model's state in the controls (after an answer, or when the model changed).
    virtual void Refresh() {}
    // Reads the controls into the model with their number and range checks. Returns 1, or 0
    // after an entry was refused: `message` then holds the framework's text ("Please enter an
    // integer between 0 and 127.") and the focus is back on the field.
    virtual int Collect(std::string& message);

    // The page became the active tab of `sheet`. Status pages send their query here; others
    // do nothing beyond what the sheet does for every page.
    virtual void OnActivate(CPropertySheet& sheet);
    // The sheet is opening (every opening, before its first action); pages reset their
    // controls here as a freshly created page would show them.
    virtual void OnSheetOpened(CPropertySheet& sheet);

    // The help topic of an F1 or help-cursor request on `control` (a child of the page, or
    // the page itself): the control's topic, the page's topic or 0, by the page's help kind.
    unsigned HelpTopicFor(const QWidget* control) const;

    // Gives `control` its identifier for the per-control help topics.
    static void SetHelpId(QWidget* control, int id);

    // The sheet this page stands in (nullptr before it is added).
    CPropertySheet* Sheet() const { return m_Sheet; }
    void SetSheet(CPropertySheet* sheet) { m_Sheet = sheet; }

protected:
    // Says what became of an entry (CorrectionNote's text) in a message box and returns the
    // focus to the field. One box at a time: the field's end-of-editing report while the box
    // is up does not raise a second one. Nothing for an empty note.
    void SayCorrection(QLineEdit* field, const std::string& note);
    bool SayingCorrection() const { return m_Saying; }

private:
    bool m_Saying = false;
    CPageModel& m_Model;
    CPropertySheet* m_Sheet = nullptr;
};

} // namespace nereid::instrument
