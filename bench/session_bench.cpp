// Cost of the real-time intake per data frame for 16 channels at 1000 samples/s (3011-byte
// payloads, one frame per channel per second), beside a plain memcpy of the same payload
// bytes as the baseline. The full stream is 16 frames per second, so the share of one core is
// 16 x (time per frame) / 1 s; the "core_share_pct" counter reports it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "recording/channel_table.h"
#include "recording/intake.h"
#include "recording/intake_state.h"
#include "recording/second_sink.h"
#include "recording/stream_list.h"

namespace {

using namespace nereid::recording;

constexpr int kChannels = 16;
constexpr int kRate = 1000;
constexpr std::size_t kPayload = kFrameSamplesOffset + 3 * kRate;

class NoEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned, std::uintptr_t, long) override {}
};

class NullSink : public CSecondSink {
public:
    int WriteSecond(int, const std::int32_t* samples, int, int& progress) override {
        benchmark::DoNotOptimize(samples);
        progress = -1;
        return 1;
    }
};

std::array<std::vector<std::uint8_t>, kChannels> Frames() {
    std::mt19937 rng(11);
    std::array<std::vector<std::uint8_t>, kChannels> frames;
    for (int c = 0; c < kChannels; ++c) {
        auto& p = frames[static_cast<std::size_t>(c)];
        p.resize(kPayload);
        for (auto& b : p) {
            b = static_cast<std::uint8_t>(rng());
        }
        p[kFrameChannelOffset] = static_cast<std::uint8_t>(c);
    }
    return frames;
}

void SetSecond(std::vector<std::uint8_t>& p, std::uint32_t s) {
    for (int i = 0; i < 4; ++i) {
        p[kFrameSecondOffset + i] = static_cast<std::uint8_t>(s >> (8 * i));
    }
}

void RunIntake(benchmark::State& st, bool recording) {
    CStreamList streams;
    for (int c = 1; c <= kChannels; ++c) {
        streams.Streams().push_back({std::to_string(c), "", true, kRate});
    }
    CChannelTable table;
    CIntakeState state;
    NoEvents events;
    NullSink sink;
    CRealTimeIntake intake(table, state, events);
    intake.SetRecorder(&sink);
    table.RebuildChannels(streams, nullptr, &state);
    state.m_bRecording = recording;
    auto frames = Frames();
    std::uint32_t second = 1'000'000'000;
    int channel = 0;
    for (auto _ : st) {
        auto& p = frames[static_cast<std::size_t>(channel)];
        SetSecond(p, second);
        intake.HandleDataFrame(p.data(), p.size());
        if (++channel == kChannels) {
            channel = 0;
            ++second;
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * kPayload);
    st.counters["core_share_pct"] =
        benchmark::Counter(static_cast<double>(st.iterations()) / (kChannels * 100.0),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_IntakeFrame(benchmark::State& st) {
    RunIntake(st, false);
}
void BM_IntakeFrameRecording(benchmark::State& st) {
    RunIntake(st, true);
}

void BM_CopySameBytes(benchmark::State& st) {
    auto frames = Frames();
    std::vector<std::uint8_t> row(kPayload);
    int channel = 0;
    for (auto _ : st) {
        std::memcpy(row.data(), frames[static_cast<std::size_t>(channel)].data(), kPayload);
        benchmark::DoNotOptimize(row.data());
        benchmark::ClobberMemory();
        channel = (channel + 1) % kChannels;
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * kPayload);
}

BENCHMARK(BM_CopySameBytes);
BENCHMARK(BM_IntakeFrame);
BENCHMARK(BM_IntakeFrameRecording);

} // namespace

BENCHMARK_MAIN();
