#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <QImage>
#include <QWidget>

#include "display/analysis_context.h"
#include "display/model/decimation.h"
#include "display/model/plot_channel.h"
#include "display/model/ring_window.h"
#include "display/model/spectrum.h"
#include "display/model/tables.h"
#include "recording/file_channel.h"

class QLabel;
class QMenu;
class QPainter;
class QPrinter;
class QScrollBar;

namespace nereid::display {

namespace model {
struct AnalysisLayout;
}

// The plots of the analysis window: one band per shown time waveform, and below the divider
// one band per shown spectrum, each in the common frame (name and amplitude labels in the
// left margin, grid, time or frequency labels). Paints only from what the window set; the
// window's timer decides when.
class CAnaView : public QWidget {
public:
    static constexpr int kPlotLeft = 62;  // pixels from the left edge to the plot area
    static constexpr int kPlotRight = 12; // pixels left free at the right
    static constexpr int kScrollHeight = 16;
    static constexpr int kVScrollWidth = 16; // the vertical scroll bars at the right
    // Below this band height the stack scrolls instead of shrinking: the amplitude labels need
    // a plot of more than 50 pixels.
    static constexpr int kMinBand = 84;

    enum class Source { kRealTime, kFile };
    // One placed plot.
    struct Slot {
        model::PlotChannel* channel = nullptr;
        int index = 0; // in the channel list
        bool spectrum = false;
        QRect band; // the whole band of the plot
        QRect plot; // the plot rectangle inside it
    };
    // A shown file with its envelope.
    struct FileEntry {
        recording::FileChannel file;
        model::CEnvelopePyramid envelope;
    };
    struct SpectrumSettings {
        int fftSize = model::kDefaultFftSize;
        int binsIndex = model::ReduceBinsIndex(model::kDefaultBinsIndex, model::kDefaultFftSize);
        int firstBin = 0;
        int scroll = 0;
    };

    CAnaView(const AnalysisContext& context, QWidget* parent = nullptr);
    ~CAnaView() override;

    Source CurrentSource() const { return m_Source; }
    // Switches the plotted list; the spectrum settings of each source are kept apart.
    void SetSource(Source source);

    // The current channel list (real-time channels or opened files).
    std::vector<model::PlotChannel*> Channels() const;
    model::PlotChannel* Channel(int index) const;
    // Real-time list from the channel table; kept as it is while the table's channels and
    // rates are unchanged. Returns true when it was rebuilt.
    bool SyncRealTimeChannels();

    // Opens one file through the readers; shows their message on failure. Returns the number
    // of channels added (a SEISAN file may add several).
    int OpenFile(const QString& path);
    void RemoveFile(int index);
    const FileEntry* File(int index) const;

    // Real-time window: start in hundredths within the ring, span from the time range.
    void SetTimeRangeIndex(int index);
    int TimeRangeIndex() const { return m_TimeRangeIndex; }
    int SpanHundredths() const { return m_Span; }
    // The real-time window's start in hundredths since 1970, by the recorder's clock.
    void SetWindowStartTime(std::uint64_t hundredths);
    std::uint64_t WindowStartTime() const { return m_WindowStartTime; }
    // Places the window so that it ends where the newest second starts (by then every channel
    // has delivered the seconds before it). False while no second has arrived.
    bool FollowNewest();
    // A frozen display reads copies of the rings taken here, so that a recording which keeps
    // filling the live rings does not move it.
    void Freeze();
    void Thaw();
    bool Frozen() const { return m_Frozen; }
    // Moves a frozen window: 0 shows the oldest second held, 200 where it stood at freezing.
    void ScrollFrozen(int position);
    // Oldest and newest second held by the real-time channels.
    bool HeldSeconds(std::uint32_t& oldest, std::uint32_t& newest) const;
    model::RingView RingOf(const model::PlotChannel& channel) const;
    // File window: the first sample shown and the zoom-out steps of "ViewScale".
    void SetFileStart(std::uint64_t sample);
    std::uint64_t FileStart() const { return m_FileStart; }
    void SetViewScale(int steps);
    // Samples shown of a channel in the current window.
    std::uint64_t WindowSamples(const model::PlotChannel& channel) const;
    std::uint64_t LongestFile() const;

    SpectrumSettings& Spectrum() {
        return m_Source == Source::kFile ? m_FileSpectrum : m_RtSpectrum;
    }
    // N for all channels: the bins shown are reduced to N / 2, the first bin returns to 0.
    void SetFftSize(int n);
    void SetBinsIndex(int index);
    void SetSpectrumScroll(int position);

    void SetBackgrounds(std::uint32_t time, std::uint32_t spectrum);
    void SetGrid(int time, int spectrum);
    std::uint32_t TimeBackground() const { return m_TimeBackground; }
    std::uint32_t SpectrumBackground() const { return m_SpectrumBackground; }
    bool OffsetAdjust() const { return m_OffsetAdjust; }
    void SetOffsetAdjust(bool on);

    // The layout file: applies a read layout to the current list, and describes it.
    void ApplyLayout(const model::AnalysisLayout& layout);
    void FillLayout(model::AnalysisLayout& layout) const;

    // Where each shown plot goes in an area of `size`.
    std::vector<Slot> Layout(QSize size) const;
    // Paints everything into `painter` over `size`: recomputes the shown spectra first.
    void Render(QPainter& painter, QSize size);
    QImage RenderImage(QSize size);
    // The plot area as on the clipboard: the view without its left 70, right 17 and bottom 25
    // pixels.
    QImage PlotAreaImage();
    void Print(QPrinter& printer);

    // The context menu of a plot ("1" for time, "2" for spectra), or null off the plots.
    // The view keeps the menu until the next call.
    QMenu* ContextMenuAt(QPoint position);

    // Read-outs of the pointer ("X-VALUE", "Y-VALUE") and the channel picked by a click.
    std::function<void(const QString& x, const QString& y)> onReadout;
    std::function<void(int index)> onOffsetPicked;
    std::function<void()> onChanged; // a range, colour or mode changed from a menu

    QScrollBar* TimeScroll() const { return m_TimeScroll; }
    QScrollBar* SpectrumScroll() const { return m_SpectrumScroll; }
    // Beside the time plots and beside the spectra: 0..200 in steps of 4, moving the stack.
    QScrollBar* TimeStackScroll() const { return m_TimeStack; }
    QScrollBar* SpectrumStackScroll() const { return m_SpectrumStack; }
    // "X Cordinate Display": the stack position while a thumb is dragged.
    QLabel* CoordinateDisplay() const { return m_Coordinate; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Heights of the time pane and of the spectrum pane (title included) in an area.
    void PaneHeights(QSize area, int& timeHeight, int& spectrumHeight) const;
    void PlaceScrollBars();
    void ShowCoordinate(QScrollBar* bar);
    void ComputeSpectra();
    void PaintTime(QPainter& painter, const Slot& slot);
    void PaintSpectrum(QPainter& painter, const Slot& slot);
    void StoreProfile(const model::PlotChannel& channel);
    model::CFftPlan& Plan(int n);
    void ShowFileInfo(const model::PlotChannel& channel);

    AnalysisContext m_Context;
    Source m_Source = Source::kRealTime;
    std::vector<std::unique_ptr<model::PlotChannel>> m_RealTime;
    std::vector<std::unique_ptr<model::PlotChannel>> m_FileChannels;
    std::vector<std::unique_ptr<FileEntry>> m_Files; // parallel to m_FileChannels
    std::vector<std::pair<int, int>> m_RealTimeKey;  // channel numbers and rates listed

    int m_TimeRangeIndex = model::kDefaultTimeRangeIndex;
    int m_Span = model::kDefaultSpanHundredths;
    std::uint64_t m_WindowStartTime = 0;
    bool m_Frozen = false;
    std::map<int, model::RingCopy> m_FrozenRings; // by channel number
    std::uint64_t m_FileStart = 0;
    int m_ViewScale = 0;
    SpectrumSettings m_RtSpectrum, m_FileSpectrum;
    std::uint32_t m_TimeBackground = 0, m_SpectrumBackground = 0;
    int m_TimeGrid = 8, m_SpectrumGrid = 8;
    float m_SpectrumShare = 0.5f;
    int m_Divider = 60;
    bool m_OffsetAdjust = false;

    std::map<int, std::unique_ptr<model::CFftPlan>> m_Plans;
    std::vector<float> m_Work;
    std::vector<model::MinMax> m_Columns;
    std::vector<std::uint8_t> m_Gaps;
    std::unique_ptr<QMenu> m_Menu;
    QScrollBar* m_TimeScroll;
    QScrollBar* m_SpectrumScroll;
    QScrollBar* m_TimeStack;
    QScrollBar* m_SpectrumStack;
    QLabel* m_Coordinate;
    bool m_DraggingDivider = false;
};

} // namespace nereid::display
