#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "display/analysis_context.h"

class QMdiArea;
class QMdiSubWindow;

namespace nereid::display {

class CAnaControlBar;
class CAnaView;
class CChannelBar;

// Texts of the analysis window, used exactly as written.
inline constexpr const char* kRealTimeTitle = "Real Time Display";
inline constexpr const char* kFileTitle = "Data File Display";
inline constexpr const char* kStopRecordingFirstText =
    "You must stop Recording before stopping RTdisplay  ";
inline constexpr const char* kQuitFileDisplayText =
    "Are you sure to quit file display and enter into real time display";
inline constexpr const char* kRemoveFileText = "Are you sure to remove this file from display";
inline constexpr const char* kOpenTimeFirstText =
    "Please open time waveform of this channel before  opening FFT Spectrum";
inline constexpr const char* kVireoCaption = "Vireo File Display";
inline constexpr const char* kSelectFileTitle = "Please Select Data File";

// The analysis window: control bar, plots and the floating channel bar, over the real-time
// rings ("Real Time Display") or opened files ("Data File Display").
class CAnaWnd : public QWidget {
public:
    static constexpr int kTickMs = 200;

    explicit CAnaWnd(const AnalysisContext& context, QWidget* parent = nullptr);
    // Writes the layout file when the channel list is not empty; leaves intake on.
    ~CAnaWnd() override;

    CAnaView* View() const { return m_View; }
    CAnaControlBar* ControlBar() const { return m_Control; }
    CChannelBar* ChannelBar() const { return m_ChannelBar; }
    bool RealTimeRunning() const { return m_Timer.isActive(); }
    bool FileDisplay() const;
    bool SpectrumMode() const { return m_SpectrumMode; }

    // "RealTime" / "Stop".
    void ToggleRealTime();
    // One 200 ms tick: redraws when the newest ring row changed. Returns true when it did.
    bool Tick();
    // "FromFile" / "CLOSE".
    void ToggleFileDisplay();
    // A channel bar button: toggles the channel's plot in the current mode (or removes it
    // when "Remove" was armed).
    void ChannelClicked(int index);
    void ToggleMode();
    void ArmRemove() { m_RemoveArmed = true; }
    // "Open File": the dialog, then OpenFiles.
    void OpenFileDialog();
    int OpenFiles(const QStringList& paths);

    // The window's menu commands.
    void CopyToClipboard();
    void PrintPlots();
    // Prints into a PDF file; returns true when written.
    bool PrintToPdf(const QString& path);
    void ToggleChannelBar();
    // The View menu's check mark follows this, also when the bar was closed by its own button.
    bool ChannelBarShown() const;
    void ToggleOffsetAdjust();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ConnectControls();
    // Stops the timer and freezes the plots on copies of the rings.
    void FreezeDisplay();
    void RebuildChannelBar();
    void RefreshChannelBox();
    void SetTitle(const QString& title);
    void ReadLayout();

    AnalysisContext m_Context;
    CAnaControlBar* m_Control;
    CAnaView* m_View;
    CChannelBar* m_ChannelBar;
    QTimer m_Timer;
    int m_Ticks = 0;
    int m_LastCurIndex = -1;
    std::uint32_t m_LastSecond = 0;
    bool m_SpectrumMode = false;
    bool m_RemoveArmed = false;
    bool m_LayoutRead = false;
    bool m_ChannelBarPlaced = false;
};

// Creates the window in `area` (or shows the one already there) and returns its sub-window.
QMdiSubWindow* OpenAnalysisWindow(QMdiArea* area, const AnalysisContext& context);
// The analysis window of a sub-window, or null.
CAnaWnd* AnalysisWindowOf(QMdiSubWindow* window);

} // namespace nereid::display
