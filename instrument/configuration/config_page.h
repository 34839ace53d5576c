#pragma once

#include <QString>

#include "instrument/sheet/sheet_page.h"

namespace nereid::instrument {

// A page widget of the Configuration sheet. It edits its page model directly, so the model
// always holds what the controls show; Load shows the model again after an answer.
class CConfigPage : public CSheetPage {
    Q_OBJECT
public:
    using CSheetPage::CSheetPage;

    // Shows the model's values in the controls.
    virtual void Load() = 0;
    // Reads the fields that are checked on leaving them; returns 1, or 0 with the framework's
    // message in `message` when a field is refused (nothing may then be sent).
    virtual int Prepare(std::string&) { return 1; }
    // The page became the active tab.
    virtual void Activate() {}

    void Refresh() override { Load(); }
    int Collect(std::string& message) override { return Prepare(message); }
    void OnActivate(CPropertySheet&) override { Activate(); }
};

} // namespace nereid::instrument
