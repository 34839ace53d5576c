#include "shell/menu_set.h"

#include "shell/command_ids.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QWidget>

namespace nereid::shell {

CMenuSet::CMenuSet(QWidget* owner, std::function<void(int)> onCommand)
    : QObject(owner), m_OnCommand(std::move(onCommand)) {
    Add(kCmdConnectComPort, "&Connect to COM Port...");
    Add(kCmdDataFileDisplay, "&Data File Display");
    Add(kCmdTranslate, "&Translate");
    Add(kCmdExit, "E&xit");
    Add(kCmdViewToolbar, "&Toolbar");
    Add(kCmdViewStatusBar, "&Status Bar");
    Add(kCmdHelpTopics, "&Help Topics");
    Add(kCmdAbout, "&About Nereid Utility...");
    Add(kCmdPrintSetup, "P&rint Setup...");
    // The label carries the key as the program has always shown it; the key itself is a
    // shortcut of the main window, so that F2 works with every menu installed.
    Add(kCmdConnect, "&Connect...          F2");
    Add(kCmdStatus, "&Status...");
    Add(kCmdCommands, "C&ommands...");
    Add(kCmdConfiguration, "Con&figuration...");
    Add(kCmdCalibration, "C&alibration...");
    Add(kCmdInternalRecording, "&Internal Recording...");
    Add(kCmdFileUpload, "File &Upload...");
    Add(kCmdMaintenance, "&Maintenance");
    Add(kCmdDaDiSPRecording, "DaDiSP Format...");
    Add(kCmdCssRecording, "CSS Format");
    Add(kCmdSeisanRecording, "Seisan Format");
    Add(kCmdMseedRecording, "miniSEED Format");
    Add(kCmdStopRecording, "&Stop Real Time Recording");
    Add(kCmdDataAnalysis, "&Data Analysis");
    Add(kCmdDebugWindow, "D&ebug Window");
    Add(kCmdServeSeedLink, "Serve SeedLink");
    Add(kCmdFileClose, "&Close");
    Add(kCmdCopyToClipboard, "Copy to &Clipboard");
    Add(kCmdPrint, "&Print...");
    Add(kCmdChannelBar, "&Channel Selection Bar");
    Add(kCmdOffsetAdjust, "&Offset Adjust");
    Add(kCmdWindowCascade, "&Cascade");
    Add(kCmdWindowTile, "&Tile");
    Add(kCmdWindowArrange, "&Arrange Icons");
    Add(kCmdContextHelp, "Context Help");

    m_Actions[kCmdViewToolbar]->setCheckable(true);
    m_Actions[kCmdViewStatusBar]->setCheckable(true);
    m_Actions[kCmdViewToolbar]->setChecked(true);
    m_Actions[kCmdViewStatusBar]->setChecked(true);
    m_Actions[kCmdChannelBar]->setCheckable(true);
    m_Actions[kCmdOffsetAdjust]->setCheckable(true);
    m_Actions[kCmdServeSeedLink]->setCheckable(true);
    m_Actions[kCmdExit]->setMenuRole(QAction::QuitRole);
    m_Actions[kCmdAbout]->setMenuRole(QAction::AboutRole);
    m_Actions[kCmdHelpTopics]->setShortcut(QKeySequence(Qt::Key_F1));
    m_Actions[kCmdContextHelp]->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
}

QAction* CMenuSet::Add(int id, const QString& label) {
    auto* action = new QAction(label, this);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] {
        if (m_OnCommand)
            m_OnCommand(id);
    });
    m_Actions[id] = action;
    return action;
}

QAction* CMenuSet::Action(int id) const {
    const auto it = m_Actions.find(id);
    return it == m_Actions.end() ? nullptr : it->second;
}

QMenu* CMenuSet::FileStartup(QMenuBar* bar) const {
    QMenu* file = bar->addMenu("&File");
    file->addAction(Action(kCmdConnectComPort));
    file->addAction(Action(kCmdDataFileDisplay));
    file->addAction(Action(kCmdTranslate));
    file->addSeparator();
    file->addAction(Action(kCmdExit));
    return file;
}

QMenu* CMenuSet::View(QMenuBar* bar, bool analysis) const {
    QMenu* view = bar->addMenu("&View");
    view->addAction(Action(kCmdViewToolbar));
    view->addAction(Action(kCmdViewStatusBar));
    if (analysis) {
        view->addAction(Action(kCmdChannelBar));
        view->addAction(Action(kCmdOffsetAdjust));
    }
    return view;
}

QMenu* CMenuSet::Functions(QMenuBar* bar, bool withModel17Items) const {
    QMenu* functions = bar->addMenu("F&unctions");
    functions->addAction(Action(kCmdConnect));
    functions->addSeparator();
    functions->addAction(Action(kCmdStatus));
    functions->addAction(Action(kCmdCommands));
    functions->addAction(Action(kCmdConfiguration));
    functions->addAction(Action(kCmdCalibration));
    if (withModel17Items) {
        functions->addAction(Action(kCmdInternalRecording));
        functions->addAction(Action(kCmdFileUpload));
    }
    functions->addAction(Action(kCmdMaintenance));
    functions->addSeparator();
    QMenu* recording = functions->addMenu("&Real Time Recording");
    recording->addAction(Action(kCmdDaDiSPRecording));
    recording->addAction(Action(kCmdCssRecording));
    recording->addAction(Action(kCmdSeisanRecording));
    recording->addAction(Action(kCmdMseedRecording));
    functions->addAction(Action(kCmdStopRecording));
    return functions;
}

QMenu* CMenuSet::Help(QMenuBar* bar) const {
    QMenu* help = bar->addMenu("&Help");
    help->addAction(Action(kCmdHelpTopics));
    help->addSeparator();
    help->addAction(Action(kCmdAbout));
    return help;
}

QMenuBar* CMenuSet::BuildStartupMenu() const {
    auto* bar = new QMenuBar;
    FileStartup(bar);
    View(bar, false);
    Help(bar);
    return bar;
}

QMenuBar* CMenuSet::BuildFullMenu(bool withModel17Items) const {
    auto* bar = new QMenuBar;
    QMenu* file = bar->addMenu("&File");
    file->addAction(Action(kCmdPrintSetup));
    file->addAction(Action(kCmdTranslate));
    file->addSeparator();
    file->addAction(Action(kCmdExit));
    View(bar, false);
    Functions(bar, withModel17Items);
    QMenu* operation = bar->addMenu("&Operation");
    operation->addAction(Action(kCmdDataAnalysis));
    operation->addAction(Action(kCmdDebugWindow));
    operation->addAction(Action(kCmdServeSeedLink));
    Help(bar);
    return bar;
}

QMenuBar* CMenuSet::BuildAnalysisMenu(bool withModel17Items) const {
    auto* bar = new QMenuBar;
    QMenu* file = bar->addMenu("&File");
    file->addAction(Action(kCmdFileClose));
    file->addAction(Action(kCmdCopyToClipboard));
    file->addSeparator();
    file->addAction(Action(kCmdPrint));
    file->addAction(Action(kCmdPrintSetup));
    file->addSeparator();
    file->addAction(Action(kCmdExit));
    Functions(bar, withModel17Items);
    View(bar, true);
    // The operator must reach "Data Analysis" and "Serve SeedLink" from here too.
    QMenu* operation = bar->addMenu("&Operation");
    operation->addAction(Action(kCmdDataAnalysis));
    operation->addAction(Action(kCmdDebugWindow));
    operation->addAction(Action(kCmdServeSeedLink));
    QMenu* window = bar->addMenu("&Window");
    window->addAction(Action(kCmdWindowCascade));
    window->addAction(Action(kCmdWindowTile));
    window->addAction(Action(kCmdWindowArrange));
    Help(bar);
    return bar;
}

int CMenuSet::RemoveModel17Items(QMenuBar* bar) {
    int removed = 0;
    for (QAction* top : bar->actions()) {
        QMenu* popup = top->menu();
        if (!popup || popup->actions().isEmpty())
            continue;
        if (popup->actions().first()->data().toInt() != kCmdConnect)
            continue;
        for (QAction* item : popup->actions()) {
            const int id = item->data().toInt();
            if (id == kCmdInternalRecording || id == kCmdFileUpload) {
                popup->removeAction(item);
                ++removed;
            }
        }
    }
    return removed;
}

void CMenuSet::FillToolBar(QToolBar* bar) const {
    QStyle* s = bar->style();
    const struct {
        int id;
        QIcon icon;
        const char* tip;
    } buttons[] = {
        {kCmdConnectComPort, s->standardIcon(QStyle::SP_DriveNetIcon), "Connect to COM Port"},
        {kCmdExit, s->standardIcon(QStyle::SP_DialogCloseButton), "Exit"},
        {0, {}, nullptr},
        {kCmdDataAnalysis, s->standardIcon(QStyle::SP_FileDialogContentsView), "Data Analysis"},
        {0, {}, nullptr},
        {kCmdPrint,
         QIcon::fromTheme("document-print", s->standardIcon(QStyle::SP_DialogSaveButton)), "Print"},
        {kCmdAbout, s->standardIcon(QStyle::SP_MessageBoxInformation), "About"},
        {kCmdContextHelp, s->standardIcon(QStyle::SP_TitleBarContextHelpButton), "Help"},
    };
    for (const auto& b : buttons) {
        if (b.id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = Action(b.id);
        action->setIcon(b.icon);
        action->setToolTip(b.tip);
        bar->addAction(action);
    }
    // The menus show their labels without icons, as they always have.
    for (const auto& [id, action] : m_Actions)
        action->setIconVisibleInMenu(false);
}

} // namespace nereid::shell
