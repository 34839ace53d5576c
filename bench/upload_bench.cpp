// File upload over a paced line: the recorder simulator sends at N/10 bytes per second
// (--baud N); the figure is the data bytes per second of a fetch, beside that line rate. The
// baseline of the same run drives the same engine from a 50 ms timer, as a window timer
// polling the link would, to show what the wait in the port saves.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "instrument/upload/model/upload_engine.h"
#include "link/serial_link.h"
#include "recording/hlcp_translator.h"
#include "tests/sim/sim_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// An HLCP file of `samples` 24-bit samples of a sine near full scale plus a little noise,
// so that the bytes on the line escape about as often as a recording's.
std::vector<std::uint8_t> SineFile(std::size_t samples) {
    std::vector<std::uint8_t> f(276, 0);
    const char name[] = "D1234001.093";
    std::copy(name, name + 12, f.begin());
    f[17] = 17;
    f[18] = 30;
    f[20] = 0x80;
    f[23] = 0x65;
    std::copy_n("SIM1", 4, f.begin() + 272);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < samples; ++i) {
        noise = noise * 1103515245u + 12345u;
        const auto v =
            static_cast<std::int32_t>(4000000.0 * std::sin(static_cast<double>(i) * 0.0628) +
                                      static_cast<double>((noise >> 16) % 2001) - 1000.0);
        f.push_back(static_cast<std::uint8_t>(v));
        f.push_back(static_cast<std::uint8_t>(v >> 8));
        f.push_back(static_cast<std::uint8_t>(v >> 16));
    }
    return f;
}

class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/nereid-upload-bench-XXXXXX";
        m_Path = ::mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(m_Path, ec);
    }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
};

// args: baud, 1 = wait in the port (the engine as built), 0 = 50 ms timer (baseline).
void BM_UploadOverPacedLine(benchmark::State& state) {
    const auto baud = static_cast<std::uint32_t>(state.range(0));
    const bool waitInPort = state.range(1) != 0;
    // About six seconds of line time per fetch.
    const std::size_t bytes = baud / 10 * 6;
    Folder drive;
    Folder out;
    const auto file = SineFile((bytes - 276) / 3);
    {
        std::ofstream f(drive.Path() + "/D1234001.093", std::ios::binary);
        f.write(reinterpret_cast<const char*>(file.data()),
                static_cast<std::streamsize>(file.size()));
    }
    nereid::sim::test::SimProcess sim(
        {"--drive", "A=" + drive.Path(), "--baud", std::to_string(baud)});
    nereid::link::CSerialLink link;
    if (link.Open(sim.Link(), baud, nereid::link::kParityNone, nereid::link::kStopBitsOne, 8) !=
        1) {
        state.SkipWithError("cannot open the simulator's line");
        return;
    }
    link.SetReadWaitMs(waitInPort ? 20 : 0);
    nereid::instrument::CUploadEngine engine(link);
    engine.SetBaud(baud);
    engine.SetTakeDataFrames(true);
    int result = 0;
    nereid::instrument::CUploadEngine::Hooks hooks;
    hooks.finished = [&](int, int r) { result = r; };
    engine.SetHooks(hooks);

    std::uint64_t total = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        engine.StartRetrieve({{"A:", "D1234001.093", static_cast<std::uint32_t>(file.size())}},
                             nereid::recording::HlcpTranslator::kDadisp, out.Path());
        auto next = start;
        for (;;) {
            const std::uint64_t before = engine.FramesTaken();
            if (engine.Service() == nereid::instrument::kUploadIdle) {
                break;
            }
            if (waitInPort && engine.FramesTaken() == before) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            } else if (!waitInPort) {
                next += std::chrono::milliseconds(50);
                std::this_thread::sleep_until(next);
            }
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        if (result != nereid::instrument::kUploadAccepted) {
            state.SkipWithError("the fetch failed");
            return;
        }
        total += file.size();
        seconds += s;
    }
    const double payload = static_cast<double>(total) / seconds;
    const double line = baud / 10.0;
    state.counters["payload_Bps"] = payload;
    state.counters["line_Bps"] = line;
    state.counters["of_line_pct"] = 100.0 * payload / line;
}

BENCHMARK(BM_UploadOverPacedLine)
    ->ArgNames({"baud", "wait_in_port"})
    ->Args({115200, 1})
    ->Args({115200, 0})
    ->Args({9600, 1})
    ->Args({9600, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
