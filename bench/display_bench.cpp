// The analysis window's redraw against its 200 ms tick, beside a plain copy of the same
// samples; and a 10-million-sample file: opening with its first paint, then a scroll step.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "display/ana_view.h"
#include "display/model/tables.h"
#include "recording/channel_table.h"
#include "recording/dadisp_format.h"
#include "recording/intake_state.h"

using namespace nereid;

namespace {

constexpr int kChannels = 16;
constexpr int kRate = 1000;
constexpr std::uint32_t kNewest = 1796700730; // 2026-12-08 03:32:10
const QSize kImage(1600, 1000);

struct RealTimeRig {
    recording::CChannelTable table;
    recording::CIntakeState state;
    std::array<int, 32> colours{};
    std::array<int, 32> scales{};
    std::unique_ptr<display::CAnaView> view;

    RealTimeRig() {
        for (int c = 1; c <= kChannels; ++c) {
            recording::RtChannel& rt = table.m_ChanMap[static_cast<std::uint16_t>(c)];
            rt.rate = kRate;
            rt.ring.resize(static_cast<std::size_t>(recording::kRingRows) * kRate);
            for (std::size_t i = 0; i < rt.ring.size(); ++i)
                rt.ring[i] = static_cast<std::int32_t>(
                    100000.0 * c * std::sin(2 * std::numbers::pi * 1.3 * i / kRate) +
                    (static_cast<int>(i * 2654435761u) % 2001 - 1000));
            // A full ring: second kNewest in row 57, the 119 before it behind.
            for (int back = 0; back < recording::kRingRows; ++back)
                rt.rowSecond[static_cast<std::size_t>((57 - back + recording::kRingRows) %
                                                      recording::kRingRows)] =
                    kNewest - static_cast<std::uint32_t>(back);
            rt.slot = 57;
            rt.lastSecond = kNewest;
        }
        colours.fill(0xFFFF);
        // No stored ranges: every channel is fitted to its samples on every redraw.
        scales.fill(0);
        display::AnalysisContext context;
        context.channels = &table;
        context.state = &state;
        context.curveColours = &colours;
        context.scales = &scales;
        view = std::make_unique<display::CAnaView>(context);
        view->resize(kImage);
        view->SetTimeRangeIndex(10); // 118 s of every channel
        view->SetFftSize(8192);
        for (display::model::PlotChannel* c : view->Channels()) {
            c->showTime = true;
            c->showSpectrum = true;
        }
        state.m_CurIndex = 57;
        state.m_LastSecond = kNewest;
        view->FollowNewest();
    }
};

void BM_FullRedraw16x120s(benchmark::State& s) {
    RealTimeRig rig;
    QImage image(kImage, QImage::Format_RGB32);
    for (auto _ : s) {
        QPainter painter(&image);
        rig.view->Render(painter, kImage);
        benchmark::DoNotOptimize(image.bits());
    }
    s.counters["tick_share_%"] = benchmark::Counter(
        0.002, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullRedraw16x120s)->Unit(benchmark::kMillisecond);

// The same with every one of the 16 time plots and 16 spectra on the image: in 1000 pixels
// the plots keep their least height and the stack scrolls, so the redraw above draws fewer.
void BM_FullRedraw16x120sAllBands(benchmark::State& s) {
    RealTimeRig rig;
    const QSize tall(kImage.width(), 2800);
    rig.view->resize(tall);
    QImage image(tall, QImage::Format_RGB32);
    int bands = 0;
    for (auto _ : s) {
        QPainter painter(&image);
        rig.view->Render(painter, tall);
        benchmark::DoNotOptimize(image.bits());
    }
    bands = static_cast<int>(rig.view->Layout(tall).size());
    s.counters["bands"] = bands;
    s.counters["tick_share_%"] = benchmark::Counter(
        0.002, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullRedraw16x120sAllBands)->Unit(benchmark::kMillisecond);

// Baseline: copying the same samples once (what any redraw must at least read).
void BM_PlainCopyOfTheSamples(benchmark::State& s) {
    RealTimeRig rig;
    std::vector<std::int32_t> target(static_cast<std::size_t>(recording::kRingRows) * kRate);
    for (auto _ : s) {
        for (auto& [number, channel] : rig.table.m_ChanMap) {
            std::memcpy(target.data(), channel.ring.data(), target.size() * 4);
            benchmark::DoNotOptimize(target.data());
        }
    }
}
BENCHMARK(BM_PlainCopyOfTheSamples)->Unit(benchmark::kMillisecond);

std::string TenMillionSampleFile() {
    static std::string path;
    if (!path.empty())
        return path;
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp != nullptr ? tmp : "/tmp") + "/DD1042_153000.123";
    recording::DadispHeader header =
        recording::MakeRealTimeDadispHeader("DD1042_153000.123", 1, 1796634000u, kRate, "bench");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << recording::BuildDadispHeader(header);
    std::vector<std::int32_t> block(1 << 20);
    for (std::size_t done = 0; done < 10000000; done += block.size()) {
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<std::int32_t>(
                500000.0 * std::sin(2 * std::numbers::pi * 0.01 * double(done + i) / kRate));
        const std::size_t n = std::min(block.size(), std::size_t(10000000) - done);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<long>(n * 4));
    }
    return path;
}

void BM_OpenTenMillionSamplesAndPaint(benchmark::State& s) {
    const QString path = QString::fromStdString(TenMillionSampleFile());
    QImage image(kImage, QImage::Format_RGB32);
    display::AnalysisContext context;
    for (auto _ : s) {
        display::CAnaView view(context);
        view.resize(kImage);
        view.SetSource(display::CAnaView::Source::kFile);
        view.SetTimeRangeIndex(10);
        view.SetViewScale(40); // the whole file in one window
        if (view.OpenFile(path) != 1)
            s.SkipWithError("file not opened");
        QPainter painter(&image);
        view.Render(painter, kImage);
    }
}
BENCHMARK(BM_OpenTenMillionSamplesAndPaint)->Unit(benchmark::kMillisecond);

void BM_ScrollStepOfTheFile(benchmark::State& s) {
    const QString path = QString::fromStdString(TenMillionSampleFile());
    QImage image(kImage, QImage::Format_RGB32);
    display::AnalysisContext context;
    display::CAnaView view(context);
    view.resize(kImage);
    view.SetSource(display::CAnaView::Source::kFile);
    view.SetTimeRangeIndex(10);
    view.SetViewScale(4); // 16 x 118 s of the file in the window
    view.OpenFile(path);
    std::uint64_t start = 0;
    for (auto _ : s) {
        start += 4 * 997; // one scroll step of the bar's quarter-sample positions, and more
        view.SetFileStart(start % 8000000);
        QPainter painter(&image);
        view.Render(painter, kImage);
    }
}
BENCHMARK(BM_ScrollStepOfTheFile)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(TenMillionSampleFile().c_str());
    return 0;
}
