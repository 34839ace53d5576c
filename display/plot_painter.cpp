// Painting of the analysis view: the plot frames, the traces and the spectra.
#include "display/ana_view.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

#include "display/model/auto_range.h"
#include "display/model/plot_labels.h"
#include "display/model/time_axis.h"
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

// Marks samples beyond the range: they are drawn at the band's edge, and this bar on the edge
// tells them from samples that merely reach it.
const QColor kClipColour(255, 64, 0);
const QColor kGapColour(160, 160, 160);

// Min/max strokes, one per column, held inside the plot: a sample beyond the range is drawn at
// the edge and the column gets a clip mark there. Returns the number of clipped columns.
int Strokes(QPainter& painter, const QRect& plot, const std::vector<MinMax>& columns,
            const std::function<double(double)>& toY) {
    QVector<QLineF> lines;
    QVector<QLineF> clips;
    lines.reserve(static_cast<int>(columns.size()));
    const double top = plot.top();
    const double bottom = plot.bottom();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].count == 0)
            continue;
        const double x = plot.left() + static_cast<double>(c) + 0.5;
        double y0 = toY(columns[c].max);
        double y1 = toY(columns[c].min);
        if (y0 < top) {
            clips.append(QLineF(x, top, x, top + 3));
            y0 = top;
        }
        if (y1 > bottom) {
            clips.append(QLineF(x, bottom - 3, x, bottom));
            y1 = bottom;
        }
        y0 = std::min(y0, bottom);
        y1 = std::max(y1, top);
        lines.append(QLineF(x, y0, x, y1 + (y1 - y0 < 1.0 ? 1.0 : 0.0)));
    }
    painter.drawLines(lines);
    if (!clips.isEmpty()) {
        const QPen pen = painter.pen();
        painter.setPen(kClipColour);
        painter.drawLines(clips);
        painter.setPen(pen);
    }
    return static_cast<int>(clips.size());
}

// Polylines through one sample per column, broken where columns are empty (gaps, seconds not
// held), held inside the plot with clip marks as above.
int Polyline(QPainter& painter, const QRect& plot, const std::vector<MinMax>& columns,
             const std::function<double(double)>& toY) {
    const double top = plot.top();
    const double bottom = plot.bottom();
    const double step =
        static_cast<double>(plot.width()) / std::max<std::size_t>(columns.size(), 1);
    QVector<QLineF> clips;
    QPolygonF line;
    const auto flush = [&] {
        if (line.size() == 1)
            painter.drawPoint(line.front());
        else if (line.size() > 1)
            painter.drawPolyline(line);
        line.clear();
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].count == 0) {
            flush();
            continue;
        }
        const double x = plot.left() + static_cast<double>(c) * step;
        double y = toY(columns[c].max);
        if (y < top || y > bottom) {
            y = std::clamp(y, top, bottom);
            clips.append(QLineF(x - 1, y, x + 1, y));
        }
        line << QPointF(x, y);
    }
    flush();
    if (!clips.isEmpty()) {
        const QPen pen = painter.pen();
        painter.setPen(QPen(kClipColour, 3));
        painter.drawLines(clips);
        painter.setPen(pen);
    }
    return static_cast<int>(clips.size());
}

// Hatches the columns of rows filled for missing seconds: a gap is shown as such, never as a
// flat line.
void HatchGaps(QPainter& painter, const QRect& plot, const std::vector<std::uint8_t>& gaps) {
    const double step = static_cast<double>(plot.width()) / std::max<std::size_t>(gaps.size(), 1);
    std::size_t c = 0;
    while (c < gaps.size()) {
        if (gaps[c] == 0) {
            ++c;
            continue;
        }
        std::size_t end = c;
        while (end < gaps.size() && gaps[end] != 0)
            ++end;
        const QRectF area(plot.left() + static_cast<double>(c) * step, plot.top(),
                          static_cast<double>(end - c) * step, plot.height());
        painter.fillRect(area, QBrush(kGapColour, Qt::BDiagPattern));
        c = end;
    }
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
            // The block ends where the window ends, read by the recorder's seconds.
            const model::RingView ring = RingOf(c);
            const std::uint64_t end = (m_WindowStartTime + static_cast<std::uint64_t>(m_Span)) *
                                      static_cast<std::uint64_t>(std::max(ring.rate, 1)) / 100;
            c.blockMissing = model::SecondsBlock(ring, end, s.fftSize, plan.Input());
        } else {
            model::FileBlock(m_Files[i]->file, m_FileStart, s.fftSize, plan.Input());
            c.blockMissing = 0;
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
    PlotChannel& c = *slot.channel;
    const QRect& plot = slot.plot;
    const std::uint64_t count = WindowSamples(c);
    const int width = plot.width();
    // Columns first: a fitted range needs the window's extremes before anything is drawn.
    const int columns = count > static_cast<std::uint64_t>(width) ? width : static_cast<int>(count);
    std::uint64_t startMs = 0;    // time of the window's left edge
    std::uint64_t firstMs = 0;    // time of the first drawn sample
    std::uint64_t drawnCount = 0; // samples drawn
    std::string startText;
    m_Gaps.clear();
    if (m_Source == Source::kRealTime) {
        const model::RingView ring = RingOf(c);
        const auto rate = static_cast<std::uint64_t>(std::max(ring.rate, 1));
        const std::uint64_t first = m_WindowStartTime * rate / 100;
        model::WindowSummary summary;
        model::DecimateSeconds(ring, first, count, columns, m_Columns, &m_Gaps, summary);
        startMs = m_WindowStartTime * 10;
        drawnCount = summary.drawn;
        c.drawn.gapSamples = summary.gapSamples;
        if (summary.drawn > 0) {
            firstMs = summary.firstDrawn * 1000 / rate;
            startText = model::RealTimeStart(firstMs);
        }
    } else if (const FileEntry* entry = File(slot.index)) {
        const std::uint64_t start = m_FileStart;
        entry->envelope.Decimate(entry->file, start, count, columns, m_Columns);
        startText = model::FileStartLabel(entry->file);
        const auto rate = static_cast<std::uint64_t>(std::max(entry->file.rate, 1));
        startMs = static_cast<std::uint64_t>(entry->file.startSecond) * 1000 +
                  static_cast<std::uint64_t>(entry->file.fraction * 1000.0 + 0.5) +
                  start * 1000 / rate;
        firstMs = startMs;
        drawnCount =
            start < entry->file.sampleCount ? std::min(count, entry->file.sampleCount - start) : 0;
        c.drawn.gapSamples = 0;
    } else {
        m_Columns.assign(static_cast<std::size_t>(std::max(columns, 0)), MinMax{});
    }
    double peak = 0.0;
    for (const MinMax& m : m_Columns) {
        if (m.count != 0)
            peak = std::max({peak, std::fabs(m.min), std::fabs(m.max)});
    }
    const double range = c.autoRange ? c.timeFit.Fit(peak, drawnCount > 0)
                                     : static_cast<double>(std::max<std::uint32_t>(c.range, 1));

    painter.setClipping(false);
    painter.fillRect(plot, Background(m_TimeBackground));
    painter.setPen(palette().windowText().color());
    const int textHeight = 14;
    painter.drawText(QRect(2, plot.center().y() - textHeight, kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, Text(c.name));
    painter.drawText(QRect(2, plot.center().y(), kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, c.autoRange ? "counts A" : "counts");
    if (plot.height() > 50) {
        const std::string top = c.autoRange ? model::FittedLabel(range) : model::TopLabel(c.range);
        const std::string bottom =
            c.autoRange ? model::FittedLabel(range, true) : model::BottomLabel(c.range, false);
        painter.drawText(QRect(2, plot.top(), kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignTop, Text(top));
        painter.drawText(QRect(2, plot.bottom() - textHeight, kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignBottom, Text(bottom));
    }

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
    const std::uint64_t spanMs = count * 1000 / static_cast<std::uint64_t>(std::max(c.rate, 1));
    const std::vector<model::TimeTick> ticks =
        model::TimeTicks(startMs, spanMs, width, 110, drawnCount > 0 ? firstMs : ~0ull);
    for (const model::TimeTick& tick : ticks) {
        const double x = plot.left() + tick.fraction * width;
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    HatchGaps(painter, plot, m_Gaps);
    painter.setPen(TextColour(m_TimeBackground));
    painter.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));

    painter.setPen(FromColorRef(c.colour));
    const int clipped = count > static_cast<std::uint64_t>(width)
                            ? Strokes(painter, plot, m_Columns, toY)
                            : Polyline(painter, plot, m_Columns, toY);

    // Labels under the plot: the start (time of the first drawn sample), clock ticks where
    // they leave room, the span at the right.
    painter.setClipping(false);
    painter.setPen(palette().windowText().color());
    const QRect labels(plot.left(), plot.bottom() + 1, plot.width(), 14);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString start = Text(startText);
    const QString span = Text(model::SpanLabel(count, c.rate));
    // The start label sits under the first drawn sample: a window that is not yet full (or
    // starts in a gap) shows where its data begins.
    int startX = plot.left();
    if (drawnCount > 0 && spanMs > 0 && firstMs > startMs)
        startX += static_cast<int>(static_cast<double>(firstMs - startMs) / spanMs * width);
    const int startWidth = metrics.horizontalAdvance(start);
    const int spanWidth = metrics.horizontalAdvance(span);
    startX = std::clamp(startX, plot.left(),
                        std::max(plot.left(), plot.right() - spanWidth - startWidth - 8));
    painter.drawText(QRect(startX, labels.top(), startWidth + 2, labels.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, start);
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, span);
    const int freeFrom = startX + startWidth + 8;
    const int freeTo = plot.right() - metrics.horizontalAdvance(span) - 8;
    c.drawn.ticks.clear();
    for (const model::TimeTick& tick : ticks) {
        const QString text = Text(tick.text);
        const int w = metrics.horizontalAdvance(text);
        const int x = plot.left() + static_cast<int>(tick.fraction * width) - w / 2;
        if (x < freeFrom || x + w > freeTo)
            continue;
        painter.drawText(QRect(x, labels.top(), w, labels.height()), Qt::AlignCenter, text);
        c.drawn.ticks.push_back(tick.text);
    }
    c.drawn.start = startText;
    c.drawn.range = range;
    c.drawn.samples = drawnCount;
    c.drawn.clippedColumns = clipped;
}

void CAnaView::PaintSpectrum(QPainter& painter, const Slot& slot) {
    PlotChannel& c = *slot.channel;
    const QRect& plot = slot.plot;
    const SpectrumSettings& s = Spectrum();
    const int bins =
        std::min(model::kBinsShown[static_cast<std::size_t>(s.binsIndex)], s.fftSize / 2 - 1);
    const int width = plot.width();
    std::lock_guard lock(c.lock);
    const auto value = [&](int bin) {
        return bin < static_cast<int>(c.spectrum.size())
                   ? static_cast<double>(c.spectrum[static_cast<std::size_t>(bin)])
                   : 0.0;
    };
    // Columns first, so that a fitted range knows the largest bin shown.
    m_Columns.assign(static_cast<std::size_t>(std::min(bins, width)), MinMax{});
    for (int k = 0; k < bins; ++k) {
        const auto column = static_cast<std::size_t>(bins > width ? k * width / bins : k);
        m_Columns[column].Add(value(s.firstBin + k));
    }
    double peak = 0.0;
    for (const MinMax& m : m_Columns)
        peak = std::max(peak, m.max);
    const double range = c.autoSpectrumRange
                             ? c.spectrumFit.Fit(peak, bins > 0)
                             : static_cast<double>(std::max<std::uint32_t>(c.spectrumRange, 1));

    painter.setClipping(false);
    painter.fillRect(plot, Background(m_SpectrumBackground));
    painter.setPen(palette().windowText().color());
    const int textHeight = 14;
    painter.drawText(QRect(2, plot.center().y() - textHeight, kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, Text(c.name));
    const char* const units[] = {"counts\u00b2", "counts", "log10"};
    painter.drawText(QRect(2, plot.center().y(), kPlotLeft - 4, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8(units[std::clamp(c.spectrumMode, 0, 2)]));
    if (plot.height() > 50) {
        painter.drawText(QRect(2, plot.top(), kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignTop,
                         Text(c.autoSpectrumRange ? model::FittedLabel(range)
                                                  : model::TopLabel(c.spectrumRange)));
        painter.drawText(QRect(2, plot.bottom() - textHeight, kPlotLeft - 4, textHeight),
                         Qt::AlignRight | Qt::AlignBottom, "0");
    }
    const auto toY = [&](double v) { return plot.bottom() - v * plot.height() / range; };
    painter.setClipRect(plot);
    painter.setPen(GridColour(m_SpectrumBackground, m_SpectrumGrid));
    const double step = model::SpectrumGridStep(range);
    for (double v = step; v < range; v += step)
        painter.drawLine(QPointF(plot.left(), toY(v)), QPointF(plot.right(), toY(v)));

    painter.setPen(FromColorRef(c.spectrumColour));
    if (bins > width)
        Strokes(painter, plot, m_Columns, toY);
    else
        Polyline(painter, plot, m_Columns, toY);
    if (c.blockMissing > 0) {
        // Missing seconds entered the transform as zeros: say so over the plot.
        painter.setPen(kClipColour);
        painter.drawText(plot.adjusted(4, 2, -4, -2), Qt::AlignRight | Qt::AlignTop,
                         QString("block holds a gap: %1 of %2 samples missing")
                             .arg(c.blockMissing)
                             .arg(s.fftSize));
    }
    painter.setClipping(false);
    painter.setPen(palette().windowText().color());
    const QRect labels(plot.left(), plot.bottom() + 1, plot.width(), 14);
    const double axisEnd = static_cast<double>(s.firstBin + bins) * c.rate / s.fftSize;
    const auto hertz = [&](int bin) {
        return Text(
            model::FrequencyAxisLabel(static_cast<double>(bin) * c.rate / s.fftSize, axisEnd));
    };
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, hertz(s.firstBin));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, hertz(s.firstBin + bins) + " Hz");
    // Frequency ticks at quarters of the axis.
    for (int q = 1; q < 4; ++q) {
        const int x = plot.left() + width * q / 4;
        painter.drawText(QRect(x - 30, labels.top(), 60, labels.height()), Qt::AlignCenter,
                         hertz(s.firstBin + bins * q / 4));
    }
    c.drawn.spectrumRange = range;
}

} // namespace nereid::display
