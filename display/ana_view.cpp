#include "display/ana_view.h"

#include <algorithm>

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "display/model/analysis_settings.h"
#include "display/model/plot_labels.h"
#include "display/model/time_axis.h"
#include "link/dialogs/message_box.h"
#include "recording/channel_table.h"
#include "recording/data_file_reader.h"
#include "recording/intake_state.h"

namespace nereid::display {

using model::PlotChannel;

namespace {

// A range of 0 in the profile or the layout file means "never set".
constexpr std::uint32_t kDefaultTimeRange = 1024;
constexpr std::uint32_t kDefaultSpectrumRange = 100;

} // namespace

CAnaView::CAnaView(const AnalysisContext& context, QWidget* parent)
    : QWidget(parent), m_Context(context) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(300, 200);
    m_TimeScroll = new QScrollBar(Qt::Horizontal, this);
    m_TimeScroll->setRange(0, 200);
    m_SpectrumScroll = new QScrollBar(Qt::Horizontal, this);
    m_SpectrumScroll->setRange(0, 200);
    m_SpectrumScroll->setSingleStep(2);
    connect(m_SpectrumScroll, &QScrollBar::valueChanged, this,
            [this](int position) { SetSpectrumScroll(position); });
    m_Coordinate = new QLabel(this, Qt::ToolTip);
    m_Coordinate->setObjectName("XCordinateDisplay");
    m_Coordinate->setWindowTitle("X Cordinate Display");
    m_Coordinate->setFrameStyle(QFrame::Box);
    m_Coordinate->setMargin(2);
    m_TimeStack = new QScrollBar(Qt::Vertical, this);
    m_SpectrumStack = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {m_TimeStack, m_SpectrumStack}) {
        bar->setRange(0, 200);
        bar->setSingleStep(4);
        bar->setPageStep(20);
        connect(bar, &QScrollBar::valueChanged, this, [this, bar] {
            if (bar->isSliderDown())
                ShowCoordinate(bar);
            update();
        });
        connect(bar, &QScrollBar::sliderPressed, this, [this, bar] { ShowCoordinate(bar); });
        connect(bar, &QScrollBar::sliderReleased, m_Coordinate, &QLabel::hide);
    }
    SyncRealTimeChannels();
}

CAnaView::~CAnaView() = default;

void CAnaView::SetSource(Source source) {
    m_Source = source;
    m_SpectrumScroll->setValue(Spectrum().scroll);
    update();
}

std::vector<PlotChannel*> CAnaView::Channels() const {
    std::vector<PlotChannel*> list;
    for (const auto& c : m_Source == Source::kFile ? m_FileChannels : m_RealTime)
        list.push_back(c.get());
    return list;
}

PlotChannel* CAnaView::Channel(int index) const {
    const auto& list = m_Source == Source::kFile ? m_FileChannels : m_RealTime;
    if (index < 0 || index >= static_cast<int>(list.size()))
        return nullptr;
    return list[static_cast<std::size_t>(index)].get();
}

bool CAnaView::SyncRealTimeChannels() {
    if (m_Context.channels == nullptr)
        return false;
    std::vector<std::pair<int, int>> key;
    for (const auto& [number, channel] : m_Context.channels->m_ChanMap)
        key.emplace_back(number, channel.rate);
    if (key == m_RealTimeKey)
        return false;
    m_RealTimeKey = key;
    std::vector<std::unique_ptr<PlotChannel>> old = std::move(m_RealTime);
    m_RealTime.clear();
    for (const auto& [number, rate] : key) {
        auto plot = std::make_unique<PlotChannel>();
        plot->name = std::to_string(number);
        plot->number = number;
        plot->rate = rate;
        plot->profileSlot = std::clamp(number, 0, 31);
        plot->autoRange = true; // until the profile holds a range for the channel
        if (m_Context.scales) {
            const int scale = (*m_Context.scales)[static_cast<std::size_t>(plot->profileSlot)];
            plot->range = scale != 0 ? static_cast<std::uint32_t>(scale) : kDefaultTimeRange;
            plot->autoRange = scale == 0;
        }
        if (m_Context.curveColours)
            plot->colour = static_cast<std::uint32_t>(
                (*m_Context.curveColours)[static_cast<std::size_t>(plot->profileSlot)]);
        // A channel that stays in the table keeps what was shown of it.
        for (const auto& before : old) {
            if (before->number == number) {
                plot->showTime = before->showTime;
                plot->showSpectrum = before->showSpectrum;
                plot->offset = before->offset;
                plot->spectrumMode = before->spectrumMode;
                plot->spectrumRange = before->spectrumRange;
                plot->spectrumColour = before->spectrumColour;
                plot->autoSpectrumRange = before->autoSpectrumRange;
            }
        }
        m_RealTime.push_back(std::move(plot));
    }
    update();
    return true;
}

int CAnaView::OpenFile(const QString& path) {
    std::vector<recording::FileChannel> added;
    recording::ReaderMessage message;
    const int result = recording::OpenDataFile(path.toStdString(), added, message);
    if (result != recording::kOpenAdded) {
        link::ShowMessage(this, QString::fromStdString(message.caption),
                          QString::fromStdString(message.text));
        return 0;
    }
    for (recording::FileChannel& file : added) {
        auto entry = std::make_unique<FileEntry>();
        entry->file = std::move(file);
        entry->envelope.Build(entry->file);
        auto plot = std::make_unique<PlotChannel>();
        plot->name = entry->file.signalName;
        plot->rate = entry->file.rate > 0 ? entry->file.rate : 1;
        // The profile's 32 slots belong to the real-time channels: a file has none, so that
        // its range or colour never overwrites a real-time channel's.
        plot->profileSlot = -1;
        plot->showTime = true;
        plot->range = kDefaultTimeRange;
        plot->autoRange = true;
        m_Files.push_back(std::move(entry));
        m_FileChannels.push_back(std::move(plot));
    }
    m_TimeScroll->setRange(0,
                           static_cast<int>(std::min<std::uint64_t>(LongestFile() / 4, 1u << 30)));
    update();
    return static_cast<int>(added.size());
}

void CAnaView::RemoveFile(int index) {
    if (index < 0 || index >= static_cast<int>(m_Files.size()))
        return;
    m_Files.erase(m_Files.begin() + index);
    m_FileChannels.erase(m_FileChannels.begin() + index);
    m_TimeScroll->setRange(0,
                           static_cast<int>(std::min<std::uint64_t>(LongestFile() / 4, 1u << 30)));
    update();
}

const CAnaView::FileEntry* CAnaView::File(int index) const {
    if (index < 0 || index >= static_cast<int>(m_Files.size()))
        return nullptr;
    return m_Files[static_cast<std::size_t>(index)].get();
}

std::uint64_t CAnaView::LongestFile() const {
    std::uint64_t longest = 0;
    for (const auto& entry : m_Files)
        longest = std::max(longest, entry->file.sampleCount);
    return longest;
}

void CAnaView::SetTimeRangeIndex(int index) {
    m_TimeRangeIndex = model::ClampTimeRangeIndex(index);
    m_Span = model::SpanHundredths(m_TimeRangeIndex);
    update();
}

void CAnaView::SetFileStart(std::uint64_t sample) {
    m_FileStart = sample;
    update();
}

void CAnaView::SetViewScale(int steps) {
    m_ViewScale = std::clamp(steps, 0, 40);
    update();
}

std::uint64_t CAnaView::WindowSamples(const PlotChannel& channel) const {
    const std::uint64_t span = static_cast<std::uint64_t>(m_Span) * channel.rate / 100;
    if (m_Source == Source::kRealTime)
        return std::max<std::uint64_t>(span, 1);
    // "ViewScale" widens a file window by doubling steps, up to the whole file.
    std::uint64_t samples = std::max<std::uint64_t>(span, 1);
    for (int i = 0; i < m_ViewScale && samples < LongestFile(); ++i)
        samples *= 2;
    return samples;
}

void CAnaView::SetFftSize(int n) {
    if (!model::IsFftSize(n))
        return;
    SpectrumSettings& s = Spectrum();
    s.fftSize = n;
    s.binsIndex = model::ReduceBinsIndex(s.binsIndex, n);
    s.firstBin = 0;
    s.scroll = 0;
    m_SpectrumScroll->setValue(0);
    update();
}

void CAnaView::SetBinsIndex(int index) {
    SpectrumSettings& s = Spectrum();
    s.binsIndex = model::ReduceBinsIndex(index, s.fftSize);
    SetSpectrumScroll(s.scroll);
}

void CAnaView::SetSpectrumScroll(int position) {
    SpectrumSettings& s = Spectrum();
    s.scroll = std::clamp(position, 0, 200);
    s.firstBin = model::SpectrumFirstBin(
        s.fftSize, model::kBinsShown[static_cast<std::size_t>(s.binsIndex)], s.scroll);
    update();
}

void CAnaView::SetBackgrounds(std::uint32_t time, std::uint32_t spectrum) {
    m_TimeBackground = std::min<std::uint32_t>(time, 5);
    m_SpectrumBackground = std::min<std::uint32_t>(spectrum, 5);
    update();
}

void CAnaView::SetGrid(int time, int spectrum) {
    m_TimeGrid = std::clamp(time, 0, 20);
    m_SpectrumGrid = std::clamp(spectrum, 0, 20);
    update();
}

void CAnaView::SetOffsetAdjust(bool on) {
    m_OffsetAdjust = on;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

void CAnaView::ApplyLayout(const model::AnalysisLayout& layout) {
    SetBackgrounds(layout.timeBackground, layout.spectrumBackground);
    SetTimeRangeIndex(static_cast<int>(layout.timeRangeIndex));
    SetGrid(static_cast<int>(layout.timeGrid), static_cast<int>(layout.spectrumGrid));
    SetFftSize(static_cast<int>(layout.fftSize));
    SetBinsIndex(static_cast<int>(layout.binsIndex));
    m_SpectrumShare = layout.spectrumShare;
    m_Divider = layout.divider;
    const std::vector<PlotChannel*> list = Channels();
    for (std::size_t i = 0; i < layout.channels.size() && i < list.size(); ++i) {
        const model::ChannelLayout& record = layout.channels[i];
        PlotChannel& channel = *list[i];
        if (record.name != channel.name)
            continue;
        if (record.timeOpen == 1) {
            // Colour and range come from the profile (already in the channel), not the file.
            channel.showTime = true;
            channel.offset = record.offset;
        }
        if (record.spectrumOpen == 1) {
            channel.showSpectrum = true;
            channel.spectrumColour = record.spectrumColour;
            // 0 is written for a fitted range.
            channel.spectrumRange =
                record.spectrumRange != 0 ? record.spectrumRange : kDefaultSpectrumRange;
            channel.autoSpectrumRange = record.spectrumRange == 0;
        }
    }
    update();
}

void CAnaView::FillLayout(model::AnalysisLayout& layout) const {
    layout.timeBackground = m_TimeBackground;
    layout.spectrumBackground = m_SpectrumBackground;
    layout.timeRangeIndex = static_cast<std::uint32_t>(m_TimeRangeIndex);
    const SpectrumSettings& s = m_Source == Source::kFile ? m_FileSpectrum : m_RtSpectrum;
    layout.binsIndex = static_cast<std::uint32_t>(s.binsIndex);
    layout.fftSize = static_cast<std::uint32_t>(s.fftSize);
    layout.timeGrid = static_cast<std::uint32_t>(m_TimeGrid);
    layout.spectrumGrid = static_cast<std::uint32_t>(m_SpectrumGrid);
    layout.spectrumShare = m_SpectrumShare;
    layout.divider = m_Divider;
    layout.channels.clear();
    std::uint32_t position = 1;
    for (const PlotChannel* channel : Channels()) {
        model::ChannelLayout record;
        record.timeOpen = channel->showTime ? 1 : 0;
        record.spectrumOpen = channel->showSpectrum ? 1 : 0;
        record.position = position++;
        record.name = channel->name.substr(0, 7);
        record.timeColour = channel->colour;
        record.spectrumColour = channel->spectrumColour;
        record.timeRange = channel->range;
        record.spectrumRange = channel->autoSpectrumRange ? 0 : channel->spectrumRange;
        record.offset = channel->offset;
        layout.channels.push_back(record);
    }
}

void CAnaView::paintEvent(QPaintEvent*) {
    PlaceScrollBars();
    QPainter painter(this);
    Render(painter, size());
}

void CAnaView::resizeEvent(QResizeEvent*) {
    PlaceScrollBars();
}

QImage CAnaView::RenderImage(QSize area) {
    QImage image(area, QImage::Format_RGB32);
    QPainter painter(&image);
    Render(painter, area);
    return image;
}

QImage CAnaView::PlotAreaImage() {
    const QImage whole = RenderImage(size());
    return whole.copy(70, 0, std::max(1, width() - 70 - 17), std::max(1, height() - 25));
}

void CAnaView::contextMenuEvent(QContextMenuEvent* event) {
    if (QMenu* menu = ContextMenuAt(event->pos()))
        menu->exec(event->globalPos());
}

void CAnaView::StoreProfile(const PlotChannel& channel) {
    if (channel.profileSlot < 0 || channel.profileSlot >= 32)
        return;
    const auto slot = static_cast<std::size_t>(channel.profileSlot);
    // 0 is "no range stored": the channel opens fitted next time too.
    if (m_Context.scales)
        (*m_Context.scales)[slot] = channel.autoRange ? 0 : static_cast<int>(channel.range);
    if (m_Context.curveColours)
        (*m_Context.curveColours)[slot] = static_cast<int>(channel.colour);
}

model::CFftPlan& CAnaView::Plan(int n) {
    auto& plan = m_Plans[n];
    if (!plan)
        plan = std::make_unique<model::CFftPlan>(n);
    return *plan;
}

} // namespace nereid::display
