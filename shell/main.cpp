#include "shell/main_frame.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The profile: ~/.config/NR-Utility/TellusW32.conf, phone.ini beside it.
    QApplication::setOrganizationName("NR-Utility");
    QApplication::setApplicationName("TellusW32");
    QApplication::setApplicationDisplayName("Nereid Utility");
    nereid::shell::CMainFrame frame;
    frame.PlaceOnScreen();
    frame.show();
    return app.exec();
}
