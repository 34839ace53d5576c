#pragma once

// Drives the main window the way an operator connects: "&Connect to COM Port..." and DIRECT.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
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

// The item texts of the menu bar's popup `title` (without its '&'); empty when there is none.
inline QStringList MenuLabels(QMenuBar* bar, const QString& title) {
    for (QAction* top : bar->actions()) {
        if (top->menu() && top->text().remove('&') == title) {
            QStringList labels;
            for (QAction* item : top->menu()->actions())
                labels << item->text();
            return labels;
        }
    }
    return {};
}

} // namespace nereid::testing
