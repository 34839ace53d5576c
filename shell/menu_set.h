#pragma once

#include <functional>
#include <map>

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace nereid::shell {

// The program's commands as actions, and the three menus built from them: the start-up menu,
// the full menu and the analysis window's menu. One action per command is shared by every
// menu and the toolbar, so that enabling it once shows everywhere.
class CMenuSet : public QObject {
public:
    // `onCommand` runs with the command number whenever an action is triggered.
    CMenuSet(QWidget* owner, std::function<void(int)> onCommand);

    // The action of a command number; nullptr for an unknown number.
    QAction* Action(int id) const;
    const std::map<int, QAction*>& Actions() const { return m_Actions; }

    // New menu bars; setMenuBar of the main window takes them over. Without the model-17
    // items the Functions popup lacks "&Internal Recording..." and "File &Upload...".
    QMenuBar* BuildStartupMenu() const;
    QMenuBar* BuildFullMenu(bool withModel17Items) const;
    QMenuBar* BuildAnalysisMenu(bool withModel17Items) const;

    // Removes the two model-17 items from the Functions popup of a menu bar: the popup whose
    // first item is command 156. Returns the number of items removed.
    static int RemoveModel17Items(QMenuBar* bar);

    // Puts the toolbar's commands on `bar` with their icons and tips: connect, exit, data
    // analysis, print, about, help. The menus keep showing their labels without icons.
    void FillToolBar(QToolBar* bar) const;

private:
    QAction* Add(int id, const QString& label);
    QMenu* FileStartup(QMenuBar* bar) const;
    QMenu* Functions(QMenuBar* bar, bool withModel17Items) const;
    QMenu* View(QMenuBar* bar, bool analysis) const;
    QMenu* Help(QMenuBar* bar) const;

    std::map<int, QAction*> m_Actions;
    std::function<void(int)> m_OnCommand;
};

} // namespace nereid::shell
