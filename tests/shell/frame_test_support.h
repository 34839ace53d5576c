#pragma once

// Drives the main window the way an operator connects: "&Connect to COM Port..." and DIRECT.

#include <QApplication>
#include <QTimer>

#include "link/dialogs/connect_dialog.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"

namespace nereid::testing {

// Opens the connect dialog from the menu and presses DIRECT in it. True when the search
// connected and the full menu is shown.
inline bool ConnectThroughMenu(shell::CMainFrame& frame) {
    bool pressed = false;
    QTimer::singleShot(0, &frame, [&] {
        auto* dialog = dynamic_cast<link::CConnectDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        pressed = true;
        dialog->Direct();
        // A search that finds nothing would keep the modal dialog open for ever.
        QTimer::singleShot(20000, dialog, [dialog] { dialog->reject(); });
    });
    frame.OnCommand(shell::kCmdConnectComPort);
    return pressed && frame.Connected() == 1 && frame.FullMenuShown();
}

} // namespace nereid::testing
