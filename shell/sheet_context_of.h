#pragma once

#include "instrument/sheet/model/sheet_context.h"

namespace nereid::shell {

class CMainFrame;

// What the instrument sheets need from the main frame: its link, its model code (read when a
// sheet first opens) and its stream list.
instrument::SheetContext SheetContextOf(CMainFrame& frame);

} // namespace nereid::shell
