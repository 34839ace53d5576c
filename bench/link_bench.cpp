// Frame encode and decode throughput in bytes of payload per second, beside a plain memcpy of
// the same payload as the baseline. The payload is a real-time data frame of one second of a
// 1000 samples/s channel (3013 bytes) with random samples, so about 2 % of the bytes need an
// escape, as on the line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "link/answer_records.h"
#include "link/frame_codec.h"
#include "link/serial_link.h"

namespace {

using nereid::link::CSerialLink;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPayload = 11 + 3 * 1000;

Bytes Payload() {
    std::mt19937 rng(7);
    Bytes p(kPayload);
    for (auto& b : p) {
        b = static_cast<std::uint8_t>(rng());
    }
    return p;
}

// A link whose port is an endless repetition of one frame.
class LoopLink : public CSerialLink {
public:
    explicit LoopLink(Bytes frame) : m_Frame(std::move(frame)) {}

protected:
    bool PortIsOpen() const override { return true; }
    std::size_t PortRead(std::uint8_t* buffer, std::size_t capacity, int) override {
        std::size_t done = 0;
        while (done < capacity) {
            const std::size_t n = std::min(capacity - done, m_Frame.size() - m_At);
            std::memcpy(buffer + done, m_Frame.data() + m_At, n);
            done += n;
            m_At = (m_At + n) % m_Frame.size();
        }
        return done;
    }
    int PortWrite(const std::uint8_t*, std::size_t length) override {
        return static_cast<int>(length);
    }

private:
    Bytes m_Frame;
    std::size_t m_At = 0;
};

void BM_MemcpyBaseline(benchmark::State& state) {
    const Bytes payload = Payload();
    Bytes out(payload.size());
    for (auto _ : state) {
        std::memcpy(out.data(), payload.data(), payload.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_MemcpyBaseline);

void BM_EncodeFrame(benchmark::State& state) {
    const Bytes payload = Payload();
    Bytes out(2 * payload.size() + 8);
    for (auto _ : state) {
        const int n =
            nereid::link::BuildFrame(5, payload.data(), payload.size(), out.data(), out.size());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_EncodeFrame);

// The link's receive path: ring, scan, unescape, CRC, consumption and ACK, record delivery.
void BM_DecodeFrameLink(benchmark::State& state) {
    Bytes frame;
    nereid::link::AppendFrame(5, Payload(), frame);
    LoopLink link(frame);
    link.ResizeDecodeBuffer(4 + std::max<std::size_t>(2048, 3 * 1000 + 13));
    nereid::link::FrameRecord record;
    record.payload.reserve(link.DecodeBufferSize());
    std::size_t bytes = 0;
    for (auto _ : state) {
        int result = 0;
        while (result != 1) {
            std::uint8_t expected = nereid::link::kReceiverExpectedType;
            result = link.ReadFrame(expected, record);
        }
        bytes += record.payload.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DecodeFrameLink);

// The codec pieces alone, as the simulator uses them.
void BM_DecodeFrameScanner(benchmark::State& state) {
    Bytes frame;
    nereid::link::AppendFrame(5, Payload(), frame);
    nereid::link::FrameScanner scanner;
    nereid::link::ScannedFrame f;
    f.payload.reserve(kPayload);
    std::size_t bytes = 0;
    for (auto _ : state) {
        scanner.Feed(frame);
        if (scanner.Next(f) == nereid::link::kFrameGood) {
            bytes += f.payload.size();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_DecodeFrameScanner);

// Drain rate of the sheets' and the connection's poll loop, one poll per 100 ms, while the
// recorder streams and no receiver thread takes the data frames (the command-line connection):
// the pseudo-terminal is filled to the brim with data frames of a 100 samples/s channel before
// every poll, and the bytes one poll takes, times ten, are the loop's drain rate. Beside it:
// the 11520 bytes/s a 115200-baud line delivers, and the 8100 bytes/s that one read of at most
// 810 bytes per poll took.
void BM_DrainFullPtyAt100msPolls(benchmark::State& state) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    CSerialLink link;
    if (link.Open(name, 115200, nereid::link::kParityNone, nereid::link::kStopBitsOne, 8) != 1) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    Bytes payload(11 + 3 * 100);
    std::mt19937 rng(3);
    for (auto& b : payload) {
        b = static_cast<std::uint8_t>(rng());
    }
    Bytes frames;
    for (int i = 0; i < 64; ++i) {
        nereid::link::AppendFrame(static_cast<std::uint8_t>(i % 16), payload, frames);
    }
    std::size_t filled = 0;
    std::uint64_t taken = 0;
    std::int64_t polls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Fill with whole frames until the terminal takes no more.
        for (std::size_t at = 0;;) {
            const ssize_t n = ::write(master, frames.data() + at, frames.size() - at);
            if (n <= 0) {
                break;
            }
            filled += static_cast<std::size_t>(n);
            at = (at + static_cast<std::size_t>(n)) % frames.size();
        }
        const std::uint64_t before = link.BytesReceived();
        state.ResumeTiming();
        nereid::link::FrameRecord record;
        std::uint8_t expected = 'P';
        benchmark::DoNotOptimize(link.ReadFrame(expected, record));
        taken += link.BytesReceived() - before;
        ++polls;
    }
    const double perPoll = polls > 0 ? static_cast<double>(taken) / static_cast<double>(polls) : 0;
    state.counters["bytes_per_poll"] = perPoll;
    state.counters["drain_Bps"] = perPoll * 10.0;
    state.counters["line_115200_Bps"] = 11520.0;
    state.counters["one_810_read_Bps"] = 8100.0;
    state.counters["unclaimed_frames"] = static_cast<double>(link.UnclaimedDataFrames());
    benchmark::DoNotOptimize(filled);
    link.Close();
    ::close(slave);
    ::close(master);
}
BENCHMARK(BM_DrainFullPtyAt100msPolls)->Iterations(50);

} // namespace

BENCHMARK_MAIN();
