// Painting of the analysis view: the plot frames, the traces and the spectra.
#include "display/ana_view.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

#include "display/model/plot_labels.h"
#include "recording/intake_state.h"

namespace nereid::display {

using model::MinMax;
using model::PlotChannel;

namespace {

QColor FromColorRef(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QColor Background(std::uint32_t code) {
    return FromColorRef(model::kColourCodes[std::min<std::uint32_t>(code, 5)]);
}

// Grid lines stand out from the background by the brightness setting (0..20).
QColor GridColour(std::uint32_t background, int brightness) {
    const QColor base = Background(background);
    const int delta = 6 + brightness * 6;
    const bool light = base.lightness() > 128;
    const auto shift = [&](int v) { return std::clamp(light ? v - delta : v + delta, 0, 255); };
    return QColor(shift(base.red()), shift(base.green()), shift(base.blue()));
}

QColor TextColour(std::uint32_t background) {
    return Background(background).lightness() > 128 ? Qt::black : Qt::white;
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Min/max strokes, one per column, clipped by the painter.
void Strokes(QPainter& painter, const QRect& plot, const std::vector<MinMax>& columns,
             const std::function<double(double)>& toY) {
    QVector<QLineF> lines;
    lines.reserve(static_cast<int>(columns.size()));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].count == 0)
            continue;
        const double x = plot.left() + static_cast<double>(c) + 0.5;
        const double y0 = toY(columns[c].max);
        const double y1 = toY(columns[c].min);
        lines.append(QLineF(x, y0, x, y1 + (y1 - y0 < 1.0 ? 1.0 : 0.0)));
    }
    painter.drawLines(lines);
}

} // namespace

void CAnaView::ComputeSpectra() {
    const SpectrumSettings& s = Spectrum();
    model::CFftPlan& plan = Plan(s.fftSize);
    const std::vector<PlotChannel*> list = Channels();
    for (std::size_t i = 0; i < list.size(); ++i) {
        PlotChannel& c = *list[i];
        if (!c.showSpectrum)
            continue;
        if (m_Source == Source::kRealTime) {
            std::size_t length = 0;
            const std::int32_t* ring = Ring(c, length);
            model::RingBlock(ring, length, c.rate, m_WindowStart, m_Span, s.fftSize, plan.Input());
        } else {
            model::FileBlock(m_Files[i]->file, m_FileStart, s.fftSize, plan.Input());
        }
        plan.Compute(c.spectrumMode, m_Work);
        std::lock_guard lock(c.lock);
        c.spectrum.swap(m_Work);
    }
}

void CAnaView::Render(QPainter& painter, QSize area) {
    ComputeSpectra();
    painter.fillRect(QRect(QPoint(0, 0), area), palette().window());
    const std::vector<Slot> placed = Layout(area);
    bool spectrumTitle = false;
    for (const Slot& slot : placed) {
        if (slot.spectrum) {
            if (!spectrumTitle) {
                painter.setPen(palette().windowText().color());
                painter.drawText(QRect(kPlotLeft, slot.band.top() - 16, 200, 16),
                                 Qt::AlignLeft | Qt::AlignVCenter, "FFT Spectrum");
                spectrumTitle = true;
            }
            PaintSpectrum(painter, slot);
        } else {
            PaintTime(painter, slot);
        }
    }
}

void CAnaView::PaintTime(QPainter& painter, const Slot& slot) {
    const PlotChannel& c = *slot.channel;
    const QRect& plot = slot.plot;
    painter.setClipping(false);
    painter.fillRect(plot, Background(m_TimeBackground));
    painter.setPen(palette().windowText().color());
    const int textHeight = 14;
    painter.drawText(QRect(2, plot.center().y() - textHeight / 2, kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, Text(c.name));
    if (plot.height() > 50) {
        painter.drawText(QRect(2, plot.top(), kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignTop, Text(model::TopLabel(c.range)));
        painter.drawText(QRect(2, plot.bottom() - textHeight, kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignBottom,
                         Text(model::BottomLabel(c.range, false)));
    }

    const double range = static_cast<double>(c.range);
    const double scale = plot.height() / (2.0 * range);
    const double zero = plot.top() + plot.height() / 2.0 + c.offset;
    const auto toY = [zero, scale](double v) { return zero - v * scale; };

    painter.setClipRect(plot);
    painter.setPen(GridColour(m_TimeBackground, m_TimeGrid));
    const double step = model::TimeGridStep(range);
    for (double v = step; v <= range; v += step) {
        painter.drawLine(QPointF(plot.left(), toY(v)), QPointF(plot.right(), toY(v)));
        painter.drawLine(QPointF(plot.left(), toY(-v)), QPointF(plot.right(), toY(-v)));
    }
    for (int k = 1; k < 10; ++k) {
        const double x = plot.left() + plot.width() * k / 10.0;
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(TextColour(m_TimeBackground));
    painter.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));

    // The samples of the window.
    const std::uint64_t count = WindowSamples(c);
    const int width = plot.width();
    painter.setPen(FromColorRef(c.colour));
    std::string startText;
    if (m_Source == Source::kRealTime) {
        std::size_t length = 0;
        const std::int32_t* ring = Ring(c, length);
        if (ring != nullptr) {
            const std::size_t start =
                static_cast<std::size_t>(m_WindowStart) * static_cast<std::size_t>(c.rate) / 100;
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, length));
            if (n > static_cast<std::size_t>(width)) {
                model::DecimateRing(ring, length, start, n, width, m_Columns);
                Strokes(painter, plot, m_Columns, toY);
            } else {
                QPolygonF line;
                for (std::size_t i = 0; i < n; ++i)
                    line << QPointF(plot.left() + static_cast<double>(i) * width / n,
                                    toY(ring[(start + i) % length]));
                painter.drawPolyline(line);
            }
        }
        if (m_Context.state != nullptr)
            startText = model::RealTimeStartLabel(
                m_Context.state->m_TimeStamps[static_cast<std::size_t>(m_WindowStart / 100) %
                                              recording::kRingRows]);
    } else if (const FileEntry* entry = File(slot.index)) {
        const std::uint64_t start = m_FileStart;
        if (count > static_cast<std::uint64_t>(width)) {
            entry->envelope.Decimate(entry->file, start, count, width, m_Columns);
            Strokes(painter, plot, m_Columns, toY);
        } else {
            const std::uint64_t n = start < entry->file.sampleCount
                                        ? std::min(count, entry->file.sampleCount - start)
                                        : 0;
            QPolygonF line;
            for (std::uint64_t i = 0; i < n; ++i)
                line << QPointF(plot.left() + static_cast<double>(i) * width / count,
                                toY(entry->file.Value(start + i)));
            painter.drawPolyline(line);
        }
        startText = model::FileStartLabel(entry->file);
    }
    painter.setClipping(false);
    painter.setPen(palette().windowText().color());
    const QRect labels(plot.left(), plot.bottom() + 1, plot.width(), 14);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, Text(startText));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter,
                     Text(model::SpanLabel(count, c.rate)));
}

void CAnaView::PaintSpectrum(QPainter& painter, const Slot& slot) {
    PlotChannel& c = *slot.channel;
    const QRect& plot = slot.plot;
    const SpectrumSettings& s = Spectrum();
    painter.setClipping(false);
    painter.fillRect(plot, Background(m_SpectrumBackground));
    painter.setPen(palette().windowText().color());
    const int textHeight = 14;
    painter.drawText(QRect(2, plot.center().y() - textHeight / 2, kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, Text(c.name));
    if (plot.height() > 50) {
        painter.drawText(QRect(2, plot.top(), kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignTop, Text(model::TopLabel(c.spectrumRange)));
        painter.drawText(QRect(2, plot.bottom() - textHeight, kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignBottom, "0");
    }
    const double range = static_cast<double>(c.spectrumRange);
    const auto toY = [&](double v) { return plot.bottom() - v * plot.height() / range; };
    painter.setClipRect(plot);
    painter.setPen(GridColour(m_SpectrumBackground, m_SpectrumGrid));
    const double step = model::SpectrumGridStep(range);
    for (double v = step; v < range; v += step)
        painter.drawLine(QPointF(plot.left(), toY(v)), QPointF(plot.right(), toY(v)));

    const int bins =
        std::min(model::kBinsShown[static_cast<std::size_t>(s.binsIndex)], s.fftSize / 2 - 1);
    const int width = plot.width();
    painter.setPen(FromColorRef(c.spectrumColour));
    {
        std::lock_guard lock(c.lock);
        const auto value = [&](int bin) {
            return bin < static_cast<int>(c.spectrum.size())
                       ? static_cast<double>(c.spectrum[static_cast<std::size_t>(bin)])
                       : 0.0;
        };
        if (bins > width) {
            m_Columns.assign(static_cast<std::size_t>(width), MinMax{});
            for (int k = 0; k < bins; ++k)
                m_Columns[static_cast<std::size_t>(k * width / bins)].Add(value(s.firstBin + k));
            Strokes(painter, plot, m_Columns, toY);
        } else {
            QPolygonF line;
            for (int k = 0; k < bins; ++k)
                line << QPointF(plot.left() + static_cast<double>(k) * width / bins,
                                toY(value(s.firstBin + k)));
            painter.drawPolyline(line);
        }
    }
    painter.setClipping(false);
    painter.setPen(palette().windowText().color());
    const QRect labels(plot.left(), plot.bottom() + 1, plot.width(), 14);
    const auto hertz = [&](int bin) {
        return Text(model::FrequencyLabel(
            static_cast<long>(static_cast<double>(bin) * c.rate / s.fftSize)));
    };
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, hertz(s.firstBin));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, hertz(s.firstBin + bins) + " Hz");
}

} // namespace nereid::display
