#include "shell/sheet_context_of.h"

#include "link/serial_link.h"
#include "shell/main_frame.h"

namespace nereid::shell {

instrument::SheetContext SheetContextOf(CMainFrame& frame) {
    instrument::SheetContext context;
    context.link = frame.Link();
    context.modelCode = [&frame] { return frame.ModelCode(); };
    context.streams = &frame.Streams();
    return context;
}

} // namespace nereid::shell
