#pragma once

#include <QString>
#include <QWidget>

namespace nereid::instrument {

// A page widget of the Configuration sheet. It edits its page model directly, so the model
// always holds what the controls show; Load shows the model again after an answer.
class CConfigPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual int DialogId() const = 0;
    // The tab caption with the spacing the tab shows.
    virtual QString Caption() const = 0;
    // Shows the model's values in the controls.
    virtual void Load() = 0;
    // Reads the fields that are checked on leaving them; returns 1, or 0 after the
    // framework's message when a field is refused (nothing may then be sent).
    virtual int Prepare() { return 1; }
    // The page became the active tab.
    virtual void Activate() {}
};

} // namespace nereid::instrument
