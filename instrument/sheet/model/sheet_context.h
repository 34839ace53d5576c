#pragma once

#include <functional>

namespace nereid::link {
class CInstrumentLink;
}
namespace nereid::recording {
class CStreamList;
}

namespace nereid::instrument {

// What a sheet needs from the application: the one link, the model code of the connection
// (read at the sheet's first opening) and the stream list (rebuilt at each connection). The
// shell fills it from CMainFrame; tests fill it from their own link and list.
struct SheetContext {
    link::CInstrumentLink* link = nullptr;
    std::function<int()> modelCode;
    recording::CStreamList* streams = nullptr;
};

} // namespace nereid::instrument
