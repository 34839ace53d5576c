#include "shell/main_frame.h"

#include "display/ana_view.h"
#include "display/ana_wnd.h"
#include "link/dialogs/connect_dialog.h"
#include "shell/about_dialog.h"
#include "shell/command_ids.h"
#include "shell/menu_set.h"
#include "shell/serve_control.h"
#include "shell/sheet_routes.h"
#include "shell/tellus_status_bar.h"
#include "shell/translate_dialog.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QToolBar>
#include <QWhatsThis>

// The main window's commands: what each menu and toolbar command does, which of them are
// enabled, and which menu bar shows. The windows the commands open are reached through
// sheet_routes.h.
namespace nereid::shell {

void CMainFrame::UpdateCommandUi() {
    const bool connected = Connected() != 0;
    const bool recording = Recording();
    const bool analysisActive = m_AnalysisWindow && m_Mdi->activeSubWindow() == m_AnalysisWindow;
    const auto enable = [this](int id, bool on) {
        if (QAction* action = m_Menus->Action(id))
            action->setEnabled(on);
    };
    enable(kCmdDataAnalysis, m_FullMenuShown);
    for (int id : {kCmdStatus, kCmdCommands, kCmdConfiguration, kCmdCalibration})
        enable(id, connected);
    enable(kCmdInternalRecording, m_ModelCode == 17);
    enable(kCmdFileUpload, m_ModelCode == 17);
    for (int id : {kCmdDaDiSPRecording, kCmdCssRecording, kCmdSeisanRecording, kCmdMseedRecording})
        enable(id, connected && !recording);
    enable(kCmdStopRecording, recording);
    enable(kCmdDebugWindow, false);
    enable(kCmdServeSeedLink, connected);
    enable(kCmdMaintenance, false);
    for (int id : {kCmdFileClose, kCmdCopyToClipboard, kCmdPrint, kCmdChannelBar, kCmdOffsetAdjust})
        enable(id, analysisActive);
    const bool children = !m_Mdi->subWindowList().isEmpty();
    for (int id : {kCmdWindowCascade, kCmdWindowTile, kCmdWindowArrange})
        enable(id, children);
    if (const display::CAnaWnd* analysis = display::AnalysisWindowOf(m_AnalysisWindow)) {
        m_Menus->Action(kCmdChannelBar)->setChecked(analysis->ChannelBarShown());
        m_Menus->Action(kCmdOffsetAdjust)->setChecked(analysis->View()->OffsetAdjust());
    }
    m_Menus->Action(kCmdViewToolbar)->setChecked(m_ToolBar->isVisible() || !isVisible());
    m_Menus->Action(kCmdViewStatusBar)->setChecked(!m_StatusBar->isHidden());
}

void CMainFrame::InstallFullMenu() {
    QMenuBar* bar = m_Menus->BuildFullMenu(m_ModelCode == 17);
    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUi(); });
    setMenuBar(bar);
    UpdateCommandUi();
}

void CMainFrame::AdoptAnalysisWindow(QMdiSubWindow* window) {
    m_AnalysisWindow = window;
    if (window && m_Mdi->activeSubWindow() == window)
        OnSubWindowActivated(window);
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
    if (window && window == m_AnalysisWindow) {
        QMenuBar* bar = m_Menus->BuildAnalysisMenu(m_AnalysisMenuWithModelItems);
        for (QMenu* menu : bar->findChildren<QMenu*>())
            connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUi(); });
        setMenuBar(bar);
    } else if (!window && m_FullMenuShown) {
        // With no child window active the frame's default menu, the full one, is shown.
        InstallFullMenu();
    }
    UpdateCommandUi();
}

void CMainFrame::NotAvailable(const QString& what) {
    SetStatusText(0, what + " is not available in this version.");
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case kCmdConnectComPort:
        ConnectDialog(true);
        break;
    case kCmdConnect:
        ConnectDialog(false);
        break;
    case kCmdDataFileDisplay:
        if (OpenAnalysisWindow(*this) == 1)
            m_FullMenuShown = true;
        else
            NotAvailable("The data analysis window");
        break;
    case kCmdServeSeedLink:
        ToggleServeSeedLink(*this);
        break;
    case kCmdDataAnalysis:
        if (!m_FullMenuShown)
            break;
        if (OpenAnalysisWindow(*this) == 1) {
            if (m_ModelCode != 17) {
                m_AnalysisMenuWithModelItems = false;
                if (m_AnalysisWindow && m_Mdi->activeSubWindow() == m_AnalysisWindow)
                    CMenuSet::RemoveModel17Items(menuBar());
            }
        } else {
            NotAvailable("The data analysis window");
        }
        break;
    case kCmdTranslate:
        TranslateDialog();
        break;
    case kCmdExit:
        close();
        break;
    case kCmdViewToolbar:
        m_ToolBar->setVisible(!m_ToolBar->isVisible());
        break;
    case kCmdViewStatusBar:
        m_StatusBar->setVisible(m_StatusBar->isHidden());
        break;
    case kCmdHelpTopics:
        HelpTopics();
        break;
    case kCmdContextHelp:
        QWhatsThis::enterWhatsThisMode();
        break;
    case kCmdAbout:
        AboutBox();
        break;
    case kCmdPrintSetup: {
        QPageSetupDialog dialog(Printer(), this);
        dialog.exec();
        break;
    }
    case kCmdStatus:
        if (Connected() && !RefusedAsLost() && OpenStatusSheet(*this) != 1)
            NotAvailable("The Status sheet");
        break;
    case kCmdCommands:
        if (Connected() && !RefusedAsLost() && OpenCommandSheet(*this) != 1)
            NotAvailable("The Command sheet");
        break;
    case kCmdConfiguration:
        if (Connected() && !RefusedAsLost() && OpenConfigurationSheet(*this) != 1)
            NotAvailable("The Configuration sheet");
        break;
    case kCmdCalibration:
        if (Connected() && !RefusedAsLost() && OpenCalibrationSheet(*this) != 1)
            NotAvailable("The Calibration sheet");
        break;
    case kCmdInternalRecording:
        if (m_ModelCode == 17 && !RefusedAsLost() && OpenInternalRecordingSheet(*this) != 1)
            NotAvailable("The Internal Recording sheet");
        break;
    case kCmdFileUpload:
        if (m_ModelCode == 17 && !RefusedAsLost() && OpenFileUploadDialog(*this) != 1)
            NotAvailable("The File Upload dialog");
        break;
    case kCmdDaDiSPRecording:
    case kCmdCssRecording:
    case kCmdSeisanRecording:
    case kCmdMseedRecording: {
        if (!Connected() || Recording() || RefusedAsLost())
            break;
        const RecordingForm form = id == kCmdDaDiSPRecording  ? kRecordDaDiSP
                                   : id == kCmdCssRecording   ? kRecordCss
                                   : id == kCmdMseedRecording ? kRecordMseed
                                                              : kRecordSeisan;
        if (OpenRecordingSetup(*this, form) != 1)
            NotAvailable("Real time recording");
        break;
    }
    case kCmdStopRecording:
        if (Recording() && StopRealTimeRecording(*this) != 1)
            NotAvailable("Stopping the real time recording");
        break;
    case kCmdWindowCascade:
        m_Mdi->cascadeSubWindows();
        break;
    case kCmdWindowTile:
        m_Mdi->tileSubWindows();
        break;
    case kCmdWindowArrange:
        for (QMdiSubWindow* window : m_Mdi->subWindowList()) {
            if (window->isMinimized())
                window->showMinimized();
        }
        m_Mdi->tileSubWindows();
        break;
    case kCmdFileClose:
    case kCmdCopyToClipboard:
    case kCmdPrint:
    case kCmdChannelBar:
    case kCmdOffsetAdjust:
        if (RunAnalysisCommand(*this, id) != 1)
            NotAvailable("This analysis window command");
        break;
    default:
        break;
    }
    UpdateCommandUi();
}

void CMainFrame::ConnectDialog(bool fromStartupMenu) {
    if (m_ConnectDialogOpen)
        return;
    m_ConnectDialogOpen = true;
    link::CConnectDialog dialog(*this, this);
    const int result = dialog.exec();
    m_ConnectDialogOpen = false;
    if (result != QDialog::Accepted)
        return;
    (void)fromStartupMenu;
    // Both connect commands install the full menu after a connection, so that its Functions
    // popup follows the model of the recorder now connected.
    m_FullMenuShown = true;
    if (!AnalysisWindowOpen())
        InstallFullMenu();
    UpdateCommandUi();
}

void CMainFrame::TranslateDialog() {
    CTranslateDialog dialog(this);
    dialog.SetMseedOptions(MseedOptions());
    dialog.exec();
}

void CMainFrame::AboutBox() {
    CAboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::HelpTopics() {
    SetStatusText(0, "No help file is installed with this version.");
}

} // namespace nereid::shell
