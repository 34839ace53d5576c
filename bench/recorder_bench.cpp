// Cost of recording one recorder second of 16 channels at 1000 samples/s (16 WriteSecond
// calls, 64 000 bytes), against plain write() calls of the same bytes to 16 open files,
// measured in the same run. "core_fraction" is the wall time per recorder second as a share
// of one second, i.e. of one core kept busy by the receiver thread.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "recording/calendar.h"
#include "recording/file_recorder.h"

namespace {

using namespace nereid::recording;

constexpr int kChannels = 16;
constexpr int kRate = 1000;

std::string MakeFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/nereid-bench-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) != nullptr ? buffer.data() : "/tmp";
}

void RemoveFolder(const std::string& folder) {
    if (std::system(("rm -rf '" + folder + "'").c_str()) != 0) {
        // A leftover temporary folder is harmless.
    }
}

void Report(benchmark::State& state, std::chrono::steady_clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    state.counters["core_fraction"] =
        seconds / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.SetBytesProcessed(state.iterations() * kChannels * kRate * 4);
}

void BM_RecorderSecond(benchmark::State& state) {
    const bool writeThrough = state.range(0) != 0;
    const std::string folder = MakeFolder();
    RecorderSettings settings;
    settings.form = RecordingForm::kDadisp;
    settings.periodSeconds = 600;
    settings.writeThrough = writeThrough;
    for (int c = 1; c <= kChannels; ++c) {
        settings.channels.push_back({c, kRate, "DChan.dat", folder, "bench"});
    }
    CFileRecorder recorder(settings, {});
    if (recorder.Create() != 1) {
        state.SkipWithError("cannot map the channel buffers");
        return;
    }
    std::vector<std::int32_t> row(kRate);
    for (int i = 0; i < kRate; ++i) {
        row[static_cast<std::size_t>(i)] = (i * 7919) % 8388607 - 4194304;
    }
    std::uint32_t second = CalendarToSeconds(0, 0, 12, 7, 12, 126);
    recorder.m_SecondFrom1970.store(second);
    int progress = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        recorder.m_CurrentSecondFrom1970.store(second++);
        for (int c = 1; c <= kChannels; ++c) {
            benchmark::DoNotOptimize(recorder.WriteSecond(c, row.data(), kRate * 4, progress));
        }
    }
    Report(state, std::chrono::steady_clock::now() - start);
    recorder.FlushAll();
    RemoveFolder(folder);
}
BENCHMARK(BM_RecorderSecond)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"write_through"})
    ->Iterations(600)
    ->UseRealTime();

// The baseline: the same bytes with one write() per channel to 16 files opened beforehand.
void BM_PlainWriteSecond(benchmark::State& state) {
    const bool writeThrough = state.range(0) != 0;
    const std::string folder = MakeFolder();
    std::vector<int> fds;
    for (int c = 1; c <= kChannels; ++c) {
        const std::string path = folder + "/plain" + std::to_string(c);
        fds.push_back(
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | (writeThrough ? O_DSYNC : 0), 0644));
    }
    std::vector<std::int32_t> row(kRate, 12345);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int fd : fds) {
            benchmark::DoNotOptimize(write(fd, row.data(), row.size() * 4));
        }
    }
    Report(state, std::chrono::steady_clock::now() - start);
    for (int fd : fds) {
        close(fd);
    }
    RemoveFolder(folder);
}
BENCHMARK(BM_PlainWriteSecond)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"write_through"})
    ->Iterations(600)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
