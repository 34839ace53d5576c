#pragma once

#include <QWidget>

#include "instrument/sheet/model/sheet_context.h"

namespace nereid::instrument {

// The one sheet of type Sheet that belongs to `owner` (the main frame): created on the first
// call with `context` and kept as the owner's child, so that its page set, latched at its
// first opening, lasts for the program run.
template <typename Sheet> Sheet& SheetOf(QWidget& owner, const SheetContext& context) {
    Sheet* sheet = owner.findChild<Sheet*>(QString(), Qt::FindDirectChildrenOnly);
    if (sheet == nullptr)
        sheet = new Sheet(context, &owner);
    return *sheet;
}

// Opens the owner's sheet of type Sheet modally. Returns 1 (the sheet was shown), or 0 when
// there is no link to talk through.
template <typename Sheet> int OpenSheetOf(QWidget& owner, const SheetContext& context) {
    if (context.link == nullptr)
        return 0;
    SheetOf<Sheet>(owner, context).Exec();
    return 1;
}

} // namespace nereid::instrument
