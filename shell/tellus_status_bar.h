#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace nereid::shell {

// The main window's status bar with its two layouts. Not connected: 0 message line,
// 1 connection text, 2 CAP, 3 NUM, 4 SCRL. Connected: 0 message line, 1 state pane (100 px),
// 2 connection text, 3 CAP, 4 NUM, 5 SCRL. The recording progress bar covers the state pane.
class CTellusStatusBar : public QStatusBar {
public:
    static constexpr int kStatePaneWidth = 100; // pixels

    explicit CTellusStatusBar(QWidget* parent = nullptr);

    // Switches the layout. The state pane is emptied, the connection text kept; leaving the
    // connected layout shows "Connected: None" in pane 1.
    void SetConnectedLayout(bool connected);
    bool ConnectedLayout() const { return m_Connected; }
    int PaneCount() const { return m_Connected ? 6 : 5; }
    // Sets a pane's text; a pane outside the current layout is ignored. Returns 1 or 0.
    int SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    // Pane index of the connection text in the current layout.
    int ConnectionPane() const { return m_Connected ? 2 : 1; }

    // Shows `text` in the state pane of the connected layout and keeps it there: acquisition
    // texts for that pane are not shown until ReleaseStatePane (or a layout switch).
    void HoldStatePane(const QString& text);
    void ReleaseStatePane();
    bool StatePaneHeld() const { return m_StateHeld; }

    void ShowRecordingProgress(bool show);
    // Shows "Recording to <folder>" beside the state pane while a recording runs; an empty
    // folder removes it.
    void SetRecordingDestination(const QString& folder);
    QString RecordingDestinationText() const;
    void SetRecordingProgress(int percent);
    bool RecordingProgressShown() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* Pane(int pane) const;
    void PlaceProgress();

    QLabel* m_Message;
    QLabel* m_State;
    QLabel* m_Connection;
    QLabel* m_Cap;
    QLabel* m_Num;
    QLabel* m_Scrl;
    QProgressBar* m_Progress;
    QLabel* m_Destination;
    bool m_Connected = false;
    bool m_StateHeld = false;
};

} // namespace nereid::shell
