// The analysis view's placing of plots and scroll bars, its real-time window on the rings,
// and the pointer: read-outs, offset picks and the divider.
#include "display/ana_view.h"

#include <algorithm>

#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

#include "display/model/plot_labels.h"
#include "display/model/time_axis.h"
#include "recording/channel_table.h"
#include "recording/intake_state.h"

namespace nereid::display {

using model::PlotChannel;

void CAnaView::PaneHeights(QSize area, int& timeHeight, int& spectrumHeight) const {
    int spectra = 0;
    for (const PlotChannel* c : Channels())
        spectra += c->showSpectrum ? 1 : 0;
    const int height = area.height() - kScrollHeight * (spectra > 0 ? 2 : 1);
    timeHeight =
        spectra > 0 ? model::TimePaneHeight(height, m_SpectrumShare, m_Divider, kMinBand) : height;
    spectrumHeight = height - timeHeight;
}

std::vector<CAnaView::Slot> CAnaView::Layout(QSize area) const {
    std::vector<Slot> placed;
    const std::vector<PlotChannel*> list = Channels();
    int timeHeight = 0, spectrumHeight = 0;
    PaneHeights(area, timeHeight, spectrumHeight);
    const int width = area.width() - kVScrollWidth;
    const auto place = [&](int top, int bandHeight, int i, bool spectrum) {
        Slot slot;
        slot.channel = list[static_cast<std::size_t>(i)];
        slot.index = i;
        slot.spectrum = spectrum;
        slot.band = QRect(0, top, width, bandHeight);
        slot.plot = QRect(kPlotLeft, top + 6, std::max(1, width - kPlotLeft - kPlotRight),
                          std::max(1, bandHeight - 22));
        placed.push_back(slot);
    };
    // One pane: the bands share its height down to kMinBand each; beyond that the stack
    // scrolls by whole bands, from the first band (position 0) to the last (200).
    const auto stack = [&](int top, int height, bool spectrum, int position) {
        std::vector<int> shown;
        for (int i = 0; i < static_cast<int>(list.size()); ++i) {
            const PlotChannel* c = list[static_cast<std::size_t>(i)];
            if (spectrum ? c->showSpectrum : c->showTime)
                shown.push_back(i);
        }
        if (shown.empty() || height <= 0)
            return;
        const int total = static_cast<int>(shown.size());
        const int fitting = std::clamp(height / kMinBand, 1, total);
        const int first = (total - fitting) * position / 200;
        const int band = height / fitting;
        for (int k = 0; k < fitting; ++k)
            place(top + k * band, band, shown[static_cast<std::size_t>(first + k)], spectrum);
    };
    stack(0, timeHeight, false, m_TimeStack->value());
    const int title = 16; // "FFT Spectrum"
    stack(timeHeight + kScrollHeight + title, spectrumHeight - title, true,
          m_SpectrumStack->value());
    return placed;
}

void CAnaView::PlaceScrollBars() {
    int timeHeight = 0, spectrumHeight = 0;
    PaneHeights(size(), timeHeight, spectrumHeight);
    const int plotsWidth = width() - kVScrollWidth;
    m_TimeScroll->setGeometry(kPlotLeft, timeHeight, plotsWidth - kPlotLeft - kPlotRight,
                              kScrollHeight);
    m_TimeStack->setGeometry(plotsWidth, 0, kVScrollWidth, std::max(timeHeight, 1));
    const bool spectra = spectrumHeight > 0;
    m_SpectrumScroll->setVisible(spectra);
    m_SpectrumStack->setVisible(spectra);
    m_SpectrumScroll->setGeometry(kPlotLeft, size().height() - kScrollHeight,
                                  plotsWidth - kPlotLeft - kPlotRight, kScrollHeight);
    m_SpectrumStack->setGeometry(plotsWidth, timeHeight + kScrollHeight, kVScrollWidth,
                                 std::max(spectrumHeight, 1));
}

void CAnaView::ShowCoordinate(QScrollBar* bar) {
    m_Coordinate->setText(QString::number(bar->value()));
    m_Coordinate->adjustSize();
    const QPoint beside = bar->mapToGlobal(QPoint(-m_Coordinate->width() - 2, 0));
    const int thumb = bar->height() * bar->value() / std::max(bar->maximum(), 1);
    m_Coordinate->move(beside.x(), beside.y() + std::clamp(thumb, 0, bar->height() - 20));
    m_Coordinate->show();
}

model::RingView CAnaView::RingOf(const PlotChannel& channel) const {
    if (m_Frozen) {
        const auto it = m_FrozenRings.find(channel.number);
        return it == m_FrozenRings.end() ? model::RingView{} : it->second.View();
    }
    if (m_Context.channels == nullptr)
        return {};
    const recording::RtChannel* rt = m_Context.channels->Find(channel.number);
    return rt == nullptr ? model::RingView{} : model::RingView::Of(*rt);
}

void CAnaView::SetWindowStartTime(std::uint64_t hundredths) {
    m_WindowStartTime = hundredths;
    update();
}

bool CAnaView::FollowNewest() {
    if (m_Context.state == nullptr)
        return false;
    const std::uint64_t newest = m_Context.state->m_LastSecond.load();
    if (newest == 0)
        return false;
    const auto span = static_cast<std::uint64_t>(m_Span);
    SetWindowStartTime(newest * 100 > span ? newest * 100 - span : 0);
    return true;
}

void CAnaView::Freeze() {
    m_FrozenRings.clear();
    if (m_Context.channels != nullptr) {
        for (const auto& [number, rt] : m_Context.channels->m_ChanMap)
            m_FrozenRings[number].Take(rt);
    }
    m_Frozen = true;
    // The window moves to the newest second the rings hold, which may be a second past the
    // last tick's: the right end of the scroll bar is then the picture the freeze shows.
    std::uint32_t oldest = 0, newest = 0;
    if (HeldSeconds(oldest, newest))
        m_WindowStartTime = model::FrozenWindowStartAt(200, oldest, newest, m_Span);
    update();
}

void CAnaView::Thaw() {
    m_Frozen = false;
    m_FrozenRings.clear();
    update();
}

bool CAnaView::HeldSeconds(std::uint32_t& oldest, std::uint32_t& newest) const {
    bool any = false;
    for (const auto& channel : m_RealTime) {
        std::uint32_t from = 0, to = 0;
        if (!model::HeldSeconds(RingOf(*channel), from, to))
            continue;
        oldest = any ? std::min(oldest, from) : from;
        newest = any ? std::max(newest, to) : to;
        any = true;
    }
    return any;
}

void CAnaView::ScrollFrozen(int position) {
    std::uint32_t oldest = 0, newest = 0;
    if (!m_Frozen || !HeldSeconds(oldest, newest))
        return;
    SetWindowStartTime(model::FrozenWindowStartAt(position, oldest, newest, m_Span));
}

void CAnaView::mouseMoveEvent(QMouseEvent* event) {
    if (!onReadout)
        return;
    const QPoint p = event->position().toPoint();
    for (const Slot& slot : Layout(size())) {
        if (!slot.plot.contains(p))
            continue;
        const PlotChannel& c = *slot.channel;
        const int column = p.x() - slot.plot.left();
        const int width = slot.plot.width();
        if (slot.spectrum) {
            const SpectrumSettings& s = Spectrum();
            const int bins = model::kBinsShown[static_cast<std::size_t>(s.binsIndex)];
            const int bin = std::min(column * bins / width + s.firstBin, s.fftSize / 2 - 1);
            float value = 0.0f;
            {
                std::lock_guard lock(slot.channel->lock);
                if (bin < static_cast<int>(slot.channel->spectrum.size()))
                    value = slot.channel->spectrum[static_cast<std::size_t>(bin)];
            }
            onReadout(QString::fromStdString(
                          model::ReadoutText(static_cast<double>(bin) / s.fftSize * c.rate)),
                      QString::fromStdString(model::ReadoutText(value)));
            return;
        }
        if (m_Source == Source::kRealTime) {
            // The recorder's time under the pointer, and the sample of that time when the ring
            // holds it (nothing over a gap).
            const std::uint64_t ms =
                m_WindowStartTime * 10 + static_cast<std::uint64_t>(column) * m_Span * 10 / width;
            const model::RingView ring = RingOf(c);
            QString y;
            if (ring.Valid()) {
                const std::uint64_t a = ms * static_cast<std::uint64_t>(ring.rate) / 1000;
                const std::uint64_t second = a / static_cast<std::uint64_t>(ring.rate);
                const int row = model::RowOf(ring, static_cast<std::uint32_t>(second));
                if (row >= 0 && ring.rowGap[row] == 0)
                    y = QString::fromStdString(model::ReadoutText(
                        ring.samples[static_cast<std::size_t>(row) * ring.rate +
                                     a % static_cast<std::uint64_t>(ring.rate)]));
            }
            onReadout(QString::fromStdString(model::ClockReadout(ms)), y);
        } else {
            const FileEntry* entry = File(slot.index);
            const std::uint64_t index =
                m_FileStart + static_cast<std::uint64_t>(column) * WindowSamples(c) / width;
            double value = 0.0;
            if (entry != nullptr && index < entry->file.sampleCount)
                value = entry->file.Value(index);
            onReadout(QString::fromStdString(model::ReadoutText(static_cast<double>(index))),
                      QString::fromStdString(model::ReadoutText(value)));
        }
        return;
    }
}

void CAnaView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    int timeHeight = 0, spectrumHeight = 0;
    PaneHeights(size(), timeHeight, spectrumHeight);
    // The "FFT Spectrum" title strip is the divider's handle.
    const int strip = timeHeight + kScrollHeight;
    if (spectrumHeight > 0 && p.y() >= strip && p.y() < strip + 16) {
        m_DraggingDivider = true;
        setCursor(Qt::SplitVCursor);
        return;
    }
    if (!m_OffsetAdjust)
        return;
    for (const Slot& slot : Layout(size())) {
        if (slot.spectrum || !slot.band.contains(p))
            continue;
        slot.channel->offset = p.y() - slot.plot.center().y();
        if (onOffsetPicked)
            onOffsetPicked(slot.index);
        update();
        return;
    }
}

void CAnaView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_DraggingDivider)
        return;
    m_DraggingDivider = false;
    setCursor(m_OffsetAdjust ? Qt::CrossCursor : Qt::ArrowCursor);
    const int height = size().height() - 2 * kScrollHeight;
    const int divider = std::clamp(event->position().toPoint().y(), kMinBand, height - kMinBand);
    if (height < 2 * kMinBand)
        return;
    m_Divider = divider == model::kInitialDivider ? divider + 1 : divider;
    m_SpectrumShare = model::ShareOfDivider(height, m_Divider);
    PlaceScrollBars();
    update();
}

} // namespace nereid::display
