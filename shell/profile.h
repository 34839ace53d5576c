#pragma once

#include <QSettings>

namespace nereid::shell {

// The program's settings: display, recent files, modem device, miniSEED codes, DataLink hubs.
inline QSettings Profile() {
    return QSettings("NR-Utility", "TellusW32");
}

} // namespace nereid::shell
